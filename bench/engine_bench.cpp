// Benchmark driver run under Wine by run_engine_bench.sh: times one overwrite pass over
// an image file through the product's WritePass, or the bare random generator.
//   engine_bench pass fixed|ones|random IMAGE SIZE -> "MiB/s <value>"
//   engine_bench gen MEBIBYTES                  -> "MiB/s <value>" (system generator)
//   engine_bench keystream MEBIBYTES aes|chacha -> "MiB/s <value>" (one thread)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "erase/keystream_aes_ctr.h"
#include "erase/keystream_pipeline.h"
#include "erase/pass_writer.h"

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
    if (argc == 3 && std::wstring(argv[1]) == L"gen") {
        return TimeGenerator(std::wcstoull(argv[2], nullptr, 10));
    }
    if (argc == 4 && std::wstring(argv[1]) == L"keystream") {
        const bool aes = std::wstring(argv[3]) == L"aes";
        if (aes && !AesInstructionsAvailable()) return 2;
        return TimeKeystream(std::wcstoull(argv[2], nullptr, 10),
                             aes ? KeystreamCipher::Aes256Ctr : KeystreamCipher::ChaCha20);
    }
    std::fprintf(stderr, "usage: engine_bench pass fixed|ones|random IMAGE SIZE | gen MEBIBYTES | keystream MEBIBYTES aes|chacha\n");
    return 1;
}
