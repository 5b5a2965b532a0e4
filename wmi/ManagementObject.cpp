#include "wmi/ManagementObject.h"

#include "core/io/SystemError.h"
#include "core/platform/windows/Com.h"
#include "core/threading/BackgroundWork.h"
#include "core/threading/SynchronizationEvent.h"
#include "wmi/InvalidWMIClassException.h"
#include "wmi/ResultMessage.h"

#include <memory>
#include <new>
#include <vector>
#include <windows.h>

#include <wbemidl.h>

using Core::Exception;
using Core::String;
using Core::Platform::Windows::ComScope;
using Core::Platform::Windows::ComString;
using Core::Threading::CriticalSectionLock;
using Core::Threading::SynchronizationEvent;

namespace WMI
{

namespace
{

String VariantText(VARIANT& value);

// An array becomes the texts of its elements joined by ", "; arrays of embedded objects stay empty.
String ArrayText(VARIANT& value)
{
    VARTYPE elementType = static_cast<VARTYPE>(value.vt & VT_TYPEMASK);
    SAFEARRAY* array = (value.vt & VT_BYREF) ? *value.pparray : value.parray;
    if (array == nullptr || elementType == VT_UNKNOWN || elementType == VT_DISPATCH || SafeArrayGetDim(array) != 1)
    {
        return String();
    }
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
    {
        return String();
    }
    String text;
    for (LONG index = lower; index <= upper; index++)
    {
        VARIANT element;
        VariantInit(&element);
        // Every member of the union starts at the same address, so one pointer serves any element type.
        HRESULT copied = elementType == VT_VARIANT ? SafeArrayGetElement(array, &index, &element)
                                                   : SafeArrayGetElement(array, &index, &element.llVal);
        if (elementType != VT_VARIANT && SUCCEEDED(copied))
        {
            element.vt = elementType;
        }
        if (index > lower)
        {
            text += L", ";
        }
        if (SUCCEEDED(copied))
        {
            text += VariantText(element);
            VariantClear(&element);
        }
    }
    return text;
}

// The cell text of a value: the locale's words for booleans, WMI's own text for everything else.
String VariantText(VARIANT& value)
{
    if (value.vt & VT_ARRAY)
    {
        return ArrayText(value);
    }
    switch (value.vt)
    {
    case VT_BSTR:
        return String(value.bstrVal, static_cast<int>(SysStringLen(value.bstrVal)));
    case VT_EMPTY:
    case VT_NULL:
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return String();
    default:
        if (SUCCEEDED(VariantChangeType(&value, &value, VARIANT_LOCALBOOL, VT_BSTR)) && value.vt == VT_BSTR)
        {
            return String(value.bstrVal, static_cast<int>(SysStringLen(value.bstrVal)));
        }
        return String();
    }
}

String CellText(IWbemClassObject* object, const PropertyInfo& property)
{
    VARIANT value;
    VariantInit(&value);
    if (FAILED(object->Get(property.GetName().GetBuffer(), 0, &value, nullptr, nullptr)))
    {
        return String();
    }
    String text = VariantText(value);
    VariantClear(&value);
    return text;
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

// The session of an open connection; a missing or closed one throws.
std::shared_ptr<const ConnectionSession> SessionOf(ManagementConnection* connection)
{
    if (connection == nullptr)
    {
        throw Core::ArgumentNullException(String(L"connection"));
    }
    return connection->GetSession();
}

} // namespace

void GetClassProperties(Core::Collections::ArrayList<PropertyInfo>& list, ManagementConnection* connection,
                        const String& className, bool readTypes)
{
    list.Clear();
    GetClassProperties(list, *SessionOf(connection), className, readTypes);
}

void GetClassProperties(Core::Collections::ArrayList<PropertyInfo>& list, const ConnectionSession& session,
                        const String& className, bool readTypes)
{
    list.Clear();
    ComScope<IWbemClassObject> classObject;
    HRESULT result =
        session.GetServices()->GetObject(ComString(className).Get(), 0, nullptr, classObject.Receive(), nullptr);
    if (FAILED(result))
    {
        if (result == static_cast<HRESULT>(WBEM_E_NOT_FOUND))
        {
            throw InvalidWMIClassException(className);
        }
        throw Exception(GetResultMessage(result));
    }
    SAFEARRAY* names = nullptr;
    if (classObject->GetNames(nullptr, WBEM_FLAG_NONSYSTEM_ONLY, nullptr, &names) != S_OK || names == nullptr)
    {
        return;
    }
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(names, 1, &lower);
    SafeArrayGetUBound(names, 1, &upper);
    try
    {
        for (LONG index = lower; index <= upper; index++)
        {
            BSTR name = nullptr;
            if (FAILED(SafeArrayGetElement(names, &index, &name)))
            {
                continue;
            }
            PropertyInfo property(String(name, static_cast<int>(SysStringLen(name))), CimString);
            if (readTypes)
            {
                CIMTYPE type = 0;
                if (classObject->Get(name, 0, nullptr, &type, nullptr) == S_OK)
                {
                    property.SetCimType(static_cast<int>(type));
                }
            }
            SysFreeString(name);
            list.Add(property);
        }
    }
    catch (...)
    {
        SafeArrayDestroy(names);
        throw;
    }
    SafeArrayDestroy(names);
}

namespace
{

using PropertyList = Core::Collections::ArrayList<PropertyInfo>;
using DefinitionCall = Core::Threading::BackgroundCall<PropertyList>;

// The class definitions being read, by connection and class, with how many callers wait for each: a second
// request joins the first. Main thread only.
struct DefinitionRead
{
    const ConnectionSession* session;
    String className;
    std::shared_ptr<DefinitionCall> call;
    int waiters;
};

std::vector<DefinitionRead>& DefinitionReads()
{
    static std::vector<DefinitionRead> reads;
    return reads;
}

// Counts one caller waiting for a read; the last one to leave takes the read off the list.
class DefinitionWaiter
{
public:
    DefinitionWaiter(const std::shared_ptr<const ConnectionSession>& session, const String& className)
    {
        std::vector<DefinitionRead>& reads = DefinitionReads();
        for (DefinitionRead& read : reads)
        {
            if (read.session == session.get() && read.className.ToUpper() == className.ToUpper())
            {
                read.waiters++;
                m_call = read.call;
                return;
            }
        }
        m_call = std::make_shared<DefinitionCall>(
            [session, className]
            {
                PropertyList list(16);
                GetClassProperties(list, *session, className, true);
                return list;
            });
        reads.push_back(DefinitionRead{session.get(), className, m_call, 1});
    }
    ~DefinitionWaiter()
    {
        std::vector<DefinitionRead>& reads = DefinitionReads();
        for (size_t i = 0; i < reads.size(); i++)
        {
            if (reads[i].call == m_call && --reads[i].waiters == 0)
            {
                reads.erase(reads.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        if (reads.empty())
        {
            std::vector<DefinitionRead>().swap(reads);
        }
    }
    DefinitionWaiter(const DefinitionWaiter&) = delete;
    DefinitionWaiter& operator=(const DefinitionWaiter&) = delete;

    DefinitionCall& GetCall() { return *m_call; }

private:
    std::shared_ptr<DefinitionCall> m_call;
};

} // namespace

std::optional<PropertyList> ReadClassProperties(ManagementConnection* connection, const String& className)
{
    DefinitionWaiter waiter(SessionOf(connection), className);
    if (!waiter.GetCall().WaitWhilePumping())
    {
        return std::nullopt;
    }
    return waiter.GetCall().GetResult();
}

// What the load body touches: the worker keeps its own reference, so a load left running when its class object
// goes (a disconnect, the program's end) finishes on memory that is still its own.
struct ManagementObject::Shared
{
    explicit Shared(const ClassDefinition& owner) : definition(owner.GetName(), owner.GetKind()) {}

    // The load body: on the worker, or on the calling thread for a synchronous load.
    void LoadRows();
    void ReadInstances();
    void AppendRows(IWbemClassObject** objects, unsigned long count);
    void ClearRows();
    void RequestStop();
    bool IsStopRequested() const { return phase == StopPending; }

    // Where the enumeration is, for stop requests: a request is taken only while it runs, and the
    // enumeration's end takes it back in the same step, so no request outlives the load it was meant for.
    enum RunPhase
    {
        NotRunning,
        Running,
        StopPending
    };

    // The class as it was when the load started; a load that finds no properties fills its own list.
    ClassDefinition definition;
    std::shared_ptr<const ConnectionSession> session;
    std::atomic<bool> loaded{false};
    std::atomic<bool> supported{true};
    std::atomic<bool> loading{false};
    std::atomic<int> phase{NotRunning};
    std::atomic<int> state{LoadIdle};
    // Counts the loads started: a wait of an earlier load learns that a newer one replaced it.
    std::atomic<unsigned> generation{0};
    // Why the last load failed; written before loading goes false, read after.
    String failure;
    // The mode of the running load, fixed when it starts even if the connection's flag changes meanwhile.
    bool asyncRun = false;
    Core::Collections::PointerArrayList<Row> rows{16}; // owned rows
    Core::Threading::CriticalSection lock;
    std::unique_ptr<SynchronizationEvent> rowsReady;
};

ManagementObject::ManagementObject(ManagementConnection* connection, const String& className, int kind)
    : ClassDefinition(className, kind), m_shared(std::make_shared<Shared>(*this)), m_connection(connection)
{
}

ManagementObject::~ManagementObject()
{
    // A worker still inside a slow provider ends by itself; it holds what it uses.
    m_shared->RequestStop();
    m_worker.reset();
}

bool ManagementObject::IsLoading() const
{
    return m_shared->loading;
}

bool ManagementObject::IsLoaded() const
{
    return m_shared->loaded;
}

bool ManagementObject::IsSupported() const
{
    return m_shared->supported;
}

int ManagementObject::GetState() const
{
    return m_shared->state;
}

String ManagementObject::GetFailureMessage() const
{
    return m_shared->loading ? String() : m_shared->failure;
}

Core::Collections::PointerArrayList<Row>& ManagementObject::GetRows()
{
    return m_shared->rows;
}

Core::Threading::CriticalSection& ManagementObject::GetLock()
{
    return m_shared->lock;
}

void ManagementObject::FillProperties()
{
    GetClassProperties(GetProperties(), m_connection, GetName(), false);
}

void ManagementObject::CreateEvents()
{
    if (m_shared->rowsReady != nullptr)
    {
        return;
    }
    // The address makes the names unique within the process, the process id across running programs.
    String number;
    number += static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(this));
    number += L"_";
    number += static_cast<unsigned int>(GetCurrentProcessId());
    m_shared->rowsReady = std::make_unique<SynchronizationEvent>(String(L"MORL_") + number, true, false);
}

void ManagementObject::RaiseProgress()
{
    LoadEventArgs args(this, 1);
    Progress.Raise(this, args);
}

void ManagementObject::TakeFilledProperties()
{
    if (GetProperties().GetCount() == 0 && !m_shared->loading)
    {
        GetProperties() = m_shared->definition.GetProperties();
    }
}

bool ManagementObject::PrepareLoad(bool asynchronous)
{
    Shared& shared = *m_shared;
    if (!shared.supported)
    {
        throw InvalidWMIClassException(GetName());
    }
    if (shared.loading || shared.loaded)
    {
        return false;
    }
    if (m_worker != nullptr)
    {
        // The previous worker has finished its load and is leaving: its end is waited for, never cut short.
        m_worker->Join();
        m_worker.reset();
    }
    shared.definition.GetProperties() = GetProperties();
    shared.definition.SetFilter(GetFilter());
    shared.session =
        m_connection != nullptr && m_connection->GetServices() != nullptr ? m_connection->GetSession() : nullptr;
    shared.asyncRun = asynchronous;
    return true;
}

void ManagementObject::StartWorker()
{
    std::shared_ptr<Shared> kept = m_shared;
    Shared& shared = *kept;
    // Set before the worker runs, so a wait and a Completed cut short both see a running load.
    shared.loading = true;
    shared.state = LoadLoading;
    shared.phase = Shared::Running;
    shared.generation++;
    try
    {
        CreateEvents();
        shared.rowsReady->Reset();
        m_worker = std::make_unique<Core::Threading::BackgroundWork>(
            [kept]
            {
                kept->LoadRows();
                kept->session.reset();
            });
    }
    catch (...)
    {
        // Nothing runs: do not leave the object looking busy forever.
        shared.phase = Shared::NotRunning;
        shared.loading = false;
        throw;
    }
}

void ManagementObject::Load()
{
    // The state is kept by this call too: the object may be destroyed while the wait below runs messages.
    std::shared_ptr<Shared> kept = m_shared;
    Shared& shared = *kept;
    std::weak_ptr<const void> alive = Watch();
    if (!PrepareLoad(m_connection != nullptr && m_connection->GetAsyncLoad()))
    {
        return;
    }
    if (!shared.asyncRun)
    {
        shared.phase = Shared::Running;
        shared.LoadRows();
        shared.session.reset();
        TakeFilledProperties();
        return;
    }
    StartWorker();
    const unsigned mine = shared.generation;

    int waitResult = SynchronizationEvent::Signalled;
    while (shared.loading && waitResult == SynchronizationEvent::Signalled)
    {
        shared.rowsReady->Wait(-1, waitResult);
        if (alive.expired())
        {
            return; // destroyed meanwhile: nobody is left to tell, and the worker ends by itself
        }
        if (shared.generation != mine)
        {
            return; // stopped and loaded again while this wait ran messages (a refresh): the newer load told all
        }
        shared.rowsReady->Reset();
        CriticalSectionLock guard(shared.lock);
        RaiseProgress();
    }
    // Left signalled, so that the wait of a load this one replaced wakes once this one has returned.
    shared.rowsReady->Set();
    TakeFilledProperties();
    RaiseProgress();
    LoadEventArgs completed(this, shared.state);
    Completed.Raise(this, completed);
}

bool ManagementObject::BeginLoad()
{
    if (!PrepareLoad(true))
    {
        return false;
    }
    StartWorker();
    return true;
}

void ManagementObject::RequestStop()
{
    m_shared->RequestStop();
}

void ManagementObject::Discard()
{
    if (m_shared->loading)
    {
        throw Core::InvalidOperationException(String(L"The class is still loading"));
    }
    m_shared->ClearRows();
    m_shared->loaded = false;
    m_shared->state = LoadIdle;
    m_shared->failure = String();
    m_definition.reset();
}

void ManagementObject::KeepDefinition(const Core::Collections::ArrayList<PropertyInfo>& properties)
{
    m_definition = std::make_unique<Core::Collections::ArrayList<PropertyInfo>>(properties);
}

void ManagementObject::Cancel()
{
    if (!m_shared->loading || !m_shared->asyncRun || m_worker == nullptr)
    {
        return;
    }
    m_shared->RequestStop();
    if (m_shared->lock.IsHeldByCurrentThread())
    {
        // A Progress handler (or whatever runs nested in it) holds the lock the worker needs for its next
        // batch: waiting here would never end. The load's own wait sees the worker end.
        return;
    }
    // The worker's end is its thread's end: after that nothing of it touches the rows any more.
    int waitResult = Core::Threading::WaitWithMessagePumping(m_worker->GetHandle(), -1);
    if (waitResult != SynchronizationEvent::Signalled)
    {
        throw Exception(String(L"Wait for second thread error.") + Core::IO::GetLastErrorText());
    }
}

void ManagementObject::Shared::RequestStop()
{
    int running = Running;
    phase.compare_exchange_strong(running, StopPending);
}

void ManagementObject::Shared::ClearRows()
{
    CriticalSectionLock guard(lock);
    rows.Clear();
}

void ManagementObject::Shared::LoadRows()
{
    if (!supported)
    {
        throw InvalidWMIClassException(definition.GetName());
    }
    loading = true;
    state = LoadLoading;
    failure = String();
    try
    {
        ReadInstances();
        // From here on a stop request finds nothing running and is dropped.
        if (phase.exchange(NotRunning) == StopPending)
        {
            ClearRows();
            state = LoadCancelled;
        }
        else
        {
            loaded = true;
            state = LoadCompleted;
        }
    }
    catch (const Exception& exception)
    {
        failure = exception.GetMessageText();
        phase = NotRunning;
        state = LoadFailed;
    }
    catch (...)
    {
        failure = String(L"Not enough memory to load the instances");
        phase = NotRunning;
        state = LoadFailed;
    }
    loading = false;
    if (asyncRun)
    {
        rowsReady->Set();
    }
}

void ManagementObject::Shared::ReadInstances()
{
    if (session == nullptr)
    {
        throw Core::InvalidOperationException(String(L"The connection to the machine is not open"));
    }
    if (definition.GetProperties().GetCount() == 0)
    {
        GetClassProperties(definition.GetProperties(), *session, definition.GetName(), false);
    }
    ClearRows();
    ComScope<IEnumWbemClassObject> enumerator;
    HRESULT result = session->ExecQuery(definition.GetQueryText(), enumerator.Receive());
    if (result == static_cast<HRESULT>(WBEM_E_NOT_FOUND))
    {
        supported = false;
        throw InvalidWMIClassException(definition.GetName());
    }
    if (FAILED(result))
    {
        throw Exception(GetResultMessage(result));
    }

    IWbemClassObject* batch[BatchSize];
    while (!IsStopRequested())
    {
        ULONG returned = 0;
        result = enumerator->Next(static_cast<long>(NextTimeoutMilliseconds), BatchSize, batch, &returned);
        BatchScope release(batch, returned);
        if (result != WBEM_S_NO_ERROR && result != WBEM_S_FALSE && result != WBEM_S_TIMEDOUT)
        {
            throw Exception(GetResultMessage(result));
        }
        if (returned == 0)
        {
            // A time-out without objects only means the provider is slow: look at the stop request again.
            if (result == WBEM_S_TIMEDOUT)
            {
                continue;
            }
            break;
        }
        if (IsStopRequested())
        {
            break;
        }
        AppendRows(batch, returned);
        if (asyncRun)
        {
            rowsReady->Set();
        }
    }
    enumerator.Reset();
}

void ManagementObject::Shared::AppendRows(IWbemClassObject** objects, unsigned long count)
{
    // Rows are built outside the lock; the main thread waits only for the appends.
    const Core::Collections::ArrayList<PropertyInfo>& properties = definition.GetProperties();
    std::unique_ptr<Row> built[BatchSize];
    for (unsigned long i = 0; i < count; i++)
    {
        built[i] = std::make_unique<Row>(16);
        for (int p = 0; p < properties.GetCount(); p++)
        {
            built[i]->Add(CellText(objects[i], properties[p]));
        }
    }
    CriticalSectionLock guard(lock);
    for (unsigned long i = 0; i < count; i++)
    {
        rows.Add(built[i].get());
        built[i].release();
    }
}

} // namespace WMI
