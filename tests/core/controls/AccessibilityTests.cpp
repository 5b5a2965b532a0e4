// The controls as a screen reader meets them: through oleacc's AccessibleObjectFromWindow and the IAccessible
// objects it hands back, and through the WinEvents the controls raise.
#include "core/controls/Accessibility.h"
#include "core/controls/CheckBox.h"
#include "core/controls/ComboBox.h"
#include "core/controls/FindBox.h"
#include "core/controls/Form.h"
#include "core/controls/Grid.h"
#include "core/controls/Label.h"
#include "core/controls/MainMenu.h"
#include "core/controls/MenuItem.h"
#include "core/controls/MenuTracker.h"
#include "core/controls/StatusBar.h"
#include "core/controls/TabPage.h"
#include "core/controls/TabView.h"
#include "core/controls/TextBox.h"
#include "core/controls/ToolBarDropDown.h"
#include "core/controls/TreeView.h"
#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/AccessibleClient.h"

#include <atomic>
#include <gtest/gtest.h>
#include <oleacc.h>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

using namespace Core::Controls;
using Core::String;
using Testing::Accessible;
using Testing::RecordedEvent;
using Testing::recordedEvents;
using Testing::RecordEvent;
using Testing::TakeEvents;

namespace
{

class AccessibilityTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetBounds(0, 0, 700, 500);
        userLabel.SetText(String(L"&User:"));
        userLabel.SetBounds(10, 10, 80, 20);
        user.SetBounds(100, 10, 200, 23);
        user.SetText(String(L"CONTOSO\\admin"));
        passwordLabel.SetText(String(L"&Password:"));
        passwordLabel.SetBounds(10, 40, 80, 20);
        password.SetBounds(100, 40, 200, 23);
        password.SetPasswordChar(L'*');
        password.SetText(String(L"secret"));
        async.SetText(String(L"Load data &asyncronously"));
        async.SetBounds(10, 70, 250, 23);
        tree.SetBounds(10, 100, 250, 200);
        tree.SetCheckBoxes(true);
        grid.SetBounds(300, 100, 380, 200);
        for (Control* control :
             std::initializer_list<Control*>{&userLabel, &user, &passwordLabel, &password, &async, &tree, &grid})
        {
            form.GetControls().Add(control);
        }
        machine = new TreeNode(String(L"Local Machine"));
        os = new TreeNode(String(L"Operating System"));
        processes = new TreeNode(String(L"Win32_Process"));
        services = new TreeNode(String(L"Win32_Service"));
        tree.GetNodes().Add(machine);
        machine->GetNodes().Add(os);
        os->GetNodes().Add(processes);
        os->GetNodes().Add(services);
        processes->SetCheckState(TreeNode::Checked);
        os->SetCheckState(TreeNode::PartlyChecked);
        machine->Expand();
        grid.GetColumns().Add(String(L"Name"), 120);
        grid.GetColumns().Add(String(L"ProcessId"), 80);
        int first = grid.GetRows().AddRange(3);
        const wchar_t* names[] = {L"system", L"svchost.exe", L"explorer.exe"};
        for (int i = 0; i < 3; i++)
        {
            grid.SetCellText(first + i, 0, String(names[i]));
            grid.SetCellText(first + i, 1, String() + (4 + i * 100));
        }
        form.Show();
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }

    Form form;
    Label userLabel;
    TextBox user;
    Label passwordLabel;
    TextBox password;
    CheckBox async;
    TreeView tree;
    Grid grid;
    TreeNode* machine = nullptr;
    TreeNode* os = nullptr;
    TreeNode* processes = nullptr;
    TreeNode* services = nullptr;
};

VARIANT ChildId(long id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

template <HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)>
HRESULT AskText(IAccessible* object, VARIANT child)
{
    BSTR text = nullptr;
    HRESULT result = (object->*get)(child, &text);
    SysFreeString(text);
    return result;
}

template <HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)>
HRESULT AskNumber(IAccessible* object, VARIANT child)
{
    VARIANT value;
    VariantInit(&value);
    HRESULT result = (object->*get)(child, &value);
    VariantClear(&value);
    return result;
}

