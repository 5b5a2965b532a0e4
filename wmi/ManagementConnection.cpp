#include "wmi/ManagementConnection.h"

#include "core/platform/windows/Com.h"
#include "wmi/ResultMessage.h"

#include <windows.h>

#include <wbemidl.h>

using Core::Exception;
using Core::String;
using Core::Platform::Windows::ComString;

namespace WMI
{

namespace
{

const wchar_t* const CimNamespace = L"root\\cimv2";

} // namespace

ManagementConnection::ManagementConnection() = default;

ManagementConnection::~ManagementConnection()
{
    ReleaseServices();
    if (m_locator != nullptr)
    {
        m_locator->Release();
    }
    FreeIdentity();
    m_password.Wipe();
}

void ManagementConnection::ReleaseServices()
{
    if (m_services != nullptr)
    {
        m_services->Release();
        m_services = nullptr;
    }
}

void ManagementConnection::FreeIdentity()
{
    delete m_identity;
    m_identity = nullptr;
}

bool ManagementConnection::IsRemote() const
{
    return !m_server.IsEmpty() && m_server.ToLower().IndexOf(L"localhost") < 0 && m_server.IndexOf(L"127.0.0.1") < 0;
}

unsigned long ManagementConnection::GetAuthenticationLevel() const
{
    return IsRemote() ? RemoteAuthenticationLevel : LocalAuthenticationLevel;
}

long ManagementConnection::SetProxyBlanket(IUnknown* proxy) const
{
    return CoSetProxyBlanket(proxy, RPC_C_AUTHN_DEFAULT, RPC_C_AUTHZ_DEFAULT, COLE_DEFAULT_PRINCIPAL,
                             GetAuthenticationLevel(), RPC_C_IMP_LEVEL_IMPERSONATE, m_identity, EOAC_DEFAULT);
}

long ManagementConnection::ExecQuery(const String& query, IEnumWbemClassObject** enumerator) const
{
    if (m_services == nullptr)
    {
        throw Core::InvalidOperationException(String(L"The connection to the machine is not open"));
    }
    HRESULT result = m_services->ExecQuery(ComString(String(L"WQL")).Get(), ComString(query).Get(),
                                           WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr, enumerator);
    return SUCCEEDED(result) ? SetProxyBlanket(*enumerator) : result;
}

void ManagementConnection::Connect(const String& server, const String& user, const String& password,
                                   const String& domain)
{
    // Made on first use: loading WMI into the process is the slowest step of a start, and the main window
    // shows before it connects.
    if (m_locator == nullptr)
    {
        m_locator = static_cast<IWbemLocator*>(Core::Platform::Windows::CreateComInstance(
            CLSID_WbemLocator, IID_IWbemLocator, Core::Platform::Windows::ClassContext::InProcessServer));
    }
    String effectiveUser = user;
    String effectiveDomain = domain;
    int separator = user.IndexOf(L"\\");
    if (separator >= 0)
    {
        effectiveDomain = user.Substring(0, separator);
        effectiveUser = user.Substring(separator + 1);
    }

    // The identity record points into the strings about to change: drop it first.
    FreeIdentity();
    // A reconnect replaces the services of the previous connection instead of leaking them.
    ReleaseServices();
    m_connected = false;
    m_server = server;
    m_domain = effectiveDomain;
    m_user = effectiveUser;
    m_password.Wipe();
    m_password = password;
    m_namespacePath = server.IsEmpty() ? String(CimNamespace) : String(L"\\\\") + server + L"\\" + CimNamespace;

    String qualifiedUser = m_domain + L"\\" + m_user;
    const String* userArgument = nullptr;
    if (!m_domain.IsEmpty())
    {
        userArgument = &qualifiedUser;
    }
    else if (!m_user.IsEmpty())
    {
        userArgument = &m_user;
    }
    ComString path(m_namespacePath);
    ComString userText(userArgument);
    ComString passwordText(m_password.IsEmpty() ? nullptr : &m_password);

    HRESULT result = m_locator->ConnectServer(path.Get(), userText.Get(), passwordText.Get(), nullptr,
                                              WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr, &m_services);
    m_connected = result >= 0;
    if (FAILED(result))
    {
        String message = GetResultMessage(result);
        m_services = nullptr;
        throw Exception(message);
    }

    Core::EventArgs args;
    Connected.Raise(this, args);

    if (IsRemote() && !m_user.IsEmpty())
    {
        m_identity = new COAUTHIDENTITY();
        m_identity->User = reinterpret_cast<USHORT*>(const_cast<wchar_t*>(m_user.GetBuffer()));
        m_identity->UserLength = static_cast<ULONG>(m_user.GetLength());
        m_identity->Domain = reinterpret_cast<USHORT*>(const_cast<wchar_t*>(m_domain.GetBuffer()));
        m_identity->DomainLength = static_cast<ULONG>(m_domain.GetLength());
        m_identity->Password = reinterpret_cast<USHORT*>(const_cast<wchar_t*>(m_password.GetBuffer()));
        m_identity->PasswordLength = static_cast<ULONG>(m_password.GetLength());
        m_identity->Flags = SEC_WINNT_AUTH_IDENTITY_UNICODE;
    }

    if (FAILED(SetProxyBlanket(m_services)))
    {
        ReleaseServices();
        m_connected = false;
        throw Exception(String(L"WMI::ManagementConnection::Connect(): could not set proxy blanket"));
    }
}

} // namespace WMI
