#include "core/controls/TextBox.h"

#include "core/Exception.h"
#include "core/controls/GdiHandles.h"
#include "core/controls/Graphics.h"
#include "core/controls/Theme.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

namespace Core::Controls
{

namespace
{

constexpr int Inset = 4;

bool IsWordCharacter(wchar_t character)
{
    return IsCharAlphaNumericW(character) || character == L'_';
}

// The first line of pasted text: a single-line box has no place for the rest.
String FirstLine(const String& text)
{
    for (int i = 0; i < text.GetLength(); i++)
    {
        if (text[i] == L'\r' || text[i] == L'\n')
        {
            return text.Substring(0, i);
        }
    }
    return text;
}

// text with length characters from start replaced by insert, built in one buffer so that no piece of a
// password is left behind in a freed intermediate string.
String Splice(const String& text, int start, int length, const String& insert)
{
    int total = text.GetLength() - length + insert.GetLength();
    std::vector<wchar_t> buffer(static_cast<size_t>(total) + 1);
    const wchar_t* source = text.GetBuffer();
    std::copy(source, source + start, buffer.data());
    std::copy(insert.GetBuffer(), insert.GetBuffer() + insert.GetLength(), buffer.data() + start);
    std::copy(source + start + length, source + text.GetLength(), buffer.data() + start + insert.GetLength());
    String result(buffer.data(), total);
    SecureZeroMemory(buffer.data(), buffer.size() * sizeof(wchar_t));
    return result;
}

// The shown characters of a box and their widths on the screen, measured a piece at a time where they are
// needed: a text of any length costs what the box shows, and GDI never sees a long string or a large coordinate.
class Ruler
{
public:
    Ruler(const String& text, wchar_t passwordChar, FontHandle font)
        : m_font(m_screen.Get(), font), m_text(text), m_passwordChar(passwordChar)
    {
    }

    int GetLength() const { return m_text.GetLength(); }

    // count characters from start, as they are shown.
    const wchar_t* Shown(int start, int count)
    {
        if (m_passwordChar == 0)
        {
            return m_text.GetBuffer() + start;
        }
        if (m_mask.size() < static_cast<size_t>(count))
        {
            m_mask.assign(static_cast<size_t>(count), m_passwordChar);
        }
        return m_mask.data();
    }

    // Appends the widths of the characters from start towards end, until they add up to more than limit.
    void Forward(int start, int end, int limit, std::vector<int>& widths)
    {
        int sum = 0;
        while (start < end && sum <= limit)
        {
            int count = PieceAfter(start, end);
            Measure(start, count);
            for (int width : m_piece)
            {
                widths.push_back(width);
                sum += width;
            }
            start += count;
        }
    }

    // The width from start to end; past limit, some width past it.
    int Span(int start, int end, int limit)
    {
        m_span.clear();
        Forward(start, end, limit, m_span);
        int sum = 0;
        for (int width : m_span)
        {
            sum += width;
        }
        return sum;
    }

    // The first index from which the characters up to end fit in room.
    int FitBefore(int end, int room)
    {
        int sum = 0;
        while (end > 0)
        {
            int start = PieceBefore(end);
            Measure(start, end - start);
            for (int i = end - start - 1; i >= 0; i--)
            {
                if (sum + m_piece[static_cast<size_t>(i)] > room)
                {
                    return start + i + 1;
                }
                sum += m_piece[static_cast<size_t>(i)];
            }
            end = start;
        }
        return 0;
    }

    // The character boundary nearest to offset pixels from boundary origin (to its left when negative): past the
    // middle of a character means beyond it.
    int Nearest(int origin, int offset)
    {
        int travelled = 0;
        if (offset >= 0)
        {
            for (int start = origin; start < GetLength();)
            {
                int count = PieceAfter(start, GetLength());
                Measure(start, count);
                for (int i = 0; i < count; i++)
                {
                    int width = m_piece[static_cast<size_t>(i)];
                    if (offset < travelled + (width + 1) / 2)
                    {
                        return start + i;
                    }
                    travelled += width;
                }
                start += count;
            }
            return GetLength();
        }
        for (int end = origin; end > 0;)
        {
            int start = PieceBefore(end);
            Measure(start, end - start);
            for (int i = end - start - 1; i >= 0; i--)
            {
                int width = m_piece[static_cast<size_t>(i)];
                if (-offset <= travelled + width / 2)
                {
                    return start + i + 1;
                }
                travelled += width;
            }
            end = start;
        }
        return 0;
    }

private:
    static constexpr int Piece = 128;

