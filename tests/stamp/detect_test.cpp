// Stamp detection: the parser over read bytes (markers, field counts, fuzzing against
// a no-access page) and the read itself on image files under both sector sizes.
#include "stamp/detect.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "disk/safety.h"
#include "stamp/stamp_image.h"
#include "support/hwinfo_smbios.h"  // FencedBytes
#include "support/stamp_samples.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

DiskInfo ImageDisk(const std::wstring& path, std::uint32_t sector = 512) {
    DiskInfo disk;
    disk.devicePath = path;
    disk.model = L"Image Disk";
    disk.sizeBytes = 1 << 20;
    disk.bytesPerSector = sector;
    disk.safety = Erasable;
    return disk;
}

HardwareProfile ThisMachine() {
    HardwareProfile h;
    h.manufacturer = L"This Machine";
    return h;
}

// Read bytes as a 512-byte-sector disk returns them: 2560 bytes, record at 512.
std::vector<std::uint8_t> Sectors(const std::string& record, std::size_t size = 2560) {
    std::vector<std::uint8_t> bytes(size, 0);
    std::memcpy(bytes.data() + 512, record.data(), std::min(record.size(), size - 512));
    return bytes;
}

// marker, then fields "f1".."fN" with the pass count as field 11.
std::string Record(const std::string& marker, int fields, const std::string& passes = "3") {
    std::string r = marker;
    for (int i = 1; i <= fields; ++i) r += (i > 1 ? "|" : "") + (i == 11 ? passes : "f" + std::to_string(i));
    return r;
}

TEST(StampDetect, ReadSizeAndInteger) {
    for (auto [sector, size] : {std::pair{0u, 2560u}, {512u, 2560u}, {2048u, 4096u}, {4096u, 4096u}})
        EXPECT_EQ(StampDetectReadSize(sector), size) << sector;
    const std::pair<const char*, std::int32_t> ints[] = {
        {"35", 35}, {"  7x", 7}, {"\t-4", -4}, {"+9", 9}, {"abc", 0}, {"", 0}, {"- 1", 0},
        {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
    for (const auto& [text, value] : ints) EXPECT_EQ(ParseStampInteger(text), value) << text;
}

TEST(StampDetect, RecordsByMarkerAndFieldCount) {
    const ReportStamp base = PrefilledReportStamp(ImageDisk(L"x"), ThisMachine());
    const std::string badUtf8 = "ZOLT_STAMP_V2|A\xff\xfe" "B|" + Record("", 27).substr(3);
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const wchar_t* certificateId;  // null: not detected
        std::int32_t passes;
        const wchar_t* manufacturer;
    } cases[] = {
        {"blank disk", Sectors(""), nullptr, 0, L"This Machine"},
        {"marker later in the text", Sectors("XX" + Record("ZOLT_STAMP_V2|", 28)), nullptr, 0, L"This Machine"},
        {"V2 with 11 parts", Sectors(Record("ZOLT_STAMP_V2|", 10)), nullptr, 0, L"This Machine"},
        {"V2 with exactly 12 parts", Sectors(Record("ZOLT_STAMP_V2|", 11)), L"f1", 3, L"This Machine"},
        {"V2 with 27 parts", Sectors(Record("ZOLT_STAMP_V2|", 26)), L"f1", 3, L"This Machine"},
        {"V2 with 28 parts", Sectors(Record("ZOLT_STAMP_V2|", 27)), L"f1", 3, L"f12"},
        {"V1 record", Sectors(Record("ZOLT_STAMP_V1|", 28) + "|END"), L"f1", 3, L"f12"},
        {"V3 record", Sectors(Record("ZOLT_STAMP_V3|", 28)), nullptr, 0, L"This Machine"},
        {"marker without bar", Sectors("ZOLT_STAMP_V2"), nullptr, 0, L"This Machine"},
        {"non-numeric passes", Sectors(Record("ZOLT_STAMP_V2|", 28, "many")), L"f1", 0, L"f12"},
        {"invalid UTF-8", Sectors(badUtf8), L"A\uFFFD\uFFFDB", 3, L"f12"},
        {"short read", std::vector<std::uint8_t>(1023, 'Z'), nullptr, 0, L"This Machine"},
    };
    for (const auto& c : cases) {
        const ReportStamp s = ParseReportStamp(c.bytes, 2560, base);
        EXPECT_EQ(s.failed, c.certificateId == nullptr) << c.name;
        EXPECT_EQ(s.certificateId, c.certificateId ? c.certificateId : L"") << c.name;
        EXPECT_EQ(s.passesCompleted, c.passes) << c.name;
        EXPECT_EQ(s.hardware.manufacturer, c.manufacturer) << c.name;
        EXPECT_EQ(s.diskModel, c.certificateId ? L"f5" : L"Image Disk") << c.name;
    }
}

TEST(StampDetect, MutatedRecordsNeverCrashOrOverread) {
    const std::string good = BuildStampTextRecord(testing::SampleReportStamp());
    const ReportStamp base = PrefilledReportStamp(ImageDisk(L"x"), {});
    std::mt19937 random(20261023);
    int parsed = 0;
    for (int round = 0; round < 10000; ++round) {
        std::string record = good;
        for (int e = 1 + static_cast<int>(random() % 8); e > 0; --e) {
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
        parsed += !ParseReportStamp(fenced.bytes(), 2560, base).failed;
    }
    EXPECT_GT(parsed, 1000);  // the mutations do exercise the parsing paths
}

TEST(StampDetect, ReadsImageFilesForBothSectorSizes) {
    testing::TempDir dir;
    // A record running on without a zero: 512-byte sectors read 2560 bytes (text cut
    // at 2047), 4096-byte sectors read 4096 (text cut at 3583).
    std::string record = Record("ZOLT_STAMP_V2|", 26) + "|";
    const std::size_t tail = record.size();
    record.resize(4000, 'q');
    const std::wstring path = dir.file(L"long.img");
    ASSERT_TRUE(testing::CreateImageFile(path, 1 << 20));
    {
        std::fstream f(std::filesystem::path(path), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(512);
        f.write(record.data(), static_cast<std::streamsize>(record.size()));
    }
    const ReportStamp s512 = DetectReportStamp(ImageDisk(path, 512), ThisMachine());
    EXPECT_FALSE(s512.failed);
    EXPECT_EQ(s512.hardware.storageController, std::wstring(2047 - tail, L'q'));
    EXPECT_EQ(DetectReportStamp(ImageDisk(path, 4096), {}).hardware.storageController, std::wstring(3583 - tail, L'q'));

    // Unreadable path and a file too short to hold a record: the pre-filled record.
    const ReportStamp missing = DetectReportStamp(ImageDisk(dir.file(L"absent.img")), ThisMachine());
    EXPECT_TRUE(missing.failed);
    EXPECT_EQ(testing::Narrow(missing.diskModel + L"|" + missing.diskCapacity + L"|" + missing.hardware.manufacturer),
              "Image Disk|1.0 MB|This Machine");
    const std::wstring tiny = dir.file(L"tiny.img");
    ASSERT_TRUE(testing::CreateImageFile(tiny, 512));
    EXPECT_TRUE(DetectReportStamp(ImageDisk(tiny), ThisMachine()).failed);
}

}  // namespace
}  // namespace morvane
