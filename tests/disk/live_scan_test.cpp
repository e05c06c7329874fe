// The real Win32 scan under Wine: it must not crash and must print what it finds.
// Disks are only opened with no access rights here.
#include <gtest/gtest.h>

#include <cstdio>

#include "disk/disk_scan.h"
#include "disk/safety.h"
#include "support/temp_dir.h"  // Narrow

namespace morvane {
namespace {

using testing::Narrow;

TEST(LiveScan, PrintsTheMachinesDisks) {
    const bool winPE = IsWinPE();
    EXPECT_FALSE(winPE) << "under Wine the system directory is on C:";
    const auto disks = EnumeratePhysicalDisks(winPE, false);
    std::printf("WinPE: %d  admin: %d  disks: %zu\n", winPE ? 1 : 0, IsRunningAsAdmin() ? 1 : 0,
                disks.size());
    int previous = -1;
    for (const DiskInfo& d : disks) {
        std::printf("  #%d %s | %s | serial %s | fw %s | %s | %u B/sector | %s / %s | %s\n", d.index,
                    Narrow(d.devicePath).c_str(), Narrow(d.model).c_str(),
                    Narrow(d.serialNumber).c_str(), Narrow(d.firmwareRevision).c_str(),
                    Narrow(FormatSize(d.sizeBytes)).c_str(), d.bytesPerSector,
                    Narrow(BusKindName(d.busKind)).c_str(), Narrow(MediaKindName(d.mediaKind)).c_str(),
                    Narrow(SafetyLabel(d.safety)).c_str());
        EXPECT_GT(d.index, previous) << "ascending disk numbers";
        previous = d.index;
        EXPECT_LT(d.index, kMaxPhysicalDisks);
        EXPECT_NE(d.sizeBytes, 0u);
        EXPECT_FALSE(d.model.empty());
        EXPECT_FALSE(d.serialNumber.empty());
        EXPECT_FALSE(d.driveLetters.empty());
        EXPECT_FALSE(d.safetyDescription.empty());
        EXPECT_LE(d.safety, 4u);
    }
    for (const std::wstring& entry : ListRemovableDrives()) std::printf("  removable: %s\n", Narrow(entry).c_str());
    std::printf("  WinPE boot disk: %d\n", FindWinPEBootDisk());
}

}  // namespace
}  // namespace morvane
