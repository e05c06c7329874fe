// A stand-in for an external deployment tool, named by its file: it logs its command line
// to MORVANE_FAKE_LOG and prints it, exits with the code of the first MORVANE_FAKE_EXIT
// rule ("needle=code|...") whose needle is in the command line (else 0) and, on success,
// leaves what the real tool would where the program looks next (in a kit only if one
// exists). A MORVANE_FAKE_SLEEP rule ("needle=ms") makes it print "pid N" and hang first.
// dism lists MORVANE_FAKE_MOUNTED ("a|b") as mounted; MORVANE_FAKE_HIVE adds a hive.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/win32.h"
#include "winpe/adk.h"
#include "winpe/winpe_host.h"

#include <shellapi.h>

namespace fs = std::filesystem;

namespace {

std::wstring Env(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    value.resize(::GetEnvironmentVariableW(name, value.data(), 32768));
    return value;
}

std::vector<std::wstring> Split(const std::wstring& list) {  // "a|b|c"
    std::vector<std::wstring> parts;
    std::wistringstream in(list);
    for (std::wstring part; std::getline(in, part, L'|');) parts.push_back(part);
    return parts;
}

int Scripted(const wchar_t* variable, const std::wstring& line) {
    for (const std::wstring& rule : Split(Env(variable))) {
        const std::size_t eq = rule.rfind(L'=');
        if (eq != std::wstring::npos && line.find(rule.substr(0, eq)) != std::wstring::npos) return std::stoi(rule.substr(eq + 1));
    }
    return 0;
}

void Touch(const fs::path& path, const std::string& content = "fake\r\n") {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream(path, std::ios::binary) << content;
}

// The argument after `flag`, or the rest of the argument starting with a flag ending in ':' or '='.
std::wstring Arg(const std::vector<std::wstring>& args, const std::wstring& flag) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if ((flag.back() == L':' || flag.back() == L'=') && args[i].rfind(flag, 0) == 0) return args[i].substr(flag.size());
        if (args[i] == flag && i + 1 < args.size()) return args[i + 1];
    }
    return {};
}

// What the tool leaves behind; returns its exit code.
int Effects(const std::wstring& tool, const std::wstring& line, const std::vector<std::wstring>& args) {
    const fs::path root = morvane::FindAdkRoot();
    const auto has = [&line](const wchar_t* word) { return line.find(word) != std::wstring::npos; };
    const fs::path tools = root / L"Deployment Tools\\DandISetEnv.bat", pe = root / L"Windows Preinstallation Environment\\copype.cmd";
    if (tool == L"curl") {
        // The downloaded "setup program" is this fake again, so running it is logged too.
        std::error_code ec;
        fs::copy_file(fs::path(Env(L"MORVANE_FAKE_SELF")), Arg(args, L"-o"), fs::copy_options::overwrite_existing, ec);
    } else if ((tool.rfind(L"adk", 0) == 0 || tool == L"winget") && morvane::DirectoryExists(root)) {
        if (has(L"OptionId.DeploymentTools") || has(L"WindowsADK ")) Touch(tools);
        if (has(L"OptionId.WindowsPreinstallationEnvironment") || has(L"WinPEAddon")) Touch(pe);
    } else if (tool == L"msiexec") {
        const fs::path kit = fs::path(Arg(args, L"TARGETDIR=")) / L"Windows Kits\\10\\Assessment and Deployment Kit";
        if (has(L"wims")) Touch(kit / L"Windows Preinstallation Environment\\x86\\en-us\\winpe.wim", "fake wim x86");
        else Touch(kit / L"Windows Preinstallation Environment\\x86\\Media\\bootmgr"), Touch(kit / L"Deployment Tools\\x86\\BCDBoot\\bootsect.exe");
    } else if (tool == L"dism" && has(L"/Mount-Image")) {
        // The image's tree appears under the mount folder and stays there after the commit.
        const fs::path system32 = fs::path(Arg(args, L"/MountDir:")) / L"Windows\\System32";
        Touch(system32 / L"startnet.cmd", "wpeinit\r\n");
        if (!Env(L"MORVANE_FAKE_HIVE").empty()) Touch(system32 / L"config\\SOFTWARE");
    } else if (tool == L"dism" && has(L"/Get-MountedImageInfo")) {
        for (const auto& folder : Split(Env(L"MORVANE_FAKE_MOUNTED"))) std::printf("Mount Dir : %s\n", morvane::WideToUtf8(folder).c_str());
    } else if ((tool == L"oscdimg" || (tool == L"makewinpemedia" && has(L"/ISO"))) && !args.empty()) {
        // Like the real one, the media maker asks before replacing an image unless given /F.
        std::string answer;
        if (tool != L"oscdimg" && !has(L" /F ") && fs::exists(args.back()) && !(std::getline(std::cin, answer) && answer == "Y")) return 1;
        Touch(args.back(), "fake iso\r\n");
    }
    return 0;
}

}  // namespace

int wmain() {
    std::wstring line = ::GetCommandLineW();
    while (!line.empty() && line.back() == L' ') line.pop_back();
    const std::string text = morvane::WideToUtf8(line) + "\n";
    // Shared append, so a log the previous fake has not quite let go of still opens.
    const HANDLE log = ::CreateFileW(Env(L"MORVANE_FAKE_LOG").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (DWORD written = 0; log != INVALID_HANDLE_VALUE) ::WriteFile(log, text.data(), DWORD(text.size()), &written, nullptr), ::CloseHandle(log);
    std::printf("%s", text.c_str());

    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    ::LocalFree(argv);
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ::SetEnvironmentVariableW(L"MORVANE_FAKE_SELF", self);

    if (const int sleep = Scripted(L"MORVANE_FAKE_SLEEP", line); sleep > 0) {
        std::printf("pid %lu\n", ::GetCurrentProcessId());
        std::fflush(stdout);
        ::Sleep(static_cast<DWORD>(sleep));
    }
    const int code = Scripted(L"MORVANE_FAKE_EXIT", line);
    const std::wstring tool = fs::path(self).stem().wstring(), out = Arg(args, L"-o");
    if (code != 0 && tool == L"curl" && !out.empty()) Touch(out, "<html><body>404 Not Found</body></html>\r\n");  // an error page
    const int result = code == 0 ? Effects(tool, line, args) : code;
    std::fflush(stdout);
    return result;
}
