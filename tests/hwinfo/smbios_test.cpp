// The SMBIOS walk on hand-built tables (field rules, byte order, overwriting, string
// lookup, malformed tables) and on ten thousand mutated ones; every table is read
// from a copy fenced by no-access pages, so a read outside it faults.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "hwinfo/profile_compose.h"
#include "hwinfo/smbios.h"
#include "support/hwinfo_smbios.h"

namespace morvane {
namespace {

using testing::FencedBytes;
using testing::RawSmbios;
using testing::SmbiosStructure;
using testing::SmbiosTable;

// Flush against the fence after the bytes (overruns) and before them (underruns).
SmbiosFacts Parse(const std::vector<std::uint8_t>& raw) {
    const FencedBytes end(raw, FencedBytes::Flush::End), start(raw, FencedBytes::Flush::Start);
    EXPECT_TRUE(end.ok() && start.ok());
    const SmbiosFacts facts = ParseSmbiosTable(end.bytes());
    EXPECT_EQ(ParseSmbiosTable(start.bytes()).biosInformation, facts.biosInformation);
    return facts;
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

TEST(Smbios, UuidTakesTheFirstThreeGroupsByteReversed) {
    SmbiosStructure system = System("Maker", "Model", "SN1");
    for (int i = 0; i < 16; ++i) system.Byte(8 + i, static_cast<std::uint8_t>(0x11 * i));
    EXPECT_EQ(Parse(RawSmbios({system})).uuid, L"33221100-5544-7766-8899-AABBCCDDEEFF");
    // A system structure too short for the UUID sets the texts but no UUID.
    for (std::size_t length : {8u, 23u}) {
        const SmbiosFacts f = Parse(RawSmbios({System("M", "P", "S", length)}));
        EXPECT_EQ(f.uuid + L"|" + f.serial, L"|S") << length;
    }
}

TEST(Smbios, StructuresGiveTheirFacts) {
    const auto bios = [](const SmbiosFacts& f) { return f.biosInformation; };
    const auto chassis = [](const SmbiosFacts& f) { return f.chassisType + L"|" + f.assetTag; };
    const auto board = [](const SmbiosFacts& f) { return f.motherboard; };
    const auto cpu = [](const SmbiosFacts& f) { return std::to_wstring(f.clockMhz) + L"|" + std::to_wstring(f.coreCount); };
    const auto system = [](const SmbiosFacts& f) { return f.manufacturer + L"|" + f.model + L"|" + f.serial + L"|" + f.uuid.substr(0, 8); };
    const SmbiosStructure cpuFull = SmbiosStructure(4, 0x30).Word(22, 3600).Byte(35, 8);
    std::vector<SmbiosStructure> banks;
    for (std::uint16_t size : {8192, 0, 8192, 0xFFFF, 16384, 0, 4096, 32}) banks.push_back(SmbiosStructure(17, 0x28).Word(12, size));
    banks.push_back(SmbiosStructure(17, 13).Word(11, 512));  // too short: not counted
    const struct {
        std::vector<SmbiosStructure> table;
        std::function<std::wstring(const SmbiosFacts&)> field;
        std::wstring expected;
    } cases[] = {
        {{Bios("Vendor Inc.", "1.07", "03/14/2023", 0x0F)}, bios, L"Vendor Inc., Version: 1.07, Date: 03/14/2023, ROM size: 1024 KB"},
        {{Bios("Vendor Inc.", "", "03/14/2023", 0x00)}, bios, L"Vendor Inc., Date: 03/14/2023, ROM size: 64 KB"},
        {{Bios("", "1.07", "", 0xFF)}, bios, L", Version: 1.07, ROM size: 16384 KB"},
        {{SmbiosStructure(0, 9).Str(4, "Vendor")}, bios, L""},  // shorter than the ROM size byte
        {{Enclosure(0x8A)}, chassis, L"Notebook|"},  // the lock bit is ignored
        {{Enclosure(0x24)}, chassis, L"Stick PC|"},
        {{Enclosure(0x25)}, chassis, L"Standard Enclosure|"},
        {{Enclosure(0x0C)}, chassis, L"Standard Enclosure|"},
        {{Enclosure(0x8A, "ASSET-0042"), Enclosure(0x03)}, chassis, L"Desktop|ASSET-0042"},  // an empty tag does not erase
        {{SmbiosStructure(2, 0x0F).Str(4, "Board Co").Str(5, "X570")}, board, L"Board Co / X570"},
        {{SmbiosStructure(2, 0x0F).Str(4, "Board Co")}, board, L"Board Co"},
        {{SmbiosStructure(2, 0x0F).Str(5, "X570")}, board, L" / X570"},
        {{SmbiosStructure(2, 0x0F)}, board, L""},
        {{cpuFull}, cpu, L"3600|8"},
        {{SmbiosStructure(4, 35).Word(22, 2400).Byte(34, 99)}, cpu, L"2400|0"},  // no core count field
        {{cpuFull, SmbiosStructure(4, 0x30).Byte(35, 4)}, cpu, L"3600|4"},  // speed 0 keeps the clock
        {banks, [](const SmbiosFacts& f) { return std::to_wstring(f.populatedBanks) + L"/" + std::to_wstring(f.freeBanks); }, L"5/3"},
        // Later structures overwrite earlier ones, even with empty texts.
        {{System("First", "Model", "SN-1").Byte(8, 1), Bios("B", "1", "d", 0), System("Second", "", "").Byte(8, 2)},
         system, L"Second|||00000002"},
        {{System(" \t富士通株式会社\r\n", "Model  ", "   ")}, system, L"富士通株式会社|Model||00000000"},  // trimmed UTF-8
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].field(Parse(RawSmbios(cases[i].table))), cases[i].expected) << "row " << i;
}

// A structure of formatted length 4 followed by strings.
TEST(Smbios, StringLookupStopsAtTheAreaAndTheTableEnd) {
    const std::uint8_t t[] = {9, 4, 0, 0, 'a', 'b', 0, 'c', 0, 0, 'x'};
    const std::uint8_t* end = t + sizeof t;
    const struct {
        std::size_t formatted;
        const std::uint8_t* tableEnd;
        std::uint8_t index;
        const wchar_t* expected;
    } cases[] = {
        {4, end, 1, L"ab"}, {4, end, 2, L"c"}, {4, end, 3, L""},  // the area's terminator comes first
        {4, end, 0, L""},                                            // index 0 means "no string"
        {4, t + 6, 1, L""}, {4, t + 7, 1, L"ab"}, {4, t + 7, 2, L""},  // cut strings
        {4, t + 4, 1, L""}, {11, end, 1, L""},                       // formatted area reaching the end
        {10, end, 1, L""},                                           // "x" has no terminator
        {4, end, 255, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SmbiosString(t, c.formatted, c.tableEnd, c.index), c.expected) << c.formatted << " " << (c.tableEnd - t) << " " << int(c.index);
    EXPECT_EQ(SmbiosString(t + 5, 0, t + 4, 1), L"");  // structure past the end
}

TEST(Smbios, MalformedTablesEndTheWalkKeepingEarlierFacts) {
    const std::vector<std::uint8_t> good = SmbiosTable({System("Maker", "Model", "SN")});
    const std::vector<std::uint8_t> bios = SmbiosTable({Bios("V", "1", "d", 0)});
    const auto join = [](std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const auto raw = [](const std::vector<std::uint8_t>& table, std::uint32_t declared = 0) {
        return RawSmbios(table, declared ? declared : static_cast<std::uint32_t>(table.size()));
    };
    std::vector<std::uint8_t> unterminated = good;
    unterminated.back() = 'Z';  // no double zero: nothing after the structure is found
    const struct {
        const char* what;
        std::vector<std::uint8_t> raw;
        const wchar_t *manufacturer, *bios;
    } cases[] = {
        {"length below 4", raw(join(join(good, {0x7E, 3, 0, 0, 0, 0}), bios)), L"Maker", L""},
        {"formatted area past the end", raw(join(good, {bios.begin(), bios.begin() + 10})), L"Maker", L""},
        {"strings cut", raw(join(good, {bios.begin(), bios.begin() + 0x13})), L"Maker", L", ROM size: 64 KB"},
        {"unterminated", raw(join(unterminated, bios)), L"Maker", L""},
        {"declared beyond the buffer", raw(join(good, bios), 0xFFFFFFFFu), L"Maker", L"V, Version: 1, Date: d, ROM size: 64 KB"},
        {"declared shorter", raw(join(good, bios), static_cast<std::uint32_t>(good.size())), L"Maker", L""},
        {"own terminator cut off", raw(join(good, bios), static_cast<std::uint32_t>(good.size() - 1)), L"Maker", L""},
        {"fewer than 4 table bytes", raw(good, 3), L"", L""},
    };
    for (const auto& c : cases) {
        const SmbiosFacts f = Parse(c.raw);
        EXPECT_EQ(f.manufacturer + L"|" + f.biosInformation, std::wstring(c.manufacturer) + L"|" + c.bios) << c.what;
    }
    const SmbiosFacts badIndex = Parse(RawSmbios({System("Maker", "Model", "SN").Byte(7, 9)}));
    EXPECT_EQ(badIndex.serial + L"|" + badIndex.model, L"|Model") << "string index past the last string";
    for (std::size_t n = 0; n <= 9; ++n) {
        std::vector<std::uint8_t> cut = raw(good);
        cut.resize(n);
        EXPECT_EQ(Parse(cut).manufacturer, L"") << n;
    }
}

TEST(Smbios, TenThousandMutatedTablesStayInsideTheirBuffers) {
    std::vector<SmbiosStructure> s = {Bios("American Firmware", "F.42", "05/06/2022", 0x3F),
                                      System("Maker Co", "Model X1", "SN123"),
                                      SmbiosStructure(2, 0x0F).Str(4, "Board Co").Str(5, "B550"), Enclosure(0x0A, "Tag 7"),
                                      SmbiosStructure(4, 0x30).Word(22, 3400).Byte(35, 6).Str(4, "CPU socket")};
    for (std::uint16_t size : {8192, 0, 0xFFFF, 16384}) s.push_back(SmbiosStructure(17, 0x28).Word(12, size).Str(16, "DIMM"));
    s.push_back(SmbiosStructure(127, 4));
    const std::vector<std::uint8_t> base = RawSmbios(s);
    ASSERT_EQ(Parse(base).coreCount, 6u) << "the unmutated table is read to its end";
    std::mt19937 rng(20240611);
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % (n == 0 ? 1 : n)); };
    int readable = 0;
    for (int n = 0; n < 10000; ++n) {
        std::vector<std::uint8_t> raw = base;
        for (int e = 1 + static_cast<int>(rng() % 6); e > 0 && !raw.empty(); --e) {
            switch (rng() % 7) {
                case 0: raw.resize(pick(raw.size() + 1)); break;                         // cut anywhere
                case 1: raw[pick(raw.size())] = static_cast<std::uint8_t>(rng()); break;  // any byte
                case 2: raw[pick(raw.size())] = static_cast<std::uint8_t>(rng() % 6); break;  // small lengths, indexes
                case 3:  // declared length: anything, often larger than the buffer
                    if (raw.size() >= 8) {
                        const std::uint32_t length = rng() % 2 ? rng() : static_cast<std::uint32_t>(pick(raw.size() + 16));
                        for (int i = 0; i < 4; ++i) raw[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
                    }
                    break;
                case 4:  // string areas lose their terminators
                    for (std::size_t i = pick(raw.size()); i < raw.size() && rng() % 8; ++i) raw[i] += raw[i] == 0;
                    break;
                case 5: {  // cut out a run of bytes
                    const auto at = raw.begin() + static_cast<std::ptrdiff_t>(pick(raw.size()));
                    raw.erase(at, at + std::min<std::ptrdiff_t>(raw.end() - at, 1 + static_cast<std::ptrdiff_t>(pick(24))));
                    break;
                }
                default:  // garbage tail
                    for (std::size_t k = pick(32); k > 0; --k) raw.push_back(static_cast<std::uint8_t>(rng()));
            }
        }
        const SmbiosFacts facts = Parse(raw);
        readable += !facts.manufacturer.empty() || !facts.biosInformation.empty();
        const HardwareProfile p = ComposeHardwareProfile(facts, {}, {}, 0, DiskInfo{}, {});
        for (const HardwareFieldRef& field : kHardwareFields) ASSERT_FALSE((p.*field.member).empty()) << n;
        ASSERT_EQ(p.uuid.size(), 36u) << n;
    }
    EXPECT_GT(readable, 1000) << "the mutations must leave many tables partly readable";
}

}  // namespace
}  // namespace morvane
