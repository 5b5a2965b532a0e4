// Typed WQL queries through ManagementObject: columns from the returned objects, association and schema queries of
// the scripted provider, failures that name their cause, Stop, and the class a report of a query is named after.
#include "wmi/ManagementObject.h"
#include "wmi/QueryText.h"

#include "tests/wmi/WmiTesting.h"

using Core::String;
using ScriptedWmi::Instance;
using ScriptedWmi::Value;
using WMI::LoadEventArgs;
using WMI::ManagementObject;

namespace
{

const wchar_t* const DiskPath = L"Win32_Disk.DeviceID=\"D0\"";

Instance Values(std::vector<std::pair<std::wstring, Value>> values)
{
    Instance instance;
    instance.values = std::move(values);
    return instance;
}

class QueryLoadTest : public WmiTesting::ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        disk = &provider.AddClass(L"Win32_Disk", {{L"DeviceID", CIM_STRING}, {L"Size", CIM_UINT64}});
        disk->instances.push_back(Values({{L"DeviceID", Value::Text(L"D0")}, {L"Size", Value::Int(500)}}));
        disk->instances.push_back(Values({{L"DeviceID", Value::Text(L"D1")}, {L"Size", Value::Int(250)}}));
        partition = &provider.AddClass(L"Win32_Partition", {{L"DeviceID", CIM_STRING}, {L"Index", CIM_UINT32}});
        partition->instances.push_back(Values({{L"DeviceID", Value::Text(L"P0")}, {L"Index", Value::Int(0)}}));
        partition->instances.push_back(Values({{L"DeviceID", Value::Text(L"P1")}, {L"Index", Value::Int(1)}}));
        volume = &provider.AddClass(L"Win32_Volume", {{L"Label", CIM_STRING}, {L"DeviceID", CIM_STRING}});
        volume->instances.push_back(Values({{L"Label", Value::Text(L"Data")}, {L"DeviceID", Value::Text(L"V0")}}));
        provider.AddClass(L"Win32_DiskToPartition", {{L"Antecedent", CIM_REFERENCE}, {L"Dependent", CIM_REFERENCE}});
        provider.AddClass(L"Win32_DiskToVolume", {{L"Antecedent", CIM_REFERENCE}, {L"Dependent", CIM_REFERENCE}});
        provider.Associate(L"Win32_DiskToPartition", DiskPath, L"Win32_Partition", 0,
                           Values({{L"Antecedent", Value::Text(DiskPath)},
                                   {L"Dependent", Value::Text(L"Win32_Partition.DeviceID=\"P0\"")}}));
        provider.Associate(L"Win32_DiskToVolume", DiskPath, L"Win32_Volume", 0,
                           Values({{L"Antecedent", Value::Text(DiskPath)},
                                   {L"Dependent", Value::Text(L"Win32_Volume.DeviceID=\"V0\"")}}));
        provider.Associate(L"Win32_DiskToPartition", DiskPath, L"Win32_Partition", 1,
                           Values({{L"Antecedent", Value::Text(DiskPath)},
                                   {L"Dependent", Value::Text(L"Win32_Partition.DeviceID=\"P1\"")}}));
    }
    void TearDown() override
    {
        object.reset();
        connection.reset();
        ScriptedTest::TearDown();
    }

    ManagementObject& Query(const std::wstring& text, bool asyncLoad = false)
    {
        connection = Connect(asyncLoad);
        object = std::make_unique<ManagementObject>(connection.get(), String(L"Query"), 0);
        object->SetQueryText(String(text.c_str()));
        return *object;
    }

    static std::vector<std::wstring> Columns(const ManagementObject& query)
    {
        std::vector<std::wstring> names;
        for (int c = 0; c < query.GetColumns().GetCount(); c++)
        {
            names.push_back(query.GetColumns()[c].GetBuffer());
        }
        return names;
    }

    static std::vector<std::wstring> Cells(ManagementObject& query, int row)
    {
        std::vector<std::wstring> cells;
        const WMI::Row& cellsOfRow = *query.GetRows()[row];
        for (int c = 0; c < cellsOfRow.GetCount(); c++)
        {
            cells.push_back(cellsOfRow[c].GetBuffer());
        }
        return cells;
    }

    ScriptedWmi::ClassScript* disk = nullptr;
    ScriptedWmi::ClassScript* partition = nullptr;
    ScriptedWmi::ClassScript* volume = nullptr;
    std::unique_ptr<WMI::ManagementConnection> connection;
    std::unique_ptr<ManagementObject> object;
};

