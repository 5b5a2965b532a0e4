#include "tests/support/ScriptedWmi.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <stdexcept>
#include <string>

namespace ScriptedWmi
{

std::atomic<int> Provider::liveObjects{0};

namespace
{

std::wstring Text(const BSTR value)
{
    return value != nullptr ? std::wstring(value, SysStringLen(value)) : std::wstring();
}

// WMI compares names of namespaces, classes, qualifiers and system properties without regard to case.
bool SameName(const std::wstring& a, const wchar_t* b)
{
    return _wcsicmp(a.c_str(), b) == 0;
}

void SetText(VARIANT* value, const std::wstring& text)
{
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void SetInt(VARIANT* value, long number)
{
    value->vt = VT_I4;
    value->lVal = number;
}

void SetTexts(VARIANT* value, const std::vector<std::wstring>& texts)
{
    SAFEARRAYBOUND bound{static_cast<ULONG>(texts.size()), 0};
    value->vt = VT_ARRAY | VT_BSTR;
    value->parray = SafeArrayCreate(VT_BSTR, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(texts.size()); i++)
    {
        BSTR text = SysAllocString(texts[static_cast<size_t>(i)].c_str());
        SafeArrayPutElement(value->parray, &i, text);
        SysFreeString(text);
    }
}

// The class and its superclasses, the class first.
std::vector<const ClassScript*> Lineage(const ClassScript* script)
{
    std::vector<const ClassScript*> lineage;
    for (const ClassScript* current = script; current != nullptr; current = current->superclass)
    {
        lineage.push_back(current);
    }
    return lineage;
}

// Every non-system property of a class, inherited ones first, as WMI lists them.
std::vector<const std::pair<std::wstring, CIMTYPE>*> AllProperties(const ClassScript* script)
{
    std::vector<const ClassScript*> lineage = Lineage(script);
    std::vector<const std::pair<std::wstring, CIMTYPE>*> all;
    for (auto owner = lineage.rbegin(); owner != lineage.rend(); ++owner)
    {
        for (const auto& property : (*owner)->properties)
        {
            all.push_back(&property);
        }
    }
    return all;
}

// Where the objects of one connection come from: what their __SERVER says, and the amended qualifiers they carry.
struct Origin
{
    std::wstring server;
    std::wstring locale;
    bool amended = false; // got with WBEM_FLAG_USE_AMENDED_QUALIFIERS
};

bool IsTrue(const Value& value)
{
    const VARIANT& variant = value.GetVariant();
    return variant.vt == VT_BOOL && variant.boolVal != VARIANT_FALSE;
}

// Whether objects of origin carry a qualifier: the class's own always, an amended one when asked for in its locale.
bool Carries(const Origin* origin, const QualifierScript& qualifier)
{
    return qualifier.locale.empty() ||
           (origin != nullptr && origin->amended && SameName(qualifier.locale, origin->locale.c_str()));
}

// The qualifier of property (empty: of the class itself) that objects of origin see, from the nearest class up: an
// amended one before the class's own; null when there is none. inherited tells whether a superclass gave it.
const QualifierScript* FindQualifier(const ClassScript* script, const std::wstring& property, const wchar_t* name,
                                     const Origin* origin, bool* inherited = nullptr)
{
    for (const ClassScript* current = script; current != nullptr; current = current->superclass)
    {
        const QualifierScript* found = nullptr;
        for (const QualifierScript& qualifier : current->propertyQualifiers)
        {
            if (SameName(qualifier.property, property.c_str()) && SameName(qualifier.name, name) &&
                Carries(origin, qualifier) && (found == nullptr || !qualifier.locale.empty()))
            {
                found = &qualifier;
            }
        }
        if (found != nullptr)
        {
            if (inherited != nullptr)
            {
                *inherited = current != script;
            }
            return found;
        }
        if (!property.empty() && std::any_of(current->properties.begin(), current->properties.end(),
                                             [&](const auto& own) { return SameName(own.first, property.c_str()); }))
        {
            break; // qualifiers of a property come from the classes from the one that declares it down
        }
    }
    return nullptr;
}

bool IsKey(const ClassScript* script, const std::wstring& property)
{
    const QualifierScript* key = FindQualifier(script, property, L"key", nullptr);
    return key != nullptr && IsTrue(key->value);
}

// The key properties of a class in the order of their names, as object paths write them.
std::vector<const std::pair<std::wstring, CIMTYPE>*> Keys(const ClassScript* script)
{
    std::vector<const std::pair<std::wstring, CIMTYPE>*> keys;
    for (const auto* property : AllProperties(script))
    {
        if (IsKey(script, property->first))
        {
            keys.push_back(property);
        }
    }
    std::sort(keys.begin(), keys.end(),
              [](const auto* a, const auto* b) { return _wcsicmp(a->first.c_str(), b->first.c_str()) < 0; });
    return keys;
}

// Whether any property of the class has a key qualifier: a quick look that spares keyless classes the work of a path.
bool HasKeyQualifiers(const ClassScript* script)
{
    for (const ClassScript* current = script; current != nullptr; current = current->superclass)
    {
        for (const QualifierScript& qualifier : current->propertyQualifiers)
        {
            if (!qualifier.property.empty() && SameName(qualifier.name, L"key"))
            {
                return true;
            }
        }
    }
    return false;
}

bool IsSingleton(const ClassScript* script)
{
    for (const ClassScript* current = script; current != nullptr; current = current->superclass)
    {
        for (const auto& [name, value] : current->qualifiers)
        {
            if (SameName(name, L"singleton"))
            {
                return IsTrue(value);
            }
        }
    }
    return false;
}

// The value an instance holds for a property (names without regard to case); null when it holds none.
const Value* ValueOf(const Instance& instance, const wchar_t* name)
{
    for (const auto& entry : instance.values)
    {
        if (entry.first == name)
        {
            return &entry.second;
        }
    }
    for (const auto& entry : instance.values)
    {
        if (SameName(entry.first, name))
        {
            return &entry.second;
        }
    }
    return nullptr;
}

// The property as the class or a superclass declares it; null for none.
const std::pair<std::wstring, CIMTYPE>* Declared(const ClassScript* script, const wchar_t* name, bool* inherited)
{
    for (const ClassScript* current = script; current != nullptr; current = current->superclass)
    {
        for (const auto& property : current->properties)
        {
            if (SameName(property.first, name))
            {
                if (inherited != nullptr)
                {
                    *inherited = current != script;
                }
                return &property;
            }
        }
    }
    return nullptr;
}

// A key value as its text: texts as they are, integers in decimal (a uint32 unsigned), booleans TRUE or FALSE;
// quoted tells whether a path writes it in quotes. False for a value that cannot be a key (null, array, object).
bool KeyText(const VARIANT& value, CIMTYPE type, std::wstring& text, bool& quoted)
{
    quoted = false;
    switch (value.vt)
    {
    case VT_BSTR:
        text = Text(value.bstrVal);
        quoted = type != CIM_SINT64 && type != CIM_UINT64;
        return true;
    case VT_I4:
        text =
            type == CIM_UINT32 ? std::to_wstring(static_cast<unsigned long>(value.lVal)) : std::to_wstring(value.lVal);
        return true;
    case VT_I2:
        quoted = type == CIM_CHAR16;
        text = quoted ? std::wstring(1, static_cast<wchar_t>(value.iVal)) : std::to_wstring(value.iVal);
        return true;
    case VT_UI1:
        text = std::to_wstring(value.bVal);
        return true;
    case VT_BOOL:
        text = value.boolVal != VARIANT_FALSE ? L"TRUE" : L"FALSE";
        return true;
    default:
        return false;
    }
}

// A text in double quotes with a backslash before each quote and backslash, as paths and MOF write texts.
std::wstring Quoted(const std::wstring& text)
{
    std::wstring quoted = L"\"";
    for (wchar_t unit : text)
    {
        if (unit == L'"' || unit == L'\\')
        {
            quoted += L'\\';
        }
        quoted += unit;
    }
    return quoted + L"\"";
}

// What the paths of a class's objects are made of, worked out once for all the objects of an enumeration.
struct KeyList
{
    std::vector<const std::pair<std::wstring, CIMTYPE>*> keys; // in the order of their names
    bool singleton = false;
    // The objects have a path: an instance of a query that selected properties has one only when they include every
    // key or __PATH.
    bool placed = true;
};

std::shared_ptr<const KeyList> MakeKeyList(const ClassScript* script, const std::vector<std::wstring>* selected)
{
    auto list = std::make_shared<KeyList>();
    if (HasKeyQualifiers(script))
    {
        list->keys = Keys(script);
    }
    list->singleton = list->keys.empty() && IsSingleton(script);
    auto isSelected = [&](const std::wstring& name)
    {
        return std::any_of(selected->begin(), selected->end(),
                           [&](const std::wstring& chosen) { return SameName(chosen, name.c_str()); });
    };
    if (selected != nullptr && !selected->empty() && !isSelected(L"__PATH"))
    {
        list->placed =
            std::all_of(list->keys.begin(), list->keys.end(), [&](const auto* key) { return isSelected(key->first); });
    }
    return list;
}

// An instance's __RELPATH: Class.Key="value",Other=5 with the keys in the order of their names, or Class=@ for a
// singleton; empty when the class has no keys or the instance lacks a key's value.
std::wstring RelativePath(const ClassScript* script, const KeyList& keys, const Instance& instance,
                          const std::wstring& prefix = std::wstring())
{
    if (keys.keys.empty())
    {
        return keys.singleton ? prefix + script->name + L"=@" : std::wstring();
    }
    std::wstring path;
    path.reserve(prefix.size() + script->name.size() + 32);
    path += prefix;
    path += script->name;
    wchar_t separator = L'.';
    std::wstring text;
    for (const auto* key : keys.keys)
    {
        const Value* value = ValueOf(instance, key->first.c_str());
        bool quoted = false;
        if (value == nullptr || !KeyText(value->GetVariant(), key->second, text, quoted))
        {
            return std::wstring();
        }
        path += separator;
        path += key->first;
        path += L'=';
        if (!quoted)
        {
            path += text;
        }
        else
        {
            path += L'"';
            for (wchar_t unit : text)
            {
                if (unit == L'"' || unit == L'\\')
                {
                    path += L'\\';
                }
                path += unit;
            }
            path += L'"';
        }
        separator = L',';
    }
    return path;
}

// The name of the CIMTYPE qualifier WMI gives a property of the type (arrays: their elements').
const wchar_t* CimTypeName(CIMTYPE type)
{
    switch (type & ~CIM_FLAG_ARRAY)
    {
    case CIM_SINT8:
        return L"sint8";
    case CIM_UINT8:
        return L"uint8";
    case CIM_SINT16:
        return L"sint16";
    case CIM_UINT16:
        return L"uint16";
    case CIM_SINT32:
        return L"sint32";
    case CIM_UINT32:
        return L"uint32";
    case CIM_SINT64:
        return L"sint64";
    case CIM_UINT64:
        return L"uint64";
    case CIM_REAL32:
        return L"real32";
    case CIM_REAL64:
        return L"real64";
    case CIM_BOOLEAN:
        return L"boolean";
    case CIM_DATETIME:
        return L"datetime";
    case CIM_REFERENCE:
        return L"ref";
    case CIM_CHAR16:
        return L"char16";
    case CIM_OBJECT:
        return L"object";
    default:
        return L"string";
    }
}

// One element of a value as MOF writes it: texts quoted, 64-bit integers bare, booleans TRUE and FALSE.
std::wstring MofScalar(const VARIANT& value, CIMTYPE type)
{
    wchar_t number[64];
    switch (value.vt)
    {
    case VT_R4:
        swprintf(number, 64, L"%.9g", static_cast<double>(value.fltVal));
        return number;
    case VT_R8:
        swprintf(number, 64, L"%.17g", value.dblVal);
        return number;
    case VT_UNKNOWN:
    {
        IWbemClassObject* object = nullptr;
        BSTR text = nullptr;
        std::wstring mof;
        if (value.punkVal != nullptr &&
            SUCCEEDED(value.punkVal->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(&object))))
        {
            if (SUCCEEDED(object->GetObjectText(0, &text)))
            {
                mof = Text(text);
                SysFreeString(text);
            }
            object->Release();
        }
        // The nested instance without its own leading line break and closing semicolon.
        size_t first = mof.find_first_not_of(L"\n");
        size_t last = mof.find_last_of(L'}');
        return first == std::wstring::npos || last == std::wstring::npos ? L"NULL"
                                                                         : mof.substr(first, last - first + 1);
    }
    default:
    {
        std::wstring text;
        bool quoted = false;
        if (!KeyText(value, type & ~CIM_FLAG_ARRAY, text, quoted))
        {
            return L"NULL";
        }
        if (quoted && (type & ~CIM_FLAG_ARRAY) == CIM_CHAR16)
        {
            return L"'" + text + L"'";
        }
        return quoted ? Quoted(text) : text;
    }
    }
}

// A value as MOF writes it, arrays in braces.
std::wstring MofValue(const VARIANT& value, CIMTYPE type)
{
    if ((value.vt & VT_ARRAY) == 0)
    {
        return MofScalar(value, type);
    }
    VARTYPE elementType = static_cast<VARTYPE>(value.vt & VT_TYPEMASK);
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(value.parray, 1, &lower);
    SafeArrayGetUBound(value.parray, 1, &upper);
    std::wstring text = L"{";
    for (LONG i = lower; i <= upper; i++)
    {
        VARIANT element;
        VariantInit(&element);
        if (SUCCEEDED(SafeArrayGetElement(value.parray, &i, &element.llVal)))
        {
            element.vt = elementType;
            text += (i > lower ? L", " : L"") + MofScalar(element, type);
            VariantClear(&element);
        }
    }
    return text + L"}";
}

// A qualifier as MOF writes it: a true flag by its name alone.
std::wstring MofQualifier(const std::wstring& name, const Value& value, bool amended, LONG flags)
{
    const VARIANT& variant = value.GetVariant();
    std::wstring text = name;
    if (!IsTrue(value))
    {
        std::wstring written = MofValue(variant, CIM_STRING);
        text += (variant.vt & VT_ARRAY) != 0 ? written : L"(" + written + L")";
    }
    if (amended && (flags & WBEM_FLAG_NO_FLAVORS) == 0)
    {
        text += L" : Amended";
    }
    return text;
}

// The qualifier list of a MOF declaration in brackets and a blank, or nothing for none.
std::wstring MofQualifiers(const std::vector<std::wstring>& qualifiers)
{
    std::wstring text;
    for (const std::wstring& qualifier : qualifiers)
    {
        text += (text.empty() ? L"[" : L", ") + qualifier;
    }
    return text.empty() ? text : text + L"] ";
}

// Leaves a COM error object on the calling thread, as a failing WMI call may.
void SetErrorDescription(const std::wstring& description)
{
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create)))
    {
        return;
    }
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    IErrorInfo* info = nullptr;
    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    SetErrorInfo(0, info);
    info->Release();
    create->Release();
}

