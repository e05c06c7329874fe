// Boot files and the Japanese locale for the mounted WinPE image.
#include "winpe/image_customize.h"

#include "common/win32.h"
#include "winpe/command_runner.h"
#include "winpe/winpe_commands.h"

namespace morvane {

namespace {

constexpr const wchar_t* kBootImageFiles[] = {
    L"etfsboot.com", L"efisys.bin", L"efisys_noprompt.bin", L"efisys_EX.bin", L"efisys_noprompt_EX.bin",
};

constexpr const wchar_t* kFonts[] = {L"msgothic.ttc", L"YuGothM.ttc", L"YuGothB.ttc", L"meiryo.ttc"};
constexpr const wchar_t* kHostFonts = L"C:\\Windows\\Fonts\\";

std::wstring PERoot(const std::wstring& adkRoot, int x86) {
    return adkRoot + L"\\Windows Preinstallation Environment\\" + ArchitectureFolder(x86);
}

// Adds one language package; a missing or failed one leaves the medium in English
// (or without Japanese glyphs), which the operator should know.
void AddPackage(const std::wstring& dism, const std::wstring& mountFolder, const std::wstring& package,
                const std::wstring& announcement, const LogCallback& log, const WinPEHost& host) {
    if (!PathExists(package)) {
        EmitLog(log, L"[WARN] 日本語パッケージが見つからないため組み込めません: " + package);
        return;
    }
    EmitLog(log, announcement);
    if (RunCommand(AddPackageCommand(dism, mountFolder, package), log, host.commandTimeLimit) != 0) {
        EmitLog(log, L"[WARN] 日本語パッケージの組み込みに失敗しました: " + package);
    }
}

// The font entries in the image's offline SOFTWARE hive. False when the hive stays
// loaded: DISM cannot commit an image whose hive file is still open.
bool RegisterFonts(const std::wstring& mountFolder, const LogCallback& log, const WinPEHost& host) {
    // reg.exe output stays out of the log.
    const LogCallback quiet = RunnerLinesOnly(log);
    const auto run = [&](const std::wstring& command) { return RunCommand(command, quiet, host.commandTimeLimit); };
    // A build that stopped half-way may have left the key loaded (its result is
    // ignored: normally there is nothing to unload).
    (void)run(UnloadHiveCommand());
    if (run(LoadHiveCommand(mountFolder)) != 0) {
        EmitLog(log, L"[WARN] WinPE のオフライン レジストリを読み込めないため、日本語フォントの登録を省略します。");
        return true;
    }
    for (const std::wstring& command : FontRegistryCommands()) (void)run(command);
    if (run(UnloadHiveCommand()) == 0) return true;
    // A handle to the hive (a scanner, reg.exe itself) may take a moment to close.
    ::Sleep(1000);
    return run(UnloadHiveCommand()) == 0;
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

bool AddJapaneseLocale(const std::wstring& adkRoot, const std::wstring& mountFolder,
                       const std::wstring& applicationFolder, int x86, LogCallback log) {
    return AddJapaneseLocale(adkRoot, mountFolder, applicationFolder, x86, std::move(log), SystemWinPEHost());
}

bool AddJapaneseLocale(const std::wstring& adkRoot, const std::wstring& mountFolder,
                       const std::wstring& applicationFolder, int x86, LogCallback log,
                       const WinPEHost& host) {
    const auto Run = [&host](const std::wstring& command, const LogCallback& sink) {
        (void)RunCommand(command, sink, host.commandTimeLimit);  // results never stop a build
    };
    const std::wstring dism = ChooseDism(adkRoot);
    const std::wstring packages = PERoot(adkRoot, x86) + L"\\WinPE_OCs";
    AddPackage(dism, mountFolder, packages + L"\\WinPE-FontSupport-JA-JP.cab",
               L"[JA-JP LOCALE] WinPE-FontSupport-JA-JP.cab (日本語フォントサポート) を適用中...", log, host);
    const std::wstring languagePack = packages + L"\\ja-jp\\lp.cab";
    AddPackage(dism, mountFolder, languagePack, L"[JA-JP LOCALE] ja-jp\\lp.cab (日本語言語パック) を適用中...", log,
               host);
    if (PathExists(languagePack)) {
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

    bool unloaded = true;
    if (PathExists(mountFolder + L"\\Windows\\System32\\config\\SOFTWARE")) {
        EmitLog(log, L"[JA-JP FONTS] WinPE レジストリへ日本語フォント (MS UI Gothic / Yu Gothic UI) "
                     L"と FontLink を登録中...");
        unloaded = RegisterFonts(mountFolder, log, host);
    }
    log = nullptr;
    return unloaded;
}

std::wstring ChooseDism(const std::wstring& adkRoot) {
    const std::wstring kit = KitDismPath(adkRoot);
    return DismProgram(PathExists(kit) ? kit : std::wstring());
}

}  // namespace morvane
