// Finding the deployment kit, judging its completeness by marker files, and
// installing it through the vendor's setup programs or winget.
#include "winpe/adk.h"

#include "common/win32.h"
#include "winpe/command_runner.h"
#include "winpe/winpe_commands.h"

namespace morvane {

namespace {

constexpr const wchar_t* kDeploymentToolsMarker = L"\\Deployment Tools\\DandISetEnv.bat";
constexpr const wchar_t* kWinPEMarker = L"\\Windows Preinstallation Environment\\copype.cmd";
constexpr const wchar_t* kX86WinPEMarker = L"\\Windows Preinstallation Environment\\x86\\en-us\\winpe.wim";
constexpr const wchar_t* kKitBelowExtraction = L"\\Windows Kits\\10\\Assessment and Deployment Kit";

struct Installer {
    int linkId;
    const wchar_t* fileName;
};
// Mode 2 keeps every installer under a name that says which kit it belongs to.
constexpr Installer kAllInstallers[] = {
    {2120254, L"adksetup_win10_x86_x64.exe"},
    {2120253, L"adkwinpesetup_win10_x86_x64.exe"},
    {2271337, L"adksetup_win11.exe"},
    {2271338, L"adkwinpesetup_win11.exe"},
};

// Runs one installation step; results are ignored, the markers decide afterwards.
void Run(const std::wstring& command, const LogCallback& log, const WinPEHost& host) {
    (void)RunCommand(command, log, host.commandTimeLimit);
}

// Downloads one file. A failed download leaves nothing behind that could later be
// taken for the installer (curl may have written part of it or an error page).
bool Download(int linkId, const std::wstring& folder, const wchar_t* fileName, const LogCallback& log,
              const WinPEHost& host) {
    const std::wstring path = folder + L"\\" + fileName;
    if (RunCommand(DownloadCommand(linkId, folder, fileName), log, host.commandTimeLimit) == 0) return true;
    ::DeleteFileW(path.c_str());
    EmitLog(log, L"[ERROR] インストーラーのダウンロードに失敗しました: " + path);
    return false;
}

// Downloads a setup program that is about to run with administrator rights; true
// only when it arrived and carries a valid Authenticode signature.
bool FetchInstaller(int linkId, const std::wstring& folder, const wchar_t* fileName, const LogCallback& log,
                    const WinPEHost& host) {
    if (!Download(linkId, folder, fileName, log, host)) return false;
    const std::wstring path = folder + L"\\" + fileName;
    if (host.verifySignature && host.verifySignature(path)) return true;
    ::DeleteFileW(path.c_str());
    EmitLog(log, L"[ERROR] インストーラーのデジタル署名 (Authenticode) を確認できないため実行しません: " + path);
    return false;
}

int DownloadOnly(const std::wstring& folder, const LogCallback& log, const WinPEHost& host) {
    EmitLog(log, L"[ADK DOWNLOADER] Windows 10 ADK (x86/x64対応) & Windows 11 ADK "
                 L"公式インストーラーを保存しています: " + folder);
    bool all = true;
    for (const Installer& d : kAllInstallers) all = Download(d.linkId, folder, d.fileName, log, host) && all;
    if (!all) return 1;  // each failed file has its own "[ERROR] " line
    EmitLog(log, L"[ADK DOWNLOADER] 公式インストーラー一式のダウンロードが完了しました！");
    if (host.openFolder) host.openFolder(folder);
    return 0;
}

// The 32-bit WinPE files, unpacked from the add-on's packages beside the installed kit.
void ExtractX86WinPE(const std::wstring& folder, const LogCallback& log, const WinPEHost& host) {
    EmitLog(log, L"[WIN10 x86 PE] 既存ADK環境へ Windows 10 x86 (32-bit) WinPE "
                 L"コンポーネントをサイドバイサイド展開しています...");
    Run(WinPELayoutCommand(folder), log, host);
    const std::wstring installers = folder + L"\\layout_win10pe\\Installers\\";
    Run(MsiExtractCommand(installers + L"Windows PE x86 x64-x86_en-us.msi", folder), log, host);
    Run(MsiExtractCommand(installers + L"Windows PE x86 x64 wims-x86_en-us.msi", folder), log, host);
    const std::wstring extracted = folder + L"\\extracted_win10pe" + kKitBelowExtraction;
    Run(XcopyTreeCommand(extracted + L"\\Windows Preinstallation Environment\\x86",
                         FindAdkRoot() + L"\\Windows Preinstallation Environment\\x86"),
        log, host);
    const std::wstring tools = extracted + L"\\Deployment Tools\\x86";
    if (PathExists(tools)) Run(XcopyTreeCommand(tools, FindAdkRoot() + L"\\Deployment Tools\\x86"), log, host);
}

// True when the Windows 10 kit ended complete. A setup program runs only when its
// download succeeded and is signed.
bool InstallWin10Kit(const std::wstring& folder, const LogCallback& log, const WinPEHost& host) {
    EmitLog(log, L"[ADK INSTALLER] Windows 10 ADK + WinPE Add-on (x86 32bit & x64 64bit / "
                 L"CSM & UEFI両対応) を導入しています...");
    if (GetAdkStatus() == AdkMissing && FetchInstaller(2120254, folder, L"adksetup_win10.exe", log, host)) {
        Run(AdkSetupCommand(folder), log, host);
    }
    // Runs even when the add-on is present: it also repairs a damaged add-on.
    const bool addOn = FetchInstaller(2120253, folder, L"adkwinpesetup_win10.exe", log, host);
    if (addOn) Run(WinPESetupCommand(folder), log, host);
    // The x86 files come from the add-on's own layout, so they need its setup program.
    if (addOn && !HasX86WinPE()) ExtractX86WinPE(folder, log, host);
    if (GetAdkStatus() != AdkReady) return false;
    EmitLog(log, L"[ADK INSTALLER] Windows 10 PE (x86 32bit / x64) 環境の準備が完了しました！");
    return true;
}

int InstallWin11Kit(const LogCallback& log, const WinPEHost& host) {
    EmitLog(log, L"[ADK INSTALLER] Windows 11 ADK + WinPE Add-on の自動導入を開始します...");
    Run(WingetAdkCommand(), log, host);
    Run(WingetWinPECommand(), log, host);
    if (GetAdkStatus() != AdkReady) return 1;
    EmitLog(log, L"[ADK INSTALLER] Windows ADK および WinPE Add-on の導入が確認されました！");
    return 0;
}

}  // namespace

std::vector<std::wstring> AdkRootCandidates(const std::wstring& kitsRoot10) {
    std::vector<std::wstring> candidates;
    if (!kitsRoot10.empty()) candidates.push_back(kitsRoot10 + L"\\Assessment and Deployment Kit");
    for (const wchar_t* fixed : kAdkRootCandidates) {
        bool seen = false;
        for (const std::wstring& c : candidates) seen = seen || SamePathText(c, fixed);
        if (!seen) candidates.emplace_back(fixed);
    }
    return candidates;
}

std::wstring FindAdkRoot() {
    for (const std::wstring& candidate : AdkRootCandidates(InstalledKitsRoot())) {
        if (DirectoryExists(candidate)) return candidate;
    }
    return kAdkRootCandidates[0];
}

int GetAdkStatus() {
    const std::wstring root = FindAdkRoot();
    if (!PathExists(root + kDeploymentToolsMarker)) return AdkMissing;
    if (!PathExists(root + kWinPEMarker)) return AdkWinPEMissing;
    return AdkReady;
}

bool HasX86WinPE() {
    return PathExists(FindAdkRoot() + kX86WinPEMarker);
}

int InstallAdk(int choice, const std::wstring& downloadDir, LogCallback log) {
    return InstallAdk(choice, downloadDir, std::move(log), SystemWinPEHost());
}

int InstallAdk(int choice, const std::wstring& downloadDir, LogCallback log, const WinPEHost& host) {
    const std::wstring folder =
        downloadDir.empty() ? TempFolder() + L"Morvane_ADK_Downloads" : downloadDir;
    int result = 1;
    const BuildLock lock(host.buildLockName);
    if (!lock.held()) {
        EmitLog(log, BuildLockBusyLine());
    } else if (HasPercent(folder)) {
        // cmd.exe would expand it inside the quoted paths of every download and setup.
        EmitLog(log, L"[ERROR] パスに使用できない文字「%」が含まれています: " + folder);
    } else {
        CreateFolder(folder);
        if (choice == DownloadInstallersOnly) {
            result = DownloadOnly(folder, log, host);
        } else if (choice == Win10KitWithX86 && InstallWin10Kit(folder, log, host)) {
            result = 0;
        } else {
            // Mode 1, any unknown mode, and the fallback of an incomplete mode 0.
            result = InstallWin11Kit(log, host);
        }
    }
    log = nullptr;  // the callback copy is released before returning
    return result;
}

}  // namespace morvane
