// The PDF certificate's page: what the HTML certificate shows (badge, the same rows,
// fingerprint and signature lines) drawn with GDI into an A4 bitmap at 300 dpi.
#pragma once

#include <optional>
#include <string>

#include "erase/records.h"
#include "evidence/pdf_document.h"

namespace morvane {

inline constexpr int kPageWidthPixels = 2480;   // 210 mm at 300 dpi
inline constexpr int kPageHeightPixels = 3508;  // 297 mm at 300 dpi

// The page for the result, with a footer naming the file attached to the PDF. Nothing
// when GDI cannot provide the bitmap or the fonts.
std::optional<PageImage> PaintCertificatePage(const EraseResult& result, const std::wstring& attachedName);

}  // namespace morvane
