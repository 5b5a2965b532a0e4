// The acceptance test's eyes inside Wine: reads what a person or a screen reader would read of the running
// program (windows, message boxes, accessible objects, the clipboard) and what the machine itself holds.
//
// It serves one command per line on stdin (fields separated by tabs) and answers with JSON lines, the last of
// each answer being {"end":...}:
//   window CLASS                      the top-level window of that class
//   windows PID                       every visible top-level window of the process (0: all), dialogs' children too
//   dump HWND ROLE NAME DEPTH [details|basic [N]]
//                                     the first accessible object of that role and name (0 and empty: any) in
//                                     the window, and its children down to DEPTH (only the first N of its own)
//   clipboard, clear-clipboard        the clipboard's text; emptying it
//   processes, services               the system's process list and service list
//   options, set-option NAME sz|dword VALUE, delete-options
//                                     HKEY_CURRENT_USER\Software\Quarrow\Options
//   quit
#include <oleacc.h>
#include <tlhelp32.h>
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace
{

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
    {
        return std::string();
    }
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring Wide(const std::string& bytes)
{
    if (bytes.empty())
    {
        return std::wstring();
    }
    int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

std::string Quoted(const std::wstring& text)
{
    std::string out = "\"";
    for (unsigned char ch : Utf8(text))
    {
        switch (ch)
        {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (ch < 0x20)
            {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\u%04x", ch);
                out += escaped;
            }
            else
            {
                out += static_cast<char>(ch);
            }
        }
    }
    return out + "\"";
}

// Written whole, unbuffered: the driver reads the pipe line by line while the probe waits for the next command.
void Emit(const std::string& line)
{
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void End(bool ok, const std::wstring& error = std::wstring())
{
    Emit(std::string("{\"end\":true,\"ok\":") + (ok ? "true" : "false") + ",\"error\":" + Quoted(error) + "}");
}

std::string RectFields(const RECT& rect)
{
    return "\"x\":" + std::to_string(rect.left) + ",\"y\":" + std::to_string(rect.top) +
           ",\"w\":" + std::to_string(rect.right - rect.left) + ",\"h\":" + std::to_string(rect.bottom - rect.top);
}

std::wstring WindowText(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// ---------------------------------------------------------------------------------------------------------------
// Windows and message boxes

struct TopWindows
{
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM data)
{
    auto* top = reinterpret_cast<TopWindows*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (IsWindowVisible(window) && (top->process == 0 || owner == top->process))
    {
        top->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK EmitChild(HWND window, LPARAM)
{
    RECT rect;
    GetWindowRect(window, &rect);
    Emit("{\"child\":true,\"class\":" + Quoted(ClassOf(window)) + ",\"text\":" + Quoted(WindowText(window)) +
         ",\"visible\":" + (IsWindowVisible(window) ? "true" : "false") + "," + RectFields(rect) + "}");
    return TRUE;
}

void EmitWindow(HWND window, bool children)
{
    RECT rect;
    GetWindowRect(window, &rect);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    HWND owner = GetWindow(window, GW_OWNER);
    Emit("{\"hwnd\":" + std::to_string(reinterpret_cast<uintptr_t>(window)) + ",\"pid\":" + std::to_string(process) +
         ",\"class\":" + Quoted(ClassOf(window)) + ",\"title\":" + Quoted(WindowText(window)) +
         ",\"enabled\":" + (IsWindowEnabled(window) ? "true" : "false") +
         ",\"owner\":" + std::to_string(reinterpret_cast<uintptr_t>(owner)) + "," + RectFields(rect) + "}");
    if (children)
    {
        EnumChildWindows(window, EmitChild, 0);
    }
}

// Every visible top-level window of a process (0: of every process), with the child windows of dialogs (the
// system's message boxes are dialogs whose text is a static child).
void ListWindows(DWORD process)
{
    TopWindows top{process, {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&top));
    for (HWND window : top.found)
    {
        EmitWindow(window, ClassOf(window) == L"#32770");
    }
    End(true);
}

void FindTopWindow(const std::wstring& className)
{
    HWND window = FindWindowW(className.c_str(), nullptr);
    if (window == nullptr)
    {
        End(false, L"no window of class " + className);
        return;
    }
    EmitWindow(window, false);
    End(true);
}

// ---------------------------------------------------------------------------------------------------------------
// Accessible objects, as a screen reader walks them

VARIANT ChildId(long child)
{
    VARIANT id;
    VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = child;
    return id;
}

std::wstring TextOf(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long child)
{
    BSTR text = nullptr;
    if ((object->*get)(ChildId(child), &text) != S_OK || text == nullptr)
    {
        return std::wstring();
    }
    std::wstring copy(text, SysStringLen(text));
    SysFreeString(text);
    return copy;
}

long NumberOf(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), long child)
{
    VARIANT value;
    VariantInit(&value);
    if ((object->*get)(ChildId(child), &value) != S_OK)
    {
        return -1;
    }
    long number = value.vt == VT_I4 ? value.lVal : -1;
    VariantClear(&value);
    return number;
}

IAccessible* ChildObject(IAccessible* parent, long child)
{
    IDispatch* dispatch = nullptr;
    if (parent->get_accChild(ChildId(child), &dispatch) != S_OK || dispatch == nullptr)
    {
        return nullptr;
    }
    IAccessible* object = nullptr;
    dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&object));
    dispatch->Release();
    return object;
}

// What a dump reads of each object: every question is a call into the program, so only those asked for.
struct Questions
{
    bool details = false;   // description, keyboard shortcut and default action besides role, state, name, value
    long firstChildren = 0; // the first children of the object found only (a grid's header row); 0: all
};

void EmitAccessible(IAccessible* object, long child, int depth, bool isObject, const Questions& questions)
{
    long x = 0, y = 0, w = 0, h = 0;
    object->accLocation(&x, &y, &w, &h, ChildId(child));
    std::string line = "{\"d\":" + std::to_string(depth) + ",\"obj\":" + (isObject ? "true" : "false") +
                       ",\"role\":" + std::to_string(NumberOf(object, &IAccessible::get_accRole, child)) +
                       ",\"state\":" + std::to_string(NumberOf(object, &IAccessible::get_accState, child)) +
                       ",\"name\":" + Quoted(TextOf(object, &IAccessible::get_accName, child)) +
                       ",\"value\":" + Quoted(TextOf(object, &IAccessible::get_accValue, child));
    if (questions.details)
    {
        line += ",\"desc\":" + Quoted(TextOf(object, &IAccessible::get_accDescription, child)) +
                ",\"key\":" + Quoted(TextOf(object, &IAccessible::get_accKeyboardShortcut, child)) +
                ",\"action\":" + Quoted(TextOf(object, &IAccessible::get_accDefaultAction, child));
    }
    Emit(line + ",\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) + ",\"w\":" + std::to_string(w) +
         ",\"h\":" + std::to_string(h) + "}");
}

void DumpSubtree(IAccessible* object, int depth, int maxDepth, const Questions& questions)
{
    EmitAccessible(object, CHILDID_SELF, depth, true, questions);
    if (depth >= maxDepth)
    {
        return;
    }
    long count = 0;
    object->get_accChildCount(&count);
    if (depth == 0 && questions.firstChildren > 0 && questions.firstChildren < count)
    {
        count = questions.firstChildren;
    }
    for (long i = 1; i <= count; i++)
    {
        if (IAccessible* child = ChildObject(object, i))
        {
            DumpSubtree(child, depth + 1, maxDepth, questions);
            child->Release();
        }
        else
        {
            EmitAccessible(object, i, depth + 1, false, questions);
        }
    }
}

// The first object at or below object, depth first, whose role (0: any) and name (empty: any) match; a new
// reference or null.
IAccessible* FindObject(IAccessible* object, long role, const std::wstring& name)
{
    if ((role == 0 || NumberOf(object, &IAccessible::get_accRole, CHILDID_SELF) == role) &&
        (name.empty() || TextOf(object, &IAccessible::get_accName, CHILDID_SELF) == name))
    {
        object->AddRef();
        return object;
    }
    long count = 0;
    object->get_accChildCount(&count);
    for (long i = 1; i <= count; i++)
    {
        IAccessible* child = ChildObject(object, i);
        if (child == nullptr)
        {
            continue;
        }
        IAccessible* found = FindObject(child, role, name);
        child->Release();
        if (found != nullptr)
        {
            return found;
        }
    }
    return nullptr;
}

void DumpAccessible(HWND window, long role, const std::wstring& name, int maxDepth, const Questions& questions)
{
    IAccessible* root = nullptr;
    HRESULT result = AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&root));
    if (result != S_OK || root == nullptr)
    {
        End(false, L"no accessible object for the window");
        return;
    }
    IAccessible* found = FindObject(root, role, name);
    root->Release();
    if (found == nullptr)
    {
        End(false, L"no accessible object named " + name);
        return;
    }
    DumpSubtree(found, 0, maxDepth, questions);
    found->Release();
    End(true);
}

// ---------------------------------------------------------------------------------------------------------------
// Clipboard, processes, services, registry

void ReadClipboard()
{
    // The program that copied may still hold the clipboard open for a moment.
    for (int attempt = 0; attempt < 50; attempt++)
    {
        if (OpenClipboard(nullptr))
        {
            std::wstring text;
            bool hasText = false;
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
            {
                if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data)))
                {
                    text = chars;
                    hasText = true;
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
            Emit("{\"has\":" + std::string(hasText ? "true" : "false") + ",\"text\":" + Quoted(text) + "}");
            End(true);
            return;
        }
        Sleep(20);
    }
    End(false, L"the clipboard stayed open");
}

