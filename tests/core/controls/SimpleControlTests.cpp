#include "core/controls/Button.h"
#include "core/controls/CheckBox.h"
#include "core/controls/ComboBox.h"
#include "core/controls/Form.h"
#include "core/controls/Graphics.h"
#include "core/controls/ImageList.h"
#include "core/controls/Label.h"
#include "core/controls/LinkLabel.h"
#include "core/controls/Panel.h"
#include "core/controls/PictureBox.h"
#include "core/controls/StatusBar.h"
#include "core/controls/TableLayout.h"
#include "core/controls/TextBox.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolTip.h"

#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ThrownMessage.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

#undef MessageBox

using namespace Core::Controls;
using Core::String;
using Rect = Core::Controls::Rectangle;
using Testing::ThrownMessage;

namespace
{

class SimpleControlTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetBounds(0, 0, 500, 400);
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }
    int Px(int value) { return Theme::Scale(value, form.GetDpi()); }

    Form form;
};

struct EventCounter
{
    EventCounter() : handler(this, &EventCounter::On) {}
    void On(Core::Object*, Core::EventArgs&) { count++; }
    int count = 0;
    Core::MemberEventHandler<EventCounter, Core::EventArgs> handler;
};

const Color red = Colors::FromRgb(255, 0, 0);

Rect WindowRectIn(Control& control, Control& parent)
{
    RECT rect;
    GetWindowRect(control.GetHandle(), &rect);
    MapWindowPoints(HWND_DESKTOP, parent.GetHandle(), reinterpret_cast<POINT*>(&rect), 2);
    return Rect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace

// --- TableLayout ---

TEST_F(SimpleControlTest, TableLayoutGivesAbsoluteTracksTheirSizeAndPercentagesTheRest)
{
    TableLayout layout;
    layout.SetDock(DockStyle::Fill);
    form.GetControls().Add(&layout);
    layout.AddColumn(SizeType::Absolute, 100);
    layout.AddColumn(SizeType::Percent, 30);
    layout.AddColumn(SizeType::Percent, 70);
    layout.AddRow(SizeType::Absolute, 26);
    layout.AddRow(SizeType::Percent, 100);
    layout.AddRow(SizeType::Absolute, 23);
    Panel top;
    Panel left;
    Panel middle;
    Panel right;
    Panel bottom;
    layout.SetCell(&top, 0, 0, 1, 3);
    layout.SetCell(&left, 1, 0);
    layout.SetCell(&middle, 1, 1);
    layout.SetCell(&right, 1, 2);
    layout.SetCell(&bottom, 2, 0, 1, 3);
    right.SetMargin(Padding{2, 3, 4, 5});
    form.Show();

    RECT client;
    GetClientRect(form.GetHandle(), &client);
    int width = client.right;
    int height = client.bottom;
    int rest = width - Px(100);
    int middleWidth = (rest * 30 + 50) / 100;
    EXPECT_EQ((Rect{0, 0, width, Px(26)}), WindowRectIn(top, layout));
    EXPECT_EQ((Rect{0, Px(26), Px(100), height - Px(26) - Px(23)}), WindowRectIn(left, layout));
    EXPECT_EQ((Rect{Px(100), Px(26), middleWidth, height - Px(49)}), WindowRectIn(middle, layout));
    EXPECT_EQ((Rect{Px(100) + middleWidth + Px(2), Px(26) + Px(3), width - Px(100) - middleWidth - Px(6),
                    height - Px(49) - Px(8)}),
              WindowRectIn(right, layout));
    EXPECT_EQ((Rect{0, height - Px(23), width, Px(23)}), WindowRectIn(bottom, layout));

    // Resizing the form lays the cells out again.
    form.SetSize(600, 450);
    GetClientRect(form.GetHandle(), &client);
    EXPECT_EQ(client.right, WindowRectIn(bottom, layout).width);
    EXPECT_EQ(client.bottom - Px(23), WindowRectIn(bottom, layout).top);
}

TEST_F(SimpleControlTest, TableLayoutPercentagesFillTheirShareWithoutGaps)
{
    TableLayout layout;
    for (int i = 0; i < 3; i++)
    {
        layout.AddColumn(SizeType::Percent, i == 2 ? 34 : 33);
    }
    layout.AddRow(SizeType::Percent, 100);
    form.GetControls().Add(&layout);
    layout.SetDeviceBounds(Rect{0, 0, 301, 50});
    form.Show();
    layout.SetDeviceBounds(Rect{0, 0, 301, 50});
    Rect first = layout.GetCellBounds(0, 0);
    Rect second = layout.GetCellBounds(0, 1);
    Rect third = layout.GetCellBounds(0, 2);
    EXPECT_EQ(first.GetRight(), second.left);
    EXPECT_EQ(second.GetRight(), third.left);
    EXPECT_EQ(301, third.GetRight());
    EXPECT_EQ(301, layout.GetCellBounds(0, 0, 1, 3).width);
    // A span past the last column ends at the grid's edge.
    EXPECT_EQ(third.GetRight(), layout.GetCellBounds(0, 2, 1, 5).GetRight());
}

TEST_F(SimpleControlTest, TableLayoutRejectsBadCellsAndForgetsRemovedChildren)
{
    TableLayout layout;
    layout.AddColumn(SizeType::Percent, 100);
    layout.AddRow(SizeType::Percent, 100);
    Label label(String(L"Text"));
    EXPECT_EQ(L"TableLayout.SetCell method - cell out of range", ThrownMessage([&] { layout.SetCell(&label, -1, 0); }));
    EXPECT_EQ(L"TableLayout.SetCell method - cell out of range",
              ThrownMessage([&] { layout.SetCell(&label, 0, 0, 0, 1); }));
    EXPECT_EQ(nullptr, label.GetParent());
    {
        Label temporary(String(L"Gone"));
        layout.SetCell(&temporary, 0, 0);
        EXPECT_EQ(&layout, temporary.GetParent());
    }
    form.GetControls().Add(&layout);
    form.Show();
    layout.PerformLayout();
    EXPECT_EQ(0, layout.GetControls().GetCount());
}

// --- Label, LinkLabel, PictureBox ---

TEST_F(SimpleControlTest, ALabelsMnemonicFocusesTheControlAfterIt)
{
    Label serverLabel(String(L"&Server:"));
    TextBox server;
    Label userLabel(String(L"&User:"));
    TextBox user;
    for (Control* control : {static_cast<Control*>(&serverLabel), static_cast<Control*>(&server),
                             static_cast<Control*>(&userLabel), static_cast<Control*>(&user)})
    {
        form.GetControls().Add(control);
    }
    form.Show();
    server.Focus();
    Testing::PressKey(form, 'U', Keys::Alt);
    EXPECT_TRUE(user.IsFocused());
    Testing::PressKey(form, 'S', Keys::Alt);
    EXPECT_TRUE(server.IsFocused());
    EXPECT_FALSE(serverLabel.GetTabStop());
}

// A letter typed in a drop-down list picks its next entry starting with that letter, as in a system list, even
// when a label of the window has the letter as its access key; Alt and the letter is the label's.
TEST_F(SimpleControlTest, ALetterTypedInADropDownListIsTheListsNotALabelsAccessKey)
{
    Label directoryLabel(String(L"Report &default directory:"));
    TextBox directory;
    Label targetLabel(String(L"Report &results:"));
    ComboBox target;
    target.AddItem(String(L"Displayed on the screen"), 1);
    target.AddItem(String(L"Opened in Excel spreadsheet"), 2);
    for (Control* control : {static_cast<Control*>(&directoryLabel), static_cast<Control*>(&directory),
                             static_cast<Control*>(&targetLabel), static_cast<Control*>(&target)})
    {
        form.GetControls().Add(control);
    }
    form.Show();
    target.Focus();
    target.SetSelectedIndex(1);
    Testing::TypeText(target.GetHandle(), L"d");
    EXPECT_TRUE(target.IsFocused());
    EXPECT_EQ(0, target.GetSelectedIndex());
    Testing::PressKey(form, 'D', Keys::Alt);
    EXPECT_TRUE(directory.IsFocused());
    EXPECT_EQ(0, target.GetSelectedIndex());
}

TEST_F(SimpleControlTest, ALabelDrawsItsTextInItsColourAndGreyWhenDisabled)
{
    Label label(String(L"WWWW"));
    label.SetForeColor(red);
    label.SetFont(Font(String(L"Tahoma"), 20, Font::Bold));
    label.SetBounds(0, 0, 200, 40);
    form.GetControls().Add(&label);
    form.Show();
    EXPECT_GT(Testing::Render(label).Count(red), 50);
    label.SetEnabled(false);
    Testing::Picture disabled = Testing::Render(label);
    EXPECT_EQ(0, disabled.Count(red));
    EXPECT_GT(disabled.Count(Theme::GrayText()), 50);
}

TEST_F(SimpleControlTest, ALinkOpensItsTextWithTheUrlHandler)
{
    Testing::RecordingDesktop desktop;
    LinkLabel link(String(L"https://quarrow.example/"));
    link.SetBounds(0, 0, 250, 20);
    form.GetControls().Add(&link);
    form.Show();
    Testing::Click(link, Px(5), Px(10));
    ASSERT_EQ(1u, desktop.launches.size());
    EXPECT_EQ(form.GetHandle(), desktop.launches[0].owner);
    EXPECT_EQ(L"open", desktop.launches[0].operation);
    EXPECT_EQ(L"rundll32.exe", desktop.launches[0].file);
    EXPECT_EQ(L"url.dll,FileProtocolHandler https://quarrow.example/", desktop.launches[0].parameters);
    EXPECT_EQ(SW_SHOWNORMAL, desktop.launches[0].showCommand);

    link.Focus();
    Testing::PressKey(link, Keys::Return);
    EXPECT_EQ(2u, desktop.launches.size());
    // A click beyond the end of the text is not on the link.
    Testing::Click(link, Px(245), Px(10));
    EXPECT_EQ(2u, desktop.launches.size());

    desktop.executeResult = 2;
    desktop.whileExecuting = [] { SetLastError(ERROR_FILE_NOT_FOUND); };
    wchar_t system[256] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND, 0, system,
                   256, nullptr);
    // The system's text without the line break it ends with.
    std::wstring expected = system;
    expected.erase(expected.find_last_not_of(L"\r\n ") + 1);
    EXPECT_EQ(expected, ThrownMessage([&] { link.OpenLink(); }));
}

