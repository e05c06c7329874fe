// The WinPE build pipeline against a fake kit and fake tools: the exact sequence of
// command lines each output path produces, what lands in the mounted image, the
// log lines, and every failure path. The USB target is an unused drive letter that
// only the fakes ever see; the shell "open" is recorded, never performed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "common/text.h"
#include "support/temp_dir.h"
#include "support/winpe_fake_kit.h"
#include "support/winpe_fakes.h"
#include "winpe/winpe_build.h"
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
using Lines = std::vector<std::wstring>;
using Commands = std::vector<std::string>;

constexpr auto Text = testing::ReadText;

// A drive letter that names nothing on this machine, so no tool could reach a device.
std::wstring UnusedDrive() {
    const DWORD used = ::GetLogicalDrives();
    for (wchar_t letter = L'R'; letter <= L'Y'; ++letter) {
        if (used & (1u << (letter - L'A'))) continue;
        const std::wstring drive = std::wstring(1, letter) + L":";
        if (::GetDriveTypeW((drive + L"\\").c_str()) == DRIVE_NO_ROOT_DIR) return drive;
    }
    return L"";
}

FakeKitLayout QuickKit() {
    // Without language packages the builds run fewer tools; one test covers them.
    FakeKitLayout layout;
    layout.fontPackage = false;
    layout.languagePack = false;
    return layout;
}

const std::wstring kStart = L"[WINPE BUILD] Step 1/5: ";

