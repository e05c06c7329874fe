// Composition of the profile: registry fallbacks, placeholder tags, the BIOS,
// processor, memory and disk lines, and a whole profile from a table.
#include <gtest/gtest.h>

#include "hwinfo/profile_compose.h"
#include "support/hwinfo_smbios.h"

namespace morvane {
namespace {

using testing::SmbiosStructure;

HardwareProfile FromSmbios(const SmbiosFacts& smbios, const BiosRegistryValues& bios = {}) {
    return ComposeHardwareProfile(smbios, bios, {}, 0, DiskInfo{}, {});
}

TEST(ProfileCompose, RegistryFillsWhatSmbiosLeftEmpty) {
    BiosRegistryValues bios{L"Reg Maker", L"Reg Model", L"", L"Reg Board", L"Reg BIOS", L"2.1", L"01/02/2021"};
    SmbiosFacts table;
    table.manufacturer = L"Table Maker";
    table.motherboard = L"Table Board";
    table.biosInformation = L"Table BIOS, ROM size: 64 KB";
    const auto line = [](const HardwareProfile& p) {
        return p.manufacturer + L"|" + p.model + L"|" + p.motherboard + L"|" + p.biosInformation;
    };
    EXPECT_EQ(line(FromSmbios({}, bios)), L"Reg Maker|Reg Model| / Reg Board|Reg BIOS, Version: 2.1, Date: 01/02/2021");
    EXPECT_EQ(line(FromSmbios(table, bios)), L"Table Maker|Reg Model|Table Board|Table BIOS, ROM size: 64 KB");
    bios.baseBoardProduct.clear();  // without base-board values: built from the final identity
    EXPECT_EQ(FromSmbios({}, bios).motherboard, L"Reg Maker / Reg Model");
}

// Missing BIOS parts are left out with their labels, from the registry and from SMBIOS.
TEST(ProfileCompose, BiosLineLeavesOutEmptyParts) {
    const struct {
        const wchar_t *vendor, *version, *date, *smbios, *expected;
    } cases[] = {
        {L"V", L"1", L"D", L"", L"V, Version: 1, Date: D"}, {L"", L"1", L"D", L"", L"Version: 1, Date: D"},
        {L"V", L"", L"D", L"", L"V, Date: D"},              {L"V", L"", L"", L"", L"V"},
        {L"", L"", L"", L", ROM size: 64 KB", L"ROM size: 64 KB"},
        {L"", L"", L"", L", Version: 2, ROM size: 64 KB", L"Version: 2, ROM size: 64 KB"},
    };
    for (const auto& c : cases) {
        SmbiosFacts smbios;
        smbios.biosInformation = c.smbios;
        EXPECT_EQ(FromSmbios(smbios, {L"", L"", L"", L"", c.vendor, c.version, c.date}).biosInformation, c.expected);
    }
}

TEST(ProfileCompose, PlaceholderAssetTagsBecomeNoneButSerialsStay) {
    for (auto [tag, expected] : {std::pair{L"To Be Filled By O.E.M.", L"None"}, {L"Default string", L"None"},
                                 {L"", L"None"}, {L"to be filled by o.e.m.", L"to be filled by o.e.m."}}) {
        SmbiosFacts smbios;
        smbios.assetTag = tag;
        smbios.serial = L"To Be Filled By O.E.M.";
        const HardwareProfile p = FromSmbios(smbios);
        EXPECT_EQ(p.assetTag, expected);
        EXPECT_EQ(p.serial, L"To Be Filled By O.E.M.");
    }
}

TEST(ProfileCompose, ProcessorAndMemoryLines) {
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
    EXPECT_EQ(MemoryLine(17179869184ull + 1048575, 5, 3), L"16384 MB, Populated banks: 5, Free memory banks: 3");
    EXPECT_EQ(MemoryLine(8ull << 30, 0, 2), L"8192 MB, Populated banks: 1, Free memory banks: 2");
}

TEST(ProfileCompose, DiskLinesUseAtLeast512ByteSectors) {
    DiskInfo disk;
    disk.sizeBytes = 512110190592ull;
    disk.model = L"Samsung SSD 980 PRO 500GB";
    disk.serialNumber = L"S5GYNX0R123456";
    disk.mediaKind = MediaNvmeSsd;
    disk.busKind = BusNvme;
    const wchar_t* in512 = L"NVMe 476.94 GB / 1000215216 Sector(s), Sector size: 512 B";
    for (auto [sector, geometry] : {std::pair{512u, in512}, {0u, in512}, {256u, in512},
                                    {4096u, L"NVMe 476.94 GB / 125026902 Sector(s), Sector size: 4096 B"}}) {
        disk.bytesPerSector = sector;
        EXPECT_EQ(DiskGeometryLine(disk), geometry);
    }
    EXPECT_EQ(DiskLine(disk), L"476.94 GB NVMe SSD, Model: Samsung SSD 980 PRO 500GB, Serial: S5GYNX0R123456");
}

TEST(ProfileCompose, WholeProfileFromATable) {
    std::vector<SmbiosStructure> s = {
        SmbiosStructure(0, 0x18).Str(4, "FW Corp").Str(8, "06/01/2023").Byte(9, 0x0F),
        SmbiosStructure(1, 0x1B).Str(4, "Maker").Str(5, "Book 14").Str(7, "SN-9"),
        SmbiosStructure(3, 0x15).Byte(5, 0x8A).Str(8, "To Be Filled By O.E.M."),
        SmbiosStructure(4, 0x30).Word(22, 2800).Byte(35, 4)};
    for (std::uint16_t size : {0, 8192, 0xFFFF, 8192, 8192, 0, 4096, 4096}) s.push_back(SmbiosStructure(17, 0x22).Word(12, size));
    DeviceInventory devices;
    devices.display = {L"Iris Xe"};
    devices.media = {L"Realtek HD Audio", L"Display Audio"};
    devices.adapterItems = {L"Adapter 1: Wi-Fi, 00:11:22:33:44:55"};
    devices.scsiAdapters = {L"NVM Express"};
    DiskInfo disk;
    disk.sizeBytes = 1ull << 30;
    const HardwareProfile p = ComposeHardwareProfile(ParseSmbiosTable(testing::RawSmbios(s)), {}, {L"Core i5", 0, 8},
                                                     16ull << 30, disk, devices);
    const wchar_t* expected[16] = {
        L"Maker", L"Notebook", L"Book 14", L"SN-9", L"00000000-0000-0000-0000-000000000000", L"None",
        L"Core i5, Current speed: 2800 MHz, Cores: 4 (8 Threads)", L"16384 MB, Populated banks: 5, Free memory banks: 3",
        L"1.00 GB 標準ストレージ, Model: , Serial: ", L"Unknown 1.00 GB / 2097152 Sector(s), Sector size: 512 B",
        L"Iris Xe", L"Card 1: Realtek HD Audio | Card 2: Display Audio", L"Adapter 1: Wi-Fi, 00:11:22:33:44:55",
        L"Maker / Book 14", L"FW Corp, Date: 06/01/2023, ROM size: 1024 KB", L"NVM Express"};
    for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(p.*kHardwareFields[i].member, expected[i]) << i;
}

}  // namespace
}  // namespace morvane
