#include "core/controls/PropertyListModel.h"

#include "core/Exception.h"
#include "core/controls/GridModel.h"

#include <string>
#include <vector>

namespace Core::Controls
{

namespace
{

constexpr int Current = 0x7FFFFFFF;
constexpr int Unknown = -2;
constexpr int NameColumn = 0;
constexpr int TypeColumn = 1;
constexpr int ValueColumn = 2;

// A copied row is one line: tabs and line breaks inside a text become blanks.
void AppendForCopy(std::wstring& text, const String& part)
{
    const wchar_t* characters = part.GetBuffer();
    for (int i = 0; i < part.GetLength(); i++)
    {
        wchar_t c = characters[i];
        text.push_back(c == L'\t' || c == L'\r' || c == L'\n' ? L' ' : c);
    }
}

} // namespace

// The texts live in a grid model of three columns, which keeps them compactly; the tree is links between rows.
class PropertyListModel::Storage
{
public:
    struct Row
    {
        int parent = NoRow;
        int firstChild = NoRow;
        int lastChild = NoRow;
        int nextSibling = NoRow;
        int childCount = 0;
        int level = 0;
        int flags = 0;
        bool expanded = false;
        uint64_t data = 0;
    };

    Storage() { texts.SetColumnCount(3); }

    GridModel texts;
    std::vector<Row> rows;
    int firstTop = NoRow;
    int lastTop = NoRow;
    // The rows shown, in order, and each row's position among them (-1: hidden), as last listed.
    std::vector<int> visible;
    std::vector<int> positions;
};

PropertyListModel::PropertyListModel() : m_storage(new Storage()) {}

PropertyListModel::~PropertyListModel()
{
    delete m_storage;
}

void PropertyListModel::CheckRow(int row, const wchar_t* operation) const
{
    if (row < 0 || row >= static_cast<int>(m_storage->rows.size()))
    {
        throw ArgumentOutOfRangeException(row, String(operation) + L" - row index out of range");
    }
}

int PropertyListModel::GetRowCount() const
{
    return static_cast<int>(m_storage->rows.size());
}

// --- Rows ---

int PropertyListModel::AddRow(int parent, const String& name, const String& type, const String& value, int flags)
{
    if (parent != NoRow)
    {
        CheckRow(parent, L"PropertyListModel.AddRow method");
    }
    if ((flags & ~PropertyRowFlags::All) != 0)
    {
        throw ArgumentException(String(L"PropertyListModel.AddRow method - unknown row flags"));
    }
    Storage& storage = *m_storage;
    int row = storage.texts.AddRows(1);
    storage.texts.SetCellText(row, NameColumn, name);
    storage.texts.SetCellText(row, TypeColumn, type);
    storage.texts.SetCellText(row, ValueColumn, value);
    Storage::Row info;
    info.parent = parent;
    info.level = parent == NoRow ? 0 : storage.rows[static_cast<size_t>(parent)].level + 1;
    info.flags = flags;
    info.expanded = (flags & PropertyRowFlags::Group) != 0;
    storage.rows.push_back(info);
    if (parent == NoRow)
    {
        if (storage.lastTop != NoRow)
        {
            storage.rows[static_cast<size_t>(storage.lastTop)].nextSibling = row;
        }
        else
        {
            storage.firstTop = row;
        }
        storage.lastTop = row;
    }
    else
    {
        Storage::Row& owner = storage.rows[static_cast<size_t>(parent)];
        if (owner.lastChild != NoRow)
        {
            storage.rows[static_cast<size_t>(owner.lastChild)].nextSibling = row;
        }
        else
        {
            owner.firstChild = row;
        }
        owner.lastChild = row;
        owner.childCount++;
    }
    if ((flags & PropertyRowFlags::Key) != 0)
    {
        m_keyRows++;
    }

    // Where the row shows. Rows filled in order go at the end of the rows shown, or under a closed row, and keep
    // the listing current; any other place has it listed again from the parent on.
    bool current = m_staleFrom == Current;
    int at = parent == NoRow ? 0 : KnownPosition(parent);
    if (at == Unknown)
    {
        // The parent is among the rows to be listed again.
        return row;
    }
    if (parent != NoRow && at >= 0 && storage.rows[static_cast<size_t>(parent)].childCount == 1 &&
        m_observer != nullptr)
    {
        // The glyph appears.
        m_observer->OnRowChanged(at);
    }
    if (at == -1 || (parent != NoRow && !storage.rows[static_cast<size_t>(parent)].expanded))
    {
        if (current)
        {
            storage.positions.push_back(-1);
        }
        return row;
    }
    if (parent == NoRow && !current)
    {
        // Past every row still listed: already to be shown again.
        return row;
    }
    // The last row shown is the parent or below it when nothing follows the parent's rows: the new one goes last.
    bool atEnd = parent == NoRow;
    if (!atEnd && current)
    {
        int last = storage.visible.back();
        int level = info.level - 1;
        while (storage.rows[static_cast<size_t>(last)].level > level)
        {
            last = storage.rows[static_cast<size_t>(last)].parent;
        }
        atEnd = last == parent;
    }
    if (atEnd)
    {
        int position = static_cast<int>(storage.visible.size());
        storage.positions.push_back(position);
        storage.visible.push_back(row);
        if (m_observer != nullptr)
        {
            m_observer->OnRowsChanged(position);
        }
        return row;
    }
    Changed(at + 1);
    return row;
}

int PropertyListModel::AddGroup(const String& heading)
{
    return AddRow(NoRow, heading, String(), String(), PropertyRowFlags::Group);
}

void PropertyListModel::Clear()
{
    Storage& storage = *m_storage;
    storage.texts.ClearRows();
    std::vector<Storage::Row>().swap(storage.rows);
    std::vector<int>().swap(storage.visible);
    std::vector<int>().swap(storage.positions);
    storage.firstTop = NoRow;
    storage.lastTop = NoRow;
    m_keyRows = 0;
    m_clearCount++;
    // No rows are listed as no rows shown.
    m_staleFrom = Current;
    bool hadSelection = m_selected != NoRow || m_allSelected;
    m_selected = NoRow;
    m_allSelected = false;
    if (m_observer != nullptr)
    {
        m_observer->OnRowsChanged(0);
    }
    if (hadSelection)
    {
        NotifySelection();
    }
}

String PropertyListModel::GetName(int row) const
{
    CheckRow(row, L"PropertyListModel.GetName method");
    return m_storage->texts.GetCellText(row, NameColumn);
}

String PropertyListModel::GetType(int row) const
{
    CheckRow(row, L"PropertyListModel.GetType method");
    return m_storage->texts.GetCellText(row, TypeColumn);
}

String PropertyListModel::GetValue(int row) const
{
    CheckRow(row, L"PropertyListModel.GetValue method");
    return m_storage->texts.GetCellText(row, ValueColumn);
}

void PropertyListModel::SetText(int row, int column, const String& text, const wchar_t* operation)
{
    CheckRow(row, operation);
    m_storage->texts.SetCellText(row, column, text);
    RowChanged(row);
}

void PropertyListModel::SetName(int row, const String& name)
{
    SetText(row, NameColumn, name, L"PropertyListModel.SetName method");
}

void PropertyListModel::SetType(int row, const String& type)
{
    SetText(row, TypeColumn, type, L"PropertyListModel.SetType method");
}

void PropertyListModel::SetValue(int row, const String& value)
{
    SetText(row, ValueColumn, value, L"PropertyListModel.SetValue method");
}

int PropertyListModel::GetFlags(int row) const
{
    CheckRow(row, L"PropertyListModel.GetFlags method");
    return m_storage->rows[static_cast<size_t>(row)].flags;
}

void PropertyListModel::SetFlags(int row, int flags)
{
    CheckRow(row, L"PropertyListModel.SetFlags method");
    if ((flags & ~PropertyRowFlags::All) != 0)
    {
        throw ArgumentException(String(L"PropertyListModel.SetFlags method - unknown row flags"));
    }
    int& current = m_storage->rows[static_cast<size_t>(row)].flags;
    m_keyRows += ((flags & PropertyRowFlags::Key) != 0 ? 1 : 0) - ((current & PropertyRowFlags::Key) != 0 ? 1 : 0);
    current = flags;
    RowChanged(row);
}

bool PropertyListModel::IsGroup(int row) const
{
    return (GetFlags(row) & PropertyRowFlags::Group) != 0;
}

uint64_t PropertyListModel::GetData(int row) const
{
    CheckRow(row, L"PropertyListModel.GetData method");
    return m_storage->rows[static_cast<size_t>(row)].data;
}

void PropertyListModel::SetData(int row, uint64_t data)
{
    CheckRow(row, L"PropertyListModel.SetData method");
    m_storage->rows[static_cast<size_t>(row)].data = data;
}

// --- Structure ---

int PropertyListModel::GetParent(int row) const
{
    CheckRow(row, L"PropertyListModel.GetParent method");
    return m_storage->rows[static_cast<size_t>(row)].parent;
}

int PropertyListModel::GetLevel(int row) const
{
    CheckRow(row, L"PropertyListModel.GetLevel method");
    return m_storage->rows[static_cast<size_t>(row)].level;
}

int PropertyListModel::GetChildCount(int row) const
{
    CheckRow(row, L"PropertyListModel.GetChildCount method");
    return m_storage->rows[static_cast<size_t>(row)].childCount;
}

int PropertyListModel::GetFirstChild(int row) const
{
    CheckRow(row, L"PropertyListModel.GetFirstChild method");
    return m_storage->rows[static_cast<size_t>(row)].firstChild;
}

int PropertyListModel::GetNextSibling(int row) const
{
    CheckRow(row, L"PropertyListModel.GetNextSibling method");
    return m_storage->rows[static_cast<size_t>(row)].nextSibling;
}

// --- Expansion ---

bool PropertyListModel::IsExpanded(int row) const
{
    CheckRow(row, L"PropertyListModel.IsExpanded method");
    return m_storage->rows[static_cast<size_t>(row)].expanded;
}

void PropertyListModel::SetExpanded(int row, bool expanded)
{
    CheckRow(row, L"PropertyListModel.SetExpanded method");
    Storage::Row& info = m_storage->rows[static_cast<size_t>(row)];
    if (info.expanded == expanded)
    {
        return;
    }
    info.expanded = expanded;
    // A hidden row's children stay hidden; a row without children shows nothing more or less.
    int at = KnownPosition(row);
    if (info.childCount > 0 && at >= 0)
    {
        Changed(at);
    }
    if (!expanded && m_selected != NoRow && m_selected != row)
    {
        for (int above = GetParent(m_selected); above != NoRow; above = GetParent(above))
        {
            if (above == row)
            {
                // The selection must not disappear into the closed row.
                m_selected = row;
                NotifySelection();
                break;
            }
        }
    }
}

void PropertyListModel::ExpandAll(int row)
{
    if (row != NoRow)
    {
        CheckRow(row, L"PropertyListModel.ExpandAll method");
    }
    Storage& storage = *m_storage;
    // Depth first over the links, without recursion: down to the first child, else on to the next sibling of the
    // nearest row that has one, stopping at the row the walk started from.
    int current = row == NoRow ? storage.firstTop : row;
    while (current != NoRow)
    {
        Storage::Row& info = storage.rows[static_cast<size_t>(current)];
        if (info.childCount > 0)
        {
            info.expanded = true;
            current = info.firstChild;
            continue;
        }
        while (current != NoRow && current != row && storage.rows[static_cast<size_t>(current)].nextSibling == NoRow)
        {
            current = storage.rows[static_cast<size_t>(current)].parent;
        }
        current = current == NoRow || current == row ? NoRow : storage.rows[static_cast<size_t>(current)].nextSibling;
    }
    // A hidden row's rows stay hidden; one not known is among the rows to be listed again.
    int at = row == NoRow ? 0 : KnownPosition(row);
    if (at >= 0)
    {
        Changed(at);
    }
}

void PropertyListModel::CollapseAll()
{
    for (Storage::Row& info : m_storage->rows)
    {
        info.expanded = false;
    }
    Changed(0);
    if (m_selected != NoRow)
    {
        int top = m_selected;
        while (GetParent(top) != NoRow)
        {
            top = GetParent(top);
        }
        if (top != m_selected)
        {
            m_selected = top;
            NotifySelection();
        }
    }
}

// --- Rows shown ---

int PropertyListModel::KnownPosition(int row) const
{
    const Storage& storage = *m_storage;
    if (row >= static_cast<int>(storage.positions.size()))
    {
        return Unknown;
    }
    int position = storage.positions[static_cast<size_t>(row)];
    if (m_staleFrom == Current)
    {
        return position;
    }
    // Positions before the first change are what they were; a row hidden then may show now past it.
    return position >= 0 && position < m_staleFrom ? position : Unknown;
}

void PropertyListModel::Changed(int firstPosition)
{
    // The observer has been told of any later position since the rows were last listed.
    if (firstPosition >= m_staleFrom)
    {
        return;
    }
    m_staleFrom = firstPosition;
    if (m_observer != nullptr)
    {
        m_observer->OnRowsChanged(firstPosition);
    }
}

void PropertyListModel::RowChanged(int row)
{
    int at = KnownPosition(row);
    if (at >= 0 && m_observer != nullptr)
    {
        m_observer->OnRowChanged(at);
    }
}

void PropertyListModel::EnsureVisible()
{
    if (m_staleFrom == Current)
    {
        return;
    }
    Storage& storage = *m_storage;
    storage.visible.clear();
    storage.positions.assign(storage.rows.size(), -1);
    // Depth first over the links, into expanded rows only; each row is climbed out of once.
    int row = storage.firstTop;
    while (row != NoRow)
    {
        const Storage::Row& info = storage.rows[static_cast<size_t>(row)];
        storage.positions[static_cast<size_t>(row)] = static_cast<int>(storage.visible.size());
        storage.visible.push_back(row);
        if (info.expanded && info.firstChild != NoRow)
        {
            row = info.firstChild;
            continue;
        }
        while (row != NoRow && storage.rows[static_cast<size_t>(row)].nextSibling == NoRow)
        {
            row = storage.rows[static_cast<size_t>(row)].parent;
        }
        row = row == NoRow ? NoRow : storage.rows[static_cast<size_t>(row)].nextSibling;
    }
    m_staleFrom = Current;
}

int PropertyListModel::GetVisibleRowCount()
{
    EnsureVisible();
    return static_cast<int>(m_storage->visible.size());
}

int PropertyListModel::GetVisibleRow(int position)
{
    EnsureVisible();
    if (position < 0 || position >= static_cast<int>(m_storage->visible.size()))
    {
        throw ArgumentOutOfRangeException(position,
                                          String(L"PropertyListModel.GetVisibleRow method - position out of range"));
    }
    return m_storage->visible[static_cast<size_t>(position)];
}

int PropertyListModel::GetPositionOf(int row)
{
    CheckRow(row, L"PropertyListModel.GetPositionOf method");
    EnsureVisible();
    return m_storage->positions[static_cast<size_t>(row)];
}

// --- Selection ---

void PropertyListModel::NotifySelection()
{
    if (m_observer != nullptr)
    {
        m_observer->OnSelectionChanged();
    }
}

void PropertyListModel::SelectRow(int row)
{
    if (row != NoRow)
    {
        CheckRow(row, L"PropertyListModel.SelectRow method");
    }
    if (row == m_selected && !m_allSelected)
    {
        return;
    }
    for (int above = row == NoRow ? NoRow : GetParent(row); above != NoRow; above = GetParent(above))
    {
        SetExpanded(above, true);
    }
    m_selected = row;
    m_allSelected = false;
    NotifySelection();
}

void PropertyListModel::SelectAll()
{
    if (m_allSelected)
    {
        return;
    }
    m_allSelected = true;
    NotifySelection();
}

bool PropertyListModel::IsRowSelected(int row) const
{
    CheckRow(row, L"PropertyListModel.IsRowSelected method");
    return m_allSelected || row == m_selected;
}

// --- Copying ---

namespace
{

void AppendLine(std::wstring& text, const String& name, const String& value, bool group, int indent)
{
    text.append(static_cast<size_t>(indent) * 2, L' ');
    AppendForCopy(text, name);
    if (!group)
    {
        text.append(L" = ");
        AppendForCopy(text, value);
    }
    text.append(L"\r\n");
}

String MakeString(const std::wstring& text)
{
    return String(text.data(), static_cast<int>(text.size()));
}

} // namespace

String PropertyListModel::GetCopyText(int row)
{
    CheckRow(row, L"PropertyListModel.GetCopyText method");
    EnsureVisible();
    const Storage& storage = *m_storage;
    std::wstring text;
    int level = storage.rows[static_cast<size_t>(row)].level;
    AppendLine(text, GetName(row), GetValue(row), IsGroup(row), 0);
    int position = storage.positions[static_cast<size_t>(row)];
    int count = static_cast<int>(storage.visible.size());
    for (int next = position < 0 ? count : position + 1; next < count; next++)
    {
        int below = storage.visible[static_cast<size_t>(next)];
        int belowLevel = storage.rows[static_cast<size_t>(below)].level;
        if (belowLevel <= level)
        {
            break;
        }
        AppendLine(text, GetName(below), GetValue(below), IsGroup(below), belowLevel - level);
    }
    return MakeString(text);
}

String PropertyListModel::GetVisibleText()
{
    EnsureVisible();
    const Storage& storage = *m_storage;
    std::wstring text;
    for (int row : storage.visible)
    {
        AppendLine(text, GetName(row), GetValue(row), IsGroup(row), storage.rows[static_cast<size_t>(row)].level);
    }
    return MakeString(text);
}

String PropertyListModel::GetSelectionText()
{
    return m_allSelected || m_selected == NoRow ? GetVisibleText() : GetCopyText(m_selected);
}

} // namespace Core::Controls
