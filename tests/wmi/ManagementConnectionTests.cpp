#include "wmi/ManagementConnection.h"

#include "tests/support/AllocationCounter.h"
#include "tests/support/ThrownMessage.h"
#include "tests/wmi/WmiTesting.h"

using Core::String;
using Testing::ThrownMessage;
using WMI::ManagementConnection;

namespace
{

class ConnectionTest : public WmiTesting::ScriptedTest
{
protected:
    // Connects a new connection with the four texts, in the dialog's order: server, user, password, domain.
    std::unique_ptr<ManagementConnection> ConnectAs(const wchar_t* server, const wchar_t* user, const wchar_t* password,
                                                    const wchar_t* domain)
    {
        auto connection = std::make_unique<ManagementConnection>();
        connection->Connect(String(server), String(user), String(password), String(domain));
        return connection;
    }

    const ScriptedWmi::ConnectCall& LastConnect() { return provider.connects.back(); }
    const ScriptedWmi::BlanketCall& LastBlanket() { return provider.blankets.back(); }
};

class ConnectedCounter : public Core::EventHandler<Core::EventArgs>
{
public:
    void Invoke(Core::Object* sender, Core::EventArgs&) override
    {
        calls++;
        lastSender = sender;
    }
    int calls = 0;
    Core::Object* lastSender = nullptr;
};

} // namespace

// --- the local machine ---

TEST_F(ConnectionTest, EmptyServerConnectsToTheLocalNamespaceWithNullCredentials)
{
    auto connection = ConnectAs(L"", L"", L"", L"");
    EXPECT_TRUE(connection->IsConnected());
    EXPECT_NE(nullptr, connection->GetServices());
    EXPECT_STREQ(L"root\\cimv2", connection->GetNamespacePath().GetBuffer());
    ASSERT_EQ(1u, provider.connects.size());
    EXPECT_EQ(L"root\\cimv2", LastConnect().path);
    EXPECT_TRUE(LastConnect().userNull);
    EXPECT_TRUE(LastConnect().passwordNull);
    EXPECT_EQ(0x80, LastConnect().flags);
    EXPECT_FALSE(connection->IsRemote());
    EXPECT_TRUE(connection->GetAsyncLoad());
}

TEST_F(ConnectionTest, TheServicesGetTheDefaultBlanketWithoutIdentity)
{
    auto connection = ConnectAs(L"", L"admin", L"secret", L"");
    ASSERT_EQ(1u, provider.blankets.size());
    const ScriptedWmi::BlanketCall& blanket = LastBlanket();
    EXPECT_EQ(L"services", blanket.target);
    EXPECT_EQ(0xFFFFFFFFu, blanket.authenticationService);
    EXPECT_EQ(0xFFFFFFFFu, blanket.authorisationService);
    EXPECT_EQ(reinterpret_cast<OLECHAR*>(-1), blanket.principal);
    EXPECT_EQ(0u, blanket.authenticationLevel);
    EXPECT_EQ(3u, blanket.impersonationLevel);
    EXPECT_EQ(nullptr, blanket.identity);
    EXPECT_EQ(0x800u, blanket.capabilities);
    // An empty server has no identity record even with a user.
    EXPECT_EQ(nullptr, connection->GetAuthenticationIdentity());
}

TEST_F(ConnectionTest, LocalhostInAnyCaseAndTheLoopbackAddressCountAsLocal)
{
    for (const wchar_t* server : {L"localhost", L"LocalHost", L"127.0.0.1", L"build-localhost.example.com"})
    {
        auto connection = ConnectAs(server, L"admin", L"secret", L"");
        EXPECT_EQ(String(L"\\\\") + server + L"\\root\\cimv2", connection->GetNamespacePath()) << server;
        EXPECT_EQ(nullptr, connection->GetAuthenticationIdentity()) << server;
        EXPECT_FALSE(connection->IsRemote()) << server;
        EXPECT_EQ(0u, LastBlanket().authenticationLevel) << server;
        EXPECT_EQ(L"admin", LastConnect().user);
    }
}

// --- remote machines ---

TEST_F(ConnectionTest, ARemoteServerWithAUserGetsAnIdentityRecordAndPacketPrivacy)
{
    auto connection = ConnectAs(L"FILESERVER", L"admin", L"secret", L"CORP");
    EXPECT_EQ(L"\\\\FILESERVER\\root\\cimv2", LastConnect().path);
    EXPECT_EQ(L"CORP\\admin", LastConnect().user);
    EXPECT_EQ(L"secret", LastConnect().password);
    ASSERT_NE(nullptr, connection->GetAuthenticationIdentity());
    const ScriptedWmi::BlanketCall& blanket = LastBlanket();
    EXPECT_EQ(connection->GetAuthenticationIdentity(), blanket.identity);
    EXPECT_EQ(L"admin", blanket.identityUser);
    EXPECT_EQ(L"CORP", blanket.identityDomain);
    EXPECT_EQ(L"secret", blanket.identityPassword);
    EXPECT_EQ(2u, blanket.identityFlags);
    EXPECT_EQ(6u, blanket.authenticationLevel);
    EXPECT_TRUE(connection->IsRemote());
}

TEST_F(ConnectionTest, ARemoteServerWithoutAUserStillGetsPacketPrivacy)
{
    auto connection = ConnectAs(L"FILESERVER", L"", L"", L"");
    EXPECT_EQ(nullptr, connection->GetAuthenticationIdentity());
    EXPECT_EQ(6u, LastBlanket().authenticationLevel);
    EXPECT_TRUE(LastConnect().userNull);
}

