// Keystream-based random fill with periodic rekeying, and the generator thread that
// overlaps random-chunk generation with disk writes.
#include "erase/keystream_pipeline.h"

#include <memory>
#include <optional>

#include "erase/keystream_aes_ctr.h"
#include "erase/keystream_chacha20.h"

namespace morvane {

namespace {

struct KeystreamState {
    RandomFill seed;
    std::uint64_t rekeyBytes;
    bool useAes = false;
    std::uint64_t sinceKey = 0;
    std::optional<ChaCha20> chacha;
    std::optional<Aes256Ctr> aes;

    ~KeystreamState() {
        if (chacha) ::SecureZeroMemory(&*chacha, sizeof *chacha);
    }

    bool Rekey() {
        // Room for either cipher: a 32-byte key and a 16-byte counter block or 12-byte nonce.
        std::uint8_t material[kAesKeyBytes + kAesCounterBytes];
        const std::size_t needed = useAes ? kAesKeyBytes + kAesCounterBytes : kChaChaKeyBytes + kChaChaNonceBytes;
        const bool ok = seed && seed(material, needed);
        chacha.reset();
        aes.reset();
        if (ok && useAes) aes.emplace(material, material + kAesKeyBytes);
        if (ok && !useAes) chacha.emplace(material, material + kChaChaKeyBytes);
        ::SecureZeroMemory(material, sizeof material);
        sinceKey = 0;
        return ok;
    }

    bool Fill(unsigned char* data, std::size_t size) {
        while (size > 0) {
            if ((!chacha && !aes) || sinceKey >= rekeyBytes) {
                if (!Rekey()) return false;
            }
            const std::uint64_t left = rekeyBytes - sinceKey;
            const std::size_t n = size < left ? size : static_cast<std::size_t>(left);
            if (aes) {
                aes->Keystream(data, n);
            } else {
                chacha->Keystream(data, n);
            }
            sinceKey += n;
            data += n;
            size -= n;
        }
        return true;
    }
};

}  // namespace

RandomFill MakeKeystreamFill(RandomFill seed, std::uint64_t rekeyBytes, KeystreamCipher cipher) {
    auto state = std::make_shared<KeystreamState>();
    state->useAes = cipher == KeystreamCipher::Aes256Ctr ||
                    (cipher == KeystreamCipher::Fastest && AesInstructionsAvailable());
    state->seed = std::move(seed);
    state->rekeyBytes = rekeyBytes == 0 ? kRekeyBytes : rekeyBytes;
    return [state](unsigned char* data, std::size_t size) { return state->Fill(data, size); };
}

namespace {

// How long a waiting side polls before it sleeps. On a fast disk a chunk is written in
// well under a millisecond; a thread that sleeps that often pays for every wake-up (on a
// virtual machine an idle processor is handed back to the host and takes long to return),
// so a short poll keeps both threads running while the chunks flow. On a slow disk the
// generator is a full ring ahead and the poll ends in sleep.
constexpr std::int64_t kPollMicroseconds = 500;

}  // namespace

template <typename Ready>
void RandomChunkPipeline::WaitLocked(Ready ready) {
    if (ready()) return;
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    const std::int64_t limit = frequency.QuadPart * kPollMicroseconds / 1000000;
    do {
        ::ReleaseSRWLockExclusive(&lock_);
        for (int i = 0; i < 64; ++i) YieldProcessor();
        ::AcquireSRWLockExclusive(&lock_);
        if (ready()) return;
        ::QueryPerformanceCounter(&now);
    } while (now.QuadPart - start.QuadPart < limit);
    while (!ready()) ::SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
}

RandomChunkPipeline::RandomChunkPipeline(RandomFill fill, std::uint32_t chunkBytes)
    : fill_(std::move(fill)), chunkBytes_(chunkBytes) {}

RandomChunkPipeline::~RandomChunkPipeline() {
    if (!thread_) return;
    ::AcquireSRWLockExclusive(&lock_);
    stop_ = true;
    ::ReleaseSRWLockExclusive(&lock_);
    ::WakeAllConditionVariable(&changed_);
    // A fill in progress finishes its chunk (milliseconds) before the thread sees stop_.
    ::WaitForSingleObject(thread_.get(), INFINITE);
}

bool RandomChunkPipeline::Start() {
    for (PageBuffer& buffer : buffers_) {
        buffer = PageBuffer(chunkBytes_);
        if (!buffer) return false;
    }
    if (!fill_) return false;
    ::AcquireSRWLockExclusive(&lock_);
    limit_ = 1;
    ::ReleaseSRWLockExclusive(&lock_);
    thread_.reset(::CreateThread(nullptr, 0, &RandomChunkPipeline::ThreadMain, this, 0, nullptr));
    return static_cast<bool>(thread_);
}

unsigned char* RandomChunkPipeline::Next(std::uint64_t ahead) {
    ::AcquireSRWLockExclusive(&lock_);
    const std::uint64_t wanted = consumed_;
    if (limit_ <= wanted) {
        limit_ = wanted + 1;
        ::WakeAllConditionVariable(&changed_);
    }
    WaitLocked([&] { return produced_ > wanted || failed_; });
    if (produced_ <= wanted) {  // the fill of this chunk failed
        ::ReleaseSRWLockExclusive(&lock_);
        return nullptr;
    }
    consumed_ = wanted + 1;
    const std::uint64_t room = kRandomPipelineDepth - 1;
    const std::uint64_t further = ahead < room ? ahead : room;
    if (limit_ < consumed_ + further) limit_ = consumed_ + further;
    // Handing out this chunk frees the previous one's buffer: the thread may go on.
    ::WakeAllConditionVariable(&changed_);
    unsigned char* chunk = buffers_[wanted % kRandomPipelineDepth].data();
    ::ReleaseSRWLockExclusive(&lock_);
    return chunk;
}

DWORD WINAPI RandomChunkPipeline::ThreadMain(void* self) {
    static_cast<RandomChunkPipeline*>(self)->Run();
    return 0;
}

void RandomChunkPipeline::Run() {
    ::AcquireSRWLockExclusive(&lock_);
    for (;;) {
        // Chunk produced_ may be filled when it was asked for and its buffer does not
        // hold the chunk being written (consumed_ - 1) or one not yet handed out.
        const auto mayFill = [this] {
            const std::uint64_t inUse = consumed_ == 0 ? 0 : consumed_ - 1;
            return produced_ < limit_ && produced_ - inUse < kRandomPipelineDepth;
        };
        WaitLocked([&] { return stop_ || mayFill(); });
        if (stop_) break;
        const std::uint64_t index = produced_ % kRandomPipelineDepth;
        ::ReleaseSRWLockExclusive(&lock_);
        const bool ok = fill_(buffers_[index].data(), chunkBytes_);
        ::AcquireSRWLockExclusive(&lock_);
        if (ok) {
            ++produced_;
        } else {
            failed_ = true;
        }
        ::WakeAllConditionVariable(&changed_);
        if (!ok) break;
    }
    ::ReleaseSRWLockExclusive(&lock_);
}

}  // namespace morvane
