// A fake deployment kit for the WinPE contract tests, laid out at one of the two
// fixed kit locations on the C: drive of the test's own Wine prefix, with the fake
// tools copied where the program runs them by path. Everything it creates is
// removed again; it refuses to run outside Wine or over an existing kit.
#pragma once

#include <filesystem>
#include <algorithm>
#include <string>
#include <vector>

#include "common/win32.h"
#include "support/winpe_fakes.h"
#include "winpe/adk.h"

namespace morvane::testing {

inline bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

struct FakeKitLayout {
    bool deploymentTools = true;  // DandISetEnv.bat
    bool winpeAddon = true;       // copype.cmd
    bool x86WinPE = true;         // the x86 tree with en-us\winpe.wim
    bool amd64Bootmgr = true;     // amd64\Media\bootmgr
    bool x86Bootmgr = true;       // x86\Media\bootmgr
    bool oscdimg = true;          // oscdimg.exe (fake) in the amd64 Oscdimg folder
    bool x86BootImages = true;    // the boot images in the x86 Oscdimg folder too
    bool kitDism = false;         // dism.exe (fake) in Deployment Tools\amd64\DISM
    bool etfsboot = true;
    bool noprompt = true;         // efisys_noprompt.bin (and its _EX variant)
    bool bootsect = true;         // bootsect.exe (fake)
    bool fontPackage = true;      // WinPE_OCs\WinPE-FontSupport-JA-JP.cab
    bool languagePack = true;     // WinPE_OCs\ja-jp\lp.cab
};

class FakeKit {
public:
    // `candidate` selects the kit location (0: "Program Files (x86)", 1: "Program Files").
    FakeKit(int candidate, const FakeKitLayout& layout) : root_(kAdkRootCandidates[candidate]) {
        kits_ = std::filesystem::path(root_).parent_path().parent_path();  // ...\Windows Kits
        // A fake kit left by an interrupted run carries the marker and is replaced;
        // anything else at that place is never touched.
        const std::wstring marker = (kits_ / L"morvane_fake_kit.txt").wstring();
        if (RunningUnderWine() && PathExists(marker)) {
            std::error_code ec;
            std::filesystem::remove_all(kits_, ec);
        }
        ok_ = RunningUnderWine() && !PathExists(kits_.wstring());
        if (!ok_) return;
        WriteTextFile(marker, "fake deployment kit of the WinPE tests\r\n");
        Build(layout);
    }
    FakeKit(const FakeKit&) = delete;
    FakeKit& operator=(const FakeKit&) = delete;
    ~FakeKit() {
        if (!ok_) return;
        std::error_code ec;
        std::filesystem::remove_all(kits_, ec);
    }

