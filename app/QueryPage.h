// The Query page of the class view: a typed WQL query, the machine and namespace it runs against, its history,
// and what it can become (a class-view entry, a PowerShell command). Its rows load into the Results grid.
#pragma once

#include "app/ClassView.h"
#include "app/MachineTree.h"
#include "app/StatusLine.h"
#include "config/AppOptions.h"
#include "config/QueryHistory.h"
#include "core/controls/Button.h"
#include "core/controls/ComboBox.h"
#include "core/controls/Label.h"
#include "core/controls/TabPage.h"
#include "core/controls/TableLayout.h"
#include "core/controls/TextArea.h"
#include "core/controls/TextBox.h"
#include "core/controls/TreeView.h"

#include <functional>

namespace Quarrow
{

class QueryPage : public Core::Controls::TabPage
{
public:
    // The history is kept under historyKeyPath; runCommand runs the main window's commands (Run, Stop, ...).
    QueryPage(MachineTree& machines, ClassView& classView, StatusLine& status, Config::AppOptions& options,
              Core::Controls::TreeView& tree, const Core::String& historyKeyPath, std::function<void(int)> runCommand);

    // Shows the page beside Results and Metadata (added on first use) with the keyboard in the text: the tree's
    // selected machine and the namespace of its selected node.
    void Open();
    bool IsOpen() const;
    // Whether the page is the one shown, or the Results grid shows the query's rows.
    bool IsInUse() const;
    // Runs the text against the chosen machine and namespace: its connection is made on a worker when needed, and
    // the query is added to the history.
    void Run();
    // The history's entry at index (0: the newest) in the page: text, machine and namespace.
    void ShowHistoryEntry(int index);
    // Older (+1) or newer (-1) than the entry shown last.
    void StepHistory(int step);
    // The query as a class-view entry (class, properties, filter), or a message why it cannot be one.
    void SaveToClassView();
    // The Get-CimInstance command of the query on the clipboard.
    void CopyQueryAsPowerShell();
    // The command of the tree's selected class with the grid's columns on the clipboard.
    void CopyClassAsPowerShell();

    Core::Controls::TextArea& GetTextArea() { return m_text; }
    Core::Controls::ComboBox& GetMachineBox() { return m_machineBox; }
    Core::Controls::TextBox& GetNamespaceBox() { return m_namespaceBox; }
    Core::Controls::ComboBox& GetHistoryBox() { return m_historyBox; }
    Config::QueryHistory& GetHistory() { return m_history; }

protected:
    // F5 and Ctrl+Enter run; Alt+Up and Alt+Down in the text step through the history.
    bool ProcessCmdKey(int keyData) override;

private:
    void OnButtonClick(Core::Object* sender, Core::EventArgs& args);
    void OnHistoryChosen(Core::Object* sender, Core::EventArgs& args);
    // The machines of the tree in the box, choosing the one named (the first when it is not there).
    void FillMachines(const Core::String& chosen);
    void FillHistory();
    Core::Controls::TreeNode* ChosenMachine() const;
    Core::String ChosenNamespace() const;
    void PutCommand(const Core::String& command);
    void ShowError(const Core::String& text);

    MachineTree& m_machines;
    ClassView& m_classView;
    StatusLine& m_status;
    Config::AppOptions& m_options;
    Core::Controls::TreeView& m_tree;
    std::function<void(int)> m_runCommand;
    Config::QueryHistory m_history;
    Core::String m_historyFailure; // why the history could not be read, until the page has said it
    int m_historyShown = -1;       // the entry Alt+Up and Alt+Down step from; -1: the text typed
    bool m_filling = false;        // the history box is being filled: its selection is no choice
    Core::Controls::TableLayout m_layout;
    Core::Controls::Label m_machineLabel;
    Core::Controls::ComboBox m_machineBox;
    Core::Controls::Label m_namespaceLabel;
    Core::Controls::TextBox m_namespaceBox;
    Core::Controls::Label m_historyLabel;
    Core::Controls::ComboBox m_historyBox;
    Core::Controls::TextArea m_text;
    Core::Controls::TableLayout m_buttonRow;
    Core::Controls::Button m_runButton;
    Core::Controls::Button m_stopButton;
    Core::Controls::Button m_copyButton;
    Core::Controls::Button m_saveButton;
    Core::MemberEventHandler<QueryPage, Core::EventArgs> m_clickHandler;
    Core::MemberEventHandler<QueryPage, Core::EventArgs> m_historyHandler;
};

} // namespace Quarrow
