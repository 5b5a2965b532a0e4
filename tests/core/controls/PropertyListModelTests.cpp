#include "core/controls/PropertyListModel.h"

#include "tests/support/ThrownMessage.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using namespace Core::Controls;
using Core::String;
using Testing::ThrownMessage;

namespace
{

constexpr int NoRow = PropertyListModel::NoRow;

std::wstring Text(const String& text)
{
    return std::wstring(text.GetBuffer(), static_cast<size_t>(text.GetLength()));
}

// The names of the rows shown, in order.
std::vector<std::wstring> Shown(PropertyListModel& model)
{
    std::vector<std::wstring> names;
    for (int position = 0; position < model.GetVisibleRowCount(); position++)
    {
        names.push_back(Text(model.GetName(model.GetVisibleRow(position))));
    }
    return names;
}

// Records what the model tells its window.
class Recorder : public PropertyListModelObserver
{
public:
    std::vector<int> rowsFrom;
    std::vector<int> rows;
    int selections = 0;

    void OnRowsChanged(int firstPosition) override { rowsFrom.push_back(firstPosition); }
    void OnRowChanged(int position) override { rows.push_back(position); }
    void OnSelectionChanged() override { selections++; }
    void Forget()
    {
        rowsFrom.clear();
        rows.clear();
        selections = 0;
    }
};

// An instance as a property sheet shows it: properties, an array, an embedded object, system properties.
class PropertyListModelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        handle = model.AddRow(NoRow, String(L"Handle"), String(L"string"), String(L"4242"), PropertyRowFlags::Key);
        names = model.AddRow(NoRow, String(L"Names"), String(L"string[]"), String(L"2 elements"));
        first = model.AddRow(names, String(L"[0]"), String(L"string"), String(L"alpha"));
        model.AddRow(names, String(L"[1]"), String(L"string"), String(L"beta"));
        owner = model.AddRow(NoRow, String(L"Owner"), String(L"object"), String(L"Win32_Account"));
        account = model.AddRow(owner, String(L"Account"), String(L"object"), String(L"Win32_SID"));
        model.AddRow(account, String(L"SID"), String(L"string"), String(L"S-1-5-18"));
        model.AddRow(owner, String(L"Domain"), String(L"string"), String(), PropertyRowFlags::Dimmed);
        system = model.AddGroup(String(L"System properties"));
        relpath = model.AddRow(system, String(L"__RELPATH"), String(L"string"),
                               String(L"Win32_Process.Handle=\"4242\""), PropertyRowFlags::Link);
    }

    PropertyListModel model;
    int handle = NoRow;
    int names = NoRow;
    int first = NoRow;
    int owner = NoRow;
    int account = NoRow;
    int system = NoRow;
    int relpath = NoRow;
};

} // namespace

// --- The tree ---

TEST_F(PropertyListModelTest, RowsFormATreeOfLevelsChildrenAndSiblings)
{
    EXPECT_EQ(10, model.GetRowCount());
    EXPECT_EQ(NoRow, model.GetParent(names));
    EXPECT_EQ(names, model.GetParent(first));
    EXPECT_EQ(2, model.GetLevel(model.GetFirstChild(account)));
    EXPECT_EQ(2, model.GetChildCount(owner));
    EXPECT_EQ(account, model.GetFirstChild(owner));
    EXPECT_EQ(L"Domain", Text(model.GetName(model.GetNextSibling(account))));
    EXPECT_EQ(NoRow, model.GetNextSibling(system));
    EXPECT_EQ(NoRow, model.GetFirstChild(handle));
    EXPECT_EQ(L"string[]", Text(model.GetType(names)));
    EXPECT_EQ(L"beta", Text(model.GetValue(model.GetNextSibling(first))));
    EXPECT_TRUE(model.HasKeyRows());
    EXPECT_TRUE(model.IsGroup(system));
    EXPECT_FALSE(model.IsGroup(names));
    EXPECT_EQ(PropertyRowFlags::Link, model.GetFlags(relpath));
    model.SetData(relpath, 0x123456789ull);
    EXPECT_EQ(0x123456789ull, model.GetData(relpath));
    EXPECT_EQ(0ull, model.GetData(handle));
    // Rows start collapsed, groups expanded.
    EXPECT_FALSE(model.IsExpanded(names));
    EXPECT_TRUE(model.IsExpanded(system));
    EXPECT_EQ((std::vector<std::wstring>{L"Handle", L"Names", L"Owner", L"System properties", L"__RELPATH"}),
              Shown(model));
    // The key mark goes with its flag.
    model.SetFlags(handle, PropertyRowFlags::None);
    EXPECT_FALSE(model.HasKeyRows());
}

