// Texts of the main window's labels, rows, status line and console lines.
#include "ui/main_texts.h"

#include <cwchar>

#include "common/product.h"
#include "disk/safety.h"

namespace morvane {

std::wstring ConsoleLine(const CalendarTime& t, const std::wstring& text) {
    return L"[" + FormatTimestamp(t) + L"] " + text + L"\r\n";
}

std::vector<std::wstring> StartupConsoleLines() {
    return {std::wstring(kProductName) + L" v" + kProductVersion + L" が起動しました。",
            L"対応機能: 実機ブータブルレポートスタンプ(BIOS/UEFI両対応)＆完全消去(0x00)切替、"
            L"ISO/CD起動向けログ保存先指定、x86/x64日本語WinPE。"};
}

std::wstring EnvironmentLabel(bool effectiveWinPE) {
    return effectiveWinPE ? L"稼働環境: [WinPE スタンドアロンモード] 内蔵SSD/HDDの完全消去が可能"
                          : L"稼働環境: [通常 Windows OS モード] 外部USB/リムーバブル消去 ＆ WinPE作成";
}

std::wstring PrivilegeLabel(bool admin) {
    return admin ? L"権限状態: [管理者権限 (Administrator)]" : L"権限状態: [標準ユーザー (実機消去は要昇格)]";
}

std::wstring AdkLabel(const AdkState& adk) {
    if (adk.status == AdkReady) {
        return adk.hasX86 ? L"ADK状態: [OK] x64 + x86(32bit Win10 PE) + 日本語ロケール 完全対応"
                          : L"ADK状態: [OK] x64 導入済 (x86 32bitは下のWin10 ADK導入で追加可)";
    }
    if (adk.status == AdkWinPEMissing) return L"ADK状態: [要追加] WinPE Add-on が未導入です";
    return L"ADK状態: [未導入] 下のボタンから任意ダウンロード・導入可能";
}

std::wstring SelectionSummary(const DiskInfo* disk) {
    if (disk == nullptr) return kNoSelectionSummary;
    const bool solidState = disk->mediaKind == MediaSsd || disk->mediaKind == MediaNvmeSsd;
    // NVMe, SATA and SAS drives are asked what they offer for erasing themselves.
    const std::wstring firmware = FirmwareProtocolOf(disk->busKind) ? L" [" + CapabilityText(disk->firmware) + L"]" : L"";
    return L"選択: Disk " + std::to_wstring(disk->index) + L" (" + disk->model + L")" +
           (solidState ? L" [推奨: NIST 800-88 Rev.1 Purge]" : L" [推奨: NIST 800-88 / DoD]") + firmware;
}

std::array<std::wstring, 8> DiskRowTexts(const DiskInfo& disk) {
    return {L"Disk " + std::to_wstring(disk.index), disk.model, disk.serialNumber,
            MediaKindName(disk.mediaKind), BusKindName(disk.busKind), FormatSize(disk.sizeBytes),
            disk.driveLetters, SafetyLabel(disk.safety)};
}

void MarkSimulatedSystemDisks(std::vector<DiskInfo>& disks) {
    for (DiskInfo& disk : disks) {
        if (HoldsDriveC(disk)) {
            disk.safetyDescription = kSimulatedSystemDiskDescription;
        }
    }
}

std::vector<std::wstring> UsbTargetEntries(std::vector<std::wstring> removable) {
    if (removable.empty()) removable.emplace_back(kNoUsbEntry);
    return removable;
}

std::wstring ProgressStatusLine(const EraseProgressInfo& progress) {
    wchar_t speed[64] = {};
    std::swprintf(speed, 64, L"%.1f", progress.speedMBps);
    return progress.label + L"  |  現在パス: " + std::to_wstring(progress.passPercent) + L"%  |  全体進捗: " +
           std::to_wstring(progress.overallPercent) + L"%  |  処理速度: " + speed + L" MB/s";
}

}  // namespace morvane
