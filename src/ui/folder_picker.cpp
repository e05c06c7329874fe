// The folder picker window: drive list, path edit, folder browser and the OK check,
// run modal with the dialog keyboard (Tab, Enter for OK, Escape for Cancel).
#include "ui/folder_picker.h"

#include "common/japanese_fonts.h"
#include "ui/folder_picker_model.h"
#include "ui/modal.h"

namespace morvane {
namespace {

constexpr int kWidth = 695;
constexpr int kHeight = 345;

FolderPickerState* StateOf(HWND window) {
    return reinterpret_cast<FolderPickerState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

HWND Control(HWND parent, const wchar_t* kind, const wchar_t* text, DWORD style, DWORD exStyle, int x, int y,
             int w, int h, int id) {
    return ::CreateWindowExW(exStyle, kind, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
}

void CreateControls(HWND window, FolderPickerState& state) {
    state.font = MakeJapaneseFont(15, FW_NORMAL, PickJapaneseFace());
    Control(window, L"STATIC",
            L"1. 接続されているドライブから選択 (ISO/CD/DVD起動時はUSBメモリ等の書き込み可能ドライブを選択してください):", 0,
            0, 16, 14, 650, 20, -1);
    state.driveList = Control(window, L"LISTBOX", L"", WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                              WS_EX_CLIENTEDGE, 16, 38, 650, 145, kPickerDriveList);
    Control(window, L"STATIC", L"2. 保存先フォルダパス (存在しないフォルダ名を入力した場合は自動作成されます):", 0, 0, 16,
            192, 650, 20, -1);
    state.pathEdit = Control(window, L"EDIT", state.path.c_str(), ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 16,
                             216, 485, 26, kPickerPathEdit);
    // Typing stops where the certificate file names would no longer fit; longer text
    // set from outside (the initial path, the browser) is refused by OK instead.
    ::SendMessageW(state.pathEdit, EM_SETLIMITTEXT, kMaxOutputFolderLength, 0);
    Control(window, L"BUTTON", L"フォルダツリー参照...", WS_TABSTOP, 0, 510, 215, 156, 28, kPickerBrowse);
    Control(window, L"BUTTON", L"この保存先に決定 (OK)", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 350, 260, 180, 34, IDOK);
    Control(window, L"BUTTON", L"キャンセル", WS_TABSTOP, 0, 540, 260, 126, 34, IDCANCEL);

    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(state.font.get()), FALSE);
    }
    for (const DriveEntry& entry : MakeDriveEntries(state.drives, state.targetDisk)) {
        ::SendMessageW(state.driveList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.text.c_str()));
        state.suggestions.push_back(entry.suggestion);
    }
}

std::wstring EditText(HWND edit) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Accept(HWND window, FolderPickerState& state) {
    const FolderVerdict verdict =
        CheckChosenFolder(EditText(state.pathEdit), state.drives, state.services->IsWinPE(),
                          [&state](const std::wstring& folder) { return state.services->TestFolderWritable(folder); },
                          state.targetDisk);
    if (!verdict.accepted) {
        state.services->ShowMessage(window, verdict.text, verdict.title, verdict.style);
        return;
    }
    state.path = verdict.path;
    state.accepted = true;
    ::DestroyWindow(window);
}

void OnCommand(HWND window, FolderPickerState& state, int id, int code) {
    switch (id) {
        case kPickerDriveList:
            if (code == LBN_SELCHANGE || code == LBN_DBLCLK) {
                const LRESULT index = ::SendMessageW(state.driveList, LB_GETCURSEL, 0, 0);
                if (index >= 0 && static_cast<std::size_t>(index) < state.suggestions.size()) {
                    ::SetWindowTextW(state.pathEdit, state.suggestions[static_cast<std::size_t>(index)].c_str());
                }
            }
            break;
        case kPickerBrowse: {
            const std::wstring folder = state.services->BrowseForFolder(window, kBrowseTitle);
            if (!folder.empty()) ::SetWindowTextW(state.pathEdit, folder.c_str());
            break;
        }
        case IDOK:
            Accept(window, state);
            break;
        case IDCANCEL:
            ::DestroyWindow(window);
            break;
        default:
            break;
    }
}

LRESULT CALLBACK PickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    FolderPickerState* state = StateOf(window);
    if (state == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            CreateControls(window, *state);
            return 0;
        case WM_COMMAND:
            OnCommand(window, *state, LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_DESTROY:
            // The controls are gone by now; the font they used can go too.
            state->font.reset();
            return 0;
        case WM_NCDESTROY:
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            break;
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

HWND CreateFolderPickerWindow(HWND owner, FolderPickerState& state, UiServices& services) {
    LoadJapaneseFonts();
    state.services = &services;
    state.drives = services.ListDrives();
    RegisterPopupClass(kFolderPickerClass, PickerProc, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
    return CreateModalPopup(owner, kFolderPickerClass, kFolderPickerTitle, kWidth, kHeight, &state);
}

void RunFolderPickerLoop(HWND owner, HWND picker) {
    RunModalLoop(owner, picker, [picker](MSG& msg) { return ::IsDialogMessageW(picker, &msg) != FALSE; });
}

std::wstring PickOutputFolder(HWND owner, const std::wstring& initialPath, int targetDisk, UiServices& services) {
    FolderPickerState state;
    state.path = initialPath;
    state.targetDisk = targetDisk;
    const HWND picker = CreateFolderPickerWindow(owner, state, services);
    if (picker == nullptr) return {};
    RunFolderPickerLoop(owner, picker);
    return state.accepted ? state.path : std::wstring();
}

}  // namespace morvane
