// The grid's row view without any window: order, filter and selection over a model, as the rows come and go;
// the expected rows are written out by hand or made with the standard library.
#include "core/controls/GridModel.h"
#include "core/controls/GridRowView.h"

#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

using namespace Core::Controls;
using Core::String;
using Testing::ThrownMessage;

namespace
{

using Names = std::vector<std::wstring>;

class RecordingObserver : public GridRowViewObserver
{
public:
    std::vector<std::pair<int, bool>> changes;
    int longSortsStarted = 0;
    int longSortsEnded = 0;

    void OnViewChanged(int firstPosition, bool countChanged) override
    {
        changes.emplace_back(firstPosition, countChanged);
    }
    void OnLongSortStarted() override { longSortsStarted++; }
    void OnLongSortEnded() override { longSortsEnded++; }
};

class GridRowViewTest : public testing::Test
{
protected:
    GridRowViewTest() : view(model) { model.SetColumnCount(2); }

    // Rows of a Name and a Size, added in the order given; returns the first one's index.
    int Add(const std::vector<std::pair<const wchar_t*, const wchar_t*>>& rows)
    {
        int first = model.AddRows(static_cast<int>(rows.size()));
        for (size_t i = 0; i < rows.size(); i++)
        {
            model.SetCellText(first + static_cast<int>(i), 0, String(rows[i].first));
            model.SetCellText(first + static_cast<int>(i), 1, String(rows[i].second));
        }
        return first;
    }
    // Rows 0 to 6.
    void AddProcesses()
    {
        Add({{L"system", L"4"},
             {L"svchost.exe", L"20"},
             {L"explorer.exe", L"300"},
             {L"SVCHOST.EXE", L"1"},
             {L"\u00C9cran", L"55"},
             {L"lsass.exe", L"6"},
             {L"services.exe", L"7"}});
    }
    // The Name cells in the order shown.
    Names Shown()
    {
        Names names;
        for (int position = 0; position < view.GetVisibleRowCount(); position++)
        {
            names.push_back(model.GetCellText(view.GetRowAt(position), 0).GetBuffer());
        }
        return names;
    }
    void Filter(const wchar_t* text)
    {
        view.SetFilterText(String(text));
        view.ContinueFilter();
    }
    std::vector<int> SelectedRows()
    {
        std::vector<int> rows;
        for (int row = 0; row < model.GetRowCount(); row++)
        {
            if (view.IsRowSelected(row))
            {
                rows.push_back(row);
            }
        }
        return rows;
    }

    GridModel model;
    GridRowView view;
};

} // namespace

// --- Order ---

TEST_F(GridRowViewTest, SortsEmptyCellsFirstThenNumbersByValueThenTextsRegardlessOfCaseAndBack)
{
    Add({{L"banana", L""},
         {L"Apple", L""},
         {L"-2.5", L""},
         {L"1e3", L""},
         {L"", L""},
         {L"10", L""},
         {L"9", L""},
         {L"12 monkeys", L""},
         {L"apple", L""}});
    EXPECT_EQ((Names{L"banana", L"Apple", L"-2.5", L"1e3", L"", L"10", L"9", L"12 monkeys", L"apple"}), Shown());

    view.Sort(0, false);
    EXPECT_EQ(0, view.GetSortColumn());
    EXPECT_FALSE(view.IsSortDescending());
    // "12 monkeys" is no whole number: a text, before the letters.
    EXPECT_EQ((Names{L"", L"-2.5", L"9", L"10", L"1e3", L"12 monkeys", L"Apple", L"apple", L"banana"}), Shown());
    view.Sort(0, true);
    EXPECT_TRUE(view.IsSortDescending());
    EXPECT_EQ((Names{L"banana", L"Apple", L"apple", L"12 monkeys", L"1e3", L"10", L"9", L"-2.5", L""}), Shown());
    // Rows keep their indexes; positions follow the order.
    EXPECT_EQ(0, view.GetRowAt(0));
    EXPECT_EQ(8, view.GetPositionOf(4));
    EXPECT_EQ(L"GridRowView.Sort method - column index out of range", ThrownMessage([&] { view.Sort(2, false); }));
    EXPECT_EQ(L"GridRowView.GetRowAt method - position out of range", ThrownMessage([&] { view.GetRowAt(9); }));
}

