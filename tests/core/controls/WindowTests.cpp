#include "core/controls/Application.h"
#include "core/controls/Button.h"
#include "core/controls/Form.h"
#include "core/controls/Window.h"
#include "core/threading/Thread.h"

#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

using namespace Core::Controls;
using Core::String;
using Testing::ThrownMessage;

namespace
{

class WindowTest : public testing::Test
{
protected:
    void SetUp() override { Testing::DropEndMessages(); }
    void TearDown() override
    {
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }
};

// Counts the clicks of buttons it is subscribed to.
class ClickCounter
{
public:
    ClickCounter() : handler(this, &ClickCounter::OnClick) {}
    void OnClick(Core::Object* sender, Core::EventArgs&)
    {
        clicks++;
        last = sender;
    }
    int clicks = 0;
    Core::Object* last = nullptr;
    Core::MemberEventHandler<ClickCounter, Core::EventArgs> handler;
};

// A dialog that refuses to close a given number of times and records what it saw meanwhile.
class StubbornDialog : public Window
{
public:
    int refusals = 0;
    int closings = 0;
    bool ownerEnabledWhileOpen = true;
    bool visibleWhileOpen = false;
    Control* owner = nullptr;

protected:
    bool OnClosing(int) override
    {
        closings++;
        ownerEnabledWhileOpen = IsWindowEnabled(owner->GetHandle()) != FALSE;
        visibleWhileOpen = IsWindowVisible(GetHandle()) != FALSE;
        return closings > refusals;
    }
};

// A main form that, on a posted WM_APP, records that the loop still runs and closes itself.
class ProbeForm : public Form
{
public:
    bool probed = false;

protected:
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override
    {
        if (message == WM_APP)
        {
            probed = true;
            PostMessageW(GetHandle(), WM_CLOSE, 0, 0);
            return 0;
        }
        return Form::WndProc(message, wParam, lParam);
    }
};

} // namespace

TEST_F(WindowTest, RunRejectsANullForm)
{
    EXPECT_EQ(L"Main applicatin window can not be null", ThrownMessage([] { Application::Run(nullptr); }));
}

TEST_F(WindowTest, InitNamesTheMainThreadAndExitReleasesIt)
{
    Application::Init(GetModuleHandleW(nullptr), nullptr, String(L"any command line"), SW_SHOWNORMAL);
    ASSERT_NE(nullptr, Application::GetMainThread());
    EXPECT_EQ(Core::Threading::Thread::CurrentThread(), Application::GetMainThread());
    EXPECT_STREQ(L"Main Application Thread", Application::GetMainThread()->GetName().GetBuffer());
    EXPECT_STREQ(L"any command line", Application::GetCommandLineText().GetBuffer());

    ProbeForm form;
    form.SetBounds(0, 0, 200, 100);
    form.Show();
    PostMessageW(form.GetHandle(), WM_APP + 5, 0, 0);
    Application::Exit(3);
    EXPECT_EQ(nullptr, Application::GetMainThread());
    EXPECT_EQ(3, Application::Run(&form));
}

TEST_F(WindowTest, ClosingTheMainFormEndsRunButClosingADialogDoesNot)
{
    ProbeForm form;
    form.SetBounds(0, 0, 300, 200);
    Window dialog;
    dialog.SetOwner(&form);
    form.Show();
    dialog.Show();
    ASSERT_TRUE(IsWindowVisible(dialog.GetHandle()));
    PostMessageW(dialog.GetHandle(), WM_CLOSE, 0, 0);
    PostMessageW(form.GetHandle(), WM_APP, 0, 0);

    EXPECT_EQ(0, Application::Run(&form));

    EXPECT_TRUE(form.probed) << "the loop ran on after the dialog closed";
    EXPECT_FALSE(dialog.IsHandleCreated()) << "the owner's end took the dialog with it";
    EXPECT_FALSE(form.IsHandleCreated());
}

TEST_F(WindowTest, DestroyingOnlyTheApplicationWindowPostsTheEndMessage)
{
    Form form;
    form.Show();
    Window dialog;
    dialog.SetOwner(&form);
    dialog.Show();
    MSG message;
    dialog.DestroyHandle();
    EXPECT_FALSE(PeekMessageW(&message, nullptr, Application::ApplicationEndMessage, Application::ApplicationEndMessage,
                              PM_REMOVE));
    form.DestroyHandle();
    EXPECT_TRUE(PeekMessageW(&message, nullptr, Application::ApplicationEndMessage, Application::ApplicationEndMessage,
                             PM_REMOVE));
    EXPECT_EQ(nullptr, message.hwnd);
}

