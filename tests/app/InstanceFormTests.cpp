// The property sheet of one instance as a person uses it, over the scripted provider: every CIM type shown as it is,
// keys and system properties, arrays and embedded objects opened, references and related objects followed with Back
// and Forward, failures said in the sheet, and a window closed while it reads.
#include "app/InstanceForm.h"
#include "app/MainForm.h"
#include "core/controls/Button.h"
#include "core/controls/Keys.h"
#include "core/controls/TextArea.h"
#include "core/controls/TextBox.h"

#include "tests/app/ScriptedMainForm.h"
#include "tests/support/AccessibleClient.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

#include <wbemidl.h>

using namespace Core::Controls;
using Core::String;
using ScriptedWmi::Value;

namespace
{

using namespace AppTesting;

constexpr int NoRow = PropertyListModel::NoRow;
const wchar_t* const SamplePath = L"Quarrow_Sample.Name=\"s1\"";
const wchar_t* const DiskPath = L"Win32_Disk.DeviceID=\"D0\"";

ScriptedWmi::Instance Values(std::vector<std::pair<std::wstring, Value>> values)
{
    ScriptedWmi::Instance instance;
    instance.values = std::move(values);
    return instance;
}

class InstanceFormTest : public ScriptedMainFormTest
{
protected:
    void SetUp() override
    {
        ScriptedMainFormTest::SetUp();
        // One instance of every CIM type, as WMI hands each out.
        ScriptedWmi::ClassScript& sample =
            provider->AddClass(L"Quarrow_Sample", {{L"Name", CIM_STRING},
                                                   {L"Small", CIM_SINT8},
                                                   {L"Byte", CIM_UINT8},
                                                   {L"Short", CIM_SINT16},
                                                   {L"Word", CIM_UINT16},
                                                   {L"Int", CIM_SINT32},
                                                   {L"Count", CIM_UINT32},
                                                   {L"Big", CIM_SINT64},
                                                   {L"Huge", CIM_UINT64},
                                                   {L"Single", CIM_REAL32},
                                                   {L"Double", CIM_REAL64},
                                                   {L"Flag", CIM_BOOLEAN},
                                                   {L"Letter", CIM_CHAR16},
                                                   {L"Started", CIM_DATETIME},
                                                   {L"Uptime", CIM_DATETIME},
                                                   {L"Disk", CIM_REFERENCE},
                                                   {L"Names", CIM_STRING | CIM_FLAG_ARRAY},
                                                   {L"Settings", CIM_OBJECT},
                                                   {L"Empty", CIM_STRING},
                                                   {L"Nothing", CIM_STRING}});
        sample.SetKeys({L"Name"});
        ScriptedWmi::Instance inner = Values({{L"Depth", Value::UInt32(2)}});
        ScriptedWmi::Instance settings =
            Values({{L"Level", Value::UInt32(3)},
                    {L"Inner", Value::Object(L"Quarrow_Inner", {{L"Depth", CIM_UINT32}}, inner)}});
        sample.instances.push_back(Values({
            {L"Name", Value::Text(L"s1")},
            {L"Small", Value::SInt8(-8)},
            {L"Byte", Value::UInt8(200)},
            {L"Short", Value::SInt16(-1600)},
            {L"Word", Value::UInt16(60000)},
            {L"Int", Value::SInt32(-70000)},
            {L"Count", Value::UInt32(4000000000UL)},
            {L"Big", Value::SInt64(-9223372036854775807LL - 1)},
            {L"Huge", Value::UInt64(18446744073709551615ULL)},
            {L"Single", Value::Real32(1.5f)},
            {L"Double", Value::Real64(0.1)},
            {L"Flag", Value::Bool(true)},
            {L"Letter", Value::Char16(L'Q')},
            {L"Started", Value::DateTime(L"20260309140500.000000+060")},
            {L"Uptime", Value::DateTime(L"00000001132312.000000:000")},
            {L"Disk", Value::Reference(DiskPath)},
            {L"Names", Value::Array(CIM_STRING, {Value::Text(L"alpha"), Value::Text(L"beta")})},
            {L"Settings",
             Value::Object(L"Quarrow_Settings", {{L"Level", CIM_UINT32}, {L"Inner", CIM_OBJECT}}, settings)},
            {L"Empty", Value::Text(L"")},
            {L"Nothing", Value::Null()},
        }));

        ScriptedWmi::ClassScript& disk =
            provider->AddClass(L"Win32_Disk", {{L"DeviceID", CIM_STRING}, {L"Size", CIM_UINT64}});
        disk.SetKeys({L"DeviceID"});
        disk.instances.push_back(Values({{L"DeviceID", Value::Text(L"D0")}, {L"Size", Value::UInt64(500)}}));
        disk.instances.push_back(Values({{L"DeviceID", Value::Text(L"D1")}, {L"Size", Value::UInt64(250)}}));
        ScriptedWmi::ClassScript& partition =
            provider->AddClass(L"Win32_Partition", {{L"DeviceID", CIM_STRING}, {L"Index", CIM_UINT32}});
        partition.SetKeys({L"DeviceID"});
        partition.instances.push_back(Values({{L"DeviceID", Value::Text(L"P0")}, {L"Index", Value::UInt32(0)}}));
        partition.instances.push_back(Values({{L"DeviceID", Value::Text(L"P1")}, {L"Index", Value::UInt32(1)}}));
        ScriptedWmi::ClassScript& link = provider->AddClass(
            L"Win32_DiskToPartition", {{L"Antecedent", CIM_REFERENCE}, {L"Dependent", CIM_REFERENCE}});
        link.SetKeys({L"Antecedent", L"Dependent"});
        provider->Associate(L"Win32_DiskToPartition", DiskPath, L"Win32_Partition", 0,
                            Values({{L"Antecedent", Value::Reference(DiskPath)},
                                    {L"Dependent", Value::Reference(L"Win32_Partition.DeviceID=\"P0\"")}}));
        provider->Associate(L"Win32_DiskToPartition", DiskPath, L"Win32_Partition", 1,
                            Values({{L"Antecedent", Value::Reference(DiskPath)},
                                    {L"Dependent", Value::Reference(L"Win32_Partition.DeviceID=\"P1\"")}}));
        provider->AddClass(L"Win32_SystemDisk",
                           {{L"GroupComponent", CIM_REFERENCE}, {L"PartComponent", CIM_REFERENCE}});
        ScriptedWmi::ClassScript& computer = provider->AddClass(L"Win32_ComputerSystem", {{L"Name", CIM_STRING}});
        computer.SetKeys({L"Name"});
        computer.instances.push_back(Values({{L"Name", Value::Text(L"SCRIPTED-PC")}}));
        provider->Associate(L"Win32_SystemDisk", DiskPath, L"Win32_ComputerSystem", 0);
    }

