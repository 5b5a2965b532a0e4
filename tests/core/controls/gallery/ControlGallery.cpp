// The control gallery: one form that shows every control of the toolkit, for looking at the toolkit
// as a person would (and for its screenshots). Options: --open-menu opens the File menu with its
// Export submenu; --rect-file=PATH writes the window's screen rectangle to PATH once it is shown.
#include "core/controls/Application.h"
#include "core/controls/Button.h"
#include "core/controls/CheckBox.h"
#include "core/controls/ComboBox.h"
#include "core/controls/CommonDialog.h"
#include "core/controls/ContextMenu.h"
#include "core/controls/Form.h"
#include "core/controls/ImageList.h"
#include "core/controls/Label.h"
#include "core/controls/LinkLabel.h"
#include "core/controls/MainMenu.h"
#include "core/controls/MenuTracker.h"
#include "core/controls/Panel.h"
#include "core/controls/PictureBox.h"
#include "core/controls/StatusBar.h"
#include "core/controls/TableLayout.h"
#include "core/controls/TextBox.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolBar.h"
#include "core/controls/ToolBarDropDown.h"
#include "core/controls/ToolTip.h"

#include "tests/core/controls/gallery/IconPainter.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

#undef MessageBox

using namespace Core::Controls;
using Core::String;

namespace
{

enum Image
{
    ApplicationImage,
    ComputerImage,
    DisconnectImage,
    TextImage,
    SheetImage,
    StopImage,
    OptionsImage,
    HelpImage,
    FolderImage
};

// The banner of the picture box: a gradient with the program's mark, drawn at twice its shown size.
HBITMAP PaintBanner(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* pixels = static_cast<uint32_t*>(bits);
    Gallery::IconCanvas mark(height * 3 / 4);
    mark.Fill(Gallery::Ring(7.6, 7.4, 2.9, 4.9), 0xFFFFFF);
    mark.Fill(Gallery::Segment(9.4, 9.4, 12.4, 12.6, 2.1), 0xFFFFFF);
    std::vector<uint32_t> markPixels = mark.GetPixels();
    int markLeft = (width - mark.GetSize()) / 2;
    int markTop = (height - mark.GetSize()) / 2;
    for (int y = 0; y < height; y++)
    {
        for (int x = 0; x < width; x++)
        {
            // From indigo at the top left to a deep blue at the bottom right.
            double t = (static_cast<double>(x) / width + static_cast<double>(y) / height) / 2;
            int red = static_cast<int>(0x5B + (0x1F - 0x5B) * t);
            int green = static_cast<int>(0x4B + (0x6F - 0x4B) * t);
            int blue = static_cast<int>(0xDB + (0xC8 - 0xDB) * t);
            int mx = x - markLeft;
            int my = y - markTop;
            if (mx >= 0 && my >= 0 && mx < mark.GetSize() && my < mark.GetSize())
            {
                uint32_t pixel = markPixels[static_cast<size_t>(my * mark.GetSize() + mx)];
                int alpha = static_cast<int>(pixel >> 24);
                red = (red * (255 - alpha) + static_cast<int>((pixel >> 16) & 0xFF) * alpha) / 255;
                green = (green * (255 - alpha) + static_cast<int>((pixel >> 8) & 0xFF) * alpha) / 255;
                blue = (blue * (255 - alpha) + static_cast<int>(pixel & 0xFF) * alpha) / 255;
            }
            pixels[y * width + x] = 0xFF000000u | (static_cast<uint32_t>(red) << 16) |
                                    (static_cast<uint32_t>(green) << 8) | static_cast<uint32_t>(blue);
        }
    }
    return bitmap;
}

class GalleryForm : public Form
{
public:
    GalleryForm() : m_commandHandler(this, &GalleryForm::OnCommand), m_browseHandler(this, &GalleryForm::OnBrowse)
    {
        SetText(String(L"Quarrow Controls"));
        SetClientSize(780, 540);
        SetStartPosition(StartPosition::CenterScreen);
        for (Gallery::IconKind kind :
             {Gallery::IconKind::Application, Gallery::IconKind::Computer, Gallery::IconKind::Disconnect,
              Gallery::IconKind::TextReport, Gallery::IconKind::Spreadsheet, Gallery::IconKind::Stop,
              Gallery::IconKind::Options, Gallery::IconKind::Help, Gallery::IconKind::Folder})
        {
            std::vector<uint8_t> icon = Gallery::PaintIcon(kind);
            m_images.AddFromMemory(icon.data(), static_cast<int>(icon.size()));
        }
        SetIcon(&m_images, ApplicationImage);
        BuildMenu();
        BuildToolBar();
        BuildStatusBar();
        BuildBody();
    }

