// Creating or replacing a whole file in one call.
#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Creates or replaces `path` with exactly `bytes`; false when the file cannot be
// created or not every byte was written.
[[nodiscard]] bool WriteWholeFile(const std::wstring& path, std::string_view bytes);

}  // namespace morvane
