// The scan's decisions, driven by a fake fact source: disk numbering, descriptor
// parsing, model/serial defaults, media-kind rules and drive-letter joining.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "disk/disk_scan.h"
#include "disk/safety.h"

namespace morvane {
namespace {

class FakeSource : public DiskFactSource {
public:
    SystemDisks system{{0}, true};
    int bootDisk = -1;
    int bootQueries = 0;
    std::map<int, DiskQueryFacts> disks;
    std::vector<VolumeExtents> volumes;
    std::vector<int> queried;

    SystemDisks SystemDiskNumbers() override { return system; }
    int WinPEBootDiskNumber() override {
        ++bootQueries;
        return bootDisk;
    }
    std::optional<DiskQueryFacts> QueryDisk(int number) override {
        queried.push_back(number);
        auto it = disks.find(number);
        if (it == disks.end()) return std::nullopt;
        return it->second;
    }
    std::vector<VolumeExtents> QueryVolumes() override { return volumes; }
};

DiskQueryFacts SataDisk(std::uint64_t size, bool seekPenalty = true) {
    DiskQueryFacts f;
    f.descriptorOk = true;
    f.storageBusType = 11;
    f.vendor = "ATA";
    f.product = "ST2000DM008";
    f.revision = "0001";
    f.serial = "ZFL1ABCD";
    f.geometryOk = true;
    f.diskSize = size;
    f.bytesPerSector = 512;
    f.seekPenaltyOk = true;
    f.incursSeekPenalty = seekPenalty;
    return f;
}

TEST(DiskScan, ScansNumbers0To31SkippingGapsAndEmptyDisks) {
    FakeSource source;
    source.disks[0] = SataDisk(1000);
    source.disks[2] = SataDisk(2000);
    source.disks[3] = SataDisk(0);  // geometry said 0 bytes: not listed
    DiskQueryFacts noGeometry = SataDisk(5000);
    noGeometry.geometryOk = false;  // failed geometry query: size stays 0, not listed
    source.disks[4] = noGeometry;
    source.disks[31] = SataDisk(3100);
    source.disks[32] = SataDisk(3200);  // beyond the scanned range

    const auto disks = EnumeratePhysicalDisks(source, false, false);
    ASSERT_EQ(disks.size(), 3u);
    EXPECT_EQ(disks[0].index, 0);
    EXPECT_EQ(disks[1].index, 2);
    EXPECT_EQ(disks[2].index, 31);
    EXPECT_EQ(disks[1].devicePath, L"\\\\.\\PhysicalDrive2");
    EXPECT_EQ(source.queried.size(), 32u);
    EXPECT_EQ(source.queried.back(), 31);
    EXPECT_EQ(source.bootQueries, 0) << "the boot-medium search runs only under WinPE";
}

TEST(DiskScan, RecordFromDescriptor) {
    DiskQueryFacts f = SataDisk(500107862016ULL);
    const DiskInfo d = BuildDiskRecord(1, f);
    EXPECT_EQ(d.firmwareRevision, L"0001");
    EXPECT_EQ(d.busKind, BusSata);
    EXPECT_EQ(d.mediaKind, MediaHdd);
    EXPECT_EQ(d.sizeBytes, 500107862016ULL);
    EXPECT_EQ(d.safety, 1u) << "an unclassified record stays protected";

    struct Case { const char* vendor; const char* product; const char* serial; const wchar_t* model; const wchar_t* sn; };
    const Case cases[] = {
        {"  Samsung ", " SSD 870 EVO 1TB ", "ZFL1ABCD", L"Samsung SSD 870 EVO 1TB", L"ZFL1ABCD"},
        {"", "SSD 870 EVO 1TB", " S1 ", L"SSD 870 EVO 1TB", L"S1"},
        {"WDC", "", "S1", L"WDC ", L"S1"},  // a trailing blank stays with an empty product
        {" ", "\t", "   ", L"Generic Physical Disk", L"N/A"},
    };
    for (const Case& c : cases) {
        f.vendor = c.vendor;
        f.product = c.product;
        f.serial = c.serial;
        const DiskInfo r = BuildDiskRecord(1, f);
        EXPECT_EQ(r.model, c.model) << c.vendor << "|" << c.product;
        EXPECT_EQ(r.serialNumber, c.sn) << c.serial;
    }

    DiskQueryFacts failed;  // the descriptor query failed
    failed.geometryOk = true;
    failed.diskSize = 1 << 20;
    failed.bytesPerSector = 0;  // 0 from the geometry means 512
    failed.seekPenaltyOk = true;
    const DiskInfo g = BuildDiskRecord(0, failed);
    EXPECT_EQ(g.model, L"Generic Physical Disk");
    EXPECT_EQ(g.serialNumber, L"N/A");
    EXPECT_EQ(g.busKind, BusUnknown);
    EXPECT_EQ(g.bytesPerSector, 512u);
    EXPECT_EQ(g.mediaKind, MediaSsd) << "media kind comes from the seek-penalty query";
}

TEST(DiskScan, MediaKindRules) {
    struct Case {
        std::uint32_t busType;
        bool removable;
        bool penaltyOk;
        bool penalty;
        std::uint32_t media;
        const char* why;
    };
    const Case cases[] = {
        {17, true, true, true, MediaNvmeSsd, "NVMe is NVMe SSD even when removable"},
        {17, false, false, false, MediaNvmeSsd, "NVMe without seek penalty answer"},
        {11, true, true, false, MediaRemovable, "removable flag wins over seek penalty"},
        {12, false, true, true, MediaRemovable, "SD card"},
        {13, false, true, false, MediaRemovable, "MMC"},
        {7, false, false, false, MediaRemovable, "USB without seek-penalty property"},
        {7, false, true, false, MediaSsd, "USB SSD answering the query"},
        {11, false, false, false, MediaHdd, "SATA without seek-penalty property"},
        {11, false, true, true, MediaHdd, "spinning SATA"},
        {11, false, true, false, MediaSsd, "SATA SSD"},
    };
    for (const Case& c : cases) {
        DiskQueryFacts f = SataDisk(1 << 30);
        f.storageBusType = c.busType;
        f.removableMedia = c.removable;
        f.seekPenaltyOk = c.penaltyOk;
        f.incursSeekPenalty = c.penalty;
        EXPECT_EQ(BuildDiskRecord(0, f).mediaKind, c.media) << c.why;
    }
}

TEST(DiskScan, ParseDeviceDescriptorStaysInsideReturnedBytes) {
    unsigned char buffer[1024] = {};
    auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(buffer + at, &v, 4); };
    buffer[10] = 1;       // RemovableMedia
    put32(12, 100);       // vendor
    put32(16, 110);       // product
    put32(20, 0);         // no revision
    put32(24, 200);       // serial beyond the returned bytes
    put32(28, 7);         // USB
    std::memcpy(buffer + 100, "Kingston", 9);
    std::memcpy(buffer + 110, "DataTraveler", 13);
    std::memcpy(buffer + 200, "SERIAL", 7);

