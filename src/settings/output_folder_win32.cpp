// The real environment behind the output-folder decisions, and the write probe.
#include <algorithm>

#include "common/files.h"
#include "common/unique_handle.h"
#include "common/win32.h"
// After win32.h, so the shell header sees the program's Windows settings.

#include "disk/disk_scan.h"
#include "settings/output_folder.h"

namespace morvane {

namespace {

// Creates and deletes the probe file in an existing folder. The separator is added
// even when `folder` ends in one; the doubled separator is accepted by the system.
bool ProbeWritable(const std::wstring& folder) {
    const std::wstring probe = folder + L"\\_zolt_write_test.tmp";
    UniqueFile file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file) return false;
    file.reset();
    ::DeleteFileW(probe.c_str());
    return true;
}

class Win32System final : public OutputFolderSystem {
public:
    bool IsWinPE() override {
        UniqueRegKey key;
        return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", 0,
                               KEY_READ, key.put()) == ERROR_SUCCESS;
    }
    std::vector<std::wstring> DriveRoots() override { return LogicalDriveRoots(); }
    unsigned DriveType(const std::wstring& root) override { return ::GetDriveTypeW(root.c_str()); }
    FolderCreation CreateFolder(const std::wstring& path) override {
        if (::CreateDirectoryW(path.c_str(), nullptr)) return FolderCreation::Created;
        return ::GetLastError() == ERROR_ALREADY_EXISTS ? FolderCreation::AlreadyExisted
                                                        : FolderCreation::Failed;
    }
    bool CanWriteInto(const std::wstring& folder) override { return ProbeWritable(folder); }
    std::wstring DocumentsFolder() override {
        wchar_t path[MAX_PATH] = {};
        if (::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) {
            return {};
        }
        return path;
    }
    std::wstring ExecutablePath() override { return OwnExecutablePath(); }
};

}  // namespace

OutputFolderSystem& Win32OutputFolderSystem() {
    static Win32System system;
    return system;
}

bool TestFolderWritable(const std::wstring& folder) {
    // An empty path would put the probe at the root of the current drive and report
    // a folder that does not exist as writable.
    if (folder.empty()) return false;
    // The shell's parent-creation walk only splits at backslashes.
    std::wstring backslashed = folder;
    std::replace(backslashed.begin(), backslashed.end(), L'/', L'\\');
    ::SHCreateDirectoryExW(nullptr, backslashed.c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return ProbeWritable(folder);
}

}  // namespace morvane
