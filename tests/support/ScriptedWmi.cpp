#include "tests/support/ScriptedWmi.h"

#include <algorithm>
#include <stdexcept>

namespace ScriptedWmi
{

std::atomic<int> Provider::liveObjects{0};

namespace
{

std::wstring Text(const BSTR value)
{
    return value != nullptr ? std::wstring(value, SysStringLen(value)) : std::wstring();
}

// WMI compares names of namespaces, classes, qualifiers and system properties without regard to case.
bool SameName(const std::wstring& a, const wchar_t* b)
{
    return _wcsicmp(a.c_str(), b) == 0;
}

void SetText(VARIANT* value, const std::wstring& text)
{
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void SetInt(VARIANT* value, long number)
{
    value->vt = VT_I4;
    value->lVal = number;
}

void SetTexts(VARIANT* value, const std::vector<std::wstring>& texts)
{
    SAFEARRAYBOUND bound{static_cast<ULONG>(texts.size()), 0};
    value->vt = VT_ARRAY | VT_BSTR;
    value->parray = SafeArrayCreate(VT_BSTR, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(texts.size()); i++)
    {
        BSTR text = SysAllocString(texts[static_cast<size_t>(i)].c_str());
        SafeArrayPutElement(value->parray, &i, text);
        SysFreeString(text);
    }
}

// The class and its superclasses, the class first.
std::vector<const ClassScript*> Lineage(const ClassScript* script)
{
    std::vector<const ClassScript*> lineage;
    for (const ClassScript* current = script; current != nullptr; current = current->superclass)
    {
        lineage.push_back(current);
    }
    return lineage;
}

// Every non-system property of a class, inherited ones first, as WMI lists them.
std::vector<const std::pair<std::wstring, CIMTYPE>*> AllProperties(const ClassScript* script)
{
    std::vector<const ClassScript*> lineage = Lineage(script);
    std::vector<const std::pair<std::wstring, CIMTYPE>*> all;
    for (auto owner = lineage.rbegin(); owner != lineage.rend(); ++owner)
    {
        for (const auto& property : (*owner)->properties)
        {
            all.push_back(&property);
        }
    }
    return all;
}

// The value of a system property of a class or of one of its instances; false for a name that is not one.
bool SystemValue(const ClassScript* script, bool isClass, const wchar_t* name, VARIANT* value, CIMTYPE* type)
{
    std::vector<const ClassScript*> lineage = Lineage(script);
    VARIANT found;
    VariantInit(&found);
    CIMTYPE foundType = CIM_STRING;
    if (SameName(L"__CLASS", name))
    {
        SetText(&found, script->name);
    }
    else if (SameName(L"__SUPERCLASS", name))
    {
        if (script->superclass != nullptr)
        {
            SetText(&found, script->superclass->name);
        }
        else
        {
            found.vt = VT_NULL;
        }
    }
    else if (SameName(L"__DYNASTY", name))
    {
        SetText(&found, lineage.back()->name);
    }
    else if (SameName(L"__DERIVATION", name))
    {
        std::vector<std::wstring> names;
        for (size_t i = 1; i < lineage.size(); i++)
        {
            names.push_back(lineage[i]->name);
        }
        SetTexts(&found, names);
        foundType = CIM_STRING | CIM_FLAG_ARRAY;
    }
    else if (SameName(L"__NAMESPACE", name))
    {
        SetText(&found, script->nameSpace);
    }
    else if (SameName(L"__GENUS", name))
    {
        SetInt(&found, isClass ? WBEM_GENUS_CLASS : WBEM_GENUS_INSTANCE);
        foundType = CIM_SINT32;
    }
    else if (SameName(L"__PROPERTY_COUNT", name))
    {
        SetInt(&found, static_cast<long>(AllProperties(script).size()));
        foundType = CIM_SINT32;
    }
    else
    {
        return false;
    }
    if (type != nullptr)
    {
        *type = foundType;
    }
    if (value != nullptr)
    {
        *value = found;
    }
    else
    {
        VariantClear(&found);
    }
    return true;
}

// Leaves a COM error object on the calling thread, as a failing WMI call may.
void SetErrorDescription(const std::wstring& description)
{
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create)))
    {
        return;
    }
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    IErrorInfo* info = nullptr;
    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    SetErrorInfo(0, info);
    info->Release();
    create->Release();
}

// Reference counting and object accounting shared by the scripted objects.
class Counted
{
public:
    Counted() { Provider::liveObjects++; }
    virtual ~Counted() { Provider::liveObjects--; }

protected:
    ULONG AddReference() { return ++m_references; }
    ULONG ReleaseReference()
    {
        ULONG left = --m_references;
        if (left == 0)
        {
            delete this;
        }
        return left;
    }

private:
    std::atomic<ULONG> m_references{1};
};

// One use of a class's table for the lifetime of the scope or object holding it; an overlap is counted.
class TableUse
{
public:
    TableUse(Provider* provider, const ClassScript* script)
        : m_provider(provider), m_script(provider != nullptr ? const_cast<ClassScript*>(script) : nullptr)
    {
        if (m_script != nullptr && m_script->tableUsers++ > 0)
        {
            m_provider->overlappingTableUses++;
        }
    }
    ~TableUse()
    {
        if (m_script != nullptr)
        {
            m_script->tableUsers--;
        }
    }
    TableUse(const TableUse&) = delete;
    TableUse& operator=(const TableUse&) = delete;

private:
    Provider* m_provider;  // not owned
    ClassScript* m_script; // not owned; null when not counted
};

