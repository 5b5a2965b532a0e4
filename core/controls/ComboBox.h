// A drop-down list: one of its items is selected, shown in a button-like face with a chevron; a click,
// F4 or Alt+Down opens the list (a DropDown) below it. Up and Down change the selection directly.
#pragma once

#include "core/collections/PointerCollection.h"
#include "core/controls/ScrollableControl.h"

namespace Core::Controls
{

class ComboBox;

// An entry of a combo box: its text and a value the application gives it.
class ComboBoxItem : public Object
{
public:
    explicit ComboBoxItem(const String& text, int64_t value = 0) : m_text(text), m_value(value) {}
    const String& GetText() const { return m_text; }
    int64_t GetValue() const { return m_value; }
    String ToString() const override { return m_text; }

private:
    String m_text;
    int64_t m_value;
};

// The list of a combo box while it is open: a pop-up that never takes the focus.
class DropDown : public ScrollableControl
{
public:
    explicit DropDown(ComboBox* owner);

    int GetHotIndex() const { return m_hotIndex; }
    void SetHotIndex(int index);
    int GetItemHeight() const;
    // The item under a point of the client area, or -1.
    int IndexAt(const Point& point) const;

protected:
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override;
    WindowHandle GetOwnerHandle() const override;
    void GetCreateStyles(uint32_t& style, uint32_t& exStyle) const override;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    FontHandle GetDefaultFontHandle() override;
    Color GetDefaultBackColor() const override;
    AccessibleObject* CreateAccessibilityObject() override;

private:
    friend class DropDownAccessibleObject;
    ComboBox* m_owner; // not owned: the combo box this list belongs to
    int m_hotIndex = -1;
};

class ComboBox : public Control, private MessageFilter
{
public:
    ComboBox();
    ~ComboBox() override;

    // The entries, owned by the box.
    Collections::PointerCollection<ComboBoxItem>& GetItems() { return m_items; }
    int AddItem(const String& text, int64_t value = 0);
    // -1 for none.
    int GetSelectedIndex() const { return m_selectedIndex; }
    void SetSelectedIndex(int index);
    ComboBoxItem* GetSelectedItem() const;
    // The number of entries the open list shows without scrolling.
    void SetMaxDropDownItems(int count) { m_maxDropDownItems = count > 0 ? count : 1; }

    void SetDroppedDown(bool open);
    bool IsDroppedDown() const { return m_dropDown != nullptr && m_dropDown->IsHandleCreated() && m_open; }
    DropDown* GetDropDown() const { return m_dropDown; }

    Event<EventArgs> SelectedIndexChanged;

protected:
    friend class DropDown;
    friend class DropDownAccessibleObject;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseEnter() override;
    void OnMouseLeave() override;
    bool OnMouseWheel(const Point& point, int delta, int keys) override;
    bool OnKeyDown(int keyData) override;
    bool OnKeyPress(wchar_t character) override;
    // Typed letters choose an entry (as in a system list), so they are never a label's or a button's mnemonic.
    bool WantsCharacters() const override { return true; }
    void OnLostFocus() override;
    void OnHandleDestroyed() override;
    // Chosen in the open list: selects the item and closes the list.
    void Choose(int index);

private:
    bool PreFilterMessage(Control* target, unsigned int message, uintptr_t wParam, intptr_t lParam) override;
    bool HandleListKey(int keyData);
    void OnItemInserted(Object* sender, Collections::CollectionEventArgs& args);
    void OnItemRemoved(Object* sender, Collections::CollectionEventArgs& args);
    void OnItemsCleared(Object* sender, Collections::CollectionEventArgs& args);

    Collections::PointerCollection<ComboBoxItem> m_items;
    int m_selectedIndex = -1;
    int m_maxDropDownItems = 8;
    DropDown* m_dropDown = nullptr; // owned
    bool m_open = false;
    MemberEventHandler<ComboBox, Collections::CollectionEventArgs> m_insertedHandler;
    MemberEventHandler<ComboBox, Collections::CollectionEventArgs> m_removedHandler;
    MemberEventHandler<ComboBox, Collections::CollectionEventArgs> m_clearedHandler;
};

} // namespace Core::Controls
