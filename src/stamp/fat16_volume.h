// The stamp's FAT16 EFI system volume (8192 sectors claimed, only the first 192
// written): boot sector, two FATs, root directory and the \EFI\BOOT tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace morvane {

inline constexpr std::size_t kStampVolumeBytes = 98304;  // LBA 64..255

// The volume under construction: a view of the image bytes from LBA 64 on.
struct FatVolume {
    std::span<std::uint8_t> bytes;
    std::uint16_t nextFreeCluster = 4;
};

// Writes the boot sector, FAT entries 0-3, the root directory (label, EFI) and
// the EFI and BOOT directory clusters. `bytes` must hold kStampVolumeBytes.
void InitStampVolume(FatVolume& volume);

// The directory entry `index` of the BOOT directory (cluster 3).
std::uint8_t* BootDirectoryEntry(FatVolume& volume, std::size_t index);

// Allocates consecutive clusters from nextFreeCluster, fills the directory entry,
// copies the data and chains the clusters in the first FAT. Returns false (and
// changes nothing) when the file would run past the written area.
[[nodiscard]] bool AddFatFile(FatVolume& volume, const char (&shortName)[12], const std::uint8_t* data,
                              std::size_t count, std::uint8_t* entry);

// Copies the first FAT over the second.
void MirrorFat(FatVolume& volume);

}  // namespace morvane
