// The main window as a person meets it, in-process with real windows and messages: the tree after start, the
// enabling rules, the commands, and the loading of a class's data against Wine's WMI and the scripted provider.
#include "app/AboutForm.h"
#include "app/MainForm.h"
#include "app/options/OptionsForm.h"
#include "config/Catalogue.h"
#include "config/ClassTreeNodes.h"
#include "config/ClassViewEditor.h"
#include "core/controls/Application.h"
#include "core/controls/Cursor.h"
#include "core/controls/FindBox.h"
#include "core/controls/StatusBar.h"
#include "core/controls/TextBox.h"
#include "core/controls/Theme.h"
#include "core/io/Path.h"
#include "core/platform/windows/RegistryKey.h"
#include "core/threading/BackgroundWork.h"
#include "core/xml/XmlTextReader.h"
#include "resources/ResourceIds.h"
#include "wmi/ResultMessage.h"

#include "tests/app/AppTesting.h"
#include "tests/app/UserGuideFile.h"
#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/AccessibleClient.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedWmi.h"
#include "tests/support/TempDirectory.h"

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
using WMI::ManagementConnection;
using WMI::ManagementObject;

namespace
{

const wchar_t* const KeyPath = L"Software\\QuarrowTests\\MainForm";

using namespace AppTesting;

class MainFormTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
        Testing::DropEndMessages();
    }
    void TearDown() override
    {
        form.reset();
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }

    // The window with the options' key of the tests, shown: the local connection and its tree are made.
    void Start(int reportTarget = Config::ReportOnScreen, bool asyncLoad = true, const String& configFile = String())
    {
        {
            Config::AppOptions options{String(KeyPath)};
            options.SetReportTarget(reportTarget);
            options.SetAsyncLoad(asyncLoad);
            options.SetReportDirectory(reports.GetPath());
            options.SetConfigFile(configFile);
        }
        form = std::make_unique<MainForm>(String(KeyPath));
        form->SetBounds(0, 0, 800, 600);
        form->Show();
        Testing::PumpMessages();
    }

    TreeView& Tree() { return form->GetClassTree(); }
    TreeNode* Local() { return Tree().GetNodes()[0]; }
    TreeNode* Node(std::initializer_list<const wchar_t*> path) { return Find(Tree().GetNodes(), path); }
    TreeNode* Process() { return Node({L"Local Machine", L"Operating System", L"Processes", L"Win32_Process"}); }

    // Expands the node's ancestors and scrolls it into view.
    void Show(TreeNode* node)
    {
        for (TreeNode* parent = node->GetParent(); parent != nullptr; parent = parent->GetParent())
        {
            parent->Expand();
        }
        Testing::PumpMessages();
        Tree().EnsureVisible(node);
    }
    // A click on the node's text, as a person selects it.
    void Select(TreeNode* node)
    {
        ASSERT_NE(nullptr, node);
        Show(node);
        Testing::PumpMessages();
        Core::Controls::Rectangle text = Tree().GetPartBounds(node, TreeViewHitArea::Text);
        Testing::Click(Tree(), text.left + 2, text.top + text.height / 2);
        // The definition comes back through the loop, and the load follows it.
        ASSERT_TRUE(Testing::PumpUntil([&] { return !form->GetClassView().IsReadingDefinition(); }));
    }
    // The same click, queued: it is handled inside whatever loop runs next (a load's wait).
    void PostSelect(TreeNode* node)
    {
        Show(node);
        Testing::PumpMessages();
        Core::Controls::Rectangle text = Tree().GetPartBounds(node, TreeViewHitArea::Text);
        LPARAM position = MAKELPARAM(text.left + 2, text.top + text.height / 2);
        PostMessageW(static_cast<HWND>(Tree().GetHandle()), WM_LBUTTONDOWN, MK_LBUTTON, position);
        PostMessageW(static_cast<HWND>(Tree().GetHandle()), WM_LBUTTONUP, 0, position);
    }
    // Every toolbar button's enabled state, left to right.
    std::vector<bool> Buttons()
    {
        std::vector<bool> states;
        for (int i = 0; i < form->GetToolBar().GetButtons().GetCount(); i++)
        {
            states.push_back(form->GetToolBar().GetButtons()[i]->IsEnabled());
        }
        return states;
    }
    // "&Application", "&Disconnect".
    bool DisconnectItemEnabled()
    {
        MenuItem* application = static_cast<MenuItem*>(form->GetMainMenu().GetMenuItems()[0]);
        return application->GetMenuItems()[1]->IsEnabled();
    }
    std::wstring Status(int panel) { return W(form->GetStatusBar().GetPanels()[panel]->GetText()); }

    Testing::RecordingDesktop desktop;
    Testing::TempDirectory reports;
    std::unique_ptr<MainForm> form;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Start-up and the enabling rules

TEST_F(MainFormTest, StartsWithTheLocalMachineItsTwoGroupsAndOnlyConnectEnabled)
{
    Start();
    ASSERT_EQ(1, Tree().GetNodes().GetCount());
    EXPECT_EQ(L"Local Machine", W(Local()->GetText()));
    EXPECT_EQ(L"M", W(Local()->GetTag()));
    ASSERT_EQ(3, Local()->GetNodes().GetCount());
    EXPECT_EQ(L"Computer Hardware", W(Local()->GetNodes()[0]->GetText()));
    EXPECT_EQ(L"Operating System", W(Local()->GetNodes()[1]->GetText()));
    TreeNode* namespaces = Local()->GetNodes()[2];
    EXPECT_EQ(L"Namespaces", W(namespaces->GetText()));
    EXPECT_FALSE(namespaces->IsExpanded());
    EXPECT_TRUE(namespaces->CanExpand()) << "read when first opened";
    EXPECT_EQ(0, namespaces->GetNodes().GetCount());
    EXPECT_EQ((std::vector<bool>{true, false, false, false, false, false, false, true}), Buttons());
    EXPECT_FALSE(DisconnectItemEnabled()) << "a disabled item takes no shortcut";
    ASSERT_EQ(1, form->GetConnections().GetCount());
    // The local machine connects from a timer once the window has painted: not necessarily within Start's pump.
    EXPECT_TRUE(Testing::PumpUntil([&] { return form->GetConnections()[0]->IsConnected(); }));
    EXPECT_EQ(L"Config file does not exist", Status(1));
    EXPECT_EQ(L"Async", Status(2));
    EXPECT_EQ(L"Quarrow.MainForm", W(form->GetNativeClassName()));
}

// The window and its tree come first; the local machine is connected once nothing is left to paint, or by the
// first command that comes sooner.
TEST_F(MainFormTest, TheLocalMachineConnectsOnceTheWindowHasPainted)
{
    for (bool byCommand : {false, true})
    {
        form = std::make_unique<MainForm>(String(KeyPath));
        form->SetBounds(0, 0, 800, 600);
        form->Show();
        ManagementConnection* local = form->GetConnections()[0];
        EXPECT_FALSE(local->IsConnected());
        EXPECT_EQ(3, Local()->GetNodes().GetCount());
        if (byCommand)
        {
            form->RunCommand(Quarrow::Command::StopLoading);
            EXPECT_TRUE(local->IsConnected());
        }
        else
        {
            DWORD deadline = GetTickCount() + 5000;
            while (!local->IsConnected() && GetTickCount() < deadline)
            {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
                Testing::PumpMessages();
            }
            EXPECT_TRUE(local->IsConnected());
            EXPECT_FALSE(GetUpdateRect(static_cast<HWND>(Tree().GetHandle()), nullptr, FALSE)) << "painted first";
        }
        EXPECT_TRUE(desktop.messages.empty());
        form.reset();
    }
}

TEST_F(MainFormTest, TheSelectedNodesKindDecidesWhatIsEnabled)
{
    Start(Config::ReportOnScreen, false);
    EXPECT_EQ(L"Sync", Status(2));
    Select(Local());
    EXPECT_EQ((std::vector<bool>{true, true, false, false, false, false, false, true}), Buttons());
    EXPECT_TRUE(DisconnectItemEnabled());
    Select(Node({L"Local Machine", L"Operating System"}));
    EXPECT_EQ((std::vector<bool>{true, false, false, false, false, false, false, true}), Buttons());
    EXPECT_FALSE(DisconnectItemEnabled());
    Select(Process());
    // The reports and Refresh (and Stop, as a synchronous load leaves it); the load from all machines needs a
    // second machine.
    EXPECT_EQ((std::vector<bool>{true, false, true, true, true, true, false, true}), Buttons());
    EXPECT_FALSE(DisconnectItemEnabled());
}

// ---------------------------------------------------------------------------------------------------------------
// Commands

// Disconnecting the local machine is refused with an information box, and the machine stays.
TEST_F(MainFormTest, TheLocalMachineCannotBeDisconnected)
{
    Start();
    Select(Local());
    form->RunCommand(Quarrow::Command::Disconnect);
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(form->GetHandle(), desktop.messages[0].owner);
    EXPECT_EQ(L"Info", desktop.messages[0].caption);
    EXPECT_EQ(L"Application needs local connection to work properly, will not disconnect.", desktop.messages[0].text);
    EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONINFORMATION), desktop.messages[0].style);
    EXPECT_EQ(1, Tree().GetNodes().GetCount());
    EXPECT_EQ(1, form->GetConnections().GetCount());
}

// "localhost" is a machine of its own: connected through the dialog it gets a node after the local one, and
// disconnecting it removes node and connection together.
TEST_F(MainFormTest, ConnectAddsAMachineNodeAndDisconnectRemovesIt)
{
    Start();
    WhenVisible(L"Quarrow.ConnectForm",
                [&](HWND dialog)
                {
                    FindControls<TextBox>(*form->GetConnectForm())[0]->SetText(String(L"localhost"));
                    PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 1);
                });
    form->RunCommand(Quarrow::Command::Connect);
    ASSERT_NE(nullptr, form->GetConnectForm());
    EXPECT_EQ(L"Connect to another machine", W(form->GetConnectForm()->GetText()));
    EXPECT_TRUE(desktop.messages.empty());
    ASSERT_EQ(2, Tree().GetNodes().GetCount());
    TreeNode* machine = Tree().GetNodes()[1];
    EXPECT_EQ(L"localhost", W(machine->GetText()));
    EXPECT_EQ(L"M", W(machine->GetTag()));
    EXPECT_EQ(3, machine->GetNodes().GetCount()) << "two groups and its namespaces";
    ASSERT_EQ(2, form->GetConnections().GetCount());
    EXPECT_EQ(machine->GetData(), reinterpret_cast<uintptr_t>(form->GetConnections()[1]));
    EXPECT_EQ(0, form->GetResultsGrid().GetColumns().GetCount());

    Select(machine);
    form->RunCommand(Quarrow::Command::Disconnect);
    EXPECT_EQ(1, Tree().GetNodes().GetCount());
    EXPECT_EQ(1, form->GetConnections().GetCount());
    EXPECT_EQ(L"Local Machine", W(Tree().GetNodes()[0]->GetText()));
}

TEST_F(MainFormTest, AReportWithoutASelectedClassAsksForOne)
{
    Start();
    Select(Node({L"Local Machine", L"Operating System"}));
    // The menu item, as a person reaches it: its shortcut (Ctrl+Shift+B, comma-delimited text).
    ASSERT_TRUE(form->GetMainMenu().ProcessShortcut(Shortcut::CtrlShiftB));
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Error", desktop.messages[0].caption);
    EXPECT_EQ(L"Please select a class.", desktop.messages[0].text);
    EXPECT_TRUE(desktop.launches.empty());
}

