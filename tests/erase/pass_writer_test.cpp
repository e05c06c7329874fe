// The pass writer on image files: chunking, sector rounding, pattern fill, progress
// formulas, cancellation, write and generator failures, and the simulation.
#include <gtest/gtest.h>

#include <algorithm>

#include "erase/pass_writer.h"
#include "erase/keystream_pipeline.h"
#include "support/engine_disk.h"

namespace morvane {
namespace {

using testing::ExpectUnbufferedTransfers;
using testing::ImageDisk;
using testing::IoOp;
using testing::OpenImageAsDisk;
using testing::RecordingDiskIo;

constexpr std::uint64_t MiB = 1024 * 1024;

EraseJob JobFor(const std::wstring& path, std::uint64_t size, std::uint32_t sector) {
    EraseJob job;
    job.disk.devicePath = path;
    job.disk.sizeBytes = size;
    job.disk.bytesPerSector = sector;
    job.execMode = ExecMode::RealHardwareWrite;
    return job;
}

OverwritePass MakePass(PatternKind kind, std::array<std::uint8_t, 3> bytes,
                       std::uint32_t number = 1, std::uint32_t total = 1) {
    OverwritePass pass;
    pass.number = number;
    pass.kind = kind;
    pass.pattern = bytes;
    pass.label = L"Pass " + std::to_wstring(number) + L"/" + std::to_wstring(total) + L": test";
    return pass;
}

struct PassRun {
    JobStatus status = JobStatus::NotRun;
    std::vector<EraseProgressInfo> progress;
    std::vector<std::wstring> log;
};

// Writes one pass over an image file through a recording seam.
PassRun WriteImage(RecordingDiskIo& io, const EraseJob& job, const OverwritePass& pass,
               std::uint32_t totalPasses, CancelFlag* cancel = nullptr, int cancelAfter = -1,
               const RandomFill& random = SystemRandomFill) {
    PassRun run;
    run.status = WritePass(
        io, job, pass, totalPasses, cancel,
        [&](const EraseProgressInfo& p) {
            run.progress.push_back(p);
            if (cancel && static_cast<int>(run.progress.size()) == cancelAfter) cancel->store(1);
        },
        [&](const std::wstring& line) { run.log.push_back(line); }, random);
    return run;
}

TEST(PassWriter, ChunksAreFourMiBThenWholeSectorsForEverySectorSize) {
    struct Case {
        std::uint64_t size;
        std::uint32_t sector;
        std::vector<std::uint32_t> lengths;
        std::uint32_t lastPercent;
    };
    const Case cases[] = {
        {10 * MiB + 1024, 512, {4 * MiB, 4 * MiB, 2 * MiB + 1024}, 100},
        {10 * MiB + 1024 + 300, 512, {4 * MiB, 4 * MiB, 2 * MiB + 1024}, 99},  // partial sector stays
        {9 * MiB + 3 * 4096, 4096, {4 * MiB, 4 * MiB, MiB + 3 * 4096}, 100},
        {9 * MiB + 3 * 4096 + 4000, 4096, {4 * MiB, 4 * MiB, MiB + 3 * 4096}, 99},
        {8 * MiB, 0, {4 * MiB, 4 * MiB}, 100},  // sector size 0 counts as 512
        {1000, 512, {512}, 51},
        {0, 512, {}, 0},  // nothing to write: only the flush
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Narrow(std::to_wstring(c.size) + L"/" + std::to_wstring(c.sector)));
        ImageDisk image(c.size);
        ASSERT_TRUE(image.handle);
        HandleDiskIo file(image.handle.get());
        RecordingDiskIo io(&file);
        const PassRun run = WriteImage(io, JobFor(image.path, c.size, c.sector), MakePass(PatternKind::Fixed, {0xA5, 0, 0}), 1);
        EXPECT_EQ(run.status, JobStatus::Completed);
        ExpectUnbufferedTransfers(io, c.sector == 0 ? 512 : c.sector);
        const auto writes = io.Of(IoOp::Write);
        std::vector<std::uint32_t> lengths;
        std::uint64_t expectedOffset = 0;
        for (const IoOp& w : writes) {
            lengths.push_back(w.size);
            EXPECT_EQ(w.offset, expectedOffset);
            expectedOffset += w.size;
        }
        EXPECT_EQ(lengths, c.lengths);
        ASSERT_EQ(run.progress.size(), c.lengths.size());
        if (!run.progress.empty()) { EXPECT_EQ(run.progress.back().passPercent, c.lastPercent); }
        EXPECT_EQ(io.Of(IoOp::Flush).size(), 1u);
        EXPECT_EQ(io.ops.back().kind, IoOp::Flush);

        const auto bytes = image.Close();
        ASSERT_EQ(bytes.size(), c.size);
        const auto end = bytes.begin() + static_cast<std::ptrdiff_t>(expectedOffset);
        EXPECT_TRUE(std::all_of(bytes.begin(), end, [](unsigned char b) { return b == 0xA5; }));
        EXPECT_TRUE(std::all_of(end, bytes.end(), [](unsigned char b) { return b == 0; }))
            << "the partial last sector must stay untouched";
    }
}

TEST(PassWriter, TriplePatternRestartsAtEveryChunk) {
    const std::uint64_t size = 8 * MiB + 512;
    ImageDisk image(size);
    ASSERT_TRUE(image.handle);
    EXPECT_EQ(WritePass(image.handle.get(), JobFor(image.path, size, 512), MakePass(PatternKind::Triple, {0x92, 0x49, 0x24}),
                        1, nullptr, {}, {}),
              JobStatus::Completed);
    const auto bytes = image.Close();
    ASSERT_EQ(bytes.size(), size);
    const unsigned char pattern[3] = {0x92, 0x49, 0x24};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::size_t inChunk = i % (4 * MiB);
        if (bytes[i] != pattern[inChunk % 3]) FAIL() << "byte " << i << " is " << int(bytes[i]);
    }
    EXPECT_EQ(bytes[4194304], 0x92);  // the second chunk starts over
}

