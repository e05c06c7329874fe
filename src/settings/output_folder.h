// Where certificates and audit logs go: the default output folder (a USB stick under
// WinPE, else the documents folder, else beside the program), the drive check for a
// chosen folder, and the write probe. Decisions run against OutputFolderSystem so
// they are tested with synthetic drives; the Win32 system is the product's.
#pragma once

#include <string>
#include <vector>

namespace morvane {

// GetDriveTypeW answers that the decisions look at.
inline constexpr unsigned kDriveTypeRemovable = 2;
inline constexpr unsigned kDriveTypeFixed = 3;
inline constexpr unsigned kDriveTypeRemote = 4;
inline constexpr unsigned kDriveTypeCdRom = 5;

// The folder name created on a removable drive to hold evidence.
inline constexpr const wchar_t* kLogFolderName = L"Morvane_Erasure_Logs";

enum class FolderCreation { Created, AlreadyExisted, Failed };

// The facts and side effects the output-folder decisions need.
class OutputFolderSystem {
public:
    virtual ~OutputFolderSystem() = default;
    // True when the MiniNT key of the local machine opens for reading.
    virtual bool IsWinPE() = 0;
    // Drive roots ("C:\") in the order the system lists them.
    virtual std::vector<std::wstring> DriveRoots() = 0;
    virtual unsigned DriveType(const std::wstring& root) = 0;
    // Creates one folder level (its parent must exist).
    virtual FolderCreation CreateFolder(const std::wstring& path) = 0;
    // Whether a probe file can be created in an existing folder.
    virtual bool CanWriteInto(const std::wstring& folder) = 0;
    // The user's documents folder, or empty when the system cannot say.
    virtual std::wstring DocumentsFolder() = 0;
    // Full path of the running executable.
    virtual std::wstring ExecutablePath() = 0;
};

// The process's real environment (registry, drives, shell folders).
OutputFolderSystem& Win32OutputFolderSystem();

// `driveRoot` (e.g. "E:\") followed by "Morvane_Erasure_Logs"; the root already ends
// in a separator, so none is added.
std::wstring SuggestedLogFolder(const std::wstring& driveRoot);

// The default output folder, created: under WinPE the first writable removable drive
// (A:, B: and the X: RAM disk excluded), else the documents folder's
// "Morvane Disk Eraser Certificates", else "Certificates" beside the executable.
// Never fails: the last choice is returned even when it could not be created.
std::wstring DefaultOutputFolder(OutputFolderSystem& system);
std::wstring DefaultOutputFolder();

// True when `path` is unsuitable for evidence, with `reason` filled in: a relative,
// drive-relative or UNC path, a CD/DVD/ISO drive, or the WinPE RAM disk X:. False
// (reason untouched) otherwise. Only the drive is judged, not the folder itself.
[[nodiscard]] bool ValidateOutputPath(const std::wstring& path, std::wstring& reason,
                                      OutputFolderSystem& system);
[[nodiscard]] bool ValidateOutputPath(const std::wstring& path, std::wstring& reason);

// Creates `folder` with its missing parents, then creates and deletes the probe file
// "_zolt_write_test.tmp" in it. True when the probe could be created.
[[nodiscard]] bool TestFolderWritable(const std::wstring& folder);

}  // namespace morvane
