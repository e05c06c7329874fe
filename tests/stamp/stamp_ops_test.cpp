// Operator stamping, the writer and the stamp erase on image files: the round trip
// through detection, the extent written per sector size, and refusals that write nothing.
#include "stamp/stamp_ops.h"

#include <gtest/gtest.h>

#include "disk/safety.h"
#include "stamp/detect.h"
#include "stamp/glyph_gdi.h"
#include "stamp/stamp_image.h"
#include "stamp/stamp_writer.h"
#include "support/stamp_samples.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using testing::LogRecorder;
using testing::ReadFileBytes;
using testing::TempDir;

constexpr std::size_t kImageBytes = 1 << 20;
const std::vector<std::uint8_t> kPattern(kImageBytes, 0xEE);  // every byte written shows

std::wstring PatternImage(const std::wstring& path) {
    std::ofstream(std::filesystem::path(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(kPattern.data()), kImageBytes);
    return path;
}

// A plain file as a scan records it (no descriptor: the default model and serial), external.
DiskInfo ImageDisk(const std::wstring& path, std::uint32_t sector = 512) {
    DiskInfo disk;
    disk.devicePath = path;
    disk.model = L"Generic Physical Disk";
    disk.serialNumber = L"N/A";
    disk.sizeBytes = kImageBytes;
    disk.bytesPerSector = sector;
    disk.busKind = BusUsb;
    disk.mediaKind = MediaRemovable;
    disk.safety = Erasable;
    return disk;
}

// A record of a completed real erasure of `disk`.
ReportStamp StampFor(const DiskInfo& disk) {
    ReportStamp stamp = testing::SampleReportStamp();
    stamp.diskModel = disk.model;
    stamp.diskSerial = disk.serialNumber;
    stamp.diskCapacity = FormatSize(disk.sizeBytes);
    return stamp;
}

TEST(StampOps, StampDetectEraseAndStampAgain) {
    TempDir dir;
    const DiskInfo disk = ImageDisk(PatternImage(dir.file(L"disk.img")), 0);  // no sector size: 512
    ReportStamp stamp = StampFor(disk);
    // Erased in the report window: still a real erasure's record, so it is engraved.
    stamp.stampStatus = L"Pure Zero Wiped (スタンプ消去済・全セクタ完全未初期化 0x00)";
    LogRecorder log;
    ASSERT_TRUE(StampDiskByOperator(disk, stamp, log.callback()));
    const ReportStamp found = DetectReportStamp(disk, {});
    EXPECT_FALSE(found.failed);
    EXPECT_EQ(BuildStampTextRecord(found), BuildStampTextRecord(stamp));
    EXPECT_EQ(found.stampStatus, L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)");

    ASSERT_TRUE(EraseStampArea(disk, log.callback()));
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], testing::kStampWrittenLine);
    EXPECT_EQ(log.lines[1].rfind(L"[DISK STAMP] ディスク先頭領域 (LBA 0..255) の実機レポートスタンプを消去", 0), 0u);
    const ReportStamp gone = DetectReportStamp(disk, {});
    EXPECT_TRUE(gone.failed);
    EXPECT_EQ(gone.diskModel, L"Generic Physical Disk") << "pre-filled from the disk record";

    // A real run's record without a stamp is engraved too.
    stamp.stampStatus = L"Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)";
    stamp.certificateId = L"MDE-SECOND";
    ASSERT_TRUE(StampDiskByOperator(disk, stamp, nullptr));
    EXPECT_EQ(DetectReportStamp(disk, {}).certificateId, L"MDE-SECOND");
}

// The writer puts the image at offset 0 whatever the file position; the erase zeroes
// the same extent: 128 KiB rounded up to whole sectors, nothing beyond.
TEST(StampOps, WriteAndEraseCover128KiBInWholeSectors) {
    TempDir dir;
    const ReportStamp stamp = testing::SampleReportStamp();  // Japanese: the image holds glyphs
    const auto image = BuildStampImage(stamp, 512, EmbeddedBootPrograms(), JapaneseGlyphRenderer());
    ASSERT_EQ(image.size(), 131072u);
    for (auto [sector, extent] : {std::pair{0u, 131072u}, {512u, 131072u}, {4096u, 131072u}, {520u, 131560u},
                                  {65536u, 131072u}}) {
        SCOPED_TRACE(sector);
        const std::wstring path = PatternImage(dir.file(L"disk" + std::to_wstring(sector) + L".img"));
        {
            UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                          nullptr));
            LARGE_INTEGER away{};
            away.QuadPart = 300000;
            ASSERT_TRUE(::SetFilePointerEx(file.get(), away, nullptr, FILE_BEGIN));
            LogRecorder log;
            ASSERT_TRUE(WriteReportStamp(file.get(), sector, stamp, log.callback()));
            EXPECT_EQ(log.lines, std::vector<std::wstring>{testing::kStampWrittenLine});
        }
        std::vector<std::uint8_t> want = kPattern;
        std::fill(want.begin(), want.begin() + extent, 0);
        std::copy(image.begin(), image.end(), want.begin());
        EXPECT_TRUE(ReadFileBytes(path) == want) << "written";
        ASSERT_TRUE(EraseStampArea(ImageDisk(path, sector), nullptr));
        std::fill(want.begin(), want.begin() + extent, 0);
        EXPECT_TRUE(ReadFileBytes(path) == want) << "erased";
    }
}

