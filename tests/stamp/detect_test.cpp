// Stamp detection: the pure parser over read bytes (faults, cuts, markers, fuzzing
// against a no-access page) and the read itself on image files under both sector sizes.
#include "stamp/detect.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "common/unique_handle.h"
#include "disk/safety.h"
#include "stamp/stamp_image.h"
#include "support/hwinfo_smbios.h"  // FencedBytes
#include "support/stamp_samples.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using testing::SampleReportStamp;

DiskInfo ImageDisk(const std::wstring& path, std::uint32_t sector = 512) {
    DiskInfo disk;
    disk.devicePath = path;
    disk.model = L"Image Disk";
    disk.serialNumber = L"IMG-1";
    disk.sizeBytes = 1 << 20;
    disk.bytesPerSector = sector;
    disk.safety = Erasable;
    return disk;
}

HardwareProfile CurrentMachine() {
    HardwareProfile h;
    h.manufacturer = L"This Machine";
    h.storageController = L"This Controller";
    return h;
}

ReportStamp Prefilled() { return PrefilledReportStamp(ImageDisk(L"x"), CurrentMachine()); }

// Read bytes as a 512-byte-sector disk returns them: 2560 bytes, record at 512.
std::vector<std::uint8_t> Sectors(const std::string& record, std::size_t size = 2560) {
    std::vector<std::uint8_t> bytes(size, 0);
    std::memcpy(bytes.data() + 512, record.data(), std::min(record.size(), size - 512));
    return bytes;
}

std::string Record(const std::string& marker, int fields, const std::string& passes = "3") {
    std::string r = marker;
    for (int i = 1; i <= fields; ++i) {
        if (i > 1) r += '|';
        if (i == 11) {
            r += passes;
        } else {
            r += 'f';
            r += std::to_string(i);
        }
    }
    return r;
}

TEST(StampDetect, ReadSizeAndInteger) {
    EXPECT_EQ(StampDetectReadSize(0), 2560u);
    EXPECT_EQ(StampDetectReadSize(512), 2560u);
    EXPECT_EQ(StampDetectReadSize(4096), 4096u);
    EXPECT_EQ(StampDetectReadSize(2048), 4096u);
    const struct {
        const char* text;
        std::int32_t value;
    } ints[] = {{"35", 35},   {"  7x", 7},  {"\t-4", -4}, {"+9", 9},  {"abc", 0},
                {"", 0},      {"- 1", 0},   {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
    for (const auto& c : ints) EXPECT_EQ(ParseStampInteger(c.text), c.value) << c.text;
}

TEST(StampDetect, FaultyRecords) {
    const ReportStamp base = Prefilled();
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool failed;
        std::wstring certificateId;
        std::int32_t passes;
        std::wstring manufacturer;
    };
    std::string later = "XX";
    later += Record("ZOLT_STAMP_V2|", 28);
    std::string badUtf8 = "ZOLT_STAMP_V2|A\xff\xfe" "B|" + Record("", 27).substr(3);
    const Case cases[] = {
        {"blank disk", Sectors(""), true, L"", 0, L"This Machine"},
        {"marker later in the text", Sectors(later), true, L"", 0, L"This Machine"},
        {"V2 with 11 parts", Sectors(Record("ZOLT_STAMP_V2|", 10)), true, L"", 0, L"This Machine"},
        {"V2 with exactly 12 parts", Sectors(Record("ZOLT_STAMP_V2|", 11)), false, L"f1", 3, L"This Machine"},
        {"V2 with 27 parts", Sectors(Record("ZOLT_STAMP_V2|", 26)), false, L"f1", 3, L"This Machine"},
        {"V2 with 28 parts", Sectors(Record("ZOLT_STAMP_V2|", 27)), false, L"f1", 3, L"f12"},
        {"V1 record", Sectors(Record("ZOLT_STAMP_V1|", 28) + "|END"), false, L"f1", 3, L"f12"},
        {"V3 record", Sectors(Record("ZOLT_STAMP_V3|", 28)), true, L"", 0, L"This Machine"},
        {"marker without bar", Sectors("ZOLT_STAMP_V2"), true, L"", 0, L"This Machine"},
        {"non-numeric passes", Sectors(Record("ZOLT_STAMP_V2|", 28, "many")), false, L"f1", 0, L"f12"},
        {"invalid UTF-8", Sectors(badUtf8), false, L"A\uFFFD\uFFFDB", 3, L"f12"},
        {"short read", std::vector<std::uint8_t>(1023, 'Z'), true, L"", 0, L"This Machine"},
    };
    for (const Case& c : cases) {
        const ReportStamp s = ParseReportStamp(c.bytes, 2560, base);
        EXPECT_EQ(s.failed, c.failed) << c.name;
        EXPECT_EQ(s.certificateId, c.certificateId) << c.name;
        EXPECT_EQ(s.passesCompleted, c.passes) << c.name;
        EXPECT_EQ(s.hardware.manufacturer, c.manufacturer) << c.name;
        EXPECT_EQ(s.diskModel, c.failed ? L"Image Disk" : L"f5") << c.name;
    }
}

TEST(StampDetect, MutatedRecordsNeverCrashOrOverread) {
    const std::string good = BuildStampTextRecord(SampleReportStamp());
    std::mt19937 random(20261023);
    const ReportStamp base = Prefilled();
    int parsed = 0;
    for (int round = 0; round < 10000; ++round) {
        std::string record = good;
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % record.size();
            switch (random() % 4) {
                case 0: record[at] = static_cast<char>(random() % 256); break;
                case 1: record[at] = '|'; break;
                case 2: record.resize(at); break;
                default: record.insert(at, std::string(random() % 600, static_cast<char>(random() % 256)));
            }
            if (record.empty()) record.push_back('Z');
        }
        // Zero-free to the very end half the time; the copy sits flush against a no-access page.
        if (round % 2 && record.size() < 2048) record.resize(2048, 'x');
        const testing::FencedBytes fenced(Sectors(record), testing::FencedBytes::Flush::End);
        ASSERT_TRUE(fenced.ok());
        const ReportStamp s = ParseReportStamp(fenced.bytes(), 2560, base);
        if (!s.failed) ++parsed;
    }
    EXPECT_GT(parsed, 1000);  // the mutations do exercise the parsing paths
}

