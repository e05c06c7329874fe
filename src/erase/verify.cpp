// Read-back verification: simulated pacing, sampled 64 KiB windows, or the whole surface
// read on a reader thread while the previous chunk is compared.
#include "erase/verify.h"

#include "common/unique_handle.h"
#include "erase/keystream_pipeline.h"
#include "erase/pass_writer.h"
#include "erase/progress.h"
#include "erase/record_status.h"

namespace morvane {

std::wstring VerifyLevelName(VerifyLevel level) {
    switch (level) {
        case VerifyLevel::Skip: return L"検証なし (Skip Verify)";
        case VerifyLevel::FullSurface: return L"全領域検証 (Full Surface Verify)";
        default: return L"クイック検証 (Quick Sample Verify)";
    }
}

std::uint64_t VerifySampleSector(std::uint64_t totalSectors, std::uint64_t sectorsPerRead,
                                 std::uint64_t index, std::uint32_t shift) {
    // A disk smaller than one read would wrap T - R around to a huge sector number;
    // every sample of such a disk starts at sector 0 instead.
    const std::uint64_t span = totalSectors > sectorsPerRead ? totalSectors - sectorsPerRead : 0;
    return (span * index) >> shift;
}

namespace {

// The number of the last pass is the length of the plan.
std::uint32_t PassCount(const WrittenContent& content) { return content.lastPass.number; }

JobStatus Finish(std::wstring& verdict, const wchar_t* text, JobStatus status) {
    verdict = text;
    return status;
}

JobStatus SimulateVerify(const EraseJob& job, const WrittenContent& content, const CancelFlag* cancel,
                         const ProgressCallback& progress, const LogCallback& log, std::wstring& verdict) {
    for (std::uint32_t step = 1; step <= 10; ++step) {
        if (CancelRequested(cancel)) return Finish(verdict, kVerdictCancelled, JobStatus::Cancelled);
        ::Sleep(25);
        if (progress) {
            progress(VerifyProgress(job, PassCount(content), step, 10, 1420.0,
                                    L"[ベリファイ検証中] セクタ整合性チェック..."));
        }
    }
    EmitLog(log, L"[VERIFY] ベリファイ検証が正常に完了しました (PASSED)。");
    return Finish(verdict, kVerdictSimulationPassed, JobStatus::Completed);
}

// Compares `size` bytes read at `offset` with what the job wrote there, using `scratch`
// for the expected bytes; logs the first differing byte.
bool Matches(const WrittenContent& content, std::uint64_t offset, const unsigned char* data, std::size_t size,
             unsigned char* scratch, std::uint64_t sector, const LogCallback& log) {
    std::size_t at = 0;  // content that cannot be known matches nothing
    if (ExpectedContent(content, offset, scratch, size)) at = FirstDifference(data, scratch, size);
    if (at == size) return true;
    const std::uint64_t where = offset + at;
    EmitLog(log, L"[VERIFY] 最終パスの書き込み内容との不一致を検出しました: 先頭の不一致バイト オフセット " +
                     std::to_wstring(where) + L" (セクタ " + std::to_wstring(where / sector) + L")");
    return false;
}

JobStatus VerifySamples(DiskIo& disk, const EraseJob& job, const WrittenContent& content, const CancelFlag* cancel,
                        const ProgressCallback& progress, const LogCallback& log, std::wstring& verdict) {
    PageBuffer buffer(kVerifyReadBytes);
    PageBuffer expected(kVerifyReadBytes);
    if (!buffer || !expected) return Finish(verdict, L"FAILED (Memory Allocation Error)", JobStatus::Failed);
    const std::uint64_t sector = SectorSizeOf(job.disk);
    const std::uint64_t totalSectors = job.disk.sizeBytes / sector;
    const std::uint64_t sectorsPerRead = kVerifyReadBytes / sector;

    for (std::uint32_t i = 0; i < kQuickSamples; ++i) {
        if (CancelRequested(cancel)) return Finish(verdict, kVerdictCancelled, JobStatus::Cancelled);
        const std::uint64_t offset = VerifySampleSector(totalSectors, sectorsPerRead, i, 6) * sector;
        (void)disk.Seek(offset);
        std::uint32_t got = 0;
        if (!disk.Read(buffer.data(), kVerifyReadBytes, got) || got == 0) {
            return Finish(verdict, L"FAILED (Sector Read Error)", JobStatus::Failed);
        }
        // Only the bytes actually read are compared: a short read near the end of a
        // small disk must not be judged on what an earlier sample left in the buffer.
        if (!Matches(content, offset, buffer.data(), got, expected.data(), sector, log)) {
            return Finish(verdict, L"FAILED (Pattern Mismatch Detected)", JobStatus::Failed);
        }
        if (progress) {
            progress(VerifyProgress(job, PassCount(content), i + 1, kQuickSamples, 0.0,
                                    L"ベリファイ検証中 (セクタリードバック確認)..."));
        }
    }
    EmitLog(log, L"[VERIFY] 物理セクタのベリファイ検証が正常に完了しました (PASSED)。");
    return Finish(verdict, L"PASSED (All Sampled Sectors Verified Clean)", JobStatus::Completed);
}

JobStatus VerifySurface(DiskIo& disk, const EraseJob& job, const WrittenContent& content, const CancelFlag* cancel,
                        const ProgressCallback& progress, const LogCallback& log, std::wstring& verdict) {
    const std::uint64_t sector = SectorSizeOf(job.disk);
    const std::uint64_t end = job.disk.sizeBytes / sector * sector;  // a partial last sector is never written
    const auto lengthAt = [end](std::uint64_t at) {
        return static_cast<std::uint32_t>(end - at < kPassChunkBytes ? end - at : kPassChunkBytes);
    };
    // The reader thread reads chunk after chunk into page-aligned buffers (the handle is
    // unbuffered; lengths are whole sectors) while this thread compares earlier ones.
    // A short read would leave bytes unchecked, so it counts as a read error.
    std::uint64_t readAt = 0;  // the reader thread's own
    RandomChunkPipeline reader(
        [&disk, &readAt, &lengthAt](unsigned char* data, std::size_t) {
            const std::uint32_t length = lengthAt(readAt);
            std::uint32_t got = 0;
            if (!disk.Read(data, length, got) || got != length) return false;
            readAt += length;
            return true;
        },
        kPassChunkBytes, kReadPipelineDepth);
    PageBuffer expected(kPassChunkBytes);
    if (!expected) return Finish(verdict, L"FAILED (Memory Allocation Error)", JobStatus::Failed);
    (void)disk.Seek(0);
    if (end > 0 && !reader.Start()) return Finish(verdict, L"FAILED (Memory Allocation Error)", JobStatus::Failed);

    const std::uint64_t start = ::GetTickCount64();
    for (std::uint64_t at = 0; at < end;) {
        if (CancelRequested(cancel)) return Finish(verdict, kVerdictCancelled, JobStatus::Cancelled);
        const std::uint32_t length = lengthAt(at);
        const std::uint64_t after = end - at - length;
        const unsigned char* data = reader.Next((after + kPassChunkBytes - 1) / kPassChunkBytes);
        if (data == nullptr) return Finish(verdict, L"FAILED (Sector Read Error)", JobStatus::Failed);
        if (!Matches(content, at, data, length, expected.data(), sector, log)) {
            return Finish(verdict, L"FAILED (Pattern Mismatch Detected)", JobStatus::Failed);
        }
        at += length;
        if (progress) {
            progress(VerifyProgress(job, PassCount(content), at, end, SpeedMBps(at, ::GetTickCount64() - start),
                                    L"ベリファイ検証中 (全領域比較)..."));
        }
    }
    EmitLog(log, L"[VERIFY] 全領域の全セクタ比較によるベリファイ検証が正常に完了しました (PASSED)。");
    return Finish(verdict, L"PASSED (Full Surface Verified Clean)", JobStatus::Completed);
}

}  // namespace

JobStatus VerifyDisk(DiskIo& disk, const EraseJob& job, const WrittenContent& content, const CancelFlag* cancel,
                     const ProgressCallback& progress, const LogCallback& log, std::wstring& verdict) {
    if (job.verifyLevel == VerifyLevel::Skip) return Finish(verdict, L"SKIPPED (検証なし設定)", JobStatus::Completed);
    EmitLog(log, L"[VERIFY] セクタ読み出しベリファイ検証を開始します...");
    if (job.execMode != ExecMode::RealHardwareWrite) {
        return SimulateVerify(job, content, cancel, progress, log, verdict);
    }
    if (job.verifyLevel == VerifyLevel::FullSurface) {
        return VerifySurface(disk, job, content, cancel, progress, log, verdict);
    }
    return VerifySamples(disk, job, content, cancel, progress, log, verdict);
}

JobStatus VerifyDisk(HANDLE disk, const EraseJob& job, const WrittenContent& content, const CancelFlag* cancel,
                     const ProgressCallback& progress, const LogCallback& log, std::wstring& verdict) {
    HandleDiskIo io(disk);
    return VerifyDisk(io, job, content, cancel, progress, log, verdict);
}

}  // namespace morvane
