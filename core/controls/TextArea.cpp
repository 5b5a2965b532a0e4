#include "core/controls/TextArea.h"

#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/GdiHandles.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include <algorithm>
#include <utility>
#include <vector>
#include <windows.h>

namespace Core::Controls
{

namespace
{

constexpr int Inset = 3; // at 96 DPI, between the frame and the text
constexpr int AutoScrollTimer = 1;
constexpr int AutoScrollInterval = 50;
constexpr size_t HistoryDepth = 100;

// How edits group for undo: characters typed one after another are one edit, and so are successive Backspaces
// and successive Deletes; everything else (a paste, a cut, a word deleted) is an edit of its own.
namespace EditKind
{
constexpr int Other = 0;
constexpr int Typing = 1;
constexpr int Backspace = 2;
constexpr int Delete = 3;
} // namespace EditKind

bool IsWordCharacter(wchar_t character)
{
    return IsCharAlphaNumericW(character) || character == L'_';
}

// The position after text inserted at start.
TextPosition EndOf(const TextPosition& start, const String& text)
{
    TextPosition end = start;
    const wchar_t* characters = text.GetBuffer();
    int length = text.GetLength();
    for (int i = 0; i < length; i++)
    {
        if (characters[i] == L'\r' || characters[i] == L'\n')
        {
            if (characters[i] == L'\r' && i + 1 < length && characters[i + 1] == L'\n')
            {
                i++;
            }
            end.line++;
            end.column = 0;
        }
        else
        {
            end.column++;
        }
    }
    return end;
}

// Lines measured in the area's font, a piece at a time: GDI never sees a long string, and a piece never ends inside
// a surrogate pair, so each character is measured whole.
class LineRuler
{
public:
    // On a device context of the screen's kind (the paint's own, when painting).
    LineRuler(HDC context, FontHandle font) : m_context(context), m_font(context, font) {}

    // The advance of each character; the sum is the line's width.
    void Advances(const wchar_t* text, int length, std::vector<int>& advances)
    {
        advances.assign(static_cast<size_t>(length), 0);
        for (int start = 0; start < length;)
        {
            int count = PieceAfter(text, start, length);
            int* piece = advances.data() + start;
            SIZE size = {};
            if (GetTextExtentExPointW(m_context, text + start, count, 0, nullptr, piece, &size))
            {
                // GDI gives the extent of each prefix.
                for (int i = count - 1; i > 0; i--)
                {
                    piece[i] -= piece[i - 1];
                }
            }
            start += count;
        }
    }

    int Width(const wchar_t* text, int length)
    {
        int width = 0;
        for (int start = 0; start < length;)
        {
            int count = PieceAfter(text, start, length);
            SIZE size = {};
            if (GetTextExtentPoint32W(m_context, text + start, count, &size))
            {
                width += size.cx;
            }
            start += count;
        }
        return width;
    }

private:
    static constexpr int Piece = 256;

    static int PieceAfter(const wchar_t* text, int start, int end)
    {
        int count = end - start < Piece ? end - start : Piece;
        if (start + count < end && IS_HIGH_SURROGATE(text[start + count - 1]))
        {
            count++;
        }
        return count;
    }

    HDC m_context; // not owned
    Selection m_font;
};

// A ruler on the screen, for measuring outside a paint.
class ScreenRuler : private ScreenContext, public LineRuler
{
public:
    explicit ScreenRuler(FontHandle font) : ScreenContext(), LineRuler(ScreenContext::Get(), font) {}
};

// A text area is a text to screen readers, named by the label before it as edit boxes are; its value is the whole
// text with CR LF between lines, and a client may set it unless the area is read-only.
class TextAreaAccessibleObject : public AccessibleObject
{
public:
    explicit TextAreaAccessibleObject(TextArea& area) : AccessibleObject(area), m_area(area) {}

    int GetRole() override { return AccessibleRoles::Text; }
    String GetName() override
    {
        String name = AccessibleObject::GetName();
        if (!name.IsEmpty())
        {
            return name;
        }
        Control* label = FindLabelBefore(m_area);
        return label != nullptr ? WithoutMnemonic(label->GetText()) : String();
    }
    String GetValue() override { return m_area.GetText(); }
    int GetState() override
    {
        return AccessibleObject::GetState() | (m_area.GetReadOnly() ? AccessibleStates::ReadOnly : 0);
    }
    String GetKeyboardShortcut() override
    {
        Control* label = FindLabelBefore(m_area);
        return label != nullptr ? MnemonicShortcut(label->GetText()) : String();
    }
    ValueChange SetValue(const String& value) override
    {
        if (m_area.GetReadOnly())
        {
            return ValueChange::Refused;
        }
        // As the user's paste over everything would: one edit, which can be undone.
        m_area.SelectAll();
        m_area.ReplaceSelection(value);
        return ValueChange::Made;
    }

private:
    TextArea& m_area;
};

} // namespace

// The widths of the lines (for the horizontal scroll range) and the font's metrics they were measured with.
class TextArea::Measures
{
public:
    FontHandle font = nullptr; // not owned: the control's font when the widths were measured; null: measure again
    int lineHeight = 0;
    std::vector<int> widths; // one per line, device pixels
    int widest = 0;
    // Scratch for painting and hit-testing one line.
    std::vector<int> advances;
    std::vector<int> offsets;
};

// The edits to undo and to redo, each as the text that was there and the text put in its place.
class TextArea::History
{
public:
    struct Edit
    {
        TextPosition start;
        String removed;
        String inserted;
        TextPosition insertedEnd;
        // The selection before the edit, given back by undo.
        TextPosition anchor;
        TextPosition caret;
        int kind = EditKind::Other;
    };

