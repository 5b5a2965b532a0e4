// Quick find: the grid's row filter, the find strip and the tree's search, driven through real windows and
// messages; the expected rows are written out by hand.
#include "core/controls/FindBox.h"
#include "core/controls/Form.h"
#include "core/controls/Grid.h"
#include "core/controls/Label.h"
#include "core/controls/TextFinder.h"
#include "core/controls/Theme.h"
#include "core/controls/TreeView.h"

#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/AccessibleClient.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

using namespace Core::Controls;
using Core::EventArgs;
using Core::MemberEventHandler;
using Core::Object;
using Core::String;
using Rect = Core::Controls::Rectangle;
using Testing::Accessible;
using Testing::ThrownMessage;

namespace
{

class Counter
{
public:
    int count = 0;
    void OnEvent(Object*, EventArgs&) { count++; }
};

// Pumps the messages until the grid's filter has searched every row (at most five seconds).
void WaitForFilter(Grid& grid)
{
    for (int i = 0; i < 5000 && grid.IsFilterPending(); i++)
    {
        Testing::PumpMessages();
        if (grid.IsFilterPending())
        {
            Sleep(1);
        }
    }
    Testing::PumpMessages();
}

class GridFilterTest : public testing::Test
{
protected:
    GridFilterTest() : countChanged(&counts, &Counter::OnEvent), selectionChanged(&selections, &Counter::OnEvent) {}
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetClientSize(420, 300);
        grid.SetBounds(0, 0, 420, 300);
        form.GetControls().Add(&grid);
        grid.VisibleRowCountChanged.Subscribe(&countChanged);
        grid.SelectionChanged.Subscribe(&selectionChanged);
        grid.GetColumns().Add(String(L"Name"), 120);
        grid.GetColumns().Add(String(L"Size"), 80);
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
        grid.Focus();
        Testing::PumpMessages();
    }
    void Add(const std::vector<std::pair<const wchar_t*, const wchar_t*>>& rows)
    {
        for (const auto& [name, size] : rows)
        {
            int row = grid.GetRows().Add();
            grid.SetCellText(row, 0, String(name));
            grid.SetCellText(row, 1, String(size));
        }
    }
    // Rows 0 to 6.
    void FillProcesses()
    {
        Add({{L"system", L"4"},
             {L"svchost.exe", L"20"},
             {L"explorer.exe", L"300"},
             {L"SVCHOST.EXE", L"1"},
             {L"\u00C9cran", L"55"},
             {L"\u03C3\u03B9\u03B3\u03BC\u03B1", L"7"},
             {L"lsass.exe", L"6"}});
    }
    // The Name cells in the order shown.
    std::vector<std::wstring> Shown()
    {
        std::vector<std::wstring> names;
        for (int view = 0; view < grid.GetVisibleRowCount(); view++)
        {
            names.push_back(grid.GetCellText(grid.GetRowAtViewIndex(view), 0).GetBuffer());
        }
        return names;
    }
    void Filter(const wchar_t* text)
    {
        grid.SetFilterText(String(text));
        WaitForFilter(grid);
    }

    Form form;
    Grid grid;
    Counter counts;
    Counter selections;
    MemberEventHandler<Counter, EventArgs> countChanged;
    MemberEventHandler<Counter, EventArgs> selectionChanged;
};

using Names = std::vector<std::wstring>;

} // namespace

// --- Finding text regardless of case ---