TEST_F(SimpleControlTest, APictureBoxShowsABitmapResourceAtItsSize)
{
    PictureBox picture;
    form.GetControls().Add(&picture);
    EXPECT_EQ(L"Failed to load image from resource 999", ThrownMessage([&] { picture.SetImage(999, 10, 10); }));
    picture.SetImage(202, 40, 30);
    form.Show();
    EXPECT_EQ((Rect{0, 0, 40, 30}), picture.GetBounds());
    Testing::Picture shown = Testing::Render(picture);
    EXPECT_EQ(Px(40), shown.width);
    EXPECT_EQ(Colors::FromRgb(0, 128, 255), shown.At(shown.width / 2, shown.height / 2));
}

// --- Button and CheckBox ---

TEST_F(SimpleControlTest, AButtonClicksOnSpaceReleaseAndOnEnterAndShowsHover)
{
    Button button(String(L"Go"));
    form.GetControls().Add(&button);
    EventCounter clicks;
    button.Click.Subscribe(&clicks.handler);
    form.Show();
    button.Focus();
    SendMessageW(button.GetHandle(), WM_KEYDOWN, VK_SPACE, 1);
    EXPECT_TRUE(button.IsPressed());
    EXPECT_EQ(0, clicks.count) << "a button clicks when Space is released";
    SendMessageW(button.GetHandle(), WM_KEYUP, VK_SPACE, 0xC0000001);
    EXPECT_EQ(1, clicks.count);
    Testing::PressKey(button, Keys::Return);
    EXPECT_EQ(2, clicks.count);

    // Pressed with the mouse and released outside: no click.
    SendMessageW(button.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button.GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(500, 5));
    EXPECT_FALSE(button.IsPressed());
    SendMessageW(button.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
    EXPECT_EQ(2, clicks.count);

    SendMessageW(button.GetHandle(), WM_MOUSELEAVE, 0, 0);
    form.Focus();
    int normal = Testing::Render(button).Count(Theme::HoverFill());
    Testing::MouseMove(button, 5, 5);
    int hovered = Testing::Render(button).Count(Theme::HoverFill());
    EXPECT_EQ(0, normal);
    EXPECT_GT(hovered, Px(60) * Px(15));
}

TEST_F(SimpleControlTest, ACheckBoxTogglesByClickSpaceAndMnemonic)
{
    CheckBox check(String(L"Load data &asyncronously"));
    check.SetBounds(0, 0, 250, 23);
    form.GetControls().Add(&check);
    EventCounter changes;
    check.CheckedChanged.Subscribe(&changes.handler);
    form.Show();
    Testing::Click(check, 5, 5);
    EXPECT_TRUE(check.GetChecked());
    Testing::PressKey(check, Keys::Space);
    EXPECT_FALSE(check.GetChecked());
    Testing::PressKey(form, 'A', Keys::Alt);
    EXPECT_TRUE(check.GetChecked());
    EXPECT_EQ(3, changes.count);
    check.SetChecked(true);
    EXPECT_EQ(3, changes.count) << "no change, no event";

    // The mark is drawn in the window text colour inside the box.
    form.Focus();
    int box = Px(13);
    int checked = Testing::Render(check).CountIn(Theme::WindowText(), 0, 0, box + Px(2), Px(23));
    check.SetChecked(false);
    int unchecked = Testing::Render(check).CountIn(Theme::WindowText(), 0, 0, box + Px(2), Px(23));
    EXPECT_GT(checked, unchecked + box);

    check.SetEnabled(false);
    Testing::Click(check, 5, 5);
    EXPECT_FALSE(check.GetChecked());
}

// --- ComboBox ---

TEST_F(SimpleControlTest, AComboBoxSelectsWithArrowsAndLettersWhileClosed)
{
    ComboBox combo;
    form.GetControls().Add(&combo);
    combo.AddItem(String(L"Displayed on the screen"), 1);
    combo.AddItem(String(L"Opened in Excel spreadsheet"), 2);
    combo.AddItem(String(L"Opened in Notepad (tab delemited)"), 3);
    combo.AddItem(String(L"Opened in Notepad (comma delemited)"), 4);
    EventCounter changes;
    combo.SelectedIndexChanged.Subscribe(&changes.handler);
    form.Show();
    combo.Focus();
    EXPECT_EQ(-1, combo.GetSelectedIndex());
    Testing::PressKey(combo, Keys::Down);
    EXPECT_EQ(0, combo.GetSelectedIndex());
    Testing::PressKey(combo, Keys::End);
    EXPECT_EQ(3, combo.GetSelectedIndex());
    EXPECT_EQ(4, combo.GetSelectedItem()->GetValue());
    Testing::TypeText(combo.GetHandle(), L"o");
    EXPECT_EQ(1, combo.GetSelectedIndex()) << "the next entry starting with O, round the end";
    Testing::TypeText(combo.GetHandle(), L"d");
    EXPECT_EQ(0, combo.GetSelectedIndex());
    EXPECT_EQ(4, changes.count);
    EXPECT_EQ(L"ComboBox.SetSelectedIndex method - index out of range",
              ThrownMessage([&] { combo.SetSelectedIndex(4); }));

    // Removing the selected entry leaves none selected; removing one before it moves the index.
    combo.SetSelectedIndex(2);
    combo.GetItems().RemoveAt(0);
    EXPECT_EQ(1, combo.GetSelectedIndex());
    combo.GetItems().RemoveAt(1);
    EXPECT_EQ(-1, combo.GetSelectedIndex());
}

TEST_F(SimpleControlTest, AComboBoxListOpensChoosesAndCloses)
{
    ComboBox combo;
    Button other(String(L"Other"));
    form.GetControls().Add(&combo);
    form.GetControls().Add(&other);
    other.SetLocation(0, 100);
    for (const wchar_t* text : {L"One", L"Two", L"Three"})
    {
        combo.AddItem(String(text));
    }
    combo.SetSelectedIndex(0);
    form.Show();
    combo.Focus();

    Testing::PressKey(combo, Keys::F4);
    ASSERT_TRUE(combo.IsDroppedDown());
    EXPECT_TRUE(IsWindowVisible(combo.GetDropDown()->GetHandle()));
    EXPECT_EQ(0, combo.GetDropDown()->GetHotIndex());
    Testing::PressKey(combo, Keys::Down);
    Testing::PressKey(combo, Keys::Down);
    EXPECT_EQ(0, combo.GetSelectedIndex()) << "moving in the open list selects nothing yet";
    Testing::PressKey(combo, Keys::Return);
    EXPECT_FALSE(combo.IsDroppedDown());
    EXPECT_EQ(2, combo.GetSelectedIndex());

    Testing::PressKey(combo, Keys::Down, Keys::Alt);
    ASSERT_TRUE(combo.IsDroppedDown());
    Testing::PressKey(combo, Keys::Up);
    Testing::PressKey(combo, Keys::Escape);
    EXPECT_FALSE(combo.IsDroppedDown());
    EXPECT_EQ(2, combo.GetSelectedIndex()) << "Esc keeps the old selection";

    // A click on an entry of the list chooses it; a click elsewhere only closes the list.
    Testing::Click(combo, 5, 5);
    ASSERT_TRUE(combo.IsDroppedDown());
    DropDown& list = *combo.GetDropDown();
    int row = list.GetItemHeight();
    SendMessageW(list.GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, row + row / 2));
    SendMessageW(list.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, row + row / 2));
    SendMessageW(list.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(5, row + row / 2));
    EXPECT_FALSE(combo.IsDroppedDown());
    EXPECT_EQ(1, combo.GetSelectedIndex());
    EventCounter otherClicks;
    other.Click.Subscribe(&otherClicks.handler);
    Testing::Click(combo, 5, 5);
    ASSERT_TRUE(combo.IsDroppedDown());
    Testing::Click(other, 5, 5);
    EXPECT_FALSE(combo.IsDroppedDown());
    EXPECT_EQ(0, otherClicks.count) << "the click that closes the list does nothing else";
    EXPECT_EQ(1, combo.GetSelectedIndex());
}

