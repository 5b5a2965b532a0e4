#include "tests/core/controls/ControlTestSupport.h"

#include "core/controls/Application.h"

#include <windows.h>

using Core::Controls::Color;
using Core::Controls::Colors::FromRgb;

namespace Testing
{

bool PumpUntil(const std::function<bool()>& done)
{
    ULONGLONG start = GetTickCount64();
    while (!done())
    {
        if (GetTickCount64() - start > 60000)
        {
            return false;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        PumpMessages();
    }
    return true;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        if (message.hwnd == nullptr &&
            (message.message == Core::Controls::Application::ApplicationEndMessage || message.message == WM_QUIT))
        {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
        Core::Controls::Application::ThrowPendingException();
    }
}

void DropEndMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, Core::Controls::Application::ApplicationEndMessage,
                        Core::Controls::Application::ApplicationEndMessage, PM_REMOVE | PM_NOYIELD))
    {
    }
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE | PM_NOYIELD))
    {
    }
}

HeldKeys::HeldKeys(int modifiers)
{
    GetKeyboardState(m_saved);
    unsigned char state[256];
    GetKeyboardState(state);
    auto hold = [&state](int key, bool down) { state[key] = down ? 0x80 : 0; };
    hold(VK_SHIFT, (modifiers & Core::Controls::Keys::Shift) != 0);
    hold(VK_LSHIFT, (modifiers & Core::Controls::Keys::Shift) != 0);
    hold(VK_CONTROL, (modifiers & Core::Controls::Keys::Control) != 0);
    hold(VK_LCONTROL, (modifiers & Core::Controls::Keys::Control) != 0);
    hold(VK_MENU, (modifiers & Core::Controls::Keys::Alt) != 0);
    hold(VK_LMENU, (modifiers & Core::Controls::Keys::Alt) != 0);
    SetKeyboardState(state);
}

HeldKeys::~HeldKeys()
{
    SetKeyboardState(m_saved);
}

void* FocusedWindow()
{
    return GetFocus();
}

void PressKeyTo(void* window, int keyCode, int modifiers)
{
    HWND target = static_cast<HWND>(window);
    HeldKeys held(modifiers);
    bool alt = (modifiers & Core::Controls::Keys::Alt) != 0;
    LPARAM down = 1 | (alt ? (1 << 29) : 0);
    LPARAM up = down | (1u << 30) | (1u << 31);
    SendMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(keyCode), down);
    Core::Controls::Application::ThrowPendingException();
    if (IsWindow(target))
    {
        SendMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, static_cast<WPARAM>(keyCode), up);
    }
    Core::Controls::Application::ThrowPendingException();
}