    MainMenu& GetMainMenu() { return m_menu; }

protected:
    // Opens the File menu and, by hovering as the mouse would, its Export submenu.
    void OnTimer(int id) override
    {
        StopTimer(id);
        MenuTracker::Instance().OpenBarItem(&m_menu, 0, false);
        ToolBarDropDown* file = m_file->GetDropDown();
        Core::Controls::Rectangle row = file->GetItemBounds(2);
        SendMessageW(file->GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(row.left + 20, row.top + row.height / 2));
        ToolBarDropDown* exportMenu = m_export->GetDropDown();
        Core::Controls::Rectangle excel = exportMenu->GetItemBounds(0);
        SendMessageW(exportMenu->GetHandle(), WM_MOUSEMOVE, 0,
                     MAKELPARAM(excel.left + 20, excel.top + excel.height / 2));
    }

public:
    MenuItem* GetFileMenu() { return m_file; }
    MenuItem* GetExportMenu() { return m_export; }
    TextBox& GetServerBox() { return m_server; }

private:
    void BuildMenu()
    {
        m_menu.SetImageList(&m_images);
        m_file = new MenuItem(String(L"&Application"));
        m_file->GetMenuItems().Add(
            new MenuItem(String(L"&Connect to another computer..."), 1, ComputerImage, Shortcut::CtrlShiftC));
        auto* disconnect = new MenuItem(String(L"&Disconnect"), 2, DisconnectImage, Shortcut::CtrlShiftD);
        disconnect->SetEnabled(false);
        m_file->GetMenuItems().Add(disconnect);
        m_export = new MenuItem(String(L"E&xport data to..."));
        m_export->SetSeparator(true);
        m_export->GetMenuItems().Add(new MenuItem(String(L"&Excel file"), 4, SheetImage, Shortcut::CtrlShiftX));
        m_export->GetMenuItems().Add(
            new MenuItem(String(L"&Comma delimited text file"), 6, TextImage, Shortcut::CtrlShiftB));
        m_export->GetMenuItems().Add(
            new MenuItem(String(L"&Tab delimited text file"), 3, TextImage, Shortcut::CtrlShiftE));
        m_file->GetMenuItems().Add(m_export);
        auto* exitItem = new MenuItem(String(L"E&xit"), 0);
        exitItem->SetSeparator(true);
        m_file->GetMenuItems().Add(exitItem);

        auto* edit = new MenuItem(String(L"&Edit"));
        edit->GetMenuItems().Add(new MenuItem(String(L"&Undo"), 40, -1, Shortcut(Keys::Control | 'Z')));
        auto* cut = new MenuItem(String(L"Cu&t"), 41, -1, Shortcut(Keys::Control | 'X'));
        cut->SetSeparator(true);
        edit->GetMenuItems().Add(cut);
        edit->GetMenuItems().Add(new MenuItem(String(L"&Copy"), 42, -1, Shortcut(Keys::Control | 'C')));
        edit->GetMenuItems().Add(new MenuItem(String(L"&Paste"), 43, -1, Shortcut(Keys::Control | 'V')));

        auto* tools = new MenuItem(String(L"&Tools"));
        tools->GetMenuItems().Add(new MenuItem(String(L"&Options..."), 20, OptionsImage, Shortcut::CtrlShiftO));

        auto* help = new MenuItem(String(L"&Help"));
        help->GetMenuItems().Add(new MenuItem(String(L"Online Help"), 30, HelpImage, Shortcut::CtrlF1));
        auto* about = new MenuItem(String(L"&About Quarrow..."), 31, ApplicationImage);
        about->SetSeparator(true);
        help->GetMenuItems().Add(about);

        for (MenuItem* item : {m_file, edit, tools, help})
        {
            m_menu.GetMenuItems().Add(item);
        }
        m_menu.Click.Subscribe(&m_commandHandler);
        SetMenu(&m_menu);
    }

