// Keystream-based random fill with periodic rekeying, and the generator thread that
// overlaps random-chunk generation with disk writes.
#include "erase/random_stream.h"

#include <memory>
#include <optional>

#include "erase/aes_ctr.h"
#include "erase/chacha20.h"

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
    buffers_[0] = PageBuffer(chunkBytes_);
    buffers_[1] = PageBuffer(chunkBytes_);
    if (!buffers_[0] || !buffers_[1] || !fill_) return false;
    thread_.reset(::CreateThread(nullptr, 0, &RandomChunkPipeline::ThreadMain, this, 0, nullptr));
    if (!thread_) return false;
    ::AcquireSRWLockExclusive(&lock_);
    RequestLocked(0);
    ::ReleaseSRWLockExclusive(&lock_);
    return true;
}

void RandomChunkPipeline::RequestLocked(int index) {
    requested_ = index;
    ::WakeAllConditionVariable(&changed_);
}

unsigned char* RandomChunkPipeline::Next(bool more) {
    ::AcquireSRWLockExclusive(&lock_);
    // After a short write the caller may want a chunk it said it would not need.
    if (requested_ != next_ && filling_ != next_ && ready_ != next_ && !failed_) {
        RequestLocked(next_);
    }
    while (ready_ != next_ && !failed_) {
        ::SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    }
    if (failed_) {
        ::ReleaseSRWLockExclusive(&lock_);
        return nullptr;
    }
    ready_ = -1;
    unsigned char* chunk = buffers_[next_].data();
    next_ ^= 1;
    if (more) RequestLocked(next_);
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
        while (!stop_ && requested_ < 0) {
            ::SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
        }
        if (stop_) break;
        const int index = std::exchange(requested_, -1);
        filling_ = index;
        ::ReleaseSRWLockExclusive(&lock_);
        const bool ok = fill_(buffers_[index].data(), chunkBytes_);
        ::AcquireSRWLockExclusive(&lock_);
        filling_ = -1;
        if (ok) {
            ready_ = index;
        } else {
            failed_ = true;
        }
        ::WakeAllConditionVariable(&changed_);
        if (!ok) break;
    }
    ::ReleaseSRWLockExclusive(&lock_);
}

}  // namespace morvane
