// Builds the stamp's FAT16 EFI system volume in place inside the stamp image.
#include "stamp/fat16_volume.h"

#include <cstring>

namespace morvane {
namespace {

constexpr std::size_t kSector = 512;
constexpr std::size_t kFatOffset = 1 * kSector;        // LBA 65
constexpr std::size_t kFatBytes = 32 * kSector;        // 16384
constexpr std::size_t kRootOffset = 65 * kSector;      // LBA 129
constexpr std::size_t kDataOffset = 97 * kSector;      // LBA 161: cluster 2
constexpr std::uint16_t kEndOfChain = 0xFFFF;

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void SetFatEntry(FatVolume& volume, std::uint16_t cluster, std::uint16_t value) {
    Put16(volume.bytes.data() + kFatOffset + 2u * cluster, value);
}

std::uint8_t* ClusterData(FatVolume& volume, std::uint16_t cluster) {
    return volume.bytes.data() + kDataOffset + (cluster - 2u) * kSector;
}

void PutDirectoryEntry(std::uint8_t* entry, const char* name11, std::uint8_t attribute,
                       std::uint16_t firstCluster, std::uint32_t size) {
    std::memset(entry, 0, 32);
    std::memcpy(entry, name11, 11);
    entry[11] = attribute;
    Put16(entry + 26, firstCluster);
    Put32(entry + 28, size);
}

}  // namespace

void InitStampVolume(FatVolume& volume) {
    std::uint8_t* boot = volume.bytes.data();
    const std::uint8_t jump[3] = {0xEB, 0x3C, 0x90};
    std::memcpy(boot, jump, 3);
    std::memcpy(boot + 3, "MORVANE ", 8);
    Put16(boot + 11, 512);
    boot[13] = 1;           // sectors per cluster
    Put16(boot + 14, 1);    // reserved sectors
    boot[16] = 2;           // FATs
    Put16(boot + 17, 512);  // root entries
    Put16(boot + 19, 8192);
    boot[21] = 0xF8;
    Put16(boot + 22, 32);  // sectors per FAT
    Put16(boot + 24, 63);
    Put16(boot + 26, 255);
    Put32(boot + 28, 64);  // hidden sectors: the partition starts at LBA 64
    Put32(boot + 32, 0);
    boot[36] = 0x80;
    boot[38] = 0x29;
    Put32(boot + 39, 0x20261023);
    std::memcpy(boot + 43, "ZOLT_STAMP ", 11);
    std::memcpy(boot + 54, "FAT16   ", 8);
    boot[510] = 0x55;
    boot[511] = 0xAA;

    SetFatEntry(volume, 0, 0xFFF8);
    SetFatEntry(volume, 1, 0xFFFF);
    SetFatEntry(volume, 2, kEndOfChain);  // EFI directory
    SetFatEntry(volume, 3, kEndOfChain);  // BOOT directory

    std::uint8_t* root = volume.bytes.data() + kRootOffset;
    PutDirectoryEntry(root, "ZOLT_STAMP ", 0x08, 0, 0);
    PutDirectoryEntry(root + 32, "EFI        ", 0x10, 2, 0);

    std::uint8_t* efi = ClusterData(volume, 2);
    PutDirectoryEntry(efi, ".          ", 0x10, 2, 0);
    PutDirectoryEntry(efi + 32, "..         ", 0x10, 0, 0);
    PutDirectoryEntry(efi + 64, "BOOT       ", 0x10, 3, 0);

    std::uint8_t* bootDir = ClusterData(volume, 3);
    PutDirectoryEntry(bootDir, ".          ", 0x10, 3, 0);
    PutDirectoryEntry(bootDir + 32, "..         ", 0x10, 2, 0);
    volume.nextFreeCluster = 4;
}

std::uint8_t* BootDirectoryEntry(FatVolume& volume, std::size_t index) {
    return ClusterData(volume, 3) + 32 * index;
}

bool AddFatFile(FatVolume& volume, const char (&shortName)[12], const std::uint8_t* data,
                std::size_t count, std::uint8_t* entry) {
    const std::size_t clusters = count == 0 ? 1 : (count + kSector - 1) / kSector;
    const std::uint16_t first = volume.nextFreeCluster;
    // Only LBA 64..255 are written: a file must end inside that area.
    const std::size_t end = kDataOffset + (first - 2u + clusters) * kSector;
    if (first < 2 || end > volume.bytes.size()) return false;

    PutDirectoryEntry(entry, shortName, 0x20, first, static_cast<std::uint32_t>(count));
    if (count != 0) std::memcpy(ClusterData(volume, first), data, count);
    for (std::size_t i = 0; i < clusters; ++i) {
        const auto cluster = static_cast<std::uint16_t>(first + i);
        const bool last = i + 1 == clusters;
        SetFatEntry(volume, cluster, last ? kEndOfChain : static_cast<std::uint16_t>(cluster + 1));
    }
    volume.nextFreeCluster = static_cast<std::uint16_t>(first + clusters);
    return true;
}

void MirrorFat(FatVolume& volume) {
    std::memcpy(volume.bytes.data() + kFatOffset + kFatBytes, volume.bytes.data() + kFatOffset, kFatBytes);
}

}  // namespace morvane