    // Opens the instance as the program does, through the local connection, and pumps until it and what it is
    // related to have been read.
    void Open(const wchar_t* path)
    {
        form->OpenInstance(form->GetConnections()[0], String(path));
        ASSERT_NE(nullptr, form->GetInstanceForm())
            << (desktop.messages.empty() ? std::wstring() : desktop.messages[0].text);
        Sheet().SetUtcOffset([](const WMI::CivilTime&) { return 0; });
        Wait();
    }
    void Wait()
    {
        ASSERT_TRUE(Testing::PumpUntil([&] { return !Sheet().IsReading() && !Sheet().IsReadingRelated(); }));
    }
    Quarrow::InstanceForm& Sheet() { return *form->GetInstanceForm(); }
    PropertyListModel& Model() { return Sheet().GetSheet().GetModel(); }
    std::wstring Title() { return W(Sheet().GetText()); }
    // The row of that name under parent (NoRow: at the top), or NoRow.
    int Row(const wchar_t* name, int parent = NoRow)
    {
        for (int row = 0; row < Model().GetRowCount(); row++)
        {
            if (Model().GetParent(row) == parent && Model().GetName(row) == String(name))
            {
                return row;
            }
        }
        return NoRow;
    }
    std::wstring ValueOf(int row) { return row == NoRow ? L"(no row)" : W(Model().GetValue(row)); }
    std::wstring TypeOf(int row) { return row == NoRow ? L"(no row)" : W(Model().GetType(row)); }
    // The top-level rows' names, in order.
    std::vector<std::wstring> TopNames()
    {
        std::vector<std::wstring> names;
        for (int row = 0; row < Model().GetRowCount(); row++)
        {
            if (Model().GetParent(row) == NoRow)
            {
                names.push_back(W(Model().GetName(row)));
            }
        }
        return names;
    }
};

using Texts = std::vector<std::wstring>;

} // namespace

// Each CIM type with its name and its value as it is: 64-bit integers exact at both ends of their range, reals in
// their shortest exact form, the char16 as its character, a datetime readably beside WMI's text and an interval in
// days to seconds, NULL dimmed and apart from an empty string; the key marked; the title names the instance.
TEST_F(InstanceFormTest, EveryCimTypeIsShownAsItIs)
{
    Start();
    Open(SamplePath);
    EXPECT_EQ(L"Quarrow_Sample.Name=\"s1\" - Properties", Title());
    EXPECT_TRUE(IsWindowVisible(static_cast<HWND>(Sheet().GetHandle())));
    struct Expected
    {
        const wchar_t* name;
        const wchar_t* type;
        const wchar_t* value;
    };
    for (const Expected& expected : {
             Expected{L"Name", L"string", L"s1"},
             Expected{L"Small", L"int8", L"-8"},
             Expected{L"Byte", L"unsigned int8", L"200"},
             Expected{L"Short", L"int16", L"-1600"},
             Expected{L"Word", L"unsigned int16", L"60000"},
             Expected{L"Int", L"int32", L"-70000"},
             Expected{L"Count", L"unsigned int32", L"4000000000"},
             Expected{L"Big", L"int64", L"-9223372036854775808"},
             Expected{L"Huge", L"unsigned int64", L"18446744073709551615"},
             Expected{L"Single", L"real32", L"1.5"},
             Expected{L"Double", L"real64", L"0.1"},
             Expected{L"Flag", L"bool", L"True"},
             Expected{L"Letter", L"char16", L"Q"},
             // 14:05 an hour east of UTC is 13:05 UTC, the zone the test shows.
             Expected{L"Started", L"datetime", L"2026-03-09 13:05:00 (20260309140500.000000+060)"},
             Expected{L"Uptime", L"datetime", L"1 day, 13 hours, 23 minutes, 12 seconds (00000001132312.000000:000)"},
             Expected{L"Empty", L"string", L""},
             Expected{L"Nothing", L"string", L"NULL"},
         })
    {
        int row = Row(expected.name);
        ASSERT_NE(NoRow, row) << expected.name;
        EXPECT_EQ(expected.type, TypeOf(row)) << expected.name;
        EXPECT_EQ(expected.value, ValueOf(row)) << expected.name;
    }
    EXPECT_NE(0, Model().GetFlags(Row(L"Name")) & PropertyRowFlags::Key);
    EXPECT_EQ(0, Model().GetFlags(Row(L"Small")) & PropertyRowFlags::Key);
    EXPECT_NE(0, Model().GetFlags(Row(L"Nothing")) & PropertyRowFlags::Dimmed) << "NULL is dimmed";
    EXPECT_EQ(0, Model().GetFlags(Row(L"Empty")) & PropertyRowFlags::Dimmed) << "an empty text is a text";
    EXPECT_EQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Quarrow_Sample.Name=\"s1\"", W(Sheet().GetStatusText()));
    EXPECT_TRUE(desktop.messages.empty());
}

