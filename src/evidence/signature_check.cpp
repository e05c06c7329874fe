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

// The messageDigest attribute among the signed attributes, decoded; empty when absent.
std::vector<BYTE> SignedMessageDigest(HCRYPTMSG message) {
    std::vector<BYTE> attributes = MessageParam(message, CMSG_SIGNER_AUTH_ATTR_PARAM);
    if (attributes.empty()) return {};
    const auto* list = reinterpret_cast<const CRYPT_ATTRIBUTES*>(attributes.data());
    for (DWORD i = 0; i < list->cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = list->rgAttr[i];
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

bool IsSha256(HCRYPTMSG message) {
    std::vector<BYTE> algorithm = MessageParam(message, CMSG_SIGNER_HASH_ALGORITHM_PARAM);
    if (algorithm.empty()) return false;
    const auto* identifier = reinterpret_cast<const CRYPT_ALGORITHM_IDENTIFIER*>(algorithm.data());
    return identifier->pszObjId != nullptr && std::strcmp(identifier->pszObjId, szOID_NIST_sha256) == 0;
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

    if (!IsSha256(message.get())) return check;
    if (!::CryptMsgControl(message.get(), 0, CMSG_CTRL_VERIFY_SIGNATURE, cert.get()->pCertInfo)) return check;
    const Sha256Digest computed = ComputeSha256(content);
    const std::vector<BYTE> signedDigest = SignedMessageDigest(message.get());
    check.holds = computed.status == DigestStatus::Ok && signedDigest.size() == computed.bytes.size() &&
                  std::memcmp(signedDigest.data(), computed.bytes.data(), signedDigest.size()) == 0;
    return check;
}

}  // namespace morvane