#define SCRIPTED_UNKNOWN                                                                                               \
    ULONG STDMETHODCALLTYPE AddRef() override                                                                          \
    {                                                                                                                  \
        return AddReference();                                                                                         \
    }                                                                                                                  \
    ULONG STDMETHODCALLTYPE Release() override                                                                         \
    {                                                                                                                  \
        return ReleaseReference();                                                                                     \
    }

// Records the blanket set on the scripted services or enumerator.
class ClientSecurity final : public IClientSecurity
{
public:
    ClientSecurity(Provider* provider, IUnknown* owner, const wchar_t* target, HRESULT* result)
        : m_provider(provider), m_owner(owner), m_target(target), m_result(result)
    {
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        return m_owner->QueryInterface(id, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner->Release(); }
    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**,
                                           DWORD*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown*, DWORD authenticationService, DWORD authorisationService,
                                         OLECHAR* principal, DWORD authenticationLevel, DWORD impersonationLevel,
                                         void* identity, DWORD capabilities) override
    {
        BlanketCall call{m_target,
                         authenticationService,
                         authorisationService,
                         principal,
                         authenticationLevel,
                         impersonationLevel,
                         identity,
                         {},
                         {},
                         {},
                         0,
                         capabilities};
        if (identity != nullptr)
        {
            auto* record = static_cast<COAUTHIDENTITY*>(identity);
            call.identityUser.assign(reinterpret_cast<wchar_t*>(record->User), record->UserLength);
            call.identityDomain.assign(reinterpret_cast<wchar_t*>(record->Domain), record->DomainLength);
            call.identityPassword.assign(reinterpret_cast<wchar_t*>(record->Password), record->PasswordLength);
            call.identityFlags = record->Flags;
        }
        m_provider->Log(m_provider->blankets, call);
        return *m_result;
    }
    HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown**) override { return E_NOTIMPL; }

private:
    Provider* m_provider; // not owned
    IUnknown* m_owner;    // not owned: the object this interface belongs to
    const wchar_t* m_target;
    HRESULT* m_result; // not owned: the provider's setting
};

// The qualifiers of a scripted class.
class QualifierSet final : public IWbemQualifierSet, public Counted
{
public:
    explicit QualifierSet(const ClassScript* script) : m_script(script) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IWbemQualifierSet)
        {
            *object = static_cast<IWbemQualifierSet*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    SCRIPTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, LONG* flavor) override
    {
        for (const auto& [qualifier, scripted] : m_script->qualifiers)
        {
            if (SameName(qualifier, name))
            {
                if (value != nullptr)
                {
                    VariantInit(value);
                    VariantCopy(value, const_cast<VARIANT*>(&scripted.GetVariant()));
                }
                if (flavor != nullptr)
                {
                    *flavor = WBEM_FLAVOR_ORIGIN_LOCAL;
                }
                return WBEM_S_NO_ERROR;
            }
        }
        return WBEM_E_NOT_FOUND;
    }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR, VARIANT*, LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNames(LONG, SAFEARRAY**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return E_NOTIMPL; }

private:
    const ClassScript* m_script; // not owned
};

// A class definition (instance null) or one instance of a scripted class.
class ClassObject final : public IWbemClassObject, public Counted
{
public:
    // A definition fetched with GetObject uses its class's table while it lives; one handed out by a class
    // enumeration does not (tableUse false).
    ClassObject(Provider* provider, const ClassScript* script, const Instance* instance, bool tableUse = true)
        : m_provider(provider), m_script(script), m_instance(instance),
          m_tableUse(provider, instance == nullptr && tableUse ? script : nullptr)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IWbemClassObject)
        {
            *object = static_cast<IWbemClassObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    SCRIPTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE* type, LONG* flavor) override
    {
        if (flavor != nullptr)
        {
            *flavor = 0;
        }
        if (name != nullptr && name[0] == L'_' && name[1] == L'_' &&
            SystemValue(m_script, m_instance == nullptr, name, value, type))
        {
            return S_OK;
        }
        if (m_instance == nullptr)
        {
            std::vector<const std::pair<std::wstring, CIMTYPE>*> all = AllProperties(m_script);
            auto property =
                std::find_if(all.begin(), all.end(), [&](const auto* entry) { return entry->first == name; });
            if (property == all.end())
            {
                return WBEM_E_NOT_FOUND;
            }
            if (m_provider->getTypeResult != S_OK)
            {
                return m_provider->getTypeResult;
            }
            if (type != nullptr)
            {
                *type = (*property)->second;
            }
            if (value != nullptr)
            {
                VariantInit(value);
            }
            return S_OK;
        }
        for (const auto& entry : m_instance->values)
        {
            if (entry.first == name)
            {
                if (entry.second.IsMissing())
                {
                    return WBEM_E_NOT_FOUND;
                }
                if (value != nullptr)
                {
                    VariantInit(value);
                    VariantCopy(value, const_cast<VARIANT*>(&entry.second.GetVariant()));
                }
                return S_OK;
            }
        }
        return WBEM_E_NOT_FOUND;
    }

    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG flags, VARIANT*, SAFEARRAY** names) override
    {
        m_provider->Log(m_provider->getNamesFlags, flags);
        if (m_provider->getNamesResult != S_OK)
        {
            return m_provider->getNamesResult;
        }
        std::vector<std::wstring> all;
        if ((flags & WBEM_FLAG_NONSYSTEM_ONLY) == 0)
        {
            all = {L"__CLASS", L"__PATH", L"__RELPATH"};
        }
        for (const auto* property : AllProperties(m_script))
        {
            // An instance of a query that selected properties has those alone, as WMI gives it.
            if (m_selected == nullptr || m_selected->empty() ||
                std::any_of(m_selected->begin(), m_selected->end(),
                            [&](const std::wstring& name) { return SameName(name, property->first.c_str()); }))
            {
                all.push_back(property->first);
            }
        }
        // A lower bound of 1 checks that the caller walks from the lower to the upper bound.
        SAFEARRAYBOUND bound{static_cast<ULONG>(all.size()), 1};
        *names = SafeArrayCreate(VT_BSTR, 1, &bound);
        for (LONG i = 0; i < static_cast<LONG>(all.size()); i++)
        {
            BSTR name = SysAllocString(all[static_cast<size_t>(i)].c_str());
            LONG index = i + 1;
            SafeArrayPutElement(*names, &index, name);
            SysFreeString(name);
        }
        return S_OK;
    }

    // The properties the query selected; none: all.
    void Select(std::shared_ptr<const std::vector<std::wstring>> selected) { m_selected = std::move(selected); }

    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet** set) override
    {
        *set = new QualifierSet(m_script);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }

