#include "core/controls/PropertyList.h"

#include "core/Exception.h"
#include "core/controls/GdiHandles.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolTip.h"

#include <cstring>
#include <windows.h>

namespace Core::Controls
{

namespace
{

constexpr int NoRow = PropertyListModel::NoRow;
constexpr int NoPosition = 0x7FFFFFFF;
constexpr unsigned int RefreshMessage = WM_APP + 0x48;
constexpr int MinimumColumnWidth = 16;
// At 96 DPI: the indent per level, the glyph's and the key mark's slots, the room inside a cell.
constexpr int Indent = 16;
constexpr int GlyphWidth = 16;
constexpr int MarkWidth = 17;
constexpr int CellPadding = 6;
constexpr int AutoSizeAllRowsLimit = 20000;
constexpr int AutoSizeAroundView = 1000;
constexpr int TextFlags = TextFormat::SingleLine | TextFormat::VerticalCenter | TextFormat::NoPrefix;
constexpr int CutTextFlags = TextFlags | TextFormat::EndEllipsis;

} // namespace

// The control's font in the looks a row needs: bold headings, underlined links, slanted special values; made again
// when the control's font is another (its own set, the system's changed, another DPI).
class PropertyList::FontSet
{
public:
    void Update(FontHandle base)
    {
        LOGFONTW font = {};
        GetObjectW(static_cast<HFONT>(base), sizeof(font), &font);
        if (m_made && std::memcmp(&font, &m_base, sizeof(font)) == 0)
        {
            return;
        }
        m_base = font;
        m_made = true;
        LOGFONTW variant = font;
        variant.lfWeight = FW_BOLD;
        bold.Reset(CreateFontIndirectW(&variant));
        variant = font;
        variant.lfUnderline = TRUE;
        link.Reset(CreateFontIndirectW(&variant));
        variant = font;
        variant.lfItalic = TRUE;
        special.Reset(CreateFontIndirectW(&variant));
    }

