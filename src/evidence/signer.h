// The key that signs evidence files: an organisation's certificate named by thumbprint
// in the machine's store, or the program's own RSA-3072 signer in a machine key
// container with a long-lived self-issued certificate.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "erase/records.h"

namespace morvane {

// The program's own key container (machine key set).
inline constexpr wchar_t kOwnSignerContainer[] = L"Morvane Disk Eraser Evidence Signer";

// One certificate with its private key.
class EvidenceSigningKey {
public:
    virtual ~EvidenceSigningKey() = default;
    // The digest, subject and pinning the evidence prints.
    virtual const EvidenceSigner& Identity() const = 0;
    // The certificate, DER.
    virtual const std::string& CertificateDer() const = 0;
    // A DER CMS SignedData over `content` without the content itself: SHA-256, a
    // signing-time attribute and the certificate included. Empty when signing failed.
    virtual std::string SignDetached(std::string_view content) const = 0;
};

struct SignerRequest {
    std::wstring thumbprint;    // organisation certificate; empty for the own signer
    std::wstring organization;  // named in the own signer's subject
    std::wstring machineUuid;   // SMBIOS UUID, named in the own signer's subject
    bool winPE = false;         // keys live in RAM: the own signer is made per boot
    std::wstring container = kOwnSignerContainer;
};

struct SignerChoice {
    std::unique_ptr<EvidenceSigningKey> key;  // null: nothing can sign
    // "[SIGNATURE] " log lines: why the organisation certificate was passed over, or
    // why nothing can sign.
    std::vector<std::wstring> notes;
};

// The organisation certificate when the request names a usable one, otherwise the own
// signer (made on first use). Each key has signed a probe before it is returned.
SignerChoice ChooseEvidenceSigner(const SignerRequest& request);

// A SHA-1 thumbprint as people copy it: 40 hexadecimal digits in either case, blanks,
// colons and the invisible left-to-right mark of certificate dialogs allowed between.
std::optional<std::array<std::uint8_t, 20>> ParseThumbprint(std::wstring_view text);

// The own signer's common name; a per-boot signer says so.
std::wstring OwnSignerCommonName(bool winPE);

// The RDN values of a subject name may only hold what PrintableString allows; the
// machine UUID is kept to those characters.
std::wstring PrintableOnly(std::wstring_view text);

}  // namespace morvane
