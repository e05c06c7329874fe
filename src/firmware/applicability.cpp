// The applicability table of the firmware sanitize step.
#include "firmware/applicability.h"

namespace morvane {

namespace {

// The reasons the step does not run: Japanese for the operator, English for the record.
struct Refusal {
    const wchar_t* japanese;
    const wchar_t* english;
};

constexpr Refusal kCompatibilityLayer = {
    L"互換レイヤー (Wine) 上ではファームウェアコマンドを送信しません。",
    L"Not sent under a compatibility layer (Wine)."};
constexpr Refusal kNotNvme = {
    L"NVMe ドライブではないため、ファームウェア消去は行いません。",
    L"The drive is not an NVMe drive."};
constexpr Refusal kUsbBridge = {
    L"USB ブリッジ経由のドライブにはファームウェアコマンドを送信しません。",
    L"USB bridge: firmware commands are not sent through USB bridges."};
constexpr Refusal kUnknown = {
    L"ドライブの消去機能を確認できなかったため (不明)、ファームウェア消去は行いません。",
    L"The drive's sanitize capabilities could not be read (unknown)."};
constexpr Refusal kNoMethod = {
    L"ドライブが Crypto Erase / Block Erase の Sanitize に対応していません。",
    L"The drive offers neither Crypto Erase nor Block Erase sanitize."};
constexpr Refusal kSharedController = {
    L"同じコントローラに他のディスク (名前空間) がある可能性があるため、全名前空間を消去する Sanitize は行いません。",
    L"Another namespace of the controller may be in use (NN > 1 and another disk may share the controller); "
    L"a sanitize would erase every namespace."};

FirmwareDecision NotRun(const wchar_t* result, const Refusal& why, std::wstring method = L"None") {
    FirmwareDecision decision;
    decision.reason = why.japanese;
    decision.record.method = std::move(method);
    decision.record.result = result;
    decision.record.detail = why.english;
    return decision;
}

}  // namespace

FirmwareDecision DecideFirmwareSanitize(const FirmwareFacts& facts) {
    if (!facts.wanted) {
        FirmwareDecision decision;
        decision.reason = L"この消去規格ではファームウェア消去を行いません (NIST Purge のみ)。";
        decision.record.detail = L"Only the NIST SP 800-88 Purge standard asks the drive to sanitize itself.";
        return decision;  // the record's defaults say NOT APPLICABLE
    }
    const FirmwareCapabilities& caps = facts.capabilities;
    if (facts.compatibilityLayer) return NotRun(kFirmwareNotPerformed, kCompatibilityLayer);
    if (!facts.isNvme) return NotRun(kFirmwareNotPerformed, kNotNvme);
    if (facts.behindUsbBridge) return NotRun(kFirmwareNotPerformed, kUsbBridge);
    if (!caps.known) return NotRun(kFirmwareNotPerformed, kUnknown);
    const SanitizeMethod method = PreferredMethod(caps);
    if (method == SanitizeMethod::None) return NotRun(kFirmwareNotPerformed, kNoMethod);
    const std::wstring name = MethodName(caps.protocol, method);
    if (caps.namespaceLimit != 1 && facts.controllerMayBeShared) {
        return NotRun(kFirmwareNotPerformed, kSharedController, name);
    }

    FirmwareDecision decision;
    decision.plan.method = method;
    decision.record.method = name;
    const std::wstring request = SanitizeRequestText(decision.plan, SanitizeTimeoutSeconds(method, facts.lastStatus));
    if (!facts.realRun) {
        decision.reason = L"[シミュレーション] 実機実行ではドライブへ次を要求します: " + request;
        decision.record.result = kFirmwareNotPerformed;
        decision.record.detail = L"Simulation: a real run would ask the drive for " + name +
                                 L" through IOCTL_STORAGE_REINITIALIZE_MEDIA (restricted exit).";
        return decision;
    }
    decision.run = true;
    decision.reason = L"ドライブ自身の消去を要求します: " + request;
    decision.record.result.clear();
    return decision;
}

std::wstring FirmwareConfirmationText(const FirmwareDecision& decision) {
    if (decision.run) {
        return L"ファームウェア消去: " + decision.record.method +
               L" (ドライブ自身の消去は開始後に中断できません)";
    }
    return L"ファームウェア消去: 実行しません — " + decision.reason;
}

}  // namespace morvane
