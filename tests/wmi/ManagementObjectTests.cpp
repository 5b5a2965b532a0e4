#include "wmi/ManagementObject.h"

#include "tests/support/AllocationCounter.h"
#include "tests/support/ThrownMessage.h"
#include "tests/wmi/WmiTesting.h"
#include "wmi/InvalidWMIClassException.h"

using Core::String;
using ScriptedWmi::Value;
using Testing::ThrownMessage;
using WMI::ManagementObject;
using WMI::PropertyInfo;

namespace
{

// Synchronous loads against a scripted class "Win32_Thing" with two properties.
class SyncLoadTest : public WmiTesting::ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        thing = &provider.AddClass(L"Win32_Thing", {{L"Name", CIM_STRING}, {L"Id", CIM_UINT32}});
        connection = Connect(false);
    }
    void TearDown() override
    {
        connection.reset();
        ScriptedTest::TearDown();
    }

    void AddThings(int count)
    {
        ScriptedWmi::AddInstances(*thing, count,
                                  [](int i, int p)
                                  { return p == 0 ? Value::Text(L"thing " + std::to_wstring(i)) : Value::Int(i); });
    }

    std::unique_ptr<ManagementObject> Object(std::initializer_list<const wchar_t*> properties = {})
    {
        auto object = std::make_unique<ManagementObject>(connection.get(), String(L"Win32_Thing"), 0);
        for (const wchar_t* name : properties)
        {
            object->GetProperties().Add(PropertyInfo(String(name)));
        }
        return object;
    }

    std::wstring Cell(ManagementObject& object, int row, int column)
    {
        return (*object.GetRows()[row])[column].GetBuffer();
    }

    ScriptedWmi::ClassScript* thing = nullptr;
    std::unique_ptr<WMI::ManagementConnection> connection;
};

} // namespace

// --- the query and the enumeration ---

TEST_F(SyncLoadTest, RunsTheWqlQueryAndReadsFiftyInstancesPerCall)
{
    AddThings(120);
    auto object = Object({L"Name", L"Id"});
    object->Load();
    ASSERT_EQ(1u, provider.queries.size());
    EXPECT_EQ(L"WQL", provider.queries[0].language);
    EXPECT_EQ(L"Select Name, Id from Win32_Thing", provider.queries[0].text);
    EXPECT_EQ(0x30, provider.queries[0].flags);
    // 50 + 50 + 20, and an empty call that ends the enumeration.
    ASSERT_EQ(4u, provider.nextCalls.size());
    for (const auto& call : provider.nextCalls)
    {
        EXPECT_EQ(static_cast<LONG>(ManagementObject::NextTimeoutMilliseconds), call.first);
        EXPECT_EQ(50u, call.second);
    }
    ASSERT_EQ(120, object->GetRows().GetCount());
    EXPECT_EQ(L"thing 0", Cell(*object, 0, 0));
    EXPECT_EQ(L"119", Cell(*object, 119, 1));
    EXPECT_TRUE(object->IsLoaded());
    EXPECT_FALSE(object->IsLoading());
    EXPECT_EQ(WMI::LoadCompleted, object->GetState());
}

TEST_F(SyncLoadTest, TheEnumeratorGetsTheConnectionsBlanket)
{
    AddThings(1);
    auto object = Object({L"Name"});
    object->Load();
    ASSERT_EQ(2u, provider.blankets.size());
    const ScriptedWmi::BlanketCall& blanket = provider.blankets[1];
    EXPECT_EQ(L"enumerator", blanket.target);
    EXPECT_EQ(0u, blanket.authenticationLevel);
    EXPECT_EQ(3u, blanket.impersonationLevel);
    EXPECT_EQ(0x800u, blanket.capabilities);
    EXPECT_EQ(nullptr, blanket.identity);
}

TEST_F(SyncLoadTest, AnEmptyPropertyListIsFilledWithAllNonSystemProperties)
{
    AddThings(2);
    auto object = Object();
    object->Load();
    ASSERT_EQ(2, object->GetProperties().GetCount());
    EXPECT_EQ(L"Select Name, Id from Win32_Thing", provider.queries[0].text);
    EXPECT_EQ(L"1", Cell(*object, 1, 1));
}

TEST_F(SyncLoadTest, TheFilterReachesWmi)
{
    AddThings(1);
    auto object = Object({L"Name"});
    object->SetFilter(String(L"Id > 4"));
    object->Load();
    EXPECT_EQ(L"Select Name from Win32_Thing where Id > 4", provider.queries[0].text);
}

TEST_F(SyncLoadTest, AClassWithoutInstancesCompletesWithNoRows)
{
    auto object = Object({L"Name"});
    object->Load();
    EXPECT_EQ(WMI::LoadCompleted, object->GetState());
    EXPECT_TRUE(object->IsLoaded());
    EXPECT_EQ(0, object->GetRows().GetCount());
}

