// Everything the windows reach outside themselves goes through UiServices: message
// boxes, the shell, the common dialogs, the clipboard, the disk scan, the environment
// checks, the kit status, the drive list, hardware and stamp reads, the settings
// store and the nested modal windows. The product uses SystemUiServices(); tests
// drive the real windows with a replacement that records and answers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/hardware_profile.h"
#include "common/win32.h"
#include "disk/disk_info.h"
#include "disk/write_safety.h"
#include "erase/records.h"
#include "settings/settings_store.h"
#include "winpe/adk.h"

namespace morvane {

// The deployment kit as the main window shows it.
struct AdkState {
    AdkStatus status = AdkMissing;
    bool hasX86 = false;
};

// One logical drive as the folder picker lists it.
struct DriveFacts {
    std::wstring root;  // "E:\"
    unsigned type = 0;  // GetDriveTypeW answer
    std::wstring label;
    std::wstring fileSystem;
    std::uint64_t freeBytes = 0;
    std::vector<std::uint32_t> diskNumbers;  // the disks its volume spans; empty when unknown
};

// What the report window is opened with.
struct ReportRequest {
    ReportStamp stamp;
    std::wstring htmlPath;
    std::optional<EraseResult> result;
    std::optional<DiskInfo> disk;
    // The operator's unlock of internal secondary disks, for the stamp switch's guard;
    // without one the disk counts as unlocked exactly when its record says so.
    std::optional<bool> unlockInternal;
    // The machine's profile when the opener has read it already; the window collects
    // one only when neither the stamp nor the request carries one.
    std::optional<HardwareProfile> hardware;
    // The stamp was read back from `disk` just now: a report stamp is on it.
    bool stampDetected = false;
};

class UiServices {
public:
    virtual ~UiServices() = default;

    // A modal message box over `owner` with MessageBoxW's style bits (icon, buttons,
    // default button); returns the ID of the button pressed (IDYES, IDNO, ...).
    virtual int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& title, UINT style) = 0;
    // The shell's "open" of a file or folder; false when the shell could not.
    virtual bool ShellOpen(HWND owner, const std::wstring& path) = 0;
    // Starts this program again elevated ("runas"); false when declined or failed.
    virtual bool RestartAsAdministrator(HWND owner) = 0;
    // The save-file dialog for the WinPE ISO; empty when cancelled.
    virtual std::wstring AskIsoSavePath(HWND owner, const std::wstring& proposedName) = 0;
    // The system folder browser (file-system folders only); empty when cancelled.
    virtual std::wstring BrowseForFolder(HWND owner, const std::wstring& title) = 0;
    // Replaces the clipboard with Unicode text; false when the clipboard failed.
    virtual bool SetClipboardText(HWND owner, const std::wstring& text) = 0;

    virtual bool IsWinPE() = 0;
    virtual bool IsRunningAsAdmin() = 0;
    virtual std::vector<DiskInfo> ScanDisks(bool winPE, bool unlockInternal) = 0;
    // The disk judged for a real write as the guarded open judges it: safety against
    // the real machine, then the identity of the device at its path.
    virtual WriteJudgement JudgeRealWrite(const DiskInfo& disk, bool unlockInternal) = 0;
    // Entries of the USB target list ("E:\ [USB/リムーバブル] ...").
    virtual std::vector<std::wstring> RemovableDriveEntries() = 0;
    virtual AdkState QueryAdk() = 0;
    virtual std::vector<DriveFacts> ListDrives() = 0;
    // Creates the folder and proves it writable with the probe file.
    virtual bool TestFolderWritable(const std::wstring& folder) = 0;

    virtual HardwareProfile CollectHardware(const DiskInfo& disk) = 0;
    virtual ReportStamp DetectStamp(const DiskInfo& disk, const HardwareProfile& hardware) = 0;

    virtual AppSettings LoadSettings() = 0;
    virtual void SaveSettings(const AppSettings& settings) = 0;

    // The report window, modal to `owner`; returns when it closes.
    virtual void ShowReport(HWND owner, const ReportRequest& request) = 0;
    // The folder picker, modal to `owner`; the chosen folder or empty when cancelled.
    // Folders on disk `targetDisk` (the disk about to be erased; -1: none) are refused.
    virtual std::wstring PickFolder(HWND owner, const std::wstring& initialPath, int targetDisk) = 0;
};

// The real machine.
UiServices& SystemUiServices();

}  // namespace morvane
