// The checks a WinPE build makes before it mounts anything, as pure functions.
#include "winpe/build_guards.h"

#include "common/files.h"
#include "common/text.h"

namespace morvane {

namespace {

std::uint32_t LittleEndian(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;) value = (value << 8) | bytes[at + i];
    return value;
}

bool StartsWithFolder(const std::wstring& path, const std::wstring& folder) {
    return path.size() > folder.size() && (path[folder.size()] == L'\\' || path[folder.size()] == L'/') &&
           SamePathText(path.substr(0, folder.size()), folder);
}

}  // namespace

std::optional<std::uint16_t> PEMachine(std::span<const std::uint8_t> head) {
    if (head.size() < 0x40 || head[0] != 'M' || head[1] != 'Z') return std::nullopt;
    const std::uint64_t header = LittleEndian(head, 0x3C, 4);
    if (header + 6 > head.size()) return std::nullopt;
    const std::size_t at = static_cast<std::size_t>(header);
    if (head[at] != 'P' || head[at + 1] != 'E' || head[at + 2] != 0 || head[at + 3] != 0) return std::nullopt;
    return static_cast<std::uint16_t>(LittleEndian(head, at + 4, 2));
}

std::optional<InjectedProgram> ChooseInjectedProgram(const std::wstring& programPath, int x86,
                                                     const MachineOf& machineOf) {
    const std::wstring folder = FolderOfPath(programPath);
    std::vector<InjectedProgram> candidates;
    if (x86 == 1) {
        candidates = {
            {folder + L"\\MorvaneDiskEraser_x86.exe",
             L"[WINPE x86] 32-bit ネイティブ実行ファイル (MorvaneDiskEraser_x86.exe) を組み込みます。"},
            {folder + L"\\x86\\MorvaneDiskEraser.exe", L""},
            {programPath, L""},
        };
    } else {
        const std::wstring announce = L"[WINPE x64] 64-bit ネイティブ実行ファイルを組み込みます: ";
        candidates = {{programPath, L""}};
        const std::wstring beside = folder + L"\\MorvaneDiskEraser.exe";
        if (!SamePathText(beside, programPath)) candidates.push_back({beside, announce + beside});
        if (SamePathText(NameOfPath(folder), L"x86")) {
            const std::wstring above = FolderOfPath(folder) + L"\\MorvaneDiskEraser.exe";
            candidates.push_back({above, announce + above});
        }
    }
    for (const InjectedProgram& candidate : candidates) {
        if (machineOf && machineOf(candidate.source) == MediumMachine(x86)) return candidate;
    }
    return std::nullopt;
}

std::wstring NoFittingProgramLine(int x86) {
    if (x86 == 1) {
        return L"[ERROR] x86 (32-bit) WinPE に組み込める 32-bit 版の実行ファイルが見つかりません。"
               L"WinPE は 64-bit のプログラムを起動できません。32-bit 版を MorvaneDiskEraser_x86.exe として"
               L"このプログラムと同じフォルダに置いてから再実行してください。";
    }
    return L"[ERROR] x64 (64-bit) WinPE に組み込める 64-bit 版の実行ファイルが見つかりません。"
           L"64-bit WinPE には 32-bit プログラムの実行環境 (WOW64) がありません。"
           L"64-bit 版の MorvaneDiskEraser.exe を同じフォルダに置くか、64-bit 版から作成してください。";
}

wchar_t FirstScriptBreakingChar(const std::wstring& path) {
    const std::size_t at = path.find_first_of(kScriptBreakingChars);
    return at == std::wstring::npos ? L'\0' : path[at];
}

std::wstring ScriptBreakingPathLine(wchar_t c, const std::wstring& path) {
    return L"[ERROR] パスに使用できない文字「" + std::wstring(1, c) + L"」が含まれています: " + path;
}

std::wstring UsbVolumeRefusal(const std::wstring& drive, const UsbVolumeFacts& facts) {
    if (!facts.known) {
        return L"[ERROR] USBドライブ (" + drive + L") のボリューム容量とパーティション形式を確認できません。"
               L"USBメモリを挿し直してから再実行してください。";
    }
    if (facts.gpt) {
        return L"[ERROR] USBドライブ (" + drive + L") のディスクは GPT 形式です。MakeWinPEMedia は MBR 形式の"
               L"USBメモリにしか書き込めません。MBR 形式に変換してから再実行してください。";
    }
    if (facts.volumeBytes > kMaxUsbVolumeBytes) {
        return L"[ERROR] USBドライブ (" + drive + L") のボリュームは " + std::to_wstring(facts.volumeBytes) +
               L" バイトで 32 GB (34359738368 バイト) を超えています。MakeWinPEMedia は 32 GB を超える"
               L"ボリュームを FAT32 でフォーマットできません。32 GB 以下のUSBメモリを使用してください。";
    }
    return {};
}

std::vector<std::wstring> StaleWorkFolders(const std::vector<FoundWorkFolder>& found,
                                           const std::vector<std::wstring>& mountFolders,
                                           const std::wstring& ownWorkFolder) {
    std::vector<std::wstring> stale;
    for (const FoundWorkFolder& folder : found) {
        if (!folder.scratch || SamePathText(folder.path, ownWorkFolder)) continue;
        bool mounted = false;
        for (const std::wstring& mount : mountFolders) {
            mounted = mounted || SamePathText(mount, folder.path) || StartsWithFolder(mount, folder.path);
        }
        if (!mounted) stale.push_back(folder.path);
    }
    return stale;
}

bool SamePathText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

}  // namespace morvane
