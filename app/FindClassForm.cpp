#include "app/FindClassForm.h"

#include "app/TextInput.h"
#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/Keys.h"

#include <new>
#include <utility>

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;
using Core::Collections::ArrayList;
using WMI::ManagementConnection;
using WMI::NamespaceFailure;
using WMI::SchemaMatch;

void FindClassResults::OnMouseDoubleClick(const Point& point, int button, int keys)
{
    Grid::OnMouseDoubleClick(point, button, keys);
    if (button == MouseButtons::Left && point.y >= GetHeaderHeight() && GetRowAt(point) >= 0)
    {
        Core::EventArgs args;
        RowActivated.Raise(this, args);
    }
}

// One machine's catalogue: kept for the next search once a read went through every namespace.
struct FindClassForm::Kept
{
    const ManagementConnection* machine = nullptr; // not owned
    std::shared_ptr<WMI::SchemaCatalogue> catalogue;
    bool complete = false; // known on the window thread: set when a search's read ended whole
};

// What a search has found so far (from its progress) or in all (from its end).
struct FindClassForm::Found
{
    WMI::SchemaProgress progress;
    bool hasMatches = false; // progress: the matches changed and came along
    int count = 0;           // every match; the list holds the first ShownLimit
    ArrayList<SchemaMatch> matches;
    ArrayList<NamespaceFailure> failures;
    int namespaces = 0;
    int classes = 0;
    bool complete = false;
};

namespace
{

String Plural(int count, const wchar_t* one, const wchar_t* many)
{
    return String() + count + L" " + (count == 1 ? one : many);
}

String MessageOf(const std::exception_ptr& failure)
{
    return Core::FailureText(failure, String(L"The classes could not be searched."));
}

constexpr const wchar_t* NothingListed =
    L"This machine lists no classes: its WMI lists no namespaces or classes to search (Wine's lists none). Open a "
    L"class by its path with View > Open Class..., such as root\\cimv2:Win32_Process.";

} // namespace

FindClassForm::FindClassForm()
    : m_findHandler(this, &FindClassForm::OnFindClick), m_stopHandler(this, &FindClassForm::OnStopClick),
      m_openHandler(this, &FindClassForm::OnOpenClick), m_closeHandler(this, &FindClassForm::OnCloseClick),
      m_activatedHandler(this, &FindClassForm::OnRowActivated),
      m_selectionHandler(this, &FindClassForm::OnSelectionChanged)
{
    SetClassName(String(L"Quarrow.FindClassForm"));
    SetText(String(L"Find Class"));
    SetSize(560, 420);

    m_layout.SetDock(DockStyle::Fill);
    m_layout.SetMargin(Padding{8, 8, 8, 6});
    m_layout.AddColumn(SizeType::Percent, 100);
    m_layout.AddColumn(SizeType::Absolute, 78);
    m_layout.AddColumn(SizeType::Absolute, 78);
    m_layout.AddRow(SizeType::Absolute, 20);
    m_layout.AddRow(SizeType::Absolute, 27);
    m_layout.AddRow(SizeType::Absolute, 34);
    m_layout.AddRow(SizeType::Absolute, 34);
    m_layout.AddRow(SizeType::Percent, 100);
    m_layout.AddRow(SizeType::Absolute, 29);
    GetControls().Add(&m_layout);

    // Creation order is the Tab order: the text, Find and Stop, the list, then Open and Close.
    m_textLabel.SetText(String(L"Class or property &name, or part of one:"));
    m_textLabel.SetTextAlignment(ContentAlignment::MiddleLeft);
    m_layout.Add(&m_textLabel, 0, 0, 1, 3);
    m_textBox.SetMargin(Padding{0, 2, 0, 2});
    m_layout.Add(&m_textBox, 1, 0);
    m_findButton.SetText(String(L"&Find"));
    m_findButton.SetMargin(Padding{4, 1, 0, 1});
    m_findButton.Click.Subscribe(&m_findHandler);
    m_layout.Add(&m_findButton, 1, 1);
    m_stopButton.SetText(String(L"&Stop"));
    m_stopButton.SetMargin(Padding{4, 1, 0, 1});
    m_stopButton.SetEnabled(false);
    m_stopButton.Click.Subscribe(&m_stopHandler);
    m_layout.Add(&m_stopButton, 1, 2);
    for (Label* label : {&m_statusLabel, &m_failuresLabel})
    {
        label->SetWordWrap(true);
        label->SetUseMnemonic(false);
        label->SetTextAlignment(ContentAlignment::MiddleLeft);
    }
    m_layout.Add(&m_statusLabel, 2, 0, 1, 3);
    m_layout.Add(&m_failuresLabel, 3, 0, 1, 3);

    m_results.GetColumns().Add(String(L"Namespace"), 150);
    m_results.GetColumns().Add(String(L"Class"), 220);
    m_results.GetColumns().Add(String(L"Property"), 140);
    m_results.GetAccessibilityObject().SetName(String(L"Classes found"));
    m_results.RowActivated.Subscribe(&m_activatedHandler);
    m_results.SelectionChanged.Subscribe(&m_selectionHandler);
    m_layout.Add(&m_results, 4, 0, 1, 3);

    m_openButton.SetText(String(L"&Open"));
    m_openButton.SetMargin(Padding{4, 4, 0, 0});
    m_openButton.SetEnabled(false);
    m_openButton.Click.Subscribe(&m_openHandler);
    m_layout.Add(&m_openButton, 5, 1);
    m_closeButton.SetText(String(L"Close"));
    m_closeButton.SetMargin(Padding{4, 4, 0, 0});
    m_closeButton.Click.Subscribe(&m_closeHandler);
    m_layout.Add(&m_closeButton, 5, 2);
}

