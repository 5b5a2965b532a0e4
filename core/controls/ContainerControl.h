// A control that holds child controls and moves the keyboard focus among them: Tab and Shift+Tab in
// creation order, and mnemonics (the letter after "&" in a label, button or check box).
#pragma once

#include "core/controls/ScrollableControl.h"

namespace Core::Controls
{

class ContainerControl : public ScrollableControl
{
public:
    ContainerControl();

    // Focuses the selectable control after (or before) start in tab order; null starts at the ends.
    bool SelectNextControl(Control* start, bool forward, bool wrap);
    // The focused control inside this one, or null.
    Control* GetActiveControl() const;
    // Offers the mnemonic to the controls inside, in tab order; true when one acted on it.
    bool ProcessMnemonicInChildren(wchar_t character);

protected:
    bool ProcessDialogKey(int keyData) override;
    bool ProcessDialogChar(wchar_t character) override;
};

} // namespace Core::Controls
