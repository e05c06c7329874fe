// The main window's decisions: every guard in order with its exact box, the
// confirmation texts, the job built from the form, and the completion outcomes.
#include <gtest/gtest.h>

#include <functional>

#include "ui/guards.h"
#include "ui/outcomes.h"

namespace morvane {
namespace {

constexpr UINT kWarnOk = MB_OK | MB_ICONWARNING;
const std::wstring kTitle = L"Morvane Disk Eraser";
const std::wstring kSafetyText =
    L"【安全保護ロック中】\n内蔵ストレージです。\n\n※テスト実行したい場合は動作モードを『安全シミュレーション(DryRun)』に切り替えてください。";
const std::wstring kCodeText = L"安全確認コード欄に「ERASE」と入力してください。\n誤操作防止のためのインターロック機構です。";

DiskInfo UsbDisk() {
    DiskInfo disk;
    disk.index = 3;
    disk.devicePath = L"\\\\.\\PhysicalDrive3";
    disk.model = L"USB Stick";
    disk.serialNumber = L"S-1";
    disk.sizeBytes = 16ull << 30;
    disk.driveLetters = L"E:";
    disk.safety = 0;
    return disk;
}

// A real erase that passes every guard.
EraseStartForm RealForm() {
    EraseStartForm form;
    form.disk = UsbDisk();
    form.realDisk = UsbDisk();
    form.real = true;
    form.isAdmin = true;
    form.code = L"ERASE";
    return form;
}

TEST(EraseStartGuards, FirstRefusalInOrderWithItsBox) {
    const struct {
        const char* name;
        std::function<void(EraseStartForm&)> change;
        std::wstring text;  // empty: no refusal
        std::wstring title;
        UINT style;
    } rows[] = {
        {"passes", [](EraseStartForm&) {}, L"", L"", 0},
        {"busy before everything", [](EraseStartForm& f) { f.busy = true; f.disk.reset(); }, L"現在別の処理が実行中です。", kTitle, kWarnOk},
        {"no selection", [](EraseStartForm& f) { f.disk.reset(); f.code.clear(); }, L"消去対象のディスクを一覧から選択してください。", kTitle, kWarnOk},
        {"OS disk outside WinPE",
         [](EraseStartForm& f) { f.disk->driveLetters = L"D:, C:"; f.isAdmin = false; },
         L"【絶対安全保護ロック】\n選択されたディスクには現在稼働中の Windows OS (C:ドライブ) が含まれています！\nWindows上から自身のOS起動ディスクを実機消去することはハードウェア保護により禁止されています。\n\n・動作や消去証明スタンプ・証明書発行のテストを行う場合は「動作モード」を『安全シミュレーション(DryRun)』にしてください。\n・このPCの内蔵OSディスクを本当に完全消去する場合は、右側のパネルで『WinPE起動メディア』を作成し、USB/ISOから起動して消去してください。",
         L"Morvane Safety Guard - OS起動ディスク保護", MB_OK | MB_ICONERROR},
        {"lower-case c: too", [](EraseStartForm& f) { f.disk->driveLetters = L"c:"; }, L"", L"Morvane Safety Guard - OS起動ディスク保護", MB_OK | MB_ICONERROR},
        {"protected in the real environment, erasable in the list",
         [](EraseStartForm& f) { f.realDisk->safety = 3; f.realDisk->safetyDescription = L"内蔵ストレージです。"; f.isAdmin = false; },
         kSafetyText, L"Morvane Safety Guard", kWarnOk},
        {"gone from the real scan", [](EraseStartForm& f) { f.realDisk.reset(); }, L"", L"Morvane Safety Guard", kWarnOk},
        {"undefined safety value", [](EraseStartForm& f) { f.realDisk->safety = 9; }, L"", L"Morvane Safety Guard", kWarnOk},
        {"unlocked internal disk passes", [](EraseStartForm& f) { f.realDisk->safety = 4; }, L"", L"", 0},
        {"not administrator", [](EraseStartForm& f) { f.isAdmin = false; f.code.clear(); },
         L"実機物理セクタ消去を行うには管理者権限が必要です。\n右上の「管理者権限で再起動」ボタンを押してください。", kTitle, kWarnOk},
        {"empty code", [](EraseStartForm& f) { f.code.clear(); }, kCodeText, L"確認コード未入力", kWarnOk},
        {"code with a blank", [](EraseStartForm& f) { f.code = L"ERASE "; }, kCodeText, L"確認コード未入力", kWarnOk},
        {"code in lower case", [](EraseStartForm& f) { f.code = L"erase"; }, L"", L"", 0},
        {"simulation skips the real-mode guards",
         [](EraseStartForm& f) { f.real = false; f.disk->driveLetters = L"C:"; f.realDisk.reset(); f.isAdmin = false; }, L"", L"", 0},
        {"simulation still needs the code", [](EraseStartForm& f) { f.real = false; f.code = L"ERAS"; }, kCodeText, L"確認コード未入力", kWarnOk},
    };
    for (const auto& row : rows) {
        EraseStartForm form = RealForm();
        row.change(form);
        const EraseStartDecision decision = DecideEraseStart(form);
        if (row.title.empty()) {
            EXPECT_FALSE(decision.refusal) << row.name;
            continue;
        }
        ASSERT_TRUE(decision.refusal) << row.name;
        if (!row.text.empty()) {
            EXPECT_EQ(decision.refusal->text, row.text) << row.name;
        }
        EXPECT_EQ(decision.refusal->title, row.title) << row.name;
        EXPECT_EQ(decision.refusal->style, row.style) << row.name;
        EXPECT_EQ(decision.saveSettings, !form.busy && form.disk.has_value()) << row.name;
    }
}

TEST(EraseStartGuards, JobIsBuiltFromTheForm) {
    EraseStartForm form = RealForm();
    form.settings.defaultStandard = 4;
    form.settings.defaultVerify = 2;
    form.settings.writeDiskStamp = 1;
    form.settings.enableLogOutput = 1;
    form.settings.operatorName = L"Op";
    form.settings.organizationName = L"Org";
    form.settings.certOutputDir = L"D:\\Logs";
    form.notes = L"note";
    form.unlockInternal = true;
    const EraseJob job = DecideEraseStart(form).job;
    EXPECT_EQ(job.disk.devicePath, form.disk->devicePath);
    EXPECT_EQ(job.standard, 4u);
    EXPECT_EQ(job.verifyLevel, VerifyLevel::FullSurface);
    EXPECT_EQ(job.execMode, ExecMode::RealHardwareWrite);
    EXPECT_EQ(job.noStamp, 1u);
    EXPECT_EQ(job.certificatesDisabled, 1u);
    EXPECT_EQ(job.unlockInternal, 1u) << "the engine's guard needs the operator's unlock choice";
    EXPECT_EQ(job.operatorName + job.organizationName + job.notes + job.outputFolder, L"OpOrgnoteD:\\Logs");
    form.real = false;
    EXPECT_EQ(DecideEraseStart(form).job.execMode, ExecMode::SimulationDryRun);
}

TEST(EraseStartGuards, ConfirmationForRealAndSimulation) {
    EraseJob job;
    job.disk = UsbDisk();
    job.standard = 2;
    job.outputFolder = L"E:\\Morvane_Erasure_Logs";
    job.execMode = ExecMode::RealHardwareWrite;
    const MessageSpec real = EraseConfirmation(job);
    EXPECT_EQ(real.text,
              L"以下の内容でデータ消去プロセスを開始します。よろしいですか？\n\n・対象ディスク   : Disk 3 (USB Stick)\n"
              L"・容量 / ドライブ: 16.00 GB / E:\n・消去規格       : Zero Fill (1 Pass - 高速ゼロ上書き)\n"
              L"・消去後の状態   : 実機起動レポート画面 (BIOS/UEFIブータブルスタンプ) を記録\n"
              L"・ログ/証明書保存: 有効 (保存先: E:\\Morvane_Erasure_Logs)\n"
              L"・実行モード     : 【警告: 実機物理セクタ完全消去 - データは永久に復元できません！】");
    EXPECT_EQ(real.title, L"最終確認 - Morvane Disk Eraser");
    EXPECT_EQ(real.style, static_cast<UINT>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
    job.execMode = ExecMode::SimulationDryRun;
    job.noStamp = 1;
    job.certificatesDisabled = 1;
    const MessageSpec simulation = EraseConfirmation(job);
    EXPECT_NE(simulation.text.find(L"・消去後の状態   : 通常通りディスクを完全消去した状態 (全セクタ0x00・スタンプなし)\n"
                                   L"・ログ/証明書保存: 無効 (画面レポート表示のみ)\n"
                                   L"・実行モード     : 【安全シミュレーション(DryRun) - 実データは消えません】"),
              std::wstring::npos);
    EXPECT_EQ(simulation.style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1));
}

TEST(ToolStartGuards, AdkAndWinPE) {
    EXPECT_EQ(DecideAdkStart(true, 0, L"D:\\x").refusal->text, L"現在別の処理が実行中です。");
    EXPECT_EQ(DecideAdkStart(false, 1, L"").downloadDir, L"");
    EXPECT_EQ(DecideAdkStart(false, 2, L"D:\\Kits").downloadDir, L"D:\\Kits\\ADK_Installers");
    // An empty or relative folder would resolve against the current drive or directory.
    EXPECT_TRUE(DecideAdkStart(false, 2, L"").refusal);
    EXPECT_TRUE(DecideAdkStart(false, 2, L"Kits").refusal);

    WinPEStartForm form;
    form.isAdmin = true;
    form.adkStatus = 0;
    form.outputSelection = 0;
    form.archSelection = 1;
    form.bootSelection = 1;
    form.usbText = L"F: [DATA - 14.90 GB]";
    const WinPEStartDecision usb = DecideWinPEStart(form);
    EXPECT_EQ(usb.options.usbDrive + std::to_wstring(usb.options.x86 * 10 + usb.options.uefiOnly), L"F:11");
    EXPECT_EQ(usb.question->text,
              L"対象USBドライブ (F:) をフォーマットし、\n「日本語対応・即時起動 WinPE USB (x86_32bit / UEFI+CSM両対応)」を作成します。\n"
              L"USBメモリ内の既存データは消去されます。よろしいですか？");
    form.usbText = L"(リムーバブルUSB未検出 - ISO出力推奨)";
    EXPECT_EQ(DecideWinPEStart(form).refusal->text, L"有効なリムーバブルUSBドライブが選択されていません。");
    form.outputSelection = 1;
    form.archSelection = 0;
    EXPECT_EQ(DecideWinPEStart(form).isoProposal, L"Morvane_Disk_Eraser_WinPE_x64_64bit_JP.iso");
    form.adkStatus = 1;
    EXPECT_NE(DecideWinPEStart(form).refusal->text.find(L"Windows ADK または WinPE Add-on"), std::wstring::npos);
    form.isAdmin = false;
    EXPECT_NE(DecideWinPEStart(form).refusal->text.find(L"(DISMイメージマウント) には管理者権限"), std::wstring::npos);
}

TEST(ReportPairing, TheLastResultOnlyGoesWithItsOwnDisk) {
    EraseResult last;
    last.status = JobStatus::Completed;
    last.job.disk = UsbDisk();
    DiskInfo same = UsbDisk();
    DiskInfo replaced = UsbDisk();
    replaced.serialNumber = L"S-2";  // another stick at the same device path
    DiskInfo other = UsbDisk();
    other.devicePath = L"\\\\.\\PhysicalDrive4";
    EXPECT_TRUE(DecideReport(false, last, &same).useResult);
    EXPECT_FALSE(DecideReport(false, last, &replaced).useResult);
    EXPECT_FALSE(DecideReport(false, last, &other).useResult);
    EXPECT_FALSE(DecideReport(false, last, nullptr).useResult);
    last.status = JobStatus::Cancelled;
    EXPECT_FALSE(DecideReport(false, last, &same).useResult);
    EXPECT_TRUE(DecideReport(true, last, &same).refusal);
    EXPECT_TRUE(RestartRefusal(true));
    EXPECT_FALSE(RestartRefusal(false));
}

TEST(CompletionOutcomes, ToldAsTheResultSays) {
    EraseResult result;
    result.status = JobStatus::Completed;
    result.sha256Fingerprint = L"AB";
    result.htmlPath = L"D:\\c.html";
    EraseDoneView view = DescribeEraseDone(result);
    EXPECT_EQ(view.statusLine, L"完了 (COMPLETED) - 実機消去証明＆ハードウェアレポートを発行しました！");
    EXPECT_EQ(view.consoleLines, (std::vector<std::wstring>{L"[CERTIFICATE] 証明書・監査ログ保存完了: D:\\c.html", L"[SHA-256] AB"}));
    EXPECT_TRUE(view.showReport && view.fillBars && !view.box);

    result.htmlPath.clear();
    result.job.certificatesDisabled = 1;
    view = DescribeEraseDone(result);
    EXPECT_EQ(view.statusLine, L"完了 (COMPLETED) - 実機消去証明＆ハードウェアレポートを発行しました！");
    EXPECT_EQ(view.consoleLines.front(), L"[REPORT] 画面レポート発行完了 (レポート画面のボタンから別ドライブへログ保存も可能です)。");

    result.job.certificatesDisabled = 0;  // wanted, but not written
    result.message = L"保存先に書き込めません";
    view = DescribeEraseDone(result);
    EXPECT_EQ(view.statusLine.find(L"発行しました"), std::wstring::npos);
    EXPECT_EQ(view.consoleLines.front(), L"[ERROR] 証明書・監査ログを保存できませんでした: 保存先に書き込めません");

    result.status = JobStatus::Cancelled;
    EXPECT_EQ(DescribeEraseDone(result).box->text, L"消去処理を中断しました。中断ログは保存されていません。");
    result.auditLogPath = L"D:\\a.txt";
    view = DescribeEraseDone(result);
    EXPECT_EQ(view.box->text, L"消去処理を中断しました。中断ログが保存されました。");
    EXPECT_EQ(view.statusLine, L"中断 (CANCELLED) - ユーザーによって停止されました。");
    EXPECT_FALSE(view.showReport || view.fillBars);

    result.status = JobStatus::Failed;
    result.message = L"WRITE ERROR";
    view = DescribeEraseDone(result);
    EXPECT_EQ(view.statusLine, L"エラー終了: WRITE ERROR");
    EXPECT_EQ(*view.box, (MessageSpec{L"消去処理中にエラーが発生しました:\nWRITE ERROR", kTitle, MB_OK | MB_ICONERROR}));

    // A failing kit installation shows the shared WinPE error box, not the kit's success.
    EXPECT_EQ(ToolDoneBox(1, 1).style, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(ToolDoneBox(-1, 2).text, L"WinPE 処理中にエラーが発生しました。監査ログコンソールの出力を確認してください。");
    EXPECT_EQ(ToolDoneBox(0, 1).text, L"Windows ADK / WinPE Add-on (x86/x64) のダウンロード・導入処理が完了しました！");
    EXPECT_EQ(ToolDoneBox(0, 2).title, L"WinPE メディア作成完了");
}

}  // namespace
}  // namespace morvane
