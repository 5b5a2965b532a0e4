// The views for screenshots (gallery/views-screenshot.sh): a class tree with images beside a tab view
// whose grid holds 100,000 rows, sorted by a column and scrolled to the middle; with --check-tree the
// tree has the options dialog's three-state check boxes. --rect-file=PATH writes the window's screen
// rectangle to PATH once it is shown; with --properties a third page shows one process's property sheet.
#include "core/controls/Application.h"
#include "core/controls/Form.h"
#include "core/controls/Grid.h"
#include "core/controls/ImageList.h"
#include "core/controls/PropertyList.h"
#include "core/controls/TabView.h"
#include "core/controls/TreeView.h"

#include "tests/core/controls/gallery/IconPainter.h"

#include <cstdio>
#include <string>
#include <windows.h>

using namespace Core::Controls;
using Core::String;

namespace
{

const wchar_t* const Processes[] = {L"svchost.exe", L"explorer.exe", L"winlogon.exe",  L"services.exe",
                                    L"lsass.exe",   L"csrss.exe",    L"spoolsv.exe",   L"SearchIndexer.exe",
                                    L"dwm.exe",     L"conhost.exe",  L"taskhostw.exe", L"RuntimeBroker.exe"};

class ViewsForm : public Form
{
public:
    explicit ViewsForm(bool checkTree)
        : m_results(String(L"Results")), m_metadata(String(L"Metadata")), m_properties(String(L"Properties"))
    {
        SetText(String(L"Quarrow"));
        SetClientSize(830, 600);
        for (Gallery::IconKind kind : {Gallery::IconKind::Computer, Gallery::IconKind::Folder,
                                       Gallery::IconKind::Spreadsheet, Gallery::IconKind::TextReport})
        {
            std::vector<uint8_t> icon = Gallery::PaintIcon(kind);
            m_images.AddFromMemory(icon.data(), static_cast<int>(icon.size()));
        }
        m_tree.SetImageList(&m_images);
        m_tree.SetCheckBoxes(checkTree);
        m_tree.SetDock(DockStyle::Left);
        m_tree.SetWidth(checkTree ? 290 : 250);
        m_tabs.SetDock(DockStyle::Fill);
        m_tabs.SetMargin(Padding{4, 4, 4, 4});
        // Docked in order: the tree takes the left side, the tabs the rest.
        GetControls().Add(&m_tree);
        GetControls().Add(&m_tabs);
        m_tabs.GetPages().Add(&m_results);
        m_tabs.GetPages().Add(&m_metadata);
        m_tabs.GetPages().Add(&m_properties);
        m_grid.SetDock(DockStyle::Fill);
        m_results.GetControls().Add(&m_grid);
        m_sheet.SetDock(DockStyle::Fill);
        m_properties.GetControls().Add(&m_sheet);
        BuildTree(checkTree);
        FillGrid();
        FillSheet();
    }