using Texts = std::vector<std::wstring>;

// A message-only window whose posted action runs inside whatever wait is pumping messages, as a Stop click would.
class ActionWindow
{
public:
    ActionWindow()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Quarrow.Tests.QueryActionWindow";
        RegisterClassW(&windowClass);
        m_handle = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, nullptr);
        SetWindowLongPtrW(m_handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ActionWindow() { DestroyWindow(m_handle); }
    ActionWindow(const ActionWindow&) = delete;
    ActionWindow& operator=(const ActionWindow&) = delete;

    void Post(std::function<void()> action)
    {
        m_action = std::move(action);
        PostMessageW(m_handle, WM_APP, 0, 0);
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<ActionWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr && message == WM_APP && self->m_action)
        {
            auto action = std::move(self->m_action);
            action();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_handle;
    std::function<void()> m_action;
};

class Gate
{
public:
    Gate() : m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Gate() { CloseHandle(m_event); }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;

    void Open() { SetEvent(m_event); }
    bool Wait(DWORD milliseconds = INFINITE) { return WaitForSingleObject(m_event, milliseconds) == WAIT_OBJECT_0; }

private:
    HANDLE m_event;
};

class CompletedRecorder : public Core::EventHandler<LoadEventArgs>
{
public:
    void Invoke(Core::Object*, LoadEventArgs& args) override { values.push_back(args.GetValue()); }
    std::vector<int> values;
};

} // namespace

// --- columns and rows ---

TEST_F(QueryLoadTest, ASelectRunsAsTypedAndTakesItsColumnsFromTheObjects)
{
    ManagementObject& query = Query(L"SELECT * FROM Win32_Disk WHERE Size > 100");
    query.Load();
    ASSERT_EQ(WMI::LoadCompleted, query.GetState());
    ASSERT_EQ(1u, provider.queries.size());
    EXPECT_EQ(L"SELECT * FROM Win32_Disk WHERE Size > 100", provider.queries[0].text);
    EXPECT_EQ(0x30, provider.queries[0].flags);
    // The columns come from the objects: the class definition is never asked for.
    EXPECT_TRUE(provider.getObjectPaths.empty());
    EXPECT_EQ((Texts{L"DeviceID", L"Size"}), Columns(query));
    ASSERT_EQ(2, query.GetRows().GetCount());
    EXPECT_EQ((Texts{L"D0", L"500"}), Cells(query, 0));
    EXPECT_EQ((Texts{L"D1", L"250"}), Cells(query, 1));
    EXPECT_EQ(0, query.GetProperties().GetCount());
}

TEST_F(QueryLoadTest, ASelectOfSomePropertiesHasThoseColumnsAlone)
{
    ManagementObject& query = Query(L"SELECT Size FROM Win32_Disk");
    query.Load();
    EXPECT_EQ((Texts{L"Size"}), Columns(query));
    ASSERT_EQ(2, query.GetRows().GetCount());
    EXPECT_EQ((Texts{L"250"}), Cells(query, 1));
}

TEST_F(QueryLoadTest, EveryRowOfAQueryCarriesThePathWmiGaveIt)
{
    disk->SetKeys({L"DeviceID"});
    partition->SetKeys({L"DeviceID"});
    // Objects of two classes, the second without keys: the paths stay with their rows when the class column comes.
    ManagementObject& associators = Query(std::wstring(L"ASSOCIATORS OF {") + DiskPath + L"}");
    associators.Load();
    ASSERT_EQ(3, associators.GetRows().GetCount());
    EXPECT_STREQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Partition.DeviceID=\"P0\"",
                 associators.GetRowPath(0).GetBuffer());
    EXPECT_STREQ(L"", associators.GetRowPath(1).GetBuffer());
    EXPECT_STREQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Partition.DeviceID=\"P1\"",
                 associators.GetRowPath(2).GetBuffer());
    // A SELECT of some properties has paths only when they include the keys.
    ManagementObject& some = Query(L"SELECT Size FROM Win32_Disk");
    some.Load();
    ASSERT_EQ(2, some.GetRows().GetCount());
    EXPECT_TRUE(some.GetRowPath(1).IsEmpty());
    ManagementObject& keyed = Query(L"SELECT Size, DeviceID FROM Win32_Disk");
    keyed.Load();
    EXPECT_STREQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Disk.DeviceID=\"D1\"", keyed.GetRowPath(1).GetBuffer());
}

