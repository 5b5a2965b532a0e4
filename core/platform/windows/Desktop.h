// The one seam for calls that wait for a person or start another program: message boxes, launching a
// program or document, file and folder dialogs. The program uses the system's; tests install their own
// to see exactly what the user would have seen and answer for the user.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace Core::Platform::Windows
{

// What an open-file or save-file dialog is asked; the answer comes back in fileName and filterIndex.
struct FileDialogRequest
{
    void* owner = nullptr;
    bool save = false;
    String title;
    // Pairs of description and pattern, each followed by a NUL, the whole ended by another NUL.
    String filter;
    int filterIndex = 1;
    String initialDirectory;
    String fileName;
    String defaultExtension;
    // Open: only an existing file can be chosen. Save: an existing file is confirmed before it is replaced.
    bool checkExisting = true;
    unsigned long errorCode = 0; // CommDlgExtendedError when the dialog failed
};

struct FolderDialogRequest
{
    void* owner = nullptr;
    String title;
    String initialPath;
    String path; // the chosen folder
};

class Desktop
{
public:
    static constexpr int DialogFailed = -1;
    static constexpr int DialogCancelled = 0;
    static constexpr int DialogChosen = 1;

    virtual ~Desktop() = default;

    // MessageBoxW: returns the pressed button (1 OK, 6 Yes, 7 No, ...).
    virtual int ShowMessage(void* owner, const String& text, const String& caption, unsigned int style) = 0;
    // ShellExecuteW: returns its result (greater than 32 on success).
    virtual intptr_t Execute(void* owner, const String& operation, const String& file, const String& parameters,
                             const String& directory, int showCommand) = 0;

    // GetOpenFileNameW or GetSaveFileNameW: DialogChosen, DialogCancelled, or DialogFailed with the error code.
    virtual int ShowFileDialog(FileDialogRequest& request) = 0;
    // SHBrowseForFolderW and SHGetPathFromIDListW: DialogChosen with the path, or DialogCancelled.
    virtual int BrowseForFolder(FolderDialogRequest& request) = 0;

    // The desktop in use: the system's unless a test installed another.
    static Desktop& Current();
    // Installs desktop (not owned) and returns the previous one; null restores the system's.
    static Desktop* Install(Desktop* desktop);
};

// The reason a launch by Execute failed, from its result (32 or less).
String GetLaunchFailureText(intptr_t result);

// Installs a desktop for the lifetime of the scope.
class DesktopScope
{
public:
    explicit DesktopScope(Desktop* desktop) : m_previous(Desktop::Install(desktop)) {}
    ~DesktopScope() { Desktop::Install(m_previous); }
    DesktopScope(const DesktopScope&) = delete;
    DesktopScope& operator=(const DesktopScope&) = delete;

private:
    Desktop* m_previous; // not owned
};

} // namespace Core::Platform::Windows
