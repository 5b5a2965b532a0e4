// Places its children in a grid of rows and columns. Each row and column is either an absolute size
// (pixels at 96 DPI) or a percentage of the space the absolute ones leave; a child takes a cell or a
// span of cells, less its margin.
#pragma once

#include "core/collections/ArrayList.h"
#include "core/controls/Control.h"

namespace Core::Controls
{

enum class SizeType
{
    Absolute,
    Percent
};

class TableLayout : public Control
{
public:
    TableLayout();
    ~TableLayout() override;

    void AddColumn(SizeType type, int value);
    void AddRow(SizeType type, int value);
    // Gives the row at index another size and lays out again: a row whose content comes and goes.
    void SetRow(int index, SizeType type, int value);
    int GetColumnCount() const { return m_columns.GetCount(); }
    int GetRowCount() const { return m_rows.GetCount(); }

    // Puts the control into the cell (adding it to the children if needed) and lays out again.
    void SetCell(Control* control, int row, int column, int rowSpan = 1, int columnSpan = 1);
    void Add(Control* control, int row, int column, int rowSpan = 1, int columnSpan = 1)
    {
        SetCell(control, row, column, rowSpan, columnSpan);
    }
    // The rectangle of a cell span in this control's client area, in device pixels.
    Rectangle GetCellBounds(int row, int column, int rowSpan = 1, int columnSpan = 1) const;

protected:
    void OnLayout() override;

private:
    struct Definition
    {
        SizeType type = SizeType::Absolute;
        int value = 0;
    };
    struct Cell
    {
        Control* control = nullptr; // not owned
        int row = 0;
        int column = 0;
        int rowSpan = 1;
        int columnSpan = 1;
    };
    // The start of each track and the end of the last (count + 1 edges) over the given length.
    static void ComputeEdges(const Collections::ArrayList<Definition>& definitions, int start, int length, int dpi,
                             Collections::ArrayList<int>& edges);
    void OnChildRemoving(Object* sender, Collections::CollectionEventArgs& args);

    Collections::ArrayList<Definition> m_columns;
    Collections::ArrayList<Definition> m_rows;
    Collections::ArrayList<Cell> m_cells;
    MemberEventHandler<TableLayout, Collections::CollectionEventArgs> m_removingHandler;
};

} // namespace Core::Controls
