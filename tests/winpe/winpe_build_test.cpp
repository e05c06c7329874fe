// Kit installation, hybrid boot files and the WinPE build against a fake kit and fake
// tools: command order and key values, the image, the failure paths. The USB target is
// an unused drive letter only the fakes see; the shell "open" is recorded, never done.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <string>
#include <vector>

#include "support/winpe_fakes.h"
#include "winpe/adk.h"
#include "winpe/image_customize.h"
#include "winpe/winpe_build.h"
#include "winpe/winpe_commands.h"

namespace morvane {
namespace {

using testing::FakeKit;
using testing::FakeKitLayout;
using testing::Narrow;
using Keys = std::vector<std::string>;
using Tags = std::vector<std::wstring>;
constexpr auto Text = testing::ReadText;

const std::string kList = "/Get-MountedImageInfo", kClean = "/Cleanup-Mountpoints", kMount = "/Mount-Image",
                  kCommit = "/Commit", kDiscard = "/Discard";

class WinPE : public ::testing::Test {
protected:
    void SetUp() override {
        // A drive letter that names nothing here stands for the USB stick.
        for (wchar_t letter = L'Y'; letter >= L'R' && drive.empty(); --letter) {
            if (::GetDriveTypeW((std::wstring(1, letter) + L":\\").c_str()) == DRIVE_NO_ROOT_DIR) drive = {letter, L':'};
        }
        ASSERT_FALSE(drive.empty());
        testing::WriteTextFile(host.programPath, "x64 program");
        options = {WinPEOutputUsb, 0, 0, drive + L"\\ [USB - 14.90 GB]", temp.file(L"out\\Morvane PE.iso"), temp.file(L"work")};
        host.driveType = [this](const std::wstring& root) {  // the stick may be swapped for a disk mid-build
            return root != drive + L"\\" ? SystemDriveType(root) : (++usbLooks > 1 && swapped ? DRIVE_FIXED : DRIVE_REMOVABLE);
        };
    }
    void UseKit(const FakeKitLayout& layout = {}, int candidate = 0) {
        kit.reset();  // the old kit's removal would take the new one with it
        kit = std::make_unique<FakeKit>(candidate, layout);
        ASSERT_TRUE(kit->ok());
        tools.ClearLog();
        log.lines.clear(), opened.clear(), verified.clear();
    }
    int Build() { return usbLooks = 0, BuildWinPEMedia(options, log.callback(), host); }
    int Install(int choice) { return InstallAdk(choice, downloads, log.callback(), host); }
    std::wstring Image(const std::wstring& relative) const { return options.workDir + L"\\mount\\" + relative; }

