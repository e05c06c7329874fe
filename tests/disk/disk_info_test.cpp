// Size, bus and media texts and the narrow-text helpers.
#include <gtest/gtest.h>

#include "disk/disk_info.h"

namespace morvane {
namespace {

TEST(FormatSize, KnownValues) {
    struct Case { std::uint64_t bytes; const wchar_t* text; };
    const Case cases[] = {
        {0, L"0 B"},
        {500107862016ULL, L"465.76 GB"},
        {2000398934016ULL, L"1.82 TB"},
        {1048576ULL, L"1.0 MB"},
        {16000000000ULL, L"14.90 GB"},
        {1073741824ULL, L"1.00 GB"},          // exactly 1 GiB switches to GB
        {1073741823ULL, L"1024.0 MB"},        // one byte less stays in MB
        {1000ULL * 1073741824ULL, L"0.98 TB"},  // 1000 GiB switches to TB
        {999ULL * 1073741824ULL, L"999.00 GB"},
        {512, L"0.0 MB"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatSize(c.bytes), c.text) << c.bytes;
}

TEST(BusAndMedia, StorageBusTypeMapping) {
    const std::uint32_t expected[18] = {
        BusUnknown,  // 0 BusTypeUnknown
        BusScsiSas,  // 1 Scsi
        BusUnknown,  // 2 Atapi
        BusSata,     // 3 Ata
        BusUnknown,  // 4 1394
        BusUnknown,  // 5 Ssa
        BusScsiSas,  // 6 Fibre
        BusUsb,      // 7 Usb
        BusRaid,     // 8 RAID
        BusScsiSas,  // 9 iScsi
        BusScsiSas,  // 10 Sas
        BusSata,     // 11 Sata
        BusSdCard,   // 12 Sd
        BusMmc,      // 13 Mmc
        BusVirtual,  // 14 Virtual
        BusVirtual,  // 15 FileBackedVirtual
        BusRaid,     // 16 Spaces
        BusNvme,     // 17 Nvme
    };
    for (std::uint32_t t = 0; t < 18; ++t) EXPECT_EQ(BusKindFromStorageBusType(t), expected[t]) << t;
    EXPECT_EQ(BusKindFromStorageBusType(18), BusUnknown);
    EXPECT_EQ(BusKindFromStorageBusType(0x7F), BusUnknown);
}

TEST(BusAndMedia, DisplayNames) {
    EXPECT_EQ(BusKindName(BusUsb), L"USB");
    EXPECT_EQ(BusKindName(BusScsiSas), L"SCSI/SAS");
    EXPECT_EQ(BusKindName(BusSdCard), L"SD Card");
    EXPECT_EQ(BusKindName(BusVirtual), L"Virtual");
    EXPECT_EQ(BusKindName(9), L"Unknown");
    EXPECT_EQ(MediaKindName(MediaHdd), L"HDD (磁気ディスク)");
    EXPECT_EQ(MediaKindName(MediaSsd), L"SSD (SATA/SAS)");
    EXPECT_EQ(MediaKindName(MediaNvmeSsd), L"NVMe SSD");
    EXPECT_EQ(MediaKindName(MediaRemovable), L"リムーバブル (USB/フラッシュ)");
    EXPECT_EQ(MediaKindName(0), L"標準ストレージ");
    EXPECT_EQ(MediaKindName(5), L"標準ストレージ");
}

}  // namespace
}  // namespace morvane
