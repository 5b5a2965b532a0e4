#include "wmi/ManagementObject.h"

#include "core/io/SystemError.h"
#include "core/platform/windows/Com.h"
#include "core/threading/SynchronizationEvent.h"
#include "core/threading/Thread.h"
#include "wmi/InvalidWMIClassException.h"
#include "wmi/ResultMessage.h"

#include <memory>
#include <new>
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

IWbemServices* ServicesOf(ManagementConnection* connection)
{
    if (connection == nullptr)
    {
        throw Core::ArgumentNullException(String(L"connection"));
    }
    if (connection->GetServices() == nullptr)
    {
        throw Core::InvalidOperationException(String(L"The connection to the machine is not open"));
    }
    return connection->GetServices();
}

} // namespace

void GetClassProperties(Core::Collections::ArrayList<PropertyInfo>& list, ManagementConnection* connection,
                        const String& className, bool readTypes)
{
    list.Clear();
    IWbemServices* services = ServicesOf(connection);
    ComScope<IWbemClassObject> classObject;
    HRESULT result = services->GetObject(ComString(className).Get(), 0, nullptr, classObject.Receive(), nullptr);
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

ManagementObject::ManagementObject(ManagementConnection* connection, const String& className, int kind)
    : ClassDefinition(className, kind), m_rows(16), m_connection(connection)
{
}

ManagementObject::~ManagementObject()
{
    if (m_worker != nullptr)
    {
        // The worker never waits for this thread, so a plain join cannot deadlock.
        RequestStop();
        m_worker->Join();
    }
    delete m_worker;
    delete m_threadStart;
    delete m_loadComplete;
    delete m_rowsReady;
}

void ManagementObject::FillProperties()
{
    GetClassProperties(GetProperties(), m_connection, GetName(), false);
}

void ManagementObject::CreateEvents()
{
    if (m_loadComplete != nullptr)
    {
        return;
    }
    // The address makes the names unique within the process, the process id across running programs.
    String number;
    number += static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(this));
    number += L"_";
    number += static_cast<unsigned int>(GetCurrentProcessId());
    m_loadComplete = new SynchronizationEvent(String(L"MOLC_") + number, true, false);
    m_rowsReady = new SynchronizationEvent(String(L"MORL_") + number, true, false);
}

void ManagementObject::ClearRows()
{
    CriticalSectionLock guard(m_lock);
    m_rows.Clear();
}

void ManagementObject::RaiseProgress()
{
    LoadEventArgs args(this, 1);
    Progress.Raise(this, args);
}

void ManagementObject::Load()
{
    if (!m_supported)
    {
        throw InvalidWMIClassException(GetName());
    }
    if (m_loading || m_loaded)
    {
        return;
    }
    m_asyncRun = m_connection->GetAsyncLoad();
    if (!m_asyncRun)
    {
        m_phase = Running;
        LoadRows();
        return;
    }

    if (m_worker != nullptr)
    {
        // The previous worker has finished its load; join it rather than ever terminating it.
        m_worker->Join();
        delete m_worker;
        m_worker = nullptr;
    }
    delete m_threadStart;
    m_threadStart = new Core::Threading::ThreadStart(this, &ManagementObject::RunWorker);
    m_worker = new Core::Threading::Thread(m_threadStart);
    // Set before the worker runs, so the wait below and a Completed cut short both see a running load.
    m_loading = true;
    m_state = LoadLoading;
    m_phase = Running;
    try
    {
        CreateEvents();
        m_rowsReady->Reset();
        m_worker->Start();
    }
    catch (...)
    {
        // Nothing runs: do not leave the object looking busy forever.
        m_phase = NotRunning;
        m_loading = false;
        throw;
    }

    int waitResult = SynchronizationEvent::Signalled;
    while (m_loading && waitResult == SynchronizationEvent::Signalled)
    {
        m_rowsReady->Wait(-1, waitResult);
        m_rowsReady->Reset();
        CriticalSectionLock guard(m_lock);
        RaiseProgress();
    }
    RaiseProgress();
    LoadEventArgs completed(this, m_state);
    Completed.Raise(this, completed);
    m_loadComplete->Set();
}

void ManagementObject::RequestStop()
{
    int running = Running;
    m_phase.compare_exchange_strong(running, StopPending);
}

void ManagementObject::Cancel()
{
    if (!m_loading || !m_asyncRun || m_worker == nullptr)
    {
        return;
    }
    RequestStop();
    if (m_lock.IsHeldByCurrentThread())
    {
        // A Progress handler (or whatever runs nested in it) holds the lock the worker needs for its next
        // batch: waiting here would never end. The load's own wait sees the worker end.
        return;
    }
    // The worker's end is its thread's end: after that nothing of it touches the rows any more.
    int waitResult = Core::Threading::WaitWithMessagePumping(m_worker->GetHandle(), -1);
    m_loadComplete->Reset();
    if (waitResult != SynchronizationEvent::Signalled)
    {
        throw Exception(String(L"Wait for second thread error.") + Core::IO::GetLastErrorText());
    }
}

void ManagementObject::RunWorker()
{
    Core::Platform::Windows::ComApartmentScope apartment;
    try
    {
        LoadRows();
    }
    catch (...)
    {
        // Nothing may leave a worker thread; the load's state already tells what happened.
    }
}

void ManagementObject::LoadRows()
{
    if (!m_supported)
    {
        throw InvalidWMIClassException(GetName());
    }
    m_loading = true;
    m_state = LoadLoading;
    try
    {
        ReadInstances();
        // From here on a stop request finds nothing running and is dropped.
        if (m_phase.exchange(NotRunning) == StopPending)
        {
            ClearRows();
            m_state = LoadCancelled;
        }
        else
        {
            m_loaded = true;
            m_state = LoadCompleted;
        }
    }
    catch (...)
    {
        m_phase = NotRunning;
        m_state = LoadFailed;
    }
    m_loading = false;
    if (m_asyncRun)
    {
        m_rowsReady->Set();
    }
}

void ManagementObject::ReadInstances()
{
    if (GetProperties().GetCount() == 0)
    {
        FillProperties();
    }
    ClearRows();
    ServicesOf(m_connection); // a missing or closed connection throws its own message
    ComScope<IEnumWbemClassObject> enumerator;
    HRESULT result = m_connection->ExecQuery(GetQueryText(), enumerator.Receive());
    if (result == static_cast<HRESULT>(WBEM_E_NOT_FOUND))
    {
        m_supported = false;
        throw InvalidWMIClassException(GetName());
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
        if (m_asyncRun)
        {
            m_rowsReady->Set();
        }
    }
    enumerator.Reset();
}

void ManagementObject::AppendRows(IWbemClassObject** objects, unsigned long count)
{
    // Rows are built outside the lock; the main thread waits only for the appends.
    const Core::Collections::ArrayList<PropertyInfo>& properties = GetProperties();
    std::unique_ptr<Row> rows[BatchSize];
    for (unsigned long i = 0; i < count; i++)
    {
        rows[i] = std::make_unique<Row>(16);
        for (int p = 0; p < properties.GetCount(); p++)
        {
            rows[i]->Add(CellText(objects[i], properties[p]));
        }
    }
    CriticalSectionLock guard(m_lock);
    for (unsigned long i = 0; i < count; i++)
    {
        m_rows.Add(rows[i].get());
        rows[i].release();
    }
}

} // namespace WMI
