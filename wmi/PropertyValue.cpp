#include "wmi/PropertyValue.h"
#include "wmi/WbemText.h"

#include "core/Exception.h"
#include "core/platform/windows/Com.h"
#include "wmi/ClassDefinition.h"

#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <windows.h>

#include <wbemidl.h>

using Core::String;
using Core::Collections::ArrayList;
using Core::Platform::Windows::ComScope;

namespace WMI
{

namespace
{

String Decimal(uint64_t magnitude, bool negative)
{
    wchar_t digits[24];
    int at = 23;
    digits[at] = 0;
    do
    {
        digits[--at] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (negative)
    {
        digits[--at] = L'-';
    }
    return String(digits + at);
}

// The number of a 64-bit integer's text as ANSI C writes one (decimal, or hexadecimal after 0x, with an optional
// sign); false for anything else, a number too large for 64 bits included.
bool ParseInteger(const String& text, uint64_t& magnitude, bool& negative)
{
    int at = 0;
    int length = text.GetLength();
    negative = false;
    if (at < length && (text[at] == L'-' || text[at] == L'+'))
    {
        negative = text[at] == L'-';
        at++;
    }
    unsigned base = 10;
    if (at + 1 < length && text[at] == L'0' && (text[at + 1] == L'x' || text[at + 1] == L'X'))
    {
        base = 16;
        at += 2;
    }
    if (at >= length)
    {
        return false;
    }
    magnitude = 0;
    for (; at < length; at++)
    {
        wchar_t unit = text[at];
        unsigned digit = unit >= L'0' && unit <= L'9'                 ? unit - L'0'
                         : base == 16 && unit >= L'a' && unit <= L'f' ? unit - L'a' + 10
                         : base == 16 && unit >= L'A' && unit <= L'F' ? unit - L'A' + 10
                                                                      : 99;
        if (digit >= base || magnitude > (UINT64_MAX - digit) / base)
        {
            return false;
        }
        magnitude = magnitude * base + digit;
    }
    return true;
}

bool IsSigned(int cimType)
{
    return cimType == CimSInt8 || cimType == CimSInt16 || cimType == CimSInt32 || cimType == CimSInt64;
}

// The width in bits of an unsigned CIM type's values.
int UnsignedBits(int cimType)
{
    switch (cimType)
    {
    case CimUInt8:
        return 8;
    case CimUInt16:
        return 16;
    case CimUInt32:
        return 32;
    default:
        return 64;
    }
}

// The CIM type a variant of no declared type stands for.
int CimTypeOf(VARTYPE type)
{
    switch (type & VT_TYPEMASK)
    {
    case VT_I1:
    case VT_I2:
        return CimSInt16;
    case VT_UI1:
        return CimUInt8;
    case VT_UI2:
        return CimUInt16;
    case VT_I4:
    case VT_INT:
        return CimSInt32;
    case VT_UI4:
    case VT_UINT:
        return CimUInt32;
    case VT_I8:
        return CimSInt64;
    case VT_UI8:
        return CimUInt64;
    case VT_R4:
        return CimReal32;
    case VT_R8:
        return CimReal64;
    case VT_BOOL:
        return CimBoolean;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return CimObject;
    default:
        return CimString;
    }
}

// An integer variant's value as a sign and magnitude; false for a variant that holds no integer.
bool IntegerOf(const VARIANT& value, uint64_t& magnitude, bool& negative)
{
    int64_t number = 0;
    switch (value.vt)
    {
    case VT_I1:
        number = value.cVal;
        break;
    case VT_UI1:
        number = value.bVal;
        break;
    case VT_I2:
        number = value.iVal;
        break;
    case VT_UI2:
        number = value.uiVal;
        break;
    case VT_I4:
        number = value.lVal;
        break;
    case VT_UI4:
        number = value.ulVal;
        break;
    case VT_INT:
        number = value.intVal;
        break;
    case VT_UINT:
        number = value.uintVal;
        break;
    case VT_I8:
        number = value.llVal;
        break;
    case VT_UI8:
        magnitude = value.ullVal;
        negative = false;
        return true;
    case VT_BSTR:
        return ParseInteger(TextOf(value.bstrVal), magnitude, negative);
    default:
        return false;
    }
    negative = number < 0;
    magnitude = negative ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
    return true;
}

// The text of an integer of cimType: an unsigned type's value read back from the signed variant WMI uses for it
// (a uint32 above 2^31 - 1 comes as a negative VT_I4).
bool IntegerText(const VARIANT& value, int cimType, String& text)
{
    uint64_t magnitude = 0;
    bool negative = false;
    if (!IntegerOf(value, magnitude, negative) || (value.vt == VT_BSTR && negative && !IsSigned(cimType)))
    {
        return false;
    }
    if (negative && !IsSigned(cimType))
    {
        int bits = UnsignedBits(cimType);
        magnitude = (0 - magnitude) & (bits == 64 ? UINT64_MAX : (uint64_t(1) << bits) - 1);
        negative = false;
    }
    if (negative && cimType == CimSInt64 && magnitude > uint64_t(1) << 63)
    {
        return false;
    }
    if (!negative && cimType == CimSInt64 && magnitude > uint64_t(INT64_MAX))
    {
        return false;
    }
    text = Decimal(magnitude, negative && magnitude > 0);
    return true;
}

template <typename Real> String ShortestText(Real number)
{
    char digits[64];
    std::to_chars_result written = std::to_chars(digits, digits + sizeof(digits), number);
    return String(digits, static_cast<int>(written.ptr - digits));
}

// Any variant as text, the way Automation converts it, with the invariant locale's spelling.
String ConvertedText(const VARIANT& value)
{
    OwnedVariant converted;
    if (SUCCEEDED(
            VariantChangeTypeEx(converted.Receive(), const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0, VT_BSTR)) &&
        converted.Get().vt == VT_BSTR)
    {
        return TextOf(converted.Get().bstrVal);
    }
    return String();
}

String ScalarText(const VARIANT& value, int cimType)
{
    String text;
    switch (cimType)
    {
    case CimSInt8:
    case CimSInt16:
    case CimSInt32:
    case CimSInt64:
    case CimUInt8:
    case CimUInt16:
    case CimUInt32:
    case CimUInt64:
        if (IntegerText(value, cimType, text))
        {
            return text;
        }
        break;
    case CimReal32:
    case CimReal64:
        if (value.vt == VT_R4)
        {
            return ShortestText(value.fltVal);
        }
        if (value.vt == VT_R8)
        {
            return ShortestText(value.dblVal);
        }
        break;
    case CimBoolean:
        if (value.vt == VT_BOOL)
        {
            return String(value.boolVal != VARIANT_FALSE ? L"True" : L"False");
        }
        break;
    case CimChar16:
        if (value.vt == VT_I2 || value.vt == VT_UI2)
        {
            return String(static_cast<wchar_t>(value.uiVal), 1);
        }
        break;
    default:
        break;
    }
    return value.vt == VT_BSTR ? TextOf(value.bstrVal) : ConvertedText(value);
}

// The elements of a one-dimensional array, each read as a value of elementType.
PropertyValue ArrayValue(const VARIANT& value, int elementType)
{
    SAFEARRAY* array = (value.vt & VT_BYREF) != 0 ? *value.pparray : value.parray;
    VARTYPE type = static_cast<VARTYPE>(value.vt & VT_TYPEMASK);
    LONG lower = 0;
    LONG upper = -1;
    if (array == nullptr || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper)))
    {
        return PropertyValue::Null(elementType | CimArrayFlag);
    }
    ArrayList<PropertyValue> elements(upper >= lower ? upper - lower + 1 : 0);
    for (LONG index = lower; index <= upper; index++)
    {
        OwnedVariant element;
        // Every member of the union starts at the same address, so one pointer serves any element type.
        HRESULT copied = type == VT_VARIANT ? SafeArrayGetElement(array, &index, element.Receive())
                                            : SafeArrayGetElement(array, &index, &element.Receive()->llVal);
        if (FAILED(copied))
        {
            elements.Add(PropertyValue::Null(elementType));
            continue;
        }
        if (type != VT_VARIANT)
        {
            element.Get().vt = type;
        }
        elements.Add(PropertyValue::FromVariant(element.Get(), elementType));
    }
    return PropertyValue::Array(elementType, elements);
}

bool Contains(const ArrayList<String>& names, const String& name)
{
    for (int i = 0; i < names.GetCount(); i++)
    {
        if (SameName(names[i], name))
        {
            return true;
        }
    }
    return false;
}

// Whether the property has a true "key" qualifier, asked of its own qualifier set.
bool HasKeyQualifier(IWbemClassObject* object, const String& name)
{
    ComScope<IWbemQualifierSet> qualifiers;
    if (FAILED(object->GetPropertyQualifierSet(name.GetBuffer(), qualifiers.Receive())) || !qualifiers)
    {
        return false;
    }
    OwnedVariant key;
    return SUCCEEDED(qualifiers->Get(L"key", 0, key.Receive(), nullptr)) && key.Get().vt == VT_BOOL &&
           key.Get().boolVal != VARIANT_FALSE;
}

// The key names an object's __RELPATH writes (Class.Key="value",Other=1); none for Class=@ or an object without one.
ArrayList<String> KeyNamesOfPath(const String& path)
{
    ArrayList<String> names;
    int at = path.IndexOf(L'.', 0);
    wchar_t quote = 0;
    for (int start = at + 1; at >= 0 && at < path.GetLength(); at++)
    {
        wchar_t unit = path[at];
        if (quote != 0)
        {
            at += unit == L'\\' ? 1 : 0;
            quote = unit == quote ? 0 : quote;
        }
        else if (unit == L'"' || unit == L'\'')
        {
            quote = unit;
        }
        else if (unit == L'=')
        {
            names.Add(path.Substring(start, at - start));
        }
        else if (unit == L',')
        {
            start = at + 1;
        }
    }
    return names;
}

ObjectProperty ReadProperty(IWbemClassObject* object, const String& name, bool key)
{
    OwnedVariant value;
    CIMTYPE type = 0;
    if (FAILED(object->Get(name.GetBuffer(), 0, value.Receive(), &type, nullptr)))
    {
        return ObjectProperty(name, 0, key, PropertyValue());
    }
    return ObjectProperty(name, static_cast<int>(type), key, PropertyValue::FromVariant(value.Get(), type));
}

// The system properties WMI gives every object, for a provider whose GetNames cannot list them alone.
const wchar_t* const SystemNames[] = {
    L"__GENUS",          L"__CLASS",      L"__SUPERCLASS", L"__DYNASTY",   L"__RELPATH",
    L"__PROPERTY_COUNT", L"__DERIVATION", L"__SERVER",     L"__NAMESPACE", L"__PATH"};

} // namespace

