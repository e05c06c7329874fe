// Hidden capacity of a SATA drive: sectors beyond the addressable capacity that a host
// protected area (HPA, or its successor the accessible max address) or a device
// configuration overlay (DCO) keeps from the host, so a host overwrite cannot reach them.
// Judged from the facts discovery gathered, and described for the disk list and the
// evidence. Removing the limit is not something this program does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "firmware/ata_identify.h"
#include "firmware/model.h"

namespace morvane {

struct HiddenCapacity {
    enum class State : std::uint8_t {
        NotApplicable,  // not a SATA drive (or not asked): no such limit exists
        Unknown,        // the native maximum could not be read (an aborted query)
        None,
        Present,
    };
    State state = State::NotApplicable;
    std::uint64_t addressableSectors = 0;  // what IDENTIFY reports
    std::uint64_t nativeSectors = 0;       // native maximum LBA + 1
    std::uint64_t hpaSectors = 0;          // native - addressable
    std::uint64_t dcoSectors = 0;          // DCO maximum LBA + 1 - native
    bool dcoKnown = false;                 // DEVICE CONFIGURATION IDENTIFY answered

    std::uint64_t hiddenSectors() const { return hpaSectors + dcoSectors; }
};

// The facts of one drive: its IDENTIFY data, the highest native LBA (empty when the query
// was aborted or could not be sent; `nativeQueried` false when IDENTIFY offers neither
// the HPA nor the Accessible Max Address feature, so no limit can exist), and the highest
// LBA DEVICE CONFIGURATION IDENTIFY allows (empty when not supported or not answered).
HiddenCapacity AssessHiddenCapacity(const AtaIdentity& identity, bool nativeQueried,
                                    std::optional<std::uint64_t> nativeMaxLba, std::optional<std::uint64_t> dcoMaxLba);

inline constexpr wchar_t kHiddenCapacityNone[] = L"NONE";
inline constexpr wchar_t kHiddenCapacityPresent[] = L"PRESENT";
inline constexpr wchar_t kHiddenCapacityUnknown[] = L"UNKNOWN";

// What the evidence prints as "sanitization"."hiddenCapacity" and on the "Hidden
// Capacity" line and row.
struct HiddenCapacityRecord {
    std::wstring result = kFirmwareNotApplicable;  // NONE, PRESENT, UNKNOWN or NOT APPLICABLE
    std::wstring detail;                           // English sentence
    std::uint64_t hiddenSectors = 0;
    bool coveredByFirmware = false;  // a firmware sanitize that counted erased the hidden area too
};

// The record of one run. A firmware sanitize the drive proved (countsAsPurge) erases the
// whole native capacity, hidden sectors included; a host overwrite does not reach them:
// "HPA: N sectors beyond the addressable capacity were not overwritten".
HiddenCapacityRecord RecordHiddenCapacity(const HiddenCapacity& found, const FirmwareSanitizeRecord& firmware);

// The short value of the "Hidden Capacity" line and row: "NONE", "UNKNOWN", "NOT
// APPLICABLE", "PRESENT - 2113 sectors not overwritten" or "PRESENT - 2113 sectors erased
// by the firmware sanitize"; the detail goes where the firmware detail goes.
std::wstring HiddenCapacitySummary(const HiddenCapacityRecord& record);

// The Japanese sentence added to the disk's safety description when an area is hidden
// (with its size from `bytesPerSector`); empty otherwise.
std::wstring HiddenCapacitySafetyNote(const HiddenCapacity& found, std::uint32_t bytesPerSector);

}  // namespace morvane
