// How the main window answers while data arrive: the real MainForm loads 100,000 instances of a scripted class
// asynchronously while another thread keeps sending it a message and times each answer; then a load from a
// provider whose Next answers only after ten seconds (unless its time-out ends first) is stopped, timed from the
// Stop command to the status "Loading cancelled. ". Then a slow provider (a class definition that takes 5 s, a
// Next that blocks 5 s whatever its time-out): the longest delay of a posted message while the class is selected,
// during its load and during Stop; the time from Stop to "Stopping ..."; and, in a child process, the time from a
// close to the process's end.
#include "app/MainForm.h"
#include "core/controls/Application.h"
#include "core/controls/StatusBar.h"
#include "core/platform/windows/Com.h"
#include "core/platform/windows/RegistryKey.h"
#include "core/threading/BackgroundWork.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedWmi.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// --- the slow provider ---

const DWORD SlowMilliseconds = 5000;

enum Phase
{
    Idle,
    Selecting,
    Loading,
    Stopping,
    PhaseCount
};
std::atomic<int> phase{Idle};
double longestDelay[PhaseCount] = {};
double stoppingShownAt = 0;
Quarrow::MainForm* slowForm = nullptr;

// A message-only window on the main thread: a posted message carries the time it was posted, and its handling
// (by whatever loop pumps then) measures how long it waited.
LRESULT CALLBACK ProbeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP)
    {
        double posted = 0;
        std::memcpy(&posted, &lParam, sizeof(posted));
        double delay = Now() - posted;
        int at = static_cast<int>(wParam);
        if (delay > longestDelay[at])
        {
            longestDelay[at] = delay;
        }
        if (stoppingShownAt == 0 && slowForm != nullptr &&
            slowForm->GetStatusBar().GetPanels()[Quarrow::Panel::Loading]->GetText() == String(L"Stopping ..."))
        {
            stoppingShownAt = Now();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void AddSlowClasses(ScriptedWmi::Provider& provider)
{
    ScriptedWmi::ClassScript& slow = provider.AddClass(L"Win32_Thread", {{L"Handle", CIM_STRING}});
    ScriptedWmi::AddInstances(slow, 200,
                              [](int index, int) { return ScriptedWmi::Value::Text(std::to_wstring(index)); });
    slow.getObjectDelayMilliseconds = SlowMilliseconds;
    slow.nextBlockMilliseconds = SlowMilliseconds;
}

void PrepareOptions()
{
    Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
    Config::AppOptions options{String(KeyPath)};
    options.SetAsyncLoad(true);
    options.SetReportTarget(Config::ReportOnScreen);
}

// The child process: the main window with the slow provider, loading the slow class until it is closed.
int RunCloseChild()
{
    Core::Platform::Windows::InitializeCom();
    Core::Platform::Windows::InitializeComSecurity();
    Testing::RecordingDesktop desktop;
    HANDLE loading = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"QuarrowBenchSlowLoading");
    ScriptedWmi::Provider provider;
    provider.logging = false;
    provider.AddClass(L"Win32_Process", {{L"Name", CIM_STRING}});
    AddSlowClasses(provider);
    provider.onNext = [loading](int) { SetEvent(loading); };
    Core::Controls::Application::Init(GetModuleHandleW(nullptr), nullptr, String(), SW_SHOWNORMAL);
    int code = 0;
    {
        Quarrow::MainForm form{String(KeyPath)};
        form.SetBounds(0, 0, 800, 600);
        form.Show();
        slowForm = &form;
        SetTimer(nullptr, 0, 10,
                 [](HWND, UINT, UINT_PTR id, DWORD)
                 {
                     KillTimer(nullptr, id);
                     slowForm->GetClassTree().SetSelectedNode(
                         FindClass(slowForm->GetClassTree().GetNodes(), L"Win32_Thread"));
                 });
        code = Core::Controls::Application::Run(&form);
    }
    // As Quarrow.exe does: out of WinMain, and the process ends whatever its workers are doing.
    CoUninitialize();
    std::exit(code);
}

// Starts the child, closes its window once its load waits inside the provider, and times the process's end.
double MeasureCloseToExit(double& windowGoneMs)
{
    HANDLE loading = CreateEventW(nullptr, TRUE, FALSE, L"QuarrowBenchSlowLoading");
    wchar_t commandLine[MAX_PATH + 32];
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    swprintf(commandLine, MAX_PATH + 32, L"\"%ls\" --close-child", self);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    {
        CloseHandle(loading);
        return -1;
    }
    double result = -1;
    if (WaitForSingleObject(loading, 60000) == WAIT_OBJECT_0)
    {
        Sleep(300); // well inside the blocking Next
        struct Search
        {
            DWORD process;
            HWND window;
        } search{process.dwProcessId, nullptr};
        EnumWindows(
            [](HWND window, LPARAM parameter) -> BOOL
            {
                auto* found = reinterpret_cast<Search*>(parameter);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                wchar_t name[64] = {};
                GetClassNameW(window, name, 64);
                if (owner == found->process && std::wcscmp(name, L"Quarrow.MainForm") == 0)
                {
                    found->window = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.window != nullptr)
        {
            double closedAt = Now();
            PostMessageW(search.window, WM_CLOSE, 0, 0);
            while (IsWindow(search.window) && IsWindowVisible(search.window) && Now() - closedAt < 30000)
            {
                Sleep(1);
            }
            windowGoneMs = Now() - closedAt;
            if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
            {
                result = Now() - closedAt;
            }
        }
    }
    TerminateProcess(process.hProcess, 1); // only if it has not ended
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(loading);
    return result;
}

// --- the steps ---

struct Results
{
    double maxDelay = 0;
    double stopLatency = 0;
    double stopShownMs = -1;
    double windowGoneMs = -1;
    double exitMs = -1;
    int failures = 0;
};

void AddProcessClass(ScriptedWmi::Provider& provider)
{
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
                                      return ScriptedWmi::Value::Text(L"process" + std::to_wstring(index) + L".exe");
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
}

// 1. The longest wait of a message sent to the window while the rows arrive.
void MeasureLoadDelay(Quarrow::MainForm& form, Results& results)
{
    HWND window = static_cast<HWND>(form.GetHandle());
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
                if (loading && delay > results.maxDelay)
                {
                    results.maxDelay = delay;
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
    std::printf("loaded %d rows of %d in %.0f ms; longest message delay %.1f ms, sent %.0f ms into the load\n", rows,
                InstanceCount, loadTime, results.maxDelay, maxDelayAt);
    if (rows != InstanceCount)
    {
        results.failures++;
    }
}

// 2. Stop against a provider that takes ten seconds for each batch.
void MeasureStop(Quarrow::MainForm& form, ScriptedWmi::Provider& provider, Results& results)
{
    provider.nextDelayMilliseconds = 10000;
    stopTarget = &form;
    SetTimer(nullptr, 0, 600, GiveStop);
    form.GetClassTree().SetSelectedNode(FindClass(form.GetClassTree().GetNodes(), L"Win32_Thread"));
    results.stopLatency = Now() - stopGivenAt;
    String status = form.GetStatusBar().GetPanels()[Quarrow::Panel::Loading]->GetText();
    std::printf("status after Stop: \"%ls\", %.1f ms after the command\n", status.GetBuffer(), results.stopLatency);
    if (status != String(L"Loading cancelled. "))
    {
        results.failures++;
    }
}

// Steps 1 and 2 share one window and one provider of many instances.
void MeasureLargeLoad(Results& results)
{
    ScriptedWmi::Provider provider;
    provider.logging = false;
    AddProcessClass(provider);
    provider.AddClass(L"Win32_Thread", {{L"Handle", CIM_STRING}});
    PrepareOptions();
    Quarrow::MainForm form{String(KeyPath)};
    form.SetBounds(0, 0, 1000, 700);
    form.Show();
    MeasureLoadDelay(form, results);
    MeasureStop(form, provider, results);
}

HWND CreateProbe()
{
    WNDCLASSW probeClass = {};
    probeClass.lpfnWndProc = ProbeProcedure;
    probeClass.hInstance = GetModuleHandleW(nullptr);
    probeClass.lpszClassName = L"Quarrow.Bench.Probe";
    RegisterClassW(&probeClass);
    return CreateWindowExW(0, probeClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, probeClass.hInstance,
                           nullptr);
}

// Stop 1.5 s into the load, from a timer that the load's wait runs.
void ScheduleSlowStop()
{
    SetTimer(nullptr, 0, 50,
             [](HWND, UINT, UINT_PTR id, DWORD)
             {
                 if (phase != Loading)
                 {
                     return;
                 }
                 KillTimer(nullptr, id);
                 SetTimer(nullptr, 0, 1500,
                          [](HWND, UINT, UINT_PTR stopId, DWORD)
                          {
                              KillTimer(nullptr, stopId);
                              phase = Stopping;
                              stopGivenAt = Now();
                              slowForm->RunCommand(Quarrow::Command::StopLoading);
                          });
             });
}

// 3. The slow provider, in this process: selecting, loading, stopping.
void MeasureSlowProvider(Results& results)
{
    // The end message of the window destroyed before would cut the next wait short.
    MSG ended;
    while (PeekMessageW(&ended, nullptr, Core::Threading::ApplicationEndMessage, Core::Threading::ApplicationEndMessage,
                        PM_REMOVE))
    {
    }
    PrepareOptions();
    ScriptedWmi::Provider provider;
    provider.logging = false;
    provider.AddClass(L"Win32_Process", {{L"Name", CIM_STRING}});
    AddSlowClasses(provider);
    HWND probe = CreateProbe();
    Quarrow::MainForm form{String(KeyPath)};
    form.SetBounds(0, 0, 1000, 700);
    form.Show();
    slowForm = &form;
    std::atomic<bool> probing{true};
    std::thread poster(
        [&]
        {
            while (probing)
            {
                double now = Now();
                LPARAM stamp = 0;
                std::memcpy(&stamp, &now, sizeof(now));
                PostMessageW(probe, WM_APP, static_cast<WPARAM>(phase.load()), stamp);
                Sleep(5);
            }
        });
    provider.onNext = [](int call)
    {
        if (call == 1)
        {
            phase = Loading;
        }
    };
    phase = Selecting;
    ScheduleSlowStop();
    form.GetClassTree().SetSelectedNode(FindClass(form.GetClassTree().GetNodes(), L"Win32_Thread"));
    phase = Idle;
    probing = false;
    poster.join();
    String status = form.GetStatusBar().GetPanels()[Quarrow::Panel::Loading]->GetText();
    results.stopShownMs = stoppingShownAt > 0 ? stoppingShownAt - stopGivenAt : -1;
    std::printf("slow provider: longest posted-message delay %.1f ms selecting, %.1f ms loading, %.1f ms "
                "stopping; \"Stopping ...\" %.1f ms after Stop; then \"%ls\"\n",
                longestDelay[Selecting], longestDelay[Loading], longestDelay[Stopping], results.stopShownMs,
                status.GetBuffer());
    if (status != String(L"Loading cancelled. ") || results.stopShownMs < 0)
    {
        results.failures++;
    }
    slowForm = nullptr;
    DestroyWindow(probe);
}

// 4. Closing during the slow load, in a child process: the window goes, then the process ends.
void MeasureClose(Results& results)
{
    PrepareOptions();
    results.exitMs = MeasureCloseToExit(results.windowGoneMs);
    std::printf("close during a load inside a 5 s Next: window gone after %.1f ms, process ended after %.1f ms\n",
                results.windowGoneMs, results.exitMs);
    if (results.exitMs < 0)
    {
        results.failures++;
    }
}

void PrintResults(const Results& results)
{
    std::printf("RESULT max-message-delay-ms %.1f\n", results.maxDelay);
    std::printf("RESULT stop-latency-ms %.1f\n", results.stopLatency);
    std::printf("RESULT slow-select-max-delay-ms %.1f\n", longestDelay[Selecting]);
    std::printf("RESULT slow-load-max-delay-ms %.1f\n", longestDelay[Loading]);
    std::printf("RESULT slow-stop-max-delay-ms %.1f\n", longestDelay[Stopping]);
    std::printf("RESULT stop-shown-ms %.1f\n", results.stopShownMs);
    std::printf("RESULT close-to-exit-ms %.1f\n", results.exitMs);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--close-child") == 0)
    {
        return RunCloseChild();
    }
    Core::Platform::Windows::InitializeCom();
    Core::Platform::Windows::InitializeComSecurity();
    Testing::RecordingDesktop desktop;
    Results results;
    MeasureLargeLoad(results);
    MeasureSlowProvider(results);
    Core::Threading::BackgroundWork::WaitForAll(30000);
    MeasureClose(results);
    Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
    PrintResults(results);
    CoUninitialize();
    return results.failures == 0 ? 0 : 1;
}
