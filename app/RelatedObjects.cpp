#include "app/RelatedObjects.h"

#include "core/Exception.h"
#include "core/platform/windows/Com.h"
#include "wmi/PropertyValue.h"
#include "wmi/ResultMessage.h"

#include <new>
#include <utility>
#include <vector>
#include <windows.h>

#include <wbemidl.h>

namespace Quarrow
{

using Core::String;
using Core::Collections::ArrayList;
using Core::Platform::Windows::ComScope;

namespace
{

// How long one Next waits, so that a stop request is seen while a provider is slow.
constexpr long NextTimeoutMilliseconds = 250;
constexpr unsigned long Batch = 50;

// Runs the query and hands each object read whole to take; the machine's reason when it fails, empty otherwise.
String RunQuery(const WMI::ConnectionSession& session, const String& query, const std::function<bool()>& stop,
                const std::function<void(const WMI::ObjectValue&)>& take)
{
    ComScope<IEnumWbemClassObject> enumerator;
    HRESULT result = session.ExecQuery(query, enumerator.Receive());
    if (FAILED(result) || !enumerator)
    {
        return WMI::GetResultReason(FAILED(result) ? result : static_cast<HRESULT>(WBEM_E_FAILED));
    }
    while (!stop())
    {
        IWbemClassObject* objects[Batch] = {};
        ULONG returned = 0;
        result = enumerator->Next(NextTimeoutMilliseconds, Batch, objects, &returned);
        if (FAILED(result))
        {
            return WMI::GetResultReason(result);
        }
        for (ULONG i = 0; i < returned; i++)
        {
            ComScope<IWbemClassObject> object(objects[i]);
            take(WMI::ReadObject(object.Get()));
        }
        if (result == WBEM_S_FALSE || (result == WBEM_S_NO_ERROR && returned < Batch))
        {
            break;
        }
    }
    return String();
}

RelatedObject RelatedOf(const WMI::ObjectValue& object, const String& association)
{
    RelatedObject related;
    related.className = object.GetObjectClass();
    related.association = association;
    related.path = object.GetPath();
    if (const WMI::ObjectProperty* relative = object.FindProperty(String(L"__RELPATH")))
    {
        related.relativePath = relative->GetValue().GetText();
    }
    if (related.relativePath.IsEmpty())
    {
        related.relativePath = related.path;
    }
    return related;
}

} // namespace

RelatedObjects ReadRelatedObjects(const WMI::ConnectionSession& session, const String& relativePath,
                                  const std::function<bool()>& stopRequested)
{
    RelatedObjects related;
    const String braced = String(L"{") + relativePath + L"}";
    ArrayList<String> associations;
    String classesFailure =
        RunQuery(session, String(L"REFERENCES OF ") + braced + L" WHERE ClassDefsOnly", stopRequested,
                 [&](const WMI::ObjectValue& definition) { associations.Add(definition.GetObjectClass()); });
    if (classesFailure.IsEmpty())
    {
        for (int i = 0; i < associations.GetCount() && related.associatorsFailure.IsEmpty(); i++)
        {
            related.associatorsFailure = RunQuery(
                session, String(L"ASSOCIATORS OF ") + braced + L" WHERE AssocClass = " + associations[i], stopRequested,
                [&](const WMI::ObjectValue& object) { related.associators.Add(RelatedOf(object, associations[i])); });
        }
    }
    else
    {
        // Without the association classes (Wine refuses REFERENCES OF), the associators come by their class alone.
        related.associatorsFailure =
            RunQuery(session, String(L"ASSOCIATORS OF ") + braced, stopRequested,
                     [&](const WMI::ObjectValue& object) { related.associators.Add(RelatedOf(object, String())); });
    }
    related.referencesFailure =
        RunQuery(session, String(L"REFERENCES OF ") + braced, stopRequested,
                 [&](const WMI::ObjectValue& object) { related.references.Add(RelatedOf(object, String())); });
    return related;
}

namespace
{

// The name=value pairs of a relative path after its class, a value quoted with backslash escapes or bare; Class=@
// gives one pair without a name.
std::vector<std::pair<String, String>> KeysOf(const String& relativePath)
{
    std::vector<std::pair<String, String>> keys;
    int length = relativePath.GetLength();
    int start = 0;
    while (start < length && relativePath[start] != L'.' && relativePath[start] != L'=')
    {
        start++;
    }
    if (start < length && relativePath[start] == L'=')
    {
        keys.emplace_back(String(), relativePath.Substring(start + 1));
        return keys;
    }
    for (int i = start + 1; i < length;)
    {
        int equals = relativePath.IndexOf(L'=', i);
        if (equals < 0)
        {
            break;
        }
        String value;
        int j = equals + 1;
        if (j < length && relativePath[j] == L'"')
        {
            for (j++; j < length && relativePath[j] != L'"'; j++)
            {
                if (relativePath[j] == L'\\' && j + 1 < length)
                {
                    j++;
                }
                value += relativePath[j];
            }
            j++; // the closing quote
        }
        else
        {
            int comma = relativePath.IndexOf(L',', j);
            int end = comma < 0 ? length : comma;
            value = relativePath.Substring(j, end - j);
            j = end;
        }
        keys.emplace_back(relativePath.Substring(i, equals - i), value);
        i = j + 1; // past the comma
    }
    return keys;
}

} // namespace

String KeyValuesOf(const String& relativePath)
{
    std::vector<std::pair<String, String>> keys = KeysOf(relativePath);
    if (keys.empty())
    {
        return relativePath;
    }
    String values;
    for (const auto& key : keys)
    {
        values += values.IsEmpty() ? L"" : L", ";
        values += key.second;
    }
    return values;
}

String OtherEndsOf(const String& associationPath, const String& relativePath)
{
    String own = relativePath.ToLower();
    String ends;
    for (const auto& key : KeysOf(associationPath))
    {
        // A reference key's value is a path, perhaps with its machine and namespace before a colon.
        String end = key.second;
        int colon = end.IndexOf(L':', 0);
        int dot = end.IndexOf(L'.', 0);
        if (colon >= 0 && (dot < 0 || colon < dot))
        {
            end = end.Substring(colon + 1);
        }
        if (end.IndexOf(L'.', 0) < 0 && end.IndexOf(L'=', 0) < 0)
        {
            continue; // not a path
        }
        if (end.ToLower() == own)
        {
            continue;
        }
        ends += ends.IsEmpty() ? L"" : L", ";
        ends += KeyValuesOf(end);
    }
    return ends.IsEmpty() ? KeyValuesOf(associationPath) : ends;
}

ArrayList<String> KeyNamesOf(const String& relativePath)
{
    ArrayList<String> names;
    for (const auto& key : KeysOf(relativePath))
    {
        if (!key.first.IsEmpty())
        {
            names.Add(key.first);
        }
    }
    return names;
}

} // namespace Quarrow
