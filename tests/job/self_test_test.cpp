// The headless self-test run in-process: its pipeline, its virtual disk record,
// its command-line match and the exit code for an unwritable output folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/win32.h"

#include "job/self_test.h"
#include "disk/safety.h"
#include "settings/output_folder.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

TEST(SelfTest, CommandLineMatchIsAPlainSubstring) {
    EXPECT_TRUE(WantsSelfTest(L"--self-test"));
    EXPECT_TRUE(WantsSelfTest(L"/quiet --self-test"));
    EXPECT_TRUE(WantsSelfTest(L"x--self-testy"));
    EXPECT_FALSE(WantsSelfTest(L"--SELF-TEST"));
    EXPECT_FALSE(WantsSelfTest(L"--self test"));
    EXPECT_FALSE(WantsSelfTest(L""));
    EXPECT_FALSE(WantsSelfTest(nullptr));
}

TEST(SelfTest, VirtualDiskRecordIsProtected) {
    const DiskInfo d = SelfTestVirtualDisk();
    EXPECT_EQ(d.index, 99);
    EXPECT_EQ(d.devicePath, L"\\\\.\\PhysicalDrive99");
    EXPECT_EQ(d.sizeBytes, 549755813888ULL);
    EXPECT_EQ(FormatSize(d.sizeBytes), L"512.00 GB");
    EXPECT_EQ(d.mediaKind, MediaNvmeSsd);
    EXPECT_EQ(d.busKind, BusNvme);
    EXPECT_EQ(d.safety, SystemDisk);
    EXPECT_TRUE(d.driveLetters.empty());
}

TEST(SelfTest, PassesAndWritesItsCertificate) {
    const std::filesystem::path folder = DefaultOutputFolder();
    const auto before = std::filesystem::exists(folder)
                            ? std::distance(std::filesystem::directory_iterator(folder),
                                            std::filesystem::directory_iterator())
                            : 0;
    EXPECT_EQ(RunSelfTest(), 0);
    const auto after = std::distance(std::filesystem::directory_iterator(folder),
                                     std::filesystem::directory_iterator());
    EXPECT_EQ(after, before + 3) << "one HTML, one audit log and one JSON report";

    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(temp) / L"zolt_stamp_selftest.bin"))
        << "the temporary stamp image is deleted";
}

TEST(SelfTest, UnwritableOutputFolderGivesExitCode3) {
    // Put a plain file where the default certificate folder should be.
    const std::filesystem::path folder = DefaultOutputFolder();
    const std::filesystem::path aside = folder.wstring() + L".aside";
    std::filesystem::remove_all(aside);
    std::filesystem::rename(folder, aside);
    { std::ofstream blocker(folder); }
    const int code = RunSelfTest();
    std::filesystem::remove(folder);
    std::filesystem::rename(aside, folder);
    EXPECT_EQ(code, 3);
}

// A folder in the image's place makes the image impossible to create: the stamp writer
// is then untested, which must not read as a pass.
TEST(SelfTest, UncreatableTemporaryImageGivesExitCode6) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path image = std::filesystem::path(temp) / L"zolt_stamp_selftest.bin";
    ASSERT_TRUE(std::filesystem::create_directory(image));
    const int code = RunSelfTest();
    std::filesystem::remove(image);
    EXPECT_EQ(code, 6);
}

}  // namespace
}  // namespace morvane