// --- TextBox ---

TEST_F(SimpleControlTest, ATextBoxTakesTypingAndMovesTheCaretAndSelection)
{
    TextBox box;
    form.GetControls().Add(&box);
    form.Show();
    box.Focus();
    Testing::TypeText(box.GetHandle(), L"Local Machine");
    EXPECT_STREQ(L"Local Machine", box.GetText().GetBuffer());
    EXPECT_EQ(13, box.GetCaretIndex());
    Testing::PressKey(box, Keys::Home);
    Testing::PressKey(box, Keys::Right, Keys::Shift);
    Testing::PressKey(box, Keys::Right, Keys::Shift);
    EXPECT_STREQ(L"Lo", box.GetSelectedText().GetBuffer());
    Testing::PressKey(box, Keys::Right, Keys::Control | Keys::Shift);
    EXPECT_STREQ(L"Local ", box.GetSelectedText().GetBuffer());
    Testing::TypeText(box.GetHandle(), L"Remote ");
    EXPECT_STREQ(L"Remote Machine", box.GetText().GetBuffer());
    Testing::PressKey(box, Keys::Back);
    Testing::PressKey(box, Keys::Home);
    Testing::PressKey(box, Keys::Delete);
    EXPECT_STREQ(L"emoteMachine", box.GetText().GetBuffer());
    Testing::PressKey(box, 'A', Keys::Control);
    EXPECT_EQ(12, box.GetSelectionLength());
    Testing::PressKey(box, Keys::Delete);
    EXPECT_TRUE(box.GetText().IsEmpty());
}

