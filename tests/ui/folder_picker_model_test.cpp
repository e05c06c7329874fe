// The folder picker's drive entries and the refusals of its OK check.
#include "ui/folder_picker_model.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(FolderPickerModel, EntriesShowKindLabelFileSystemFreeSpaceAndProposal) {
    const std::vector<DriveFacts> drives = {
        {L"C:\\", DRIVE_FIXED, L"Windows", L"NTFS", 0},
        {L"D:\\", DRIVE_CDROM, L"", L"", 0},
        {L"E:\\", DRIVE_REMOVABLE, L"DATA", L"FAT32", 15999001600ull},
        {L"x:\\", DRIVE_FIXED, L"Boot", L"NTFS", 1048576},
        {L"N:\\", DRIVE_REMOTE, L"share", L"NTFS", 0},
        {L"R:\\", DRIVE_RAMDISK, L"", L"", 0},
        {L"Q", DRIVE_FIXED, L"", L"", 0},  // too short to be a root: skipped
    };
    const std::vector<std::wstring> expected = {
        L"C:\\  [ローカル/外付け固定ドライブ - 書込可能]  Label: Windows (NTFS, 空き: 0 B)  ->  C:\\Morvane_Erasure_Logs",
        L"D:\\  [CD/DVD/ISO 読取専用 - 保存不可]  Label: (なし) (RAW, 空き: 0 B)  ->  D:\\Morvane_Erasure_Logs",
        L"E:\\  ★推奨 [USB/リムーバブル - 書込可能]  Label: DATA (FAT32, 空き: 14.90 GB)  ->  E:\\Morvane_Erasure_Logs",
        L"x:\\  [WinPE RAMディスク - 電源OFFで消去]  Label: Boot (NTFS, 空き: 1.0 MB)  ->  x:\\Morvane_Erasure_Logs",
        L"N:\\  [ネットワークドライブ - 書込可能]  Label: share (NTFS, 空き: 0 B)  ->  N:\\Morvane_Erasure_Logs",
        L"R:\\  [ドライブ]  Label: (なし) (RAW, 空き: 0 B)  ->  R:\\Morvane_Erasure_Logs",
    };
    const std::vector<DriveEntry> entries = MakeDriveEntries(drives);
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].text, expected[i]);
        EXPECT_EQ(entries[i].suggestion, drives[i].root + L"Morvane_Erasure_Logs");
    }
}

TEST(FolderPickerModel, OkRefusesFoldersThatCannotKeepEvidence) {
    const std::vector<DriveFacts> drives = {
        {L"C:\\", DRIVE_FIXED, L"", L"", 0}, {L"Q:\\", DRIVE_CDROM, L"", L"", 0}, {L"X:\\", DRIVE_FIXED, L"", L"", 0}};
    const std::wstring longest = L"C:\\" + std::wstring(209, L'a');  // 212 characters: the ID and name still fit
    enum Outcome { Accepted, Empty, Unsuitable, TooLong, NotWritable };
    const struct {
        std::wstring typed;
        bool winPE;
        Outcome outcome;
        std::wstring detail;  // the reason in the box, or the accepted path
    } cases[] = {
        {L" \t\r\n", false, Empty, L""},
        {L"Certificates", false, Unsuitable, L"相対パスまたは無効なパスです。"},
        {L"C:Certificates", false, Unsuitable, L"相対パスまたは無効なパスです。"},
        {L"\\\\server\\share\\logs", false, Unsuitable, L"相対パスまたは無効なパスです。"},
        {L"q:\\logs", false, Unsuitable, L"Q:\\ は CD/DVD/ISO 読み取り専用ドライブのため書き込みできません。"},
        {L"X:\\logs", true, Unsuitable, L"X:\\ は WinPE の一時RAMディスクのため"},
        {L"X:\\logs", false, Accepted, L"X:\\logs"},
        {longest + L"b", false, TooLong, L""},
        {longest, false, Accepted, longest},
        {L"C:\\readonly", false, NotWritable, L""},
        {L"  C:\\Logs\t\r\n", false, Accepted, L"C:\\Logs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.outcome << " " << c.typed.size());
        std::vector<std::wstring> probed;
        const FolderVerdict v = CheckChosenFolder(c.typed, drives, c.winPE, [&probed](const std::wstring& folder) {
            probed.push_back(folder);
            return folder != L"C:\\readonly";
        });
        EXPECT_EQ(v.accepted, c.outcome == Accepted);
        EXPECT_EQ(probed.size(), (c.outcome == Accepted || c.outcome == NotWritable) ? 1u : 0u)
            << "the write test runs only after the path checks passed";
        switch (c.outcome) {
            case Accepted:
                EXPECT_EQ(v.path, c.detail);
                break;
            case Empty:
                EXPECT_EQ(v.text, L"保存先フォルダパスを入力または選択してください。");
                EXPECT_EQ(v.style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
                break;
            case Unsuitable:
                EXPECT_NE(v.text.find(L"理由: " + c.detail), std::wstring::npos) << testing::PrintToString(v.text);
                EXPECT_EQ(v.title, L"Morvane Disk Eraser");
                break;
            case TooLong:
                EXPECT_NE(v.text.find(L"212文字以内"), std::wstring::npos);
                break;
            case NotWritable:
                EXPECT_EQ(v.title, L"書き込み不可エラー");
                EXPECT_EQ(v.style, static_cast<UINT>(MB_OK | MB_ICONERROR));
                break;
        }
    }
    // The longest accepted folder still holds the longest certificate file name.
    EXPECT_EQ((longest + L"\\" + std::wstring(29, L'Z') + L"_Certificate.html").size(), std::size_t{MAX_PATH - 1});
}

}  // namespace
}  // namespace morvane
