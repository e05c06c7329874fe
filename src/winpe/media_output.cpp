// Writing the committed WinPE medium to a USB stick or an ISO image.
#include "winpe/media_output.h"

#include "common/text.h"
#include "common/win32.h"
#include "disk/safety.h"
#include "winpe/command_runner.h"

namespace morvane {

namespace {

std::wstring SystemDrive() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return (n >= 2 && n < MAX_PATH) ? std::wstring(buffer, 2) : std::wstring();
}

// The script formats the named drive without asking, so the target must be a
// removable drive named by one letter, and none of the drives the running program
// depends on: the system drive, the drive the program was started from, and inside
// Windows PE the medium holding a boot image (the one it booted from).
bool IsSafeUsbDrive(const std::wstring& drive, const WinPEHost& host) {
    if (!IsUsableUsbDrive(drive, SystemDrive())) return false;
    const std::wstring root = drive + L"\\";
    if (!host.driveType || host.driveType(root) != DRIVE_REMOVABLE) return false;
    const std::wstring& program = host.programPath;
    if (program.size() >= 2 && program[1] == L':' && UpperAscii(program[0]) == UpperAscii(drive[0])) return false;
    return !(IsWinPE() && PathExists(root + L"sources\\boot.wim"));
}

}  // namespace

std::wstring UsbTargetRefusal(const std::wstring& usbDrive, const WinPEHost& host) {
    const std::wstring drive = UsbDriveName(usbDrive);
    if (!IsSafeUsbDrive(drive, host)) return L"[ERROR] USBドライブの指定が不正です: " + usbDrive;
    return UsbVolumeRefusal(drive, host.usbVolume ? host.usbVolume(drive) : UsbVolumeFacts{});
}

int WriteUsbMedium(const WinPEPaths& p, const WinPEBuildOptions& o, const LogCallback& log,
                   const WinPEHost& host) {
    const std::wstring drive = UsbDriveName(o.usbDrive);
    EmitLog(log, L"[WINPE BUILD] Step 5/5: UEFI + CSM (Legacy BIOS) 両対応ブータブルUSB (" + drive +
                     L") を作成中...");
    // The letter was chosen minutes ago; the stick may have been pulled and the
    // letter given to another drive since. Checked again right before formatting.
    if (const std::wstring refusal = UsbTargetRefusal(o.usbDrive, host); !refusal.empty()) {
        EmitLog(log, refusal);
        return 1;
    }
    // The script also writes the stick's boot sector and MBR boot code itself.
    if (RunCommand(MakeUsbMediaCommand(p.setupScript, p.workFolder, drive), log, host.commandTimeLimit) != 0) {
        EmitLog(log, L"[ERROR] MakeWinPEMedia (/UFD) の実行に失敗しました。");
        return 1;
    }
    // Without the BIOS boot manager a machine with CSM enabled boots the stick
    // through UEFI only.
    if (o.uefiOnly != 0 && !(host.removeFile && host.removeFile(drive + L"\\bootmgr"))) {
        EmitLog(log, L"[WARN] USBメモリから bootmgr を削除できませんでした。CSM (Legacy BIOS) でも起動する可能性があります: " +
                         drive + L"\\bootmgr");
    }
    (void)RunCommand(RemoveWorkFolderCommand(p.workFolder), RunnerLinesOnly(log), host.commandTimeLimit);
    EmitLog(log, L"[SUCCESS] 日本語対応 Morvane Disk Eraser 自動起動WinPE USBメモリ (" + ArchitectureFolder(o.x86) +
                     L") の作成が完了しました！");
    return 0;
}

int WriteIsoImage(const WinPEPaths& p, const WinPEBuildOptions& o, const LogCallback& log,
                  const WinPEHost& host) {
    const std::wstring arch = ArchitectureFolder(o.x86);
    EmitLog(log, L"[WINPE BUILD] Step 5/5: 日本語対応・UEFI + CSM (Legacy BIOS) ハイブリッドISO (" + o.isoPath +
                     L") を作成中...");
    // The prompting UEFI image waits for a key and, unattended, lets the machine
    // fall through to its next boot device; the one without the prompt is used
    // wherever it exists.
    const std::wstring fwfiles = p.workFolder + L"\\fwfiles\\";
    const std::wstring noprompt = fwfiles + L"efisys_noprompt.bin";
    const bool haveNoprompt = PathExists(noprompt);
    const std::wstring efiImage = haveNoprompt ? noprompt : fwfiles + L"efisys.bin";
    if (!haveNoprompt) {
        EmitLog(log, L"[WARN] efisys_noprompt.bin がないため、UEFI 起動時にキー入力待ちが表示されます。");
    }
    const bool uefiOnly = o.uefiOnly != 0;
    if (PathExists(p.oscdimg) && PathExists(efiImage) && (uefiOnly || PathExists(p.etfsboot))) {
        const std::wstring command = uefiOnly ? OscdimgUefiOnlyCommand(p.oscdimg, efiImage, p.workFolder, o.isoPath)
                                              : OscdimgCommand(p.oscdimg, p.etfsboot, efiImage, p.workFolder, o.isoPath);
        if (RunCommand(command, log, host.commandTimeLimit) == 0) {
            (void)RunCommand(RemoveWorkFolderCommand(p.workFolder), RunnerLinesOnly(log), host.commandTimeLimit);
            EmitLog(log, uefiOnly ? L"[SUCCESS] 日本語対応 Morvane Disk Eraser 自動起動WinPE ISO (" + arch +
                                        L") の作成が完了しました！"
                                  : L"[SUCCESS] 日本語ロケール組込済・UEFI + CSM (Legacy BIOS) 両対応 WinPE ISO (" +
                                        arch + L") の作成が完了しました！");
            return 0;
        }
    }
    // The kit's media maker takes the UEFI image from fwfiles\efisys.bin.
    if (haveNoprompt && !CopyOver(noprompt, fwfiles + L"efisys.bin")) {
        EmitLog(log, L"[WARN] efisys.bin を efisys_noprompt.bin に置き換えられませんでした。"
                     L"UEFI 起動時にキー入力待ちが表示されます。");
    }
    if (RunCommand(MakeIsoMediaCommand(p.setupScript, p.workFolder, o.isoPath), log, host.commandTimeLimit) != 0) {
        EmitLog(log, L"[ERROR] ISOイメージの作成に失敗しました。");
        return 1;
    }
    (void)RunCommand(RemoveWorkFolderCommand(p.workFolder), RunnerLinesOnly(log), host.commandTimeLimit);
    EmitLog(log, L"[SUCCESS] 日本語対応 Morvane Disk Eraser 自動起動WinPE ISO (" + arch + L") の作成が完了しました！");
    return 0;
}

}  // namespace morvane
