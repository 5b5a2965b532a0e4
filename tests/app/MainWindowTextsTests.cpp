// The fixed texts a person reads in the main window and its dialogs, each compared with a hand-written literal:
// menus, toolbar tips, status texts of a load, the window itself, the class view, and the three dialogs.
#include "app/AboutForm.h"
#include "app/MainForm.h"
#include "app/options/OptionsForm.h"
#include "core/controls/Button.h"
#include "core/controls/CheckBox.h"
#include "core/controls/ComboBox.h"
#include "core/controls/Label.h"
#include "core/controls/LinkLabel.h"
#include "core/controls/StatusBar.h"
#include "core/controls/TextBox.h"
#include "core/platform/windows/RegistryKey.h"
#include "core/threading/BackgroundWork.h"

#include "tests/app/AppTesting.h"
#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/AccessibleClient.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedWmi.h"
#include "tests/support/TempDirectory.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

#include <wbemidl.h>

using namespace Core::Controls;
using Core::String;
using Quarrow::MainForm;
namespace Command = Quarrow::Command;

namespace
{

const wchar_t* const KeyPath = L"Software\\QuarrowTests\\MainWindowTexts";

using namespace AppTesting;

template <typename T> std::vector<std::wstring> Texts(const std::vector<T*>& controls)
{
    std::vector<std::wstring> texts;
    for (T* control : controls)
    {
        texts.push_back(W(control->GetText()));
    }
    return texts;
}

// The outer size of a window, in pixels.
SIZE WindowSize(void* window)
{
    RECT rect = {};
    GetWindowRect(static_cast<HWND>(window), &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// The dialog that command opens, looked at while it shows; Esc closes it afterwards.
void LookAtDialog(MainForm& form, int command, const wchar_t* className, std::function<void(HWND)> look)
{
    WhenVisible(className,
                [look](HWND window)
                {
                    look(window);
                    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 1);
                });
    form.RunCommand(command);
    EXPECT_FALSE(static_cast<bool>(pendingAction)) << "the dialog never showed";
    pendingAction = nullptr;
}

// Called every 5 ms from a timer while a test watches the status bar.
std::function<void()> tick;

void CALLBACK RunTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (tick)
    {
        tick();
    }
}

// Calls back after every Progress of a class, after the window's own handler has set the status.
class ProgressRecorder : public Core::EventHandler<WMI::LoadEventArgs>
{
public:
    explicit ProgressRecorder(std::function<void()> record) : m_record(std::move(record)) {}
    void Invoke(Core::Object*, WMI::LoadEventArgs&) override { m_record(); }

private:
    std::function<void()> m_record;
};

class MainWindowTextsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
        Testing::DropEndMessages();
        provider = std::make_unique<ScriptedWmi::Provider>();
        ScriptedWmi::ClassScript& process =
            provider->AddClass(L"Win32_Process", {{L"Name", CIM_STRING}, {L"ProcessId", CIM_UINT32}});
        ScriptedWmi::AddInstances(process, 120,
                                  [](int index, int property) {
                                      return property == 0 ? ScriptedWmi::Value::Text(L"p" + std::to_wstring(index))
                                                           : ScriptedWmi::Value::Int(index);
                                  });
        ScriptedWmi::ClassScript& thread = provider->AddClass(L"Win32_Thread", {{L"Handle", CIM_STRING}});
        ScriptedWmi::AddInstances(thread, 30,
                                  [](int index, int) { return ScriptedWmi::Value::Text(std::to_wstring(index)); });
        provider->AddClass(L"Win32_ProcessStartup", {{L"Title", CIM_STRING}});
    }
    void TearDown() override
    {
        if (watchTimer != 0)
        {
            KillTimer(nullptr, watchTimer);
        }
        tick = nullptr;
        form.reset();
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath));
        Testing::PumpMessages();
        Testing::DropEndMessages();
        EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(15000));
        provider.reset();
    }

    void Start(bool asyncLoad = true)
    {
        {
            Config::AppOptions options{String(KeyPath)};
            options.SetReportTarget(Config::ReportOnScreen);
            options.SetAsyncLoad(asyncLoad);
            options.SetReportDirectory(reports.GetPath());
            options.SetConfigFile(String());
        }
        form = std::make_unique<MainForm>(String(KeyPath));
        form->SetBounds(0, 0, 800, 600);
        form->Show();
        Testing::PumpMessages();
    }

    TreeNode* Class(const wchar_t* name)
    {
        return Find(form->GetClassTree().GetNodes(), {L"Local Machine", L"Operating System", L"Processes", name});
    }
    void Select(TreeNode* node)
    {
        ASSERT_NE(nullptr, node);
        for (TreeNode* parent = node->GetParent(); parent != nullptr; parent = parent->GetParent())
        {
            parent->Expand();
        }
        Testing::PumpMessages();
        TreeView& tree = form->GetClassTree();
        tree.EnsureVisible(node);
        Testing::PumpMessages();
        Core::Controls::Rectangle text = tree.GetPartBounds(node, TreeViewHitArea::Text);
        Testing::Click(tree, text.left + 2, text.top + text.height / 2);
        // The definition comes back through the loop, and the load follows it.
        ASSERT_TRUE(Testing::PumpUntil([&] { return !form->GetClassView().IsReadingDefinition(); }));
    }
    std::wstring Status(int panel) { return W(form->GetStatusBar().GetPanels()[panel]->GetText()); }

    // Every text panel 0 shows while a load of the class runs, in order, each once; nothing is kept of empty
    // texts. The load's Next calls wait for the watch, so that each batch is seen on its own; whileLoading runs
    // once, from the first look at a running load.
    std::vector<std::wstring> WatchLoad(TreeNode* node, std::function<void()> whileLoading = nullptr)
    {
        std::wstring before = Status(Quarrow::StatusLine::LoadingPanel);
        std::vector<std::wstring> seen;
        auto record = [&]
        {
            std::wstring now = Status(Quarrow::StatusLine::LoadingPanel);
            if (!now.empty() && (seen.empty() || seen.back() != now))
            {
                seen.push_back(now);
            }
        };
        HANDLE nextMayGo = CreateSemaphoreW(nullptr, 0, 1000, nullptr);
        provider->onNext = [nextMayGo](int) { WaitForSingleObject(nextMayGo, 10000); };
        WMI::ManagementObject* watched = nullptr;
        bool started = false;
        auto startNext = [&]
        {
            if (!started)
            {
                started = true;
                ReleaseSemaphore(nextMayGo, 1, nullptr);
            }
        };
        ProgressRecorder recorder(
            [&]
            {
                record();
                ReleaseSemaphore(nextMayGo, 1, nullptr);
            });
        tick = [&]
        {
            record();
            if (watched != nullptr)
            {
                // Again while whileLoading waits: the first batch may come now.
                startNext();
                return;
            }
            WMI::ManagementObject* loading = form->GetCurrentClass();
            if (loading == nullptr || !loading->IsLoading())
            {
                return;
            }
            // The window's own handler is subscribed by now: the recorder comes after it.
            watched = loading;
            watched->Progress.Subscribe(&recorder);
            if (whileLoading)
            {
                // Before the first batch may come, so that the action finds the load where it began.
                whileLoading();
                record();
            }
            startNext();
        };
        watchTimer = SetTimer(nullptr, 0, 5, RunTick);
        Select(node);
        KillTimer(nullptr, watchTimer);
        watchTimer = 0;
        tick = nullptr;
        record();
        if (watched != nullptr)
        {
            watched->Progress.Unsubscribe(&recorder);
        }
        provider->onNext = nullptr;
        CloseHandle(nextMayGo);
        // The text of the load before, seen while the click was on its way.
        if (!seen.empty() && seen.front() == before)
        {
            seen.erase(seen.begin());
        }
        return seen;
    }

    Testing::RecordingDesktop desktop;
    Testing::TempDirectory reports;
    std::unique_ptr<ScriptedWmi::Provider> provider;
    std::unique_ptr<MainForm> form;
    UINT_PTR watchTimer = 0;
};