// Reference counting and object accounting shared by the scripted objects.
class Counted
{
public:
    Counted() { Provider::liveObjects++; }
    virtual ~Counted() { Provider::liveObjects--; }

protected:
    ULONG AddReference() { return ++m_references; }
    ULONG ReleaseReference()
    {
        ULONG left = --m_references;
        if (left == 0)
        {
            delete this;
        }
        return left;
    }

private:
    std::atomic<ULONG> m_references{1};
};

// One use of a class's table for the lifetime of the scope or object holding it; an overlap is counted.
class TableUse
{
public:
    TableUse(Provider* provider, const ClassScript* script)
        : m_provider(provider), m_script(provider != nullptr ? const_cast<ClassScript*>(script) : nullptr)
    {
        if (m_script != nullptr && m_script->tableUsers++ > 0)
        {
            m_provider->overlappingTableUses++;
        }
    }
    ~TableUse()
    {
        if (m_script != nullptr)
        {
            m_script->tableUsers--;
        }
    }
    TableUse(const TableUse&) = delete;
    TableUse& operator=(const TableUse&) = delete;

private:
    Provider* m_provider;  // not owned
    ClassScript* m_script; // not owned; null when not counted
};

#define SCRIPTED_UNKNOWN                                                                                               \
    ULONG STDMETHODCALLTYPE AddRef() override                                                                          \
    {                                                                                                                  \
        return AddReference();                                                                                         \
    }                                                                                                                  \
    ULONG STDMETHODCALLTYPE Release() override                                                                         \
    {                                                                                                                  \
        return ReleaseReference();                                                                                     \
    }

// Records the blanket set on the scripted services or enumerator.
class ClientSecurity final : public IClientSecurity
{
public:
    ClientSecurity(Provider* provider, IUnknown* owner, const wchar_t* target, HRESULT* result)
        : m_provider(provider), m_owner(owner), m_target(target), m_result(result)
    {
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        return m_owner->QueryInterface(id, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner->Release(); }
    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**,
                                           DWORD*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown*, DWORD authenticationService, DWORD authorisationService,
                                         OLECHAR* principal, DWORD authenticationLevel, DWORD impersonationLevel,
                                         void* identity, DWORD capabilities) override
    {
        BlanketCall call{m_target,
                         authenticationService,
                         authorisationService,
                         principal,
                         authenticationLevel,
                         impersonationLevel,
                         identity,
                         {},
                         {},
                         {},
                         0,
                         capabilities};
        if (identity != nullptr)
        {
            auto* record = static_cast<COAUTHIDENTITY*>(identity);
            call.identityUser.assign(reinterpret_cast<wchar_t*>(record->User), record->UserLength);
            call.identityDomain.assign(reinterpret_cast<wchar_t*>(record->Domain), record->DomainLength);
            call.identityPassword.assign(reinterpret_cast<wchar_t*>(record->Password), record->PasswordLength);
            call.identityFlags = record->Flags;
        }
        m_provider->Log(m_provider->blankets, call);
        return *m_result;
    }
    HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown**) override { return E_NOTIMPL; }

private:
    Provider* m_provider; // not owned
    IUnknown* m_owner;    // not owned: the object this interface belongs to
    const wchar_t* m_target;
    HRESULT* m_result; // not owned: the provider's setting
};

// One qualifier of a qualifier set.
struct QualifierEntry
{
    std::wstring name;
    Value value;
    LONG flavor;
};

// The qualifiers of a class or of one of its properties, as the object that handed them out saw them.
class QualifierSet final : public IWbemQualifierSet, public Counted
{
public:
    explicit QualifierSet(std::vector<QualifierEntry> entries) : m_entries(std::move(entries)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IWbemQualifierSet)
        {
            *object = static_cast<IWbemQualifierSet*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    SCRIPTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, LONG* flavor) override
    {
        for (const QualifierEntry& entry : m_entries)
        {
            if (SameName(entry.name, name))
            {
                Hand(entry, value, flavor);
                return WBEM_S_NO_ERROR;
            }
        }
        return WBEM_E_NOT_FOUND;
    }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR, VARIANT*, LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
    // Flags: 0 for all, WBEM_FLAG_LOCAL_ONLY or WBEM_FLAG_PROPAGATED_ONLY.
    HRESULT STDMETHODCALLTYPE GetNames(LONG flags, SAFEARRAY** names) override
    {
        std::vector<const QualifierEntry*> chosen = Chosen(flags);
        SAFEARRAYBOUND bound{static_cast<ULONG>(chosen.size()), 0};
        *names = SafeArrayCreate(VT_BSTR, 1, &bound);
        for (LONG i = 0; i < static_cast<LONG>(chosen.size()); i++)
        {
            BSTR name = SysAllocString(chosen[static_cast<size_t>(i)]->name.c_str());
            SafeArrayPutElement(*names, &i, name);
            SysFreeString(name);
        }
        return WBEM_S_NO_ERROR;
    }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG flags) override
    {
        m_enumerated = Chosen(flags);
        m_next = 0;
        m_enumerating = true;
        return WBEM_S_NO_ERROR;
    }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR* name, VARIANT* value, LONG* flavor) override
    {
        if (!m_enumerating)
        {
            return WBEM_E_UNEXPECTED;
        }
        if (m_next >= m_enumerated.size())
        {
            return WBEM_S_NO_MORE_DATA;
        }
        const QualifierEntry& entry = *m_enumerated[m_next++];
        if (name != nullptr)
        {
            *name = SysAllocString(entry.name.c_str());
        }
        Hand(entry, value, flavor);
        return WBEM_S_NO_ERROR;
    }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override
    {
        m_enumerating = false;
        m_enumerated.clear();
        return WBEM_S_NO_ERROR;
    }

