// A multi-line text entry for queries and longer texts: lines of any number, scrolled both ways by the toolkit's
// own bars, selection by mouse and keyboard, clipboard, undo of edit groups, and a read-only mode for viewing.
#pragma once

#include "core/controls/ScrollableControl.h"
#include "core/controls/TextLines.h"

namespace Core::Controls
{

class TextArea : public ScrollableControl, private TextLinesObserver
{
public:
    explicit TextArea(const String& text = String());
    ~TextArea() override;

    // Replaces the whole text (lines broken at CR LF, LF or CR); the caret goes to the start and there is nothing
    // to undo.
    void SetText(const String& text) override;
    // The lines joined by CR LF. The area keeps its text as lines: Control::GetText (the native window's text) stays
    // empty, so that an edit never copies the whole text.
    String GetText() const { return m_lines.GetText(); }
    int GetLineCount() const { return m_lines.GetLineCount(); }
    String GetLine(int line) const { return m_lines.GetLine(line); }
    const TextLines& GetLines() const { return m_lines; }

    // The user can select and copy but not change the text; code still can.
    void SetReadOnly(bool readOnly);
    bool GetReadOnly() const { return m_readOnly; }

    // The selection runs from its anchor to the caret, in either order.
    TextPosition GetCaretPosition() const { return m_caret; }
    TextPosition GetSelectionAnchor() const { return m_anchor; }
    TextPosition GetSelectionStart() const { return m_anchor < m_caret ? m_anchor : m_caret; }
    TextPosition GetSelectionEnd() const { return m_anchor < m_caret ? m_caret : m_anchor; }
    bool HasSelection() const { return m_anchor != m_caret; }
    // With CR LF between lines.
    String GetSelectedText() const;
    // Positions outside the text throw ArgumentOutOfRangeException.
    void SetSelection(const TextPosition& anchor, const TextPosition& caret);
    void SetCaretPosition(const TextPosition& position) { SetSelection(position, position); }
    void SelectAll();
    // Puts text in place of the selection as one edit that can be undone (also in a read-only area: code may).
    void ReplaceSelection(const String& text);

    void Cut();
    void Copy();
    void Paste();
    // Takes back the last edit group (characters typed one after another, one paste, ...); Redo puts it back.
    void Undo();
    void Redo();
    bool CanUndo() const;
    bool CanRedo() const;

    // In device pixels at the control's DPI: the font's cell height.
    int GetLineHeight();
    // The first line at least partly in view, and the number of lines that fit whole.
    int GetFirstVisibleLine();
    int GetVisibleLineCount();
    // Scrolls the least that shows the caret.
    void ScrollToCaret();

protected:
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override;
    AccessibleObject* CreateAccessibilityObject() override;
    bool WantsCharacters() const override { return true; }
    bool IsInputKey(int keyData) const override;
    bool OnKeyDown(int keyData) override;
    bool OnKeyPress(wchar_t character) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    void OnMouseDoubleClick(const Point& point, int button, int keys) override;
    void OnMouseEnter() override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;
    void OnTimer(int id) override;
    void OnGotFocus() override;
    void OnLostFocus() override;
    void OnEnabledChanged() override;
    void OnResize() override;
    void OnFontChanged() override;
    void OnDpiChanged(int oldDpi, int newDpi) override;
    void OnScroll(const Point& oldPosition, const Point& newPosition) override;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    Color GetDefaultBackColor() const override;
    Color GetDefaultForeColor() const override;

private:
    class Measures;
    class History;

    void OnLinesReplaced(int first, int removed, int inserted) override;

    // Geometry in device pixels. A line's x runs from the start of its text; the inset lies around the text.
    int GetInset() const;
    int GetFrameThickness() const;
    int GetCaretWidth() const;
    // Measures the lines again when the font changed.
    void EnsureMeasures();
    void RemeasureAll();
    int ColumnX(const TextPosition& position);
    // The column nearest to x on a line.
    int ColumnAt(int line, int x);
    // The position nearest to a point of the client area, also outside it.
    TextPosition PositionAt(const Point& point);
    // The part of the viewport that shows the lines, clipped to it.
    Rectangle LineBounds(int firstLine, int lastLine);
    void UpdateScrollSize();
    void UpdateCaret();
    // Puts the system caret at the caret's line and x (from the start of the line's text).
    void PlaceCaret(int caretX);
    // Moves the painted lines from firstLine on by delta lines.
    void ShiftLines(int firstLine, int delta);
    void InvalidateSelectionChange(const TextPosition& oldAnchor, const TextPosition& oldCaret);
    void PaintFrame();
    // The line's advances are measured already (Measures::advances).
    void PaintLine(Graphics& graphics, int line, int y, int width);

    void MoveCaret(const TextPosition& position, bool extend, bool keepGoal = false);
    void MoveCaretByKey(int key, bool shift, bool control);
    TextPosition WordLeft(const TextPosition& position) const;
    TextPosition WordRight(const TextPosition& position) const;
    TextPosition CharacterLeft(const TextPosition& position) const;
    TextPosition CharacterRight(const TextPosition& position) const;
    // A user's edit of the selection: nothing happens in a read-only area. kind groups edits for undo.
    void EditSelection(const String& text, int kind);
    void Replace(const TextPosition& from, const TextPosition& to, const String& text, int kind);
    void DeleteBackward(bool control);
    void DeleteForward(bool control);
    bool OnEditShortcut(int key, bool shift);
    void StopSelecting();
    void RaiseTextChanged();

    TextLines m_lines;
    Measures* m_measures; // owned: line widths and the font's metrics
    History* m_history;   // owned: the edits to undo and redo
    TextPosition m_anchor;
    TextPosition m_caret;
    // The x (content coordinates) that Up, Down and the page keys keep to, or -1.
    int m_goalX = -1;
    bool m_readOnly = false;
    bool m_selecting = false;
    bool m_hasCaret = false;
    bool m_autoScrolling = false;
    Point m_lastMouse; // while selecting with the mouse
};

} // namespace Core::Controls
