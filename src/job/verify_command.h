// The headless "--verify <file.json>" command: checks a written evidence set and says
// so on standard output and in "<ID>_Verify.txt" beside it.
#pragma once

#include <optional>
#include <string>

namespace morvane {

// The path after "--verify" on the command line (empty when none follows); nothing
// when the option is absent.
[[nodiscard]] std::optional<std::wstring> VerifyArgument(const wchar_t* commandLine);

// Checks the set, prints the report and writes it beside the set (a read-only medium
// only loses the copy). Returns 0 when every file holds, 1 when something is altered
// or unsigned, 2 when a file cannot be read.
[[nodiscard]] int RunVerifyCommand(const std::wstring& jsonPath);

}  // namespace morvane
