// Device naming, de-duplication and the default texts of the device fields.
#include "hwinfo/device_names.h"

#include <algorithm>
#include <cstdio>

#include "disk/disk_info.h"
#include "common/text.h"

namespace morvane {

namespace {

constexpr std::size_t kMaxStorageControllers = 3;
constexpr std::size_t kMaxNetworkAdapters = 3;

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

std::wstring FormatMac(const std::uint8_t* a) {
    wchar_t text[24];
    std::swprintf(text, 24, L"%02x:%02x:%02x:%02x:%02x:%02x", a[0], a[1], a[2], a[3], a[4], a[5]);
    return text;
}

}  // namespace

std::wstring DeviceDisplayName(const DeviceProperties& device) {
    // Chosen after trimming, so a blank friendly name does not hide a real description.
    std::wstring name = Trim(device.friendlyName);
    if (name.empty()) name = Trim(device.description);
    if (name.empty()) return {};
    const std::wstring maker = Trim(device.manufacturer);
    if (!maker.empty() && !Contains(maker, L"標準") && !Contains(maker, L"Standard") &&
        !Contains(name, maker)) {
        name = maker + L", " + name;
    }
    return name;
}

DeviceNameList NameDevices(const std::function<std::optional<DeviceProperties>(std::uint32_t)>& next,
                           std::size_t maxCount) {
    DeviceNameList names;
    if (maxCount == 0) return names;
    for (std::uint32_t index = 0;; ++index) {
        const std::optional<DeviceProperties> device = next(index);
        if (!device) break;
        std::wstring name = DeviceDisplayName(*device);
        if (name.empty() || std::find(names.begin(), names.end(), name) != names.end()) continue;
        names.push_back(std::move(name));
        if (names.size() >= maxCount) break;
    }
    return names;
}

std::vector<std::wstring> AdapterItems(const std::vector<AdapterFacts>& adapters) {
    std::vector<std::wstring> items;
    for (const AdapterFacts& adapter : adapters) {
        if (adapter.addressLength != 6) continue;
        std::wstring description = AnsiToWide(adapter.description);
        if (description.empty()) description = L"Network Adapter";
        items.push_back(L"Adapter " + std::to_wstring(items.size() + 1) + L": " + description + L", " +
                        FormatMac(adapter.address));
        if (items.size() >= kMaxNetworkAdapters) break;
    }
    return items;
}

std::wstring GraphicsCardText(const DeviceNameList& displayClass, const std::wstring& displayDevice) {
    if (!displayClass.empty()) return JoinTexts(displayClass, L" / ");
    if (!displayDevice.empty()) return displayDevice;
    return L"Standard VGA / GOP Graphics Adapter";
}

std::wstring SoundCardsText(const DeviceNameList& mediaClass) {
    if (mediaClass.empty()) return L"None / Standard High Definition Audio";
    std::vector<std::wstring> items;
    for (std::size_t i = 0; i < mediaClass.size(); ++i) {
        items.push_back(L"Card " + std::to_wstring(i + 1) + L": " + mediaClass[i]);
    }
    return JoinTexts(items, L" | ");
}

std::wstring StorageControllerText(const DeviceNameList& scsiAdapters, const DeviceNameList& hdcClass) {
    // The two classes are merged without a duplicate test, as the lists are short.
    DeviceNameList all = scsiAdapters;
    for (const std::wstring& name : hdcClass) {
        if (all.size() >= kMaxStorageControllers) break;
        all.push_back(name);
    }
    if (all.empty()) return L"Standard Storage / NVMe / AHCI Controller";
    return JoinTexts(all, L" / ");
}

std::wstring NetworkAdaptersText(const std::vector<std::wstring>& adapterItems,
                                 const DeviceNameList& netClass) {
    std::vector<std::wstring> items = adapterItems;
    if (items.empty()) {
        for (std::size_t i = 0; i < netClass.size(); ++i) {
            items.push_back(L"Adapter " + std::to_wstring(i + 1) + L": " + netClass[i]);
        }
    }
    if (items.empty()) return L"None / Offline";
    return JoinTexts(items, L" | ");
}

}  // namespace morvane
