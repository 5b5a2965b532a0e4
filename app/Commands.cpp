#include "app/Commands.h"

#include "core/controls/MainMenu.h"
#include "core/controls/MenuItem.h"
#include "core/controls/ToolBar.h"
#include "resources/ResourceIds.h"

#include <initializer_list>

namespace Quarrow
{

using Core::String;
using Core::Controls::MenuItem;
using Core::Controls::Shortcut;

namespace
{

const CommandInfo Commands[] = {
    {Command::Exit, L"E&xit", Shortcut::None, -1, nullptr},
    {Command::Connect, L"&Connect to another computer...", Shortcut::CtrlShiftC, Resources::ConnectImage,
     L"Connect to computer"},
    {Command::Disconnect, L"&Disconnect", Shortcut::CtrlShiftD, 1, L"Disconnect"},
    {Command::TabReport, L"&Tab delimited text file", Shortcut::CtrlShiftE, 3, L"Open report in Notepad"},
    {Command::WorkbookReport, L"&Excel file", Shortcut::CtrlShiftX, 4, L"Open report in Excel"},
    {Command::StopLoading, nullptr, Shortcut::None, 5, L"Stop asyncronous data loading"},
    {Command::CommaReport, L"&Comma delimited text file", Shortcut::CtrlShiftB, 3, nullptr},
    {Command::Refresh, L"&Refresh", Shortcut::F5, Resources::RefreshImage, L"Refresh (F5)"},
    {Command::Find, L"&Find...", Shortcut::CtrlF, Resources::FindImage, nullptr},
    {Command::LoadAllMachines, L"Load from &all machines", Shortcut::CtrlShiftA, Resources::AllMachinesImage,
     L"Load the class from all machines"},
    {Command::ShowSystemClasses, L"Show &System Classes", Shortcut::None, -1, nullptr},
    {Command::OpenClass, L"Open &Class...", Shortcut::None, -1, nullptr},
    {Command::OpenNamespace, L"Open &Namespace...", Shortcut::None, -1, nullptr},
    {Command::AddToClassView, L"Add to Class &View", Shortcut::None, -1, nullptr},
    {Command::ShowValueNames, L"Show val&ue names", Shortcut::None, -1, nullptr},
    {Command::FindClass, L"Find C&lass...", Shortcut(Core::Controls::Keys::Control | Core::Controls::Keys::Shift | 'F'),
     Resources::FindImage, nullptr},
    {Command::NewQuery, L"&New Query", Shortcut::CtrlQ, Resources::QueryImage, L"New WQL query (Ctrl+Q)"},
    {Command::RunQuery, L"&Run Query", Shortcut::None, -1, nullptr},
    {Command::CopyAsPowerShell, L"Copy as &PowerShell", Shortcut::None, -1, nullptr},
    {Command::SaveQueryToClassView, L"&Save Query to Class View", Shortcut::None, -1, nullptr},
    {Command::Options, L"&Options...", Shortcut::CtrlShiftO, -1, nullptr},
    {Command::OnlineHelp, L"Online Help", Shortcut::CtrlF1, -1, nullptr},
    {Command::About, L"&About Quarrow...", Shortcut::None, -1, nullptr},
};

// Marks the place of a separator line in a list of commands.
constexpr int Separator = -1;

MenuItem* NewMenu(const wchar_t* text, std::initializer_list<int> commands)
{
    auto* menu = new MenuItem(String(text));
    bool separated = false;
    for (int id : commands)
    {
        if (id == Separator)
        {
            separated = true;
            continue;
        }
        const CommandInfo* command = FindCommand(id);
        auto* item = new MenuItem(String(command->text), id, command->image, command->shortcut);
        item->SetSeparator(separated);
        separated = false;
        menu->GetMenuItems().Add(item);
    }
    return menu;
}

} // namespace

const CommandInfo* FindCommand(int id)
{
    for (const CommandInfo& command : Commands)
    {
        if (command.id == id)
        {
            return &command;
        }
    }
    return nullptr;
}

void BuildMainMenu(Core::Controls::MainMenu& menu)
{
    MenuItem* application = NewMenu(L"&Application", {Command::Connect, Command::Disconnect, Separator, Command::Exit});
    MenuItem* view =
        NewMenu(L"&View", {Command::Refresh, Command::Find, Command::FindClass, Separator, Command::ShowValueNames,
                           Separator, Command::LoadAllMachines, Separator, Command::OpenClass, Command::OpenNamespace,
                           Command::ShowSystemClasses, Command::AddToClassView});
    MenuItem* query = NewMenu(L"&Query", {Command::NewQuery, Command::RunQuery, Separator, Command::CopyAsPowerShell,
                                          Command::SaveQueryToClassView});
    auto* reports = new MenuItem(String(L"&Reports"));
    reports->GetMenuItems().Add(
        NewMenu(L"E&xport data to...", {Command::WorkbookReport, Command::CommaReport, Command::TabReport}));
    MenuItem* tools = NewMenu(L"&Tools", {Command::Options});
    MenuItem* help = NewMenu(L"&Help", {Command::OnlineHelp, Command::About});
    for (MenuItem* item : {application, view, query, reports, tools, help})
    {
        menu.GetMenuItems().Add(item);
    }
}

void BuildCommandToolBar(Core::Controls::ToolBar& toolBar)
{
    bool separated = false;
    for (int id :
         {Command::Connect, Command::Disconnect, Separator, Command::TabReport, Command::WorkbookReport, Separator,
          Command::StopLoading, Command::Refresh, Separator, Command::LoadAllMachines, Separator, Command::NewQuery})
    {
        if (id == Separator)
        {
            separated = true;
            continue;
        }
        const CommandInfo* command = FindCommand(id);
        toolBar.AddButton(String(command->toolTip), id, command->image)->SetSeparator(separated);
        separated = false;
    }
}

} // namespace Quarrow
