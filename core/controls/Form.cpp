#include "core/controls/Form.h"

#include "core/controls/MainMenu.h"

namespace Core::Controls
{

Form::Form()
{
    SetClassName(String(L"Core.Controls.Form"));
    SetWindowType(WindowType::ApplicationWindow);
    SetBounds(0, 0, 640, 480);
}

void Form::SetMenu(MainMenu* menu)
{
    m_menu = menu;
    if (menu != nullptr && menu->GetParent() == nullptr)
    {
        menu->SetDock(DockStyle::Top);
        GetControls().Insert(0, menu);
    }
}

bool Form::ProcessCmdKey(int keyData)
{
    // Shortcuts work from anywhere in the form, before the focused control sees the key.
    if (m_menu != nullptr && m_menu->ProcessShortcut(keyData))
    {
        return true;
    }
    return Window::ProcessCmdKey(keyData);
}

bool Form::ProcessDialogKey(int keyData)
{
    int key = keyData & Keys::KeyCode;
    if (m_menu != nullptr && (keyData & Keys::Modifiers) == Keys::Alt &&
        ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) && m_menu->OpenByMnemonic(static_cast<wchar_t>(key)))
    {
        return true;
    }
    if (m_menu != nullptr && keyData == Keys::F10)
    {
        m_menu->EnterMenuMode();
        return true;
    }
    return Window::ProcessDialogKey(keyData);
}

bool Form::ProcessKeyUp(int keyData)
{
    // Alt pressed and released alone enters the menu bar.
    if (m_menu != nullptr && keyData == (Keys::Menu | Keys::Alt))
    {
        m_menu->EnterMenuMode();
        return true;
    }
    return Window::ProcessKeyUp(keyData);
}

} // namespace Core::Controls
