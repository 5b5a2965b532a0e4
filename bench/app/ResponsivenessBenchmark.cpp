// How the real main window and its options dialog answer while data arrive, while a slow provider keeps a worker,
// and when the user stops or closes; each step below says what it measures.
#include "app/MainForm.h"
#include "app/options/OptionsForm.h"
#include "core/controls/Application.h"
#include "core/controls/StatusBar.h"
#include "core/controls/TabView.h"
#include "core/controls/ToolBar.h"
#include "core/controls/TreeView.h"
#include "core/platform/windows/Com.h"
#include "core/platform/windows/RegistryKey.h"
#include "core/threading/BackgroundWork.h"
#include "wmi/ManagementObject.h"

#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedWmi.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

using Core::String;
using Core::Controls::TreeNode;

namespace
{

const wchar_t* const KeyPath = L"Software\\QuarrowBenchmarks\\Responsiveness";
const int InstanceCount = 100000;
const int LoadingPanel = 0; // the status bar's panel that tells the load

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

// Runs what is queued, as the program's own loop would.
void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Pumps until the selection has settled: its definition has come back through the loop, and the load that follows
// it (whose own wait runs inside this loop's dispatching) has ended.
void Settle(Quarrow::MainForm& form)
{
    double started = Now();
    while ((form.GetClassView().IsReadingDefinition() ||
            (form.GetCurrentClass() != nullptr && form.GetCurrentClass()->IsLoading())) &&
           Now() - started < 60000)
    {
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        PumpMessages();
    }
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
    OptionsReading, // the options dialog reads a class's properties
    PhaseCount
};
std::atomic<int> phase{Idle};
double longestDelay[PhaseCount] = {};
int probesHandled[PhaseCount] = {};
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
        probesHandled[at]++;
        if (delay > longestDelay[at])
        {
            longestDelay[at] = delay;
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
    std::vector<double> blockedStops; // Stop to "Loading cancelled. ", one a round
    double optionsCloseMs = -1;
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
    Settle(form);
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
    Settle(form);
    results.stopLatency = Now() - stopGivenAt;
    String status = form.GetStatusBar().GetPanels()[LoadingPanel]->GetText();
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

// The end message of the window destroyed before would cut the next wait short.
void DropEndMessages()
{
    MSG ended;
    while (PeekMessageW(&ended, nullptr, Core::Threading::ApplicationEndMessage, Core::Threading::ApplicationEndMessage,
                        PM_REMOVE))
    {
    }
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
                              // Stop says so before it returns, repainted: "Stopping ...", or already the end.
                              const String& status = slowForm->GetStatusBar().GetPanels()[LoadingPanel]->GetText();
                              if (status == String(L"Stopping ...") || status == String(L"Loading cancelled. "))
                              {
                                  stoppingShownAt = Now();
                              }
                          });
             });
}

