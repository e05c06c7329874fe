// The real report window and folder picker driven through their buttons: the stamp
// switch on an image file and its refusals, saving the certificate set elsewhere,
// opening and copying, the picker's checks, and the modal owner.
#include <fstream>

#include "disk/safety.h"
#include "evidence/certificate_id.h"
#include "stamp/operator_stamp.h"
#include "ui/folder_picker.h"
#include "ui/layout.h"
#include "ui/report_text.h"
#include "support/engine_disk.h"
#include "window_fixture.h"

namespace morvane {
namespace {

// The report's own stamp (a fresh certificate ID) replaces the one engraved before; with
// MORVANE_BOOT_IMAGE set the image is left there, its ID beside it, for the boot check.
TEST_F(ReportWindowTest, StampSwitchZeroesThenEngravesTheImageAgain) {
    const DiskInfo disk = ImageDisk();
    ReportStamp stamp = StampFor(disk);
    stamp.certificateId = MakeCertificateId();
    ASSERT_TRUE(StampDiskByOperator(disk, StampFor(disk), {}));
    OpenReport(Request(stamp, RunResult(disk, ExecMode::RealHardwareWrite), disk));
    services.boxAnswers = {IDYES};
    Press(kReportStampSwitch);
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes[0].style & MB_TYPEMASK, static_cast<UINT>(MB_YESNOCANCEL));
    EXPECT_EQ(services.boxes[1].text, kStampErasedText);
    EXPECT_TRUE(DetectReportStamp(disk, {}).failed);
    EXPECT_EQ(testing::ReadFileBytes(disk.devicePath, 0, 131072), std::vector<unsigned char>(131072, 0));
    EXPECT_TRUE(Has(Copied(), L"Disk stamp state : " + std::wstring(kStampStatusErasedByOperator) + L"\r\n"));

    services.boxes.clear();
    services.boxAnswers = {IDNO};
    Press(kReportStampSwitch);
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes[1].text, kStampWrittenText);
    EXPECT_EQ(DetectReportStamp(disk, {}).certificateId, stamp.certificateId);
    EXPECT_TRUE(Has(Copied(), L"Disk stamp state : " + std::wstring(kStampStatusActive) + L"\r\n"));

    const auto engraved = testing::ReadFileBytes(disk.devicePath);
    services.boxes.clear();
    services.boxAnswers = {IDCANCEL};
    Press(kReportStampSwitch);
    EXPECT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(testing::ReadFileBytes(disk.devicePath), engraved) << "Cancel writes nothing";

    wchar_t target[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"MORVANE_BOOT_IMAGE", target, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    ASSERT_TRUE(::CopyFileW(disk.devicePath.c_str(), target, FALSE));
    std::ofstream(std::filesystem::path(std::wstring(target) + L".certid")) << testing::Narrow(stamp.certificateId);
}

// Every way the stamp switch stops short, on an image full of data: the last box says
// why, and nothing is written. A preview's disk, neither stamped nor erased by the
// record, is never zeroed; a disk changed since the scan is refused by the guarded open.
TEST_F(ReportWindowTest, StampSwitchRefusalsWarningsAndFailuresWriteNothing) {
    DiskInfo system = ImageDisk(), changed = ImageDisk();
    system.safety = SystemDisk;
    changed.sizeBytes += 512;
    ASSERT_TRUE(testing::PokeFile(ImageDisk().devicePath, 0, std::vector<unsigned char>(ImageDisk().sizeBytes, 0x5A)));
    const std::wstring why = std::wstring(L"\n\n理由: ") + kDiskIdentityChangedMessage;
    const struct {
        const char* what;
        std::optional<DiskInfo> disk;
        std::optional<ExecMode> run;  // none: a preview
        std::deque<int> answers;
        std::wstring lastText;
        std::size_t boxes;
    } cases[] = {
        {"no disk", std::nullopt, ExecMode::RealHardwareWrite, {}, kSelectDiskText, 1},
        {"system disk", system, ExecMode::RealHardwareWrite, {}, kStampProtectedText, 1},
        {"dry run, declined", ImageDisk(), ExecMode::SimulationDryRun, {IDNO}, kDryRunStampWarning, 1},
        {"dry run, then cancelled", ImageDisk(), ExecMode::SimulationDryRun, {IDYES, IDCANCEL}, kStampSwitchQuestion, 2},
        {"preview, zeroing", ImageDisk(), std::nullopt, {IDYES}, kStampEraseRefusedText, 2},
        {"changed, zeroing", changed, ExecMode::RealHardwareWrite, {IDYES}, kStampEraseFailedText + why, 2},
        {"changed, engraving", changed, ExecMode::RealHardwareWrite, {IDNO}, kStampWriteFailedText + why, 2},
    };
    const auto before = testing::ReadFileBytes(ImageDisk().devicePath);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        services.boxes.clear();
        services.boxAnswers = c.answers;
        const DiskInfo disk = c.disk.value_or(ImageDisk());
        OpenReport(c.run ? Request(StampFor(disk), RunResult(disk, *c.run), c.disk) : Request({}, std::nullopt, c.disk));
        Press(kReportStampSwitch);
        ASSERT_EQ(services.boxes.size(), c.boxes);
        EXPECT_EQ(LastBox().text, c.lastText);
        EXPECT_EQ(testing::ReadFileBytes(ImageDisk().devicePath), before);
        ::DestroyWindow(window);
    }
}

