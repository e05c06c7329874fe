// The command runner: line splitting, and with Wine's own cmd.exe exit codes, merged
// stderr, standard input on NUL, and the time limit that ends a hung tool and its children.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/unique_handle.h"
#include "support/winpe_fakes.h"
#include "winpe/command_runner.h"

namespace morvane {
namespace {

using Lines = std::vector<std::wstring>;

TEST(CommandRunner, LineSplitting) {
    // Input, the complete lines taken from it, what stays for the next chunk.
    const std::tuple<std::string, std::vector<std::string>, std::string> cases[] = {
        {"a\r\nb\ntail", {"a", "b"}, "tail"},
        {"\n\r\n\r\nx\n", {"x"}, ""},            // blank lines and lone CRs are dropped
        {"   \r\na\r\r\n", {"   ", "a\r"}, ""},  // a line of spaces is kept; one trailing CR is dropped
    };
    for (auto [input, lines, rest] : cases) {
        EXPECT_EQ(TakeCompleteLines(input), lines);
        EXPECT_EQ(input, rest);
    }
    std::string accumulator;
    AppendOutputChunk(accumulator, "cd\0e\n", 5);  // a chunk ends at its first zero byte
    EXPECT_EQ(accumulator, "cd");
}

// Every line a command sends to the log.
Lines Collect(const std::wstring& command, int result, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    Lines lines;
    EXPECT_EQ(RunCommand(command, [&lines](const std::wstring& line) { lines.push_back(line); }, limit), result);
    return lines;
}

TEST(CommandRunnerUnderWine, ResultsAndForwardedLines) {
    testing::TempDir dir;
    EXPECT_EQ(Collect(L"exit 0", 0), Lines{});
    EXPECT_EQ(Collect(L"exit 2", 1), Lines{});
    (void)Collect(L"no_such_program_zz_123.exe", 1);
    // stdout and stderr merged in order; the interpreter echoes the blank before "1>&2".
    EXPECT_EQ(Collect(L"echo one&& echo two 1>&2&& echo three", 0), (Lines{L"  one", L"  two ", L"  three"}));
    EXPECT_EQ(RunCommand(L"echo done> \"" + dir.file(L"ran.txt") + L"\"", nullptr), 0);  // no callback: runs all the same
    EXPECT_TRUE(testing::PathExists(dir.file(L"ran.txt")));
    // Output far larger than a pipe's buffer arrives whole and in order while the tool runs.
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "line " + std::to_string(i) + "\r\n";
    std::ofstream(std::filesystem::path(dir.file(L"many.txt")), std::ios::binary) << text;
    const Lines many = Collect(L"type \"" + dir.file(L"many.txt") + L"\"", 0);
    ASSERT_EQ(many.size(), 10000u);
    EXPECT_EQ(many[1234], L"  line 1234");
    EXPECT_EQ(many[9999], L"  line 9999");
}

TEST(CommandRunnerUnderWine, AQuestionReadsEndOfInputInsteadOfWaiting) {
    // This process's standard input becomes a pipe nobody writes to: a command that
    // read from it would wait for an answer until the time limit ended it.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE unanswered = nullptr, writer = nullptr;
    ASSERT_TRUE(::CreatePipe(&unanswered, &writer, &inheritable, 0));
    const HANDLE saved = ::GetStdHandle(STD_INPUT_HANDLE);
    ::SetStdHandle(STD_INPUT_HANDLE, unanswered);
    const Lines lines = Collect(L"set /p ANSWER=Overwrite? (Y/N) & echo asked", 0, std::chrono::seconds(15));
    ::SetStdHandle(STD_INPUT_HANDLE, saved);
    ::CloseHandle(unanswered);
    ::CloseHandle(writer);
    EXPECT_NE(lines.empty() ? std::wstring::npos : lines.back().find(L"asked"), std::wstring::npos);
}

TEST(CommandRunnerUnderWine, ACommandPastItsTimeLimitIsEndedWithItsChildren) {
    testing::TempDir dir;
    testing::FakeToolEnv tools(dir.file(L"commands.log"));
    tools.Set(L"MORVANE_FAKE_SLEEP", L"/Mount-Image=60000");
    Lines all, own;
    const LogCallback runnerOnly = RunnerLinesOnly([&own](const std::wstring& line) { own.push_back(line); });
    const auto both = [&](const std::wstring& line) { all.push_back(line), runnerOnly(line); };
    EXPECT_EQ(RunCommand(L"dism.exe /Mount-Image", both, std::chrono::seconds(2)), 1);
    // Only the runner's own line passes RunnerLinesOnly; it names the command.
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].rfind(L"[ERROR] ", 0), 0u);
    EXPECT_EQ(own[0].rfind(L": dism.exe /Mount-Image"), own[0].size() - 23);
    // The fake, started by cmd.exe, printed its process id before hanging; it is gone.
    ASSERT_GE(all.size(), 2u);
    ASSERT_EQ(all[1].rfind(L"  pid ", 0), 0u) << testing::Narrow(all[1]);
    UniqueKernelHandle hung(::OpenProcess(SYNCHRONIZE, FALSE, std::stoul(all[1].substr(6))));
    EXPECT_TRUE(!hung || ::WaitForSingleObject(hung.get(), 5000) == WAIT_OBJECT_0);
}

}  // namespace
}  // namespace morvane
