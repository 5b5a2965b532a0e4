// One instance read whole by its path: every property in WMI's order with its type, key mark and value, the
// system properties apart, the failures named, and the worker that hands the result back to the window thread.
#include "wmi/InstanceReading.h"
#include "wmi/InvalidWMIClassException.h"

#include "tests/support/ThrownMessage.h"
#include "tests/wmi/WmiTesting.h"

#include <cstdint>
#include <windows.h>

using Core::String;
using Core::Threading::CompletionOwner;
using Core::Threading::Outcome;
using ScriptedWmi::Instance;
using ScriptedWmi::Value;
using Testing::ThrownMessage;
using WMI::ObjectValue;

namespace
{

const wchar_t* const DevicePath = L"Win32_Device.DeviceID=\"D1\"";

Instance Values(std::vector<std::pair<std::wstring, Value>> values)
{
    Instance instance;
    instance.values = std::move(values);
    return instance;
}

// Runs this thread's own loop until done says so: completions come through it, not through a nested wait.
template <typename Done> void RunLoopUntil(Done done)
{
    MSG message;
    while (!done() && GetMessageW(&message, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::vector<std::wstring> NamesOf(const Core::Collections::ArrayList<WMI::ObjectProperty>& properties)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < properties.GetCount(); i++)
    {
        names.emplace_back(properties[i].GetName().GetBuffer());
    }
    return names;
}

class InstanceReadingTest : public WmiTesting::ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        provider.AddClass(L"root\\cimv2", L"CIM_LogicalDevice", L"", {{L"Caption", CIM_STRING}});
        ScriptedWmi::ClassScript& device = provider.AddClass(L"root\\cimv2", L"Win32_Device", L"CIM_LogicalDevice",
                                                             {{L"DeviceID", CIM_STRING},
                                                              {L"Level", CIM_SINT8},
                                                              {L"Flags", CIM_UINT8},
                                                              {L"Small", CIM_SINT16},
                                                              {L"Port", CIM_UINT16},
                                                              {L"Offset", CIM_SINT32},
                                                              {L"Count", CIM_UINT32},
                                                              {L"Delta", CIM_SINT64},
                                                              {L"Size", CIM_UINT64},
                                                              {L"Ratio", CIM_REAL32},
                                                              {L"Load", CIM_REAL64},
                                                              {L"Enabled", CIM_BOOLEAN},
                                                              {L"Letter", CIM_CHAR16},
                                                              {L"InstallDate", CIM_DATETIME},
                                                              {L"Uptime", CIM_DATETIME},
                                                              {L"Owner", CIM_REFERENCE},
                                                              {L"Settings", CIM_OBJECT},
                                                              {L"Addresses", CIM_STRING | CIM_FLAG_ARRAY},
                                                              {L"Sizes", CIM_UINT64 | CIM_FLAG_ARRAY},
                                                              {L"Description", CIM_STRING},
                                                              {L"Status", CIM_STRING}});
        device.SetKeys({L"DeviceID"});
        device.instances.push_back(
            Values({{L"Caption", Value::Text(L"First device")},
                    {L"DeviceID", Value::Text(L"D1")},
                    {L"Level", Value::SInt8(-3)},
                    {L"Flags", Value::UInt8(255)},
                    {L"Small", Value::SInt16(-32768)},
                    {L"Port", Value::UInt16(65535)},
                    {L"Offset", Value::SInt32(-2147483647L - 1)},
                    {L"Count", Value::UInt32(4294967295UL)},
                    {L"Delta", Value::SInt64(INT64_MIN)},
                    {L"Size", Value::UInt64(UINT64_MAX)},
                    {L"Ratio", Value::Real32(0.75f)},
                    {L"Load", Value::Real64(0.1)},
                    {L"Enabled", Value::Bool(true)},
                    {L"Letter", Value::Char16(L'C')},
                    {L"InstallDate", Value::DateTime(L"20260309140500.000000+060")},
                    {L"Uptime", Value::DateTime(L"00000002030405.000000:000")},
                    {L"Owner", Value::Reference(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Bus.BusID=\"B0\"")},
                    {L"Settings", Value::Object(L"Win32_DeviceSettings", {{L"Speed", CIM_UINT32}},
                                                Values({{L"Speed", Value::UInt32(100)}}))},
                    {L"Addresses", Value::Strings({L"10.0.0.1", L"fe80::1"})},
                    {L"Sizes", Value::Array(CIM_UINT64, {Value::UInt64(1), Value::UInt64(UINT64_MAX)})},
                    {L"Description", Value::Text(L"")},
                    {L"Status", Value::Null()}}));
        device.instances.push_back(Values({{L"DeviceID", Value::Text(L"D2")}}));
        device.getInstanceResults[1] = WBEM_E_ACCESS_DENIED;
        m_liveHeldByScript = 1; // the embedded settings object
        connection = Connect();
    }
    void TearDown() override
    {
        connection.reset();
        ScriptedTest::TearDown();
    }