// Equal keys, "Apple" and "apple" among them, keep the order of addition whichever way the rows are sorted.
TEST_F(GridRowViewTest, EqualKeysKeepTheOrderOfAdditionBothWays)
{
    Add({{L"b1", L"beta"}, {L"a1", L"Alpha"}, {L"b2", L"beta"}, {L"a2", L"alpha"}, {L"n1", L"5"}, {L"n2", L"5.0"}});
    view.Sort(1, false);
    EXPECT_EQ((Names{L"n1", L"n2", L"a1", L"a2", L"b1", L"b2"}), Shown());
    view.Sort(1, true);
    EXPECT_EQ((Names{L"b1", L"b2", L"a1", L"a2", L"n1", L"n2"}), Shown());
    view.ClearSort();
    EXPECT_EQ(-1, view.GetSortColumn());
    EXPECT_EQ((Names{L"b1", L"a1", L"b2", L"a2", L"n1", L"n2"}), Shown());
}

// A few rows are merged into the sorted ones, many sorted with them afresh; both ways give the sorted order, and a
// row whose key changes moves.
TEST_F(GridRowViewTest, RowsAppendedWhileSortedTakeTheirPlace)
{
    model.SetColumnCount(1);
    int first = model.AddRows(10);
    for (int i = 0; i < 10; i++)
    {
        model.SetCellText(first + i, 0, String() + (i * 1000));
    }
    view.Sort(0, false);
    ASSERT_EQ(0, view.GetRowAt(0));

    // A batch of three: 500, 1500 and 9999 go between the others.
    first = model.AddRows(3);
    model.SetCellText(first, 0, String(L"9999"));
    model.SetCellText(first + 1, 0, String(L"500"));
    model.SetCellText(first + 2, 0, String(L"1500"));
    Names expected = {L"0",    L"500",  L"1000", L"1500", L"2000", L"3000", L"4000",
                      L"5000", L"6000", L"7000", L"8000", L"9000", L"9999"};
    EXPECT_EQ(expected, Shown());

    // Five thousand more, 0.5, 1.5, ... in a scrambled order.
    int count = 5000;
    first = model.AddRows(count);
    for (int i = 0; i < count; i++)
    {
        model.SetCellText(first + i, 0, String() + ((i * 7919) % count) + L".5");
    }
    ASSERT_EQ(13 + count, view.GetVisibleRowCount());
    std::vector<std::wstring> sorted;
    for (int value = 0; value < count; value++)
    {
        sorted.push_back(std::to_wstring(value) + L".5");
    }
    std::vector<std::wstring> shown;
    for (int position = 0; position < view.GetVisibleRowCount(); position++)
    {
        int row = view.GetRowAt(position);
        if (row >= first)
        {
            shown.push_back(model.GetCellText(row, 0).GetBuffer());
        }
    }
    EXPECT_EQ(sorted, shown);
    EXPECT_EQ(first, view.GetRowAt(1)) << "0.5 comes between 0 and 500";

    // A placed row whose key changes moves.
    model.SetCellText(0, 0, String(L"99999"));
    EXPECT_EQ(0, view.GetRowAt(view.GetVisibleRowCount() - 1));
    model.SetCellText(0, 0, String(L"-1"));
    EXPECT_EQ(0, view.GetRowAt(0));
}

TEST_F(GridRowViewTest, ClearedRowsStaySortedWhenNewOnesCome)
{
    AddProcesses();
    view.Sort(0, false);
    ASSERT_EQ(L"\u00C9cran", Shown().front());
    model.ClearRows();
    EXPECT_EQ(0, view.GetVisibleRowCount());
    EXPECT_EQ(0, view.GetSortColumn());
    Add({{L"zeta", L""}, {L"alpha", L""}, {L"mu", L""}});
    EXPECT_EQ((Names{L"alpha", L"mu", L"zeta"}), Shown());
    // Without its column the order goes.
    model.SetColumnCount(0);
    EXPECT_EQ(-1, view.GetSortColumn());
}