private:
    Provider* m_provider;        // not owned
    const ClassScript* m_script; // not owned
    const Instance* m_instance;  // not owned; null for the class definition
    TableUse m_tableUse;         // the definition's; none for an instance
    std::shared_ptr<const std::vector<std::wstring>> m_selected;
};

// Hands out the instances of a class (a query) or class definitions (a class enumeration).
class Enumerator final : public IEnumWbemClassObject, public Counted
{
public:
    Enumerator(Provider* provider, const ClassScript* script, const MachineScript* machine,
               std::vector<std::wstring> selected = {})
        : m_provider(provider), m_script(script), m_machine(machine),
          m_selected(std::make_shared<const std::vector<std::wstring>>(std::move(selected))),
          m_security(provider, static_cast<IEnumWbemClassObject*>(this), L"enumerator",
                     &provider->enumeratorBlanketResult),
          m_tableUse(provider, script)
    {
    }
    // Objects of several classes, as an association query gives them: an instance, or (instance null) a class
    // definition.
    Enumerator(Provider* provider, std::vector<std::pair<const ClassScript*, const Instance*>> objects,
               const MachineScript* machine)
        : m_provider(provider), m_script(nullptr), m_machine(machine), m_mixedMode(true), m_objects(std::move(objects)),
          m_security(provider, static_cast<IEnumWbemClassObject*>(this), L"enumerator",
                     &provider->enumeratorBlanketResult),
          m_tableUse(provider, nullptr)
    {
    }
    Enumerator(Provider* provider, std::vector<const ClassScript*> classes, const NamespaceScript* nameSpace,
               const MachineScript* machine)
        : m_provider(provider), m_script(nullptr), m_machine(machine), m_classMode(true), m_classes(std::move(classes)),
          m_namespace(nameSpace), m_security(provider, static_cast<IEnumWbemClassObject*>(this), L"class enumerator",
                                             &provider->enumeratorBlanketResult),
          m_tableUse(provider, nullptr)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IEnumWbemClassObject)
        {
            *object = static_cast<IEnumWbemClassObject*>(this);
        }
        else if (id == IID_IClientSecurity)
        {
            *object = &m_security;
        }
        else
        {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    SCRIPTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) override
    {
        *returned = 0;
        m_provider->calls++;
        int call = ++m_provider->nextCallCount;
        m_provider->Log(m_provider->nextCalls, std::make_pair(timeout, count));
        if (m_provider->onNext)
        {
            m_provider->onNext(call);
        }
        if (m_script != nullptr && m_script->nextBlockMilliseconds > 0)
        {
            Sleep(m_script->nextBlockMilliseconds);
        }
        DWORD delay = m_provider->nextDelayMilliseconds + (m_machine != nullptr ? m_machine->nextDelayMilliseconds : 0);
        if (delay > 0)
        {
            // As WMI does, a call whose time-out ends first returns empty-handed with WBEM_S_TIMEDOUT.
            if (timeout >= 0 && static_cast<DWORD>(timeout) < delay)
            {
                Sleep(static_cast<DWORD>(timeout));
                return WBEM_S_TIMEDOUT;
            }
            Sleep(delay);
        }
        if (call == m_provider->failNextOnCall)
        {
            return m_provider->failNextResult;
        }
        size_t failAfter =
            m_classMode ? m_namespace->classEnumFailAfter : (m_machine != nullptr ? m_machine->failAfterRows : 0);
        if (failAfter > 0 && m_position >= failAfter)
        {
            return m_classMode ? m_namespace->classEnumFailResult : m_machine->failAfterRowsResult;
        }
        if (m_provider->neverReady)
        {
            Sleep(20);
            return WBEM_S_TIMEDOUT;
        }
        size_t total = m_mixedMode   ? m_objects.size()
                       : m_classMode ? m_classes.size()
                                     : (m_script != nullptr ? m_script->instances.size() : 0);
        if (m_position < total && m_timeoutsLeft > 0)
        {
            m_timeoutsLeft--;
            return WBEM_S_TIMEDOUT;
        }
        m_timeoutsLeft = m_provider->timeoutsBeforeEachBatch;
        size_t available = failAfter > 0 ? std::min(total, failAfter) - m_position : total - m_position;
        ULONG n = static_cast<ULONG>(std::min<size_t>({count, m_provider->largestBatch, available}));
        for (ULONG i = 0; i < n; i++, m_position++)
        {
            if (m_mixedMode)
            {
                objects[i] =
                    new ClassObject(m_provider, m_objects[m_position].first, m_objects[m_position].second, false);
                continue;
            }
            if (m_classMode)
            {
                objects[i] = new ClassObject(m_provider, m_classes[m_position], nullptr, false);
                continue;
            }
            auto* instance = new ClassObject(m_provider, m_script, &m_script->instances[m_position]);
            instance->Select(m_selected);
            objects[i] = instance;
        }
        *returned = n;
        return n == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }

private:
    Provider* m_provider;           // not owned
    const ClassScript* m_script;    // not owned; null for a class the machine lacks, and for class definitions
    const MachineScript* m_machine; // not owned; null for a machine without a script
    std::shared_ptr<const std::vector<std::wstring>> m_selected;           // of the query; empty: all
    bool m_classMode = false;                                              // hands out m_classes rather than instances
    bool m_mixedMode = false;                                              // hands out m_objects
    std::vector<std::pair<const ClassScript*, const Instance*>> m_objects; // not owned
    std::vector<const ClassScript*> m_classes;                             // not owned
    const NamespaceScript* m_namespace = nullptr;                          // not owned; set for class definitions
    size_t m_position = 0;
    int m_timeoutsLeft = 0;
    ClientSecurity m_security;
    TableUse m_tableUse;
};

// The class name of a query of the form "Select ... from <class> [where ...]", keywords in any case.
std::wstring QueriedClass(const std::wstring& query)
{
    std::wstring lower = query;
    for (wchar_t& unit : lower)
    {
        unit = unit >= L'A' && unit <= L'Z' ? static_cast<wchar_t>(unit + (L'a' - L'A')) : unit;
    }
    size_t from = lower.find(L" from ");
    if (from == std::wstring::npos)
    {
        return std::wstring();
    }
    size_t start = from + 6;
    size_t end = query.find(L' ', start);
    return query.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

std::wstring Lower(std::wstring text);

// The property names of "Select a, b from ..."; none for "Select * from ...".
std::vector<std::wstring> SelectedProperties(const std::wstring& query)
{
    std::wstring lower = Lower(query);
    size_t start = lower.find(L"select ");
    size_t from = lower.find(L" from ");
    std::vector<std::wstring> names;
    if (start == std::wstring::npos || from == std::wstring::npos || from < start)
    {
        return names;
    }
    std::wstring list = query.substr(start + 7, from - start - 7);
    size_t at = 0;
    while (at <= list.size())
    {
        size_t comma = list.find(L',', at);
        std::wstring name = list.substr(at, comma == std::wstring::npos ? std::wstring::npos : comma - at);
        size_t first = name.find_first_not_of(L" \t");
        size_t last = name.find_last_not_of(L" \t");
        if (first != std::wstring::npos && name.substr(first, last - first + 1) != L"*")
        {
            names.push_back(name.substr(first, last - first + 1));
        }
        if (comma == std::wstring::npos)
        {
            break;
        }
        at = comma + 1;
    }
    return names;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& unit : text)
    {
        unit = unit >= L'A' && unit <= L'Z' ? static_cast<wchar_t>(unit + (L'a' - L'A')) : unit;
    }
    return text;
}

bool IsNameUnit(wchar_t unit)
{
    return unit == L'_' || (unit >= L'0' && unit <= L'9') || (unit >= L'A' && unit <= L'Z') ||
           (unit >= L'a' && unit <= L'z');
}

// A tokenizer for the WHERE clauses of ASSOCIATORS OF, REFERENCES OF and meta_class queries: names, quoted
// texts (quotes removed) and single marks.
class Tokens
{
public:
    Tokens(const std::wstring& text, size_t start) : m_text(text), m_at(start) {}

    bool AtEnd()
    {
        SkipBlanks();
        return m_at >= m_text.size();
    }
    // The next token, or empty at the end (or at an unclosed quote, with failed set).
    std::wstring Next()
    {
        SkipBlanks();
        if (m_at >= m_text.size())
        {
            return std::wstring();
        }
        size_t start = m_at;
        wchar_t unit = m_text[m_at];
        if (unit == L'\'' || unit == L'"')
        {
            size_t end = m_text.find(unit, start + 1);
            if (end == std::wstring::npos)
            {
                failed = true;
                m_at = m_text.size();
                return std::wstring();
            }
            m_at = end + 1;
            return m_text.substr(start + 1, end - start - 1);
        }
        if (!IsNameUnit(unit))
        {
            m_at++;
            return std::wstring(1, unit);
        }
        while (m_at < m_text.size() && IsNameUnit(m_text[m_at]))
        {
            m_at++;
        }
        return m_text.substr(start, m_at - start);
    }
    // "= value" after a keyword; false when not there.
    bool Value(std::wstring& value)
    {
        if (Next() != L"=")
        {
            return false;
        }
        value = Next();
        return !value.empty() && !failed;
    }