    std::unique_ptr<WMI::ManagementConnection> connection;
};

} // namespace

// --- the instance whole ---

TEST_F(InstanceReadingTest, EveryPropertyComesInWmisOrderWithItsTypeAndKeyMark)
{
    ObjectValue device = WMI::GetInstance(connection.get(), String(DevicePath));
    EXPECT_EQ(std::vector<std::wstring>{DevicePath}, provider.getObjectPaths);
    EXPECT_EQ(std::vector<LONG>{0}, provider.getObjectFlags);
    EXPECT_STREQ(L"Win32_Device", device.GetObjectClass().GetBuffer());
    EXPECT_STREQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Device.DeviceID=\"D1\"", device.GetPath().GetBuffer());
    // The inherited property first, as WMI lists them.
    EXPECT_EQ((std::vector<std::wstring>{L"Caption",   L"DeviceID", L"Level",       L"Flags",  L"Small", L"Port",
                                         L"Offset",    L"Count",    L"Delta",       L"Size",   L"Ratio", L"Load",
                                         L"Enabled",   L"Letter",   L"InstallDate", L"Uptime", L"Owner", L"Settings",
                                         L"Addresses", L"Sizes",    L"Description", L"Status"}),
              NamesOf(device.GetProperties()));
    const auto& properties = device.GetProperties();
    for (int i = 0; i < properties.GetCount(); i++)
    {
        EXPECT_EQ(properties[i].GetName() == String(L"DeviceID"), properties[i].IsKey()) << i;
    }
    EXPECT_EQ(WMI::CimSInt8, properties[2].GetCimType());
    EXPECT_EQ(WMI::CimUInt64, properties[9].GetCimType());
    EXPECT_EQ(WMI::CimDateTime, properties[14].GetCimType());
    EXPECT_EQ(WMI::CimReference, properties[16].GetCimType());
    EXPECT_EQ(WMI::CimObject, properties[17].GetCimType());
    EXPECT_EQ(WMI::CimUInt64 | WMI::CimArrayFlag, properties[19].GetCimType());
}

TEST_F(InstanceReadingTest, ValuesAreAsTheyAre)
{
    ObjectValue device = WMI::GetInstance(connection.get(), String(DevicePath));
    auto text = [&](const wchar_t* name) -> std::wstring
    {
        const WMI::ObjectProperty* property = device.FindProperty(String(name));
        return property != nullptr ? property->GetValue().GetText().GetBuffer() : L"(missing)";
    };
    EXPECT_EQ(L"First device", text(L"Caption"));
    EXPECT_EQ(L"-3", text(L"Level"));
    EXPECT_EQ(L"255", text(L"Flags"));
    EXPECT_EQ(L"-32768", text(L"Small"));
    EXPECT_EQ(L"65535", text(L"Port"));
    EXPECT_EQ(L"-2147483648", text(L"Offset"));
    EXPECT_EQ(L"4294967295", text(L"Count"));
    EXPECT_EQ(L"-9223372036854775808", text(L"Delta"));
    EXPECT_EQ(L"18446744073709551615", text(L"Size"));
    EXPECT_EQ(L"0.75", text(L"Ratio"));
    EXPECT_EQ(L"0.1", text(L"Load"));
    EXPECT_EQ(L"True", text(L"Enabled"));
    EXPECT_EQ(L"C", text(L"Letter"));
    EXPECT_EQ(L"20260309140500.000000+060", text(L"InstallDate"));
    EXPECT_EQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Bus.BusID=\"B0\"", text(L"Owner"));
    auto utc = [](const WMI::CivilTime&) { return 0; };
    EXPECT_STREQ(L"2026-03-09 13:05:00",
                 WMI::FormatValue(device.FindProperty(String(L"InstallDate"))->GetValue(), utc).GetBuffer());
    EXPECT_STREQ(L"2 days, 3 hours, 4 minutes, 5 seconds",
                 WMI::FormatValue(device.FindProperty(String(L"Uptime"))->GetValue(), utc).GetBuffer());
    // NULL and the empty text stay apart.
    EXPECT_TRUE(device.FindProperty(String(L"Status"))->GetValue().IsNull());
    EXPECT_FALSE(device.FindProperty(String(L"Description"))->GetValue().IsNull());
    // Arrays with their elements, the embedded object with its own properties.
    const WMI::PropertyValue& sizes = device.FindProperty(String(L"Sizes"))->GetValue();
    ASSERT_EQ(2, sizes.GetCount());
    EXPECT_STREQ(L"18446744073709551615", sizes.GetElement(1).GetText().GetBuffer());
    EXPECT_EQ(2, device.FindProperty(String(L"Addresses"))->GetValue().GetCount());
    const WMI::PropertyValue& settings = device.FindProperty(String(L"Settings"))->GetValue();
    ASSERT_TRUE(settings.IsEmbedded());
    EXPECT_STREQ(L"Win32_DeviceSettings", settings.GetEmbedded().GetObjectClass().GetBuffer());
    EXPECT_STREQ(L"100", settings.GetEmbedded().GetProperties()[0].GetValue().GetText().GetBuffer());
}