    TreeView& GetTree() { return m_tree; }
    Grid& GetGrid() { return m_grid; }
    TabView& GetTabs() { return m_tabs; }
    PropertyList& GetSheet() { return m_sheet; }
    // Writes the window's screen rectangle once it has settled (a DPI change may still resize it).
    void WriteRectangleLater(const std::string& path)
    {
        m_rectFile = path;
        StartTimer(1, 1000);
    }

protected:
    void OnTimer(int id) override
    {
        StopTimer(id);
        RECT rect;
        GetWindowRect(GetHandle(), &rect);
        if (FILE* file = std::fopen(m_rectFile.c_str(), "w"))
        {
            std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top);
            std::fclose(file);
        }
    }

private:
    std::string m_rectFile;
    void BuildTree(bool checkTree)
    {
        TreeNode* machine = new TreeNode(String(L"Local Machine"));
        machine->SetImageIndex(0);
        const wchar_t* groups[] = {L"Computer Hardware", L"Operating System"};
        const wchar_t* categories[2][4] = {{L"Cooling Devices", L"Input Devices", L"Mass Storage", L"Power"},
                                           {L"Processes", L"Services", L"Shares", L"Users"}};
        const wchar_t* classes[2][4][3] = {{{L"Win32_Fan", L"Win32_HeatPipe", L"Win32_TemperatureProbe"},
                                            {L"Win32_Keyboard", L"Win32_PointingDevice", nullptr},
                                            {L"Win32_CDROMDrive", L"Win32_DiskDrive", L"Win32_PhysicalMedia"},
                                            {L"Win32_Battery", L"Win32_CurrentProbe", L"Win32_VoltageProbe"}},
                                           {{L"Win32_Process", L"Win32_ProcessStartup", L"Win32_Thread"},
                                            {L"Win32_BaseService", L"Win32_Service", nullptr},
                                            {L"Win32_Share", L"Win32_ServerSession", L"Win32_ShareToDirectory"},
                                            {L"Win32_Account", L"Win32_Group", L"Win32_UserAccount"}}};
        for (int g = 0; g < 2; g++)
        {
            TreeNode* group = new TreeNode(String(groups[g]));
            group->SetImageIndex(1);
            for (int c = 0; c < 4; c++)
            {
                TreeNode* category = new TreeNode(String(categories[g][c]));
                category->SetImageIndex(1);
                for (int k = 0; k < 3 && classes[g][c][k] != nullptr; k++)
                {
                    TreeNode* node = new TreeNode(String(classes[g][c][k]));
                    node->SetImageIndex(2);
                    node->SetExpandable(checkTree);
                    node->SetCheckState(TreeNode::Checked);
                    category->GetNodes().Add(node);
                }
                category->SetCheckState(TreeNode::Checked);
                group->GetNodes().Add(category);
            }
            group->SetCheckState(TreeNode::Checked);
            group->Expand();
            machine->GetNodes().Add(group);
        }
        machine->Expand();
        m_tree.GetNodes().Add(machine);
        TreeNode* processes = machine->GetNodes()[1]->GetNodes()[0];
        processes->Expand();
        if (checkTree)
        {
            // The options dialog's view: a class with some of its properties chosen.
            TreeNode* process = processes->GetNodes()[0];
            const wchar_t* properties[] = {L"Caption",   L"CommandLine", L"ExecutablePath", L"Name",
                                           L"ProcessId", L"ThreadCount", L"WorkingSetSize"};
            for (int i = 0; i < 7; i++)
            {
                TreeNode* property = new TreeNode(String(properties[i]));
                property->SetImageIndex(3);
                property->SetCheckState(i == 1 || i == 2 ? TreeNode::Unchecked : TreeNode::Checked);
                process->GetNodes().Add(property);
            }
            process->Expand();
            process->SetCheckState(TreeNode::PartlyChecked);
            processes->SetCheckState(TreeNode::PartlyChecked);
            machine->GetNodes()[1]->SetCheckState(TreeNode::PartlyChecked);
            machine->GetNodes()[0]->GetNodes()[3]->SetCheckState(TreeNode::Unchecked);
            for (int i = 0; i < 3; i++)
            {
                machine->GetNodes()[0]->GetNodes()[3]->GetNodes()[i]->SetCheckState(TreeNode::Unchecked);
            }
            machine->GetNodes()[0]->SetCheckState(TreeNode::PartlyChecked);
            machine->SetCheckState(TreeNode::PartlyChecked);
            m_tree.SetSelectedNode(process->GetNodes()[4]);
        }
        else
        {
            m_tree.SetSelectedNode(processes->GetNodes()[0]);
        }
    }

    void FillGrid()
    {
        const wchar_t* headers[] = {L"Name", L"ProcessId", L"ThreadCount", L"WorkingSetSize", L"ExecutablePath"};
        int widths[] = {140, 75, 90, 110, 250};
        for (int i = 0; i < 5; i++)
        {
            m_grid.GetColumns().Add(String(headers[i]), widths[i]);
        }
        m_grid.SetLiveRefresh(false);
        for (int row = 0; row < 100000; row++)
        {
            const wchar_t* name = Processes[(row * 7) % 12];
            m_grid.GetRows().Add();
            m_grid.SetCellText(row, 0, String(name));
            m_grid.SetCellText(row, 1, String(L"") + (4 + row * 4));
            m_grid.SetCellText(row, 2, String(L"") + (1 + (row * 13) % 61));
            m_grid.SetCellText(row, 3, String(L"") + (1048576 + (row * 7919) % 400000 * 1024));
            std::wstring path = std::wstring(L"C:\\Windows\\System32\\") + name;
            m_grid.SetCellText(row, 4, String(path.c_str()));
        }
        m_grid.SetLiveRefresh(true);
        m_grid.Sort(3, true);
    }

