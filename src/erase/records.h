// The records that cross the sanitization engine's boundary: the job, its result,
// its progress reports and the report record carried by the bootable stamp.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>

#include "common/hardware_profile.h"
#include "common/log_callback.h"
#include "disk/disk_info.h"
#include "firmware/hidden_capacity.h"
#include "firmware/model.h"

namespace morvane {

// The numeric values of these enumerations are stored in settings, reports and
// fingerprints: they never change. Values outside the named ones can arrive from a
// settings file and are handled where they are read.
enum class ExecMode : std::uint32_t {
    SimulationDryRun = 0,
    RealHardwareWrite = 1,
};

enum class VerifyLevel : std::uint32_t {
    Skip = 0,
    QuickSample = 1,
    FullSurface = 2,
};

enum class JobStatus : std::uint32_t {
    NotRun = 0,
    Completed = 3,
    Cancelled = 4,
    Failed = 5,
};

// The stored number of an enumeration value.
template <typename Enum>
constexpr std::underlying_type_t<Enum> ValueOf(Enum value) {
    return static_cast<std::underlying_type_t<Enum>>(value);
}

// "安全シミュレーション(DryRun)" / "実機物理セクタ完全消去".
std::wstring ExecModeName(ExecMode mode);

struct EraseJob {
    DiskInfo disk;
    std::uint32_t standard = 0;
    VerifyLevel verifyLevel = VerifyLevel::QuickSample;
    ExecMode execMode = ExecMode::SimulationDryRun;
    std::uint32_t noStamp = 0;               // stored as 1 for "no stamp"
    std::uint32_t certificatesDisabled = 0;  // stored as 1 for "no certificate files"
    std::wstring operatorName;
    std::wstring organizationName;
    std::wstring notes;
    std::wstring outputFolder;
    // The operator's unlock of internal secondary disks (1) as set when the job was
    // made; a real write decides with it, never with the record's status.
    std::uint32_t unlockInternal = 0;
    // SHA-1 thumbprint (hexadecimal, as the settings hold it) of an organisation's own
    // certificate in the machine's certificate store; empty: the program's own signer.
    std::wstring signerThumbprint;

    [[nodiscard]] bool StampWanted() const { return noStamp != 1; }
    [[nodiscard]] bool CertificatesWanted() const { return certificatesDisabled != 1; }
};

struct ReportStamp {
    bool failed = true;
    std::wstring certificateId;
    std::wstring sanitizationDate;
    std::wstring productLine;
    std::wstring standardName;
    std::wstring verificationResult;
    std::wstring diskModel;
    std::wstring diskSerial;
    std::wstring diskCapacity;
    std::wstring operatorName;
    std::wstring organizationName;
    std::wstring sha256Fingerprint;
    std::wstring stampStatus;
    std::int32_t passesCompleted = 0;
    HardwareProfile hardware;
};

// Who signed the written evidence files; an empty certificate digest means the set
// carries no signature.
struct EvidenceSigner {
    std::wstring certificateSha256;  // 64 upper-case hexadecimal digits over the DER certificate
    std::wstring subject;
    // False for a signer made per boot (WinPE keeps its keys in RAM).
    bool pinned = false;
};

struct EraseResult {
    std::wstring certificateId;
    std::wstring startTime;
    std::wstring endTime;
    double elapsedSeconds = 0.0;
    std::uint32_t runningInWinPE = 0;
    EraseJob job;
    JobStatus status = JobStatus::NotRun;
    std::uint32_t passesCompleted = 0;
    std::uint32_t passesPlanned = 0;
    std::uint64_t bytesWritten = 0;
    std::wstring verificationResult;
    std::wstring diskStampStatus;
    std::wstring message;
    std::wstring sha256Fingerprint;
    EvidenceSigner signer;
    std::wstring htmlPath;
    std::wstring auditLogPath;
    std::wstring jsonPath;
    ReportStamp stamp;
    // The drive's own sanitize: what was asked, what came of it, and why when nothing was.
    FirmwareSanitizeRecord firmware;
    // Sectors a SATA drive keeps beyond its addressable capacity (HPA/DCO), and whether
    // the drive's own sanitize erased them.
    HiddenCapacityRecord hiddenCapacity;
};

// The phase of a progress report while the drive sanitizes itself.
inline constexpr std::uint32_t kPhaseFirmwareSanitize = 3;

struct EraseProgressInfo {
    std::uint32_t phase = 0;  // 1 overwrite pass, 2 verification, kPhaseFirmwareSanitize
    std::uint32_t passNumber = 0;
    std::uint32_t totalPasses = 0;
    std::int32_t overallPercent = 0;
    std::uint32_t passPercent = 0;
    double speedMBps = 0.0;  // MB = 2^20 bytes
    std::wstring label;
};

using ProgressCallback = std::function<void(const EraseProgressInfo&)>;

// The cancellation flag shared between the window thread and the engine:
// any non-zero value asks the running step to stop.
using CancelFlag = std::atomic<std::uint32_t>;

inline bool CancelRequested(const CancelFlag* flag) {
    return flag != nullptr && flag->load(std::memory_order_relaxed) != 0;
}

}  // namespace morvane