TEST_F(InstanceReadingTest, TheSystemPropertiesComeApartInWmisOrder)
{
    ObjectValue device = WMI::GetInstance(connection.get(), String(L"\\\\.\\root\\cimv2:Win32_Device.DeviceID='d1'"));
    EXPECT_EQ((std::vector<std::wstring>{L"__GENUS", L"__CLASS", L"__SUPERCLASS", L"__DYNASTY", L"__RELPATH",
                                         L"__PROPERTY_COUNT", L"__DERIVATION", L"__SERVER", L"__NAMESPACE", L"__PATH"}),
              NamesOf(device.GetSystemProperties()));
    const auto& system = device.GetSystemProperties();
    EXPECT_STREQ(L"2", system[0].GetValue().GetText().GetBuffer());
    EXPECT_STREQ(L"CIM_LogicalDevice", system[2].GetValue().GetText().GetBuffer());
    EXPECT_STREQ(L"Win32_Device.DeviceID=\"D1\"", system[4].GetValue().GetText().GetBuffer());
    EXPECT_STREQ(L"22", system[5].GetValue().GetText().GetBuffer());
    ASSERT_EQ(1, system[6].GetValue().GetCount());
    EXPECT_STREQ(L"CIM_LogicalDevice", system[6].GetValue().GetElement(0).GetText().GetBuffer());
    EXPECT_STREQ(L"SCRIPTED-PC", system[7].GetValue().GetText().GetBuffer());
    EXPECT_STREQ(L"root\\cimv2", system[8].GetValue().GetText().GetBuffer());
    for (int i = 0; i < system.GetCount(); i++)
    {
        EXPECT_FALSE(system[i].IsKey());
    }
}

TEST_F(InstanceReadingTest, WithoutKeyQualifiersTheKeysAreTheNamesThePathGives)
{
    // As Wine: no qualifier filter for GetNames and no key marks in the qualifier sets.
    provider.keyQualifiers = false;
    ScriptedWmi::ClassScript& link = provider.AddClass(
        L"Win32_Link",
        {{L"Note", CIM_STRING}, {L"Group", CIM_REFERENCE}, {L"Part", CIM_REFERENCE}, {L"Rank", CIM_UINT32}});
    link.SetKeys({L"Group", L"Part"});
    link.instances.push_back(Values({{L"Note", Value::Text(L"x")},
                                     {L"Group", Value::Reference(L"Win32_Group.Name=\"a,b=c\"")},
                                     {L"Part", Value::Reference(L"Win32_Part.Id=1")},
                                     {L"Rank", Value::UInt32(2)}}));
    ObjectValue read = WMI::GetInstance(
        connection.get(), String(L"Win32_Link.Group=\"Win32_Group.Name=\\\"a,b=c\\\"\",Part=\"Win32_Part.Id=1\""));
    std::vector<bool> keys;
    for (int i = 0; i < read.GetProperties().GetCount(); i++)
    {
        keys.push_back(read.GetProperties()[i].IsKey());
    }
    EXPECT_EQ((std::vector<bool>{false, true, true, false}), keys);
    EXPECT_FALSE(WMI::GetInstance(connection.get(), String(DevicePath)).GetProperties()[0].IsKey());
    EXPECT_TRUE(WMI::GetInstance(connection.get(), String(DevicePath)).FindProperty(String(L"DeviceID"))->IsKey());
}

// --- failures ---