// The properties in WMI's order, then the system properties apart in their group, then Related and References.
TEST_F(InstanceFormTest, SystemPropertiesComeApartAtTheEnd)
{
    Start();
    Open(DiskPath);
    EXPECT_EQ((Texts{L"DeviceID", L"Size", L"System properties", L"Related", L"References"}), TopNames());
    int system = Row(L"System properties");
    EXPECT_TRUE(Model().IsGroup(system));
    EXPECT_EQ(L"Win32_Disk", ValueOf(Row(L"__CLASS", system)));
    EXPECT_EQ(L"Win32_Disk.DeviceID=\"D0\"", ValueOf(Row(L"__RELPATH", system)));
    EXPECT_EQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Disk.DeviceID=\"D0\"", ValueOf(Row(L"__PATH", system)));
    EXPECT_EQ(L"SCRIPTED-PC", ValueOf(Row(L"__SERVER", system)));
    EXPECT_EQ(L"root\\cimv2", ValueOf(Row(L"__NAMESPACE", system)));
    EXPECT_NE(NoRow, Row(L"__DERIVATION", system));
    EXPECT_EQ(NoRow, Row(L"__CLASS")) << "no system property among the others";
    EXPECT_NE(0, Model().GetFlags(Row(L"DeviceID")) & PropertyRowFlags::Key);
    EXPECT_EQ(0, Model().GetFlags(Row(L"Size")) & PropertyRowFlags::Key);
    EXPECT_EQ(L"500", ValueOf(Row(L"Size")));
}

// An array is a row of its count holding one row per element; an embedded object opens into its properties, and an
// object embedded in it into its own.
TEST_F(InstanceFormTest, ArraysAndEmbeddedObjectsOpenIntoTheirParts)
{
    Start();
    Open(SamplePath);
    int names = Row(L"Names");
    EXPECT_EQ(L"string[]", TypeOf(names));
    EXPECT_EQ(L"2 elements", ValueOf(names));
    ASSERT_EQ(2, Model().GetChildCount(names));
    EXPECT_EQ(L"alpha", ValueOf(Row(L"[0]", names)));
    EXPECT_EQ(L"string", TypeOf(Row(L"[0]", names)));
    EXPECT_EQ(L"beta", ValueOf(Row(L"[1]", names)));

    int settings = Row(L"Settings");
    EXPECT_EQ(L"object", TypeOf(settings));
    EXPECT_EQ(L"instance of Quarrow_Settings", ValueOf(settings));
    EXPECT_EQ(L"3", ValueOf(Row(L"Level", settings)));
    int inner = Row(L"Inner", settings);
    EXPECT_EQ(L"instance of Quarrow_Inner", ValueOf(inner));
    EXPECT_EQ(L"2", ValueOf(Row(L"Depth", inner)));
    // Opened as the user opens it: the rows under it show.
    int shownBefore = Model().GetVisibleRowCount();
    EXPECT_TRUE(Sheet().GetSheet().ToggleRow(settings));
    EXPECT_EQ(shownBefore + 2, Model().GetVisibleRowCount());
}

// A reference is a link: following it opens the referenced instance in the same window; Alt+Left, the Back button,
// the mouse's side buttons and Alt+Right walk the instances visited.
TEST_F(InstanceFormTest, AReferenceIsFollowedAndBackAndForwardWalkTheVisits)
{
    Start();
    Open(SamplePath);
    int disk = Row(L"Disk");
    EXPECT_EQ(L"ref", TypeOf(disk));
    EXPECT_EQ(L"Win32_Disk.DeviceID=\"D0\"", ValueOf(disk));
    ASSERT_NE(0, Model().GetFlags(disk) & PropertyRowFlags::Link);
    EXPECT_FALSE(Sheet().GetBackButton().IsEnabled());
    Sheet().GetSheet().SelectRow(disk);
    Testing::PressKey(Sheet().GetSheet(), Keys::Return);
    Wait();
    EXPECT_EQ(L"Win32_Disk.DeviceID=\"D0\" - Properties", Title());
    EXPECT_EQ(L"500", ValueOf(Row(L"Size")));
    EXPECT_TRUE(Sheet().GetBackButton().IsEnabled());
    EXPECT_FALSE(Sheet().GetForwardButton().IsEnabled());

    Testing::PressKey(Sheet().GetSheet(), Keys::Left, Keys::Alt);
    Wait();
    EXPECT_EQ(L"Quarrow_Sample.Name=\"s1\" - Properties", Title());
    EXPECT_TRUE(Sheet().GetForwardButton().IsEnabled());
    Testing::PressKey(Sheet().GetSheet(), Keys::Right, Keys::Alt);
    Wait();
    EXPECT_EQ(L"Win32_Disk.DeviceID=\"D0\" - Properties", Title());

    // The mouse's back button over the sheet, then its forward button.
    SendMessageW(static_cast<HWND>(Sheet().GetSheet().GetHandle()), WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1),
                 MAKELPARAM(20, 40));
    Wait();
    EXPECT_EQ(L"Quarrow_Sample.Name=\"s1\" - Properties", Title());
    SendMessageW(static_cast<HWND>(Sheet().GetSheet().GetHandle()), WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON2),
                 MAKELPARAM(20, 40));
    Wait();
    EXPECT_EQ(L"Win32_Disk.DeviceID=\"D0\" - Properties", Title());

    Sheet().GetBackButton().PerformClick();
    Wait();
    EXPECT_EQ(L"Quarrow_Sample.Name=\"s1\" - Properties", Title());
    // Following another link drops the steps ahead.
    EXPECT_TRUE(Sheet().GetSheet().ActivateLink(Row(L"Disk")));
    Wait();
    EXPECT_FALSE(Sheet().CanGoForward());
    EXPECT_TRUE(Sheet().GoBack());
    EXPECT_FALSE(Sheet().CanGoBack());
}

