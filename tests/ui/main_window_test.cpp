// The real main window driven by messages: the settings and disk list it opens with,
// the guards as the window applies them, the erasure worker end to end on image-file
// disks, closing during a job, report pairing and completions held behind a modal box.
#include <system_error>
#include <thread>

#include "ui/guards.h"
#include "ui/main_texts.h"
#include "ui/window_messages.h"
#include "ui/completion.h"
#include "ui/folder_picker_model.h"
#include "window_fixture.h"

namespace morvane {
namespace {

TEST_F(MainWindowTest, OpensFromTheSettingsWithTheDiskListAndLayout) {
    OpenMain();
    EXPECT_EQ(ListView_GetItemCount(Ctl(kIdDiskList)), 2);
    EXPECT_TRUE(Has(Text(kIdSelectionSummary), L"Disk 77 (Generic Physical Disk)"));
    EXPECT_TRUE(Enabled(kIdOutputFolder) && !Enabled(kIdRestart) && !Enabled(kIdAbort));
    EXPECT_EQ(Text(kIdOutputFolder), dir.path().wstring());

    services.settings.writeDiskStamp = services.settings.enableLogOutput = 1;  // 1 means off
    services.settings.defaultStandard = 9;                                     // out of range
    services.admin = false;
    OpenMain();
    EXPECT_EQ(ComboSelection(*state, kIdStamp) * 10 + ComboSelection(*state, kIdStandard), 10);
    EXPECT_FALSE(IsChecked(*state, kIdLogOutput) || Enabled(kIdOutputFolder) || Enabled(kIdChooseFolder) ||
                 Enabled(kIdOpenFolder));
    EXPECT_TRUE(Enabled(kIdRestart));
    SetCheck(kIdLogOutput, true);  // toggling saves the settings
    EXPECT_TRUE(Enabled(kIdOutputFolder));
    EXPECT_TRUE(!services.saved.empty() && services.saved.back().enableLogOutput == 0u);

    services.disks.clear();
    Click(kIdRescan);
    EXPECT_TRUE(ListView_GetItemCount(Ctl(kIdDiskList)) == 0 && state->selectedDisk == -1);
}

// A simulation and a real run on an image file through the real worker: the bars
// fill, the report opens, the log arrives in order, and only a real start clears the code.
TEST_F(MainWindowTest, QuickRunsThroughTheRealWorker) {
    OpenMain();
    for (const bool real : {false, true}) {
        SCOPED_TRACE(real ? "real" : "simulation");
        services.boxes.clear();
        PrepareQuickRun(real);
        Click(kIdEraseStart);
        ASSERT_EQ(services.boxes.size(), 1u);
        EXPECT_EQ(LastBox().style, real ? static_cast<UINT>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2)
                                        : static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1))
            << "No is the default of a real erasure";
        EXPECT_TRUE(!Enabled(kIdEraseStart) && Enabled(kIdAbort));
        EXPECT_EQ(Text(kIdCode), real ? L"" : L"ERASE");
        PumpUntilIdle();
        EXPECT_EQ(::SendMessageW(Ctl(kIdPassBar), PBM_GETPOS, 0, 0) + ::SendMessageW(Ctl(kIdOverallBar), PBM_GETPOS, 0, 0), 200);
        EXPECT_TRUE(Enabled(kIdEraseStart) && !Enabled(kIdAbort));
        ASSERT_EQ(services.reports.size(), real ? 2u : 1u);
        ASSERT_TRUE(services.reports.back().result && services.reports.back().disk);
        EXPECT_EQ(services.reports.back().result->status, JobStatus::Completed);
    }
    const std::wstring console = Text(kIdConsole);
    std::size_t at = 0;
    for (const wchar_t* line : {L"] [SIMULATION] 開始", L"] [SIMULATION] 完了", L"] [CERTIFICATE] 証明書・監査ログ保存完了: ",
                                L"] [SHA-256] "}) {
        EXPECT_NE(at = console.find(line, at), std::wstring::npos) << testing::Narrow(line);
    }
    for (const std::wstring& line : ConsoleLines()) {
        EXPECT_EQ(line.substr(0, 3) + line.substr(20, 2), L"[20] ") << testing::Narrow(line);
    }
}