private:
    static void Hand(const QualifierEntry& entry, VARIANT* value, LONG* flavor)
    {
        if (value != nullptr)
        {
            VariantInit(value);
            VariantCopy(value, const_cast<VARIANT*>(&entry.value.GetVariant()));
        }
        if (flavor != nullptr)
        {
            *flavor = entry.flavor;
        }
    }
    std::vector<const QualifierEntry*> Chosen(LONG flags) const
    {
        std::vector<const QualifierEntry*> chosen;
        for (const QualifierEntry& entry : m_entries)
        {
            bool propagated = (entry.flavor & WBEM_FLAVOR_MASK_ORIGIN) == WBEM_FLAVOR_ORIGIN_PROPAGATED;
            if (((flags & WBEM_FLAG_LOCAL_ONLY) == 0 || !propagated) &&
                ((flags & WBEM_FLAG_PROPAGATED_ONLY) == 0 || propagated))
            {
                chosen.push_back(&entry);
            }
        }
        return chosen;
    }

    std::vector<QualifierEntry> m_entries;
    std::vector<const QualifierEntry*> m_enumerated;
    size_t m_next = 0;
    bool m_enumerating = false;
};

// The flavour of a scripted qualifier as objects see it.
LONG FlavorOf(const QualifierScript& qualifier, bool inherited)
{
    return (inherited ? WBEM_FLAVOR_ORIGIN_PROPAGATED : WBEM_FLAVOR_ORIGIN_LOCAL) |
           (qualifier.locale.empty() ? WBEM_FLAVOR_NOT_AMENDED : WBEM_FLAVOR_AMENDED);
}

// The qualifiers of a property as objects of origin see them: CIMTYPE first, then the scripted ones of the class and
// of the superclasses down from the one declaring it, a subclass's before its superclass's of the same name.
std::vector<QualifierEntry> PropertyQualifiers(const ClassScript* script, const std::wstring& property, CIMTYPE type,
                                               const Origin* origin)
{
    std::vector<QualifierEntry> entries;
    for (const ClassScript* current = script; current != nullptr; current = current->superclass)
    {
        for (const QualifierScript& qualifier : current->propertyQualifiers)
        {
            if (!SameName(qualifier.property, property.c_str()) || !Carries(origin, qualifier) ||
                std::any_of(entries.begin(), entries.end(),
                            [&](const QualifierEntry& entry) { return SameName(entry.name, qualifier.name.c_str()); }))
            {
                continue;
            }
            // Of one name, the amended qualifier stands for the class's own.
            const QualifierScript* chosen = FindQualifier(current, property, qualifier.name.c_str(), origin);
            entries.push_back({chosen->name, chosen->value, FlavorOf(*chosen, current != script)});
        }
        if (std::any_of(current->properties.begin(), current->properties.end(),
                        [&](const auto& own) { return SameName(own.first, property.c_str()); }))
        {
            break;
        }
    }
    if (std::none_of(entries.begin(), entries.end(),
                     [](const QualifierEntry& entry) { return SameName(entry.name, L"CIMTYPE"); }))
    {
        entries.insert(entries.begin(), {L"CIMTYPE", Value::Text(CimTypeName(type)), WBEM_FLAVOR_ORIGIN_LOCAL});
    }
    return entries;
}

// The qualifiers of a class itself as objects of origin see them.
std::vector<QualifierEntry> ClassQualifiers(const ClassScript* script, const Origin* origin)
{
    std::vector<QualifierEntry> entries;
    for (const auto& [name, value] : script->qualifiers)
    {
        entries.push_back({name, value, WBEM_FLAVOR_ORIGIN_LOCAL});
    }
    for (const QualifierScript& qualifier : script->propertyQualifiers)
    {
        if (qualifier.property.empty() && Carries(origin, qualifier))
        {
            auto same =
                std::find_if(entries.begin(), entries.end(),
                             [&](const QualifierEntry& entry) { return SameName(entry.name, qualifier.name.c_str()); });
            if (same == entries.end())
            {
                entries.push_back({qualifier.name, qualifier.value, FlavorOf(qualifier, false)});
            }
            else if (!qualifier.locale.empty())
            {
                *same = {qualifier.name, qualifier.value, FlavorOf(qualifier, false)};
            }
        }
    }
    return entries;
}

// The names of the system properties in the order WMI lists them.
const wchar_t* const SystemNames[] = {
    L"__GENUS",          L"__CLASS",      L"__SUPERCLASS", L"__DYNASTY",   L"__RELPATH",
    L"__PROPERTY_COUNT", L"__DERIVATION", L"__SERVER",     L"__NAMESPACE", L"__PATH"};

// A class definition (instance null) or one instance of a scripted class (or an embedded object: an instance of a
// class of its own, with an empty namespace).
class ClassObject final : public IWbemClassObject, public Counted
{
public:
    // A definition fetched with GetObject uses its class's table while it lives; one handed out by a class
    // enumeration does not (tableUse false).
    ClassObject(Provider* provider, const ClassScript* script, const Instance* instance, bool tableUse = true)
        : m_provider(provider), m_script(script), m_instance(instance),
          m_tableUse(provider, instance == nullptr && tableUse ? script : nullptr)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IWbemClassObject)
        {
            *object = static_cast<IWbemClassObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    SCRIPTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE* type, LONG* flavor) override
    {
        if (flavor != nullptr)
        {
            *flavor = 0;
        }
        if (name == nullptr)
        {
            return WBEM_E_INVALID_PARAMETER;
        }
        if (name[0] == L'_' && name[1] == L'_' && SystemValue(name, value, type))
        {
            if (flavor != nullptr)
            {
                *flavor = WBEM_FLAVOR_ORIGIN_SYSTEM;
            }
            return S_OK;
        }
        if (m_instance == nullptr)
        {
            bool inherited = false;
            const auto* property = Declared(m_script, name, &inherited);
            if (property == nullptr)
            {
                return WBEM_E_NOT_FOUND;
            }
            if (m_provider != nullptr && m_provider->getTypeResult != S_OK)
            {
                return m_provider->getTypeResult;
            }
            if (type != nullptr)
            {
                *type = property->second;
            }
            if (flavor != nullptr)
            {
                *flavor = inherited ? WBEM_FLAVOR_ORIGIN_PROPAGATED : WBEM_FLAVOR_ORIGIN_LOCAL;
            }
            if (value != nullptr)
            {
                VariantInit(value);
            }
            return S_OK;
        }
        // A load reads values alone, many times: the declaration is looked up only when asked for or needed.
        const Value* found = ValueOf(*m_instance, name);
        const std::pair<std::wstring, CIMTYPE>* property = nullptr;
        bool inherited = false;
        if (found == nullptr || type != nullptr || flavor != nullptr)
        {
            property = Declared(m_script, name, &inherited);
            // An instance of a query that selected properties has those alone.
            if (found == nullptr &&
                (property == nullptr || !(m_selected == nullptr || m_selected->empty() || IsSelected(name))))
            {
                return WBEM_E_NOT_FOUND;
            }
        }
        if (found != nullptr && found->IsMissing())
        {
            return WBEM_E_NOT_FOUND;
        }
        if (type != nullptr)
        {
            *type = property != nullptr ? property->second : static_cast<CIMTYPE>(CIM_STRING);
        }
        if (flavor != nullptr)
        {
            *flavor = inherited ? WBEM_FLAVOR_ORIGIN_PROPAGATED : WBEM_FLAVOR_ORIGIN_LOCAL;
        }
        if (value != nullptr)
        {
            VariantInit(value);
            if (found != nullptr)
            {
                VariantCopy(value, const_cast<VARIANT*>(&found->GetVariant()));
            }
            else
            {
                // A property the instance was given no value for is NULL, as in WMI.
                value->vt = VT_NULL;
            }
        }
        return S_OK;
    }

    // The names in WMI's order, the system properties first. Flags: an origin (WBEM_FLAG_SYSTEM_ONLY,
    // WBEM_FLAG_NONSYSTEM_ONLY, WBEM_FLAG_LOCAL_ONLY, WBEM_FLAG_PROPAGATED_ONLY), WBEM_FLAG_KEYS_ONLY,
    // WBEM_FLAG_REFS_ONLY, and with a qualifier name WBEM_FLAG_ONLY_IF_TRUE (properties with that qualifier, not
    // false) or WBEM_FLAG_ONLY_IF_FALSE (those without it).
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR qualifierName, LONG flags, VARIANT*, SAFEARRAY** names) override
    {
        if (m_provider != nullptr)
        {
            m_provider->Log(m_provider->getNamesFlags, flags);
            if (m_provider->getNamesResult != S_OK)
            {
                return m_provider->getNamesResult;
            }
        }
        if (m_provider != nullptr && !m_provider->keyQualifiers &&
            (qualifierName != nullptr || (flags & WBEM_FLAG_KEYS_ONLY) != 0))
        {
            return E_NOTIMPL;
        }
        LONG origin = flags & WBEM_MASK_CONDITION_ORIGIN;
        LONG condition = qualifierName != nullptr ? flags & WBEM_MASK_PRIMARY_CONDITION : 0;
        std::vector<std::wstring> all;
        if ((origin == 0 || origin == WBEM_FLAG_SYSTEM_ONLY) &&
            (flags & (WBEM_FLAG_KEYS_ONLY | WBEM_FLAG_REFS_ONLY)) == 0 && condition == 0)
        {
            all.assign(std::begin(SystemNames), std::end(SystemNames));
        }
        if (origin != WBEM_FLAG_SYSTEM_ONLY)
        {
            for (const auto* property : AllProperties(m_script))
            {
                bool inherited = false;
                Declared(m_script, property->first.c_str(), &inherited);
                const QualifierScript* qualifier =
                    condition != 0 ? FindQualifier(m_script, property->first, qualifierName, m_origin.get()) : nullptr;
                bool qualified =
                    qualifier != nullptr && !(qualifier->value.GetVariant().vt == VT_BOOL && !IsTrue(qualifier->value));
                // An instance of a query that selected properties has those alone, as WMI gives it.
                if ((m_selected == nullptr || m_selected->empty() || IsSelected(property->first.c_str())) &&
                    (origin != WBEM_FLAG_LOCAL_ONLY || !inherited) &&
                    (origin != WBEM_FLAG_PROPAGATED_ONLY || inherited) &&
                    ((flags & WBEM_FLAG_KEYS_ONLY) == 0 || IsKey(m_script, property->first)) &&
                    ((flags & WBEM_FLAG_REFS_ONLY) == 0 || property->second == CIM_REFERENCE) &&
                    (condition != WBEM_FLAG_ONLY_IF_TRUE || qualified) &&
                    (condition != WBEM_FLAG_ONLY_IF_FALSE || !qualified))
                {
                    all.push_back(property->first);
                }
            }
        }
        // A lower bound of 1 checks that the caller walks from the lower to the upper bound.
        SAFEARRAYBOUND bound{static_cast<ULONG>(all.size()), 1};
        *names = SafeArrayCreate(VT_BSTR, 1, &bound);
        for (LONG i = 0; i < static_cast<LONG>(all.size()); i++)
        {
            BSTR name = SysAllocString(all[static_cast<size_t>(i)].c_str());
            LONG index = i + 1;
            SafeArrayPutElement(*names, &index, name);
            SysFreeString(name);
        }
        return S_OK;
    }

    // The properties the query selected; none: all.
    void Select(std::shared_ptr<const std::vector<std::wstring>> selected) { m_selected = std::move(selected); }
    // Where the object came from; none for an embedded object.
    void SetOrigin(std::shared_ptr<const Origin> origin) { m_origin = std::move(origin); }
    // What its path is made of, as its enumeration worked it out; otherwise worked out when first needed.
    void SetKeys(std::shared_ptr<const KeyList> keys) { m_keys = std::move(keys); }
    // What an embedded object's class and values live in.
    void Keep(std::shared_ptr<const void> kept) { m_kept = std::move(kept); }

    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet** set) override
    {
        *set = new QualifierSet(ClassQualifiers(m_script, m_origin.get()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR name, IWbemQualifierSet** set) override
    {
        *set = nullptr;
        if (name == nullptr)
        {
            return WBEM_E_INVALID_PARAMETER;
        }
        if (name[0] == L'_' && name[1] == L'_')
        {
            return WBEM_E_SYSTEM_PROPERTY;
        }
        const auto* property = Declared(m_script, name, nullptr);
        if (property == nullptr)
        {
            return WBEM_E_NOT_FOUND;
        }
        std::vector<QualifierEntry> entries;
        if (m_provider == nullptr || m_provider->keyQualifiers)
        {
            entries = PropertyQualifiers(m_script, property->first, property->second, m_origin.get());
        }
        *set = new QualifierSet(std::move(entries));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return E_NOTIMPL; }
    // The object in MOF: a class with its qualifiers and its own properties, or an instance with its values (NULL ones
    // left out). WBEM_FLAG_NO_FLAVORS leaves out the flavours (": Amended").
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG flags, BSTR* text) override
    {
        std::wstring mof = m_instance == nullptr ? ClassText(flags) : InstanceText();
        *text = SysAllocStringLen(mof.data(), static_cast<UINT>(mof.size()));
        return *text != nullptr ? WBEM_S_NO_ERROR : WBEM_E_OUT_OF_MEMORY;
    }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }

