// Font files through AddFontResourceExW and the face choice through the GDI font
// enumeration of the screen's device context.
#include "common/japanese_fonts.h"

#include "common/files.h"
#include "common/win32.h"

namespace morvane {
namespace {

int CALLBACK CountFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one is enough
}

}  // namespace

std::vector<std::wstring> JapaneseFontCandidates(const std::wstring& executablePath) {
    const std::wstring folder = FolderOfPath(executablePath);
    return {
        folder + L"\\Fonts\\msgothic.ttc",  folder + L"\\Fonts\\YuGothM.ttc",
        folder + L"\\Fonts\\YuGothB.ttc",   folder + L"\\Fonts\\meiryo.ttc",
        folder + L"\\msgothic.ttc",         folder + L"\\YuGothM.ttc",
        L"X:\\Windows\\Fonts\\msgothic.ttc", L"X:\\Windows\\Fonts\\YuGothM.ttc",
        L"X:\\Windows\\Fonts\\meiryo.ttc",  L"C:\\Windows\\Fonts\\msgothic.ttc",
        L"C:\\Windows\\Fonts\\YuGothM.ttc",
    };
}

void LoadJapaneseFonts() {
    for (const std::wstring& file : JapaneseFontCandidates(OwnExecutablePath())) {
        if (::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        (void)::AddFontResourceExW(file.c_str(), 0, nullptr);
    }
}

UniqueFont MakeJapaneseFont(int height, int weight, const std::wstring& face, DWORD pitchAndFamily) {
    return UniqueFont(::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, pitchAndFamily,
                                    face.c_str()));
}

bool HasShiftJisFont(const std::wstring& face) {
    LOGFONTW query{};
    query.lfCharSet = SHIFTJIS_CHARSET;
    face.copy(query.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    const HDC screen = ::GetDC(nullptr);
    if (screen == nullptr) return false;
    ::EnumFontFamiliesExW(screen, &query, CountFont, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
}

std::wstring PickJapaneseFace() {
    LoadJapaneseFonts();
    for (const wchar_t* face : {L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic", L"MS Gothic"}) {
        if (HasShiftJisFont(face)) return face;
    }
    return L"MS UI Gothic";
}

}  // namespace morvane
