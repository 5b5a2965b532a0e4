// The menu bar, drawn by the toolkit: top-level menu items whose drop-downs show images, texts with
// mnemonics and shortcut texts. The form offers it Ctrl and Shift key combinations as shortcuts, the
// release of Alt (enter the bar) and Alt with a letter (open a menu).
#pragma once

#include "core/controls/MenuItem.h"
#include "core/controls/ToolBar.h"

namespace Core::Controls
{

class MainMenu : public ToolBar
{
public:
    MainMenu();

    MenuItemCollection& GetMenuItems() { return m_menuItems; }
    // Searches the items depth first (an item before its children) and clicks the first enabled item
    // with the shortcut; true when one was found.
    bool ProcessShortcut(int keyData);
    // The first enabled item with the shortcut, or null.
    MenuItem* FindShortcut(int keyData);
    // Opens the top-level menu with the mnemonic, its first item highlighted.
    bool OpenByMnemonic(wchar_t character);
    // Highlights the first menu for the keyboard (the release of Alt or F10).
    void EnterMenuMode();
    Size GetPreferredSize() override;

protected:
    void ValidateItem(ToolBarItem* item) override;
    void ComputeLayout(Collections::ArrayList<Rectangle>& bounds) override;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void PaintItem(Graphics& graphics, int index, const Rectangle& bounds) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    Color GetDefaultBackColor() const override;
    Color GetDefaultForeColor() const override;
    FontHandle GetDefaultFontHandle() override;

private:
    MenuItemCollection m_menuItems;
};

} // namespace Core::Controls
