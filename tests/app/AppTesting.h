// What the tests of the program's windows share: texts as std::wstring, nodes reached by their texts, a window's
// controls of one kind, and an action run once a dialog shows.
#pragma once

#include "core/String.h"
#include "core/controls/Control.h"
#include "core/controls/TreeNode.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

namespace AppTesting
{

inline std::wstring W(const Core::String& text)
{
    return std::wstring(text.GetBuffer(), static_cast<size_t>(text.GetLength()));
}

// The node reached from the roots by texts, or null.
inline Core::Controls::TreeNode* Find(Core::Controls::TreeNodeCollection& nodes,
                                      std::initializer_list<const wchar_t*> path)
{
    Core::Controls::TreeNodeCollection* level = &nodes;
    Core::Controls::TreeNode* found = nullptr;
    for (const wchar_t* text : path)
    {
        found = nullptr;
        for (int i = 0; i < level->GetCount() && found == nullptr; i++)
        {
            if ((*level)[i]->GetText() == Core::String(text))
            {
                found = (*level)[i];
            }
        }
        if (found == nullptr)
        {
            return nullptr;
        }
        level = &found->GetNodes();
    }
    return found;
}

// The controls of one kind in a window, in creation order.
template <typename T> std::vector<T*> FindControls(Core::Controls::Control& parent)
{
    std::vector<T*> found;
    for (int i = 0; i < parent.GetControls().GetCount(); i++)
    {
        Core::Controls::Control* child = parent.GetControls()[i];
        if (auto* match = dynamic_cast<T*>(child))
        {
            found.push_back(match);
        }
        std::vector<T*> inner = FindControls<T>(*child);
        found.insert(found.end(), inner.begin(), inner.end());
    }
    return found;
}

// Runs action once a visible window of the class exists, from a timer of this thread: the modal loop of the
// dialog being waited for runs it.
inline std::function<void(HWND)> pendingAction;
inline const wchar_t* pendingClass = nullptr;

inline void CALLBACK PollForWindow(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND window = FindWindowW(pendingClass, nullptr);
    if (window == nullptr || !IsWindowVisible(window))
    {
        return;
    }
    KillTimer(nullptr, id);
    std::function<void(HWND)> action = std::move(pendingAction);
    pendingAction = nullptr;
    action(window);
}

inline void WhenVisible(const wchar_t* className, std::function<void(HWND)> action)
{
    pendingClass = className;
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 20, PollForWindow);
}

} // namespace AppTesting
