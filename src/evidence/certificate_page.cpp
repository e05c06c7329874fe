// Paints the certificate page top to bottom: header band, badge, the two tables with
// wrapped values, the fingerprint box and the signature lines.
#include "evidence/certificate_page.h"

#include <algorithm>
#include <cwchar>

#include "common/japanese_fonts.h"
#include "common/unique_handle.h"
#include "common/win32.h"
#include "evidence/certificate_rows.h"

namespace morvane {
namespace {

constexpr COLORREF kNavy = RGB(15, 23, 42);
constexpr COLORREF kSky = RGB(14, 165, 233);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kSubtitle = RGB(186, 230, 253);
constexpr COLORREF kCellBorder = RGB(203, 213, 225);
constexpr COLORREF kLabelFill = RGB(248, 250, 252);
constexpr COLORREF kLabelInk = RGB(51, 65, 85);
constexpr COLORREF kHashInk = RGB(56, 189, 248);
constexpr COLORREF kSignLine = RGB(100, 116, 139);
constexpr COLORREF kSignInk = RGB(71, 85, 105);

// Geometry in pixels at 300 dpi.
constexpr int kMargin = 118;                                  // 10 mm
constexpr int kFrame = 6;                                     // the container's outline
constexpr int kInset = 90;                                    // content inside the container
constexpr int kLeft = kMargin + kInset;
constexpr int kRight = kPageWidthPixels - kMargin - kInset;
constexpr int kHeaderBottom = kMargin + 270;
constexpr int kBadgeTop = kHeaderBottom + 12 + 40;
constexpr int kBadgeBottom = kBadgeTop + 100;
constexpr int kLabelWidth = (kRight - kLeft) * 28 / 100;
constexpr int kCellPadX = 22;
constexpr int kCellPadY = 16;
constexpr int kBorder = 3;
constexpr UINT kWrap = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;

COLORREF ColourOf(const wchar_t* hex) {
    const unsigned long value = std::wcstoul(hex + 1, nullptr, 16);
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

struct Fonts {
    UniqueFont title, subtitle, badge, section, label, value, bold, mono, small;
};

class Painter {
public:
    Painter(HDC dc, const Fonts& fonts) : dc_(dc), fonts_(fonts) { ::SetBkMode(dc_, TRANSPARENT); }

    void Fill(int left, int top, int right, int bottom, COLORREF colour) {
        const RECT rect{left, top, right, bottom};
        const UniqueBrush brush(::CreateSolidBrush(colour));
        ::FillRect(dc_, &rect, brush.get());
    }
    // Draws (or with `measure` only measures) wrapped text in a column; returns its height.
    int Text(const std::wstring& text, HFONT font, COLORREF ink, int left, int top, int right, UINT format = kWrap,
             bool measure = false) {
        RECT rect{left, top, right, top};
        ::SelectObject(dc_, font);
        ::SetTextColor(dc_, ink);
        if (text.empty()) return 0;
        ::DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_CALCRECT);
        if (!measure) {
            rect.right = right;
            ::DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &rect, format);
        }
        return rect.bottom - rect.top;
    }
    void SectionTitle(const wchar_t* title) {
        y_ += 36;
        const int height = Text(title, fonts_.section.get(), kNavy, kLeft + 32, y_, kRight, kWrap, true);
        Fill(kLeft, y_, kLeft + 14, y_ + height, kSky);
        Text(title, fonts_.section.get(), kNavy, kLeft + 32, y_, kRight);
        y_ += height + 20;
    }
    void Rows(const std::vector<CertificateRow>& rows) {
        for (const CertificateRow& row : rows) Row(row);
        y_ += kBorder;
    }
    int& y() { return y_; }

private:
    // A bold value keeps its own lines; the plain tail follows below it.
    int Value(const CertificateRow& row, int top, bool measure) {
        const int left = kLeft + kLabelWidth + kCellPadX;
        const int right = kRight - kCellPadX;
        if (!row.bold) return Text(row.value + row.tail, fonts_.value.get(), kNavy, left, top, right, kWrap, measure);
        const int height = Text(row.value, fonts_.bold.get(), kNavy, left, top, right, kWrap, measure);
        const std::wstring tail = row.tail.starts_with(L" ") ? row.tail.substr(1) : row.tail;
        return height + Text(tail, fonts_.value.get(), kNavy, left, top + height, right, kWrap, measure);
    }
    void Row(const CertificateRow& row) {
        const int labelRight = kLeft + kLabelWidth;
        const int textTop = y_ + kBorder + kCellPadY;
        const int labelHeight =
            Text(row.label, fonts_.label.get(), kLabelInk, kLeft + kCellPadX, textTop, labelRight - kCellPadX, kWrap, true);
        const int height = std::max(labelHeight, Value(row, textTop, true)) + 2 * kCellPadY;
        const int bottom = y_ + kBorder + height;
        Fill(kLeft, y_, kRight, bottom + kBorder, kCellBorder);
        Fill(kLeft + kBorder, y_ + kBorder, labelRight, bottom, kLabelFill);
        Fill(labelRight + kBorder, y_ + kBorder, kRight - kBorder, bottom, kWhite);
        Text(row.label, fonts_.label.get(), kLabelInk, kLeft + kCellPadX, textTop, labelRight - kCellPadX);
        Value(row, textTop, false);
        y_ = bottom;
    }

