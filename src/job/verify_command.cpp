// Runs the evidence set check for the command line: standard output (or the console
// of the program that started this GUI-subsystem process) and the report file.
#include "job/verify_command.h"

#include "common/files.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "common/win32.h"
#include "evidence/verify_set.h"

namespace morvane {
namespace {

// Redirected output (a pipe or file, and Wine's standard output) gets UTF-8; otherwise
// the text goes to the console of the parent, when it has one.
void Print(const std::wstring& text) {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    DWORD mode = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE) {
        if (::GetConsoleMode(out, &mode)) {
            ::WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        } else {
            const std::string bytes = WholeUtf8(text);
            ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        }
        return;
    }
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
    const UniqueFile console(::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (console) ::WriteConsoleW(console.get(), text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

std::optional<std::wstring> VerifyArgument(const wchar_t* commandLine) {
    if (commandLine == nullptr || *commandLine == L'\0') return std::nullopt;
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(commandLine, &count);
    if (arguments == nullptr) return std::nullopt;
    std::optional<std::wstring> path;
    for (int i = 0; i < count && !path; ++i) {
        if (std::wstring(arguments[i]) == L"--verify") path = i + 1 < count ? arguments[i + 1] : L"";
    }
    ::LocalFree(arguments);
    return path;
}

int RunVerifyCommand(const std::wstring& jsonPath) {
    const SetCheck check = CheckEvidenceSet(jsonPath);
    std::wstring text = VerifyReportText(check, jsonPath);
    if (!check.base.empty() && !WriteWholeFile(check.base + L"_Verify.txt", WholeUtf8(text))) {
        text += L"(" + check.base + L"_Verify.txt could not be written)\r\n";
    }
    Print(text);
    return VerifyExitCode(check);
}

}  // namespace morvane
