// The report window: the on-screen report with the hardware profile, full screen,
// save to another drive, the stamp switch, open the certificate and copy as text.
#pragma once

#include "ui/services.h"

namespace morvane {

// Modal to `owner`: disables it, runs its own loop until closed, re-enables it.
void ShowReportWindow(HWND owner, const ReportRequest& request, UiServices& services);

}  // namespace morvane
