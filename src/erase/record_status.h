// The status vocabulary of the erase record: what a result's disk state, a stamp
// record's state and a verdict can say, and the one rule that tells a dry run's
// record from a real one. Evidence, stamps and windows all read these texts; they
// are defined here once.
#pragma once

#include "erase/records.h"

namespace morvane {

// ---- The stamp record's state (ReportStamp::stampStatus) ---------------------------
inline constexpr wchar_t kStampStatusPureZero[] = L"Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)";
inline constexpr wchar_t kStampStatusActive[] = L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)";
inline constexpr wchar_t kStampStatusSimulation[] = L"Simulation / Dry-Run Report Stamp";
// After the operator zeroed the stamp area from the report window: only the first
// 128 KiB and the partition tables were written, the rest holds what the run left.
inline constexpr wchar_t kStampStatusErasedByOperator[] =
    L"Stamp Area Zeroed (スタンプ消去済・先頭128KiBとパーティション情報を0x00化)";

// ---- What the disk holds at the end of a job (EraseResult::diskStampStatus) --------
inline constexpr wchar_t kDiskStampSimulated[] =
    L"STAMPED (Simulation Verified - Bootable Report Stamp & Hardware Profile Ready)";
inline constexpr wchar_t kDiskPureZeroSimulated[] = L"PURE ZERO WIPED (スタンプなし・完全未初期化状態)";
inline constexpr wchar_t kDiskStampActive[] =
    L"BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)";
inline constexpr wchar_t kDiskPureZeroReal[] = L"PURE ZERO WIPED (スタンプなし・全セクタ 0x00 完全未初期化状態)";
inline constexpr wchar_t kDiskNotStamped[] = L"NOT STAMPED";
inline constexpr wchar_t kDiskStampSkipped[] = L"STAMP WRITE SKIPPED";
inline constexpr wchar_t kDiskAborted[] = L"ABORTED";

// ---- Verdicts (EraseResult::verificationResult, ReportStamp::verificationResult) ---
inline constexpr wchar_t kVerdictSimulationPassed[] = L"PASSED (Simulation 100% Verified)";
inline constexpr wchar_t kVerdictSimulationPrefix[] = L"PASSED (Simulation";
inline constexpr wchar_t kVerdictAborted[] = L"ABORTED";
inline constexpr wchar_t kVerdictCancelled[] = L"CANCELLED";
inline constexpr wchar_t kVerdictCancelledByUser[] = L"CANCELLED BY USER";
inline constexpr wchar_t kVerdictWriteError[] = L"WRITE ERROR";
// The drive's own sanitize failed: the job ended before any overwrite pass.
inline constexpr wchar_t kVerdictFirmwareSanitizeFailed[] = L"FIRMWARE SANITIZE FAILED";
inline constexpr wchar_t kVerdictStampedByOperator[] = L"STAMPED BY OPERATOR";
// A re-issued record whose stamp carries no verdict: nothing may be claimed for it.
inline constexpr wchar_t kVerdictNotRecorded[] = L"UNKNOWN (not recorded on the stamp)";

// A record describes a dry run when its mode is the simulation, its stamp state is the
// simulation's or its verdict is the simulated read-back's. A stamp record carries no
// mode, so only the last two decide for it. Whether there is a record at all (a
// failed preview) is a separate question.
[[nodiscard]] bool IsSimulationRecord(const ReportStamp& stamp);
[[nodiscard]] bool IsSimulationRecord(const EraseResult& result);

// What a record proves, by one rule for every form that shows it (the certificate's
// badge, the report window's badge and clipboard text, the completion line): a dry run
// erased nothing; a real run counts as verified only when its read-back passed.
enum class RecordOutcome {
    Verified,        // completed real run whose verification passed
    NotVerified,     // completed real run without a passed verification
    SimulationOnly,  // completed dry run: nothing was erased
    Cancelled,
    Failed,
};
[[nodiscard]] RecordOutcome OutcomeOf(JobStatus status, bool simulation, const std::wstring& verdict);
[[nodiscard]] RecordOutcome OutcomeOf(const EraseResult& result);

}  // namespace morvane