TEST_F(QueryLoadTest, ObjectsOfSeveralClassesGetAClassColumnFirstAndTheUnionOfTheirProperties)
{
    ManagementObject& query = Query(std::wstring(L"ASSOCIATORS OF {") + DiskPath + L"}");
    query.Load();
    ASSERT_EQ(WMI::LoadCompleted, query.GetState());
    // Win32_Partition's DeviceID and Index, then Win32_Volume's Label; its DeviceID is the column there already.
    EXPECT_EQ((Texts{L"__CLASS", L"DeviceID", L"Index", L"Label"}), Columns(query));
    ASSERT_EQ(3, query.GetRows().GetCount());
    // A row of the class seen first ends at its own last column.
    EXPECT_EQ((Texts{L"Win32_Partition", L"P0", L"0"}), Cells(query, 0));
    EXPECT_EQ((Texts{L"Win32_Volume", L"V0", L"", L"Data"}), Cells(query, 1));
    EXPECT_EQ((Texts{L"Win32_Partition", L"P1", L"1"}), Cells(query, 2));
}

TEST_F(QueryLoadTest, ColumnsGrowAtTheEndUntilASecondClassPutsTheClassColumnFirst)
{
    provider.largestBatch = 1;
    std::vector<std::pair<Texts, unsigned int>> seen; // the columns and their layout at each Next
    provider.onNext = [&](int)
    {
        if (object != nullptr)
        {
            Core::Threading::CriticalSectionLock guard(object->GetLock());
            seen.emplace_back(Columns(*object), object->GetColumnLayout());
        }
    };
    ManagementObject& query = Query(std::wstring(L"ASSOCIATORS OF {") + DiskPath + L"}");
    unsigned int layoutBefore = query.GetColumnLayout();
    query.Load();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(Texts(), seen[0].first);
    EXPECT_EQ((Texts{L"DeviceID", L"Index"}), seen[1].first);
    EXPECT_EQ(layoutBefore, seen[1].second);
    EXPECT_EQ((Texts{L"__CLASS", L"DeviceID", L"Index", L"Label"}), seen[2].first);
    EXPECT_NE(layoutBefore, seen[2].second);
    // The row that came before the second class got its class name in front.
    EXPECT_EQ((Texts{L"Win32_Partition", L"P0", L"0"}), Cells(query, 0));
    provider.onNext = nullptr;
}

TEST_F(QueryLoadTest, AClassLoadShowsItsPropertiesAsColumns)
{
    connection = Connect(false);
    object = std::make_unique<ManagementObject>(connection.get(), String(L"Win32_Disk"), 0);
    object->GetProperties().Add(WMI::PropertyInfo(String(L"Size")));
    object->Load();
    EXPECT_EQ((Texts{L"Size"}), Columns(*object));
    EXPECT_EQ(L"Select Size from Win32_Disk", provider.queries[0].text);
    EXPECT_EQ((Texts{L"500"}), Cells(*object, 0));
}

// --- association and schema queries ---

TEST_F(QueryLoadTest, AssociatorsWithAResultClassGiveThatClassAlone)
{
    ManagementObject& query =
        Query(std::wstring(L"associators of {") + DiskPath + L"} where ResultClass = Win32_Volume");
    query.Load();
    ASSERT_EQ(WMI::LoadCompleted, query.GetState());
    EXPECT_EQ((Texts{L"Label", L"DeviceID"}), Columns(query));
    ASSERT_EQ(1, query.GetRows().GetCount());
    EXPECT_EQ((Texts{L"Data", L"V0"}), Cells(query, 0));
}

TEST_F(QueryLoadTest, AssociatorsThroughOneAssociationClass)
{
    ManagementObject& query =
        Query(std::wstring(L"ASSOCIATORS OF {") + DiskPath + L"} WHERE AssocClass = Win32_DiskToPartition");
    query.Load();
    EXPECT_EQ((Texts{L"DeviceID", L"Index"}), Columns(query));
    ASSERT_EQ(2, query.GetRows().GetCount());
    EXPECT_EQ((Texts{L"P1", L"1"}), Cells(query, 1));
}

