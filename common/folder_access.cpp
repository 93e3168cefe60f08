#include "common/folder_access.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace tovarin {
namespace {

constexpr ACCESS_MASK kChangeRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                      WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// The system and the administrators first; the rest are only privileged in
// an access list.
constexpr int kAdministratorsAndSystem = 2;
const std::vector<UniqueLocal<void>>& PrivilegedSids() {
    static const std::vector<UniqueLocal<void>> sids = [] {
        std::vector<UniqueLocal<void>> out;
        for (const wchar_t* text : {L"S-1-5-18", L"S-1-5-32-544", L"S-1-3-0", L"S-1-3-1", L"S-1-3-4",
                                    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"}) {
            PSID sid = nullptr;
            if (::ConvertStringSidToSidW(text, &sid)) out.emplace_back(sid);
        }
        return out;
    }();
    return sids;
}

bool IsOneOf(PSID sid, std::size_t count) {
    if (!sid || !::IsValidSid(sid)) return false;
    const std::vector<UniqueLocal<void>>& known = PrivilegedSids();
    for (std::size_t i = 0; i < count && i < known.size(); ++i)
        if (::EqualSid(sid, known[i].get())) return true;
    return false;
}

}  // namespace

UniqueLocal<void> SecurityDescriptorFromText(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr)) return {};
    return UniqueLocal<void>(sd);
}

bool IsPrivileged(PSID sid) { return IsOneOf(sid, PrivilegedSids().size()); }

bool UsersMayChange(PSID owner, const ACL* dacl) {
    if (!IsPrivileged(owner) || !dacl) return true;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!::GetAce(const_cast<ACL*>(dacl), index, &entry)) return true;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;  // for children only
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
            continue;
        // The callback form starts as the plain one: mask, then the SID.
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if ((allowed->Mask & kChangeRights) &&
            !IsPrivileged(const_cast<DWORD*>(&allowed->SidStart)))
            return true;
    }
    return false;
}

bool UsersMayChange(HANDLE folder) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                          nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
        return true;
    const UniqueLocal<void> owned(sd);
    return UsersMayChange(owner, dacl);
}

namespace {

struct Owner {
    PSID sid = nullptr;
    UniqueLocal<void> sd;
};

Owner OwnerOf(HANDLE handle) {
    Owner owner;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner.sid, nullptr, nullptr, nullptr,
                          &sd) != ERROR_SUCCESS)
        return {};
    owner.sd.reset(sd);
    return owner;
}

}  // namespace

bool OwnedAsTrusted(HANDLE handle, HANDLE reference) {
    const Owner owner = OwnerOf(handle);
    if (!owner.sid || !::IsValidSid(owner.sid)) return false;
    if (IsOneOf(owner.sid, kAdministratorsAndSystem)) return true;
    const Owner trusted = OwnerOf(reference);
    return trusted.sid && ::IsValidSid(trusted.sid) && ::EqualSid(owner.sid, trusted.sid);
}

}  // namespace tovarin
