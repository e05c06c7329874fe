// The capability texts and method names.
#include "firmware/model.h"

#include <vector>

#include "common/text.h"

namespace morvane {

namespace {

std::wstring ProtocolCommandName(DriveProtocol protocol) {
    switch (protocol) {
        case DriveProtocol::Nvme: return L"NVMe Sanitize";
    }
    return L"Sanitize";
}

std::wstring OperationName(SanitizeMethod method) {
    switch (method) {
        case SanitizeMethod::CryptoErase: return L"Crypto Erase";
        case SanitizeMethod::BlockErase: return L"Block Erase";
        case SanitizeMethod::Overwrite: return L"Overwrite";
        case SanitizeMethod::None: break;
    }
    return L"None";
}

}  // namespace

SanitizeMethod PreferredMethod(const FirmwareCapabilities& caps) {
    if (!caps.known) return SanitizeMethod::None;
    if (caps.cryptoErase) return SanitizeMethod::CryptoErase;
    if (caps.blockErase) return SanitizeMethod::BlockErase;
    return SanitizeMethod::None;
}

std::wstring MethodName(DriveProtocol protocol, SanitizeMethod method) {
    if (method == SanitizeMethod::None) return L"None";
    return ProtocolCommandName(protocol) + L" (" + OperationName(method) + L")";
}

std::wstring CapabilityText(const FirmwareCapabilities& caps) {
    std::vector<std::wstring> offered;
    if (caps.cryptoErase) offered.emplace_back(L"Crypto");
    if (caps.blockErase) offered.emplace_back(L"Block");
    if (caps.overwrite) offered.emplace_back(L"Overwrite");
    std::wstring text = L"FW: " + (!caps.known       ? std::wstring(L"不明")
                                   : offered.empty() ? std::wstring(L"なし")
                                                     : JoinTexts(offered, L"/"));
    if (caps.lastSanitizeFailed) text += L" (前回失敗)";
    return text;
}

std::wstring CapabilityDetail(const FirmwareCapabilities& caps) {
    std::wstring text = ProtocolCommandName(caps.protocol) + L": ";
    if (!caps.known) {
        text += L"unknown (the drive could not be queried)";
    } else {
        std::vector<std::wstring> offered;
        if (caps.cryptoErase) offered.push_back(OperationName(SanitizeMethod::CryptoErase));
        if (caps.blockErase) offered.push_back(OperationName(SanitizeMethod::BlockErase));
        if (caps.overwrite) offered.push_back(OperationName(SanitizeMethod::Overwrite));
        text += offered.empty() ? std::wstring(L"not supported") : JoinTexts(offered, L", ");
        text += L"; Format NVM: " + std::wstring(caps.formatNvm ? L"yes" : L"no");
        text += L"; NN: " + std::to_wstring(caps.namespaceLimit);
    }
    if (caps.statusKnown) text += L"; last sanitize: " + std::wstring(caps.lastSanitizeFailed ? L"failed" : L"not failed");
    return text;
}

std::wstring PurgeLevelNote(const FirmwareSanitizeRecord& record) {
    if (record.countsAsPurge || record.result == kFirmwareNotApplicable) return {};
    return L"No firmware sanitize was completed and proven by the drive: this run reached the NIST SP 800-88 "
           L"Clear level by host overwrite (on flash media, spare and remapped blocks were not reached).";
}

std::wstring FirmwareSafetyNote(const FirmwareCapabilities& caps) {
    if (!caps.lastSanitizeFailed) return {};
    return L"このドライブの前回のファームウェア消去 (Sanitize) は失敗しています。消去が成功するまで書き込みを拒否する場合があります。";
}

}  // namespace morvane
