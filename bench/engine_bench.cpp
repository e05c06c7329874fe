// Benchmark driver run under Wine by run_engine_bench.sh: times one overwrite pass over
// an image file through the product's WritePass, the product's VerifyDisk, or the bare
// random generator.
//   engine_bench pass fixed|ones|random IMAGE SIZE -> "MiB/s <value>"
//   engine_bench fill IMAGE SIZE                -> random pass keyed from the bench seed
//   engine_bench verify full|quick IMAGE SIZE   -> "MiB/s <value>" and "seconds <value>"
//   engine_bench gen MEBIBYTES                  -> "MiB/s <value>" (system generator)
//   engine_bench keystream MEBIBYTES aes|chacha -> "MiB/s <value>" (one thread)
// `fill` and `verify` run in separate processes (so the script can read the image with
// dd in between), so their keys come from a fixed bench seed rather than the system
// generator: the verifier draws the same keys again.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "erase/keystream_aes_ctr.h"
#include "erase/keystream_pipeline.h"
#include "erase/pass_writer.h"
#include "erase/verify.h"

using namespace morvane;

namespace {

double Seconds() {
    LARGE_INTEGER now, freq;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&freq);
    return static_cast<double>(now.QuadPart) / static_cast<double>(freq.QuadPart);
}

int TimePass(const std::wstring& kind, const std::wstring& path, std::uint64_t size) {
    UniqueFile disk(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!disk) {
        std::fprintf(stderr, "cannot open image\n");
        return 2;
    }
    EraseJob job;
    job.disk.sizeBytes = size;
    job.disk.bytesPerSector = 512;
    OverwritePass pass;
    pass.number = 1;
    pass.kind = kind == L"random" ? PatternKind::Random : PatternKind::Fixed;
    // "fixed" writes zeros; "ones" writes 0xFF, which the standards' fixed passes also write.
    if (kind == L"ones") pass.pattern = {0xFF, 0xFF, 0xFF};
    pass.label = L"Pass 1/1: bench";
    const double start = Seconds();
    double lastChunk = start;
    const JobStatus status = WritePass(disk.get(), job, pass, 1, nullptr,
                                       [&](const EraseProgressInfo&) { lastChunk = Seconds(); }, {});
    const double elapsed = Seconds() - start;
    std::fprintf(stderr, "writes %.2f s, final flush %.2f s\n", lastChunk - start, start + elapsed - lastChunk);
    if (status != JobStatus::Completed) {
        std::fprintf(stderr, "pass status %u\n", static_cast<unsigned>(status));
        return 3;
    }
    std::printf("MiB/s %.1f\n", static_cast<double>(size) / 1048576.0 / elapsed);
    return 0;
}

// Key material for the fill and verify commands: the same sequence in every process.
bool BenchSeed(unsigned char* data, std::size_t size) {
    static std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        data[i] = static_cast<unsigned char>(state >> 56);
    }
    return true;
}

UniqueFile OpenImage(const std::wstring& path) {
    return UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH,
                                    nullptr));
}

OverwritePass RandomPass() {
    OverwritePass pass;
    pass.number = 1;
    pass.kind = PatternKind::Random;
    pass.label = L"Pass 1/1: bench";
    return pass;
}

int FillRandom(const std::wstring& path, std::uint64_t size) {
    UniqueFile disk = OpenImage(path);
    if (!disk) return 2;
    EraseJob job;
    job.disk.sizeBytes = size;
    job.disk.bytesPerSector = 512;
    PassKeys keys;
    const JobStatus status = WritePass(disk.get(), job, RandomPass(), 1, nullptr, {}, {}, &keys, BenchSeed);
    return status == JobStatus::Completed ? 0 : 3;
}

int TimeVerify(const std::wstring& level, const std::wstring& path, std::uint64_t size) {
    UniqueFile disk = OpenImage(path);
    if (!disk) return 2;
    EraseJob job;
    job.disk.sizeBytes = size;
    job.disk.bytesPerSector = 512;
    job.execMode = ExecMode::RealHardwareWrite;
    job.verifyLevel = level == L"full" ? VerifyLevel::FullSurface : VerifyLevel::QuickSample;
    PassKeys keys;
    keys.Reset(KeystreamCipher::Fastest);
    // The writer draws keys for whole 4 MiB chunks, as far as the last chunk reaches.
    const std::uint64_t streamEnd = (size + kPassChunkBytes - 1) / kPassChunkBytes * kPassChunkBytes;
    if (!keys.DrawThrough((streamEnd - 1) / keys.segmentBytes(), BenchSeed)) return 3;
    std::wstring verdict;
    const double start = Seconds();
    const JobStatus status =
        VerifyDisk(disk.get(), job, WrittenContent{RandomPass(), &keys, {}}, nullptr, {}, {}, verdict);
    const double elapsed = Seconds() - start;
    if (status != JobStatus::Completed) {
        std::fprintf(stderr, "verify status %u\n", static_cast<unsigned>(status));
        return 4;
    }
    std::printf("MiB/s %.1f\nseconds %.3f\n", static_cast<double>(size) / 1048576.0 / elapsed, elapsed);
    return 0;
}

int TimeGenerator(std::uint64_t mebibytes) {
    PageBuffer buffer(kPassChunkBytes);
    const double start = Seconds();
    for (std::uint64_t done = 0; done < mebibytes; done += 4) {
        if (!SystemRandomFill(buffer.data(), buffer.size())) return 3;
    }
    const double elapsed = Seconds() - start;
    std::printf("MiB/s %.1f\n", static_cast<double>(mebibytes) / elapsed);
    return 0;
}

int TimeKeystream(std::uint64_t mebibytes, KeystreamCipher cipher) {
    PageBuffer buffer(kPassChunkBytes);
    RandomFill fill = MakeKeystreamFill(
        [](unsigned char* data, std::size_t size) {
            std::memset(data, 7, size);
            return true;
        },
        kRekeyBytes, cipher);
    const double start = Seconds();
    for (std::uint64_t done = 0; done < mebibytes; done += 4) {
        if (!fill(buffer.data(), buffer.size())) return 1;
    }
    const double elapsed = Seconds() - start;
    std::printf("MiB/s %.1f\n", static_cast<double>(mebibytes) / elapsed);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 5 && std::wstring(argv[1]) == L"pass") {
        return TimePass(argv[2], argv[3], std::wcstoull(argv[4], nullptr, 10));
    }
    if (argc == 4 && std::wstring(argv[1]) == L"fill") {
        return FillRandom(argv[2], std::wcstoull(argv[3], nullptr, 10));
    }
    if (argc == 5 && std::wstring(argv[1]) == L"verify") {
        return TimeVerify(argv[2], argv[3], std::wcstoull(argv[4], nullptr, 10));
    }
    if (argc == 3 && std::wstring(argv[1]) == L"gen") {
        return TimeGenerator(std::wcstoull(argv[2], nullptr, 10));
    }
    if (argc == 4 && std::wstring(argv[1]) == L"keystream") {
        const bool aes = std::wstring(argv[3]) == L"aes";
        if (aes && !AesInstructionsAvailable()) return 2;
        return TimeKeystream(std::wcstoull(argv[2], nullptr, 10),
                             aes ? KeystreamCipher::Aes256Ctr : KeystreamCipher::ChaCha20);
    }
    std::fprintf(stderr, "usage: engine_bench pass fixed|ones|random IMAGE SIZE | fill IMAGE SIZE | verify full|quick IMAGE SIZE | "
                         "gen MEBIBYTES | keystream MEBIBYTES aes|chacha\n");
    return 1;
}
