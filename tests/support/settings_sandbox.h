// Test helpers for the settings store: a private registry subtree standing in for
// the current user's hive, a guard that restores the real per-user INI file and
// registry key, and UTF-16 INI file reading and writing.
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "support/temp_dir.h"

namespace morvane::testing {

// HKCU\Software\MorvaneDiskEraserTests\<pid>_<n>, removed with its subtree at the end.
class RegistrySandbox {
public:
    RegistrySandbox() {
        static unsigned counter = 0;
        path_ = L"Software\\MorvaneDiskEraserTests\\" + std::to_wstring(::GetCurrentProcessId()) +
                L"_" + std::to_wstring(++counter);
        ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, key_.put(), nullptr);
    }
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;
    ~RegistrySandbox() {
        key_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\MorvaneDiskEraserTests");  // only if empty
    }
    HKEY root() const { return key_.get(); }
    bool valid() const { return key_.valid(); }

private:
    std::wstring path_;
    UniqueRegKey key_;
};

inline bool SetRegistryValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                             DWORD type, const void* data, DWORD bytes) {
    UniqueRegKey key;
    if (::RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                            bytes) == ERROR_SUCCESS;
}

inline bool SetRegistryText(HKEY root, const std::wstring& subKey, const std::wstring& name,
                            const std::wstring& value) {
    return SetRegistryValue(root, subKey, name, REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// The raw bytes of a registry value, with its type; nothing when it cannot be read.
struct RegistryBlob {
    DWORD type = 0;
    std::vector<unsigned char> bytes;
};
inline std::optional<RegistryBlob> ReadRegistryValue(HKEY root, const std::wstring& subKey,
                                                     const std::wstring& name) {
    UniqueRegKey key;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegistryBlob blob;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &blob.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    blob.bytes.resize(size);
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &blob.type, blob.bytes.data(),
                           &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    blob.bytes.resize(size);
    return blob;
}

// Writes `text` as UTF-16LE after a byte-order mark, as Windows keeps Unicode INI files.
inline void WriteUtf16File(const std::wstring& path, const std::wstring& text) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.put(static_cast<char>(0xFF)).put(static_cast<char>(0xFE));
    for (wchar_t c : text) out.put(static_cast<char>(c & 0xFF)).put(static_cast<char>(c >> 8));
}

// Decodes a UTF-16LE file after its byte-order mark; empty when there is no mark.
inline std::wstring ReadUtf16File(const std::wstring& path) {
    const auto bytes = ReadFileBytes(path);
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return {};
    std::wstring text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return text;
}

// Saves the real per-user INI file and HKCU registry key (copied into a sandbox) and
// puts them back as they were, including "did not exist", when the test ends.
class ProductSettingsGuard {
public:
    ProductSettingsGuard(std::wstring iniPath, std::wstring registryKey)
        : iniPath_(std::move(iniPath)), registryKey_(std::move(registryKey)) {
        iniExisted_ = std::filesystem::exists(std::filesystem::path(iniPath_));
        if (iniExisted_) iniBytes_ = ReadFileBytes(iniPath_);
        parentExisted_ = KeyExists(Parent());
        UniqueRegKey key;
        keyExisted_ = ::RegOpenKeyExW(HKEY_CURRENT_USER, registryKey_.c_str(), 0, KEY_READ,
                                      key.put()) == ERROR_SUCCESS;
        if (keyExisted_) ::RegCopyTreeW(key.get(), nullptr, backup_.root());
    }
    ProductSettingsGuard(const ProductSettingsGuard&) = delete;
    ProductSettingsGuard& operator=(const ProductSettingsGuard&) = delete;
    ~ProductSettingsGuard() {
        // Drop the profile cache before the file changes under it.
        ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, iniPath_.c_str());
        if (iniExisted_) {
            std::ofstream out(std::filesystem::path(iniPath_), std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(iniBytes_.data()),
                      static_cast<std::streamsize>(iniBytes_.size()));
        } else {
            ::DeleteFileW(iniPath_.c_str());
        }
        ::RegDeleteTreeW(HKEY_CURRENT_USER, registryKey_.c_str());
        UniqueRegKey key;
        if (keyExisted_ && ::RegCreateKeyExW(HKEY_CURRENT_USER, registryKey_.c_str(), 0, nullptr,
                                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                             key.put(), nullptr) == ERROR_SUCCESS) {
            ::RegCopyTreeW(backup_.root(), nullptr, key.get());
        }
        // The parent ("Software\\Morvane") goes too when the test created it.
        if (!parentExisted_) ::RegDeleteKeyW(HKEY_CURRENT_USER, Parent().c_str());
    }

private:
    std::wstring Parent() const { return registryKey_.substr(0, registryKey_.find_last_of(L'\\')); }
    static bool KeyExists(const std::wstring& path) {
        UniqueRegKey key;
        return ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) ==
               ERROR_SUCCESS;
    }

    std::wstring iniPath_, registryKey_;
    bool iniExisted_ = false, keyExisted_ = false, parentExisted_ = false;
    std::vector<unsigned char> iniBytes_;
    RegistrySandbox backup_;
};

}  // namespace morvane::testing
