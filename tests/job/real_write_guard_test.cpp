// Every real write (erase, operator stamp, stamp erase) against the machine it runs
// on. The disk list may come from the WinPE simulation; only the real environment,
// the list's own status and the operator's unlock decide. Image files stand in for
// the disks; the machine's facts are injected.
#include <gtest/gtest.h>

#include <algorithm>

#include "disk/safety.h"
#include "erase/standards.h"
#include "job/erase_job.h"
#include "stamp/stamp_ops.h"
#include "support/stamp_samples.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

constexpr std::uint64_t kImageBytes = 256 << 10;
constexpr int kBootStick = 5;  // under WinPE: the stick it booted from

// One disk and the facts of the machine it sits in.
struct Scenario {
    const char* name;
    int index;
    std::uint32_t bus;
    const wchar_t* letters;
    SystemDisks systemDisks;
};

const Scenario kScenarios[] = {
    {"system disk", 0, BusSata, L"C:", {{0}, true}},
    {"USB disk holding C:", 1, BusUsb, L"C:", {{1}, true}},
    {"internal NVMe", 1, BusNvme, L"D:", {{0}, true}},
    {"USB stick", 4, BusUsb, L"E:", {{0}, true}},
    {"system volume D: spanning disks 0 and 2, disk 2", 2, BusSata, L"D:", {{0, 2}, true}},
    {"internal disk, system extents query failed", 1, BusSata, L"D:", {{0}, false}},
    {"the WinPE boot stick", kBootStick, BusUsb, L"F:", {{0}, true}},
};

enum class Operation { RealErase, OperatorStamp, StampErase, Simulation };

// The plain rule: under WinPE every disk but its boot stick; under Windows never a
// disk of the system or one holding C:, always an external one, and an internal one
// only when the system disks are known and the operator unlocked internal disks.
bool MachineAllows(const Scenario& s, bool winPE, bool unlock) {
    if (winPE) return s.index != kBootStick;
    const auto& system = s.systemDisks.numbers;
    if (std::wstring(s.letters) == L"C:" ||
        std::find(system.begin(), system.end(), static_cast<std::uint32_t>(s.index)) != system.end()) {
        return false;
    }
    if (s.bus == BusUsb) return true;
    return s.systemDisks.resolved && unlock;
}

// The image as the disk list shows it: scanned with the effective WinPE flag.
DiskInfo ListedImage(const Scenario& s, const std::wstring& path, bool listedAsWinPE, bool unlock) {
    std::vector<DiskInfo> list(1);
    DiskInfo& disk = list[0];
    disk.index = s.index;
    disk.devicePath = path;
    disk.model = L"Generic Physical Disk";
    disk.serialNumber = L"N/A";
    disk.sizeBytes = kImageBytes;
    disk.busKind = s.bus;
    disk.mediaKind = s.bus == BusUsb ? MediaRemovable : s.bus == BusNvme ? MediaNvmeSsd : MediaHdd;
    disk.driveLetters = s.letters;
    ClassifyDisks(list, listedAsWinPE, unlock, s.systemDisks, listedAsWinPE ? kBootStick : -1);
    return disk;
}

void FillImage(const std::wstring& path) {
    UniqueFile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const std::vector<std::uint8_t> fill(kImageBytes, 0xEE);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(f.get(), fill.data(), static_cast<DWORD>(fill.size()), &written, nullptr));
}

