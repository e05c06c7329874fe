// Reading SMBIOS, the registry, the processor count and the memory status.
#include <cwchar>

#include "common/unique_handle.h"
#include "hwinfo/system_facts.h"

namespace morvane {

namespace {

constexpr DWORD kRsmbProvider = 0x52534D42;  // 'RSMB'
constexpr DWORD kRegistryTextBytes = 1024;
constexpr UINT kMinSmbiosSize = 9;

const wchar_t kBiosKey[] = L"HARDWARE\\DESCRIPTION\\System\\BIOS";
const wchar_t kProcessorKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

std::wstring BiosValue(const wchar_t* name) {
    return ReadRegistryText(HKEY_LOCAL_MACHINE, kBiosKey, name);
}

// ~MHz; 0 when absent, of another type or unreadable.
std::uint32_t ReadProcessorMhz() {
    UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProcessorKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegQueryValueExW(key.get(), L"~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                           &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return 0;
    }
    return value;
}

}  // namespace

std::wstring ReadRegistryText(HKEY root, const std::wstring& subKey, const std::wstring& valueName) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
    // One element beyond the 1024 bytes keeps a value without terminator terminated.
    wchar_t buffer[kRegistryTextBytes / sizeof(wchar_t) + 1] = {};
    DWORD type = 0;
    DWORD size = kRegistryTextBytes;
    if (::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        return {};
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return {};
    // A multi-string's first string ends at its first terminator, like any other.
    const std::size_t chars = size / sizeof(wchar_t);
    return std::wstring(buffer, wcsnlen(buffer, chars));
}

std::vector<std::uint8_t> ReadRawSmbiosTable() {
    const UINT size = ::GetSystemFirmwareTable(kRsmbProvider, 0, nullptr, 0);
    if (size < kMinSmbiosSize) return {};
    std::vector<std::uint8_t> table(size, 0);
    // A table that changed size between the two calls is not trusted.
    if (::GetSystemFirmwareTable(kRsmbProvider, 0, table.data(), size) != size) return {};
    return table;
}

BiosRegistryValues ReadBiosRegistryValues() {
    BiosRegistryValues v;
    v.systemManufacturer = BiosValue(L"SystemManufacturer");
    v.systemProductName = BiosValue(L"SystemProductName");
    v.baseBoardManufacturer = BiosValue(L"BaseBoardManufacturer");
    v.baseBoardProduct = BiosValue(L"BaseBoardProduct");
    v.biosVendor = BiosValue(L"BIOSVendor");
    v.biosVersion = BiosValue(L"BIOSVersion");
    v.biosReleaseDate = BiosValue(L"BIOSReleaseDate");
    return v;
}

ProcessorFacts ReadProcessorFacts() {
    ProcessorFacts cpu;
    cpu.registryName = ReadRegistryText(HKEY_LOCAL_MACHINE, kProcessorKey, L"ProcessorNameString");
    cpu.registryMhz = ReadProcessorMhz();
    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    cpu.logicalCount = info.dwNumberOfProcessors;
    return cpu;
}

std::uint64_t TotalPhysicalMemory() {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status)) return 0;
    return status.ullTotalPhys;
}

}  // namespace morvane