    DiskQueryFacts f = ParseDeviceDescriptor(buffer, 150);
    EXPECT_TRUE(f.descriptorOk);
    EXPECT_TRUE(f.removableMedia);
    EXPECT_EQ(f.storageBusType, 7u);
    EXPECT_EQ(f.vendor, "Kingston");
    EXPECT_EQ(f.product, "DataTraveler");
    EXPECT_EQ(f.revision, "");
    EXPECT_EQ(f.serial, "");

    // A string without terminator inside the returned bytes is cut at their end.
    EXPECT_EQ(ParseDeviceDescriptor(buffer, 115).product, "DataT");
    // Fewer than 40 bytes: the descriptor does not count.
    EXPECT_FALSE(ParseDeviceDescriptor(buffer, 39).descriptorOk);
}

TEST(DiskScan, DriveLettersJoinedPerExtent) {
    FakeSource source;
    source.system = {{5}, true};
    source.disks[0] = SataDisk(1000);
    source.disks[1] = SataDisk(2000);
    source.disks[2] = SataDisk(3000);
    source.disks[3] = SataDisk(4000);  // no volume at all
    source.volumes = {
        {L"C:\\", {0}},
        {L"D:\\", {0}},
        {L"E:\\", {1, 1}},  // two extents on one disk: appended twice
        {L"F:\\", {1, 2}},  // a volume spanning two disks
        {L"G:\\", {9}},     // a disk that is not listed
    };
    const auto disks = EnumeratePhysicalDisks(source, false, false);
    ASSERT_EQ(disks.size(), 4u);
    EXPECT_EQ(disks[0].driveLetters, L"C:, D:");
    EXPECT_EQ(disks[1].driveLetters, L"E:, E:, F:");
    EXPECT_EQ(disks[2].driveLetters, L"F:");
    EXPECT_EQ(disks[3].driveLetters, L"(未割当/マウントなし)");
    EXPECT_EQ(disks[3].safety, InternalLocked) << "the placeholder is not a C: drive";
}

TEST(DiskScan, WinPEScanAsksForBootMedium) {
    FakeSource source;
    source.bootDisk = 1;
    source.disks[0] = SataDisk(1000);
    source.disks[1] = SataDisk(2000);
    source.disks[1].storageBusType = 7;
    source.volumes = {{L"C:\\", {0}}, {L"X:\\", {1}}};
    const auto disks = EnumeratePhysicalDisks(source, true, false);
    ASSERT_EQ(disks.size(), 2u);
    EXPECT_EQ(source.bootQueries, 1);
    EXPECT_EQ(disks[0].safety, Erasable) << "under WinPE the installed Windows disk is erasable";
    EXPECT_EQ(disks[1].safety, WinPEBootMedium);
}

TEST(DiskScan, VolumeExtentsQueryGrowsUntilEveryExtentFits) {
    // A VOLUME_DISK_EXTENTS answer for a volume on disks 0, 2 and 7.
    std::vector<unsigned char> answer(8 + 3 * 24, 0);
    const std::uint32_t numbers[] = {0, 2, 7};
    answer[0] = 3;
    for (int i = 0; i < 3; ++i) std::memcpy(answer.data() + 8 + i * 24, &numbers[i], 4);
    const std::vector<std::uint32_t> all{0, 2, 7};
    EXPECT_EQ(ParseDiskExtentNumbers(answer.data(), answer.size()), all);
    EXPECT_FALSE(ParseDiskExtentNumbers(answer.data(), answer.size() - 1)) << "last extent cut short";
    EXPECT_FALSE(ParseDiskExtentNumbers(answer.data(), 7));

    // Like Windows: a buffer too small fails with "more data" and the count in its header.
    std::vector<std::size_t> sizes;
    bool announceCount = true;
    const ExtentsIoctl spanned = [&](unsigned char* buffer, std::size_t size, std::size_t& returned, bool& moreData) {
        sizes.push_back(size);
        if (size < answer.size()) {
            if (announceCount) std::memcpy(buffer, answer.data(), 4);
            moreData = true;
            return false;
        }
        std::memcpy(buffer, answer.data(), answer.size());
        returned = answer.size();
        return true;
    };
    EXPECT_EQ(QueryVolumeExtents(spanned), all);
    EXPECT_EQ(sizes, (std::vector<std::size_t>{32, 80}));
    sizes.clear();
    announceCount = false;  // without a count the buffer still grows
    EXPECT_EQ(QueryVolumeExtents(spanned), all);
    EXPECT_EQ(sizes, (std::vector<std::size_t>{32, 64, 128}));

    const ExtentsIoctl failing = [](unsigned char*, std::size_t, std::size_t&, bool& moreData) {
        moreData = false;
        return false;
    };
    const ExtentsIoctl neverFits = [](unsigned char*, std::size_t, std::size_t&, bool& moreData) {
        moreData = true;
        return false;
    };
    EXPECT_FALSE(QueryVolumeExtents(failing));
    EXPECT_FALSE(QueryVolumeExtents(neverFits)) << "the growth is bounded";
}

// A system volume spanning disks protects every one of them; when the system volumes
// cannot be read, no internal disk is unlocked, but external disks stay erasable.
TEST(DiskScan, SpannedOrUnreadableSystemVolume) {
    using Answer = std::optional<std::vector<std::uint32_t>>;
    const Answer spanned{{0, 2}}, windowsDir{{2, 3}}, failed, none{std::vector<std::uint32_t>{}};
    const SystemDisks both = SystemDisksFrom(std::vector<Answer>{spanned, windowsDir});
    EXPECT_TRUE(both.resolved);
    EXPECT_EQ(both.numbers, (std::vector<std::uint32_t>{0, 2, 3}));
    for (const auto& answers : {std::vector<Answer>{spanned, failed}, std::vector<Answer>{none}, std::vector<Answer>{}}) {
        const SystemDisks unknown = SystemDisksFrom(answers);
        EXPECT_FALSE(unknown.resolved);
        EXPECT_EQ(unknown.numbers, std::vector<std::uint32_t>{0});
    }

    FakeSource source;
    for (int n = 0; n < 4; ++n) source.disks[n] = SataDisk(1000);
    source.disks[4] = SataDisk(1000);
    source.disks[4].storageBusType = 7;  // a USB stick
    const auto statuses = [&] {
        std::vector<std::uint32_t> out;
        for (const DiskInfo& d : EnumeratePhysicalDisks(source, false, true)) out.push_back(d.safety);
        return out;
    };
    source.system = SystemDisksFrom(std::vector<Answer>{spanned});
    EXPECT_EQ(statuses(), (std::vector<std::uint32_t>{SystemDisk, InternalUnlocked, SystemDisk, InternalUnlocked, Erasable}));
    source.system = SystemDisksFrom(std::vector<Answer>{failed});
    EXPECT_EQ(statuses(), (std::vector<std::uint32_t>{SystemDisk, InternalLocked, InternalLocked, InternalLocked, Erasable}));
}

TEST(DiskScan, RemovableDriveEntry) {
    EXPECT_EQ(FormatRemovableDriveEntry(L"E:\\", L"DATA", 16000000000ULL), L"E: [DATA - 14.90 GB]");
    EXPECT_EQ(FormatRemovableDriveEntry(L"F:\\", L"", 0), L"F: [USB Drive - 0 B]");
}

}  // namespace
}  // namespace morvane
