// The multi-line text area driven with real keyboard and mouse messages: lines made and joined, selections,
// clipboard, undo, 10,000 lines scrolled by keys and wheel, what a screen reader sees, and Enter in a dialog.
#include "core/controls/Button.h"
#include "core/controls/Form.h"
#include "core/controls/Label.h"
#include "core/controls/ScrollBar.h"
#include "core/controls/TextArea.h"
#include "core/controls/TextBox.h"
#include "core/controls/Theme.h"
#include "core/controls/Window.h"

#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/AccessibleClient.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

using namespace Core::Controls;
using Core::String;
using Testing::Accessible;
using Rect = Core::Controls::Rectangle;

namespace
{

class TextAreaTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetBounds(0, 0, 700, 500);
        label.SetText(String(L"&Query:"));
        label.SetBounds(10, 10, 80, 20);
        area.SetBounds(10, 30, 300, 200);
        other.SetBounds(10, 250, 100, 23);
        form.GetControls().Add(&label);
        form.GetControls().Add(&area);
        form.GetControls().Add(&other);
        form.Show();
        area.Focus();
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }

    std::wstring Text() { return area.GetText().GetBuffer(); }
    void Press(int key, int modifiers = 0) { Testing::PressKey(area, key, modifiers); }
    void Type(const wchar_t* text) { Testing::TypeText(area.GetHandle(), text); }

    Form form;
    Label label;
    TextArea area;
    TextBox other;
};

struct Counter
{
    Counter() : handler(this, &Counter::On) {}
    void On(Core::Object*, Core::EventArgs&) { count++; }
    int count = 0;
    Core::MemberEventHandler<Counter, Core::EventArgs> handler;
};

String ToString(const std::wstring& text)
{
    return String(text.c_str(), static_cast<int>(text.size()));
}

// "line 1" to "line count" from first on, joined by CR LF.
std::wstring NumberedLines(int first, int count)
{
    std::wstring text;
    for (int i = first; i < first + count; i++)
    {
        text += L"line " + std::to_wstring(i);
        if (i + 1 < first + count)
        {
            text += L"\r\n";
        }
    }
    return text;
}

// The height and widths of the control's font as GDI gives them, apart from the area's own measurement.
int FontLineHeight(Control& control)
{
    auto font = reinterpret_cast<HFONT>(SendMessageW(control.GetHandle(), WM_GETFONT, 0, 0));
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return metrics.tmHeight;
}

int FontTextWidth(Control& control, const wchar_t* text)
{
    auto font = reinterpret_cast<HFONT>(SendMessageW(control.GetHandle(), WM_GETFONT, 0, 0));
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, font);
    SIZE size = {};
    GetTextExtentPoint32W(screen, text, static_cast<int>(std::wcslen(text)), &size);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return size.cx;
}