// A reference into another namespace of the machine is read there, and so is what it is related to; the namespace
// is opened once for the walk. One on another machine says so, and asks that machine nothing.
TEST_F(InstanceFormTest, AReferenceIntoAnotherNamespaceIsReadThere)
{
    ScriptedWmi::ClassScript& zone =
        provider->AddClass(L"root\\wmi", L"Quarrow_Zone", L"",
                           {{L"Name", CIM_STRING}, {L"Celsius", CIM_UINT32}, {L"Sensor", CIM_REFERENCE}});
    zone.SetKeys({L"Name"});
    zone.instances.push_back(
        Values({{L"Name", Value::Text(L"z1")},
                {L"Celsius", Value::UInt32(41)},
                {L"Sensor", Value::Reference(L"\\\\SCRIPTED-PC\\root\\cimv2:Quarrow_Sensor.Name=\"t1\"")}}));
    ScriptedWmi::ClassScript& sensor = provider->AddClass(
        L"Quarrow_Sensor", {{L"Name", CIM_STRING}, {L"Zone", CIM_REFERENCE}, {L"Remote", CIM_REFERENCE}});
    sensor.SetKeys({L"Name"});
    sensor.instances.push_back(
        Values({{L"Name", Value::Text(L"t1")},
                {L"Zone", Value::Reference(L"\\\\SCRIPTED-PC\\root\\wmi:Quarrow_Zone.Name=\"z1\"")},
                {L"Remote", Value::Reference(L"\\\\FILESERVER\\root\\cimv2:Win32_Disk.DeviceID=\"D0\"")}}));
    Start();
    Open(L"Quarrow_Sensor.Name=\"t1\"");
    size_t connects = provider->connects.size();
    size_t queries = provider->queries.size();

    ASSERT_TRUE(Sheet().GetSheet().ActivateLink(Row(L"Zone")));
    Wait();
    EXPECT_EQ(L"Quarrow_Zone.Name=\"z1\" - Properties", Title());
    EXPECT_EQ(L"41", ValueOf(Row(L"Celsius")));
    EXPECT_EQ(L"root\\wmi", ValueOf(Row(L"__NAMESPACE", Row(L"System properties"))));
    ASSERT_EQ(connects + 1, provider->connects.size());
    EXPECT_EQ(L"root\\wmi", provider->connects.back().path);
    // What it is related to is asked in its own namespace.
    ASSERT_LT(queries, provider->queries.size());
    for (size_t i = queries; i < provider->queries.size(); i++)
    {
        EXPECT_EQ(L"root\\wmi", provider->queries[i].nameSpace) << provider->queries[i].text;
        EXPECT_NE(std::wstring::npos, provider->queries[i].text.find(L"{Quarrow_Zone.Name=\"z1\"}"))
            << provider->queries[i].text;
    }

    // Back and Forward read it again through the namespace opened before.
    ASSERT_TRUE(Sheet().GoBack());
    Wait();
    EXPECT_EQ(L"Quarrow_Sensor.Name=\"t1\" - Properties", Title());
    ASSERT_TRUE(Sheet().GoForward());
    Wait();
    EXPECT_EQ(L"41", ValueOf(Row(L"Celsius")));
    EXPECT_EQ(connects + 1, provider->connects.size());
    // Back into root\cimv2 through the session the walk began with.
    ASSERT_TRUE(Sheet().GetSheet().ActivateLink(Row(L"Sensor")));
    Wait();
    EXPECT_EQ(L"Quarrow_Sensor.Name=\"t1\" - Properties", Title());
    EXPECT_EQ(connects + 1, provider->connects.size());

    ASSERT_TRUE(Sheet().GetSheet().ActivateLink(Row(L"Remote")));
    Wait();
    EXPECT_EQ(L"The object \\\\FILESERVER\\root\\cimv2:Win32_Disk.DeviceID=\"D0\" is on another machine (FILESERVER). "
              L"Connect to FILESERVER to open it.",
              W(Sheet().GetStatusText()));
    EXPECT_EQ(0, Model().GetRowCount());
    EXPECT_EQ(connects + 1, provider->connects.size());
    EXPECT_TRUE(desktop.messages.empty());

    // A row opened anew begins a walk of its own, with its own copy of the machine's credentials.
    Open(L"Quarrow_Sensor.Name=\"t1\"");
    ASSERT_TRUE(Sheet().GetSheet().ActivateLink(Row(L"Zone")));
    Wait();
    EXPECT_EQ(L"41", ValueOf(Row(L"Celsius")));
    EXPECT_EQ(connects + 2, provider->connects.size());
}

// Related lists what ASSOCIATORS OF returns: a row per class and association with a link to each object, named by
// its key; References lists the association instances. Choosing one opens it.
TEST_F(InstanceFormTest, RelatedListsTheAssociatorsByClassAndAssociationAndOpensThem)
{
    Start();
    Open(DiskPath);
    int related = Row(L"Related");
    ASSERT_TRUE(Model().IsGroup(related));
    ASSERT_EQ(2, Model().GetChildCount(related));
    int partitions = Row(L"Win32_Partition", related);
    EXPECT_EQ(L"Win32_DiskToPartition", TypeOf(partitions));
    EXPECT_EQ(L"2 objects", ValueOf(partitions));
    int first = Row(L"P0", partitions);
    EXPECT_EQ(L"Win32_Partition.DeviceID=\"P0\"", ValueOf(first));
    EXPECT_NE(0, Model().GetFlags(first) & PropertyRowFlags::Link);
    EXPECT_NE(NoRow, Row(L"P1", partitions));
    int computers = Row(L"Win32_ComputerSystem", related);
    EXPECT_EQ(L"Win32_SystemDisk", TypeOf(computers));
    EXPECT_EQ(L"1 object", ValueOf(computers));
    EXPECT_NE(NoRow, Row(L"SCRIPTED-PC", computers));

    int references = Row(L"References");
    ASSERT_TRUE(Model().IsGroup(references));
    int links = Row(L"Win32_DiskToPartition", references);
    EXPECT_EQ(L"2 objects", ValueOf(links));
    // Each association is named by what it links the disk with.
    int toFirst = Row(L"P0", links);
    EXPECT_EQ(L"Win32_DiskToPartition.Antecedent=\"Win32_Disk.DeviceID=\\\"D0\\\"\",Dependent=\"Win32_Partition."
              L"DeviceID=\\\"P0\\\"\"",
              ValueOf(toFirst));
    EXPECT_NE(0, Model().GetFlags(toFirst) & PropertyRowFlags::Link);

    // What a person sees of the Related group, copied.
    Sheet().GetSheet().SelectRow(related);
    Testing::PressKey(Sheet().GetSheet(), 'C', Keys::Control);
    EXPECT_EQ(L"Related\r\n"
              L"  Win32_Partition = 2 objects\r\n"
              L"    P0 = Win32_Partition.DeviceID=\"P0\"\r\n"
              L"    P1 = Win32_Partition.DeviceID=\"P1\"\r\n"
              L"  Win32_ComputerSystem = 1 object\r\n"
              L"    SCRIPTED-PC = Win32_ComputerSystem.Name=\"SCRIPTED-PC\"\r\n",
              Testing::ClipboardText());

    EXPECT_TRUE(Sheet().GetSheet().ActivateLink(Row(L"P1", partitions)));
    Wait();
    EXPECT_EQ(L"Win32_Partition.DeviceID=\"P1\" - Properties", Title());
    EXPECT_EQ(L"1", ValueOf(Row(L"Index")));
    EXPECT_TRUE(Sheet().GoBack());
    Wait();
    EXPECT_EQ(L"Win32_Disk.DeviceID=\"D0\" - Properties", Title());
}

