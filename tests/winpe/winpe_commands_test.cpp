// Every command template and both auto-start files, byte for byte, with paths that
// contain blanks and parentheses as the real kit's do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winpe/winpe_commands.h"

namespace morvane {
namespace {

const std::wstring kRoot = LR"(C:\Program Files (x86)\Windows Kits\10\Assessment and Deployment Kit)";
const std::wstring kWork = LR"(C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64)";
const std::wstring kDl = LR"(C:\Users\op\AppData\Local\Temp\Morvane_ADK_Downloads)";
const std::wstring kMount = kWork + LR"(\mount)";
const std::wstring kDism = DismProgram(L"");

TEST(WinPECommands, BuildPipelineTemplates) {
    const WinPEPaths p = DeriveWinPEPaths(kRoot, 0, L"", LR"(C:\Users\op\AppData\Local\Temp\)");
    ASSERT_EQ(p.workFolder, kWork);
    const std::wstring iso = LR"(D:\out\Morvane PE.iso)";
    const std::wstring efi = kWork + LR"(\fwfiles\efisys_noprompt.bin)";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {DismProgram(KitDismPath(kRoot)),
         LR"("C:\Program Files (x86)\Windows Kits\10\Assessment and Deployment Kit\Deployment Tools\amd64\DISM\dism.exe")"},
        {MountedImagesCommand(DismProgram(KitDismPath(kRoot))),
         LR"("C:\Program Files (x86)\Windows Kits\10\Assessment and Deployment Kit\Deployment Tools\amd64\DISM\dism.exe" /English /Get-MountedImageInfo)"},
        {CleanupMountpointsCommand(kDism), LR"(dism.exe /Cleanup-Mountpoints)"},
        {RemoveWorkFolderCommand(p.workFolder),
         LR"(rmdir /s /q "C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64" 2>nul)"},
        {StageMediaCommand(p.adkMedia, p.workFolder),
         LR"(xcopy /herky "C:\Program Files (x86)\Windows Kits\10\Assessment and Deployment Kit\Windows Preinstallation Environment\amd64\Media" "C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\media\")"},
        {MountImageCommand(kDism, p.bootImage, p.mountFolder),
         LR"(dism.exe /Mount-Image /ImageFile:"C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\media\sources\boot.wim" /Index:1 /MountDir:"C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\mount")"},
        {UnmountCommitCommand(kDism, p.mountFolder),
         LR"(dism.exe /Unmount-Image /MountDir:"C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\mount" /Commit)"},
        {UnmountDiscardCommand(kDism, p.mountFolder),
         LR"(dism.exe /Unmount-Image /MountDir:"C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\mount" /Discard)"},
        {MakeUsbMediaCommand(p.setupScript, p.workFolder, UsbDriveName(L"E:\\ [USB - 14.90 GB]")),
         LR"(call "C:\Program Files (x86)\Windows Kits\10\Assessment and Deployment Kit\Deployment Tools\DandISetEnv.bat" && MakeWinPEMedia.cmd /UFD /F "C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64" E:)"},
        {BootsectCommand(p.bootsect, L"E:"),
         LR"("C:\Program Files (x86)\Windows Kits\10\Assessment and Deployment Kit\Deployment Tools\amd64\BCDBoot\bootsect.exe" /nt60 E: /force /mbr)"},
        {OscdimgCommand(p.oscdimg, p.etfsboot, efi, p.workFolder, iso),
         LR"("C:\Program Files (x86)\Windows Kits\10\Assessment and Deployment Kit\Deployment Tools\amd64\Oscdimg\oscdimg.exe" -m -o -u2 -udfver102 -bootdata:2#p0,e,b"C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\fwfiles\etfsboot.com"#pEF,e,b"C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\fwfiles\efisys_noprompt.bin" "C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\media" "D:\out\Morvane PE.iso")"},
        {MakeIsoMediaCommand(p.setupScript, p.workFolder, iso),
         LR"(call "C:\Program Files (x86)\Windows Kits\10\Assessment and Deployment Kit\Deployment Tools\DandISetEnv.bat" && MakeWinPEMedia.cmd /ISO /F "C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64" "D:\out\Morvane PE.iso")"},
    };
    for (const auto& [built, expected] : cases) EXPECT_EQ(built, expected);
}

TEST(WinPECommands, KitInstallationTemplates) {
    const std::wstring layout = kDl + LR"(\layout_win10pe\Installers\Windows PE x86 x64 wims-x86_en-us.msi)";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {ForwardLink(2120254), L"https://go.microsoft.com/fwlink/?linkid=2120254"},
        {DownloadCommand(2271338, kDl, L"adkwinpesetup_win11.exe"),
         LR"(curl.exe --fail --proto =https --proto-redir =https -L "https://go.microsoft.com/fwlink/?linkid=2271338" -o "C:\Users\op\AppData\Local\Temp\Morvane_ADK_Downloads\adkwinpesetup_win11.exe")"},
        {AdkSetupCommand(kDl),
         LR"("C:\Users\op\AppData\Local\Temp\Morvane_ADK_Downloads\adksetup_win10.exe" /quiet /norestart /features OptionId.DeploymentTools)"},
        {WinPESetupCommand(kDl),
         LR"("C:\Users\op\AppData\Local\Temp\Morvane_ADK_Downloads\adkwinpesetup_win10.exe" /quiet /norestart /features OptionId.WindowsPreinstallationEnvironment)"},
        {WinPELayoutCommand(kDl),
         LR"("C:\Users\op\AppData\Local\Temp\Morvane_ADK_Downloads\adkwinpesetup_win10.exe" /layout "C:\Users\op\AppData\Local\Temp\Morvane_ADK_Downloads\layout_win10pe" /quiet)"},
        {MsiExtractCommand(layout, kDl),
         LR"(msiexec.exe /a "C:\Users\op\AppData\Local\Temp\Morvane_ADK_Downloads\layout_win10pe\Installers\Windows PE x86 x64 wims-x86_en-us.msi" /qn TARGETDIR="C:\Users\op\AppData\Local\Temp\Morvane_ADK_Downloads\extracted_win10pe")"},
        {XcopyTreeCommand(LR"(C:\a b\x86)", kRoot + LR"(\Windows Preinstallation Environment\x86)"),
         LR"(xcopy /E /I /Y "C:\a b\x86" "C:\Program Files (x86)\Windows Kits\10\Assessment and Deployment Kit\Windows Preinstallation Environment\x86")"},
        {WingetAdkCommand(),
         LR"(winget install --id Microsoft.WindowsADK --version 10.1.26100.2454 -e --accept-package-agreements --accept-source-agreements)"},
        {WingetWinPECommand(),
         LR"(winget install --id Microsoft.WindowsADK.WinPEAddon --version 10.1.26100.2454 -e --accept-package-agreements --accept-source-agreements)"},
    };
    for (const auto& [built, expected] : cases) EXPECT_EQ(built, expected);
}

TEST(WinPECommands, LocaleAndRegistryTemplates) {
    const std::wstring pkg = kRoot + LR"(\Windows Preinstallation Environment\amd64\WinPE_OCs\ja-jp\lp.cab)";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {AddPackageCommand(kDism, kMount, pkg),
         LR"(dism.exe /Image:"C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\mount" /Add-Package /PackagePath:"C:\Program Files (x86)\Windows Kits\10\Assessment and Deployment Kit\Windows Preinstallation Environment\amd64\WinPE_OCs\ja-jp\lp.cab")"},
        {SetAllIntlCommand(kDism, kMount),
         LR"(dism.exe /Image:"C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\mount" /Set-AllIntl:ja-JP)"},
        {SetLayeredDriverCommand(kDism, kMount),
         LR"(dism.exe /Image:"C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\mount" /Set-LayeredDriver:6)"},
        {LoadHiveCommand(kMount),
         LR"(reg.exe load HKLM\ZOLT_PESOFT "C:\Users\op\AppData\Local\Temp\Morvane_WinPE_amd64\mount\Windows\System32\config\SOFTWARE")"},
        {UnloadHiveCommand(), LR"(reg.exe unload HKLM\ZOLT_PESOFT)"},
    };
    for (const auto& [built, expected] : cases) EXPECT_EQ(built, expected);