TEST_F(SyncLoadTest, ALoadedObjectIsNotReadAgain)
{
    AddThings(3);
    auto object = Object({L"Name"});
    object->Load();
    object->Load();
    EXPECT_EQ(1u, provider.queries.size());
    EXPECT_EQ(3, object->GetRows().GetCount());
}

TEST_F(SyncLoadTest, SlowProvidersThatTimeOutBetweenBatchesLoseNothing)
{
    AddThings(75);
    provider.timeoutsBeforeEachBatch = 2;
    auto object = Object({L"Name", L"Id"});
    object->Load();
    EXPECT_EQ(WMI::LoadCompleted, object->GetState());
    EXPECT_EQ(75, object->GetRows().GetCount());
    EXPECT_EQ(L"74", Cell(*object, 74, 1));
}

TEST_F(SyncLoadTest, ProvidersHandingOutSmallerBatchesAreReadToTheEnd)
{
    AddThings(23);
    provider.largestBatch = 7;
    auto object = Object({L"Id"});
    object->Load();
    EXPECT_EQ(23, object->GetRows().GetCount());
}

// --- values to text ---

TEST_F(SyncLoadTest, ValuesBecomeCellTexts)
{
    ScriptedWmi::ClassScript& values = provider.AddClass(L"Win32_Values", {{L"Null", CIM_STRING},
                                                                           {L"Empty", CIM_STRING},
                                                                           {L"Yes", CIM_BOOLEAN},
                                                                           {L"No", CIM_BOOLEAN},
                                                                           {L"Date", CIM_DATETIME},
                                                                           {L"Addresses", CIM_STRING | CIM_FLAG_ARRAY},
                                                                           {L"Numbers", CIM_UINT32 | CIM_FLAG_ARRAY},
                                                                           {L"None", CIM_STRING | CIM_FLAG_ARRAY},
                                                                           {L"Embedded", CIM_OBJECT},
                                                                           {L"Unreadable", CIM_STRING},
                                                                           {L"Negative", CIM_SINT32}});
    values.instances.push_back({{{L"Null", Value::Null()},
                                 {L"Empty", Value::Text(L"")},
                                 {L"Yes", Value::Bool(true)},
                                 {L"No", Value::Bool(false)},
                                 {L"Date", Value::Text(L"20260309140500.000000+060")},
                                 {L"Addresses", Value::Strings({L"192.168.1.20", L"fe80::1"})},
                                 {L"Numbers", Value::Ints({1, 22, 333})},
                                 {L"None", Value::Strings({})},
                                 {L"Embedded", Value::EmbeddedObject()},
                                 {L"Unreadable", Value::Missing()},
                                 {L"Negative", Value::Int(-42)}}});
    m_liveHeldByScript = 1;
    ManagementObject object(connection.get(), String(L"Win32_Values"), 0);
    object.FillProperties();
    object.Load();
    ASSERT_EQ(1, object.GetRows().GetCount());
    const WMI::Row& row = *object.GetRows()[0];
    ASSERT_EQ(11, row.GetCount());
    EXPECT_STREQ(L"", row[0].GetBuffer());
    EXPECT_STREQ(L"", row[1].GetBuffer());
    // Booleans take the user locale's words (English here).
    EXPECT_STREQ(L"True", row[2].GetBuffer());
    EXPECT_STREQ(L"False", row[3].GetBuffer());
    // A datetime is WMI's own text, untouched.
    EXPECT_STREQ(L"20260309140500.000000+060", row[4].GetBuffer());
    EXPECT_STREQ(L"192.168.1.20, fe80::1", row[5].GetBuffer());
    EXPECT_STREQ(L"1, 22, 333", row[6].GetBuffer());
    EXPECT_STREQ(L"", row[7].GetBuffer());
    EXPECT_STREQ(L"", row[8].GetBuffer());
    EXPECT_STREQ(L"", row[9].GetBuffer());
    EXPECT_STREQ(L"-42", row[10].GetBuffer());
}

// --- row paths ---

TEST_F(SyncLoadTest, EachRowCarriesItsInstancesPathReadWithTheRow)
{
    thing->SetKeys({L"Name"});
    AddThings(120);
    auto object = Object({L"Name", L"Id"});
    int callsBefore = provider.calls;
    object->Load();
    ASSERT_EQ(120, object->GetRows().GetCount());
    EXPECT_STREQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Thing.Name=\"thing 0\"", object->GetRowPath(0).GetBuffer());
    EXPECT_STREQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Thing.Name=\"thing 119\"", object->GetRowPath(119).GetBuffer());
    // No call of its own: the query and its four Next calls, and no GetObject.
    EXPECT_EQ(5, provider.calls - callsBefore);
    EXPECT_TRUE(provider.getObjectPaths.empty());
    EXPECT_THROW(object->GetRowPath(120), Core::ArgumentOutOfRangeException);
    EXPECT_THROW(object->GetRowPath(-1), Core::ArgumentOutOfRangeException);
}