class WinPEBuild : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testing::RunningUnderWine());
        drive = UnusedDrive();
        ASSERT_FALSE(drive.empty());
        testing::WriteTextFile(program, "x64 program");
        options.workDir = work;
        options.usbDrive = drive + L"\\ [USB - 14.90 GB]";
        options.isoPath = temp.file(L"out\\Morvane PE.iso");
        std::filesystem::create_directories(temp.path() / L"out");
        // Every fake finishes in well under a second; a hang fails within a minute.
        host.commandTimeLimit = std::chrono::seconds(60);
        // The unused letter stands for a USB stick; every other drive is what it is.
        host.driveType = [this](const std::wstring& root) {
            if (root != drive + L"\\") return SystemDriveType(root);
            ++usbTypeQueries;
            return usbType(usbTypeQueries);
        };
        // The fake kit installers the x86 set-up downloads carry no signature.
        host.verifySignature = [](const std::wstring&) { return true; };
    }
    void UseKit(const FakeKitLayout& layout = QuickKit(), int candidate = 0) {
        kit.reset();  // the old kit's removal would take the new one with it
        kit = std::make_unique<FakeKit>(candidate, layout);
        ASSERT_TRUE(kit->ok());
        tools.AdkRoot(kit->root());
    }
    int Build() { return BuildWinPEMedia(options, log.callback(), host); }

    // What each fake sees of the pipeline's commands (the builders are pinned byte for
    // byte elsewhere; here the sequence is what counts).
    std::wstring Work() const { return options.workDir.empty() ? LoggedWork() : options.workDir; }
    // The work folder a build announced in its first line.
    std::wstring LoggedWork() const {
        const std::wstring intro = L"[WINPE BUILD] 作業ディレクトリを初期化しています (";
        for (const auto& line : log.lines) {
            if (line.rfind(intro, 0) == 0) return line.substr(line.find(L"): ") + 3);
        }
        return L"";
    }
    std::string W() const { return Narrow(Work()); }
    std::string Root() const { return Narrow(kit->root()); }
    std::string Mount() const {
        return Narrow(MountImageCommand(dism, Work() + L"\\media\\sources\\boot.wim", Work() + L"\\mount"));
    }
    std::string Commit() const { return Narrow(UnmountCommitCommand(dism, Work() + L"\\mount")); }
    std::string Discard() const { return Narrow(UnmountDiscardCommand(dism, Work() + L"\\mount")); }
    // The clean-up every build starts with: the listing of mounted images, then the
    // mount-point clean-up (discards of leftovers come between them).
    std::string Listing() const { return Narrow(MountedImagesCommand(dism)); }
    std::string Points() const { return Narrow(CleanupMountpointsCommand(dism)); }
    std::string Ufd() const { return "MakeWinPEMedia.cmd /UFD /F \"" + W() + "\" " + Narrow(drive); }
    std::string Bootsect() const {
        return Narrow(BootsectCommand(kit->root() + L"\\Deployment Tools\\amd64\\BCDBoot\\bootsect.exe", drive));
    }
    std::string Oscdimg(const std::wstring& efi) const {
        return Narrow(OscdimgCommand(kit->oscdimgFolder() + L"\\oscdimg.exe", Work() + L"\\fwfiles\\etfsboot.com",
                                     Work() + L"\\fwfiles\\" + efi, Work(), options.isoPath));
    }
    std::string IsoByKit() const { return "MakeWinPEMedia.cmd /ISO /F \"" + W() + "\" \"" + Narrow(options.isoPath) + "\""; }
    std::wstring Image(const std::wstring& relative) const { return Work() + L"\\mount\\" + relative; }
    Lines Prefix(const std::wstring& arch) const {
        return {L"[WINPE BUILD] 作業ディレクトリを初期化しています (" + arch + L"): " + Work(),
                kStart + arch + L" WinPE ベース環境とブートファイル群をステージング中...",
                L"[HYBRID BOOT] CSM (Legacy BIOS: etfsboot.com / bootmgr) および UEFI ブートローダを配置しました。",
                L"[WINPE BUILD] Step 2/5: DISM で boot.wim (" + arch + L") をマウントしています...",
                L"[WINPE BUILD] Step 3/5: 日本語ロケール・日本語フォントの組み込みとアプリ自動起動設定を実行中..."};
    }
    // The builder's own lines minus the library lines, which depend on the host.
    Lines Own() const {
        Lines result;
        for (const auto& line : log.own()) {
            if (line.find(L" DLL] ") == std::wstring::npos) result.push_back(line);
        }
        return result;
    }
    static Lines Join(Lines a, const Lines& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    TempDir temp;
    FakeToolEnv tools{temp.file(L"commands.log")};
    std::unique_ptr<FakeKit> kit;
    LogRecorder log;
    std::vector<std::wstring> opened;
    std::wstring program = temp.file(L"prog\\MorvaneDiskEraser.exe");
    WinPEHost host{program, [this](const std::wstring& folder) { opened.push_back(folder); }};
    std::wstring work = temp.file(L"work");
    std::wstring dism = L"dism.exe";  // the DISM on PATH, unless the kit brings its own
    std::wstring drive;
    // What the USB letter is at the n-th look (1 = before the build starts).
    std::function<unsigned(int)> usbType = [](int) { return unsigned{DRIVE_REMOVABLE}; };
    int usbTypeQueries = 0;
    WinPEBuildOptions options;
};

const std::wstring kStep4 = L"[WINPE BUILD] Step 4/5: DISM で変更をコミットしイメージをアンマウント中...";

