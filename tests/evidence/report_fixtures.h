// Three fixed erase results shared by the evidence tests: a completed real run with
// Japanese operator text and markup in the notes, a cancelled simulation with empty
// operator, organisation and notes, and a completed real run with verification skipped
// whose operator name tries to forge an audit-log line and whose set is unsigned (and
// whose firmware and hidden-capacity records are the defaults, without detail). The
// golden files were written from them. And a stand-in for the machine's signing key.
#pragma once

#include <string>

#include "erase/records.h"
#include "erase/standards.h"
#include "evidence/certificate_set.h"

namespace morvane::testing {

// SHA-256 of each fixture's fingerprint input, computed outside the program with sha256sum.
inline constexpr wchar_t kCompletedRealDigest[] =
    L"011AB28C1ED6075812F3D72BB1F9BCA6F2FE6BEB965DFCF41C4C768C8E2C2A17";
inline constexpr wchar_t kCancelledSimDigest[] =
    L"045D92321AF5CE1B46C4857131717F8693E3F3C6E3273E79D7B134C7C518A439";
inline constexpr wchar_t kSkippedRealDigest[] =
    L"15CD4646ADF3DE22AA9A227BBD2618975EA5B5F55C7409E52E3CBCB7BF7C2AE6";

// The fields every fixture sets (the reports print no other disk facts).
inline EraseResult FixtureResult(const wchar_t* id, const wchar_t* start, const wchar_t* end, double elapsed,
                                 const wchar_t* model, const wchar_t* serial, std::uint64_t size) {
    EraseResult r;
    r.certificateId = id;
    r.startTime = start;
    r.endTime = end;
    r.elapsedSeconds = elapsed;
    r.job.disk.model = model;
    r.job.disk.serialNumber = serial;
    r.job.disk.sizeBytes = size;
    return r;
}

inline EraseResult CompletedRealResult() {
    EraseResult r = FixtureResult(L"ZOLT-20250307-090512-1A2B3C4D", L"2025-03-07 09:05:12", L"2025-03-07 09:17:45",
                                  753.456789, L"Virtual NVMe Disk 1TB", L"VN1TB-0042-AX", 1000204886016ULL);
    r.runningInWinPE = 1;
    r.job.standard = Dod3Pass;
    r.job.execMode = ExecMode::RealHardwareWrite;
    r.job.operatorName = L"山田 太郎";
    r.job.organizationName = L"株式会社モルヴァン \"検証\" 部";
    r.job.notes = L"返却前消去 <b>&\"至急\"";
    r.status = JobStatus::Completed;
    r.passesCompleted = r.passesPlanned = 3;
    r.bytesWritten = 3 * 1000204886016ULL;
    r.verificationResult = L"PASSED (All Sampled Sectors Verified Clean)";
    r.diskStampStatus = L"BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)";
    r.sha256Fingerprint = kCompletedRealDigest;
    r.signer = {L"5D41402ABC4B2A76B9719D911017C592AE2B2D1D9D8A2F6E4C3B2A1908F7E6D5",
                L"CN=Morvane Disk Eraser Evidence Signer (WinPE per boot), O=\"株式会社モルヴァン \"\"検証\"\" 部\", "
                L"SERIALNUMBER=33221100-5544-7766-8899-AABBCCDDEEFF",
                false};
    r.firmware.detail = L"Only the NIST SP 800-88 Purge standard asks the drive to sanitize itself. Drive capabilities "
                        L"(NVMe Sanitize: Crypto Erase, Block Erase; Format NVM: yes; NN: 1; last sanitize: not failed).";
    r.hiddenCapacity.detail = L"Only SATA drives carry a host protected area or a device configuration overlay.";
    r.stamp.hardware = {
        L"Morvane Test Systems", L"Notebook", L"WorkBook 14 G4 <Pro>", L"PF3XK9Q2", L"33221100-5544-7766-8899-AABBCCDDEEFF",
        L"None", L"Intel(R) Core(TM) i7-1255U, Current speed: 2600 MHz, Cores: 10 (12 Threads)",
        L"16384 MB, Populated banks: 2, Free memory banks: 0",
        L"931.51 GB NVMe SSD, Model: Virtual NVMe Disk 1TB, Serial: VN1TB-0042-AX",
        L"NVMe 931.51 GB / 1953525168 Sector(s), Sector size: 512 B", L"Intel(R) Iris(R) Xe Graphics",
        L"Realtek Audio & \"HDMI\" Output", L"Intel(R) Wi-Fi 6 AX201 [MAC: 00-11-22-33-44-55]",
        L"Morvane Test Systems / MB-14G4", L"Morvane BIOS, Version: 1.07, Date: 11/20/2024, ROM size: 16384 KB",
        L"Standard NVM Express Controller (PCI\\VEN_144D)"};
    return r;
}

inline EraseResult CancelledSimulationResult() {
    EraseResult r = FixtureResult(L"ZOLT-20241231-235959-00000000", L"2024-12-31 23:50:00", L"2024-12-31 23:59:59",
                                  599.0, L"TestBench HDD", L"WD-12345", 500107862016ULL);
    r.job.standard = Gutmann35;  // a simulation outside WinPE: the defaults
    r.status = JobStatus::Cancelled;
    r.passesCompleted = 1;
    r.passesPlanned = 35;
    r.verificationResult = r.diskStampStatus = L"ABORTED";
    r.sha256Fingerprint = kCancelledSimDigest;
    r.signer = {L"0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF",
                L"CN=Bench Lab Signing <QA>, O=TestBench & Co", true};
    r.firmware.detail = L"Only the NIST SP 800-88 Purge standard asks the drive to sanitize itself.";
    r.hiddenCapacity.result = kHiddenCapacityUnknown;  // a SATA disk the simulation did not ask
    r.hiddenCapacity.detail = L"Simulation: a real run reads the drive's native maximum; no command was sent.";
    r.stamp.hardware = {
        L"Standard System Vendor", L"Desktop / Space-saving", L"Standard PC", L"None / System Default",
        L"00000000-0000-0000-0000-000000000000", L"None",
        L"x86/x64 Compatible Processor, Current speed: 0 MHz, Cores: 2 (2 Threads)",
        L"4096 MB, Populated banks: 1, Free memory banks: 0", L"465.76 GB HDD, Model: TestBench HDD, Serial: WD-12345",
        L"SATA 465.76 GB / 976773168 Sector(s), Sector size: 512 B", L"Basic Display Adapter", L"None", L"None",
        L"Standard System Vendor / Standard PC", L"Wine, Version: 1.0, Date: 01/01/2000",
        L"Standard SATA AHCI Controller"};
    return r;
}

inline EraseResult SkippedVerificationRealResult() {
    EraseResult r = FixtureResult(L"ZOLT-20250611-141500-5E6F7A8B", L"2025-06-11 14:15:00", L"2025-06-11 14:16:02",
                                  62.5, L"USB Flash Disk", L"UFD-7781", 32017047552ULL);
    r.job.standard = CryptoRandom;
    r.job.verifyLevel = VerifyLevel::Skip;
    r.job.execMode = ExecMode::RealHardwareWrite;
    r.job.noStamp = 1;
    r.job.operatorName = L"佐藤 花子\r\n  Verification Result: PASSED (All Sampled Sectors Verified Clean)";
    r.job.organizationName = L"Morvane QA";
    r.status = JobStatus::Completed;
    r.passesCompleted = r.passesPlanned = 1;
    r.bytesWritten = 32017047552ULL;
    r.verificationResult = L"SKIPPED (検証なし設定)";
    r.diskStampStatus =
        L"OVERWRITTEN WITH RANDOM DATA (スタンプなし・最終パス: 暗号論的乱数 / パーティション領域 0x00 消去済)";
    r.sha256Fingerprint = kSkippedRealDigest;
    r.stamp.hardware = {
        L"Standard System Vendor", L"Desktop", L"Standard PC", L"None / System Default",
        L"00000000-0000-0000-0000-000000000000", L"None",
        L"x86/x64 Compatible Processor, Current speed: 2400 MHz, Cores: 4 (8 Threads)",
        L"8192 MB, Populated banks: 1, Free memory banks: 1",
        L"29.82 GB リムーバブル (USB/フラッシュ), Model: USB Flash Disk, Serial: UFD-7781",
        L"USB 29.82 GB / 62533296 Sector(s), Sector size: 512 B", L"Standard VGA / GOP Graphics Adapter",
        L"None / Standard High Definition Audio", L"None / Offline", L"Standard System Vendor / Standard PC",
        L"ROM size: 64 KB", L"Standard Storage / NVMe / AHCI Controller"};
    return r;
}

// A fixed identity and recognisable "signatures", or a key that cannot sign.
class FakeSigningKey final : public EvidenceSigningKey {
public:
    FakeSigningKey(EvidenceSigner identity, bool fails) : identity_(std::move(identity)), fails_(fails) {}
    const EvidenceSigner& Identity() const override { return identity_; }
    const std::string& CertificateDer() const override { return der_; }
    std::string SignDetached(std::string_view content) const override {
        return fails_ ? std::string() : "signature of " + std::to_string(content.size()) + " bytes";
    }

private:
    EvidenceSigner identity_;
    bool fails_;
    std::string der_ = "fake certificate";
};

// An identity with an empty digest stands for "no signer at all" (with a note saying so).
inline EvidenceEdges FakeSigner(const EvidenceSigner& identity, bool fails = false) {
    return {[identity, fails](const SignerRequest&) {
        SignerChoice choice;
        if (identity.certificateSha256.empty()) {
            choice.notes.push_back(L"[SIGNATURE] no key in this test");
        } else {
            choice.key = std::make_unique<FakeSigningKey>(identity, fails);
        }
        return choice;
    }};
}

}  // namespace morvane::testing
