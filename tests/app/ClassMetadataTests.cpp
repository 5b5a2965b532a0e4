// The Metadata page with what a class's qualifiers say, over the scripted provider: descriptions in the user's
// locale with English where it has none, key/read/write marks, value names, the class's own description, the MOF
// page; and a machine without any of them (Wine's kind), which shows the page as it always was. Then "Show value
// names" in the Results grid and the reports, kept across runs.
#include "app/ClassMetadata.h"
#include "app/MainForm.h"
#include "app/ValueNames.h"

#include "tests/app/ScriptedMainForm.h"

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

class ClassMetadataTest : public ScriptedMainFormTest
{
protected:
    // Without a time zone: shown in its own, whatever the viewer's.
    static constexpr const wchar_t* InstallDate = L"20260309140500.000000+***";

    void SetUp() override
    {
        ScriptedMainFormTest::SetUp();
        ScriptedWmi::ClassScript& service = provider->AddClass(L"Win32_Service", {{L"Name", CIM_STRING},
                                                                                  {L"State", CIM_UINT32},
                                                                                  {L"Access", CIM_UINT32},
                                                                                  {L"Started", CIM_BOOLEAN},
                                                                                  {L"InstallDate", CIM_DATETIME}});
        service.Amend(L"MS_409", L"", L"Description", Value::Text(L"A Windows service."));
        service.Amend(L"MS_407", L"", L"Description", Value::Text(L"Ein Windows-Dienst."));
        service.SetKeys({L"Name"});
        service.Qualify(L"Name", L"read", Value::Bool(true));
        service.Amend(L"MS_409", L"Name", L"Description", Value::Text(L"The name of the service."));
        service.Amend(L"MS_407", L"Name", L"Description", Value::Text(L"Der Name des Dienstes."));
        service.Qualify(L"State", L"read", Value::Bool(true));
        service.Qualify(L"State", L"ValueMap", Value::Strings({L"1", L"2", L"0x10"}));
        service.Amend(L"MS_409", L"State", L"Values", Value::Strings({L"Stopped", L"Running", L"Sixteen"}));
        // German has no description of State: English stands in.
        service.Amend(L"MS_409", L"State", L"Description", Value::Text(L"Current state."));
        service.Qualify(L"Access", L"BitMap", Value::Strings({L"0", L"3"}));
        service.Amend(L"MS_409", L"Access", L"BitValues", Value::Strings({L"Read", L"Execute"}));
        service.Qualify(L"Started", L"read", Value::Bool(true));
        service.Qualify(L"Started", L"write", Value::Bool(true));
        service.Amend(L"MS_407", L"Started", L"Description", Value::Text(L"Ob er läuft."));
        service.instances.push_back(ScriptedWmi::Instance{{{L"Name", Value::Text(L"Spooler")},
                                                           {L"State", Value::UInt32(2)},
                                                           {L"Access", Value::UInt32(9)},
                                                           {L"Started", Value::Bool(true)},
                                                           {L"InstallDate", Value::DateTime(InstallDate)}}});
        service.instances.push_back(ScriptedWmi::Instance{{{L"Name", Value::Text(L"Audio")},
                                                           {L"State", Value::UInt32(7)},
                                                           {L"Access", Value::UInt32(0)},
                                                           {L"Started", Value::Bool(false)},
                                                           {L"InstallDate", Value::Null()}}});
    }

