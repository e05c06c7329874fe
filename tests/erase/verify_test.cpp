// Read-back verification: sample positions, the whole surface, comparison with what the
// writer really wrote (fixed, triple and random last passes, wiped ends), regenerated
// keystreams with wrong keys, read errors, cancellation and simulation.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "erase/housekeeping.h"
#include "erase/keystream_aes_ctr.h"
#include "erase/keystream_chacha20.h"
#include "erase/keystream_pipeline.h"
#include "erase/pass_writer.h"
#include "erase/verify.h"
#include "support/engine_disk.h"

namespace morvane {
namespace {

using testing::ExpectUnbufferedTransfers;
using testing::IoOp;
using testing::ImageDisk;
using testing::RecordingDiskIo;

constexpr std::uint64_t MiB = 1024 * 1024;
constexpr std::uint64_t kTerabyte = 1'000'204'886'016ull;  // a 1 TB disk, whole 512-byte sectors
constexpr const wchar_t* kSampledClean = L"PASSED (All Sampled Sectors Verified Clean)";
constexpr const wchar_t* kSurfaceClean = L"PASSED (Full Surface Verified Clean)";
constexpr const wchar_t* kMismatch = L"FAILED (Pattern Mismatch Detected)";

EraseJob RealJob(std::uint64_t size, std::uint32_t sector, VerifyLevel level) {
    EraseJob job;
    job.disk.sizeBytes = size;
    job.disk.bytesPerSector = sector;
    job.verifyLevel = level;
    job.execMode = ExecMode::RealHardwareWrite;
    return job;
}

OverwritePass LastPass(PatternKind kind, std::array<std::uint8_t, 3> pattern = {0, 0, 0}) {
    OverwritePass pass;
    pass.number = 1;
    pass.kind = kind;
    pass.pattern = pattern;
    pass.label = L"Pass 1/1: test";
    return pass;
}

struct Outcome {
    JobStatus status = JobStatus::NotRun;
    std::wstring verdict;
    std::vector<EraseProgressInfo> progress;
    std::vector<std::wstring> log;
};

Outcome Verify(DiskIo& io, const EraseJob& job, const WrittenContent& content, CancelFlag* cancel = nullptr,
               std::size_t cancelAfter = 0) {
    Outcome out;
    out.status = VerifyDisk(
        io, job, content, cancel,
        [&](const EraseProgressInfo& p) {
            out.progress.push_back(p);
            if (cancel && out.progress.size() == cancelAfter) cancel->store(1);
        },
        [&](const std::wstring& line) { out.log.push_back(line); }, out.verdict);
    return out;
}

// Byte offsets of the 64 sampled 64 KiB windows.
std::vector<std::uint64_t> WindowStarts(std::uint64_t size, std::uint32_t sector) {
    std::vector<std::uint64_t> starts;
    for (std::uint64_t i = 0; i < 64; ++i) starts.push_back((((size / sector) - 65536 / sector) * i >> 6) * sector);
    return starts;
}

// The first differing byte a mismatch line reports.
std::uint64_t LoggedOffset(const Outcome& out) {
    const std::wstring& line = out.log.size() == 2 ? out.log[1] : L"";
    const std::size_t at = line.find(L"オフセット ");
    EXPECT_EQ(line.rfind(L"[VERIFY] ", 0), 0u) << testing::Narrow(line);
    return at == std::wstring::npos ? ~0ull : std::stoull(line.substr(at + 6));
}

// Overall percents only climb, passes percent ends at 100 and the overall at 99: the
// job alone says 100.
void ExpectClimbingTo99(const std::vector<EraseProgressInfo>& progress) {
    ASSERT_FALSE(progress.empty());
    for (std::size_t i = 1; i < progress.size(); ++i) {
        EXPECT_GE(progress[i].overallPercent, progress[i - 1].overallPercent) << "report " << i;
        EXPECT_GE(progress[i].passPercent, progress[i - 1].passPercent) << "report " << i;
    }
    EXPECT_EQ(progress.back().passPercent, 100u);
    EXPECT_EQ(progress.back().overallPercent, 99);
    for (const EraseProgressInfo& p : progress) {
        EXPECT_EQ(p.phase, 2u);
        EXPECT_EQ(p.passNumber, 0u);
        EXPECT_EQ(p.totalPasses, 0u);
    }
}

// An image written by a real pass (keys kept, 1 MiB key segments), then partition-wiped.
struct WrittenImage {
    WrittenImage(std::uint64_t size, std::uint32_t sector, OverwritePass pass,
                 KeystreamCipher cipher = KeystreamCipher::ChaCha20)
        : image(size), job(RealJob(size, sector, VerifyLevel::QuickSample)) {
        HandleDiskIo io(image.handle.get());
        written = WritePass(io, job, pass, 1, nullptr, {}, {}, MakeKeystreamFill(SystemRandomFill, keys, MiB, cipher));
        content.lastPass = pass;
        content.keys = &keys;
        content.zeroed = WipePartitionTables(io, size, sector, {});
    }
    Outcome Run(VerifyLevel level) {
        job.verifyLevel = level;
        HandleDiskIo io(image.handle.get());
        return Verify(io, job, content);
    }
    // Flips one byte of the image behind the verifier's back (again to restore it).
    void Flip(std::uint64_t offset) {
        const auto old = testing::ReadFileBytes(image.path, offset, 1);
        ASSERT_EQ(old.size(), 1u);
        ASSERT_TRUE(testing::PokeFile(image.path, offset, {static_cast<unsigned char>(old[0] ^ 0x5A)}));
    }
    ImageDisk image;
    EraseJob job;
    PassKeys keys;
    WrittenContent content;
    JobStatus written = JobStatus::NotRun;
};

// Sizes that are not whole chunks, one not even whole sectors; offsets of windows and
// chunk boundaries that are not multiples of 3. Written once for all tests, which put
// back whatever they change.
const std::vector<std::unique_ptr<WrittenImage>>& WrittenImages() {
    static std::vector<std::unique_ptr<WrittenImage>> images;
    if (!images.empty()) return images;
    images.push_back(std::make_unique<WrittenImage>(20 * MiB + 5 * 512 + 100, 512,
                                                    LastPass(PatternKind::Triple, {0x92, 0x49, 0x24})));
    images.push_back(std::make_unique<WrittenImage>(18 * MiB + 3 * 4096, 4096, LastPass(PatternKind::Random)));
    if (AesInstructionsAvailable()) {
        images.push_back(std::make_unique<WrittenImage>(18 * MiB + 512, 512, LastPass(PatternKind::Random),
                                                        KeystreamCipher::Aes256Ctr));
    }
    images.push_back(std::make_unique<WrittenImage>(9 * MiB, 4096, LastPass(PatternKind::Fixed, {0xFF, 0, 0})));
    return images;
}

TEST(VerifyLevels, NamesAndSamplePositions) {
    EXPECT_EQ(VerifyLevelName(VerifyLevel{0}), L"検証なし (Skip Verify)");
    EXPECT_EQ(VerifyLevelName(VerifyLevel{1}), L"クイック検証 (Quick Sample Verify)");
    EXPECT_EQ(VerifyLevelName(VerifyLevel{2}), L"全領域検証 (Full Surface Verify)");
    EXPECT_EQ(VerifyLevelName(VerifyLevel{9}), VerifyLevelName(VerifyLevel{1}));
    EXPECT_EQ(VerifySampleSector(1000, 128, 0, 6), 0u);
    EXPECT_EQ(VerifySampleSector(1000, 128, 63, 6), (872u * 63) >> 6);
    EXPECT_EQ(VerifySampleSector(100, 128, 63, 6), 0u);  // smaller than one read: no wrap-around
}

TEST(VerifyDisk, SkipLevelDoesNothing) {
    RecordingDiskIo io;
    const Outcome out = Verify(io, RealJob(kTerabyte, 512, VerifyLevel::Skip), {LastPass(PatternKind::Fixed)});
    EXPECT_EQ(out.status, JobStatus::Completed);
    EXPECT_EQ(out.verdict, L"SKIPPED (検証なし設定)");
    EXPECT_TRUE(out.progress.empty());
    EXPECT_TRUE(out.log.empty());
    EXPECT_TRUE(io.ops.empty());
}

TEST(VerifyDisk, QuickLevelReadsSixtyFourKiBAtTheFormulaPositions) {
    struct Case {
        std::uint64_t size;
        std::uint32_t sector;
        VerifyLevel level;
    };
    const Case cases[] = {
        {kTerabyte, 512, VerifyLevel::QuickSample},
        {4'000'787'030'016ull, 4096, VerifyLevel::QuickSample},
        {kTerabyte, 0, VerifyLevel{5}},  // sector size 0 reads as 512, level 5 as quick
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        RecordingDiskIo io;  // reads return zeros
        const Outcome out = Verify(io, RealJob(c.size, c.sector, c.level), {LastPass(PatternKind::Fixed)});
        EXPECT_EQ(out.status, JobStatus::Completed);
        EXPECT_EQ(out.verdict, kSampledClean);
        const std::uint32_t sector = c.sector == 0 ? 512 : c.sector;
        ExpectUnbufferedTransfers(io, sector);
        const auto reads = io.Of(IoOp::Read);
        const auto starts = WindowStarts(c.size, sector);
        ASSERT_EQ(reads.size(), 64u);
        for (std::size_t i = 0; i < reads.size(); ++i) {
            EXPECT_EQ(reads[i].size, 65536u);
            EXPECT_EQ(reads[i].offset, starts[i]) << "sample " << i;
        }
        EXPECT_LT(reads.back().offset + 65536, c.size);
        ASSERT_EQ(out.progress.size(), 64u);
        ExpectClimbingTo99(out.progress);
        EXPECT_EQ(out.progress.front().label, L"ベリファイ検証中 (セクタリードバック確認)...");
        EXPECT_EQ(out.log, (std::vector<std::wstring>{
                               L"[VERIFY] セクタ読み出しベリファイ検証を開始します...",
                               L"[VERIFY] 物理セクタのベリファイ検証が正常に完了しました (PASSED)。"}));
    }
}

TEST(VerifyDisk, FullSurfaceReadsEveryWholeSectorOnceInOrder) {
    for (const auto& [size, sector] : std::vector<std::pair<std::uint64_t, std::uint32_t>>{
             {13 * MiB + 3 * 4096 + 100, 4096}, {8 * MiB, 512}, {1000, 512}}) {
        SCOPED_TRACE(size);
        RecordingDiskIo io;
        const Outcome out = Verify(io, RealJob(size, sector, VerifyLevel::FullSurface), {LastPass(PatternKind::Fixed)});
        EXPECT_EQ(out.status, JobStatus::Completed);
        EXPECT_EQ(out.verdict, kSurfaceClean);
        ExpectUnbufferedTransfers(io, sector);
        std::uint64_t next = 0;
        for (const IoOp& read : io.Of(IoOp::Read)) {
            EXPECT_EQ(read.offset, next);
            EXPECT_LE(read.size, 4 * MiB);
            next += read.size;
        }
        EXPECT_EQ(next, size - size % sector) << "every whole sector, nothing past them";
        ExpectClimbingTo99(out.progress);
        EXPECT_EQ(out.progress.size(), io.Of(IoOp::Read).size()) << "one report per chunk";
        EXPECT_EQ(out.log.back(), L"[VERIFY] 全領域の全セクタ比較によるベリファイ検証が正常に完了しました (PASSED)。");
    }
}

// The expected content, on its own, against the bytes the writer and the partition wipe
// really left, at offsets that cut patterns, blocks, chunks and key segments.
TEST(ExpectedContent, MatchesWhatTheWriterWrote) {
    for (const auto& w : WrittenImages()) {
        SCOPED_TRACE(static_cast<int>(w->content.lastPass.kind));
        ASSERT_EQ(w->written, JobStatus::Completed);
        const std::uint64_t size = w->job.disk.sizeBytes;
        const std::uint64_t end = size - size % w->job.disk.bytesPerSector;
        const auto disk = testing::ReadFileBytes(w->image.path);
        ASSERT_EQ(disk.size(), size);
        std::vector<unsigned char> expected(end);
        ASSERT_TRUE(ExpectedContent(w->content, 0, expected.data(), expected.size()));
        EXPECT_EQ(FirstDifference(expected.data(), disk.data(), expected.size()), expected.size());
        for (const auto& [offset, length] : std::vector<std::pair<std::uint64_t, std::size_t>>{
                 {1, 7}, {MiB - 5, 11}, {4 * MiB - 2, 5}, {3 * MiB + 17, 100}, {end - MiB - 3, 9}, {end - 7, 7}}) {
            std::vector<unsigned char> part(length);
            ASSERT_TRUE(ExpectedContent(w->content, offset, part.data(), length));
            EXPECT_TRUE(std::equal(part.begin(), part.end(), disk.begin() + static_cast<std::ptrdiff_t>(offset)))
                << offset;
        }
        EXPECT_TRUE(std::all_of(disk.begin(), disk.begin() + MiB, [](unsigned char b) { return b == 0; }));
        if (w->content.lastPass.kind != PatternKind::Random) continue;
        // Segment 2 (bytes 2 MiB on) is its own key's stream from block 0, by the reference ciphers.
        const SegmentKey& key = w->keys.segment(2);
        std::uint8_t reference[64];
        if (w->keys.aes()) {
            Aes256Ctr(key.data(), key.data() + 32).Keystream(reference, 64);
        } else {
            ChaCha20Block(key.data(), 0, key.data() + 32, reference);
        }
        EXPECT_TRUE(std::equal(reference, reference + 64, disk.begin() + 2 * MiB));
        WrittenContent keyless = w->content;
        keyless.keys = nullptr;
        EXPECT_FALSE(ExpectedContent(keyless, 2 * MiB, expected.data(), 64));
    }
}

TEST(VerifyDisk, OneChangedByteFailsQuickInsideAWindowAndFullAnywhere) {
    for (const auto& w : WrittenImages()) {
        SCOPED_TRACE(static_cast<int>(w->content.lastPass.kind));
        ASSERT_EQ(w->written, JobStatus::Completed);
        const auto starts = WindowStarts(w->job.disk.sizeBytes, w->job.disk.bytesPerSector);
        const std::uint64_t inside = starts[37] + 40'001;
        const std::uint64_t outside = starts[37] + 65536 + 1001;  // between windows 37 and 38
        ASSERT_LT(outside, starts[38]);
        EXPECT_EQ(w->Run(VerifyLevel::QuickSample).verdict, kSampledClean);
        EXPECT_EQ(w->Run(VerifyLevel::FullSurface).verdict, kSurfaceClean);
        for (const std::uint64_t at : {inside, outside, std::uint64_t{700}}) {  // 700: in the wiped first MiB
            SCOPED_TRACE(at);
            w->Flip(at);
            const Outcome quick = w->Run(VerifyLevel::QuickSample);
            EXPECT_EQ(quick.verdict, at == outside ? kSampledClean : kMismatch);
            const Outcome full = w->Run(VerifyLevel::FullSurface);
            EXPECT_EQ(full.status, JobStatus::Failed);
            EXPECT_EQ(full.verdict, kMismatch);
            EXPECT_EQ(LoggedOffset(full), at);
            w->Flip(at);
        }
    }
}

// A verifier that regenerated its own idea of the data would agree with anything; with
// one key, counter or segment order wrong it must find the first byte of that segment.
TEST(VerifyDisk, WrongKeysOrCountersFail) {
    for (const auto& w : WrittenImages()) {
        if (w->content.lastPass.kind != PatternKind::Random) continue;
        SCOPED_TRACE(w->keys.aes() ? "AES" : "ChaCha20");
        ASSERT_GE(w->keys.segmentCount(), 6u);
        const auto alter = [&](const char* what, auto change) {
            SCOPED_TRACE(what);
            const SegmentKey three = w->keys.segment(3), four = w->keys.segment(4);
            change();
            const Outcome full = w->Run(VerifyLevel::FullSurface);
            EXPECT_EQ(full.verdict, kMismatch);
            // A wrong stream may still agree on a byte by chance (1 in 256), never on 64.
            EXPECT_GE(LoggedOffset(full), 3 * MiB);
            EXPECT_LT(LoggedOffset(full), 3 * MiB + 64);
            EXPECT_EQ(w->Run(VerifyLevel::QuickSample).verdict, kMismatch);
            w->keys.segment(3) = three;
            w->keys.segment(4) = four;
        };
        alter("one key bit", [&] { w->keys.segment(3)[5] ^= 0x10; });
        alter("counter or nonce one up", [&] { ++w->keys.segment(3)[w->keys.aes() ? 47 : 43]; });
        alter("segments swapped", [&] { std::swap(w->keys.segment(3), w->keys.segment(4)); });
        EXPECT_EQ(w->Run(VerifyLevel::FullSurface).verdict, kSurfaceClean) << "keys restored";
    }
}

TEST(VerifyDisk, FailuresAndCancellationGiveTheirVerdicts) {
    struct Case {
        const char* name;
        VerifyLevel level;
        int failReadAt;
        std::size_t cancelAfter;
        std::uint8_t pattern;
        JobStatus status;
        const wchar_t* verdict;
        std::size_t minReads, maxReads;  // the reader thread may be ahead by its spare buffers
    };
    const Case cases[] = {
        {"first read fails", VerifyLevel::QuickSample, 0, 0, 0, JobStatus::Failed, L"FAILED (Sector Read Error)", 1, 1},
        {"read 10 fails", VerifyLevel::QuickSample, 10, 0, 0, JobStatus::Failed, L"FAILED (Sector Read Error)", 11, 11},
        {"cancelled after sample 5", VerifyLevel::QuickSample, -1, 5, 0, JobStatus::Cancelled, L"CANCELLED", 5, 5},
        {"zeros read after a 0xFF pass", VerifyLevel::QuickSample, -1, 0, 0xFF, JobStatus::Failed, kMismatch, 1, 1},
        {"chunk 3 fails", VerifyLevel::FullSurface, 3, 0, 0, JobStatus::Failed, L"FAILED (Sector Read Error)", 4, 4},
        {"cancelled after chunk 2", VerifyLevel::FullSurface, -1, 2, 0, JobStatus::Cancelled, L"CANCELLED", 2,
         2 + kReadPipelineDepth - 1},
        {"zeros read after a 0xFF pass", VerifyLevel::FullSurface, -1, 0, 0xFF, JobStatus::Failed, kMismatch, 1,
         kReadPipelineDepth},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDiskIo io;
        io.failReadAt = c.failReadAt;
        CancelFlag cancel{0};
        const Outcome out = Verify(io, RealJob(64 * MiB, 4096, c.level), {LastPass(PatternKind::Fixed, {c.pattern, 0, 0})},
                                   &cancel, c.cancelAfter);
        EXPECT_EQ(out.status, c.status);
        EXPECT_EQ(out.verdict, c.verdict);
        EXPECT_GE(io.Of(IoOp::Read).size(), c.minReads);
        EXPECT_LE(io.Of(IoOp::Read).size(), c.maxReads);
        EXPECT_EQ(out.log.size(), c.verdict == kMismatch ? 2u : 1u) << "only a mismatch logs a line of its own";
    }
}

TEST(VerifyDisk, SimulationPacesTenStepsAndCancels) {
    EraseJob job;
    job.execMode = ExecMode::SimulationDryRun;
    job.verifyLevel = VerifyLevel::FullSurface;
    const WrittenContent content{LastPass(PatternKind::Random)};  // no keys: a simulation compares nothing
    std::wstring verdict;
    std::vector<EraseProgressInfo> records;
    std::vector<std::wstring> log;
    EXPECT_EQ(VerifyDisk(INVALID_HANDLE_VALUE, job, content, nullptr,
                         [&](const EraseProgressInfo& p) { records.push_back(p); },
                         [&](const std::wstring& line) { log.push_back(line); }, verdict),
              JobStatus::Completed);
    EXPECT_EQ(verdict, L"PASSED (Simulation 100% Verified)");
    ASSERT_EQ(records.size(), 10u);
    ExpectClimbingTo99(records);
    for (std::uint32_t step = 1; step <= 10; ++step) {
        const EraseProgressInfo& p = records[step - 1];
        EXPECT_EQ(p.passPercent, step * 10);
        EXPECT_EQ(p.speedMBps, 1420.0);
        EXPECT_EQ(p.label, L"[ベリファイ検証中] セクタ整合性チェック...");
    }
    EXPECT_EQ(log, (std::vector<std::wstring>{L"[VERIFY] セクタ読み出しベリファイ検証を開始します...",
                                             L"[VERIFY] ベリファイ検証が正常に完了しました (PASSED)。"}));

    CancelFlag cancel{0};
    records.clear();
    EXPECT_EQ(VerifyDisk(INVALID_HANDLE_VALUE, job, content, &cancel,
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
