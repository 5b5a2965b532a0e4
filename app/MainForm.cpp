#include "app/MainForm.h"

#include "app/AboutForm.h"
#include "app/options/OptionsForm.h"
#include "config/Catalogue.h"
#include "config/ClassTreeNodes.h"
#include "config/ClassViewFile.h"
#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/Application.h"
#include "core/controls/Cursor.h"
#include "core/io/Path.h"
#include "core/io/SystemError.h"
#include "core/platform/windows/Desktop.h"
#include "reports/ReportExport.h"
#include "resources/ResourceIds.h"
#include "resources/generated/CategoryIcon.h"

#include <new>
#include <utility>
#include <windows.h>

// The toolkit's operation, not the macro for MessageBoxW.
#undef MessageBox

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;
using Reports::ReportType;
using WMI::LoadEventArgs;
using WMI::ManagementConnection;
using WMI::ManagementObject;

namespace
{

constexpr int LocalConnectTimer = 1;

// The program's history beside its options; a test's under its own options key.
String QueryHistoryKey(const String& optionsKeyPath)
{
    if (optionsKeyPath == String(Config::AppOptions::DefaultKeyPath))
    {
        return String(Config::QueryHistory::DefaultKeyPath);
    }
    return optionsKeyPath + L"\\Queries";
}

} // namespace

MainForm::MainForm(const String& optionsKeyPath)
    : m_options(std::make_unique<Config::AppOptions>(optionsKeyPath)),
      m_machines(m_classTree, *m_options, m_statusLine), m_statusLine(m_options->GetAsyncLoad()),
      m_classFind(m_classTree), m_classView(*m_options, m_statusLine, m_classTree),
      m_queryPage(m_machines, m_classView, m_statusLine, *m_options, m_classTree, QueryHistoryKey(optionsKeyPath),
                  [this](int commandId) { RunCommand(commandId); }),
      m_commandHandler(this, &MainForm::OnCommand), m_beforeSelectHandler(this, &MainForm::OnBeforeSelect),
      m_afterSelectHandler(this, &MainForm::OnAfterSelect),
      m_selectedClickHandler(this, &MainForm::OnSelectedNodeClick),
      m_classViewChangedHandler(this, &MainForm::OnClassViewChanged),
      m_findClassRequestedHandler(this, &MainForm::OnFindClassRequested)
{
    SetClassName(String(L"Quarrow.MainForm"));
    BuildImages();
    SetIcon(&m_toolImages, Resources::ProgramIconImage);

    // Rows: menu bar, toolbar, the tree and the pages, status bar. Columns: the tree takes the first two
    // (260 pixels), the pages the other five.
    m_layout.SetDock(DockStyle::Fill);
    m_layout.AddRow(SizeType::Absolute, 26);
    m_layout.AddRow(SizeType::Absolute, 28);
    m_layout.AddRow(SizeType::Percent, 100);
    m_layout.AddRow(SizeType::Absolute, 23);
    for (int width : {200, 60, 140, 120})
    {
        m_layout.AddColumn(SizeType::Absolute, width);
    }
    m_layout.AddColumn(SizeType::Percent, 30);
    m_layout.AddColumn(SizeType::Percent, 70);
    m_layout.AddColumn(SizeType::Absolute, 30);
    GetControls().Add(&m_layout);

    BuildMenu();
    BuildToolBar();
    m_classTree.SetImageList(&m_treeImages);
    // The tree shows no text of its own: screen readers need a name for it.
    m_classTree.GetAccessibilityObject().SetName(String(L"Machines and classes"));
    m_classTree.BeforeSelect.Subscribe(&m_beforeSelectHandler);
    m_classTree.AfterSelect.Subscribe(&m_afterSelectHandler);
    m_classTree.SelectedNodeClick.Subscribe(&m_selectedClickHandler);
    m_classTree.SetDock(DockStyle::Fill);
    m_classFind.FindClassRequested.Subscribe(&m_findClassRequestedHandler);
    m_treePanel.GetControls().Add(&m_classFind.GetBox());
    m_treePanel.GetControls().Add(&m_classTree);
    m_layout.Add(&m_treePanel, 2, 0, 1, 2);
    m_layout.Add(&m_classView.GetTabView(), 2, 2, 1, 5);
    BuildStatusBar();
    m_machines.GetNamespaces().SetReadingChanged([this] { UpdateCommandState(); });
    m_classView.SetInstanceOpener(
        [this](ManagementConnection* connection, const String& path, const String& problem)
        {
            if (!problem.IsEmpty())
            {
                GetInstanceSheet().OpenProblem(problem);
                return;
            }
            OpenInstance(connection, path);
        });
    UpdateCommandState();
}