    bool failed = false;

private:
    void SkipBlanks()
    {
        while (m_at < m_text.size() && iswspace(m_text[m_at]))
        {
            m_at++;
        }
    }

    const std::wstring& m_text;
    size_t m_at;
};

// The server of a namespace path such as \\server\root\cimv2; empty for a path without one.
std::wstring ServerOf(const std::wstring& path)
{
    if (path.compare(0, 2, L"\\\\") != 0)
    {
        return std::wstring();
    }
    size_t end = path.find(L'\\', 2);
    return path.substr(2, end == std::wstring::npos ? std::wstring::npos : end - 2);
}

// The namespace of a path such as \\server\root\cimv2, root\cimv2 or //./root/cimv2, with backslashes.
std::wstring NamespaceOf(const std::wstring& path)
{
    std::wstring normal = path;
    std::replace(normal.begin(), normal.end(), L'/', L'\\');
    if (normal.compare(0, 2, L"\\\\") != 0)
    {
        return normal;
    }
    size_t end = normal.find(L'\\', 2);
    return end == std::wstring::npos ? std::wstring() : normal.substr(end + 1);
}

// Whether script lies below base in its hierarchy.
bool DerivesFrom(const ClassScript* script, const ClassScript* base)
{
    for (const ClassScript* current = script->superclass; current != nullptr; current = current->superclass)
    {
        if (current == base)
        {
            return true;
        }
    }
    return false;
}