    // A piece never ends inside a surrogate pair, so each character is measured whole.
    int PieceAfter(int start, int end) const
    {
        int count = end - start < Piece ? end - start : Piece;
        if (start + count < end && IS_HIGH_SURROGATE(m_text[start + count - 1]))
        {
            count++;
        }
        return count;
    }
    int PieceBefore(int end) const
    {
        int start = end > Piece ? end - Piece : 0;
        if (start > 0 && IS_LOW_SURROGATE(m_text[start]))
        {
            start--;
        }
        return start;
    }

    // The widths of count characters from start into m_piece; all 0 when GDI cannot measure them.
    void Measure(int start, int count)
    {
        m_piece.assign(static_cast<size_t>(count), 0);
        SIZE size = {};
        if (count > 0 &&
            GetTextExtentExPointW(m_screen.Get(), Shown(start, count), count, 0, nullptr, m_piece.data(), &size))
        {
            // GDI gives the extent of each prefix.
            for (int i = count - 1; i > 0; i--)
            {
                m_piece[static_cast<size_t>(i)] -= m_piece[static_cast<size_t>(i - 1)];
            }
        }
    }

    ScreenContext m_screen;
    Selection m_font;
    const String& m_text; // not owned: the box's text, unchanged while the ruler lives
    wchar_t m_passwordChar;
    std::wstring m_mask;
    std::vector<int> m_piece;
    std::vector<int> m_span;
};

} // namespace

TextBox::TextBox(const String& text)
{
    SetClassName(String(L"Core.Controls.TextBox"));
    SetTabStop(true);
    SetCursorId(0x7F01);
    SetSize(120, 23);
    TextBox::SetText(text);
}

TextBox::~TextBox()
{
    if (HoldsSecretText())
    {
        m_undoText.Wipe();
        // The control's own copy goes with the control: wipe it through the one way that reaches it.
        Control::SetText(String());
    }
}

void TextBox::SetText(const String& text)
{
    Control::SetText(text);
    m_anchor = m_caret = text.GetLength();
    m_canUndo = false;
    m_lastEditTyping = false;
    ScrollToCaret();
}

void TextBox::SetPasswordChar(wchar_t character)
{
    if (character <= 31)
    {
        throw ArgumentException(String(
            L"TextBox.SetPasswordChar method: password character must be a valid character with ASCII code > 31"));
    }
    m_passwordChar = character;
    SyncNativeText();
    ScrollToCaret();
}

void TextBox::ResetPasswordChar()
{
    m_passwordChar = 0;
    SyncNativeText();
    ScrollToCaret();
}

String TextBox::GetDisplayText() const
{
    return m_passwordChar != 0 ? String(m_passwordChar, GetText().GetLength()) : GetText();
}

void TextBox::SetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    Invalidate();
}

String TextBox::GetSelectedText() const
{
    return GetText().Substring(GetSelectionStart(), GetSelectionLength());
}

void TextBox::SetSelection(int start, int length)
{
    int textLength = GetText().GetLength();
    if (start < 0 || length < 0 || start > textLength || length > textLength - start)
    {
        throw ArgumentException(String(L"TextBox.SetSelection method has invalid arguments."));
    }
    m_anchor = start;
    m_caret = start + length;
    m_lastEditTyping = false;
    ScrollToCaret();
    Invalidate();
}

void TextBox::SelectAll()
{
    SetSelection(0, GetText().GetLength());
}

void TextBox::SetCaret2DPosition(int lineNumber, int charIndex)
{
    if (lineNumber != 0)
    {
        throw ArgumentOutOfRangeException(lineNumber,
                                          String(L"TextBox.SetCaret2DPosition:: lineNumber is out of range."));
    }
    if (charIndex < 0 || charIndex > GetText().GetLength())
    {
        throw ArgumentOutOfRangeException(charIndex,
                                          String(L"TextBox.SetCaret2DPosition:: charIndex is out of range."));
    }
    MoveCaret(charIndex, false);
}

// --- Geometry ---

Rectangle TextBox::GetTextArea() const
{
    Rectangle client = GetClientRectangle();
    int inset = Scale(Inset);
    return Rectangle{inset, 0, client.width - 2 * inset, client.height};
}

int TextBox::IndexAt(int x)
{
    Ruler ruler(GetText(), m_passwordChar, GetFontHandle());
    return ruler.Nearest(m_firstShown, x - GetTextArea().left);
}

