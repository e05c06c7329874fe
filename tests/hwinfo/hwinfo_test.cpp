// The hardware profile: the SMBIOS walk on hand-built tables, each read from a copy fenced by
// no-access pages so that a read past it faults; the lines composed from SMBIOS, registry,
// processor, memory, disk and device facts; and the device naming rules.
#include <gtest/gtest.h>

#include <functional>

#include "hwinfo/device_names.h"
#include "hwinfo/profile_compose.h"
#include "hwinfo/smbios.h"
#include "support/hwinfo_smbios.h"

namespace morvane {
namespace {

using testing::FencedBytes;
using testing::RawSmbios;
using testing::SmbiosStructure;
using testing::SmbiosTable;

SmbiosFacts Parse(const std::vector<std::uint8_t>& raw) {
    const FencedBytes fenced(raw);
    EXPECT_TRUE(fenced.ok());
    return ParseSmbiosTable(fenced.bytes());
}

SmbiosStructure Bios(const std::string& vendor, const std::string& version, const std::string& date, std::uint8_t rom) {
    return SmbiosStructure(0, 0x12).Str(4, vendor).Str(5, version).Str(8, date).Byte(9, rom);
}

SmbiosStructure System(const std::string& maker, const std::string& model, const std::string& serial,
                       std::size_t length = 27) {
    return SmbiosStructure(1, length).Str(4, maker).Str(5, model).Str(7, serial);
}

SmbiosStructure Enclosure(std::uint8_t type, const std::string& tag = "") {
    return SmbiosStructure(3, 0x11).Byte(5, type).Str(8, tag);
}

TEST(Smbios, StructuresGiveTheirFacts) {
    const auto bios = [](const SmbiosFacts& f) { return f.biosInformation; };
    const auto chassis = [](const SmbiosFacts& f) { return f.chassisType + L"|" + f.assetTag; };
    const auto cpu = [](const SmbiosFacts& f) { return std::to_wstring(f.clockMhz) + L"|" + std::to_wstring(f.coreCount); };
    const auto system = [](const SmbiosFacts& f) { return f.manufacturer + L"|" + f.model + L"|" + f.serial + L"|" + f.uuid; };
    SmbiosStructure uuid = System("Maker", "Model", "SN1");
    for (int i = 0; i < 16; ++i) uuid.Byte(8 + i, static_cast<std::uint8_t>(0x11 * i));
    const std::wstring zeros = L"-0000-0000-0000-000000000000";
    std::vector<SmbiosStructure> banks = {SmbiosStructure(17, 13).Word(11, 512)};  // too short: not counted
    for (std::uint16_t size : {8192, 0, 8192, 0xFFFF, 16384, 0, 4096, 32}) banks.push_back(SmbiosStructure(17, 0x28).Word(12, size));
    const struct {
        std::vector<SmbiosStructure> table;
        std::function<std::wstring(const SmbiosFacts&)> field;
        std::wstring expected;
    } cases[] = {
        {{Bios("Vendor Inc.", "1.07", "03/14/2023", 0x0F)}, bios, L"Vendor Inc., Version: 1.07, Date: 03/14/2023, ROM size: 1024 KB"},
        {{SmbiosStructure(0, 9).Str(4, "Vendor")}, bios, L""},  // shorter than the ROM size byte
        {{Enclosure(0x25)}, chassis, L"Standard Enclosure|"},  // past the last named type
        {{Enclosure(0x8A, "ASSET-0042"), Enclosure(0x03)}, chassis, L"Desktop|ASSET-0042"},  // an empty tag does not erase
        {{SmbiosStructure(2, 0x0F).Str(4, "Board Co").Str(5, "X570")}, [](auto& f) { return f.motherboard; }, L"Board Co / X570"},
        {{SmbiosStructure(4, 35).Word(22, 2400).Byte(34, 99)}, cpu, L"2400|0"},  // no core count field
        {{SmbiosStructure(4, 0x30).Word(22, 3600).Byte(35, 8), SmbiosStructure(4, 0x30).Byte(35, 4)}, cpu, L"3600|4"},  // speed 0 keeps the clock
        {banks, [](const SmbiosFacts& f) { return std::to_wstring(f.populatedBanks) + L"/" + std::to_wstring(f.freeBanks); }, L"5/3"},
        // Later structures overwrite earlier ones, even with empty texts.
        {{System("First", "Model", "SN-1").Byte(8, 1), Bios("B", "1", "d", 0), System("Second", "", "").Byte(8, 2)},
         system, L"Second|||00000002" + zeros},
        {{System(" \t富士通株式会社\r\n", "Model  ", "   ")}, system, L"富士通株式会社|Model||00000000" + zeros},  // trimmed
        {{uuid}, system, L"Maker|Model|SN1|33221100-5544-7766-8899-AABBCCDDEEFF"},  // first three groups byte-reversed
        {{System("M", "P", "S", 23)}, system, L"M|P|S|"},  // too short for the UUID
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].field(Parse(RawSmbios(cases[i].table))), cases[i].expected) << "row " << i;
}

TEST(Smbios, MalformedTablesEndTheWalkKeepingEarlierFacts) {
    const std::vector<std::uint8_t> good = SmbiosTable({System("Maker", "Model", "SN")}), bios = SmbiosTable({Bios("V", "1", "d", 0)});
    const auto join = [](std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) { return a.insert(a.end(), b.begin(), b.end()), a; };
    std::vector<std::uint8_t> unterminated = good;
    unterminated.back() = 'Z';  // no double zero: nothing after the structure is found
    const struct {
        const char* what;
        std::vector<std::uint8_t> raw;
        const wchar_t *manufacturer, *bios;
    } cases[] = {
        {"length below 4", RawSmbios(join(join(good, {0x7E, 3, 0, 0, 0, 0}), bios)), L"Maker", L""},
        {"formatted area past the end", RawSmbios(join(good, {bios.begin(), bios.begin() + 10})), L"Maker", L""},
        {"strings cut", RawSmbios(join(good, {bios.begin(), bios.begin() + 0x13})), L"Maker", L", ROM size: 64 KB"},
        {"unterminated", RawSmbios(join(unterminated, bios)), L"Maker", L""},
        {"declared beyond the buffer", RawSmbios(join(good, bios), 0xFFFFFFFFu), L"Maker", L"V, Version: 1, Date: d, ROM size: 64 KB"},
        {"declared shorter", RawSmbios(join(good, bios), static_cast<std::uint32_t>(good.size())), L"Maker", L""},
        {"own terminator cut off", RawSmbios(join(good, bios), static_cast<std::uint32_t>(good.size() - 1)), L"Maker", L""},
        {"fewer than 4 table bytes", RawSmbios(good, 3), L"", L""},
    };
    for (const auto& c : cases) {
        const SmbiosFacts f = Parse(c.raw);
        EXPECT_EQ(f.manufacturer + L"|" + f.biosInformation, std::wstring(c.manufacturer) + L"|" + c.bios) << c.what;
        const HardwareProfile p = ComposeHardwareProfile(f, {}, {}, 0, DiskInfo{}, {});  // placeholders fill the gaps
        for (const HardwareFieldRef& field : kHardwareFields) EXPECT_FALSE((p.*field.member).empty()) << c.what;
    }
    const SmbiosFacts badIndex = Parse(RawSmbios({System("Maker", "Model", "SN").Byte(7, 9)}));
    EXPECT_EQ(badIndex.serial + L"|" + badIndex.model, L"|Model") << "string index past the last string";
    const std::vector<std::uint8_t> whole = RawSmbios(good);
    for (std::size_t n = 0; n <= 9; ++n) EXPECT_EQ(Parse({whole.begin(), whole.begin() + n}).manufacturer, L"") << n;
}

HardwareProfile FromSmbios(const SmbiosFacts& smbios, const BiosRegistryValues& bios = {}) {
    return ComposeHardwareProfile(smbios, bios, {}, 0, DiskInfo{}, {});
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

TEST(ProfileCompose, RegistryFillsWhatSmbiosLeftEmptyAndTagsAndLines) {
    BiosRegistryValues bios{L"Reg Maker", L"Reg Model", L"", L"Reg Board", L"Reg BIOS", L"2.1", L"01/02/2021"};
    SmbiosFacts table;  // no BIOS vendor: the leading separator goes
    std::tie(table.manufacturer, table.motherboard, table.biosInformation) = std::tuple(L"Table Maker", L"Table Board", L", ROM size: 64 KB");
    const auto line = [](const HardwareProfile& p) { return p.manufacturer + L"|" + p.model + L"|" + p.motherboard + L"|" + p.biosInformation; };
    EXPECT_EQ(line(FromSmbios({}, bios)), L"Reg Maker|Reg Model| / Reg Board|Reg BIOS, Version: 2.1, Date: 01/02/2021");
    EXPECT_EQ(line(FromSmbios(table, bios)), L"Table Maker|Reg Model|Table Board|ROM size: 64 KB");
    bios.baseBoardProduct.clear();  // without base-board values: built from the final identity
    EXPECT_EQ(FromSmbios({}, bios).motherboard, L"Reg Maker / Reg Model");
    EXPECT_EQ(FromSmbios({}, {L"", L"", L"", L"", L"", L"1", L"D"}).biosInformation, L"Version: 1, Date: D");
    table.assetTag = table.serial = L"Default string";  // a placeholder tag becomes "None", a serial stays
    EXPECT_EQ(FromSmbios(table).assetTag + L"|" + FromSmbios(table).serial, L"None|Default string");
    EXPECT_EQ(ProcessorLine({L" \t ", 3000, 8}, 4700, 8),  // the processor's own clock wins; a blank name: a placeholder
              L"x86/x64 Compatible Processor, Current speed: 3000 MHz, Cores: 8 (8 Threads)");
    DiskInfo disk;
    std::tie(disk.sizeBytes, disk.model, disk.serialNumber, disk.mediaKind, disk.busKind, disk.bytesPerSector) =
        std::tuple(512110190592ull, L"Samsung SSD 980 PRO 500GB", L"S5GYNX0R123456", MediaNvmeSsd, BusNvme, 4096u);
    EXPECT_EQ(DiskGeometryLine(disk), L"NVMe 476.94 GB / 125026902 Sector(s), Sector size: 4096 B");
    EXPECT_EQ(DiskLine(disk), L"476.94 GB NVMe SSD, Model: Samsung SSD 980 PRO 500GB, Serial: S5GYNX0R123456");
}

TEST(DeviceNames, NamingDistinctNamesAndAdapters) {
    // The maker goes first unless generic or already there (case-sensitive); blanks are skipped;
    // distinct names up to the maximum, then no more asking.
    const std::vector<DeviceProperties> devices = {
        {L"", L"Radeon RX 6600", L"AMD"}, {L"NVIDIA GeForce", L"desc", L"NVIDIA"}, {L" \r\n", L"\t", L"Maker"},
        {L"", L"Basic Display Adapter", L"(Standard display types)"}, {L" \tFoo Card\r\n", L"", L"  Bar Inc\t"},
        {L"Intel UHD", L"", L"intel"}, {L"AMD, Radeon RX 6600", L"", L""}, {L"UHD", L"", L""}, {L"Never", L"", L""}};
    std::uint32_t asked = 0;
    const auto next = [&](std::uint32_t i) { return ++asked, i < devices.size() ? std::optional(devices[i]) : std::nullopt; };
    EXPECT_EQ(NameDevices(next, 6), (DeviceNameList{L"AMD, Radeon RX 6600", L"NVIDIA GeForce", L"Basic Display Adapter",
                                                   L"Bar Inc, Foo Card", L"intel, Intel UHD", L"UHD"}));
    EXPECT_EQ(asked, 8u);
    // Adapters without a 6-byte address are skipped; at most three.
    std::vector<AdapterFacts> adapters;
    for (const char* name : {"Loopback", "Intel Ethernet", "Tunnel", "", "Realtek Wi-Fi", "Fourth Ethernet"}) {
        const std::uint8_t last = static_cast<std::uint8_t>(adapters.size());
        adapters.push_back({name, last == 0 ? 0u : last == 2 ? 8u : 6u, {0x00, 0x1A, 0x2B, 0xCD, 0xEF, last}});
    }
    EXPECT_EQ(NetworkAdaptersText(AdapterItems(adapters), {L"never used"}),
              L"Adapter 1: Intel Ethernet, 00:1a:2b:cd:ef:01 | Adapter 2: Network Adapter, 00:1a:2b:cd:ef:03 | "
              L"Adapter 3: Realtek Wi-Fi, 00:1a:2b:cd:ef:04");
}

}  // namespace
}  // namespace morvane
