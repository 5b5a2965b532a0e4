// The property sheet of one instance: every property with its CIM type and value as it is, keys marked, the system
// properties apart, then what the instance is related to. A reference or a related object opens in the same window,
// and Back and Forward walk the instances visited there.
#pragma once

#include "app/RelatedObjects.h"
#include "core/controls/Button.h"
#include "core/controls/Label.h"
#include "core/controls/PropertyList.h"
#include "core/controls/TableLayout.h"
#include "core/controls/Window.h"
#include "core/threading/Completion.h"
#include "wmi/ManagementConnection.h"
#include "wmi/PropertyValue.h"

#include <memory>
#include <optional>
#include <vector>

namespace Quarrow
{

class InstanceForm : public Core::Controls::Window
{
public:
    InstanceForm();
    ~InstanceForm() override;

    // Reads the instance at path (a row's __PATH, a reference's value) through session on a worker and shows it, as
    // the newest step of the walk: the steps after the one shown are dropped. The window shows and takes the keyboard.
    // A path in another namespace of the machine is read through that namespace, opened with machine's credentials
    // (a copy: the sheet reads on after the connection went).
    void Open(std::shared_ptr<const WMI::ConnectionSession> session,
              std::shared_ptr<const WMI::ManagementConnection> machine, const Core::String& path);
    // A step with nothing to read, only why (a row without a path).
    void OpenProblem(const Core::String& text);
    // The step before or after the one shown, read again; false when there is none.
    bool GoBack();
    bool GoForward();
    bool CanGoBack() const { return m_current > 0; }
    bool CanGoForward() const { return m_current + 1 < static_cast<int>(m_steps.size()); }

    // Whether the instance, or then what it is related to, is still being read.
    bool IsReading() const { return m_reading; }
    bool IsReadingRelated() const { return m_readingRelated; }
    // The instance shown; null while it is read and after a failure.
    const WMI::ObjectValue* GetShown() const { return m_shown ? &*m_shown : nullptr; }
    // The path of the step shown (empty for a problem).
    Core::String GetShownPath() const;
    const Core::String& GetStatusText() const { return m_statusLabel.GetText(); }

    // The zone datetimes are shown in; the viewer's own unless set (tests set a fixed one).
    void SetUtcOffset(WMI::UtcOffset zone) { m_zone = std::move(zone); }

    Core::Controls::PropertyList& GetSheet() { return m_sheet; }
    Core::Controls::Button& GetBackButton() { return m_backButton; }
    Core::Controls::Button& GetForwardButton() { return m_forwardButton; }

protected:
    // Alt+Left and Alt+Right walk back and forward from anywhere in the window.
    bool ProcessCmdKey(int keyData) override;
    // Esc closes the window.
    bool ProcessDialogKey(int keyData) override;
    // The mouse's back and forward buttons, and the keyboard's browser keys.
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override;
    // A window closed wants nothing of what it was reading.
    bool OnClosing(int dialogResult) override;

private:
    struct Step
    {
        // The namespace the path is read through: the one it was opened from until the read found its own.
        std::shared_ptr<const WMI::ConnectionSession> session; // null for a problem
        std::shared_ptr<const WMI::ManagementConnection> machine;
        Core::String path;
        Core::String problem;
        Core::String knownServer; // the __SERVER of the instance the path was found in
    };
    // An instance with the session of the namespace it was read through.
    struct Read
    {
        WMI::ObjectValue object;
        std::shared_ptr<const WMI::ConnectionSession> session;
    };

    void AddStep(Step step);
    void ShowStep();
    void StartRead(Step& step);
    void OnRead(Core::Threading::Outcome<Read>& read);
    void OnRelated(Core::Threading::Outcome<RelatedObjects>& read);
    void Fill(const WMI::ObjectValue& object);
    void AddProperties(int parent, const Core::Collections::ArrayList<WMI::ObjectProperty>& properties);
    int AddValue(int parent, const Core::String& name, int cimType, const WMI::PropertyValue& value, int flags);
    void AddRelated(int group, const Core::Collections::ArrayList<RelatedObject>& objects, bool byAssociation);
    // A row whose value leads to the object at path.
    void MakeLink(int row, const Core::String& path);
    Core::String ShownText(const WMI::PropertyValue& value) const;
    void UpdateButtons();
    void OnLinkActivated(Core::Object* sender, Core::Controls::PropertyListEventArgs& args);
    void OnBackClick(Core::Object* sender, Core::EventArgs& args);
    void OnForwardClick(Core::Object* sender, Core::EventArgs& args);

    Core::Controls::TableLayout m_layout;
    Core::Controls::Button m_backButton;
    Core::Controls::Button m_forwardButton;
    Core::Controls::Label m_statusLabel;
    Core::Controls::PropertyList m_sheet;
    std::vector<Step> m_steps; // the instances visited, oldest first
    // The namespaces read through, each with the machine (the copy of credentials Open was given) it is of: a
    // walk opens each namespace of its machine once, and never reads one machine's objects from another's.
    struct ReadThrough
    {
        std::shared_ptr<const WMI::ManagementConnection> machine;
        std::shared_ptr<const WMI::ConnectionSession> session;
    };
    std::vector<ReadThrough> m_namespaces;
    int m_current = -1; // the step shown
    std::optional<WMI::ObjectValue> m_shown;
    Core::String m_shownRelativePath;                      // its __RELPATH
    std::vector<Core::String> m_links;                     // what each link row leads to, by its row's data less one
    Core::Collections::ArrayList<Core::String> m_pathKeys; // while filling: the keys the path names, in lower case
    int m_relatedGroup = Core::Controls::PropertyListModel::NoRow;
    int m_referencesGroup = Core::Controls::PropertyListModel::NoRow;
    bool m_reading = false;
    bool m_readingRelated = false;
    WMI::UtcOffset m_zone = WMI::LocalUtcOffset;
    // The step's reads on their way back: reset by another step and by closing, so nothing old comes back.
    Core::Threading::CompletionOwner m_read;
    Core::MemberEventHandler<InstanceForm, Core::Controls::PropertyListEventArgs> m_linkHandler;
    Core::MemberEventHandler<InstanceForm, Core::EventArgs> m_backHandler;
    Core::MemberEventHandler<InstanceForm, Core::EventArgs> m_forwardHandler;
};

} // namespace Quarrow
