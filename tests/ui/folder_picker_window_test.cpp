// The real folder picker under Wine through the recording services: the drive list
// fills the path, OK refuses with a box and stays open, accepts a good folder, and
// the owner is left as it was found.
#include "ui/folder_picker.h"

#include <gtest/gtest.h>

#include "support/fake_ui_services.h"

namespace morvane {
namespace {

class FolderPickerWindowTest : public ::testing::Test {
protected:
    testing::FakeUiServices services;
    FolderPickerState state;
    HWND picker = nullptr;

    FolderPickerWindowTest() {
        services.drives = {{L"C:\\", DRIVE_FIXED, L"Windows", L"NTFS", 0}, {L"D:\\", DRIVE_CDROM, L"", L"", 0}};
    }
    ~FolderPickerWindowTest() override {
        if (::IsWindow(picker)) ::DestroyWindow(picker);
    }
    void Open(const std::wstring& initial) {
        state.path = initial;
        picker = CreateFolderPickerWindow(nullptr, state, services);
        ASSERT_NE(picker, nullptr);
    }
    std::wstring PathText() {
        wchar_t text[300] = {};
        ::GetDlgItemTextW(picker, kPickerPathEdit, text, 300);
        return text;
    }
    void Select(int index) {
        ::SendDlgItemMessageW(picker, kPickerDriveList, LB_SETCURSEL, index, 0);
        ::SendMessageW(picker, WM_COMMAND, MAKEWPARAM(kPickerDriveList, LBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(::GetDlgItem(picker, kPickerDriveList)));
    }
    void Click(int id) { ::SendMessageW(::GetDlgItem(picker, id), BM_CLICK, 0, 0); }
};

TEST_F(FolderPickerWindowTest, ListFillsThePathAndOkChecksIt) {
    Open(L"C:\\Initial");
    EXPECT_EQ(PathText(), L"C:\\Initial");
    EXPECT_EQ(::SendDlgItemMessageW(picker, kPickerDriveList, LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(::SendDlgItemMessageW(picker, kPickerPathEdit, EM_GETLIMITTEXT, 0, 0), 212);

    Select(1);
    EXPECT_EQ(PathText(), L"D:\\Morvane_Erasure_Logs");
    Click(IDOK);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_NE(services.boxes[0].text.find(L"D:\\ は CD/DVD/ISO 読み取り専用ドライブ"), std::wstring::npos);
    EXPECT_TRUE(::IsWindow(picker)) << "a refused folder keeps the dialog open";

    services.browseAnswer = L"C:\\Chosen\\Logs";
    Click(kPickerBrowse);
    EXPECT_EQ(PathText(), L"C:\\Chosen\\Logs");
    std::vector<std::wstring> probed;
    services.folderWritable = [&probed](const std::wstring& folder) {
        probed.push_back(folder);
        return true;
    };
    Click(IDOK);
    EXPECT_EQ(probed, std::vector<std::wstring>{L"C:\\Chosen\\Logs"});
    EXPECT_TRUE(state.accepted);
    EXPECT_EQ(state.path, L"C:\\Chosen\\Logs");
    EXPECT_FALSE(::IsWindow(picker));
}

// Cancelled over a window that another modal window already disabled, the picker
// accepts nothing and must not enable that window on the way out.
TEST_F(FolderPickerWindowTest, ClosingRestoresTheOwnerAsFound) {
    UniqueWindow owner(::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                                         nullptr));
    for (const bool enabled : {true, false}) {
        ::EnableWindow(owner.get(), enabled);
        FolderPickerState nested;
        nested.path = L"C:\\Initial";
        picker = CreateFolderPickerWindow(owner.get(), nested, services);
        ::PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
        RunFolderPickerLoop(owner.get(), picker);
        EXPECT_FALSE(::IsWindow(picker));
        EXPECT_FALSE(nested.accepted);
        EXPECT_EQ(::IsWindowEnabled(owner.get()) != FALSE, enabled);
    }
}

}  // namespace
}  // namespace morvane
