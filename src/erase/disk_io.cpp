// DiskIo over a Win32 handle: one Win32 call per operation, nothing added.
#include "erase/disk_io.h"

namespace morvane {

bool HandleDiskIo::Seek(std::uint64_t offset) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN) != FALSE;
}

bool HandleDiskIo::Write(const void* data, std::uint32_t size, std::uint32_t& done) {
    DWORD n = 0;
    const BOOL ok = ::WriteFile(handle_, data, size, &n, nullptr);
    done = n;
    return ok != FALSE;
}

bool HandleDiskIo::Read(void* data, std::uint32_t size, std::uint32_t& done) {
    DWORD n = 0;
    const BOOL ok = ::ReadFile(handle_, data, size, &n, nullptr);
    done = n;
    return ok != FALSE;
}

bool HandleDiskIo::Flush() { return ::FlushFileBuffers(handle_) != FALSE; }

bool HandleDiskIo::Control(std::uint32_t code, const void* input, std::uint32_t inputSize) {
    DWORD returned = 0;
    return ::DeviceIoControl(handle_, code, const_cast<void*>(input), inputSize, nullptr, 0,
                             &returned, nullptr) != FALSE;
}

}  // namespace morvane
