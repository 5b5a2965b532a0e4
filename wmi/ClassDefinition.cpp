#include "wmi/ClassDefinition.h"

#include "core/Exception.h"

#include <windows.h>

using Core::String;

namespace WMI
{

String GetCimTypeName(int cimType)
{
    switch (cimType)
    {
    case CimSInt16:
        return String(L"int16");
    case CimSInt32:
        return String(L"int32");
    case CimReal32:
        return String(L"real32");
    case CimReal64:
        return String(L"real64");
    case CimString:
        return String(L"string");
    case CimBoolean:
        return String(L"bool");
    case CimObject:
        return String(L"object");
    case CimSInt8:
        return String(L"int8");
    case CimUInt8:
        return String(L"unsigned int8");
    case CimUInt16:
        return String(L"unsigned int16");
    case CimUInt32:
        return String(L"unsigned int32");
    case CimSInt64:
        return String(L"int64");
    case CimUInt64:
        return String(L"unsigned int64");
    case CimDateTime:
        return String(L"datetime");
    case CimReference:
        return String(L"ref");
    case CimChar16:
        return String(L"char16");
    default:
        return String(L"unknown");
    }
}

bool IsSameNamespace(const String& first, const String& second)
{
    // Ordinal, without case: the same rule for every machine, whatever its user's language.
    return CompareStringOrdinal(first.GetBuffer(), first.GetLength(), second.GetBuffer(), second.GetLength(), TRUE) ==
           CSTR_EQUAL;
}

bool IsNamespacePath(const String& text)
{
    int length = text.GetLength();
    if (length == 0 || text[0] == L' ' || text[length - 1] == L' ')
    {
        return false;
    }
    wchar_t previous = L'\\'; // a leading backslash would start an empty name, or a machine's name
    for (int i = 0; i < length; i++)
    {
        wchar_t c = text[i];
        if (c < 0x20 || c == 0x7F || c == L'/' || c == L':' || (c == L'\\' && previous == L'\\'))
        {
            return false;
        }
        previous = c;
    }
    return previous != L'\\';
}

ClassDefinition::ClassDefinition(const String& className, int kind)
    : m_className(className), m_namespace(DefaultNamespace), m_kind(kind), m_properties(16)
{
}

void ClassDefinition::SetNamespace(const String& nameSpace)
{
    if (nameSpace.IsEmpty())
    {
        m_namespace = String(DefaultNamespace);
        return;
    }
    if (!IsNamespacePath(nameSpace))
    {
        throw Core::InvalidArgumentException(String(L"ClassDefinition.SetNamespace method - not a namespace path"));
    }
    m_namespace = nameSpace;
}

String ClassDefinition::GetQueryText() const
{
    String text(L"Select ");
    for (int i = 0; i < m_properties.GetCount(); i++)
    {
        if (i > 0)
        {
            text += L", ";
        }
        text += m_properties[i].GetName();
    }
    text += L" from ";
    text += m_className;
    if (!m_filter.IsEmpty())
    {
        text += L" where ";
        text += m_filter;
    }
    return text;
}

} // namespace WMI