// Every UTF-16 unit is compared in its invariant upper-case form: ASCII, Latin-1 letters (kept one byte a
// character in the grid) and other scripts alike; no culture's special rules (the Turkish dotless i) apply.
TEST(TextFinderTest, FindsTextRegardlessOfCaseInEveryScript)
{
    EXPECT_TRUE(TextFinder(String(L"SVCHOST")).IsFoundIn(String(L"C:\\Windows\\svchost.exe")));
    EXPECT_TRUE(TextFinder(String(L"\u00E9cran")).IsFoundIn(String(L"\u00C9CRAN")));
    EXPECT_TRUE(TextFinder(String(L"\u03A3\u0399\u0393")).IsFoundIn(String(L"\u03C3\u03B9\u03B3\u03BC\u03B1")));
    EXPECT_FALSE(TextFinder(String(L"svchosts")).IsFoundIn(String(L"svchost")));
    EXPECT_TRUE(TextFinder(String()).IsFoundIn(String(L"anything")));
    EXPECT_EQ(L'I', TextFinder::Fold(L'i'));
    EXPECT_EQ(L'\u0178', TextFinder::Fold(L'\u00FF'));

    // The narrow search reads sixteen bytes at a time: a match at any place of a long text, and none in the
    // padding after it.
    std::vector<uint8_t> text(64 + TextFinder::NarrowPadding, 'x');
    TextFinder finder(String(L"Ab"));
    for (int place = 0; place < 63; place++)
    {
        std::fill(text.begin(), text.end(), 'x');
        text[static_cast<size_t>(place)] = 'a';
        text[static_cast<size_t>(place) + 1] = 'B';
        EXPECT_TRUE(finder.IsFoundInNarrow(text.data(), 64)) << place;
        EXPECT_EQ(place + 2 <= 40, finder.IsFoundInNarrow(text.data(), 40)) << place;
    }
    EXPECT_FALSE(TextFinder(String(L"\u0100")).IsFoundInNarrow(text.data(), 64));

    // A text narrows another when it holds it.
    EXPECT_TRUE(TextFinder(String(L"svchost")).Narrows(TextFinder(String(L"VCH"))));
    EXPECT_FALSE(TextFinder(String(L"svc")).Narrows(TextFinder(String(L"svch"))));
}

// --- The grid's filter ---

TEST_F(GridFilterTest, OnlyRowsWithACellHoldingTheTextAreShownRegardlessOfCase)
{
    FillProcesses();
    ShowAndFocus();

    Filter(L"SvcHost");
    EXPECT_EQ((Names{L"svchost.exe", L"SVCHOST.EXE"}), Shown());
    EXPECT_EQ(2, grid.GetVisibleRowCount());
    EXPECT_EQ(7, grid.GetRowCount());
    EXPECT_TRUE(grid.IsFiltered());
    EXPECT_FALSE(grid.IsRowVisible(0));
    EXPECT_TRUE(grid.IsRowVisible(3));
    EXPECT_EQ(-1, grid.GetViewIndexOfRow(0));
    EXPECT_EQ(1, grid.GetViewIndexOfRow(3));

    // Any cell: the Size column holds "300".
    Filter(L"30");
    EXPECT_EQ((Names{L"explorer.exe"}), Shown());
    // Latin-1 letters (one byte a character in the grid) and Greek (two).
    Filter(L"\u00E9CRAN");
    EXPECT_EQ((Names{L"\u00C9cran"}), Shown());
    Filter(L"\u03A3\u0399\u0393\u039C");
    EXPECT_EQ((Names{L"\u03C3\u03B9\u03B3\u03BC\u03B1"}), Shown());
    Filter(L"no such process");
    EXPECT_EQ(0, grid.GetVisibleRowCount());

    // An empty text shows every row again.
    counts.count = 0;
    Filter(L"");
    EXPECT_FALSE(grid.IsFiltered());
    EXPECT_EQ(7, grid.GetVisibleRowCount());
    EXPECT_EQ(L"lsass.exe", Shown()[6]);
    EXPECT_EQ(1, counts.count);
}

// Each keystroke tells the caller the new count; a longer text looks only at what the shorter found, a
// shorter one (a correction) at every row again or at what it found before.
TEST_F(GridFilterTest, TypingAndCorrectingTellTheCountEachTime)
{
    FillProcesses();
    ShowAndFocus();
    std::vector<std::pair<const wchar_t*, int>> steps = {
        {L"s", 4}, {L"s.", 1}, {L"s.e", 1}, {L"s.ex", 1}, {L"s.exe", 1}, {L"s.exe", 1}, {L"s.ex", 1},
        {L"s", 4}, {L"sv", 2}, {L"svc", 2}, {L"svcx", 0}, {L"svc", 2},   {L"", 7}};
    int expectedEvents = 0;
    int last = 7;
    for (const auto& [text, count] : steps)
    {
        grid.SetFilterText(String(text));
        WaitForFilter(grid);
        EXPECT_EQ(count, grid.GetVisibleRowCount()) << "after \"" << text << "\"";
        expectedEvents += count != last ? 1 : 0;
        last = count;
        EXPECT_EQ(expectedEvents, counts.count) << "after \"" << text << "\"";
        EXPECT_EQ(std::wstring(text), std::wstring(grid.GetFilterText().GetBuffer()));
    }
}

