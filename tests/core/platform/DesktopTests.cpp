#include "core/platform/windows/Desktop.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <windows.h>

using Core::String;
using Core::Platform::Windows::Desktop;

namespace
{

// Shows a real message box over owner and answers it from another thread, noting which window held it.
struct AnsweredMessage
{
    int result = 0;
    HWND holder = nullptr;
    bool seen = false;
};

AnsweredMessage ShowAndAnswer(HWND owner, const wchar_t* caption)
{
    AnsweredMessage answered;
    std::atomic<bool> done{false};
    std::thread answerer(
        [&]
        {
            for (int i = 0; i < 500 && !done; i++)
            {
                HWND box = FindWindowW(L"#32770", caption);
                if (box != nullptr && IsWindowVisible(box))
                {
                    answered.holder = GetWindow(box, GW_OWNER);
                    answered.seen = true;
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                    return;
                }
                Sleep(10);
            }
        });
    answered.result = Desktop::Current().ShowMessage(owner, String(L"text"), String(caption), MB_OK);
    done = true;
    answerer.join();
    return answered;
}

class DesktopTest : public testing::Test
{
protected:
    void SetUp() override
    {
        shown = CreateWindowExW(0, L"STATIC", L"shown", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                                nullptr, nullptr, nullptr);
        hidden = CreateWindowExW(0, L"STATIC", L"hidden", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, shown, nullptr,
                                 nullptr, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(hidden);
        DestroyWindow(shown);
    }

    HWND shown = nullptr;
    HWND hidden = nullptr;
};

} // namespace

// A dialog that reports a problem while it loads is not shown yet: its message box must not vanish with it and
// leave the user before windows that answer nothing. The nearest shown owner holds the box.
TEST_F(DesktopTest, AMessageForAWindowNotShownYetIsHeldByItsShownOwner)
{
    AnsweredMessage overHidden = ShowAndAnswer(hidden, L"Quarrow test: hidden owner");
    ASSERT_TRUE(overHidden.seen);
    EXPECT_EQ(IDOK, overHidden.result);
    EXPECT_EQ(shown, overHidden.holder);

    AnsweredMessage overShown = ShowAndAnswer(shown, L"Quarrow test: shown owner");
    ASSERT_TRUE(overShown.seen);
    EXPECT_EQ(shown, overShown.holder);
}
