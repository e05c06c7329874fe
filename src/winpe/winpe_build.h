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

// Which file becomes the injected program, and whether that choice is announced.
struct InjectedProgram {
    std::wstring source;
    bool nativeX86 = false;  // the 32-bit build beside the program was chosen
};
// For x86 media a 32-bit build beside the program ("MorvaneDiskEraser_x86.exe") or
// in its "x86" folder is preferred; otherwise, and for x64, the program itself.
[[nodiscard]] InjectedProgram ChooseInjectedProgram(const std::wstring& programPath, int x86,
                                                    bool x86BuildBeside, bool x86BuildInSubfolder);

// True for a drive name of one drive letter ("E:") other than the drive the running
// system lives on. The build also requires a removable drive that is not the
// program's own drive, both before it starts and right before it formats.
[[nodiscard]] bool IsUsableUsbDrive(const std::wstring& drive, const std::wstring& systemDrive);

// Returns 0 when the medium was created, 1 on failure (explained in the log).
// Paths that reach cmd.exe (work folder, ISO path, USB drive) must not contain "%".
[[nodiscard]] int BuildWinPEMedia(const WinPEBuildOptions& options, LogCallback log);
[[nodiscard]] int BuildWinPEMedia(const WinPEBuildOptions& options, LogCallback log,
                                  const WinPEHost& host);

}  // namespace morvane
