#pragma once
// The rules behind what lets the product be removed again: the install
// record beside the uninstaller and the registration in Windows' list of
// installed programs. No disk, registry or clock here; uninstall_files
// writes the files.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "common/install_record.h"
#include "common/uninstall_registration.h"

namespace tovarin::core {

// The install directory as the record and the registration name it: "\"
// separators, no trailing one except a root's ("D:\").
std::wstring RecordDir(const std::string& installDir);

// name inside dir, joined by exactly one separator.
std::wstring JoinDir(const std::wstring& dir, const std::wstring& name);

// Whether a registration's InstallLocation ("<dir>\") names dir (as RecordDir
// gives it), as the file system compares names: ignoring case.
bool NamesInstallDir(const std::wstring& installLocation, const std::wstring& dir);

// The earlier install's record of dir, to be merged with this one: only when
// the registration names dir and recordBytes (what <dir>\Uninstall.dat held)
// hash to the registration's value and parse as a record of dir. Anything
// else is no record: a later install never takes over what it cannot trust.
std::optional<InstallRecord> TrustedEarlierRecord(const std::optional<Registration>& registration,
                                                  const std::wstring& dir,
                                                  const std::optional<std::string>& recordBytes);

// The record's text, the record listing itself (Uninstall.dat) with the
// given last-write time and the size of exactly this text.
std::string SerializeWithOwnEntry(InstallRecord& record, std::uint64_t lastWrite);

// What an install into dir registers. estimatedSizeKiB is unpackedBytes
// rounded up to whole KiB.
Registration RegistrationFor(const std::wstring& dir, const std::string& recordHash, std::uint64_t unpackedBytes,
                             const std::wstring& installDate);

// YYYYMMDD.
std::wstring InstallDateText(const SYSTEMTIME& day);

}  // namespace tovarin::core
