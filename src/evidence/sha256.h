// SHA-256 through Windows CNG, for the run's fingerprint, the signer certificate's
// digest and the check of signed files.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace morvane {

enum class DigestStatus {
    Ok,
    Unavailable,  // the SHA-256 provider cannot be opened
    Error,        // a hash object cannot be created or fed
};

struct Sha256Digest {
    DigestStatus status = DigestStatus::Error;
    std::array<std::uint8_t, 32> bytes{};
};

Sha256Digest ComputeSha256(std::string_view bytes);

}  // namespace morvane
