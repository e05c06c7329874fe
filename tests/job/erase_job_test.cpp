// The erase job end to end on image-file "disks": every standard for real, and every
// refusal, interruption and other outcome with its verdict, stamp state and evidence. Then
// the headless self-test run in-process: command line, virtual disk record, evidence and
// exit codes. Each self-test case has its own documents folder (the shell's answer is
// redirected) and temp folder (TMP): no case touches the user's folders or another run's files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/text.h"
#include "erase/pass_writer.h"
#include "erase/standards.h"
#include "evidence/certificate_set.h"
#include "job/erase_job_fixture.h"
#include "job/self_test.h"
#include "stamp/detect.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using namespace testing;
constexpr std::size_t kStampBytes = 131072;
const std::wstring kStampActive = L"BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)";

// Also: the overall percent only climbs and says 100 once, at the end; the elapsed time is the
// clock's, in seconds; the random passes' keys are fresh for every pass and stay in memory: no
// evidence file, log line or byte of the disk carries them, raw or as hex.
TEST_F(EraseJobTest, EveryStandardForRealOnAnImage) {
    const testing::ManualClock clock;
    const std::uint32_t media[] = {MediaHdd, MediaSsd, MediaNvmeSsd};
    std::vector<std::string> keys;
    edges.keySeed = [&](unsigned char* data, std::size_t size) {
        return SystemRandomFill(data, size) && (keys.emplace_back(reinterpret_cast<const char*>(data), 32), true);
    };
    for (std::uint32_t standard = 0; standard < kStandardCount; ++standard) {
        SCOPED_TRACE(standard);
        keys.clear();
        EraseJob job = ImageJob(standard, 16 * kMiB);
        job.disk.mediaKind = media[standard % 3];
        job.noStamp = standard == ZeroFill || standard == Dod3Pass;
        job.verifyLevel = standard == DodEce7Pass ? VerifyLevel::Skip : standard % 2 ? VerifyLevel::FullSurface : VerifyLevel::QuickSample;
        std::vector<EraseProgressInfo> progress;
        const EraseResult r = Run(job, nullptr, [&](const EraseProgressInfo& p) {
            if (progress.empty()) testing::ManualClock::now += 90'500;  // the job takes 90.5 s
            progress.push_back(p);
        });
        const auto plan = BuildPassPlan(standard);
        ASSERT_EQ(r.status, JobStatus::Completed) << testing::Narrow(r.verificationResult);
        EXPECT_EQ(r.verificationResult, standard == DodEce7Pass ? L"SKIPPED (検証なし設定)"
                                        : standard % 2              ? L"PASSED (Full Surface Verified Clean)" : L"PASSED (All Sampled Sectors Verified Clean)");
        EXPECT_EQ(r.elapsedSeconds, 90.5);
        for (std::size_t i = 1; i < progress.size(); ++i) EXPECT_GE(progress[i].overallPercent, progress[i - 1].overallPercent) << i;
        EXPECT_EQ(std::count_if(progress.begin(), progress.end(), [](const EraseProgressInfo& p) { return p.overallPercent >= 100; }), 1);
        EXPECT_TRUE(progress.front().phase == 1 && progress.back().overallPercent == 100);
        EXPECT_TRUE(r.bytesWritten == plan.size() * job.disk.sizeBytes && r.message.empty() && lockCalls == 1 && collections == 1);
        // TRIM goes to NIST runs and to SATA and NVMe flash; the image file refuses it, which is logged.
        EXPECT_EQ(Logged(L"TRIM通知はスキップ"), standard == NistPurge || standard == NistClear || job.disk.mediaKind != MediaHdd);
        const auto bytes = testing::ReadFileBytes(image);
        ASSERT_EQ(bytes.size(), job.disk.sizeBytes);
        const bool stamped = job.noStamp == 0, lastRandom = plan.back().kind == PatternKind::Random;
        EXPECT_TRUE(testing::AllBytesAre(bytes, stamped ? kStampBytes : 0, kMiB)) << "first MiB past the stamp";
        EXPECT_TRUE(testing::AllBytesAre(bytes, bytes.size() - kMiB, bytes.size())) << "last MiB";
        const auto zeros = static_cast<std::size_t>(std::count(bytes.begin() + kMiB, bytes.end() - kMiB, 0));
        EXPECT_TRUE(lastRandom ? zeros < bytes.size() / 100 : zeros == bytes.size() - 2 * kMiB) << zeros;
        const ReportStamp detected = DetectReportStamp(job.disk, {});
        EXPECT_EQ(detected.failed, !stamped);
        if (stamped) {
            EXPECT_EQ(r.diskStampStatus, kStampActive);
            EXPECT_TRUE(detected.certificateId == r.certificateId && detected.sha256Fingerprint == r.sha256Fingerprint);
            EXPECT_EQ(detected.hardware.manufacturer, L"Collection 1") << "the profile the certificates carry";
        } else {  // zeros are claimed only where the last pass wrote zeros; the record says what the disk holds
            EXPECT_EQ(r.diskStampStatus.rfind(lastRandom ? L"OVERWRITTEN WITH RANDOM DATA" : L"PURE ZERO WIPED", 0), 0u);
            EXPECT_EQ(r.stamp.stampStatus, r.diskStampStatus);
            EXPECT_TRUE(Logged(lastRandom ? L"最終パスのデータ (暗号論的乱数)" : L"完全消去 (0x00・未初期化) 状態"));
        }
        // Evidence sealed with the run's fingerprint and hardware (its file names are the evidence tests').
        EXPECT_EQ(r.sha256Fingerprint, ComputeFingerprint(r));
        const std::string json = ReadText(r.jsonPath);
        EXPECT_TRUE(json.find(testing::Narrow(r.sha256Fingerprint)) != std::string::npos && json.find("Collection 1") != std::string::npos);
        ASSERT_EQ(keys.size(), (std::size_t)std::count_if(plan.begin(), plan.end(), [](const OverwritePass& p) { return p.kind == PatternKind::Random; }));
        std::vector<std::string> written = {json, ReadText(r.htmlPath), ReadText(r.auditLogPath), std::string(bytes.begin(), bytes.end())};
        for (const std::wstring& line : logs) written.push_back(WideToUtf8(line));
        for (const std::string& key : keys) {
            EXPECT_EQ(std::count(keys.begin(), keys.end(), key), 1) << "a key used twice";
            std::string lower, upper;
            for (unsigned char b : key) lower += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]}, upper += {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
            for (const std::string& text : written) EXPECT_TRUE(text.find(key) == text.npos && text.find(lower) == text.npos && text.find(upper) == text.npos);
        }
    }
}

