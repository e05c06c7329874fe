// Drive entries and the OK check of the folder picker.
#include "ui/folder_picker_model.h"

#include <cwchar>

#include "common/text.h"
#include "settings/output_folder.h"

namespace morvane {
namespace {

// ValidateOutputPath judges drives through an OutputFolderSystem; here it sees the
// drives the picker listed and the environment it was told. Nothing else is asked.
class ListedDrives final : public OutputFolderSystem {
public:
    ListedDrives(const std::vector<DriveFacts>& drives, bool winPE) : drives_(drives), winPE_(winPE) {}
    bool IsWinPE() override { return winPE_; }
    std::vector<std::wstring> DriveRoots() override {
        std::vector<std::wstring> roots;
        for (const DriveFacts& d : drives_) roots.push_back(d.root);
        return roots;
    }
    unsigned DriveType(const std::wstring& root) override {
        for (const DriveFacts& d : drives_) {
            if (d.root.size() >= 2 && UpperAscii(d.root[0]) == UpperAscii(root[0])) return d.type;
        }
        return DRIVE_NO_ROOT_DIR;
    }
    FolderCreation CreateFolder(const std::wstring&) override { return FolderCreation::Failed; }
    bool CanWriteInto(const std::wstring&) override { return false; }
    std::wstring DocumentsFolder() override { return {}; }
    std::wstring ExecutablePath() override { return {}; }

private:
    const std::vector<DriveFacts>& drives_;
    bool winPE_;
};

FolderVerdict Refuse(std::wstring text, const wchar_t* title, UINT icon) {
    return {false, {}, std::move(text), title, MB_OK | icon};
}

}  // namespace

bool FolderOnDisk(const std::wstring& folder, const std::vector<DriveFacts>& drives, int disk) {
    if (disk < 0 || folder.size() < 2 || folder[1] != L':') return false;
    for (const DriveFacts& drive : drives) {
        if (drive.root.empty() || UpperAscii(drive.root[0]) != UpperAscii(folder[0])) continue;
        for (const std::uint32_t number : drive.diskNumbers) {
            if (number == static_cast<std::uint32_t>(disk)) return true;
        }
    }
    return false;
}

std::wstring InvalidPathCharacters(const std::wstring& path) {
    std::wstring found;
    for (std::size_t i = path.size() >= 3 ? 3 : path.size(); i < path.size(); ++i) {
        const wchar_t c = path[i];
        std::wstring shown;
        if (c < 0x20) {
            wchar_t code[8] = {};
            std::swprintf(code, 8, L"U+%04X", static_cast<unsigned>(c));
            shown = code;
        } else if (std::wcschr(L"<>:\"|?*", c) != nullptr) {
            shown = std::wstring(1, c);
        }
        if (shown.empty() || found.find(shown) != std::wstring::npos) continue;
        found += (found.empty() ? L"" : L" ") + shown;
    }
    return found;
}

std::wstring DriveCategoryLabel(const DriveFacts& drive, int targetDisk) {
    if (FolderOnDisk(drive.root, {drive}, targetDisk)) return L"[消去対象ディスク上 - 保存不可]";
    if (drive.type == DRIVE_CDROM) return L"[CD/DVD/ISO 読取専用 - 保存不可]";
    if (!drive.root.empty() && UpperAscii(drive.root[0]) == L'X') return L"[WinPE RAMディスク - 電源OFFで消去]";
    switch (drive.type) {
        case DRIVE_REMOVABLE: return L"★推奨 [USB/リムーバブル - 書込可能]";
        case DRIVE_FIXED: return L"[ローカル/外付け固定ドライブ - 書込可能]";
        case DRIVE_REMOTE: return L"[ネットワークドライブ - 書込可能]";
        default: return L"[ドライブ]";
    }
}

DriveEntry MakeDriveEntry(const DriveFacts& drive, int targetDisk) {
    const std::wstring suggestion = SuggestedLogFolder(drive.root);
    std::wstring text = drive.root + L"  " + DriveCategoryLabel(drive, targetDisk) + L"  Label: ";
    text += drive.label.empty() ? L"(なし)" : drive.label;
    text += L" (" + (drive.fileSystem.empty() ? std::wstring(L"RAW") : drive.fileSystem);
    text += L", 空き: " + FormatSize(drive.freeBytes) + L")  ->  " + suggestion;
    return {std::move(text), suggestion};
}

std::vector<DriveEntry> MakeDriveEntries(const std::vector<DriveFacts>& drives, int targetDisk) {
    std::vector<DriveEntry> entries;
    for (const DriveFacts& drive : drives) {
        if (drive.root.size() >= 2) entries.push_back(MakeDriveEntry(drive, targetDisk));
    }
    return entries;
}

FolderVerdict CheckChosenFolder(const std::wstring& typed, const std::vector<DriveFacts>& drives, bool winPE,
                                const std::function<bool(const std::wstring&)>& writable, int targetDisk) {
    const std::wstring path = Trim(typed);
    if (path.empty()) return Refuse(kEmptyPathText, kBoxTitle, MB_ICONWARNING);

    ListedDrives system(drives, winPE);
    std::wstring reason;
    if (ValidateOutputPath(path, reason, system)) {
        return Refuse(L"この保存先には証明書・監査ログを保存できません。\n理由: " + reason +
                          L"\n\nUSBメモリ等の書き込み可能なドライブ上のフォルダを、ドライブ名から始まる完全なパス "
                          L"(例: E:\\Morvane_Erasure_Logs) で指定してください。",
                      kBoxTitle, MB_ICONWARNING);
    }
    const std::wstring invalid = InvalidPathCharacters(path);
    if (!invalid.empty()) {
        return Refuse(L"保存先フォルダパスに、Windowsのフォルダ名に使用できない文字が含まれています: " + invalid +
                          L"\nこれらの文字を含まないフォルダパスを指定してください。",
                      kBoxTitle, MB_ICONWARNING);
    }
    if (FolderOnDisk(path, drives, targetDisk)) {
        return Refuse(std::wstring(kOnTargetDiskReason) + L"\n\n別のドライブ (USBメモリ等) のフォルダを指定してください。", kBoxTitle,
                      MB_ICONWARNING);
    }
    if (path.size() > kMaxOutputFolderLength) {
        return Refuse(L"保存先フォルダパスが長すぎます (" + std::to_wstring(path.size()) + L"文字)。\n"
                          L"証明書ファイル名 (証明書ID + _Certificate.html) を含めたパスがWindowsの上限 (260文字) "
                          L"を超えないよう、" + std::to_wstring(kMaxOutputFolderLength) +
                          L"文字以内のフォルダパスを指定してください。",
                      kBoxTitle, MB_ICONWARNING);
    }
    // The write test creates the folder and its parents; a refused folder keeps them.
    if (!writable(path)) return Refuse(kNotWritableText, kNotWritableTitle, MB_ICONERROR);
    return {true, path, {}, {}, 0};
}

}  // namespace morvane