    const std::vector<std::wstring> expected = {
        LR"q(reg.exe add "HKLM\ZOLT_PESOFT\Microsoft\Windows NT\CurrentVersion\Fonts" /v "MS Gothic & MS PGothic & MS UI Gothic (TrueType)" /t REG_SZ /d "msgothic.ttc" /f)q",
        LR"q(reg.exe add "HKLM\ZOLT_PESOFT\Microsoft\Windows NT\CurrentVersion\Fonts" /v "Yu Gothic Medium & Yu Gothic UI Regular (TrueType)" /t REG_SZ /d "YuGothM.ttc" /f)q",
        LR"q(reg.exe add "HKLM\ZOLT_PESOFT\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink" /v "Segoe UI" /t REG_MULTI_SZ /d "msgothic.ttc,MS UI Gothic" /f)q",
        LR"q(reg.exe add "HKLM\ZOLT_PESOFT\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink" /v "Tahoma" /t REG_MULTI_SZ /d "msgothic.ttc,MS UI Gothic" /f)q",
        LR"q(reg.exe add "HKLM\ZOLT_PESOFT\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink" /v "Microsoft Sans Serif" /t REG_MULTI_SZ /d "msgothic.ttc,MS UI Gothic" /f)q",
        LR"q(reg.exe add "HKLM\ZOLT_PESOFT\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink" /v "Consolas" /t REG_MULTI_SZ /d "msgothic.ttc,MS Gothic" /f)q",
    };
    EXPECT_EQ(FontRegistryCommands(), expected);
}

