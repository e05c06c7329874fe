// Test helpers: a private temporary folder (removed with its contents at the end),
// image files that stand in for disks, and a log recorder. Tests never open a real disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/log_callback.h"
#include "common/unique_handle.h"
#include "common/win32.h"

namespace morvane::testing {

class TempDir {
public:
    TempDir() {
        wchar_t base[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, base);
        static unsigned counter = 0;
        do {
            path_ = std::filesystem::path(base) / (L"morvane_test_" + std::to_wstring(::GetCurrentProcessId()) +
                                                   L"_" + std::to_wstring(++counter));
        } while (!std::filesystem::create_directories(path_));
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return (path_ / name).wstring(); }

private:
    std::filesystem::path path_;
};

// Creates (or truncates) a file of `size` bytes, sparse where the filesystem allows.
inline bool CreateImageFile(const std::wstring& path, std::uint64_t size) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD ignored = 0;
    ::DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get());
}

// Up to `count` bytes from `offset`; empty when the file cannot be read or is shorter.
inline std::vector<unsigned char> ReadFileBytes(const std::wstring& path, std::uint64_t offset = 0,
                                                std::size_t count = SIZE_MAX) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary | std::ios::ate);
    const std::uint64_t size = in ? static_cast<std::uint64_t>(in.tellg()) : 0;
    if (offset >= size) return {};
    std::vector<unsigned char> bytes(static_cast<std::size_t>(count < size - offset ? count : size - offset));
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline std::string ReadText(const std::wstring& path) {
    const auto bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

// UTF-8 of the whole text, for test messages.
inline std::string Narrow(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Collects log lines; tags() keeps the bracketed tag ("[ERROR]") of each of the
// program's own lines, not a tool's output (indented by two blanks).
struct LogRecorder {
    std::vector<std::wstring> lines;
    LogCallback callback() { return [this](const std::wstring& line) { lines.push_back(line); }; }
    std::vector<std::wstring> tags() const {
        std::vector<std::wstring> result;
        for (const auto& line : lines) {
            if (line.rfind(L"  ", 0) != 0) result.push_back(line.substr(0, line.find(L']') + 1));
        }
        return result;
    }
    std::wstring last() const { return lines.empty() ? L"" : lines.back(); }
};

}  // namespace morvane::testing
