// The about dialog: the product's picture, name, version and owner, a link to the user guide and a
// legal notice. The main window creates it on first use and keeps it, hidden, between uses.
#pragma once

#include "core/Event.h"
#include "core/controls/Button.h"
#include "core/controls/Label.h"
#include "core/controls/LinkLabel.h"
#include "core/controls/PictureBox.h"
#include "core/controls/TableLayout.h"
#include "core/controls/Window.h"

namespace Quarrow
{

class AboutForm : public Core::Controls::Window
{
public:
    AboutForm();
    ~AboutForm() override;

private:
    // Opens the user guide beside the program; a guide that is missing or a browser that cannot be started is
    // reported to the user and the dialog stays open.
    void OnLinkClicked(Core::Object* sender, Core::CancelEventArgs& args);

    // The picture on the left, the texts' own layout on the right.
    Core::Controls::TableLayout m_layout;
    Core::Controls::TableLayout m_textLayout;
    Core::Controls::PictureBox m_picture;
    Core::Controls::Label m_titleLabel;
    Core::Controls::Label m_versionLabel;
    Core::Controls::Label m_ownerLabel;
    Core::Controls::Label m_textLabel;
    Core::Controls::LinkLabel m_link;
    Core::Controls::Label m_separator;
    Core::Controls::Label m_noticeLabel;
    Core::Controls::Button m_okButton;
    Core::MemberEventHandler<AboutForm, Core::CancelEventArgs> m_linkHandler;
};

} // namespace Quarrow
