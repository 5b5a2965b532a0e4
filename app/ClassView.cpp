#include "app/ClassView.h"

#include "app/TextInput.h"
#include "config/AppOptions.h"
#include "config/ClassTreeNodes.h"
#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/Cursor.h"
#include "core/controls/Font.h"
#include "core/controls/Keys.h"
#include "core/platform/windows/Desktop.h"
#include "core/threading/CriticalSection.h"
#include "reports/ReportExport.h"
#include "wmi/InvalidWMIClassException.h"
#include "wmi/QueryText.h"

#include <new>
#include <optional>
#include <vector>
#include <windows.h>

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;
using Reports::ReportType;
using WMI::LoadEventArgs;
using WMI::ManagementObject;

namespace
{

// "Loading error occured." says nothing of the cause: the machine's own message follows it, on one line.
String LoadingErrorText(const ManagementObject& failed)
{
    String reason = OnOneLine(failed.GetFailureMessage());
    return reason.IsEmpty() ? String(L"Loading error occured.") : String(L"Loading error occured. ") + reason;
}

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

constexpr int PropertiesCommand = 1;

} // namespace

void ResultsGrid::OnMouseDoubleClick(const Point& point, int button, int keys)
{
    Grid::OnMouseDoubleClick(point, button, keys);
    if (button == MouseButtons::Left && point.y >= GetHeaderHeight() && GetRowAt(point) >= 0)
    {
        RaiseRowActivated();
    }
}

bool ResultsGrid::IsInputKey(int keyData) const
{
    // Enter opens the row's instance rather than going to the window.
    return keyData == Keys::Return || Grid::IsInputKey(keyData);
}

bool ResultsGrid::OnKeyDown(int keyData)
{
    if (keyData == Keys::Return)
    {
        if (GetSelectedRow() >= 0)
        {
            RaiseRowActivated();
        }
        return true;
    }
    return Grid::OnKeyDown(keyData);
}

void ResultsGrid::RaiseRowActivated()
{
    Core::EventArgs args;
    RowActivated.Raise(this, args);
}

ClassView::ClassView(Config::AppOptions& options, StatusLine& status, TreeView& tree)
    : m_options(options), m_status(status), m_tree(tree), m_resultsPage(String(L"Results")),
      m_metadataPage(String(L"Metadata")), m_resultsFind(m_resultsGrid),
      m_metadata(m_metadataGrid, m_metadataLayout, DescriptionRow), m_progressHandler(this, &ClassView::OnLoadProgress),
      m_completedHandler(this, &ClassView::OnLoadCompleted), m_rowActivatedHandler(this, &ClassView::OnRowActivated),
      m_resultsMenuHandler(this, &ClassView::OnResultsMenuClick)
{
    BuildPages();
}

void ClassView::BuildPages()
{
    m_resultsGrid.SetDock(DockStyle::Fill);
    m_resultsGrid.GetAccessibilityObject().SetName(String(L"Results"));
    m_resultsGrid.RowActivated.Subscribe(&m_rowActivatedHandler);
    m_resultsMenu.GetMenuItems().Add(new MenuItem(String(L"&Properties"), PropertiesCommand));
    m_resultsMenu.Click.Subscribe(&m_resultsMenuHandler);
    m_resultsGrid.SetContextMenu(&m_resultsMenu);
    m_metadataGrid.GetAccessibilityObject().SetName(String(L"Metadata"));
    // The strip first, so that the grid fills what it leaves.
    m_resultsPage.GetControls().Add(&m_resultsFind.GetBox());
    m_resultsPage.GetControls().Add(&m_resultsGrid);

    m_metadataLayout.SetDock(DockStyle::Fill);
    m_metadataLayout.AddColumn(SizeType::Percent, 100);
    m_metadataLayout.AddRow(SizeType::Absolute, 25);
    m_metadataLayout.AddRow(SizeType::Absolute, 0); // the class's description, when it has one
    m_metadataLayout.AddRow(SizeType::Percent, 100);
    m_classLabel.SetFont(Font(String(L"Tahoma"), 15, 400));
    m_classLabel.SetForeColor(Colors::FromArgb(0xFF, 0x80, 0x00, 0x00));
    m_classLabel.SetUseMnemonic(false);
    m_metadataLayout.Add(&m_classLabel, 0, 0);
    m_metadataGrid.GetColumns().Add(String(L"Property Name"), 300);
    m_metadataGrid.GetColumns().Add(String(L"Property Type"), 150);
    m_metadataLayout.Add(&m_metadata.GetDescriptionLabel(), DescriptionRow, 0);
    m_metadataLayout.Add(&m_metadataGrid, DescriptionRow + 1, 0);
    m_metadataPage.GetControls().Add(&m_metadataLayout);

    m_tabView.GetPages().Add(&m_resultsPage);
    m_tabView.GetPages().Add(&m_metadataPage);
    m_tabView.GetPages().Add(&m_metadata.GetMofPage());
    // The names of the values come with the class's texts, and a report that waited for them goes.
    m_metadata.SetDescribedHandler(
        [this]
        {
            ShowValueNames();
            if (m_reportAwaitsTexts)
            {
                RunGuarded(
                    [&]
                    {
                        WaitCursor wait;
                        CreateTargetReport();
                    });
            }
        });
}