void PressKey(Core::Controls::Control& control, int keyCode, int modifiers)
{
    HWND focus = GetFocus();
    HWND target = focus != nullptr && (focus == control.GetHandle() || IsChild(control.GetHandle(), focus))
                      ? focus
                      : control.GetHandle();
    PressKeyTo(target, keyCode, modifiers);
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (OpenClipboard(nullptr))
    {
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        if (data != nullptr)
        {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return text;
}

void TypeText(void* window, const wchar_t* text)
{
    for (const wchar_t* p = text; *p != 0; p++)
    {
        SendMessageW(static_cast<HWND>(window), WM_CHAR, *p, 1);
        Core::Controls::Application::ThrowPendingException();
    }
}

void Click(Core::Controls::Control& control, int x, int y)
{
    LPARAM position = MAKELPARAM(x, y);
    SendMessageW(control.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, position);
    SendMessageW(control.GetHandle(), WM_LBUTTONUP, 0, position);
    Core::Controls::Application::ThrowPendingException();
}

void MouseMove(Core::Controls::Control& control, int x, int y)
{
    SendMessageW(control.GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    Core::Controls::Application::ThrowPendingException();
}

Color Picture::At(int x, int y) const
{
    return 0xFF000000u | pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
}

int Picture::Count(Color color) const
{
    return CountIn(color, 0, 0, width, height);
}

int Picture::CountIn(Color color, int left, int top, int w, int h) const
{
    int count = 0;
    for (int y = top; y < top + h && y < height; y++)
    {
        for (int x = left; x < left + w && x < width; x++)
        {
            count += At(x, y) == (color | 0xFF000000u) ? 1 : 0;
        }
    }
    return count;
}

int Picture::CountOther(Color color, int left, int top, int w, int h) const
{
    int inside = 0;
    for (int y = top; y < top + h && y < height; y++)
    {
        for (int x = left; x < left + w && x < width; x++)
        {
            inside++;
        }
    }
    return inside - CountIn(color, left, top, w, h);
}

Picture Render(Core::Controls::Control& control, bool withChildren)
{
    Picture picture;
    RECT client;
    GetClientRect(control.GetHandle(), &client);
    picture.width = client.right;
    picture.height = client.bottom;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    SendMessageW(control.GetHandle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                 PRF_CLIENT | (withChildren ? PRF_CHILDREN : 0));
    GdiFlush();
    picture.pixels.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
    const auto* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < picture.pixels.size(); i++)
    {
        picture.pixels[i] = source[i] & 0xFFFFFF;
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
    (void)FromRgb;
    return picture;
}

std::vector<uint8_t> SolidIconFile(const std::vector<std::pair<int, Color>>& images)
{
    std::vector<std::vector<uint8_t>> bodies;
    for (const auto& [size, color] : images)
    {
        std::vector<uint8_t> body;
        auto put32 = [&body](uint32_t value)
        {
            for (int i = 0; i < 4; i++)
            {
                body.push_back(static_cast<uint8_t>(value >> (8 * i)));
            }
        };
        auto put16 = [&body](uint16_t value)
        {
            body.push_back(static_cast<uint8_t>(value));
            body.push_back(static_cast<uint8_t>(value >> 8));
        };
        put32(40);
        put32(static_cast<uint32_t>(size));
        put32(static_cast<uint32_t>(size * 2));
        put16(1);
        put16(32);
        for (int i = 0; i < 6; i++)
        {
            put32(0);
        }
        for (int i = 0; i < size * size; i++)
        {
            put32(0xFF000000u | (color & 0xFFFFFF));
        }
        int maskRow = ((size + 31) / 32) * 4;
        body.insert(body.end(), static_cast<size_t>(maskRow * size), 0);
        bodies.push_back(body);
    }
    std::vector<uint8_t> file = {0, 0, 1, 0, static_cast<uint8_t>(images.size()), 0};
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); i++)
    {
        uint8_t side = static_cast<uint8_t>(images[i].first % 256);
        uint32_t length = static_cast<uint32_t>(bodies[i].size());
        uint8_t entry[16] = {side, side, 0, 0, 1, 0, 32, 0};
        for (int b = 0; b < 4; b++)
        {
            entry[8 + b] = static_cast<uint8_t>(length >> (8 * b));
            entry[12 + b] = static_cast<uint8_t>(offset >> (8 * b));
        }
        file.insert(file.end(), entry, entry + 16);
        offset += length;
    }
    for (const auto& body : bodies)
    {
        file.insert(file.end(), body.begin(), body.end());
    }
    return file;
}

IconPixels ReadIcon(void* icon, int size)
{
    IconPixels result;
    result.size = size;
    for (int pass = 0; pass < 2; pass++)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = size;
        info.bmiHeader.biHeight = -size;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HDC screen = GetDC(nullptr);
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC memory = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        PatBlt(memory, 0, 0, size, size, pass == 0 ? BLACKNESS : WHITENESS);
        DrawIconEx(memory, 0, 0, static_cast<HICON>(icon), size, size, 0, nullptr, DI_NORMAL);
        GdiFlush();
        std::vector<uint32_t>& target = pass == 0 ? result.onBlack : result.onWhite;
        const auto* source = static_cast<const uint32_t*>(bits);
        target.assign(source, source + size * size);
        for (uint32_t& pixel : target)
        {
            pixel &= 0xFFFFFF;
        }
        SelectObject(memory, previous);
        DeleteDC(memory);
        DeleteObject(bitmap);
    }
    return result;
}

} // namespace Testing
