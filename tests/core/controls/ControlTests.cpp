#include "core/controls/Application.h"
#include "core/controls/Button.h"
#include "core/controls/Control.h"
#include "core/controls/Cursor.h"
#include "core/controls/Form.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <windows.h>

#undef MessageBox

using namespace Core::Controls;
using Core::String;
using Testing::ThrownMessage;
using Rect = Core::Controls::Rectangle;

namespace
{

// A control of its own window class that paints one colour and counts its paints.
class Swatch : public Control
{
public:
    explicit Swatch(Color color) : m_color(color) { SetClassName(String(L"Quarrow.Tests.Swatch")); }
    int paints = 0;
    int creates = 0;

protected:
    void OnCreate(Core::Object* sender, Core::EventArgs& args) override
    {
        creates++;
        Control::OnCreate(sender, args);
    }
    void OnPaint(Graphics& graphics, const Rect&) override
    {
        paints++;
        graphics.FillRectangle(GetClientRectangle(), m_color);
    }

private:
    Color m_color;
};

// A swatch with the system's one-pixel border around it.
class FramedSwatch : public Swatch
{
public:
    using Swatch::Swatch;

protected:
    void GetCreateStyles(uint32_t& style, uint32_t& exStyle) const override
    {
        Swatch::GetCreateStyles(style, exStyle);
        style |= WS_BORDER;
    }
};

// A swatch whose paint leaves its drawing surface moved and clipped, as a careless paint might.
class CarelessSwatch : public Swatch
{
public:
    using Swatch::Swatch;

protected:
    void OnPaint(Graphics& graphics, const Rect& clip) override
    {
        Swatch::OnPaint(graphics, clip);
        SetViewportOrgEx(graphics.GetHandle(), 7, 9, nullptr);
        IntersectClipRect(graphics.GetHandle(), 0, 0, 2, 2);
    }
};

// A swatch that, in the middle of its own paint, has another control paint at once.
class NestingSwatch : public Swatch
{
public:
    using Swatch::Swatch;
    Control* other = nullptr;
    int nestedPaints = 0;

protected:
    void OnPaint(Graphics& graphics, const Rect& clip) override
    {
        Swatch::OnPaint(graphics, clip);
        InvalidateRect(static_cast<HWND>(other->GetHandle()), nullptr, FALSE);
        int before = static_cast<Swatch*>(other)->paints;
        UpdateWindow(static_cast<HWND>(other->GetHandle()));
        nestedPaints += static_cast<Swatch*>(other)->paints - before;
    }
};

// A control whose native creation the system refuses.
class Refused : public Control
{
protected:
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override
    {
        return message == WM_CREATE ? -1 : Control::WndProc(message, wParam, lParam);
    }
};

class ControlTest : public testing::Test
{
protected:
    void SetUp() override { Testing::DropEndMessages(); }
    void TearDown() override
    {
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }
};

const Color red = Colors::FromRgb(255, 0, 0);
const Color blue = Colors::FromRgb(0, 0, 255);

} // namespace

TEST_F(ControlTest, ShowingAFormCreatesItAndItsChildrenBoundToTheirObjects)
{
    Form form;
    Swatch child(red);
    form.GetControls().Add(&child);
    child.SetBounds(10, 10, 50, 40);
    EXPECT_FALSE(form.IsHandleCreated());
    EXPECT_FALSE(child.IsHandleCreated());

    form.SetBounds(0, 0, 300, 200);
    form.Show();

    ASSERT_TRUE(form.IsHandleCreated());
    ASSERT_TRUE(child.IsHandleCreated());
    EXPECT_EQ(&form, Control::FromHandle(form.GetHandle()));
    EXPECT_EQ(&child, Control::FromHandle(child.GetHandle()));
    EXPECT_EQ(form.GetHandle(), GetParent(child.GetHandle()));
    EXPECT_EQ(1, child.creates);
    wchar_t className[64];
    GetClassNameW(form.GetHandle(), className, 64);
    EXPECT_STREQ(L"Core.Controls.Form", className);
    GetClassNameW(child.GetHandle(), className, 64);
    EXPECT_STREQ(L"Quarrow.Tests.Swatch", className);
}

