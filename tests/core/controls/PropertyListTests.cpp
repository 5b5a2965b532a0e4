#include "core/controls/ContextMenu.h"
#include "core/controls/Form.h"
#include "core/controls/PropertyList.h"
#include "core/controls/ScrollBar.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolTip.h"

#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/AccessibleClient.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <oleacc.h>
#include <string>
#include <vector>
#include <windows.h>

using namespace Core::Controls;
using Core::EventArgs;
using Core::MemberEventHandler;
using Core::Object;
using Core::String;
using Rect = Core::Controls::Rectangle;
using Testing::ThrownMessage;

namespace
{

constexpr int NoRow = PropertyListModel::NoRow;

class Recorder
{
public:
    int selections = 0;
    std::vector<int> links;
    std::vector<int> menus;
    void OnSelection(Object*, EventArgs&) { selections++; }
    void OnLink(Object*, PropertyListEventArgs& args) { links.push_back(args.GetRow()); }
    void OnMenu(Object*, PropertyListEventArgs& args) { menus.push_back(args.GetRow()); }
};

class PropertyListTest : public testing::Test
{
protected:
    PropertyListTest()
        : selection(&recorder, &Recorder::OnSelection), link(&recorder, &Recorder::OnLink),
          menu(&recorder, &Recorder::OnMenu)
    {
    }
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetClientSize(480, 300);
        list.SetBounds(0, 0, 480, 300);
        form.GetControls().Add(&list);
        list.SelectionChanged.Subscribe(&selection);
        list.LinkActivated.Subscribe(&link);
        list.ContextMenuRequested.Subscribe(&menu);
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }
    void ShowAndFocus()
    {
        form.Show();
        list.Focus();
        Testing::PumpMessages();
    }
    // A process as its sheet shows it.
    void Fill()
    {
        PropertyListModel& model = list.GetModel();
        handle = model.AddRow(NoRow, String(L"Handle"), String(L"string"), String(L"4242"), PropertyRowFlags::Key);
        names = model.AddRow(NoRow, String(L"Names"), String(L"string[]"), String(L"2 elements"));
        model.AddRow(names, String(L"[0]"), String(L"string"), String(L"alpha"));
        model.AddRow(names, String(L"[1]"), String(L"string"), String(L"beta"));
        owner = model.AddRow(NoRow, String(L"Owner"), String(L"object"), String(L"Win32_Account"));
        account = model.AddRow(owner, String(L"Account"), String(L"object"), String(L"Win32_SID"));
        model.AddRow(account, String(L"SID"), String(L"string"), String(L"S-1-5-18"));
        domain = model.AddRow(owner, String(L"Domain"), String(L"string"), String(L"NULL"), PropertyRowFlags::Dimmed);
        parent = model.AddRow(NoRow, String(L"Parent"), String(L"ref:Win32_Process"),
                              String(L"Win32_Process.Handle=\"4\""), PropertyRowFlags::Link);
        system = model.AddGroup(String(L"System properties"));
        model.AddRow(system, String(L"__CLASS"), String(L"string"), String(L"Win32_Process"));
    }
    std::wstring Selected()
    {
        int row = list.GetSelectedRow();
        return row == NoRow ? L"(none)" : list.GetModel().GetName(row).GetBuffer();
    }
    Point Center(const Rect& r) const { return Point{r.left + r.width / 2, r.top + r.height / 2}; }
    void ClickAt(const Point& point) { Testing::Click(list, point.x, point.y); }
    void DoubleClickAt(const Point& point)
    {
        LPARAM position = MAKELPARAM(point.x, point.y);
        SendMessageW(list.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, position);
        SendMessageW(list.GetHandle(), WM_LBUTTONUP, 0, position);
        SendMessageW(list.GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, position);
        SendMessageW(list.GetHandle(), WM_LBUTTONUP, 0, position);
    }

    Form form;
    PropertyList list;
    Recorder recorder;
    MemberEventHandler<Recorder, EventArgs> selection;
    MemberEventHandler<Recorder, PropertyListEventArgs> link;
    MemberEventHandler<Recorder, PropertyListEventArgs> menu;
    int handle = NoRow;
    int names = NoRow;
    int owner = NoRow;
    int account = NoRow;
    int domain = NoRow;
    int parent = NoRow;
    int system = NoRow;
};

} // namespace

// --- Keyboard ---

