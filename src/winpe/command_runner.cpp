// The command runner over an anonymous pipe and CreateProcessW.
#include "winpe/command_runner.h"

#include "common/text.h"

#include <cstring>
#include <utility>

#include "common/unique_handle.h"
#include "common/win32.h"

namespace morvane {

std::wstring InterpreterCommandLine(const std::wstring& command) {
    return L"cmd.exe /c \"" + command + L"\"";
}

void AppendOutputChunk(std::string& accumulator, const char* chunk, std::size_t length) {
    const void* zero = std::memchr(chunk, 0, length);
    const std::size_t usable =
        zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - chunk) : length;
    accumulator.append(chunk, usable);
}

std::vector<std::string> TakeCompleteLines(std::string& accumulator) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = accumulator.find('\n', start);
        if (lf == std::string::npos) break;
        std::size_t end = lf;
        if (end > start && accumulator[end - 1] == '\r') --end;
        if (end > start) lines.emplace_back(accumulator, start, end - start);
        start = lf + 1;
    }
    accumulator.erase(0, start);
    return lines;
}

std::wstring ToolOutputLogLine(const std::string& line) {
    // Taken as zero-terminated, like the bytes the tool wrote; a failed conversion
    // gives an empty line.
    const std::wstring wide = AnsiToWide(line.c_str());
    return wide.empty() ? std::wstring() : L"  " + wide;
}

namespace {

// Reads the pipe until end of output, forwarding lines as they complete.
void PumpOutput(HANDLE readEnd, const LogCallback& onLine) {
    std::string accumulator;
    char buffer[512];
    for (;;) {
        std::memset(buffer, 0, sizeof buffer);
        DWORD got = 0;
        if (!::ReadFile(readEnd, buffer, sizeof buffer - 1, &got, nullptr) || got == 0) break;
        AppendOutputChunk(accumulator, buffer, got);
        for (const std::string& line : TakeCompleteLines(accumulator)) {
            if (!onLine) continue;
            const std::wstring text = ToolOutputLogLine(line);
            if (!text.empty()) onLine(text);
        }
    }
    // Output after the last line feed is never forwarded.
}

int RunWithCallback(const std::wstring& command, const LogCallback& onLine) {
    SECURITY_ATTRIBUTES inherit{};
    inherit.nLength = sizeof inherit;
    inherit.lpSecurityDescriptor = nullptr;
    inherit.bInheritHandle = TRUE;

    UniqueKernelHandle readEnd;
    UniqueKernelHandle writeEnd;
    {
        HANDLE r = nullptr;
        HANDLE w = nullptr;
        if (!::CreatePipe(&r, &w, &inherit, 0)) return 1;
        readEnd.reset(r);
        writeEnd.reset(w);
    }
    // Only the write end may reach the child, or the read end would never see EOF.
    ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();

    // CreateProcessW may modify the command-line buffer, so it gets its own copy.
    std::wstring commandLine = InterpreterCommandLine(command);
    PROCESS_INFORMATION info{};
    const BOOL created =
        ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                         nullptr, nullptr, &startup, &info);
    // Close our copy of the write end at once: the child holds its own, and end of
    // file arrives only when every copy is closed.
    writeEnd.reset();
    if (!created) return 1;
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);

    PumpOutput(readEnd.get(), onLine);
    ::WaitForSingleObject(process.get(), INFINITE);

    DWORD exitCode = 1;
    if (!::GetExitCodeProcess(process.get(), &exitCode)) exitCode = 1;
    return exitCode == 0 ? 0 : 1;
}

}  // namespace

int RunCommand(const std::wstring& command, LogCallback onLine) {
    const int result = RunWithCallback(command, onLine);
    onLine = nullptr;  // the callback copy is released before returning, on every path
    return result;
}

}  // namespace morvane