TEST_F(SimpleControlTest, ATextBoxSelectsWithTheMouse)
{
    TextBox box(String(L"alpha beta gamma"));
    box.SetBounds(0, 0, 300, 23);
    form.GetControls().Add(&box);
    form.Show();
    Testing::Click(box, Px(2), 5);
    EXPECT_TRUE(box.IsFocused());
    EXPECT_EQ(0, box.GetSelectionLength()) << "a click places the caret";
    EXPECT_EQ(0, box.GetCaretIndex());
    // Dragging to the far right selects to the end.
    SendMessageW(box.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(Px(2), 5));
    SendMessageW(box.GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(Px(290), 5));
    SendMessageW(box.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(Px(290), 5));
    EXPECT_STREQ(L"alpha beta gamma", box.GetSelectedText().GetBuffer());
    // A double click selects the word under the mouse.
    Testing::Click(box, Px(2), 5);
    Testing::PressKey(box, Keys::Right, Keys::Control);
    SendMessageW(box.GetHandle(), WM_KEYDOWN, VK_RIGHT, 1);
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, box.GetFontHandle());
    SIZE prefix;
    GetTextExtentPoint32W(screen, L"alpha be", 8, &prefix);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    SendMessageW(box.GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(Px(4) + prefix.cx, 5));
    EXPECT_STREQ(L"beta", box.GetSelectedText().GetBuffer());
}

TEST_F(SimpleControlTest, ATextBoxCutsCopiesPastesAndUndoesItsLastEdit)
{
    TextBox box(String(L"server01"));
    TextBox other;
    form.GetControls().Add(&box);
    form.GetControls().Add(&other);
    other.SetLocation(0, 50);
    form.Show();
    box.Focus(); // by keyboard: all selected
    EXPECT_EQ(8, box.GetSelectionLength());
    Testing::PressKey(box, 'C', Keys::Control);
    other.Focus();
    Testing::PressKey(other, 'V', Keys::Control);
    Testing::PressKey(other, 'V', Keys::Control);
    EXPECT_STREQ(L"server01server01", other.GetText().GetBuffer());
    box.Focus();
    box.SetSelection(0, 6);
    Testing::PressKey(box, 'X', Keys::Control);
    EXPECT_STREQ(L"01", box.GetText().GetBuffer());
    Testing::PressKey(box, Keys::End);
    Testing::PressKey(box, Keys::Insert, Keys::Shift);
    EXPECT_STREQ(L"01server", box.GetText().GetBuffer());

    // Undo takes back the last edit only; undoing again brings it back.
    Testing::PressKey(box, 'Z', Keys::Control);
    EXPECT_STREQ(L"01", box.GetText().GetBuffer());
    Testing::PressKey(box, 'Z', Keys::Control);
    EXPECT_STREQ(L"01server", box.GetText().GetBuffer());
    // Typing one character after another is one edit.
    Testing::TypeText(box.GetHandle(), L"-x64");
    Testing::PressKey(box, 'Z', Keys::Control);
    EXPECT_STREQ(L"01server", box.GetText().GetBuffer());
    EXPECT_TRUE(box.CanUndo());
    box.SetText(String(L"fresh"));
    EXPECT_FALSE(box.CanUndo());
}

