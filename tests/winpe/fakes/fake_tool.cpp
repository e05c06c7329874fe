// A stand-in for one external deployment tool (dism, oscdimg, bootsect, curl,
// winget, msiexec, reg and the kit's downloaded setup programs). It appends its
// exact command line to the file named by MORVANE_FAKE_LOG, prints it, exits with
// the code scripted in MORVANE_FAKE_EXIT ("needle=code|needle=code": the first rule
// whose needle occurs in the command line wins, default 0) and, on success, creates
// what the real tool would leave where the program looks next. MORVANE_FAKE_SLEEP
// ("needle=milliseconds", same matching) makes it hang first, after writing its
// process id to MORVANE_FAKE_PID_FILE; dism lists the folders of MORVANE_FAKE_MOUNTED
// ("folder|folder") as mounted images; a failing curl leaves an error page behind.
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/win32.h"

#include <shellapi.h>

namespace fs = std::filesystem;

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[4096];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 4096);
    return (n > 0 && n < 4096) ? std::wstring(buffer, n) : std::wstring();
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                          nullptr, nullptr);
    return out;
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// The value of the first "needle=value" rule in `variable` whose needle occurs in the
// command line; 0 when none does.
int ScriptedValue(const wchar_t* variable, const std::wstring& commandLine) {
    const std::wstring rules = Env(variable);
    std::size_t start = 0;
    while (start < rules.size()) {
        std::size_t end = rules.find(L'|', start);
        if (end == std::wstring::npos) end = rules.size();
        const std::wstring rule = rules.substr(start, end - start);
        const std::size_t eq = rule.rfind(L'=');
        if (eq != std::wstring::npos && commandLine.find(rule.substr(0, eq)) != std::wstring::npos) {
            return std::stoi(rule.substr(eq + 1));
        }
        start = end + 1;
    }
    return 0;
}

void Touch(const fs::path& path, const std::string& content = "fake\r\n") {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream(path, std::ios::binary) << content;
}

bool Has(const std::vector<std::wstring>& args, const std::wstring& word) {
    for (const auto& a : args) {
        if (a == word) return true;
    }
    return false;
}

// The argument after `flag`, or empty.
std::wstring After(const std::vector<std::wstring>& args, const std::wstring& flag) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == flag) return args[i + 1];
    }
    return {};
}

// The text after `prefix` in the first argument that starts with it.
std::wstring Suffix(const std::vector<std::wstring>& args, const std::wstring& prefix) {
    for (const auto& a : args) {
        if (a.rfind(prefix, 0) == 0) return a.substr(prefix.size());
    }
    return {};
}

// Splits "a|b|c".
std::vector<std::wstring> Split(const std::wstring& list) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(L'|', start);
        if (end == std::wstring::npos) end = list.size();
        if (end > start) parts.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool Enabled(const std::wstring& effect) {
    return (L"," + Env(L"MORVANE_FAKE_INSTALL") + L",").find(L"," + effect + L",") !=
           std::wstring::npos;
}

