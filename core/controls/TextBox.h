// A single-line text entry: caret, selection by mouse and keyboard, clipboard cut, copy and paste,
// undo of the last edit, and a password character that hides what is typed.
#pragma once

#include "core/controls/Control.h"

namespace Core::Controls
{

class TextBox : public Control
{
public:
    explicit TextBox(const String& text = String());
    // A password's copies are wiped before their memory goes.
    ~TextBox() override;

    // Replaces the whole text; the caret goes to its end and there is nothing to undo.
    void SetText(const String& text) override;
    // Shown for every character instead of the text; copying and cutting are off meanwhile, the native window
    // holds no text, and every copy of the text is wiped when let go. Characters with codes up to 31 are refused.
    void SetPasswordChar(wchar_t character);
    void ResetPasswordChar();
    wchar_t GetPasswordChar() const { return m_passwordChar; }
    // The text as it is shown.
    String GetDisplayText() const;
    void SetReadOnly(bool readOnly);
    bool GetReadOnly() const { return m_readOnly; }
    // The longest text the user can enter; 0 for no limit.
    void SetMaxLength(int maxLength) { m_maxLength = maxLength; }

    int GetSelectionStart() const { return m_anchor < m_caret ? m_anchor : m_caret; }
    int GetSelectionLength() const { return m_anchor < m_caret ? m_caret - m_anchor : m_anchor - m_caret; }
    String GetSelectedText() const;
    // Selects length characters from start, the caret at the end of the selection.
    void SetSelection(int start, int length);
    void SelectAll();
    int GetCaretIndex() const { return m_caret; }
    // Puts the caret before character charIndex of line lineNumber (a text box has line 0 only).
    void SetCaret2DPosition(int lineNumber, int charIndex);

    void Cut();
    void Copy();
    void Paste();
    // Takes back the last edit; undoing again restores it.
    void Undo();
    bool CanUndo() const { return m_canUndo; }

protected:
    bool WantsCharacters() const override { return true; }
    bool HoldsSecretText() const override { return m_passwordChar != 0; }
    bool IsInputKey(int keyData) const override;
    bool OnKeyDown(int keyData) override;
    bool OnKeyPress(wchar_t character) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    void OnMouseDoubleClick(const Point& point, int button, int keys) override;
    void OnMouseEnter() override;
    void OnMouseLeave() override;
    void OnGotFocus() override;
    void OnLostFocus() override;
    void OnResize() override;
    void OnFontChanged() override;
    void OnDpiChanged(int oldDpi, int newDpi) override;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    Color GetDefaultBackColor() const override;
    Color GetDefaultForeColor() const override;

private:
    Rectangle GetTextArea() const;
    // The character boundary nearest to x (client coordinates), also beyond the text area.
    int IndexAt(int x);
    void MoveCaret(int index, bool extend);
    void ReplaceSelection(const String& text, bool typing);
    void SaveUndo(bool typing);
    // Scrolls the least that brings the caret into view, and puts the system caret there.
    void ScrollToCaret();
    void UpdateCaret(int offset);
    int WordStart(int index) const;
    int WordEnd(int index) const;
    bool JumpsByWords(bool control) const;
    void MoveCaretByKey(int key, bool shift, bool control);
    void DeleteForward(bool shift, bool control);
    void DeleteBackward(bool control);
    bool OnInsertKey(bool shift, bool control);
    bool OnEditShortcut(int key);

    wchar_t m_passwordChar = 0;
    bool m_readOnly = false;
    int m_maxLength = 0;
    int m_anchor = 0;
    int m_caret = 0;
    // The character at the left edge of the text area: a single line scrolls by whole characters, so nothing
    // depends on the width of the text before it, however long.
    int m_firstShown = 0;
    bool m_selecting = false;
    bool m_focusByMouse = false;
    bool m_hasCaret = false;
    // The last edit, to undo: the text and selection before it.
    String m_undoText;
    int m_undoAnchor = 0;
    int m_undoCaret = 0;
    bool m_canUndo = false;
    bool m_lastEditTyping = false;
};

} // namespace Core::Controls