TEST_F(WinPEBuild, UsbHybridInTheDefaultWorkFolderWithJapaneseLocale) {
    FakeKitLayout layout;  // with both language packages
    UseKit(layout);
    tools.Effects(L"hive");
    HostFonts fonts({L"msgothic.ttc", L"YuGothM.ttc", L"YuGothB.ttc", L"meiryo.ttc"});
    options.workDir.clear();

    ASSERT_EQ(Build(), 0);
    const std::wstring defaultWork = Work();
    EXPECT_EQ(defaultWork.rfind(TempFolder() + L"Morvane_WinPE_amd64_", 0), 0u) << Narrow(defaultWork);

    const std::string m = W() + "\\mount";
    const std::string ocs = Root() + "\\Windows Preinstallation Environment\\amd64\\WinPE_OCs";
    Commands expected = {Listing(), Points(), Mount(),
                         "dism.exe /Image:\"" + m + "\" /Add-Package /PackagePath:\"" + ocs + "\\WinPE-FontSupport-JA-JP.cab\"",
                         "dism.exe /Image:\"" + m + "\" /Add-Package /PackagePath:\"" + ocs + "\\ja-jp\\lp.cab\"",
                         "dism.exe /Image:\"" + m + "\" /Set-AllIntl:ja-JP",
                         "dism.exe /Image:\"" + m + "\" /Set-LayeredDriver:6",
                         Narrow(LoadHiveCommand(Work() + L"\\mount"))};
    for (const auto& add : FontRegistryCommands()) expected.push_back(Narrow(add));
    expected.insert(expected.end(), {"reg.exe unload HKLM\\ZOLT_PESOFT", Commit(), Ufd(), Bootsect()});
    EXPECT_EQ(tools.Commands(), expected);

    EXPECT_EQ(Own(), Join(Prefix(L"amd64"), {
        L"[JA-JP LOCALE] WinPE-FontSupport-JA-JP.cab (日本語フォントサポート) を適用中...",
        L"[JA-JP LOCALE] ja-jp\\lp.cab (日本語言語パック) を適用中...",
        L"[JA-JP FONTS] WinPE レジストリへ日本語フォント (MS UI Gothic / Yu Gothic UI) と FontLink を登録中...",
        kStep4,
        L"[WINPE BUILD] Step 5/5: UEFI + CSM (Legacy BIOS) 両対応ブータブルUSB (" + drive + L") を作成中...",
        L"[CSM/BIOS BOOT] bootsect.exe /nt60 /mbr で CSM (Legacy BIOS) ブートレコードをUSBへ書き込んでいます...",
        L"[SUCCESS] 日本語対応 Morvane Disk Eraser 自動起動WinPE USBメモリ (amd64) の作成が完了しました！"}));
    // Tool output is mirrored, indented.
    EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), L"  " + Utf8ToWide(Mount())), log.lines.end());

    // The kit's media tree was staged. Wine's xcopy reads only the first letter of
    // "/herky", so only the top level of the tree arrives here; the real xcopy copies
    // the whole tree.
    EXPECT_EQ(Text(defaultWork + L"\\media\\bootmgr"), "bootmgr amd64");
    EXPECT_EQ(Text(defaultWork + L"\\media\\sources\\boot.wim"), "fake wim amd64");
    EXPECT_EQ(Text(defaultWork + L"\\fwfiles\\efisys_noprompt.bin"), "efisys_noprompt");

    // The mounted image: program, libraries, fonts, and both start files byte for byte.
    const std::wstring app = L"Program Files\\Morvane Disk Eraser\\";
    EXPECT_EQ(Text(Image(app + L"MorvaneDiskEraser.exe")), "x64 program");
    EXPECT_TRUE(PathExists(Image(app + L"ucrtbase.dll")));
    for (const wchar_t* font : {L"msgothic.ttc", L"YuGothM.ttc", L"YuGothB.ttc", L"meiryo.ttc"}) {
        EXPECT_TRUE(PathExists(Image(L"Windows\\Fonts\\" + std::wstring(font)))) << Narrow(font);
        EXPECT_TRUE(PathExists(Image(app + L"Fonts\\" + font))) << Narrow(font);
    }
    EXPECT_EQ(Text(Image(L"Windows\\System32\\winpeshl.ini")), WinpeshlIniContent());
    // startnet.cmd replaced the image's own.
    EXPECT_EQ(Text(Image(L"Windows\\System32\\startnet.cmd")), StartnetCmdContent());
    EXPECT_TRUE(opened.empty());
    std::error_code ec;
    std::filesystem::remove_all(defaultWork, ec);
}

