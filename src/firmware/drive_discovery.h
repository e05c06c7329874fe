// Asking a SATA or SAS drive what it can do, how its last sanitize ended and (SATA) whether
// part of it is hidden, and one entry point that asks a drive of any protocol. Everything
// goes through a DeviceTransport; a refused, aborted or malformed answer means "unknown".
#pragma once

#include <cstdint>
#include <optional>

#include "firmware/ata_identify.h"
#include "firmware/hidden_capacity.h"
#include "firmware/model.h"
#include "firmware/nvme_pages.h"
#include "firmware/scsi_requests.h"
#include "firmware/transport.h"

namespace morvane {

struct AtaDiscovery {
    FirmwareCapabilities capabilities;       // protocol Ata; known once IDENTIFY was read
    std::optional<AtaIdentity> identity;
    std::optional<AtaSanitizeStatus> status;  // asked only of drives with the Sanitize feature set
    HiddenCapacity hidden;                    // Unknown when IDENTIFY could not be read
};

// IDENTIFY DEVICE; SANITIZE STATUS EXT where the Sanitize feature set is offered; the
// native maximum (GET NATIVE MAX ADDRESS EXT where IDENTIFY offers Accessible Max Address,
// else READ NATIVE MAX ADDRESS EXT where it offers the HPA feature set on a 48-bit drive);
// DEVICE CONFIGURATION IDENTIFY where it offers the overlay. All of them only read, but
// as pass-through requests they need a disk handle opened for reading and writing.
AtaDiscovery DiscoverAta(DeviceTransport& transport);

// IDENTIFY DEVICE alone, through the property query that any disk handle may send: the
// capabilities without the sanitize state, and the hidden capacity Unknown.
AtaDiscovery DiscoverAtaIdentity(DeviceTransport& transport);

// SANITIZE STATUS EXT alone; empty when the drive gave no reading.
std::optional<AtaSanitizeStatus> ReadAtaSanitizeStatus(DeviceTransport& transport);

struct ScsiDiscovery {
    FirmwareCapabilities capabilities;  // protocol Scsi
    std::optional<SenseData> sense;     // REQUEST SENSE now: a sanitize running or failed
};

// REPORT SUPPORTED OPERATION CODES for each SANITIZE service action (a drive that does not
// answer every one is "unknown"; one that refuses the timeouts descriptor is asked again
// without it), then REQUEST SENSE.
ScsiDiscovery DiscoverScsi(DeviceTransport& transport);

// REQUEST SENSE alone; empty when the command failed or its data is not sense data.
std::optional<SenseData> ReadScsiSense(DeviceTransport& transport);

// What the scan and the job keep of any drive.
struct FirmwareDiscovery {
    FirmwareCapabilities capabilities;
    std::optional<SanitizeStatusLog> nvmeStatus;  // NVMe: the status log, which sizes the time-out
    HiddenCapacity hidden;                        // SATA only; NotApplicable otherwise
};

// How far discovery may go. Pass-through requests (everything SATA and SAS discovery asks
// beyond IDENTIFY) need a disk handle with write access; a handle without it allows only
// property queries: NVMe's whole discovery and SATA's IDENTIFY.
enum class DiscoveryAccess : std::uint8_t { PropertyQueriesOnly, PassThrough };

// The one entry point: the queries of `protocol` through `transport`, within `access`.
FirmwareDiscovery DiscoverFirmware(DeviceTransport& transport, DriveProtocol protocol,
                                   DiscoveryAccess access = DiscoveryAccess::PassThrough);

}  // namespace morvane