TEST_F(PropertyListTest, ArrowsMoveTheSelectionAndOpenAndCloseRows)
{
    Fill();
    ShowAndFocus();
    // Shown: Handle, Names, Owner, Parent, System properties, __CLASS.
    Testing::PressKey(list, Keys::Down);
    EXPECT_EQ(L"Handle", Selected());
    Testing::PressKey(list, Keys::Down);
    Testing::PressKey(list, Keys::Right);
    EXPECT_TRUE(list.GetModel().IsExpanded(names));
    EXPECT_EQ(L"Names", Selected());
    Testing::PressKey(list, Keys::Right);
    EXPECT_EQ(L"[0]", Selected());
    Testing::PressKey(list, Keys::Down);
    EXPECT_EQ(L"[1]", Selected());
    Testing::PressKey(list, Keys::Right);
    EXPECT_EQ(L"[1]", Selected()) << "a row without children opens nothing";
    Testing::PressKey(list, Keys::Left);
    EXPECT_EQ(L"Names", Selected());
    Testing::PressKey(list, Keys::Left);
    EXPECT_FALSE(list.GetModel().IsExpanded(names));
    Testing::PressKey(list, Keys::End);
    EXPECT_EQ(L"__CLASS", Selected());
    Testing::PressKey(list, Keys::Home);
    EXPECT_EQ(L"Handle", Selected());
    Testing::PressKey(list, Keys::PageDown);
    EXPECT_EQ(L"__CLASS", Selected()) << "a page holds more rows than there are";
    Testing::PressKey(list, Keys::PageUp);
    EXPECT_EQ(L"Handle", Selected());
    EXPECT_EQ(9, recorder.selections);
}

TEST_F(PropertyListTest, PlusMinusAndStarOpenCloseAndOpenEverythingBelow)
{
    Fill();
    ShowAndFocus();
    list.SelectRow(owner);
    Testing::PressKey(list, VK_ADD);
    EXPECT_TRUE(list.GetModel().IsExpanded(owner));
    EXPECT_FALSE(list.GetModel().IsExpanded(account));
    Testing::PressKey(list, VK_SUBTRACT);
    EXPECT_FALSE(list.GetModel().IsExpanded(owner));
    Testing::PressKey(list, VK_MULTIPLY);
    EXPECT_TRUE(list.GetModel().IsExpanded(owner));
    EXPECT_TRUE(list.GetModel().IsExpanded(account));
    EXPECT_FALSE(list.GetModel().IsExpanded(names)) << "only below the selected row";
    // The main keyboard's characters do the same.
    SendMessageW(list.GetHandle(), WM_CHAR, L'-', 0);
    EXPECT_FALSE(list.GetModel().IsExpanded(owner));
    SendMessageW(list.GetHandle(), WM_CHAR, L'+', 0);
    EXPECT_TRUE(list.GetModel().IsExpanded(owner));
    EXPECT_EQ(9, list.GetModel().GetVisibleRowCount());
}

// --- Mouse ---

TEST_F(PropertyListTest, TheGlyphOpensARowAndADoubleClickOpensAndClosesIt)
{
    Fill();
    ShowAndFocus();
    Rect glyph = list.GetPartBounds(owner, PropertyListHitArea::Glyph);
    ASSERT_FALSE(glyph.IsEmpty());
    EXPECT_TRUE(list.GetPartBounds(handle, PropertyListHitArea::Glyph).IsEmpty()) << "no children, no glyph";
    int row = NoRow;
    EXPECT_EQ(PropertyListHitArea::Glyph, list.HitTest(Center(glyph), &row));
    EXPECT_EQ(owner, row);
    ClickAt(Center(glyph));
    EXPECT_TRUE(list.GetModel().IsExpanded(owner));
    EXPECT_EQ(NoRow, list.GetSelectedRow()) << "the glyph opens without selecting";
    // Children are indented one level.
    Rect ownerName = list.GetPartBounds(owner, PropertyListHitArea::Name);
    Rect accountName = list.GetPartBounds(account, PropertyListHitArea::Name);
    EXPECT_EQ(ownerName.left + list.Scale(16), accountName.left);
    DoubleClickAt(Center(accountName));
    EXPECT_EQ(account, list.GetSelectedRow());
    EXPECT_TRUE(list.GetModel().IsExpanded(account));
    DoubleClickAt(Center(list.GetPartBounds(account, PropertyListHitArea::Type)));
    EXPECT_FALSE(list.GetModel().IsExpanded(account));
    // A click below the last row does nothing.
    ClickAt(Point{20, list.GetClientRectangle().height - 5});
    EXPECT_EQ(account, list.GetSelectedRow());
}

