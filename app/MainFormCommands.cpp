// The main window's commands: connecting and disconnecting machines, the options, help and about, and reports.
#include "app/AboutForm.h"
#include "app/MainForm.h"
#include "app/PathForm.h"
#include "app/UserGuide.h"
#include "app/options/OptionsForm.h"
#include "config/ClassTreeNodes.h"
#include "config/ClassViewEditor.h"
#include "core/Exception.h"
#include "core/controls/Application.h"
#include "core/controls/Cursor.h"
#include "core/io/Path.h"
#include "core/platform/windows/Desktop.h"
#include "resources/ResourceIds.h"

#include <windows.h>

// The toolkit's operation, not the macro for MessageBoxW.
#undef MessageBox

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;
using Reports::ReportType;
using WMI::ManagementConnection;
using WMI::ManagementObject;

void MainForm::RunCommand(int commandId)
{
    ConnectLocalMachine();
    RunGuarded(
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
                m_classView.CreateReport(ReportType::TabDelimited);
                break;
            case Command::WorkbookReport:
                m_classView.CreateReport(ReportType::Excel);
                break;
            case Command::StopLoading:
                m_classView.StopLoading();
                m_machines.GetNamespaces().StopReads();
                break;
            case Command::CommaReport:
                m_classView.CreateReport(ReportType::CommaDelimited);
                break;
            case Command::Refresh:
                m_classView.Refresh(m_classTree.GetSelectedNode());
                break;
            case Command::LoadAllMachines:
                LoadFromAllMachines();
                break;
            case Command::Find:
                OpenFind();
                break;
            case Command::ShowSystemClasses:
                ToggleSystemClasses();
                break;
            case Command::ShowValueNames:
                m_options->SetShowValueNames(!m_options->GetShowValueNames());
                m_classView.ShowValueNames();
                ShowValueNamesState();
                break;
            case Command::OpenClass:
                AskForPath(true);
                break;
            case Command::OpenNamespace:
                AskForPath(false);
                break;
            case Command::AddToClassView:
                AddToClassView();
                break;
            case Command::FindClass:
                ShowFindClass();
                break;
            case Command::NewQuery:
                m_queryPage.Open();
                break;
            case Command::RunQuery:
                if (!m_queryPage.IsOpen())
                {
                    m_queryPage.Open();
                }
                m_queryPage.Run();
                break;
            case Command::CopyAsPowerShell:
                CopyAsPowerShell();
                break;
            case Command::SaveQueryToClassView:
                m_queryPage.SaveToClassView();
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
        m_connectForm = std::make_unique<ConnectForm>(m_machines.GetConnections(), *m_options);
        m_connectForm->SetOwner(this);
        m_connectForm->SetStartPosition(StartPosition::CenterOwner);
        m_connectForm->SetIcon(&m_toolImages, Resources::ConnectImage);
    }
    if (m_connectForm->ShowDialog(this) != DialogResult::OK)
    {
        return;
    }
    WaitCursor wait;
    m_machines.AddMachine(m_connectForm->TakeConnection());
    m_classView.ClearResults();
}

void MainForm::LoadFromAllMachines()
{
    TreeNode* node = m_classTree.GetSelectedNode();
    if (Config::ClassOf(node) == nullptr)
    {
        MessageBox(String(L"Please select a class."), String(L"Error"), MB_OK);
        return;
    }
    m_classView.LoadFromMachines(node, m_machines.GetConnectedMachines());
}

void MainForm::OpenFind()
{
    if (m_classTree.ContainsFocus() || m_classFind.GetBox().ContainsFocus())
    {
        m_classFind.Open();
    }
    else
    {
        m_classView.OpenFind();
    }
}

