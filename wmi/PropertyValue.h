// A property's value as it is, and an object read whole: what an instance's property sheet shows. Values keep
// what the grid's cell texts lose: NULL apart from the empty text, 64-bit integers exact, datetimes readable beside
// WMI's own text, arrays element by element, embedded objects with their own properties.
#pragma once

#include "core/String.h"
#include "core/collections/ArrayList.h"
#include "wmi/ClassDefinition.h"
#include "wmi/DateTimeValue.h"

#include <memory>

struct IWbemClassObject;
struct tagVARIANT;

namespace WMI
{

class ObjectValue;

// One value of a property, of a CIM type (ClassDefinition.h's CimType codes, with CimArrayFlag for an array).
// Copies share their elements and embedded object, which never change.
class PropertyValue
{
public:
    // NULL of no known type.
    PropertyValue() = default;
    static PropertyValue Null(int cimType);
    // A scalar given by its text, as GetText gives it back.
    static PropertyValue Scalar(int cimType, const Core::String& text);
    // An array of elements of cimType (without the array flag).
    static PropertyValue Array(int cimType, const Core::Collections::ArrayList<PropertyValue>& elements);
    static PropertyValue Embedded(const ObjectValue& object);

    // The value of a VARIANT WMI handed out for a property of cimType, in the automation types Microsoft documents:
    // integers up to 32 bits as VT_I2/VT_UI1/VT_I4 (a uint32 arriving as a negative VT_I4 is read back unsigned),
    // 64-bit integers as decimal (or 0x hexadecimal) text, reals as VT_R4/VT_R8, booleans as VT_BOOL, char16 as a
    // VT_I2 code unit, texts, datetimes and references as VT_BSTR, embedded objects as VT_UNKNOWN (read whole with
    // ReadObject), arrays as VT_ARRAY of those. cimType 0 takes the type from the variant. A value that does not fit
    // its type keeps the text the variant converts to (a 64-bit text that is not a number stays as it is).
    static PropertyValue FromVariant(const tagVARIANT& value, int cimType);

    int GetCimType() const { return m_cimType; }
    bool IsNull() const { return m_null; }
    bool IsArray() const { return !m_null && m_elements != nullptr; }
    bool IsEmbedded() const { return !m_null && m_object != nullptr; }

    // A scalar as text, exact: integers in decimal (a uint64 up to 18446744073709551615), reals in the shortest form
    // that reads back the same number, booleans "True" or "False", a char16 as its character, texts as they are,
    // a datetime as WMI wrote it, a reference as the path of the object it refers to. Empty for NULL, an array and an
    // embedded object.
    const Core::String& GetText() const { return m_text; }
    // The text read as a datetime (Malformed for a value that is not one).
    DateTimeValue GetDateTime() const { return DateTimeValue(m_text); }

    // An array's elements; 0 for anything else.
    int GetCount() const;
    // Throws ArgumentOutOfRangeException for an index outside 0 to GetCount() - 1.
    const PropertyValue& GetElement(int index) const;
    // Throws InvalidOperationException for a value that is not an embedded object.
    const ObjectValue& GetEmbedded() const;

private:
    int m_cimType = 0;
    bool m_null = true;
    Core::String m_text;
    std::shared_ptr<const Core::Collections::ArrayList<PropertyValue>> m_elements; // arrays only
    std::shared_ptr<const ObjectValue> m_object;                                   // embedded objects only
};

// One property of an object read whole.
class ObjectProperty
{
public:
    ObjectProperty() = default;
    ObjectProperty(const Core::String& name, int cimType, bool key, const PropertyValue& value)
        : m_name(name), m_cimType(cimType), m_key(key), m_value(value)
    {
    }

    const Core::String& GetName() const { return m_name; }
    // The property's declared type (the value of a NULL carries it too).
    int GetCimType() const { return m_cimType; }
    // Marked with the "key" qualifier: the values that make up the object's path.
    bool IsKey() const { return m_key; }
    const PropertyValue& GetValue() const { return m_value; }

private:
    Core::String m_name;
    int m_cimType = 0;
    bool m_key = false;
    PropertyValue m_value;
};

// An object read whole: an instance, or an object embedded in one.
class ObjectValue
{
public:
    ObjectValue() = default;
    ObjectValue(const Core::String& className, const Core::String& path,
                const Core::Collections::ArrayList<ObjectProperty>& properties,
                const Core::Collections::ArrayList<ObjectProperty>& systemProperties)
        : m_className(className), m_path(path), m_properties(properties), m_systemProperties(systemProperties)
    {
    }

    // __CLASS.
    const Core::String& GetObjectClass() const { return m_className; }
    // __PATH; empty for an object without one (an embedded object, a row of a query that left out the keys).
    const Core::String& GetPath() const { return m_path; }
    // The non-system properties in the order WMI gives them.
    const Core::Collections::ArrayList<ObjectProperty>& GetProperties() const { return m_properties; }
    // The system properties (__GENUS, __CLASS, ... __PATH) in WMI's order.
    const Core::Collections::ArrayList<ObjectProperty>& GetSystemProperties() const { return m_systemProperties; }
    // A property or system property by its name, without regard to case; null when there is none.
    const ObjectProperty* FindProperty(const Core::String& name) const;

private:
    Core::String m_className;
    Core::String m_path;
    Core::Collections::ArrayList<ObjectProperty> m_properties;
    Core::Collections::ArrayList<ObjectProperty> m_systemProperties;
};

// The names IWbemClassObject::GetNames gives for the qualifier and flags, in its order; listed is false, and the
// list empty, when the object lists none (a provider may not take a qualifier or a flag).
Core::Collections::ArrayList<Core::String> GetObjectNames(IWbemClassObject* object, const wchar_t* qualifier,
                                                          long flags, bool& listed);

// Reads every property of a WMI object with local calls only (no round trip to the machine): the non-system ones
// in WMI's order with their CIM types, key marks (properties with the "key" qualifier) and values, then the system
// ones. A property that cannot be read is kept as NULL; reading never fails for the object's own sake.
ObjectValue ReadObject(IWbemClassObject* object);

// A value on one line, as a property sheet shows it: "NULL" for NULL; a datetime readably (DateTimeValue::Format);
// any other scalar as GetText; an array as its elements' texts in braces ("{1, 22, 333}", "{}"); an embedded object
// as "instance of " + its class.
Core::String FormatValue(const PropertyValue& value, const UtcOffset& zone = LocalUtcOffset);
// "1 element", "3 elements".
Core::String FormatElementCount(int count);
// The shown name of a CIM type, arrays included: GetCimTypeName of the element type, followed by "[]" for an array
// ("string[]", "unsigned int32[]").
Core::String FormatCimType(int cimType);

} // namespace WMI