// A child hidden when its form is shown gets its window, and its children theirs, once it is first shown: in
// the place its layout gave it meanwhile, painted.
TEST_F(ControlTest, AHiddenChildIsCreatedWhenFirstShown)
{
    Form form;
    form.SetBounds(0, 0, 300, 200);
    Swatch page(red);
    Swatch inner(blue);
    page.GetControls().Add(&inner);
    inner.SetBounds(5, 5, 20, 20);
    page.SetDock(DockStyle::Fill);
    page.SetVisible(false);
    form.GetControls().Add(&page);
    form.Show();
    EXPECT_FALSE(page.IsHandleCreated());
    EXPECT_FALSE(inner.IsHandleCreated());
    EXPECT_EQ(0, page.creates);

    page.SetVisible(true);

    ASSERT_TRUE(page.IsHandleCreated());
    ASSERT_TRUE(inner.IsHandleCreated());
    EXPECT_EQ(1, page.creates);
    EXPECT_EQ(form.GetHandle(), GetParent(page.GetHandle()));
    EXPECT_EQ(page.GetHandle(), GetParent(inner.GetHandle()));
    RECT client;
    GetClientRect(form.GetHandle(), &client);
    RECT placed;
    GetWindowRect(page.GetHandle(), &placed);
    EXPECT_EQ(client.right - client.left, placed.right - placed.left) << "filled as docked while hidden";
    EXPECT_EQ(client.bottom - client.top, placed.bottom - placed.top);
    UpdateWindow(form.GetHandle());
    EXPECT_GT(page.paints, 0);
    EXPECT_GT(inner.paints, 0);
}

TEST_F(ControlTest, DestroyingTheWindowUnbindsTheObject)
{
    Form form;
    Swatch child(red);
    form.GetControls().Add(&child);
    form.Show();
    HWND childWindow = child.GetHandle();

    DestroyWindow(form.GetHandle());

    EXPECT_FALSE(form.IsHandleCreated());
    EXPECT_FALSE(child.IsHandleCreated());
    EXPECT_EQ(nullptr, Control::FromHandle(childWindow));
}

TEST_F(ControlTest, AChildAddedToAShownParentIsCreatedAtOnceAndLeavesWhenDeleted)
{
    Form form;
    form.Show();
    auto* child = new Swatch(red);
    form.GetControls().Add(child);
    EXPECT_TRUE(child->IsHandleCreated());
    EXPECT_EQ(&form, child->GetParent());
    HWND window = child->GetHandle();

    delete child;

    EXPECT_EQ(0, form.GetControls().GetCount());
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ControlTest, TheWindowClassIsRegisteredOncePerName)
{
    Form form;
    Swatch first(red);
    Swatch second(blue);
    form.GetControls().Add(&first);
    form.GetControls().Add(&second);
    form.Show();
    WNDCLASSEXW info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"Quarrow.Tests.Swatch", &info));
    EXPECT_EQ(GetClassLongPtrW(first.GetHandle(), GCW_ATOM), GetClassLongPtrW(second.GetHandle(), GCW_ATOM));
}

TEST_F(ControlTest, MisuseIsReportedWithTheToolkitsMessages)
{
    Form form;
    Swatch child(red);
    // A child whose parent has no window yet.
    child.SetParent(&form);
    EXPECT_EQ(L"Core::Controls::Control::Create() method: object of type 'Quarrow.Tests.Swatch': handle for parent "
              L"is not created",
              ThrownMessage([&] { child.Create(); }));
    // Class name and window type only before the window exists.
    form.Show();
    EXPECT_EQ(L"SetClassName method should be called in the constructor, before handle is created.",
              ThrownMessage([&] { form.SetClassName(String(L"Other")); }));
    EXPECT_EQ(L"SetWindowType method should be called in the constructor, before handle is created.",
              ThrownMessage([&] { form.SetWindowType(WindowType::DialogWindow); }));
    // Only child controls change parents.
    Form other;
    EXPECT_EQ(L"Control.SetParent method can only be called on child control of WindowType::ChildControl.",
              ThrownMessage([&] { other.SetParent(&form); }));
    EXPECT_EQ(L"Control.SetParent method can only be called on child control of WindowType::ChildControl.",
              ThrownMessage([&] { form.GetControls().Add(&other); }));
    // A dialog needs an owner window.
    Window dialog;
    EXPECT_EQ(L"Core::Controls::Control::Create() method: owner of Dialog must be initialized",
              ThrownMessage([&] { dialog.Show(); }));
    Form unshown;
    dialog.SetOwner(&unshown);
    EXPECT_EQ(L"Core::Controls::Control::Create() method: owner of Dialog must be initialized",
              ThrownMessage([&] { dialog.Show(); }));
}