    GdiObject<HFONT> bold;
    GdiObject<HFONT> link;
    GdiObject<HFONT> special;

private:
    LOGFONTW m_base = {};
    bool m_made = false;
};

PropertyList::PropertyList() : m_widths{180, 90, 160}, m_fonts(new FontSet())
{
    SetClassName(String(L"Core.Controls.PropertyList"));
    UseOwnScrollBars();
    SetTabStop(true);
    m_headers[PropertyListColumn::Name] = String(L"Name");
    m_headers[PropertyListColumn::Type] = String(L"Type");
    m_headers[PropertyListColumn::Value] = String(L"Value");
    m_model.SetObserver(this);
}

PropertyList::~PropertyList()
{
    m_model.SetObserver(nullptr);
    delete m_tip;
    delete m_fonts;
}

Color PropertyList::GetDefaultBackColor() const
{
    return Theme::Window();
}

// --- Columns ---

void PropertyList::CheckColumn(int column, const wchar_t* operation) const
{
    if (column < 0 || column >= PropertyListColumn::Count)
    {
        throw ArgumentOutOfRangeException(column, String(operation) + L" - column index out of range");
    }
}

void PropertyList::SetColumnHeader(int column, const String& text)
{
    CheckColumn(column, L"PropertyList.SetColumnHeader method");
    m_headers[column] = text;
    Invalidate();
}

const String& PropertyList::GetColumnHeader(int column) const
{
    CheckColumn(column, L"PropertyList.GetColumnHeader method");
    return m_headers[column];
}

void PropertyList::SetColumnWidth(int column, int width)
{
    CheckColumn(column, L"PropertyList.SetColumnWidth method");
    m_widths[column] = width < MinimumColumnWidth ? MinimumColumnWidth : width;
    m_scrollDirty = true;
    Invalidate();
}

int PropertyList::GetColumnWidth(int column) const
{
    CheckColumn(column, L"PropertyList.GetColumnWidth method");
    return m_widths[column];
}

void PropertyList::AutoSizeColumn(int column)
{
    CheckColumn(column, L"PropertyList.AutoSizeColumn method");
    Settle();
    m_fonts->Update(GetFontHandle());
    int padding = Scale(CellPadding);
    int widest = MeasureText(m_headers[column], GetFontHandle(), TextFlags).width + 2 * padding;
    int count = m_model.GetVisibleRowCount();
    int first = 0;
    int last = count - 1;
    if (count > AutoSizeAllRowsLimit)
    {
        int top = GetScrollPosition().y / GetRowHeight();
        first = top - AutoSizeAroundView < 0 ? 0 : top - AutoSizeAroundView;
        last = top + AutoSizeAroundView >= count ? count - 1 : top + AutoSizeAroundView;
    }
    for (int position = first; position <= last; position++)
    {
        int row = m_model.GetVisibleRow(position);
        if (m_model.IsGroup(row))
        {
            // A heading spans the columns: it needs none of them.
            continue;
        }
        int width =
            column == PropertyListColumn::Name
                ? GetLayout(row).name + MeasureText(m_model.GetName(row), GetFontHandle(), TextFlags).width + padding
            : column == PropertyListColumn::Type
                ? MeasureText(m_model.GetType(row), GetFontHandle(), TextFlags).width + 2 * padding
                : MeasureValue(row, m_model.GetValue(row)) + 2 * padding;
        widest = width > widest ? width : widest;
    }
    SetColumnWidth(column, Unscale(widest) + 1);
}

// --- What the model tells ---

void PropertyList::OnRowsChanged(int firstPosition)
{
    m_scrollDirty = true;
    if (m_handle == nullptr)
    {
        return;
    }
    if (!m_refreshPosted)
    {
        // The scroll range follows at the next turn of the message loop, also when nothing in view changed.
        m_refreshPosted = PostMessageW(m_handle, RefreshMessage, 0, 0) != FALSE;
    }
    // Told once per position until the next paint: filling thousands of rows asks the window system once.
    if (firstPosition >= m_dirtyFrom)
    {
        return;
    }
    m_dirtyFrom = firstPosition;
    Rectangle viewport = GetViewportRectangle();
    long long top = GetHeaderHeight() + static_cast<long long>(firstPosition) * GetRowHeight() - GetScrollPosition().y;
    top = top < GetHeaderHeight() ? GetHeaderHeight() : top;
    if (top < viewport.height)
    {
        Invalidate(Rectangle{0, static_cast<int>(top), viewport.width, viewport.height - static_cast<int>(top)});
    }
}

void PropertyList::OnRowChanged(int position)
{
    if (m_handle != nullptr && position < m_dirtyFrom)
    {
        Invalidate(PositionBounds(position));
    }
}

void PropertyList::OnSelectionChanged()
{
    if (m_handle != nullptr)
    {
        if (m_shownAll || m_model.IsAllSelected())
        {
            Invalidate();
        }
        else
        {
            for (int row : {m_shownSelection, m_model.GetSelectedRow()})
            {
                // A row of the rows before a Clear is gone, and the whole list repaints anyway.
                if (row != NoRow && row < m_model.GetRowCount() && m_model.GetPositionOf(row) >= 0)
                {
                    Invalidate(PositionBounds(m_model.GetPositionOf(row)));
                }
            }
        }
    }
    m_shownSelection = m_model.GetSelectedRow();
    m_shownAll = m_model.IsAllSelected();
    NotifyAccessibleSelection();
    EventArgs args;
    SelectionChanged.Raise(this, args);
}

// --- Window ---

intptr_t PropertyList::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case RefreshMessage:
        m_refreshPosted = false;
        Settle();
        return 0;
    case WM_PAINT:
        // Before BeginPaint: the scroll range may show or hide a bar.
        Settle();
        m_dirtyFrom = NoPosition;
        break;
    case WM_CREATE:
    {
        intptr_t result = ScrollableControl::WndProc(message, wParam, lParam);
        m_refreshPosted = false;
        m_scrollDirty = true;
        Settle();
        return result;
    }
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == m_handle && static_cast<short>(LOWORD(lParam)) == -1 &&
            static_cast<short>(HIWORD(lParam)) == -1)
        {
            // From the keyboard: below the selected row's name, as the system's lists place it.
            int row = GetSelectedRow();
            Rectangle bounds = row != NoRow ? GetPartBounds(row, PropertyListHitArea::Name) : Rectangle{};
            Rectangle viewport = GetViewportRectangle();
            POINT point = {Scale(4), GetHeaderHeight() + Scale(4)};
            if (!bounds.IsEmpty() && bounds.top >= GetHeaderHeight() && bounds.GetBottom() <= viewport.height)
            {
                point = POINT{bounds.left < 0 ? Scale(4) : bounds.left + Scale(4), bounds.GetBottom()};
            }
            ClientToScreen(m_handle, &point);
            OnContextMenuRequested(Point{point.x, point.y});
            return 0;
        }
        break;
    default:
        break;
    }
    return ScrollableControl::WndProc(message, wParam, lParam);
}

void PropertyList::OnContextMenuRequested(const Point& screenPoint)
{
    HideTip();
    PropertyListEventArgs args(GetSelectedRow());
    ContextMenuRequested.Raise(this, args);
    ScrollableControl::OnContextMenuRequested(screenPoint);
}

