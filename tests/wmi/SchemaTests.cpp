// Namespaces, class hierarchies and the class search over a scripted machine.
#include "wmi/Schema.h"
#include "wmi/SchemaCatalogue.h"

#include "core/threading/BackgroundWork.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/ThrownMessage.h"
#include "tests/wmi/WmiTesting.h"
#include "wmi/InvalidWMIClassException.h"

#include <atomic>
#include <string>
#include <vector>

using Core::String;
using Core::Collections::ArrayList;
using ScriptedWmi::Value;
using Testing::ThrownMessage;
using WMI::ClassEntry;
using WMI::ClassSchema;
using WMI::ManagementConnection;
using WMI::SchemaCatalogue;
using WMI::SchemaMatch;

namespace
{

std::vector<std::wstring> Texts(const ArrayList<String>& list)
{
    std::vector<std::wstring> texts;
    for (int i = 0; i < list.GetCount(); i++)
    {
        texts.emplace_back(list[i].GetBuffer());
    }
    return texts;
}

template <typename Entry> std::vector<std::wstring> Names(const ArrayList<Entry>& list)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < list.GetCount(); i++)
    {
        names.emplace_back(list[i].name.GetBuffer());
    }
    return names;
}

// Each match as namespace:class.property (or namespace:class for a class name).
std::vector<std::wstring> Matches(const ArrayList<SchemaMatch>& matches)
{
    std::vector<std::wstring> texts;
    for (int i = 0; i < matches.GetCount(); i++)
    {
        std::wstring text = std::wstring(matches[i].nameSpace.GetBuffer()) + L":" + matches[i].className.GetBuffer();
        if (!matches[i].property.IsEmpty())
        {
            text += std::wstring(L".") + matches[i].property.GetBuffer();
        }
        texts.push_back(text);
    }
    return texts;
}

std::vector<std::wstring> Failures(const SchemaCatalogue& catalogue)
{
    std::vector<std::wstring> texts;
    ArrayList<WMI::NamespaceFailure> failures = catalogue.GetFailures();
    for (int i = 0; i < failures.GetCount(); i++)
    {
        texts.push_back(std::wstring(failures[i].nameSpace.GetBuffer()) + L" | " + failures[i].message.GetBuffer());
    }
    return texts;
}

class SchemaTest : public WmiTesting::ScriptedTest
{
protected:
    // A connection to a namespace of the scripted local machine.
    std::unique_ptr<ManagementConnection> ConnectTo(const wchar_t* nameSpace)
    {
        auto connection = std::make_unique<ManagementConnection>();
        connection->Connect(String(), String(), String(), String(), String(nameSpace));
        return connection;
    }

    // The hierarchy of a CIM-like root\cimv2, added in no particular order of names.
    void AddHierarchy()
    {
        const wchar_t* cim = L"root\\cimv2";
        provider.AddClass(cim, L"__SystemClass", L"", {});
        provider.AddClass(cim, L"__Provider", L"__SystemClass", {{L"Name", CIM_STRING}});
        provider.AddClass(cim, L"CIM_ManagedSystemElement", L"", {{L"Caption", CIM_STRING}, {L"Name", CIM_STRING}})
            .qualifiers.emplace_back(L"abstract", Value::Bool(true));
        provider.AddClass(cim, L"CIM_LogicalElement", L"CIM_ManagedSystemElement", {})
            .qualifiers.emplace_back(L"Abstract", Value::Bool(true));
        provider.AddClass(cim, L"Win32_Loner", L"", {{L"Size", CIM_UINT64}});
        provider.AddClass(cim, L"CIM_LogicalDevice", L"CIM_LogicalElement", {{L"DeviceID", CIM_STRING}});
        provider.AddClass(cim, L"CIM_Process", L"CIM_LogicalElement", {{L"Handle", CIM_STRING}});
        provider.AddClass(cim, L"Win32_DiskDrive", L"CIM_LogicalDevice", {{L"Size", CIM_UINT64}});
        provider.AddClass(cim, L"cim_Component", L"", {{L"GroupComponent", CIM_REFERENCE}}).qualifiers = {
            {L"abstract", Value::Bool(true)}, {L"ASSOCIATION", Value::Bool(true)}};
        // A false qualifier is not a true one.
        provider.AddClass(cim, L"Win32_NotAbstract", L"", {}).qualifiers.emplace_back(L"abstract", Value::Bool(false));
    }

