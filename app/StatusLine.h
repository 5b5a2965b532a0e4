// The main window's status line: its panels, each with what it tells (the load, the class-view file, the loading
// mode), so that nobody else needs to know a panel's number.
#pragma once

#include "core/String.h"
#include "core/controls/StatusBar.h"

namespace Quarrow
{

class StatusLine
{
public:
    explicit StatusLine(bool asynchronousLoading);
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;

    Core::Controls::StatusBar& GetBar() { return m_bar; }

    // How far the load of the class shown is, or what it came to.
    void ShowLoading(const Core::String& text);
    // A problem with the class-view file, in red; empty when there is none.
    void ShowConfiguration(const Core::String& text);
    void ShowLoadingMode(bool asynchronous);
    // Paints the line now: said before work that may hold the window thread for a moment.
    void Repaint() { m_bar.Update(); }

    // The panels, left to right.
    static constexpr int LoadingPanel = 0;
    static constexpr int ConfigurationPanel = 1;
    static constexpr int LoadingModePanel = 2;

private:
    Core::Controls::StatusBar m_bar;
};

} // namespace Quarrow
