#include "core/controls/Keys.h"

#include <windows.h>

namespace Core::Controls
{

String Shortcut::ToString() const
{
    if (IsNone())
    {
        return String();
    }
    String text;
    if ((GetValue() & Keys::Control) != 0)
    {
        text += L"Ctrl+";
    }
    if ((GetValue() & Keys::Alt) != 0)
    {
        text += L"Alt+";
    }
    if ((GetValue() & Keys::Shift) != 0)
    {
        text += L"Shift+";
    }
    text += GetKeyName(GetKeyCode());
    return text;
}

String Shortcut::GetKeyName(int keyCode)
{
    if ((keyCode >= 'A' && keyCode <= 'Z') || (keyCode >= '0' && keyCode <= '9'))
    {
        return String(static_cast<wchar_t>(keyCode), 1);
    }
    if (keyCode >= Keys::F1 && keyCode <= Keys::F24)
    {
        return String(L"F") + (keyCode - Keys::F1 + 1);
    }
    struct Name
    {
        int key;
        const wchar_t* text;
    };
    static const Name names[] = {
        {Keys::Back, L"Backspace"}, {Keys::Tab, L"Tab"},     {Keys::Return, L"Enter"},  {Keys::Escape, L"Esc"},
        {Keys::Space, L"Space"},    {Keys::PageUp, L"PgUp"}, {Keys::PageDown, L"PgDn"}, {Keys::End, L"End"},
        {Keys::Home, L"Home"},      {Keys::Left, L"Left"},   {Keys::Up, L"Up"},         {Keys::Right, L"Right"},
        {Keys::Down, L"Down"},      {Keys::Insert, L"Ins"},  {Keys::Delete, L"Del"},    {VK_ADD, L"Num +"},
        {VK_SUBTRACT, L"Num -"},    {VK_MULTIPLY, L"Num *"}, {VK_DIVIDE, L"Num /"},     {VK_OEM_PLUS, L"+"},
        {VK_OEM_MINUS, L"-"},       {VK_OEM_COMMA, L","},    {VK_OEM_PERIOD, L"."},
    };
    for (const Name& name : names)
    {
        if (name.key == keyCode)
        {
            return String(name.text);
        }
    }
    // Anything else by the keyboard layout's own name for the key.
    wchar_t buffer[64] = {};
    LONG scanCode = static_cast<LONG>(MapVirtualKeyW(static_cast<UINT>(keyCode), MAPVK_VK_TO_VSC)) << 16;
    int length = scanCode != 0 ? GetKeyNameTextW(scanCode, buffer, 64) : 0;
    if (length > 0)
    {
        return String(buffer, length);
    }
    return String(L"Key ") + keyCode;
}

} // namespace Core::Controls
