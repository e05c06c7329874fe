// The report window: the on-screen report with the hardware profile, full screen,
// save to another drive, the stamp switch, open the certificate and copy as text.
#pragma once

#include "ui/services.h"

namespace morvane {

// The six buttons' control identifiers, left to right.
enum ReportButton : int {
    kReportFullScreen = 101,
    kReportSaveElsewhere = 102,
    kReportStampSwitch = 103,
    kReportOpenCertificate = 104,
    kReportCopy = 105,
    kReportClose = 106,
};

// Creates and shows the window over `owner` without making it modal; the window owns
// its state (a copy of `request`, with a hardware profile collected through
// `services` when the stamp carries none) and frees it when destroyed.
HWND CreateReportWindow(HWND owner, const ReportRequest& request, UiServices& services);
// Runs `report` modal to `owner` until it is destroyed. While the report is full
// screen, Escape reaches the report window whichever control has the focus.
void RunReportWindowLoop(HWND owner, HWND report);

// Modal to `owner`: disables it, runs its own loop until closed, re-enables it.
void ShowReportWindow(HWND owner, const ReportRequest& request, UiServices& services);

}  // namespace morvane
