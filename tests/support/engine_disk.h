// Test support for the erase engine and the job: image-file disks, a DiskIo that records
// every transfer and injects failures, log helpers, and redirected imports for the clock
// and the documents folder, which the product reads straight from the system.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "common/log_callback.h"
#include "common/unique_handle.h"
#include "erase/disk_io.h"
#include "support/temp_dir.h"

// This executable's import slots, which every call from it goes through. The linker's
// names differ: 32-bit ones carry a leading underscore and the stdcall argument bytes.
#if defined(_WIN64)
#define MORVANE_IMPORT_SLOT(name, bytes) __asm__("__imp_" #name)
#else
#define MORVANE_IMPORT_SLOT(name, bytes) __asm__("__imp__" #name "@" #bytes)
#endif
extern "C" decltype(::GetTickCount64)* ImportOfGetTickCount64 MORVANE_IMPORT_SLOT(GetTickCount64, 0);
extern "C" decltype(::SHGetFolderPathW)* ImportOfSHGetFolderPathW MORVANE_IMPORT_SLOT(SHGetFolderPathW, 20);

namespace morvane::testing {

// Shared, unbuffered and write-through: the erase job's own open of a disk.
inline UniqueFile OpenImageAsDisk(const std::wstring& path, DWORD access = GENERIC_READ | GENERIC_WRITE) {
    return UniqueFile(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH, nullptr));
}

// A zeroed (sparse) image file in its own temp folder, opened as the job opens a disk.
struct ImageDisk {
    explicit ImageDisk(std::uint64_t size) : handle((CreateImageFile(path, size), OpenImageAsDisk(path))) {}
    std::vector<unsigned char> Close() { return handle.reset(), ReadFileBytes(path); }  // the bytes, once closed
    TempDir dir;
    std::wstring path = dir.file(L"disk.img");
    UniqueFile handle;
};

// Writes `bytes` at `offset` through an ordinary handle, beside any the product holds.
inline bool PokeFile(const std::wstring& path, std::uint64_t offset, const std::vector<unsigned char>& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    DWORD done = 0;
    return file && ::SetFilePointerEx(file.get(), LARGE_INTEGER{.QuadPart = static_cast<LONGLONG>(offset)}, nullptr, FILE_BEGIN) &&
           ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size();
}
// Flips one byte behind the product's back (again to restore it).
inline void FlipByte(const std::wstring& path, std::uint64_t offset) {
    const auto old = ReadFileBytes(path, offset, 1);
    ASSERT_TRUE(old.size() == 1 && PokeFile(path, offset, {static_cast<unsigned char>(old[0] ^ 0x5A)}));
}
inline bool AllBytesAre(const std::vector<unsigned char>& bytes, std::size_t from, std::size_t to, unsigned char value = 0) {
    return std::all_of(bytes.begin() + from, bytes.begin() + to, [&](unsigned char b) { return b == value; });
}

inline LogCallback LogInto(std::vector<std::wstring>& lines) { return [&lines](const std::wstring& l) { lines.push_back(l); }; }
// True when some line contains `fragment`.
inline bool Logged(const std::vector<std::wstring>& lines, const std::wstring& fragment) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& l) { return l.find(fragment) != std::wstring::npos; });
}

struct IoOp {
    enum Kind { Write, Read, Flush, Control } kind;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;  // transfer length or control input length
    std::uintptr_t address = 0;
    std::uint32_t code = 0;
    std::vector<unsigned char> input = {};
};

// Records every operation and passes it on to `inner` if any (else writes and controls succeed,
// reads return zeros); the n-th write or read (0-based) fails at failWriteAt / failReadAt.
class RecordingDiskIo final : public DiskIo {
public:
    explicit RecordingDiskIo(DiskIo* inner = nullptr) : inner_(inner) {}
    int failWriteAt = -1, failReadAt = -1;
    bool controlResult = true;  // the answer of Control without an inner DiskIo
    std::vector<IoOp> ops;

    bool Seek(std::uint64_t offset) override { return position_ = offset, !inner_ || inner_->Seek(offset); }
    bool Write(const void* data, std::uint32_t size, std::uint32_t& done) override {
        ops.push_back({IoOp::Write, position_, size, reinterpret_cast<std::uintptr_t>(data)});
        const bool ok = (done = 0, writes_++ != failWriteAt) && (inner_ ? inner_->Write(data, size, done) : (done = size, true));
        return position_ += done, ok;
    }
    bool Read(void* data, std::uint32_t size, std::uint32_t& done) override {
        ops.push_back({IoOp::Read, position_, size, reinterpret_cast<std::uintptr_t>(data)});
        const bool ok = (done = 0, reads_++ != failReadAt) && (inner_ ? inner_->Read(data, size, done) : (std::memset(data, 0, size), done = size, true));
        return position_ += done, ok;
    }
    bool Flush() override { return ops.push_back({IoOp::Flush, position_}), !inner_ || inner_->Flush(); }
    bool Control(std::uint32_t code, const void* input, std::uint32_t inputSize) override {
        const auto* bytes = static_cast<const unsigned char*>(input);
        ops.push_back({IoOp::Control, position_, inputSize, 0, code, {bytes, bytes + (bytes ? inputSize : 0)}});
        return inner_ ? inner_->Control(code, input, inputSize) : controlResult;
    }
    std::vector<IoOp> Of(IoOp::Kind kind) const {
        std::vector<IoOp> out;
        std::copy_if(ops.begin(), ops.end(), std::back_inserter(out), [&](const IoOp& op) { return op.kind == kind; });
        return out;
    }

private:
    DiskIo* inner_;
    std::uint64_t position_ = 0;
    int writes_ = 0, reads_ = 0;
};

// Unbuffered Windows handles demand (and Wine does not) page-aligned buffers, whole sectors, at a sector.
inline void ExpectUnbufferedTransfers(const RecordingDiskIo& io, std::uint32_t sector) {
    for (const IoOp& op : io.ops) {
        EXPECT_TRUE((op.kind != IoOp::Write && op.kind != IoOp::Read) ||
                    (op.address % 4096 == 0 && op.size % sector == 0 && op.offset % sector == 0 && op.size > 0))
            << op.size << " bytes at " << op.offset;
    }
}

// Points an import slot at `replacement` while the object lives.
template <typename Function>
class ImportRedirect {
public:
    ImportRedirect(Function*& slot, Function* replacement) : slot_(slot), original_(slot) { Set(replacement); }
    ~ImportRedirect() { Set(original_); }
    Function* original() const { return original_; }

private:
    void Set(Function* value) {
        DWORD old = 0;
        ::VirtualProtect(&slot_, sizeof slot_, PAGE_READWRITE, &old);
        slot_ = value;
        ::VirtualProtect(&slot_, sizeof slot_, old, &old);
    }
    Function*& slot_;
    Function* original_;
};

// While it lives, GetTickCount64 answers `now` and then moves it on by `step` ms; only
// the test sets either, so speeds and elapsed times come out exactly.
class ManualClock {
public:
    static inline std::atomic<ULONGLONG> now{86'400'000}, step{0};
    explicit ManualClock(ULONGLONG stepMs = 0) { step = stepMs; }

private:
    static ULONGLONG WINAPI Read() { return now.fetch_add(step.load()); }
    ImportRedirect<decltype(::GetTickCount64)> redirect_{ImportOfGetTickCount64, &Read};
};

}  // namespace morvane::testing