TEST_F(PropertyListModelTest, BadIndexesAndFlagsAreRefusedWithTheirOperationNamed)
{
    EXPECT_EQ(L"PropertyListModel.AddRow method - row index out of range",
              ThrownMessage([&] { model.AddRow(10, String(L"x"), String(), String()); }));
    EXPECT_EQ(L"PropertyListModel.AddRow method - unknown row flags",
              ThrownMessage([&] { model.AddRow(NoRow, String(L"x"), String(), String(), 0x100); }));
    EXPECT_EQ(10, model.GetRowCount()) << "nothing was added";
    EXPECT_EQ(L"PropertyListModel.GetName method - row index out of range", ThrownMessage([&] { model.GetName(-1); }));
    EXPECT_EQ(L"PropertyListModel.SetValue method - row index out of range",
              ThrownMessage([&] { model.SetValue(10, String(L"x")); }));
    EXPECT_EQ(L"PropertyListModel.SetExpanded method - row index out of range",
              ThrownMessage([&] { model.Expand(99); }));
    EXPECT_EQ(L"PropertyListModel.GetVisibleRow method - position out of range",
              ThrownMessage([&] { model.GetVisibleRow(5); }));
    EXPECT_EQ(L"PropertyListModel.SelectRow method - row index out of range",
              ThrownMessage([&] { model.SelectRow(-2); }));
    EXPECT_EQ(L"PropertyListModel.SetFlags method - unknown row flags",
              ThrownMessage([&] { model.SetFlags(handle, -1); }));
    EXPECT_EQ(PropertyRowFlags::Key, model.GetFlags(handle));
}

// --- Expansion and the rows shown ---

TEST_F(PropertyListModelTest, ExpandingAndCollapsingChangesTheRowsShownAndTheirPositions)
{
    model.Expand(owner);
    EXPECT_EQ((std::vector<std::wstring>{L"Handle", L"Names", L"Owner", L"Account", L"Domain", L"System properties",
                                         L"__RELPATH"}),
              Shown(model));
    EXPECT_EQ(3, model.GetPositionOf(account));
    EXPECT_EQ(-1, model.GetPositionOf(first)) << "under a collapsed row";
    model.Expand(account);
    model.Expand(names);
    EXPECT_EQ(4, model.GetPositionOf(owner));
    EXPECT_EQ(6, model.GetPositionOf(model.GetFirstChild(account)));
    EXPECT_EQ(10, model.GetVisibleRowCount());
    // Collapsing hides the rows below, and their rows below; expanding again brings back what was open.
    model.Collapse(owner);
    EXPECT_EQ(-1, model.GetPositionOf(model.GetFirstChild(account)));
    EXPECT_EQ(7, model.GetVisibleRowCount());
    model.Expand(owner);
    EXPECT_EQ(6, model.GetPositionOf(model.GetFirstChild(account)));
    for (int position = 0; position < model.GetVisibleRowCount(); position++)
    {
        EXPECT_EQ(position, model.GetPositionOf(model.GetVisibleRow(position)));
    }
}

