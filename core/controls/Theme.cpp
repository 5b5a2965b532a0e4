#include "core/controls/Theme.h"

#include "core/controls/GdiHandles.h"
#include "core/platform/windows/SystemFunction.h"

#include <initializer_list>
#include <windows.h>

namespace Core::Controls::Theme
{

namespace
{

// Newer systems know per-monitor DPI; older ones (and some Wine versions) do not, so these are looked
// up at run time instead of linked.
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetDpiForSystemFunction = UINT(WINAPI*)();
using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

struct CachedFont
{
    FontKind kind;
    int dpi;
    GdiObject<HFONT> handle;
};

constexpr int CacheSize = 16;
CachedFont fontCache[CacheSize] = {};
int nextSlot = 0;

NONCLIENTMETRICSW GetMetrics(int dpi)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    static const auto forDpi = Platform::Windows::SystemFunction<SystemParametersInfoForDpiFunction>(
        L"user32.dll", "SystemParametersInfoForDpi");
    if (forDpi != nullptr && forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi))
    {
        return metrics;
    }
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    // The system's metrics are at the system DPI.
    int systemDpi = GetSystemDpi();
    for (LOGFONTW* font : {&metrics.lfMessageFont, &metrics.lfMenuFont, &metrics.lfStatusFont, &metrics.lfCaptionFont})
    {
        font->lfHeight = MulDiv(font->lfHeight, dpi, systemDpi);
    }
    return metrics;
}

HFONT CreateKindFont(FontKind kind, int dpi)
{
    NONCLIENTMETRICSW metrics = GetMetrics(dpi);
    LOGFONTW font = metrics.lfMessageFont;
    switch (kind)
    {
    case FontKind::Menu:
        font = metrics.lfMenuFont;
        break;
    case FontKind::Status:
        font = metrics.lfStatusFont;
        break;
    case FontKind::Caption:
        font.lfWeight = FW_BOLD;
        break;
    case FontKind::Underlined:
        font.lfUnderline = TRUE;
        break;
    case FontKind::Message:
        break;
    }
    font.lfQuality = CLEARTYPE_QUALITY;
    return CreateFontIndirectW(&font);
}

Color Sys(int index)
{
    return GetSystemColor(index);
}

} // namespace

int GetSystemDpi()
{
    static const auto forSystem =
        Platform::Windows::SystemFunction<GetDpiForSystemFunction>(L"user32.dll", "GetDpiForSystem");
    if (forSystem != nullptr)
    {
        return static_cast<int>(forSystem());
    }
    ScreenContext screen;
    int dpi = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    return dpi > 0 ? dpi : DefaultDpi;
}

int GetWindowDpi(WindowHandle window)
{
    static const auto forWindow =
        Platform::Windows::SystemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    if (window != nullptr && forWindow != nullptr)
    {
        UINT dpi = forWindow(window);
        if (dpi != 0)
        {
            return static_cast<int>(dpi);
        }
    }
    return GetSystemDpi();
}

FontHandle GetFont(FontKind kind, int dpi)
{
    for (CachedFont& entry : fontCache)
    {
        if (entry.handle && entry.kind == kind && entry.dpi == dpi)
        {
            return entry.handle.Get();
        }
    }
    CachedFont& slot = fontCache[nextSlot];
    nextSlot = (nextSlot + 1) % CacheSize;
    slot = CachedFont{kind, dpi, GdiObject<HFONT>(CreateKindFont(kind, dpi))};
    return slot.handle.Get();
}

void Reset()
{
    for (CachedFont& entry : fontCache)
    {
        entry = CachedFont{};
    }
    nextSlot = 0;
}

