// The erase job end to end on image-file "disks": every standard for real, and
// every failure path with its verdict, stamp state and evidence files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "common/text.h"
#include "disk/safety.h"
#include "erase/pass_writer.h"
#include "erase/standards.h"
#include "erase/verify.h"
#include "evidence/certificate_set.h"
#include "job/erase_job.h"
#include "stamp/detect.h"
#include "stamp/stamp_ops.h"
#include "support/stamp_samples.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

constexpr std::uint64_t kMiB = 1048576;

class EraseJobTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    std::wstring image = dir.file(L"disk.img");
    std::wstring certs = dir.file(L"certs");
    int lockCalls = 0;
    std::vector<std::wstring> logs;
    EraseJobEdges edges;

    void SetUp() override {
        // Image-file disks have no volumes; the recorder also proves when nothing was locked.
        edges.lockVolumes = [this](int, const LogCallback&) {
            ++lockCalls;
            return LockedVolumes{};
        };
        // The machine the guard sees: a normal Windows whose system lies on disk 0.
        edges.environment = [] {
            SafetyEnvironment machine;
            machine.systemDisks = {{0}, true};
            return machine;
        };
    }

    EraseJob RealJob(std::uint32_t standard, std::uint64_t size = 64 * kMiB) {
        EXPECT_TRUE(testing::CreateImageFile(image, size));
        EraseJob job;
        job.disk.index = 31;
        job.disk.devicePath = image;
        // What a scan records for a plain file: no descriptor, so the default model and serial.
        job.disk.model = L"Generic Physical Disk";
        job.disk.serialNumber = L"N/A";
        job.disk.sizeBytes = size;
        job.disk.bytesPerSector = 512;
        job.disk.mediaKind = MediaHdd;
        job.disk.busKind = BusSata;
        job.disk.safety = Erasable;
        job.unlockInternal = 1;  // the image stands for an internal disk the operator unlocked
        job.standard = standard;
        job.verifyLevel = VerifyLevel::QuickSample;
        job.execMode = ExecMode::RealHardwareWrite;
        job.operatorName = L"山田 太郎";
        job.organizationName = L"Morvane QA";
        job.outputFolder = certs;
        return job;
    }

    EraseResult Run(const EraseJob& job, const CancelFlag* cancel = nullptr,
                    ProgressCallback progress = nullptr) {
        return RunEraseJob(job, false, cancel, std::move(progress),
                           [this](const std::wstring& line) { logs.push_back(line); }, edges);
    }

    std::size_t CertificateFileCount() const {
        std::error_code ec;
        if (!std::filesystem::exists(certs, ec)) return 0;
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(certs),
                                                      std::filesystem::directory_iterator()));
    }

    bool Logged(const std::wstring& prefix) const {
        return std::any_of(logs.begin(), logs.end(),
                           [&](const std::wstring& l) { return l.rfind(prefix, 0) == 0; });
    }
    std::ptrdiff_t LogIndex(const std::wstring& prefix) const {
        auto it = std::find_if(logs.begin(), logs.end(),
                               [&](const std::wstring& l) { return l.rfind(prefix, 0) == 0; });
        return it == logs.end() ? -1 : it - logs.begin();
    }
};

bool AllZero(const std::vector<unsigned char>& bytes, std::size_t from, std::size_t to) {
    return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                       bytes.begin() + static_cast<std::ptrdiff_t>(to),
                       [](unsigned char b) { return b == 0; });
}