ArrayList<String> GetObjectNames(IWbemClassObject* object, const wchar_t* qualifier, long flags, bool& listed)
{
    ArrayList<String> names;
    SAFEARRAY* array = nullptr;
    listed = SUCCEEDED(object->GetNames(qualifier, flags, nullptr, &array)) && array != nullptr;
    if (!listed)
    {
        return names;
    }
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    try
    {
        for (LONG index = lower; index <= upper; index++)
        {
            BSTR name = nullptr;
            if (SUCCEEDED(SafeArrayGetElement(array, &index, &name)))
            {
                String text = TextOf(name);
                SysFreeString(name);
                names.Add(text);
            }
        }
    }
    catch (...)
    {
        SafeArrayDestroy(array);
        throw;
    }
    SafeArrayDestroy(array);
    return names;
}

PropertyValue PropertyValue::Null(int cimType)
{
    PropertyValue value;
    value.m_cimType = cimType;
    return value;
}

PropertyValue PropertyValue::Scalar(int cimType, const String& text)
{
    PropertyValue value;
    value.m_cimType = cimType;
    value.m_null = false;
    value.m_text = text;
    return value;
}

PropertyValue PropertyValue::Array(int cimType, const ArrayList<PropertyValue>& elements)
{
    PropertyValue value;
    value.m_cimType = (cimType & ~CimArrayFlag) | CimArrayFlag;
    value.m_null = false;
    value.m_elements = std::make_shared<const ArrayList<PropertyValue>>(elements);
    return value;
}