void TextBox::ScrollToCaret()
{
    Ruler ruler(GetText(), m_passwordChar, GetFontHandle());
    int length = ruler.GetLength();
    // The caret's own width stays inside the text area.
    int room = GetTextArea().width - Scale(1);
    if (m_firstShown > length)
    {
        m_firstShown = length;
    }
    int offset = 0;
    if (m_caret < m_firstShown)
    {
        m_firstShown = m_caret;
    }
    else
    {
        offset = ruler.Span(m_firstShown, m_caret, room);
        if (offset > room)
        {
            m_firstShown = ruler.FitBefore(m_caret, room);
            offset = ruler.Span(m_firstShown, m_caret, room);
        }
    }
    // While characters before the view are hidden, the end of the text leaves no empty room (after a deletion, or
    // in a wider box).
    int rest = m_firstShown > 0 ? ruler.Span(m_firstShown, length, room) : room;
    if (rest < room)
    {
        int first = ruler.FitBefore(m_firstShown, room - rest);
        offset += ruler.Span(first, m_firstShown, room);
        m_firstShown = first;
    }
    UpdateCaret(offset);
    Invalidate();
}

void TextBox::UpdateCaret(int offset)
{
    if (!m_hasCaret || GetHandle() == nullptr)
    {
        return;
    }
    Rectangle area = GetTextArea();
    int lineHeight = MeasureLineHeight(GetFontHandle(), GetDpi());
    SetCaretPos(area.left + offset, (area.height - lineHeight) / 2);
}

// --- Editing ---

void TextBox::MoveCaret(int index, bool extend)
{
    int length = GetText().GetLength();
    m_caret = index < 0 ? 0 : index > length ? length : index;
    if (!extend)
    {
        m_anchor = m_caret;
    }
    m_lastEditTyping = false;
    ScrollToCaret();
}

void TextBox::SaveUndo(bool typing)
{
    // Characters typed one after another are one edit, as in the system's edit control.
    if (typing && m_lastEditTyping && m_canUndo)
    {
        return;
    }
    if (HoldsSecretText())
    {
        m_undoText.Wipe();
    }
    m_undoText = GetText();
    m_undoAnchor = m_anchor;
    m_undoCaret = m_caret;
    m_canUndo = true;
}

void TextBox::ReplaceSelection(const String& inserted, bool typing)
{
    if (m_readOnly)
    {
        return;
    }
    String text = GetText();
    int start = GetSelectionStart();
    int length = GetSelectionLength();
    String insert = inserted;
    if (m_maxLength > 0 && text.GetLength() - length + insert.GetLength() > m_maxLength)
    {
        int room = m_maxLength - (text.GetLength() - length);
        insert = insert.Substring(0, room > 0 ? room : 0);
    }
    if (length == 0 && insert.IsEmpty())
    {
        return;
    }
    SaveUndo(typing);
    String result = Splice(text, start, length, insert);
    m_anchor = m_caret = start + insert.GetLength();
    Control::SetText(result);
    if (HoldsSecretText())
    {
        text.Wipe();
        insert.Wipe();
        result.Wipe();
    }
    m_lastEditTyping = typing;
    ScrollToCaret();
}

void TextBox::Undo()
{
    if (!m_canUndo || m_readOnly)
    {
        return;
    }
    String text = GetText();
    int anchor = m_anchor;
    int caret = m_caret;
    m_anchor = m_undoAnchor;
    m_caret = m_undoCaret;
    Control::SetText(m_undoText);
    // What was undone becomes the edit to undo, so that undoing twice restores it.
    if (HoldsSecretText())
    {
        m_undoText.Wipe();
    }
    m_undoText = std::move(text);
    m_undoAnchor = anchor;
    m_undoCaret = caret;
    m_lastEditTyping = false;
    ScrollToCaret();
}

void TextBox::Copy()
{
    // A password is never handed out.
    if (m_passwordChar != 0 || GetSelectionLength() == 0 || GetHandle() == nullptr)
    {
        return;
    }
    PutOnClipboard(GetSelectedText());
}

void TextBox::Cut()
{
    if (m_passwordChar != 0 || m_readOnly || GetSelectionLength() == 0)
    {
        return;
    }
    Copy();
    ReplaceSelection(String(), false);
}

void TextBox::Paste()
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
    ReplaceSelection(FirstLine(text), false);
}

int TextBox::WordStart(int index) const
{
    const String& text = GetText();
    int i = index;
    while (i > 0 && !IsWordCharacter(text[i - 1]))
    {
        i--;
    }
    while (i > 0 && IsWordCharacter(text[i - 1]))
    {
        i--;
    }
    return i;
}

int TextBox::WordEnd(int index) const
{
    const String& text = GetText();
    int length = text.GetLength();
    int i = index;
    while (i < length && IsWordCharacter(text[i]))
    {
        i++;
    }
    while (i < length && !IsWordCharacter(text[i]))
    {
        i++;
    }
    return i;
}