TEST_F(PropertyListTest, AClickOnALinkOrEnterOnItsRowRaisesLinkActivated)
{
    Fill();
    ShowAndFocus();
    Rect text = list.GetPartBounds(parent, PropertyListHitArea::Link);
    Rect cell = list.GetPartBounds(parent, PropertyListHitArea::Value);
    ASSERT_FALSE(text.IsEmpty());
    EXPECT_LT(text.GetRight(), cell.GetRight()) << "the link is its text, not its cell";
    EXPECT_TRUE(list.GetPartBounds(handle, PropertyListHitArea::Link).IsEmpty());
    // Over the link the hand shows.
    Testing::MouseMove(list, text.left + 3, text.top + text.height / 2);
    EXPECT_EQ(0x7F89, list.GetCursorId());
    ClickAt(Point{text.left + 3, text.top + text.height / 2});
    EXPECT_EQ(std::vector<int>{parent}, recorder.links);
    EXPECT_EQ(parent, list.GetSelectedRow());
    // Beside the text, the cell is no link.
    Testing::MouseMove(list, cell.GetRight() - 3, cell.top + 3);
    EXPECT_EQ(0x7F00, list.GetCursorId());
    ClickAt(Point{cell.GetRight() - 3, cell.top + 3});
    EXPECT_EQ(1u, recorder.links.size());
    // Pressed on the link and let go elsewhere: not followed.
    Point on{text.left + 3, text.top + text.height / 2};
    SendMessageW(list.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(on.x, on.y));
    SendMessageW(list.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(on.x, on.y + list.GetRowHeight()));
    EXPECT_EQ(1u, recorder.links.size());
    Testing::PressKey(list, Keys::Return);
    EXPECT_EQ((std::vector<int>{parent, parent}), recorder.links);
    // Enter on a row with children opens it; on a plain row it is left to the form.
    list.SelectRow(names);
    Testing::PressKey(list, Keys::Return);
    EXPECT_TRUE(list.GetModel().IsExpanded(names));
    EXPECT_EQ(2u, recorder.links.size());
}

TEST_F(PropertyListTest, DraggingAHeaderEdgeResizesAColumnAndTheValueFillsTheRest)
{
    Fill();
    ShowAndFocus();
    int viewport = list.GetViewportRectangle().width;
    EXPECT_EQ(viewport, list.GetColumnRight(PropertyListColumn::Value));
    int edge = list.GetColumnRight(PropertyListColumn::Name);
    int y = list.GetHeaderHeight() / 2;
    int row = NoRow;
    EXPECT_EQ(PropertyListHitArea::HeaderEdge, list.HitTest(Point{edge, y}, &row));
    SendMessageW(list.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(edge, y));
    SendMessageW(list.GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(edge + list.Scale(40), y));
    SendMessageW(list.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(edge + list.Scale(40), y));
    EXPECT_EQ(220, list.GetColumnWidth(PropertyListColumn::Name));
    EXPECT_EQ(list.Scale(220) + list.Scale(90), list.GetColumnRight(PropertyListColumn::Type));
    EXPECT_EQ(list.GetColumnRight(PropertyListColumn::Type),
              list.GetPartBounds(handle, PropertyListHitArea::Value).left);
    // Too wide for the view: the value keeps its own width and the list scrolls sideways.
    list.SetColumnWidth(PropertyListColumn::Name, 600);
    Testing::PumpMessages();
    EXPECT_TRUE(list.GetHorizontalScrollBar()->IsVisible());
    EXPECT_EQ(list.Scale(600 + 90 + 160), list.GetColumnRight(PropertyListColumn::Value));
    EXPECT_EQ(L"PropertyList.SetColumnWidth method - column index out of range",
              ThrownMessage([&] { list.SetColumnWidth(3, 10); }));
}