TEST(PassWriter, ProgressReportsEveryChunkOfItsPass) {
    for (std::uint32_t number : {1u, 2u, 3u}) {
        RecordingDiskIo io;  // no image needed: the seam accepts every write
        const OverwritePass pass = MakePass(PatternKind::Fixed, {0, 0, 0}, number, 3);
        const EraseJob job = JobFor(L"none", 8 * MiB, 512);
        const PassRun run = WriteImage(io, job, pass, 3);
        ASSERT_EQ(run.status, JobStatus::Completed);
        ASSERT_EQ(run.progress.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            const EraseProgressInfo& p = run.progress[i];
            EXPECT_EQ(p.phase, 1u);
            EXPECT_EQ(p.passNumber, number);
            EXPECT_EQ(p.totalPasses, 3u);
            EXPECT_EQ(p.passPercent, 50u * (i + 1));
            EXPECT_GE(p.speedMBps, 0.0);
            EXPECT_EQ(p.label, pass.label);
        }
        // The overall percent at the end of a pass is where the next pass (or the
        // verification) starts.
        const std::int32_t next = number < 3 ? PassProgress(job, MakePass(PatternKind::Fixed, {}, number + 1, 3), 3, 0, 0, L"").overallPercent
                                             : VerifyProgress(job, 3, 0, 1, 0, L"").overallPercent;
        EXPECT_EQ(run.progress.back().overallPercent, next);
        EXPECT_LT(run.progress.front().overallPercent, next);
        EXPECT_EQ(run.log, (std::vector<std::wstring>{L"[HARDWARE WRITE] 開始: " + pass.label,
                                                     L"[HARDWARE WRITE] 完了: " + pass.label}));
    }
    EXPECT_EQ(PassPercent(3, 1000), 0u);
    EXPECT_EQ(PassPercent(4'000'787'030'016ull, 4'000'787'030'016ull), 100u);
    EXPECT_EQ(PassPercent(0, 0), 100u);
}