void PropertyList::Settle()
{
    if (!m_scrollDirty || m_handle == nullptr)
    {
        return;
    }
    m_scrollDirty = false;
    int rowHeight = GetRowHeight();
    SetScrollLineSize(Scale(20), rowHeight);
    long long height = static_cast<long long>(m_model.GetVisibleRowCount()) * rowHeight + GetHeaderHeight();
    SetScrollSize(Size{ContentWidth(), height > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(height)});
}

void PropertyList::OnFontChanged()
{
    m_rowHeight = 0;
    m_scrollDirty = true;
    ScrollableControl::OnFontChanged();
}

void PropertyList::OnDpiChanged(int oldDpi, int newDpi)
{
    // The metrics notice the new DPI themselves; the scroll range does not.
    m_scrollDirty = true;
    ScrollableControl::OnDpiChanged(oldDpi, newDpi);
}

// --- Selection ---

void PropertyList::SelectRow(int row)
{
    m_model.SelectRow(row);
    EnsureVisible(row);
}

void PropertyList::SelectAll()
{
    m_model.SelectAll();
}

void PropertyList::CopySelection()
{
    PutOnClipboard(m_model.GetSelectionText());
}

bool PropertyList::ActivateLink(int row)
{
    if (row < 0 || row >= m_model.GetRowCount() || (m_model.GetFlags(row) & PropertyRowFlags::Link) == 0)
    {
        return false;
    }
    PropertyListEventArgs args(row);
    LinkActivated.Raise(this, args);
    return true;
}

void PropertyList::MoveTo(int position)
{
    int count = m_model.GetVisibleRowCount();
    if (count == 0)
    {
        return;
    }
    position = position < 0 ? 0 : (position >= count ? count - 1 : position);
    SelectRow(m_model.GetVisibleRow(position));
}

bool PropertyList::ToggleRow(int row)
{
    if (row < 0 || row >= m_model.GetRowCount() || m_model.GetChildCount(row) == 0)
    {
        return false;
    }
    m_model.SetExpanded(row, !m_model.IsExpanded(row));
    NotifyAccessibleExpansion(row);
    return true;
}

void PropertyList::CollapseOrMoveToParent()
{
    int row = GetSelectedRow();
    if (row == NoRow)
    {
        MoveTo(0);
    }
    else if (m_model.IsExpanded(row) && m_model.GetChildCount(row) > 0)
    {
        ToggleRow(row);
    }
    else if (m_model.GetParent(row) != NoRow)
    {
        SelectRow(m_model.GetParent(row));
    }
}

void PropertyList::ExpandOrMoveToChild()
{
    int row = GetSelectedRow();
    if (row == NoRow)
    {
        MoveTo(0);
    }
    else if (m_model.GetChildCount(row) == 0)
    {
        return;
    }
    else if (!m_model.IsExpanded(row))
    {
        ToggleRow(row);
    }
    else
    {
        SelectRow(m_model.GetFirstChild(row));
    }
}

// --- Geometry ---

void PropertyList::UpdateMetrics()
{
    if (m_rowHeight != 0 && m_metricsDpi == m_dpi)
    {
        return;
    }
    int lineHeight = MeasureText(String(), GetFontHandle()).height;
    m_rowHeight = lineHeight + Scale(6);
    m_headerHeight = lineHeight + Scale(10);
    m_metricsDpi = m_dpi;
}

int PropertyList::GetRowHeight()
{
    UpdateMetrics();
    return m_rowHeight;
}

int PropertyList::GetHeaderHeight()
{
    UpdateMetrics();
    return m_headerHeight;
}

int PropertyList::ContentWidth() const
{
    return Scale(m_widths[0]) + Scale(m_widths[1]) + Scale(m_widths[2]);
}

int PropertyList::ValueRight() const
{
    // The value column fills a wider view.
    int view = GetViewportRectangle().width;
    return ContentWidth() > view ? ContentWidth() : view;
}

PropertyList::RowLayout PropertyList::GetLayout(int row)
{
    RowLayout layout;
    layout.glyph = Scale(2) + m_model.GetLevel(row) * Scale(Indent);
    bool marked = m_model.HasKeyRows() && !m_model.IsGroup(row);
    layout.mark = marked ? layout.glyph + Scale(GlyphWidth) : -1;
    layout.name = (marked ? layout.mark + Scale(MarkWidth) : layout.glyph + Scale(GlyphWidth)) + Scale(2);
    layout.type = Scale(m_widths[0]);
    layout.value = layout.type + Scale(m_widths[1]);
    layout.right = ValueRight();
    return layout;
}

