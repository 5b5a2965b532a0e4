#include "app/MainForm.h"

#include "app/AboutForm.h"
#include "app/options/OptionsForm.h"
#include "config/Catalogue.h"
#include "config/ClassViewFile.h"
#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/Application.h"
#include "core/controls/Cursor.h"
#include "core/controls/Font.h"
#include "core/io/Path.h"
#include "core/io/SystemError.h"
#include "core/platform/windows/Desktop.h"
#include "reports/ReportExport.h"
#include "resources/ResourceIds.h"
#include "resources/generated/CategoryIcon.h"
#include "wmi/InvalidWMIClassException.h"

#include <new>
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

const int ResultsColumnWidth = 200;

constexpr int LocalConnectTimer = 1;

bool HasTag(const TreeNode* node, const wchar_t* tag)
{
    return node != nullptr && node->GetTag() == String(tag);
}

// "Loading error occured." says nothing of the cause: the machine's own message follows it, on one line.
String LoadingErrorText(const ManagementObject& failed)
{
    String reason = failed.GetFailureMessage();
    int end = reason.GetLength();
    while (end > 0 && (reason[end - 1] == L'\r' || reason[end - 1] == L'\n' || reason[end - 1] == L' '))
    {
        end--;
    }
    String text(L"Loading error occured.");
    if (end > 0)
    {
        text += L" ";
    }
    for (int i = 0; i < end; i++)
    {
        bool lineEnd = reason[i] == L'\r' || reason[i] == L'\n';
        if (!lineEnd || (i > 0 && reason[i - 1] != L'\r' && reason[i - 1] != L'\n'))
        {
            text += lineEnd ? L' ' : reason[i];
        }
    }
    return text;
}

} // namespace

MainForm::MainForm(const String& optionsKeyPath)
    : m_connections(2), m_options(std::make_unique<Config::AppOptions>(optionsKeyPath)),
      m_resultsPage(String(L"Results")), m_metadataPage(String(L"Metadata")),
      m_commandHandler(this, &MainForm::OnCommand), m_beforeSelectHandler(this, &MainForm::OnBeforeSelect),
      m_afterSelectHandler(this, &MainForm::OnAfterSelect), m_progressHandler(this, &MainForm::OnLoadProgress),
      m_completedHandler(this, &MainForm::OnLoadCompleted)
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
    // The tree and the grids show no text of their own: screen readers need a name for them.
    m_classTree.GetAccessibilityObject().SetName(String(L"Machines and classes"));
    m_classTree.BeforeSelect.Subscribe(&m_beforeSelectHandler);
    m_classTree.AfterSelect.Subscribe(&m_afterSelectHandler);
    m_layout.Add(&m_classTree, 2, 0, 1, 2);
    BuildPages();
    m_layout.Add(&m_tabView, 2, 2, 1, 5);
    BuildStatusBar();
}

MainForm::~MainForm()
{
    // The options are saved first, while the program's windows still exist for a message about a failure. A
    // load still running goes with its class object, which only asks it to stop: the process does not wait for
    // a provider that ignores its time-outs.
    m_options.reset();
    m_currentClass = nullptr;
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
    auto* application = new MenuItem(String(L"&Application"));
    application->GetMenuItems().Add(new MenuItem(String(L"&Connect to another computer..."), Command::Connect,
                                                 Resources::ConnectImage, Shortcut::CtrlShiftC));
    m_disconnectItem = new MenuItem(String(L"&Disconnect"), Command::Disconnect, 1, Shortcut::CtrlShiftD);
    m_disconnectItem->SetEnabled(false);
    application->GetMenuItems().Add(m_disconnectItem);
    auto* exitItem = new MenuItem(String(L"E&xit"), Command::Exit);
    exitItem->SetSeparator(true);
    application->GetMenuItems().Add(exitItem);

    auto* reports = new MenuItem(String(L"&Reports"));
    auto* exportItem = new MenuItem(String(L"E&xport data to..."));
    exportItem->GetMenuItems().Add(
        new MenuItem(String(L"&Excel file"), Command::WorkbookReport, 4, Shortcut::CtrlShiftX));
    exportItem->GetMenuItems().Add(
        new MenuItem(String(L"&Comma delimited text file"), Command::CommaReport, 3, Shortcut::CtrlShiftB));
    exportItem->GetMenuItems().Add(
        new MenuItem(String(L"&Tab delimited text file"), Command::TabReport, 3, Shortcut::CtrlShiftE));
    reports->GetMenuItems().Add(exportItem);

    auto* tools = new MenuItem(String(L"&Tools"));
    tools->GetMenuItems().Add(new MenuItem(String(L"&Options..."), Command::Options, -1, Shortcut::CtrlShiftO));

    auto* help = new MenuItem(String(L"&Help"));
    help->GetMenuItems().Add(new MenuItem(String(L"Online Help"), Command::OnlineHelp, -1, Shortcut::CtrlF1));
    help->GetMenuItems().Add(new MenuItem(String(L"&About Quarrow..."), Command::About));

    for (MenuItem* item : {application, reports, tools, help})
    {
        m_mainMenu.GetMenuItems().Add(item);
    }
    m_mainMenu.Click.Subscribe(&m_commandHandler);
    m_layout.Add(&m_mainMenu, 0, 0, 1, 7);
    SetMenu(&m_mainMenu);
}

