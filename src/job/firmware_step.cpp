// The firmware step of the erase job: the facts from the disk record, the decision, the
// drive asked again on the guarded handle, the sanitize run, its record and the hidden
// capacity.
#include "job/firmware_step.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/unique_handle.h"
#include "disk/disk_scan.h"
#include "erase/standards.h"
#include "firmware/drive_discovery.h"
#include "firmware/drive_sanitize.h"

namespace morvane {
namespace {

constexpr wchar_t kTag[] = L"[FIRMWARE SANITIZE] ";

// The real transport over a handle it owns: the second handle of the status reads.
class OwnedHandleTransport final : public DeviceTransport {
public:
    explicit OwnedHandleTransport(UniqueFile handle) : handle_(std::move(handle)), transport_(handle_.get()) {}
    IoctlAnswer Ioctl(DWORD code, std::span<const std::uint8_t> in, std::size_t outSize) override {
        return transport_.Ioctl(code, in, outSize);
    }

private:
    UniqueFile handle_;
    HandleTransport transport_;
};

// The real link over the guarded handle; NVMe also gets its second handle for the status.
FirmwareLink OpenRealLink(HANDLE guarded, const std::wstring& devicePath, DriveProtocol protocol) {
    FirmwareLink link;
    link.command = std::make_shared<HandleTransport>(guarded);
    // No access rights: the status log is a query, and nothing but the guarded open may
    // open a disk for writing.
    if (protocol == DriveProtocol::Nvme) {
        if (UniqueFile status = OpenDeviceForQuery(devicePath)) {
            link.status = std::make_shared<OwnedHandleTransport>(std::move(status));
        }
    }
    return link;
}

bool CompatibilityLayer(const FirmwareEdges& edges) {
    return edges.compatibilityLayer ? edges.compatibilityLayer() : RunningUnderCompatibilityLayer();
}

// Whether a real run asks the drive on the guarded handle: never under Wine, through a USB
// bridge or on a bus the program does not speak; NVMe and SAS only for Purge, where their
// answer decides the sanitize; SATA for every standard, for its hidden capacity.
bool AsksTheDrive(const FirmwareFacts& facts) {
    if (!facts.realRun || facts.compatibilityLayer || facts.behindUsbBridge || !facts.protocol) return false;
    return facts.wanted || *facts.protocol == DriveProtocol::Ata;
}

// The firmware record ends with what the drive offers.
FirmwareSanitizeRecord WithCapabilities(FirmwareSanitizeRecord record, const FirmwareFacts& facts) {
    if (!facts.protocol) return record;
    if (!record.detail.empty()) record.detail += L' ';
    record.detail += L"Drive capabilities (" + CapabilityDetail(facts.capabilities) + L").";
    return record;
}

HiddenCapacityRecord NotAsked(std::wstring detail) {
    HiddenCapacityRecord record;
    record.result = kHiddenCapacityUnknown;
    record.detail = std::move(detail);
    return record;
}

// The hidden-capacity record: from the drive's answer on the guarded handle, or why a
// SATA drive (or whatever sits behind a USB bridge) was not asked; other drives carry no
// such limit.
HiddenCapacityRecord HiddenCapacityFor(const FirmwareFacts& facts, const std::optional<HiddenCapacity>& found,
                                       const FirmwareSanitizeRecord& firmware) {
    if (found) return RecordHiddenCapacity(*found, firmware);
    if (facts.behindUsbBridge) {
        return NotAsked(L"Not checked: no command is sent through a USB bridge, so a SATA drive behind it may keep "
                        L"sectors beyond its addressable capacity (HPA/DCO).");
    }
    if (facts.protocol != DriveProtocol::Ata) return RecordHiddenCapacity({}, firmware);
    if (facts.compatibilityLayer) return NotAsked(L"Not checked: no command is sent under a compatibility layer (Wine).");
    if (!facts.realRun) return NotAsked(L"Simulation: a real run reads the drive's native maximum; no command was sent.");
    return RecordHiddenCapacity({HiddenCapacity::State::Unknown}, firmware);
}

EraseProgressInfo SanitizeProgressInfo(std::uint32_t totalPasses, double fraction, const std::wstring& label) {
    EraseProgressInfo info;
    info.phase = kPhaseFirmwareSanitize;
    info.totalPasses = totalPasses;
    info.passPercent = static_cast<std::uint32_t>(std::lround(std::clamp(fraction, 0.0, 1.0) * 100.0));
    info.label = label;
    return info;
}

// What the decision leaves: the firmware record when nothing is sent, or the runner's.
FirmwareSanitizeRecord RunDecision(const FirmwareDecision& decision, const FirmwareFacts& facts,
                                   const FirmwareLink& link, std::uint32_t totalPasses,
                                   const ProgressCallback& progress, const LogCallback& log) {
    if (!decision.run) {
        if (facts.wanted) EmitLog(log, kTag + decision.reason);
        return decision.record;
    }
    if (!link.command || !link.status) {
        FirmwareSanitizeRecord record = decision.record;
        record.result = kFirmwareNotPerformed;
        record.detail = L"A second handle to the disk for the status reads could not be opened; no request was sent.";
        EmitLog(log, std::wstring(kTag) + L"状態確認用のハンドルを開けなかったため、ファームウェア消去は行いません。");
        return record;
    }
    const SanitizeProgress onProgress = [&](double fraction, const std::wstring& label) {
        if (progress) progress(SanitizeProgressInfo(totalPasses, fraction, label));
    };
    return RunFirmwareSanitize(*link.command, *link.status, decision.plan, onProgress, log, link.settings);
}

}  // namespace

FirmwareFacts FirmwareFactsFor(const EraseJob& job, bool compatibilityLayer, bool underWinPE) {
    FirmwareFacts facts;
    facts.wanted = job.standard == NistPurge;
    facts.realRun = job.execMode == ExecMode::RealHardwareWrite;
    facts.compatibilityLayer = compatibilityLayer;
    facts.protocol = FirmwareProtocolOf(job.disk.busKind);
    facts.isNvme = facts.protocol == DriveProtocol::Nvme;
    facts.behindUsbBridge = job.disk.busKind == BusUsb;
    facts.underWinPE = underWinPE;
    facts.capacityBytes = job.disk.sizeBytes;
    facts.capabilities = job.disk.firmware;
    if (facts.protocol) facts.capabilities.protocol = *facts.protocol;
    facts.controllerMayBeShared = job.disk.controllerMayBeShared;
    return facts;
}

FirmwareDecision PlanFirmwareStep(const EraseJob& job, bool compatibilityLayer, bool underWinPE) {
    const FirmwareFacts facts = FirmwareFactsFor(job, compatibilityLayer, underWinPE);
    FirmwareDecision decision = DecideFirmwareSanitize(facts);
    if (decision.run || !facts.wanted || facts.capabilities.known || !AsksTheDrive(facts)) return decision;
    // The job asks the drive itself; say so only when its answer is all that decides.
    FirmwareFacts offering = facts;
    offering.capabilities.known = offering.capabilities.cryptoErase = true;
    if (!DecideFirmwareSanitize(offering).run) return decision;
    decision.decidedAtStart = true;
    decision.reason = L"ドライブの消去機能は消去開始時にドライブへ確認し、Sanitize に対応していれば実行します "
                      L"(ドライブ自身の消去は開始後に中断できません)。";
    return decision;
}

FirmwareStepResult RunFirmwareStep(const EraseJob& job, bool underWinPE, HANDLE guarded, const FirmwareEdges& edges,
                                   std::uint32_t totalPasses, const ProgressCallback& progress, const LogCallback& log) {
    FirmwareFacts facts = FirmwareFactsFor(job, CompatibilityLayer(edges), underWinPE);
    FirmwareLink link;
    std::optional<HiddenCapacity> hidden;
    FirmwareStepResult result;
    if (AsksTheDrive(facts)) {
        // The scan's answer may be old or partial: the decision rests on what the drive
        // says now, through the handle the request will go over.
        const DriveProtocol protocol = *facts.protocol;
        link = edges.open ? edges.open(guarded, job.disk.devicePath) : OpenRealLink(guarded, job.disk.devicePath, protocol);
        if (protocol != DriveProtocol::Nvme) link.status = link.command;
        facts.capabilities = {};
        facts.capabilities.protocol = protocol;
        if (link.command) {
            FirmwareDiscovery found = DiscoverFirmware(*link.command, protocol, DiscoveryAccess::PassThrough);
            facts.capabilities = found.capabilities;
            facts.lastStatus = std::move(found.nvmeStatus);
            if (protocol == DriveProtocol::Ata) hidden = found.hidden;
        } else if (protocol == DriveProtocol::Ata) {
            hidden = HiddenCapacity{HiddenCapacity::State::Unknown};
        }
        result.safetyNote = FirmwareSafetyNote(facts.capabilities, underWinPE);
        if (hidden) result.safetyNote += HiddenCapacitySafetyNote(*hidden, SectorSizeOf(job.disk));
        if (!result.safetyNote.empty()) EmitLog(log, kTag + result.safetyNote);
    }
    const FirmwareDecision decision = DecideFirmwareSanitize(facts);
    result.firmware = WithCapabilities(RunDecision(decision, facts, link, totalPasses, progress, log), facts);
    result.hiddenCapacity = HiddenCapacityFor(facts, hidden, result.firmware);
    return result;
}

void AddSafetyNote(DiskInfo& disk, const std::wstring& note) {
    std::size_t from = 0;
    while (from < note.size()) {
        const std::size_t end = note.find(L'。', from);
        const std::wstring sentence = note.substr(from, end == std::wstring::npos ? end : end + 1 - from);
        from = end == std::wstring::npos ? note.size() : end + 1;
        if (disk.safetyDescription.find(sentence) != std::wstring::npos) continue;
        if (!disk.safetyDescription.empty()) disk.safetyDescription += L' ';
        disk.safetyDescription += sentence;
    }
}

void NoteReachedLevel(EraseResult& result) {
    if (result.job.execMode != ExecMode::RealHardwareWrite || result.status != JobStatus::Completed) return;
    const std::wstring note = PurgeLevelNote(result.firmware);
    if (note.empty()) return;
    if (!result.firmware.detail.empty()) result.firmware.detail += L' ';
    result.firmware.detail += note;
}

}  // namespace morvane
