// Checks one detached CMS signature against the bytes it claims to cover.
#pragma once

#include <string>
#include <string_view>

namespace morvane {

struct SignatureCheck {
    // The signature holds under its own certificate, and the SHA-256 it signed is the
    // SHA-256 of exactly these bytes.
    bool holds = false;
    // The signing certificate, DER, when the signature names one the message carries.
    std::string signerCertificate;
};

// The digest comparison is done here, not left to CryptoAPI: Wine's verification checks
// the signature over the signed attributes but not the content digest inside them.
SignatureCheck CheckDetachedSignature(std::string_view content, std::string_view signature);

}  // namespace morvane
