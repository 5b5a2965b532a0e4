// One connection attempt, run on a worker thread so that the window that asked for it goes on painting. The
// attempt owns copies of the credentials and wipes its copy of the password.
#pragma once

#include "core/Object.h"
#include "core/String.h"

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
    ~ConnectAttempt() override;

    // Connects; the worker's body.
    void Run();
    // The failure's message after Run, empty when connected.
    const Core::String& GetFailure() const { return m_failure; }

private:
    WMI::ManagementConnection& m_connection;
    Core::String m_server;
    Core::String m_user;
    Core::String m_password;
    Core::String m_domain;
    Core::String m_failure;
};

} // namespace Quarrow
