// The status bar at the bottom of a form: panels of text side by side, each with its colour and its
// way of taking width, and a size grip when the form can be resized.
#pragma once

#include "core/collections/PointerCollection.h"
#include "core/controls/Control.h"

namespace Core::Controls
{

class StatusBar;
class ToolTip;

enum class StatusBarPanelAutoSize
{
    None,    // its own width
    Spring,  // shares what the other panels leave
    Contents // as wide as its text
};

class StatusBarPanel : public Object
{
public:
    explicit StatusBarPanel(const String& text = String(),
                            StatusBarPanelAutoSize autoSize = StatusBarPanelAutoSize::Spring, int width = 100);

    // Repaints the bar at once.
    void SetText(const String& text);
    const String& GetText() const { return m_text; }
    // The text's colour; empty for the system's.
    void SetForeColor(Color color);
    Color GetForeColor() const { return m_foreColor; }
    void SetAutoSize(StatusBarPanelAutoSize autoSize);
    StatusBarPanelAutoSize GetAutoSize() const { return m_autoSize; }
    // Pixels at 96 DPI, for panels of their own width.
    void SetWidth(int width);
    int GetWidth() const { return m_width; }

private:
    friend class StatusBar;
    void Changed();

    String m_text;
    Color m_foreColor = Colors::Empty;
    StatusBarPanelAutoSize m_autoSize;
    int m_width;
    StatusBar* m_owner = nullptr; // not owned: the bar showing the panel
};

class StatusBar : public Control
{
public:
    StatusBar();
    ~StatusBar() override;

    // The panels, owned by the bar, left to right.
    Collections::PointerCollection<StatusBarPanel>& GetPanels() { return m_panels; }
    StatusBarPanel* AddPanel(const String& text, StatusBarPanelAutoSize autoSize = StatusBarPanelAutoSize::Spring,
                             int width = 100);
    // Where a panel is drawn, in device pixels.
    Rectangle GetPanelBounds(int index);
    // The whole text of a panel too narrow for it, which its tool tip shows; empty when the text fits.
    String GetCutText(int index);
    // The tip shown over a cut text; null until the mouse first rests on one.
    const ToolTip* GetToolTip() const { return m_toolTip; }

protected:
    friend class StatusBarPanel;
    void OnPaint(Graphics& graphics, const Rectangle& clip) override;
    void OnMouseMove(const Point& point, int keys) override;
    void OnMouseLeave() override;
    void OnMouseDown(const Point& point, int button, int keys) override;
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override;
    FontHandle GetDefaultFontHandle() override;
    AccessibleObject* CreateAccessibilityObject() override;
    void PanelChanged();

private:
    bool ShowsGrip() const;
    Rectangle GetGripBounds() const;
    void OnPanelInserted(Object* sender, Collections::CollectionEventArgs& args);
    // Shows or hides the tip for the panel under the mouse; on a refresh (a text or a width changed) a tip on its
    // way keeps its wait and takes the new text.
    void UpdateToolTip(int index, bool refresh);
    void HideToolTip();

    Collections::PointerCollection<StatusBarPanel> m_panels;
    MemberEventHandler<StatusBar, Collections::CollectionEventArgs> m_insertedHandler;
    ToolTip* m_toolTip = nullptr; // owned; made on first need
    int m_tipPanel = -1;          // the panel under the mouse, whose cut text the tip shows
};

} // namespace Core::Controls
