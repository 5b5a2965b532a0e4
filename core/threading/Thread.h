// A Win32 thread running a ThreadStart, and the process-wide registry of Thread objects by thread id.
#pragma once

#include "core/String.h"
#include "core/threading/ThreadStart.h"
#include "core/threading/WaitHandle.h"

#include <cstdint>

namespace Core::Threading
{

// The toolkit's thread message that ends the application; a pumping wait gives up on it.
constexpr unsigned int ApplicationEndMessage = 0x8001;
constexpr uint32_t InfiniteTimeout = 0xFFFFFFFF;

class Thread : public WaitHandle
{
public:
    explicit Thread(ThreadStart* start);
    // A thread still running here is terminated as a last resort; owners join their threads first.
    ~Thread() override;

    void Start();
    // Waits for the thread to end; true when it has ended within the time-out.
    bool Join(uint32_t timeoutMilliseconds = InfiniteTimeout);
    // Started and not yet ended.
    bool IsAlive() const;

    void SetName(const String& name) { m_name = name; }
    const String& GetName() const { return m_name; }
    uint32_t GetId() const { return m_id; }
    bool IsAttached() const { return m_attached; }

    // The registered object of the calling thread, created (attached) on first request.
    static Thread* CurrentThread();
    // The registered object of a thread id, or null.
    static Thread* Find(uint32_t id);

    // The name, or "Core::Threading::Thread" when unnamed, then ": " and the id.
    String ToString() const override;

private:
    Thread(uint32_t id, void* pseudoHandle); // attached to a running thread
    static unsigned long __stdcall Run(void* parameter);

    uint32_t m_id;
    ThreadStart* m_start; // not owned
    String m_name;
    bool m_attached;
};

} // namespace Core::Threading
