// Read-back verification: levels, sample positions, mismatch inside and outside the
// sampled windows of a sparse 1 TB image, read errors, cancellation and simulation.
#include <gtest/gtest.h>

#include "erase/verify.h"
#include "support/engine_disk.h"

namespace morvane {
namespace {

using testing::ExpectUnbufferedTransfers;
using testing::IoOp;
using testing::ImageDisk;
using testing::RecordingDiskIo;

constexpr std::uint64_t kTerabyte = 1'000'204'886'016ull;  // a 1 TB disk, whole 512-byte sectors

EraseJob RealJob(std::uint64_t size, std::uint32_t sector, VerifyLevel level) {
    EraseJob job;
    job.disk.sizeBytes = size;
    job.disk.bytesPerSector = sector;
    job.verifyLevel = level;
    job.execMode = ExecMode::RealHardwareWrite;
    return job;
}

OverwritePass LastPass(PatternKind kind, std::uint8_t byte = 0) {
    OverwritePass pass;
    pass.number = 1;
    pass.kind = kind;
    pass.pattern = {byte, 0, 0};
    pass.label = L"Pass 1/1: Zero Fill (0x00)";
    return pass;
}

struct Outcome {
    JobStatus status = JobStatus::NotRun;
    std::wstring verdict;
    std::vector<EraseProgressInfo> progress;
    std::vector<std::wstring> log;
};

Outcome Verify(DiskIo& io, const EraseJob& job, const OverwritePass& last,
               CancelFlag* cancel = nullptr, std::size_t cancelAfter = 0) {
    Outcome out;
    out.status = VerifyDisk(
        io, job, last, cancel,
        [&](const EraseProgressInfo& p) {
            out.progress.push_back(p);
            if (cancel && out.progress.size() == cancelAfter) cancel->store(1);
        },
        [&](const std::wstring& line) { out.log.push_back(line); }, out.verdict);
    return out;
}

// Byte offsets of the sampled 64 KiB windows, from the sample formula.
std::vector<std::uint64_t> WindowStarts(std::uint64_t size, std::uint32_t sector, std::uint32_t n) {
    const std::uint32_t shift = n == 256 ? 8 : 6;
    std::vector<std::uint64_t> starts;
    for (std::uint64_t i = 0; i < n; ++i) {
        starts.push_back((((size / sector) - 65536 / sector) * i >> shift) * sector);
    }
    return starts;
}

TEST(VerifyLevels, NamesAndSampleCounts) {
    EXPECT_EQ(VerifyLevelName(VerifyLevel{0}), L"検証なし (Skip Verify)");
    EXPECT_EQ(VerifyLevelName(VerifyLevel{1}), L"クイック検証 (Quick Sample Verify)");
    EXPECT_EQ(VerifyLevelName(VerifyLevel{2}), L"全領域検証 (Full Surface Verify)");
    EXPECT_EQ(VerifyLevelName(VerifyLevel{9}), VerifyLevelName(VerifyLevel{1}));
    EXPECT_EQ(VerifySampleCount(VerifyLevel{0}), 0u);
    EXPECT_EQ(VerifySampleCount(VerifyLevel{1}), 64u);
    EXPECT_EQ(VerifySampleCount(VerifyLevel{2}), 256u);
    EXPECT_EQ(VerifySampleCount(VerifyLevel{7}), 64u);
    EXPECT_EQ(VerifySampleSector(1000, 128, 0, 6), 0u);
    EXPECT_EQ(VerifySampleSector(1000, 128, 63, 6), (872u * 63) >> 6);
    EXPECT_EQ(VerifySampleSector(100, 128, 63, 6), 0u);  // smaller than one read: no wrap-around
}

TEST(VerifyDisk, SkipLevelDoesNothing) {
    RecordingDiskIo io;
    const Outcome out = Verify(io, RealJob(kTerabyte, 512, VerifyLevel::Skip), LastPass(PatternKind::Fixed));
    EXPECT_EQ(out.status, JobStatus::Completed);
    EXPECT_EQ(out.verdict, L"SKIPPED (検証なし設定)");
    EXPECT_TRUE(out.progress.empty());
    EXPECT_TRUE(out.log.empty());
    EXPECT_TRUE(io.ops.empty());
}

TEST(VerifyDisk, ReadsSixtyFourKiBAtTheFormulaPositionsForBothSectorSizes) {
    struct Case {
        std::uint64_t size;
        std::uint32_t sector;
        VerifyLevel level;
        std::uint32_t reads;
    };
    const Case cases[] = {
        {kTerabyte, 512, VerifyLevel::QuickSample, 64},
        {kTerabyte, 4096, VerifyLevel::QuickSample, 64},
        {4'000'787'030'016ull, 4096, VerifyLevel::FullSurface, 256},
        {123'456'789'012ull, 512, VerifyLevel::FullSurface, 256},
        {kTerabyte, 0, VerifyLevel{5}, 64},  // sector size 0 reads as 512, level 5 as quick
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        RecordingDiskIo io;  // reads return zeros
        const Outcome out = Verify(io, RealJob(c.size, c.sector, c.level), LastPass(PatternKind::Fixed));
        EXPECT_EQ(out.status, JobStatus::Completed);
        EXPECT_EQ(out.verdict, L"PASSED (All Sampled Sectors Verified Clean)");
        const std::uint32_t sector = c.sector == 0 ? 512 : c.sector;
        ExpectUnbufferedTransfers(io, sector);
        const auto reads = io.Of(IoOp::Read);
        ASSERT_EQ(reads.size(), c.reads);
        const auto starts = WindowStarts(c.size, sector, c.reads);
        for (std::size_t i = 0; i < reads.size(); ++i) {
            EXPECT_EQ(reads[i].size, 65536u);
            EXPECT_EQ(reads[i].offset, starts[i]) << "sample " << i;
        }
        EXPECT_LT(reads.back().offset + 65536, c.size);
        ASSERT_EQ(out.progress.size(), c.reads);
        const auto n = static_cast<std::int32_t>(c.reads);
        for (std::int32_t i = 0; i < n; ++i) {
            const EraseProgressInfo& p = out.progress[static_cast<std::size_t>(i)];
            EXPECT_EQ(p.phase, 2u);
            EXPECT_EQ(p.passNumber, 0u);
            EXPECT_EQ(p.totalPasses, 0u);
            EXPECT_EQ(p.overallPercent, 95 + i * 5 / n);
            EXPECT_EQ(p.passPercent, static_cast<std::uint32_t>((i * 100 + 100) / n));
            EXPECT_EQ(p.speedMBps, 0.0);
            EXPECT_EQ(p.label, L"ベリファイ検証中 (セクタリードバック確認)...");
        }
        EXPECT_EQ(out.progress.back().passPercent, 100u);
        EXPECT_EQ(out.log, (std::vector<std::wstring>{
                               L"[VERIFY] セクタ読み出しベリファイ検証を開始します...",
                               L"[VERIFY] 物理セクタのベリファイ検証が正常に完了しました (PASSED)。"}));
    }
}

TEST(VerifyDisk, OneStrayByteFailsOnlyInsideASampledWindow) {
    const auto starts = WindowStarts(kTerabyte, 512, 64);
    const std::uint64_t inside = starts[37] + 40'000;
    const std::uint64_t outside = starts[37] + 65536;  // first byte after window 37
    ASSERT_LT(outside, starts[38]);
    struct Case {
        std::uint64_t offset;
        PatternKind kind;
        JobStatus status;
        const wchar_t* verdict;
        DWORD access = GENERIC_READ | GENERIC_WRITE;
    };
    const Case cases[] = {
        {0, PatternKind::Fixed, JobStatus::Completed, L"PASSED (All Sampled Sectors Verified Clean)"},  // no stray byte
        {inside, PatternKind::Fixed, JobStatus::Failed, L"FAILED (Pattern Mismatch Detected)"},
        {outside, PatternKind::Fixed, JobStatus::Completed, L"PASSED (All Sampled Sectors Verified Clean)"},
        {kTerabyte - 1, PatternKind::Fixed, JobStatus::Completed, L"PASSED (All Sampled Sectors Verified Clean)"},
        {inside, PatternKind::Random, JobStatus::Completed, L"PASSED (All Sampled Sectors Verified Clean)"},  // read only
        {inside, PatternKind::Triple, JobStatus::Completed, L"PASSED (All Sampled Sectors Verified Clean)"},
        {0, PatternKind::Fixed, JobStatus::Failed, L"FAILED (Sector Read Error)", GENERIC_WRITE},  // the handle cannot read
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        ImageDisk image(kTerabyte, c.access);
        ASSERT_TRUE(image.handle);
        if (c.offset != 0) { ASSERT_TRUE(testing::PokeFile(image.path, c.offset, {0x01})); }
        std::wstring verdict;
        EXPECT_EQ(VerifyDisk(image.handle.get(), RealJob(kTerabyte, 512, VerifyLevel::QuickSample), LastPass(c.kind),
                             nullptr, {}, {}, verdict),
                  c.status);
        EXPECT_EQ(verdict, c.verdict);
    }
}

TEST(VerifyDisk, FailuresAndCancellationGiveTheirVerdicts) {
    struct Case {
        const char* name;
        int failReadAt;
        std::size_t cancelAfter;
        std::uint8_t pattern;
        JobStatus status;
        const wchar_t* verdict;
        std::size_t reads;
    };
    const Case cases[] = {
        {"first read fails", 0, 0, 0, JobStatus::Failed, L"FAILED (Sector Read Error)", 1},
        {"read 10 fails", 10, 0, 0, JobStatus::Failed, L"FAILED (Sector Read Error)", 11},
        {"cancelled after sample 5", -1, 5, 0, JobStatus::Cancelled, L"CANCELLED", 5},
        {"zeros read after a 0xFF pass", -1, 0, 0xFF, JobStatus::Failed, L"FAILED (Pattern Mismatch Detected)", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDiskIo io;
        io.failReadAt = c.failReadAt;
        CancelFlag cancel{0};
        const Outcome out = Verify(io, RealJob(kTerabyte, 4096, VerifyLevel::QuickSample), LastPass(PatternKind::Fixed, c.pattern),
                                   &cancel, c.cancelAfter);
        EXPECT_EQ(out.status, c.status);
        EXPECT_EQ(out.verdict, c.verdict);
        EXPECT_EQ(io.Of(IoOp::Read).size(), c.reads);
        EXPECT_EQ(out.log.size(), 1u) << "failure paths log nothing of their own";
    }
}

TEST(VerifyDisk, SimulationPacesTenStepsAndCancels) {
    EraseJob job;
    job.execMode = ExecMode::SimulationDryRun;
    job.verifyLevel = VerifyLevel::FullSurface;
    std::wstring verdict;
    std::vector<EraseProgressInfo> records;
    std::vector<std::wstring> log;
    EXPECT_EQ(VerifyDisk(INVALID_HANDLE_VALUE, job, LastPass(PatternKind::Fixed), nullptr,
                         [&](const EraseProgressInfo& p) { records.push_back(p); },
                         [&](const std::wstring& line) { log.push_back(line); }, verdict),
              JobStatus::Completed);
    EXPECT_EQ(verdict, L"PASSED (Simulation 100% Verified)");
    ASSERT_EQ(records.size(), 10u);
    for (std::int32_t step = 1; step <= 10; ++step) {
        const EraseProgressInfo& p = records[static_cast<std::size_t>(step - 1)];
        EXPECT_EQ(p.phase, 2u);
        EXPECT_EQ(p.overallPercent, 90 + step);
        EXPECT_EQ(p.passPercent, static_cast<std::uint32_t>(step * 10));
        EXPECT_EQ(p.speedMBps, 1420.0);
        EXPECT_EQ(p.label, L"[ベリファイ検証中] セクタ整合性チェック...");
    }
    EXPECT_EQ(log, (std::vector<std::wstring>{L"[VERIFY] セクタ読み出しベリファイ検証を開始します...",
                                             L"[VERIFY] ベリファイ検証が正常に完了しました (PASSED)。"}));

    CancelFlag cancel{0};
    records.clear();
    EXPECT_EQ(VerifyDisk(INVALID_HANDLE_VALUE, job, LastPass(PatternKind::Fixed), &cancel,
                         [&](const EraseProgressInfo& p) {
                             records.push_back(p);
                             cancel.store(1);
                         },
                         {}, verdict),
              JobStatus::Cancelled);
    EXPECT_EQ(verdict, L"CANCELLED");
    EXPECT_EQ(records.size(), 1u);
}

}  // namespace
}  // namespace morvane
