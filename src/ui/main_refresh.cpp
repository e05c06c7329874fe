// Refresh procedures of the main window and the settings read back from its controls.
#include "ui/main_refresh.h"

#include <algorithm>

#include "erase/standards.h"
#include "ui/main_texts.h"

namespace morvane {
namespace {

void SetText(HWND control, const std::wstring& text) { ::SetWindowTextW(control, text.c_str()); }

// Removes whole lines from the top of the console so that, with `incoming` more
// characters, it stays at three quarters of the cap; trimming then happens rarely.
void TrimConsole(HWND console, std::size_t incoming, std::size_t cap) {
    const std::size_t length = static_cast<std::size_t>(::GetWindowTextLengthW(console));
    if (length + incoming <= cap) return;
    const std::size_t keep = cap - cap / 4;
    const std::size_t excess = length + incoming > keep ? length + incoming - keep : 0;
    std::size_t cut = length;
    if (excess < length) {
        const std::wstring text = ControlText(console, length);
        const std::size_t lineEnd = text.find(L"\r\n", excess > 0 ? excess - 1 : 0);
        if (lineEnd != std::wstring::npos) cut = lineEnd + 2;
    }
    ::SendMessageW(console, EM_SETSEL, 0, static_cast<LPARAM>(cut));
    ::SendMessageW(console, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
}

}  // namespace

std::wstring ControlText(HWND control, std::size_t maxChars) {
    std::wstring text(maxChars + 1, L'\0');
    const int copied = ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

bool IsChecked(const AppState& state, ControlId id) {
    return ::SendMessageW(state.Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int ComboSelection(const AppState& state, ControlId id) {
    return static_cast<int>(::SendMessageW(state.Control(id), CB_GETCURSEL, 0, 0));
}

const DiskInfo* SelectedDisk(const AppState& state) {
    if (state.selectedDisk < 0 || static_cast<std::size_t>(state.selectedDisk) >= state.disks.size()) return nullptr;
    return &state.disks[static_cast<std::size_t>(state.selectedDisk)];
}

void AppendLogLine(AppState& state, const std::wstring& text) {
    HWND console = state.Control(kIdConsole);
    if (console == nullptr) return;
    const std::wstring line = ConsoleLine(LocalCalendarTime(), text);
    TrimConsole(console, line.size(), state.consoleCapChars);
    const LPARAM end = ::GetWindowTextLengthW(console);
    ::SendMessageW(console, EM_SETSEL, static_cast<WPARAM>(end), end);
    ::SendMessageW(console, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
}

void RefreshDiskList(AppState& state) {
    const bool simulate = IsChecked(state, kIdSimulateWinPE);
    const bool effectiveWinPE = simulate || state.isWinPE == 1;
    SetText(state.Control(kIdEnvironment), EnvironmentLabel(effectiveWinPE));
    SetText(state.Control(kIdPrivilege), PrivilegeLabel(state.isAdmin == 1));
    ::EnableWindow(state.Control(kIdRestart), state.isAdmin == 1 ? FALSE : TRUE);

    // The operator's choice survives a rescan (and the one after every erasure): a
    // report or a second run must not silently move to another disk.
    const DiskInfo* previous = SelectedDisk(state);
    const std::wstring keptPath = previous ? previous->devicePath : std::wstring();

    state.disks = state.services.ScanDisks(effectiveWinPE, IsChecked(state, kIdUnlock));
    if (simulate) MarkSimulatedSystemDisks(state.disks);

    HWND list = state.Control(kIdDiskList);
    state.selectedDisk = -1;
    ListView_DeleteAllItems(list);
    for (std::size_t row = 0; row < state.disks.size(); ++row) {
        const auto texts = DiskRowTexts(state.disks[row]);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(row);
        item.pszText = const_cast<wchar_t*>(texts[0].c_str());
        item.lParam = static_cast<LPARAM>(row);
        const int at = ListView_InsertItem(list, &item);
        for (int column = 1; column < static_cast<int>(texts.size()); ++column) {
            ListView_SetItemText(list, at, column, const_cast<wchar_t*>(texts[column].c_str()));
        }
    }
    if (!state.disks.empty()) {
        int row = 0;
        if (!keptPath.empty()) {
            const auto found = std::find_if(state.disks.begin(), state.disks.end(),
                                            [&](const DiskInfo& disk) { return disk.devicePath == keptPath; });
            if (found != state.disks.end()) row = static_cast<int>(found - state.disks.begin());
        }
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, row, FALSE);
        state.selectedDisk = row;
    }
    RefreshSelectionSummary(state);
    RefreshUsbTargets(state);
}

void RefreshSelectionSummary(AppState& state) {
    const int row = ListView_GetNextItem(state.Control(kIdDiskList), -1, LVNI_SELECTED);
    if (row >= 0 && static_cast<std::size_t>(row) < state.disks.size()) {
        state.selectedDisk = row;
        SetText(state.Control(kIdSelectionSummary), SelectionSummary(&state.disks[static_cast<std::size_t>(row)]));
    } else {
        state.selectedDisk = -1;
        SetText(state.Control(kIdSelectionSummary), SelectionSummary(nullptr));
    }
}

void RefreshUsbTargets(AppState& state) {
    HWND combo = state.Control(kIdUsbTarget);
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& entry : UsbTargetEntries(state.services.RemovableDriveEntries())) {
        ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

void RefreshAdkStatus(AppState& state) { SetText(state.Control(kIdAdkStatus), AdkLabel(state.services.QueryAdk())); }

void UpdateLogControls(AppState& state) {
    const BOOL enable = IsChecked(state, kIdLogOutput) ? TRUE : FALSE;
    for (ControlId id : {kIdOutputFolder, kIdChooseFolder, kIdOpenFolder}) ::EnableWindow(state.Control(id), enable);
}

void UpdateStandardDescription(AppState& state) {
    const int selected = ComboSelection(state, kIdStandard);
    SetText(state.Control(kIdStandardDescription), selected >= 0 ? StandardDescription(static_cast<std::uint32_t>(selected))
                                                                 : std::wstring());
}

void ApplySettingsToControls(AppState& state) {
    const AppSettings& s = state.settings;
    ::SendMessageW(state.Control(kIdStandard), CB_SETCURSEL, s.defaultStandard < kStandardCount ? s.defaultStandard : 0, 0);
    UpdateStandardDescription(state);
    ::SendMessageW(state.Control(kIdVerify), CB_SETCURSEL, s.defaultVerify <= 2 ? s.defaultVerify : 1, 0);
    ::SendMessageW(state.Control(kIdMode), CB_SETCURSEL, s.defaultExecMode == 1 ? 1 : 0, 0);
    // A saved real mode is a switch to real: the code must be typed for it.
    if (s.defaultExecMode == 1) ::SetWindowTextW(state.Control(kIdCode), L"");
    ::SendMessageW(state.Control(kIdStamp), CB_SETCURSEL, s.StampWanted() ? 0 : 1, 0);
    SetText(state.Control(kIdOperator), s.operatorName);
    SetText(state.Control(kIdOrganization), s.organizationName);
    ::SendMessageW(state.Control(kIdLogOutput), BM_SETCHECK, s.CertificatesWanted() ? BST_CHECKED : BST_UNCHECKED, 0);
    SetText(state.Control(kIdOutputFolder), s.certOutputDir);
}

AppSettings SettingsFromControls(const AppState& state) {
    AppSettings s = state.settings;
    s.operatorName = ControlText(state.Control(kIdOperator), kMaxSettingsText);
    s.organizationName = ControlText(state.Control(kIdOrganization), kMaxSettingsText);
    s.certOutputDir = ControlText(state.Control(kIdOutputFolder), kMaxSettingsText);
    const int standard = ComboSelection(state, kIdStandard);
    if (standard >= 0 && standard < static_cast<int>(kStandardCount)) s.defaultStandard = static_cast<std::uint32_t>(standard);
    const int verify = ComboSelection(state, kIdVerify);
    if (verify >= 0 && verify <= 2) s.defaultVerify = static_cast<std::uint32_t>(verify);
    s.defaultExecMode = ComboSelection(state, kIdMode) == 1 ? 1 : 0;
    s.writeDiskStamp = ComboSelection(state, kIdStamp) == 1 ? 1 : 0;
    s.enableLogOutput = IsChecked(state, kIdLogOutput) ? 0 : 1;
    return s;
}

void SyncSettingsFromControls(AppState& state) {
    state.settings = SettingsFromControls(state);
    state.services.SaveSettings(state.settings);
}

}  // namespace morvane
