// The applicability table of the firmware sanitize step.
#include "firmware/applicability.h"

#include "firmware/drive_sanitize.h"

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
    L"NVMe / SATA / SAS ドライブではないため、ファームウェア消去は行いません。",
    L"The drive is neither an NVMe, a SATA nor a SAS drive."};
constexpr Refusal kUsbBridge = {
    L"USB ブリッジ経由のドライブにはファームウェアコマンドを送信しません (ブリッジごとに動作が異なり、長いコマンドを落とすことがあります)。",
    L"NOT PERFORMED (USB bridge): firmware commands are not sent through USB bridges (bridges differ and often drop "
    L"or time out long commands)."};
constexpr Refusal kUnknown = {
    L"ドライブの消去機能を確認できなかったため (不明)、ファームウェア消去は行いません。",
    L"The drive's sanitize capabilities could not be read (unknown)."};
constexpr Refusal kNoMethod = {
    L"ドライブが Crypto Erase / Block Erase の Sanitize に対応していません。",
    L"The drive offers neither Crypto Erase nor Block Erase sanitize."};
constexpr Refusal kNoDriveMethod = {
    L"ドライブが Sanitize (Crypto / Block Erase / Overwrite) に対応していません。",
    L"The drive offers no sanitize method (crypto erase, block erase or overwrite)."};
constexpr Refusal kAtaOutsideWinPE = {
    L"Windows は ATA の Sanitize コマンドを WinPE 上でのみ送信します。ドライブ自身の消去には本プログラムの WinPE メディアから起動してください。",
    L"Windows passes ATA sanitize commands through only under WinPE; the drive can sanitize itself when the program "
    L"runs from its WinPE medium."};
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

// The route a real run takes, for the dry run's record.
std::wstring Route(DriveProtocol protocol) {
    switch (protocol) {
        case DriveProtocol::Nvme: return L"IOCTL_STORAGE_REINITIALIZE_MEDIA (restricted exit)";
        case DriveProtocol::Ata: return L"IOCTL_ATA_PASS_THROUGH (SANITIZE DEVICE, failure mode 0)";
        case DriveProtocol::Scsi: return L"IOCTL_SCSI_PASS_THROUGH_DIRECT (SANITIZE, IMMED, AUSE 0)";
    }
    return {};
}

}  // namespace

FirmwareDecision DecideFirmwareSanitize(const FirmwareFacts& facts) {
    if (!facts.wanted) {
        FirmwareDecision decision;
        decision.reason = L"この消去規格ではファームウェア消去を行いません (NIST Purge のみ)。";
        decision.record.detail = L"Only the NIST SP 800-88 Purge standard asks the drive to sanitize itself.";
        return decision;  // the record's defaults say NOT APPLICABLE
    }
    if (facts.compatibilityLayer) return NotRun(kFirmwareNotPerformed, kCompatibilityLayer);
    if (facts.behindUsbBridge) return NotRun(kFirmwareNotPerformed, kUsbBridge);
    const std::optional<DriveProtocol> protocol =
        facts.protocol ? facts.protocol : facts.isNvme ? std::optional(DriveProtocol::Nvme) : std::nullopt;
    if (!protocol) return NotRun(kFirmwareNotPerformed, kNotNvme);
    FirmwareCapabilities caps = facts.capabilities;
    caps.protocol = *protocol;
    if (!caps.known) return NotRun(kFirmwareNotPerformed, kUnknown);
    if (*protocol == DriveProtocol::Ata && !facts.underWinPE) return NotRun(kFirmwareNotPerformed, kAtaOutsideWinPE);
    if (caps.sanitizeFrozen) {
        FirmwareDecision decision;
        decision.record.result = kFirmwareNotPerformed;
        decision.reason = L"ドライブの Sanitize が凍結 (frozen) されているため実行できません。" +
                          FrozenDriveAdvice(facts.underWinPE);
        decision.record.detail = FrozenDriveNote(facts.underWinPE);
        return decision;
    }
    const SanitizeMethod method = PreferredMethod(caps);
    if (method == SanitizeMethod::None) {
        return NotRun(kFirmwareNotPerformed, *protocol == DriveProtocol::Nvme ? kNoMethod : kNoDriveMethod);
    }
    const std::wstring name = MethodName(*protocol, method);
    if (*protocol == DriveProtocol::Nvme && caps.namespaceLimit != 1 && facts.controllerMayBeShared) {
        return NotRun(kFirmwareNotPerformed, kSharedController, name);
    }

    FirmwareDecision decision;
    decision.plan.method = method;
    decision.plan.protocol = *protocol;
    decision.plan.underWinPE = facts.underWinPE;
    std::uint32_t timeout = 0;
    if (*protocol == DriveProtocol::Nvme) {
        timeout = SanitizeTimeoutSeconds(method, facts.lastStatus);
    } else {
        timeout = decision.plan.timeoutSeconds = DriveSanitizeTimeoutSeconds(method, caps, facts.capacityBytes);
    }
    decision.record.method = name;
    const std::wstring request = SanitizeRequestText(decision.plan, timeout);
    if (!facts.realRun) {
        decision.reason = L"[シミュレーション] 実機実行ではドライブへ次を要求します: " + request;
        decision.record.result = kFirmwareNotPerformed;
        decision.record.detail =
            L"Simulation: a real run would ask the drive for " + name + L" through " + Route(*protocol) + L".";
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
    if (decision.decidedAtStart) return L"ファームウェア消去: " + decision.reason;
    return L"ファームウェア消去: 実行しません — " + decision.reason;
}

}  // namespace morvane
