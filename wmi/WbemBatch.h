// What the readers of enumerators share: the objects one Next call returned, released however the batch is left.
#pragma once

#include <wbemidl.h>

namespace WMI
{

class BatchScope
{
public:
    BatchScope(IWbemClassObject** objects, const ULONG& count) : m_objects(objects), m_count(count) {}
    ~BatchScope()
    {
        for (ULONG i = 0; i < m_count; i++)
        {
            m_objects[i]->Release();
        }
    }
    BatchScope(const BatchScope&) = delete;
    BatchScope& operator=(const BatchScope&) = delete;

private:
    IWbemClassObject** m_objects;
    const ULONG& m_count; // read when the scope ends: the count Next wrote
};

} // namespace WMI
