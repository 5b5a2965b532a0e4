// A bar of items: toolbar buttons with images and tooltips, hover and pressed looks, separators and
// drop-down buttons. The menu bar and the drop-down menus are toolbars too; clicks anywhere in a
// menu tree are raised by the bar at its root.
#pragma once

#include "core/collections/ArrayList.h"
#include "core/controls/Control.h"
#include "core/controls/ToolBarItem.h"

namespace Core::Controls
{

class ImageList;
class MenuTracker;

class ToolBar : public Control
{
public:
    ToolBar();
    ~ToolBar() override;

    // The items in display order, owned by the bar.
    ToolBarItemCollection& GetButtons() { return m_items; }
    ToolBarButton* AddButton(const String& toolTipText, int commandId, int imageIndex, bool enabled = true);
    // The images of the items (not owned); a drop-down without its own uses its root's.
    void SetImageList(ImageList* images);
    virtual ImageList* GetImageList() const { return m_images; }

    // The item at a point of the client area, or -1.
    int HitTest(const Point& point);
    // An item's rectangle in the client area, in device pixels.
    Rectangle GetItemBounds(int index);
    int GetHotIndex() const { return m_hotIndex; }
    void SetHotIndex(int index);
    // The item whose drop-down is open, or -1.
    int GetOpenIndex() const { return m_openIndex; }
    void SetOpenIndex(int index);
    // The bar whose Click the items raise: this one, or for a drop-down the root of its menu tree.
    virtual ToolBar* GetRootBar() { return this; }
    // Raises the root bar's Click for an enabled item.
    void PerformItemClick(ToolBarItem* item);
    virtual bool IsVertical() const { return false; }
    Size GetPreferredSize() override;

    // Raised with the clicked item; the sender is the root bar.
    Event<CommandEventArgs> Click;

protected:
    friend class ToolBarItem;
    friend class ToolBarItemCollection;
    friend class MenuTracker;
    friend class ToolBarAccessibleObject;

    // Refuses items the bar cannot show.
    virtual void ValidateItem(ToolBarItem* item);
    virtual void OnItemChanged(ToolBarItem* item, bool geometry);
    virtual void OnItemsChanged();
    virtual void OnItemRemoving(ToolBarItem* item);
    // The items' rectangles in device pixels.
    virtual void ComputeLayout(Collections::ArrayList<Rectangle>& bounds);
    virtual void PaintItem(Graphics& graphics, int index, const Rectangle& bounds);
    // The item's drop-down or click, when the mouse activates it.
    virtual void ActivateItem(int index);
    void InvalidateLayout();

    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseLeave() override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    void OnCaptureLost() override;
    void OnResize() override;
    void OnDpiChanged(int oldDpi, int newDpi) override;
    void OnFontChanged() override;
    void OnHandleDestroyed() override;
    AccessibleObject* CreateAccessibilityObject() override;
    int GetPressedIndex() const { return m_pressedIndex; }

private:
    void EnsureLayout();
    void HideToolTip();

    ToolBarItemCollection m_items;
    ImageList* m_images = nullptr; // not owned
    int m_hotIndex = -1;
    int m_openIndex = -1;
    int m_pressedIndex = -1;
    Collections::ArrayList<Rectangle> m_bounds;
    bool m_layoutValid = false;
    ToolTip* m_toolTip = nullptr; // owned; made on first hover
};

} // namespace Core::Controls
