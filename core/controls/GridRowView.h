// The rows of a GridModel as a grid shows them, without any window: their order (as added, or sorted by a column),
// the filter that shows only the rows holding a text, and the selection with its focus and anchor.
#pragma once

#include "core/controls/GridModel.h"

#include <functional>

namespace Core::Controls
{

// Told of what a window over the view must show again.
class GridRowViewObserver
{
public:
    virtual ~GridRowViewObserver() = default;
    // The rows shown from this position on may have changed (GridRowView::NoPosition: none yet, but rows came that
    // the filter has still to search); countChanged when the number of rows shown may have changed too.
    virtual void OnViewChanged(int firstPosition, bool countChanged) = 0;
    // A sort of very many rows (seconds for a million) starts, and ends.
    virtual void OnLongSortStarted() = 0;
    virtual void OnLongSortEnded() = 0;
};

// Rows are named by the index they were added with, whatever the order; a position counts the rows shown, from the
// top (0 to GetVisibleRowCount() - 1). The view is its model's observer.
class GridRowView : private GridModelObserver
{
public:
    static constexpr int NoPosition = 0x7FFFFFFF;
    // A search time that means: until every row is searched.
    static constexpr double Unlimited = 1e9;

    explicit GridRowView(GridModel& model);
    ~GridRowView() override;
    GridRowView(const GridRowView&) = delete;
    GridRowView& operator=(const GridRowView&) = delete;

    void SetObserver(GridRowViewObserver* observer) { m_observer = observer; }
    const GridModel& GetModel() const { return m_model; }

    // --- Order ---
    // Orders the rows by a column's cells: empty cells first, then numbers by value, then texts, which follow the
    // user's locale regardless of case; ties keep the order of addition. Rows added later, and rows whose cell of
    // that column changes, take their place when the view is next read.
    void Sort(int column, bool descending);
    // Back to the order of addition.
    void ClearSort();
    int GetSortColumn() const { return m_sortColumn; }
    bool IsSortDescending() const { return m_sortDescending; }

    // --- Positions ---
    // The rows shown: all without a filter; with one, those that pass (while a search is under way, those found so
    // far, or for a longer text those not yet ruled out).
    int GetVisibleRowCount() const;
    // The row shown at a position.
    int GetRowAt(int position);
    // The position of a row, -1 for a row the filter hides.
    int GetPositionOf(int row);
    // Puts the rows added since in the order, and leaves those a filter has not looked at to its search.
    void Update();

    // --- Filter ---
    // Shows only the rows with a cell that holds the text, regardless of case (ordinally: every UTF-16 unit
    // compared in upper case, the same in every culture); an empty text shows every row again. A text that holds
    // the last one searches only what that found; a text searched before takes its result again while no row it
    // searched has changed. Searches for at most about the seconds given; ContinueFilter goes on. Returns false
    // when the text is the one already set.
    bool SetFilterText(const String& text, double seconds = Unlimited);
    const String& GetFilterText() const { return m_filterText; }
    bool IsFiltered() const { return !m_filterText.IsEmpty(); }
    // Whether rows are still to be searched (rows added since the filter last looked included).
    bool IsFilterPending() const;
    // Searches the rows still to be searched, rows added since included, for at most about the seconds given.
    void ContinueFilter(double seconds = Unlimited);
    // Whether the row is shown (not hidden by the filter).
    bool IsRowVisible(int row) const;
    // Unselects the rows the filter hides, and takes the focus from a hidden row; true if either changed.
    bool DropHiddenSelection();
    // What rows show beyond their cells' own texts (a grid's cell formatter): a row also passes the filter when
    // matches finds the text in what it shows. Setting it drops the kept searches and searches the rows again from
    // the start (ContinueFilter goes on); null: the cells' own texts alone.
    using ShownMatcher = std::function<bool(int row, const TextFinder& finder)>;
    void SetShownMatcher(ShownMatcher matches);

    // --- Selection (rows as added) ---
    // The row with the keyboard focus, -1 when none.
    int GetFocusRow() const { return m_focusRow; }
    bool IsRowSelected(int row) const;
    int GetSelectedRowCount() const;
    // Selects only this row and gives it the focus; -1 clears the selection.
    void SelectRow(int row);
    // Selects every row shown.
    void SelectAll();
    void ClearSelection();
    // Selects or unselects the row (a Ctrl+click), which takes the focus and the anchor.
    void ToggleRow(int row);
    // Selects or unselects the focused row (Ctrl+Space), which becomes the anchor.
    void ToggleFocusRow();
    // Moves the focus to the row at the position, kept within the rows shown. extend (Shift): selects the rows from
    // the anchor's position to it, with keep (Ctrl) added to the selection, else instead of it; keep alone: moves
    // the focus only; neither: selects only that row, which becomes the anchor. Returns the row, -1 when none is
    // shown.
    int MoveFocus(int position, bool extend, bool keep);

private:
    class State;

    // --- GridModelObserver ---
    void OnRowsAdded(int firstRow, int count) override;
    void OnCellChanged(int row, int column) override;
    void OnModelReset() override;

    void Notify(int firstPosition, bool countChanged);
    void EnsureOrder();
    // Update, and the rows shown rebuilt when they changed.
    void EnsureShown();
    // The row at a position, after EnsureShown.
    int RowAt(int position) const;
    void SortAll();
    void MergeNewRows();
    int CompareRows(int a, int b);
    void Search(double seconds);
    // Whether the row holds the filter's text in a cell or in what it shows.
    bool RowPasses(int row, const TextFinder& finder) const;

    GridModel& m_model;                        // not owned
    GridRowViewObserver* m_observer = nullptr; // not owned
    State* m_state;                            // owned: the order, the filter's rows and the selection
    int m_sortColumn = -1;
    bool m_sortDescending = false;
    String m_filterText;
    ShownMatcher m_shownMatcher;
    int m_focusRow = -1;
    int m_anchorRow = -1;
};

} // namespace Core::Controls
