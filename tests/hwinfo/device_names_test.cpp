// The device naming rule, de-duplication and limits, and the texts of the
// graphics, sound, storage and network fields, from synthetic device properties.
#include <gtest/gtest.h>

#include "hwinfo/device_names.h"
#include "common/text.h"

namespace morvane {
namespace {

// Serves a fixed device list the way the device-installation service is walked,
// counting how many devices were asked for.
struct FakeDeviceSet {
    std::vector<DeviceProperties> devices;
    std::uint32_t asked = 0;

    DeviceNameList List(std::size_t maxCount) {
        return NameDevices(
            [this](std::uint32_t index) -> std::optional<DeviceProperties> {
                ++asked;
                if (index >= devices.size()) return std::nullopt;
                return devices[index];
            },
            maxCount);
    }
};

TEST(DeviceNames, ManufacturerPrefixUnlessGenericOrAlreadyNamed) {
    const struct {
        DeviceProperties device;
        const wchar_t* expected;
    } cases[] = {
        {{L"", L"Radeon RX 6600", L"Advanced Micro Devices, Inc."}, L"Advanced Micro Devices, Inc., Radeon RX 6600"},
        {{L"NVIDIA GeForce RTX 3060", L"desc", L"NVIDIA"}, L"NVIDIA GeForce RTX 3060"},
        {{L"", L"Microsoft Basic Display Adapter", L"(Standard display types)"}, L"Microsoft Basic Display Adapter"},
        {{L"", L"SCSI コントローラー", L"(標準システム デバイス)"}, L"SCSI コントローラー"},
        {{L"Friendly", L"Description", L""}, L"Friendly"},
        {{L" \tFoo Card\r\n", L"", L"  Bar Inc\t"}, L"Bar Inc, Foo Card"},
        {{L"Intel(R) UHD Graphics", L"", L"intel"}, L"intel, Intel(R) UHD Graphics"},  // case-sensitive
        {{L"Audio", L"", L"standard audio"}, L"standard audio, Audio"},                // case-sensitive
        {{L"   ", L"Description only", L""}, L"Description only"},  // blank friendly name
        {{L"", L"", L"Maker"}, L""},
        {{L" \r\n", L"\t", L"Maker"}, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(DeviceDisplayName(c.device), c.expected);
}

TEST(DeviceNames, DistinctNamesUpToTheMaximumThenStopAsking) {
    const DeviceProperties a{L"Adapter A", L"", L""};
    const DeviceProperties b{L"Adapter B", L"", L""};
    const DeviceProperties c{L"Adapter C", L"", L""};
    const DeviceProperties blank{L"", L"", L"Maker"};

    FakeDeviceSet twins{{a, a, b, c}};
    EXPECT_EQ(twins.List(2), (DeviceNameList{L"Adapter A", L"Adapter B"}));
    EXPECT_EQ(twins.asked, 3u);  // C is never read

    FakeDeviceSet sameAfterPrefix{{{L"X", L"", L"M"}, {L"M, X", L"", L""}, blank, b}};
    EXPECT_EQ(sameAfterPrefix.List(2), (DeviceNameList{L"M, X", L"Adapter B"}));

    FakeDeviceSet few{{blank, a}};
    EXPECT_EQ(few.List(2), (DeviceNameList{L"Adapter A"}));
    EXPECT_EQ(few.asked, 3u);  // until enumeration ends

    FakeDeviceSet none{{}};
    EXPECT_TRUE(none.List(2).empty());
    EXPECT_TRUE(FakeDeviceSet{{a}}.List(0).empty());
}

// The field texts with their fallbacks, Trim and JoinTexts: each row is (got, expected).
TEST(DeviceNames, FieldTextsAndFallbacks) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {GraphicsCardText({L"GPU A", L"GPU B"}, L"ignored"), L"GPU A / GPU B"},
        {GraphicsCardText({}, L"Wine Display"), L"Wine Display"},
        {GraphicsCardText({}, L""), L"Standard VGA / GOP Graphics Adapter"},
        {SoundCardsText({L"Realtek Audio", L"NVIDIA HD Audio"}), L"Card 1: Realtek Audio | Card 2: NVIDIA HD Audio"},
        {SoundCardsText({L"USB Audio"}), L"Card 1: USB Audio"},
        {SoundCardsText({}), L"None / Standard High Definition Audio"},
        {StorageControllerText({L"RAID", L"NVMe"}, {L"AHCI", L"IDE"}), L"RAID / NVMe / AHCI"},  // at most three
        {StorageControllerText({}, {L"AHCI", L"IDE"}), L"AHCI / IDE"},
        {StorageControllerText({L"Same"}, {L"Same"}), L"Same / Same"},  // no test across lists
        {StorageControllerText({}, {}), L"Standard Storage / NVMe / AHCI Controller"},
        {NetworkAdaptersText({}, {L"Ethernet A", L"Wi-Fi B"}), L"Adapter 1: Ethernet A | Adapter 2: Wi-Fi B"},
        {NetworkAdaptersText(AdapterItems({}), {}), L"None / Offline"},
        {Trim(L" \t\r\nA B\n\r\t "), L"A B"},
        {Trim(L"\vA\x3000"), L"\vA\x3000"},  // only the four characters
        {Trim(L" \t"), L""},
        {JoinTexts({}, L" / "), L""},
        {JoinTexts({L"one"}, L" / "), L"one"},
        {JoinTexts({L"one", L"", L"three"}, L" | "), L"one |  | three"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << "row " << i;
}

TEST(DeviceNames, NetworkAdaptersSkipNonEthernetAddressesAndStopAtThree) {
    auto adapter = [](const char* description, std::uint32_t length, std::uint8_t last) {
        AdapterFacts a;
        a.description = description;
        a.addressLength = length;
        const std::uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0xCD, 0xEF, last};
        for (int i = 0; i < 6; ++i) a.address[i] = mac[i];
        return a;
    };
    const std::vector<AdapterFacts> adapters = {
        adapter("Loopback", 0, 0x00),       adapter("Intel Ethernet", 6, 0x01),
        adapter("Tunnel", 8, 0x02),         adapter("", 6, 0xAB),
        adapter("Realtek Wi-Fi", 6, 0x03),  adapter("Fourth Ethernet", 6, 0x04),
    };
    const std::vector<std::wstring> items = AdapterItems(adapters);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(NetworkAdaptersText(items, {L"never used"}),
              L"Adapter 1: Intel Ethernet, 00:1a:2b:cd:ef:01 | Adapter 2: Network Adapter, "
              L"00:1a:2b:cd:ef:ab | Adapter 3: Realtek Wi-Fi, 00:1a:2b:cd:ef:03");
}

}  // namespace
}  // namespace morvane
