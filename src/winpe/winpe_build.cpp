// The WinPE build pipeline over the deployment kit and DISM.
#include "winpe/winpe_build.h"

#include "common/unique_handle.h"
#include "common/win32.h"
#include "winpe/adk.h"
#include "winpe/command_runner.h"
#include "winpe/image_customize.h"
#include "winpe/winpe_commands.h"

namespace morvane {

namespace {

// Creates (replacing) a small file with one write; a file that cannot be created
// is skipped, as nothing in the customisation step may stop the build.
void WriteWholeFile(const std::wstring& path, const std::string& content) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
}

std::wstring SystemDrive() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return (n >= 2 && n < MAX_PATH) ? std::wstring(buffer, 2) : std::wstring();
}

// Step 5 for a USB stick.
int WriteUsb(const WinPEPaths& p, const WinPEBuildOptions& o, const std::wstring& arch,
             const LogCallback& log, const WinPEHost& host) {
    const std::wstring drive = UsbDriveName(o.usbDrive);
    EmitLog(log, L"[WINPE BUILD] Step 5/5: UEFI + CSM (Legacy BIOS) 両対応ブータブルUSB (" + drive +
                     L") を作成中...");
    if (RunCommand(MakeUsbMediaCommand(p.setupScript, p.workFolder, drive), log, host.commandTimeLimit) != 0) {
        EmitLog(log, L"[ERROR] MakeWinPEMedia (/UFD) の実行に失敗しました。");
        return 1;
    }
    if (o.uefiOnly == 0 && PathExists(p.bootsect)) {
        EmitLog(log, L"[CSM/BIOS BOOT] bootsect.exe /nt60 /mbr で CSM (Legacy BIOS) "
                     L"ブートレコードをUSBへ書き込んでいます...");
        (void)RunCommand(BootsectCommand(p.bootsect, drive), log, host.commandTimeLimit);  // best effort
    }
    EmitLog(log, L"[SUCCESS] 日本語対応 Morvane Disk Eraser 自動起動WinPE USBメモリ (" + arch +
                     L") の作成が完了しました！");
    return 0;
}

// Step 5 for an ISO image: a two-platform El Torito image by oscdimg when the
// medium is hybrid and every piece is there, else the kit's own media maker.
int WriteIso(const WinPEPaths& p, const WinPEBuildOptions& o, const std::wstring& arch,
             const LogCallback& log, const WinPEHost& host) {
    EmitLog(log, L"[WINPE BUILD] Step 5/5: 日本語対応・UEFI + CSM (Legacy BIOS) ハイブリッドISO (" +
                     o.isoPath + L") を作成中...");
    const std::wstring noprompt = p.workFolder + L"\\fwfiles\\efisys_noprompt.bin";
    const std::wstring efiImage = PathExists(noprompt) ? noprompt : p.workFolder + L"\\fwfiles\\efisys.bin";
    if (o.uefiOnly == 0 && PathExists(p.oscdimg) && PathExists(p.etfsboot) && PathExists(efiImage) &&
        RunCommand(OscdimgCommand(p.oscdimg, p.etfsboot, efiImage, p.workFolder, o.isoPath), log,
                   host.commandTimeLimit) == 0) {
        EmitLog(log, L"[SUCCESS] 日本語ロケール組込済・UEFI + CSM (Legacy BIOS) 両対応 WinPE ISO (" +
                         arch + L") の作成が完了しました！");
        return 0;
    }
    if (RunCommand(MakeIsoMediaCommand(p.setupScript, p.workFolder, o.isoPath), log, host.commandTimeLimit) != 0) {
        EmitLog(log, L"[ERROR] ISOイメージの作成に失敗しました。");
        return 1;
    }
    EmitLog(log, L"[SUCCESS] 日本語対応 Morvane Disk Eraser 自動起動WinPE ISO (" + arch +
                     L") の作成が完了しました！");
    return 0;
}