// An instance that has nothing related says so; a machine that answers no association query says that instead.
TEST_F(InstanceFormTest, RelatedSaysWhenThereIsNothingOrTheMachineDoesNotAnswer)
{
    Start();
    Open(L"Win32_Disk.DeviceID=\"D1\"");
    int related = Row(L"Related");
    EXPECT_EQ(L"No related objects", ValueOf(Row(L"None", related)));
    EXPECT_NE(NoRow, Row(L"None", Row(L"References")));

    provider->execQueryResult = WBEM_E_INVALID_QUERY;
    Open(DiskPath);
    EXPECT_EQ(L"500", ValueOf(Row(L"Size"))) << "the properties come whatever the queries do";
    int unavailable = Row(L"Not available", Row(L"Related"));
    ASSERT_NE(NoRow, unavailable);
    EXPECT_NE(0, Model().GetFlags(unavailable) & PropertyRowFlags::Dimmed);
    std::wstring references = ValueOf(Row(L"Not available", Row(L"References")));
    EXPECT_EQ(0u, references.find(L"This machine does not answer REFERENCES OF: ")) << references;
}

// A machine that answers ASSOCIATORS OF but not REFERENCES OF (Wine's): the related objects come by their class
// alone, without the association that links them, and References says why it is empty.
TEST_F(InstanceFormTest, WithoutReferencesTheRelatedObjectsComeByTheirClassAlone)
{
    Start();
    provider->referencesResult = WBEM_E_INVALID_QUERY;
    Open(DiskPath);
    int related = Row(L"Related");
    int partitions = Row(L"Win32_Partition", related);
    ASSERT_NE(NoRow, partitions);
    EXPECT_EQ(L"", TypeOf(partitions)) << "no association class is known";
    EXPECT_EQ(L"2 objects", ValueOf(partitions));
    EXPECT_NE(NoRow, Row(L"Win32_ComputerSystem", related));
    std::wstring references = ValueOf(Row(L"Not available", Row(L"References")));
    EXPECT_EQ(0u, references.find(L"This machine does not answer REFERENCES OF: ")) << references;
    int queriesOfAssociators = 0;
    for (const ScriptedWmi::QueryCall& query : provider->queries)
    {
        queriesOfAssociators += query.text.rfind(L"ASSOCIATORS OF", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(1, queriesOfAssociators) << "one query for every class, as the association classes are not known";
}

// An instance that is gone, one the user may not read and a class the machine lacks: the sheet says which, and
// shows no rows.
TEST_F(InstanceFormTest, AMissingOrDeniedInstanceIsSaid)
{
    Start();
    Open(L"Win32_Disk.DeviceID=\"D9\"");
    EXPECT_EQ(L"The instance Win32_Disk.DeviceID=\"D9\" does not exist on the machine", W(Sheet().GetStatusText()));
    EXPECT_EQ(0, Model().GetRowCount());
    EXPECT_EQ(nullptr, Sheet().GetShown());

    provider->FindClass(L"Win32_Disk")->getInstanceResults[1] = WBEM_E_ACCESS_DENIED;
    Open(L"Win32_Disk.DeviceID=\"D1\"");
    EXPECT_EQ(L"Access to the instance Win32_Disk.DeviceID=\"D1\" is denied", W(Sheet().GetStatusText()));
    EXPECT_EQ(0, Model().GetRowCount());

    Open(L"Win32_Nothing.Name=\"x\"");
    EXPECT_EQ(L"WMI on target machine does not support classWin32_Nothing", W(Sheet().GetStatusText()));
    // Back goes to a step that failed as well as to one that did not.
    EXPECT_TRUE(Sheet().GoBack());
    Wait();
    EXPECT_EQ(L"Access to the instance Win32_Disk.DeviceID=\"D1\" is denied", W(Sheet().GetStatusText()));
    EXPECT_TRUE(desktop.messages.empty()) << "said in the sheet, not in a message box";
}

// "Reading ..." shows while the machine is asked; Esc closes the window then, and what the read brings later is
// dropped: the sheet stays empty and nothing fails.
TEST_F(InstanceFormTest, AWindowClosedWhileReadingTakesNothingBack)
{
    Start();
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> asked{false};
    provider->onGetObject = [&]
    {
        asked = true;
        WaitForSingleObject(go, INFINITE);
    };
    form->OpenInstance(form->GetConnections()[0], String(DiskPath));
    ASSERT_TRUE(Testing::PumpUntil([&] { return asked.load(); }));
    EXPECT_EQ(L"Reading Win32_Disk.DeviceID=\"D0\" ...", W(Sheet().GetStatusText()));
    EXPECT_EQ(L"Win32_Disk.DeviceID=\"D0\" - Properties", Title());
    EXPECT_TRUE(Sheet().IsReading());
    Testing::PressKey(Sheet().GetSheet(), Keys::Escape);
    EXPECT_FALSE(IsWindowVisible(static_cast<HWND>(Sheet().GetHandle())));
    SetEvent(go);
    ASSERT_TRUE(Core::Threading::BackgroundWork::WaitForAll(15000));
    provider->onGetObject = nullptr;
    CloseHandle(go);
    Testing::PumpMessages();
    Core::Threading::WindowThread::RunPosted();
    EXPECT_EQ(0, Model().GetRowCount());
    EXPECT_EQ(nullptr, Sheet().GetShown());
    EXPECT_FALSE(Sheet().IsReading());
}

// The main window goes while its sheet reads: the read ends by itself and nothing comes back to the window gone.
TEST_F(InstanceFormTest, TheProgramEndsWhileASheetReads)
{
    Start();
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> asked{false};
    provider->onGetObject = [&]
    {
        asked = true;
        WaitForSingleObject(go, INFINITE);
    };
    form->OpenInstance(form->GetConnections()[0], String(DiskPath));
    ASSERT_TRUE(Testing::PumpUntil([&] { return asked.load(); }));
    form.reset();
    SetEvent(go);
    ASSERT_TRUE(Core::Threading::BackgroundWork::WaitForAll(15000));
    provider->onGetObject = nullptr;
    CloseHandle(go);
    Testing::PumpMessages();
    Core::Threading::WindowThread::RunPosted();
}

// Ctrl+C copies the selected row as "Name = Value"; Ctrl+A then Ctrl+C every row shown, with the headings.
TEST_F(InstanceFormTest, CopyGivesNameEqualsValueLines)
{
    Start();
    Open(DiskPath);
    Sheet().GetSheet().SelectRow(Row(L"Size"));
    Testing::PressKey(Sheet().GetSheet(), 'C', Keys::Control);
    EXPECT_EQ(L"Size = 500\r\n", Testing::ClipboardText());
    Testing::PressKey(Sheet().GetSheet(), 'A', Keys::Control);
    Testing::PressKey(Sheet().GetSheet(), 'C', Keys::Control);
    std::wstring all = Testing::ClipboardText();
    EXPECT_EQ(0u, all.find(L"DeviceID = D0\r\nSize = 500\r\nSystem properties\r\n")) << all;
    EXPECT_NE(std::wstring::npos, all.find(L"\r\n  __RELPATH = Win32_Disk.DeviceID=\"D0\"\r\n")) << all;
    EXPECT_NE(std::wstring::npos, all.find(L"\r\nRelated\r\n  Win32_Partition = 2 objects\r\n")) << all;
}

// ---------------------------------------------------------------------------------------------------------------
// From the Results grid

namespace
{

class ResultsRowTest : public InstanceFormTest
{
protected:
    // Win32_Process of the Processes category, its instances keyed by ProcessId, loaded into the Results grid.
    void ShowProcesses(bool keyed = true)
    {
        if (keyed)
        {
            provider->FindClass(L"Win32_Process")->SetKeys({L"ProcessId"});
        }
        Start();
        TreeNode* node =
            Find(Tree().GetNodes(), {L"Local Machine", L"Operating System", L"Processes", L"Win32_Process"});
        ASSERT_NE(nullptr, node);
        Tree().SetSelectedNode(node);
        Settle();
        ASSERT_EQ(4, Grid().GetRowCount());
    }
    Core::Controls::Grid& Grid() { return form->GetResultsGrid(); }
    void WaitForSheet()
    {
        ASSERT_TRUE(Testing::PumpUntil([&] { return form->GetInstanceForm() != nullptr; }));
        Wait();
    }
};

} // namespace

// Enter on the selected row reads that row's instance by the path the load gave with it.
TEST_F(ResultsRowTest, EnterOnARowOpensItsInstance)
{
    ShowProcesses();
    Grid().SelectRow(2);
    Grid().Focus();
    Testing::PressKey(Grid(), Keys::Return);
    WaitForSheet();
    EXPECT_EQ(L"Win32_Process.ProcessId=2 - Properties", Title());
    EXPECT_EQ(L"p2", ValueOf(Row(L"Name")));
    EXPECT_NE(0, Model().GetFlags(Row(L"ProcessId")) & PropertyRowFlags::Key);
    EXPECT_EQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Process.ProcessId=2", provider->getObjectPaths.back());
}

// A double click on a row opens it; a double click on the header opens nothing.
TEST_F(ResultsRowTest, ADoubleClickOnARowOpensItsInstance)
{
    ShowProcesses();
    HWND grid = static_cast<HWND>(Grid().GetHandle());
    SendMessageW(grid, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 3));
    Testing::PumpMessages();
    EXPECT_EQ(nullptr, form->GetInstanceForm()) << "the header is no row";
    Core::Controls::Rectangle bounds = Grid().GetRowBounds(1);
    SendMessageW(grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, bounds.top + 3));
    SendMessageW(grid, WM_LBUTTONUP, 0, MAKELPARAM(20, bounds.top + 3));
    SendMessageW(grid, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, bounds.top + 3));
    SendMessageW(grid, WM_LBUTTONUP, 0, MAKELPARAM(20, bounds.top + 3));
    WaitForSheet();
    EXPECT_EQ(L"Win32_Process.ProcessId=1 - Properties", Title());
}

