// Test support for the erase engine's disk I/O: image files opened the way the erase job
// opens a disk, and a DiskIo wrapper that records every transfer and injects failures.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "erase/disk_io.h"
#include "support/temp_dir.h"

namespace morvane::testing {

// Read/write, shared, no buffering, write-through: the erase job's own open of a disk.
inline UniqueFile OpenImageAsDisk(const std::wstring& path, DWORD access = GENERIC_READ | GENERIC_WRITE) {
    return UniqueFile(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING,
                                    FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH, nullptr));
}

// An image file in its own temp folder, already opened the way the erase job opens a disk.
struct ImageDisk {
    explicit ImageDisk(std::uint64_t size, DWORD access = GENERIC_READ | GENERIC_WRITE)
        : created(CreateImageFile(path, size)), handle(created ? OpenImageAsDisk(path, access) : UniqueFile()) {}
    // Closes the handle and returns the image's bytes.
    std::vector<unsigned char> Close() {
        handle.reset();
        return ReadFileBytes(path);
    }
    TempDir dir;
    std::wstring path = dir.file(L"disk.img");
    bool created;
    UniqueFile handle;
};

// Writes `bytes` at `offset` through an ordinary buffered handle (test setup only).
inline bool PokeFile(const std::wstring& path, std::uint64_t offset,
                     const std::vector<unsigned char>& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD done = 0;
    return ::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) &&
           ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
           done == bytes.size();
}

inline std::uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

struct IoOp {
    enum Kind { Write, Read, Flush, Control } kind;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
    std::uintptr_t address = 0;
    std::uint32_t code = 0;
    std::vector<unsigned char> input;  // Control input bytes
};

// Records every operation and passes it on to `inner` (when given). Without an inner
// DiskIo, writes and controls succeed and reads return zeros. failWriteAt / failReadAt
// make the n-th write or read (0-based) fail without reaching the inner DiskIo.
class RecordingDiskIo final : public DiskIo {
public:
    explicit RecordingDiskIo(DiskIo* inner = nullptr) : inner_(inner) {}

    int failWriteAt = -1;
    int failReadAt = -1;
    bool controlResult = true;  // answer of Control when there is no inner DiskIo
    std::vector<IoOp> ops;

    bool Seek(std::uint64_t offset) override {
        position_ = offset;
        return inner_ ? inner_->Seek(offset) : true;
    }
    bool Write(const void* data, std::uint32_t size, std::uint32_t& done) override {
        ops.push_back({IoOp::Write, position_, size, reinterpret_cast<std::uintptr_t>(data), 0, {}});
        done = 0;
        if (writes_++ == failWriteAt) return false;
        const bool ok = inner_ ? inner_->Write(data, size, done) : (done = size, true);
        position_ += done;
        return ok;
    }
    bool Read(void* data, std::uint32_t size, std::uint32_t& done) override {
        ops.push_back({IoOp::Read, position_, size, reinterpret_cast<std::uintptr_t>(data), 0, {}});
        done = 0;
        if (reads_++ == failReadAt) return false;
        bool ok = true;
        if (inner_) {
            ok = inner_->Read(data, size, done);
        } else {
            std::memset(data, 0, size);
            done = size;
        }
        position_ += done;
        return ok;
    }
    bool Flush() override {
        ops.push_back({IoOp::Flush, position_, 0, 0, 0, {}});
        return inner_ ? inner_->Flush() : true;
    }
    bool Control(std::uint32_t code, const void* input, std::uint32_t inputSize) override {
        IoOp op{IoOp::Control, position_, inputSize, 0, code, {}};
        if (input) {
            const auto* bytes = static_cast<const unsigned char*>(input);
            op.input.assign(bytes, bytes + inputSize);
        }
        ops.push_back(op);
        return inner_ ? inner_->Control(code, input, inputSize) : controlResult;
    }

    std::vector<IoOp> Of(IoOp::Kind kind) const {
        std::vector<IoOp> out;
        for (const IoOp& op : ops) if (op.kind == kind) out.push_back(op);
        return out;
    }

private:
    DiskIo* inner_;
    std::uint64_t position_ = 0;
    int writes_ = 0;
    int reads_ = 0;
};

// What an unbuffered Windows handle demands of every transfer.
inline void ExpectUnbufferedTransfers(const RecordingDiskIo& io, std::uint32_t sector) {
    for (const IoOp& op : io.ops) {
        if (op.kind != IoOp::Write && op.kind != IoOp::Read) continue;
        EXPECT_EQ(op.address % 4096, 0u) << "buffer not page-aligned at offset " << op.offset;
        EXPECT_EQ(op.size % sector, 0u) << "length " << op.size << " not whole sectors";
        EXPECT_EQ(op.offset % sector, 0u) << "offset " << op.offset << " not on a sector";
        EXPECT_GT(op.size, 0u);
    }
}

}  // namespace morvane::testing
