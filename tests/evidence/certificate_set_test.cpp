// The certificate file set on disk: folder resolution, file names, the disabled
// mode, repeat saves and every failure path (folders that cannot be written).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "evidence/certificate_set.h"
#include "evidence/report_fixtures.h"
#include "common/text.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

LogCallback Recorder(std::vector<std::wstring>& lines) {
    return [&lines](const std::wstring& line) { lines.push_back(line); };
}

std::ptrdiff_t FileCount(const fs::path& folder) {
    std::error_code ec;
    return std::distance(fs::directory_iterator(folder, ec), fs::directory_iterator());
}

TEST(CertificateSet, FolderBesideTheProgram) {
    const struct {
        const wchar_t* program;
        const wchar_t* folder;
    } cases[] = {
        {L"C:\\Tools\\MorvaneDiskEraser.exe", L"C:\\Tools\\Certificates"},
        {L"X:/media/MorvaneDiskEraser.exe", L"X:/media\\Certificates"},
        {L"C:\\a/b\\eraser.exe", L"C:\\a/b\\Certificates"},
        {L"eraser.exe", L"Certificates"},
        {L"", L"Certificates"},
    };
    for (const auto& c : cases) EXPECT_EQ(CertificateFolderBeside(c.program), c.folder);
}

TEST(CertificateSet, FileStemKeepsWellFormedIdsAndDefusesPaths) {
    const struct {
        const wchar_t* id;
        const wchar_t* stem;
    } cases[] = {
        {L"ZOLT-20250307-090512-1A2B3C4D", L"ZOLT-20250307-090512-1A2B3C4D"},
        {L"..\\..\\Windows\\evil", L".._.._Windows_evil"},
        {L"a/b:c*d?e\"f<g>h|i", L"a_b_c_d_e_f_g_h_i"},
        {L"tab\there", L"tab_here"},
    };
    for (const auto& c : cases) EXPECT_EQ(CertificateFileStem(c.id), c.stem);
}

// The set is written from the result as recorded (ID, digest and stamp untouched) with
// its paths stored and no line logged, or, when disabled, nothing is written and no paths appear.
TEST(CertificateSet, WritesTheRecordedResultOrNothingWhenDisabled) {
    for (const bool disabled : {false, true}) {
        SCOPED_TRACE(disabled ? "disabled" : "enabled");
        testing::TempDir dir;
        EraseResult r = disabled ? testing::CancelledSimulationResult() : testing::CompletedRealResult();
        const EraseResult recorded = r;
        r.htmlPath = L"left over";
        r.job.certificatesDisabled = disabled ? 1 : 0;
        r.job.outputFolder = dir.file(L"nested\\deeper");  // missing parents are created
        std::vector<std::wstring> log;
        ASSERT_TRUE(SaveCertificateSet(r, Recorder(log)));

        EXPECT_EQ(r.certificateId, recorded.certificateId);
        EXPECT_EQ(r.sha256Fingerprint, recorded.sha256Fingerprint);
        EXPECT_EQ(r.stamp.hardware.manufacturer, recorded.stamp.hardware.manufacturer) << "nothing re-collected";
        if (disabled) {
            EXPECT_TRUE(r.htmlPath.empty() && r.auditLogPath.empty() && r.jsonPath.empty());
            EXPECT_EQ(FileCount(dir.path()), 0);
            EXPECT_TRUE(log.empty());
            continue;
        }
        const std::wstring base = r.job.outputFolder + L"\\" + r.certificateId;
        EXPECT_EQ(r.htmlPath, base + L"_Certificate.html");
        EXPECT_EQ(r.auditLogPath, base + L"_AuditLog.txt");
        EXPECT_EQ(r.jsonPath, base + L"_Report.json");
        for (const std::wstring* p : {&r.htmlPath, &r.auditLogPath, &r.jsonPath})
            EXPECT_FALSE(testing::ReadFileBytes(*p).empty()) << testing::Narrow(*p);
        EXPECT_EQ(FileCount(r.job.outputFolder), 3);
        EXPECT_TRUE(log.empty()) << "success is worded by the caller";
    }
}

// Saving to another folder writes the same three files again without touching the result.
TEST(CertificateSet, WriteCertificateFilesElsewhere) {
    testing::TempDir dir;
    const EraseResult r = testing::CompletedRealResult();
    const CertificatePaths paths = WriteCertificateFiles(r, dir.file(L"usb"), {});
    EXPECT_EQ(paths.json, dir.file(L"usb") + L"\\" + r.certificateId + L"_Report.json");
    const std::vector<unsigned char> json = testing::ReadFileBytes(paths.json);
    EXPECT_NE(std::string(json.begin(), json.end()).find(testing::Narrow(r.sha256Fingerprint)), std::string::npos);
    EXPECT_TRUE(WriteCertificateFiles(r, dir.file(L"usb\\") + L"bad<name>", {}).html.empty());
}