PropertyValue PropertyValue::Embedded(const ObjectValue& object)
{
    PropertyValue value;
    value.m_cimType = CimObject;
    value.m_null = false;
    value.m_object = std::make_shared<const ObjectValue>(object);
    return value;
}

PropertyValue PropertyValue::FromVariant(const VARIANT& value, int cimType)
{
    if ((value.vt & VT_BYREF) != 0 && (value.vt & VT_ARRAY) == 0)
    {
        OwnedVariant direct;
        if (FAILED(VariantCopyInd(direct.Receive(), const_cast<VARIANT*>(&value))))
        {
            return Null(cimType);
        }
        return FromVariant(direct.Get(), cimType);
    }
    int type = cimType != 0 ? cimType : CimTypeOf(value.vt) | ((value.vt & VT_ARRAY) != 0 ? CimArrayFlag : 0);
    if (value.vt == VT_EMPTY || value.vt == VT_NULL)
    {
        return Null(type);
    }
    if ((value.vt & VT_ARRAY) != 0)
    {
        return ArrayValue(value, (type & ~CimArrayFlag) != 0 ? type & ~CimArrayFlag : CimTypeOf(value.vt));
    }
    type &= ~CimArrayFlag;
    if (value.vt == VT_UNKNOWN || value.vt == VT_DISPATCH)
    {
        IUnknown* unknown = value.vt == VT_UNKNOWN ? value.punkVal : value.pdispVal;
        ComScope<IWbemClassObject> object;
        if (unknown == nullptr ||
            FAILED(unknown->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(object.Receive()))))
        {
            return Null(CimObject);
        }
        return Embedded(ReadObject(object.Get()));
    }
    return Scalar(type, ScalarText(value, type));
}

