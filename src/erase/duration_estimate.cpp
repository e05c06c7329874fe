// A worst-case duration of an erasure and its fit into WinPE's 72-hour shell life.
#include "erase/duration_estimate.h"

#include "disk/disk_info.h"
#include "erase/standards.h"

namespace morvane {

namespace {

constexpr std::uint64_t MiB = 1024 * 1024;

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) {
    return a / b + (a % b != 0 ? 1 : 0);
}

}  // namespace

std::uint64_t ConservativeSpeed(std::uint32_t busKind, std::uint32_t mediaKind) {
    // USB bridges, card readers and cheap sticks are the slowest whatever the medium.
    if (busKind == BusUsb || busKind == BusSdCard || busKind == BusMmc) return 20 * MiB;
    // QLC flash falls far below its rated speed once its cache is full.
    if (mediaKind == MediaNvmeSsd || busKind == BusNvme) return 200 * MiB;
    if (mediaKind == MediaSsd) return 150 * MiB;
    // The inner tracks of a hard disk are about half as fast as the outer ones.
    if (mediaKind == MediaHdd) return 80 * MiB;
    return 50 * MiB;
}

std::uint64_t EstimateEraseSeconds(const EraseJob& job, std::optional<std::uint64_t> firmwareSeconds) {
    const std::uint64_t speed = ConservativeSpeed(job.disk.busKind, job.disk.mediaKind);
    const std::uint64_t surface = CeilDiv(job.disk.sizeBytes, speed);
    std::uint64_t seconds = BuildPassPlan(job.standard).size() * surface;
    // The quick level reads 64 windows of 64 KiB: seconds, not hours.
    if (job.verifyLevel == VerifyLevel::FullSurface) seconds += surface;
    return seconds + firmwareSeconds.value_or(0);
}

WinPETimeDecision DecideWinPETime(std::uint64_t estimateSeconds, std::uint64_t uptimeMs, bool realWinPE,
                                  bool simulatedWinPE) {
    const std::uint64_t used = uptimeMs / 1000;
    const std::uint64_t left = used < kWinPEShellLifeSeconds ? kWinPEShellLifeSeconds - used : 0;
    WinPETimeDecision decision;
    if ((!realWinPE && !simulatedWinPE) || estimateSeconds + kWinPEMarginSeconds <= left) return decision;
    const std::wstring estimate = ApproximateDuration(estimateSeconds), remaining = ApproximateDuration(left);
    if (!realWinPE) {
        decision.action = WinPETimeAction::Warn;
        decision.text = L"[WARN] WinPE 72時間制限: 推定所要時間 " + estimate + L" と安全余裕 2 時間が WinPE の残り時間 " +
                        remaining + L" に収まりません。実際の WinPE ではこの消去は開始できません。";
        return decision;
    }
    decision.action = WinPETimeAction::Refuse;
    decision.text = L"【WinPE 72時間制限】\nWindows PE は連続使用 72 時間でシェルが終了し再起動します (変更できません)。\n"
                    L"この消去は時間内に終わらない可能性があるため開始できません。\n\n"
                    L"・推定所要時間      : " + estimate + L" (遅めの書き込み速度で見積もり)\n"
                    L"・WinPE の残り時間  : " + remaining + L" (起動から " + ApproximateDuration(used) +
                    L" 経過、安全余裕 2 時間が必要)\n\n"
                    L"・パス数の少ない消去規格 (NIST Clear / Zero Fill など 1 パス) を選んでください。\n"
                    L"・OS ディスク以外の増設ディスクであれば、インストール済みの Windows 上から消去できます。";
    if (estimateSeconds + kWinPEMarginSeconds <= kWinPEShellLifeSeconds) {
        decision.text += L"\n・WinPE を再起動すると残り時間は 72 時間に戻ります。";
    }
    return decision;
}

std::wstring ApproximateDuration(std::uint64_t seconds) {
    const std::uint64_t minutes = CeilDiv(seconds, 60);
    return L"約 " + std::to_wstring(minutes / 60) + L" 時間 " + std::to_wstring(minutes % 60) + L" 分";
}

}  // namespace morvane
