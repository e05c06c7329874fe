// Reading the device lists from the device-installation service, the display
// devices and the IP Helper library.
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <vector>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "hwinfo/devices.h"

namespace morvane {

namespace {

constexpr DWORD kErrorBufferOverflow = 111;
constexpr std::size_t kMaxAdapterChain = 1024;

// One string property into a zeroed buffer of `bytes` bytes; the extra element
// keeps the text terminated even when the property fills the buffer.
std::wstring DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, DWORD bytes) {
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                             reinterpret_cast<BYTE*>(buffer.data()), bytes, nullptr)) {
        return {};
    }
    return std::wstring(buffer.data(), std::wcslen(buffer.data()));
}

using GetAdaptersInfoFn = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);

}  // namespace

DeviceNameList ListClassDevices(const GUID& setupClass, std::size_t maxCount) {
    UniqueDevInfo set(::SetupDiGetClassDevsW(&setupClass, nullptr, nullptr, DIGCF_PRESENT));
    if (!set) return {};
    return NameDevices(
        [&](std::uint32_t index) -> std::optional<DeviceProperties> {
            SP_DEVINFO_DATA device = {};
            device.cbSize = sizeof device;
            if (!::SetupDiEnumDeviceInfo(set.get(), index, &device)) return std::nullopt;
            DeviceProperties p;
            p.friendlyName = DeviceProperty(set.get(), device, SPDRP_FRIENDLYNAME, 512);
            p.description = DeviceProperty(set.get(), device, SPDRP_DEVICEDESC, 512);
            p.manufacturer = DeviceProperty(set.get(), device, SPDRP_MFG, 256);
            return p;
        },
        maxCount);
}

std::wstring PrimaryDisplayDeviceString() {
    static_assert(sizeof(DISPLAY_DEVICEW) == 840, "display device record size");
    DISPLAY_DEVICEW display = {};
    display.cb = sizeof display;
    if (!::EnumDisplayDevicesW(nullptr, 0, &display, 0)) return {};
    const std::size_t length =
        wcsnlen(display.DeviceString, sizeof display.DeviceString / sizeof(wchar_t));
    return std::wstring(display.DeviceString, length);
}

std::vector<AdapterFacts> ReadNetworkAdapters() {
    UniqueModule library(::LoadLibraryW(L"iphlpapi.dll"));
    if (!library) return {};
    const auto getAdaptersInfo = reinterpret_cast<GetAdaptersInfoFn>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), "GetAdaptersInfo")));
    if (getAdaptersInfo == nullptr) return {};

    ULONG size = 0;
    if (getAdaptersInfo(nullptr, &size) != kErrorBufferOverflow || size == 0) return {};
    // Whole records, so the chain's pointers land on aligned storage.
    std::vector<IP_ADAPTER_INFO> buffer((size + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO));
    ULONG capacity = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
    if (getAdaptersInfo(buffer.data(), &capacity) != ERROR_SUCCESS) return {};

    // The chain links records inside the buffer; a link that points elsewhere ends it.
    const auto first = reinterpret_cast<std::uintptr_t>(buffer.data());
    const auto last = first + (buffer.size() - 1) * sizeof(IP_ADAPTER_INFO);
    std::vector<AdapterFacts> adapters;
    for (const IP_ADAPTER_INFO* a = buffer.data(); a != nullptr && adapters.size() < kMaxAdapterChain;
         a = a->Next) {
        const auto at = reinterpret_cast<std::uintptr_t>(a);
        if (at < first || at > last) break;
        AdapterFacts facts;
        facts.description.assign(a->Description, strnlen(a->Description, sizeof a->Description));
        facts.addressLength = a->AddressLength;
        for (std::size_t i = 0; i < sizeof facts.address && i < sizeof a->Address; ++i) {
            facts.address[i] = a->Address[i];
        }
        adapters.push_back(std::move(facts));
    }
    return adapters;
}

std::wstring DescribeNetworkAdapters() {
    const std::vector<std::wstring> items = AdapterItems(ReadNetworkAdapters());
    return NetworkAdaptersText(items, items.empty() ? ListClassDevices(kNetClass, 2) : DeviceNameList{});
}

DeviceInventory ReadDeviceInventory() {
    DeviceInventory devices;
    devices.display = ListClassDevices(kDisplayClass, 2);
    if (devices.display.empty()) devices.displayDevice = PrimaryDisplayDeviceString();
    devices.media = ListClassDevices(kMediaClass, 2);
    devices.scsiAdapters = ListClassDevices(kScsiAdapterClass, 2);
    devices.hdc = ListClassDevices(kHdcClass, 2);
    devices.adapterItems = AdapterItems(ReadNetworkAdapters());
    if (devices.adapterItems.empty()) devices.netClass = ListClassDevices(kNetClass, 2);
    return devices;
}

}  // namespace morvane
