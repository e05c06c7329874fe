// Volume lock and dismount, TRIM and the partition-table wipe.
#include "erase/disk_prep.h"

#include "disk/disk_scan.h"

#include <cstddef>
#include <cstring>
#include <cwchar>

namespace morvane {

namespace {

void PutLe(unsigned char* out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

class SystemVolumes final : public VolumeControl {
public:
    std::vector<std::wstring> DriveRoots() override { return LogicalDriveRoots(); }
    UniqueFile OpenVolume(wchar_t letter) override {
        const std::wstring path = std::wstring(L"\\\\.\\") + letter + L":";
        return UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    }
    bool DiskNumbers(HANDLE volume, std::vector<std::uint32_t>& numbers) override {
        alignas(8) unsigned char buffer[512] = {};
        DWORD returned = 0;
        if (!::DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer,
                               sizeof buffer, &returned, nullptr)) {
            return false;
        }
        numbers = ParseVolumeDiskExtents(buffer, sizeof buffer);
        return true;
    }
    void LockAndDismount(HANDLE volume) override {
        DWORD returned = 0;
        ::DeviceIoControl(volume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
        ::DeviceIoControl(volume, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned,
                          nullptr);
    }
};

}  // namespace

std::vector<std::uint32_t> ParseVolumeDiskExtents(const unsigned char* data, std::size_t size) {
    std::vector<std::uint32_t> numbers;
    constexpr std::size_t first = offsetof(VOLUME_DISK_EXTENTS, Extents);
    if (size < first) return numbers;
    DWORD count = 0;
    std::memcpy(&count, data, sizeof count);
    const std::size_t fit = (size - first) / sizeof(DISK_EXTENT);
    for (std::size_t i = 0; i < count && i < fit; ++i) {
        DWORD number = 0;
        std::memcpy(&number, data + first + i * sizeof(DISK_EXTENT) + offsetof(DISK_EXTENT, DiskNumber),
                    sizeof number);
        numbers.push_back(number);
    }
    return numbers;
}

LockedVolumes LockAndDismountVolumes(VolumeControl& volumes, int diskNumber,
                                     const LogCallback& log) {
    LockedVolumes locked;
    for (const std::wstring& root : volumes.DriveRoots()) {
        if (root.size() < 2) continue;
        UniqueFile volume = volumes.OpenVolume(root[0]);
        if (!volume) continue;
        std::vector<std::uint32_t> numbers;
        if (!volumes.DiskNumbers(volume.get(), numbers)) continue;
        bool onDisk = false;
        for (std::uint32_t n : numbers) {
            if (diskNumber >= 0 && n == static_cast<std::uint32_t>(diskNumber)) onDisk = true;
        }
        if (!onDisk) continue;
        volumes.LockAndDismount(volume.get());
        locked.push_back(std::move(volume));
        EmitLog(log, L"[SAFETY] ボリューム " + root.substr(0, 2) +
                         L" を排他ロック＆アンマウントしました。");
    }
    return locked;
}

LockedVolumes LockAndDismountVolumes(int diskNumber, const LogCallback& log) {
    SystemVolumes volumes;
    return LockAndDismountVolumes(volumes, diskNumber, log);
}

void UnlockAndCloseVolumes(LockedVolumes& volumes) {
    for (UniqueFile& volume : volumes) {
        // UniqueFile is empty at INVALID_HANDLE_VALUE; a NULL must not reach the IOCTL either.
        if (!volume || volume.get() == nullptr) continue;
        DWORD returned = 0;
        ::DeviceIoControl(volume.get(), FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &returned,
                          nullptr);
    }
    volumes.clear();  // closes the handles
}

std::array<unsigned char, 48> BuildTrimRequest(std::uint64_t sizeBytes) {
    std::array<unsigned char, 48> request{};
    PutLe(&request[0], 28, 4);                    // Size of the header
    PutLe(&request[4], DeviceDsmAction_Trim, 4);  // Action
    PutLe(&request[20], 32, 4);                   // DataSetRangesOffset
    PutLe(&request[24], 16, 4);                   // DataSetRangesLength
    PutLe(&request[32], 0, 8);                    // StartingOffset
    PutLe(&request[40], sizeBytes, 8);            // LengthInBytes
    return request;
}

bool IssueTrim(DiskIo& disk, std::uint64_t sizeBytes, const LogCallback& log) {
    const std::array<unsigned char, 48> request = BuildTrimRequest(sizeBytes);
    const bool ok = disk.Control(IOCTL_STORAGE_MANAGE_DATA_SET_ATTRIBUTES, request.data(),
                                 static_cast<std::uint32_t>(request.size()));
    EmitLog(log, ok ? L"[NIST 800-88 / SSD] ストレージコントローラへ全LBA領域 TRIM / Deallocate "
                      L"通知を発行しました。"
                    : L"[INFO] ハードウェアTRIM通知はスキップされました。"
                      L"物理セクタの完全上書きパージを実行します。");
    return ok;
}

bool IssueTrim(HANDLE disk, std::uint64_t sizeBytes, const LogCallback& log) {
    HandleDiskIo io(disk);
    return IssueTrim(io, sizeBytes, log);
}

std::vector<ByteRange> WipePartitionTables(DiskIo& disk, std::uint64_t sizeBytes, std::uint32_t sectorSize,
                                           const LogCallback& log) {
    (void)disk.Control(IOCTL_DISK_DELETE_DRIVE_LAYOUT, nullptr, 0);
    std::vector<ByteRange> zeroed;
    PageBuffer zeros(kWipeBytes);  // VirtualAlloc hands out zeroed pages
    if (!zeros) return zeroed;
    std::memset(zeros.data(), 0, zeros.size());

    const std::uint64_t sector = sectorSize == 0 ? 512 : sectorSize;
    const auto write = [&](std::uint64_t offset, std::uint32_t length) {
        std::uint32_t done = 0;
        if (disk.Seek(offset) && disk.Write(zeros.data(), length, done) && done > 0) {
            zeroed.push_back({offset, offset + done});
        }
    };
    // A disk smaller than the wipe gets its whole sectors zeroed, not a write past its end
    // (which a device rejects whole, leaving the MBR in place).
    const std::uint64_t wholeSectors = sizeBytes / sector * sector;
    const auto length = static_cast<std::uint32_t>(wholeSectors < kWipeBytes ? wholeSectors : kWipeBytes);
    if (length > 0) write(0, length);
    if (sizeBytes > 2u * kWipeBytes) write((sizeBytes - kWipeBytes) / sector * sector, kWipeBytes);
    (void)disk.Flush();
    (void)disk.Control(IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0);
    EmitLog(log, L"[PARTITION] MBRおよびGPT(Primary/Backup)パーティションテーブルを完全に破棄・"
                 L"ゼロクリアしました。");
    return zeroed;
}

std::vector<ByteRange> WipePartitionTables(HANDLE disk, std::uint64_t sizeBytes, std::uint32_t sectorSize,
                                           const LogCallback& log) {
    HandleDiskIo io(disk);
    return WipePartitionTables(io, sizeBytes, sectorSize, log);
}

}  // namespace morvane
