// A self-drawn grid of text cells for very many rows: a header with resizable, sortable columns,
// rows selected singly or several at a time, copying as tab-separated text. Rows keep the index they
// were added with; sorting changes only the order in which they are shown, a filter only which are shown.
// Painting, scrolling and hit-testing look at the visible rows only, and changes are shown in one repaint
// per turn of the message loop (or, with live refresh off, a few times a second), never per row.
#pragma once

#include "core/collections/PointerArrayList.h"
#include "core/controls/GridModel.h"
#include "core/controls/GridRowView.h"
#include "core/controls/ScrollableControl.h"

#include <functional>

namespace Core::Controls
{

class Grid;
namespace Internal
{
struct CellBuffer;
}

class GridColumn : public Object
{
public:
    // Width in pixels at 96 DPI.
    int GetWidth() const { return m_width; }
    void SetWidth(int width);
    const String& GetHeaderText() const { return m_headerText; }
    void SetHeaderText(const String& text);

private:
    friend class GridColumnCollection;
    GridColumn(Grid* grid, int width) : m_grid(grid), m_width(width) {}

    Grid* m_grid; // not owned: the grid that holds the column
    int m_width;
    String m_headerText;
};

class GridColumnCollection
{
public:
    explicit GridColumnCollection(Grid* grid) : m_grid(grid) {}

    // Appends a column of the width (pixels at 96 DPI); returns its index.
    int Add(int width = 100);
    int Add(const String& headerText, int width);
    // Removes every column and with them every cell (the rows stay).
    void Clear();
    int GetCount() const { return m_columns.GetCount(); }
    GridColumn& operator[](int index);

private:
    Grid* m_grid; // not owned
    Collections::PointerArrayList<GridColumn> m_columns;
};

class GridRowCollection
{
public:
    explicit GridRowCollection(Grid* grid) : m_grid(grid) {}

    // Appends an empty row; returns its index, which stays the row's index whatever the sort order.
    int Add();
    // Appends count empty rows; returns the index of the first.
    int AddRange(int count);
    void Clear();
    int GetCount() const;

private:
    Grid* m_grid; // not owned
};

class Grid : public ScrollableControl, private GridRowViewObserver
{
public:
    Grid();
    ~Grid() override;

    GridColumnCollection& GetColumns() { return m_columns; }
    GridRowCollection& GetRows() { return m_rowCollection; }
    GridModel& GetModel() { return m_model; }

    void SetHeaderText(int column, const String& text);
    const String& GetHeaderText(int column);
    void SetColumnWidth(int column, int width);
    int GetColumnWidth(int column);
    // Fits the column to its header and texts (all rows of a grid up to 20,000 rows; of larger ones, the
    // rows around the visible ones).
    void AutoSizeColumn(int column);

    void SetCellText(int row, int column, const String& text);
    String GetCellText(int row, int column) const;

    // What a cell shows in place of its own text (a coded value with its name): given the row (as added), the
    // column and the cell's text, it puts the text to show into shown and returns true, or returns false for the
    // cell's own text. Painting, copying, fitting a column and screen readers ask it for the cells they take only,
    // so it costs what the cells in view cost. The filter finds a row by its cells' texts or by what they show
    // (asking it for the rows the cells' own texts do not match); sorting goes by the cells' own texts. Setting it
    // repaints, and a filter set searches again.
    using CellFormatter = std::function<bool(int row, int column, const wchar_t* text, int length, String& shown)>;
    void SetCellFormatter(CellFormatter formatter);
    bool HasCellFormatter() const { return static_cast<bool>(m_formatter); }
    // The text the cell shows: the formatter's, or its own.
    String GetShownText(int row, int column) const;

    // On: changes show at the next turn of the message loop. Off (during a long load): at most a few
    // times a second. Switching it on shows what is pending at once.
    void SetLiveRefresh(bool liveRefresh);
    bool GetLiveRefresh() const { return m_liveRefresh; }

    // --- Selection (row indexes as added) ---
    // The row with the keyboard focus, -1 when none.
    int GetSelectedRow() const { return m_view.GetFocusRow(); }
    bool IsRowSelected(int row) const;
    int GetSelectedRowCount() const;
    // Selects only this row and gives it the focus; -1 clears the selection.
    void SelectRow(int row);
    // Selects every row shown.
    void SelectAll();
    void ClearSelection();

    // --- Order ---
    // Shows the rows ordered by a column's cells: numbers by value, before texts, which follow the
    // user's locale; ties keep the order of addition.
    void Sort(int column, bool descending);
    void ClearSort();
    int GetSortColumn() const { return m_view.GetSortColumn(); }
    bool IsSortDescending() const { return m_view.IsSortDescending(); }
    // The row shown at a position from the top (0 to GetVisibleRowCount() - 1), and the position of a row
    // (-1 for a row the filter hides).
    int GetRowAtViewIndex(int viewIndex);
    int GetViewIndexOfRow(int row);

    // --- Filter ---
    // Shows only the rows with a cell that holds the text, regardless of case (ordinally: every UTF-16 unit
    // compared in upper case, the same in every culture); an empty text shows every row again. A text that
    // holds the last one searches only what that found; a text searched before (deleting back to it) takes its
    // result again while no row it searched has changed. The search takes at most about 60 ms before this
    // returns; what is left goes on in slices between the user's input and painting, the rows found so far shown
    // meanwhile, and a new text replaces a search under way. Rows added later show once their cells are set and pass.
    // When the search is done, selected rows the filter hides are no longer selected.
    void SetFilterText(const String& text);
    const String& GetFilterText() const { return m_view.GetFilterText(); }
    bool IsFiltered() const { return m_view.IsFiltered(); }
    // Whether rows are still to be searched (the count shown may still change).
    bool IsFilterPending() const;
    // Searches every row left now.
    void FinishFilter();
    // The rows shown: all without a filter; with one, those that pass (while a search is under way, those found
    // so far, or for a longer text those not yet ruled out).
    int GetVisibleRowCount() const;
    int GetRowCount() const { return m_model.GetRowCount(); }
    // Whether the row is shown (not hidden by the filter).
    bool IsRowVisible(int row) const;

