// SATA: the ATA pass-through requests byte for byte against the ACS command layouts and
// the Windows structure, IDENTIFY DEVICE parsed from the fixture sectors that hdparm
// decodes the same way (check_ata_scsi_decoders.py), status and native-maximum registers,
// and the hidden-capacity judgement through a fake drive.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "firmware/drive_discovery.h"
#include "support/drive_fakes.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using namespace testing;

// ATA_PASS_THROUGH_EX as Windows lays it out: 48 bytes on x64 (ULONG_PTR DataBufferOffset
// at 24, PreviousTaskFile at 32, CurrentTaskFile at 40), 40 bytes on x86 (20, 24, 32).
constexpr bool k64 = sizeof(void*) == 8;
constexpr std::size_t kAptSize = k64 ? 48 : 40, kAptBufferOffset = k64 ? 24 : 20;
constexpr std::size_t kPrevious = k64 ? 32 : 24, kCurrent = k64 ? 40 : 32;

using TaskFile = std::array<std::uint8_t, 8>;  // Features, Count, LBA 7:0, 15:8, 23:16, Device, Command, -

std::vector<std::uint8_t> ExpectedApt(std::uint16_t flags, std::uint32_t dataLength, TaskFile previous, TaskFile current) {
    std::vector<std::uint8_t> bytes(kAptSize + dataLength, 0);
    PutLe(bytes, 0, kAptSize, 2);
    PutLe(bytes, 2, flags, 2);
    PutLe(bytes, 8, dataLength, 4);
    PutLe(bytes, 12, 30, 4);  // TimeOutValue
    if (dataLength) PutLe(bytes, kAptBufferOffset, kAptSize, k64 ? 8 : 4);
    std::copy(previous.begin(), previous.end(), bytes.begin() + kPrevious);
    std::copy(current.begin(), current.end(), bytes.begin() + kCurrent);
    return bytes;
}

TEST(AtaRequests, BuffersMatchTheAcsLayouts) {
    constexpr std::uint16_t kDataIn = 0x03, k48Bit = 0x09;  // DRDY_REQUIRED | DATA_IN, DRDY_REQUIRED | 48BIT
    const TaskFile none = {};
    const struct {
        const char* what;
        std::vector<std::uint8_t> built, expected;
    } cases[] = {
        {"IDENTIFY DEVICE", BuildAtaIdentify(), ExpectedApt(kDataIn, 512, none, {0, 0, 0, 0, 0, 0, 0xEC, 0})},
        // SANITIZE DEVICE B4h: the function in Features, its key in LBA 31:0 ("Cryp", "BkEr"),
        // LBA 31:24 in the previous registers, Device bit 6 (LBA); failure mode 0.
        {"CRYPTO SCRAMBLE EXT", BuildAtaSanitize({SanitizeMethod::CryptoErase}),
         ExpectedApt(k48Bit, 0, {0, 0, 0x43, 0, 0, 0, 0, 0}, {0x11, 0, 0x70, 0x79, 0x72, 0x40, 0xB4, 0})},
        {"BLOCK ERASE EXT", BuildAtaSanitize({SanitizeMethod::BlockErase}),
         ExpectedApt(k48Bit, 0, {0, 0, 0x42, 0, 0, 0, 0, 0}, {0x12, 0, 0x72, 0x45, 0x6B, 0x40, 0xB4, 0})},
        // OVERWRITE EXT: "OW" in LBA 47:32, the pattern in LBA 31:0, the passes in Count 3:0.
        {"OVERWRITE EXT, one pass of zeros", BuildAtaSanitize({SanitizeMethod::Overwrite}),
         ExpectedApt(k48Bit, 0, {0, 0, 0, 0x57, 0x4F, 0, 0, 0}, {0x14, 0x01, 0, 0, 0, 0x40, 0xB4, 0})},
        {"OVERWRITE EXT, 16 passes (0) of A5h", BuildAtaSanitize({SanitizeMethod::Overwrite, 16, 0xA5A5A5A5}),
         ExpectedApt(k48Bit, 0, {0, 0, 0xA5, 0x57, 0x4F, 0, 0, 0}, {0x14, 0x00, 0xA5, 0xA5, 0xA5, 0x40, 0xB4, 0})},
        {"SANITIZE STATUS EXT", BuildAtaSanitizeStatus(), ExpectedApt(k48Bit, 0, none, {0, 0, 0, 0, 0, 0x40, 0xB4, 0})},
        {"GET NATIVE MAX ADDRESS EXT", BuildAtaGetNativeMaxAddress(),
         ExpectedApt(k48Bit, 0, none, {0, 0, 0, 0, 0, 0x40, 0x78, 0})},
        {"READ NATIVE MAX ADDRESS EXT", BuildAtaReadNativeMaxAddressExt(),
         ExpectedApt(k48Bit, 0, none, {0, 0, 0, 0, 0, 0x40, 0x27, 0})},
        {"DEVICE CONFIGURATION IDENTIFY", BuildAtaDcoIdentify(),
         ExpectedApt(kDataIn, 512, none, {0xC2, 0, 0, 0, 0, 0, 0xB1, 0})},
    };
    for (const auto& c : cases) EXPECT_EQ(c.built, c.expected) << c.what;
    EXPECT_TRUE(BuildAtaSanitize({SanitizeMethod::None}).empty());
    // IDENTIFY as a property query: STORAGE_PROPERTY_QUERY {StorageDeviceProtocolSpecificProperty
    // 50, standard query}, STORAGE_PROTOCOL_SPECIFIC_DATA {ATA 2, identify 1, data at 40, 512 bytes}.
    std::vector<std::uint8_t> query(48 + 512, 0);
    for (const auto& [at, value] : {std::pair{0, 50}, {8, 2}, {12, 1}, {24, 40}, {28, 512}}) PutLe(query, at, value, 4);
    EXPECT_EQ(BuildAtaIdentifyQuery(), query);
}

