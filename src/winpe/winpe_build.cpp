// The WinPE build pipeline over the deployment kit and DISM.
#include "winpe/winpe_build.h"

#include <cwchar>
#include <utility>
#include <vector>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "disk/safety.h"
#include "winpe/adk.h"
#include "winpe/command_runner.h"
#include "winpe/image_customize.h"
#include "winpe/winpe_commands.h"

namespace morvane {

namespace {

// Creates (replacing) a small file with one write; true when every byte was written.
bool WriteWholeFile(const std::wstring& path, const std::string& content) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size();
}

std::wstring SystemDrive() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return (n >= 2 && n < MAX_PATH) ? std::wstring(buffer, 2) : std::wstring();
}

wchar_t Upper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
}

// The USB step formats the named drive without asking, so the target must be a
// removable drive named by one letter, and none of the drives the running program
// depends on: the system drive, the drive the program was started from, and inside
// Windows PE the medium holding a boot image (the one it booted from).
bool IsSafeUsbTarget(const std::wstring& drive, const WinPEHost& host) {
    if (!IsUsableUsbDrive(drive, SystemDrive())) return false;
    const std::wstring root = drive + L"\\";
    if (!host.driveType || host.driveType(root) != DRIVE_REMOVABLE) return false;
    const std::wstring& program = host.programPath;
    if (program.size() >= 2 && program[1] == L':' && Upper(program[0]) == Upper(drive[0])) return false;
    return !(IsWinPE() && PathExists(root + L"sources\\boot.wim"));
}

// The mount folders in DISM's English listing of mounted images ("Mount Dir : C:\...").
std::vector<std::wstring> ReportedMountFolders(const std::vector<std::wstring>& lines) {
    static const std::wstring kLabel = L"Mount Dir";
    std::vector<std::wstring> folders;
    for (const std::wstring& line : lines) {
        const std::size_t label = line.find_first_not_of(L' ');
        if (label == std::wstring::npos || line.compare(label, kLabel.size(), kLabel) != 0) continue;
        std::size_t at = line.find_first_not_of(L' ', label + kLabel.size());
        if (at == std::wstring::npos || line[at] != L':') continue;
        at = line.find_first_not_of(L' ', at + 1);
        if (at == std::wstring::npos) continue;
        std::wstring folder = line.substr(at);
        while (!folder.empty() && (folder.back() == L' ' || folder.back() == L'\\')) folder.pop_back();
        folders.push_back(folder);
    }
    return folders;
}

// A mount folder of one of this program's builds: this build's own, or the "mount"
// folder of any default work folder ("...\Morvane_WinPE_*\mount").
bool IsOwnMountFolder(const std::wstring& folder, const std::wstring& ownMountFolder) {
    if (EqualNoCase(folder, ownMountFolder)) return true;
    const std::size_t last = folder.find_last_of(L'\\');
    if (last == std::wstring::npos || !EqualNoCase(folder.substr(last + 1), L"mount")) return false;
    const std::size_t parent = folder.find_last_of(L'\\', last == 0 ? 0 : last - 1);
    const std::wstring name = folder.substr(parent == std::wstring::npos ? 0 : parent + 1,
                                            last - (parent == std::wstring::npos ? 0 : parent + 1));
    static const std::wstring kPrefix = L"Morvane_WinPE_";
    return name.size() > kPrefix.size() && EqualNoCase(name.substr(0, kPrefix.size()), kPrefix);
}

// An image still mounted by an earlier build that stopped half-way keeps its folder
// locked and its DISM resources busy; a plain clean-up of mount points does not
// unmount it. Each such image is discarded first, then stale mount points are
// cleaned. Results are ignored; the output stays out of the log.
void DiscardLeftoverMounts(const WinPEPaths& p, const std::wstring& dism, const LogCallback& log,
                           const WinPEHost& host) {
    const LogCallback quiet = RunnerLinesOnly(log);
    std::vector<std::wstring> listing;
    (void)RunCommand(MountedImagesCommand(dism),
                     [&listing, &quiet](const std::wstring& line) {
                         listing.push_back(line);
                         if (quiet) quiet(line);
                     },
                     host.commandTimeLimit);
    for (const std::wstring& folder : ReportedMountFolders(listing)) {
        if (IsOwnMountFolder(folder, p.mountFolder)) {
            (void)RunCommand(UnmountDiscardCommand(dism, folder), quiet, host.commandTimeLimit);
        }
    }
    (void)RunCommand(CleanupMountpointsCommand(dism), quiet, host.commandTimeLimit);
}

