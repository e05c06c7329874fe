// The SMBIOS walk on hand-built tables: field rules, byte orders, overwriting,
// string lookup, and every way a table can be cut or malformed.
#include <gtest/gtest.h>

#include "hwinfo/smbios.h"
#include "support/hwinfo_smbios.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using testing::RawSmbios;
using testing::SmbiosStructure;
using testing::SmbiosTable;

SmbiosFacts Parse(const std::vector<std::uint8_t>& raw) {
    // Fenced on both sides, so a stray read in any of these cases faults.
    const testing::FencedBytes end(raw, testing::FencedBytes::Flush::End);
    const testing::FencedBytes start(raw, testing::FencedBytes::Flush::Start);
    EXPECT_TRUE(end.ok() && start.ok());
    const SmbiosFacts viaStart = ParseSmbiosTable(start.bytes());
    SmbiosFacts facts = ParseSmbiosTable(end.bytes());
    EXPECT_EQ(facts.manufacturer, viaStart.manufacturer);
    return facts;
}

SmbiosStructure Bios(const std::string& vendor, const std::string& version, const std::string& date,
                     std::uint8_t romByte) {
    SmbiosStructure s(0, 0x12);
    s.Str(4, vendor).Str(5, version).Str(8, date).Byte(9, romByte);
    return s;
}

SmbiosStructure System(const std::string& maker, const std::string& model, const std::string& serial,
                       std::size_t length = 27) {
    SmbiosStructure s(1, length);
    s.Str(4, maker).Str(5, model).Str(7, serial);
    return s;
}

SmbiosStructure Memory(std::uint16_t size) {
    return SmbiosStructure(17, 0x28).Word(12, size);
}

