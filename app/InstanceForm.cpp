#include "app/InstanceForm.h"

#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/Keys.h"
#include "wmi/InstanceReading.h"
#include "wmi/QueryText.h"
#include "wmi/WbemText.h"

#include <algorithm>
#include <new>
#include <utility>
#include <windows.h>

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;
using Core::Collections::ArrayList;
using WMI::ObjectProperty;
using WMI::ObjectValue;
using WMI::PropertyValue;

namespace
{

constexpr int NoRow = PropertyListModel::NoRow;

// The path without its machine and namespace: \\PC\root\cimv2:Win32_Process.Handle="4" gives Win32_Process.Handle="4".
String RelativePart(const String& path)
{
    for (int i = 0; i < path.GetLength(); i++)
    {
        wchar_t c = path[i];
        if (c == L':')
        {
            return path.Substring(i + 1);
        }
        if (c == L'.' || c == L'=' || c == L'"')
        {
            break;
        }
    }
    return path;
}

String MessageOf(const std::exception_ptr& failure)
{
    return Core::FailureText(failure, String(L"The instance could not be read."));
}

String ObjectCount(int count)
{
    return String() + count + (count == 1 ? L" object" : L" objects");
}

} // namespace

InstanceForm::InstanceForm()
    : m_linkHandler(this, &InstanceForm::OnLinkActivated), m_backHandler(this, &InstanceForm::OnBackClick),
      m_forwardHandler(this, &InstanceForm::OnForwardClick)
{
    SetClassName(String(L"Quarrow.InstanceForm"));
    SetText(String(L"Properties"));
    SetSize(600, 560);

    m_layout.SetDock(DockStyle::Fill);
    m_layout.SetMargin(Padding{8, 8, 8, 8});
    m_layout.AddColumn(SizeType::Absolute, 80);
    m_layout.AddColumn(SizeType::Absolute, 84);
    m_layout.AddColumn(SizeType::Percent, 100);
    m_layout.AddRow(SizeType::Absolute, 32);
    m_layout.AddRow(SizeType::Percent, 100);
    GetControls().Add(&m_layout);

    m_backButton.SetText(String(L"&Back"));
    m_backButton.SetMargin(Padding{0, 1, 4, 5});
    m_backButton.Click.Subscribe(&m_backHandler);
    m_layout.Add(&m_backButton, 0, 0);
    m_forwardButton.SetText(String(L"&Forward"));
    m_forwardButton.SetMargin(Padding{0, 1, 8, 5});
    m_forwardButton.Click.Subscribe(&m_forwardHandler);
    m_layout.Add(&m_forwardButton, 0, 1);
    m_statusLabel.SetUseMnemonic(false);
    m_statusLabel.SetTextAlignment(ContentAlignment::MiddleLeft);
    m_layout.Add(&m_statusLabel, 0, 2);

    m_sheet.GetAccessibilityObject().SetName(String(L"Properties"));
    m_sheet.SetColumnWidth(PropertyListColumn::Name, 190);
    m_sheet.SetColumnWidth(PropertyListColumn::Type, 110);
    m_sheet.LinkActivated.Subscribe(&m_linkHandler);
    m_layout.Add(&m_sheet, 1, 0, 1, 3);
    UpdateButtons();
}

InstanceForm::~InstanceForm() = default;

void InstanceForm::Open(std::shared_ptr<const WMI::ConnectionSession> session,
                        std::shared_ptr<const WMI::ManagementConnection> machine, const String& path)
{
    if (session == nullptr || machine == nullptr)
    {
        throw Core::ArgumentNullException(String(session == nullptr ? L"session" : L"machine"));
    }
    // The path came from the machine (a row's __PATH), so the server it names is the machine's own name for itself.
    String server = WMI::GetObjectPathPlace(path).server;
    m_namespaces.push_back(ReadThrough{machine, session});
    AddStep(Step{std::move(session), std::move(machine), path, String(), server});
}

void InstanceForm::OpenProblem(const String& text)
{
    AddStep(Step{nullptr, nullptr, String(), text, String()});
}

