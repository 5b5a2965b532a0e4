#include "core/controls/Form.h"
#include "core/controls/Grid.h"
#include "core/controls/ScrollBar.h"
#include "core/controls/Theme.h"

#include "tests/core/controls/ControlTestSupport.h"
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
using Testing::ThrownMessage;

namespace
{

class SelectionCounter
{
public:
    int changes = 0;
    void OnChanged(Object*, EventArgs&) { changes++; }
};

class GridTest : public testing::Test
{
protected:
    GridTest() : selectionChanged(&counter, &SelectionCounter::OnChanged) {}
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetClientSize(420, 300);
        grid.SetBounds(0, 0, 420, 300);
        form.GetControls().Add(&grid);
        grid.SelectionChanged.Subscribe(&selectionChanged);
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
    // Columns "Name" and "Size"; rows added in the order given.
    void Fill(const std::vector<std::pair<const wchar_t*, const wchar_t*>>& rows)
    {
        if (grid.GetColumns().GetCount() == 0)
        {
            grid.GetColumns().Add(String(L"Name"), 120);
            grid.GetColumns().Add(String(L"Size"), 80);
        }
        for (const auto& [name, size] : rows)
        {
            int row = grid.GetRows().Add();
            grid.SetCellText(row, 0, String(name));
            grid.SetCellText(row, 1, String(size));
        }
    }
    // The Name cells in the order shown.
    std::vector<std::wstring> Shown()
    {
        std::vector<std::wstring> names;
        for (int view = 0; view < grid.GetRows().GetCount(); view++)
        {
            names.push_back(grid.GetCellText(grid.GetRowAtViewIndex(view), 0).GetBuffer());
        }
        return names;
    }
    void ClickRow(int row, WPARAM keys = 0)
    {
        Rect bounds = grid.GetRowBounds(row);
        LPARAM position = MAKELPARAM(grid.Scale(30), bounds.top + bounds.height / 2);
        SendMessageW(grid.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON | keys, position);
        SendMessageW(grid.GetHandle(), WM_LBUTTONUP, keys, position);
    }
    void ClickHeader(int column)
    {
        int right = grid.GetColumnRight(column);
        Testing::Click(grid, right - grid.Scale(30), grid.GetHeaderHeight() / 2);
    }

    Form form;
    Grid grid;
    SelectionCounter counter;
    MemberEventHandler<SelectionCounter, EventArgs> selectionChanged;
};

} // namespace

// --- Bookkeeping ---

TEST_F(GridTest, ColumnsAndRowsAreCountedClearedAndKeepTheirSettings)
{
    EXPECT_EQ(0, grid.GetColumns().Add(200));
    EXPECT_EQ(1, grid.GetColumns().Add(String(L"Type"), 150));
    grid.SetHeaderText(0, String(L"Name"));
    EXPECT_EQ(2, grid.GetColumns().GetCount());
    EXPECT_EQ(200, grid.GetColumns()[0].GetWidth());
    EXPECT_EQ(L"Name", std::wstring(grid.GetHeaderText(0).GetBuffer()));
    EXPECT_EQ(L"Type", std::wstring(grid.GetColumns()[1].GetHeaderText().GetBuffer()));
    EXPECT_EQ(0, grid.GetRows().Add());
    EXPECT_EQ(1, grid.GetRows().Add());
    EXPECT_EQ(2, grid.GetRows().AddRange(3));
    EXPECT_EQ(5, grid.GetRows().GetCount());
    grid.SetCellText(4, 1, String(L"uint32"));
    EXPECT_EQ(L"uint32", std::wstring(grid.GetCellText(4, 1).GetBuffer()));
    EXPECT_EQ(L"", std::wstring(grid.GetCellText(3, 1).GetBuffer()));
    grid.GetRows().Clear();
    EXPECT_EQ(0, grid.GetRows().GetCount());
    EXPECT_EQ(2, grid.GetColumns().GetCount());
    grid.GetColumns().Clear();
    EXPECT_EQ(0, grid.GetColumns().GetCount());
}

