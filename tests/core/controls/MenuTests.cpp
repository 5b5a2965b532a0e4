#include "core/controls/Application.h"
#include "core/controls/ContextMenu.h"
#include "core/controls/Form.h"
#include "core/controls/ImageList.h"
#include "core/controls/MainMenu.h"
#include "core/controls/Panel.h"
#include "core/controls/TextBox.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolBar.h"
#include "core/controls/ToolBarDropDown.h"
#include "core/controls/ToolTip.h"

#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <vector>
#include <windows.h>

using namespace Core::Controls;
using Core::String;
using Rect = Core::Controls::Rectangle;
using Testing::ThrownMessage;

namespace
{

// Records every command a bar raises.
struct CommandLog
{
    CommandLog() : handler(this, &CommandLog::On) {}
    void On(Core::Object* sender, CommandEventArgs& args)
    {
        senders.push_back(sender);
        ids.push_back(args.GetCommandId());
        items.push_back(args.GetItem());
    }
    std::vector<Core::Object*> senders;
    std::vector<int> ids;
    std::vector<ToolBarItem*> items;
    Core::MemberEventHandler<CommandLog, CommandEventArgs> handler;
};

// The main window's menu: Application (Connect, Disconnect, Exit), Reports (Export to: Excel, Comma,
// Tab), Help (Online Help).
class MenuTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Testing::DropEndMessages();
        application = new MenuItem(String(L"&Application"));
        connect = new MenuItem(String(L"&Connect to another computer..."), 1, -1, Shortcut::CtrlShiftC);
        disconnect = new MenuItem(String(L"&Disconnect"), 2, -1, Shortcut::CtrlShiftD);
        exitItem = new MenuItem(String(L"E&xit"), 0);
        exitItem->SetSeparator(true);
        disconnect->SetEnabled(false);
        application->GetMenuItems().Add(connect);
        application->GetMenuItems().Add(disconnect);
        application->GetMenuItems().Add(exitItem);
        reports = new MenuItem(String(L"&Reports"));
        exportTo = new MenuItem(String(L"E&xport data to..."));
        excel = new MenuItem(String(L"&Excel file"), 4, -1, Shortcut::CtrlShiftX);
        comma = new MenuItem(String(L"&Comma delimited text file"), 6, -1, Shortcut::CtrlShiftB);
        exportTo->GetMenuItems().Add(excel);
        exportTo->GetMenuItems().Add(comma);
        reports->GetMenuItems().Add(exportTo);
        help = new MenuItem(String(L"&Help"));
        onlineHelp = new MenuItem(String(L"Online Help"), 30, -1, Shortcut::CtrlF1);
        help->GetMenuItems().Add(onlineHelp);
        menu.GetMenuItems().Add(application);
        menu.GetMenuItems().Add(reports);
        menu.GetMenuItems().Add(help);
        menu.Click.Subscribe(&log.handler);

        form.SetBounds(100, 100, 500, 300);
        form.SetMenu(&menu);
        panel.SetDock(DockStyle::Fill);
        form.GetControls().Add(&panel);
        panel.GetControls().Add(&box);
        box.SetLocation(300, 150);
        form.Show();
        box.Focus();
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }
    void ClickAt(Control& control, const Rect& bounds)
    {
        LPARAM point = MAKELPARAM(bounds.left + bounds.width / 2, bounds.top + bounds.height / 2);
        SendMessageW(control.GetHandle(), WM_MOUSEMOVE, 0, point);
        SendMessageW(control.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageW(control.GetHandle(), WM_LBUTTONUP, 0, point);
        Core::Controls::Application::ThrowPendingException();
    }
    ToolBarDropDown* DropDownOf(MenuItem* item) { return item->GetDropDown(); }

    Form form;
    MainMenu menu;
    Panel panel;
    TextBox box;
    CommandLog log;
    MenuItem* application;
    MenuItem* connect;
    MenuItem* disconnect;
    MenuItem* exitItem;
    MenuItem* reports;
    MenuItem* exportTo;
    MenuItem* excel;
    MenuItem* comma;
    MenuItem* help;
    MenuItem* onlineHelp;
};

} // namespace