    testing::TempDir temp;
    testing::FakeToolEnv tools{temp.file(L"commands.log")};
    std::unique_ptr<FakeKit> kit;
    testing::LogRecorder log;
    std::vector<std::wstring> opened, verified;  // folders shown; installers whose signature was asked for
    // The fakes carry no signature; one case runs the real check.
    WinPEHost host{temp.file(L"prog\\MorvaneDiskEraser.exe"), [this](const std::wstring& f) { opened.push_back(f); },
                   std::chrono::seconds(60), SystemDriveType, [this](const std::wstring& p) { return verified.push_back(p), true; }};
    std::wstring drive, downloads = temp.file(L"dl");
    bool swapped = false;
    int usbLooks = 0;
    WinPEBuildOptions options;
};

TEST_F(WinPE, KitDownloadOnlyFetchesAllFourInstallersAndShowsThem) {
    downloads.clear();  // the default folder below the user's temporary folder
    const std::wstring folder = TempFolder() + L"Morvane_ADK_Downloads";
    ASSERT_EQ(Install(DownloadInstallersOnly), 0);
    const std::string o = "\" -o \"" + Narrow(folder) + "\\";
    const Keys keys = {"2120254" + o + "adksetup_win10_x86_x64.exe\"", "2120253" + o + "adkwinpesetup_win10_x86_x64.exe\"",
                       "2271337" + o + "adksetup_win11.exe\"", "2271338" + o + "adkwinpesetup_win11.exe\""};
    EXPECT_EQ(tools.Keyed(keys), keys);
    EXPECT_EQ(opened, std::vector<std::wstring>{folder});
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

TEST_F(WinPE, Win10KitInstallsWhatIsMissingAndFallsBackToWinget) {
    const std::string adk = "linkid=2120254", deploy = "OptionId.DeploymentTools", addOn = "linkid=2120253",
                      pe = "OptionId.WindowsPreinstallationEnvironment", msi = "x64-x86_en-us.msi", wims = "wims-x86_en-us.msi";
    // Kit layout, scripted failures, the commands, how many installers were checked before they ran.
    const std::tuple<FakeKitLayout, const wchar_t*, Keys, std::size_t> cases[] = {
        {{false, false, false}, L"", {adk, deploy, addOn, pe, "/layout", msi, wims}, 2},  // from nothing
        {{true, false, false}, L"", {addOn, pe, "/layout", msi, wims}, 1},               // tools present
        {{}, L"", {addOn, pe}, 1},  // complete: the add-on is repaired, nothing extracted
        // Failed downloads run nothing; winget is tried and fails too.
        {{false, false, false}, L"curl.exe=22|winget=1", {adk, addOn, "WindowsADK ", "WindowsADK.WinPEAddon "}, 0},
    };
    for (const auto& [layout, exits, keys, checked] : cases) {
        SCOPED_TRACE(keys.size());
        UseKit(layout, 1);
        tools.ScriptExits(exits);
        ASSERT_EQ(Install(Win10KitWithX86), checked == 0 ? 1 : 0);
        EXPECT_EQ(tools.Keyed(keys), keys);
        EXPECT_EQ(verified.size(), checked);
        // The extracted x86 files, tools included, went into the kit that was found.
        EXPECT_EQ(testing::PathExists(kit->root() + L"\\Deployment Tools\\x86\\BCDBoot\\bootsect.exe"), keys.size() >= 5);
        EXPECT_TRUE(HasX86WinPE() || keys.size() < 5);
    }
}

TEST_F(WinPE, KitInstallRunsNoUnsignedInstaller) {
    UseKit();
    host.verifySignature = VerifyAuthenticodeSignature;  // the real check; the fake is unsigned
    ASSERT_EQ(Install(Win10KitWithX86), 0);               // the kit was complete already
    EXPECT_EQ(tools.Keyed({"curl.exe"}), Keys{"curl.exe"});
    EXPECT_EQ(log.tags(), (Tags{L"[ADK INSTALLER]", L"[ERROR]", L"[ADK INSTALLER]"}));
    EXPECT_FALSE(testing::PathExists(downloads + L"\\adkwinpesetup_win10.exe"));
}

TEST_F(WinPE, HybridBootFilesCarryTheArchitecturesOwnUefiLoader) {
    for (const bool x86Images : {true, false}) {
        FakeKitLayout layout;
        layout.x86BootImages = x86Images;
        UseKit(layout);
        testing::TempDir work;
        std::filesystem::create_directories(work.path() / L"media");
        StageHybridBootFiles(kit->root(), work.path().wstring(), 1, log.callback());
        // A 32-bit machine needs the 32-bit UEFI loader; amd64's only stands in, with a warning.
        EXPECT_EQ(Text(work.file(L"fwfiles\\efisys.bin")), x86Images ? "efisys x86" : "efisys");
        EXPECT_EQ(Text(work.file(L"bootbins\\etfsboot.com")), x86Images ? "etfsboot x86" : "etfsboot");
        EXPECT_EQ(Text(work.file(L"media\\bootmgr")), "bootmgr x86");
        EXPECT_EQ(log.tags(), x86Images ? Tags{L"[HYBRID BOOT]"} : (Tags{L"[WARN]", L"[HYBRID BOOT]"}));
    }
}

TEST_F(WinPE, UsbHybridWithTheKitsDismAndTheJapaneseLocaleInAFreshWorkFolder) {
    FakeKitLayout layout;
    layout.kitDism = layout.languagePacks = true;
    UseKit(layout);
    tools.Set(L"MORVANE_FAKE_HIVE", L"1");
    options.workDir.clear();
    ASSERT_EQ(Build(), 0);
    // The first line names the work folder: a fresh one below the temporary folder.
    const std::wstring work = log.lines.at(0).substr(log.lines[0].find(L"): ") + 3);
    EXPECT_EQ(work.rfind(TempFolder() + L"Morvane_WinPE_amd64_", 0), 0u) << Narrow(work);
    options.workDir = work;

    // Every image command runs the kit's own DISM; the stick gets both boot records.
    const std::string dism = "\"" + Narrow(KitDismPath(kit->root())) + "\" ", image = dism + "/Image:", reg = "reg.exe add";
    const Keys keys = {dism + "/English " + kList, dism + kClean, dism + kMount, image, image, image, image,
                       "reg.exe load", reg, reg, reg, reg, reg, reg, "reg.exe unload", dism + "/Unmount-Image",
                       "/UFD /F \"" + Narrow(work) + "\" " + Narrow(drive), "/nt60 " + Narrow(drive) + " /force /mbr"};
    EXPECT_EQ(tools.Keyed(keys), keys);
    Tags tags = log.tags();
    std::erase_if(tags, [](const std::wstring& tag) { return tag.find(L" DLL]") != std::wstring::npos; });
    const std::wstring build = L"[WINPE BUILD]", locale = L"[JA-JP LOCALE]";
    EXPECT_EQ(tags, (Tags{build, build, L"[HYBRID BOOT]", build, build, locale, locale, L"[JA-JP FONTS]", build, build,
                          L"[CSM/BIOS BOOT]", L"[SUCCESS]"}));
    EXPECT_EQ(Text(work + L"\\media\\sources\\boot.wim"), "fake wim amd64");
    EXPECT_EQ(Text(Image(L"Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe")), "x64 program");
    EXPECT_EQ(Text(Image(L"Windows\\System32\\winpeshl.ini")), WinpeshlIniContent());
    EXPECT_EQ(Text(Image(L"Windows\\System32\\startnet.cmd")), StartnetCmdContent());  // the image's own replaced
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
}

TEST_F(WinPE, BuildOutputsAndFailurePaths) {
    const std::wstring work = options.workDir;
    const std::string ufd = "/UFD /F \"" + Narrow(work) + "\" " + Narrow(drive), iso = "/ISO /F \"" + Narrow(work) + "\" \"" +
                      Narrow(options.isoPath) + "\"", efi = "\\fwfiles\\etfsboot.com\"#pEF,e,b\"" + Narrow(work) + "\\fwfiles\\";
    const Keys built = {kList, kClean, kMount, kCommit};
    const auto then = [&built](const Keys& more) { Keys keys = built; return keys.insert(keys.end(), more.begin(), more.end()), keys; };
    struct Case {
        int outputKind, uefiOnly;
        const wchar_t* exits;  // scripted tool failures
        Keys keys;
        std::wstring last;  // the start of the last log line
        bool noprompt = true, swapped = false, programMissing = false, hang = false;
    };
    const Case cases[] = {
        {WinPEOutputUsb, 1, L"", then({ufd}), L"[SUCCESS]"},  // UEFI only: no boot sector
        {WinPEOutputUsb, 0, L"/UFD=1", then({ufd}), L"[ERROR] MakeWinPEMedia (/UFD)"},
        // The USB letter became a fixed disk during the build: it is not formatted.
        {WinPEOutputUsb, 0, L"", built, L"[ERROR] USBドライブの指定が不正です: " + options.usbDrive, true, true},
        {3, 0, L"", built, L"[SUCCESS] 日本語対応 WinPEメディアフォルダ (amd64) の作成が完了しました: " + work + L"\\media"},
        // A hybrid ISO by oscdimg with the UEFI image that does not wait for a key, if there is one.
        {WinPEOutputIso, 0, L"", then({efi + "efisys_noprompt.bin\""}), L"[SUCCESS]"},
        {WinPEOutputIso, 0, L"", then({efi + "efisys.bin\""}), L"[SUCCESS]", false},
        // Else the kit's media maker, which must not ask before replacing the earlier image.
        {WinPEOutputIso, 1, L"", then({iso}), L"[SUCCESS]"},
        {WinPEOutputIso, 0, L"oscdimg.exe=1", then({"oscdimg.exe", iso}), L"[SUCCESS]"},
        {WinPEOutputFolder, 0, L"/Mount-Image=1", {kList, kClean, kMount}, L"[ERROR] boot.wim"},  // nothing to unmount
        {WinPEOutputFolder, 0, L"", {kList, kClean, kMount}, L"[ERROR] boot.wim", true, false, false, true},  // time limit
        {WinPEOutputFolder, 0, L"/Commit=1", then({kDiscard}), L"[ERROR] DISM"},
        // No program to inject (last: the program goes): the image is discarded, never committed.
        {WinPEOutputFolder, 0, L"", {kList, kClean, kMount, kDiscard}, L"[ERROR] プログラム本体をイメージへコピーできませんでした", true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys.back());
        FakeKitLayout layout;
        layout.noprompt = c.noprompt;
        UseKit(layout);
        options.outputKind = c.outputKind;
        options.uefiOnly = c.uefiOnly;
        tools.ScriptExits(c.exits);
        tools.Set(L"MORVANE_FAKE_SLEEP", c.hang ? L"/Mount-Image=60000" : L"");
        host.commandTimeLimit = std::chrono::seconds(c.hang ? 2 : 60);
        swapped = c.swapped;
        if (c.programMissing) ::DeleteFileW(host.programPath.c_str());
        testing::WriteTextFile(options.isoPath, "earlier image");
        const int result = Build();
        EXPECT_EQ(result, c.last.rfind(L"[SUCCESS]", 0) == 0 ? 0 : 1);
        EXPECT_EQ(tools.Keyed(c.keys), c.keys);
        EXPECT_EQ(log.last().rfind(c.last, 0), 0u) << Narrow(log.last());
        EXPECT_EQ(opened.size(), result == 0 && c.outputKind == 3 ? 1u : 0u);
        EXPECT_EQ(Text(options.isoPath) == "fake iso\r\n", result == 0 && c.outputKind == WinPEOutputIso);
    }
}

TEST_F(WinPE, BuildRefusedBeforeAnyToolRuns) {
    UseKit();
    const std::wstring usb = L"[ERROR] USBドライブの指定が不正です: ", percent = L"[ERROR] パスに使用できない文字「%」";
    const std::pair<WinPEBuildOptions, std::wstring> cases[] = {
        {{WinPEOutputUsb, 0, 0, TempFolder().substr(0, 2) + L"\\ [system]", L"", options.workDir}, usb},
        {{WinPEOutputUsb, 0, 0, L"1:", L"", options.workDir}, usb},
        {{WinPEOutputUsb, 0, 0, L"%E:\\ [USB]", L"", options.workDir}, percent},
        {{WinPEOutputIso, 0, 0, L"", temp.file(L"%USERNAME%.iso"), options.workDir}, percent},
        {{WinPEOutputFolder, 0, 0, L"", L"", temp.file(L"100%work")}, percent},
    };
    for (const auto& [refused, error] : cases) {
        options = refused;
        log.lines.clear();
        EXPECT_EQ(Build(), 1);
        EXPECT_EQ(log.lines.size(), 1u);
        EXPECT_EQ(log.last().rfind(error, 0), 0u) << Narrow(log.last());
    }
    EXPECT_TRUE(tools.Commands().empty());
    UseKit({false, true});  // an incomplete kit
    EXPECT_EQ(Build(), 1);
    EXPECT_EQ(log.tags(), Tags{L"[ERROR]"});
}

TEST_F(WinPE, LeftoverMountsOfEarlierBuildsAreDiscardedBeforeTheCleanup) {
    UseKit();
    options.outputKind = WinPEOutputFolder;
    const std::wstring earlier = TempFolder() + L"Morvane_WinPE_x86_20240102_030405\\mount";
    // Someone else's image stays mounted; this build's own folder is discarded too.
    tools.Set(L"MORVANE_FAKE_MOUNTED", earlier + L"|C:\\Images\\mount|" + options.workDir + L"\\mount");
    ASSERT_EQ(Build(), 0);
    const Keys keys = {kList, Narrow(earlier) + "\" " + kDiscard, Narrow(options.workDir) + "\\mount\" " + kDiscard,
                       kClean, kMount, kCommit};
    EXPECT_EQ(tools.Keyed(keys), keys);
    for (const auto& line : log.lines) EXPECT_EQ(line.find(L"Mount Dir"), std::wstring::npos);  // listing unlogged
}

TEST_F(WinPE, X86MediumSetsUpMissing32BitFilesAndInjectsThe32BitProgram) {
    options = {WinPEOutputFolder, 1, 0, L"", L"", options.workDir};
    testing::WriteTextFile(temp.file(L"prog\\MorvaneDiskEraser_x86.exe"), "x86 beside");
    std::error_code ec;
    std::filesystem::remove_all(TempFolder() + L"Morvane_ADK_Downloads", ec);
    UseKit({true, true, false});
    ASSERT_EQ(Build(), 0) << Narrow(log.last());
    const Keys commands = tools.Commands();  // the build starts once the extraction is done
    EXPECT_NE(commands.at(commands.size() - 5).find("msiexec"), std::string::npos);
    std::filesystem::remove_all(TempFolder() + L"Morvane_ADK_Downloads", ec);
    EXPECT_EQ(Text(Image(L"Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe")), "x86 beside");
    EXPECT_EQ(Text(options.workDir + L"\\media\\sources\\boot.wim"), "fake wim x86");
    EXPECT_EQ(ChooseInjectedProgram(L"C:\\p\\a.exe", 1, false, true).source, L"C:\\p\\x86\\MorvaneDiskEraser.exe");
}

}  // namespace
}  // namespace morvane