TEST_F(GridFilterTest, SortingOrdersTheFilteredRows)
{
    FillProcesses();
    ShowAndFocus();
    // An E with an accent is another letter.
    Filter(L"e");
    EXPECT_EQ((Names{L"system", L"svchost.exe", L"explorer.exe", L"SVCHOST.EXE", L"lsass.exe"}), Shown());

    // A click on the header, as the user sorts; equal names keep the order of addition.
    Testing::Click(grid, grid.GetColumnRight(0) - grid.Scale(30), grid.GetHeaderHeight() / 2);
    EXPECT_EQ(0, grid.GetSortColumn());
    EXPECT_EQ((Names{L"explorer.exe", L"lsass.exe", L"svchost.exe", L"SVCHOST.EXE", L"system"}), Shown());
    grid.Sort(1, true);
    EXPECT_EQ((Names{L"explorer.exe", L"svchost.exe", L"lsass.exe", L"system", L"SVCHOST.EXE"}), Shown());

    // A narrower text keeps the order; no text shows every row in it.
    Filter(L"ex");
    EXPECT_EQ((Names{L"explorer.exe", L"svchost.exe", L"lsass.exe", L"SVCHOST.EXE"}), Shown());
    Filter(L"");
    EXPECT_EQ((Names{L"explorer.exe", L"\u00C9cran", L"svchost.exe", L"\u03C3\u03B9\u03B3\u03BC\u03B1", L"lsass.exe",
                     L"system", L"SVCHOST.EXE"}),
              Shown());
}

// Rows arrive in batches while the filter is on, as a load adds them: each shows once its cells are set and it
// passes, in the order of the sort too.
TEST_F(GridFilterTest, RowsAddedWhileFilteredShowOnlyWhenTheyPass)
{
    FillProcesses();
    ShowAndFocus();
    Filter(L"svc");
    ASSERT_EQ(2, grid.GetVisibleRowCount());
    counts.count = 0;

    grid.SetLiveRefresh(false);
    for (int batch = 0; batch < 3; batch++)
    {
        grid.SetUpdatesEnabled(false);
        for (int i = 0; i < 4; i++)
        {
            int row = grid.GetRows().Add();
            // One row of four passes: svc-0-0, svc-1-0, svc-2-0.
            std::wstring name = (i == 0 ? L"svc-" : L"proc-") + std::to_wstring(batch) + L"-" + std::to_wstring(i);
            grid.SetCellText(row, 0, String(name.c_str()));
            grid.SetCellText(row, 1, String(L"9"));
        }
        grid.SetUpdatesEnabled(true);
        Testing::PumpMessages();
    }
    grid.SetLiveRefresh(true);
    WaitForFilter(grid);
    EXPECT_EQ(19, grid.GetRowCount());
    EXPECT_EQ((Names{L"svchost.exe", L"SVCHOST.EXE", L"svc-0-0", L"svc-1-0", L"svc-2-0"}), Shown());
    EXPECT_GE(counts.count, 1);

    // Sorted, a row added later takes its place among the filtered rows.
    grid.Sort(0, true);
    int row = grid.GetRows().Add();
    grid.SetCellText(row, 0, String(L"svc-9"));
    grid.SetCellText(row + 0, 1, String(L"1"));
    row = grid.GetRows().Add();
    grid.SetCellText(row, 0, String(L"zzz"));
    WaitForFilter(grid);
    EXPECT_EQ((Names{L"svchost.exe", L"SVCHOST.EXE", L"svc-9", L"svc-2-0", L"svc-1-0", L"svc-0-0"}), Shown());
}

TEST_F(GridFilterTest, AChangedCellShowsOrHidesItsRow)
{
    FillProcesses();
    ShowAndFocus();
    Filter(L"svc");
    grid.SetCellText(0, 0, String(L"svc-system"));
    grid.SetCellText(1, 0, String(L"host"));
    Testing::PumpMessages();
    EXPECT_EQ((Names{L"svc-system", L"SVCHOST.EXE"}), Shown());
    EXPECT_EQ(2, grid.GetVisibleRowCount());

    // A change while no filter is on counts too when the same text comes back.
    Filter(L"");
    grid.SetCellText(6, 1, String(L"svc"));
    Filter(L"svc");
    EXPECT_EQ((Names{L"svc-system", L"SVCHOST.EXE", L"lsass.exe"}), Shown());
}