void Effects(const std::wstring& tool, const std::vector<std::wstring>& args) {
    const fs::path adk = Env(L"MORVANE_FAKE_ADK_ROOT");
    const fs::path dandi = adk / L"Deployment Tools" / L"DandISetEnv.bat";
    const fs::path copype = adk / L"Windows Preinstallation Environment" / L"copype.cmd";
    const fs::path kitSub = fs::path(L"Windows Kits") / L"10" / L"Assessment and Deployment Kit";
    std::error_code ec;
    if (tool == L"curl") {
        const std::wstring out = After(args, L"-o");
        // The downloaded "setup program" is this fake again, so running it is logged too.
        if (!out.empty()) {
            wchar_t self[MAX_PATH];
            ::GetModuleFileNameW(nullptr, self, MAX_PATH);
            fs::copy_file(self, out, fs::copy_options::overwrite_existing, ec);
        }
    } else if (tool.rfind(L"adk", 0) == 0) {
        const std::wstring layout = After(args, L"/layout");
        if (!layout.empty()) {
            Touch(fs::path(layout) / L"Installers" / L"Windows PE x86 x64-x86_en-us.msi");
            Touch(fs::path(layout) / L"Installers" / L"Windows PE x86 x64 wims-x86_en-us.msi");
        }
        if (Enabled(L"setup") && Has(args, L"OptionId.DeploymentTools")) Touch(dandi);
        if (Enabled(L"setup") && Has(args, L"OptionId.WindowsPreinstallationEnvironment")) {
            Touch(copype);
        }
    } else if (tool == L"msiexec") {
        const fs::path target = Suffix(args, L"TARGETDIR=");
        const std::wstring package = After(args, L"/a");
        if (!Enabled(L"msi") || target.empty()) return;
        const fs::path pe = target / kitSub / L"Windows Preinstallation Environment" / L"x86";
        if (package.find(L"wims") != std::wstring::npos) {
            Touch(pe / L"en-us" / L"winpe.wim");
        } else {
            Touch(pe / L"Media" / L"bootmgr");
            if (Enabled(L"dtx86")) {
                Touch(target / kitSub / L"Deployment Tools" / L"x86" / L"BCDBoot" / L"bootsect.exe");
            }
        }
    } else if (tool == L"winget" && Enabled(L"winget")) {
        const std::wstring id = After(args, L"--id");
        if (id == L"Microsoft.WindowsADK") Touch(dandi);
        if (id == L"Microsoft.WindowsADK.WinPEAddon") Touch(copype);
    } else if (tool == L"dism") {
        // A mount makes the image's tree appear under the mount folder; the commit
        // leaves it there so the test can inspect what was injected.
        const std::wstring mount = Suffix(args, L"/MountDir:");
        if (Has(args, L"/Mount-Image") && !mount.empty()) {
            fs::create_directories(fs::path(mount) / L"Windows" / L"System32", ec);
            Touch(fs::path(mount) / L"Windows" / L"System32" / L"startnet.cmd", "wpeinit\r\n");
            if (Enabled(L"hive")) {
                Touch(fs::path(mount) / L"Windows" / L"System32" / L"config" / L"SOFTWARE");
            }
            // A folder where the start file belongs: writing that file fails.
            if (Enabled(L"blockini")) {
                fs::create_directories(fs::path(mount) / L"Windows" / L"System32" / L"winpeshl.ini", ec);
            }
        }
        if (Has(args, L"/Get-MountedImageInfo")) {
            std::printf("Deployment Image Servicing and Management tool\n\nMounted images:\n\n");
            for (const auto& folder : Split(Env(L"MORVANE_FAKE_MOUNTED"))) {
                std::printf("Mount Dir : %s\nImage File : %s\\boot.wim\nImage Index : 1\n"
                            "Mounted Read/Write : Yes\nStatus : Needs Remount\n\n",
                            Utf8(folder).c_str(), Utf8(folder).c_str());
            }
            std::printf("The operation completed successfully.\n");
        }
    } else if (tool == L"oscdimg" && !args.empty()) {
        Touch(args.back(), "fake iso\r\n");
    }
}

}  // namespace

int wmain() {
    std::wstring commandLine = ::GetCommandLineW();
    while (!commandLine.empty() && commandLine.back() == L' ') commandLine.pop_back();

    const std::wstring logPath = Env(L"MORVANE_FAKE_LOG");
    if (!logPath.empty()) {
        // The previous fake may still hold the log for a moment after it exits under
        // Wine; a command missing from the log would read as a command never run.
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::ofstream log(fs::path(logPath), std::ios::binary | std::ios::app);
            if (log) {
                log << Utf8(commandLine) << "\n";
                break;
            }
            ::Sleep(10);
        }
    }
    std::printf("%s\n", Utf8(commandLine).c_str());

    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    ::LocalFree(argv);

    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring tool = Lower(fs::path(self).stem().wstring());

    const int sleep = ScriptedValue(L"MORVANE_FAKE_SLEEP", commandLine);
    if (sleep > 0) {
        const std::wstring pidFile = Env(L"MORVANE_FAKE_PID_FILE");
        if (!pidFile.empty()) {
            std::ofstream(fs::path(pidFile), std::ios::binary) << ::GetCurrentProcessId();
        }
        std::fflush(stdout);
        ::Sleep(static_cast<DWORD>(sleep));
    }

    const int code = ScriptedValue(L"MORVANE_FAKE_EXIT", commandLine);
    if (code == 0) {
        Effects(tool, args);
    } else if (tool == L"curl" && !After(args, L"-o").empty()) {
        // What a server's error answer leaves in the output file.
        Touch(After(args, L"-o"), "<html><body>404 Not Found</body></html>\r\n");
    }
    std::fflush(stdout);
    return code;
}
