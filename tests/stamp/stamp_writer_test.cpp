// The writer on image files: one write of the whole image, the log line only on
// success, and false without a log line for bad handles and failed writes.
#include "stamp/stamp_writer.h"

#include <gtest/gtest.h>

#include "stamp/glyph_gdi.h"
#include "stamp/stamp_image.h"
#include "support/stamp_samples.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using testing::LogRecorder;
using testing::ReadFileBytes;
using testing::SampleReportStamp;
using testing::TempDir;

TEST(WriteReportStamp, WritesTheImageForEverySectorSize) {
    TempDir dir;
    for (std::uint32_t sector : {0u, 512u, 4096u, 520u}) {
        const std::wstring path = dir.file(L"disk" + std::to_wstring(sector) + L".img");
        // The image lands at offset 0 of a larger file and leaves the rest alone.
        ASSERT_TRUE(testing::CreateImageFile(path, 1 << 20));
        {
            UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(file);
            LARGE_INTEGER away{};
            away.QuadPart = 300000;  // the writer seeks back to 0 itself
            ASSERT_TRUE(::SetFilePointerEx(file.get(), away, nullptr, FILE_BEGIN));
            LogRecorder log;
            ASSERT_TRUE(WriteReportStamp(file.get(), sector, SampleReportStamp(), log.callback()));
            EXPECT_EQ(log.lines, std::vector<std::wstring>{testing::kStampWrittenLine});
        }
        const auto bytes = ReadFileBytes(path);
        ASSERT_EQ(bytes.size(), 1u << 20);
        // The sample's Japanese operator brings the glyph file of the real face.
        const auto expected =
            BuildStampImage(SampleReportStamp(), sector, EmbeddedBootPrograms(), JapaneseGlyphRenderer());
        ASSERT_EQ(testing::Bytes(expected, 82944 + 5 * 32, 11), "GLYPHS  BIN");
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + expected.size()), expected) << sector;
        for (std::size_t i = expected.size(); i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
    }
}

TEST(WriteReportStamp, FailsWithoutLoggingOnBadHandles) {
    TempDir dir;
    const std::wstring path = dir.file(L"readonly.img");
    ASSERT_TRUE(testing::CreateImageFile(path, 4096));
    UniqueFile readOnly(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(readOnly);
    LogRecorder log;
    EXPECT_FALSE(WriteReportStamp(INVALID_HANDLE_VALUE, 512, SampleReportStamp(), log.callback()));
    EXPECT_FALSE(WriteReportStamp(nullptr, 512, SampleReportStamp(), log.callback()));
    EXPECT_FALSE(WriteReportStamp(readOnly.get(), 512, SampleReportStamp(), log.callback()));
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(ReadFileBytes(path), std::vector<std::uint8_t>(4096, 0));
    // An empty callback is simply not called.
    readOnly.reset();
    UniqueFile writable(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(WriteReportStamp(writable.get(), 512, SampleReportStamp(), nullptr));
}

}  // namespace
}  // namespace morvane
