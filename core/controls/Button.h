// A push button: text with mnemonic, optional image, hover and pressed states, a visible focus, and
// the default look when it is its window's accept button. A dialog result ends its dialog on click.
#pragma once

#include "core/controls/Control.h"

namespace Core::Controls
{

class ImageList;

class Button : public Control
{
public:
    explicit Button(const String& text = String());

    // A result other than 0 ends the button's dialog with it after the click (OK 1, Cancel 2, ...).
    void SetDialogResult(int result) { m_dialogResult = result; }
    int GetDialogResult() const { return m_dialogResult; }
    // An image of the list drawn left of the text; -1 for none.
    void SetImage(ImageList* images, int index);
    // Drawn as the default button: the accept button of its window, or focused.
    bool IsDefault() const;
    bool IsPressed() const { return m_pressed; }
    Size GetPreferredSize() override;

protected:
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    void OnMouseEnter() override;
    void OnMouseLeave() override;
    void OnCaptureLost() override;
    bool OnKeyDown(int keyData) override;
    bool OnKeyUp(int keyData) override;
    bool IsInputKey(int keyData) const override;
    bool ProcessMnemonic(wchar_t character) override;
    void OnClick() override;
    void OnLostFocus() override;

private:
    void SetPressed(bool pressed);

    int m_dialogResult = 0;
    ImageList* m_images = nullptr; // not owned
    int m_imageIndex = -1;
    bool m_pressed = false;
    bool m_mouseHeld = false;
    bool m_spaceHeld = false;
};

} // namespace Core::Controls