TEST_F(SyncLoadTest, ARowThatWmiGivesNoPathHasAnEmptyOne)
{
    AddThings(3);
    auto keyless = Object({L"Name", L"Id"});
    keyless->Load();
    ASSERT_EQ(3, keyless->GetRows().GetCount());
    EXPECT_TRUE(keyless->GetRowPath(2).IsEmpty());
    // A property list without the class's key: WMI gives such partial instances no path.
    thing->SetKeys({L"Name"});
    auto partial = Object({L"Id"});
    partial->Load();
    ASSERT_EQ(3, partial->GetRows().GetCount());
    EXPECT_TRUE(partial->GetRowPath(0).IsEmpty());
}

TEST_F(SyncLoadTest, ThePathsGoWithTheRows)
{
    thing->SetKeys({L"Name"});
    AddThings(200);
    provider.failNextOnCall = 3;
    auto object = Object({L"Name"});
    object->Load();
    ASSERT_EQ(100, object->GetRows().GetCount());
    EXPECT_STREQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Thing.Name=\"thing 99\"", object->GetRowPath(99).GetBuffer());
    EXPECT_THROW(object->GetRowPath(100), Core::ArgumentOutOfRangeException);
    // A new load starts with no paths, as with no rows.
    provider.failNextOnCall = 0;
    object->Load();
    EXPECT_EQ(200, object->GetRows().GetCount());
    EXPECT_STREQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Thing.Name=\"thing 199\"", object->GetRowPath(199).GetBuffer());
    EXPECT_THROW(object->GetRowPath(200), Core::ArgumentOutOfRangeException);
    object->Discard();
    EXPECT_THROW(object->GetRowPath(0), Core::ArgumentOutOfRangeException);
}

// --- failures ---

TEST_F(SyncLoadTest, AFailureInTheMiddleKeepsTheRowsReadAndEndsInStateFailed)
{
    AddThings(200);
    provider.failNextOnCall = 3;
    auto object = Object({L"Name"});
    object->Load();
    EXPECT_EQ(WMI::LoadFailed, object->GetState());
    EXPECT_EQ(100, object->GetRows().GetCount());
    EXPECT_FALSE(object->IsLoaded());
    EXPECT_FALSE(object->IsLoading());
    EXPECT_EQ(String(L"Unspecified error"), object->GetFailureMessage());
    // Not loaded: the next Load reads again, from the start, and leaves no reason of the old failure behind.
    provider.failNextOnCall = 0;
    object->Load();
    EXPECT_EQ(200, object->GetRows().GetCount());
    EXPECT_EQ(WMI::LoadCompleted, object->GetState());
    EXPECT_TRUE(object->GetFailureMessage().IsEmpty());
}

TEST_F(SyncLoadTest, QueryAndBlanketFailuresEndInStateFailed)
{
    AddThings(5);
    provider.execQueryResult = WBEM_E_INVALID_QUERY;
    auto rejected = Object({L"Name"});
    rejected->Load();
    EXPECT_EQ(WMI::LoadFailed, rejected->GetState());
    EXPECT_EQ(String(L"The query was not syntactically valid"), rejected->GetFailureMessage());
    EXPECT_TRUE(rejected->IsSupported());

    provider.execQueryResult = S_OK;
    provider.enumeratorBlanketResult = E_ACCESSDENIED;
    auto refused = Object({L"Name"});
    refused->Load();
    EXPECT_EQ(WMI::LoadFailed, refused->GetState());
    EXPECT_EQ(0, refused->GetRows().GetCount());
}

TEST_F(SyncLoadTest, AClassTheMachineLacksFailsOnceThenRaisesOnEveryLoad)
{
    ManagementObject missing(connection.get(), String(L"Win32_Tardis"), 0);
    missing.GetProperties().Add(PropertyInfo(String(L"Name")));
    missing.Load();
    EXPECT_EQ(WMI::LoadFailed, missing.GetState());
    EXPECT_FALSE(missing.IsSupported());
    EXPECT_EQ(L"WMI on target machine does not support classWin32_Tardis", ThrownMessage([&] { missing.Load(); }));
    EXPECT_THROW(missing.Load(), WMI::InvalidWMIClassException);
    EXPECT_EQ(1u, provider.queries.size());
}

TEST_F(SyncLoadTest, FillPropertiesOfAMissingClassRaises)
{
    ManagementObject missing(connection.get(), String(L"Win32_Tardis"), 0);
    EXPECT_THROW(missing.FillProperties(), WMI::InvalidWMIClassException);
    // Inside a load the same failure ends in state 4 without an exception.
    missing.Load();
    EXPECT_EQ(WMI::LoadFailed, missing.GetState());
}

TEST_F(SyncLoadTest, LoadingFreesEverythingWhenTheObjectGoes)
{
    AddThings(130);
    provider.logging = false;
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         auto object = Object({L"Name", L"Id"});
                         object->Load();
                         EXPECT_EQ(130, object->GetRows().GetCount());
                     }));
}
