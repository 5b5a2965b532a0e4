// The Query page as a person uses it, with real windows and keys against the scripted provider: typed queries, their
// rows in the Results grid, failures, Stop, the history across runs of the program, and what a query can become.
#include "app/MainForm.h"
#include "config/ClassTreeNodes.h"
#include "core/controls/Application.h"
#include "core/controls/Button.h"
#include "core/controls/FindBox.h"
#include "core/controls/StatusBar.h"
#include "core/controls/TextBox.h"
#include "core/platform/windows/RegistryKey.h"
#include "core/threading/BackgroundWork.h"
#include "core/xml/XmlTextReader.h"

#include "tests/app/AppTesting.h"
#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedWmi.h"
#include "tests/support/TempDirectory.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

#include <wbemidl.h>

using namespace Core::Controls;
using Core::String;
using Quarrow::MainForm;
using ScriptedWmi::Value;

namespace
{

const wchar_t* const KeyPath = L"Software\\QuarrowTests\\QueryPage";
const wchar_t* const DiskPath = L"Win32_Disk.DeviceID=\"D0\"";

using namespace AppTesting;

ScriptedWmi::Instance Values(std::vector<std::pair<std::wstring, Value>> values)
{
    ScriptedWmi::Instance instance;
    instance.values = std::move(values);
    return instance;
}

// Runs action once, from a timer of this thread, after the given milliseconds: inside whatever loop pumps then.
std::function<void()> timedAction;

void CALLBACK RunTimedAction(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    std::function<void()> action = std::move(timedAction);
    timedAction = nullptr;
    if (action)
    {
        action();
    }
}

void After(int milliseconds, std::function<void()> action)
{
    timedAction = std::move(action);
    SetTimer(nullptr, 0, static_cast<UINT>(milliseconds), RunTimedAction);
}

class QueryPageTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
        Testing::DropEndMessages();
        provider = std::make_unique<ScriptedWmi::Provider>();
        ScriptedWmi::ClassScript& disk =
            provider->AddClass(L"Win32_Disk", {{L"DeviceID", CIM_STRING}, {L"Size", CIM_UINT64}});
        disk.instances.push_back(Values({{L"DeviceID", Value::Text(L"D0")}, {L"Size", Value::Int(500)}}));
        disk.instances.push_back(Values({{L"DeviceID", Value::Text(L"D1")}, {L"Size", Value::Int(250)}}));
        ScriptedWmi::ClassScript& partition =
            provider->AddClass(L"Win32_Partition", {{L"DeviceID", CIM_STRING}, {L"Index", CIM_UINT32}});
        partition.instances.push_back(Values({{L"DeviceID", Value::Text(L"P0")}, {L"Index", Value::Int(0)}}));
        ScriptedWmi::ClassScript& volume =
            provider->AddClass(L"Win32_Volume", {{L"Label", CIM_STRING}, {L"DeviceID", CIM_STRING}});
        volume.instances.push_back(Values({{L"Label", Value::Text(L"Data")}, {L"DeviceID", Value::Text(L"V0")}}));
        provider->AddClass(L"Win32_DiskToPartition", {{L"Antecedent", CIM_REFERENCE}, {L"Dependent", CIM_REFERENCE}});
        provider->AddClass(L"Win32_DiskToVolume", {{L"Antecedent", CIM_REFERENCE}, {L"Dependent", CIM_REFERENCE}});
        provider->Associate(L"Win32_DiskToPartition", DiskPath, L"Win32_Partition", 0);
        provider->Associate(L"Win32_DiskToVolume", DiskPath, L"Win32_Volume", 0);
        ScriptedWmi::ClassScript& process =
            provider->AddClass(L"Win32_Process", {{L"Name", CIM_STRING}, {L"ProcessId", CIM_UINT32}});
        process.instances.push_back(Values({{L"Name", Value::Text(L"a.exe")}, {L"ProcessId", Value::Int(4)}}));
        ScriptedWmi::ClassScript& tables =
            provider->AddClass(L"root\\wmi", L"MSSMBios_RawSMBiosTables", L"", {{L"Size", CIM_UINT32}});
        ScriptedWmi::AddInstances(tables, 3, [](int index, int) { return Value::Int(index + 10); });
    }
    void TearDown() override
    {
        timedAction = nullptr;
        form.reset();
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
        Testing::PumpMessages();
        Testing::DropEndMessages();
        EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(15000));
        provider.reset();
    }

    void Start(const String& configFile = String(), bool asyncLoad = true)
    {
        {
            Config::AppOptions options{String(KeyPath)};
            options.SetReportTarget(Config::ReportOnScreen);
            options.SetAsyncLoad(asyncLoad);
            options.SetReportDirectory(reports.GetPath());
            options.SetConfigFile(configFile);
        }
        form = std::make_unique<MainForm>(String(KeyPath));
        form->SetBounds(0, 0, 900, 600);
        form->Show();
        Testing::PumpMessages();
    }

    Quarrow::QueryPage& Page() { return form->GetQueryPage(); }
    TextArea& Text() { return Page().GetTextArea(); }
    std::wstring Status(int panel) { return W(form->GetStatusBar().GetPanels()[panel]->GetText()); }
    Button* PageButton(const wchar_t* text)
    {
        for (Button* button : FindControls<Button>(Page()))
        {
            if (button->GetText() == String(text))
            {
                return button;
            }
        }
        return nullptr;
    }

    // Ctrl+Q, as a person opens the page, and the text typed over what was there.
    void OpenAndType(const wchar_t* query)
    {
        KeepActive();
        Testing::PressKey(*form, 'Q', Keys::Control);
        Testing::PumpMessages();
        ASSERT_TRUE(Page().IsOpen());
        ASSERT_EQ(static_cast<Core::Controls::TabPage*>(&Page()), form->GetTabView().GetSelectedPage());
        // Under Wine the window may lose its activation to a late event of the window of the test before; the
        // keyboard goes back where Ctrl+Q had put it.
        if (KeepActive())
        {
            Text().Focus();
        }
        ASSERT_TRUE(Text().ContainsFocus());
        Testing::TypeText(Text().GetHandle(), query);
    }
    // The window active again, with the keyboard in the tree, when it lost its activation; false when it had it.
    bool KeepActive()
    {
        if (GetActiveWindow() == static_cast<HWND>(form->GetHandle()) && form->ContainsFocus())
        {
            return false;
        }
        form->Activate();
        form->GetClassTree().Focus();
        Testing::PumpMessages();
        return true;
    }
    // The query typed and run with F5; pumps until it has ended.
    void RunTyped(const wchar_t* query)
    {
        OpenAndType(query);
        Testing::PressKey(Text(), Keys::F5);
        Settle();
    }
    void Settle()
    {
        ASSERT_TRUE(Testing::PumpUntil(
            [&]
            {
                WMI::ManagementObject* query = form->GetClassView().GetQuery();
                return query != nullptr && !query->IsLoading() && Status(0).find(L"Opening") == std::wstring::npos;
            }));
    }
    std::vector<std::wstring> Columns()
    {
        std::vector<std::wstring> names;
        Grid& grid = form->GetResultsGrid();
        for (int c = 0; c < grid.GetColumns().GetCount(); c++)
        {
            names.push_back(W(grid.GetHeaderText(c)));
        }
        return names;
    }
    std::vector<std::wstring> Row(int row)
    {
        std::vector<std::wstring> cells;
        Grid& grid = form->GetResultsGrid();
        for (int c = 0; c < grid.GetColumns().GetCount(); c++)
        {
            cells.push_back(W(grid.GetCellText(row, c)));
        }
        return cells;
    }

    Testing::RecordingDesktop desktop;
    Testing::TempDirectory reports;
    std::unique_ptr<ScriptedWmi::Provider> provider;
    std::unique_ptr<MainForm> form;
};

