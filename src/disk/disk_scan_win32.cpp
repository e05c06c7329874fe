// The disk scan's facts from the Windows storage stack. Every disk and volume is
// opened with no access rights: these queries need none, and nothing here may write.
#include <cstring>
#include <cwctype>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "disk/disk_scan.h"
#include "firmware/discovery.h"
#include "firmware/drive_discovery.h"
#include "firmware/transport.h"

namespace morvane {

namespace {

std::wstring VolumePath(wchar_t letter) {
    return std::wstring(L"\\\\.\\") + letter + L":";
}

// Disk numbers of every extent of the volume on `letter`; nothing when the volume
// cannot be opened or asked.
std::optional<std::vector<std::uint32_t>> VolumeDiskNumbers(wchar_t letter) {
    UniqueFile volume = OpenDeviceForQuery(VolumePath(letter));
    if (!volume) return std::nullopt;
    return QueryVolumeExtents([&volume](unsigned char* buffer, std::size_t size, std::size_t& returned,
                                        bool& moreData) {
        DWORD got = 0;
        if (::DeviceIoControl(volume.get(), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer,
                              static_cast<DWORD>(size), &got, nullptr)) {
            returned = got;
            return true;
        }
        const DWORD error = ::GetLastError();
        moreData = error == ERROR_MORE_DATA || error == ERROR_INSUFFICIENT_BUFFER;
        return false;
    });
}

// First extent's disk number of the volume on `letter`, or -1.
int FirstExtentDisk(wchar_t letter) {
    const auto numbers = VolumeDiskNumbers(letter);
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

// The controller address of every disk (to tell which disks share a controller) and what
// the drive offers for erasing itself, as far as property queries reach on a handle
// without access rights (NVMe in full, SATA's IDENTIFY; SAS stays unknown). A refused
// query leaves its fact unknown.
void QueryFirmwareFacts(HANDLE disk, DiskQueryFacts& facts) {
    HandleTransport transport(disk);
    facts.controllerAddress = QueryControllerAddress(transport);
    if (!facts.descriptorOk) return;
    if (const auto protocol = FirmwareProtocolOf(BusKindFromStorageBusType(facts.storageBusType))) {
        facts.firmware = DiscoverFirmware(transport, *protocol, DiscoveryAccess::PropertyQueriesOnly).capabilities;
    }
}

class Win32DiskFactSource final : public DiskFactSource {
public:
    SystemDisks SystemDiskNumbers() override { return QuerySystemDisks(); }
    int WinPEBootDiskNumber() override { return FindWinPEBootDisk(); }
    std::optional<DiskQueryFacts> QueryDisk(int number) override {
        wchar_t path[64];
        std::swprintf(path, 64, L"\\\\.\\PhysicalDrive%d", number);
        UniqueFile disk = OpenDeviceForQuery(path);
        if (!disk) return std::nullopt;
        DiskQueryFacts facts = QueryOpenDisk(disk.get());
        QueryFirmwareFacts(disk.get(), facts);
        return facts;
    }
    std::vector<VolumeExtents> QueryVolumes() override { return QueryMountedVolumes(); }
};

}  // namespace

UniqueFile OpenDeviceForQuery(const std::wstring& devicePath) {
    return UniqueFile(::CreateFileW(devicePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
}

std::vector<std::wstring> LogicalDriveRoots() {
    wchar_t buffer[512] = {};
    const DWORD length = ::GetLogicalDriveStringsW(511, buffer);
    std::vector<std::wstring> roots;
    if (length == 0 || length > 511) return roots;
    for (const wchar_t* p = buffer; *p != L'\0'; p += std::wcslen(p) + 1) roots.emplace_back(p);
    return roots;
}

SystemDisks QuerySystemDisks() {
    wchar_t systemDir[MAX_PATH] = {};
    wchar_t windowsDir[MAX_PATH] = {};
    const UINT systemLength = ::GetSystemDirectoryW(systemDir, MAX_PATH);
    const UINT windowsLength = ::GetSystemWindowsDirectoryW(windowsDir, MAX_PATH);
    std::vector<std::optional<std::vector<std::uint32_t>>> answers;
    if (systemLength == 0 || systemLength >= MAX_PATH) answers.emplace_back();
    else answers.push_back(VolumeDiskNumbers(systemDir[0]));
    // The Windows directory normally shares the system directory's volume.
    if (windowsLength == 0 || windowsLength >= MAX_PATH) answers.emplace_back();
    else if (std::towupper(windowsDir[0]) != std::towupper(systemDir[0])) answers.push_back(VolumeDiskNumbers(windowsDir[0]));
    return SystemDisksFrom(answers);
}

std::vector<VolumeExtents> QueryMountedVolumes() {
    std::vector<VolumeExtents> volumes;
    for (const std::wstring& root : LogicalDriveRoots()) {
        if (root.size() < 2) continue;
        auto numbers = VolumeDiskNumbers(root[0]);
        if (!numbers) continue;
        volumes.push_back({root, std::move(*numbers)});
    }
    return volumes;
}

std::optional<DiskQueryFacts> QueryDiskFactsAtPath(const std::wstring& devicePath) {
    UniqueFile disk = OpenDeviceForQuery(devicePath);
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
