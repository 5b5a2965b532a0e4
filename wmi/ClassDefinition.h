// A WMI class as the class view describes it: the class name and its namespace, the properties to fetch,
// a filter, and the WQL query built from them.
#pragma once

#include "core/String.h"
#include "core/collections/ArrayList.h"

namespace WMI
{

// CIM type codes of the values WMI reports.
enum CimType
{
    CimSInt16 = 2,
    CimSInt32 = 3,
    CimReal32 = 4,
    CimReal64 = 5,
    CimString = 8,
    CimBoolean = 11,
    CimObject = 13,
    CimSInt8 = 16,
    CimUInt8 = 17,
    CimUInt16 = 18,
    CimUInt32 = 19,
    CimSInt64 = 20,
    CimUInt64 = 21,
    CimDateTime = 101,
    CimReference = 102,
    CimChar16 = 103,
    CimArrayFlag = 0x2000
};

// The shown name of a CIM type code ("int8", "string", ...); arrays and unknown codes give "unknown".
Core::String GetCimTypeName(int cimType);

class PropertyInfo
{
public:
    PropertyInfo() : m_cimType(CimString) {}
    explicit PropertyInfo(const Core::String& name, int cimType = CimString) : m_name(name), m_cimType(cimType) {}

    const Core::String& GetName() const { return m_name; }
    int GetCimType() const { return m_cimType; }
    void SetCimType(int cimType) { m_cimType = cimType; }
    Core::String GetCimTypeName() const { return WMI::GetCimTypeName(m_cimType); }

private:
    Core::String m_name;
    int m_cimType;
};

// The namespace of a class that names none: the one the class view has always shown.
constexpr const wchar_t* DefaultNamespace = L"root\\cimv2";

// Whether two namespace paths name the same namespace: WMI compares them without regard to case.
bool IsSameNamespace(const Core::String& first, const Core::String& second);
// Whether text is a namespace path below a machine, as root\wmi is: names parted by single backslashes,
// none empty, without a machine part, forward slashes, colons, control characters, or white space at
// either end. Whether such a namespace exists is the machine's to say.
bool IsNamespacePath(const Core::String& text);

class ClassDefinition : public Core::Object
{
public:
    // In the default namespace.
    ClassDefinition(const Core::String& className, int kind);

    Core::String GetName() const { return m_className; }
    // The namespace as it was given, DefaultNamespace unless set.
    const Core::String& GetNamespace() const { return m_namespace; }
    // The empty text sets the default namespace. Throws InvalidArgumentException, changing nothing, for a text
    // that is not a namespace path (IsNamespacePath): a namespace must not lead to another machine.
    void SetNamespace(const Core::String& nameSpace);
    bool IsInDefaultNamespace() const { return IsSameNamespace(m_namespace, Core::String(DefaultNamespace)); }
    int GetKind() const { return m_kind; }
    // The list itself: callers add, clear and read entries in place. Order is display and query order.
    Core::Collections::ArrayList<PropertyInfo>& GetProperties() { return m_properties; }
    const Core::Collections::ArrayList<PropertyInfo>& GetProperties() const { return m_properties; }
    Core::String GetFilter() const { return m_filter; }
    void SetFilter(const Core::String& filter) { m_filter = filter; }

    // "Select " + property names joined by ", " + " from " + class name [+ " where " + filter], all as written.
    Core::String GetQueryText() const;

private:
    Core::String m_className;
    Core::String m_namespace;
    int m_kind;
    Core::Collections::ArrayList<PropertyInfo> m_properties;
    Core::String m_filter;
};

} // namespace WMI