    // The header line and the selected rows that are shown, in the order shown, as tab-separated lines.
    String GetSelectionText();
    // Puts GetSelectionText on the clipboard.
    void CopySelection();

    // --- Geometry, in client pixels ---
    int GetRowHeight();
    int GetHeaderHeight();
    // The row under a point of the client area, or -1.
    int GetRowAt(const Point& point);
    // The column whose header or cells are under a point, or -1.
    int GetColumnAt(const Point& point);
    // The client rectangle of a row (at its place in the order), whether scrolled into view or not; empty for a
    // row the filter hides.
    Rectangle GetRowBounds(int row);
    // The client x of a column's right edge.
    int GetColumnRight(int column);
    // Scrolls so that the row is in view.
    void EnsureVisible(int row);

    // Raised when the user changes the selection, or the filter hides selected rows.
    Event<EventArgs> SelectionChanged;
    // Raised (at most once per refresh or slice of a filter's search) when GetVisibleRowCount or IsFilterPending
    // changed: for a caller that shows "N of M records".
    Event<EventArgs> VisibleRowCountChanged;

protected:
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnScroll(const Point& oldPosition, const Point& newPosition) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseDoubleClick(const Point& point, int button, int keys) override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;
    bool OnKeyDown(int keyData) override;
    bool IsInputKey(int keyData) const override;
    void OnTimer(int id) override;
    void OnFontChanged() override;
    void OnDpiChanged(int oldDpi, int newDpi) override;
    void OnUpdatesEnabledChanged() override;
    Color GetDefaultBackColor() const override;
    AccessibleObject* CreateAccessibilityObject() override;

private:
    friend class GridColumn;
    friend class GridColumnCollection;
    friend class GridRowCollection;

    // --- GridRowViewObserver ---
    void OnViewChanged(int firstPosition, bool countChanged) override;
    void OnLongSortStarted() override;
    void OnLongSortEnded() override;

    void ColumnsChanged();
    void CheckColumn(int column, const wchar_t* operation) const;
    // Marks the rows from this position of the order on as needing a repaint and schedules it.
    void MarkDirtyFrom(int viewIndex);
    void ScheduleRefresh();
    // Brings the order and the scroll range up to date and repaints what changed.
    void ApplyPendingChanges();
    // Brings the order and the scroll range up to date.
    void Settle();
    // Brings the order and the filter's shown rows up to date; without a window, finishes the filter's search.
    void EnsureView();
    // The number of rows shown, after EnsureView.
    int ViewCount();
    // The position of a row (-1 for -1 and for a row the filter hides), after EnsureView.
    int RowToView(int row);
    void UpdateMetrics();
    int ContentWidth();
    // The column whose right edge is within reach of the client x, or -1.
    int HitColumnEdge(int x);
    // Selection by the user, in positions of the order.
    void MoveFocus(int viewIndex, int keys);
    void ClickRow(int row, int keys);
    void RaiseSelectionChanged();
    // Tells screen readers of the focused row (GridAccessibility.cpp).
    void NotifyAccessibleSelection();
    // Tells screen readers that the table holds other rows now.
    void NotifyAccessibleReorder();
    void InvalidateRow(int row);
    void PaintHeader(Graphics& graphics, const Rectangle& clip);
    void PaintRows(Graphics& graphics, const Rectangle& clip);
    // --- Filter ---
    // After the filter's text changed: scroll position, selection, repaint, event.
    void FilterTextApplied();
    // Runs the timer that goes on with the filter's search while rows are left to search.
    void UpdateFilterTimer();
    void StartFilterTimer();
    void StopFilterTimer();
    void OnFilterTimer();
    // Unselects the rows the filter hides (once its search is done).
    void DropHiddenSelection();
    void ReportVisibleRowCount();

    // The cell's text as shown, from cell (read already) into shown; the characters to draw.
    const wchar_t* ShownText(int row, int column, const Internal::CellBuffer& cell, String& shown, int& length) const;
    // Whether a cell of the row shows the finder's text by the formatter.
    bool ShowsText(int row, const TextFinder& finder) const;

    GridModel m_model;
    CellFormatter m_formatter;
    // The order, the filter and the selection: the model's observer, which tells the grid what to show again.
    GridRowView m_view;
    GridColumnCollection m_columns;
    GridRowCollection m_rowCollection;
    bool m_liveRefresh = true;
    bool m_filterTimerRunning = false;
    // What VisibleRowCountChanged told last.
    int m_reportedCount = -1;
    bool m_reportedPending = false;
    // Pending work: the first position of the order to repaint, the scroll range, a posted refresh.
    int m_dirtyFrom = 0x7FFFFFFF;
    bool m_scrollDirty = true;
    bool m_refreshPosted = false;
    bool m_timerRunning = false;
    // Header interaction.
    int m_resizeColumn = -1;
    int m_resizeStartX = 0;
    int m_resizeStartWidth = 0;
    int m_pressedHeader = -1;
    int m_hotHeader = -1;
    bool m_selecting = false;
    // The cursor before a long sort's wait cursor.
    void* m_sortCursor = nullptr;
    // Metrics in device pixels for m_metricsDpi.
    int m_rowHeight = 0;
    int m_headerHeight = 0;
    int m_metricsDpi = 0;
};

} // namespace Core::Controls
