// A self-drawn sheet of one object's properties: rows of name, type and value in three columns under a header
// whose edges resize them, as a tree whose rows open into rows of their own (array elements, an embedded
// object's properties), with group headings, key marks, links and dimmed special values. The rows live in a
// PropertyListModel; painting, hit-testing and the keys work over its rows shown from the scroll position on, so
// that 100,000 rows cost what a screenful costs.
#pragma once

#include "core/controls/PropertyListModel.h"
#include "core/controls/ScrollableControl.h"

namespace Core::Controls
{

class ToolTip;

class PropertyListEventArgs : public EventArgs
{
public:
    explicit PropertyListEventArgs(int row) : m_row(row) {}
    // The row as added to the model; PropertyListModel::NoRow for none.
    int GetRow() const { return m_row; }

private:
    int m_row;
};

namespace PropertyListColumn
{
constexpr int Name = 0;
constexpr int Type = 1;
constexpr int Value = 2;
constexpr int Count = 3;
} // namespace PropertyListColumn

// Where a point of the client area falls.
enum class PropertyListHitArea
{
    None,       // below the last row, or outside the rows
    Header,     // a column header
    HeaderEdge, // the edge between two headers, which resizes the column on its left
    Indent,     // left of the glyph
    Glyph,      // the expansion glyph
    Mark,       // the key mark
    Name,
    Type,
    Value,
    Link // the text of a link value
};

class PropertyList : public ScrollableControl, private PropertyListModelObserver
{
public:
    PropertyList();
    ~PropertyList() override;

    PropertyListModel& GetModel() { return m_model; }

    // --- Columns ---
    // "Name", "Type" and "Value" unless set.
    void SetColumnHeader(int column, const String& text);
    const String& GetColumnHeader(int column) const;
    // Pixels at 96 DPI. The value column takes the room the others leave, at least its own width.
    void SetColumnWidth(int column, int width);
    int GetColumnWidth(int column) const;
    // Fits a column to its header and the texts of the rows shown (all of them up to 20,000 rows; of more, those
    // around the view); for the value column, the width it keeps at least. A double click on a header edge fits the
    // column on its left.
    void AutoSizeColumn(int column);

    // --- Selection: one row, or every row shown for copying ---
    int GetSelectedRow() const { return m_model.GetSelectedRow(); }
    // Selects the row (NoRow: none), opening the rows above it, and scrolls it into view.
    void SelectRow(int row);
    void SelectAll();
    // Puts the selection's "Name = Value" lines on the clipboard: the selected row with the rows it shows, or
    // every row shown when all or none are selected.
    void CopySelection();
    // Raises LinkActivated for a row whose value is a link, as a click on it does.
    bool ActivateLink(int row);
    // Opens a closed row or closes an open one as the user does, telling screen readers; false for a row without
    // children.
    bool ToggleRow(int row);

    // --- Geometry, in client pixels ---
    int GetRowHeight();
    int GetHeaderHeight();
    // The row under a point, or NoRow.
    int GetRowAt(const Point& point);
    PropertyListHitArea HitTest(const Point& point, int* row);
    // The client rectangle of a row shown, whether scrolled into view or not; empty for a hidden row.
    Rectangle GetRowBounds(int row);
    // A part of a row shown: Glyph, Mark, Name, Type, Value (the cells; a group's name spans them) or Link (the
    // link's text); empty when the row has no such part.
    Rectangle GetPartBounds(int row, PropertyListHitArea part);
    // The client x of a column's right edge.
    int GetColumnRight(int column);
    void EnsureVisible(int row);

    // The tip that shows a cut text whole, made when first needed; null before.
    const ToolTip* GetCellTip() const { return m_tip; }

    // Raised whenever the selection changes, by the user or by code.
    Event<EventArgs> SelectionChanged;
    // A link value was clicked, or Enter pressed on it.
    Event<PropertyListEventArgs> LinkActivated;
    // Raised before the context menu (SetContextMenu) shows, for the selected row (a right click selects the row
    // under it first), so that its owner can set the menu's items for it.
    Event<PropertyListEventArgs> ContextMenuRequested;

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
    bool OnKeyPress(wchar_t character) override;
    bool IsInputKey(int keyData) const override;
    void OnContextMenuRequested(const Point& screenPoint) override;
    void OnFontChanged() override;
    void OnDpiChanged(int oldDpi, int newDpi) override;
    Color GetDefaultBackColor() const override;
    AccessibleObject* CreateAccessibilityObject() override;

private:
    class FontSet;
    // A row's parts from left to right, in content coordinates.
    struct RowLayout
    {
        int glyph;
        int mark;  // -1 without a mark
        int name;  // where the name's text starts
        int type;  // the type column's left edge
        int value; // the value column's left edge
        int right; // the value column's right edge
    };

    // --- PropertyListModelObserver ---
    void OnRowsChanged(int firstPosition) override;
    void OnRowChanged(int position) override;
    void OnSelectionChanged() override;

    void CheckColumn(int column, const wchar_t* operation) const;
    // Brings the scroll range up to date.
    void Settle();
    void UpdateMetrics();
    int ContentWidth() const;
    int ValueRight() const;
    RowLayout GetLayout(int row);
    int HitColumnEdge(int x);
    Rectangle PositionBounds(int position);
    int RowsPerPage();
    // Selection by the user, by position among the rows shown.
    void MoveTo(int position);
    void CollapseOrMoveToParent();
    void ExpandOrMoveToChild();
    void DropCharacter();
    // Tell screen readers of the selected row, and of a row opened or closed (PropertyListAccessibility.cpp).
    void NotifyAccessibleSelection();
    void NotifyAccessibleExpansion(int row);
    // The width of a value's text in its font.
    int MeasureValue(int row, const String& value);
    // Shows the whole text of a cut cell under the mouse, or hides the tip.
    void UpdateTip(const Point& point);
    void HideTip();
    void PaintHeader(Graphics& graphics, const Rectangle& clip);
    void PaintRow(Graphics& graphics, int row, int y);
    void PaintKeyMark(Graphics& graphics, const Rectangle& box, Color color);

    PropertyListModel m_model;
    String m_headers[PropertyListColumn::Count];
    int m_widths[PropertyListColumn::Count];
    FontSet* m_fonts;         // owned
    ToolTip* m_tip = nullptr; // owned, made when first needed
    int m_tipRow = PropertyListModel::NoRow;
    int m_tipColumn = -1;
    // The first position painted again since the last paint, and whether the scroll range is to be set again.
    int m_dirtyFrom = 0x7FFFFFFF;
    bool m_scrollDirty = true;
    bool m_refreshPosted = false;
    // The selection last shown, so that a change repaints the row it leaves; whether names made room for key marks.
    int m_shownSelection = PropertyListModel::NoRow;
    bool m_shownAll = false;
    bool m_paintedMarks = false;
    // Mouse interaction.
    int m_resizeColumn = -1;
    int m_resizeStartX = 0;
    int m_resizeStartWidth = 0;
    int m_pressedLink = PropertyListModel::NoRow;
    // Metrics in device pixels for m_metricsDpi.
    int m_rowHeight = 0;
    int m_headerHeight = 0;
    int m_metricsDpi = 0;
};

} // namespace Core::Controls
