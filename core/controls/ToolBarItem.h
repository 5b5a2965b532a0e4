// The items of toolbars and menus: a command id, a text (a toolbar button's text is its tooltip), an
// image index into the bar's image list, an enabled flag, and a separator before it. A drop-down item
// owns the drop-down it opens. Clicks reach the application as a CommandEventArgs.
#pragma once

#include "core/Event.h"
#include "core/String.h"
#include "core/collections/PointerCollection.h"

namespace Core::Controls
{

class ToolBar;
class ToolBarDropDown;

class ToolBarItem : public Object
{
public:
    ToolBarItem(const String& text, int commandId, int imageIndex);

    void SetText(const String& text);
    const String& GetText() const { return m_text; }
    // The tooltip; for a toolbar button its text.
    virtual String GetToolTipText() const { return m_text; }
    void SetCommandId(int commandId) { m_commandId = commandId; }
    int GetCommandId() const { return m_commandId; }
    void SetImageIndex(int imageIndex);
    int GetImageIndex() const { return m_imageIndex; }
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return m_enabled; }
    // A separator line drawn before the item (above it in a drop-down, left of it in a toolbar).
    void SetSeparator(bool separator);
    bool HasSeparator() const { return m_separator; }
    // The character after "&" in the text, upper case, or 0.
    wchar_t GetMnemonic() const;

    // The key combination shown right of the item in a drop-down; empty for none.
    virtual String GetShortcutText() const { return String(); }
    // The drop-down the item opens, or null.
    virtual ToolBarDropDown* GetDropDown() const { return nullptr; }
    bool HasDropDown() const;
    // The bar holding the item, or null.
    ToolBar* GetOwner() const { return m_owner; }

protected:
    void Changed(bool geometry);

private:
    friend class ToolBarItemCollection;

    String m_text;
    int m_commandId;
    int m_imageIndex;
    bool m_enabled = true;
    bool m_separator = false;
    ToolBar* m_owner = nullptr; // not owned
};

class ToolBarButton : public ToolBarItem
{
public:
    ToolBarButton(const String& toolTipText, int commandId, int imageIndex, bool enabled = true);
};

class ToolBarDropDownItem : public ToolBarItem
{
public:
    ToolBarDropDownItem(const String& text, int commandId, int imageIndex);
    ~ToolBarDropDownItem() override;

    // The item takes the drop-down over (deleting the one it had); null is refused.
    void SetDropDown(ToolBarDropDown* dropDown);
    ToolBarDropDown* GetDropDown() const override { return m_dropDown; }

protected:
    ToolBarDropDown* m_dropDown = nullptr; // owned
};

// The items of one bar, owned by it, in display order.
class ToolBarItemCollection : public Collections::PointerCollection<ToolBarItem>
{
public:
    explicit ToolBarItemCollection(ToolBar* owner) : m_owner(owner) {}
    ~ToolBarItemCollection() override;

    void Insert(int index, ToolBarItem* item) override;
    void RemoveAt(int index) override;
    void Clear() override;
    int IndexOf(const ToolBarItem* item) const;

private:
    ToolBar* m_owner; // not owned
};

// The argument of a toolbar's or menu's click: the clicked item.
class CommandEventArgs : public EventArgs
{
public:
    explicit CommandEventArgs(ToolBarItem* item) : m_item(item) {}
    ToolBarItem* GetItem() const { return m_item; }
    int GetCommandId() const { return m_item != nullptr ? m_item->GetCommandId() : -1; }

private:
    ToolBarItem* m_item; // not owned
};

} // namespace Core::Controls
