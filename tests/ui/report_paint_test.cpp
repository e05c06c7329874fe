// The report page rendered into a bitmap in memory: the colours at fixed points of
// the layout, with the badge amber for a preview and green for a verified report.
#include "ui/report_paint.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "common/unique_handle.h"
#include "support/stamp_samples.h"

namespace morvane {
namespace {

constexpr int kW = 1039;
constexpr int kH = 656;

// The page as 32-bit pixels, top row first.
std::vector<std::uint32_t> Render(const ReportView& view) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kW;
    info.bmiHeader.biHeight = -kH;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    UniqueBitmap bitmap(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc || !bitmap) return {};
    const HGDIOBJ previous = ::SelectObject(dc.get(), bitmap.get());
    PaintReport(dc.get(), SIZE{kW, kH}, view, L"MS UI Gothic");
    ::GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    std::vector<std::uint32_t> copy(pixels, pixels + kW * kH);
    ::SelectObject(dc.get(), previous);
    return copy;
}

constexpr std::uint32_t Rgb(int r, int g, int b) { return static_cast<std::uint32_t>(r << 16 | g << 8 | b); }

TEST(ReportPaint, FixedPointsHaveTheirColours) {
    const std::uint32_t page = Rgb(241, 245, 249), navy = Rgb(15, 23, 42), sky = Rgb(14, 165, 233),
                        green = Rgb(16, 185, 129), amber = Rgb(245, 158, 11), white = Rgb(255, 255, 255),
                        outline = Rgb(203, 213, 225);
    for (const bool failed : {true, false}) {
        ReportStamp stamp = testing::SampleReportStamp();
        stamp.failed = failed;
        const auto pixels = Render(BuildReportView(stamp, L""));
        ASSERT_EQ(pixels.size(), std::size_t{kW * kH});
        const std::uint32_t badge = failed ? amber : green;
        const struct {
            int x, y;
            std::uint32_t colour;
        } points[] = {
            {5, 5, navy},          {5, 66, navy},         {5, 69, sky},          {kW - 5, 71, sky},
            {23, 15, sky},         {27, 19, navy},        {35, 27, sky},         {49, 27, green},
            {35, 41, green},       {49, 41, white},       {kW - 248, 18, badge}, {kW - 24, 50, badge},
            {5, 90, page},         {5, 400, page},        {kW - 10, 260, page},  {22, 150, outline},
            {kW - 23, 150, outline}, {300, 102, outline}, {kW - 30, 250, white}, {kW - 30, 612, white},
            {300, 617, outline},   {300, 640, page},
        };
        for (const auto& p : points) {
            EXPECT_EQ(pixels[p.y * kW + p.x] & 0xFFFFFF, p.colour)
                << (failed ? "preview" : "verified") << " at " << p.x << "," << p.y;
        }
    }
}

// Text is drawn: the title over the navy band, a value in the first row's value column
// (counted as pixels that differ from the ground they are drawn on).
TEST(ReportPaint, TitleAndValuesAreDrawn) {
    const auto pixels = Render(BuildReportView(testing::SampleReportStamp(), L""));
    ASSERT_FALSE(pixels.empty());
    const auto inked = [&](int left, int top, int right, int bottom, std::uint32_t ground) {
        int n = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) n += (pixels[y * kW + x] & 0xFFFFFF) != ground;
        }
        return n;
    };
    EXPECT_GT(inked(74, 11, 400, 35, Rgb(15, 23, 42)), 100);
    EXPECT_GT(inked(207, 108, 500, 124, Rgb(255, 255, 255)), 50);
    EXPECT_EQ(inked(207, 244, 500, 253, Rgb(255, 255, 255)), 0) << "nothing below the seventh row";
}

}  // namespace
}  // namespace morvane