TEST_F(GridTest, BadIndexesAreRefusedWithTheirOperationNamed)
{
    grid.GetColumns().Add(100);
    grid.GetRows().Add();
    EXPECT_EQ(L"GridModel.SetCellText method - row index out of range",
              ThrownMessage([&] { grid.SetCellText(1, 0, String(L"x")); }));
    EXPECT_EQ(L"GridModel.SetCellText method - column index out of range",
              ThrownMessage([&] { grid.SetCellText(0, 1, String(L"x")); }));
    EXPECT_EQ(L"Grid.SetHeaderText method - column index out of range",
              ThrownMessage([&] { grid.SetHeaderText(-1, String(L"x")); }));
    EXPECT_EQ(L"GridColumnCollection.Item - column index out of range", ThrownMessage([&] { grid.GetColumns()[3]; }));
    EXPECT_EQ(L"Grid.SelectRow method - row index out of range", ThrownMessage([&] { grid.SelectRow(1); }));
}

TEST_F(GridTest, CellsKeepEveryKindOfTextThroughOverwritesAndNewColumns)
{
    GridModel& model = grid.GetModel();
    grid.GetColumns().Add(100);
    grid.GetColumns().Add(100);
    // Lengths around the 7 characters a slot holds itself, texts beyond one byte per character, and long ones.
    std::vector<std::wstring> texts = {L"",
                                       L"a",
                                       L"1234567",
                                       L"12345678",
                                       L"\u00e9t\u00e9",
                                       L"\u4e2d\u6587",
                                       L"x\U0001F600y",
                                       std::wstring(5000, L'q'),
                                       std::wstring(300000, L'\u0416')};
    for (size_t i = 0; i < texts.size(); i++)
    {
        int row = grid.GetRows().Add();
        grid.SetCellText(row, 0, String(texts[i].c_str(), static_cast<int>(texts[i].size())));
        grid.SetCellText(row, 1, String(L"second"));
    }
    for (size_t i = 0; i < texts.size(); i++)
    {
        String cell = grid.GetCellText(static_cast<int>(i), 0);
        EXPECT_EQ(texts[i], std::wstring(cell.GetBuffer(), static_cast<size_t>(cell.GetLength()))) << i;
        EXPECT_EQ(static_cast<int>(texts[i].size()), model.GetCellLength(static_cast<int>(i), 0));
    }
    // Overwriting many times reclaims the space of the old texts.
    std::wstring longText(1000, L'z');
    for (int round = 0; round < 3000; round++)
    {
        grid.SetCellText(7, 1, String((longText + std::to_wstring(round)).c_str()));
    }
    EXPECT_EQ(longText + L"2999", std::wstring(grid.GetCellText(7, 1).GetBuffer()));
    EXPECT_LT(model.GetAllocatedBytes(), 4 * 1024 * 1024);
    EXPECT_EQ(texts[8], std::wstring(grid.GetCellText(8, 0).GetBuffer()));
    // A third column: the first two keep their cells.
    grid.GetColumns().Add(100);
    grid.SetCellText(3, 2, String(L"third"));
    EXPECT_EQ(L"12345678", std::wstring(grid.GetCellText(3, 0).GetBuffer()));
    EXPECT_EQ(L"second", std::wstring(grid.GetCellText(3, 1).GetBuffer()));
    EXPECT_EQ(L"third", std::wstring(grid.GetCellText(3, 2).GetBuffer()));
}

TEST_F(GridTest, CellTextsTakeLessThanHalfOfWhatStringRowsTake)
{
    // The rows of a loaded class hold about 74 bytes per cell; the grid must hold the same cells in half.
    grid.GetColumns().Add(100);
    grid.GetColumns().Add(100);
    grid.GetColumns().Add(100);
    int rows = 20000;
    for (int row = 0; row < rows; row++)
    {
        grid.GetRows().Add();
        grid.SetCellText(row, 0, String(L"Value ") + row + L".0");
        grid.SetCellText(row, 1, String(L"") + (row * 31));
        grid.SetCellText(row, 2, String(L"C:\\Windows\\System32\\svchost.exe"));
    }
    double perCell = static_cast<double>(grid.GetModel().GetAllocatedBytes()) / (rows * 3);
    EXPECT_LT(perCell, 37.0);
}

// --- Selection ---

