// Start-up time: Quarrow.exe (with its options key emptied for the run, so no configuration file: the built-in
// catalogue) against a bare program that opens one window and paints it. Each is started as a new process,
// alternating, and timed until its main thread is idle with the window shown, which for Quarrow is after the
// class tree of the local machine has been built and painted. Best of the rounds each side.
#include <cstdio>
#include <string>
#include <vector>
#include <windows.h>

namespace
{

const wchar_t* const OptionsKey = L"Software\\Quarrow\\Options";

struct WindowSearch
{
    DWORD processId;
    const wchar_t* className; // a window of this class must be visible, or null for any top-level window
    bool found;
};

BOOL CALLBACK FindChild(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    wchar_t name[128];
    if (IsWindowVisible(window) && GetClassNameW(window, name, 128) > 0 && std::wstring(name) == search->className)
    {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindTopLevel(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
    {
        return TRUE;
    }
    if (search->className == nullptr)
    {
        search->found = true;
        return FALSE;
    }
    EnumChildWindows(window, FindChild, parameter);
    return search->found ? FALSE : TRUE;
}

void CloseWindows(DWORD processId)
{
    struct Closer
    {
        static BOOL CALLBACK Close(HWND window, LPARAM parameter)
        {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == static_cast<DWORD>(parameter) && IsWindowVisible(window))
            {
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
            return TRUE;
        }
    };
    EnumWindows(Closer::Close, static_cast<LPARAM>(processId));
}

// Milliseconds from the start of the process until it is idle with the awaited window visible; negative on
// failure.
double TimeStart(const std::wstring& program, const wchar_t* awaitedClass)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + program + L"\"";
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
    {
        return -1;
    }
    WindowSearch search{process.dwProcessId, awaitedClass, false};
    DWORD deadline = GetTickCount() + 60000;
    while (!search.found && GetTickCount() < deadline)
    {
        WaitForInputIdle(process.hProcess, 100);
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
        if (!search.found)
        {
            Sleep(1);
        }
    }
    // Idle once more: the window found may still have its first paint queued.
    WaitForInputIdle(process.hProcess, 10000);
    QueryPerformanceCounter(&end);
    CloseWindows(process.dwProcessId);
    if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0)
    {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return search.found ? 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart : -1;
}

std::wstring Beside(const wchar_t* relative)
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder = folder.substr(0, folder.find_last_of(L"\\/") + 1);
    return folder + relative;
}

// The user's options, put back after the run.
struct SavedValue
{
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<SavedValue> SaveAndClearOptions()
{
    std::vector<SavedValue> saved;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, OptionsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    {
        return saved;
    }
    for (DWORD index = 0;; index++)
    {
        wchar_t name[256];
        DWORD nameLength = 256;
        BYTE data[4096];
        DWORD dataLength = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS)
        {
            break;
        }
        saved.push_back({std::wstring(name, nameLength), type, std::vector<BYTE>(data, data + dataLength)});
    }
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, OptionsKey);
    return saved;
}

void RestoreOptions(const std::vector<SavedValue>& saved)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, OptionsKey);
    if (saved.empty())
    {
        return;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, OptionsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
    {
        return;
    }
    for (const SavedValue& value : saved)
    {
        RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    }
    RegCloseKey(key);
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    std::wstring quarrow = Beside(L"..\\..\\app\\Quarrow.exe");
    std::wstring bare = Beside(L"bench_bare_window.exe");
    std::vector<SavedValue> saved = SaveAndClearOptions();
    double bestQuarrow = 1e300;
    double bestBare = 1e300;
    for (int round = 0; round < rounds; round++)
    {
        double b = TimeStart(bare, nullptr);
        // The options are written back by Quarrow at its end; every round starts without them.
        RegDeleteTreeW(HKEY_CURRENT_USER, OptionsKey);
        double q = TimeStart(quarrow, L"Core.Controls.TreeView");
        RegDeleteTreeW(HKEY_CURRENT_USER, OptionsKey);
        std::printf("round %d: Quarrow %.1f ms, bare window %.1f ms\n", round + 1, q, b);
        if (q >= 0 && q < bestQuarrow)
        {
            bestQuarrow = q;
        }
        if (b >= 0 && b < bestBare)
        {
            bestBare = b;
        }
    }
    RestoreOptions(saved);
    if (bestQuarrow > 1e299 || bestBare > 1e299)
    {
        std::printf("a program did not show its window\n");
        return 1;
    }
    std::printf("best: Quarrow %.1f ms, bare window %.1f ms\n", bestQuarrow, bestBare);
    std::printf("RESULT startup-vs-bare-window %.2f\n", bestQuarrow / bestBare);
    return 0;
}
