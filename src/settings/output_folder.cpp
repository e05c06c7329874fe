// The output-folder decisions: default folder preference order and the drive check
// for a chosen folder, run against an OutputFolderSystem.
#include "settings/output_folder.h"

#include "common/files.h"
#include "common/text.h"
#include "evidence/certificate_set.h"

namespace morvane {

namespace {

constexpr const wchar_t* kReasonRelative = L"相対パスまたは無効なパスです。";
constexpr const wchar_t* kReasonCdRom =
    L" は CD/DVD/ISO 読み取り専用ドライブのため書き込みできません。";
constexpr const wchar_t* kReasonRamDisk =
    L"X:\\ は WinPE の一時RAMディスクのため、PCを再起動・電源OFFすると保存したログが消えてしまいます。";

}  // namespace

std::wstring SuggestedLogFolder(const std::wstring& driveRoot) { return driveRoot + kLogFolderName; }

std::wstring DefaultOutputFolder(OutputFolderSystem& system) {
    // Under WinPE X: is a RAM disk and the boot medium may be read-only: only a
    // removable stick keeps evidence past power-off.
    if (system.IsWinPE()) {
        for (const std::wstring& root : system.DriveRoots()) {
            if (root.size() < 2) continue;
            const wchar_t letter = UpperAscii(root[0]);
            if (letter == L'X' || letter == L'A' || letter == L'B') continue;
            if (system.DriveType(root) != kDriveTypeRemovable) continue;
            const std::wstring folder = SuggestedLogFolder(root);
            switch (system.CreateFolder(folder)) {
                case FolderCreation::Created:
                    return folder;
                case FolderCreation::AlreadyExisted:
                    // A write-protected stick still reports an existing folder as
                    // existing; it only qualifies if a file can be written there.
                    if (system.CanWriteInto(folder)) return folder;
                    break;
                case FolderCreation::Failed:
                    break;
            }
        }
    }
    const std::wstring documents = system.DocumentsFolder();
    if (!documents.empty()) {
        const std::wstring folder = documents + L"\\Morvane Disk Eraser Certificates";
        (void)system.CreateFolder(folder);
        return folder;
    }
    const std::wstring folder = CertificateFolderBeside(system.ExecutablePath());
    (void)system.CreateFolder(folder);
    return folder;
}

bool ValidateOutputPath(const std::wstring& path, std::wstring& reason, OutputFolderSystem& system) {
    if (!IsDriveAbsolute(path)) {
        reason = kReasonRelative;
        return true;
    }
    const wchar_t letter = UpperAscii(path[0]);
    const std::wstring root{letter, L':', L'\\'};
    if (system.DriveType(root) == kDriveTypeCdRom) {
        reason = root + kReasonCdRom;
        return true;
    }
    if (letter == L'X' && system.IsWinPE()) {
        reason = kReasonRamDisk;
        return true;
    }
    return false;
}

std::wstring DefaultOutputFolder() { return DefaultOutputFolder(Win32OutputFolderSystem()); }

bool ValidateOutputPath(const std::wstring& path, std::wstring& reason) {
    return ValidateOutputPath(path, reason, Win32OutputFolderSystem());
}

}  // namespace morvane
