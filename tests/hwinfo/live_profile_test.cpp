// The collector on this machine under Wine: prints the profile it finds and checks
// what the self-test relies on, plus the registry reader on a private test key.
#include <gtest/gtest.h>

#include <cstdio>

#include "common/unique_handle.h"
#include "hwinfo/collect.h"
#include "hwinfo/devices.h"
#include "hwinfo/smbios.h"
#include "hwinfo/system_facts.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using testing::Narrow;

TEST(LiveProfile, CollectsAFullProfileOnThisMachine) {
    DiskInfo disk;
    disk.model = L"Virtual Test Disk";
    disk.serialNumber = L"VT-0001";
    disk.sizeBytes = 512ull << 30;
    disk.bytesPerSector = 0;
    disk.mediaKind = MediaNvmeSsd;
    disk.busKind = BusNvme;
    const HardwareProfile p = CollectHardwareProfile(disk);

    const struct {
        const char* name;
        const std::wstring& value;
    } fields[] = {
        {"manufacturer", p.manufacturer}, {"chassisType", p.chassisType}, {"model", p.model},
        {"serial", p.serial}, {"uuid", p.uuid}, {"assetTag", p.assetTag}, {"processor", p.processor},
        {"totalMemory", p.totalMemory}, {"disk", p.disk}, {"diskGeometry", p.diskGeometry},
        {"graphicsCard", p.graphicsCard}, {"soundCards", p.soundCards},
        {"networkAdapters", p.networkAdapters}, {"motherboard", p.motherboard},
        {"biosInformation", p.biosInformation}, {"storageController", p.storageController},
    };
    std::printf("raw SMBIOS table: %zu bytes\n", ReadRawSmbiosTable().size());
    for (const auto& f : fields) {
        std::printf("  %-18s %s\n", f.name, Narrow(f.value).c_str());
        EXPECT_FALSE(f.value.empty()) << f.name;
    }
    EXPECT_EQ(p.uuid.size(), 36u);
    EXPECT_NE(p.processor.find(L", Current speed: "), std::wstring::npos);
    EXPECT_EQ(p.disk, L"512.00 GB NVMe SSD, Model: Virtual Test Disk, Serial: VT-0001");
    EXPECT_EQ(p.diskGeometry, L"NVMe 512.00 GB / 1073741824 Sector(s), Sector size: 512 B");
}

TEST(LiveProfile, DeviceListsRespectTheirLimits) {
    const struct {
        const char* name;
        const GUID& setupClass;
    } classes[] = {{"Display", kDisplayClass}, {"Media", kMediaClass}, {"SCSIAdapter", kScsiAdapterClass},
                   {"HDC", kHdcClass}, {"Net", kNetClass}};
    for (const auto& c : classes) {
        const DeviceNameList names = ListClassDevices(c.setupClass, 2);
        std::printf("  %-12s %zu device(s)\n", c.name, names.size());
        EXPECT_LE(names.size(), 2u);
        for (std::size_t i = 0; i < names.size(); ++i) {
            std::printf("    %s\n", Narrow(names[i]).c_str());
            EXPECT_FALSE(names[i].empty());
            for (std::size_t j = 0; j < i; ++j) EXPECT_NE(names[i], names[j]);
        }
    }
    const std::wstring network = DescribeNetworkAdapters();
    std::printf("  network: %s\n", Narrow(network).c_str());
    EXPECT_FALSE(network.empty());
}

// A private key under the current user of the test prefix, removed afterwards.
class RegistryTextTest : public ::testing::Test {
protected:
    const std::wstring path = L"Software\\MorvaneTests\\RegistryText" + std::to_wstring(::GetCurrentProcessId());
    UniqueRegKey key;

    void SetUp() override {
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        key.reset();
        ::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    }
    void Set(const wchar_t* name, DWORD type, const void* data, std::size_t bytes) {
        ASSERT_EQ(::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data),
                                   static_cast<DWORD>(bytes)),
                  ERROR_SUCCESS);
    }
};

TEST_F(RegistryTextTest, AcceptsTheStringTypesUpTo1024Bytes) {
    const wchar_t text[] = L"  Vendor  ";
    Set(L"Sz", REG_SZ, text, sizeof text);
    const wchar_t expand[] = L"%SystemRoot%\\x";
    Set(L"Expand", REG_EXPAND_SZ, expand, sizeof expand);
    const wchar_t multi[] = L"first\0second\0";
    Set(L"Multi", REG_MULTI_SZ, multi, sizeof multi);
    const DWORD number = 3600;
    Set(L"Dword", REG_DWORD, &number, sizeof number);
    Set(L"Binary", REG_BINARY, text, sizeof text);
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    Set(L"NoTerminator", REG_SZ, unterminated, sizeof unterminated);
    const std::wstring fits(511, L'x');  // 1022 bytes and the terminator: 1024
    Set(L"Fits", REG_SZ, fits.c_str(), (fits.size() + 1) * sizeof(wchar_t));
    const std::wstring tooLong(512, L'y');
    Set(L"TooLong", REG_SZ, tooLong.c_str(), (tooLong.size() + 1) * sizeof(wchar_t));

    const struct {
        const wchar_t* value;
        std::wstring expected;
    } cases[] = {
        {L"Sz", L"  Vendor  "},  // not trimmed here
        {L"Expand", L"%SystemRoot%\\x"},
        {L"Multi", L"first"},
        {L"Dword", L""},
        {L"Binary", L""},
        {L"NoTerminator", L"abc"},
        {L"Fits", fits},
        {L"TooLong", L""},
        {L"Missing", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, path, c.value), c.expected) << Narrow(c.value);
    }
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, path + L"\\Absent", L"Sz"), L"");
}

}  // namespace
}  // namespace morvane
