// What makes a WinPE medium boot on both firmware kinds and run the program in
// Japanese: hybrid boot files, the Japanese locale and fonts. Only an offline
// registry hive that stays loaded fails a build; other problems show in the log.
#pragma once

#include <string>

#include "common/log_callback.h"
#include "winpe/winpe_host.h"

namespace morvane {

// The El Torito boot sector and the UEFI boot images go to the work folder's
// "fwfiles" and "bootbins", taken from the architecture's own Oscdimg folder (an
// x86 medium needs the 32-bit UEFI loader); a file that folder lacks is borrowed
// from amd64 with a "[WARN] " line. The media tree gets a BIOS boot manager if it
// lacks one.
void StageHybridBootFiles(const std::wstring& adkRoot, const std::wstring& workFolder, int x86,
                          LogCallback log);

// Japanese packages, international settings and keyboard, fonts and their registry
// entries, applied to the image mounted at `mountFolder`. A missing or failed
// package is a "[WARN] " line. The image's SOFTWARE hive is loaded under a temporary
// key (a leftover of that key is unloaded first); when it cannot be loaded the font
// entries are skipped with a "[WARN] " line. Returns false only when the hive is
// still loaded after the unload and one retry: the image must not be committed then.
[[nodiscard]] bool AddJapaneseLocale(const std::wstring& adkRoot, const std::wstring& mountFolder,
                                     const std::wstring& applicationFolder, int x86, LogCallback log);
[[nodiscard]] bool AddJapaneseLocale(const std::wstring& adkRoot, const std::wstring& mountFolder,
                                     const std::wstring& applicationFolder, int x86, LogCallback log,
                                     const WinPEHost& host);

// The DISM every image command runs (as DismProgram names it): the kit's own when
// it is installed, which knows the kit's image format, else the system's.
[[nodiscard]] std::wstring ChooseDism(const std::wstring& adkRoot);

}  // namespace morvane