std::string FileText(const std::wstring& path) {
    const auto bytes = testing::ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(EraseJobTest, EveryStandardForRealOnAnImage) {
    for (std::uint32_t standard = 0; standard < kStandardCount; ++standard) {
        SCOPED_TRACE(testing::Narrow(StandardName(standard)));
        logs.clear();
        EraseJob job = RealJob(standard);
        job.noStamp = (standard == ZeroFill || standard == Dod3Pass) ? 1 : 0;
        if (standard == ZeroFill) job.disk.mediaKind = MediaSsd;  // flash media get TRIM too
        job.verifyLevel = standard % 2 == 1 ? VerifyLevel::FullSurface : VerifyLevel::QuickSample;
        const EraseResult r = Run(job);

        ASSERT_EQ(r.status, JobStatus::Completed) << testing::Narrow(r.verificationResult);
        EXPECT_EQ(r.verificationResult, standard % 2 == 1 ? L"PASSED (Full Surface Verified Clean)"
                                                          : L"PASSED (All Sampled Sectors Verified Clean)");
        EXPECT_EQ(r.passesCompleted, BuildPassPlan(standard).size());
        EXPECT_EQ(r.passesPlanned, r.passesCompleted);
        EXPECT_EQ(r.bytesWritten, r.passesCompleted * job.disk.sizeBytes);
        EXPECT_GT(r.elapsedSeconds, 0.0);

        const auto bytes = testing::ReadFileBytes(image);
        ASSERT_EQ(bytes.size(), 64 * kMiB);
        const bool stamped = job.noStamp == 0;
        const std::size_t stampEnd = stamped ? 131072 : 0;
        EXPECT_TRUE(AllZero(bytes, stampEnd, kMiB)) << "first MiB after the stamp must be zero";
        EXPECT_TRUE(AllZero(bytes, bytes.size() - kMiB, bytes.size())) << "last MiB must be zero";

        const bool lastRandom = BuildPassPlan(standard).back().kind == PatternKind::Random;
        const std::size_t zeros = static_cast<std::size_t>(
            std::count(bytes.begin() + kMiB, bytes.end() - kMiB, 0));
        const std::size_t middle = bytes.size() - 2 * kMiB;
        if (lastRandom) {
            EXPECT_LT(zeros, middle / 100) << "random data has about 1/256 zero bytes";
        } else {
            EXPECT_EQ(zeros, middle) << "the final zero pass covers the whole disk";
        }

        const ReportStamp detected = DetectReportStamp(job.disk, {});
        if (stamped) {
            EXPECT_EQ(r.diskStampStatus,
                      L"BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)");
            EXPECT_EQ(bytes[510], 0x55);
            EXPECT_EQ(bytes[511], 0xAA);
            EXPECT_FALSE(detected.failed);
            EXPECT_EQ(detected.certificateId, r.certificateId);
            EXPECT_EQ(detected.operatorName, L"山田 太郎");
            EXPECT_EQ(detected.sha256Fingerprint, r.sha256Fingerprint);
        } else {
            // Zeros are claimed only where the last pass wrote zeros.
            EXPECT_EQ(r.diskStampStatus,
                      lastRandom ? L"OVERWRITTEN WITH RANDOM DATA (スタンプなし・最終パス: 暗号論的乱数 / パーティション領域 0x00 消去済)"
                                 : L"PURE ZERO WIPED (スタンプなし・全セクタ 0x00 完全未初期化状態)");
            EXPECT_TRUE(AllZero(bytes, 0, 131072));
            EXPECT_TRUE(detected.failed);
            EXPECT_EQ(r.stamp.stampStatus, r.diskStampStatus) << "the record tells what the disk holds";
            EXPECT_EQ(Logged(L"[DISK STATE] スタンプを記録せず、ディスク全領域を完全消去 (0x00・未初期化) 状態で完了しました。"),
                      !lastRandom);
            EXPECT_EQ(Logged(L"[DISK STATE] スタンプを記録せず、最終パスのデータ (暗号論的乱数) で全領域を上書きした状態"),
                      lastRandom);
        }

        // Evidence: three files named from the ID, sealed with the run's fingerprint.
        EXPECT_EQ(r.htmlPath, certs + L"\\" + r.certificateId + L"_Certificate.html");
        EXPECT_EQ(r.auditLogPath, certs + L"\\" + r.certificateId + L"_AuditLog.txt");
        EXPECT_EQ(r.jsonPath, certs + L"\\" + r.certificateId + L"_Report.json");
        EXPECT_EQ(r.sha256Fingerprint, ComputeFingerprint(r));
        EXPECT_TRUE(r.message.empty());
        EXPECT_FALSE(Logged(L"[CERTIFICATE] ")) << "the window words the success itself";
        EXPECT_NE(FileText(r.jsonPath).find(testing::Narrow(r.sha256Fingerprint)), std::string::npos);
        EXPECT_NE(FileText(r.auditLogPath).find(WideToUtf8(L"  Verification Level : " + VerifyLevelName(job.verifyLevel))),
                  std::string::npos);
        EXPECT_FALSE(r.stamp.failed);

        // Log order: passes, partition wipe, verification, then the stamp or disk state.
        const auto firstPass = LogIndex(L"[HARDWARE WRITE] 開始: ");
        const auto wipe = LogIndex(L"[PARTITION] ");
        const auto verify = LogIndex(L"[VERIFY] ");
        EXPECT_GE(firstPass, 0);
        EXPECT_GT(wipe, firstPass);
        EXPECT_GT(verify, wipe);
        const bool trimExpected = standard == NistPurge || standard == NistClear || standard == ZeroFill;
        EXPECT_EQ(Logged(L"[INFO] ハードウェアTRIM通知はスキップされました。"), trimExpected)
            << "TRIM goes to NIST runs and flash media only (a plain file refuses it)";
        EXPECT_EQ(lockCalls, static_cast<int>(standard) + 1);
    }
}

// Leaves a stamped image from a real-mode erase where the boot check asks for it
// (MORVANE_BOOT_IMAGE), with the run's certificate ID beside it; the check then
// boots the image under SeaBIOS and looks for that ID on screen.
TEST_F(EraseJobTest, StampedImageForTheBootCheck) {
    wchar_t target[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"MORVANE_BOOT_IMAGE", target, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) GTEST_SKIP() << "run by the boot check only";
    EraseJob job = RealJob(NistClear, 8 * kMiB);
    const EraseResult r = Run(job);
    ASSERT_EQ(r.status, JobStatus::Completed);
    ASSERT_EQ(r.diskStampStatus, L"BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)");
    ASSERT_TRUE(::CopyFileW(image.c_str(), target, FALSE));
    std::ofstream(std::filesystem::path(std::wstring(target) + L".certid")) << testing::Narrow(r.certificateId);
}

// The safety guard and the wrong-disk check refuse alike: nothing locked, opened or written.
TEST_F(EraseJobTest, ProtectedOrChangedDisksAreRefusedBeforeAnythingIsTouched) {
    const std::wstring guard = L"安全保護ロックされているディスクのため、実機消去をブロックしました。";
    const auto protect = [](std::uint32_t safety) { return [safety](EraseJob& job) { job.disk.safety = safety; }; };
    const auto answer = [this](DiskIdentity identity) {
        return [this, identity](EraseJob&) {
            edges.queryIdentity = [identity](const std::wstring&) { return std::optional<DiskIdentity>(identity); };
        };
    };
    struct Case {
        const char* what;
        std::function<void(EraseJob&)> change;
        bool identity;  // refused by the wrong-disk check rather than the safety guard
    };
    const Case cases[] = {
        {"system disk", protect(SystemDisk), false},
        {"WinPE boot medium", protect(WinPEBootMedium), false},
        {"locked internal disk", protect(InternalLocked), false},
        {"unknown status", protect(7), false},
        {"image grown after the scan", [&](EraseJob&) { ASSERT_TRUE(testing::CreateImageFile(image, 5 * kMiB)); }, true},
        {"image shrunk after the scan", [&](EraseJob&) { ASSERT_TRUE(testing::CreateImageFile(image, 3 * kMiB)); }, true},
        {"another model", answer({L"Other Stick", L"N/A", 4 * kMiB}), true},
        {"another serial", answer({L"Generic Physical Disk", L"B-2", 4 * kMiB}), true},
        {"unqueryable device", [&](EraseJob&) { edges.queryIdentity = [](const std::wstring&) { return std::optional<DiskIdentity>(); }; }, true},
        {"device gone", [&](EraseJob& job) { job.disk.devicePath = dir.file(L"missing.img"); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        logs.clear();
        edges.queryIdentity = nullptr;
        EraseJob job = RealJob(ZeroFill, 4 * kMiB);
        c.change(job);
        const auto before = testing::ReadFileBytes(image);
        const EraseResult r = Run(job);
        EXPECT_EQ(r.status, JobStatus::Failed);
        EXPECT_EQ(r.verificationResult, c.identity ? L"BLOCKED: DISK IDENTITY CHANGED" : L"BLOCKED BY SAFETY GUARD");
        EXPECT_EQ(r.message, c.identity ? kDiskIdentityChangedMessage : guard);
        EXPECT_EQ(r.diskStampStatus, L"NOT STAMPED");
        EXPECT_EQ(r.elapsedSeconds, 0.0);
        EXPECT_FALSE(r.endTime.empty());
        EXPECT_TRUE(r.htmlPath.empty());
        EXPECT_EQ(logs, (std::vector<std::wstring>{L"[CRITICAL SAFETY] " + r.message}));
        EXPECT_EQ(testing::ReadFileBytes(image), before);
    }
    EXPECT_EQ(lockCalls, 0) << "no volume may be locked for a refused disk";
    EXPECT_EQ(CertificateFileCount(), 0u);
}

// The machine is read once per job, and that one profile is what the certificates and
// the disk's stamp both carry.
TEST_F(EraseJobTest, HardwareIsCollectedOncePerJob) {
    int collections = 0;
    edges.collectHardware = [&](const DiskInfo&) {
        HardwareProfile h;
        h.manufacturer = L"Collection " + std::to_wstring(++collections);
        return h;
    };
    struct Case {
        const char* what;
        ExecMode mode;
        bool failWrites;
        bool cancel;
        JobStatus status;
    };
    const Case cases[] = {
        {"real, completed", ExecMode::RealHardwareWrite, false, false, JobStatus::Completed},
        {"real, write error", ExecMode::RealHardwareWrite, true, false, JobStatus::Failed},
        {"simulation, completed", ExecMode::SimulationDryRun, false, false, JobStatus::Completed},
        {"simulation, cancelled", ExecMode::SimulationDryRun, false, true, JobStatus::Cancelled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        collections = 0;
        edges.openDisk = nullptr;
        if (c.failWrites) {
            edges.openDisk = [](const std::wstring& path) {
                return UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
            };
        }
        EraseJob job = RealJob(NistClear, 4 * kMiB);
        job.execMode = c.mode;
        CancelFlag cancel{c.cancel ? 1u : 0u};
        const EraseResult r = Run(job, &cancel);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(collections, 1);
        EXPECT_EQ(r.stamp.hardware.manufacturer, L"Collection 1");
        EXPECT_NE(FileText(r.jsonPath).find("Collection 1"), std::string::npos);
        if (c.status == JobStatus::Completed && c.mode == ExecMode::RealHardwareWrite) {
            EXPECT_EQ(DetectReportStamp(job.disk, {}).hardware.manufacturer, L"Collection 1");
        }
    }
}

TEST_F(EraseJobTest, DiskThatCannotBeOpened) {
    EraseJob job = RealJob(ZeroFill, 4 * kMiB);
    edges.openDisk = [](const std::wstring&) { return UniqueFile(); };
    const EraseResult r = Run(job);
    EXPECT_EQ(r.status, JobStatus::Failed);
    EXPECT_EQ(r.verificationResult, L"OPEN HANDLE FAILED");
    EXPECT_EQ(r.diskStampStatus, L"NOT STAMPED");
    EXPECT_EQ(r.message, L"物理ディスクを書き込みモードで開けませんでした。管理者権限またはディスク使用状況を確認してください。");
    EXPECT_EQ(r.elapsedSeconds, 0.0);
    EXPECT_TRUE(Logged(L"[ERROR] 物理ディスクを書き込みモードで開けませんでした。"));
    EXPECT_EQ(lockCalls, 1);
    EXPECT_EQ(CertificateFileCount(), 0u);
}

TEST_F(EraseJobTest, CancelInSecondOfThreePasses) {
    EraseJob job = RealJob(Dod3Pass, 16 * kMiB);
    CancelFlag cancel{0};
    const EraseResult r = Run(job, &cancel, [&](const EraseProgressInfo& p) {
        if (p.phase == 1 && p.passNumber == 2) cancel = 1;
    });
    EXPECT_EQ(r.status, JobStatus::Cancelled);
    EXPECT_EQ(r.passesCompleted, 1u);
    EXPECT_EQ(r.bytesWritten, 16 * kMiB) << "the first pass was written in full";
    EXPECT_EQ(r.verificationResult, L"CANCELLED BY USER");
    EXPECT_EQ(r.diskStampStatus, L"NOT STAMPED");
    EXPECT_TRUE(r.stamp.failed);
    EXPECT_EQ(CertificateFileCount(), 3u);
    EXPECT_NE(FileText(r.auditLogPath).find("CANCELLED BY USER"), std::string::npos);
    EXPECT_NE(FileText(r.jsonPath).find("CANCELLED BY USER"), std::string::npos);
}

TEST_F(EraseJobTest, WriteFailureIsAWriteError) {
    EraseJob job = RealJob(ZeroFill, 4 * kMiB);
    // A handle without write access fails the first chunk, as a failing disk would.
    edges.openDisk = [](const std::wstring& path) {
        return UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    };
    const EraseResult r = Run(job);
    EXPECT_EQ(r.status, JobStatus::Failed);
    EXPECT_EQ(r.verificationResult, L"WRITE ERROR");
    EXPECT_EQ(r.diskStampStatus, L"NOT STAMPED");
    EXPECT_EQ(r.passesCompleted, 0u);
    EXPECT_EQ(CertificateFileCount(), 3u);
    EXPECT_NE(FileText(r.jsonPath).find("WRITE ERROR"), std::string::npos);
}

// A verification that fails or is cancelled leaves a job that did not complete: no stamp,
// no claim about the disk's state, no completion line, and the written passes counted.
TEST_F(EraseJobTest, InterruptedVerificationClaimsNothing) {
    // Sample 32 of 64 starts at sector ((T - R) * 32) >> 6 with T = 131072, R = 128.
    const std::uint64_t sampled = ((131072ULL - 128) * 32 >> 6) * 512 + 100;
    struct Case {
        const char* what;
        ExecMode mode;
        std::uint32_t noStamp;
        bool mismatch;  // else cancelled during the verification
        JobStatus status;
        const wchar_t* verdict;
        const wchar_t* state;
    };
    const Case cases[] = {
        {"real, mismatch, no stamp wanted", ExecMode::RealHardwareWrite, 1, true, JobStatus::Failed,
         L"FAILED (Pattern Mismatch Detected)", L"NOT STAMPED"},
        {"real, cancelled, stamp wanted", ExecMode::RealHardwareWrite, 0, false, JobStatus::Cancelled, L"CANCELLED",
         L"NOT STAMPED"},
        {"simulation, cancelled, stamp wanted", ExecMode::SimulationDryRun, 0, false, JobStatus::Cancelled,
         L"CANCELLED", L"ABORTED"},
        {"simulation, cancelled, no stamp wanted", ExecMode::SimulationDryRun, 1, false, JobStatus::Cancelled,
         L"CANCELLED", L"ABORTED"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        logs.clear();
        EraseJob job = RealJob(ZeroFill, 64 * kMiB);
        job.execMode = c.mode;
        job.noStamp = c.noStamp;
        CancelFlag cancel{0};
        const EraseResult r = Run(job, &cancel, [&](const EraseProgressInfo& p) {
            if (!c.mismatch && p.phase == 2) cancel = 1;
            if (c.mismatch && p.phase == 1 && p.passPercent == 100) {
                std::fstream f(std::filesystem::path(image), std::ios::in | std::ios::out | std::ios::binary);
                f.seekp(static_cast<std::streamoff>(sampled));
                f.put('\x01');
            }
        });
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.verificationResult, c.verdict);
        EXPECT_EQ(r.diskStampStatus, c.state);
        EXPECT_FALSE(Logged(L"[DISK STATE] "));
        EXPECT_FALSE(Logged(L"[DISK STAMP] "));
        EXPECT_EQ(r.bytesWritten, c.mode == ExecMode::RealHardwareWrite ? 64 * kMiB : 0u);
        EXPECT_TRUE(r.stamp.failed);
        const auto head = testing::ReadFileBytes(image, 0, 131072);
        EXPECT_TRUE(AllZero(head, 0, head.size())) << "no stamp after an interrupted verification";
        EXPECT_NE(FileText(r.jsonPath).find(testing::Narrow(c.verdict)), std::string::npos);
    }
}

// Evidence that cannot be written is no success: the paths stay empty, the message says
// so and names the folder, and each failed file has its "[ERROR] " line.
TEST_F(EraseJobTest, CertificateFailureIsCarriedInTheResult) {
    ASSERT_TRUE(testing::CreateImageFile(certs, 16));  // a file where the folder should be
    EraseJob job = RealJob(ZeroFill, 4 * kMiB);
    const EraseResult r = Run(job);
    EXPECT_EQ(r.status, JobStatus::Completed) << "the disk itself was erased";
    EXPECT_TRUE(r.htmlPath.empty() && r.auditLogPath.empty() && r.jsonPath.empty());
    EXPECT_EQ(r.message,
              L"消去証明書・監査ログ・JSONレポートを保存できませんでした。出力先フォルダを確認してください: " + certs);
    EXPECT_TRUE(Logged(L"[ERROR] 証明書ファイルの書き込みに失敗しました: " + certs + L"\\" + r.certificateId +
                       L"_Certificate.html"));
}

// Neither the certificate nor the disk's stamp says "VERIFIED" for a run that skipped the
// read-back, and a dry run's certificate says that nothing was erased.
TEST_F(EraseJobTest, OnlyAPassedReadBackIsCalledVerified) {
    const struct {
        ExecMode mode;
        const char* badge;
        const char* fallback;  // the stamp's MBR line; none for a dry run
    } cases[] = {
        {ExecMode::RealHardwareWrite, "COMPLETED - NOT VERIFIED (消去完了・検証なし)",
         "[MORVANE DISK ERASER] SANITIZED, UNVERIFIED. Cert: "},
        {ExecMode::SimulationDryRun, "SIMULATION ONLY - NOT ERASED (シミュレーション・未消去)", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.badge);
        EraseJob job = RealJob(NistClear, 4 * kMiB);
        job.execMode = c.mode;
        job.verifyLevel = c.mode == ExecMode::RealHardwareWrite ? VerifyLevel::Skip : VerifyLevel::QuickSample;
        const EraseResult r = Run(job);
        ASSERT_EQ(r.status, JobStatus::Completed);
        EXPECT_NE(FileText(r.htmlPath).find(std::string("<div class=\"badge\">") + c.badge + "</div>"),
                  std::string::npos);
        if (c.fallback != nullptr) {
            const auto head = testing::ReadFileBytes(image, 0, 512);
            EXPECT_NE(std::string(head.begin(), head.end()).find(c.fallback), std::string::npos);
        }
    }
}

// A standard without passes fails loudly, before any disk is touched.
TEST_F(EraseJobTest, EmptyPassPlanFailsWithAMessage) {
    EraseJob job = RealJob(kStandardCount, 4 * kMiB);
    const EraseResult r = Run(job);
    EXPECT_EQ(r.status, JobStatus::Failed);
    EXPECT_EQ(r.message, L"消去規格 (番号 8) にパス構成がないため、消去を開始できませんでした。");
    EXPECT_EQ(logs, (std::vector<std::wstring>{L"[ERROR] " + r.message}));
    EXPECT_EQ(lockCalls, 0);
    EXPECT_EQ(CertificateFileCount(), 0u);
}

// One byte changed after the last pass: sampled by the quick level, or between the
// samples where only the full surface finds it; random last passes are compared too.
TEST_F(EraseJobTest, VerificationMismatchLeavesNoStamp) {
    // Sample 32 of 64 starts at sector ((T - R) * 32) >> 6 with T = 131072, R = 128.
    const std::uint64_t sampled = ((131072ULL - 128) * 32 >> 6) * 512 + 100;
    const std::uint64_t between = sampled + 65536;
    struct Case {
        std::uint32_t standard;
        VerifyLevel level;
        std::uint64_t offset;
    };
    const Case cases[] = {
        {ZeroFill, VerifyLevel::QuickSample, sampled},
        {CryptoRandom, VerifyLevel::QuickSample, sampled},
        {Dod3Pass, VerifyLevel::FullSurface, between},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.standard);
        EraseJob job = RealJob(c.standard, 64 * kMiB);
        job.verifyLevel = c.level;
        const std::size_t filesBefore = CertificateFileCount();
        const EraseResult r = Run(job, nullptr, [&](const EraseProgressInfo& p) {
            if (p.phase == 1 && p.passPercent == 100) {  // after every pass; the last one's change stays
                std::fstream f(std::filesystem::path(image), std::ios::in | std::ios::out | std::ios::binary);
                f.seekg(static_cast<std::streamoff>(c.offset));
                const char old = static_cast<char>(f.get());
                f.seekp(static_cast<std::streamoff>(c.offset));
                f.put(static_cast<char>(old ^ 0x21));
            }
        });
        EXPECT_EQ(r.status, JobStatus::Failed);
        EXPECT_EQ(r.verificationResult, L"FAILED (Pattern Mismatch Detected)");
        EXPECT_TRUE(Logged(L"[VERIFY] 最終パスの書き込み内容との不一致を検出しました: 先頭の不一致バイト オフセット " +
                           std::to_wstring(c.offset) + L" "));
        EXPECT_EQ(r.diskStampStatus, L"NOT STAMPED");
        EXPECT_TRUE(r.stamp.failed);
        const auto head = testing::ReadFileBytes(image, 0, 131072);
        EXPECT_TRUE(AllZero(head, 0, head.size())) << "no stamp after a failed verification";
        EXPECT_EQ(CertificateFileCount(), filesBefore + 3);
    }
}

// The overall percent only climbs over a whole job, real or simulated, and says 100
// once: in the job's last report.
TEST_F(EraseJobTest, OverallProgressOnlyClimbsAndReachesHundredAtTheEnd) {
    struct Case {
        ExecMode mode;
        std::uint32_t standard;
        VerifyLevel level;
    };
    const Case cases[] = {
        {ExecMode::RealHardwareWrite, Dod3Pass, VerifyLevel::FullSurface},
        {ExecMode::RealHardwareWrite, ZeroFill, VerifyLevel::QuickSample},
        {ExecMode::RealHardwareWrite, NistClear, VerifyLevel::Skip},
        {ExecMode::SimulationDryRun, NistPurge, VerifyLevel::QuickSample},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.standard);
        EraseJob job = RealJob(c.standard, 16 * kMiB);
        job.execMode = c.mode;
        job.verifyLevel = c.level;
        std::vector<EraseProgressInfo> progress;
        const EraseResult r = Run(job, nullptr, [&](const EraseProgressInfo& p) { progress.push_back(p); });
        ASSERT_EQ(r.status, JobStatus::Completed);
        ASSERT_GT(progress.size(), 2u);
        for (std::size_t i = 1; i < progress.size(); ++i) {
            EXPECT_GE(progress[i].overallPercent, progress[i - 1].overallPercent)
                << "report " << i << " phase " << progress[i].phase;
        }
        EXPECT_EQ(progress.back().overallPercent, 100);
        EXPECT_EQ(std::count_if(progress.begin(), progress.end(), [](const EraseProgressInfo& p) { return p.overallPercent >= 100; }), 1);
        EXPECT_EQ(progress.front().phase, 1u);
    }
}

// The keys that make a random pass reproducible stay in memory: no evidence file, log
// line or byte of the disk (stamp included) carries them, raw or as hex.
TEST_F(EraseJobTest, RandomPassKeysAppearInNothingTheJobWrites) {
    std::vector<std::string> keys;
    edges.keySeed = [&](unsigned char* data, std::size_t size) {
        if (!SystemRandomFill(data, size)) return false;
        keys.emplace_back(reinterpret_cast<const char*>(data), 32);
        return true;
    };
    const EraseResult r = Run(RealJob(HmgIs5, 16 * kMiB));
    ASSERT_EQ(r.status, JobStatus::Completed);
    ASSERT_EQ(r.diskStampStatus, L"BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)");
    ASSERT_FALSE(keys.empty());
    std::vector<std::string> written = {FileText(r.htmlPath), FileText(r.auditLogPath), FileText(r.jsonPath),
                                        FileText(image)};
    for (const std::wstring& line : logs) written.push_back(WideToUtf8(line));
    for (const std::string& key : keys) {
        std::string lower, upper;
        for (unsigned char b : key) {
            static const char* digits = "0123456789abcdef0123456789ABCDEF";
            lower += {digits[b >> 4], digits[b & 15]};
            upper += {digits[16 + (b >> 4)], digits[16 + (b & 15)]};
        }
        for (const std::string& text : written) {
            EXPECT_EQ(text.find(key), std::string::npos);
            EXPECT_EQ(text.find(lower), std::string::npos);
            EXPECT_EQ(text.find(upper), std::string::npos);
        }
    }
}

TEST_F(EraseJobTest, CertificatesDisabledWritesNoFiles) {
    EraseJob job = RealJob(ZeroFill, 4 * kMiB);
    job.certificatesDisabled = 1;
    const EraseResult r = Run(job);
    EXPECT_EQ(r.status, JobStatus::Completed);
    EXPECT_TRUE(r.htmlPath.empty());
    EXPECT_TRUE(r.auditLogPath.empty());
    EXPECT_TRUE(r.jsonPath.empty());
    EXPECT_EQ(r.sha256Fingerprint.size(), 64u);
    EXPECT_EQ(CertificateFileCount(), 0u);
}

TEST_F(EraseJobTest, SimulationOnTheSystemDiskIsAllowedAndTouchesNothing) {
    EraseJob job = RealJob(ZeroFill, 4 * kMiB);
    job.disk.safety = SystemDisk;
    job.execMode = ExecMode::SimulationDryRun;
    std::vector<EraseProgressInfo> progress;
    const EraseResult r = Run(job, nullptr, [&](const EraseProgressInfo& p) { progress.push_back(p); });
    EXPECT_EQ(r.status, JobStatus::Completed);
    EXPECT_EQ(r.verificationResult, L"PASSED (Simulation 100% Verified)");
    EXPECT_EQ(r.diskStampStatus,
              L"STAMPED (Simulation Verified - Bootable Report Stamp & Hardware Profile Ready)");
    EXPECT_EQ(r.bytesWritten, 0u) << "a dry run writes nothing";
    EXPECT_EQ(lockCalls, 0);
    EXPECT_EQ(CertificateFileCount(), 3u);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().overallPercent, 100);
    EXPECT_EQ(logs.front(), L"=== [安全シミュレーション(Dry-Run)モード] 実際のディスク内容は変更されません ===");
    EXPECT_TRUE(Logged(L"[DISK STAMP] 実機消去＆ハードウェアレポート画面スタンプ (Cert ID: " + r.certificateId));
    const auto bytes = testing::ReadFileBytes(image);
    EXPECT_TRUE(AllZero(bytes, 0, bytes.size()));
}

// The stamp is laid out in 512-byte units: a 4096-byte-sector disk is erased and left
// zeroed, and neither the job nor the operator puts a stamp on it.
TEST_F(EraseJobTest, FourKSectorDiskGetsNoStamp) {
    EraseJob job = RealJob(ZeroFill, 4 * kMiB);
    job.disk.bytesPerSector = 4096;
    const EraseResult r = Run(job);
    EXPECT_EQ(r.status, JobStatus::Completed);
    EXPECT_EQ(r.diskStampStatus, L"STAMP WRITE SKIPPED");
    EXPECT_EQ(r.stamp.stampStatus, L"STAMP WRITE SKIPPED");
    EXPECT_NE(FileText(r.jsonPath).find("STAMP WRITE SKIPPED"), std::string::npos);
    EXPECT_TRUE(Logged(L"[DISK STAMP] 論理セクタサイズが 4096 バイトのディスクでは"));
    EXPECT_FALSE(Logged(testing::kStampWrittenLine));
    const auto head = testing::ReadFileBytes(image, 0, 131072);
    EXPECT_TRUE(AllZero(head, 0, head.size()));

    logs.clear();
    const LogCallback log = [this](const std::wstring& line) { logs.push_back(line); };
    EXPECT_FALSE(StampDiskByOperator(job.disk, r.stamp, log, {}, true, edges.environment));
    EXPECT_TRUE(Logged(L"[DISK STAMP] 論理セクタサイズが 4096 バイトのディスクでは"));
    EXPECT_EQ(testing::ReadFileBytes(image, 0, 131072), head);
}

// The record of a real erasure can be engraved again on its own disk after a stamp
// erase (also as read back from the disk); a simulation's record never.
TEST_F(EraseJobTest, RealErasureRecordIsEngravedAgainOnItsOwnDisk) {
    EraseJob job = RealJob(ZeroFill, 4 * kMiB);
    const LogCallback log = [this](const std::wstring& line) { logs.push_back(line); };
    const auto stamp = [&](const ReportStamp& record) {
        return StampDiskByOperator(job.disk, record, log, {}, true, edges.environment);
    };
    const EraseResult real = Run(job);
    ASSERT_EQ(real.status, JobStatus::Completed);
    EraseJob dryRun = job;
    dryRun.execMode = ExecMode::SimulationDryRun;
    dryRun.noStamp = 1;
    const EraseResult simulated = Run(dryRun);
    ASSERT_EQ(simulated.status, JobStatus::Completed);

    ASSERT_TRUE(EraseStampArea(job.disk, log, {}, true, edges.environment));
    EXPECT_FALSE(stamp(simulated.stamp));
    EXPECT_TRUE(DetectReportStamp(job.disk, {}).failed) << "the simulation's record was not written";
    ASSERT_TRUE(stamp(real.stamp));
    ReportStamp detected = DetectReportStamp(job.disk, {});
    EXPECT_EQ(detected.certificateId, real.certificateId);

    ASSERT_TRUE(EraseStampArea(job.disk, log, {}, true, edges.environment));
    detected.stampStatus = L"Pure Zero Wiped (スタンプ消去済・全セクタ完全未初期化 0x00)";  // as the report window shows it
    ASSERT_TRUE(stamp(detected));
    EXPECT_EQ(DetectReportStamp(job.disk, {}).certificateId, real.certificateId);
}

TEST_F(EraseJobTest, SimulationCancelledIsAbortedWithoutAnIdentityCheck) {
    EraseJob job = RealJob(NistPurge, kMiB);
    job.execMode = ExecMode::SimulationDryRun;
    job.disk.devicePath = dir.file(L"not-there.img");  // a simulation touches no device
    job.noStamp = 1;
    CancelFlag cancel{0};
    const EraseResult r = Run(job, &cancel, [&](const EraseProgressInfo& p) {
        if (p.passNumber == 2) cancel = 1;
    });
    EXPECT_EQ(r.status, JobStatus::Cancelled);
    EXPECT_EQ(r.passesCompleted, 1u);
    EXPECT_EQ(r.verificationResult, L"ABORTED");
    EXPECT_EQ(r.diskStampStatus, L"ABORTED");
    EXPECT_TRUE(Logged(L"[NIST SP 800-88 Rev.1] NVMe/SSD 全LBAブロック解放"));
    EXPECT_EQ(CertificateFileCount(), 3u);
}

}  // namespace
}  // namespace morvane
