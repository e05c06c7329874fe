// The settings stores at the Win32 edge: the per-user INI file (kept in UTF-16 so
// Japanese text survives any ANSI code page) and the registry mirror.
#include "common/unique_handle.h"
#include "common/win32.h"
// After win32.h, so the shell header sees the program's Windows settings.

#include "settings/output_folder.h"
#include "settings/settings_store.h"

namespace morvane {

namespace {

// Reads one INI string the way the product always has: a 260-character buffer.
std::wstring ReadIniText(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                         const std::wstring& fallback) {
    wchar_t buffer[kMaxSettingsText + 1] = {};
    ::GetPrivateProfileStringW(section, key, fallback.c_str(), buffer, kMaxSettingsText + 1,
                               path.c_str());
    return buffer;
}

// The registry operator name, when it is text and fits 260 characters with its NUL.
std::optional<std::wstring> ReadRegistryOperatorName(const SettingsLocation& location) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(location.registryRoot, location.registryKey.c_str(), 0, KEY_READ,
                        key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    wchar_t buffer[kMaxSettingsText + 1] = {};
    DWORD type = 0;
    DWORD bytes = sizeof(buffer);
    if (::RegQueryValueExW(key.get(), L"OperatorName", nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    // A value stored without its terminating NUL is still a whole string.
    std::wstring text(buffer, bytes / sizeof(wchar_t));
    const std::size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return text;
}

// A new INI file written by WritePrivateProfileStringW is ANSI, and text outside the
// ANSI code page becomes '?'. Starting the file with a UTF-16LE byte-order mark makes
// the profile functions keep it in UTF-16. An existing non-empty file is left as is.
void EnsureUnicodeIniFile(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart != 0) return;
    static constexpr unsigned char kBom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    ::WriteFile(file.get(), kBom, sizeof(kBom), &written, nullptr);
}

void WriteRegistryText(HKEY key, const wchar_t* name, const std::wstring& value) {
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

std::wstring LocalAppDataFolder() {
    wchar_t path[MAX_PATH] = {};
    if (::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) {
        return {};
    }
    return path;
}

SettingsLocation ProductLocation() {
    SettingsLocation location;
    location.iniPath = SettingsIniPath();
    location.defaultOutputFolder = [] { return DefaultOutputFolder(); };
    return location;
}

}  // namespace

std::wstring SettingsIniPath() {
    const std::wstring appData = LocalAppDataFolder();
    if (!appData.empty()) {
        ::CreateDirectoryW((appData + L"\\Morvane").c_str(), nullptr);
        ::CreateDirectoryW((appData + L"\\Morvane\\DiskEraser").c_str(), nullptr);
    }
    return SettingsIniPathFor(appData, Win32OutputFolderSystem().ExecutablePath());
}

AppSettings LoadSettings(const SettingsLocation& location) {
    const AppSettings defaults;
    // Resolved (and created) on every load, whatever the INI file says.
    const std::wstring defaultFolder =
        location.defaultOutputFolder ? location.defaultOutputFolder() : std::wstring();
    const std::wstring& ini = location.iniPath;

    StoredSettings stored;
    stored.operatorName = ReadIniText(ini, L"General", L"OperatorName", defaults.operatorName);
    stored.organizationName =
        ReadIniText(ini, L"General", L"OrganizationName", defaults.organizationName);
    stored.certOutputDir = ReadIniText(ini, L"General", L"CertOutputDir", defaultFolder);
    stored.defaultStandard = ReadIniText(ini, L"Sanitization", L"DefaultStandard", L"");
    stored.defaultVerify = ReadIniText(ini, L"Sanitization", L"DefaultVerify", L"");
    stored.writeDiskStamp = ReadIniText(ini, L"Sanitization", L"WriteDiskStamp", L"");
    stored.enableLogOutput = ReadIniText(ini, L"Sanitization", L"EnableLogOutput", L"");
    stored.defaultExecMode = ReadIniText(ini, L"Safety", L"DefaultExecMode", L"");
    stored.registryOperatorName = ReadRegistryOperatorName(location);
    stored.signerThumbprint = ReadIniText(ini, L"General", L"SignerCertificateThumbprint", L"");
    return SettingsFromStored(stored);
}

void SaveSettings(const AppSettings& settings, const SettingsLocation& location) {
    EnsureUnicodeIniFile(location.iniPath);
    for (const IniEntry& entry : SettingsIniEntries(settings)) {
        ::WritePrivateProfileStringW(entry.section, entry.key, entry.value.c_str(),
                                     location.iniPath.c_str());
    }
    // Flush the profile cache so the file on disk is complete when we return.
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, location.iniPath.c_str());

    UniqueRegKey key;
    if (::RegCreateKeyExW(location.registryRoot, location.registryKey.c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        return;
    }
    WriteRegistryText(key.get(), L"OperatorName", settings.operatorName);
    WriteRegistryText(key.get(), L"OrganizationName", settings.organizationName);
    WriteRegistryText(key.get(), L"CertOutputDir", settings.certOutputDir);
}

AppSettings LoadSettings() { return LoadSettings(ProductLocation()); }

void SaveSettings(const AppSettings& settings) { SaveSettings(settings, ProductLocation()); }

}  // namespace morvane
