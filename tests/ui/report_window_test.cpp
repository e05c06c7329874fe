// The real report window under Wine, driven through its buttons with the recording
// services: the stamp switch on an image file, its refusals, saving the certificate
// set elsewhere, opening and copying, full screen and the modal loop.
#include "ui/report_window.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "disk/safety.h"
#include "erase/standards.h"
#include "evidence/certificate_id.h"
#include "evidence/certificate_set.h"
#include "stamp/detect.h"
#include "stamp/stamp_ops.h"
#include "support/fake_ui_services.h"
#include "support/stamp_samples.h"
#include "support/temp_dir.h"
#include "ui/report_text.h"

namespace morvane {
namespace {

constexpr std::uint64_t kImageBytes = 1 << 20;

std::string FileText(const std::wstring& path) {
    const auto bytes = testing::ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class ReportWindowTest : public ::testing::Test {
protected:
    testing::FakeUiServices services;
    testing::TempDir dir;
    HWND window = nullptr;

    ~ReportWindowTest() override {
        if (::IsWindow(window)) ::DestroyWindow(window);
    }

    // A disk record for an image file, as a scan records a plain file.
    DiskInfo ImageDisk(std::uint32_t safety = Erasable) {
        const std::wstring path = dir.file(L"disk.img");
        if (!std::filesystem::exists(path)) {
            EXPECT_TRUE(testing::CreateImageFile(path, kImageBytes));
        }
        DiskInfo disk;
        disk.devicePath = path;
        disk.model = L"Generic Physical Disk";
        disk.serialNumber = L"N/A";
        disk.sizeBytes = kImageBytes;
        disk.busKind = BusUsb;  // a stick: erasable on the real machine too
        disk.mediaKind = MediaRemovable;
        disk.safety = safety;
        return disk;
    }

    // The sample record as a completed real erasure of `disk` carries it.
    static ReportStamp StampFor(const DiskInfo& disk) {
        ReportStamp stamp = testing::SampleReportStamp();
        stamp.diskModel = disk.model;
        stamp.diskSerial = disk.serialNumber;
        stamp.diskCapacity = FormatSize(disk.sizeBytes);
        return stamp;
    }

    // A completed run's result for `disk`, sealed as the erase job seals it.
    static EraseResult RunResult(const DiskInfo& disk, ExecMode mode) {
        EraseResult r;
        r.certificateId = L"ZOLT-20310102-030405-0A0B0C0D";
        r.startTime = r.endTime = L"2031-01-02 03:04:05";
        r.job.disk = disk;
        r.job.standard = ZeroFill;
        r.job.execMode = mode;
        r.status = JobStatus::Completed;
        r.passesCompleted = r.passesPlanned = 1;
        r.verificationResult = L"PASSED (All Sampled Sectors Verified Clean)";
        r.sha256Fingerprint = ComputeFingerprint(r);
        r.stamp = StampFor(disk);
        r.stamp.certificateId = r.certificateId;
        return r;
    }

    void Open(ReportRequest request) {
        window = CreateReportWindow(nullptr, request, services);
        ASSERT_NE(window, nullptr);
    }
    void Click(int id) { ::SendMessageW(::GetDlgItem(window, id), BM_CLICK, 0, 0); }
    // The report as the window holds it now, read through its copy button.
    std::wstring Copied() {
        Click(kReportCopy);
        return services.clipboard.empty() ? L"" : services.clipboard.back();
    }
    static bool Has(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }
};

TEST_F(ReportWindowTest, StampSwitchZeroesThenEngravesTheImageAgain) {
    const DiskInfo disk = ImageDisk();
    const ReportStamp stamp = StampFor(disk);
    ASSERT_TRUE(StampDiskByOperator(disk, stamp, {}));
    Open({stamp, L"", RunResult(disk, ExecMode::RealHardwareWrite), disk, {}});

    services.boxAnswers = {IDYES};
    Click(kReportStampSwitch);
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes[0].title, L"ディスク状態の切り替え (レポートスタンプ ⇔ 完全消去0x00状態)");
    EXPECT_EQ(services.boxes[0].Buttons(), static_cast<UINT>(MB_YESNOCANCEL));
    EXPECT_EQ(services.boxes[1].text, kStampErasedText);
    EXPECT_TRUE(DetectReportStamp(disk, {}).failed);
    EXPECT_EQ(testing::ReadFileBytes(disk.devicePath, 0, 131072), std::vector<unsigned char>(131072, 0));
    EXPECT_TRUE(Has(Copied(), L"Disk stamp state : Pure Zero Wiped (スタンプ消去済・全セクタ完全未初期化 0x00)\r\n"));

    services.boxes.clear();
    services.boxAnswers = {IDNO};
    Click(kReportStampSwitch);
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes[1].text, kStampWrittenText);
    const ReportStamp found = DetectReportStamp(disk, {});
    EXPECT_FALSE(found.failed);
    EXPECT_EQ(found.certificateId, stamp.certificateId);
    EXPECT_TRUE(Has(Copied(), L"Disk stamp state : Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)\r\n"));