    void Record(Edit edit)
    {
        redo.clear();
        if (open && !undo.empty() && undo.back().kind == edit.kind && Merge(undo.back(), edit))
        {
            return;
        }
        undo.push_back(std::move(edit));
        if (undo.size() > HistoryDepth)
        {
            undo.erase(undo.begin());
        }
        open = true;
    }

    void Clear()
    {
        undo.clear();
        redo.clear();
        open = false;
    }

    std::vector<Edit> undo;
    std::vector<Edit> redo;
    // The last edit may still take the next one of its kind: nothing else happened in between.
    bool open = false;

private:
    static bool Merge(Edit& last, Edit& edit)
    {
        switch (edit.kind)
        {
        case EditKind::Typing:
            if (edit.removed.IsEmpty() && edit.start == last.insertedEnd)
            {
                last.inserted += edit.inserted;
                last.insertedEnd = edit.insertedEnd;
                return true;
            }
            return false;
        case EditKind::Backspace:
            if (edit.inserted.IsEmpty() && EndOf(edit.start, edit.removed) == last.start && last.inserted.IsEmpty())
            {
                last.removed = edit.removed + last.removed;
                last.start = edit.start;
                last.insertedEnd = edit.start;
                return true;
            }
            return false;
        case EditKind::Delete:
            if (edit.inserted.IsEmpty() && edit.start == last.start && last.inserted.IsEmpty())
            {
                last.removed += edit.removed;
                return true;
            }
            return false;
        default:
            return false;
        }
    }
};

TextArea::TextArea(const String& text) : m_measures(new Measures()), m_history(new History())
{
    SetClassName(String(L"Core.Controls.TextArea"));
    UseOwnScrollBars();
    SetTabStop(true);
    SetCursorId(0x7F01);
    SetSize(300, 150);
    m_lines.SetObserver(this);
    TextArea::SetText(text);
}

TextArea::~TextArea()
{
    m_lines.SetObserver(nullptr);
    delete m_measures;
    delete m_history;
}

// --- Text ---

void TextArea::SetText(const String& text)
{
    m_history->Clear();
    m_anchor = m_caret = TextPosition{};
    m_goalX = -1;
    m_lines.SetText(text);
    SetScrollPosition(Point{0, 0});
    UpdateCaret();
    RaiseTextChanged();
}

void TextArea::SetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    Invalidate();
}

String TextArea::GetSelectedText() const
{
    return m_lines.GetText(m_anchor, m_caret);
}

void TextArea::SetSelection(const TextPosition& anchor, const TextPosition& caret)
{
    if (m_lines.Clamp(anchor) != anchor)
    {
        throw ArgumentOutOfRangeException(anchor.line, String(L"TextArea.SetSelection method - anchor out of range"));
    }
    if (m_lines.Clamp(caret) != caret)
    {
        throw ArgumentOutOfRangeException(caret.line, String(L"TextArea.SetSelection method - caret out of range"));
    }
    TextPosition oldAnchor = m_anchor;
    TextPosition oldCaret = m_caret;
    m_anchor = anchor;
    m_caret = caret;
    m_goalX = -1;
    m_history->open = false;
    InvalidateSelectionChange(oldAnchor, oldCaret);
    ScrollToCaret();
}

void TextArea::SelectAll()
{
    SetSelection(TextPosition{}, m_lines.GetEnd());
}

void TextArea::ReplaceSelection(const String& text)
{
    Replace(m_anchor, m_caret, text, EditKind::Other);
}

void TextArea::RaiseTextChanged()
{
    NotifyAccessibleEvent(*this, EVENT_OBJECT_VALUECHANGE);
    EventArgs args;
    TextChanged.Raise(this, args);
}

// --- Editing ---

void TextArea::EditSelection(const String& text, int kind)
{
    if (!m_readOnly)
    {
        Replace(m_anchor, m_caret, text, kind);
    }
}