    // A machine of several namespaces and levels, with classes whose names and properties hold "disk".
    void AddMachine()
    {
        provider.AddClass(L"root", L"__SystemClass", L"", {});
        provider.AddClass(L"root\\cimv2", L"Win32_LogicalDisk", L"",
                          {{L"FreeSpace", CIM_UINT64}, {L"Size", CIM_UINT64}});
        provider.AddClass(L"root\\cimv2", L"Win32_Volume", L"",
                          {{L"DriveLetter", CIM_STRING}, {L"DiskSerial", CIM_STRING}});
        provider.AddClass(L"root\\cimv2", L"CIM_Disk", L"", {{L"Name", CIM_STRING}});
        provider.AddNamespace(L"root\\cimv2\\ms_409");
        provider.AddClass(L"root\\Microsoft\\Windows\\Storage", L"MSFT_Disk", L"", {{L"Number", CIM_UINT32}});
        provider.AddClass(L"root\\Microsoft\\Windows\\Storage", L"MSFT_Volume", L"", {{L"SizeRemaining", CIM_UINT64}});
        provider.AddClass(L"root\\wmi", L"MSDiskDriver_Geometry", L"", {{L"Cylinders", CIM_SINT64}});
        provider.AddClass(L"root\\wmi", L"MSNdis", L"", {{L"Active", CIM_BOOLEAN}});
        provider.AddNamespace(L"root\\ms_409");
    }
};

} // namespace

// --- namespaces ---

TEST_F(SchemaTest, TheChildNamespacesAreSortedWithoutCaseAndTheLocalisedOnesLeftOut)
{
    for (const wchar_t* path : {L"root\\wmi", L"root\\ms_409", L"root\\Microsoft", L"root\\default", L"root\\MS_0407",
                                L"root\\ms_40a", L"root\\MS_409", L"root\\Appv", L"root\\ms_4091"})
    {
        provider.AddNamespace(path);
    }
    auto root = ConnectTo(L"root");
    // ms_ and three digits are localised namespaces; ms_40a, ms_4091 and MS_0407 are not of that form.
    EXPECT_EQ((std::vector<std::wstring>{L"Appv", L"cimv2", L"default", L"Microsoft", L"MS_0407", L"ms_4091", L"ms_40a",
                                         L"wmi"}),
              Texts(WMI::ReadChildNamespaces(root.get())));
    ASSERT_EQ(1u, provider.queries.size());
    EXPECT_EQ(L"SELECT * FROM __NAMESPACE", provider.queries[0].text);
    EXPECT_EQ(L"WQL", provider.queries[0].language);
    EXPECT_EQ(0x30, provider.queries[0].flags);
    EXPECT_EQ(L"root", provider.queries[0].nameSpace);
    EXPECT_EQ(L"enumerator", provider.blankets.back().target);
}

TEST_F(SchemaTest, ANamespaceTreeIsReadLevelByLevel)
{
    provider.AddNamespace(L"root\\Microsoft\\Windows\\Storage\\Providers_v2");
    provider.AddNamespace(L"root\\Microsoft\\Windows\\Defender");
    provider.AddNamespace(L"root\\Microsoft\\Windows\\ms_409");
    auto root = ConnectTo(L"root");
    EXPECT_EQ((std::vector<std::wstring>{L"cimv2", L"Microsoft"}), Texts(WMI::ReadChildNamespaces(root.get())));
    String microsoft = WMI::ChildNamespacePath(root->GetNamespace(), String(L"Microsoft"));
    EXPECT_STREQ(L"root\\Microsoft", microsoft.GetBuffer());
    auto windows = root->ConnectNamespace(WMI::ChildNamespacePath(microsoft, String(L"Windows")));
    EXPECT_EQ((std::vector<std::wstring>{L"Defender", L"Storage"}), Texts(WMI::ReadChildNamespaces(windows.get())));
    auto storage = root->ConnectNamespace(String(L"root\\Microsoft\\Windows\\Storage"));
    EXPECT_EQ(std::vector<std::wstring>{L"Providers_v2"}, Texts(WMI::ReadChildNamespaces(storage.get())));
    auto leaf = root->ConnectNamespace(String(L"root\\Microsoft\\Windows\\Storage\\Providers_v2"));
    EXPECT_TRUE(Texts(WMI::ReadChildNamespaces(leaf.get())).empty());
}