    // One process whole: keys, an array, a cut text, a NULL, links, the system properties and what it relates to.
    void FillSheet()
    {
        PropertyListModel& model = m_sheet.GetModel();
        auto add = [&model](int parent, const wchar_t* name, const wchar_t* type, const wchar_t* value, int flags = 0)
        { return model.AddRow(parent, String(name), String(type), String(value), flags); };
        constexpr int NoRow = PropertyListModel::NoRow;
        add(NoRow, L"Caption", L"string", L"svchost.exe");
        add(NoRow, L"CommandLine", L"string",
            L"C:\\Windows\\system32\\svchost.exe -k netsvcs -p -s Schedule -s Winmgmt -s BITS -s wuauserv");
        add(NoRow, L"CreationDate", L"datetime", L"14/05/2024 08:31:07 (20240514083107.125000+120)");
        add(NoRow, L"Description", L"string", L"NULL", PropertyRowFlags::Dimmed);
        int environment = add(NoRow, L"EnvironmentVariables", L"string[]", L"3 elements");
        add(environment, L"[0]", L"string", L"SystemRoot=C:\\Windows");
        add(environment, L"[1]", L"string", L"TEMP=C:\\Windows\\TEMP");
        add(environment, L"[2]", L"string", L"windir=C:\\Windows");
        model.Expand(environment);
        add(NoRow, L"ExecutablePath", L"string", L"C:\\Windows\\system32\\svchost.exe");
        add(NoRow, L"Handle", L"string", L"1284", PropertyRowFlags::Key);
        add(NoRow, L"KernelModeTime", L"uint64", L"18446744073709551615");
        add(NoRow, L"Name", L"string", L"svchost.exe");
        add(NoRow, L"ParentProcessId", L"uint32", L"812");
        add(NoRow, L"ThreadCount", L"uint32", L"42");
        add(NoRow, L"WorkingSetSize", L"uint64", L"23691264");
        int system = model.AddGroup(String(L"System properties"));
        add(system, L"__CLASS", L"string", L"Win32_Process");
        int derivation = add(system, L"__DERIVATION", L"string[]", L"3 elements");
        add(derivation, L"[0]", L"string", L"CIM_Process");
        add(derivation, L"[1]", L"string", L"CIM_LogicalElement");
        add(derivation, L"[2]", L"string", L"CIM_ManagedSystemElement");
        add(system, L"__NAMESPACE", L"string", L"root\\cimv2");
        add(system, L"__PATH", L"string", L"\\\\WORKSTATION\\root\\cimv2:Win32_Process.Handle=\"1284\"");
        add(system, L"__RELPATH", L"string", L"Win32_Process.Handle=\"1284\"");
        add(system, L"__SERVER", L"string", L"WORKSTATION");
        int related = model.AddGroup(String(L"Related"));
        int computer = add(related, L"Win32_ComputerSystem", L"Win32_SystemProcesses", L"1 object");
        add(computer, L"WORKSTATION", L"", L"Win32_ComputerSystem.Name=\"WORKSTATION\"", PropertyRowFlags::Link);
        model.Expand(computer);
        int session = add(related, L"Win32_LogonSession", L"Win32_SessionProcess", L"1 object");
        add(session, L"999", L"", L"Win32_LogonSession.LogonId=\"999\"", PropertyRowFlags::Link);
    }

    ImageList m_images;
    TreeView m_tree;
    TabView m_tabs;
    TabPage m_results;
    TabPage m_metadata;
    TabPage m_properties;
    Grid m_grid;
    PropertyList m_sheet;
};

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    Application::Init(instance, previous, String(commandLine), showCommand);
    std::string arguments = commandLine != nullptr ? commandLine : "";
    bool checkTree = arguments.find("--check-tree") != std::string::npos;
    ViewsForm form(checkTree);
    form.Show();
    Grid& grid = form.GetGrid();
    // The middle of the sorted rows, a few of them selected.
    int middle = grid.GetRows().GetCount() / 2;
    grid.SelectRow(grid.GetRowAtViewIndex(middle));
    {
        grid.Focus();
    }
    int top = grid.GetRowAtViewIndex(middle - 6);
    grid.EnsureVisible(top);
    grid.EnsureVisible(grid.GetRowAtViewIndex(middle + 8));
    if (checkTree)
    {
        form.GetTree().Focus();
    }
    else if (arguments.find("--properties") != std::string::npos)
    {
        form.GetTabs().ShowPage(2);
        PropertyList& sheet = form.GetSheet();
        sheet.Focus();
        sheet.SelectRow(sheet.GetModel().GetVisibleRow(10));
    }
    else
    {
        // Ctrl+click on two more rows, as a person selects several.
        for (int offset : {2, 3})
        {
            Core::Controls::Rectangle bounds = grid.GetRowBounds(grid.GetRowAtViewIndex(middle + offset));
            LPARAM position = MAKELPARAM(40, bounds.top + bounds.height / 2);
            SendMessageW(grid.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, position);
            SendMessageW(grid.GetHandle(), WM_LBUTTONUP, MK_CONTROL, position);
        }
    }
    size_t rectOption = arguments.find("--rect-file=");
    if (rectOption != std::string::npos)
    {
        std::string path = arguments.substr(rectOption + 12);
        form.WriteRectangleLater(path.substr(0, path.find(' ')));
    }
    return Application::Run(&form);
}