TEST_F(QueryLoadTest, ReferencesGiveTheAssociationInstances)
{
    ManagementObject& query = Query(std::wstring(L"REFERENCES OF {") + DiskPath + L"}");
    query.Load();
    ASSERT_EQ(WMI::LoadCompleted, query.GetState());
    EXPECT_EQ((Texts{L"__CLASS", L"Antecedent", L"Dependent"}), Columns(query));
    ASSERT_EQ(3, query.GetRows().GetCount());
    EXPECT_EQ((Texts{L"Win32_DiskToPartition", DiskPath, L"Win32_Partition.DeviceID=\"P0\""}), Cells(query, 0));
    EXPECT_EQ((Texts{L"Win32_DiskToVolume", DiskPath, L"Win32_Volume.DeviceID=\"V0\""}), Cells(query, 1));
}

TEST_F(QueryLoadTest, MetaClassGivesOneRowPerClass)
{
    ManagementObject& query = Query(L"SELECT * FROM meta_class");
    query.Load();
    ASSERT_EQ(WMI::LoadCompleted, query.GetState());
    ASSERT_EQ(5, query.GetRows().GetCount());
    EXPECT_EQ((Texts{L"__CLASS", L"DeviceID", L"Size", L"Index", L"Label", L"Antecedent", L"Dependent"}),
              Columns(query));
    // Class definitions carry no values.
    EXPECT_EQ((Texts{L"Win32_Disk", L"", L""}), Cells(query, 0));
    EXPECT_EQ((Texts{L"Win32_DiskToVolume", L"", L"", L"", L"", L"", L""}), Cells(query, 4));
}

TEST_F(QueryLoadTest, MetaClassOfOneClassHasNoClassColumn)
{
    ManagementObject& query = Query(L"SELECT * FROM meta_class WHERE __CLASS = 'win32_volume'");
    query.Load();
    EXPECT_EQ((Texts{L"Label", L"DeviceID"}), Columns(query));
    EXPECT_EQ(1, query.GetRows().GetCount());
}

// --- failures ---

TEST_F(QueryLoadTest, AnInvalidQueryFailsWithItsText)
{
    ManagementObject& query = Query(L"SELEC * FROM Win32_Disk");
    query.Load();
    EXPECT_EQ(WMI::LoadFailed, query.GetState());
    EXPECT_EQ(L"The query was not syntactically valid: SELEC * FROM Win32_Disk",
              std::wstring(query.GetFailureMessage().GetBuffer()));
    EXPECT_EQ(0, query.GetRows().GetCount());
    EXPECT_EQ(0, query.GetColumns().GetCount());
}

TEST_F(QueryLoadTest, AQueryRefusedAtItsFirstNextIsNamedAlike)
{
    provider.failNextOnCall = 1;
    provider.failNextResult = WBEM_E_INVALID_QUERY;
    ManagementObject& query = Query(L"SELECT * FROM Win32_Disk WHERE Size = 'x'");
    query.Load();
    EXPECT_EQ(L"The query was not syntactically valid: SELECT * FROM Win32_Disk WHERE Size = 'x'",
              std::wstring(query.GetFailureMessage().GetBuffer()));
}

TEST_F(QueryLoadTest, AMethodCallIsRefusedByWmiAndNothingRuns)
{
    ManagementObject& query = Query(L"Win32_Disk.DeviceID=\"D0\".Format()");
    int callsBefore = provider.calls;
    query.Load();
    EXPECT_EQ(WMI::LoadFailed, query.GetState());
    EXPECT_EQ(L"The query was not syntactically valid: Win32_Disk.DeviceID=\"D0\".Format()",
              std::wstring(query.GetFailureMessage().GetBuffer()));
    // One ExecQuery and nothing else reached the machine.
    EXPECT_EQ(callsBefore + 1, provider.calls.load());
    EXPECT_EQ(1u, provider.queries.size());
    EXPECT_EQ(0, provider.methodCalls.load());
}