TEST(RealWriteGuard, RealMachineListAndUnlockDecideEveryWrite) {
    testing::TempDir dir;
    const std::wstring image = dir.file(L"disk.img");
    const std::wstring guardText = L"安全保護ロックされているディスクのため、実機消去をブロックしました。";
    int writes = 0, refusals = 0;
    for (const Scenario& s : kScenarios) {
        for (int cell = 0; cell < 32; ++cell) {
            const bool realWinPE = cell & 1, simulateWinPE = cell & 2, unlock = cell & 4;
            const auto operation = static_cast<Operation>(cell >> 3);
            SCOPED_TRACE(::testing::Message() << s.name << " | real WinPE " << realWinPE << " | simulation "
                                              << simulateWinPE << " | unlock " << unlock << " | operation "
                                              << (cell >> 3));
            const bool listedAsWinPE = realWinPE || simulateWinPE;
            const DiskInfo disk = ListedImage(s, image, listedAsWinPE, unlock);
            // The stamp erase is given no unlock: it follows the list's InternalUnlocked.
            const bool unlockUsed = operation == Operation::StampErase ? disk.safety == InternalUnlocked : unlock;
            const bool expectWrite = operation != Operation::Simulation &&
                                     MachineAllows(s, listedAsWinPE, unlock) && MachineAllows(s, realWinPE, unlockUsed);

            SafetyEnvironment machine;
            machine.winPE = realWinPE;
            machine.systemDisks = s.systemDisks;
            machine.bootMediumDisk = realWinPE ? kBootStick : -1;
            const SafetyEnvironmentSource environment = [machine] { return machine; };
            FillImage(image);
            const auto before = testing::ReadFileBytes(image);
            std::vector<std::wstring> logs;
            const LogCallback log = [&logs](const std::wstring& line) { logs.push_back(line); };

            bool written = false;
            std::wstring refusal;
            if (operation == Operation::RealErase || operation == Operation::Simulation) {
                int locks = 0;
                EraseJobEdges edges;
                edges.environment = environment;
                edges.lockVolumes = [&locks](int, const LogCallback&) {
                    ++locks;
                    return LockedVolumes{};
                };
                edges.collectHardware = [](const DiskInfo&) { return HardwareProfile{}; };
                EraseJob job;
                job.disk = disk;
                job.standard = ZeroFill;
                job.noStamp = 1;
                job.certificatesDisabled = 1;
                job.unlockInternal = unlock ? 1 : 0;
                job.execMode = operation == Operation::Simulation ? ExecMode::SimulationDryRun
                                                                  : ExecMode::RealHardwareWrite;
                // A simulation stops at once: that it started at all shows it was not refused.
                const CancelFlag cancel{operation == Operation::Simulation ? 1u : 0u};
                const EraseResult r = RunEraseJob(job, listedAsWinPE, &cancel, nullptr, log, edges);
                written = r.status == JobStatus::Completed;
                if (r.verificationResult == L"BLOCKED BY SAFETY GUARD") {
                    EXPECT_EQ(r.message, guardText);
                    EXPECT_EQ(locks, 0) << "a refused disk gets no volume lock";
                    refusal = L"[CRITICAL SAFETY] " + guardText;
                }
                if (operation == Operation::Simulation) {
                    EXPECT_EQ(r.status, JobStatus::Cancelled);
                }
            } else if (operation == Operation::OperatorStamp) {
                ReportStamp stamp = testing::SampleReportStamp();
                stamp.diskModel = disk.model;
                stamp.diskSerial = disk.serialNumber;
                stamp.diskCapacity = FormatSize(disk.sizeBytes);
                written = StampDiskByOperator(disk, stamp, log, {}, unlock, environment);
                refusal = L"[SAFETY] 保護ロック中のディスクにはスタンプを書き込めません。";
            } else {
                written = EraseStampArea(disk, log, {}, std::nullopt, environment);
                refusal = L"[SAFETY] 保護ロック中のディスクは操作できません。";
            }

            const auto after = testing::ReadFileBytes(image);
            ASSERT_EQ(written, expectWrite);
            if (expectWrite) {
                ++writes;
                EXPECT_NE(after, before);
            } else {
                EXPECT_EQ(after, before) << "a refused or simulated operation must not write";
            }
            if (!expectWrite && operation != Operation::Simulation) {
                ++refusals;
                EXPECT_EQ(logs, std::vector<std::wstring>{refusal});
            }
        }
    }
    // Both outcomes occur for every operation that writes.
    EXPECT_GT(writes, 0);
    EXPECT_GT(refusals, 0);
}

}  // namespace
}  // namespace morvane
