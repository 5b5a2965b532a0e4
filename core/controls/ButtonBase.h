// What a push button and a check box share: pressed while the left button is held over it or Space is
// down, a click when it is let go there, hover redraws, and the mnemonic that focuses and clicks it.
#pragma once

#include "core/controls/Control.h"

namespace Core::Controls
{

class ButtonBase : public Control
{
public:
    bool IsPressed() const { return m_pressed; }

protected:
    ButtonBase() = default;

    // True while the left button that went down over the control is held.
    bool IsMouseHeld() const { return m_mouseHeld; }

    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    void OnMouseEnter() override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;
    bool OnKeyDown(int keyData) override;
    bool OnKeyUp(int keyData) override;
    void OnLostFocus() override;
    bool ProcessMnemonic(wchar_t character) override;

private:
    void SetPressed(bool pressed);

    bool m_pressed = false;
    bool m_mouseHeld = false;
    bool m_spaceHeld = false;
};

} // namespace Core::Controls