// "Properties" in the grid's context menu opens the row the right click selected.
TEST_F(ResultsRowTest, PropertiesInTheContextMenuOpensTheRow)
{
    ShowProcesses();
    HWND grid = static_cast<HWND>(Grid().GetHandle());
    Core::Controls::Rectangle bounds = Grid().GetRowBounds(3);
    SendMessageW(grid, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, bounds.top + 3));
    SendMessageW(grid, WM_RBUTTONUP, 0, MAKELPARAM(20, bounds.top + 3));
    EXPECT_EQ(3, Grid().GetSelectedRow());
    POINT point = {20, bounds.top + 3};
    ClientToScreen(grid, &point);
    SendMessageW(grid, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(grid), MAKELPARAM(point.x, point.y));
    ContextMenu& menu = form->GetClassView().GetResultsMenu();
    ASSERT_TRUE(menu.IsOpen());
    ASSERT_EQ(1, menu.GetMenuItems().GetCount());
    EXPECT_EQ(L"&Properties", W(menu.GetMenuItems()[0]->GetText()));
    Testing::PressKeyTo(grid, Keys::Down);
    Testing::PressKeyTo(grid, Keys::Return);
    WaitForSheet();
    EXPECT_EQ(L"Win32_Process.ProcessId=3 - Properties", Title());
}

