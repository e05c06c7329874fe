// The one seam through which every firmware request reaches a drive: a device control in,
// bytes or a Windows error out. The real transport wraps DeviceIoControl on a handle it
// is lent; tests plug in a fake, which is the only way a sanitize is ever exercised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/win32.h"

namespace morvane {

// The result of one device control: the bytes returned, or a Windows error code with its
// text (both kept, so records can say "error 1 (Incorrect function.)").
struct IoctlAnswer {
    DWORD error = 0;
    std::wstring errorText;
    std::vector<std::uint8_t> bytes;

    bool ok() const { return error == 0; }
};

class DeviceTransport {
public:
    virtual ~DeviceTransport() = default;
    // One synchronous device control with `in` as input and room for `outSize` bytes of
    // answer. May block for as long as the drive works (a sanitize can take hours).
    virtual IoctlAnswer Ioctl(DWORD code, std::span<const std::uint8_t> in, std::size_t outSize) = 0;
    // Asks Windows to give up a request still blocked in Ioctl on another thread. Best
    // effort: whether the driver lets go is up to it.
    virtual void CancelPending() {}
};

// The real transport over an open disk handle, which stays owned by the caller and must
// outlive this object. It refuses every request, discovery included, when the program runs
// under Wine: Wine hands pass-through and storage requests on to the host's real disks.
class HandleTransport final : public DeviceTransport {
public:
    explicit HandleTransport(HANDLE device) noexcept : device_(device) {}
    IoctlAnswer Ioctl(DWORD code, std::span<const std::uint8_t> in, std::size_t outSize) override;
    void CancelPending() override;

private:
    HANDLE device_;
};

// The error a refused request carries under a compatibility layer.
inline constexpr DWORD kRefusedUnderCompatibilityLayer = ERROR_NOT_SUPPORTED;

// True when ntdll exports wine_get_version, i.e. the program runs under Wine.
bool RunningUnderCompatibilityLayer();

// The system's text for a Windows error code, without the trailing line break; "" when
// the system has none.
std::wstring WindowsErrorText(DWORD error);

}  // namespace morvane