int PropertyList::GetColumnRight(int column)
{
    CheckColumn(column, L"PropertyList.GetColumnRight method");
    int right = column == PropertyListColumn::Value ? ValueRight() : 0;
    for (int i = 0; i <= column && column != PropertyListColumn::Value; i++)
    {
        right += Scale(m_widths[i]);
    }
    return right - GetScrollPosition().x;
}

int PropertyList::HitColumnEdge(int x)
{
    int reach = Scale(4);
    int found = -1;
    for (int column = PropertyListColumn::Name; column <= PropertyListColumn::Type; column++)
    {
        int right = GetColumnRight(column);
        // The last edge within reach wins, so that a column narrowed to nothing can be widened again.
        if (x >= right - reach && x <= right + reach)
        {
            found = column;
        }
    }
    return found;
}

Rectangle PropertyList::PositionBounds(int position)
{
    long long top = GetHeaderHeight() + static_cast<long long>(position) * GetRowHeight() - GetScrollPosition().y;
    top = top < -0x40000000 ? -0x40000000 : (top > 0x40000000 ? 0x40000000 : top);
    return Rectangle{0, static_cast<int>(top), GetViewportRectangle().width, GetRowHeight()};
}

Rectangle PropertyList::GetRowBounds(int row)
{
    Settle();
    int position = m_model.GetPositionOf(row);
    return position < 0 ? Rectangle{} : PositionBounds(position);
}

int PropertyList::MeasureValue(int row, const String& value)
{
    m_fonts->Update(GetFontHandle());
    int flags = m_model.GetFlags(row);
    FontHandle font = (flags & PropertyRowFlags::Link) != 0     ? m_fonts->link.Get()
                      : (flags & PropertyRowFlags::Dimmed) != 0 ? m_fonts->special.Get()
                                                                : GetFontHandle();
    return MeasureText(value, font, TextFlags).width;
}

Rectangle PropertyList::GetPartBounds(int row, PropertyListHitArea part)
{
    Rectangle bounds = GetRowBounds(row);
    if (bounds.IsEmpty())
    {
        return bounds;
    }
    RowLayout layout = GetLayout(row);
    int x = -GetScrollPosition().x;
    bool group = m_model.IsGroup(row);
    int padding = Scale(CellPadding);
    switch (part)
    {
    case PropertyListHitArea::Glyph:
        return m_model.GetChildCount(row) > 0
                   ? Rectangle{x + layout.glyph, bounds.top, Scale(GlyphWidth), bounds.height}
                   : Rectangle{};
    case PropertyListHitArea::Mark:
        return layout.mark >= 0 && (m_model.GetFlags(row) & PropertyRowFlags::Key) != 0
                   ? Rectangle{x + layout.mark, bounds.top, Scale(MarkWidth), bounds.height}
                   : Rectangle{};
    case PropertyListHitArea::Name:
    {
        int right = group ? layout.right : layout.type;
        return Rectangle{x + layout.name, bounds.top, right - layout.name, bounds.height};
    }
    case PropertyListHitArea::Type:
        return group ? Rectangle{} : Rectangle{x + layout.type, bounds.top, layout.value - layout.type, bounds.height};
    case PropertyListHitArea::Value:
        return group ? Rectangle{}
                     : Rectangle{x + layout.value, bounds.top, layout.right - layout.value, bounds.height};
    case PropertyListHitArea::Link:
    {
        if (group || (m_model.GetFlags(row) & PropertyRowFlags::Link) == 0)
        {
            return Rectangle{};
        }
        int room = layout.right - layout.value - 2 * padding;
        int width = MeasureValue(row, m_model.GetValue(row));
        width = width < room ? width : room;
        return width > 0 ? Rectangle{x + layout.value + padding, bounds.top, width, bounds.height} : Rectangle{};
    }
    default:
        return bounds;
    }
}