void MainForm::BuildToolBar()
{
    m_toolBar.SetImageList(&m_toolImages);
    m_connectButton = m_toolBar.AddButton(String(L"Connect to computer"), Command::Connect, 0);
    m_disconnectButton = m_toolBar.AddButton(String(L"Disconnect"), Command::Disconnect, 1, false);
    m_textReportButton = m_toolBar.AddButton(String(L"Open report in Notepad"), Command::TabReport, 3, false);
    m_textReportButton->SetSeparator(true);
    m_workbookReportButton = m_toolBar.AddButton(String(L"Open report in Excel"), Command::WorkbookReport, 4, false);
    m_stopButton = m_toolBar.AddButton(String(L"Stop asyncronous data loading"), Command::StopLoading, 5, false);
    m_stopButton->SetSeparator(true);
    m_toolBar.Click.Subscribe(&m_commandHandler);
    m_layout.Add(&m_toolBar, 1, 0, 1, 7);
}

void MainForm::BuildStatusBar()
{
    m_statusBar.AddPanel(String());
    StatusBarPanel* configuration = m_statusBar.AddPanel(String(), StatusBarPanelAutoSize::None, 200);
    configuration->SetForeColor(Colors::FromArgb(0xFF, 0xFF, 0x00, 0x00));
    m_statusBar.AddPanel(String(m_options->GetAsyncLoad() ? L"Async" : L"Sync"), StatusBarPanelAutoSize::None, 60);
    m_layout.Add(&m_statusBar, 3, 0, 1, 7);
}

void MainForm::BuildPages()
{
    m_resultsGrid.SetDock(DockStyle::Fill);
    m_resultsGrid.GetAccessibilityObject().SetName(String(L"Results"));
    m_metadataGrid.GetAccessibilityObject().SetName(String(L"Metadata"));
    m_resultsPage.GetControls().Add(&m_resultsGrid);

    m_metadataLayout.SetDock(DockStyle::Fill);
    m_metadataLayout.AddColumn(SizeType::Percent, 100);
    m_metadataLayout.AddRow(SizeType::Absolute, 25);
    m_metadataLayout.AddRow(SizeType::Percent, 100);
    m_classLabel.SetFont(Font(String(L"Tahoma"), 15, 400));
    m_classLabel.SetForeColor(Colors::FromArgb(0xFF, 0x80, 0x00, 0x00));
    m_classLabel.SetUseMnemonic(false);
    m_metadataLayout.Add(&m_classLabel, 0, 0);
    m_metadataGrid.GetColumns().Add(String(L"Property Name"), 300);
    m_metadataGrid.GetColumns().Add(String(L"Property Type"), 150);
    m_metadataLayout.Add(&m_metadataGrid, 1, 0);
    m_metadataPage.GetControls().Add(&m_metadataLayout);

    m_tabView.GetPages().Add(&m_resultsPage);
    m_tabView.GetPages().Add(&m_metadataPage);
}

void MainForm::OnCreate(Core::Object* sender, Core::EventArgs& args)
{
    Form::OnCreate(sender, args);
    auto* local = new ManagementConnection();
    m_connections.Add(local);
    local->SetAsyncLoad(m_options->GetAsyncLoad());
    AddMachineNode(local, String(L"Local Machine"));
    const String& configFile = m_options->GetConfigFile();
    if (configFile.IsEmpty() || !Core::IO::File::Exists(configFile))
    {
        m_options->SetConfigFile(Core::IO::Directory::GetCurrent() + L"\\QuarrowConfig.xml");
        ShowStatus(Panel::Configuration, String(L"Config file does not exist"));
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
        m_connections[0]->Connect(String(), String(), String(), String());
    }
    catch (const Core::Exception& exception)
    {
        // The tree stays; selecting a class then says the machine is not connected.
        ShowError(exception.GetMessageText());
    }
}