// 3. The slow provider, in this process: selecting, loading, stopping.
void MeasureSlowProvider(Results& results)
{
    DropEndMessages();
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
    Settle(form);
    phase = Idle;
    probing = false;
    poster.join();
    String status = form.GetStatusBar().GetPanels()[LoadingPanel]->GetText();
    results.stopShownMs = stoppingShownAt > 0 ? stoppingShownAt - stopGivenAt : -1;
    std::printf("slow provider: longest posted-message delay %.1f ms selecting, %.1f ms loading, %.1f ms "
                "stopping (%d, %d and %d messages); Stop answered on the status %.1f ms after it; then \"%ls\"\n",
                longestDelay[Selecting], longestDelay[Loading], longestDelay[Stopping], probesHandled[Selecting],
                probesHandled[Loading], probesHandled[Stopping], results.stopShownMs, status.GetBuffer());
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

// --- Stop while the worker is inside a Next that blocks ---

const int StopRounds = 9;
const DWORD BlockingNextMilliseconds = 5000;
const UINT InsideNextMessage = WM_APP + 1; // posted by the worker as it enters the blocking Next
const UINT StatusTickMessage = WM_APP + 2; // a look at the status, posted every millisecond

struct BlockedStop
{
    Quarrow::MainForm* form = nullptr;
    HANDLE release = nullptr;  // lets the blocking Next return before its 5 s
    std::atomic<int> calls{0}; // Next calls of the round's load
    double givenAt = 0;
    double cancelledAt = 0;
    bool stopTaken = false; // the click found Stop enabled and Stop withdrew itself
} blockedStop;

// A click on the node's text, posted as the mouse's would be: whatever loop pumps next handles it.
void PostClick(Core::Controls::TreeView& tree, TreeNode* node)
{
    for (TreeNode* parent = node->GetParent(); parent != nullptr; parent = parent->GetParent())
    {
        parent->Expand();
    }
    PumpMessages();
    tree.EnsureVisible(node);
    PumpMessages();
    Core::Controls::Rectangle text = tree.GetPartBounds(node, Core::Controls::TreeViewHitArea::Text);
    LPARAM at = MAKELPARAM(text.left + 2, text.top + text.height / 2);
    PostMessageW(static_cast<HWND>(tree.GetHandle()), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(static_cast<HWND>(tree.GetHandle()), WM_LBUTTONUP, 0, at);
}

// The user's click on the toolbar's Stop button; true when Stop was taken (it withdraws itself).
bool ClickStop(Quarrow::MainForm& form)
{
    Core::Controls::ToolBar& bar = form.GetToolBar();
    for (int i = 0; i < bar.GetButtons().GetCount(); i++)
    {
        Core::Controls::ToolBarItem* button = bar.GetButtons()[i];
        if (button->GetCommandId() == Quarrow::Command::StopLoading && button->IsEnabled())
        {
            Core::Controls::Rectangle bounds = bar.GetItemBounds(i);
            LPARAM at = MAKELPARAM(bounds.left + bounds.width / 2, bounds.top + bounds.height / 2);
            SendMessageW(static_cast<HWND>(bar.GetHandle()), WM_LBUTTONDOWN, MK_LBUTTON, at);
            SendMessageW(static_cast<HWND>(bar.GetHandle()), WM_LBUTTONUP, 0, at);
            return !button->IsEnabled();
        }
    }
    return false;
}

void NoteCancelled()
{
    if (blockedStop.givenAt > 0 && blockedStop.cancelledAt == 0 &&
        blockedStop.form->GetStatusBar().GetPanels()[LoadingPanel]->GetText() == String(L"Loading cancelled. "))
    {
        blockedStop.cancelledAt = Now();
    }
}

// Both messages come to whatever loop pumps: the worker's signal to the load's own wait, which runs Stop from it.
LRESULT CALLBACK StopProbeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == InsideNextMessage)
    {
        blockedStop.givenAt = Now();
        blockedStop.stopTaken = ClickStop(*blockedStop.form);
        NoteCancelled();
        return 0;
    }
    if (message == StatusTickMessage)
    {
        NoteCancelled();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateStopProbe()
{
    WNDCLASSW probeClass = {};
    probeClass.lpfnWndProc = StopProbeProcedure;
    probeClass.hInstance = GetModuleHandleW(nullptr);
    probeClass.lpszClassName = L"Quarrow.Bench.StopProbe";
    RegisterClassW(&probeClass);
    return CreateWindowExW(0, probeClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, probeClass.hInstance,
                           nullptr);
}

// 5. A load whose provider keeps its second Next for 5 s, whatever its time-out: once the worker is inside it, the
// Stop button is clicked, and the time runs until the status reads "Loading cancelled. ". Two classes take turns,
// each round selected with a click; the let-go worker is released and has ended before the next round.
void MeasureBlockedStop(Results& results)
{
    DropEndMessages();
    PrepareOptions();
    ScriptedWmi::Provider provider;
    provider.logging = false;
    provider.largestBatch = 10;
    const wchar_t* const classes[] = {L"Win32_Thread", L"Win32_Process"};
    for (const wchar_t* name : classes)
    {
        ScriptedWmi::AddInstances(provider.AddClass(name, {{L"Name", CIM_STRING}}), 200,
                                  [](int index, int) { return ScriptedWmi::Value::Text(std::to_wstring(index)); });
    }
    HWND probe = CreateStopProbe();
    blockedStop.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    provider.onNext = [probe](int)
    {
        // The first batch has come: the load is under way and shows its rows.
        if (++blockedStop.calls == 2)
        {
            PostMessageW(probe, InsideNextMessage, 0, 0);
            WaitForSingleObject(blockedStop.release, BlockingNextMilliseconds);
        }
    };
    Quarrow::MainForm form{String(KeyPath)};
    form.SetBounds(0, 0, 1000, 700);
    form.Show();
    blockedStop.form = &form;
    std::atomic<bool> ticking{true};
    std::thread ticker(
        [&]
        {
            while (ticking)
            {
                PostMessageW(probe, StatusTickMessage, 0, 0);
                Sleep(1);
            }
        });
    int workersLeft = 0;
    for (int round = 0; round < StopRounds; round++)
    {
        ResetEvent(blockedStop.release);
        blockedStop.calls = 0;
        blockedStop.givenAt = 0;
        blockedStop.cancelledAt = 0;
        blockedStop.stopTaken = false;
        PostClick(form.GetClassTree(), FindClass(form.GetClassTree().GetNodes(), classes[round % 2]));
        // The click's load, its wait and the Stop it runs all happen inside this loop's dispatching.
        double started = Now();
        while (blockedStop.cancelledAt == 0 && Now() - started < 20000)
        {
            MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            PumpMessages();
            NoteCancelled();
        }
        int runningAfterStop = Core::Threading::BackgroundWork::GetRunningCount();
        SetEvent(blockedStop.release);
        if (!Core::Threading::BackgroundWork::WaitForAll(10000))
        {
            workersLeft++;
        }
        PumpMessages();
        if (blockedStop.cancelledAt == 0 || !blockedStop.stopTaken || runningAfterStop == 0)
        {
            std::printf("blocked Stop, round %d: Stop %s, status \"%ls\", %d workers running after it\n", round + 1,
                        blockedStop.stopTaken ? "taken" : "not taken",
                        form.GetStatusBar().GetPanels()[LoadingPanel]->GetText().GetBuffer(), runningAfterStop);
            results.failures++;
            continue;
        }
        results.blockedStops.push_back(blockedStop.cancelledAt - blockedStop.givenAt);
    }
    ticking = false;
    ticker.join();
    PumpMessages();
    std::printf("Stop inside a 5 s Next, %d rounds:", static_cast<int>(results.blockedStops.size()));
    for (double figure : results.blockedStops)
    {
        std::printf(" %.1f", figure);
    }
    std::printf(" ms to \"Loading cancelled. \"; the worker still in the provider each time, ended after release\n");
    if (workersLeft > 0)
    {
        std::printf("%d let-go workers did not end within 10 s of their release\n", workersLeft);
        results.failures++;
    }
    blockedStop.form = nullptr;
    provider.onNext = nullptr;
    DestroyWindow(probe);
    CloseHandle(blockedStop.release);
}

// --- the options dialog over a slow class ---

const DWORD SlowDefinitionMilliseconds = 3000;

struct OptionsRun
{
    Quarrow::MainForm* form = nullptr;
    int step = 0;
    double readStartedAt = 0;
    double readEndedAt = 0;
    double escAt = 0;
    int propertiesShown = -1;
    bool readingAtEsc = false;
    std::atomic<int> definitionReads{0}; // GetObject calls begun, on the workers
    std::atomic<double> secondReadAt{0};
} optionsRun;

// The class node under "Processes" in the dialog's check tree (groups, categories, classes).
TreeNode* OptionsClass(const wchar_t* name)
{
    Core::Controls::TreeNodeCollection& groups =
        optionsRun.form->GetOptionsForm()->GetConfigPage().GetTree().GetNodes();
    for (int g = 0; g < groups.GetCount(); g++)
    {
        Core::Controls::TreeNodeCollection& categories = groups[g]->GetNodes();
        for (int c = 0; c < categories.GetCount(); c++)
        {
            Core::Controls::TreeNodeCollection& classes = categories[c]->GetNodes();
            for (int i = 0; categories[c]->GetText() == String(L"Processes") && i < classes.GetCount(); i++)
            {
                if (classes[i]->GetText() == String(name))
                {
                    return classes[i];
                }
            }
        }
    }
    return nullptr;
}

// A click on the node's expansion glyph, sent as the mouse's: it returns once the dialog has handled it.
void ClickGlyph(Core::Controls::TreeView& tree, TreeNode* node)
{
    Core::Controls::Rectangle glyph = tree.GetPartBounds(node, Core::Controls::TreeViewHitArea::Glyph);
    LPARAM at = MAKELPARAM(glyph.left + glyph.width / 2, glyph.top + glyph.height / 2);
    SendMessageW(static_cast<HWND>(tree.GetHandle()), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(static_cast<HWND>(tree.GetHandle()), WM_LBUTTONUP, 0, at);
}

// One step a tick, from a timer of the dialog's own loop: nothing here pumps or waits, so every probe message is
// served by that loop.
void CALLBACK DriveOptions(HWND, UINT, UINT_PTR id, DWORD)
{
    Config::OptionsForm* dialog = optionsRun.form->GetOptionsForm();
    if (dialog == nullptr || !dialog->IsModal() || !IsWindowVisible(static_cast<HWND>(dialog->GetHandle())))
    {
        return;
    }
    Config::OptionsConfigTabPage& page = dialog->GetConfigPage();
    Core::Controls::TreeView& tree = page.GetTree();
    TreeNode* slow = OptionsClass(L"Win32_Thread");
    TreeNode* second = OptionsClass(L"Win32_Process");
    bool overdue = optionsRun.readStartedAt > 0 && Now() - optionsRun.readStartedAt > 60000;
    if (slow == nullptr || second == nullptr || overdue)
    {
        KillTimer(nullptr, id);
        dialog->EndDialog(Core::Controls::DialogResult::Cancel);
        return;
    }
    switch (optionsRun.step)
    {
    case 0:
        dialog->GetTabView().ShowPage(1);
        for (TreeNode* parent = slow->GetParent(); parent != nullptr; parent = parent->GetParent())
        {
            parent->Expand();
        }
        tree.EnsureVisible(slow);
        optionsRun.step++;
        break;
    case 1:
        phase = OptionsReading;
        optionsRun.readStartedAt = Now();
        ClickGlyph(tree, slow);
        optionsRun.step++;
        break;
    case 2:
        if (!page.IsWorking())
        {
            optionsRun.readEndedAt = Now();
            phase = Idle;
            optionsRun.propertiesShown = slow->GetNodes().GetCount();
            tree.EnsureVisible(second);
            optionsRun.step++;
        }
        break;
    case 3:
        ClickGlyph(tree, second);
        optionsRun.step++;
        break;
    case 4:
        // Half a second into the second class's read, Esc.
        if (optionsRun.secondReadAt > 0 && Now() - optionsRun.secondReadAt >= 500)
        {
            KillTimer(nullptr, id);
            optionsRun.readingAtEsc = page.IsWorking();
            HWND focus = GetFocus();
            HWND target = focus != nullptr && IsChild(static_cast<HWND>(dialog->GetHandle()), focus)
                              ? focus
                              : static_cast<HWND>(dialog->GetHandle());
            optionsRun.escAt = Now();
            SendMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);
            if (IsWindow(target))
            {
                SendMessageW(target, WM_KEYUP, VK_ESCAPE, 1 | (1u << 30) | (1u << 31));
            }
        }
        break;
    default:
        break;
    }
}

// 6. The options dialog, shown modally over the main window with the Options command, expands a class whose
// definition takes 3 s; a thread posts a stamped message to a window of the dialog's thread every 5 ms meanwhile,
// and the longest wait counts. Then a second slow class is expanded and Esc pressed half a second into its read.
void MeasureOptionsRead(Results& results)
{
    DropEndMessages();
    PrepareOptions();
    ScriptedWmi::Provider provider;
    provider.logging = false;
    provider.AddClass(L"Win32_Process", {{L"Name", CIM_STRING}, {L"ProcessId", CIM_UINT32}})
        .getObjectDelayMilliseconds = SlowDefinitionMilliseconds;
    provider.AddClass(L"Win32_Thread", {{L"Handle", CIM_STRING}}).getObjectDelayMilliseconds =
        SlowDefinitionMilliseconds;
    provider.onGetObject = []
    {
        if (++optionsRun.definitionReads == 2)
        {
            optionsRun.secondReadAt = Now();
        }
    };
    HWND probe = CreateProbe();
    Quarrow::MainForm form{String(KeyPath)};
    form.SetBounds(0, 0, 1000, 700);
    form.Show();
    optionsRun.form = &form;
    // The local machine is connected from a timer once the window is up; the dialog reads through it.
    double started = Now();
    while ((form.GetConnections().GetCount() == 0 || !form.GetConnections()[0]->IsConnected()) &&
           Now() - started < 20000)
    {
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        PumpMessages();
    }
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
    SetTimer(nullptr, 0, 20, DriveOptions);
    form.RunCommand(Quarrow::Command::Options);
    double closedAt = Now();
    phase = Idle;
    probing = false;
    poster.join();
    bool stillReading = Core::Threading::BackgroundWork::GetRunningCount() > 0;
    // The read let go by the close ends by itself; what it posts is dropped.
    if (!Core::Threading::BackgroundWork::WaitForAll(10000))
    {
        results.failures++;
    }
    PumpMessages();
    results.optionsCloseMs = optionsRun.escAt > 0 ? closedAt - optionsRun.escAt : -1;
    std::printf("options dialog: a %lu ms class definition read in %.0f ms, %d properties shown; longest "
                "posted-message delay %.1f ms (%d messages); Esc during the next read (%s): the dialog closed %.1f ms "
                "after it\n",
                SlowDefinitionMilliseconds, optionsRun.readEndedAt - optionsRun.readStartedAt,
                optionsRun.propertiesShown, longestDelay[OptionsReading], probesHandled[OptionsReading],
                optionsRun.readingAtEsc ? "under way" : "not under way", results.optionsCloseMs);
    if (optionsRun.propertiesShown != 1 || !optionsRun.readingAtEsc || !stillReading || results.optionsCloseMs < 0 ||
        probesHandled[OptionsReading] == 0)
    {
        results.failures++;
    }
    optionsRun.form = nullptr;
    provider.onGetObject = nullptr;
    DestroyWindow(probe);
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
    std::vector<double> stops = results.blockedStops;
    std::sort(stops.begin(), stops.end());
    std::printf("RESULT blocked-stop-median-ms %.1f\n", stops.empty() ? -1.0 : stops[stops.size() / 2]);
    std::printf("RESULT blocked-stop-worst-ms %.1f\n", stops.empty() ? -1.0 : stops.back());
    std::printf("RESULT options-read-max-delay-ms %.1f\n", longestDelay[OptionsReading]);
    std::printf("RESULT options-esc-close-ms %.1f\n", results.optionsCloseMs);
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
    MeasureBlockedStop(results);
    MeasureOptionsRead(results);
    Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
    PrintResults(results);
    CoUninitialize();
    return results.failures == 0 ? 0 : 1;
}