PropertyListHitArea PropertyList::HitTest(const Point& point, int* row)
{
    Settle();
    *row = NoRow;
    Rectangle viewport = GetViewportRectangle();
    if (!viewport.Contains(point))
    {
        return PropertyListHitArea::None;
    }
    int header = GetHeaderHeight();
    if (point.y < header)
    {
        return HitColumnEdge(point.x) >= 0 ? PropertyListHitArea::HeaderEdge : PropertyListHitArea::Header;
    }
    long long position = (static_cast<long long>(point.y) - header + GetScrollPosition().y) / GetRowHeight();
    if (position >= m_model.GetVisibleRowCount())
    {
        return PropertyListHitArea::None;
    }
    *row = m_model.GetVisibleRow(static_cast<int>(position));
    RowLayout layout = GetLayout(*row);
    int x = point.x + GetScrollPosition().x;
    if (x < layout.glyph)
    {
        return PropertyListHitArea::Indent;
    }
    if (x < layout.glyph + Scale(GlyphWidth))
    {
        return m_model.GetChildCount(*row) > 0 ? PropertyListHitArea::Glyph : PropertyListHitArea::Indent;
    }
    if (m_model.IsGroup(*row))
    {
        return PropertyListHitArea::Name;
    }
    if (layout.mark >= 0 && x < layout.mark + Scale(MarkWidth))
    {
        return (m_model.GetFlags(*row) & PropertyRowFlags::Key) != 0 ? PropertyListHitArea::Mark
                                                                     : PropertyListHitArea::Indent;
    }
    if (x < layout.type)
    {
        return PropertyListHitArea::Name;
    }
    if (x < layout.value)
    {
        return PropertyListHitArea::Type;
    }
    Rectangle link = GetPartBounds(*row, PropertyListHitArea::Link);
    return link.Contains(point) ? PropertyListHitArea::Link : PropertyListHitArea::Value;
}

int PropertyList::GetRowAt(const Point& point)
{
    int row = NoRow;
    HitTest(point, &row);
    return row;
}

void PropertyList::EnsureVisible(int row)
{
    if (row < 0 || row >= m_model.GetRowCount() || m_handle == nullptr)
    {
        return;
    }
    Settle();
    int position = m_model.GetPositionOf(row);
    if (position < 0)
    {
        return;
    }
    // Whole rows at the top, as the system's lists scroll.
    int rowHeight = GetRowHeight();
    Point scroll = GetScrollPosition();
    int fit = RowsPerPage();
    int first = (scroll.y + rowHeight - 1) / rowHeight;
    if (position < first)
    {
        SetScrollPosition(Point{scroll.x, position * rowHeight});
    }
    else if (position > first + fit - 1)
    {
        SetScrollPosition(Point{scroll.x, (position - fit + 1) * rowHeight});
    }
}

int PropertyList::RowsPerPage()
{
    int rows = (GetViewportRectangle().height - GetHeaderHeight()) / GetRowHeight();
    return rows > 1 ? rows : 1;
}

void PropertyList::OnScroll(const Point& oldPosition, const Point& newPosition)
{
    HideTip();
    if (m_handle == nullptr)
    {
        return;
    }
    if (oldPosition.x != newPosition.x)
    {
        Invalidate();
        return;
    }
    // Only the rows move; the header stays.
    Rectangle viewport = GetViewportRectangle();
    RECT rows = {0, GetHeaderHeight(), viewport.width, viewport.height};
    ScrollWindowEx(m_handle, 0, oldPosition.y - newPosition.y, &rows, &rows, nullptr, nullptr, SW_INVALIDATE);
}

// --- Mouse ---

void PropertyList::OnMouseDown(const Point& point, int button, int)
{
    Focus();
    HideTip();
    int row = NoRow;
    PropertyListHitArea area = HitTest(point, &row);
    if (area == PropertyListHitArea::HeaderEdge && button == MouseButtons::Left)
    {
        m_resizeColumn = HitColumnEdge(point.x);
        m_resizeStartX = point.x;
        m_resizeStartWidth = Scale(m_widths[m_resizeColumn]);
        CaptureMouse();
        return;
    }
    if (row == NoRow)
    {
        return;
    }
    if (button == MouseButtons::Right)
    {
        // The context menu that follows acts on the row.
        SelectRow(row);
        return;
    }
    if (button != MouseButtons::Left)
    {
        return;
    }
    if (area == PropertyListHitArea::Glyph)
    {
        ToggleRow(row);
        return;
    }
    SelectRow(row);
    if (area == PropertyListHitArea::Link)
    {
        // Followed when the button comes up on it again.
        m_pressedLink = row;
        CaptureMouse();
    }
}

void PropertyList::OnMouseUp(const Point& point, int button, int)
{
    if (button != MouseButtons::Left)
    {
        return;
    }
    if (m_resizeColumn >= 0)
    {
        m_resizeColumn = -1;
        ReleaseMouse();
        return;
    }
    if (m_pressedLink != NoRow)
    {
        int pressed = m_pressedLink;
        m_pressedLink = NoRow;
        ReleaseMouse();
        int row = NoRow;
        if (HitTest(point, &row) == PropertyListHitArea::Link && row == pressed)
        {
            ActivateLink(row);
        }
    }
}