// --- Keyboard ---

bool TextBox::IsInputKey(int keyData) const
{
    int key = keyData & Keys::KeyCode;
    return key == Keys::Left || key == Keys::Right || key == Keys::Home || key == Keys::End;
}

bool TextBox::OnKeyDown(int keyData)
{
    int key = keyData & Keys::KeyCode;
    bool shift = (keyData & Keys::Shift) != 0;
    bool control = (keyData & Keys::Control) != 0;
    switch (key)
    {
    case Keys::Left:
    case Keys::Right:
    case Keys::Home:
    case Keys::End:
        MoveCaretByKey(key, shift, control);
        return true;
    case Keys::Delete:
        DeleteForward(shift, control);
        return true;
    case Keys::Back:
        DeleteBackward(control);
        return true;
    case Keys::Insert:
        return OnInsertKey(shift, control);
    default:
        break;
    }
    if (control && !shift && (keyData & Keys::Alt) == 0)
    {
        return OnEditShortcut(key);
    }
    return false;
}

bool TextBox::JumpsByWords(bool control) const
{
    // Word boundaries would tell the shape of a password.
    return control && m_passwordChar == 0;
}

void TextBox::MoveCaretByKey(int key, bool shift, bool control)
{
    bool collapse = !shift && !control && GetSelectionLength() > 0;
    switch (key)
    {
    case Keys::Left:
        if (collapse)
        {
            MoveCaret(GetSelectionStart(), false);
        }
        else
        {
            MoveCaret(JumpsByWords(control) ? WordStart(m_caret) : m_caret - 1, shift);
        }
        break;
    case Keys::Right:
        if (collapse)
        {
            MoveCaret(GetSelectionStart() + GetSelectionLength(), false);
        }
        else
        {
            MoveCaret(JumpsByWords(control) ? WordEnd(m_caret) : m_caret + 1, shift);
        }
        break;
    case Keys::Home:
        MoveCaret(0, shift);
        break;
    default:
        MoveCaret(GetText().GetLength(), shift);
        break;
    }
}

void TextBox::DeleteForward(bool shift, bool control)
{
    if (shift)
    {
        Cut();
        return;
    }
    if (GetSelectionLength() == 0)
    {
        int length = GetText().GetLength();
        if (m_caret >= length)
        {
            return;
        }
        int end = JumpsByWords(control) ? WordEnd(m_caret) : m_caret + 1;
        m_anchor = end > length ? length : end;
    }
    ReplaceSelection(String(), false);
}

void TextBox::DeleteBackward(bool control)
{
    if (GetSelectionLength() == 0 && m_caret > 0)
    {
        m_anchor = JumpsByWords(control) ? WordStart(m_caret) : m_caret - 1;
    }
    ReplaceSelection(String(), false);
}

bool TextBox::OnInsertKey(bool shift, bool control)
{
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
}

bool TextBox::OnEditShortcut(int key)
{
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
    default:
        return false;
    }
}

bool TextBox::OnKeyPress(wchar_t character)
{
    // Control characters come from keys handled at the key press (Backspace, Ctrl+C, ...).
    if (character < L' ' || character == 0x7F)
    {
        return false;
    }
    ReplaceSelection(String(character, 1), true);
    return true;
}

// --- Mouse ---

void TextBox::OnMouseDown(const Point& point, int button, int keys)
{
    if (button != MouseButtons::Left)
    {
        return;
    }
    if (!IsFocused())
    {
        m_focusByMouse = true;
        Focus();
        m_focusByMouse = false;
    }
    MoveCaret(IndexAt(point.x), (keys & Keys::Shift) != 0);
    m_selecting = true;
    CaptureMouse();
}

void TextBox::OnMouseMove(const Point& point, int)
{
    if (m_selecting)
    {
        // Dragging past an edge scrolls, because IndexAt follows the point beyond the visible text.
        MoveCaret(IndexAt(point.x), true);
    }
}

void TextBox::OnMouseUp(const Point&, int button, int)
{
    if (button == MouseButtons::Left && m_selecting)
    {
        m_selecting = false;
        ReleaseMouse();
    }
}

void TextBox::OnMouseDoubleClick(const Point& point, int button, int)
{
    if (button != MouseButtons::Left)
    {
        return;
    }
    if (m_passwordChar != 0)
    {
        SelectAll();
        return;
    }
    int index = IndexAt(point.x);
    const String& text = GetText();
    int start = index;
    int end = index;
    while (start > 0 && IsWordCharacter(text[start - 1]))
    {
        start--;
    }
    while (end < text.GetLength() && IsWordCharacter(text[end]))
    {
        end++;
    }
    SetSelection(start, end - start);
}

