// The main window's decisions as pure functions: each takes a snapshot of the form
// and returns the first refusal (a message box as a value) or what to do. The window
// only gathers the snapshot and shows what the decision says.
#pragma once

#include <optional>
#include <string>

#include "common/files.h"
#include "disk/disk_info.h"
#include "disk/write_safety.h"
#include "erase/records.h"
#include "firmware/applicability.h"
#include "settings/settings_store.h"
#include "ui/message_box.h"
#include "winpe/adk.h"
#include "winpe/winpe_build.h"

namespace morvane {

inline constexpr wchar_t kBusyText[] = L"現在別の処理が実行中です。";
inline constexpr wchar_t kConfirmationCode[] = L"ERASE";
// Reason given when an output folder passes the drive check but cannot be written.
inline constexpr wchar_t kFolderNotWritableReason[] = L"フォルダを作成できないか、書き込みできません。";

// ---- Erase start ----------------------------------------------------------------

struct EraseStartForm {
    bool busy = false;
    std::optional<DiskInfo> disk;  // the selected row; none when no valid row is selected
    // For a real erase: the selected disk judged as the guarded open will judge it,
    // against the real machine whatever the WinPE simulation box shows.
    WriteJudgement realWrite;
    bool real = false;
    bool isWinPE = false;  // the real detection, never the simulation box
    bool isAdmin = false;
    bool unlockInternal = false;
    std::wstring code;      // the confirmation-code edit
    AppSettings settings;   // as read back from the controls
    std::wstring notes;
    // WinPE's 72-hour shell life: the system's uptime, and the WinPE simulation box
    // (which only warns).
    std::uint64_t uptimeMs = 0;
    bool winPESimulated = false;
};

struct EraseStartDecision {
    std::optional<MessageBoxText> refusal;
    bool saveSettings = false;  // past the selection guard: the settings are saved first
    EraseJob job;               // filled when there is no refusal
    std::wstring warningLine;   // a log line to show before the confirmation; may be empty
};

// The guards in order, then the job: the one place an EraseJob is built from the form.
[[nodiscard]] EraseStartDecision DecideEraseStart(const EraseStartForm& form);
[[nodiscard]] bool ConfirmationCodeAccepted(const std::wstring& code);
// Yes/No/Cancel about an unsuitable output folder; when `blocking` only Yes (choose
// another folder) or No (cancel the erasure).
[[nodiscard]] MessageBoxText OutputFolderQuestion(const std::wstring& folder, const std::wstring& reason,
                                                  bool blocking = false);
// The final Yes/No before the worker starts; it names the drive's own sanitize as
// `firmware` decided it (the method, or why none).
[[nodiscard]] MessageBoxText EraseConfirmation(const EraseJob& job, const FirmwareDecision& firmware);

// ---- ADK and WinPE starts ---------------------------------------------------------

struct AdkStartDecision {
    std::optional<MessageBoxText> refusal;
    AdkInstallChoice choice = Win10KitWithX86;
    std::wstring downloadDir;
    MessageBoxText question;
};
[[nodiscard]] AdkStartDecision DecideAdkStart(bool busy, int comboSelection, const std::wstring& outputFolderText);

struct WinPEStartForm {
    bool busy = false;
    bool isAdmin = false;
    AdkStatus adkStatus = AdkMissing;
    int outputSelection = 1;
    int archSelection = 0;
    int bootSelection = 0;
    std::wstring usbText;  // the USB target combo's text
};
struct WinPEStartDecision {
    std::optional<MessageBoxText> refusal;
    WinPEBuildOptions options;
    std::optional<MessageBoxText> question;  // USB stick: the format warning
    std::wstring isoProposal;             // ISO image: the proposed file name
};
[[nodiscard]] WinPEStartDecision DecideWinPEStart(const WinPEStartForm& form);

// ---- Other commands -----------------------------------------------------------------

// Restarting elevated while a job runs would start a second instance on the same disk.
[[nodiscard]] std::optional<MessageBoxText> RestartRefusal(bool busy);
[[nodiscard]] MessageBoxText FolderNotFoundBox(const std::wstring& path);
// The shell could not open the folder (WinPE has no Explorer): where it is.
[[nodiscard]] MessageBoxText FolderNotOpenedBox(const std::wstring& path);
[[nodiscard]] MessageBoxText NoCertificateBox();
[[nodiscard]] MessageBoxText CloseQuestion();
inline constexpr wchar_t kAbortLine[] = L"[ABORT] ユーザーにより緊急停止シグナルが送信されました。安全に停止しています...";
// Said on Abort while the drive sanitizes itself.
inline constexpr wchar_t kAbortDuringFirmwareLine[] =
    L"[ABORT] ドライブ自身の消去 (Sanitize) は中断できません。完了を待ってから、上書きパスを行わずにジョブを終了します。";

// Same device path and the same model, serial number and size.
[[nodiscard]] bool SameDisk(const DiskInfo& a, const DiskInfo& b);

struct ReportPlan {
    std::optional<MessageBoxText> refusal;
    bool useResult = false;  // show the last result; otherwise read the selected disk
};
// The last result belongs to the report only when the selected disk is its disk.
[[nodiscard]] ReportPlan DecideReport(bool busy, const EraseResult& last, const DiskInfo* selected);

}  // namespace morvane