// The services of one namespace.
class Services final : public IWbemServices, public Counted
{
public:
    Services(Provider* provider, std::wstring server, NamespaceScript* nameSpace)
        : m_provider(provider), m_server(std::move(server)), m_namespace(nameSpace),
          m_security(provider, static_cast<IWbemServices*>(this), L"services", &provider->servicesBlanketResult)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IWbemServices)
        {
            *object = static_cast<IWbemServices*>(this);
        }
        else if (id == IID_IClientSecurity)
        {
            *object = &m_security;
        }
        else
        {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    SCRIPTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE GetObject(const BSTR path, LONG, IWbemContext*, IWbemClassObject** object,
                                        IWbemCallResult**) override
    {
        m_provider->calls++;
        m_provider->Log(m_provider->getObjectPaths, Text(path));
        *object = nullptr;
        if (m_provider->onGetObject)
        {
            m_provider->onGetObject();
        }
        if (m_provider->getObjectResult != S_OK)
        {
            return m_provider->getObjectResult;
        }
        const ClassScript* script = m_provider->FindClass(m_namespace->path, Text(path));
        if (script == nullptr)
        {
            return WBEM_E_NOT_FOUND;
        }
        {
            TableUse reading(m_provider, script);
            Sleep(script->getObjectDelayMilliseconds);
        }
        *object = new ClassObject(m_provider, script, nullptr);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext*,
                                        IEnumWbemClassObject** enumerator) override
    {
        m_provider->calls++;
        m_provider->Log(m_provider->queries, QueryCall{Text(language), Text(query), flags, m_namespace->path});
        *enumerator = nullptr;
        const MachineScript* machine = m_provider->FindMachine(m_server);
        HRESULT scripted = machine != nullptr && machine->execQueryResult != S_OK ? machine->execQueryResult
                                                                                  : m_provider->execQueryResult;
        if (scripted != S_OK)
        {
            return scripted;
        }
        std::wstring text = Text(query);
        std::wstring lower = Lower(text);
        size_t start = lower.find_first_not_of(L" \t\r\n");
        if (start == std::wstring::npos)
        {
            return WBEM_E_INVALID_QUERY;
        }
        if (lower.compare(start, 12, L"associators ") == 0 || lower.compare(start, 11, L"references ") == 0)
        {
            return AssociationQuery(text, start, machine, enumerator);
        }
        std::wstring queried = QueriedClass(text);
        if (lower.compare(start, 7, L"select ") != 0 || queried.empty())
        {
            return WBEM_E_INVALID_QUERY;
        }
        if (SameName(queried, L"meta_class"))
        {
            return MetaClassQuery(text, machine, enumerator);
        }
        // The namespaces inside this one are the instances of its __NAMESPACE class.
        if (SameName(queried, L"__NAMESPACE"))
        {
            if (m_namespace->namespaceQueryResult != S_OK)
            {
                return m_namespace->namespaceQueryResult;
            }
            *enumerator = new Enumerator(m_provider, &m_namespace->childNamespaces, machine);
            return S_OK;
        }
        const ClassScript* script = m_provider->FindClass(m_namespace->path, queried);
        if (script == nullptr)
        {
            return WBEM_E_NOT_FOUND;
        }
        *enumerator = new Enumerator(m_provider, script, machine, SelectedProperties(text));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**,
                                            IWbemCallResult**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    // As WMI documents it: a null or blank superclass means the top of the hierarchy; shallow gives the classes
    // directly below it, deep every class below it (every class of the namespace from the top).
    HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR superclass, LONG flags, IWbemContext*,
                                              IEnumWbemClassObject** enumerator) override
    {
        m_provider->calls++;
        m_provider->Log(m_provider->classEnums,
                        ClassEnumCall{m_namespace->path, Text(superclass), superclass == nullptr, flags});
        *enumerator = nullptr;
        if (m_namespace->classEnumResult != S_OK)
        {
            return m_namespace->classEnumResult;
        }
        const ClassScript* base = nullptr;
        if (!Text(superclass).empty())
        {
            base = m_provider->FindClass(m_namespace->path, Text(superclass));
            if (base == nullptr)
            {
                return WBEM_E_INVALID_CLASS;
            }
        }
        bool shallow = (flags & WBEM_FLAG_SHALLOW) != 0;
        std::vector<const ClassScript*> chosen;
        for (const auto& script : m_namespace->classes)
        {
            if (shallow ? script->superclass == base : base == nullptr || DerivesFrom(script.get(), base))
            {
                chosen.push_back(script.get());
            }
        }
        *enumerator = new Enumerator(m_provider, std::move(chosen), m_namespace, m_provider->FindMachine(m_server));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                                    IEnumWbemClassObject**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                                         IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                         IWbemClassObject**, IWbemCallResult**) override
    {
        m_provider->calls++;
        m_provider->methodCalls++;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                              IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }

private:
    // Whether script is the class named, or derives from it.
    static bool IsA(const ClassScript* script, const std::wstring& name)
    {
        for (const ClassScript* current = script; current != nullptr; current = current->superclass)
        {
            if (SameName(current->name, name.c_str()))
            {
                return true;
            }
        }
        return false;
    }

    // ASSOCIATORS OF {path} [WHERE AssocClass = A | ResultClass = R | ClassDefsOnly ...] and REFERENCES OF {path}
    // [WHERE ResultClass = A | ClassDefsOnly], from the scripted associations. Keywords it does not model (Role,
    // RequiredQualifier, ...) and any other text fail with WBEM_E_INVALID_QUERY, as does ClassDefsOnly together
    // with ResultClass; a path whose class the namespace lacks gives WBEM_E_NOT_FOUND.
    HRESULT AssociationQuery(const std::wstring& text, size_t start, const MachineScript* machine,
                             IEnumWbemClassObject** enumerator)
    {
        bool references = text[start] == L'r' || text[start] == L'R';
        Tokens head(text, start);
        head.Next();
        if (Lower(head.Next()) != L"of")
        {
            return WBEM_E_INVALID_QUERY;
        }
        size_t open = text.find_first_not_of(L" \t\r\n", Lower(text).find(L"of", start + 10) + 2);
        if (open == std::wstring::npos || text[open] != L'{')
        {
            return WBEM_E_INVALID_QUERY;
        }
        size_t close = open + 1;
        for (wchar_t quote = 0; close < text.size() && (quote != 0 || text[close] != L'}'); close++)
        {
            if (quote != 0 && text[close] == L'\\')
            {
                close++;
            }
            else if (text[close] == L'"')
            {
                quote = quote == 0 ? L'"' : 0;
            }
        }
        if (close >= text.size())
        {
            return WBEM_E_INVALID_QUERY;
        }
        std::wstring path = text.substr(open + 1, close - open - 1);
        std::wstring resultClass;
        std::wstring assocClass;
        bool classDefsOnly = false;
        Tokens where(text, close + 1);
        if (!where.AtEnd())
        {
            if (Lower(where.Next()) != L"where" || where.AtEnd())
            {
                return WBEM_E_INVALID_QUERY;
            }
            while (!where.AtEnd())
            {
                std::wstring keyword = Lower(where.Next());
                bool valid = keyword == L"classdefsonly"               ? (classDefsOnly = true)
                             : keyword == L"resultclass"               ? where.Value(resultClass)
                             : keyword == L"assocclass" && !references ? where.Value(assocClass)
                                                                       : false;
                if (!valid)
                {
                    return WBEM_E_INVALID_QUERY;
                }
            }
        }
        if (classDefsOnly && !resultClass.empty())
        {
            return WBEM_E_INVALID_QUERY;
        }
        size_t classEnd = path.find_first_of(L".=");
        if (m_provider->FindClass(m_namespace->path, path.substr(0, classEnd)) == nullptr)
        {
            return WBEM_E_NOT_FOUND;
        }
        std::vector<std::pair<const ClassScript*, const Instance*>> objects;
        for (const AssociationScript& association : m_provider->associations)
        {
            const ClassScript* link = m_provider->FindClass(m_namespace->path, association.associationClass);
            const ClassScript* target = m_provider->FindClass(m_namespace->path, association.targetClass);
            if (!SameName(association.sourcePath, path.c_str()) || link == nullptr || target == nullptr ||
                (!assocClass.empty() && !IsA(link, assocClass)))
            {
                continue;
            }
            std::pair<const ClassScript*, const Instance*> found =
                references ? std::make_pair(link, &association.link)
                           : std::make_pair(target, &target->instances[association.targetIndex]);
            if (!resultClass.empty() && !IsA(found.first, resultClass))
            {
                continue;
            }
            if (classDefsOnly)
            {
                // Each class once, as its definition.
                found.second = nullptr;
                if (std::find(objects.begin(), objects.end(), found) != objects.end())
                {
                    continue;
                }
            }
            objects.push_back(found);
        }
        *enumerator = new Enumerator(m_provider, std::move(objects), machine);
        return S_OK;
    }

    // SELECT * FROM meta_class [WHERE __CLASS = 'X']: the definitions of every class of the namespace, or of the
    // one named (none when the namespace lacks it).
    HRESULT MetaClassQuery(const std::wstring& text, const MachineScript* machine, IEnumWbemClassObject** enumerator)
    {
        size_t where = Lower(text).find(L" where ");
        std::wstring wanted;
        if (where != std::wstring::npos)
        {
            Tokens condition(text, where + 7);
            if (Lower(condition.Next()) != L"__class" || !condition.Value(wanted) || !condition.AtEnd())
            {
                return WBEM_E_INVALID_QUERY;
            }
        }
        std::vector<std::pair<const ClassScript*, const Instance*>> objects;
        for (const auto& script : m_namespace->classes)
        {
            if (wanted.empty() || SameName(script->name, wanted.c_str()))
            {
                objects.emplace_back(script.get(), nullptr);
            }
        }
        *enumerator = new Enumerator(m_provider, std::move(objects), machine);
        return S_OK;
    }

    Provider* m_provider; // not owned
    std::wstring m_server;
    NamespaceScript* m_namespace; // not owned: the provider's
    ClientSecurity m_security;
};