TEST(Shortcut, TextNamesCtrlAltShiftInThatOrderAndThenTheKey)
{
    EXPECT_STREQ(L"Ctrl+Shift+C", Shortcut(0x30043).ToString().GetBuffer());
    EXPECT_STREQ(L"Ctrl+F1", Shortcut(0x20070).ToString().GetBuffer());
    EXPECT_STREQ(L"Ctrl+Alt+Shift+X", Shortcut(Keys::Control | Keys::Alt | Keys::Shift | 'X').ToString().GetBuffer());
    EXPECT_STREQ(L"Alt+7", Shortcut(Keys::Alt | '7').ToString().GetBuffer());
    EXPECT_STREQ(L"F12", Shortcut(0x7B).ToString().GetBuffer());
    EXPECT_STREQ(L"Shift+Del", Shortcut(Keys::Shift | Keys::Delete).ToString().GetBuffer());
    EXPECT_TRUE(Shortcut(Shortcut::None).ToString().IsEmpty());
}

TEST_F(MenuTest, AShortcutRunsItsCommandFromAnywhereInTheForm)
{
    ASSERT_TRUE(box.IsFocused());
    Testing::PressKey(form, 'C', Keys::Control | Keys::Shift);
    ASSERT_EQ(1u, log.ids.size());
    EXPECT_EQ(1, log.ids[0]);
    EXPECT_EQ(&menu, log.senders[0]);
    EXPECT_EQ(connect, log.items[0]);
    EXPECT_TRUE(box.GetText().IsEmpty()) << "the text box did not see the key";

    // A shortcut of a nested item, and Ctrl+F1 (0x20070).
    Testing::PressKey(form, 'X', Keys::Control | Keys::Shift);
    Testing::PressKey(form, Keys::F1, Keys::Control);
    ASSERT_EQ(3u, log.ids.size());
    EXPECT_EQ(4, log.ids[1]);
    EXPECT_EQ(30, log.ids[2]);
    EXPECT_EQ(onlineHelp, menu.FindShortcut(0x20070));

    // A function key needs no Ctrl or Shift: no control types it.
    onlineHelp->SetShortcut(Shortcut::F5);
    Testing::PressKey(form, Keys::F5);
    ASSERT_EQ(4u, log.ids.size());
    EXPECT_EQ(30, log.ids[3]);
    EXPECT_TRUE(box.GetText().IsEmpty());
    onlineHelp->SetShortcut(Shortcut::CtrlF1);

    // Focus on the form itself works as well.
    form.Focus();
    SendMessageW(form.GetHandle(), WM_KILLFOCUS, 0, 0);
    Testing::PressKeyTo(form.GetHandle(), 'B', Keys::Control | Keys::Shift);
    ASSERT_EQ(5u, log.ids.size());
    EXPECT_EQ(6, log.ids[4]);
}

TEST_F(MenuTest, KeysWithoutCtrlOrShiftAndDisabledItemsAreNoShortcuts)
{
    Testing::PressKey(form, 'C');
    Testing::PressKey(form, 'C', Keys::Alt);
    EXPECT_TRUE(log.ids.empty()) << "C alone or with Alt is no shortcut";
    // An item that only Alt would reach can never be a shortcut.
    connect->SetShortcut(Shortcut(Keys::Alt | 'C'));
    Testing::PressKey(form, 'C', Keys::Alt);
    EXPECT_TRUE(log.ids.empty());
    connect->SetShortcut(Shortcut::CtrlShiftC);

    Testing::PressKey(form, 'D', Keys::Control | Keys::Shift);
    EXPECT_TRUE(log.ids.empty()) << "Disconnect is disabled";
    // With two items of one shortcut, the first enabled one in depth-first order runs.
    excel->SetShortcut(Shortcut::CtrlShiftD);
    Testing::PressKey(form, 'D', Keys::Control | Keys::Shift);
    ASSERT_EQ(1u, log.ids.size());
    EXPECT_EQ(4, log.ids[0]);
    disconnect->SetEnabled(true);
    Testing::PressKey(form, 'D', Keys::Control | Keys::Shift);
    ASSERT_EQ(2u, log.ids.size());
    EXPECT_EQ(2, log.ids[1]);
}