// Quarrow.exe keeps its options under the user's key: they are put aside for a run of the program and put back.
class OptionsSetAside
{
public:
    OptionsSetAside()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, Backup);
        m_saved = Copy(Config::AppOptions::DefaultKeyPath, Backup);
        RegDeleteTreeW(HKEY_CURRENT_USER, Config::AppOptions::DefaultKeyPath);
    }
    ~OptionsSetAside()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, Config::AppOptions::DefaultKeyPath);
        if (m_saved)
        {
            Copy(Backup, Config::AppOptions::DefaultKeyPath);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, Backup);
    }
    OptionsSetAside(const OptionsSetAside&) = delete;
    OptionsSetAside& operator=(const OptionsSetAside&) = delete;

private:
    static constexpr const wchar_t* Backup = L"Software\\QuarrowTests\\MainWindowTextsSavedOptions";

    static bool Copy(const wchar_t* from, const wchar_t* to)
    {
        HKEY source = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, from, 0, KEY_READ, &source) != ERROR_SUCCESS)
        {
            return false;
        }
        HKEY target = nullptr;
        bool copied = false;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr) ==
            ERROR_SUCCESS)
        {
            copied = RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS;
            RegCloseKey(target);
        }
        RegCloseKey(source);
        return copied;
    }

    bool m_saved = false;
};

