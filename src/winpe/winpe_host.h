// The host facts and effects the WinPE builder depends on (the running program's
// path, the shell's "open" of a folder, drive types and USB volumes, signature
// checks, how long a tool may run, the one-build-at-a-time lock) behind one seam,
// plus small file helpers.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "winpe/build_guards.h"
#include "winpe/command_runner.h"

namespace morvane {

// GetDriveTypeW of a root such as "E:\" (DRIVE_REMOVABLE, DRIVE_FIXED, ...).
[[nodiscard]] unsigned SystemDriveType(const std::wstring& root);
// Size and partition style of the volume of a drive such as "E:", asked with
// IOCTL_DISK_GET_PARTITION_INFO_EX on the volume opened with no access rights.
[[nodiscard]] UsbVolumeFacts QueryUsbVolume(const std::wstring& drive);
// Deletes a file even when it is hidden, system or read-only; true when the file is
// gone afterwards (also when it was never there).
bool RemoveFileForce(const std::wstring& path);
// True when the file carries a valid Authenticode signature that chains to a
// trusted root (WinVerifyTrust with the generic verify action, no UI).
[[nodiscard]] bool VerifyAuthenticodeSignature(const std::wstring& path);

struct WinPEHost {
    // Full path of the running program; its folder is searched for the x86 build
    // and for runtime libraries.
    std::wstring programPath;
    // Shows a folder to the user; may be empty (nothing is opened).
    std::function<void(const std::wstring& folder)> openFolder;
    // Longest run of any one external command.
    std::chrono::milliseconds commandTimeLimit = kCommandTimeLimit;
    // Drive type of a drive root; the USB target must be removable.
    std::function<unsigned(const std::wstring& root)> driveType = SystemDriveType;
    // Whether a downloaded installer may be run.
    std::function<bool(const std::wstring& path)> verifySignature = VerifyAuthenticodeSignature;
    // Size and partition style of the USB target's volume.
    std::function<UsbVolumeFacts(const std::wstring& drive)> usbVolume = QueryUsbVolume;
    // Removes a file from the written USB medium.
    std::function<bool(const std::wstring& path)> removeFile = RemoveFileForce;
    // Name of the machine-wide mutex that allows one build or kit installation at a
    // time: DISM mounts and the offline hive key are shared by the whole machine.
    std::wstring buildLockName = L"Global\\MorvaneDiskEraser_WinPEBuild";
};

// Holds the named build mutex from construction to destruction when it was free
// (or abandoned by a process that died holding it). The owning thread may take it
// again, so a build can run the kit installation under the same lock.
class BuildLock {
public:
    explicit BuildLock(const std::wstring& name);
    ~BuildLock();
    BuildLock(const BuildLock&) = delete;
    BuildLock& operator=(const BuildLock&) = delete;
    [[nodiscard]] bool held() const { return held_; }

private:
    UniqueKernelHandle mutex_;
    bool held_ = false;
};
// "[ERROR] " line of a build or installation refused because another one runs.
[[nodiscard]] std::wstring BuildLockBusyLine();

// The real host: GetModuleFileNameW and ShellExecuteW "open" with SW_SHOWNORMAL.
[[nodiscard]] WinPEHost SystemWinPEHost();

// Existence as the builder tests it: anything but INVALID_FILE_ATTRIBUTES.
[[nodiscard]] bool PathExists(const std::wstring& path);
// An existing directory (not a file of that name).
[[nodiscard]] bool DirectoryExists(const std::wstring& path);
// One level, failures ignored (the folder may already exist).
void CreateFolder(const std::wstring& path);
// CopyFileW with overwrite allowed.
bool CopyOver(const std::wstring& from, const std::wstring& to);
// The user's temporary folder, ending in "\".
[[nodiscard]] std::wstring TempFolder();
// The Machine field of a file's PE header; none when missing or not a PE image.
[[nodiscard]] std::optional<std::uint16_t> FileMachine(const std::wstring& path);
// Full paths of the directories matching a FindFirstFileW pattern ("C:\T\Name_*").
[[nodiscard]] std::vector<std::wstring> ListFolders(const std::wstring& pattern);
// The kits folder the kit's installer recorded (value KitsRoot10 of the 32-bit view
// of HKLM\SOFTWARE\Microsoft\Windows Kits\Installed Roots), without its trailing
// "\"; empty when absent.
[[nodiscard]] std::wstring InstalledKitsRoot();
// True when the path contains "%": cmd.exe expands %NAME% even inside quotes, so
// such a path cannot be handed to a command line unchanged.
[[nodiscard]] bool HasPercent(const std::wstring& path);

}  // namespace morvane