TEST(CertificateSet, UnwritableFoldersFailWithoutPaths) {
    testing::TempDir dir;
    ASSERT_TRUE(testing::CreateImageFile(dir.file(L"plain.bin"), 16));
    const std::wstring cases[] = {
        dir.file(L"plain.bin"),                // the folder is a file
        dir.file(L"plain.bin\\sub"),           // a folder under a file
        dir.file(L"bad<name>|folder"),         // characters no folder name may hold
    };
    for (const std::wstring& folder : cases) {
        SCOPED_TRACE(testing::Narrow(folder));
        EraseResult r = testing::CompletedRealResult();
        r.htmlPath = L"stale";
        r.job.outputFolder = folder;
        std::vector<std::wstring> log;
        EXPECT_FALSE(SaveCertificateSet(r, Recorder(log)));
        EXPECT_TRUE(r.htmlPath.empty() && r.auditLogPath.empty() && r.jsonPath.empty());
        EXPECT_EQ(r.sha256Fingerprint, testing::kCompletedRealDigest) << "still sealed";
        ASSERT_EQ(log.size(), 3) << "one line per failed write, all three attempted";
        EXPECT_NE(log[0].find(L"_Certificate.html"), std::wstring::npos);
        EXPECT_NE(log[1].find(L"_AuditLog.txt"), std::wstring::npos);
        EXPECT_NE(log[2].find(L"_Report.json"), std::wstring::npos);
    }
}

TEST(CertificateSet, TrailingBackslashStillWorks) {
    testing::TempDir dir;
    EraseResult r = testing::CancelledSimulationResult();
    r.job.outputFolder = dir.path().wstring() + L"\\";
    ASSERT_TRUE(SaveCertificateSet(r, {}));
    EXPECT_EQ(r.htmlPath, dir.path().wstring() + L"\\\\" + r.certificateId + L"_Certificate.html");
    EXPECT_FALSE(testing::ReadFileBytes(r.auditLogPath).empty());
    EXPECT_EQ(FileCount(dir.path()), 3);
}

TEST(CertificateSet, TamperedIdCannotLeaveTheFolder) {
    testing::TempDir dir;
    EraseResult r = testing::CancelledSimulationResult();
    r.certificateId = L"..\\escaped";
    r.job.outputFolder = dir.file(L"out");
    ASSERT_TRUE(SaveCertificateSet(r, {}));
    EXPECT_EQ(r.htmlPath, dir.file(L"out") + L"\\.._escaped_Certificate.html");
    EXPECT_EQ(FileCount(dir.path() / L"out"), 3);
    EXPECT_EQ(FileCount(dir.path()), 1) << "nothing written beside the folder";
}

TEST(CertificateSet, EmptyFolderMeansCertificatesBesideTheProgram) {
    EraseResult r = testing::CancelledSimulationResult();
    r.certificateId = L"ZOLT-19990101-000000-DEFAULT0";
    r.job.outputFolder.clear();
    const std::wstring folder = DefaultCertificateFolder();
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    EXPECT_EQ(folder, fs::path(exe).parent_path().wstring() + L"\\Certificates");
    ASSERT_TRUE(SaveCertificateSet(r, {}));
    EXPECT_EQ(r.jsonPath, folder + L"\\ZOLT-19990101-000000-DEFAULT0_Report.json");
    EXPECT_FALSE(testing::ReadFileBytes(r.jsonPath).empty());
    for (const std::wstring* p : {&r.htmlPath, &r.auditLogPath, &r.jsonPath}) ::DeleteFileW(p->c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST(WriteUtf8File, WholeTextOrFailure) {
    testing::TempDir dir;
    const std::wstring path = dir.file(L"out.txt");
    ASSERT_TRUE(WriteUtf8File(path, L"long previous content that must not survive"));
    ASSERT_TRUE(WriteUtf8File(path, L"消去 ok\r\n"));
    const std::vector<unsigned char> bytes = testing::ReadFileBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "\xE6\xB6\x88\xE5\x8E\xBB ok\r\n");
    ASSERT_TRUE(WriteUtf8File(path, L""));
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
    EXPECT_FALSE(WriteUtf8File(dir.file(L"missing\\out.txt"), L"x"));
}

// A NUL character inside a value must neither cut the file short nor end the digest's
// input early (the status is the last field it covers).
TEST(WriteUtf8File, EmbeddedNulDoesNotTruncate) {
    testing::TempDir dir;
    const std::wstring path = dir.file(L"embedded.txt");
    ASSERT_TRUE(WriteUtf8File(path, std::wstring(L"ab\0c秒\0", 6)));
    const std::vector<unsigned char> bytes = testing::ReadFileBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("ab\0c\xE7\xA7\x92\0", 8));

    EraseResult completed = testing::CompletedRealResult();
    completed.job.disk.model = std::wstring(L"Disk\0Hidden", 11);
    EraseResult failed = completed;
    failed.status = JobStatus::Failed;
    EXPECT_NE(ComputeFingerprint(completed), ComputeFingerprint(failed));
    EXPECT_EQ(ComputeFingerprint(completed).size(), 64u);
}

}  // namespace
}  // namespace morvane
