// The report window's texts that need no window: the painted rows with their
// fallbacks, the clipboard text, and every caption and message the window shows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disk/disk_info.h"
#include "erase/record_status.h"
#include "erase/records.h"
#include "evidence/certificate_set.h"

namespace morvane {

struct ReportRow {
    std::wstring label;  // "Report UUID / ID :"
    std::wstring value;
};

enum class BadgeTone { Green, Amber, Grey, Red };

// The report window's badge: what its record proves (the certificate's rule), or a
// hardware preview when there is no record.
struct ReportBadge {
    std::wstring text;
    BadgeTone tone = BadgeTone::Amber;
};
ReportBadge BadgeOf(std::optional<RecordOutcome> outcome);

// What the report window paints.
struct ReportView {
    ReportBadge badge;
    std::vector<ReportRow> details;   // seven rows
    std::vector<ReportRow> hardware;  // sixteen rows
};

// The painted rows: empty report fields show their fallbacks (`now`, the caller's
// local time, stands in for an empty date); hardware texts are shown unchanged.
ReportView BuildReportView(const ReportStamp& stamp, const std::wstring& now, std::optional<RecordOutcome> outcome);

// The "copy report" text: the badge's status, then the fields exactly as they are (an
// empty ID stays empty), every line ending in CR LF.
std::wstring ReportClipboardText(const ReportStamp& stamp, std::optional<RecordOutcome> outcome);

// The success box of "save elsewhere".
std::wstring SaveDoneText(const CertificatePaths& paths);
// The box when the shell cannot open the certificate (WinPE has no browser).
std::wstring OpenCertificateFailedText(const std::wstring& htmlPath);

// Captions.
inline constexpr wchar_t kReportWindowClass[] = L"MorvaneErasureStampDlgClassV2";
inline constexpr wchar_t kReportWindowTitle[] =
    L"Morvane Disk Eraser - 実機消去証明＆ハードウェアレポート画面 (Machine Sanitization & Hardware Report)";
inline constexpr wchar_t kFullScreenCaption[] = L"全画面レポート表示 (ESC)";
inline constexpr wchar_t kLeaveFullScreenCaption[] = L"通常ウィンドウに戻す";
inline constexpr wchar_t kSaveElsewhereCaption[] = L"別ドライブへログ・証明書保存...";
inline constexpr wchar_t kStampSwitchCaption[] = L"スタンプ領域消去 / 再刻印";
inline constexpr wchar_t kOpenCertificateCaption[] = L"HTML証明書を開く";
inline constexpr wchar_t kCopyReportCaption[] = L"レポートコピー";
inline constexpr wchar_t kCloseCaption[] = L"閉じる";

// Message boxes.
inline constexpr wchar_t kSaveDoneTitle[] = L"ログ・証明書保存完了";
inline constexpr wchar_t kSaveFailedText[] =
    L"指定されたフォルダへの書き込みに失敗しました。USBメモリ等の書き込み可能なドライブを選択してください。";
inline constexpr wchar_t kSelectDiskText[] = L"メイン画面で対象ディスクを選択してください。";
inline constexpr wchar_t kStampProtectedText[] =
    L"選択されているディスクは安全保護ロック中（OS起動ディスク等）のため、物理セクタのスタンプ切り替えはできません。\n"
    L"（WinPE起動時または外部ディスク・ロック解除済セカンダリディスクで実行できます）";
inline constexpr wchar_t kDryRunStampWarning[] =
    L"表示中のレポートは安全シミュレーション (DryRun) の結果です。このディスクは実際には消去されていません。\n"
    L"スタンプの切り替え (消去・再刻印) は、対象ディスクの物理セクタ (先頭128KiB) に実際に書き込みます。\n\n"
    L"続行しますか？";
inline constexpr wchar_t kStampSwitchTitle[] = L"ディスク状態の切り替え (レポートスタンプ ⇔ スタンプなし)";
inline constexpr wchar_t kStampSwitchQuestion[] =
    L"対象ディスクの物理状態を切り替えます。\n\n"
    L"・[はい (Yes)]  : スタンプを消去する (ディスク先頭のスタンプ領域128KiBとパーティション情報を0x00で上書き。"
    L"その他の領域は消去時の最終パスの内容のまま)\n"
    L"・[いいえ (No)] : 実機ブート時にこのレポート画面を表示するブータブルスタンプ (BIOS/UEFI両対応) をディスクに書き込む\n"
    L"・[キャンセル]  : 何もしない";
inline constexpr wchar_t kStampErasedText[] =
    L"ディスク先頭のレポートスタンプ領域 (128KiB) とパーティション情報を0x00で消去しました。\n"
    L"その他の領域は消去時の最終パスの内容のままです。";
// A stamp erase asked of a disk this window knows no stamp or erasure of.
inline constexpr wchar_t kStampEraseRefusedText[] =
    L"このディスクにはレポートスタンプが検出されておらず、この画面の記録もこのディスクの実機消去ではないため、"
    L"スタンプ消去は実行できません。\n"
    L"（スタンプ消去はディスク先頭のスタンプ領域とパーティション情報を0x00で上書きします。"
    L"データが残っているディスクを誤って破壊しないよう、スタンプが検出されたディスク、"
    L"またはこの画面の実機消去を完了したディスクでのみ実行できます）";
inline constexpr wchar_t kStampEraseFailedText[] = L"スタンプ消去に失敗しました。管理者権限を確認してください。";
inline constexpr wchar_t kStampWrittenText[] =
    L"実機起動レポート画面 (BIOS/CSM ＆ UEFI GOP 両対応ブータブルスタンプ) をディスクに記録しました！\n"
    L"このディスクから実機を起動するとレポート画面が表示されます。";
inline constexpr wchar_t kStampWriteFailedText[] = L"スタンプの書き込みに失敗しました。管理者権限を確認してください。";
inline constexpr wchar_t kNoCertificateText[] =
    L"HTML証明書ファイルがまだ保存されていないか、ログ出力がオフになっています。\n"
    L"左の「別ドライブへログ・証明書保存...」ボタンから任意の場所へ保存できます！";
inline constexpr wchar_t kCopiedText[] = L"消去証明＆ハードウェアレポート情報をクリップボードにコピーしました！";
inline constexpr wchar_t kCopyFailedText[] =
    L"クリップボードを開けなかったため、消去証明＆ハードウェアレポート情報をコピーできませんでした。\n"
    L"他のアプリケーションがクリップボードを使用中でないか確認し、もう一度お試しください。";

}  // namespace morvane
