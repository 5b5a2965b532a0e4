// The application's main window (window type 2): an overlapped window with a menu bar. Its keyboard
// handling offers Ctrl and Shift combinations to the menu as shortcuts, enters the menu bar on the
// release of Alt and opens a menu on Alt with its mnemonic.
#pragma once

#include "core/controls/Window.h"

namespace Core::Controls
{

class MainMenu;

class Form : public Window
{
public:
    Form();

    // The form's one menu bar (not owned). A menu without a parent is docked at the top of the form.
    void SetMenu(MainMenu* menu);
    MainMenu* GetMenu() const { return m_menu; }

protected:
    bool ProcessCmdKey(int keyData) override;
    bool ProcessDialogKey(int keyData) override;
    bool ProcessKeyUp(int keyData) override;

private:
    MainMenu* m_menu = nullptr; // not owned
};

} // namespace Core::Controls