// Leaves a stamped image of a real erase, and its certificate ID beside it, where the boot
// check asks (MORVANE_BOOT_IMAGE); the check boots it under SeaBIOS and looks for the ID.
TEST_F(EraseJobTest, StampedImageForTheBootCheck) {
    wchar_t target[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"MORVANE_BOOT_IMAGE", target, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) GTEST_SKIP() << "run by the boot check only";
    const EraseResult r = Run(ImageJob(NistClear, 8 * kMiB));
    ASSERT_EQ(r.diskStampStatus, kStampActive);
    ASSERT_TRUE(::CopyFileW(image.c_str(), target, FALSE));
    std::ofstream(std::filesystem::path(std::wstring(target) + L".certid")) << testing::Narrow(r.certificateId);
}

// The safety guard and the wrong-disk check refuse alike: nothing locked, read, written or filed.
TEST_F(EraseJobTest, ProtectedOrChangedDisksAreRefusedBeforeAnythingIsTouched) {
    const auto protect = [](std::uint32_t safety) { return [safety](EraseJob& job) { job.disk.safety = safety; }; };
    const auto answer = [this](std::optional<DiskIdentity> identity) {
        return [this, identity](EraseJob&) { edges.queryIdentity = [identity](const std::wstring&) { return identity; }; };
    };
    const auto resize = [this](std::uint64_t size) { return [this, size](EraseJob&) { testing::CreateImageFile(image, size); }; };
    const struct { const char* what; std::function<void(EraseJob&)> change; bool identity; } cases[] = {
        {"system disk", protect(SystemDisk), false},
        {"locked internal disk", protect(InternalLocked), false},
        {"unknown status", protect(7), false},
        {"image shrunk after the scan", resize(3 * kMiB), true},
        {"another model", answer(DiskIdentity{L"Other Stick", L"N/A", 4 * kMiB}), true},
        {"unqueryable device", answer(std::nullopt), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        edges.queryIdentity = nullptr;
        EraseJob job = ImageJob(ZeroFill);
        c.change(job);
        const auto before = testing::ReadFileBytes(image);
        const EraseResult r = Run(job);
        EXPECT_TRUE(r.status == JobStatus::Failed && r.diskStampStatus == L"NOT STAMPED" && r.elapsedSeconds == 0.0);
        EXPECT_EQ(r.verificationResult, c.identity ? L"BLOCKED: DISK IDENTITY CHANGED" : L"BLOCKED BY SAFETY GUARD");
        EXPECT_TRUE(c.identity ? r.message == kDiskIdentityChangedMessage : r.message.find(L"安全保護ロック") != std::wstring::npos);
        EXPECT_EQ(logs, (std::vector<std::wstring>{L"[CRITICAL SAFETY] " + r.message}));
        EXPECT_TRUE(testing::ReadFileBytes(image) == before && lockCalls == 0 && collections == 0 && CertificateFileCount() == 0);
    }
}

// Interrupted jobs claim nothing (no stamp or disk state; the passes written counted; evidence
// says why); a simulation may run on the system disk and touches nothing; a disk with 4096-byte
// sectors gets no stamp, which is laid out in 512-byte units.
TEST_F(EraseJobTest, OutcomesOtherThanAStampedVerifiedErasure) {
    // Sample 32 of 64 on a 16 MiB disk starts at sector ((32768 - 128) * 32) >> 6.
    const std::uint64_t sampled = ((32768ULL - 128) * 32 >> 6) * 512 + 100;
    enum Upset { None, CannotOpen, ReadOnly, CancelInPass2, CancelInVerify, Change, SystemDiskSimulated, FourKSectors };
    const ExecMode real = ExecMode::RealHardwareWrite, dry = ExecMode::SimulationDryRun;
    const std::wstring mismatch = L"FAILED (Pattern Mismatch Detected)";
    const struct {
        const char* what; std::uint32_t standard; ExecMode mode; VerifyLevel level; Upset upset; std::uint64_t offset;
        JobStatus status; std::wstring verdict, state; std::uint32_t passes; std::size_t files; std::wstring line;
    } cases[] = {
        {"disk cannot be opened", ZeroFill, real, VerifyLevel::QuickSample, CannotOpen, 0, JobStatus::Failed, L"OPEN HANDLE FAILED",
         L"NOT STAMPED", 0, 0, L"[ERROR] 物理ディスクを書き込みモードで開けませんでした"},
        {"write error", ZeroFill, real, VerifyLevel::QuickSample, ReadOnly, 0, JobStatus::Failed, L"WRITE ERROR", L"NOT STAMPED", 0, 9, L""},
        {"cancelled in pass 2 of 3", Dod3Pass, real, VerifyLevel::QuickSample, CancelInPass2, 0, JobStatus::Cancelled,
         L"CANCELLED BY USER", L"NOT STAMPED", 1, 9, L""},
        {"sampled byte changed", ZeroFill, real, VerifyLevel::QuickSample, Change, sampled, JobStatus::Failed, mismatch, L"NOT STAMPED", 1, 9,
         L"オフセット " + std::to_wstring(sampled) + L" "},
        {"simulation cancelled in verification", ZeroFill, dry, VerifyLevel::QuickSample, CancelInVerify, 0, JobStatus::Cancelled,
         L"CANCELLED", L"ABORTED", 1, 9, L""},
        {"simulation cancelled in pass 2, no device", NistPurge, dry, VerifyLevel::QuickSample, CancelInPass2, 0, JobStatus::Cancelled,
         L"ABORTED", L"ABORTED", 1, 9, L"全LBAブロック解放 (TRIM/Deallocate) シミュレーション"},
        {"simulation on the system disk", ZeroFill, dry, VerifyLevel::QuickSample, SystemDiskSimulated, 0, JobStatus::Completed,
         L"PASSED (Simulation 100% Verified)", L"STAMPED (Simulation Verified - Bootable Report Stamp & Hardware Profile Ready)", 1, 9,
         L"[DISK STAMP] 実機消去＆ハードウェアレポート画面スタンプ (Cert ID: "},
        {"4096-byte sectors", ZeroFill, real, VerifyLevel::QuickSample, FourKSectors, 0, JobStatus::Completed,
         L"PASSED (All Sampled Sectors Verified Clean)", L"STAMP WRITE SKIPPED", 1, 9, L"[DISK STAMP] 論理セクタサイズが 4096 バイト"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EraseJob job = ImageJob(c.standard, 16 * kMiB);
        job.execMode = c.mode;
        job.verifyLevel = c.level;
        if (c.upset == CancelInPass2 && c.mode == dry) job.disk.devicePath = dir.file(L"absent.img");
        if (c.upset == SystemDiskSimulated) job.disk.safety = SystemDisk;
        if (c.upset == FourKSectors) job.disk.bytesPerSector = 4096;
        edges.openDisk = nullptr;
        if (c.upset == CannotOpen) edges.openDisk = [](const std::wstring&) { return UniqueFile(); };
        if (c.upset == ReadOnly) edges.openDisk = [](const std::wstring& path) { return testing::OpenImageAsDisk(path, GENERIC_READ); };
        CancelFlag cancel{0};
        const std::size_t filesBefore = CertificateFileCount();
        const EraseResult r = Run(job, &cancel, [&](const EraseProgressInfo& p) {
            if ((c.upset == CancelInPass2 && p.passNumber == 2) || (c.upset == CancelInVerify && p.phase == 2)) cancel = 1;
            if (c.upset == Change && p.phase == 1 && p.passPercent == 100) testing::FlipByte(image, c.offset);  // the last pass's stays
        });
        EXPECT_TRUE(r.status == c.status && r.verificationResult == c.verdict) << testing::Narrow(r.verificationResult);
        EXPECT_EQ(r.diskStampStatus, c.state);
        EXPECT_TRUE(c.upset != FourKSectors || r.stamp.stampStatus == c.state) << "the record says what the disk holds";
        EXPECT_TRUE(r.passesCompleted == c.passes && r.bytesWritten == (c.mode == real ? c.passes * job.disk.sizeBytes : 0u));
        EXPECT_TRUE(r.stamp.failed == (c.status != JobStatus::Completed) && DetectReportStamp(job.disk, {}).failed) << "no stamp";
        EXPECT_TRUE((c.line.empty() || Logged(c.line)) && !Logged(L"[DISK STATE] "));
        EXPECT_EQ(Logged(L"[DISK STAMP] "), c.upset == SystemDiskSimulated || c.upset == FourKSectors);
        EXPECT_TRUE(CertificateFileCount() == filesBefore + c.files && lockCalls == (c.mode == real ? 1 : 0));
        EXPECT_TRUE(c.files == 0 || ReadText(r.jsonPath).find(testing::Narrow(c.verdict)) != std::string::npos);
    }
}

// A dry run without a stamp records what its last pass would leave, marked as simulated
// (that the last pass decides is checked by the real runs of every standard).
TEST_F(EraseJobTest, DryRunDiskStateFollowsTheLastPass) {
    const struct { std::uint32_t standard; std::wstring state; } cases[] = {
        {ZeroFill, L"PURE ZERO WIPED (スタンプなし・完全未初期化状態)"},
        {CryptoRandom, L"SIMULATED - OVERWRITTEN WITH RANDOM DATA (スタンプなし・最終パス: 暗号論的乱数 / パーティション領域 0x00 消去済)"},
    };
    for (const auto& c : cases) {
        EraseJob job = ImageJob(c.standard);
        job.execMode = ExecMode::SimulationDryRun;
        job.noStamp = 1;
        const EraseResult r = Run(job);
        EXPECT_EQ(r.diskStampStatus, c.state) << c.standard;
        EXPECT_EQ(r.stamp.stampStatus, L"Simulation / Dry-Run Report Stamp") << c.standard;
    }
}

TEST_F(EraseJobTest, UnwritableOrDisabledEvidenceAndAnEmptyPlan) {
    ASSERT_TRUE(testing::CreateImageFile(certs, 16));  // a file where the folder should be
    EraseResult r = Run(ImageJob(ZeroFill));
    EXPECT_EQ(r.status, JobStatus::Completed) << "the disk itself was erased";
    EXPECT_TRUE(r.htmlPath.empty() && r.auditLogPath.empty() && r.jsonPath.empty());  // no paths, and the message says so
    EXPECT_TRUE(r.message.find(L"保存できませんでした") != std::wstring::npos && r.message.ends_with(L": " + certs));
    EXPECT_TRUE(Logged(L"書き込みに失敗しました: " + certs + L"\\" + r.certificateId + L"_Certificate.html"));
    ::DeleteFileW(certs.c_str());
    EraseJob job = ImageJob(ZeroFill);
    job.certificatesDisabled = 1;
    r = Run(job);
    EXPECT_TRUE(r.status == JobStatus::Completed && r.htmlPath.empty() && r.jsonPath.empty() && CertificateFileCount() == 0);
    EXPECT_EQ(r.sha256Fingerprint.size(), 64u);
    r = Run(ImageJob(kStandardCount));  // a standard without passes fails before any disk is touched
    EXPECT_TRUE(r.status == JobStatus::Failed && r.message.find(L"(番号 8) にパス構成がない") != std::wstring::npos);
    EXPECT_EQ(logs, (std::vector<std::wstring>{L"[ERROR] " + r.message}));
    EXPECT_TRUE(lockCalls == 0 && CertificateFileCount() == 0);
}

class SelfTest : public ::testing::Test {
protected:
    static inline std::wstring documents;
    static inline decltype(::SHGetFolderPathW)* shell = nullptr;
    static HRESULT WINAPI FolderPath(HWND window, int folder, HANDLE token, DWORD flags, LPWSTR path) {
        if ((folder & 0xFF) != CSIDL_PERSONAL) return shell(window, folder, token, flags, path);
        ::lstrcpynW(path, documents.c_str(), MAX_PATH);
        return S_OK;
    }

    testing::TempDir home;
    testing::ImportRedirect<decltype(::SHGetFolderPathW)> redirect{ImportOfSHGetFolderPathW, &FolderPath};
    fs::path temp = home.path() / L"Temp", certificates = home.path() / L"Documents" / L"Morvane Disk Eraser Certificates";
    wchar_t savedTmp[MAX_PATH] = {};

    void SetUp() override {
        shell = redirect.original();
        documents = (home.path() / L"Documents").wstring();
        fs::create_directories(documents);
        fs::create_directories(temp);
        ::GetEnvironmentVariableW(L"TMP", savedTmp, MAX_PATH);
        ::SetEnvironmentVariableW(L"TMP", (temp.wstring() + L"\\").c_str());
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"TMP", savedTmp[0] ? savedTmp : nullptr); }
};

TEST_F(SelfTest, PassesAndFilesItsEvidenceInTheDocumentsFolder) {
    EXPECT_EQ(SelfTestVirtualDisk().safety, SystemDisk) << "the virtual disk is protected like a system disk";
    ASSERT_EQ(RunSelfTest(), 0);
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(certificates)) names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 9u) << "HTML and PDF certificates, audit log, JSON report, their signatures, the signer";
    const std::wstring id = names[0].substr(0, names[0].find(L'_'));
    EXPECT_EQ(names, (std::vector<std::wstring>{id + L"_AuditLog.txt", id + L"_AuditLog.txt.p7s", id + L"_Certificate.html",
                                                id + L"_Certificate.html.p7s", id + L"_Certificate.pdf",
                                                id + L"_Certificate.pdf.p7s", id + L"_Report.json", id + L"_Report.json.p7s",
                                                id + L"_Signer.cer"}));
    EXPECT_TRUE(fs::is_empty(temp)) << "the temporary stamp image is deleted";
}

TEST_F(SelfTest, ExitCodesForAnUnwritableFolderAndAnUncreatableImage) {
    std::ofstream(certificates).put('x');  // a plain file where the certificate folder goes
    EXPECT_EQ(RunSelfTest(), 3);
    fs::remove(certificates);
    // A folder in the image's place: the stamp writer would go untested, which is no pass.
    ASSERT_TRUE(fs::create_directory(temp / L"zolt_stamp_selftest.bin"));
    EXPECT_EQ(RunSelfTest(), 6);
}

}  // namespace
}  // namespace morvane
