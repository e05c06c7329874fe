// The narrow disk access that the pass writer, the verifier and the partition wipe go
// through, so tests can watch every buffer, length and offset and inject failures.
#pragma once

#include <cstdint>

#include "common/win32.h"

namespace morvane {

// Bytes [begin, end) of a disk.
struct ByteRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

// Real disks are opened with FILE_FLAG_NO_BUFFERING, so every buffer handed to Write or
// Read must be page-aligned and every length and offset a whole number of sectors;
// Windows rejects anything else with ERROR_INVALID_PARAMETER (Wine does not, which is
// why the tests check it through this interface).
class DiskIo {
public:
    virtual ~DiskIo() = default;
    // Sets the position to an absolute byte offset.
    virtual bool Seek(std::uint64_t offset) = 0;
    // One synchronous transfer at the current position; `done` receives the byte count.
    virtual bool Write(const void* data, std::uint32_t size, std::uint32_t& done) = 0;
    virtual bool Read(void* data, std::uint32_t size, std::uint32_t& done) = 0;
    virtual bool Flush() = 0;
    // A device control with an optional input buffer and no output buffer.
    virtual bool Control(std::uint32_t code, const void* input, std::uint32_t inputSize) = 0;
};

// DiskIo over an open Win32 handle (a physical disk or, in tests, an image file).
class HandleDiskIo final : public DiskIo {
public:
    explicit HandleDiskIo(HANDLE handle) noexcept : handle_(handle) {}

    bool Seek(std::uint64_t offset) override;
    bool Write(const void* data, std::uint32_t size, std::uint32_t& done) override;
    bool Read(void* data, std::uint32_t size, std::uint32_t& done) override;
    bool Flush() override;
    bool Control(std::uint32_t code, const void* input, std::uint32_t inputSize) override;

private:
    HANDLE handle_;
};

}  // namespace morvane
