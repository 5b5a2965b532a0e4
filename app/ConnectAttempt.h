// One connection attempt on a worker thread, so the window that asked for it goes on painting. The attempt owns
// copies of the credentials and wipes its copy of the password.
#pragma once

#include "core/Object.h"
#include "core/String.h"
#include "core/threading/Thread.h"
#include "core/threading/ThreadStart.h"

namespace WMI
{
class ManagementConnection;
}

namespace Quarrow
{

class ConnectAttempt : public Core::Object
{
public:
    ConnectAttempt(WMI::ManagementConnection& connection, const Core::String& server, const Core::String& user,
                   const Core::String& password, const Core::String& domain);
    // Waits for a worker still running: it uses the connection.
    ~ConnectAttempt() override;

    // Starts the worker; the connection is not touched by the caller until Join.
    void Start();
    // The worker's handle, for a wait that pumps messages.
    void* GetWorkerHandle() const { return m_worker.GetHandle(); }
    // Waits for the worker; the failure's message afterwards, empty when connected.
    const Core::String& Join();

private:
    void Run();

    WMI::ManagementConnection& m_connection;
    Core::String m_server;
    Core::String m_user;
    Core::String m_password;
    Core::String m_domain;
    Core::String m_failure;
    Core::Threading::ThreadStart m_start;
    Core::Threading::Thread m_worker;
    bool m_started = false;
};

} // namespace Quarrow