void PropertyList::OnMouseDoubleClick(const Point& point, int button, int keys)
{
    int row = NoRow;
    PropertyListHitArea area = HitTest(point, &row);
    if (area == PropertyListHitArea::HeaderEdge && button == MouseButtons::Left)
    {
        AutoSizeColumn(HitColumnEdge(point.x));
        return;
    }
    if (area == PropertyListHitArea::Link)
    {
        // The first click followed the link; the second must not follow whatever shows there now.
        return;
    }
    if (row == NoRow || button != MouseButtons::Left || area == PropertyListHitArea::Glyph)
    {
        // A quick second click on the glyph counts as a click of its own.
        OnMouseDown(point, button, keys);
        return;
    }
    SelectRow(row);
    if (m_model.GetChildCount(row) > 0)
    {
        ToggleRow(row);
    }
}

void PropertyList::OnMouseMove(const Point& point, int)
{
    if (m_resizeColumn >= 0)
    {
        int width = m_resizeStartWidth + point.x - m_resizeStartX;
        SetColumnWidth(m_resizeColumn, Unscale(width < 0 ? 0 : width));
        Update();
        return;
    }
    int row = NoRow;
    PropertyListHitArea area = HitTest(point, &row);
    int cursor =
        area == PropertyListHitArea::HeaderEdge ? 0x7F84 : (area == PropertyListHitArea::Link ? 0x7F89 : 0x7F00);
    if (cursor != GetCursorId())
    {
        SetCursorId(cursor);
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor)));
    }
    if (m_pressedLink == NoRow)
    {
        UpdateTip(point);
    }
}

void PropertyList::OnMouseLeave()
{
    HideTip();
}

void PropertyList::OnCaptureLost()
{
    m_resizeColumn = -1;
    m_pressedLink = NoRow;
}

// --- The tip of a cut text ---

void PropertyList::HideTip()
{
    m_tipRow = NoRow;
    m_tipColumn = -1;
    if (m_tip != nullptr)
    {
        m_tip->HideText();
    }
}

void PropertyList::UpdateTip(const Point& point)
{
    int row = NoRow;
    PropertyListHitArea area = HitTest(point, &row);
    int column = -1;
    if (row != NoRow && !m_model.IsGroup(row))
    {
        column = area == PropertyListHitArea::Type                                         ? PropertyListColumn::Type
                 : area == PropertyListHitArea::Value || area == PropertyListHitArea::Link ? PropertyListColumn::Value
                 : area == PropertyListHitArea::Name                                       ? PropertyListColumn::Name
                                                                                           : -1;
    }
    if (row == m_tipRow && column == m_tipColumn)
    {
        return;
    }
    HideTip();
    if (column < 0)
    {
        return;
    }
    m_tipRow = row;
    m_tipColumn = column;
    int padding = Scale(CellPadding);
    String text;
    int room = 0;
    int width = 0;
    if (column == PropertyListColumn::Name)
    {
        text = m_model.GetName(row);
        room = GetPartBounds(row, PropertyListHitArea::Name).width - padding;
        width = MeasureText(text, GetFontHandle(), TextFlags).width;
    }
    else if (column == PropertyListColumn::Type)
    {
        text = m_model.GetType(row);
        room = GetPartBounds(row, PropertyListHitArea::Type).width - 2 * padding;
        width = MeasureText(text, GetFontHandle(), TextFlags).width;
    }
    else
    {
        text = m_model.GetValue(row);
        room = GetPartBounds(row, PropertyListHitArea::Value).width - 2 * padding;
        width = MeasureValue(row, text);
    }
    if (text.IsEmpty() || width <= room)
    {
        return;
    }
    if (m_tip == nullptr)
    {
        m_tip = new ToolTip();
    }
    POINT cursor;
    GetCursorPos(&cursor);
    m_tip->ShowText(this, text, Point{cursor.x, cursor.y}, true);
}

// --- Keyboard ---

bool PropertyList::IsInputKey(int keyData) const
{
    if (Keys::IsNavigation(keyData))
    {
        return true;
    }
    // Enter follows a link or opens a row; elsewhere it is the dialog's.
    int row = m_model.GetSelectedRow();
    return keyData == Keys::Return && row != NoRow &&
           ((m_model.GetFlags(row) & PropertyRowFlags::Link) != 0 || m_model.GetChildCount(row) > 0);
}

void PropertyList::DropCharacter()
{
    // The keypad's +, - and * also arrive as characters, which must not act a second time.
    MSG message;
    PeekMessageW(&message, m_handle, WM_CHAR, WM_CHAR, PM_REMOVE | PM_NOYIELD);
}