TEST_F(SchemaTest, NamespacesThatCannotBeListedAreNamedInTheMessage)
{
    provider.FindNamespace(L"root\\cimv2")->namespaceQueryResult = WBEM_E_ACCESS_DENIED;
    auto cimv2 = Connect();
    EXPECT_EQ(L"Could not list the namespaces in root\\cimv2: The current or specified user name and password were "
              L"not valid or authorized to make the connection",
              ThrownMessage([&] { WMI::ReadChildNamespaces(cimv2.get()); }));
    // Wine's root has no __NAMESPACE class: a code the message table lacks is given as a number.
    provider.FindNamespace(L"root\\cimv2")->namespaceQueryResult = WBEM_E_INVALID_CLASS;
    EXPECT_EQ(L"Could not list the namespaces in root\\cimv2: Unknown error (0x80041010)",
              ThrownMessage([&] { WMI::ReadChildNamespaces(cimv2.get()); }));
}

TEST_F(SchemaTest, ASessionKeptByAWorkerReadsAfterItsConnectionIsGone)
{
    provider.AddNamespace(L"root\\wmi");
    auto root = ConnectTo(L"root");
    std::shared_ptr<const WMI::ConnectionSession> session = root->GetSession();
    root.reset();
    EXPECT_EQ((std::vector<std::wstring>{L"cimv2", L"wmi"}), Texts(WMI::ReadChildNamespaces(*session)));
}

TEST_F(SchemaTest, AConnectionThatIsNotOpenIsRefused)
{
    ManagementConnection unconnected;
    EXPECT_THROW(WMI::ReadChildNamespaces(&unconnected), Core::InvalidOperationException);
    EXPECT_THROW(WMI::ReadSubclasses(nullptr, String()), Core::ArgumentNullException);
}

// --- classes ---

TEST_F(SchemaTest, TheTopClassesWithTheirFlagsSortedByName)
{
    AddHierarchy();
    auto cimv2 = Connect();
    ArrayList<ClassEntry> top = WMI::ReadSubclasses(cimv2.get(), String());
    // Ordinal order without case: letters before the underscore of the system classes.
    ASSERT_EQ((std::vector<std::wstring>{L"cim_Component", L"CIM_ManagedSystemElement", L"Win32_Loner",
                                         L"Win32_NotAbstract", L"__SystemClass"}),
              Names(top));
    EXPECT_TRUE(top[0].isAbstract);
    EXPECT_TRUE(top[0].isAssociation);
    EXPECT_FALSE(top[0].isSystem);
    EXPECT_TRUE(top[1].isAbstract);
    EXPECT_FALSE(top[1].isAssociation);
    EXPECT_FALSE(top[2].isAbstract);
    EXPECT_FALSE(top[3].isAbstract);
    EXPECT_TRUE(top[4].isSystem);
    EXPECT_FALSE(top[4].isAbstract);
    for (int i = 0; i < top.GetCount(); i++)
    {
        EXPECT_TRUE(top[i].superclass.IsEmpty()) << top[i].name.GetBuffer();
    }
    ASSERT_EQ(1u, provider.classEnums.size());
    EXPECT_TRUE(provider.classEnums[0].superclassNull);
    // WBEM_FLAG_SHALLOW, returning at once, forward only.
    EXPECT_EQ(0x31, provider.classEnums[0].flags);
    EXPECT_EQ(L"class enumerator", provider.blankets.back().target);
    EXPECT_EQ(0u, provider.blankets.back().authenticationLevel);
}