TEST(WriteReportStamp, BadHandlesFailWithoutALogLine) {
    TempDir dir;
    const std::wstring path = dir.file(L"readonly.img");
    ASSERT_TRUE(testing::CreateImageFile(path, 4096));
    UniqueFile readOnly(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LogRecorder log;
    for (HANDLE h : {INVALID_HANDLE_VALUE, HANDLE{nullptr}, readOnly.get()})
        EXPECT_FALSE(WriteReportStamp(h, 512, testing::SampleReportStamp(), log.callback()));
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(ReadFileBytes(path), std::vector<std::uint8_t>(4096, 0));
}

// Each refusal logs one line per operation and leaves every byte of the disk as it was.
TEST(StampOps, RefusalsWriteNothing) {
    TempDir dir;
    const std::wstring path = PatternImage(dir.file(L"disk.img"));
    const std::wstring changed = std::wstring(L"[SAFETY] ") + kDiskIdentityChangedMessage;
    const std::wstring locked = L"[SAFETY] 保護ロック中のディスク";
    const std::wstring notDone = L"[SAFETY] 完了した実機消去の記録ではない", simulated = L"[SAFETY] シミュレーション";
    const std::wstring otherDisk = L"[SAFETY] 別のディスクの消去記録";
    const auto answers = [](const wchar_t* model, const wchar_t* serial) {
        return [=](ReportStamp&, DiskInfo&, DiskIdentitySource& id) {
            id = [=](const std::wstring&) { return std::optional<DiskIdentity>(DiskIdentity{model, serial, kImageBytes}); };
        };
    };
    const auto safety = [](std::uint32_t value) { return [=](ReportStamp&, DiskInfo& d, auto&) { d.safety = value; }; };
    const struct {
        const char* what;
        std::function<void(ReportStamp&, DiskInfo&, DiskIdentitySource&)> change;
        std::wstring stampLine, eraseLine;  // no erase line: the erase is not concerned
    } cases[] = {
        {"gone", [&](auto&, DiskInfo& d, auto&) { d.devicePath = dir.file(L"absent.img"); }, changed, changed},
        {"other size", [](ReportStamp& s, DiskInfo& d, auto&) { s.diskCapacity = FormatSize(d.sizeBytes -= 512); },
         changed, changed},
        {"other model", answers(L"Other Stick", L"N/A"), changed, changed},
        {"other serial", answers(L"Generic Physical Disk", L"XYZ"), changed, changed},
        {"unqueryable", [](auto&, auto&, DiskIdentitySource& id) { id = [](auto&) { return std::optional<DiskIdentity>(); }; },
         changed, changed},
        {"system disk", safety(SystemDisk), locked, locked},
        {"WinPE medium", safety(WinPEBootMedium), locked, locked},
        {"internal locked", safety(InternalLocked), locked, locked},
        {"unknown safety", safety(5), locked, locked},
        {"all bits", safety(0xFFFFFFFF), locked, locked},
        {"failed run", [](ReportStamp& s, auto&, auto&) { s.failed = true; }, notDone, L""},
        {"window preview", [](ReportStamp& s, auto&, auto&) { s = ReportStamp{}; }, notDone, L""},
        {"simulation", [](ReportStamp& s, auto&, auto&) { s.stampStatus = L"Simulation / Dry-Run Report Stamp"; },
         simulated, L""},
        {"simulated verdict",
         [](ReportStamp& s, auto&, auto&) { s.verificationResult = L"PASSED (Simulation 100% Verified)"; }, simulated, L""},
        {"other model", [](ReportStamp& s, auto&, auto&) { s.diskModel = L"Other Stick"; }, otherDisk, L""},
        {"other serial", [](ReportStamp& s, auto&, auto&) { s.diskSerial = L"S-2"; }, otherDisk, L""},
        {"other capacity", [](ReportStamp&, DiskInfo& d, auto&) { d.sizeBytes *= 2; }, otherDisk, L""},
        {"4096-byte sectors", [](ReportStamp&, DiskInfo& d, auto&) { d.bytesPerSector = 4096; },
         L"[DISK STAMP] 論理セクタサイズが 4096 バイト", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DiskInfo disk = ImageDisk(path);
        ReportStamp stamp = StampFor(disk);
        DiskIdentitySource identity;
        c.change(stamp, disk, identity);
        LogRecorder log;
        EXPECT_FALSE(StampDiskByOperator(disk, stamp, log.callback(), identity));
        if (!c.eraseLine.empty()) EXPECT_FALSE(EraseStampArea(disk, log.callback(), identity));
        ASSERT_EQ(log.lines.size(), c.eraseLine.empty() ? 1u : 2u);
        EXPECT_EQ(log.lines[0].rfind(c.stampLine, 0), 0u) << testing::Narrow(log.lines[0]);
        if (!c.eraseLine.empty()) EXPECT_EQ(log.lines[1].rfind(c.eraseLine, 0), 0u) << testing::Narrow(log.lines[1]);
        ASSERT_TRUE(ReadFileBytes(path) == kPattern);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file(L"absent.img")));
}

}  // namespace
}  // namespace morvane