// Every IAccessible call, each answering only its result (what it handed out is freed); takesChild for the
// calls given a child id, which the others ignore.
struct AccessibleCall
{
    const char* name;
    bool takesChild;
    HRESULT (*run)(IAccessible* object, VARIANT child);
};

const AccessibleCall accessibleCalls[] = {
    {"get_accName", true, &AskText<&IAccessible::get_accName>},
    {"get_accValue", true, &AskText<&IAccessible::get_accValue>},
    {"get_accDescription", true, &AskText<&IAccessible::get_accDescription>},
    {"get_accRole", true, &AskNumber<&IAccessible::get_accRole>},
    {"get_accState", true, &AskNumber<&IAccessible::get_accState>},
    {"get_accHelp", true, &AskText<&IAccessible::get_accHelp>},
    {"get_accHelpTopic", true,
     [](IAccessible* object, VARIANT child)
     {
         BSTR file = nullptr;
         long topic = 0;
         HRESULT result = object->get_accHelpTopic(&file, child, &topic);
         SysFreeString(file);
         return result;
     }},
    {"get_accKeyboardShortcut", true, &AskText<&IAccessible::get_accKeyboardShortcut>},
    {"get_accDefaultAction", true, &AskText<&IAccessible::get_accDefaultAction>},
    {"accSelect", true,
     [](IAccessible* object, VARIANT child)
     { return object->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, child); }},
    {"accLocation", true,
     [](IAccessible* object, VARIANT child)
     {
         long left = 0;
         long top = 0;
         long width = 0;
         long height = 0;
         return object->accLocation(&left, &top, &width, &height, child);
     }},
    {"accDoDefaultAction", true, [](IAccessible* object, VARIANT child) { return object->accDoDefaultAction(child); }},
    {"put_accName", true,
     [](IAccessible* object, VARIANT child)
     {
         BSTR name = SysAllocString(L"renamed");
         HRESULT result = object->put_accName(child, name);
         SysFreeString(name);
         return result;
     }},
    {"put_accValue", true,
     [](IAccessible* object, VARIANT child)
     {
         BSTR value = SysAllocString(L"changed");
         HRESULT result = object->put_accValue(child, value);
         SysFreeString(value);
         return result;
     }},
    {"accNavigate", true,
     [](IAccessible* object, VARIANT child)
     {
         VARIANT end;
         VariantInit(&end);
         HRESULT result = object->accNavigate(NAVDIR_NEXT, child, &end);
         VariantClear(&end);
         return result;
     }},
    {"get_accChild", true,
     [](IAccessible* object, VARIANT child)
     {
         IDispatch* dispatch = nullptr;
         HRESULT result = object->get_accChild(child, &dispatch);
         if (dispatch != nullptr)
         {
             dispatch->Release();
         }
         return result;
     }},
    {"get_accParent", false,
     [](IAccessible* object, VARIANT)
     {
         IDispatch* parent = nullptr;
         HRESULT result = object->get_accParent(&parent);
         if (parent != nullptr)
         {
             parent->Release();
         }
         return result;
     }},
    {"get_accChildCount", false,
     [](IAccessible* object, VARIANT)
     {
         long count = 0;
         return object->get_accChildCount(&count);
     }},
    {"get_accFocus", false,
     [](IAccessible* object, VARIANT)
     {
         VARIANT focus;
         VariantInit(&focus);
         HRESULT result = object->get_accFocus(&focus);
         VariantClear(&focus);
         return result;
     }},
    {"get_accSelection", false,
     [](IAccessible* object, VARIANT)
     {
         VARIANT selection;
         VariantInit(&selection);
         HRESULT result = object->get_accSelection(&selection);
         VariantClear(&selection);
         return result;
     }},
    {"accHitTest", false,
     [](IAccessible* object, VARIANT)
     {
         VARIANT hit;
         VariantInit(&hit);
         HRESULT result = object->accHitTest(0, 0, &hit);
         VariantClear(&hit);
         return result;
     }},
};

