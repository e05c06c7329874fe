// The collector on this machine (Wine): a full profile whatever the machine offers;
// and the registry reader on a private test key.
#include <gtest/gtest.h>

#include "common/unique_handle.h"
#include "hwinfo/collect.h"
#include "hwinfo/system_facts.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

TEST(LiveProfile, CollectsAFullProfileOnThisMachine) {
    DiskInfo disk;
    disk.model = L"Virtual Test Disk";
    disk.serialNumber = L"VT-0001";
    disk.sizeBytes = 512ull << 30;
    disk.bytesPerSector = 0;
    disk.mediaKind = MediaNvmeSsd;
    disk.busKind = BusNvme;
    const HardwareProfile p = CollectHardwareProfile(disk);
    for (const HardwareFieldRef& field : kHardwareFields)
        EXPECT_FALSE((p.*field.member).empty()) << testing::Narrow(field.key);
    EXPECT_EQ(p.uuid.size(), 36u);
    EXPECT_NE(p.processor.find(L", Current speed: "), std::wstring::npos);
    EXPECT_EQ(p.disk, L"512.00 GB NVMe SSD, Model: Virtual Test Disk, Serial: VT-0001");
    EXPECT_EQ(p.diskGeometry, L"NVMe 512.00 GB / 1073741824 Sector(s), Sector size: 512 B");
}

TEST(RegistryText, AcceptsTheStringTypesUpTo1024Bytes) {
    const std::wstring path = L"Software\\MorvaneTests\\RegistryText" + std::to_wstring(::GetCurrentProcessId());
    UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS);
    const auto set = [&](const wchar_t* name, DWORD type, const void* data, std::size_t bytes) {
        ASSERT_EQ(::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), DWORD(bytes)), ERROR_SUCCESS);
    };
    const std::wstring fits(511, L'x'), tooLong(512, L'y');  // 1022 bytes and the terminator: 1024
    const DWORD number = 3600;
    set(L"Sz", REG_SZ, L"  Vendor  ", 22);
    set(L"Expand", REG_EXPAND_SZ, L"%SystemRoot%", 26);
    set(L"Multi", REG_MULTI_SZ, L"first\0second\0", 28);
    set(L"Dword", REG_DWORD, &number, sizeof number);
    set(L"Binary", REG_BINARY, L"abc", 8);
    set(L"NoTerminator", REG_SZ, L"abc", 6);
    set(L"Fits", REG_SZ, fits.c_str(), 1024);
    set(L"TooLong", REG_SZ, tooLong.c_str(), 1026);
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"Sz", L"  Vendor  "},  // not trimmed here
        {L"Expand", L"%SystemRoot%"}, {L"Multi", L"first"}, {L"Dword", L""}, {L"Binary", L""},
        {L"NoTerminator", L"abc"},    {L"Fits", fits},      {L"TooLong", L""}, {L"Missing", L""},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, path, name), expected) << testing::Narrow(name);
    EXPECT_EQ(ReadRegistryText(HKEY_CURRENT_USER, path + L"\\Absent", L"Sz"), L"");
    key.reset();
    ::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
}

}  // namespace
}  // namespace morvane
