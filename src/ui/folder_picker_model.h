// The folder picker's decisions: one list entry and proposed folder per drive, and
// the check a typed folder passes before it is accepted. Values in, values out; the
// write test is handed in.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "common/win32.h"
#include "ui/message_box.h"
#include "ui/services.h"

namespace morvane {

struct DriveEntry {
    std::wstring text;        // the list box line
    std::wstring suggestion;  // the folder proposed on that drive
};

// True when `folder`'s drive is a volume on disk `disk` (-1: never): evidence written
// there would be destroyed by the erasure it records.
[[nodiscard]] bool FolderOnDisk(const std::wstring& folder, const std::vector<DriveFacts>& drives, int disk);

// "★推奨 [USB/リムーバブル - 書込可能]" and its siblings, first match wins; a drive on
// `targetDisk` (the disk about to be erased, -1: none) says so before anything else.
std::wstring DriveCategoryLabel(const DriveFacts& drive, int targetDisk = -1);
DriveEntry MakeDriveEntry(const DriveFacts& drive, int targetDisk = -1);
// One entry per drive whose root has at least 2 characters, in the order given.
std::vector<DriveEntry> MakeDriveEntries(const std::vector<DriveFacts>& drives, int targetDisk = -1);

// The characters of `path` after its drive ("D:\") that no Windows folder name may
// hold, each once, in order of appearance; control characters are shown as "U+0009".
std::wstring InvalidPathCharacters(const std::wstring& path);

// The longest folder the certificate files fit under: folder + "\" + a 29-character
// certificate ID + "_Certificate.html" (the longest ending) must stay below MAX_PATH.
inline constexpr std::size_t kCertificateIdLength = 29;
inline constexpr std::size_t kMaxOutputFolderLength =
    MAX_PATH - 1 - 1 - kCertificateIdLength - (sizeof "_Certificate.html" - 1);

// The outcome of OK: the accepted folder, or the box that refuses it.
struct FolderVerdict {
    bool accepted = false;
    std::wstring path;  // trimmed; set when accepted
    std::wstring text;
    std::wstring title;
    UINT style = 0;
};

// Trims blanks, tabs, CR and LF, then refuses, in this order: an empty path; a path
// ValidateOutputPath rejects (relative, drive-relative, UNC, CD/DVD/ISO, the WinPE
// RAM disk), judged by the drives listed and `winPE`; characters a folder name cannot
// hold; a folder on `targetDisk`; a path too long for the certificate file names; a
// folder the write test (`writable`, run last) fails.
FolderVerdict CheckChosenFolder(const std::wstring& typed, const std::vector<DriveFacts>& drives, bool winPE,
                                const std::function<bool(const std::wstring&)>& writable, int targetDisk = -1);

// The reason given for a folder on the disk about to be erased.
inline constexpr wchar_t kOnTargetDiskReason[] =
    L"消去対象ディスク上のフォルダです。消去によってこのディスクの内容はすべて失われるため、証明書・監査ログを保存できません。";

// Texts of the picker.
inline constexpr wchar_t kFolderPickerClass[] = L"MorvaneFolderPickerDlgClass";
inline constexpr wchar_t kFolderPickerTitle[] = L"証明書・監査ログ 保存先ドライブ＆フォルダ指定 (ISO/CD/DVD・WinPE対応)";
inline constexpr wchar_t kBrowseTitle[] = L"保存先フォルダを選択してください";
inline constexpr wchar_t kEmptyPathText[] = L"保存先フォルダパスを入力または選択してください。";
inline constexpr wchar_t kNotWritableTitle[] = L"書き込み不可エラー";
inline constexpr wchar_t kNotWritableText[] =
    L"選択されたフォルダに書き込みができません！\n"
    L"CD/DVD/ISOドライブや書き込み禁止メディアではなく、USBメモリ等の書き込み可能なドライブを選択してください。";

}  // namespace morvane
