#include "app/PathForm.h"

#include "app/TextInput.h"

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;

PathForm::PathForm(const String& title, const String& prompt)
{
    SetClassName(String(L"Quarrow.PathForm"));
    SetText(title);
    SetSize(380, 110);

    m_layout.SetDock(DockStyle::Fill);
    m_layout.SetMargin(Padding{8, 8, 8, 6});
    m_layout.AddColumn(SizeType::Percent, 100);
    m_layout.AddColumn(SizeType::Absolute, 78);
    m_layout.AddColumn(SizeType::Absolute, 78);
    m_layout.AddRow(SizeType::Absolute, 20);
    m_layout.AddRow(SizeType::Absolute, 24);
    m_layout.AddRow(SizeType::Percent, 100);
    m_layout.AddRow(SizeType::Absolute, 27);
    GetControls().Add(&m_layout);

    m_pathLabel.SetText(prompt);
    m_pathLabel.SetTextAlignment(ContentAlignment::MiddleLeft);
    m_layout.Add(&m_pathLabel, 0, 0, 1, 3);
    m_pathBox.SetMargin(Padding{0, 1, 0, 1});
    m_layout.Add(&m_pathBox, 1, 0, 1, 3);

    m_okButton.SetText(String(L"OK"));
    m_okButton.SetDialogResult(DialogResult::OK);
    m_okButton.SetMargin(Padding{4, 2, 0, 0});
    m_layout.Add(&m_okButton, 3, 1);
    m_cancelButton.SetText(String(L"Cancel"));
    m_cancelButton.SetDialogResult(DialogResult::Cancel);
    m_cancelButton.SetMargin(Padding{4, 2, 0, 0});
    m_layout.Add(&m_cancelButton, 3, 2);
    SetAcceptButton(&m_okButton);
    SetCancelButton(&m_cancelButton);
}

String PathForm::GetPath() const
{
    return WithoutBlanks(m_pathBox.GetText());
}

} // namespace Quarrow