FindClassForm::~FindClassForm()
{
    // A worker still reading ends by itself on what it shares; nothing of it comes back here.
    if (m_stop)
    {
        m_stop->store(true);
    }
}

void FindClassForm::SetMachine(const ManagementConnection* machine, const String& machineName)
{
    if (machine == m_machine)
    {
        return;
    }
    StopSearch();
    m_machine = machine;
    m_machineName = machineName;
    SetText(String(L"Find Class - ") + machineName);
    m_results.GetRows().Clear();
    m_statusLabel.SetText(String());
    m_failuresLabel.SetText(String());
    m_openButton.SetEnabled(false);
}

FindClassForm::Kept& FindClassForm::KeptFor(const ManagementConnection* machine)
{
    for (const auto& kept : m_kept)
    {
        if (kept->machine == machine)
        {
            return *kept;
        }
    }
    m_kept.push_back(std::make_unique<Kept>());
    m_kept.back()->machine = machine;
    return *m_kept.back();
}

void FindClassForm::StartSearch()
{
    String text = WithoutBlanks(m_textBox.GetText());
    if (m_machine == nullptr)
    {
        return;
    }
    StopSearch();
    if (text.IsEmpty())
    {
        m_statusLabel.SetText(String(L"Type a class or property name, or part of one."));
        return;
    }
    m_text = text;
    Kept& kept = KeptFor(m_machine);
    if (!kept.catalogue)
    {
        kept.catalogue = std::make_shared<WMI::SchemaCatalogue>();
    }
    std::shared_ptr<WMI::SchemaCatalogue> catalogue = kept.catalogue;
    std::shared_ptr<const ManagementConnection> credentials = m_machine->CopyCredentials();
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_stop = stop;
    Core::Threading::CompletionTarget target = m_search.GetTarget();
    m_results.GetRows().Clear();
    m_failuresLabel.SetText(String());
    m_statusLabel.SetText(kept.complete
                              ? String(L"Searching ...")
                              : String(L"Reading the classes of every namespace of ") + m_machineName + L" ...");
    SetSearching(true);
    Core::Threading::RunInBackground<std::shared_ptr<Found>>(
        m_search,
        [this, catalogue, credentials, stop, target, text]
        {
            int shownMatches = 0;
            // Each namespace read posts how far the read came, with the first matches when there are new ones, so
            // that a stop keeps them.
            auto progress = [this, &catalogue, target, text, &shownMatches](const WMI::SchemaProgress& state)
            {
                auto found = std::make_shared<Found>();
                found->progress = state;
                found->failures = catalogue->GetFailures();
                if (state.matches != shownMatches)
                {
                    shownMatches = state.matches;
                    found->hasMatches = true;
                    found->count = state.matches;
                    found->matches = catalogue->Find(text, ShownLimit);
                }
                target.Post([this, found] { OnProgress(*found); });
            };
            WMI::StopRequest stopRequest = [stop] { return stop->load(); };
            ArrayList<SchemaMatch> all = catalogue->Search(*credentials, text, progress, stopRequest);
            auto found = std::make_shared<Found>();
            found->count = all.GetCount();
            int shown = found->count < ShownLimit ? found->count : ShownLimit;
            found->matches.SetCapacity(shown);
            for (int i = 0; i < shown; i++)
            {
                found->matches.Add(std::move(all[i]));
            }
            found->failures = catalogue->GetFailures();
            found->namespaces = catalogue->GetNamespaces().GetCount();
            found->classes = catalogue->GetClassCount();
            found->complete = catalogue->IsComplete();
            return found;
        },
        [this](Core::Threading::Outcome<std::shared_ptr<Found>>& outcome) { OnSearched(outcome); });
}

void FindClassForm::StopSearch()
{
    if (!m_searching)
    {
        return;
    }
    m_stop->store(true);
    m_search.Reset();
    // The let-go worker keeps the catalogue it reads; the next search reads one anew unless the kept one is whole.
    Kept& kept = KeptFor(m_machine);
    if (!kept.complete)
    {
        kept.catalogue.reset();
    }
    SetSearching(false);
    String status = String(L"Stopped: ") + Plural(m_results.GetRowCount(), L"match", L"matches") + L" found so far";
    m_statusLabel.SetText(status);
}

