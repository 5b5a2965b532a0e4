// The system's file and folder dialogs: open-file and save-file with a filter in the usual pairs form
// ("XML Files (*.xml*)|*.xml|All Files (*.*)|*.*"), and a folder browser. They go through the Desktop
// seam, so tests answer them.
#pragma once

#include "core/Object.h"
#include "core/String.h"

namespace Core::Controls
{

class Control;

class CommonDialog : public Object
{
public:
    void SetTitle(const String& title) { m_title = title; }
    // Descriptions and patterns alternating, separated by "|"; every description needs its pattern.
    void SetFilter(const String& filter);
    const String& GetFilter() const { return m_filter; }
    // The pair shown first, counted from 1; after OK the pair the user chose.
    void SetFilterIndex(int index) { m_filterIndex = index; }
    int GetFilterIndex() const { return m_filterIndex; }
    // The file shown at the start; after OK the chosen file.
    void SetFileName(const String& fileName) { m_fileName = fileName; }
    const String& GetFileName() const { return m_fileName; }
    void SetInitialDirectory(const String& directory) { m_initialDirectory = directory; }
    void SetDefaultExtension(const String& extension) { m_defaultExtension = extension; }
    // Open: whether only existing files can be chosen; save: whether replacing one is confirmed.
    void SetCheckExisting(bool check) { m_checkExisting = check; }
    // The folder the browser starts at; after OK the chosen folder.
    void SetSelectedPath(const String& path) { m_selectedPath = path; }
    const String& GetSelectedPath() const { return m_selectedPath; }

    // Each returns DialogResult::OK when the user chose, else DialogResult::Cancel; a failing file
    // dialog reports "Error occurred in File dialog.". The owner may be null.
    int ShowOpenFileDialog(Control* owner);
    int ShowSaveFileDialog(Control* owner);
    int ShowFolderDialog(Control* owner);

private:
    int ShowFileDialog(Control* owner, bool save);

    String m_title;
    String m_filter;
    int m_filterIndex = 1;
    String m_fileName;
    String m_initialDirectory;
    String m_defaultExtension;
    String m_selectedPath;
    bool m_checkExisting = true;
};

} // namespace Core::Controls
