// The naming rules of the device inventory: how one device's properties become a
// list entry, and how the graphics, sound, storage and network texts are built
// from the lists. Pure functions; the Win32 readers live in devices_win32.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

// Ordered, distinct names.
using DeviceNameList = std::vector<std::wstring>;

// The three registry properties read for each device (untrimmed).
struct DeviceProperties {
    std::wstring friendlyName;
    std::wstring description;
    std::wstring manufacturer;
};

// The list entry for one device: friendly name or else description, prefixed with
// "manufacturer, " unless the manufacturer is empty, generic or already in the name.
// Empty when the device has no name (it is then skipped).
std::wstring DeviceDisplayName(const DeviceProperties& device);

// Asks `next` for devices 0, 1, 2 ... until it returns nothing, and collects up to
// `maxCount` distinct names; no device is asked for once the list is full.
DeviceNameList NameDevices(const std::function<std::optional<DeviceProperties>(std::uint32_t)>& next,
                           std::size_t maxCount);

// One adapter of the IP Helper list: its ANSI description and hardware address.
struct AdapterFacts {
    std::string description;
    std::uint32_t addressLength = 0;
    std::uint8_t address[8] = {};
};

// "Adapter n: description, aa:bb:cc:dd:ee:ff" for the first three adapters with a
// six-byte address.
std::vector<std::wstring> AdapterItems(const std::vector<AdapterFacts>& adapters);

// The four device fields; every one falls back to a default text, never empty.
std::wstring GraphicsCardText(const DeviceNameList& displayClass, const std::wstring& displayDevice);
std::wstring SoundCardsText(const DeviceNameList& mediaClass);
std::wstring StorageControllerText(const DeviceNameList& scsiAdapters, const DeviceNameList& hdcClass);
// `adapterItems` from AdapterItems; the network class names are used only when it is empty.
std::wstring NetworkAdaptersText(const std::vector<std::wstring>& adapterItems,
                                 const DeviceNameList& netClass);

}  // namespace morvane
