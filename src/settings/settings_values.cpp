// Settings value rules: integer parsing and range checks, text limits, the registry
// override, the INI layout and the INI path choice. No I/O here.
#include <cstdint>

#include "common/files.h"
#include "settings/output_folder.h"
#include "settings/settings_store.h"

namespace morvane {

namespace {

constexpr const wchar_t* kGeneral = L"General";
constexpr const wchar_t* kSanitization = L"Sanitization";
constexpr const wchar_t* kSafety = L"Safety";

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring Limited(const std::wstring& text) {
    return text.size() > kMaxSettingsText ? text.substr(0, kMaxSettingsText) : text;
}

std::uint32_t AtMost(const std::wstring& text, std::uint32_t max, std::uint32_t fallback) {
    const auto value = ParseStoredInteger(text);
    return value && *value <= max ? *value : fallback;
}

std::uint32_t Flag(const std::wstring& text) {
    const auto value = ParseStoredInteger(text);
    return value && *value == 1 ? 1u : 0u;
}

}  // namespace

std::optional<std::uint32_t> ParseStoredInteger(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t magnitude = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - L'0');
        if (magnitude > 0xFFFFFFFFull) return std::nullopt;
    }
    if (!negative) return static_cast<std::uint32_t>(magnitude);
    if (magnitude > 0x80000000ull) return std::nullopt;
    // Written with "%d", a negative int reads back as its two's-complement unsigned value.
    return static_cast<std::uint32_t>(0x100000000ull - magnitude);
}

AppSettings SettingsFromStored(const StoredSettings& stored) {
    AppSettings settings;
    settings.operatorName = Limited(stored.operatorName);
    settings.organizationName = Limited(stored.organizationName);
    settings.certOutputDir = Limited(stored.certOutputDir);
    settings.defaultStandard = AtMost(stored.defaultStandard, 7, 0);
    settings.defaultVerify = AtMost(stored.defaultVerify, 2, 1);
    settings.writeDiskStamp = Flag(stored.writeDiskStamp);
    settings.enableLogOutput = Flag(stored.enableLogOutput);
    settings.defaultExecMode = Flag(stored.defaultExecMode);
    settings.signerThumbprint = Limited(stored.signerThumbprint);
    // Only the operator name is taken back from the registry; organisation and
    // folder come from the INI file alone.
    if (stored.registryOperatorName) settings.operatorName = Limited(*stored.registryOperatorName);
    return settings;
}

std::vector<IniEntry> SettingsIniEntries(const AppSettings& s) {
    const auto number = [](std::uint32_t v) { return std::to_wstring(static_cast<int>(v)); };
    return {
        {kGeneral, L"OperatorName", s.operatorName},
        {kGeneral, L"OrganizationName", s.organizationName},
        {kGeneral, L"CertOutputDir", s.certOutputDir},
        {kSanitization, L"DefaultStandard", number(s.defaultStandard)},
        {kSanitization, L"DefaultVerify", number(s.defaultVerify)},
        {kSanitization, L"WriteDiskStamp", number(s.writeDiskStamp)},
        {kSanitization, L"EnableLogOutput", number(s.enableLogOutput)},
        {kSafety, L"DefaultExecMode", number(s.defaultExecMode)},
        {kGeneral, L"SignerCertificateThumbprint", s.signerThumbprint},
    };
}

std::wstring SettingsIniPathFor(const std::wstring& localAppData, const std::wstring& executablePath) {
    if (!localAppData.empty()) {
        return localAppData + L"\\Morvane\\DiskEraser\\" + kSettingsIniName;
    }
    return FolderOfPath(executablePath) + L"\\" + kSettingsIniName;
}

}  // namespace morvane