// Each report type opens in its viewer, the file name in double quotes (report folders may have blanks).
TEST_F(MainFormTest, ReportsOpenInTheirViewersWithTheQuotedFileName)
{
    Start(Config::ReportOnScreen, false);
    Select(Process());
    struct Case
    {
        int command;
        const wchar_t* viewer;
        const wchar_t* extension;
    };
    const Case cases[] = {{Quarrow::Command::WorkbookReport, L"excel.exe", L".xml"},
                          {Quarrow::Command::CommaReport, L"Notepad.exe", L".csv"},
                          {Quarrow::Command::TabReport, L"Notepad.exe", L".txt"}};
    for (const Case& c : cases)
    {
        form->RunCommand(c.command);
        ASSERT_FALSE(desktop.launches.empty());
        const auto& launch = desktop.launches.back();
        EXPECT_EQ(c.viewer, launch.file);
        std::wstring expected = L"\"" + W(reports.GetPath()) + L"\\WmiReport_Win32_Process" + c.extension + L"\"";
        EXPECT_EQ(expected, launch.parameters);
    }
    EXPECT_EQ(3u, desktop.launches.size());
    EXPECT_TRUE(desktop.messages.empty());
}

namespace
{

// The header block of a workbook report as the XML reader gives it back: the label and value of each of its rows
// but the date, whose value is the time of writing.
std::vector<std::wstring> WorkbookHeader(const String& fileName)
{
    std::vector<std::vector<std::wstring>> rows;
    Core::Xml::XmlTextReader reader(fileName);
    while (reader.Read() && rows.size() <= 4)
    {
        if (reader.NodeType() == Core::Xml::XmlNodeType::Element && reader.LocalName() == String(L"Row"))
        {
            rows.emplace_back();
        }
        else if (reader.NodeType() == Core::Xml::XmlNodeType::Element && reader.LocalName() == String(L"Data"))
        {
            rows.back().push_back(W(reader.ReadString()));
        }
    }
    reader.Close();
    std::vector<std::wstring> header;
    for (size_t r = 0; r < rows.size() && r < 4; r++)
    {
        for (const std::wstring& cell : rows[r])
        {
            header.push_back(rows[r][0] == L"Date" && &cell != &rows[r][0] ? L"(date)" : cell);
        }
    }
    return header;
}

} // namespace

// The workbook says where its data came from: the machine as the tree names it, the class's group and category.
TEST_F(MainFormTest, AWorkbookNamesTheMachineAndTheClasssCategories)
{
    Start(Config::ReportOnScreen, false);
    Select(Process());
    form->RunCommand(Quarrow::Command::WorkbookReport);
    String fileName = reports.File(L"WmiReport_Win32_Process.xml");
    EXPECT_EQ((std::vector<std::wstring>{L"Host", L"Local Machine", L"Date", L"(date)", L"Category",
                                         L"Operating System", L"Subcategory", L"Processes"}),
              WorkbookHeader(fileName));

    WhenVisible(L"Quarrow.ConnectForm",
                [&](HWND dialog)
                {
                    FindControls<TextBox>(*form->GetConnectForm())[0]->SetText(String(L"localhost"));
                    PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 1);
                });
    form->RunCommand(Quarrow::Command::Connect);
    Select(Node({L"localhost", L"Computer Hardware", L"Motherboard, Controller and Port", L"Win32_Processor"}));
    form->RunCommand(Quarrow::Command::WorkbookReport);
    EXPECT_EQ((std::vector<std::wstring>{L"Host", L"localhost", L"Date", L"(date)", L"Category", L"Computer Hardware",
                                         L"Subcategory", L"Motherboard, Controller and Port"}),
              WorkbookHeader(reports.File(L"WmiReport_Win32_Processor.xml")));
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(MainFormTest, AViewerThatDoesNotStartIsReported)
{
    Start(Config::ReportOnScreen, false);
    Select(Process());
    desktop.executeResult = 2;
    form->RunCommand(Quarrow::Command::WorkbookReport);
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Error", desktop.messages[0].caption);
    // The path on a line of its own, whole, so that the box does not break it.
    std::wstring text = desktop.messages[0].text;
    std::wstring path = W(reports.GetPath()) + L"\\WmiReport_Win32_Process.xml";
    EXPECT_EQ(0u, text.find(L"The report was saved as:\r\n" + path + L"\r\n\r\n")) << text;
}

TEST_F(MainFormTest, TheAboutDialogOpensOverTheWindow)
{
    Start();
    std::wstring shownTitle;
    WhenVisible(L"Quarrow.AboutForm",
                [&](HWND about)
                {
                    wchar_t title[64] = {};
                    GetWindowTextW(about, title, 64);
                    shownTitle = title;
                    PostMessageW(about, WM_KEYDOWN, VK_ESCAPE, 1);
                });
    form->RunCommand(Quarrow::Command::About);
    EXPECT_EQ(L"About Quarrow", shownTitle);
    ASSERT_NE(nullptr, form->GetAboutForm());
    EXPECT_EQ(form.get(), form->GetAboutForm()->GetOwner());
}

// Help opens the user guide beside the program, with no web address that may not exist; a guide that is missing,
// or a browser that does not start, is reported with the file's path.
TEST_F(MainFormTest, OnlineHelpOpensTheGuideBesideTheProgramAndReportsAFailure)
{
    Start();
    {
        Testing::UserGuideFile guide;
        ASSERT_TRUE(form->GetMainMenu().ProcessShortcut(Shortcut::CtrlF1));
        ASSERT_EQ(1u, desktop.launches.size());
        EXPECT_EQ(L"open", desktop.launches[0].operation);
        EXPECT_EQ(W(Quarrow::GetUserGuidePath()), desktop.launches[0].file);
        EXPECT_NE(std::wstring::npos, desktop.launches[0].file.find(L"\\QuarrowGuide.html"));
        EXPECT_EQ(L"", desktop.launches[0].parameters);
        desktop.executeResult = 2;
        form->RunCommand(Quarrow::Command::OnlineHelp);
        ASSERT_EQ(1u, desktop.messages.size());
        EXPECT_EQ(L"Error", desktop.messages[0].caption);
        EXPECT_NE(std::wstring::npos, desktop.messages[0].text.find(W(Quarrow::GetUserGuidePath())));
    }
    form->RunCommand(Quarrow::Command::OnlineHelp);
    ASSERT_EQ(2u, desktop.messages.size());
    EXPECT_EQ(L"The user guide was not found beside the program:\r\n" + W(Quarrow::GetUserGuidePath()),
              desktop.messages[1].text);
    EXPECT_EQ(2u, desktop.launches.size()) << "nothing is started for a missing guide";
}

// Exit and the close box end the message loop alike, with exit code 0, and the options are saved.
TEST_F(MainFormTest, ExitAndTheCloseBoxEndTheRunAndSaveTheOptions)
{
    for (bool closeBox : {false, true})
    {
        Start();
        form->GetOptions().SetReportDirectory(String(L"C:\\Saved\\At\\Exit"));
        WhenVisible(L"Quarrow.MainForm",
                    [&](HWND window)
                    {
                        if (closeBox)
                        {
                            PostMessageW(window, WM_CLOSE, 0, 0);
                        }
                        else
                        {
                            form->RunCommand(Quarrow::Command::Exit);
                        }
                    });
        EXPECT_EQ(0, Application::Run(form.get())) << closeBox;
        form.reset();
        Config::AppOptions saved{String(KeyPath)};
        EXPECT_EQ(L"C:\\Saved\\At\\Exit", W(saved.GetReportDirectory())) << closeBox;
        Testing::DropEndMessages();
    }
}

// ---------------------------------------------------------------------------------------------------------------
// The options command

namespace
{

// Only the Processes category: a rebuild from the whole catalogue is told from it by the second group.
const char* const ProcessesOnly = "<?xml version=\"1.0\"?>\r\n"
                                  "<Categories>\r\n"
                                  "  <Category Name=\"Operating System\" selected=\"Y\">\r\n"
                                  "    <Category Name=\"Processes\" selected=\"Y\">\r\n"
                                  "      <Class Name=\"Win32_Process\" selected=\"Y\" />\r\n"
                                  "      <Class Name=\"Win32_Thread\" selected=\"Y\" />\r\n"
                                  "    </Category>\r\n"
                                  "  </Category>\r\n"
                                  "</Categories>\r\n";

// Runs actions in the options dialog once it shows; they end it themselves.
void InOptionsDialog(MainForm& form, std::function<void(Config::OptionsForm&)> actions)
{
    WhenVisible(L"Quarrow.OptionsForm",
                [&form, actions](HWND)
                {
                    Config::OptionsForm& dialog = *form.GetOptionsForm();
                    actions(dialog);
                    if (dialog.IsModal())
                    {
                        ADD_FAILURE() << "the options dialog is still open after the actions";
                        dialog.EndDialog(DialogResult::Cancel);
                    }
                });
}

// Gives the configuration a new file name, as typed, and presses OK: the dialog fills its tree from the
// catalogue, writes the file and reports both the name and the tree changed.
void ChooseNewConfigFile(Config::OptionsForm& dialog, const String& path)
{
    dialog.GetTabView().ShowPage(1);
    TextBox& box = dialog.GetConfigPage().GetFileBox();
    Testing::Click(box, 4, 4);
    Testing::PressKey(dialog, 'A', Keys::Control);
    Testing::PressKey(dialog, VK_DELETE);
    Testing::TypeText(Testing::FocusedWindow(), path.GetBuffer());
    Testing::PressKey(dialog, VK_TAB);
    Testing::Click(*dialog.GetAcceptButton(), 5, 5);
}

class OptionsCommandTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        configPath = files.File(L"QuarrowConfig.xml");
        Testing::WriteFileBytes(configPath, ProcessesOnly);
    }
    std::vector<std::wstring> Groups()
    {
        std::vector<std::wstring> texts;
        for (int i = 0; i < Local()->GetNodes().GetCount(); i++)
        {
            TreeNode* node = Local()->GetNodes()[i];
            if (node->GetTag() == String(L"CT"))
            {
                texts.push_back(W(node->GetText()));
            }
        }
        return texts;
    }

    Testing::TempDirectory files;
    String configPath;
};

} // namespace

// OK after a new report directory only: nothing is asked, the loading mode and the tree stay as they were.
TEST_F(OptionsCommandTest, ANewReportDirectoryAloneAsksNothingAndKeepsTheLoadingMode)
{
    Start(Config::ReportOnScreen, true, configPath);
    desktop.folderAnswers.push_back(L"D:\\Exports");
    InOptionsDialog(*form,
                    [](Config::OptionsForm& dialog)
                    {
                        Testing::Click(dialog.GetDirectoryBrowseButton(), 5, 5);
                        Testing::Click(*dialog.GetAcceptButton(), 5, 5);
                    });
    form->RunCommand(Quarrow::Command::Options);
    ASSERT_NE(nullptr, form->GetOptionsForm());
    EXPECT_EQ(form.get(), form->GetOptionsForm()->GetOwner());
    EXPECT_EQ(Config::ReportDirectoryChanged, form->GetOptionsForm()->GetChangeFlags());
    EXPECT_EQ(L"D:\\Exports", W(form->GetOptions().GetReportDirectory()));
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(L"Async", Status(2));
    EXPECT_TRUE(form->GetConnections()[0]->GetAsyncLoad());
    EXPECT_EQ((std::vector<std::wstring>{L"Operating System"}), Groups());
}

// Turning asynchronous loading off reaches the connections and the status bar; Cancel afterwards changes nothing.
TEST_F(OptionsCommandTest, TheLoadingModeReachesTheConnectionsOnOkOnly)
{
    Start(Config::ReportOnScreen, true, configPath);
    InOptionsDialog(*form,
                    [](Config::OptionsForm& dialog)
                    {
                        Testing::Click(dialog.GetAsyncCheckBox(), 5, 5);
                        Testing::PressKey(dialog, VK_RETURN);
                    });
    form->RunCommand(Quarrow::Command::Options);
    EXPECT_EQ(L"Sync", Status(2));
    EXPECT_FALSE(form->GetConnections()[0]->GetAsyncLoad());

    InOptionsDialog(*form,
                    [](Config::OptionsForm& dialog)
                    {
                        Testing::Click(dialog.GetAsyncCheckBox(), 5, 5);
                        Testing::PressKey(dialog, VK_ESCAPE);
                    });
    form->RunCommand(Quarrow::Command::Options);
    EXPECT_EQ(L"Sync", Status(2));
    EXPECT_FALSE(form->GetConnections()[0]->GetAsyncLoad());
    EXPECT_FALSE(form->GetOptions().GetAsyncLoad());
    EXPECT_TRUE(desktop.messages.empty());
}

