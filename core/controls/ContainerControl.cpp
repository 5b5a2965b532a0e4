#include "core/controls/ContainerControl.h"

#include <windows.h>

namespace Core::Controls
{

ContainerControl::ContainerControl()
{
    SetClassName(String(L"Core.Controls.ContainerControl"));
}

bool ContainerControl::SelectNextControl(Control* start, bool forward, bool wrap)
{
    // Walk every control in tab order from the start (which may be a label or a control inside another)
    // to the next one that can take the focus.
    Collections::ArrayList<Control*> all;
    CollectSelectable(all, false);
    int count = all.GetCount();
    int position = -1;
    for (int i = 0; i < count && start != nullptr; i++)
    {
        if (all[i] == start)
        {
            position = i;
            break;
        }
    }
    if (position < 0)
    {
        position = forward ? -1 : count;
    }
    for (int step = 1; step <= count; step++)
    {
        int index = forward ? position + step : position - step;
        if (index >= count || index < 0)
        {
            if (!wrap)
            {
                return false;
            }
            index = (index % count + count) % count;
        }
        if (all[index]->CanSelect())
        {
            return all[index]->Focus();
        }
    }
    return false;
}

Control* ContainerControl::GetActiveControl() const
{
    HWND focus = GetFocus();
    if (focus == nullptr || m_handle == nullptr || (focus != m_handle && !IsChild(m_handle, focus)))
    {
        return nullptr;
    }
    return Control::FromHandle(focus);
}

bool ContainerControl::ProcessMnemonicInChildren(wchar_t character)
{
    Collections::ArrayList<Control*> all;
    CollectSelectable(all, false);
    for (int i = 0; i < all.GetCount(); i++)
    {
        Control* control = all[i];
        if (control->IsEnabled() && control->IsVisible() && control->GetMnemonic() == character)
        {
            if (control->PerformMnemonic())
            {
                return true;
            }
        }
    }
    return false;
}

bool ContainerControl::ProcessDialogKey(int keyData)
{
    // Only the outermost container moves the focus, over every control of the window.
    if (GetParent() == nullptr && (keyData & Keys::KeyCode) == Keys::Tab &&
        (keyData & (Keys::Control | Keys::Alt)) == 0)
    {
        SelectNextControl(GetActiveControl(), (keyData & Keys::Shift) == 0, true);
        return true;
    }
    int key = keyData & Keys::KeyCode;
    bool letterOrDigit = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
    if (GetParent() == nullptr && letterOrDigit && (keyData & Keys::Modifiers) == Keys::Alt)
    {
        return ProcessMnemonicInChildren(static_cast<wchar_t>(key));
    }
    return ScrollableControl::ProcessDialogKey(keyData);
}

bool ContainerControl::ProcessDialogChar(wchar_t character)
{
    if (GetParent() != nullptr)
    {
        return false;
    }
    wchar_t upper = static_cast<wchar_t>(reinterpret_cast<uintptr_t>(
        CharUpperW(reinterpret_cast<wchar_t*>(static_cast<uintptr_t>(static_cast<unsigned short>(character))))));
    return ProcessMnemonicInChildren(upper);
}

} // namespace Core::Controls
