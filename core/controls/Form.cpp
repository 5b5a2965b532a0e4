#include "core/controls/Form.h"

namespace Core::Controls
{

Form::Form()
{
    SetClassName(String(L"Core.Controls.Form"));
    SetWindowType(WindowType::ApplicationWindow);
}

void Form::SetMenu(MainMenu* menu)
{
    m_menu = menu;
}

bool Form::ProcessCmdKey(int keyData)
{
    return Window::ProcessCmdKey(keyData);
}

bool Form::ProcessDialogKey(int keyData)
{
    return Window::ProcessDialogKey(keyData);
}

bool Form::ProcessKeyUp(int keyData)
{
    return Window::ProcessKeyUp(keyData);
}

} // namespace Core::Controls
