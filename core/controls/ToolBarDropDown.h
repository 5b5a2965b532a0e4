// The drop-down part of a toolbar or menu: a pop-up column of items with images, texts, shortcut
// texts, separators and arrows to further drop-downs. It never takes the focus; while it is open the
// menu tracker gives it the keyboard and the mouse.
#pragma once

#include "core/controls/ToolBar.h"

namespace Core::Controls
{

class ToolBarDropDownItem;

class ToolBarDropDown : public ToolBar
{
public:
    ToolBarDropDown();

    // The item that opens this drop-down (set by the item), or null for a free pop-up menu.
    void SetOwnerItem(ToolBarDropDownItem* item) { m_ownerItem = item; }
    ToolBarDropDownItem* GetOwnerItem() const { return m_ownerItem; }
    ToolBar* GetRootBar() override;
    ImageList* GetImageList() const override;
    bool IsVertical() const override { return true; }
    // Whether it is open on the screen now.
    bool IsOpen() const;
    // The pop-up's size in device pixels for its items.
    Size MeasurePopup();

protected:
    friend class MenuTracker;
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override;
    WindowHandle GetOwnerHandle() const override { return m_ownerWindow; }
    void ComputeLayout(Collections::ArrayList<Rectangle>& bounds) override;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void PaintItem(Graphics& graphics, int index, const Rectangle& bounds) override;
    Color GetDefaultBackColor() const override;
    Color GetDefaultForeColor() const override;
    FontHandle GetDefaultFontHandle() override;

private:
    int GetRowHeight();
    int GetSeparatorHeight() const;

    ToolBarDropDownItem* m_ownerItem = nullptr; // not owned: the item owns this drop-down
    WindowHandle m_ownerWindow = nullptr;       // the window the menu belongs to while it is open
};

} // namespace Core::Controls
