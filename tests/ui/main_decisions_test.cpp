// The main window's decisions without a window: the erase guards in order, the job
// and confirmation, the tool starts, report pairing, completion outcomes and the
// layout factor.
#include <gtest/gtest.h>

#include <array>

#include "ui/guards.h"
#include "ui/layout.h"
#include "ui/main_texts.h"
#include "ui/completion.h"

namespace morvane {
namespace {

constexpr UINT kWarnOk = MB_OK | MB_ICONWARNING;
const std::wstring kTitle = L"Morvane Disk Eraser", kSafety = L"Morvane Safety Guard",
                   kOsGuard = L"Morvane Safety Guard - OS起動ディスク保護", kCodeTitle = L"確認コード未入力";

bool Has(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

DiskInfo UsbDisk() {
    DiskInfo disk;
    disk.index = 3, disk.model = L"USB Stick", disk.serialNumber = L"S-1", disk.sizeBytes = 16ull << 30;
    disk.devicePath = L"\\\\.\\PhysicalDrive3", disk.driveLetters = L"E:", disk.safety = 0;
    return disk;
}

// A real erase that passes every guard.
EraseStartForm RealForm() {
    EraseStartForm form;
    form.disk = UsbDisk();
    form.realWrite = {WriteVerdict::Allowed, {}};
    form.real = form.isAdmin = true;
    form.code = L"ERASE";
    return form;
}

TEST(EraseStartGuards, FirstRefusalInOrderWithItsBox) {
    const struct {
        const char* name;
        std::function<void(EraseStartForm&)> change;
        std::wstring title;  // empty: no refusal
        std::wstring textStart;
        UINT style;
    } rows[] = {
        {"passes", [](EraseStartForm&) {}, L"", L"", 0},
        {"busy before everything", [](EraseStartForm& f) { f.busy = true; f.disk.reset(); }, kTitle, L"現在別の処理が実行中", kWarnOk},
        {"no selection", [](EraseStartForm& f) { f.disk.reset(); f.code.clear(); }, kTitle, L"消去対象のディスクを", kWarnOk},
        {"OS disk outside WinPE", [](EraseStartForm& f) { f.realWrite = {WriteVerdict::SystemDrive, L"x"}; f.isAdmin = false; },
         kOsGuard, L"【絶対安全保護ロック】", MB_OK | MB_ICONERROR},
        {"protected in the real environment, erasable in the list",
         [](EraseStartForm& f) { f.realWrite = {WriteVerdict::Protected, L"内蔵です。"}; f.isAdmin = false; },
         kSafety, L"【安全保護ロック中】\n内蔵です。\n", kWarnOk},
        {"path names no disk", [](EraseStartForm& f) { f.realWrite = {WriteVerdict::Unidentified, {}}; }, kSafety,
         L"【安全保護ロック中】\n再スキャンで同じディスクを確認できませんでした", kWarnOk},
        {"not administrator", [](EraseStartForm& f) { f.isAdmin = false; f.code.clear(); }, kTitle, L"実機物理セクタ消去を行うには管理者権限", kWarnOk},
        {"empty code", [](EraseStartForm& f) { f.code.clear(); }, kCodeTitle, L"安全確認コード欄に「ERASE」", kWarnOk},
        {"code with a blank", [](EraseStartForm& f) { f.code = L"ERASE "; }, kCodeTitle, L"", kWarnOk},
        {"code in lower case", [](EraseStartForm& f) { f.code = L"erase"; }, L"", L"", 0},
        {"simulation skips the real-mode guards",
         [](EraseStartForm& f) { f.real = false; f.realWrite = {WriteVerdict::SystemDrive, {}}; f.isAdmin = false; }, L"", L"", 0},
        {"simulation still needs the code", [](EraseStartForm& f) { f.real = false; f.code = L"ERAS"; }, kCodeTitle, L"", kWarnOk},
        // 35 passes over 4 TB cannot end before WinPE's shell does; the simulation box only warns.
        {"past WinPE's 72 hours", [](EraseStartForm& f) { f.isWinPE = true, f.disk->sizeBytes = 4e12, f.settings.defaultStandard = 7; },
         kTitle, L"【WinPE 72時間制限】", kWarnOk},
        {"past 72 hours, simulated WinPE", [](EraseStartForm& f) { f.winPESimulated = true, f.disk->sizeBytes = 4e12, f.settings.defaultStandard = 7; },
         L"", L"", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EraseStartForm form = RealForm();
        row.change(form);
        const EraseStartDecision decision = DecideEraseStart(form);
        EXPECT_EQ(decision.saveSettings, !form.busy && form.disk.has_value());
        EXPECT_EQ(decision.warningLine.rfind(L"[WARN] WinPE 72時間制限", 0) == 0, form.winPESimulated);
        if (row.title.empty()) {
            EXPECT_FALSE(decision.refusal);
            continue;
        }
        ASSERT_TRUE(decision.refusal);
        EXPECT_EQ(decision.refusal->title, row.title);
        EXPECT_EQ(decision.refusal->text.rfind(row.textStart, 0), 0u) << ::testing::PrintToString(decision.refusal->text);
        EXPECT_EQ(decision.refusal->style, row.style);
    }
}

TEST(EraseStartGuards, JobAndConfirmationFromTheForm) {
    EraseStartForm form = RealForm();
    form.settings.defaultStandard = 4, form.settings.defaultVerify = 2;
    form.settings.writeDiskStamp = form.settings.enableLogOutput = 1;
    form.settings.operatorName = L"Op", form.settings.organizationName = L"Org", form.settings.certOutputDir = L"D:\\Logs";
    form.settings.signerThumbprint = L"|3A5F";
    form.notes = L"note", form.unlockInternal = true;
    EraseJob job = DecideEraseStart(form).job;
    EXPECT_EQ(job.disk.devicePath, form.disk->devicePath);
    EXPECT_EQ(job.standard, 4u);
    EXPECT_EQ(job.verifyLevel, VerifyLevel::FullSurface);
    EXPECT_EQ(job.operatorName + job.organizationName + job.notes + job.outputFolder + job.signerThumbprint,
              L"OpOrgnoteD:\\Logs|3A5F");
    // Every flag both ways: the settings' stored 1 means off, and the engine's guard
    // needs the operator's own unlock choice.
    for (unsigned bits = 0; bits < 16; ++bits) {
        EraseStartForm f = RealForm();
        f.settings.writeDiskStamp = bits & 1, f.settings.enableLogOutput = (bits >> 1) & 1;
        f.unlockInternal = (bits & 4) != 0, f.real = (bits & 8) != 0;
        const EraseJob j = DecideEraseStart(f).job;
        EXPECT_EQ(j.noStamp, bits & 1) << bits;
        EXPECT_EQ(j.certificatesDisabled, (bits >> 1) & 1) << bits;
        EXPECT_EQ(j.unlockInternal, (bits >> 2) & 1) << bits;
        EXPECT_EQ(j.execMode, (bits & 8) ? ExecMode::RealHardwareWrite : ExecMode::SimulationDryRun) << bits;
    }

    // The drive's own sanitize is named with its method, or with why it will not run.
    FirmwareFacts purge;
    purge.wanted = purge.realRun = purge.isNvme = true, purge.controllerMayBeShared = false;
    purge.capabilities.known = purge.capabilities.cryptoErase = purge.capabilities.blockErase = true;
    const FirmwareDecision crypto = DecideFirmwareSanitize(purge), notPurge = DecideFirmwareSanitize({});
    form.real = false;
    job = DecideEraseStart(form).job;
    const MessageBoxText simulation = EraseConfirmation(job, notPurge);
    EXPECT_TRUE(Has(simulation.text, L")\n・ファームウェア消去: 実行しません — この消去規格ではファームウェア消去を行いません (NIST Purge "
                                     L"のみ)。\n・消去後の状態")) << ::testing::PrintToString(simulation.text);
    EXPECT_TRUE(Has(simulation.text, L"Disk 3 (USB Stick)\n・容量 / ドライブ: 16.00 GB / E:\n"));
    EXPECT_TRUE(Has(simulation.text, L"パーティション領域は0x00)\n・ログ/証明書保存: 無効")) << ::testing::PrintToString(simulation.text);
    EXPECT_TRUE(Has(simulation.text, L"【安全シミュレーション"));
    job.execMode = ExecMode::RealHardwareWrite;
    EXPECT_TRUE(Has(EraseConfirmation(job, notPurge).text, L"・消去後の状態   : スタンプなし (最終パスのデータのまま")) << "DoD's last pass is random";
    job.noStamp = job.certificatesDisabled = 0;
    const MessageBoxText real = EraseConfirmation(job, crypto);
    EXPECT_TRUE(Has(real.text, L"\n・ファームウェア消去: NVMe Sanitize (Crypto Erase) (ドライブ自身の消去は開始後に中断できません)\n"));
    EXPECT_TRUE(Has(real.text, L"スタンプ) を記録\n・ログ/証明書保存: 有効 (保存先: D:\\Logs)")) << ::testing::PrintToString(real.text);
    EXPECT_TRUE(Has(real.text, L"【警告: 実機"));
}

// NVMe, SATA and SAS drives show what they offer for erasing themselves; a disk behind a
// USB bridge is never asked.
TEST(MainTexts, SelectionLineNamesWhatTheDriveOffers) {
    DiskInfo disk = UsbDisk();
    disk.busKind = BusNvme, disk.mediaKind = MediaNvmeSsd;
    disk.firmware.known = disk.firmware.cryptoErase = disk.firmware.blockErase = true;
    EXPECT_EQ(SelectionSummary(&disk), L"選択: Disk 3 (USB Stick) [推奨: NIST 800-88 Rev.1 Purge] [FW: Crypto/Block]");
    disk.busKind = BusSata, disk.mediaKind = MediaSsd;
    EXPECT_EQ(SelectionSummary(&disk), L"選択: Disk 3 (USB Stick) [推奨: NIST 800-88 Rev.1 Purge] [FW: Crypto/Block]");
    disk.busKind = BusScsiSas, disk.firmware = {};
    EXPECT_EQ(SelectionSummary(&disk), L"選択: Disk 3 (USB Stick) [推奨: NIST 800-88 Rev.1 Purge] [FW: 不明]");
    disk.busKind = BusUsb;
    EXPECT_EQ(SelectionSummary(&disk), L"選択: Disk 3 (USB Stick) [推奨: NIST 800-88 Rev.1 Purge]");
}

TEST(ToolStartGuards, AdkAndWinPE) {
    EXPECT_EQ(DecideAdkStart(false, 2, L"D:\\Kits").downloadDir, L"D:\\Kits\\ADK_Installers");
    // An empty or relative folder would resolve against the current drive or directory.
    EXPECT_TRUE(DecideAdkStart(true, 0, L"D:\\x").refusal && DecideAdkStart(false, 2, L"").refusal &&
                DecideAdkStart(false, 2, L"Kits").refusal);

    WinPEStartForm form{false, true, AdkReady, WinPEOutputUsb, 1, 1, L"F: [DATA - 14.90 GB]"};
    const WinPEStartDecision usb = DecideWinPEStart(form);
    EXPECT_EQ(usb.options.usbDrive + std::to_wstring(usb.options.x86 * 10 + usb.options.uefiOnly), L"F:11");
    EXPECT_TRUE(Has(usb.question->text, L"(F:) をフォーマット")) << ::testing::PrintToString(usb.question->text);
    EXPECT_TRUE(Has(usb.question->text, L"(x86_32bit / UEFI+CSM"));
    EXPECT_EQ(usb.question->style, static_cast<UINT>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2)) << "No is the default";
    // An x86 medium of any kind says it will not boot on 64-bit UEFI; an x64 ISO asks nothing.
    const std::wstring noX64 = L"64-bit UEFI のPCでは起動しません。";
    EXPECT_TRUE(Has(usb.question->text, noX64));
    EXPECT_TRUE(Has(DecideWinPEStart({false, true, AdkReady, WinPEOutputIso, 1, 0, L""}).question->text, noX64));
    EXPECT_FALSE(DecideWinPEStart({false, true, AdkReady, WinPEOutputIso, 0, 0, L""}).question);
    form.usbText = kNoUsbEntry;
    EXPECT_TRUE(Has(DecideWinPEStart(form).refusal->text, L"有効なリムーバブルUSBドライブ"));
    form.adkStatus = AdkWinPEMissing;
    EXPECT_TRUE(Has(DecideWinPEStart(form).refusal->text, L"Windows ADK または WinPE Add-on"));
    form.isAdmin = false;
    EXPECT_TRUE(Has(DecideWinPEStart(form).refusal->text, L"には管理者権限"));
    form.busy = true;
    EXPECT_EQ(DecideWinPEStart(form).refusal->text, kBusyText);
}

TEST(ReportPairing, TheLastResultOnlyGoesWithItsOwnDisk) {
    EraseResult last;
    last.status = JobStatus::Completed;
    last.job.disk = UsbDisk();
    DiskInfo same = UsbDisk(), replaced = UsbDisk();
    replaced.serialNumber = L"S-2";  // another stick at the same device path
    EXPECT_TRUE(DecideReport(false, last, &same).useResult);
    EXPECT_FALSE(DecideReport(false, last, &replaced).useResult || DecideReport(false, last, nullptr).useResult);
    last.status = JobStatus::Cancelled;
    EXPECT_FALSE(DecideReport(false, last, &same).useResult);
}

TEST(CompletionOutcomes, ToldAsTheResultSays) {
    EraseResult result;
    result.status = JobStatus::Completed;
    result.sha256Fingerprint = L"AB";
    result.htmlPath = L"D:\\c.html";
    result.job.execMode = ExecMode::SimulationDryRun;  // a dry run's line says nothing was erased
    EXPECT_EQ(DescribeEraseDone(result).statusLine,
              L"完了 (SIMULATION) - シミュレーションレポートを発行しました (ディスクは消去されていません)。");
    result.job.execMode = ExecMode::RealHardwareWrite;
    EraseDoneView view = DescribeEraseDone(result);
    EXPECT_EQ(view.statusLine, L"完了 (COMPLETED) - 実機消去証明＆ハードウェアレポートを発行しました！");
    EXPECT_TRUE(view.fillBars);
    EXPECT_FALSE(view.box);
    EXPECT_EQ(view.consoleLines, (std::vector<std::wstring>{L"[CERTIFICATE] 証明書・監査ログ保存完了: D:\\c.html", L"[SHA-256] AB"}));
    result.htmlPath.clear();
    result.message = L"書き込めません";  // wanted, but not written
    view = DescribeEraseDone(result);
    EXPECT_FALSE(Has(view.statusLine, L"発行しました"));
    EXPECT_EQ(view.consoleLines.front(), L"[ERROR] 証明書・監査ログを保存できませんでした: 書き込めません");
    result.job.certificatesDisabled = 1;  // not wanted: the screen report is the outcome
    EXPECT_TRUE(Has(DescribeEraseDone(result).statusLine, L"発行しました"));

    result.status = JobStatus::Cancelled;
    EXPECT_TRUE(Has(DescribeEraseDone(result).box->text, L"中断ログは保存されていません"));
    result.auditLogPath = L"D:\\a.txt";
    view = DescribeEraseDone(result);
    EXPECT_TRUE(Has(view.box->text, L"中断ログが保存されました"));
    EXPECT_FALSE(view.showReport);
    EXPECT_FALSE(view.fillBars);
    result.status = JobStatus::Failed;
    result.message = L"WRITE ERROR";
    EXPECT_EQ(*DescribeEraseDone(result).box, (MessageBoxText{L"消去処理中にエラーが発生しました:\nWRITE ERROR", kTitle, MB_OK | MB_ICONERROR}));
    // A failing kit installation shows the WinPE error box, not the kit's success.
    EXPECT_EQ(ToolDoneBox(1, 1), ToolDoneBox(-1, 2));
    EXPECT_EQ(ToolDoneBox(1, 1).style, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

TEST(LayoutFactor, ScalesByDensityAndFitsTheWorkArea) {
    EXPECT_EQ(LayoutFactor(96, 1920, 1040) + LayoutFactor(192, 3840, 2100) + LayoutFactor(144, 2560, 1400), 4.5);
    for (const auto& [dpi, width, height] : {std::array{96, 1024, 768}, {192, 1920, 1040}, {120, 1280, 720}, {96, 800, 600}}) {
        const double f = LayoutFactor(dpi, width, height);
        EXPECT_LT(f, dpi / 96.0);
        EXPECT_TRUE(Scaled(kDesignWindowWidth, f) <= width && Scaled(kDesignWindowHeight, f) <= height) << width;
    }
    EXPECT_EQ(Scaled(15, 1.25), 19);
}

}  // namespace
}  // namespace morvane