void ClassView::OpenFind()
{
    m_tabView.ShowPage(0);
    m_resultsFind.Open();
}

bool ClassView::ConfirmLeaving()
{
    bool machinesRunning = m_machinesLoad != nullptr && m_machinesLoad->IsRunning();
    if (!machinesRunning && (m_currentClass == nullptr || !m_currentClass->IsLoading()))
    {
        return true;
    }
    int answer = Core::Platform::Windows::Desktop::Current().ShowMessage(
        m_tabView.GetTopLevelControl()->GetHandle(), String(L"Abort loading previously requested data?"),
        String(L"Quarrow"), MB_YESNO | MB_ICONQUESTION);
    return answer == IDYES;
}

void ClassView::SelectClass(TreeNode* node)
{
    ManagementObject* chosen = node->GetDataAs<ManagementObject>();
    // What the selection before waited for is no longer wanted.
    m_selection.Reset();
    m_definitionFor = nullptr;
    EndMachinesLoad();
    if (m_currentClass != nullptr && m_currentClass->IsLoading())
    {
        m_currentClass->Cancel(); // lets the worker go at once
    }
    m_currentClass = chosen;
    // Nothing of the class shown before stays under the new one's name while its definition is read.
    m_classLabel.SetText(chosen->GetName());
    ClearResults();
    m_metadata.Clear();
    m_reportAwaitsTexts = false;
    m_metadataGrid.GetRows().Clear();
    if (!chosen->IsLoaded() && !ConfirmCostlyClass(chosen->GetName()))
    {
        m_status.ShowLoading(String(L"Loading cancelled. "));
        OfferStop(false);
        return;
    }
    if (const WMI::PropertyList* kept = chosen->GetDefinition())
    {
        // Shown before: the machine is not asked again until a refresh.
        RunSelectionStep(node, [&] { ShowClass(*kept); });
        return;
    }
    m_status.ShowLoading(String(L"Reading class definition ..."));
    RunSelectionStep(node,
                     [&]
                     {
                         // A slow provider can take minutes for a definition: it is read on a worker, and the
                         // window goes on meanwhile.
                         WMI::ReadClassDefinition(
                             m_selection, chosen->GetConnection(), chosen->GetName(),
                             [this, node, chosen](Core::Threading::Outcome<WMI::PropertyList>& read)
                             { OnDefinitionRead(node, chosen, read); });
                         m_definitionFor = chosen;
                         OfferStop(true);
                     });
}

void ClassView::OnDefinitionRead(TreeNode* node, ManagementObject* chosen,
                                 Core::Threading::Outcome<WMI::PropertyList>& read)
{
    m_definitionFor = nullptr;
    OfferStop(false);
    RunSelectionStep(node,
                     [&]
                     {
                         chosen->KeepDefinition(read.Get());
                         ShowClass(read.Get());
                     });
}

