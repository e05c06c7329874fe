// The physical-disk record shared by the engine, the evidence and the user interface,
// and the size, bus and media texts printed by every report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "firmware/model.h"

namespace morvane {

enum BusKind : std::uint32_t {
    BusUnknown = 0,
    BusUsb = 1,
    BusSata = 2,
    BusNvme = 3,
    BusScsiSas = 4,
    BusSdCard = 5,
    BusMmc = 6,
    BusRaid = 7,
    BusVirtual = 8,
};

enum MediaKind : std::uint32_t {
    MediaStandard = 0,
    MediaHdd = 1,
    MediaSsd = 2,
    MediaNvmeSsd = 3,
    MediaRemovable = 4,
};

struct DiskInfo {
    std::int32_t index = -1;
    std::wstring devicePath;
    std::wstring model;
    std::wstring serialNumber;
    std::wstring firmwareRevision;
    std::wstring driveLetters;
    std::uint64_t sizeBytes = 0;
    std::uint32_t bytesPerSector = 512;
    std::uint32_t mediaKind = MediaStandard;
    std::uint32_t busKind = BusUnknown;
    std::uint32_t safety = 1;  // SystemDisk: a record never classified is never erasable
    std::wstring safetyDescription;
    // What the drive offers for erasing itself, as the scan could ask it without write
    // access: NVMe drives in full, SATA drives through IDENTIFY alone (no sanitize state);
    // "unknown" for SAS drives (their queries need write access, so the erase job asks
    // them), for other buses and whenever the drive could not be asked.
    FirmwareCapabilities firmware;
    // Port, path, target and LUN; empty when the disk could not be asked.
    std::optional<ControllerAddress> controllerAddress;
    // Another disk of the same scan may sit on this disk's controller, whose sanitize would
    // erase it too. Decided by the scan, which alone sees every disk's address.
    bool controllerMayBeShared = true;
};

// The sector size every transfer on the disk is measured in: the recorded logical
// sector size, or 512 when the scan could not read one (recorded as 0).
[[nodiscard]] constexpr std::uint32_t SectorSizeOf(const DiskInfo& disk) {
    return disk.bytesPerSector == 0 ? 512 : disk.bytesPerSector;
}

// True when the disk's drive letters include C: (either case): the volume a running
// Windows lives on, protected whatever else the disk's record says.
[[nodiscard]] bool HoldsDriveC(const DiskInfo& disk);

// "465.76 GB", "1.82 TB", "1.0 MB", "0 B" (1 GB = 2^30 bytes, 1 TB = 2^40 bytes).
std::wstring FormatSize(std::uint64_t bytes);
std::wstring BusKindName(std::uint32_t busKind);
std::wstring MediaKindName(std::uint32_t mediaKind);

// Maps a Windows STORAGE_BUS_TYPE value to a BusKind (only 1..17 are mapped).
std::uint32_t BusKindFromStorageBusType(std::uint32_t storageBusType);

// The protocol the drive's own erase commands take on a bus: NVMe; ATA pass-through for
// SATA; SCSI pass-through for SAS and the other SCSI buses (it also reaches a SATA disk
// on a SAS adapter, which translates). None for USB, whose bridges are never sent
// firmware commands, and for every other bus.
std::optional<DriveProtocol> FirmwareProtocolOf(std::uint32_t busKind);

}  // namespace morvane