    void BuildToolBar()
    {
        m_toolBar.SetImageList(&m_images);
        m_toolBar.SetDock(DockStyle::Top);
        m_toolBar.SetHeight(32);
        m_toolBar.AddButton(String(L"Connect to computer"), 1, ComputerImage);
        m_toolBar.AddButton(String(L"Disconnect"), 2, DisconnectImage, false);
        m_toolBar.AddButton(String(L"Open report in Notepad"), 3, TextImage)->SetSeparator(true);
        m_toolBar.AddButton(String(L"Open report in Excel"), 4, SheetImage);
        auto* more = new ToolBarDropDownItem(String(L"Export"), 7, FolderImage);
        auto* moreMenu = new ContextMenu();
        moreMenu->GetMenuItems().Add(new MenuItem(String(L"&Excel file"), 4, SheetImage));
        moreMenu->GetMenuItems().Add(new MenuItem(String(L"&Comma delimited text file"), 6, TextImage));
        more->SetDropDown(moreMenu);
        m_toolBar.GetButtons().Add(more);
        m_toolBar.AddButton(String(L"Stop asyncronous data loading"), 5, StopImage)->SetSeparator(true);
        m_toolBar.Click.Subscribe(&m_commandHandler);
        GetControls().Add(&m_toolBar);
    }

    void BuildStatusBar()
    {
        m_status.SetDock(DockStyle::Bottom);
        m_status.AddPanel(String(L"Loading completed. 1024 records"));
        StatusBarPanel* config =
            m_status.AddPanel(String(L"Config file does not exist"), StatusBarPanelAutoSize::None, 190);
        config->SetForeColor(Colors::FromRgb(0xC0, 0x20, 0x20));
        m_status.AddPanel(String(L"Async"), StatusBarPanelAutoSize::Contents);
        GetControls().Add(&m_status);
    }

    void AddRow(TableLayout& layout, int row, Label& label, Control& field, const wchar_t* text)
    {
        label.SetText(String(text));
        label.SetMargin(Padding{0, 0, 8, 0});
        layout.SetCell(&label, row, 0);
        field.SetMargin(Padding{0, 3, 0, 3});
        layout.SetCell(&field, row, 1, 1, 2);
    }