TEST_F(WinPEBuild, UsbAndFolderOutputsAndTheirFailurePaths) {
    UseKit();
    const Lines start = Prefix(L"amd64");
    const Lines untilMount(start.begin(), start.end() - 1);
    const std::wstring usbStep =
        L"[WINPE BUILD] Step 5/5: UEFI + CSM (Legacy BIOS) 両対応ブータブルUSB (" + drive + L") を作成中...";
    const std::wstring usbDone = L"[SUCCESS] 日本語対応 Morvane Disk Eraser 自動起動WinPE USBメモリ (amd64) の作成が完了しました！";
    const std::wstring media = work + L"\\media";
    const std::wstring folderDone = L"[SUCCESS] 日本語対応 WinPEメディアフォルダ (amd64) の作成が完了しました: " + media;
    struct Case {
        const char* name;
        int outputKind, uefiOnly;
        const wchar_t* exits;  // scripted tool failures
        const wchar_t* mediaMakerExit;
        bool withLog;
        int result;
        Commands commands;
        Lines own;
        Lines opened;
    };
    const Case cases[] = {
        {"USB, UEFI only: no legacy boot record", 0, 1, L"", L"0", true, 0,
         {Listing(), Points(), Mount(), Commit(), Ufd()}, Join(start, {kStep4, usbStep, usbDone}), {}},
        {"USB, the media maker fails", 0, 0, L"", L"1", true, 1, {Listing(), Points(), Mount(), Commit(), Ufd()},
         Join(start, {kStep4, usbStep, L"[ERROR] MakeWinPEMedia (/UFD) の実行に失敗しました。"}), {}},
        {"USB hybrid without a log callback", 0, 0, L"", L"0", false, 0,
         {Listing(), Points(), Mount(), Commit(), Ufd(), Bootsect()}, {}, {}},
        {"media folder (kind 2)", 2, 0, L"", L"0", true, 0, {Listing(), Points(), Mount(), Commit()},
         Join(start, {kStep4, folderDone}), {media}},
        {"media folder (any other kind)", 3, 0, L"", L"0", true, 0, {Listing(), Points(), Mount(), Commit()},
         Join(start, {kStep4, folderDone}), {media}},
        {"mount fails: nothing unmounted", 0, 0, L"/Mount-Image=1", L"0", true, 1, {Listing(), Points(), Mount()},
         Join(untilMount, {L"[ERROR] boot.wim のマウントに失敗しました。管理者権限で実行しているか確認してください。"}), {}},
        {"commit fails: discarded, then the error", 0, 0, L"/Commit=1", L"0", true, 1,
         {Listing(), Points(), Mount(), Commit(), Discard()},
         Join(start, {kStep4, L"[ERROR] DISM アンマウント・コミットに失敗しました。"}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tools.ScriptExits(c.exits);
        tools.Set(L"MORVANE_FAKE_MWPM_EXIT", c.mediaMakerExit);
        tools.ClearLog();
        log.lines.clear();
        opened.clear();
        options.outputKind = c.outputKind;
        options.uefiOnly = c.uefiOnly;
        ASSERT_EQ(c.withLog ? Build() : BuildWinPEMedia(options, nullptr, host), c.result);
        EXPECT_EQ(tools.Commands(), c.commands);
        EXPECT_EQ(Own(), c.own);
        EXPECT_EQ(opened, c.opened);
        if (c.result == 0) {
            EXPECT_EQ(Text(Image(L"Windows\\System32\\winpeshl.ini")), WinpeshlIniContent());
        }
        // The discard's own output stays out of the log.
        EXPECT_EQ(std::find(log.lines.begin(), log.lines.end(), L"  " + Utf8ToWide(Discard())), log.lines.end());
    }
}

TEST_F(WinPEBuild, UsbTargetMustBeARemovableDriveTheProgramDoesNotDependOn) {
    UseKit();
    struct Case {
        const char* name;
        std::wstring target;
        unsigned type;  // what the target letter is
        std::wstring programPath;
    };
    const Case cases[] = {
        {"nothing", L"", DRIVE_REMOVABLE, program},
        {"the system drive", L"C:", DRIVE_REMOVABLE, program},
        {"the system drive, lower case, with a description", L"c:\\ [Windows]", DRIVE_REMOVABLE, program},
        {"not a letter", L"1:", DRIVE_REMOVABLE, program},
        {"a network path", L"\\\\", DRIVE_REMOVABLE, program},
        {"a fixed disk", drive + L"\\ [SSD]", DRIVE_FIXED, program},
        {"a letter that names nothing", drive, DRIVE_NO_ROOT_DIR, program},
        {"the drive the program runs from", drive, DRIVE_REMOVABLE, drive + L"\\MorvaneDiskEraser.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        options.usbDrive = c.target;
        usbType = [&c](int) { return c.type; };
        host.programPath = c.programPath;
        log.lines.clear();
        EXPECT_EQ(Build(), 1);
        EXPECT_EQ(log.lines, Lines{L"[ERROR] USBドライブの指定が不正です: " + c.target});
    }
    EXPECT_TRUE(tools.Commands().empty());
    EXPECT_TRUE(IsUsableUsbDrive(L"e:", L"C:"));
    EXPECT_FALSE(IsUsableUsbDrive(L"E:", L"E:"));
}

TEST_F(WinPEBuild, UsbTargetThatChangedDuringTheBuildIsNotFormatted) {
    UseKit();
    // A stick when the build starts; by the time it would be formatted the letter
    // belongs to a fixed disk.
    usbType = [](int query) { return query == 1 ? unsigned{DRIVE_REMOVABLE} : unsigned{DRIVE_FIXED}; };
    ASSERT_EQ(Build(), 1);
    EXPECT_EQ(tools.Commands(), (Commands{Listing(), Points(), Mount(), Commit()}));
    EXPECT_EQ(Own(), Join(Prefix(L"amd64"), {
        kStep4, L"[WINPE BUILD] Step 5/5: UEFI + CSM (Legacy BIOS) 両対応ブータブルUSB (" + drive + L") を作成中...",
        L"[ERROR] USBドライブの指定が不正です: " + options.usbDrive}));
}

TEST_F(WinPEBuild, PathsWithPercentAreRefusedBeforeAnyToolRuns) {
    UseKit();
    const std::wstring iso = options.isoPath;
    struct Case {
        const char* name;
        int outputKind;
        std::wstring workDir, isoPath, usbDrive;
        std::wstring refused;  // the path the error line names
    };
    const Case cases[] = {
        {"ISO path", WinPEOutputIso, work, temp.file(L"out\\%USERNAME%.iso"), options.usbDrive,
         temp.file(L"out\\%USERNAME%.iso")},
        {"work folder", WinPEOutputFolder, temp.file(L"100%work"), iso, options.usbDrive, temp.file(L"100%work")},
        {"USB drive", WinPEOutputUsb, work, iso, L"%E:\\ [USB]", L"%E"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        options.outputKind = c.outputKind;
        options.workDir = c.workDir;
        options.isoPath = c.isoPath;
        options.usbDrive = c.usbDrive;
        log.lines.clear();
        EXPECT_EQ(Build(), 1);
        EXPECT_EQ(log.lines, Lines{L"[ERROR] パスに使用できない文字「%」が含まれています: " + c.refused});
    }
    EXPECT_TRUE(tools.Commands().empty());
}

TEST_F(WinPEBuild, LeftoverMountsOfEarlierBuildsAreDiscardedBeforeTheCleanup) {
    UseKit();
    options.outputKind = WinPEOutputFolder;
    const std::wstring earlier = TempFolder() + L"Morvane_WinPE_x86_20240102_030405\\mount";
    const std::wstring foreign = L"C:\\Images\\mount";  // someone else's: left alone
    tools.Mounted(earlier + L"|" + foreign + L"|" + work + L"\\mount");
    ASSERT_EQ(Build(), 0);
    EXPECT_EQ(tools.Commands(), (Commands{Listing(), Narrow(UnmountDiscardCommand(dism, earlier)), Discard(),
                                          Points(), Mount(), Commit()}));
    // The listing itself stays out of the log.
    EXPECT_TRUE(std::none_of(log.lines.begin(), log.lines.end(),
                             [](const std::wstring& line) { return line.find(L"Mount Dir") != std::wstring::npos; }));
}

TEST_F(WinPEBuild, TheKitsOwnDismRunsEveryImageCommand) {
    FakeKitLayout layout = QuickKit();
    layout.kitDism = true;
    layout.languagePack = true;
    UseKit(layout);
    dism = DismProgram(kit->dism());
    options.outputKind = WinPEOutputFolder;
    ASSERT_EQ(Build(), 0);
    const std::wstring mount = Work() + L"\\mount";
    EXPECT_EQ(tools.Commands(), (Commands{
        Listing(), Points(), Mount(),
        Narrow(AddPackageCommand(dism, mount, kit->pe(L"amd64") + L"\\WinPE_OCs\\ja-jp\\lp.cab")),
        Narrow(SetAllIntlCommand(dism, mount)), Narrow(SetLayeredDriverCommand(dism, mount)), Commit()}));
}

TEST_F(WinPEBuild, ACommandThatNeverEndsIsEndedAtTheTimeLimit) {
    UseKit();
    options.outputKind = WinPEOutputFolder;
    host.commandTimeLimit = std::chrono::seconds(2);
    tools.Hang(L"/Mount-Image=60000");
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Build(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    const Lines own = Own();
    ASSERT_GE(own.size(), 2u);
    EXPECT_EQ(own[own.size() - 2],
              L"[ERROR] 外部コマンドが制限時間内に終了しなかったため、プロセスごと強制終了しました: " + Utf8ToWide(Mount()));
    EXPECT_EQ(own.back(), L"[ERROR] boot.wim のマウントに失敗しました。管理者権限で実行しているか確認してください。");
    // The tool itself, started by cmd.exe, was ended with it.
    const DWORD pid = tools.HungPid();
    ASSERT_NE(pid, 0u);
    UniqueKernelHandle hung(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    EXPECT_TRUE(!hung || ::WaitForSingleObject(hung.get(), 5000) == WAIT_OBJECT_0);
}

TEST_F(WinPEBuild, AnImageWithoutTheProgramOrItsStartFilesIsDiscarded) {
    UseKit();
    options.outputKind = WinPEOutputFolder;
    struct Case {
        const char* name;
        std::wstring programPath;
        const wchar_t* effects;
        std::wstring error;
    };
    const Case cases[] = {
        {"the program cannot be copied", temp.file(L"gone\\MorvaneDiskEraser.exe"), L"",
         L"[ERROR] プログラム本体をイメージへコピーできませんでした: " + work +
             L"\\mount\\Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe"},
        {"winpeshl.ini cannot be written", program, L"blockini",
         L"[ERROR] 自動起動ファイルをイメージへ書き込めませんでした: " + work + L"\\mount\\Windows\\System32\\winpeshl.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.programPath = c.programPath;
        tools.Effects(c.effects);
        tools.ClearLog();
        log.lines.clear();
        ASSERT_EQ(Build(), 1);
        EXPECT_EQ(tools.Commands(), (Commands{Listing(), Points(), Mount(), Discard()}));
        EXPECT_EQ(Own(), Join(Prefix(L"amd64"), {c.error}));
        EXPECT_TRUE(opened.empty());
    }
}

TEST_F(WinPEBuild, EachBuildGetsAWorkFolderOfItsOwn) {
    UseKit();
    options.outputKind = WinPEOutputFolder;
    options.workDir.clear();
    ASSERT_EQ(Build(), 0);
    ASSERT_EQ(Build(), 0);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_NE(opened[0], opened[1]);
    // The second build left the first one's medium alone.
    EXPECT_EQ(Text(opened[0] + L"\\sources\\boot.wim"), "fake wim amd64");
    for (const std::wstring& media : opened) {
        EXPECT_EQ(media.rfind(TempFolder() + L"Morvane_WinPE_amd64_", 0), 0u) << Narrow(media);
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(media).parent_path(), ec);
    }
}

TEST_F(WinPEBuild, IsoImagePaths) {
    struct Case {
        const char* name;
        bool noprompt, etfsboot;
        int uefiOnly;
        const wchar_t* exits;  // scripted tool failures
        bool kitMakerFails;
        int result;
        bool isoExists = false;  // an earlier image at the path
    };
    const Case cases[] = {
        {"hybrid, no-prompt EFI image", true, true, 0, L"", false, 0},
        {"hybrid, prompting EFI image", false, true, 0, L"", false, 0},
        {"UEFI only: the kit's media maker", true, true, 1, L"", false, 0},
        {"no etfsboot.com: the kit's media maker", true, false, 0, L"", false, 0},
        {"oscdimg fails: the kit's media maker", true, true, 0, L"oscdimg.exe=1", false, 0},
        {"oscdimg and the media maker fail", true, true, 0, L"oscdimg.exe=1", true, 1},
        {"the media maker replaces an earlier image without asking", true, true, 1, L"", false, 0, true},
    };
    options.outputKind = WinPEOutputIso;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeKitLayout layout = QuickKit();
        layout.noprompt = c.noprompt;
        layout.etfsboot = c.etfsboot;
        UseKit(layout);
        tools.ScriptExits(c.exits);
        tools.Set(L"MORVANE_FAKE_MWPM_EXIT", c.kitMakerFails ? L"1" : L"0");
        tools.ClearLog();
        log.lines.clear();
        options.uefiOnly = c.uefiOnly;
        ::DeleteFileW(options.isoPath.c_str());
        if (c.isoExists) testing::WriteTextFile(options.isoPath, "earlier image");

        ASSERT_EQ(Build(), c.result);
        const bool tryOscdimg = c.uefiOnly == 0 && c.etfsboot;
        const bool oscdimgWorks = tryOscdimg && std::wstring(c.exits).empty();
        Commands expected = {Listing(), Points(), Mount(), Commit()};
        if (tryOscdimg) expected.push_back(Oscdimg(c.noprompt ? L"efisys_noprompt.bin" : L"efisys.bin"));
        if (!oscdimgWorks) expected.push_back(IsoByKit());
        EXPECT_EQ(tools.Commands(), expected);

        Lines tail = {kStep4, L"[WINPE BUILD] Step 5/5: 日本語対応・UEFI + CSM (Legacy BIOS) ハイブリッドISO (" +
                                  options.isoPath + L") を作成中..."};
        if (oscdimgWorks) {
            tail.push_back(L"[SUCCESS] 日本語ロケール組込済・UEFI + CSM (Legacy BIOS) 両対応 WinPE ISO (amd64) の作成が完了しました！");
        } else if (c.result == 0) {
            tail.push_back(L"[SUCCESS] 日本語対応 Morvane Disk Eraser 自動起動WinPE ISO (amd64) の作成が完了しました！");
        } else {
            tail.push_back(L"[ERROR] ISOイメージの作成に失敗しました。");
        }
        EXPECT_EQ(Own(), Join(Prefix(L"amd64"), tail));
        EXPECT_EQ(PathExists(options.isoPath), c.result == 0);
        if (c.isoExists) {
            EXPECT_EQ(Text(options.isoPath), "fake iso\r\n");
        }
    }
}

TEST_F(WinPEBuild, StagingFailuresStopBeforeMounting) {
    const Lines stagingStart = {Prefix(L"amd64")[0], Prefix(L"amd64")[1]};
    for (bool wimMissing : {false, true}) {
        SCOPED_TRACE(wimMissing);
        UseKit();
        const std::wstring wim = kit->pe(L"amd64") + L"\\en-us\\winpe.wim";
        if (wimMissing) {
            ::DeleteFileW(wim.c_str());
        } else {
            std::filesystem::remove_all(kit->pe(L"amd64") + L"\\Media");  // xcopy has no source
        }
        tools.ClearLog();
        log.lines.clear();
        ASSERT_EQ(Build(), 1);
        EXPECT_EQ(tools.Commands(), (Commands{Listing(), Points()}));
        EXPECT_EQ(Own(), Join(stagingStart, {wimMissing ? L"[ERROR] winpe.wim のコピーに失敗しました: " + wim
                                                        : L"[ERROR] WinPE Media フォルダのステージングに失敗しました。"}));
    }
}

TEST_F(WinPEBuild, MissingKitRunsNothing) {
    for (bool addon : {false, true}) {
        FakeKitLayout layout;
        layout.winpeAddon = addon;
        layout.deploymentTools = !addon;
        FakeKit partial(1, layout);
        ASSERT_TRUE(partial.ok());
        log.lines.clear();
        ASSERT_EQ(Build(), 1);
        EXPECT_EQ(log.lines, Lines{L"[ERROR] Windows ADK および WinPE Add-on が見つかりません。先に導入を実行してください。"});
    }
    EXPECT_TRUE(tools.Commands().empty());
}

TEST_F(WinPEBuild, X86MediumInjectsTheBest32BitProgram) {
    struct Case {
        const char* name;
        bool beside, subfolder;
        std::string injected;
        bool announced;
    };
    const Case cases[] = {
        {"32-bit build beside the program", true, true, "x86 beside", true},
        {"32-bit build in the x86 folder", false, true, "x86 folder", false},
        {"no 32-bit build: the program itself", false, false, "x64 program", false},
    };
    options.outputKind = WinPEOutputFolder;
    options.x86 = 1;
    UseKit();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir progDir;
        host.programPath = progDir.file(L"MorvaneDiskEraser.exe");
        testing::WriteTextFile(host.programPath, "x64 program");
        if (c.beside) testing::WriteTextFile(progDir.file(L"MorvaneDiskEraser_x86.exe"), "x86 beside");
        if (c.subfolder) testing::WriteTextFile(progDir.file(L"x86\\MorvaneDiskEraser.exe"), "x86 folder");
        log.lines.clear();
        ASSERT_EQ(Build(), 0);
        EXPECT_EQ(Text(Image(L"Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe")), c.injected);
        Lines expected = Prefix(L"x86");
        if (c.announced) {
            expected.push_back(L"[WINPE x86] 32-bit ネイティブ実行ファイル (MorvaneDiskEraser_x86.exe) を組み込みます。");
        }
        expected.push_back(kStep4);
        expected.push_back(L"[SUCCESS] 日本語対応 WinPEメディアフォルダ (x86) の作成が完了しました: " + work + L"\\media");
        EXPECT_EQ(Own(), expected);
        EXPECT_EQ(Text(work + L"\\media\\sources\\boot.wim"), "fake wim x86");
        EXPECT_EQ(Text(work + L"\\fwfiles\\efisys_noprompt.bin"), "efisys_noprompt x86");
    }
    EXPECT_EQ(ChooseInjectedProgram(L"C:\\p\\MorvaneDiskEraser.exe", 0, true, true).source,
              L"C:\\p\\MorvaneDiskEraser.exe");
}

TEST_F(WinPEBuild, X86MediumSetsUpTheMissing32BitWinPEFirst) {
    FakeKitLayout layout = QuickKit();
    layout.x86WinPE = false;
    options.outputKind = WinPEOutputFolder;
    options.x86 = 1;
    const std::wstring downloads = TempFolder() + L"Morvane_ADK_Downloads";
    {
        // The extraction cannot deliver the files: the build stops before any work.
        UseKit(layout);
        ASSERT_EQ(Build(), 1);
        const Lines own = Own();
        ASSERT_GE(own.size(), 2u);
        EXPECT_EQ(own.front(), L"[AUTO SETUP] x86 (32-bit) Win10 PE コンポーネントが未展開のため、自動展開を実行します...");
        EXPECT_EQ(own.back(), L"[ERROR] x86 (32-bit) Win10 PE イメージが見つかりません。「Win10 ADK + PE Add-on 導入」を実行してください。");
        // The rest of the kit is complete, so the installer reports success without
        // trying winget, and only the final check catches the missing x86 files.
        const Commands commands = tools.Commands();
        ASSERT_FALSE(commands.empty());
        EXPECT_NE(commands.back().find("wims-x86_en-us.msi"), std::string::npos);
        EXPECT_EQ(std::count(commands.begin(), commands.end(), Listing()), 0);
    }
    {
        UseKit(layout);
        tools.Effects(L"msi");
        tools.ClearLog();
        log.lines.clear();
        ASSERT_EQ(Build(), 0);
        const Commands commands = tools.Commands();
        ASSERT_GE(commands.size(), 4u);
        EXPECT_EQ(commands[commands.size() - 4], Listing());
        EXPECT_TRUE(PathExists(work + L"\\media\\sources\\boot.wim"));
        EXPECT_EQ(Own().back(), L"[SUCCESS] 日本語対応 WinPEメディアフォルダ (x86) の作成が完了しました: " + work + L"\\media");
    }
    std::error_code ec;
    std::filesystem::remove_all(downloads, ec);
}

}  // namespace
}  // namespace morvane
