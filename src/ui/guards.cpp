// The guards and confirmations of the main window's commands.
#include "ui/guards.h"

#include "common/text.h"
#include "disk/safety.h"
#include "erase/duration_estimate.h"
#include "erase/standards.h"

namespace morvane {
namespace {

constexpr UINT kWarning = MB_OK | MB_ICONWARNING;

MessageBoxText Box(std::wstring text, UINT style = kWarning, std::wstring title = kBoxTitle) {
    return {std::move(text), std::move(title), style};
}

// Shown for a disk that the real-environment scan no longer lists at its device path.
constexpr wchar_t kDiskNotFoundDescription[] =
    L"再スキャンで同じディスクを確認できませんでした (取り外し・交換の可能性)。安全のため保護ロックしています。";

std::optional<MessageBoxText> RealModeRefusal(const EraseStartForm& form) {
    const WriteJudgement& judgement = form.realWrite;
    if (judgement.verdict == WriteVerdict::SystemDrive) {
        return Box(L"【絶対安全保護ロック】\n選択されたディスクには現在稼働中の Windows OS (C:ドライブ) が含まれています！\n"
                   L"Windows上から自身のOS起動ディスクを実機消去することはハードウェア保護により禁止されています。\n\n"
                   L"・動作や消去証明スタンプ・証明書発行のテストを行う場合は「動作モード」を『安全シミュレーション(DryRun)』にしてください。\n"
                   L"・このPCの内蔵OSディスクを本当に完全消去する場合は、右側のパネルで『WinPE起動メディア』を作成し、"
                   L"USB/ISOから起動して消去してください。",
                   MB_OK | MB_ICONERROR, L"Morvane Safety Guard - OS起動ディスク保護");
    }
    // The WinPE simulation never grants a real write: safety is judged as the real
    // environment classifies the disk, and a disk no longer found at its path is protected.
    if (!judgement.allowed()) {
        const std::wstring description =
            judgement.verdict == WriteVerdict::Protected ? judgement.description : kDiskNotFoundDescription;
        return Box(L"【安全保護ロック中】\n" + description +
                       L"\n\n※テスト実行したい場合は動作モードを『安全シミュレーション(DryRun)』に切り替えてください。",
                   kWarning, kSafetyGuardTitle);
    }
    if (!form.isAdmin) {
        return Box(L"実機物理セクタ消去を行うには管理者権限が必要です。\n右上の「管理者権限で再起動」ボタンを押してください。");
    }
    return std::nullopt;
}

}  // namespace

bool ConfirmationCodeAccepted(const std::wstring& code) {
    const std::wstring expected = kConfirmationCode;
    if (code.size() != expected.size()) return false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (UpperAscii(code[i]) != expected[i]) return false;
    }
    return true;
}

EraseStartDecision DecideEraseStart(const EraseStartForm& form) {
    EraseStartDecision decision;
    if (form.busy) {
        decision.refusal = Box(kBusyText);
        return decision;
    }
    if (!form.disk) {
        decision.refusal = Box(L"消去対象のディスクを一覧から選択してください。");
        return decision;
    }
    decision.saveSettings = true;
    const DiskInfo& disk = *form.disk;
    if (form.real) {
        decision.refusal = RealModeRefusal(form);
        if (decision.refusal) return decision;
    }
    if (!ConfirmationCodeAccepted(form.code)) {
        decision.refusal = Box(L"安全確認コード欄に「ERASE」と入力してください。\n誤操作防止のためのインターロック機構です。",
                               kWarning, L"確認コード未入力");
        return decision;
    }
    EraseJob& job = decision.job;
    job.disk = disk;
    job.standard = form.settings.defaultStandard;
    job.verifyLevel = static_cast<VerifyLevel>(form.settings.defaultVerify);
    job.execMode = form.real ? ExecMode::RealHardwareWrite : ExecMode::SimulationDryRun;
    job.noStamp = form.settings.StampWanted() ? 0 : 1;
    job.certificatesDisabled = form.settings.CertificatesWanted() ? 0 : 1;
    job.operatorName = form.settings.operatorName;
    job.organizationName = form.settings.organizationName;
    job.notes = form.notes;
    job.outputFolder = form.settings.certOutputDir;
    job.signerThumbprint = form.settings.signerThumbprint;
    // The engine's guard judges internal disks with the operator's own unlock choice.
    job.unlockInternal = form.unlockInternal ? 1 : 0;
    // A real write under real WinPE must end before WinPE's shell does.
    const WinPETimeDecision time = DecideWinPETime(EstimateEraseSeconds(job, std::nullopt), form.uptimeMs,
                                                   form.isWinPE && form.real, form.winPESimulated && !form.isWinPE);
    if (time.action == WinPETimeAction::Refuse) decision.refusal = Box(time.text);
    if (time.action == WinPETimeAction::Warn) decision.warningLine = time.text;
    return decision;
}