TEST_F(SchemaTest, SubclassesLevelByLevel)
{
    AddHierarchy();
    auto cimv2 = Connect();
    ArrayList<ClassEntry> second = WMI::ReadSubclasses(cimv2.get(), String(L"CIM_ManagedSystemElement"));
    ASSERT_EQ(std::vector<std::wstring>{L"CIM_LogicalElement"}, Names(second));
    EXPECT_STREQ(L"CIM_ManagedSystemElement", second[0].superclass.GetBuffer());
    EXPECT_TRUE(second[0].isAbstract); // the qualifier's name in another case
    ArrayList<ClassEntry> third = WMI::ReadSubclasses(cimv2.get(), String(L"CIM_LogicalElement"));
    ASSERT_EQ((std::vector<std::wstring>{L"CIM_LogicalDevice", L"CIM_Process"}), Names(third));
    EXPECT_STREQ(L"CIM_LogicalElement", third[1].superclass.GetBuffer());
    EXPECT_FALSE(third[0].isAbstract);
    EXPECT_EQ(std::vector<std::wstring>{L"Win32_DiskDrive"},
              Names(WMI::ReadSubclasses(cimv2.get(), String(L"CIM_LogicalDevice"))));
    EXPECT_TRUE(Names(WMI::ReadSubclasses(cimv2.get(), String(L"Win32_DiskDrive"))).empty());
    ArrayList<ClassEntry> system = WMI::ReadSubclasses(cimv2.get(), String(L"__SystemClass"));
    ASSERT_EQ(std::vector<std::wstring>{L"__Provider"}, Names(system));
    EXPECT_TRUE(system[0].isSystem);
    EXPECT_EQ(L"CIM_LogicalElement", provider.classEnums[1].superclass);
    EXPECT_FALSE(provider.classEnums[1].superclassNull);
    EXPECT_EQ(0x31, provider.classEnums[1].flags);
}

TEST_F(SchemaTest, ASuperclassTheNamespaceLacksRaisesInvalidWMIClassException)
{
    AddHierarchy();
    auto cimv2 = Connect();
    EXPECT_THROW(WMI::ReadSubclasses(cimv2.get(), String(L"CIM_Tardis")), WMI::InvalidWMIClassException);
    EXPECT_EQ(L"WMI on target machine does not support classCIM_Tardis",
              ThrownMessage([&] { WMI::ReadSubclasses(cimv2.get(), String(L"CIM_Tardis")); }));
}

TEST_F(SchemaTest, ClassesThatCannotBeEnumeratedAreNamedInTheMessage)
{
    AddHierarchy();
    provider.FindNamespace(L"root\\cimv2")->classEnumResult = WBEM_E_FAILED;
    auto cimv2 = Connect();
    EXPECT_EQ(L"Could not list the classes in root\\cimv2: Unspecified error",
              ThrownMessage([&] { WMI::ReadSubclasses(cimv2.get(), String()); }));
    EXPECT_EQ(L"Could not list the classes in root\\cimv2: Unspecified error",
              ThrownMessage([&] { WMI::ReadAllClasses(cimv2.get()); }));
    provider.FindNamespace(L"root\\cimv2")->classEnumResult = WBEM_E_ACCESS_DENIED;
    EXPECT_EQ(L"Could not list the classes in root\\cimv2: The current or specified user name and password were not "
              L"valid or authorized to make the connection",
              ThrownMessage([&] { WMI::ReadSubclasses(cimv2.get(), String(L"CIM_LogicalElement")); }));
}

TEST_F(SchemaTest, AnEnumerationThatFailsPartWayIsAnError)
{
    AddHierarchy();
    provider.FindNamespace(L"root\\cimv2")->classEnumFailAfter = 3;
    provider.largestBatch = 2;
    auto cimv2 = Connect();
    EXPECT_EQ(L"Could not list the classes in root\\cimv2: Unspecified error",
              ThrownMessage([&] { WMI::ReadAllClasses(cimv2.get()); }));
}

TEST_F(SchemaTest, ABlanketRefusedOnTheClassEnumeratorIsAnError)
{
    AddHierarchy();
    auto cimv2 = Connect();
    provider.enumeratorBlanketResult = E_ACCESSDENIED;
    EXPECT_EQ(L"Could not list the classes in root\\cimv2: The current or specified user name and password were not "
              L"valid or authorized to make the connection",
              ThrownMessage([&] { WMI::ReadSubclasses(cimv2.get(), String()); }));
}