int PropertyValue::GetCount() const
{
    return IsArray() ? m_elements->GetCount() : 0;
}

const PropertyValue& PropertyValue::GetElement(int index) const
{
    if (index < 0 || index >= GetCount())
    {
        throw Core::ArgumentOutOfRangeException(index, String(L"PropertyValue.GetElement method - index out of range"));
    }
    return (*m_elements)[index];
}

const ObjectValue& PropertyValue::GetEmbedded() const
{
    if (!IsEmbedded())
    {
        throw Core::InvalidOperationException(String(L"The value is not an embedded object"));
    }
    return *m_object;
}

const ObjectProperty* ObjectValue::FindProperty(const String& name) const
{
    for (const ArrayList<ObjectProperty>* list : {&m_properties, &m_systemProperties})
    {
        for (int i = 0; i < list->GetCount(); i++)
        {
            if (SameName((*list)[i].GetName(), name))
            {
                return &(*list)[i];
            }
        }
    }
    return nullptr;
}

ObjectValue ReadObject(IWbemClassObject* object)
{
    if (object == nullptr)
    {
        throw Core::ArgumentNullException(String(L"object"));
    }
    bool listed = false;
    ArrayList<String> systemNames = GetObjectNames(object, nullptr, WBEM_FLAG_SYSTEM_ONLY, listed);
    if (!listed)
    {
        for (const wchar_t* name : SystemNames)
        {
            systemNames.Add(String(name));
        }
    }
    ArrayList<ObjectProperty> systemProperties(systemNames.GetCount());
    String className;
    String path;
    String relativePath;
    for (int i = 0; i < systemNames.GetCount(); i++)
    {
        ObjectProperty property = ReadProperty(object, systemNames[i], false);
        if (!listed && property.GetCimType() == 0 && property.GetValue().IsNull())
        {
            continue; // not one this provider has
        }
        const String& name = property.GetName();
        String* kept = SameName(name, String(L"__CLASS"))     ? &className
                       : SameName(name, String(L"__PATH"))    ? &path
                       : SameName(name, String(L"__RELPATH")) ? &relativePath
                                                              : nullptr;
        if (kept != nullptr)
        {
            *kept = property.GetValue().GetText();
        }
        systemProperties.Add(property);
    }

    ArrayList<String> names = GetObjectNames(object, nullptr, WBEM_FLAG_NONSYSTEM_ONLY, listed);
    // One call names every key; a provider that cannot filter by qualifier is asked property by property, and one
    // whose qualifier sets hold no key marks (Wine's) has them read from the names its path gives its keys.
    bool keysListed = false;
    ArrayList<String> keys =
        GetObjectNames(object, L"key", WBEM_FLAG_ONLY_IF_TRUE | WBEM_FLAG_NONSYSTEM_ONLY, keysListed);
    if (!keysListed)
    {
        for (int i = 0; i < names.GetCount(); i++)
        {
            if (HasKeyQualifier(object, names[i]))
            {
                keys.Add(names[i]);
            }
        }
        if (keys.GetCount() == 0)
        {
            keys = KeyNamesOfPath(relativePath);
        }
    }
    ArrayList<ObjectProperty> properties(names.GetCount());
    for (int i = 0; i < names.GetCount(); i++)
    {
        properties.Add(ReadProperty(object, names[i], Contains(keys, names[i])));
    }
    return ObjectValue(className, path, properties, systemProperties);
}

String FormatValue(const PropertyValue& value, const UtcOffset& zone)
{
    if (value.IsNull())
    {
        return String(L"NULL");
    }
    if (value.IsArray())
    {
        String text(L"{");
        for (int i = 0; i < value.GetCount(); i++)
        {
            if (i > 0)
            {
                text += L", ";
            }
            text += FormatValue(value.GetElement(i), zone);
        }
        return text + L"}";
    }
    if (value.IsEmbedded())
    {
        return String(L"instance of ") + value.GetEmbedded().GetObjectClass();
    }
    if ((value.GetCimType() & ~CimArrayFlag) == CimDateTime)
    {
        return value.GetDateTime().Format(zone);
    }
    return value.GetText();
}

String FormatElementCount(int count)
{
    String text;
    text += count;
    return text + (count == 1 ? L" element" : L" elements");
}

String FormatCimType(int cimType)
{
    String name = GetCimTypeName(cimType & ~CimArrayFlag);
    return (cimType & CimArrayFlag) != 0 ? name + L"[]" : name;
}

} // namespace WMI