MessageBoxText OutputFolderQuestion(const std::wstring& folder, const std::wstring& reason, bool blocking) {
    if (blocking) {
        return Box(L"【ログ・証明書の保存先確認】\n現在の保存先: " + folder + L"\n理由: " + reason +
                       L"\n\n・[はい (Yes)]   : 別の保存先 (USBメモリ等) を指定する\n"
                       L"・[いいえ (No)]  : 消去を中止する",
                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON1, L"ログ保存先の確認");
    }
    return Box(L"【ログ・証明書の保存先確認 (ISO/CD・DVD / WinPE起動サポート)】\n現在の保存先: " + folder + L"\n理由: " +
                   reason +
                   L"\n\n・[はい (Yes)]   : 今すぐ書き込み可能な保存先 (USBメモリ等) を指定する\n"
                   L"・[いいえ (No)]  : このまま続行する (消去完了後のレポート画面からも別ドライブへ保存可能)\n"
                   L"・[キャンセル]   : 消去を中止する",
               MB_YESNOCANCEL | MB_ICONQUESTION, L"ログ保存先の確認");
}

MessageBoxText EraseConfirmation(const EraseJob& job, const FirmwareDecision& firmware) {
    const bool real = job.execMode == ExecMode::RealHardwareWrite;
    std::wstring text = L"以下の内容でデータ消去プロセスを開始します。よろしいですか？\n\n・対象ディスク   : Disk " +
                        std::to_wstring(job.disk.index) + L" (" + job.disk.model + L")\n・容量 / ドライブ: " +
                        FormatSize(job.disk.sizeBytes) + L" / " + job.disk.driveLetters;
    text += L"\n・消去規格       : " + StandardName(job.standard);
    text += L"\n・" + FirmwareConfirmationText(firmware);
    text += L"\n・消去後の状態   : ";
    if (job.StampWanted()) {
        text += L"実機起動レポート画面 (BIOS/UEFIブータブルスタンプ) を記録";
    } else {
        // Zeros are promised only where the last pass writes zeros.
        const PassPlan plan = BuildPassPlan(job.standard);
        const bool zeroLast = !plan.empty() && plan.back().kind == PatternKind::Fixed && plan.back().pattern[0] == 0;
        text += zeroLast ? L"通常通りディスクを完全消去した状態 (全セクタ0x00・スタンプなし)"
                         : L"スタンプなし (最終パスのデータのまま・パーティション領域は0x00)";
    }
    text += L"\n・ログ/証明書保存: ";
    text += !job.CertificatesWanted() ? L"無効 (画面レポート表示のみ)" : L"有効 (保存先: " + job.outputFolder + L")";
    text += L"\n・実行モード     : ";
    text += real ? L"【警告: 実機物理セクタ完全消去 - データは永久に復元できません！】"
                 : L"【安全シミュレーション(DryRun) - 実データは消えません】";
    const UINT style = real ? (MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) : (MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1);
    return Box(std::move(text), style, L"最終確認 - Morvane Disk Eraser");
}

AdkStartDecision DecideAdkStart(bool busy, int comboSelection, const std::wstring& outputFolderText) {
    AdkStartDecision decision;
    if (busy) {
        decision.refusal = Box(kBusyText);
        return decision;
    }
    decision.choice = comboSelection == Win11ViaWinget         ? Win11ViaWinget
                      : comboSelection == DownloadInstallersOnly ? DownloadInstallersOnly
                                                                 : Win10KitWithX86;
    if (decision.choice == DownloadInstallersOnly) {
        // An empty or relative folder would resolve against the current directory
        // (an empty one to the root of the current drive).
        if (!IsDriveAbsolute(outputFolderText)) {
            decision.refusal = Box(L"ADK インストーラーの保存先フォルダが正しく指定されていません。\n"
                                   L"「ログ・証明書保存先」欄にドライブから始まるフォルダ (例: D:\\Morvane) を入力してください。");
            return decision;
        }
        decision.downloadDir = outputFolderText + L"\\ADK_Installers";
    }
    decision.question = Box(
        decision.choice == DownloadInstallersOnly
            ? L"Microsoft 公式サーバーから Windows 10 ADK & PE Add-on (x86/x64対応版) および Windows 11 ADK & PE Add-on "
              L"のインストーラー一式をダウンロード保存しますか？"
            : L"選択した Windows ADK および WinPE Add-on (x86 32bit / x64 64bit サポート) を自動ダウンロード＆導入しますか？",
        MB_YESNO | MB_ICONQUESTION, L"Windows ADK 任意ダウンロード / 導入");
    return decision;
}

