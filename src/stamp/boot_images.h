// The four boot programs of the report stamp, assembled and compiled at build time
// and embedded into the program as read-only data (see build.cmake).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace morvane {

inline constexpr std::size_t kStage1MaxSize = 63;
inline constexpr std::size_t kStage2MaxSize = 96;
inline constexpr std::size_t kEfiX64ImageSize = 10240;
inline constexpr std::size_t kEfiIa32ImageSize = 9216;

// The images a stamp is built from. Tests substitute their own to drive edge cases.
struct StampBootPrograms {
    std::span<const std::uint8_t> stage1;   // MBR code, at most 63 bytes
    std::span<const std::uint8_t> stage2;   // LBA 5 code, at most 96 bytes
    std::span<const std::uint8_t> efiX64;   // PE32+, exactly 10240 bytes
    std::span<const std::uint8_t> efiIa32;  // PE32, exactly 9216 bytes
};

// The programs built from src/stamp/boot, never modified at run time.
StampBootPrograms EmbeddedBootPrograms();

}  // namespace morvane
