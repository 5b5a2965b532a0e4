// Identifiers of the program's resources (Quarrow.rc) and the order of the main window's image lists.
// Included by the resource script too, which sees only the #defines.
#pragma once

// The program icon; also the last toolbar image.
#define IDI_QUARROW 107

// Toolbar and menu images.
#define IDI_CONNECT 169
#define IDI_DISCONNECT 149
#define IDI_COMPUTER 137
#define IDI_TEXT_REPORT 134
#define IDI_WORKBOOK_REPORT 152
#define IDI_STOP 163
#define IDI_REFRESH 173
#define IDI_FIND 174
#define IDI_ALL_MACHINES 175
#define IDI_QUERY 177

// Class tree images: the class, a property, then one per category.
#define IDI_CLASS 154
#define IDI_PROPERTY 164
#define IDI_APPLICATIONS 144
#define IDI_COM 145
#define IDI_DESKTOP 139
#define IDI_DRIVERS 141
#define IDI_FILE_SYSTEM 142
#define IDI_MEMORY 146
#define IDI_MULTIMEDIA 147
#define IDI_NETWORKING 148
#define IDI_OS_SETTINGS 159
#define IDI_PROCESSES 155
#define IDI_REGISTRY 167
#define IDI_SCHEDULER 156
#define IDI_SECURITY 158
#define IDI_SERVICES 165
#define IDI_SHARES 161
#define IDI_START_MENU 162
#define IDI_STORAGE 135
#define IDI_USERS 168
#define IDI_EVENT_LOG 160
#define IDI_PRODUCT_ACTIVATION 166
#define IDI_COOLING 136
#define IDI_INPUT_DEVICES 138
#define IDI_MOTHERBOARD 140
#define IDI_POWER 151
#define IDI_PRINTING 153
#define IDI_TELEPHONY 171
#define IDI_VIDEO 157
// The namespaces of a machine and each namespace.
#define IDI_NAMESPACE 176
// The classes of a namespace that are bases without instances, associations, and WMI's own.
#define IDI_ABSTRACT_CLASS 178
#define IDI_ASSOCIATION_CLASS 179
#define IDI_SYSTEM_CLASS 180

// The product's picture in the about dialog, 200 by 200 pixels.
#define IDB_PRODUCT 172

// Strings, read with a limit of 256 characters.
#define IDS_VERSION 100
#define IDS_OWNER 101

#ifndef RC_INVOKED
namespace Quarrow::Resources
{

constexpr int StringLimit = 256;

// The main window's toolbar image list, index by index (menus and dialog icons use it too).
constexpr int ToolImageCount = 11;
constexpr int ToolImageIds[ToolImageCount] = {
    IDI_CONNECT, IDI_DISCONNECT, IDI_COMPUTER, IDI_TEXT_REPORT, IDI_WORKBOOK_REPORT, IDI_STOP,
    IDI_QUARROW, IDI_REFRESH,    IDI_FIND,     IDI_ALL_MACHINES, IDI_QUERY};
constexpr int ProgramIconImage = 6;
constexpr int ConnectImage = 0;
constexpr int RefreshImage = 7;
constexpr int FindImage = 8;
constexpr int AllMachinesImage = 9;
constexpr int QueryImage = 10;

// The class tree's image list, index by index. The category folder at CategoryImage is no resource:
// it is the icon in CategoryIcon.h, added with ImageList::AddFromMemory.
constexpr int TreeImageCount = 35;
constexpr int CategoryImage = 1;
constexpr int NamespaceImage = 31;
constexpr int AbstractClassImage = 32;
constexpr int AssociationClassImage = 33;
constexpr int SystemClassImage = 34;
// clang-format off
constexpr int TreeImageIds[TreeImageCount] = {
    IDI_COMPUTER, 0, IDI_CLASS, IDI_PROPERTY,
    IDI_APPLICATIONS, IDI_COM, IDI_DESKTOP, IDI_DRIVERS, IDI_FILE_SYSTEM, IDI_MEMORY, IDI_MULTIMEDIA,
    IDI_NETWORKING, IDI_OS_SETTINGS, IDI_PROCESSES, IDI_REGISTRY, IDI_SCHEDULER, IDI_SECURITY, IDI_SERVICES,
    IDI_SHARES, IDI_START_MENU, IDI_STORAGE, IDI_USERS, IDI_EVENT_LOG, IDI_PRODUCT_ACTIVATION,
    IDI_COOLING, IDI_INPUT_DEVICES, IDI_MOTHERBOARD, IDI_POWER, IDI_PRINTING, IDI_TELEPHONY, IDI_VIDEO,
    IDI_NAMESPACE, IDI_ABSTRACT_CLASS, IDI_ASSOCIATION_CLASS, IDI_SYSTEM_CLASS};
// clang-format on

} // namespace Quarrow::Resources
#endif