TEST(WinPECommands, DerivedPathsForBothArchitectures) {
    const WinPEPaths x86 = DeriveWinPEPaths(kRoot, 1, L"", LR"(C:\T\)");
    EXPECT_EQ(x86.workFolder, LR"(C:\T\Morvane_WinPE_x86)");
    EXPECT_EQ(x86.peRoot, kRoot + LR"(\Windows Preinstallation Environment\x86)");
    EXPECT_EQ(x86.adkBootImage, kRoot + LR"(\Windows Preinstallation Environment\x86\en-us\winpe.wim)");
    // Host tools stay amd64 for an x86 medium.
    EXPECT_EQ(x86.oscdimg, kRoot + LR"(\Deployment Tools\amd64\Oscdimg\oscdimg.exe)");
    EXPECT_EQ(x86.bootsect, kRoot + LR"(\Deployment Tools\amd64\BCDBoot\bootsect.exe)");
    EXPECT_EQ(x86.applicationFolder, LR"(C:\T\Morvane_WinPE_x86\mount\Program Files\Morvane Disk Eraser)");
    EXPECT_EQ(x86.etfsboot, LR"(C:\T\Morvane_WinPE_x86\fwfiles\etfsboot.com)");

    const WinPEPaths given = DeriveWinPEPaths(kRoot, 2, LR"(D:\pe work)", LR"(C:\T\)");
    EXPECT_EQ(given.workFolder, LR"(D:\pe work)");  // used unchanged
    EXPECT_EQ(given.mountFolder, LR"(D:\pe work\mount)");
    EXPECT_EQ(ArchitectureFolder(-1), L"amd64");  // anything but 1 is amd64
}

TEST(WinPECommands, AutoStartFilesAreExactBytes) {
    const std::string ini = WinpeshlIniContent();
    EXPECT_EQ(ini.size(), 120u);
    EXPECT_EQ(ini,
              "[LaunchApps]\r\n%SYSTEMDRIVE%\\Windows\\System32\\wpeinit.exe\r\n"
              "\"X:\\Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe\"\r\n");
    const std::string cmd = StartnetCmdContent();
    EXPECT_EQ(cmd.size(), 91u);
    EXPECT_EQ(cmd,
              "@echo off\r\nwpeinit\r\n"
              "start \"\" \"X:\\Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe\"\r\n");
}

}  // namespace
}  // namespace morvane
