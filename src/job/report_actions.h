// What the report window does to evidence and disks, done in the job layer and
// answered as values: the certificate set re-issued into another folder, and the two
// final disk states the operator can switch between (the report stamp engraved, or
// the stamp area zeroed). The window only decides which boxes to show.
#pragma once

#include <optional>
#include <string>

#include "common/log_callback.h"
#include "disk/disk_info.h"
#include "disk/guarded_open.h"
#include "erase/records.h"
#include "evidence/certificate_set.h"

namespace morvane {

// The result a report without one stands for (a stamp read back from a disk, or a
// preview): the stamp's ID (or `newId`), date (or `now`), passes, verdict (never one
// the stamp does not carry), people and disk; the standard found by its name and, for a stamp read from a disk, a real run.
// Not sealed.
EraseResult ResultFromStamp(const ReportStamp& stamp, const std::optional<DiskInfo>& disk,
                            const std::wstring& newId, const std::wstring& now);

struct ReissuedEvidence {
    EraseResult result;      // the record the files carry
    CertificatePaths paths;  // all empty when the set could not be written
};

// Writes the certificate set of what the report shows into `folder`, whatever the
// run's own certificate setting was. A given result is written as recorded; without
// one, a result is made from the stamp (a new ID only when the stamp has none) and
// sealed once with the stamp's own recorded hardware.
ReissuedEvidence ReissueEvidence(const ReportStamp& stamp, const std::optional<EraseResult>& result,
                                 const std::optional<DiskInfo>& disk, const std::wstring& folder,
                                 const LogCallback& log = {});

// A stamp action's outcome, and the record as it stands afterwards.
struct StampAction {
    bool ok = false;
    std::wstring refusal;  // why a check refused before writing; empty otherwise
    ReportStamp stamp;
};

// Engraves `stamp` on `disk`. A record without an ID is an operator's stamp: it gets a
// new ID, the current time and "STAMPED BY OPERATOR" first, and keeps them even when
// the write fails. On success the record is active. `unlockInternal` as for the
// guarded open (without one the record's own unlock counts).
StampAction EngraveStamp(const DiskInfo& disk, ReportStamp stamp, std::optional<bool> unlockInternal,
                         const DiskWriteSeams& seams = {});

// Zeroes the stamp area of `disk` (and deletes its partition layout); on success the
// record says the stamp was erased.
StampAction EraseStamp(const DiskInfo& disk, ReportStamp stamp, std::optional<bool> unlockInternal,
                       const DiskWriteSeams& seams = {});

}  // namespace morvane
