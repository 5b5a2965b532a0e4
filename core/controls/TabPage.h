// One page of a TabView: a panel whose title shows on its tab and whose Controls fill the page.
#pragma once

#include "core/controls/Panel.h"

namespace Core::Controls
{

class TabPage : public Panel
{
public:
    explicit TabPage(const String& title = String());

    const String& GetTitle() const { return GetText(); }
    void SetTitle(const String& title) { SetText(title); }

protected:
    void OnTextChanged() override;
    Color GetDefaultBackColor() const override;
};

} // namespace Core::Controls
