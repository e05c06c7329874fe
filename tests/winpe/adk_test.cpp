// Kit detection at both fixed locations and the installation modes, against a
// fake kit in the test prefix and fake curl, setup programs, msiexec and winget.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/winpe_fake_kit.h"
#include "support/winpe_fakes.h"
#include "winpe/adk.h"
#include "winpe/command_runner.h"

namespace morvane {
namespace {

using testing::FakeKit;
using testing::FakeKitLayout;
using testing::FakeToolEnv;
using testing::LogRecorder;
using testing::Narrow;
using testing::PathExists;
using testing::TempDir;

const std::wstring kDownloadsName = L"Morvane_ADK_Downloads";

FakeKitLayout Missing() {
    FakeKitLayout l;
    l.deploymentTools = false;
    l.winpeAddon = false;
    l.x86WinPE = false;
    return l;
}

std::string Link(int id) {
    return "\"https://go.microsoft.com/fwlink/?linkid=" + std::to_string(id) + "\"";
}

// A download of link `id`, as curl sees it: HTTPS only, HTTP errors are errors.
std::string Curl(int id) {
    return "curl.exe --fail --proto =https --proto-redir =https -L " + Link(id) + " -o ";
}

const std::string kWingetAdk =
    "winget install --id Microsoft.WindowsADK --version 10.1.26100.2454 -e --accept-package-agreements "
    "--accept-source-agreements";
const std::string kWingetWinPE =
    "winget install --id Microsoft.WindowsADK.WinPEAddon --version 10.1.26100.2454 -e "
    "--accept-package-agreements --accept-source-agreements";

TEST(AdkDetection, RootCandidatesMarkersAndStatus) {
    {
        // No kit anywhere: the first candidate is still returned, and the status says missing.
        ASSERT_TRUE(testing::RunningUnderWine());
        ASSERT_FALSE(PathExists(L"C:\\Program Files (x86)\\Windows Kits"));
        ASSERT_FALSE(PathExists(L"C:\\Program Files\\Windows Kits"));
        EXPECT_EQ(FindAdkRoot(), kAdkRootCandidates[0]);
        EXPECT_EQ(GetAdkStatus(), AdkMissing);
        EXPECT_FALSE(HasX86WinPE());
    }
    struct Case {
        int candidate;
        bool tools, addon, x86;
        int status;
    };
    const Case cases[] = {
        {0, true, true, true, AdkReady},     {1, true, true, true, AdkReady},
        {0, true, true, false, AdkReady},    {1, true, false, false, AdkWinPEMissing},
        {0, false, true, true, AdkMissing},  {1, false, false, false, AdkMissing},
    };
    for (const Case& c : cases) {
        FakeKitLayout layout;
        layout.deploymentTools = c.tools;
        layout.winpeAddon = c.addon;
        layout.x86WinPE = c.x86;
        FakeKit kit(c.candidate, layout);
        ASSERT_TRUE(kit.ok());
        SCOPED_TRACE(c.candidate);
        EXPECT_EQ(FindAdkRoot(), kit.root());
        EXPECT_EQ(GetAdkStatus(), c.status);
        EXPECT_EQ(HasX86WinPE(), c.addon && c.x86);
    }
}

TEST(AdkDetection, AFileNamedLikeTheFirstCandidateIsSkipped) {
    FakeKit kit(1, FakeKitLayout{});
    ASSERT_TRUE(kit.ok());
    const std::filesystem::path kits = L"C:\\Program Files (x86)\\Windows Kits";
    ASSERT_FALSE(PathExists(kits.wstring()));
    testing::WriteTextFile(kAdkRootCandidates[0], "not a folder");
    EXPECT_EQ(FindAdkRoot(), kAdkRootCandidates[1]);
    EXPECT_EQ(GetAdkStatus(), AdkReady);
    std::error_code ec;
    std::filesystem::remove_all(kits, ec);
}

class AdkInstall : public ::testing::Test {
protected:
    TempDir temp;
    FakeToolEnv tools{temp.file(L"commands.log")};
    LogRecorder log;
    std::vector<std::wstring> opened;
    std::vector<std::wstring> verified;  // installers whose signature was asked for
    WinPEHost host = [this] {
        WinPEHost h{L"C:\\nowhere\\MorvaneDiskEraser.exe",
                    [this](const std::wstring& folder) { opened.push_back(folder); }};
        // The fake installers carry no signature; the real check is tested on its own.
        h.verifySignature = [this](const std::wstring& path) {
            verified.push_back(path);
            return true;
        };
        return h;
    }();
    std::wstring downloads = temp.file(L"dl");