void InstanceForm::AddStep(Step step)
{
    m_steps.erase(m_steps.begin() + (m_current + 1), m_steps.end());
    m_steps.push_back(std::move(step));
    m_current = static_cast<int>(m_steps.size()) - 1;
    // The namespaces of machines no step is of any more go with them.
    std::erase_if(m_namespaces,
                  [&](const ReadThrough& opened)
                  {
                      return std::none_of(m_steps.begin(), m_steps.end(),
                                          [&](const Step& kept) { return kept.machine == opened.machine; });
                  });
    ShowStep();
    Show();
    Activate();
    m_sheet.Focus();
}

bool InstanceForm::GoBack()
{
    if (!CanGoBack())
    {
        return false;
    }
    m_current--;
    ShowStep();
    return true;
}

bool InstanceForm::GoForward()
{
    if (!CanGoForward())
    {
        return false;
    }
    m_current++;
    ShowStep();
    return true;
}

String InstanceForm::GetShownPath() const
{
    return m_current >= 0 ? m_steps[m_current].path : String();
}

void InstanceForm::ShowStep()
{
    // Whatever the step before was still reading is no longer wanted.
    m_read.Reset();
    m_reading = false;
    m_readingRelated = false;
    m_shown.reset();
    m_shownRelativePath = String();
    m_sheet.GetModel().Clear();
    m_links.clear();
    m_relatedGroup = NoRow;
    m_referencesGroup = NoRow;
    UpdateButtons();
    const Step& step = m_steps[m_current];
    if (step.session == nullptr)
    {
        SetText(String(L"Properties"));
        m_statusLabel.SetText(step.problem);
        return;
    }
    String shortPath = RelativePart(step.path);
    SetText(shortPath + L" - Properties");
    m_statusLabel.SetText(String(L"Reading ") + shortPath + L" ...");
    try
    {
        StartRead(m_steps[m_current]);
    }
    catch (const Core::Exception& exception)
    {
        m_reading = false;
        m_statusLabel.SetText(exception.GetMessageText());
    }
}

void InstanceForm::StartRead(Step& step)
{
    // A path in another namespace is read there: through one opened before, or one the worker opens first.
    WMI::ObjectPathPlace place = WMI::GetObjectPathPlace(step.path);
    if (!place.nameSpace.IsEmpty() && !WMI::SameName(place.nameSpace, step.session->GetNamespace()))
    {
        for (const ReadThrough& opened : m_namespaces)
        {
            if (opened.machine == step.machine && WMI::SameName(place.nameSpace, opened.session->GetNamespace()) &&
                WMI::IsSameMachine(place.server, *step.machine, step.knownServer))
            {
                step.session = opened.session;
                break;
            }
        }
    }
    std::shared_ptr<const WMI::ConnectionSession> session = step.session;
    std::shared_ptr<const WMI::ManagementConnection> machine = step.machine;
    String path = step.path;
    String knownServer = step.knownServer;
    // In the class's turn, as every read of a class on a connection: some providers fail on two at once. A namespace
    // the worker opens for this read has no other reader.
    bool elsewhere = !place.nameSpace.IsEmpty() && !WMI::SameName(place.nameSpace, session->GetNamespace());
    String className = WMI::GetObjectPathClass(path);
    std::shared_ptr<WMI::ClassTurn> turn =
        className.IsEmpty() || elsewhere ? nullptr : session->GetClassTurns().Take(className);
    Core::Threading::CompletionTarget wanted = m_read.GetTarget();
    m_reading = true;
    Core::Threading::RunInBackground<Read>(
        m_read,
        [session, machine, turn, path, knownServer, wanted]
        {
            Read read;
            // A step left before its turn came asks the machine nothing.
            if (!wanted.IsWanted())
            {
                return read;
            }
            read.session = WMI::OpenPathNamespace(*session, *machine, path, knownServer);
            if (read.session != nullptr)
            {
                read.object = WMI::GetInstance(*read.session, path);
                return read;
            }
            read.session = session;
            read.object = turn != nullptr ? turn->Run([&] { return WMI::GetInstance(*session, path); })
                                          : WMI::GetInstance(*session, path);
            return read;
        },
        [this](Core::Threading::Outcome<Read>& read) { OnRead(read); });
}

