// The "Configuration Settings" page of the options dialog: the configuration file's name and a tree of
// check boxes in which the user chooses categories, classes and properties and types a filter per class.
// The tree's rules and the file belong to ClassViewEditor; this page is their window.
#pragma once

#include "config/ClassViewEditor.h"
#include "core/controls/Button.h"
#include "core/controls/Label.h"
#include "core/controls/Panel.h"
#include "core/controls/TabPage.h"
#include "core/controls/TableLayout.h"
#include "core/controls/TextBox.h"
#include "core/controls/TreeView.h"
#include "core/threading/Completion.h"
#include "wmi/FilterCheck.h"
#include "wmi/ManagementObject.h"

#include <vector>

namespace WMI
{
class ClassDefinition;
}

namespace Config
{

class AppOptions;

class OptionsConfigTabPage : public Core::Controls::TabPage
{
public:
    // The options it edits, the class tree's images (null: none) and the main window's connections, whose first
    // one (the local machine's) reads class properties.
    OptionsConfigTabPage(AppOptions& options, Core::Controls::ImageList* treeImages,
                         const Core::Collections::PointerArrayList<WMI::ManagementConnection>& connections);
    ~OptionsConfigTabPage() override;

    int GetChangeFlags() const { return m_editor.GetChangeFlags(); }
    void SetChangeFlags(int flags) { m_editor.SetChangeFlags(flags); }

    // Shows what is stored: the configuration file's name, and the tree loaded from it (the catalogue
    // when there is none). The dialog calls it before every showing.
    void LoadFromOptions();
    void LoadCheckTree(const Core::String& path);
    void BuildDefaultCheckTree();

    // Acts on the name in the file box: a blank name is refused, a new file gets the catalogue, an
    // existing one is loaded on request. Returns false for the blank name.
    bool ApplyConfigFileName();
    // Takes what is typed but not yet taken: the file name (when it changed since it was last applied)
    // and the selected class's filter. False when the name is blank: the dialog stays open.
    bool CommitPendingEdits();
    // Stores the file name and writes the file when the name or the tree changed. On failure (the user
    // was told) the name and the change flags are as before and false is returned.
    bool SaveConfiguration();

    // Tries the filter box's text on the selected class (on the first connection) and says the outcome.
    void ValidateFilter();

    Core::Controls::TextBox& GetFileBox() { return m_fileBox; }
    Core::Controls::Button& GetBrowseButton() { return m_browseButton; }
    Core::Controls::TreeView& GetTree() { return m_tree; }
    Core::Controls::TextBox& GetFilterBox() { return m_filterBox; }
    // Beside the filter label: the namespace of the selected class when it is not the default one, else empty.
    Core::Controls::Label& GetNamespaceLabel() { return m_namespaceLabel; }
    Core::Controls::Button& GetValidateButton() { return m_validateButton; }
    // The node selected last; null after the tree was rebuilt.
    Core::Controls::TreeNode* GetRememberedNode() const { return m_rememberedNode; }
    // The dialog closes, or its tree goes: the property reads and the filter check under way are let go.
    void LetWorkGo();
    // Whether property reads or a filter check are on their way (the wait cursor shows meanwhile).
    bool IsWorking() const { return m_workUnderway > 0; }

protected:
    void OnCreate(Core::Object* sender, Core::EventArgs& args) override;

private:
    void OnBrowseClick(Core::Object* sender, Core::EventArgs& args);
    void OnFileBoxLostFocus(Core::Object* sender, Core::EventArgs& args);
    void OnFilterBoxLostFocus(Core::Object* sender, Core::EventArgs& args);
    void OnValidateClick(Core::Object* sender, Core::EventArgs& args);
    void OnAfterSelect(Core::Object* sender, Core::Controls::TreeViewEventArgs& args);
    void OnBeforeExpand(Core::Object* sender, Core::Controls::TreeViewCancelEventArgs& args);
    void OnAfterCheck(Core::Object* sender, Core::Controls::TreeViewEventArgs& args);

    // The tree is about to be replaced: nothing of it may be remembered.
    void ForgetTree();
    // The filter box, its button and the namespace label follow the remembered node.
    void ShowFilterOf(Core::Controls::TreeNode* node);
    // Stores the filter box's text as the remembered class's filter when it differs.
    void CommitFilter();
    // Why what cannot be done for a class outside the default namespace; empty for any other node.
    static Core::String OtherNamespaceRefusal(const Core::Controls::TreeNode* classNode, const wchar_t* what);
    void LoadProperties(Core::Controls::TreeNode* classNode);
    void OnPropertiesRead(Core::Controls::TreeNode* classNode, Core::Threading::Outcome<WMI::PropertyList>& read);
    void OnFilterChecked(Core::Threading::Outcome<WMI::FilterCheckResult>& checked);
    // Counts the work on its way, with the wait cursor shown while there is any.
    void WorkStarted();
    void WorkEnded();
    void ShowError(const Core::String& text);
    // Whether the focus has just moved to control (asked while the previous one hears it lost the focus).
    static bool IsFocusMovingTo(const Core::Controls::Control* control);
    Core::Controls::Control* GetCancelButton() const;
    bool IsClosing() const;

    AppOptions& m_options;
    const Core::Collections::PointerArrayList<WMI::ManagementConnection>& m_connections; // the main window's
    Core::Controls::TableLayout m_layout;
    Core::Controls::Label m_fileLabel;
    Core::Controls::TextBox m_fileBox;
    Core::Controls::Button m_browseButton;
    Core::Controls::Panel m_treeFrame;
    Core::Controls::TreeView m_tree;
    Core::Controls::Label m_filterLabel;
    Core::Controls::Label m_namespaceLabel;
    Core::Controls::TextBox m_filterBox;
    Core::Controls::Button m_validateButton;
    ClassViewEditor m_editor;                             // works on m_tree's nodes
    Core::Controls::TreeNode* m_rememberedNode = nullptr; // not owned: belongs to the tree
    Core::String m_appliedFileName;                       // the file box's text as it was last acted on
    bool m_applyingFileName = false;
    Core::Threading::CompletionOwner m_work;          // the property reads and the filter check under way
    std::vector<Core::Controls::TreeNode*> m_reading; // not owned: class nodes whose properties are on their way
    int m_workUnderway = 0;
    bool m_checkingFilter = false;

    Core::MemberEventHandler<OptionsConfigTabPage, Core::EventArgs> m_browseHandler;
    Core::MemberEventHandler<OptionsConfigTabPage, Core::EventArgs> m_fileLostFocusHandler;
    Core::MemberEventHandler<OptionsConfigTabPage, Core::EventArgs> m_filterLostFocusHandler;
    Core::MemberEventHandler<OptionsConfigTabPage, Core::EventArgs> m_validateHandler;
    Core::MemberEventHandler<OptionsConfigTabPage, Core::Controls::TreeViewEventArgs> m_afterSelectHandler;
    Core::MemberEventHandler<OptionsConfigTabPage, Core::Controls::TreeViewCancelEventArgs> m_beforeExpandHandler;
    Core::MemberEventHandler<OptionsConfigTabPage, Core::Controls::TreeViewEventArgs> m_afterCheckHandler;
};

} // namespace Config
