// The program's main window: the class tree of every connected machine, the Results and Metadata grids, the
// menu, toolbar and status bar. Every menu and toolbar click becomes one of a few numbered commands.
#pragma once

#include "app/ClassView.h"
#include "app/Commands.h"
#include "app/ConnectForm.h"
#include "app/FindClassForm.h"
#include "app/InstanceForm.h"
#include "app/MachineTree.h"
#include "app/PathForm.h"
#include "app/QueryPage.h"
#include "app/StatusLine.h"
#include "config/AppOptions.h"
#include "core/collections/PointerArrayList.h"
#include "core/controls/Form.h"
#include "core/controls/ImageList.h"
#include "core/controls/MainMenu.h"
#include "core/controls/MenuItem.h"
#include "core/controls/Panel.h"
#include "core/controls/TableLayout.h"
#include "core/controls/ToolBar.h"
#include "core/controls/ToolTip.h"
#include "core/controls/TreeView.h"
#include "reports/ReportType.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace Config
{
class OptionsForm;
}

namespace Quarrow
{

class AboutForm;

class MainForm : public Core::Controls::Form
{
public:
    // Reads the options (tests give a key of their own) and builds every control; connects nothing yet.
    explicit MainForm(const Core::String& optionsKeyPath = Core::String(Config::AppOptions::DefaultKeyPath));
    // Stops a running load first; the options are saved and every connection released.
    ~MainForm() override;

    Core::Collections::PointerArrayList<WMI::ManagementConnection>& GetConnections()
    {
        return m_machines.GetConnections();
    }
    Config::AppOptions& GetOptions() { return *m_options; }
    // One rule for every command's enabled state: the selected node's kind, and whether Stop is offered.
    void UpdateCommandState();
    // Connects the local connection when that is still to be done.
    void ConnectLocalMachine();

    // Runs a command as the menu and the toolbar do.
    void RunCommand(int commandId);
    // Opens, below the selected machine's "Namespaces" node, the class of a path such as root\wmi:WmiEvent (or the
    // namespace of a path such as root\wmi) once a worker found it there, and selects it; a failure is shown.
    void OpenByPath(const Core::String& path, bool classPath);
    // Shows the property sheet of the instance at path, read through connection (its namespace's) on a worker.
    void OpenInstance(WMI::ManagementConnection* connection, const Core::String& path);

    // What is on screen, for tests and for the dialogs.
    Core::Controls::TreeView& GetClassTree() { return m_classTree; }
    ClassFind& GetClassFind() { return m_classFind; }
    ResultsFind& GetResultsFind() { return m_classView.GetResultsFind(); }
    Core::Controls::Grid& GetResultsGrid() { return m_classView.GetResultsGrid(); }
    Core::Controls::Grid& GetMetadataGrid() { return m_classView.GetMetadataGrid(); }
    Core::Controls::Label& GetClassLabel() { return m_classView.GetClassLabel(); }
    Core::Controls::TabView& GetTabView() { return m_classView.GetTabView(); }
    Core::Controls::ToolBar& GetToolBar() { return m_toolBar; }
    Core::Controls::MainMenu& GetMainMenu() { return m_mainMenu; }
    Core::Controls::StatusBar& GetStatusBar() { return m_statusLine.GetBar(); }
    Core::Controls::ImageList& GetToolImages() { return m_toolImages; }
    WMI::ManagementObject* GetCurrentClass() const { return m_classView.GetCurrentClass(); }
    ClassView& GetClassView() { return m_classView; }
    QueryPage& GetQueryPage() { return m_queryPage; }
    ConnectForm* GetConnectForm() const { return m_connectForm.get(); }
    AboutForm* GetAboutForm() const { return m_aboutForm.get(); }
    Config::OptionsForm* GetOptionsForm() const { return m_optionsForm.get(); }
    FindClassForm* GetFindClassForm() const { return m_findClassForm.get(); }
    InstanceForm* GetInstanceForm() const { return m_instanceForm.get(); }

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

    void OnCommand(Core::Object* sender, Core::Controls::CommandEventArgs& args);
    void OnBeforeSelect(Core::Object* sender, Core::Controls::TreeViewCancelEventArgs& args);
    void OnAfterSelect(Core::Object* sender, Core::Controls::TreeViewEventArgs& args);
    void OnSelectedNodeClick(Core::Object* sender, Core::Controls::TreeViewEventArgs& args);
    void OnClassViewChanged(Core::Object* sender, Core::EventArgs& args);
    void ShowError(const Core::String& text);
    // Runs a handler's work: an exception leaving it is shown, and the program goes on.
    void RunGuarded(const std::function<void()>& work);

