// The firmware step of the erase job: the facts from the disk record, the decision, the
// drive asked again on the guarded handle, the sanitize run and its record.
#include "job/firmware_step.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/unique_handle.h"
#include "disk/disk_scan.h"
#include "erase/standards.h"
#include "firmware/discovery.h"

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

FirmwareLink OpenRealLink(HANDLE guarded, const std::wstring& devicePath) {
    FirmwareLink link;
    link.command = std::make_shared<HandleTransport>(guarded);
    // No access rights: the status log is a query, and nothing but the guarded open may
    // open a disk for writing.
    if (UniqueFile status = OpenDeviceForQuery(devicePath)) {
        link.status = std::make_shared<OwnedHandleTransport>(std::move(status));
    }
    return link;
}

bool CompatibilityLayer(const FirmwareEdges& edges) {
    return edges.compatibilityLayer ? edges.compatibilityLayer() : RunningUnderCompatibilityLayer();
}

// Only a real Purge run of an NVMe drive, outside Wine and not behind a USB bridge, asks
// the drive anything: every other case is decided without it.
bool AsksTheDrive(const FirmwareFacts& facts) {
    return facts.wanted && facts.realRun && !facts.compatibilityLayer && facts.isNvme && !facts.behindUsbBridge;
}

// The record ends with what the drive offers, for NVMe drives.
FirmwareSanitizeRecord WithCapabilities(FirmwareSanitizeRecord record, const FirmwareFacts& facts) {
    if (!facts.isNvme) return record;
    if (!record.detail.empty()) record.detail += L' ';
    record.detail += L"Drive capabilities (" + CapabilityDetail(facts.capabilities) + L").";
    return record;
}

EraseProgressInfo SanitizeProgressInfo(std::uint32_t totalPasses, double fraction, const std::wstring& label) {
    EraseProgressInfo info;
    info.phase = kPhaseFirmwareSanitize;
    info.totalPasses = totalPasses;
    info.passPercent = static_cast<std::uint32_t>(std::lround(std::clamp(fraction, 0.0, 1.0) * 100.0));
    info.label = label;
    return info;
}

}  // namespace

FirmwareFacts FirmwareFactsFor(const EraseJob& job, bool compatibilityLayer) {
    FirmwareFacts facts;
    facts.wanted = job.standard == NistPurge;
    facts.realRun = job.execMode == ExecMode::RealHardwareWrite;
    facts.compatibilityLayer = compatibilityLayer;
    facts.isNvme = job.disk.busKind == BusNvme;
    facts.behindUsbBridge = job.disk.busKind == BusUsb;
    facts.capabilities = job.disk.firmware;
    facts.controllerMayBeShared = job.disk.controllerMayBeShared;
    return facts;
}

FirmwareDecision PlanFirmwareStep(const EraseJob& job, bool compatibilityLayer) {
    return DecideFirmwareSanitize(FirmwareFactsFor(job, compatibilityLayer));
}

FirmwareSanitizeRecord RunFirmwareStep(const EraseJob& job, HANDLE guarded, const FirmwareEdges& edges,
                                       std::uint32_t totalPasses, const ProgressCallback& progress,
                                       const LogCallback& log) {
    FirmwareFacts facts = FirmwareFactsFor(job, CompatibilityLayer(edges));
    FirmwareLink link;
    if (AsksTheDrive(facts)) {
        // The scan's answer may be old: the decision rests on what the drive says now,
        // through the handle the request will go over.
        link = edges.open ? edges.open(guarded, job.disk.devicePath) : OpenRealLink(guarded, job.disk.devicePath);
        facts.capabilities = {};
        if (link.command) {
            NvmeDiscovery found = DiscoverNvme(*link.command);
            facts.capabilities = found.capabilities;
            facts.lastStatus = std::move(found.status);
        }
    }
    const FirmwareDecision decision = DecideFirmwareSanitize(facts);
    if (!decision.run) {
        if (facts.wanted) EmitLog(log, kTag + decision.reason);
        return WithCapabilities(decision.record, facts);
    }

    if (!link.command || !link.status) {
        FirmwareSanitizeRecord record = decision.record;
        record.result = kFirmwareNotPerformed;
        record.detail = L"A second handle to the disk for the status reads could not be opened; no request was sent.";
        EmitLog(log, std::wstring(kTag) + L"状態確認用のハンドルを開けなかったため、ファームウェア消去は行いません。");
        return WithCapabilities(std::move(record), facts);
    }
    const SanitizeProgress onProgress = [&](double fraction, const std::wstring& label) {
        if (progress) progress(SanitizeProgressInfo(totalPasses, fraction, label));
    };
    return WithCapabilities(
        RunNvmeSanitize(*link.command, *link.status, decision.plan, onProgress, log, link.settings), facts);
}

void NoteReachedLevel(EraseResult& result) {
    if (result.job.execMode != ExecMode::RealHardwareWrite || result.status != JobStatus::Completed) return;
    const std::wstring note = PurgeLevelNote(result.firmware);
    if (note.empty()) return;
    if (!result.firmware.detail.empty()) result.firmware.detail += L' ';
    result.firmware.detail += note;
}

}  // namespace morvane