class Locator final : public IWbemLocator, public Counted
{
public:
    explicit Locator(Provider* provider) : m_provider(provider) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IWbemLocator)
        {
            *object = static_cast<IWbemLocator*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    SCRIPTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR path, const BSTR user, const BSTR password, const BSTR,
                                            LONG flags, const BSTR, IWbemContext*, IWbemServices** services) override
    {
        m_provider->calls++;
        m_provider->Log(m_provider->connects, ConnectCall{Text(path), Text(user), Text(password), user == nullptr,
                                                          password == nullptr, flags});
        if (m_provider->onConnect)
        {
            m_provider->onConnect();
        }
        *services = nullptr;
        if (FAILED(m_provider->connectResult))
        {
            if (!m_provider->connectErrorDescription.empty())
            {
                SetErrorDescription(m_provider->connectErrorDescription);
            }
            return m_provider->connectResult;
        }
        NamespaceScript* nameSpace = m_provider->FindNamespace(NamespaceOf(Text(path)));
        if (nameSpace == nullptr)
        {
            return WBEM_E_INVALID_NAMESPACE;
        }
        if (FAILED(nameSpace->connectResult))
        {
            return nameSpace->connectResult;
        }
        *services = new Services(m_provider, ServerOf(Text(path)), nameSpace);
        return m_provider->connectResult;
    }

private:
    Provider* m_provider; // not owned
};

class LocatorFactory final : public IClassFactory
{
public:
    explicit LocatorFactory(Provider* provider) : m_provider(provider) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IClassFactory)
        {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_references;
        if (left == 0)
        {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID id, void** object) override
    {
        *object = nullptr;
        if (outer != nullptr)
        {
            return CLASS_E_NOAGGREGATION;
        }
        Locator* locator = new Locator(m_provider);
        HRESULT result = locator->QueryInterface(id, object);
        locator->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    Provider* m_provider; // not owned
    std::atomic<ULONG> m_references{1};
};

} // namespace

// --- values ---

Value::Value()
{
    VariantInit(&m_variant);
}

Value::Value(const Value& other) : m_missing(other.m_missing)
{
    VariantInit(&m_variant);
    VariantCopy(&m_variant, const_cast<VARIANT*>(&other.m_variant));
}

Value& Value::operator=(const Value& other)
{
    if (this != &other)
    {
        VariantClear(&m_variant);
        VariantCopy(&m_variant, const_cast<VARIANT*>(&other.m_variant));
        m_missing = other.m_missing;
    }
    return *this;
}

Value::~Value()
{
    VariantClear(&m_variant);
}

Value Value::Text(const std::wstring& text)
{
    Value value;
    value.m_variant.vt = VT_BSTR;
    value.m_variant.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return value;
}

Value Value::Int(long number)
{
    Value value;
    value.m_variant.vt = VT_I4;
    value.m_variant.lVal = number;
    return value;
}

Value Value::Bool(bool flag)
{
    Value value;
    value.m_variant.vt = VT_BOOL;
    value.m_variant.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
}

Value Value::Real(double number)
{
    Value value;
    value.m_variant.vt = VT_R8;
    value.m_variant.dblVal = number;
    return value;
}

Value Value::Null()
{
    Value value;
    value.m_variant.vt = VT_NULL;
    return value;
}

Value Value::Strings(const std::vector<std::wstring>& texts)
{
    Value value;
    SAFEARRAYBOUND bound{static_cast<ULONG>(texts.size()), 0};
    value.m_variant.vt = VT_ARRAY | VT_BSTR;
    value.m_variant.parray = SafeArrayCreate(VT_BSTR, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(texts.size()); i++)
    {
        BSTR text = SysAllocString(texts[static_cast<size_t>(i)].c_str());
        SafeArrayPutElement(value.m_variant.parray, &i, text);
        SysFreeString(text);
    }
    return value;
}