    // Empties every machine node and fills it again from the configuration.
    void RebuildClassTrees();

    void ConnectMachine();
    void LoadFromAllMachines();
    // Ctrl+F: the tree's strip when the keyboard is in the tree, the Results strip otherwise.
    void OpenFind();
    void DisconnectMachine();
    void EditOptions();
    void OpenOnlineHelp();
    void ShowAbout();
    void AskForPath(bool classPath);
    // The machine node of the selected node, or the first machine's.
    Core::Controls::TreeNode* SelectedMachine();
    // Opens the namespace (and the class, when className is given) under the machine's "Namespaces" node once a
    // worker found it there, and selects it; a failure is shown.
    void OpenInMachine(Core::Controls::TreeNode* machine, const Core::String& nameSpace, const Core::String& className);
    // Shows the Find Class window for the selected machine, beside the main window; a text given is searched.
    void ShowFindClass(const Core::String& text = Core::String());
    // The property sheet window, made on first use.
    InstanceForm& GetInstanceSheet();
    // The tree's find strip asks for its text to be searched in all of WMI.
    void OnFindClassRequested(Core::Object* sender, Core::EventArgs& args);
    // A result chosen in the Find Class window: its class opened in the tree of the machine searched.
    void OpenFoundClass(const WMI::ManagementConnection* machine, const WMI::SchemaMatch& match);
    // Shows the class of node; a class-view class of another namespace than its machine's connection is bound to
    // the machine's connection to that namespace first, made on a worker when needed.
    void SelectClassNode(Core::Controls::TreeNode* node);
    void ToggleSystemClasses();
    // Appends the selected class of the namespaces to the class-view file, in its "Added classes" category.
    void AddToClassView();
    // The command of the query when the query page is in use and the tree has not the keyboard, else of the
    // selected class, on the clipboard.
    void CopyAsPowerShell();
    // The menu item tells what choosing it does: show the system classes, or hide them.
    void ShowSystemClassesState();
    // The menu item tells what choosing it does: show the values' names, or the values as they are.
    void ShowValueNamesState();

    // Runs a handler's work: an exception leaving it is shown, and the program goes on.
    template <typename Work> void Guarded(Work work);

    std::unique_ptr<Config::AppOptions> m_options; // saved when destroyed
    // Before the tree, so destroyed after it: the class objects of the tree's nodes use the connections.
    MachineTree m_machines;
    Core::Controls::TableLayout m_layout;
    Core::Controls::ImageList m_toolImages;
    Core::Controls::ImageList m_treeImages;
    Core::Controls::MainMenu m_mainMenu;
    Core::Controls::ToolBar m_toolBar;
    StatusLine m_statusLine;
    Core::Controls::ToolTip m_toolTip;
    Core::Controls::Panel m_treePanel; // the tree under its find strip
    Core::Controls::TreeView m_classTree;
    ClassFind m_classFind;
    ClassView m_classView;
    QueryPage m_queryPage;                              // after the class view, whose tab view shows it
    std::unique_ptr<ConnectForm> m_connectForm;         // made on first use
    std::unique_ptr<AboutForm> m_aboutForm;             // made on first use
    std::unique_ptr<Config::OptionsForm> m_optionsForm; // made on first use
    std::unique_ptr<PathForm> m_classPathForm;          // made on first use
    std::unique_ptr<PathForm> m_namespacePathForm;      // made on first use
    std::unique_ptr<FindClassForm> m_findClassForm;     // made on first use
    std::unique_ptr<InstanceForm> m_instanceForm;       // made on first use
    Core::MemberEventHandler<MainForm, Core::Controls::CommandEventArgs> m_commandHandler;
    Core::MemberEventHandler<MainForm, Core::Controls::TreeViewCancelEventArgs> m_beforeSelectHandler;
    Core::MemberEventHandler<MainForm, Core::Controls::TreeViewEventArgs> m_afterSelectHandler;
    Core::MemberEventHandler<MainForm, Core::Controls::TreeViewEventArgs> m_selectedClickHandler;
    Core::MemberEventHandler<MainForm, Core::EventArgs> m_classViewChangedHandler;
    Core::MemberEventHandler<MainForm, Core::EventArgs> m_findClassRequestedHandler;
    bool m_localConnectPending = false;
};

} // namespace Quarrow
