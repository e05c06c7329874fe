// Safety classification: which disks a real (hardware-writing) erase may touch,
// and the environment checks it depends on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_info.h"
#include "disk/disk_scan.h"

namespace morvane {

enum SafetyStatus : std::uint32_t {
    Erasable = 0,
    SystemDisk = 1,
    WinPEBootMedium = 2,
    InternalLocked = 3,
    InternalUnlocked = 4,
};

// Only Erasable and InternalUnlocked may be written for real.
[[nodiscard]] constexpr bool IsErasableForRealWrite(std::uint32_t safety) {
    return safety == Erasable || safety == InternalUnlocked;
}

std::wstring SafetyLabel(std::uint32_t status);

inline constexpr const wchar_t* kNoDriveLetters = L"(未割当/マウントなし)";

// Sets safety, safetyDescription and the placeholder for empty driveLetters of
// every record. Under a normal Windows every system disk (and anything holding C:)
// is protected, and unresolved system disks keep every internal disk locked whatever
// the unlock says; bootMediumDiskNumber (-1: none) protects the boot stick under WinPE.
void ClassifyDisks(std::vector<DiskInfo>& disks, bool winPE, bool unlockInternal,
                   const SystemDisks& systemDisks, int bootMediumDiskNumber);
// The same with one known system disk.
void ClassifyDisks(std::vector<DiskInfo>& disks, bool winPE, bool unlockInternal,
                   int systemDiskNumber, int bootMediumDiskNumber);

// True inside Windows PE: the MiniNT key exists or the system directory is on X:.
[[nodiscard]] bool IsWinPE();
// True when the process token is a member of the built-in Administrators group.
[[nodiscard]] bool IsRunningAsAdmin();

}  // namespace morvane