// Over passes and verification the overall percent only climbs, ends at 99 (the job
// alone reports 100), and gives each phase a share that fits how long it takes.
TEST(Progress, OverallClimbsThroughPassesAndVerification) {
    struct Case {
        ExecMode mode;
        VerifyLevel level;
        std::uint32_t passes;
        std::int32_t passesEndMin, passesEndMax;
    };
    const Case cases[] = {
        {ExecMode::RealHardwareWrite, VerifyLevel::Skip, 1, 99, 99},
        {ExecMode::RealHardwareWrite, VerifyLevel::QuickSample, 3, 95, 98},
        {ExecMode::RealHardwareWrite, VerifyLevel{7}, 1, 90, 98},
        {ExecMode::RealHardwareWrite, VerifyLevel::FullSurface, 1, 40, 60},  // a full read is about a pass
        {ExecMode::RealHardwareWrite, VerifyLevel::FullSurface, 35, 90, 98},
        {ExecMode::SimulationDryRun, VerifyLevel::QuickSample, 1, 65, 85},  // 750 ms pass, 250 ms check
        {ExecMode::SimulationDryRun, VerifyLevel::FullSurface, 3, 85, 95},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Narrow(std::to_wstring(c.passes) + L" passes, level " +
                                     std::to_wstring(ValueOf(c.level))));
        EraseJob job;
        job.execMode = c.mode;
        job.verifyLevel = c.level;
        std::vector<std::int32_t> overall;
        for (std::uint32_t n = 1; n <= c.passes; ++n) {
            for (std::uint32_t percent : {0u, 1u, 33u, 50u, 99u, 100u}) {
                overall.push_back(PassProgress(job, MakePass(PatternKind::Fixed, {}, n, c.passes), c.passes, percent, 0, L"")
                                      .overallPercent);
            }
        }
        const std::int32_t passesEnd = overall.back();
        EXPECT_GE(passesEnd, c.passesEndMin);
        EXPECT_LE(passesEnd, c.passesEndMax);
        for (std::uint64_t done = 0; done <= 64; ++done) {
            overall.push_back(VerifyProgress(job, c.passes, done, 64, 0, L"").overallPercent);
        }
        EXPECT_EQ(overall.front(), 0);
        EXPECT_EQ(overall.back(), 99);
        EXPECT_TRUE(std::is_sorted(overall.begin(), overall.end()));
        EXPECT_EQ(FinishedProgress(L"done").overallPercent, 100);
    }
}

