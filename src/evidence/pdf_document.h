// A small PDF 1.4 writer of the program's own: one A4 page that shows one
// Flate-compressed RGB image, with one file attached to the document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

struct PageImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows top to bottom, three bytes per pixel
};

struct PdfAttachment {
    std::wstring name;         // file name shown by readers
    std::wstring description;
    std::string bytes;
};

// The page is A4 (595.276 x 841.89 points), the image stretched over all of it. The
// result is empty when the image is malformed or compression fails.
std::string BuildImagePdf(const PageImage& page, const std::wstring& title, const PdfAttachment& attachment);

}  // namespace morvane
