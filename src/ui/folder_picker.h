// The folder picker for certificates and audit logs: every drive with its kind,
// label, file system and free space, a proposed folder per drive, and a write check.
#pragma once

#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "ui/services.h"

namespace morvane {

// Control identifiers of the picker (OK and Cancel are IDOK and IDCANCEL).
enum FolderPickerControl : int {
    kPickerDriveList = 201,
    kPickerPathEdit = 202,
    kPickerBrowse = 203,
};

// Owned by the opening call for the window's whole life.
struct FolderPickerState {
    std::wstring path;  // the initial path; the chosen one once accepted
    bool accepted = false;
    int targetDisk = -1;  // the disk about to be erased: its folders are refused
    UniqueFont font;
    HWND driveList = nullptr;
    HWND pathEdit = nullptr;
    std::vector<std::wstring> suggestions;  // one per list entry
    std::vector<DriveFacts> drives;         // as listed when the window opened
    UiServices* services = nullptr;
};

// Creates the picker over `owner` (not yet modal); `state` must outlive the window.
HWND CreateFolderPickerWindow(HWND owner, FolderPickerState& state, UiServices& services);
// Runs the picker modal to `owner` until it is destroyed.
void RunFolderPickerLoop(HWND owner, HWND picker);

// Modal to `owner`; the chosen folder, or empty when cancelled.
// Folders on disk `targetDisk` (-1: none) are shown as on the disk being erased and refused.
std::wstring PickOutputFolder(HWND owner, const std::wstring& initialPath, int targetDisk, UiServices& services);

}  // namespace morvane