TEST(PassWriter, CancellationAndFailuresStopBeforeTheFlush) {
    struct Case {
        const char* name;
        int cancelAfter;  // progress records before the flag is set; 0 = set before the pass
        int failWriteAt;
        int failRandomAt;
        PatternKind kind;
        JobStatus expected;
        std::size_t writes;
    };
    const Case cases[] = {
        {"cancelled before the first chunk", 0, -1, -1, PatternKind::Fixed, JobStatus::Cancelled, 0},
        {"cancelled after chunk 1", 1, -1, -1, PatternKind::Fixed, JobStatus::Cancelled, 1},
        {"cancelled after chunk 2", 2, -1, -1, PatternKind::Fixed, JobStatus::Cancelled, 2},
        {"write fails at chunk 0", -1, 0, -1, PatternKind::Fixed, JobStatus::Failed, 1},
        {"write fails at chunk 2", -1, 2, -1, PatternKind::Fixed, JobStatus::Failed, 3},
        {"generator fails at chunk 0", -1, -1, 0, PatternKind::Random, JobStatus::Failed, 0},
        {"generator fails at chunk 1", -1, -1, 1, PatternKind::Random, JobStatus::Failed, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDiskIo io;
        io.failWriteAt = c.failWriteAt;
        CancelFlag cancel{c.cancelAfter == 0 ? 1u : 0u};
        int fills = 0;
        const RandomFill random = [&](unsigned char* data, std::size_t size) {
            if (fills++ == c.failRandomAt) return false;
            std::memset(data, 0x5A, size);
            return true;
        };
        const OverwritePass pass = MakePass(c.kind, {0, 0, 0});
        const PassRun run = WriteImage(io, JobFor(L"none", 12 * MiB + 512, 512), pass, 1, &cancel,
                                   c.cancelAfter, random);
        EXPECT_EQ(run.status, c.expected);
        EXPECT_EQ(io.Of(IoOp::Write).size(), c.writes);
        EXPECT_TRUE(io.Of(IoOp::Flush).empty()) << "nothing may be flushed";
        EXPECT_EQ(run.log, std::vector<std::wstring>{L"[HARDWARE WRITE] 開始: " + pass.label});
    }
}

TEST(PassWriter, ReadOnlyHandleFailsTheFirstWrite) {
    ImageDisk image(4 * MiB, GENERIC_READ);
    ASSERT_TRUE(image.handle);
    EXPECT_EQ(WritePass(image.handle.get(), JobFor(image.path, 4 * MiB, 512), MakePass(PatternKind::Fixed, {0xFF, 0, 0}), 1,
                        nullptr, {}, {}),
              JobStatus::Failed);
}

TEST(PassWriter, RandomPassWritesFreshKeystreamPerChunkAndPerPass) {
    // Small on purpose: the generator under Wine delivers only about 32 MiB/s.
    const std::uint64_t size = 12 * MiB + 4096;
    ImageDisk image(size);
    std::vector<std::vector<unsigned char>> passes;
    for (int r = 0; r < 2; ++r) {
        if (r > 0) image.handle = OpenImageAsDisk(image.path);
        ASSERT_TRUE(image.handle);
        HandleDiskIo file(image.handle.get());
        RecordingDiskIo io(&file);
        const PassRun run = WriteImage(io, JobFor(image.path, size, 4096), MakePass(PatternKind::Random, {0, 0, 0}), 1,
                                       nullptr, -1, MakeKeystreamFill(SystemRandomFill));
        ASSERT_EQ(run.status, JobStatus::Completed);
        EXPECT_EQ(run.progress.size(), 4u);
        ExpectUnbufferedTransfers(io, 4096);
        passes.push_back(image.Close());
        ASSERT_EQ(passes.back().size(), size);
    }
    for (const auto& bytes : passes) {
        for (std::uint64_t chunk = 0; chunk < 4; ++chunk) {
            const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(chunk * 4 * MiB);
            EXPECT_FALSE(std::all_of(begin, begin + 4096, [](unsigned char b) { return b == 0; }))
                << "chunk " << chunk << " is zeros";
            if (chunk > 0) { EXPECT_FALSE(std::equal(begin, begin + 4096, begin - 4 * MiB)) << "chunk " << chunk; }
        }
        EXPECT_LT(std::count(bytes.begin(), bytes.end(), 0), static_cast<long>(size / 128));
    }
    EXPECT_FALSE(std::equal(passes[0].begin(), passes[0].begin() + 4096, passes[1].begin()))
        << "two passes share keystream";
}

TEST(PassWriter, RandomPassCancelsAndFailsWithItsGeneratorJoined) {
    // The generator thread runs one chunk ahead; every way out must stop and join it.
    for (int failAt : {-1, 1, 3}) {
        SCOPED_TRACE(failAt);
        RecordingDiskIo io;
        io.failWriteAt = failAt;
        CancelFlag cancel{0};
        const PassRun run = WriteImage(io, JobFor(L"none", 40 * MiB, 512), MakePass(PatternKind::Random, {0, 0, 0}),
                                       1, &cancel, failAt < 0 ? 2 : -1,
                                       MakeKeystreamFill(SystemRandomFill));
        EXPECT_EQ(run.status, failAt < 0 ? JobStatus::Cancelled : JobStatus::Failed);
        EXPECT_EQ(io.Of(IoOp::Write).size(), failAt < 0 ? 2u : static_cast<std::size_t>(failAt + 1));
        EXPECT_TRUE(io.Of(IoOp::Flush).empty());
    }
}

TEST(Simulation, ClimbsFourPercentPerStepWithCyclingSpeedsAndCancels) {
    const OverwritePass pass = MakePass(PatternKind::Random, {0, 0, 0}, 2, 3);
    std::vector<EraseProgressInfo> records;
    std::vector<std::wstring> log;
    EXPECT_EQ(SimulatePass(EraseJob{}, pass, 3, nullptr,
                           [&](const EraseProgressInfo& p) { records.push_back(p); },
                           [&](const std::wstring& line) { log.push_back(line); }),
              JobStatus::Completed);
    ASSERT_EQ(records.size(), 25u);
    for (std::uint32_t step = 1; step <= 25; ++step) {
        const EraseProgressInfo& p = records[step - 1];
        EXPECT_EQ(p.phase, 1u);
        EXPECT_EQ(p.passNumber, 2u);
        EXPECT_EQ(p.totalPasses, 3u);
        EXPECT_EQ(p.passPercent, step * 4);
        if (step > 1) { EXPECT_GE(p.overallPercent, records[step - 2].overallPercent); }
        EXPECT_DOUBLE_EQ(p.speedMBps, (step % 7) * 35.5 + 1250.0);
        EXPECT_EQ(p.label, L"[安全シミュレーション] " + pass.label);
    }
    EXPECT_DOUBLE_EQ(records[0].speedMBps, 1285.5);
    EXPECT_DOUBLE_EQ(records[6].speedMBps, 1250.0);
    EXPECT_EQ(records.back().overallPercent,
              PassProgress(EraseJob{}, MakePass(PatternKind::Random, {}, 3, 3), 3, 0, 0, L"").overallPercent);
    EXPECT_EQ(log, (std::vector<std::wstring>{L"[SIMULATION] 開始: " + pass.label,
                                             L"[SIMULATION] 完了: " + pass.label}));

    CancelFlag cancel{0};
    records.clear();
    log.clear();
    EXPECT_EQ(SimulatePass(EraseJob{}, pass, 3, &cancel,
                           [&](const EraseProgressInfo& p) {
                               records.push_back(p);
                               if (records.size() == 3) cancel.store(1);
                           },
                           [&](const std::wstring& line) { log.push_back(line); }),
              JobStatus::Cancelled);
    EXPECT_EQ(records.size(), 3u) << "a simulated pass stops at the next step";
    EXPECT_EQ(log.size(), 1u) << "no completion line";
}

}  // namespace
}  // namespace morvane
