// The commands of the menu and the toolbar, each declared once: its menu text with the mnemonic, its shortcut,
// its image and its tool tip. The menu and the toolbar are built from these declarations.
#pragma once

#include "core/controls/Keys.h"

namespace Core::Controls
{
class MainMenu;
class ToolBar;
} // namespace Core::Controls

namespace Quarrow
{

namespace Command
{
constexpr int Exit = 0;
constexpr int Connect = 1;
constexpr int Disconnect = 2;
constexpr int TabReport = 3;
constexpr int WorkbookReport = 4;
constexpr int StopLoading = 5;
constexpr int CommaReport = 6;
constexpr int Refresh = 7;
constexpr int Find = 8;
constexpr int LoadAllMachines = 9;
constexpr int ShowSystemClasses = 10;
constexpr int OpenClass = 11;
constexpr int OpenNamespace = 12;
constexpr int AddToClassView = 13;
constexpr int ShowValueNames = 14;
constexpr int FindClass = 50;
constexpr int NewQuery = 40;
constexpr int RunQuery = 41;
constexpr int CopyAsPowerShell = 42;
constexpr int SaveQueryToClassView = 43;
constexpr int Options = 20;
constexpr int OnlineHelp = 30;
constexpr int About = 31;
} // namespace Command

struct CommandInfo
{
    int id;
    const wchar_t* text; // in the menu, with its mnemonic; null for a command of the toolbar only
    Core::Controls::Shortcut shortcut;
    int image;              // in the tool images; -1 for none
    const wchar_t* toolTip; // on the toolbar; null for a command of the menu only
};

// The declaration of a command; null for an unknown id.
const CommandInfo* FindCommand(int id);

// The menu bar: Application, View, Query, Reports (Export data to ...), Tools, Help.
void BuildMainMenu(Core::Controls::MainMenu& menu);
// The toolbar: connect and disconnect, the two reports, stop and refresh, the load from all machines, a new query.
void BuildCommandToolBar(Core::Controls::ToolBar& toolBar);

} // namespace Quarrow