// A class without keys gives its rows no path: the sheet says why nothing can be read, and asks the machine nothing.
TEST_F(ResultsRowTest, ARowWithoutAPathSaysWhy)
{
    ShowProcesses(false);
    size_t asked = provider->getObjectPaths.size();
    Grid().SelectRow(0);
    Grid().Focus();
    Testing::PressKey(Grid(), Keys::Return);
    ASSERT_NE(nullptr, form->GetInstanceForm());
    EXPECT_EQ(0u, W(Sheet().GetStatusText()).find(L"This row has no object path")) << W(Sheet().GetStatusText());
    EXPECT_EQ(L"Properties", Title());
    EXPECT_EQ(0, Model().GetRowCount());
    EXPECT_FALSE(Sheet().IsReading());
    EXPECT_EQ(asked, provider->getObjectPaths.size());
    EXPECT_TRUE(desktop.messages.empty());
}

// ---------------------------------------------------------------------------------------------------------------
// Over Wine's own WMI

namespace
{

class WineInstanceFormTest : public ScriptedMainFormTest
{
protected:
    WineInstanceFormTest() { scripted = false; }
    Quarrow::InstanceForm& Sheet() { return *form->GetInstanceForm(); }
    PropertyListModel& Model() { return Sheet().GetSheet().GetModel(); }
};

} // namespace

// Wine reads a disk by its path and answers ASSOCIATORS OF for it, but refuses REFERENCES OF: the related objects
// come by their class alone, and References says it is not available.
TEST_F(WineInstanceFormTest, ADiskOfWineShowsItsRelatedObjectsByClassAlone)
{
    Start();
    form->OpenInstance(form->GetConnections()[0], String(L"Win32_LogicalDisk.DeviceID=\"C:\""));
    ASSERT_NE(nullptr, form->GetInstanceForm());
    ASSERT_TRUE(Testing::PumpUntil([&] { return !Sheet().IsReading() && !Sheet().IsReadingRelated(); }));
    // Wine spells the key DeviceId.
    EXPECT_EQ(L"win32_logicaldisk.deviceid=\"c:\" - properties", W(Sheet().GetText().ToLower()));
    // Wine's qualifier sets hold no key: the key is the one the path names.
    ASSERT_GT(Model().GetRowCount(), 1);
    EXPECT_EQ(L"DeviceId", W(Model().GetName(1)));
    EXPECT_NE(0, Model().GetFlags(1) & PropertyRowFlags::Key);
    EXPECT_EQ(0, Model().GetFlags(0) & PropertyRowFlags::Key) << W(Model().GetName(0));
    auto child = [&](int parent, const wchar_t* name)
    {
        for (int row = Model().GetFirstChild(parent); row != NoRow; row = Model().GetNextSibling(row))
        {
            if (Model().GetName(row) == String(name))
            {
                return row;
            }
        }
        return NoRow;
    };
    int related = NoRow;
    int references = NoRow;
    for (int row = 0; row < Model().GetRowCount(); row++)
    {
        related = Model().GetName(row) == String(L"Related") ? row : related;
        references = Model().GetName(row) == String(L"References") ? row : references;
    }
    ASSERT_NE(NoRow, related);
    int partitions = child(related, L"Win32_DiskPartition");
    ASSERT_NE(NoRow, partitions);
    EXPECT_EQ(L"", W(Model().GetType(partitions))) << "no association class without REFERENCES OF";
    int partition = Model().GetFirstChild(partitions);
    ASSERT_NE(NoRow, partition);
    EXPECT_EQ(0u, W(Model().GetValue(partition)).find(L"Win32_DiskPartition.")) << W(Model().GetValue(partition));
    int unavailable = child(references, L"Not available");
    ASSERT_NE(NoRow, unavailable);
    EXPECT_EQ(0u, W(Model().GetValue(unavailable)).find(L"This machine does not answer REFERENCES OF: "));

    // The partition opens in the same window, and Back goes to the disk again.
    ASSERT_TRUE(Sheet().GetSheet().ActivateLink(partition));
    ASSERT_TRUE(Testing::PumpUntil([&] { return !Sheet().IsReading() && !Sheet().IsReadingRelated(); }));
    ASSERT_NE(nullptr, Sheet().GetShown()) << W(Sheet().GetStatusText());
    EXPECT_EQ(L"Win32_DiskPartition", W(Sheet().GetShown()->GetObjectClass()));
    EXPECT_TRUE(Sheet().GoBack());
    ASSERT_TRUE(Testing::PumpUntil([&] { return !Sheet().IsReading() && !Sheet().IsReadingRelated(); }));
    ASSERT_NE(nullptr, Sheet().GetShown());
    EXPECT_EQ(L"Win32_LogicalDisk", W(Sheet().GetShown()->GetObjectClass()));
}

// ---------------------------------------------------------------------------------------------------------------
// Keys read from a relative path

