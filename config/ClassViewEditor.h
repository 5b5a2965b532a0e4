// The class-view configuration as the options dialog edits it: a tree of check boxes loaded from the
// configuration file (or the catalogue), kept consistent as boxes are toggled, and saved back.
// It works on a node collection alone; the dialog's tree view shows the same nodes.
#pragma once

#include "core/String.h"

namespace Core::Controls
{
class TreeNode;
class TreeNodeCollection;
} // namespace Core::Controls

namespace WMI
{
class ClassDefinition;
}

namespace Config
{

class AppOptions;

// What changed in the options dialog; the main window reads these after OK.
enum ChangeFlag
{
    ReportDirectoryChanged = 0x1,
    ReportTargetChanged = 0x2,
    AsyncLoadChanged = 0x4,
    ConfigFileChanged = 0x8,
    ClassViewChanged = 0x10
};

constexpr const wchar_t* InvalidCheckTreeMessage =
    L"Configuration xml file is empty or has invalid structure. If you didn't setup config setting, please do so. "
    L"Cannot build the tree.";
constexpr const wchar_t* CreateConfigurationFailedMessage = L"Error occured while trying to create configuration file";
constexpr const wchar_t* SaveConfigurationFailedMessage = L"Error occured while saving to configuration file";
constexpr const wchar_t* PartlyReadKeptMessage =
    L"The configuration file could not be read completely, so only the part that was read has been saved. "
    L"The original file was kept as:";
constexpr const wchar_t* PartlyReadNotCopiedMessage =
    L"The configuration file could not be read completely and no copy of it could be kept, so it was not "
    L"overwritten. Save the configuration to another file, or cancel.";

// The top-level category that classes added to the class view from the main window go into.
constexpr const wchar_t* AddedClassesCategory = L"Added classes";
constexpr const wchar_t* NoFileToAddToMessage =
    L"The class view has no configuration file yet, so the class was not added. Save the class view to a file in "
    L"Tools > Options (Configuration Settings), then add the class again.";
constexpr const wchar_t* PartlyReadNotAddedMessage =
    L"The configuration file could not be read completely, so the class was not added and the file was left as it "
    L"is. Correct the file, or save the class view again in Tools > Options, then add the class again.";
constexpr const wchar_t* AddClassFailedMessage =
    L"The class could not be added to the configuration file; the file was left as it is.";

// Adds definition (its name, namespace, properties and filter) to the class-view file at path as a selected Class
// element at the end of the top-level category AddedClassesCategory, which is made at the end of the file when
// there is none, and ticked when it was not. An equal class there (name, namespace, properties and filter) is
// ticked instead of added twice. The rest of the file keeps its meaning, and a file written by Quarrow keeps its
// bytes around what is added; the file is replaced only by a complete new one, and is not touched when nothing
// changes. A missing file, or one that cannot be read to its end, is left as it is and the user told why; so is
// any failure (owner: the window that owns the message box). Returns whether the file holds the class, ticked.
// Throws ArgumentException, before anything, for a definition without a class name.
bool AddClassToClassView(const Core::String& path, const WMI::ClassDefinition& definition, void* owner);

class ClassViewEditor
{
public:
    // Deeper trees are saved without indentation.
    static constexpr int MaxIndentedDepth = 100;

    // nodes: the root collection of the check tree (not owned); options: ConfigFile lives there.
    ClassViewEditor(Core::Controls::TreeNodeCollection& nodes, AppOptions& options);

    int GetChangeFlags() const { return m_changeFlags; }
    void SetChangeFlags(int flags) { m_changeFlags = flags; }
    // The window that owns the message boxes (null until the dialog exists).
    void SetOwnerWindow(void* owner) { m_owner = owner; }

    // Replaces the tree by the file's content, every category and class with its own selection; the
    // catalogue instead when there is no file. A file that cannot be read keeps what was built and says so.
    void LoadCheckTree(const Core::String& path);
    // The catalogue with every node checked; marks the class view changed.
    void BuildDefaultCheckTree();
    void AddCheckClassNodes(Core::Controls::TreeNode* categoryNode, const wchar_t* const* classNames, int count);

    // Takes the file name from the dialog; writes the file when the name or the tree changed. The old
    // file is replaced only by a complete new one. A file that could be read only in part is first copied
    // beside itself (name.bak) and the user told so: nothing after its error is lost. Failures, running
    // out of memory included, end in a message box; nothing is thrown. Returns false when the file could
    // not be written.
    bool SaveConfiguration(const Core::String& configFile);

    // A check box was set on node: the state goes to the whole subtree and the ancestors follow.
    void OnAfterCheck(Core::Controls::TreeNode* node);

private:
    class CheckHandlerPause;

    // Whether path may be the file last loaded only in part: the same file, or one that cannot be told apart.
    bool IsPartlyRead(const Core::String& path) const;
    // The first free name beside the file for a copy of it: "name.bak", then "name.2.bak", ...
    static Core::String FreeCopyName(const Core::String& path);
    // Removes a file this save created; it did not exist before.
    static void RemoveCreatedFile(const Core::String& path);
    void ShowMessage(const wchar_t* text, const wchar_t* caption, unsigned int style) noexcept;
    void ShowMessage(const Core::String& text, const Core::String& caption, unsigned int style) noexcept;

    Core::Controls::TreeNodeCollection& m_nodes;
    AppOptions& m_options;
    int m_changeFlags = 0;
    void* m_owner = nullptr;      // not owned: the dialog's window
    int m_checkHandlerPaused = 0; // while filling or propagating, check changes are not handled
    Core::String m_partlyRead;    // the file whose reading stopped at an error, until it is saved over
};

} // namespace Config
