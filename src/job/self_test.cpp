// The headless self-test. It never changes disk contents: the job runs in
// simulation mode and the stamp goes into a temporary image file.
#include "job/self_test.h"

#include <cwchar>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "disk/disk_scan.h"
#include "disk/safety.h"
#include "erase/standards.h"
#include "job/erase_job.h"
#include "settings/output_folder.h"
#include "stamp/stamp_writer.h"

namespace morvane {

DiskInfo SelfTestVirtualDisk() {
    DiskInfo disk;
    disk.index = 99;
    disk.devicePath = L"\\\\.\\PhysicalDrive99";
    disk.model = L"Morvane Virtual Test NVMe SSD";
    disk.serialNumber = L"MV-NVME-0001";
    disk.sizeBytes = 549755813888ULL;  // 512 GiB
    disk.bytesPerSector = 512;
    disk.mediaKind = MediaNvmeSsd;
    disk.busKind = BusNvme;
    disk.safety = SystemDisk;
    return disk;
}

bool WantsSelfTest(const wchar_t* commandLine) {
    return commandLine != nullptr && std::wcsstr(commandLine, L"--self-test") != nullptr;
}

int RunSelfTest() {
    const bool winPE = IsWinPE();
    const std::vector<DiskInfo> disks = EnumeratePhysicalDisks(winPE, false);

    EraseJob job;
    job.disk = disks.empty() ? SelfTestVirtualDisk() : disks.front();
    job.standard = NistPurge;
    job.verifyLevel = VerifyLevel::QuickSample;
    job.execMode = ExecMode::SimulationDryRun;  // the self-test never writes to a disk
    job.noStamp = 0;
    job.certificatesDisabled = 0;
    job.operatorName = L"Morvane Automated Test";
    job.organizationName = L"Morvane QA Suite";
    job.notes = L"NIST SP 800-88 Rev.1 Purge & Stamp Verification Run";
    job.outputFolder = DefaultOutputFolder();

    const CancelFlag neverCancel{0};
    const EraseResult result = RunEraseJob(job, winPE, &neverCancel, nullptr, nullptr);

    if (result.status != JobStatus::Completed) return 1;
    if (result.stamp.failed) return 2;
    if (::GetFileAttributesW(result.htmlPath.c_str()) == INVALID_FILE_ATTRIBUTES) return 3;
    if (result.stamp.hardware.manufacturer.empty() || result.stamp.hardware.processor.empty()) return 4;

    wchar_t tempDir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, tempDir);
    const std::wstring imagePath = std::wstring(tempDir) + L"zolt_stamp_selftest.bin";
    UniqueFile image(::CreateFileW(imagePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    // Without the image the stamp writer went untested: that is no pass.
    if (!image) return 6;
    const bool written = WriteReportStamp(image.get(), 512, result.stamp, nullptr);
    image.reset();
    ::DeleteFileW(imagePath.c_str());
    return written ? 0 : 5;
}

}  // namespace morvane
