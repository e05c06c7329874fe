// The command runner: its pure line splitting, and its contract with Wine's own
// cmd.exe (exit codes, merged stderr, line ends, partial lines, quoting, volume).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/winpe_fakes.h"
#include "winpe/command_runner.h"

namespace morvane {
namespace {

using testing::Narrow;
using testing::TempDir;
using testing::WriteTextFile;

TEST(CommandRunner, WrapsTheCommandInOneOuterPairOfQuotes) {
    EXPECT_EQ(InterpreterCommandLine(L"dism.exe /Cleanup-Wim >nul 2>&1"),
              L"cmd.exe /c \"dism.exe /Cleanup-Wim >nul 2>&1\"");
    EXPECT_EQ(InterpreterCommandLine(L"\"C:\\a b\\t.exe\" \"x y\""),
              L"cmd.exe /c \"\"C:\\a b\\t.exe\" \"x y\"\"");
}

TEST(CommandRunner, SplitsCompleteLinesAndKeepsTheRest) {
    struct Case {
        std::string input;
        std::vector<std::string> lines;
        std::string rest;
    };
    const Case cases[] = {
        {"", {}, ""},
        {"no newline", {}, "no newline"},
        {"a\nb\n", {"a", "b"}, ""},
        {"a\r\nb\r\ntail", {"a", "b"}, "tail"},
        {"\n\r\n\r\nx\n", {"x"}, ""},          // blank lines and lone CRs are dropped
        {"   \r\n", {"   "}, ""},               // a line of spaces is kept
        {"a\r\r\n", {"a\r"}, ""},               // only one trailing CR is dropped
        {"mid\rdle\n", {"mid\rdle"}, ""},       // an inner CR stays
        {"x\r", {}, "x\r"},                     // CR without LF is not a line end
    };
    for (const Case& c : cases) {
        std::string accumulator = c.input;
        EXPECT_EQ(TakeCompleteLines(accumulator), c.lines) << c.input;
        EXPECT_EQ(accumulator, c.rest) << c.input;
    }
}

TEST(CommandRunner, ChunkStopsAtItsFirstZeroByte) {
    std::string accumulator = "ab";
    const char chunk[] = {'c', 'd', '\0', 'e', '\n'};
    AppendOutputChunk(accumulator, chunk, sizeof chunk);
    EXPECT_EQ(accumulator, "abcd");
    AppendOutputChunk(accumulator, "\nz", 2);
    EXPECT_EQ(accumulator, "abcd\nz");
}

// Runs a command under the real interpreter and collects what reaches the log.
struct Captured {
    int result = -1;
    std::vector<std::wstring> lines;
};
Captured RunCollect(const std::wstring& command) {
    Captured run;
    run.result = RunCommand(command, [&run](const std::wstring& line) { run.lines.push_back(line); });
    return run;
}

TEST(CommandRunnerUnderWine, ResultsAndForwardedLines) {
    TempDir dir;
    const std::wstring lines = dir.file(L"out.txt"), zero = dir.file(L"nul.txt"), marker = dir.file(L"ran.txt");
    WriteTextFile(lines, "first\r\n\r\n   \r\n\r\nunix\nlast-partial");
    WriteTextFile(zero, std::string("ab\0cd\nef\n", 9));
    using Lines = std::vector<std::wstring>;
    struct Case {
        std::wstring command;
        int result;
        Lines lines;
        bool interpreterText = false;  // lines in the interpreter's own words, not checked
    };
    const Case cases[] = {
        {L"exit 0", 0, {}},
        {L"exit 2", 1, {}},
        {L"no_such_program_zz_123.exe", 1, {}, true},
        // Merged in order; the interpreter echoes the blank before the redirection.
        {L"echo one&& echo two 1>&2&& echo three", 0, {L"  one", L"  two ", L"  three"}},
        // CR LF and LF ends, blank lines dropped, a line of spaces kept, partial last line dropped.
        {L"type \"" + lines + L"\"", 0, {L"  first", L"     ", L"  unix"}},
        // The whole output is one chunk, cut at its zero byte: "ab" stays a partial line.
        {L"type \"" + zero + L"\"", 0, {}},
        {L"echo noise&& echo done> \"" + marker + L"\"", 0, {L"  noise"}},
    };
    for (const Case& c : cases) {
        Lines got;
        EXPECT_EQ(RunCommand(c.command, [&got](const std::wstring& line) { got.push_back(line); }), c.result)
            << Narrow(c.command);
        if (!c.interpreterText) {
            EXPECT_EQ(got, c.lines) << Narrow(c.command);
        }
        // An empty callback runs the command all the same.
        ::DeleteFileW(marker.c_str());
        EXPECT_EQ(RunCommand(c.command, nullptr), c.result) << Narrow(c.command);
    }
    EXPECT_TRUE(testing::PathExists(marker));
}

TEST(CommandRunnerUnderWine, QuotedProgramPathWithQuotedArgumentsRunsAsTyped) {
    TempDir dir;
    const std::wstring program = dir.file(L"tool folder\\curl.exe");
    std::filesystem::create_directories(dir.path() / L"tool folder");
    ASSERT_TRUE(::CopyFileW(testing::FakeTool(L"curl").c_str(), program.c_str(), FALSE));
    const std::wstring command = L"\"" + program + L"\" -L \"a b\" -o \"" + dir.file(L"x y.bin") + L"\"";
    const Captured run = RunCollect(command);
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.lines.size(), 1u);
    EXPECT_EQ(run.lines[0], L"  " + command);  // the fake prints its own command line
    EXPECT_TRUE(testing::PathExists(dir.file(L"x y.bin")));
}

TEST(CommandRunnerUnderWine, AQuestionReadsEndOfInputInsteadOfWaiting) {
    // This process's own standard input becomes a pipe nobody writes to: a command
    // that read from it would wait for an answer forever.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE unanswered = nullptr;
    HANDLE writer = nullptr;
    ASSERT_TRUE(::CreatePipe(&unanswered, &writer, &inheritable, 0));
    const HANDLE saved = ::GetStdHandle(STD_INPUT_HANDLE);
    ::SetStdHandle(STD_INPUT_HANDLE, unanswered);
    // The short limit bounds the test if the command does wait.
    const Captured run = [] {
        Captured r;
        r.result = RunCommand(L"set /p ANSWER=Overwrite? (Y/N) & echo asked",
                              [&r](const std::wstring& line) { r.lines.push_back(line); }, std::chrono::seconds(15));
        return r;
    }();
    ::SetStdHandle(STD_INPUT_HANDLE, saved);
    ::CloseHandle(unanswered);
    ::CloseHandle(writer);
    EXPECT_EQ(run.result, 0);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_NE(run.lines.back().find(L"asked"), std::wstring::npos) << Narrow(run.lines.back());
}

TEST(CommandRunnerUnderWine, TenThousandLinesArriveInOrder) {
    TempDir dir;
    const std::wstring file = dir.file(L"many.txt");
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "line " + std::to_string(i) + "\r\n";
    WriteTextFile(file, text);
    const Captured run = RunCollect(L"type \"" + file + L"\"");
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.lines.size(), 10000u);
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(run.lines[static_cast<std::size_t>(i)], L"  line " + std::to_wstring(i));
    }
}

}  // namespace
}  // namespace morvane