TEST(AtaRegisters, StatusAndNativeMaximumFromTheTaskFiles) {
    // Output registers: Error where Features was, Status where Command was; Count 15:8 and
    // LBA 47:24 in the previous registers.
    const auto answer = [](std::uint8_t status, std::uint8_t error, TaskFile previous, TaskFile current) {
        current[0] = error;
        current[6] = status;
        return ExpectedApt(0x09, 0, previous, current);
    };
    // The flags a reading sets, then the progress (of an answer that was not aborted).
    const auto describe = [](const std::optional<AtaSanitizeStatus>& s) {
        if (!s) return std::string("no reading");
        return std::string(s->completedWithoutError ? "completed " : "") + (s->inProgress ? "running " : "") +
               (s->frozen ? "frozen " : "") + (s->failed() ? "failed " : "") + (s->aborted ? "" : std::to_string(s->progress));
    };
    const std::pair<std::vector<std::uint8_t>, std::string> rows[] = {
        {answer(0x50, 0, {0, 0x80}, {0, 0, 0xFF, 0xFF}), "completed 65535"},
        {answer(0x50, 0, {0, 0x40}, {0, 0, 0x00, 0x40}), "running 16384"},  // 25%
        {answer(0x50, 0, {0, 0x20}, {0, 0, 0xFF, 0xFF}), "frozen 65535"},
        {answer(0x51, 0x04, {}, {0, 0, 0x01}), "failed "},  // aborted, reason 1
        {answer(0x51, 0x04, {}, {0, 0, 0x03}), "frozen "},  // aborted, reason 3
        {answer(0x00, 0, {0, 0x80}, {}), "no reading"},      // no registers filled in
        {answer(0xD0, 0, {0, 0x80}, {}), "no reading"},      // busy
    };
    for (const auto& [bytes, expected] : rows) {
        const auto parsed = ParseAtaPassThrough(bytes, 0);
        ASSERT_TRUE(parsed) << expected;
        EXPECT_EQ(describe(ParseAtaSanitizeStatus(parsed->registers)), expected);
    }
    // LBA 47:0 of the native maximum: 0x0123_4567_89AB.
    const auto native = ParseAtaPassThrough(answer(0x50, 0, {0, 0, 0x45, 0x23, 0x01}, {0, 0, 0xAB, 0x89, 0x67}), 0);
    EXPECT_EQ(ParseNativeMaxAddress(native->registers), std::optional<std::uint64_t>(0x0123456789ABull));
    EXPECT_FALSE(ParseNativeMaxAddress(ParseAtaPassThrough(answer(0x51, 0x04, {}, {}), 0)->registers));
    EXPECT_FALSE(ParseAtaPassThrough(std::vector<std::uint8_t>(kAptSize - 1, 0), 0));
}

