// What the program knows about a drive's own erase commands and what one firmware sanitize
// did: the capability model with its display texts, the method names, and the record that
// the evidence prints.
#pragma once

#include <cstdint>
#include <string>

namespace morvane {

// The drive's own sanitize operations. Crypto erase changes the media key, block erase
// erases every physical block, overwrite fills the media with a pattern.
enum class SanitizeMethod : std::uint8_t { None, CryptoErase, BlockErase, Overwrite };

// Which interface a drive speaks; part of every method name so records stay unambiguous.
// Ata: SATA drives through ATA pass-through; Scsi: SAS drives through SCSI pass-through.
enum class DriveProtocol : std::uint8_t { Nvme, Ata, Scsi };

// The ATA Security feature set as IDENTIFY words 82, 85, 89, 90 and 128 report it. Shown
// only: SECURITY ERASE UNIT is never sent (a power loss during it leaves the drive locked
// with a password, and drives that hang or fail during it are a known hazard).
struct AtaSecurity {
    bool supported = false;
    bool enabled = false;        // a user password is set
    bool locked = false;         // the drive refuses media access until unlocked
    bool frozen = false;         // security commands refused until the next power cycle
    bool enhancedErase = false;  // enhanced SECURITY ERASE UNIT offered
    std::uint32_t normalEraseMinutes = 0;    // 0: not reported
    std::uint32_t enhancedEraseMinutes = 0;  // 0: not reported
};

// A drive's sanitize abilities as its identify data reported them. `known` false means
// the drive could not be asked (the query failed or was refused): that is "unknown",
// never "unsupported".
struct FirmwareCapabilities {
    bool known = false;
    DriveProtocol protocol = DriveProtocol::Nvme;
    bool cryptoErase = false;
    bool blockErase = false;
    bool overwrite = false;
    bool formatNvm = false;              // NVMe OACS bit 1
    std::uint8_t formatAttributes = 0;   // NVMe FNA
    std::uint32_t namespaceLimit = 0;    // NVMe NN: the highest namespace ID, not the count in use
    bool statusKnown = false;            // the sanitize status log could be read
    bool lastSanitizeFailed = false;     // it said the most recent sanitize failed
    // ATA: SANITIZE STATUS EXT reported the Sanitize Frozen state; the drive refuses every
    // sanitize command until it is power-cycled.
    bool sanitizeFrozen = false;
    AtaSecurity security = {};           // ATA only
    // ATA and SCSI: the drive's own estimate of each sanitize, in seconds (0: none given).
    // SCSI gives them with REPORT SUPPORTED OPERATION CODES; ATA gives none for sanitize, and
    // its SECURITY ERASE UNIT estimate, one pass over the user data, stands in for overwrite.
    std::uint32_t cryptoEraseSeconds = 0;
    std::uint32_t blockEraseSeconds = 0;
    std::uint32_t overwriteSeconds = 0;
};

// A disk's address from IOCTL_SCSI_GET_ADDRESS. For NVMe, a controller is one port, path
// and target; its namespaces are the LUNs.
struct ControllerAddress {
    std::uint8_t port = 0;
    std::uint8_t path = 0;
    std::uint8_t target = 0;
    std::uint8_t lun = 0;
};

// The record of the firmware step, printed in the evidence as
// "firmwareSanitize": {"method", "result", "detail"}.
struct FirmwareSanitizeRecord {
    std::wstring method = L"None";
    std::wstring result = L"NOT APPLICABLE";
    std::wstring detail;
    // Only a sanitize the drive itself proved counts towards the Purge level.
    bool countsAsPurge = false;
};

inline constexpr wchar_t kFirmwareCompleted[] = L"COMPLETED";
inline constexpr wchar_t kFirmwareNotConfirmed[] = L"COMPLETED - NOT CONFIRMED";
inline constexpr wchar_t kFirmwareFailed[] = L"FAILED";
inline constexpr wchar_t kFirmwareNotPerformed[] = L"NOT PERFORMED";
inline constexpr wchar_t kFirmwareNotApplicable[] = L"NOT APPLICABLE";

// Crypto erase when the drive has it, else block erase, else (SATA and SAS only) overwrite,
// else none. NVMe overwrite is never chosen: NVMe drives are flash, where it wears the media
// and takes hours for what the other two do in seconds or minutes; a SATA or SAS drive that
// offers only overwrite is typically a hard disk, for which it is the drive's own purge.
SanitizeMethod PreferredMethod(const FirmwareCapabilities& caps);

// "NVMe Sanitize (Crypto Erase)", "ATA Sanitize (Crypto Scramble)", "SCSI Sanitize
// (Overwrite)"; "None" for SanitizeMethod::None.
std::wstring MethodName(DriveProtocol protocol, SanitizeMethod method);

// The short text of the selection line and the certificate's firmware row:
// "FW: Crypto/Block", "FW: なし" (asked, nothing offered), "FW: 不明" (could not ask),
// with " (前回失敗)" when the last sanitize failed, " (凍結)" when an ATA drive's sanitize is
// frozen, and ", Security Erase あり (不使用)" when an ATA drive offers SECURITY ERASE UNIT.
std::wstring CapabilityText(const FirmwareCapabilities& caps);

// One English sentence for the evidence, e.g. "NVMe Sanitize: Crypto Erase, Block Erase;
// Format NVM: yes; NN: 1; last sanitize: failed". ATA drives add their sanitize state and
// the Security feature set with the note that SECURITY ERASE UNIT is never used.
std::wstring CapabilityDetail(const FirmwareCapabilities& caps);

// What the evidence of a Purge run states when the firmware step did not count: the run
// reached the Clear level by host overwrite. Empty when it counted, and for NOT APPLICABLE
// (standards that never ask the drive).
std::wstring PurgeLevelNote(const FirmwareSanitizeRecord& record);

// The sentences added to a disk's safety description: its last sanitize failed, its
// sanitize is frozen (with what to do, which depends on running under WinPE), its security
// is locked. Empty when none applies.
std::wstring FirmwareSafetyNote(const FirmwareCapabilities& caps, bool underWinPE = false);

// What the operator can do about a frozen drive, in Japanese: re-plug it on a hot-plug
// port, or on an installed system sleep and resume the machine; then rescan. Under WinPE
// only re-plugging (there is no sleep).
std::wstring FrozenDriveAdvice(bool underWinPE);

// The English note for the evidence of a frozen drive's refusal.
std::wstring FrozenDriveNote(bool underWinPE);

}  // namespace morvane