TEST_F(SchemaTest, EveryClassOfANamespaceWithItsPropertiesInheritedOnesFirst)
{
    AddHierarchy();
    auto cimv2 = Connect();
    ArrayList<ClassSchema> all = WMI::ReadAllClasses(cimv2.get());
    ASSERT_EQ((std::vector<std::wstring>{L"cim_Component", L"CIM_LogicalDevice", L"CIM_LogicalElement",
                                         L"CIM_ManagedSystemElement", L"CIM_Process", L"Win32_DiskDrive",
                                         L"Win32_Loner", L"Win32_NotAbstract", L"__Provider", L"__SystemClass"}),
              Names(all));
    EXPECT_EQ((std::vector<std::wstring>{L"Caption", L"Name", L"DeviceID", L"Size"}), Texts(all[5].properties));
    EXPECT_STREQ(L"CIM_LogicalDevice", all[5].superclass.GetBuffer());
    EXPECT_TRUE(all[2].isAbstract);
    EXPECT_TRUE(all[0].isAssociation);
    EXPECT_TRUE(all[9].isSystem);
    EXPECT_TRUE(all[9].properties.GetCount() == 0);
    ASSERT_EQ(1u, provider.classEnums.size());
    EXPECT_TRUE(provider.classEnums[0].superclassNull);
    // WBEM_FLAG_DEEP, returning at once, forward only.
    EXPECT_EQ(0x30, provider.classEnums[0].flags);
    for (LONG flags : provider.getNamesFlags)
    {
        EXPECT_EQ(WBEM_FLAG_NONSYSTEM_ONLY, flags);
    }
}

TEST_F(SchemaTest, OneClassByNameWithItsEntryAndProperties)
{
    AddHierarchy();
    auto cimv2 = Connect();
    ClassSchema disk = WMI::ReadClass(cimv2.get(), String(L"win32_diskdrive"));
    EXPECT_STREQ(L"Win32_DiskDrive", disk.name.GetBuffer());
    EXPECT_STREQ(L"CIM_LogicalDevice", disk.superclass.GetBuffer());
    EXPECT_EQ((std::vector<std::wstring>{L"Caption", L"Name", L"DeviceID", L"Size"}), Texts(disk.properties));
    EXPECT_TRUE(WMI::ReadClass(cimv2.get(), String(L"cim_Component")).isAssociation);
    EXPECT_EQ(L"WMI on target machine does not support classWin32_Tardis",
              ThrownMessage([&] { WMI::ReadClass(cimv2.get(), String(L"Win32_Tardis")); }));
    provider.getObjectResult = WBEM_E_ACCESS_DENIED;
    EXPECT_EQ(L"Could not read the class Win32_DiskDrive in root\\cimv2: The current or specified user name and "
              L"password were not valid or authorized to make the connection",
              ThrownMessage([&] { WMI::ReadClass(cimv2.get(), String(L"Win32_DiskDrive")); }));
}

TEST_F(SchemaTest, AReadStoppedBeforeItBeganAsksNothing)
{
    AddHierarchy();
    auto cimv2 = Connect();
    int callsBefore = provider.calls;
    auto stopped = [] { return true; };
    EXPECT_EQ(0, WMI::ReadSubclasses(cimv2.get(), String(), stopped).GetCount());
    EXPECT_EQ(0, WMI::ReadAllClasses(cimv2.get(), stopped).GetCount());
    EXPECT_EQ(0, WMI::ReadChildNamespaces(cimv2.get(), stopped).GetCount());
    EXPECT_EQ(callsBefore, provider.calls.load());
}

TEST_F(SchemaTest, AStopBetweenBatchesEndsTheEnumeration)
{
    AddHierarchy();
    provider.largestBatch = 3;
    auto cimv2 = Connect();
    int nexts = 0;
    provider.onNext = [&](int) { nexts++; };
    ArrayList<ClassSchema> part = WMI::ReadAllClasses(cimv2.get(), [&] { return nexts == 2; });
    EXPECT_EQ(6, part.GetCount());
    EXPECT_EQ(2, nexts);
}

// --- the catalogue ---

