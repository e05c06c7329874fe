// The main window's refresh procedures: the console, the disk list and selection
// summary, the USB targets, the kit status, the log-output controls, and reading the
// controls back into the settings.
#pragma once

#include <cstddef>
#include <string>

#include "ui/app_state.h"

namespace morvane {

// One console line with the local time in front; the oldest lines go past the cap.
void AppendLogLine(AppState& state, const std::wstring& text);

// Rescans with the effective WinPE flag and the unlock box; keeps the selected disk
// selected when it is still listed (same device path), else selects the first row.
void RefreshDiskList(AppState& state);
void RefreshSelectionSummary(AppState& state);
void RefreshUsbTargets(AppState& state);
void RefreshAdkStatus(AppState& state);
// The output-folder edit and its two buttons follow the log-output check box.
void UpdateLogControls(AppState& state);
void UpdateStandardDescription(AppState& state);

// Puts the settings into the controls they initialise.
void ApplySettingsToControls(AppState& state);
// The settings as the controls show them now.
[[nodiscard]] AppSettings SettingsFromControls(const AppState& state);
// SettingsFromControls into `settings`, then saved.
void SyncSettingsFromControls(AppState& state);

[[nodiscard]] std::wstring ControlText(HWND control, std::size_t maxChars);
[[nodiscard]] bool IsChecked(const AppState& state, ControlId id);
[[nodiscard]] int ComboSelection(const AppState& state, ControlId id);
// The selected disk record, or nullptr.
[[nodiscard]] const DiskInfo* SelectedDisk(const AppState& state);

}  // namespace morvane
