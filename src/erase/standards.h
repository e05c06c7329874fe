// The eight erasure standards and their pass plans. Pure data, no I/O.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

enum EraseStandard : std::uint32_t {
    NistPurge = 0,
    NistClear = 1,
    ZeroFill = 2,
    CryptoRandom = 3,
    Dod3Pass = 4,
    HmgIs5 = 5,
    DodEce7Pass = 6,
    Gutmann35 = 7,
};
inline constexpr std::uint32_t kStandardCount = 8;

enum class PatternKind : std::uint32_t {
    Fixed = 0,   // every byte is pattern[0]
    Triple = 1,  // pattern[0], pattern[1], pattern[2] repeated
    Random = 2,  // cryptographic random data
};

struct OverwritePass {
    std::uint32_t number = 0;  // 1-based position in the plan
    PatternKind kind = PatternKind::Fixed;
    std::array<std::uint8_t, 3> pattern = {0, 0, 0};
    std::wstring label;  // "Pass n/N: ..."
};

using PassPlan = std::vector<OverwritePass>;

std::wstring StandardName(std::uint32_t standard);
// The standard whose display name is `name`; kStandardCount when none of the eight is.
std::uint32_t StandardFromName(const std::wstring& name);
std::wstring StandardDescription(std::uint32_t standard);
// Empty for a value above 7.
PassPlan BuildPassPlan(std::uint32_t standard);

}  // namespace morvane
