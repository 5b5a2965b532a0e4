// The small value types of the XML reader and writer: node kinds, reader and writer states, settings.
#pragma once

#include "core/EnumValue.h"

namespace Core::Xml
{

class XmlNodeType : public EnumValue
{
public:
    enum Value
    {
        None = 0,
        Element = 1,
        Attribute = 2,
        Text = 3,
        CDATA = 4,
        EntityReference = 5,
        Entity = 6,
        ProcessingInstruction = 7,
        Comment = 8,
        Document = 9,
        DocumentType = 10,
        DocumentFragment = 11,
        Notation = 12,
        Whitespace = 13,
        SignificantWhitespace = 14,
        EndElement = 15,
        EndEntity = 16,
        XmlDeclaration = 17
    };
    XmlNodeType(Value value) : EnumValue(value) {}
    using EnumValue::operator==;
    using EnumValue::operator!=;
    bool operator==(Value other) const { return GetValue() == other; }
    bool operator!=(Value other) const { return GetValue() != other; }
};

class ReadState : public EnumValue
{
public:
    enum Value
    {
        Initial = 1,
        Interactive = 2,
        Error = 4,
        EndOfFile = 8,
        Closed = 16
    };
    ReadState(Value value) : EnumValue(value) {}
    using EnumValue::operator==;
    using EnumValue::operator!=;
    bool operator==(Value other) const { return GetValue() == other; }
    bool operator!=(Value other) const { return GetValue() != other; }
};

class WhitespaceHandling : public EnumValue
{
public:
    enum Value
    {
        All = 0,
        Significant = 1,
        None = 2
    };
    WhitespaceHandling(Value value) : EnumValue(value) {}
    using EnumValue::operator==;
    using EnumValue::operator!=;
    bool operator==(Value other) const { return GetValue() == other; }
    bool operator!=(Value other) const { return GetValue() != other; }
};

// The mode of an xml:space attribute in force.
class XmlSpace : public EnumValue
{
public:
    enum Value
    {
        None = 1,
        Default = 2,
        Preserve = 4
    };
    XmlSpace(Value value) : EnumValue(value) {}
    using EnumValue::operator==;
    using EnumValue::operator!=;
    bool operator==(Value other) const { return GetValue() == other; }
    bool operator!=(Value other) const { return GetValue() != other; }
};

class Formatting : public EnumValue
{
public:
    enum Value
    {
        None = 1,
        Indented = 2
    };
    Formatting(Value value) : EnumValue(value) {}
    using EnumValue::operator==;
    using EnumValue::operator!=;
    bool operator==(Value other) const { return GetValue() == other; }
    bool operator!=(Value other) const { return GetValue() != other; }
};

class WriteState : public EnumValue
{
public:
    enum Value
    {
        Start = 1,
        Prolog = 2,
        Element = 4,
        Attribute = 8,
        Content = 22,
        Closed = 50,
        Error = 100
    };
    WriteState(Value value) : EnumValue(value) {}
    using EnumValue::operator==;
    using EnumValue::operator!=;
    bool operator==(Value other) const { return GetValue() == other; }
    bool operator!=(Value other) const { return GetValue() != other; }
};

} // namespace Core::Xml
