// A check box with its text: clicking, Space or the mnemonic toggles it; it shows hover, pressed,
// focus and disabled states.
#pragma once

#include "core/controls/ButtonBase.h"

namespace Core::Controls
{

class CheckBox : public ButtonBase
{
public:
    explicit CheckBox(const String& text = String());

    void SetChecked(bool checked);
    bool GetChecked() const { return m_checked; }
    Size GetPreferredSize() override;

    Event<EventArgs> CheckedChanged;

protected:
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnClick() override;

private:
    bool m_checked = false;
};

} // namespace Core::Controls
