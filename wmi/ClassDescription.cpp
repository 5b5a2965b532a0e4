#include "wmi/ClassDescription.h"
#include "wmi/WbemText.h"

#include "core/Exception.h"
#include "core/platform/windows/Com.h"
#include "wmi/InvalidWMIClassException.h"
#include "wmi/ResultMessage.h"

#include <cstdint>
#include <windows.h>

#include <wbemidl.h>

using Core::String;
using Core::Collections::ArrayList;
using Core::Platform::Windows::ComScope;
using Core::Platform::Windows::ComString;

namespace WMI
{

namespace
{

String QualifierText(IWbemQualifierSet* qualifiers, const wchar_t* name)
{
    OwnedVariant value;
    if (FAILED(qualifiers->Get(name, 0, value.Receive(), nullptr)) || value.Get().vt != VT_BSTR)
    {
        return String();
    }
    return TextOf(value.Get().bstrVal);
}

bool QualifierFlag(IWbemQualifierSet* qualifiers, const wchar_t* name)
{
    OwnedVariant value;
    return SUCCEEDED(qualifiers->Get(name, 0, value.Receive(), nullptr)) && value.Get().vt == VT_BOOL &&
           value.Get().boolVal != VARIANT_FALSE;
}

// A qualifier's texts: each element of an array of them (numbers as their text), or a single text as one.
ArrayList<String> QualifierTexts(IWbemQualifierSet* qualifiers, const wchar_t* name)
{
    ArrayList<String> texts;
    OwnedVariant value;
    if (FAILED(qualifiers->Get(name, 0, value.Receive(), nullptr)))
    {
        return texts;
    }
    PropertyValue read = PropertyValue::FromVariant(value.Get(), 0);
    if (read.IsArray())
    {
        for (int i = 0; i < read.GetCount(); i++)
        {
            texts.Add(read.GetElement(i).GetText());
        }
    }
    else if (!read.IsNull())
    {
        texts.Add(read.GetText());
    }
    return texts;
}

PropertyDescription DescribeProperty(IWbemClassObject* object, const String& name)
{
    PropertyDescription property;
    property.name = name;
    CIMTYPE type = 0;
    if (SUCCEEDED(object->Get(name.GetBuffer(), 0, nullptr, &type, nullptr)))
    {
        property.cimType = static_cast<int>(type);
    }
    ComScope<IWbemQualifierSet> qualifiers;
    if (FAILED(object->GetPropertyQualifierSet(name.GetBuffer(), qualifiers.Receive())) || !qualifiers)
    {
        return property;
    }
    property.description = QualifierText(qualifiers.Get(), L"Description");
    property.key = QualifierFlag(qualifiers.Get(), L"key");
    property.read = QualifierFlag(qualifiers.Get(), L"read");
    property.write = QualifierFlag(qualifiers.Get(), L"write");
    property.values = QualifierTexts(qualifiers.Get(), L"Values");
    property.valueMap = QualifierTexts(qualifiers.Get(), L"ValueMap");
    property.bitValues = QualifierTexts(qualifiers.Get(), L"BitValues");
    property.bitMap = QualifierTexts(qualifiers.Get(), L"BitMap");
    return property;
}

// Whether a MOF text holds the declaration "class " + className (followed by a blank, a colon or a brace).
bool DeclaresClass(const String& text, const String& className)
{
    String wanted = String(L"class ") + className;
    String lower = text.ToLower();
    String lowerWanted = wanted.ToLower();
    for (int at = lower.IndexOf(lowerWanted, 0); at >= 0; at = lower.IndexOf(lowerWanted, at + 1))
    {
        int end = at + lowerWanted.GetLength();
        bool startsWord = at == 0 || text[at - 1] == L'\n' || text[at - 1] == L' ' || text[at - 1] == L']';
        bool endsName = end == text.GetLength() || text[end] == L' ' || text[end] == L':' || text[end] == L'\n' ||
                        text[end] == L'{';
        if (startsWord && endsName)
        {
            return true;
        }
        if (at + 1 >= lower.GetLength())
        {
            break;
        }
    }
    return false;
}

std::shared_ptr<const ConnectionSession> SessionOf(ManagementConnection* connection)
{
    if (connection == nullptr)
    {
        throw Core::ArgumentNullException(String(L"connection"));
    }
    return connection->GetSession();
}

// A connection in English to the namespace of connection, not yet open, when its texts may need English: its
// locale is another. Null otherwise.
std::shared_ptr<ManagementConnection> EnglishCopy(const ManagementConnection& connection)
{
    if (SameName(connection.GetEffectiveLocale(), String(EnglishLocale)))
    {
        return nullptr;
    }
    std::shared_ptr<ManagementConnection> english = connection.CopyCredentials();
    english->SetLocale(String(EnglishLocale));
    return english;
}

// The texts English has that described lacks, read through the session's English one, opened through english (a
// copy made by EnglishCopy) the first time a class needs it; a machine that cannot be reached in English leaves
// described as it is.
void FillFromEnglish(ClassDescription& described, const ConnectionSession& session, const ManagementConnection& english,
                     const String& nameSpace)
{
    if (!LacksTexts(described))
    {
        return;
    }
    std::shared_ptr<const ConnectionSession> inEnglish = session.GetEnglishSession(
        [&]() -> std::shared_ptr<const ConnectionSession>
        {
            try
            {
                return english.ConnectNamespace(nameSpace)->GetSession();
            }
            catch (const Core::Exception&)
            {
                return nullptr;
            }
        });
    if (inEnglish == nullptr)
    {
        return;
    }
    try
    {
        FillMissingTexts(described, GetClassDescription(*inEnglish, described.className));
    }
    catch (const Core::Exception&)
    {
        // The user's texts, as far as there are any, are what there is.
    }
}

// The number of an integer text as ANSI C writes one (decimal, or hexadecimal after 0x, with an optional sign).
bool ParseInteger(const String& text, int64_t& number)
{
    int at = 0;
    int length = text.GetLength();
    while (at < length && text[at] == L' ')
    {
        at++;
    }
    while (length > at && text[length - 1] == L' ')
    {
        length--;
    }
    bool negative = at < length && text[at] == L'-';
    if (at < length && (text[at] == L'-' || text[at] == L'+'))
    {
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
    uint64_t magnitude = 0;
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
    // Values beyond the signed range (a uint64 above 2^63 - 1) keep their bits, which bit names read.
    number = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

// Whether a ValueMap entry stands for the value: the same number, inside a range "low..high" (either end may be
// left out), or the same text without regard to case. ".." alone is for any value no other entry has, and is
// not matched here.
bool MapEntryMatches(const String& entry, const String& value, bool numeric, int64_t number)
{
    int range = entry.IndexOf(String(L".."), 0);
    if (range >= 0 && entry.GetLength() > 2)
    {
        if (!numeric)
        {
            return false;
        }
        String low = range > 0 ? entry.Substring(0, range) : String();
        String high = range + 2 < entry.GetLength() ? entry.Substring(range + 2) : String();
        int64_t bound = 0;
        bool aboveLow = low.IsEmpty() || (ParseInteger(low, bound) && number >= bound);
        bool belowHigh = high.IsEmpty() || (ParseInteger(high, bound) && number <= bound);
        return aboveLow && belowHigh;
    }
    int64_t mapped = 0;
    if (numeric && ParseInteger(entry, mapped))
    {
        return mapped == number;
    }
    return SameName(entry, value);
}

// The name of a coded value; empty when nothing names it.
String NameOf(const PropertyDescription& property, const String& value)
{
    int64_t number = 0;
    bool numeric = ParseInteger(value, number);
    if (property.valueMap.GetCount() > 0)
    {
        int rest = -1;
        for (int i = 0; i < property.valueMap.GetCount(); i++)
        {
            const String& entry = property.valueMap[i];
            if (entry == String(L".."))
            {
                rest = i;
            }
            else if (MapEntryMatches(entry, value, numeric, number))
            {
                return i < property.values.GetCount() ? property.values[i] : String();
            }
        }
        if (rest >= 0 && rest < property.values.GetCount())
        {
            return property.values[rest];
        }
    }
    else if (property.values.GetCount() > 0 && numeric && number >= 0 && number < property.values.GetCount())
    {
        return property.values[static_cast<int>(number)];
    }
    if (property.bitValues.GetCount() > 0 && numeric)
    {
        String names;
        for (int i = 0; i < property.bitValues.GetCount(); i++)
        {
            int64_t position = i;
            if (property.bitMap.GetCount() > 0 &&
                (i >= property.bitMap.GetCount() || !ParseInteger(property.bitMap[i], position)))
            {
                continue;
            }
            if (position >= 0 && position < 64 && (static_cast<uint64_t>(number) >> position & 1) != 0)
            {
                names += names.IsEmpty() ? property.bitValues[i] : String(L", ") + property.bitValues[i];
            }
        }
        return names;
    }
    return String();
}

} // namespace

const PropertyDescription* ClassDescription::FindProperty(const String& name) const
{
    for (int i = 0; i < properties.GetCount(); i++)
    {
        if (SameName(properties[i].name, name))
        {
            return &properties[i];
        }
    }
    return nullptr;
}

ClassDescription GetClassDescription(const ConnectionSession& session, const String& className)
{
    ComScope<IWbemClassObject> object;
    HRESULT result = session.GetServices()->GetObject(ComString(className).Get(), WBEM_FLAG_USE_AMENDED_QUALIFIERS,
                                                      nullptr, object.Receive(), nullptr);
    if (FAILED(result) || !object)
    {
        if (result == static_cast<HRESULT>(WBEM_E_NOT_FOUND) || result == static_cast<HRESULT>(WBEM_E_INVALID_CLASS))
        {
            throw InvalidWMIClassException(className);
        }
        throw Core::Exception(String(L"Could not read the class ") + className + L" in " + session.GetNamespace() +
                              L": " + GetResultReason(result));
    }
    ClassDescription described;
    described.className = className;
    ComScope<IWbemQualifierSet> qualifiers;
    if (SUCCEEDED(object->GetQualifierSet(qualifiers.Receive())) && qualifiers)
    {
        described.description = QualifierText(qualifiers.Get(), L"Description");
    }
    bool listed = false;
    ArrayList<String> names = GetObjectNames(object.Get(), nullptr, WBEM_FLAG_NONSYSTEM_ONLY, listed);
    for (int i = 0; i < names.GetCount(); i++)
    {
        described.properties.Add(DescribeProperty(object.Get(), names[i]));
    }
    BSTR text = nullptr;
    if (SUCCEEDED(object->GetObjectText(0, &text)) && text != nullptr)
    {
        described.mofText = TextOf(text);
    }
    SysFreeString(text);
    // Only a text that declares the class is its MOF: Wine writes one of its instances instead.
    if (!DeclaresClass(described.mofText, className))
    {
        described.mofText = String();
    }
    return described;
}

bool LacksTexts(const ClassDescription& described)
{
    if (described.description.IsEmpty())
    {
        return true;
    }
    for (int i = 0; i < described.properties.GetCount(); i++)
    {
        const PropertyDescription& property = described.properties[i];
        if (property.description.IsEmpty() || (property.valueMap.GetCount() > 0 && property.values.GetCount() == 0) ||
            (property.bitMap.GetCount() > 0 && property.bitValues.GetCount() == 0))
        {
            return true;
        }
    }
    return false;
}

void FillMissingTexts(ClassDescription& described, const ClassDescription& english)
{
    if (described.description.IsEmpty())
    {
        described.description = english.description;
    }
    for (int i = 0; i < described.properties.GetCount(); i++)
    {
        PropertyDescription& property = described.properties[i];
        const PropertyDescription* other = english.FindProperty(property.name);
        if (other == nullptr)
        {
            continue;
        }
        if (property.description.IsEmpty())
        {
            property.description = other->description;
        }
        // Names and their map go together: a map of the user's own is kept with English names only when English
        // names the same map.
        if (property.values.GetCount() == 0 &&
            (property.valueMap.GetCount() == 0 || property.valueMap.GetCount() == other->valueMap.GetCount()))
        {
            property.values = other->values;
            property.valueMap = property.valueMap.GetCount() > 0 ? property.valueMap : other->valueMap;
        }
        if (property.bitValues.GetCount() == 0 &&
            (property.bitMap.GetCount() == 0 || property.bitMap.GetCount() == other->bitMap.GetCount()))
        {
            property.bitValues = other->bitValues;
            property.bitMap = property.bitMap.GetCount() > 0 ? property.bitMap : other->bitMap;
        }
    }
}

ClassDescription GetClassDescription(ManagementConnection* connection, const String& className)
{
    std::shared_ptr<const ConnectionSession> session = SessionOf(connection);
    ClassDescription described = GetClassDescription(*session, className);
    std::shared_ptr<ManagementConnection> english = EnglishCopy(*connection);
    if (english != nullptr)
    {
        FillFromEnglish(described, *session, *english, connection->GetNamespace());
    }
    return described;
}

void ReadClassDescription(const Core::Threading::CompletionOwner& owner, ManagementConnection* connection,
                          const String& className,
                          std::function<void(Core::Threading::Outcome<ClassDescription>&)> completion)
{
    std::shared_ptr<const ConnectionSession> session = SessionOf(connection);
    std::shared_ptr<ClassTurn> turn = session->GetClassTurns().Take(className);
    // Made here, on the window thread, with no WMI call: the worker opens it only when English is needed.
    std::shared_ptr<ManagementConnection> english = EnglishCopy(*connection);
    String nameSpace = connection->GetNamespace();
    Core::Threading::CompletionTarget wanted = owner.GetTarget();
    Core::Threading::RunInBackground<ClassDescription>(
        owner,
        [session, turn, className, english, nameSpace, wanted]
        {
            return turn->Run(
                [&]
                {
                    ClassDescription described;
                    if (!wanted.IsWanted())
                    {
                        return described;
                    }
                    described = GetClassDescription(*session, className);
                    if (english != nullptr && wanted.IsWanted())
                    {
                        FillFromEnglish(described, *session, *english, nameSpace);
                    }
                    return described;
                });
        },
        std::move(completion));
}

String FormatCodedValue(const PropertyDescription& property, const PropertyValue& value)
{
    if (value.IsArray())
    {
        String text(L"{");
        for (int i = 0; i < value.GetCount(); i++)
        {
            text += (i > 0 ? String(L", ") : String()) + FormatCodedValue(property, value.GetElement(i));
        }
        return text + L"}";
    }
    String shown = FormatValue(value);
    if (value.IsNull() || value.IsEmbedded())
    {
        return shown;
    }
    String name = NameOf(property, value.GetText());
    return name.IsEmpty() ? shown : shown + L" (" + name + L")";
}

String FormatCodedValue(const PropertyDescription& property, const String& value)
{
    String name = NameOf(property, value);
    return name.IsEmpty() ? value : value + L" (" + name + L")";
}

} // namespace WMI