    const auto engraved = testing::ReadFileBytes(disk.devicePath);
    services.boxes.clear();
    services.boxAnswers = {IDCANCEL};
    Click(kReportStampSwitch);
    EXPECT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(testing::ReadFileBytes(disk.devicePath), engraved) << "Cancel writes nothing";
}

// Leaves an image zeroed and engraved again by the stamp switch where the boot check
// asks for it (MORVANE_BOOT_IMAGE), with the stamp's certificate ID beside it.
TEST_F(ReportWindowTest, ReengravedImageForTheBootCheck) {
    wchar_t target[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"MORVANE_BOOT_IMAGE", target, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) GTEST_SKIP() << "run by the report boot check only";
    const DiskInfo disk = ImageDisk();
    ReportStamp stamp = StampFor(disk);
    stamp.certificateId = MakeCertificateId();
    ASSERT_TRUE(StampDiskByOperator(disk, StampFor(disk), {}));
    Open({stamp, L"", RunResult(disk, ExecMode::RealHardwareWrite), disk, {}});
    services.boxAnswers = {IDYES, IDOK, IDNO, IDOK};
    Click(kReportStampSwitch);
    ASSERT_TRUE(DetectReportStamp(disk, {}).failed);
    Click(kReportStampSwitch);
    ASSERT_EQ(DetectReportStamp(disk, {}).certificateId, stamp.certificateId);
    ASSERT_TRUE(::CopyFileW(disk.devicePath.c_str(), target, FALSE));
    std::ofstream(std::filesystem::path(std::wstring(target) + L".certid")) << testing::Narrow(stamp.certificateId);
}

TEST_F(ReportWindowTest, StampSwitchRefusalsAndTheDryRunWarningWriteNothing) {
    const struct {
        const char* what;
        std::optional<DiskInfo> disk;
        ExecMode mode;
        std::deque<int> answers;
        std::wstring text;  // how the first box begins
        std::wstring title;
        UINT style;
        std::size_t boxes;
    } cases[] = {
        {"no disk", std::nullopt, ExecMode::RealHardwareWrite, {}, L"メイン画面で対象ディスクを選択",
         L"Morvane Disk Eraser", MB_OK | MB_ICONWARNING, 1},
        {"system disk", ImageDisk(SystemDisk), ExecMode::RealHardwareWrite, {}, L"選択されているディスクは安全保護ロック中",
         L"Morvane Safety Guard", MB_OK | MB_ICONWARNING, 1},
        {"locked internal", ImageDisk(InternalLocked), ExecMode::RealHardwareWrite, {},
         L"選択されているディスクは安全保護ロック中", L"Morvane Safety Guard", MB_OK | MB_ICONWARNING, 1},
        {"dry run, declined", ImageDisk(), ExecMode::SimulationDryRun, {IDNO}, L"表示中のレポートは安全シミュレーション",
         L"Morvane Disk Eraser", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, 1},
        {"dry run, then cancelled", ImageDisk(), ExecMode::SimulationDryRun, {IDYES, IDCANCEL},
         L"表示中のレポートは安全シミュレーション", L"Morvane Disk Eraser", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, 2},
    };
    const auto before = testing::ReadFileBytes(ImageDisk().devicePath);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        services.boxes.clear();
        services.boxAnswers = c.answers;
        Open({StampFor(ImageDisk()), L"", RunResult(ImageDisk(), c.mode), c.disk, {}});
        Click(kReportStampSwitch);
        ASSERT_EQ(services.boxes.size(), c.boxes);
        EXPECT_EQ(services.boxes[0].text.rfind(c.text, 0), 0u);
        EXPECT_EQ(services.boxes[0].title, c.title);
        EXPECT_EQ(services.boxes[0].style, c.style);
        EXPECT_EQ(testing::ReadFileBytes(ImageDisk().devicePath), before);
        ::DestroyWindow(window);
    }
}