// The keyboard moves over the rows shown, Ctrl+A selects them, and Ctrl+C copies them.
TEST_F(GridFilterTest, KeyboardSelectionAndCopyStayInTheShownRows)
{
    FillProcesses();
    ShowAndFocus();
    Filter(L".exe");
    ASSERT_EQ(4, grid.GetVisibleRowCount());

    Testing::PressKey(grid, Keys::Home);
    EXPECT_EQ(1, grid.GetSelectedRow());
    Testing::PressKey(grid, Keys::Down);
    EXPECT_EQ(2, grid.GetSelectedRow());
    Testing::PressKey(grid, Keys::End);
    EXPECT_EQ(6, grid.GetSelectedRow());
    Testing::PressKey(grid, Keys::Up, Keys::Shift);
    EXPECT_EQ(3, grid.GetSelectedRow());
    EXPECT_EQ(2, grid.GetSelectedRowCount());

    Testing::PressKey(grid, 'A', Keys::Control);
    EXPECT_EQ(4, grid.GetSelectedRowCount());
    EXPECT_FALSE(grid.IsRowSelected(0));
    Testing::PressKey(grid, 'C', Keys::Control);
    EXPECT_EQ(L"Name\tSize\r\nsvchost.exe\t20\r\nexplorer.exe\t300\r\nSVCHOST.EXE\t1\r\nlsass.exe\t6\r\n",
              Testing::ClipboardText());
}

// Once the search is done, the selected rows the filter hides are no longer selected, and the caller hears of it.
TEST_F(GridFilterTest, SelectedRowsTheFilterHidesAreUnselected)
{
    FillProcesses();
    ShowAndFocus();
    grid.SelectRow(0);
    Filter(L"sys");
    EXPECT_EQ(0, grid.GetSelectedRow());
    selections.count = 0;

    Filter(L"svc");
    EXPECT_EQ(-1, grid.GetSelectedRow());
    EXPECT_EQ(0, grid.GetSelectedRowCount());
    EXPECT_EQ(1, selections.count);
    // With no row focused, Down starts at the first row shown.
    Testing::PressKey(grid, Keys::Down);
    EXPECT_EQ(1, grid.GetSelectedRow());
}

// Painting and the mouse see the rows shown: the third row's place stays empty when two rows pass.
TEST_F(GridFilterTest, PaintingAndTheMouseShowTheFilteredRows)
{
    FillProcesses();
    ShowAndFocus();
    Filter(L"svchost");
    int header = grid.GetHeaderHeight();
    int rowHeight = grid.GetRowHeight();
    EXPECT_EQ(1, grid.GetRowAt(Point{grid.Scale(10), header + rowHeight / 2}));
    EXPECT_EQ(3, grid.GetRowAt(Point{grid.Scale(10), header + rowHeight + rowHeight / 2}));
    EXPECT_EQ(-1, grid.GetRowAt(Point{grid.Scale(10), header + 2 * rowHeight + rowHeight / 2}));
    EXPECT_EQ(0, grid.GetRowBounds(0).height);
    EXPECT_EQ(header + rowHeight, grid.GetRowBounds(3).top);

    Testing::Picture picture = Testing::Render(grid);
    int width = grid.GetColumnRight(1) - grid.Scale(2);
    EXPECT_GT(picture.CountOther(Theme::Window(), 0, header, width, rowHeight), 0);
    EXPECT_EQ(0, picture.CountOther(Theme::Window(), 0, header + 2 * rowHeight, width, 3 * rowHeight));

    // A click on the second row shown selects that row.
    Testing::Click(grid, grid.Scale(30), header + rowHeight + rowHeight / 2);
    EXPECT_EQ(3, grid.GetSelectedRow());
}

// Screen readers see the table of the rows shown: the header row and one row object for each row that passes.
TEST_F(GridFilterTest, AccessibilityCountsTheShownRows)
{
    FillProcesses();
    ShowAndFocus();
    Accessible table = Accessible::OfWindow(grid.GetHandle());
    ASSERT_TRUE(table);
    EXPECT_EQ(8, table.ChildCount());
    Filter(L"exe");
    EXPECT_EQ(5, table.ChildCount());
    Accessible second = table.Child(3);
    ASSERT_TRUE(second);
    EXPECT_EQ(L"explorer.exe", second.Name(1));
    EXPECT_EQ(L"300", second.Name(2));
    Filter(L"");
    EXPECT_EQ(8, table.ChildCount());
}

