// A small dialog that takes one WMI path: a class (root\wmi:MSSMBios_RawSMBiosTables) or a namespace (root\wmi).
#pragma once

#include "core/controls/Button.h"
#include "core/controls/Label.h"
#include "core/controls/TableLayout.h"
#include "core/controls/TextBox.h"
#include "core/controls/Window.h"

namespace Quarrow
{

class PathForm : public Core::Controls::Window
{
public:
    // title: "Open Class" or "Open Namespace"; prompt: the label before the box.
    PathForm(const Core::String& title, const Core::String& prompt);

    Core::String GetPath() const;
    Core::Controls::TextBox& GetPathBox() { return m_pathBox; }

private:
    Core::Controls::TableLayout m_layout;
    Core::Controls::Label m_pathLabel;
    Core::Controls::TextBox m_pathBox;
    Core::Controls::Button m_okButton;
    Core::Controls::Button m_cancelButton;
};

} // namespace Quarrow
