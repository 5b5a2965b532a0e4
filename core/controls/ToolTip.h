// A small pop-up that shows a text for a control (or a part of one) after the mouse rests on it, and
// hides when the mouse leaves, a button is pressed or a key is typed.
#pragma once

#include "core/collections/ArrayList.h"
#include "core/controls/Control.h"

namespace Core::Controls
{

class ToolTip : public Control
{
public:
    ToolTip();
    ~ToolTip() override;

    // Associates a text with a control (an empty text removes it); the control is not owned.
    void SetToolTip(Control* control, const String& text);
    String GetToolTip(Control* control) const;
    // Forgets a control; called when it is deleted.
    void Remove(Control* control);
    // How long the mouse rests before the tip appears, in milliseconds.
    void SetInitialDelay(int milliseconds) { m_initialDelay = milliseconds; }

    // Shows a text now (or after the delay) below a point of the screen, for an owner control.
    void ShowText(Control* owner, const String& text, const Point& screenPoint, bool delayed);
    void HideText();
    // Replaces the text of a tip that is waiting to appear or showing, without starting its wait again: a text
    // that changes often still gets its tip.
    void ChangeText(const String& text);
    bool IsShowing() const;
    const String& GetShownText() const { return m_text; }

    // What a control tells its tooltip about the mouse and the keyboard.
    void Relay(Control* control, unsigned int message);

protected:
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override;
    WindowHandle GetOwnerHandle() const override;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnTimer(int id) override;
    FontHandle GetDefaultFontHandle() override;
    Color GetDefaultBackColor() const override;

private:
    struct Entry
    {
        Control* control = nullptr; // not owned
        String text;
    };
    void Appear();

    Collections::ArrayList<Entry> m_entries;
    Control* m_owner = nullptr; // not owned: the control whose text is pending or shown
    String m_text;
    Point m_anchor;
    int m_initialDelay = 500;
};

} // namespace Core::Controls
