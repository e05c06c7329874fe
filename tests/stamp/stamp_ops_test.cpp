// Operator stamping and stamp erase on image files: the round trip through
// detection, the exact erase extent per sector size, and the safety refusals.
#include "stamp/stamp_ops.h"

#include <gtest/gtest.h>

#include "disk/safety.h"
#include "stamp/detect.h"
#include "stamp/glyph_gdi.h"
#include "stamp/stamp_image.h"
#include "support/stamp_samples.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using testing::LogRecorder;
using testing::ReadFileBytes;
using testing::SampleReportStamp;
using testing::TempDir;

constexpr std::size_t kImageBytes = 1 << 20;

const std::wstring kEraseLine =
    L"[DISK STAMP] ディスク先頭領域 (LBA 0..255) の実機レポートスタンプを消去し、"
    L"完全未初期化状態 (全0x00) に切り替えました。";

// An image file filled with 0xEE, so that every byte an operation writes shows.
std::wstring PatternImage(const TempDir& dir, const std::wstring& name) {
    const std::wstring path = dir.file(name);
    UniqueFile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::vector<std::uint8_t> fill(kImageBytes, 0xEE);
    DWORD written = 0;
    ::WriteFile(f.get(), fill.data(), static_cast<DWORD>(fill.size()), &written, nullptr);
    return path;
}

DiskInfo ImageDisk(const std::wstring& path, std::uint32_t safety = Erasable, std::uint32_t sector = 512) {
    DiskInfo disk;
    disk.devicePath = path;
    // What a scan records for a plain file: no descriptor, so the default model and serial.
    disk.model = L"Generic Physical Disk";
    disk.serialNumber = L"N/A";
    disk.sizeBytes = kImageBytes;
    disk.bytesPerSector = sector;
    // An external disk: erasable under any Windows whatever the unlock.
    disk.busKind = BusUsb;
    disk.mediaKind = MediaRemovable;
    disk.safety = safety;
    return disk;
}

// A record of a completed real erasure of `disk`.
ReportStamp StampFor(const DiskInfo& disk) {
    ReportStamp stamp = SampleReportStamp();
    stamp.diskModel = disk.model;
    stamp.diskSerial = disk.serialNumber;
    stamp.diskCapacity = FormatSize(disk.sizeBytes);
    return stamp;
}

void ExpectSameRecord(const ReportStamp& got, const ReportStamp& want) {
    EXPECT_FALSE(got.failed);
    EXPECT_EQ(testing::StampFields(got), testing::StampFields(want));
}

TEST(StampOps, StampDetectEraseAndStampAgain) {
    TempDir dir;
    const std::wstring path = PatternImage(dir, L"disk.img");
    const DiskInfo disk = ImageDisk(path);
    const ReportStamp stamp = StampFor(disk);

    LogRecorder log;
    ASSERT_TRUE(StampDiskByOperator(disk, stamp, log.callback()));
    ASSERT_EQ(log.lines, std::vector<std::wstring>{testing::kStampWrittenLine});
    ExpectSameRecord(DetectReportStamp(disk, {}), stamp);

    log.lines.clear();
    ASSERT_TRUE(EraseStampArea(disk, log.callback()));
    EXPECT_EQ(log.lines, std::vector<std::wstring>{kEraseLine});
    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), kImageBytes);
    for (std::size_t i = 0; i < 131072; ++i) ASSERT_EQ(bytes[i], 0) << i;
    for (std::size_t i = 131072; i < kImageBytes; ++i) ASSERT_EQ(bytes[i], 0xEE) << i;
    const ReportStamp gone = DetectReportStamp(disk, {});
    EXPECT_TRUE(gone.failed);
    EXPECT_TRUE(gone.certificateId.empty());
    EXPECT_EQ(gone.diskModel, L"Generic Physical Disk") << "pre-filled from the disk record";

    ASSERT_TRUE(StampDiskByOperator(disk, stamp, nullptr));
    ExpectSameRecord(DetectReportStamp(disk, {}), stamp);
    const auto restamped = ReadFileBytes(path, 0, 131072);
    EXPECT_EQ(restamped, BuildStampImage(stamp, 512, EmbeddedBootPrograms(), JapaneseGlyphRenderer()));
}

