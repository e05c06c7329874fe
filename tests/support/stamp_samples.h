// Test helpers for the stamp: a fully filled sample record and the log line of a written stamp.
#pragma once

#include <string>

#include "erase/records.h"

namespace morvane::testing {

// Japanese operator and organisation; every other field ASCII.
inline ReportStamp SampleReportStamp() {
    return {false, L"MDE-20261023-0042-A1B2C3", L"2026-10-23 14:05:09", L"Morvane Disk Eraser Suite v1.3.0",
            L"DoD 5220.22-M (3 Pass)", L"PASSED (All Sampled Sectors Verified Clean)", L"WDC WD10EZEX-08WN4A0",
            L"WD-WCC6Y0000001", L"931.51 GB", L"山田 太郎", L"モルヴェイン技研",
            L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
            L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)", 3,
            {L"Contoso", L"Notebook", L"Contoso Book 14", L"CB14-778", L"01234567-89AB-CDEF-0123-456789ABCDEF",
             L"IT-4411", L"x86 Family 6 Model 158", L"8.00 GB", L"WDC WD10EZEX-08WN4A0 (931.51 GB)",
             L"512 B/Sector", L"Basic Display Adapter", L"HD Audio", L"Ethernet (00:11:22:33:44:55)",
             L"Contoso MB-1", L"Contoso BIOS 1.02", L"AHCI Controller"}};
}

// The log line of a stamp written to a disk.
inline const std::wstring kStampWrittenLine =
    L"[DISK STAMP] 実機起動レポート画面 (BIOS/CSM フルスクリーン & UEFI GOP グラフィック両対応スタンプ) "
    L"をディスクへ記録しました。";

}  // namespace morvane::testing
