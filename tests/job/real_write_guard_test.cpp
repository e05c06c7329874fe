// Every real write (erase, operator stamp, stamp erase) asks the real-write guard with the
// list's record, the real machine (not the WinPE simulation) and the right unlock; a
// simulation is never refused and never writes. The guard's own rule is tested with the
// disk safety code; here every operation must follow it. Image files stand in for disks.
// Then the report window's actions: the result a stamp stands for, and the stamp actions'
// outcomes with the refusal carried as a value.
#include <gtest/gtest.h>

#include "disk/safety.h"
#include "erase/record_status.h"
#include "erase/standards.h"
#include "job/erase_job.h"
#include "job/report_actions.h"
#include "stamp/operator_stamp.h"
#include "support/engine_disk.h"
#include "support/stamp_samples.h"

namespace morvane {
namespace {

constexpr std::uint64_t kImageBytes = 256 << 10;
constexpr int kBootStick = 5;  // under WinPE: the stick it booted from
enum class Operation { RealErase, OperatorStamp, StampErase, Simulation };

// Runs `operation` on the listed disk; true when it wrote. `refusal` gets the start of the
// one line a refused operation must log.
bool Perform(Operation operation, const DiskInfo& disk, bool listedAsWinPE, bool unlock, const SafetyEnvironment& machine,
             const LogCallback& log, std::wstring& refusal) {
    const SafetyEnvironmentSource environment = [machine] { return machine; };
    if (operation == Operation::OperatorStamp) {
        ReportStamp stamp = testing::SampleReportStamp();
        stamp.diskModel = disk.model;
        stamp.diskSerial = disk.serialNumber;
        stamp.diskCapacity = FormatSize(disk.sizeBytes);
        refusal = L"[SAFETY] 保護ロック中のディスクにはスタンプを";
        return StampDiskByOperator(disk, stamp, log, {}, unlock, environment).ok;
    }
    if (operation == Operation::StampErase) {
        refusal = L"[SAFETY] 保護ロック中のディスクは操作でき";
        return EraseStampArea(disk, log, {}, std::nullopt, environment).ok;  // it follows the list's unlock
    }
    int locks = 0;
    EraseJobEdges edges;
    edges.environment = environment;
    edges.lockVolumes = [&locks](int, const LogCallback&) { return ++locks, LockedVolumes{}; };
    edges.collectHardware = [](const DiskInfo&) { return HardwareProfile{}; };
    const bool simulation = operation == Operation::Simulation;
    EraseJob job;
    job.disk = disk;
    job.standard = ZeroFill;
    job.noStamp = job.certificatesDisabled = 1;
    job.unlockInternal = unlock;
    job.execMode = simulation ? ExecMode::SimulationDryRun : ExecMode::RealHardwareWrite;
    const CancelFlag cancel{simulation};  // a simulation stops at once: that it started shows it was not refused
    const EraseResult r = RunEraseJob(job, listedAsWinPE, &cancel, nullptr, log, edges);
    refusal = L"[CRITICAL SAFETY] 安全保護ロック";
    EXPECT_TRUE(r.verificationResult != L"BLOCKED BY SAFETY GUARD" || locks == 0) << "a refused disk gets no volume lock";
    EXPECT_TRUE(!simulation || r.status == JobStatus::Cancelled);
    return r.status == JobStatus::Completed;
}

TEST(RealWriteGuard, RealMachineListAndUnlockDecideEveryWrite) {
    // One disk and the machine it sits in: index, bus, letters, system disks (and whether they are known).
    const struct { const char* name; int index; std::uint32_t bus; const wchar_t* letters; SystemDisks system; } scenarios[] = {
        {"system disk", 0, BusSata, L"C:", {{0}, true}},
        {"USB disk holding C:", 1, BusUsb, L"C:", {{1}, true}},
        {"internal NVMe", 1, BusNvme, L"D:", {{0}, true}},
        {"USB stick", 4, BusUsb, L"E:", {{0}, true}},
        {"system volume D: spanning disks 0 and 2, disk 2", 2, BusSata, L"D:", {{0, 2}, true}},
        {"internal disk, system extents query failed", 1, BusSata, L"D:", {{0}, false}},
        {"the WinPE boot stick", kBootStick, BusUsb, L"F:", {{0}, true}},
    };
    testing::TempDir dir;
    const std::wstring image = dir.file(L"disk.img");
    int writes = 0, refusals = 0;
    for (const auto& s : scenarios) {
        for (int cell = 0; cell < 32; ++cell) {
            const bool realWinPE = cell & 1, listedAsWinPE = cell & 3, unlock = cell & 4;  // 2: the WinPE simulation switch
            const auto operation = static_cast<Operation>(cell >> 3);
            SCOPED_TRACE(::testing::Message() << s.name << " | real WinPE " << realWinPE << " | listed as WinPE " << listedAsWinPE
                                              << " | unlock " << unlock << " | operation " << (cell >> 3));
            // The image as the disk list shows it: scanned with the effective WinPE flag.
            const std::uint32_t media = s.bus == BusUsb ? MediaRemovable : s.bus == BusNvme ? MediaNvmeSsd : MediaHdd;
            std::vector<DiskInfo> list = {{s.index, image, L"Generic Physical Disk", L"N/A", L"", s.letters, kImageBytes, 512, media, s.bus, 1, L"", {}, {}, true}};
            ClassifyDisks(list, listedAsWinPE, unlock, s.system, listedAsWinPE ? kBootStick : -1);
            const SafetyEnvironment machine{realWinPE, s.system, realWinPE ? kBootStick : -1, {}};
            const bool unlockUsed = operation == Operation::StampErase ? list[0].safety == InternalUnlocked : unlock;
            const bool expectWrite = operation != Operation::Simulation && RealWriteAllowed(list[0], machine, unlockUsed);
            const std::vector<unsigned char> before(kImageBytes, 0xEE);
            ASSERT_TRUE(testing::CreateImageFile(image, kImageBytes) && testing::PokeFile(image, 0, before));
            std::vector<std::wstring> logs;
            std::wstring refusal;
            ASSERT_EQ(Perform(operation, list[0], listedAsWinPE, unlock, machine, testing::LogInto(logs), refusal), expectWrite);
            EXPECT_EQ(testing::ReadFileBytes(image) != before, expectWrite) << "only an allowed real operation writes";
            writes += expectWrite;
            if (!expectWrite && operation != Operation::Simulation) {
                ++refusals;
                EXPECT_TRUE(logs.size() == 1 && logs[0].rfind(refusal, 0) == 0) << testing::Narrow(logs.empty() ? L"" : logs[0]);
            }
        }
    }
    EXPECT_TRUE(writes > 20 && refusals > 20) << "both outcomes occur";
}

TEST(ReportActions, ResultFromStampKeepsStandardAndMode) {
    for (std::uint32_t standard = 0; standard < kStandardCount; ++standard) {
        ReportStamp detected = testing::SampleReportStamp();
        detected.standardName = StandardName(standard);
        const EraseResult r = ResultFromStamp(detected, std::nullopt, L"NEW-ID", L"now");
        EXPECT_EQ(r.job.standard, standard);
        EXPECT_EQ(r.job.execMode, ExecMode::RealHardwareWrite) << "a stamp read from a disk is a real run";
    }
    ReportStamp s;  // a preview: printed as the default standard, not as a real run
    EXPECT_EQ(ResultFromStamp(s, std::nullopt, L"NEW-ID", L"now").job.execMode, ExecMode::SimulationDryRun);
    s.failed = false;
    s.standardName = L"Homemade 9-pass";
    s.stampStatus = L"x";
    EraseResult r = ResultFromStamp(s, std::nullopt, L"NEW-ID", L"2031-01-02 03:04:05");
    EXPECT_EQ(StandardName(r.job.standard) + L" " + r.certificateId + L" " + r.startTime,
              L"Unknown Standard NEW-ID 2031-01-02 03:04:05");
    EXPECT_EQ(r.verificationResult, L"UNKNOWN (not recorded on the stamp)") << "a missing verdict is not invented";
    s.stampStatus = L"Simulation / Dry-Run Report Stamp";
    EXPECT_EQ(ResultFromStamp(s, std::nullopt, L"", L"").job.execMode, ExecMode::SimulationDryRun);
    DiskInfo disk;
    disk.sizeBytes = 4096;
    const EraseResult withDisk = ResultFromStamp(testing::SampleReportStamp(), disk, L"unused", L"unused");
    EXPECT_EQ(withDisk.certificateId, testing::SampleReportStamp().certificateId);
    EXPECT_EQ(withDisk.job.disk.sizeBytes, 4096u);
    EXPECT_EQ(withDisk.stamp.hardware.model, L"Contoso Book 14") << "the reports print the stamp's hardware";
    const EraseResult noDisk = ResultFromStamp(testing::SampleReportStamp(), std::nullopt, L"", L"");
    EXPECT_EQ(noDisk.job.disk.model + L"|" + noDisk.job.disk.serialNumber, L"WDC WD10EZEX-08WN4A0|WD-WCC6Y0000001");
}

// An operator's stamp without an ID gets one, the time and its verdict before the
// write, and keeps them when the guarded open refuses; the refusal says why.
TEST(ReportActions, EngraveRefusedByTheGuardKeepsTheMintedRecordAndTheReason) {
    testing::TempDir dir;
    DiskInfo disk;
    disk.index = -1, disk.devicePath = dir.file(L"disk.img"), disk.sizeBytes = 1 << 20;
    disk.model = L"Generic Physical Disk", disk.serialNumber = L"N/A", disk.busKind = BusUsb, disk.safety = Erasable;
    ASSERT_TRUE(testing::CreateImageFile(disk.devicePath, disk.sizeBytes));
    ReportStamp stamp = testing::SampleReportStamp();
    stamp.certificateId.clear();
    stamp.diskModel = disk.model, stamp.diskSerial = disk.serialNumber, stamp.diskCapacity = FormatSize(disk.sizeBytes);
    DiskWriteSeams seams;
    seams.environment = [] { return SafetyEnvironment{false, {{}, true}, -1, {}}; };
    seams.identity = [](const std::wstring&) { return std::nullopt; };  // the disk is gone from its path
    const StampAction done = EngraveStamp(disk, stamp, std::nullopt, seams);
    EXPECT_FALSE(done.ok);
    EXPECT_EQ(done.refusal, kDiskIdentityChangedMessage);
    EXPECT_EQ(done.stamp.certificateId.rfind(L"ZOLT-", 0), 0u);
    EXPECT_EQ(done.stamp.verificationResult, kVerdictStampedByOperator);
    EXPECT_EQ(testing::ReadFileBytes(disk.devicePath), std::vector<unsigned char>(disk.sizeBytes, 0)) << "nothing written";
}

}  // namespace
}  // namespace morvane