void PutOnClipboard(Control& owner, const std::wstring& text)
{
    ASSERT_TRUE(OpenClipboard(owner.GetHandle()));
    EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

void MouseDown(Control& control, int x, int y, UINT message = WM_LBUTTONDOWN)
{
    SendMessageW(control.GetHandle(), message, MK_LBUTTON, MAKELPARAM(x, y));
}

void MouseDrag(Control& control, int x, int y)
{
    SendMessageW(control.GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
}

void MouseUp(Control& control, int x, int y)
{
    SendMessageW(control.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// The caret of the focused window, in its client coordinates.
POINT CaretPosition()
{
    POINT caret{-1, -1};
    GetCaretPos(&caret);
    return caret;
}

// The client area's pixels as the window shows them on the screen (without the caret): what painting and moved
// pixels left there.
Testing::Picture OnScreen(Control& control)
{
    Testing::Picture picture;
    RECT client;
    GetClientRect(control.GetHandle(), &client);
    picture.width = client.right;
    picture.height = client.bottom;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    // The caret blinks on the screen; a paint never draws it.
    HideCaret(control.GetHandle());
    HDC window = GetDC(control.GetHandle());
    HBITMAP bitmap = CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(window);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, window, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const uint32_t*>(bits);
    picture.pixels.assign(source, source + static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
    for (uint32_t& pixel : picture.pixels)
    {
        pixel &= 0xFFFFFF;
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
    ReleaseDC(control.GetHandle(), window);
    ShowCaret(control.GetHandle());
    return picture;
}

// The pixels of a rectangle of a picture.
std::vector<uint32_t> Part(const Testing::Picture& picture, const Rect& part)
{
    std::vector<uint32_t> pixels;
    for (int y = part.top; y < part.GetBottom(); y++)
    {
        for (int x = part.left; x < part.GetRight(); x++)
        {
            pixels.push_back(picture.pixels[static_cast<size_t>(y * picture.width + x)]);
        }
    }
    return pixels;
}

VARIANT Self()
{
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
}

} // namespace

// --- Typing and deleting ---

// Enter splits the line at the caret, Backspace at a line's start and Delete at its end join two lines again, and
// every edit is told.
TEST_F(TextAreaTest, EnterSplitsLinesAndBackspaceAndDeleteJoinThem)
{
    Counter changes;
    area.TextChanged.Subscribe(&changes.handler);
    Type(L"select *");
    Press(Keys::Return);
    Type(L"from Win32_Process");
    EXPECT_EQ(L"select *\r\nfrom Win32_Process", Text());
    EXPECT_EQ(2, area.GetLineCount());
    EXPECT_EQ((TextPosition{1, 18}), area.GetCaretPosition());
    EXPECT_EQ(8 + 1 + 18, changes.count);

    Press(Keys::Home);
    Press(Keys::Back);
    EXPECT_EQ(L"select *from Win32_Process", Text());
    EXPECT_EQ((TextPosition{0, 8}), area.GetCaretPosition());
    Press(Keys::Return);
    EXPECT_EQ(L"select *\r\nfrom Win32_Process", Text());
    EXPECT_EQ((TextPosition{1, 0}), area.GetCaretPosition());
    Press(Keys::Left);
    EXPECT_EQ((TextPosition{0, 8}), area.GetCaretPosition()) << "Left at a line's start goes to the end of the last";
    Press(Keys::Delete);
    EXPECT_EQ(L"select *from Win32_Process", Text());
    Press(Keys::Return);
    Press(Keys::Return);
    EXPECT_EQ(L"select *\r\n\r\nfrom Win32_Process", Text());
    EXPECT_EQ(3, area.GetLineCount());

    // Nothing to delete before the start or after the end.
    Press(Keys::Home, Keys::Control);
    Press(Keys::Back);
    Press(Keys::End, Keys::Control);
    Press(Keys::Delete);
    EXPECT_EQ(L"select *\r\n\r\nfrom Win32_Process", Text());
    area.TextChanged.Unsubscribe(&changes.handler);
}

// Typed characters replace the selection, also one that spans lines; Ctrl+Backspace and Ctrl+Delete take words.
TEST_F(TextAreaTest, TypingReplacesASelectionAcrossLinesAndCtrlDeletesWords)
{
    area.SetText(String(L"select Name\r\nfrom Win32_Service\r\nwhere State = 'Running'"));
    area.SetSelection(TextPosition{0, 7}, TextPosition{2, 5});
    Type(L"Handle");
    EXPECT_EQ(L"select Handle State = 'Running'", Text());
    EXPECT_EQ((TextPosition{0, 13}), area.GetCaretPosition());
    EXPECT_EQ(1, area.GetLineCount());
    Press(Keys::Back, Keys::Control);
    EXPECT_EQ(L"select  State = 'Running'", Text());
    Press(Keys::Delete, Keys::Control);
    EXPECT_EQ(L"select State = 'Running'", Text());
    Press(Keys::Delete, Keys::Control);
    EXPECT_EQ(L"select Running'", Text());
}

// Tab is left to the dialog: it moves the focus on and types nothing.
TEST_F(TextAreaTest, TabMovesTheFocusOn)
{
    Type(L"a");
    Press(Keys::Tab);
    Type(L"\t");
    EXPECT_EQ(other.GetHandle(), Testing::FocusedWindow());
    EXPECT_EQ(L"a", Text());
}

// --- Moving and selecting ---

// Left and Right cross line ends; Ctrl with them stops at word starts and at line ends; Up and Down keep the
// column the movement began in across a shorter line; Ctrl+Home and Ctrl+End go to the ends of the text.
TEST_F(TextAreaTest, TheCaretMovesByCharactersWordsAndLines)
{
    area.SetText(String(L"select Name, Handle\r\nfrom\r\nWin32_Process where x"));
    Press(Keys::End);
    Press(Keys::Right);
    EXPECT_EQ((TextPosition{1, 0}), area.GetCaretPosition());
    Press(Keys::Home, Keys::Control);
    Press(Keys::Right, Keys::Control);
    EXPECT_EQ((TextPosition{0, 7}), area.GetCaretPosition());
    Press(Keys::Right, Keys::Control);
    EXPECT_EQ((TextPosition{0, 13}), area.GetCaretPosition());
    Press(Keys::Right, Keys::Control);
    EXPECT_EQ((TextPosition{0, 19}), area.GetCaretPosition()) << "the line end is a stop";
    Press(Keys::Right, Keys::Control);
    EXPECT_EQ((TextPosition{1, 0}), area.GetCaretPosition());
    Press(Keys::Left, Keys::Control);
    EXPECT_EQ((TextPosition{0, 19}), area.GetCaretPosition());
    Press(Keys::Left, Keys::Control);
    EXPECT_EQ((TextPosition{0, 13}), area.GetCaretPosition());

    // Up and Down: the same characters start each line, so the same x is the same column.
    area.SetText(String(L"abcdefghij\r\nabc\r\nabcdefghij"));
    area.SetCaretPosition(TextPosition{0, 8});
    Press(Keys::Down);
    EXPECT_EQ((TextPosition{1, 3}), area.GetCaretPosition());
    Press(Keys::Down);
    EXPECT_EQ((TextPosition{2, 8}), area.GetCaretPosition()) << "the column is kept across the shorter line";
    Press(Keys::Up);
    Press(Keys::Up);
    EXPECT_EQ((TextPosition{0, 8}), area.GetCaretPosition());
    Press(Keys::End, Keys::Control);
    EXPECT_EQ((TextPosition{2, 10}), area.GetCaretPosition());
    Press(Keys::Home, Keys::Control);
    EXPECT_EQ((TextPosition{0, 0}), area.GetCaretPosition());
}

// Shift with any movement key extends the selection from where it started; a plain arrow collapses it to its side.
TEST_F(TextAreaTest, ShiftWithTheMovementKeysExtendsTheSelection)
{
    area.SetText(String(L"select Name\r\nselect Name, Handle\r\nwhere Handle = 4"));
    area.SetCaretPosition(TextPosition{0, 7});
    Press(Keys::Right, Keys::Shift);
    Press(Keys::Right, Keys::Shift);
    EXPECT_EQ(L"Na", std::wstring(area.GetSelectedText().GetBuffer()));
    Press(Keys::Down, Keys::Shift);
    EXPECT_EQ(L"Name\r\nselect Na", std::wstring(area.GetSelectedText().GetBuffer()));
    Press(Keys::End, Keys::Shift);
    Press(Keys::Right, Keys::Shift | Keys::Control);
    EXPECT_EQ(L"Name\r\nselect Name, Handle\r\n", std::wstring(area.GetSelectedText().GetBuffer()));
    Press(Keys::End, Keys::Shift | Keys::Control);
    EXPECT_EQ(L"Name\r\nselect Name, Handle\r\nwhere Handle = 4", std::wstring(area.GetSelectedText().GetBuffer()));
    EXPECT_EQ((TextPosition{0, 7}), area.GetSelectionAnchor());
    Press(Keys::Home, Keys::Shift | Keys::Control);
    EXPECT_EQ(L"select ", std::wstring(area.GetSelectedText().GetBuffer())) << "the anchor stays where it was";
    Press(Keys::Right);
    EXPECT_FALSE(area.HasSelection());
    EXPECT_EQ((TextPosition{0, 7}), area.GetCaretPosition()) << "Right collapses to the selection's end";
    Press(Keys::A, Keys::Control);
    EXPECT_EQ(area.GetText(), area.GetSelectedText());
}

// A click puts the caret at the line and column under the mouse, dragging selects, Shift+click extends, and a
// double click selects the word under the mouse.
TEST_F(TextAreaTest, TheMouseClicksDragsAndDoubleClicksSelections)
{
    area.SetText(String(L"select Name\r\nfrom Win32_Process\r\nwhere Handle = 4"));
    int height = FontLineHeight(area);
    auto middleOf = [height](int line) { return line * height + height / 2; };
    Testing::Click(area, 1, middleOf(1));
    EXPECT_EQ((TextPosition{1, 0}), area.GetCaretPosition());
    EXPECT_FALSE(area.HasSelection());

    MouseDown(area, 1, middleOf(0));
    MouseDrag(area, 250, middleOf(1));
    MouseUp(area, 250, middleOf(1));
    EXPECT_EQ((TextPosition{0, 0}), area.GetSelectionAnchor());
    EXPECT_EQ((TextPosition{1, 18}), area.GetCaretPosition()) << "beyond the end of a line is its end";

    {
        Testing::HeldKeys shift(Keys::Shift);
        SendMessageW(area.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(250, middleOf(2)));
        MouseUp(area, 250, middleOf(2));
    }
    EXPECT_EQ(area.GetText(), area.GetSelectedText());

    // In the middle of "Win32_Process": past "from " and half the word.
    int x = FontTextWidth(area, L"from ") + FontTextWidth(area, L"Win32_Process") / 2;
    MouseDown(area, x, middleOf(1));
    MouseUp(area, x, middleOf(1));
    MouseDown(area, x, middleOf(1), WM_LBUTTONDBLCLK);
    MouseUp(area, x, middleOf(1));
    EXPECT_EQ(L"Win32_Process", std::wstring(area.GetSelectedText().GetBuffer()));
    EXPECT_EQ((TextPosition{1, 18}), area.GetCaretPosition());
}

// The selection shows in the selection colours on every line it covers while the area has the focus.
TEST_F(TextAreaTest, TheSelectionIsPaintedOnItsLinesWhileFocused)
{
    area.SetText(String(L"select Name\r\nfrom Win32_Process\r\nwhere Handle = 4"));
    int height = FontLineHeight(area);
    auto highlightOn = [&](int line)
    {
        Testing::Picture picture = Testing::Render(area, false);
        return picture.CountIn(Theme::Highlight(), 0, line * height + 4, picture.width, height - 2);
    };
    EXPECT_EQ(0, highlightOn(0) + highlightOn(1) + highlightOn(2));
    area.SetSelection(TextPosition{1, 5}, TextPosition{2, 5});
    EXPECT_EQ(0, highlightOn(0));
    EXPECT_GT(highlightOn(1), 0);
    EXPECT_GT(highlightOn(2), 0);
    other.Focus();
    EXPECT_EQ(0, highlightOn(1) + highlightOn(2));
}

// --- Clipboard and undo ---

// Copying gives the selection with CR LF between its lines, whatever breaks the text was given with; pasting takes
// any breaks. Ctrl+C, Ctrl+Insert, Ctrl+X, Shift+Delete, Ctrl+V and Shift+Insert all work.
TEST_F(TextAreaTest, TheClipboardCarriesLinesWithCrLf)
{
    area.SetText(String(L"select Name\nfrom Win32_Process\rwhere Handle = 4"));
    Press(Keys::A, Keys::Control);
    Press(Keys::C, Keys::Control);
    EXPECT_EQ(L"select Name\r\nfrom Win32_Process\r\nwhere Handle = 4", Testing::ClipboardText());

    area.SetSelection(TextPosition{0, 7}, TextPosition{1, 4});
    Press(Keys::Insert, Keys::Control);
    EXPECT_EQ(L"Name\r\nfrom", Testing::ClipboardText());
    Press(Keys::X, Keys::Control);
    EXPECT_EQ(L"select  Win32_Process\r\nwhere Handle = 4", Text());
    Press(Keys::End, Keys::Control);
    Press(Keys::V, Keys::Control);
    EXPECT_EQ(L"select  Win32_Process\r\nwhere Handle = 4Name\r\nfrom", Text());
    EXPECT_EQ((TextPosition{2, 4}), area.GetCaretPosition());

    PutOnClipboard(area, L"\nand Name = 'a'\ror Name = 'b'");
    Press(Keys::Insert, Keys::Shift);
    EXPECT_EQ(5, area.GetLineCount());
    EXPECT_EQ(L"or Name = 'b'", std::wstring(area.GetLine(4).GetBuffer()));
    area.SetSelection(TextPosition{3, 0}, TextPosition{4, 13});
    Press(Keys::Delete, Keys::Shift);
    EXPECT_EQ(L"and Name = 'a'\r\nor Name = 'b'", Testing::ClipboardText());
    EXPECT_EQ(L"select  Win32_Process\r\nwhere Handle = 4Name\r\nfrom\r\n", Text());
}

// Characters typed one after another are undone together, and so are successive Backspaces; moving the caret
// ends a group; Ctrl+Y puts back what was undone; undoing a cut brings back the text and its selection.
TEST_F(TextAreaTest, UndoTakesBackEditGroupsAndRedoPutsThemBack)
{
    EXPECT_FALSE(area.CanUndo());
    Type(L"select");
    Press(Keys::Return);
    Type(L"from");
    Press(Keys::Left);
    Type(L"x");
    EXPECT_EQ(L"select\r\nfrox", Text().substr(0, 12));
    Press(Keys::Z, Keys::Control);
    EXPECT_EQ(L"select\r\nfrom", Text());
    Press(Keys::Z, Keys::Control);
    EXPECT_EQ(L"", Text()) << "the typing before the caret moved is one group";
    EXPECT_FALSE(area.CanUndo());
    Press(Keys::Y, Keys::Control);
    EXPECT_EQ(L"select\r\nfrom", Text());
    Press(Keys::Z, Keys::Control | Keys::Shift);
    EXPECT_EQ(L"select\r\nfroxm", Text());

    Press(Keys::End, Keys::Control);
    Press(Keys::Back);
    Press(Keys::Back);
    Press(Keys::Back);
    EXPECT_EQ(L"select\r\nfr", Text());
    Press(Keys::Z, Keys::Control);
    EXPECT_EQ(L"select\r\nfroxm", Text());

    area.SetSelection(TextPosition{0, 3}, TextPosition{1, 2});
    Press(Keys::X, Keys::Control);
    EXPECT_EQ(L"seloxm", Text());
    Press(Keys::Z, Keys::Control);
    EXPECT_EQ(L"select\r\nfroxm", Text());
    EXPECT_EQ(L"ect\r\nfr", std::wstring(area.GetSelectedText().GetBuffer()));

    area.SetText(String(L"new"));
    EXPECT_FALSE(area.CanUndo()) << "a text set by code starts afresh";
}

// A read-only area takes no edit from the user, but selects and copies.
TEST_F(TextAreaTest, AReadOnlyAreaSelectsAndCopiesButTakesNoEdit)
{
    area.SetText(String(L"instance of Win32_Process\r\n{\r\n};"));
    area.SetReadOnly(true);
    Type(L"x");
    Press(Keys::Return);
    Press(Keys::Back);
    Press(Keys::Delete);
    PutOnClipboard(area, L"pasted");
    Press(Keys::V, Keys::Control);
    Press(Keys::End, Keys::Shift);
    Press(Keys::X, Keys::Control);
    EXPECT_EQ(L"instance of Win32_Process\r\n{\r\n};", Text());
    EXPECT_EQ(L"pasted", Testing::ClipboardText()) << "nothing was cut";
    Press(Keys::C, Keys::Control);
    EXPECT_EQ(L"instance of Win32_Process", Testing::ClipboardText());
    area.SetReadOnly(false);
    Press(Keys::Z, Keys::Control);
    EXPECT_EQ(L"instance of Win32_Process\r\n{\r\n};", Text()) << "there was nothing to undo";
}

// --- Many lines, scrolling ---

// After Ctrl+End a text of 10,000 lines shows exactly what a text of its last 40 lines shows after Ctrl+End.
TEST_F(TextAreaTest, CtrlEndShowsTheLastOfTenThousandLines)
{
    TextArea big;
    TextArea tail;
    big.SetBounds(320, 30, 300, 200);
    tail.SetBounds(320, 240, 300, 200);
    form.GetControls().Add(&big);
    form.GetControls().Add(&tail);
    big.SetText(ToString(NumberedLines(1, 10000)));
    tail.SetText(ToString(NumberedLines(9961, 40)));
    EXPECT_EQ(10000, big.GetLineCount());
    Testing::PressKey(big, Keys::End, Keys::Control);
    Testing::PressKey(tail, Keys::End, Keys::Control);
    EXPECT_EQ((TextPosition{9999, 10}), big.GetCaretPosition());
    ScrollBar* bar = big.GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    EXPECT_TRUE(bar->GetVisible());
    EXPECT_EQ(bar->GetMaximumValue(), bar->GetValue());
    EXPECT_EQ(10000, big.GetFirstVisibleLine() + big.GetVisibleLineCount());
    Testing::Picture shown = Testing::Render(big, false);
    EXPECT_TRUE(shown.pixels == Testing::Render(tail, false).pixels);
    EXPECT_GT(shown.CountOther(Theme::Window(), 0, 0, shown.width, shown.height), 100) << "text is drawn";

    Testing::PressKey(big, Keys::Home, Keys::Control);
    EXPECT_EQ(0, bar->GetValue());
}

// One notch of the wheel scrolls by the system's lines per notch: the view then shows what a text starting that
// many lines later shows unscrolled.
TEST_F(TextAreaTest, TheWheelScrollsByTheSystemsLinesPerNotch)
{
    UINT perNotch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
    if (perNotch == WHEEL_PAGESCROLL || perNotch == 0)
    {
        GTEST_SKIP() << "the wheel scrolls by pages here";
    }
    area.SetText(ToString(NumberedLines(1, 10000)));
    TextArea later;
    later.SetBounds(320, 30, 300, 200);
    form.GetControls().Add(&later);
    later.SetText(ToString(NumberedLines(1 + static_cast<int>(perNotch), 100)));
    RECT window;
    GetWindowRect(area.GetHandle(), &window);
    LPARAM point = MAKELPARAM(window.left + 50, window.top + 50);
    SendMessageW(area.GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), point);
    EXPECT_EQ(static_cast<int>(perNotch) * FontLineHeight(area), area.GetScrollPosition().y);
    EXPECT_TRUE(Testing::Render(area, false).pixels == Testing::Render(later, false).pixels);
    EXPECT_EQ((TextPosition{0, 0}), area.GetCaretPosition()) << "the wheel moves the view, not the caret";
    SendMessageW(area.GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), point);
    EXPECT_EQ(0, area.GetScrollPosition().y);
}

// Page Down moves the caret a page of lines on and the view with it, so the caret stays where it was on screen.
TEST_F(TextAreaTest, PageDownTurnsThePageWithTheCaret)
{
    area.SetText(ToString(NumberedLines(1, 1000)));
    area.SetCaretPosition(TextPosition{2, 3});
    POINT before = CaretPosition();
    int page = area.GetVisibleLineCount();
    EXPECT_GT(page, 5);
    Press(Keys::PageDown);
    EXPECT_EQ((TextPosition{2 + page, 3}), area.GetCaretPosition());
    EXPECT_EQ(before.y, CaretPosition().y);
    Press(Keys::PageDown, Keys::Shift);
    EXPECT_EQ((TextPosition{2 + page, 3}), area.GetSelectionAnchor());
    EXPECT_EQ((TextPosition{2 + 2 * page, 3}), area.GetCaretPosition());
    Press(Keys::PageUp);
    Press(Keys::PageUp);
    EXPECT_EQ((TextPosition{2, 3}), area.GetCaretPosition());
    EXPECT_EQ(before.y, CaretPosition().y);
}

// Typing past the right edge scrolls sideways so the caret stays in view; Home brings the start back.
TEST_F(TextAreaTest, TheCaretStaysInViewSideways)
{
    std::wstring line(120, L'W');
    Type(line.c_str());
    int width = area.GetViewportRectangle().width;
    EXPECT_GT(area.GetScrollPosition().x, 0);
    POINT caret = CaretPosition();
    EXPECT_GT(caret.x, width / 2);
    EXPECT_LT(caret.x, width);
    ASSERT_NE(nullptr, area.GetHorizontalScrollBar());
    EXPECT_TRUE(area.GetHorizontalScrollBar()->GetVisible());
    Press(Keys::Home);
    EXPECT_EQ(0, area.GetScrollPosition().x);
    EXPECT_LT(CaretPosition().x, 10);
}

// Lines that come and go move the lines below them on the screen rather than painting them again: after every such
// edit the window shows exactly what a whole paint of the area draws.
TEST_F(TextAreaTest, TheScreenShowsTheLinesBelowAnEditWhereThePaintPutsThem)
{
    area.SetText(ToString(NumberedLines(1, 1000)));
    area.SetCaretPosition(TextPosition{500, 4});
    area.SetCaretPosition(TextPosition{495, 4});
    UpdateWindow(area.GetHandle());
    Rect view = area.GetViewportRectangle();
    auto matches = [&](const char* step)
    {
        UpdateWindow(area.GetHandle());
        EXPECT_TRUE(Part(OnScreen(area), view) == Part(Testing::Render(area, false), view)) << "after " << step;
    };
    Press(Keys::Return);
    matches("Enter");
    Type(L"x");
    Press(Keys::Return);
    Press(Keys::Return);
    matches("two Enters");
    Press(Keys::Back);
    Press(Keys::Back);
    matches("Backspace joining lines");
    Press(Keys::End);
    Press(Keys::Delete);
    matches("Delete joining lines");
    area.SetSelection(TextPosition{area.GetFirstVisibleLine() + 1, 2}, TextPosition{area.GetFirstVisibleLine() + 5, 1});
    Type(L"y");
    matches("typing over four line breaks");
    EXPECT_EQ(996, area.GetLineCount());
}

// The line height follows the font: the system's by default, and one set with SetFont.
TEST_F(TextAreaTest, LinesAreAsHighAsTheFont)
{
    EXPECT_EQ(FontLineHeight(area), area.GetLineHeight());
    area.SetFont(Font(String(L"Tahoma"), 30));
    int height = FontLineHeight(area);
    EXPECT_GE(height, 30);
    EXPECT_EQ(height, area.GetLineHeight());
    area.SetText(String(L"one\r\ntwo\r\nthree"));
    Testing::Click(area, 1, 2 * height + height / 2);
    EXPECT_EQ((TextPosition{2, 0}), area.GetCaretPosition());
}

// --- Screen readers ---

// A screen reader meets a text named by its label, whose value is the text with CR LF between lines, told of every
// edit; it may set the value, unless the area is read-only.
TEST_F(TextAreaTest, AScreenReaderReadsAndSetsTheText)
{
    area.SetText(String(L"select Name\nfrom Win32_Process"));
    Accessible text = Accessible::OfWindow(area.GetHandle());
    ASSERT_TRUE(text);
    EXPECT_EQ(ROLE_SYSTEM_TEXT, text.Role());
    EXPECT_EQ(L"Query:", text.Name());
    EXPECT_EQ(L"Alt+Q", text.Shortcut());
    EXPECT_EQ(L"select Name\r\nfrom Win32_Process", text.Value());
    EXPECT_NE(0, text.State() & STATE_SYSTEM_FOCUSABLE);
    EXPECT_NE(0, text.State() & STATE_SYSTEM_FOCUSED);
    EXPECT_EQ(0, text.State() & STATE_SYSTEM_READONLY);

    Testing::recordedEvents.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                                         Testing::RecordEvent, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    Press(Keys::End, Keys::Control);
    Type(L"!");
    Testing::PumpMessages();
    UnhookWinEvent(hook);
    int told = 0;
    for (const Testing::RecordedEvent& event : Testing::TakeEvents())
    {
        told += event.window == area.GetHandle() && event.object == OBJID_CLIENT ? 1 : 0;
    }
    EXPECT_EQ(1, told);

    BSTR value = SysAllocString(L"select *\r\nfrom Win32_Service");
    EXPECT_EQ(S_OK, text->put_accValue(Self(), value));
    EXPECT_EQ(L"select *\r\nfrom Win32_Service", Text());
    EXPECT_EQ(2, area.GetLineCount());
    area.SetReadOnly(true);
    EXPECT_NE(0, text.State() & STATE_SYSTEM_READONLY);
    EXPECT_EQ(E_ACCESSDENIED, text->put_accValue(Self(), value));
    SysFreeString(value);
    EXPECT_EQ(L"select *\r\nfrom Win32_Service", Text());
}

// --- In a dialog ---

// While the area has the focus Enter makes a new line instead of pressing the dialog's accept button; a read-only
// area leaves Enter to the dialog.
TEST_F(TextAreaTest, EnterInADialogIsTheAreasUnlessItIsReadOnly)
{
    Window dialog;
    TextArea query;
    Button ok(String(L"OK"));
    Button cancel(String(L"Cancel"));
    query.SetBounds(10, 10, 200, 100);
    ok.SetBounds(10, 120, 80, 25);
    cancel.SetBounds(100, 120, 80, 25);
    dialog.GetControls().Add(&query);
    dialog.GetControls().Add(&ok);
    dialog.GetControls().Add(&cancel);
    dialog.SetAcceptButton(&ok);
    dialog.SetCancelButton(&cancel);
    Counter okClicks;
    ok.Click.Subscribe(&okClicks.handler);
    dialog.SetOwner(&form);
    dialog.Create();
    query.SetText(String(L"select *"));
    query.SetCaretPosition(TextPosition{0, 8});

    // Queued now, handled inside the dialog's own loop, as the keyboard would deliver them.
    PostMessageW(query.GetHandle(), WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(query.GetHandle(), WM_CHAR, L'\r', 1);
    PostMessageW(query.GetHandle(), WM_CHAR, L'x', 1);
    PostMessageW(query.GetHandle(), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(DialogResult::Cancel, dialog.ShowDialog(&form));
    EXPECT_EQ(0, okClicks.count);
    EXPECT_EQ(L"select *\r\nx", std::wstring(query.GetText().GetBuffer()));

    query.SetReadOnly(true);
    PostMessageW(query.GetHandle(), WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(DialogResult::OK, dialog.ShowDialog(&form));
    EXPECT_EQ(1, okClicks.count);
    EXPECT_EQ(2, query.GetLineCount());
    dialog.DestroyHandle();
}
