#include "app/ConnectAttempt.h"

#include "core/Exception.h"
#include "core/platform/windows/Com.h"
#include "wmi/ManagementConnection.h"

namespace Quarrow
{

using Core::String;

ConnectAttempt::ConnectAttempt(WMI::ManagementConnection& connection, const String& server, const String& user,
                               const String& password, const String& domain)
    : m_connection(connection), m_server(server), m_user(user), m_password(password), m_domain(domain)
{
}

ConnectAttempt::~ConnectAttempt()
{
    m_password.Wipe();
}

void ConnectAttempt::Run()
{
    Core::Platform::Windows::ComApartmentScope apartment;
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
}

} // namespace Quarrow
