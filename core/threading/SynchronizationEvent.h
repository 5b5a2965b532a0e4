// A named Win32 event whose wait keeps the calling thread's message queue running.
#pragma once

#include "core/String.h"
#include "core/threading/WaitHandle.h"

namespace Core::Threading
{

class SynchronizationEvent : public WaitHandle
{
public:
    static constexpr int Signalled = 0;
    static constexpr int NotSignalled = 128;

    // An empty name creates an unnamed event. Names are system-wide: equal names share one event.
    SynchronizationEvent(const String& name, bool manualReset, bool initiallySignalled);

    void Set();
    void Reset();

    // Waits until the event is signalled (result 0) while dispatching the thread's messages. A quit
    // message or the application-end thread message stops the wait (result 128) and stays queued for
    // the caller's own loop; so does the end of the time-out (milliseconds, -1 for none).
    void Wait(int timeoutMilliseconds, int& result);
    int Wait(int timeoutMilliseconds);

    const String& GetName() const { return m_name; }
    // "SynchronizationEvent: handle " and the handle value in signed decimal.
    String ToString() const override;

private:
    String m_name;
};

// The message-pumping wait of SynchronizationEvent::Wait on any waitable handle (a thread, an event):
// 0 when the handle is signalled, 128 on a quit or application-end message, on time-out or failure.
int WaitWithMessagePumping(void* handle, int timeoutMilliseconds);

} // namespace Core::Threading
