// The erase engine: the standards' pass plans, the pass writer (chunks, patterns, progress,
// speed, cancellation, failures), the TRIM request, the partition-table wipe, and the
// read-back verification against what the writer really wrote (random data against the
// keystream of the pass's own keys), with read errors and cancellation.
#include <gtest/gtest.h>

#include <memory>

#include "erase/disk_prep.h"
#include "erase/keystream_aes_ctr.h"
#include "erase/keystream_pipeline.h"
#include "erase/pass_writer.h"
#include "erase/verify.h"
#include "support/engine_disk.h"

namespace morvane {
namespace {

using namespace testing;
constexpr std::uint64_t MiB = 1024 * 1024;

TEST(Standards, PassPlansWrittenOutIndependently) {
    const char* const plans[kStandardCount] = {  // R: random, Fxx: byte xx, Txxxxxx: three bytes repeated
        "R F00", "F00", "F00", "R", "F00 FFF R", "F00 FFF R", "F00 FFF R F96 F00 FFF R",
        // Gutmann: four random passes, the 27 published MFM/RLL rows, three random, a zero clear.
        "R R R R T555555 TAAAAAA T924924 T492492 T249249 T000000 T111111 T222222 T333333 T444444 T555555 T666666 "
        "T777777 T888888 T999999 TAAAAAA TBBBBBB TCCCCCC TDDDDDD TEEEEEE TFFFFFF T924924 T492492 T249249 T6DB6DB "
        "TB6DB6D TDB6DB6 R R R F00"};
    for (std::uint32_t s = 0; s <= kStandardCount; ++s) {
        const PassPlan plan = BuildPassPlan(s);
        std::string text;
        for (std::size_t i = 0; i < plan.size(); ++i) {
            const PatternKind kind = plan[i].kind;
            text += kind == PatternKind::Random ? " R" : kind == PatternKind::Fixed ? " F" : " T";
            for (int b = 0; b < (kind == PatternKind::Triple ? 3 : kind == PatternKind::Fixed); ++b) {
                text += {"0123456789ABCDEF"[plan[i].pattern[b] >> 4], "0123456789ABCDEF"[plan[i].pattern[b] & 15]};
            }
            const std::wstring prefix = L"Pass " + std::to_wstring(i + 1) + L"/" + std::to_wstring(plan.size()) + L": ";
            EXPECT_TRUE(plan[i].number == i + 1 && plan[i].label.rfind(prefix, 0) == 0) << s << "/" << i;
        }
        EXPECT_EQ(text, s < kStandardCount ? std::string(" ") + plans[s] : "") << s;
        EXPECT_EQ(StandardName(s) == L"Unknown Standard", s == kStandardCount);
    }
    EXPECT_NE(BuildPassPlan(Gutmann35)[17].label.find(L"(88 88 88)"), std::wstring::npos);
    EXPECT_EQ(EraseJob{}.execMode, ExecMode::SimulationDryRun) << "a default job never writes";
}

EraseJob JobFor(std::uint64_t size, std::uint32_t sector = 512, VerifyLevel level = VerifyLevel::QuickSample) {
    EraseJob job;
    job.disk.sizeBytes = size;
    job.disk.bytesPerSector = sector;
    job.verifyLevel = level;
    job.execMode = ExecMode::RealHardwareWrite;
    return job;
}
OverwritePass MakePass(PatternKind kind, std::array<std::uint8_t, 3> bytes = {}, std::uint32_t number = 1, std::uint32_t total = 1) {
    return {number, kind, bytes, L"Pass " + std::to_wstring(number) + L"/" + std::to_wstring(total) + L": test"};
}

struct Outcome {
    JobStatus status;
    std::wstring verdict;
    std::vector<EraseProgressInfo> progress;
    std::vector<std::wstring> log;
    std::uint64_t LoggedOffset() const {  // the first differing byte a mismatch line names
        const std::size_t at = log.size() == 2 ? log[1].find(L"オフセット ") : std::wstring::npos;
        return at == std::wstring::npos ? ~0ull : std::stoull(log[1].substr(at + 6));
    }
    // Records each report; the cancel flag is set after `cancelAfter` of them.
    ProgressCallback Recorder(CancelFlag* cancel, std::size_t cancelAfter) {
        return [this, cancel, cancelAfter](const EraseProgressInfo& p) {
            if (progress.push_back(p), progress.size() == cancelAfter) *cancel = 1;
        };
    }
};

Outcome Write(DiskIo& io, const EraseJob& job, const OverwritePass& pass, std::uint32_t totalPasses = 1, CancelFlag* cancel = nullptr,
              std::size_t cancelAfter = 0, const RandomFill& random = SystemRandomFill) {
    Outcome run{};
    run.status = WritePass(io, job, pass, totalPasses, cancel, run.Recorder(cancel, cancelAfter), LogInto(run.log), random);
    return run;
}

TEST(PassWriter, FourMiBChunksThenWholeSectorsFilledWithThePattern) {
    const struct { std::uint64_t size; std::uint32_t sector; PatternKind kind; std::vector<std::uint32_t> lengths; std::uint32_t percent; } cases[] = {
        {10 * MiB + 1024, 512, PatternKind::Fixed, {4 * MiB, 4 * MiB, 2 * MiB + 1024}, 100},
        {10 * MiB + 1024 + 300, 512, PatternKind::Triple, {4 * MiB, 4 * MiB, 2 * MiB + 1024}, 99},  // a partial sector stays
        {9 * MiB + 3 * 4096 + 4000, 4096, PatternKind::Fixed, {4 * MiB, 4 * MiB, MiB + 3 * 4096}, 99},
        {8 * MiB, 0, PatternKind::Triple, {4 * MiB, 4 * MiB}, 100},  // sector size 0 counts as 512
        {1000, 512, PatternKind::Fixed, {512}, 51},
        {0, 512, PatternKind::Fixed, {}, 0},  // nothing to write: only the flush
    };
    const std::array<std::uint8_t, 3> pattern = {0x92, 0x49, 0x24};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        ImageDisk image(c.size);
        HandleDiskIo file(image.handle.get());
        RecordingDiskIo io(&file);
        const Outcome run = Write(io, JobFor(c.size, c.sector), MakePass(c.kind, pattern));
        ExpectUnbufferedTransfers(io, c.sector == 0 ? 512 : c.sector);
        std::vector<std::uint32_t> lengths;
        std::uint64_t end = 0;
        for (const IoOp& w : io.Of(IoOp::Write)) {
            EXPECT_EQ(w.offset, end);
            lengths.push_back(w.size);
            end += w.size;
        }
        EXPECT_TRUE(run.status == JobStatus::Completed && lengths == c.lengths && io.ops.back().kind == IoOp::Flush);
        ASSERT_EQ(run.progress.size(), c.lengths.size());
        EXPECT_EQ(run.progress.empty() ? 0 : run.progress.back().passPercent, c.percent);
        const auto bytes = image.Close();
        ASSERT_EQ(bytes.size(), c.size);
        for (std::size_t i = 0; i < end; ++i) {  // a triple pattern restarts at every chunk
            if (bytes[i] != (c.kind == PatternKind::Fixed ? pattern[0] : pattern[i % (4 * MiB) % 3])) FAIL() << "byte " << i;
        }
        EXPECT_TRUE(AllBytesAre(bytes, end, bytes.size())) << "the partial last sector must stay untouched";
    }
}

TEST(PassWriter, ReportsEveryChunkWithItsSpeedInMebibytesPerSecond) {
    const ManualClock clock(1000);  // one second passes per reading of the clock: 4 MiB a second
    for (std::uint32_t number : {1u, 3u}) {
        RecordingDiskIo io;
        const OverwritePass pass = MakePass(PatternKind::Fixed, {}, number, 3);
        const Outcome run = Write(io, JobFor(12 * MiB), pass, 3);
        ASSERT_EQ(run.progress.size(), 3u);
        for (std::uint32_t i = 0; i < 3; ++i) {
            EXPECT_TRUE(run.progress[i].phase == 1 && run.progress[i].passNumber == number && run.progress[i].passPercent == (i + 1) * 100 / 3);
            EXPECT_DOUBLE_EQ(run.progress[i].speedMBps, 4.0);
        }
        // A pass ends where the next pass (or the verification) starts.
        EXPECT_EQ(run.progress.back().overallPercent, number < 3 ? PassProgress(JobFor(0), MakePass({}, {}, 2, 3), 3, 0, 0, L"").overallPercent
                                                                 : VerifyProgress(JobFor(0), 3, 0, 1, 0, L"").overallPercent);
        EXPECT_EQ(run.log, (std::vector<std::wstring>{L"[HARDWARE WRITE] 開始: " + pass.label, L"[HARDWARE WRITE] 完了: " + pass.label}));
    }
}

TEST(PassWriter, CancellationAndFailuresStopBeforeTheFlush) {
    const struct { const char* name; std::size_t cancelAfter; int failWriteAt, failRandomAt; PatternKind kind; JobStatus status; std::size_t writes; } cases[] = {
        {"cancelled before the first chunk", 0, -1, -1, PatternKind::Fixed, JobStatus::Cancelled, 0},
        {"cancelled after chunk 2", 2, -1, -1, PatternKind::Fixed, JobStatus::Cancelled, 2},
        {"random, cancelled after chunk 2", 2, -1, -1, PatternKind::Random, JobStatus::Cancelled, 2},
        {"write fails at chunk 0", 0, 0, -1, PatternKind::Fixed, JobStatus::Failed, 1},
        {"random, write fails at chunk 2", 0, 2, -1, PatternKind::Random, JobStatus::Failed, 3},
        {"generator fails at chunk 0", 0, -1, 0, PatternKind::Random, JobStatus::Failed, 0},
        {"generator fails at chunk 1", 0, -1, 1, PatternKind::Random, JobStatus::Failed, 1},
    };
    for (const auto& c : cases) {
        RecordingDiskIo io;
        io.failWriteAt = c.failWriteAt;
        CancelFlag cancel{c.status == JobStatus::Cancelled && c.cancelAfter == 0};
        int fills = 0;
        const RandomFill random = [&](unsigned char* data, std::size_t size) { return std::memset(data, 0x5A, size), fills++ != c.failRandomAt; };
        const Outcome run = Write(io, JobFor(12 * MiB + 512), MakePass(c.kind), 1, &cancel, c.cancelAfter, random);
        EXPECT_TRUE(run.status == c.status && io.Of(IoOp::Write).size() == c.writes) << c.name;
        EXPECT_TRUE(io.Of(IoOp::Flush).empty() && run.log.size() == 1) << c.name << ": no flush, no completion line";
    }
}

TEST(Trim, RequestIsTheFortyEightByteHeaderAndRange) {
    const std::vector<unsigned char> expected = {28, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0, 16, 0, 0, 0,
                                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x50, 0x2E, 0x8B, 0xA3, 0x03, 0x00, 0x00};
    for (bool accepted : {true, false}) {
        RecordingDiskIo io;
        io.controlResult = accepted;
        std::vector<std::wstring> log;
        EXPECT_EQ(IssueTrim(io, 0x0000'03A3'8B2E'5000ull, LogInto(log)), accepted);
        ASSERT_EQ(io.ops.size(), 1u);
        EXPECT_TRUE(io.ops[0].code == IOCTL_STORAGE_MANAGE_DATA_SET_ATTRIBUTES && io.ops[0].input == expected);
        EXPECT_TRUE(log.size() == 1 && Logged(log, accepted ? L"TRIM / Deallocate 通知を発行" : L"TRIM通知はスキップ"));
    }
}

// What the wipe writes and reports; that the bytes end up zero shows the job test.
TEST(PartitionWipe, ZeroesTheFirstAndLastMebibyteInWholeSectors) {
    using Ranges = std::vector<std::pair<std::uint64_t, std::uint32_t>>;  // offset, length
    const Ranges tb4 = {{0, MiB}, {4'000'785'981'440ull, MiB}}, two = {{0, MiB}, {MiB + 512, MiB}}, odd = {{0, MiB}, {2 * MiB + 512, MiB}};
    const struct { std::uint64_t size; std::uint32_t sector; int failWriteAt; Ranges writes, zeroed; } cases[] = {
        {4'000'787'030'016ull, 4096, -1, tb4, tb4},
        {2 * MiB, 512, -1, {{0, MiB}}, {{0, MiB}}},
        {2 * MiB + 512, 512, -1, two, two},
        {3 * MiB + 1000, 0, -1, odd, odd},                               // sector 0 is 512; the end rounds down
        {64 * 1024 + 100, 4096, -1, {{0, 64 * 1024}}, {{0, 64 * 1024}}},  // smaller than the wipe: whole sectors only
        {8 * MiB, 512, 1, {{0, MiB}, {7 * MiB, MiB}}, {{0, MiB}}},        // a zero write the device refuses is not reported
    };
    for (const auto& c : cases) {
        RecordingDiskIo io;
        io.failWriteAt = c.failWriteAt;
        std::vector<std::wstring> log;
        Ranges writes, zeroed;
        for (const ByteRange& r : WipePartitionTables(io, c.size, c.sector, LogInto(log))) zeroed.emplace_back(r.begin, r.end - r.begin);
        for (const IoOp& w : io.Of(IoOp::Write)) writes.emplace_back(w.offset, w.size);
        EXPECT_TRUE(writes == c.writes && zeroed == c.zeroed) << c.size;
        ExpectUnbufferedTransfers(io, c.sector == 0 ? 512 : c.sector);
        // The layout is deleted first; the writes are flushed and the system re-reads the disk.
        EXPECT_TRUE(io.ops.front().code == IOCTL_DISK_DELETE_DRIVE_LAYOUT && io.ops[io.ops.size() - 2].kind == IoOp::Flush &&
                    io.ops.back().code == IOCTL_DISK_UPDATE_PROPERTIES) << c.size;
        EXPECT_TRUE(log.size() == 1 && Logged(log, L"[PARTITION] MBRおよびGPT")) << c.size;
    }
}

const std::wstring kSampledClean = L"PASSED (All Sampled Sectors Verified Clean)", kSurfaceClean = L"PASSED (Full Surface Verified Clean)",
                   kMismatch = L"FAILED (Pattern Mismatch Detected)", kReadError = L"FAILED (Sector Read Error)";

Outcome Verify(DiskIo& io, const EraseJob& job, const WrittenContent& content, CancelFlag* cancel = nullptr, std::size_t cancelAfter = 0) {
    Outcome out{};
    out.status = VerifyDisk(io, job, content, cancel, out.Recorder(cancel, cancelAfter), LogInto(out.log), out.verdict);
    return out;
}

// Byte offsets of the 64 sampled 64 KiB windows: on a disk of T sectors with W sectors a
// window, window i starts at sector (T - W) * i / 64, so the samples span the whole disk.
std::vector<std::uint64_t> WindowStarts(std::uint64_t size, std::uint32_t sector) {
    std::vector<std::uint64_t> starts;
    for (std::uint64_t i = 0; i < 64; ++i) starts.push_back((size / sector - 65536 / sector) * i / 64 * sector);
    return starts;
}

// An image written by a real pass (keys kept, 1 MiB key segments), then partition-wiped.
struct WrittenImage {
    WrittenImage(std::uint64_t size, std::uint32_t sector, OverwritePass pass, KeystreamCipher cipher = KeystreamCipher::ChaCha20)
        : image(size), job(JobFor(size, sector, VerifyLevel::QuickSample)) {
        HandleDiskIo io(image.handle.get());
        written = WritePass(io, job, pass, 1, nullptr, {}, {}, MakeKeystreamFill(SystemRandomFill, keys, MiB, cipher));
        content = {pass, &keys, WipePartitionTables(io, size, sector, {})};
    }
    Outcome Run(VerifyLevel level) {
        job.verifyLevel = level;
        HandleDiskIo io(image.handle.get());
        return Verify(io, job, content);
    }
    ImageDisk image;
    EraseJob job;
    PassKeys keys;
    WrittenContent content;
    JobStatus written;
};

// Sizes that are not whole chunks, one not even whole sectors; windows and chunk
// boundaries that are not multiples of 3. Written once; tests put back what they change.
const std::vector<std::unique_ptr<WrittenImage>>& WrittenImages() {
    static std::vector<std::unique_ptr<WrittenImage>> images;
    if (!images.empty()) return images;
    images.push_back(std::make_unique<WrittenImage>(20 * MiB + 5 * 512 + 100, 512, MakePass(PatternKind::Triple, {0x92, 0x49, 0x24})));
    images.push_back(std::make_unique<WrittenImage>(18 * MiB + 3 * 4096, 4096, MakePass(PatternKind::Random)));
    if (AesInstructionsAvailable()) {
        images.push_back(std::make_unique<WrittenImage>(18 * MiB + 512, 512, MakePass(PatternKind::Random), KeystreamCipher::Aes256Ctr));
    }
    images.push_back(std::make_unique<WrittenImage>(9 * MiB, 4096, MakePass(PatternKind::Fixed, {0xFF})));
    return images;
}

TEST(VerifyDisk, EachLevelReadsWhatItPromises) {
    RecordingDiskIo skipped;  // skip: the job's own test says what it reports
    EXPECT_TRUE(Verify(skipped, JobFor(MiB, 512, VerifyLevel::Skip), {MakePass(PatternKind::Fixed)}).log.empty() && skipped.ops.empty());
    // Quick: 64 KiB at each sample position; sector size 0 reads as 512, level 5 as quick.
    for (const auto& [size, sector, level] : {std::tuple{1'000'204'886'016ull, 0u, VerifyLevel{5}}, {4'000'787'030'016ull, 4096u, VerifyLevel::QuickSample}}) {
        RecordingDiskIo io;  // reads return zeros
        const Outcome out = Verify(io, JobFor(size, sector, level), {MakePass(PatternKind::Fixed)});
        EXPECT_EQ(out.verdict, kSampledClean);
        ExpectUnbufferedTransfers(io, sector == 0 ? 512 : sector);
        const auto reads = io.Of(IoOp::Read);
        const auto starts = WindowStarts(size, sector == 0 ? 512 : sector);
        ASSERT_TRUE(reads.size() == 64 && out.progress.size() == 64);
        for (std::size_t i = 0; i < 64; ++i) EXPECT_TRUE(reads[i].size == 65536 && reads[i].offset == starts[i]) << "sample " << i;
        EXPECT_TRUE(out.progress.back().passPercent == 100 && out.progress.back().overallPercent == 99 && out.progress[0].phase == 2);
    }
    EXPECT_EQ(VerifySampleSector(100, 128, 63, 6), 0u) << "smaller than one read: no wrap-around";
    // Full surface: every whole sector once, in order, in reads of at most 4 MiB, with
    // the speed of what has been compared so far.
    const ManualClock clock(1000);  // one second per reading of the clock
    for (const auto& [size, sector] : {std::pair{13 * MiB + 3 * 4096 + 100, 4096u}, {1000, 512u}}) {
        RecordingDiskIo io;
        const Outcome out = Verify(io, JobFor(size, sector, VerifyLevel::FullSurface), {MakePass(PatternKind::Fixed)});
        EXPECT_EQ(out.verdict, kSurfaceClean);
        EXPECT_TRUE(size <= 4 * MiB || out.progress.front().speedMBps == 4.0);
        ExpectUnbufferedTransfers(io, sector);
        std::uint64_t next = 0;
        for (const IoOp& read : io.Of(IoOp::Read)) {
            EXPECT_TRUE(read.offset == next && read.size <= 4 * MiB) << read.offset;
            next += read.size;
        }
        EXPECT_EQ(next, size - size % sector);
    }
}

TEST(VerifyDisk, OneChangedByteFailsQuickInsideAWindowAndFullAnywhere) {
    for (const auto& w : WrittenImages()) {
        SCOPED_TRACE(static_cast<int>(w->content.lastPass.kind));
        const auto starts = WindowStarts(w->job.disk.sizeBytes, w->job.disk.bytesPerSector);
        const std::uint64_t inside = starts[37] + 40'001, outside = starts[37] + 65536 + 1001;
        ASSERT_LT(outside, starts[38]);
        EXPECT_TRUE(w->Run(VerifyLevel::QuickSample).verdict == kSampledClean && w->Run(VerifyLevel::FullSurface).verdict == kSurfaceClean);
        for (const std::uint64_t at : {inside, outside, std::uint64_t{700}}) {  // 700: in the wiped first MiB
            FlipByte(w->image.path, at);
            EXPECT_EQ(w->Run(VerifyLevel::QuickSample).verdict, at == outside ? kSampledClean : kMismatch) << at;
            const Outcome full = w->Run(VerifyLevel::FullSurface);
            EXPECT_TRUE(full.status == JobStatus::Failed && full.verdict == kMismatch && full.LoggedOffset() == at) << at;
            FlipByte(w->image.path, at);
        }
    }
}

TEST(VerifyDisk, FailuresAndCancellationGiveTheirVerdicts) {
    const auto quick = VerifyLevel::QuickSample, full = VerifyLevel::FullSurface;
    const struct {
        const char* name; VerifyLevel level; int failReadAt; std::size_t cancelAfter; std::uint8_t pattern;
        JobStatus status; std::wstring verdict; std::size_t minReads, maxReads;  // the reader may run ahead
    } cases[] = {
        {"first read fails", quick, 0, 0, 0, JobStatus::Failed, kReadError, 1, 1},
        {"read 10 fails", quick, 10, 0, 0, JobStatus::Failed, kReadError, 11, 11},
        {"cancelled after sample 5", quick, -1, 5, 0, JobStatus::Cancelled, L"CANCELLED", 5, 5},
        {"zeros read after a 0xFF pass", quick, -1, 0, 0xFF, JobStatus::Failed, kMismatch, 1, 1},
        {"chunk 3 fails", full, 3, 0, 0, JobStatus::Failed, kReadError, 4, 4},
        {"cancelled after chunk 2", full, -1, 2, 0, JobStatus::Cancelled, L"CANCELLED", 2, 1 + kReadPipelineDepth},
        {"zeros after 0xFF, full", full, -1, 0, 0xFF, JobStatus::Failed, kMismatch, 1, kReadPipelineDepth},
    };
    for (const auto& c : cases) {
        RecordingDiskIo io;
        io.failReadAt = c.failReadAt;
        CancelFlag cancel{0};
        const Outcome out = Verify(io, JobFor(64 * MiB, 4096, c.level), {MakePass(PatternKind::Fixed, {c.pattern})}, &cancel, c.cancelAfter);
        const std::size_t reads = io.Of(IoOp::Read).size();
        EXPECT_TRUE(out.status == c.status && out.verdict == c.verdict && reads >= c.minReads && reads <= c.maxReads) << c.name << ", reads " << reads;
        EXPECT_EQ(out.log.size(), c.verdict == kMismatch ? 2u : 1u) << c.name << ": only a mismatch logs a line of its own";
    }
}

}  // namespace
}  // namespace morvane
