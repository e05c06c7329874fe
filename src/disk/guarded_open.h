// The one way to open a physical disk for writing. Every writer (the erase job, the
// operator's stamp and the stamp erase) passes the same three gates in order: the
// safety decision (the record's status and the disk classified again against the
// real machine), the wrong-disk check, then the open itself. A refusal comes back
// with its text, and its log line has already been written.
#pragma once

#include <functional>
#include <string>

#include "common/log_callback.h"
#include "common/unique_handle.h"
#include "disk/disk_identity.h"
#include "disk/disk_info.h"
#include "disk/write_safety.h"

namespace morvane {

// Who is about to write: the refusal texts differ per writer.
enum class DiskWriter {
    EraseJob,
    OperatorStamp,
    StampErase,
};

enum class WriteRefusal {
    None,
    Protected,        // the record or the real machine's classification forbids a real write
    IdentityChanged,  // the device at the path is not the recorded disk (or is gone)
    OpenFailed,       // the device would not open for writing
};

// The gates' reach into the machine; empty members mean the real operations.
struct DiskWriteSeams {
    // Answers what disk is at a device path now.
    DiskIdentitySource identity;
    // Opens a device path for reading and writing (shared, unbuffered, write-through).
    std::function<UniqueFile(const std::wstring& devicePath)> open;
    // Answers the running machine's safety facts (real WinPE, system disks, volumes).
    SafetyEnvironmentSource environment;
};

struct GuardedDisk {
    UniqueFile handle;
    WriteRefusal refusal = WriteRefusal::None;
    std::wstring message;  // the refusal's text; empty when the disk is open
    explicit operator bool() const noexcept { return handle.valid(); }
};

// The first two gates without opening anything: the safety decision against the real
// machine (seams.environment), then the identity of the device at the path
// (seams.identity). The window asks this before a real erase; the guarded open asks
// the same before it opens.
[[nodiscard]] WriteJudgement JudgeDiskForWrite(const DiskInfo& disk, bool unlockInternal,
                                               const DiskWriteSeams& seams = {});

inline constexpr const wchar_t* kEraseBlockedMessage =
    L"安全保護ロックされているディスクのため、実機消去をブロックしました。";
inline constexpr const wchar_t* kEraseOpenFailedMessage =
    L"物理ディスクを書き込みモードで開けませんでした。管理者権限またはディスク使用状況を確認してください。";

// Opens `disk` for writing after its safety and identity passed. `unlockInternal` is
// the operator's unlock of internal secondary disks as given, never taken from the
// record. `beforeOpen` runs between the checks and the open (the erase job locks the
// disk's volumes there, so nothing is locked for a refused disk).
[[nodiscard]] GuardedDisk OpenDiskForWrite(const DiskInfo& disk, DiskWriter writer, bool unlockInternal,
                                           const LogCallback& log,
                                           const DiskWriteSeams& seams = {},
                                           const std::function<void()>& beforeOpen = {});

}  // namespace morvane
