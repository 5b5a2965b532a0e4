#include "core/controls/GdiHandles.h"

#include <gtest/gtest.h>

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