// --- Filter ---

TEST_F(GridRowViewTest, TheFilterShowsTheRowsWithACellHoldingTheTextRegardlessOfCase)
{
    AddProcesses();
    EXPECT_TRUE(view.SetFilterText(String(L"SvcHost")));
    EXPECT_FALSE(view.IsFilterPending()) << "no time limit: searched to the end";
    EXPECT_TRUE(view.IsFiltered());
    EXPECT_EQ(L"SvcHost", std::wstring(view.GetFilterText().GetBuffer()));
    EXPECT_EQ((Names{L"svchost.exe", L"SVCHOST.EXE"}), Shown());
    EXPECT_EQ(2, view.GetVisibleRowCount());
    EXPECT_FALSE(view.IsRowVisible(0));
    EXPECT_TRUE(view.IsRowVisible(3));
    EXPECT_EQ(-1, view.GetPositionOf(0));
    EXPECT_EQ(1, view.GetPositionOf(3));
    EXPECT_FALSE(view.SetFilterText(String(L"SvcHost"))) << "the same text";

    // Any cell: the Size column holds "300".
    Filter(L"30");
    EXPECT_EQ((Names{L"explorer.exe"}), Shown());
    Filter(L"\u00E9CRAN");
    EXPECT_EQ((Names{L"\u00C9cran"}), Shown());
    Filter(L"nowhere");
    EXPECT_EQ(0, view.GetVisibleRowCount());
    Filter(L"");
    EXPECT_FALSE(view.IsFiltered());
    EXPECT_EQ(7, view.GetVisibleRowCount());
    EXPECT_EQ(L"GridRowView.IsRowVisible method - row index out of range",
              ThrownMessage([&] { view.IsRowVisible(7); }));
}

// Typing on narrows what was found, a correction widens it again, and a text that does not hold the last one
// searches every row.
TEST_F(GridRowViewTest, ALongerTextNarrowsAndAShorterOneWidensAgain)
{
    AddProcesses();
    std::vector<std::pair<const wchar_t*, Names>> steps = {
        {L"s", {L"system", L"svchost.exe", L"SVCHOST.EXE", L"lsass.exe", L"services.exe"}},
        {L"s.", {L"lsass.exe", L"services.exe"}},
        {L"s.e", {L"lsass.exe", L"services.exe"}},
        {L"s", {L"system", L"svchost.exe", L"SVCHOST.EXE", L"lsass.exe", L"services.exe"}},
        {L"sv", {L"svchost.exe", L"SVCHOST.EXE"}},
        {L"ser", {L"services.exe"}},
        {L"e", {L"system", L"svchost.exe", L"explorer.exe", L"SVCHOST.EXE", L"lsass.exe", L"services.exe"}},
        {L"ex", {L"svchost.exe", L"explorer.exe", L"SVCHOST.EXE", L"lsass.exe", L"services.exe"}},
        {L"xp", {L"explorer.exe"}},
    };
    for (const auto& [text, names] : steps)
    {
        Filter(text);
        EXPECT_EQ(names, Shown()) << "after \"" << text << "\"";
        EXPECT_EQ(static_cast<int>(names.size()), view.GetVisibleRowCount()) << "after \"" << text << "\"";
    }
}

