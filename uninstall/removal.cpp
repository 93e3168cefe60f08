#include "uninstall/removal.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/phase_trace.h"
#include "common/product_info.h"
#include "common/text.h"
#include "uninstall/uninstall_texts.h"

namespace tovarin::uninstall {
namespace {

std::wstring_view WithoutTrailingSeparators(std::wstring_view path) {
    while (!path.empty() && IsSeparator(path.back())) path.remove_suffix(1);
    return path;
}

// As the file system compares names: ignoring case.
bool SamePath(std::wstring_view a, std::wstring_view b) {
    a = WithoutTrailingSeparators(a);
    b = WithoutTrailingSeparators(b);
    return !a.empty() && ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

RemovalReport Report(RemovalOutcome outcome, const char* text, std::string failure = {}) {
    RemovalReport report;
    report.outcome = outcome;
    report.userText = text;
    report.failure = std::move(failure);
    return report;
}

std::size_t Depth(const std::wstring& relative) { return std::count(relative.begin(), relative.end(), L'\\'); }

// Tallies the entries' fates; the first failure keeps its detail.
struct Tally {
    bool kept = false;
    std::string failure;

    void Add(EntryRemoval removal, const std::wstring& what) {
        if (removal == EntryRemoval::Kept) kept = true;
        if (removal == EntryRemoval::Failed && failure.empty()) failure = "Cannot remove " + Narrow(what);
    }
};

}  // namespace

std::variant<RemovalPlan, RemovalReport> PrepareRemoval(RemovalDisk& disk, const std::wstring& installDir) {
    const std::optional<Registration> registration = disk.ReadRegistration();
    if (!registration) return Report(RemovalOutcome::Failed, kNotInstalledText, "No registration");
    if (!SamePath(registration->installLocation, installDir))
        return Report(RemovalOutcome::Failed, kNotInstalledText,
                      "Registered at " + Narrow(registration->installLocation) + ", not here");

    RecordBytes read = disk.ReadRecord();
    if (read.state == RecordState::Missing) {
        // Only the registration is left of an earlier run that was cut short.
        if (!disk.DeleteRegistration())
            return Report(RemovalOutcome::Failed, kFailedText, "Cannot remove the registration");
        RemovalReport report = Report(RemovalOutcome::Removed, kRemovedText);
        if (!disk.OnlyUninstallerLeft()) {
            report.installDirKept = true;
            report.userText = kRemovedDirKeptText;
        }
        return report;
    }
    if (read.state == RecordState::Invalid) return Report(RemovalOutcome::Failed, kRecordInvalidText, read.failure);
    const std::string hash = RecordHash(read.bytes);
    if (hash.empty() || Widen(hash) != registration->recordHash)
        return Report(RemovalOutcome::Failed, kRecordInvalidText, "The record does not match the registration");
    std::string failure;
    std::optional<InstallRecord> record = ParseRecord(read.bytes, failure);
    if (!record) return Report(RemovalOutcome::Failed, kRecordInvalidText, "Unreadable record: " + failure);
    if (!SamePath(record->installDir, installDir))
        return Report(RemovalOutcome::Failed, kRecordInvalidText, "The record is of " + Narrow(record->installDir));
    return RemovalPlan{std::wstring(WithoutTrailingSeparators(installDir)), std::move(*record)};
}

RemovalReport RemoveInstall(RemovalDisk& disk, const RemovalPlan& plan, const std::function<void(double)>& progress) {
    TracePhase("uninstall-start");
    const InstallRecord& record = plan.record;
    const double steps = static_cast<double>(record.files.size() + record.shortcuts.size() + record.folders.size() + 2);
    double done = 0;
    const auto step = [&] {
        if (progress) progress(++done / steps);
    };
    Tally tally;

    // The uninstaller and the record are listed too; they go last.
    for (const RecordedFile& file : record.files) {
        if (!SamePath(file.path, kUninstallerFileName) && !SamePath(file.path, kRecordFileName))
            tally.Add(disk.RemoveFile(file.path, file.size, file.lastWrite), file.path);
        step();
    }
    TracePhase("files-removed");

    // Only at this user's two places, and only while they lead into this install.
    const std::wstring target = plan.installDir + L"\\" + Widen(kProductExe);
    const std::wstring programs = disk.ProgramsShortcutPath();
    const std::wstring desktop = disk.DesktopShortcutPath();
    bool programsListed = false;
    for (const std::wstring& shortcut : record.shortcuts) {
        const bool inPrograms = SamePath(shortcut, programs);
        if (inPrograms || SamePath(shortcut, desktop))
            tally.Add(disk.RemoveShortcut(inPrograms ? programs : desktop, target), shortcut);
        programsListed = programsListed || inPrograms;
        step();
    }
    if (programsListed) {
        // Another program's shortcut or the user's own keeps it; that is not
        // the install directory's concern.
        const EntryRemoval folder = disk.RemoveProgramsFolder();
        if (folder == EntryRemoval::Failed) tally.Add(folder, programs);
    }

    std::vector<std::wstring> folders = record.folders;
    std::stable_sort(folders.begin(), folders.end(),
                     [](const std::wstring& a, const std::wstring& b) { return Depth(a) > Depth(b); });
    for (const std::wstring& folder : folders) {
        tally.Add(disk.RemoveFolder(folder), folder);
        step();
    }

    if (!tally.failure.empty()) return Report(RemovalOutcome::Failed, kFailedText, tally.failure);
    if (disk.RemoveRecord() == EntryRemoval::Failed)
        return Report(RemovalOutcome::Failed, kFailedText, "Cannot remove the record");
    step();
    if (!disk.DeleteRegistration()) return Report(RemovalOutcome::Failed, kFailedText, "Cannot remove the registration");
    step();
    TracePhase("uninstall-done");

    RemovalReport report = Report(RemovalOutcome::Removed, kRemovedText);
    if (tally.kept || !disk.OnlyUninstallerLeft()) {
        report.installDirKept = true;
        report.userText = kRemovedDirKeptText;
    }
    return report;
}

RemovalReport RunQuietRemoval(RemovalDisk& disk, const std::wstring& installDir) {
    std::variant<RemovalPlan, RemovalReport> prepared = PrepareRemoval(disk, installDir);
    if (auto* report = std::get_if<RemovalReport>(&prepared)) return std::move(*report);
    if (disk.ProductRunning()) return Report(RemovalOutcome::Refused, kProductRunningText, "The product runs");
    return RemoveInstall(disk, std::get<RemovalPlan>(prepared), nullptr);
}

void RemoveUninstallerAndDir(RemovalDisk& disk) {
    if (disk.RemoveUninstaller() == EntryRemoval::Failed) return;
    disk.RemoveInstallDir();
}

}  // namespace tovarin::uninstall
