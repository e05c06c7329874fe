// The erase job's test bench: an image file standing for internal disk 31, the job's edges
// answered in-process (volumes, the machine with Windows on disk 0, a numbered hardware
// collection), and the log and evidence files read back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "disk/safety.h"
#include "job/erase_job.h"
#include "support/engine_disk.h"

namespace morvane::testing {

constexpr std::uint64_t kMiB = 1048576;

class EraseJobTest : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring image = dir.file(L"disk.img"), certs = dir.file(L"certs");
    int lockCalls = 0, collections = 0;
    std::vector<std::wstring> logs;
    EraseJobEdges edges;

    void SetUp() override {
        edges.lockVolumes = [this](int, const LogCallback&) { return ++lockCalls, LockedVolumes{}; };
        edges.environment = [] { return SafetyEnvironment{false, {{0}, true}, -1, {}}; };  // Windows on disk 0
        edges.collectHardware = [this](const DiskInfo&) {
            HardwareProfile h;
            h.manufacturer = L"Collection " + std::to_wstring(++collections);
            return h;
        };
    }
    // A fresh zeroed image as a scan records a plain file, standing for internal disk 31, unlocked.
    EraseJob ImageJob(std::uint32_t standard, std::uint64_t size = 4 * kMiB) {
        EXPECT_TRUE(CreateImageFile(image, size));
        EraseJob job;
        job.disk = {31, image, L"Generic Physical Disk", L"N/A", L"", L"", size, 512, MediaHdd, BusSata, Erasable, L"", {}, {}, true};
        job.unlockInternal = 1;
        job.standard = standard;
        job.execMode = ExecMode::RealHardwareWrite;
        job.operatorName = L"山田 太郎";
        job.outputFolder = certs;
        return job;
    }
    EraseResult Run(const EraseJob& job, const CancelFlag* cancel = nullptr, ProgressCallback progress = nullptr,
                    bool winPE = false) {
        logs.clear();
        lockCalls = collections = 0;
        return RunEraseJob(job, winPE, cancel, std::move(progress), LogInto(logs), edges);
    }
    std::size_t CertificateFileCount() const {
        std::error_code ec;
        return std::filesystem::is_directory(certs, ec) ? std::distance(std::filesystem::directory_iterator(certs), {}) : 0;
    }
    bool Logged(const std::wstring& fragment) const { return testing::Logged(logs, fragment); }
};

}  // namespace morvane::testing
