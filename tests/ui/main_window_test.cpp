// The real main window under Wine, driven by messages through the recording services:
// creation and captions, the disk list, the guards as the window applies them, the
// erasure worker end to end on image-file disks, closing during a job, the report
// pairing and completions held behind a modal window.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <system_error>

#include "erase/standards.h"
#include "support/fake_ui_services.h"
#include "support/temp_dir.h"
#include "ui/app_state.h"
#include "ui/guards.h"
#include "ui/layout.h"
#include "ui/main_refresh.h"
#include "ui/main_texts.h"
#include "ui/main_window.h"
#include "ui/messages.h"
#include "ui/outcomes.h"

namespace morvane {
namespace {

// The fake, plus a separate answer for a scan classified for the real environment
// (WinPE flag 0) when a test sets one.
struct Services : testing::FakeUiServices {
    std::optional<std::vector<DiskInfo>> realEnvironmentDisks;
    std::vector<DiskInfo> ScanDisks(bool winPEFlag, bool unlockInternal) override {
        std::vector<DiskInfo> listed = FakeUiServices::ScanDisks(winPEFlag, unlockInternal);
        return (!winPEFlag && realEnvironmentDisks) ? *realEnvironmentDisks : listed;
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        services.settings.certOutputDir = dir.path().wstring();
        services.disks = {ImageDisk(L"a.img", 77, L"E:"), ImageDisk(L"b.img", 78, L"C:, D:")};
        services.disks[1].safety = 1;
    }
    void TearDown() override {
        if (state && state->window) ::DestroyWindow(state->window);
        state.reset();
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    // A 4 MiB image file in the test's folder standing in for a USB disk.
    DiskInfo ImageDisk(const std::wstring& name, int index, const std::wstring& letters) {
        DiskInfo disk;
        disk.index = index;
        disk.devicePath = dir.file(name);
        EXPECT_TRUE(testing::CreateImageFile(disk.devicePath, 4u << 20));
        disk.model = L"Image " + name;
        disk.serialNumber = L"IMG-" + std::to_wstring(index);
        disk.sizeBytes = 4u << 20;
        disk.mediaKind = MediaRemovable;
        disk.busKind = BusUsb;
        disk.driveLetters = letters;
        disk.safety = 0;
        disk.safetyDescription = L"外部/リムーバブルストレージ: Windows上から安全に完全消去可能です。";
        return disk;
    }

    void Open() {
        state = std::make_unique<AppState>(services);
        ASSERT_TRUE(CreateMainWindow(*state, ::GetModuleHandleW(nullptr), SW_HIDE));
    }
    HWND Ctl(ControlId id) const { return state->Control(id); }
    std::wstring Text(ControlId id) const { return ControlText(Ctl(id), 1 << 20); }
    int Selection(ControlId id) const { return ComboSelection(*state, id); }
    bool Enabled(ControlId id) const { return ::IsWindowEnabled(Ctl(id)) != FALSE; }
    void Click(ControlId id) {
        ::SendMessageW(state->window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Ctl(id)));
    }
    void SetCheck(ControlId id, bool on) {
        ::SendMessageW(Ctl(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        Click(id);
    }
    void Choose(ControlId id, int index) { ::SendMessageW(Ctl(id), CB_SETCURSEL, index, 0); }
    void SelectRow(int row) {
        ListView_SetItemState(Ctl(kIdDiskList), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    // Dispatches messages until `done` holds; the workers post their completion.
    void PumpUntil(const std::function<bool()>& done) {
        MSG message;
        while (!done()) {
            if (::GetMessageW(&message, nullptr, 0, 0) > 0) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    }
    void PumpUntilIdle() {
        PumpUntil([&] { return state->busy.load() == 0; });
    }
    // A quick simulated or real run: zero fill, no verification, no stamp.
    void PrepareQuickRun(bool real) {
        Choose(kIdStandard, ZeroFill);
        Choose(kIdVerify, 0);
        Choose(kIdStamp, 1);
        Choose(kIdMode, real ? 1 : 0);
    }
    std::vector<std::wstring> ConsoleLines() const {
        std::vector<std::wstring> lines;
        const std::wstring text = Text(kIdConsole);
        for (std::size_t at = 0, end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2) {
            lines.push_back(text.substr(at, end - at));
        }
        return lines;
    }
    const testing::RecordedBox& LastBox() const { return services.boxes.back(); }

    testing::TempDir dir;
    Services services;
    std::unique_ptr<AppState> state;
};

TEST_F(MainWindowTest, OpensWithCaptionsAndInitialStatesForDefaultSettings) {
    Open();
    wchar_t title[256] = {};
    ::GetWindowTextW(state->window, title, 256);
    EXPECT_STREQ(title, L"Morvane Disk Eraser v1.3.0 - Enterprise HDD/SSD Sanitization, Erasure Stamp & x86/x64 Hybrid WinPE Suite");
    wchar_t className[64] = {};
    ::GetClassNameW(state->window, className, 64);
    EXPECT_STREQ(className, L"MorvaneDiskEraserWndClass");
    for (HWND control : state->controls) ASSERT_NE(control, nullptr);
    EXPECT_EQ(Text(kIdEnvironment), EnvironmentLabel(false));
    EXPECT_EQ(Text(kIdPrivilege), PrivilegeLabel(true));
    EXPECT_FALSE(Enabled(kIdRestart));
    EXPECT_FALSE(Enabled(kIdAbort));
    EXPECT_EQ(Text(kIdCode), L"ERASE");
    EXPECT_EQ(Text(kIdStandardDescription), StandardDescription(0));
    const int selections[] = {Selection(kIdStandard), Selection(kIdVerify), Selection(kIdMode), Selection(kIdStamp),
                              Selection(kIdAdkChoice), Selection(kIdArch), Selection(kIdMedium), Selection(kIdBoot)};
    EXPECT_EQ(std::vector<int>(std::begin(selections), std::end(selections)), (std::vector<int>{0, 1, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(::SendMessageW(Ctl(kIdLogOutput), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(Enabled(kIdOutputFolder) && Enabled(kIdChooseFolder) && Enabled(kIdOpenFolder));
    EXPECT_EQ(Text(kIdOutputFolder), dir.path().wstring());
    // No removable drive: the single placeholder entry.
    EXPECT_EQ(::SendMessageW(Ctl(kIdUsbTarget), CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(Text(kIdUsbTarget), L"(リムーバブルUSB未検出 - ISO出力推奨)");
    EXPECT_EQ(ListView_GetItemCount(Ctl(kIdDiskList)), 2);
    EXPECT_EQ(state->selectedDisk, 0);
    EXPECT_EQ(Text(kIdSelectionSummary), L"選択: Disk 77 (Image a.img) [推奨: NIST 800-88 / DoD]");
    const std::vector<std::wstring> lines = ConsoleLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 3), L"[20");
    EXPECT_EQ(lines[0].substr(21), L" Morvane Disk Eraser v1.3.0 が起動しました。");
    // Bold on exactly the four named controls; the console has its own font.
    for (int id = kFirstControlId; id < kIdAfterLast; ++id) {
        const auto font = reinterpret_cast<HFONT>(::SendMessageW(Ctl(static_cast<ControlId>(id)), WM_GETFONT, 0, 0));
        const bool bold = id == kIdEraseStart || id == kIdReport || id == kIdWinPEStart || id == kIdEnvironment;
        EXPECT_EQ(font, id == kIdConsole ? state->fonts.console.get() : bold ? state->fonts.bold.get() : state->fonts.normal.get())
            << id;
    }
    // Positions are the table's, multiplied by the one layout factor.
    RECT button{};
    ::GetWindowRect(Ctl(kIdEraseStart), &button);
    ::MapWindowPoints(nullptr, state->window, reinterpret_cast<POINT*>(&button), 2);
    const double f = state->layoutFactor;
    EXPECT_EQ(button.left, Scaled(266, f));
    EXPECT_EQ(button.right - button.left, Scaled(240, f));
}

TEST_F(MainWindowTest, StampOffAndLogOutputOffFromTheSettings) {
    services.settings.writeDiskStamp = 1;
    services.settings.enableLogOutput = 1;
    services.settings.defaultStandard = 9;  // out of range
    services.admin = false;
    Open();
    EXPECT_EQ(Selection(kIdStamp), 1);
    EXPECT_EQ(Selection(kIdStandard), 0);
    EXPECT_EQ(::SendMessageW(Ctl(kIdLogOutput), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(Enabled(kIdOutputFolder) || Enabled(kIdChooseFolder) || Enabled(kIdOpenFolder));
    EXPECT_TRUE(Enabled(kIdRestart));
    SetCheck(kIdLogOutput, true);  // toggling saves the settings
    EXPECT_TRUE(Enabled(kIdOutputFolder));
    ASSERT_FALSE(services.saved.empty());
    EXPECT_EQ(services.saved.back().enableLogOutput, 0u);
}

TEST_F(MainWindowTest, SimulationBoxSwitchesEnvironmentAndMarksTheSystemDisk) {
    Open();
    SetCheck(kIdSimulateWinPE, true);
    EXPECT_EQ(Text(kIdEnvironment), EnvironmentLabel(true));
    EXPECT_EQ(services.scans.back(), std::make_pair(true, false));
    EXPECT_EQ(state->disks[1].safetyDescription, kSimulatedSystemDiskDescription);
    EXPECT_EQ(state->isWinPE, 0u);
}

TEST_F(MainWindowTest, NoDisksLeavesAnEmptyListAndNoSelection) {
    services.disks.clear();
    Open();
    EXPECT_EQ(ListView_GetItemCount(Ctl(kIdDiskList)), 0);
    EXPECT_EQ(state->selectedDisk, -1);
    EXPECT_EQ(Text(kIdSelectionSummary), L"ディスクが選択されていません。");
    Click(kIdEraseStart);
    EXPECT_EQ(LastBox().text, L"消去対象のディスクを一覧から選択してください。");
}

TEST_F(MainWindowTest, SimulatedEraseRunsThroughTheRealWorker) {
    Open();
    PrepareQuickRun(false);
    Click(kIdEraseStart);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(LastBox().title, L"最終確認 - Morvane Disk Eraser");
    EXPECT_EQ(LastBox().Icon(), static_cast<UINT>(MB_ICONQUESTION));
    EXPECT_FALSE(Enabled(kIdEraseStart));
    EXPECT_TRUE(Enabled(kIdAbort));
    PumpUntilIdle();
    EXPECT_EQ(::SendMessageW(Ctl(kIdPassBar), PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(::SendMessageW(Ctl(kIdOverallBar), PBM_GETPOS, 0, 0), 100);
    EXPECT_TRUE(Enabled(kIdEraseStart));
    EXPECT_FALSE(Enabled(kIdAbort));
    EXPECT_EQ(Text(kIdCode), L"ERASE");  // a simulation keeps the code
    const std::vector<std::wstring> lines = ConsoleLines();
    auto position = [&](const std::wstring& fragment) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].find(fragment) != std::wstring::npos) return static_cast<int>(i);
        }
        return -1;
    };
    EXPECT_GT(position(L"[SIMULATION] 開始"), 1);
    EXPECT_GT(position(L"[SIMULATION] 完了"), position(L"[SIMULATION] 開始"));
    EXPECT_GT(position(L"[CERTIFICATE] 証明書・監査ログ保存完了: "), position(L"[SIMULATION] 完了"));
    EXPECT_EQ(position(L"[SHA-256] "), static_cast<int>(lines.size()) - 1);
    for (const std::wstring& line : lines) EXPECT_EQ(line.substr(0, 3) + line.substr(20, 2), L"[20] ") << testing::Narrow(line);
    ASSERT_EQ(services.reports.size(), 1u);
    ASSERT_TRUE(services.reports[0].result && services.reports[0].disk);
    EXPECT_EQ(services.reports[0].result->status, JobStatus::Completed);
    EXPECT_EQ(services.reports[0].disk->devicePath, services.disks[0].devicePath);
    EXPECT_EQ(state->selectedDisk, 0);
}

TEST_F(MainWindowTest, ProgressShowsTheLatestSnapshotOnBarsAndStatusLine) {
    Open();
    EraseProgressInfo progress;
    progress.label = L"[HARDWARE WRITE] Pass 1/1";
    progress.passPercent = 45;
    progress.overallPercent = 40;
    progress.speedMBps = 88.04;
    state->channel.PostProgress(progress);
    PumpUntil([&] { return Text(kIdStatus) != L"待機中 (Ready) - 消去対象ディスクとアルゴリズムを選択してください。"; });
    EXPECT_EQ(Text(kIdStatus), ProgressStatusLine(progress));
    EXPECT_EQ(::SendMessageW(Ctl(kIdPassBar), PBM_GETPOS, 0, 0), 45);
}

TEST_F(MainWindowTest, RealEraseRefusedForADiskProtectedOnlyInTheRealEnvironment) {
    services.disks.resize(1);
    services.realEnvironmentDisks = services.disks;
    (*services.realEnvironmentDisks)[0].safety = 3;
    (*services.realEnvironmentDisks)[0].safetyDescription = L"内蔵ストレージです。";
    Open();
    SetCheck(kIdSimulateWinPE, true);  // the listed record says erasable
    PrepareQuickRun(true);
    Click(kIdEraseStart);
    EXPECT_EQ(LastBox().title, L"Morvane Safety Guard");
    EXPECT_EQ(LastBox().text.substr(0, 21), L"【安全保護ロック中】\n内蔵ストレージです。");
    EXPECT_EQ(services.scans.back(), std::make_pair(false, false));
    EXPECT_EQ(state->busy.load(), 0u);
    // A disk the real scan no longer finds is protected as well.
    services.realEnvironmentDisks->clear();
    Click(kIdEraseStart);
    EXPECT_EQ(LastBox().title, L"Morvane Safety Guard");
    // A simulation of it stays allowed (answered No at the final confirmation).
    Choose(kIdMode, 0);
    services.boxAnswers = {IDNO};
    Click(kIdEraseStart);
    EXPECT_EQ(LastBox().title, L"最終確認 - Morvane Disk Eraser");
}

TEST_F(MainWindowTest, RealStartClearsTheConfirmationCode) {
    services.disks.resize(1);
    Open();
    PrepareQuickRun(true);
    Click(kIdEraseStart);
    EXPECT_EQ(LastBox().style, static_cast<UINT>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
    EXPECT_EQ(Text(kIdCode), L"");
    PumpUntilIdle();
    const std::size_t before = services.boxes.size();
    Click(kIdEraseStart);
    ASSERT_GT(services.boxes.size(), before);
    EXPECT_EQ(LastBox().title, L"確認コード未入力");
}

TEST_F(MainWindowTest, ThreadThatCannotStartIsReportedAndBusyCleared) {
    Open();
    state->startThread = [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    };
    PrepareQuickRun(false);
    Click(kIdEraseStart);
    EXPECT_EQ(state->busy.load(), 0u);
    EXPECT_TRUE(Enabled(kIdEraseStart));
    EXPECT_NE(ConsoleLines().back().find(L"[ERROR] 作業スレッドを開始できませんでした: "), std::wstring::npos);
}

TEST_F(MainWindowTest, RestartAndReportRefusedWhileBusy) {
    services.admin = false;
    Open();
    state->busy = 1;
    Click(kIdRestart);
    EXPECT_EQ(services.restarts, 0);
    EXPECT_EQ(LastBox().text, RestartRefusal(true)->text);
    Click(kIdReport);
    EXPECT_TRUE(services.reports.empty());
    EXPECT_NE(LastBox().text.find(L"レポート画面を開けません"), std::wstring::npos);
    Click(kIdAdkStart);
    EXPECT_EQ(LastBox().text, L"現在別の処理が実行中です。");
    state->busy = 0;
    Click(kIdRestart);
    EXPECT_EQ(services.restarts, 1);
}

TEST_F(MainWindowTest, OpenFolderOpensOnlyADirectory) {
    Open();
    const std::wstring file = services.disks[0].devicePath;
    ::SetWindowTextW(Ctl(kIdOutputFolder), file.c_str());
    Click(kIdOpenFolder);
    EXPECT_TRUE(services.shellOpened.empty());
    EXPECT_EQ(LastBox().text, FolderNotFoundBox(file).text);
    ::SetWindowTextW(Ctl(kIdOutputFolder), L"relative\\folder");
    Click(kIdOpenFolder);
    EXPECT_TRUE(services.shellOpened.empty());
    const std::wstring folder = dir.file(L"new\\evidence");  // created, then opened
    ::SetWindowTextW(Ctl(kIdOutputFolder), folder.c_str());
    Click(kIdOpenFolder);
    EXPECT_EQ(services.shellOpened, std::vector<std::wstring>{folder});
}

TEST_F(MainWindowTest, UnsuitableOutputFolderIsAskedAboutAgainAfterAPick) {
    services.disks.resize(1);
    services.folderWritable = [&](const std::wstring& folder) { return folder != dir.path().wstring(); };
    services.pickAnswers = {L"relative", dir.file(L"good")};
    services.boxAnswers = {IDYES, IDYES, IDNO};
    Open();
    PrepareQuickRun(false);
    Click(kIdEraseStart);
    ASSERT_EQ(services.boxes.size(), 3u);
    EXPECT_NE(services.boxes[0].text.find(L"理由: フォルダを作成できないか、書き込みできません。"), std::wstring::npos);
    EXPECT_NE(services.boxes[1].text.find(L"現在の保存先: relative\n理由: 相対パスまたは無効なパスです。"), std::wstring::npos);
    EXPECT_EQ(services.boxes[2].title, L"最終確認 - Morvane Disk Eraser");  // answered No: nothing starts
    EXPECT_EQ(Text(kIdOutputFolder), dir.file(L"good"));
    EXPECT_EQ(services.saved.back().certOutputDir, dir.file(L"good"));
    EXPECT_EQ(state->busy.load(), 0u);
}

TEST_F(MainWindowTest, CloseDuringAnErasureAsksAbortsAndWaitsVisibly) {
    Open();
    PrepareQuickRun(false);
    Choose(kIdStandard, Gutmann35);  // long enough to be still running at the close
    Click(kIdEraseStart);
    services.boxAnswers = {IDNO};
    ::SendMessageW(state->window, WM_CLOSE, 0, 0);
    EXPECT_EQ(LastBox().text, L"現在処理が実行中です。強制終了してもよろしいですか？");
    EXPECT_EQ(state->abortRequested.load(), 0u);
    ::SendMessageW(state->window, WM_CLOSE, 0, 0);
    EXPECT_EQ(state->abortRequested.load(), 1u);
    ASSERT_NE(state->window, nullptr);  // still there while the worker stops
    EXPECT_EQ(Text(kIdStatus), kClosingAfterEraseStatus);
    PumpUntil([&] { return state->window == nullptr; });
    EXPECT_EQ(state->channel.LastResult().status, JobStatus::Cancelled);
    EXPECT_TRUE(services.reports.empty());
    EXPECT_FALSE(services.saved.empty());
}

TEST_F(MainWindowTest, ReportPairsTheLastResultOnlyWithItsDiskAndKeepsTheSelection) {
    Open();
    EraseResult last;
    last.status = JobStatus::Completed;
    last.job.disk = services.disks[0];
    last.htmlPath = L"C:\\a.html";
    state->channel.SetLastResult(last);
    SelectRow(1);
    Click(kIdRescan);
    EXPECT_EQ(state->selectedDisk, 1);  // a rescan keeps the operator's disk
    Click(kIdReport);
    ASSERT_EQ(services.reports.size(), 1u);
    EXPECT_FALSE(services.reports[0].result);
    EXPECT_EQ(services.reports[0].disk->devicePath, services.disks[1].devicePath);
    EXPECT_EQ(services.reports[0].stamp.diskSerial, L"IMG-78");  // read from the selected disk
    SelectRow(0);
    Click(kIdReport);
    ASSERT_EQ(services.reports.size(), 2u);
    ASSERT_TRUE(services.reports[1].result);
    EXPECT_EQ(services.reports[1].htmlPath, L"C:\\a.html");
}

TEST_F(MainWindowTest, CompletionWaitsUntilTheOpenModalCloses) {
    Open();
    EraseResult last;
    last.status = JobStatus::Completed;
    last.job.disk = services.disks[0];
    last.job.certificatesDisabled = 1;
    state->channel.SetLastResult(last);
    state->busy = 1;
    std::size_t reportsWhileBoxOpen = 99;
    services.onBox = [&](const testing::RecordedBox&) {
        if (reportsWhileBoxOpen != 99) return;
        ::SendMessageW(state->window, WM_ERASE_DONE, 0, 0);  // arrives inside the box's loop
        reportsWhileBoxOpen = services.reports.size();
    };
    Click(kIdOpenCertificate);  // no certificate yet: an information box
    EXPECT_EQ(reportsWhileBoxOpen, 0u);
    EXPECT_EQ(services.reports.size(), 1u);
    EXPECT_EQ(state->busy.load(), 0u);
}

TEST_F(MainWindowTest, ConsoleGrowsPastTheEditDefaultAndDropsTheOldestPastItsCap) {
    Open();
    const std::wstring filler(100, L'x');
    for (int i = 0; i < 450; ++i) AppendLogLine(*state, filler);
    EXPECT_GT(Text(kIdConsole).size(), 45000u);
    state->consoleCapChars = 6000;
    for (int i = 0; i < 200; ++i) AppendLogLine(*state, L"line-" + std::to_wstring(i) + L" " + filler);
    const std::vector<std::wstring> lines = ConsoleLines();
    EXPECT_LE(Text(kIdConsole).size(), 6000u);
    EXPECT_GT(Text(kIdConsole).size(), 3000u);
    EXPECT_EQ(lines.back().substr(22, 9), L"line-199 ");
    EXPECT_EQ(lines.front().substr(0, 3), L"[20");  // whole lines only
}

}  // namespace
}  // namespace morvane
