// The class view's load of one class from every machine: started here, collected as the machines tell of new rows,
// ended when every machine is done.
#include "app/ClassView.h"

#include "config/AppOptions.h"
#include "config/ClassTreeNodes.h"
#include "core/controls/Cursor.h"

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;
using WMI::ManagementObject;

namespace
{

const int MachineColumnWidth = 100;

} // namespace

void ClassView::LoadFromMachines(TreeNode* node, const std::vector<MachineSource>& machines)
{
    ManagementObject* chosen = Config::ClassOf(node);
    if (chosen == nullptr)
    {
        return;
    }
    // Asked before a running load is left: a No keeps it. The question pumps messages, the node may go meanwhile.
    std::weak_ptr<const void> alive = chosen->Watch();
    if (!ConfirmCostlyClass(chosen->GetName()) || alive.expired() || !LeaveRunningLoad(chosen))
    {
        return;
    }
    EndMachinesLoad();
    m_machinesLoad = std::make_unique<MachinesLoad>(*chosen, machines);
    m_currentClass = chosen;
    ClearResults();
    const Core::Collections::ArrayList<WMI::PropertyInfo>& columns = m_machinesLoad->GetMerged().GetProperties();
    for (int i = 0; i < columns.GetCount(); i++)
    {
        m_resultsGrid.GetColumns().Add(columns[i].GetName(), i == 0 ? MachineColumnWidth : ResultsColumnWidth);
    }
    ShowValueNames();
    m_resultsGrid.SetLiveRefresh(false);
    m_status.ShowLoading(String(L"Loading in progress"));
    m_machinesLoad->Start([this] { OnMachinesChanged(); });
    OfferStop(true);
    // Machines that could not start tell nothing: their end is seen now.
    OnMachinesChanged();
}

void ClassView::OnMachinesChanged()
{
    // Asked before collecting, so that the rows of a machine that ends meanwhile are collected before the end.
    bool running = m_machinesLoad->IsRunning();
    if (m_machinesLoad->Collect() > 0)
    {
        ShowRowsOf(m_machinesLoad->GetMerged());
    }
    if (running)
    {
        if (!m_machinesLoad->IsStopRequested())
        {
            m_status.ShowLoading(m_machinesLoad->GetProgressText());
        }
        return;
    }
    FinishMachinesLoad();
}

void ClassView::FinishMachinesLoad()
{
    m_machinesLoad->StopTelling();
    OfferStop(false);
    m_status.ShowLoading(m_machinesLoad->GetEndText());
    m_resultsGrid.SetLiveRefresh(true);
    String failures = m_machinesLoad->GetFailuresText();
    bool stopped = m_machinesLoad->IsStopRequested();
    // The message waits for the user: the report comes after it, from what the machines gave.
    if (!failures.IsEmpty())
    {
        ShowError(String(L"Some machines could not be read; the others are shown.\r\n\r\n") + failures);
    }
    if (!stopped && m_machinesLoad != nullptr)
    {
        RunGuarded(
            [&]
            {
                WaitCursor wait;
                CreateTargetReport();
            });
    }
}

void ClassView::EndMachinesLoad()
{
    if (m_machinesLoad == nullptr)
    {
        return;
    }
    // Each machine's worker ends by itself once let go: nothing waits for a slow machine here.
    m_machinesLoad->Stop();
    m_machinesLoad.reset();
    OfferStop(m_currentClass != nullptr && m_currentClass->IsLoading());
}

ManagementObject* ClassView::GetReportSource(ManagementObject* selected)
{
    if (m_machinesLoad != nullptr && selected != nullptr && selected == m_currentClass)
    {
        return &m_machinesLoad->GetMerged();
    }
    return selected;
}

} // namespace Quarrow
