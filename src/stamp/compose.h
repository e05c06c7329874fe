// Fills the report record carried by the bootable stamp from an erase result.
#pragma once

#include <string>

#include "erase/records.h"

namespace morvane {

inline constexpr wchar_t kStampStatusPureZero[] = L"Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)";
inline constexpr wchar_t kStampStatusActive[] = L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)";
inline constexpr wchar_t kStampStatusSimulation[] = L"Simulation / Dry-Run Report Stamp";

// The stamp state text chosen from the job: a simulation says so first, then the
// stamp choice of a real run.
std::wstring StampStatusText(const EraseJob& job);

// Pure: texts are copied in full; `hardware` is the profile the job collected.
ReportStamp ComposeReportStamp(const EraseResult& result, const HardwareProfile& hardware);

}  // namespace morvane
