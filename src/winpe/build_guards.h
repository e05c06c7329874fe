// Pure checks a WinPE build makes before it mounts anything: which program file fits
// the medium's architecture, which paths the kit's script can take, whether a USB
// target can be formatted by it, and which earlier work folders may go.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morvane {

// IMAGE_FILE_HEADER.Machine values of the two architectures a medium can have.
inline constexpr std::uint16_t kMachineX86 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
// How many leading bytes of a file PEMachine is given; linkers put the PE header
// well inside this.
inline constexpr std::size_t kPEHeadBytes = 4096;

// The Machine field of a PE image from its first bytes: "MZ", the header offset
// (e_lfanew) at 0x3C, "PE\0\0" there and Machine right after it. None when the
// bytes are not a PE image or end before the field.
[[nodiscard]] std::optional<std::uint16_t> PEMachine(std::span<const std::uint8_t> head);

// The Machine a program needs to start on the medium: WinPE has no WOW64, so an
// x86 medium runs only 32-bit programs and an x64 medium only 64-bit ones.
[[nodiscard]] constexpr std::uint16_t MediumMachine(int x86) {
    return x86 == 1 ? kMachineX86 : kMachineAmd64;
}

// The file that becomes the injected program, with the log line that announces it
// (empty: nothing is logged).
struct InjectedProgram {
    std::wstring source;
    std::wstring announcement;
};
// Machine of a file; none when it is missing or not a PE image.
using MachineOf = std::function<std::optional<std::uint16_t>(const std::wstring& path)>;
// Candidates in order, the first whose Machine fits the medium wins. x86: the
// 32-bit build beside the program ("MorvaneDiskEraser_x86.exe"), the one in its
// "x86" folder, the program itself. x64: the program itself, then the 64-bit
// sibling of a 32-bit program ("MorvaneDiskEraser.exe" in its folder, or in the
// parent of an "x86" folder). None when no candidate fits.
[[nodiscard]] std::optional<InjectedProgram> ChooseInjectedProgram(const std::wstring& programPath, int x86,
                                                                   const MachineOf& machineOf);
// The "[ERROR] " line for a medium without a fitting program.
[[nodiscard]] std::wstring NoFittingProgramLine(int x86);

// The kit's MakeWinPEMedia.cmd takes its paths through cmd.exe argument parsing:
// "%" is expanded even inside quotes, and ( ) & ^ | < > ! break its own parsing.
inline constexpr wchar_t kScriptBreakingChars[] = L"%()&^|<>!";
// The first such character in `path`; 0 when there is none.
[[nodiscard]] wchar_t FirstScriptBreakingChar(const std::wstring& path);
// "[ERROR] パスに使用できない文字「c」が含まれています: " + path.
[[nodiscard]] std::wstring ScriptBreakingPathLine(wchar_t c, const std::wstring& path);

// Largest volume MakeWinPEMedia /UFD can format (FAT32 through diskpart): 32 GiB. A
// stick sold as "32 GB" is smaller than this and passes.
inline constexpr std::uint64_t kMaxUsbVolumeBytes = 34359738368ULL;
// What the USB target's volume reports about itself.
struct UsbVolumeFacts {
    bool known = false;  // false: the volume could not be asked
    std::uint64_t volumeBytes = 0;
    bool gpt = false;  // the disk holding the volume is GPT-partitioned
};
// The "[ERROR] " line that refuses the target, or empty when the script can take it.
[[nodiscard]] std::wstring UsbVolumeRefusal(const std::wstring& drive, const UsbVolumeFacts& facts);

// Marks a work folder of an ISO or USB build, whose folder is only scratch once the
// build ends; a media-folder build's work folder holds its product and never has it.
inline constexpr wchar_t kScratchMarkerName[] = L"morvane_scratch_work_folder.txt";
inline constexpr char kScratchMarkerText[] =
    "Work folder of an ISO or USB build of Morvane Disk Eraser's WinPE medium; the next build removes it.\r\n";
struct FoundWorkFolder {
    std::wstring path;
    bool scratch = false;  // carries the marker
};
// The folders to remove: marked, not `ownWorkFolder`, and with no image mounted at
// or below them (a listed mount folder).
[[nodiscard]] std::vector<std::wstring> StaleWorkFolders(const std::vector<FoundWorkFolder>& found,
                                                         const std::vector<std::wstring>& mountFolders,
                                                         const std::wstring& ownWorkFolder);

// Case-insensitive (ASCII) equality, as Windows compares paths.
[[nodiscard]] bool SamePathText(const std::wstring& a, const std::wstring& b);

}  // namespace morvane
