#include "wmi/Schema.h"

#include "core/platform/windows/Com.h"
#include "wmi/InvalidWMIClassException.h"
#include "wmi/ResultMessage.h"
#include "wmi/WbemBatch.h"

#include <algorithm>
#include <cstdint>
#include <vector>
#include <windows.h>

#include <wbemidl.h>

using Core::Exception;
using Core::String;
using Core::Collections::ArrayList;
using Core::Platform::Windows::ComScope;
using Core::Platform::Windows::ComString;

namespace WMI
{

namespace
{

// Objects asked of WMI in one Next call; each call waits at most NextTimeoutMilliseconds, so a stop is seen promptly
// even while a provider is slow.
constexpr ULONG BatchSize = 100;
constexpr long NextTimeoutMilliseconds = 250;

bool Stopped(const StopRequest& stop)
{
    return stop && stop();
}

// Hands every object of an enumerator to visit, batch by batch, until its end or a stop; a failing Next throws
// failurePrefix + WMI's reason.
template <typename Visit>
void ReadEnumerator(IEnumWbemClassObject* enumerator, const StopRequest& stop, const String& failurePrefix,
                    Visit&& visit)
{
    IWbemClassObject* batch[BatchSize];
    while (!Stopped(stop))
    {
        ULONG returned = 0;
        HRESULT result = enumerator->Next(NextTimeoutMilliseconds, BatchSize, batch, &returned);
        BatchScope release(batch, returned);
        if (result != WBEM_S_NO_ERROR && result != WBEM_S_FALSE && result != WBEM_S_TIMEDOUT)
        {
            throw Exception(failurePrefix + GetResultReason(result));
        }
        for (ULONG i = 0; i < returned; i++)
        {
            visit(batch[i]);
        }
        // Only an empty answer ends the enumeration: a provider may hand out fewer objects than asked for before
        // its end, and a time-out only means it is slow (ask again, after looking at the stop request).
        if (returned == 0 && result != WBEM_S_TIMEDOUT)
        {
            return;
        }
    }
}

// A value WMI hands out, cleared when it goes.
class VariantValue
{
public:
    VariantValue() { VariantInit(&m_value); }
    ~VariantValue() { VariantClear(&m_value); }
    VariantValue(const VariantValue&) = delete;
    VariantValue& operator=(const VariantValue&) = delete;

    VARIANT* Receive() { return &m_value; }
    // The text, or null when the value is not one.
    BSTR GetText() const { return m_value.vt == VT_BSTR ? m_value.bstrVal : nullptr; }
    bool IsTrue() const { return m_value.vt == VT_BOOL && m_value.boolVal != VARIANT_FALSE; }

private:
    VARIANT m_value;
};

// The text value of a property; empty when it is missing, null or not a text (a top class's __SUPERCLASS).
String TextOf(IWbemClassObject* object, const wchar_t* name)
{
    VariantValue value;
    if (FAILED(object->Get(name, 0, value.Receive(), nullptr, nullptr)) || value.GetText() == nullptr)
    {
        return String();
    }
    return String(value.GetText(), static_cast<int>(SysStringLen(value.GetText())));
}

bool QualifierIsTrue(IWbemQualifierSet* qualifiers, const wchar_t* name)
{
    VariantValue value;
    return SUCCEEDED(qualifiers->Get(name, 0, value.Receive(), nullptr)) && value.IsTrue();
}

bool IsSystemName(const wchar_t* name, int length)
{
    return length >= 2 && name[0] == L'_' && name[1] == L'_';
}

// Name, superclass and the flags of a class object; false for an object without a class name.
bool ReadEntry(IWbemClassObject* object, ClassEntry& entry)
{
    entry.name = TextOf(object, L"__CLASS");
    if (entry.name.IsEmpty())
    {
        return false;
    }
    entry.superclass = TextOf(object, L"__SUPERCLASS");
    entry.isSystem = IsSystemName(entry.name.GetBuffer(), entry.name.GetLength());
    ComScope<IWbemQualifierSet> qualifiers;
    // Qualifiers WMI does not keep (Wine keeps none) leave the flags false.
    if (SUCCEEDED(object->GetQualifierSet(qualifiers.Receive())) && qualifiers)
    {
        entry.isAbstract = QualifierIsTrue(qualifiers.Get(), L"abstract");
        entry.isAssociation = QualifierIsTrue(qualifiers.Get(), L"Association");
    }
    return true;
}

// Owns an array of names WMI handed out and reads it in place, without copying the names out. The descriptor's
// fields are read directly (WMI's name arrays are one-dimensional arrays of BSTRs): a read of a machine's classes
// would otherwise make five calls more for each class.
class NameArray
{
public:
    explicit NameArray(SAFEARRAY* array) : m_array(array)
    {
        if (m_array != nullptr && m_array->cDims == 1 && (m_array->fFeatures & FADF_BSTR) != 0 &&
            m_array->pvData != nullptr)
        {
            m_elements = static_cast<BSTR*>(m_array->pvData);
            m_count = static_cast<LONG>(m_array->rgsabound[0].cElements);
        }
    }
    ~NameArray()
    {
        if (m_array != nullptr)
        {
            SafeArrayDestroy(m_array);
        }
    }
    NameArray(const NameArray&) = delete;
    NameArray& operator=(const NameArray&) = delete;