std::map<std::string, std::string> Fields(const AtaIdentity& id) {
    const auto yes = [](bool b) { return std::string(b ? "yes" : "no"); };
    std::map<std::string, std::string> f = {
        {"model", id.model}, {"serial", id.serial}, {"firmware", id.firmware},
        {"sectors28", std::to_string(id.sectors28)}, {"lba48", yes(id.lba48)},
        {"sectors48", std::to_string(id.sectors48)}, {"addressable", std::to_string(id.addressableSectors())},
        {"sanitize", yes(id.sanitize)}, {"crypto", yes(id.cryptoScramble)}, {"overwrite", yes(id.overwrite)},
        {"block", yes(id.blockErase)}, {"hpa", yes(id.hostProtectedArea)}, {"dco", yes(id.deviceConfigurationOverlay)},
        {"ama", yes(id.accessibleMaxAddress)}, {"security", yes(id.security.supported)},
        {"security_enabled", yes(id.security.enabled)}, {"security_locked", yes(id.security.locked)},
        {"security_frozen", yes(id.security.frozen)}, {"enhanced_erase", yes(id.security.enhancedErase)},
        {"erase_minutes", std::to_string(id.security.normalEraseMinutes)},
        {"enhanced_minutes", std::to_string(id.security.enhancedEraseMinutes)}};
    return f;
}

TEST(AtaIdentify, FixtureSectorsReadAsTheirTableSays) {
    std::ifstream table(FirmwareFixtures() / L"identify_expected.txt");
    ASSERT_TRUE(table) << "fixtures missing beside the test executable";
    int checked = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream row(line);
        std::string file, field, value;
        row >> file >> field;
        std::getline(row >> std::ws, value);
        const auto id = ParseAtaIdentify(ReadSector(FirmwareFixtures() / file));
        ASSERT_TRUE(id) << file;
        const auto fields = Fields(*id);
        ASSERT_TRUE(fields.count(field)) << field;
        EXPECT_EQ(fields.at(field), value) << file << " " << field;
        ++checked;
    }
    EXPECT_GT(checked, 50);

    std::vector<std::uint8_t> ssd = ReadSector(FirmwareFixtures() / L"identify_ssd.txt");  // parsed by the table
    // The sanitize state from SANITIZE STATUS EXT; the security erase shown, never used.
    const struct {
        AtaRegs status;
        const wchar_t* text;
        const wchar_t* safetyNoteHas;  // empty: no note
    } states[] = {
        {AtaRegs{}, L"FW: Crypto/Block, Security Erase あり (不使用)", L""},
        {AtaRegs{0x50, 0, 0x2000, 0xFFFF}, L"FW: Crypto/Block (凍結), Security Erase あり (不使用)", L"抜き差しのみ"},
        {AtaAborted(1), L"FW: Crypto/Block (前回失敗), Security Erase あり (不使用)", L"失敗しています"},
    };
    for (const auto& state : states) {
        FakeAtaDrive drive;
        drive.identify = ssd;
        drive.statusScript = {state.status};
        const FirmwareCapabilities caps = DiscoverAta(drive).capabilities;
        EXPECT_EQ(CapabilityText(caps), state.text);
        const std::wstring note = FirmwareSafetyNote(caps, true);
        EXPECT_EQ(note.empty(), *state.safetyNoteHas == 0) << Narrow(state.text);
        EXPECT_NE(note.find(state.safetyNoteHas), std::wstring::npos) << Narrow(note);
    }
    EXPECT_EQ(CapabilityDetail(AtaCapabilities(*ParseAtaIdentify(ssd))).rfind(
                  L"ATA Sanitize: Crypto Scramble, Block Erase; Security: supported, not enabled, not locked, frozen, "
                  L"enhanced erase supported, erase time 2 min / enhanced 4 min (SECURITY ERASE UNIT is never used", 0), 0u);
    std::vector<std::uint8_t> broken = ssd;
    broken[118] ^= 0x01;  // a bit of word 59 flipped: the checksum no longer holds
    EXPECT_FALSE(ParseAtaIdentify(broken));
    EXPECT_FALSE(ParseAtaIdentify(std::vector<std::uint8_t>(512, 0)));  // a driver that passed no data
    EXPECT_FALSE(ParseAtaIdentify(std::span(ssd).first(511)));

    // Through a handle without write access only the IDENTIFY property query goes out.
    FakeAtaDrive drive;
    drive.identify = ssd;
    const FirmwareDiscovery found = DiscoverFirmware(drive, DriveProtocol::Ata, DiscoveryAccess::PropertyQueriesOnly);
    EXPECT_EQ(CapabilityText(found.capabilities), L"FW: Crypto/Block, Security Erase あり (不使用)");
    EXPECT_EQ(found.hidden.state, HiddenCapacity::State::Unknown);
    EXPECT_EQ(drive.propertyQueries, 1);
    EXPECT_EQ(drive.sent.size(), 1u);
    FakeScsiDrive sas;
    EXPECT_FALSE(DiscoverFirmware(sas, DriveProtocol::Scsi, DiscoveryAccess::PropertyQueriesOnly).capabilities.known);
    EXPECT_TRUE(sas.sent.empty());
}