// A work folder of this build's own, so that a later build never deletes this
// one's media: the default name plus the start time, and a counter should that
// folder exist already. Created here, which settles the name.
std::wstring CreateFreshWorkFolder(const std::wstring& base) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t stamp[32] = {};
    std::swprintf(stamp, 32, L"_%04d%02d%02d_%02d%02d%02d", static_cast<int>(now.wYear),
                  static_cast<int>(now.wMonth), static_cast<int>(now.wDay), static_cast<int>(now.wHour),
                  static_cast<int>(now.wMinute), static_cast<int>(now.wSecond));
    const std::wstring stamped = base + stamp;
    for (int n = 1; n < 1000; ++n) {
        const std::wstring candidate = n == 1 ? stamped : stamped + L"_" + std::to_wstring(n);
        // Any other failure (no temporary folder) shows at the staging step.
        if (::CreateDirectoryW(candidate.c_str(), nullptr) || ::GetLastError() != ERROR_ALREADY_EXISTS) {
            return candidate;
        }
    }
    return stamped;
}

// Ends a build whose image is mounted: the half-customised image is discarded, so
// nothing incomplete is ever committed, and the reason is the last log line.
int AbandonMountedImage(const WinPEPaths& p, const std::wstring& dism, const std::wstring& error,
                        const LogCallback& log, const WinPEHost& host) {
    (void)RunCommand(UnmountDiscardCommand(dism, p.mountFolder), RunnerLinesOnly(log), host.commandTimeLimit);
    EmitLog(log, error);
    return 1;
}

// Step 5 for a USB stick.
int WriteUsb(const WinPEPaths& p, const WinPEBuildOptions& o, const std::wstring& arch,
             const LogCallback& log, const WinPEHost& host) {
    const std::wstring drive = UsbDriveName(o.usbDrive);
    EmitLog(log, L"[WINPE BUILD] Step 5/5: UEFI + CSM (Legacy BIOS) 両対応ブータブルUSB (" + drive +
                     L") を作成中...");
    // The letter was chosen minutes ago; the stick may have been pulled and the
    // letter given to another drive since. Checked again right before formatting.
    if (!IsSafeUsbTarget(drive, host)) {
        EmitLog(log, L"[ERROR] USBドライブの指定が不正です: " + o.usbDrive);
        return 1;
    }
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
    // cmd.exe expands %NAME% even inside quotes, so a path with "%" would reach the
    // tools changed (or a drive letter replaced); refused before anything runs.
    std::vector<std::wstring> commandPaths = {o.workDir.empty() ? TempFolder() : o.workDir};
    if (o.outputKind == WinPEOutputIso) commandPaths.push_back(o.isoPath);
    if (o.outputKind == WinPEOutputUsb) commandPaths.push_back(UsbDriveName(o.usbDrive));
    for (const std::wstring& path : commandPaths) {
        if (HasPercent(path)) {
            EmitLog(log, L"[ERROR] パスに使用できない文字「%」が含まれています: " + path);
            return 1;
        }
    }
    if (o.outputKind == WinPEOutputUsb && !IsSafeUsbTarget(UsbDriveName(o.usbDrive), host)) {
        EmitLog(log, L"[ERROR] USBドライブの指定が不正です: " + o.usbDrive);
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
    DiscardLeftoverMounts(p, dism, log, host);
    // A folder named by the caller is reused, so what an earlier build left there
    // goes; a fresh default folder is empty already.
    if (!o.workDir.empty()) (void)run(RemoveWorkFolderCommand(p.workFolder), RunnerLinesOnly(log));

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
    if (run(MountImageCommand(dism, p.bootImage, p.mountFolder), log) != 0) {
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
    // A medium without the program, or without the files that start it, would boot
    // into a bare command prompt: such an image is never committed.
    const std::wstring injected = p.applicationFolder + L"\\MorvaneDiskEraser.exe";
    if (!CopyOver(program.source, injected)) {
        return AbandonMountedImage(p, dism, L"[ERROR] プログラム本体をイメージへコピーできませんでした: " + injected,
                                   log, host);
    }
    CopyRuntimeLibraries(p.applicationFolder, o.x86, log, host);
    AddJapaneseLocale(p.adkRoot, p.mountFolder, p.applicationFolder, o.x86, log, host);
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
