// The WinPE build pipeline over the deployment kit and DISM.
#include "winpe/winpe_build.h"

#include <optional>
#include <utility>
#include <vector>

#include "common/files.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "common/win32.h"
#include "winpe/adk.h"
#include "winpe/build_guards.h"
#include "winpe/command_runner.h"
#include "winpe/image_customize.h"
#include "winpe/media_output.h"
#include "winpe/winpe_commands.h"
#include "winpe/work_folders.h"

namespace morvane {

namespace {

// Ends a build whose image is mounted: the half-customised image is discarded, so
// nothing incomplete is ever committed, and the reason is the last log line.
int AbandonMountedImage(const WinPEPaths& p, const std::wstring& dism, const std::wstring& error,
                        const LogCallback& log, const WinPEHost& host) {
    (void)RunCommand(UnmountDiscardCommand(dism, p.mountFolder), RunnerLinesOnly(log), host.commandTimeLimit);
    EmitLog(log, error);
    return 1;
}

// Everything that can refuse a build before any tool runs; the "[ERROR] " line, or
// empty. Chooses the program to inject on the way.
std::wstring RefusalBeforeTools(const WinPEBuildOptions& o, const WinPEHost& host, InjectedProgram& program) {
    if (GetAdkStatus() != AdkReady) {
        return L"[ERROR] Windows ADK および WinPE Add-on が見つかりません。先に導入を実行してください。";
    }
    // The paths reach cmd.exe and the kit's script; one they cannot take would only
    // fail (or, with "%", name another path) at the end of a long build.
    std::vector<std::wstring> commandPaths = {o.workDir.empty() ? TempFolder() : o.workDir};
    if (o.outputKind == WinPEOutputIso) commandPaths.push_back(o.isoPath);
    if (o.outputKind == WinPEOutputUsb) commandPaths.push_back(UsbDriveName(o.usbDrive));
    for (const std::wstring& path : commandPaths) {
        if (const wchar_t c = FirstScriptBreakingChar(path)) return ScriptBreakingPathLine(c, path);
    }
    if (o.outputKind == WinPEOutputUsb) {
        if (std::wstring refusal = UsbTargetRefusal(o.usbDrive, host); !refusal.empty()) return refusal;
    }
    // WinPE has no WOW64: a program of the other architecture would not start, and
    // WinPE would restart instead of erasing anything.
    const std::optional<InjectedProgram> chosen = ChooseInjectedProgram(host.programPath, o.x86, FileMachine);
    if (!chosen) return NoFittingProgramLine(o.x86);
    program = *chosen;
    return {};
}

int Build(const WinPEBuildOptions& o, const LogCallback& log, const WinPEHost& host) {
    // DISM mounts, the mount-point clean-up and the offline hive key are shared by
    // the whole machine: a second build would discard this one's live mount.
    const BuildLock lock(host.buildLockName);
    if (!lock.held()) {
        EmitLog(log, BuildLockBusyLine());
        return 1;
    }
    InjectedProgram program;
    if (const std::wstring refusal = RefusalBeforeTools(o, host, program); !refusal.empty()) {
        EmitLog(log, refusal);
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
    const std::wstring workFolder =
        o.workDir.empty() ? CreateFreshWorkFolder(TempFolder() + L"Morvane_WinPE_" + arch) : o.workDir;
    const WinPEPaths p = DeriveWinPEPaths(FindAdkRoot(), o.x86, workFolder, TempFolder());
    const std::wstring dism = ChooseDism(p.adkRoot);
    const auto run = [&host](const std::wstring& command, const LogCallback& sink) {
        return RunCommand(command, sink, host.commandTimeLimit);
    };

    EmitLog(log, L"[WINPE BUILD] 作業ディレクトリを初期化しています (" + arch + L"): " + p.workFolder);
    if (o.x86 == 1) {
        EmitLog(log, L"[WARN] x86 (32-bit) WinPE メディアは 32-bit UEFI と CSM (Legacy BIOS) でのみ起動します。"
                     L"64-bit UEFI のPCでは起動しません。");
    }
    const std::vector<std::wstring> mounted = DiscardLeftoverMounts(p, dism, log, host);
    RemoveStaleWorkFolders(mounted, p.workFolder, log, host);
    // A folder named by the caller is reused, so what an earlier build left there
    // goes; a fresh default folder is empty already.
    if (!o.workDir.empty()) (void)run(RemoveWorkFolderCommand(p.workFolder), RunnerLinesOnly(log));

    EmitLog(log, L"[WINPE BUILD] Step 1/5: " + arch + L" WinPE ベース環境とブートファイル群をステージング中...");
    for (const std::wstring& folder : {p.workFolder, p.mediaFolder, p.mediaFolder + L"\\sources", p.mountFolder,
                                       p.workFolder + L"\\bootbins", p.workFolder + L"\\fwfiles"}) {
        CreateFolder(folder);
    }
    // An ISO or USB build's folder is scratch once the medium is written; a media
    // folder build's folder holds its product.
    if (o.outputKind == WinPEOutputUsb || o.outputKind == WinPEOutputIso) MarkScratchWorkFolder(p.workFolder);
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
    if (run(MountImageCommand(dism, p.bootImage, p.mountFolder), log) != 0) {
        EmitLog(log, L"[ERROR] boot.wim のマウントに失敗しました。管理者権限で実行しているか確認してください。");
        return 1;
    }

    EmitLog(log, L"[WINPE BUILD] Step 3/5: 日本語ロケール・日本語フォントの組み込みとアプリ自動起動設定を実行中...");
    CreateFolder(p.mountFolder + L"\\Program Files");
    CreateFolder(p.applicationFolder);
    if (!program.announcement.empty()) EmitLog(log, program.announcement);
    // A medium without the program, or without the files that start it, would boot
    // into a bare command prompt: such an image is never committed.
    const std::wstring injected = p.applicationFolder + L"\\MorvaneDiskEraser.exe";
    if (!CopyOver(program.source, injected)) {
        return AbandonMountedImage(p, dism, L"[ERROR] プログラム本体をイメージへコピーできませんでした: " + injected,
                                   log, host);
    }
    if (!AddJapaneseLocale(p.adkRoot, p.mountFolder, p.applicationFolder, o.x86, log, host)) {
        return AbandonMountedImage(p, dism,
                                   L"[ERROR] WinPE のオフライン レジストリ (HKLM\\ZOLT_PESOFT) をアンロードできない"
                                   L"ため、イメージをコミットできません。",
                                   log, host);
    }
    const std::wstring system32 = p.mountFolder + L"\\Windows\\System32\\";
    const std::pair<std::wstring, std::string> startFiles[] = {
        {system32 + L"winpeshl.ini", WinpeshlIniContent()},
        {system32 + L"startnet.cmd", StartnetCmdContent()},
    };
    for (const auto& [path, content] : startFiles) {
        if (!WriteWholeFile(path, content)) {
            return AbandonMountedImage(p, dism, L"[ERROR] 自動起動ファイルをイメージへ書き込めませんでした: " + path,
                                       log, host);
        }
    }

    EmitLog(log, L"[WINPE BUILD] Step 4/5: DISM で変更をコミットしイメージをアンマウント中...");
    if (run(UnmountCommitCommand(dism, p.mountFolder), log) != 0) {
        (void)run(UnmountDiscardCommand(dism, p.mountFolder), RunnerLinesOnly(log));
        EmitLog(log, L"[ERROR] DISM アンマウント・コミットに失敗しました。");
        return 1;
    }

    if (o.outputKind == WinPEOutputUsb) return WriteUsbMedium(p, o, log, host);
    if (o.outputKind == WinPEOutputIso) return WriteIsoImage(p, o, log, host);
    EmitLog(log, L"[SUCCESS] 日本語対応 WinPEメディアフォルダ (" + arch + L") の作成が完了しました: " +
                     p.mediaFolder);
    if (host.openFolder) host.openFolder(p.mediaFolder);
    return 0;
}

}  // namespace

bool IsUsableUsbDrive(const std::wstring& drive, const std::wstring& systemDrive) {
    if (drive.size() != 2 || drive[1] != L':' || !IsAsciiLetter(drive[0])) return false;
    return systemDrive.empty() || UpperAscii(drive[0]) != UpperAscii(systemDrive[0]);
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
