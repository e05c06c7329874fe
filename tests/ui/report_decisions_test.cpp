// The report window's and folder picker's decisions without a window: painted rows
// and their fallbacks, the page painted into a bitmap in memory, the clipboard text,
// the report window's guards, the picker's drive entries and its OK check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "common/unique_handle.h"
#include "disk/safety.h"
#include "erase/standards.h"
#include "support/stamp_samples.h"
#include "ui/folder_picker_model.h"
#include "ui/layout.h"
#include "ui/report_guards.h"
#include "ui/report_paint.h"
#include "ui/report_text.h"

namespace morvane {
namespace {

bool Has(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

constexpr std::uint32_t Rgb(int r, int g, int b) { return static_cast<std::uint32_t>(r << 16 | g << 8 | b); }

// The page painted into a 32-bit bitmap: colours at fixed points of the layout, the
// badge amber for a preview and green for a verified report, and ink where text goes.
TEST(ReportPaint, FixedPointsAndText) {
    constexpr int kW = 1039, kH = 656;
    const std::uint32_t page = Rgb(241, 245, 249), navy = Rgb(15, 23, 42), sky = Rgb(14, 165, 233),
                        white = Rgb(255, 255, 255), outline = Rgb(203, 213, 225);
    // A preview amber, a verified erasure green, a dry run grey, a failed run red.
    const struct { std::optional<RecordOutcome> outcome; std::uint32_t badge; } looks[] = {
        {std::nullopt, Rgb(245, 158, 11)}, {RecordOutcome::Verified, Rgb(16, 185, 129)},
        {RecordOutcome::SimulationOnly, Rgb(148, 163, 184)}, {RecordOutcome::Failed, Rgb(239, 68, 68)}};
    for (const auto& look : looks) {
        const ReportStamp stamp = testing::SampleReportStamp();
        BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, kW, -kH, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
        UniqueBitmap bitmap(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        ASSERT_TRUE(dc && bitmap);
        const HGDIOBJ previous = ::SelectObject(dc.get(), bitmap.get());
        PaintReport(dc.get(), SIZE{kW, kH}, BuildReportView(stamp, L"", look.outcome), L"MS UI Gothic");
        ::GdiFlush();
        const auto at = [&](int x, int y) { return static_cast<const std::uint32_t*>(bits)[y * kW + x] & 0xFFFFFF; };
        const auto inked = [&](int left, int top, int right, int bottom, std::uint32_t ground) {
            int n = 0;
            for (int y = top; y < bottom; ++y) for (int x = left; x < right; ++x) n += at(x, y) != ground;
            return n;
        };
        const struct { int x, y; std::uint32_t colour; } points[] = {
            {5, 5, navy}, {5, 69, sky}, {kW - 5, 71, sky}, {kW - 248, 18, look.badge}, {kW - 24, 50, look.badge},
            {5, 400, page}, {22, 150, outline}, {kW - 30, 250, white}, {300, 617, outline}, {300, 640, page}};
        for (const auto& p : points) EXPECT_EQ(at(p.x, p.y), p.colour) << look.badge << " at " << p.x << "," << p.y;
        EXPECT_GT(inked(74, 11, 400, 35, navy), 100) << "the title";
        EXPECT_GT(inked(207, 108, 500, 124, white), 50) << "the first row's value";
        EXPECT_EQ(inked(207, 244, 500, 253, white), 0) << "nothing below the seventh row";
        ::SelectObject(dc.get(), previous);
    }
}

// At 120, 144 and 192 DPI (and shrunk for a small screen) the report's buttons and the
// picker's controls keep their places: none overlaps another or leaves the window.
TEST(ReportPaint, LayoutsScaleWithoutOverlap) {
    const auto overlap = [](const RECT& a, const RECT& b) {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    };
    // Every rectangle between `top` and the window's right and bottom edges, none on another.
    const auto expectPlaced = [&](const auto& rects, LONG top, LONG right, LONG bottom) {
        for (std::size_t i = 0; i < rects.size(); ++i) {
            EXPECT_GE(rects[i].left, 0) << i;
            EXPECT_GE(rects[i].top, top) << i;
            EXPECT_LE(rects[i].right, right) << i;
            EXPECT_LE(rects[i].bottom, bottom) << i;
            for (std::size_t j = i + 1; j < rects.size(); ++j) EXPECT_FALSE(overlap(rects[i], rects[j])) << i << "/" << j;
        }
    };
    for (const double f : {0.85, 1.0, 1.25, 1.5, 2.0}) {
        SCOPED_TRACE(f);
        const SIZE client{Scaled(kReportWindowWidth - 16, f), Scaled(kReportWindowHeight - 39, f)};
        expectPlaced(ReportButtonRects(client, f), Scaled(605, f), client.cx, client.cy);
        std::vector<RECT> picker;
        for (const PickerPlace& p : kPickerPlaces) picker.push_back(ScaledRect(p.x, p.y, p.width, p.height, f));
        expectPlaced(picker, 0, Scaled(kPickerWidth - 16, f), Scaled(kPickerHeight - 39, f));
    }
}

// An empty stamp is a preview: placeholders where the record is empty, the hardware
// rows left empty; a record's own values replace every placeholder.
TEST(ReportText, PaintedRowsFallBackOnlyWhereEmpty) {
    const ReportView preview = BuildReportView(ReportStamp{}, L"2031-01-02 03:04:05", std::nullopt);
    EXPECT_EQ(preview.details[0].value, L"(未発行 - 消去実行で自動採番)");
    EXPECT_EQ(preview.details[1].value, L"2031-01-02 03:04:05");
    for (const ReportRow& row : preview.hardware) EXPECT_EQ(row.value, L"");
    const ReportStamp s = testing::SampleReportStamp();
    const ReportView filled = BuildReportView(s, L"unused", RecordOutcome::Verified);
    EXPECT_EQ(filled.details[0].value + filled.details[1].value + filled.details[6].value,
              s.certificateId + s.sanitizationDate + s.sha256Fingerprint);
    EXPECT_EQ(filled.details[3].value, L"DoD 5220.22-M (3 Pass) (3 Passes)");
}

TEST(ReportText, ClipboardTextKeepsEmptyFieldsBetweenRules) {
    ReportStamp s;
    s.standardName = L"Zero Fill";
    s.passesCompleted = 1;
    s.hardware.manufacturer = L"Contoso";
    s.hardware.storageController = L"NVMe";
    const std::wstring text = ReportClipboardText(s, RecordOutcome::NotVerified), rule(72, L'=');
    EXPECT_EQ(text.rfind(rule + L"\r\n  MORVANE DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT\r\n" + rule +
                             L"\r\n[Report details]\r\n  Report status    : ★ SANITIZED - NOT VERIFIED\r\n"
                             L"  Report UUID / ID : \r\n",
                         0),
              0u);
    EXPECT_TRUE(Has(text, L"\r\n  Erasure standard : Zero Fill (1 Passes)\r\n"));
    EXPECT_TRUE(Has(text, L"\r\n  SHA-256 digest   : \r\n\r\n[Hardware details]\r\n  Manufacturer     : Contoso\r\n"));
    EXPECT_EQ(text.substr(text.rfind(L"\r\n  Storage")), L"\r\n  Storage control  : NVMe\r\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), L'\n'), 30);
}

// Every box of the report window's commands: the stamp switch's refusals, warning and
// question, the boxes after each action, saving, opening and copying.
TEST(ReportGuards, EveryCommandsBoxes) {
    constexpr UINT warn = MB_OK | MB_ICONWARNING, info = MB_OK | MB_ICONINFORMATION, error = MB_OK | MB_ICONERROR;
    DiskInfo usb, system, locked, odd, unlocked;
    usb.safety = Erasable, system.safety = SystemDisk, locked.safety = InternalLocked, odd.safety = 9;
    unlocked.safety = InternalUnlocked;
    const auto refusal = [](const DiskInfo* disk, bool dryRun) { return DecideStampSwitch({disk, dryRun}).refusal; };
    const auto warning = [](const DiskInfo* disk, bool dryRun) { return DecideStampSwitch({disk, dryRun}).dryRunWarning; };
    CertificatePaths saved;
    saved.html = L"E:\\A_Certificate.html", saved.auditLog = L"E:\\A_AuditLog.txt", saved.json = L"E:\\A_Report.json";
    const struct {
        const char* what;
        std::optional<MessageBoxText> box;
        std::wstring text;
        std::wstring title;
        UINT style;
    } rows[] = {
        {"no disk", refusal(nullptr, false), kSelectDiskText, kBoxTitle, warn},
        {"system disk", refusal(&system, true), kStampProtectedText, kSafetyGuardTitle, warn},
        {"locked internal disk", refusal(&locked, false), kStampProtectedText, kSafetyGuardTitle, warn},
        {"undefined safety value", refusal(&odd, false), kStampProtectedText, kSafetyGuardTitle, warn},
        {"dry run: warned first, No by default", warning(&usb, true), kDryRunStampWarning, kBoxTitle,
         MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2},
        {"the question: Cancel by default", DecideStampSwitch({&unlocked, false}).question, kStampSwitchQuestion,
         kStampSwitchTitle, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON3},
        {"zeroing a disk with neither stamp nor erasure", DecideStampSwitch({&usb, false, false, false}).eraseRefusal,
         kStampEraseRefusedText, kSafetyGuardTitle, warn},
        {"engraved", StampSwitchDoneBox(true, {true, L"", {}}), kStampWrittenText, kBoxTitle, info},
        {"erased", StampSwitchDoneBox(false, {true, L"", {}}), kStampErasedText, kBoxTitle, info},
        {"engrave refused", StampSwitchDoneBox(true, {false, L"変化しました。", {}}),
         std::wstring(kStampWriteFailedText) + L"\n\n理由: 変化しました。", kBoxTitle, error},
        {"erase failed without a reason", StampSwitchDoneBox(false, {false, L"", {}}), kStampEraseFailedText, kBoxTitle, error},
        {"saved", DecideSaveElsewhere(saved), SaveDoneText(saved), kSaveDoneTitle, info},
        {"not saved", DecideSaveElsewhere({}), kSaveFailedText, kBoxTitle, error},
        {"no certificate", CertificateOpenBox(L"", false, false), kNoCertificateText, kBoxTitle, info},
        {"certificate file gone", CertificateOpenBox(L"E:\\A.html", false, false), kNoCertificateText, kBoxTitle, info},
        {"no program opens it", CertificateOpenBox(L"E:\\A.html", true, false), OpenCertificateFailedText(L"E:\\A.html"),
         kBoxTitle, warn},
        {"copied", CopyReportBox(true), kCopiedText, kBoxTitle, info},
        {"not copied", CopyReportBox(false), kCopyFailedText, kBoxTitle, error},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(row.box.has_value());
        EXPECT_EQ(row.box->text, row.text);
        EXPECT_EQ(row.box->title, row.title);
        EXPECT_EQ(row.box->style, row.style);
    }
    EXPECT_FALSE(refusal(&usb, false) || refusal(&unlocked, true) || warning(&usb, false)) << "erasable disks pass";
    EXPECT_FALSE(DecideStampSwitch({&usb, false, true, false}).eraseRefusal) << "a stamp is on the disk";
    EXPECT_FALSE(DecideStampSwitch({&usb, false, false, true}).eraseRefusal) << "the record erased this disk";
    EXPECT_FALSE(CertificateOpenBox(L"E:\\A.html", true, true)) << "an opened certificate needs no box";
    EXPECT_TRUE(Has(SaveDoneText(saved), L"・JSONレポート: E:\\A_Report.json"));
}

// The picker's drives; E: is a volume of disk 7.
const std::vector<DriveFacts> drives = {
    {L"C:\\", DRIVE_FIXED, L"Windows", L"NTFS", 0, {}},        {L"D:\\", DRIVE_CDROM, L"", L"", 0, {}},
    {L"E:\\", DRIVE_REMOVABLE, L"DATA", L"FAT32", 15999001600ull, {7}}, {L"x:\\", DRIVE_FIXED, L"Boot", L"NTFS", 1048576, {}},
    {L"N:\\", DRIVE_REMOTE, L"share", L"NTFS", 0, {}},         {L"Q", DRIVE_FIXED, L"", L"", 0, {}},  // not a root: skipped
};

TEST(FolderPickerModel, EntriesShowKindLabelFileSystemFreeSpaceAndProposal) {
    const std::vector<std::wstring> expected = {
        L"C:\\  [ローカル/外付け固定", L"D:\\  [CD/DVD/ISO 読取専用", L"E:\\  ★推奨 [USB/リムーバブル - 書込可能]  Label: DATA (FAT32, 空き: 14.90 GB)",
        L"x:\\  [WinPE RAMディスク", L"N:\\  [ネットワークドライブ"};
    const std::vector<DriveEntry> entries = MakeDriveEntries(drives);
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::wstring folder = drives[i].root + L"Morvane_Erasure_Logs";
        EXPECT_EQ(entries[i].text.rfind(expected[i], 0), 0u) << ::testing::PrintToString(entries[i].text);
        EXPECT_EQ(entries[i].text.substr(entries[i].text.size() - folder.size() - 6), L"  ->  " + folder);
        EXPECT_EQ(entries[i].suggestion, folder);
    }
    EXPECT_TRUE(Has(entries[1].text, L"Label: (なし) (RAW, 空き: 0 B)"));
}

TEST(FolderPickerModel, OkRefusesFoldersThatCannotKeepEvidence) {
    // 212 characters: a folder this long still holds the longest certificate file name.
    const std::wstring longest = L"C:\\" + std::wstring(209, L'a');
    const std::wstring kRelative = L"相対パスまたは無効なパスです。";
    const struct {
        std::wstring typed;
        bool winPE;
        std::wstring accepted;  // the accepted path; empty: refused with a warning
        std::wstring part;      // a part of the refusal's text
    } cases[] = {
        {L" \t\r\n", false, L"", kEmptyPathText},
        {L"Certificates", false, L"", kRelative},
        {L"d:\\logs", false, L"", L"理由: D:\\ は CD/DVD/ISO 読み取り専用ドライブ"},
        {L"X:\\logs", true, L"", L"理由: X:\\ は WinPE の一時RAMディスク"},
        {L"X:\\logs", false, L"X:\\logs", L""},
        {longest + L"b", false, L"", L"212文字以内"},
        {longest, false, longest, L""},
        {L"  C:\\Logs\t\r\n", false, L"C:\\Logs", L""},
        {L"C:\\readonly", false, L"", kNotWritableText},
        {L"C:\\a<b>|c:d", false, L"", L"使用できない文字が含まれています: < > | :"},
        {L"C:\\tab\tin", false, L"", L"使用できない文字が含まれています: U+0009"},
        {L"E:\\logs", false, L"", kOnTargetDiskReason},  // drive E: is a volume of disk 7, about to be erased
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.typed));
        std::vector<std::wstring> probed;
        const FolderVerdict v = CheckChosenFolder(
            c.typed, drives, c.winPE,
            [&probed](const std::wstring& folder) {
                probed.push_back(folder);
                return folder != L"C:\\readonly";
            },
            7);
        const bool writeRefusal = c.part == kNotWritableText;
        EXPECT_EQ(v.accepted, !c.accepted.empty());
        EXPECT_EQ(v.path, c.accepted);
        EXPECT_EQ(probed.size(), c.accepted.empty() && !writeRefusal ? 0u : 1u)
            << "the write test runs only after the path checks passed";
        EXPECT_TRUE(Has(v.text, c.part)) << ::testing::PrintToString(v.text);
        if (v.accepted) continue;
        EXPECT_EQ(v.title, writeRefusal ? std::wstring(kNotWritableTitle) : L"Morvane Disk Eraser");
        EXPECT_EQ(v.style, static_cast<UINT>(MB_OK | (writeRefusal ? MB_ICONERROR : MB_ICONWARNING)));
    }
    EXPECT_TRUE(CheckChosenFolder(L"E:\\logs", drives, false, [](const std::wstring&) { return true; }).accepted)
        << "without a disk being erased E: is a folder like any other";
    EXPECT_TRUE(Has(MakeDriveEntries(drives, 7)[2].text, L"E:\\  [消去対象ディスク上 - 保存不可]"));
    EXPECT_FALSE(Has(MakeDriveEntries(drives, 8)[2].text, L"消去対象ディスク上"));
}

}  // namespace
}  // namespace morvane
