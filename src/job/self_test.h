// The headless self-test: the whole erase-certify-stamp pipeline in simulation mode.
#pragma once

#include <string>

#include "disk/disk_info.h"

namespace morvane {

// Exit codes: 0 passed, 1 job not completed, 2 stamp record failed, 3 no HTML
// certificate file, 4 hardware profile incomplete, 5 stamp writer failed, 6 temporary
// stamp image could not be created.
[[nodiscard]] int RunSelfTest();

// The record used when the machine lists no physical disk: a 512 GiB virtual NVMe disk.
DiskInfo SelfTestVirtualDisk();

// True when the command line asks for the self-test (plain substring match).
[[nodiscard]] bool WantsSelfTest(const wchar_t* commandLine);

}  // namespace morvane
