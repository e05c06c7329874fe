// What earlier builds left on this machine (mounted images, scratch work folders)
// and this build's own fresh work folder.
#pragma once

#include <string>
#include <vector>

#include "common/log_callback.h"
#include "winpe/winpe_commands.h"
#include "winpe/winpe_host.h"

namespace morvane {

// A work folder of this build's own, so that a later build never deletes this one's
// media: `base` plus the start time, and a counter should that folder exist already.
// Created here, which settles the name.
[[nodiscard]] std::wstring CreateFreshWorkFolder(const std::wstring& base);

// The mount folders in DISM's English listing of mounted images ("Mount Dir : C:\...").
[[nodiscard]] std::vector<std::wstring> ReportedMountFolders(const std::vector<std::wstring>& lines);

// Discards every image that one of this program's builds left mounted (this build's
// own mount folder, or "...\Morvane_WinPE_*\mount"), then cleans stale mount points.
// Results are ignored and the output stays out of the log. Returns the mount folders
// DISM listed before anything was discarded.
std::vector<std::wstring> DiscardLeftoverMounts(const WinPEPaths& p, const std::wstring& dism,
                                                const LogCallback& log, const WinPEHost& host);

// Marks the work folder of an ISO or USB build as scratch (see kScratchMarkerName).
void MarkScratchWorkFolder(const std::wstring& workFolder);

// Removes the scratch work folders of earlier ISO and USB builds in the temporary
// folder ("Morvane_WinPE_*" with the marker) that had no image listed as mounted;
// each removal is logged. Media-folder builds are never touched.
void RemoveStaleWorkFolders(const std::vector<std::wstring>& mountFolders, const std::wstring& ownWorkFolder,
                            const LogCallback& log, const WinPEHost& host);

}  // namespace morvane
