#pragma once
// The removal's disk in memory: the install directory's files and folders by
// relative path, the two shortcut places, the registration and the record.
// Every removal is logged in order.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "uninstall/removal_disk.h"

namespace tovarin::testing {

struct FakeFile {
    std::uint64_t size = 1;
    std::uint64_t lastWrite = 1;
    bool inUse = false;
    bool link = false;
};

class FakeRemovalDisk final : public uninstall::RemovalDisk {
public:
    using EntryRemoval = uninstall::EntryRemoval;

    std::optional<Registration> registration;
    bool registrationDeletable = true;
    bool running = false;
    uninstall::RecordBytes record;
    bool recordDeletable = true;
    std::map<std::wstring, FakeFile> files;  // relative to the install directory
    std::set<std::wstring> folders;
    std::wstring programs = L"C:\\Users\\u\\Start Menu\\Programs\\Tovarin\\Tovarin.lnk";
    std::wstring desktop = L"C:\\Users\\u\\Desktop\\Tovarin.lnk";
    bool programsFolder = true;
    std::map<std::wstring, std::wstring> shortcuts;  // path -> target
    std::vector<std::wstring> removed;

    std::optional<Registration> ReadRegistration() override { return registration; }
    bool DeleteRegistration() override {
        if (!registrationDeletable) return false;
        if (registration) removed.push_back(L"<registration>");
        registration.reset();
        return true;
    }
    bool ProductRunning() override { return running; }
    uninstall::RecordBytes ReadRecord() override { return record; }
    EntryRemoval RemoveRecord() override {
        if (!recordDeletable) return EntryRemoval::Failed;
        record = {};
        removed.push_back(L"<record>");
        return EntryRemoval::Removed;
    }
    EntryRemoval RemoveFile(const std::wstring& relative, std::uint64_t size, std::uint64_t lastWrite) override {
        const auto it = files.find(relative);
        if (it == files.end()) return EntryRemoval::Missing;
        if (it->second.link || it->second.size != size || it->second.lastWrite != lastWrite) return EntryRemoval::Kept;
        if (it->second.inUse) return EntryRemoval::Failed;
        files.erase(it);
        removed.push_back(relative);
        return EntryRemoval::Removed;
    }
    EntryRemoval RemoveFolder(const std::wstring& relative) override {
        if (!folders.count(relative)) return EntryRemoval::Missing;
        if (Holds(relative)) return EntryRemoval::Kept;
        folders.erase(relative);
        removed.push_back(relative + L"\\");
        return EntryRemoval::Removed;
    }
    std::wstring ProgramsShortcutPath() override { return programs; }
    std::wstring DesktopShortcutPath() override { return desktop; }
    EntryRemoval RemoveShortcut(const std::wstring& path, const std::wstring& target) override {
        if (path != programs && path != desktop) return EntryRemoval::Failed;  // the rules chose a wrong place
        const auto it = shortcuts.find(path);
        if (it == shortcuts.end()) return EntryRemoval::Missing;
        if (it->second != target) return EntryRemoval::Kept;
        shortcuts.erase(it);
        removed.push_back(path);
        return EntryRemoval::Removed;
    }
    EntryRemoval RemoveProgramsFolder() override {
        if (!programsFolder) return EntryRemoval::Missing;
        if (shortcuts.count(programs)) return EntryRemoval::Kept;
        programsFolder = false;
        removed.push_back(L"<programs folder>");
        return EntryRemoval::Removed;
    }
    bool OnlyUninstallerLeft() override {
        for (const auto& [path, file] : files)
            if (path != L"Uninstall.exe" && path != L"Uninstall.dat") return false;
        return folders.empty();
    }
    EntryRemoval RemoveUninstaller() override {
        files.erase(L"Uninstall.exe");
        return EntryRemoval::Removed;
    }
    EntryRemoval RemoveInstallDir() override { return EntryRemoval::Removed; }

private:
    bool Holds(const std::wstring& folder) const {
        const std::wstring prefix = folder + L"\\";
        for (const auto& [path, file] : files)
            if (path.compare(0, prefix.size(), prefix) == 0) return true;
        for (const std::wstring& path : folders)
            if (path.compare(0, prefix.size(), prefix) == 0) return true;
        return false;
    }
};

}  // namespace tovarin::testing