TEST_F(MenuTest, TheOpenMenuShowsTheShortcutTextRightOfTheItem)
{
    EXPECT_STREQ(L"Ctrl+Shift+C", connect->GetShortcutText().GetBuffer());
    EXPECT_STREQ(L"Ctrl+F1", onlineHelp->GetShortcutText().GetBuffer());
    Testing::PressKey(form, 'A', Keys::Alt);
    ToolBarDropDown* drop = DropDownOf(application);
    ASSERT_TRUE(drop->IsOpen());
    Testing::Picture with = Testing::Render(*drop);
    connect->SetShortcut(Shortcut::None);
    Testing::Picture without = Testing::Render(*drop);
    ASSERT_EQ(with.width, without.width);
    // Where the two pictures differ is where the shortcut text was: right-aligned in the first row.
    Rect row = drop->GetItemBounds(0);
    int left = with.width;
    int right = 0;
    for (int y = 0; y < with.height; y++)
    {
        for (int x = 0; x < with.width; x++)
        {
            if (with.At(x, y) != without.At(x, y))
            {
                EXPECT_GE(y, row.top);
                EXPECT_LT(y, row.GetBottom());
                left = x < left ? x : left;
                right = x > right ? x : right;
            }
        }
    }
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, drop->GetFontHandle());
    SIZE text;
    GetTextExtentPoint32W(screen, L"Ctrl+Shift+C", 12, &text);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    // The ink is the text's advance width less the side bearings of its first and last letters.
    int ink = right - left + 1;
    EXPECT_LE(ink, text.cx + 1);
    EXPECT_GE(ink, text.cx * 85 / 100);
    EXPECT_GT(left, row.left + row.width / 2) << "on the right";
}

TEST_F(MenuTest, AltWithAMnemonicOpensAMenuAndTheKeyboardWalksIt)
{
    Testing::PressKey(form, 'A', Keys::Alt);
    ASSERT_TRUE(DropDownOf(application)->IsOpen());
    EXPECT_EQ(0, DropDownOf(application)->GetHotIndex()) << "opened by the keyboard, the first item is highlighted";
    Testing::PressKey(form, Keys::Down);
    EXPECT_EQ(2, DropDownOf(application)->GetHotIndex()) << "the disabled item is skipped";
    Testing::PressKey(form, Keys::Right);
    EXPECT_FALSE(DropDownOf(application)->IsOpen());
    ASSERT_TRUE(DropDownOf(reports)->IsOpen()) << "Right moves to the next menu";
    Testing::PressKey(form, Keys::Right);
    ASSERT_TRUE(DropDownOf(exportTo)->IsOpen()) << "Right opens a submenu";
    EXPECT_EQ(0, DropDownOf(exportTo)->GetHotIndex());
    Testing::PressKey(form, Keys::Down);
    Testing::PressKey(form, Keys::Return);
    EXPECT_FALSE(DropDownOf(exportTo)->IsOpen());
    EXPECT_FALSE(DropDownOf(reports)->IsOpen());
    ASSERT_EQ(1u, log.ids.size());
    EXPECT_EQ(6, log.ids[0]);
    EXPECT_EQ(&menu, log.senders[0]) << "the root menu raises the click of a nested item";

    // A letter in an open menu runs the item with that mnemonic.
    Testing::PressKey(form, 'A', Keys::Alt);
    Testing::PressKey(form, 'X');
    ASSERT_EQ(2u, log.ids.size());
    EXPECT_EQ(0, log.ids[1]);
    EXPECT_TRUE(box.GetText().IsEmpty());
}

TEST_F(MenuTest, PressingAndReleasingAltEntersTheMenuBar)
{
    SendMessageW(box.GetHandle(), WM_SYSKEYDOWN, VK_MENU, 1 | (1 << 29));
    SendMessageW(box.GetHandle(), WM_SYSKEYUP, VK_MENU, 1 | (1u << 30) | (1u << 31));
    EXPECT_EQ(0, menu.GetHotIndex());
    EXPECT_EQ(-1, menu.GetOpenIndex());
    Testing::PressKey(form, Keys::Right);
    EXPECT_EQ(1, menu.GetHotIndex());
    Testing::PressKey(form, Keys::Down);
    EXPECT_TRUE(DropDownOf(reports)->IsOpen());
    Testing::PressKey(form, Keys::Escape);
    EXPECT_FALSE(DropDownOf(reports)->IsOpen());
    EXPECT_EQ(1, menu.GetHotIndex()) << "Esc goes back to the bar";
    Testing::PressKey(form, Keys::Escape);
    EXPECT_EQ(-1, menu.GetHotIndex());
    Testing::TypeText(box.GetHandle(), L"typed");
    EXPECT_STREQ(L"typed", box.GetText().GetBuffer()) << "the keyboard is the text box's again";

    // Alt with another key between press and release is no menu key.
    SendMessageW(box.GetHandle(), WM_SYSKEYDOWN, VK_MENU, 1 | (1 << 29));
    SendMessageW(box.GetHandle(), WM_SYSKEYDOWN, 'Q', 1 | (1 << 29));
    SendMessageW(box.GetHandle(), WM_SYSKEYUP, VK_MENU, 1 | (1u << 30) | (1u << 31));
    EXPECT_EQ(-1, menu.GetHotIndex());
}