TEST_F(PropertyListTest, ADoubleClickOnAHeaderEdgeFitsTheColumnToItsTexts)
{
    Fill();
    list.GetModel().Expand(owner);
    ShowAndFocus();
    int edge = list.GetColumnRight(PropertyListColumn::Name);
    int y = list.GetHeaderHeight() / 2;
    SendMessageW(list.GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(edge, y));
    SendMessageW(list.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(edge, y));
    // The widest name with its indent, as the system measures it; the heading spans the columns and counts not.
    HDC screen = GetDC(static_cast<HWND>(list.GetHandle()));
    HGDIOBJ previous = SelectObject(screen, list.GetFontHandle());
    int widest = 0;
    for (int row : {handle, names, owner, account, domain, parent})
    {
        String name = list.GetModel().GetName(row);
        SIZE size;
        GetTextExtentPoint32W(screen, name.GetBuffer(), name.GetLength(), &size);
        int right = list.GetPartBounds(row, PropertyListHitArea::Name).left + static_cast<int>(size.cx);
        widest = right > widest ? right : widest;
    }
    SelectObject(screen, previous);
    ReleaseDC(static_cast<HWND>(list.GetHandle()), screen);
    int width = list.Scale(list.GetColumnWidth(PropertyListColumn::Name));
    EXPECT_GE(width, widest + list.Scale(6));
    EXPECT_LE(width, widest + list.Scale(10));
    EXPECT_LT(width, list.Scale(180)) << "narrower than before";
}

// --- Copying ---

TEST_F(PropertyListTest, CtrlCCopiesTheSelectedRowAndCtrlAThenCtrlCEveryRowShown)
{
    Fill();
    ShowAndFocus();
    list.GetModel().Expand(owner);
    list.SelectRow(owner);
    Testing::PressKey(list, 'C', Keys::Control);
    EXPECT_EQ(L"Owner = Win32_Account\r\n  Account = Win32_SID\r\n  Domain = NULL\r\n", Testing::ClipboardText());
    Testing::PressKey(list, 'A', Keys::Control);
    EXPECT_TRUE(list.GetModel().IsAllSelected());
    Testing::PressKey(list, Keys::Insert, Keys::Control);
    EXPECT_EQ(L"Handle = 4242\r\n"
              L"Names = 2 elements\r\n"
              L"Owner = Win32_Account\r\n"
              L"  Account = Win32_SID\r\n"
              L"  Domain = NULL\r\n"
              L"Parent = Win32_Process.Handle=\"4\"\r\n"
              L"System properties\r\n"
              L"  __CLASS = Win32_Process\r\n",
              Testing::ClipboardText());
    // A move selects one row again.
    Testing::PressKey(list, Keys::Down);
    EXPECT_FALSE(list.GetModel().IsAllSelected());
    EXPECT_EQ(account, list.GetSelectedRow());
}

// --- Scrolling ---