    // Started with the local machine's connection in the locale given.
    void StartIn(const wchar_t* locale)
    {
        Start();
        WMI::ManagementConnection* local = form->GetConnections()[0];
        local->SetLocale(String(locale));
        local->Connect(String(), String(), String(), String());
    }
    TreeNode* Service()
    {
        return Find(Tree().GetNodes(), {L"Local Machine", L"Operating System", L"Services", L"Win32_Service"});
    }
    TreeNode* Process()
    {
        return Find(Tree().GetNodes(), {L"Local Machine", L"Operating System", L"Processes", L"Win32_Process"});
    }
    // Selects the class and waits for its load and its texts.
    void Show(TreeNode* node)
    {
        ASSERT_NE(nullptr, node);
        Tree().SetSelectedNode(node);
        Settle();
        ASSERT_TRUE(Testing::PumpUntil([&] { return !form->GetClassView().GetMetadata().IsReading(); }));
    }
    Grid& Metadata() { return form->GetMetadataGrid(); }
    // The Metadata row of a property, by its name.
    std::vector<std::wstring> Row(const wchar_t* name)
    {
        for (int r = 0; r < Metadata().GetRowCount(); r++)
        {
            if (W(Metadata().GetCellText(r, 0)) == name)
            {
                std::vector<std::wstring> cells;
                for (int c = 0; c < Metadata().GetColumns().GetCount(); c++)
                {
                    cells.push_back(W(Metadata().GetCellText(r, c)));
                }
                return cells;
            }
        }
        return {};
    }
    int AmendedReads()
    {
        int reads = 0;
        std::lock_guard<std::mutex> guard(provider->logLock);
        for (LONG flags : provider->getObjectFlags)
        {
            reads += (flags & WBEM_FLAG_USE_AMENDED_QUALIFIERS) != 0 ? 1 : 0;
        }
        return reads;
    }
};

} // namespace

// In German: the German texts, English where German has none; the marks and the value names of every kind beside the
// name and type, which stay the first two columns as they were. The texts are read on a worker.
TEST_F(ClassMetadataTest, TheGridShowsDescriptionsMarksAndValueNamesInTheUsersLocale)
{
    DWORD mainThread = GetCurrentThreadId();
    std::atomic<bool> readOnMainThread{false};
    provider->onGetObject = [&]
    {
        if (GetCurrentThreadId() == mainThread)
        {
            readOnMainThread = true;
        }
    };
    StartIn(L"MS_407");
    Show(Service());
    EXPECT_FALSE(readOnMainThread) << "a class's texts were read on the window thread";
    EXPECT_EQ(1, AmendedReads() > 0 ? 1 : 0);
    ASSERT_EQ(5, Metadata().GetColumns().GetCount());
    EXPECT_EQ(L"Property Name", W(Metadata().GetHeaderText(0)));
    EXPECT_EQ(L"Property Type", W(Metadata().GetHeaderText(1)));
    EXPECT_EQ(L"Description", W(Metadata().GetHeaderText(2)));
    EXPECT_EQ(L"Marks", W(Metadata().GetHeaderText(3)));
    EXPECT_EQ(L"Value Names", W(Metadata().GetHeaderText(4)));
    EXPECT_EQ(300, Metadata().GetColumnWidth(0));
    EXPECT_EQ(150, Metadata().GetColumnWidth(1));
    EXPECT_EQ((std::vector<std::wstring>{L"Name", L"string", L"Der Name des Dienstes.", L"Key, Read", L""}),
              Row(L"Name"));
    EXPECT_EQ((std::vector<std::wstring>{L"State", L"unsigned int32", L"Current state.", L"Read",
                                         L"1 = Stopped, 2 = Running, 0x10 = Sixteen"}),
              Row(L"State"));
    EXPECT_EQ((std::vector<std::wstring>{L"Access", L"unsigned int32", L"", L"", L"bit 0 = Read, bit 3 = Execute"}),
              Row(L"Access"));
    EXPECT_EQ((std::vector<std::wstring>{L"Started", L"bool", L"Ob er läuft.", L"Read, Write", L""}), Row(L"Started"));
    EXPECT_EQ(L"Win32_Service", W(form->GetClassLabel().GetText()));
    Label& description = form->GetClassView().GetMetadata().GetDescriptionLabel();
    EXPECT_EQ(L"Ein Windows-Dienst.", W(description.GetText()));
    EXPECT_GT(description.GetBounds().height, 0) << "the class's description has room under its name";
    EXPECT_TRUE(desktop.messages.empty());
}

