// A label that is a link: drawn in the link colour and underlined, with the hand cursor and keyboard
// focus; clicking it (or Enter or Space) opens its text with the system's URL handler.
#pragma once

#include "core/controls/Label.h"

namespace Core::Controls
{

class LinkLabel : public Label
{
public:
    explicit LinkLabel(const String& text = String());

    // Raised before the link opens; a handler that cancels keeps it closed.
    Event<CancelEventArgs> LinkClicked;
    // Opens the text through "rundll32.exe url.dll,FileProtocolHandler"; a failure raises an
    // Exception with the system's text for the last error.
    void OpenLink();

protected:
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    void OnMouseUp(const Point& point, int button, int keys) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseLeave() override;
    bool OnKeyDown(int keyData) override;
    void OnClick() override;
    FontHandle GetDefaultFontHandle() override;

private:
    // The rectangle the text covers: only it is the link.
    Rectangle GetLinkBounds();

    bool m_pressed = false;
};

} // namespace Core::Controls
