// Defaults of the erase records: a fresh job, result and stamp must be safe.
#include <gtest/gtest.h>

#include "erase/records.h"

namespace morvane {
namespace {

TEST(Records, DefaultsAreSafeAndCancelFlagReads) {
    const EraseJob job;
    EXPECT_EQ(job.disk.index, -1);
    EXPECT_EQ(job.disk.bytesPerSector, 512u);
    EXPECT_EQ(job.disk.safety, 1u);
    EXPECT_EQ(job.standard, 0u);
    EXPECT_EQ(job.verifyLevel, VerifyLevel::QuickSample);
    EXPECT_EQ(job.execMode, ExecMode::SimulationDryRun) << "a default job never writes";
    EXPECT_EQ(job.noStamp, 0u);
    EXPECT_EQ(job.certificatesDisabled, 0u);

    const EraseResult result;
    EXPECT_EQ(result.status, JobStatus::NotRun);
    EXPECT_EQ(result.elapsedSeconds, 0.0);
    EXPECT_TRUE(result.stamp.failed) << "a stamp record is failed until composed from a completed run";
    EXPECT_EQ(result.stamp.passesCompleted, 0);
    EXPECT_TRUE(result.stamp.hardware.manufacturer.empty());

    EXPECT_EQ(ExecModeName(ExecMode::SimulationDryRun), L"安全シミュレーション(DryRun)");
    EXPECT_EQ(ExecModeName(ExecMode::RealHardwareWrite), L"実機物理セクタ完全消去");

    CancelFlag flag{0};
    EXPECT_FALSE(CancelRequested(&flag));
    EXPECT_FALSE(CancelRequested(nullptr));
    flag = 7;
    EXPECT_TRUE(CancelRequested(&flag));
}

}  // namespace
}  // namespace morvane