private:
    bool IsSelected(const wchar_t* name) const
    {
        return std::any_of(m_selected->begin(), m_selected->end(),
                           [&](const std::wstring& selected) { return SameName(selected, name); });
    }

    // Whether the object has a path: an embedded object has none, nor has an instance of a query that selected
    // properties without its keys.
    bool HasPlace() const { return !m_script->nameSpace.empty() && (m_instance == nullptr || KeysOfObject().placed); }

    const KeyList& KeysOfObject() const
    {
        if (m_keys == nullptr)
        {
            m_keys = MakeKeyList(m_script, m_selected.get());
        }
        return *m_keys;
    }

    std::wstring Server() const
    {
        if (m_origin != nullptr)
        {
            return m_origin->server;
        }
        return m_provider != nullptr ? m_provider->computerName : std::wstring();
    }

    // The value of a system property of the class or instance; false for a name that is not one.
    bool SystemValue(const wchar_t* name, VARIANT* value, CIMTYPE* type) const
    {
        // Which one, by its place in SystemNames: the spelling WMI uses is looked for before any other (a load asks
        // for __CLASS and __PATH of every row).
        size_t which = std::size(SystemNames);
        for (size_t i = 0; i < std::size(SystemNames) && which == std::size(SystemNames); i++)
        {
            which = wcscmp(SystemNames[i], name) == 0 ? i : which;
        }
        for (size_t i = 0; i < std::size(SystemNames) && which == std::size(SystemNames); i++)
        {
            which = SameName(SystemNames[i], name) ? i : which;
        }
        enum
        {
            Genus,
            Class,
            Superclass,
            Dynasty,
            RelativePathName,
            PropertyCount,
            Derivation,
            ServerName,
            NamespaceName,
            PathName,
            None
        };
        VARIANT found;
        VariantInit(&found);
        found.vt = VT_NULL;
        CIMTYPE foundType = CIM_STRING;
        switch (which)
        {
        case PathName:
        case RelativePathName:
        {
            // A keyless class's instance has neither path, whatever it was selected with.
            if (!HasPlace() || (m_instance != nullptr && KeysOfObject().keys.empty() && !KeysOfObject().singleton))
            {
                break;
            }
            std::wstring prefix =
                which == RelativePathName ? std::wstring() : L"\\\\" + Server() + L"\\" + m_script->nameSpace + L":";
            std::wstring path = m_instance == nullptr ? prefix + m_script->name
                                                      : RelativePath(m_script, KeysOfObject(), *m_instance, prefix);
            if (!path.empty())
            {
                SetText(&found, path);
            }
            break;
        }
        case ServerName:
        case NamespaceName:
            if (HasPlace())
            {
                SetText(&found, which == ServerName ? Server() : m_script->nameSpace);
            }
            break;
        case Class:
            SetText(&found, m_script->name);
            break;
        case Superclass:
            if (m_script->superclass != nullptr)
            {
                SetText(&found, m_script->superclass->name);
            }
            break;
        case Dynasty:
            SetText(&found, Lineage(m_script).back()->name);
            break;
        case Derivation:
        {
            std::vector<const ClassScript*> lineage = Lineage(m_script);
            std::vector<std::wstring> names;
            for (size_t i = 1; i < lineage.size(); i++)
            {
                names.push_back(lineage[i]->name);
            }
            SetTexts(&found, names);
            foundType = CIM_STRING | CIM_FLAG_ARRAY;
            break;
        }
        case Genus:
            SetInt(&found, m_instance == nullptr ? WBEM_GENUS_CLASS : WBEM_GENUS_INSTANCE);
            foundType = CIM_SINT32;
            break;
        case PropertyCount:
        {
            long count = 0;
            for (const auto* property : AllProperties(m_script))
            {
                count += m_selected == nullptr || m_selected->empty() || IsSelected(property->first.c_str()) ? 1 : 0;
            }
            SetInt(&found, count);
            foundType = CIM_SINT32;
            break;
        }
        default:
            return false;
        }
        if (type != nullptr)
        {
            *type = foundType;
        }
        if (value != nullptr)
        {
            *value = found;
        }
        else
        {
            VariantClear(&found);
        }
        return true;
    }

    // class Name : Superclass { its own properties }, with the qualifiers of each.
    std::wstring ClassText(LONG flags) const
    {
        std::vector<std::wstring> classQualifiers;
        for (const QualifierEntry& entry : ClassQualifiers(m_script, m_origin.get()))
        {
            classQualifiers.push_back(
                MofQualifier(entry.name, entry.value, (entry.flavor & WBEM_FLAVOR_AMENDED) != 0, flags));
        }
        std::wstring text = L"\n" + MofQualifiers(classQualifiers);
        if (!classQualifiers.empty())
        {
            text.back() = L'\n';
        }
        text += L"class " + m_script->name;
        if (m_script->superclass != nullptr)
        {
            text += L" : " + m_script->superclass->name;
        }
        text += L"\n{\n";
        for (const auto& [name, type] : m_script->properties)
        {
            std::vector<std::wstring> qualifiers;
            std::wstring typeName = CimTypeName(type);
            for (const QualifierEntry& entry : PropertyQualifiers(m_script, name, type, m_origin.get()))
            {
                if (SameName(entry.name, L"CIMTYPE"))
                {
                    // The type's own name: "object:Win32_Foo" declares Win32_Foo, "ref:Win32_Foo" Win32_Foo ref.
                    const VARIANT& cimType = entry.value.GetVariant();
                    std::wstring declared = cimType.vt == VT_BSTR ? Text(cimType.bstrVal) : typeName;
                    size_t colon = declared.find(L':');
                    typeName = colon == std::wstring::npos ? declared : declared.substr(colon + 1);
                    if ((type & ~CIM_FLAG_ARRAY) == CIM_REFERENCE)
                    {
                        typeName = (colon == std::wstring::npos ? L"object" : typeName) + L" ref";
                    }
                    continue;
                }
                qualifiers.push_back(
                    MofQualifier(entry.name, entry.value, (entry.flavor & WBEM_FLAVOR_AMENDED) != 0, flags));
            }
            text += L"\t" + MofQualifiers(qualifiers) + typeName + L" " + name +
                    ((type & CIM_FLAG_ARRAY) != 0 ? L"[]" : L"") + L";\n";
        }
        return text + L"};\n";
    }

    // instance of Name { Property = value; ... }, in the order of the class's properties.
    std::wstring InstanceText() const
    {
        std::wstring text = L"\ninstance of " + m_script->name + L"\n{\n";
        for (const auto* property : AllProperties(m_script))
        {
            const Value* value = ValueOf(*m_instance, property->first.c_str());
            if (value == nullptr || value->IsMissing() || value->GetVariant().vt == VT_NULL ||
                value->GetVariant().vt == VT_EMPTY)
            {
                continue;
            }
            text += L"\t" + property->first + L" = " + MofValue(value->GetVariant(), property->second) + L";\n";
        }
        return text + L"};\n";
    }

    Provider* m_provider;        // not owned; null for an embedded object
    const ClassScript* m_script; // not owned
    const Instance* m_instance;  // not owned; null for the class definition
    TableUse m_tableUse;         // the definition's; none for an instance
    std::shared_ptr<const std::vector<std::wstring>> m_selected;
    std::shared_ptr<const Origin> m_origin; // null: the local machine's, without amended qualifiers
    std::shared_ptr<const void> m_kept;     // an embedded object's class and values
    mutable std::shared_ptr<const KeyList> m_keys;
};

