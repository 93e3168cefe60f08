// Who may change a folder, and the final-path comparison behind the lock check.
#include <windows.h>


#include <gtest/gtest.h>

#include <string>

#include "common/checked_handles.h"
#include "common/folder_access.h"

namespace tovarin {
namespace {

struct AccessRow {
    const wchar_t* sddl;
    bool usersMayChange;
};

TEST(UsersMayChange, JudgesOwnerAndEntriesThatApplyToTheFolderItself) {
    const AccessRow rows[] = {
        // Program Files as Windows 10 ships it.
        {L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
         L"D:P(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
         L"(A;CIIO;GA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
         L"(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)"
         L"(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;S-1-15-2-1)",
         false},
        // A second drive's root: authenticated users may add folders.
        {L"O:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;;0x4;;;AU)(A;OICIIO;SDGXGWGR;;;AU)(A;OICI;0x1200a9;;;BU)",
         true},
        // The same, only for children: the root itself stays closed.
        {L"O:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;SDGXGWGR;;;AU)(A;OICI;0x1200a9;;;BU)", false},
        {L"O:BAD:(A;;FA;;;BA)(A;;0x2;;;WD)", true},
        {L"O:BAD:(A;;0x40;;;IU)", true},                // delete a child
        {L"O:BAD:(A;;WD;;;BU)", true},                  // rewrite the list
        {L"O:BAD:(A;;GW;;;S-1-5-21-1-2-3-1001)", true}, // one ordinary account
        {L"O:BAD:(A;;FR;;;WD)(A;;FA;;;BA)", false},     // everyone reads only
        {L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;BA)", true}, // owned by an ordinary account
        {L"O:BAD:(D;;FA;;;WD)(A;;FA;;;WD)", true},      // a deny entry is not weighed
        {L"O:BAD:", false},                             // an empty list lets nobody in
    };
    for (const AccessRow& row : rows) {
        const UniqueLocal<void> sd = SecurityDescriptorFromText(row.sddl);
        ASSERT_TRUE(sd) << row.sddl;
        PSID owner = nullptr;
        PACL dacl = nullptr;
        BOOL defaulted = FALSE, present = FALSE;
        ASSERT_TRUE(::GetSecurityDescriptorOwner(sd.get(), &owner, &defaulted));
        ASSERT_TRUE(::GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted));
        EXPECT_EQ(UsersMayChange(owner, present ? dacl : nullptr), row.usersMayChange) << row.sddl;
    }
    // No list at all lets everyone do anything.
    const UniqueLocal<void> administrators = SecurityDescriptorFromText(L"O:BA");
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(::GetSecurityDescriptorOwner(administrators.get(), &owner, &defaulted));
    EXPECT_TRUE(UsersMayChange(owner, nullptr));
}

struct FinalRow {
    const wchar_t* final;
    const wchar_t* folder;
    bool same;
};

TEST(FinalPathIs, TheFileInsideTheFolderAndNothingElse) {
    const wchar_t* lock = L"belvastro\\.lock";
    const FinalRow rows[] = {
        {L"\\\\?\\C:\\Users\\li\\belvastro\\.lock", L"\\\\?\\C:\\Users\\li", true},
        {L"\\\\?\\C:\\USERS\\LI\\Belvastro\\.LOCK", L"\\\\?\\C:\\Users\\li", true},
        {L"\\\\?\\D:\\belvastro\\.lock", L"\\\\?\\D:\\", true},  // a profile at a root
        {L"\\\\?\\UNC\\srv\\home\\li\\belvastro\\.lock", L"\\\\?\\UNC\\srv\\home\\li", true},
        // belvastro a link to another folder, or a profile's namesake.
        {L"\\\\?\\C:\\Users\\victim\\belvastro\\.lock", L"\\\\?\\C:\\Users\\li", false},
        {L"\\\\?\\C:\\Users\\li2\\belvastro\\.lock", L"\\\\?\\C:\\Users\\li", false},
        {L"\\\\?\\C:\\Users\\li\\x\\belvastro\\.lock", L"\\\\?\\C:\\Users\\li", false},
        {L"\\\\?\\C:\\Users\\li\\belvastr0\\.lock", L"\\\\?\\C:\\Users\\li", false},  // a sibling
        {L"\\\\?\\C:\\Users\\li\\belvastro\\.lock2", L"\\\\?\\C:\\Users\\li", false},
        {L"\\\\?\\C:\\Windows\\System32\\config\\SAM", L"\\\\?\\C:\\Users\\li", false},
        {L"\\\\?\\C:\\Users\\li\\belvastro\\.lock", L"", false},
        {L"", L"\\\\?\\C:\\Users\\li", false},
    };
    for (const FinalRow& row : rows)
        EXPECT_EQ(FinalPathIs(row.final, row.folder, lock), row.same) << row.final << L" in " << row.folder;
}

// The lists the installer writes out: protected, and nobody but the
// administrators and the system may change what carries them. (Wine keeps no
// access lists, so this is where they are seen whole.)
TEST(FolderAccess, TheInstallersOwnListsLetOnlyAdministratorsChange) {
    for (const wchar_t* sddl : {kPrivateFolderAccess, kProductFolderAccess}) {
        const UniqueLocal<void> sd = SecurityDescriptorFromText(sddl);
        ASSERT_TRUE(sd) << sddl;
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(::GetSecurityDescriptorControl(sd.get(), &control, &revision));
        EXPECT_TRUE(control & SE_DACL_PROTECTED) << sddl;
        PSID owner = nullptr;
        PACL dacl = nullptr;
        BOOL defaulted = FALSE, present = FALSE;
        ASSERT_TRUE(::GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted));
        ::GetSecurityDescriptorOwner(sd.get(), &owner, &defaulted);
        const UniqueLocal<void> administrators = SecurityDescriptorFromText(L"O:BA");
        if (!owner) ::GetSecurityDescriptorOwner(administrators.get(), &owner, &defaulted);  // the creator's
        EXPECT_FALSE(UsersMayChange(owner, present ? dacl : nullptr)) << sddl;
        // Everything created inside inherits the list.
        for (DWORD i = 0; present && dacl && i < dacl->AceCount; ++i) {
            void* entry = nullptr;
            ASSERT_TRUE(::GetAce(dacl, i, &entry));
            EXPECT_EQ(static_cast<ACE_HEADER*>(entry)->AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << sddl;
        }
    }
}

}  // namespace
}  // namespace tovarin
