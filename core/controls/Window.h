// A dialog window (window type 4): start position, icon, accept and cancel buttons, the modal run
// with its owner disabled, and the closing hook that may keep the dialog open.
#pragma once

#include "core/controls/ContainerControl.h"

namespace Core::Controls
{

class Button;
class ImageList;

// Where a window appears when its native window is created (and when it is shown as a dialog).
class StartPosition : public EnumValue
{
public:
    enum Value
    {
        Manual = 0,         // at its bounds
        WindowsDefault = 1, // where the system puts new windows
        CenterOwner = 4,    // centred on the owner window
        CenterScreen = 8    // centred in the work area of the owner's (or the active window's) monitor
    };
    StartPosition(Value value) : EnumValue(value) {}
    explicit StartPosition(int value) : EnumValue(value) {}
    using EnumValue::operator==;
    using EnumValue::operator!=;
    bool operator==(Value other) const { return GetValue() == other; }
    bool operator!=(Value other) const { return GetValue() != other; }
};

namespace DialogResult
{
constexpr int None = 0;
constexpr int OK = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace DialogResult

class Window : public ContainerControl
{
public:
    Window();
    ~Window() override;

    void SetStartPosition(StartPosition position) { m_startPosition = position; }
    StartPosition GetStartPosition() const { return m_startPosition; }
    // The window this one belongs to: it stays above it, and a dialog disables it while it runs.
    void SetOwner(Control* owner);
    Control* GetOwner() const { return m_owner; }
    // Sends the image as the small and the big icon to the native window.
    void SetIcon(ImageList* images, int index);
    // The outer bounds that give the client area this size (at 96 DPI).
    void SetClientSize(int width, int height);

    // Enter presses the accept button, Esc the cancel button.
    void SetAcceptButton(Button* button);
    Button* GetAcceptButton() const { return m_acceptButton; }
    void SetCancelButton(Button* button);
    Button* GetCancelButton() const { return m_cancelButton; }

    // Shows the window modally over the owner (the active window when null) and returns the dialog
    // result once a result accepted by OnClosing has hidden it.
    int ShowDialog(Control* owner = nullptr);
    // Asks OnClosing; when it agrees, stores the result and hides the window (ending ShowDialog).
    void EndDialog(int result);
    bool IsModal() const { return m_modal; }
    int GetDialogResult() const { return m_dialogResult; }
    // As the close box does: ends a dialog with Cancel.
    void Close();
    void Activate();

protected:
    // Called with the result before the dialog ends; false keeps it open.
    virtual bool OnClosing(int dialogResult);
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override;
    bool ProcessDialogKey(int keyData) override;
    WindowHandle GetOwnerHandle() const override;
    bool UsesDefaultLocation() const override;
    void OnCreate(Object* sender, EventArgs& args) override;
    void OnDescendantFocused(Control* control) override;
    void OnDpiChanged(int oldDpi, int newDpi) override;
    // Gives the focus back to the control that had it last, or to the first one.
    void RestoreFocus();
    void ApplyStartPosition();

private:
    static constexpr uintptr_t IconTimer = 0x5149; // beyond the ids the program's own timers take

    void ApplyIcon();
    void ReleaseIcons();

    StartPosition m_startPosition = StartPosition::Manual;
    Control* m_owner = nullptr;           // not owned
    WindowHandle m_ownerHandle = nullptr; // the owner's window, or the active window ShowDialog took
    ImageList* m_icons = nullptr;         // not owned
    int m_iconIndex = -1;
    IconHandle m_smallIcon = nullptr; // owned
    IconHandle m_bigIcon = nullptr;   // owned
    Button* m_acceptButton = nullptr; // not owned
    Button* m_cancelButton = nullptr; // not owned
    WindowHandle m_lastFocus = nullptr;
    int m_dialogResult = DialogResult::None;
    bool m_modal = false;
    bool m_iconPending = false; // the icons come with the timer, after the first paint
};

} // namespace Core::Controls