void InstanceForm::OnRead(Core::Threading::Outcome<Read>& read)
{
    m_reading = false;
    if (read.Failed())
    {
        m_statusLabel.SetText(MessageOf(read.GetFailure()));
        return;
    }
    // What the instance is related to, and the references it holds, are read in the namespace it was found in.
    Step& step = m_steps[m_current];
    if (read.Get().session != step.session)
    {
        step.session = read.Get().session;
        m_namespaces.push_back(ReadThrough{step.machine, step.session});
    }
    m_shown = std::move(read.Get().object);
    const ObjectValue& object = *m_shown;
    String relative;
    if (const ObjectProperty* relpath = object.FindProperty(String(L"__RELPATH")))
    {
        relative = relpath->GetValue().GetText();
    }
    m_shownRelativePath = relative;
    if (!relative.IsEmpty())
    {
        SetText(relative + L" - Properties");
    }
    m_statusLabel.SetText(object.GetPath().IsEmpty() ? object.GetObjectClass() : object.GetPath());
    Fill(object);
    if (relative.IsEmpty())
    {
        m_sheet.GetModel().SetName(m_relatedGroup, String(L"Related"));
        m_sheet.GetModel().AddRow(m_relatedGroup, String(L"Not available"), String(), String(L"The object has no path"),
                                  PropertyRowFlags::Dimmed);
        m_sheet.GetModel().SetName(m_referencesGroup, String(L"References"));
        m_sheet.GetModel().AddRow(m_referencesGroup, String(L"Not available"), String(),
                                  String(L"The object has no path"), PropertyRowFlags::Dimmed);
        return;
    }
    // What the instance is related to comes after its properties: a provider may take long over associations.
    std::shared_ptr<const WMI::ConnectionSession> session = m_steps[m_current].session;
    Core::Threading::CompletionTarget wanted = m_read.GetTarget();
    m_readingRelated = true;
    try
    {
        // In the class's turn too: the provider answers the association queries from the class's own table.
        std::shared_ptr<WMI::ClassTurn> turn = session->GetClassTurns().Take(object.GetObjectClass());
        Core::Threading::RunInBackground<RelatedObjects>(
            m_read,
            [session, turn, relative, wanted] {
                return turn->Run(
                    [&] { return ReadRelatedObjects(*session, relative, [wanted] { return !wanted.IsWanted(); }); });
            },
            [this](Core::Threading::Outcome<RelatedObjects>& related) { OnRelated(related); });
    }
    catch (const Core::Exception& exception)
    {
        m_readingRelated = false;
        m_sheet.GetModel().SetName(m_relatedGroup, String(L"Related"));
        m_sheet.GetModel().AddRow(m_relatedGroup, String(L"Not available"), String(), exception.GetMessageText(),
                                  PropertyRowFlags::Dimmed);
    }
}

void InstanceForm::Fill(const ObjectValue& object)
{
    PropertyListModel& model = m_sheet.GetModel();
    UpdatesPaused paused(m_sheet);
    // A machine whose qualifier sets hold no key (Wine's) still names the keys in the path.
    m_pathKeys.Clear();
    if (const ObjectProperty* relative = object.FindProperty(String(L"__RELPATH")))
    {
        ArrayList<String> names = KeyNamesOf(relative->GetValue().GetText());
        for (int i = 0; i < names.GetCount(); i++)
        {
            m_pathKeys.Add(names[i].ToLower());
        }
    }
    AddProperties(NoRow, object.GetProperties());
    m_pathKeys.Clear();
    int system = model.AddGroup(String(L"System properties"));
    AddProperties(system, object.GetSystemProperties());
    m_relatedGroup = model.AddGroup(String(L"Related (reading ...)"));
    m_referencesGroup = model.AddGroup(String(L"References (reading ...)"));
    if (model.GetRowCount() > 0 && model.GetSelectedRow() == NoRow)
    {
        m_sheet.SelectRow(0);
    }
}

void InstanceForm::AddProperties(int parent, const ArrayList<ObjectProperty>& properties)
{
    for (int i = 0; i < properties.GetCount(); i++)
    {
        const ObjectProperty& property = properties[i];
        bool key = property.IsKey();
        for (int k = 0; k < m_pathKeys.GetCount() && !key; k++)
        {
            key = m_pathKeys[k] == property.GetName().ToLower();
        }
        AddValue(parent, property.GetName(), property.GetCimType(), property.GetValue(),
                 key ? PropertyRowFlags::Key : PropertyRowFlags::None);
    }
}

