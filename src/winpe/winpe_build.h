// The WinPE media build: stages the kit's WinPE, injects the program, its libraries,
// the Japanese locale and the auto-start files, and writes a USB stick, an ISO image
// or leaves a media folder.
#pragma once

#include <cstdint>
#include <string>

#include "common/log_callback.h"
#include "winpe/winpe_host.h"

namespace morvane {

enum WinPEOutputKind : std::int32_t {
    WinPEOutputUsb = 0,
    WinPEOutputIso = 1,
    WinPEOutputFolder = 2,  // also every other value
};

struct WinPEBuildOptions {
    std::int32_t outputKind = WinPEOutputUsb;
    std::int32_t x86 = 0;       // 1 = 32-bit x86 medium, anything else x64
    std::int32_t uefiOnly = 0;  // non-zero: no legacy BIOS boot records
    std::wstring usbDrive;      // only its first two characters are used ("E:")
    std::wstring isoPath;
    std::wstring workDir;       // empty: a fresh temporary folder + "Morvane_WinPE_" + architecture
                                // + "_" + start time, one per build
};

// True for a drive name of one drive letter ("E:") other than the drive the running
// system lives on. The build also requires a removable drive that is not the
// program's own drive, both before it starts and right before it formats.
[[nodiscard]] bool IsUsableUsbDrive(const std::wstring& drive, const std::wstring& systemDrive);

// Returns 0 when the medium was created, 1 on failure (explained in the log).
// Refused before any tool runs: while another build or kit installation holds the
// build lock; a path that reaches the kit's script (work folder, ISO path, USB
// drive) with a character it cannot take; a USB target it cannot format; no program
// file of the medium's architecture. A successful ISO or USB build removes its work
// folder; a media folder build leaves its folder, the product.
[[nodiscard]] int BuildWinPEMedia(const WinPEBuildOptions& options, LogCallback log);
[[nodiscard]] int BuildWinPEMedia(const WinPEBuildOptions& options, LogCallback log,
                                  const WinPEHost& host);

}  // namespace morvane
