// Shows the main window over a scripted machine that lists its namespaces and classes, as Windows does and Wine
// does not, for the screenshots of the user guide (schema-screenshot.sh): --view=namespaces the Namespaces node
// opened into a namespace's class hierarchy with a class loaded, --view=findclass the Find Class window with the
// results of a search, --view=sheet the property sheet of a disk drive opened from its row. --rect-file=PATH writes the
// screen rectangle to keep there once it is shown.
#include "app/FindClassForm.h"
#include "app/InstanceForm.h"
#include "app/MainForm.h"
#include "app/NamespaceTree.h"
#include "core/controls/Application.h"
#include "core/platform/windows/Com.h"
#include "core/platform/windows/RegistryKey.h"
#include "core/threading/BackgroundWork.h"

#include "tests/app/preview/PreviewSupport.h"
#include "tests/support/ScriptedWmi.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>
#include <windows.h>

#include <wbemidl.h>

using namespace Core::Controls;
using Core::String;

using Preview::Child;
using Preview::PumpUntil;
using Preview::WriteRect;

namespace
{

const wchar_t* const KeyPath = L"Software\\QuarrowTests\\SchemaPreview";

using Properties = std::vector<std::pair<std::wstring, CIMTYPE>>;

// What the picture of a disk drive's property sheet adds: the drive's key, values of more kinds, its partitions.
void ScriptSheet(ScriptedWmi::Provider& provider)
{
    using ScriptedWmi::Value;
    ScriptedWmi::ClassScript& disks = *provider.FindClass(L"Win32_DiskDrive");
    disks.SetKeys({L"DeviceID"});
    disks.properties.push_back({L"Capabilities", CIM_UINT16 | CIM_FLAG_ARRAY});
    disks.properties.push_back({L"CapabilityDescriptions", CIM_STRING | CIM_FLAG_ARRAY});
    disks.properties.push_back({L"InstallDate", CIM_DATETIME});
    disks.properties.push_back({L"SerialNumber", CIM_STRING});
    disks.properties.push_back({L"Status", CIM_STRING});
    ScriptedWmi::Instance& first = disks.instances[0];
    first.values.push_back({L"Capabilities", Value::Array(CIM_UINT16, {Value::UInt16(3), Value::UInt16(4)})});
    first.values.push_back({L"CapabilityDescriptions", Value::Array(CIM_STRING, {Value::Text(L"Random Access"),
                                                                                 Value::Text(L"Supports Writing")})});
    first.values.push_back({L"InstallDate", Value::DateTime(L"20240514083107.125000+120")});
    first.values.push_back({L"SerialNumber", Value::Null()});
    first.values.push_back({L"Status", Value::Text(L"OK")});
    provider.FindClass(L"Win32_DiskDriveToDiskPartition")->SetKeys({L"Antecedent", L"Dependent"});
    ScriptedWmi::ClassScript& partitions =
        provider.AddClass(L"root\\cimv2", L"Win32_DiskPartition", L"CIM_LogicalDevice",
                          {{L"Bootable", CIM_BOOLEAN}, {L"Size", CIM_UINT64}});
    partitions.SetKeys({L"DeviceID"});
    const wchar_t* sizes[] = {L"104857600", L"999557152768"};
    for (int index = 0; index < 2; index++)
    {
        ScriptedWmi::Instance partition;
        std::wstring id = L"Disk #0, Partition #" + std::to_wstring(index);
        partition.values = {{L"Caption", Value::Text(id)},
                            {L"Name", Value::Text(id)},
                            {L"DeviceID", Value::Text(id)},
                            {L"Bootable", Value::Bool(index == 0)},
                            {L"Size", Value::Text(sizes[index])}};
        partitions.instances.push_back(std::move(partition));
        const std::wstring drive = L"Win32_DiskDrive.DeviceID=\"\\\\\\\\.\\\\PHYSICALDRIVE0\"";
        ScriptedWmi::Instance link;
        link.values = {{L"Antecedent", Value::Reference(drive)},
                       {L"Dependent", Value::Reference(L"Win32_DiskPartition.DeviceID=\"" + id + L"\"")}};
        provider.Associate(L"Win32_DiskDriveToDiskPartition", drive, L"Win32_DiskPartition", static_cast<size_t>(index),
                           link);
    }
}

// A machine's schema in miniature: the namespaces an administrator meets, a class hierarchy with abstract
// classes and associations, and instances for the class the picture loads.
void Script(ScriptedWmi::Provider& provider)
{
    using ScriptedWmi::Value;
    auto abstract = [](ScriptedWmi::ClassScript& script) {
        script.qualifiers.push_back({L"abstract", Value::Bool(true)});
    };
    auto association = [](ScriptedWmi::ClassScript& script) {
        script.qualifiers.push_back({L"Association", Value::Bool(true)});
    };

    const std::wstring cimv2 = L"root\\cimv2";
    abstract(provider.AddClass(cimv2, L"CIM_ManagedSystemElement", L"",
                               {{L"Caption", CIM_STRING}, {L"Description", CIM_STRING}, {L"Name", CIM_STRING}}));
    abstract(provider.AddClass(cimv2, L"CIM_LogicalElement", L"CIM_ManagedSystemElement", {}));
    abstract(provider.AddClass(cimv2, L"CIM_LogicalDevice", L"CIM_LogicalElement",
                               {{L"DeviceID", CIM_STRING}, {L"Availability", CIM_UINT16}}));
    abstract(provider.AddClass(cimv2, L"CIM_MediaAccessDevice", L"CIM_LogicalDevice", {}));
    ScriptedWmi::ClassScript& disks = provider.AddClass(
        cimv2, L"Win32_DiskDrive", L"CIM_MediaAccessDevice",
        {{L"Model", CIM_STRING}, {L"InterfaceType", CIM_STRING}, {L"Size", CIM_UINT64}, {L"Partitions", CIM_UINT32}});
    const wchar_t* models[] = {L"Samsung SSD 980 PRO 1TB", L"WDC WD40EFZX-68AWUN0", L"Kingston DataTraveler 3.0"};
    const wchar_t* interfaces[] = {L"SCSI", L"IDE", L"USB"};
    const wchar_t* sizes[] = {L"1000202273280", L"4000784417280", L"30765087744"};
    for (int row = 0; row < 3; row++)
    {
        std::wstring id = L"\\\\.\\PHYSICALDRIVE" + std::to_wstring(row);
        ScriptedWmi::Instance disk;
        disk.values = {{L"Caption", Value::Text(models[row])},
                       {L"Description", Value::Text(L"Disk drive")},
                       {L"Name", Value::Text(id)},
                       {L"DeviceID", Value::Text(id)},
                       {L"Availability", Value::Int(3)},
                       {L"Model", Value::Text(models[row])},
                       {L"InterfaceType", Value::Text(interfaces[row])},
                       {L"Size", Value::Text(sizes[row])},
                       {L"Partitions", Value::Int(row == 2 ? 1 : 3)}};
        disks.instances.push_back(std::move(disk));
    }
    provider.AddClass(cimv2, L"CIM_DiskDrive", L"CIM_MediaAccessDevice", {});
    provider.AddClass(cimv2, L"Win32_CDROMDrive", L"CIM_MediaAccessDevice", {{L"Drive", CIM_STRING}});
    provider.AddClass(cimv2, L"Win32_FloppyDrive", L"CIM_MediaAccessDevice", {});
    provider.AddClass(cimv2, L"Win32_TapeDrive", L"CIM_MediaAccessDevice", {});
    provider.AddClass(cimv2, L"Win32_LogicalDisk", L"CIM_LogicalDevice",
                      {{L"FreeSpace", CIM_UINT64}, {L"VolumeName", CIM_STRING}});
    provider.AddClass(cimv2, L"Win32_Processor", L"CIM_LogicalDevice", {{L"NumberOfCores", CIM_UINT32}});
    provider.AddClass(cimv2, L"CIM_Process", L"CIM_LogicalElement", {{L"Handle", CIM_STRING}});
    provider.AddClass(cimv2, L"Win32_Process", L"CIM_Process", {{L"ProcessId", CIM_UINT32}});
    abstract(provider.AddClass(cimv2, L"CIM_Setting", L"", {{L"SettingID", CIM_STRING}}));
    provider.AddClass(cimv2, L"Win32_OperatingSystem", L"", {{L"Version", CIM_STRING}});
    association(provider.AddClass(cimv2, L"Win32_DiskDriveToDiskPartition", L"",
                                  {{L"Antecedent", CIM_REFERENCE}, {L"Dependent", CIM_REFERENCE}}));
    association(provider.AddClass(cimv2, L"Win32_LogicalDiskToPartition", L"",
                                  {{L"Antecedent", CIM_REFERENCE}, {L"Dependent", CIM_REFERENCE}}));
    provider.AddClass(cimv2, L"__SystemClass", L"", {});

    provider.AddClass(L"root\\wmi", L"MSSMBios_RawSMBiosTables", L"", {{L"SMBiosData", CIM_UINT8 | CIM_FLAG_ARRAY}});
    abstract(provider.AddClass(L"root\\wmi", L"WmiEvent", L"", {}));
    provider.AddClass(L"root\\wmi", L"MSNdis_StatusEvent", L"WmiEvent", {{L"InstanceName", CIM_STRING}});
    provider.AddClass(L"root\\wmi", L"MSStorageDriver_FailurePredictStatus", L"",
                      {{L"PredictFailure", CIM_BOOLEAN}, {L"Reason", CIM_UINT32}});
    provider.AddClass(L"root\\StandardCimv2", L"MSFT_NetAdapter", L"",
                      {{L"InterfaceDescription", CIM_STRING}, {L"LinkSpeed", CIM_UINT64}});
    provider.AddClass(L"root\\StandardCimv2", L"MSFT_NetIPAddress", L"", {{L"IPAddress", CIM_STRING}});
    provider.AddClass(L"root\\Microsoft\\Windows\\Storage", L"MSFT_Disk", L"",
                      {{L"Number", CIM_UINT32}, {L"FriendlyName", CIM_STRING}, {L"DiskNumber", CIM_UINT32}});
    provider.AddClass(L"root\\Microsoft\\Windows\\Storage", L"MSFT_PhysicalDisk", L"",
                      {{L"MediaType", CIM_UINT16}, {L"FriendlyName", CIM_STRING}});
    provider.AddClass(L"root\\Microsoft\\Windows\\Storage", L"MSFT_Volume", L"", {{L"DriveLetter", CIM_CHAR16}});
    provider.AddClass(L"root\\SecurityCenter2", L"AntiVirusProduct", L"", {{L"displayName", CIM_STRING}});
    provider.AddClass(L"root\\default", L"StdRegProv", L"", {});
    provider.AddNamespace(L"root\\subscription");
    provider.AddNamespace(L"root\\Hardware");
}

// Opens the node and waits until what it lists has come.
void Open(TreeView& tree, TreeNode* node)
{
    if (node == nullptr)
    {
        return;
    }
    tree.ExpandNode(node);
    PumpUntil([&] { return Child(node, Quarrow::ReadingNodeText) == nullptr; });
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    Core::Platform::Windows::InitializeCom();
    Core::Platform::Windows::InitializeComSecurity();
    Application::Init(instance, previous, String(commandLine), showCommand);
    std::string arguments = commandLine != nullptr ? commandLine : "";
    bool findClass = arguments.find("--view=findclass") != std::string::npos;
    bool sheet = arguments.find("--view=sheet") != std::string::npos;
    std::string rectPath;
    size_t rectOption = arguments.find("--rect-file=");
    if (rectOption != std::string::npos)
    {
        rectPath = arguments.substr(rectOption + 12);
        rectPath = rectPath.substr(0, rectPath.find(' '));
    }
    Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
    {
        ScriptedWmi::Provider provider;
        provider.logging = false;
        Script(provider);
        if (sheet)
        {
            ScriptSheet(provider);
        }
        {
            Config::AppOptions options{String(KeyPath)};
            options.SetConfigFile(String());
        }
        // The window goes, and the workers it let go end, before the provider they use.
        {
            Quarrow::MainForm form{String(KeyPath)};
            form.SetText(String(L"Quarrow"));
            form.SetBounds(0, 0, 1270, 790);
            form.Show();
            PumpUntil([] { return false; }, 300);
            form.ConnectLocalMachine();
            TreeView& tree = form.GetClassTree();
            TreeNode* local = tree.GetNodes()[0];
            for (int i = 0; i < local->GetNodes().GetCount(); i++)
            {
                tree.CollapseNode(local->GetNodes()[i]);
            }
            TreeNode* namespaces = local->GetLastNode();
            Open(tree, namespaces);
            RECT rect;
            if (!findClass)
            {
                TreeNode* cimv2 = Child(namespaces, L"cimv2");
                Open(tree, cimv2);
                TreeNode* element = Child(cimv2, L"CIM_ManagedSystemElement (abstract)");
                Open(tree, element);
                TreeNode* logical = Child(element, L"CIM_LogicalElement (abstract)");
                Open(tree, logical);
                TreeNode* device = Child(logical, L"CIM_LogicalDevice (abstract)");
                Open(tree, device);
                TreeNode* media = Child(device, L"CIM_MediaAccessDevice (abstract)");
                Open(tree, media);
                if (TreeNode* disks = Child(media, L"Win32_DiskDrive"))
                {
                    tree.SetSelectedNode(disks);
                    PumpUntil([&] { return form.GetCurrentClass() != nullptr && form.GetCurrentClass()->IsLoaded(); });
                    tree.EnsureVisible(namespaces);
                }
                tree.Focus();
                GetWindowRect(form.GetHandle(), &rect);
                if (sheet)
                {
                    form.GetResultsGrid().SelectRow(0);
                    form.GetClassView().OpenRowInstance(0);
                    Quarrow::InstanceForm* window = form.GetInstanceForm();
                    PumpUntil([&] { return !window->IsReading() && !window->IsReadingRelated(); });
                    window->SetBounds(560, 150, 690, 600);
                    Core::Controls::PropertyListModel& model = window->GetSheet().GetModel();
                    for (int row = 0; row < model.GetRowCount(); row++)
                    {
                        if (model.GetName(row) == String(L"CapabilityDescriptions"))
                        {
                            model.Expand(row);
                        }
                        // Closed, so that what the drive is related to shows below it.
                        if (model.GetName(row) == String(L"System properties"))
                        {
                            model.Collapse(row);
                        }
                    }
                    RECT main = rect;
                    RECT properties;
                    GetWindowRect(window->GetHandle(), &properties);
                    UnionRect(&rect, &main, &properties);
                }
            }
            else
            {
                form.RunCommand(Quarrow::Command::FindClass);
                Quarrow::FindClassForm* window = form.GetFindClassForm();
                window->SetBounds(560, 200, 660, 460);
                window->GetTextBox().SetText(String(L"disk"));
                window->StartSearch();
                PumpUntil([&] { return !window->IsSearching(); });
                window->GetResults().Focus();
                RECT main;
                RECT found;
                GetWindowRect(form.GetHandle(), &main);
                GetWindowRect(window->GetHandle(), &found);
                UnionRect(&rect, &main, &found);
            }
            PumpUntil([] { return false; }, 300);
            if (!rectPath.empty())
            {
                WriteRect(rectPath, rect);
            }
            MSG message;
            while (IsWindowVisible(form.GetHandle()) && GetMessageW(&message, nullptr, 0, 0) > 0)
            {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        Core::Threading::BackgroundWork::WaitForAll(15000);
    }
    Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
    CoUninitialize();
    return 0;
}