// A search of many rows answers at once and finishes between messages; a new text replaces a search under way.
TEST_F(GridFilterTest, ALongSearchFinishesAndANewTextReplacesIt)
{
    const int rows = 200000;
    grid.GetColumns().Add(String(L"Path"), 200);
    grid.SetLiveRefresh(false);
    grid.GetRows().AddRange(rows);
    int expected = 0;
    for (int row = 0; row < rows; row++)
    {
        std::wstring name = L"Process " + std::to_wstring(row);
        grid.SetCellText(row, 0, String(name.c_str()));
        grid.SetCellText(row, 1, String(std::to_wstring(row % 977).c_str()));
        grid.SetCellText(row, 2, String(L"C:\\Windows\\System32\\svchost.exe"));
        expected +=
            name.find(L"777") != std::wstring::npos || std::to_wstring(row % 977).find(L"777") != std::wstring::npos;
    }
    grid.SetLiveRefresh(true);
    ShowAndFocus();

    grid.SetFilterText(String(L"system32"));
    grid.SetFilterText(String(L"nowhere"));
    grid.SetFilterText(String(L"777"));
    EXPECT_LE(grid.GetVisibleRowCount(), expected);
    WaitForFilter(grid);
    EXPECT_FALSE(grid.IsFilterPending());
    EXPECT_EQ(expected, grid.GetVisibleRowCount());
    EXPECT_EQ(L"Process 777", std::wstring(grid.GetCellText(grid.GetRowAtViewIndex(0), 0).GetBuffer()));
    EXPECT_EQ(L"Process 199777", std::wstring(grid.GetCellText(grid.GetRowAtViewIndex(expected - 1), 0).GetBuffer()));
}

TEST_F(GridFilterTest, ClearedRowsAndColumnsStartTheFilterAfresh)
{
    FillProcesses();
    ShowAndFocus();
    Filter(L"svc");
    grid.GetRows().Clear();
    Testing::PumpMessages();
    EXPECT_EQ(0, grid.GetVisibleRowCount());
    FillProcesses();
    WaitForFilter(grid);
    EXPECT_EQ((Names{L"svchost.exe", L"SVCHOST.EXE"}), Shown());
    grid.GetColumns().Clear();
    WaitForFilter(grid);
    EXPECT_EQ(0, grid.GetVisibleRowCount());
    EXPECT_EQ(L"Grid.IsRowVisible method - row index out of range", ThrownMessage([&] { grid.IsRowVisible(7); }));
}

// --- The find strip ---

namespace
{

class FindBoxTest : public testing::Test
{
protected:
    FindBoxTest()
        : textChanged(&texts, &Counter::OnEvent), next(&nexts, &Counter::OnEvent),
          previous(&previouses, &Counter::OnEvent), closed(&closes, &Counter::OnEvent)
    {
    }
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetClientSize(500, 300);
        findBox.SetDock(DockStyle::Bottom);
        form.GetControls().Add(&findBox);
        findBox.TextChanged.Subscribe(&textChanged);
        findBox.FindNext.Subscribe(&next);
        findBox.FindPrevious.Subscribe(&previous);
        findBox.Closed.Subscribe(&closed);
        form.Show();
        findBox.Open();
        Testing::PumpMessages();
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }
    std::wstring Text() { return findBox.GetText().GetBuffer(); }

    Form form;
    FindBox findBox;
    Counter texts;
    Counter nexts;
    Counter previouses;
    Counter closes;
    MemberEventHandler<Counter, EventArgs> textChanged;
    MemberEventHandler<Counter, EventArgs> next;
    MemberEventHandler<Counter, EventArgs> previous;
    MemberEventHandler<Counter, EventArgs> closed;
};

} // namespace