    // Zero for an array that is not one of texts.
    LONG GetCount() const { return m_count; }
    BSTR operator[](LONG index) const { return m_elements[index]; }

private:
    SAFEARRAY* m_array;         // owned
    BSTR* m_elements = nullptr; // inside m_array
    LONG m_count = 0;
};

// Hands each non-system property name of a class object to visit (text and length); nothing when WMI cannot list
// them.
template <typename Visit> void ForEachPropertyName(IWbemClassObject* object, Visit&& visit)
{
    SAFEARRAY* array = nullptr;
    HRESULT result = object->GetNames(nullptr, WBEM_FLAG_NONSYSTEM_ONLY, nullptr, &array);
    NameArray names(array);
    if (result != S_OK)
    {
        return;
    }
    for (LONG i = 0; i < names.GetCount(); i++)
    {
        if (names[i] != nullptr)
        {
            visit(names[i], SysStringLen(names[i]));
        }
    }
}

// Orders names as a listing shows them: without regard to case, then by their own case for a stable order.
int CompareNames(const wchar_t* a, int aLength, const wchar_t* b, int bLength)
{
    int order = CompareStringOrdinal(a, aLength, b, bLength, TRUE);
    if (order == CSTR_EQUAL)
    {
        order = CompareStringOrdinal(a, aLength, b, bLength, FALSE);
    }
    return order - CSTR_EQUAL;
}

bool NameBefore(const String& a, const String& b)
{
    return CompareNames(a.GetBuffer(), a.GetLength(), b.GetBuffer(), b.GetLength()) < 0;
}

// The localised namespaces that hold the amended qualifiers of one language: ms_ and three digits (ms_409).
bool IsLocaleNamespace(const String& name)
{
    if (name.GetLength() != 6 || (name[0] | 0x20) != L'm' || (name[1] | 0x20) != L's' || name[2] != L'_')
    {
        return false;
    }
    for (int i = 3; i < 6; i++)
    {
        if (name[i] < L'0' || name[i] > L'9')
        {
            return false;
        }
    }
    return true;
}

std::shared_ptr<const ConnectionSession> SessionOf(ManagementConnection* connection)
{
    if (connection == nullptr)
    {
        throw Core::ArgumentNullException(String(L"connection"));
    }
    return connection->GetSession();
}

String ClassesFailurePrefix(const ConnectionSession& session)
{
    return String(L"Could not list the classes in ") + session.GetNamespace() + L": ";
}

// Runs a class enumeration of the session's namespace below superclass (empty: from the top), handing each class
// object to visit. A superclass WMI does not know raises InvalidWMIClassException.
template <typename Visit>
void EnumerateClasses(const ConnectionSession& session, const String& superclass, long flags, const StopRequest& stop,
                      Visit&& visit)
{
    if (Stopped(stop))
    {
        return;
    }
    ComScope<IEnumWbemClassObject> enumerator;
    HRESULT result = session.CreateClassEnum(superclass, flags, enumerator.Receive());
    if (!superclass.IsEmpty() &&
        (result == static_cast<HRESULT>(WBEM_E_INVALID_CLASS) || result == static_cast<HRESULT>(WBEM_E_NOT_FOUND)))
    {
        throw InvalidWMIClassException(superclass);
    }
    if (FAILED(result))
    {
        throw Exception(ClassesFailurePrefix(session) + GetResultReason(result));
    }
    ReadEnumerator(enumerator.Get(), stop, ClassesFailurePrefix(session), visit);
}

template <typename Entry> void SortByName(std::vector<Entry>& entries)
{
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return NameBefore(a.name, b.name); });
}

template <typename Entry> ArrayList<Entry> ToList(std::vector<Entry>& entries)
{
    ArrayList<Entry> list(static_cast<int>(std::max<size_t>(entries.size(), 1)));
    for (Entry& entry : entries)
    {
        list.Add(std::move(entry));
    }
    return list;
}

void ReadProperties(IWbemClassObject* object, ClassSchema& schema)
{
    ForEachPropertyName(object, [&](const wchar_t* name, UINT length)
                        { schema.properties.Add(String(name, static_cast<int>(length))); });
}

} // namespace

// --- namespaces and classes ---