void MainForm::DisconnectMachine()
{
    TreeNode* node = m_classTree.GetSelectedNode();
    if (Config::KindOf(node) != Config::NodeKind::Machine || node->GetParent() != nullptr)
    {
        return;
    }
    ManagementConnection* connection = Config::MachineOf(node);
    if (connection->GetServer().IsEmpty())
    {
        MessageBox(String(L"Application needs local connection to work properly, will not disconnect."),
                   String(L"Info"), MB_OK | MB_ICONINFORMATION);
        return;
    }
    // The machine's class objects go with its node; a load on its connection ends first.
    ManagementObject* shown = m_classView.GetCurrentClass();
    if (shown != nullptr && m_machines.IsConnectionOf(node, shown->GetConnection()))
    {
        m_classView.DropCurrentClass();
    }
    if (ManagementObject* query = m_classView.GetQuery();
        query != nullptr && m_machines.IsConnectionOf(node, query->GetConnection()))
    {
        m_classView.DropQuery();
    }
    // Right before the nodes go: a definition on its way for one of them is no longer wanted.
    m_classView.EndSelections();
    if (m_findClassForm)
    {
        m_findClassForm->Forget(connection);
    }
    m_machines.Remove(node);
    m_classView.ClearResults();
}

void MainForm::EditOptions()
{
    if (!m_optionsForm)
    {
        m_optionsForm = std::make_unique<Config::OptionsForm>(*m_options, &m_treeImages, m_machines.GetConnections());
        m_optionsForm->SetOwner(this);
        m_optionsForm->SetStartPosition(StartPosition::CenterOwner);
        m_optionsForm->SetIcon(&m_toolImages, Resources::ProgramIconImage);
    }
    if (m_optionsForm->ShowDialog(this) != DialogResult::OK)
    {
        return;
    }
    int flags = m_optionsForm->GetChangeFlags();
    // The loading mode first: it holds with or without a class-view file.
    if ((flags & Config::AsyncLoadChanged) != 0)
    {
        bool asynchronous = m_options->GetAsyncLoad();
        m_machines.SetAsyncLoad(asynchronous);
        m_statusLine.ShowLoadingMode(asynchronous);
    }
    const String& configFile = m_options->GetConfigFile();
    if (configFile.IsEmpty() || !Core::IO::File::Exists(configFile))
    {
        m_statusLine.ShowConfiguration(String(L"Config file does not exist"));
        return;
    }
    m_statusLine.ShowConfiguration(String());
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
    m_classView.Clear();
    WaitCursor wait;
    // Right before the nodes go: a definition on its way for one of them is no longer wanted.
    m_classView.EndSelections();
    m_machines.Rebuild();
    UpdateCommandState();
}

namespace
{

MenuItem* FindMenuItem(MenuItemCollection& items, int commandId)
{
    for (int i = 0; i < items.GetCount(); i++)
    {
        if (items[i]->GetCommandId() == commandId)
        {
            return items[i];
        }
        if (MenuItem* found = FindMenuItem(items[i]->GetMenuItems(), commandId))
        {
            return found;
        }
    }
    return nullptr;
}

constexpr const wchar_t* ClassPathExample = L"root\\wmi:MSSMBios_RawSMBiosTables";

} // namespace

void MainForm::ShowSystemClassesState()
{
    if (MenuItem* item = FindMenuItem(m_mainMenu.GetMenuItems(), Command::ShowSystemClasses))
    {
        item->SetText(String(m_options->GetShowSystemClasses() ? L"Hide &System Classes" : L"Show &System Classes"));
    }
}

void MainForm::ShowValueNamesState()
{
    if (MenuItem* item = FindMenuItem(m_mainMenu.GetMenuItems(), Command::ShowValueNames))
    {
        item->SetText(String(m_options->GetShowValueNames() ? L"Hide val&ue names" : L"Show val&ue names"));
    }
}

void MainForm::ToggleSystemClasses()
{
    // The namespace lists are built again: a class shown from one of them goes first.
    ManagementObject* shown = m_classView.GetCurrentClass();
    bool fromNamespaces = shown != nullptr;
    for (int i = 0; i < m_machines.GetConnections().GetCount() && fromNamespaces; i++)
    {
        fromNamespaces = m_machines.GetConnections()[i] != shown->GetConnection();
    }
    if (fromNamespaces)
    {
        m_classView.Clear();
    }
    m_classView.EndSelections();
    m_options->SetShowSystemClasses(!m_options->GetShowSystemClasses());
    m_machines.GetNamespaces().Reset();
    UpdateCommandState();
}