MainForm::~MainForm()
{
    // The options are saved first, while the program's windows still exist for a message about a failure. A
    // load still running goes with its class object, which only asks it to stop: the process does not wait for
    // a provider that ignores its time-outs.
    m_options.reset();
}

void MainForm::BuildImages()
{
    for (int id : Resources::ToolImageIds)
    {
        m_toolImages.AddFromResource(id);
    }
    for (int index = 0; index < Resources::TreeImageCount; index++)
    {
        if (index == Resources::CategoryImage)
        {
            m_treeImages.AddFromMemory(Resources::CategoryIcon, static_cast<int>(sizeof(Resources::CategoryIcon)));
        }
        else
        {
            m_treeImages.AddFromResource(Resources::TreeImageIds[index]);
        }
    }
}

void MainForm::BuildMenu()
{
    m_mainMenu.SetImageList(&m_toolImages);
    BuildMainMenu(m_mainMenu);
    m_mainMenu.Click.Subscribe(&m_commandHandler);
    m_layout.Add(&m_mainMenu, 0, 0, 1, 7);
    SetMenu(&m_mainMenu);
}

void MainForm::BuildToolBar()
{
    m_toolBar.SetImageList(&m_toolImages);
    BuildCommandToolBar(m_toolBar);
    m_toolBar.Click.Subscribe(&m_commandHandler);
    m_layout.Add(&m_toolBar, 1, 0, 1, 7);
}

namespace
{

// Every item of a toolbar that runs the command.
void SetCommandEnabled(ToolBarItemCollection& items, int commandId, bool enabled)
{
    for (int i = 0; i < items.GetCount(); i++)
    {
        if (items[i]->GetCommandId() == commandId)
        {
            items[i]->SetEnabled(enabled);
        }
    }
}

// Every item of a menu tree that runs the command.
void SetCommandEnabled(MenuItemCollection& items, int commandId, bool enabled)
{
    for (int i = 0; i < items.GetCount(); i++)
    {
        if (items[i]->GetCommandId() == commandId)
        {
            items[i]->SetEnabled(enabled);
        }
        SetCommandEnabled(items[i]->GetMenuItems(), commandId, enabled);
    }
}

} // namespace

void MainForm::UpdateCommandState()
{
    Config::NodeKind selected = Config::KindOf(m_classTree.GetSelectedNode());
    bool machine = selected == Config::NodeKind::Machine;
    bool classNode = selected == Config::NodeKind::Class;
    // A class of the namespaces is one machine's: the other machines' connections are to root\cimv2.
    bool severalMachines =
        m_classTree.GetNodes().GetCount() > 1 && !NamespaceTree::IsUnderNamespaces(m_classTree.GetSelectedNode());
    for (auto [command, enabled] : {std::pair{Command::Disconnect, machine}, std::pair{Command::Refresh, classNode},
                                    std::pair{Command::LoadAllMachines, classNode && severalMachines}})
    {
        SetCommandEnabled(m_mainMenu.GetMenuItems(), command, enabled);
        SetCommandEnabled(m_toolBar.GetButtons(), command, enabled);
    }
    // The menu always offers the reports and says when no class is selected; the toolbar only with a class.
    bool rows = classNode || m_classView.IsQueryShown();
    SetCommandEnabled(m_toolBar.GetButtons(), Command::TabReport, rows);
    SetCommandEnabled(m_toolBar.GetButtons(), Command::WorkbookReport, rows);
    // Stop stops a class's load and the listings being read under the Namespaces nodes.
    SetCommandEnabled(m_toolBar.GetButtons(), Command::StopLoading,
                      m_classView.IsStopOffered() || m_machines.GetNamespaces().IsReading());
    SetCommandEnabled(m_mainMenu.GetMenuItems(), Command::AddToClassView,
                      classNode && NamespaceTree::IsUnderNamespaces(m_classTree.GetSelectedNode()));
    ShowSystemClassesState();
    ShowValueNamesState();
}