// A new configuration asks before the tree is rebuilt: No keeps the tree, Yes builds it from the new file.
TEST_F(OptionsCommandTest, ANewConfigurationAsksAndYesRebuildsTheTree)
{
    for (int answer : {IDNO, IDYES})
    {
        Start(Config::ReportOnScreen, true, configPath);
        String newPath = files.File(answer == IDYES ? L"Yes.xml" : L"No.xml");
        desktop.messages.clear();
        desktop.answers = {answer};
        InOptionsDialog(*form, [newPath](Config::OptionsForm& dialog) { ChooseNewConfigFile(dialog, newPath); });
        form->RunCommand(Quarrow::Command::Options);
        ASSERT_EQ(1u, desktop.messages.size()) << answer;
        EXPECT_EQ(L"Configuration changes", desktop.messages[0].caption);
        EXPECT_EQ(L"Rebuild tree with new configuration?", desktop.messages[0].text);
        EXPECT_EQ(static_cast<unsigned int>(MB_YESNO | MB_ICONQUESTION), desktop.messages[0].style);
        EXPECT_EQ(newPath, form->GetOptions().GetConfigFile());
        if (answer == IDNO)
        {
            EXPECT_EQ((std::vector<std::wstring>{L"Operating System"}), Groups());
        }
        else
        {
            EXPECT_EQ((std::vector<std::wstring>{L"Computer Hardware", L"Operating System"}), Groups());
            EXPECT_TRUE(Local()->IsExpanded());
            EXPECT_NE(nullptr, Node({L"Local Machine", L"Computer Hardware", L"Cooling Devices", L"Win32_Fan"}));
        }
        EXPECT_EQ(L"Namespaces", W(Local()->GetLastNode()->GetText())) << "the rebuilt tree keeps its namespaces";
        EXPECT_EQ(L"", Status(1));
        form.reset();
    }
}

// Without a configuration file the window shows the catalogue: OK after a report setting alone neither asks to
// rebuild nor writes a file, and the status still says there is none.
TEST_F(OptionsCommandTest, OkWithoutAFileAndOnlyAReportSettingAsksAndWritesNothing)
{
    String missing = files.File(L"NotYet.xml");
    Start(Config::ReportOnScreen, true, missing);
    desktop.folderAnswers.push_back(L"D:\\Exports");
    InOptionsDialog(*form,
                    [](Config::OptionsForm& dialog)
                    {
                        Testing::Click(dialog.GetDirectoryBrowseButton(), 5, 5);
                        Testing::Click(*dialog.GetAcceptButton(), 5, 5);
                    });
    form->RunCommand(Quarrow::Command::Options);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(Config::ReportDirectoryChanged, form->GetOptionsForm()->GetChangeFlags());
    EXPECT_FALSE(Core::IO::File::Exists(missing));
    EXPECT_EQ(L"Config file does not exist", Status(1));

    // The loading mode reaches the connections without a file too.
    InOptionsDialog(*form,
                    [](Config::OptionsForm& dialog)
                    {
                        Testing::Click(dialog.GetAsyncCheckBox(), 5, 5);
                        Testing::PressKey(dialog, VK_RETURN);
                    });
    form->RunCommand(Quarrow::Command::Options);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(L"Sync", Status(2));
    EXPECT_FALSE(form->GetConnections()[0]->GetAsyncLoad());
    EXPECT_FALSE(Core::IO::File::Exists(missing));
}

// One rule, whatever built the tree: opened down to the categories, each category's classes folded away.
TEST_F(OptionsCommandTest, TheTreeOpensToTheCategoriesWithAFileAsWithout)
{
    for (bool withFile : {false, true})
    {
        Start(Config::ReportOnScreen, true, withFile ? configPath : files.File(L"NotYet.xml"));
        TreeNode* system = Node({L"Local Machine", L"Operating System"});
        ASSERT_NE(nullptr, system) << withFile;
        EXPECT_TRUE(Local()->IsExpanded()) << withFile;
        EXPECT_TRUE(system->IsExpanded()) << withFile;
        EXPECT_FALSE(Node({L"Local Machine", L"Operating System", L"Processes"})->IsExpanded()) << withFile;
        form.reset();
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Loading a class's data, with the scripted provider for control over the instances and the timing

namespace
{

// Runs action once, from a timer of this thread, after the given milliseconds: inside whatever loop pumps then
// (an asynchronous load's wait).
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

class LoadingTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        provider = std::make_unique<ScriptedWmi::Provider>();
        // Win32_Process: 120 instances, three batches of the load.
        ScriptedWmi::ClassScript& process =
            provider->AddClass(L"Win32_Process", {{L"Name", CIM_STRING}, {L"ProcessId", CIM_UINT32}});
        ScriptedWmi::AddInstances(process, 120,
                                  [](int index, int property) {
                                      return property == 0 ? ScriptedWmi::Value::Text(L"p" + std::to_wstring(index))
                                                           : ScriptedWmi::Value::Int(index);
                                  });
        provider->AddClass(L"Win32_Thread", {{L"Handle", CIM_STRING}});
        provider->AddClass(L"Win32_ProcessStartup", {{L"Title", CIM_STRING}});
    }
    void TearDown() override
    {
        timedAction = nullptr; // an action still waiting must not outlive the test's variables
        MainFormTest::TearDown();
        // A worker left inside the slow provider by a closed window ends by itself; the provider stays until then.
        EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(15000));
        provider.reset();
    }
    TreeNode* Thread() { return Node({L"Local Machine", L"Operating System", L"Processes", L"Win32_Thread"}); }
    // Runs action the given milliseconds after a load of the current class has begun: from a timer, so inside the
    // load's wait, and never before the click that starts the load, however slow the machine is.
    void DuringLoad(int milliseconds, std::function<void()> action)
    {
        After(1,
              [this, milliseconds, action]
              {
                  ManagementObject* loading = form != nullptr ? form->GetCurrentClass() : nullptr;
                  if (loading == nullptr || !loading->IsLoading())
                  {
                      DuringLoad(milliseconds, action);
                      return;
                  }
                  After(milliseconds, action);
              });
    }
    int Queries() { return static_cast<int>(provider->queries.size()); }
    // Pumps until the selection has settled: its definition has come and its load has ended.
    void Settle()
    {
        ASSERT_TRUE(Testing::PumpUntil(
            [&]
            {
                return !form->GetClassView().IsReadingDefinition() &&
                       (form->GetCurrentClass() == nullptr || !form->GetCurrentClass()->IsLoading());
            }));
    }

    std::unique_ptr<ScriptedWmi::Provider> provider;
};

} // namespace

// An asynchronous load: the rows arrive in the grid, the status counts them, Stop is enabled only meanwhile; the
// class, once loaded, is shown again from memory without asking the machine.
TEST_F(LoadingTest, AClassLoadsAsynchronouslyAndIsShownAgainWithoutAQuery)
{
    Start();
    bool stopEnabledMeanwhile = false;
    DuringLoad(0, [&] { stopEnabledMeanwhile = form->GetToolBar().GetButtons()[4]->IsEnabled(); });
    provider->nextDelayMilliseconds = 20;
    Select(Process());
    EXPECT_TRUE(stopEnabledMeanwhile);
    EXPECT_FALSE(form->GetToolBar().GetButtons()[4]->IsEnabled());
    EXPECT_EQ(L"Loading completed. 120 records", Status(0));
    Grid& grid = form->GetResultsGrid();
    ASSERT_EQ(2, grid.GetColumns().GetCount());
    EXPECT_EQ(L"Name", W(grid.GetHeaderText(0)));
    EXPECT_EQ(200, grid.GetColumnWidth(0));
    ASSERT_EQ(120, grid.GetRows().GetCount());
    EXPECT_EQ(L"p119", W(grid.GetCellText(119, 0)));
    EXPECT_EQ(L"119", W(grid.GetCellText(119, 1)));
    EXPECT_EQ(L"Win32_Process", W(form->GetClassLabel().GetText()));
    ASSERT_EQ(2, form->GetMetadataGrid().GetRows().GetCount());
    EXPECT_EQ(L"ProcessId", W(form->GetMetadataGrid().GetCellText(1, 0)));
    EXPECT_EQ(L"unsigned int32", W(form->GetMetadataGrid().GetCellText(1, 1)));
    EXPECT_EQ(1, Queries());

    provider->nextDelayMilliseconds = 0;
    Select(Node({L"Local Machine", L"Operating System"}));
    size_t definitionsRead = provider->getObjectPaths.size();
    Select(Process());
    EXPECT_EQ(1, Queries()) << "a loaded class is not asked for again";
    EXPECT_EQ(definitionsRead, provider->getObjectPaths.size()) << "nor is its definition read again";
    EXPECT_EQ(120, grid.GetRows().GetCount());
    EXPECT_EQ(L"Loading completed", Status(0));
    ASSERT_EQ(2, form->GetMetadataGrid().GetRows().GetCount());
    EXPECT_EQ(L"unsigned int32", W(form->GetMetadataGrid().GetCellText(1, 1)));
}

// Win32_Product makes Windows Installer check (and repair) every product it lists: the user is asked first. No
// reads nothing, and the question comes again; once agreed it is not asked again while the program runs, also not
// for the load from every machine.
TEST_F(LoadingTest, Win32ProductIsReadOnlyOnceTheUserAgreed)
{
    provider->AddClass(L"Win32_Product", {{L"Name", CIM_STRING}});
    Start();
    TreeNode* product = Node({L"Local Machine", L"Operating System", L"Applications", L"Win32_Product"});
    ASSERT_NE(nullptr, product);
    desktop.answers = {IDNO};
    Select(product);
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Quarrow", desktop.messages[0].caption);
    EXPECT_NE(std::wstring::npos, desktop.messages[0].text.find(L"Windows Installer")) << desktop.messages[0].text;
    EXPECT_EQ(static_cast<unsigned>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2), desktop.messages[0].style);
    EXPECT_EQ(0, Queries());
    EXPECT_TRUE(provider->getObjectPaths.empty()) << "not even the definition is read";
    EXPECT_EQ(L"Loading cancelled. ", Status(0));

    desktop.answers = {IDYES};
    Select(product); // a second click on the selected class asks again
    ASSERT_EQ(2u, desktop.messages.size());
    EXPECT_EQ(1, Queries());
    EXPECT_EQ(L"Loading completed. 0 records", Status(0));

    ASSERT_TRUE(form->GetMainMenu().ProcessShortcut(Shortcut::F5));
    Settle();
    EXPECT_EQ(2, Queries());
    form->RunCommand(Quarrow::Command::LoadAllMachines);
    EXPECT_EQ(2u, desktop.messages.size()) << "asked once a run";
}