void ClassView::ShowClass(const WMI::PropertyList& properties)
{
    ManagementObject* shown = m_currentClass;
    if (shown->GetProperties().GetCount() == 0)
    {
        // The class's own list holds names only, as a fill without types does.
        for (int i = 0; i < properties.GetCount(); i++)
        {
            shown->GetProperties().Add(WMI::PropertyInfo(properties[i].GetName()));
        }
    }
    m_metadata.ShowDefinition(properties);
    // Its texts come on a worker; the load waits for them in the class's turn.
    m_metadata.Describe(shown);
    m_resultsGrid.SetLiveRefresh(false);
    WaitCursor wait;
    LoadData();
}

void ClassView::RunSelectionStep(TreeNode* node, const std::function<void()>& step)
{
    try
    {
        step();
    }
    catch (const WMI::InvalidWMIClassException& exception)
    {
        // The machine lacks the class: it leaves that machine's tree.
        ShowSelectionFailure(exception.GetMessageText());
        if (TreeNode* parent = node->GetParent())
        {
            if (m_currentClass == node->GetDataAs<ManagementObject>())
            {
                m_currentClass = nullptr;
            }
            m_selection.Reset();
            parent->GetNodes().Remove(node);
            // The selection went with the node, without an event: the class commands go with it.
            RaiseStateChanged();
        }
    }
    catch (const Core::Exception& exception)
    {
        ShowSelectionFailure(exception.GetMessageText());
    }
    catch (const std::bad_alloc&)
    {
        ShowSelectionFailure(String(L"There is not enough memory to complete the operation."));
    }
}