// Hands out the instances of a class (a query) or class definitions (a class enumeration).
class Enumerator final : public IEnumWbemClassObject, public Counted
{
public:
    Enumerator(Provider* provider, const ClassScript* script, const MachineScript* machine,
               std::vector<std::wstring> selected = {})
        : m_provider(provider), m_script(script), m_machine(machine),
          m_selected(std::make_shared<const std::vector<std::wstring>>(std::move(selected))),
          m_security(provider, static_cast<IEnumWbemClassObject*>(this), L"enumerator",
                     &provider->enumeratorBlanketResult),
          m_tableUse(provider, script), m_keys(script != nullptr ? MakeKeyList(script, m_selected.get()) : nullptr)
    {
    }
    // Objects of several classes, as an association query gives them: an instance, or (instance null) a class
    // definition.
    Enumerator(Provider* provider, std::vector<std::pair<const ClassScript*, const Instance*>> objects,
               const MachineScript* machine)
        : m_provider(provider), m_script(nullptr), m_machine(machine), m_mixedMode(true), m_objects(std::move(objects)),
          m_security(provider, static_cast<IEnumWbemClassObject*>(this), L"enumerator",
                     &provider->enumeratorBlanketResult),
          m_tableUse(provider, nullptr)
    {
    }
    Enumerator(Provider* provider, std::vector<const ClassScript*> classes, const NamespaceScript* nameSpace,
               const MachineScript* machine)
        : m_provider(provider), m_script(nullptr), m_machine(machine), m_classMode(true), m_classes(std::move(classes)),
          m_namespace(nameSpace), m_security(provider, static_cast<IEnumWbemClassObject*>(this), L"class enumerator",
                                             &provider->enumeratorBlanketResult),
          m_tableUse(provider, nullptr)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IEnumWbemClassObject)
        {
            *object = static_cast<IEnumWbemClassObject*>(this);
        }
        else if (id == IID_IClientSecurity)
        {
            *object = &m_security;
        }
        else
        {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    SCRIPTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) override
    {
        *returned = 0;
        m_provider->calls++;
        int call = ++m_provider->nextCallCount;
        m_provider->Log(m_provider->nextCalls, std::make_pair(timeout, count));
        if (m_provider->onNext)
        {
            m_provider->onNext(call);
        }
        if (m_script != nullptr && m_script->nextBlockMilliseconds > 0)
        {
            Sleep(m_script->nextBlockMilliseconds);
        }
        DWORD delay = m_provider->nextDelayMilliseconds + (m_machine != nullptr ? m_machine->nextDelayMilliseconds : 0);
        if (delay > 0)
        {
            // As WMI does, a call whose time-out ends first returns empty-handed with WBEM_S_TIMEDOUT.
            if (timeout >= 0 && static_cast<DWORD>(timeout) < delay)
            {
                Sleep(static_cast<DWORD>(timeout));
                return WBEM_S_TIMEDOUT;
            }
            Sleep(delay);
        }
        if (call == m_provider->failNextOnCall)
        {
            return m_provider->failNextResult;
        }
        size_t failAfter =
            m_classMode ? m_namespace->classEnumFailAfter : (m_machine != nullptr ? m_machine->failAfterRows : 0);
        if (failAfter > 0 && m_position >= failAfter)
        {
            return m_classMode ? m_namespace->classEnumFailResult : m_machine->failAfterRowsResult;
        }
        if (m_provider->neverReady)
        {
            Sleep(20);
            return WBEM_S_TIMEDOUT;
        }
        size_t total = m_mixedMode   ? m_objects.size()
                       : m_classMode ? m_classes.size()
                                     : (m_script != nullptr ? m_script->instances.size() : 0);
        if (m_position < total && m_timeoutsLeft > 0)
        {
            m_timeoutsLeft--;
            return WBEM_S_TIMEDOUT;
        }
        m_timeoutsLeft = m_provider->timeoutsBeforeEachBatch;
        size_t available = failAfter > 0 ? std::min(total, failAfter) - m_position : total - m_position;
        ULONG n = static_cast<ULONG>(std::min<size_t>({count, m_provider->largestBatch, available}));
        for (ULONG i = 0; i < n; i++, m_position++)
        {
            ClassObject* made = nullptr;
            if (m_mixedMode)
            {
                made = new ClassObject(m_provider, m_objects[m_position].first, m_objects[m_position].second, false);
            }
            else if (m_classMode)
            {
                made = new ClassObject(m_provider, m_classes[m_position], nullptr, false);
            }
            else
            {
                made = new ClassObject(m_provider, m_script, &m_script->instances[m_position]);
                made->Select(m_selected);
                made->SetKeys(m_keys);
            }
            made->SetOrigin(m_origin);
            objects[i] = made;
        }
        *returned = n;
        return n == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    }

    // Where the objects it hands out come from.
    void SetOrigin(std::shared_ptr<const Origin> origin) { m_origin = std::move(origin); }

    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }

private:
    Provider* m_provider;           // not owned
    const ClassScript* m_script;    // not owned; null for a class the machine lacks, and for class definitions
    const MachineScript* m_machine; // not owned; null for a machine without a script
    std::shared_ptr<const std::vector<std::wstring>> m_selected;           // of the query; empty: all
    bool m_classMode = false;                                              // hands out m_classes rather than instances
    bool m_mixedMode = false;                                              // hands out m_objects
    std::vector<std::pair<const ClassScript*, const Instance*>> m_objects; // not owned
    std::vector<const ClassScript*> m_classes;                             // not owned
    const NamespaceScript* m_namespace = nullptr;                          // not owned; set for class definitions
    size_t m_position = 0;
    int m_timeoutsLeft = 0;
    ClientSecurity m_security;
    TableUse m_tableUse;
    std::shared_ptr<const Origin> m_origin;
    std::shared_ptr<const KeyList> m_keys; // of its instances
};

// The class name of a query of the form "Select ... from <class> [where ...]", keywords in any case.
std::wstring QueriedClass(const std::wstring& query)
{
    std::wstring lower = query;
    for (wchar_t& unit : lower)
    {
        unit = unit >= L'A' && unit <= L'Z' ? static_cast<wchar_t>(unit + (L'a' - L'A')) : unit;
    }
    size_t from = lower.find(L" from ");
    if (from == std::wstring::npos)
    {
        return std::wstring();
    }
    size_t start = from + 6;
    size_t end = query.find(L' ', start);
    return query.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

std::wstring Lower(std::wstring text);

// The property names of "Select a, b from ..."; none for "Select * from ...".
std::vector<std::wstring> SelectedProperties(const std::wstring& query)
{
    std::wstring lower = Lower(query);
    size_t start = lower.find(L"select ");
    size_t from = lower.find(L" from ");
    std::vector<std::wstring> names;
    if (start == std::wstring::npos || from == std::wstring::npos || from < start)
    {
        return names;
    }
    std::wstring list = query.substr(start + 7, from - start - 7);
    size_t at = 0;
    while (at <= list.size())
    {
        size_t comma = list.find(L',', at);
        std::wstring name = list.substr(at, comma == std::wstring::npos ? std::wstring::npos : comma - at);
        size_t first = name.find_first_not_of(L" \t");
        size_t last = name.find_last_not_of(L" \t");
        if (first != std::wstring::npos && name.substr(first, last - first + 1) != L"*")
        {
            names.push_back(name.substr(first, last - first + 1));
        }
        if (comma == std::wstring::npos)
        {
            break;
        }
        at = comma + 1;
    }
    return names;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& unit : text)
    {
        unit = unit >= L'A' && unit <= L'Z' ? static_cast<wchar_t>(unit + (L'a' - L'A')) : unit;
    }
    return text;
}

bool IsNameUnit(wchar_t unit)
{
    return unit == L'_' || (unit >= L'0' && unit <= L'9') || (unit >= L'A' && unit <= L'Z') ||
           (unit >= L'a' && unit <= L'z');
}

// A tokenizer for the WHERE clauses of ASSOCIATORS OF, REFERENCES OF and meta_class queries: names, quoted
// texts (quotes removed) and single marks.
class Tokens
{
public:
    Tokens(const std::wstring& text, size_t start) : m_text(text), m_at(start) {}

    bool AtEnd()
    {
        SkipBlanks();
        return m_at >= m_text.size();
    }
    // The next token, or empty at the end (or at an unclosed quote, with failed set).
    std::wstring Next()
    {
        SkipBlanks();
        if (m_at >= m_text.size())
        {
            return std::wstring();
        }
        size_t start = m_at;
        wchar_t unit = m_text[m_at];
        if (unit == L'\'' || unit == L'"')
        {
            size_t end = m_text.find(unit, start + 1);
            if (end == std::wstring::npos)
            {
                failed = true;
                m_at = m_text.size();
                return std::wstring();
            }
            m_at = end + 1;
            return m_text.substr(start + 1, end - start - 1);
        }
        if (!IsNameUnit(unit))
        {
            m_at++;
            return std::wstring(1, unit);
        }
        while (m_at < m_text.size() && IsNameUnit(m_text[m_at]))
        {
            m_at++;
        }
        return m_text.substr(start, m_at - start);
    }
    // "= value" after a keyword; false when not there.
    bool Value(std::wstring& value)
    {
        if (Next() != L"=")
        {
            return false;
        }
        value = Next();
        return !value.empty() && !failed;
    }

    bool failed = false;

private:
    void SkipBlanks()
    {
        while (m_at < m_text.size() && iswspace(m_text[m_at]))
        {
            m_at++;
        }
    }

    const std::wstring& m_text;
    size_t m_at;
};

// The server of a namespace path such as \\server\root\cimv2; empty for a path without one.
std::wstring ServerOf(const std::wstring& path)
{
    if (path.compare(0, 2, L"\\\\") != 0)
    {
        return std::wstring();
    }
    size_t end = path.find(L'\\', 2);
    return path.substr(2, end == std::wstring::npos ? std::wstring::npos : end - 2);
}

// The namespace of a path such as \\server\root\cimv2, root\cimv2 or //./root/cimv2, with backslashes.
std::wstring NamespaceOf(const std::wstring& path)
{
    std::wstring normal = path;
    std::replace(normal.begin(), normal.end(), L'/', L'\\');
    if (normal.compare(0, 2, L"\\\\") != 0)
    {
        return normal;
    }
    size_t end = normal.find(L'\\', 2);
    return end == std::wstring::npos ? std::wstring() : normal.substr(end + 1);
}

// One key of an object path: its name (empty in Class=value) and its value's text, quotes and escapes removed.
struct PathKey
{
    std::wstring name;
    std::wstring text;
};

// An object path read: [\\server\namespace: | namespace:] Class [.Key=value{,Key=value} | =value | =@].
struct ObjectPath
{
    std::wstring nameSpace; // empty when the path names none
    std::wstring className;
    bool instance = false;
    bool singleton = false;
    std::vector<PathKey> keys;
};

