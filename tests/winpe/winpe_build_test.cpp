// Kit installation, hybrid boot files and the WinPE build against a fake kit and fake
// tools: command order and key values, the image, the failure paths. The USB target is
// an unused drive letter only the fakes see; the shell "open" is recorded, never done.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/winpe_fakes.h"
#include "winpe/adk.h"
#include "winpe/build_guards.h"
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
        testing::WriteTextFile(host.programPath, x64Program);
        options = {WinPEOutputUsb, 0, 0, drive + L"\\ [USB - 14.90 GB]", temp.file(L"out\\Morvane PE.iso"), temp.file(L"work")};
        host.driveType = [this](const std::wstring& root) {  // the stick may be swapped for a disk mid-build
            return root != drive + L"\\" ? SystemDriveType(root) : (++usbLooks > 1 && swapped ? DRIVE_FIXED : DRIVE_REMOVABLE);
        };
        host.usbVolume = [this](const std::wstring& d) { return d == drive ? usbFacts : UsbVolumeFacts{}; };
        host.removeFile = [this](const std::wstring& path) { return removed.push_back(path), true; };
        host.buildLockName = L"Local\\MorvaneWinPETest_" + std::to_wstring(::GetCurrentProcessId());
    }
    void UseKit(const FakeKitLayout& layout = {}, int candidate = 0) {
        kit.reset();  // the old kit's removal would take the new one with it
        kit = std::make_unique<FakeKit>(candidate, layout);
        ASSERT_TRUE(kit->ok());
        tools.ClearLog();
        log.lines.clear(), opened.clear(), verified.clear(), removed.clear();
    }
    int Build() { return usbLooks = 0, BuildWinPEMedia(options, log.callback(), host); }
    int Install(int choice) { return InstallAdk(choice, downloads, log.callback(), host); }
    std::wstring Image(const std::wstring& relative) const { return options.workDir + L"\\mount\\" + relative; }

    testing::TempDir temp;
    testing::FakeToolEnv tools{temp.file(L"commands.log")};
    std::unique_ptr<FakeKit> kit;
    testing::LogRecorder log;
    std::vector<std::wstring> opened, verified, removed;  // folders shown; installers checked; files removed from the stick
    // The fakes carry no signature; one case runs the real check.
    WinPEHost host{temp.file(L"prog\\MorvaneDiskEraser.exe"), [this](const std::wstring& f) { opened.push_back(f); },
                   std::chrono::seconds(60), SystemDriveType, [this](const std::wstring& p) { return verified.push_back(p), true; }};
    std::wstring drive, downloads = temp.file(L"dl");
    bool swapped = false;
    int usbLooks = 0;
    UsbVolumeFacts usbFacts{true, 15'938'355'200ULL, false};
    WinPEBuildOptions options;
    const std::string x64Program = testing::FakeProgram(kMachineAmd64, "x64 program");
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
    // The first line names the work folder: a fresh one below the temporary folder,
    // scratch once the stick is written.
    const std::wstring work = log.lines.at(0).substr(log.lines[0].find(L"): ") + 3);
    EXPECT_EQ(work.rfind(TempFolder() + L"Morvane_WinPE_amd64_", 0), 0u) << Narrow(work);
    EXPECT_FALSE(testing::PathExists(work));

    // Every image command runs the kit's own DISM; a leftover hive key is unloaded
    // before the load; the script alone writes the stick's boot records.
    const std::string dism = std::string("\"") + Narrow(KitDismPath(kit->root())) + "\" ", image = dism + "/Image:", reg = "reg.exe add",
                      unload = "reg.exe unload";
    const Keys keys = {dism + "/English " + kList, dism + kClean, dism + kMount, image, image, image, image, unload,
                       "reg.exe load", reg, reg, reg, reg, reg, reg, unload, dism + "/Unmount-Image",
                       "/UFD /F \"" + Narrow(work) + "\" " + Narrow(drive)};
    EXPECT_EQ(tools.Keyed(keys), keys);
    const std::wstring build = L"[WINPE BUILD]", locale = L"[JA-JP LOCALE]";
    EXPECT_EQ(log.tags(), (Tags{build, build, L"[HYBRID BOOT]", build, build, locale, locale, L"[JA-JP FONTS]", build,
                                build, L"[SUCCESS]"}));
    EXPECT_TRUE(removed.empty());  // a hybrid stick keeps its BIOS boot manager
}

