// Draws the report (header, badge, report details and hardware profile) into any
// device context, so the window paints it and tests render it into a bitmap.
#pragma once

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
inline constexpr COLORREF kReportPanel = RGB(255, 255, 255);
inline constexpr COLORREF kReportOutline = RGB(203, 213, 225);

// Paints the whole `client` area of `dc` with fonts of `face`.
void PaintReport(HDC dc, SIZE client, const ReportView& view, const std::wstring& face);

}  // namespace morvane
