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

// Objects asked of WMI in one Next call; each call waits at most NextTimeoutMilliseconds, so a stop is seen promptly
// even while a provider is slow.
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

// --- the catalogue ---

namespace
{

wchar_t FoldBeyondAscii(wchar_t unit)
{
    wchar_t upper = unit;
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, &unit, 1, &upper, 1, nullptr, nullptr, 0) != 1)
    {
        upper = unit;
    }
    return upper;
}

// The upper-case form of an ASCII unit; any other unit stays as it is.
inline wchar_t FoldAscii(uint16_t unit)
{
    return static_cast<wchar_t>(unit - (static_cast<uint16_t>(unit - L'a') < 26 ? L'a' - L'A' : 0));
}

// The upper-case form of a unit, the same in every culture: ASCII at once (WMI's names nearly always are), the
// rest by the invariant mapping.
inline wchar_t Fold(wchar_t unit)
{
    return unit < 0x80 ? FoldAscii(static_cast<uint16_t>(unit)) : FoldBeyondAscii(unit);
}

// Every name of the catalogue twice, as given and folded, one after another in two runs of the same length. New room
// is not filled before the names are written into it: the read of a machine appends some 100,000 names.
class NameText
{
public:
    // Appends name and its folded form, each followed by a NUL; returns where they start.
    uint32_t Append(const wchar_t* name, uint32_t length)
    {
        size_t start = m_size;
        if (m_size + length + 1 > m_capacity)
        {
            Grow(m_size + length + 1);
        }
        wchar_t* original = m_text.get() + start;
        wchar_t* folded = m_folded.get() + start;
        // ASCII names, nearly all of WMI's, fold in a loop the compiler turns into vector code; others unit by unit.
        uint16_t beyondAscii = 0;
        for (uint32_t i = 0; i < length; i++)
        {
            uint16_t unit = static_cast<uint16_t>(name[i]);
            original[i] = name[i];
            folded[i] = FoldAscii(unit);
            beyondAscii |= unit;
        }
        if (beyondAscii >= 0x80)
        {
            for (uint32_t i = 0; i < length; i++)
            {
                folded[i] = Fold(name[i]);
            }
        }
        original[length] = L'\0';
        folded[length] = L'\0';
        m_size += length + 1;
        return static_cast<uint32_t>(start);
    }
    void Clear() { m_size = 0; }

    const wchar_t* GetText() const { return m_text.get(); }
    const wchar_t* GetFolded() const { return m_folded.get(); }
    size_t GetSize() const { return m_size; }

private:
    void Grow(size_t needed)
    {
        size_t capacity = std::max<size_t>({needed, m_capacity * 2, 4096});
        std::unique_ptr<wchar_t[]> text(new wchar_t[capacity]);
        std::unique_ptr<wchar_t[]> folded(new wchar_t[capacity]);
        std::copy(m_text.get(), m_text.get() + m_size, text.get());
        std::copy(m_folded.get(), m_folded.get() + m_size, folded.get());
        m_text = std::move(text);
        m_folded = std::move(folded);
        m_capacity = capacity;
    }

    std::unique_ptr<wchar_t[]> m_text;   // owned
    std::unique_ptr<wchar_t[]> m_folded; // owned
    size_t m_size = 0;
    size_t m_capacity = 0;
};

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
    };

    void Clear()
    {
        text.Clear();
        names.clear();
        classes.clear();
        namespaces.clear();
        failures.clear();
        complete = false;
    }

    void AddName(const wchar_t* name, uint32_t length, uint32_t owner, int32_t property)
    {
        names.push_back(Name{text.Append(name, length), length, owner, property});
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
                             classes.push_back(Class{nameSpace, static_cast<uint32_t>(names.size())});
                             AddName(value.bstrVal, SysStringLen(value.bstrVal), owner, -1);
                             VariantClear(&value);
                             int32_t property = 0;
                             ForEachPropertyName(object, [&](const wchar_t* name, UINT length)
                                                 { AddName(name, length, owner, property++); });
                         });
    }

    // By the folded names, so without regard to case and with no call per comparison; the names as given decide
    // between names that differ in case only.
    bool NameBefore(const Name& left, const Name& right) const
    {
        int order = CompareUnits(text.GetFolded(), left, right);
        return order != 0 ? order < 0 : CompareUnits(text.GetText(), left, right) < 0;
    }

    static int CompareUnits(const wchar_t* buffer, const Name& left, const Name& right)
    {
        const wchar_t* a = buffer + left.start;
        const wchar_t* b = buffer + right.start;
        uint32_t common = std::min(left.length, right.length);
        for (uint32_t i = 0; i < common; i++)
        {
            if (a[i] != b[i])
            {
                return a[i] < b[i] ? -1 : 1;
            }
        }
        return left.length == right.length ? 0 : (left.length < right.length ? -1 : 1);
    }

    // Calls hit with the index of each name from firstName to endName that holds needle (folded, not empty).
    template <typename Hit> void Scan(const std::wstring& needle, size_t firstName, size_t endName, Hit&& hit) const
    {
        if (firstName >= endName)
        {
            return;
        }
        std::wstring_view all(text.GetFolded(), text.GetSize());
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
        match.className = String(text.GetText() + className.start, static_cast<int>(className.length));
        if (entry.property >= 0)
        {
            match.property = String(text.GetText() + entry.start, static_cast<int>(entry.length));
        }
        return match;
    }

    NameText text;
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
    // The hits come in the order read: by namespace, then by class as WMI gave them, the names of a class together.
    // Only the classes with hits are put in name order, within their namespace: a read orders nothing.
    struct Group
    {
        uint32_t owner;
        size_t first; // in hits
        size_t count;
    };
    std::vector<Group> groups;
    for (size_t i = 0; i < hits.size(); i++)
    {
        uint32_t owner = data.names[hits[i]].owner;
        if (groups.empty() || groups.back().owner != owner)
        {
            groups.push_back(Group{owner, i, 0});
        }
        groups.back().count++;
    }
    for (size_t run = 0; run < groups.size();)
    {
        size_t end = run + 1;
        uint32_t nameSpace = data.classes[groups[run].owner].nameSpace;
        while (end < groups.size() && data.classes[groups[end].owner].nameSpace == nameSpace)
        {
            end++;
        }
        std::sort(groups.begin() + static_cast<std::ptrdiff_t>(run), groups.begin() + static_cast<std::ptrdiff_t>(end),
                  [&](const Group& a, const Group& b) {
                      return data.NameBefore(data.names[data.classes[a.owner].name],
                                             data.names[data.classes[b.owner].name]);
                  });
        run = end;
    }
    ArrayList<SchemaMatch> matches(static_cast<int>(std::max<size_t>(hits.size(), 1)));
    for (const Group& group : groups)
    {
        for (size_t i = 0; i < group.count; i++)
        {
            matches.Add(data.MatchOf(hits[group.first + i]));
        }
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