TEST_F(FindBoxTest, TypingTellsEachChangeAndEscEmptiesThenCloses)
{
    EXPECT_EQ(findBox.GetTextBox().GetHandle(), Testing::FocusedWindow());
    Testing::TypeText(Testing::FocusedWindow(), L"svc");
    EXPECT_EQ(L"svc", Text());
    EXPECT_EQ(3, texts.count);
    Testing::PressKey(findBox, Keys::Back);
    EXPECT_EQ(L"sv", Text());
    EXPECT_EQ(4, texts.count);

    Testing::PressKey(findBox, Keys::Escape);
    EXPECT_EQ(L"", Text());
    EXPECT_EQ(5, texts.count);
    EXPECT_TRUE(findBox.IsVisible());
    EXPECT_EQ(0, closes.count);
    Testing::PressKey(findBox, Keys::Escape);
    EXPECT_FALSE(findBox.IsVisible());
    EXPECT_EQ(1, closes.count);
    EXPECT_EQ(5, texts.count);

    // Opened again, the text is selected: typing replaces it.
    findBox.SetText(String(L"old"));
    findBox.Open();
    EXPECT_TRUE(findBox.IsVisible());
    Testing::TypeText(Testing::FocusedWindow(), L"n");
    EXPECT_EQ(L"n", Text());
}

TEST_F(FindBoxTest, EnterAndShiftEnterAskForTheNextAndThePreviousMatch)
{
    Testing::TypeText(Testing::FocusedWindow(), L"win");
    Testing::PressKey(findBox, Keys::Return);
    Testing::PressKey(findBox, Keys::Return);
    Testing::PressKey(findBox, Keys::Return, Keys::Shift);
    EXPECT_EQ(2, nexts.count);
    EXPECT_EQ(1, previouses.count);
    EXPECT_EQ(L"win", Text());
}

TEST_F(FindBoxTest, TheCloseButtonEmptiesAndCloses)
{
    findBox.SetText(String(L"svc"));
    Rect button = findBox.GetCloseButtonBounds();
    Testing::MouseMove(findBox, button.left + button.width / 2, button.top + button.height / 2);
    Testing::Click(findBox, button.left + button.width / 2, button.top + button.height / 2);
    EXPECT_FALSE(findBox.IsVisible());
    EXPECT_EQ(L"", Text());
    EXPECT_EQ(1, closes.count);
}

// In a strip narrower than its usual text box (over a tree), the text box gives way: the count and the close
// button stay whole and inside, and the text box keeps a usable width.
TEST_F(FindBoxTest, ANarrowStripKeepsTheCountAndTheCloseButton)
{
    form.SetClientSize(260, 300);
    findBox.SetStatusText(String(L"3 classes"));
    Testing::PumpMessages();
    int width = findBox.GetClientRectangle().width;
    Rect box = findBox.GetTextBox().GetDeviceBounds();
    Rect button = findBox.GetCloseButtonBounds();
    EXPECT_LT(box.width, findBox.Scale(220));
    EXPECT_GE(box.width, findBox.Scale(60));
    EXPECT_LE(button.left + button.width, width);
    HDC screen = GetDC(nullptr);
    HGDIOBJ oldFont = SelectObject(screen, findBox.GetFontHandle());
    SIZE text = {};
    GetTextExtentPoint32W(screen, L"3 classes", 9, &text);
    SelectObject(screen, oldFont);
    ReleaseDC(nullptr, screen);
    EXPECT_GE(button.left - (box.left + box.width), text.cx) << "the count fits between the box and the button";
    // Wide again, the text box has its usual width.
    form.SetClientSize(500, 300);
    Testing::PumpMessages();
    EXPECT_EQ(findBox.Scale(220), findBox.GetTextBox().GetDeviceBounds().width);
}

// An owner's control (a link to a wider search) stands before the close button at its width, after the count,
// and the text box gives way to both in a narrow strip; without it the box has the room again.
TEST_F(FindBoxTest, AnOwnersControlStandsBeforeTheCloseButton)
{
    Label link(String(L"All WMI"));
    findBox.SetExtraControl(&link);
    form.SetClientSize(260, 300);
    findBox.SetStatusText(String(L"3 classes"));
    Testing::PumpMessages();
    Rect box = findBox.GetTextBox().GetDeviceBounds();
    Rect extra = link.GetDeviceBounds();
    Rect button = findBox.GetCloseButtonBounds();
    EXPECT_TRUE(link.IsVisible());
    EXPECT_EQ(findBox.Scale(link.GetPreferredSize().width), extra.width);
    EXPECT_LE(extra.left + extra.width, button.left);
    EXPECT_GE(box.width, findBox.Scale(60));
    HDC screen = GetDC(nullptr);
    HGDIOBJ oldFont = SelectObject(screen, findBox.GetFontHandle());
    SIZE text = {};
    GetTextExtentPoint32W(screen, L"3 classes", 9, &text);
    SelectObject(screen, oldFont);
    ReleaseDC(nullptr, screen);
    EXPECT_GE(extra.left - (box.left + box.width), text.cx) << "the count fits between the box and the control";
    int narrowed = box.width;
    findBox.SetExtraControl(nullptr);
    Testing::PumpMessages();
    EXPECT_EQ(nullptr, link.GetParent());
    EXPECT_GT(findBox.GetTextBox().GetDeviceBounds().width, narrowed);
}

