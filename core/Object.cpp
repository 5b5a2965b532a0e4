#include "core/Object.h"

#include "core/String.h"

namespace Core
{

String Object::ToString() const
{
    return String(L"Object");
}

} // namespace Core
