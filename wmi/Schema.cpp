#include "wmi/Schema.h"

#include "core/platform/windows/Com.h"
#include "wmi/InvalidWMIClassException.h"
#include "wmi/ResultMessage.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
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

// Objects asked of WMI in one Next call; each call waits at most NextTimeout, so a stop is seen promptly even while
// a provider is slow.
constexpr ULONG BatchSize = 100;
constexpr long NextTimeoutMilliseconds = 250;

bool Stopped(const StopRequest& stop)
{
    return stop && stop();
}

// Releases the objects one Next call returned, however the batch is left.
class BatchScope
{
public:
    BatchScope(IWbemClassObject** objects, const ULONG& count) : m_objects(objects), m_count(count) {}
    ~BatchScope()
    {
        for (ULONG i = 0; i < m_count; i++)
        {
            m_objects[i]->Release();
        }
    }
    BatchScope(const BatchScope&) = delete;
    BatchScope& operator=(const BatchScope&) = delete;

private:
    IWbemClassObject** m_objects;
    const ULONG& m_count;
};

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

// The text value of a property; empty when it is missing, null or not a text (a top class's __SUPERCLASS).
String TextOf(IWbemClassObject* object, const wchar_t* name)
{
    VARIANT value;
    VariantInit(&value);
    String text;
    if (SUCCEEDED(object->Get(name, 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR && value.bstrVal != nullptr)
    {
        text = String(value.bstrVal, static_cast<int>(SysStringLen(value.bstrVal)));
    }
    VariantClear(&value);
    return text;
}

bool QualifierIsTrue(IWbemQualifierSet* qualifiers, const wchar_t* name)
{
    VARIANT value;
    VariantInit(&value);
    bool isTrue =
        SUCCEEDED(qualifiers->Get(name, 0, &value, nullptr)) && value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE;
    VariantClear(&value);
    return isTrue;
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

// Owns an array of names WMI handed out and reads it in place, without copying the names out.
class NameArray
{
public:
    explicit NameArray(SAFEARRAY* array) : m_array(array)
    {
        VARTYPE type = VT_EMPTY;
        LONG lower = 0;
        LONG upper = -1;
        if (m_array != nullptr && SafeArrayGetDim(m_array) == 1 && SUCCEEDED(SafeArrayGetVartype(m_array, &type)) &&
            type == VT_BSTR && SUCCEEDED(SafeArrayGetLBound(m_array, 1, &lower)) &&
            SUCCEEDED(SafeArrayGetUBound(m_array, 1, &upper)) &&
            SUCCEEDED(SafeArrayAccessData(m_array, reinterpret_cast<void**>(&m_elements))))
        {
            m_count = upper - lower + 1;
        }
    }
    ~NameArray()
    {
        if (m_elements != nullptr)
        {
            SafeArrayUnaccessData(m_array);
        }
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
    BSTR* m_elements = nullptr; // inside m_array while it is accessed
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

// --- the catalogue ---

namespace
{

// The upper-case form of a unit, the same in every culture: ASCII at once, the rest by the invariant mapping.
wchar_t Fold(wchar_t unit)
{
    if (unit < 0x80)
    {
        return unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - (L'a' - L'A')) : unit;
    }
    wchar_t upper = unit;
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, &unit, 1, &upper, 1, nullptr, nullptr, 0) != 1)
    {
        upper = unit;
    }
    return upper;
}

std::wstring Folded(const String& text)
{
    std::wstring folded(static_cast<size_t>(text.GetLength()), L'\0');
    for (int i = 0; i < text.GetLength(); i++)
    {
        folded[static_cast<size_t>(i)] = Fold(text[i]);
    }
    return folded;
}

} // namespace

// Every name in two buffers, as WMI gave it and upper-cased, each name followed by a NUL, so one scan of the folded
// buffer finds a text in all of them and no match runs from one name into the next; a table maps each name's
// place back to its class.
struct SchemaCatalogue::Data
{
    struct Name
    {
        uint32_t start;   // in the buffers
        uint32_t length;  // in units, without the NUL
        uint32_t owner;   // the class
        int32_t property; // the property's position in its class; -1 for the class's own name
    };
    struct Class
    {
        uint32_t nameSpace; // index in namespaces
        uint32_t name;      // index in names of its own name; its properties follow
        uint32_t rank;      // its place by name within its namespace
    };

    void Clear()
    {
        text.clear();
        folded.clear();
        names.clear();
        classes.clear();
        namespaces.clear();
        failures.clear();
        complete = false;
    }

    void AddName(const wchar_t* name, uint32_t length, uint32_t owner, int32_t property)
    {
        uint32_t start = static_cast<uint32_t>(text.size());
        text.insert(text.end(), name, name + length);
        text.push_back(L'\0');
        folded.resize(text.size());
        wchar_t* target = folded.data() + start;
        for (uint32_t i = 0; i < length; i++)
        {
            target[i] = Fold(name[i]);
        }
        target[length] = L'\0';
        names.push_back(Name{start, length, owner, property});
    }

    // Reads every class of one open namespace into the buffers.
    void ReadClasses(const ConnectionSession& session, uint32_t nameSpace, const StopRequest& stop)
    {
        EnumerateClasses(session, String(), WBEM_FLAG_DEEP, stop,
                         [&](IWbemClassObject* object)
                         {
                             VARIANT value;
                             VariantInit(&value);
                             if (FAILED(object->Get(L"__CLASS", 0, &value, nullptr, nullptr)) || value.vt != VT_BSTR ||
                                 value.bstrVal == nullptr)
                             {
                                 VariantClear(&value);
                                 return;
                             }
                             uint32_t owner = static_cast<uint32_t>(classes.size());
                             classes.push_back(Class{nameSpace, static_cast<uint32_t>(names.size()), 0});
                             AddName(value.bstrVal, SysStringLen(value.bstrVal), owner, -1);
                             VariantClear(&value);
                             int32_t property = 0;
                             ForEachPropertyName(object, [&](const wchar_t* name, UINT length)
                                                 { AddName(name, length, owner, property++); });
                         });
    }

    // Ranks the classes from first on (one namespace's) by name.
    void RankClasses(size_t first)
    {
        std::vector<uint32_t> order(classes.size() - first);
        for (size_t i = 0; i < order.size(); i++)
        {
            order[i] = static_cast<uint32_t>(first + i);
        }
        std::sort(order.begin(), order.end(),
                  [&](uint32_t a, uint32_t b)
                  {
                      const Name& left = names[classes[a].name];
                      const Name& right = names[classes[b].name];
                      return CompareNames(text.data() + left.start, static_cast<int>(left.length),
                                          text.data() + right.start, static_cast<int>(right.length)) < 0;
                  });
        for (size_t i = 0; i < order.size(); i++)
        {
            classes[order[i]].rank = static_cast<uint32_t>(i);
        }
    }

    // Calls hit with the index of each name from firstName to endName that holds needle (folded, not empty).
    template <typename Hit> void Scan(const std::wstring& needle, size_t firstName, size_t endName, Hit&& hit) const
    {
        if (firstName >= endName)
        {
            return;
        }
        std::wstring_view all(folded.data(), folded.size());
        size_t end = names[endName - 1].start + names[endName - 1].length;
        size_t at = names[firstName].start;
        size_t name = firstName;
        while (at < end)
        {
            size_t found = all.substr(0, end).find(needle, at);
            if (found == std::wstring_view::npos)
            {
                return;
            }
            // The name the match lies in: the last one that starts at or before it.
            auto next = std::upper_bound(names.begin() + static_cast<std::ptrdiff_t>(name),
                                         names.begin() + static_cast<std::ptrdiff_t>(endName), found,
                                         [](size_t place, const Name& entry) { return place < entry.start; });
            name = static_cast<size_t>(next - names.begin()) - 1;
            hit(name);
            at = names[name].start + names[name].length + 1;
            name++;
        }
    }

    SchemaMatch MatchOf(size_t name) const
    {
        const Name& entry = names[name];
        const Class& owner = classes[entry.owner];
        const Name& className = names[owner.name];
        SchemaMatch match;
        match.nameSpace = namespaces[owner.nameSpace];
        match.className = String(text.data() + className.start, static_cast<int>(className.length));
        if (entry.property >= 0)
        {
            match.property = String(text.data() + entry.start, static_cast<int>(entry.length));
        }
        return match;
    }

    std::vector<wchar_t> text;
    std::vector<wchar_t> folded;
    std::vector<Name> names;
    std::vector<Class> classes;
    std::vector<String> namespaces;
    std::vector<NamespaceFailure> failures;
    bool complete = false;
};

SchemaCatalogue::SchemaCatalogue() : m_data(std::make_unique<Data>()) {}

SchemaCatalogue::~SchemaCatalogue() = default;

void SchemaCatalogue::Read(const ManagementConnection& machine, const String& text, const ProgressHandler& progress,
                           const StopRequest& stop)
{
    Data& data = *m_data;
    data.Clear();
    const std::wstring needle = Folded(text);
    SchemaProgress state;
    // Depth first, each namespace before the ones inside it, those in name order: the last pushed is read next.
    std::vector<String> pending{String(L"root")};
    while (!pending.empty())
    {
        if (Stopped(stop))
        {
            return;
        }
        String path = std::move(pending.back());
        pending.pop_back();
        size_t firstClass = data.classes.size();
        size_t firstName = data.names.size();
        try
        {
            std::unique_ptr<ManagementConnection> connection = machine.ConnectNamespace(path);
            std::shared_ptr<const ConnectionSession> session = connection->GetSession();
            data.namespaces.push_back(path);
            uint32_t index = static_cast<uint32_t>(data.namespaces.size() - 1);
            // A namespace whose children cannot be listed may still have classes, and the other way round.
            try
            {
                ArrayList<String> children = ReadChildNamespaces(*session, stop);
                for (int i = children.GetCount() - 1; i >= 0; i--)
                {
                    pending.push_back(ChildNamespacePath(path, children[i]));
                }
            }
            catch (const Exception& exception)
            {
                data.failures.push_back(NamespaceFailure{path, exception.GetMessageText()});
            }
            try
            {
                data.ReadClasses(*session, index, stop);
            }
            catch (const Exception& exception)
            {
                data.failures.push_back(NamespaceFailure{path, exception.GetMessageText()});
            }
        }
        catch (const Exception& exception)
        {
            data.failures.push_back(NamespaceFailure{path, exception.GetMessageText()});
        }
        data.RankClasses(firstClass);
        if (Stopped(stop))
        {
            return; // the namespace was cut short: not done
        }
        state.namespacesDone++;
        state.classesRead = static_cast<int>(data.classes.size());
        if (!needle.empty())
        {
            data.Scan(needle, firstName, data.names.size(), [&](size_t) { state.matches++; });
        }
        state.nameSpace = path;
        if (progress)
        {
            progress(state);
        }
    }
    data.complete = true;
}

ArrayList<SchemaMatch> SchemaCatalogue::Search(const ManagementConnection& machine, const String& text,
                                               const ProgressHandler& progress, const StopRequest& stop)
{
    if (!m_data->complete)
    {
        Read(machine, text, progress, stop);
    }
    return Find(text);
}

ArrayList<SchemaMatch> SchemaCatalogue::Find(const String& text) const
{
    const Data& data = *m_data;
    std::wstring needle = Folded(text);
    std::vector<size_t> hits;
    if (!needle.empty())
    {
        data.Scan(needle, 0, data.names.size(), [&](size_t name) { hits.push_back(name); });
    }
    // The buffers hold classes in the order WMI gave them: order them by name within their namespace.
    std::stable_sort(hits.begin(), hits.end(),
                     [&](size_t a, size_t b)
                     {
                         const Data::Class& left = data.classes[data.names[a].owner];
                         const Data::Class& right = data.classes[data.names[b].owner];
                         if (left.nameSpace != right.nameSpace)
                         {
                             return left.nameSpace < right.nameSpace;
                         }
                         return left.rank < right.rank;
                     });
    ArrayList<SchemaMatch> matches(static_cast<int>(std::max<size_t>(hits.size(), 1)));
    for (size_t hit : hits)
    {
        matches.Add(data.MatchOf(hit));
    }
    return matches;
}

int SchemaCatalogue::Count(const String& text) const
{
    std::wstring needle = Folded(text);
    int count = 0;
    if (!needle.empty())
    {
        m_data->Scan(needle, 0, m_data->names.size(), [&](size_t) { count++; });
    }
    return count;
}

bool SchemaCatalogue::IsComplete() const
{
    return m_data->complete;
}

ArrayList<String> SchemaCatalogue::GetNamespaces() const
{
    ArrayList<String> list;
    for (const String& path : m_data->namespaces)
    {
        list.Add(path);
    }
    return list;
}

int SchemaCatalogue::GetClassCount() const
{
    return static_cast<int>(m_data->classes.size());
}

ArrayList<NamespaceFailure> SchemaCatalogue::GetFailures() const
{
    ArrayList<NamespaceFailure> list;
    for (const NamespaceFailure& failure : m_data->failures)
    {
        list.Add(failure);
    }
    return list;
}

} // namespace WMI