// Every call on the object, on itself and on its first child, answers CO_E_OBJNOTCONNECTED.
void ExpectNotConnected(const Accessible& object)
{
    for (const AccessibleCall& call : accessibleCalls)
    {
        for (long child : {static_cast<long>(CHILDID_SELF), 1L})
        {
            if (call.takesChild || child == CHILDID_SELF)
            {
                EXPECT_EQ(CO_E_OBJNOTCONNECTED, call.run(object.operator->(), ChildId(child)))
                    << call.name << " on child " << child;
            }
        }
    }
}

} // namespace

// Text boxes are named by the label before them, as the system names edit boxes, and take its access key; a
// password box says it is protected and gives no value.
TEST_F(AccessibilityTest, TextBoxesAreNamedByTheirLabelsAndAPasswordStaysHidden)
{
    Accessible userBox = Accessible::OfWindow(user.GetHandle());
    ASSERT_TRUE(userBox);
    EXPECT_EQ(ROLE_SYSTEM_TEXT, userBox.Role());
    EXPECT_EQ(L"User:", userBox.Name());
    EXPECT_EQ(L"CONTOSO\\admin", userBox.Value());
    EXPECT_EQ(L"Alt+U", userBox.Shortcut());
    EXPECT_EQ(0, userBox.State() & STATE_SYSTEM_PROTECTED);

    Accessible secret = Accessible::OfWindow(password.GetHandle());
    EXPECT_EQ(L"Password:", secret.Name());
    EXPECT_NE(0, secret.State() & STATE_SYSTEM_PROTECTED);
    EXPECT_EQ(L"(none)", secret.Value());

    Accessible box = Accessible::OfWindow(async.GetHandle());
    EXPECT_EQ(ROLE_SYSTEM_CHECKBUTTON, box.Role());
    EXPECT_EQ(L"Load data asyncronously", box.Name());
    EXPECT_EQ(0, box.State() & STATE_SYSTEM_CHECKED);
    EXPECT_EQ(L"Check", box.DefaultAction());
    // Its default action ticks it, as a click does, and the change is announced.
    recordedEvents.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, RecordEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    EXPECT_EQ(S_OK, box->accDoDefaultAction(self));
    Testing::PumpMessages();
    UnhookWinEvent(hook);
    EXPECT_TRUE(async.GetChecked());
    EXPECT_NE(0, box.State() & STATE_SYSTEM_CHECKED);
    bool announced = false;
    for (const RecordedEvent& event : TakeEvents())
    {
        announced = announced || (event.window == async.GetHandle() && event.child == CHILDID_SELF);
    }
    EXPECT_TRUE(announced);

    // The form's client object holds the controls as its children.
    Accessible window = Accessible::OfWindow(form.GetHandle());
    EXPECT_EQ(7, window.ChildCount());
    Accessible second = window.Child(2);
    ASSERT_TRUE(second);
    EXPECT_EQ(L"User:", second.Name());
}

// The tree's visible nodes are outline items whose value is their level, with expanded and check states.
TEST_F(AccessibilityTest, TheTreeShowsItsVisibleNodesAsOutlineItems)
{
    Accessible outline = Accessible::OfWindow(tree.GetHandle());
    EXPECT_EQ(ROLE_SYSTEM_OUTLINE, outline.Role());
    ASSERT_EQ(2, outline.ChildCount()); // the machine and its category; the classes are collapsed away
    EXPECT_EQ(ROLE_SYSTEM_OUTLINEITEM, outline.Role(1));
    EXPECT_EQ(L"Local Machine", outline.Name(1));
    EXPECT_EQ(L"0", outline.Value(1));
    EXPECT_NE(0, outline.State(1) & STATE_SYSTEM_EXPANDED);
    EXPECT_EQ(L"Operating System", outline.Name(2));
    EXPECT_EQ(L"1", outline.Value(2));
    EXPECT_NE(0, outline.State(2) & STATE_SYSTEM_COLLAPSED);
    EXPECT_NE(0, outline.State(2) & STATE_SYSTEM_MIXED);

    os->Expand();
    ASSERT_EQ(4, outline.ChildCount());
    EXPECT_EQ(L"Win32_Process", outline.Name(3));
    EXPECT_EQ(L"2", outline.Value(3));
    EXPECT_NE(0, outline.State(3) & STATE_SYSTEM_CHECKED);
    EXPECT_EQ(0, outline.State(4) & STATE_SYSTEM_CHECKED);

    // Selecting through the object selects the node.
    VARIANT third;
    VariantInit(&third);
    third.vt = VT_I4;
    third.lVal = 3;
    EXPECT_EQ(S_OK, outline->accSelect(SELFLAG_TAKESELECTION, third));
    EXPECT_EQ(processes, tree.GetSelectedNode());
    EXPECT_NE(0, outline.State(3) & STATE_SYSTEM_SELECTED);
}