    void BuildBody()
    {
        m_body.SetDock(DockStyle::Fill);
        m_body.SetPadding(Padding{16, 12, 16, 12});
        GetControls().Add(&m_body);
        m_body.AddColumn(SizeType::Percent, 56);
        m_body.AddColumn(SizeType::Absolute, 24);
        m_body.AddColumn(SizeType::Percent, 44);
        m_body.AddRow(SizeType::Percent, 100);

        // Left: the fields of a connection.
        m_fields.AddColumn(SizeType::Absolute, 118);
        m_fields.AddColumn(SizeType::Percent, 100);
        m_fields.AddColumn(SizeType::Absolute, 34);
        for (int i = 0; i < 11; i++)
        {
            m_fields.AddRow(SizeType::Absolute, i == 0 ? 34 : i == 7 ? 14 : 31);
        }
        m_fields.AddRow(SizeType::Percent, 100);
        m_fields.AddRow(SizeType::Absolute, 31);
        m_heading.SetText(String(L"Connection"));
        m_heading.SetFont(Font(String(L"Tahoma"), 17, Font::Bold));
        m_heading.SetForeColor(Colors::FromRgb(0x2B, 0x3A, 0x8C));
        m_fields.SetCell(&m_heading, 0, 0, 1, 3);
        m_server.SetText(String(L"WKS-0042"));
        m_user.SetText(String(L"CONTOSO\\administrator"));
        m_password.SetPasswordChar(L'\x2022');
        m_password.SetText(String(L"secret"));
        m_domain.SetText(String(L"CONTOSO"));
        AddRow(m_fields, 1, m_serverLabel, m_server, L"&Server:");
        AddRow(m_fields, 2, m_userLabel, m_user, L"&User:");
        AddRow(m_fields, 3, m_passwordLabel, m_password, L"&Password:");
        AddRow(m_fields, 4, m_domainLabel, m_domain, L"&Domain:");
        m_directory.SetText(String(L"C:\\Reports"));
        m_directoryLabel.SetText(String(L"Report &folder:"));
        m_directoryLabel.SetMargin(Padding{0, 0, 8, 0});
        m_fields.SetCell(&m_directoryLabel, 5, 0);
        m_directory.SetMargin(Padding{0, 3, 6, 3});
        m_fields.SetCell(&m_directory, 5, 1);
        m_browse.SetText(String(L"..."));
        m_browse.SetMargin(Padding{0, 3, 0, 3});
        m_browse.Click.Subscribe(&m_browseHandler);
        m_fields.SetCell(&m_browse, 5, 2);
        m_target.AddItem(String(L"Displayed on the screen"), 1);
        m_target.AddItem(String(L"Opened in Excel spreadsheet"), 2);
        m_target.AddItem(String(L"Opened in Notepad (tab delemited)"), 3);
        m_target.AddItem(String(L"Opened in Notepad (comma delemited)"), 4);
        m_target.SetSelectedIndex(1);
        AddRow(m_fields, 6, m_targetLabel, m_target, L"Report &results:");
        m_async.SetText(String(L"Load data &asyncronously"));
        m_async.SetChecked(true);
        m_fields.SetCell(&m_async, 8, 1, 1, 2);
        m_remember.SetText(String(L"&Remember the password"));
        m_fields.SetCell(&m_remember, 9, 1, 1, 2);
        m_locked.SetText(String(L"Use &encryption (set by policy)"));
        m_locked.SetChecked(true);
        m_locked.SetEnabled(false);
        m_fields.SetCell(&m_locked, 10, 1, 1, 2);

        m_buttons.AddColumn(SizeType::Percent, 100);
        m_buttons.AddColumn(SizeType::Absolute, 88);
        m_buttons.AddColumn(SizeType::Absolute, 88);
        m_buttons.AddColumn(SizeType::Absolute, 80);
        m_buttons.AddRow(SizeType::Percent, 100);
        m_ok.SetText(String(L"OK"));
        m_cancel.SetText(String(L"Cancel"));
        m_apply.SetText(String(L"&Apply"));
        m_apply.SetEnabled(false);
        m_ok.SetMargin(Padding{0, 2, 8, 2});
        m_cancel.SetMargin(Padding{0, 2, 8, 2});
        m_apply.SetMargin(Padding{0, 2, 0, 2});
        m_buttons.SetCell(&m_ok, 0, 1);
        m_buttons.SetCell(&m_cancel, 0, 2);
        m_buttons.SetCell(&m_apply, 0, 3);
        m_fields.SetCell(&m_buttons, 12, 0, 1, 3);
        SetAcceptButton(&m_ok);
        SetCancelButton(&m_cancel);
        m_body.SetCell(&m_fields, 0, 0);

        // Right: the about box's parts.
        m_about.AddColumn(SizeType::Percent, 100);
        for (int height : {128, 40, 22, 66, 24, 17, 48})
        {
            m_about.AddRow(SizeType::Absolute, height);
        }
        m_about.AddRow(SizeType::Percent, 100);
        m_picture.SetBitmap(PaintBanner(640, 256));
        m_picture.SetMargin(Padding{0, 6, 0, 10});
        m_about.SetCell(&m_picture, 0, 0);
        m_title.SetText(String(L"Quarrow"));
        m_title.SetFont(Font(String(L"Tahoma"), 30, Font::Bold));
        m_about.SetCell(&m_title, 1, 0);
        m_version.SetText(String(L"Version 1.0.0.0"));
        m_version.SetForeColor(Theme::GrayText());
        m_about.SetCell(&m_version, 2, 0);
        m_description.SetText(String(L"Browse the management data of this and other machines: classes by "
                                     L"category, their properties and instances, exported to Excel or text."));
        m_description.SetWordWrap(true);
        m_description.SetTextAlignment(ContentAlignment::TopLeft);
        m_description.SetMargin(Padding{0, 6, 0, 0});
        m_about.SetCell(&m_description, 3, 0);
        m_link.SetText(String(L"https://quarrow.example/"));
        m_about.SetCell(&m_link, 4, 0);
        m_rule.SetBackColor(Colors::FromRgb(0xA9, 0xA9, 0xA9));
        m_rule.SetMargin(Padding{0, 8, 0, 8});
        m_about.SetCell(&m_rule, 5, 0);
        m_notice.SetText(String(L"This program is distributed in the hope that it will be useful, but without any "
                                L"warranty; see the licence for details."));
        m_notice.SetWordWrap(true);
        m_notice.SetTextAlignment(ContentAlignment::TopLeft);
        m_notice.SetFont(Font(String(L"Tahoma"), 13));
        m_notice.SetForeColor(Theme::GrayText());
        m_about.SetCell(&m_notice, 6, 0);
        m_body.SetCell(&m_about, 0, 2);

        m_toolTip.SetToolTip(&m_server, String(L"Name of the server to view WMI info."));
        m_toolTip.SetToolTip(&m_domain,
                             String(L"Enter domain name from which to retrieve login security credentials."));
        m_toolTip.SetToolTip(&m_user, String(L"Enter your administrative user ID in format Domain\\UserID\n\r or "
                                             L"just UserID for current domain."));
        m_toolTip.SetToolTip(&m_password, String(L"Enter your login password."));
    }