// Word moves and deletes stop at word starts and ends; a selection gives way to a plain arrow at its edge; a
// password box moves and deletes one character at a time, so its keys tell nothing of the password's words.
TEST_F(SimpleControlTest, ATextBoxDeletesByWordsAndCollapsesItsSelectionByArrows)
{
    TextBox box(String(L"alpha beta gamma"));
    form.GetControls().Add(&box);
    form.Show();
    box.Focus();
    box.SetSelection(6, 4);
    Testing::PressKey(box, Keys::Left);
    EXPECT_EQ(6, box.GetCaretIndex());
    EXPECT_EQ(0, box.GetSelectionLength());
    box.SetSelection(6, 4);
    Testing::PressKey(box, Keys::Right);
    EXPECT_EQ(10, box.GetCaretIndex());
    EXPECT_EQ(0, box.GetSelectionLength());

    Testing::PressKey(box, Keys::Back, Keys::Control);
    EXPECT_STREQ(L"alpha  gamma", box.GetText().GetBuffer());
    Testing::PressKey(box, Keys::Delete, Keys::Control);
    EXPECT_STREQ(L"alpha gamma", box.GetText().GetBuffer()) << "from between words, up to the next word";
    Testing::PressKey(box, Keys::Delete, Keys::Control);
    EXPECT_STREQ(L"alpha ", box.GetText().GetBuffer());
    Testing::PressKey(box, Keys::Delete);
    EXPECT_STREQ(L"alpha ", box.GetText().GetBuffer()) << "Delete at the end removes nothing";
    Testing::PressKey(box, Keys::Home);
    Testing::PressKey(box, Keys::Back);
    EXPECT_STREQ(L"alpha ", box.GetText().GetBuffer()) << "Backspace at the start removes nothing";

    // Ctrl+Insert copies, Shift+Delete cuts, Shift+Insert pastes.
    box.SetSelection(0, 5);
    Testing::PressKey(box, Keys::Insert, Keys::Control);
    Testing::PressKey(box, Keys::End);
    Testing::PressKey(box, Keys::Insert, Keys::Shift);
    EXPECT_STREQ(L"alpha alpha", box.GetText().GetBuffer());
    box.SetSelection(0, 6);
    Testing::PressKey(box, Keys::Delete, Keys::Shift);
    EXPECT_STREQ(L"alpha", box.GetText().GetBuffer());
    Testing::PressKey(box, Keys::Insert, Keys::Shift);
    EXPECT_STREQ(L"alpha alpha", box.GetText().GetBuffer());

    TextBox password(String(L"two words"));
    password.SetPasswordChar(L'*');
    form.GetControls().Add(&password);
    password.Focus();
    Testing::PressKey(password, Keys::End);
    Testing::PressKey(password, Keys::Left, Keys::Control);
    EXPECT_EQ(8, password.GetCaretIndex());
    Testing::PressKey(password, Keys::Back, Keys::Control);
    EXPECT_STREQ(L"two wors", password.GetText().GetBuffer());
    Testing::PressKey(password, Keys::Home);
    Testing::PressKey(password, Keys::Delete, Keys::Control);
    EXPECT_STREQ(L"wo wors", password.GetText().GetBuffer());
}

// Any process can read a window's text: a password box leaves its native window empty, also when it becomes one
// after text was typed, and hands the text back once it is a plain box again.
TEST_F(SimpleControlTest, APasswordStaysOutOfTheNativeWindow)
{
    auto nativeText = [](TextBox& box)
    {
        wchar_t text[64] = {};
        GetWindowTextW(static_cast<HWND>(box.GetHandle()), text, 64);
        return std::wstring(text);
    };
    TextBox password(String(L"before"));
    form.GetControls().Add(&password);
    form.Show();
    EXPECT_EQ(L"before", nativeText(password));
    password.SetPasswordChar(L'*');
    EXPECT_EQ(L"", nativeText(password));
    password.Focus();
    Testing::PressKey(password, Keys::End);
    Testing::TypeText(password.GetHandle(), L"12");
    Testing::PressKey(password, Keys::Back);
    Testing::PressKey(password, 'Z', Keys::Control);
    EXPECT_STREQ(L"before12", password.GetText().GetBuffer()) << "undo brings back what Backspace removed";
    EXPECT_EQ(L"", nativeText(password));
    password.ResetPasswordChar();
    EXPECT_EQ(L"before12", nativeText(password));
}

TEST_F(SimpleControlTest, APasswordBoxShowsItsCharacterAndNeverCopies)
{
    TextBox password;
    form.GetControls().Add(&password);
    EXPECT_EQ(L"TextBox.SetPasswordChar method: password character must be a valid character with ASCII code > 31",
              ThrownMessage([&] { password.SetPasswordChar(31); }));
    EXPECT_EQ(L"TextBox.SetPasswordChar method: password character must be a valid character with ASCII code > 31",
              ThrownMessage([&] { password.SetPasswordChar(0); }));
    password.SetPasswordChar(L'*');
    form.Show();
    password.Focus();
    Testing::TypeText(password.GetHandle(), L"secret");
    EXPECT_STREQ(L"secret", password.GetText().GetBuffer());
    EXPECT_STREQ(L"******", password.GetDisplayText().GetBuffer());

    // What the clipboard held stays; the password is not copied or cut.
    TextBox plain(String(L"clipboard"));
    form.GetControls().Add(&plain);
    plain.SelectAll();
    plain.Focus();
    Testing::PressKey(plain, 'C', Keys::Control);
    password.Focus();
    Testing::PressKey(password, 'C', Keys::Control);
    Testing::PressKey(password, 'X', Keys::Control);
    EXPECT_STREQ(L"secret", password.GetText().GetBuffer());
    plain.Focus();
    Testing::PressKey(plain, Keys::End);
    Testing::PressKey(plain, 'V', Keys::Control);
    EXPECT_STREQ(L"clipboardclipboard", plain.GetText().GetBuffer());

    // The rendered field is the picture of six asterisks.
    plain.Focus();
    Testing::Picture shown = Testing::Render(password);
    password.ResetPasswordChar();
    password.SetText(String(L"******"));
    Testing::Picture stars = Testing::Render(password);
    EXPECT_TRUE(stars.pixels == shown.pixels);
    password.SetText(String(L"secret"));
    EXPECT_FALSE(Testing::Render(password).pixels == shown.pixels);
    EXPECT_GT(shown.CountOther(Theme::Window(), Px(3), Px(3), shown.width - Px(6), shown.height - Px(6)), 10);
}

TEST_F(SimpleControlTest, ATextBoxRejectsBadPositions)
{
    TextBox box(String(L"abc"));
    form.GetControls().Add(&box);
    form.Show();
    box.SetCaret2DPosition(0, 1);
    EXPECT_EQ(1, box.GetCaretIndex());
    EXPECT_EQ(L"TextBox.SetCaret2DPosition:: lineNumber is out of range.",
              ThrownMessage([&] { box.SetCaret2DPosition(1, 0); }));
    EXPECT_EQ(L"TextBox.SetCaret2DPosition:: charIndex is out of range.",
              ThrownMessage([&] { box.SetCaret2DPosition(0, 4); }));
    EXPECT_EQ(L"TextBox.SetSelection method has invalid arguments.", ThrownMessage([&] { box.SetSelection(2, 2); }));
    EXPECT_EQ(L"TextBox.SetSelection method has invalid arguments.", ThrownMessage([&] { box.SetSelection(-1, 1); }));
    EXPECT_EQ(1, box.GetCaretIndex());
    box.SetMaxLength(5);
    box.SetSelection(3, 0);
    Testing::TypeText(box.GetHandle(), L"defg");
    EXPECT_STREQ(L"abcde", box.GetText().GetBuffer());
}

