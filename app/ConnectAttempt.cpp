#include "app/ConnectAttempt.h"

#include "core/Exception.h"
#include "wmi/ManagementConnection.h"

#include <objbase.h>
#include <windows.h>

namespace Quarrow
{

using Core::String;

ConnectAttempt::ConnectAttempt(WMI::ManagementConnection& connection, const String& server, const String& user,
                               const String& password, const String& domain)
    : m_connection(connection), m_server(server), m_user(user), m_password(password), m_domain(domain),
      m_start(this, &ConnectAttempt::Run), m_worker(&m_start)
{
    m_worker.SetName(String(L"Connect to ") + (server.IsEmpty() ? String(L"the local machine") : server));
}

ConnectAttempt::~ConnectAttempt()
{
    if (m_started)
    {
        m_worker.Join();
    }
    m_password.Wipe();
}

void ConnectAttempt::Start()
{
    m_worker.Start();
    m_started = true;
}

const String& ConnectAttempt::Join()
{
    if (m_started)
    {
        m_worker.Join();
        m_started = false;
    }
    return m_failure;
}

void ConnectAttempt::Run()
{
    // The process runs COM in the multithreaded apartment; this thread joins it for the call.
    bool initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    try
    {
        m_connection.Connect(m_server, m_user, m_password, m_domain);
    }
    catch (const Core::Exception& exception)
    {
        m_failure = exception.GetMessageText();
    }
    catch (...)
    {
        m_failure = String(L"Not enough memory to connect");
    }
    m_password.Wipe();
    if (initialised)
    {
        CoUninitialize();
    }
}

} // namespace Quarrow
