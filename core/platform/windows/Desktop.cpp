#include "core/platform/windows/Desktop.h"

#include "core/io/SystemError.h"
#include "core/platform/windows/SystemFunction.h"

#include <windows.h>

#include <cderr.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

namespace Core::Platform::Windows
{

namespace
{

const wchar_t* NullIfEmpty(const String& text)
{
    return text.IsEmpty() ? nullptr : text.GetBuffer();
}

// The shell and the common dialogs (SystemFunction) are loaded the first time they are wanted: mapping them at
// start-up costs more than the rest of the program's libraries together, and most sessions never open a dialog.

class SystemDesktop : public Desktop
{
public:
    int ShowMessage(void* owner, const String& text, const String& caption, unsigned int style) override
    {
        // A window not shown yet (a dialog telling of a problem while it loads) would take its message box out
        // of sight with it and leave the user before a window that answers nothing: the nearest shown owner
        // holds the box instead.
        HWND holder = static_cast<HWND>(owner);
        while (holder != nullptr && !IsWindowVisible(holder))
        {
            holder = GetWindow(holder, GW_OWNER);
        }
        return MessageBoxW(holder, text.GetBuffer(), caption.GetBuffer(), style);
    }

    intptr_t Execute(void* owner, const String& operation, const String& file, const String& parameters,
                     const String& directory, int showCommand) override
    {
        auto* shellExecute = SystemFunction<decltype(&ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
        if (shellExecute == nullptr)
        {
            return SE_ERR_DLLNOTFOUND;
        }
        HINSTANCE result = shellExecute(static_cast<HWND>(owner), NullIfEmpty(operation), file.GetBuffer(),
                                        NullIfEmpty(parameters), NullIfEmpty(directory), showCommand);
        return reinterpret_cast<intptr_t>(result);
    }

    int ShowFileDialog(FileDialogRequest& request) override
    {
        // Room for a long path; a longer choice fails with FNERR_BUFFERTOOSMALL.
        std::vector<wchar_t> buffer(32768, L'\0');
        int copied = request.fileName.GetLength() < 32767 ? request.fileName.GetLength() : 32767;
        for (int i = 0; i < copied; i++)
        {
            buffer[static_cast<size_t>(i)] = request.fileName[i];
        }
        OPENFILENAMEW dialog = {};
        dialog.lStructSize = sizeof(dialog);
        dialog.hwndOwner = static_cast<HWND>(request.owner);
        dialog.lpstrFilter = NullIfEmpty(request.filter);
        dialog.nFilterIndex = static_cast<DWORD>(request.filterIndex);
        dialog.lpstrFile = buffer.data();
        dialog.nMaxFile = static_cast<DWORD>(buffer.size());
        dialog.lpstrInitialDir = NullIfEmpty(request.initialDirectory);
        dialog.lpstrTitle = NullIfEmpty(request.title);
        dialog.lpstrDefExt = NullIfEmpty(request.defaultExtension);
        dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
        if (request.checkExisting)
        {
            dialog.Flags |= request.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;
        }
        auto* show = SystemFunction<decltype(&GetOpenFileNameW)>(L"comdlg32.dll", request.save ? "GetSaveFileNameW"
                                                                                               : "GetOpenFileNameW");
        auto* extendedError = SystemFunction<decltype(&CommDlgExtendedError)>(L"comdlg32.dll", "CommDlgExtendedError");
        if (show == nullptr || extendedError == nullptr)
        {
            request.errorCode = CDERR_INITIALIZATION;
            return DialogFailed;
        }
        if (show(&dialog))
        {
            request.fileName = String(buffer.data());
            request.filterIndex = static_cast<int>(dialog.nFilterIndex);
            return DialogChosen;
        }
        request.errorCode = extendedError();
        return request.errorCode == 0 ? DialogCancelled : DialogFailed;
    }

    int BrowseForFolder(FolderDialogRequest& request) override
    {
        wchar_t display[MAX_PATH] = {};
        BROWSEINFOW browse = {};
        browse.hwndOwner = static_cast<HWND>(request.owner);
        browse.pszDisplayName = display;
        browse.lpszTitle = NullIfEmpty(request.title);
        // The classic dialog: the newer one needs a single-threaded apartment, the program runs in the MTA.
        browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX;
        browse.lpfn = &SelectInitialFolder;
        browse.lParam = reinterpret_cast<LPARAM>(request.initialPath.GetBuffer());
        auto* browseForFolder = SystemFunction<decltype(&SHBrowseForFolderW)>(L"shell32.dll", "SHBrowseForFolderW");
        auto* pathFromList = SystemFunction<decltype(&SHGetPathFromIDListW)>(L"shell32.dll", "SHGetPathFromIDListW");
        if (browseForFolder == nullptr || pathFromList == nullptr)
        {
            return DialogCancelled;
        }
        PIDLIST_ABSOLUTE list = browseForFolder(&browse);
        if (list == nullptr)
        {
            return DialogCancelled;
        }
        wchar_t path[MAX_PATH] = {};
        BOOL hasPath = pathFromList(list, path);
        CoTaskMemFree(list);
        if (!hasPath)
        {
            // A virtual folder (Control Panel, a printer) has no path to give.
            return DialogCancelled;
        }
        request.path = String(path);
        return DialogChosen;
    }

private:
    static int CALLBACK SelectInitialFolder(HWND window, UINT message, LPARAM, LPARAM data)
    {
        const auto* initial = reinterpret_cast<const wchar_t*>(data);
        if (message == BFFM_INITIALIZED && initial != nullptr && initial[0] != 0)
        {
            SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
        }
        return 0;
    }
};

SystemDesktop systemDesktop;
Desktop* installed = nullptr; // not owned

} // namespace

Desktop& Desktop::Current()
{
    return installed != nullptr ? *installed : systemDesktop;
}

Desktop* Desktop::Install(Desktop* desktop)
{
    Desktop* previous = installed;
    installed = desktop;
    return previous;
}

String GetLaunchFailureText(intptr_t result)
{
    // Below 26 the launch's results are the system's error codes; above, its own.
    switch (result)
    {
    case 26:
        return String(L"A sharing violation occurred.");
    case 27:
    case 31:
        return String(L"No program is associated with this kind of file.");
    case 28:
    case 29:
    case 30:
        return String(L"The program did not answer the request to open the file.");
    case 32:
        return String(L"A library the program needs was not found.");
    default:
    {
        String text = result == 0 ? String(L"The system is out of memory or resources.")
                                  : Core::IO::GetErrorText(static_cast<unsigned long>(result));
        // The system's texts end with a line break.
        while (!text.IsEmpty() && (text[text.GetLength() - 1] == L'\n' || text[text.GetLength() - 1] == L'\r'))
        {
            text = text.Substring(0, text.GetLength() - 1);
        }
        return text;
    }
    }
}

} // namespace Core::Platform::Windows