TEST(StampDetect, ReadsImageFilesForBothSectorSizes) {
    testing::TempDir dir;
    // A record that runs on without a zero: 512-byte sectors read 2560 bytes
    // (text cut at 2047), 4096-byte sectors read 4096 (text cut at 3583).
    std::string record = Record("ZOLT_STAMP_V2|", 26) + "|";
    record += std::string(4000 - record.size(), 'q');
    const std::wstring path = dir.file(L"long.img");
    ASSERT_TRUE(testing::CreateImageFile(path, 1 << 20));
    {
        UniqueFile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER at{};
        at.QuadPart = 512;
        DWORD written = 0;
        ASSERT_TRUE(::SetFilePointerEx(f.get(), at, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::WriteFile(f.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr));
    }
    const std::size_t tail512 = 2047 - (record.rfind('|', 2047) + 1);
    const std::size_t tail4096 = 3583 - (record.rfind('|', 3583) + 1);
    const ReportStamp s512 = DetectReportStamp(ImageDisk(path, 512), CurrentMachine());
    const ReportStamp s4096 = DetectReportStamp(ImageDisk(path, 4096), CurrentMachine());
    EXPECT_FALSE(s512.failed);
    EXPECT_EQ(s512.hardware.storageController.size(), tail512);
    EXPECT_EQ(s4096.hardware.storageController.size(), tail4096);

    // Unreadable path and a file too short to hold a record: the pre-filled record.
    const ReportStamp missing = DetectReportStamp(ImageDisk(dir.file(L"absent.img")), CurrentMachine());
    EXPECT_TRUE(missing.failed);
    EXPECT_EQ(missing.diskModel, L"Image Disk");
    EXPECT_EQ(missing.diskSerial, L"IMG-1");
    EXPECT_EQ(missing.diskCapacity, FormatSize(1 << 20));
    EXPECT_TRUE(missing.certificateId.empty());
    EXPECT_EQ(missing.hardware.manufacturer, L"This Machine") << "the caller's profile";
    const std::wstring tiny = dir.file(L"tiny.img");
    ASSERT_TRUE(testing::CreateImageFile(tiny, 512));
    EXPECT_TRUE(DetectReportStamp(ImageDisk(tiny), CurrentMachine()).failed);
}

}  // namespace
}  // namespace morvane
