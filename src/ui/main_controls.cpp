// The main window's control table and the loop that creates it.
#include "ui/main_controls.h"

#include "erase/standards.h"
#include "ui/layout.h"

namespace morvane {
namespace {

using K = ControlKind;

std::vector<std::wstring> StandardNames() {
    std::vector<std::wstring> names;
    for (std::uint32_t i = 0; i < kStandardCount; ++i) names.push_back(StandardName(i));
    return names;
}

struct ClassAndStyle {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

ClassAndStyle ClassOf(ControlKind kind) {
    switch (kind) {
        case K::Static: return {WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};
        case K::Frame: return {WC_BUTTONW, BS_GROUPBOX, 0};
        case K::Button: return {WC_BUTTONW, BS_PUSHBUTTON, 0};
        case K::Check: return {WC_BUTTONW, BS_AUTOCHECKBOX, 0};
        case K::ListView:
            return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE};
        case K::Combo: return {WC_COMBOBOXW, CBS_DROPDOWNLIST, 0};
        case K::Edit: return {WC_EDITW, ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case K::Progress: return {PROGRESS_CLASSW, PBS_SMOOTH, 0};
    }
    return {WC_STATICW, 0, 0};
}

}  // namespace

std::vector<ControlRow> MainControlTable() {
    return {
        {kIdTitle, K::Static,
         L"Morvane Disk Eraser  |  NIST SP 800-88 Rev.1 / DoD完全消去・証明スタンプ・x86/x64日本語WinPEスイート", 16, 12, 920, 26},
        {kIdEnvironment, K::Static, L"", 16, 40, 480, 20},
        {kIdPrivilege, K::Static, L"", 505, 40, 260, 20},
        {kIdRestart, K::Button, L"管理者権限で再起動", 770, 35, 145, 26},
        {kIdSimulateWinPE, K::Check, L"WinPE環境認識シミュレーション", 925, 37, 195, 22},
        {kIdDiskFrame, K::Frame, L"1. 対象物理ディスク選択 (OSシステムドライブ保護ロック ＆ NVMe/SSD自動識別)", 14, 68, 1110, 206},
        {kIdDiskList, K::ListView, L"", 26, 92, 1086, 134},
        {kIdRescan, K::Button, L"ディスク一覧を再スキャン", 26, 234, 175, 30},
        {kIdUnlock, K::Check, L"非ブート内蔵セカンダリディスクのロックを解除 (C:ドライブは常時絶対保護)", 212, 238, 455, 24},
        {kIdSelectionSummary, K::Static, L"対象ディスクを選択してください。", 675, 239, 435, 22},
        {kIdOptionsFrame, K::Frame,
         L"2. 消去規格 (NIST 800-88 / DoD) ＆ 消去後の実機レポート画面切替・ログ保存先設定", 14, 282, 650, 268},
        {kIdStandardCaption, K::Static, L"消去方式 (Standard):", 28, 306, 135, 20},
        {kIdStandard, K::Combo, L"", 168, 302, 480, 260, WS_VSCROLL, StandardNames()},
        {kIdStandardDescription, K::Static, L"", 168, 329, 480, 32},
        {kIdVerifyCaption, K::Static, L"ベリファイ検証:", 28, 365, 135, 20},
        {kIdVerify, K::Combo, L"", 168, 361, 230, 120, 0,
         {L"検証なし (Skip Verify)", L"クイック検証 (Quick Sample Verify)", L"全領域検証 (Full Surface Verify)"}},
        {kIdModeCaption, K::Static, L"動作モード:", 408, 365, 75, 20},
        {kIdMode, K::Combo, L"", 482, 361, 166, 120, 0, {L"安全シミュレーション(DryRun)", L"実機物理セクタ完全消去"}},
        {kIdStampCaption, K::Static, L"消去後のディスク状態:", 28, 394, 138, 20},
        {kIdStamp, K::Combo, L"", 168, 390, 480, 120, 0,
         {L"[実機レポート画面を有効] 消去後にブータブルレポート画面を記録 (BIOS/UEFI起動で表示)",
          L"[完全消去状態(スタンプなし)] 通常通りディスクを完全消去した状態にする (全セクタ0x00)"}},
        {kIdOperatorCaption, K::Static, L"作業担当者名:", 28, 423, 135, 20},
        {kIdOperator, K::Edit, L"", 168, 419, 190, 24},
        {kIdOrganizationCaption, K::Static, L"組織・部署名:", 370, 423, 90, 20},
        {kIdOrganization, K::Edit, L"", 462, 419, 186, 24},
        {kIdNotesCaption, K::Static, L"証明書備考 (Notes):", 28, 451, 135, 20},
        {kIdNotes, K::Edit, L"社内PC・ストレージ廃棄/再利用前サニタイズ処理 (NIST SP 800-88 Rev.1)", 168, 447, 480, 24},
        {kIdLogOutput, K::Check,
         L"証明書・監査ログファイル作成を有効にする (ISO/CD・DVD起動時はUSBメモリ等の保存先を指定可能)", 28, 478, 620, 22},
        {kIdOutputFolderCaption, K::Static, L"ログ・証明書保存先:", 28, 507, 135, 20},
        {kIdOutputFolder, K::Edit, L"", 168, 503, 305, 24},
        {kIdChooseFolder, K::Button, L"保存先指定...", 479, 502, 95, 26},
        {kIdOpenFolder, K::Button, L"開く", 578, 502, 70, 26},
        {kIdHint, K::Static,
         L"※完了時に実機消去＆ハードウェアレポート画面を表示します (画面上から別ドライブへのログ保存・スタンプ切替も可能)。",
         28, 531, 622, 18},
        {kIdWinPEFrame, K::Frame, L"3. 日本語WinPE起動メディア作成 (x86 32bit / x64 64bit・CSM/UEFI両対応)", 674, 282, 450, 268},
        {kIdAdkStatus, K::Static, L"Windows ADK 状態: 確認中...", 688, 304, 424, 20},
        {kIdAdkCaption, K::Static, L"ADK 任意取得:", 688, 328, 95, 20},
        {kIdAdkChoice, K::Combo, L"", 786, 324, 324, 120, 0,
         {L"Win10 ADK + PE Add-on (x86 32bit/x64・CSM最適)", L"Win11 ADK + PE Add-on (x64 最新環境向け)",
          L"Win10/Win11 ADK 公式インストーラーのみDL保存"},
         0},
        {kIdAdkStart, K::Button, L"選択した ADK + WinPE Add-on を任意ダウンロード / 導入", 688, 352, 422, 26},
        {kIdArchCaption, K::Static, L"対象アーキテクチャ:", 688, 386, 110, 20},
        {kIdArch, K::Combo, L"", 800, 382, 310, 120, 0,
         {L"x64 (64-bit PC用 - 日本語フォント&ロケール組込)", L"x86 (32-bit 旧型PC用 - Win10 PEベース・日本語組込)"}, 0},
        {kIdMediumCaption, K::Static, L"出力メディア:", 688, 414, 95, 20},
        {kIdMedium, K::Combo, L"", 800, 410, 310, 120, 0,
         {L"起動用 WinPE USBメモリ直接作成 (/UFD)", L"起動用 WinPE ISOイメージ出力 (.iso)",
          L"WinPE メディアフォルダ出力 (手動コピー用)"},
         1},
        {kIdBootCaption, K::Static, L"ブート方式:", 688, 442, 95, 20},
        {kIdBoot, K::Combo, L"", 800, 438, 310, 120, 0,
         {L"UEFI + CSM (Legacy BIOS) ハイブリッド両対応", L"UEFI ネイティブブートのみ"}, 0},
        {kIdUsbCaption, K::Static, L"対象USBドライブ:", 688, 470, 110, 20},
        {kIdUsbTarget, K::Combo, L"", 800, 466, 310, 120},
        {kIdWinPEStart, K::Button, L"日本語対応・即時起動 WinPE メディア (x86 / x64) を作成", 688, 502, 422, 36},
        {kIdEraseFrame, K::Frame, L"4. 消去実行インターロック ＆ 消去証明スタンプ表示・リアルタイム進捗コンソール", 14, 558, 1110, 250},
        {kIdCodeCaption, K::Static, L"確認コード(「ERASE」):", 26, 586, 150, 20},
        {kIdCode, K::Edit, L"ERASE", 178, 582, 78, 26, ES_UPPERCASE},
        {kIdEraseStart, K::Button, L"選択ディスクの完全消去を開始", 266, 579, 240, 32},
        {kIdAbort, K::Button, L"緊急停止 (Abort)", 514, 579, 130, 32, WS_DISABLED},
        {kIdReport, K::Button, L"★ 実機消去＆HWレポート画面 (スタンプ切替)", 652, 579, 265, 32},
        {kIdOpenCertificate, K::Button, L"HTML消去証明書を開く", 925, 579, 182, 32},
        {kIdPassCaption, K::Static, L"現在パス進捗:", 28, 620, 95, 20},
        {kIdPassBar, K::Progress, L"", 125, 618, 410, 20},
        {kIdOverallCaption, K::Static, L"全体進捗:", 550, 620, 70, 20},
        {kIdOverallBar, K::Progress, L"", 622, 618, 486, 20},
        {kIdStatus, K::Static, L"待機中 (Ready) - 消去対象ディスクとアルゴリズムを選択してください。", 28, 644, 1080, 20},
        {kIdConsole, K::Edit, L"", 28, 668, 1080, 128, ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL},
    };
}

bool CreateMainControls(HWND parent, HINSTANCE instance, double factor, ControlHandles& handles) {
    handles.fill(nullptr);
    for (const ControlRow& row : MainControlTable()) {
        const ClassAndStyle cls = ClassOf(row.kind);
        DWORD style = cls.style | row.extraStyle;
        // A multi-line edit (the console) wraps long lines instead of scrolling sideways.
        if (row.kind == K::Edit && (row.extraStyle & ES_MULTILINE) != 0) style &= ~static_cast<DWORD>(ES_AUTOHSCROLL);
        HWND control = ::CreateWindowExW(
            cls.exStyle, cls.className, row.text.c_str(), WS_CHILD | WS_VISIBLE | style,
            Scaled(row.x, factor), Scaled(row.y, factor), Scaled(row.width, factor), Scaled(row.height, factor),
            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
        if (control == nullptr) return false;
        handles[row.id - kFirstControlId] = control;
        for (const std::wstring& item : row.items) {
            ::SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        }
        if (row.selected >= 0) ::SendMessageW(control, CB_SETCURSEL, row.selected, 0);
        if (row.kind == K::Progress) ::SendMessageW(control, PBM_SETRANGE32, 0, 100);
    }
    HWND list = handles[kIdDiskList - kFirstControlId];
    ListView_SetExtendedListViewStyle(list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    for (int i = 0; i < static_cast<int>(kDiskListColumns.size()); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(kDiskListColumns[i].title);
        column.cx = Scaled(kDiskListColumns[i].width, factor);
        column.iSubItem = i;
        if (ListView_InsertColumn(list, i, &column) < 0) return false;
    }
    return true;
}

}  // namespace morvane
