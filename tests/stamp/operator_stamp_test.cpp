// Stamp detection over read bytes (each copy flush against a no-access page, so that a
// read past it faults); then stamping, reading back and erasing on image files: the round
// trip, the extent written per sector size, and refusals that write nothing.
#include "stamp/operator_stamp.h"

#include <gtest/gtest.h>

#include <cstring>

#include "disk/safety.h"
#include "stamp/compose.h"
#include "stamp/detect.h"
#include "stamp/glyph_gdi.h"
#include "stamp/stamp_image.h"
#include "stamp/stamp_writer.h"
#include "support/hwinfo_smbios.h"  // FencedBytes
#include "support/stamp_samples.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using testing::LogRecorder;
using testing::ReadFileBytes;
using testing::TempDir;

// Read bytes as a 512-byte-sector disk returns them: 2560 bytes, record at 512.
std::vector<std::uint8_t> Sectors(const std::string& record, std::size_t size = 2560) {
    std::vector<std::uint8_t> bytes(size, 0);
    std::memcpy(bytes.data() + 512, record.data(), std::min(record.size(), size - 512));
    return bytes;
}

// marker, then fields "f1".."fN" with the pass count as field 11.
std::string Record(const std::string& marker, int fields, const std::string& passes = "3") {
    std::string r = marker;
    for (int i = 1; i <= fields; ++i) r += (i > 1 ? "|" : "") + (i == 11 ? passes : 'f' + std::to_string(i));
    return r;
}

TEST(StampDetect, RecordsByMarkerFieldCountAndCuts) {  // a blank disk: see StampDetectEraseAndStampAgain
    DiskInfo disk;
    disk.model = L"Image Disk";
    HardwareProfile here;
    here.manufacturer = L"This Machine";
    const std::string v2 = "ZOLT_STAMP_V2|", unended = Record(v2, 27) + std::string(4000, 'q');
    const std::wstring none = L"failed||Image Disk||0|This Machine|", full = L"|f1|f5|f9|3|f12|f27";
    const auto cutAt = [&](std::size_t end) { return full + std::wstring(end - Record(v2, 27).size(), L'q'); };
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::wstring expected;  // failed, certificate ID, disk model, organisation, passes, manufacturer, storage
        std::size_t readSize = 2560;
    } cases[] = {
        {"marker later in the text", Sectors("XX" + Record(v2, 28)), none},
        {"V2 with 11 parts", Sectors(Record(v2, 10)), none},
        {"V2 with exactly 12 parts", Sectors(Record(v2, 11)), L"|f1|f5|f9|3|This Machine|"},
        {"V2 with 28 parts", Sectors(Record(v2, 27)), full},
        {"V1 record", Sectors(Record("ZOLT_STAMP_V1|", 28) + "|END"), full},
        {"V3 record", Sectors(Record("ZOLT_STAMP_V3|", 28)), none},
        {"non-numeric passes", Sectors(Record(v2, 28, "many")), L"|f1|f5|f9|0|f12|f27"},
        {"invalid UTF-8", Sectors(v2 + "A\xff\xfe" "B" + Record("", 27).substr(2)), L"|A\uFFFD\uFFFDB|f5|f9|3|f12|f27"},
        {"short read", std::vector<std::uint8_t>(1023, 'Z'), none},
        // No zero: the text ends one byte before the asked size, or where the bytes end.
        {"cut at 2047", Sectors(unended), cutAt(2047)},
        {"cut at 3583", Sectors(unended, 4096), cutAt(3583), 4096},
        {"cut where the read ended", Sectors(unended, 3000), cutAt(3000 - 512), 4096},
    };
    for (const auto& c : cases) {
        const testing::FencedBytes fenced(c.bytes);
        ASSERT_TRUE(fenced.ok());
        const ReportStamp s = ParseReportStamp(fenced.bytes(), c.readSize, PrefilledReportStamp(disk, here));
        EXPECT_EQ((s.failed ? L"failed|" : L"|") + s.certificateId + L"|" + s.diskModel + L"|" + s.organizationName + L"|" +
                      std::to_wstring(s.passesCompleted) + L"|" + s.hardware.manufacturer + L"|" + s.hardware.storageController,
                  c.expected)
            << c.name;
    }
}

constexpr std::size_t kImageBytes = 1 << 20;
const std::vector<std::uint8_t> kPattern(kImageBytes, 0xEE);  // every byte written shows

std::wstring PatternImage(const std::wstring& path) {
    std::ofstream(std::filesystem::path(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(kPattern.data()), kImageBytes);
    return path;
}

// A plain file as a scan records it (no descriptor: the default model and serial), external.
DiskInfo ImageDisk(const std::wstring& path, std::uint32_t sector = 512) {
    DiskInfo d;
    std::tie(d.devicePath, d.model, d.serialNumber, d.sizeBytes, d.bytesPerSector, d.busKind, d.mediaKind, d.safety) =
        std::tuple(path, L"Generic Physical Disk", L"N/A", kImageBytes, sector, BusUsb, MediaRemovable, Erasable);
    return d;
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
    EXPECT_EQ(BuildStampTextRecord(DetectReportStamp(ImageDisk(disk.devicePath, 4096), {})), BuildStampTextRecord(stamp));

    ASSERT_TRUE(EraseStampArea(disk, log.callback()));
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], testing::kStampWrittenLine);
    EXPECT_EQ(log.lines[1].rfind(L"[DISK STAMP] ディスク先頭領域 (LBA 0..255) の実機レポートスタンプとパーティション情報を0x00で消去", 0), 0u);
    const ReportStamp gone = DetectReportStamp(disk, {});
    EXPECT_TRUE(gone.failed);
    EXPECT_EQ(gone.diskModel + L"|" + gone.diskCapacity, L"Generic Physical Disk|1.0 MB") << "pre-filled from the disk record";
    // A real run's record without a stamp is engraved too.
    stamp.stampStatus = L"Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)";
    stamp.certificateId = L"MDE-SECOND";
    ASSERT_TRUE(StampDiskByOperator(disk, stamp, nullptr));
    EXPECT_EQ(DetectReportStamp(disk, {}).certificateId, L"MDE-SECOND");
    EXPECT_TRUE(DetectReportStamp(ImageDisk(dir.file(L"absent.img")), {}).failed);
}

