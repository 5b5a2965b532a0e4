#include "core/controls/TableLayout.h"

#include "core/Exception.h"
#include "core/controls/Theme.h"

namespace Core::Controls
{

TableLayout::TableLayout() : m_removingHandler(this, &TableLayout::OnChildRemoving)
{
    SetClassName(String(L"Core.Controls.TableLayout"));
    GetControls().Removing.Subscribe(&m_removingHandler);
}

TableLayout::~TableLayout()
{
    GetControls().Removing.Unsubscribe(&m_removingHandler);
}

void TableLayout::AddColumn(SizeType type, int value)
{
    if (value < 0)
    {
        throw ArgumentOutOfRangeException(value, String(L"TableLayout.AddColumn method - size cannot be negative"));
    }
    m_columns.Add(Definition{type, value});
    PerformLayout();
}

void TableLayout::AddRow(SizeType type, int value)
{
    if (value < 0)
    {
        throw ArgumentOutOfRangeException(value, String(L"TableLayout.AddRow method - size cannot be negative"));
    }
    m_rows.Add(Definition{type, value});
    PerformLayout();
}

void TableLayout::SetRow(int index, SizeType type, int value)
{
    if (index < 0 || index >= m_rows.GetCount())
    {
        throw ArgumentOutOfRangeException(index, String(L"TableLayout.SetRow method - index out of range"));
    }
    if (value < 0)
    {
        throw ArgumentOutOfRangeException(value, String(L"TableLayout.SetRow method - size cannot be negative"));
    }
    m_rows[index] = Definition{type, value};
    PerformLayout();
}

void TableLayout::SetCell(Control* control, int row, int column, int rowSpan, int columnSpan)
{
    if (control == nullptr)
    {
        throw ArgumentNullException(String(L"control"));
    }
    if (row < 0 || column < 0 || rowSpan < 1 || columnSpan < 1)
    {
        throw ArgumentOutOfRangeException(row < 0       ? row
                                          : column < 0  ? column
                                          : rowSpan < 1 ? rowSpan
                                                        : columnSpan,
                                          String(L"TableLayout.SetCell method - cell out of range"));
    }
    Cell cell{control, row, column, rowSpan, columnSpan};
    bool known = false;
    for (int i = 0; i < m_cells.GetCount(); i++)
    {
        if (m_cells[i].control == control)
        {
            m_cells[i] = cell;
            known = true;
        }
    }
    if (!known)
    {
        m_cells.Add(cell);
    }
    if (control->GetParent() != this)
    {
        GetControls().Add(control);
    }
    PerformLayout();
}

void TableLayout::OnChildRemoving(Object*, Collections::CollectionEventArgs& args)
{
    Control* leaving = GetControls()[args.GetIndex()];
    for (int i = m_cells.GetCount() - 1; i >= 0; i--)
    {
        if (m_cells[i].control == leaving)
        {
            m_cells.RemoveAt(i);
        }
    }
}

void TableLayout::ComputeEdges(const Collections::ArrayList<Definition>& definitions, int start, int length, int dpi,
                               Collections::ArrayList<int>& edges)
{
    int absolute = 0;
    int percent = 0;
    for (int i = 0; i < definitions.GetCount(); i++)
    {
        if (definitions[i].type == SizeType::Absolute)
        {
            absolute += Theme::Scale(definitions[i].value, dpi);
        }
        else
        {
            percent += definitions[i].value;
        }
    }
    int remaining = length - absolute > 0 ? length - absolute : 0;
    // Percentages are of the remaining space; more than 100 in all share it in proportion.
    int whole = percent > 100 ? percent : 100;
    int position = start;
    int percentSoFar = 0;
    int givenSoFar = 0;
    edges.Add(position);
    for (int i = 0; i < definitions.GetCount(); i++)
    {
        if (definitions[i].type == SizeType::Absolute)
        {
            position += Theme::Scale(definitions[i].value, dpi);
        }
        else
        {
            // Rounded on the running total, so the tracks fill their share without a gap.
            percentSoFar += definitions[i].value;
            int target = static_cast<int>((static_cast<long long>(remaining) * percentSoFar + whole / 2) / whole);
            position += target - givenSoFar;
            givenSoFar = target;
        }
        edges.Add(position);
    }
}

Rectangle TableLayout::GetCellBounds(int row, int column, int rowSpan, int columnSpan) const
{
    Rectangle area = GetDisplayRectangle();
    Collections::ArrayList<int> x;
    Collections::ArrayList<int> y;
    ComputeEdges(m_columns, area.left, area.width, GetDpi(), x);
    ComputeEdges(m_rows, area.top, area.height, GetDpi(), y);
    auto clamp = [](int value, int high) { return value < 0 ? 0 : value > high ? high : value; };
    int left = clamp(column, m_columns.GetCount());
    int right = clamp(column + columnSpan, m_columns.GetCount());
    int top = clamp(row, m_rows.GetCount());
    int bottom = clamp(row + rowSpan, m_rows.GetCount());
    return Rectangle{x[left], y[top], x[right] - x[left], y[bottom] - y[top]};
}

void TableLayout::OnLayout()
{
    Rectangle area = GetDisplayRectangle();
    Collections::ArrayList<int> x;
    Collections::ArrayList<int> y;
    ComputeEdges(m_columns, area.left, area.width, GetDpi(), x);
    ComputeEdges(m_rows, area.top, area.height, GetDpi(), y);
    auto clamp = [](int value, int high) { return value < 0 ? 0 : value > high ? high : value; };
    for (int i = 0; i < m_cells.GetCount(); i++)
    {
        const Cell& cell = m_cells[i];
        int left = clamp(cell.column, m_columns.GetCount());
        int right = clamp(cell.column + cell.columnSpan, m_columns.GetCount());
        int top = clamp(cell.row, m_rows.GetCount());
        int bottom = clamp(cell.row + cell.rowSpan, m_rows.GetCount());
        const Padding& margin = cell.control->GetMargin();
        Rectangle place{x[left] + Scale(margin.left), y[top] + Scale(margin.top),
                        x[right] - x[left] - Scale(margin.left) - Scale(margin.right),
                        y[bottom] - y[top] - Scale(margin.top) - Scale(margin.bottom)};
        place.width = place.width < 0 ? 0 : place.width;
        place.height = place.height < 0 ? 0 : place.height;
        cell.control->SetDeviceBounds(place);
    }
    LayoutDockedChildren(area);
}

} // namespace Core::Controls
