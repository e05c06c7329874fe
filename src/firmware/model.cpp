// The capability texts and method names.
#include "firmware/model.h"

#include <vector>

#include "common/text.h"

namespace morvane {

namespace {

std::wstring ProtocolCommandName(DriveProtocol protocol) {
    switch (protocol) {
        case DriveProtocol::Nvme: return L"NVMe Sanitize";
        case DriveProtocol::Ata: return L"ATA Sanitize";
        case DriveProtocol::Scsi: return L"SCSI Sanitize";
    }
    return L"Sanitize";
}

// The operation as the protocol names it: ATA calls its crypto erase CRYPTO SCRAMBLE.
std::wstring OperationName(DriveProtocol protocol, SanitizeMethod method) {
    switch (method) {
        case SanitizeMethod::CryptoErase: return protocol == DriveProtocol::Ata ? L"Crypto Scramble" : L"Crypto Erase";
        case SanitizeMethod::BlockErase: return L"Block Erase";
        case SanitizeMethod::Overwrite: return L"Overwrite";
        case SanitizeMethod::None: break;
    }
    return L"None";
}

// The security erase time estimates: "4 min", or "not reported".
std::wstring Minutes(std::uint32_t minutes) {
    return minutes == 0 ? std::wstring(L"not reported") : std::to_wstring(minutes) + L" min";
}

std::wstring SecurityDetail(const AtaSecurity& security) {
    if (!security.supported) return L"Security: not supported";
    std::wstring text = L"Security: supported";
    text += security.enabled ? L", enabled" : L", not enabled";
    text += security.locked ? L", locked" : L", not locked";
    text += security.frozen ? L", frozen" : L", not frozen";
    if (security.enhancedErase) text += L", enhanced erase supported";
    text += L", erase time " + Minutes(security.normalEraseMinutes);
    if (security.enhancedErase) text += L" / enhanced " + Minutes(security.enhancedEraseMinutes);
    text += L" (SECURITY ERASE UNIT is never used: a power loss during it leaves the drive locked with a "
            L"password, and drives that hang or fail during it are a known hazard)";
    return text;
}

}  // namespace

SanitizeMethod PreferredMethod(const FirmwareCapabilities& caps) {
    if (!caps.known) return SanitizeMethod::None;
    if (caps.cryptoErase) return SanitizeMethod::CryptoErase;
    if (caps.blockErase) return SanitizeMethod::BlockErase;
    if (caps.overwrite && caps.protocol != DriveProtocol::Nvme) return SanitizeMethod::Overwrite;
    return SanitizeMethod::None;
}

std::wstring MethodName(DriveProtocol protocol, SanitizeMethod method) {
    if (method == SanitizeMethod::None) return L"None";
    return ProtocolCommandName(protocol) + L" (" + OperationName(protocol, method) + L")";
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
    if (caps.sanitizeFrozen) text += L" (凍結)";
    if (caps.security.supported) text += L", Security Erase あり (不使用)";
    return text;
}

std::wstring CapabilityDetail(const FirmwareCapabilities& caps) {
    std::wstring text = ProtocolCommandName(caps.protocol) + L": ";
    if (!caps.known) {
        text += L"unknown (the drive could not be queried)";
    } else {
        std::vector<std::wstring> offered;
        for (const SanitizeMethod method :
             {SanitizeMethod::CryptoErase, SanitizeMethod::BlockErase, SanitizeMethod::Overwrite}) {
            const bool has = method == SanitizeMethod::CryptoErase  ? caps.cryptoErase
                             : method == SanitizeMethod::BlockErase ? caps.blockErase
                                                                    : caps.overwrite;
            if (has) offered.push_back(OperationName(caps.protocol, method));
        }
        text += offered.empty() ? std::wstring(L"not supported") : JoinTexts(offered, L", ");
        if (caps.protocol == DriveProtocol::Nvme) {
            text += L"; Format NVM: " + std::wstring(caps.formatNvm ? L"yes" : L"no");
            text += L"; NN: " + std::to_wstring(caps.namespaceLimit);
        }
    }
    if (caps.statusKnown) text += L"; last sanitize: " + std::wstring(caps.lastSanitizeFailed ? L"failed" : L"not failed");
    if (caps.sanitizeFrozen) text += L"; sanitize frozen";
    if (caps.protocol == DriveProtocol::Ata && caps.known) text += L"; " + SecurityDetail(caps.security);
    return text;
}

std::wstring PurgeLevelNote(const FirmwareSanitizeRecord& record) {
    if (record.countsAsPurge || record.result == kFirmwareNotApplicable) return {};
    return L"No firmware sanitize was completed and proven by the drive: this run reached the NIST SP 800-88 "
           L"Clear level by host overwrite (on flash media, spare and remapped blocks were not reached).";
}

std::wstring FirmwareSafetyNote(const FirmwareCapabilities& caps, bool underWinPE) {
    std::wstring text;
    if (caps.lastSanitizeFailed) {
        text += L"このドライブの前回のファームウェア消去 (Sanitize) は失敗しています。消去が成功するまで書き込みを拒否する場合があります。";
    }
    if (caps.sanitizeFrozen) {
        text += L"このドライブの Sanitize は凍結 (frozen) されています。" + FrozenDriveAdvice(underWinPE);
    }
    if (caps.security.locked) {
        text += L"このドライブはセキュリティロック中で、パスワードで解除するまで読み書きできません。";
    }
    return text;
}

std::wstring FrozenDriveAdvice(bool underWinPE) {
    if (underWinPE) {
        return L"ホットプラグ対応のポートでドライブを抜き差ししてから、ディスクを再スキャンしてください "
               L"(WinPE ではスリープできないため、抜き差しのみ有効です)。";
    }
    return L"ホットプラグ対応のポートでドライブを抜き差しするか、PC をスリープさせて復帰してから、"
           L"ディスクを再スキャンしてください。";
}

std::wstring FrozenDriveNote(bool underWinPE) {
    return std::wstring(L"The drive's sanitize is frozen (a freeze lock since its last power-on); ") +
           (underWinPE ? L"re-plug the drive on a hot-plug port, then rescan (under WinPE only re-plugging helps)."
                       : L"re-plug the drive on a hot-plug port, or sleep and resume the machine, then rescan.");
}

}  // namespace morvane
