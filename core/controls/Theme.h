// The system's look, read where it is needed so that setting changes (high contrast, colours, fonts,
// DPI) take effect: system colours and the shades the controls derive from them, the system's
// fonts per DPI, and DPI scaling.
#pragma once

#include "core/controls/Color.h"
#include "core/controls/NativeTypes.h"

namespace Core::Controls::Theme
{

// --- DPI ---
constexpr int DefaultDpi = 96;
int GetSystemDpi();
// The window's DPI (per monitor where the system tells it), or the system's.
int GetWindowDpi(WindowHandle window);
// A length at 96 DPI scaled to dpi, rounded to the nearest pixel.
inline int Scale(int value, int dpi)
{
    long long product = static_cast<long long>(value) * dpi;
    return static_cast<int>(product >= 0 ? (product + 48) / 96 : -((-product + 48) / 96));
}
inline int Unscale(int value, int dpi)
{
    long long product = static_cast<long long>(value) * 96;
    return static_cast<int>(product >= 0 ? (product + dpi / 2) / dpi : -((-product + dpi / 2) / dpi));
}

// --- Fonts: owned by the theme, never deleted by a caller ---
enum class FontKind
{
    Message,   // dialogs and controls
    Menu,      // menu bar and drop-downs
    Status,    // status bar and tooltips
    Caption,   // bold headings
    Underlined // links
};
FontHandle GetFont(FontKind kind, int dpi);
// Forgets the cached fonts after a change of the system's settings.
void Reset();

// --- Colours ---
bool IsHighContrast();
// GetSysColor of a COLOR_ index as an opaque colour.
Color GetSystemColor(int index);

Color Face();          // dialog and form background
Color ControlText();   // text on the face
Color Window();        // background of entry fields, lists and menus
Color WindowText();    // text on Window()
Color GrayText();      // disabled text
Color Highlight();     // selection and focus accent
Color HighlightText(); // text on Highlight()
Color LinkText();
Color ButtonFace();
Color ButtonBorder();
Color HoverFill();
Color HoverBorder();
Color PressedFill();
Color PressedBorder();
Color InputBorder();
Color InputBorderHover();
Color Separator();
Color MenuBar();
Color MenuBackground();
Color MenuBorder();
Color MenuText();
Color MenuHotFill();
Color MenuHotBorder();
Color MenuHotText();
Color ToolTipBackground();
Color ToolTipText();
Color ToolTipBorder();

} // namespace Core::Controls::Theme
