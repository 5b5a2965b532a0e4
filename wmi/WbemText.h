// What the readers of WMI objects share: a VARIANT cleared however its reader is left, the text of a BSTR as WMI
// hands it out, and names compared as WMI compares them.
#pragma once

#include "core/String.h"

#include <windows.h>

#include <oleauto.h>

namespace WMI
{

class OwnedVariant
{
public:
    OwnedVariant() { VariantInit(&m_value); }
    ~OwnedVariant() { VariantClear(&m_value); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;

    VARIANT* Receive()
    {
        VariantClear(&m_value);
        return &m_value;
    }
    VARIANT& Get() { return m_value; }
    const VARIANT& Get() const { return m_value; }

private:
    VARIANT m_value;
};

// A text without the NULs a provider may count after it (Wine's paths are longer than their texts).
inline Core::String TextOf(BSTR text)
{
    int length = text != nullptr ? static_cast<int>(SysStringLen(text)) : 0;
    while (length > 0 && text[length - 1] == 0)
    {
        length--;
    }
    return Core::String(text != nullptr ? text : L"", length);
}

// Property, class and qualifier names: ordinal, without regard to case, whatever the user's language.
inline bool SameName(const Core::String& a, const Core::String& b)
{
    return a.GetLength() == b.GetLength() &&
           CompareStringOrdinal(a.GetBuffer(), a.GetLength(), b.GetBuffer(), b.GetLength(), TRUE) == CSTR_EQUAL;
}

} // namespace WMI
