// Static text: font, colour, alignment, optional word wrap, and a mnemonic that moves the focus to the
// control after the label in tab order.
#pragma once

#include "core/controls/Control.h"

namespace Core::Controls
{

class Label : public Control
{
public:
    explicit Label(const String& text = String());

    void SetWordWrap(bool wordWrap);
    bool GetWordWrap() const { return m_wordWrap; }
    // Whether "&" marks a mnemonic (shown underlined) or is an ordinary character.
    void SetUseMnemonic(bool useMnemonic);
    bool GetUseMnemonic() const { return m_useMnemonic; }
    Size GetPreferredSize() override;

protected:
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    bool ProcessMnemonic(wchar_t character) override;
    // The text's format flags for DrawText.
    int GetTextFormat() const;
    // Where the text is drawn inside the client area.
    virtual Rectangle GetTextBounds(Graphics& graphics);

private:
    void DrawRotated(Graphics& graphics, FontHandle font, Color color);

    bool m_wordWrap = false;
    bool m_useMnemonic = true;
};

} // namespace Core::Controls