// The grid is a table: its first row holds the column headers, each further row its cells, which name their
// text and are described by their column's header.
TEST_F(AccessibilityTest, TheGridIsATableOfRowsAndCells)
{
    Accessible table = Accessible::OfWindow(grid.GetHandle());
    EXPECT_EQ(ROLE_SYSTEM_TABLE, table.Role());
    ASSERT_EQ(4, table.ChildCount());
    Accessible headers = table.Child(1);
    ASSERT_TRUE(headers);
    EXPECT_EQ(2, headers.ChildCount());
    EXPECT_EQ(ROLE_SYSTEM_COLUMNHEADER, headers.Role(2));
    EXPECT_EQ(L"ProcessId", headers.Name(2));
    Accessible row = table.Child(3);
    ASSERT_TRUE(row);
    EXPECT_EQ(ROLE_SYSTEM_ROW, row.Role());
    EXPECT_EQ(ROLE_SYSTEM_CELL, row.Role(2));
    EXPECT_EQ(L"svchost.exe", row.Name(1));
    EXPECT_EQ(L"104", row.Name(2));
    EXPECT_EQ(L"ProcessId", row.Description(2));

    // Rows follow the order shown.
    grid.Sort(0, false);
    Accessible firstShown = table.Child(2);
    EXPECT_EQ(L"explorer.exe", firstShown.Name(1));
}

// A client holding a row holds that row, not a place in the order: after a sort it still reads the same row, at
// the row's new place and with its state.
TEST_F(AccessibilityTest, AHeldRowStaysWithItsRowThroughASort)
{
    Accessible table = Accessible::OfWindow(grid.GetHandle());
    Accessible held = table.Child(2); // "system", shown first in the order of addition
    ASSERT_TRUE(held);
    grid.SelectRow(0);
    grid.Sort(0, false); // explorer.exe, svchost.exe, system
    EXPECT_EQ(L"system", held.Name());
    EXPECT_EQ(L"system", held.Name(1));
    EXPECT_EQ(L"4", held.Name(2));
    EXPECT_EQ(L"ProcessId", held.Description(2));
    EXPECT_NE(0, held.State() & STATE_SYSTEM_SELECTED);
    EXPECT_NE(0, held.State(2) & STATE_SYSTEM_SELECTED);

    // Shown third now: below the header and two rows.
    auto expectTop = [&](int rowsAbove)
    {
        POINT origin{0, grid.GetHeaderHeight() + rowsAbove * grid.GetRowHeight()};
        ClientToScreen(static_cast<HWND>(grid.GetHandle()), &origin);
        long left = 0;
        long top = 0;
        long width = 0;
        long height = 0;
        EXPECT_EQ(S_OK, held->accLocation(&left, &top, &width, &height, ChildId(CHILDID_SELF)));
        EXPECT_EQ(origin.y, top);
        EXPECT_EQ(grid.GetRowHeight(), height);
        EXPECT_EQ(S_OK, held->accLocation(&left, &top, &width, &height, ChildId(2)));
        EXPECT_EQ(origin.y, top) << "its cells go with it";
    };
    expectTop(2);
    grid.SelectRow(1);
    EXPECT_EQ(0, held.State() & STATE_SYSTEM_SELECTED);

    grid.Sort(0, true); // system, svchost.exe, explorer.exe
    EXPECT_EQ(L"4", held.Name(2));
    expectTop(0);
}

