// Owner of a Win32 object handle; closes it when destroyed.
#pragma once

#include "core/Object.h"

namespace Core::Threading
{

class WaitHandle : public Object
{
public:
    WaitHandle() = default;
    WaitHandle(const WaitHandle&) = delete;
    WaitHandle& operator=(const WaitHandle&) = delete;
    ~WaitHandle() override;

    void* GetHandle() const { return m_handle; }

protected:
    // Stores a new handle without closing the old one.
    void SetHandle(void* handle) { m_handle = handle; }

private:
    void* m_handle = nullptr; // owned
};

} // namespace Core::Threading
