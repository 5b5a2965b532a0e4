#include "app/options/OptionsConfigTabPage.h"

#include "app/TextInput.h"
#include "config/AppOptions.h"
#include "config/Catalogue.h"
#include "config/ClassTreeNodes.h"
#include "core/Exception.h"
#include "core/controls/Accessibility.h"
#include "core/controls/CommonDialog.h"
#include "core/controls/Cursor.h"
#include "core/controls/Window.h"
#include "core/io/Path.h"
#include "core/platform/windows/Desktop.h"
#include "core/threading/Completion.h"
#include "wmi/FilterCheck.h"
#include "wmi/ManagementConnection.h"
#include "wmi/ManagementObject.h"

#include <algorithm>
#include <memory>
#include <windows.h>

namespace Config
{

using namespace Core::Controls;
using Core::String;
using WMI::FilterCheck;
using WMI::FilterCheckResult;

namespace
{

constexpr const wchar_t* BlankNameMessage =
    L"Leaving configuration file name blank you wouldn't be able to configure Quarrow Class View, please enter "
    L"existing file name or name of the new file to be created";
constexpr const wchar_t* LoadFromFileQuestion =
    L"Load tree from file? If you want to recreate file from existing tree structure, press 'No'.";
constexpr const wchar_t* ConfigFileFilter = L"XML Files (*.xml*)|*.xml|All Files (*.*)|*.*";
constexpr const wchar_t* ValidateCaption = L"Validate Filter";

} // namespace

OptionsConfigTabPage::OptionsConfigTabPage(
    AppOptions& options, ImageList* treeImages,
    const Core::Collections::PointerArrayList<WMI::ManagementConnection>& connections)
    : TabPage(String(L"Configuration Settings")), m_options(options), m_connections(connections),
      m_editor(m_tree.GetNodes(), options), m_browseHandler(this, &OptionsConfigTabPage::OnBrowseClick),
      m_fileLostFocusHandler(this, &OptionsConfigTabPage::OnFileBoxLostFocus),
      m_filterLostFocusHandler(this, &OptionsConfigTabPage::OnFilterBoxLostFocus),
      m_validateHandler(this, &OptionsConfigTabPage::OnValidateClick),
      m_afterSelectHandler(this, &OptionsConfigTabPage::OnAfterSelect),
      m_beforeExpandHandler(this, &OptionsConfigTabPage::OnBeforeExpand),
      m_afterCheckHandler(this, &OptionsConfigTabPage::OnAfterCheck)
{
    SetClassName(String(L"Quarrow.OptionsConfigTabPage"));

    // The file on top, the tree filling the middle, the filter below it; labels above their fields.
    m_layout.SetDock(DockStyle::Fill);
    m_layout.SetMargin(Padding{12, 10, 12, 10});
    // The browse button and the filter's button end where the tree ends; the filter label and the selected class's
    // namespace share the row above the filter.
    m_layout.AddColumn(SizeType::Percent, 50);
    m_layout.AddColumn(SizeType::Percent, 50);
    m_layout.AddColumn(SizeType::Absolute, 80);
    m_layout.AddColumn(SizeType::Absolute, 32);
    m_layout.AddRow(SizeType::Absolute, 20); // file label
    m_layout.AddRow(SizeType::Absolute, 28); // file box and browse
    m_layout.AddRow(SizeType::Percent, 100); // tree
    m_layout.AddRow(SizeType::Absolute, 28); // filter label
    m_layout.AddRow(SizeType::Absolute, 28); // filter box and button
    GetControls().Add(&m_layout);

    // Access keys unlike the Reports page's: both pages are one window.
    m_fileLabel.SetText(String(L"Configuration &File:"));
    m_fileLabel.SetTextAlignment(ContentAlignment::BottomLeft);
    m_fileLabel.SetMargin(Padding{0, 0, 0, 3});
    m_layout.Add(&m_fileLabel, 0, 0, 1, 4);
    m_fileBox.SetMargin(Padding{0, 2, 6, 3});
    m_fileBox.SetText(options.GetConfigFile());
    m_layout.Add(&m_fileBox, 1, 0, 1, 3);
    m_browseButton.SetText(String(L"..."));
    m_browseButton.SetMargin(Padding{0, 1, 0, 2});
    m_layout.Add(&m_browseButton, 1, 3);

    m_treeFrame.SetBorder(true);
    m_treeFrame.SetMargin(Padding{0, 6, 0, 0});
    m_layout.Add(&m_treeFrame, 2, 0, 1, 4);
    m_tree.SetCheckBoxes(true);
    m_tree.SetImageList(treeImages);
    m_tree.GetAccessibilityObject().SetName(String(L"Categories, classes and properties"));
    m_tree.SetDock(DockStyle::Fill);
    m_treeFrame.GetControls().Add(&m_tree);

    m_filterLabel.SetText(String(L"Enter filter &text for selected class:"));
    m_filterLabel.SetTextAlignment(ContentAlignment::BottomLeft);
    m_filterLabel.SetMargin(Padding{0, 0, 0, 3});
    m_layout.Add(&m_filterLabel, 3, 0);
    // Names a namespace, not a field: no access key, and an ampersand is just that.
    m_namespaceLabel.SetUseMnemonic(false);
    m_namespaceLabel.SetTextAlignment(ContentAlignment::BottomRight);
    m_namespaceLabel.SetMargin(Padding{0, 0, 0, 3});
    m_layout.Add(&m_namespaceLabel, 3, 1, 1, 3);
    m_filterBox.SetMargin(Padding{0, 2, 6, 3});
    m_filterBox.SetEnabled(false);
    m_layout.Add(&m_filterBox, 4, 0, 1, 2);
    m_validateButton.SetText(String(L"Validate Filter"));
    m_validateButton.SetMargin(Padding{0, 1, 0, 2});
    m_validateButton.SetEnabled(false);
    m_layout.Add(&m_validateButton, 4, 2, 1, 2);

    m_browseButton.Click.Subscribe(&m_browseHandler);
    m_fileBox.LostFocus.Subscribe(&m_fileLostFocusHandler);
    m_filterBox.LostFocus.Subscribe(&m_filterLostFocusHandler);
    m_validateButton.Click.Subscribe(&m_validateHandler);
    m_tree.AfterSelect.Subscribe(&m_afterSelectHandler);
    m_tree.BeforeExpand.Subscribe(&m_beforeExpandHandler);
    m_tree.AfterCheck.Subscribe(&m_afterCheckHandler);
}

OptionsConfigTabPage::~OptionsConfigTabPage()
{
    m_tree.AfterCheck.Unsubscribe(&m_afterCheckHandler);
    m_tree.BeforeExpand.Unsubscribe(&m_beforeExpandHandler);
    m_tree.AfterSelect.Unsubscribe(&m_afterSelectHandler);
    m_validateButton.Click.Unsubscribe(&m_validateHandler);
    m_filterBox.LostFocus.Unsubscribe(&m_filterLostFocusHandler);
    m_fileBox.LostFocus.Unsubscribe(&m_fileLostFocusHandler);
    m_browseButton.Click.Unsubscribe(&m_browseHandler);
}

void OptionsConfigTabPage::OnCreate(Core::Object* sender, Core::EventArgs& args)
{
    m_editor.SetOwnerWindow(GetTopLevelControl()->GetHandle());
    TabPage::OnCreate(sender, args);
}

void OptionsConfigTabPage::LoadFromOptions()
{
    const String& configFile = m_options.GetConfigFile();
    m_fileBox.SetText(configFile);
    m_appliedFileName = configFile;
    LoadCheckTree(configFile);
}

void OptionsConfigTabPage::ForgetTree()
{
    m_rememberedNode = nullptr;
    LetWorkGo();
    ShowFilterOf(nullptr);
}

void OptionsConfigTabPage::LoadCheckTree(const String& path)
{
    ForgetTree();
    m_editor.LoadCheckTree(path);
}

void OptionsConfigTabPage::BuildDefaultCheckTree()
{
    ForgetTree();
    m_editor.BuildDefaultCheckTree();
}

void OptionsConfigTabPage::ShowError(const String& text)
{
    Core::Platform::Windows::Desktop::Current().ShowMessage(GetTopLevelControl()->GetHandle(), text, String(L"Error"),
                                                            MB_OK | MB_ICONERROR);
}

bool OptionsConfigTabPage::ApplyConfigFileName()
{
    if (m_applyingFileName)
    {
        return true;
    }
    struct Applying
    {
        bool& flag;
        explicit Applying(bool& applying) : flag(applying) { flag = true; }
        ~Applying() { flag = false; }
    } applying(m_applyingFileName);
    void* owner = GetTopLevelControl()->GetHandle();
    Core::Platform::Windows::Desktop& desktop = Core::Platform::Windows::Desktop::Current();

    String name = Quarrow::TidyFileName(m_fileBox.GetText());
    // Taken as applied before any question: a question takes the focus, and that must not ask again.
    m_appliedFileName = m_fileBox.GetText();
    if (name.IsEmpty())
    {
        desktop.ShowMessage(owner, String(BlankNameMessage), String(L"Configuration error"), MB_OK | MB_ICONWARNING);
        return false;
    }
    // The option holds a full path: a relative one would depend on the directory the program starts in.
    String path = name;
    try
    {
        path = Core::IO::GetFullPath(name);
    }
    catch (const Core::Exception&)
    {
        // A name the system cannot resolve is kept as typed; saving reports what is wrong with it.
    }
    if (path != m_fileBox.GetText())
    {
        m_fileBox.SetText(path);
        m_appliedFileName = path;
    }
    if (!Core::IO::File::Exists(path))
    {
        // A new file: it gets the whole catalogue, written on OK.
        BuildDefaultCheckTree();
        return true;
    }
    if (desktop.ShowMessage(owner, String(LoadFromFileQuestion), String(L"Options"), MB_YESNO | MB_ICONQUESTION) ==
        IDYES)
    {
        LoadCheckTree(path);
    }
    return true;
}

bool OptionsConfigTabPage::CommitPendingEdits()
{
    CommitFilter();
    if (Quarrow::TidyFileName(m_fileBox.GetText()).IsEmpty())
    {
        // Said again even if it was said when the box lost the focus: OK cannot go on without a name.
        return ApplyConfigFileName();
    }
    if (m_fileBox.GetText() != m_appliedFileName)
    {
        ApplyConfigFileName();
    }
    return true;
}

bool OptionsConfigTabPage::SaveConfiguration()
{
    AppOptions& options = m_options;
    String previousFile = options.GetConfigFile();
    int previousFlags = m_editor.GetChangeFlags();
    if (m_editor.SaveConfiguration(m_fileBox.GetText()))
    {
        return true;
    }
    // Not saved: the dialog stays open with the user's edits, and nothing of the attempt is kept.
    options.SetConfigFile(previousFile);
    m_editor.SetChangeFlags(previousFlags);
    return false;
}

void OptionsConfigTabPage::ShowFilterOf(TreeNode* node)
{
    WMI::ClassDefinition* definition = DefinitionOf(node);
    bool isClass = definition != nullptr;
    m_filterBox.SetText(isClass ? definition->GetFilter() : String());
    m_filterBox.SetEnabled(isClass);
    m_validateButton.SetEnabled(isClass && !m_checkingFilter);
    // The node's text is the class name, as the file and the property reads take it; the namespace is told here.
    bool elsewhere = isClass && !definition->IsInDefaultNamespace();
    m_namespaceLabel.SetText(elsewhere ? String(L"Namespace: ") + definition->GetNamespace() : String());
}

void OptionsConfigTabPage::CommitFilter()
{
    auto* definition = DefinitionOf(m_rememberedNode);
    if (definition == nullptr)
    {
        return;
    }
    String typed = m_filterBox.GetText();
    if (typed != definition->GetFilter())
    {
        definition->SetFilter(typed);
        m_editor.SetChangeFlags(m_editor.GetChangeFlags() | ClassViewChanged);
    }
}

bool OptionsConfigTabPage::IsFocusMovingTo(const Control* control)
{
    // While the control losing the focus hears of it, the system already names the one receiving it.
    return control != nullptr && control->GetHandle() != nullptr && GetFocus() == control->GetHandle();
}

bool OptionsConfigTabPage::IsClosing() const
{
    // A dialog that is being hidden takes the focus from its controls: that is no edit of the user's.
    return !GetTopLevelControl()->GetVisible();
}

Control* OptionsConfigTabPage::GetCancelButton() const
{
    auto* window = dynamic_cast<Window*>(GetTopLevelControl());
    return window != nullptr ? window->GetCancelButton() : nullptr;
}

void OptionsConfigTabPage::OnFileBoxLostFocus(Core::Object*, Core::EventArgs&)
{
    // Going to Cancel, or the dialog going away, asks nothing: the name is dropped with the rest.
    if (m_fileBox.GetText() == m_appliedFileName || IsClosing() || IsFocusMovingTo(GetCancelButton()))
    {
        return;
    }
    try
    {
        ApplyConfigFileName();
    }
    catch (const Core::Exception& exception)
    {
        ShowError(exception.GetMessageText());
    }
}

void OptionsConfigTabPage::OnFilterBoxLostFocus(Core::Object*, Core::EventArgs&)
{
    // Validating tries the text without taking it; Cancel and closing drop it.
    if (IsClosing() || IsFocusMovingTo(&m_validateButton) || IsFocusMovingTo(GetCancelButton()))
    {
        return;
    }
    CommitFilter();
}

void OptionsConfigTabPage::OnBrowseClick(Core::Object*, Core::EventArgs&)
{
    try
    {
        CommonDialog dialog;
        dialog.SetFilter(String(ConfigFileFilter));
        dialog.SetDefaultExtension(String(L"xml"));
        // A name that does not exist yet is welcome: it becomes a new file with the catalogue.
        dialog.SetCheckExisting(false);
        String current = Quarrow::TidyFileName(m_fileBox.GetText());
        if (current.IsEmpty())
        {
            dialog.SetInitialDirectory(Core::IO::Directory::GetCurrent());
        }
        else
        {
            dialog.SetFileName(current);
        }
        if (dialog.ShowOpenFileDialog(GetTopLevelControl()) != DialogResult::OK)
        {
            return;
        }
        m_fileBox.SetText(dialog.GetFileName());
        ApplyConfigFileName();
    }
    catch (const Core::Exception& exception)
    {
        ShowError(exception.GetMessageText());
    }
}

void OptionsConfigTabPage::OnAfterSelect(Core::Object*, TreeViewEventArgs& args)
{
    CommitFilter();
    m_rememberedNode = args.GetNode();
    ShowFilterOf(m_rememberedNode);
}

void OptionsConfigTabPage::OnBeforeExpand(Core::Object*, TreeViewCancelEventArgs& args)
{
    TreeNode* node = args.GetNode();
    if (KindOf(node) == NodeKind::Class && node->GetNodes().GetCount() == 0)
    {
        LoadProperties(node);
    }
}

String OptionsConfigTabPage::OtherNamespaceRefusal(const TreeNode* classNode, const wchar_t* what)
{
    // The dialog asks the first connection, which is to the default namespace: a class of the same name there is
    // another class.
    const WMI::ClassDefinition* definition = DefinitionOf(classNode);
    if (definition == nullptr || definition->IsInDefaultNamespace())
    {
        return String();
    }
    return classNode->GetText() + L" is in the namespace " + definition->GetNamespace() + L". " + what +
           L": the dialog reads " + WMI::DefaultNamespace + L" only.";
}

void OptionsConfigTabPage::LoadProperties(TreeNode* classNode)
{
    const Core::Collections::PointerArrayList<WMI::ManagementConnection>& connections = m_connections;
    for (TreeNode* reading : m_reading)
    {
        if (reading == classNode)
        {
            return; // its properties are on their way
        }
    }
    try
    {
        if (connections.GetCount() == 0)
        {
            throw Core::InvalidOperationException(String(L"There is no connection to read the class's properties"));
        }
        String refusal = OtherNamespaceRefusal(classNode, L"Its properties cannot be listed here");
        if (!refusal.IsEmpty())
        {
            throw Core::InvalidOperationException(refusal);
        }
        // A slow provider may take many seconds: the dialog goes on answering, shows the wait cursor meanwhile,
        // and the properties join the node when they come.
        WMI::ReadClassDefinition(m_work, connections[0], classNode->GetText(),
                                 [this, classNode](Core::Threading::Outcome<WMI::PropertyList>& read)
                                 { OnPropertiesRead(classNode, read); });
        m_reading.push_back(classNode);
        WorkStarted();
    }
    catch (const Core::Exception& exception)
    {
        ShowError(exception.GetMessageText());
    }
}

void OptionsConfigTabPage::OnPropertiesRead(TreeNode* classNode, Core::Threading::Outcome<WMI::PropertyList>& read)
{
    m_reading.erase(std::find(m_reading.begin(), m_reading.end(), classNode));
    WorkEnded();
    try
    {
        const WMI::PropertyList& properties = read.Get();
        if (classNode->GetNodes().GetCount() > 0)
        {
            return;
        }
        auto* definition = DefinitionOf(classNode);
        bool classChecked = classNode->GetCheckState() == TreeNode::Checked;
        for (int i = 0; i < properties.GetCount(); i++)
        {
            const String& name = properties[i].GetName();
            bool listed = definition == nullptr || definition->GetProperties().GetCount() == 0;
            for (int p = 0; !listed && p < definition->GetProperties().GetCount(); p++)
            {
                listed = definition->GetProperties()[p].GetName() == name;
            }
            // Its state is set before it joins the tree: that is no check change of the user's.
            auto node = std::make_unique<TreeNode>(name);
            node->SetImageIndex(NodeImage::Property);
            node->SetCheckState(classChecked && listed ? TreeNode::Checked : TreeNode::Unchecked);
            node->Expand();
            classNode->GetNodes().Add(node.get());
            node.release();
        }
        // The user asked to see them.
        classNode->Expand();
    }
    catch (const Core::Exception& exception)
    {
        ShowError(exception.GetMessageText());
    }
}

void OptionsConfigTabPage::WorkStarted()
{
    if (m_workUnderway++ == 0)
    {
        Core::Controls::Cursor::SetCurrent(Core::Controls::Cursor(Core::Controls::Cursor::Wait));
    }
}

void OptionsConfigTabPage::WorkEnded()
{
    if (m_workUnderway > 0 && --m_workUnderway == 0)
    {
        Core::Controls::Cursor::SetCurrent(Core::Controls::Cursor(Core::Controls::Cursor::Arrow));
    }
}

void OptionsConfigTabPage::LetWorkGo()
{
    // Nothing of it may come back: the nodes it was for may be gone.
    m_work.Reset();
    m_reading.clear();
    m_checkingFilter = false;
    if (m_workUnderway > 0)
    {
        m_workUnderway = 1;
        WorkEnded();
    }
    m_validateButton.SetEnabled(DefinitionOf(m_rememberedNode) != nullptr);
}

void OptionsConfigTabPage::OnAfterCheck(Core::Object*, TreeViewEventArgs& args)
{
    // The editor passes over the changes its own propagation makes.
    m_editor.OnAfterCheck(args.GetNode());
}

void OptionsConfigTabPage::OnValidateClick(Core::Object*, Core::EventArgs&)
{
    try
    {
        ValidateFilter();
    }
    catch (const Core::Exception& exception)
    {
        ShowError(exception.GetMessageText());
    }
}

void OptionsConfigTabPage::ValidateFilter()
{
    TreeNode* node = m_rememberedNode;
    if (KindOf(node) != NodeKind::Class || m_checkingFilter)
    {
        return;
    }
    const Core::Collections::PointerArrayList<WMI::ManagementConnection>& connections = m_connections;
    if (connections.GetCount() == 0)
    {
        ShowError(String(L"There is no connection to run the query on"));
        return;
    }
    String refusal = OtherNamespaceRefusal(node, L"Its filter cannot be tried here");
    if (!refusal.IsEmpty())
    {
        ShowError(refusal);
        return;
    }
    // The query the class view will run: a partly checked class fetches its checked properties, any
    // other class all of them.
    WMI::ClassDefinition query(node->GetText(), 0);
    if (node->GetCheckState() == TreeNode::PartlyChecked)
    {
        for (int i = 0; i < node->GetNodes().GetCount(); i++)
        {
            if (node->GetNodes()[i]->GetCheckState() == TreeNode::Checked)
            {
                query.GetProperties().Add(WMI::PropertyInfo(node->GetNodes()[i]->GetText()));
            }
        }
    }
    std::shared_ptr<const WMI::ConnectionSession> session = connections[0]->GetSession();
    String queryText = FilterCheck::QueryText(query, m_filterBox.GetText());
    // The button waits, greyed, for the machine's answer; the rest of the dialog goes on.
    Core::Threading::RunInBackground<FilterCheckResult>(
        m_work, [session, queryText] { return FilterCheck::Run(*session, queryText); },
        [this](Core::Threading::Outcome<FilterCheckResult>& checked) { OnFilterChecked(checked); });
    m_checkingFilter = true;
    m_validateButton.SetEnabled(false);
    WorkStarted();
}

void OptionsConfigTabPage::OnFilterChecked(Core::Threading::Outcome<FilterCheckResult>& checked)
{
    m_checkingFilter = false;
    WorkEnded();
    m_validateButton.SetEnabled(DefinitionOf(m_rememberedNode) != nullptr);
    const FilterCheckResult& result = checked.Get();
    Core::Platform::Windows::Desktop::Current().ShowMessage(
        GetTopLevelControl()->GetHandle(), FilterCheck::Describe(result), String(ValidateCaption),
        MB_OK | (result.valid ? MB_ICONINFORMATION : MB_ICONWARNING));
}

} // namespace Config
