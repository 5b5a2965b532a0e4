#include "app/AboutForm.h"

#include "app/UserGuide.h"
#include "core/Exception.h"
#include "core/controls/Font.h"
#include "resources/ResourceIds.h"

#include <windows.h>

// The toolkit's operation, not the macro for MessageBoxW.
#undef MessageBox

namespace Quarrow
{

using namespace Core::Controls;
using Core::ResourceId;
using Core::String;

namespace
{

// The face of the system's dialog font, for the title in the same typeface but larger.
String MessageFontFace()
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
    {
        return String(L"Tahoma");
    }
    return String(metrics.lfMessageFont.lfFaceName);
}

} // namespace

AboutForm::AboutForm() : m_linkHandler(this, &AboutForm::OnLinkClicked)
{
    SetClassName(String(L"Quarrow.AboutForm"));
    SetText(String(L"About Quarrow"));
    SetSize(600, 250);

    // Two columns: the picture keeps its 200 by 200 pixels in a fixed cell; the texts take the rest.
    m_layout.SetDock(DockStyle::Fill);
    m_layout.AddColumn(SizeType::Absolute, 216);
    m_layout.AddColumn(SizeType::Percent, 100);
    m_layout.AddRow(SizeType::Absolute, 216);
    m_layout.AddRow(SizeType::Percent, 100);
    GetControls().Add(&m_layout);

    m_picture.SetImage(IDB_PRODUCT, 200, 200);
    m_picture.SetMargin(Padding::All(8));
    m_layout.Add(&m_picture, 0, 0);

    m_textLayout.SetMargin(Padding{0, 6, 12, 8});
    m_textLayout.AddColumn(SizeType::Percent, 100);
    m_textLayout.AddColumn(SizeType::Absolute, 84);
    m_textLayout.AddRow(SizeType::Absolute, 36); // title
    m_textLayout.AddRow(SizeType::Absolute, 19); // version
    m_textLayout.AddRow(SizeType::Absolute, 19); // owner
    m_textLayout.AddRow(SizeType::Absolute, 23); // text
    m_textLayout.AddRow(SizeType::Absolute, 19); // link
    m_textLayout.AddRow(SizeType::Absolute, 13); // separator
    m_textLayout.AddRow(SizeType::Percent, 100); // notice
    m_textLayout.AddRow(SizeType::Absolute, 25); // OK
    m_layout.Add(&m_textLayout, 0, 1, 2, 1);

    // Created first, so that the focus starts on it.
    m_okButton.SetText(String(L"OK"));
    m_okButton.SetDialogResult(DialogResult::OK);
    m_textLayout.Add(&m_okButton, 7, 1);
    SetAcceptButton(&m_okButton);

    m_titleLabel.SetText(String(L"Quarrow"));
    m_titleLabel.SetUseMnemonic(false);
    m_titleLabel.SetFont(Font(MessageFontFace(), 26, 600));
    m_textLayout.Add(&m_titleLabel, 0, 0, 1, 2);

    m_versionLabel.SetText(String(ResourceId(IDS_VERSION), Resources::StringLimit));
    m_versionLabel.SetUseMnemonic(false);
    m_textLayout.Add(&m_versionLabel, 1, 0, 1, 2);

    m_ownerLabel.SetText(String(ResourceId(IDS_OWNER), Resources::StringLimit));
    m_ownerLabel.SetUseMnemonic(false);
    m_textLayout.Add(&m_ownerLabel, 2, 0, 1, 2);

    m_textLabel.SetText(String(L"For more product information please read the user guide:"));
    m_textLabel.SetUseMnemonic(false);
    m_textLabel.SetTextAlignment(ContentAlignment::BottomLeft);
    m_textLayout.Add(&m_textLabel, 3, 0, 1, 2);

    m_link.SetText(String(UserGuideFileName));
    m_link.LinkClicked.Subscribe(&m_linkHandler);
    m_textLayout.Add(&m_link, 4, 0, 1, 2);

    m_separator.SetBackColor(Colors::FromArgb(0xFF, 0xA9, 0xA9, 0xA9));
    m_separator.SetMargin(Padding{0, 6, 0, 6});
    m_textLayout.Add(&m_separator, 5, 0, 1, 2);

    m_noticeLabel.SetText(String(L"This program is provided \"as is\", without warranty of any kind,\r\n"
                                 L"express or implied. You use it at your own risk.\r\n"
                                 L"Windows and Excel are trademarks of Microsoft Corporation."));
    m_noticeLabel.SetUseMnemonic(false);
    m_noticeLabel.SetWordWrap(true);
    m_noticeLabel.SetTextAlignment(ContentAlignment::TopLeft);
    m_textLayout.Add(&m_noticeLabel, 6, 0, 1, 2);
}

AboutForm::~AboutForm() = default;

void AboutForm::OnLinkClicked(Core::Object*, Core::CancelEventArgs& args)
{
    args.SetCancel(true);
    try
    {
        OpenUserGuide(GetHandle());
    }
    catch (Core::Exception& exception)
    {
        MessageBox(exception.GetMessageText(), String(L"Error"), MB_OK | MB_ICONERROR);
    }
}

} // namespace Quarrow