// The MOF page holds the class's declaration with its texts, to read and copy, not to edit.
TEST_F(ClassMetadataTest, TheMofPageShowsTheClassDeclarationReadOnly)
{
    StartIn(L"MS_409");
    Show(Service());
    TabView& pages = form->GetTabView();
    ASSERT_EQ(3, pages.GetPages().GetCount());
    EXPECT_EQ(L"MOF", W(pages.GetPages()[2]->GetTitle()));
    pages.ShowPage(2);
    TextArea& mof = form->GetClassView().GetMetadata().GetMofText();
    EXPECT_TRUE(mof.IsVisible());
    EXPECT_TRUE(mof.GetReadOnly());
    std::wstring text = W(mof.GetText());
    EXPECT_NE(std::wstring::npos, text.find(L"class Win32_Service")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"A Windows service.")) << text;
    mof.Focus();
    Testing::TypeText(mof.GetHandle(), L"x");
    EXPECT_EQ(text, W(mof.GetText())) << "the MOF text was edited";
}

// A class without texts (as every class on Wine): the grid keeps its two columns, the description takes no room,
// and nothing is said of it.
TEST_F(ClassMetadataTest, AClassWithoutTextsShowsThePageAsBefore)
{
    StartIn(L"MS_409");
    Show(Service());
    ASSERT_EQ(5, Metadata().GetColumns().GetCount());
    Show(Process());
    EXPECT_EQ(2, Metadata().GetColumns().GetCount()) << "the columns of the class before stayed";
    EXPECT_EQ(300, Metadata().GetColumnWidth(0));
    ASSERT_EQ(2, Metadata().GetRowCount());
    EXPECT_EQ(L"ProcessId", W(Metadata().GetCellText(1, 0)));
    EXPECT_EQ(L"unsigned int32", W(Metadata().GetCellText(1, 1)));
    Label& description = form->GetClassView().GetMetadata().GetDescriptionLabel();
    EXPECT_EQ(L"", W(description.GetText()));
    EXPECT_EQ(0, description.GetBounds().height);
    EXPECT_TRUE(desktop.messages.empty());
}

// Texts read once are kept with the class: selecting it again asks nothing, a refresh reads them again.
TEST_F(ClassMetadataTest, TheTextsAreKeptUntilARefresh)
{
    StartIn(L"MS_409");
    Show(Service());
    int reads = AmendedReads();
    ASSERT_GT(reads, 0);
    Show(Process());
    Show(Service());
    EXPECT_EQ(reads + 1, AmendedReads()) << "only Win32_Process was read";
    EXPECT_EQ(L"A Windows service.", W(form->GetClassView().GetMetadata().GetDescriptionLabel().GetText()));
    EXPECT_EQ(L"Current state.", Row(L"State").at(2));
    form->RunCommand(Quarrow::Command::Refresh);
    Settle();
    ASSERT_TRUE(Testing::PumpUntil([&] { return !form->GetClassView().GetMetadata().IsReading(); }));
    EXPECT_EQ(reads + 2, AmendedReads());
    EXPECT_EQ(L"Current state.", Row(L"State").at(2));
}

namespace
{

class WineClassMetadataTest : public ScriptedMainFormTest
{
protected:
    WineClassMetadataTest() { scripted = false; }
};

} // namespace

// Wine's WMI keeps no texts: Win32_Process's Metadata page is the name and type columns alone, as before, its MOF
// page says quietly that there is none, and no message comes.
TEST_F(WineClassMetadataTest, WinesClassesShowTheMetadataPageAsBefore)
{
    Start();
    TreeNode* node = Find(Tree().GetNodes(), {L"Local Machine", L"Operating System", L"Processes", L"Win32_Process"});
    ASSERT_NE(nullptr, node);
    Tree().SetSelectedNode(node);
    Settle();
    ASSERT_TRUE(Testing::PumpUntil([&] { return !form->GetClassView().GetMetadata().IsReading(); }));
    Grid& metadata = form->GetMetadataGrid();
    EXPECT_EQ(2, metadata.GetColumns().GetCount());
    EXPECT_GT(metadata.GetRowCount(), 3);
    EXPECT_EQ(L"", W(form->GetClassView().GetMetadata().GetDescriptionLabel().GetText()));
    EXPECT_EQ(L"This machine gives no MOF text for the class.",
              W(form->GetClassView().GetMetadata().GetMofText().GetText()));
    EXPECT_TRUE(desktop.messages.empty());
}

