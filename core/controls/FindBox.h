// A strip for finding as one types: a text box, a status text its owner sets ("12 of 340 records") and a close
// button. Every edit raises TextChanged (the strip's text is the text box's); Enter and Shift+Enter raise FindNext
// and FindPrevious; Esc empties the text, and Esc on an empty text, or the close button, closes the strip.
#pragma once

#include "core/controls/ContainerControl.h"
#include "core/controls/Label.h"
#include "core/controls/TextBox.h"

namespace Core::Controls
{

class FindBox : public ContainerControl
{
public:
    FindBox();

    // Replaces the text searched for (TextChanged follows when it differs).
    void SetText(const String& text) override;
    // The text after the box, such as "12 of 340 records"; screen readers hear of each change.
    void SetStatusText(const String& text);
    const String& GetStatusText() const { return m_status.GetText(); }
    // Shows the strip and puts the keyboard focus in its text box with the text selected, as Ctrl+F does.
    void Open();
    // Empties the text, hides the strip and raises Closed; the owner gives the focus back where it belongs.
    void Close();
    TextBox& GetTextBox() { return m_textBox; }
    // A control of the owner's (such as a link to a wider search) shown before the close button, at its preferred
    // width; the text box gives way to it as to the status text. Not owned; null removes it.
    void SetExtraControl(Control* control);
    // The close button, in client pixels.
    Rectangle GetCloseButtonBounds();
    // The height that fits the text box in the control's font, at 96 DPI.
    Size GetPreferredSize() override;

    Event<EventArgs> FindNext;
    Event<EventArgs> FindPrevious;
    Event<EventArgs> Closed;

protected:
    bool ProcessCmdKey(int keyData) override;
    void OnCreate(Object* sender, EventArgs& args) override;
    void OnTextChanged() override;
    void OnLayout() override;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;
    void OnFontChanged() override;
    Color GetDefaultBackColor() const override;
    AccessibleObject* CreateAccessibilityObject() override;

private:
    void OnTextBoxTextChanged(Object* sender, EventArgs& args);
    void SetCloseState(bool hot, bool pressed);
    int TextBoxHeight();

    Label m_label;
    TextBox m_textBox;
    Label m_status;
    Control* m_extra = nullptr; // not owned: the owner's
    MemberEventHandler<FindBox, EventArgs> m_textBoxChanged;
    bool m_closeHot = false;
    bool m_closePressed = false;
};

} // namespace Core::Controls