TEST_F(ConnectionTest, TheDomainWrittenInTheUserWins)
{
    auto connection = ConnectAs(L"FILESERVER", L"SALES\\jane", L"pw", L"CORP");
    EXPECT_EQ(L"SALES\\jane", LastConnect().user);
    EXPECT_STREQ(L"SALES", connection->GetDomain().GetBuffer());
    EXPECT_STREQ(L"jane", connection->GetUser().GetBuffer());
    EXPECT_EQ(L"jane", LastBlanket().identityUser);
    EXPECT_EQ(L"SALES", LastBlanket().identityDomain);
}

TEST_F(ConnectionTest, ADomainWithoutUserGivesTheDomainAndALoneBackslash)
{
    auto connection = ConnectAs(L"FILESERVER", L"", L"", L"CORP");
    EXPECT_EQ(L"CORP\\", LastConnect().user);
    EXPECT_FALSE(LastConnect().userNull);
    EXPECT_EQ(nullptr, connection->GetAuthenticationIdentity());
}

TEST_F(ConnectionTest, AnEmptyPasswordIsNullForWmiButAnEmptyTextInTheIdentity)
{
    auto connection = ConnectAs(L"FILESERVER", L"admin", L"", L"");
    EXPECT_TRUE(LastConnect().passwordNull);
    EXPECT_EQ(L"admin", LastConnect().user);
    ASSERT_NE(nullptr, LastBlanket().identity);
    EXPECT_EQ(L"", LastBlanket().identityPassword);
    EXPECT_EQ(L"", LastBlanket().identityDomain);
}

// --- failures ---

TEST_F(ConnectionTest, AFailedConnectReportsTheWmiMessageAndKeepsTheNewValues)
{
    provider.connectResult = WBEM_E_TRANSPORT_FAILURE;
    ManagementConnection connection;
    EXPECT_EQ(L"This indicates the failure of the remote procedure call (RPC) link between the current process and "
              L"Windows Management",
              ThrownMessage([&] { connection.Connect(String(L"FAR"), String(L"u"), String(L"p"), String(L"d")); }));
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_EQ(nullptr, connection.GetServices());
    EXPECT_STREQ(L"FAR", connection.GetServer().GetBuffer());
    EXPECT_STREQ(L"u", connection.GetUser().GetBuffer());
    EXPECT_STREQ(L"p", connection.GetPassword().GetBuffer());
    EXPECT_STREQ(L"d", connection.GetDomain().GetBuffer());
    EXPECT_TRUE(provider.blankets.empty());
}

TEST_F(ConnectionTest, TheProvidersOwnDescriptionOfAFailureIsShown)
{
    provider.connectResult = WBEM_E_ACCESS_DENIED;
    provider.connectErrorDescription = L"Logon failure: unknown user name or bad password";
    ManagementConnection connection;
    EXPECT_EQ(L"Logon failure: unknown user name or bad password",
              ThrownMessage([&] { connection.Connect(String(L"FAR"), String(L"u"), String(L"p"), String()); }));
}

TEST_F(ConnectionTest, ABlanketFailureReleasesTheServices)
{
    provider.servicesBlanketResult = E_ACCESSDENIED;
    ManagementConnection connection;
    EXPECT_EQ(L"WMI::ManagementConnection::Connect(): could not set proxy blanket",
              ThrownMessage([&] { connection.Connect(String(), String(), String(), String()); }));
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_EQ(nullptr, connection.GetServices());
}

// --- events and lifetime ---

TEST_F(ConnectionTest, ConnectedIsRaisedWithTheConnectionAsSender)
{
    ManagementConnection connection;
    ConnectedCounter counter;
    connection.Connected.Subscribe(&counter);
    provider.connectResult = WBEM_E_ACCESS_DENIED;
    EXPECT_THROW(connection.Connect(String(L"x"), String(), String(), String()), Core::Exception);
    EXPECT_EQ(0, counter.calls);
    provider.connectResult = S_OK;
    connection.Connect(String(), String(), String(), String());
    EXPECT_EQ(1, counter.calls);
    EXPECT_EQ(&connection, counter.lastSender);
}

TEST_F(ConnectionTest, ReconnectingReleasesThePreviousServicesAndIdentity)
{
    int liveBefore = ScriptedWmi::Provider::liveObjects;
    {
        ManagementConnection connection;
        EXPECT_EQ(liveBefore, ScriptedWmi::Provider::liveObjects.load()) << "the locator is made by Connect";
        connection.Connect(String(L"ONE"), String(L"a"), String(L"b"), String());
        connection.Connect(String(L"TWO"), String(L"c"), String(L"d"), String());
        EXPECT_EQ(liveBefore + 2, ScriptedWmi::Provider::liveObjects.load()); // the locator and one services
        EXPECT_EQ(L"c", LastBlanket().identityUser);
    }
    EXPECT_EQ(liveBefore, ScriptedWmi::Provider::liveObjects.load());
    provider.logging = false;
    EXPECT_EQ(0, Testing::LeakedBy(
                     []
                     {
                         ManagementConnection connection;
                         connection.Connect(String(L"ONE"), String(L"a"), String(L"b"), String());
                         connection.Connect(String(L"TWO"), String(L"c"), String(L"d"), String());
                     }));
}