TEST_F(WindowTest, ShowDialogReturnsOnlyAfterOnClosingAcceptsAndTheOwnerGetsNoInputMeanwhile)
{
    Form owner;
    owner.SetBounds(0, 0, 400, 300);
    Button ownerButton(String(L"Owner"));
    owner.GetControls().Add(&ownerButton);
    ClickCounter ownerClicks;
    ownerButton.Click.Subscribe(&ownerClicks.handler);
    owner.Show();

    StubbornDialog dialog;
    dialog.refusals = 2;
    dialog.owner = &owner;
    Button ok(String(L"OK"));
    dialog.GetControls().Add(&ok);
    dialog.SetAcceptButton(&ok);
    dialog.SetOwner(&owner);
    dialog.Create();

    // Queued now, handled inside the dialog's own loop: a click on the owner, Esc (refused), Enter.
    PostMessageW(ownerButton.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(ownerButton.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessageW(ownerButton.GetHandle(), WM_KEYDOWN, VK_SPACE, 1);
    PostMessageW(ownerButton.GetHandle(), WM_KEYUP, VK_SPACE, 0xC0000001);
    PostMessageW(dialog.GetHandle(), WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(dialog.GetHandle(), WM_CLOSE, 0, 0);
    PostMessageW(dialog.GetHandle(), WM_KEYDOWN, VK_RETURN, 1);

    int result = dialog.ShowDialog(&owner);

    EXPECT_EQ(DialogResult::OK, result);
    EXPECT_EQ(3, dialog.closings) << "Esc and the close box were refused";
    EXPECT_FALSE(dialog.ownerEnabledWhileOpen);
    EXPECT_TRUE(dialog.visibleWhileOpen);
    EXPECT_EQ(0, ownerClicks.clicks) << "the owner ignored the input sent to it";
    EXPECT_FALSE(IsWindowVisible(dialog.GetHandle()));
    EXPECT_TRUE(IsWindowEnabled(owner.GetHandle()));
    Testing::PumpMessages();
    Testing::Click(ownerButton, 5, 5);
    EXPECT_EQ(1, ownerClicks.clicks) << "the owner takes input again";
}

TEST_F(WindowTest, ShowDialogWithoutAnyOwnerIsRefused)
{
    Window dialog;
    SetActiveWindow(nullptr);
    if (GetActiveWindow() != nullptr)
    {
        GTEST_SKIP() << "another window of this thread is active";
    }
    EXPECT_EQ(L"CommonDialog.ShowModalDialog method - cannot determine owner.",
              ThrownMessage([&] { dialog.ShowDialog(); }));
    EXPECT_FALSE(dialog.IsHandleCreated());
}

TEST_F(WindowTest, ShowDialogWithoutOwnerTakesTheActiveWindow)
{
    // A dialog that closes itself as soon as it exists.
    class ClosingDialog : public Window
    {
    protected:
        void OnCreate(Core::Object* sender, Core::EventArgs& args) override
        {
            Window::OnCreate(sender, args);
            PostMessageW(GetHandle(), WM_CLOSE, 0, 0);
        }
    };
    Form owner;
    owner.SetBounds(0, 0, 300, 200);
    owner.Show();
    SetActiveWindow(owner.GetHandle());
    ASSERT_EQ(owner.GetHandle(), GetActiveWindow());
    ClosingDialog dialog;
    EXPECT_EQ(DialogResult::Cancel, dialog.ShowDialog());
    EXPECT_EQ(&owner, dialog.GetOwner());
    EXPECT_EQ(owner.GetHandle(), GetWindow(dialog.GetHandle(), GW_OWNER));
}

TEST_F(WindowTest, EnterPressesTheAcceptButtonAndEscTheCancelButton)
{
    Form owner;
    owner.Show();
    Window dialog;
    Button ok(String(L"OK"));
    Button cancel(String(L"Cancel"));
    Button other(String(L"Other"));
    dialog.GetControls().Add(&other);
    dialog.GetControls().Add(&ok);
    dialog.GetControls().Add(&cancel);
    dialog.SetAcceptButton(&ok);
    dialog.SetCancelButton(&cancel);
    ClickCounter okClicks;
    ClickCounter cancelClicks;
    ok.Click.Subscribe(&okClicks.handler);
    cancel.Click.Subscribe(&cancelClicks.handler);
    dialog.SetOwner(&owner);
    dialog.Create();

    PostMessageW(dialog.GetHandle(), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(DialogResult::Cancel, dialog.ShowDialog(&owner));
    EXPECT_EQ(1, cancelClicks.clicks);
    EXPECT_EQ(0, okClicks.clicks);

    PostMessageW(dialog.GetHandle(), WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(DialogResult::OK, dialog.ShowDialog(&owner));
    EXPECT_EQ(1, okClicks.clicks);
}

TEST_F(WindowTest, StartPositionsCentreOnTheOwnerOrTheWorkAreaAndStayInsideIt)
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT work = monitor.rcWork;
    int dpi = GetDeviceCaps(GetDC(nullptr), LOGPIXELSY);
    auto px = [dpi](int value) { return MulDiv(value, dpi, 96); };

    Form owner;
    owner.SetBounds(100, 100, 400, 300);
    owner.Show();
    Window centred;
    centred.SetOwner(&owner);
    centred.SetBounds(0, 0, 200, 100);
    centred.SetStartPosition(StartPosition::CenterOwner);
    centred.Show();
    RECT ownerRect;
    RECT rect;
    GetWindowRect(owner.GetHandle(), &ownerRect);
    GetWindowRect(centred.GetHandle(), &rect);
    EXPECT_EQ(ownerRect.left + (ownerRect.right - ownerRect.left - px(200)) / 2, rect.left);
    EXPECT_EQ(ownerRect.top + (ownerRect.bottom - ownerRect.top - px(100)) / 2, rect.top);

    Form screen;
    screen.SetBounds(0, 0, 800, 600);
    screen.SetStartPosition(StartPosition::CenterScreen);
    screen.Show();
    GetWindowRect(screen.GetHandle(), &rect);
    EXPECT_EQ(work.left + (work.right - work.left - px(800)) / 2, rect.left);
    EXPECT_EQ(work.top + (work.bottom - work.top - px(600)) / 2, rect.top);
    EXPECT_EQ(px(800), rect.right - rect.left);

    // Centred on an owner near the right edge, the dialog is pulled back inside, keeping its size.
    owner.SetBounds((work.right - px(100)) * 96 / dpi, 100, 200, 200);
    Window pulled;
    pulled.SetOwner(&owner);
    pulled.SetBounds(0, 0, 400, 300);
    pulled.SetStartPosition(StartPosition::CenterOwner);
    pulled.Show();
    GetWindowRect(pulled.GetHandle(), &rect);
    EXPECT_EQ(work.right, rect.right);
    EXPECT_EQ(px(400), rect.right - rect.left);
}

TEST_F(WindowTest, TabAndShiftTabFollowCreationOrderAndSkipWhatCannotTakeTheFocus)
{
    Form form;
    form.SetBounds(0, 0, 400, 300);
    Button first(String(L"First"));
    Button disabled(String(L"Disabled"));
    Button second(String(L"Second"));
    Button hidden(String(L"Hidden"));
    Button third(String(L"Third"));
    for (Button* button : {&first, &disabled, &second, &hidden, &third})
    {
        form.GetControls().Add(button);
    }
    // Placed in reverse on the screen: the order is the order of creation, not of position.
    first.SetBounds(300, 10, 75, 23);
    third.SetBounds(10, 10, 75, 23);
    disabled.SetEnabled(false);
    hidden.Hide();
    form.Show();
    first.Focus();
    ASSERT_TRUE(first.IsFocused());

    Testing::PressKey(form, Keys::Tab);
    EXPECT_TRUE(second.IsFocused());
    Testing::PressKey(form, Keys::Tab);
    EXPECT_TRUE(third.IsFocused());
    Testing::PressKey(form, Keys::Tab);
    EXPECT_TRUE(first.IsFocused()) << "wraps round";
    Testing::PressKey(form, Keys::Tab, Keys::Shift);
    EXPECT_TRUE(third.IsFocused());
    Testing::PressKey(form, Keys::Tab, Keys::Shift);
    EXPECT_TRUE(second.IsFocused());
}

TEST_F(WindowTest, AltWithAButtonsMnemonicClicksIt)
{
    Form owner;
    owner.Show();
    Window dialog;
    Button apply(String(L"&Apply"));
    Button close(String(L"&Close"));
    dialog.GetControls().Add(&apply);
    dialog.GetControls().Add(&close);
    close.SetDialogResult(DialogResult::No);
    ClickCounter applyClicks;
    apply.Click.Subscribe(&applyClicks.handler);
    dialog.SetOwner(&owner);
    dialog.Create();
    PostMessageW(dialog.GetHandle(), WM_SYSKEYDOWN, 'A', 1 | (1 << 29));
    PostMessageW(dialog.GetHandle(), WM_SYSKEYDOWN, 'C', 1 | (1 << 29));
    PostMessageW(dialog.GetHandle(), WM_CLOSE, 0, 0); // ends the test if the mnemonics fail
    EXPECT_EQ(DialogResult::No, dialog.ShowDialog(&owner));
    EXPECT_EQ(1, applyClicks.clicks);
    EXPECT_TRUE(apply.GetTabStop());
}

TEST_F(WindowTest, ClientSizeGivesTheClientAreaAsked)
{
    Form form;
    form.SetClientSize(320, 200);
    form.Show();
    RECT client;
    GetClientRect(form.GetHandle(), &client);
    int dpi = form.GetDpi();
    EXPECT_NEAR(MulDiv(320, dpi, 96), client.right, 1);
    EXPECT_NEAR(MulDiv(200, dpi, 96), client.bottom, 1);
}
