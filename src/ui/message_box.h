// A message box as a value: what the pure decisions return and the window shows.
#pragma once

#include <string>

#include "common/win32.h"

namespace morvane {

struct MessageBoxText {
    std::wstring text;
    std::wstring title;
    UINT style = MB_OK;  // icon | buttons | default button, as MessageBoxW takes them
    friend bool operator==(const MessageBoxText&, const MessageBoxText&) = default;
};

// The title of every ordinary box, and of every safety refusal.
inline constexpr wchar_t kBoxTitle[] = L"Morvane Disk Eraser";
inline constexpr wchar_t kSafetyGuardTitle[] = L"Morvane Safety Guard";

}  // namespace morvane