int InstanceForm::AddValue(int parent, const String& name, int cimType, const PropertyValue& value, int flags)
{
    PropertyListModel& model = m_sheet.GetModel();
    String type = WMI::FormatCimType(cimType);
    if (value.IsNull())
    {
        return model.AddRow(parent, name, type, String(L"NULL"), flags | PropertyRowFlags::Dimmed);
    }
    if (value.IsArray())
    {
        int row = model.AddRow(parent, name, type, WMI::FormatElementCount(value.GetCount()), flags);
        int elementType = cimType & ~WMI::CimArrayFlag;
        for (int i = 0; i < value.GetCount(); i++)
        {
            AddValue(row, String(L"[") + i + L"]", elementType, value.GetElement(i), PropertyRowFlags::None);
        }
        return row;
    }
    if (value.IsEmbedded())
    {
        int row = model.AddRow(parent, name, type, WMI::FormatValue(value, m_zone), flags);
        AddProperties(row, value.GetEmbedded().GetProperties());
        return row;
    }
    int row = model.AddRow(parent, name, type, ShownText(value), flags);
    if ((cimType & ~WMI::CimArrayFlag) == WMI::CimReference && !value.GetText().IsEmpty())
    {
        MakeLink(row, value.GetText());
    }
    return row;
}

String InstanceForm::ShownText(const PropertyValue& value) const
{
    if ((value.GetCimType() & ~WMI::CimArrayFlag) == WMI::CimDateTime)
    {
        // Readable, with WMI's own text beside it: the raw text is what queries compare with.
        String readable = WMI::FormatValue(value, m_zone);
        if (readable != value.GetText())
        {
            return readable + L" (" + value.GetText() + L")";
        }
    }
    return value.GetText();
}

void InstanceForm::MakeLink(int row, const String& path)
{
    PropertyListModel& model = m_sheet.GetModel();
    m_links.push_back(path);
    model.SetData(row, static_cast<uint64_t>(m_links.size()));
    model.SetFlags(row, model.GetFlags(row) | PropertyRowFlags::Link);
}

void InstanceForm::OnRelated(Core::Threading::Outcome<RelatedObjects>& read)
{
    m_readingRelated = false;
    PropertyListModel& model = m_sheet.GetModel();
    UpdatesPaused paused(m_sheet);
    model.SetName(m_relatedGroup, String(L"Related"));
    model.SetName(m_referencesGroup, String(L"References"));
    if (read.Failed())
    {
        model.AddRow(m_relatedGroup, String(L"Not available"), String(), MessageOf(read.GetFailure()),
                     PropertyRowFlags::Dimmed);
        return;
    }
    const RelatedObjects& related = read.Get();
    if (!related.associatorsFailure.IsEmpty())
    {
        model.AddRow(m_relatedGroup, String(L"Not available"), String(), related.associatorsFailure,
                     PropertyRowFlags::Dimmed);
    }
    else if (related.associators.GetCount() == 0)
    {
        model.AddRow(m_relatedGroup, String(L"None"), String(), String(L"No related objects"),
                     PropertyRowFlags::Dimmed);
    }
    AddRelated(m_relatedGroup, related.associators, true);
    if (related.associators.GetCount() > 0)
    {
        // The association classes' names are long: the type column makes room for them.
        m_sheet.AutoSizeColumn(PropertyListColumn::Type);
    }
    if (!related.referencesFailure.IsEmpty())
    {
        model.AddRow(m_referencesGroup, String(L"Not available"), String(),
                     String(L"This machine does not answer REFERENCES OF: ") + related.referencesFailure,
                     PropertyRowFlags::Dimmed);
    }
    else if (related.references.GetCount() == 0)
    {
        model.AddRow(m_referencesGroup, String(L"None"), String(), String(L"No association refers to it"),
                     PropertyRowFlags::Dimmed);
    }
    AddRelated(m_referencesGroup, related.references, false);
}

