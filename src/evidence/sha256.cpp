// One SHA-256 call sequence through CNG (provider, hash object, data, finish).
#include "evidence/sha256.h"

#include "common/unique_handle.h"
#include "common/win32.h"

namespace morvane {

Sha256Digest ComputeSha256(std::string_view bytes) {
    Sha256Digest digest;
    UniqueBcryptAlgorithm algorithm;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !algorithm) {
        digest.status = DigestStatus::Unavailable;
        return digest;
    }
    UniqueBcryptHash hash;
    if (!BCRYPT_SUCCESS(::BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0)) || !hash) {
        return digest;
    }
    // BCryptHashData takes a non-const pointer but does not write through it.
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
    const NTSTATUS hashed = ::BCryptHashData(hash.get(), data, static_cast<ULONG>(bytes.size()), 0);
    const NTSTATUS finished =
        ::BCryptFinishHash(hash.get(), digest.bytes.data(), static_cast<ULONG>(digest.bytes.size()), 0);
    // A failed hash would otherwise pass an all-zero digest off as genuine.
    if (BCRYPT_SUCCESS(hashed) && BCRYPT_SUCCESS(finished)) digest.status = DigestStatus::Ok;
    return digest;
}

}  // namespace morvane