TEST_F(ControlTest, SystemRefusalsAreReportedWithTheClassName)
{
    Form form;
    form.Show();
    // A name taken by a system class, and one longer than the system allows.
    Swatch taken(red);
    taken.SetClassName(String(L"Button"));
    EXPECT_EQ(L"Control.Create method. Failed to register class Button",
              ThrownMessage([&] { form.GetControls().Add(&taken); }));
    EXPECT_FALSE(taken.IsHandleCreated());
    EXPECT_EQ(nullptr, taken.GetParent());
    EXPECT_EQ(0, form.GetControls().GetCount());
    Swatch longName(red);
    longName.SetClassName(String(L'x', 256));
    EXPECT_EQ(std::wstring(L"Control.Create method. Failed to register class ") + std::wstring(256, L'x'),
              ThrownMessage([&] { form.GetControls().Add(&longName); }));

    Refused refused;
    refused.SetClassName(String(L"Quarrow.Tests.Refused"));
    EXPECT_EQ(L"Control.Create method. Failed to create the window for class Quarrow.Tests.Refused",
              ThrownMessage([&] { form.GetControls().Add(&refused); }));
    EXPECT_FALSE(refused.IsHandleCreated());
}

TEST_F(ControlTest, TextGoesToTheNativeWindowAtOnce)
{
    Form form;
    form.SetText(String(L"Before"));
    form.Show();
    wchar_t text[64];
    GetWindowTextW(form.GetHandle(), text, 64);
    EXPECT_STREQ(L"Before", text);
    form.SetText(String(L"Quarrow"));
    GetWindowTextW(form.GetHandle(), text, 64);
    EXPECT_STREQ(L"Quarrow", text);
}

TEST_F(ControlTest, MnemonicIsTheLetterAfterTheFirstSingleAmpersandInUpperCase)
{
    EXPECT_EQ(L'A', Control::GetMnemonic(String(L"&Application")));
    EXPECT_EQ(L'X', Control::GetMnemonic(String(L"E&xit")));
    EXPECT_EQ(0, Control::GetMnemonic(String(L"Online Help")));
    EXPECT_EQ(0, Control::GetMnemonic(String(L"Fish && Chips")));
    EXPECT_EQ(L'C', Control::GetMnemonic(String(L"Fish && &chips")));
    EXPECT_EQ(0, Control::GetMnemonic(String(L"Trailing&")));
}