struct WindowSearch
{
    DWORD process;
    HWND window;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (owner == search->process && IsWindowVisible(window) && std::wstring(name) == L"Quarrow.MainForm")
    {
        search->window = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// The program's window, as Quarrow.exe opens it

// Titled "Quarrow", 800 by 600 pixels, centred in the work area of the primary monitor (a new process has no
// active window to follow); closing it ends the program with exit code 0.
TEST(MainWindowStartTest, QuarrowOpensItsTitledWindowCentredAt800By600)
{
    OptionsSetAside options;
    Testing::TempDirectory folder; // no configuration file there: the built-in catalogue
    wchar_t self[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring program(self, length);
    program = program.substr(0, program.find_last_of(L"\\/") + 1) + L"..\\..\\app\\Quarrow.exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               folder.GetPath().GetBuffer(), &startup, &process))
        << "no program at " << std::string(program.begin(), program.end());

    WindowSearch search{process.dwProcessId, nullptr};
    DWORD deadline = GetTickCount() + 30000;
    while (search.window == nullptr && GetTickCount() < deadline)
    {
        WaitForInputIdle(process.hProcess, 100);
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
    }
    std::wstring title;
    RECT rect = {};
    if (search.window != nullptr)
    {
        wchar_t text[64] = {};
        GetWindowTextW(search.window, text, 64);
        title = text;
        GetWindowRect(search.window, &rect);
        PostMessageW(search.window, WM_CLOSE, 0, 0);
    }
    DWORD exitCode = 1;
    bool ended = WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0;
    if (ended)
    {
        GetExitCodeProcess(process.hProcess, &exitCode);
    }
    else
    {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    ASSERT_NE(nullptr, search.window) << "the main window never showed";
    EXPECT_EQ(L"Quarrow", title);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    int width = MulDiv(800, dpi, 96);
    int height = MulDiv(600, dpi, 96);
    EXPECT_EQ(width, rect.right - rect.left);
    EXPECT_EQ(height, rect.bottom - rect.top);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    EXPECT_EQ(work.left + (work.right - work.left - width) / 2, rect.left);
    EXPECT_EQ(work.top + (work.bottom - work.top - height) / 2, rect.top);
    EXPECT_TRUE(ended);
    EXPECT_EQ(0u, exitCode);
}

// ---------------------------------------------------------------------------------------------------------------
// Menus and toolbar

// One row per menu item: where it is, its text with the mnemonic, the key the mnemonic is, its command, its image
// in the tool images, its shortcut as shown, a separator line above it, and whether it is enabled at start.
TEST_F(MainWindowTextsTest, TheMenusShowEachCommandWithItsMnemonicShortcutAndImage)
{
    struct Row
    {
        std::vector<const wchar_t*> menu; // the texts leading to the item's drop-down
        const wchar_t* text;
        wchar_t mnemonic;
        int command;
        int image;
        const wchar_t* shortcut;
        bool separator;
        bool enabled;
    };
    const Row rows[] = {
        {{L"&Application"},
         L"&Connect to another computer...",
         L'C',
         Command::Connect,
         0,
         L"Ctrl+Shift+C",
         false,
         true},
        {{L"&Application"}, L"&Disconnect", L'D', Command::Disconnect, 1, L"Ctrl+Shift+D", false, false},
        {{L"&Application"}, L"E&xit", L'X', Command::Exit, -1, L"", true, true},
        {{L"&Reports"}, L"E&xport data to...", L'X', -1, -1, L"", false, true},
        {{L"&Reports", L"E&xport data to..."},
         L"&Excel file",
         L'E',
         Command::WorkbookReport,
         4,
         L"Ctrl+Shift+X",
         false,
         true},
        {{L"&Reports", L"E&xport data to..."},
         L"&Comma delimited text file",
         L'C',
         Command::CommaReport,
         3,
         L"Ctrl+Shift+B",
         false,
         true},
        {{L"&Reports", L"E&xport data to..."},
         L"&Tab delimited text file",
         L'T',
         Command::TabReport,
         3,
         L"Ctrl+Shift+E",
         false,
         true},
        {{L"&View"}, L"&Refresh", L'R', Command::Refresh, 7, L"F5", false, false},
        {{L"&View"}, L"&Find...", L'F', Command::Find, 8, L"Ctrl+F", false, true},
        {{L"&View"}, L"Find C&lass...", L'L', Command::FindClass, 8, L"Ctrl+Shift+F", false, true},
        {{L"&View"}, L"Load from &all machines", L'A', Command::LoadAllMachines, 9, L"Ctrl+Shift+A", true, false},
        {{L"&Tools"}, L"&Options...", L'O', Command::Options, -1, L"Ctrl+Shift+O", false, true},
        {{L"&Help"}, L"Online Help", 0, Command::OnlineHelp, -1, L"Ctrl+F1", false, true},
        {{L"&Help"}, L"&About Quarrow...", L'A', Command::About, -1, L"", false, true},
    };
    Start();
    MenuItemCollection& bar = form->GetMainMenu().GetMenuItems();
    auto indexOf = [](MenuItemCollection& items, const wchar_t* text)
    {
        for (int i = 0; i < items.GetCount(); i++)
        {
            if (items[i]->GetText() == String(text))
            {
                return i;
            }
        }
        return -1;
    };

    // The bar's menus keep their order; others may stand between them.
    int previous = -1;
    for (const wchar_t* menu : {L"&Application", L"&Reports", L"&Tools", L"&Help"})
    {
        int at = indexOf(bar, menu);
        ASSERT_NE(-1, at) << "no menu " << std::string(menu, menu + wcslen(menu));
        EXPECT_LT(previous, at) << "menu out of order";
        previous = at;
    }

    MenuItemCollection* lastMenu = nullptr;
    int lastIndex = -1;
    for (const Row& row : rows)
    {
        std::wstring where;
        MenuItemCollection* items = &bar;
        for (const wchar_t* step : row.menu)
        {
            where += std::wstring(step) + L" > ";
            int at = indexOf(*items, step);
            ASSERT_NE(-1, at) << std::string(where.begin(), where.end());
            items = &(*items)[at]->GetMenuItems();
        }
        where += row.text;
        std::string name(where.begin(), where.end());
        int at = indexOf(*items, row.text);
        ASSERT_NE(-1, at) << "no item " << name;
        if (items == lastMenu)
        {
            EXPECT_LT(lastIndex, at) << "out of order: " << name;
        }
        lastMenu = items;
        lastIndex = at;
        MenuItem* item = (*items)[at];
        EXPECT_EQ(row.mnemonic, item->GetMnemonic()) << name;
        EXPECT_EQ(row.command, item->GetCommandId()) << name;
        EXPECT_EQ(row.image, item->GetImageIndex()) << name;
        EXPECT_EQ(row.shortcut, W(item->GetShortcutText())) << name;
        EXPECT_EQ(row.separator, item->HasSeparator()) << name;
        EXPECT_EQ(row.enabled, item->IsEnabled()) << name;
    }
}

// The toolbar's buttons in order, each with its tip, its command and image, a separator before it, and whether it
// is enabled at start: only Connect is.
TEST_F(MainWindowTextsTest, TheToolbarButtonsCarryTheirTipsInOrder)
{
    struct Row
    {
        const wchar_t* tip;
        int command;
        int image;
        bool separator;
        bool enabled;
    };
    const Row rows[] = {
        {L"Connect to computer", Command::Connect, 0, false, true},
        {L"Disconnect", Command::Disconnect, 1, false, false},
        {L"Open report in Notepad", Command::TabReport, 3, true, false},
        {L"Open report in Excel", Command::WorkbookReport, 4, false, false},
        {L"Stop asyncronous data loading", Command::StopLoading, 5, true, false},
        {L"Refresh (F5)", Command::Refresh, 7, false, false},
        {L"Load the class from all machines", Command::LoadAllMachines, 9, true, false},
    };
    Start();
    ToolBarItemCollection& buttons = form->GetToolBar().GetButtons();
    int previous = -1;
    for (const Row& row : rows)
    {
        std::string name(row.tip, row.tip + wcslen(row.tip));
        int at = -1;
        for (int i = 0; i < buttons.GetCount() && at == -1; i++)
        {
            at = buttons[i]->GetCommandId() == row.command ? i : -1;
        }
        ASSERT_NE(-1, at) << "no button " << name;
        EXPECT_LT(previous, at) << "out of order: " << name;
        previous = at;
        EXPECT_EQ(row.tip, W(buttons[at]->GetToolTipText())) << name;
        EXPECT_EQ(row.image, buttons[at]->GetImageIndex()) << name;
        EXPECT_EQ(row.separator, buttons[at]->HasSeparator()) << name;
        EXPECT_EQ(row.enabled, buttons[at]->IsEnabled()) << name;
    }
}

// ---------------------------------------------------------------------------------------------------------------
// The status bar

// What panel 0 says through a load: its start, every batch, the last count, and the end, completed, stopped,
// failed or synchronous; panel 1 says in red that there is no configuration file; panel 2 names the loading mode.
TEST_F(MainWindowTextsTest, TheStatusBarTellsHowALoadGoes)
{
    Start();
    EXPECT_EQ(L"Config file does not exist", Status(Quarrow::StatusLine::ConfigurationPanel));
    EXPECT_EQ(0xFFFF0000u, form->GetStatusBar().GetPanels()[Quarrow::StatusLine::ConfigurationPanel]->GetForeColor());
    EXPECT_EQ(L"Async", Status(Quarrow::StatusLine::LoadingModePanel));

    provider->largestBatch = 50;
    provider->FindClass(L"Win32_Process")->getObjectDelayMilliseconds = 300;
    EXPECT_EQ((std::vector<std::wstring>{L"Reading class definition ...", L"Loading in progress",
                                         L"Loading ...50 records ready", L"Loading ...100 records ready",
                                         L"Loading ...120 records ready", L"Loading is completed. 120 records ready",
                                         L"Loading completed. 120 records"}),
              WatchLoad(Class(L"Win32_Process")));

    // Stop while the first batch is awaited: "Stopping ..." at once, "Loading cancelled. " once the worker ends.
    provider->largestBatch = 10;
    std::vector<std::wstring> stopped =
        WatchLoad(Class(L"Win32_Thread"), [this] { form->RunCommand(Command::StopLoading); });
    if (!stopped.empty() && stopped[0] == L"Reading class definition ...")
    {
        stopped.erase(stopped.begin()); // a definition read slowly enough to be seen
    }
    ASSERT_LE(3u, stopped.size());
    EXPECT_EQ(L"Loading in progress", stopped[0]);
    EXPECT_EQ(L"Stopping ...", stopped[1]);
    EXPECT_EQ(L"Loading cancelled. ", stopped.back());

    provider->failNextOnCall = provider->nextCallCount + 1;
    provider->failNextResult = static_cast<HRESULT>(WBEM_E_INVALID_QUERY);
    Select(Class(L"Win32_ProcessStartup"));
    EXPECT_EQ(L"Loading error occured. The query was not syntactically valid",
              Status(Quarrow::StatusLine::LoadingPanel));
    provider->failNextOnCall = 0;

    // A synchronous load says only that it completed.
    form.reset();
    Start(false);
    EXPECT_EQ(L"Sync", Status(Quarrow::StatusLine::LoadingModePanel));
    Select(Class(L"Win32_Process"));
    EXPECT_EQ(L"Loading completed", Status(Quarrow::StatusLine::LoadingPanel));
}

// ---------------------------------------------------------------------------------------------------------------
// The class view

// The three pages, the Metadata grid's fixed headers, a header per property on the Results page, and the class's
// name above the Metadata grid in dark red Tahoma.
TEST_F(MainWindowTextsTest, TheClassViewNamesItsPagesColumnsAndClass)
{
    Start();
    TabPageCollection& pages = form->GetTabView().GetPages();
    ASSERT_EQ(3, pages.GetCount());
    EXPECT_EQ(L"Results", W(pages[0]->GetTitle()));
    EXPECT_EQ(L"Metadata", W(pages[1]->GetTitle()));
    EXPECT_EQ(L"MOF", W(pages[2]->GetTitle()));
    Grid& metadata = form->GetMetadataGrid();
    ASSERT_EQ(2, metadata.GetColumns().GetCount());
    EXPECT_EQ(L"Property Name", W(metadata.GetHeaderText(0)));
    EXPECT_EQ(300, metadata.GetColumnWidth(0));
    EXPECT_EQ(L"Property Type", W(metadata.GetHeaderText(1)));
    EXPECT_EQ(150, metadata.GetColumnWidth(1));
    EXPECT_EQ(0, form->GetResultsGrid().GetColumns().GetCount());

    Select(Class(L"Win32_Process"));
    Grid& results = form->GetResultsGrid();
    ASSERT_EQ(2, results.GetColumns().GetCount());
    EXPECT_EQ(L"Name", W(results.GetHeaderText(0)));
    EXPECT_EQ(L"ProcessId", W(results.GetHeaderText(1)));
    EXPECT_EQ(200, results.GetColumnWidth(0));
    EXPECT_EQ(200, results.GetColumnWidth(1));
    ASSERT_EQ(2, metadata.GetRows().GetCount());
    EXPECT_EQ(L"Name", W(metadata.GetCellText(0, 0)));
    EXPECT_EQ(L"string", W(metadata.GetCellText(0, 1)));

    Label& label = form->GetClassLabel();
    EXPECT_EQ(L"Win32_Process", W(label.GetText()));
    ASSERT_NE(nullptr, label.GetFont());
    EXPECT_EQ(L"Tahoma", W(label.GetFont()->GetFace()));
    EXPECT_EQ(15, label.GetFont()->GetHeight());
    EXPECT_EQ(400, label.GetFont()->GetWeight());
    EXPECT_EQ(0xFF800000u, label.GetForeColor());
    EXPECT_EQ(25, label.GetBounds().height);
}

// ---------------------------------------------------------------------------------------------------------------
// The dialogs

// The connect dialog: its title and size, the four labels top to bottom, each box's tip as a screen reader reads
// it (the user's tip holds a line feed and a carriage return, in that order), and the two buttons.
TEST_F(MainWindowTextsTest, TheConnectDialogLabelsItsBoxesAndExplainsThem)
{
    Start();
    std::wstring title;
    SIZE size = {};
    std::vector<std::wstring> labels, buttons, tips;
    LookAtDialog(*form, Command::Connect, L"Quarrow.ConnectForm",
                 [&](HWND dialog)
                 {
                     wchar_t text[64] = {};
                     GetWindowTextW(dialog, text, 64);
                     title = text;
                     size = WindowSize(dialog);
                     Control& connect = *form->GetConnectForm();
                     labels = Texts(FindControls<Label>(connect));
                     buttons = Texts(FindControls<Button>(connect));
                     for (TextBox* box : FindControls<TextBox>(connect))
                     {
                         tips.push_back(Testing::Accessible::OfWindow(box->GetHandle()).Description());
                     }
                 });
    EXPECT_EQ(L"Connect to another machine", title);
    EXPECT_EQ(form->GetConnectForm()->Scale(270), size.cx);
    EXPECT_EQ(form->GetConnectForm()->Scale(160), size.cy);
    EXPECT_EQ((std::vector<std::wstring>{L"&Server:", L"&User:", L"&Password:", L"&Domain:"}), labels);
    EXPECT_EQ(
        (std::vector<std::wstring>{
            L"Name of the server to view WMI info.",
            L"Enter your administrative user ID in format Domain\\UserID\n\r or just UserID for current domain.",
            L"Enter your login password.", L"Enter domain name from which to retrieve login security credentials."}),
        tips);
    EXPECT_EQ((std::vector<std::wstring>{L"OK", L"Cancel"}), buttons);
}

// The options dialog: title and size, the two tabs, the labels of both pages, the report targets in order, the
// check box and the buttons.
TEST_F(MainWindowTextsTest, TheOptionsDialogLabelsItsPagesAndChoices)
{
    Start();
    std::wstring title;
    SIZE size = {};
    std::vector<std::wstring> tabs, labels, buttons, targets;
    std::wstring asyncText;
    LookAtDialog(*form, Command::Options, L"Quarrow.OptionsForm",
                 [&](HWND dialog)
                 {
                     wchar_t text[64] = {};
                     GetWindowTextW(dialog, text, 64);
                     title = text;
                     size = WindowSize(dialog);
                     Config::OptionsForm& options = *form->GetOptionsForm();
                     TabPageCollection& pages = options.GetTabView().GetPages();
                     for (int i = 0; i < pages.GetCount(); i++)
                     {
                         tabs.push_back(W(pages[i]->GetTitle()));
                     }
                     labels = Texts(FindControls<Label>(options));
                     buttons = Texts(FindControls<Button>(options));
                     auto& items = options.GetTargetList().GetItems();
                     for (int i = 0; i < items.GetCount(); i++)
                     {
                         targets.push_back(std::to_wstring(items[i]->GetValue()) + L" " + W(items[i]->GetText()));
                     }
                     asyncText = W(options.GetAsyncCheckBox().GetText());
                 });
    EXPECT_EQ(L"Options", title);
    EXPECT_EQ(form->GetOptionsForm()->Scale(800), size.cx);
    EXPECT_EQ(form->GetOptionsForm()->Scale(600), size.cy);
    EXPECT_EQ((std::vector<std::wstring>{L"Reports", L"Configuration Settings"}), tabs);
    // The last one names the selected class's namespace when it is not root\cimv2: none is selected.
    EXPECT_EQ((std::vector<std::wstring>{L"Report &default directory:", L"Report &results:", L"Configuration &File:",
                                         L"Enter filter &text for selected class:", L""}),
              labels);
    EXPECT_EQ(
        (std::vector<std::wstring>{L"1 Displayed on the screen", L"2 Opened in Excel spreadsheet",
                                   L"3 Opened in Notepad (tab delemited)", L"4 Opened in Notepad (comma delemited)"}),
        targets);
    EXPECT_EQ(L"Load data asyncronously", asyncText);
    EXPECT_EQ((std::vector<std::wstring>{L"...", L"...", L"Validate Filter", L"OK", L"Cancel"}), buttons);
}

// The about box: its title and size, then its texts top to bottom.
TEST_F(MainWindowTextsTest, TheAboutBoxShowsNameVersionOwnerSiteAndNotice)
{
    Start();
    std::wstring title;
    SIZE size = {};
    std::vector<std::wstring> labels, buttons;
    LookAtDialog(*form, Command::About, L"Quarrow.AboutForm",
                 [&](HWND dialog)
                 {
                     wchar_t text[64] = {};
                     GetWindowTextW(dialog, text, 64);
                     title = text;
                     size = WindowSize(dialog);
                     // The separator is a label without text.
                     for (const std::wstring& label : Texts(FindControls<Label>(*form->GetAboutForm())))
                     {
                         if (!label.empty())
                         {
                             labels.push_back(label);
                         }
                     }
                     buttons = Texts(FindControls<Button>(*form->GetAboutForm()));
                 });
    EXPECT_EQ(L"About Quarrow", title);
    EXPECT_EQ(form->GetAboutForm()->Scale(600), size.cx);
    EXPECT_EQ(form->GetAboutForm()->Scale(250), size.cy);
    EXPECT_EQ(
        (std::vector<std::wstring>{L"Quarrow", L"Version 1.0.0.0", L"Copyright \u00A9 Quarrow contributors",
                                   L"For more product information please read the user guide:", L"QuarrowGuide.html",
                                   L"This program is provided \"as is\", without warranty of any kind,\r\n"
                                   L"express or implied. You use it at your own risk.\r\n"
                                   L"Windows and Excel are trademarks of Microsoft Corporation."}),
        labels);
    EXPECT_EQ((std::vector<std::wstring>{L"OK"}), buttons);
}