// The badge and the copied status follow the record, as the certificate's badge does:
// a dry run is never shown as sanitized, a real run without read-back not as verified.
TEST_F(ReportWindowTest, StatusFollowsTheRecord) {
    const DiskInfo disk = ImageDisk();
    const struct { ExecMode mode; std::wstring verdict; std::wstring status; } cases[] = {
        {ExecMode::SimulationDryRun, L"PASSED (Simulation 100% Verified)", L"● SIMULATION ONLY - NOT ERASED"},
        {ExecMode::RealHardwareWrite, L"PASSED (All Sampled Sectors Verified Clean)", L"★ SANITIZED & VERIFIED"},
        {ExecMode::RealHardwareWrite, L"SKIPPED (検証なし設定)", L"★ SANITIZED - NOT VERIFIED"},
    };
    for (const auto& c : cases) {
        EraseResult r = RunResult(disk, c.mode);
        r.verificationResult = c.verdict;
        OpenReport(Request(r.stamp, r, disk));
        EXPECT_TRUE(Has(Copied(), L"  Report status    : " + c.status + L"\r\n")) << testing::Narrow(c.status);
        ::DestroyWindow(window);
    }
    OpenReport(Request(ReportStamp{}, std::nullopt, disk));
    EXPECT_TRUE(Has(Copied(), L"  Report status    : ● HARDWARE PREVIEW\r\n"));
}

// A run with logging off still saves: the set lands in the chosen folder with the
// run's own fingerprint, signed and with its PDF, and the certificate then opens (or
// says where it is).
TEST_F(ReportWindowTest, SaveElsewhereWritesTheRecordedResult) {
    EraseResult result = RunResult(ImageDisk(), ExecMode::RealHardwareWrite);
    result.job.certificatesDisabled = 1;
    OpenReport(Request(result.stamp, result, ImageDisk()));
    const std::wstring folder = dir.file(L"usb\\logs");
    services.pickAnswers = {folder};
    Press(kReportSaveElsewhere);
    EXPECT_EQ(services.pickRequests, std::vector<std::wstring>{L""});
    const std::wstring base = folder + L"\\" + result.certificateId;
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_TRUE(Has(services.boxes[0].text, base + L"_Certificate.html\n"));
    EXPECT_TRUE(std::filesystem::exists(base + L"_AuditLog.txt"));
    EXPECT_TRUE(std::filesystem::exists(base + L"_Certificate.pdf.p7s")) << "a re-issued set is signed, PDF included";
    EXPECT_NE(testing::ReadText(base + L"_Report.json").find(testing::Narrow(result.sha256Fingerprint)), std::string::npos);
    Press(kReportOpenCertificate);
    EXPECT_EQ(services.shellOpened, std::vector<std::wstring>{base + L"_Certificate.html"});
    services.shellOpenResult = false;
    Press(kReportOpenCertificate);
    EXPECT_TRUE(Has(LastBox().text, base + L"_Certificate.html")) << testing::Narrow(LastBox().text);
}

TEST_F(ReportWindowTest, SaveFromADetectedStampSealsItWithAFreshFingerprint) {
    ReportStamp detected = testing::SampleReportStamp();
    detected.sha256Fingerprint = L"FROM THE DISK";
    OpenReport(Request(detected, std::nullopt, ImageDisk()));
    services.pickAnswers = {dir.path().wstring()};
    Press(kReportSaveElsewhere);
    const std::string json = testing::ReadText(dir.file(detected.certificateId + L"_Report.json"));
    const std::wstring text = Copied();
    const std::size_t at = text.find(L"SHA-256 digest   : ");
    ASSERT_NE(at, std::wstring::npos);
    const std::wstring digest = text.substr(at + 19, 64);
    EXPECT_EQ(digest.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos) << "sealed with a fresh fingerprint";
    EXPECT_NE(json.find(testing::Narrow(digest)), std::string::npos);
}

// Opened with a stamp that carries no hardware profile, so one is collected.
TEST_F(ReportWindowTest, FailuresAreSaidNotSwallowed) {
    OpenReport(Request(ReportStamp{}, std::nullopt, std::nullopt));
    EXPECT_EQ(services.hardwareCollections, 1);
    ASSERT_TRUE(testing::CreateImageFile(dir.file(L"blocker"), 1));
    services.pickAnswers = {dir.file(L"blocker\\sub")};
    Press(kReportSaveElsewhere);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, kSaveFailedText);
    Press(kReportOpenCertificate);
    EXPECT_EQ(LastBox().text, kNoCertificateText);
    EXPECT_TRUE(services.shellOpened.empty());
    services.clipboardResult = false;
    Press(kReportCopy);
    EXPECT_EQ(LastBox().text, kCopyFailedText);
    services.clipboardResult = true;
    Press(kReportCopy);
    EXPECT_EQ(LastBox().text, kCopiedText);
    EXPECT_TRUE(Has(services.clipboard.back(), L"  Manufacturer     : Fake Manufacturer\r\n"));
}