    void OnCommand(Core::Object*, CommandEventArgs& args)
    {
        if (args.GetCommandId() == 0)
        {
            Application::Exit(0);
            return;
        }
        String text = String(L"Command ") + args.GetCommandId() + L": " + args.GetItem()->GetText();
        m_status.GetPanels()[0]->SetText(text);
    }

    void OnBrowse(Core::Object*, Core::EventArgs&)
    {
        CommonDialog dialog;
        dialog.SetSelectedPath(m_directory.GetText());
        if (dialog.ShowFolderDialog(this) == DialogResult::OK)
        {
            m_directory.SetText(dialog.GetSelectedPath());
        }
    }

    ImageList m_images;
    MainMenu m_menu;
    MenuItem* m_file = nullptr;   // owned by the menu
    MenuItem* m_export = nullptr; // owned by the menu
    ToolBar m_toolBar;
    StatusBar m_status;
    TableLayout m_body;
    TableLayout m_fields;
    TableLayout m_buttons;
    TableLayout m_about;
    Label m_heading;
    Label m_serverLabel, m_userLabel, m_passwordLabel, m_domainLabel, m_directoryLabel, m_targetLabel;
    TextBox m_server, m_user, m_password, m_domain, m_directory;
    Button m_browse;
    ComboBox m_target;
    CheckBox m_async, m_remember, m_locked;
    Button m_ok, m_cancel, m_apply;
    PictureBox m_picture;
    Label m_title, m_version, m_description;
    LinkLabel m_link;
    Panel m_rule;
    Label m_notice;
    ToolTip m_toolTip;
    Core::MemberEventHandler<GalleryForm, CommandEventArgs> m_commandHandler;
    Core::MemberEventHandler<GalleryForm, Core::EventArgs> m_browseHandler;
};

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    Application::Init(instance, previous, String(commandLine), showCommand);
    std::string arguments = commandLine != nullptr ? commandLine : "";
    GalleryForm form;
    form.Show();
    form.GetServerBox().Focus();
    form.GetServerBox().SetSelection(8, 0);
    if (arguments.find("--open-menu") != std::string::npos)
    {
        // Once the window has settled on the screen, as a person would open it.
        form.StartTimer(1, 1500);
    }
    size_t rectOption = arguments.find("--rect-file=");
    if (rectOption != std::string::npos)
    {
        std::string path = arguments.substr(rectOption + 12);
        path = path.substr(0, path.find(' '));
        RECT rect;
        GetWindowRect(form.GetHandle(), &rect);
        if (FILE* file = std::fopen(path.c_str(), "w"))
        {
            std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top);
            std::fclose(file);
        }
    }
    return Application::Run(&form);
}