String ChildNamespacePath(const String& parent, const String& name)
{
    return parent.IsEmpty() ? name : parent + L"\\" + name;
}

ArrayList<String> ReadChildNamespaces(const ConnectionSession& session, const StopRequest& stop)
{
    std::vector<String> names;
    if (!Stopped(stop))
    {
        const String failurePrefix = String(L"Could not list the namespaces in ") + session.GetNamespace() + L": ";
        ComScope<IEnumWbemClassObject> enumerator;
        HRESULT result = session.ExecQuery(String(L"SELECT * FROM __NAMESPACE"), enumerator.Receive());
        if (FAILED(result))
        {
            throw Exception(failurePrefix + GetResultReason(result));
        }
        ReadEnumerator(enumerator.Get(), stop, failurePrefix,
                       [&](IWbemClassObject* object)
                       {
                           String name = TextOf(object, L"Name");
                           if (!name.IsEmpty() && !IsLocaleNamespace(name))
                           {
                               names.push_back(std::move(name));
                           }
                       });
    }
    std::sort(names.begin(), names.end(), NameBefore);
    return ToList(names);
}

ArrayList<String> ReadChildNamespaces(ManagementConnection* connection, const StopRequest& stop)
{
    return ReadChildNamespaces(*SessionOf(connection), stop);
}

ArrayList<ClassEntry> ReadSubclasses(const ConnectionSession& session, const String& superclass,
                                     const StopRequest& stop)
{
    std::vector<ClassEntry> entries;
    EnumerateClasses(session, superclass, WBEM_FLAG_SHALLOW, stop,
                     [&](IWbemClassObject* object)
                     {
                         ClassEntry entry;
                         if (ReadEntry(object, entry))
                         {
                             entries.push_back(std::move(entry));
                         }
                     });
    SortByName(entries);
    return ToList(entries);
}

ArrayList<ClassEntry> ReadSubclasses(ManagementConnection* connection, const String& superclass,
                                     const StopRequest& stop)
{
    return ReadSubclasses(*SessionOf(connection), superclass, stop);
}

ArrayList<ClassSchema> ReadAllClasses(const ConnectionSession& session, const StopRequest& stop)
{
    std::vector<ClassSchema> classes;
    EnumerateClasses(session, String(), WBEM_FLAG_DEEP, stop,
                     [&](IWbemClassObject* object)
                     {
                         ClassSchema schema;
                         if (ReadEntry(object, schema))
                         {
                             ReadProperties(object, schema);
                             classes.push_back(std::move(schema));
                         }
                     });
    SortByName(classes);
    return ToList(classes);
}

ArrayList<ClassSchema> ReadAllClasses(ManagementConnection* connection, const StopRequest& stop)
{
    return ReadAllClasses(*SessionOf(connection), stop);
}

ClassSchema ReadClass(const ConnectionSession& session, const String& className)
{
    ComScope<IWbemClassObject> object;
    HRESULT result =
        session.GetServices()->GetObject(ComString(className).Get(), 0, nullptr, object.Receive(), nullptr);
    // Wine answers WBEM_E_INVALID_CLASS where Windows answers WBEM_E_NOT_FOUND.
    if (result == static_cast<HRESULT>(WBEM_E_NOT_FOUND) || result == static_cast<HRESULT>(WBEM_E_INVALID_CLASS))
    {
        throw InvalidWMIClassException(className);
    }
    if (FAILED(result) || !object)
    {
        throw Exception(String(L"Could not read the class ") + className + L" in " + session.GetNamespace() + L": " +
                        GetResultReason(FAILED(result) ? result : static_cast<HRESULT>(WBEM_E_FAILED)));
    }
    ClassSchema schema;
    if (!ReadEntry(object.Get(), schema))
    {
        schema.name = className;
        schema.isSystem = IsSystemName(className.GetBuffer(), className.GetLength());
    }
    ReadProperties(object.Get(), schema);
    return schema;
}

ClassSchema ReadClass(ManagementConnection* connection, const String& className)
{
    return ReadClass(*SessionOf(connection), className);
}

void VisitAllClasses(const ConnectionSession& session, ClassNameVisitor& visitor, const StopRequest& stop)
{
    EnumerateClasses(session, String(), WBEM_FLAG_DEEP, stop,
                     [&](IWbemClassObject* object)
                     {
                         VariantValue name;
                         if (FAILED(object->Get(L"__CLASS", 0, name.Receive(), nullptr, nullptr)) ||
                             name.GetText() == nullptr)
                         {
                             return;
                         }
                         visitor.VisitClass(name.GetText(), SysStringLen(name.GetText()));
                         ForEachPropertyName(object, [&](const wchar_t* property, UINT length)
                                             { visitor.VisitProperty(property, length); });
                     });
}

} // namespace WMI
