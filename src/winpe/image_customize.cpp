// Boot files, Japanese locale and runtime libraries for the mounted WinPE image.
#include "winpe/image_customize.h"

#include "common/win32.h"
#include "winpe/command_runner.h"
#include "winpe/winpe_commands.h"

namespace morvane {

namespace {

constexpr const wchar_t* kBootImageFiles[] = {
    L"etfsboot.com", L"efisys.bin", L"efisys_noprompt.bin", L"efisys_EX.bin", L"efisys_noprompt_EX.bin",
};

constexpr const wchar_t* kRuntimeLibraries[] = {
    L"vcruntime140.dll", L"vcruntime140_1.dll", L"msvcp140.dll", L"msvcp140_1.dll",
    L"msvcp140_2.dll",   L"concrt140.dll",      L"ucrtbase.dll",
};

constexpr const wchar_t* kFonts[] = {L"msgothic.ttc", L"YuGothM.ttc", L"YuGothB.ttc", L"meiryo.ttc"};
constexpr const wchar_t* kHostFonts = L"C:\\Windows\\Fonts\\";
constexpr const wchar_t* kHostWow64 = L"C:\\Windows\\SysWOW64";

std::wstring PERoot(const std::wstring& adkRoot, int x86) {
    return adkRoot + L"\\Windows Preinstallation Environment\\" + ArchitectureFolder(x86);
}

std::wstring SystemDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(buffer, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::wstring(buffer, n) : std::wstring();
}

}  // namespace

void StageHybridBootFiles(const std::wstring& adkRoot, const std::wstring& workFolder, int x86,
                          LogCallback log) {
    const std::wstring fwfiles = workFolder + L"\\fwfiles";
    const std::wstring bootbins = workFolder + L"\\bootbins";
    CreateFolder(fwfiles);
    CreateFolder(bootbins);
    // The UEFI images carry the architecture's boot loader (bootia32.efi for x86),
    // so they come from that architecture's folder; amd64's only stand in for a file
    // the architecture's folder lacks.
    const std::wstring arch = ArchitectureFolder(x86);
    const std::wstring own = adkRoot + L"\\Deployment Tools\\" + arch + L"\\Oscdimg";
    const std::wstring amd64 = adkRoot + L"\\Deployment Tools\\amd64\\Oscdimg";
    std::wstring borrowed;
    for (const wchar_t* file : kBootImageFiles) {
        std::wstring source = own + L"\\" + file;
        if (!PathExists(source)) {
            source = amd64 + L"\\" + file;
            if (arch == L"amd64" || !PathExists(source)) continue;
            borrowed += (borrowed.empty() ? L"" : L", ") + std::wstring(file);
        }
        CopyOver(source, fwfiles + L"\\" + file);
        CopyOver(source, bootbins + L"\\" + file);
    }
    if (!borrowed.empty()) {
        EmitLog(log, L"[WARN] " + arch + L" の Oscdimg フォルダにないため amd64 のブートイメージで代用します "
                     L"(このアーキテクチャでは UEFI 起動できない可能性があります): " + borrowed);
    }
    const std::wstring mediaBootmgr = workFolder + L"\\media\\bootmgr";
    if (!PathExists(mediaBootmgr)) {
        const std::wstring own = PERoot(adkRoot, x86) + L"\\Media\\bootmgr";
        const std::wstring amd64 = adkRoot + L"\\Windows Preinstallation Environment\\amd64\\Media\\bootmgr";
        CopyOver(PathExists(own) ? own : amd64, mediaBootmgr);
    }
    EmitLog(log, L"[HYBRID BOOT] CSM (Legacy BIOS: etfsboot.com / bootmgr) および UEFI "
                 L"ブートローダを配置しました。");
    log = nullptr;
}

void AddJapaneseLocale(const std::wstring& adkRoot, const std::wstring& mountFolder,
                       const std::wstring& applicationFolder, int x86, LogCallback log) {
    AddJapaneseLocale(adkRoot, mountFolder, applicationFolder, x86, std::move(log), SystemWinPEHost());
}

void AddJapaneseLocale(const std::wstring& adkRoot, const std::wstring& mountFolder,
                       const std::wstring& applicationFolder, int x86, LogCallback log,
                       const WinPEHost& host) {
    const auto Run = [&host](const std::wstring& command, const LogCallback& sink) {
        (void)RunCommand(command, sink, host.commandTimeLimit);  // results never stop a build
    };
    const std::wstring dism = ChooseDism(adkRoot);
    const std::wstring packages = PERoot(adkRoot, x86) + L"\\WinPE_OCs";
    const std::wstring fontSupport = packages + L"\\WinPE-FontSupport-JA-JP.cab";
    if (PathExists(fontSupport)) {
        EmitLog(log, L"[JA-JP LOCALE] WinPE-FontSupport-JA-JP.cab (日本語フォントサポート) を適用中...");
        Run(AddPackageCommand(dism, mountFolder, fontSupport), log);
    }
    const std::wstring languagePack = packages + L"\\ja-jp\\lp.cab";
    if (PathExists(languagePack)) {
        EmitLog(log, L"[JA-JP LOCALE] ja-jp\\lp.cab (日本語言語パック) を適用中...");
        Run(AddPackageCommand(dism, mountFolder, languagePack), log);
        // Switching the settings only makes sense once the language is in the image.
        Run(SetAllIntlCommand(dism, mountFolder), log);
        Run(SetLayeredDriverCommand(dism, mountFolder), log);
    }

    const std::wstring imageFonts = mountFolder + L"\\Windows\\Fonts";
    const std::wstring appFonts = applicationFolder + L"\\Fonts";
    CreateFolder(imageFonts);
    CreateFolder(appFonts);
    for (const wchar_t* font : kFonts) {
        const std::wstring source = std::wstring(kHostFonts) + font;
        if (!PathExists(source)) continue;
        CopyOver(source, imageFonts + L"\\" + font);
        CopyOver(source, appFonts + L"\\" + font);
    }

    if (PathExists(mountFolder + L"\\Windows\\System32\\config\\SOFTWARE")) {
        EmitLog(log, L"[JA-JP FONTS] WinPE レジストリへ日本語フォント (MS UI Gothic / Yu Gothic UI) "
                     L"と FontLink を登録中...");
        // reg.exe output stays out of the log; every step runs even if the load failed.
        const LogCallback quiet = RunnerLinesOnly(log);
        Run(LoadHiveCommand(mountFolder), quiet);
        for (const std::wstring& command : FontRegistryCommands()) Run(command, quiet);
        Run(UnloadHiveCommand(), quiet);
    }
    log = nullptr;
}

std::wstring ChooseDism(const std::wstring& adkRoot) {
    const std::wstring kit = KitDismPath(adkRoot);
    return DismProgram(PathExists(kit) ? kit : std::wstring());
}

void CopyRuntimeLibraries(const std::wstring& applicationFolder, int x86, LogCallback log) {
    CopyRuntimeLibraries(applicationFolder, x86, std::move(log), SystemWinPEHost());
}

void CopyRuntimeLibraries(const std::wstring& applicationFolder, int x86, LogCallback log,
                          const WinPEHost& host) {
    const std::wstring programFolder = ProgramFolder(host.programPath);
    const bool is32 = x86 == 1;
    const std::wstring first = is32 ? programFolder + L"\\x86" : programFolder;
    const std::wstring second = is32 ? std::wstring(kHostWow64) : SystemDirectory();
    const wchar_t* firstTag = is32 ? L"[WINPE x86 DLL] 32-bit 動的ライブラリ同梱: "
                                   : L"[WINPE x64 DLL] 64-bit 動的ライブラリ同梱: ";
    const wchar_t* secondTag = is32 ? L"[WINPE x86 DLL] SysWOW64 32-bit 動的ライブラリ同梱: "
                                    : L"[WINPE x64 DLL] システム動的ライブラリ同梱: ";
    for (const wchar_t* library : kRuntimeLibraries) {
        const std::wstring target = applicationFolder + L"\\" + library;
        const std::wstring fromFirst = first + L"\\" + library;
        const std::wstring fromSecond = second + L"\\" + library;
        // Only a library that really arrived in the image is reported as bundled.
        if (PathExists(fromFirst)) {
            if (CopyOver(fromFirst, target)) EmitLog(log, firstTag + std::wstring(library));
        } else if (!second.empty() && PathExists(fromSecond)) {
            if (CopyOver(fromSecond, target)) EmitLog(log, secondTag + std::wstring(library));
        }
    }
    log = nullptr;
}

}  // namespace morvane
