// Composition of the profile: registry fallbacks, identity defaults, the
// processor, memory and disk lines, and the whole profile from a table.
#include <gtest/gtest.h>

#include "hwinfo/profile_compose.h"
#include "support/hwinfo_smbios.h"

namespace morvane {
namespace {

using testing::SmbiosStructure;

HardwareProfile FromSmbios(const SmbiosFacts& smbios, const BiosRegistryValues& bios = {}) {
    return ComposeHardwareProfile(smbios, bios, {}, 0, DiskInfo{}, {});
}

TEST(ProfileCompose, WithoutSmbiosOrRegistryEveryIdentityFieldHasItsDefault) {
    const HardwareProfile p = FromSmbios({});
    EXPECT_EQ(p.manufacturer, L"Standard System Vendor");
    EXPECT_EQ(p.chassisType, L"Desktop / Space-saving");
    EXPECT_EQ(p.model, L"Standard PC");
    EXPECT_EQ(p.serial, L"None / System Default");
    EXPECT_EQ(p.uuid, L"00000000-0000-0000-0000-000000000000");
    EXPECT_EQ(p.assetTag, L"None");
    EXPECT_EQ(p.motherboard, L"Standard System Vendor / Standard PC");
    EXPECT_EQ(p.biosInformation, L"Unknown BIOS");
    EXPECT_EQ(p.processor, L"x86/x64 Compatible Processor, Current speed: 0 MHz, Cores: 0 (0 Threads)");
    EXPECT_EQ(p.totalMemory, L"0 MB, Populated banks: 1, Free memory banks: 0");
    EXPECT_EQ(p.graphicsCard, L"Standard VGA / GOP Graphics Adapter");
    EXPECT_EQ(p.soundCards, L"None / Standard High Definition Audio");
    EXPECT_EQ(p.networkAdapters, L"None / Offline");
    EXPECT_EQ(p.storageController, L"Standard Storage / NVMe / AHCI Controller");
}

TEST(ProfileCompose, RegistryFillsWhatSmbiosLeftEmpty) {
    BiosRegistryValues bios;
    bios.systemManufacturer = L"Reg Maker";
    bios.systemProductName = L"Reg Model";
    bios.baseBoardProduct = L"Reg Board";
    bios.biosVendor = L"Reg BIOS";
    bios.biosVersion = L"2.1";
    bios.biosReleaseDate = L"01/02/2021";
    HardwareProfile p = FromSmbios({}, bios);
    EXPECT_EQ(p.manufacturer, L"Reg Maker");
    EXPECT_EQ(p.model, L"Reg Model");
    EXPECT_EQ(p.motherboard, L" / Reg Board");
    EXPECT_EQ(p.biosInformation, L"Reg BIOS, Version: 2.1, Date: 01/02/2021");

    SmbiosFacts smbios;
    smbios.manufacturer = L"Table Maker";
    smbios.motherboard = L"Table Board";
    smbios.biosInformation = L"Table BIOS, ROM size: 64 KB";
    p = FromSmbios(smbios, bios);
    EXPECT_EQ(p.manufacturer, L"Table Maker");
    EXPECT_EQ(p.model, L"Reg Model");
    EXPECT_EQ(p.motherboard, L"Table Board");
    EXPECT_EQ(p.biosInformation, L"Table BIOS, ROM size: 64 KB");

    // Without base-board values the motherboard is built from the final identity.
    bios.baseBoardProduct.clear();
    p = FromSmbios({}, bios);
    EXPECT_EQ(p.motherboard, L"Reg Maker / Reg Model");
}

// Missing BIOS parts are left out with their labels, from the registry and from SMBIOS.
TEST(ProfileCompose, BiosLineLeavesOutEmptyParts) {
    const struct {
        const wchar_t* vendor;
        const wchar_t* version;
        const wchar_t* date;
        const wchar_t* smbios;
        const wchar_t* expected;
    } cases[] = {
        {L"V", L"1", L"D", L"", L"V, Version: 1, Date: D"},
        {L"", L"1", L"D", L"", L"Version: 1, Date: D"},
        {L"V", L"", L"D", L"", L"V, Date: D"},
        {L"V", L"", L"", L"", L"V"},
        {L"", L"", L"", L", ROM size: 64 KB", L"ROM size: 64 KB"},
        {L"", L"", L"", L", Version: 2, ROM size: 64 KB", L"Version: 2, ROM size: 64 KB"},
    };
    for (const auto& c : cases) {
        BiosRegistryValues bios;
        bios.biosVendor = c.vendor;
        bios.biosVersion = c.version;
        bios.biosReleaseDate = c.date;
        SmbiosFacts smbios;
        smbios.biosInformation = c.smbios;
        EXPECT_EQ(FromSmbios(smbios, bios).biosInformation, c.expected);
    }
}

TEST(ProfileCompose, PlaceholderAssetTagsBecomeNoneButSerialsStay) {
    const struct {
        const wchar_t* tag;
        const wchar_t* expected;
    } cases[] = {
        {L"To Be Filled By O.E.M.", L"None"},
        {L"Default string", L"None"},
        {L"", L"None"},
        {L"to be filled by o.e.m.", L"to be filled by o.e.m."},  // exact match only
        {L"ASSET-1", L"ASSET-1"},
    };
    for (const auto& c : cases) {
        SmbiosFacts smbios;
        smbios.assetTag = c.tag;
        smbios.serial = L"To Be Filled By O.E.M.";
        const HardwareProfile p = FromSmbios(smbios);
        EXPECT_EQ(p.assetTag, c.expected);
        EXPECT_EQ(p.serial, L"To Be Filled By O.E.M.");
    }
}

TEST(ProfileCompose, ProcessorLineFallsBackForClockCoresAndName) {
    const struct {
        ProcessorFacts cpu;
        std::uint32_t smbiosClock, smbiosCores;
        const wchar_t* expected;
    } cases[] = {
        {{L"  Intel(R) Core(TM) i7-9700 CPU @ 3.00GHz \r\n", 3000, 8}, 4700, 8,
         L"Intel(R) Core(TM) i7-9700 CPU @ 3.00GHz, Current speed: 3000 MHz, Cores: 8 (8 Threads)"},
        {{L"Chip", 0, 16}, 3400, 8, L"Chip, Current speed: 3400 MHz, Cores: 8 (16 Threads)"},
        {{L"Chip", 0, 4}, 0, 0, L"Chip, Current speed: 0 MHz, Cores: 4 (4 Threads)"},
        {{L" \t ", 2100, 2}, 0, 1, L"x86/x64 Compatible Processor, Current speed: 2100 MHz, Cores: 1 (2 Threads)"},
    };
    for (const auto& c : cases) EXPECT_EQ(ProcessorLine(c.cpu, c.smbiosClock, c.smbiosCores), c.expected);
}

TEST(ProfileCompose, MemoryLineShowsAtLeastOnePopulatedBank) {
    EXPECT_EQ(MemoryLine(17179869184ull + 1048575, 5, 3), L"16384 MB, Populated banks: 5, Free memory banks: 3");
    EXPECT_EQ(MemoryLine(8ull << 30, 0, 0), L"8192 MB, Populated banks: 1, Free memory banks: 0");
    EXPECT_EQ(MemoryLine(8ull << 30, 0, 2), L"8192 MB, Populated banks: 1, Free memory banks: 2");
}

TEST(ProfileCompose, DiskLinesUseAtLeast512ByteSectors) {
    DiskInfo disk;
    disk.sizeBytes = 512110190592ull;
    disk.model = L"Samsung SSD 980 PRO 500GB";
    disk.serialNumber = L"S5GYNX0R123456";
    disk.mediaKind = MediaNvmeSsd;
    disk.busKind = BusNvme;
    const struct {
        std::uint32_t bytesPerSector;
        const wchar_t* geometry;
    } cases[] = {
        {512, L"NVMe 476.94 GB / 1000215216 Sector(s), Sector size: 512 B"},
        {0, L"NVMe 476.94 GB / 1000215216 Sector(s), Sector size: 512 B"},
        {256, L"NVMe 476.94 GB / 1000215216 Sector(s), Sector size: 512 B"},
        {4096, L"NVMe 476.94 GB / 125026902 Sector(s), Sector size: 4096 B"},
    };
    for (const auto& c : cases) {
        disk.bytesPerSector = c.bytesPerSector;
        EXPECT_EQ(DiskGeometryLine(disk), c.geometry);
    }
    EXPECT_EQ(DiskLine(disk), L"476.94 GB NVMe SSD, Model: Samsung SSD 980 PRO 500GB, Serial: S5GYNX0R123456");
}

TEST(ProfileCompose, WholeProfileFromATable) {
    std::vector<SmbiosStructure> s;
    s.push_back(SmbiosStructure(0, 0x18).Str(4, "FW Corp").Str(5, "").Str(8, "06/01/2023").Byte(9, 0x0F));
    s.push_back(SmbiosStructure(1, 0x1B).Str(4, "Maker").Str(5, "Book 14").Str(7, "To Be Filled By O.E.M."));
    s.push_back(SmbiosStructure(3, 0x15).Byte(5, 0x8A).Str(8, "To Be Filled By O.E.M."));
    s.push_back(SmbiosStructure(4, 0x30).Word(22, 2800).Byte(35, 4));
    // Eight memory devices, three of them empty.
    for (std::uint16_t size : {0, 8192, 0xFFFF, 8192, 8192, 0, 4096, 4096}) s.push_back(SmbiosStructure(17, 0x22).Word(12, size));
    const SmbiosFacts smbios = ParseSmbiosTable(testing::RawSmbios(s));
    DeviceInventory devices;
    devices.display = {L"Intel(R) Iris(R) Xe Graphics"};
    devices.media = {L"Realtek High Definition Audio", L"Intel Display Audio"};
    devices.adapterItems = {L"Adapter 1: Wi-Fi, 00:11:22:33:44:55"};
    devices.scsiAdapters = {L"Standard NVM Express Controller"};
    const HardwareProfile p =
        ComposeHardwareProfile(smbios, {}, {L"Core i5", 0, 8}, 16ull << 30, DiskInfo{}, devices);
    EXPECT_EQ(p.manufacturer, L"Maker");
    EXPECT_EQ(p.chassisType, L"Notebook");
    EXPECT_EQ(p.model, L"Book 14");
    EXPECT_EQ(p.serial, L"To Be Filled By O.E.M.");
    EXPECT_EQ(p.uuid, L"00000000-0000-0000-0000-000000000000");  // all-zero bytes, formatted
    EXPECT_EQ(p.assetTag, L"None");
    EXPECT_EQ(p.processor, L"Core i5, Current speed: 2800 MHz, Cores: 4 (8 Threads)");
    EXPECT_EQ(p.totalMemory, L"16384 MB, Populated banks: 5, Free memory banks: 3");
    EXPECT_EQ(p.motherboard, L"Maker / Book 14");
    EXPECT_EQ(p.biosInformation, L"FW Corp, Date: 06/01/2023, ROM size: 1024 KB");
    EXPECT_EQ(p.graphicsCard, L"Intel(R) Iris(R) Xe Graphics");
    EXPECT_EQ(p.soundCards, L"Card 1: Realtek High Definition Audio | Card 2: Intel Display Audio");
    EXPECT_EQ(p.networkAdapters, L"Adapter 1: Wi-Fi, 00:11:22:33:44:55");
    EXPECT_EQ(p.storageController, L"Standard NVM Express Controller");
    EXPECT_EQ(p.disk, L"0 B 標準ストレージ, Model: , Serial: ");
    EXPECT_EQ(p.diskGeometry, L"Unknown 0 B / 0 Sector(s), Sector size: 512 B");
}

}  // namespace
}  // namespace morvane
