// Base of the small enumeration value types (file modes, report types, writer states, ...):
// an Object holding one 32-bit value, passed by value.
#pragma once

#include "core/Object.h"

namespace Core
{

class EnumValue : public Object
{
public:
    explicit EnumValue(int value) : m_value(value) {}

    int GetValue() const { return m_value; }
    bool operator==(const EnumValue& other) const { return m_value == other.m_value; }
    bool operator!=(const EnumValue& other) const { return m_value != other.m_value; }

private:
    int m_value;
};

// The boolean value object; its text form is "True" or "False".
class Boolean : public Object
{
public:
    explicit Boolean(bool value) : m_value(value) {}

    bool GetValue() const { return m_value; }
    String ToString() const override;

private:
    bool m_value;
};

} // namespace Core
