// The physical-disk scan: raw storage facts are gathered behind DiskFactSource and
// turned into DiskInfo records by pure functions, so the decisions are tested with
// synthetic facts and the Win32 queries are tested for real under Wine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disk/disk_info.h"

namespace morvane {

inline constexpr int kMaxPhysicalDisks = 32;

// What the storage queries answered for one opened disk.
struct DiskQueryFacts {
    bool descriptorOk = false;  // descriptor query succeeded with at least 40 bytes
    bool removableMedia = false;
    std::uint32_t storageBusType = 0;
    std::string vendor, product, revision, serial;  // raw strings from the descriptor
    bool geometryOk = false;
    std::uint64_t diskSize = 0;
    std::uint32_t bytesPerSector = 0;
    bool seekPenaltyOk = false;  // seek-penalty query succeeded with 12 bytes
    bool incursSeekPenalty = false;
};

// One mounted volume: its root ("D:\") and the disk number of every extent.
struct VolumeExtents {
    std::wstring root;
    std::vector<std::uint32_t> diskNumbers;
};

class DiskFactSource {
public:
    virtual ~DiskFactSource() = default;
    // Disk behind the system directory's volume; 0 when it cannot be resolved.
    virtual int SystemDiskNumber() = 0;
    // Disk holding "sources\boot.wim", or -1.
    virtual int WinPEBootDiskNumber() = 0;
    // Facts for "\\.\PhysicalDrive<number>", or nothing when it cannot be opened.
    virtual std::optional<DiskQueryFacts> QueryDisk(int number) = 0;
    virtual std::vector<VolumeExtents> QueryVolumes() = 0;
};

// Reads the vendor/product/revision/serial strings of a STORAGE_DEVICE_DESCRIPTOR
// held in `buffer` (of which `returned` bytes are valid). Offsets of 0 or past the
// returned bytes give empty strings; nothing is read outside the returned bytes.
DiskQueryFacts ParseDeviceDescriptor(const unsigned char* buffer, std::size_t returned);

// Applies the record defaults, model/serial fallbacks, geometry and media rules.
DiskInfo BuildDiskRecord(int number, const DiskQueryFacts& facts);

// Appends the letter of every volume extent to the disk it lives on, ", "-joined.
void AssignDriveLetters(std::vector<DiskInfo>& disks, const std::vector<VolumeExtents>& volumes);

// Full scan over disk numbers 0..31 (gaps skipped), size-0 disks dropped, then
// drive letters and safety classification.
std::vector<DiskInfo> EnumeratePhysicalDisks(DiskFactSource& source, bool winPE, bool unlockInternal);
// The same over the real Windows storage stack. Opens disks with no access rights.
std::vector<DiskInfo> EnumeratePhysicalDisks(bool winPE, bool unlockInternal);

// Queries the device at `devicePath` the way the scan does (no access rights).
std::optional<DiskQueryFacts> QueryDiskFactsAtPath(const std::wstring& devicePath);

int FindWinPEBootDisk();

// "E: [DATA - 14.90 GB]"; an empty label shows as "USB Drive".
std::wstring FormatRemovableDriveEntry(const std::wstring& root, const std::wstring& label,
                                       std::uint64_t totalBytes);
std::vector<std::wstring> ListRemovableDrives();

// Drive root strings from GetLogicalDriveStringsW ("C:\", "D:\", ...).
std::vector<std::wstring> LogicalDriveRoots();

}  // namespace morvane