// A search given no time stops after its first stretch of rows and goes on where it stopped; a longer text typed
// meanwhile still searches the rows the first had not reached.
TEST_F(GridRowViewTest, ASearchCutShortGoesOnAndALongerTextTypedMeanwhileMissesNoRow)
{
    model.SetColumnCount(1);
    const int rows = 150000;
    model.AddRows(rows);
    int nines = 0;
    int sevens = 0;
    int twoSevens = 0;
    for (int row = 0; row < rows; row++)
    {
        std::wstring text = std::to_wstring(row);
        model.SetCellText(row, 0, String(text.c_str()));
        nines += text.find(L'9') != std::wstring::npos ? 1 : 0;
        sevens += text.find(L'7') != std::wstring::npos ? 1 : 0;
        twoSevens += text.find(L"77") != std::wstring::npos ? 1 : 0;
    }

    view.SetFilterText(String(L"9"), 0);
    EXPECT_TRUE(view.IsFilterPending());
    EXPECT_LT(view.GetVisibleRowCount(), nines);
    for (int slice = 0; slice < rows && view.IsFilterPending(); slice++)
    {
        view.ContinueFilter(0);
    }
    EXPECT_FALSE(view.IsFilterPending());
    EXPECT_EQ(nines, view.GetVisibleRowCount());

    view.SetFilterText(String(L"7"), 0);
    ASSERT_TRUE(view.IsFilterPending());
    EXPECT_LT(view.GetVisibleRowCount(), sevens);
    view.SetFilterText(String(L"77"), 0);
    view.ContinueFilter();
    EXPECT_EQ(twoSevens, view.GetVisibleRowCount());
    EXPECT_EQ(77, view.GetRowAt(0));
    EXPECT_EQ(149977, view.GetRowAt(twoSevens - 1));
}

// Deleting back to a text searched before takes that search's rows again, unless a row it looked at changed since.
TEST_F(GridRowViewTest, AKeptSearchIsDroppedWhenARowItSawChanges)
{
    AddProcesses();
    Filter(L"svc");
    Filter(L"");
    model.SetCellText(5, 1, String(L"svc"));
    Filter(L"svc");
    EXPECT_EQ((Names{L"svchost.exe", L"SVCHOST.EXE", L"lsass.exe"}), Shown());
}

// Rows added while filtered are taken in when the view is next read and shown once searched, if they pass: in
// their place in the order, too.
TEST_F(GridRowViewTest, RowsAppendedWhileFilteredShowOnceSearched)
{
    AddProcesses();
    Filter(L"svc");
    Add({{L"svc1", L"1"}, {L"other", L"2"}});
    EXPECT_EQ(2, view.GetVisibleRowCount());
    EXPECT_TRUE(view.IsFilterPending());
    view.ContinueFilter();
    EXPECT_FALSE(view.IsFilterPending());
    EXPECT_EQ((Names{L"svchost.exe", L"SVCHOST.EXE", L"svc1"}), Shown());

    view.Sort(0, true);
    Add({{L"svc3", L"1"}, {L"svc0", L"2"}, {L"svd", L"3"}, {L"svc2", L"4"}});
    view.ContinueFilter();
    EXPECT_EQ((Names{L"svchost.exe", L"SVCHOST.EXE", L"svc3", L"svc2", L"svc1", L"svc0"}), Shown());
}

TEST_F(GridRowViewTest, AChangedCellShowsOrHidesItsRow)
{
    AddProcesses();
    Filter(L"svc");
    model.SetCellText(0, 0, String(L"svc-system"));
    model.SetCellText(1, 0, String(L"host"));
    EXPECT_EQ((Names{L"svc-system", L"SVCHOST.EXE"}), Shown());
    EXPECT_EQ(2, view.GetVisibleRowCount());
}

TEST_F(GridRowViewTest, ClearedRowsStartTheFilterAfresh)
{
    AddProcesses();
    Filter(L"svc");
    model.ClearRows();
    EXPECT_EQ(0, view.GetVisibleRowCount());
    EXPECT_FALSE(view.IsFilterPending());
    EXPECT_TRUE(view.IsFiltered());
    AddProcesses();
    EXPECT_TRUE(view.IsFilterPending());
    view.ContinueFilter();
    EXPECT_EQ((Names{L"svchost.exe", L"SVCHOST.EXE"}), Shown());
    // Removed columns leave no cell to hold the text.
    model.SetColumnCount(0);
    view.ContinueFilter();
    EXPECT_EQ(0, view.GetVisibleRowCount());
}

// --- Selection ---

