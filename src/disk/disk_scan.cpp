// Pure decisions of the disk scan: descriptor parsing, record building, drive letters.
#include "disk/disk_scan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/text.h"
#include "disk/safety.h"
#include "firmware/discovery.h"

namespace morvane {

namespace {

std::uint32_t ReadU32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// A NUL-terminated string at `offset`, never reading at or past `returned`.
std::string StringAt(const unsigned char* buffer, std::size_t returned, std::uint32_t offset) {
    if (offset == 0 || offset >= returned) return {};
    const char* start = reinterpret_cast<const char*>(buffer + offset);
    std::size_t length = 0;
    while (offset + length < returned && start[length] != '\0') ++length;
    return std::string(start, length);
}

}  // namespace

std::optional<std::vector<std::uint32_t>> ParseDiskExtentNumbers(const unsigned char* buffer, std::size_t returned) {
    // VOLUME_DISK_EXTENTS: NumberOfDiskExtents (4 bytes), padding, then 24-byte
    // DISK_EXTENTs whose first 4 bytes are the DiskNumber.
    constexpr std::size_t kHeader = 8, kExtent = 24;
    if (buffer == nullptr || returned < kHeader) return std::nullopt;
    const std::uint32_t count = ReadU32(buffer);
    if (count > (returned - kHeader) / kExtent) return std::nullopt;
    std::vector<std::uint32_t> numbers;
    for (std::uint32_t i = 0; i < count; ++i) numbers.push_back(ReadU32(buffer + kHeader + i * kExtent));
    return numbers;
}

std::optional<std::vector<std::uint32_t>> QueryVolumeExtents(const ExtentsIoctl& ioctl) {
    std::size_t size = 32;  // room for one extent, the usual case
    for (int attempt = 0; attempt < 16 && size <= (1u << 20); ++attempt) {
        std::vector<unsigned char> buffer(size, 0);
        std::size_t returned = 0;
        bool moreData = false;
        if (ioctl(buffer.data(), size, returned, moreData)) {
            return ParseDiskExtentNumbers(buffer.data(), std::min(returned, size));
        }
        if (!moreData) return std::nullopt;
        // A too-small answer still carries the extent count; size for it, at least doubling.
        const std::size_t wanted = 8 + static_cast<std::size_t>(ReadU32(buffer.data())) * 24;
        size = std::max(wanted, size * 2);
    }
    return std::nullopt;
}

SystemDisks SystemDisksFrom(std::span<const std::optional<std::vector<std::uint32_t>>> answers) {
    SystemDisks system;
    for (const auto& answer : answers) {
        if (!answer || answer->empty()) return {{0}, false};
        for (std::uint32_t number : *answer) {
            if (std::find(system.numbers.begin(), system.numbers.end(), number) == system.numbers.end()) {
                system.numbers.push_back(number);
            }
        }
    }
    if (system.numbers.empty()) return {{0}, false};
    system.resolved = true;
    return system;
}

DiskQueryFacts ParseDeviceDescriptor(const unsigned char* buffer, std::size_t returned) {
    DiskQueryFacts facts;
    // STORAGE_DEVICE_DESCRIPTOR: Version, Size, DeviceType, DeviceTypeModifier,
    // RemovableMedia (byte 10), CommandQueueing, VendorIdOffset (12), ProductIdOffset (16),
    // ProductRevisionOffset (20), SerialNumberOffset (24), BusType (28), ...
    if (buffer == nullptr || returned < 40) return facts;
    facts.descriptorOk = true;
    facts.removableMedia = buffer[10] != 0;
    facts.storageBusType = ReadU32(buffer + 28);
    facts.vendor = StringAt(buffer, returned, ReadU32(buffer + 12));
    facts.product = StringAt(buffer, returned, ReadU32(buffer + 16));
    facts.revision = StringAt(buffer, returned, ReadU32(buffer + 20));
    facts.serial = StringAt(buffer, returned, ReadU32(buffer + 24));
    return facts;
}

DiskInfo BuildDiskRecord(int number, const DiskQueryFacts& facts) {
    DiskInfo disk;
    disk.index = number;
    wchar_t path[64];
    std::swprintf(path, 64, L"\\\\.\\PhysicalDrive%d", number);
    disk.devicePath = path;

    if (facts.descriptorOk) {
        disk.busKind = BusKindFromStorageBusType(facts.storageBusType);
        const std::string vendor = TrimAscii(facts.vendor);
        const std::string product = TrimAscii(facts.product);
        const std::string model = vendor.empty() ? product : vendor + " " + product;
        disk.model = AnsiToWide(model);
        disk.firmwareRevision = AnsiToWide(TrimAscii(facts.revision));
        disk.serialNumber = AnsiToWide(TrimAscii(facts.serial));
    }
    if (disk.model.empty()) disk.model = L"Generic Physical Disk";
    if (disk.serialNumber.empty()) disk.serialNumber = L"N/A";

    if (facts.geometryOk) {
        disk.sizeBytes = facts.diskSize;
        disk.bytesPerSector = facts.bytesPerSector != 0 ? facts.bytesPerSector : 512;
    }

    disk.firmware = facts.firmware;
    disk.controllerAddress = facts.controllerAddress;

    const bool removable = facts.descriptorOk && facts.removableMedia;
    if (disk.busKind == BusNvme) {
        disk.mediaKind = MediaNvmeSsd;
    } else if (removable || disk.busKind == BusSdCard || disk.busKind == BusMmc) {
        disk.mediaKind = MediaRemovable;
    } else if (!facts.seekPenaltyOk) {
        disk.mediaKind = disk.busKind == BusUsb ? MediaRemovable : MediaHdd;
    } else {
        disk.mediaKind = facts.incursSeekPenalty ? MediaHdd : MediaSsd;
    }
    return disk;
}

void AssignDriveLetters(std::vector<DiskInfo>& disks, const std::vector<VolumeExtents>& volumes) {
    for (const VolumeExtents& volume : volumes) {
        if (volume.root.size() < 2) continue;
        const std::wstring letter = volume.root.substr(0, 2);
        for (std::uint32_t diskNumber : volume.diskNumbers) {
            for (DiskInfo& disk : disks) {
                if (disk.index < 0 || static_cast<std::uint32_t>(disk.index) != diskNumber) continue;
                if (!disk.driveLetters.empty()) disk.driveLetters += L", ";
                disk.driveLetters += letter;
            }
        }
    }
}

void MarkSharedControllers(std::vector<DiskInfo>& disks) {
    for (DiskInfo& disk : disks) {
        std::vector<std::optional<ControllerAddress>> others;
        for (const DiskInfo& other : disks) {
            if (&other != &disk) others.push_back(other.controllerAddress);
        }
        disk.controllerMayBeShared = ControllerMayBeShared(disk.controllerAddress, others);
    }
}

std::vector<DiskInfo> EnumeratePhysicalDisks(DiskFactSource& source, bool winPE, bool unlockInternal) {
    const SystemDisks systemDisks = source.SystemDiskNumbers();
    const int bootMedium = winPE ? source.WinPEBootDiskNumber() : -1;

    std::vector<DiskInfo> disks;
    for (int number = 0; number < kMaxPhysicalDisks; ++number) {
        std::optional<DiskQueryFacts> facts = source.QueryDisk(number);
        if (!facts) continue;  // a gap does not end the scan
        DiskInfo disk = BuildDiskRecord(number, *facts);
        if (disk.sizeBytes != 0) disks.push_back(std::move(disk));
    }
    if (!disks.empty()) AssignDriveLetters(disks, source.QueryVolumes());
    MarkSharedControllers(disks);
    ClassifyDisks(disks, winPE, unlockInternal, systemDisks, bootMedium);
    for (DiskInfo& disk : disks) {
        const std::wstring note = FirmwareSafetyNote(disk.firmware, winPE);
        if (!note.empty()) disk.safetyDescription += (disk.safetyDescription.empty() ? L"" : L" ") + note;
    }
    return disks;
}

std::wstring FormatRemovableDriveEntry(const std::wstring& root, const std::wstring& label,
                                       std::uint64_t totalBytes) {
    return root.substr(0, 2) + L" [" + (label.empty() ? std::wstring(L"USB Drive") : label) +
           L" - " + FormatSize(totalBytes) + L"]";
}

}  // namespace morvane