bool PropertyList::OnKeyDown(int keyData)
{
    HideTip();
    int key = keyData & Keys::KeyCode;
    int modifiers = keyData & Keys::Modifiers;
    if (modifiers == Keys::Control && key == Keys::A)
    {
        SelectAll();
        return true;
    }
    if (modifiers == Keys::Control && (key == Keys::C || key == Keys::Insert))
    {
        CopySelection();
        return true;
    }
    if (modifiers != Keys::None)
    {
        return false;
    }
    int row = GetSelectedRow();
    int current = row != NoRow ? m_model.GetPositionOf(row) : -1;
    switch (key)
    {
    case Keys::Up:
        MoveTo(current < 0 ? 0 : current - 1);
        return true;
    case Keys::Down:
        MoveTo(current + 1);
        return true;
    case Keys::PageUp:
        MoveTo(current - (RowsPerPage() - 1));
        return true;
    case Keys::PageDown:
        MoveTo(current < 0 ? RowsPerPage() - 1 : current + (RowsPerPage() - 1));
        return true;
    case Keys::Home:
        MoveTo(0);
        return true;
    case Keys::End:
        MoveTo(m_model.GetVisibleRowCount() - 1);
        return true;
    case Keys::Left:
        CollapseOrMoveToParent();
        return true;
    case Keys::Right:
        ExpandOrMoveToChild();
        return true;
    case Keys::Return:
        if (ActivateLink(row))
        {
            return true;
        }
        if (row != NoRow && m_model.GetChildCount(row) > 0)
        {
            ToggleRow(row);
            return true;
        }
        return false;
    case VK_ADD:
        DropCharacter();
        OnKeyPress(L'+');
        return true;
    case VK_SUBTRACT:
        DropCharacter();
        OnKeyPress(L'-');
        return true;
    case VK_MULTIPLY:
        DropCharacter();
        OnKeyPress(L'*');
        return true;
    default:
        return false;
    }
}

bool PropertyList::OnKeyPress(wchar_t character)
{
    int row = GetSelectedRow();
    if (row == NoRow || (character != L'+' && character != L'-' && character != L'*'))
    {
        return false;
    }
    if (character == L'*')
    {
        m_model.ExpandAll(row);
        NotifyAccessibleExpansion(row);
    }
    else if ((character == L'+') != m_model.IsExpanded(row))
    {
        ToggleRow(row);
    }
    return true;
}

// --- Painting ---

void PropertyList::OnPaint(Graphics& graphics, const Rectangle& clip)
{
    Settle();
    m_fonts->Update(GetFontHandle());
    if (m_model.HasKeyRows() != m_paintedMarks)
    {
        // The room for key marks moves every name: the rest of the rows are painted again too.
        m_paintedMarks = m_model.HasKeyRows();
        Invalidate();
    }
    int header = GetHeaderHeight();
    if (clip.GetBottom() > header)
    {
        int state = graphics.Save();
        graphics.IntersectClip(Rectangle{clip.left, header, clip.width, clip.GetBottom() - header});
        int count = m_model.GetVisibleRowCount();
        int rowHeight = GetRowHeight();
        int scroll = GetScrollPosition().y;
        int top = clip.top > header ? clip.top : header;
        int first = static_cast<int>((static_cast<long long>(top) - header + scroll) / rowHeight);
        int last = static_cast<int>((static_cast<long long>(clip.GetBottom()) - 1 - header + scroll) / rowHeight);
        last = last < count - 1 ? last : count - 1;
        for (int position = first; position <= last; position++)
        {
            int y = static_cast<int>(header + static_cast<long long>(position) * rowHeight - scroll);
            PaintRow(graphics, m_model.GetVisibleRow(position), y);
        }
        graphics.Restore(state);
    }
    if (clip.top < header)
    {
        PaintHeader(graphics, clip);
    }
}

void PropertyList::PaintHeader(Graphics& graphics, const Rectangle& clip)
{
    int height = GetHeaderHeight();
    graphics.FillRectangle(Rectangle{clip.left, 0, clip.width, height}, Theme::Window());
    Color separator = Colors::Blend(Theme::Separator(), Theme::Window(), 80);
    int padding = Scale(CellPadding);
    int left = -GetScrollPosition().x;
    for (int column = 0; column < PropertyListColumn::Count; column++)
    {
        int right = GetColumnRight(column);
        if (column < PropertyListColumn::Value)
        {
            graphics.FillRectangle(Rectangle{right - Scale(1), Scale(3), Scale(1), height - Scale(6)}, separator);
        }
        Rectangle text{left + padding, Scale(2), right - left - 2 * padding, height - Scale(2)};
        graphics.DrawString(m_headers[column], text, GetFontHandle(), Theme::ControlText(), CutTextFlags);
        left = right;
    }
    graphics.FillRectangle(Rectangle{clip.left, height - Scale(1), clip.width, Scale(1)}, separator);
}

