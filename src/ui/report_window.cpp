// Placeholder until the report window exists: returns at once.
#include "ui/report_window.h"

namespace morvane {

void ShowReportWindow(HWND, const ReportRequest&, UiServices&) {}

}  // namespace morvane
