// WinPE test support: the fake tools first on PATH with a command log and scripted exit
// codes; the commands and log lines cut to order and key values (winpe_commands_test pins
// whole command lines); a fake kit where the program searches, inside the test's own Wine
// prefix, removed at the end and never laid over a kit it did not make.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "common/win32.h"
#include "support/temp_dir.h"
#include "winpe/adk.h"

namespace morvane::testing {

inline bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A file that starts like a PE image for `machine` (the header right after the DOS
// header), followed by `tag` to tell copies apart.
inline std::string FakeProgram(std::uint16_t machine, const std::string& tag) {
    std::string bytes(0x40, '\0');
    bytes[0] = 'M', bytes[1] = 'Z', bytes[0x3C] = 0x40;
    bytes += std::string("PE\0\0", 4) + char(machine & 0xFF) + char(machine >> 8);
    return bytes + tag;
}

inline void WriteTextFile(const std::wstring& path, const std::string& bytes) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

// winpe_fakes\<name>.exe beside the running test executable (built by tests/winpe/tests.cmake).
inline std::wstring FakeTool(const std::wstring& name) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return (std::filesystem::path(self).parent_path() / L"winpe_fakes" / (name + L".exe")).wstring();
}

// The fake tools first on PATH, logging every command line into `logPath`; Set()
// changes environment variables (inherited by every tool started) until the end.
class FakeToolEnv {
public:
    explicit FakeToolEnv(const std::wstring& logPath) : log_(logPath) {
        Set(L"PATH", std::filesystem::path(FakeTool(L"dism")).parent_path().wstring() + L";" + Get(L"PATH"));
        Set(L"MORVANE_FAKE_LOG", logPath);
        for (const wchar_t* name : {L"MORVANE_FAKE_EXIT", L"MORVANE_FAKE_SLEEP", L"MORVANE_FAKE_MOUNTED", L"MORVANE_FAKE_HIVE"}) Set(name, L"");
    }
    ~FakeToolEnv() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) ::SetEnvironmentVariableW(it->first.c_str(), it->second.c_str());
    }
    void Set(const std::wstring& name, const std::wstring& value) {
        saved_.emplace_back(name, Get(name));
        ::SetEnvironmentVariableW(name.c_str(), value.c_str());
    }
    // "needle=code|needle=code": exit codes of the fakes by command-line content.
    void ScriptExits(const std::wstring& rules) { Set(L"MORVANE_FAKE_EXIT", rules); }
    std::vector<std::string> Commands() const {
        std::vector<std::string> lines;
        std::ifstream in{std::filesystem::path(log_)};
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // The logged commands, each one that contains its key (same position) replaced by
    // that key: EXPECT_EQ(tools.Keyed(keys), keys) checks order and key values at once.
    std::vector<std::string> Keyed(const std::vector<std::string>& keys) const {
        std::vector<std::string> commands = Commands();
        for (std::size_t i = 0; i < commands.size() && i < keys.size(); ++i) {
            if (commands[i].find(keys[i]) != std::string::npos) commands[i] = keys[i];
        }
        return commands;
    }
    void ClearLog() const { ::DeleteFileW(log_.c_str()); }

private:
    static std::wstring Get(const std::wstring& name) {
        std::wstring value(32768, L'\0');
        value.resize(::GetEnvironmentVariableW(name.c_str(), value.data(), 32768));
        return value;
    }
    std::wstring log_;
    std::vector<std::pair<std::wstring, std::wstring>> saved_;  // an empty variable counts as unset
};

struct FakeKitLayout {
    bool deploymentTools = true;  // DandISetEnv.bat
    bool winpeAddon = true;       // copype.cmd, the media maker, the amd64 tree and boot images
    bool x86WinPE = true;         // the x86 tree (en-us\winpe.wim, Media\bootmgr)
    bool x86BootImages = true;    // the boot images in the x86 Oscdimg folder too
    bool noprompt = true;         // efisys_noprompt.bin (and its _EX variant)
    bool kitDism = false;         // dism.exe (fake) in Deployment Tools\amd64\DISM
    bool languagePacks = false;   // WinPE_OCs\WinPE-FontSupport-JA-JP.cab and ja-jp\lp.cab
};

