#include "app/ClassView.h"

#include "app/TextInput.h"
#include "config/AppOptions.h"
#include "config/ClassTreeNodes.h"
#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/Cursor.h"
#include "core/controls/Font.h"
#include "core/platform/windows/Desktop.h"
#include "wmi/InvalidWMIClassException.h"

#include <new>
#include <optional>
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

} // namespace

ClassView::ClassView(ClassViewHost& host)
    : m_host(host), m_resultsPage(String(L"Results")), m_metadataPage(String(L"Metadata")),
      m_resultsFind(m_resultsGrid), m_progressHandler(this, &ClassView::OnLoadProgress),
      m_completedHandler(this, &ClassView::OnLoadCompleted)
{
    BuildPages();
}

void ClassView::BuildPages()
{
    m_resultsGrid.SetDock(DockStyle::Fill);
    m_resultsGrid.GetAccessibilityObject().SetName(String(L"Results"));
    m_metadataGrid.GetAccessibilityObject().SetName(String(L"Metadata"));
    // The strip first, so that the grid fills what it leaves.
    m_resultsPage.GetControls().Add(&m_resultsFind.GetBox());
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
    m_host.ConnectLocalMachine();
    ManagementObject* chosen = node->GetDataAs<ManagementObject>();
    // Every wait below pumps messages: another selection, a rebuilt tree or a disconnect may happen meanwhile,
    // and then this selection is over and must not touch its node or class again.
    const uint64_t selection = ++m_selectionSerial;
    struct Selecting
    {
        int& depth;
        explicit Selecting(int& count) : depth(++count) {}
        ~Selecting() { depth--; }
    } selecting(m_selecting);
    EndMachinesLoad();
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
        // Nothing of the class shown before stays under the new one's name while its definition is read.
        m_classLabel.SetText(chosen->GetName());
        ClearResults();
        m_metadataGrid.GetRows().Clear();
        if (!chosen->IsLoaded() && !ConfirmCostlyClass(chosen->GetName()))
        {
            if (selection == m_selectionSerial)
            {
                m_host.ShowStatus(Panel::Loading, String(L"Loading cancelled. "));
            }
            return;
        }
        WaitCursor wait;
        std::optional<Core::Collections::ArrayList<WMI::PropertyInfo>> properties;
        if (const Core::Collections::ArrayList<WMI::PropertyInfo>* kept = chosen->GetDefinition())
        {
            // Shown before: the machine is not asked again until a refresh.
            properties.emplace(*kept);
        }
        else
        {
            m_host.ShowStatus(Panel::Loading, String(L"Reading class definition ..."));
            // A slow provider can take minutes for a definition: it is read on a worker while the window goes on.
            properties = WMI::ReadClassProperties(chosen->GetConnection(), chosen->GetName());
            if (!properties || selection != m_selectionSerial)
            {
                return; // the program is ending, or the user has moved on
            }
            chosen->KeepDefinition(*properties);
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
        m_host.ShowError(exception.GetMessageText());
        m_resultsGrid.SetLiveRefresh(true);
        m_host.ShowStatus(Panel::Loading, String());
        if (TreeNode* parent = node->GetParent())
        {
            if (m_currentClass == chosen)
            {
                m_currentClass = nullptr;
            }
            m_selectionSerial++;
            parent->GetNodes().Remove(node);
            // The selection went with the node, without an event: the class commands go with it.
            m_host.UpdateCommandState();
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
    // The stop pumps messages: the node may go, or another selection begin, meanwhile.
    const uint64_t leaving = ++m_selectionSerial;
    std::weak_ptr<const void> alive = chosen->Watch();
    StopLoading();
    return leaving == m_selectionSerial && !alive.expired();
}

void ClassView::Refresh(TreeNode* node)
{
    ManagementObject* chosen = Config::ClassOf(node);
    if (!LeaveRunningLoad(chosen) || chosen->IsLoading())
    {
        return;
    }
    chosen->Discard();
    SelectClass(node);
}

void ClassView::Reselect(TreeNode* node)
{
    // A selection still under way (its definition or its load) goes on; a loaded class stays as shown.
    ManagementObject* chosen = Config::ClassOf(node);
    if (chosen != nullptr && m_selecting == 0 && !chosen->IsLoading() && !chosen->IsLoaded())
    {
        SelectClass(node);
    }
}

void ClassView::ShowSelectionFailure(uint64_t selection, const String& text)
{
    // A selection the user has already left says nothing of its failure.
    if (selection == m_selectionSerial)
    {
        m_host.ShowError(text);
        m_resultsGrid.SetLiveRefresh(true);
        m_host.ShowStatus(Panel::Loading, String());
    }
}

void ClassView::ShowStopping()
{
    OfferStop(false);
    m_host.ShowStatus(Panel::Loading, String(L"Stopping ..."));
    // Said at once: the worker may be inside a provider that takes seconds to notice.
    m_host.RepaintStatus();
}

void ClassView::ShowMetadata(const Core::Collections::ArrayList<WMI::PropertyInfo>& properties)
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

void ClassView::LoadData()
{
    ManagementObject* loading = m_currentClass;
    m_host.ShowStatus(Panel::Loading, String(L"Loading in progress"));
    ClearResults();
    bool loaded = loading->IsLoaded();
    bool onScreen = m_host.GetOptions().GetReportTarget() == Config::ReportOnScreen;
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
            // A load this one replaced (a refresh during the load) never completed, and left its subscription.
            loading->Progress.Unsubscribe(&m_progressHandler);
            loading->Completed.Unsubscribe(&m_completedHandler);
            loading->Progress.Subscribe(&m_progressHandler);
            loading->Completed.Subscribe(&m_completedHandler);
        }
        OfferStop(true);
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
    m_host.ShowStatus(Panel::Loading, failed ? LoadingErrorText(*loading) : String(L"Loading completed"));
    m_resultsGrid.SetLiveRefresh(true);
}

void ClassView::CreateTargetReport()
{
    switch (m_host.GetOptions().GetReportTarget())
    {
    case Config::ReportInExcel:
        m_host.CreateReport(ReportType::Excel);
        break;
    case Config::ReportAsTabText:
        m_host.CreateReport(ReportType::TabDelimited);
        break;
    case Config::ReportAsCommaText:
        m_host.CreateReport(ReportType::CommaDelimited);
        break;
    default:
        break;
    }
}

int ClassView::ShowRowsOf(ManagementObject& source)
{
    Core::Threading::CriticalSectionLock lock(source.GetLock());
    Core::Collections::PointerArrayList<WMI::Row>& rows = source.GetRows();
    int columns = source.GetProperties().GetCount();
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
    return total;
}

void ClassView::ShowNewRows()
{
    int total = ShowRowsOf(*m_currentClass);
    String status(m_currentClass->IsLoading() ? L"Loading ..." : L"Loading is completed. ");
    status += total;
    status += L" records ready";
    m_host.ShowStatus(Panel::Loading, status);
}

void ClassView::OnLoadProgress(Core::Object*, LoadEventArgs& args)
{
    // A load cancelled by the selection of another class reports last, after the new one: it is ignored.
    if (args.GetSender() != m_currentClass || m_machinesLoad != nullptr ||
        m_host.GetOptions().GetReportTarget() != Config::ReportOnScreen)
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
    m_host.ShowStatus(Panel::Loading, status);
    OfferStop(false);
    if (args.GetValue() == WMI::LoadCompleted)
    {
        m_host.RunGuarded(
            [&]
            {
                WaitCursor wait;
                CreateTargetReport();
            });
    }
    m_resultsGrid.SetLiveRefresh(true);
}

void ClassView::StopLoading()
{
    if (m_machinesLoad != nullptr && m_machinesLoad->IsRunning())
    {
        ShowStopping();
        m_machinesLoad->Stop();
        return;
    }
    if (m_currentClass != nullptr && m_currentClass->IsLoading())
    {
        ShowStopping();
        m_currentClass->Cancel();
    }
}

void ClassView::DropCurrentClass()
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
    OfferStop(false);
    m_host.ShowStatus(Panel::Loading, String());
}

void ClassView::ClearResults()
{
    m_resultsGrid.GetColumns().Clear();
    m_resultsGrid.GetRows().Clear();
}

void ClassView::Clear()
{
    EndMachinesLoad();
    DropCurrentClass();
    m_host.ShowStatus(Panel::Loading, String());
    ClearResults();
    m_metadataGrid.GetRows().Clear();
    m_classLabel.SetText(String());
}

void ClassView::OfferStop(bool offered)
{
    m_stopOffered = offered;
    m_host.UpdateCommandState();
}

} // namespace Quarrow