// A row the filter hides is not there for a client holding it: every call on it and on its cells says so (none
// selects it). Once the filter shows it again, it answers for its row again.
TEST_F(AccessibilityTest, AHeldRowIsCutOffWhileTheFilterHidesIt)
{
    Accessible table = Accessible::OfWindow(grid.GetHandle());
    Accessible held = table.Child(3); // svchost.exe
    ASSERT_TRUE(held);
    grid.SetFilterText(String(L"explorer"));
    grid.FinishFilter();
    ASSERT_FALSE(grid.IsRowVisible(1));
    ExpectNotConnected(held);
    EXPECT_FALSE(grid.IsRowSelected(1));

    grid.SetFilterText(String());
    EXPECT_EQ(L"svchost.exe", held.Name(1));
    EXPECT_EQ(ROLE_SYSTEM_ROW, held.Role());
}

// Rows cleared are gone for good: a client still holding one is cut off, also when a new row takes its index.
TEST_F(AccessibilityTest, AHeldRowIsCutOffOnceTheRowsAreCleared)
{
    Accessible table = Accessible::OfWindow(grid.GetHandle());
    Accessible held = table.Child(3); // svchost.exe, row 1
    ASSERT_TRUE(held);
    grid.GetRows().Clear();
    ExpectNotConnected(held);

    int first = grid.GetRows().AddRange(3);
    for (int i = 0; i < 3; i++)
    {
        grid.SetCellText(first + i, 0, String(L"new ") + i);
    }
    ExpectNotConnected(held);
    EXPECT_EQ(L"new 1", table.Child(3).Name(1)) << "the new row is reached afresh";
}

// A bad child id (out of range either way, or not a number) is refused alike by every call that takes one, on
// every kind of object: E_INVALIDARG, with nothing done.
TEST_F(AccessibilityTest, EveryCallRefusesABadChildIdAlike)
{
    StatusBar status;
    status.SetDock(DockStyle::Bottom);
    form.GetControls().Add(&status);
    status.AddPanel(String(L"Loading completed. 3 records"));
    ComboBox choice;
    choice.SetBounds(10, 310, 200, 23);
    choice.AddItem(String(L"Displayed on the screen"), 1);
    form.GetControls().Add(&choice);
    TabView view;
    TabPage results(String(L"Results"));
    view.SetBounds(220, 310, 200, 80);
    form.GetControls().Add(&view);
    view.GetPages().Add(&results);
    FindBox find;
    find.SetBounds(430, 310, 260, 30);
    form.GetControls().Add(&find);
    find.Open();
    MainMenu menu;
    menu.GetMenuItems().Add(new MenuItem(String(L"&Application")));
    form.SetMenu(&menu);
    Testing::PumpMessages();
    TreeNode* selectedNode = tree.GetSelectedNode();
    int selectedRow = grid.GetSelectedRow();
    bool checked = async.GetChecked();

    Accessible table = Accessible::OfWindow(grid.GetHandle());
    struct Kind
    {
        const char* name;
        Accessible object;
    };
    Kind kinds[] = {
        {"form", Accessible::OfWindow(form.GetHandle())},
        {"label", Accessible::OfWindow(userLabel.GetHandle())},
        {"text box", Accessible::OfWindow(user.GetHandle())},
        {"check box", Accessible::OfWindow(async.GetHandle())},
        {"tree", Accessible::OfWindow(tree.GetHandle())},
        {"grid", Accessible::OfWindow(grid.GetHandle())},
        {"grid headers", table.Child(1)},
        {"grid row", table.Child(2)},
        {"status bar", Accessible::OfWindow(status.GetHandle())},
        {"combo box", Accessible::OfWindow(choice.GetHandle())},
        {"tab strip", Accessible::OfWindow(view.GetToolBar().GetHandle())},
        {"find box", Accessible::OfWindow(find.GetHandle())},
        {"menu bar", Accessible::OfWindow(menu.GetHandle())},
    };
    for (const Kind& kind : kinds)
    {
        ASSERT_TRUE(kind.object) << kind.name;
        VARIANT empty;
        VariantInit(&empty);
        VARIANT bad[] = {ChildId(-1), ChildId(kind.object.ChildCount() + 1), ChildId(0x7FFFFFFF), empty};
        for (const AccessibleCall& call : accessibleCalls)
        {
            for (const VARIANT& child : bad)
            {
                if (call.takesChild)
                {
                    EXPECT_EQ(E_INVALIDARG, call.run(kind.object.operator->(), child))
                        << call.name << " on the " << kind.name << ", child "
                        << (child.vt == VT_I4 ? std::to_string(child.lVal) : std::string("VT_EMPTY"));
                }
            }
        }
    }
    EXPECT_EQ(selectedRow, grid.GetSelectedRow()) << "nothing was selected";
    EXPECT_EQ(selectedNode, tree.GetSelectedNode());
    EXPECT_EQ(checked, async.GetChecked()) << "nothing was pressed";
    form.SetMenu(nullptr);
}