// A disk that changed since the scan is refused by the guarded open; the box says why.
TEST_F(ReportWindowTest, StampSwitchFailureCarriesTheGuardsReason) {
    DiskInfo changed = ImageDisk();
    changed.sizeBytes += 512;
    Open({StampFor(changed), L"", RunResult(changed, ExecMode::RealHardwareWrite), changed, {}});
    for (const int answer : {IDYES, IDNO}) {
        services.boxAnswers = {answer};
        Click(kReportStampSwitch);
        EXPECT_EQ(services.boxes.back().text,
                  std::wstring(answer == IDYES ? kStampEraseFailedText : kStampWriteFailedText) + L"\n\n理由: " +
                      kDiskIdentityChangedMessage);
    }
}

// A run with logging off still saves: the set lands in the chosen folder with the
// run's own fingerprint, and the certificate then opens (or says where it is).
TEST_F(ReportWindowTest, SaveElsewhereWritesTheRecordedResult) {
    EraseResult result = RunResult(ImageDisk(), ExecMode::RealHardwareWrite);
    result.job.certificatesDisabled = 1;
    Open({result.stamp, L"", result, ImageDisk(), {}});
    const std::wstring folder = dir.file(L"usb\\logs");
    services.pickAnswers = {folder};
    Click(kReportSaveElsewhere);
    EXPECT_EQ(services.pickRequests, std::vector<std::wstring>{L""});
    const std::wstring base = folder + L"\\" + result.certificateId;
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].title, L"ログ・証明書保存完了");
    EXPECT_TRUE(Has(services.boxes[0].text, L"・HTML証明書: " + base + L"_Certificate.html\n"));
    EXPECT_TRUE(Has(services.boxes[0].text, L"・TXT監査ログ: " + base + L"_AuditLog.txt"));
    EXPECT_TRUE(std::filesystem::exists(base + L"_AuditLog.txt"));
    EXPECT_TRUE(FileText(base + L"_Report.json").find(testing::Narrow(result.sha256Fingerprint)) != std::string::npos);

    Click(kReportOpenCertificate);
    EXPECT_EQ(services.shellOpened, std::vector<std::wstring>{base + L"_Certificate.html"});
    services.shellOpenResult = false;
    Click(kReportOpenCertificate);
    EXPECT_EQ(services.boxes.back().style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_TRUE(Has(services.boxes.back().text, base + L"_Certificate.html"));
}

TEST_F(ReportWindowTest, SaveFromADetectedStampKeepsItsStandardAndSealsIt) {
    ReportStamp detected = testing::SampleReportStamp();
    detected.standardName = StandardName(HmgIs5);
    detected.sha256Fingerprint = L"FROM THE DISK";
    Open({detected, L"", std::nullopt, ImageDisk(), {}});
    services.pickAnswers = {dir.path().wstring()};
    Click(kReportSaveElsewhere);
    const std::string json = FileText(dir.file(detected.certificateId + L"_Report.json"));
    EXPECT_NE(json.find("\"standard\": \"" + testing::Narrow(StandardName(HmgIs5)) + "\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"executionMode\": \"RealHardwareWrite\""), std::string::npos);
    const std::wstring text = Copied();
    const std::size_t at = text.find(L"SHA-256 digest   : ");
    ASSERT_NE(at, std::wstring::npos);
    const std::wstring digest = text.substr(at + 19, 64);
    EXPECT_EQ(digest.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos) << "sealed with a fresh fingerprint";
    EXPECT_NE(json.find(testing::Narrow(digest)), std::string::npos);
}

// Opened with a stamp that carries no hardware profile, so one is collected.
TEST_F(ReportWindowTest, FailuresAreSaidNotSwallowed) {
    Open({ReportStamp{}, L"", std::nullopt, std::nullopt, {}});
    EXPECT_EQ(services.hardwareCollections, 1);
    ASSERT_TRUE(testing::CreateImageFile(dir.file(L"blocker"), 1));
    services.pickAnswers = {dir.file(L"blocker\\sub")};
    Click(kReportSaveElsewhere);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, kSaveFailedText);
    EXPECT_EQ(services.boxes[0].Icon(), static_cast<UINT>(MB_ICONERROR));

    Click(kReportOpenCertificate);
    EXPECT_EQ(services.boxes.back().text, kNoCertificateText);
    EXPECT_TRUE(services.shellOpened.empty());

    services.clipboardResult = false;
    Click(kReportCopy);
    EXPECT_EQ(services.boxes.back().text, kCopyFailedText);
    EXPECT_EQ(services.boxes.back().Icon(), static_cast<UINT>(MB_ICONERROR));
    services.clipboardResult = true;
    Click(kReportCopy);
    EXPECT_EQ(services.boxes.back().text, kCopiedText);
    EXPECT_TRUE(Has(services.clipboard.back(), L"  Manufacturer     : Fake Manufacturer\r\n"));
}

