// The rows of a property list, without any window: a tree of name, type and value rows (group headings, key
// marks, links, special values), which of them are expanded, the rows shown in order, the selection, and the
// rows as copied text.
#pragma once

#include "core/Object.h"
#include "core/String.h"

#include <cstdint>

namespace Core::Controls
{

// How a row looks and acts: bits, combined.
namespace PropertyRowFlags
{
constexpr int None = 0;
// A heading spanning the columns ("System properties"): its name is the heading; it starts expanded.
constexpr int Group = 0x1;
// A key: marked before its name, and said so to screen readers.
constexpr int Key = 0x2;
// The value is a link: drawn as one, and activated by a click on it or Enter.
constexpr int Link = 0x4;
// A special value (NULL) shown apart from any text: dimmed and slanted.
constexpr int Dimmed = 0x8;
constexpr int All = 0xF;
} // namespace PropertyRowFlags

// Told of what a window over the model must show again. Positions count the rows shown, from the top.
class PropertyListModelObserver
{
public:
    virtual ~PropertyListModelObserver() = default;
    // The rows shown from this position on may have changed, their number too.
    virtual void OnRowsChanged(int firstPosition) = 0;
    // The row shown at this position changed: its texts, flags or glyph.
    virtual void OnRowChanged(int position) = 0;
    // Another row is selected, or all rows are, or none.
    virtual void OnSelectionChanged() = 0;
};

// Rows are named by the index they were added with, until Clear. A row is shown when every row above it is
// expanded; the rows shown are listed once, when next asked for after a change, so that filling or expanding
// thousands of rows costs one walk over them.
class PropertyListModel : public Object
{
public:
    static constexpr int NoRow = -1;

    PropertyListModel();
    ~PropertyListModel() override;
    PropertyListModel(const PropertyListModel&) = delete;
    PropertyListModel& operator=(const PropertyListModel&) = delete;

    void SetObserver(PropertyListModelObserver* observer) { m_observer = observer; }

    // --- Rows ---
    // Appends a row as the last child of parent (NoRow: at the top level); returns its index. Rows start
    // collapsed, groups expanded.
    int AddRow(int parent, const String& name, const String& type, const String& value,
               int flags = PropertyRowFlags::None);
    // A heading at the top level.
    int AddGroup(const String& heading);
    // Removes every row; the selection goes with them.
    void Clear();
    int GetRowCount() const;
    // Counts Clear calls: a row index held across them names its row only while this stays the same.
    uint64_t GetClearCount() const { return m_clearCount; }

    String GetName(int row) const;
    String GetType(int row) const;
    String GetValue(int row) const;
    void SetName(int row, const String& name);
    void SetType(int row, const String& type);
    void SetValue(int row, const String& value);
    int GetFlags(int row) const;
    void SetFlags(int row, int flags);
    bool IsGroup(int row) const;
    // A word of the owner's (what a link leads to, say); 0 unless set.
    uint64_t GetData(int row) const;
    void SetData(int row, uint64_t data);
    // Whether any row carries the key mark: the list then keeps room for it before every name.
    bool HasKeyRows() const { return m_keyRows > 0; }

    // --- Structure ---
    int GetParent(int row) const;
    // 0 at the top level.
    int GetLevel(int row) const;
    int GetChildCount(int row) const;
    // The first child and the next sibling, NoRow when there is none.
    int GetFirstChild(int row) const;
    int GetNextSibling(int row) const;

    // --- Expansion ---
    // A row with no children may be expanded: its children show as they come.
    bool IsExpanded(int row) const;
    void SetExpanded(int row, bool expanded);
    void Expand(int row) { SetExpanded(row, true); }
    // Collapsing above the selected row selects the collapsed row.
    void Collapse(int row) { SetExpanded(row, false); }
    // The row and every row below it that has children expanded (NoRow: every row).
    void ExpandAll(int row = NoRow);
    // Every row collapsed, groups too; the selection goes to its top-level row.
    void CollapseAll();

    // --- Rows shown ---
    int GetVisibleRowCount();
    // The row shown at a position (0 to GetVisibleRowCount() - 1).
    int GetVisibleRow(int position);
    // The position of a row, -1 when a collapsed row above hides it.
    int GetPositionOf(int row);

    // --- Selection: one row, or all rows shown ---
    // The selected row (also while all are selected: the one the keys move from), NoRow when none.
    int GetSelectedRow() const { return m_selected; }
    // Selects only this row, expanding the rows above it; NoRow clears the selection.
    void SelectRow(int row);
    // Selects every row shown (for copying them); the selected row stays where the keys go on from.
    void SelectAll();
    bool IsAllSelected() const { return m_allSelected; }
    bool IsRowSelected(int row) const;

    // --- Copying: "Name = Value" lines (a group's line is its heading), CR LF after each ---
    // The row, and below it the rows it shows, two blanks further in per level.
    String GetCopyText(int row);
    // Every row shown, two blanks in per level below the top.
    String GetVisibleText();
    // The selected row as GetCopyText gives it; every row shown when all or none are selected.
    String GetSelectionText();

private:
    class Storage;
    void CheckRow(int row, const wchar_t* operation) const;
    // Where the row is shown when that is known without listing the rows again: -1 hidden, Unknown when not known.
    int KnownPosition(int row) const;
    // The rows shown from this position on are to be listed again.
    void Changed(int firstPosition);
    void RowChanged(int row);
    void EnsureVisible();
    void SetText(int row, int column, const String& text, const wchar_t* operation);
    void NotifySelection();

    Storage* m_storage;                              // owned
    PropertyListModelObserver* m_observer = nullptr; // not owned
    int m_keyRows = 0;
    int m_selected = NoRow;
    bool m_allSelected = false;
    uint64_t m_clearCount = 0;
    // Positions before this one are those of the last listing; from here on they are to be listed again.
    int m_staleFrom = 0x7FFFFFFF;
};

} // namespace Core::Controls