void FindClassForm::OnProgress(const Found& found)
{
    const WMI::SchemaProgress& progress = found.progress;
    m_statusLabel.SetText(String(L"Searching ... ") + Plural(progress.namespacesDone, L"namespace", L"namespaces") +
                          L" done, " + Plural(progress.classesRead, L"class", L"classes") + L" read, " +
                          Plural(progress.matches, L"match", L"matches") + L" (" + progress.nameSpace + L")");
    if (found.hasMatches)
    {
        ShowMatches(found);
    }
    ShowFailures(found.failures);
}

void FindClassForm::OnSearched(Core::Threading::Outcome<std::shared_ptr<Found>>& outcome)
{
    SetSearching(false);
    m_stop.reset();
    if (outcome.Failed())
    {
        m_statusLabel.SetText(MessageOf(outcome.GetFailure()));
        return;
    }
    const Found& found = *outcome.Get();
    KeptFor(m_machine).complete = found.complete;
    ShowMatches(found);
    ShowFailures(found.failures);
    if (found.classes == 0)
    {
        m_statusLabel.SetText(String(NothingListed));
        return;
    }
    String status = Plural(found.count, L"match", L"matches") + L" for \"" + m_text + L"\" in " +
                    Plural(found.namespaces, L"namespace", L"namespaces") + L" (" +
                    Plural(found.classes, L"class", L"classes") + L")";
    if (found.count > found.matches.GetCount())
    {
        status += String(L"; the first ") + found.matches.GetCount() + L" are listed";
    }
    m_statusLabel.SetText(status);
}

void FindClassForm::ShowMatches(const Found& found)
{
    UpdatesPaused paused(m_results);
    m_results.GetRows().Clear();
    int count = found.matches.GetCount();
    m_results.GetRows().AddRange(count);
    for (int i = 0; i < count; i++)
    {
        const SchemaMatch& match = found.matches[i];
        m_results.SetCellText(i, 0, match.nameSpace);
        m_results.SetCellText(i, 1, match.className);
        m_results.SetCellText(i, 2, match.property);
    }
    if (count > 0 && m_results.GetSelectedRow() < 0)
    {
        m_results.SelectRow(0);
    }
    m_openButton.SetEnabled(count > 0);
}

void FindClassForm::ShowFailures(const ArrayList<NamespaceFailure>& failures)
{
    if (failures.GetCount() == 0)
    {
        m_failuresLabel.SetText(String());
        return;
    }
    String text = Plural(failures.GetCount(), L"namespace", L"namespaces") + L" could not be read whole: ";
    for (int i = 0; i < failures.GetCount(); i++)
    {
        text += (i > 0 ? L"; " : L"") + failures[i].message;
    }
    m_failuresLabel.SetText(text);
}

void FindClassForm::SetSearching(bool searching)
{
    m_searching = searching;
    m_stopButton.SetEnabled(searching);
}

void FindClassForm::OpenSelected()
{
    int row = m_results.GetSelectedRow();
    if (row < 0 || row >= m_results.GetRowCount() || !m_open)
    {
        return;
    }
    SchemaMatch match{m_results.GetCellText(row, 0), m_results.GetCellText(row, 1), m_results.GetCellText(row, 2)};
    m_open(m_machine, match);
}

void FindClassForm::Forget(const ManagementConnection* machine)
{
    if (machine == m_machine)
    {
        StopSearch();
        m_machine = nullptr;
        m_results.GetRows().Clear();
        m_statusLabel.SetText(String());
        m_failuresLabel.SetText(String());
        m_openButton.SetEnabled(false);
    }
    for (size_t i = 0; i < m_kept.size(); i++)
    {
        if (m_kept[i]->machine == machine)
        {
            m_kept.erase(m_kept.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

bool FindClassForm::ProcessDialogKey(int keyData)
{
    if ((keyData & (Keys::Control | Keys::Alt | Keys::Shift)) == 0)
    {
        int key = keyData & Keys::KeyCode;
        if (key == Keys::Return)
        {
            if (m_results.ContainsFocus() || m_openButton.ContainsFocus())
            {
                OpenSelected();
            }
            else if (m_stopButton.ContainsFocus())
            {
                StopSearch();
            }
            else if (m_closeButton.ContainsFocus())
            {
                EndDialog(DialogResult::Cancel);
            }
            else
            {
                StartSearch();
            }
            return true;
        }
        if (key == Keys::Escape)
        {
            EndDialog(DialogResult::Cancel);
            return true;
        }
    }
    return Window::ProcessDialogKey(keyData);
}

void FindClassForm::OnFindClick(Core::Object*, Core::EventArgs&)
{
    StartSearch();
}

void FindClassForm::OnStopClick(Core::Object*, Core::EventArgs&)
{
    StopSearch();
}

void FindClassForm::OnOpenClick(Core::Object*, Core::EventArgs&)
{
    OpenSelected();
}

void FindClassForm::OnCloseClick(Core::Object*, Core::EventArgs&)
{
    EndDialog(DialogResult::Cancel);
}

void FindClassForm::OnRowActivated(Core::Object*, Core::EventArgs&)
{
    OpenSelected();
}

void FindClassForm::OnSelectionChanged(Core::Object*, Core::EventArgs&)
{
    m_openButton.SetEnabled(m_results.GetSelectedRow() >= 0);
}

} // namespace Quarrow
