#include "core/threading/WaitHandle.h"

#include <windows.h>

namespace Core::Threading
{

WaitHandle::~WaitHandle()
{
    if (m_handle != nullptr)
    {
        CloseHandle(m_handle);
    }
}

} // namespace Core::Threading