class FakeKit {
public:
    // `candidate` indexes kAdkRootCandidates; the fakes install into the kit the program finds.
    FakeKit(int candidate, const FakeKitLayout& l) : root_(kAdkRootCandidates[candidate]) {
        kits_ = std::filesystem::path(root_).parent_path().parent_path();  // ...\Windows Kits
        const std::wstring marker = (kits_ / L"morvane_fake_kit.txt").wstring();
        const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
        if (std::error_code ec; wine && PathExists(marker)) std::filesystem::remove_all(kits_, ec);  // an interrupted run's
        ok_ = wine && !PathExists(kits_.wstring());
        if (!ok_) return;
        WriteTextFile(marker, "fake kit of the WinPE tests\r\n");
        std::filesystem::create_directories(root_);
        const std::wstring pe = L"Windows Preinstallation Environment\\";
        // The set-up script puts the media maker on the command path, as the real one does.
        if (l.deploymentTools) File(L"Deployment Tools\\DandISetEnv.bat", "@set \"PATH=" + Narrow(root_ + L"\\" + pe) + ";%PATH%\"\r\n");
        if (l.winpeAddon) {
            File(pe + L"copype.cmd");
            File(pe + L"MakeWinPEMedia.cmd", "@\"%~dp0makewinpemedia.exe\" %*\r\n@exit /b %ERRORLEVEL%\r\n");
            Tool(pe + L"makewinpemedia.exe", L"makewinpemedia");
            Arch("amd64", l);
            if (l.x86WinPE) Arch("x86", l);
        }
        Tool(L"Deployment Tools\\amd64\\Oscdimg\\oscdimg.exe", L"oscdimg");
        if (l.kitDism) Tool(L"Deployment Tools\\amd64\\DISM\\dism.exe", L"dism");
    }
    ~FakeKit() {
        if (std::error_code ec; ok_) std::filesystem::remove_all(kits_, ec);
    }
    bool ok() const { return ok_; }  // false: the kit could not be laid out safely
    const std::wstring& root() const { return root_; }

private:
    void File(const std::wstring& relative, const std::string& text = "fake\r\n") const { WriteTextFile(root_ + L"\\" + relative, text); }
    void Tool(const std::wstring& relative, const std::wstring& fake) const {
        File(relative);
        ::CopyFileW(FakeTool(fake).c_str(), (root_ + L"\\" + relative).c_str(), FALSE);
    }
    // One architecture's tree; file contents name the file and, for x86, the architecture.
    void Arch(const std::string& arch, const FakeKitLayout& l) const {
        const std::wstring a(arch.begin(), arch.end()), pe = L"Windows Preinstallation Environment\\" + a;
        File(pe + L"\\en-us\\winpe.wim", "fake wim " + arch);
        File(pe + L"\\Media\\bootmgr", "bootmgr " + arch);
        if (l.languagePacks) File(pe + L"\\WinPE_OCs\\WinPE-FontSupport-JA-JP.cab"), File(pe + L"\\WinPE_OCs\\ja-jp\\lp.cab");
        if (arch == "x86" && !l.x86BootImages) return;
        for (const std::string name : {"etfsboot.com", "efisys.bin", "efisys_EX.bin", "efisys_noprompt.bin", "efisys_noprompt_EX.bin"}) {
            if (!l.noprompt && name.find("noprompt") != std::string::npos) continue;
            File(L"Deployment Tools\\" + a + L"\\Oscdimg\\" + std::wstring(name.begin(), name.end()),
                 name.substr(0, name.find('.')) + (arch == "x86" ? " x86" : ""));
        }
    }

    std::wstring root_;
    std::filesystem::path kits_;
    bool ok_ = false;
};

}  // namespace morvane::testing