void EmptyTheClipboard()
{
    for (int attempt = 0; attempt < 50; attempt++)
    {
        if (OpenClipboard(nullptr))
        {
            EmptyClipboard();
            CloseClipboard();
            End(true);
            return;
        }
        Sleep(20);
    }
    End(false, L"the clipboard stayed open");
}

void ListProcesses()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    {
        Emit("{\"pid\":" + std::to_string(entry.th32ProcessID) + ",\"name\":" + Quoted(entry.szExeFile) + "}");
    }
    CloseHandle(snapshot);
    Emit("{\"self\":" + std::to_string(GetCurrentProcessId()) + "}");
    End(true);
}

void ListServices()
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
    if (manager == nullptr)
    {
        End(false, L"no service manager");
        return;
    }
    DWORD needed = 0, count = 0, resume = 0;
    EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_TYPE_ALL, SERVICE_STATE_ALL, nullptr, 0, &needed,
                          &count, &resume, nullptr);
    std::vector<BYTE> buffer(needed + 1024);
    resume = 0;
    if (!EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_TYPE_ALL, SERVICE_STATE_ALL, buffer.data(),
                               static_cast<DWORD>(buffer.size()), &needed, &count, &resume, nullptr))
    {
        CloseServiceHandle(manager);
        End(false, L"the services could not be listed");
        return;
    }
    const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    for (DWORD i = 0; i < count; i++)
    {
        DWORD startType = 0xFFFFFFFF;
        if (SC_HANDLE service = OpenServiceW(manager, services[i].lpServiceName, SERVICE_QUERY_CONFIG))
        {
            DWORD size = 0;
            QueryServiceConfigW(service, nullptr, 0, &size);
            std::vector<BYTE> config(size + 64);
            if (QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                                    static_cast<DWORD>(config.size()), &size))
            {
                startType = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->dwStartType;
            }
            CloseServiceHandle(service);
        }
        Emit("{\"name\":" + Quoted(services[i].lpServiceName) +
             ",\"type\":" + std::to_string(services[i].ServiceStatusProcess.dwServiceType) +
             ",\"state\":" + std::to_string(services[i].ServiceStatusProcess.dwCurrentState) +
             ",\"start\":" + std::to_string(startType) + "}");
    }
    CloseServiceHandle(manager);
    End(true);
}

