// The output-folder edge for real under Wine: the write probe on writable and
// unwritable folders, and the default folder of this (non-WinPE) environment.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include "common/win32.h"

#include "settings/output_folder.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::Narrow;
using testing::TempDir;

std::vector<std::wstring> Entries(const fs::path& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    return names;
}

TEST(TestFolderWritable, CreatesMissingParentsAndLeavesNoProbe) {
    TempDir temp;
    struct Case {
        std::wstring folder;  // relative to the temp folder
        std::wstring check;   // the folder that must exist and stay empty
    };
    const Case cases[] = {
        {L"a\\b\\c", L"a\\b\\c"},
        {L"trailing\\", L"trailing"},
        {L"mixed/seps\\証明書", L"mixed\\seps\\証明書"},
    };
    for (const Case& c : cases) {
        const std::wstring folder = temp.path().wstring() + L"\\" + c.folder;
        EXPECT_TRUE(TestFolderWritable(folder)) << Narrow(folder);
        const fs::path made = temp.path() / c.check;
        ASSERT_TRUE(fs::is_directory(made)) << Narrow(folder);
        EXPECT_TRUE(Entries(made).empty()) << Narrow(folder) << ": probe left behind";
    }
}

TEST(TestFolderWritable, OverwritesAndRemovesAnOldProbe) {
    TempDir temp;
    const fs::path probe = temp.path() / L"_zolt_write_test.tmp";
    std::ofstream(probe) << "stale probe from an interrupted run";
    EXPECT_TRUE(TestFolderWritable(temp.path().wstring()));
    EXPECT_FALSE(fs::exists(probe));
}

TEST(TestFolderWritable, FailsWhereNoFolderCanExist) {
    TempDir temp;
    // A plain file where the folder should be: neither the folder nor a probe in it
    // can be created.
    const fs::path blocker = temp.path() / L"blocker";
    std::ofstream(blocker) << "not a folder";
    EXPECT_FALSE(TestFolderWritable(blocker.wstring()));
    EXPECT_FALSE(TestFolderWritable((blocker / L"sub").wstring()));
    EXPECT_TRUE(fs::is_regular_file(blocker));
    EXPECT_EQ(Entries(temp.path()), std::vector<std::wstring>{L"blocker"});
    // An empty path must not be taken for the current drive's root.
    EXPECT_FALSE(TestFolderWritable(L""));
}

TEST(OutputFolderWin32, DefaultFolderOutsideWinPEIsTheDocumentsFolder) {
    OutputFolderSystem& system = Win32OutputFolderSystem();
    ASSERT_FALSE(system.IsWinPE()) << "the Wine prefix has no MiniNT key";
    wchar_t documents[MAX_PATH] = {};
    ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents), S_OK);
    const std::wstring expected = std::wstring(documents) + L"\\Morvane Disk Eraser Certificates";
    // Start without the folder when it is empty, so its creation is what is checked.
    ::RemoveDirectoryW(expected.c_str());
    const std::wstring folder = DefaultOutputFolder();
    std::printf("default output folder: %s\n", Narrow(folder).c_str());
    EXPECT_EQ(folder, expected);
    EXPECT_TRUE(fs::is_directory(fs::path(folder)));
    EXPECT_TRUE(TestFolderWritable(folder));
    // The prefix's documents folder may be a link to the build machine's home: leave
    // no empty folder behind there.
    ::RemoveDirectoryW(expected.c_str());
}

TEST(OutputFolderWin32, EnvironmentFacts) {
    OutputFolderSystem& system = Win32OutputFolderSystem();
    const std::wstring exe = system.ExecutablePath();
    EXPECT_TRUE(exe.ends_with(L"test_settings.exe")) << Narrow(exe);
    const auto roots = system.DriveRoots();
    EXPECT_NE(std::find(roots.begin(), roots.end(), L"C:\\"), roots.end());
    EXPECT_EQ(system.DriveType(L"C:\\"), kDriveTypeFixed);

    TempDir temp;
    const std::wstring folder = temp.file(L"once");
    EXPECT_EQ(system.CreateFolder(folder), FolderCreation::Created);
    EXPECT_EQ(system.CreateFolder(folder), FolderCreation::AlreadyExisted);
    EXPECT_EQ(system.CreateFolder(temp.file(L"missing\\child")), FolderCreation::Failed);
    EXPECT_TRUE(system.CanWriteInto(folder));
    EXPECT_FALSE(system.CanWriteInto(temp.file(L"missing")));

    // The real drive check: this prefix's C: is a fixed disk, and X: is no RAM disk here.
    std::wstring reason;
    EXPECT_FALSE(ValidateOutputPath(temp.path().wstring(), reason));
    EXPECT_FALSE(ValidateOutputPath(L"X:\\logs", reason));
    EXPECT_TRUE(reason.empty());
    EXPECT_TRUE(ValidateOutputPath(L"\\\\server\\share", reason));
    EXPECT_EQ(reason, L"相対パスまたは無効なパスです。");
}

}  // namespace
}  // namespace morvane
