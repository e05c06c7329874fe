// CryptoAPI at the edge: the own signer's machine key container and its certificate
// (kept in a "MY" store so later runs sign with the same one), the organisation
// certificate found by thumbprint, and CMS signing through the low-level message
// functions (the one-call CryptSignMessage fails under Wine; these work everywhere).
#include <cstdio>

#include "common/product.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "common/win32.h"
#include "evidence/sha256.h"
#include "evidence/signer.h"

namespace morvane {
namespace {

constexpr DWORD kMessageEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr DWORD kOwnKeyBits = 3072;
// X.520 upper bound of an organisation name.
constexpr std::size_t kMaxOrganizationLength = 64;
constexpr char kProbe[] = "Morvane evidence signature probe";

std::wstring ErrorCode(DWORD code) {
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(code));
    return text;
}

std::vector<BYTE> Encode(LPCSTR structType, const void* value) {
    DWORD size = 0;
    if (!::CryptEncodeObject(X509_ASN_ENCODING, structType, value, nullptr, &size)) return {};
    std::vector<BYTE> out(size);
    if (!::CryptEncodeObject(X509_ASN_ENCODING, structType, value, out.data(), &size)) return {};
    out.resize(size);
    return out;
}

std::wstring SubjectText(PCCERT_CONTEXT cert) {
    CERT_NAME_BLOB* name = &cert->pCertInfo->Subject;
    const DWORD length = ::CertNameToStrW(X509_ASN_ENCODING, name, CERT_X500_NAME_STR, nullptr, 0);
    std::wstring text(length, L'\0');
    const DWORD written = ::CertNameToStrW(X509_ASN_ENCODING, name, CERT_X500_NAME_STR, text.data(), length);
    text.resize(written > 0 ? written - 1 : 0);
    return text;
}

class CertificateKey final : public EvidenceSigningKey {
public:
    // `provider` is the own signer's container; an organisation key stays cached by its
    // certificate context, which this object keeps alive.
    CertificateKey(UniqueCryptProvider provider, UniqueCertContext cert, HCRYPTPROV_OR_NCRYPT_KEY_HANDLE key,
                   DWORD keySpec, bool pinned)
        : provider_(std::move(provider)), cert_(std::move(cert)), key_(key), keySpec_(keySpec),
          der_(reinterpret_cast<const char*>(cert_.get()->pbCertEncoded), cert_.get()->cbCertEncoded) {
        identity_.certificateSha256 = HexUpper(ComputeSha256(der_).bytes);
        identity_.subject = SubjectText(cert_.get());
        identity_.pinned = pinned;
    }
    const EvidenceSigner& Identity() const override { return identity_; }
    const std::string& CertificateDer() const override { return der_; }
    std::string SignDetached(std::string_view content) const override;

private:
    UniqueCryptProvider provider_;
    UniqueCertContext cert_;
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE key_;
    DWORD keySpec_;
    std::string der_;
    EvidenceSigner identity_;
};

std::string CertificateKey::SignDetached(std::string_view content) const {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    std::vector<BYTE> time = Encode(szOID_RSA_signingTime, &now);
    if (time.empty()) return {};
    CRYPT_ATTR_BLOB timeValue{static_cast<DWORD>(time.size()), time.data()};
    CRYPT_ATTRIBUTE signingTime{const_cast<LPSTR>(szOID_RSA_signingTime), 1, &timeValue};

    CMSG_SIGNER_ENCODE_INFO signer{};
    signer.cbSize = sizeof(signer);
    signer.pCertInfo = cert_.get()->pCertInfo;
    signer.hCryptProv = key_;
    signer.dwKeySpec = keySpec_;
    signer.HashAlgorithm.pszObjId = const_cast<LPSTR>(szOID_NIST_sha256);
    signer.cAuthAttr = 1;
    signer.rgAuthAttr = &signingTime;
    CERT_BLOB certificate{cert_.get()->cbCertEncoded, cert_.get()->pbCertEncoded};
    CMSG_SIGNED_ENCODE_INFO info{};
    info.cbSize = sizeof(info);
    info.cSigners = 1;
    info.rgSigners = &signer;
    info.cCertEncoded = 1;
    info.rgCertEncoded = &certificate;

    UniqueCryptMessage message(
        ::CryptMsgOpenToEncode(kMessageEncoding, CMSG_DETACHED_FLAG, CMSG_SIGNED, &info, nullptr, nullptr));
    if (!message) return {};
    // Evidence files stay far below the 4 GiB a DWORD length can carry.
    const auto* data = reinterpret_cast<const BYTE*>(content.data());
    if (!::CryptMsgUpdate(message.get(), data, static_cast<DWORD>(content.size()), TRUE)) return {};
    DWORD size = 0;
    if (!::CryptMsgGetParam(message.get(), CMSG_CONTENT_PARAM, 0, nullptr, &size)) return {};
    std::string encoded(size, '\0');
    if (!::CryptMsgGetParam(message.get(), CMSG_CONTENT_PARAM, 0, encoded.data(), &size)) return {};
    encoded.resize(size);
    return encoded;
}

// The container with its signature key, both made on first use. A new key is stored
// before anyone uses it: Wine's provider writes a generated key out only when its handle
// is released, so a second handle opened meanwhile (the next job, a thumbprint lookup)
// would find no key and make another one with another certificate. Reopening releases it.
UniqueCryptProvider OpenOwnContainer(const std::wstring& container) {
    UniqueCryptProvider provider;
    const DWORD flags = CRYPT_MACHINE_KEYSET | CRYPT_SILENT;
    const auto open = [&](DWORD extra) {
        return ::CryptAcquireContextW(provider.put(), container.c_str(), nullptr, PROV_RSA_AES, flags | extra) != FALSE;
    };
    if (!open(0) && !open(CRYPT_NEWKEYSET)) return {};
    UniqueCryptKey key;
    if (::CryptGetUserKey(provider.get(), AT_SIGNATURE, key.put())) return provider;
    if (!::CryptGenKey(provider.get(), AT_SIGNATURE, kOwnKeyBits << 16, key.put())) return {};
    key = UniqueCryptKey();
    provider = UniqueCryptProvider();
    if (!open(0) || !::CryptGetUserKey(provider.get(), AT_SIGNATURE, key.put())) return {};
    return provider;
}

// CN = product signer, O = organisation, serialNumber = machine UUID.
std::vector<BYTE> OwnSubject(const SignerRequest& request) {
    const std::wstring commonName = OwnSignerCommonName(request.winPE);
    const std::wstring organization = request.organization.substr(0, kMaxOrganizationLength);
    const std::wstring serial = PrintableOnly(request.machineUuid);
    // X509_UNICODE_NAME takes each value as a zero-terminated wide string (length 0).
    const auto value = [](const std::wstring& text) {
        return CERT_RDN_VALUE_BLOB{0, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(text.c_str()))};
    };
    std::vector<CERT_RDN_ATTR> attributes{{const_cast<LPSTR>(szOID_COMMON_NAME), CERT_RDN_UTF8_STRING, value(commonName)}};
    if (!organization.empty()) {
        attributes.push_back({const_cast<LPSTR>(szOID_ORGANIZATION_NAME), CERT_RDN_UTF8_STRING, value(organization)});
    }
    if (!serial.empty()) {
        attributes.push_back({const_cast<LPSTR>(szOID_DEVICE_SERIAL_NUMBER), CERT_RDN_PRINTABLE_STRING, value(serial)});
    }
    std::vector<CERT_RDN> names;
    for (CERT_RDN_ATTR& attribute : attributes) names.push_back({1, &attribute});
    CERT_NAME_INFO name{static_cast<DWORD>(names.size()), names.data()};
    return Encode(X509_UNICODE_NAME, &name);
}