// A key value at at: a text in double or single quotes (a backslash takes the next unit as it is) or a bare number
// or boolean up to the next comma.
bool ReadKeyValue(const std::wstring& path, size_t& at, std::wstring& text)
{
    if (at >= path.size())
    {
        return false;
    }
    wchar_t quote = path[at];
    if (quote == L'"' || quote == L'\'')
    {
        for (at++; at < path.size() && path[at] != quote; at++)
        {
            if (path[at] == L'\\' && at + 1 < path.size())
            {
                at++;
            }
            text += path[at];
        }
        if (at >= path.size())
        {
            return false;
        }
        at++;
        return true;
    }
    size_t start = at;
    while (at < path.size() && path[at] != L',')
    {
        at++;
    }
    text = path.substr(start, at - start);
    return !text.empty();
}

bool ReadObjectPath(const std::wstring& path, ObjectPath& read)
{
    size_t at = 0;
    // The namespace part ends at the first colon outside the key values (which may hold colons, as "C:").
    size_t colon = path.find(L':');
    size_t firstQuote = path.find_first_of(L"\"'");
    if (colon != std::wstring::npos && (firstQuote == std::wstring::npos || colon < firstQuote))
    {
        read.nameSpace = NamespaceOf(path.substr(0, colon));
        if (read.nameSpace.empty())
        {
            return false;
        }
        at = colon + 1;
    }
    size_t start = at;
    while (at < path.size() && IsNameUnit(path[at]))
    {
        at++;
    }
    read.className = path.substr(start, at - start);
    if (read.className.empty())
    {
        return false;
    }
    if (at == path.size())
    {
        return true;
    }
    read.instance = true;
    if (path[at] == L'=')
    {
        at++;
        if (path.compare(at, std::wstring::npos, L"@") == 0)
        {
            read.singleton = true;
            return true;
        }
        PathKey key;
        if (!ReadKeyValue(path, at, key.text) || at != path.size())
        {
            return false;
        }
        read.keys.push_back(key);
        return true;
    }
    if (path[at] != L'.')
    {
        return false;
    }
    do
    {
        at++;
        PathKey key;
        size_t name = at;
        while (at < path.size() && IsNameUnit(path[at]))
        {
            at++;
        }
        key.name = path.substr(name, at - name);
        if (key.name.empty() || at >= path.size() || path[at] != L'=')
        {
            return false;
        }
        at++;
        if (!ReadKeyValue(path, at, key.text))
        {
            return false;
        }
        read.keys.push_back(key);
    } while (at < path.size() && path[at] == L',');
    return at == path.size();
}

// The instance of script that path names by its keys: WBEM_E_NOT_FOUND when no instance has those values,
// WBEM_E_INVALID_OBJECT_PATH when the path does not name the class's keys. Texts compare without regard to case.
HRESULT FindInstance(const ClassScript* script, const ObjectPath& path, size_t& index)
{
    if (path.singleton)
    {
        if (!IsSingleton(script))
        {
            return WBEM_E_INVALID_OBJECT_PATH;
        }
        index = 0;
        return script->instances.empty() ? static_cast<HRESULT>(WBEM_E_NOT_FOUND) : S_OK;
    }
    std::vector<const std::pair<std::wstring, CIMTYPE>*> keys = Keys(script);
    if (keys.empty() || keys.size() != path.keys.size())
    {
        return WBEM_E_INVALID_OBJECT_PATH;
    }
    std::vector<const PathKey*> wanted(keys.size(), nullptr);
    for (const PathKey& given : path.keys)
    {
        size_t k = 0;
        while (k < keys.size() &&
               !(given.name.empty() ? keys.size() == 1 : SameName(keys[k]->first, given.name.c_str())))
        {
            k++;
        }
        if (k == keys.size() || wanted[k] != nullptr)
        {
            return WBEM_E_INVALID_OBJECT_PATH;
        }
        wanted[k] = &given;
    }
    for (size_t i = 0; i < script->instances.size(); i++)
    {
        bool matches = true;
        for (size_t k = 0; k < keys.size() && matches; k++)
        {
            const Value* value = ValueOf(script->instances[i], keys[k]->first.c_str());
            std::wstring text;
            bool quoted = false;
            matches = value != nullptr && KeyText(value->GetVariant(), keys[k]->second, text, quoted) &&
                      SameName(text, wanted[k]->text.c_str());
        }
        if (matches)
        {
            index = i;
            return S_OK;
        }
    }
    return WBEM_E_NOT_FOUND;
}

// Whether a server named in a connection is the local machine.
bool IsLocalServer(const std::wstring& server)
{
    return server.empty() || server == L"." || SameName(server, L"localhost") || server == L"127.0.0.1";
}

// Whether script lies below base in its hierarchy.
bool DerivesFrom(const ClassScript* script, const ClassScript* base)
{
    for (const ClassScript* current = script->superclass; current != nullptr; current = current->superclass)
    {
        if (current == base)
        {
            return true;
        }
    }
    return false;
}

