#include "core/controls/TextBox.h"

#include "core/Exception.h"
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
    Measure();
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
    Measure();
    Invalidate();
}

void TextBox::ResetPasswordChar()
{
    m_passwordChar = 0;
    SyncNativeText();
    Measure();
    Invalidate();
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

void TextBox::Measure()
{
    m_positions.Clear();
    String shown = GetDisplayText();
    int length = shown.GetLength();
    m_positions.Add(0);
    if (length == 0)
    {
        return;
    }
    Collections::ArrayList<int> extents(length);
    for (int i = 0; i < length; i++)
    {
        extents.Add(0);
    }
    {
        ScreenContext screen;
        Selection font(screen.Get(), GetFontHandle());
        SIZE size = {};
        int fitted = 0;
        GetTextExtentExPointW(screen.Get(), shown.GetBuffer(), length, 0x7FFFFFFF, &fitted, &extents[0], &size);
    }
    for (int i = 0; i < length; i++)
    {
        m_positions.Add(extents[i]);
    }
}

int TextBox::PositionOf(int index) const
{
    if (index < 0)
    {
        return 0;
    }
    return index < m_positions.GetCount() ? m_positions[index] : m_positions[m_positions.GetCount() - 1];
}

int TextBox::VisibleFrom(int x) const
{
    // The last character boundary at or before x, found by halving: texts may hold any number of characters.
    int low = 0;
    int high = m_positions.GetCount() - 1;
    while (low < high)
    {
        int middle = (low + high + 1) / 2;
        if (m_positions[middle] <= x)
        {
            low = middle;
        }
        else
        {
            high = middle - 1;
        }
    }
    return low;
}

int TextBox::IndexAt(int x) const
{
    int target = x - GetTextArea().left + m_scroll;
    int before = VisibleFrom(target);
    // The boundary nearest the point: past the middle of a character means after it.
    if (before + 1 < m_positions.GetCount() && target >= (m_positions[before] + m_positions[before + 1] + 1) / 2)
    {
        return before + 1;
    }
    return before;
}

void TextBox::ScrollToCaret()
{
    // The font may have come from a new parent or DPI since the last edit.
    Measure();
    Rectangle area = GetTextArea();
    int caretX = PositionOf(m_caret);
    int total = PositionOf(GetText().GetLength());
    if (caretX - m_scroll > area.width - Scale(1))
    {
        m_scroll = caretX - area.width + Scale(1);
    }
    if (caretX < m_scroll)
    {
        m_scroll = caretX;
    }
    int maxScroll = total - area.width + Scale(1);
    if (m_scroll > maxScroll)
    {
        m_scroll = maxScroll;
    }
    if (m_scroll < 0)
    {
        m_scroll = 0;
    }
    UpdateCaret();
    Invalidate();
}

void TextBox::UpdateCaret()
{
    if (!m_hasCaret || GetHandle() == nullptr)
    {
        return;
    }
    Rectangle area = GetTextArea();
    int lineHeight = MeasureLineHeight(GetFontHandle(), GetDpi());
    SetCaretPos(area.left + PositionOf(m_caret) - m_scroll, (area.height - lineHeight) / 2);
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
    Measure();
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
    Measure();
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
    bool password = m_passwordChar != 0;
    switch (key)
    {
    case Keys::Left:
        if (!shift && GetSelectionLength() > 0 && !control)
        {
            MoveCaret(GetSelectionStart(), false);
        }
        else
        {
            MoveCaret(control && !password ? WordStart(m_caret) : m_caret - 1, shift);
        }
        return true;
    case Keys::Right:
        if (!shift && GetSelectionLength() > 0 && !control)
        {
            MoveCaret(GetSelectionStart() + GetSelectionLength(), false);
        }
        else
        {
            MoveCaret(control && !password ? WordEnd(m_caret) : m_caret + 1, shift);
        }
        return true;
    case Keys::Home:
        MoveCaret(0, shift);
        return true;
    case Keys::End:
        MoveCaret(GetText().GetLength(), shift);
        return true;
    case Keys::Delete:
        if (shift)
        {
            Cut();
        }
        else if (GetSelectionLength() == 0)
        {
            int end = control && !password ? WordEnd(m_caret) : m_caret + 1;
            if (m_caret < GetText().GetLength())
            {
                m_anchor = end > GetText().GetLength() ? GetText().GetLength() : end;
                ReplaceSelection(String(), false);
            }
        }
        else
        {
            ReplaceSelection(String(), false);
        }
        return true;
    case Keys::Back:
        if (GetSelectionLength() == 0 && m_caret > 0)
        {
            m_anchor = control && !password ? WordStart(m_caret) : m_caret - 1;
        }
        ReplaceSelection(String(), false);
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
        break;
    }
    if (control && !shift && (keyData & Keys::Alt) == 0)
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
            break;
        }
    }
    return false;
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
    Measure();
    ScrollToCaret();
    Control::OnFontChanged();
}

void TextBox::OnDpiChanged(int oldDpi, int newDpi)
{
    Measure();
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
    String shown = GetDisplayText();
    FontHandle font = GetFontHandle();
    int lineHeight = graphics.GetLineHeight(font);
    // Only the characters in view are drawn, each where the measurement put it: a text of any length costs
    // what the box shows, and the caret stays at the end of the character before it.
    int first = VisibleFrom(m_scroll);
    int last = VisibleFrom(m_scroll + area.width) + 1;
    if (last > shown.GetLength())
    {
        last = shown.GetLength();
    }
    std::vector<int> advances;
    for (int i = first; i < last; i++)
    {
        advances.push_back(PositionOf(i + 1) - PositionOf(i));
    }
    Point origin{area.left + PositionOf(first) - m_scroll, (client.height - lineHeight) / 2};
    graphics.DrawCharacters(shown.GetBuffer() + first, last - first, advances.data(), origin, font,
                            enabled ? GetForeColor() : Theme::GrayText());
    if (GetSelectionLength() > 0 && IsFocused())
    {
        int left = area.left + PositionOf(GetSelectionStart()) - m_scroll;
        int right = area.left + PositionOf(GetSelectionStart() + GetSelectionLength()) - m_scroll;
        Rectangle selection{left, (client.height - lineHeight) / 2, right - left, lineHeight};
        graphics.IntersectClip(selection);
        graphics.FillRectangle(selection, Theme::Highlight());
        graphics.DrawCharacters(shown.GetBuffer() + first, last - first, advances.data(), origin, font,
                                Theme::HighlightText());
    }
    graphics.Restore(state);
}

} // namespace Core::Controls
