// Running one SATA or SAS sanitize: read the drive's sanitize state, send the sanitize
// command (it returns once the drive has started: ATA sanitize commands always, SCSI
// SANITIZE with IMMED), then poll SANITIZE STATUS EXT or REQUEST SENSE and hand the
// readings to the DriveSanitizeMonitor until it has a verdict or the time-out passes. And
// the one entry point that runs a plan of any protocol.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/log_callback.h"
#include "firmware/drive_sanitize_monitor.h"
#include "firmware/model.h"
#include "firmware/sanitize_runner.h"
#include "firmware/transport.h"

namespace morvane {

// The time-out of a SATA or SAS sanitize, in seconds: twice the drive's own estimate for
// the method plus five minutes, at least ten minutes and at most two days. Without an
// estimate: two hours for crypto and block erase; for overwrite, twice the time to write
// `capacityBytes` at 50 MB/s plus five minutes, at least two hours (two days when the
// capacity is not known either).
std::uint32_t DriveSanitizeTimeoutSeconds(SanitizeMethod method, const FirmwareCapabilities& caps,
                                          std::uint64_t capacityBytes);

// The request a SATA or SAS plan sends, in Japanese, for the log and the dry run:
// "IOCTL_ATA_PASS_THROUGH: ATA Sanitize (Crypto Scramble) (SANITIZE DEVICE B4h, 機能 0011h),
// 失敗時は Sanitize 成功まで使用不可, 監視タイムアウト 7200 秒".
std::wstring DriveSanitizeRequestText(const SanitizePlan& plan, std::uint32_t timeoutSeconds);

// One reading of the drive's sanitize state through `transport` (SANITIZE STATUS EXT for
// ATA, REQUEST SENSE for SCSI); empty when the drive gave none.
std::optional<DriveSanitizeReading> ReadDriveSanitizeState(DeviceTransport& transport, DriveProtocol protocol);

// Runs a SATA or SAS plan (protocol Ata or Scsi, timeoutSeconds set). `command` carries
// the sanitize command, `status` the readings; they may be the same transport, since
// neither blocks. Never throws; every outcome is in the record.
FirmwareSanitizeRecord RunDriveSanitize(DeviceTransport& command, DeviceTransport& status, const SanitizePlan& plan,
                                        const SanitizeProgress& progress, const LogCallback& log,
                                        const SanitizeRunSettings& settings = {});

// The job's one entry point: RunNvmeSanitize for NVMe plans, RunDriveSanitize otherwise.
FirmwareSanitizeRecord RunFirmwareSanitize(DeviceTransport& command, DeviceTransport& status, const SanitizePlan& plan,
                                           const SanitizeProgress& progress, const LogCallback& log,
                                           const SanitizeRunSettings& settings = {});

}  // namespace morvane
