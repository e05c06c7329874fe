// The main window's 59 controls as one table, in creation order, with the disk-list
// columns and the controls drawn in bold; one loop creates them all.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "common/win32.h"

namespace morvane {

// Control identifiers, in creation order (the table's order).
enum ControlId : int {
    kIdTitle = 1001, kIdEnvironment, kIdPrivilege, kIdRestart, kIdSimulateWinPE,
    kIdDiskFrame, kIdDiskList, kIdRescan, kIdUnlock, kIdSelectionSummary,
    kIdOptionsFrame, kIdStandardCaption, kIdStandard, kIdStandardDescription, kIdVerifyCaption,
    kIdVerify, kIdModeCaption, kIdMode, kIdStampCaption, kIdStamp,
    kIdOperatorCaption, kIdOperator, kIdOrganizationCaption, kIdOrganization, kIdNotesCaption,
    kIdNotes, kIdLogOutput, kIdOutputFolderCaption, kIdOutputFolder, kIdChooseFolder,
    kIdOpenFolder, kIdHint, kIdWinPEFrame, kIdAdkStatus, kIdAdkCaption,
    kIdAdkChoice, kIdAdkStart, kIdArchCaption, kIdArch, kIdMediumCaption,
    kIdMedium, kIdBootCaption, kIdBoot, kIdUsbCaption, kIdUsbTarget,
    kIdWinPEStart, kIdEraseFrame, kIdCodeCaption, kIdCode, kIdEraseStart,
    kIdAbort, kIdReport, kIdOpenCertificate, kIdPassCaption, kIdPassBar,
    kIdOverallCaption, kIdOverallBar, kIdStatus, kIdConsole,
    kIdAfterLast
};
inline constexpr int kFirstControlId = kIdTitle;
inline constexpr int kControlCount = kIdAfterLast - kIdTitle;

enum class ControlKind { Static, Frame, Button, Check, ListView, Combo, Edit, Progress };

struct ControlRow {
    ControlId id;
    ControlKind kind;
    std::wstring text;  // caption or initial text
    int x, y, width, height;  // client pixels at 96 DPI; a combo's height includes its list
    DWORD extraStyle = 0;
    std::vector<std::wstring> items{};  // combo entries
    int selected = -1;                // combo entry selected at creation
};

std::vector<ControlRow> MainControlTable();

struct DiskListColumn {
    const wchar_t* title;
    int width;
};
inline constexpr std::array<DiskListColumn, 8> kDiskListColumns{{
    {L"Disk #", 68}, {L"モデル名 (Model)", 215}, {L"シリアル番号 (S/N)", 140}, {L"種別 (Media)", 140},
    {L"バス", 65}, {L"容量", 90}, {L"ドライブ", 95}, {L"安全保護ステータス (Safety Lock)", 255},
}};

// Drawn with the bold font; every other control but the console gets the normal one.
inline constexpr std::array<ControlId, 4> kBoldControls{kIdEraseStart, kIdReport, kIdWinPEStart, kIdEnvironment};

using ControlHandles = std::array<HWND, kControlCount>;

// Creates every control of the table as a child of `parent`, positions multiplied by
// `factor`. False when any control could not be created.
[[nodiscard]] bool CreateMainControls(HWND parent, HINSTANCE instance, double factor, ControlHandles& handles);

}  // namespace morvane