WinPEStartDecision DecideWinPEStart(const WinPEStartForm& form) {
    WinPEStartDecision decision;
    if (form.busy) {
        decision.refusal = Box(kBusyText);
        return decision;
    }
    if (!form.isAdmin) {
        decision.refusal = Box(L"WinPE起動メディアの作成 (DISMイメージマウント) には管理者権限が必要です。\n"
                               L"画面右上の「管理者権限で再起動」ボタンを押してから実行してください。");
        return decision;
    }
    if (form.adkStatus != AdkReady) {
        decision.refusal = Box(L"Windows ADK または WinPE Add-on がまだインストールされていません。\n"
                               L"先に上の「選択した ADK + WinPE Add-on を任意ダウンロード / 導入」を実行してください。");
        return decision;
    }
    WinPEBuildOptions& options = decision.options;
    options.outputKind = form.outputSelection;
    options.x86 = form.archSelection == 1 ? 1 : 0;
    options.uefiOnly = form.bootSelection != 0 ? 1 : 0;
    const std::wstring tag = options.x86 == 1 ? L"x86_32bit" : L"x64_64bit";
    if (form.outputSelection == WinPEOutputUsb) {
        if (form.usbText.size() < 2 || form.usbText[0] == L'(') {
            decision.refusal = Box(L"有効なリムーバブルUSBドライブが選択されていません。");
            return decision;
        }
        options.usbDrive = form.usbText.substr(0, 2);
        decision.question = Box(L"対象USBドライブ (" + options.usbDrive + L") をフォーマットし、\n「日本語対応・即時起動 WinPE USB (" +
                                    tag + L" / UEFI+CSM両対応)」を作成します。\nUSBメモリ内の既存データは消去されます。よろしいですか？",
                                // Formatting destroys the stick's data: Enter alone must not start it.
                                MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, L"WinPE USB作成確認");
    } else if (form.outputSelection == WinPEOutputIso) {
        decision.isoProposal = L"Morvane_Disk_Eraser_WinPE_" + tag + L"_JP.iso";
    }
    // The 32-bit UEFI loader and the BIOS boot manager are all an x86 medium has.
    if (options.x86 == 1) {
        const std::wstring note = L"※ x86 (32-bit) メディアは 32-bit UEFI と CSM (Legacy BIOS) でのみ起動します。"
                                  L"64-bit UEFI のPCでは起動しません。";
        if (decision.question) {
            decision.question->text += L"\n\n" + note;
        } else {
            decision.question = Box(L"x86 (32-bit) WinPE メディアを作成します。よろしいですか？\n\n" + note,
                                    MB_YESNO | MB_ICONINFORMATION, L"WinPE x86 作成確認");
        }
    }
    return decision;
}

std::optional<MessageBoxText> RestartRefusal(bool busy) {
    if (!busy) return std::nullopt;
    return Box(L"処理の実行中は管理者権限で再起動できません。\n実行中の処理が終わってから再起動してください。");
}

MessageBoxText FolderNotFoundBox(const std::wstring& path) {
    return Box(L"保存先フォルダが見つからないため開けません:\n" + path + L"\n既存のフォルダを指定してください。");
}

MessageBoxText FolderNotOpenedBox(const std::wstring& path) {
    return Box(L"保存先フォルダを開くアプリケーションが見つかりませんでした (WinPE環境などエクスプローラーがない環境では表示できません)。\n"
               L"フォルダは次の場所にあります:\n" + path);
}

MessageBoxText NoCertificateBox() {
    return Box(L"まだこのセッションで保存されたHTML消去証明書ファイルがありません。\n"
               L"・「★ 実機消去＆HWレポート画面」の『別ドライブへログ・証明書保存...』から任意のUSBメモリやフォルダへ保存できます。",
               MB_OK | MB_ICONINFORMATION);
}

MessageBoxText CloseQuestion() {
    return Box(L"現在処理が実行中です。強制終了してもよろしいですか？", MB_YESNO | MB_ICONWARNING);
}

bool SameDisk(const DiskInfo& a, const DiskInfo& b) {
    return a.devicePath == b.devicePath && a.model == b.model && a.serialNumber == b.serialNumber &&
           a.sizeBytes == b.sizeBytes;
}

ReportPlan DecideReport(bool busy, const EraseResult& last, const DiskInfo* selected) {
    ReportPlan plan;
    if (busy) {
        // The report window can engrave or erase the stamp of the disk being erased.
        plan.refusal = Box(L"処理の実行中はレポート画面を開けません。\n実行中の処理が終わってから開いてください。");
        return plan;
    }
    plan.useResult = last.status == JobStatus::Completed && selected != nullptr && SameDisk(last.job.disk, *selected);
    return plan;
}

}  // namespace morvane
