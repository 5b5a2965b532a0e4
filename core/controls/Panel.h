// A plain container for grouping controls, with an optional thin border; the base of tab pages.
#pragma once

#include "core/controls/ContainerControl.h"

namespace Core::Controls
{

class Panel : public ContainerControl
{
public:
    Panel();

    void SetBorder(bool border);
    bool HasBorder() const { return m_border; }

protected:
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnLayout() override;

private:
    bool m_border = false;
};

} // namespace Core::Controls
