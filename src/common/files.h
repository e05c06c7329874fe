// Whole-file writes and reads, the program's own location and the path facts every
// subsystem asks the same way.
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

// The part of `path` before its last '\' or '/'; "." when it holds neither.
std::wstring FolderOfPath(const std::wstring& path);
// The part of `path` after its last '\' or '/'; the whole path when it holds neither.
std::wstring NameOfPath(const std::wstring& path);

// "D:\..." or "D:/..." only. "D:" and "D:Certs" name the process's current folder on
// D:, so files would land wherever that happens to be; they count as relative.
[[nodiscard]] bool IsDriveAbsolute(const std::wstring& path);

}  // namespace morvane
