// The services seam: the fake answers as the window tests expect, so a test's
// message-box script means what it says.
#include <gtest/gtest.h>

#include "support/fake_ui_services.h"

namespace morvane {
namespace {

TEST(FakeUiServices, AnswersFromTheQueueThenByButtons) {
    testing::FakeUiServices services;
    services.boxAnswers = {IDNO};
    EXPECT_EQ(services.ShowMessage(nullptr, L"a", L"t", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(services.ShowMessage(nullptr, L"b", L"t", MB_YESNO), IDYES);
    EXPECT_EQ(services.ShowMessage(nullptr, L"c", L"t", MB_OK | MB_ICONWARNING), IDOK);
    ASSERT_EQ(services.boxes.size(), 3u);
    EXPECT_EQ(services.boxes[2].Icon(), static_cast<UINT>(MB_ICONWARNING));
}

}  // namespace
}  // namespace morvane
