// The command runner over an anonymous pipe and CreateProcessW.
#include "winpe/command_runner.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "common/text.h"
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

// Ends the command's whole process tree when the time limit passes before the
// command has finished. The tree is a job object: cmd.exe and every tool it starts
// belong to it, so ending the job also ends grandchildren that hold the output pipe.
class Deadline {
public:
    Deadline(HANDLE job, HANDLE process, std::chrono::milliseconds limit)
        : job_(job), process_(process), done_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        // WaitForSingleObject counts in DWORD milliseconds; INFINITE itself is excluded.
        const auto ms = std::clamp<long long>(limit.count(), 0, INFINITE - 1);
        limitMs_ = static_cast<DWORD>(ms);
        if (done_) watcher_.reset(::CreateThread(nullptr, 0, &Deadline::Watch, this, 0, nullptr));
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
    ~Deadline() {
        if (done_) ::SetEvent(done_.get());
        if (watcher_) ::WaitForSingleObject(watcher_.get(), INFINITE);
    }
    // Called once the command has ended on its own (or been ended).
    void Finished() {
        if (done_) ::SetEvent(done_.get());
        if (watcher_) ::WaitForSingleObject(watcher_.get(), INFINITE);
        watcher_.reset();
    }
    [[nodiscard]] bool expired() const { return expired_; }

private:
    static DWORD WINAPI Watch(void* self) {
        auto* d = static_cast<Deadline*>(self);
        if (::WaitForSingleObject(d->done_.get(), d->limitMs_) == WAIT_TIMEOUT) {
            d->expired_ = true;
            // Without a job only the interpreter can be ended; its children may linger.
            if (d->job_) {
                ::TerminateJobObject(d->job_, 1);
            } else {
                ::TerminateProcess(d->process_, 1);
            }
        }
        return 0;
    }

    HANDLE job_;
    HANDLE process_;
    DWORD limitMs_ = 0;
    UniqueKernelHandle done_;
    UniqueKernelHandle watcher_;
    std::atomic<bool> expired_{false};
};

// A job whose processes all end when its last handle is closed, so nothing a
// command started outlives the call.
UniqueKernelHandle KillOnCloseJob() {
    UniqueKernelHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        job.reset();
    }
    return job;
}

int RunWithCallback(const std::wstring& command, const LogCallback& onLine,
                    std::chrono::milliseconds timeLimit) {
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
    // Nobody can answer a prompt of a hidden tool: standard input is NUL, so a
    // question (MakeWinPEMedia's overwrite check, a "press any key") reads end of
    // file and fails at once instead of waiting forever.
    UniqueFile input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input ? input.get() : nullptr;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();

    UniqueKernelHandle job = KillOnCloseJob();
    // CreateProcessW may modify the command-line buffer, so it gets its own copy.
    // Started suspended so that it joins the job before it can start anything.
    std::wstring commandLine = InterpreterCommandLine(command);
    PROCESS_INFORMATION info{};
    const BOOL created =
        ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup, &info);
    // Close our copy of the write end at once: the child holds its own, and end of
    // file arrives only when every copy is closed.
    writeEnd.reset();
    input.reset();
    if (!created) return 1;
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    if (job && !::AssignProcessToJobObject(job.get(), process.get())) job.reset();

    Deadline deadline(job.get(), process.get(), timeLimit);
    ::ResumeThread(thread.get());
    PumpOutput(readEnd.get(), onLine);
    ::WaitForSingleObject(process.get(), INFINITE);
    deadline.Finished();

    if (deadline.expired()) {
        EmitLog(onLine, L"[ERROR] 外部コマンドが制限時間内に終了しなかったため、"
                        L"プロセスごと強制終了しました: " + command);
        return 1;
    }
    DWORD exitCode = 1;
    if (!::GetExitCodeProcess(process.get(), &exitCode)) exitCode = 1;
    return exitCode == 0 ? 0 : 1;
}

}  // namespace

int RunCommand(const std::wstring& command, LogCallback onLine, std::chrono::milliseconds timeLimit) {
    const int result = RunWithCallback(command, onLine, timeLimit);
    onLine = nullptr;  // the callback copy is released before returning, on every path
    return result;
}

LogCallback RunnerLinesOnly(LogCallback log) {
    if (!log) return {};
    return [log = std::move(log)](const std::wstring& line) {
        if (line.rfind(L"  ", 0) != 0) log(line);  // tool output is indented by two blanks
    };
}

}  // namespace morvane