TEST_F(WinPE, BuildOutputsAndFailurePaths) {
    const std::wstring work = options.workDir;
    const std::string ufd = "/UFD /F \"" + Narrow(work) + "\" " + Narrow(drive), iso = "/ISO /F \"" + Narrow(work) + "\" \"" +
                      Narrow(options.isoPath) + "\"", efi = "\\fwfiles\\etfsboot.com\"#pEF,e,b\"" + Narrow(work) + "\\fwfiles\\",
                      uefiIso = "-bootdata:1#pEF,e,b\"" + Narrow(work) + "\\fwfiles\\efisys_noprompt.bin\" \"",
                      unload = "reg.exe unload", load = "reg.exe load", add = "reg.exe add";
    const Keys built = {kList, kClean, kMount, kCommit}, mounted = {kList, kClean, kMount};
    const auto then = [](Keys keys, const Keys& more) { return keys.insert(keys.end(), more.begin(), more.end()), keys; };
    struct Case {
        int outputKind, uefiOnly;
        const wchar_t* exits;  // scripted tool failures
        Keys keys;
        std::wstring last;  // the start of the last log line
        bool noprompt = true, swapped = false, hang = false, hive = false;
    };
    const Case cases[] = {
        {WinPEOutputUsb, 1, L"", then(built, {ufd}), L"[SUCCESS]"},  // UEFI only: bootmgr goes
        {WinPEOutputUsb, 0, L"/UFD=1", then(built, {ufd}), L"[ERROR] MakeWinPEMedia (/UFD)"},
        // The USB letter became a fixed disk during the build: it is not formatted.
        {WinPEOutputUsb, 0, L"", built, L"[ERROR] USBドライブの指定が不正です: " + options.usbDrive, true, true},
        {3, 0, L"", built, L"[SUCCESS] 日本語対応 WinPEメディアフォルダ (amd64) の作成が完了しました: " + work + L"\\media"},
        // A hybrid ISO by oscdimg with the UEFI image that does not wait for a key, if there is one.
        {WinPEOutputIso, 0, L"", then(built, {efi + "efisys_noprompt.bin\""}), L"[SUCCESS]"},
        {WinPEOutputIso, 0, L"", then(built, {efi + "efisys.bin\""}), L"[SUCCESS]", false},
        // UEFI only: the UEFI entry alone; the media maker must not ask before replacing the earlier image.
        {WinPEOutputIso, 1, L"", then(built, {uefiIso}), L"[SUCCESS] 日本語対応 Morvane Disk Eraser 自動起動WinPE ISO"},
        {WinPEOutputIso, 0, L"oscdimg.exe=1", then(built, {"oscdimg.exe", iso}), L"[SUCCESS]"},
        {WinPEOutputIso, 1, L"oscdimg.exe=1|/ISO=1", then(built, {uefiIso, iso}), L"[ERROR] ISOイメージの作成に失敗しました。"},
        {WinPEOutputFolder, 0, L"/Mount-Image=1", mounted, L"[ERROR] boot.wim"},  // nothing to unmount
        {WinPEOutputFolder, 0, L"", mounted, L"[ERROR] boot.wim", true, false, true},  // time limit
        {WinPEOutputFolder, 0, L"/Commit=1", then(built, {kDiscard}), L"[ERROR] DISM"},
        // The hive does not load: no value is written, the build goes on.
        {WinPEOutputFolder, 0, L"reg.exe load=1", then(mounted, {unload, load, kCommit}), L"[SUCCESS]", true, false, false, true},
        // The hive stays loaded after a retry: the image is discarded, never committed.
        {WinPEOutputFolder, 0, L"reg.exe unload=1", then(mounted, {unload, load, add, add, add, add, add, add, unload, unload, kDiscard}),
         L"[ERROR] WinPE のオフライン レジストリ", true, false, false, true},
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
        tools.Set(L"MORVANE_FAKE_HIVE", c.hive ? L"1" : L"");
        host.commandTimeLimit = std::chrono::seconds(c.hang ? 2 : 60);
        swapped = c.swapped;
        testing::WriteTextFile(options.isoPath, "earlier image");
        const int result = Build();
        EXPECT_EQ(result, c.last.rfind(L"[SUCCESS]", 0) == 0 ? 0 : 1);
        EXPECT_EQ(tools.Keyed(c.keys), c.keys);
        EXPECT_EQ(log.last().rfind(c.last, 0), 0u) << Narrow(log.last());
        EXPECT_EQ(opened.size(), result == 0 && c.outputKind >= WinPEOutputFolder ? 1u : 0u);
        EXPECT_EQ(Text(options.isoPath) == "fake iso\r\n", result == 0 && c.outputKind == WinPEOutputIso);
        const bool usbOrIso = c.outputKind == WinPEOutputUsb || c.outputKind == WinPEOutputIso;
        EXPECT_EQ(testing::PathExists(work), !(result == 0 && usbOrIso));  // scratch goes, a media folder stays
        EXPECT_EQ(removed, result == 0 && c.outputKind == WinPEOutputUsb && c.uefiOnly ? Tags{drive + L"\\bootmgr"} : Tags{});
        // The kit's media maker reads fwfiles\efisys.bin: the prompting image was replaced first.
        if (result == 1 && c.outputKind == WinPEOutputIso) {
            EXPECT_EQ(Text(work + L"\\fwfiles\\efisys.bin"), "efisys_noprompt");
        }
    }
}

