#include "app/options/OptionsForm.h"

#include "config/AppOptions.h"
#include "core/Exception.h"
#include "core/controls/CommonDialog.h"
#include "core/controls/Cursor.h"
#include "core/platform/windows/Desktop.h"

#include <windows.h>

namespace Config
{

using namespace Core::Controls;
using Core::String;

namespace
{

struct TargetEntry
{
    const wchar_t* text;
    int value;
};

constexpr TargetEntry TargetEntries[] = {
    {L"Displayed on the screen", ReportOnScreen},
    {L"Opened in Excel spreadsheet", ReportInExcel},
    {L"Opened in Notepad (tab delemited)", ReportAsTabText},
    {L"Opened in Notepad (comma delemited)", ReportAsCommaText},
};

} // namespace

OptionsForm::OptionsForm(AppOptions& options, ImageList* treeImages,
                         const Core::Collections::PointerArrayList<WMI::ManagementConnection>& connections)
    : m_options(options), m_configPage(options, treeImages, connections),
      m_directoryBrowseHandler(this, &OptionsForm::OnDirectoryBrowseClick)
{
    SetClassName(String(L"Quarrow.OptionsForm"));
    SetText(String(L"Options"));
    SetSize(800, 600);

    m_layout.SetDock(DockStyle::Fill);
    m_layout.SetMargin(Padding{10, 10, 10, 10});
    m_layout.AddColumn(SizeType::Percent, 100);
    m_layout.AddColumn(SizeType::Absolute, 88);
    m_layout.AddColumn(SizeType::Absolute, 80);
    m_layout.AddRow(SizeType::Percent, 100);
    m_layout.AddRow(SizeType::Absolute, 40);
    GetControls().Add(&m_layout);
    m_layout.Add(&m_tabView, 0, 0, 1, 3);

    m_reportsPage.SetTitle(String(L"Reports"));
    m_tabView.GetPages().Add(&m_reportsPage);
    m_tabView.GetPages().Add(&m_configPage);

    // Labels on the left, fields in one column beside them.
    m_reportsLayout.SetDock(DockStyle::Fill);
    m_reportsLayout.SetMargin(Padding{12, 14, 12, 10});
    m_reportsLayout.AddColumn(SizeType::Absolute, 156);
    m_reportsLayout.AddColumn(SizeType::Absolute, 300);
    m_reportsLayout.AddColumn(SizeType::Percent, 100);
    m_reportsLayout.AddColumn(SizeType::Absolute, 32);
    m_reportsLayout.AddRow(SizeType::Absolute, 31);
    m_reportsLayout.AddRow(SizeType::Absolute, 31);
    m_reportsLayout.AddRow(SizeType::Absolute, 31);
    m_reportsLayout.AddRow(SizeType::Percent, 100);
    m_reportsPage.GetControls().Add(&m_reportsLayout);

    // Each label's access key moves the keyboard to the field after it; none is a key of another control here.
    m_directoryLabel.SetText(String(L"Report &default directory:"));
    m_directoryLabel.SetMargin(Padding{0, 0, 8, 0});
    m_reportsLayout.Add(&m_directoryLabel, 0, 0);
    m_directoryBox.SetMargin(Padding{0, 4, 6, 4});
    m_reportsLayout.Add(&m_directoryBox, 0, 1, 1, 2);
    m_directoryBrowseButton.SetText(String(L"..."));
    m_directoryBrowseButton.SetMargin(Padding{0, 3, 0, 3});
    m_reportsLayout.Add(&m_directoryBrowseButton, 0, 3);

    m_targetLabel.SetText(String(L"Report &results:"));
    m_targetLabel.SetMargin(Padding{0, 0, 8, 0});
    m_reportsLayout.Add(&m_targetLabel, 1, 0);
    for (const TargetEntry& entry : TargetEntries)
    {
        m_targetList.AddItem(String(entry.text), entry.value);
    }
    m_targetList.SetMargin(Padding{0, 4, 0, 4});
    m_reportsLayout.Add(&m_targetList, 1, 1);

    m_asyncCheckBox.SetText(String(L"Load data asyncronously"));
    m_asyncCheckBox.SetMargin(Padding{0, 4, 0, 4});
    m_reportsLayout.Add(&m_asyncCheckBox, 2, 1, 1, 3);

    m_okButton.SetText(String(L"OK"));
    m_okButton.SetDialogResult(DialogResult::OK);
    m_okButton.SetMargin(Padding{0, 12, 8, 3});
    m_layout.Add(&m_okButton, 1, 1);
    m_cancelButton.SetText(String(L"Cancel"));
    m_cancelButton.SetDialogResult(DialogResult::Cancel);
    m_cancelButton.SetMargin(Padding{0, 12, 0, 3});
    m_layout.Add(&m_cancelButton, 1, 2);
    SetAcceptButton(&m_okButton);
    SetCancelButton(&m_cancelButton);

    m_directoryBrowseButton.Click.Subscribe(&m_directoryBrowseHandler);
}

OptionsForm::~OptionsForm()
{
    m_directoryBrowseButton.Click.Unsubscribe(&m_directoryBrowseHandler);
}

void OptionsForm::OnCreate(Core::Object* sender, Core::EventArgs& args)
{
    LoadFromOptions();
    Window::OnCreate(sender, args);
}

intptr_t OptionsForm::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    // The window is kept between showings: each showing starts again from the stored options, so neither
    // the flags of an earlier OK nor the edits of a cancelled showing come back. Filled before it appears.
    if (message == WM_SHOWWINDOW && lParam == 0)
    {
        if (wParam != 0 && m_showingStale)
        {
            m_showingStale = false;
            LoadFromOptions();
        }
        else if (wParam == 0)
        {
            m_showingStale = true;
        }
    }
    return Window::WndProc(message, wParam, lParam);
}