// Writing creates the store when it does not exist yet (a fresh Wine prefix has none).
UniqueCertStore OpenMyStore(DWORD location, bool forWriting) {
    const DWORD flags = location | (forWriting ? 0 : CERT_STORE_OPEN_EXISTING_FLAG | CERT_STORE_READONLY_FLAG);
    return UniqueCertStore(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, flags, L"MY"));
}

constexpr DWORD kStoreLocations[] = {CERT_SYSTEM_STORE_LOCAL_MACHINE, CERT_SYSTEM_STORE_CURRENT_USER};

// A valid certificate of this key and subject that an earlier run kept. Every
// certificate is compared here: Wine's search by public key misses some.
UniqueCertContext FindKeptCertificate(CERT_PUBLIC_KEY_INFO* key, CERT_NAME_BLOB* subject) {
    for (const DWORD location : kStoreLocations) {
        const UniqueCertStore store = OpenMyStore(location, false);
        if (!store) continue;
        PCCERT_CONTEXT found = nullptr;
        // Each call frees the context it is given; the one returned is ours.
        while ((found = ::CertEnumCertificatesInStore(store.get(), found)) != nullptr) {
            if (::CertComparePublicKeyInfo(X509_ASN_ENCODING, &found->pCertInfo->SubjectPublicKeyInfo, key) &&
                ::CertCompareCertificateName(X509_ASN_ENCODING, &found->pCertInfo->Subject, subject) &&
                ::CertVerifyTimeValidity(nullptr, found->pCertInfo) == 0) {
                return UniqueCertContext(found);
            }
        }
    }
    return {};
}