// It looks like the toolkit's other strips: the face colour, a separator towards the view above, the status text
// in the control's font; its geometry scales with the DPI.
TEST_F(FindBoxTest, LooksLikeTheToolkitAndScalesWithTheDpi)
{
    findBox.SetStatusText(String(L"12 of 340 records"));
    EXPECT_EQ(L"12 of 340 records", std::wstring(findBox.GetStatusText().GetBuffer()));
    Testing::Picture picture = Testing::Render(findBox, false);
    EXPECT_EQ(Theme::Face(), picture.At(picture.width / 2, picture.height / 2));
    EXPECT_EQ(Theme::Separator(), picture.At(picture.width / 2, 0));
    Rect button = findBox.GetCloseButtonBounds();
    EXPECT_GT(picture.CountOther(Theme::Face(), button.left, button.top, button.width, button.height), 0);
    Rect box = findBox.GetTextBox().GetDeviceBounds();
    EXPECT_EQ(findBox.Scale(220), box.width);
    EXPECT_GE(findBox.GetClientRectangle().height, box.height);

    int dpi = form.GetDpi();
    int newDpi = dpi * 3 / 2;
    RECT suggested = {0, 0, Theme::Scale(500, newDpi), Theme::Scale(340, newDpi)};
    SendMessageW(form.GetHandle(), WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi), reinterpret_cast<LPARAM>(&suggested));
    Testing::PumpMessages();
    EXPECT_EQ(Theme::Scale(220, newDpi), findBox.GetTextBox().GetDeviceBounds().width);
    EXPECT_EQ(Theme::Scale(20, newDpi), findBox.GetCloseButtonBounds().width);
    EXPECT_GE(findBox.GetClientRectangle().height, findBox.GetTextBox().GetDeviceBounds().height);
}

// Screen readers find an edit named "Find", the strip as a tool bar named "Find" whose close button they can
// press, and the status text.
TEST_F(FindBoxTest, ScreenReadersFindAnEditNamedFind)
{
    findBox.SetText(String(L"svc"));
    findBox.SetStatusText(String(L"2 of 7 records"));
    Accessible edit = Accessible::OfWindow(findBox.GetTextBox().GetHandle());
    ASSERT_TRUE(edit);
    EXPECT_EQ(ROLE_SYSTEM_TEXT, edit.Role());
    EXPECT_EQ(L"Find", edit.Name());
    EXPECT_EQ(L"svc", edit.Value());

    Accessible strip = Accessible::OfWindow(findBox.GetHandle());
    ASSERT_TRUE(strip);
    EXPECT_EQ(ROLE_SYSTEM_TOOLBAR, strip.Role());
    EXPECT_EQ(L"Find", strip.Name());
    EXPECT_EQ(ROLE_SYSTEM_PUSHBUTTON, strip.Role(1));
    EXPECT_EQ(L"Close", strip.Name(1));
    EXPECT_EQ(L"Esc", strip.Shortcut(1));
    EXPECT_TRUE(strip.Find(ROLE_SYSTEM_STATICTEXT, L"2 of 7 records"));
    EXPECT_TRUE(strip.Find(ROLE_SYSTEM_TEXT, L"Find"));

    VARIANT button;
    VariantInit(&button);
    button.vt = VT_I4;
    button.lVal = 1;
    EXPECT_EQ(S_OK, strip->accDoDefaultAction(button));
    EXPECT_FALSE(findBox.IsVisible());
    EXPECT_EQ(1, closes.count);
}

// --- The tree's search ---