TEST(StampOps, EraseExtentFollowsSectorSize) {
    TempDir dir;
    const struct {
        std::uint32_t sector;
        std::size_t zeroed;
    } cases[] = {{512, 131072}, {4096, 131072}, {0, 131072}, {520, 131560}};
    for (const auto& c : cases) {
        const std::wstring path = PatternImage(dir, L"erase" + std::to_wstring(c.sector) + L".img");
        ASSERT_TRUE(EraseStampArea(ImageDisk(path, InternalUnlocked, c.sector), nullptr));
        const auto bytes = ReadFileBytes(path);
        for (std::size_t i = 0; i < c.zeroed; ++i) ASSERT_EQ(bytes[i], 0) << c.sector << " at " << i;
        for (std::size_t i = c.zeroed; i < kImageBytes; ++i) ASSERT_EQ(bytes[i], 0xEE) << c.sector << " at " << i;
    }
}

TEST(StampOps, DiskThatIsGoneIsRefusedUnopened) {
    TempDir dir;
    LogRecorder log;
    const DiskInfo absent = ImageDisk(dir.file(L"absent.img"));
    EXPECT_FALSE(EraseStampArea(absent, log.callback()));
    EXPECT_FALSE(StampDiskByOperator(absent, StampFor(absent), log.callback()));
    const std::wstring refusal = std::wstring(L"[SAFETY] ") + kDiskIdentityChangedMessage;
    EXPECT_EQ(log.lines, (std::vector<std::wstring>{refusal, refusal}));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / L"absent.img"));
}

TEST(StampOps, ChangedDiskIsRefusedAndLeftAlone) {
    TempDir dir;
    const std::wstring path = PatternImage(dir, L"changed.img");
    const auto original = ReadFileBytes(path);
    struct Case {
        const char* what;
        DiskInfo record;
        DiskIdentitySource identity;
    };
    DiskInfo smaller = ImageDisk(path);
    smaller.sizeBytes -= 512;  // the record describes a disk of another size
    const DiskIdentitySource otherModel = [&](const std::wstring&) {
        return std::optional<DiskIdentity>(DiskIdentity{L"Other Stick", L"N/A", kImageBytes});
    };
    const DiskIdentitySource otherSerial = [&](const std::wstring&) {
        return std::optional<DiskIdentity>(DiskIdentity{L"Generic Physical Disk", L"XYZ", kImageBytes});
    };
    const DiskIdentitySource unqueryable = [](const std::wstring&) { return std::optional<DiskIdentity>(); };
    const Case cases[] = {
        {"size", smaller, {}},
        {"model", ImageDisk(path), otherModel},
        {"serial", ImageDisk(path), otherSerial},
        {"unqueryable", ImageDisk(path), unqueryable},
    };
    for (const Case& c : cases) {
        LogRecorder log;
        EXPECT_FALSE(StampDiskByOperator(c.record, StampFor(c.record), log.callback(), c.identity)) << c.what;
        EXPECT_FALSE(EraseStampArea(c.record, log.callback(), c.identity)) << c.what;
        ASSERT_EQ(log.lines.size(), 2u) << c.what;
        EXPECT_EQ(log.lines[0], std::wstring(L"[SAFETY] ") + kDiskIdentityChangedMessage) << c.what;
    }
    EXPECT_EQ(ReadFileBytes(path), original) << "a refused operation must not write";
    // The unchanged disk still works.
    EXPECT_TRUE(EraseStampArea(ImageDisk(path), nullptr));
}

TEST(StampOps, ProtectedDisksAreRefusedUnopened) {
    TempDir dir;
    const std::wstring path = PatternImage(dir, L"protected.img");
    const auto modified = [&path] {
        FILETIME t{};
        UniqueFile f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(::GetFileTime(f.get(), nullptr, nullptr, &t));
        return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
    };
    const std::uint64_t before = modified();
    ::Sleep(20);
    for (std::uint32_t safety : {static_cast<std::uint32_t>(SystemDisk), static_cast<std::uint32_t>(WinPEBootMedium),
                                 static_cast<std::uint32_t>(InternalLocked), 5u, 0xFFFFFFFFu}) {
        LogRecorder log;
        EXPECT_FALSE(StampDiskByOperator(ImageDisk(path, safety), StampFor(ImageDisk(path)), log.callback())) << safety;
        EXPECT_FALSE(EraseStampArea(ImageDisk(path, safety), log.callback())) << safety;
        EXPECT_EQ(log.lines, (std::vector<std::wstring>{L"[SAFETY] 保護ロック中のディスクにはスタンプを書き込めません。",
                                                        L"[SAFETY] 保護ロック中のディスクは操作できません。"}))
            << safety;
    }
    EXPECT_EQ(modified(), before);
    EXPECT_EQ(ReadFileBytes(path), std::vector<std::uint8_t>(kImageBytes, 0xEE));
}