// The services of one namespace.
class Services final : public IWbemServices, public Counted
{
public:
    Services(Provider* provider, std::wstring server, NamespaceScript* nameSpace, const std::wstring& locale)
        : m_provider(provider), m_server(std::move(server)), m_namespace(nameSpace),
          m_security(provider, static_cast<IWbemServices*>(this), L"services", &provider->servicesBlanketResult)
    {
        auto plain = std::make_shared<Origin>();
        plain->server = IsLocalServer(m_server) ? provider->computerName : m_server;
        plain->locale = locale.empty() ? provider->defaultLocale : locale;
        auto amended = std::make_shared<Origin>(*plain);
        amended->amended = true;
        m_plain = std::move(plain);
        m_amended = std::move(amended);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IWbemServices)
        {
            *object = static_cast<IWbemServices*>(this);
        }
        else if (id == IID_IClientSecurity)
        {
            *object = &m_security;
        }
        else
        {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    SCRIPTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE GetObject(const BSTR path, LONG flags, IWbemContext*, IWbemClassObject** object,
                                        IWbemCallResult**) override
    {
        m_provider->calls++;
        m_provider->Log(m_provider->getObjectPaths, Text(path));
        m_provider->Log(m_provider->getObjectFlags, flags);
        *object = nullptr;
        if (m_provider->onGetObject)
        {
            m_provider->onGetObject();
        }
        if (m_provider->getObjectResult != S_OK)
        {
            return m_provider->getObjectResult;
        }
        ObjectPath read;
        bool readable = ReadObjectPath(Text(path), read);
        if (!readable && Text(path).find_first_of(L".=") != std::wstring::npos)
        {
            return WBEM_E_INVALID_OBJECT_PATH;
        }
        if (readable && !read.nameSpace.empty() && !SameName(read.nameSpace, m_namespace->path.c_str()))
        {
            return WBEM_E_INVALID_NAMESPACE;
        }
        const ClassScript* script = m_provider->FindClass(m_namespace->path, readable ? read.className : Text(path));
        if (!readable || !read.instance)
        {
            if (script == nullptr)
            {
                return WBEM_E_NOT_FOUND;
            }
            {
                TableUse reading(m_provider, script);
                Sleep(script->getObjectDelayMilliseconds);
            }
            auto* definition = new ClassObject(m_provider, script, nullptr);
            definition->SetOrigin(OriginFor(flags));
            *object = definition;
            return S_OK;
        }
        if (m_provider->getInstanceResult != S_OK)
        {
            return m_provider->getInstanceResult;
        }
        if (script == nullptr)
        {
            return WBEM_E_INVALID_CLASS;
        }
        size_t index = 0;
        HRESULT found = FindInstance(script, read, index);
        if (FAILED(found))
        {
            return found;
        }
        auto scripted = script->getInstanceResults.find(index);
        if (scripted != script->getInstanceResults.end() && scripted->second != S_OK)
        {
            return scripted->second;
        }
        {
            TableUse reading(m_provider, script);
            Sleep(script->getObjectDelayMilliseconds);
        }
        auto* instance = new ClassObject(m_provider, script, &script->instances[index]);
        instance->SetOrigin(OriginFor(flags));
        *object = instance;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags, IWbemContext*,
                                        IEnumWbemClassObject** enumerator) override
    {
        HRESULT result = RunQuery(language, query, flags, enumerator);
        if (*enumerator != nullptr)
        {
            static_cast<Enumerator*>(*enumerator)->SetOrigin(OriginFor(flags));
        }
        return result;
    }

    HRESULT RunQuery(const BSTR language, const BSTR query, LONG flags, IEnumWbemClassObject** enumerator)
    {
        m_provider->calls++;
        m_provider->Log(m_provider->queries, QueryCall{Text(language), Text(query), flags, m_namespace->path});
        *enumerator = nullptr;
        const MachineScript* machine = m_provider->FindMachine(m_server);
        HRESULT scripted = machine != nullptr && machine->execQueryResult != S_OK ? machine->execQueryResult
                                                                                  : m_provider->execQueryResult;
        if (scripted != S_OK)
        {
            return scripted;
        }
        std::wstring text = Text(query);
        std::wstring lower = Lower(text);
        size_t start = lower.find_first_not_of(L" \t\r\n");
        if (start == std::wstring::npos)
        {
            return WBEM_E_INVALID_QUERY;
        }
        if (lower.compare(start, 12, L"associators ") == 0 || lower.compare(start, 11, L"references ") == 0)
        {
            return AssociationQuery(text, start, machine, enumerator);
        }
        std::wstring queried = QueriedClass(text);
        if (lower.compare(start, 7, L"select ") != 0 || queried.empty())
        {
            return WBEM_E_INVALID_QUERY;
        }
        if (SameName(queried, L"meta_class"))
        {
            return MetaClassQuery(text, machine, enumerator);
        }
        // The namespaces inside this one are the instances of its __NAMESPACE class.
        if (SameName(queried, L"__NAMESPACE"))
        {
            if (m_namespace->namespaceQueryResult != S_OK)
            {
                return m_namespace->namespaceQueryResult;
            }
            *enumerator = new Enumerator(m_provider, &m_namespace->childNamespaces, machine);
            return S_OK;
        }
        const ClassScript* script = m_provider->FindClass(m_namespace->path, queried);
        if (script == nullptr)
        {
            return WBEM_E_NOT_FOUND;
        }
        *enumerator = new Enumerator(m_provider, script, machine, SelectedProperties(text));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**,
                                            IWbemCallResult**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    // As WMI documents it: a null or blank superclass means the top of the hierarchy; shallow gives the classes
    // directly below it, deep every class below it (every class of the namespace from the top).
    HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR superclass, LONG flags, IWbemContext*,
                                              IEnumWbemClassObject** enumerator) override
    {
        m_provider->calls++;
        m_provider->Log(m_provider->classEnums,
                        ClassEnumCall{m_namespace->path, Text(superclass), superclass == nullptr, flags});
        *enumerator = nullptr;
        if (m_namespace->classEnumResult != S_OK)
        {
            return m_namespace->classEnumResult;
        }
        const ClassScript* base = nullptr;
        if (!Text(superclass).empty())
        {
            base = m_provider->FindClass(m_namespace->path, Text(superclass));
            if (base == nullptr)
            {
                return WBEM_E_INVALID_CLASS;
            }
        }
        bool shallow = (flags & WBEM_FLAG_SHALLOW) != 0;
        std::vector<const ClassScript*> chosen;
        for (const auto& script : m_namespace->classes)
        {
            if (shallow ? script->superclass == base : base == nullptr || DerivesFrom(script.get(), base))
            {
                chosen.push_back(script.get());
            }
        }
        auto* classes = new Enumerator(m_provider, std::move(chosen), m_namespace, m_provider->FindMachine(m_server));
        classes->SetOrigin(OriginFor(flags));
        *enumerator = classes;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                                    IEnumWbemClassObject**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                                         IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                         IWbemClassObject**, IWbemCallResult**) override
    {
        m_provider->calls++;
        m_provider->methodCalls++;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                              IWbemObjectSink*) override
    {
        return E_NOTIMPL;
    }

private:
    // The origin of the objects of a call with these flags.
    std::shared_ptr<const Origin> OriginFor(LONG flags) const
    {
        return (flags & WBEM_FLAG_USE_AMENDED_QUALIFIERS) != 0 ? m_amended : m_plain;
    }

    // Whether script is the class named, or derives from it.
    static bool IsA(const ClassScript* script, const std::wstring& name)
    {
        for (const ClassScript* current = script; current != nullptr; current = current->superclass)
        {
            if (SameName(current->name, name.c_str()))
            {
                return true;
            }
        }
        return false;
    }

    // ASSOCIATORS OF {path} [WHERE AssocClass = A | ResultClass = R | ClassDefsOnly ...] and REFERENCES OF {path}
    // [WHERE ResultClass = A | ClassDefsOnly], from the scripted associations. Keywords it does not model (Role,
    // RequiredQualifier, ...) and any other text fail with WBEM_E_INVALID_QUERY, as does ClassDefsOnly together
    // with ResultClass; a path whose class the namespace lacks gives WBEM_E_NOT_FOUND.
    HRESULT AssociationQuery(const std::wstring& text, size_t start, const MachineScript* machine,
                             IEnumWbemClassObject** enumerator)
    {
        bool references = text[start] == L'r' || text[start] == L'R';
        if (references && m_provider->referencesResult != S_OK)
        {
            return m_provider->referencesResult;
        }
        Tokens head(text, start);
        head.Next();
        if (Lower(head.Next()) != L"of")
        {
            return WBEM_E_INVALID_QUERY;
        }
        size_t open = text.find_first_not_of(L" \t\r\n", Lower(text).find(L"of", start + 10) + 2);
        if (open == std::wstring::npos || text[open] != L'{')
        {
            return WBEM_E_INVALID_QUERY;
        }
        size_t close = open + 1;
        for (wchar_t quote = 0; close < text.size() && (quote != 0 || text[close] != L'}'); close++)
        {
            if (quote != 0 && text[close] == L'\\')
            {
                close++;
            }
            else if (text[close] == L'"')
            {
                quote = quote == 0 ? L'"' : 0;
            }
        }
        if (close >= text.size())
        {
            return WBEM_E_INVALID_QUERY;
        }
        std::wstring path = text.substr(open + 1, close - open - 1);
        std::wstring resultClass;
        std::wstring assocClass;
        bool classDefsOnly = false;
        Tokens where(text, close + 1);
        if (!where.AtEnd())
        {
            if (Lower(where.Next()) != L"where" || where.AtEnd())
            {
                return WBEM_E_INVALID_QUERY;
            }
            while (!where.AtEnd())
            {
                std::wstring keyword = Lower(where.Next());
                bool valid = keyword == L"classdefsonly"               ? (classDefsOnly = true)
                             : keyword == L"resultclass"               ? where.Value(resultClass)
                             : keyword == L"assocclass" && !references ? where.Value(assocClass)
                                                                       : false;
                if (!valid)
                {
                    return WBEM_E_INVALID_QUERY;
                }
            }
        }
        if (classDefsOnly && !resultClass.empty())
        {
            return WBEM_E_INVALID_QUERY;
        }
        size_t classEnd = path.find_first_of(L".=");
        if (m_provider->FindClass(m_namespace->path, path.substr(0, classEnd)) == nullptr)
        {
            return WBEM_E_NOT_FOUND;
        }
        std::vector<std::pair<const ClassScript*, const Instance*>> objects;
        for (const AssociationScript& association : m_provider->associations)
        {
            const ClassScript* link = m_provider->FindClass(m_namespace->path, association.associationClass);
            const ClassScript* target = m_provider->FindClass(m_namespace->path, association.targetClass);
            if (!SameName(association.sourcePath, path.c_str()) || link == nullptr || target == nullptr ||
                (!assocClass.empty() && !IsA(link, assocClass)))
            {
                continue;
            }
            std::pair<const ClassScript*, const Instance*> found =
                references ? std::make_pair(link, &association.link)
                           : std::make_pair(target, &target->instances[association.targetIndex]);
            if (!resultClass.empty() && !IsA(found.first, resultClass))
            {
                continue;
            }
            if (classDefsOnly)
            {
                // Each class once, as its definition.
                found.second = nullptr;
                if (std::find(objects.begin(), objects.end(), found) != objects.end())
                {
                    continue;
                }
            }
            objects.push_back(found);
        }
        *enumerator = new Enumerator(m_provider, std::move(objects), machine);
        return S_OK;
    }

    // SELECT * FROM meta_class [WHERE __CLASS = 'X']: the definitions of every class of the namespace, or of the
    // one named (none when the namespace lacks it).
    HRESULT MetaClassQuery(const std::wstring& text, const MachineScript* machine, IEnumWbemClassObject** enumerator)
    {
        size_t where = Lower(text).find(L" where ");
        std::wstring wanted;
        if (where != std::wstring::npos)
        {
            Tokens condition(text, where + 7);
            if (Lower(condition.Next()) != L"__class" || !condition.Value(wanted) || !condition.AtEnd())
            {
                return WBEM_E_INVALID_QUERY;
            }
        }
        std::vector<std::pair<const ClassScript*, const Instance*>> objects;
        for (const auto& script : m_namespace->classes)
        {
            if (wanted.empty() || SameName(script->name, wanted.c_str()))
            {
                objects.emplace_back(script.get(), nullptr);
            }
        }
        *enumerator = new Enumerator(m_provider, std::move(objects), machine);
        return S_OK;
    }

    Provider* m_provider; // not owned
    std::wstring m_server;
    NamespaceScript* m_namespace; // not owned: the provider's
    ClientSecurity m_security;
    std::shared_ptr<const Origin> m_plain;   // of its objects
    std::shared_ptr<const Origin> m_amended; // of its objects got with WBEM_FLAG_USE_AMENDED_QUALIFIERS
};

class Locator final : public IWbemLocator, public Counted
{
public:
    explicit Locator(Provider* provider) : m_provider(provider) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IWbemLocator)
        {
            *object = static_cast<IWbemLocator*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    SCRIPTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR path, const BSTR user, const BSTR password, const BSTR locale,
                                            LONG flags, const BSTR, IWbemContext*, IWbemServices** services) override
    {
        m_provider->calls++;
        m_provider->Log(m_provider->connects, ConnectCall{Text(path), Text(user), Text(password), user == nullptr,
                                                          password == nullptr, flags, Text(locale), locale == nullptr});
        if (m_provider->onConnect)
        {
            m_provider->onConnect();
        }
        *services = nullptr;
        if (FAILED(m_provider->connectResult))
        {
            if (!m_provider->connectErrorDescription.empty())
            {
                SetErrorDescription(m_provider->connectErrorDescription);
            }
            return m_provider->connectResult;
        }
        NamespaceScript* nameSpace = m_provider->FindNamespace(NamespaceOf(Text(path)));
        if (nameSpace == nullptr)
        {
            return WBEM_E_INVALID_NAMESPACE;
        }
        if (FAILED(nameSpace->connectResult))
        {
            return nameSpace->connectResult;
        }
        *services = new Services(m_provider, ServerOf(Text(path)), nameSpace, Text(locale));
        return m_provider->connectResult;
    }

private:
    Provider* m_provider; // not owned
};

class LocatorFactory final : public IClassFactory
{
public:
    explicit LocatorFactory(Provider* provider) : m_provider(provider) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == IID_IClassFactory)
        {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_references;
        if (left == 0)
        {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID id, void** object) override
    {
        *object = nullptr;
        if (outer != nullptr)
        {
            return CLASS_E_NOAGGREGATION;
        }
        Locator* locator = new Locator(m_provider);
        HRESULT result = locator->QueryInterface(id, object);
        locator->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    Provider* m_provider; // not owned
    std::atomic<ULONG> m_references{1};
};

} // namespace

// --- values ---

Value::Value()
{
    VariantInit(&m_variant);
}

Value::Value(const Value& other) : m_missing(other.m_missing)
{
    VariantInit(&m_variant);
    VariantCopy(&m_variant, const_cast<VARIANT*>(&other.m_variant));
}

Value& Value::operator=(const Value& other)
{
    if (this != &other)
    {
        VariantClear(&m_variant);
        VariantCopy(&m_variant, const_cast<VARIANT*>(&other.m_variant));
        m_missing = other.m_missing;
    }
    return *this;
}

Value::~Value()
{
    VariantClear(&m_variant);
}

Value Value::Text(const std::wstring& text)
{
    Value value;
    value.m_variant.vt = VT_BSTR;
    value.m_variant.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return value;
}

Value Value::Int(long number)
{
    Value value;
    value.m_variant.vt = VT_I4;
    value.m_variant.lVal = number;
    return value;
}

Value Value::Bool(bool flag)
{
    Value value;
    value.m_variant.vt = VT_BOOL;
    value.m_variant.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
}

