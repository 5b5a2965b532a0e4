// How the main window answers while data arrive: the real MainForm loads 100,000 instances of a scripted class
// asynchronously while another thread keeps sending it a message and times each answer; then a load from a
// provider whose Next answers only after ten seconds (unless its time-out ends first) is stopped, timed from the
// Stop command to the status "Loading cancelled. ".
#include "app/MainForm.h"
#include "config/RegistryKey.h"
#include "core/controls/StatusBar.h"
#include "core/platform/windows/Com.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedWmi.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <windows.h>

using Core::String;
using Core::Controls::TreeNode;

namespace
{

const wchar_t* const KeyPath = L"Software\\QuarrowBenchmarks\\Responsiveness";
const int InstanceCount = 100000;

double Now()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

TreeNode* FindClass(Core::Controls::TreeNodeCollection& roots, const wchar_t* name)
{
    TreeNode* processes = nullptr;
    TreeNode* machine = roots[0];
    for (int g = 0; g < machine->GetNodes().GetCount() && processes == nullptr; g++)
    {
        TreeNode* group = machine->GetNodes()[g];
        for (int c = 0; c < group->GetNodes().GetCount(); c++)
        {
            if (group->GetNodes()[c]->GetText() == String(L"Processes"))
            {
                processes = group->GetNodes()[c];
            }
        }
    }
    for (int i = 0; processes != nullptr && i < processes->GetNodes().GetCount(); i++)
    {
        if (processes->GetNodes()[i]->GetText() == String(name))
        {
            return processes->GetNodes()[i];
        }
    }
    return nullptr;
}

// The Stop command, run from a timer inside the load's wait; the time it was given.
Quarrow::MainForm* stopTarget = nullptr;
double stopGivenAt = 0;

void CALLBACK GiveStop(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    stopGivenAt = Now();
    stopTarget->RunCommand(Quarrow::Command::StopLoading);
}

} // namespace

int main()
{
    Core::Platform::Windows::InitializeCom();
    Core::Platform::Windows::InitializeComSecurity();
    Testing::RecordingDesktop desktop;
    Config::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
    int failures = 0;
    double maxDelay = 0;
    double stopLatency = 0;
    {
        ScriptedWmi::Provider provider;
        provider.logging = false;
        ScriptedWmi::ClassScript& process = provider.AddClass(L"Win32_Process", {{L"Name", CIM_STRING},
                                                                                 {L"ProcessId", CIM_UINT32},
                                                                                 {L"ParentProcessId", CIM_UINT32},
                                                                                 {L"ExecutablePath", CIM_STRING},
                                                                                 {L"CommandLine", CIM_STRING},
                                                                                 {L"ThreadCount", CIM_UINT32},
                                                                                 {L"WorkingSetSize", CIM_UINT64},
                                                                                 {L"Priority", CIM_UINT32}});
        ScriptedWmi::AddInstances(process, InstanceCount,
                                  [](int index, int property) -> ScriptedWmi::Value
                                  {
                                      switch (property)
                                      {
                                      case 0:
                                          return ScriptedWmi::Value::Text(L"process" + std::to_wstring(index) +
                                                                          L".exe");
                                      case 3:
                                          return ScriptedWmi::Value::Text(L"C:\\Program Files\\Vendor\\process" +
                                                                          std::to_wstring(index) + L".exe");
                                      case 4:
                                          return ScriptedWmi::Value::Text(L"\"C:\\Program Files\\Vendor\\p.exe\" -n " +
                                                                          std::to_wstring(index));
                                      default:
                                          return ScriptedWmi::Value::Int(index * (property + 1));
                                      }
                                  });
        provider.AddClass(L"Win32_Thread", {{L"Handle", CIM_STRING}});
        {
            Config::AppOptions options{String(KeyPath)};
            options.SetAsyncLoad(true);
            options.SetReportTarget(Config::ReportOnScreen);
        }
        Quarrow::MainForm form{String(KeyPath)};
        form.SetBounds(0, 0, 1000, 700);
        form.Show();
        HWND window = static_cast<HWND>(form.GetHandle());

        // 1. The longest wait of a message sent to the window while the rows arrive.
        std::atomic<bool> loading{true};
        std::atomic<bool> proberDone{false};
        double loadStart = Now();
        double maxDelayAt = 0;
        std::thread prober(
            [&]
            {
                while (loading)
                {
                    double start = Now();
                    DWORD_PTR result = 0;
                    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
                    double delay = Now() - start;
                    // Only messages sent while the load ran count: afterwards nothing pumps until the end.
                    if (loading && delay > maxDelay)
                    {
                        maxDelay = delay;
                        maxDelayAt = start - loadStart;
                    }
                    Sleep(5);
                }
                proberDone = true;
            });
        TreeNode* processNode = FindClass(form.GetClassTree().GetNodes(), L"Win32_Process");
        loadStart = Now();
        form.GetClassTree().SetSelectedNode(processNode);
        double loadTime = Now() - loadStart;
        loading = false;
        // The prober's last message is answered here.
        while (!proberDone)
        {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            Sleep(1);
        }
        prober.join();
        int rows = form.GetResultsGrid().GetRows().GetCount();
        std::printf("loaded %d rows of %d in %.0f ms; longest message delay %.1f ms, sent %.0f ms into the load\n",
                    rows, InstanceCount, loadTime, maxDelay, maxDelayAt);
        if (rows != InstanceCount)
        {
            failures++;
        }

        // 2. Stop against a provider that takes ten seconds for each batch.
        provider.nextDelayMilliseconds = 10000;
        stopTarget = &form;
        SetTimer(nullptr, 0, 600, GiveStop);
        form.GetClassTree().SetSelectedNode(FindClass(form.GetClassTree().GetNodes(), L"Win32_Thread"));
        stopLatency = Now() - stopGivenAt;
        String status = form.GetStatusBar().GetPanels()[Quarrow::Panel::Loading]->GetText();
        std::printf("status after Stop: \"%ls\", %.1f ms after the command\n", status.GetBuffer(), stopLatency);
        if (status != String(L"Loading cancelled. "))
        {
            failures++;
        }
    }
    Config::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
    std::printf("RESULT max-message-delay-ms %.1f\n", maxDelay);
    std::printf("RESULT stop-latency-ms %.1f\n", stopLatency);
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}