// ---------------------------------------------------------------------------------------------------------------
// Show value names

namespace
{

class ValueNamesTest : public ClassMetadataTest
{
protected:
    Grid& Results() { return form->GetResultsGrid(); }
    std::wstring Shown(int row, int column) { return W(Results().GetShownText(row, column)); }
    MenuItem* Choice()
    {
        MenuItemCollection& menus = form->GetMainMenu().GetMenuItems();
        for (int m = 0; m < menus.GetCount(); m++)
        {
            MenuItemCollection& items = menus[m]->GetMenuItems();
            for (int i = 0; i < items.GetCount(); i++)
            {
                if (items[i]->GetCommandId() == Quarrow::Command::ShowValueNames)
                {
                    return items[i];
                }
            }
        }
        return nullptr;
    }
    std::string Report(const wchar_t* name) { return Testing::ReadFileBytes(reports.File(name)); }
};

} // namespace

// Off at first: the cells as WMI gives them. Chosen in the View menu, coded values show their names, flags the
// names of their bits and datetimes read as dates; values nothing names stay as they are. Copy and quick find take
// what is shown, the order stays the values' own, and choosing again shows the values as they are.
TEST_F(ValueNamesTest, TheChoiceShowsCodedValuesWithTheirNamesAndDatesReadably)
{
    StartIn(L"MS_409");
    Show(Service());
    ASSERT_EQ(2, Results().GetRowCount());
    ASSERT_EQ(5, Results().GetColumns().GetCount());
    ASSERT_NE(nullptr, Choice());
    EXPECT_EQ(L"Show val&ue names", W(Choice()->GetText()));
    EXPECT_FALSE(form->GetOptions().GetShowValueNames());
    EXPECT_EQ(L"2", Shown(0, 1));
    EXPECT_EQ(InstallDate, Shown(0, 4));

    form->RunCommand(Quarrow::Command::ShowValueNames);
    EXPECT_TRUE(form->GetOptions().GetShowValueNames());
    EXPECT_EQ(L"Hide val&ue names", W(Choice()->GetText()));
    EXPECT_EQ(L"Spooler", Shown(0, 0));
    EXPECT_EQ(L"2 (Running)", Shown(0, 1));
    EXPECT_EQ(L"9 (Read, Execute)", Shown(0, 2));
    EXPECT_EQ(L"2026-03-09 14:05:00", Shown(0, 4));
    EXPECT_EQ(L"7", Shown(1, 1)) << "a value the map does not name";
    EXPECT_EQ(L"0", Shown(1, 2));
    EXPECT_EQ(L"", Shown(1, 4));
    EXPECT_EQ(L"2", W(Results().GetCellText(0, 1))) << "the cell keeps the value as read";
    Results().Sort(1, true);
    EXPECT_EQ(1, Results().GetRowAtViewIndex(0)) << "7 before 2, by value";
    Results().SelectAll();
    std::wstring copied = W(Results().GetSelectionText());
    EXPECT_NE(std::wstring::npos, copied.find(L"Spooler\t2 (Running)\t9 (Read, Execute)\t")) << copied;
    EXPECT_NE(std::wstring::npos, copied.find(L"\t2026-03-09 14:05:00\r\n")) << copied;
    // Quick find takes what is shown as well as the values themselves.
    Results().SetFilterText(String(L"running"));
    Results().FinishFilter();
    ASSERT_EQ(1, Results().GetVisibleRowCount());
    EXPECT_EQ(0, Results().GetRowAtViewIndex(0));
    Results().SetFilterText(String(L"7"));
    Results().FinishFilter();
    EXPECT_EQ(1, Results().GetVisibleRowCount());
    Results().SetFilterText(String());

    Results().SetFilterText(String(L"running"));
    form->RunCommand(Quarrow::Command::ShowValueNames);
    EXPECT_FALSE(form->GetOptions().GetShowValueNames());
    EXPECT_EQ(L"2", Shown(0, 1));
    Results().FinishFilter();
    EXPECT_EQ(0, Results().GetVisibleRowCount()) << "the names went, and with them what they found";
    Results().SetFilterText(String());
    EXPECT_EQ(L"Show val&ue names", W(Choice()->GetText()));
}

