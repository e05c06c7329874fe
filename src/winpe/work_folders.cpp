// Leftover mounts and work folders of earlier builds, and the fresh work folder.
#include "winpe/work_folders.h"

#include <cwchar>

#include "common/files.h"
#include "common/timestamp.h"
#include "common/win32.h"
#include "winpe/build_guards.h"
#include "winpe/command_runner.h"

namespace morvane {

namespace {

constexpr wchar_t kWorkFolderPrefix[] = L"Morvane_WinPE_";

// A mount folder of one of this program's builds: this build's own, or the "mount"
// folder of any default work folder ("...\Morvane_WinPE_*\mount").
bool IsOwnMountFolder(const std::wstring& folder, const std::wstring& ownMountFolder) {
    if (SamePathText(folder, ownMountFolder)) return true;
    const std::size_t last = folder.find_last_of(L'\\');
    if (last == std::wstring::npos || !SamePathText(folder.substr(last + 1), L"mount")) return false;
    const std::size_t parent = folder.find_last_of(L'\\', last == 0 ? 0 : last - 1);
    const std::size_t start = parent == std::wstring::npos ? 0 : parent + 1;
    const std::wstring name = folder.substr(start, last - start);
    const std::wstring prefix = kWorkFolderPrefix;
    return name.size() > prefix.size() && SamePathText(name.substr(0, prefix.size()), prefix);
}

}  // namespace

std::wstring CreateFreshWorkFolder(const std::wstring& base) {
    const std::wstring stamped = base + L"_" + FormatCompactTimestamp(LocalCalendarTime(), L'_');
    for (int n = 1; n < 1000; ++n) {
        const std::wstring candidate = n == 1 ? stamped : stamped + L"_" + std::to_wstring(n);
        // Any other failure (no temporary folder) shows at the staging step.
        if (::CreateDirectoryW(candidate.c_str(), nullptr) || ::GetLastError() != ERROR_ALREADY_EXISTS) {
            return candidate;
        }
    }
    return stamped;
}

std::vector<std::wstring> ReportedMountFolders(const std::vector<std::wstring>& lines) {
    static const std::wstring kLabel = L"Mount Dir";
    std::vector<std::wstring> folders;
    for (const std::wstring& line : lines) {
        const std::size_t label = line.find_first_not_of(L' ');
        if (label == std::wstring::npos || line.compare(label, kLabel.size(), kLabel) != 0) continue;
        std::size_t at = line.find_first_not_of(L' ', label + kLabel.size());
        if (at == std::wstring::npos || line[at] != L':') continue;
        at = line.find_first_not_of(L' ', at + 1);
        if (at == std::wstring::npos) continue;
        std::wstring folder = line.substr(at);
        while (!folder.empty() && (folder.back() == L' ' || folder.back() == L'\\')) folder.pop_back();
        folders.push_back(folder);
    }
    return folders;
}

std::vector<std::wstring> DiscardLeftoverMounts(const WinPEPaths& p, const std::wstring& dism,
                                                const LogCallback& log, const WinPEHost& host) {
    // An image still mounted by an earlier build that stopped half-way keeps its
    // folder locked and its DISM resources busy; a plain clean-up of mount points
    // does not unmount it.
    const LogCallback quiet = RunnerLinesOnly(log);
    std::vector<std::wstring> listing;
    (void)RunCommand(MountedImagesCommand(dism),
                     [&listing, &quiet](const std::wstring& line) {
                         listing.push_back(line);
                         if (quiet) quiet(line);
                     },
                     host.commandTimeLimit);
    const std::vector<std::wstring> mounted = ReportedMountFolders(listing);
    for (const std::wstring& folder : mounted) {
        if (IsOwnMountFolder(folder, p.mountFolder)) {
            (void)RunCommand(UnmountDiscardCommand(dism, folder), quiet, host.commandTimeLimit);
        }
    }
    (void)RunCommand(CleanupMountpointsCommand(dism), quiet, host.commandTimeLimit);
    return mounted;
}

void MarkScratchWorkFolder(const std::wstring& workFolder) {
    const std::wstring marker = workFolder + L"\\" + kScratchMarkerName;
    // Unwritten, the folder simply stays, as a media folder does.
    (void)WriteWholeFile(marker, kScratchMarkerText);
}

void RemoveStaleWorkFolders(const std::vector<std::wstring>& mountFolders, const std::wstring& ownWorkFolder,
                            const LogCallback& log, const WinPEHost& host) {
    const std::wstring temp = TempFolder();
    if (temp.empty()) return;
    std::vector<FoundWorkFolder> found;
    for (const std::wstring& folder : ListFolders(temp + kWorkFolderPrefix + L"*")) {
        found.push_back({folder, PathExists(folder + L"\\" + kScratchMarkerName)});
    }
    for (const std::wstring& folder : StaleWorkFolders(found, mountFolders, ownWorkFolder)) {
        EmitLog(log, L"[WINPE BUILD] 以前の作成で残った作業フォルダを削除しています: " + folder);
        (void)RunCommand(RemoveWorkFolderCommand(folder), RunnerLinesOnly(log), host.commandTimeLimit);
    }
}

}  // namespace morvane
