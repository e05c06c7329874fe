// The checks before a WinPE build: PE Machine read from real and made-up headers, the
// program chosen for each medium, USB volumes the kit's script cannot format, which
// earlier work folders may go, and where the kit is looked for.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/winpe_fakes.h"
#include "winpe/adk.h"
#include "winpe/build_guards.h"
#include "winpe/winpe_host.h"

namespace morvane {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(WinPEGuards, PEMachineOfHeaders) {
    const std::string x86 = testing::FakeProgram(kMachineX86, "");
    std::string farHeader = testing::FakeProgram(kMachineAmd64, "");
    farHeader[0x3C] = 0x00, farHeader[0x3D] = 0x10;  // e_lfanew 0x1000: past the bytes given
    const std::pair<std::string, std::optional<std::uint16_t>> cases[] = {
        {x86, kMachineX86},
        {testing::FakeProgram(kMachineAmd64, "tail"), kMachineAmd64},
        {x86.substr(0, x86.size() - 1), std::nullopt},   // ends inside Machine
        {"ZM" + x86.substr(2), std::nullopt},             // no "MZ"
        {x86.substr(0, 0x42) + "X" + x86.substr(0x43), std::nullopt},  // "PX\0\0"
        {farHeader, std::nullopt},
        {"x64 program", std::nullopt},
    };
    for (const auto& [head, machine] : cases) EXPECT_EQ(PEMachine(Bytes(head)), machine);
    // The test program itself, read as the build reads the program it injects.
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(FileMachine(self), sizeof(void*) == 8 ? kMachineAmd64 : kMachineX86);
}

TEST(WinPEGuards, ProgramOfTheMediumsArchitecture) {
    const std::wstring dir = L"C:\\App", x64 = dir + L"\\MorvaneDiskEraser.exe", x86Beside = dir + L"\\MorvaneDiskEraser_x86.exe",
                       x86Sub = dir + L"\\x86\\MorvaneDiskEraser.exe";
    struct Case {
        const char* name;
        std::wstring program;
        int x86;
        std::map<std::wstring, std::uint16_t> files;  // what exists, with its Machine
        std::wstring chosen;                          // empty: refused
        bool announced;
    };
    const Case cases[] = {
        {"x64 from the 64-bit program", x64, 0, {{x64, kMachineAmd64}}, x64, false},
        {"x86 with the 32-bit build beside", x64, 1, {{x64, kMachineAmd64}, {x86Beside, kMachineX86}}, x86Beside, true},
        {"x86 with the 32-bit build in x86", x64, 1, {{x64, kMachineAmd64}, {x86Sub, kMachineX86}}, x86Sub, false},
        {"x86 offered only the 64-bit program", x64, 1, {{x64, kMachineAmd64}}, L"", false},
        {"x86 with a 64-bit file misnamed _x86", x64, 1, {{x64, kMachineAmd64}, {x86Beside, kMachineAmd64}}, L"", false},
        {"x86 from the 32-bit program", x86Beside, 1, {{x86Beside, kMachineX86}}, x86Beside, true},
        {"x64 from the 32-bit program, sibling beside", x86Beside, 0, {{x86Beside, kMachineX86}, {x64, kMachineAmd64}}, x64, true},
        {"x64 from the 32-bit program in x86, sibling above", x86Sub, 0, {{x86Sub, kMachineX86}, {x64, kMachineAmd64}}, x64, true},
        {"x64 from the 32-bit program, no sibling", x86Beside, 0, {{x86Beside, kMachineX86}}, L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto machineOf = [&c](const std::wstring& path) -> std::optional<std::uint16_t> {
            const auto it = c.files.find(path);
            return it == c.files.end() ? std::nullopt : std::optional<std::uint16_t>(it->second);
        };
        const std::optional<InjectedProgram> chosen = ChooseInjectedProgram(c.program, c.x86, machineOf);
        EXPECT_EQ(chosen ? chosen->source : L"", c.chosen);
        EXPECT_EQ(chosen && !chosen->announcement.empty(), c.announced);
    }
    EXPECT_EQ(NoFittingProgramLine(1).rfind(L"[ERROR] x86 (32-bit)", 0), 0u);
}

TEST(WinPEGuards, UsbVolumesPathsAndLeftovers) {
    const std::pair<UsbVolumeFacts, std::wstring> volumes[] = {
        {{true, 31'004'295'168ULL, false}, L""},           // a stick sold as "32 GB"
        {{true, kMaxUsbVolumeBytes, false}, L""},
        {{true, kMaxUsbVolumeBytes + 512, false}, L"32 GB"},
        {{true, 8'000'000'000ULL, true}, L"GPT"},
        {{false, 0, false}, L"確認できません"},
    };
    for (const auto& [facts, reason] : volumes) {
        const std::wstring refusal = UsbVolumeRefusal(L"E:", facts);
        EXPECT_EQ(refusal.empty(), reason.empty()) << facts.volumeBytes;
        EXPECT_TRUE(refusal.rfind(L"[ERROR] USBドライブ (E:)", 0) == 0 || reason.empty());
        EXPECT_NE(refusal.find(reason), std::wstring::npos);
    }

    for (const wchar_t c : std::wstring(L"%()&^|<>!")) {
        EXPECT_EQ(FirstScriptBreakingChar(L"C:\\Temp\\a" + std::wstring(1, c) + L"b"), c);
    }
    EXPECT_EQ(FirstScriptBreakingChar(L"C:\\Users\\山田 太郎\\Temp\\a-b_c.iso"), L'\0');

    const std::wstring t = L"C:\\T\\Morvane_WinPE_amd64_";
    const std::vector<FoundWorkFolder> found = {
        {t + L"1", true}, {t + L"2", true}, {t + L"3", false}, {t + L"4", true}, {t + L"5", true}, {t + L"1x", true}};
    // Mounted (any case), this build's own, unmarked: kept; "_1" is no folder of "_1x\mount".
    const std::vector<std::wstring> mounts = {L"c:\\t\\morvane_winpe_amd64_2\\mount", t + L"1x\\mount"};
    EXPECT_EQ(StaleWorkFolders(found, mounts, t + L"4"), (std::vector<std::wstring>{t + L"1", t + L"5"}));

    // The kit can live wherever its installer recorded; the fixed paths follow, once.
    const std::wstring fixed0 = kAdkRootCandidates[0], fixed1 = kAdkRootCandidates[1];
    EXPECT_EQ(AdkRootCandidates(L"D:\\Kits\\10"),
              (std::vector<std::wstring>{L"D:\\Kits\\10\\Assessment and Deployment Kit", fixed0, fixed1}));
    EXPECT_EQ(AdkRootCandidates(L"c:\\program files (x86)\\windows kits\\10").size(), 2u);
    EXPECT_EQ(AdkRootCandidates(L""), (std::vector<std::wstring>{fixed0, fixed1}));
}

}  // namespace
}  // namespace morvane