    int Install(int choice) {
        return InstallAdk(choice, downloads, log.callback(), host);
    }
    std::string Dl(const std::string& name) const {
        std::string quoted(1, '"');
        quoted += Narrow(downloads) + "\\" + name;
        return quoted + '"';
    }
};

TEST_F(AdkInstall, DownloadOnlyFetchesAllFourInstallersIntoTheTempFolderAndOpensIt) {
    downloads.clear();  // the default folder below the user's temporary folder
    const std::wstring folder = TempFolder() + kDownloadsName;
    ASSERT_EQ(Install(DownloadInstallersOnly), 0);
    const std::string f = Narrow(folder);
    EXPECT_EQ(tools.Commands(), (std::vector<std::string>{
        Curl(2120254) + "\"" + f + "\\adksetup_win10_x86_x64.exe\"",
        Curl(2120253) + "\"" + f + "\\adkwinpesetup_win10_x86_x64.exe\"",
        Curl(2271337) + "\"" + f + "\\adksetup_win11.exe\"",
        Curl(2271338) + "\"" + f + "\\adkwinpesetup_win11.exe\"",
    }));
    EXPECT_TRUE(PathExists(folder + L"\\adkwinpesetup_win11.exe"));
    EXPECT_EQ(log.own(), (std::vector<std::wstring>{
        L"[ADK DOWNLOADER] Windows 10 ADK (x86/x64対応) & Windows 11 ADK 公式インストーラーを保存しています: " + folder,
        L"[ADK DOWNLOADER] 公式インストーラー一式のダウンロードが完了しました！"}));
    EXPECT_EQ(opened, std::vector<std::wstring>{folder});
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

TEST_F(AdkInstall, DownloadOnlyFailsWhenADownloadFails) {
    // The server answers one link with an error page; curl exits 22.
    tools.ScriptExits(L"linkid=2120253=22");
    EXPECT_EQ(Install(DownloadInstallersOnly), 1);
    EXPECT_EQ(tools.Commands().size(), 4u);
    const std::wstring failed = downloads + L"\\adkwinpesetup_win10_x86_x64.exe";
    EXPECT_EQ(log.own(), (std::vector<std::wstring>{
        L"[ADK DOWNLOADER] Windows 10 ADK (x86/x64対応) & Windows 11 ADK 公式インストーラーを保存しています: " + downloads,
        L"[ERROR] インストーラーのダウンロードに失敗しました: " + failed}));
    // The error page is not left behind under the installer's name.
    EXPECT_FALSE(PathExists(failed));
    EXPECT_TRUE(PathExists(downloads + L"\\adksetup_win11.exe"));
    EXPECT_TRUE(opened.empty());
}

TEST_F(AdkInstall, FailedDownloadsRunNothing) {
    FakeKit kit(0, Missing());
    ASSERT_TRUE(kit.ok());
    tools.AdkRoot(kit.root());
    tools.ScriptExits(L"curl.exe=22");
    tools.Effects(L"setup");
    ASSERT_EQ(Install(Win10KitWithX86), 1);
    // Neither error page was checked or run; only winget was tried afterwards.
    EXPECT_EQ(tools.Commands(), (std::vector<std::string>{Curl(2120254) + Dl("adksetup_win10.exe"),
                                                          Curl(2120253) + Dl("adkwinpesetup_win10.exe"),
                                                          kWingetAdk, kWingetWinPE}));
    EXPECT_TRUE(verified.empty());
    EXPECT_EQ(log.own(), (std::vector<std::wstring>{
        L"[ADK INSTALLER] Windows 10 ADK + WinPE Add-on (x86 32bit & x64 64bit / CSM & UEFI両対応) を導入しています...",
        L"[ERROR] インストーラーのダウンロードに失敗しました: " + downloads + L"\\adksetup_win10.exe",
        L"[ERROR] インストーラーのダウンロードに失敗しました: " + downloads + L"\\adkwinpesetup_win10.exe",
        L"[ADK INSTALLER] Windows 11 ADK + WinPE Add-on の自動導入を開始します..."}));
}

TEST_F(AdkInstall, UnsignedInstallerIsNotRun) {
    FakeKit kit(1, FakeKitLayout{});
    ASSERT_TRUE(kit.ok());
    host.verifySignature = VerifyAuthenticodeSignature;  // the real check; the fake is unsigned
    ASSERT_EQ(Install(Win10KitWithX86), 0);               // the kit was complete already
    EXPECT_EQ(tools.Commands(), std::vector<std::string>{Curl(2120253) + Dl("adkwinpesetup_win10.exe")});
    const std::wstring installer = downloads + L"\\adkwinpesetup_win10.exe";
    const std::vector<std::wstring> own = log.own();
    ASSERT_EQ(own.size(), 3u);
    EXPECT_EQ(own[1], L"[ERROR] インストーラーのデジタル署名 (Authenticode) を確認できないため実行しません: " + installer);
    EXPECT_FALSE(PathExists(installer));
}

TEST_F(AdkInstall, DownloadFolderWithPercentIsRefusedBeforeAnythingRuns) {
    downloads = temp.file(L"100%dl");
    for (int choice : {Win10KitWithX86, Win11ViaWinget, DownloadInstallersOnly}) {
        log.lines.clear();
        EXPECT_EQ(Install(choice), 1);
        EXPECT_EQ(log.lines, std::vector<std::wstring>{L"[ERROR] パスに使用できない文字「%」が含まれています: " + downloads});
    }
    EXPECT_TRUE(tools.Commands().empty());
    EXPECT_FALSE(PathExists(downloads));
}

TEST_F(AdkInstall, Win10KitFromNothingAtEitherRoot) {
    for (int candidate : {0, 1}) {
        SCOPED_TRACE(candidate);
        // An empty kit folder at the candidate, so the setup programs install there.
        FakeKit kit(candidate, Missing());
        ASSERT_TRUE(kit.ok());
        tools.AdkRoot(kit.root());
        tools.Effects(L"setup,msi,dtx86");
        tools.ClearLog();
        log.lines.clear();
        ASSERT_EQ(Install(Win10KitWithX86), 0);
        const std::string layout = Narrow(downloads) + "\\layout_win10pe";
        const std::string target = Dl("extracted_win10pe");
        EXPECT_EQ(tools.Commands(), (std::vector<std::string>{
            Curl(2120254) + Dl("adksetup_win10.exe"),
            Dl("adksetup_win10.exe") + " /quiet /norestart /features OptionId.DeploymentTools",
            Curl(2120253) + Dl("adkwinpesetup_win10.exe"),
            Dl("adkwinpesetup_win10.exe") + " /quiet /norestart /features OptionId.WindowsPreinstallationEnvironment",
            Dl("adkwinpesetup_win10.exe") + " /layout \"" + layout + "\" /quiet",
            "msiexec.exe /a \"" + layout + "\\Installers\\Windows PE x86 x64-x86_en-us.msi\" /qn TARGETDIR=" + target,
            "msiexec.exe /a \"" + layout + "\\Installers\\Windows PE x86 x64 wims-x86_en-us.msi\" /qn TARGETDIR=" + target,
        }));
        // The real xcopy carried the extracted x86 files into the kit, tools included.
        EXPECT_TRUE(HasX86WinPE());
        EXPECT_TRUE(PathExists(kit.pe(L"x86") + L"\\Media\\bootmgr"));
        EXPECT_TRUE(PathExists(kit.root() + L"\\Deployment Tools\\x86\\BCDBoot\\bootsect.exe"));
        EXPECT_EQ(log.own(), (std::vector<std::wstring>{
            L"[ADK INSTALLER] Windows 10 ADK + WinPE Add-on (x86 32bit & x64 64bit / CSM & UEFI両対応) を導入しています...",
            L"[WIN10 x86 PE] 既存ADK環境へ Windows 10 x86 (32-bit) WinPE コンポーネントをサイドバイサイド展開しています...",
            L"[ADK INSTALLER] Windows 10 PE (x86 32bit / x64) 環境の準備が完了しました！"}));
    }
}

TEST_F(AdkInstall, Win10KitWithToolsPresentSkipsTheKitSetup) {
    FakeKitLayout layout;
    layout.winpeAddon = false;  // status 1
    FakeKit kit(0, layout);
    ASSERT_TRUE(kit.ok());
    ASSERT_EQ(GetAdkStatus(), AdkWinPEMissing);
    tools.AdkRoot(kit.root());
    tools.Effects(L"setup");
    // The add-on's own x86 files are not extracted here (no msi effect): the status
    // alone decides, so the result is still 0.
    ASSERT_EQ(Install(Win10KitWithX86), 0);
    const auto commands = tools.Commands();
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_EQ(commands[0], Curl(2120253) + Dl("adkwinpesetup_win10.exe"));
    EXPECT_EQ(commands[2], Dl("adkwinpesetup_win10.exe") + " /layout \"" + Narrow(downloads) +
                               "\\layout_win10pe\" /quiet");
    EXPECT_FALSE(HasX86WinPE());
}

TEST_F(AdkInstall, Win10KitAlreadyCompleteStillRerunsTheAddOnAndSkipsExtraction) {
    FakeKit kit(1, FakeKitLayout{});
    ASSERT_TRUE(kit.ok());
    ASSERT_EQ(Install(Win10KitWithX86), 0);
    EXPECT_EQ(tools.Commands(), (std::vector<std::string>{
        Curl(2120253) + Dl("adkwinpesetup_win10.exe"),
        Dl("adkwinpesetup_win10.exe") + " /quiet /norestart /features OptionId.WindowsPreinstallationEnvironment"}));
}

TEST_F(AdkInstall, Win10KitThatStaysIncompleteFallsBackToWinget) {
    FakeKit kit(0, Missing());
    ASSERT_TRUE(kit.ok());
    tools.AdkRoot(kit.root());
    ASSERT_EQ(Install(Win10KitWithX86), 1);
    const auto commands = tools.Commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2],
              kWingetAdk);
    EXPECT_EQ(commands.back(),
              kWingetWinPE);
    ASSERT_FALSE(log.own().empty());
    EXPECT_EQ(log.own().back(), L"[ADK INSTALLER] Windows 11 ADK + WinPE Add-on の自動導入を開始します...");
}

TEST_F(AdkInstall, Win11AndUnknownModesUseWinget) {
    const std::pair<int, bool> runs[] = {{Win11ViaWinget, true}, {7, true}, {Win11ViaWinget, false}};
    for (const auto& [choice, withLog] : runs) {
        SCOPED_TRACE(std::to_string(choice) + (withLog ? "" : " without a log callback"));
        FakeKit kit(1, Missing());
        ASSERT_TRUE(kit.ok());
        tools.AdkRoot(kit.root());
        tools.Effects(L"winget");
        tools.ClearLog();
        log.lines.clear();
        ASSERT_EQ(withLog ? Install(choice) : InstallAdk(choice, downloads, nullptr, host), 0);
        EXPECT_EQ(GetAdkStatus(), AdkReady);
        EXPECT_EQ(tools.Commands(), (std::vector<std::string>{
            kWingetAdk,
            kWingetWinPE}));
        const std::vector<std::wstring> lines = {
            L"[ADK INSTALLER] Windows 11 ADK + WinPE Add-on の自動導入を開始します...",
            L"[ADK INSTALLER] Windows ADK および WinPE Add-on の導入が確認されました！"};
        EXPECT_EQ(log.own(), withLog ? lines : std::vector<std::wstring>{});
    }
}

}  // namespace
}  // namespace morvane
