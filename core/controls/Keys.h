// Keyboard input as one value: the virtual-key code in the low 16 bits and the modifier bits above it.
#pragma once

#include "core/EnumValue.h"
#include "core/String.h"

namespace Core::Controls
{

namespace Keys
{

constexpr int KeyCode = 0xFFFF;
constexpr int Modifiers = 0x70000;

constexpr int None = 0;
constexpr int Shift = 0x10000;
constexpr int Control = 0x20000;
constexpr int Alt = 0x40000;

constexpr int Back = 0x08;
constexpr int Tab = 0x09;
constexpr int Return = 0x0D;
constexpr int ShiftKey = 0x10;
constexpr int ControlKey = 0x11;
constexpr int Menu = 0x12; // Alt
constexpr int Escape = 0x1B;
constexpr int Space = 0x20;
constexpr int PageUp = 0x21;
constexpr int PageDown = 0x22;
constexpr int End = 0x23;
constexpr int Home = 0x24;
constexpr int Left = 0x25;
constexpr int Up = 0x26;
constexpr int Right = 0x27;
constexpr int Down = 0x28;
constexpr int Insert = 0x2D;
constexpr int Delete = 0x2E;
constexpr int D0 = '0';
constexpr int D9 = '9';
constexpr int A = 'A';
constexpr int B = 'B';
constexpr int C = 'C';
constexpr int D = 'D';
constexpr int E = 'E';
constexpr int O = 'O';
constexpr int V = 'V';
constexpr int X = 'X';
constexpr int Y = 'Y';
constexpr int Z = 'Z';
constexpr int Apps = 0x5D;
constexpr int F1 = 0x70;
constexpr int F4 = 0x73;
constexpr int F5 = 0x74;
constexpr int F10 = 0x79;
constexpr int F24 = 0x87;

// The arrows, Home, End, Page Up and Page Down, with any modifiers: the keys a view that moves a selection
// takes for itself instead of leaving them to dialog navigation.
constexpr bool IsNavigation(int keyData)
{
    switch (keyData & KeyCode)
    {
    case Up:
    case Down:
    case Left:
    case Right:
    case Home:
    case End:
    case PageUp:
    case PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace Keys

// A menu item's key combination: a key code with modifier bits (Alt 0x40000, Ctrl 0x20000, Shift 0x10000).
class Shortcut : public EnumValue
{
public:
    enum Value
    {
        None = 0,
        F5 = Keys::F5,
        CtrlF = Keys::Control | 'F',
        CtrlF1 = Keys::Control | Keys::F1,
        CtrlQ = Keys::Control | 'Q',
        CtrlShiftA = Keys::Control | Keys::Shift | 'A',
        CtrlShiftB = Keys::Control | Keys::Shift | 'B',
        CtrlShiftC = Keys::Control | Keys::Shift | 'C',
        CtrlShiftD = Keys::Control | Keys::Shift | 'D',
        CtrlShiftE = Keys::Control | Keys::Shift | 'E',
        CtrlShiftO = Keys::Control | Keys::Shift | 'O',
        CtrlShiftX = Keys::Control | Keys::Shift | 'X'
    };
    Shortcut(Value value = None) : EnumValue(value) {}
    explicit Shortcut(int keyData) : EnumValue(keyData) {}

    int GetKeyCode() const { return GetValue() & Keys::KeyCode; }
    bool IsNone() const { return GetKeyCode() == 0; }
    // "Ctrl+", "Alt+", "Shift+" as the bits say, in that order, then the key's name: "Ctrl+Shift+C", "Ctrl+F1".
    String ToString() const override;
    // The name of a key: the character of a letter or digit key, "F1".."F24", or a short English name.
    static String GetKeyName(int keyCode);
};

} // namespace Core::Controls