TEST_F(PropertyListTest, AHundredThousandRowsScrollAndTheLastIsReachedByKeyAndBar)
{
    PropertyListModel& model = list.GetModel();
    int elements = model.AddRow(NoRow, String(L"Elements"), String(L"uint32[]"), String(L"100000 elements"));
    model.Expand(elements);
    int count = 100000;
    for (int i = 0; i < count; i++)
    {
        model.AddRow(elements, String(L"[") + i + L"]", String(L"uint32"), String(L"") + i);
    }
    ShowAndFocus();
    ScrollBar* bar = list.GetVerticalScrollBar();
    ASSERT_TRUE(bar->IsVisible());
    EXPECT_EQ((count + 1) * list.GetRowHeight() + list.GetHeaderHeight() - 1, bar->GetMaximum());
    EXPECT_FALSE(list.GetHorizontalScrollBar()->IsVisible());
    Testing::PressKey(list, Keys::End);
    EXPECT_EQ(count, list.GetSelectedRow());
    Rect viewport = list.GetViewportRectangle();
    Rect last = list.GetRowBounds(count);
    EXPECT_EQ(viewport.height, last.GetBottom());
    EXPECT_EQ(count, list.GetRowAt(Point{10, viewport.height - 2}));
    EXPECT_EQ(bar->GetMaximumValue(), bar->GetValue());
    // The picture shows the selected last row at the bottom.
    Testing::Picture picture = Testing::Render(list);
    EXPECT_GT(picture.CountIn(Theme::Highlight(), 0, last.top, viewport.width, last.height), viewport.width);
    SendMessageW(list.GetHandle(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(elements, list.GetRowAt(Point{10, list.GetHeaderHeight() + 1}));
    // Closing the row with every element gives the bar back its small range.
    list.SelectRow(elements);
    Testing::PressKey(list, Keys::Left);
    Testing::PumpMessages();
    EXPECT_FALSE(bar->IsVisible());
    Testing::PressKey(list, Keys::Right);
    Testing::PumpMessages();
    EXPECT_TRUE(bar->IsVisible());
}

TEST_F(PropertyListTest, RowsAddedBelowTheViewReachTheScrollBar)
{
    Fill();
    ShowAndFocus();
    ScrollBar* bar = list.GetVerticalScrollBar();
    EXPECT_FALSE(bar->IsVisible());
    for (int i = 0; i < 50; i++)
    {
        list.GetModel().AddRow(system, String(L"__PROPERTY") + i, String(L"string"), String(L"x"));
    }
    Testing::PumpMessages();
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ((6 + 50) * list.GetRowHeight() + list.GetHeaderHeight() - 1, bar->GetMaximum());
}

// --- Painting ---

// Only what changed is painted again: a shown row whose value changes, not a hidden one.
TEST_F(PropertyListTest, AChangedValueRepaintsItsRowOnly)
{
    Fill();
    ShowAndFocus();
    HWND window = static_cast<HWND>(list.GetHandle());
    UpdateWindow(window);
    list.GetModel().SetValue(account, String(L"hidden"));
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
    list.GetModel().SetValue(parent, String(L"Win32_Process.Handle=\"8\""));
    RECT update;
    ASSERT_TRUE(GetUpdateRect(window, &update, FALSE));
    Rect row = list.GetRowBounds(parent);
    EXPECT_EQ(row.top, update.top);
    EXPECT_EQ(row.GetBottom(), update.bottom);
}

TEST_F(PropertyListTest, ThePictureShowsHeadingsKeyMarksLinksAndTheSelection)
{
    Fill();
    ShowAndFocus();
    list.SelectRow(handle);
    Testing::Picture picture = Testing::Render(list);
    Color window = Theme::Window();
    // The header's texts.
    EXPECT_GT(picture.CountOther(window, 0, 0, list.GetColumnRight(0), list.GetHeaderHeight() - 2), 20);
    // The key mark is drawn on the key's row only, and the names of every row make room for it.
    Rect mark = list.GetPartBounds(handle, PropertyListHitArea::Mark);
    ASSERT_FALSE(mark.IsEmpty());
    EXPECT_GT(picture.CountOther(Theme::Highlight(), mark.left, mark.top + 2, mark.width, mark.height - 4), 10);
    EXPECT_TRUE(list.GetPartBounds(names, PropertyListHitArea::Mark).IsEmpty());
    Rect namesName = list.GetPartBounds(names, PropertyListHitArea::Name);
    EXPECT_EQ(0, picture.CountOther(window, mark.left, namesName.top + 2, mark.width, namesName.height - 4));
    EXPECT_EQ(list.GetPartBounds(handle, PropertyListHitArea::Name).left, namesName.left);
    // The selected row in the selection colour, whole.
    Rect selected = list.GetRowBounds(handle);
    EXPECT_GT(picture.CountIn(Theme::Highlight(), 0, selected.top, selected.width, selected.height),
              selected.width * selected.height / 2);
    // A link in the link colour; a plain value in none of it.
    Rect linkText = list.GetPartBounds(parent, PropertyListHitArea::Link);
    EXPECT_GT(picture.CountIn(Theme::LinkText(), linkText.left, linkText.top, linkText.width, linkText.height), 10);
    Rect plain = list.GetPartBounds(names, PropertyListHitArea::Value);
    EXPECT_EQ(0, picture.CountIn(Theme::LinkText(), plain.left, plain.top, plain.width, plain.height));
    // A heading spans the columns on a band of its own, without the cells' lines.
    Rect heading = list.GetRowBounds(system);
    EXPECT_TRUE(list.GetPartBounds(system, PropertyListHitArea::Value).IsEmpty());
    Color band = picture.At(heading.GetRight() - 3, heading.top + heading.height / 2);
    EXPECT_NE(window, band);
    EXPECT_EQ(band, picture.At(list.GetColumnRight(0) - 1, heading.top + 1));
    // Without keys, names start where the mark was.
    list.GetModel().SetFlags(handle, PropertyRowFlags::None);
    EXPECT_LT(list.GetPartBounds(names, PropertyListHitArea::Name).left, namesName.left);
}

// --- Tips and the context menu ---

TEST_F(PropertyListTest, ACutValueShowsWholeInATipAndAValueThatFitsHasNone)
{
    Fill();
    String whole = String(L"C:\\Windows\\System32\\svchost.exe -k netsvcs -p -s Schedule and a long way further on");
    int command = list.GetModel().AddRow(NoRow, String(L"CommandLine"), String(L"string"), whole);
    ShowAndFocus();
    Rect cut = list.GetPartBounds(command, PropertyListHitArea::Value);
    Rect fits = list.GetPartBounds(handle, PropertyListHitArea::Value);
    Testing::MouseMove(list, fits.left + 10, fits.top + 3);
    EXPECT_TRUE(list.GetCellTip() == nullptr || list.GetCellTip()->GetShownText().IsEmpty());
    Testing::MouseMove(list, cut.left + 10, cut.top + 3);
    ASSERT_NE(nullptr, list.GetCellTip());
    EXPECT_STREQ(whole.GetBuffer(), list.GetCellTip()->GetShownText().GetBuffer());
    ASSERT_TRUE(Testing::PumpUntil([&] { return list.GetCellTip()->IsShowing(); }));
    // A key ends it.
    Testing::PressKey(list, Keys::Down);
    EXPECT_FALSE(list.GetCellTip()->IsShowing());
}

TEST_F(PropertyListTest, TheContextMenuIsForTheSelectedRowFromMouseAndKeyboard)
{
    Fill();
    ContextMenu contextMenu;
    contextMenu.GetMenuItems().Add(new MenuItem(String(L"&Copy"), 1));
    list.SetContextMenu(&contextMenu);
    ShowAndFocus();
    // A right click selects the row under it first; its release asks for the menu.
    Rect ownerRow = list.GetRowBounds(owner);
    SendMessageW(list.GetHandle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, ownerRow.top + 3));
    EXPECT_EQ(owner, list.GetSelectedRow());
    EXPECT_FALSE(contextMenu.IsOpen());
    SendMessageW(list.GetHandle(), WM_RBUTTONUP, 0, MAKELPARAM(30, ownerRow.top + 3));
    ASSERT_TRUE(contextMenu.IsOpen());
    EXPECT_EQ(owner, recorder.menus.back());
    Testing::PressKey(list, Keys::Escape);
    ASSERT_FALSE(contextMenu.IsOpen());
    // From the keyboard: below the selected row.
    list.SelectRow(parent);
    SendMessageW(list.GetHandle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list.GetHandle()), MAKELPARAM(-1, -1));
    ASSERT_TRUE(contextMenu.IsOpen());
    EXPECT_EQ(parent, recorder.menus.back());
    RECT menuRect;
    GetWindowRect(static_cast<HWND>(contextMenu.GetHandle()), &menuRect);
    POINT below = {0, list.GetRowBounds(parent).GetBottom()};
    ClientToScreen(static_cast<HWND>(list.GetHandle()), &below);
    EXPECT_EQ(below.y, menuRect.top);
    Testing::PressKey(list, Keys::Escape);
}