void InstanceForm::AddRelated(int group, const ArrayList<RelatedObject>& objects, bool byAssociation)
{
    // One row per class and association, in the order first seen, holding a link to each object.
    PropertyListModel& model = m_sheet.GetModel();
    std::vector<bool> placed(static_cast<size_t>(objects.GetCount()), false);
    for (int first = 0; first < objects.GetCount(); first++)
    {
        if (placed[first])
        {
            continue;
        }
        const RelatedObject& kind = objects[first];
        int count = 0;
        for (int i = first; i < objects.GetCount(); i++)
        {
            count += !placed[i] && objects[i].className == kind.className && objects[i].association == kind.association;
        }
        int heading =
            model.AddRow(group, kind.className, byAssociation ? kind.association : String(), ObjectCount(count));
        for (int i = first; i < objects.GetCount(); i++)
        {
            const RelatedObject& object = objects[i];
            if (placed[i] || object.className != kind.className || object.association != kind.association)
            {
                continue;
            }
            placed[i] = true;
            // An association of a class without keys has no path to open.
            String name = object.relativePath.IsEmpty() ? object.className
                          : byAssociation               ? KeyValuesOf(object.relativePath)
                                                        : OtherEndsOf(object.relativePath, m_shownRelativePath);
            int row = model.AddRow(heading, name, String(), object.relativePath);
            if (!object.path.IsEmpty() || !object.relativePath.IsEmpty())
            {
                MakeLink(row, object.path.IsEmpty() ? object.relativePath : object.path);
            }
        }
        model.Expand(heading);
    }
}

void InstanceForm::UpdateButtons()
{
    m_backButton.SetEnabled(CanGoBack());
    m_forwardButton.SetEnabled(CanGoForward());
}

void InstanceForm::OnLinkActivated(Core::Object*, PropertyListEventArgs& args)
{
    int row = args.GetRow();
    if (row == NoRow || m_current < 0)
    {
        return;
    }
    uint64_t link = m_sheet.GetModel().GetData(row);
    if (link == 0 || link > m_links.size())
    {
        return;
    }
    // Read from where the one shown was found; a path naming another namespace is read there.
    const Step& from = m_steps[m_current];
    Step step{from.session, from.machine, m_links[link - 1], String(), String()};
    if (m_shown)
    {
        if (const ObjectProperty* server = m_shown->FindProperty(String(L"__SERVER")))
        {
            step.knownServer = server->GetValue().GetText();
        }
    }
    AddStep(std::move(step));
}

void InstanceForm::OnBackClick(Core::Object*, Core::EventArgs&)
{
    GoBack();
}

void InstanceForm::OnForwardClick(Core::Object*, Core::EventArgs&)
{
    GoForward();
}

bool InstanceForm::ProcessCmdKey(int keyData)
{
    if (keyData == (Keys::Alt | Keys::Left))
    {
        GoBack();
        return true;
    }
    if (keyData == (Keys::Alt | Keys::Right))
    {
        GoForward();
        return true;
    }
    return Window::ProcessCmdKey(keyData);
}

bool InstanceForm::ProcessDialogKey(int keyData)
{
    if (keyData == Keys::Escape)
    {
        Close();
        return true;
    }
    return Window::ProcessDialogKey(keyData);
}

intptr_t InstanceForm::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case WM_APPCOMMAND:
        // Sent up from the control under the mouse, whose default handling turns its side buttons into these.
        switch (GET_APPCOMMAND_LPARAM(lParam))
        {
        case APPCOMMAND_BROWSER_BACKWARD:
            GoBack();
            return TRUE;
        case APPCOMMAND_BROWSER_FORWARD:
            GoForward();
            return TRUE;
        default:
            break;
        }
        break;
    case WM_XBUTTONUP:
        if (GET_XBUTTON_WPARAM(wParam) == XBUTTON1)
        {
            GoBack();
        }
        else if (GET_XBUTTON_WPARAM(wParam) == XBUTTON2)
        {
            GoForward();
        }
        return TRUE;
    default:
        break;
    }
    return Window::WndProc(message, wParam, lParam);
}

bool InstanceForm::OnClosing(int dialogResult)
{
    m_read.Reset();
    m_reading = false;
    m_readingRelated = false;
    return Window::OnClosing(dialogResult);
}

} // namespace Quarrow
