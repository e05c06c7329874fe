// Writes the objects, the cross-reference table and the trailer of a one-page PDF;
// streams are compressed with zlib (linked statically: WinPE has no zlib1.dll).
#include "evidence/pdf_document.h"

#include <zlib.h>

#include <cstdio>
#include <string_view>

#include "common/product.h"

namespace morvane {
namespace {

// Deflates data handed over in pieces, so the filtered image never exists whole.
class Deflater {
public:
    Deflater() { ok_ = deflateInit(&stream_, Z_DEFAULT_COMPRESSION) == Z_OK; }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() { deflateEnd(&stream_); }

    void Add(std::string_view data) { Run(data, Z_NO_FLUSH); }
    // The compressed bytes, or empty after any failure.
    std::string Finish() {
        Run({}, Z_FINISH);
        return ok_ ? std::move(out_) : std::string();
    }

private:
    void Run(std::string_view data, int flush) {
        if (!ok_) return;
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream_.avail_in = static_cast<uInt>(data.size());
        int status = Z_OK;
        do {
            unsigned char chunk[65536];
            stream_.next_out = chunk;
            stream_.avail_out = sizeof chunk;
            status = deflate(&stream_, flush);
            if (status == Z_STREAM_ERROR) {
                ok_ = false;
                return;
            }
            out_.append(reinterpret_cast<const char*>(chunk), sizeof chunk - stream_.avail_out);
        } while (stream_.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    }

    z_stream stream_{};
    bool ok_ = false;
    std::string out_;
};

// Each row is prefixed with the PNG "Up" filter (type 2): the difference to the row
// above, mostly zeros on a page of flat fills, which deflate packs tightly.
std::string CompressImage(const PageImage& page) {
    const std::size_t stride = static_cast<std::size_t>(page.width) * 3;
    Deflater deflater;
    std::string row(stride + 1, '\0');
    row[0] = 2;
    for (int y = 0; y < page.height; ++y) {
        const std::uint8_t* current = page.rgb.data() + static_cast<std::size_t>(y) * stride;
        const std::uint8_t* above = y > 0 ? current - stride : nullptr;
        for (std::size_t i = 0; i < stride; ++i) {
            row[i + 1] = static_cast<char>(above ? current[i] - above[i] : current[i]);
        }
        deflater.Add(row);
    }
    return deflater.Finish();
}

std::string Compress(std::string_view data) {
    Deflater deflater;
    deflater.Add(data);
    return deflater.Finish();
}

// A text string as UTF-16BE with its byte-order mark, in hexadecimal: any character,
// no escaping rules.
std::string TextString(const std::wstring& text) {
    std::string hex = "<FEFF";
    char digits[8];
    for (const wchar_t c : text) {
        std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(c) & 0xFFFF);
        hex += digits;
    }
    return hex + ">";
}

// The plain file name for older readers: printable ASCII, with PDF's string escapes.
std::string AsciiFileName(const std::wstring& name) {
    std::string text = "(";
    for (const wchar_t c : name) {
        const char a = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '_';
        if (a == '(' || a == ')' || a == '\\') text += '\\';
        text += a;
    }
    return text + ")";
}

class PdfWriter {
public:
    PdfWriter() { out_ = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"; }
    void Object(std::string_view body) {
        Begin();
        out_ += body;
        out_ += "\nendobj\n";
    }
    void Stream(const std::string& dictionary, const std::string& data) {
        Begin();
        out_ += "<< " + dictionary + " /Length " + std::to_string(data.size()) + " >>\nstream\n";
        out_ += data;
        out_ += "\nendstream\nendobj\n";
    }
    std::string Finish(int root, int info) {
        const std::size_t xref = out_.size();
        const std::size_t count = offsets_.size() + 1;
        out_ += "xref\n0 " + std::to_string(count) + "\n0000000000 65535 f \n";
        char entry[24];
        for (const std::size_t offset : offsets_) {
            std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
            out_ += entry;
        }
        out_ += "trailer\n<< /Size " + std::to_string(count) + " /Root " + std::to_string(root) + " 0 R /Info " +
                std::to_string(info) + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        return std::move(out_);
    }

private:
    void Begin() {
        offsets_.push_back(out_.size());
        out_ += std::to_string(offsets_.size()) + " 0 obj\n";
    }
    std::string out_;
    std::vector<std::size_t> offsets_;
};

}  // namespace

std::string BuildImagePdf(const PageImage& page, const std::wstring& title, const PdfAttachment& attachment) {
    if (page.width <= 0 || page.height <= 0 ||
        page.rgb.size() != static_cast<std::size_t>(page.width) * static_cast<std::size_t>(page.height) * 3) {
        return {};
    }
    const std::string image = CompressImage(page);
    const std::string file = Compress(attachment.bytes);
    if (image.empty() || file.empty()) return {};
    const std::string width = std::to_string(page.width);
    const std::string content = "q\n595.276 0 0 841.89 0 0 cm\n/Im0 Do\nQ";

    // Objects in order: 1 catalog, 2 page tree, 3 page, 4 image, 5 content, 6 attached
    // file, 7 its Filespec dictionary, 8 document information.
    PdfWriter pdf;
    pdf.Object("<< /Type /Catalog /Pages 2 0 R /Names << /EmbeddedFiles << /Names [" + TextString(attachment.name) +
               " 7 0 R] >> >> >>");
    pdf.Object("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    pdf.Object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.276 841.89] /Resources << /XObject << /Im0 4 0 R >> "
               ">> /Contents 5 0 R >>");
    pdf.Stream("/Type /XObject /Subtype /Image /Width " + width + " /Height " + std::to_string(page.height) +
                   " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode /DecodeParms << /Predictor 12 "
                   "/Colors 3 /BitsPerComponent 8 /Columns " + width + " >>",
               image);
    pdf.Stream("", content);
    pdf.Stream("/Type /EmbeddedFile /Subtype /application#2Fjson /Filter /FlateDecode /Params << /Size " +
                   std::to_string(attachment.bytes.size()) + " >>",
               file);
    pdf.Object("<< /Type /Filespec /F " + AsciiFileName(attachment.name) + " /UF " + TextString(attachment.name) +
               " /Desc " + TextString(attachment.description) + " /EF << /F 6 0 R >> >>");
    pdf.Object("<< /Title " + TextString(title) + " /Producer " + TextString(ApplicationText()) + " >>");
    return pdf.Finish(1, 8);
}

}  // namespace morvane