TEST_F(GridTest, ClicksWithCtrlAndShiftSelectSeveralRowsAndCtrlASelectsAll)
{
    Fill({{L"a", L"1"}, {L"b", L"2"}, {L"c", L"3"}, {L"d", L"4"}, {L"e", L"5"}, {L"f", L"6"}});
    ShowAndFocus();
    ClickRow(1);
    EXPECT_EQ(1, grid.GetSelectedRow());
    EXPECT_EQ(1, grid.GetSelectedRowCount());
    ClickRow(3, MK_CONTROL);
    EXPECT_TRUE(grid.IsRowSelected(1));
    EXPECT_TRUE(grid.IsRowSelected(3));
    EXPECT_EQ(2, grid.GetSelectedRowCount());
    ClickRow(5, MK_SHIFT);
    // Shift reaches from the anchor (the last click) and replaces the rest.
    EXPECT_EQ(3, grid.GetSelectedRowCount());
    EXPECT_FALSE(grid.IsRowSelected(1));
    EXPECT_TRUE(grid.IsRowSelected(4));
    EXPECT_TRUE(grid.IsRowSelected(5));
    ClickRow(3, MK_CONTROL);
    EXPECT_FALSE(grid.IsRowSelected(3));
    Testing::PressKey(grid, 'A', Keys::Control);
    EXPECT_EQ(6, grid.GetSelectedRowCount());
    EXPECT_EQ(5, counter.changes);
}

TEST_F(GridTest, ArrowKeysMoveTheSelectionAndShiftExtendsIt)
{
    Fill({{L"a", L"1"}, {L"b", L"2"}, {L"c", L"3"}, {L"d", L"4"}});
    ShowAndFocus();
    Testing::PressKey(grid, Keys::Down);
    EXPECT_EQ(0, grid.GetSelectedRow());
    Testing::PressKey(grid, Keys::Down);
    Testing::PressKey(grid, Keys::Down, Keys::Shift);
    EXPECT_EQ(2, grid.GetSelectedRow());
    EXPECT_EQ(2, grid.GetSelectedRowCount());
    EXPECT_TRUE(grid.IsRowSelected(1));
    Testing::PressKey(grid, Keys::Home, Keys::Shift);
    EXPECT_EQ(2, grid.GetSelectedRowCount());
    EXPECT_TRUE(grid.IsRowSelected(0));
    Testing::PressKey(grid, Keys::End);
    EXPECT_EQ(3, grid.GetSelectedRow());
    EXPECT_EQ(1, grid.GetSelectedRowCount());
}

// --- Scrolling ---