TEST_F(PropertyListModelTest, ExpandAllOpensOneRowsSubtreeAndCollapseAllClosesGroupsToo)
{
    model.ExpandAll(owner);
    EXPECT_TRUE(model.IsExpanded(account));
    EXPECT_FALSE(model.IsExpanded(names)) << "a row beside it stays as it was";
    EXPECT_EQ((std::vector<std::wstring>{L"Handle", L"Names", L"Owner", L"Account", L"SID", L"Domain",
                                         L"System properties", L"__RELPATH"}),
              Shown(model));
    model.CollapseAll();
    EXPECT_EQ((std::vector<std::wstring>{L"Handle", L"Names", L"Owner", L"System properties"}), Shown(model));
    model.ExpandAll();
    EXPECT_EQ(10, model.GetVisibleRowCount());
}

TEST_F(PropertyListModelTest, ADeepChainExpandsAndListsWithoutRecursion)
{
    // Deep enough that a recursive walk would overflow the stack.
    int parent = names;
    int depth = 200000;
    for (int i = 0; i < depth; i++)
    {
        parent = model.AddRow(parent, String(L"Level"), String(), String());
    }
    model.ExpandAll(names);
    EXPECT_EQ(5 + 2 + depth, model.GetVisibleRowCount());
    EXPECT_EQ(depth, model.GetLevel(parent));
    EXPECT_EQ(3 + depth, model.GetPositionOf(parent));
    model.CollapseAll();
    EXPECT_EQ(4, model.GetVisibleRowCount());
}

// --- Selection ---

TEST_F(PropertyListModelTest, CollapsingAboveTheSelectionSelectsTheCollapsedRow)
{
    Recorder recorder;
    model.SetObserver(&recorder);
    int sid = model.GetFirstChild(account);
    // Selecting a hidden row opens the rows above it.
    model.SelectRow(sid);
    EXPECT_EQ(sid, model.GetSelectedRow());
    EXPECT_TRUE(model.IsExpanded(owner));
    EXPECT_TRUE(model.IsExpanded(account));
    EXPECT_EQ(4, model.GetPositionOf(sid));
    EXPECT_EQ(1, recorder.selections);
    model.Collapse(owner);
    EXPECT_EQ(owner, model.GetSelectedRow());
    EXPECT_EQ(2, recorder.selections);
    EXPECT_TRUE(model.IsRowSelected(owner));
    EXPECT_FALSE(model.IsRowSelected(handle));
    // All rows, then one again.
    model.SelectAll();
    EXPECT_TRUE(model.IsAllSelected());
    EXPECT_TRUE(model.IsRowSelected(handle));
    EXPECT_EQ(owner, model.GetSelectedRow()) << "the keys go on from it";
    model.SelectRow(handle);
    EXPECT_FALSE(model.IsAllSelected());
    EXPECT_FALSE(model.IsRowSelected(owner));
    EXPECT_EQ(4, recorder.selections);
    // Clearing the rows takes the selection with them.
    model.Clear();
    EXPECT_EQ(NoRow, model.GetSelectedRow());
    EXPECT_EQ(5, recorder.selections);
    EXPECT_EQ(0, model.GetRowCount());
    EXPECT_EQ(0, model.GetVisibleRowCount());
    EXPECT_FALSE(model.HasKeyRows());
    EXPECT_EQ(1u, model.GetClearCount());
    model.SetObserver(nullptr);
}

// --- Copying ---