// Valid from a day ago (a clock a little behind still accepts it) to the end of 2099,
// so that old evidence still verifies decades later; signature and non-repudiation use.
UniqueCertContext CreateOwnCertificate(HCRYPTPROV provider, const std::wstring& container, CERT_NAME_BLOB* subject) {
    CRYPT_KEY_PROV_INFO keyInfo{};
    keyInfo.pwszContainerName = const_cast<LPWSTR>(container.c_str());
    keyInfo.dwProvType = PROV_RSA_AES;
    keyInfo.dwFlags = CRYPT_MACHINE_KEYSET;
    keyInfo.dwKeySpec = AT_SIGNATURE;
    CRYPT_ALGORITHM_IDENTIFIER algorithm{};
    algorithm.pszObjId = const_cast<LPSTR>(szOID_RSA_SHA256RSA);

    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
    ticks.QuadPart -= 24ULL * 3600 * 10'000'000;
    const FILETIME dayAgo{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME start{};
    ::FileTimeToSystemTime(&dayAgo, &start);
    SYSTEMTIME end{};
    end.wYear = 2099;
    end.wMonth = 12;
    end.wDay = 31;
    end.wHour = 23;
    end.wMinute = 59;
    end.wSecond = 59;

    BYTE usageBits = CERT_DIGITAL_SIGNATURE_KEY_USAGE | CERT_NON_REPUDIATION_KEY_USAGE;
    CRYPT_BIT_BLOB usage{1, &usageBits, 0};
    std::vector<BYTE> usageValue = Encode(X509_KEY_USAGE, &usage);
    CERT_EXTENSION extension{const_cast<LPSTR>(szOID_KEY_USAGE), TRUE,
                             {static_cast<DWORD>(usageValue.size()), usageValue.data()}};
    CERT_EXTENSIONS extensions{1, &extension};
    UniqueCertContext cert(::CertCreateSelfSignCertificate(provider, subject, 0, &keyInfo, &algorithm, &start, &end,
                                                           usageValue.empty() ? nullptr : &extensions));
    // Wine leaves the key's location off the context; the copy kept in the store needs it
    // so that the certificate can also be named by its thumbprint.
    if (cert && !::CertSetCertificateContextProperty(cert.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &keyInfo)) return {};
    return cert;
}

// Keeps the certificate in the first "MY" store that takes it.
bool KeepCertificate(PCCERT_CONTEXT cert) {
    for (const DWORD location : kStoreLocations) {
        const UniqueCertStore store = OpenMyStore(location, true);
        if (store && ::CertAddCertificateContextToStore(store.get(), cert, CERT_STORE_ADD_NEW, nullptr)) return true;
    }
    return false;
}

std::unique_ptr<EvidenceSigningKey> OwnSigner(const SignerRequest& request, std::vector<std::wstring>& notes) {
    UniqueCryptProvider provider = OpenOwnContainer(request.container);
    if (!provider) {
        notes.push_back(L"[SIGNATURE] 署名鍵コンテナ「" + request.container + L"」を開けません (" +
                        ErrorCode(::GetLastError()) + L")。");
        return nullptr;
    }
    DWORD keySize = 0;
    (void)::CryptExportPublicKeyInfo(provider.get(), AT_SIGNATURE, X509_ASN_ENCODING, nullptr, &keySize);
    std::vector<BYTE> keyBytes(keySize);
    auto* key = reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(keyBytes.data());
    std::vector<BYTE> subjectBytes = OwnSubject(request);
    if (keySize == 0 || subjectBytes.empty() ||
        !::CryptExportPublicKeyInfo(provider.get(), AT_SIGNATURE, X509_ASN_ENCODING, key, &keySize)) {
        notes.push_back(L"[SIGNATURE] 署名者証明書の内容を作成できません (" + ErrorCode(::GetLastError()) + L")。");
        return nullptr;
    }
    CERT_NAME_BLOB subject{static_cast<DWORD>(subjectBytes.size()), subjectBytes.data()};
    UniqueCertContext cert = FindKeptCertificate(key, &subject);
    bool kept = static_cast<bool>(cert);
    if (!cert) {
        cert = CreateOwnCertificate(provider.get(), request.container, &subject);
        if (!cert) {
            notes.push_back(L"[SIGNATURE] 署名者証明書を作成できません (" + ErrorCode(::GetLastError()) + L")。");
            return nullptr;
        }
        kept = KeepCertificate(cert.get());
        if (!kept) notes.push_back(L"[SIGNATURE] 署名者証明書を証明書ストアに保存できません。この証明書は今回の証明書一式だけに使われます。");
    }
    const HCRYPTPROV handle = provider.get();
    return std::make_unique<CertificateKey>(std::move(provider), std::move(cert), handle, AT_SIGNATURE,
                                            kept && !request.winPE);
}

// The key container a certificate names, opened with the container's own flags: Wine's
// CryptAcquireCertificatePrivateKey drops the machine-key-set flag and finds no key.
UniqueCryptProvider OpenKeyOf(PCCERT_CONTEXT cert, DWORD& keySpec) {
    DWORD size = 0;
    if (!::CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) return {};
    std::vector<BYTE> bytes(size);
    if (!::CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, bytes.data(), &size)) return {};
    const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(bytes.data());
    UniqueCryptProvider provider;
    const DWORD flags = (info->dwFlags & CRYPT_MACHINE_KEYSET) | CRYPT_SILENT;
    if (!::CryptAcquireContextW(provider.put(), info->pwszContainerName, info->pwszProvName, info->dwProvType, flags)) {
        return {};
    }
    keySpec = info->dwKeySpec;
    return provider;
}