void TextBox::OnMouseEnter()
{
    Invalidate();
}

void TextBox::OnMouseLeave()
{
    Invalidate();
}

// --- Focus and look ---

void TextBox::OnGotFocus()
{
    int lineHeight = MeasureLineHeight(GetFontHandle(), GetDpi());
    DWORD caretWidth = 1;
    SystemParametersInfoW(SPI_GETCARETWIDTH, 0, &caretWidth, 0);
    if (!CreateCaret(GetHandle(), nullptr, Scale(static_cast<int>(caretWidth)), lineHeight))
    {
        throw Exception(String(L"TextBox class. Failed to create caret."));
    }
    m_hasCaret = true;
    // Reached by the keyboard, the text is selected whole, ready to be replaced.
    if (!m_focusByMouse)
    {
        m_anchor = 0;
        m_caret = GetText().GetLength();
    }
    ScrollToCaret();
    ShowCaret(GetHandle());
    Control::OnGotFocus();
}

void TextBox::OnLostFocus()
{
    if (m_hasCaret)
    {
        m_hasCaret = false;
        DestroyCaret();
    }
    m_selecting = false;
    Control::OnLostFocus();
}

void TextBox::OnResize()
{
    ScrollToCaret();
    Control::OnResize();
}

void TextBox::OnFontChanged()
{
    ScrollToCaret();
    Control::OnFontChanged();
}

void TextBox::OnDpiChanged(int oldDpi, int newDpi)
{
    ScrollToCaret();
    Control::OnDpiChanged(oldDpi, newDpi);
}

Color TextBox::GetDefaultBackColor() const
{
    return Theme::Window();
}

Color TextBox::GetDefaultForeColor() const
{
    return Theme::WindowText();
}

void TextBox::OnPaint(Graphics& graphics, const Rectangle&)
{
    Rectangle client = GetClientRectangle();
    bool enabled = IsEnabled();
    if (!enabled || m_readOnly)
    {
        graphics.FillRectangle(client, Theme::Face());
    }
    Color border = !enabled          ? Colors::Blend(Theme::InputBorder(), Theme::Face(), 40)
                   : IsFocused()     ? Theme::Highlight()
                   : IsMouseInside() ? Theme::InputBorderHover()
                                     : Theme::InputBorder();
    graphics.DrawRectangle(client, border, graphics.Scale(1));
    if (enabled && IsFocused() && !Theme::IsHighContrast())
    {
        // The accent line at the bottom marks the field that takes the typing.
        graphics.FillRectangle(Rectangle{0, client.height - graphics.Scale(2), client.width, graphics.Scale(2)},
                               Theme::Highlight());
    }

    Rectangle area = GetTextArea();
    int state = graphics.Save();
    graphics.IntersectClip(Rectangle{area.left, graphics.Scale(1), area.width, client.height - graphics.Scale(2)});
    FontHandle font = GetFontHandle();
    int lineHeight = graphics.GetLineHeight(font);
    // Only the characters in view are drawn, each where the measurement put it.
    Ruler ruler(GetText(), m_passwordChar, font);
    std::vector<int> widths;
    ruler.Forward(m_firstShown, ruler.GetLength(), area.width, widths);
    std::vector<int> offsets{0};
    while (offsets.size() <= widths.size() && offsets.back() < area.width)
    {
        offsets.push_back(offsets.back() + widths[offsets.size() - 1]);
    }
    int count = static_cast<int>(offsets.size()) - 1;
    const wchar_t* shown = ruler.Shown(m_firstShown, count);
    Point origin{area.left, (client.height - lineHeight) / 2};
    graphics.DrawCharacters(shown, count, widths.data(), origin, font, enabled ? GetForeColor() : Theme::GrayText());
    if (GetSelectionLength() > 0 && IsFocused())
    {
        // Clamped to the characters drawn: a selection reaching far outside the view gives no far coordinates.
        auto offsetOf = [&](int index)
        {
            int drawn = index - m_firstShown;
            return offsets[static_cast<size_t>(drawn < 0 ? 0 : drawn > count ? count : drawn)];
        };
        int left = area.left + offsetOf(GetSelectionStart());
        int right = area.left + offsetOf(GetSelectionStart() + GetSelectionLength());
        Rectangle selection{left, (client.height - lineHeight) / 2, right - left, lineHeight};
        graphics.IntersectClip(selection);
        graphics.FillRectangle(selection, Theme::Highlight());
        graphics.DrawCharacters(shown, count, widths.data(), origin, font, Theme::HighlightText());
    }
    graphics.Restore(state);
}

} // namespace Core::Controls
