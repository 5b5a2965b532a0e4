#include "app/RelatedObjects.h"

#include "core/Exception.h"
#include "core/platform/windows/Com.h"
#include "wmi/PropertyValue.h"
#include "wmi/ResultMessage.h"

#include <new>
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

String KeyValuesOf(const String& relativePath)
{
    int dot = -1;
    int equals = -1;
    for (int i = 0; i < relativePath.GetLength() && dot < 0 && equals < 0; i++)
    {
        if (relativePath[i] == L'.')
        {
            dot = i;
        }
        else if (relativePath[i] == L'=')
        {
            equals = i;
        }
    }
    if (equals >= 0)
    {
        return relativePath.Substring(equals + 1); // Class=@
    }
    if (dot < 0)
    {
        return relativePath;
    }
    // Name=value pairs after the class, a value quoted with backslash escapes or bare.
    String values;
    bool inValue = false;
    bool quoted = false;
    for (int i = dot + 1; i < relativePath.GetLength(); i++)
    {
        wchar_t c = relativePath[i];
        if (!inValue)
        {
            if (c == L'=')
            {
                inValue = true;
                values += values.IsEmpty() ? L"" : L", ";
            }
            continue;
        }
        if (quoted)
        {
            if (c == L'\\' && i + 1 < relativePath.GetLength())
            {
                values += relativePath[++i];
            }
            else if (c == L'"')
            {
                quoted = false;
            }
            else
            {
                values += c;
            }
        }
        else if (c == L'"')
        {
            quoted = true;
        }
        else if (c == L',')
        {
            inValue = false;
        }
        else
        {
            values += c;
        }
    }
    return values;
}

} // namespace Quarrow
