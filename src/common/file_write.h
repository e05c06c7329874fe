// Whole-file writes and reads, and the program's own location.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// Creates or replaces `path` with exactly `bytes`; false when the file cannot be
// created or not every byte was written.
[[nodiscard]] bool WriteWholeFile(const std::wstring& path, std::string_view bytes);

// The whole content of `path`; nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::wstring& path);

// Full path of the running executable, grown past MAX_PATH (a truncated path would
// put files somewhere else); empty when the system cannot say.
std::wstring OwnExecutablePath();

}  // namespace morvane
