// The main window's texts and layout factor, without a window.
#include <gtest/gtest.h>

#include "ui/layout.h"
#include "ui/main_texts.h"

namespace morvane {
namespace {

TEST(MainTexts, LabelsForEveryEnvironmentPrivilegeAndKitState) {
    EXPECT_EQ(EnvironmentLabel(true), L"稼働環境: [WinPE スタンドアロンモード] 内蔵SSD/HDDの完全消去が可能");
    EXPECT_EQ(EnvironmentLabel(false), L"稼働環境: [通常 Windows OS モード] 外部USB/リムーバブル消去 ＆ WinPE作成");
    EXPECT_EQ(PrivilegeLabel(true), L"権限状態: [管理者権限 (Administrator)]");
    EXPECT_EQ(PrivilegeLabel(false), L"権限状態: [標準ユーザー (実機消去は要昇格)]");
    const struct {
        AdkState adk;
        const wchar_t* label;
    } kit[] = {
        {{0, true}, L"ADK状態: [OK] x64 + x86(32bit Win10 PE) + 日本語ロケール 完全対応"},
        {{0, false}, L"ADK状態: [OK] x64 導入済 (x86 32bitは下のWin10 ADK導入で追加可)"},
        {{1, true}, L"ADK状態: [要追加] WinPE Add-on が未導入です"},
        {{2, true}, L"ADK状態: [未導入] 下のボタンから任意ダウンロード・導入可能"},
        {{-1, false}, L"ADK状態: [未導入] 下のボタンから任意ダウンロード・導入可能"},
    };
    for (const auto& row : kit) EXPECT_EQ(AdkLabel(row.adk), row.label) << row.adk.status;
}

TEST(MainTexts, SelectionSummaryRecommendsByMediaKind) {
    DiskInfo disk;
    disk.index = 2;
    disk.model = L"Fast Disk";
    const struct {
        std::uint32_t media;
        const wchar_t* summary;
    } rows[] = {
        {MediaSsd, L"選択: Disk 2 (Fast Disk) [推奨: NIST 800-88 Rev.1 Purge]"},
        {MediaNvmeSsd, L"選択: Disk 2 (Fast Disk) [推奨: NIST 800-88 Rev.1 Purge]"},
        {MediaHdd, L"選択: Disk 2 (Fast Disk) [推奨: NIST 800-88 / DoD]"},
        {MediaRemovable, L"選択: Disk 2 (Fast Disk) [推奨: NIST 800-88 / DoD]"},
    };
    for (const auto& row : rows) {
        disk.mediaKind = row.media;
        EXPECT_EQ(SelectionSummary(&disk), row.summary);
    }
    disk.index = -1;
    EXPECT_EQ(SelectionSummary(&disk).substr(0, 12), L"選択: Disk -1 ");
    EXPECT_EQ(SelectionSummary(nullptr), L"ディスクが選択されていません。");
}

TEST(MainTexts, ConsoleAndStatusLines) {
    EXPECT_EQ(ConsoleLine({2024, 5, 1, 9, 3, 7}, L"[VERIFY] 検証 ok"), L"[2024-05-01 09:03:07] [VERIFY] 検証 ok\r\n");
    EraseProgressInfo progress;
    progress.label = L"[安全シミュレーション] Pass 1/2: Zero";
    progress.passPercent = 45;
    progress.overallPercent = 12;
    progress.speedMBps = 1250.46;
    EXPECT_EQ(ProgressStatusLine(progress),
              L"[安全シミュレーション] Pass 1/2: Zero  |  現在パス: 45%  |  全体進捗: 12%  |  処理速度: 1250.5 MB/s");
}

TEST(MainTexts, SimulationMarksOnlyDisksHoldingUpperCaseC) {
    std::vector<DiskInfo> disks(3);
    disks[0].driveLetters = L"D:, C:";
    disks[1].driveLetters = L"c:";  // the marking looks for upper case only
    disks[2].driveLetters = L"E:";
    MarkSimulatedSystemDisks(disks);
    EXPECT_EQ(disks[0].safetyDescription + L"|" + disks[1].safetyDescription + disks[2].safetyDescription,
              std::wstring(kSimulatedSystemDiskDescription) + L"|");
}

TEST(LayoutFactor, ScalesByDensityAndFitsTheWorkArea) {
    EXPECT_EQ(LayoutFactor(96, 1920, 1040), 1.0);
    EXPECT_EQ(LayoutFactor(192, 3840, 2100), 2.0);
    EXPECT_EQ(LayoutFactor(144, 2560, 1400), 1.5);
    const struct {
        int dpi, width, height;
    } small[] = {{96, 1024, 768}, {192, 1920, 1040}, {120, 1280, 720}, {96, 800, 600}};
    for (const auto& screen : small) {
        const double f = LayoutFactor(screen.dpi, screen.width, screen.height);
        EXPECT_LT(f, screen.dpi / 96.0);
        EXPECT_LE(Scaled(kDesignWindowWidth, f), screen.width);
        EXPECT_LE(Scaled(kDesignWindowHeight, f), screen.height);
    }
    EXPECT_EQ(Scaled(1110, 1.0), 1110);
    EXPECT_EQ(Scaled(15, 1.25), 19);
}

}  // namespace
}  // namespace morvane