bool IsHighContrast()
{
    HIGHCONTRASTW contrast = {};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

Color GetSystemColor(int index)
{
    return Colors::FromColorRef(GetSysColor(index));
}

// In high contrast every shade is one of the system's own colours; otherwise the shades are mixed from
// them in the proportions of the system's light look.
Color Face()
{
    return Sys(COLOR_BTNFACE);
}
Color ControlText()
{
    return Sys(COLOR_BTNTEXT);
}
Color Window()
{
    return Sys(COLOR_WINDOW);
}
Color WindowText()
{
    return Sys(COLOR_WINDOWTEXT);
}
Color GrayText()
{
    return Sys(COLOR_GRAYTEXT);
}
Color Highlight()
{
    return Sys(COLOR_HIGHLIGHT);
}
Color HighlightText()
{
    return Sys(COLOR_HIGHLIGHTTEXT);
}
namespace
{

// Perceived brightness from 0 to 1000, for telling whether two colours can be told apart.
int Luminance(Color color)
{
    return (Colors::GetRed(color) * 299 + Colors::GetGreen(color) * 587 + Colors::GetBlue(color) * 114) / 255;
}

} // namespace

Color LinkText()
{
    // Some systems leave the hot-tracking colour close to the face; a link must stay readable.
    Color hot = Sys(COLOR_HOTLIGHT);
    int difference = Luminance(hot) - Luminance(Sys(COLOR_BTNFACE));
    if (IsHighContrast() || difference < -350 || difference > 350)
    {
        return hot;
    }
    return Colors::Blend(Sys(COLOR_HIGHLIGHT), Sys(COLOR_WINDOWTEXT), 75);
}

Color ButtonFace()
{
    return IsHighContrast() ? Sys(COLOR_BTNFACE) : Colors::Blend(Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNFACE), 18);
}

Color ButtonBorder()
{
    return IsHighContrast() ? Sys(COLOR_BTNTEXT) : Colors::Blend(Sys(COLOR_BTNTEXT), Sys(COLOR_BTNFACE), 28);
}

Color HoverFill()
{
    return IsHighContrast() ? Sys(COLOR_HIGHLIGHT) : Colors::Blend(Sys(COLOR_HIGHLIGHT), Sys(COLOR_WINDOW), 10);
}

Color HoverBorder()
{
    return Sys(COLOR_HIGHLIGHT);
}

Color PressedFill()
{
    return IsHighContrast() ? Sys(COLOR_HIGHLIGHT) : Colors::Blend(Sys(COLOR_HIGHLIGHT), Sys(COLOR_WINDOW), 20);
}

Color PressedBorder()
{
    return IsHighContrast() ? Sys(COLOR_HIGHLIGHTTEXT) : Colors::Blend(Sys(COLOR_HIGHLIGHT), Sys(COLOR_BTNTEXT), 70);
}

Color InputBorder()
{
    return IsHighContrast() ? Sys(COLOR_WINDOWTEXT) : Colors::Blend(Sys(COLOR_WINDOWTEXT), Sys(COLOR_WINDOW), 52);
}

Color InputBorderHover()
{
    return IsHighContrast() ? Sys(COLOR_HIGHLIGHT) : Colors::Blend(Sys(COLOR_WINDOWTEXT), Sys(COLOR_WINDOW), 90);
}

Color Separator()
{
    return IsHighContrast() ? Sys(COLOR_WINDOWTEXT) : Colors::Blend(Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNFACE), 55);
}

Color MenuBar()
{
    return IsHighContrast() ? Sys(COLOR_MENU) : Sys(COLOR_WINDOW);
}

Color MenuBackground()
{
    return IsHighContrast() ? Sys(COLOR_MENU) : Colors::Blend(Sys(COLOR_WINDOW), Sys(COLOR_BTNFACE), 40);
}

Color MenuBorder()
{
    return IsHighContrast() ? Sys(COLOR_MENUTEXT) : Colors::Blend(Sys(COLOR_BTNSHADOW), Sys(COLOR_WINDOW), 60);
}

Color MenuText()
{
    return Sys(COLOR_MENUTEXT);
}

Color MenuHotFill()
{
    return IsHighContrast() ? Sys(COLOR_HIGHLIGHT) : Colors::Blend(Sys(COLOR_HIGHLIGHT), Sys(COLOR_WINDOW), 14);
}

Color MenuHotBorder()
{
    return IsHighContrast() ? Sys(COLOR_HIGHLIGHT) : Colors::Blend(Sys(COLOR_HIGHLIGHT), Sys(COLOR_WINDOW), 40);
}

Color MenuHotText()
{
    return IsHighContrast() ? Sys(COLOR_HIGHLIGHTTEXT) : Sys(COLOR_MENUTEXT);
}
Color ToolTipBackground()
{
    return Sys(COLOR_INFOBK);
}
Color ToolTipText()
{
    return Sys(COLOR_INFOTEXT);
}

Color ToolTipBorder()
{
    return IsHighContrast() ? Sys(COLOR_INFOTEXT) : Colors::Blend(Sys(COLOR_INFOTEXT), Sys(COLOR_INFOBK), 45);
}

} // namespace Core::Controls::Theme
