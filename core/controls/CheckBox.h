// A check box with its text: clicking, Space or the mnemonic toggles it; it shows hover, pressed,
// focus and disabled states.
#pragma once

#include "core/controls/Control.h"

namespace Core::Controls
{

class CheckBox : public Control
{
public:
    explicit CheckBox(const String& text = String());

    void SetChecked(bool checked);
    bool GetChecked() const { return m_checked; }
    Size GetPreferredSize() override;

    Event<EventArgs> CheckedChanged;

protected:
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    void OnMouseEnter() override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;
    bool OnKeyDown(int keyData) override;
    bool OnKeyUp(int keyData) override;
    bool ProcessMnemonic(wchar_t character) override;
    void OnClick() override;

private:
    void SetPressed(bool pressed);

    bool m_checked = false;
    bool m_pressed = false;
    bool m_mouseHeld = false;
};

} // namespace Core::Controls