// --- ToolTip and StatusBar ---

TEST_F(SimpleControlTest, AToolTipAppearsWhenTheMouseRestsAndGoesWhenItLeaves)
{
    ToolTip tip;
    tip.SetInitialDelay(10);
    Button button(String(L"User"));
    form.GetControls().Add(&button);
    tip.SetToolTip(
        &button,
        String(L"Enter your administrative user ID in format Domain\\UserID\n\r or just UserID for current domain."));
    form.Show();
    Testing::MouseMove(button, 5, 5);
    for (int i = 0; i < 100 && !tip.IsShowing(); i++)
    {
        Sleep(5);
        Testing::PumpMessages();
    }
    ASSERT_TRUE(tip.IsShowing());
    EXPECT_STREQ(L"Enter your administrative user ID in format Domain\\UserID\n or just UserID for current domain.",
                 tip.GetShownText().GetBuffer());
    SendMessageW(button.GetHandle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(tip.IsShowing());
    tip.SetToolTip(&button, String());
    EXPECT_TRUE(tip.GetToolTip(&button).IsEmpty());
}

TEST_F(SimpleControlTest, AStatusBarSizesItsPanelsAndRepaintsATextAtOnce)
{
    StatusBar status;
    status.SetDock(DockStyle::Bottom);
    form.GetControls().Add(&status);
    StatusBarPanel* state = status.AddPanel(String(L"Loading completed. 12 records"));
    StatusBarPanel* config = status.AddPanel(String(), StatusBarPanelAutoSize::None, 160);
    StatusBarPanel* mode = status.AddPanel(String(L"Async"), StatusBarPanelAutoSize::Contents);
    config->SetForeColor(Colors::FromRgb(255, 0, 0));
    form.Show();
    Rect client = status.GetClientRectangle();
    Rect first = status.GetPanelBounds(0);
    Rect second = status.GetPanelBounds(1);
    Rect third = status.GetPanelBounds(2);
    EXPECT_EQ(Px(160), second.width);
    EXPECT_EQ(first.GetRight(), second.left);
    EXPECT_EQ(second.GetRight(), third.left);
    EXPECT_LT(third.width, Px(80));
    EXPECT_GE(client.width - third.GetRight(), 0);
    EXPECT_LE(client.width - third.GetRight(), Px(16)) << "the spring panel takes all but the grip";

    EXPECT_EQ(0, Testing::Render(status).CountIn(red, second.left, 0, second.width, client.height));
    config->SetText(String(L"Config file does not exist"));
    EXPECT_GT(Testing::Render(status).CountIn(red, second.left, 0, second.width, client.height), 20);
    EXPECT_STREQ(L"Async", mode->GetText().GetBuffer());
    (void)state;
}

// A panel too narrow for its text shows the whole text in a tool tip while the mouse rests on it; the tip follows
// the text as it changes and goes when the text fits. A text that fits has no tip.
TEST_F(SimpleControlTest, AStatusPanelShowsACutTextWholeInAToolTip)
{
    StatusBar status;
    status.SetDock(DockStyle::Bottom);
    form.GetControls().Add(&status);
    status.AddPanel(String(L"Ready"));
    StatusBarPanel* config = status.AddPanel(String(), StatusBarPanelAutoSize::None, 120);
    form.Show();
    const wchar_t* cut = L"Configuration xml file is empty or has invalid structure";
    config->SetText(String(cut));
    EXPECT_STREQ(cut, status.GetCutText(1).GetBuffer());
    EXPECT_TRUE(status.GetCutText(0).IsEmpty());
    auto waitForTip = [&]
    {
        for (int i = 0; i < 200 && (status.GetToolTip() == nullptr || !status.GetToolTip()->IsShowing()); i++)
        {
            Sleep(5);
            Testing::PumpMessages();
        }
        return status.GetToolTip() != nullptr && status.GetToolTip()->IsShowing();
    };
    Rect first = status.GetPanelBounds(0);
    Rect second = status.GetPanelBounds(1);
    Testing::MouseMove(status, first.left + 5, 5);
    EXPECT_FALSE(waitForTip()) << "a text that fits has no tip";
    Testing::MouseMove(status, second.left + 5, 5);
    ASSERT_TRUE(waitForTip());
    EXPECT_STREQ(cut, status.GetToolTip()->GetShownText().GetBuffer());
    config->SetText(String(L"Loading ...12000 records ready, and a long way to go"));
    EXPECT_TRUE(status.GetToolTip()->IsShowing());
    EXPECT_STREQ(L"Loading ...12000 records ready, and a long way to go",
                 status.GetToolTip()->GetShownText().GetBuffer());
    config->SetText(String(L"Done"));
    EXPECT_FALSE(status.GetToolTip()->IsShowing());
    SendMessageW(status.GetHandle(), WM_MOUSELEAVE, 0, 0);
    config->SetText(String(cut));
    EXPECT_FALSE(waitForTip()) << "no tip once the mouse has left";
}

namespace
{

// Waits for the bar's tip to show; false when it does not within a second.
bool WaitForStatusTip(StatusBar& status)
{
    for (int i = 0; i < 200 && (status.GetToolTip() == nullptr || !status.GetToolTip()->IsShowing()); i++)
    {
        Sleep(5);
        Testing::PumpMessages();
    }
    return status.GetToolTip() != nullptr && status.GetToolTip()->IsShowing();
}

} // namespace

// A path in a status text is drawn with its ampersands as they are, so it is measured with them: a panel sized to
// its contents holds all of it, and a fixed panel too narrow for it shows the whole path in a tip.
TEST_F(SimpleControlTest, AStatusPanelMeasuresAPathWithAmpersandsAsItIsDrawn)
{
    StatusBar status;
    status.SetDock(DockStyle::Bottom);
    form.GetControls().Add(&status);
    std::wstring path = L"C:\\R&D\\" + std::wstring(24, L'&') + L"\\view.xml";
    status.AddPanel(String(path.c_str()), StatusBarPanelAutoSize::Contents);
    StatusBarPanel* fixed = status.AddPanel(String());
    form.Show();
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, status.GetFontHandle());
    SIZE whole;
    SIZE ampersand;
    GetTextExtentPoint32W(screen, path.c_str(), static_cast<int>(path.size()), &whole);
    GetTextExtentPoint32W(screen, L"&", 1, &ampersand);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    EXPECT_GE(status.GetPanelBounds(0).width, whole.cx) << "the panel holds the text with every ampersand";
    EXPECT_TRUE(status.GetCutText(0).IsEmpty());

    // Read with "&" as a mnemonic mark, the path would be 13 ampersands narrower and seem to fit.
    fixed->SetAutoSize(StatusBarPanelAutoSize::None);
    fixed->SetWidth(MulDiv(whole.cx - 6 * ampersand.cx, 96, form.GetDpi()));
    fixed->SetText(String(path.c_str()));
    EXPECT_STREQ(path.c_str(), status.GetCutText(1).GetBuffer());
    Rect bounds = status.GetPanelBounds(1);
    Testing::MouseMove(status, bounds.left + 5, 5);
    ASSERT_TRUE(WaitForStatusTip(status));
    EXPECT_STREQ(path.c_str(), status.GetToolTip()->GetShownText().GetBuffer());
}