void MainForm::AskForPath(bool classPath)
{
    std::unique_ptr<PathForm>& form = classPath ? m_classPathForm : m_namespacePathForm;
    if (!form)
    {
        form = classPath ? std::make_unique<PathForm>(String(L"Open Class"),
                                                      String(L"&Class path, for example ") + ClassPathExample + L":")
                         : std::make_unique<PathForm>(String(L"Open Namespace"),
                                                      String(L"&Namespace path, for example root\\wmi:"));
        form->SetOwner(this);
        form->SetStartPosition(StartPosition::CenterOwner);
        form->SetIcon(&m_toolImages, Resources::ProgramIconImage);
    }
    if (form->ShowDialog(this) != DialogResult::OK)
    {
        return;
    }
    OpenByPath(form->GetPath(), classPath);
}

void MainForm::OpenByPath(const String& path, bool classPath)
{
    String nameSpace = path;
    String className;
    int colon = path.IndexOf(L':', 0);
    if (classPath && colon > 0)
    {
        nameSpace = path.Substring(0, colon);
        className = path.Substring(colon + 1);
    }
    bool inRoot = nameSpace.ToLower() == String(L"root") || nameSpace.ToLower().IndexOf(L"root\\") == 0;
    if (!WMI::IsNamespacePath(nameSpace) || !inRoot || (classPath && className.IsEmpty()) || (!classPath && colon >= 0))
    {
        ShowError(classPath ? String(L"Type a class path such as ") + ClassPathExample + L"."
                            : String(L"Type a namespace path such as root\\wmi."));
        return;
    }
    OpenInMachine(SelectedMachine(), nameSpace, className);
}

TreeNode* MainForm::SelectedMachine()
{
    TreeNode* machine = m_classTree.GetSelectedNode();
    while (machine != nullptr && machine->GetParent() != nullptr)
    {
        machine = machine->GetParent();
    }
    return machine != nullptr ? machine : m_classTree.GetNodes()[0];
}

void MainForm::OpenInMachine(TreeNode* machine, const String& nameSpace, const String& className)
{
    bool classPath = !className.IsEmpty();
    m_machines.GetNamespaces().Open(machine, nameSpace, className,
                                    [this, classPath](TreeNode* node, const String& failure)
                                    {
                                        if (node == nullptr)
                                        {
                                            ShowError(failure);
                                            return;
                                        }
                                        m_classTree.SetSelectedNode(node);
                                        if (!classPath)
                                        {
                                            m_classTree.ExpandNode(node);
                                        }
                                    });
}

void MainForm::OnFindClassRequested(Core::Object*, Core::EventArgs&)
{
    ShowFindClass(m_classFind.GetBox().GetTextBox().GetText());
}

void MainForm::ShowFindClass(const String& text)
{
    if (!m_findClassForm)
    {
        m_findClassForm = std::make_unique<FindClassForm>();
        m_findClassForm->SetOwner(this);
        m_findClassForm->SetStartPosition(StartPosition::CenterOwner);
        m_findClassForm->SetIcon(&m_toolImages, Resources::FindImage);
        m_findClassForm->SetOpenHandler([this](const ManagementConnection* machine, const WMI::SchemaMatch& match)
                                        { OpenFoundClass(machine, match); });
    }
    TreeNode* machine = SelectedMachine();
    m_findClassForm->SetMachine(Config::MachineOf(machine), machine->GetText());
    m_findClassForm->Show();
    m_findClassForm->Activate();
    m_findClassForm->GetTextBox().Focus();
    if (!text.IsEmpty())
    {
        m_findClassForm->GetTextBox().SetText(text);
        m_findClassForm->StartSearch();
    }
}

InstanceForm& MainForm::GetInstanceSheet()
{
    if (!m_instanceForm)
    {
        m_instanceForm = std::make_unique<InstanceForm>();
        m_instanceForm->SetOwner(this);
        m_instanceForm->SetStartPosition(StartPosition::CenterOwner);
        m_instanceForm->SetIcon(&m_toolImages, Resources::ProgramIconImage);
    }
    return *m_instanceForm;
}

