// Volume selection for the lock step, the TRIM request bytes and the partition-table
// wipe on image files (a sparse 4 TB one included).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "erase/housekeeping.h"
#include "support/engine_disk.h"

namespace morvane {
namespace {

using testing::ExpectUnbufferedTransfers;
using testing::ImageDisk;
using testing::IoOp;
using testing::ReadFileBytes;
using testing::RecordingDiskIo;
using testing::TempDir;

constexpr std::uint64_t MiB = 1024 * 1024;

// Volumes stand in as temp files; their disk numbers come from a table.
class FakeVolumes final : public VolumeControl {
public:
    explicit FakeVolumes(const TempDir& dir) : dir_(dir) {}
    std::vector<std::wstring> roots;
    std::map<wchar_t, std::vector<std::uint32_t>> extents;  // missing: query fails
    std::vector<wchar_t> unopenable;
    std::vector<HANDLE> lockedHandles;

    std::vector<std::wstring> DriveRoots() override { return roots; }
    UniqueFile OpenVolume(wchar_t letter) override {
        if (std::find(unopenable.begin(), unopenable.end(), letter) != unopenable.end()) return {};
        const std::wstring path = dir_.file(std::wstring(L"vol_") + letter);
        UniqueFile f(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        handles_[f.get()] = letter;
        return f;
    }
    bool DiskNumbers(HANDLE volume, std::vector<std::uint32_t>& numbers) override {
        auto it = extents.find(handles_[volume]);
        if (it == extents.end()) return false;
        numbers = it->second;
        return true;
    }
    void LockAndDismount(HANDLE volume) override { lockedHandles.push_back(volume); }

private:
    const TempDir& dir_;
    std::map<HANDLE, wchar_t> handles_;
};

TEST(VolumeLock, LocksEveryVolumeWithAnExtentOnTheDiskInDriveOrder) {
    TempDir dir;
    FakeVolumes volumes(dir);
    volumes.roots = {L"C:\\", L"D:\\", L"E:\\", L"X", L"F:\\", L"G:\\", L"H:\\"};
    volumes.extents = {{L'C', {0}}, {L'E', {2}}, {L'F', {2}}, {L'G', {3, 2}}, {L'H', {2}}};
    volumes.unopenable = {L'H'};  // D: has no extents answer, H: cannot be opened
    std::vector<std::wstring> log;
    LockedVolumes locked = LockAndDismountVolumes(
        volumes, 2, [&](const std::wstring& line) { log.push_back(line); });
    EXPECT_EQ(log, (std::vector<std::wstring>{L"[SAFETY] ボリューム E: を排他ロック＆アンマウントしました。",
                                             L"[SAFETY] ボリューム F: を排他ロック＆アンマウントしました。",
                                             L"[SAFETY] ボリューム G: を排他ロック＆アンマウントしました。"}));
    ASSERT_EQ(locked.size(), 3u);
    EXPECT_EQ(volumes.lockedHandles.size(), 3u);
    for (std::size_t i = 0; i < locked.size(); ++i) {
        EXPECT_TRUE(locked[i]);
        EXPECT_EQ(locked[i].get(), volumes.lockedHandles[i]);
    }
    // The spanning volume G: is locked for disk 3 as well; nothing for a negative index.
    EXPECT_EQ(LockAndDismountVolumes(volumes, 3, {}).size(), 1u);
    EXPECT_TRUE(LockAndDismountVolumes(volumes, -1, {}).empty());

    UnlockAndCloseVolumes(locked);
    EXPECT_TRUE(locked.empty());
    LockedVolumes withEmpty;
    withEmpty.emplace_back();  // an empty owner is skipped
    UnlockAndCloseVolumes(withEmpty);
    EXPECT_TRUE(withEmpty.empty());
}

TEST(VolumeLock, ParsesDiskExtentsWithinTheBuffer) {
    alignas(8) unsigned char buffer[512] = {};
    auto* extents = reinterpret_cast<VOLUME_DISK_EXTENTS*>(buffer);
    extents->NumberOfDiskExtents = 2;
    extents->Extents[0].DiskNumber = 4;
    (&extents->Extents[0])[1].DiskNumber = 7;
    EXPECT_EQ(ParseVolumeDiskExtents(buffer, sizeof buffer), (std::vector<std::uint32_t>{4, 7}));
    extents->NumberOfDiskExtents = 1000;  // more than fit: only whole extents in the buffer
    EXPECT_EQ(ParseVolumeDiskExtents(buffer, sizeof buffer).size(),
              (sizeof buffer - offsetof(VOLUME_DISK_EXTENTS, Extents)) / sizeof(DISK_EXTENT));
    EXPECT_TRUE(ParseVolumeDiskExtents(buffer, 4).empty());
}

TEST(Trim, RequestIsTheFortyEightByteHeaderAndRange) {
    const std::uint64_t size = 0x0000'03A3'8B2E'5000ull;
    const std::array<unsigned char, 48> expected = {
        28, 0, 0, 0,  1, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,  32, 0, 0, 0,
        16, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,
        0x00, 0x50, 0x2E, 0x8B, 0xA3, 0x03, 0x00, 0x00};
    EXPECT_EQ(BuildTrimRequest(size), expected);

    for (bool accepted : {true, false}) {
        RecordingDiskIo io;
        io.controlResult = accepted;
        std::vector<std::wstring> log;
        EXPECT_EQ(IssueTrim(io, size, [&](const std::wstring& l) { log.push_back(l); }), accepted);
        ASSERT_EQ(io.ops.size(), 1u);
        EXPECT_EQ(io.ops[0].code, static_cast<std::uint32_t>(IOCTL_STORAGE_MANAGE_DATA_SET_ATTRIBUTES));
        EXPECT_EQ(io.ops[0].input, std::vector<unsigned char>(expected.begin(), expected.end()));
        EXPECT_EQ(log, std::vector<std::wstring>{
                           accepted ? L"[NIST 800-88 / SSD] ストレージコントローラへ全LBA領域 TRIM / "
                                      L"Deallocate 通知を発行しました。"
                                    : L"[INFO] ハードウェアTRIM通知はスキップされました。"
                                      L"物理セクタの完全上書きパージを実行します。"});
    }
}

TEST(Trim, PlainImageFileRefusesAndTheSkipLineIsLogged) {
    ImageDisk image(MiB);
    ASSERT_TRUE(image.handle);
    std::vector<std::wstring> log;
    EXPECT_FALSE(IssueTrim(image.handle.get(), MiB, [&](const std::wstring& l) { log.push_back(l); }));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind(L"[INFO] ハードウェアTRIM通知はスキップされました。", 0), 0u);
}

TEST(PartitionWipe, ZeroesTheFirstAndLastMebibyte) {
    struct Case {
        std::uint64_t size;
        std::uint32_t sector;
        std::vector<std::pair<std::uint64_t, std::uint32_t>> writes;  // offset, length
    };
    const Case cases[] = {
        {4'000'787'030'016ull, 4096, {{0, MiB}, {4'000'785'981'440ull, MiB}}},
        {MiB, 512, {{0, MiB}}},
        {2 * MiB, 512, {{0, MiB}}},
        {2 * MiB + 512, 512, {{0, MiB}, {MiB + 512, MiB}}},
        {3 * MiB + 1000, 512, {{0, MiB}, {2 * MiB + 512, MiB}}},  // end rounded down to a sector
        {3 * MiB + 1000, 0, {{0, MiB}, {2 * MiB + 512, MiB}}},
        {64 * 1024 + 100, 4096, {{0, 64 * 1024}}},  // smaller than the wipe: whole sectors only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        ImageDisk image(c.size);
        ASSERT_TRUE(image.handle);
        const std::wstring& path = image.path;
        // Old partition data just inside and just outside both wiped areas.
        const std::vector<unsigned char> junk(16, 0xAB);
        std::vector<std::uint64_t> inside, outside;
        for (const auto& [offset, length] : c.writes) {
            inside.push_back(offset);
            inside.push_back(offset + length - 16);
            if (offset >= 16) outside.push_back(offset - 16);
            if (offset + length + 16 <= c.size && c.writes.size() > 1 && offset == 0) {
                outside.push_back(offset + length);
            }
        }
        for (std::uint64_t at : inside) ASSERT_TRUE(testing::PokeFile(path, at, junk));
        for (std::uint64_t at : outside) ASSERT_TRUE(testing::PokeFile(path, at, junk));

        std::vector<std::wstring> log;
        HandleDiskIo file(image.handle.get());
        RecordingDiskIo io(&file);
        const auto zeroed = WipePartitionTables(io, c.size, c.sector, [&](const std::wstring& l) { log.push_back(l); });
        image.handle.reset();
        ExpectUnbufferedTransfers(io, c.sector == 0 ? 512 : c.sector);
        std::vector<std::pair<std::uint64_t, std::uint32_t>> writes;
        for (const IoOp& w : io.Of(IoOp::Write)) writes.emplace_back(w.offset, w.size);
        EXPECT_EQ(writes, c.writes);
        std::vector<std::pair<std::uint64_t, std::uint32_t>> reported;
        for (const ByteRange& r : zeroed) reported.emplace_back(r.begin, static_cast<std::uint32_t>(r.end - r.begin));
        EXPECT_EQ(reported, c.writes) << "the zeroed ranges the verifier will expect";
        ASSERT_GE(io.ops.size(), 3u);
        EXPECT_EQ(io.ops.front().code, static_cast<std::uint32_t>(IOCTL_DISK_DELETE_DRIVE_LAYOUT));
        EXPECT_EQ(io.ops[io.ops.size() - 2].kind, IoOp::Flush);
        EXPECT_EQ(io.ops.back().code, static_cast<std::uint32_t>(IOCTL_DISK_UPDATE_PROPERTIES));
        EXPECT_EQ(log, std::vector<std::wstring>{L"[PARTITION] MBRおよびGPT(Primary/Backup)"
                                                 L"パーティションテーブルを完全に破棄・ゼロクリアしました。"});
        EXPECT_EQ(testing::FileSize(path), c.size) << "the image must not grow";
        for (std::uint64_t at : inside) {
            EXPECT_EQ(ReadFileBytes(path, at, 16), std::vector<unsigned char>(16, 0)) << at;
        }
        for (std::uint64_t at : outside) EXPECT_EQ(ReadFileBytes(path, at, 16), junk) << at;
        if (c.size == 4'000'787'030'016ull) {
            EXPECT_EQ(ReadFileBytes(path, c.size - 1, 1), std::vector<unsigned char>{0});
        }
    }
    // A zero write the device refuses is not reported as zeroed.
    RecordingDiskIo failing;
    failing.failWriteAt = 1;
    EXPECT_EQ(WipePartitionTables(failing, 8 * MiB, 512, {}), (std::vector<ByteRange>{{0, MiB}}));
}

}  // namespace
}  // namespace morvane
