// Fills the report record carried by the bootable stamp from an erase result.
#pragma once

#include <string>

#include "erase/record_status.h"
#include "erase/records.h"

namespace morvane {

// The stamp state text chosen from the result: a simulation says so first, then the
// stamp choice of a real run.
std::wstring StampStatusText(const EraseResult& result);

// Pure: texts are copied in full; `hardware` is the profile the job collected.
ReportStamp ComposeReportStamp(const EraseResult& result, const HardwareProfile& hardware);

}  // namespace morvane
