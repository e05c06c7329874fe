// A stand-in for the machine's signing key: a fixed identity and recognisable
// "signatures", or a key that cannot sign, or none at all.
#pragma once

#include <string>

#include "evidence/certificate_set.h"

namespace morvane::testing {

class FakeSigningKey final : public EvidenceSigningKey {
public:
    FakeSigningKey(EvidenceSigner identity, bool fails) : identity_(std::move(identity)), fails_(fails) {}
    const EvidenceSigner& Identity() const override { return identity_; }
    const std::string& CertificateDer() const override { return der_; }
    std::string SignDetached(std::string_view content) const override {
        return fails_ ? std::string() : "signature of " + std::to_string(content.size()) + " bytes";
    }

private:
    EvidenceSigner identity_;
    bool fails_;
    std::string der_ = "fake certificate";
};

// An identity with an empty digest stands for "no signer at all" (with a note saying so).
inline EvidenceEdges FakeSigner(const EvidenceSigner& identity, bool fails = false) {
    return {[identity, fails](const SignerRequest&) {
        SignerChoice choice;
        if (identity.certificateSha256.empty()) {
            choice.notes.push_back(L"[SIGNATURE] no key in this test");
        } else {
            choice.key = std::make_unique<FakeSigningKey>(identity, fails);
        }
        return choice;
    }};
}

}  // namespace morvane::testing
