// The SATA and SAS sanitize runner: the command, the poll loop and the time-out; and the
// entry point for every protocol.
#include "firmware/drive_sanitize.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "firmware/ata_requests.h"
#include "firmware/drive_discovery.h"
#include "firmware/storage_layouts.h"

namespace morvane {

namespace {

constexpr std::uint64_t kAssumedOverwriteBytesPerSecond = 50'000'000;

std::wstring Hex(const wchar_t* format, unsigned value) {
    wchar_t text[48];
    std::swprintf(text, std::size(text), format, value);
    return text;
}

DriveCommandOutcome Refused(const IoctlAnswer& answer) {
    return {DriveCommandOutcome::Kind::RefusedByWindows, answer.error, answer.errorText};
}

// What the drive made of an ATA sanitize command. An answer Windows gave without readable
// registers counts as accepted but not confirmed by the drive: only the drive's status can
// then prove anything, and it will (or the record says NOT CONFIRMED).
DriveCommandOutcome AtaOutcome(const IoctlAnswer& answer) {
    if (!answer.ok()) return Refused(answer);
    const auto parsed = ParseAtaPassThrough(answer.bytes, 0);
    if (!parsed || !parsed->registers.errorBit()) {
        DriveCommandOutcome accepted;
        accepted.confirmedByDrive = parsed && parsed->registers.completedNormally();
        return accepted;
    }
    const AtaRegisters& r = parsed->registers;
    DriveCommandOutcome outcome;
    outcome.kind = DriveCommandOutcome::Kind::RefusedByDrive;
    if (r.aborted()) {
        const AtaSanitizeError reason = AtaSanitizeErrorOf(r);
        outcome.reason = L"command aborted, " + AtaSanitizeErrorText(reason);
        outcome.frozen = reason == AtaSanitizeError::Frozen;
    } else {
        outcome.reason = L"error" + Hex(L" (status 0x%02X", r.status) + Hex(L", error 0x%02X)", r.error);
    }
    return outcome;
}

// What the drive made of a SCSI SANITIZE. GOOD status is the drive's own: with IMMED it
// means the drive checked the command and started the sanitize.
DriveCommandOutcome ScsiOutcome(const IoctlAnswer& answer) {
    if (!answer.ok()) return Refused(answer);
    const auto parsed = ParseScsiPassThroughDirect(answer.bytes);
    if (!parsed || parsed->scsiStatus == kScsiStatusGood) {
        DriveCommandOutcome accepted;
        accepted.confirmedByDrive = parsed.has_value();
        return accepted;
    }
    DriveCommandOutcome outcome;
    outcome.kind = DriveCommandOutcome::Kind::RefusedByDrive;
    if (parsed->scsiStatus != kScsiStatusCheckCondition) {
        outcome.reason = Hex(L"SCSI status 0x%02X", parsed->scsiStatus);
    } else if (const auto sense = ParseSense(parsed->sense)) {
        outcome.reason = L"CHECK CONDITION, " + SenseText(*sense);
        if (sense->sanitizeInProgress()) outcome.reason += L" (a sanitize is already in progress)";
    } else {
        outcome.reason = L"CHECK CONDITION without sense data";
    }
    return outcome;
}

}  // namespace

std::uint32_t DriveSanitizeTimeoutSeconds(SanitizeMethod method, const FirmwareCapabilities& caps,
                                          std::uint64_t capacityBytes) {
    const std::uint32_t estimate = method == SanitizeMethod::CryptoErase  ? caps.cryptoEraseSeconds
                                   : method == SanitizeMethod::BlockErase ? caps.blockEraseSeconds
                                   : method == SanitizeMethod::Overwrite  ? caps.overwriteSeconds
                                                                          : 0;
    if (estimate != 0) return SanitizeTimeoutFromEstimate(estimate);
    if (method != SanitizeMethod::Overwrite) return kSanitizeTimeoutWithoutEstimate;
    if (capacityBytes == 0) return kSanitizeTimeoutMaximum;
    // An overwrite of the whole capacity at a slow drive's speed, never below the time-out
    // given when the drive has no estimate.
    return std::max(kSanitizeTimeoutWithoutEstimate,
                    SanitizeTimeoutFromEstimate(capacityBytes / kAssumedOverwriteBytesPerSecond));
}

std::wstring DriveSanitizeRequestText(const SanitizePlan& plan, std::uint32_t timeoutSeconds) {
    const bool overwrite = plan.method == SanitizeMethod::Overwrite;
    std::wstring text;
    if (plan.protocol == DriveProtocol::Ata) {
        const unsigned feature = overwrite ? kOverwriteExt
                                 : plan.method == SanitizeMethod::BlockErase ? kBlockEraseExt
                                                                             : kCryptoScrambleExt;
        text = L"IOCTL_ATA_PASS_THROUGH: " + MethodName(plan.protocol, plan.method) +
               Hex(L" (SANITIZE DEVICE B4h, 機能 %04Xh", feature);
    } else {
        text = L"IOCTL_SCSI_PASS_THROUGH_DIRECT: " + MethodName(plan.protocol, plan.method) +
               Hex(L" (SANITIZE 48h, サービスアクション %u, IMMED", ScsiSanitizeServiceAction(plan.method));
    }
    if (overwrite) text += L", 1 パス, パターン 00000000h";
    return text + L"), 失敗時は Sanitize 成功まで使用不可, 監視タイムアウト " + std::to_wstring(timeoutSeconds) + L" 秒";
}

std::optional<DriveSanitizeReading> ReadDriveSanitizeState(DeviceTransport& transport, DriveProtocol protocol) {
    if (protocol == DriveProtocol::Ata) {
        const auto status = ReadAtaSanitizeStatus(transport);
        return status ? ReadingOf(*status) : std::nullopt;
    }
    if (protocol == DriveProtocol::Scsi) {
        const auto sense = ReadScsiSense(transport);
        return sense ? ReadingOf(*sense) : std::nullopt;
    }
    return std::nullopt;
}

FirmwareSanitizeRecord RunDriveSanitize(DeviceTransport& command, DeviceTransport& status, const SanitizePlan& plan,
                                        const SanitizeProgress& progress, const LogCallback& log,
                                        const SanitizeRunSettings& settings) {
    const std::wstring method = MethodName(plan.protocol, plan.method);
    const auto finish = [&](const SanitizeVerdict& verdict) { return FinishSanitizeRecord(method, verdict, log); };

    const bool ata = plan.protocol == DriveProtocol::Ata;
    std::vector<std::uint8_t> request;
    if (ata) request = BuildAtaSanitize({plan.method});
    else if (plan.protocol == DriveProtocol::Scsi) request = BuildScsiSanitize(plan.method);
    if (request.empty()) {
        return finish({kFirmwareNotPerformed, method + L" cannot be requested this way; no request was sent."});
    }
    DriveSanitizeMonitor monitor(ReadDriveSanitizeState(status, plan.protocol), plan.underWinPE);
    if (const auto refusal = monitor.BeforeSending()) return finish(*refusal);

    const std::uint32_t timeout =
        plan.timeoutSeconds ? plan.timeoutSeconds : DriveSanitizeTimeoutSeconds(plan.method, {}, 0);
    EmitLog(log, L"[FIRMWARE SANITIZE] 開始: " + DriveSanitizeRequestText(plan, timeout));
    const std::wstring label = SanitizeProgressLabel(plan.method, plan.protocol);
    if (progress) progress(0.0, label);

    const IoctlAnswer answer = command.Ioctl(ata ? kIoctlAtaPassThrough : kIoctlScsiPassThroughDirect, request,
                                             request.size());
    if (const auto refusal = monitor.AfterCommand(ata ? AtaOutcome(answer) : ScsiOutcome(answer))) {
        return finish(*refusal);
    }

    // The command has returned: nothing is outstanding that a wait could end early for.
    const std::function<bool()> nothingPending = [] { return true; };
    const std::uint64_t deadline = settings.clock.nowMs() + std::uint64_t{timeout} * 1000;
    const auto observe = [&] { return monitor.Observe(ReadDriveSanitizeState(status, plan.protocol)); };
    const SanitizeVerdict verdict =
        PollForVerdict(monitor, observe, deadline, timeout, settings, nothingPending, progress, label);
    if (verdict.countsAsPurge && progress) progress(1.0, label);
    return finish(verdict);
}

FirmwareSanitizeRecord RunFirmwareSanitize(DeviceTransport& command, DeviceTransport& status, const SanitizePlan& plan,
                                           const SanitizeProgress& progress, const LogCallback& log,
                                           const SanitizeRunSettings& settings) {
    if (plan.protocol == DriveProtocol::Nvme) return RunNvmeSanitize(command, status, plan, progress, log, settings);
    return RunDriveSanitize(command, status, plan, progress, log, settings);
}

}  // namespace morvane
