// Expands a scripted namespace of 1,500 top classes in the real main window's tree: the time from the click on its
// glyph to its first level painted, and the longest wait of a message posted to the window thread meanwhile.
#include "app/MainForm.h"
#include "app/NamespaceTree.h"
#include "core/controls/TreeView.h"
#include "core/platform/windows/Com.h"
#include "core/platform/windows/RegistryKey.h"
#include "core/threading/BackgroundWork.h"

#include "bench/support/MessageLoop.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedWmi.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

using Core::String;
using Core::Controls::TreeNode;

using Benchmark::Milliseconds;
using Benchmark::PumpMessages;
using Benchmark::PumpUntil;

namespace
{

const wchar_t* const KeyPath = L"Software\\QuarrowBenchmarks\\Namespaces";
const int ClassCount = 1500;
const int Rounds = 9; // one namespace each, so that every round reads and builds its level anew

// A message-only window on the window thread: each posted probe carries the time it was posted, and its handling
// measures how long it waited in the queue.
std::atomic<bool> probing{false};
double longestDelay = 0;

LRESULT CALLBACK ProbeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP)
    {
        double posted = 0;
        std::memcpy(&posted, &lParam, sizeof(posted));
        if (probing)
        {
            longestDelay = std::max(longestDelay, Milliseconds() - posted);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateProbe()
{
    WNDCLASSW probeClass = {};
    probeClass.lpfnWndProc = ProbeProcedure;
    probeClass.hInstance = GetModuleHandleW(nullptr);
    probeClass.lpszClassName = L"Quarrow.Bench.NamespaceProbe";
    RegisterClassW(&probeClass);
    return CreateWindowExW(0, probeClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, probeClass.hInstance,
                           nullptr);
}

std::wstring NamespaceName(int round)
{
    return L"Big" + std::to_wstring(round);
}

// Top classes of one namespace, in no order (the listing sorts them), each with two properties; every tenth
// abstract, as WMI's base classes are.
void AddNamespace(ScriptedWmi::Provider& provider, int round)
{
    std::wstring path = L"root\\" + NamespaceName(round);
    for (int c = 0; c < ClassCount; c++)
    {
        int order = (c * 7919) % ClassCount;
        ScriptedWmi::ClassScript& added =
            provider.AddClass(path, L"Bench_Class" + std::to_wstring(order), L"",
                              {{L"Name", CIM_STRING}, {L"Value" + std::to_wstring(order), CIM_UINT32}});
        if (c % 10 == 0)
        {
            added.qualifiers.push_back({L"abstract", ScriptedWmi::Value::Bool(true)});
        }
    }
}

TreeNode* Child(TreeNode* parent, const wchar_t* text)
{
    for (int i = 0; i < parent->GetNodes().GetCount(); i++)
    {
        if (parent->GetNodes()[i]->GetText() == String(text))
        {
            return parent->GetNodes()[i];
        }
    }
    return nullptr;
}

struct Round
{
    double painted = -1; // click to the first level painted
    double delay = 0;    // the longest posted-message wait meanwhile
};

// Clicks the namespace's glyph and waits until its level came and the tree has nothing left to paint.
Round Expand(Quarrow::MainForm& form, TreeNode* node, HWND probe)
{
    Core::Controls::TreeView& tree = form.GetClassTree();
    HWND treeWindow = static_cast<HWND>(tree.GetHandle());
    tree.EnsureVisible(node);
    PumpMessages();
    UpdateWindow(treeWindow);
    Core::Controls::Rectangle glyph = tree.GetPartBounds(node, Core::Controls::TreeViewHitArea::Glyph);
    LPARAM point = MAKELPARAM(glyph.left + glyph.width / 2, glyph.top + glyph.height / 2);

    longestDelay = 0;
    probing = true;
    std::atomic<bool> stopProber{false};
    std::thread prober(
        [&]
        {
            while (!stopProber)
            {
                double posted = Milliseconds();
                LPARAM carried = 0;
                std::memcpy(&carried, &posted, sizeof(posted));
                PostMessageW(probe, WM_APP, 0, carried);
                Sleep(2);
            }
        });
    Round round;
    double clicked = Milliseconds();
    PostMessageW(treeWindow, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(treeWindow, WM_LBUTTONUP, 0, point);
    bool painted = PumpUntil(
        [&]
        {
            bool listed = node->GetNodes().GetCount() > 1 && Child(node, Quarrow::ReadingNodeText) == nullptr;
            return listed && GetUpdateRect(treeWindow, nullptr, FALSE) == FALSE;
        });
    if (painted)
    {
        round.painted = Milliseconds() - clicked;
    }
    stopProber = true;
    prober.join();
    PumpMessages(); // the probes still queued count too
    probing = false;
    round.delay = longestDelay;
    return round;
}

} // namespace

int main()
{
    Core::Platform::Windows::InitializeCom();
    Core::Platform::Windows::InitializeComSecurity();
    Testing::RecordingDesktop desktop;
    ScriptedWmi::Provider provider;
    provider.logging = false;
    provider.AddClass(L"Win32_Process", {{L"Name", CIM_STRING}});
    for (int round = 0; round < Rounds; round++)
    {
        AddNamespace(provider, round);
    }
    Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
    std::vector<Round> rounds;
    int failures = 0;
    {
        Quarrow::MainForm form{String(KeyPath)};
        form.SetBounds(0, 0, 1000, 700);
        form.Show();
        form.ConnectLocalMachine();
        PumpMessages();
        HWND probe = CreateProbe();
        TreeNode* namespaces = form.GetClassTree().GetNodes()[0]->GetLastNode();
        form.GetClassTree().ExpandNode(namespaces);
        PumpUntil([&] { return Child(namespaces, Quarrow::ReadingNodeText) == nullptr; });
        for (int r = 0; r < Rounds; r++)
        {
            TreeNode* node = Child(namespaces, NamespaceName(r).c_str());
            if (node == nullptr)
            {
                std::printf("namespace %ls is not listed\n", NamespaceName(r).c_str());
                failures++;
                break;
            }
            Round round = Expand(form, node, probe);
            int classes = node->GetNodes().GetCount();
            std::printf("round %d: %d classes, first level painted %.1f ms after the click, longest posted-message "
                        "delay %.1f ms\n",
                        r + 1, classes, round.painted, round.delay);
            if (round.painted < 0 || classes != ClassCount)
            {
                failures++;
            }
            rounds.push_back(round);
            form.GetClassTree().CollapseNode(node);
            PumpMessages();
        }
        DestroyWindow(probe);
    }
    Core::Threading::BackgroundWork::WaitForAll(30000);
    Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
    std::vector<double> painted;
    std::vector<double> delays;
    for (const Round& round : rounds)
    {
        painted.push_back(round.painted);
        delays.push_back(round.delay);
    }
    std::sort(painted.begin(), painted.end());
    std::sort(delays.begin(), delays.end());
    if (!painted.empty())
    {
        std::printf("RESULT namespace-expand-painted-median-ms %.1f\n", painted[painted.size() / 2]);
        std::printf("RESULT namespace-expand-painted-worst-ms %.1f\n", painted.back());
        std::printf("RESULT namespace-expand-max-delay-median-ms %.1f\n", delays[delays.size() / 2]);
        std::printf("RESULT namespace-expand-max-delay-worst-ms %.1f\n", delays.back());
    }
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}
