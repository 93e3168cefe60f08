#pragma once
// Access lists of folders the elevated installer creates: who may change a
// folder, and the lists it writes out for its own folders.
#include "common/handles.h"

#include <optional>

namespace tovarin {

// Administrators and the system change it and everything in it; nobody else
// may even look. Owned by the administrators, not by whoever elevated.
inline constexpr wchar_t kPrivateFolderAccess[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// The product's folder: administrators and the system change it, users read
// and run it (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE). Written out rather
// than copied from Program Files, whose list differs between versions.
inline constexpr wchar_t kProductFolderAccess[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// A security descriptor from its text form; empty when the text is not one.
UniqueLocal<void> SecurityDescriptorFromText(const wchar_t* sddl);

// Administrators, the system, TrustedInstaller, or one of the placeholders
// that only stand for someone at inheritance (creator owner and group, owner rights).
bool IsPrivileged(PSID sid);

// Whether someone other than the administrators and the system may change
// the folder whose owner and access list these are: an owner who is not one
// of them (an owner can always rewrite the list), no list at all, or an allow
// entry that applies to the folder itself and grants another account adding
// files or folders, deleting children or the folder, or rewriting its list
// or owner. Deny entries are not weighed: ignoring one only errs towards
// protecting a folder that did not need it.
bool UsersMayChange(PSID owner, const ACL* dacl);

// The owner and access list of what the handle is open on (READ_CONTROL),
// judged as above; true when they cannot be read.
bool UsersMayChange(HANDLE folder);

// The owner of what `handle` is open on is the system, the administrators,
// or the owner of `reference`, a folder no ordinary user can own (the
// system's temporary folder). Both handles need READ_CONTROL.
bool OwnedAsTrusted(HANDLE handle, HANDLE reference);

}  // namespace tovarin
