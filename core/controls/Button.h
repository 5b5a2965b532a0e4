// A push button: text with mnemonic, optional image, hover and pressed states, a visible focus, and
// the default look when it is its window's accept button. A dialog result ends its dialog on click.
#pragma once

#include "core/controls/ButtonBase.h"

namespace Core::Controls
{

class ImageList;

class Button : public ButtonBase
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
    Size GetPreferredSize() override;

protected:
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    bool OnKeyDown(int keyData) override;
    bool IsInputKey(int keyData) const override;
    void OnClick() override;

private:
    int m_dialogResult = 0;
    ImageList* m_images = nullptr; // not owned
    int m_imageIndex = -1;
};

} // namespace Core::Controls
