// Keystream-based random fill with periodic rekeying, and the chunk thread that overlaps
// random-chunk generation with disk writes (and disk reads with verification).
#include "erase/keystream_pipeline.h"

#include <memory>

namespace morvane {

namespace {

// The stream position of a fill and the keys it draws as it goes; the keys are either
// the caller's or its own.
struct KeystreamState {
    RandomFill seed;
    PassKeys* keys = nullptr;
    std::shared_ptr<PassKeys> owned;
    std::uint64_t position = 0;

    bool Fill(unsigned char* data, std::size_t size) {
        if (size == 0) return true;
        const std::uint64_t last = (position + size - 1) / keys->segmentBytes();
        if (!keys->DrawThrough(last, seed) || !keys->Keystream(position, data, size)) return false;
        position += size;
        return true;
    }
};

RandomFill MakeFill(std::shared_ptr<KeystreamState> state) {
    return [state = std::move(state)](unsigned char* data, std::size_t size) { return state->Fill(data, size); };
}

}  // namespace

RandomFill MakeKeystreamFill(RandomFill seed, PassKeys& keys, std::uint64_t rekeyBytes, KeystreamCipher cipher) {
    keys.Reset(cipher, rekeyBytes);
    auto state = std::make_shared<KeystreamState>();
    state->seed = std::move(seed);
    state->keys = &keys;
    return MakeFill(std::move(state));
}

RandomFill MakeKeystreamFill(RandomFill seed, std::uint64_t rekeyBytes, KeystreamCipher cipher) {
    auto state = std::make_shared<KeystreamState>();
    state->owned = std::make_shared<PassKeys>();
    state->owned->Reset(cipher, rekeyBytes);
    state->seed = std::move(seed);
    state->keys = state->owned.get();
    return MakeFill(std::move(state));
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

RandomChunkPipeline::RandomChunkPipeline(RandomFill fill, std::uint32_t chunkBytes, int depth)
    : fill_(std::move(fill)), chunkBytes_(chunkBytes), buffers_(depth < 2 ? 2 : (depth > 8 ? 8 : depth)) {}

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
    const std::uint64_t room = buffers_.size() - 1;
    const std::uint64_t further = ahead < room ? ahead : room;
    if (limit_ < consumed_ + further) limit_ = consumed_ + further;
    // Handing out this chunk frees the previous one's buffer: the thread may go on.
    ::WakeAllConditionVariable(&changed_);
    unsigned char* chunk = buffers_[wanted % buffers_.size()].data();
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
            return produced_ < limit_ && produced_ - inUse < buffers_.size();
        };
        WaitLocked([&] { return stop_ || mayFill(); });
        if (stop_) break;
        const std::uint64_t index = produced_ % buffers_.size();
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
