// Three fixed erase results shared by the evidence tests: a completed real run with
// Japanese operator text and markup in the notes, a cancelled simulation with empty
// operator, organisation and notes, and a completed real run with verification skipped
// whose operator name tries to forge an audit-log line. The golden files were written
// from them.
#pragma once

#include <string>

#include "erase/records.h"
#include "erase/standards.h"

namespace morvane::testing {

// SHA-256 of each fixture's fingerprint input, computed outside the program with sha256sum.
inline constexpr wchar_t kCompletedRealDigest[] =
    L"011AB28C1ED6075812F3D72BB1F9BCA6F2FE6BEB965DFCF41C4C768C8E2C2A17";
inline constexpr wchar_t kCancelledSimDigest[] =
    L"045D92321AF5CE1B46C4857131717F8693E3F3C6E3273E79D7B134C7C518A439";
inline constexpr wchar_t kSkippedRealDigest[] =
    L"15CD4646ADF3DE22AA9A227BBD2618975EA5B5F55C7409E52E3CBCB7BF7C2AE6";

inline EraseResult CompletedRealResult() {
    EraseResult r;
    r.certificateId = L"ZOLT-20250307-090512-1A2B3C4D";
    r.startTime = L"2025-03-07 09:05:12";
    r.endTime = L"2025-03-07 09:17:45";
    r.elapsedSeconds = 753.456789;
    r.runningInWinPE = 1;
    r.job.disk.index = 1;
    r.job.disk.model = L"Virtual NVMe Disk 1TB";
    r.job.disk.serialNumber = L"VN1TB-0042-AX";
    r.job.disk.sizeBytes = 1000204886016ULL;
    r.job.disk.bytesPerSector = 512;
    r.job.disk.mediaKind = MediaNvmeSsd;
    r.job.disk.busKind = BusNvme;
    r.job.disk.safety = 0;
    r.job.standard = Dod3Pass;
    r.job.execMode = ExecMode::RealHardwareWrite;
    r.job.noStamp = 0;
    r.job.operatorName = L"山田 太郎";
    r.job.organizationName = L"株式会社モルヴァン \"検証\" 部";
    r.job.notes = L"返却前消去 <b>&\"至急\"";
    r.status = JobStatus::Completed;
    r.passesCompleted = 3;
    r.passesPlanned = 3;
    r.bytesWritten = 3 * 1000204886016ULL;
    r.verificationResult = L"PASSED (All Sampled Sectors Verified Clean)";
    r.diskStampStatus = L"BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)";
    r.sha256Fingerprint = kCompletedRealDigest;
    HardwareProfile& h = r.stamp.hardware;
    h.manufacturer = L"Morvane Test Systems";
    h.chassisType = L"Notebook";
    h.model = L"WorkBook 14 G4 <Pro>";
    h.serial = L"PF3XK9Q2";
    h.uuid = L"33221100-5544-7766-8899-AABBCCDDEEFF";
    h.assetTag = L"None";
    h.processor = L"Intel(R) Core(TM) i7-1255U, Current speed: 2600 MHz, Cores: 10 (12 Threads)";
    h.totalMemory = L"16384 MB, Populated banks: 2, Free memory banks: 0";
    h.disk = L"931.51 GB NVMe SSD, Model: Virtual NVMe Disk 1TB, Serial: VN1TB-0042-AX";
    h.diskGeometry = L"NVMe 931.51 GB / 1953525168 Sector(s), Sector size: 512 B";
    h.graphicsCard = L"Intel(R) Iris(R) Xe Graphics";
    h.soundCards = L"Realtek Audio & \"HDMI\" Output";
    h.networkAdapters = L"Intel(R) Wi-Fi 6 AX201 [MAC: 00-11-22-33-44-55]";
    h.motherboard = L"Morvane Test Systems / MB-14G4";
    h.biosInformation = L"Morvane BIOS, Version: 1.07, Date: 11/20/2024, ROM size: 16384 KB";
    h.storageController = L"Standard NVM Express Controller (PCI\\VEN_144D)";
    return r;
}

inline EraseResult CancelledSimulationResult() {
    EraseResult r;
    r.certificateId = L"ZOLT-20241231-235959-00000000";
    r.startTime = L"2024-12-31 23:50:00";
    r.endTime = L"2024-12-31 23:59:59";
    r.elapsedSeconds = 599.0;
    r.runningInWinPE = 0;
    r.job.disk.index = 0;
    r.job.disk.model = L"TestBench HDD";
    r.job.disk.serialNumber = L"WD-12345";
    r.job.disk.sizeBytes = 500107862016ULL;
    r.job.disk.mediaKind = MediaHdd;
    r.job.disk.busKind = BusSata;
    r.job.standard = Gutmann35;
    r.job.execMode = ExecMode::SimulationDryRun;
    r.status = JobStatus::Cancelled;
    r.passesCompleted = 1;
    r.passesPlanned = 35;
    r.verificationResult = L"ABORTED";
    r.diskStampStatus = L"ABORTED";
    r.sha256Fingerprint = kCancelledSimDigest;
    HardwareProfile& h = r.stamp.hardware;
    h.manufacturer = L"Standard System Vendor";
    h.chassisType = L"Desktop / Space-saving";
    h.model = L"Standard PC";
    h.serial = L"None / System Default";
    h.uuid = L"00000000-0000-0000-0000-000000000000";
    h.assetTag = L"None";
    h.processor = L"x86/x64 Compatible Processor, Current speed: 0 MHz, Cores: 2 (2 Threads)";
    h.totalMemory = L"4096 MB, Populated banks: 1, Free memory banks: 0";
    h.disk = L"465.76 GB HDD, Model: TestBench HDD, Serial: WD-12345";
    h.diskGeometry = L"SATA 465.76 GB / 976773168 Sector(s), Sector size: 512 B";
    h.graphicsCard = L"Basic Display Adapter";
    h.soundCards = L"None";
    h.networkAdapters = L"None";
    h.motherboard = L"Standard System Vendor / Standard PC";
    h.biosInformation = L"Wine, Version: 1.0, Date: 01/01/2000";
    h.storageController = L"Standard SATA AHCI Controller";
    return r;
}

inline EraseResult SkippedVerificationRealResult() {
    EraseResult r;
    r.certificateId = L"ZOLT-20250611-141500-5E6F7A8B";
    r.startTime = L"2025-06-11 14:15:00";
    r.endTime = L"2025-06-11 14:16:02";
    r.elapsedSeconds = 62.5;
    r.job.disk.index = 2;
    r.job.disk.model = L"USB Flash Disk";
    r.job.disk.serialNumber = L"UFD-7781";
    r.job.disk.sizeBytes = 32017047552ULL;
    r.job.disk.bytesPerSector = 512;
    r.job.disk.mediaKind = MediaRemovable;
    r.job.disk.busKind = BusUsb;
    r.job.standard = CryptoRandom;
    r.job.verifyLevel = VerifyLevel::Skip;
    r.job.execMode = ExecMode::RealHardwareWrite;
    r.job.noStamp = 1;
    r.job.operatorName = L"佐藤 花子\r\n  Verification Result: PASSED (All Sampled Sectors Verified Clean)";
    r.job.organizationName = L"Morvane QA";
    r.status = JobStatus::Completed;
    r.passesCompleted = 1;
    r.passesPlanned = 1;
    r.bytesWritten = 32017047552ULL;
    r.verificationResult = L"SKIPPED (検証なし設定)";
    r.diskStampStatus =
        L"OVERWRITTEN WITH RANDOM DATA (スタンプなし・最終パス: 暗号論的乱数 / パーティション領域 0x00 消去済)";
    r.sha256Fingerprint = kSkippedRealDigest;
    HardwareProfile& h = r.stamp.hardware;
    h.manufacturer = L"Standard System Vendor";
    h.chassisType = L"Desktop";
    h.model = L"Standard PC";
    h.serial = L"None / System Default";
    h.uuid = L"00000000-0000-0000-0000-000000000000";
    h.assetTag = L"None";
    h.processor = L"x86/x64 Compatible Processor, Current speed: 2400 MHz, Cores: 4 (8 Threads)";
    h.totalMemory = L"8192 MB, Populated banks: 1, Free memory banks: 1";
    h.disk = L"29.82 GB リムーバブル (USB/フラッシュ), Model: USB Flash Disk, Serial: UFD-7781";
    h.diskGeometry = L"USB 29.82 GB / 62533296 Sector(s), Sector size: 512 B";
    h.graphicsCard = L"Standard VGA / GOP Graphics Adapter";
    h.soundCards = L"None / Standard High Definition Audio";
    h.networkAdapters = L"None / Offline";
    h.motherboard = L"Standard System Vendor / Standard PC";
    h.biosInformation = L"ROM size: 64 KB";
    h.storageController = L"Standard Storage / NVMe / AHCI Controller";
    return r;
}

}  // namespace morvane::testing
