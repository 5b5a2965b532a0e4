// The delegate a Thread runs: a target object and one of its member operations.
#pragma once

#include "core/Object.h"

#include <functional>

namespace Core::Threading
{

class ThreadStart : public Object
{
public:
    template <typename T>
    ThreadStart(T* target, void (T::*method)()) : m_call([target, method] { (target->*method)(); })
    {
    }

    void Invoke() { m_call(); }

private:
    std::function<void()> m_call;
};

} // namespace Core::Threading