// Reports write the values as WMI gives them unless the choice is on; then they write what the grid shows, and the
// workbook says so in its header block.
TEST_F(ValueNamesTest, ReportsWriteNamesOnlyWhenChosenAndTheWorkbookSaysSo)
{
    StartIn(L"MS_409");
    Show(Service());
    form->RunCommand(Quarrow::Command::CommaReport);
    form->RunCommand(Quarrow::Command::WorkbookReport);
    std::string raw = Report(L"WmiReport_Win32_Service.csv");
    EXPECT_NE(std::string::npos, raw.find("Spooler,2,9,True,20260309140500.000000+***\r\n")) << raw;
    std::string book = Report(L"WmiReport_Win32_Service.xml");
    EXPECT_EQ(std::string::npos, book.find(">Values<")) << "a raw workbook has no Values row";
    EXPECT_EQ(std::string::npos, book.find("Running"));

    form->RunCommand(Quarrow::Command::ShowValueNames);
    form->RunCommand(Quarrow::Command::CommaReport);
    form->RunCommand(Quarrow::Command::WorkbookReport);
    std::string named = Report(L"WmiReport_Win32_Service.csv");
    EXPECT_NE(std::string::npos, named.find("Spooler,2 (Running),\"9 (Read, Execute)\",True,2026-03-09 14:05:00\r\n"))
        << named;
    EXPECT_NE(std::string::npos, named.find("Audio,7,0,False,\r\n")) << named;
    book = Report(L"WmiReport_Win32_Service.xml");
    size_t subcategory = book.find(">Subcategory<");
    size_t values = book.find(">Values<");
    ASSERT_NE(std::string::npos, values) << book;
    EXPECT_LT(subcategory, values) << "Values follows the other header rows";
    EXPECT_NE(std::string::npos, book.find(">With names<", values));
    EXPECT_NE(std::string::npos, book.find(">2 (Running)<")) << book;
}

// A synchronous load into a workbook ends before the class's texts are back on the window thread: the report waits
// for them, and is written once, with the names.
TEST_F(ValueNamesTest, ASynchronousLoadsReportWaitsForTheNames)
{
    StartIn(L"MS_409");
    form->GetOptions().SetShowValueNames(true);
    form->GetOptions().SetReportTarget(Config::ReportInExcel);
    form->GetConnections()[0]->SetAsyncLoad(false);
    Tree().SetSelectedNode(Service());
    ASSERT_TRUE(Testing::PumpUntil([&] { return !desktop.launches.empty(); }));
    Settle();
    ASSERT_TRUE(Testing::PumpUntil([&] { return !form->GetClassView().GetMetadata().IsReading(); }));
    Testing::PumpMessages();
    EXPECT_EQ(1u, desktop.launches.size());
    std::string book = Report(L"WmiReport_Win32_Service.xml");
    EXPECT_NE(std::string::npos, book.find(">With names<")) << book;
    EXPECT_NE(std::string::npos, book.find(">2 (Running)<")) << book;
    EXPECT_EQ(0, Results().GetRowCount()) << "the rows went to the report";
}

