// Every tool command line the WinPE builder runs, pinned once, byte for byte, with paths
// that contain blanks and parentheses (other tests check order and key values only).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winpe/winpe_commands.h"

namespace morvane {
namespace {

TEST(WinPECommands, EveryCommandLine) {
    const std::wstring root = LR"(C:\P (x86)\Kit)", dl = LR"(C:\T\d l)", mount = LR"(C:\T\W\mount)";
    const WinPEPaths p = DeriveWinPEPaths(root, 0, L"", LR"(C:\T\)");
    const std::wstring w = LR"(C:\T\W)", d = DismProgram(L""), kitDism = DismProgram(KitDismPath(root));
    const std::pair<std::wstring, std::wstring> cases[] = {
        {MountedImagesCommand(kitDism), LR"("C:\P (x86)\Kit\Deployment Tools\amd64\DISM\dism.exe" /English /Get-MountedImageInfo)"},
        {CleanupMountpointsCommand(d), LR"(dism.exe /Cleanup-Mountpoints)"},
        {RemoveWorkFolderCommand(w), LR"(rmdir /s /q "C:\T\W" 2>nul)"},
        {StageMediaCommand(p.adkMedia, w), LR"(xcopy /herky "C:\P (x86)\Kit\Windows Preinstallation Environment\amd64\Media" "C:\T\W\media\")"},
        {MountImageCommand(d, p.bootImage, mount), LR"(dism.exe /Mount-Image /ImageFile:"C:\T\Morvane_WinPE_amd64\media\sources\boot.wim" /Index:1 /MountDir:"C:\T\W\mount")"},
        {UnmountCommitCommand(d, mount), LR"(dism.exe /Unmount-Image /MountDir:"C:\T\W\mount" /Commit)"},
        {UnmountDiscardCommand(d, mount), LR"(dism.exe /Unmount-Image /MountDir:"C:\T\W\mount" /Discard)"},
        {MakeUsbMediaCommand(p.setupScript, w, UsbDriveName(L"E:\\ [USB]")), LR"(call "C:\P (x86)\Kit\Deployment Tools\DandISetEnv.bat" && MakeWinPEMedia.cmd /UFD /F "C:\T\W" E:)"},
        {OscdimgCommand(p.oscdimg, LR"(C:\T\W\etfsboot.com)", LR"(C:\T\W\efisys.bin)", w, LR"(D:\a b.iso)"),
         LR"("C:\P (x86)\Kit\Deployment Tools\amd64\Oscdimg\oscdimg.exe" -m -o -u2 -udfver102 -bootdata:2#p0,e,b"C:\T\W\etfsboot.com"#pEF,e,b"C:\T\W\efisys.bin" "C:\T\W\media" "D:\a b.iso")"},
        {OscdimgUefiOnlyCommand(p.oscdimg, LR"(C:\T\W\efisys_noprompt.bin)", w, LR"(D:\a b.iso)"),
         LR"("C:\P (x86)\Kit\Deployment Tools\amd64\Oscdimg\oscdimg.exe" -m -o -u2 -udfver102 -bootdata:1#pEF,e,b"C:\T\W\efisys_noprompt.bin" "C:\T\W\media" "D:\a b.iso")"},
        {MakeIsoMediaCommand(p.setupScript, w, LR"(D:\a b.iso)"), LR"(call "C:\P (x86)\Kit\Deployment Tools\DandISetEnv.bat" && MakeWinPEMedia.cmd /ISO /F "C:\T\W" "D:\a b.iso")"},
        {DownloadCommand(2271338, dl, L"a.exe"), LR"(curl.exe --fail --proto =https --proto-redir =https -L "https://go.microsoft.com/fwlink/?linkid=2271338" -o "C:\T\d l\a.exe")"},
        {AdkSetupCommand(dl), LR"("C:\T\d l\adksetup_win10.exe" /quiet /norestart /features OptionId.DeploymentTools)"},
        {WinPESetupCommand(dl), LR"("C:\T\d l\adkwinpesetup_win10.exe" /quiet /norestart /features OptionId.WindowsPreinstallationEnvironment)"},
        {WinPELayoutCommand(dl), LR"("C:\T\d l\adkwinpesetup_win10.exe" /layout "C:\T\d l\layout_win10pe" /quiet)"},
        {MsiExtractCommand(LR"(C:\T\p e.msi)", dl), LR"(msiexec.exe /a "C:\T\p e.msi" /qn TARGETDIR="C:\T\d l\extracted_win10pe")"},
        {XcopyTreeCommand(LR"(C:\a b)", LR"(C:\P (x86)\x86)"), LR"(xcopy /E /I /Y "C:\a b" "C:\P (x86)\x86")"},
        // The add-on only works with the kit of the same version.
        {WingetAdkCommand(), L"winget install --id Microsoft.WindowsADK --version 10.1.26100.2454 -e --accept-package-agreements --accept-source-agreements"},
        {WingetWinPECommand(), L"winget install --id Microsoft.WindowsADK.WinPEAddon --version 10.1.26100.2454 -e --accept-package-agreements --accept-source-agreements"},
        {AddPackageCommand(d, mount, LR"(C:\P (x86)\lp.cab)"), LR"(dism.exe /Image:"C:\T\W\mount" /Add-Package /PackagePath:"C:\P (x86)\lp.cab")"},
        {SetAllIntlCommand(d, mount), LR"(dism.exe /Image:"C:\T\W\mount" /Set-AllIntl:ja-JP)"},
        {SetLayeredDriverCommand(d, mount), LR"(dism.exe /Image:"C:\T\W\mount" /Set-LayeredDriver:6)"},
        {LoadHiveCommand(mount), LR"(reg.exe load HKLM\ZOLT_PESOFT "C:\T\W\mount\Windows\System32\config\SOFTWARE")"},
        {UnloadHiveCommand(), LR"(reg.exe unload HKLM\ZOLT_PESOFT)"},
    };
    for (const auto& [built, expected] : cases) EXPECT_EQ(built, expected);

    const std::wstring fonts = LR"(reg.exe add "HKLM\ZOLT_PESOFT\Microsoft\Windows NT\CurrentVersion\Fonts" /v )";
    const std::wstring link = LR"(reg.exe add "HKLM\ZOLT_PESOFT\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink" /v )";
    EXPECT_EQ(FontRegistryCommands(), (std::vector<std::wstring>{
        fonts + LR"q("MS Gothic & MS PGothic & MS UI Gothic (TrueType)" /t REG_SZ /d "msgothic.ttc" /f)q",
        fonts + LR"q("Yu Gothic Medium & Yu Gothic UI Regular (TrueType)" /t REG_SZ /d "YuGothM.ttc" /f)q",
        link + LR"("Segoe UI" /t REG_MULTI_SZ /d "msgothic.ttc,MS UI Gothic" /f)",
        link + LR"("Tahoma" /t REG_MULTI_SZ /d "msgothic.ttc,MS UI Gothic" /f)",
        link + LR"("Microsoft Sans Serif" /t REG_MULTI_SZ /d "msgothic.ttc,MS UI Gothic" /f)",
        link + LR"("Consolas" /t REG_MULTI_SZ /d "msgothic.ttc,MS Gothic" /f)"}));
}

TEST(WinPECommands, X86PathsKeepTheAmd64HostToolAndAutoStartFiles) {
    const WinPEPaths x86 = DeriveWinPEPaths(L"K", 1, L"", LR"(C:\T\)");
    EXPECT_EQ(x86.workFolder, LR"(C:\T\Morvane_WinPE_x86)");
    EXPECT_EQ(x86.oscdimg, LR"(K\Deployment Tools\amd64\Oscdimg\oscdimg.exe)");
    EXPECT_EQ(WinpeshlIniContent(), "[LaunchApps]\r\n%SYSTEMDRIVE%\\Windows\\System32\\wpeinit.exe\r\n"
                                    "\"X:\\Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe\"\r\n");
    EXPECT_EQ(StartnetCmdContent(), "@echo off\r\nwpeinit\r\n"
                                    "start \"\" \"X:\\Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe\"\r\n");
}

}  // namespace
}  // namespace morvane
