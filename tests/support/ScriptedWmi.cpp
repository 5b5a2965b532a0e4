#include "tests/support/ScriptedWmi.h"

#include <algorithm>

namespace ScriptedWmi
{

std::atomic<int> Provider::liveObjects{0};

namespace
{

std::wstring Text(const BSTR value)
{
    return value != nullptr ? std::wstring(value, SysStringLen(value)) : std::wstring();
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

// A class definition (instance null) or one instance of a scripted class.
class ClassObject final : public IWbemClassObject, public Counted
{
public:
    ClassObject(Provider* provider, const ClassScript* script, const Instance* instance)
        : m_provider(provider), m_script(script), m_instance(instance),
          m_tableUse(provider, instance == nullptr ? script : nullptr)
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
        if (m_instance == nullptr)
        {
            auto property = std::find_if(m_script->properties.begin(), m_script->properties.end(),
                                         [&](const auto& entry) { return entry.first == name; });
            if (property == m_script->properties.end())
            {
                return WBEM_E_NOT_FOUND;
            }
            if (m_provider->getTypeResult != S_OK)
            {
                return m_provider->getTypeResult;
            }
            if (type != nullptr)
            {
                *type = property->second;
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
        for (const auto& property : m_script->properties)
        {
            all.push_back(property.first);
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

    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override { return E_NOTIMPL; }
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
};

class Enumerator final : public IEnumWbemClassObject, public Counted
{
public:
    Enumerator(Provider* provider, const ClassScript* script, const MachineScript* machine)
        : m_provider(provider), m_script(script), m_machine(machine),
          m_security(provider, static_cast<IEnumWbemClassObject*>(this), L"enumerator",
                     &provider->enumeratorBlanketResult),
          m_tableUse(provider, script)
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
        size_t failAfter = m_machine != nullptr ? m_machine->failAfterRows : 0;
        if (failAfter > 0 && m_position >= failAfter)
        {
            return m_machine->failAfterRowsResult;
        }
        if (m_provider->neverReady)
        {
            Sleep(20);
            return WBEM_S_TIMEDOUT;
        }
        size_t total = m_script != nullptr ? m_script->instances.size() : 0;
        if (m_position < total && m_timeoutsLeft > 0)
        {
            m_timeoutsLeft--;
            return WBEM_S_TIMEDOUT;
        }
        m_timeoutsLeft = m_provider->timeoutsBeforeEachBatch;
        size_t available = failAfter > 0 ? std::min(total, failAfter) - m_position : total - m_position;
        ULONG n = static_cast<ULONG>(std::min<size_t>({count, m_provider->largestBatch, available}));
        for (ULONG i = 0; i < n; i++)
        {
            objects[i] = new ClassObject(m_provider, m_script, &m_script->instances[m_position++]);
        }
        *returned = n;
        return n == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }

private:
    Provider* m_provider;        // not owned
    const ClassScript* m_script;   // not owned; null for a class the machine lacks
    const MachineScript* m_machine; // not owned; null for a machine without a script
    size_t m_position = 0;
    int m_timeoutsLeft = 0;
    ClientSecurity m_security;
    TableUse m_tableUse;
};

// The class name of a query of the form "Select ... from <class> [where ...]".
std::wstring QueriedClass(const std::wstring& query)
{
    size_t from = query.find(L" from ");
    if (from == std::wstring::npos)
    {
        return std::wstring();
    }
    size_t start = from + 6;
    size_t end = query.find(L' ', start);
    return query.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

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

class Services final : public IWbemServices, public Counted
{
public:
    Services(Provider* provider, std::wstring server)
        : m_provider(provider), m_server(std::move(server)),
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
        const ClassScript* script = m_provider->FindClass(Text(path));
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
        m_provider->Log(m_provider->queries, QueryCall{Text(language), Text(query), flags});
        *enumerator = nullptr;
        const MachineScript* machine = m_provider->FindMachine(m_server);
        HRESULT scripted = machine != nullptr && machine->execQueryResult != S_OK ? machine->execQueryResult
                                                                                  : m_provider->execQueryResult;
        if (scripted != S_OK)
        {
            return scripted;
        }
        const ClassScript* script = m_provider->FindClass(QueriedClass(Text(query)));
        if (script == nullptr)
        {
            return WBEM_E_NOT_FOUND;
        }
        *enumerator = new Enumerator(m_provider, script, machine);
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
    HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override
    {
        return E_NOTIMPL;
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
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                              IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }

private:
    Provider* m_provider; // not owned
    std::wstring m_server;
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
        *services = new Services(m_provider, ServerOf(Text(path)));
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
    CoRegisterClassObject(CLSID_WbemLocator, m_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_registration);
}

Provider::~Provider()
{
    CoRevokeClassObject(m_registration);
    m_factory->Release();
    for (ClassScript* script : m_classes)
    {
        delete script;
    }
}

ClassScript& Provider::AddClass(const std::wstring& name,
                                const std::vector<std::pair<std::wstring, CIMTYPE>>& properties)
{
    m_classes.push_back(new ClassScript{name, properties, {}});
    return *m_classes.back();
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
    for (ClassScript* script : m_classes)
    {
        if (script->name == name)
        {
            return script;
        }
    }
    return nullptr;
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
