// Shows the options dialog on its own, as the main window's options command would, for screenshots
// (screenshot.sh): --tab=0 the "Reports" tab, --tab=1 the configuration tab with Win32_Process's properties
// loaded from the machine, two of them unchecked, and a filter typed. --rect-file=PATH writes the dialog's
// screen rectangle there once it is shown.
#include "app/options/OptionsForm.h"
#include "config/AppOptions.h"
#include "core/controls/Application.h"
#include "core/controls/Form.h"
#include "core/controls/ImageList.h"
#include "core/io/Path.h"
#include "core/platform/windows/Com.h"
#include "core/platform/windows/RegistryKey.h"
#include "resources/ResourceIds.h"
#include "resources/generated/CategoryIcon.h"
#include "wmi/ManagementConnection.h"

#include <fstream>
#include <string>
#include <windows.h>

using namespace Core::Controls;
using Core::String;

namespace
{

const wchar_t* const KeyPath = L"Software\\QuarrowTests\\OptionsPreview";

// What the main window hands the dialog.
class PreviewOwner
{
public:
    PreviewOwner() : options(String(KeyPath))
    {
        for (int i = 0; i < Quarrow::Resources::TreeImageCount; i++)
        {
            if (i == Quarrow::Resources::CategoryImage)
            {
                images.AddFromMemory(Quarrow::Resources::CategoryIcon, sizeof(Quarrow::Resources::CategoryIcon));
            }
            else
            {
                images.AddFromResource(Quarrow::Resources::TreeImageIds[i]);
            }
        }
    }

    Config::AppOptions options;
    ImageList images;
    Core::Collections::PointerArrayList<WMI::ManagementConnection> connections;
};

TreeNode* FindNode(TreeNodeCollection& nodes, const wchar_t* text)
{
    for (int i = 0; i < nodes.GetCount(); i++)
    {
        if (nodes[i]->GetText() == String(text))
        {
            return nodes[i];
        }
        if (TreeNode* found = FindNode(nodes[i]->GetNodes(), text))
        {
            return found;
        }
    }
    return nullptr;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    Core::Platform::Windows::InitializeCom();
    Core::Platform::Windows::InitializeComSecurity();
    Application::Init(instance, previous, String(commandLine), showCommand);
    std::string arguments = commandLine != nullptr ? commandLine : "";
    int tab = arguments.find("--tab=1") != std::string::npos ? 1 : 0;
    {
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
        PreviewOwner owner;
        owner.options.SetReportDirectory(String(L"C:\\Users\\Administrator\\Documents\\Reports"));
        owner.options.SetReportTarget(Config::ReportInExcel);
        owner.options.SetConfigFile(Core::IO::Directory::GetCurrent() + L"\\QuarrowPreviewConfig.xml");
        auto* local = new WMI::ManagementConnection();
        owner.connections.Add(local);
        local->Connect(String(), String(), String(), String());

        // A dialog needs an owner window; this one stays hidden.
        Form mainWindow;
        mainWindow.Create();
        Config::OptionsForm options(owner.options, &owner.images, owner.connections);
        options.SetOwner(&mainWindow);
        options.SetStartPosition(StartPosition::CenterScreen);
        options.Show();
        options.GetTabView().ShowPage(tab);
        if (tab == 1)
        {
            TreeView& tree = options.GetConfigPage().GetTree();
            TreeNode* processes = FindNode(tree.GetNodes(), L"Processes");
            TreeNode* process = FindNode(tree.GetNodes(), L"Win32_Process");
            tree.CollapseNode(FindNode(tree.GetNodes(), L"Computer Hardware"));
            tree.ExpandNode(processes);
            tree.ExpandNode(process);
            for (const wchar_t* name : {L"CommandLine", L"CreationClassName"})
            {
                if (TreeNode* property = FindNode(process->GetNodes(), name))
                {
                    property->SetCheckState(TreeNode::Unchecked);
                }
            }
            tree.SetSelectedNode(process);
            options.GetConfigPage().GetFilterBox().SetText(String(L"ProcessId > 4"));
            tree.EnsureVisible(FindNode(tree.GetNodes(), L"Operating System"));
            options.GetConfigPage().GetFilterBox().Focus();
        }
        size_t rectOption = arguments.find("--rect-file=");
        if (rectOption != std::string::npos)
        {
            std::string path = arguments.substr(rectOption + 12);
            path = path.substr(0, path.find(' '));
            RECT rect;
            GetWindowRect(options.GetHandle(), &rect);
            std::ofstream(path) << rect.left << ' ' << rect.top << ' ' << rect.right - rect.left << ' '
                                << rect.bottom - rect.top << '\n';
        }
        MSG message;
        while (IsWindowVisible(options.GetHandle()) && GetMessageW(&message, nullptr, 0, 0) > 0)
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
    CoUninitialize();
    return 0;
}