TEST_F(InstanceReadingTest, AMissingOrDeniedInstanceIsSaidByItsPath)
{
    EXPECT_EQ(L"The instance Win32_Device.DeviceID=\"D9\" does not exist on the machine",
              ThrownMessage([&] { WMI::GetInstance(connection.get(), String(L"Win32_Device.DeviceID=\"D9\"")); }));
    EXPECT_EQ(L"Access to the instance Win32_Device.DeviceID=\"D2\" is denied",
              ThrownMessage([&] { WMI::GetInstance(connection.get(), String(L"Win32_Device.DeviceID=\"D2\"")); }));
    EXPECT_EQ(L"Not a valid object path: Win32_Device.DeviceID=\"D1",
              ThrownMessage([&] { WMI::GetInstance(connection.get(), String(L"Win32_Device.DeviceID=\"D1")); }));
    provider.getInstanceResult = WBEM_E_FAILED;
    EXPECT_EQ(L"Could not read Win32_Device.DeviceID=\"D1\": Unspecified error",
              ThrownMessage([&] { WMI::GetInstance(connection.get(), String(DevicePath)); }));
    provider.getInstanceResult = static_cast<HRESULT>(0x80041099);
    EXPECT_EQ(L"Could not read Win32_Device.DeviceID=\"D1\": Unknown error (0x80041099)",
              ThrownMessage([&] { WMI::GetInstance(connection.get(), String(DevicePath)); }));
}

TEST_F(InstanceReadingTest, AClassTheMachineLacksRaisesInvalidWMIClassException)
{
    try
    {
        WMI::GetInstance(connection.get(), String(L"Win32_Tardis.Id=1"));
        FAIL() << "no exception";
    }
    catch (const WMI::InvalidWMIClassException& e)
    {
        EXPECT_STREQ(L"WMI on target machine does not support classWin32_Tardis", e.GetMessageText().GetBuffer());
    }
}

TEST_F(InstanceReadingTest, NoPathOrNoConnectionIsRefusedBeforeAnyCall)
{
    EXPECT_THROW(WMI::GetInstance(connection.get(), String()), Core::InvalidArgumentException);
    WMI::ManagementConnection unconnected;
    EXPECT_THROW(WMI::GetInstance(&unconnected, String(DevicePath)), Core::InvalidOperationException);
    EXPECT_THROW(WMI::GetInstance(static_cast<WMI::ManagementConnection*>(nullptr), String(DevicePath)),
                 Core::ArgumentNullException);
    CompletionOwner owner;
    EXPECT_THROW(WMI::ReadInstance(owner, &unconnected, String(DevicePath), [](Outcome<ObjectValue>&) {}),
                 Core::InvalidOperationException);
    EXPECT_TRUE(provider.getObjectPaths.empty());
}

// --- on a worker ---

TEST_F(InstanceReadingTest, TheWorkerHandsTheInstanceBackOnTheCallingThread)
{
    CompletionOwner owner;
    bool done = false;
    DWORD completionThread = 0;
    std::wstring className;
    int properties = 0;
    WMI::ReadInstance(owner, connection.get(), String(DevicePath),
                      [&](Outcome<ObjectValue>& outcome)
                      {
                          completionThread = GetCurrentThreadId();
                          className = outcome.Get().GetObjectClass().GetBuffer();
                          properties = outcome.Get().GetProperties().GetCount();
                          done = true;
                      });
    RunLoopUntil([&] { return done; });
    EXPECT_EQ(GetCurrentThreadId(), completionThread);
    EXPECT_EQ(L"Win32_Device", className);
    EXPECT_EQ(22, properties);
}

TEST_F(InstanceReadingTest, TheWorkerHandsAFailureBack)
{
    CompletionOwner owner;
    bool done = false;
    std::wstring message;
    WMI::ReadInstance(owner, connection.get(), String(L"Win32_Device.DeviceID=\"D2\""),
                      [&](Outcome<ObjectValue>& outcome)
                      {
                          EXPECT_TRUE(outcome.Failed());
                          message = ThrownMessage([&] { outcome.Get(); });
                          done = true;
                      });
    RunLoopUntil([&] { return done; });
    EXPECT_EQ(L"Access to the instance Win32_Device.DeviceID=\"D2\" is denied", message);
}

TEST_F(InstanceReadingTest, AReadWhoseOwnerWentBeforeItsTurnAsksNothing)
{
    // A call on the class still under way holds the class's turn.
    std::shared_ptr<WMI::ClassTurn> earlier = connection->GetSession()->GetClassTurns().Take(String(L"win32_device"));
    bool called = false;
    {
        CompletionOwner owner;
        WMI::ReadInstance(owner, connection.get(), String(DevicePath), [&](Outcome<ObjectValue>&) { called = true; });
    }
    earlier->End();
    earlier.reset();
    ASSERT_TRUE(Core::Threading::BackgroundWork::WaitForAll(60000));
    Core::Threading::WindowThread::RunPosted();
    EXPECT_FALSE(called);
    EXPECT_TRUE(provider.getObjectPaths.empty());
}

