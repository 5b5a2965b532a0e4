#include "core/threading/Thread.h"

#include "core/Exception.h"
#include "core/io/SystemError.h"
#include "core/threading/CriticalSection.h"

#include <map>
#include <windows.h>

namespace Core::Threading
{

namespace
{

// The registry of Thread objects by id; the map does not own them.
struct ThreadRegistry
{
    CriticalSection lock;
    std::map<uint32_t, Thread*> threads;
};

ThreadRegistry& Registry()
{
    static ThreadRegistry registry;
    return registry;
}

} // namespace

Thread::Thread(ThreadStart* start) : m_id(0xFFFFFFFF), m_start(start), m_attached(false) {}

Thread::Thread(uint32_t id, void* pseudoHandle) : m_id(id), m_start(nullptr), m_attached(true)
{
    SetHandle(pseudoHandle);
}

Thread::~Thread()
{
    HANDLE handle = GetHandle();
    if (m_attached)
    {
        SetHandle(nullptr); // a pseudo-handle is never closed
    }
    else if (handle != nullptr && WaitForSingleObject(handle, 0) == WAIT_TIMEOUT)
    {
        // Last resort: the thread would otherwise run on with a deleted object behind it.
        TerminateThread(handle, 0);
    }
    CriticalSectionLock guard(Registry().lock);
    auto entry = Registry().threads.find(m_id);
    if (entry != Registry().threads.end() && entry->second == this)
    {
        Registry().threads.erase(entry);
    }
}

unsigned long __stdcall Thread::Run(void* parameter)
{
    static_cast<Thread*>(parameter)->m_start->Invoke();
    return 0;
}

void Thread::Start()
{
    if (m_start == nullptr)
    {
        throw ArgumentNullException(String(L"start"));
    }
    if (GetHandle() != nullptr)
    {
        throw InvalidOperationException(String(L"Thread.Start method - the thread has already been started"));
    }
    // Created suspended and registered before it runs, so CurrentThread on the new thread finds this object.
    DWORD id = 0;
    HANDLE handle = CreateThread(nullptr, 0, Run, this, CREATE_SUSPENDED, &id);
    if (handle == nullptr)
    {
        throw Exception(String(L"Failed to create thread (") + IO::GetLastErrorText() + L")");
    }
    SetHandle(handle);
    m_id = id;
    {
        CriticalSectionLock guard(Registry().lock);
        Registry().threads.emplace(m_id, this);
    }
    ResumeThread(handle);
}

bool Thread::Join(uint32_t timeoutMilliseconds)
{
    HANDLE handle = GetHandle();
    if (handle == nullptr || m_attached)
    {
        return !m_attached;
    }
    return WaitForSingleObject(handle, timeoutMilliseconds) == WAIT_OBJECT_0;
}

bool Thread::IsAlive() const
{
    HANDLE handle = GetHandle();
    if (m_attached)
    {
        return true;
    }
    return handle != nullptr && WaitForSingleObject(handle, 0) == WAIT_TIMEOUT;
}

Thread* Thread::CurrentThread()
{
    uint32_t id = GetCurrentThreadId();
    CriticalSectionLock guard(Registry().lock);
    auto entry = Registry().threads.find(id);
    if (entry != Registry().threads.end())
    {
        return entry->second;
    }
    Thread* attached = new Thread(id, GetCurrentThread());
    Registry().threads.emplace(id, attached);
    return attached;
}

Thread* Thread::Find(uint32_t id)
{
    CriticalSectionLock guard(Registry().lock);
    auto entry = Registry().threads.find(id);
    return entry != Registry().threads.end() ? entry->second : nullptr;
}

String Thread::ToString() const
{
    String text = m_name.IsEmpty() ? String(L"Core::Threading::Thread") : m_name;
    text += L": ";
    text += static_cast<unsigned int>(m_id);
    return text;
}

} // namespace Core::Threading