// The mouse resting on a panel while the form is resized: a text cut by the new width gets its tip without the
// mouse moving, and the tip goes when the text fits again.
TEST_F(SimpleControlTest, AStatusTipFollowsThePanelsWidth)
{
    StatusBar status;
    status.SetDock(DockStyle::Bottom);
    form.GetControls().Add(&status);
    const wchar_t* loading = L"Loading ...12000 records ready";
    status.AddPanel(String(loading));
    status.AddPanel(String(L"Async"), StatusBarPanelAutoSize::None, 100);
    form.Show();
    Testing::MouseMove(status, 5, 5);
    EXPECT_FALSE(WaitForStatusTip(status)) << "the text fits";
    form.SetWidth(220);
    ASSERT_STREQ(loading, status.GetCutText(0).GetBuffer());
    ASSERT_TRUE(WaitForStatusTip(status));
    EXPECT_STREQ(loading, status.GetToolTip()->GetShownText().GetBuffer());
    form.SetWidth(500);
    EXPECT_FALSE(status.GetToolTip()->IsShowing());
}

// --- ImageList and icons ---

TEST_F(SimpleControlTest, AnImageListLoadsIconsFromResourcesAndMemoryAtEachSize)
{
    ImageList images;
    EXPECT_EQ(L"Failed to load image from resource 999", ThrownMessage([&] { images.AddFromResource(999); }));
    EXPECT_EQ(L"Only icons and bitmaps are supported", ThrownMessage([&] { images.AddFromResource(201, 2); }));
    EXPECT_EQ(0, images.GetCount());
    EXPECT_EQ(0, images.AddFromResource(201));
    std::vector<uint8_t> file =
        Testing::SolidIconFile({{16, Colors::FromRgb(10, 20, 30)}, {32, Colors::FromRgb(200, 100, 50)}});
    EXPECT_EQ(1, images.AddFromMemory(file.data(), static_cast<int>(file.size())));
    EXPECT_EQ(2, images.AddFromResource(202, ImageList::BitmapResource));
    EXPECT_EQ(3, images.GetCount());

    // Each size is drawn from the icon's image of that size: red at 16, green at 24, blue at 32.
    auto centre = [](IconHandle icon, int size)
    {
        Testing::IconPixels pixels = Testing::ReadIcon(icon, size);
        return pixels.onBlack[static_cast<size_t>(size / 2 * size + size / 2)];
    };
    EXPECT_EQ(0xFF0000u, centre(images.GetIcon(0, 16), 16));
    EXPECT_EQ(0x00A000u, centre(images.GetIcon(0, 24), 24));
    EXPECT_EQ(0x0000FFu, centre(images.GetIcon(0, 32), 32));
    EXPECT_EQ(0x0A141Eu, centre(images.GetIcon(1, 16), 16));
    EXPECT_EQ(0xC86432u, centre(images.GetIcon(1, 32), 32));
    EXPECT_EQ(0x0080FFu, centre(images.GetIcon(2, 16), 16));
    EXPECT_EQ(images.GetIcon(0, 16), images.GetIcon(0, 16)) << "made once per size";

    std::vector<uint8_t> junk(40, 7);
    EXPECT_EQ(L"Failed to load image from memory: the data is no icon",
              ThrownMessage([&] { images.AddFromMemory(junk.data(), 40); }));
}

TEST_F(SimpleControlTest, ADisabledImageIsGreyAndFaint)
{
    ImageList images;
    images.AddFromResource(201);
    Testing::IconPixels normal = Testing::ReadIcon(images.GetIcon(0, 16), 16);
    Testing::IconPixels grey = Testing::ReadIcon(images.GetIcon(0, 16, true), 16);
    uint32_t onBlack = grey.onBlack[8 * 16 + 8];
    uint32_t onWhite = grey.onWhite[8 * 16 + 8];
    EXPECT_EQ(0xFF0000u, normal.onBlack[8 * 16 + 8]);
    EXPECT_EQ((onBlack >> 16) & 0xFF, onBlack & 0xFF) << "grey: red equals blue";
    EXPECT_EQ((onBlack >> 8) & 0xFF, onBlack & 0xFF);
    EXPECT_NE(onBlack, onWhite) << "partly transparent: the background shows through";
    EXPECT_EQ(grey.onBlack[0], 0u) << "the transparent border stays transparent";
}

