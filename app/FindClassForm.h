// The "Find Class" window: a class or property name, or part of one, searched in every namespace of one machine on
// a worker, with live progress and Stop; choosing a result hands it to the main window, which opens it in the tree.
#pragma once

#include "core/controls/Button.h"
#include "core/controls/Grid.h"
#include "core/controls/Label.h"
#include "core/controls/TableLayout.h"
#include "core/controls/TextBox.h"
#include "core/controls/Window.h"
#include "core/threading/Completion.h"
#include "wmi/ManagementConnection.h"
#include "wmi/SchemaCatalogue.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace Quarrow
{

// The results list: a double click on a row raises RowActivated.
class FindClassResults : public Core::Controls::Grid
{
public:
    Core::Event<Core::EventArgs> RowActivated;

protected:
    void OnMouseDoubleClick(const Core::Controls::Point& point, int button, int keys) override;
};

class FindClassForm : public Core::Controls::Window
{
public:
    // The most results the list shows; the count says how many there are.
    static constexpr int ShownLimit = 5000;

    FindClassForm();
    ~FindClassForm() override;

    // The machine searched from now on (not owned: the machine node's connection; Forget it before it goes).
    void SetMachine(const WMI::ManagementConnection* machine, const Core::String& machineName);
    const WMI::ManagementConnection* GetMachine() const { return m_machine; }
    // Searches the text box's text on a worker, reading the machine's classes first unless a whole read of them is
    // kept; a search under way is stopped first.
    void StartSearch();
    // Stops the search under way at once: its worker is let go, and what it found so far stays in the list.
    void StopSearch();
    bool IsSearching() const { return m_searching; }
    // Hands the selected result to the open handler.
    void OpenSelected();
    // The machine goes: its kept classes go, and a search of it stops.
    void Forget(const WMI::ManagementConnection* machine);

    // What choosing a result asks of the main window, on the window thread.
    using OpenHandler = std::function<void(const WMI::ManagementConnection* machine, const WMI::SchemaMatch& match)>;
    void SetOpenHandler(OpenHandler handler) { m_open = std::move(handler); }

    Core::Controls::TextBox& GetTextBox() { return m_textBox; }
    FindClassResults& GetResults() { return m_results; }
    const Core::String& GetStatusText() const { return m_statusLabel.GetText(); }
    const Core::String& GetFailuresText() const { return m_failuresLabel.GetText(); }
    Core::Controls::Button& GetFindButton() { return m_findButton; }
    Core::Controls::Button& GetStopButton() { return m_stopButton; }
    Core::Controls::Button& GetOpenButton() { return m_openButton; }

protected:
    // Enter runs Find from the text box and opens the selected result from the list; Esc hides the window.
    bool ProcessDialogKey(int keyData) override;

private:
    struct Kept;
    struct Found;

    void OnFindClick(Core::Object* sender, Core::EventArgs& args);
    void OnStopClick(Core::Object* sender, Core::EventArgs& args);
    void OnOpenClick(Core::Object* sender, Core::EventArgs& args);
    void OnCloseClick(Core::Object* sender, Core::EventArgs& args);
    void OnRowActivated(Core::Object* sender, Core::EventArgs& args);
    void OnSelectionChanged(Core::Object* sender, Core::EventArgs& args);
    void OnProgress(const Found& found);
    void OnSearched(Core::Threading::Outcome<std::shared_ptr<Found>>& outcome);
    void ShowMatches(const Found& found);
    void ShowFailures(const Core::Collections::ArrayList<WMI::NamespaceFailure>& failures);
    void SetSearching(bool searching);
    Kept& KeptFor(const WMI::ManagementConnection* machine);

    const WMI::ManagementConnection* m_machine = nullptr; // not owned: the machine node's connection
    Core::String m_machineName;
    Core::String m_text; // the text of the search under way or last ended
    Core::Controls::TableLayout m_layout;
    Core::Controls::Label m_textLabel;
    Core::Controls::TextBox m_textBox;
    Core::Controls::Button m_findButton;
    Core::Controls::Button m_stopButton;
    Core::Controls::Label m_statusLabel;
    Core::Controls::Label m_failuresLabel;
    FindClassResults m_results;
    Core::Controls::Button m_openButton;
    Core::Controls::Button m_closeButton;
    OpenHandler m_open;
    std::vector<std::unique_ptr<Kept>> m_kept; // owned: each machine's catalogue, shared with a worker reading it
    std::shared_ptr<std::atomic<bool>> m_stop; // the search under way's stop request, shared with its worker
    bool m_searching = false;
    Core::Threading::CompletionOwner m_search; // the search under way and its progress
    Core::MemberEventHandler<FindClassForm, Core::EventArgs> m_findHandler;
    Core::MemberEventHandler<FindClassForm, Core::EventArgs> m_stopHandler;
    Core::MemberEventHandler<FindClassForm, Core::EventArgs> m_openHandler;
    Core::MemberEventHandler<FindClassForm, Core::EventArgs> m_closeHandler;
    Core::MemberEventHandler<FindClassForm, Core::EventArgs> m_activatedHandler;
    Core::MemberEventHandler<FindClassForm, Core::EventArgs> m_selectionHandler;
};

} // namespace Quarrow