// Menu items are named as the system's menus name them: the shortcut after a tab, the access key apart.
TEST_F(AccessibilityTest, MenuItemsCarryTheirShortcutsAndAccessKeys)
{
    MainMenu menu;
    auto* application = new MenuItem(String(L"&Application"));
    application->GetMenuItems().Add(
        new MenuItem(String(L"&Connect to another computer..."), 1, -1, Shortcut::CtrlShiftC));
    menu.GetMenuItems().Add(application);
    form.SetMenu(&menu);
    Accessible bar = Accessible::OfWindow(menu.GetHandle());
    EXPECT_EQ(ROLE_SYSTEM_MENUBAR, bar.Role());
    ASSERT_EQ(1, bar.ChildCount());
    EXPECT_EQ(ROLE_SYSTEM_MENUITEM, bar.Role(1));
    EXPECT_EQ(L"Application", bar.Name(1));
    EXPECT_EQ(L"Alt+A", bar.Shortcut(1));
    EXPECT_NE(0, bar.State(1) & STATE_SYSTEM_HASPOPUP);

    // Its default action opens the menu, whose items are objects of the open menu.
    VARIANT first;
    VariantInit(&first);
    first.vt = VT_I4;
    first.lVal = 1;
    EXPECT_EQ(S_OK, bar->accDoDefaultAction(first));
    ASSERT_NE(nullptr, application->GetDropDown()->GetHandle());
    Accessible popup = Accessible::OfWindow(application->GetDropDown()->GetHandle());
    EXPECT_EQ(ROLE_SYSTEM_MENUPOPUP, popup.Role());
    EXPECT_EQ(L"Connect to another computer...\tCtrl+Shift+C", popup.Name(1));
    EXPECT_EQ(L"C", popup.Shortcut(1));
    MenuTracker::Instance().Close();
    form.SetMenu(nullptr);
}

// A status panel's text is its name, and a change is announced.
TEST_F(AccessibilityTest, StatusPanelsAreNamedByTheirTextAndAnnounceChanges)
{
    StatusBar status;
    status.SetDock(DockStyle::Bottom);
    form.GetControls().Add(&status);
    StatusBarPanel* loading = status.AddPanel(String(L"Loading in progress"));
    status.AddPanel(String(L"Async"), StatusBarPanelAutoSize::Contents);
    Accessible bar = Accessible::OfWindow(status.GetHandle());
    EXPECT_EQ(ROLE_SYSTEM_STATUSBAR, bar.Role());
    ASSERT_EQ(2, bar.ChildCount());
    EXPECT_EQ(L"Loading in progress", bar.Name(1));
    EXPECT_EQ(L"Async", bar.Name(2));

    recordedEvents.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, RecordEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    loading->SetText(String(L"Loading completed. 23 records"));
    Testing::PumpMessages();
    UnhookWinEvent(hook);
    EXPECT_EQ(L"Loading completed. 23 records", bar.Name(1));
    bool announced = false;
    for (const RecordedEvent& event : TakeEvents())
    {
        announced =
            announced || (event.window == status.GetHandle() && event.object == OBJID_CLIENT && event.child == 1);
    }
    EXPECT_TRUE(announced);
}