void TextArea::Replace(const TextPosition& from, const TextPosition& to, const String& text, int kind)
{
    if (from == to && text.IsEmpty())
    {
        return;
    }
    TextPosition start = from < to ? from : to;
    History::Edit edit;
    edit.start = start;
    edit.removed = m_lines.GetText(from, to);
    edit.inserted = text;
    edit.anchor = m_anchor;
    edit.caret = m_caret;
    edit.kind = kind;
    TextPosition after = m_lines.Replace(from, to, text);
    edit.insertedEnd = after;
    m_history->Record(std::move(edit));
    m_anchor = m_caret = after;
    m_goalX = -1;
    ScrollToCaret();
    RaiseTextChanged();
}

void TextArea::Undo()
{
    if (m_readOnly || m_history->undo.empty())
    {
        return;
    }
    History::Edit edit = std::move(m_history->undo.back());
    m_history->undo.pop_back();
    m_lines.Replace(edit.start, edit.insertedEnd, edit.removed);
    TextPosition oldAnchor = m_anchor;
    TextPosition oldCaret = m_caret;
    m_anchor = edit.anchor;
    m_caret = edit.caret;
    m_goalX = -1;
    m_history->redo.push_back(std::move(edit));
    m_history->open = false;
    InvalidateSelectionChange(oldAnchor, oldCaret);
    ScrollToCaret();
    RaiseTextChanged();
}

void TextArea::Redo()
{
    if (m_readOnly || m_history->redo.empty())
    {
        return;
    }
    History::Edit edit = std::move(m_history->redo.back());
    m_history->redo.pop_back();
    TextPosition oldAnchor = m_anchor;
    TextPosition oldCaret = m_caret;
    m_anchor = m_caret = m_lines.Replace(edit.start, EndOf(edit.start, edit.removed), edit.inserted);
    m_goalX = -1;
    m_history->undo.push_back(std::move(edit));
    m_history->open = false;
    InvalidateSelectionChange(oldAnchor, oldCaret);
    ScrollToCaret();
    RaiseTextChanged();
}

bool TextArea::CanUndo() const
{
    return !m_readOnly && !m_history->undo.empty();
}

bool TextArea::CanRedo() const
{
    return !m_readOnly && !m_history->redo.empty();
}

void TextArea::Copy()
{
    if (HasSelection() && GetHandle() != nullptr)
    {
        PutOnClipboard(GetSelectedText());
    }
}

void TextArea::Cut()
{
    if (m_readOnly || !HasSelection())
    {
        return;
    }
    Copy();
    EditSelection(String(), EditKind::Other);
}