// The organisation certificate, or null with the reason in `why`.
std::unique_ptr<EvidenceSigningKey> OrganizationSigner(const std::wstring& thumbprint, std::wstring& why) {
    const auto hash = ParseThumbprint(thumbprint);
    if (!hash) {
        why = L"40桁の16進数ではありません";
        return nullptr;
    }
    const UniqueCertStore store = OpenMyStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, false);
    CRYPT_HASH_BLOB blob{static_cast<DWORD>(hash->size()), const_cast<BYTE*>(hash->data())};
    UniqueCertContext cert(store ? ::CertFindCertificateInStore(store.get(), X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH,
                                                                &blob, nullptr)
                                 : nullptr);
    if (!cert) {
        why = L"コンピューターの個人 (MY) 証明書ストアに見つかりません";
        return nullptr;
    }
    if (::CertVerifyTimeValidity(nullptr, cert.get()->pCertInfo) != 0) {
        why = L"有効期間外です";
        return nullptr;
    }
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE key = 0;
    DWORD keySpec = 0;
    BOOL callerFrees = FALSE;  // with the cache flag the certificate context keeps the key
    if (::CryptAcquireCertificatePrivateKey(
            cert.get(), CRYPT_ACQUIRE_CACHE_FLAG | CRYPT_ACQUIRE_SILENT_FLAG | CRYPT_ACQUIRE_ALLOW_NCRYPT_KEY_FLAG,
            nullptr, &key, &keySpec, &callerFrees)) {
        return std::make_unique<CertificateKey>(UniqueCryptProvider(), std::move(cert), key, keySpec, true);
    }
    const DWORD error = ::GetLastError();
    UniqueCryptProvider provider = OpenKeyOf(cert.get(), keySpec);
    if (!provider) {
        why = L"秘密鍵を使用できません (" + ErrorCode(error) + L")";
        return nullptr;
    }
    const HCRYPTPROV handle = provider.get();
    return std::make_unique<CertificateKey>(std::move(provider), std::move(cert), handle, keySpec, true);
}

// A key that cannot sign a few bytes now would leave the set half signed later.
bool SignsProbe(const EvidenceSigningKey& key) {
    return !key.SignDetached(kProbe).empty();
}

}  // namespace

SignerChoice ChooseEvidenceSigner(const SignerRequest& request) {
    SignerChoice choice;
    if (!request.thumbprint.empty()) {
        std::wstring why;
        choice.key = OrganizationSigner(request.thumbprint, why);
        if (choice.key && !SignsProbe(*choice.key)) {
            why = L"この証明書の鍵で SHA-256 署名ができません (" + ErrorCode(::GetLastError()) + L")";
            choice.key.reset();
        }
        if (choice.key) return choice;
        choice.notes.push_back(L"[SIGNATURE] 設定の署名証明書 (サムプリント " + request.thumbprint + L") は使用できません: " +
                               why + L"。本プログラムの署名者で署名します。");
    }
    choice.key = OwnSigner(request, choice.notes);
    if (choice.key && !SignsProbe(*choice.key)) {
        choice.notes.push_back(L"[SIGNATURE] 本プログラムの署名者で署名できません (" + ErrorCode(::GetLastError()) + L")。");
        choice.key.reset();
    }
    return choice;
}

}  // namespace morvane
