// The folder picker for certificates and audit logs: every drive with its kind,
// label, file system and free space, a proposed folder per drive, and a write check.
#pragma once

#include <string>

#include "ui/services.h"

namespace morvane {

// Modal to `owner`; the chosen folder, or empty when cancelled.
std::wstring PickOutputFolder(HWND owner, const std::wstring& initialPath, UiServices& services);

}  // namespace morvane
