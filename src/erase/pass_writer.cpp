// The hardware pass writer and its simulation.
#include "erase/pass_writer.h"

#include <climits>
#include <cstring>

#include "common/unique_handle.h"
#include "erase/keystream_pipeline.h"

namespace morvane {

bool SystemRandomFill(unsigned char* data, std::size_t size) {
    // BCryptGenRandom takes a ULONG length: feed larger requests in pieces.
    while (size > 0) {
        const ULONG piece = size > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(size);
        const NTSTATUS status =
            ::BCryptGenRandom(nullptr, data, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
        if (!BCRYPT_SUCCESS(status)) return false;
        data += piece;
        size -= piece;
    }
    return true;
}

void FillPatternBuffer(unsigned char* data, std::size_t size, const OverwritePass& pass) {
    if (pass.kind == PatternKind::Triple) {
        for (std::size_t i = 0; i < size; ++i) data[i] = pass.pattern[i % 3];
    } else {
        std::memset(data, pass.pattern[0], size);
    }
}


JobStatus WritePass(DiskIo& disk, const EraseJob& job, const OverwritePass& pass,
                    std::uint32_t totalPasses, const CancelFlag* cancel,
                    const ProgressCallback& progress, const LogCallback& log,
                    const RandomFill& random) {
    EmitLog(log, L"[HARDWARE WRITE] 開始: " + pass.label);

    const bool isRandom = pass.kind == PatternKind::Random;
    // Fixed and triple passes fill one buffer once. A random pass gets fresh data for
    // every chunk from a generator thread that prepares the next chunk while the current
    // one is being written; an unchecked failed fill would write stale or zero data under
    // the name of a cryptographic random pass, so a failed fill fails the pass.
    PageBuffer buffer;
    RandomChunkPipeline pipeline(random, kPassChunkBytes);
    if (isRandom) {
        if (!pipeline.Start()) return JobStatus::Failed;
    } else {
        buffer = PageBuffer(kPassChunkBytes);
        if (!buffer) return JobStatus::Failed;
        FillPatternBuffer(buffer.data(), buffer.size(), pass);
    }

    (void)disk.Seek(0);
    const std::uint64_t total = job.disk.sizeBytes;
    const std::uint64_t sector = SectorSizeOf(job.disk);
    const std::uint64_t start = ::GetTickCount64();
    std::uint64_t written = 0;

    while (total > 0) {
        if (CancelRequested(cancel)) return JobStatus::Cancelled;
        const std::uint64_t remaining = total - written;
        // Unbuffered handles accept whole sectors only: a partial last sector stays.
        const std::uint32_t length = remaining >= kPassChunkBytes
                                         ? kPassChunkBytes
                                         : static_cast<std::uint32_t>(remaining / sector * sector);
        if (length == 0) break;
        const unsigned char* data = buffer.data();
        if (isRandom) {
            // Chunks still to come after this one, so the generator makes no more than
            // the pass will write.
            const std::uint64_t after = (remaining - length) / sector * sector;
            data = pipeline.Next((after + kPassChunkBytes - 1) / kPassChunkBytes);
            if (data == nullptr) return JobStatus::Failed;
        }

        std::uint32_t done = 0;
        if (!disk.Write(data, length, done) || done == 0) return JobStatus::Failed;
        written += done;

        if (progress) {
            progress(PassProgress(job, pass, totalPasses, PassPercent(written, total),
                                  SpeedMBps(written, ::GetTickCount64() - start), pass.label));
        }
        if (written >= total) break;
    }

    (void)disk.Flush();
    EmitLog(log, L"[HARDWARE WRITE] 完了: " + pass.label);
    return JobStatus::Completed;
}

JobStatus WritePass(HANDLE disk, const EraseJob& job, const OverwritePass& pass,
                    std::uint32_t totalPasses, const CancelFlag* cancel,
                    const ProgressCallback& progress, const LogCallback& log, PassKeys* keys,
                    const RandomFill& seed) {
    HandleDiskIo io(disk);
    // Every pass gets its own keystream with fresh keys; without a caller to keep them
    // they are wiped with this frame.
    PassKeys own;
    PassKeys& used = keys != nullptr ? *keys : own;
    const RandomFill source = seed ? seed : RandomFill(SystemRandomFill);
    return WritePass(io, job, pass, totalPasses, cancel, progress, log, MakeKeystreamFill(source, used));
}

JobStatus SimulatePass(const EraseJob& job, const OverwritePass& pass, std::uint32_t totalPasses,
                       const CancelFlag* cancel, const ProgressCallback& progress,
                       const LogCallback& log) {
    EmitLog(log, L"[SIMULATION] 開始: " + pass.label);
    for (std::uint32_t step = 1; step <= 25; ++step) {
        if (CancelRequested(cancel)) return JobStatus::Cancelled;
        ::Sleep(30);
        if (progress) {
            progress(PassProgress(job, pass, totalPasses, step * 4, (step % 7) * 35.5 + 1250.0,
                                  L"[安全シミュレーション] " + pass.label));
        }
    }
    EmitLog(log, L"[SIMULATION] 完了: " + pass.label);
    return JobStatus::Completed;
}

}  // namespace morvane
