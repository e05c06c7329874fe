// Test helpers for the stamp: a fully filled sample record, its fields as a list,
// a log recorder and little-endian readers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/log_callback.h"
#include "erase/records.h"

namespace morvane::testing {

inline ReportStamp SampleReportStamp() {
    ReportStamp s;
    s.failed = false;
    s.certificateId = L"MDE-20261023-0042-A1B2C3";
    s.sanitizationDate = L"2026-10-23 14:05:09";
    s.productLine = L"Morvane Disk Eraser Suite v1.3.0";
    s.standardName = L"DoD 5220.22-M (3 Pass)";
    s.verificationResult = L"PASSED (All Sampled Sectors Verified Clean)";
    s.diskModel = L"WDC WD10EZEX-08WN4A0";
    s.diskSerial = L"WD-WCC6Y0000001";
    s.diskCapacity = L"931.51 GB";
    s.operatorName = L"山田 太郎";
    s.organizationName = L"モルヴェイン技研";
    s.sha256Fingerprint = L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
    s.stampStatus = L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)";
    s.passesCompleted = 3;
    HardwareProfile& h = s.hardware;
    h.manufacturer = L"Contoso";
    h.chassisType = L"Notebook";
    h.model = L"Contoso Book 14";
    h.serial = L"CB14-778";
    h.uuid = L"01234567-89AB-CDEF-0123-456789ABCDEF";
    h.assetTag = L"IT-4411";
    h.processor = L"x86 Family 6 Model 158";
    h.totalMemory = L"8.00 GB";
    h.disk = L"WDC WD10EZEX-08WN4A0 (931.51 GB)";
    h.diskGeometry = L"512 B/Sector";
    h.graphicsCard = L"Basic Display Adapter";
    h.soundCards = L"HD Audio";
    h.networkAdapters = L"Ethernet (00:11:22:33:44:55)";
    h.motherboard = L"Contoso MB-1";
    h.biosInformation = L"Contoso BIOS 1.02";
    h.storageController = L"AHCI Controller";
    return s;
}

// Every text field of a record (hardware included) and the pass count, for comparing whole records.
inline std::vector<std::wstring> StampFields(const ReportStamp& s) {
    const HardwareProfile& h = s.hardware;
    return {s.certificateId, s.sanitizationDate, s.productLine, s.standardName, s.verificationResult,
            s.diskModel, s.diskSerial, s.diskCapacity, s.operatorName, s.organizationName,
            s.sha256Fingerprint, s.stampStatus, std::to_wstring(s.passesCompleted),
            h.manufacturer, h.chassisType, h.model, h.serial, h.uuid, h.assetTag, h.processor,
            h.totalMemory, h.disk, h.diskGeometry, h.graphicsCard, h.soundCards, h.networkAdapters,
            h.motherboard, h.biosInformation, h.storageController};
}

struct LogRecorder {
    std::vector<std::wstring> lines;
    LogCallback callback() {
        return [this](const std::wstring& line) { lines.push_back(line); };
    }
};

// The log line of a stamp written to a disk.
inline const std::wstring kStampWrittenLine =
    L"[DISK STAMP] 実機起動レポート画面 (BIOS/CSM フルスクリーン & UEFI GOP グラフィック両対応スタンプ) "
    L"をディスクへ記録しました。";

inline std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline std::string Bytes(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(b.data() + at), n);
}

// Text from `at` up to the first zero byte.
inline std::string CString(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::size_t end = at;
    while (end < b.size() && b[end] != 0) ++end;
    return Bytes(b, at, end - at);
}

}  // namespace morvane::testing