TEST_F(QueryLoadTest, AClassTheMachineLacksIsNamedAndTheQueryCanRunAgain)
{
    ManagementObject& query = Query(L"SELECT * FROM Win32_Nothing");
    query.Load();
    EXPECT_EQ(WMI::LoadFailed, query.GetState());
    EXPECT_EQ(L"WMI on target machine does not support classWin32_Nothing",
              std::wstring(query.GetFailureMessage().GetBuffer()));
    // Unlike a class, a query is not marked unsupported: it is run again.
    query.Load();
    EXPECT_EQ(2u, provider.queries.size());
}

TEST_F(QueryLoadTest, TheClassOfAMissingPathIsNamed)
{
    ManagementObject& query = Query(L"ASSOCIATORS OF {Win32_Gone.DeviceID=\"x\"}");
    query.Load();
    EXPECT_EQ(L"WMI on target machine does not support classWin32_Gone",
              std::wstring(query.GetFailureMessage().GetBuffer()));
}

TEST_F(QueryLoadTest, AnInvalidClassResultNamesTheQueriedClass)
{
    provider.execQueryResult = WBEM_E_INVALID_CLASS;
    ManagementObject& query = Query(L"select Size from Win32_Disk");
    query.Load();
    EXPECT_EQ(L"WMI on target machine does not support classWin32_Disk",
              std::wstring(query.GetFailureMessage().GetBuffer()));
}

TEST_F(QueryLoadTest, OtherFailuresGiveTheResultMessage)
{
    provider.execQueryResult = WBEM_E_ACCESS_DENIED;
    ManagementObject& query = Query(L"SELECT * FROM Win32_Disk");
    query.Load();
    EXPECT_EQ(L"The current or specified user name and password were not valid or authorized to make the connection",
              std::wstring(query.GetFailureMessage().GetBuffer()));
}

TEST_F(QueryLoadTest, ANewTextReplacesTheRowsOfTheLastOne)
{
    ManagementObject& query = Query(L"SELECT * FROM Win32_Disk");
    query.Load();
    ASSERT_EQ(2, query.GetRows().GetCount());
    query.SetQueryText(String(L"SELECT * FROM Win32_Volume"));
    EXPECT_FALSE(query.IsLoaded());
    query.Load();
    EXPECT_EQ(L"SELECT * FROM Win32_Volume", provider.queries.back().text);
    EXPECT_EQ((Texts{L"Label", L"DeviceID"}), Columns(query));
    EXPECT_EQ(1, query.GetRows().GetCount());
}

// --- Stop ---

TEST_F(QueryLoadTest, StopLetsAQueryGoAtOnce)
{
    ScriptedWmi::AddInstances(*disk, 200, [](int i, int) { return Value::Int(i); });
    Gate inSecondNext;
    Gate release;
    bool released = false;
    provider.onNext = [&](int call)
    {
        if (call == 2)
        {
            inSecondNext.Open();
            // Bounded so that a Stop that waited for the worker fails the test rather than hanging it.
            released = release.Wait(30000);
        }
    };
    ManagementObject& query = Query(L"SELECT * FROM Win32_Disk", true);
    CompletedRecorder completed;
    query.Completed.Subscribe(&completed);
    ActionWindow window;
    bool loadingAfterStop = true;
    window.Post(
        [&]
        {
            inSecondNext.Wait();
            query.Cancel();
            loadingAfterStop = query.IsLoading();
            Core::Threading::CriticalSectionLock guard(query.GetLock());
            EXPECT_EQ(0, query.GetRows().GetCount());
            EXPECT_EQ(0, query.GetColumns().GetCount());
            release.Open();
        });
    query.Load();
    EXPECT_FALSE(loadingAfterStop);
    ASSERT_EQ(1u, completed.values.size());
    EXPECT_EQ(WMI::LoadCancelled, completed.values[0]);
    EXPECT_EQ(0, query.GetRows().GetCount());
    ASSERT_TRUE(Core::Threading::BackgroundWork::WaitForAll(60000));
    EXPECT_TRUE(released);
    provider.onNext = nullptr;
}

