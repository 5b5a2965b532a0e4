#include "app/StatusLine.h"

#include "core/controls/Color.h"

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;

StatusLine::StatusLine(bool asynchronousLoading)
{
    m_bar.AddPanel(String());
    StatusBarPanel* configuration = m_bar.AddPanel(String(), StatusBarPanelAutoSize::None, 200);
    configuration->SetForeColor(Colors::FromArgb(0xFF, 0xFF, 0x00, 0x00));
    m_bar.AddPanel(String(asynchronousLoading ? L"Async" : L"Sync"), StatusBarPanelAutoSize::None, 60);
}

void StatusLine::ShowLoading(const String& text)
{
    m_bar.GetPanels()[LoadingPanel]->SetText(text);
}

void StatusLine::ShowConfiguration(const String& text)
{
    m_bar.GetPanels()[ConfigurationPanel]->SetText(text);
}

void StatusLine::ShowLoadingMode(bool asynchronous)
{
    m_bar.GetPanels()[LoadingModePanel]->SetText(String(asynchronous ? L"Async" : L"Sync"));
}

} // namespace Quarrow
