// What the preview programs of the main window share: running its messages for a while, finding a node, and
// telling the screenshot script what to keep.
#pragma once

#include "core/controls/TreeNode.h"

#include <fstream>
#include <functional>
#include <string>
#include <windows.h>

namespace Preview
{

// Runs the window thread's messages until done says so or the time has passed.
inline void PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 10000)
{
    DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < milliseconds)
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// The child of node with the text, or null (also for a null node).
inline Core::Controls::TreeNode* Child(Core::Controls::TreeNode* node, const wchar_t* text)
{
    for (int i = 0; node != nullptr && i < node->GetNodes().GetCount(); i++)
    {
        if (node->GetNodes()[i]->GetText() == Core::String(text))
        {
            return node->GetNodes()[i];
        }
    }
    return nullptr;
}

// "x y width height" of what the screenshot keeps, in the file the script named.
inline void WriteRect(const std::string& path, const RECT& rect)
{
    std::ofstream(path) << rect.left << ' ' << rect.top << ' ' << rect.right - rect.left << ' '
                        << rect.bottom - rect.top << '\n';
}

} // namespace Preview