// The code edit's "ERASE" serves the simulation only: a saved real mode starts with it
// empty, and every switch to the real mode empties it again.
TEST_F(MainWindowTest, RealModeNeedsTheCodeTypedAfterTheLastSwitch) {
    OpenMain();
    EXPECT_EQ(Text(kIdCode), L"ERASE");
    Choose(kIdMode, 0);
    EXPECT_EQ(Text(kIdCode), L"ERASE") << "the simulation keeps the code";
    Choose(kIdMode, 1);
    EXPECT_EQ(Text(kIdCode), L"") << "switched to real: typed again";
    Click(kIdEraseStart);
    EXPECT_EQ(LastBox().title, L"確認コード未入力") << "one Enter after choosing real does not erase";
    services.settings.defaultExecMode = 1;
    OpenMain();
    EXPECT_EQ(Text(kIdCode), L"");
}

// A real erase never writes its evidence onto the disk it erases: the folder question
// offers only another folder or cancelling, and the picker refuses that disk.
TEST_F(MainWindowTest, EvidenceFolderOnTheTargetDiskIsRefusedBeforeAnythingIsWritten) {
    services.drives = {{L"E:\\", DRIVE_REMOVABLE, L"", L"FAT32", 0, {77}}};  // the volume of disk 0 (number 77)
    OpenMain();
    PrepareQuickRun(true);
    Type(kIdOutputFolder, L"E:\\logs");
    services.boxAnswers = {IDNO};
    Click(kIdEraseStart);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_TRUE(Has(LastBox().text, kOnTargetDiskReason));
    EXPECT_EQ(LastBox().style & MB_TYPEMASK, static_cast<UINT>(MB_YESNO)) << "no continue-anyway";
    EXPECT_TRUE(Has(LastBox().text, L"・[いいえ (No)]  : 消去を中止する"));
    EXPECT_EQ(state->busy.load(), 0u);
    services.boxAnswers = {IDYES};
    Click(kIdEraseStart);
    EXPECT_EQ(services.pickTargets, std::vector<int>{77}) << "the picker is told which disk to refuse";
    EXPECT_EQ(state->busy.load(), 0u) << "a cancelled pick starts nothing";
}

// Under the WinPE simulation the list says erasable; the real machine decides, as the
// guarded open will.
TEST_F(MainWindowTest, RealEraseRefusedForADiskProtectedOnlyInTheRealEnvironment) {
    services.disks[0].busKind = BusSata, services.disks[0].mediaKind = MediaHdd;  // internal: locked under Windows
    OpenMain();
    SetCheck(kIdSimulateWinPE, true);
    EXPECT_EQ(services.scans.back(), std::make_pair(true, false));
    EXPECT_EQ(state->disks[1].safetyDescription, kSimulatedSystemDiskDescription);
    PrepareQuickRun(true);
    Click(kIdEraseStart);
    EXPECT_TRUE(Has(LastBox().text, L"【安全保護ロック中】\n内蔵ストレージです。"));
    EXPECT_EQ(state->busy.load(), 0u);
    // Erasable on the real machine (WinPE) but gone from its path: protected as well.
    services.machine.winPE = true;
    services.identity = [](const std::wstring&) { return std::nullopt; };
    services.boxes.clear();
    Click(kIdEraseStart);
    EXPECT_EQ(LastBox().title, L"Morvane Safety Guard");
    EXPECT_TRUE(Has(LastBox().text, L"再スキャンで同じディスクを確認できませんでした"));
}

// Not only the first batch: every later batch of log lines and every later progress
// snapshot a worker posts reaches the window.
TEST_F(MainWindowTest, EveryBatchOfLogLinesAndProgressReachesTheWindow) {
    OpenMain();
    for (int batch = 1; batch <= 3; ++batch) {
        const std::wstring tag = L"[TEST] batch " + std::to_wstring(batch);
        std::thread worker([&] {
            state->channel.PostLog(tag + L" first");
            state->channel.PostLog(tag + L" last");
            EraseProgressInfo progress;
            progress.label = tag;
            state->channel.PostProgress(progress);
        });
        worker.join();
        PumpUntil([&] { return Has(Text(kIdConsole), tag + L" last") && Has(Text(kIdStatus), tag); }, 10);
        EXPECT_TRUE(Has(Text(kIdConsole), tag + L" first"));
    }
}