// The short names of related objects and the keys Wine's objects do not mark, from paths as WMI writes them.
TEST(RelativePathKeysTest, KeyValuesAndNamesComeFromThePath)
{
    using Quarrow::KeyNamesOf;
    using Quarrow::KeyValuesOf;
    EXPECT_EQ(L"D0", W(KeyValuesOf(String(L"Win32_Disk.DeviceID=\"D0\""))));
    EXPECT_EQ(L"x, 2", W(KeyValuesOf(String(L"Link.A=\"x\",B=2"))));
    // Escaped quotes and backslashes inside a value, and a comma that belongs to it.
    EXPECT_EQ(L"C:\\a \"b\", c, 7", W(KeyValuesOf(String(L"File.Name=\"C:\\\\a \\\"b\\\", c\",Size=7"))));
    EXPECT_EQ(L"@", W(KeyValuesOf(String(L"Win32_WmiSetting=@"))));
    EXPECT_EQ(L"Win32_Thing", W(KeyValuesOf(String(L"Win32_Thing"))));

    Core::Collections::ArrayList<String> names = KeyNamesOf(String(L"File.Name=\"a,b=c\",Size=7"));
    ASSERT_EQ(2, names.GetCount());
    EXPECT_EQ(L"Name", W(names[0]));
    EXPECT_EQ(L"Size", W(names[1]));
    EXPECT_EQ(0, KeyNamesOf(String(L"Win32_WmiSetting=@")).GetCount());
    EXPECT_EQ(0, KeyNamesOf(String(L"Win32_Thing")).GetCount());

    // An association seen from one of its ends is named by the others, full paths or relative ones.
    using Quarrow::OtherEndsOf;
    const String link(L"Link.A=\"\\\\PC\\root\\cimv2:Disk.ID=\\\"D0\\\"\",B=\"Part.ID=\\\"P0\\\"\"");
    EXPECT_EQ(L"P0", W(OtherEndsOf(link, String(L"Disk.ID=\"D0\""))));
    EXPECT_EQ(L"D0", W(OtherEndsOf(link, String(L"part.id=\"P0\"")))) << "paths compare without regard to case";
    EXPECT_EQ(L"D0, P0", W(OtherEndsOf(link, String(L"Other.ID=1"))));
    EXPECT_EQ(L"7", W(OtherEndsOf(String(L"Link.Number=7"), String(L"Disk.ID=\"D0\""))));
}

// After a load from every machine, a row opens through the machine it came from.
TEST_F(ResultsRowTest, ARowLoadedFromAllMachinesOpensOnItsOwnMachine)
{
    provider->machines = {{L"other", {}}};
    ShowProcesses();
    WhenVisible(L"Quarrow.ConnectForm",
                [this](HWND dialog)
                {
                    FindControls<Core::Controls::TextBox>(*form->GetConnectForm())[0]->SetText(String(L"other"));
                    PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 1);
                });
    form->RunCommand(Quarrow::Command::Connect);
    ASSERT_EQ(2, Tree().GetNodes().GetCount());
    Tree().SetSelectedNode(
        Find(Tree().GetNodes(), {L"Local Machine", L"Operating System", L"Processes", L"Win32_Process"}));
    Settle();
    form->RunCommand(Quarrow::Command::LoadAllMachines);
    ASSERT_TRUE(Testing::PumpUntil([&] { return Status(0).find(L"Loading completed") == 0; })) << Status(0);
    ASSERT_EQ(8, Grid().GetRowCount());
    int row = -1;
    for (int r = 0; r < Grid().GetRowCount() && row < 0; r++)
    {
        row = W(Grid().GetCellText(r, 0)) == L"other" && W(Grid().GetCellText(r, 1)) == L"p3" ? r : -1;
    }
    ASSERT_GE(row, 0);
    Grid().SelectRow(row);
    Grid().Focus();
    Testing::PressKey(Grid(), Keys::Return);
    WaitForSheet();
    EXPECT_EQ(L"Win32_Process.ProcessId=3 - Properties", Title());
    int server = Row(L"__SERVER", Row(L"System properties"));
    EXPECT_EQ(L"other", W(Model().GetValue(server).ToLower()));
}

// A typed query gives its rows a path when it selects the keys: SELECT * does, a list of other properties does not.
TEST_F(ResultsRowTest, AQueryRowOpensWhenTheQuerySelectedTheKeys)
{
    provider->FindClass(L"Win32_Process")->SetKeys({L"ProcessId"});
    Start();
    auto run = [&](const wchar_t* text)
    {
        Testing::PressKey(*form, 'Q', Keys::Control);
        Testing::PumpMessages();
        Core::Controls::TextArea& area = form->GetQueryPage().GetTextArea();
        area.SelectAll();
        area.ReplaceSelection(String(text));
        Testing::PressKey(area, Keys::F5);
        ASSERT_TRUE(Testing::PumpUntil(
            [&]
            {
                WMI::ManagementObject* query = form->GetClassView().GetQuery();
                return query != nullptr && !query->IsLoading() && Status(0).find(L"Loading completed") == 0;
            }));
        ASSERT_EQ(4, Grid().GetRowCount());
        Grid().SelectRow(1);
        Grid().Focus();
        Testing::PressKey(Grid(), Keys::Return);
        WaitForSheet();
    };
    run(L"SELECT Name FROM Win32_Process");
    EXPECT_EQ(0u, W(Sheet().GetStatusText()).find(L"This row has no object path")) << W(Sheet().GetStatusText());
    run(L"SELECT * FROM Win32_Process");
    EXPECT_EQ(L"Win32_Process.ProcessId=1 - Properties", Title());
    EXPECT_EQ(L"p1", ValueOf(Row(L"Name")));
    EXPECT_TRUE(Sheet().GoBack()) << "the query without keys was a step too";
    EXPECT_EQ(0u, W(Sheet().GetStatusText()).find(L"This row has no object path"));
}

// Screen readers find the sheet as an outline named "Properties": each property an item with its value, its type
// and key mark as the description.
TEST_F(InstanceFormTest, ScreenReadersFindTheSheetAsAnOutline)
{
    Start();
    Open(DiskPath);
    Testing::Accessible outline = Testing::Accessible::OfWindow(Sheet().GetSheet().GetHandle());
    ASSERT_TRUE(outline);
    EXPECT_EQ(ROLE_SYSTEM_OUTLINE, outline.Role());
    EXPECT_EQ(L"Properties", outline.Name());
    EXPECT_EQ(L"DeviceID", outline.Name(1));
    EXPECT_EQ(L"D0", outline.Value(1));
    EXPECT_EQ(L"Key, string", outline.Description(1));
    EXPECT_EQ(L"Size", outline.Name(2));
    EXPECT_EQ(L"unsigned int64", outline.Description(2));
}