TEST_F(SchemaTest, ASearchFindsClassAndPropertyNamesInEveryNamespaceWithoutCase)
{
    AddMachine();
    auto machine = Connect();
    SchemaCatalogue catalogue;
    ArrayList<SchemaMatch> found = catalogue.Search(*machine, String(L"dISk"));
    // Namespaces in the order walked (each before the ones inside it, in name order), classes by name, a class's
    // name before its properties.
    EXPECT_EQ((std::vector<std::wstring>{
                  L"root\\cimv2:CIM_Disk", L"root\\cimv2:Win32_LogicalDisk", L"root\\cimv2:Win32_Volume.DiskSerial",
                  L"root\\Microsoft\\Windows\\Storage:MSFT_Disk", L"root\\wmi:MSDiskDriver_Geometry"}),
              Matches(found));
    EXPECT_TRUE(catalogue.IsComplete());
    EXPECT_EQ((std::vector<std::wstring>{L"root", L"root\\cimv2", L"root\\Microsoft", L"root\\Microsoft\\Windows",
                                         L"root\\Microsoft\\Windows\\Storage", L"root\\wmi"}),
              Texts(catalogue.GetNamespaces()));
    EXPECT_EQ(8, catalogue.GetClassCount());
    EXPECT_TRUE(Failures(catalogue).empty());
    // Every namespace's classes were read deep from the top; the localised namespaces were not read at all.
    ASSERT_EQ(6u, provider.classEnums.size());
    for (const ScriptedWmi::ClassEnumCall& call : provider.classEnums)
    {
        EXPECT_TRUE(call.superclassNull);
        EXPECT_EQ(0x30, call.flags);
    }
    for (const ScriptedWmi::ConnectCall& call : provider.connects)
    {
        EXPECT_EQ(std::wstring::npos, call.path.find(L"ms_409")) << call.path;
    }
}

TEST_F(SchemaTest, PropertyNamesMatchOnePerNameAndTheEmptyTextFindsNothing)
{
    AddMachine();
    SchemaCatalogue catalogue;
    catalogue.Read(*Connect());
    // "Size" and "SizeRemaining" each hold the text once; "FreeSpace" does not.
    EXPECT_EQ((std::vector<std::wstring>{L"root\\cimv2:Win32_LogicalDisk.Size",
                                         L"root\\Microsoft\\Windows\\Storage:MSFT_Volume.SizeRemaining"}),
              Matches(catalogue.Find(String(L"size"))));
    EXPECT_EQ(2, catalogue.Count(String(L"SIZE")));
    // A text that runs from one name into the next matches neither.
    EXPECT_EQ(0, catalogue.Count(String(L"DiskFreeSpace")));
    EXPECT_EQ(0, catalogue.Find(String()).GetCount());
    EXPECT_EQ(std::vector<std::wstring>{L"root:__SystemClass"}, Matches(catalogue.Find(String(L"__sys"))));
}

TEST_F(SchemaTest, ALimitedFindGivesTheFirstMatchesInOrder)
{
    AddMachine();
    SchemaCatalogue catalogue;
    catalogue.Read(*Connect());
    EXPECT_EQ((std::vector<std::wstring>{L"root\\cimv2:CIM_Disk", L"root\\cimv2:Win32_LogicalDisk"}),
              Matches(catalogue.Find(String(L"disk"), 2)));
    EXPECT_EQ(5, catalogue.Find(String(L"disk"), 50).GetCount());
    EXPECT_EQ(5, catalogue.Find(String(L"disk"), 0).GetCount());
}

TEST_F(SchemaTest, NamesBeyondAsciiMatchWithoutCaseAndKeepTheirPlaces)
{
    provider.AddClass(L"root\\cimv2", L"Contoso_\u00DCberwachung", L"", {{L"\u0394elta", CIM_STRING}});
    // Names in and beyond ASCII mixed in one class, and classes of either kind in one namespace.
    provider.AddClass(L"root\\cimv2", L"\u00C9mile", L"", {{L"Depth", CIM_STRING}});
    provider.AddClass(L"root\\cimv2", L"Zeta_Class", L"", {{L"D\u00E9lai", CIM_STRING}, {L"Level", CIM_STRING}});
    provider.AddClass(L"root\\cimv2", L"Abcdefgh_\u00E9", L"", {});
    SchemaCatalogue catalogue;
    catalogue.Read(*Connect());
    EXPECT_EQ(std::vector<std::wstring>{L"root\\cimv2:Contoso_\u00DCberwachung"},
              Matches(catalogue.Find(String(L"\u00FCberWACHUNG"))));
    EXPECT_EQ(std::vector<std::wstring>{L"root\\cimv2:Contoso_\u00DCberwachung.\u0394elta"},
              Matches(catalogue.Find(String(L"\u03B4ELTA"))));
    // A unit beyond ASCII after the first eight units of a name, and in its last few.
    EXPECT_EQ(std::vector<std::wstring>{L"root\\cimv2:Abcdefgh_\u00E9"}, Matches(catalogue.Find(String(L"H_\u00C9"))));
    // By class name (Z before \u00C9), a class's own name before its properties, these in their order whatever
    // their kind.
    EXPECT_EQ((std::vector<std::wstring>{L"root\\cimv2:Contoso_\u00DCberwachung.\u0394elta", L"root\\cimv2:Zeta_Class",
                                         L"root\\cimv2:Zeta_Class.D\u00E9lai", L"root\\cimv2:Zeta_Class.Level",
                                         L"root\\cimv2:\u00C9mile"}),
              Matches(catalogue.Find(String(L"l"))));
    EXPECT_EQ(5, catalogue.Count(String(L"L")));
    // \u00C9 is not E.
    EXPECT_EQ(0, catalogue.Count(String(L"Delai")));
}