void TextArea::Paste()
{
    if (m_readOnly || GetHandle() == nullptr || !OpenClipboard(GetHandle()))
    {
        return;
    }
    String text;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data != nullptr)
    {
        const auto* characters = static_cast<const wchar_t*>(GlobalLock(data));
        if (characters != nullptr)
        {
            text = String(characters);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    EditSelection(text, EditKind::Other);
}

void TextArea::DeleteBackward(bool control)
{
    if (HasSelection())
    {
        EditSelection(String(), EditKind::Backspace);
        return;
    }
    TextPosition from = control ? WordLeft(m_caret) : CharacterLeft(m_caret);
    if (!m_readOnly && from != m_caret)
    {
        Replace(from, m_caret, String(), control ? EditKind::Other : EditKind::Backspace);
    }
}

void TextArea::DeleteForward(bool control)
{
    if (HasSelection())
    {
        EditSelection(String(), EditKind::Delete);
        return;
    }
    TextPosition to = control ? WordRight(m_caret) : CharacterRight(m_caret);
    if (!m_readOnly && to != m_caret)
    {
        Replace(m_caret, to, String(), control ? EditKind::Other : EditKind::Delete);
    }
}

// --- Positions ---

TextPosition TextArea::CharacterLeft(const TextPosition& position) const
{
    if (position.column == 0)
    {
        return position.line > 0 ? TextPosition{position.line - 1, m_lines.GetLineLength(position.line - 1)} : position;
    }
    const wchar_t* characters = m_lines.GetLineCharacters(position.line);
    int column = position.column - 1;
    if (column > 0 && IS_LOW_SURROGATE(characters[column]) && IS_HIGH_SURROGATE(characters[column - 1]))
    {
        column--;
    }
    return TextPosition{position.line, column};
}

TextPosition TextArea::CharacterRight(const TextPosition& position) const
{
    int length = m_lines.GetLineLength(position.line);
    if (position.column == length)
    {
        return position.line + 1 < m_lines.GetLineCount() ? TextPosition{position.line + 1, 0} : position;
    }
    const wchar_t* characters = m_lines.GetLineCharacters(position.line);
    int column = position.column + 1;
    if (column < length && IS_LOW_SURROGATE(characters[column]) && IS_HIGH_SURROGATE(characters[column - 1]))
    {
        column++;
    }
    return TextPosition{position.line, column};
}

// A line break is a stop of its own for the word keys, as in the system's edit control.
TextPosition TextArea::WordLeft(const TextPosition& position) const
{
    if (position.column == 0)
    {
        return CharacterLeft(position);
    }
    const wchar_t* characters = m_lines.GetLineCharacters(position.line);
    int i = position.column;
    while (i > 0 && !IsWordCharacter(characters[i - 1]))
    {
        i--;
    }
    while (i > 0 && IsWordCharacter(characters[i - 1]))
    {
        i--;
    }
    return TextPosition{position.line, i};
}

TextPosition TextArea::WordRight(const TextPosition& position) const
{
    int length = m_lines.GetLineLength(position.line);
    if (position.column == length)
    {
        return CharacterRight(position);
    }
    const wchar_t* characters = m_lines.GetLineCharacters(position.line);
    int i = position.column;
    while (i < length && IsWordCharacter(characters[i]))
    {
        i++;
    }
    while (i < length && !IsWordCharacter(characters[i]))
    {
        i++;
    }
    return TextPosition{position.line, i};
}

// --- Geometry ---

int TextArea::GetInset() const
{
    return Scale(Inset);
}

int TextArea::GetFrameThickness() const
{
    return Scale(1);
}

int TextArea::GetCaretWidth() const
{
    DWORD width = 1;
    SystemParametersInfoW(SPI_GETCARETWIDTH, 0, &width, 0);
    return Scale(static_cast<int>(width));
}

void TextArea::EnsureMeasures()
{
    FontHandle font = GetFontHandle();
    Measures& measures = *m_measures;
    if (measures.font == font && measures.lineHeight > 0)
    {
        return;
    }
    measures.font = font;
    measures.lineHeight = MeasureLineHeight(font, GetDpi());
    measures.lineHeight = measures.lineHeight > 0 ? measures.lineHeight : 1;
    int count = m_lines.GetLineCount();
    measures.widths.assign(static_cast<size_t>(count), 0);
    measures.widest = 0;
    ScreenRuler ruler(font);
    for (int line = 0; line < count; line++)
    {
        int width = ruler.Width(m_lines.GetLineCharacters(line), m_lines.GetLineLength(line));
        measures.widths[static_cast<size_t>(line)] = width;
        measures.widest = std::max(measures.widest, width);
    }
}

int TextArea::GetLineHeight()
{
    EnsureMeasures();
    return m_measures->lineHeight;
}

int TextArea::GetFirstVisibleLine()
{
    int offset = GetScrollPosition().y - GetInset();
    return offset > 0 ? offset / GetLineHeight() : 0;
}

int TextArea::GetVisibleLineCount()
{
    int count = GetViewportRectangle().height / GetLineHeight();
    return count > 1 ? count : 1;
}

int TextArea::ColumnX(const TextPosition& position)
{
    EnsureMeasures();
    ScreenRuler ruler(m_measures->font);
    return ruler.Width(m_lines.GetLineCharacters(position.line), position.column);
}

int TextArea::ColumnAt(int line, int x)
{
    EnsureMeasures();
    const wchar_t* characters = m_lines.GetLineCharacters(line);
    int length = m_lines.GetLineLength(line);
    std::vector<int>& advances = m_measures->advances;
    ScreenRuler ruler(m_measures->font);
    ruler.Advances(characters, length, advances);
    int travelled = 0;
    for (int i = 0; i < length; i++)
    {
        int width = advances[static_cast<size_t>(i)];
        // Past the middle of a character means after it.
        if (x < travelled + (width + 1) / 2)
        {
            bool insidePair = i > 0 && IS_LOW_SURROGATE(characters[i]) && IS_HIGH_SURROGATE(characters[i - 1]);
            return insidePair ? i - 1 : i;
        }
        travelled += width;
    }
    return length;
}

TextPosition TextArea::PositionAt(const Point& point)
{
    Point position = GetScrollPosition();
    int inset = GetInset();
    int y = point.y + position.y - inset;
    int line = y < 0 ? 0 : y / GetLineHeight();
    line = line < m_lines.GetLineCount() ? line : m_lines.GetLineCount() - 1;
    return TextPosition{line, ColumnAt(line, point.x + position.x - inset)};
}

Rectangle TextArea::LineBounds(int firstLine, int lastLine)
{
    Rectangle viewport = GetViewportRectangle();
    long long height = GetLineHeight();
    long long origin = GetInset() - static_cast<long long>(GetScrollPosition().y);
    long long top = std::max(origin + firstLine * height, 0LL);
    long long bottom =
        std::min(origin + (static_cast<long long>(lastLine) + 1) * height, static_cast<long long>(viewport.height));
    if (bottom <= top)
    {
        return Rectangle{};
    }
    return Rectangle{0, static_cast<int>(top), viewport.width, static_cast<int>(bottom - top)};
}

void TextArea::UpdateScrollSize()
{
    EnsureMeasures();
    int inset = GetInset();
    int height = m_measures->lineHeight;
    Size size{m_measures->widest + 2 * inset + GetCaretWidth(), m_lines.GetLineCount() * height + 2 * inset};
    SetScrollLineSize(height, height);
    // The bars are touched only when the size changes: most keystrokes leave it as it is.
    if (size != GetScrollSize())
    {
        SetScrollSize(size);
    }
}

void TextArea::ScrollToCaret()
{
    if (GetHandle() == nullptr)
    {
        return;
    }
    int inset = GetInset();
    int height = GetLineHeight();
    int x = ColumnX(m_caret);
    Size content = GetScrollSize();
    // The inset shows with the first and last lines and with the start of a line.
    int left = m_caret.column == 0 ? 0 : inset + x;
    int right = std::min(content.width, inset + x + GetCaretWidth() + inset);
    int top = m_caret.line == 0 ? 0 : inset + m_caret.line * height;
    int bottom = m_caret.line == m_lines.GetLineCount() - 1 ? content.height : inset + (m_caret.line + 1) * height;
    ScrollIntoView(Rectangle{left, top, right - left, bottom - top});
    PlaceCaret(x);
}

void TextArea::UpdateCaret()
{
    if (m_hasCaret && GetHandle() != nullptr)
    {
        PlaceCaret(ColumnX(m_caret));
    }
}

void TextArea::PlaceCaret(int caretX)
{
    if (!m_hasCaret || GetHandle() == nullptr)
    {
        return;
    }
    Point position = GetScrollPosition();
    int inset = GetInset();
    int height = GetLineHeight();
    int x = inset + caretX - position.x;
    int y = inset + m_caret.line * height - position.y;
    Rectangle viewport = GetViewportRectangle();
    // Out of view it goes out of the window, not over the scroll bars.
    if (x < 0 || x + GetCaretWidth() > viewport.width || y + height <= 0 || y >= viewport.height)
    {
        x = -2 * GetCaretWidth() - 1;
        y = -2 * height - 1;
    }
    SetCaretPos(x, y);
}

void TextArea::InvalidateSelectionChange(const TextPosition& oldAnchor, const TextPosition& oldCaret)
{
    if (oldAnchor == oldCaret && !HasSelection())
    {
        return;
    }
    TextPosition oldStart = std::min(oldAnchor, oldCaret);
    TextPosition oldEnd = std::max(oldAnchor, oldCaret);
    int first = std::min(oldStart.line, GetSelectionStart().line);
    int last = std::max(oldEnd.line, GetSelectionEnd().line);
    if (GetHandle() != nullptr)
    {
        int shown = GetFirstVisibleLine() + GetVisibleLineCount() + 1;
        Invalidate(LineBounds(first, std::min(last, shown)));
    }
}

// --- The model's changes ---

void TextArea::OnLinesReplaced(int first, int removed, int inserted)
{
    Measures& measures = *m_measures;
    if (measures.font != nullptr && measures.font == GetFontHandle())
    {
        std::vector<int>& widths = measures.widths;
        bool widestGone = false;
        for (int line = first; line < first + removed; line++)
        {
            widestGone = widestGone || widths[static_cast<size_t>(line)] >= measures.widest;
        }
        widths.erase(widths.begin() + first, widths.begin() + first + removed);
        widths.insert(widths.begin() + first, static_cast<size_t>(inserted), 0);
        ScreenRuler ruler(measures.font);
        int widestNew = 0;
        for (int line = first; line < first + inserted; line++)
        {
            int width = ruler.Width(m_lines.GetLineCharacters(line), m_lines.GetLineLength(line));
            widths[static_cast<size_t>(line)] = width;
            widestNew = std::max(widestNew, width);
        }
        if (widestGone && widestNew < measures.widest)
        {
            // The widest line got narrower or went: the widths known are enough to find the next.
            measures.widest = *std::max_element(widths.begin(), widths.end());
        }
        else
        {
            measures.widest = std::max(measures.widest, widestNew);
        }
    }
    else
    {
        measures.font = nullptr;
    }
    if (GetHandle() != nullptr && removed != inserted)
    {
        ShiftLines(first + std::min(removed, inserted), inserted - removed);
    }
    UpdateScrollSize();
    if (GetHandle() != nullptr)
    {
        Invalidate(LineBounds(first, first + inserted - 1));
    }
}

void TextArea::ShiftLines(int firstLine, int delta)
{
    // The lines below an edit that added or removed lines move on the screen as they are, and only the strip they
    // leave is painted again: Enter repaints two lines, not the whole view.
    Rectangle viewport = GetViewportRectangle();
    int inset = GetInset();
    Rectangle band{0, inset, viewport.width, viewport.height - 2 * inset};
    long long height = GetLineHeight();
    long long top = inset + firstLine * height - GetScrollPosition().y;
    if (band.IsEmpty() || top >= band.GetBottom())
    {
        return;
    }
    long long distance = delta * height;
    if (top < band.top || distance >= band.height || -distance >= band.height)
    {
        // The edit is above the view, or moves everything out of it.
        Invalidate(band);
        return;
    }
    RECT area = {0, static_cast<LONG>(top), band.width, band.GetBottom()};
    ScrollWindowEx(GetHandle(), 0, static_cast<int>(distance), &area, &area, nullptr, nullptr, SW_INVALIDATE);
}

// --- Moving the caret ---

void TextArea::MoveCaret(const TextPosition& position, bool extend, bool keepGoal)
{
    TextPosition oldAnchor = m_anchor;
    TextPosition oldCaret = m_caret;
    m_caret = m_lines.Clamp(position);
    if (!extend)
    {
        m_anchor = m_caret;
    }
    if (!keepGoal)
    {
        m_goalX = -1;
    }
    m_history->open = false;
    InvalidateSelectionChange(oldAnchor, oldCaret);
    ScrollToCaret();
}

void TextArea::MoveCaretByKey(int key, bool shift, bool control)
{
    bool collapse = !shift && HasSelection();
    switch (key)
    {
    case Keys::Left:
        MoveCaret(collapse && !control ? GetSelectionStart()
                  : control            ? WordLeft(m_caret)
                                       : CharacterLeft(m_caret),
                  shift);
        return;
    case Keys::Right:
        MoveCaret(collapse && !control ? GetSelectionEnd()
                  : control            ? WordRight(m_caret)
                                       : CharacterRight(m_caret),
                  shift);
        return;
    case Keys::Home:
        MoveCaret(control ? TextPosition{} : TextPosition{m_caret.line, 0}, shift);
        return;
    case Keys::End:
        MoveCaret(control ? m_lines.GetEnd() : TextPosition{m_caret.line, m_lines.GetLineLength(m_caret.line)}, shift);
        return;
    default:
        break;
    }
    // Up, Down and the page keys keep to the x where the vertical movement began.
    int goal = m_goalX >= 0 ? m_goalX : ColumnX(m_caret);
    int page = GetVisibleLineCount();
    int step = key == Keys::Up ? -1 : key == Keys::Down ? 1 : key == Keys::PageUp ? -page : page;
    int line = std::clamp(m_caret.line + step, 0, m_lines.GetLineCount() - 1);
    if (key == Keys::PageUp || key == Keys::PageDown)
    {
        // The view turns a page with the caret, so the caret stays where it was on the screen.
        ScrollBy(0, (line - m_caret.line) * GetLineHeight());
    }
    MoveCaret(TextPosition{line, ColumnAt(line, goal)}, shift, true);
    m_goalX = goal;
}

// --- Keyboard ---

bool TextArea::IsInputKey(int keyData) const
{
    if ((keyData & Keys::Alt) != 0)
    {
        return false;
    }
    if (Keys::IsNavigation(keyData))
    {
        return true;
    }
    // Enter makes a new line instead of pressing the dialog's accept button; a read-only area leaves it to the
    // dialog, and Tab always moves the focus.
    return (keyData & Keys::KeyCode) == Keys::Return && (keyData & Keys::Control) == 0 && !m_readOnly;
}

bool TextArea::OnKeyDown(int keyData)
{
    int key = keyData & Keys::KeyCode;
    bool shift = (keyData & Keys::Shift) != 0;
    bool control = (keyData & Keys::Control) != 0;
    if ((keyData & Keys::Alt) != 0)
    {
        return false;
    }
    if (Keys::IsNavigation(keyData))
    {
        MoveCaretByKey(key, shift, control);
        return true;
    }
    switch (key)
    {
    case Keys::Return:
        if (control || m_readOnly)
        {
            return false;
        }
        EditSelection(String(L"\r\n"), EditKind::Typing);
        return true;
    case Keys::Back:
        DeleteBackward(control);
        return true;
    case Keys::Delete:
        if (shift)
        {
            Cut();
        }
        else
        {
            DeleteForward(control);
        }
        return true;
    case Keys::Insert:
        if (control && !shift)
        {
            Copy();
            return true;
        }
        if (shift && !control)
        {
            Paste();
            return true;
        }
        return false;
    default:
        return control && OnEditShortcut(key, shift);
    }
}

bool TextArea::OnEditShortcut(int key, bool shift)
{
    if (shift)
    {
        if (key == 'Z')
        {
            Redo();
            return true;
        }
        return false;
    }
    switch (key)
    {
    case 'A':
        SelectAll();
        return true;
    case 'C':
        Copy();
        return true;
    case 'X':
        Cut();
        return true;
    case 'V':
        Paste();
        return true;
    case 'Z':
        Undo();
        return true;
    case 'Y':
        Redo();
        return true;
    default:
        return false;
    }
}

bool TextArea::OnKeyPress(wchar_t character)
{
    // Control characters come from keys handled at the key press (Enter, Backspace, Ctrl+C, ...); Tab moves on.
    if (character < L' ' || character == 0x7F)
    {
        return false;
    }
    EditSelection(String(character, 1), EditKind::Typing);
    return true;
}

// --- Mouse ---

void TextArea::OnMouseDown(const Point& point, int button, int keys)
{
    if (button != MouseButtons::Left)
    {
        return;
    }
    if (!IsFocused())
    {
        Focus();
    }
    m_lastMouse = point;
    MoveCaret(PositionAt(point), (keys & Keys::Shift) != 0);
    m_selecting = true;
    CaptureMouse();
}

void TextArea::OnMouseMove(const Point& point, int)
{
    if (!m_selecting)
    {
        return;
    }
    m_lastMouse = point;
    MoveCaret(PositionAt(point), true);
    // Held beyond an edge, the view goes on scrolling towards the mouse.
    bool outside = !GetViewportRectangle().Contains(point);
    if (outside != m_autoScrolling)
    {
        m_autoScrolling = outside;
        if (outside)
        {
            StartTimer(AutoScrollTimer, AutoScrollInterval);
        }
        else
        {
            StopTimer(AutoScrollTimer);
        }
    }
}

void TextArea::StopSelecting()
{
    m_selecting = false;
    if (m_autoScrolling)
    {
        m_autoScrolling = false;
        StopTimer(AutoScrollTimer);
    }
}

void TextArea::OnMouseUp(const Point&, int button, int)
{
    if (button == MouseButtons::Left && m_selecting)
    {
        StopSelecting();
        ReleaseMouse();
    }
}

void TextArea::OnCaptureLost()
{
    if (m_selecting)
    {
        StopSelecting();
    }
}

void TextArea::OnTimer(int id)
{
    if (id == AutoScrollTimer && m_selecting)
    {
        MoveCaret(PositionAt(m_lastMouse), true);
    }
}

void TextArea::OnMouseDoubleClick(const Point& point, int button, int)
{
    if (button != MouseButtons::Left)
    {
        return;
    }
    TextPosition position = PositionAt(point);
    const wchar_t* characters = m_lines.GetLineCharacters(position.line);
    int length = m_lines.GetLineLength(position.line);
    int start = position.column;
    int end = position.column;
    while (start > 0 && IsWordCharacter(characters[start - 1]))
    {
        start--;
    }
    while (end < length && IsWordCharacter(characters[end]))
    {
        end++;
    }
    SetSelection(TextPosition{position.line, start}, TextPosition{position.line, end});
}

void TextArea::OnMouseEnter()
{
    PaintFrame();
}

void TextArea::OnMouseLeave()
{
    PaintFrame();
}

// --- Focus, state and look ---

void TextArea::OnGotFocus()
{
    if (!CreateCaret(GetHandle(), nullptr, GetCaretWidth(), GetLineHeight()))
    {
        throw Exception(String(L"TextArea class. Failed to create caret."));
    }
    m_hasCaret = true;
    UpdateCaret();
    ShowCaret(GetHandle());
    PaintFrame();
    ScrollableControl::OnGotFocus();
}

void TextArea::OnLostFocus()
{
    if (m_hasCaret)
    {
        m_hasCaret = false;
        DestroyCaret();
    }
    if (m_selecting)
    {
        StopSelecting();
        ReleaseMouse();
    }
    PaintFrame();
    ScrollableControl::OnLostFocus();
}

void TextArea::OnEnabledChanged()
{
    PaintFrame();
    ScrollableControl::OnEnabledChanged();
}

void TextArea::OnResize()
{
    ScrollableControl::OnResize();
    UpdateCaret();
}

void TextArea::RemeasureAll()
{
    m_measures->font = nullptr;
    UpdateScrollSize();
    if (m_hasCaret)
    {
        // The caret takes the new line height.
        DestroyCaret();
        CreateCaret(GetHandle(), nullptr, GetCaretWidth(), GetLineHeight());
        ShowCaret(GetHandle());
    }
    ScrollToCaret();
}

void TextArea::OnFontChanged()
{
    RemeasureAll();
    ScrollableControl::OnFontChanged();
}

void TextArea::OnDpiChanged(int oldDpi, int newDpi)
{
    if (GetHandle() != nullptr)
    {
        // The frame's thickness follows the DPI.
        SetWindowPos(GetHandle(), nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RemeasureAll();
    ScrollableControl::OnDpiChanged(oldDpi, newDpi);
}

void TextArea::OnScroll(const Point& oldPosition, const Point& newPosition)
{
    ScrollableControl::OnScroll(oldPosition, newPosition);
    UpdateCaret();
}

Color TextArea::GetDefaultBackColor() const
{
    return m_readOnly || !IsEnabled() ? Theme::Face() : Theme::Window();
}

Color TextArea::GetDefaultForeColor() const
{
    return Theme::WindowText();
}

AccessibleObject* TextArea::CreateAccessibilityObject()
{
    return new TextAreaAccessibleObject(*this);
}

intptr_t TextArea::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case WM_NCCALCSIZE:
    {
        // A frame of the toolkit's own, outside the client area, so the scroll bars sit inside it.
        intptr_t result = ScrollableControl::WndProc(message, wParam, lParam);
        auto* rect = reinterpret_cast<RECT*>(lParam);
        int frame = GetFrameThickness();
        rect->left += frame;
        rect->top += frame;
        rect->right = std::max(rect->left, rect->right - frame);
        rect->bottom = std::max(rect->top, rect->bottom - frame);
        return result;
    }
    case WM_NCPAINT:
        PaintFrame();
        return 0;
    default:
        return ScrollableControl::WndProc(message, wParam, lParam);
    }
}

void TextArea::PaintFrame()
{
    if (GetHandle() == nullptr)
    {
        return;
    }
    WholeWindowContext context(GetHandle());
    RECT window;
    GetWindowRect(GetHandle(), &window);
    bool enabled = IsEnabled();
    Color border = !enabled          ? Colors::Blend(Theme::InputBorder(), Theme::Face(), 40)
                   : IsFocused()     ? Theme::Highlight()
                   : IsMouseInside() ? Theme::InputBorderHover()
                                     : Theme::InputBorder();
    Graphics graphics(context.Get(), GetDpi());
    graphics.DrawRectangle(Rectangle{0, 0, window.right - window.left, window.bottom - window.top}, border,
                           GetFrameThickness());
}

// --- Painting ---

void TextArea::OnPaint(Graphics& graphics, const Rectangle& clip)
{
    EnsureMeasures();
    Rectangle viewport = GetViewportRectangle();
    Point position = GetScrollPosition();
    int height = m_measures->lineHeight;
    int inset = GetInset();
    int state = graphics.Save();
    // The inset is a margin that stays: lines scrolled into it are cut off there.
    graphics.IntersectClip(viewport.Deflate(inset, inset));
    {
        // Measured on the paint's own device context: no other is needed.
        LineRuler ruler(graphics.GetHandle(), m_measures->font);
        // Only the lines in the clip, found by arithmetic.
        int first = std::max(0, (clip.top + position.y - inset) / height);
        int last = std::min(m_lines.GetLineCount() - 1, (clip.GetBottom() - 1 + position.y - inset) / height);
        for (int line = first; line <= last; line++)
        {
            ruler.Advances(m_lines.GetLineCharacters(line), m_lines.GetLineLength(line), m_measures->advances);
            PaintLine(graphics, line, inset + line * height - position.y, viewport.width);
        }
    }
    graphics.Restore(state);
}

void TextArea::PaintLine(Graphics& graphics, int line, int y, int width)
{
    const wchar_t* characters = m_lines.GetLineCharacters(line);
    int length = m_lines.GetLineLength(line);
    FontHandle font = m_measures->font;
    int height = m_measures->lineHeight;
    const std::vector<int>& advances = m_measures->advances;
    // Client x of each character boundary; only the characters in view are drawn, from where the measurement
    // put them, so a long line gives GDI no far coordinates.
    int origin = GetInset() - GetScrollPosition().x;
    std::vector<int>& offsets = m_measures->offsets;
    offsets.assign(static_cast<size_t>(length) + 1, origin);
    for (int i = 0; i < length; i++)
    {
        offsets[static_cast<size_t>(i) + 1] = offsets[static_cast<size_t>(i)] + advances[static_cast<size_t>(i)];
    }
    int firstShown = 0;
    while (firstShown < length && offsets[static_cast<size_t>(firstShown) + 1] <= 0)
    {
        firstShown++;
    }
    int endShown = firstShown;
    while (endShown < length && offsets[static_cast<size_t>(endShown)] < width)
    {
        endShown++;
    }
    Point at{offsets[static_cast<size_t>(firstShown)], y};
    const wchar_t* shown = characters + firstShown;
    const int* shownAdvances = advances.data() + firstShown;
    int count = endShown - firstShown;
    graphics.DrawCharacters(shown, count, shownAdvances, at, font, IsEnabled() ? GetForeColor() : Theme::GrayText());

    TextPosition start = GetSelectionStart();
    TextPosition end = GetSelectionEnd();
    if (!HasSelection() || !IsFocused() || line < start.line || line > end.line)
    {
        return;
    }
    auto clamped = [width](int x) { return std::clamp(x, -1, width + 1); };
    int left = clamped(offsets[static_cast<size_t>(line == start.line ? start.column : 0)]);
    int right = offsets[static_cast<size_t>(line == end.line ? end.column : length)];
    // A selected line break shows as a little room after the line.
    right = clamped(line < end.line ? right + height / 3 : right);
    if (right <= left)
    {
        return;
    }
    Rectangle selection{left, y, right - left, height};
    int state = graphics.Save();
    graphics.IntersectClip(selection);
    graphics.FillRectangle(selection, Theme::Highlight());
    graphics.DrawCharacters(shown, count, shownAdvances, at, font, Theme::HighlightText());
    graphics.Restore(state);
}

} // namespace Core::Controls