Value Value::Real(double number)
{
    Value value;
    value.m_variant.vt = VT_R8;
    value.m_variant.dblVal = number;
    return value;
}

Value Value::Null()
{
    Value value;
    value.m_variant.vt = VT_NULL;
    return value;
}

Value Value::Strings(const std::vector<std::wstring>& texts)
{
    Value value;
    SAFEARRAYBOUND bound{static_cast<ULONG>(texts.size()), 0};
    value.m_variant.vt = VT_ARRAY | VT_BSTR;
    value.m_variant.parray = SafeArrayCreate(VT_BSTR, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(texts.size()); i++)
    {
        BSTR text = SysAllocString(texts[static_cast<size_t>(i)].c_str());
        SafeArrayPutElement(value.m_variant.parray, &i, text);
        SysFreeString(text);
    }
    return value;
}

Value Value::Ints(const std::vector<long>& numbers)
{
    Value value;
    SAFEARRAYBOUND bound{static_cast<ULONG>(numbers.size()), 0};
    value.m_variant.vt = VT_ARRAY | VT_I4;
    value.m_variant.parray = SafeArrayCreate(VT_I4, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(numbers.size()); i++)
    {
        LONG number = numbers[static_cast<size_t>(i)];
        SafeArrayPutElement(value.m_variant.parray, &i, &number);
    }
    return value;
}

Value Value::EmbeddedObject()
{
    static ClassScript empty;
    static Instance embedded;
    Value value;
    value.m_variant.vt = VT_UNKNOWN;
    value.m_variant.punkVal = new ClassObject(nullptr, &empty, &embedded);
    return value;
}

Value Value::Missing()
{
    Value value;
    value.m_missing = true;
    return value;
}

Value Value::SInt8(int number)
{
    Value value;
    value.m_variant.vt = VT_I2;
    value.m_variant.iVal = static_cast<SHORT>(number);
    return value;
}

Value Value::UInt8(unsigned int number)
{
    Value value;
    value.m_variant.vt = VT_UI1;
    value.m_variant.bVal = static_cast<BYTE>(number);
    return value;
}

Value Value::SInt16(int number)
{
    return SInt8(number);
}

Value Value::UInt16(unsigned int number)
{
    return Int(static_cast<long>(number & 0xFFFF));
}

Value Value::SInt32(long number)
{
    return Int(number);
}

Value Value::UInt32(unsigned long number)
{
    return Int(static_cast<long>(number));
}

Value Value::SInt64(long long number)
{
    return Text(std::to_wstring(number));
}

Value Value::UInt64(unsigned long long number)
{
    return Text(std::to_wstring(number));
}

Value Value::Real32(float number)
{
    Value value;
    value.m_variant.vt = VT_R4;
    value.m_variant.fltVal = number;
    return value;
}

Value Value::Real64(double number)
{
    return Real(number);
}

Value Value::Char16(wchar_t unit)
{
    return SInt8(static_cast<SHORT>(unit));
}

Value Value::DateTime(const std::wstring& text)
{
    return Text(text);
}

Value Value::Reference(const std::wstring& path)
{
    return Text(path);
}

VARTYPE Value::VariantTypeOf(CIMTYPE type)
{
    switch (type & ~CIM_FLAG_ARRAY)
    {
    case CIM_SINT8:
    case CIM_SINT16:
    case CIM_CHAR16:
        return VT_I2;
    case CIM_UINT8:
        return VT_UI1;
    case CIM_UINT16:
    case CIM_SINT32:
    case CIM_UINT32:
        return VT_I4;
    case CIM_REAL32:
        return VT_R4;
    case CIM_REAL64:
        return VT_R8;
    case CIM_BOOLEAN:
        return VT_BOOL;
    case CIM_OBJECT:
        return VT_UNKNOWN;
    default:
        return VT_BSTR;
    }
}

Value Value::Array(CIMTYPE elementType, const std::vector<Value>& elements)
{
    VARTYPE type = VariantTypeOf(elementType);
    for (const Value& element : elements)
    {
        if (element.m_variant.vt != type)
        {
            throw std::invalid_argument("an array element is not of the array's automation type");
        }
    }
    Value value;
    SAFEARRAYBOUND bound{static_cast<ULONG>(elements.size()), 0};
    value.m_variant.vt = static_cast<VARTYPE>(VT_ARRAY | type);
    value.m_variant.parray = SafeArrayCreate(type, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(elements.size()); i++)
    {
        const VARIANT& element = elements[static_cast<size_t>(i)].m_variant;
        // A text or an object is put by its pointer (copied or add-ref'ed); any other value from its storage.
        void* source = type == VT_BSTR      ? static_cast<void*>(element.bstrVal)
                       : type == VT_UNKNOWN ? static_cast<void*>(element.punkVal)
                                            : const_cast<LONGLONG*>(&element.llVal);
        SafeArrayPutElement(value.m_variant.parray, &i, source);
    }
    return value;
}

namespace
{

// What an embedded object keeps alive: its class of its own and its values.
struct EmbeddedScript
{
    ClassScript script;
    Instance instance;
};

} // namespace

Value Value::Object(const std::wstring& className, const std::vector<std::pair<std::wstring, CIMTYPE>>& properties,
                    const Instance& values)
{
    auto embedded = std::make_shared<EmbeddedScript>();
    embedded->script.name = className;
    embedded->script.properties = properties;
    embedded->instance = values;
    auto* object = new ClassObject(nullptr, &embedded->script, &embedded->instance);
    object->Keep(embedded);
    Value value;
    value.m_variant.vt = VT_UNKNOWN;
    value.m_variant.punkVal = object;
    return value;
}

// --- classes ---

void ClassScript::SetKeys(const std::vector<std::wstring>& names)
{
    for (const std::wstring& key : names)
    {
        Qualify(key, L"key", Value::Bool(true));
    }
}

void ClassScript::Qualify(const std::wstring& property, const std::wstring& qualifier, const Value& value)
{
    propertyQualifiers.push_back({property, qualifier, value, std::wstring()});
}

void ClassScript::Amend(const std::wstring& locale, const std::wstring& property, const std::wstring& qualifier,
                        const Value& value)
{
    propertyQualifiers.push_back({property, qualifier, value, locale});
}

// --- provider ---

Provider::Provider() : m_factory(new LocatorFactory(this))
{
    AddNamespace(L"root\\cimv2");
    CoRegisterClassObject(CLSID_WbemLocator, m_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_registration);
}

Provider::~Provider()
{
    CoRevokeClassObject(m_registration);
    m_factory->Release();
}

NamespaceScript& Provider::AddNamespace(const std::wstring& path)
{
    if (NamespaceScript* existing = FindNamespace(path))
    {
        return *existing;
    }
    size_t separator = path.rfind(L'\\');
    NamespaceScript* parent = separator != std::wstring::npos ? &AddNamespace(path.substr(0, separator)) : nullptr;
    auto added = std::make_unique<NamespaceScript>();
    added->path = path;
    added->childNamespaces.name = L"__NAMESPACE";
    added->childNamespaces.properties = {{L"Name", CIM_STRING}};
    added->childNamespaces.nameSpace = path;
    if (parent != nullptr)
    {
        Instance child;
        child.values.emplace_back(L"Name", Value::Text(path.substr(separator + 1)));
        parent->childNamespaces.instances.push_back(std::move(child));
    }
    m_namespaces.push_back(std::move(added));
    return *m_namespaces.back();
}

NamespaceScript* Provider::FindNamespace(const std::wstring& path)
{
    for (const auto& nameSpace : m_namespaces)
    {
        if (SameName(nameSpace->path, path.c_str()))
        {
            return nameSpace.get();
        }
    }
    return nullptr;
}

ClassScript& Provider::AddClass(const std::wstring& name,
                                const std::vector<std::pair<std::wstring, CIMTYPE>>& properties)
{
    return AddClass(L"root\\cimv2", name, std::wstring(), properties);
}

ClassScript& Provider::AddClass(const std::wstring& nameSpace, const std::wstring& name, const std::wstring& superclass,
                                const std::vector<std::pair<std::wstring, CIMTYPE>>& properties)
{
    NamespaceScript& owner = AddNamespace(nameSpace);
    const ClassScript* parent = nullptr;
    if (!superclass.empty())
    {
        parent = FindClass(nameSpace, superclass);
        if (parent == nullptr)
        {
            throw std::invalid_argument("the superclass is not a class of the namespace");
        }
    }
    auto script = std::make_unique<ClassScript>();
    script->name = name;
    script->properties = properties;
    script->nameSpace = owner.path;
    script->superclass = parent;
    owner.classes.push_back(std::move(script));
    return *owner.classes.back();
}

const MachineScript* Provider::FindMachine(const std::wstring& server) const
{
    for (const auto& [name, script] : machines)
    {
        if (name == server)
        {
            return &script;
        }
    }
    return nullptr;
}

ClassScript* Provider::FindClass(const std::wstring& name)
{
    return FindClass(L"root\\cimv2", name);
}

ClassScript* Provider::FindClass(const std::wstring& nameSpace, const std::wstring& name)
{
    NamespaceScript* owner = FindNamespace(nameSpace);
    if (owner == nullptr)
    {
        return nullptr;
    }
    for (const auto& script : owner->classes)
    {
        if (SameName(script->name, name.c_str()))
        {
            return script.get();
        }
    }
    return nullptr;
}

AssociationScript& Provider::Associate(const std::wstring& associationClass, const std::wstring& sourcePath,
                                       const std::wstring& targetClass, size_t targetIndex, Instance link)
{
    const ClassScript* target = FindClass(targetClass);
    if (FindClass(associationClass) == nullptr || target == nullptr || targetIndex >= target->instances.size())
    {
        throw std::invalid_argument("the association's classes or its target instance are not scripted");
    }
    AssociationScript association;
    association.associationClass = associationClass;
    association.sourcePath = sourcePath;
    association.targetClass = targetClass;
    association.targetIndex = targetIndex;
    association.link = std::move(link);
    associations.push_back(std::move(association));
    return associations.back();
}

void AddInstances(ClassScript& script, int count, const std::function<Value(int, int)>& make)
{
    script.instances.reserve(script.instances.size() + static_cast<size_t>(count));
    for (int i = 0; i < count; i++)
    {
        Instance instance;
        for (size_t p = 0; p < script.properties.size(); p++)
        {
            instance.values.emplace_back(script.properties[p].first, make(i, static_cast<int>(p)));
        }
        script.instances.push_back(std::move(instance));
    }
}

} // namespace ScriptedWmi
