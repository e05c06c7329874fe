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
enum class DriveProtocol : std::uint8_t { Nvme };

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

// Crypto erase when the drive has it, else block erase, else none. Overwrite is never
// chosen on its own: on flash it wears the media and takes hours for what the other two
// do in seconds or minutes.
SanitizeMethod PreferredMethod(const FirmwareCapabilities& caps);

// "NVMe Sanitize (Crypto Erase)"; "None" for SanitizeMethod::None.
std::wstring MethodName(DriveProtocol protocol, SanitizeMethod method);

// The short text of the selection line and the certificate's firmware row:
// "FW: Crypto/Block", "FW: なし" (asked, nothing offered), "FW: 不明" (could not ask),
// with " (前回失敗)" when the last sanitize failed.
std::wstring CapabilityText(const FirmwareCapabilities& caps);

// One English sentence for the evidence, e.g. "NVMe Sanitize: Crypto Erase, Block Erase;
// Format NVM: yes; NN: 1; last sanitize: failed".
std::wstring CapabilityDetail(const FirmwareCapabilities& caps);

// What the evidence of a Purge run states when the firmware step did not count: the run
// reached the Clear level by host overwrite. Empty when it counted, and for NOT APPLICABLE
// (standards that never ask the drive).
std::wstring PurgeLevelNote(const FirmwareSanitizeRecord& record);

// The sentence added to a disk's safety description when its last sanitize failed; empty
// otherwise.
std::wstring FirmwareSafetyNote(const FirmwareCapabilities& caps);

}  // namespace morvane
