// The command runner: one external command line through the Windows command
// interpreter, its merged stdout/stderr handed on line by line, its exit code
// reduced to 0 (exit code 0) or 1 (anything else).
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "common/log_callback.h"

namespace morvane {

// "cmd.exe /c \"" + command + "\"": the interpreter strips exactly this outer
// pair of quotes and runs the inner text with its own quoting intact.
[[nodiscard]] std::wstring InterpreterCommandLine(const std::wstring& command);

// Appends one read chunk to the accumulator the way the runner does: only the
// bytes before the chunk's first zero byte (a UTF-16 stream is cut short there).
void AppendOutputChunk(std::string& accumulator, const char* chunk, std::size_t length);

// Removes every complete (LF-terminated) line from the front of the accumulator and
// returns the non-empty ones, each without its LF and one trailing CR. Bytes after
// the last LF stay in the accumulator.
[[nodiscard]] std::vector<std::string> TakeCompleteLines(std::string& accumulator);

// The log form of one tool output line: two blanks, then the line converted from
// the system ANSI code page. Empty when the conversion yields nothing.
[[nodiscard]] std::wstring ToolOutputLogLine(const std::string& line);

// How long one external command may run before its whole process tree is ended.
// Generous: committing a large image with DISM can take well over half an hour on a
// slow disk, and a download of the kit's add-on is several gigabytes.
inline constexpr std::chrono::milliseconds kCommandTimeLimit = std::chrono::hours(2);

// Runs `command` hidden with standard input on NUL (a tool that asks a question
// reads end of file and fails at once), forwards each complete non-empty output
// line to `onLine` (which may be empty: the output is then read and dropped) and
// returns 0 only when the process ran and exited with code 0. When the command is
// still running after `timeLimit`, the command and every process it started are
// ended, an "[ERROR] " line naming the command goes to `onLine`, and the result is 1.
[[nodiscard]] int RunCommand(const std::wstring& command, LogCallback onLine,
                             std::chrono::milliseconds timeLimit = kCommandTimeLimit);

// For commands whose output stays out of the log: forwards only the runner's own
// lines (a time-out), not the tool's indented output. Empty when `log` is empty.
[[nodiscard]] LogCallback RunnerLinesOnly(LogCallback log);

}  // namespace morvane
