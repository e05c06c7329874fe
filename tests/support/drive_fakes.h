// Test support for SATA and SAS firmware steps: fake drives behind the transport seam that
// answer ATA pass-through and SCSI pass-through requests the way a drive would, from
// scripts, and record what was sent. No test ever sends a request to a device.
#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <vector>

#include "firmware/ata_requests.h"
#include "firmware/sanitize_runner.h"
#include "firmware/scsi_requests.h"
#include "firmware/storage_layouts.h"
#include "firmware/transport.h"
#include "support/firmware_fakes.h"

namespace morvane::testing {

// Output registers of one ATA command. 0x50: ready, seek complete, no error.
struct AtaRegs {
    std::uint8_t status = 0x50;
    std::uint8_t error = 0;
    std::uint16_t count = 0;
    std::uint64_t lba = 0;
};
inline AtaRegs AtaAborted(std::uint8_t reason) { return {0x51, 0x04, 0, reason}; }

// The answer to an ATA request: the request with the output registers written over its
// task files and `data` in its data area.
inline std::vector<std::uint8_t> AtaAnswerBytes(std::span<const std::uint8_t> request, const AtaRegs& regs,
                                                const std::vector<std::uint8_t>& data = {}) {
    std::vector<std::uint8_t> answer(request.begin(), request.end());
    std::uint8_t* current = answer.data() + offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile);
    std::uint8_t* previous = answer.data() + offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile);
    current[0] = regs.error;
    current[1] = static_cast<std::uint8_t>(regs.count);
    previous[1] = static_cast<std::uint8_t>(regs.count >> 8);
    for (int i = 0; i < 3; ++i) {
        current[2 + i] = static_cast<std::uint8_t>(regs.lba >> (8 * i));
        previous[2 + i] = static_cast<std::uint8_t>(regs.lba >> (8 * (i + 3)));
    }
    current[6] = regs.status;
    std::copy(data.begin(), data.end(), answer.begin() + sizeof(ATA_PASS_THROUGH_EX));
    return answer;
}

// A SATA drive. Each query is answered from its member (empty: the drive aborts it; the
// IDENTIFY property query answers from `identify` too);
// SANITIZE STATUS EXT from `statusScript`, one entry per call and the last repeated (an
// empty entry: Windows fails the request); the sanitize command with `sanitize`.
class FakeAtaDrive final : public DeviceTransport {
public:
    IoctlAnswer Ioctl(DWORD code, std::span<const std::uint8_t> in, std::size_t) override {
        sent.emplace_back(in.begin(), in.end());
        if (code == kIoctlQueryProperty) {
            ++propertyQueries;
            return identify ? IoctlAnswer{0, L"", QueryAnswer(1, *identify)} : Fail();
        }
        if (code != kIoctlAtaPassThrough || in.size() < sizeof(ATA_PASS_THROUGH_EX)) return Fail();
        const std::uint8_t* task = in.data() + offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile);
        const std::uint8_t command = task[6], feature = task[0];
        if (command == kAtaIdentifyDevice) return Sector(in, identify);
        if (command == kAtaDeviceConfiguration) return Sector(in, dco);
        if (command == kAtaReadNativeMaxAddressExt || command == kAtaAccessibleMaxAddressConfiguration) {
            nativeQueries.push_back(command);
            return {0, L"", AtaAnswerBytes(in, nativeMax ? AtaRegs{0x50, 0, 0, *nativeMax} : AtaAborted(0))};
        }
        if (command == kAtaSanitizeDevice && feature == 0x00) {
            const auto& entry = statusScript.at(std::min(statusCalls++, statusScript.size() - 1));
            return entry ? IoctlAnswer{0, L"", AtaAnswerBytes(in, *entry)} : Fail();
        }
        if (command == kAtaSanitizeDevice) {
            ++sanitizeCommands;
            if (sanitizeError) return Fail(sanitizeError);
            return {0, L"", AtaAnswerBytes(in, sanitize)};
        }
        return Fail();
    }

    std::optional<std::vector<std::uint8_t>> identify;
    std::optional<std::uint64_t> nativeMax;
    std::optional<std::vector<std::uint8_t>> dco;
    std::vector<std::optional<AtaRegs>> statusScript = std::vector<std::optional<AtaRegs>>(1, AtaRegs{});
    AtaRegs sanitize;
    DWORD sanitizeError = 0;
    std::vector<std::vector<std::uint8_t>> sent;
    std::vector<std::uint8_t> nativeQueries;
    int sanitizeCommands = 0;
    int propertyQueries = 0;  // IDENTIFY asked through IOCTL_STORAGE_QUERY_PROPERTY

private:
    static IoctlAnswer Fail(DWORD error = ERROR_INVALID_FUNCTION) { return {error, L"Incorrect function.", {}}; }
    static IoctlAnswer Sector(std::span<const std::uint8_t> in, const std::optional<std::vector<std::uint8_t>>& data) {
        return {0, L"", data ? AtaAnswerBytes(in, {}, *data) : AtaAnswerBytes(in, AtaAborted(0))};
    }
    std::size_t statusCalls = 0;
};

