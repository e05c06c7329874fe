// The completion outcomes of the three workers.
#include "ui/completion.h"

#include "erase/record_status.h"

#include "ui/window_messages.h"

namespace morvane {

EraseDoneView DescribeEraseDone(const EraseResult& result) {
    EraseDoneView view;
    if (result.status == JobStatus::Completed) {
        view.fillBars = true;
        view.showReport = true;
        // Certificates were wanted but not written: the job completed, the evidence did not.
        const bool evidenceLost = result.job.CertificatesWanted() && result.htmlPath.empty();
        if (OutcomeOf(result) == RecordOutcome::SimulationOnly) {
            // A dry run erased nothing: the line must not read like a sanitized disk.
            view.statusLine = evidenceLost
                                  ? L"完了 (SIMULATION) - シミュレーションは完了しましたが、証明書・監査ログを保存できませんでした (ディスクは消去されていません)。"
                                  : L"完了 (SIMULATION) - シミュレーションレポートを発行しました (ディスクは消去されていません)。";
        } else {
            view.statusLine = evidenceLost
                                  ? L"完了 (COMPLETED) - 消去は完了しましたが、証明書・監査ログを保存できませんでした。"
                                  : L"完了 (COMPLETED) - 実機消去証明＆ハードウェアレポートを発行しました！";
        }
        if (!result.htmlPath.empty()) {
            view.consoleLines.push_back(L"[CERTIFICATE] 証明書・監査ログ保存完了: " + result.htmlPath);
        } else {
            if (evidenceLost) view.consoleLines.push_back(L"[ERROR] 証明書・監査ログを保存できませんでした: " + result.message);
            view.consoleLines.push_back(L"[REPORT] 画面レポート発行完了 (レポート画面のボタンから別ドライブへログ保存も可能です)。");
        }
        view.consoleLines.push_back(L"[SHA-256] " + result.sha256Fingerprint);
        return view;
    }
    if (result.status == JobStatus::Cancelled) {
        view.statusLine = L"中断 (CANCELLED) - ユーザーによって停止されました。";
        view.box = MessageBoxText{result.auditLogPath.empty() ? L"消去処理を中断しました。中断ログは保存されていません。"
                                                           : L"消去処理を中断しました。中断ログが保存されました。",
                               kBoxTitle, MB_OK | MB_ICONWARNING};
        return view;
    }
    view.statusLine = L"エラー終了: " + result.message;
    view.box = MessageBoxText{L"消去処理中にエラーが発生しました:\n" + result.message, kBoxTitle, MB_OK | MB_ICONERROR};
    return view;
}

MessageBoxText ToolDoneBox(long long code, long long kind) {
    if (code != 0) {
        return {L"WinPE 処理中にエラーが発生しました。監査ログコンソールの出力を確認してください。", kBoxTitle,
                MB_OK | MB_ICONERROR};
    }
    if (kind == kToolAdk) {
        return {L"Windows ADK / WinPE Add-on (x86/x64) のダウンロード・導入処理が完了しました！", kBoxTitle,
                MB_OK | MB_ICONINFORMATION};
    }
    return {L"日本語ロケール＆フォント組込済・即時起動 (winpeshl.ini) ＆ UEFI/CSM(BIOS) 両対応の WinPE メディア作成が完了しました！\n\n"
            L"作成したメディアからPCをブートすると、文字化けなしで即座に Morvane Disk Eraser が起動します。",
            L"WinPE メディア作成完了", MB_OK | MB_ICONINFORMATION};
}

std::wstring ThreadStartFailedLine(const std::wstring& reason) {
    return L"[ERROR] 作業スレッドを開始できませんでした: " + reason;
}

std::wstring WorkerInternalErrorText(const std::wstring& reason) {
    return L"内部エラーにより処理を完了できませんでした: " + reason;
}

}  // namespace morvane
