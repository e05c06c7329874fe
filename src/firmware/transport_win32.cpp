// The real device transport: DeviceIoControl on a lent handle, behind the compatibility-
// layer refusal, and the Windows error texts.
#include <cstring>
#include <vector>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "firmware/storage_layouts.h"
#include "firmware/transport.h"

namespace morvane {

namespace {

IoctlAnswer Failure(DWORD error) {
    IoctlAnswer answer;
    answer.error = error;
    answer.errorText = WindowsErrorText(error);
    return answer;
}

// SCSI_PASS_THROUGH_DIRECT reaches its data through a pointer, which a byte request cannot
// carry: the request holds the data area's offset in DataBuffer instead, with the area at
// that offset. Here the structure and sense area travel through the ordinary buffers and
// the data through a page-aligned block (page alignment meets any adapter's alignment
// mask); the answer comes back in the request's own layout, DataBuffer an offset again.
IoctlAnswer PassThroughDirect(HANDLE device, std::span<const std::uint8_t> in) {
    constexpr std::size_t kHeader = sizeof(SCSI_PASS_THROUGH_DIRECT);
    constexpr std::size_t kPointer = offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer);
    if (in.size() < kHeader || in.size() > MAXDWORD) return Failure(ERROR_INVALID_PARAMETER);
    SCSI_PASS_THROUGH_DIRECT header;
    std::memcpy(&header, in.data(), kHeader);
    const std::uintptr_t dataOffset = reinterpret_cast<std::uintptr_t>(header.DataBuffer);
    const std::size_t dataLength = header.DataTransferLength;
    if (dataLength != 0 && (dataOffset < kHeader || dataOffset > in.size() || in.size() - dataOffset != dataLength)) {
        return Failure(ERROR_INVALID_PARAMETER);
    }
    const std::size_t controlSize = dataLength != 0 ? dataOffset : in.size();
    std::vector<std::uint8_t> control(in.begin(), in.begin() + controlSize);
    PageBuffer data(dataLength);
    if (dataLength != 0) {
        if (!data) return Failure(ERROR_NOT_ENOUGH_MEMORY);
        std::memcpy(data.data(), in.data() + dataOffset, dataLength);
        void* const address = data.data();
        std::memcpy(control.data() + kPointer, &address, sizeof(address));
    }
    DWORD returned = 0;
    if (!::DeviceIoControl(device, kIoctlScsiPassThroughDirect, control.data(), static_cast<DWORD>(controlSize),
                           control.data(), static_cast<DWORD>(controlSize), &returned, nullptr)) {
        const DWORD error = ::GetLastError();
        return Failure(error != 0 ? error : ERROR_GEN_FAILURE);
    }
    IoctlAnswer answer;
    answer.bytes = std::move(control);
    if (dataLength != 0) {
        const void* const offset = reinterpret_cast<const void*>(dataOffset);
        std::memcpy(answer.bytes.data() + kPointer, &offset, sizeof(offset));
        answer.bytes.insert(answer.bytes.end(), data.data(), data.data() + dataLength);
    }
    return answer;
}

}  // namespace

bool RunningUnderCompatibilityLayer() {
    // ntdll is mapped into every process, so this handle needs no release.
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring WindowsErrorText(DWORD error) {
    wchar_t text[512] = {};
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                          error, 0, text, static_cast<DWORD>(std::size(text)), nullptr);
    std::wstring result(text, length);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' ')) {
        result.pop_back();
    }
    return result;
}

IoctlAnswer HandleTransport::Ioctl(DWORD code, std::span<const std::uint8_t> in, std::size_t outSize) {
    IoctlAnswer answer;
    // Checked on every request, not once: nothing may reach a device from under Wine.
    if (RunningUnderCompatibilityLayer()) {
        answer.error = kRefusedUnderCompatibilityLayer;
        answer.errorText = L"firmware requests are never sent under a compatibility layer (Wine)";
        return answer;
    }
    if (in.size() > MAXDWORD || outSize > MAXDWORD) return Failure(ERROR_INVALID_PARAMETER);
    if (code == kIoctlScsiPassThroughDirect) return PassThroughDirect(device_, in);
    // DeviceIoControl takes a non-const input pointer; the input is copied so the
    // caller's bytes stay untouched whatever the driver does with the buffer.
    std::vector<std::uint8_t> input(in.begin(), in.end());
    answer.bytes.assign(outSize, 0);
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(device_, code, input.empty() ? nullptr : input.data(),
                                      static_cast<DWORD>(input.size()),
                                      answer.bytes.empty() ? nullptr : answer.bytes.data(),
                                      static_cast<DWORD>(answer.bytes.size()), &returned, nullptr);
    if (!ok) {
        answer.error = ::GetLastError();
        if (answer.error == 0) answer.error = ERROR_GEN_FAILURE;
        answer.errorText = WindowsErrorText(answer.error);
        answer.bytes.clear();
        return answer;
    }
    answer.bytes.resize(returned < answer.bytes.size() ? returned : answer.bytes.size());
    return answer;
}

void HandleTransport::CancelPending() {
    if (!RunningUnderCompatibilityLayer()) ::CancelIoEx(device_, nullptr);
}

}  // namespace morvane
