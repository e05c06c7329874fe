// Wrong-disk protection: the identity of the disk at a device path, checked against
// the record the operator chose right before anything is written. Disk numbers are
// not stable (unplug one stick, plug in another, and it can take the old number),
// so a record from an earlier scan may name a different disk by now.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "disk/disk_info.h"
#include "disk/disk_scan.h"

namespace morvane {

struct DiskIdentity {
    std::wstring model;
    std::wstring serialNumber;
    std::uint64_t sizeBytes = 0;
};

// The identity a record claims.
DiskIdentity IdentityOfRecord(const DiskInfo& disk);

// The identity the scan would record from these query answers. A plain file (an
// image standing in for a disk) answers no storage query: its model and serial take
// the scan's defaults and its size is the file's size (`fileSize`), as there is no
// geometry. Nothing when no size can be had at all.
std::optional<DiskIdentity> IdentityFromFacts(const DiskQueryFacts& facts,
                                              std::optional<std::uint64_t> fileSize);

// True when model, serial number and size all match exactly.
[[nodiscard]] bool SameDiskIdentity(const DiskIdentity& expected, const DiskIdentity& actual);

// Queries the device at `devicePath` the way the scan does (no access rights).
// Nothing when it cannot be opened or gives no size.
using DiskIdentitySource = std::function<std::optional<DiskIdentity>(const std::wstring& devicePath)>;
std::optional<DiskIdentity> QueryDiskIdentity(const std::wstring& devicePath);

// The check itself: false when the device is gone, unqueryable or not the recorded disk.
[[nodiscard]] bool DiskIdentityUnchanged(const DiskInfo& disk, const DiskIdentitySource& source);

inline constexpr const wchar_t* kDiskIdentityChangedMessage =
    L"ディスク構成がディスク一覧の取得後に変化しました。ディスク一覧を再スキャンしてから再度実行してください。";

}  // namespace morvane