void PropertyList::PaintRow(Graphics& graphics, int row, int y)
{
    RowLayout layout = GetLayout(row);
    int x = -GetScrollPosition().x;
    int height = GetRowHeight();
    int padding = Scale(CellPadding);
    int flags = m_model.GetFlags(row);
    bool group = (flags & PropertyRowFlags::Group) != 0;
    bool selected = m_model.IsRowSelected(row);
    bool focused = IsFocused();
    bool enabled = IsEnabled();
    Color window = GetBackColor();
    Color text = enabled ? GetForeColor() : Theme::GrayText();
    Color selectedFill = focused ? Theme::Highlight() : Colors::Blend(Theme::Face(), Theme::Window(), 85);
    Color selectedText = focused ? Theme::HighlightText() : Theme::ControlText();
    Rectangle bounds{x, y, layout.right, height};
    if (selected)
    {
        graphics.FillRectangle(bounds, selectedFill);
    }
    else if (group)
    {
        graphics.FillRectangle(bounds, Colors::Blend(Theme::Face(), window, 70));
    }
    else
    {
        Color line = Colors::Blend(Theme::Separator(), window, 30);
        graphics.FillRectangle(Rectangle{x + layout.type - Scale(1), y, Scale(1), height}, line);
        graphics.FillRectangle(Rectangle{x + layout.value - Scale(1), y, Scale(1), height}, line);
    }
    Color ink = selected ? selectedText : text;
    if (m_model.GetChildCount(row) > 0)
    {
        bool expanded = m_model.IsExpanded(row);
        Color glyph = selected ? selectedText : Colors::Blend(text, window, expanded ? 70 : 50);
        graphics.DrawChevron(Rectangle{x + layout.glyph, y, Scale(GlyphWidth), height},
                             expanded ? Direction::Down : Direction::Right, glyph);
    }
    if (layout.mark >= 0 && (flags & PropertyRowFlags::Key) != 0)
    {
        PaintKeyMark(graphics, Rectangle{x + layout.mark, y, Scale(MarkWidth), height},
                     selected ? selectedText : Colors::Blend(text, window, 80));
    }
    int nameRight = group ? layout.right - padding : layout.type - padding;
    graphics.DrawString(m_model.GetName(row), Rectangle{x + layout.name, y, nameRight - layout.name, height},
                        group ? m_fonts->bold.Get() : GetFontHandle(), ink, CutTextFlags);
    if (!group)
    {
        graphics.DrawString(m_model.GetType(row),
                            Rectangle{x + layout.type + padding, y, layout.value - layout.type - 2 * padding, height},
                            GetFontHandle(), selected ? selectedText : Colors::Blend(text, window, 65), CutTextFlags);
        bool link = (flags & PropertyRowFlags::Link) != 0;
        bool special = (flags & PropertyRowFlags::Dimmed) != 0;
        FontHandle font = link ? m_fonts->link.Get() : special ? m_fonts->special.Get() : GetFontHandle();
        Color color = selected || !enabled ? ink
                      : link               ? Theme::LinkText()
                      : special            ? Colors::Blend(text, window, 55)
                                           : text;
        graphics.DrawString(m_model.GetValue(row),
                            Rectangle{x + layout.value + padding, y, layout.right - layout.value - 2 * padding, height},
                            font, color, CutTextFlags);
    }
    if (focused && row == GetSelectedRow())
    {
        graphics.DrawFocusRectangle(bounds, ink, selected ? selectedFill : window);
    }
}

void PropertyList::PaintKeyMark(Graphics& graphics, const Rectangle& box, Color color)
{
    // A key lying on its side: a square bow on the left, a shaft to the right with two bits below it; each length
    // scaled on its own, so that the key keeps to its slot at every DPI.
    auto at = [&](int x) { return box.left + graphics.Scale(x); };
    int cy = box.top + box.height / 2;
    int line = graphics.Scale(1);
    graphics.DrawRectangle(Rectangle{at(1), cy - graphics.Scale(3), graphics.Scale(7), graphics.Scale(7)}, color, line);
    graphics.FillRectangle(Rectangle{at(8), cy, at(14) - at(8), line}, color);
    graphics.FillRectangle(Rectangle{at(11), cy, line, graphics.Scale(3)}, color);
    graphics.FillRectangle(Rectangle{at(13), cy, line, graphics.Scale(4)}, color);
}

} // namespace Core::Controls
