// Device housekeeping around the overwrite passes: volume lock and dismount, TRIM and
// the partition-table wipe. All best effort: nothing here can fail an erase job.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/log_callback.h"
#include "common/unique_handle.h"
#include "common/win32.h"
#include "erase/disk_io.h"

namespace morvane {

using LockedVolumes = std::vector<UniqueFile>;

inline constexpr std::uint32_t kWipeBytes = 1024u * 1024;

// The volume operations the lock step needs, so the selection logic can be driven by
// a fake volume list in tests.
class VolumeControl {
public:
    virtual ~VolumeControl() = default;
    // Root strings ("C:\", "E:\", ...) in drive-string order; empty when none.
    virtual std::vector<std::wstring> DriveRoots() = 0;
    // Opens \\.\X: for read and write; empty on failure.
    virtual UniqueFile OpenVolume(wchar_t letter) = 0;
    // Disk numbers of the volume's extents; false when the query failed.
    virtual bool DiskNumbers(HANDLE volume, std::vector<std::uint32_t>& numbers) = 0;
    // Locks the volume exclusively and dismounts it (results ignored).
    virtual void LockAndDismount(HANDLE volume) = 0;
};

// Disk numbers in a VOLUME_DISK_EXTENTS answer of `size` bytes; only whole extents that
// fit in the buffer are read.
[[nodiscard]] std::vector<std::uint32_t> ParseVolumeDiskExtents(const unsigned char* data,
                                                                std::size_t size);

// Locks and dismounts every mounted volume with an extent on disk `diskNumber`.
[[nodiscard]] LockedVolumes LockAndDismountVolumes(int diskNumber, const LogCallback& log);
[[nodiscard]] LockedVolumes LockAndDismountVolumes(VolumeControl& volumes, int diskNumber,
                                                   const LogCallback& log);

// Unlocks and closes every held volume, then empties the list.
void UnlockAndCloseVolumes(LockedVolumes& volumes);

// The 48-byte IOCTL_STORAGE_MANAGE_DATA_SET_ATTRIBUTES input: a header asking for TRIM
// followed by one range that covers bytes 0..sizeBytes.
[[nodiscard]] std::array<unsigned char, 48> BuildTrimRequest(std::uint64_t sizeBytes);

// Sends a whole-disk TRIM and logs the outcome; true when the device accepted it.
bool IssueTrim(HANDLE disk, std::uint64_t sizeBytes, const LogCallback& log);
bool IssueTrim(DiskIo& disk, std::uint64_t sizeBytes, const LogCallback& log);

// Deletes the drive layout and zeroes the first and the last MiB of the disk (MBR,
// primary and backup GPT), then asks the system to re-read the disk. Returns the
// ranges whose zero writes the device accepted, in disk order; verification expects
// zeros there.
std::vector<ByteRange> WipePartitionTables(HANDLE disk, std::uint64_t sizeBytes, std::uint32_t sectorSize,
                                           const LogCallback& log);
std::vector<ByteRange> WipePartitionTables(DiskIo& disk, std::uint64_t sizeBytes, std::uint32_t sectorSize,
                                           const LogCallback& log);

}  // namespace morvane
