#include "core/controls/CommonDialog.h"

#include "core/Exception.h"
#include "core/controls/Control.h"
#include "core/controls/Window.h"
#include "core/platform/windows/Desktop.h"

namespace Core::Controls
{

namespace
{

using Platform::Windows::Desktop;

void* OwnerWindow(Control* owner)
{
    return owner != nullptr ? owner->GetTopLevelControl()->GetHandle() : nullptr;
}

// "a|b|c|d" as the system wants it: "a\0b\0c\0d\0\0".
String NativeFilter(const String& filter)
{
    if (filter.IsEmpty())
    {
        return String();
    }
    String native;
    for (int i = 0; i < filter.GetLength(); i++)
    {
        native += filter[i] == L'|' ? L'\0' : filter[i];
    }
    native += L'\0';
    native += L'\0';
    return native;
}

} // namespace

void CommonDialog::SetFilter(const String& filter)
{
    int separators = 0;
    for (int i = 0; i < filter.GetLength(); i++)
    {
        separators += filter[i] == L'|' ? 1 : 0;
    }
    if (!filter.IsEmpty() && separators % 2 == 0)
    {
        throw ArgumentException(String(L"CommonDialog.SetFilter method - every description needs a pattern: ") +
                                filter);
    }
    m_filter = filter;
}

int CommonDialog::ShowFileDialog(Control* owner, bool save)
{
    Platform::Windows::FileDialogRequest request;
    request.owner = OwnerWindow(owner);
    request.save = save;
    request.title = m_title;
    request.filter = NativeFilter(m_filter);
    request.filterIndex = m_filterIndex;
    request.initialDirectory = m_initialDirectory;
    request.fileName = m_fileName;
    request.defaultExtension = m_defaultExtension;
    request.checkExisting = m_checkExisting;
    int outcome = Desktop::Current().ShowFileDialog(request);
    if (outcome == Desktop::DialogFailed)
    {
        throw Exception(String(L"Error occurred in File dialog."));
    }
    if (outcome != Desktop::DialogChosen)
    {
        return DialogResult::Cancel;
    }
    m_fileName = request.fileName;
    m_filterIndex = request.filterIndex;
    return DialogResult::OK;
}

int CommonDialog::ShowOpenFileDialog(Control* owner)
{
    return ShowFileDialog(owner, false);
}

int CommonDialog::ShowSaveFileDialog(Control* owner)
{
    return ShowFileDialog(owner, true);
}

int CommonDialog::ShowFolderDialog(Control* owner)
{
    Platform::Windows::FolderDialogRequest request;
    request.owner = OwnerWindow(owner);
    request.title = m_title;
    request.initialPath = m_selectedPath;
    if (Desktop::Current().BrowseForFolder(request) != Desktop::DialogChosen)
    {
        return DialogResult::Cancel;
    }
    m_selectedPath = request.path;
    return DialogResult::OK;
}

} // namespace Core::Controls