    // False when the kit could not be laid out safely; the test must stop.
    bool ok() const { return ok_; }
    const std::wstring& root() const { return root_; }
    std::wstring pe(const std::wstring& arch) const {
        return root_ + L"\\Windows Preinstallation Environment\\" + arch;
    }
    std::wstring oscdimgFolder() const { return root_ + L"\\Deployment Tools\\amd64\\Oscdimg"; }
    std::wstring dism() const { return root_ + L"\\Deployment Tools\\amd64\\DISM\\dism.exe"; }

private:
    void File(const std::wstring& relative, const std::string& content = "fake\r\n") const {
        WriteTextFile(root_ + L"\\" + relative, content);
    }
    void Tool(const std::wstring& relative, const std::wstring& fake) const {
        const std::wstring to = root_ + L"\\" + relative;
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(to).parent_path(), ec);
        ::CopyFileW(FakeTool(fake).c_str(), to.c_str(), FALSE);
    }
    void Arch(const std::wstring& arch, bool bootmgr, const FakeKitLayout& l) const {
        const std::wstring pe = L"Windows Preinstallation Environment\\" + arch;
        File(pe + L"\\en-us\\winpe.wim", "fake wim " + std::string(arch.begin(), arch.end()));
        File(pe + L"\\Media\\EFI\\Boot\\boot.efi");
        File(pe + L"\\Media\\Boot\\BCD");
        std::filesystem::create_directories(root_ + L"\\" + pe + L"\\Media\\EFI\\empty");
        if (bootmgr) File(pe + L"\\Media\\bootmgr", "bootmgr " + std::string(arch.begin(), arch.end()));
        if (l.fontPackage) File(pe + L"\\WinPE_OCs\\WinPE-FontSupport-JA-JP.cab");
        if (l.languagePack) File(pe + L"\\WinPE_OCs\\ja-jp\\lp.cab");
    }
    // The boot sector and UEFI images of one Oscdimg folder; their text names the file
    // and, after it, the architecture (" x86"; nothing for amd64).
    void BootImages(const std::wstring& folder, const std::string& arch, const FakeKitLayout& l) const {
        if (l.etfsboot) File(folder + L"etfsboot.com", "etfsboot" + arch);
        File(folder + L"efisys.bin", "efisys" + arch);
        File(folder + L"efisys_EX.bin", "efisys_EX" + arch);
        if (l.noprompt) {
            File(folder + L"efisys_noprompt.bin", "efisys_noprompt" + arch);
            File(folder + L"efisys_noprompt_EX.bin", "efisys_noprompt_EX" + arch);
        }
    }
    void Build(const FakeKitLayout& l) const {
        std::filesystem::create_directories(root_);
        const std::string peFolder =
            std::filesystem::path(root_ + L"\\Windows Preinstallation Environment").string();
        if (l.deploymentTools) {
            // The set-up script puts the media maker on the command path, as the real one does.
            File(L"Deployment Tools\\DandISetEnv.bat", "@set \"PATH=" + peFolder + ";%PATH%\"\r\n");
        }
        if (l.winpeAddon) {
            File(L"Windows Preinstallation Environment\\copype.cmd");
            // Like the real script, it asks before replacing an existing image unless
            // /F is given; an answer that is not Y (end of input) ends it with an error.
            File(L"Windows Preinstallation Environment\\MakeWinPEMedia.cmd",
                 "@echo off\r\n"
                 ">>\"%MORVANE_FAKE_LOG%\" echo MakeWinPEMedia.cmd %*\r\n"
                 "if not \"%MORVANE_FAKE_MWPM_EXIT%\"==\"\" if not \"%MORVANE_FAKE_MWPM_EXIT%\"==\"0\" "
                 "exit /b %MORVANE_FAKE_MWPM_EXIT%\r\n"
                 "set DEST=%3\r\n"
                 "if /i \"%~2\"==\"/F\" set DEST=%4\r\n"
                 "if /i not \"%1\"==\"/ISO\" exit /b 0\r\n"
                 "if /i \"%~2\"==\"/F\" goto make\r\n"
                 "if not exist %DEST% goto make\r\n"
                 "set ANSWER=\r\n"
                 "set /p ANSWER=The image exists. Overwrite it? (Y/N) \r\n"
                 "if /i not \"%ANSWER%\"==\"Y\" exit /b 1\r\n"
                 ":make\r\n"
                 "echo fake iso>%DEST%\r\n"
                 "exit /b 0\r\n");
            Arch(L"amd64", l.amd64Bootmgr, l);
            if (l.x86WinPE) Arch(L"x86", l.x86Bootmgr, l);
        }
        const std::wstring osc = L"Deployment Tools\\amd64\\Oscdimg\\";
        if (l.oscdimg) Tool(osc + L"oscdimg.exe", L"oscdimg");
        BootImages(osc, "", l);
        if (l.x86BootImages) BootImages(L"Deployment Tools\\x86\\Oscdimg\\", " x86", l);
        if (l.kitDism) Tool(L"Deployment Tools\\amd64\\DISM\\dism.exe", L"dism");
        if (l.bootsect) Tool(L"Deployment Tools\\amd64\\BCDBoot\\bootsect.exe", L"bootsect");
    }

    std::wstring root_;
    std::filesystem::path kits_;
    bool ok_ = false;
};

// Font files in the host's fixed font folder for the life of the object.
class HostFonts {
public:
    explicit HostFonts(const std::vector<std::wstring>& names) {
        for (const auto& name : names) {
            const std::wstring path = L"C:\\Windows\\Fonts\\" + name;
            if (PathExists(path)) continue;  // never touch a font that was already there
            WriteTextFile(path, "font " + Narrow(name));
            created_.push_back(path);
        }
    }
    ~HostFonts() {
        for (const auto& path : created_) ::DeleteFileW(path.c_str());
    }
    bool Created(const std::wstring& name) const {
        return std::find(created_.begin(), created_.end(), L"C:\\Windows\\Fonts\\" + name) != created_.end();
    }

private:
    std::vector<std::wstring> created_;
};

}  // namespace morvane::testing
