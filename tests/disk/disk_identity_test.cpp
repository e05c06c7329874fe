// Wrong-disk protection: identity from the scan's answers, the comparison, and the
// real query of an image file under Wine.
#include <gtest/gtest.h>

#include "disk/disk_identity.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

DiskQueryFacts DeviceFacts() {
    DiskQueryFacts f;
    f.descriptorOk = true;
    f.storageBusType = 7;
    f.vendor = "SanDisk ";
    f.product = "Ultra";
    f.serial = " 4C53000 ";
    f.geometryOk = true;
    f.diskSize = 15931539456ULL;
    f.bytesPerSector = 512;
    return f;
}

TEST(DiskIdentity, FromFactsMatchesWhatTheScanRecords) {
    const DiskQueryFacts facts = DeviceFacts();
    const DiskInfo scanned = BuildDiskRecord(3, facts);
    const auto identity = IdentityFromFacts(facts, std::nullopt);
    ASSERT_TRUE(identity.has_value());
    EXPECT_TRUE(SameDiskIdentity(IdentityOfRecord(scanned), *identity));
    EXPECT_EQ(identity->model, L"SanDisk Ultra");
    EXPECT_EQ(identity->serialNumber, L"4C53000");

    // A device's geometry wins over any file size; without geometry a file size stands in.
    EXPECT_EQ(IdentityFromFacts(facts, 42)->sizeBytes, 15931539456ULL);
    DiskQueryFacts plainFile;
    EXPECT_FALSE(IdentityFromFacts(plainFile, std::nullopt).has_value()) << "no size at all: unqueryable";
    const auto file = IdentityFromFacts(plainFile, 4096);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->model, L"Generic Physical Disk");
    EXPECT_EQ(file->serialNumber, L"N/A");
    EXPECT_EQ(file->sizeBytes, 4096u);
}

TEST(DiskIdentity, EveryFieldMustMatch) {
    const DiskIdentity chosen{L"SanDisk Ultra", L"4C53000", 1000};
    EXPECT_TRUE(SameDiskIdentity(chosen, chosen));
    EXPECT_FALSE(SameDiskIdentity(chosen, {L"SanDisk Ultra Fit", L"4C53000", 1000}));
    EXPECT_FALSE(SameDiskIdentity(chosen, {L"SanDisk Ultra", L"4C53001", 1000}));
    EXPECT_FALSE(SameDiskIdentity(chosen, {L"SanDisk Ultra", L"4C53000", 1001}));
    EXPECT_FALSE(SameDiskIdentity(chosen, {L"sandisk ultra", L"4C53000", 1000})) << "exact comparison";
}

TEST(DiskIdentity, RealQueryOfAnImageFile) {
    testing::TempDir dir;
    const std::wstring path = dir.file(L"disk.img");
    ASSERT_TRUE(testing::CreateImageFile(path, 3 * 1048576));
    const auto identity = QueryDiskIdentity(path);
    ASSERT_TRUE(identity.has_value());
    EXPECT_EQ(identity->model, L"Generic Physical Disk");
    EXPECT_EQ(identity->serialNumber, L"N/A");
    EXPECT_EQ(identity->sizeBytes, 3u * 1048576);

    DiskInfo record;
    record.devicePath = path;
    record.model = L"Generic Physical Disk";
    record.serialNumber = L"N/A";
    record.sizeBytes = 3 * 1048576;
    EXPECT_TRUE(DiskIdentityUnchanged(record, nullptr));
    ASSERT_TRUE(testing::CreateImageFile(path, 4 * 1048576));
    EXPECT_FALSE(DiskIdentityUnchanged(record, nullptr)) << "the file grew since the record was made";
    EXPECT_FALSE(QueryDiskIdentity(dir.file(L"missing.img")).has_value());
    EXPECT_FALSE(QueryDiskIdentity(dir.path().wstring()).has_value()) << "a folder is no disk";
}

}  // namespace
}  // namespace morvane
