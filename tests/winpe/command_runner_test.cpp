// The command runner: its pure line splitting, and its contract with Wine's own
// cmd.exe (exit codes, merged stderr, line ends, partial lines, quoting, volume).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/winpe_fakes.h"
#include "winpe/command_runner.h"

namespace morvane {
namespace {

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
    EXPECT_EQ(ToolOutputLogLine("Deployment Image"), L"  Deployment Image");
    EXPECT_EQ(ToolOutputLogLine(" "), L"   ");
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

TEST(CommandRunnerUnderWine, ExitCodeDecidesTheResult) {
    struct Case {
        std::wstring command;
        int result;
    };
    const Case cases[] = {
        {L"exit 0", 0},
        {L"exit 2", 1},
        {L"exit 1", 1},
        {L"echo lots of error text 1>&2", 0},
        {L"no_such_program_zz_123.exe", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(RunCommand(c.command, nullptr), c.result) << c.command;
}

TEST(CommandRunnerUnderWine, MergesStderrWithStdoutInOrder) {
    const Captured run = RunCollect(L"echo one&& echo two 1>&2&& echo three");
    EXPECT_EQ(run.result, 0);
    // The interpreter echoes the blank before the redirection.
    EXPECT_EQ(run.lines, (std::vector<std::wstring>{L"  one", L"  two ", L"  three"}));
}

TEST(CommandRunnerUnderWine, LineEndsBlankLinesSpacesAndThePartialLastLine) {
    TempDir dir;
    const std::wstring file = dir.file(L"out.txt");
    WriteTextFile(file, "first\r\n\r\n   \r\n\r\nunix\nlast-partial");
    const Captured run = RunCollect(L"type \"" + file + L"\"");
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.lines, (std::vector<std::wstring>{L"  first", L"     ", L"  unix"}));
}

TEST(CommandRunnerUnderWine, AZeroByteCutsItsChunk) {
    TempDir dir;
    const std::wstring file = dir.file(L"nul.txt");
    WriteTextFile(file, std::string("ab\0cd\nef\n", 9));
    const Captured run = RunCollect(L"type \"" + file + L"\"");
    // The whole output arrives in one chunk, cut at the zero byte: "ab" stays an
    // unterminated partial line and nothing is forwarded.
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(run.lines.empty());
}

TEST(CommandRunnerUnderWine, EmptyCallbackStillRunsToCompletion) {
    TempDir dir;
    const std::wstring marker = dir.file(L"ran.txt");
    EXPECT_EQ(RunCommand(L"echo noise&& echo done> \"" + marker + L"\"", nullptr), 0);
    EXPECT_TRUE(testing::PathExists(marker));
    EXPECT_EQ(RunCommand(L"echo noise&& exit 3", LogCallback()), 1);
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
