// The main window's commands: connecting and disconnecting machines, the options, help and about, and reports.
#include "app/AboutForm.h"
#include "app/MainForm.h"
#include "app/UserGuide.h"
#include "app/options/OptionsForm.h"
#include "config/ClassTreeNodes.h"
#include "core/Exception.h"
#include "core/controls/Application.h"
#include "core/controls/Cursor.h"
#include "core/io/Path.h"
#include "core/platform/windows/Desktop.h"
#include "core/threading/CriticalSection.h"
#include "reports/ReportExport.h"
#include "resources/ResourceIds.h"

#include <vector>
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

namespace
{

// Where a report's rows came from: the selected class's place in the tree and its machine; for the rows of several
// machines, whose first column names each row's machine, the machines of the tree that gave rows, in its order.
Reports::ReportOrigin OriginOf(const TreeNode* node, ManagementObject* merged, TreeNodeCollection& machines)
{
    Config::NodePlace place = Config::PlaceOf(node);
    Reports::ReportOrigin origin{place.machine, place.category, place.subcategory};
    if (merged == nullptr)
    {
        return origin;
    }
    std::vector<bool> gaveRows(static_cast<size_t>(machines.GetCount()), false);
    {
        Core::Threading::CriticalSectionLock lock(merged->GetLock());
        Core::Collections::PointerArrayList<WMI::Row>& rows = merged->GetRows();
        for (int r = 0; r < rows.GetCount(); r++)
        {
            const WMI::Row& row = *rows[r];
            for (int m = 0; m < machines.GetCount() && row.GetCount() > 0; m++)
            {
                if (!gaveRows[m] && row[0] == machines[m]->GetText())
                {
                    gaveRows[m] = true;
                    break;
                }
            }
        }
    }
    origin.host = String();
    for (int m = 0; m < machines.GetCount(); m++)
    {
        if (gaveRows[m])
        {
            origin.host += origin.host.IsEmpty() ? L"" : L", ";
            origin.host += machines[m]->GetText();
        }
    }
    return origin;
}

} // namespace

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
                CreateReport(ReportType::TabDelimited);
                break;
            case Command::WorkbookReport:
                CreateReport(ReportType::Excel);
                break;
            case Command::StopLoading:
                m_classView.StopLoading();
                break;
            case Command::CommaReport:
                CreateReport(ReportType::CommaDelimited);
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
    if (shown != nullptr && shown->GetConnection() == connection)
    {
        m_classView.DropCurrentClass();
    }
    // Right before the nodes go: the stop above pumps messages, and a selection may begin meanwhile.
    m_classView.EndSelections();
    m_machines.Remove(node);
    m_classView.ClearResults();
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
    // The loading mode first: it holds with or without a class-view file.
    if ((flags & Config::AsyncLoadChanged) != 0)
    {
        bool asynchronous = m_options->GetAsyncLoad();
        m_machines.SetAsyncLoad(asynchronous);
        ShowStatus(Panel::LoadingMode, String(asynchronous ? L"Async" : L"Sync"));
    }
    const String& configFile = m_options->GetConfigFile();
    if (configFile.IsEmpty() || !Core::IO::File::Exists(configFile))
    {
        ShowStatus(Panel::Configuration, String(L"Config file does not exist"));
        return;
    }
    ShowStatus(Panel::Configuration, String());
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
    // Right before the nodes go: the stop above pumps messages, and a selection may begin meanwhile.
    m_classView.EndSelections();
    m_machines.Rebuild();
    UpdateCommandState();
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

void MainForm::CreateReport(ReportType type)
{
    TreeNode* node = m_classTree.GetSelectedNode();
    ManagementObject* chosen = Config::ClassOf(node);
    if (chosen == nullptr)
    {
        MessageBox(String(L"Please select a class."), String(L"Error"), MB_OK);
        return;
    }
    WaitCursor wait;
    ManagementObject* source = m_classView.GetReportSource(chosen);
    // Only the workbook shows it; the merged rows are not read for text reports.
    Reports::ReportOrigin origin = type == ReportType::Excel
                                       ? OriginOf(node, source != chosen ? source : nullptr, m_classTree.GetNodes())
                                       : Reports::ReportOrigin();
    Reports::ExportReport(GetHandle(), source, m_options->GetReportDirectory(), type, origin);
}

} // namespace Quarrow