TEST(Smbios, UuidTakesTheFirstThreeGroupsByteReversed) {
    SmbiosStructure system = System("Maker", "Model", "SN1");
    const std::uint8_t bytes[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                    0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    for (int i = 0; i < 16; ++i) system.Byte(8 + i, bytes[i]);
    const SmbiosFacts facts = Parse(RawSmbios({system}));
    EXPECT_EQ(facts.uuid, L"33221100-5544-7766-8899-AABBCCDDEEFF");
    EXPECT_EQ(facts.serial, L"SN1");
    // A system structure too short for the UUID sets the texts but no UUID.
    const SmbiosFacts shortSystem = Parse(RawSmbios({System("M", "P", "S", 8)}));
    EXPECT_EQ(shortSystem.uuid, L"");
    EXPECT_EQ(shortSystem.serial, L"S");
    EXPECT_EQ(Parse(RawSmbios({System("M", "P", "S", 23)})).uuid, L"");
}

TEST(Smbios, BiosLineOmitsEmptyPartsButAlwaysShowsRomSize) {
    const struct {
        SmbiosStructure bios;
        const wchar_t* expected;
    } cases[] = {
        {Bios("Vendor Inc.", "1.07", "03/14/2023", 0x0F),
         L"Vendor Inc., Version: 1.07, Date: 03/14/2023, ROM size: 1024 KB"},
        {Bios("Vendor Inc.", "", "03/14/2023", 0x0F), L"Vendor Inc., Date: 03/14/2023, ROM size: 1024 KB"},
        {Bios("Vendor Inc.", "1.07", "", 0x00), L"Vendor Inc., Version: 1.07, ROM size: 64 KB"},
        {Bios("", "", "", 0xFF), L", ROM size: 16384 KB"},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(RawSmbios({c.bios})).biosInformation, c.expected);
    // Shorter than the ROM size byte: ignored.
    SmbiosStructure shortBios(0, 9);
    shortBios.Str(4, "Vendor");
    EXPECT_EQ(Parse(RawSmbios({shortBios})).biosInformation, L"");
}

TEST(Smbios, ChassisNamesIgnoreTheLockBit) {
    const struct {
        std::uint8_t byte;
        const wchar_t* name;
    } named[] = {
        {3, L"Desktop"}, {4, L"Low Profile Desktop"}, {5, L"Pizza Box"}, {6, L"Mini Tower"},
        {7, L"Tower"}, {8, L"Portable"}, {9, L"Laptop"}, {10, L"Notebook"}, {11, L"Hand Held"},
        {13, L"All in One"}, {14, L"Sub Notebook"}, {15, L"Space-saving"}, {16, L"Lunch Box"},
        {17, L"Main Server Chassis"}, {23, L"Rack Mount Chassis"}, {30, L"Tablet"},
        {31, L"Convertible"}, {32, L"Detachable"}, {35, L"Mini PC"}, {36, L"Stick PC"},
        {0x8A, L"Notebook"}, {0x83, L"Desktop"}, {0x0C, L"Standard Enclosure"},
    };
    for (const auto& c : named) EXPECT_EQ(ChassisTypeName(c.byte), c.name) << int(c.byte);
    for (int b : {0, 1, 2, 12, 18, 19, 20, 21, 22, 24, 25, 26, 27, 28, 29, 33, 34, 37, 0x7F, 0x80, 0xFF}) {
        EXPECT_EQ(ChassisTypeName(static_cast<std::uint8_t>(b)), L"Standard Enclosure") << b;
    }
}

TEST(Smbios, EnclosureAssetTagReplacesOnlyWhenPresent) {
    SmbiosStructure tagged(3, 0x11);
    tagged.Byte(5, 0x8A).Str(8, "ASSET-0042");
    SmbiosStructure untagged(3, 0x11);
    untagged.Byte(5, 0x03);
    const SmbiosFacts facts = Parse(RawSmbios({tagged, untagged}));
    EXPECT_EQ(facts.chassisType, L"Desktop");  // the later structure wins
    EXPECT_EQ(facts.assetTag, L"ASSET-0042");  // but an empty tag does not erase
}

TEST(Smbios, BaseBoardJoinsMakerAndProduct) {
    const struct {
        std::string maker, product;
        const wchar_t* expected;
    } cases[] = {
        {"Board Co", "X570 PRO", L"Board Co / X570 PRO"},
        {"Board Co", "", L"Board Co"},
        {"", "X570 PRO", L" / X570 PRO"},
        {"", "", L""},
    };
    for (const auto& c : cases) {
        SmbiosStructure board(2, 0x0F);
        board.Str(4, c.maker).Str(5, c.product);
        EXPECT_EQ(Parse(RawSmbios({board})).motherboard, c.expected);
    }
}

TEST(Smbios, ProcessorClockAndCores) {
    SmbiosStructure full(4, 0x30);
    full.Word(22, 3600).Byte(35, 8);
    SmbiosStructure noCoreField(4, 35);
    noCoreField.Word(22, 2400).Byte(34, 99);
    SmbiosStructure zeroSpeed(4, 0x30);
    zeroSpeed.Byte(35, 4);

    SmbiosFacts f = Parse(RawSmbios({full}));
    EXPECT_EQ(f.clockMhz, 3600u);
    EXPECT_EQ(f.coreCount, 8u);
    f = Parse(RawSmbios({noCoreField}));
    EXPECT_EQ(f.clockMhz, 2400u);
    EXPECT_EQ(f.coreCount, 0u);
    // A later socket reporting speed 0 keeps the earlier clock, but sets its core count.
    f = Parse(RawSmbios({full, zeroSpeed}));
    EXPECT_EQ(f.clockMhz, 3600u);
    EXPECT_EQ(f.coreCount, 4u);
}

TEST(Smbios, MemoryDevicesCountPopulatedAndFreeBanks) {
    std::vector<SmbiosStructure> banks;
    for (std::uint16_t size : {8192, 0, 8192, 0xFFFF, 16384, 0, 4096, 32}) banks.push_back(Memory(size));
    banks.push_back(SmbiosStructure(17, 13).Word(11, 512));  // too short: not counted
    const SmbiosFacts f = Parse(RawSmbios(banks));
    EXPECT_EQ(f.populatedBanks, 5u);
    EXPECT_EQ(f.freeBanks, 3u);
}

TEST(Smbios, LaterStructuresOverwriteEarlierOnes) {
    SmbiosStructure first = System("First Maker", "First Model", "SN-1");
    first.Byte(8, 0x01);
    SmbiosStructure second = System("Second Maker", "", "");
    second.Byte(8, 0x02);
    const SmbiosFacts f = Parse(RawSmbios({first, Bios("B", "1", "d", 0), second}));
    EXPECT_EQ(f.manufacturer, L"Second Maker");
    EXPECT_EQ(f.model, L"");   // assigned even when empty
    EXPECT_EQ(f.serial, L"");
    EXPECT_EQ(f.uuid.substr(0, 8), L"00000002");
}

TEST(Smbios, StringsAreTrimmedUtf8) {
    SmbiosStructure system = System(" \t富士通株式会社\r\n", "Model  ", "   ");
    const SmbiosFacts f = Parse(RawSmbios({system}));
    EXPECT_EQ(f.manufacturer, L"富士通株式会社");
    EXPECT_EQ(f.model, L"Model");
    EXPECT_EQ(f.serial, L"");
}

// SmbiosString directly, on a structure of formatted length 4 followed by strings.
TEST(Smbios, StringLookupStopsAtTheAreaAndTheTableEnd) {
    const std::uint8_t table[] = {9, 4, 0, 0, 'a', 'b', 0, 'c', 0, 0, 'x'};
    const std::uint8_t* end = table + sizeof table;
    const struct {
        std::size_t formatted;
        const std::uint8_t* tableEnd;
        std::uint8_t index;
        const wchar_t* expected;
    } cases[] = {
        {4, end, 1, L"ab"},
        {4, end, 2, L"c"},
        {4, end, 3, L""},             // the area's terminator comes first
        {4, end, 0, L""},             // index 0 means "no string"
        {4, table + 6, 1, L""},       // "ab" cut before its zero
        {4, table + 7, 1, L"ab"},     // zero is the last byte
        {4, table + 7, 2, L""},       // nothing after it
        {4, table + 4, 1, L""},       // formatted area reaches the end
        {11, end, 1, L""},            // formatted area past the end
        {10, end, 1, L""},            // "x" has no terminator
        {4, end, 255, L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SmbiosString(table, c.formatted, c.tableEnd, c.index), c.expected)
            << c.formatted << " " << (c.tableEnd - table) << " " << int(c.index);
    }
    EXPECT_EQ(SmbiosString(table + 5, 0, table + 4, 1), L"");  // structure past the end
}

TEST(Smbios, MalformedTablesEndTheWalkKeepingEarlierFacts) {
    const SmbiosStructure system = System("Maker", "Model", "SN");
    const std::vector<std::uint8_t> good = SmbiosTable({system});
    const std::vector<std::uint8_t> bios = SmbiosTable({Bios("V", "1", "d", 0)});
    auto concat = [](std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    auto raw = [](const std::vector<std::uint8_t>& table) {
        return RawSmbios(table, static_cast<std::uint32_t>(table.size()));
    };

    // A structure with a length below 4 stops the walk: the BIOS after it is never read.
    std::vector<std::uint8_t> tiny = {0x7E, 3, 0, 0, 0, 0};
    SmbiosFacts f = Parse(raw(concat(concat(good, tiny), bios)));
    EXPECT_EQ(f.manufacturer, L"Maker");
    EXPECT_EQ(f.biosInformation, L"");

    // A formatted area running past the table end: not handled at all.
    std::vector<std::uint8_t> cut(bios.begin(), bios.begin() + 10);
    f = Parse(raw(concat(good, cut)));
    EXPECT_EQ(f.manufacturer, L"Maker");
    EXPECT_EQ(f.biosInformation, L"");

    // Formatted area intact, strings cut: handled with empty strings, then the walk ends.
    std::vector<std::uint8_t> noStrings(bios.begin(), bios.begin() + 0x12 + 1);
    f = Parse(raw(concat(good, noStrings)));
    EXPECT_EQ(f.biosInformation, L", ROM size: 64 KB");

    // No double zero: the structure counts, nothing after it is found.
    std::vector<std::uint8_t> unterminated = good;
    unterminated.pop_back();
    unterminated.push_back('Z');
    f = Parse(raw(concat(unterminated, bios)));
    EXPECT_EQ(f.manufacturer, L"Maker");
    EXPECT_EQ(f.biosInformation, L"");

    // A string index past the last string gives empty text.
    SmbiosStructure badIndex = System("Maker", "Model", "SN");
    badIndex.Byte(7, 9);
    f = Parse(RawSmbios({badIndex}));
    EXPECT_EQ(f.serial, L"");
    EXPECT_EQ(f.model, L"Model");

    // Declared length beyond the buffer: the buffer end is the table end.
    f = Parse(RawSmbios(concat(good, bios), 0xFFFFFFFFu));
    EXPECT_EQ(f.manufacturer, L"Maker");
    EXPECT_EQ(f.biosInformation, L"V, Version: 1, Date: d, ROM size: 64 KB");

    // Declared length shorter than the buffer: bytes past it are not table.
    f = Parse(RawSmbios(concat(good, bios), static_cast<std::uint32_t>(good.size())));
    EXPECT_EQ(f.manufacturer, L"Maker");
    EXPECT_EQ(f.biosInformation, L"");
    f = Parse(RawSmbios(concat(good, bios), static_cast<std::uint32_t>(good.size() - 1)));
    EXPECT_EQ(f.manufacturer, L"Maker");  // handled; its own terminator is cut off
    f = Parse(RawSmbios(good, 3));  // fewer than 4 table bytes
    EXPECT_EQ(f.manufacturer, L"");

    // Buffers shorter than a header and one byte.
    for (std::size_t n = 0; n <= 9; ++n) {
        std::vector<std::uint8_t> shortRaw = raw(good);
        shortRaw.resize(n);
        EXPECT_EQ(Parse(shortRaw).manufacturer, L"") << n;
    }
}

TEST(Smbios, FencesAroundTestBuffersAreInPlace) {
    const std::vector<std::uint8_t> bytes(100, 0x5A);
    const testing::FencedBytes end(bytes, testing::FencedBytes::Flush::End);
    const testing::FencedBytes start(bytes, testing::FencedBytes::Flush::Start);
    ASSERT_TRUE(end.ok());
    ASSERT_TRUE(start.ok());
    EXPECT_EQ(end.bytes()[99], 0x5A);
    EXPECT_EQ(testing::FencedBytes::Protection(end.bytes().data() + 100), DWORD(PAGE_NOACCESS));
    EXPECT_EQ(testing::FencedBytes::Protection(start.bytes().data() - 1), DWORD(PAGE_NOACCESS));
    EXPECT_EQ(testing::FencedBytes::Protection(end.bytes().data()), DWORD(PAGE_READONLY));
}

}  // namespace
}  // namespace morvane
