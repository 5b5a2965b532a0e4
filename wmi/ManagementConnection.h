// One connection to a namespace of one machine (root\cimv2 unless another is named): credentials, COM pointers,
// loading mode.
#pragma once

#include "core/Event.h"
#include "core/String.h"
#include "core/platform/windows/Com.h"
#include "wmi/ClassTurns.h"

#include <functional>
#include <memory>
#include <mutex>

struct IEnumWbemClassObject;
struct IUnknown;
struct IWbemLocator;
struct IWbemServices;
struct _COAUTHIDENTITY;

namespace WMI
{

// What calls on a connected namespace need: the services, with a reference of their own, and the credentials of
// the proxy blanket. Shared by the connection and every worker that calls through it, so a worker still inside a
// slow provider outlives a disconnect or the program's end without using freed memory.
class ConnectionSession
{
public:
    ConnectionSession(IWbemServices* services, const Core::String& user, const Core::String& domain,
                      const Core::String& password, unsigned long authenticationLevel, const Core::String& nameSpace);
    ~ConnectionSession();
    ConnectionSession(const ConnectionSession&) = delete;
    ConnectionSession& operator=(const ConnectionSession&) = delete;

    IWbemServices* GetServices() const { return m_services.Get(); }
    // The namespace these services belong to, without the server: root\cimv2, root\wmi, ...
    const Core::String& GetNamespace() const { return m_namespace; }
    // The credentials record for remote calls, or null.
    _COAUTHIDENTITY* GetAuthenticationIdentity() const { return m_identity.get(); }
    // Sets the blanket on a proxy of this namespace (services or enumerator).
    long SetProxyBlanket(IUnknown* proxy) const;
    // A WQL query that returns at once and is read forward only, its enumerator under the blanket.
    long ExecQuery(const Core::String& query, IEnumWbemClassObject** enumerator) const;
    // A class enumeration (CreateClassEnum; superclass empty: from the top) that returns at once and is read
    // forward only, its enumerator under the blanket. flags: WBEM_FLAG_SHALLOW or WBEM_FLAG_DEEP.
    long CreateClassEnum(const Core::String& superclass, long flags, IEnumWbemClassObject** enumerator) const;
    // Where calls on one class of this namespace wait for each other.
    ClassTurns& GetClassTurns() const { return m_classTurns; }
    // The same namespace in English, for the texts the user's locale lacks: opened by open on the first call that
    // needs it and kept with this session, so that every class asks once at most. Null when open gave none; that
    // is kept too, so a machine that cannot be reached in English is not asked again for each class. Any thread;
    // a second caller waits for the first one's open.
    std::shared_ptr<const ConnectionSession>
    GetEnglishSession(const std::function<std::shared_ptr<const ConnectionSession>()>& open) const;

private:
    mutable ClassTurns m_classTurns;
    mutable std::mutex m_englishLock;
    mutable bool m_englishOpened = false;
    mutable std::shared_ptr<const ConnectionSession> m_english;
    Core::Platform::Windows::ComPointer<IWbemServices> m_services;
    Core::String m_user;
    Core::String m_domain;
    Core::String m_password;
    std::unique_ptr<_COAUTHIDENTITY> m_identity; // points into the three texts above
    unsigned long m_authenticationLevel;
    Core::String m_namespace;
};

class ManagementConnection : public Core::Object
{
public:
    // Authentication levels of the proxy blanket: the default for the local machine, packet privacy
    // for remote machines (current servers refuse weaker DCOM calls, and credentials must not travel
    // unprotected).
    static constexpr unsigned long LocalAuthenticationLevel = 0;
    static constexpr unsigned long RemoteAuthenticationLevel = 6;

    // Touches no WMI yet: the first Connect creates the locator.
    ManagementConnection();
    ~ManagementConnection() override;
    ManagementConnection(const ManagementConnection&) = delete;
    ManagementConnection& operator=(const ManagementConnection&) = delete;

    static const wchar_t* const DefaultNamespace; // root\cimv2