TEST_F(GridRowViewTest, SelectingARowSelectsItAloneAndFocusesIt)
{
    AddProcesses();
    view.SelectRow(2);
    view.SelectRow(4);
    EXPECT_EQ(4, view.GetFocusRow());
    EXPECT_EQ((std::vector<int>{4}), SelectedRows());
    EXPECT_EQ(1, view.GetSelectedRowCount());
    view.ClearSelection();
    EXPECT_EQ(0, view.GetSelectedRowCount());
    EXPECT_EQ(4, view.GetFocusRow()) << "the focus stays";
    view.SelectRow(-1);
    EXPECT_EQ(-1, view.GetFocusRow());
    EXPECT_EQ(L"GridRowView.SelectRow method - row index out of range", ThrownMessage([&] { view.SelectRow(7); }));
}

// Ranges, toggles and moves of the focus count in positions of the order, and select rows as added.
TEST_F(GridRowViewTest, ARangeRunsFromTheAnchorThroughTheOrderShown)
{
    AddProcesses();
    // By Size, as numbers: positions 0 to 6 hold rows 3, 0, 5, 6, 1, 4, 2.
    view.Sort(1, false);
    ASSERT_EQ((Names{L"SVCHOST.EXE", L"system", L"lsass.exe", L"services.exe", L"svchost.exe", L"\u00C9cran",
                     L"explorer.exe"}),
              Shown());
    EXPECT_EQ(0, view.MoveFocus(1, false, false));
    EXPECT_EQ(1, view.MoveFocus(4, true, false));
    EXPECT_EQ((std::vector<int>{0, 1, 5, 6}), SelectedRows());
    // Ctrl moves the focus alone, then Ctrl+Space adds its row.
    EXPECT_EQ(2, view.MoveFocus(6, false, true));
    EXPECT_EQ(2, view.GetFocusRow());
    EXPECT_EQ(4, view.GetSelectedRowCount());
    view.ToggleFocusRow();
    EXPECT_EQ((std::vector<int>{0, 1, 2, 5, 6}), SelectedRows());
    // The toggled row is the anchor: Shift+Ctrl adds the range from it, Shift alone replaces the selection.
    view.MoveFocus(5, true, true);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 4, 5, 6}), SelectedRows());
    view.MoveFocus(0, true, false);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6}), SelectedRows());
    view.MoveFocus(5, true, false);
    EXPECT_EQ((std::vector<int>{2, 4}), SelectedRows());
    // A toggle unselects a selected row and makes it the anchor.
    view.ToggleRow(4);
    EXPECT_EQ((std::vector<int>{2}), SelectedRows());
    view.MoveFocus(3, true, false);
    EXPECT_EQ((std::vector<int>{1, 4, 6}), SelectedRows());
    // Positions beyond the rows shown stop at the ends.
    EXPECT_EQ(2, view.MoveFocus(100, false, false));
    EXPECT_EQ(3, view.MoveFocus(-5, false, false));
}

TEST_F(GridRowViewTest, SelectAllSelectsTheRowsShown)
{
    model.SetColumnCount(1);
    model.AddRows(130);
    view.SelectAll();
    EXPECT_EQ(130, view.GetSelectedRowCount());
    EXPECT_TRUE(view.IsRowSelected(129));
    EXPECT_FALSE(view.IsRowSelected(130));

    model.SetCellText(7, 0, String(L"x"));
    model.SetCellText(100, 0, String(L"X"));
    Filter(L"x");
    view.SelectAll();
    EXPECT_EQ((std::vector<int>{7, 100}), SelectedRows());
    // The selection outlives the filter.
    Filter(L"");
    EXPECT_EQ((std::vector<int>{7, 100}), SelectedRows());
}

TEST_F(GridRowViewTest, TheFocusMovesOnlyOverTheRowsShown)
{
    AddProcesses();
    Filter(L".exe");
    EXPECT_EQ(1, view.MoveFocus(0, false, false));
    EXPECT_EQ(5, view.MoveFocus(3, false, false));
    EXPECT_EQ(6, view.MoveFocus(10, false, false));
    EXPECT_EQ(2, view.MoveFocus(1, true, false));
    EXPECT_EQ((std::vector<int>{2, 3, 5, 6}), SelectedRows());
    Filter(L"nowhere");
    EXPECT_EQ(-1, view.MoveFocus(0, false, false));
}

