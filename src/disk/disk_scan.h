// The physical-disk scan: raw storage facts are gathered behind DiskFactSource and
// turned into DiskInfo records by pure functions, so the decisions are tested with
// synthetic facts and the Win32 queries are tested for real under Wine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/unique_handle.h"
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
    FirmwareCapabilities firmware;                       // property-query discovery; unknown when not asked
    std::optional<ControllerAddress> controllerAddress;  // IOCTL_SCSI_GET_ADDRESS
};

// One mounted volume: its root ("D:\") and the disk number of every extent.
struct VolumeExtents {
    std::wstring root;
    std::vector<std::uint32_t> diskNumbers;
};

// Every disk under the volumes of the system directory and the Windows directory.
// When either volume cannot be read, `resolved` is false and `numbers` holds 0, the
// disk then presumed to carry the system; the classification then also keeps every
// internal disk locked, since the real system disk may be any of them.
struct SystemDisks {
    std::vector<std::uint32_t> numbers;
    bool resolved = false;
};

// The system disks from the extents answer of each system volume (nothing: the query
// failed). Any failed or empty answer leaves them unresolved.
SystemDisks SystemDisksFrom(std::span<const std::optional<std::vector<std::uint32_t>>> answers);

// Disk numbers of a VOLUME_DISK_EXTENTS answer of `returned` bytes; nothing when the
// answer is shorter than the extent count it announces.
std::optional<std::vector<std::uint32_t>> ParseDiskExtentNumbers(const unsigned char* buffer, std::size_t returned);

// One IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS call into `buffer`: true with the bytes
// returned, or false with `moreData` set when the buffer was too small for every extent.
using ExtentsIoctl = std::function<bool(unsigned char* buffer, std::size_t size, std::size_t& returned, bool& moreData)>;
// Asks with a buffer that grows until every extent fits (a spanned or mirrored volume
// has several); nothing when the call fails for another reason or never fits.
std::optional<std::vector<std::uint32_t>> QueryVolumeExtents(const ExtentsIoctl& ioctl);

class DiskFactSource {
public:
    virtual ~DiskFactSource() = default;
    virtual SystemDisks SystemDiskNumbers() = 0;
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

// Whether each disk may share its controller with another disk of the list, from every
// disk's address (an unknown address counts as shared).
void MarkSharedControllers(std::vector<DiskInfo>& disks);

// Full scan over disk numbers 0..31 (gaps skipped), size-0 disks dropped, then
// drive letters, shared controllers and safety classification; a drive whose last
// sanitize failed, whose sanitize is frozen (with what to do, which depends on `winPE`)
// or whose security is locked says so in its safety description.
std::vector<DiskInfo> EnumeratePhysicalDisks(DiskFactSource& source, bool winPE, bool unlockInternal);
// The same over the real Windows storage stack. Opens disks with no access rights.
std::vector<DiskInfo> EnumeratePhysicalDisks(bool winPE, bool unlockInternal);

// Opens a device with no access rights: enough for queries, never for a write.
UniqueFile OpenDeviceForQuery(const std::wstring& devicePath);

// Queries the device at `devicePath` the way the scan does (no access rights), without
// asking the drive's firmware.
std::optional<DiskQueryFacts> QueryDiskFactsAtPath(const std::wstring& devicePath);

int FindWinPEBootDisk();

// "E: [DATA - 14.90 GB]"; an empty label shows as "USB Drive".
std::wstring FormatRemovableDriveEntry(const std::wstring& root, const std::wstring& label,
                                       std::uint64_t totalBytes);
std::vector<std::wstring> ListRemovableDrives();

// Drive root strings from GetLogicalDriveStringsW ("C:\", "D:\", ...).
std::vector<std::wstring> LogicalDriveRoots();

// The machine's own answers: the system disks and every mounted volume's disks.
SystemDisks QuerySystemDisks();
std::vector<VolumeExtents> QueryMountedVolumes();

}  // namespace morvane
