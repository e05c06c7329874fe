// Hybrid boot files, the Japanese locale commands, fonts and registry entries, and
// the runtime-library copy, against a fake kit, fake dism/reg and host font files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/win32.h"
#include "support/temp_dir.h"
#include "support/winpe_fake_kit.h"
#include "support/winpe_fakes.h"
#include "winpe/image_customize.h"
#include "winpe/winpe_commands.h"

namespace morvane {
namespace {

using testing::FakeKit;
using testing::FakeKitLayout;
using testing::FakeToolEnv;
using testing::HostFonts;
using testing::LogRecorder;
using testing::Narrow;
using testing::PathExists;
using testing::TempDir;

constexpr auto Text = testing::ReadText;
constexpr auto Names = testing::FolderNames;

TEST(HybridBootFiles, StagesBootImagesAndTheBootManager) {
    struct Case {
        const char* name;
        int x86;
        bool noprompt, x86Images, x86Bootmgr, mediaHasBootmgr;
        std::string efisys;   // what fwfiles\efisys.bin holds afterwards
        std::string bootmgr;  // what media\bootmgr holds afterwards
    };
    const Case cases[] = {
        {"x64, full kit", 0, true, true, true, false, "efisys", "bootmgr amd64"},
        {"no noprompt image", 0, false, true, true, false, "efisys", "bootmgr amd64"},
        {"x86 with its own boot images and bootmgr", 1, true, true, true, false, "efisys x86", "bootmgr x86"},
        {"x86 without bootmgr takes amd64's", 1, true, true, false, false, "efisys x86", "bootmgr amd64"},
        {"x86 without boot images borrows amd64's", 1, false, false, true, false, "efisys", "bootmgr x86"},
        {"media already has one", 1, true, true, true, true, "efisys x86", "media's own"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeKitLayout layout;
        layout.noprompt = c.noprompt;
        layout.x86BootImages = c.x86Images;
        layout.x86Bootmgr = c.x86Bootmgr;
        FakeKit kit(0, layout);
        ASSERT_TRUE(kit.ok());
        TempDir work;
        if (c.mediaHasBootmgr) testing::WriteTextFile(work.file(L"media\\bootmgr"), "media's own");
        else std::filesystem::create_directories(work.path() / L"media");
        LogRecorder log;
        StageHybridBootFiles(kit.root(), work.path().wstring(), c.x86, log.callback());

        std::vector<std::wstring> expected = {L"efisys.bin", L"efisys_EX.bin", L"etfsboot.com"};
        if (c.noprompt) {
            expected.insert(expected.begin() + 2, {L"efisys_noprompt.bin", L"efisys_noprompt_EX.bin"});
        }
        EXPECT_EQ(Names(work.file(L"fwfiles")), expected);
        EXPECT_EQ(Names(work.file(L"bootbins")), expected);
        EXPECT_EQ(Text(work.file(L"fwfiles\\efisys.bin")), c.efisys);
        EXPECT_EQ(Text(work.file(L"bootbins\\etfsboot.com")), "etfsboot" + c.efisys.substr(6));
        EXPECT_EQ(Text(work.file(L"media\\bootmgr")), c.bootmgr);
        std::vector<std::wstring> lines;
        if (c.x86 == 1 && !c.x86Images) {
            lines.push_back(L"[WARN] x86 の Oscdimg フォルダにないため amd64 のブートイメージで代用します "
                            L"(このアーキテクチャでは UEFI 起動できない可能性があります): "
                            L"etfsboot.com, efisys.bin, efisys_EX.bin");
        }
        lines.push_back(L"[HYBRID BOOT] CSM (Legacy BIOS: etfsboot.com / bootmgr) および UEFI ブートローダを配置しました。");
        EXPECT_EQ(log.lines, lines);
    }
}

TEST(JapaneseLocale, PackagesSettingsFontsAndRegistry) {
    ASSERT_TRUE(testing::RunningUnderWine());
    ASSERT_FALSE(PathExists(L"C:\\Windows\\Fonts\\meiryo.ttc"));  // the host lacks one font
    HostFonts fonts({L"msgothic.ttc", L"YuGothM.ttc", L"YuGothB.ttc"});
    ASSERT_TRUE(fonts.Created(L"YuGothB.ttc"));

    struct Case {
        const char* name;
        int x86;
        bool fontPackage, languagePack, hive;
    };
    const Case cases[] = {
        {"everything", 0, true, true, true},
        {"x86, language pack only", 1, false, true, true},
        {"font package only", 0, true, false, false},
        {"nothing", 1, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeKitLayout layout;
        layout.fontPackage = c.fontPackage;
        layout.languagePack = c.languagePack;
        FakeKit kit(1, layout);
        ASSERT_TRUE(kit.ok());
        TempDir temp;
        FakeToolEnv tools(temp.file(L"commands.log"));
        const std::wstring mount = temp.file(L"mount");
        const std::wstring app = mount + L"\\Program Files\\Morvane Disk Eraser";
        std::filesystem::create_directories(mount + L"\\Windows");
        std::filesystem::create_directories(app);
        if (c.hive) testing::WriteTextFile(mount + L"\\Windows\\System32\\config\\SOFTWARE", "hive");
        LogRecorder log;
        AddJapaneseLocale(kit.root(), mount, app, c.x86, log.callback());

        const std::string m = Narrow(mount);
        const std::string ocs = Narrow(kit.pe(c.x86 == 1 ? L"x86" : L"amd64")) + "\\WinPE_OCs";
        std::vector<std::string> commands;
        std::vector<std::wstring> lines;
        if (c.fontPackage) {
            commands.push_back("dism.exe /Image:\"" + m + "\" /Add-Package /PackagePath:\"" + ocs +
                               "\\WinPE-FontSupport-JA-JP.cab\"");
            lines.push_back(L"[JA-JP LOCALE] WinPE-FontSupport-JA-JP.cab (日本語フォントサポート) を適用中...");
        }
        if (c.languagePack) {
            commands.push_back("dism.exe /Image:\"" + m + "\" /Add-Package /PackagePath:\"" + ocs + "\\ja-jp\\lp.cab\"");
            commands.push_back("dism.exe /Image:\"" + m + "\" /Set-AllIntl:ja-JP");
            commands.push_back("dism.exe /Image:\"" + m + "\" /Set-LayeredDriver:6");
            lines.push_back(L"[JA-JP LOCALE] ja-jp\\lp.cab (日本語言語パック) を適用中...");
        }
        if (c.hive) {
            commands.push_back("reg.exe load HKLM\\ZOLT_PESOFT \"" + m + "\\Windows\\System32\\config\\SOFTWARE\"");
            for (const auto& add : FontRegistryCommands()) commands.push_back(Narrow(add));
            commands.push_back("reg.exe unload HKLM\\ZOLT_PESOFT");
            lines.push_back(L"[JA-JP FONTS] WinPE レジストリへ日本語フォント (MS UI Gothic / Yu Gothic UI) と FontLink を登録中...");
        }
        EXPECT_EQ(tools.Commands(), commands);
        // DISM's output is mirrored (the fake prints its command line); reg.exe's is not.
        EXPECT_EQ(log.own(), lines);
        EXPECT_EQ(log.lines.size() - lines.size(), (c.fontPackage ? 1u : 0u) + (c.languagePack ? 3u : 0u));

        const std::vector<std::wstring> copied = {L"YuGothB.ttc", L"YuGothM.ttc", L"msgothic.ttc"};
        EXPECT_EQ(Names(mount + L"\\Windows\\Fonts"), copied);
        EXPECT_EQ(Names(app + L"\\Fonts"), copied);
        EXPECT_EQ(Text(app + L"\\Fonts\\msgothic.ttc"), "font msgothic.ttc");
    }
}

TEST(RuntimeLibraries, ProgramFolderFirstThenTheSystemFolder) {
    TempDir temp;
    const std::wstring program = temp.file(L"prog\\MorvaneDiskEraser.exe");
    testing::WriteTextFile(temp.file(L"prog\\vcruntime140.dll"), "own 64");
    testing::WriteTextFile(temp.file(L"prog\\msvcp140_2.dll"), "own 64");
    testing::WriteTextFile(temp.file(L"prog\\x86\\ucrtbase.dll"), "own 32");
    const WinPEHost host{program, nullptr};
    const wchar_t* libraries[] = {L"vcruntime140.dll", L"vcruntime140_1.dll", L"msvcp140.dll",
                                  L"msvcp140_1.dll",   L"msvcp140_2.dll",     L"concrt140.dll",
                                  L"ucrtbase.dll"};
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);

    {
        const std::wstring app = temp.file(L"app64");
        std::filesystem::create_directories(app);
        LogRecorder log;
        CopyRuntimeLibraries(app, 0, log.callback(), host);
        std::vector<std::wstring> expected;
        for (const wchar_t* lib : libraries) {
            const std::wstring name = lib;
            if (PathExists(temp.file(L"prog\\" + name))) {
                expected.push_back(L"[WINPE x64 DLL] 64-bit 動的ライブラリ同梱: " + name);
                EXPECT_EQ(Text(app + L"\\" + name), "own 64");
            } else if (PathExists(std::wstring(system) + L"\\" + name)) {
                expected.push_back(L"[WINPE x64 DLL] システム動的ライブラリ同梱: " + name);
                EXPECT_TRUE(PathExists(app + L"\\" + name));
            }
        }
        EXPECT_EQ(log.lines, expected);
        EXPECT_GE(expected.size(), 3u);  // Wine's system folder carries most of them
    }
    {
        // A 64-bit Wine prefix has no SysWOW64: only the program's own x86 copy is found.
        ASSERT_FALSE(PathExists(L"C:\\Windows\\SysWOW64\\msvcp140.dll"));
        const std::wstring app = temp.file(L"app32");
        std::filesystem::create_directories(app);
        LogRecorder log;
        CopyRuntimeLibraries(app, 1, log.callback(), host);
        EXPECT_EQ(log.lines, (std::vector<std::wstring>{L"[WINPE x86 DLL] 32-bit 動的ライブラリ同梱: ucrtbase.dll"}));
        EXPECT_EQ(Names(app), (std::vector<std::wstring>{L"ucrtbase.dll"}));
        EXPECT_EQ(Text(app + L"\\ucrtbase.dll"), "own 32");
    }
    {
        // A copy that fails (a folder stands where the library belongs) is not
        // reported as bundled.
        const std::wstring app = temp.file(L"blocked");
        std::filesystem::create_directories(app + L"\\ucrtbase.dll");
        LogRecorder log;
        CopyRuntimeLibraries(app, 1, log.callback(), host);
        EXPECT_TRUE(log.lines.empty());
    }
    {
        // No log callback: the copies still happen.
        const std::wstring app = temp.file(L"quiet");
        std::filesystem::create_directories(app);
        CopyRuntimeLibraries(app, 1, nullptr, host);
        EXPECT_TRUE(PathExists(app + L"\\ucrtbase.dll"));
    }
    EXPECT_EQ(ProgramFolder(L"b.exe"), L".");
}

}  // namespace
}  // namespace morvane
