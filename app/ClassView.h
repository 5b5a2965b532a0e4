// The class view: the Results and Metadata pages of the main window, the class shown in them and its loading.
// Selecting a class reads its definition, fills the Metadata grid and loads its instances into the Results grid
// (or a report); the status panel tells how far the load is.
#pragma once

#include "app/ClassMetadata.h"
#include "app/MachinesLoad.h"
#include "app/QuickFind.h"
#include "app/StatusLine.h"
#include "app/ValueNames.h"
#include "core/controls/ContextMenu.h"
#include "core/controls/Grid.h"
#include "core/controls/Label.h"
#include "core/controls/TabPage.h"
#include "core/controls/TabView.h"
#include "core/controls/TableLayout.h"
#include "core/controls/TreeNode.h"
#include "core/controls/TreeView.h"
#include "reports/ReportType.h"
#include "wmi/ManagementObject.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace Config
{
class AppOptions;
}

namespace Quarrow
{

// The Results grid: a double click on a row, or Enter, raises RowActivated for the selected row.
class ResultsGrid : public Core::Controls::Grid
{
public:
    Core::Event<Core::EventArgs> RowActivated;

protected:
    void OnMouseDoubleClick(const Core::Controls::Point& point, int button, int keys) override;
    bool OnKeyDown(int keyData) override;
    bool IsInputKey(int keyData) const override;

private:
    void RaiseRowActivated();
};

class ClassView
{
public:
    // Shows the classes of tree's nodes; its state goes to status, its reports where options say.
    ClassView(Config::AppOptions& options, StatusLine& status, Core::Controls::TreeView& tree);
    ClassView(const ClassView&) = delete;
    ClassView& operator=(const ClassView&) = delete;

    Core::Controls::TabView& GetTabView() { return m_tabView; }
    ResultsGrid& GetResultsGrid() { return m_resultsGrid; }
    Core::Controls::ContextMenu& GetResultsMenu() { return m_resultsMenu; }
    Core::Controls::Grid& GetMetadataGrid() { return m_metadataGrid; }
    Core::Controls::Label& GetClassLabel() { return m_classLabel; }
    ClassMetadata& GetMetadata() { return m_metadata; }
    ResultsFind& GetResultsFind() { return m_resultsFind; }
    // Ctrl+F over the results: the Results page comes to the front with its find strip open.
    void OpenFind();
    WMI::ManagementObject* GetCurrentClass() const { return m_currentClass; }
    // Whether a selected class's definition is on its way (its load follows it).
    bool IsReadingDefinition() const { return m_definitionFor != nullptr; }
    // Whether Stop is offered: from the start of a load until it ends or is being stopped.
    bool IsStopOffered() const { return m_stopOffered; }

    // Before the tree's selection moves: false when the user keeps a running load.
    bool ConfirmLeaving();
    // Shows the class of node: its definition, read on a worker unless kept, then its data. Returns before the
    // definition has come; a running load is let go first.
    void SelectClass(Core::Controls::TreeNode* node);
    // Reads the class of node again: its definition and its instances. A running load is stopped first, once the
    // user agreed.
    void Refresh(Core::Controls::TreeNode* node);
    // The node already selected was clicked: a class whose load was cancelled or failed is loaded again, and a
    // class whose view a query took is shown again.
    void Reselect(Core::Controls::TreeNode* node);
    // Loads the class of node from every machine given, at once, into the Results grid with a first column
    // "Machine". The window stays free; Stop stops every machine.
    void LoadFromMachines(Core::Controls::TreeNode* node, const std::vector<MachineSource>& machines);
    // Moves the rows that arrived from the machines into the grid, and ends the load once every machine is done.
    void OnMachinesChanged();
    // What the reports write for the class shown: the rows of every machine after a load from all machines,
    // otherwise the class itself.
    WMI::ManagementObject* GetReportSource(WMI::ManagementObject* selected);
    void StopLoading();
    // Runs a typed query (a class object with its query text) in place of a class, as a class's load runs: into the
    // Results grid, which comes to the front, or the report of the options' target. host names the machine for the
    // workbook. The query shown before is let go.
    void LoadQuery(std::unique_ptr<WMI::ManagementObject> query, const Core::String& host);
    // The query last run, kept until another replaces it or its machine goes; null when none ran.
    WMI::ManagementObject* GetQuery() const { return m_query.get(); }
    // Whether the Results grid shows the rows of the query.
    bool IsQueryShown() const { return m_query != nullptr && m_currentClass == m_query.get(); }
    // The query goes, before its connection does.
    void DropQuery();
    // The report of the query shown, or else of the tree's selected class (the rows of every machine after a load
    // from all of them), written and opened in its viewer.
    void CreateReport(Reports::ReportType type);
    // The Results grid shows the values of the class shown with their names and its datetimes readably when the
    // options say so ("Show value names"), otherwise as WMI gave them; called when the choice changes.
    void ShowValueNames();

    // What opening a row's instance asks of the window that shows it: the instance at path read through connection,
    // or, when problem is given, only why it cannot be opened.
    using InstanceOpener = std::function<void(WMI::ManagementConnection* connection, const Core::String& path,
                                              const Core::String& problem)>;
    void SetInstanceOpener(InstanceOpener opener) { m_openInstance = std::move(opener); }
    // Opens the instance of a Results row (its index as added): Enter, a double click, "Properties".
    void OpenRowInstance(int row);