const wchar_t* const OptionsKey = L"Software\\Quarrow\\Options";

void ReadOptions()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, OptionsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    {
        End(false, L"no options key");
        return;
    }
    for (DWORD index = 0;; index++)
    {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0, size = 0;
        BYTE data[4096] = {};
        size = sizeof(data) - sizeof(wchar_t);
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
        {
            break;
        }
        std::string value = type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data))
                                              : Quoted(reinterpret_cast<const wchar_t*>(data));
        Emit("{\"name\":" + Quoted(name) + ",\"type\":" + std::to_string(type) + ",\"value\":" + value + "}");
    }
    RegCloseKey(key);
    End(true);
}

void WriteOption(const std::wstring& name, const std::wstring& type, const std::wstring& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, OptionsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
    {
        End(false, L"the options key could not be made");
        return;
    }
    LSTATUS status;
    if (type == L"dword")
    {
        DWORD number = static_cast<DWORD>(std::stoul(value));
        status =
            RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    }
    else
    {
        status = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
    End(status == ERROR_SUCCESS, status == ERROR_SUCCESS ? std::wstring() : L"the value could not be written");
}

void DeleteOptions()
{
    LSTATUS status = RegDeleteKeyW(HKEY_CURRENT_USER, OptionsKey);
    End(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND);
}

// ---------------------------------------------------------------------------------------------------------------

std::vector<std::wstring> Fields(const std::wstring& line)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;)
    {
        size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos)
        {
            return fields;
        }
        start = tab + 1;
    }
}