TEST_F(WinPE, BuildRefusedBeforeAnyToolRuns) {
    UseKit();
    const std::wstring usb = L"[ERROR] USBドライブの指定が不正です: ", percent = L"[ERROR] パスに使用できない文字「%」",
                       usbVolume = L"[ERROR] USBドライブ (" + drive + L") の";
    const std::wstring program32 = temp.file(L"prog32\\MorvaneDiskEraser_x86.exe");
    testing::WriteTextFile(program32, testing::FakeProgram(kMachineX86, "x86"));
    struct Case {
        WinPEBuildOptions options;
        std::wstring error;
        UsbVolumeFacts facts{true, 15'938'355'200ULL, false};
        std::wstring program = {};
    };
    const Case cases[] = {
        {{WinPEOutputUsb, 0, 0, TempFolder().substr(0, 2) + L"\\ [system]", L"", options.workDir}, usb},
        {{WinPEOutputUsb, 0, 0, L"1:", L"", options.workDir}, usb},
        {{WinPEOutputUsb, 0, 0, L"%E:\\ [USB]", L"", options.workDir}, percent},
        {{WinPEOutputIso, 0, 0, L"", temp.file(L"%USERNAME%.iso"), options.workDir}, percent},
        {{WinPEOutputFolder, 0, 0, L"", L"", temp.file(L"100%work")}, percent},
        // The kit's script cannot format this stick (every reason: the guards' own test).
        {options, usbVolume + L"ボリュームは 64023257088 バイトで", {true, 64'023'257'088ULL, false}},
        // No program WinPE could start: 64-bit for x86, 32-bit without a 64-bit sibling for x64.
        {{WinPEOutputFolder, 1, 0, L"", L"", options.workDir}, L"[ERROR] x86 (32-bit)"},
        {{WinPEOutputFolder, 0, 0, L"", L"", options.workDir}, L"[ERROR] x64 (64-bit)", {}, program32},
    };
    const std::wstring program64 = host.programPath;
    for (const Case& c : cases) {
        options = c.options;
        usbFacts = c.facts;
        host.programPath = c.program.empty() ? program64 : c.program;
        log.lines.clear();
        EXPECT_EQ(Build(), 1);
        EXPECT_EQ(log.lines.size(), 1u);
        EXPECT_EQ(log.last().rfind(c.error, 0), 0u) << Narrow(log.last());
    }
    EXPECT_TRUE(tools.Commands().empty());
    UseKit({false, true});  // an incomplete kit
    EXPECT_EQ(Build(), 1);
    EXPECT_EQ(log.tags(), Tags{L"[ERROR]"});
}

TEST_F(WinPE, SecondBuildOrInstallationRefusedWhileAnotherHoldsTheLock) {
    UseKit();
    options.outputKind = WinPEOutputFolder;
    std::promise<void> held, release;
    std::thread other([&] {
        const BuildLock lock(host.buildLockName);
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    EXPECT_EQ(Build(), 1);
    EXPECT_EQ(Install(Win11ViaWinget), 1);
    release.set_value();
    other.join();
    EXPECT_EQ(log.lines, (Tags{BuildLockBusyLine(), BuildLockBusyLine()}));
    EXPECT_TRUE(tools.Commands().empty());
    EXPECT_EQ(Build(), 0) << Narrow(log.last());  // free again
}

TEST_F(WinPE, LeftoversOfEarlierBuildsGoFirstAndTheImageIsComplete) {
    UseKit();
    options.outputKind = WinPEOutputFolder;
    // Earlier work folders: an ISO/USB build's with an image still mounted, another's
    // without, and a media folder build's (unmarked, its product).
    const std::wstring tag = L"Morvane_WinPE_x86_test" + std::to_wstring(::GetCurrentProcessId()), earlier = TempFolder() + tag;
    const std::wstring stale = earlier + L"_stale", product = earlier + L"_media";
    for (const std::wstring& f : {earlier, stale}) testing::WriteTextFile(f + L"\\" + kScratchMarkerName, kScratchMarkerText);
    testing::WriteTextFile(product + L"\\media\\bootmgr", "bootmgr");
    // Someone else's image stays mounted; this build's own folder is discarded too.
    tools.Set(L"MORVANE_FAKE_MOUNTED", earlier + L"\\mount|C:\\Images\\mount|" + options.workDir + L"\\mount");
    // Started from the 32-bit program: its 64-bit sibling goes into the x64 image.
    host.programPath = temp.file(L"prog\\MorvaneDiskEraser_x86.exe");
    testing::WriteTextFile(host.programPath, testing::FakeProgram(kMachineX86, "x86"));
    ASSERT_EQ(Build(), 0);
    const Keys keys = {kList, Narrow(earlier) + "\\mount\" " + kDiscard, Narrow(options.workDir) + "\\mount\" " + kDiscard,
                       kClean, kMount, kCommit};
    EXPECT_EQ(tools.Keyed(keys), keys);
    for (const auto& line : log.lines) EXPECT_EQ(line.find(L"Mount Dir"), std::wstring::npos);  // listing unlogged
    EXPECT_EQ(std::vector<bool>({testing::PathExists(earlier), testing::PathExists(stale), testing::PathExists(product)}),
              std::vector<bool>({true, false, true}));
    std::error_code ec;
    for (const std::wstring& f : {earlier, product}) std::filesystem::remove_all(f, ec);

    EXPECT_EQ(Text(options.workDir + L"\\media\\sources\\boot.wim"), "fake wim amd64");
    EXPECT_EQ(Text(Image(L"Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe")), x64Program);
    EXPECT_EQ(Text(Image(L"Windows\\System32\\winpeshl.ini")), WinpeshlIniContent());
    EXPECT_EQ(Text(Image(L"Windows\\System32\\startnet.cmd")), StartnetCmdContent());  // the image's own replaced
    EXPECT_TRUE(std::ranges::any_of(log.lines, [](const std::wstring& l) { return l.rfind(L"[WINPE x64] ", 0) == 0; }));
}

TEST_F(WinPE, X86MediumSetsUpMissing32BitFilesAndInjectsThe32BitProgram) {
    options = {WinPEOutputFolder, 1, 0, L"", L"", options.workDir};
    const std::string x86Program = testing::FakeProgram(kMachineX86, "x86 beside");
    testing::WriteTextFile(temp.file(L"prog\\MorvaneDiskEraser_x86.exe"), x86Program);
    std::error_code ec;
    std::filesystem::remove_all(TempFolder() + L"Morvane_ADK_Downloads", ec);
    UseKit({true, true, false});
    ASSERT_EQ(Build(), 0) << Narrow(log.last());
    const Keys commands = tools.Commands();  // the build starts once the extraction (under the same lock) is done
    EXPECT_NE(commands.at(commands.size() - 5).find("msiexec"), std::string::npos);
    std::filesystem::remove_all(TempFolder() + L"Morvane_ADK_Downloads", ec);
    EXPECT_EQ(Text(Image(L"Program Files\\Morvane Disk Eraser\\MorvaneDiskEraser.exe")), x86Program);
    EXPECT_EQ(Text(options.workDir + L"\\media\\sources\\boot.wim"), "fake wim x86");
    // Said in the log: the medium does not start on 64-bit UEFI.
    EXPECT_TRUE(std::ranges::any_of(log.lines, [](const std::wstring& l) { return l.find(L"64-bit UEFI のPCでは起動しません") != std::wstring::npos; }));
}

}  // namespace
}  // namespace morvane