namespace
{

class TreeFindTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetClientSize(300, 300);
        tree.SetBounds(0, 0, 300, 300);
        form.GetControls().Add(&tree);
        // Local Machine
        //   Operating System: Win32_Process, Win32_Service, Win32_Thread
        //   Hardware: Win32_Processor, Disks: Win32_DiskDrive
        // Remote
        root = Add(nullptr, L"Local Machine");
        os = Add(root, L"Operating System");
        process = Add(os, L"Win32_Process");
        service = Add(os, L"Win32_Service");
        thread = Add(os, L"Win32_Thread");
        hardware = Add(root, L"Hardware");
        processor = Add(hardware, L"Win32_Processor");
        disks = Add(hardware, L"Disks");
        drive = Add(disks, L"Win32_DiskDrive");
        remote = Add(nullptr, L"Remote");
        form.Show();
        Testing::PumpMessages();
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }
    TreeNode* Add(TreeNode* parent, const wchar_t* text)
    {
        TreeNode* node = new TreeNode(String(text));
        (parent != nullptr ? parent->GetNodes() : tree.GetNodes()).Add(node);
        return node;
    }
    TreeNode* Next(const wchar_t* text, TreeNode* after) { return tree.FindNextNode(String(text), after); }
    TreeNode* Previous(const wchar_t* text, TreeNode* before) { return tree.FindPreviousNode(String(text), before); }

    Form form;
    TreeView tree;
    TreeNode* root = nullptr;
    TreeNode* os = nullptr;
    TreeNode* process = nullptr;
    TreeNode* service = nullptr;
    TreeNode* thread = nullptr;
    TreeNode* hardware = nullptr;
    TreeNode* processor = nullptr;
    TreeNode* disks = nullptr;
    TreeNode* drive = nullptr;
    TreeNode* remote = nullptr;
};

} // namespace

// Every node counts, collapsed or not, in the order shown when all are expanded; the search goes round.
TEST_F(TreeFindTest, FindsTheNextNodeAmongCollapsedOnesAndGoesRound)
{
    ASSERT_FALSE(root->IsExpanded());
    EXPECT_EQ(process, Next(L"PROCESS", nullptr));
    EXPECT_EQ(processor, Next(L"process", process));
    EXPECT_EQ(process, Next(L"process", processor));
    EXPECT_EQ(drive, Next(L"win32", processor));
    EXPECT_EQ(process, Next(L"win32", drive));
    EXPECT_EQ(remote, Next(L"REM", remote));
    EXPECT_EQ(root, Next(L"machine", remote));
    // The node the search starts from is looked at last: the only match is found again.
    EXPECT_EQ(thread, Next(L"thread", thread));
    EXPECT_EQ(nullptr, Next(L"nowhere", thread));
    EXPECT_EQ(nullptr, Next(L"nowhere", nullptr));
    EXPECT_EQ(nullptr, Next(L"", nullptr));
}

TEST_F(TreeFindTest, FindsThePreviousNodeAndGoesRound)
{
    EXPECT_EQ(drive, Previous(L"win32", nullptr));
    EXPECT_EQ(processor, Previous(L"win32", drive));
    EXPECT_EQ(thread, Previous(L"win32", processor));
    EXPECT_EQ(process, Previous(L"win32", service));
    EXPECT_EQ(drive, Previous(L"win32", process));
    EXPECT_EQ(root, Previous(L"local", os));
    EXPECT_EQ(remote, Previous(L"remote", root));
    EXPECT_EQ(disks, Previous(L"DISK", drive));
    EXPECT_EQ(drive, Previous(L"disk", disks));
}

// The owner selects what was found: its ancestors open and it scrolls into view.
TEST_F(TreeFindTest, SelectingTheNodeFoundOpensItsAncestors)
{
    TreeNode* found = Next(L"diskdrive", tree.GetSelectedNode());
    ASSERT_EQ(drive, found);
    EXPECT_TRUE(tree.SetSelectedNode(found));
    EXPECT_TRUE(root->IsExpanded());
    EXPECT_TRUE(hardware->IsExpanded());
    EXPECT_TRUE(disks->IsExpanded());
    EXPECT_GE(tree.GetVisibleRow(drive), 0);
    EXPECT_EQ(process, Next(L"process", tree.GetSelectedNode()));

    TreeNode stranger(String(L"Win32_Stranger"));
    EXPECT_EQ(L"TreeView.FindNextNode method - the node is not in this tree",
              ThrownMessage([&] { tree.FindNextNode(String(L"win"), &stranger); }));
}
