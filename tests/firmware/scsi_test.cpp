// SAS: the SCSI pass-through requests byte for byte against the SBC/SPC command layouts and
// the Windows structure, the command blocks and sense data of the fixture table (which
// sg_decode_sense decodes the same way, check_ata_scsi_decoders.py), the operation-code
// answers, and discovery through a fake drive.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cstdio>
#include <sstream>

#include "common/text.h"
#include "firmware/drive_discovery.h"
#include "support/drive_fakes.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using namespace testing;

// SCSI_PASS_THROUGH_DIRECT as Windows lays it out: 56 bytes on x64 (PVOID DataBuffer at
// 24, SenseInfoOffset at 32, Cdb at 36), 44 on x86 (20, 24, 28). The requests put a
// 32-byte sense area right behind it and the data at the next 16-byte boundary.
constexpr bool k64 = sizeof(void*) == 8;
constexpr std::size_t kSptdSize = k64 ? 56 : 44, kDataBuffer = k64 ? 24 : 20, kSenseOffset = k64 ? 32 : 24;
constexpr std::size_t kCdb = k64 ? 36 : 28, kData = k64 ? 96 : 80;

std::vector<std::uint8_t> ExpectedSptd(std::vector<std::uint8_t> cdb, std::uint8_t dataIn, std::uint32_t dataLength,
                                       std::vector<std::uint8_t> dataOut = {}) {
    std::vector<std::uint8_t> bytes(kData + dataLength, 0);
    PutLe(bytes, 0, kSptdSize, 2);
    bytes[6] = static_cast<std::uint8_t>(cdb.size());
    bytes[7] = 32;  // SenseInfoLength
    bytes[8] = dataIn;
    PutLe(bytes, 12, dataLength, 4);
    PutLe(bytes, 16, 30, 4);  // TimeOutValue
    if (dataLength) PutLe(bytes, kDataBuffer, kData, k64 ? 8 : 4);
    PutLe(bytes, kSenseOffset, kSptdSize, 4);
    std::copy(cdb.begin(), cdb.end(), bytes.begin() + kCdb);
    std::copy(dataOut.begin(), dataOut.end(), bytes.begin() + kData);
    return bytes;
}

TEST(ScsiRequests, BuffersMatchTheSbcLayouts) {
    constexpr std::uint8_t kOut = 0, kIn = 1, kNone = 2;  // SCSI_IOCTL_DATA_*
    const struct {
        const char* what;
        std::vector<std::uint8_t> built, expected;
    } cases[] = {
        // SANITIZE 48h: byte 1 IMMED (80h) | service action (3 crypto, 2 block, 1 overwrite),
        // AUSE clear; parameter list length big-endian in bytes 7-8.
        {"crypto erase", BuildScsiSanitize(SanitizeMethod::CryptoErase),
         ExpectedSptd({0x48, 0x83, 0, 0, 0, 0, 0, 0, 0, 0}, kNone, 0)},
        {"block erase", BuildScsiSanitize(SanitizeMethod::BlockErase),
         ExpectedSptd({0x48, 0x82, 0, 0, 0, 0, 0, 0, 0, 0}, kNone, 0)},
        // Overwrite parameter list: count 1 (no invert, no test), pattern length 4, the pattern.
        {"overwrite", BuildScsiSanitize(SanitizeMethod::Overwrite, 0x11223344),
         ExpectedSptd({0x48, 0x81, 0, 0, 0, 0, 0, 0, 8, 0}, kOut, 8, {0x01, 0, 0, 4, 0x11, 0x22, 0x33, 0x44})},
        // REPORT SUPPORTED OPERATION CODES: A3h/0Ch, RCTD with reporting option 010b,
        // opcode 48h, the service action, allocation length 32.
        {"support of block erase", BuildScsiSanitizeSupportQuery(SanitizeMethod::BlockErase),
         ExpectedSptd({0xA3, 0x0C, 0x82, 0x48, 0, 2, 0, 0, 0, 32, 0, 0}, kIn, 32)},
        {"support of overwrite, without timeouts", BuildScsiSanitizeSupportQuery(SanitizeMethod::Overwrite, false),
         ExpectedSptd({0xA3, 0x0C, 0x02, 0x48, 0, 1, 0, 0, 0, 32, 0, 0}, kIn, 32)},
        {"REQUEST SENSE, fixed format", BuildScsiRequestSense(), ExpectedSptd({0x03, 0, 0, 0, 252, 0}, kIn, 252)},
    };
    for (const auto& c : cases) EXPECT_EQ(c.built, c.expected) << c.what;
    EXPECT_TRUE(BuildScsiSanitize(SanitizeMethod::None).empty());
}

