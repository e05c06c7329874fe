// The report page in GDI: solid fills, outlined panels and single-line text, all
// with a transparent background, in the fixed layout of the report window.
#include "ui/report_paint.h"

#include <algorithm>

#include "common/japanese_fonts.h"
#include "common/unique_handle.h"
#include "ui/layout.h"

namespace morvane {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kSubtitle = RGB(186, 230, 253);
constexpr COLORREF kLabel = RGB(51, 65, 85);

COLORREF BadgeColour(BadgeTone tone) {
    switch (tone) {
        case BadgeTone::Green: return kReportGreen;
        case BadgeTone::Grey: return kReportGrey;
        case BadgeTone::Red: return kReportRed;
        case BadgeTone::Amber: break;
    }
    return kReportAmber;
}

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    const RECT rect{left, top, right, bottom};
    UniqueBrush brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &rect, brush.get());
}

// A white panel with a one-pixel outline.
void Panel(HDC dc, int left, int top, int right, int bottom) {
    Fill(dc, left, top, right, bottom, kReportOutline);
    Fill(dc, left + 1, top + 1, right - 1, bottom - 1, kReportPanel);
}

void Text(HDC dc, int x, int y, const std::wstring& text, HFONT font, COLORREF colour) {
    const HGDIOBJ previous = ::SelectObject(dc, font);
    ::SetTextColor(dc, colour);
    ::TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
    ::SelectObject(dc, previous);
}

struct Fonts {
    UniqueFont title, subtitle, heading, label, value;
};

void Rows(HDC dc, int top, const std::vector<ReportRow>& rows, const Fonts& fonts) {
    int y = top;
    for (const ReportRow& row : rows) {
        Text(dc, 36, y, row.label, fonts.label.get(), kLabel);
        Text(dc, 207, y, row.value, fonts.value.get(), kReportNavy);
        y += 20;
    }
}

}  // namespace

void PaintReportScaled(HDC dc, SIZE client, double factor, const ReportView& view, const std::wstring& face) {
    // Logical units of the 96-DPI page map onto device pixels at the factor.
    constexpr int kUnits = 1000;
    const int previousMode = ::SetMapMode(dc, MM_ANISOTROPIC);
    ::SetWindowExtEx(dc, kUnits, kUnits, nullptr);
    ::SetViewportExtEx(dc, Scaled(kUnits, factor), Scaled(kUnits, factor), nullptr);
    const SIZE page{static_cast<LONG>(client.cx / factor + 0.5), static_cast<LONG>(client.cy / factor + 0.5)};
    PaintReport(dc, page, view, face);
    ::SetMapMode(dc, previousMode);
}

std::array<RECT, 6> ReportButtonRects(SIZE client, double factor) {
    struct Column {
        int x, width;
    };
    constexpr std::array<Column, 6> kColumns = {{{22, 175}, {203, 215}, {424, 225}, {655, 130}, {791, 125}, {922, 100}}};
    const int top = std::max(static_cast<int>(client.cy) - Scaled(44, factor), Scaled(605, factor));
    std::array<RECT, 6> rects{};
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        rects[i] = ScaledRect(kColumns[i].x, 0, kColumns[i].width, 34, factor);
        rects[i].bottom += top;
        rects[i].top = top;
    }
    // The close button keeps its distance from the right edge, whatever the width.
    rects[5].left = client.cx - Scaled(122, factor);
    rects[5].right = rects[5].left + Scaled(100, factor);
    return rects;
}

void PaintReport(HDC dc, SIZE client, const ReportView& view, const std::wstring& face) {
    const int width = client.cx;
    const Fonts fonts{MakeJapaneseFont(24, FW_HEAVY, face), MakeJapaneseFont(13, FW_NORMAL, face), MakeJapaneseFont(17, FW_BOLD, face),
                      MakeJapaneseFont(14, FW_BOLD, face), MakeJapaneseFont(14, FW_NORMAL, face)};
    const int previousMode = ::SetBkMode(dc, TRANSPARENT);

    Fill(dc, 0, 0, width, client.cy, kReportPage);
    Fill(dc, 0, 0, width, 68, kReportNavy);
    Fill(dc, 0, 68, width, 72, kReportSky);

    // The emblem: a sky-blue frame around four tiles.
    Fill(dc, 22, 14, 62, 54, kReportSky);
    Fill(dc, 26, 18, 58, 50, kReportNavy);
    Fill(dc, 30, 22, 40, 32, kReportSky);
    Fill(dc, 44, 22, 54, 32, kReportGreen);
    Fill(dc, 30, 36, 40, 46, kReportGreen);
    Fill(dc, 44, 36, 54, 46, kWhite);

    Text(dc, 74, 11, L"MORVANE DISK ERASER  -  実機消去証明＆ハードウェアレポート", fonts.title.get(), kWhite);
    Text(dc, 76, 40, L"Machine Sanitization & Hardware Verification Report (BIOS/CSM & UEFI Bootable Stamp Suite)",
         fonts.subtitle.get(), kSubtitle);

    RECT badge{width - 250, 16, width - 22, 52};
    Fill(dc, badge.left, badge.top, badge.right, badge.bottom, BadgeColour(view.badge.tone));
    const HGDIOBJ previousFont = ::SelectObject(dc, fonts.label.get());
    ::SetTextColor(dc, kReportNavy);
    ::DrawTextW(dc, view.badge.text.c_str(), static_cast<int>(view.badge.text.size()), &badge,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, previousFont);

    Text(dc, 22, 80, L"Report details (消去証明・レポート詳細)", fonts.heading.get(), kReportNavy);
    Panel(dc, 22, 102, width - 22, 254);
    Rows(dc, 108, view.details, fonts);

    Text(dc, 22, 264, L"Hardware details (対象実機ハードウェアプロファイル)", fonts.heading.get(), kReportNavy);
    Panel(dc, 22, 286, width - 22, 618);
    Rows(dc, 292, view.hardware, fonts);

    ::SetBkMode(dc, previousMode);
}

}  // namespace morvane