// A query whose rows are all of one class shows that class's Metadata and, with the choice on, its value names in
// the grid and the report; the names follow the query's own columns. Rows of any class stay as WMI gives them.
TEST_F(ValueNamesTest, AQueryOfOneClassShowsItsValueNamesAndMetadata)
{
    StartIn(L"MS_409");
    form->RunCommand(Quarrow::Command::ShowValueNames);
    auto run = [&](const wchar_t* text)
    {
        form->GetQueryPage().Open();
        form->GetQueryPage().GetTextArea().SetText(String(text));
        form->GetQueryPage().Run();
        ASSERT_TRUE(Testing::PumpUntil(
            [&]
            {
                WMI::ManagementObject* query = form->GetClassView().GetQuery();
                return query != nullptr && !query->IsLoading() && !form->GetClassView().GetMetadata().IsReading();
            }));
        Testing::PumpMessages();
    };
    run(L"SELECT InstallDate, State, Name FROM Win32_Service");
    ASSERT_EQ(2, Results().GetRowCount());
    ASSERT_EQ(3, Results().GetColumns().GetCount());
    // In WMI's order of the class's properties, not the order the query names them.
    EXPECT_EQ(L"Spooler", Shown(0, 0));
    EXPECT_EQ(L"2 (Running)", Shown(0, 1));
    EXPECT_EQ(L"7", Shown(1, 1));
    EXPECT_EQ(L"2026-03-09 14:05:00", Shown(0, 2));
    EXPECT_EQ((std::vector<std::wstring>{L"State", L"unsigned int32", L"Current state.", L"Read",
                                         L"1 = Stopped, 2 = Running, 0x10 = Sixteen"}),
              Row(L"State"));
    EXPECT_EQ(5, Metadata().GetRowCount()) << "the class's properties, not only those selected";
    EXPECT_EQ(L"A Windows service.", W(form->GetClassView().GetMetadata().GetDescriptionLabel().GetText()));
    form->RunCommand(Quarrow::Command::CommaReport);
    std::string named = Report(L"WmiReport_Win32_Service.csv");
    EXPECT_NE(std::string::npos, named.find("Spooler,2 (Running),2026-03-09 14:05:00\r\n")) << named;

    // The names go with the choice, and come back with it.
    form->RunCommand(Quarrow::Command::ShowValueNames);
    EXPECT_EQ(L"2", Shown(0, 1));
    form->RunCommand(Quarrow::Command::ShowValueNames);
    EXPECT_EQ(L"2 (Running)", Shown(0, 1));

    // An association query without ResultClass may bring any class: nothing is described, nothing named.
    provider->AddClass(L"Win32_DependentService", {{L"Antecedent", CIM_REFERENCE}, {L"Dependent", CIM_REFERENCE}});
    provider->Associate(L"Win32_DependentService", L"Win32_Service.Name=\"Spooler\"", L"Win32_Service", 1);
    run(L"ASSOCIATORS OF {Win32_Service.Name=\"Spooler\"}");
    ASSERT_EQ(1, Results().GetRowCount());
    EXPECT_EQ(0, Metadata().GetRowCount());
    EXPECT_FALSE(Results().HasCellFormatter());
}

// The choice is kept with the options: the next run starts with it, its menu item and the names in the grid.
TEST_F(ValueNamesTest, TheChoiceIsKeptForTheNextRun)
{
    StartIn(L"MS_409");
    form->RunCommand(Quarrow::Command::ShowValueNames);
    form.reset();
    Testing::PumpMessages();
    StartIn(L"MS_409");
    EXPECT_TRUE(form->GetOptions().GetShowValueNames());
    EXPECT_EQ(L"Hide val&ue names", W(Choice()->GetText()));
    Show(Service());
    EXPECT_EQ(L"2 (Running)", Shown(0, 1));
}

