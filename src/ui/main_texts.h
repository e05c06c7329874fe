// The texts the main window shows for facts: environment, privilege, kit state,
// selection summary, disk rows, the progress status line and console lines.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "common/timestamp.h"
#include "disk/disk_info.h"
#include "erase/records.h"
#include "ui/services.h"

namespace morvane {

inline constexpr wchar_t kNoSelectionSummary[] = L"ディスクが選択されていません。";
inline constexpr wchar_t kNoUsbEntry[] = L"(リムーバブルUSB未検出 - ISO出力推奨)";
inline constexpr wchar_t kSimulatedSystemDiskDescription[] =
    L"[WinPEシミュレーション] 実WinPE起動時は消去可能 (現在はWindows稼働中のためSimulationのみ許可)";

// "[2024-05-01 09:03:07] " + text + "\r\n".
std::wstring ConsoleLine(const CalendarTime& time, const std::wstring& text);

// The two lines the console starts with.
std::vector<std::wstring> StartupConsoleLines();

std::wstring EnvironmentLabel(bool effectiveWinPE);
std::wstring PrivilegeLabel(bool admin);
std::wstring AdkLabel(const AdkState& adk);
// "選択: Disk 2 (model) [推奨: ...]" with "[FW: Crypto/Block]" after it for an NVMe drive,
// or the no-selection text for nullptr.
std::wstring SelectionSummary(const DiskInfo* disk);

// The eight disk-list columns of one disk.
std::array<std::wstring, 8> DiskRowTexts(const DiskInfo& disk);

// Under the WinPE simulation, the disks that hold C: say that only simulation runs
// are allowed for them now (their safety status stays as classified).
void MarkSimulatedSystemDisks(std::vector<DiskInfo>& disks);

// The USB target entries, or the single placeholder when there is none.
std::vector<std::wstring> UsbTargetEntries(std::vector<std::wstring> removable);

// "label  |  現在パス: 45%  |  全体進捗: 12%  |  処理速度: 1250.5 MB/s".
std::wstring ProgressStatusLine(const EraseProgressInfo& progress);

}  // namespace morvane
