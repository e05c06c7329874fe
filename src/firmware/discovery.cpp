// Discovery queries through the transport, and the shared-controller rule.
#include "firmware/discovery.h"

#include "firmware/nvme_requests.h"
#include "firmware/storage_layouts.h"

namespace morvane {

namespace {

std::optional<std::vector<std::uint8_t>> Query(DeviceTransport& transport, const std::vector<std::uint8_t>& query) {
    IoctlAnswer answer = transport.Ioctl(kIoctlQueryProperty, query, query.size());
    if (!answer.ok()) return std::nullopt;
    return std::move(answer.bytes);
}

}  // namespace

std::optional<SanitizeStatusLog> ReadSanitizeStatus(DeviceTransport& transport) {
    const auto answer = Query(transport, BuildSanitizeStatusQuery());
    return answer ? ParseSanitizeStatus(*answer) : std::nullopt;
}

NvmeDiscovery DiscoverNvme(DeviceTransport& transport) {
    NvmeDiscovery found;
    FirmwareCapabilities& caps = found.capabilities;
    caps.protocol = DriveProtocol::Nvme;
    if (const auto answer = Query(transport, BuildIdentifyControllerQuery())) {
        if (const auto facts = ParseIdentifyController(*answer)) {
            caps.known = true;
            caps.cryptoErase = facts->cryptoErase();
            caps.blockErase = facts->blockErase();
            caps.overwrite = facts->overwrite();
            caps.formatNvm = facts->formatNvm();
            caps.formatAttributes = facts->fna;
            caps.namespaceLimit = facts->nn;
        }
    }
    found.status = ReadSanitizeStatus(transport);
    caps.statusKnown = found.status.has_value();
    caps.lastSanitizeFailed = found.status && found.status->state() == SanitizeState::Failed;
    return found;
}

std::optional<ControllerAddress> QueryControllerAddress(DeviceTransport& transport) {
    const IoctlAnswer answer = transport.Ioctl(kIoctlScsiGetAddress, {}, sizeof(SCSI_ADDRESS));
    if (!answer.ok() || answer.bytes.size() < sizeof(SCSI_ADDRESS)) return std::nullopt;
    ControllerAddress address;
    address.port = answer.bytes[offsetof(SCSI_ADDRESS, PortNumber)];
    address.path = answer.bytes[offsetof(SCSI_ADDRESS, PathId)];
    address.target = answer.bytes[offsetof(SCSI_ADDRESS, TargetId)];
    address.lun = answer.bytes[offsetof(SCSI_ADDRESS, Lun)];
    return address;
}

bool ControllerMayBeShared(const std::optional<ControllerAddress>& self,
                           const std::vector<std::optional<ControllerAddress>>& otherDisks) {
    for (const auto& other : otherDisks) {
        if (!self || !other) return true;
        if (other->port == self->port && other->path == self->path && other->target == self->target) return true;
    }
    return false;
}

}  // namespace morvane
