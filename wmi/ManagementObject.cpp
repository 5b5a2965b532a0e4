#include "wmi/ManagementObject.h"

#include "core/io/SystemError.h"
#include "core/platform/windows/Com.h"
#include "core/threading/BackgroundWork.h"
#include "core/threading/SynchronizationEvent.h"
#include "wmi/InvalidWMIClassException.h"
#include "wmi/QueryText.h"
#include "wmi/ResultMessage.h"
#include "wmi/WbemBatch.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
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

String CellText(IWbemClassObject* object, const wchar_t* name)
{
    VARIANT value;
    VariantInit(&value);
    if (FAILED(object->Get(name, 0, &value, nullptr, nullptr)))
    {
        return String();
    }
    String text = VariantText(value);
    VariantClear(&value);
    return text;
}

// The object path WMI gives with an object; empty when it gives none. Wine counts NULs after the text in its length.
String PathOf(IWbemClassObject* object)
{
    VARIANT value;
    VariantInit(&value);
    String path;
    if (SUCCEEDED(object->Get(L"__PATH", 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR &&
        value.bstrVal != nullptr)
    {
        int length = static_cast<int>(SysStringLen(value.bstrVal));
        while (length > 0 && value.bstrVal[length - 1] == 0)
        {
            length--;
        }
        path = String(value.bstrVal, length);
    }
    VariantClear(&value);
    return path;
}

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

void ReadClassDefinition(const Core::Threading::CompletionOwner& owner, ManagementConnection* connection,
                         const String& className,
                         std::function<void(Core::Threading::Outcome<PropertyList>&)> completion)
{
    std::shared_ptr<const ConnectionSession> session = SessionOf(connection);
    std::shared_ptr<ClassTurn> turn = session->GetClassTurns().Take(className);
    Core::Threading::CompletionTarget wanted = owner.GetTarget();
    Core::Threading::RunInBackground<PropertyList>(
        owner,
        [session, turn, className, wanted]
        {
            return turn->Run(
                [&]
                {
                    PropertyList list(16);
                    if (wanted.IsWanted())
                    {
                        GetClassProperties(list, *session, className, true);
                    }
                    return list;
                });
        },
        std::move(completion));
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
    void AppendQueryRows(IWbemClassObject** objects, unsigned long count);
    // Appends built rows and their paths, the lock held; a failing append leaves as many paths as rows.
    void AddRows(std::unique_ptr<Row>* built, String* paths, unsigned long count);
    // The class an object of a query belongs to, learnt from the first of its objects that came.
    struct SeenClass;
    SeenClass& ClassOf(IWbemClassObject* object);
    // The message of a failed ExecQuery or Next; call it right after the failing call.
    String FailureMessage(long result) const;
    void ClearRows();
    void RequestStop();
    // Stops the load and frees its object from it (see abandoned).
    void LetGo();
    std::shared_ptr<ClassTurn> TakeTurn();
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
    // Let go by its object (a stop, a new load, the object's end): the worker ends alone on this state, and the
    // load's own wait returns at once. The state the object went on with, when a stop let it go.
    std::atomic<bool> abandoned{false};
    std::weak_ptr<Shared> replacement;
    // A load begun with BeginLoad tells its caller of new rows and of its end through this, on the worker.
    std::function<void()> onRows;
    // Why the last load failed; written before loading goes false, read after.
    String failure;
    // The mode of the running load, fixed when it starts even if the connection's flag changes meanwhile.
    bool asyncRun = false;
    Core::Collections::PointerArrayList<Row> rows{16}; // owned rows
    Core::Collections::ArrayList<String> rowPaths{16}; // each row's __PATH, under the lock with the rows
    // A typed query run in place of the class's own text; empty for a class load.
    String queryText;
    // The cells' names, under the lock (see GetColumns).
    Core::Collections::ArrayList<String> columns{16};
    std::atomic<unsigned int> columnLayout{0};
    // What a query learnt of its objects' classes; the worker's alone. The columns without "__CLASS" are the
    // property columns, numbered from 0.
    std::vector<std::unique_ptr<SeenClass>> seenClasses;
    std::unordered_map<std::wstring, int> propertyColumns; // lower-case name -> property column
    int propertyColumnCount = 0;
    bool classColumn = false; // "__CLASS" is column 0
    SeenClass* lastClass = nullptr;
    Core::Threading::CriticalSection lock;
    std::unique_ptr<SynchronizationEvent> rowsReady;
};

struct ManagementObject::Shared::SeenClass
{
    String name;
    std::wstring exactName; // as the objects spell it, for the quick comparison with the next object's
    // Its properties in the order GetNames gives them, each with its property column.
    std::vector<std::pair<String, int>> properties;
    int width = 0;        // property columns up to its last one
    bool inOrder = false; // its properties are the property columns 0, 1, ... in that order
};

ManagementObject::ManagementObject(ManagementConnection* connection, const String& className, int kind)
    : ClassDefinition(className, kind), m_shared(std::make_shared<Shared>(*this)), m_connection(connection)
{
}

ManagementObject::~ManagementObject()
{
    // A worker still inside a slow provider ends by itself; it holds what it uses.
    m_shared->LetGo();
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

String ManagementObject::GetRowPath(int row) const
{
    return m_shared->rowPaths.GetItem(row);
}

Core::Threading::CriticalSection& ManagementObject::GetLock()
{
    return m_shared->lock;
}

const Core::Collections::ArrayList<String>& ManagementObject::GetColumns() const
{
    return m_shared->columns;
}

unsigned int ManagementObject::GetColumnLayout() const
{
    return m_shared->columnLayout;
}

void ManagementObject::SetQueryText(const String& text)
{
    if (m_shared->loading)
    {
        throw Core::InvalidOperationException(String(L"The class is still loading"));
    }
    m_queryText = text;
    StartAfresh(LoadIdle);
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
    // Each load has a state of its own, and a load let go keeps its event while its worker ends.
    number += L"_";
    number += ++m_loadsStarted;
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
    if (!m_shared->supported && !IsQuery())
    {
        throw InvalidWMIClassException(GetName());
    }
    if (m_shared->loading || m_shared->loaded)
    {
        return false;
    }
    if (m_shared->state != LoadIdle || m_shared->rowsReady != nullptr)
    {
        // A worker that has ended its load may still be leaving: the new load gets a state of its own rather than
        // waiting for it.
        StartAfresh(LoadIdle);
    }
    Shared& shared = *m_shared;
    shared.definition.GetProperties() = GetProperties();
    shared.definition.SetFilter(GetFilter());
    shared.queryText = m_queryText;
    shared.session =
        m_connection != nullptr && m_connection->GetServices() != nullptr ? m_connection->GetSession() : nullptr;
    shared.asyncRun = asynchronous;
    return true;
}

void ManagementObject::StartAfresh(int state)
{
    auto fresh = std::make_shared<Shared>(*this);
    fresh->supported = m_shared->supported.load();
    fresh->state = state;
    m_shared = std::move(fresh);
}

// The class's turn on its connection: a load waits for every call on the class let go or still under way.
std::shared_ptr<ClassTurn> ManagementObject::Shared::TakeTurn()
{
    if (session == nullptr)
    {
        return nullptr;
    }
    if (queryText.IsEmpty())
    {
        return session->GetClassTurns().Take(definition.GetName());
    }
    // A query waits for the calls on the class it reads; one that names no class waits for nothing.
    String queried = GetQueriedClass(queryText);
    return queried.IsEmpty() ? nullptr : session->GetClassTurns().Take(queried);
}

void ManagementObject::StartWorker()
{
    std::shared_ptr<Shared> kept = m_shared;
    Shared& shared = *kept;
    // Set before the worker runs, so a wait and a Completed cut short both see a running load.
    shared.loading = true;
    shared.state = LoadLoading;
    shared.phase = Shared::Running;
    try
    {
        CreateEvents();
        shared.rowsReady->Reset();
        std::shared_ptr<ClassTurn> turn = shared.TakeTurn();
        // Let go at once: the worker owns its work and ends by itself, whoever still waits for it.
        Core::Threading::BackgroundWork worker(
            [kept, turn]
            {
                if (turn != nullptr)
                {
                    turn->Run([&] { kept->LoadRows(); });
                }
                else
                {
                    kept->LoadRows();
                }
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
    std::weak_ptr<const void> alive = Watch();
    if (!PrepareLoad(m_connection != nullptr && m_connection->GetAsyncLoad()))
    {
        return;
    }
    std::shared_ptr<Shared> kept = m_shared;
    Shared& shared = *kept;
    if (!shared.asyncRun)
    {
        shared.phase = Shared::Running;
        std::shared_ptr<ClassTurn> turn = shared.TakeTurn();
        if (turn != nullptr)
        {
            turn->Run([&] { shared.LoadRows(); });
        }
        else
        {
            shared.LoadRows();
        }
        shared.session.reset();
        TakeFilledProperties();
        return;
    }
    StartWorker();

    int waitResult = SynchronizationEvent::Signalled;
    while (shared.loading && waitResult == SynchronizationEvent::Signalled)
    {
        shared.rowsReady->Wait(-1, waitResult);
        if (alive.expired())
        {
            return; // destroyed meanwhile: nobody is left to tell, and the worker ends by itself
        }
        if (shared.abandoned)
        {
            break;
        }
        shared.rowsReady->Reset();
        CriticalSectionLock guard(shared.lock);
        RaiseProgress();
    }
    if (shared.abandoned)
    {
        // A stop let the worker go. A load begun since (a refresh inside this wait) tells its own end.
        if (shared.replacement.lock() != m_shared)
        {
            return;
        }
        RaiseProgress();
        LoadEventArgs cancelled(this, LoadCancelled);
        Completed.Raise(this, cancelled);
        return;
    }
    TakeFilledProperties();
    RaiseProgress();
    LoadEventArgs completed(this, shared.state);
    Completed.Raise(this, completed);
}

bool ManagementObject::BeginLoad(std::function<void()> onRows)
{
    if (!PrepareLoad(true))
    {
        return false;
    }
    m_shared->onRows = std::move(onRows);
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
    StartAfresh(LoadIdle);
    m_definition.reset();
}

void ManagementObject::KeepDefinition(const Core::Collections::ArrayList<PropertyInfo>& properties)
{
    m_definition = std::make_unique<Core::Collections::ArrayList<PropertyInfo>>(properties);
}

void ManagementObject::Cancel()
{
    if (!m_shared->loading || !m_shared->asyncRun)
    {
        return;
    }
    // The worker is let go rather than waited for: a provider may keep it inside one Next for many seconds. It
    // ends by itself on the state it shares; the class goes on, at once, cancelled, with no rows.
    std::shared_ptr<Shared> old = m_shared;
    StartAfresh(LoadCancelled);
    old->replacement = m_shared;
    old->LetGo();
}

void ManagementObject::Shared::LetGo()
{
    RequestStop();
    abandoned = true;
    // Wakes the load's own wait, which returns without looking at the worker again.
    if (rowsReady != nullptr)
    {
        rowsReady->Set();
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
    rowPaths.Clear();
    if (columns.GetCount() > 0)
    {
        columns.Clear();
        columnLayout++;
    }
}

void ManagementObject::Shared::LoadRows()
{
    if (!supported && queryText.IsEmpty())
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
    if (onRows)
    {
        onRows();
    }
}

void ManagementObject::Shared::ReadInstances()
{
    if (session == nullptr)
    {
        throw Core::InvalidOperationException(String(L"The connection to the machine is not open"));
    }
    if (IsStopRequested())
    {
        return; // stopped while it waited for its turn on the class
    }
    bool query = !queryText.IsEmpty();
    if (!query && definition.GetProperties().GetCount() == 0)
    {
        GetClassProperties(definition.GetProperties(), *session, definition.GetName(), false);
    }
    ClearRows();
    seenClasses.clear();
    propertyColumns.clear();
    propertyColumnCount = 0;
    classColumn = false;
    lastClass = nullptr;
    if (!query)
    {
        CriticalSectionLock guard(lock);
        for (int p = 0; p < definition.GetProperties().GetCount(); p++)
        {
            columns.Add(definition.GetProperties()[p].GetName());
        }
    }
    ComScope<IEnumWbemClassObject> enumerator;
    HRESULT result = session->ExecQuery(query ? queryText : definition.GetQueryText(), enumerator.Receive());
    if (query && FAILED(result))
    {
        throw Exception(FailureMessage(result));
    }
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
            // A query that returns at once may be refused only by its first Next.
            throw Exception(query ? FailureMessage(result) : GetResultMessage(result));
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
        if (query)
        {
            AppendQueryRows(batch, returned);
        }
        else
        {
            AppendRows(batch, returned);
        }
        if (asyncRun)
        {
            rowsReady->Set();
        }
        if (onRows)
        {
            onRows();
        }
    }
    enumerator.Reset();
}

void ManagementObject::Shared::AppendRows(IWbemClassObject** objects, unsigned long count)
{
    // Rows are built outside the lock; the main thread waits only for the appends.
    const Core::Collections::ArrayList<PropertyInfo>& properties = definition.GetProperties();
    std::unique_ptr<Row> built[BatchSize];
    String paths[BatchSize];
    for (unsigned long i = 0; i < count; i++)
    {
        built[i] = std::make_unique<Row>(16);
        for (int p = 0; p < properties.GetCount(); p++)
        {
            built[i]->Add(CellText(objects[i], properties[p].GetName().GetBuffer()));
        }
        paths[i] = PathOf(objects[i]);
    }
    CriticalSectionLock guard(lock);
    AddRows(built, paths, count);
}

void ManagementObject::Shared::AddRows(std::unique_ptr<Row>* built, String* paths, unsigned long count)
{
    // The paths' room is made first, so that adding a path (a move) cannot fail after its row went in.
    int needed = rowPaths.GetCount() + static_cast<int>(count);
    if (rowPaths.GetCapacity() < needed)
    {
        rowPaths.SetCapacity(std::max(needed, rowPaths.GetCapacity() * 2));
    }
    for (unsigned long i = 0; i < count; i++)
    {
        rows.Add(built[i].get());
        built[i].release();
        rowPaths.Add(std::move(paths[i]));
    }
}

String ManagementObject::Shared::FailureMessage(long result) const
{
    String message = GetResultMessage(static_cast<int32_t>(result));
    if (result == static_cast<long>(WBEM_E_INVALID_QUERY))
    {
        return message + L": " + queryText;
    }
    if (result == static_cast<long>(WBEM_E_INVALID_CLASS) || result == static_cast<long>(WBEM_E_NOT_FOUND))
    {
        String queried = GetQueriedClass(queryText);
        if (!queried.IsEmpty())
        {
            return InvalidWMIClassException(queried).GetMessageText();
        }
    }
    return message;
}

ManagementObject::Shared::SeenClass& ManagementObject::Shared::ClassOf(IWbemClassObject* object)
{
    VARIANT value;
    VariantInit(&value);
    const wchar_t* text = L"";
    size_t length = 0;
    if (SUCCEEDED(object->Get(L"__CLASS", 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR &&
        value.bstrVal != nullptr)
    {
        text = value.bstrVal;
        length = SysStringLen(value.bstrVal);
    }
    // Objects of one class mostly come together: compared in place, without a copy of the name.
    if (lastClass != nullptr && lastClass->exactName.size() == length &&
        wmemcmp(lastClass->exactName.data(), text, length) == 0)
    {
        VariantClear(&value);
        return *lastClass;
    }
    std::wstring name(text, length);
    VariantClear(&value);
    for (const auto& seen : seenClasses)
    {
        if (_wcsicmp(seen->exactName.c_str(), name.c_str()) == 0)
        {
            lastClass = seen.get();
            return *lastClass;
        }
    }
    auto seen = std::make_unique<SeenClass>();
    seen->exactName = name;
    seen->name = String(name.c_str(), static_cast<int>(name.size()));
    SAFEARRAY* names = nullptr;
    if (SUCCEEDED(object->GetNames(nullptr, WBEM_FLAG_NONSYSTEM_ONLY, nullptr, &names)) && names != nullptr)
    {
        LONG lower = 0;
        LONG upper = -1;
        SafeArrayGetLBound(names, 1, &lower);
        SafeArrayGetUBound(names, 1, &upper);
        seen->inOrder = true;
        for (LONG index = lower; index <= upper; index++)
        {
            BSTR property = nullptr;
            if (FAILED(SafeArrayGetElement(names, &index, &property)) || property == nullptr)
            {
                continue;
            }
            std::wstring key(property, SysStringLen(property));
            for (wchar_t& unit : key)
            {
                unit = static_cast<wchar_t>(std::towlower(unit));
            }
            auto found = propertyColumns.emplace(key, propertyColumnCount);
            if (found.second)
            {
                propertyColumnCount++;
            }
            int column = found.first->second;
            seen->inOrder = seen->inOrder && column == static_cast<int>(seen->properties.size());
            seen->width = std::max(seen->width, column + 1);
            seen->properties.emplace_back(String(property, static_cast<int>(SysStringLen(property))), column);
            SysFreeString(property);
        }
        SafeArrayDestroy(names);
    }
    seenClasses.push_back(std::move(seen));
    lastClass = seenClasses.back().get();
    return *lastClass;
}

void ManagementObject::Shared::AppendQueryRows(IWbemClassObject** objects, unsigned long count)
{
    int columnsBefore = propertyColumnCount;
    bool classColumnBefore = classColumn;
    SeenClass* classes[BatchSize];
    for (unsigned long i = 0; i < count; i++)
    {
        classes[i] = &ClassOf(objects[i]);
    }
    classColumn = seenClasses.size() > 1;
    int offset = classColumn ? 1 : 0;
    std::unique_ptr<Row> built[BatchSize];
    String paths[BatchSize];
    for (unsigned long i = 0; i < count; i++)
    {
        paths[i] = PathOf(objects[i]);
        const SeenClass& seen = *classes[i];
        built[i] = std::make_unique<Row>(std::max(16, offset + seen.width));
        Row& row = *built[i];
        if (offset > 0)
        {
            row.Add(seen.name);
        }
        if (seen.inOrder)
        {
            for (const auto& [name, column] : seen.properties)
            {
                row.Add(CellText(objects[i], name.GetBuffer()));
            }
            continue;
        }
        for (int c = 0; c < seen.width; c++)
        {
            row.Add(String());
        }
        for (const auto& [name, column] : seen.properties)
        {
            row[offset + column] = CellText(objects[i], name.GetBuffer());
        }
    }
    CriticalSectionLock guard(lock);
    if (classColumn && !classColumnBefore)
    {
        // Every row so far is of the one class seen before this batch.
        const String& first = seenClasses.front()->name;
        for (int r = 0; r < rows.GetCount(); r++)
        {
            rows[r]->Insert(0, first);
        }
        columns.Insert(0, String(L"__CLASS"));
        columnLayout++;
    }
    if (propertyColumnCount > columnsBefore)
    {
        std::vector<const String*> added(static_cast<size_t>(propertyColumnCount - columnsBefore));
        for (const auto& seen : seenClasses)
        {
            for (const auto& [name, column] : seen->properties)
            {
                if (column >= columnsBefore && added[static_cast<size_t>(column - columnsBefore)] == nullptr)
                {
                    added[static_cast<size_t>(column - columnsBefore)] = &name;
                }
            }
        }
        for (const String* name : added)
        {
            columns.Add(*name);
        }
    }
    AddRows(built, paths, count);
}

} // namespace WMI