TEST_F(FolderPickerWindowTest, ListFillsThePathAndOkChecksIt) {
    services.drives = {{L"C:\\", DRIVE_FIXED, L"Windows", L"NTFS", 0, {}}, {L"D:\\", DRIVE_CDROM, L"", L"", 0, {}}};
    FolderPickerState picked;
    picked.path = L"C:\\Initial";
    window = CreateFolderPickerWindow(nullptr, picked, services);
    ASSERT_NE(window, nullptr);
    const auto path = [&] { return ControlText(::GetDlgItem(window, kPickerPathEdit), 300); };
    EXPECT_EQ(path(), L"C:\\Initial");
    EXPECT_EQ(::SendDlgItemMessageW(window, kPickerPathEdit, EM_GETLIMITTEXT, 0, 0), 212);
    ::SendDlgItemMessageW(window, kPickerDriveList, LB_SETCURSEL, 1, 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(kPickerDriveList, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, kPickerDriveList)));
    EXPECT_EQ(path(), L"D:\\Morvane_Erasure_Logs");
    Press(IDOK);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_TRUE(Has(services.boxes[0].text, L"D:\\ は CD/DVD/ISO 読み取り専用ドライブ"));
    EXPECT_TRUE(::IsWindow(window)) << "a refused folder keeps the dialog open";
    services.browseAnswer = L"C:\\Chosen\\Logs";
    Press(kPickerBrowse);
    EXPECT_EQ(path(), L"C:\\Chosen\\Logs");
    std::vector<std::wstring> probed;
    services.folderWritable = [&probed](const std::wstring& folder) { return probed.push_back(folder), true; };
    Press(IDOK);
    EXPECT_EQ(probed, std::vector<std::wstring>{L"C:\\Chosen\\Logs"});
    EXPECT_TRUE(picked.accepted && picked.path == L"C:\\Chosen\\Logs" && !::IsWindow(window));
}

// Closing either modal window leaves the owner as it was found: enabled, or still
// disabled under the window that disabled it first.
TEST_F(ReportWindowTest, ClosingRestoresTheOwnerAsFound) {
    UniqueWindow owner(::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr));
    for (const bool picker : {true, false}) {
        for (const bool enabled : {true, false}) {
            SCOPED_TRACE(::testing::Message() << "picker " << picker << ", owner enabled " << enabled);
            ::EnableWindow(owner.get(), enabled);
            FolderPickerState nested;
            window = picker ? CreateFolderPickerWindow(owner.get(), nested, services)
                            : CreateReportWindow(owner.get(), Request(testing::SampleReportStamp(), std::nullopt, std::nullopt),
                                                 services);
            if (!picker) ::PostMessageW(window, WM_COMMAND, kReportCopy, 0);
            bool disabledMeanwhile = false;
            services.onBox = [&](const testing::RecordedBox&) { disabledMeanwhile = !::IsWindowEnabled(owner.get()); };
            ::PostMessageW(window, WM_COMMAND, picker ? IDCANCEL : kReportClose, 0);
            picker ? RunFolderPickerLoop(owner.get(), window) : RunReportWindowLoop(owner.get(), window);
            EXPECT_TRUE(!::IsWindow(window) && (picker || disabledMeanwhile) && !nested.accepted);
            EXPECT_EQ(::IsWindowEnabled(owner.get()) != FALSE, enabled);
        }
    }
}

// Full screen covers the screen with the buttons on its bottom edge; Escape, sent to
// whichever button has the focus, brings the window back as it was.
TEST_F(ReportWindowTest, FullScreenAndBackWithEscape) {
    OpenReport(Request(testing::SampleReportStamp(), std::nullopt, std::nullopt));
    RECT normal{}, full{}, close{}, after{};
    ::GetWindowRect(window, &normal);
    Press(kReportFullScreen);
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    ::GetWindowRect(window, &full);
    ::GetWindowRect(::GetDlgItem(window, kReportClose), &close);
    const double f = ScreenLayoutFactor();
    EXPECT_EQ(full.left, 0);
    EXPECT_EQ(full.right, cx);
    EXPECT_EQ(full.bottom, cy);
    EXPECT_EQ(close.left, cx - Scaled(122, f));
    EXPECT_EQ(close.top, cy - Scaled(44, f));
    EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION, 0);
    // The modal loop takes the key; the copy command's box marks the moment to look.
    ::PostMessageW(::GetDlgItem(window, kReportCopy), WM_KEYDOWN, VK_ESCAPE, 0);
    ::PostMessageW(window, WM_COMMAND, kReportCopy, 0);
    services.onBox = [&](const testing::RecordedBox&) {
        ::GetWindowRect(window, &after);
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    };
    RunReportWindowLoop(nullptr, window);
    EXPECT_TRUE(::EqualRect(&after, &normal));
}

}  // namespace
}  // namespace morvane
