#include "core/controls/GdiHandles.h"

#include <gtest/gtest.h>
#include <utility>

using namespace Core::Controls;

// Each owner gives back its handle at the end of its scope, and a selection puts back what it replaced.
TEST(GdiHandles, OwnersGiveBackWhatTheyHold)
{
    DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    HBITMAP bitmap = nullptr;
    {
        GdiObject<HBITMAP> owned(CreateBitmap(8, 8, 1, 1, nullptr));
        bitmap = owned.Get();
        ASSERT_TRUE(owned);
        EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(bitmap));
        ScreenContext screen;
        MemoryContext memory(screen.Get());
        HGDIOBJ original = GetCurrentObject(memory.Get(), OBJ_BITMAP);
        {
            Selection selected(memory.Get(), bitmap);
            EXPECT_EQ(bitmap, GetCurrentObject(memory.Get(), OBJ_BITMAP));
        }
        EXPECT_EQ(original, GetCurrentObject(memory.Get(), OBJ_BITMAP));
    }
    EXPECT_EQ(0u, GetObjectType(bitmap)) << "the bitmap was deleted";
    EXPECT_EQ(before, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));

    // A released handle is the caller's again.
    GdiObject<HBITMAP> given(CreateBitmap(4, 4, 1, 1, nullptr));
    HBITMAP kept = given.Release();
    EXPECT_FALSE(given);
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(kept));
    DeleteObject(kept);
}

// A window's context is given back to that window, and a selection restorer can share a scope with it.
TEST(GdiHandles, WindowContextIsReleasedToItsWindow)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    {
        WindowContext context(window);
        ASSERT_NE(nullptr, context.Get());
        EXPECT_EQ(static_cast<DWORD>(OBJ_DC), GetObjectType(context.Get()));
        GdiObject<HFONT> font(CreateFontW(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
        Selection selected(context.Get(), font.Get());
        EXPECT_EQ(font.Get(), GetCurrentObject(context.Get(), OBJ_FONT));
    }
    EXPECT_EQ(before, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    DestroyWindow(window);
}

// Reset deletes the handle held unless it is the one given; a move leaves the source empty.
TEST(GdiHandles, ResetAndMoveDeleteEachHandleOnce)
{
    DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    HBRUSH first = CreateSolidBrush(RGB(1, 2, 3));
    HBRUSH second = CreateSolidBrush(RGB(4, 5, 6));
    {
        GdiObject<HBRUSH> owner(first);
        owner.Reset(first);
        EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(first)) << "the same handle is kept";
        owner.Reset(second);
        EXPECT_EQ(0u, GetObjectType(first));
        GdiObject<HBRUSH> moved(std::move(owner));
        EXPECT_FALSE(owner);
        EXPECT_EQ(second, moved.Get());
    }
    EXPECT_EQ(0u, GetObjectType(second));
    EXPECT_EQ(before, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
}

// An owned icon is destroyed at the end of its scope; moved, it is destroyed once.
TEST(GdiHandles, OwnedIconIsDestroyedOnce)
{
    DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    {
        BYTE andMask[32 * 4] = {};
        BYTE xorMask[32 * 4] = {};
        OwnedIcon icon(CreateIcon(nullptr, 32, 32, 1, 1, andMask, xorMask));
        ASSERT_TRUE(icon);
        OwnedIcon other;
        other = std::move(icon);
        EXPECT_FALSE(icon);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(other.Get(), &info));
        GdiObject<HBITMAP> mask(info.hbmMask);
        GdiObject<HBITMAP> color(info.hbmColor);
    }
    EXPECT_EQ(before, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
}