// A drop-down list is read by the entry it shows, and a new choice is announced: it keeps no text of its own.
TEST_F(AccessibilityTest, ADropDownListIsReadByItsChoice)
{
    Label label;
    label.SetText(String(L"&Report results:"));
    label.SetBounds(10, 310, 100, 20);
    ComboBox choice;
    choice.SetBounds(120, 310, 200, 23);
    form.GetControls().Add(&label);
    form.GetControls().Add(&choice);
    choice.AddItem(String(L"Displayed on the screen"), 1);
    choice.AddItem(String(L"Opened in Excel spreadsheet"), 2);
    choice.SetSelectedIndex(0);
    Accessible box = Accessible::OfWindow(choice.GetHandle());
    EXPECT_EQ(ROLE_SYSTEM_COMBOBOX, box.Role());
    EXPECT_EQ(L"Report results:", box.Name());
    EXPECT_EQ(L"Displayed on the screen", box.Value());

    recordedEvents.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, RecordEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    choice.Focus();
    Testing::PressKey(choice, VK_DOWN);
    Testing::PumpMessages();
    UnhookWinEvent(hook);
    EXPECT_EQ(L"Opened in Excel spreadsheet", box.Value());
    bool announced = false;
    for (const RecordedEvent& event : TakeEvents())
    {
        announced = announced || (event.window == choice.GetHandle() && event.object == OBJID_CLIENT);
    }
    EXPECT_TRUE(announced);
    choice.SetSelectedIndex(-1);
    EXPECT_EQ(L"(none)", box.Value());
}

// The open list is a list of its entries; the entry the keys move to is selected and focused, and a screen reader
// hears each move; its default action chooses it.
TEST_F(AccessibilityTest, AnOpenDropDownListShowsItsEntries)
{
    ComboBox choice;
    choice.SetBounds(120, 310, 200, 23);
    form.GetControls().Add(&choice);
    for (const wchar_t* text : {L"Displayed on the screen", L"Opened in Excel spreadsheet", L"Saved as CSV"})
    {
        choice.AddItem(String(text), 0);
    }
    choice.SetSelectedIndex(0);
    choice.Focus();
    Testing::PressKey(choice, VK_F4);
    Testing::PumpMessages();
    HWND listWindow = FindWindowW(L"Core.Controls.DropDown", nullptr);
    ASSERT_NE(nullptr, listWindow);
    ASSERT_TRUE(IsWindowVisible(listWindow));
    Accessible list = Accessible::OfWindow(listWindow);
    ASSERT_TRUE(list);
    EXPECT_EQ(ROLE_SYSTEM_LIST, list.Role());
    EXPECT_EQ(3, list.ChildCount());
    EXPECT_EQ(L"Opened in Excel spreadsheet", list.Name(2));
    EXPECT_EQ(ROLE_SYSTEM_LISTITEM, list.Role(2));
    EXPECT_NE(0, list.State(1) & STATE_SYSTEM_FOCUSED);

    recordedEvents.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, RecordEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    Testing::PressKey(choice, VK_DOWN);
    Testing::PumpMessages();
    UnhookWinEvent(hook);
    EXPECT_NE(0, list.State(2) & STATE_SYSTEM_SELECTED);
    EXPECT_EQ(0, list.State(1) & STATE_SYSTEM_SELECTED);
    bool followed = false;
    for (const RecordedEvent& event : TakeEvents())
    {
        followed = followed || (event.window == listWindow && event.child == 2);
    }
    EXPECT_TRUE(followed);

    VARIANT third;
    VariantInit(&third);
    third.vt = VT_I4;
    third.lVal = 3;
    EXPECT_EQ(S_OK, list->accDoDefaultAction(third));
    EXPECT_EQ(2, choice.GetSelectedIndex());
    EXPECT_FALSE(IsWindowVisible(listWindow));
}

