// Step 5 of a WinPE build: the committed medium written to a USB stick or an ISO
// image, and the checks that a USB target may be formatted at all.
#pragma once

#include <string>

#include "common/log_callback.h"
#include "winpe/winpe_build.h"
#include "winpe/winpe_commands.h"
#include "winpe/winpe_host.h"

namespace morvane {

// The "[ERROR] " line that refuses `usbDrive` as a target, or empty when it may be
// formatted: a removable drive named by one letter that is none of the drives the
// running program depends on, whose volume the kit's script can format (MBR, at
// most 32 GiB).
[[nodiscard]] std::wstring UsbTargetRefusal(const std::wstring& usbDrive, const WinPEHost& host);

// Each returns 0 when the medium was written, 1 on failure (explained in the log);
// the success line is the last line logged.
[[nodiscard]] int WriteUsbMedium(const WinPEPaths& p, const WinPEBuildOptions& o, const LogCallback& log,
                                 const WinPEHost& host);
[[nodiscard]] int WriteIsoImage(const WinPEPaths& p, const WinPEBuildOptions& o, const LogCallback& log,
                                const WinPEHost& host);

}  // namespace morvane