// Full screen covers the screen with the buttons on its bottom edge; Escape, sent to
// whichever button has the focus, returns through the modal loop.
TEST_F(ReportWindowTest, FullScreenAndBackWithEscape) {
    Open({testing::SampleReportStamp(), L"", std::nullopt, std::nullopt, {}});
    RECT normal{};
    ::GetWindowRect(window, &normal);
    Click(kReportFullScreen);
    const int cx = ::GetSystemMetrics(SM_CXSCREEN);
    const int cy = ::GetSystemMetrics(SM_CYSCREEN);
    RECT full{};
    ::GetWindowRect(window, &full);
    EXPECT_EQ(full.left, 0);
    EXPECT_EQ(full.right, cx);
    EXPECT_EQ(full.bottom, cy);
    EXPECT_NE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION, 0);
    wchar_t caption[64] = {};
    ::GetDlgItemTextW(window, kReportFullScreen, caption, 64);
    EXPECT_STREQ(caption, L"通常ウィンドウに戻す");
    RECT close{};
    ::GetWindowRect(::GetDlgItem(window, kReportClose), &close);
    EXPECT_EQ(close.left, cx - 122);
    EXPECT_EQ(close.top, cy - 44);

    const HWND focused = ::GetDlgItem(window, kReportCopy);
    ::PostMessageW(focused, WM_KEYDOWN, VK_ESCAPE, 0);
    ::PostMessageW(focused, WM_KEYDOWN, VK_ESCAPE, 0);  // not full screen any more: nothing
    ::PostMessageW(window, WM_COMMAND, kReportCopy, 0);
    RECT after{};
    services.onBox = [&](const testing::RecordedBox&) {
        ::GetWindowRect(window, &after);
        ::GetDlgItemTextW(window, kReportFullScreen, caption, 64);
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    };
    RunReportWindowLoop(nullptr, window);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_TRUE(::EqualRect(&after, &normal));
    EXPECT_STREQ(caption, L"全画面レポート表示 (ESC)");
}

// Closing leaves the owner as it was found: enabled, or still disabled under the
// window that disabled it first.
TEST_F(ReportWindowTest, ClosingRestoresTheOwnerAsFound) {
    UniqueWindow owner(::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                                         nullptr));
    for (const bool enabled : {true, false}) {
        ::EnableWindow(owner.get(), enabled);
        window = CreateReportWindow(owner.get(), {testing::SampleReportStamp(), L"", std::nullopt, std::nullopt, {}}, services);
        ::PostMessageW(window, WM_COMMAND, kReportCopy, 0);
        bool disabledMeanwhile = false;
        services.onBox = [&](const testing::RecordedBox&) {
            disabledMeanwhile = !::IsWindowEnabled(owner.get());
            ::PostMessageW(window, WM_COMMAND, kReportClose, 0);
        };
        RunReportWindowLoop(owner.get(), window);
        EXPECT_TRUE(disabledMeanwhile);
        EXPECT_EQ(::IsWindowEnabled(owner.get()) != FALSE, enabled);
    }
}

// Not a check: opens the window on the display named by DISPLAY and keeps it up for
// MORVANE_REPORT_SCREENSHOT seconds, for a screenshot of the real thing.
TEST_F(ReportWindowTest, ShowForScreenshot) {
    wchar_t seconds[16] = {};
    if (::GetEnvironmentVariableW(L"MORVANE_REPORT_SCREENSHOT", seconds, 16) == 0) GTEST_SKIP();
    ReportStamp stamp = testing::SampleReportStamp();
    stamp.verificationResult = L"PASSED (全サンプルセクタ検証済)";
    Open({stamp, L"", std::nullopt, std::nullopt, {}});
    ::SetTimer(window, 1, static_cast<UINT>(_wtoi(seconds)) * 1000, nullptr);
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER) ::DispatchMessageW(&msg);
}

}  // namespace
}  // namespace morvane