// The writer puts the image at offset 0 whatever the file position; the erase zeroes
// the same extent: 128 KiB rounded up to whole sectors, nothing beyond.
TEST(StampOps, WriteAndEraseCover128KiBInWholeSectors) {
    TempDir dir;
    const ReportStamp stamp = testing::SampleReportStamp();  // Japanese: the image holds glyphs
    const auto image = BuildStampImage(stamp, 512, EmbeddedBootPrograms(), JapaneseGlyphRenderer());
    ASSERT_EQ(image.size(), 131072u);
    for (auto [sector, extent] : {std::pair{0u, 131072u}, {4096u, 131072u}, {520u, 131560u}, {65536u, 131072u}}) {
        SCOPED_TRACE(sector);
        const std::wstring path = PatternImage(dir.file(L"disk" + std::to_wstring(sector) + L".img"));
        {
            UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(::SetFilePointerEx(file.get(), LARGE_INTEGER{.QuadPart = 300000}, nullptr, FILE_BEGIN));
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
    // A handle that cannot write fails without a log line.
    UniqueFile readOnly(::CreateFileW(dir.file(L"disk0.img").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LogRecorder log;
    EXPECT_FALSE(WriteReportStamp(readOnly.get(), 512, stamp, log.callback()));
    EXPECT_TRUE(log.lines.empty());
}

// Each refusal logs one line per operation and leaves every byte of the disk as it was.
TEST(StampOps, RefusalsWriteNothing) {
    TempDir dir;
    const std::wstring path = PatternImage(dir.file(L"disk.img"));
    const std::wstring changed = std::wstring(L"[SAFETY] ") + kDiskIdentityChangedMessage;
    const std::wstring locked = L"[SAFETY] 保護ロック中のディスク";
    const std::wstring notDone = L"[SAFETY] 完了した実機消去の記録ではない", simulated = L"[SAFETY] シミュレーション",
                       otherDisk = L"[SAFETY] 別のディスクの消去記録";
    const struct {
        const char* what;
        std::function<void(ReportStamp&, DiskInfo&, DiskIdentitySource&)> change;
        std::wstring line;  // the stamp erase is refused too when the disk itself is refused
    } cases[] = {
        {"gone", [&](auto&, DiskInfo& d, auto&) { d.devicePath = dir.file(L"absent.img"); }, changed},
        {"other serial", [](auto&, auto&, DiskIdentitySource& id) {
             id = [](auto&) { return std::optional<DiskIdentity>({L"Generic Physical Disk", L"XYZ", kImageBytes}); };
         }, changed},
        {"system disk", [](auto&, DiskInfo& d, auto&) { d.safety = SystemDisk; }, locked},
        {"failed run", [](ReportStamp& s, auto&, auto&) { s.failed = true; }, notDone},
        {"window preview", [](ReportStamp& s, auto&, auto&) { s = ReportStamp{}; }, notDone},
        {"simulation", [](ReportStamp& s, auto&, auto&) { s.stampStatus = kStampStatusSimulation; }, simulated},
        {"simulated verdict", [](ReportStamp& s, auto&, auto&) { s.verificationResult = L"PASSED (Simulation 100% Verified)"; }, simulated},
        {"other model", [](ReportStamp& s, auto&, auto&) { s.diskModel = L"Other Stick"; }, otherDisk},
        {"other capacity", [](ReportStamp&, DiskInfo& d, auto&) { d.sizeBytes *= 2; }, otherDisk},
        {"4096-byte sectors", [](ReportStamp&, DiskInfo& d, auto&) { d.bytesPerSector = 4096; }, L"[DISK STAMP] 論理セクタサイズが 4096 バイト"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DiskInfo disk = ImageDisk(path);
        ReportStamp stamp = StampFor(disk);
        DiskIdentitySource identity;
        c.change(stamp, disk, identity);
        LogRecorder log;
        EXPECT_FALSE(StampDiskByOperator(disk, stamp, log.callback(), identity));
        const bool erase = c.line == changed || c.line == locked;
        EXPECT_TRUE(!erase || !EraseStampArea(disk, log.callback(), identity));
        ASSERT_EQ(log.lines.size(), erase ? 2u : 1u);
        for (const std::wstring& line : log.lines) EXPECT_EQ(line.rfind(c.line, 0), 0u) << testing::Narrow(line);
        ASSERT_TRUE(ReadFileBytes(path) == kPattern);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file(L"absent.img")));
}

}  // namespace
}  // namespace morvane
