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

// --- other namespaces ---

TEST_F(ConnectionTest, ANamedNamespaceOfTheLocalMachineIsConnectedByItsPath)
{
    provider.AddNamespace(L"root\\wmi");
    ManagementConnection connection;
    connection.Connect(String(), String(), String(), String(), String(L"root\\wmi"));
    EXPECT_TRUE(connection.IsConnected());
    EXPECT_STREQ(L"root\\wmi", connection.GetNamespacePath().GetBuffer());
    EXPECT_STREQ(L"root\\wmi", connection.GetNamespace().GetBuffer());
    EXPECT_STREQ(L"root\\wmi", connection.GetSession()->GetNamespace().GetBuffer());
    EXPECT_EQ(L"root\\wmi", LastConnect().path);
    EXPECT_EQ(0x80, LastConnect().flags);
    EXPECT_EQ(L"services", LastBlanket().target);
}

TEST_F(ConnectionTest, TheDefaultNamespaceIsRootCimv2)
{
    auto connection = ConnectAs(L"FILESERVER", L"", L"", L"");
    EXPECT_STREQ(L"root\\cimv2", connection->GetNamespace().GetBuffer());
    EXPECT_STREQ(L"root\\cimv2", connection->GetSession()->GetNamespace().GetBuffer());
}

TEST_F(ConnectionTest, ConnectNamespaceOpensAnotherNamespaceOfTheMachineWithTheSameCredentials)
{
    provider.AddNamespace(L"root\\Microsoft\\Windows\\Storage");
    auto connection = ConnectAs(L"FILESERVER", L"SALES\\jane", L"pw", L"");
    connection->SetAsyncLoad(false);
    std::unique_ptr<ManagementConnection> storage =
        connection->ConnectNamespace(String(L"root\\Microsoft\\Windows\\Storage"));
    EXPECT_TRUE(storage->IsConnected());
    EXPECT_EQ(L"\\\\FILESERVER\\root\\Microsoft\\Windows\\Storage", LastConnect().path);
    EXPECT_EQ(L"SALES\\jane", LastConnect().user);
    EXPECT_EQ(L"pw", LastConnect().password);
    EXPECT_STREQ(L"jane", storage->GetUser().GetBuffer());
    EXPECT_STREQ(L"SALES", storage->GetDomain().GetBuffer());
    EXPECT_FALSE(storage->GetAsyncLoad());
    // The same blanket as the machine's own connection: packet privacy and the credentials record.
    const ScriptedWmi::BlanketCall& blanket = LastBlanket();
    EXPECT_EQ(6u, blanket.authenticationLevel);
    EXPECT_EQ(3u, blanket.impersonationLevel);
    EXPECT_EQ(storage->GetAuthenticationIdentity(), blanket.identity);
    EXPECT_EQ(L"jane", blanket.identityUser);
    EXPECT_EQ(L"SALES", blanket.identityDomain);
    EXPECT_EQ(L"pw", blanket.identityPassword);
    // The machine's connection is left as it was.
    EXPECT_TRUE(connection->IsConnected());
    EXPECT_STREQ(L"\\\\FILESERVER\\root\\cimv2", connection->GetNamespacePath().GetBuffer());
}

TEST_F(ConnectionTest, ConnectNamespaceOfTheLocalMachineStaysLocal)
{
    provider.AddNamespace(L"root\\default");
    auto connection = ConnectAs(L"", L"", L"", L"");
    std::unique_ptr<ManagementConnection> other = connection->ConnectNamespace(String(L"root\\default"));
    EXPECT_EQ(L"root\\default", LastConnect().path);
    EXPECT_TRUE(LastConnect().userNull);
    EXPECT_EQ(0u, LastBlanket().authenticationLevel);
    EXPECT_EQ(nullptr, LastBlanket().identity);
}

TEST_F(ConnectionTest, ANamespaceTheMachineLacksIsNamedInTheMessage)
{
    auto connection = ConnectAs(L"", L"", L"", L"");
    EXPECT_EQ(L"Could not open namespace root\\foo: The specified namespace did not exist on the server",
              ThrownMessage([&] { connection->ConnectNamespace(String(L"root\\foo")); }));
    ManagementConnection direct;
    EXPECT_EQ(L"Could not open namespace root\\foo: The specified namespace did not exist on the server",
              ThrownMessage([&] { direct.Connect(String(), String(), String(), String(), String(L"root\\foo")); }));
    EXPECT_FALSE(direct.IsConnected());
    EXPECT_STREQ(L"root\\foo", direct.GetNamespace().GetBuffer());
}

