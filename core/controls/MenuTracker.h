// The state of open menus: a bar (menu bar or toolbar) with its highlighted item and the column of
// drop-downs opened from it, or a free context menu. While anything is open it is the controls'
// message filter: it takes the keyboard, follows the mouse over the menus and closes everything on a
// click elsewhere, on deactivation or on Esc and Alt.
#pragma once

#include "core/controls/Control.h"

namespace Core::Controls
{

class ContextMenu;
class ToolBar;
class ToolBarDropDown;

class MenuTracker : public MessageFilter
{
public:
    static MenuTracker& Instance();

    bool IsActive() const { return m_active; }
    // The bar whose item is highlighted or open, or null.
    ToolBar* GetBar() const { return m_bar; }
    int GetDepth() const { return m_depth; }
    ToolBarDropDown* GetLevel(int level) const { return level >= 0 && level < m_depth ? m_levels[level] : nullptr; }

    // Highlights a bar item for the keyboard without opening it.
    void EnterBar(ToolBar* bar, int index);
    // Opens the drop-down of a bar item (or clicks an item without one); selectFirst highlights its first item.
    void OpenBarItem(ToolBar* bar, int index, bool selectFirst);
    void ShowContextMenu(ContextMenu* menu, Control* owner, const Point& screenPoint);
    void Close();
    // A bar or drop-down is going away: close what involves it.
    void Forget(ToolBar* bar);

    bool PreFilterMessage(Control* target, unsigned int message, uintptr_t wParam, intptr_t lParam) override;

private:
    static constexpr int MaximumDepth = 8;

    void Activate(WindowHandle window);
    void ShowLevel(ToolBarDropDown* dropDown, const Rectangle& anchor, bool besides, bool selectFirst);
    void OpenSubmenu(int level, int index, bool selectFirst);
    void CloseLevels(int fromLevel);
    void Choose(ToolBar* container, int level, int index);
    bool HandleKey(int keyData);
    // The keyboard on the bar alone, highlighted; and in the open menu at the deepest level.
    bool HandleBarKey(int key);
    bool HandleMenuKey(int key);
    // Chooses the enabled item of menu whose mnemonic is key.
    bool ChooseByMnemonic(ToolBarDropDown* menu, int level, int key);
    bool FilterKeyDown(unsigned int message, uintptr_t wParam, intptr_t lParam);
    bool FilterButtonDown(const Point& screenPoint);
    // Whether a message of the window ends menu mode (the window deactivated or moved, a frame clicked).
    bool EndsTheMenus(Control* target, unsigned int message, uintptr_t wParam) const;
    int LevelOf(ToolBar* bar) const;
    bool HitTest(const Point& screenPoint, ToolBar*& bar, int& index) const;
    void Hover(ToolBar* bar, int index);
    static int NextEnabled(ToolBar* bar, int from, int step);

    bool m_active = false;
    ToolBar* m_bar = nullptr; // not owned
    ToolBarDropDown* m_levels[MaximumDepth] = {};
    int m_depth = 0;
    WindowHandle m_window = nullptr; // the top-level window the menus belong to
};

} // namespace Core::Controls