TEST_F(ControlTest, BoundsAreScaledToTheWindowDpiAndBack)
{
    Form form;
    Swatch child(red);
    form.GetControls().Add(&child);
    child.SetBounds(10, 20, 100, 50);
    form.SetBounds(0, 0, 400, 300);
    form.Show();
    int dpi = child.GetDpi();
    RECT rect;
    GetWindowRect(child.GetHandle(), &rect);
    MapWindowPoints(HWND_DESKTOP, form.GetHandle(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(Theme::Scale(10, dpi), rect.left);
    EXPECT_EQ(Theme::Scale(110, dpi) - Theme::Scale(10, dpi), rect.right - rect.left);
    EXPECT_EQ((Rect{10, 20, 100, 50}), child.GetBounds());
}

TEST_F(ControlTest, ADpiChangeRescalesChildrenAndFonts)
{
    Form form;
    Swatch child(red);
    form.GetControls().Add(&child);
    child.SetBounds(10, 20, 100, 50);
    child.SetFont(Font(String(L"Tahoma"), 16));
    form.SetBounds(0, 0, 400, 300);
    form.Show();
    int dpi = form.GetDpi();
    int newDpi = dpi * 3 / 2;
    RECT suggested = {0, 0, Theme::Scale(400, newDpi), Theme::Scale(300, newDpi)};

    SendMessageW(form.GetHandle(), WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi), reinterpret_cast<LPARAM>(&suggested));

    EXPECT_EQ(newDpi, child.GetDpi());
    RECT rect;
    GetWindowRect(child.GetHandle(), &rect);
    EXPECT_EQ(Theme::Scale(100, newDpi), rect.right - rect.left);
    EXPECT_EQ(Theme::Scale(50, newDpi), rect.bottom - rect.top);
    LOGFONTW font = {};
    GetObjectW(child.GetFontHandle(), sizeof(font), &font);
    EXPECT_EQ(Theme::Scale(16, newDpi), font.lfHeight);
    EXPECT_EQ((Rect{10, 20, 100, 50}), child.GetBounds());
}

TEST_F(ControlTest, PaintingThroughPrintClientShowsTheChildren)
{
    Form form;
    form.SetBackColor(blue);
    Swatch child(red);
    form.GetControls().Add(&child);
    child.SetBounds(10, 10, 20, 20);
    form.SetBounds(0, 0, 200, 150);
    form.Show();
    int dpi = form.GetDpi();

    Testing::Picture picture = Testing::Render(form);

    int side = Theme::Scale(20, dpi);
    EXPECT_EQ(side * side, picture.Count(red));
    EXPECT_EQ(red, picture.At(Theme::Scale(15, dpi), Theme::Scale(15, dpi)));
    EXPECT_EQ(blue, picture.At(Theme::Scale(5, dpi), Theme::Scale(5, dpi)));
    EXPECT_EQ(0, Testing::Render(form, false).Count(red));
}

// Children without a frame skip the system's frame painting; one with a border still gets it drawn.
TEST_F(ControlTest, AChildWithABorderHasItsFrameDrawn)
{
    Form form;
    form.SetBackColor(blue);
    FramedSwatch child(red);
    form.GetControls().Add(&child);
    child.SetBounds(10, 10, 40, 30);
    form.SetBounds(0, 0, 200, 150);
    form.Show();
    UpdateWindow(form.GetHandle());
    RECT bounds;
    GetWindowRect(child.GetHandle(), &bounds);
    HDC window = GetWindowDC(child.GetHandle());
    COLORREF corner = GetPixel(window, 0, 0);
    COLORREF middle = GetPixel(window, (bounds.right - bounds.left) / 2, (bounds.bottom - bounds.top) / 2);
    ReleaseDC(child.GetHandle(), window);
    EXPECT_EQ(GetSysColor(COLOR_WINDOWFRAME), corner);
    EXPECT_EQ(Colors::ToColorRef(red), middle);
}

// Every paint draws on a surface as it was before any other: what one control's paint left set up (an origin, a
// clip) does not reach the next one's.
TEST_F(ControlTest, APaintStartsFromACleanSurface)
{
    Form form;
    form.SetBackColor(blue);
    CarelessSwatch first(blue);
    Swatch second(red);
    form.GetControls().Add(&first);
    form.GetControls().Add(&second);
    first.SetBounds(0, 0, 60, 40);
    second.SetBounds(70, 0, 60, 40);
    form.SetBounds(0, 0, 200, 150);
    form.Show();
    UpdateWindow(form.GetHandle());
    RECT bounds;
    GetClientRect(second.GetHandle(), &bounds);
    HDC window = GetDC(second.GetHandle());
    int wrong = 0;
    for (int y = 0; y < bounds.bottom; y += 3)
    {
        for (int x = 0; x < bounds.right; x += 3)
        {
            wrong += GetPixel(window, x, y) != Colors::ToColorRef(red) ? 1 : 0;
        }
    }
    ReleaseDC(second.GetHandle(), window);
    EXPECT_GT(first.paints, 0);
    EXPECT_GT(second.paints, 0);
    EXPECT_EQ(0, wrong);
}

// A paint made while another is under way gets a surface of its own: both show their own colours.
TEST_F(ControlTest, APaintInsideAPaintDrawsOnASurfaceOfItsOwn)
{
    Form form;
    form.SetBackColor(blue);
    NestingSwatch outer(red);
    Swatch inner(Colors::FromRgb(0, 160, 0));
    outer.other = &inner;
    form.GetControls().Add(&outer);
    form.GetControls().Add(&inner);
    outer.SetBounds(0, 0, 60, 40);
    inner.SetBounds(70, 0, 50, 30);
    form.SetBounds(0, 0, 200, 150);
    form.Show();
    UpdateWindow(form.GetHandle());
    auto colourAt = [](Control& control, int x, int y)
    {
        HDC window = GetDC(static_cast<HWND>(control.GetHandle()));
        COLORREF colour = GetPixel(window, x, y);
        ReleaseDC(static_cast<HWND>(control.GetHandle()), window);
        return colour;
    };
    ASSERT_GT(outer.nestedPaints, 0);
    EXPECT_EQ(Colors::ToColorRef(red), colourAt(outer, 30, 20));
    EXPECT_EQ(Colors::ToColorRef(red), colourAt(outer, 59, 39));
    EXPECT_EQ(Colors::ToColorRef(Colors::FromRgb(0, 160, 0)), colourAt(inner, 25, 15));
    EXPECT_EQ(Colors::ToColorRef(Colors::FromRgb(0, 160, 0)), colourAt(inner, 49, 29));
}

TEST_F(ControlTest, UpdatesSwitchedOnAgainRepaintOnlyWhenEveryParentDraws)
{
    Form form;
    Swatch panel(blue);
    Swatch child(red);
    form.GetControls().Add(&panel);
    panel.GetControls().Add(&child);
    panel.SetBounds(0, 0, 100, 100);
    child.SetBounds(0, 0, 50, 50);
    form.SetBounds(0, 0, 200, 200);
    form.Show();
    Testing::PumpMessages();

    panel.SetUpdatesEnabled(false);
    child.SetUpdatesEnabled(false);
    child.paints = 0;
    child.SetUpdatesEnabled(true);
    EXPECT_EQ(0, child.paints) << "the panel still does not draw";
    EXPECT_FALSE(panel.GetUpdatesEnabled());

    panel.paints = 0;
    panel.SetUpdatesEnabled(true);
    EXPECT_GE(panel.paints, 1) << "switching on repaints at once";
    EXPECT_GE(child.paints, 1);
    EXPECT_TRUE(child.IsVisible());
}

TEST_F(ControlTest, DisabledControlsAndTheirChildrenIgnoreInput)
{
    Form form;
    Button button(String(L"Press"));
    form.GetControls().Add(&button);
    int clicks = 0;
    struct Counter
    {
        int* clicks;
        void OnClick(Core::Object*, Core::EventArgs&) { (*clicks)++; }
    } counter{&clicks};
    Core::MemberEventHandler<Counter, Core::EventArgs> handler(&counter, &Counter::OnClick);
    button.Click.Subscribe(&handler);
    form.Show();

    Testing::Click(button, 5, 5);
    EXPECT_EQ(1, clicks);
    button.SetEnabled(false);
    Testing::Click(button, 5, 5);
    EXPECT_EQ(1, clicks);
    button.SetEnabled(true);
    form.SetEnabled(false);
    Testing::Click(button, 5, 5);
    EXPECT_EQ(1, clicks);
    EXPECT_FALSE(button.IsEnabled());
}

TEST_F(ControlTest, MessageBoxGoesThroughTheDesktopOwnedByTheControl)
{
    Testing::RecordingDesktop desktop;
    desktop.answers.push_back(6);
    Form form;
    form.Show();
    EXPECT_EQ(6,
              form.MessageBox(String(L"Rebuild tree with new configuration?"), String(L"Configuration changes"), 0x24));
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(form.GetHandle(), desktop.messages[0].owner);
    EXPECT_EQ(L"Configuration changes", desktop.messages[0].caption);
    EXPECT_EQ(0x24u, desktop.messages[0].style);
}

TEST_F(ControlTest, TimersReportWhatTheSystemRefuses)
{
    Form form;
    EXPECT_EQ(L"Failed to start the timer.", ThrownMessage([&] { form.StartTimer(1, 100); }));
    form.Show();
    form.StartTimer(1, 100);
    form.StopTimer(1);
    EXPECT_EQ(L"Failed to stop the timer.", ThrownMessage([&] { form.StopTimer(1); }));
}

TEST_F(ControlTest, CursorsAreLoadedOnceAndAnUnknownOneIsReported)
{
    Cursor wait(Cursor::Wait);
    Cursor again(Cursor::Wait);
    EXPECT_NE(nullptr, wait.GetHandle());
    EXPECT_EQ(wait.GetHandle(), again.GetHandle());
    EXPECT_EQ(L"Cursor class. Failed to load cursor type", ThrownMessage([] { Cursor unknown(0x1234); }));

    Cursor::SetCurrent(wait);
    EXPECT_EQ(wait.GetHandle(), Cursor::GetOverride());
    Cursor::SetCurrent(Cursor(Cursor::Arrow));
    EXPECT_EQ(nullptr, Cursor::GetOverride());
    EXPECT_EQ(Cursor::Arrow, Cursor::GetCurrentId());
}

TEST_F(ControlTest, ColoursRejectComponentsOutOfRange)
{
    EXPECT_EQ(0x80FF0000u, Colors::FromArgb(128, 255, 0, 0));
    EXPECT_EQ(L"Alpha should be between 0 and 255 inclusive", ThrownMessage([] { Colors::FromArgb(256, 0, 0, 0); }));
    EXPECT_EQ(L"Alpha should be between 0 and 255 inclusive", ThrownMessage([] { Colors::FromArgb(-1, 0, 0, 0); }));
}

TEST_F(ControlTest, FontsCarryHeightWeightStyleAndOrientation)
{
    Font font(String(L"Tahoma"), 15, 400, Font::Italic | Font::Underline, Font::Rotate90);
    HFONT handle = font.CreateHandle(144);
    LOGFONTW native = {};
    GetObjectW(handle, sizeof(native), &native);
    DeleteObject(handle);
    EXPECT_EQ(23, native.lfHeight) << "15 pixels at 96 DPI are 22.5 at 144";
    EXPECT_TRUE(native.lfItalic);
    EXPECT_TRUE(native.lfUnderline);
    EXPECT_FALSE(native.lfStrikeOut);
    EXPECT_EQ(900, native.lfEscapement);
    EXPECT_EQ(2700, Font(String(L"Tahoma"), 15, 400, 0, Font::Rotate270).GetEscapement());

    // The weight reaches the glyphs: a bold font is selected bold.
    HFONT bold = Font(String(L"Tahoma"), 17, Font::Bold).CreateHandle(96);
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, bold);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(screen, &metrics);
    wchar_t face[64] = {};
    GetTextFaceW(screen, 64, face);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    DeleteObject(bold);
    EXPECT_EQ(700, metrics.tmWeight) << face;
    EXPECT_EQ(0, Font(String(L"Tahoma"), 15, 400, 0, 7).GetEscapement());
}

TEST_F(ControlTest, AnExceptionInAHandlerReachesTheMessageLoop)
{
    Form form;
    Button button(String(L"Fail"));
    form.GetControls().Add(&button);
    struct Thrower
    {
        void OnClick(Core::Object*, Core::EventArgs&) { throw Core::Exception(String(L"handler failed")); }
    } thrower;
    Core::MemberEventHandler<Thrower, Core::EventArgs> handler(&thrower, &Thrower::OnClick);
    button.Click.Subscribe(&handler);
    form.Show();
    PostMessageW(button.GetHandle(), WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(L"handler failed", ThrownMessage([] { Testing::PumpMessages(); }));
}
