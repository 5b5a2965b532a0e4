#include "app/QueryPage.h"

#include "app/Commands.h"
#include "app/TextInput.h"
#include "config/ClassTreeNodes.h"
#include "config/ClassViewEditor.h"
#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/platform/windows/Desktop.h"
#include "wmi/PowerShellCommand.h"
#include "wmi/QueryText.h"

#include <cstring>
#include <memory>
#include <utility>
#include <windows.h>

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;
using WMI::ManagementConnection;
using WMI::ManagementObject;

namespace
{

constexpr const wchar_t* Title = L"Quarrow";
// The history box shows the start of each query on one line.
constexpr int HistoryTextLength = 90;

WMI::PowerShellTarget TargetOf(const ManagementConnection* connection)
{
    // The local machine needs neither a name nor a user; a remote one is named with the user it was reached as.
    if (connection == nullptr || !connection->IsRemote())
    {
        return WMI::PowerShellTarget();
    }
    return WMI::PowerShellTarget{connection->GetServer(), connection->GetUser(), connection->GetDomain()};
}

TreeNode* MachineNodeOf(TreeNode* node)
{
    while (node != nullptr && node->GetParent() != nullptr)
    {
        node = node->GetParent();
    }
    return node;
}

// The clipboard is opened for the main window: the page itself may have no window yet.
void PutTextOnClipboard(void* owner, const String& text)
{
    if (!OpenClipboard(static_cast<HWND>(owner)))
    {
        throw Core::Exception(String(L"The clipboard is in use by another program; try again."));
    }
    EmptyClipboard();
    size_t bytes = (static_cast<size_t>(text.GetLength()) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory != nullptr)
    {
        std::memcpy(GlobalLock(memory), text.GetBuffer(), bytes);
        GlobalUnlock(memory);
        if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
        {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

} // namespace

QueryPage::QueryPage(MachineTree& machines, ClassView& classView, StatusLine& status, Config::AppOptions& options,
                     TreeView& tree, const String& historyKeyPath, std::function<void(int)> runCommand)
    : TabPage(String(L"Query")), m_machines(machines), m_classView(classView), m_status(status), m_options(options),
      m_tree(tree), m_runCommand(std::move(runCommand)), m_history(historyKeyPath),
      m_clickHandler(this, &QueryPage::OnButtonClick), m_historyHandler(this, &QueryPage::OnHistoryChosen)
{
    // Rows: where it runs, the history (a row of its own, so that its entries stay readable in a narrow window),
    // the text, the buttons.
    m_layout.SetDock(DockStyle::Fill);
    m_layout.SetMargin(Padding{6, 6, 6, 4});
    for (int width : {62, 160, 78})
    {
        m_layout.AddColumn(SizeType::Absolute, width);
    }
    m_layout.AddColumn(SizeType::Percent, 100);
    m_layout.AddRow(SizeType::Absolute, 26);
    m_layout.AddRow(SizeType::Absolute, 26);
    m_layout.AddRow(SizeType::Percent, 100);
    m_layout.AddRow(SizeType::Absolute, 30);
    GetControls().Add(&m_layout);

    auto label = [&](Label& control, const wchar_t* text, int row, int column)
    {
        control.SetText(String(text));
        control.SetTextAlignment(ContentAlignment::MiddleLeft);
        m_layout.Add(&control, row, column);
    };
    label(m_machineLabel, L"&Machine:", 0, 0);
    m_machineBox.SetMargin(Padding{0, 2, 8, 2});
    m_machineBox.GetAccessibilityObject().SetName(String(L"Machine"));
    m_layout.Add(&m_machineBox, 0, 1);
    label(m_namespaceLabel, L"Name&space:", 0, 2);
    m_namespaceBox.SetMargin(Padding{0, 2, 0, 2});
    m_namespaceBox.SetText(String(WMI::DefaultNamespace));
    m_layout.Add(&m_namespaceBox, 0, 3);
    label(m_historyLabel, L"Histor&y:", 1, 0);
    m_historyBox.SetMargin(Padding{0, 2, 0, 2});
    m_historyBox.SetMaxDropDownItems(12);
    m_historyBox.GetAccessibilityObject().SetName(String(L"History"));
    m_historyBox.SelectedIndexChanged.Subscribe(&m_historyHandler);
    m_layout.Add(&m_historyBox, 1, 1, 1, 3);

    m_text.SetMargin(Padding{0, 4, 0, 4});
    m_text.GetAccessibilityObject().SetName(String(L"WQL query"));
    m_layout.Add(&m_text, 2, 0, 1, 4);

    for (int width : {80, 80, 150, 150})
    {
        m_buttonRow.AddColumn(SizeType::Absolute, width);
    }
    m_buttonRow.AddColumn(SizeType::Percent, 100);
    m_buttonRow.AddRow(SizeType::Percent, 100);
    int column = 0;
    // The access keys leave those of the menu bar (A, V, Q, R, T, H) to it.
    for (auto [button, text] :
         {std::pair{&m_runButton, L"R&un"}, std::pair{&m_stopButton, L"St&op"},
          std::pair{&m_copyButton, L"Copy as &PowerShell"}, std::pair{&m_saveButton, L"Save to C&lass View"}})
    {
        button->SetText(String(text));
        button->SetMargin(Padding{0, 2, 6, 2});
        button->Click.Subscribe(&m_clickHandler);
        m_buttonRow.Add(button, 0, column++);
    }
    m_layout.Add(&m_buttonRow, 3, 0, 1, 4);
    try
    {
        m_history.Load();
    }
    catch (const Core::Exception& exception)
    {
        // The program starts with no history rather than not at all; the page says why when it opens.
        m_historyFailure = String(L"Query history not read: ") + OnOneLine(exception.GetMessageText());
    }
}

bool QueryPage::IsOpen() const
{
    return m_classView.GetTabView().GetPages().IndexOf(this) >= 0;
}

bool QueryPage::IsInUse() const
{
    TabView& view = m_classView.GetTabView();
    return m_classView.IsQueryShown() || (IsOpen() && view.GetSelectedPage() == this);
}

void QueryPage::Open()
{
    TabView& view = m_classView.GetTabView();
    if (!IsOpen())
    {
        view.GetPages().Add(this);
    }
    TreeNode* selected = m_tree.GetSelectedNode();
    TreeNode* machine = MachineNodeOf(selected);
    FillMachines(machine != nullptr ? machine->GetText() : String());
    String nameSpace(WMI::DefaultNamespace);
    if (NamespaceTree::IsUnderNamespaces(selected))
    {
        nameSpace = NamespaceTree::NamespaceOf(selected);
    }
    else if (ManagementObject* chosen = Config::ClassOf(selected);
             chosen != nullptr && !chosen->GetNamespace().IsEmpty())
    {
        nameSpace = chosen->GetNamespace();
    }
    m_namespaceBox.SetText(nameSpace);
    FillHistory();
    if (!m_historyFailure.IsEmpty())
    {
        m_status.ShowConfiguration(m_historyFailure);
        m_historyFailure = String();
    }
    view.ShowPage(view.GetPages().IndexOf(this));
    m_text.Focus();
    m_text.SelectAll();
}

void QueryPage::FillMachines(const String& chosen)
{
    m_machineBox.GetItems().Clear();
    TreeNodeCollection& roots = m_tree.GetNodes();
    int found = roots.GetCount() > 0 ? 0 : -1;
    for (int i = 0; i < roots.GetCount(); i++)
    {
        m_machineBox.AddItem(roots[i]->GetText(), i);
        if (roots[i]->GetText() == chosen)
        {
            found = i;
        }
    }
    m_machineBox.SetSelectedIndex(found);
}

void QueryPage::FillHistory()
{
    m_filling = true;
    m_historyBox.GetItems().Clear();
    for (int i = 0; i < m_history.GetCount(); i++)
    {
        const Config::QueryEntry& entry = m_history.Get(i);
        String text = OnOneLine(entry.text);
        if (text.GetLength() > HistoryTextLength)
        {
            text = text.Substring(0, HistoryTextLength) + L"...";
        }
        m_historyBox.AddItem(text + L"   (" + entry.machine + L", " + entry.nameSpace + L")", i);
    }
    m_historyBox.SetSelectedIndex(m_historyShown < m_history.GetCount() ? m_historyShown : -1);
    m_filling = false;
}

TreeNode* QueryPage::ChosenMachine() const
{
    ComboBoxItem* item = m_machineBox.GetSelectedItem();
    TreeNodeCollection& roots = m_tree.GetNodes();
    if (item == nullptr)
    {
        return roots.GetCount() > 0 ? roots[0] : nullptr;
    }
    // The tree may have changed since the box was filled: the machine is found by its name.
    for (int i = 0; i < roots.GetCount(); i++)
    {
        if (roots[i]->GetText() == item->GetText())
        {
            return roots[i];
        }
    }
    return nullptr;
}

String QueryPage::ChosenNamespace() const
{
    return WithoutBlanks(m_namespaceBox.GetText());
}

void QueryPage::Run()
{
    String text = m_text.GetText();
    if (WithoutBlanks(OnOneLine(text)).IsEmpty())
    {
        m_status.ShowLoading(String(L"Type a WQL query to run."));
        return;
    }
    TreeNode* machine = ChosenMachine();
    String nameSpace = ChosenNamespace();
    if (machine == nullptr)
    {
        ShowError(String(L"The machine chosen is no longer connected; choose another."));
        return;
    }
    if (!WMI::IsNamespacePath(nameSpace))
    {
        ShowError(String(L"Type a namespace path such as root\\cimv2."));
        return;
    }
    if (!m_classView.ConfirmLeaving())
    {
        return;
    }
    m_classView.StopLoading();
    String host = machine->GetText();
    m_history.Add(Config::QueryEntry{text, host, nameSpace});
    m_historyShown = -1;
    FillHistory();
    try
    {
        m_history.Save();
    }
    catch (const Core::Exception& exception)
    {
        m_status.ShowConfiguration(String(L"Query history not saved: ") + OnOneLine(exception.GetMessageText()));
    }
    auto start = [this, text, nameSpace, host](ManagementConnection* connection, const String& failure)
    {
        if (connection == nullptr)
        {
            m_status.ShowLoading(String());
            ShowError(failure);
            return;
        }
        auto query = std::make_unique<ManagementObject>(connection, WMI::GetQueryReportName(text), 0);
        query->SetNamespace(nameSpace);
        query->SetQueryText(text);
        m_classView.LoadQuery(std::move(query), host);
    };
    ManagementConnection* own = Config::MachineOf(machine);
    if (own->IsConnected() && WMI::IsSameNamespace(nameSpace, own->GetNamespace()))
    {
        start(own, String());
        return;
    }
    m_status.ShowLoading(String(L"Opening namespace ") + nameSpace + L" ...");
    m_machines.GetNamespaces().ConnectTo(machine, nameSpace, start);
}

void QueryPage::ShowHistoryEntry(int index)
{
    if (index < 0 || index >= m_history.GetCount())
    {
        return;
    }
    const Config::QueryEntry& entry = m_history.Get(index);
    m_text.SetText(entry.text);
    FillMachines(entry.machine);
    ComboBoxItem* machine = m_machineBox.GetSelectedItem();
    if (machine != nullptr && machine->GetText() != entry.machine)
    {
        m_status.ShowLoading(entry.machine + L" is not connected: the query runs on " + machine->GetText() +
                             L" unless another machine is chosen.");
    }
    m_namespaceBox.SetText(entry.nameSpace);
    m_historyShown = index;
    m_filling = true;
    m_historyBox.SetSelectedIndex(index);
    m_filling = false;
}

void QueryPage::StepHistory(int step)
{
    int next = m_historyShown + step;
    if (next >= 0 && next < m_history.GetCount())
    {
        ShowHistoryEntry(next);
    }
}

void QueryPage::OnHistoryChosen(Core::Object*, Core::EventArgs&)
{
    if (!m_filling)
    {
        ShowHistoryEntry(m_historyBox.GetSelectedIndex());
    }
}

void QueryPage::OnButtonClick(Core::Object* sender, Core::EventArgs&)
{
    if (sender == &m_runButton)
    {
        m_runCommand(Command::RunQuery);
    }
    else if (sender == &m_stopButton)
    {
        m_runCommand(Command::StopLoading);
    }
    else if (sender == &m_copyButton)
    {
        m_runCommand(Command::CopyAsPowerShell);
    }
    else if (sender == &m_saveButton)
    {
        m_runCommand(Command::SaveQueryToClassView);
    }
}

bool QueryPage::ProcessCmdKey(int keyData)
{
    if (keyData == Keys::F5 || keyData == (Keys::Control | Keys::Return))
    {
        m_runCommand(Command::RunQuery);
        return true;
    }
    if (m_text.ContainsFocus() && (keyData == (Keys::Alt | Keys::Up) || keyData == (Keys::Alt | Keys::Down)))
    {
        StepHistory(keyData == (Keys::Alt | Keys::Up) ? 1 : -1);
        return true;
    }
    return TabPage::ProcessCmdKey(keyData);
}

void QueryPage::SaveToClassView()
{
    WMI::ClassQuery read;
    String reason;
    if (!WMI::ReadClassQuery(m_text.GetText(), read, reason))
    {
        Core::Platform::Windows::Desktop::Current().ShowMessage(
            GetTopLevelControl()->GetHandle(), String(L"The query cannot be saved to the class view. ") + reason,
            String(Title), MB_OK | MB_ICONINFORMATION);
        return;
    }
    String nameSpace = ChosenNamespace();
    if (!WMI::IsNamespacePath(nameSpace))
    {
        ShowError(String(L"Type a namespace path such as root\\cimv2."));
        return;
    }
    WMI::ClassDefinition definition(read.className, 0);
    definition.SetNamespace(nameSpace);
    for (int i = 0; i < read.properties.GetCount(); i++)
    {
        definition.GetProperties().Add(WMI::PropertyInfo(read.properties[i]));
    }
    definition.SetFilter(read.filter);
    if (Config::AddClassToClassView(m_options.GetConfigFile(), definition, GetTopLevelControl()->GetHandle()))
    {
        m_status.ShowLoading(read.className + L" added to the class view (" + Config::AddedClassesCategory +
                             L"); it shows there once the tree is rebuilt");
    }
}

void QueryPage::CopyQueryAsPowerShell()
{
    TreeNode* machine = ChosenMachine();
    if (WithoutBlanks(OnOneLine(m_text.GetText())).IsEmpty() || machine == nullptr)
    {
        m_status.ShowLoading(String(L"Type a WQL query to copy."));
        return;
    }
    PutCommand(WMI::PowerShellForQuery(m_text.GetText(), ChosenNamespace(), TargetOf(Config::MachineOf(machine))));
}

void QueryPage::CopyClassAsPowerShell()
{
    ManagementObject* chosen = Config::ClassOf(m_tree.GetSelectedNode());
    if (chosen == nullptr)
    {
        Core::Platform::Windows::Desktop::Current().ShowMessage(
            m_tree.GetTopLevelControl()->GetHandle(), String(L"Please select a class."), String(L"Error"), MB_OK);
        return;
    }
    Core::Collections::ArrayList<String> columns;
    if (m_classView.GetCurrentClass() == chosen)
    {
        Grid& grid = m_classView.GetResultsGrid();
        for (int i = 0; i < grid.GetColumns().GetCount(); i++)
        {
            columns.Add(grid.GetHeaderText(i));
        }
    }
    else
    {
        for (int i = 0; i < chosen->GetProperties().GetCount(); i++)
        {
            columns.Add(chosen->GetProperties()[i].GetName());
        }
    }
    PutCommand(WMI::PowerShellForClass(*chosen, columns, TargetOf(chosen->GetConnection())));
}

void QueryPage::PutCommand(const String& command)
{
    PutTextOnClipboard(m_tree.GetTopLevelControl()->GetHandle(), command);
    m_status.ShowLoading(String(L"The PowerShell command is on the clipboard."));
}

void QueryPage::ShowError(const String& text)
{
    Core::Platform::Windows::Desktop::Current().ShowMessage(m_tree.GetTopLevelControl()->GetHandle(), text,
                                                            String(L"Error"), MB_OK | MB_ICONERROR);
}

} // namespace Quarrow
