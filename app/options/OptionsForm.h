// The options dialog: the report options on the "Reports" tab and the class-view configuration on the
// "Configuration Settings" tab. Every showing starts from what is stored; OK stores the changes in the
// options (and the configuration file) and tells the owner what changed through the change flags.
#pragma once

#include "app/options/OptionsConfigTabPage.h"
#include "core/controls/Button.h"
#include "core/controls/CheckBox.h"
#include "core/controls/ComboBox.h"
#include "core/controls/Label.h"
#include "core/controls/TabPage.h"
#include "core/controls/TabView.h"
#include "core/controls/TableLayout.h"
#include "core/controls/TextBox.h"
#include "core/controls/Window.h"

namespace Config
{

class OptionsForm : public Core::Controls::Window
{
public:
    // The options it edits, the class tree's images (null: none) and the main window's connections (the first one
    // reads class properties).
    OptionsForm(AppOptions& options, Core::Controls::ImageList* treeImages,
                const Core::Collections::PointerArrayList<WMI::ManagementConnection>& connections);
    ~OptionsForm() override;

    // ChangeFlag bits; cleared whenever the dialog is shown, read by the owner after OK.
    int GetChangeFlags() const { return m_configPage.GetChangeFlags(); }
    void SetChangeFlags(int flags) { m_configPage.SetChangeFlags(flags); }

    // What OK does: takes what is still being typed, writes the configuration file when the name or the
    // tree changed, and stores the report options. False, with the user told why, keeps the dialog open
    // and the options as they were.
    bool ApplyOptions();

    Core::Controls::TabView& GetTabView() { return m_tabView; }
    Core::Controls::TextBox& GetDirectoryBox() { return m_directoryBox; }
    Core::Controls::Button& GetDirectoryBrowseButton() { return m_directoryBrowseButton; }
    Core::Controls::ComboBox& GetTargetList() { return m_targetList; }
    Core::Controls::CheckBox& GetAsyncCheckBox() { return m_asyncCheckBox; }
    OptionsConfigTabPage& GetConfigPage() { return m_configPage; }

protected:
    bool OnClosing(int dialogResult) override;
    void OnCreate(Core::Object* sender, Core::EventArgs& args) override;
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override;

private:
    // Puts the stored options into the controls and clears the change flags.
    void LoadFromOptions();
    void OnDirectoryBrowseClick(Core::Object* sender, Core::EventArgs& args);
    void ShowError(const Core::String& text);

    AppOptions& m_options;
    // Parents before their children, pages before the view: each is destroyed after what it holds.
    Core::Controls::TableLayout m_layout;
    Core::Controls::TabPage m_reportsPage;
    OptionsConfigTabPage m_configPage;
    Core::Controls::TabView m_tabView;
    Core::Controls::TableLayout m_reportsLayout;
    Core::Controls::Label m_directoryLabel;
    Core::Controls::TextBox m_directoryBox;
    Core::Controls::Button m_directoryBrowseButton;
    Core::Controls::Label m_targetLabel;
    Core::Controls::ComboBox m_targetList;
    Core::Controls::CheckBox m_asyncCheckBox;
    Core::Controls::Button m_okButton;
    Core::Controls::Button m_cancelButton;
    bool m_showingStale = false; // hidden since it was last filled: the next showing fills it again

    Core::MemberEventHandler<OptionsForm, Core::EventArgs> m_directoryBrowseHandler;
};

} // namespace Config
