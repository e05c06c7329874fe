// The hidden-capacity judgement and its texts.
#include "firmware/hidden_capacity.h"

#include <cstdio>

namespace morvane {

namespace {

// "HPA", "DCO" or "HPA/DCO": which limit hides the sectors.
std::wstring Cause(const HiddenCapacity& found) {
    if (found.hpaSectors && found.dcoSectors) return L"HPA/DCO";
    return found.dcoSectors ? L"DCO" : L"HPA";
}

std::wstring Sizes(const HiddenCapacity& found) {
    std::wstring text = L"Addressable: " + std::to_wstring(found.addressableSectors) + L" sectors; native maximum: " +
                        std::to_wstring(found.nativeSectors) + L" sectors";
    if (found.dcoSectors) text += L"; device configuration overlay maximum: " +
                                  std::to_wstring(found.nativeSectors + found.dcoSectors) + L" sectors";
    return text + L".";
}

constexpr wchar_t kLimitKept[] = L" The limit was left in place: removing it is outside what this program does.";

}  // namespace

HiddenCapacity AssessHiddenCapacity(const AtaIdentity& identity, bool nativeQueried,
                                    std::optional<std::uint64_t> nativeMaxLba, std::optional<std::uint64_t> dcoMaxLba) {
    HiddenCapacity found;
    found.addressableSectors = identity.addressableSectors();
    if (nativeQueried && !nativeMaxLba) {
        found.state = HiddenCapacity::State::Unknown;
        return found;
    }
    found.nativeSectors = nativeQueried ? *nativeMaxLba + 1 : found.addressableSectors;
    // A native maximum below the addressable capacity contradicts itself: not a reading.
    if (found.nativeSectors < found.addressableSectors) {
        found.state = HiddenCapacity::State::Unknown;
        return found;
    }
    found.hpaSectors = found.nativeSectors - found.addressableSectors;
    if (dcoMaxLba) {
        found.dcoKnown = true;
        if (*dcoMaxLba + 1 > found.nativeSectors) found.dcoSectors = *dcoMaxLba + 1 - found.nativeSectors;
    }
    found.state = found.hiddenSectors() ? HiddenCapacity::State::Present : HiddenCapacity::State::None;
    return found;
}

HiddenCapacityRecord RecordHiddenCapacity(const HiddenCapacity& found, const FirmwareSanitizeRecord& firmware) {
    HiddenCapacityRecord record;
    switch (found.state) {
        case HiddenCapacity::State::NotApplicable:
            record.detail = L"Only SATA drives carry a host protected area or a device configuration overlay.";
            return record;
        case HiddenCapacity::State::Unknown:
            record.result = kHiddenCapacityUnknown;
            record.detail = L"The drive's native maximum could not be read (the query was aborted or refused); "
                            L"sectors beyond the addressable capacity may exist.";
            return record;
        case HiddenCapacity::State::None:
            record.result = kHiddenCapacityNone;
            record.detail = L"No sectors beyond the addressable capacity (" +
                            std::to_wstring(found.addressableSectors) + L" sectors).";
            return record;
        case HiddenCapacity::State::Present: break;
    }
    record.result = kHiddenCapacityPresent;
    record.hiddenSectors = found.hiddenSectors();
    record.coveredByFirmware = firmware.countsAsPurge;
    const std::wstring head = Cause(found) + L": " + std::to_wstring(record.hiddenSectors) +
                              L" sectors beyond the addressable capacity ";
    if (record.coveredByFirmware) {
        record.detail = head + L"were erased by the firmware sanitize (" + firmware.method +
                        L"), which covers the drive's whole native capacity. " + Sizes(found) + kLimitKept;
    } else {
        record.detail = head + L"were not overwritten. " + Sizes(found) + kLimitKept;
    }
    return record;
}

std::wstring HiddenCapacitySummary(const HiddenCapacityRecord& record) {
    if (record.result != kHiddenCapacityPresent) return record.result;
    return record.result + L" - " + std::to_wstring(record.hiddenSectors) +
           (record.coveredByFirmware ? L" sectors erased by the firmware sanitize" : L" sectors not overwritten");
}

std::wstring HiddenCapacitySafetyNote(const HiddenCapacity& found, std::uint32_t bytesPerSector) {
    if (found.state != HiddenCapacity::State::Present) return {};
    const double mib = static_cast<double>(found.hiddenSectors()) * bytesPerSector / (1024.0 * 1024.0);
    wchar_t size[64];
    std::swprintf(size, std::size(size), L"%.1f MiB", mib);
    return L"このドライブには " + Cause(found) + L" による隠し領域が " + std::to_wstring(found.hiddenSectors()) +
           L" セクタ (" + size +
           L") あります。上書き消去はこの領域に届きません (ドライブ自身の Sanitize は含めて消去します)。"
           L"制限の解除は本プログラムでは行いません。";
}

}  // namespace morvane