TEST_F(ConnectionTest, ANamespaceTheUserMayNotOpenIsNamedInTheMessage)
{
    provider.AddNamespace(L"root\\security").connectResult = WBEM_E_ACCESS_DENIED;
    auto connection = ConnectAs(L"FILESERVER", L"admin", L"secret", L"");
    EXPECT_EQ(L"Could not open namespace root\\security: The current or specified user name and password were not "
              L"valid or authorized to make the connection",
              ThrownMessage([&] { connection->ConnectNamespace(String(L"root\\security")); }));
}

TEST_F(ConnectionTest, ABlanketFailureOfANamedNamespaceNamesIt)
{
    provider.AddNamespace(L"root\\wmi");
    auto connection = ConnectAs(L"", L"", L"", L"");
    provider.servicesBlanketResult = E_ACCESSDENIED;
    EXPECT_EQ(L"Could not open namespace root\\wmi: could not set the proxy blanket",
              ThrownMessage([&] { connection->ConnectNamespace(String(L"root\\wmi")); }));
}

TEST_F(ConnectionTest, CopyCredentialsAsksWmiNothingAndItsCopyOpensNamespaces)
{
    provider.AddNamespace(L"root\\wmi");
    auto connection = ConnectAs(L"FILESERVER", L"admin", L"secret", L"CORP");
    int callsBefore = provider.calls;
    std::unique_ptr<ManagementConnection> copy = connection->CopyCredentials();
    EXPECT_EQ(callsBefore, provider.calls.load());
    EXPECT_FALSE(copy->IsConnected());
    EXPECT_STREQ(L"FILESERVER", copy->GetServer().GetBuffer());
    // The machine's connection may go before its copy is used.
    connection.reset();
    std::unique_ptr<ManagementConnection> wmi = copy->ConnectNamespace(String(L"root\\wmi"));
    EXPECT_EQ(L"\\\\FILESERVER\\root\\wmi", LastConnect().path);
    EXPECT_EQ(L"CORP\\admin", LastConnect().user);
    EXPECT_EQ(L"secret", LastConnect().password);
}

TEST_F(ConnectionTest, NamespaceConnectionsShareTheLocatorAndReleaseEverything)
{
    provider.AddNamespace(L"root\\wmi");
    int liveBefore = ScriptedWmi::Provider::liveObjects;
    {
        auto connection = ConnectAs(L"", L"", L"", L"");
        std::unique_ptr<ManagementConnection> wmi = connection->ConnectNamespace(String(L"root\\wmi"));
        EXPECT_EQ(liveBefore + 3, ScriptedWmi::Provider::liveObjects.load()); // one locator, two services
    }
    EXPECT_EQ(liveBefore, ScriptedWmi::Provider::liveObjects.load());
    provider.logging = false;
    EXPECT_EQ(0, Testing::LeakedBy(
                     []
                     {
                         ManagementConnection connection;
                         connection.Connect(String(L"ONE"), String(L"a"), String(L"b"), String());
                         connection.ConnectNamespace(String(L"root\\wmi"));
                         connection.CopyCredentials()->ConnectNamespace(String(L"root"));
                     }));
}

// --- the locale of amended qualifiers ---

TEST_F(ConnectionTest, NoLocaleIsNamedUnlessOneIsSet)
{
    auto connection = ConnectAs(L"", L"", L"", L"");
    EXPECT_TRUE(LastConnect().localeNull);
    EXPECT_TRUE(connection->GetLocale().IsEmpty());
    // Then the user's: "MS_" and the user interface language in hexadecimal.
    wchar_t users[16];
    swprintf(users, 16, L"ms_%x", static_cast<unsigned int>(GetUserDefaultUILanguage()));
    EXPECT_EQ(String(users), connection->GetEffectiveLocale().ToLower());
}

TEST_F(ConnectionTest, ASetLocaleIsNamedToWmiAndGoesWithTheCredentials)
{
    provider.AddNamespace(L"root\\wmi");
    ManagementConnection connection;
    connection.SetLocale(String(L"MS_407"));
    connection.Connect(String(L"FILESERVER"), String(L"admin"), String(L"secret"), String());
    EXPECT_FALSE(LastConnect().localeNull);
    EXPECT_EQ(L"MS_407", LastConnect().locale);
    EXPECT_STREQ(L"MS_407", connection.GetEffectiveLocale().GetBuffer());
    std::unique_ptr<ManagementConnection> copy = connection.CopyCredentials();
    EXPECT_STREQ(L"MS_407", copy->GetLocale().GetBuffer());
    copy->SetLocale(String(L"MS_409"));
    std::unique_ptr<ManagementConnection> english = copy->ConnectNamespace(String(L"root\\wmi"));
    EXPECT_EQ(L"MS_409", LastConnect().locale);
    EXPECT_EQ(L"\\\\FILESERVER\\root\\wmi", LastConnect().path);
    EXPECT_STREQ(L"MS_407", connection.GetLocale().GetBuffer()) << "the original keeps its own";
}
