// Decodes a detached CMS signature with the low-level message functions, verifies it
// with the certificate it carries and compares its signed message digest with the
// SHA-256 this program computes of the content.
#include "evidence/signature_check.h"

#include <cstring>
#include <vector>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "evidence/sha256.h"

namespace morvane {
namespace {

constexpr DWORD kMessageEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

std::vector<BYTE> MessageParam(HCRYPTMSG message, DWORD param) {
    DWORD size = 0;
    if (!::CryptMsgGetParam(message, param, 0, nullptr, &size)) return {};
    std::vector<BYTE> value(size);
    if (!::CryptMsgGetParam(message, param, 0, value.data(), &size)) return {};
    value.resize(size);
    return value;
}

// The signer's digest algorithm must be SHA-256; its messageDigest attribute, decoded, is
// returned (empty when absent or another algorithm was used).
std::vector<BYTE> SignedSha256Digest(HCRYPTMSG message) {
    std::vector<BYTE> info = MessageParam(message, CMSG_SIGNER_INFO_PARAM);
    if (info.empty()) return {};
    const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(info.data());
    const char* algorithm = signer->HashAlgorithm.pszObjId;
    if (algorithm == nullptr || std::strcmp(algorithm, szOID_NIST_sha256) != 0) return {};
    for (DWORD i = 0; i < signer->AuthAttrs.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = signer->AuthAttrs.rgAttr[i];
        if (std::strcmp(attribute.pszObjId, szOID_RSA_messageDigest) != 0 || attribute.cValue != 1) continue;
        DWORD size = 0;
        const CRYPT_ATTR_BLOB& value = attribute.rgValue[0];
        if (!::CryptDecodeObject(X509_ASN_ENCODING, X509_OCTET_STRING, value.pbData, value.cbData, 0, nullptr, &size)) {
            return {};
        }
        std::vector<BYTE> decoded(size);
        if (!::CryptDecodeObject(X509_ASN_ENCODING, X509_OCTET_STRING, value.pbData, value.cbData, 0, decoded.data(),
                                 &size)) {
            return {};
        }
        const auto* octets = reinterpret_cast<const CRYPT_DATA_BLOB*>(decoded.data());
        return std::vector<BYTE>(octets->pbData, octets->pbData + octets->cbData);
    }
    return {};
}

}  // namespace

SignatureCheck CheckDetachedSignature(std::string_view content, std::string_view signature) {
    SignatureCheck check;
    UniqueCryptMessage message(::CryptMsgOpenToDecode(kMessageEncoding, CMSG_DETACHED_FLAG, 0, 0, nullptr, nullptr));
    if (!message) return check;
    const auto* signatureBytes = reinterpret_cast<const BYTE*>(signature.data());
    const auto* contentBytes = reinterpret_cast<const BYTE*>(content.data());
    if (!::CryptMsgUpdate(message.get(), signatureBytes, static_cast<DWORD>(signature.size()), TRUE) ||
        !::CryptMsgUpdate(message.get(), contentBytes, static_cast<DWORD>(content.size()), TRUE)) {
        return check;
    }
    std::vector<BYTE> signerInfo = MessageParam(message.get(), CMSG_SIGNER_CERT_INFO_PARAM);
    if (signerInfo.empty()) return check;
    const UniqueCertStore carried(::CertOpenStore(CERT_STORE_PROV_MSG, kMessageEncoding, 0, 0, message.get()));
    if (!carried) return check;
    const UniqueCertContext cert(::CertGetSubjectCertificateFromStore(carried.get(), kMessageEncoding,
                                                                      reinterpret_cast<PCERT_INFO>(signerInfo.data())));
    if (!cert) return check;
    check.signerCertificate.assign(reinterpret_cast<const char*>(cert.get()->pbCertEncoded), cert.get()->cbCertEncoded);

    if (!::CryptMsgControl(message.get(), 0, CMSG_CTRL_VERIFY_SIGNATURE, cert.get()->pCertInfo)) return check;
    const Sha256Digest computed = ComputeSha256(content);
    const std::vector<BYTE> signedDigest = SignedSha256Digest(message.get());
    check.holds = computed.status == DigestStatus::Ok && signedDigest.size() == computed.bytes.size() &&
                  std::memcmp(signedDigest.data(), computed.bytes.data(), signedDigest.size()) == 0;
    return check;
}

}  // namespace morvane