HWND HandleOf(const std::wstring& text)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::stoull(text)));
}

void Serve()
{
    std::string line;
    while (std::getline(std::cin, line))
    {
        if (!line.empty() && line.back() == '\r')
        {
            line.pop_back();
        }
        std::vector<std::wstring> fields = Fields(Wide(line));
        const std::wstring& command = fields[0];
        try
        {
            if (command == L"quit")
            {
                End(true);
                return;
            }
            else if (command == L"window" && fields.size() == 2)
            {
                FindTopWindow(fields[1]);
            }
            else if (command == L"windows" && fields.size() == 2)
            {
                ListWindows(static_cast<DWORD>(std::stoul(fields[1])));
            }
            else if (command == L"dump" && fields.size() >= 5 && fields.size() <= 7)
            {
                Questions questions;
                questions.details = fields.size() >= 6 && fields[5] == L"details";
                questions.firstChildren = fields.size() == 7 ? std::stol(fields[6]) : 0;
                DumpAccessible(HandleOf(fields[1]), std::stol(fields[2]), fields[3], std::stoi(fields[4]), questions);
            }
            else if (command == L"clipboard")
            {
                ReadClipboard();
            }
            else if (command == L"clear-clipboard")
            {
                EmptyTheClipboard();
            }
            else if (command == L"processes")
            {
                ListProcesses();
            }
            else if (command == L"services")
            {
                ListServices();
            }
            else if (command == L"options")
            {
                ReadOptions();
            }
            else if (command == L"set-option" && fields.size() == 4)
            {
                WriteOption(fields[1], fields[2], fields[3]);
            }
            else if (command == L"delete-options")
            {
                DeleteOptions();
            }
            else
            {
                End(false, L"unknown command: " + Wide(line));
            }
        }
        catch (const std::exception&)
        {
            End(false, L"bad arguments: " + Wide(line));
        }
    }
}

} // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Serve();
    CoUninitialize();
    return 0;
}