// The filter hides selected rows without unselecting them until its owner asks, once the search is done; the
// rows it keeps stay selected, also when it is cleared.
TEST_F(GridRowViewTest, SelectedRowsTheFilterHidesAreDroppedWhenAsked)
{
    AddProcesses();
    view.ToggleRow(0);
    view.ToggleRow(1);
    view.ToggleRow(3);
    Filter(L"svc");
    EXPECT_EQ(3, view.GetSelectedRowCount());
    EXPECT_TRUE(view.DropHiddenSelection());
    EXPECT_EQ((std::vector<int>{1, 3}), SelectedRows());
    EXPECT_EQ(3, view.GetFocusRow());
    EXPECT_FALSE(view.DropHiddenSelection()) << "nothing left to drop";
    Filter(L"");
    EXPECT_EQ((std::vector<int>{1, 3}), SelectedRows());

    // A focused row the filter hides loses the focus, and an anchor it hides starts no range.
    view.SelectRow(0);
    view.ClearSelection();
    Filter(L"exe");
    EXPECT_TRUE(view.DropHiddenSelection());
    EXPECT_EQ(-1, view.GetFocusRow());
    EXPECT_EQ(3, view.MoveFocus(2, true, false));
    EXPECT_EQ((std::vector<int>{3}), SelectedRows());
    EXPECT_FALSE(view.DropHiddenSelection());
}

// Rows cleared take the selection with them; a model laid out again (a column added) keeps only the focused row
// selected.
TEST_F(GridRowViewTest, ARebuiltModelKeepsOnlyTheFocusedRowSelected)
{
    AddProcesses();
    view.SelectAll();
    view.MoveFocus(4, false, true);
    model.SetColumnCount(3);
    EXPECT_EQ((std::vector<int>{4}), SelectedRows());
    EXPECT_EQ(4, view.GetFocusRow());
    model.ClearRows();
    EXPECT_EQ(-1, view.GetFocusRow());
    EXPECT_EQ(0, view.GetSelectedRowCount());
    AddProcesses();
    EXPECT_EQ(0, view.GetSelectedRowCount());
}

// --- What the observer hears ---

TEST_F(GridRowViewTest, TheObserverHearsFromWhichPositionTheRowsShownChanged)
{
    RecordingObserver observer;
    view.SetObserver(&observer);
    AddProcesses();
    // Unsorted: from the first new row on; a cell: its own row, the count the same.
    ASSERT_GE(observer.changes.size(), 2u);
    EXPECT_EQ(std::make_pair(0, true), observer.changes[0]);
    EXPECT_EQ(std::make_pair(0, false), observer.changes[1]);
    observer.changes.clear();
    Add({{L"wininit.exe", L"8"}});
    EXPECT_EQ((std::vector<std::pair<int, bool>>{{7, true}, {7, false}, {7, false}}), observer.changes);

    // Sorted: anywhere.
    view.Sort(0, false);
    observer.changes.clear();
    Add({{L"a", L"1"}});
    EXPECT_EQ(std::make_pair(0, true), observer.changes.front());

    // Filtered: a new row shows nothing until searched; the search that finds it tells the count.
    view.ClearSort();
    Filter(L"svc");
    observer.changes.clear();
    Add({{L"svc2", L"1"}});
    EXPECT_EQ(std::make_pair(GridRowView::NoPosition, false), observer.changes.front());
    observer.changes.clear();
    view.ContinueFilter();
    EXPECT_EQ((std::vector<std::pair<int, bool>>{{0, true}}), observer.changes);
    view.SetObserver(nullptr);
}

TEST_F(GridRowViewTest, AnObserverHearsOfALongSort)
{
    RecordingObserver observer;
    view.SetObserver(&observer);
    model.AddRows(50000);
    view.Sort(0, false);
    view.GetRowAt(0);
    EXPECT_EQ(0, observer.longSortsStarted) << "50,000 rows sort at once";
    model.AddRows(1);
    view.Sort(1, false);
    view.GetRowAt(0);
    EXPECT_EQ(1, observer.longSortsStarted);
    EXPECT_EQ(1, observer.longSortsEnded);
    view.SetObserver(nullptr);
}
