#include "wmi/ManagementConnection.h"

#include "core/platform/windows/Com.h"
#include "wmi/ResultMessage.h"

#include <cwchar>
#include <windows.h>

#include <wbemidl.h>

using Core::Exception;
using Core::String;
using Core::Platform::Windows::ComString;

namespace WMI
{

const wchar_t* const ManagementConnection::DefaultNamespace = L"root\\cimv2";

ConnectionSession::ConnectionSession(IWbemServices* services, const String& user, const String& domain,
                                     const String& password, unsigned long authenticationLevel, const String& nameSpace)
    : m_services(services), m_user(user), m_domain(domain), m_password(password),
      m_authenticationLevel(authenticationLevel), m_namespace(nameSpace)
{
    if (authenticationLevel == ManagementConnection::RemoteAuthenticationLevel && !m_user.IsEmpty())
    {
        m_identity = std::make_unique<COAUTHIDENTITY>();
        m_identity->User = reinterpret_cast<USHORT*>(const_cast<wchar_t*>(m_user.GetBuffer()));
        m_identity->UserLength = static_cast<ULONG>(m_user.GetLength());
        m_identity->Domain = reinterpret_cast<USHORT*>(const_cast<wchar_t*>(m_domain.GetBuffer()));
        m_identity->DomainLength = static_cast<ULONG>(m_domain.GetLength());
        m_identity->Password = reinterpret_cast<USHORT*>(const_cast<wchar_t*>(m_password.GetBuffer()));
        m_identity->PasswordLength = static_cast<ULONG>(m_password.GetLength());
        m_identity->Flags = SEC_WINNT_AUTH_IDENTITY_UNICODE;
    }
}

ConnectionSession::~ConnectionSession()
{
    m_password.Wipe();
}

long ConnectionSession::SetProxyBlanket(IUnknown* proxy) const
{
    return CoSetProxyBlanket(proxy, RPC_C_AUTHN_DEFAULT, RPC_C_AUTHZ_DEFAULT, COLE_DEFAULT_PRINCIPAL,
                             m_authenticationLevel, RPC_C_IMP_LEVEL_IMPERSONATE, m_identity.get(), EOAC_DEFAULT);
}

long ConnectionSession::ExecQuery(const String& query, IEnumWbemClassObject** enumerator) const
{
    HRESULT result = m_services->ExecQuery(ComString(String(L"WQL")).Get(), ComString(query).Get(),
                                           WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr, enumerator);
    return SUCCEEDED(result) ? SetProxyBlanket(*enumerator) : result;
}

long ConnectionSession::CreateClassEnum(const String& superclass, long flags, IEnumWbemClassObject** enumerator) const
{
    // A null superclass asks for the top of the hierarchy (WMI takes a blank one alike).
    ComString parent(superclass.IsEmpty() ? nullptr : &superclass);
    HRESULT result = m_services->CreateClassEnum(
        parent.Get(), flags | WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr, enumerator);
    return SUCCEEDED(result) ? SetProxyBlanket(*enumerator) : result;
}

std::shared_ptr<const ConnectionSession>
ConnectionSession::GetEnglishSession(const std::function<std::shared_ptr<const ConnectionSession>()>& open) const
{
    std::lock_guard<std::mutex> guard(m_englishLock);
    if (!m_englishOpened)
    {
        m_english = open();
        m_englishOpened = true;
    }
    return m_english;
}

ManagementConnection::ManagementConnection() = default;

ManagementConnection::~ManagementConnection()
{
    m_session.reset(); // before the locator, which goes with the members
    m_password.Wipe();
}

IWbemServices* ManagementConnection::GetServices() const
{
    return m_session != nullptr ? m_session->GetServices() : nullptr;
}

_COAUTHIDENTITY* ManagementConnection::GetAuthenticationIdentity() const
{
    return m_session != nullptr ? m_session->GetAuthenticationIdentity() : nullptr;
}

std::shared_ptr<const ConnectionSession> ManagementConnection::GetSession() const
{
    if (m_session == nullptr)
    {
        throw Core::InvalidOperationException(String(L"The connection to the machine is not open"));
    }
    return m_session;
}

bool ManagementConnection::IsRemote() const
{
    return !m_server.IsEmpty() && m_server.ToLower().IndexOf(L"localhost") < 0 && m_server.IndexOf(L"127.0.0.1") < 0;
}

String ManagementConnection::GetEffectiveLocale() const
{
    if (!m_locale.IsEmpty())
    {
        return m_locale;
    }
    wchar_t locale[16];
    swprintf(locale, 16, L"MS_%x", static_cast<unsigned int>(GetUserDefaultUILanguage()));
    return String(locale);
}

unsigned long ManagementConnection::GetAuthenticationLevel() const
{
    return IsRemote() ? RemoteAuthenticationLevel : LocalAuthenticationLevel;
}

long ManagementConnection::SetProxyBlanket(IUnknown* proxy) const
{
    return GetSession()->SetProxyBlanket(proxy);
}

long ManagementConnection::ExecQuery(const String& query, IEnumWbemClassObject** enumerator) const
{
    return GetSession()->ExecQuery(query, enumerator);
}

void ManagementConnection::Connect(const String& server, const String& user, const String& password,
                                   const String& domain)
{
    Open(server, user, password, domain, String(DefaultNamespace), false);
}

void ManagementConnection::Connect(const String& server, const String& user, const String& password,
                                   const String& domain, const String& namespacePath)
{
    Open(server, user, password, domain, namespacePath, true);
}

std::unique_ptr<ManagementConnection> ManagementConnection::CopyCredentials() const
{
    auto copy = std::make_unique<ManagementConnection>();
    // The locator is shared: one per machine's connections is enough, and making one loads WMI again.
    copy->m_locator = Core::Platform::Windows::ComPointer<IWbemLocator>::Share(m_locator.Get());
    copy->m_server = m_server;
    copy->m_domain = m_domain;
    copy->m_user = m_user;
    copy->m_password = m_password;
    copy->m_locale = m_locale;
    copy->m_asyncLoad = m_asyncLoad;
    return copy;
}

std::unique_ptr<ManagementConnection> ManagementConnection::ConnectNamespace(const String& namespacePath) const
{
    std::unique_ptr<ManagementConnection> connection = CopyCredentials();
    connection->Open(m_server, m_user, m_password, m_domain, namespacePath, true);
    return connection;
}

void ManagementConnection::Open(const String& server, const String& user, const String& password, const String& domain,
                                const String& nameSpace, bool named)
{
    // What a failure says: the WMI message alone for the default namespace, as it always did; after the name of
    // the namespace for any other.
    const String failurePrefix = named ? String(L"Could not open namespace ") + nameSpace + L": " : String();
    // Made on first use: loading WMI into the process is the slowest step of a start, and the main window
    // shows before it connects.
    if (!m_locator)
    {
        m_locator.Reset(static_cast<IWbemLocator*>(Core::Platform::Windows::CreateComInstance(
            CLSID_WbemLocator, IID_IWbemLocator, Core::Platform::Windows::ClassContext::InProcessServer)));
    }
    String effectiveUser = user;
    String effectiveDomain = domain;
    int separator = user.IndexOf(L"\\");
    if (separator >= 0)
    {
        effectiveDomain = user.Substring(0, separator);
        effectiveUser = user.Substring(separator + 1);
    }

    // A reconnect replaces the session of the previous connection; workers still using it keep it.
    m_session.reset();
    m_connected = false;
    // The copies come first: server, user and password may be this connection's own fields.
    String newServer = server;
    String newPassword = password;
    m_server = newServer;
    m_domain = effectiveDomain;
    m_user = effectiveUser;
    m_password.Wipe();
    m_password = newPassword;
    newPassword.Wipe();
    m_namespace = nameSpace;
    m_namespacePath = m_server.IsEmpty() ? m_namespace : String(L"\\\\") + m_server + L"\\" + m_namespace;

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
    ComString localeText(m_locale.IsEmpty() ? nullptr : &m_locale);

    IWbemServices* services = nullptr;
    HRESULT result = m_locator->ConnectServer(path.Get(), userText.Get(), passwordText.Get(), localeText.Get(),
                                              WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr, nullptr, &services);
    m_connected = result >= 0;
    if (FAILED(result))
    {
        throw Exception(failurePrefix + (named ? GetResultReason(result) : GetResultMessage(result)));
    }
    try
    {
        m_session = std::make_shared<ConnectionSession>(services, m_user, m_domain, m_password,
                                                        GetAuthenticationLevel(), m_namespace);
    }
    catch (...)
    {
        services->Release();
        throw;
    }

    Core::EventArgs args;
    Connected.Raise(this, args);

    if (FAILED(m_session->SetProxyBlanket(services)))
    {
        m_session.reset();
        m_connected = false;
        throw Exception(named ? failurePrefix + L"could not set the proxy blanket"
                              : String(L"WMI::ManagementConnection::Connect(): could not set proxy blanket"));
    }
}

} // namespace WMI