void MainForm::AddMachineNode(ManagementConnection* connection, const String& text)
{
    auto* machine = new TreeNode(text, reinterpret_cast<uintptr_t>(connection));
    machine->SetTag(String(Config::NodeTag::Machine));
    machine->SetImageIndex(Config::NodeImage::Machine);
    UpdatesPaused paused(m_classTree);
    m_classTree.GetNodes().Add(machine);
    FillMachineNode(machine);
}

void MainForm::FillMachineNode(TreeNode* machine)
{
    Config::ReadClassTree(machine, m_options->GetConfigFile(), *this);
    machine->Expand();
}

void MainForm::ShowStatus(int panel, const String& text)
{
    m_statusBar.GetPanels()[panel]->SetText(text);
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

void MainForm::RunCommand(int commandId)
{
    ConnectLocalMachine();
    Guarded(
        [&]
        {
            switch (commandId)
            {
            case Command::Exit:
                Core::Controls::Application::Exit(0);
                break;
            case Command::Connect:
                ConnectMachine();
                break;
            case Command::Disconnect:
                DisconnectMachine();
                break;
            case Command::TabReport:
                CreateReport(ReportType::TabDelimited);
                break;
            case Command::WorkbookReport:
                CreateReport(ReportType::Excel);
                break;
            case Command::StopLoading:
                StopLoading();
                break;
            case Command::CommaReport:
                CreateReport(ReportType::CommaDelimited);
                break;
            case Command::Options:
                EditOptions();
                break;
            case Command::OnlineHelp:
                OpenOnlineHelp();
                break;
            case Command::About:
                ShowAbout();
                break;
            default:
                break;
            }
        });
}

void MainForm::ConnectMachine()
{
    if (!m_connectForm)
    {
        m_connectForm = std::make_unique<ConnectForm>(*this);
        m_connectForm->SetOwner(this);
        m_connectForm->SetStartPosition(StartPosition::CenterOwner);
        m_connectForm->SetIcon(&m_toolImages, Resources::ConnectImage);
    }
    if (m_connectForm->ShowDialog(this) != DialogResult::OK)
    {
        return;
    }
    WaitCursor wait;
    // The dialog appended the new connection last; its name is the one connected to, without stray blanks.
    ManagementConnection* added = m_connections[m_connections.GetCount() - 1];
    AddMachineNode(added, added->GetServer());
    ClearResults();
}

void MainForm::DisconnectMachine()
{
    TreeNode* node = m_classTree.GetSelectedNode();
    if (node == nullptr)
    {
        return;
    }
    int index = node->GetIndex();
    if (index < 0 || index >= m_connections.GetCount())
    {
        return;
    }
    ManagementConnection* connection = m_connections[index];
    if (connection->GetServer().IsEmpty())
    {
        MessageBox(String(L"Application needs local connection to work properly, will not disconnect."),
                   String(L"Info"), MB_OK);
        return;
    }
    if (node->GetParent() != nullptr)
    {
        return;
    }
    // The machine's class objects go with its node; a load on its connection ends first.
    if (m_currentClass != nullptr && m_currentClass->GetConnection() == connection)
    {
        DropCurrentClass();
    }
    // Counted right before the nodes go: the stop above pumps messages, and a selection may begin meanwhile.
    m_selectionSerial++;
    m_classTree.GetNodes().Remove(node);
    m_connections.RemoveAt(index);
    ClearResults();
}

void MainForm::EditOptions()
{
    if (!m_optionsForm)
    {
        m_optionsForm = std::make_unique<Config::OptionsForm>(*this);
        m_optionsForm->SetOwner(this);
        m_optionsForm->SetStartPosition(StartPosition::CenterOwner);
        m_optionsForm->SetIcon(&m_toolImages, Resources::ProgramIconImage);
    }
    if (m_optionsForm->ShowDialog(this) != DialogResult::OK)
    {
        return;
    }
    int flags = m_optionsForm->GetChangeFlags();
    const String& configFile = m_options->GetConfigFile();
    if (configFile.IsEmpty() || !Core::IO::File::Exists(configFile))
    {
        ShowStatus(Panel::Configuration, String(L"Config file does not exist"));
        return;
    }
    ShowStatus(Panel::Configuration, String());
    if ((flags & Config::AsyncLoadChanged) != 0)
    {
        bool asynchronous = m_options->GetAsyncLoad();
        for (int i = 0; i < m_connections.GetCount(); i++)
        {
            m_connections[i]->SetAsyncLoad(asynchronous);
        }
        ShowStatus(Panel::LoadingMode, String(asynchronous ? L"Async" : L"Sync"));
    }
    if ((flags & (Config::ConfigFileChanged | Config::ClassViewChanged)) != 0)
    {
        int answer = MessageBox(String(L"Rebuild tree with new configuration?"), String(L"Configuration changes"),
                                MB_YESNO | MB_ICONQUESTION);
        if (answer == IDYES)
        {
            RebuildClassTrees();
        }
    }
}

void MainForm::RebuildClassTrees()
{
    // Every class object goes with its node: the one on screen is let go first.
    DropCurrentClass();
    ShowStatus(Panel::Loading, String());
    ClearResults();
    m_metadataGrid.GetRows().Clear();
    m_classLabel.SetText(String());
    WaitCursor wait;
    {
        UpdatesPaused paused(m_classTree);
        TreeNodeCollection& machines = m_classTree.GetNodes();
        // Counted right before the nodes go: the stop above pumps messages, and a selection may begin meanwhile.
        m_selectionSerial++;
        for (int i = 0; i < machines.GetCount(); i++)
        {
            TreeNode* machine = machines[i];
            machine->GetNodes().Clear();
            FillMachineNode(machine);
        }
    }
    TreeNode* selected = m_classTree.GetSelectedNode();
    ApplyEnablingRules(selected != nullptr ? selected->GetTag() : String());
}

void MainForm::DropCurrentClass()
{
    if (m_currentClass == nullptr)
    {
        return;
    }
    if (m_currentClass->IsLoading())
    {
        ShowStopping();
        m_currentClass->Cancel();
    }
    m_currentClass = nullptr;
    m_stopButton->SetEnabled(false);
    ShowStatus(Panel::Loading, String());
}

void MainForm::OpenOnlineHelp()
{
    String parameters =
        String(L"url.dll,FileProtocolHandler ") + String(Core::ResourceId(IDS_HELP_ADDRESS), Resources::StringLimit);
    intptr_t result = Core::Platform::Windows::Desktop::Current().Execute(
        GetHandle(), String(L"open"), String(L"rundll32.exe"), parameters, String(), SW_SHOWNORMAL);
    if (result <= 32)
    {
        throw Core::Exception(Core::Platform::Windows::GetLaunchFailureText(result));
    }
}

void MainForm::ShowAbout()
{
    if (!m_aboutForm)
    {
        m_aboutForm = std::make_unique<AboutForm>();
        m_aboutForm->SetOwner(this);
        m_aboutForm->SetStartPosition(StartPosition::CenterOwner);
        m_aboutForm->SetIcon(&m_toolImages, Resources::ProgramIconImage);
    }
    m_aboutForm->ShowDialog(this);
}

void MainForm::StopLoading()
{
    if (m_currentClass != nullptr && m_currentClass->IsLoading())
    {
        ShowStopping();
        m_currentClass->Cancel();
    }
}

void MainForm::CreateReport(ReportType type)
{
    TreeNode* node = m_classTree.GetSelectedNode();
    if (!HasTag(node, Config::NodeTag::Class) || node->GetData() == 0)
    {
        MessageBox(String(L"Please select a class."), String(L"Error"), MB_OK);
        return;
    }
    WaitCursor wait;
    Reports::ExportReport(GetHandle(), node->GetDataAs<ManagementObject>(), m_options->GetReportDirectory(), type);
}

void MainForm::ClearResults()
{
    m_resultsGrid.GetColumns().Clear();
    m_resultsGrid.GetRows().Clear();
}

// ---------------------------------------------------------------------------------------------------------------
// Selecting a class and loading its data

void MainForm::ApplyEnablingRules(const String& tag)
{
    bool machine = tag == String(Config::NodeTag::Machine);
    bool classNode = tag == String(Config::NodeTag::Class);
    m_disconnectButton->SetEnabled(machine);
    m_disconnectItem->SetEnabled(machine);
    m_textReportButton->SetEnabled(classNode);
    m_workbookReportButton->SetEnabled(classNode);
}

void MainForm::OnBeforeSelect(Core::Object*, TreeViewCancelEventArgs& args)
{
    if (m_currentClass == nullptr || !m_currentClass->IsLoading())
    {
        return;
    }
    int answer =
        MessageBox(String(L"Abort loading previously requested data?"), String(L"Quarrow"), MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES)
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
    ApplyEnablingRules(node->GetTag());
    if (!HasTag(node, Config::NodeTag::Class) || node->GetData() == 0)
    {
        return;
    }
    SelectClass(node);
}

void MainForm::SelectClass(TreeNode* node)
{
    ConnectLocalMachine();
    ManagementObject* chosen = node->GetDataAs<ManagementObject>();
    // Every wait below pumps messages: another selection, a rebuilt tree or a disconnect may happen meanwhile,
    // and then this selection is over and must not touch its node or class again.
    const uint64_t selection = ++m_selectionSerial;
    try
    {
        if (m_currentClass != nullptr && m_currentClass->IsLoading())
        {
            ShowStopping();
            m_currentClass->Cancel();
            if (selection != m_selectionSerial)
            {
                return;
            }
        }
        m_currentClass = chosen;
        WaitCursor wait;
        // Nothing of the class shown before stays under the new one's name while its definition is read.
        m_classLabel.SetText(chosen->GetName());
        ClearResults();
        m_metadataGrid.GetRows().Clear();
        ShowStatus(Panel::Loading, String(L"Reading class definition ..."));
        // A slow provider can take minutes for a definition: it is read on a worker while the window goes on.
        std::optional<Core::Collections::ArrayList<WMI::PropertyInfo>> properties =
            WMI::ReadClassProperties(chosen->GetConnection(), chosen->GetName());
        if (!properties || selection != m_selectionSerial)
        {
            return; // the program is ending, or the user has moved on
        }
        if (chosen->GetProperties().GetCount() == 0)
        {
            // The class's own list holds names only, as a fill without types does.
            for (int i = 0; i < properties->GetCount(); i++)
            {
                chosen->GetProperties().Add(WMI::PropertyInfo((*properties)[i].GetName()));
            }
        }
        ShowMetadata(*properties);
        m_resultsGrid.SetLiveRefresh(false);
        LoadData();
    }
    catch (const WMI::InvalidWMIClassException& exception)
    {
        if (selection != m_selectionSerial)
        {
            return;
        }
        // The machine lacks the class: it leaves that machine's tree.
        ShowError(exception.GetMessageText());
        m_resultsGrid.SetLiveRefresh(true);
        ShowStatus(Panel::Loading, String());
        if (TreeNode* parent = node->GetParent())
        {
            if (m_currentClass == chosen)
            {
                m_currentClass = nullptr;
            }
            m_selectionSerial++;
            parent->GetNodes().Remove(node);
        }
    }
    catch (const Core::Exception& exception)
    {
        ShowSelectionFailure(selection, exception.GetMessageText());
    }
    catch (const std::bad_alloc&)
    {
        ShowSelectionFailure(selection, String(L"There is not enough memory to complete the operation."));
    }
}

void MainForm::ShowSelectionFailure(uint64_t selection, const String& text)
{
    // A selection the user has already left says nothing of its failure.
    if (selection == m_selectionSerial)
    {
        ShowError(text);
        m_resultsGrid.SetLiveRefresh(true);
        ShowStatus(Panel::Loading, String());
    }
}

void MainForm::ShowStopping()
{
    m_stopButton->SetEnabled(false);
    ShowStatus(Panel::Loading, String(L"Stopping ..."));
    // Said at once: the worker may be inside a provider that takes seconds to notice.
    m_statusBar.Update();
}

void MainForm::ShowMetadata(const Core::Collections::ArrayList<WMI::PropertyInfo>& properties)
{
    UpdatesPaused paused(m_metadataGrid);
    m_metadataGrid.GetRows().Clear();
    if (properties.GetCount() > 0)
    {
        int first = m_metadataGrid.GetRows().AddRange(properties.GetCount());
        for (int i = 0; i < properties.GetCount(); i++)
        {
            m_metadataGrid.SetCellText(first + i, 0, properties[i].GetName());
            m_metadataGrid.SetCellText(first + i, 1, properties[i].GetCimTypeName());
        }
    }
}

void MainForm::LoadData()
{
    ManagementObject* loading = m_currentClass;
    ShowStatus(Panel::Loading, String(L"Loading in progress"));
    ClearResults();
    bool loaded = loading->IsLoaded();
    bool onScreen = m_options->GetReportTarget() == Config::ReportOnScreen;
    if (onScreen)
    {
        const Core::Collections::ArrayList<WMI::PropertyInfo>& properties = loading->GetProperties();
        for (int i = 0; i < properties.GetCount(); i++)
        {
            m_resultsGrid.GetColumns().Add(properties[i].GetName(), ResultsColumnWidth);
        }
    }
    if (!loaded)
    {
        bool asynchronous = loading->GetConnection()->GetAsyncLoad();
        if (asynchronous)
        {
            loading->Progress.Subscribe(&m_progressHandler);
            loading->Completed.Subscribe(&m_completedHandler);
        }
        m_stopButton->SetEnabled(true);
        // The node may go while the load pumps messages, and the class object with it.
        std::weak_ptr<const void> alive = loading->Watch();
        try
        {
            loading->Load();
        }
        catch (...)
        {
            if (!alive.expired() && asynchronous)
            {
                loading->Progress.Unsubscribe(&m_progressHandler);
                loading->Completed.Unsubscribe(&m_completedHandler);
            }
            throw;
        }
        if (alive.expired() || asynchronous)
        {
            // The events told the rest; the class may no longer be the current one by now.
            return;
        }
    }
    if (onScreen)
    {
        ShowNewRows();
    }
    else
    {
        CreateTargetReport();
    }
    // A synchronous load that failed says so, as an asynchronous one does.
    bool failed = !loaded && loading->GetState() == WMI::LoadFailed;
    ShowStatus(Panel::Loading, failed ? LoadingErrorText(*loading) : String(L"Loading completed"));
    m_resultsGrid.SetLiveRefresh(true);
}

void MainForm::CreateTargetReport()
{
    switch (m_options->GetReportTarget())
    {
    case Config::ReportInExcel:
        CreateReport(ReportType::Excel);
        break;
    case Config::ReportAsTabText:
        CreateReport(ReportType::TabDelimited);
        break;
    case Config::ReportAsCommaText:
        CreateReport(ReportType::CommaDelimited);
        break;
    default:
        break;
    }
}

void MainForm::ShowNewRows()
{
    ManagementObject* shown = m_currentClass;
    Core::Threading::CriticalSectionLock lock(shown->GetLock());
    Core::Collections::PointerArrayList<WMI::Row>& rows = shown->GetRows();
    int columns = shown->GetProperties().GetCount();
    int have = m_resultsGrid.GetRows().GetCount();
    int total = rows.GetCount();
    if (total > have)
    {
        UpdatesPaused paused(m_resultsGrid);
        int first = m_resultsGrid.GetRows().AddRange(total - have);
        for (int r = have; r < total; r++)
        {
            const WMI::Row& row = *rows[r];
            int cells = row.GetCount() < columns ? row.GetCount() : columns;
            for (int p = 0; p < cells; p++)
            {
                m_resultsGrid.SetCellText(first + (r - have), p, row[p]);
            }
        }
    }
    bool stillLoading = shown->IsLoading();
    String status(stillLoading ? L"Loading ..." : L"Loading is completed. ");
    status += total;
    status += L" records ready";
    ShowStatus(Panel::Loading, status);
}

void MainForm::OnLoadProgress(Core::Object*, LoadEventArgs& args)
{
    // A load cancelled by the selection of another class reports last, after the new one: it is ignored.
    if (args.GetSender() != m_currentClass || m_options->GetReportTarget() != Config::ReportOnScreen)
    {
        return;
    }
    ShowNewRows();
}

void MainForm::OnLoadCompleted(Core::Object*, LoadEventArgs& args)
{
    ManagementObject* finished = args.GetSender();
    finished->Progress.Unsubscribe(&m_progressHandler);
    finished->Completed.Unsubscribe(&m_completedHandler);
    if (finished != m_currentClass)
    {
        return;
    }
    String status;
    switch (args.GetValue())
    {
    case WMI::LoadCompleted:
    {
        Core::Threading::CriticalSectionLock lock(finished->GetLock());
        status = String(L"Loading completed. ") + finished->GetRows().GetCount() + L" records";
        break;
    }
    case WMI::LoadCancelled:
        status = String(L"Loading cancelled. ");
        break;
    case WMI::LoadFailed:
        status = LoadingErrorText(*finished);
        break;
    default:
        break;
    }
    ShowStatus(Panel::Loading, status);
    m_stopButton->SetEnabled(false);
    if (args.GetValue() == WMI::LoadCompleted)
    {
        Guarded(
            [&]
            {
                WaitCursor wait;
                CreateTargetReport();
            });
    }
    m_resultsGrid.SetLiveRefresh(true);
}

} // namespace Quarrow
