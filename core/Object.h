// Root of the Core class hierarchy.
#pragma once

namespace Core
{
class String;

class Object
{
public:
    Object() = default;
    Object(const Object&) = default;
    Object& operator=(const Object&) = default;
    virtual ~Object() = default;

    virtual String ToString() const;
};

} // namespace Core