TEST_F(PropertyListModelTest, CopiedTextIsNameEqualsValueLinesIndentedByLevel)
{
    model.ExpandAll();
    model.SetValue(first, String(L"al\tpha\r\nline"));
    EXPECT_EQ(L"Handle = 4242\r\n"
              L"Names = 2 elements\r\n"
              L"  [0] = al pha  line\r\n"
              L"  [1] = beta\r\n"
              L"Owner = Win32_Account\r\n"
              L"  Account = Win32_SID\r\n"
              L"    SID = S-1-5-18\r\n"
              L"  Domain = \r\n"
              L"System properties\r\n"
              L"  __RELPATH = Win32_Process.Handle=\"4242\"\r\n",
              Text(model.GetVisibleText()));
    // Nothing selected: every row shown.
    EXPECT_EQ(Text(model.GetVisibleText()), Text(model.GetSelectionText()));
    // One row: it and the rows it shows, from its own level.
    model.SelectRow(account);
    EXPECT_EQ(L"Account = Win32_SID\r\n  SID = S-1-5-18\r\n", Text(model.GetSelectionText()));
    model.Collapse(account);
    EXPECT_EQ(L"Account = Win32_SID\r\n", Text(model.GetSelectionText()));
    EXPECT_EQ(L"System properties\r\n  __RELPATH = Win32_Process.Handle=\"4242\"\r\n", Text(model.GetCopyText(system)));
    // Collapsed rows leave their rows out of the whole text too.
    model.SelectAll();
    model.Collapse(owner);
    EXPECT_EQ(L"Handle = 4242\r\n"
              L"Names = 2 elements\r\n"
              L"  [0] = al pha  line\r\n"
              L"  [1] = beta\r\n"
              L"Owner = Win32_Account\r\n"
              L"System properties\r\n"
              L"  __RELPATH = Win32_Process.Handle=\"4242\"\r\n",
              Text(model.GetSelectionText()));
}

// --- What the window is told ---

TEST_F(PropertyListModelTest, TheWindowIsToldFromWhichPositionTheRowsShownChanged)
{
    Recorder recorder;
    model.SetObserver(&recorder);
    model.GetVisibleRowCount();
    model.Expand(owner);
    EXPECT_EQ(std::vector<int>{2}, recorder.rowsFrom);
    // Told once until the rows are listed again: the window repaints from there anyway.
    model.Expand(names);
    model.Expand(account);
    EXPECT_EQ((std::vector<int>{2, 1}), recorder.rowsFrom);
    model.GetVisibleRowCount();
    recorder.Forget();
    // A text of a row shown repaints that row; of a hidden one, nothing.
    model.SetValue(system, String(L"x"));
    model.Collapse(names);
    model.GetVisibleRowCount();
    recorder.Forget();
    model.SetValue(first, String(L"hidden"));
    model.SetValue(relpath, String(L"shown"));
    EXPECT_TRUE(recorder.rowsFrom.empty());
    EXPECT_EQ(std::vector<int>{7}, recorder.rows);
    // A first child shows the parent's glyph; a child of a collapsed row changes no position.
    recorder.Forget();
    model.AddRow(handle, String(L"Part"), String(), String());
    EXPECT_EQ(std::vector<int>{0}, recorder.rows);
    EXPECT_TRUE(recorder.rowsFrom.empty());
    // Rows appended at the end are told as they come.
    recorder.Forget();
    int related = model.AddGroup(String(L"Related"));
    model.AddRow(related, String(L"Win32_LogicalDisk"), String(), String());
    EXPECT_EQ((std::vector<int>{8, 9}), recorder.rowsFrom);
    EXPECT_EQ(std::vector<int>{8}, recorder.rows) << "the group's glyph";
    // A row added above others moves them.
    recorder.Forget();
    model.AddRow(system, String(L"__PATH"), String(), String());
    EXPECT_EQ(std::vector<int>{7}, recorder.rowsFrom);
    EXPECT_EQ(L"__PATH", Text(model.GetName(model.GetVisibleRow(8))));
    model.SetObserver(nullptr);
}