// While an erasure runs the machine is kept awake and the session end is refused; when
// Windows ends the session anyway the erasure stops and its interrupted record and
// audit log are saved before the handler returns.
TEST_F(MainWindowTest, SessionEndDuringAnErasureSavesTheInterruptedRecord) {
    OpenMain();
    std::vector<EXECUTION_STATE> states;
    state->setExecutionState = [&states](EXECUTION_STATE s) { return states.push_back(s), EXECUTION_STATE{}; };
    PrepareQuickRun(false, Gutmann35);  // 35 simulated passes: long enough to end the session in one
    Click(kIdEraseStart);
    ASSERT_EQ(state->busy.load(), 1u);
    EXPECT_EQ(states, std::vector<EXECUTION_STATE>{ES_CONTINUOUS | ES_SYSTEM_REQUIRED});
    PumpUntil([&] { return Has(Text(kIdStatus), L"Pass 2/35"); }, 30);
    EXPECT_EQ(::SendMessageW(state->window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
    ::SendMessageW(state->window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    const EraseResult r = state->channel.LastResult();
    EXPECT_EQ(r.status, JobStatus::Cancelled);
    EXPECT_TRUE(std::filesystem::exists(r.auditLogPath));
    PumpUntilIdle();
    EXPECT_EQ(states.back(), static_cast<EXECUTION_STATE>(ES_CONTINUOUS)) << "released when the worker ended";
    EXPECT_EQ(::SendMessageW(state->window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
}

// The console wraps a long line (a certificate path, a DISM command) instead of
// scrolling it out of sight.
TEST_F(MainWindowTest, ConsoleWrapsLongLines) {
    OpenMain();
    EXPECT_EQ(::GetWindowLongPtrW(Ctl(kIdConsole), GWL_STYLE) & ES_AUTOHSCROLL, 0);
    const LRESULT before = ::SendMessageW(Ctl(kIdConsole), EM_GETLINECOUNT, 0, 0);
    std::wstring path = L"[CERTIFICATE] E:";
    while (path.size() < 400) path += L"\\Morvane Erasure Logs";
    AppendLogLine(*state, path);
    EXPECT_GE(::SendMessageW(Ctl(kIdConsole), EM_GETLINECOUNT, 0, 0), before + 2) << "one line shown as several";
}

TEST_F(MainWindowTest, ThreadThatCannotStartIsReportedAndBusyCleared) {
    OpenMain();
    state->startThread = [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    };
    PrepareQuickRun(false);
    Click(kIdEraseStart);
    EXPECT_TRUE(state->busy.load() == 0u && Enabled(kIdEraseStart));
    EXPECT_TRUE(Has(ConsoleLines().back(), L"[ERROR] 作業スレッドを開始できませんでした: "));
}

TEST_F(MainWindowTest, RestartReportAndToolsRefusedWhileBusy) {
    OpenMain();
    state->busy = 1;
    Click(kIdRestart);
    EXPECT_TRUE(services.restarts == 0 && LastBox().text == RestartRefusal(true)->text);
    Click(kIdReport);
    EXPECT_TRUE(services.reports.empty() && Has(LastBox().text, L"レポート画面を開けません"));
    Click(kIdAdkStart);
    EXPECT_EQ(LastBox().text, kBusyText);
    state->busy = 0;
    Click(kIdRestart);
    EXPECT_EQ(services.restarts, 1);
}

TEST_F(MainWindowTest, OpenFolderOpensOnlyADirectory) {
    OpenMain();
    const std::wstring file = services.disks[0].devicePath, folder = dir.file(L"new\\evidence");
    for (const std::wstring& typed : {file, std::wstring(L"relative\\folder"), folder}) {
        ::SetWindowTextW(Ctl(kIdOutputFolder), typed.c_str());
        Click(kIdOpenFolder);
    }
    EXPECT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes[0].text, FolderNotFoundBox(file).text);
    EXPECT_EQ(services.shellOpened, std::vector<std::wstring>{folder}) << "created, then opened";
}

TEST_F(MainWindowTest, UnsuitableOutputFolderIsAskedAboutAgainAfterAPick) {
    services.folderWritable = [&](const std::wstring& folder) { return folder != dir.path().wstring(); };
    services.pickAnswers = {L"relative", dir.file(L"good")};
    services.boxAnswers = {IDYES, IDYES, IDNO};
    OpenMain();
    PrepareQuickRun(false);
    Click(kIdEraseStart);
    ASSERT_EQ(services.boxes.size(), 3u);
    EXPECT_TRUE(Has(services.boxes[0].text, L"理由: フォルダを作成できないか、書き込みできません。"));
    EXPECT_TRUE(Has(services.boxes[1].text, L"現在の保存先: relative\n理由: 相対パスまたは無効なパスです。"));
    EXPECT_EQ(services.boxes[2].title, L"最終確認 - Morvane Disk Eraser");  // answered No: nothing starts
    EXPECT_EQ(Text(kIdOutputFolder) + L"|" + services.saved.back().certOutputDir, dir.file(L"good") + L"|" + dir.file(L"good"));
    EXPECT_EQ(state->busy.load(), 0u);
}

TEST_F(MainWindowTest, CloseDuringAnErasureAsksAbortsAndWaitsVisibly) {
    OpenMain();
    PrepareQuickRun(false, Gutmann35);  // long enough to be still running at the close
    Click(kIdEraseStart);
    services.boxAnswers = {IDNO};
    ::SendMessageW(state->window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(LastBox().text == CloseQuestion().text && state->abortRequested.load() == 0u);
    ::SendMessageW(state->window, WM_CLOSE, 0, 0);
    EXPECT_EQ(state->abortRequested.load(), 1u);
    ASSERT_NE(state->window, nullptr);  // still there while the worker stops
    EXPECT_EQ(Text(kIdStatus), kClosingAfterEraseStatus);
    PumpUntil([&] { return state->window == nullptr; });
    EXPECT_EQ(state->channel.LastResult().status, JobStatus::Cancelled);
    EXPECT_TRUE(services.reports.empty() && !services.saved.empty());
}

TEST_F(MainWindowTest, ReportPairsTheLastResultOnlyWithItsDiskAndKeepsTheSelection) {
    OpenMain();
    EraseResult last = RunResult(services.disks[0], ExecMode::RealHardwareWrite);
    last.htmlPath = L"C:\\a.html";
    state->channel.SetLastResult(last);
    SelectRow(1);
    Click(kIdRescan);
    EXPECT_EQ(state->selectedDisk, 1);  // a rescan keeps the operator's disk
    Click(kIdReport);
    ASSERT_EQ(services.reports.size(), 1u);
    EXPECT_TRUE(!services.reports[0].result && services.reports[0].disk->devicePath == services.disks[1].devicePath);
    EXPECT_EQ(services.reports[0].stamp.diskSerial, L"OS-78");  // read from the selected disk
    SelectRow(0);
    Click(kIdReport);
    ASSERT_EQ(services.reports.size(), 2u);
    EXPECT_TRUE(services.reports[1].result && services.reports[1].htmlPath == L"C:\\a.html");
}

TEST_F(MainWindowTest, CompletionWaitsUntilTheOpenModalCloses) {
    OpenMain();
    state->channel.SetLastResult(RunResult(services.disks[0], ExecMode::SimulationDryRun));
    state->busy = 1;
    std::size_t reportsWhileBoxOpen = 99;
    services.onBox = [&](const testing::RecordedBox&) {
        if (reportsWhileBoxOpen != 99) return;
        ::SendMessageW(state->window, WM_ERASE_DONE, 0, 0);  // arrives inside the box's loop
        reportsWhileBoxOpen = services.reports.size();
    };
    Click(kIdOpenCertificate);  // no certificate yet: an information box
    EXPECT_EQ(reportsWhileBoxOpen, 0u);
    EXPECT_TRUE(services.reports.size() == 1u && state->busy.load() == 0u);
}

}  // namespace
}  // namespace morvane