// The answer to a SCSI request: status, sense area and data area written into a copy of it.
inline std::vector<std::uint8_t> ScsiAnswerBytes(std::span<const std::uint8_t> request, std::uint8_t status,
                                                 const std::vector<std::uint8_t>& sense,
                                                 const std::vector<std::uint8_t>& data = {}) {
    std::vector<std::uint8_t> answer(request.begin(), request.end());
    answer[offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus)] = status;
    std::copy(sense.begin(), sense.end(), answer.begin() + sizeof(SCSI_PASS_THROUGH_DIRECT));
    std::uintptr_t offset = 0;
    std::memcpy(&offset, answer.data() + offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer), sizeof(offset));
    std::copy(data.begin(), data.end(), answer.begin() + offset);
    const std::uint32_t length = static_cast<std::uint32_t>(data.size());
    std::memcpy(answer.data() + offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength), &length, 4);
    return answer;
}

inline std::vector<std::uint8_t> FixedSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq,
                                            std::optional<std::uint16_t> progress = std::nullopt) {
    std::vector<std::uint8_t> sense = {0x70, 0, key, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, asc, ascq, 0, 0, 0, 0};
    if (progress) {
        sense[15] = 0x80;
        sense[16] = static_cast<std::uint8_t>(*progress >> 8);
        sense[17] = static_cast<std::uint8_t>(*progress);
    }
    return sense;
}

// A SAS drive. REPORT SUPPORTED OPERATION CODES answers with `support` for each SANITIZE
// service action (a SUPPORT code; a missing one, or RCTD when `refusesTimeouts`: CHECK
// CONDITION, ILLEGAL REQUEST);
// REQUEST SENSE from `senseScript` (one entry a call, the last repeated; empty: Windows
// fails it); SANITIZE with `sanitizeStatus` and `sanitizeSense`.
class FakeScsiDrive final : public DeviceTransport {
public:
    IoctlAnswer Ioctl(DWORD code, std::span<const std::uint8_t> in, std::size_t) override {
        sent.emplace_back(in.begin(), in.end());
        if (code != kIoctlScsiPassThroughDirect || in.size() < sizeof(SCSI_PASS_THROUGH_DIRECT)) return Fail();
        const std::uint8_t* cdb = in.data() + offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb);
        if (cdb[0] == kScsiReportSupportedOperationCodes) {
            const auto found = support.find(cdb[5]);
            if (found == support.end() || (refusesTimeouts && (cdb[2] & 0x80))) {
                return {0, L"", ScsiAnswerBytes(in, 2, FixedSense(5, 0x24, 0))};
            }
            return {0, L"", ScsiAnswerBytes(in, 0, {}, {0, found->second, 0, 10, 0x48, 0x1F, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0x07})};
        }
        if (cdb[0] == kScsiRequestSense) {
            const auto& entry = senseScript.at(std::min(senseCalls++, senseScript.size() - 1));
            return entry ? IoctlAnswer{0, L"", ScsiAnswerBytes(in, 0, {}, *entry)} : Fail();
        }
        if (cdb[0] == kScsiSanitize) {
            ++sanitizeCommands;
            if (sanitizeError) return Fail(sanitizeError);
            return {0, L"", ScsiAnswerBytes(in, sanitizeStatus, sanitizeSense)};
        }
        return Fail();
    }

    std::map<std::uint8_t, std::uint8_t> support;  // service action -> SUPPORT (3 supported, 1 not)
    bool refusesTimeouts = false;                  // RCTD is an invalid field to this drive
    std::vector<std::optional<std::vector<std::uint8_t>>> senseScript{FixedSense(0, 0, 0)};
    std::uint8_t sanitizeStatus = kScsiStatusGood;
    std::vector<std::uint8_t> sanitizeSense;
    DWORD sanitizeError = 0;
    std::vector<std::vector<std::uint8_t>> sent;
    int sanitizeCommands = 0;

private:
    static IoctlAnswer Fail(DWORD error = ERROR_INVALID_FUNCTION) { return {error, L"Incorrect function.", {}}; }
    std::size_t senseCalls = 0;
};

// The firmware fixture folder, copied beside the test executables at configure time.
inline std::filesystem::path FirmwareFixtures() {
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return std::filesystem::path(exe).parent_path() / L"fixtures" / L"firmware";
}

// A sector in hdparm's --Istdin form: 256 hexadecimal words, each stored little-endian.
inline std::vector<std::uint8_t> ReadSector(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::uint8_t> bytes;
    for (unsigned word; in >> std::hex >> word;) {
        bytes.push_back(static_cast<std::uint8_t>(word));
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    return bytes;
}

// A clock that never waits: each wait moves time on by its length.
inline RunnerClock InstantClock(std::uint64_t& now) {
    RunnerClock clock;
    clock.nowMs = [&now] { return now; };
    clock.wait = [&now](std::uint32_t ms, const std::function<bool()>&) { now += ms; };
    return clock;
}

}  // namespace morvane::testing