std::vector<std::uint8_t> DcoSector(std::uint64_t maxLba) {
    std::vector<std::uint8_t> sector(512, 0);
    PutLe(sector, 0, 2, 2);  // revision
    PutLe(sector, 6, maxLba, 8);
    sector[510] = 0xA5;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + sector[i]);
    sector[511] = static_cast<std::uint8_t>(-sum);
    return sector;
}

TEST(HiddenCapacity, FoundThroughAFakeDriveAndRecorded) {
    const std::vector<std::uint8_t> hdd = ReadSector(FirmwareFixtures() / L"identify_hdd.txt");
    const std::vector<std::uint8_t> ssd = ReadSector(FirmwareFixtures() / L"identify_ssd.txt");
    const std::vector<std::uint8_t> old = ReadSector(FirmwareFixtures() / L"identify_old.txt");
    constexpr std::uint64_t kHddAddressable = 3907027055, kSsdAddressable = 1000215216;
    const struct {
        const char* what;
        std::vector<std::uint8_t> identify;
        std::optional<std::uint64_t> nativeMax, dcoMax;
        std::vector<std::uint8_t> nativeQuery;  // the command asked: 27h, 78h, or none
        HiddenCapacity::State state;
        std::uint64_t hidden;
        const wchar_t* detailStart;
    } rows[] = {
        {"HPA set", hdd, kHddAddressable + 2112, kHddAddressable + 2112, {0x27}, HiddenCapacity::State::Present, 2113,
         L"HPA: 2113 sectors beyond the addressable capacity were not overwritten. Addressable: 3907027055 sectors; "
         L"native maximum: 3907029168 sectors."},
        {"HPA and DCO", hdd, kHddAddressable + 2112, kHddAddressable + 3112, {0x27}, HiddenCapacity::State::Present,
         3113, L"HPA/DCO: 3113 sectors beyond the addressable capacity were not overwritten."},
        {"DCO only", hdd, kHddAddressable - 1, kHddAddressable + 99, {0x27}, HiddenCapacity::State::Present, 100,
         L"DCO: 100 sectors"},
        {"no limit set", hdd, kHddAddressable - 1, kHddAddressable - 1, {0x27}, HiddenCapacity::State::None, 0,
         L"No sectors beyond"},
        {"native query aborted", hdd, std::nullopt, kHddAddressable - 1, {0x27}, HiddenCapacity::State::Unknown, 0,
         L"The drive's native maximum could not be read"},
        {"native below addressable", hdd, kHddAddressable - 2, std::nullopt, {0x27}, HiddenCapacity::State::Unknown, 0,
         L"The drive's native maximum"},
        {"Accessible Max Address asked instead", ssd, kSsdAddressable + 15, std::nullopt, {0x78},
         HiddenCapacity::State::Present, 16, L"HPA: 16 sectors"},
        {"28-bit drive: not asked", old, std::nullopt, std::nullopt, {}, HiddenCapacity::State::Unknown, 0, L"The drive's"},
    };
    for (const auto& r : rows) {
        FakeAtaDrive drive;
        drive.identify = r.identify;
        drive.nativeMax = r.nativeMax;
        if (r.dcoMax) drive.dco = DcoSector(*r.dcoMax);
        const AtaDiscovery found = DiscoverAta(drive);
        EXPECT_EQ(found.hidden.state, r.state) << r.what;
        EXPECT_EQ(found.hidden.hiddenSectors(), r.hidden) << r.what;
        EXPECT_EQ(drive.nativeQueries, r.nativeQuery) << r.what;
        const HiddenCapacityRecord record = RecordHiddenCapacity(found.hidden, {});
        EXPECT_EQ(record.detail.rfind(r.detailStart, 0), 0u) << r.what << ": " << Narrow(record.detail);
        EXPECT_EQ(HiddenCapacitySafetyNote(found.hidden, 512).empty(), r.hidden == 0) << r.what;
    }

    // A firmware sanitize the drive proved covers the hidden sectors (the rows above ran none).
    const HiddenCapacity hidden = AssessHiddenCapacity(*ParseAtaIdentify(hdd), true, kHddAddressable + 2112, std::nullopt);
    const HiddenCapacityRecord covered =
        RecordHiddenCapacity(hidden, {L"ATA Sanitize (Overwrite)", kFirmwareCompleted, L"", true});
    EXPECT_EQ(covered.detail.rfind(L"HPA: 2113 sectors beyond the addressable capacity were erased by the firmware "
                                   L"sanitize (ATA Sanitize (Overwrite))", 0), 0u);
    EXPECT_EQ(HiddenCapacitySummary(covered), L"PRESENT - 2113 sectors erased by the firmware sanitize");
}

}  // namespace
}  // namespace morvane