// Checks, at every Progress (the lock held), that the columns cover every row so far.
class CoverageRecorder : public Core::EventHandler<LoadEventArgs>
{
public:
    explicit CoverageRecorder(ManagementObject& query) : m_query(query) {}
    void Invoke(Core::Object*, LoadEventArgs&) override
    {
        events++;
        for (int r = 0; r < m_query.GetRows().GetCount(); r++)
        {
            uncovered += m_query.GetRows()[r]->GetCount() > m_query.GetColumns().GetCount() ? 1 : 0;
        }
    }
    int events = 0;
    int uncovered = 0;

private:
    ManagementObject& m_query;
};

TEST_F(QueryLoadTest, EveryProgressSeesAColumnForEveryCell)
{
    provider.largestBatch = 1;
    ManagementObject& query = Query(std::wstring(L"ASSOCIATORS OF {") + DiskPath + L"}", true);
    CoverageRecorder coverage(query);
    query.Progress.Subscribe(&coverage);
    // Slow enough that the load's wait wakes between batches.
    provider.nextDelayMilliseconds = 5;
    CompletedRecorder completed;
    query.Completed.Subscribe(&completed);
    query.Load();
    ASSERT_EQ(1u, completed.values.size());
    EXPECT_EQ(WMI::LoadCompleted, completed.values[0]);
    EXPECT_GE(coverage.events, 1);
    EXPECT_EQ(0, coverage.uncovered);
    EXPECT_EQ(3, query.GetRows().GetCount());
}

TEST_F(QueryLoadTest, TheTextCannotChangeWhileTheQueryLoads)
{
    Gate inNext;
    Gate release;
    provider.onNext = [&](int)
    {
        inNext.Open();
        release.Wait(30000);
    };
    ManagementObject& query = Query(L"SELECT * FROM Win32_Disk");
    EXPECT_TRUE(query.BeginLoad());
    inNext.Wait();
    EXPECT_THROW(query.SetQueryText(String(L"SELECT * FROM Win32_Volume")), Core::InvalidOperationException);
    EXPECT_EQ(L"SELECT * FROM Win32_Disk", std::wstring(query.GetTypedQueryText().GetBuffer()));
    release.Open();
    ASSERT_TRUE(Core::Threading::BackgroundWork::WaitForAll(60000));
    EXPECT_EQ(WMI::LoadCompleted, query.GetState());
    provider.onNext = nullptr;
}

// --- the class a report of a query is named after ---

TEST(QueryReportName, TheClassAQueryReads)
{
    auto name = [](const wchar_t* query) { return std::wstring(WMI::GetQueryReportName(String(query)).GetBuffer()); };
    EXPECT_EQ(L"Win32_Process", name(L"SELECT Name FROM Win32_Process WHERE ProcessId > 4"));
    EXPECT_EQ(L"win32_service", name(L"  select * from win32_service"));
    // A FROM inside a quoted text is not the clause.
    EXPECT_EQ(L"Win32_Process", name(L"SELECT Name FROM Win32_Process WHERE Name = 'from x'"));
    EXPECT_EQ(L"Win32_LogicalDisk", name(L"ASSOCIATORS OF {Win32_LogicalDisk.DeviceID=\"C:\"}"));
    EXPECT_EQ(L"Win32_DiskPartition",
              name(L"associators of {Win32_LogicalDisk.DeviceID=\"C:\"} where resultclass = Win32_DiskPartition"));
    EXPECT_EQ(L"Win32_LogicalDisk", name(L"REFERENCES OF {\\\\.\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"C:\"}"));
    EXPECT_EQ(L"Win32_Directory", name(L"REFERENCES OF {Win32_Directory.Name=\"C:\\\\\"} WHERE ClassDefsOnly"));
    // A brace inside the path's quoted key does not end the path.
    EXPECT_EQ(L"Win32_Y", name(L"ASSOCIATORS OF {Win32_Directory.Name=\"a}b\"} WHERE ResultClass = Win32_Y"));
    EXPECT_EQ(L"Win32_Process", name(L"SELECT * FROM meta_class WHERE __CLASS = 'Win32_Process'"));
}

TEST(QueryReportName, QueryWhenTheTextNamesNoClass)
{
    auto name = [](const wchar_t* query) { return std::wstring(WMI::GetQueryReportName(String(query)).GetBuffer()); };
    EXPECT_EQ(L"Query", name(L"SELECT * FROM meta_class"));
    EXPECT_EQ(L"Query", name(L"Win32_Process.Create()"));
    EXPECT_EQ(L"Query", name(L""));
    EXPECT_EQ(L"Query", name(L"SELECT Name"));
    EXPECT_EQ(L"Query", name(L"ASSOCIATORS OF Win32_LogicalDisk"));
}

