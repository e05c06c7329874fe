// Disk identity: taken from the scan's own queries and compared field by field.
#include "disk/disk_identity.h"

#include "common/win32.h"

namespace morvane {

DiskIdentity IdentityOfRecord(const DiskInfo& disk) {
    return {disk.model, disk.serialNumber, disk.sizeBytes};
}

std::optional<DiskIdentity> IdentityFromFacts(const DiskQueryFacts& facts,
                                              std::optional<std::uint64_t> fileSize) {
    const DiskInfo record = BuildDiskRecord(0, facts);
    DiskIdentity identity{record.model, record.serialNumber, record.sizeBytes};
    if (!facts.geometryOk) {
        if (!fileSize) return std::nullopt;
        identity.sizeBytes = *fileSize;
    }
    return identity;
}

bool SameDiskIdentity(const DiskIdentity& expected, const DiskIdentity& actual) {
    return expected.model == actual.model && expected.serialNumber == actual.serialNumber &&
           expected.sizeBytes == actual.sizeBytes;
}

std::optional<DiskIdentity> QueryDiskIdentity(const std::wstring& devicePath) {
    const std::optional<DiskQueryFacts> facts = QueryDiskFactsAtPath(devicePath);
    if (!facts) return std::nullopt;
    std::optional<std::uint64_t> fileSize;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    // Only a regular file has a meaningful size here; device paths do not answer.
    if (!facts->geometryOk &&
        ::GetFileAttributesExW(devicePath.c_str(), GetFileExInfoStandard, &data) &&
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        fileSize = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return IdentityFromFacts(*facts, fileSize);
}

bool DiskIdentityUnchanged(const DiskInfo& disk, const DiskIdentitySource& source) {
    const std::optional<DiskIdentity> actual = source ? source(disk.devicePath) : QueryDiskIdentity(disk.devicePath);
    return actual.has_value() && SameDiskIdentity(IdentityOfRecord(disk), *actual);
}

}  // namespace morvane