std::vector<std::uint8_t> HexBytes(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::uint8_t> bytes;
    for (unsigned byte; in >> std::hex >> byte;) bytes.push_back(static_cast<std::uint8_t>(byte));
    return bytes;
}

std::vector<std::uint8_t> CdbOf(const std::vector<std::uint8_t>& request) {
    return {request.begin() + kCdb, request.begin() + kCdb + request[6]};
}

TEST(ScsiFixtures, SenseAndCommandBlocksMeanWhatTheTableSays) {
    const std::map<std::string, std::vector<std::uint8_t>> builders = {
        {"sanitize_crypto", CdbOf(BuildScsiSanitize(SanitizeMethod::CryptoErase))},
        {"sanitize_block", CdbOf(BuildScsiSanitize(SanitizeMethod::BlockErase))},
        {"sanitize_overwrite", CdbOf(BuildScsiSanitize(SanitizeMethod::Overwrite))},
        {"support_crypto", CdbOf(BuildScsiSanitizeSupportQuery(SanitizeMethod::CryptoErase))},
        {"request_sense", CdbOf(BuildScsiRequestSense())},
    };
    std::ifstream table(FirmwareFixtures() / L"scsi_fixtures.txt");
    ASSERT_TRUE(table) << "fixtures missing beside the test executable";
    int rows = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> parts;
        std::istringstream split(line);
        for (std::string part; std::getline(split, part, ';');) parts.push_back(part);
        std::istringstream head(parts[0]);
        std::string kind, name;
        head >> kind >> name;
        const std::vector<std::uint8_t> bytes = HexBytes(parts[1]);
        ++rows;
        if (kind == "cdb") {
            ASSERT_TRUE(builders.count(name)) << name;
            EXPECT_EQ(builders.at(name), bytes) << name;
            continue;
        }
        const auto sense = ParseSense(bytes);
        ASSERT_TRUE(sense) << name;
        char meaning[16];  // as the table writes it: key, ASC, ASCQ in hex, the progress or "-"
        std::snprintf(meaning, sizeof meaning, "%x %02x %02x ", sense->key, sense->asc, sense->ascq);
        EXPECT_EQ(meaning + (sense->progress ? std::to_string(*sense->progress) : "-"), TrimAscii(parts[2])) << name;
        EXPECT_EQ(sense->descriptorFormat, bytes[0] == 0x72) << name;
    }
    EXPECT_EQ(rows, 11);
    // Not sense data, and sense data that claims more than it holds.
    EXPECT_FALSE(ParseSense(std::vector<std::uint8_t>(18, 0)));
    EXPECT_FALSE(ParseSense(HexBytes("70 00 02 00 00 00 00 0a 00 00 00 00 04")));
}