namespace
{

// The bytes of an .ico file of one 32-bit image whose colour changes down and across and whose alpha across, from
// transparent to opaque, with a transparent corner.
std::vector<uint8_t> PatternIconFile(int size)
{
    std::vector<uint8_t> file;
    auto put = [&file](uint32_t value, int bytes)
    {
        for (int i = 0; i < bytes; i++)
        {
            file.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    };
    int maskBytes = (size + 31) / 32 * 4 * size;
    put(0, 2);
    put(1, 2);
    put(1, 2);
    file.push_back(static_cast<uint8_t>(size));
    file.push_back(static_cast<uint8_t>(size));
    put(0, 2);
    put(1, 2);
    put(32, 2);
    put(static_cast<uint32_t>(40 + 4 * size * size + maskBytes), 4);
    put(22, 4);
    for (uint32_t value : {40u, static_cast<uint32_t>(size), static_cast<uint32_t>(2 * size)})
    {
        put(value, 4);
    }
    put(1, 2);
    put(32, 2);
    for (int i = 0; i < 6; i++)
    {
        put(0, 4);
    }
    // Bottom-up rows.
    for (int y = size - 1; y >= 0; y--)
    {
        for (int x = 0; x < size; x++)
        {
            uint32_t alpha = x < 2 && y < 2 ? 0u : static_cast<uint32_t>(255 * x / (size - 1));
            put((alpha << 24) | (static_cast<uint32_t>(y * 15) << 16) | (static_cast<uint32_t>(x * 13) << 8) | 0x40, 4);
        }
    }
    put(0, maskBytes);
    return file;
}

} // namespace

// Drawn from the list's own pixels or through an icon, each image looks as its icon does: at the sizes the icon
// holds and at one it does not, enabled and greyed, on black and on white, within a step of each channel.
TEST_F(SimpleControlTest, AnImageListDrawsEachImageAsItsIconDoes)
{
    ImageList images;
    images.AddFromResource(201);
    std::vector<uint8_t> file =
        Testing::SolidIconFile({{16, Colors::FromRgb(10, 20, 30)}, {32, Colors::FromRgb(200, 100, 50)}});
    images.AddFromMemory(file.data(), static_cast<int>(file.size()));
    images.AddFromResource(202, ImageList::BitmapResource);
    std::vector<uint8_t> pattern = PatternIconFile(16);
    images.AddFromMemory(pattern.data(), static_cast<int>(pattern.size()));
    // Pixels of a surface of one image after draw, on black or on white.
    auto drawn = [](int size, bool white, const std::function<void(HDC)>& draw)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = size;
        info.bmiHeader.biHeight = -size;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC memory = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        PatBlt(memory, 0, 0, size, size, white ? WHITENESS : BLACKNESS);
        draw(memory);
        GdiFlush();
        const auto* source = static_cast<const uint32_t*>(bits);
        std::vector<uint32_t> pixels(source, source + size * size);
        SelectObject(memory, previous);
        DeleteDC(memory);
        DeleteObject(bitmap);
        return pixels;
    };
    auto channelsApart = [](uint32_t a, uint32_t b)
    {
        int most = 0;
        for (int shift : {0, 8, 16})
        {
            int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
            most = std::max(most, std::abs(difference));
        }
        return most;
    };
    for (int dpi : {96, 120, 144, 192})
    {
        int size = ImageList::GetImageSize(dpi);
        for (int index = 0; index < images.GetCount(); index++)
        {
            for (bool enabled : {true, false})
            {
                for (bool white : {false, true})
                {
                    std::vector<uint32_t> list = drawn(size, white,
                                                       [&](HDC memory)
                                                       {
                                                           Graphics graphics(memory, dpi);
                                                           images.Draw(graphics, index, 0, 0, enabled);
                                                       });
                    HICON icon = images.GetIcon(index, size, !enabled);
                    std::vector<uint32_t> expected =
                        drawn(size, white,
                              [&](HDC memory) { DrawIconEx(memory, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL); });
                    int worst = 0;
                    for (size_t i = 0; i < list.size(); i++)
                    {
                        worst = std::max(worst, channelsApart(list[i], expected[i]));
                    }
                    EXPECT_LE(worst, 1) << "image " << index << " at " << size << (enabled ? "" : ", greyed")
                                        << (white ? " on white" : " on black");
                }
            }
        }
    }
}

HICON WindowIcon(const Form& form, WPARAM which)
{
    return reinterpret_cast<HICON>(SendMessageW(static_cast<HWND>(form.GetHandle()), WM_GETICON, which, 0));
}

// Paints a child of the form and notes whether the form had its icon by then.
class IconWitness : public Control
{
public:
    bool painted = false;
    bool iconAtFirstPaint = false;

protected:
    void OnPaint(Graphics& graphics, const Rect& clip) override
    {
        if (!painted)
        {
            HWND top = GetAncestor(static_cast<HWND>(GetHandle()), GA_ROOT);
            iconAtFirstPaint = SendMessageW(top, WM_GETICON, ICON_SMALL, 0) != 0;
        }
        painted = true;
        Control::OnPaint(graphics, clip);
    }
};

TEST_F(SimpleControlTest, AWindowGetsItsSmallAndBigIconFromAnImageList)
{
    ImageList images;
    images.AddFromResource(201);
    form.SetIcon(&images, 0);
    form.Show();
    ASSERT_TRUE(Testing::PumpUntil([&] { return WindowIcon(form, ICON_BIG) != nullptr; }));
    auto* small = WindowIcon(form, ICON_SMALL);
    auto* big = WindowIcon(form, ICON_BIG);
    ASSERT_NE(nullptr, small);
    ASSERT_NE(nullptr, big);
    ICONINFO info = {};
    GetIconInfo(big, &info);
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), bitmap.bmWidth);
}

TEST_F(SimpleControlTest, AWindowShownPaintsBeforeItTakesItsIconsAndAShownOneTakesThemAtOnce)
{
    // The window system takes icons slowly: a window's first paint does not wait for them.
    ImageList images;
    images.AddFromResource(201);
    IconWitness witness;
    witness.SetBounds(0, 0, 100, 100);
    form.GetControls().Add(&witness);
    form.SetIcon(&images, 0);
    form.Show();
    ASSERT_TRUE(Testing::PumpUntil([&] { return WindowIcon(form, ICON_SMALL) != nullptr; }));
    EXPECT_TRUE(witness.painted);
    EXPECT_FALSE(witness.iconAtFirstPaint);

    // Once shown, a new icon replaces the old one at once.
    HICON before = WindowIcon(form, ICON_SMALL);
    ImageList others;
    others.AddFromResource(201);
    form.SetIcon(&others, 0);
    EXPECT_NE(before, WindowIcon(form, ICON_SMALL));
    form.GetControls().Remove(&witness);
}
