// The program's main window: the class tree of every connected machine, the Results and Metadata grids, the
// menu, toolbar and status bar. Every menu and toolbar click becomes one of a few numbered commands.
#pragma once

#include "app/ConnectForm.h"
#include "app/options/OptionsOwner.h"
#include "config/AppOptions.h"
#include "config/ClassViewReader.h"
#include "core/collections/PointerArrayList.h"
#include "core/controls/Form.h"
#include "core/controls/Grid.h"
#include "core/controls/ImageList.h"
#include "core/controls/Label.h"
#include "core/controls/MainMenu.h"
#include "core/controls/MenuItem.h"
#include "core/controls/StatusBar.h"
#include "core/controls/TabPage.h"
#include "core/controls/TabView.h"
#include "core/controls/TableLayout.h"
#include "core/controls/ToolBar.h"
#include "core/controls/ToolTip.h"
#include "core/controls/TreeView.h"
#include "reports/ReportType.h"
#include "wmi/ManagementObject.h"

#include <cstdint>
#include <memory>

namespace Config
{
class OptionsForm;
}

namespace Quarrow
{

class AboutForm;

// The commands of the menu and the toolbar.
namespace Command
{
constexpr int Exit = 0;
constexpr int Connect = 1;
constexpr int Disconnect = 2;
constexpr int TabReport = 3;
constexpr int WorkbookReport = 4;
constexpr int StopLoading = 5;
constexpr int CommaReport = 6;
constexpr int Options = 20;
constexpr int OnlineHelp = 30;
constexpr int About = 31;
} // namespace Command

// Status bar panels.
namespace Panel
{
constexpr int Loading = 0;
constexpr int Configuration = 1;
constexpr int LoadingMode = 2;
} // namespace Panel

class MainForm : public Core::Controls::Form,
                 public ConnectionOwner,
                 public Config::OptionsOwner,
                 public Config::StatusDisplay
{
public:
    // Reads the options (tests give a key of their own) and builds every control; connects nothing yet.
    explicit MainForm(const Core::String& optionsKeyPath = Core::String(Config::AppOptions::DefaultKeyPath));
    // Stops a running load first; the options are saved and every connection released.
    ~MainForm() override;

    Core::Collections::PointerArrayList<WMI::ManagementConnection>& GetConnections() override { return m_connections; }
    Config::AppOptions& GetOptions() override { return *m_options; }
    Core::Controls::ImageList* GetTreeImages() override { return &m_treeImages; }
    void ShowStatus(int panel, const Core::String& text) override;

    // The export command: the selected class's report, written and opened in its viewer.
    void CreateReport(Reports::ReportType type);
    // Runs a command as the menu and the toolbar do.
    void RunCommand(int commandId);

    // What is on screen, for tests and for the dialogs.
    Core::Controls::TreeView& GetClassTree() { return m_classTree; }
    Core::Controls::Grid& GetResultsGrid() { return m_resultsGrid; }
    Core::Controls::Grid& GetMetadataGrid() { return m_metadataGrid; }
    Core::Controls::Label& GetClassLabel() { return m_classLabel; }
    Core::Controls::TabView& GetTabView() { return m_tabView; }
    Core::Controls::ToolBar& GetToolBar() { return m_toolBar; }
    Core::Controls::MainMenu& GetMainMenu() { return m_mainMenu; }
    Core::Controls::StatusBar& GetStatusBar() { return m_statusBar; }
    Core::Controls::ImageList& GetToolImages() { return m_toolImages; }
    WMI::ManagementObject* GetCurrentClass() const { return m_currentClass; }
    ConnectForm* GetConnectForm() const { return m_connectForm.get(); }
    AboutForm* GetAboutForm() const { return m_aboutForm.get(); }
    Config::OptionsForm* GetOptionsForm() const { return m_optionsForm.get(); }

protected:
    // Makes the local connection and the "Local Machine" node with its class tree; the connection connects once
    // the window has painted, or before a command or a selected class needs it.
    void OnCreate(Core::Object* sender, Core::EventArgs& args) override;
    void OnTimer(int id) override;

private:
    void BuildImages();
    void BuildMenu();
    void BuildToolBar();
    void BuildStatusBar();
    void BuildPages();

    void OnCommand(Core::Object* sender, Core::Controls::CommandEventArgs& args);
    void OnBeforeSelect(Core::Object* sender, Core::Controls::TreeViewCancelEventArgs& args);
    void OnAfterSelect(Core::Object* sender, Core::Controls::TreeViewEventArgs& args);
    void OnLoadProgress(Core::Object* sender, WMI::LoadEventArgs& args);
    void OnLoadCompleted(Core::Object* sender, WMI::LoadEventArgs& args);

    // The selection of a class: its metadata, then its data.
    void SelectClass(Core::Controls::TreeNode* node);
    void ShowMetadata(const Core::Collections::ArrayList<WMI::PropertyInfo>& properties);
    // Stop disabled and "Stopping ..." shown at once, before the wait for the worker begins.
    void ShowStopping();
    void ShowSelectionFailure(uint64_t selection, const Core::String& text);
    void LoadData();
    // Adds the rows the current class holds beyond those in the grid; takes the class's lock.
    void ShowNewRows();
    void ApplyEnablingRules(const Core::String& tag);
    // Fills a machine node with its categories and classes from the configuration.
    void FillMachineNode(Core::Controls::TreeNode* machine);
    void AddMachineNode(WMI::ManagementConnection* connection, const Core::String& text);
    void ClearResults();
    // Empties every machine node and fills it again from the configuration.
    void RebuildClassTrees();
    // Ends the current class's load and forgets the class, before its node goes.
    void DropCurrentClass();
    // The report of the options' target for the current class, when the target is not the screen.
    void CreateTargetReport();

    // Connects the local connection when that is still to be done.
    void ConnectLocalMachine();
    void ConnectMachine();
    void DisconnectMachine();
    void EditOptions();
    void OpenOnlineHelp();
    void ShowAbout();
    void StopLoading();

    void ShowError(const Core::String& text);
    // Runs a handler's work: an exception leaving it is shown, and the program goes on.
    template <typename Work> void Guarded(Work work);

    // Declared first, so destroyed last: the class objects of the tree's nodes use them.
    Core::Collections::PointerArrayList<WMI::ManagementConnection> m_connections; // owned connections
    std::unique_ptr<Config::AppOptions> m_options;                                // saved when destroyed
    Core::Controls::TableLayout m_layout;
    Core::Controls::ImageList m_toolImages;
    Core::Controls::ImageList m_treeImages;
    Core::Controls::MainMenu m_mainMenu;
    Core::Controls::MenuItem* m_disconnectItem = nullptr; // not owned: belongs to the menu
    Core::Controls::ToolBar m_toolBar;
    Core::Controls::ToolBarButton* m_connectButton = nullptr; // not owned, like the four below: the toolbar's
    Core::Controls::ToolBarButton* m_disconnectButton = nullptr;
    Core::Controls::ToolBarButton* m_textReportButton = nullptr;
    Core::Controls::ToolBarButton* m_workbookReportButton = nullptr;
    Core::Controls::ToolBarButton* m_stopButton = nullptr;
    Core::Controls::StatusBar m_statusBar;
    Core::Controls::ToolTip m_toolTip;
    Core::Controls::TreeView m_classTree;
    Core::Controls::TabView m_tabView;
    Core::Controls::TabPage m_resultsPage;
    Core::Controls::TabPage m_metadataPage;
    Core::Controls::TableLayout m_metadataLayout;
    Core::Controls::Grid m_resultsGrid;
    Core::Controls::Grid m_metadataGrid;
    Core::Controls::Label m_classLabel;
    std::unique_ptr<ConnectForm> m_connectForm;         // made on first use
    std::unique_ptr<AboutForm> m_aboutForm;             // made on first use
    std::unique_ptr<Config::OptionsForm> m_optionsForm; // made on first use
    Core::MemberEventHandler<MainForm, Core::Controls::CommandEventArgs> m_commandHandler;
    Core::MemberEventHandler<MainForm, Core::Controls::TreeViewCancelEventArgs> m_beforeSelectHandler;
    Core::MemberEventHandler<MainForm, Core::Controls::TreeViewEventArgs> m_afterSelectHandler;
    Core::MemberEventHandler<MainForm, WMI::LoadEventArgs> m_progressHandler;
    Core::MemberEventHandler<MainForm, WMI::LoadEventArgs> m_completedHandler;
    WMI::ManagementObject* m_currentClass = nullptr; // not owned: belongs to its node
    bool m_localConnectPending = false;
    // Counts the selections of classes and every change that ends one (a rebuilt tree, a disconnect): a selection
    // that waited while messages ran goes on only if nothing has changed meanwhile.
    uint64_t m_selectionSerial = 0;
};

} // namespace Quarrow