// --- Accessibility ---

namespace
{

VARIANT ChildId(long id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

} // namespace

// The rows shown are outline items named by their names, their values as values, described by their types and key
// marks, with their open, selected, focused and link states.
TEST_F(PropertyListTest, ScreenReadersFindTheRowsShownAsOutlineItems)
{
    Fill();
    ShowAndFocus();
    Testing::Accessible outline = Testing::Accessible::OfWindow(list.GetHandle());
    ASSERT_TRUE(outline);
    EXPECT_EQ(ROLE_SYSTEM_OUTLINE, outline.Role());
    // Handle, Names, Owner, Parent, System properties, __CLASS; the bars follow as child windows.
    EXPECT_LE(6, outline.ChildCount());
    EXPECT_EQ(ROLE_SYSTEM_OUTLINEITEM, outline.Role(1));
    EXPECT_EQ(L"Handle", outline.Name(1));
    EXPECT_EQ(L"4242", outline.Value(1));
    EXPECT_EQ(L"Key, string", outline.Description(1));
    EXPECT_EQ(L"string[]", outline.Description(2));
    EXPECT_NE(0, outline.State(2) & STATE_SYSTEM_COLLAPSED);
    EXPECT_EQ(L"Expand", outline.DefaultAction(2));
    EXPECT_EQ(0, outline.State(1) & (STATE_SYSTEM_COLLAPSED | STATE_SYSTEM_EXPANDED)) << "no children";
    EXPECT_NE(0, outline.State(4) & STATE_SYSTEM_LINKED);
    EXPECT_EQ(L"Jump", outline.DefaultAction(4));
    EXPECT_EQ(L"System properties", outline.Name(5));
    EXPECT_NE(0, outline.State(5) & STATE_SYSTEM_EXPANDED);

    // The default action opens a row, and the items that follow are its children.
    EXPECT_EQ(S_OK, outline->accDoDefaultAction(ChildId(2)));
    EXPECT_TRUE(list.GetModel().IsExpanded(names));
    EXPECT_EQ(L"[0]", outline.Name(3));
    EXPECT_EQ(L"alpha", outline.Value(3));
    EXPECT_NE(0, outline.State(2) & STATE_SYSTEM_EXPANDED);
    // A link's follows it.
    EXPECT_EQ(S_OK, outline->accDoDefaultAction(ChildId(6)));
    EXPECT_EQ(std::vector<int>{parent}, recorder.links);

    // Selecting through the object selects the row; the focused list gives it the focus too.
    EXPECT_EQ(S_OK, outline->accSelect(SELFLAG_TAKESELECTION, ChildId(5)));
    EXPECT_EQ(owner, list.GetSelectedRow());
    EXPECT_NE(0, outline.State(5) & STATE_SYSTEM_SELECTED);
    EXPECT_NE(0, outline.State(5) & STATE_SYSTEM_FOCUSED);
    EXPECT_EQ(0, outline.State(1) & STATE_SYSTEM_SELECTED);
    VARIANT focus;
    VariantInit(&focus);
    EXPECT_EQ(S_OK, outline->get_accFocus(&focus));
    EXPECT_EQ(VT_I4, focus.vt);
    EXPECT_EQ(5, focus.lVal);
    // Where a row is, and which row is at a point.
    long left = 0;
    long top = 0;
    long width = 0;
    long height = 0;
    EXPECT_EQ(S_OK, outline->accLocation(&left, &top, &width, &height, ChildId(5)));
    POINT origin = {0, list.GetRowBounds(owner).top};
    ClientToScreen(static_cast<HWND>(list.GetHandle()), &origin);
    EXPECT_EQ(origin.y, top);
    EXPECT_EQ(list.GetRowHeight(), height);
    VARIANT hit;
    VariantInit(&hit);
    EXPECT_EQ(S_OK, outline->accHitTest(left + 5, top + height / 2, &hit));
    EXPECT_EQ(VT_I4, hit.vt);
    EXPECT_EQ(5, hit.lVal);
}

TEST_F(PropertyListTest, RowsBelowTheViewAreOffscreen)
{
    Fill();
    for (int i = 0; i < 40; i++)
    {
        list.GetModel().AddRow(system, String(L"__P") + i, String(L"string"), String(L"x"));
    }
    ShowAndFocus();
    Testing::Accessible outline = Testing::Accessible::OfWindow(list.GetHandle());
    EXPECT_EQ(0, outline.State(1) & STATE_SYSTEM_OFFSCREEN);
    EXPECT_NE(0, outline.State(46) & STATE_SYSTEM_OFFSCREEN);
    Testing::PressKey(list, Keys::End);
    EXPECT_NE(0, outline.State(1) & STATE_SYSTEM_OFFSCREEN);
    EXPECT_EQ(0, outline.State(46) & STATE_SYSTEM_OFFSCREEN);
}

// A screen reader follows the focus from row to row, and hears a row opened.
TEST_F(PropertyListTest, FocusMovesAndOpeningARowAreAnnounced)
{
    Fill();
    ShowAndFocus();
    list.SelectRow(handle);
    Testing::TakeEvents();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_STATECHANGE, nullptr, Testing::RecordEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    Testing::PressKey(list, Keys::Down); // to Names, the second row
    Testing::PressKey(list, Keys::Right);
    Testing::PumpMessages();
    UnhookWinEvent(hook);
    bool focused = false;
    bool opened = false;
    for (const Testing::RecordedEvent& event : Testing::TakeEvents())
    {
        if (event.window != list.GetHandle() || event.object != OBJID_CLIENT)
        {
            continue;
        }
        focused = focused || (event.event == EVENT_OBJECT_FOCUS && event.child == 2);
        opened = opened || (event.event == EVENT_OBJECT_STATECHANGE && event.child == 2);
    }
    EXPECT_TRUE(focused);
    EXPECT_TRUE(opened);
}