TEST_F(MenuTest, TheMouseOpensMenusFollowsTheBarAndChoosesItems)
{
    ClickAt(menu, menu.GetItemBounds(0));
    ASSERT_TRUE(DropDownOf(application)->IsOpen());
    EXPECT_EQ(-1, DropDownOf(application)->GetHotIndex()) << "opened by the mouse, nothing is highlighted";
    Rect reportsItem = menu.GetItemBounds(1);
    SendMessageW(menu.GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(reportsItem.left + 5, reportsItem.top + 5));
    EXPECT_FALSE(DropDownOf(application)->IsOpen());
    ASSERT_TRUE(DropDownOf(reports)->IsOpen());
    // Hovering an item with children opens them; clicking a leaf runs it.
    ToolBarDropDown* drop = DropDownOf(reports);
    Rect exportRow = drop->GetItemBounds(0);
    SendMessageW(drop->GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(exportRow.left + 5, exportRow.top + 5));
    ASSERT_TRUE(DropDownOf(exportTo)->IsOpen());
    ClickAt(*DropDownOf(exportTo), DropDownOf(exportTo)->GetItemBounds(0));
    ASSERT_EQ(1u, log.ids.size());
    EXPECT_EQ(4, log.ids[0]);
    EXPECT_FALSE(DropDownOf(exportTo)->IsOpen());

    // A disabled item does nothing and the menu stays; a click elsewhere closes it without effect.
    ClickAt(menu, menu.GetItemBounds(0));
    ClickAt(*DropDownOf(application), DropDownOf(application)->GetItemBounds(1));
    EXPECT_EQ(1u, log.ids.size());
    EXPECT_TRUE(DropDownOf(application)->IsOpen());
    Testing::Click(box, 5, 5);
    EXPECT_FALSE(DropDownOf(application)->IsOpen());
    EXPECT_EQ(1u, log.ids.size());
    // Clicking the open menu's title closes it.
    ClickAt(menu, menu.GetItemBounds(0));
    ClickAt(menu, menu.GetItemBounds(0));
    EXPECT_FALSE(DropDownOf(application)->IsOpen());
}

TEST_F(MenuTest, AltF4KeepsItsSystemMeaning)
{
    Testing::PressKey(form, Keys::F4, Keys::Alt);
    Testing::PumpMessages();
    EXPECT_FALSE(form.IsHandleCreated());
    EXPECT_TRUE(log.ids.empty());
}

