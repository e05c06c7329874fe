// Discovery queries of SATA and SAS drives through the transport, and the entry point for
// every protocol.
#include "firmware/drive_discovery.h"

#include "firmware/ata_requests.h"
#include "firmware/discovery.h"
#include "firmware/storage_layouts.h"

namespace morvane {

namespace {

// One ATA command; the registers (and data) when Windows answered.
std::optional<AtaAnswer> AtaCommand(DeviceTransport& transport, const std::vector<std::uint8_t>& request,
                                    std::size_t dataInLength, IoctlAnswer& answer) {
    answer = transport.Ioctl(kIoctlAtaPassThrough, request, request.size());
    if (!answer.ok()) return std::nullopt;
    return ParseAtaPassThrough(answer.bytes, dataInLength);
}

// A data-in ATA command's sector, when the drive completed the command without error.
std::optional<std::vector<std::uint8_t>> AtaSector(DeviceTransport& transport, const std::vector<std::uint8_t>& request) {
    IoctlAnswer answer;
    const auto parsed = AtaCommand(transport, request, kAtaSectorSize, answer);
    if (!parsed || parsed->registers.errorBit()) return std::nullopt;
    return std::vector<std::uint8_t>(parsed->data.begin(), parsed->data.end());
}

std::optional<std::uint64_t> NativeMaxLba(DeviceTransport& transport, const std::vector<std::uint8_t>& request) {
    IoctlAnswer answer;
    const auto parsed = AtaCommand(transport, request, 0, answer);
    return parsed ? ParseNativeMaxAddress(parsed->registers) : std::nullopt;
}

// One SCSI command; its answer when Windows answered and the layout holds.
std::optional<ScsiAnswer> ScsiCommand(DeviceTransport& transport, const std::vector<std::uint8_t>& request,
                                      IoctlAnswer& answer) {
    answer = transport.Ioctl(kIoctlScsiPassThroughDirect, request, request.size());
    if (!answer.ok()) return std::nullopt;
    return ParseScsiPassThroughDirect(answer.bytes);
}

// Whether the drive offers SANITIZE with the method's service action: asked with the
// timeouts descriptor first, then, when the drive calls that an illegal request, without.
std::optional<ScsiCommandSupport> SanitizeSupport(DeviceTransport& transport, SanitizeMethod method) {
    for (const bool withTimeouts : {true, false}) {
        IoctlAnswer answer;
        const auto parsed = ScsiCommand(transport, BuildScsiSanitizeSupportQuery(method, withTimeouts), answer);
        if (!parsed) return std::nullopt;
        if (parsed->scsiStatus == kScsiStatusGood) return ParseSupportedOperation(parsed->data);
        const auto sense = ParseSense(parsed->sense);
        if (!withTimeouts || parsed->scsiStatus != kScsiStatusCheckCondition || !sense || sense->key != 0x05) break;
    }
    return std::nullopt;
}

}  // namespace

std::optional<AtaSanitizeStatus> ReadAtaSanitizeStatus(DeviceTransport& transport) {
    IoctlAnswer answer;
    const auto parsed = AtaCommand(transport, BuildAtaSanitizeStatus(), 0, answer);
    return parsed ? ParseAtaSanitizeStatus(parsed->registers) : std::nullopt;
}

AtaDiscovery DiscoverAta(DeviceTransport& transport) {
    AtaDiscovery found;
    found.capabilities.protocol = DriveProtocol::Ata;
    found.hidden.state = HiddenCapacity::State::Unknown;
    const auto sector = AtaSector(transport, BuildAtaIdentify());
    if (sector) found.identity = ParseAtaIdentify(*sector);
    if (!found.identity) return found;
    const AtaIdentity& id = *found.identity;
    found.capabilities = AtaCapabilities(id);

    if (id.sanitize) {
        found.status = ReadAtaSanitizeStatus(transport);
        FirmwareCapabilities& caps = found.capabilities;
        caps.statusKnown = found.status.has_value();
        caps.lastSanitizeFailed = found.status && found.status->failed();
        caps.sanitizeFrozen = found.status && found.status->frozen;
    }

    // Without the HPA or the Accessible Max Address feature no limit can be set, and
    // a 28-bit-only drive's READ NATIVE MAX ADDRESS is not asked: "unknown".
    const bool nativeQueried = id.accessibleMaxAddress || id.hostProtectedArea;
    std::optional<std::uint64_t> nativeMax;
    if (id.accessibleMaxAddress) {
        nativeMax = NativeMaxLba(transport, BuildAtaGetNativeMaxAddress());
    } else if (id.hostProtectedArea && id.lba48) {
        nativeMax = NativeMaxLba(transport, BuildAtaReadNativeMaxAddressExt());
    }
    std::optional<std::uint64_t> dcoMax;
    if (id.deviceConfigurationOverlay) {
        if (const auto dco = AtaSector(transport, BuildAtaDcoIdentify())) dcoMax = ParseDcoMaximumLba(*dco);
    }
    found.hidden = AssessHiddenCapacity(id, nativeQueried, nativeMax, dcoMax);
    return found;
}

std::optional<SenseData> ReadScsiSense(DeviceTransport& transport) {
    IoctlAnswer answer;
    const auto parsed = ScsiCommand(transport, BuildScsiRequestSense(), answer);
    if (!parsed || parsed->scsiStatus != kScsiStatusGood) return std::nullopt;
    return ParseSense(parsed->data);
}

ScsiDiscovery DiscoverScsi(DeviceTransport& transport) {
    ScsiDiscovery found;
    FirmwareCapabilities& caps = found.capabilities;
    caps.protocol = DriveProtocol::Scsi;
    bool allAnswered = true;
    for (const SanitizeMethod method :
         {SanitizeMethod::CryptoErase, SanitizeMethod::BlockErase, SanitizeMethod::Overwrite}) {
        const auto support = SanitizeSupport(transport, method);
        if (!support || support->support == ScsiCommandSupport::Support::Unknown) {
            allAnswered = false;
            break;
        }
        const bool offered = support->support == ScsiCommandSupport::Support::Supported;
        switch (method) {
            case SanitizeMethod::CryptoErase:
                caps.cryptoErase = offered;
                caps.cryptoEraseSeconds = support->recommendedTimeout;
                break;
            case SanitizeMethod::BlockErase:
                caps.blockErase = offered;
                caps.blockEraseSeconds = support->recommendedTimeout;
                break;
            case SanitizeMethod::Overwrite:
                caps.overwrite = offered;
                caps.overwriteSeconds = support->recommendedTimeout;
                break;
            case SanitizeMethod::None: break;
        }
    }
    if (!allAnswered) {
        caps = FirmwareCapabilities{};
        caps.protocol = DriveProtocol::Scsi;
    } else {
        caps.known = true;
    }
    found.sense = ReadScsiSense(transport);
    caps.statusKnown = found.sense.has_value();
    caps.lastSanitizeFailed = found.sense && found.sense->sanitizeFailed();
    return found;
}

AtaDiscovery DiscoverAtaIdentity(DeviceTransport& transport) {
    AtaDiscovery found;
    found.capabilities.protocol = DriveProtocol::Ata;
    found.hidden.state = HiddenCapacity::State::Unknown;
    const std::vector<std::uint8_t> query = BuildAtaIdentifyQuery();
    const IoctlAnswer answer = transport.Ioctl(kIoctlQueryProperty, query, query.size());
    if (!answer.ok()) return found;
    if (const auto sector = ProtocolData(answer.bytes, kAtaSectorSize)) found.identity = ParseAtaIdentify(*sector);
    if (found.identity) found.capabilities = AtaCapabilities(*found.identity);
    return found;
}

FirmwareDiscovery DiscoverFirmware(DeviceTransport& transport, DriveProtocol protocol, DiscoveryAccess access) {
    FirmwareDiscovery found;
    if (access == DiscoveryAccess::PropertyQueriesOnly && protocol != DriveProtocol::Nvme) {
        if (protocol == DriveProtocol::Ata) {
            AtaDiscovery ata = DiscoverAtaIdentity(transport);
            found.capabilities = ata.capabilities;
            found.hidden = ata.hidden;
        } else {
            found.capabilities.protocol = protocol;  // SCSI asks nothing without pass-through: unknown
        }
        return found;
    }
    switch (protocol) {
        case DriveProtocol::Nvme: {
            NvmeDiscovery nvme = DiscoverNvme(transport);
            found.capabilities = nvme.capabilities;
            found.nvmeStatus = nvme.status;
            break;
        }
        case DriveProtocol::Ata: {
            AtaDiscovery ata = DiscoverAta(transport);
            found.capabilities = ata.capabilities;
            found.hidden = ata.hidden;
            break;
        }
        case DriveProtocol::Scsi: found.capabilities = DiscoverScsi(transport).capabilities; break;
    }
    return found;
}

}  // namespace morvane
