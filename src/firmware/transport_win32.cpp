// The real device transport: DeviceIoControl on a lent handle, behind the compatibility-
// layer refusal, and the Windows error texts.
#include <vector>

#include "common/win32.h"
#include "firmware/transport.h"

namespace morvane {

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
    if (in.size() > MAXDWORD || outSize > MAXDWORD) {
        answer.error = ERROR_INVALID_PARAMETER;
        answer.errorText = WindowsErrorText(answer.error);
        return answer;
    }
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