int Build(const WinPEBuildOptions& o, const LogCallback& log, const WinPEHost& host) {
    if (GetAdkStatus() != AdkReady) {
        EmitLog(log, L"[ERROR] Windows ADK および WinPE Add-on が見つかりません。先に導入を実行してください。");
        return 1;
    }
    if (o.x86 == 1 && !HasX86WinPE()) {
        EmitLog(log, L"[AUTO SETUP] x86 (32-bit) Win10 PE コンポーネントが未展開のため、自動展開を実行します...");
        (void)InstallAdk(Win10KitWithX86, L"", log, host);  // judged by the check below
        if (!HasX86WinPE()) {
            EmitLog(log, L"[ERROR] x86 (32-bit) Win10 PE イメージが見つかりません。"
                         L"「Win10 ADK + PE Add-on 導入」を実行してください。");
            return 1;
        }
    }
    const std::wstring arch = ArchitectureFolder(o.x86);
    const WinPEPaths p = DeriveWinPEPaths(FindAdkRoot(), o.x86, o.workDir, TempFolder());
    const auto run = [&host](const std::wstring& command, const LogCallback& sink) {
        return RunCommand(command, sink, host.commandTimeLimit);
    };
    // The USB step formats the named drive without asking: refuse anything but a
    // plain drive letter, and never the system's own drive, before any work starts.
    if (o.outputKind == WinPEOutputUsb && !IsUsableUsbDrive(UsbDriveName(o.usbDrive), SystemDrive())) {
        EmitLog(log, L"[ERROR] USBドライブの指定が不正です: " + o.usbDrive);
        return 1;
    }

    EmitLog(log, L"[WINPE BUILD] 作業ディレクトリを初期化しています (" + arch + L"): " + p.workFolder);
    // Stale mounts left by an earlier, interrupted build go first, then its folder.
    (void)run(CleanupWimCommand(), RunnerLinesOnly(log));
    (void)run(RemoveWorkFolderCommand(p.workFolder), RunnerLinesOnly(log));

    EmitLog(log, L"[WINPE BUILD] Step 1/5: " + arch + L" WinPE ベース環境とブートファイル群をステージング中...");
    for (const std::wstring& folder : {p.workFolder, p.mediaFolder, p.mediaFolder + L"\\sources", p.mountFolder,
                                       p.workFolder + L"\\bootbins", p.workFolder + L"\\fwfiles"}) {
        CreateFolder(folder);
    }
    if (run(StageMediaCommand(p.adkMedia, p.workFolder), log) != 0) {
        EmitLog(log, L"[ERROR] WinPE Media フォルダのステージングに失敗しました。");
        return 1;
    }
    if (!CopyOver(p.adkBootImage, p.bootImage)) {
        EmitLog(log, L"[ERROR] winpe.wim のコピーに失敗しました: " + p.adkBootImage);
        return 1;
    }
    StageHybridBootFiles(p.adkRoot, p.workFolder, o.x86, log);

    EmitLog(log, L"[WINPE BUILD] Step 2/5: DISM で boot.wim (" + arch + L") をマウントしています...");
    if (run(MountImageCommand(p.bootImage, p.mountFolder), log) != 0) {
        EmitLog(log, L"[ERROR] boot.wim のマウントに失敗しました。管理者権限で実行しているか確認してください。");
        return 1;
    }

    EmitLog(log, L"[WINPE BUILD] Step 3/5: 日本語ロケール・日本語フォントの組み込みとアプリ自動起動設定を実行中...");
    CreateFolder(p.mountFolder + L"\\Program Files");
    CreateFolder(p.applicationFolder);
    const std::wstring programFolder = ProgramFolder(host.programPath);
    const InjectedProgram program = ChooseInjectedProgram(
        host.programPath, o.x86, PathExists(programFolder + L"\\MorvaneDiskEraser_x86.exe"),
        PathExists(programFolder + L"\\x86\\MorvaneDiskEraser.exe"));
    if (program.nativeX86) {
        EmitLog(log, L"[WINPE x86] 32-bit ネイティブ実行ファイル (MorvaneDiskEraser_x86.exe) を組み込みます。");
    }
    CopyOver(program.source, p.applicationFolder + L"\\MorvaneDiskEraser.exe");
    CopyRuntimeLibraries(p.applicationFolder, o.x86, log, host);
    AddJapaneseLocale(p.adkRoot, p.mountFolder, p.applicationFolder, o.x86, log, host);
    WriteWholeFile(p.mountFolder + L"\\Windows\\System32\\winpeshl.ini", WinpeshlIniContent());
    WriteWholeFile(p.mountFolder + L"\\Windows\\System32\\startnet.cmd", StartnetCmdContent());

    EmitLog(log, L"[WINPE BUILD] Step 4/5: DISM で変更をコミットしイメージをアンマウント中...");
    if (run(UnmountCommitCommand(p.mountFolder), log) != 0) {
        (void)run(UnmountDiscardCommand(p.mountFolder), RunnerLinesOnly(log));
        EmitLog(log, L"[ERROR] DISM アンマウント・コミットに失敗しました。");
        return 1;
    }

    if (o.outputKind == WinPEOutputUsb) return WriteUsb(p, o, arch, log, host);
    if (o.outputKind == WinPEOutputIso) return WriteIso(p, o, arch, log, host);
    EmitLog(log, L"[SUCCESS] 日本語対応 WinPEメディアフォルダ (" + arch + L") の作成が完了しました: " +
                     p.mediaFolder);
    if (host.openFolder) host.openFolder(p.mediaFolder);
    return 0;
}

}  // namespace

InjectedProgram ChooseInjectedProgram(const std::wstring& programPath, int x86, bool x86BuildBeside,
                                      bool x86BuildInSubfolder) {
    if (x86 == 1) {
        const std::wstring folder = ProgramFolder(programPath);
        if (x86BuildBeside) return {folder + L"\\MorvaneDiskEraser_x86.exe", true};
        if (x86BuildInSubfolder) return {folder + L"\\x86\\MorvaneDiskEraser.exe", false};
    }
    return {programPath, false};
}

bool IsUsableUsbDrive(const std::wstring& drive, const std::wstring& systemDrive) {
    const auto upper = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? c - L'a' + L'A' : c; };
    if (drive.size() != 2 || drive[1] != L':' || upper(drive[0]) < L'A' || upper(drive[0]) > L'Z') {
        return false;
    }
    return systemDrive.empty() || upper(drive[0]) != upper(systemDrive[0]);
}

int BuildWinPEMedia(const WinPEBuildOptions& options, LogCallback log) {
    return BuildWinPEMedia(options, std::move(log), SystemWinPEHost());
}

int BuildWinPEMedia(const WinPEBuildOptions& options, LogCallback log, const WinPEHost& host) {
    const int result = Build(options, log, host);
    log = nullptr;  // the callback copy is released before returning, on every path
    return result;
}

}  // namespace morvane