    // Raised when what the commands may do changed: Stop offered or withdrawn, a class node gone.
    Core::Event<Core::EventArgs> StateChanged;
    // Ends the current class's load and forgets the class, before its node goes.
    void DropCurrentClass();
    // Right before tree nodes are removed: a definition on its way for one of them is no longer wanted.
    void EndSelections()
    {
        m_selection.Reset();
        m_definitionFor = nullptr;
    }
    void ClearResults();
    // Nothing shown: no class, no rows, no metadata.
    void Clear();

private:
    static constexpr int ResultsColumnWidth = 200;
    static constexpr int DescriptionRow = 1; // of the Metadata page's layout

    void BuildPages();
    // What "Show value names" makes of the values of source, columns as its property list names them (a query's as
    // its objects brought them), for the class of classObject; null when the choice is off or nothing changes.
    std::shared_ptr<const ValueNames> ValueNamesFor(WMI::ManagementObject& source,
                                                    const WMI::ManagementObject& classObject) const;
    void OnDefinitionRead(Core::Controls::TreeNode* node, WMI::ManagementObject* chosen,
                          Core::Threading::Outcome<WMI::PropertyList>& read);
    // The current class's definition in the Metadata grid, then its data.
    void ShowClass(const WMI::PropertyList& properties);
    // Runs a step of the selection of node; a failure is shown, and a class the machine lacks leaves the tree.
    void RunSelectionStep(Core::Controls::TreeNode* node, const std::function<void()>& step);
    // Stop withdrawn and "Stopping ..." shown at once, before the wait for the worker begins.
    void ShowStopping();
    void ShowSelectionFailure(const Core::String& text);
    void LoadData();
    // Adds the rows source holds beyond those in the grid, taking its lock; the number of rows it holds. A query's
    // new columns get their value names.
    int ShowRowsOf(WMI::ManagementObject& source);
    // The current class's new rows, and their count in the status.
    void ShowNewRows();
    // The report of the options' target for the current class, when the target is not the screen.
    void CreateTargetReport();
    // Before other work replaces what is shown: asks when a load runs, stops it, and says whether the class is
    // still there to work on (the stop pumps messages).
    bool LeaveRunningLoad(WMI::ManagementObject* chosen);
    // Asks before reading a class whose enumeration does work on the machine (Win32_Product); once agreed, not
    // asked again while the program runs.
    bool ConfirmCostlyClass(const Core::String& className);
    void OfferStop(bool offered);
    void RaiseStateChanged();
    void ShowError(const Core::String& text);
    // Runs work; a failure leaving it is shown and the program goes on.
    void RunGuarded(const std::function<void()>& work);
    // Stops and forgets a load from several machines; the grid keeps what it shows.
    void EndMachinesLoad();
    void FinishMachinesLoad();
    void OnLoadProgress(Core::Object* sender, WMI::LoadEventArgs& args);
    void OnLoadCompleted(Core::Object* sender, WMI::LoadEventArgs& args);
    void OnRowActivated(Core::Object* sender, Core::EventArgs& args);
    void OnResultsMenuClick(Core::Object* sender, Core::Controls::CommandEventArgs& args);

    Config::AppOptions& m_options;
    StatusLine& m_status;
    Core::Controls::TreeView& m_tree; // the machines and their classes
    Core::Controls::TabView m_tabView;
    Core::Controls::TabPage m_resultsPage;
    Core::Controls::TabPage m_metadataPage;
    Core::Controls::TableLayout m_metadataLayout;
    Core::Controls::ContextMenu m_resultsMenu; // before the grid, which shows it
    ResultsGrid m_resultsGrid;
    ResultsFind m_resultsFind;
    Core::Controls::Grid m_metadataGrid;
    Core::Controls::Label m_classLabel;
    ClassMetadata m_metadata; // the qualifiers' texts on the Metadata and MOF pages
    Core::MemberEventHandler<ClassView, WMI::LoadEventArgs> m_progressHandler;
    Core::MemberEventHandler<ClassView, WMI::LoadEventArgs> m_completedHandler;
    Core::MemberEventHandler<ClassView, Core::EventArgs> m_rowActivatedHandler;
    Core::MemberEventHandler<ClassView, Core::Controls::CommandEventArgs> m_resultsMenuHandler;
    InstanceOpener m_openInstance;
    WMI::ManagementObject* m_currentClass = nullptr; // not owned: belongs to its node
    std::unique_ptr<MachinesLoad> m_machinesLoad;    // the rows shown come from every machine while set
    bool m_stopOffered = false;
    // The selection's work on its way back (its definition): reset by whatever ends the selection (another
    // selection, Stop, a rebuilt tree, a disconnect), so that nothing of it comes back after.
    Core::Threading::CompletionOwner m_selection;
    WMI::ManagementObject* m_definitionFor = nullptr; // not owned: the class whose definition is being read
    bool m_costlyClassAgreed = false;
    bool m_reportAwaitsTexts = false;               // the target's report is written once the class's texts came
    std::unique_ptr<WMI::ManagementObject> m_query; // the typed query last run; uses a connection of the tree's
    Core::String m_queryHost;                       // the machine the query ran on, as the tree names it
    unsigned int m_shownLayout = 0;                 // the query's column layout the grid shows
};

} // namespace Quarrow
