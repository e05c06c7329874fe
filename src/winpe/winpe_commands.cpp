// The command-line templates of the WinPE builder, filled in with paths. Every
// character outside the inserted values is fixed: the tools parse these exactly.
#include "winpe/winpe_commands.h"

namespace morvane {

namespace {

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

constexpr const wchar_t* kHiveKey = L"HKLM\\ZOLT_PESOFT";

}  // namespace

std::wstring ForwardLink(int linkId) {
    return kForwardLinkBase + std::to_wstring(linkId);
}

std::wstring ArchitectureFolder(int x86) {
    return x86 == 1 ? L"x86" : L"amd64";
}

std::wstring UsbDriveName(const std::wstring& usbDrive) {
    return usbDrive.substr(0, 2);
}

WinPEPaths DeriveWinPEPaths(const std::wstring& adkRoot, int x86, const std::wstring& workDir,
                            const std::wstring& tempPath) {
    const std::wstring arch = ArchitectureFolder(x86);
    WinPEPaths p;
    p.adkRoot = adkRoot;
    p.setupScript = adkRoot + L"\\Deployment Tools\\DandISetEnv.bat";
    // The ISO tool always comes from the amd64 host folder.
    p.oscdimg = adkRoot + L"\\Deployment Tools\\amd64\\Oscdimg\\oscdimg.exe";
    p.workFolder = workDir.empty() ? tempPath + L"Morvane_WinPE_" + arch : workDir;
    p.peRoot = adkRoot + L"\\Windows Preinstallation Environment\\" + arch;
    p.adkMedia = p.peRoot + L"\\Media";
    p.adkBootImage = p.peRoot + L"\\en-us\\winpe.wim";
    p.mediaFolder = p.workFolder + L"\\media";
    p.bootImage = p.workFolder + L"\\media\\sources\\boot.wim";
    p.mountFolder = p.workFolder + L"\\mount";
    p.applicationFolder = p.mountFolder + L"\\Program Files\\Morvane Disk Eraser";
    p.etfsboot = p.workFolder + L"\\fwfiles\\etfsboot.com";
    return p;
}

std::wstring KitDismPath(const std::wstring& adkRoot) {
    return adkRoot + L"\\Deployment Tools\\amd64\\DISM\\dism.exe";
}

std::wstring DismProgram(const std::wstring& dismPath) {
    return dismPath.empty() ? L"dism.exe" : Quoted(dismPath);
}

std::wstring MountedImagesCommand(const std::wstring& dism) {
    return dism + L" /English /Get-MountedImageInfo";
}

std::wstring CleanupMountpointsCommand(const std::wstring& dism) {
    return dism + L" /Cleanup-Mountpoints";
}

std::wstring RemoveWorkFolderCommand(const std::wstring& workFolder) {
    return L"rmdir /s /q " + Quoted(workFolder) + L" 2>nul";
}

std::wstring StageMediaCommand(const std::wstring& adkMedia, const std::wstring& workFolder) {
    // The trailing "\" tells xcopy the destination is a folder, so it never asks.
    return L"xcopy /herky " + Quoted(adkMedia) + L" " + Quoted(workFolder + L"\\media\\");
}

std::wstring MountImageCommand(const std::wstring& dism, const std::wstring& bootImage,
                              const std::wstring& mountFolder) {
    return dism + L" /Mount-Image /ImageFile:" + Quoted(bootImage) + L" /Index:1 /MountDir:" +
           Quoted(mountFolder);
}

std::wstring UnmountCommitCommand(const std::wstring& dism, const std::wstring& mountFolder) {
    return dism + L" /Unmount-Image /MountDir:" + Quoted(mountFolder) + L" /Commit";
}

std::wstring UnmountDiscardCommand(const std::wstring& dism, const std::wstring& mountFolder) {
    return dism + L" /Unmount-Image /MountDir:" + Quoted(mountFolder) + L" /Discard";
}

std::wstring MakeUsbMediaCommand(const std::wstring& setupScript, const std::wstring& workFolder,
                                 const std::wstring& drive) {
    return L"call " + Quoted(setupScript) + L" && MakeWinPEMedia.cmd /UFD /F " + Quoted(workFolder) +
           L" " + drive;
}

std::wstring OscdimgCommand(const std::wstring& oscdimg, const std::wstring& etfsboot,
                            const std::wstring& efiImage, const std::wstring& workFolder,
                            const std::wstring& isoPath) {
    return Quoted(oscdimg) + L" -m -o -u2 -udfver102 -bootdata:2#p0,e,b" + Quoted(etfsboot) +
           L"#pEF,e,b" + Quoted(efiImage) + L" " + Quoted(workFolder + L"\\media") + L" " +
           Quoted(isoPath);
}

std::wstring OscdimgUefiOnlyCommand(const std::wstring& oscdimg, const std::wstring& efiImage,
                                    const std::wstring& workFolder, const std::wstring& isoPath) {
    return Quoted(oscdimg) + L" -m -o -u2 -udfver102 -bootdata:1#pEF,e,b" + Quoted(efiImage) + L" " +
           Quoted(workFolder + L"\\media") + L" " + Quoted(isoPath);
}

std::wstring MakeIsoMediaCommand(const std::wstring& setupScript, const std::wstring& workFolder,
                                 const std::wstring& isoPath) {
    // /F: the script would otherwise ask before replacing an existing image.
    return L"call " + Quoted(setupScript) + L" && MakeWinPEMedia.cmd /ISO /F " + Quoted(workFolder) +
           L" " + Quoted(isoPath);
}

std::wstring DownloadCommand(int linkId, const std::wstring& downloadFolder,
                             const std::wstring& fileName) {
    // --fail: an HTTP error is an error (exit 22), not an error page saved as the
    // installer. HTTPS only, for the request and for every redirect it follows.
    return L"curl.exe --fail --proto =https --proto-redir =https -L " + Quoted(ForwardLink(linkId)) +
           L" -o " + Quoted(downloadFolder + L"\\" + fileName);
}

std::wstring AdkSetupCommand(const std::wstring& downloadFolder) {
    return Quoted(downloadFolder + L"\\adksetup_win10.exe") +
           L" /quiet /norestart /features OptionId.DeploymentTools";
}

std::wstring WinPESetupCommand(const std::wstring& downloadFolder) {
    return Quoted(downloadFolder + L"\\adkwinpesetup_win10.exe") +
           L" /quiet /norestart /features OptionId.WindowsPreinstallationEnvironment";
}

std::wstring WinPELayoutCommand(const std::wstring& downloadFolder) {
    return Quoted(downloadFolder + L"\\adkwinpesetup_win10.exe") + L" /layout " +
           Quoted(downloadFolder + L"\\layout_win10pe") + L" /quiet";
}

std::wstring MsiExtractCommand(const std::wstring& package, const std::wstring& downloadFolder) {
    return L"msiexec.exe /a " + Quoted(package) + L" /qn TARGETDIR=" +
           Quoted(downloadFolder + L"\\extracted_win10pe");
}

std::wstring XcopyTreeCommand(const std::wstring& source, const std::wstring& destination) {
    return L"xcopy /E /I /Y " + Quoted(source) + L" " + Quoted(destination);
}

std::wstring WingetAdkCommand() {
    return std::wstring(L"winget install --id Microsoft.WindowsADK --version ") + kWingetAdkVersion +
           L" -e --accept-package-agreements --accept-source-agreements";
}

std::wstring WingetWinPECommand() {
    return std::wstring(L"winget install --id Microsoft.WindowsADK.WinPEAddon --version ") + kWingetAdkVersion +
           L" -e --accept-package-agreements --accept-source-agreements";
}

std::wstring AddPackageCommand(const std::wstring& dism, const std::wstring& mountFolder,
                              const std::wstring& package) {
    return dism + L" /Image:" + Quoted(mountFolder) + L" /Add-Package /PackagePath:" + Quoted(package);
}

std::wstring SetAllIntlCommand(const std::wstring& dism, const std::wstring& mountFolder) {
    return dism + L" /Image:" + Quoted(mountFolder) + L" /Set-AllIntl:ja-JP";
}

std::wstring SetLayeredDriverCommand(const std::wstring& dism, const std::wstring& mountFolder) {
    return dism + L" /Image:" + Quoted(mountFolder) + L" /Set-LayeredDriver:6";
}

std::wstring LoadHiveCommand(const std::wstring& mountFolder) {
    return std::wstring(L"reg.exe load ") + kHiveKey + L" " +
           Quoted(mountFolder + L"\\Windows\\System32\\config\\SOFTWARE");
}

std::vector<std::wstring> FontRegistryCommands() {
    struct Entry {
        const wchar_t* key;
        const wchar_t* name;
        const wchar_t* type;
        const wchar_t* data;
    };
    static constexpr const wchar_t* kFonts = L"Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    static constexpr const wchar_t* kLink = L"Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";
    static constexpr Entry kEntries[] = {
        {kFonts, L"MS Gothic & MS PGothic & MS UI Gothic (TrueType)", L"REG_SZ", L"msgothic.ttc"},
        {kFonts, L"Yu Gothic Medium & Yu Gothic UI Regular (TrueType)", L"REG_SZ", L"YuGothM.ttc"},
        {kLink, L"Segoe UI", L"REG_MULTI_SZ", L"msgothic.ttc,MS UI Gothic"},
        {kLink, L"Tahoma", L"REG_MULTI_SZ", L"msgothic.ttc,MS UI Gothic"},
        {kLink, L"Microsoft Sans Serif", L"REG_MULTI_SZ", L"msgothic.ttc,MS UI Gothic"},
        {kLink, L"Consolas", L"REG_MULTI_SZ", L"msgothic.ttc,MS Gothic"},
    };
    std::vector<std::wstring> commands;
    for (const Entry& e : kEntries) {
        commands.push_back(L"reg.exe add " + Quoted(std::wstring(kHiveKey) + L"\\" + e.key) + L" /v " +
                           Quoted(e.name) + L" /t " + e.type + L" /d " + Quoted(e.data) + L" /f");
    }
    return commands;
}

std::wstring UnloadHiveCommand() {
    return std::wstring(L"reg.exe unload ") + kHiveKey;
}

std::string WinpeshlIniContent() {
    return "[LaunchApps]\r\n"
           "%SYSTEMDRIVE%\\Windows\\System32\\wpeinit.exe\r\n"
           "\"X:\\Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe\"\r\n";
}

std::string StartnetCmdContent() {
    return "@echo off\r\n"
           "wpeinit\r\n"
           "start \"\" \"X:\\Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe\"\r\n";
}

}  // namespace morvane