// The class whose value names apply to a query's columns: only where every row is of it.
TEST(RowClass, TheClassEveryRowIsOf)
{
    auto rows = [](const wchar_t* query) { return std::wstring(WMI::GetRowClass(String(query)).GetBuffer()); };
    EXPECT_EQ(L"Win32_Service", rows(L"SELECT Name, State FROM Win32_Service WHERE State = 'from'"));
    EXPECT_EQ(L"Win32_DiskPartition",
              rows(L"associators of {Win32_LogicalDisk.DeviceID=\"C:\"} where resultclass = Win32_DiskPartition"));
    EXPECT_EQ(
        L"Win32_LogicalDiskToPartition",
        rows(L"REFERENCES OF {Win32_LogicalDisk.DeviceID=\"C:\"} WHERE ResultClass=Win32_LogicalDiskToPartition"));
    // The rows of these may be of any class, or are classes themselves.
    EXPECT_EQ(L"", rows(L"ASSOCIATORS OF {Win32_LogicalDisk.DeviceID=\"C:\"}"));
    EXPECT_EQ(L"", rows(L"REFERENCES OF {Win32_LogicalDisk.DeviceID=\"C:\"} WHERE ClassDefsOnly"));
    EXPECT_EQ(L"", rows(L"SELECT * FROM meta_class WHERE __CLASS = 'Win32_Process'"));
    EXPECT_EQ(L"", rows(L"SELECT Name"));
    EXPECT_EQ(L"", rows(L""));
}

// Where a path places its object, as a sheet decides which namespace to read it through.
TEST(ObjectPathPlace, TheServerAndNamespaceOfEveryFormOfPath)
{
    auto place = [](const wchar_t* path)
    {
        WMI::ObjectPathPlace read = WMI::GetObjectPathPlace(String(path));
        return std::wstring(read.server.GetBuffer()) + L"|" + read.nameSpace.GetBuffer();
    };
    EXPECT_EQ(L"PC|root\\wmi", place(L"\\\\PC\\root\\wmi:MSAcpi_ThermalZone.InstanceName=\"a\""));
    EXPECT_EQ(L"PC|root\\cimv2", place(L"//PC/root/cimv2:Win32_Process.Handle=\"4\""));
    EXPECT_EQ(L".|root\\Microsoft\\Windows\\Storage", place(L"\\\\.\\root\\Microsoft\\Windows\\Storage:MSFT_Disk=@"));
    EXPECT_EQ(L"|root\\wmi", place(L"root\\wmi:MSSMBios_RawSMBiosTables=@"));
    EXPECT_EQ(L"|", place(L"Win32_Process.Handle=\"4\""));
    // A colon inside a key value places nothing.
    EXPECT_EQ(L"|", place(L"Win32_LogicalDisk.DeviceID=\"C:\""));
    EXPECT_EQ(L"|", place(L"Win32_Directory.Name='C:\\\\x:y'"));
    EXPECT_EQ(L"PC|", place(L"\\\\PC:Win32_Process=4"));
    EXPECT_EQ(L"|", place(L""));
}

TEST(ObjectPathClass, TheClassOfEveryFormOfPath)
{
    auto name = [](const wchar_t* path) { return std::wstring(WMI::GetObjectPathClass(String(path)).GetBuffer()); };
    EXPECT_EQ(L"Win32_Process", name(L"Win32_Process.Handle=\"4\""));
    EXPECT_EQ(L"Win32_Process", name(L"\\\\SERVER\\root\\cimv2:Win32_Process.Handle=\"4\""));
    EXPECT_EQ(L"Win32_Process", name(L"Win32_Process=4"));
    EXPECT_EQ(L"Win32_Settings", name(L"Win32_Settings=@"));
    EXPECT_EQ(L"Win32_Process", name(L"Win32_Process"));
    // A colon inside a key value is not the namespace's end.
    EXPECT_EQ(L"Win32_LogicalDisk", name(L"Win32_LogicalDisk.DeviceID=\"C:\""));
    EXPECT_EQ(L"", name(L""));
    EXPECT_EQ(L"", name(L"=@"));
}
