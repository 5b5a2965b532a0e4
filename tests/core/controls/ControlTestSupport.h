// Helpers of the toolkit's tests: pumping the message queue, real keyboard and mouse messages with
// the modifier keys held in the thread's key state, and pictures rendered through WM_PRINTCLIENT.
#pragma once

#include "core/controls/Color.h"
#include "core/controls/Control.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace Testing
{

// Dispatches every queued message; stale application-end messages of destroyed forms are dropped.
void PumpMessages();
// Dispatches messages as they come until done() holds: the work waited for tells its end by a message (a posted
// completion) or by state done() reads, which is looked at again at least every 20 ms. False when done() still
// fails after a minute, a bound that only keeps a broken test from hanging the run.
bool PumpUntil(const std::function<bool()>& done);
// Drops queued application-end and quit messages, so that a later message loop starts clean.
void DropEndMessages();

// Holds Ctrl, Shift and Alt (as Keys bits) down in the thread's keyboard state for the scope.
class HeldKeys
{
public:
    explicit HeldKeys(int modifiers);
    ~HeldKeys();
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;

private:
    unsigned char m_saved[256];
};

// WM_KEYDOWN and WM_KEYUP (WM_SYSKEYDOWN/UP with Alt) sent to the window with the keyboard focus,
// or to the control when nothing of it has the focus.
void PressKey(Core::Controls::Control& control, int keyCode, int modifiers = 0);
void PressKeyTo(void* window, int keyCode, int modifiers = 0);
void TypeText(void* window, const wchar_t* text);
// The window that has the keyboard focus.
void* FocusedWindow();
// The Unicode text on the clipboard (empty when there is none).
std::wstring ClipboardText();
// A left click at a point of the control's client area (pixels).
void Click(Core::Controls::Control& control, int x, int y);
void MouseMove(Core::Controls::Control& control, int x, int y);

// The pixels of a control's client area painted through WM_PRINTCLIENT.
class Picture
{
public:
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB, top-down

    Core::Controls::Color At(int x, int y) const;
    int Count(Core::Controls::Color color) const;
    int CountIn(Core::Controls::Color color, int left, int top, int w, int h) const;
    // Pixels differing from the colour inside the rectangle.
    int CountOther(Core::Controls::Color color, int left, int top, int w, int h) const;
};
Picture Render(Core::Controls::Control& control, bool withChildren = true);

// The bytes of an .ico file with one opaque square image per (size, colour).
std::vector<uint8_t> SolidIconFile(const std::vector<std::pair<int, Core::Controls::Color>>& images);
// Reads the pixels of an icon drawn at its size on black and on white: 0xRRGGBB, and alpha apart.
struct IconPixels
{
    int size = 0;
    std::vector<uint32_t> onBlack;
    std::vector<uint32_t> onWhite;
};
IconPixels ReadIcon(void* icon, int size);

} // namespace Testing