// Only a record of a completed real erasure of this very disk is engraved: the report
// window also holds previews, simulations and records read from other disks.
TEST(StampOps, OperatorStampNeedsARealErasureRecordOfThisDisk) {
    TempDir dir;
    const std::wstring path = PatternImage(dir, L"records.img");
    const auto original = ReadFileBytes(path);
    const DiskInfo disk = ImageDisk(path);
    const std::wstring kNotCompleted = L"[SAFETY] 完了した実機消去の記録ではないため";
    const std::wstring kSimulated = L"[SAFETY] シミュレーション(Dry-Run)の記録は";
    const std::wstring kOtherDisk = L"[SAFETY] 別のディスクの消去記録のため";
    const std::wstring kSectors = L"[DISK STAMP] 論理セクタサイズが 4096 バイトのディスクでは";
    struct Case {
        const char* what;
        std::function<void(ReportStamp&, DiskInfo&)> change;
        std::wstring refusal;  // empty: written
    };
    const Case cases[] = {
        {"failed run", [](ReportStamp& s, DiskInfo&) { s.failed = true; }, kNotCompleted},
        {"preview of the window", [](ReportStamp& s, DiskInfo&) { s = ReportStamp{}; }, kNotCompleted},
        {"simulation with stamp", [](ReportStamp& s, DiskInfo&) { s.stampStatus = L"Simulation / Dry-Run Report Stamp"; }, kSimulated},
        {"simulation without stamp",
         [](ReportStamp& s, DiskInfo&) {
             s.stampStatus = L"Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)";
             s.verificationResult = L"PASSED (Simulation 100% Verified)";
         },
         kSimulated},
        {"other model", [](ReportStamp& s, DiskInfo&) { s.diskModel = L"Other Stick"; }, kOtherDisk},
        {"other serial", [](ReportStamp& s, DiskInfo&) { s.diskSerial = L"S-2"; }, kOtherDisk},
        {"other capacity", [](ReportStamp&, DiskInfo& d) { d.sizeBytes *= 2; }, kOtherDisk},
        {"4096-byte sectors", [](ReportStamp&, DiskInfo& d) { d.bytesPerSector = 4096; }, kSectors},
        {"stamp erased in the window", [](ReportStamp& s, DiskInfo&) { s.stampStatus = L"Pure Zero Wiped (スタンプ消去済・全セクタ完全未初期化 0x00)"; }, L""},
        {"real run without stamp", [](ReportStamp& s, DiskInfo&) { s.stampStatus = L"Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)"; }, L""},
        {"sector size 0 counts as 512", [](ReportStamp&, DiskInfo& d) { d.bytesPerSector = 0; }, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReportStamp stamp = StampFor(disk);
        DiskInfo target = disk;
        c.change(stamp, target);
        if (target.sizeBytes != disk.sizeBytes) stamp.diskCapacity = FormatSize(disk.sizeBytes);
        LogRecorder log;
        const bool written = StampDiskByOperator(target, stamp, log.callback());
        ASSERT_EQ(written, c.refusal.empty());
        ASSERT_EQ(log.lines.size(), 1u);
        if (written) {
            EXPECT_EQ(log.lines[0], testing::kStampWrittenLine);
            EXPECT_EQ(DetectReportStamp(disk, {}).certificateId, stamp.certificateId);
            PatternImage(dir, L"records.img");
        } else {
            EXPECT_EQ(log.lines[0].rfind(c.refusal, 0), 0u) << testing::Narrow(log.lines[0]);
        }
        EXPECT_EQ(ReadFileBytes(path), original);
    }
}

}  // namespace
}  // namespace morvane
