// The host facts and effects the WinPE builder depends on (the running program's
// path, the shell's "open" of a folder, drive types, signature checks, how long a
// tool may run) behind one seam, plus small file helpers.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "winpe/command_runner.h"

namespace morvane {

// GetDriveTypeW of a root such as "E:\" (DRIVE_REMOVABLE, DRIVE_FIXED, ...).
[[nodiscard]] unsigned SystemDriveType(const std::wstring& root);
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
};

// The real host: GetModuleFileNameW and ShellExecuteW "open" with SW_SHOWNORMAL.
[[nodiscard]] WinPEHost SystemWinPEHost();

// The part of `path` before its last "\" or "/"; "." when there is none.
[[nodiscard]] std::wstring ProgramFolder(const std::wstring& path);

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
// True when the path contains "%": cmd.exe expands %NAME% even inside quotes, so
// such a path cannot be handed to a command line unchanged.
[[nodiscard]] bool HasPercent(const std::wstring& path);

}  // namespace morvane