bool ClassView::ConfirmCostlyClass(const String& className)
{
    // Enumerating the installed products makes Windows Installer check each one, and repair what it finds
    // broken: minutes of work on the machine that nobody expects from a read.
    if (m_costlyClassAgreed || className.ToLower() != String(L"win32_product"))
    {
        return true;
    }
    int answer = Core::Platform::Windows::Desktop::Current().ShowMessage(
        m_tabView.GetTopLevelControl()->GetHandle(),
        String(L"Reading Win32_Product makes Windows Installer check every installed product, and repair those "
               L"it finds damaged. This can take several minutes on each machine.\r\n\r\nRead Win32_Product now?"),
        String(L"Quarrow"), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    m_costlyClassAgreed = answer == IDYES;
    return m_costlyClassAgreed;
}

bool ClassView::LeaveRunningLoad(ManagementObject* chosen)
{
    if (chosen == nullptr || !ConfirmLeaving())
    {
        return false;
    }
    StopLoading();
    return true;
}

void ClassView::Refresh(TreeNode* node)
{
    ManagementObject* chosen = Config::ClassOf(node);
    if (!LeaveRunningLoad(chosen) || chosen->IsLoading())
    {
        return;
    }
    chosen->Discard();
    m_metadata.Forget(chosen);
    SelectClass(node);
}

void ClassView::Reselect(TreeNode* node)
{
    // A definition still being read goes on; a loaded class stays as shown, unless a query took the view from it.
    ManagementObject* chosen = Config::ClassOf(node);
    if (chosen != nullptr && chosen != m_definitionFor &&
        (chosen != m_currentClass || (!chosen->IsLoading() && !chosen->IsLoaded())))
    {
        SelectClass(node);
    }
}

void ClassView::ShowSelectionFailure(const String& text)
{
    ShowError(text);
    m_resultsGrid.SetLiveRefresh(true);
    m_status.ShowLoading(String());
}
void ClassView::ShowStopping()
{
    OfferStop(false);
    m_status.ShowLoading(String(L"Stopping ..."));
    // Said at once: the worker may be inside a provider that takes seconds to notice.
    m_status.Repaint();
}

void ClassView::LoadData()
{
    ManagementObject* loading = m_currentClass;
    m_status.ShowLoading(String(L"Loading in progress"));
    ClearResults();
    bool loaded = loading->IsLoaded();
    bool onScreen = m_options.GetReportTarget() == Config::ReportOnScreen;
    if (onScreen)
    {
        const Core::Collections::ArrayList<WMI::PropertyInfo>& properties = loading->GetProperties();
        for (int i = 0; i < properties.GetCount(); i++)
        {
            m_resultsGrid.GetColumns().Add(properties[i].GetName(), ResultsColumnWidth);
        }
        ShowValueNames();
    }
    if (!loaded)
    {
        bool asynchronous = loading->GetConnection()->GetAsyncLoad();
        if (asynchronous)
        {
            // A load this one replaced (a refresh during the load) never completed, and left its subscription.
            loading->Progress.Unsubscribe(&m_progressHandler);
            loading->Completed.Unsubscribe(&m_completedHandler);
            loading->Progress.Subscribe(&m_progressHandler);
            loading->Completed.Subscribe(&m_completedHandler);
        }
        OfferStop(true);
        try
        {
            loading->Load();
        }
        catch (...)
        {
            // Load throws only before its wait begins: the class is still there.
            if (asynchronous)
            {
                loading->Progress.Unsubscribe(&m_progressHandler);
                loading->Completed.Unsubscribe(&m_completedHandler);
            }
            throw;
        }
        if (asynchronous)
        {
            // The events told the rest: the wait ran messages, and the node may be gone by now.
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
    m_status.ShowLoading(failed ? LoadingErrorText(*loading) : String(L"Loading completed"));
    m_resultsGrid.SetLiveRefresh(true);
}

void ClassView::CreateTargetReport()
{
    m_reportAwaitsTexts = false;
    if (m_options.GetReportTarget() == Config::ReportOnScreen)
    {
        return;
    }
    // With value names on, the report waits for the class's texts: a synchronous load ends before their read's
    // completion has had its turn on this thread.
    if (m_options.GetShowValueNames() && m_metadata.IsReading())
    {
        m_reportAwaitsTexts = true;
        return;
    }
    switch (m_options.GetReportTarget())
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

int ClassView::ShowRowsOf(ManagementObject& source)
{
    bool columnsChanged = false;
    int total = 0;
    {
        Core::Threading::CriticalSectionLock lock(source.GetLock());
        Core::Collections::PointerArrayList<WMI::Row>& rows = source.GetRows();
        int columns = source.GetProperties().GetCount();
        if (source.IsQuery())
        {
            // A query's columns come with its objects; once the class column went first, all is read again.
            const Core::Collections::ArrayList<String>& names = source.GetColumns();
            if (source.GetColumnLayout() != m_shownLayout)
            {
                ClearResults();
                m_shownLayout = source.GetColumnLayout();
            }
            for (int c = m_resultsGrid.GetColumns().GetCount(); c < names.GetCount(); c++)
            {
                m_resultsGrid.GetColumns().Add(names[c], ResultsColumnWidth);
                columnsChanged = true;
            }
            columns = names.GetCount();
        }
        int have = m_resultsGrid.GetRows().GetCount();
        total = rows.GetCount();
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
    }
    if (columnsChanged)
    {
        // The names are made for the columns they format; made outside the lock, which they take themselves.
        ShowValueNames();
    }
    return total;
}

void ClassView::ShowNewRows()
{
    int total = ShowRowsOf(*m_currentClass);
    String status(m_currentClass->IsLoading() ? L"Loading ..." : L"Loading is completed. ");
    status += total;
    status += L" records ready";
    m_status.ShowLoading(status);
}

void ClassView::OnLoadProgress(Core::Object*, LoadEventArgs& args)
{
    // A load cancelled by the selection of another class reports last, after the new one: it is ignored.
    if (args.GetSender() != m_currentClass || m_machinesLoad != nullptr ||
        m_options.GetReportTarget() != Config::ReportOnScreen)
    {
        return;
    }
    ShowNewRows();
}

void ClassView::OnLoadCompleted(Core::Object*, LoadEventArgs& args)
{
    ManagementObject* finished = args.GetSender();
    finished->Progress.Unsubscribe(&m_progressHandler);
    finished->Completed.Unsubscribe(&m_completedHandler);
    // A load from all machines that took over the view tells its own end.
    if (finished != m_currentClass || m_machinesLoad != nullptr)
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
    m_status.ShowLoading(status);
    OfferStop(false);
    if (args.GetValue() == WMI::LoadCompleted)
    {
        RunGuarded(
            [&]
            {
                WaitCursor wait;
                CreateTargetReport();
            });
    }
    m_resultsGrid.SetLiveRefresh(true);
}

void ClassView::OnRowActivated(Core::Object*, Core::EventArgs&)
{
    OpenRowInstance(m_resultsGrid.GetSelectedRow());
}

void ClassView::OnResultsMenuClick(Core::Object*, CommandEventArgs& args)
{
    if (args.GetCommandId() == PropertiesCommand)
    {
        OpenRowInstance(m_resultsGrid.GetSelectedRow());
    }
}

void ClassView::OpenRowInstance(int row)
{
    if (!m_openInstance || m_currentClass == nullptr || row < 0 || row >= m_resultsGrid.GetRowCount())
    {
        return;
    }
    String path;
    WMI::ManagementConnection* connection = m_currentClass->GetConnection();
    if (m_machinesLoad != nullptr)
    {
        // Each row of every machine's is read through its own machine.
        connection = m_machinesLoad->GetRowSource(row, path);
    }
    else
    {
        Core::Threading::CriticalSectionLock lock(m_currentClass->GetLock());
        if (row < m_currentClass->GetRows().GetCount())
        {
            path = m_currentClass->GetRowPath(row);
        }
    }
    if (path.IsEmpty())
    {
        // WMI gives a path only with every key: a query or a property list without them leaves the row without one.
        m_openInstance(nullptr, String(),
                       String(L"This row has no object path, so its instance cannot be opened: WMI gives a path "
                              L"only when the query selects the class's key properties (SELECT * selects them)."));
        return;
    }
    m_openInstance(connection, path, String());
}

void ClassView::StopLoading()
{
    if (m_machinesLoad != nullptr && m_machinesLoad->IsRunning())
    {
        // What came so far stays in the grid; the workers are let go.
        if (m_machinesLoad->Collect() > 0)
        {
            ShowRowsOf(m_machinesLoad->GetMerged());
        }
        m_machinesLoad->Stop();
        FinishMachinesLoad();
        return;
    }
    if (m_definitionFor != nullptr)
    {
        // The definition read is let go; a click on the class reads it again.
        m_selection.Reset();
        m_definitionFor = nullptr;
        m_status.ShowLoading(String(L"Loading cancelled. "));
        OfferStop(false);
        return;
    }
    if (m_currentClass != nullptr && m_currentClass->IsLoading())
    {
        // Overwritten as soon as the load's own wait has control again, which tells the cancelled end.
        ShowStopping();
        m_currentClass->Cancel();
    }
}

void ClassView::LoadQuery(std::unique_ptr<ManagementObject> query, const String& host)
{
    m_selection.Reset();
    m_definitionFor = nullptr;
    EndMachinesLoad();
    if (m_currentClass != nullptr && m_currentClass->IsLoading())
    {
        m_currentClass->Cancel(); // lets the worker go at once
    }
    // The query before goes with its object: a wait for it further down the stack sees it gone.
    m_currentClass = nullptr;
    m_query = std::move(query);
    m_queryHost = host;
    m_currentClass = m_query.get();
    m_classLabel.SetText(m_query->GetName());
    ClearResults();
    m_metadata.Clear();
    m_reportAwaitsTexts = false;
    m_metadataGrid.GetRows().Clear();
    // Rows all of one class are described by it (the query is named after it): the Metadata page lists its
    // properties, and its value names show in the rows. Asked before the load, so a report waits for them.
    if (!WMI::GetRowClass(m_query->GetTypedQueryText()).IsEmpty())
    {
        m_metadata.Describe(m_query.get());
    }
    // The keyboard follows the rows when the query's page had it, rather than staying on a hidden page.
    bool hadFocus = m_tabView.ContainsFocus();
    m_tabView.ShowPage(0);
    if (hadFocus)
    {
        m_resultsGrid.Focus();
    }
    m_resultsGrid.SetLiveRefresh(false);
    try
    {
        WaitCursor wait;
        LoadData();
    }
    catch (const Core::Exception& exception)
    {
        OfferStop(false);
        ShowSelectionFailure(exception.GetMessageText());
    }
    catch (const std::bad_alloc&)
    {
        OfferStop(false);
        ShowSelectionFailure(String(L"There is not enough memory to complete the operation."));
    }
}

void ClassView::DropQuery()
{
    if (m_query == nullptr)
    {
        return;
    }
    if (IsQueryShown())
    {
        DropCurrentClass();
        ClearResults();
    }
    m_query.reset();
}

void ClassView::DropCurrentClass()
{
    m_selection.Reset();
    m_definitionFor = nullptr;
    if (m_currentClass == nullptr)
    {
        return;
    }
    if (m_currentClass->IsLoading())
    {
        m_currentClass->Cancel();
    }
    m_currentClass = nullptr;
    OfferStop(false);
    m_status.ShowLoading(String());
}

void ClassView::ClearResults()
{
    m_resultsGrid.GetColumns().Clear();
    m_resultsGrid.GetRows().Clear();
    // After the rows went: a filter set searches again, and has nothing left to search.
    if (m_resultsGrid.HasCellFormatter())
    {
        m_resultsGrid.SetCellFormatter(nullptr);
    }
}

void ClassView::Clear()
{
    EndMachinesLoad();
    DropCurrentClass();
    m_status.ShowLoading(String());
    ClearResults();
    m_metadata.Clear();
    m_reportAwaitsTexts = false;
    m_metadataGrid.GetRows().Clear();
    m_classLabel.SetText(String());
}

void ClassView::OfferStop(bool offered)
{
    m_stopOffered = offered;
    RaiseStateChanged();
}

void ClassView::RaiseStateChanged()
{
    Core::EventArgs args;
    StateChanged.Raise(nullptr, args);
}

void ClassView::ShowError(const String& text)
{
    Core::Platform::Windows::Desktop::Current().ShowMessage(m_tabView.GetTopLevelControl()->GetHandle(), text,
                                                            String(L"Error"), MB_OK | MB_ICONERROR);
}

void ClassView::RunGuarded(const std::function<void()>& work)
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

void ClassView::CreateReport(ReportType type)
{
    if (IsQueryShown())
    {
        WaitCursor wait;
        Reports::ReportOrigin origin{m_queryHost, String(), String()};
        if (std::shared_ptr<const ValueNames> names = ValueNamesFor(*m_query, *m_query))
        {
            origin.showValue = [names](int column, const String& value) { return names->Format(column, value); };
        }
        Reports::ExportReport(m_tabView.GetTopLevelControl()->GetHandle(), m_query.get(),
                              m_options.GetReportDirectory(), type, origin);
        return;
    }
    TreeNode* node = m_tree.GetSelectedNode();
    ManagementObject* chosen = Config::ClassOf(node);
    if (chosen == nullptr)
    {
        Core::Platform::Windows::Desktop::Current().ShowMessage(
            m_tabView.GetTopLevelControl()->GetHandle(), String(L"Please select a class."), String(L"Error"), MB_OK);
        return;
    }
    WaitCursor wait;
    ManagementObject* source = GetReportSource(chosen);
    // Only the workbook shows it; the merged rows are not read for text reports.
    Reports::ReportOrigin origin = type == ReportType::Excel
                                       ? OriginOf(node, source != chosen ? source : nullptr, m_tree.GetNodes())
                                       : Reports::ReportOrigin();
    if (std::shared_ptr<const ValueNames> names = ValueNamesFor(*source, *chosen))
    {
        origin.showValue = [names](int column, const String& value) { return names->Format(column, value); };
    }
    Reports::ExportReport(m_tabView.GetTopLevelControl()->GetHandle(), source, m_options.GetReportDirectory(), type,
                          origin);
}

} // namespace Quarrow