void MainForm::BuildStatusBar()
{
    m_layout.Add(&m_statusLine.GetBar(), 3, 0, 1, 7);
    m_classView.StateChanged.Subscribe(&m_classViewChangedHandler);
}

void MainForm::OnCreate(Core::Object* sender, Core::EventArgs& args)
{
    Form::OnCreate(sender, args);
    m_machines.AddLocalMachine();
    const String& configFile = m_options->GetConfigFile();
    if (configFile.IsEmpty() || !Core::IO::File::Exists(configFile))
    {
        m_options->SetConfigFile(Core::IO::Directory::GetCurrent() + L"\\QuarrowConfig.xml");
        m_statusLine.ShowConfiguration(String(L"Config file does not exist"));
    }
    // Loading WMI into the process takes as long as making the window: the tree needs no connection, so the
    // window shows first. A timer message comes only when nothing is left to paint.
    m_localConnectPending = true;
    StartTimer(LocalConnectTimer, USER_TIMER_MINIMUM);
}

void MainForm::OnTimer(int id)
{
    if (id == LocalConnectTimer)
    {
        ConnectLocalMachine();
    }
}

void MainForm::ConnectLocalMachine()
{
    if (!m_localConnectPending)
    {
        return;
    }
    m_localConnectPending = false;
    KillTimer(static_cast<HWND>(GetHandle()), LocalConnectTimer);
    try
    {
        WaitCursor wait;
        m_machines.GetLocalConnection()->Connect(String(), String(), String(), String());
    }
    catch (const Core::Exception& exception)
    {
        // The tree stays; selecting a class then says the machine is not connected.
        ShowError(exception.GetMessageText());
    }
}

void MainForm::OnClassViewChanged(Core::Object*, Core::EventArgs&)
{
    UpdateCommandState();
}

// ---------------------------------------------------------------------------------------------------------------
// Commands

template <typename Work> void MainForm::Guarded(Work work)
{
    try
    {
        work();
    }
    catch (const Core::Exception& exception)
    {
        Cursor::SetCurrent(Cursor(Cursor::Arrow));
        ShowError(exception.GetMessageText());
    }
    catch (const std::bad_alloc&)
    {
        Cursor::SetCurrent(Cursor(Cursor::Arrow));
        ShowError(String(L"There is not enough memory to complete the operation."));
    }
}

void MainForm::RunGuarded(const std::function<void()>& work)
{
    Guarded(work);
}

void MainForm::ShowError(const String& text)
{
    MessageBox(text, String(L"Error"), MB_OK | MB_ICONERROR);
}

void MainForm::OnCommand(Core::Object* sender, CommandEventArgs& args)
{
    if ((sender != &m_mainMenu && sender != &m_toolBar) || args.GetItem() == nullptr)
    {
        return;
    }
    RunCommand(args.GetCommandId());
}

void MainForm::OnBeforeSelect(Core::Object*, TreeViewCancelEventArgs& args)
{
    if (!m_classView.ConfirmLeaving())
    {
        args.SetCancel(true);
    }
}

void MainForm::OnAfterSelect(Core::Object*, TreeViewEventArgs& args)
{
    TreeNode* node = args.GetNode();
    if (node == nullptr)
    {
        return;
    }
    UpdateCommandState();
    if (Config::ClassOf(node) != nullptr)
    {
        ConnectLocalMachine();
        SelectClassNode(node);
    }
}

void MainForm::OnSelectedNodeClick(Core::Object*, TreeViewEventArgs& args)
{
    ConnectLocalMachine();
    m_classView.Reselect(args.GetNode());
}

} // namespace Quarrow