using Texts = std::vector<std::wstring>;

} // namespace

// Ctrl+Q adds the Query page beside Results, Metadata and MOF, on the selected machine and root\cimv2; a query of the
// class definitions returns several classes: the class column comes first, then the union of their properties.
TEST_F(QueryPageTest, AQueryOfSeveralClassesShowsTheUnionOfTheirColumns)
{
    Start();
    EXPECT_EQ(3, form->GetTabView().GetPages().GetCount()) << "no query page before one is asked for";
    OpenAndType(L"SELECT * FROM meta_class");
    ASSERT_EQ(4, form->GetTabView().GetPages().GetCount());
    EXPECT_EQ(L"Query", W(form->GetTabView().GetSelectedPage()->GetTitle()));
    EXPECT_EQ(L"Local Machine", W(Page().GetMachineBox().GetSelectedItem()->GetText()));
    EXPECT_EQ(L"root\\cimv2", W(Page().GetNamespaceBox().GetText()));
    // Top to bottom on the screen: where it runs, the text taking most of the page's height, the buttons.
    auto screen = [](Control& control)
    {
        RECT bounds;
        GetWindowRect(static_cast<HWND>(control.GetHandle()), &bounds);
        return bounds;
    };
    RECT machine = screen(Page().GetMachineBox());
    RECT text = screen(Text());
    RECT run = screen(*PageButton(L"R&un"));
    EXPECT_GE(text.top, machine.bottom);
    EXPECT_GE(run.top, text.bottom);
    EXPECT_GT(text.bottom - text.top, (screen(Page()).bottom - screen(Page()).top) / 2);
    Testing::PressKey(Text(), Keys::Return, Keys::Control);
    Settle();
    EXPECT_EQ(0, form->GetTabView().GetSelectedIndex()) << "the Results page comes to the front";
    EXPECT_EQ((Texts{L"__CLASS", L"DeviceID", L"Size", L"Index", L"Label", L"Antecedent", L"Dependent", L"Name",
                     L"ProcessId"}),
              Columns());
    ASSERT_EQ(6, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_EQ((Texts{L"Win32_Disk", L"", L"", L"", L"", L"", L"", L"", L""}), Row(0));
    EXPECT_EQ(L"Win32_DiskToVolume", Row(4)[0]);
    EXPECT_EQ(L"Win32_Process", Row(5)[0]);
    EXPECT_EQ(L"Loading completed. 6 records", Status(0));
    EXPECT_EQ(L"SELECT * FROM meta_class", provider->queries.back().text);
    EXPECT_TRUE(desktop.messages.empty());
}

// ASSOCIATORS OF returns the objects linked to one object, of two classes here; the rows of the class seen first
// have empty cells in the columns of the second.
TEST_F(QueryPageTest, AnAssociatorsQueryShowsTheLinkedObjects)
{
    Start();
    RunTyped(L"ASSOCIATORS OF {Win32_Disk.DeviceID=\"D0\"}");
    EXPECT_EQ((Texts{L"__CLASS", L"DeviceID", L"Index", L"Label"}), Columns());
    ASSERT_EQ(2, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_EQ((Texts{L"Win32_Partition", L"P0", L"0", L""}), Row(0));
    EXPECT_EQ((Texts{L"Win32_Volume", L"V0", L"", L"Data"}), Row(1));
    EXPECT_EQ(L"Loading completed. 2 records", Status(0));

    // The keyboard went to the rows with the page: copy and quick find work on them as on a class's.
    Grid& grid = form->GetResultsGrid();
    ASSERT_TRUE(grid.IsFocused());
    Testing::PressKey(grid, 'A', Keys::Control);
    Testing::PressKey(grid, 'C', Keys::Control);
    EXPECT_EQ(0u, Testing::ClipboardText().find(L"__CLASS\tDeviceID\tIndex\tLabel\r\nWin32_Partition\tP0\t0\t"))
        << Testing::ClipboardText();
    Testing::PressKey(grid, 'F', Keys::Control);
    ASSERT_TRUE(form->GetResultsFind().GetBox().GetVisible());
    Testing::TypeText(Testing::FocusedWindow(), L"volume");
    grid.FinishFilter();
    Testing::PumpMessages();
    ASSERT_EQ(1, grid.GetVisibleRowCount());
    EXPECT_EQ(L"V0", W(grid.GetCellText(grid.GetRowAtViewIndex(0), 1)));
}

// With loading set to synchronous, a query loads on the window's thread and shows its rows all the same.
TEST_F(QueryPageTest, ASynchronousQueryShowsItsRowsOnceLoaded)
{
    Start(String(), false);
    RunTyped(L"ASSOCIATORS OF {Win32_Disk.DeviceID=\"D0\"} WHERE ResultClass = Win32_Volume");
    EXPECT_EQ((Texts{L"Label", L"DeviceID"}), Columns());
    ASSERT_EQ(1, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_EQ((Texts{L"Data", L"V0"}), Row(0));
    EXPECT_EQ(L"Loading completed", Status(0));
}

// A query WMI refuses names the query; one of a class the machine lacks names the class; the text stays as typed.
TEST_F(QueryPageTest, AFailingQuerySaysWhyAndKeepsItsText)
{
    Start();
    RunTyped(L"SELEC * FROM Win32_Disk");
    EXPECT_EQ(L"Loading error occured. The query was not syntactically valid: SELEC * FROM Win32_Disk", Status(0));
    EXPECT_EQ(L"SELEC * FROM Win32_Disk", W(Text().GetText()));
    EXPECT_EQ(0, form->GetResultsGrid().GetRows().GetCount());
    RunTyped(L"SELECT Name FROM Win32_Nothing");
    EXPECT_EQ(L"Loading error occured. WMI on target machine does not support classWin32_Nothing", Status(0));
    EXPECT_EQ(L"SELECT Name FROM Win32_Nothing", W(Text().GetText()));
}

// The page's Stop during a query whose provider keeps its Next: the query ends cancelled at once, and the next one
// runs.
TEST_F(QueryPageTest, StopEndsARunningQuery)
{
    Start();
    ScriptedWmi::AddInstances(*provider->FindClass(L"Win32_Disk"), 100, [](int i, int) { return Value::Int(i); });
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    provider->largestBatch = 10;
    provider->onNext = [&](int call)
    {
        if (call == 2)
        {
            WaitForSingleObject(release, 30000);
        }
    };
    OpenAndType(L"SELECT * FROM Win32_Disk");
    Button* stop = PageButton(L"St&op");
    ASSERT_NE(nullptr, stop);
    bool stopped = false;
    // Run from a timer, so inside the query's wait, once the worker is inside its blocking Next.
    After(1,
          [&]
          {
              Testing::PumpUntil([&] { return provider->nextCallCount >= 2; });
              Testing::Click(*stop, 5, 5);
              stopped = true;
          });
    Testing::PressKey(Text(), Keys::F5);
    Settle();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(L"Loading cancelled. ", Status(0));
    EXPECT_FALSE(form->GetClassView().IsStopOffered());
    SetEvent(release);
    RunTyped(L"SELECT * FROM Win32_Partition");
    EXPECT_EQ(L"Loading completed. 1 records", Status(0));
    CloseHandle(release);
}

// Every query run goes into the history, which the next start of the program reads; Alt+Up brings back older ones
// with their machine and namespace, Alt+Down newer ones, and the drop-down chooses any.
TEST_F(QueryPageTest, TheHistoryOutlivesTheWindowAndAltUpStepsThroughIt)
{
    Start();
    RunTyped(L"SELECT * FROM Win32_Disk");
    OpenAndType(L"SELECT Size FROM MSSMBios_RawSMBiosTables");
    Page().GetNamespaceBox().SetText(String(L"root\\wmi"));
    Testing::PressKey(Text(), Keys::F5);
    Settle();
    EXPECT_EQ(L"Loading completed. 3 records", Status(0));
    EXPECT_EQ(L"root\\wmi", provider->queries.back().nameSpace);

    form.reset();
    Start();
    OpenAndType(L"");
    EXPECT_EQ(2, Page().GetHistoryBox().GetItems().GetCount());
    EXPECT_EQ(L"root\\cimv2", W(Page().GetNamespaceBox().GetText()));
    Testing::PressKey(Text(), Keys::Up, Keys::Alt);
    EXPECT_EQ(L"SELECT Size FROM MSSMBios_RawSMBiosTables", W(Text().GetText()));
    EXPECT_EQ(L"root\\wmi", W(Page().GetNamespaceBox().GetText()));
    EXPECT_EQ(L"Local Machine", W(Page().GetMachineBox().GetSelectedItem()->GetText()));
    Testing::PressKey(Text(), Keys::Up, Keys::Alt);
    EXPECT_EQ(L"SELECT * FROM Win32_Disk", W(Text().GetText()));
    EXPECT_EQ(L"root\\cimv2", W(Page().GetNamespaceBox().GetText()));
    Testing::PressKey(Text(), Keys::Up, Keys::Alt);
    EXPECT_EQ(L"SELECT * FROM Win32_Disk", W(Text().GetText())) << "the oldest stays";
    Testing::PressKey(Text(), Keys::Down, Keys::Alt);
    EXPECT_EQ(L"SELECT Size FROM MSSMBios_RawSMBiosTables", W(Text().GetText()));
    Page().GetHistoryBox().SetSelectedIndex(1);
    EXPECT_EQ(L"SELECT * FROM Win32_Disk", W(Text().GetText()));
    Testing::PressKey(Text(), Keys::F5);
    Settle();
    EXPECT_EQ(L"Loading completed. 2 records", Status(0));
    EXPECT_EQ(2, Page().GetHistoryBox().GetItems().GetCount()) << "the same query moves to the front";
}

// A SELECT of one class goes into the class-view file as a class with its properties and filter; an ASSOCIATORS
// OF query, or a list of * with names, is refused with the reason.
TEST_F(QueryPageTest, SaveQueryToClassViewTakesOneClassOrSaysWhyNot)
{
    Testing::TempDirectory files;
    String path = files.File(L"QuarrowConfig.xml");
    Testing::WriteFileBytes(path, "<?xml version=\"1.0\"?>\r\n"
                                  "<Categories>\r\n"
                                  "  <Category Name=\"Storage\" selected=\"Y\">\r\n"
                                  "    <Class Name=\"Win32_Volume\" selected=\"Y\" />\r\n"
                                  "  </Category>\r\n"
                                  "</Categories>\r\n");
    Start(path);
    OpenAndType(L"SELECT DeviceID, Size FROM Win32_Disk WHERE Size > 300");
    form->RunCommand(Quarrow::Command::SaveQueryToClassView);
    EXPECT_TRUE(desktop.messages.empty());
    std::string written = Testing::ReadFileBytes(path);
    EXPECT_NE(std::string::npos, written.find("Added classes"));
    EXPECT_NE(std::string::npos, written.find("<Class Name=\"Win32_Disk\"")) << written;
    EXPECT_NE(std::string::npos, written.find("DeviceID")) << written;
    EXPECT_NE(std::string::npos, written.find("<Filter>Size &gt; 300</Filter>")) << written;
    EXPECT_NE(std::string::npos, written.find("Win32_Volume")) << "the rest of the file stays";

    for (const wchar_t* refused : {L"ASSOCIATORS OF {Win32_Disk.DeviceID=\"D0\"}", L"SELECT *, Size FROM Win32_Disk"})
    {
        Text().SelectAll();
        Testing::TypeText(Text().GetHandle(), refused);
        Testing::Click(*PageButton(L"Save to C&lass View"), 5, 5);
        ASSERT_EQ(1u, desktop.messages.size()) << W(String(refused));
        EXPECT_EQ(0u, desktop.messages[0].text.find(L"The query cannot be saved to the class view."));
        desktop.messages.clear();
    }
    EXPECT_EQ(written, Testing::ReadFileBytes(path)) << "a refused query changes nothing";
}

// Copy as PowerShell puts the query's command on the clipboard, and, for a class selected in the tree, the command
// of the class with the grid's columns.
TEST_F(QueryPageTest, CopyAsPowerShellPutsTheCommandOnTheClipboard)
{
    Start();
    OpenAndType(L"SELECT Name FROM Win32_Process WHERE Name = 'a.exe'");
    Testing::Click(*PageButton(L"Copy as &PowerShell"), 5, 5);
    EXPECT_EQ(
        L"Get-CimInstance -Namespace 'root\\cimv2' -Query 'SELECT Name FROM Win32_Process WHERE Name = ''a.exe'''",
        Testing::ClipboardText());
    EXPECT_EQ(L"The PowerShell command is on the clipboard.", Status(0));

    TreeNode* process =
        Find(form->GetClassTree().GetNodes(), {L"Local Machine", L"Operating System", L"Processes", L"Win32_Process"});
    ASSERT_NE(nullptr, process);
    // A click on the class in the tree: the tree has the keyboard.
    for (TreeNode* parent = process->GetParent(); parent != nullptr; parent = parent->GetParent())
    {
        parent->Expand();
    }
    Testing::PumpMessages();
    form->GetClassTree().EnsureVisible(process);
    Testing::PumpMessages();
    Core::Controls::Rectangle text = form->GetClassTree().GetPartBounds(process, TreeViewHitArea::Text);
    Testing::Click(form->GetClassTree(), text.left + 2, text.top + text.height / 2);
    ASSERT_TRUE(Testing::PumpUntil(
        [&]
        {
            return !form->GetClassView().IsReadingDefinition() && form->GetCurrentClass() != nullptr &&
                   !form->GetCurrentClass()->IsLoading();
        }));
    form->RunCommand(Quarrow::Command::CopyAsPowerShell);
    EXPECT_EQ(L"Get-CimInstance -Namespace 'root\\cimv2' -ClassName 'Win32_Process' -Property 'Name','ProcessId' | "
              L"Select-Object -Property 'Name','ProcessId'",
              Testing::ClipboardText());
}

// A remote machine's command names the machine and its user, never the password.
TEST_F(QueryPageTest, ARemoteMachinesCommandNamesItsUserButNoPassword)
{
    provider->machines = {{L"srv1", {0, S_OK}}};
    Start();
    WhenVisible(L"Quarrow.ConnectForm",
                [&](HWND dialog)
                {
                    std::vector<TextBox*> boxes = FindControls<TextBox>(*form->GetConnectForm());
                    boxes[0]->SetText(String(L"srv1"));
                    boxes[1]->SetText(String(L"admin"));
                    boxes[2]->SetText(String(L"Secret1"));
                    PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 1);
                });
    form->RunCommand(Quarrow::Command::Connect);
    ASSERT_EQ(2, form->GetClassTree().GetNodes().GetCount());
    form->GetClassTree().SetSelectedNode(form->GetClassTree().GetNodes()[1]);
    OpenAndType(L"SELECT * FROM Win32_Disk");
    EXPECT_EQ(L"srv1", W(Page().GetMachineBox().GetSelectedItem()->GetText()));
    form->RunCommand(Quarrow::Command::CopyAsPowerShell);
    std::wstring command = Testing::ClipboardText();
    EXPECT_EQ(L"Get-CimInstance -Namespace 'root\\cimv2' -Query 'SELECT * FROM Win32_Disk' -CimSession "
              L"(New-CimSession -ComputerName 'srv1' -Credential 'admin')",
              command);
    EXPECT_EQ(std::wstring::npos, command.find(L"Secret1"));
}

namespace
{

// The label and value of each row of a workbook's header block, the date's value left out.
Texts WorkbookHeader(const String& fileName)
{
    Texts header;
    Core::Xml::XmlTextReader reader(fileName);
    int rows = 0;
    bool date = false;
    while (reader.Read() && rows <= 4)
    {
        if (reader.NodeType() == Core::Xml::XmlNodeType::Element && reader.LocalName() == String(L"Row"))
        {
            rows++;
        }
        else if (rows <= 4 && reader.NodeType() == Core::Xml::XmlNodeType::Element &&
                 reader.LocalName() == String(L"Data"))
        {
            std::wstring cell = W(reader.ReadString());
            header.push_back(date ? L"(date)" : cell);
            date = !date && cell == L"Date";
        }
    }
    reader.Close();
    return header;
}

} // namespace

// The reports of a query's rows are named after its class, or "Query" when it names none, and the workbook says
// which query on which machine and namespace gave them.
TEST_F(QueryPageTest, AQuerysReportsAreNamedAfterItsClassAndTheWorkbookHoldsTheQuery)
{
    Start();
    RunTyped(L"SELECT * FROM meta_class");
    form->RunCommand(Quarrow::Command::WorkbookReport);
    ASSERT_EQ(1u, desktop.launches.size());
    EXPECT_EQ(L"\"" + W(reports.GetPath()) + L"\\WmiReport_Query.xml\"", desktop.launches[0].parameters);
    EXPECT_EQ((Texts{L"Host", L"Local Machine", L"Date", L"(date)", L"Namespace", L"root\\cimv2", L"Query",
                     L"SELECT * FROM meta_class"}),
              WorkbookHeader(reports.File(L"WmiReport_Query.xml")));

    RunTyped(L"ASSOCIATORS OF {Win32_Disk.DeviceID=\"D0\"}");
    form->RunCommand(Quarrow::Command::CommaReport);
    ASSERT_EQ(2u, desktop.launches.size());
    EXPECT_EQ(L"\"" + W(reports.GetPath()) + L"\\WmiReport_Win32_Disk.csv\"", desktop.launches[1].parameters);
    EXPECT_EQ("__CLASS,DeviceID,Index,Label\r\nWin32_Partition,P0,0,\r\nWin32_Volume,V0,,Data\r\n",
              Testing::ReadFileBytes(reports.File(L"WmiReport_Win32_Disk.csv")));
    EXPECT_TRUE(desktop.messages.empty());
}

// With a namespace selected under Namespaces, the query runs there, through a connection made on a worker; a
// namespace the machine lacks is said in a message, and nothing runs.
TEST_F(QueryPageTest, TheQueryRunsInTheNamespaceOfTheSelectedNode)
{
    Start();
    TreeNode* namespaces = form->GetClassTree().GetNodes()[0]->GetLastNode();
    form->GetClassTree().ExpandNode(namespaces);
    ASSERT_TRUE(Testing::PumpUntil([&] { return Find(namespaces->GetNodes(), {L"Reading ..."}) == nullptr; }));
    TreeNode* wmi = Find(namespaces->GetNodes(), {L"wmi"});
    ASSERT_NE(nullptr, wmi);
    form->GetClassTree().SetSelectedNode(wmi);
    Testing::PumpMessages();
    OpenAndType(L"SELECT Size FROM MSSMBios_RawSMBiosTables");
    EXPECT_EQ(L"root\\wmi", W(Page().GetNamespaceBox().GetText()));
    Testing::PressKey(Text(), Keys::F5);
    Settle();
    EXPECT_EQ(L"Loading completed. 3 records", Status(0));
    EXPECT_EQ(L"root\\wmi", provider->queries.back().nameSpace);
    EXPECT_EQ((Texts{L"Size"}), Columns());

    size_t queries = provider->queries.size();
    OpenAndType(L"SELECT * FROM Win32_Disk");
    Page().GetNamespaceBox().SetText(String(L"root\\nothing"));
    Testing::PressKey(Text(), Keys::F5);
    ASSERT_TRUE(Testing::PumpUntil([&] { return !desktop.messages.empty(); }));
    EXPECT_EQ(L"Error", desktop.messages[0].caption);
    EXPECT_EQ(queries, provider->queries.size()) << "nothing ran";
    EXPECT_EQ(L"", Status(0));
}

// A history the registry refuses is said in the status line, at the start and after a run; the program starts and
// the query runs all the same, and stays in the drop-down.
TEST_F(QueryPageTest, AHistoryThatCannotBeSavedIsSaidInTheStatus)
{
    // A key name the registry refuses: components may not be longer than 255 characters.
    form = std::make_unique<MainForm>(String(KeyPath) + L"\\" + String(L'x', 300));
    form->SetBounds(0, 0, 900, 600);
    form->Show();
    Testing::PumpMessages();
    OpenAndType(L"SELECT * FROM Win32_Disk");
    EXPECT_EQ(0u, Status(1).find(L"Query history not read: ")) << Status(1);
    Testing::PressKey(Text(), Keys::F5);
    Settle();
    EXPECT_EQ(L"Loading completed. 2 records", Status(0));
    EXPECT_EQ(0u, Status(1).find(L"Query history not saved: ")) << Status(1);
    EXPECT_EQ(1, Page().GetHistoryBox().GetItems().GetCount());
}

// After a query, a click on the class still selected in the tree shows that class again, rows and Metadata, without
// asking the machine for its instances again.
TEST_F(QueryPageTest, AClickOnTheSelectedClassTakesTheViewBackFromTheQuery)
{
    Start();
    TreeView& tree = form->GetClassTree();
    TreeNode* process = Find(tree.GetNodes(), {L"Local Machine", L"Operating System", L"Processes", L"Win32_Process"});
    ASSERT_NE(nullptr, process);
    tree.SetSelectedNode(process);
    ASSERT_TRUE(
        Testing::PumpUntil([&] { return form->GetCurrentClass() != nullptr && form->GetCurrentClass()->IsLoaded(); }));
    ASSERT_GT(form->GetClassView().GetMetadataGrid().GetRowCount(), 0);
    RunTyped(L"SELECT DeviceID FROM Win32_Disk");
    ASSERT_EQ((Texts{L"DeviceID"}), Columns());
    Grid& metadata = form->GetClassView().GetMetadataGrid();
    for (int r = 0; r < metadata.GetRowCount(); r++)
    {
        EXPECT_NE(L"ProcessId", W(metadata.GetCellText(r, 0))) << "nothing of the class before stays";
    }
    size_t queries = provider->queries.size();

    tree.EnsureVisible(process);
    Core::Controls::Rectangle row = tree.GetPartBounds(process, TreeViewHitArea::Text);
    Testing::Click(tree, row.left + row.width / 2, row.top + row.height / 2);
    ASSERT_TRUE(Testing::PumpUntil([&] { return form->GetCurrentClass() == Config::ClassOf(process); }));
    Testing::PumpMessages();
    Texts columns = Columns();
    EXPECT_NE(columns.end(), std::find(columns.begin(), columns.end(), L"ProcessId")) << columns.size();
    EXPECT_EQ(1, form->GetClassView().GetResultsGrid().GetRowCount());
    EXPECT_GT(form->GetClassView().GetMetadataGrid().GetRowCount(), 0);
    EXPECT_EQ(queries, provider->queries.size()) << "the class's rows were kept";
}