// An array's cell holds its elements joined by ", ": each is named on its own; a column of another class's
// property, or one the class does not describe ("Machine"), stays as it is.
TEST(ValueNames, ArraysAreNamedElementByElement)
{
    WMI::ClassDescription described;
    described.className = String(L"Win32_Printer");
    WMI::PropertyDescription capabilities;
    capabilities.name = String(L"Capabilities");
    capabilities.cimType = WMI::CimUInt16 | WMI::CimArrayFlag;
    for (const wchar_t* name : {L"Unknown", L"Other", L"Color", L"Duplex"})
    {
        capabilities.values.Add(String(name));
    }
    described.properties.Add(capabilities);
    WMI::PropertyList definition;
    definition.Add(WMI::PropertyInfo(String(L"Capabilities"), WMI::CimUInt16 | WMI::CimArrayFlag));
    definition.Add(WMI::PropertyInfo(String(L"Dates"), WMI::CimDateTime | WMI::CimArrayFlag));
    Core::Collections::ArrayList<String> columns;
    for (const wchar_t* name : {L"Machine", L"capabilities", L"Dates"})
    {
        columns.Add(String(name));
    }
    Quarrow::ValueNames names(columns, &described, &definition);
    EXPECT_FALSE(names.IsEmpty());
    EXPECT_EQ(L"2 (Color), 3 (Duplex), 9", W(names.Format(1, String(L"2, 3, 9"))));
    EXPECT_EQ(L"2 (Color)", W(names.Format(1, String(L"2"))));
    EXPECT_EQ(L"2026-03-09 14:05:00, 2026-03-10 00:00:00",
              W(names.Format(2, String(L"20260309140500.000000+***, 20260310000000.000000+***"))));
    EXPECT_EQ(L"2", W(names.Format(0, String(L"2"))));
    EXPECT_EQ(L"", W(names.Format(1, String())));
    EXPECT_TRUE(Quarrow::ValueNames(columns, nullptr, nullptr).IsEmpty());
}

// Win32_Service's State maps texts to themselves ("Running" names "Running"): the value is shown once, and the
// Metadata lists the names alone. A moment with its zone is moved into the viewer's as the WMI layer moves it, in
// winter and in summer alike.
TEST(ValueNames, TextsThatNameThemselvesAndMomentsInTheViewersZone)
{
    WMI::ClassDescription described;
    described.className = String(L"Win32_Service");
    WMI::PropertyDescription state;
    state.name = String(L"State");
    for (const wchar_t* name : {L"Stopped", L"Running", L"Unknown"})
    {
        state.valueMap.Add(String(name));
        state.values.Add(String(name));
    }
    state.valueMap[2] = String(L"..");
    described.properties.Add(state);
    EXPECT_EQ(L"Stopped, Running, .. = Unknown", W(Quarrow::ValueNamesText(state)));
    // A map whose names no language gave names nothing.
    WMI::PropertyDescription unnamed;
    unnamed.name = String(L"Status");
    unnamed.valueMap.Add(String(L"1"));
    unnamed.valueMap.Add(String(L"2"));
    EXPECT_EQ(L"", W(Quarrow::ValueNamesText(unnamed)));
    WMI::PropertyList definition;
    definition.Add(WMI::PropertyInfo(String(L"State")));
    definition.Add(WMI::PropertyInfo(String(L"InstallDate"), WMI::CimDateTime));
    Core::Collections::ArrayList<String> columns;
    columns.Add(String(L"State"));
    columns.Add(String(L"InstallDate"));
    Quarrow::ValueNames names(columns, &described, &definition);
    EXPECT_EQ(L"Running", W(names.Format(0, String(L"Running"))));
    EXPECT_EQ(L"Paused (Unknown)", W(names.Format(0, String(L"Paused"))));
    for (const wchar_t* moment : {L"20260115093012.000000+060", L"20260715093012.000000-300",
                                  L"20260115093012.000000+060", L"20261101063000.000000+000"})
    {
        EXPECT_EQ(W(WMI::FormatCimDateTime(String(moment))), W(names.Format(1, String(moment)))) << W(String(moment));
    }
}
