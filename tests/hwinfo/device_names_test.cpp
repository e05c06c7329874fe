// The device naming rule, de-duplication and limits, and the joined texts of the
// sound, storage and network fields, from synthetic device properties.
#include <gtest/gtest.h>

#include "common/text.h"
#include "hwinfo/device_names.h"

namespace morvane {
namespace {

TEST(DeviceNames, ManufacturerPrefixUnlessGenericOrAlreadyNamed) {
    const std::pair<DeviceProperties, const wchar_t*> cases[] = {
        {{L"", L"Radeon RX 6600", L"AMD"}, L"AMD, Radeon RX 6600"},
        {{L"NVIDIA GeForce RTX 3060", L"desc", L"NVIDIA"}, L"NVIDIA GeForce RTX 3060"},
        {{L"", L"Basic Display Adapter", L"(Standard display types)"}, L"Basic Display Adapter"},
        {{L"", L"SCSI コントローラー", L"(標準システム デバイス)"}, L"SCSI コントローラー"},
        {{L" \tFoo Card\r\n", L"", L"  Bar Inc\t"}, L"Bar Inc, Foo Card"},
        {{L"Intel(R) UHD Graphics", L"", L"intel"}, L"intel, Intel(R) UHD Graphics"},  // case-sensitive
        {{L"   ", L"Description only", L""}, L"Description only"},  // blank friendly name
        {{L" \r\n", L"\t", L"Maker"}, L""},
    };
    for (const auto& [device, expected] : cases) EXPECT_EQ(DeviceDisplayName(device), expected);
}

// Serves a fixed device list as the device-installation service is walked.
DeviceNameList List(const std::vector<DeviceProperties>& devices, std::size_t maxCount, std::uint32_t* asked) {
    return NameDevices(
        [&](std::uint32_t index) -> std::optional<DeviceProperties> {
            ++*asked;
            return index < devices.size() ? std::optional(devices[index]) : std::nullopt;
        },
        maxCount);
}

TEST(DeviceNames, DistinctNamesUpToTheMaximumThenStopAsking) {
    const DeviceProperties a{L"A", L"", L""}, b{L"B", L"", L""}, c{L"C", L"", L""}, blank{L"", L"", L"Maker"};
    std::uint32_t asked = 0;
    EXPECT_EQ(List({a, a, b, c}, 2, &asked), (DeviceNameList{L"A", L"B"}));
    EXPECT_EQ(asked, 3u);  // C is never read
    EXPECT_EQ(List({{L"X", L"", L"M"}, {L"M, X", L"", L""}, blank, b}, 2, &asked), (DeviceNameList{L"M, X", L"B"}));
    asked = 0;
    EXPECT_EQ(List({blank, a}, 2, &asked), DeviceNameList{L"A"});
    EXPECT_EQ(asked, 3u);  // until enumeration ends
    EXPECT_TRUE(List({a}, 0, &asked).empty());
}

TEST(DeviceNames, JoinedFieldTexts) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {GraphicsCardText({L"GPU A", L"GPU B"}, L"ignored"), L"GPU A / GPU B"},
        {GraphicsCardText({}, L"Wine Display"), L"Wine Display"},
        {SoundCardsText({L"Realtek", L"NVIDIA HD"}), L"Card 1: Realtek | Card 2: NVIDIA HD"},
        {StorageControllerText({L"RAID", L"NVMe"}, {L"AHCI", L"IDE"}), L"RAID / NVMe / AHCI"},  // at most three
        {StorageControllerText({L"Same"}, {L"Same"}), L"Same / Same"},  // no test across lists
        {NetworkAdaptersText({}, {L"Ethernet A", L"Wi-Fi B"}), L"Adapter 1: Ethernet A | Adapter 2: Wi-Fi B"},
        {Trim(L" \t\r\nA B\n\r\t "), L"A B"},
        {Trim(L"\vA\x3000"), L"\vA\x3000"},  // only the four characters
        {JoinTexts({L"one", L"", L"three"}, L" | "), L"one |  | three"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << "row " << i;
}

TEST(DeviceNames, NetworkAdaptersSkipNonEthernetAddressesAndStopAtThree) {
    std::vector<AdapterFacts> adapters;
    for (auto [description, length] : {std::pair{"Loopback", 0u}, {"Intel Ethernet", 6u}, {"Tunnel", 8u}, {"", 6u},
                                       {"Realtek Wi-Fi", 6u}, {"Fourth Ethernet", 6u}}) {
        AdapterFacts a;
        a.description = description;
        a.addressLength = length;
        const std::uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0xCD, 0xEF, static_cast<std::uint8_t>(adapters.size())};
        std::copy(mac, mac + 6, a.address);
        adapters.push_back(a);
    }
    EXPECT_EQ(NetworkAdaptersText(AdapterItems(adapters), {L"never used"}),
              L"Adapter 1: Intel Ethernet, 00:1a:2b:cd:ef:01 | Adapter 2: Network Adapter, 00:1a:2b:cd:ef:03 | "
              L"Adapter 3: Realtek Wi-Fi, 00:1a:2b:cd:ef:04");
}

}  // namespace
}  // namespace morvane
