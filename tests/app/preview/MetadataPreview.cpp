// Shows the main window over a scripted machine that keeps its classes' descriptions, as Windows does and Wine
// does not, for the screenshots of the user guide (metadata-screenshot.sh): --view=metadata Win32_Service's
// Metadata page with its descriptions, marks and value names, --view=values its Results with "Show value names"
// on. --rect-file=PATH writes the screen rectangle to keep there once it is shown.
#include "app/MainForm.h"
#include "core/controls/Application.h"
#include "core/platform/windows/Com.h"
#include "core/platform/windows/RegistryKey.h"
#include "core/threading/BackgroundWork.h"

#include "tests/app/preview/PreviewSupport.h"
#include "tests/support/ScriptedWmi.h"

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

const wchar_t* const KeyPath = L"Software\\QuarrowTests\\MetadataPreview";

// Win32_Service in miniature, with its texts as Windows describes them.
void Script(ScriptedWmi::Provider& provider)
{
    using ScriptedWmi::Value;
    // The properties the picture of the Results grid shows named come first.
    ScriptedWmi::ClassScript& service = provider.AddClass(L"Win32_Service", {{L"Name", CIM_STRING},
                                                                             {L"State", CIM_STRING},
                                                                             {L"Availability", CIM_UINT16},
                                                                             {L"InstallDate", CIM_DATETIME},
                                                                             {L"DisplayName", CIM_STRING},
                                                                             {L"StartMode", CIM_STRING},
                                                                             {L"ServiceType", CIM_STRING},
                                                                             {L"ErrorControl", CIM_STRING},
                                                                             {L"ProcessId", CIM_UINT32},
                                                                             {L"AcceptStop", CIM_BOOLEAN}});
    service.Amend(L"MS_409", L"", L"Description",
                  Value::Text(L"The Win32_Service class represents a service on a computer system running Windows. "
                              L"A service application conforms to the interface rules of the Service Control "
                              L"Manager (SCM)."));
    service.SetKeys({L"Name"});
    auto describe = [&](const wchar_t* property, const wchar_t* text)
    { service.Amend(L"MS_409", property, L"Description", Value::Text(text)); };
    describe(L"Name", L"Unique identifier of the service that provides an indication of the functionality that is "
                      L"managed.");
    describe(L"DisplayName", L"Name of the service as viewed in the Services snap-in.");
    describe(L"State", L"Current state of the base service.");
    describe(L"StartMode", L"Start mode of the Windows base service.");
    describe(L"ServiceType", L"Type of service provided to calling processes.");
    describe(L"ErrorControl", L"Severity of the error if this service fails to start during startup.");
    describe(L"ProcessId", L"Process identifier of the service.");
    describe(L"Availability", L"Availability and status of the device.");
    describe(L"InstallDate", L"Date and time the object is installed.");
    describe(L"AcceptStop", L"Indicates whether the service can be stopped.");
    for (const wchar_t* property : {L"Name", L"DisplayName", L"State", L"StartMode", L"ServiceType", L"ErrorControl",
                                    L"ProcessId", L"Availability", L"InstallDate", L"AcceptStop"})
    {
        service.Qualify(property, L"read", Value::Bool(true));
    }
    service.Qualify(L"DisplayName", L"write", Value::Bool(true));
    // Windows maps its texts to themselves.
    std::vector<std::wstring> states = {L"Stopped",          L"Start Pending", L"Stop Pending", L"Running",
                                        L"Continue Pending", L"Pause Pending", L"Paused",       L"Unknown"};
    service.Qualify(L"State", L"ValueMap", Value::Strings(states));
    service.Amend(L"MS_409", L"State", L"Values", Value::Strings(states));
    std::vector<std::wstring> modes = {L"Boot", L"System", L"Auto", L"Manual", L"Disabled"};
    service.Qualify(L"StartMode", L"ValueMap", Value::Strings(modes));
    service.Amend(L"MS_409", L"StartMode", L"Values", Value::Strings(modes));
    service.Qualify(L"Availability", L"ValueMap",
                    Value::Strings({L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"10", L"11"}));
    service.Amend(
        L"MS_409", L"Availability", L"Values",
        Value::Strings({L"Other", L"Unknown", L"Running/Full Power", L"Warning", L"In Test", L"Not Applicable",
                        L"Power Off", L"Off Line", L"Off Duty", L"Degraded", L"Not Installed"}));
    const wchar_t* names[] = {L"Spooler", L"W32Time", L"WinRM", L"wuauserv", L"BITS", L"EventLog"};
    const wchar_t* displays[] = {L"Print Spooler",
                                 L"Windows Time",
                                 L"Windows Remote Management (WS-Management)",
                                 L"Windows Update",
                                 L"Background Intelligent Transfer Service",
                                 L"Windows Event Log"};
    const wchar_t* shownStates[] = {L"Running", L"Running", L"Stopped", L"Running", L"Stopped", L"Running"};
    const wchar_t* shownModes[] = {L"Auto", L"Manual", L"Manual", L"Manual", L"Manual", L"Auto"};
    unsigned long ids[] = {2412, 1368, 0, 5120, 0, 1544};
    long availability[] = {3, 3, 8, 3, 8, 3};
    for (int row = 0; row < 6; row++)
    {
        ScriptedWmi::Instance instance;
        instance.values = {{L"Name", Value::Text(names[row])},
                           {L"DisplayName", Value::Text(displays[row])},
                           {L"State", Value::Text(shownStates[row])},
                           {L"StartMode", Value::Text(shownModes[row])},
                           {L"ServiceType", Value::Text(L"Own Process")},
                           {L"ErrorControl", Value::Text(L"Normal")},
                           {L"ProcessId", Value::UInt32(ids[row])},
                           {L"Availability", Value::UInt16(static_cast<unsigned>(availability[row]))},
                           {L"InstallDate", Value::DateTime(L"20250114093012.000000+000")},
                           {L"AcceptStop", Value::Bool(ids[row] != 0)}};
        service.instances.push_back(std::move(instance));
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    Core::Platform::Windows::InitializeCom();
    Core::Platform::Windows::InitializeComSecurity();
    Application::Init(instance, previous, String(commandLine), showCommand);
    std::string arguments = commandLine != nullptr ? commandLine : "";
    bool values = arguments.find("--view=values") != std::string::npos;
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
        {
            Config::AppOptions options{String(KeyPath)};
            options.SetConfigFile(String());
            options.SetShowValueNames(values);
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
            TreeNode* system = Child(local, L"Operating System");
            tree.ExpandNode(system);
            TreeNode* services = Child(system, L"Services");
            tree.ExpandNode(services);
            if (TreeNode* service = Child(services, L"Win32_Service"))
            {
                tree.SetSelectedNode(service);
                PumpUntil(
                    [&]
                    {
                        return form.GetCurrentClass() != nullptr && form.GetCurrentClass()->IsLoaded() &&
                               !form.GetClassView().GetMetadata().IsReading();
                    });
            }
            if (!values)
            {
                // Narrowed as a user would, so that every column is in the picture.
                Grid& metadata = form.GetMetadataGrid();
                int widths[] = {110, 100, 390, 80, 320};
                for (int column = 0; column < metadata.GetColumns().GetCount() && column < 5; column++)
                {
                    metadata.SetColumnWidth(column, widths[column]);
                }
                form.GetTabView().ShowPage(1);
                metadata.Focus();
            }
            else
            {
                form.GetResultsGrid().SelectRow(0);
                form.GetResultsGrid().Focus();
            }
            PumpUntil([] { return false; }, 300);
            RECT rect;
            GetWindowRect(static_cast<HWND>(form.GetHandle()), &rect);
            if (!rectPath.empty())
            {
                WriteRect(rectPath, rect);
            }
            MSG message;
            while (IsWindowVisible(static_cast<HWND>(form.GetHandle())) && GetMessageW(&message, nullptr, 0, 0) > 0)
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