// A screen reader follows the focus from node to node, and hears a check box toggled.
TEST_F(AccessibilityTest, FocusMovesInTheTreeAndCheckTogglesAreAnnounced)
{
    os->Expand();
    tree.Focus();
    tree.SetSelectedNode(machine);
    recordedEvents.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_STATECHANGE, nullptr, RecordEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    Testing::PressKey(tree, VK_DOWN); // to "Operating System", the second visible node
    Testing::PressKey(tree, VK_SPACE);
    Testing::PumpMessages();
    UnhookWinEvent(hook);
    bool focused = false;
    bool toggled = false;
    for (const RecordedEvent& event : TakeEvents())
    {
        if (event.window != tree.GetHandle() || event.object != OBJID_CLIENT)
        {
            continue;
        }
        focused = focused || (event.event == EVENT_OBJECT_FOCUS && event.child == 2);
        toggled = toggled || (event.event == EVENT_OBJECT_STATECHANGE && event.child == 2);
    }
    EXPECT_TRUE(focused);
    EXPECT_TRUE(toggled);
    Accessible outline = Accessible::OfWindow(tree.GetHandle());
    EXPECT_NE(0, outline.State(2) & STATE_SYSTEM_FOCUSED);
    EXPECT_EQ(0, outline.State(2) & STATE_SYSTEM_MIXED) << "the partly checked node was toggled";
}

// A client may hold an object longer than its control lives: it then gets an error, never a crash.
TEST_F(AccessibilityTest, AnObjectWhoseControlIsGoneAnswersNotConnected)
{
    auto* doomed = new TextBox(String(L"gone soon"));
    form.GetControls().Add(doomed);
    Accessible held = Accessible::OfWindow(doomed->GetHandle());
    Accessible row = Accessible::OfWindow(grid.GetHandle()).Child(2);
    EXPECT_EQ(L"gone soon", held.Value());
    doomed->DestroyHandle();
    BSTR text = nullptr;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, held->get_accValue(self, &text));
    delete doomed;
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, held->get_accName(self, &text));
    long count = 0;
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, held->get_accChildCount(&count));

    ASSERT_TRUE(row);
    EXPECT_EQ(L"system", row.Name(1));
    grid.DestroyHandle();
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, row->get_accName(self, &text));
    EXPECT_EQ(nullptr, text);
}

namespace
{

// A label whose model notes the thread it is asked on.
class ProbedLabel : public Label
{
public:
    DWORD askedOn = 0;

protected:
    AccessibleObject* CreateAccessibilityObject() override
    {
        struct Model : AccessibleObject
        {
            explicit Model(ProbedLabel& label) : AccessibleObject(label), owner(label) {}
            String GetName() override
            {
                owner.askedOn = GetCurrentThreadId();
                return AccessibleObject::GetName();
            }
            ProbedLabel& owner;
        };
        return new Model(*this);
    }
};

} // namespace

// A screen reader in another process calls in on COM's own threads (the process lives in the multithreaded
// apartment): the question is answered on the window thread, where the controls live, and the answer comes back
// whole. A call that finds the object cut off says so from any thread.
TEST_F(AccessibilityTest, CallsFromAnotherThreadAreAnsweredOnTheWindowThread)
{
    auto* label = new ProbedLabel();
    label->SetText(String(L"&Server:"));
    form.GetControls().Add(label);
    Accessible held = Accessible::OfWindow(label->GetHandle());
    ASSERT_TRUE(held);
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    auto askFromAnotherThread = [&](HRESULT& result, std::wstring& name)
    {
        std::atomic<bool> done{false};
        std::thread reader(
            [&]
            {
                BSTR text = nullptr;
                result = held->get_accName(self, &text);
                name = text != nullptr ? std::wstring(text) : std::wstring();
                SysFreeString(text);
                done = true;
            });
        while (!done)
        {
            Testing::PumpMessages();
            Sleep(1);
        }
        reader.join();
    };
    HRESULT result = E_FAIL;
    std::wstring name;
    askFromAnotherThread(result, name);
    EXPECT_EQ(S_OK, result);
    EXPECT_EQ(L"Server:", name);
    EXPECT_EQ(GetCurrentThreadId(), label->askedOn);

    label->DestroyHandle();
    askFromAnotherThread(result, name);
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, result);
    delete label;
}