    // Connects to root\cimv2 of server (empty: the local machine). A user written as DOMAIN\name
    // supplies the domain. Failures throw Exception with the WMI message of the result (or, when WMI is not
    // available at all, with the COM creation's message).
    void Connect(const Core::String& server, const Core::String& user, const Core::String& password,
                 const Core::String& domain);
    // The same for the namespace namespacePath of server (root\wmi, root\Microsoft\Windows\Storage, ...). Failures
    // name it: "Could not open namespace " + namespacePath + ": " + the WMI message of the result (a namespace the
    // machine lacks gives WBEM_E_INVALID_NAMESPACE's, one the user may not open WBEM_E_ACCESS_DENIED's).
    void Connect(const Core::String& server, const Core::String& user, const Core::String& password,
                 const Core::String& domain, const Core::String& namespacePath);
    // A new connection to another namespace of this machine, with this connection's server, credentials (and so
    // authentication level and impersonation), locale and loading flag; this one is left as it is, connected or not.
    // Blocking (ConnectServer): call it on a worker. Throws as the Connect above, naming the namespace.
    std::unique_ptr<ManagementConnection> ConnectNamespace(const Core::String& namespacePath) const;
    // A new connection object for this machine with this connection's credentials, locale and loading flag, not
    // connected: made at once, with no WMI call, so a window thread can hand it to a worker that opens namespaces
    // with ConnectNamespace while this connection goes on (or is closed) meanwhile.
    std::unique_ptr<ManagementConnection> CopyCredentials() const;

    // The WMI locale a following Connect names to ConnectServer ("MS_409" for English, "MS_407" for German): the
    // language of the amended qualifiers (descriptions, value names) read through the connection. Empty, as it
    // starts: none is named and WMI takes the user's. CopyCredentials copies it.
    void SetLocale(const Core::String& locale) { m_locale = locale; }
    const Core::String& GetLocale() const { return m_locale; }
    // The locale of the amended qualifiers this connection reads: the one it names, else the user's ("MS_" and the
    // user interface language in hexadecimal, as MS_409).
    Core::String GetEffectiveLocale() const;

    Core::String GetServer() const { return m_server; }
    Core::String GetUser() const { return m_user; }
    Core::String GetDomain() const { return m_domain; }
    Core::String GetPassword() const { return m_password; }
    // The path given to ConnectServer: the namespace, after \\server\ for a named server.
    const Core::String& GetNamespacePath() const { return m_namespacePath; }
    // The namespace alone: root\cimv2 unless another was connected.
    const Core::String& GetNamespace() const { return m_namespace; }
    bool IsConnected() const { return m_connected; }
    // A named server that is not the local machine ("localhost" or "127.0.0.1" anywhere in the name is local).
    bool IsRemote() const;

    bool GetAsyncLoad() const { return m_asyncLoad; }
    void SetAsyncLoad(bool asyncLoad) { m_asyncLoad = asyncLoad; }

    // Borrowed: not add-ref'ed; valid until the connection is reconnected or destroyed.
    IWbemServices* GetServices() const;
    // The credentials record for remote calls, or null; valid while the connection is unchanged.
    _COAUTHIDENTITY* GetAuthenticationIdentity() const;
    // What a worker keeps to call this namespace for as long as it needs; throws when the connection is not open.
    std::shared_ptr<const ConnectionSession> GetSession() const;
    unsigned long GetAuthenticationLevel() const;
    // Sets this connection's security blanket on a proxy of its namespace (services or enumerator).
    long SetProxyBlanket(IUnknown* proxy) const;
    // Starts a WQL query that returns at once and is read forward only, its enumerator under this connection's
    // blanket; the first failing result. Throws when the connection is not open.
    long ExecQuery(const Core::String& query, IEnumWbemClassObject** enumerator) const;

    Core::Event<Core::EventArgs> Connected;

private:
    // Connects to nameSpace; failures name it when named is set.
    void Open(const Core::String& server, const Core::String& user, const Core::String& password,
              const Core::String& domain, const Core::String& nameSpace, bool named);

    std::shared_ptr<const ConnectionSession> m_session; // null until connected
    Core::Platform::Windows::ComPointer<IWbemLocator> m_locator;
    Core::String m_namespacePath;
    Core::String m_namespace;
    bool m_connected = false;
    Core::String m_server;
    Core::String m_domain;
    Core::String m_user;
    Core::String m_password;
    Core::String m_locale; // empty: none named
    bool m_asyncLoad = true;
};

} // namespace WMI
