// Asking an NVMe drive what it can do and how its last sanitize ended, and where it sits
// (port, path, target) so the job can tell whether another disk shares its controller.
// Everything goes through a DeviceTransport; a refused or malformed answer means "unknown".
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "firmware/model.h"
#include "firmware/nvme_pages.h"
#include "firmware/transport.h"

namespace morvane {

struct NvmeDiscovery {
    FirmwareCapabilities capabilities;
    // The Sanitize Status log as read now; empty when it could not be read (Windows outside
    // WinPE may not return it). Its estimates size the sanitize time-out.
    std::optional<SanitizeStatusLog> status;
};

// Identify Controller and the Sanitize Status log, two property queries.
NvmeDiscovery DiscoverNvme(DeviceTransport& transport);

// The Sanitize Status log alone; empty when it cannot be read.
std::optional<SanitizeStatusLog> ReadSanitizeStatus(DeviceTransport& transport);

// A disk's address (ControllerAddress) from IOCTL_SCSI_GET_ADDRESS; empty when the request
// fails or the answer is too short.
std::optional<ControllerAddress> QueryControllerAddress(DeviceTransport& transport);

// Whether another disk of the system may sit on the same controller as this one: same
// port, path and target. An unknown address (this disk's or another's) counts as "may",
// since a sanitize erases every namespace of the controller.
bool ControllerMayBeShared(const std::optional<ControllerAddress>& self,
                           const std::vector<std::optional<ControllerAddress>>& otherDisks);

}  // namespace morvane