TEST_F(GridTest, TheLastRowOfALargeGridIsReachedByKeyBarAndWheel)
{
    grid.GetColumns().Add(String(L"Index"), 100);
    int count = 200000;
    grid.GetRows().AddRange(count);
    for (int row = count - 50; row < count; row++)
    {
        grid.SetCellText(row, 0, String(L"") + row);
    }
    ShowAndFocus();
    Testing::PressKey(grid, Keys::End);
    EXPECT_EQ(count - 1, grid.GetSelectedRow());
    Rect client = grid.GetViewportRectangle();
    Rect last = grid.GetRowBounds(count - 1);
    EXPECT_EQ(client.height, last.GetBottom());
    EXPECT_EQ(count - 1, grid.GetRowAt(Point{10, client.height - 2}));
    // The bar knows the whole range and stands at its end.
    ScrollBar* bar = grid.GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(count * grid.GetRowHeight() + grid.GetHeaderHeight() - 1, bar->GetMaximum());
    EXPECT_EQ(client.height, bar->GetLargeChange());
    EXPECT_EQ(bar->GetMaximumValue(), bar->GetValue());
    EXPECT_FALSE(grid.GetHorizontalScrollBar()->IsVisible()) << "one narrow column fits";
    SendMessageW(grid.GetHandle(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(0, grid.GetRowAt(Point{10, grid.GetHeaderHeight() + 1}));
    // One notch of the wheel: the system's lines per notch.
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    POINT screen = {10, 50};
    ClientToScreen(grid.GetHandle(), &screen);
    SendMessageW(grid.GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
    EXPECT_EQ(static_cast<int>(lines), grid.GetRowAt(Point{10, grid.GetHeaderHeight() + 1}));
    // The painted picture shows the last rows' texts at the bottom after End.
    Testing::PressKey(grid, Keys::End);
    Testing::Picture picture = Testing::Render(grid);
    EXPECT_GT(picture.CountIn(Theme::Highlight(), 0, last.top, client.width, last.height), 100);
}

TEST_F(GridTest, RowsAddedWithRedrawOffReachTheScrollBarWhenRedrawIsOn)
{
    grid.GetColumns().Add(100);
    ShowAndFocus();
    grid.SetUpdatesEnabled(false);
    grid.GetRows().AddRange(500);
    Testing::PumpMessages();
    ScrollBar* bar = grid.GetVerticalScrollBar();
    EXPECT_FALSE(bar->IsVisible());
    grid.SetUpdatesEnabled(true);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(500 * grid.GetRowHeight() + grid.GetHeaderHeight() - 1, bar->GetMaximum());
    // With live refresh off the bar catches up by itself, a moment later.
    grid.SetLiveRefresh(false);
    grid.GetRows().AddRange(500);
    Testing::PumpMessages();
    EXPECT_EQ(500 * grid.GetRowHeight() + grid.GetHeaderHeight() - 1, bar->GetMaximum());
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 2000 && bar->GetMaximum() < 1000 * grid.GetRowHeight())
    {
        Sleep(20);
        Testing::PumpMessages();
    }
    EXPECT_EQ(1000 * grid.GetRowHeight() + grid.GetHeaderHeight() - 1, bar->GetMaximum());
}

// --- Copying ---

TEST_F(GridTest, CtrlCCopiesTheHeaderAndTheSelectedRowsAsTabSeparatedLines)
{
    Fill({{L"alpha", L"10"}, {L"beta\tgamma", L"20"}, {L"delta", L""}, {L"epsilon", L"40"}});
    ShowAndFocus();
    ClickRow(3);
    ClickRow(0, MK_CONTROL);
    ClickRow(1, MK_CONTROL);
    Testing::PressKey(grid, 'C', Keys::Control);
    EXPECT_EQ(L"Name\tSize\r\nalpha\t10\r\nbeta gamma\t20\r\nepsilon\t40\r\n", Testing::ClipboardText());
    // Sorted descending by name, the copy follows the order shown.
    grid.Sort(0, true);
    Testing::PressKey(grid, 'C', Keys::Control);
    EXPECT_EQ(L"Name\tSize\r\nepsilon\t40\r\nbeta gamma\t20\r\nalpha\t10\r\n", Testing::ClipboardText());
}

// A formatter changes what cells show, copy and are found by; the order still goes by the cells' own texts, and
// painting asks it only for the cells in view, however many rows there are.
TEST_F(GridTest, AFormatterChangesWhatCellsShowAndCopyButNotTheirOrder)
{
    Fill({{L"alpha", L"10"}, {L"beta", L"9"}, {L"gamma", L""}});
    int asked = 0;
    grid.SetCellFormatter(
        [&](int, int column, const wchar_t* text, int length, String& shown)
        {
            asked++;
            if (column != 1 || length == 0)
            {
                return false;
            }
            shown = String(text, length) + L" (named)";
            return true;
        });
    ShowAndFocus();
    EXPECT_EQ(L"10 (named)", std::wstring(grid.GetShownText(0, 1).GetBuffer()));
    EXPECT_EQ(L"alpha", std::wstring(grid.GetShownText(0, 0).GetBuffer()));
    EXPECT_EQ(L"10", std::wstring(grid.GetCellText(0, 1).GetBuffer())) << "the cell keeps its own text";
    grid.Sort(1, false);
    EXPECT_EQ((std::vector<std::wstring>{L"gamma", L"beta", L"alpha"}), Shown()) << "9 before 10, by value";
    grid.SelectAll();
    Testing::PressKey(grid, 'C', Keys::Control);
    EXPECT_EQ(L"Name\tSize\r\ngamma\t\r\nbeta\t9 (named)\r\nalpha\t10 (named)\r\n", Testing::ClipboardText());
    // The filter finds rows by what they show as well as by their own texts, and searches again when the
    // formatter goes.
    grid.SetFilterText(String(L"NAMED"));
    grid.FinishFilter();
    EXPECT_EQ(2, grid.GetVisibleRowCount());
    EXPECT_FALSE(grid.IsRowVisible(2)) << "an empty cell shows nothing";
    grid.SetFilterText(String(L"gamma"));
    grid.FinishFilter();
    EXPECT_EQ(1, grid.GetVisibleRowCount()) << "the cells' own texts still count";
    grid.SetFilterText(String(L"named"));
    grid.SetCellFormatter(nullptr);
    grid.FinishFilter();
    EXPECT_EQ(0, grid.GetVisibleRowCount());
    EXPECT_EQ(L"10", std::wstring(grid.GetShownText(0, 1).GetBuffer()));
    grid.SetFilterText(String());

    grid.GetRows().Clear();
    grid.ClearSort();
    for (int r = 0; r < 100000; r++)
    {
        int row = grid.GetRows().Add();
        grid.SetCellText(row, 0, String(L"row"));
        grid.SetCellText(row, 1, String() + r);
    }
    asked = 0;
    grid.SetCellFormatter(
        [&](int, int, const wchar_t*, int, String&)
        {
            asked++;
            return false;
        });
    Testing::Render(grid);
    int inView = (grid.GetClientRectangle().height - grid.GetHeaderHeight()) / grid.GetRowHeight() + 2;
    EXPECT_GT(asked, 0);
    EXPECT_LE(asked, 2 * inView) << "cells out of view were formatted";
}

// --- Sorting ---

TEST_F(GridTest, AHeaderClickSortsNumbersByValueAndTextsByTheLocaleThenDescending)
{
    Fill({{L"banana", L"100"},
          {L"Apple", L"9"},
          {L"cherry", L"-2.5"},
          {L"apple pie", L"1e3"},
          {L"", L"abc"},
          {L"10", L""},
          {L"9", L"12"}});
    ShowAndFocus();
    ClickHeader(0);
    EXPECT_EQ(0, grid.GetSortColumn());
    EXPECT_FALSE(grid.IsSortDescending());
    // Empty first, then numbers by value, then texts regardless of case.
    EXPECT_EQ((std::vector<std::wstring>{L"", L"9", L"10", L"Apple", L"apple pie", L"banana", L"cherry"}), Shown());
    ClickHeader(0);
    EXPECT_TRUE(grid.IsSortDescending());
    EXPECT_EQ((std::vector<std::wstring>{L"cherry", L"banana", L"apple pie", L"Apple", L"10", L"9", L""}), Shown());
    ClickHeader(1);
    EXPECT_EQ((std::vector<std::wstring>{L"10", L"cherry", L"Apple", L"9", L"banana", L"apple pie", L""}), Shown());
    // The rows keep their indexes: row 1 is still Apple with 9.
    EXPECT_EQ(L"Apple", std::wstring(grid.GetCellText(1, 0).GetBuffer()));
    EXPECT_EQ(2, grid.GetViewIndexOfRow(1));
    // The picture shows the arrow over the sorted column only.
    Testing::Picture picture = Testing::Render(grid);
    int arrowHeight = grid.Scale(5);
    int firstRight = grid.GetColumnRight(0);
    int secondRight = grid.GetColumnRight(1);
    EXPECT_EQ(0, picture.CountOther(Theme::Window(), grid.Scale(10), 0, firstRight - grid.Scale(20), arrowHeight));
    EXPECT_GT(picture.CountOther(Theme::Window(), firstRight + grid.Scale(10), 0,
                                 secondRight - firstRight - grid.Scale(20), arrowHeight),
              3);
}

TEST_F(GridTest, RowsAddedWhileSortedAppearInTheirPlace)
{
    Fill({{L"d", L"4"}, {L"b", L"2"}});
    ShowAndFocus();
    grid.Sort(1, false);
    grid.SelectRow(0);
    // Batches arrive as during a load: redraw off, rows added and filled, redraw on.
    for (int batch = 0; batch < 3; batch++)
    {
        grid.SetUpdatesEnabled(false);
        for (int i = 0; i < 4; i++)
        {
            int value = 9 - batch * 4 - i;
            int row = grid.GetRows().Add();
            grid.SetCellText(row, 0, String(L"r") + value);
            grid.SetCellText(row, 1, String(L"") + value);
        }
        grid.SetUpdatesEnabled(true);
        Testing::PumpMessages();
    }
    EXPECT_EQ((std::vector<std::wstring>{L"r-2", L"r-1", L"r0", L"r1", L"b", L"r2", L"r3", L"d", L"r4", L"r5", L"r6",
                                         L"r7", L"r8", L"r9"}),
              Shown());
    // The selected row followed its place; its index did not change.
    EXPECT_EQ(0, grid.GetSelectedRow());
    EXPECT_EQ(7, grid.GetViewIndexOfRow(0));
    // A changed key of a placed row moves it.
    grid.SetCellText(0, 1, String(L"-10"));
    EXPECT_EQ(L"d", Shown().front());
    grid.ClearSort();
    EXPECT_EQ(L"d", Shown().front());
    EXPECT_EQ(L"b", Shown()[1]);
}

TEST_F(GridTest, DraggingAHeaderEdgeResizesAndADoubleClickFitsTheText)
{
    Fill({{L"short", L"1"}, {L"a considerably longer name than the others", L"2"}});
    ShowAndFocus();
    int edge = grid.GetColumnRight(0);
    int y = grid.GetHeaderHeight() / 2;
    SendMessageW(grid.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(edge, y));
    SendMessageW(grid.GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(edge + grid.Scale(40), y));
    SendMessageW(grid.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(edge + grid.Scale(40), y));
    EXPECT_EQ(160, grid.GetColumnWidth(0));
    EXPECT_EQ(-1, grid.GetSortColumn()) << "a drag is no click";
    // The fitted width holds the longest text as the system measures it.
    edge = grid.GetColumnRight(0);
    SendMessageW(grid.GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(edge, y));
    SendMessageW(grid.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(edge, y));
    HDC screen = GetDC(grid.GetHandle());
    HGDIOBJ previous = SelectObject(screen, grid.GetFontHandle());
    SIZE size;
    const wchar_t* longest = L"a considerably longer name than the others";
    GetTextExtentPoint32W(screen, longest, static_cast<int>(wcslen(longest)), &size);
    SelectObject(screen, previous);
    ReleaseDC(grid.GetHandle(), screen);
    int width = grid.Scale(grid.GetColumnWidth(0));
    EXPECT_GE(width, size.cx + grid.Scale(12));
    EXPECT_LE(width, size.cx + grid.Scale(20));
}

TEST_F(GridTest, ArrowKeysAndTheSidewaysWheelScrollWideGridsSideways)
{
    for (int column = 0; column < 8; column++)
    {
        grid.GetColumns().Add(String(L"Column ") + column, 120);
    }
    grid.GetRows().AddRange(10);
    ShowAndFocus();
    ASSERT_EQ(0, grid.GetColumnAt(Point{grid.Scale(5), grid.GetHeaderHeight() + 2}));
    Testing::PressKey(grid, Keys::Right);
    Testing::PressKey(grid, Keys::Right);
    int moved = grid.Scale(40);
    EXPECT_EQ(grid.Scale(120) - moved, grid.GetColumnRight(0));
    Testing::PressKey(grid, Keys::Left);
    EXPECT_EQ(grid.Scale(120) - grid.Scale(20), grid.GetColumnRight(0));
    POINT screen = {10, 50};
    ClientToScreen(grid.GetHandle(), &screen);
    SendMessageW(grid.GetHandle(), WM_MOUSEHWHEEL, MAKEWPARAM(0, 4 * WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
    EXPECT_LT(grid.GetColumnRight(0), grid.Scale(120) - grid.Scale(20));
}

TEST_F(GridTest, TextsAddedWhileSortedByTextFollowTheLocaleOrderToo)
{
    Fill({{L"Mango", L"1"}, {L"cherry", L"2"}});
    ShowAndFocus();
    ClickHeader(0);
    const wchar_t* names[] = {L"banana", L"Apple", L"zucchini", L"apricot", L"Cherry", L"melon"};
    for (const wchar_t* name : names)
    {
        Fill({{name, L"0"}});
        // Each one merged on its own, as batches shown one by one are.
        grid.GetRowAtViewIndex(0);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Apple", L"apricot", L"banana", L"cherry", L"Cherry", L"Mango", L"melon",
                                         L"zucchini"}),
              Shown());
    // The same rows sorted afresh come out the same.
    grid.Sort(0, false);
    EXPECT_EQ((std::vector<std::wstring>{L"Apple", L"apricot", L"banana", L"cherry", L"Cherry", L"Mango", L"melon",
                                         L"zucchini"}),
              Shown());
}
