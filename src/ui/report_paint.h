// Draws the report (header, badge, report details and hardware profile) into any
// device context, so the window paints it and tests render it into a bitmap, and
// places the window's buttons. Coordinates are those of a 96-DPI screen; the window
// multiplies them by the program's layout factor.
#pragma once

#include <array>
#include <string>

#include "common/win32.h"
#include "ui/report_text.h"

namespace morvane {

// Colours of the report page.
inline constexpr COLORREF kReportPage = RGB(241, 245, 249);
inline constexpr COLORREF kReportNavy = RGB(15, 23, 42);
inline constexpr COLORREF kReportSky = RGB(14, 165, 233);
inline constexpr COLORREF kReportGreen = RGB(16, 185, 129);
inline constexpr COLORREF kReportAmber = RGB(245, 158, 11);
inline constexpr COLORREF kReportGrey = RGB(148, 163, 184);
inline constexpr COLORREF kReportRed = RGB(239, 68, 68);
inline constexpr COLORREF kReportPanel = RGB(255, 255, 255);
inline constexpr COLORREF kReportOutline = RGB(203, 213, 225);

// The report window's outer size at 96 DPI.
inline constexpr int kReportWindowWidth = 1055;
inline constexpr int kReportWindowHeight = 695;

// Paints the whole `client` area of `dc` with fonts of `face`.
void PaintReport(HDC dc, SIZE client, const ReportView& view, const std::wstring& face);

// Paints the report into a client area of `client` device pixels at layout `factor`:
// the page is drawn at 96-DPI coordinates and GDI scales it, fonts included.
void PaintReportScaled(HDC dc, SIZE client, double factor, const ReportView& view, const std::wstring& face);

// The six buttons' places, left to right, in a client area of `client` pixels at
// layout `factor`: 44 pixels above the bottom (never above y 605), the close button
// 122 pixels from the right edge, every distance multiplied by the factor.
std::array<RECT, 6> ReportButtonRects(SIZE client, double factor);

}  // namespace morvane