TEST(ScsiRequests, SupportedOperationAnswers) {
    // One-command format: SUPPORT in byte 1 bits 2:0 (CTDP bit 7), CDB size in bytes 2-3, the
    // usage map, then with CTDP a timeouts descriptor whose recommended timeout is at 8-11.
    std::vector<std::uint8_t> withTimeouts = {0, 0x83, 0, 10, 0x48, 0x9F, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0x07,
                                              0, 0x0A, 0, 0, 0, 0, 0, 60, 0, 0, 0x0E, 0x10};
    const struct {
        const char* what;
        std::vector<std::uint8_t> data;
        std::optional<ScsiCommandSupport::Support> support;
        std::uint32_t timeout;
    } rows[] = {
        {"supported, with timeouts", withTimeouts, ScsiCommandSupport::Support::Supported, 3600},
        {"vendor-specific support", {0, 0x05, 0, 0}, ScsiCommandSupport::Support::Supported, 0},
        {"no data available", {0, 0x00, 0, 0}, ScsiCommandSupport::Support::Unknown, 0},
        {"usage map cut short", {0, 0x03, 0, 10, 0x48}, std::nullopt, 0},
        {"header cut short", {0, 0x03}, std::nullopt, 0},
    };
    for (const auto& r : rows) {
        const auto parsed = ParseSupportedOperation(r.data);
        ASSERT_EQ(parsed.has_value(), r.support.has_value()) << r.what;
        if (!parsed) continue;
        EXPECT_EQ(parsed->support, *r.support) << r.what;
        EXPECT_EQ(parsed->recommendedTimeout, r.timeout) << r.what;
    }
}

TEST(ScsiDiscovery, CapabilitiesFromEveryServiceAction) {
    const struct {
        const char* what;
        std::map<std::uint8_t, std::uint8_t> support;  // service action -> SUPPORT
        std::vector<std::optional<std::vector<std::uint8_t>>> sense;
        const wchar_t* text;
        const wchar_t* detail;
        SanitizeMethod preferred;  // crypto, then block, then overwrite
        bool refusesTimeouts = false;
    } rows[] = {
        {"all three", {{3, 3}, {2, 3}, {1, 3}}, {FixedSense(0, 0, 0)}, L"FW: Crypto/Block/Overwrite",
         L"SCSI Sanitize: Crypto Erase, Block Erase, Overwrite; last sanitize: not failed", SanitizeMethod::CryptoErase},
        {"overwrite only, last one failed", {{3, 1}, {2, 1}, {1, 3}}, {FixedSense(3, 0x31, 0x03)},
         L"FW: Overwrite (前回失敗)", L"SCSI Sanitize: Overwrite; last sanitize: failed", SanitizeMethod::Overwrite},
        {"none", {{3, 1}, {2, 1}, {1, 1}}, {std::nullopt}, L"FW: なし", L"SCSI Sanitize: not supported",
         SanitizeMethod::None},
        {"an older drive: the timeouts descriptor refused, asked again without", {{3, 1}, {2, 3}, {1, 1}},
         {FixedSense(0, 0, 0)}, L"FW: Block", L"SCSI Sanitize: Block Erase; last sanitize: not failed",
         SanitizeMethod::BlockErase, true},
        // One service action unanswered (CHECK CONDITION): the drive's answer is incomplete.
        {"one unanswered", {{3, 3}, {1, 3}}, {FixedSense(0, 0, 0)}, L"FW: 不明",
         L"SCSI Sanitize: unknown (the drive could not be queried); last sanitize: not failed", SanitizeMethod::None},
        {"no answer at all", {}, {std::nullopt}, L"FW: 不明", L"SCSI Sanitize: unknown (the drive could not be queried)",
         SanitizeMethod::None},
    };
    for (const auto& r : rows) {
        FakeScsiDrive drive;
        drive.support = r.support;
        drive.senseScript = r.sense;
        drive.refusesTimeouts = r.refusesTimeouts;
        const FirmwareCapabilities caps = DiscoverFirmware(drive, DriveProtocol::Scsi).capabilities;
        EXPECT_EQ(CapabilityText(caps), r.text) << r.what;
        EXPECT_EQ(CapabilityDetail(caps), r.detail) << r.what;
        EXPECT_EQ(PreferredMethod(caps), r.preferred) << r.what;
        EXPECT_EQ(drive.sanitizeCommands, 0) << r.what;  // discovery never sanitizes
    }
}

}  // namespace
}  // namespace morvane