// A class without instances shows its columns and no rows.
TEST_F(LoadingTest, AnEmptyClassShowsItsColumnsAndZeroRecords)
{
    Start();
    Select(Thread());
    EXPECT_EQ(1, form->GetResultsGrid().GetColumns().GetCount());
    EXPECT_EQ(0, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_EQ(L"Loading completed. 0 records", Status(0));
}

// Stop during an asynchronous load ends it as cancelled; the class is not loaded and loads again next time.
TEST_F(LoadingTest, StopCancelsAnAsynchronousLoadAndTheClassLoadsAgainLater)
{
    Start();
    provider->nextDelayMilliseconds = 100;
    provider->largestBatch = 10;
    DuringLoad(150, [&] { form->RunCommand(Quarrow::Command::StopLoading); });
    Select(Process());
    EXPECT_EQ(L"Loading cancelled. ", Status(0));
    EXPECT_FALSE(form->GetToolBar().GetButtons()[4]->IsEnabled());
    EXPECT_FALSE(form->GetCurrentClass()->IsLoaded());

    provider->nextDelayMilliseconds = 0;
    provider->largestBatch = 1000;
    Select(Thread());
    Select(Process());
    EXPECT_EQ(L"Loading completed. 120 records", Status(0));
    EXPECT_EQ(120, form->GetResultsGrid().GetRows().GetCount());
}

// Selecting another node during a load asks first. No keeps the selection and the load; Yes on a class cancels
// the old load and loads the new class, and the status describes the class on screen.
TEST_F(LoadingTest, SelectingDuringALoadAsksAndBothAnswersWork)
{
    Start();
    provider->nextDelayMilliseconds = 60;
    provider->largestBatch = 10;
    desktop.answers = {IDNO};
    DuringLoad(100, [&] { PostSelect(Thread()); });
    Select(Process());
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Quarrow", desktop.messages[0].caption);
    EXPECT_EQ(L"Abort loading previously requested data?", desktop.messages[0].text);
    EXPECT_EQ(static_cast<unsigned int>(MB_YESNO | MB_ICONQUESTION), desktop.messages[0].style);
    EXPECT_EQ(Process(), Tree().GetSelectedNode());
    EXPECT_EQ(L"Loading completed. 120 records", Status(0));

    // Again from the start: the class must not be loaded yet for the load to run.
    form.reset();
    Start();
    desktop.messages.clear();
    desktop.answers = {IDYES};
    DuringLoad(100, [&] { PostSelect(Thread()); });
    Select(Process());
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(Thread(), Tree().GetSelectedNode());
    EXPECT_EQ(L"Win32_Thread", W(form->GetCurrentClass()->GetName()));
    Testing::PumpMessages();
    EXPECT_EQ(L"Loading completed. 0 records", Status(0)) << "the cancelled class's late events are ignored";
    EXPECT_EQ(1, form->GetResultsGrid().GetColumns().GetCount());
    EXPECT_FALSE(form->GetToolBar().GetButtons()[4]->IsEnabled());
}

// The tree rebuilt by the options during a load: the load is cancelled, its class object outlives its node until
// the load's wait returns, and the new node of the class loads afresh.
TEST_F(LoadingTest, RebuildingTheTreeDuringALoadEndsTheLoadAndFreesItsClass)
{
    Start();
    provider->nextDelayMilliseconds = 60;
    provider->largestBatch = 10;
    desktop.answers = {IDYES};
    TreeNode* before = Process();
    String newPath = reports.File(L"New.xml");
    DuringLoad(100,
               [&]
               {
                   InOptionsDialog(*form,
                                   [newPath](Config::OptionsForm& dialog) { ChooseNewConfigFile(dialog, newPath); });
                   form->RunCommand(Quarrow::Command::Options);
               });
    Select(before);
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Rebuild tree with new configuration?", desktop.messages[0].text);
    EXPECT_EQ(nullptr, form->GetCurrentClass());
    EXPECT_EQ(nullptr, Tree().GetSelectedNode());
    EXPECT_EQ(0, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_EQ(0, form->GetMetadataGrid().GetRows().GetCount());
    EXPECT_EQ(L"", Status(0));
    EXPECT_FALSE(form->GetToolBar().GetButtons()[4]->IsEnabled());

    provider->nextDelayMilliseconds = 0;
    provider->largestBatch = 1000;
    Select(Process());
    EXPECT_EQ(L"Loading completed. 120 records", Status(0));
    EXPECT_EQ(2, Queries());
}

// A machine disconnected while one of its classes loads: the load ends first, its class object outlives the
// removed node until the load's wait returns, and nothing on screen speaks of it afterwards.
TEST_F(LoadingTest, DisconnectingAMachineDuringItsLoadEndsTheLoadFirst)
{
    Start();
    WhenVisible(L"Quarrow.ConnectForm",
                [&](HWND dialog)
                {
                    FindControls<TextBox>(*form->GetConnectForm())[0]->SetText(String(L"localhost"));
                    PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 1);
                });
    form->RunCommand(Quarrow::Command::Connect);
    ASSERT_EQ(2, Tree().GetNodes().GetCount());
    TreeNode* machine = Tree().GetNodes()[1];
    TreeNode* process = Find(machine->GetNodes(), {L"Operating System", L"Processes", L"Win32_Process"});
    ASSERT_NE(nullptr, process);
    provider->nextDelayMilliseconds = 60;
    provider->largestBatch = 10;
    desktop.answers = {IDYES};
    DuringLoad(100,
               [&]
               {
                   Tree().SetSelectedNode(machine); // asked, and Yes: a machine node lets the load go on
                   form->RunCommand(Quarrow::Command::Disconnect);
               });
    Select(process);
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Abort loading previously requested data?", desktop.messages[0].text);
    EXPECT_EQ(1, Tree().GetNodes().GetCount());
    EXPECT_EQ(1, form->GetConnections().GetCount());
    EXPECT_EQ(nullptr, form->GetCurrentClass());
    EXPECT_EQ(0, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_EQ(L"", Status(0));
    EXPECT_FALSE(form->GetToolBar().GetButtons()[4]->IsEnabled());
}

// On Yes a category becomes selected, but only class nodes cancel: the load goes on to its end.
TEST_F(LoadingTest, AnsweringYesOnACategoryLetsTheLoadGoOn)
{
    Start();
    provider->nextDelayMilliseconds = 60;
    provider->largestBatch = 10;
    desktop.answers = {IDYES};
    TreeNode* category = Node({L"Local Machine", L"Operating System", L"Processes"});
    DuringLoad(100, [&] { PostSelect(category); });
    Select(Process());
    EXPECT_EQ(category, Tree().GetSelectedNode());
    EXPECT_TRUE(form->GetCurrentClass()->IsLoaded());
    EXPECT_EQ(L"Loading completed. 120 records", Status(0));
}

// In synchronous mode Stop is enabled when a load starts and stays so; pressing it does nothing.
TEST_F(LoadingTest, StopDoesNothingInSynchronousMode)
{
    Start(Config::ReportOnScreen, false);
    Select(Process());
    EXPECT_EQ(L"Loading completed", Status(0));
    EXPECT_TRUE(form->GetToolBar().GetButtons()[4]->IsEnabled());
    form->RunCommand(Quarrow::Command::StopLoading);
    EXPECT_EQ(120, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_TRUE(desktop.messages.empty());
}

// A synchronous load that fails part-way says so, as an asynchronous one does, and keeps the rows read.
TEST_F(LoadingTest, ASynchronousLoadThatFailsSaysSo)
{
    Start(Config::ReportOnScreen, false);
    provider->largestBatch = 50;
    provider->failNextOnCall = 2;
    Select(Process());
    EXPECT_EQ(L"Loading error occured. Unspecified error", Status(0));
    EXPECT_EQ(50, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_FALSE(form->GetCurrentClass()->IsLoaded());
}

// The error of a failed load names its cause, the machine's own message, after the fixed text.
TEST_F(LoadingTest, AFailedLoadSaysWhyItFailed)
{
    Start();
    provider->failNextOnCall = 1;
    provider->failNextResult = static_cast<HRESULT>(WBEM_E_INVALID_QUERY);
    Select(Process());
    EXPECT_EQ(L"Loading error occured. The query was not syntactically valid", Status(0));
    EXPECT_EQ(L"The query was not syntactically valid", W(form->GetCurrentClass()->GetFailureMessage()));
}

// With the workbook as the target nothing is shown: the report is written and opened when the load completes.
TEST_F(LoadingTest, TheWorkbookTargetWritesAndOpensTheReportWithoutShowingRows)
{
    Start(Config::ReportInExcel);
    Select(Process());
    EXPECT_EQ(0, form->GetResultsGrid().GetColumns().GetCount());
    EXPECT_EQ(0, form->GetResultsGrid().GetRows().GetCount());
    ASSERT_EQ(1u, desktop.launches.size());
    EXPECT_EQ(L"excel.exe", desktop.launches[0].file);
    std::string workbook = Testing::ReadFileBytes(reports.File(L"WmiReport_Win32_Process.xml"));
    EXPECT_NE(std::string::npos, workbook.find("<Data ss:Type=\"String\">p119</Data>"));
}

// A class the machine lacks shows the exception's message and leaves the tree, and the selection with it.
TEST_F(LoadingTest, AMissingClassShowsTheMessageAndItsNodeDisappears)
{
    Start();
    TreeNode* startup = Node({L"Local Machine", L"Operating System", L"Processes", L"Win32_ProcessStartup"});
    ASSERT_NE(nullptr, startup);
    provider->getObjectResult = static_cast<HRESULT>(WBEM_E_NOT_FOUND);
    Select(startup);
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Error", desktop.messages[0].caption);
    EXPECT_NE(std::wstring::npos, desktop.messages[0].text.find(L"Win32_ProcessStartup"));
    EXPECT_EQ(nullptr, Node({L"Local Machine", L"Operating System", L"Processes", L"Win32_ProcessStartup"}));
    EXPECT_EQ(Core::Controls::Cursor::Arrow, Core::Controls::Cursor::GetCurrentId());
    // Nothing is selected any more: the reports and Refresh are not offered.
    EXPECT_EQ(nullptr, Tree().GetSelectedNode());
    EXPECT_EQ((std::vector<bool>{true, false, false, false, false, false, false, true}), Buttons());
}

// An unexpected failure while a class is selected shows that failure's own message.
TEST_F(LoadingTest, AnUnexpectedFailureShowsItsOwnMessage)
{
    Start();
    provider->getObjectResult = static_cast<HRESULT>(WBEM_E_ACCESS_DENIED);
    Select(Process());
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Error", desktop.messages[0].caption);
    EXPECT_EQ(W(WMI::GetResultMessage(static_cast<int32_t>(WBEM_E_ACCESS_DENIED))), desktop.messages[0].text);
}

// A screen reader finds the whole window: the class tree's items with their levels, the loaded rows as a table with
// column headers, the status after the load, and the menus with their shortcuts.
TEST_F(LoadingTest, AScreenReaderReadsTheTreeTheResultsTheStatusAndTheMenus)
{
    Start();
    Select(Process());
    ASSERT_EQ(L"Loading completed. 120 records", Status(0));
    Testing::Accessible window = Testing::Accessible::OfWindow(form->GetHandle());
    ASSERT_TRUE(window);

    Testing::Accessible tree = window.Find(ROLE_SYSTEM_OUTLINE, L"Machines and classes");
    ASSERT_TRUE(tree);
    EXPECT_EQ(L"Local Machine", tree.Name(1));
    EXPECT_EQ(L"0", tree.Value(1));
    long selected = -1;
    for (long i = 1; i <= tree.ChildCount(); i++)
    {
        if (tree.State(i) & STATE_SYSTEM_SELECTED)
        {
            selected = i;
        }
    }
    ASSERT_GT(selected, 0);
    EXPECT_EQ(L"Win32_Process", tree.Name(selected));
    EXPECT_EQ(L"3", tree.Value(selected));

    Testing::Accessible results = window.Find(ROLE_SYSTEM_TABLE, L"Results");
    ASSERT_TRUE(results);
    // The header row and 120 rows, then the grid's own scroll bar.
    ASSERT_EQ(122, results.ChildCount());
    EXPECT_EQ(ROLE_SYSTEM_SCROLLBAR, results.Child(122).Role());
    Testing::Accessible headers = results.Child(1);
    EXPECT_EQ(L"Name", headers.Name(1));
    EXPECT_EQ(L"ProcessId", headers.Name(2));
    Testing::Accessible last = results.Child(121);
    EXPECT_EQ(L"p119", last.Name(1));
    EXPECT_EQ(L"119", last.Name(2));
    EXPECT_EQ(L"ProcessId", last.Description(2));

    Testing::Accessible status = window.Find(ROLE_SYSTEM_STATUSBAR);
    ASSERT_TRUE(status);
    EXPECT_EQ(L"Loading completed. 120 records", status.Name(1));

    Testing::Accessible menu = window.Find(ROLE_SYSTEM_MENUBAR);
    ASSERT_TRUE(menu);
    EXPECT_EQ(L"Application", menu.Name(1));
    EXPECT_EQ(L"Alt+A", menu.Shortcut(1));
    Testing::Accessible tools = window.Find(ROLE_SYSTEM_TOOLBAR);
    ASSERT_TRUE(tools);
    EXPECT_EQ(ROLE_SYSTEM_PUSHBUTTON, tools.Role(1));
    EXPECT_NE(L"(none)", tools.Name(1)) << "a button is named by its tool tip";
}

// ---------------------------------------------------------------------------------------------------------------
// A slow provider: the window never freezes, Stop says so at once, and closing does not wait for the provider

// Reading a class's definition takes long on a slow provider: the window goes on answering, says what it waits
// for, and another class can be chosen meanwhile without a question; that class is the one shown.
TEST_F(LoadingTest, AnotherClassCanBeChosenWhileASlowDefinitionIsRead)
{
    Start();
    provider->FindClass(L"Win32_Process")->getObjectDelayMilliseconds = 800;
    HWND window = static_cast<HWND>(form->GetHandle());
    DWORD mainThread = GetCurrentThreadId();
    bool readOnWorker = false;
    bool answered = false;
    provider->onGetObject = [&]
    {
        if (GetCurrentThreadId() != mainThread && !readOnWorker)
        {
            readOnWorker = true;
            DWORD_PTR reply = 0;
            answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &reply) != 0;
        }
    };
    Select(Node({L"Local Machine", L"Operating System", L"Processes", L"Win32_ProcessStartup"}));
    std::wstring statusMeanwhile;
    int rowsMeanwhile = -1;
    int columnsMeanwhile = -1;
    After(150,
          [&]
          {
              statusMeanwhile = Status(0);
              rowsMeanwhile = form->GetMetadataGrid().GetRows().GetCount();
              columnsMeanwhile = form->GetResultsGrid().GetColumns().GetCount();
              PostSelect(Thread());
          });
    Select(Process());
    EXPECT_TRUE(readOnWorker);
    EXPECT_TRUE(answered) << "the window did not answer while the definition was read";
    EXPECT_EQ(L"Reading class definition ...", statusMeanwhile);
    EXPECT_EQ(0, rowsMeanwhile) << "the class shown before stayed under the new one";
    EXPECT_EQ(0, columnsMeanwhile);
    EXPECT_TRUE(desktop.messages.empty()) << "nothing was loading, so nothing is asked";
    EXPECT_EQ(Thread(), Tree().GetSelectedNode());
    EXPECT_EQ(L"Win32_Thread", W(form->GetCurrentClass()->GetName()));
    EXPECT_EQ(L"Win32_Thread", W(form->GetClassLabel().GetText()));
    EXPECT_EQ(L"Loading completed. 0 records", Status(0));
    ASSERT_EQ(1, form->GetMetadataGrid().GetRows().GetCount());
    EXPECT_EQ(L"Handle", W(form->GetMetadataGrid().GetCellText(0, 0)));
    EXPECT_EQ(1, form->GetResultsGrid().GetColumns().GetCount());
    EXPECT_EQ(2, Queries()) << "the class left behind is not loaded";
}

// The sequence that crashed with a provider that keeps one table a class (Wine's CIM_DataFile): a slow class, its
// load aborted by the selection of another, then the slow class chosen again, and chosen again while its
// definition is still being read. No two calls may use the slow class's table at once.
TEST_F(LoadingTest, AbortingASlowLoadAndChoosingItAgainNeverOverlapsTwoCallsOnTheClass)
{
    Start();
    ScriptedWmi::ClassScript& slow = *provider->FindClass(L"Win32_Process");
    slow.getObjectDelayMilliseconds = 300;
    slow.nextBlockMilliseconds = 150;
    provider->largestBatch = 10;
    desktop.answers = {IDYES};
    TreeNode* startup = Node({L"Local Machine", L"Operating System", L"Processes", L"Win32_ProcessStartup"});
    Select(Thread());
    DuringLoad(100, [&] { PostSelect(startup); });
    Select(Process());
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Abort loading previously requested data?", desktop.messages[0].text);
    EXPECT_EQ(L"Win32_ProcessStartup", W(form->GetCurrentClass()->GetName()));
    EXPECT_EQ(L"Loading completed. 0 records", Status(0));

    Select(Thread());
    // Chosen again, then left and chosen once more while its definition is still being read.
    After(100,
          [&]
          {
              Select(Thread());
              PostSelect(Process());
          });
    Select(Process());
    Testing::PumpMessages();
    EXPECT_EQ(0, provider->overlappingTableUses.load());
    EXPECT_EQ(L"Win32_Process", W(form->GetCurrentClass()->GetName()));
    EXPECT_EQ(L"Loading completed. 120 records", Status(0));
    EXPECT_EQ(120, form->GetResultsGrid().GetRows().GetCount());
}

// Stop during a load whose provider keeps its Next for seconds: the worker is let go, the class shows "Loading
// cancelled. " at once and Stop is withdrawn; the next selection loads at once, and choosing the class again waits,
// on a worker, for the let-go one, so that no two calls use the class together.
TEST_F(LoadingTest, StopLetsTheWorkerGoAndTheNextSelectionLoadsAtOnce)
{
    Start();
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    provider->largestBatch = 10;
    provider->onNext = [&](int call)
    {
        if (call == 2)
        {
            WaitForSingleObject(release, INFINITE); // a Next that blocks until the test lets it go
        }
    };
    bool stopEnabledAfterStop = true;
    DuringLoad(0,
               [&]
               {
                   // Once the worker is inside its blocking Next.
                   Testing::PumpUntil([&] { return provider->nextCallCount >= 2; });
                   form->RunCommand(Quarrow::Command::StopLoading);
                   stopEnabledAfterStop = form->GetToolBar().GetButtons()[4]->IsEnabled();
               });
    // The click returns once the load's own wait has told the end: with the worker still inside its Next.
    Select(Process());
    EXPECT_FALSE(stopEnabledAfterStop);
    EXPECT_EQ(L"Loading cancelled. ", Status(0));
    EXPECT_FALSE(form->GetToolBar().GetButtons()[4]->IsEnabled());
    EXPECT_FALSE(form->GetCurrentClass()->IsLoaded());
    // The let-go worker is still inside its Next: nothing has released it.
    EXPECT_EQ(2, provider->nextCallCount.load());

    Select(Thread());
    EXPECT_EQ(L"Loading completed. 0 records", Status(0)) << "another class loads while the old worker waits";
    int queriesBefore = Queries();
    int queriesWhileWaiting = -1;
    DuringLoad(0,
               [&]
               {
                   // The new load has begun, but asks nothing while the let-go worker is inside the class.
                   queriesWhileWaiting = Queries();
                   SetEvent(release);
               });
    Select(Process());
    Settle();
    EXPECT_EQ(queriesBefore, queriesWhileWaiting);
    EXPECT_EQ(L"Loading completed. 120 records", Status(0));
    EXPECT_EQ(0, provider->overlappingTableUses.load());
    provider->onNext = nullptr;
    CloseHandle(release);
}

// Stop while the definition is being read lets the read go: Stop is offered then, the class shows "Loading
// cancelled. ", and a click on it reads it again.
TEST_F(LoadingTest, StopDuringTheDefinitionReadLetsItGo)
{
    Start();
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    provider->onGetObject = [&] { WaitForSingleObject(release, INFINITE); };
    TreeNode* process = Process();
    Show(process);
    Core::Controls::Rectangle text = Tree().GetPartBounds(process, TreeViewHitArea::Text);
    Testing::Click(Tree(), text.left + 2, text.top + text.height / 2);
    EXPECT_EQ(L"Reading class definition ...", Status(0));
    EXPECT_TRUE(form->GetToolBar().GetButtons()[4]->IsEnabled()) << "Stop is offered while the definition is read";
    form->RunCommand(Quarrow::Command::StopLoading);
    EXPECT_EQ(L"Loading cancelled. ", Status(0));
    EXPECT_FALSE(form->GetToolBar().GetButtons()[4]->IsEnabled());
    EXPECT_FALSE(form->GetClassView().IsReadingDefinition());
    SetEvent(release);
    ASSERT_TRUE(Core::Threading::BackgroundWork::WaitForAll(Core::Threading::InfiniteTimeout));
    Testing::PumpMessages(); // what the let-go read posted arrives now, and is dropped
    EXPECT_EQ(0, form->GetMetadataGrid().GetRows().GetCount());
    EXPECT_EQ(0, Queries());
    provider->onGetObject = nullptr;
    Select(process);
    EXPECT_EQ(L"Loading completed. 120 records", Status(0));
    CloseHandle(release);
}

// Closing the window while a slow provider holds a worker (reading a definition, or inside a Next that ignores its
// time-out): the run ends at once, the options are saved, and the worker ends by itself later.
TEST_F(LoadingTest, ClosingDuringASlowReadOrLoadEndsTheRunAtOnceAndSavesTheOptions)
{
    for (bool duringLoad : {false, true})
    {
        Start();
        form->GetOptions().SetReportDirectory(String(L"C:\\Saved\\At\\Exit"));
        ScriptedWmi::ClassScript& slow = *provider->FindClass(L"Win32_Process");
        slow.getObjectDelayMilliseconds = duringLoad ? 0 : 3000;
        slow.nextBlockMilliseconds = duringLoad ? 3000 : 0;
        HWND window = static_cast<HWND>(form->GetHandle());
        std::atomic<DWORD> closedAt{0};
        auto close = [&]
        {
            if (closedAt == 0)
            {
                closedAt = GetTickCount();
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
        };
        provider->onGetObject = duringLoad ? std::function<void()>() : close;
        provider->onNext = [&](int) { close(); };
        PostSelect(Process()); // handled by the run's own loop
        EXPECT_EQ(0, Application::Run(form.get())) << duringLoad;
        form.reset();
        ASSERT_NE(0u, closedAt.load()) << duringLoad;
        EXPECT_LT(GetTickCount() - closedAt, 2000u) << "the run waited for the provider; " << duringLoad;
        Config::AppOptions saved{String(KeyPath)};
        EXPECT_EQ(L"C:\\Saved\\At\\Exit", W(saved.GetReportDirectory())) << duringLoad;
        provider->onGetObject = nullptr;
        provider->onNext = nullptr;
        EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(10000));
        slow.getObjectDelayMilliseconds = 0;
        slow.nextBlockMilliseconds = 0;
        Testing::DropEndMessages();
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Refresh, a second click on a class, and one class from every machine

namespace
{

bool StartsWith(const std::wstring& text, const wchar_t* start)
{
    return text.compare(0, wcslen(start), start) == 0;
}

using Testing::PumpUntil;

class MachinesTest : public LoadingTest
{
protected:
    // Connects a scripted machine through the connect dialog, as a person would.
    void ConnectTo(const wchar_t* server)
    {
        WhenVisible(L"Quarrow.ConnectForm",
                    [this, server](HWND dialog)
                    {
                        FindControls<TextBox>(*form->GetConnectForm())[0]->SetText(String(server));
                        PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 1);
                    });
        form->RunCommand(Quarrow::Command::Connect);
    }
    bool LoadEnded()
    {
        return StartsWith(Status(0), L"Loading completed") || StartsWith(Status(0), L"Loading cancelled");
    }
    // How many rows of the grid came from the machine.
    int RowsFrom(const wchar_t* machine)
    {
        Grid& grid = form->GetResultsGrid();
        int count = 0;
        for (int r = 0; r < grid.GetRows().GetCount(); r++)
        {
            count += W(grid.GetCellText(r, 0)) == machine ? 1 : 0;
        }
        return count;
    }
};

} // namespace

// F5 reads a loaded class again: new instances appear, and the definition is read again too.
TEST_F(LoadingTest, RefreshReadsTheSelectedClassAgain)
{
    Start();
    Select(Node({L"Local Machine", L"Operating System"}));
    EXPECT_FALSE(form->GetToolBar().GetButtons()[5]->IsEnabled()) << "no class to refresh";
    Select(Process());
    ASSERT_EQ(120, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_TRUE(form->GetToolBar().GetButtons()[5]->IsEnabled());
    ScriptedWmi::AddInstances(*provider->FindClass(L"Win32_Process"), 5,
                              [](int index, int property)
                              {
                                  return property == 0 ? ScriptedWmi::Value::Text(L"new" + std::to_wstring(index))
                                                       : ScriptedWmi::Value::Int(1000 + index);
                              });
    size_t definitionsRead = provider->getObjectPaths.size();
    ASSERT_TRUE(form->GetMainMenu().ProcessShortcut(Shortcut::F5));
    Settle();
    EXPECT_EQ(2, Queries());
    EXPECT_GT(provider->getObjectPaths.size(), definitionsRead);
    EXPECT_EQ(L"Loading completed. 125 records", Status(0));
    ASSERT_EQ(125, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_EQ(L"new4", W(form->GetResultsGrid().GetCellText(124, 0)));
    EXPECT_EQ(Process(), Tree().GetSelectedNode());
}

// Refresh during a load asks as a new selection does: No keeps the load, Yes stops it and loads the class again.
TEST_F(LoadingTest, RefreshDuringALoadAsksFirst)
{
    Start();
    provider->nextDelayMilliseconds = 60;
    provider->largestBatch = 10;
    desktop.answers = {IDNO};
    DuringLoad(100, [&] { form->RunCommand(Quarrow::Command::Refresh); });
    Select(Process());
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Abort loading previously requested data?", desktop.messages[0].text);
    EXPECT_EQ(1, Queries());
    EXPECT_EQ(L"Loading completed. 120 records", Status(0));

    provider->FindClass(L"Win32_Process")->nextBlockMilliseconds = 0;
    provider->nextDelayMilliseconds = 30;
    desktop.answers = {IDYES};
    ASSERT_EQ(1, Queries());
    form->RunCommand(Quarrow::Command::Refresh); // a completed class: nothing to ask, it loads again
    Settle();
    EXPECT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(2, Queries());
    DuringLoad(60, [&] { form->RunCommand(Quarrow::Command::Refresh); });
    form->RunCommand(Quarrow::Command::Refresh);
    Settle();
    EXPECT_EQ(2u, desktop.messages.size());
    EXPECT_EQ(4, Queries());
    EXPECT_EQ(L"Loading completed. 120 records", Status(0));
    EXPECT_EQ(120, form->GetResultsGrid().GetRows().GetCount());
}

// After Stop, or a failed load, a click on the still-selected class loads it again; a click on a loaded class
// asks the machine nothing.
TEST_F(LoadingTest, ClickingTheSelectedClassAgainRetriesACancelledOrFailedLoad)
{
    Start();
    provider->nextDelayMilliseconds = 100;
    provider->largestBatch = 10;
    DuringLoad(150, [&] { form->RunCommand(Quarrow::Command::StopLoading); });
    Select(Process());
    ASSERT_EQ(L"Loading cancelled. ", Status(0));
    provider->nextDelayMilliseconds = 0;
    provider->largestBatch = 1000;
    provider->failNextOnCall = provider->nextCallCount + 1;
    Select(Process());
    EXPECT_EQ(2, Queries());
    EXPECT_TRUE(StartsWith(Status(0), L"Loading error occured.")) << Status(0);
    Select(Process());
    EXPECT_EQ(3, Queries());
    EXPECT_EQ(L"Loading completed. 120 records", Status(0));
    Select(Process());
    EXPECT_EQ(3, Queries());
}

// One class from three machines at once: a first column "Machine", every machine's rows, per-machine progress;
// the machines ran side by side, and the reports carry the machine column.
TEST_F(MachinesTest, AClassLoadsFromEveryMachineAtOnceIntoOneGrid)
{
    provider->machines = {{L"fast", {0, S_OK}}, {L"slow", {40, S_OK}}};
    Start(Config::ReportOnScreen, false);
    ConnectTo(L"fast");
    ConnectTo(L"slow");
    ASSERT_EQ(3, Tree().GetNodes().GetCount());
    Select(Process());
    EXPECT_TRUE(form->GetToolBar().GetButtons()[6]->IsEnabled());
    std::atomic<int> inside{0};
    std::atomic<int> mostAtOnce{0};
    provider->onNext = [&](int)
    {
        int now = ++inside;
        for (int seen = mostAtOnce; now > seen && !mostAtOnce.compare_exchange_weak(seen, now);)
        {
        }
        Sleep(15);
        inside--;
    };
    provider->largestBatch = 10;
    std::wstring progress;
    form->RunCommand(Quarrow::Command::LoadAllMachines);
    EXPECT_TRUE(form->GetToolBar().GetButtons()[4]->IsEnabled()) << "Stop is offered; the command returned";
    ASSERT_TRUE(PumpUntil(
        [&]
        {
            if (StartsWith(Status(0), L"Loading ..."))
            {
                progress = Status(0);
            }
            return LoadEnded();
        }));
    provider->onNext = nullptr;
    EXPECT_EQ(L"Loading completed. 360 records from 3 machines", Status(0));
    EXPECT_GE(mostAtOnce.load(), 2) << "the machines were read side by side";
    EXPECT_NE(std::wstring::npos, progress.find(L"(Local Machine ")) << progress;
    EXPECT_NE(std::wstring::npos, progress.find(L", slow ")) << progress;
    Grid& grid = form->GetResultsGrid();
    ASSERT_EQ(3, grid.GetColumns().GetCount());
    EXPECT_EQ(L"Machine", W(grid.GetHeaderText(0)));
    EXPECT_EQ(L"Name", W(grid.GetHeaderText(1)));
    EXPECT_EQ(120, RowsFrom(L"Local Machine"));
    EXPECT_EQ(120, RowsFrom(L"fast"));
    EXPECT_EQ(120, RowsFrom(L"slow"));
    EXPECT_FALSE(form->GetToolBar().GetButtons()[4]->IsEnabled());
    EXPECT_TRUE(desktop.messages.empty());

    form->RunCommand(Quarrow::Command::CommaReport);
    ASSERT_EQ(1u, desktop.launches.size());
    std::wstring file = desktop.launches[0].parameters.substr(1, desktop.launches[0].parameters.size() - 2);
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    char text[64] = {};
    DWORD read = 0;
    ReadFile(handle, text, sizeof(text) - 1, &read, nullptr);
    CloseHandle(handle);
    EXPECT_EQ(0u, std::string(text).find("Machine,Name,ProcessId\r\n")) << text;
}

// A machine that fails shows its error once every machine has answered, and does not stop the others; Stop
// stops every machine at once and keeps the rows that came.
TEST_F(MachinesTest, AFailingMachineIsReportedAndStopStopsThemAll)
{
    provider->machines = {{L"broken", {0, static_cast<HRESULT>(WBEM_E_ACCESS_DENIED)}}, {L"slow", {30, S_OK}}};
    Start();
    ConnectTo(L"broken");
    ConnectTo(L"slow");
    Select(Process());
    provider->largestBatch = 10;
    form->RunCommand(Quarrow::Command::LoadAllMachines);
    ASSERT_TRUE(PumpUntil([&] { return LoadEnded(); }));
    EXPECT_EQ(L"Loading completed. 240 records from 2 of 3 machines", Status(0));
    EXPECT_EQ(0, RowsFrom(L"broken"));
    EXPECT_EQ(120, RowsFrom(L"slow"));
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Error", desktop.messages[0].caption);
    EXPECT_EQ(std::wstring(L"Some machines could not be read; the others are shown.\r\n\r\nbroken: ") +
                  W(WMI::GetResultMessage(static_cast<long>(WBEM_E_ACCESS_DENIED))),
              desktop.messages[0].text);

    provider->machines[1].second.nextDelayMilliseconds = 200;
    form->RunCommand(Quarrow::Command::LoadAllMachines);
    ASSERT_TRUE(PumpUntil([&] { return RowsFrom(L"slow") > 0; }));
    form->RunCommand(Quarrow::Command::StopLoading);
    // The workers are let go: the load ends at once, whatever the machines are doing.
    EXPECT_TRUE(StartsWith(Status(0), L"Loading cancelled. ")) << Status(0);
    EXPECT_FALSE(form->GetToolBar().GetButtons()[4]->IsEnabled());
    EXPECT_GT(RowsFrom(L"slow"), 0) << "the rows that came stay";
    EXPECT_LT(RowsFrom(L"slow"), 120);
    EXPECT_EQ(2u, desktop.messages.size()) << "the failing machine is reported again";
}

// A workbook of one class from several machines names, in the tree's order, the machines its rows came from: a
// machine that gave none is not among them.
TEST_F(MachinesTest, AWorkbookFromEveryMachineNamesTheMachinesItsRowsCameFrom)
{
    provider->machines = {{L"broken", {0, static_cast<HRESULT>(WBEM_E_ACCESS_DENIED)}}, {L"fast", {0, S_OK}}};
    Start();
    ConnectTo(L"broken");
    ConnectTo(L"fast");
    Select(Process());
    form->RunCommand(Quarrow::Command::LoadAllMachines);
    ASSERT_TRUE(PumpUntil([&] { return LoadEnded(); }));
    form->RunCommand(Quarrow::Command::WorkbookReport);
    EXPECT_EQ((std::vector<std::wstring>{L"Host", L"Local Machine, fast", L"Date", L"(date)", L"Category",
                                         L"Operating System", L"Subcategory", L"Processes"}),
              WorkbookHeader(reports.File(L"WmiReport_Win32_Process.xml")));
}

// A machine that fails part-way keeps the rows it gave (they are real); the end text and the message say how many
// of the rows came from it, so the total is not taken for what the answering machines hold.
TEST_F(MachinesTest, AMachineThatFailsPartWayKeepsItsRowsAndSaysHowMany)
{
    ScriptedWmi::MachineScript partWay;
    partWay.failAfterRows = 30;
    provider->machines = {{L"partway", partWay}, {L"whole", {0, S_OK}}};
    Start();
    ConnectTo(L"partway");
    ConnectTo(L"whole");
    Select(Process());
    provider->largestBatch = 10;
    form->RunCommand(Quarrow::Command::LoadAllMachines);
    ASSERT_TRUE(PumpUntil([&] { return LoadEnded(); }));
    EXPECT_EQ(30, RowsFrom(L"partway"));
    EXPECT_EQ(120, RowsFrom(L"whole"));
    EXPECT_EQ(L"Loading completed. 270 records from 2 of 3 machines (30 from partway before it failed)", Status(0));
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(std::wstring(L"Some machines could not be read; the others are shown.\r\n\r\npartway: ") +
                  W(WMI::GetResultMessage(static_cast<long>(WBEM_E_FAILED))) +
                  L" (30 records read before the failure are shown)",
              desktop.messages[0].text);
}

// Ctrl+F over the results: the rows holding the text stay, counted "N of M records"; Esc empties the text and
// shows every row again, a second Esc folds the strip away and gives the keyboard back to the grid.
TEST_F(LoadingTest, QuickFindFiltersTheResultsAsOneTypes)
{
    Start();
    Select(Process());
    ASSERT_EQ(120, form->GetResultsGrid().GetRows().GetCount());
    form->GetResultsGrid().Focus();
    Testing::PressKey(form->GetResultsGrid(), 'F', Keys::Control);
    FindBox& box = form->GetResultsFind().GetBox();
    ASSERT_TRUE(box.GetVisible());
    ASSERT_TRUE(box.GetTextBox().IsFocused());
    Testing::TypeText(Testing::FocusedWindow(), L"P11");
    Grid& grid = form->GetResultsGrid();
    grid.FinishFilter();
    Testing::PumpMessages();
    EXPECT_EQ(11, grid.GetVisibleRowCount()) << "p11 and p110 to p119, whatever the case";
    EXPECT_EQ(L"11 of 120 records", W(box.GetStatusText()));
    EXPECT_EQ(L"p11", W(grid.GetCellText(grid.GetRowAtViewIndex(0), 0)));
    Testing::PressKeyTo(Testing::FocusedWindow(), VK_ESCAPE);
    EXPECT_EQ(120, grid.GetVisibleRowCount());
    EXPECT_TRUE(box.GetVisible());
    Testing::PressKeyTo(Testing::FocusedWindow(), VK_ESCAPE);
    EXPECT_FALSE(box.GetVisible());
    EXPECT_TRUE(grid.IsFocused());
}

// Ctrl+F in the tree: the classes of every category, folded or not, are counted as one types; Enter selects the
// next one, which loads it, and Shift+Enter goes back.
TEST_F(LoadingTest, QuickFindInTheTreeSelectsAClassByPartOfItsName)
{
    provider->AddClass(L"Win32_Processor", {{L"Name", CIM_STRING}});
    Start();
    Tree().Focus();
    ASSERT_TRUE(form->GetMainMenu().ProcessShortcut(Shortcut::CtrlF));
    FindBox& box = form->GetClassFind().GetBox();
    ASSERT_TRUE(box.GetVisible());
    EXPECT_FALSE(form->GetResultsFind().GetBox().GetVisible());
    Testing::TypeText(Testing::FocusedWindow(), L"win32_process");
    EXPECT_EQ(3, form->GetClassFind().CountMatches()) << "Win32_Processor, Win32_Process, Win32_ProcessStartup";
    EXPECT_EQ(L"3 classes", W(box.GetStatusText()));
    Testing::PressKeyTo(Testing::FocusedWindow(), VK_RETURN);
    ASSERT_NE(nullptr, Tree().GetSelectedNode());
    std::wstring first = W(Tree().GetSelectedNode()->GetText());
    EXPECT_EQ(L"Win32_Processor", first) << "from the top, in the folded hardware categories too";
    EXPECT_EQ(first, W(form->GetClassLabel().GetText())) << "the class found is shown";
    Testing::PressKeyTo(Testing::FocusedWindow(), VK_RETURN);
    EXPECT_EQ(L"Win32_Process", W(Tree().GetSelectedNode()->GetText()));
    Testing::PressKeyTo(Testing::FocusedWindow(), VK_RETURN, Keys::Shift);
    EXPECT_EQ(first, W(Tree().GetSelectedNode()->GetText()));
    box.GetTextBox().SetText(String(L"NoSuchClassAnywhere"));
    EXPECT_EQ(L"No class", W(box.GetStatusText()));
}

// The class the tree's find strip selected stands out in the system's selection colours while the keyboard stays
// in the strip, so one sees where Enter went.
TEST_F(LoadingTest, TheClassTheTreesFindSelectedIsShownSelectedWhileTheStripHasTheKeyboard)
{
    Start();
    Tree().Focus();
    ASSERT_TRUE(form->GetMainMenu().ProcessShortcut(Shortcut::CtrlF));
    Testing::TypeText(Testing::FocusedWindow(), L"win32_thread");
    Testing::PressKeyTo(Testing::FocusedWindow(), VK_RETURN);
    TreeNode* thread = Tree().GetSelectedNode();
    ASSERT_EQ(Thread(), thread);
    EXPECT_TRUE(form->GetClassFind().GetBox().GetTextBox().IsFocused());
    Core::Controls::Rectangle text = Tree().GetPartBounds(thread, TreeViewHitArea::Text);
    Testing::Picture picture = Testing::Render(Tree());
    EXPECT_GT(picture.CountIn(Theme::Highlight(), text.left, text.top, text.width, text.height),
              text.width * text.height / 2);
}

// ---------------------------------------------------------------------------------------------------------------
// The namespaces of a machine, read on workers as their nodes are opened

namespace
{

class NamespacesTest : public LoadingTest
{
protected:
    void SetUp() override
    {
        LoadingTest::SetUp();
        provider->AddNamespace(L"root\\Microsoft\\Windows\\Storage");
        ScriptedWmi::ClassScript& tables =
            provider->AddClass(L"root\\wmi", L"MSSMBios_RawSMBiosTables", L"", {{L"Size", CIM_UINT32}});
        ScriptedWmi::AddInstances(tables, 3, [](int index, int) { return ScriptedWmi::Value::Int(index + 10); });
        provider->AddClass(L"root\\wmi", L"WmiEvent", L"", {})
            .qualifiers.push_back({L"abstract", ScriptedWmi::Value::Bool(true)});
        provider->AddClass(L"root\\wmi", L"MSNdis_StatusEvent", L"WmiEvent", {});
        provider->AddClass(L"root\\wmi", L"MSNdis_LinkChange", L"MSNdis_StatusEvent", {});
        provider->AddClass(L"root\\wmi", L"MSNdis_Binding", L"", {})
            .qualifiers.push_back({L"Association", ScriptedWmi::Value::Bool(true)});
        provider->AddClass(L"root\\wmi", L"__SystemClass", L"", {});
    }
    TreeNode* Namespaces() { return Local()->GetLastNode(); }
    // Opens the node as a person does and waits until what it lists has come.
    void Open(TreeNode* node)
    {
        ASSERT_NE(nullptr, node);
        Show(node);
        Tree().ExpandNode(node);
        ASSERT_TRUE(Testing::PumpUntil([&] { return Find(node->GetNodes(), {L"Reading ..."}) == nullptr; }));
    }
    std::vector<std::wstring> Texts(TreeNode* node)
    {
        std::vector<std::wstring> texts;
        for (int i = 0; i < node->GetNodes().GetCount(); i++)
        {
            texts.push_back(W(node->GetNodes()[i]->GetText()));
        }
        return texts;
    }
    TreeNode* Wmi()
    {
        Open(Namespaces());
        TreeNode* wmi = Find(Namespaces()->GetNodes(), {L"wmi"});
        Open(wmi);
        return wmi;
    }
};

} // namespace

// Opening "Namespaces" shows "Reading ..." while a worker lists the namespaces inside root; each namespace opens into
// the ones inside it, level by level.
TEST_F(NamespacesTest, TheNamespacesOpenLevelByLevel)
{
    Start();
    Show(Namespaces());
    Tree().ExpandNode(Namespaces());
    EXPECT_EQ((std::vector<std::wstring>{L"Reading ..."}), Texts(Namespaces())) << "nothing is read on this thread";
    Open(Namespaces());
    EXPECT_EQ((std::vector<std::wstring>{L"cimv2", L"Microsoft", L"wmi"}), Texts(Namespaces()));
    TreeNode* microsoft = Find(Namespaces()->GetNodes(), {L"Microsoft"});
    Open(microsoft);
    EXPECT_EQ((std::vector<std::wstring>{L"Windows"}), Texts(microsoft));
    TreeNode* windows = microsoft->GetNodes()[0];
    Open(windows);
    EXPECT_EQ((std::vector<std::wstring>{L"Storage"}), Texts(windows));
    Open(windows->GetNodes()[0]);
    EXPECT_EQ((std::vector<std::wstring>{L"This namespace lists no classes"}), Texts(windows->GetNodes()[0]));
    bool connectedStorage = false;
    for (const ScriptedWmi::ConnectCall& call : provider->connects)
    {
        connectedStorage = connectedStorage || call.path == L"root\\Microsoft\\Windows\\Storage";
    }
    EXPECT_TRUE(connectedStorage);
}

// A namespace shows its top classes, each class its subclasses; abstract classes and associations say so, and a
// class without subclasses loses its glyph once opened.
TEST_F(NamespacesTest, ANamespaceShowsItsClassHierarchy)
{
    Start();
    TreeNode* wmi = Wmi();
    EXPECT_EQ((std::vector<std::wstring>{L"MSNdis_Binding (association)", L"MSSMBios_RawSMBiosTables",
                                         L"WmiEvent (abstract)"}),
              Texts(wmi));
    // Each kind has its own picture as well as its words.
    EXPECT_EQ(Quarrow::Resources::AssociationClassImage, wmi->GetNodes()[0]->GetImageIndex());
    EXPECT_EQ(Config::NodeImage::Class, wmi->GetNodes()[1]->GetImageIndex());
    EXPECT_EQ(Quarrow::Resources::AbstractClassImage, wmi->GetNodes()[2]->GetImageIndex());
    TreeNode* event = wmi->GetNodes()[2];
    EXPECT_EQ(L"CL", W(event->GetTag()));
    Open(event);
    EXPECT_EQ((std::vector<std::wstring>{L"MSNdis_StatusEvent"}), Texts(event));
    Open(event->GetNodes()[0]);
    EXPECT_EQ((std::vector<std::wstring>{L"MSNdis_LinkChange"}), Texts(event->GetNodes()[0]));
    TreeNode* leaf = event->GetNodes()[0]->GetNodes()[0];
    Open(leaf);
    EXPECT_EQ(0, leaf->GetNodes().GetCount());
    EXPECT_FALSE(leaf->CanExpand());
}

// System classes stay out of the lists unless the options say to show them.
TEST_F(NamespacesTest, SystemClassesShowOnlyWhenTheOptionsSaySo)
{
    Start();
    EXPECT_FALSE(form->GetOptions().GetShowSystemClasses());
    EXPECT_EQ(3u, Texts(Wmi()).size());
    form.reset();
    {
        Config::AppOptions options{String(KeyPath)};
        options.SetShowSystemClasses(true);
    }
    Start();
    TreeNode* wmi = Wmi();
    EXPECT_EQ(L"__SystemClass", Texts(wmi).back());
    EXPECT_EQ(Quarrow::Resources::SystemClassImage, wmi->GetLastNode()->GetImageIndex());
}

// A class of root\wmi is shown and loaded as a class of the class view is, through a connection to root\wmi.
TEST_F(NamespacesTest, AClassOfAnotherNamespaceLoadsThroughThatNamespace)
{
    Start();
    TreeNode* tables = Find(Wmi()->GetNodes(), {L"MSSMBios_RawSMBiosTables"});
    Select(tables);
    Settle();
    EXPECT_EQ(L"MSSMBios_RawSMBiosTables", W(form->GetClassLabel().GetText()));
    ASSERT_EQ(3, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_EQ(L"12", W(form->GetResultsGrid().GetCellText(2, 0)));
    EXPECT_EQ(L"Loading completed. 3 records", Status(0));
    ASSERT_FALSE(provider->queries.empty());
    EXPECT_EQ(L"root\\wmi", provider->queries.back().nameSpace);
    EXPECT_EQ(L"root\\wmi", W(form->GetCurrentClass()->GetNamespace()));
    EXPECT_TRUE(form->GetToolBar().GetButtons()[2]->IsEnabled()) << "its reports are offered";
}

// A namespace the user may not open, and one the machine lists but cannot open, say why in the tree, once.
TEST_F(NamespacesTest, ADeniedOrMissingNamespaceSaysWhy)
{
    provider->AddNamespace(L"root\\secure").connectResult = WBEM_E_ACCESS_DENIED;
    provider->AddNamespace(L"root\\gone").connectResult = WBEM_E_INVALID_NAMESPACE;
    Start();
    Open(Namespaces());
    for (const wchar_t* name : {L"secure", L"gone"})
    {
        TreeNode* node = Find(Namespaces()->GetNodes(), {name});
        Open(node);
        std::vector<std::wstring> texts = Texts(node);
        ASSERT_EQ(1u, texts.size()) << name;
        EXPECT_EQ(0u, texts[0].find(std::wstring(L"Could not open namespace root\\") + name + L": ")) << texts[0];
        size_t connects = provider->connects.size();
        Tree().CollapseNode(node);
        Tree().ExpandNode(node);
        Testing::PumpMessages();
        EXPECT_EQ(connects, provider->connects.size()) << "not tried again";
    }
}

// A machine whose WMI lists neither namespaces nor classes (as Wine's) says so instead of an empty node.
TEST_F(NamespacesTest, AMachineThatListsNothingSaysSo)
{
    provider->FindNamespace(L"root")->namespaceQueryResult = WBEM_E_FAILED;
    provider->FindNamespace(L"root\\cimv2")->classEnumResult = WBEM_E_FAILED;
    Start();
    Open(Namespaces());
    std::vector<std::wstring> texts = Texts(Namespaces());
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(0u, texts[0].find(L"Could not list the namespaces in root")) << texts[0];
    provider->FindNamespace(L"root")->namespaceQueryResult = S_OK;
    form.reset();
    Start();
    Open(Namespaces());
    TreeNode* cimv2 = Find(Namespaces()->GetNodes(), {L"cimv2"});
    Open(cimv2);
    texts = Texts(cimv2);
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(0u, texts[0].find(L"Could not list the classes in root\\cimv2")) << texts[0];
}

// The View menu's item shows or hides the system classes at once, and the options keep the choice.
TEST_F(NamespacesTest, TheViewMenuShowsAndHidesTheSystemClasses)
{
    Start();
    MenuItem* view = static_cast<MenuItem*>(form->GetMainMenu().GetMenuItems()[1]);
    MenuItem* item = nullptr;
    for (int i = 0; i < view->GetMenuItemCount(); i++)
    {
        if (view->GetMenuItems()[i]->GetCommandId() == Quarrow::Command::ShowSystemClasses)
        {
            item = view->GetMenuItems()[i];
        }
    }
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(L"Show &System Classes", W(item->GetText()));
    EXPECT_EQ(3u, Texts(Wmi()).size());
    Select(Find(Wmi()->GetNodes(), {L"MSSMBios_RawSMBiosTables"}));
    Settle();
    form->RunCommand(Quarrow::Command::ShowSystemClasses);
    EXPECT_EQ(nullptr, form->GetCurrentClass()) << "the class shown went with its list";
    EXPECT_TRUE(form->GetOptions().GetShowSystemClasses());
    EXPECT_EQ(L"Hide &System Classes", W(item->GetText()));
    EXPECT_EQ(L"__SystemClass", Texts(Wmi()).back());
    form->RunCommand(Quarrow::Command::ShowSystemClasses);
    EXPECT_EQ(3u, Texts(Wmi()).size());
    EXPECT_EQ(L"Show &System Classes", W(item->GetText()));
}

// Where the machine lists nothing (Wine's WMI lists no classes), a class is opened by its path: it is checked on a
// worker, put under its namespace and selected, and loads as any class does.
TEST_F(NamespacesTest, OpenClassOpensAClassOfAMachineThatListsNothing)
{
    provider->FindNamespace(L"root")->namespaceQueryResult = WBEM_E_FAILED;
    provider->FindNamespace(L"root\\wmi")->classEnumResult = WBEM_E_FAILED;
    Start();
    form->OpenByPath(String(L"root\\WMI:MSSMBios_RawSMBiosTables"), true);
    ASSERT_TRUE(Testing::PumpUntil([&] { return form->GetCurrentClass() != nullptr; }));
    Settle();
    TreeNode* selected = Tree().GetSelectedNode();
    ASSERT_NE(nullptr, selected);
    EXPECT_EQ(L"MSSMBios_RawSMBiosTables", W(selected->GetText()));
    EXPECT_EQ(L"WMI", W(selected->GetParent()->GetText()));
    EXPECT_EQ(Namespaces(), selected->GetParent()->GetParent());
    EXPECT_EQ(3, form->GetResultsGrid().GetRows().GetCount());
    EXPECT_TRUE(desktop.messages.empty());
    // Opened again, in other capitals: the same node is selected, no second one is made.
    Select(Node({L"Local Machine", L"Operating System"}));
    form->OpenByPath(String(L"root\\wmi:mssmbios_rawsmbiostables"), true);
    ASSERT_TRUE(Testing::PumpUntil([&] { return Tree().GetSelectedNode() == selected; }));
    Settle();
    int classes = 0;
    for (int i = 0; i < selected->GetParent()->GetNodes().GetCount(); i++)
    {
        classes += Config::ClassOf(selected->GetParent()->GetNodes()[i]) != nullptr ? 1 : 0;
    }
    EXPECT_EQ(1, classes);
}

// A class the namespace lacks, a namespace the machine lacks and a path that is none say so and add nothing.
TEST_F(NamespacesTest, OpenClassOfAMissingClassOrNamespaceSaysWhy)
{
    provider->AddNamespace(L"root\\gone").connectResult = WBEM_E_INVALID_NAMESPACE;
    Start();
    std::vector<std::wstring> said;
    for (const wchar_t* path : {L"root\\wmi:NoSuchClass", L"root\\gone:Anything", L"wmi"})
    {
        desktop.messages.clear();
        form->OpenByPath(String(path), true);
        ASSERT_TRUE(Testing::PumpUntil([&] { return !desktop.messages.empty(); })) << path;
        EXPECT_EQ(L"Error", desktop.messages[0].caption) << path;
        said.push_back(desktop.messages[0].text);
    }
    EXPECT_EQ(L"The namespace root\\wmi has no class NoSuchClass.", said[0]);
    EXPECT_EQ(0u, said[1].find(L"Could not open namespace root\\gone: ")) << said[1];
    EXPECT_NE(std::wstring::npos, said[2].find(L"root\\wmi:MSSMBios_RawSMBiosTables"));
    EXPECT_EQ(nullptr, form->GetCurrentClass());
}

// Open Namespace puts the namespace under "Namespaces", selects it and lists it.
TEST_F(NamespacesTest, OpenNamespaceSelectsAndListsIt)
{
    Start();
    form->OpenByPath(String(L"root\\Microsoft\\Windows"), false);
    ASSERT_TRUE(Testing::PumpUntil(
        [&] { return Tree().GetSelectedNode() != nullptr && W(Tree().GetSelectedNode()->GetText()) == L"Windows"; }));
    TreeNode* windows = Tree().GetSelectedNode();
    ASSERT_TRUE(Testing::PumpUntil([&] { return Texts(windows) == std::vector<std::wstring>{L"Storage"}; }));
    // The namespaces above it were not listed: opened again by hand, they are, and the one opened stays.
    Tree().CollapseNode(Namespaces());
    Open(Namespaces());
    EXPECT_EQ((std::vector<std::wstring>{L"Microsoft", L"cimv2", L"wmi"}), Texts(Namespaces()));
    EXPECT_EQ(windows, Find(Namespaces()->GetNodes(), {L"Microsoft", L"Windows"}));
}

// A class of the class-view file in another namespace than root\cimv2 loads through the machine's connection to
// that namespace, made when the class is first selected, and keeps the properties the file chose.
TEST_F(NamespacesTest, AClassViewClassOfAnotherNamespaceLoadsThroughIt)
{
    Testing::TempDirectory files;
    String path = files.File(L"Wmi.xml");
    Testing::WriteFileBytes(path,
                            "<?xml version=\"1.0\"?>\r\n"
                            "<Categories>\r\n"
                            "  <Category Name=\"Firmware\" selected=\"Y\">\r\n"
                            "    <Class Name=\"MSSMBios_RawSMBiosTables\" Namespace=\"root\\wmi\" selected=\"Y\">\r\n"
                            "      <Property>Size</Property>\r\n"
                            "    </Class>\r\n"
                            "  </Category>\r\n"
                            "</Categories>\r\n");
    Start(Config::ReportOnScreen, true, path);
    Select(Node({L"Local Machine", L"Firmware", L"MSSMBios_RawSMBiosTables"}));
    ASSERT_TRUE(Testing::PumpUntil([&] { return form->GetCurrentClass() != nullptr; }));
    Settle();
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(L"Loading completed. 3 records", Status(0));
    ASSERT_EQ(1, form->GetResultsGrid().GetColumns().GetCount()) << "the file's property only";
    EXPECT_EQ(L"12", W(form->GetResultsGrid().GetCellText(2, 0)));
    ASSERT_FALSE(provider->queries.empty());
    EXPECT_EQ(L"root\\wmi", provider->queries.back().nameSpace);
    EXPECT_EQ(L"root\\wmi", W(form->GetCurrentClass()->GetConnection()->GetNamespace()));
}

// A class of the namespaces goes into the class-view file with its namespace; the item is offered for such a class
// only.
TEST_F(NamespacesTest, AddToClassViewWritesTheClassWithItsNamespace)
{
    Testing::TempDirectory files;
    String path = files.File(L"QuarrowConfig.xml");
    Testing::WriteFileBytes(path, ProcessesOnly);
    Start(Config::ReportOnScreen, true, path);
    MenuItem* view = static_cast<MenuItem*>(form->GetMainMenu().GetMenuItems()[1]);
    MenuItem* add = view->GetMenuItems()[view->GetMenuItemCount() - 1];
    ASSERT_EQ(Quarrow::Command::AddToClassView, add->GetCommandId());
    Select(Process());
    Settle();
    EXPECT_FALSE(add->IsEnabled()) << "a class of the class view is in the file already";
    Select(Find(Wmi()->GetNodes(), {L"MSSMBios_RawSMBiosTables"}));
    Settle();
    EXPECT_TRUE(add->IsEnabled());
    form->RunCommand(Quarrow::Command::AddToClassView);
    EXPECT_TRUE(desktop.messages.empty());
    std::string written = Testing::ReadFileBytes(path);
    EXPECT_NE(std::string::npos, written.find("Added classes"));
    EXPECT_NE(std::string::npos, written.find("MSSMBios_RawSMBiosTables"));
    EXPECT_NE(std::string::npos, written.find("Namespace=\"root\\wmi\""));
    EXPECT_NE(std::string::npos, written.find("Win32_Thread")) << "the rest of the file stays";
}

// Disconnecting a machine whose namespace class is shown lets that class go with the machine's connections.
TEST_F(NamespacesTest, DisconnectingAMachineDropsItsNamespaceClass)
{
    Start();
    WhenVisible(L"Quarrow.ConnectForm",
                [&](HWND dialog)
                {
                    FindControls<TextBox>(*form->GetConnectForm())[0]->SetText(String(L"localhost"));
                    PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 1);
                });
    form->RunCommand(Quarrow::Command::Connect);
    ASSERT_EQ(2, Tree().GetNodes().GetCount());
    TreeNode* machine = Tree().GetNodes()[1];
    TreeNode* namespaces = machine->GetLastNode();
    Open(namespaces);
    TreeNode* wmi = Find(namespaces->GetNodes(), {L"wmi"});
    Open(wmi);
    Select(Find(wmi->GetNodes(), {L"MSSMBios_RawSMBiosTables"}));
    Settle();
    ASSERT_NE(nullptr, form->GetCurrentClass());
    EXPECT_FALSE(Buttons()[6]) << "a namespace class is not loaded from every machine";
    Select(machine);
    form->RunCommand(Quarrow::Command::Disconnect);
    EXPECT_EQ(1, Tree().GetNodes().GetCount());
    EXPECT_EQ(nullptr, form->GetCurrentClass()) << "the shown class went with its machine";
    EXPECT_EQ(0, form->GetResultsGrid().GetRows().GetCount());
}