    HDC dc_;
    const Fonts& fonts_;
    int y_ = 0;
};

void PaintPage(Painter& p, const Fonts& fonts, const EraseResult& result, const std::wstring& attachedName) {
    const int frameRight = kPageWidthPixels - kMargin;
    const int frameBottom = kPageHeightPixels - kMargin;
    p.Fill(0, 0, kPageWidthPixels, kPageHeightPixels, kWhite);
    p.Fill(kMargin, kMargin, frameRight, frameBottom, kNavy);
    p.Fill(kMargin + kFrame, kMargin + kFrame, frameRight - kFrame, frameBottom - kFrame, kWhite);

    p.Fill(kMargin, kMargin, frameRight, kHeaderBottom, kNavy);
    p.Fill(kMargin, kHeaderBottom, frameRight, kHeaderBottom + 12, kSky);
    p.Text(kCertificateHeading, fonts.title.get(), kWhite, kLeft, kMargin + 70, kRight);
    p.Text(CertificateSubtitle(), fonts.subtitle.get(), kSubtitle, kLeft, kMargin + 165, kRight);

    const CertificateBadge badge = BadgeFor(result);
    p.Fill(kLeft, kBadgeTop, kRight, kBadgeBottom, ColourOf(badge.colour));
    const int badgeHeight = p.Text(badge.text, fonts.badge.get(), kNavy, kLeft, kBadgeTop, kRight,
                                   DT_CENTER | DT_SINGLELINE | DT_NOPREFIX, true);
    p.Text(badge.text, fonts.badge.get(), kNavy, kLeft, kBadgeTop + (kBadgeBottom - kBadgeTop - badgeHeight) / 2, kRight,
           DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);

    p.y() = kBadgeBottom + 10;
    p.SectionTitle(kReportSectionTitle);
    p.Rows(ReportDetailRows(result));
    p.SectionTitle(kHardwareSectionTitle);
    p.Rows(HardwareRows(result.stamp.hardware));
    p.SectionTitle(kFingerprintSectionTitle);

    const std::wstring hash = L"SHA-256: " + result.sha256Fingerprint;
    const int hashHeight = p.Text(hash, fonts.mono.get(), kHashInk, kLeft + 40, 0, kRight - 40, kWrap, true);
    p.Fill(kLeft, p.y(), kRight, p.y() + hashHeight + 60, kNavy);
    p.Text(hash, fonts.mono.get(), kHashInk, kLeft + 40, p.y() + 30, kRight - 40);
    p.y() += hashHeight + 60 + 70;

    // Where the machine-readable record is: inside this PDF, and signed beside it.
    const std::wstring footer = L"Attached: " + attachedName + L" (JSONレポート添付)";
    p.Text(footer, fonts.small.get(), kSignInk, kLeft, frameBottom - kInset, kRight);

    const int boxWidth = (kRight - kLeft - 2 * 60) / 3;
    for (int i = 0; i < 3; ++i) {
        const int left = kLeft + i * (boxWidth + 60);
        p.Fill(left, p.y(), left + boxWidth, p.y() + kBorder, kSignLine);
        p.Text(kSignatureBoxes[i], fonts.small.get(), kSignInk, left, p.y() + 20, left + boxWidth);
    }
}

}  // namespace

std::optional<PageImage> PaintCertificatePage(const EraseResult& result, const std::wstring& attachedName) {
    const UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    if (!dc) return std::nullopt;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kPageWidthPixels;
    info.bmiHeader.biHeight = -kPageHeightPixels;  // negative: rows top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const UniqueBitmap bitmap(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) return std::nullopt;

    const std::wstring face = PickJapaneseFace();
    const Fonts fonts{MakeJapaneseFont(64, FW_HEAVY, face),   MakeJapaneseFont(36, FW_NORMAL, face),
                      MakeJapaneseFont(46, FW_HEAVY, face),   MakeJapaneseFont(42, FW_BOLD, face),
                      MakeJapaneseFont(36, FW_SEMIBOLD, face), MakeJapaneseFont(36, FW_NORMAL, face),
                      MakeJapaneseFont(36, FW_BOLD, face),    MakeJapaneseFont(38, FW_NORMAL, face, FIXED_PITCH | FF_MODERN),
                      MakeJapaneseFont(30, FW_NORMAL, face)};
    for (const UniqueFont* font : {&fonts.title, &fonts.subtitle, &fonts.badge, &fonts.section, &fonts.label,
                                   &fonts.value, &fonts.bold, &fonts.mono, &fonts.small}) {
        if (!*font) return std::nullopt;
    }
    const HGDIOBJ previousBitmap = ::SelectObject(dc.get(), bitmap.get());
    const HGDIOBJ previousFont = ::GetCurrentObject(dc.get(), OBJ_FONT);
    Painter painter(dc.get(), fonts);
    PaintPage(painter, fonts, result, attachedName);
    ::GdiFlush();
    ::SelectObject(dc.get(), previousFont);
    ::SelectObject(dc.get(), previousBitmap);

    // The DIB holds blue, green, red; rows of 2480 pixels are already 4-byte aligned.
    PageImage page{kPageWidthPixels, kPageHeightPixels, {}};
    const auto* source = static_cast<const std::uint8_t*>(bits);
    page.rgb.resize(static_cast<std::size_t>(kPageWidthPixels) * kPageHeightPixels * 3);
    for (std::size_t i = 0; i < page.rgb.size(); i += 3) {
        page.rgb[i] = source[i + 2];
        page.rgb[i + 1] = source[i + 1];
        page.rgb[i + 2] = source[i];
    }
    return page;
}

}  // namespace morvane