TEST_F(SchemaTest, TheCataloguesSecondSearchAsksWmiNothing)
{
    AddMachine();
    auto machine = Connect();
    SchemaCatalogue catalogue;
    catalogue.Search(*machine, String(L"disk"));
    int callsAfterFirst = provider.calls;
    ArrayList<SchemaMatch> second = catalogue.Search(*machine, String(L"volume"));
    EXPECT_EQ(callsAfterFirst, provider.calls.load());
    EXPECT_EQ(
        (std::vector<std::wstring>{L"root\\cimv2:Win32_Volume", L"root\\Microsoft\\Windows\\Storage:MSFT_Volume"}),
        Matches(second));
}

TEST_F(SchemaTest, ProgressCountsNamespacesClassesAndMatchesOnTheReadingThread)
{
    AddMachine();
    auto machine = Connect();
    std::unique_ptr<ManagementConnection> copy = machine->CopyCredentials();
    SchemaCatalogue catalogue;
    std::vector<WMI::SchemaProgress> reports;
    std::vector<DWORD> threads;
    DWORD worker = 0;
    {
        Core::Threading::BackgroundWork read(
            [&]
            {
                worker = GetCurrentThreadId();
                catalogue.Read(*copy, String(L"disk"),
                               [&](const WMI::SchemaProgress& progress)
                               {
                                   reports.push_back(progress);
                                   threads.push_back(GetCurrentThreadId());
                               });
            });
    }
    ASSERT_TRUE(Core::Threading::BackgroundWork::WaitForAll(60000));
    ASSERT_EQ(6u, reports.size());
    for (size_t i = 0; i < reports.size(); i++)
    {
        EXPECT_EQ(static_cast<int>(i) + 1, reports[i].namespacesDone);
        EXPECT_EQ(worker, threads[i]);
    }
    EXPECT_NE(GetCurrentThreadId(), worker);
    EXPECT_STREQ(L"root\\cimv2", reports[1].nameSpace.GetBuffer());
    EXPECT_EQ(1, reports[0].classesRead);
    EXPECT_EQ(4, reports[1].classesRead);
    EXPECT_EQ(0, reports[0].matches);
    EXPECT_EQ(3, reports[1].matches);
    EXPECT_EQ(8, reports.back().classesRead);
    EXPECT_EQ(5, reports.back().matches);
    EXPECT_STREQ(L"root\\wmi", reports.back().nameSpace.GetBuffer());
}

TEST_F(SchemaTest, ASearchStoppedPartWayKeepsWhatItReadAndIsReadAgainNextTime)
{
    AddMachine();
    auto machine = Connect();
    SchemaCatalogue catalogue;
    std::atomic<bool> stop{false};
    ArrayList<SchemaMatch> part = catalogue.Search(
        *machine, String(L"disk"), [&](const WMI::SchemaProgress& progress) { stop = progress.namespacesDone == 2; },
        [&] { return stop.load(); });
    EXPECT_FALSE(catalogue.IsComplete());
    EXPECT_EQ((std::vector<std::wstring>{L"root", L"root\\cimv2"}), Texts(catalogue.GetNamespaces()));
    EXPECT_EQ((std::vector<std::wstring>{L"root\\cimv2:CIM_Disk", L"root\\cimv2:Win32_LogicalDisk",
                                         L"root\\cimv2:Win32_Volume.DiskSerial"}),
              Matches(part));
    // Nothing after the stop: no namespace further was opened.
    EXPECT_EQ(2u, provider.classEnums.size());
    stop = false;
    EXPECT_EQ(5, catalogue.Search(*machine, String(L"disk")).GetCount());
    EXPECT_TRUE(catalogue.IsComplete());
}