void MainForm::OpenInstance(ManagementConnection* connection, const String& path)
{
    ConnectLocalMachine();
    RunGuarded(
        [&]
        {
            if (connection == nullptr)
            {
                throw Core::ArgumentNullException(String(L"connection"));
            }
            // The sheet keeps the session and a copy of the credentials: it reads on after the connection's node went.
            GetInstanceSheet().Open(connection->GetSession(), connection->CopyCredentials(), path);
        });
}

void MainForm::OpenFoundClass(const ManagementConnection* machine, const WMI::SchemaMatch& match)
{
    for (int i = 0; i < m_classTree.GetNodes().GetCount(); i++)
    {
        TreeNode* node = m_classTree.GetNodes()[i];
        if (Config::MachineOf(node) == machine)
        {
            OpenInMachine(node, match.nameSpace, match.className);
            return;
        }
    }
    ShowError(String(L"The machine searched is no longer connected."));
}

void MainForm::SelectClassNode(TreeNode* node)
{
    ManagementObject* chosen = Config::ClassOf(node);
    if (WMI::IsSameNamespace(chosen->GetNamespace(), chosen->GetConnection()->GetNamespace()))
    {
        RunGuarded([&] { m_classView.SelectClass(node); });
        return;
    }
    TreeNode* machine = node;
    while (machine->GetParent() != nullptr)
    {
        machine = machine->GetParent();
    }
    m_statusLine.ShowLoading(String(L"Opening namespace ") + chosen->GetNamespace() + L" ...");
    m_machines.GetNamespaces().ConnectTo(machine, chosen->GetNamespace(),
                                         [this, node](ManagementConnection* connection, const String& failure)
                                         {
                                             // The tree may have moved on meanwhile: only the node still selected is
                                             // shown.
                                             if (m_classTree.GetSelectedNode() != node)
                                             {
                                                 return;
                                             }
                                             if (connection == nullptr)
                                             {
                                                 m_statusLine.ShowLoading(String());
                                                 ShowError(failure);
                                                 return;
                                             }
                                             ManagementObject* unbound = Config::ClassOf(node);
                                             if (unbound == nullptr || unbound == m_classView.GetCurrentClass())
                                             {
                                                 return;
                                             }
                                             // The same class, filter and properties, read through its own namespace
                                             // from now on.
                                             auto bound = std::make_unique<ManagementObject>(
                                                 connection, unbound->GetName(), unbound->GetKind());
                                             bound->SetNamespace(unbound->GetNamespace());
                                             bound->SetFilter(unbound->GetFilter());
                                             bound->GetProperties() = unbound->GetProperties();
                                             node->SetOwnedData(bound.release());
                                             RunGuarded([&] { m_classView.SelectClass(node); });
                                         });
}

void MainForm::AddToClassView()
{
    TreeNode* node = m_classTree.GetSelectedNode();
    ManagementObject* chosen = Config::ClassOf(node);
    if (chosen == nullptr || !NamespaceTree::IsUnderNamespaces(node))
    {
        MessageBox(String(L"Please select a class under Namespaces."), String(L"Error"), MB_OK);
        return;
    }
    // The class view's own classes come from the file already; this one goes in as the file would hold it.
    WMI::ClassDefinition definition(chosen->GetName(), 0);
    definition.SetNamespace(chosen->GetNamespace());
    if (Config::AddClassToClassView(m_options->GetConfigFile(), definition, GetHandle()))
    {
        m_statusLine.ShowLoading(chosen->GetName() + L" added to the class view (" + Config::AddedClassesCategory +
                                 L"); it shows there once the tree is rebuilt");
    }
}

void MainForm::CopyAsPowerShell()
{
    // A class just chosen in the tree is what the keyboard's user means, even with the query page shown.
    if (m_queryPage.IsInUse() && !m_classTree.ContainsFocus())
    {
        m_queryPage.CopyQueryAsPowerShell();
    }
    else
    {
        m_queryPage.CopyClassAsPowerShell();
    }
}

void MainForm::OpenOnlineHelp()
{
    OpenUserGuide(GetHandle());
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

} // namespace Quarrow
