// The operator's persisted defaults: a per-user INI file, with the three text values
// mirrored into the current user's registry (whose operator name wins on load).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/win32.h"

namespace morvane {

struct AppSettings {
    std::wstring operatorName = L"Morvane";
    std::wstring organizationName = L"Morvane Tools Lab";
    std::wstring certOutputDir;
    std::uint32_t defaultStandard = 0;  // EraseStandard index 0..7
    std::uint32_t defaultVerify = 1;    // VerifyLevel index 0..2
    std::uint32_t defaultExecMode = 0;  // 0 simulation, 1 real write
    std::uint32_t writeDiskStamp = 0;   // stored name kept: 1 means NO stamp
    std::uint32_t enableLogOutput = 0;  // stored name kept: 1 means NO certificate/log output
    // SHA-1 thumbprint of the organisation's own signing certificate in the machine's
    // store, as typed; empty: evidence is signed by the program's own signer.
    std::wstring signerThumbprint;

    [[nodiscard]] bool StampWanted() const { return writeDiskStamp != 1; }
    [[nodiscard]] bool CertificatesWanted() const { return enableLogOutput != 1; }

    friend bool operator==(const AppSettings&, const AppSettings&) = default;
};

inline constexpr const wchar_t* kSettingsRegistryKey = L"Software\\Morvane\\DiskEraser";
inline constexpr const wchar_t* kSettingsIniName = L"MorvaneDiskEraser.ini";
// Longest text value kept: the stores are read into 260-character buffers.
inline constexpr std::size_t kMaxSettingsText = 259;

// ---- Pure part: value validation and the stored layout ----------------------------

// What the stores hold, as text. The INI strings arrive already defaulted by the
// reader; an empty integer text means absent or empty. `registryOperatorName` is
// set only when the registry value could be read as text within its buffer.
struct StoredSettings {
    std::wstring operatorName, organizationName, certOutputDir;
    std::wstring defaultStandard, defaultVerify, writeDiskStamp, enableLogOutput, defaultExecMode;
    std::optional<std::wstring> registryOperatorName;
    std::wstring signerThumbprint;
};

// A decimal integer as stored ("%d"), read as unsigned 32-bit ("-1" is 4294967295).
// Surrounding blanks are allowed; anything else, or overflow, gives nothing.
std::optional<std::uint32_t> ParseStoredInteger(std::wstring_view text);

// Applies the load rules: standard at most 7 (else 0), verify at most 2 (else 1), the
// three flags 1 only for a stored 1, texts cut to 259 characters, the registry's
// operator name over the INI one.
AppSettings SettingsFromStored(const StoredSettings& stored);

struct IniEntry {
    const wchar_t* section;
    const wchar_t* key;
    std::wstring value;
};
// The nine INI entries in the order they are written (the signer thumbprint last).
std::vector<IniEntry> SettingsIniEntries(const AppSettings& settings);

// The INI path from the local application-data folder (may be empty when unknown)
// and the executable's full path.
std::wstring SettingsIniPathFor(const std::wstring& localAppData, const std::wstring& executablePath);

// ---- The stores ------------------------------------------------------------------

// Where settings are kept. The product uses the per-user INI, HKEY_CURRENT_USER and
// DefaultOutputFolder; tests point it at a sandbox.
struct SettingsLocation {
    std::wstring iniPath;
    HKEY registryRoot = HKEY_CURRENT_USER;
    std::wstring registryKey = kSettingsRegistryKey;
    std::function<std::wstring()> defaultOutputFolder;
};

// The INI path, with its folders created when the application-data folder is known.
std::wstring SettingsIniPath();

AppSettings LoadSettings(const SettingsLocation& location);
AppSettings LoadSettings();
// Failures (unwritable INI, registry key that cannot be created) are ignored.
void SaveSettings(const AppSettings& settings, const SettingsLocation& location);
void SaveSettings(const AppSettings& settings);

}  // namespace morvane