// Whatever the changes, the rows shown are those a plain walk of the tree finds, and the window was told of every
// position that changed: positions before the first one it was told of are the same as before.
TEST_F(PropertyListModelTest, RandomChangesKeepTheRowsShownAndTheNoticesRight)
{
    Recorder recorder;
    model.SetObserver(&recorder);
    std::mt19937 random(38);
    // The plain walk: each row's children in order, recursively, into expanded rows.
    auto walk = [&]()
    {
        std::vector<int> rows;
        std::vector<int> pending;
        std::vector<int> top;
        for (int row = 0; row < model.GetRowCount(); row++)
        {
            if (model.GetParent(row) == NoRow)
            {
                top.push_back(row);
            }
        }
        pending.assign(top.rbegin(), top.rend());
        while (!pending.empty())
        {
            int row = pending.back();
            pending.pop_back();
            rows.push_back(row);
            if (model.IsExpanded(row))
            {
                std::vector<int> children;
                for (int child = model.GetFirstChild(row); child != NoRow; child = model.GetNextSibling(child))
                {
                    children.push_back(child);
                }
                pending.insert(pending.end(), children.rbegin(), children.rend());
            }
        }
        return rows;
    };
    std::vector<int> before = walk();
    for (int step = 0; step < 3000; step++)
    {
        int count = model.GetRowCount();
        int row = static_cast<int>(random() % static_cast<unsigned>(count));
        switch (random() % 6)
        {
        case 0:
        case 1:
            model.AddRow(random() % 8 == 0 ? NoRow : row, String(L"r") + count, String(), String());
            break;
        case 2:
            model.SetExpanded(row, !model.IsExpanded(row));
            break;
        case 3:
            model.SetValue(row, String(L"v") + step);
            break;
        case 4:
            if (random() % 10 == 0)
            {
                model.ExpandAll(row);
            }
            break;
        default:
            break;
        }
        // Listed again now and then only, so that changes pile up.
        if (random() % 4 != 0)
        {
            continue;
        }
        std::vector<int> after = walk();
        ASSERT_EQ(static_cast<int>(after.size()), model.GetVisibleRowCount()) << "step " << step;
        size_t firstDifference = 0;
        while (firstDifference < before.size() && firstDifference < after.size() &&
               before[firstDifference] == after[firstDifference])
        {
            firstDifference++;
        }
        if (before.size() != after.size() || firstDifference < after.size())
        {
            ASSERT_FALSE(recorder.rowsFrom.empty()) << "step " << step;
            int told = *std::min_element(recorder.rowsFrom.begin(), recorder.rowsFrom.end());
            ASSERT_LE(told, static_cast<int>(firstDifference)) << "step " << step;
        }
        for (size_t position = 0; position < after.size(); position++)
        {
            ASSERT_EQ(after[position], model.GetVisibleRow(static_cast<int>(position))) << "step " << step;
            ASSERT_EQ(static_cast<int>(position), model.GetPositionOf(after[position])) << "step " << step;
        }
        before = after;
        recorder.Forget();
    }
    model.SetObserver(nullptr);
}

// Filling a sheet in order, each row shown at once (as a window asks after each), stays linear: the rows shown are
// added to, not listed again.
TEST_F(PropertyListModelTest, RowsFilledInOrderAreShownWithoutListingAllAgain)
{
    int elements = model.AddGroup(String(L"Elements"));
    int shown = model.GetVisibleRowCount();
    for (int i = 0; i < 100000; i++)
    {
        int row = model.AddRow(elements, String(L"[") + i + L"]", String(L"uint32"), String(L"") + i);
        ASSERT_EQ(shown + i, model.GetPositionOf(row));
        ASSERT_EQ(shown + i + 1, model.GetVisibleRowCount());
    }
    shown = model.GetVisibleRowCount();
    // Expanding and collapsing a row of 10,000 children is one walk each.
    int big = model.AddRow(NoRow, String(L"Big"), String(), String());
    for (int i = 0; i < 10000; i++)
    {
        model.AddRow(big, String(L"Child"), String(), String());
    }
    for (int round = 0; round < 50; round++)
    {
        model.Expand(big);
        ASSERT_EQ(shown + 1 + 10000, model.GetVisibleRowCount());
        model.Collapse(big);
        ASSERT_EQ(shown + 1, model.GetVisibleRowCount());
    }
}
