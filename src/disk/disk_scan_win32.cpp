// The disk scan's facts from the Windows storage stack. Every disk and volume is
// opened with no access rights: these queries need none, and nothing here may write.
#include <cstring>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "disk/disk_scan.h"

namespace morvane {

namespace {

UniqueFile OpenForQuery(const std::wstring& path) {
    return UniqueFile(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
}

std::wstring VolumePath(wchar_t letter) {
    return std::wstring(L"\\\\.\\") + letter + L":";
}

// Disk numbers of the volume's extents; `bufferSize` bounds how many fit.
std::optional<std::vector<std::uint32_t>> VolumeDiskNumbers(HANDLE volume, DWORD bufferSize) {
    alignas(8) unsigned char buffer[512] = {};
    if (bufferSize > sizeof buffer) bufferSize = sizeof buffer;
    DWORD returned = 0;
    if (!::DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer,
                           bufferSize, &returned, nullptr)) {
        return std::nullopt;
    }
    const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer);
    const DWORD fit = (bufferSize - offsetof(VOLUME_DISK_EXTENTS, Extents)) / sizeof(DISK_EXTENT);
    std::vector<std::uint32_t> numbers;
    for (DWORD i = 0; i < extents->NumberOfDiskExtents && i < fit; ++i) {
        numbers.push_back(extents->Extents[i].DiskNumber);
    }
    return numbers;
}

// First extent's disk number of the volume on `letter`, using the 32-byte buffer
// that has room for exactly one extent.
int FirstExtentDisk(wchar_t letter) {
    UniqueFile volume = OpenForQuery(VolumePath(letter));
    if (!volume) return -1;
    auto numbers = VolumeDiskNumbers(volume.get(), 32);
    if (!numbers || numbers->empty()) return -1;
    return static_cast<int>((*numbers)[0]);
}

DiskQueryFacts QueryOpenDisk(HANDLE disk) {
    DiskQueryFacts facts;

    alignas(8) unsigned char descriptor[1024] = {};
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    DWORD returned = 0;
    if (::DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, descriptor,
                          sizeof descriptor, &returned, nullptr)) {
        facts = ParseDeviceDescriptor(descriptor, returned);
    }

    alignas(8) unsigned char geometry[256] = {};
    returned = 0;
    if (::DeviceIoControl(disk, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, geometry,
                          sizeof geometry, &returned, nullptr)) {
        const auto* g = reinterpret_cast<const DISK_GEOMETRY_EX*>(geometry);
        facts.geometryOk = true;
        facts.diskSize = static_cast<std::uint64_t>(g->DiskSize.QuadPart);
        facts.bytesPerSector = g->Geometry.BytesPerSector;
    }

    DEVICE_SEEK_PENALTY_DESCRIPTOR penalty = {};
    query = {};
    query.PropertyId = StorageDeviceSeekPenaltyProperty;
    query.QueryType = PropertyStandardQuery;
    returned = 0;
    if (::DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &penalty,
                          sizeof penalty, &returned, nullptr) &&
        returned >= sizeof penalty) {
        facts.seekPenaltyOk = true;
        facts.incursSeekPenalty = penalty.IncursSeekPenalty != FALSE;
    }
    return facts;
}

class Win32DiskFactSource final : public DiskFactSource {
public:
    int SystemDiskNumber() override {
        wchar_t systemDir[MAX_PATH] = {};
        if (::GetSystemDirectoryW(systemDir, MAX_PATH) == 0) return 0;
        const int disk = FirstExtentDisk(systemDir[0]);
        return disk < 0 ? 0 : disk;
    }
    int WinPEBootDiskNumber() override { return FindWinPEBootDisk(); }
    std::optional<DiskQueryFacts> QueryDisk(int number) override {
        wchar_t path[64];
        std::swprintf(path, 64, L"\\\\.\\PhysicalDrive%d", number);
        return QueryDiskFactsAtPath(path);
    }
    std::vector<VolumeExtents> QueryVolumes() override {
        std::vector<VolumeExtents> volumes;
        for (const std::wstring& root : LogicalDriveRoots()) {
            if (root.size() < 2) continue;
            UniqueFile volume = OpenForQuery(VolumePath(root[0]));
            if (!volume) continue;
            auto numbers = VolumeDiskNumbers(volume.get(), 512);
            if (!numbers) continue;
            volumes.push_back({root, std::move(*numbers)});
        }
        return volumes;
    }
};

}  // namespace

std::vector<std::wstring> LogicalDriveRoots() {
    wchar_t buffer[512] = {};
    const DWORD length = ::GetLogicalDriveStringsW(511, buffer);
    std::vector<std::wstring> roots;
    if (length == 0 || length > 511) return roots;
    for (const wchar_t* p = buffer; *p != L'\0'; p += std::wcslen(p) + 1) roots.emplace_back(p);
    return roots;
}

std::optional<DiskQueryFacts> QueryDiskFactsAtPath(const std::wstring& devicePath) {
    UniqueFile disk = OpenForQuery(devicePath);
    if (!disk) return std::nullopt;
    return QueryOpenDisk(disk.get());
}

std::vector<DiskInfo> EnumeratePhysicalDisks(bool winPE, bool unlockInternal) {
    Win32DiskFactSource source;
    return EnumeratePhysicalDisks(source, winPE, unlockInternal);
}

int FindWinPEBootDisk() {
    for (const std::wstring& root : LogicalDriveRoots()) {
        if (root.empty()) continue;
        const std::wstring wim = root + L"sources\\boot.wim";
        if (::GetFileAttributesW(wim.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        const int disk = FirstExtentDisk(root[0]);
        if (disk >= 0) return disk;
    }
    return -1;
}

std::vector<std::wstring> ListRemovableDrives() {
    std::vector<std::wstring> entries;
    for (const std::wstring& root : LogicalDriveRoots()) {
        if (root.size() < 2 || ::GetDriveTypeW(root.c_str()) != DRIVE_REMOVABLE) continue;
        wchar_t label[MAX_PATH] = {};
        if (!::GetVolumeInformationW(root.c_str(), label, MAX_PATH, nullptr, nullptr, nullptr,
                                     nullptr, 0)) {
            label[0] = L'\0';
        }
        ULARGE_INTEGER total = {};
        if (!::GetDiskFreeSpaceExW(root.c_str(), nullptr, &total, nullptr)) total.QuadPart = 0;
        entries.push_back(FormatRemovableDriveEntry(root, label, total.QuadPart));
    }
    return entries;
}

}  // namespace morvane