Value Value::Ints(const std::vector<long>& numbers)
{
    Value value;
    SAFEARRAYBOUND bound{static_cast<ULONG>(numbers.size()), 0};
    value.m_variant.vt = VT_ARRAY | VT_I4;
    value.m_variant.parray = SafeArrayCreate(VT_I4, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(numbers.size()); i++)
    {
        LONG number = numbers[static_cast<size_t>(i)];
        SafeArrayPutElement(value.m_variant.parray, &i, &number);
    }
    return value;
}

Value Value::EmbeddedObject()
{
    static ClassScript empty;
    static Instance embedded;
    Value value;
    value.m_variant.vt = VT_UNKNOWN;
    value.m_variant.punkVal = new ClassObject(nullptr, &empty, &embedded);
    return value;
}

Value Value::Missing()
{
    Value value;
    value.m_missing = true;
    return value;
}

// --- provider ---

Provider::Provider() : m_factory(new LocatorFactory(this))
{
    AddNamespace(L"root\\cimv2");
    CoRegisterClassObject(CLSID_WbemLocator, m_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_registration);
}

Provider::~Provider()
{
    CoRevokeClassObject(m_registration);
    m_factory->Release();
}

NamespaceScript& Provider::AddNamespace(const std::wstring& path)
{
    if (NamespaceScript* existing = FindNamespace(path))
    {
        return *existing;
    }
    size_t separator = path.rfind(L'\\');
    NamespaceScript* parent = separator != std::wstring::npos ? &AddNamespace(path.substr(0, separator)) : nullptr;
    auto added = std::make_unique<NamespaceScript>();
    added->path = path;
    added->childNamespaces.name = L"__NAMESPACE";
    added->childNamespaces.properties = {{L"Name", CIM_STRING}};
    added->childNamespaces.nameSpace = path;
    if (parent != nullptr)
    {
        Instance child;
        child.values.emplace_back(L"Name", Value::Text(path.substr(separator + 1)));
        parent->childNamespaces.instances.push_back(std::move(child));
    }
    m_namespaces.push_back(std::move(added));
    return *m_namespaces.back();
}

NamespaceScript* Provider::FindNamespace(const std::wstring& path)
{
    for (const auto& nameSpace : m_namespaces)
    {
        if (SameName(nameSpace->path, path.c_str()))
        {
            return nameSpace.get();
        }
    }
    return nullptr;
}

ClassScript& Provider::AddClass(const std::wstring& name,
                                const std::vector<std::pair<std::wstring, CIMTYPE>>& properties)
{
    return AddClass(L"root\\cimv2", name, std::wstring(), properties);
}

ClassScript& Provider::AddClass(const std::wstring& nameSpace, const std::wstring& name, const std::wstring& superclass,
                                const std::vector<std::pair<std::wstring, CIMTYPE>>& properties)
{
    NamespaceScript& owner = AddNamespace(nameSpace);
    const ClassScript* parent = nullptr;
    if (!superclass.empty())
    {
        parent = FindClass(nameSpace, superclass);
        if (parent == nullptr)
        {
            throw std::invalid_argument("the superclass is not a class of the namespace");
        }
    }
    auto script = std::make_unique<ClassScript>();
    script->name = name;
    script->properties = properties;
    script->nameSpace = owner.path;
    script->superclass = parent;
    owner.classes.push_back(std::move(script));
    return *owner.classes.back();
}

const MachineScript* Provider::FindMachine(const std::wstring& server) const
{
    for (const auto& [name, script] : machines)
    {
        if (name == server)
        {
            return &script;
        }
    }
    return nullptr;
}

ClassScript* Provider::FindClass(const std::wstring& name)
{
    return FindClass(L"root\\cimv2", name);
}

ClassScript* Provider::FindClass(const std::wstring& nameSpace, const std::wstring& name)
{
    NamespaceScript* owner = FindNamespace(nameSpace);
    if (owner == nullptr)
    {
        return nullptr;
    }
    for (const auto& script : owner->classes)
    {
        if (SameName(script->name, name.c_str()))
        {
            return script.get();
        }
    }
    return nullptr;
}

AssociationScript& Provider::Associate(const std::wstring& associationClass, const std::wstring& sourcePath,
                                       const std::wstring& targetClass, size_t targetIndex, Instance link)
{
    const ClassScript* target = FindClass(targetClass);
    if (FindClass(associationClass) == nullptr || target == nullptr || targetIndex >= target->instances.size())
    {
        throw std::invalid_argument("the association's classes or its target instance are not scripted");
    }
    AssociationScript association;
    association.associationClass = associationClass;
    association.sourcePath = sourcePath;
    association.targetClass = targetClass;
    association.targetIndex = targetIndex;
    association.link = std::move(link);
    associations.push_back(std::move(association));
    return associations.back();
}

void AddInstances(ClassScript& script, int count, const std::function<Value(int, int)>& make)
{
    script.instances.reserve(script.instances.size() + static_cast<size_t>(count));
    for (int i = 0; i < count; i++)
    {
        Instance instance;
        for (size_t p = 0; p < script.properties.size(); p++)
        {
            instance.values.emplace_back(script.properties[p].first, make(i, static_cast<int>(p)));
        }
        script.instances.push_back(std::move(instance));
    }
}

} // namespace ScriptedWmi
