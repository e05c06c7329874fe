// The safety decision for one real write, made from the running machine's own facts
// at the moment of writing. The disk list cannot be trusted for this alone: it may
// have been classified under the user interface's WinPE simulation, or before the
// disks and volumes changed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "disk/disk_info.h"
#include "disk/disk_scan.h"

namespace morvane {

// What the running machine reports about itself.
struct SafetyEnvironment {
    bool winPE = false;                  // the real detection, never the simulation switch
    SystemDisks systemDisks;             // disks under the system and Windows volumes
    int bootMediumDisk = -1;             // under WinPE: the disk holding sources\boot.wim
    std::vector<VolumeExtents> volumes;  // every mounted volume and the disks it spans
};
using SafetyEnvironmentSource = std::function<SafetyEnvironment()>;

// Reads the facts above from Windows (volumes opened with no access rights).
SafetyEnvironment QuerySafetyEnvironment();

enum class WriteTargetKind {
    PhysicalDrive,  // "\\.\PhysicalDriveN"
    PlainFile,      // an image file standing in for a disk
    OtherDevice,    // any other device-namespace path: never judged writable
};

struct WriteTarget {
    WriteTargetKind kind = WriteTargetKind::OtherDevice;
    int diskNumber = -1;  // N of a physical drive
};

// "\\.\PhysicalDriveN", also in its "\\?\" and "\??\" forms, with either slash and in
// any case, is disk N. Every other path in a device namespace is OtherDevice, since
// it could name a disk or a volume by another route; everything else is a plain file.
WriteTarget ParseWriteTarget(const std::wstring& path);

enum class WriteVerdict {
    Allowed,
    SystemDrive,   // outside WinPE the disk holds C:, the running Windows
    Protected,     // the record or the real classification forbids a real write
    Unidentified,  // the path names no disk this decision can judge, or not the recorded one
    DiskChanged,   // the device at the path is no longer the recorded disk, or is gone
};

struct WriteJudgement {
    WriteVerdict verdict = WriteVerdict::Protected;
    std::wstring description;  // Protected: the safety description that applies
    [[nodiscard]] bool allowed() const { return verdict == WriteVerdict::Allowed; }
};

// Whether a real write to `disk` is allowed both by its record's safety and by the
// same disk classified against `environment` with the operator's unlock choice, and
// why not. A physical drive is judged by the number in its path (which must be the
// record's) and the drive letters the machine reports for it; a plain file by its
// record's number, bus, media and letters, so a record numbered like a system disk
// is refused. Never answers DiskChanged: identity is a separate check.
[[nodiscard]] WriteJudgement JudgeRealWrite(const DiskInfo& disk, const SafetyEnvironment& environment,
                                            bool unlockInternal);
[[nodiscard]] inline bool RealWriteAllowed(const DiskInfo& disk, const SafetyEnvironment& environment,
                                           bool unlockInternal) {
    return JudgeRealWrite(disk, environment, unlockInternal).allowed();
}

}  // namespace morvane