// --- a path in another namespace ---

TEST_F(InstanceReadingTest, APathInAnotherNamespaceIsReadThroughThatNamespace)
{
    ScriptedWmi::ClassScript& zone =
        provider.AddClass(L"root\\wmi", L"Quarrow_Zone", L"", {{L"Name", CIM_STRING}, {L"Celsius", CIM_UINT32}});
    zone.SetKeys({L"Name"});
    zone.instances.push_back(Values({{L"Name", Value::Text(L"z1")}, {L"Celsius", Value::UInt32(41)}}));
    const String zonePath(L"\\\\SCRIPTED-PC\\root\\wmi:Quarrow_Zone.Name=\"z1\"");
    std::shared_ptr<const WMI::ConnectionSession> session = connection->GetSession();
    size_t connectsBefore = provider.connects.size();

    // The session's own namespace, or none named, needs nothing opened.
    EXPECT_EQ(nullptr, WMI::OpenPathNamespace(*session, *connection,
                                              String(L"\\\\SCRIPTED-PC\\ROOT\\CIMV2:Win32_Device.DeviceID=\"D1\""),
                                              String(L"SCRIPTED-PC")));
    EXPECT_EQ(nullptr, WMI::OpenPathNamespace(*session, *connection, String(DevicePath), String()));
    EXPECT_EQ(connectsBefore, provider.connects.size());

    // GetObject reads only its own namespace: through the cimv2 session the zone is not found there.
    EXPECT_THROW(WMI::GetInstance(*session, zonePath), Core::Exception);
    std::shared_ptr<const WMI::ConnectionSession> opened =
        WMI::OpenPathNamespace(*session, *connection, zonePath, String(L"SCRIPTED-PC"));
    ASSERT_NE(nullptr, opened);
    EXPECT_EQ(L"root\\wmi", std::wstring(opened->GetNamespace().GetBuffer()));
    ASSERT_EQ(connectsBefore + 1, provider.connects.size());
    EXPECT_EQ(L"root\\wmi", provider.connects.back().path);
    ObjectValue read = WMI::GetInstance(*opened, zonePath);
    EXPECT_EQ(L"Quarrow_Zone", std::wstring(read.GetObjectClass().GetBuffer()));
    ASSERT_NE(nullptr, read.FindProperty(String(L"Celsius")));
    EXPECT_EQ(L"41", std::wstring(read.FindProperty(String(L"Celsius"))->GetValue().GetText().GetBuffer()));

    // The local machine by the names a path may give it, with no __SERVER known.
    for (const wchar_t* local : {L".", L"localhost", L"LOCALHOST", L"127.0.0.1"})
    {
        EXPECT_TRUE(WMI::IsSameMachine(String(local), *connection, String())) << local;
    }
    EXPECT_TRUE(WMI::IsSameMachine(String(L"scripted-pc"), *connection, String(L"SCRIPTED-PC")));
    EXPECT_FALSE(WMI::IsSameMachine(String(L"FILESERVER"), *connection, String(L"SCRIPTED-PC")));
}

TEST_F(InstanceReadingTest, AnotherMachineOrAMissingNamespaceIsSaidBeforeAnyRead)
{
    std::shared_ptr<const WMI::ConnectionSession> session = connection->GetSession();
    size_t connectsBefore = provider.connects.size();
    EXPECT_EQ(L"The object \\\\FILESERVER\\root\\wmi:Quarrow_Zone.Name=\"z1\" is on another machine (FILESERVER). "
              L"Connect to FILESERVER to open it.",
              ThrownMessage(
                  [&]
                  {
                      WMI::OpenPathNamespace(*session, *connection,
                                             String(L"\\\\FILESERVER\\root\\wmi:Quarrow_Zone.Name=\"z1\""),
                                             String(L"SCRIPTED-PC"));
                  }));
    EXPECT_EQ(connectsBefore, provider.connects.size());
    std::wstring missing = ThrownMessage(
        [&] {
            WMI::OpenPathNamespace(*session, *connection, String(L"root\\nowhere:Quarrow_Zone.Name=\"z1\""), String());
        });
    EXPECT_EQ(0u, missing.find(L"Could not open namespace root\\nowhere: ")) << missing;
    EXPECT_TRUE(provider.getObjectPaths.empty());
}