TEST_F(SchemaTest, NamespacesThatFailAreReportedAndTheSearchGoesOn)
{
    AddMachine();
    // Refused, with a namespace inside it that the search cannot reach; one whose classes cannot be enumerated;
    // one that cannot be listed; one whose enumeration breaks after a class.
    provider.AddNamespace(L"root\\Secure\\Inner");
    provider.FindNamespace(L"root\\Secure")->connectResult = WBEM_E_ACCESS_DENIED;
    provider.AddClass(L"root\\Broken", L"Broken_Disk", L"", {});
    provider.FindNamespace(L"root\\Broken")->classEnumResult = WBEM_E_FAILED;
    provider.AddNamespace(L"root\\Closed\\Inner");
    provider.AddClass(L"root\\Closed", L"Closed_Disk", L"", {});
    provider.FindNamespace(L"root\\Closed")->namespaceQueryResult = WBEM_E_ACCESS_DENIED;
    provider.AddClass(L"root\\Partly", L"Partly_Disk1", L"", {});
    provider.AddClass(L"root\\Partly", L"Partly_Disk2", L"", {});
    provider.FindNamespace(L"root\\Partly")->classEnumFailAfter = 1;
    provider.largestBatch = 1;
    auto machine = Connect();
    SchemaCatalogue catalogue;
    ArrayList<SchemaMatch> found = catalogue.Search(*machine, String(L"disk"));
    EXPECT_TRUE(catalogue.IsComplete());
    const std::wstring denied =
        L"The current or specified user name and password were not valid or authorized to make the connection";
    EXPECT_EQ(
        (std::vector<std::wstring>{L"root\\Broken | Could not list the classes in root\\Broken: Unspecified error",
                                   L"root\\Closed | Could not list the namespaces in root\\Closed: " + denied,
                                   L"root\\Partly | Could not list the classes in root\\Partly: Unspecified error",
                                   L"root\\Secure | Could not open namespace root\\Secure: " + denied}),
        Failures(catalogue));
    // What the failing namespaces gave is kept; every other namespace was read.
    EXPECT_EQ((std::vector<std::wstring>{L"root\\cimv2:CIM_Disk", L"root\\cimv2:Win32_LogicalDisk",
                                         L"root\\cimv2:Win32_Volume.DiskSerial", L"root\\Closed:Closed_Disk",
                                         L"root\\Microsoft\\Windows\\Storage:MSFT_Disk", L"root\\Partly:Partly_Disk1",
                                         L"root\\wmi:MSDiskDriver_Geometry"}),
              Matches(found));
    for (const ScriptedWmi::ConnectCall& call : provider.connects)
    {
        EXPECT_EQ(std::wstring::npos, call.path.find(L"Inner")) << call.path;
    }
}

TEST_F(SchemaTest, AReadOfAnotherMachineUsesItsCredentials)
{
    provider.AddNamespace(L"root\\wmi");
    ManagementConnection remote;
    remote.Connect(String(L"FILESERVER"), String(L"admin"), String(L"secret"), String(L"CORP"));
    SchemaCatalogue catalogue;
    catalogue.Read(remote);
    ASSERT_EQ(4u, provider.connects.size());
    for (size_t i = 1; i < provider.connects.size(); i++)
    {
        EXPECT_EQ(0u, provider.connects[i].path.find(L"\\\\FILESERVER\\root")) << provider.connects[i].path;
        EXPECT_EQ(L"CORP\\admin", provider.connects[i].user);
    }
    for (const ScriptedWmi::BlanketCall& blanket : provider.blankets)
    {
        EXPECT_EQ(6u, blanket.authenticationLevel);
        EXPECT_EQ(L"admin", blanket.identityUser);
    }
}

TEST_F(SchemaTest, AReadReleasesWhatItWasGivenAndLeaksNothing)
{
    AddMachine();
    AddHierarchy();
    provider.logging = false;
    auto machine = Connect();
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         SchemaCatalogue catalogue;
                         catalogue.Read(*machine, String(L"disk"));
                         catalogue.Find(String(L"e"));
                         WMI::ReadAllClasses(machine.get());
                         WMI::ReadSubclasses(machine.get(), String(L"CIM_LogicalElement"));
                         WMI::ReadClass(machine.get(), String(L"Win32_DiskDrive"));
                     }));
}
