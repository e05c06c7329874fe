// Test support for the WinPE contract tests: where the fake tools live, an
// environment that puts them first on PATH with a command log and scripted exit
// codes, and readers for the log.
#pragma once

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "common/win32.h"
#include "support/temp_dir.h"

namespace morvane::testing {

// winpe_fakes\ beside the running test executable (built by tests/winpe/tests.cmake).
inline std::wstring FakeToolsDir() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return (std::filesystem::path(self).parent_path() / L"winpe_fakes").wstring();
}

inline std::wstring FakeTool(const std::wstring& name) {
    return FakeToolsDir() + L"\\" + name + L".exe";
}

// Sets environment variables for the life of the object and restores them after.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            ::SetEnvironmentVariableW(it->first.c_str(),
                                      it->second.second ? it->second.first.c_str() : nullptr);
        }
    }
    void Set(const std::wstring& name, const std::wstring& value) {
        saved_.emplace_back(name, Get(name));
        ::SetEnvironmentVariableW(name.c_str(), value.c_str());
    }
    // Current value and whether the variable exists.
    static std::pair<std::wstring, bool> Get(const std::wstring& name) {
        std::wstring buffer(32768, L'\0');
        const DWORD n = ::GetEnvironmentVariableW(name.c_str(), buffer.data(),
                                                  static_cast<DWORD>(buffer.size()));
        if (n == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return {L"", false};
        buffer.resize(n);
        return {buffer, true};
    }

private:
    std::vector<std::pair<std::wstring, std::pair<std::wstring, bool>>> saved_;
};

// The fake tools first on PATH, logging into `logPath`.
class FakeToolEnv {
public:
    explicit FakeToolEnv(const std::wstring& logPath) : log_(logPath) {
        env_.Set(L"PATH", FakeToolsDir() + L";" + ScopedEnv::Get(L"PATH").first);
        env_.Set(L"MORVANE_FAKE_LOG", logPath);
        env_.Set(L"MORVANE_FAKE_EXIT", L"");
        env_.Set(L"MORVANE_FAKE_INSTALL", L"");
        env_.Set(L"MORVANE_FAKE_SLEEP", L"");
        env_.Set(L"MORVANE_FAKE_PID_FILE", logPath + L".pid");
        env_.Set(L"MORVANE_FAKE_MOUNTED", L"");
    }
    // "needle=code|needle=code": exit codes of the fakes by command-line content.
    void ScriptExits(const std::wstring& rules) { env_.Set(L"MORVANE_FAKE_EXIT", rules); }
    // Comma-separated effects: setup, msi, dtx86, winget, hive, blockini.
    void Effects(const std::wstring& list) { env_.Set(L"MORVANE_FAKE_INSTALL", list); }
    // "needle=milliseconds": the matching fake hangs that long before it acts.
    void Hang(const std::wstring& rules) { env_.Set(L"MORVANE_FAKE_SLEEP", rules); }
    // The process id of the last fake that hung.
    DWORD HungPid() const {
        std::ifstream in{std::filesystem::path(log_ + L".pid")};
        DWORD pid = 0;
        in >> pid;
        return pid;
    }
    // "folder|folder": what fake dism lists as mounted images.
    void Mounted(const std::wstring& folders) { env_.Set(L"MORVANE_FAKE_MOUNTED", folders); }
    void AdkRoot(const std::wstring& root) { env_.Set(L"MORVANE_FAKE_ADK_ROOT", root); }
    void Set(const std::wstring& name, const std::wstring& value) { env_.Set(name, value); }

    // Every logged command line, in order (UTF-8).
    std::vector<std::string> Commands() const {
        std::vector<std::string> lines;
        std::ifstream in{std::filesystem::path(log_)};
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    void ClearLog() const { ::DeleteFileW(log_.c_str()); }

private:
    std::wstring log_;
    ScopedEnv env_;
};

// Collects log lines; own() drops the indented tool output.
struct LogRecorder {
    std::vector<std::wstring> lines;
    std::function<void(const std::wstring&)> callback() {
        return [this](const std::wstring& line) { lines.push_back(line); };
    }
    std::vector<std::wstring> own() const {
        std::vector<std::wstring> result;
        for (const auto& line : lines) {
            if (line.rfind(L"  ", 0) != 0) result.push_back(line);
        }
        return result;
    }
};

inline bool PathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadText(const std::wstring& path) {
    const auto bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// The names in a folder, sorted.
inline std::vector<std::wstring> FolderNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        names.push_back(e.path().filename().wstring());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline void WriteTextFile(const std::wstring& path, const std::string& bytes) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

}  // namespace morvane::testing