void OptionsForm::LoadFromOptions()
{
    AppOptions& options = m_options;
    // First: loading the tree may mark it changed (a new file gets the catalogue).
    SetChangeFlags(0);
    m_directoryBox.SetText(options.GetReportDirectory());
    int selected = -1;
    for (int i = 0; i < m_targetList.GetItems().GetCount(); i++)
    {
        if (m_targetList.GetItems()[i]->GetValue() == options.GetReportTarget())
        {
            selected = i;
        }
    }
    m_targetList.SetSelectedIndex(selected);
    m_asyncCheckBox.SetChecked(options.GetAsyncLoad());
    m_configPage.LoadFromOptions();
}

bool OptionsForm::OnClosing(int dialogResult)
{
    // Whatever the dialog still waits for is let go: it closes at once, whatever the machine is doing.
    m_configPage.LetWorkGo();
    if (dialogResult != DialogResult::OK)
    {
        // Nothing of a cancelled showing reaches the owner.
        SetChangeFlags(0);
        return true;
    }
    try
    {
        return ApplyOptions();
    }
    catch (const Core::Exception& exception)
    {
        ShowError(exception.GetMessageText());
        return false;
    }
}

bool OptionsForm::ApplyOptions()
{
    if (!m_configPage.CommitPendingEdits())
    {
        m_tabView.ShowPage(m_tabView.GetPages().IndexOf(&m_configPage));
        m_configPage.GetFileBox().Focus();
        return false;
    }
    WaitCursor wait;
    // The file first: when it cannot be written the dialog stays open and nothing else is stored.
    if (!m_configPage.SaveConfiguration())
    {
        m_tabView.ShowPage(m_tabView.GetPages().IndexOf(&m_configPage));
        return false;
    }
    AppOptions& options = m_options;
    int flags = GetChangeFlags();
    if (m_directoryBox.GetText() != options.GetReportDirectory())
    {
        options.SetReportDirectory(m_directoryBox.GetText());
        flags |= ReportDirectoryChanged;
    }
    if (m_asyncCheckBox.GetChecked() != options.GetAsyncLoad())
    {
        options.SetAsyncLoad(m_asyncCheckBox.GetChecked());
        flags |= AsyncLoadChanged;
    }
    ComboBoxItem* target = m_targetList.GetSelectedItem();
    int targetValue = target != nullptr ? static_cast<int>(target->GetValue()) : 0;
    if (targetValue != options.GetReportTarget())
    {
        options.SetReportTarget(targetValue);
        flags |= ReportTargetChanged;
    }
    SetChangeFlags(flags);
    return true;
}

void OptionsForm::OnDirectoryBrowseClick(Core::Object*, Core::EventArgs&)
{
    try
    {
        CommonDialog dialog;
        dialog.SetTitle(String(L"Choose the directory for report files:"));
        dialog.SetSelectedPath(m_directoryBox.GetText());
        if (dialog.ShowFolderDialog(this) == DialogResult::OK)
        {
            m_directoryBox.SetText(dialog.GetSelectedPath());
        }
    }
    catch (const Core::Exception& exception)
    {
        ShowError(exception.GetMessageText());
    }
}

void OptionsForm::ShowError(const String& text)
{
    Core::Platform::Windows::Desktop::Current().ShowMessage(GetHandle(), text, String(L"Error"), MB_OK | MB_ICONERROR);
}

} // namespace Config