TEST(ToolBarTest, ButtonsRaiseClickWithTheirCommandAndShowTheirTooltips)
{
    Testing::DropEndMessages();
    Form form;
    ToolBar bar;
    bar.SetDock(DockStyle::Top);
    form.GetControls().Add(&bar);
    ImageList images;
    images.AddFromResource(201);
    bar.SetImageList(&images);
    ToolBarButton* connect = bar.AddButton(String(L"Connect to computer"), 1, 0);
    ToolBarButton* disconnect = bar.AddButton(String(L"Disconnect"), 2, 0, false);
    ToolBarButton* stop = bar.AddButton(String(L"Stop asyncronous data loading"), 5, 0);
    stop->SetSeparator(true);
    CommandLog log;
    bar.Click.Subscribe(&log.handler);
    form.Show();

    auto click = [&bar](int index)
    {
        Rect bounds = bar.GetItemBounds(index);
        LPARAM point = MAKELPARAM(bounds.left + 3, bounds.top + 3);
        SendMessageW(bar.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageW(bar.GetHandle(), WM_LBUTTONUP, 0, point);
    };
    click(0);
    click(1);
    click(2);
    ASSERT_EQ(2u, log.ids.size());
    EXPECT_EQ(1, log.ids[0]);
    EXPECT_EQ(connect, log.items[0]);
    EXPECT_EQ(&bar, log.senders[0]);
    EXPECT_EQ(5, log.ids[1]);
    EXPECT_GT(bar.GetItemBounds(2).left, bar.GetItemBounds(1).GetRight() + bar.Scale(4)) << "room for the separator";
    disconnect->SetEnabled(true);
    click(1);
    EXPECT_EQ(3u, log.ids.size());

    // The disabled image is drawn greyed: the red of the icon is gone.
    disconnect->SetEnabled(false);
    Rect second = bar.GetItemBounds(1);
    Testing::Picture picture = Testing::Render(bar);
    EXPECT_GT(
        picture.CountIn(Colors::FromRgb(255, 0, 0), bar.GetItemBounds(0).left, 0, second.width, second.height * 2), 50);
    EXPECT_EQ(0, picture.CountIn(Colors::FromRgb(255, 0, 0), second.left, 0, second.width, second.height * 2));

    Rect first = bar.GetItemBounds(0);
    SendMessageW(bar.GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(first.left + 3, first.top + 3));
    EXPECT_EQ(0, bar.GetHotIndex());
    form.DestroyHandle();
    Testing::PumpMessages();
    Testing::DropEndMessages();
}

TEST(ToolBarTest, ADropDownItemRefusesANullDropDownAndOpensItsMenu)
{
    Testing::DropEndMessages();
    ToolBarDropDownItem item(String(L"More"), 7, -1);
    EXPECT_EQ(L"ToolBarDropDownItem::SetDropDown method: cannot assign null as dropdown.",
              ThrownMessage([&] { item.SetDropDown(nullptr); }));

    Form form;
    ToolBar bar;
    bar.SetDock(DockStyle::Top);
    form.GetControls().Add(&bar);
    auto* more = new ToolBarDropDownItem(String(L"More"), 7, -1);
    auto* menu = new ContextMenu();
    menu->GetMenuItems().Add(new MenuItem(String(L"&First"), 71));
    menu->GetMenuItems().Add(new MenuItem(String(L"&Second"), 72));
    more->SetDropDown(menu);
    bar.GetButtons().Add(more);
    CommandLog log;
    bar.Click.Subscribe(&log.handler);
    form.Show();
    Rect bounds = bar.GetItemBounds(0);
    SendMessageW(bar.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bounds.left + 3, bounds.top + 3));
    ASSERT_TRUE(menu->IsOpen());
    Testing::PressKeyTo(form.GetHandle(), 'S');
    ASSERT_EQ(1u, log.ids.size());
    EXPECT_EQ(72, log.ids[0]);
    EXPECT_EQ(&bar, log.senders[0]) << "the toolbar raises its drop-down's clicks";
    EXPECT_FALSE(menu->IsOpen());
    form.DestroyHandle();
    Testing::PumpMessages();
    Testing::DropEndMessages();
}

TEST(ContextMenuTest, TheContextMenuOfAControlOpensAndRaisesItsOwnClick)
{
    Testing::DropEndMessages();
    Form form;
    TextBox box;
    form.GetControls().Add(&box);
    ContextMenu menu;
    menu.GetMenuItems().Add(new MenuItem(String(L"&Copy"), 11));
    menu.GetMenuItems().Add(new MenuItem(String(L"&Paste"), 12));
    box.SetContextMenu(&menu);
    CommandLog log;
    menu.Click.Subscribe(&log.handler);
    form.Show();
    POINT point = {5, 5};
    ClientToScreen(box.GetHandle(), &point);
    SendMessageW(box.GetHandle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(box.GetHandle()),
                 MAKELPARAM(point.x, point.y));
    ASSERT_TRUE(menu.IsOpen());
    RECT rect;
    GetWindowRect(menu.GetHandle(), &rect);
    EXPECT_EQ(point.x, rect.left);
    EXPECT_EQ(point.y, rect.top);
    Testing::PressKeyTo(box.GetHandle(), Keys::Down);
    Testing::PressKeyTo(box.GetHandle(), Keys::Down);
    Testing::PressKeyTo(box.GetHandle(), Keys::Return);
    ASSERT_EQ(1u, log.ids.size());
    EXPECT_EQ(12, log.ids[0]);
    EXPECT_EQ(&menu, log.senders[0]);
    EXPECT_FALSE(menu.IsOpen());
    ToolBarButton button(String(L"x"), 1, -1);
    EXPECT_EQ(L"ContextMenu - only menu items can be added to a menu",
              ThrownMessage([&] { menu.GetButtons().Add(&button); }));
    form.DestroyHandle();
    Testing::PumpMessages();
    Testing::DropEndMessages();
}
