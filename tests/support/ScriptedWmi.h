// An in-process WMI provider with scripted behaviour for tests and benchmarks: a locator, namespaces, services,
// enumerators, class objects and qualifier sets behind the real COM interfaces. Registered as the class object of
// CLSID_WbemLocator, it is what the program's own CoGetClassObject call receives.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

#include <wbemidl.h>

namespace ScriptedWmi
{

struct Instance;

// A property value of a scripted instance, held as the VARIANT WMI hands out for it.
class Value
{
public:
    static Value Text(const std::wstring& text);
    static Value Int(long value);
    static Value Bool(bool value);
    static Value Real(double value);
    static Value Null();
    static Value Strings(const std::vector<std::wstring>& texts);
    static Value Ints(const std::vector<long>& values);
    // An embedded object of a class without a name or properties.
    static Value EmbeddedObject();
    // Get on this property fails.
    static Value Missing();

    // A value of each CIM type in the automation type Microsoft documents for it ("Numbers (WMI)"): sint8, sint16
    // and char16 as VT_I2; uint8 as VT_UI1; uint16, sint32 and uint32 as VT_I4 (a uint32 above 2^31 - 1 arrives
    // negative); sint64 and uint64 as decimal text (VT_BSTR); real32 as VT_R4, real64 as VT_R8; datetimes and
    // references (an object path) as text.
    static Value SInt8(int value);
    static Value UInt8(unsigned int value);
    static Value SInt16(int value);
    static Value UInt16(unsigned int value);
    static Value SInt32(long value);
    static Value UInt32(unsigned long value);
    static Value SInt64(long long value);
    static Value UInt64(unsigned long long value);
    static Value Real32(float value);
    static Value Real64(double value);
    static Value Char16(wchar_t value);
    static Value DateTime(const std::wstring& text);
    static Value Reference(const std::wstring& path);
    // An array of elementType (without CIM_FLAG_ARRAY): VT_ARRAY of the automation type of its elements, made with
    // the functions above; of CIM_OBJECT, VT_ARRAY | VT_UNKNOWN of embedded objects. Throws std::invalid_argument
    // for an element of another automation type.
    static Value Array(CIMTYPE elementType, const std::vector<Value>& elements);
    // An embedded object (VT_UNKNOWN holding an IWbemClassObject): an instance of a class of its own, not one of a
    // namespace, with these properties and values and no path. The object is a scripted COM object (counted in
    // liveObjects) for as long as this value or a copy of it lives.
    static Value Object(const std::wstring& className, const std::vector<std::pair<std::wstring, CIMTYPE>>& properties,
                        const Instance& values);
    // The automation type of a scalar of the CIM type.
    static VARTYPE VariantTypeOf(CIMTYPE type);

    Value(const Value& other);
    Value& operator=(const Value& other);
    ~Value();

    const VARIANT& GetVariant() const { return m_variant; }
    bool IsMissing() const { return m_missing; }

private:
    Value();

    VARIANT m_variant;
    bool m_missing = false;
};

struct Instance
{
    std::vector<std::pair<std::wstring, Value>> values;
};

// A qualifier of a property of a class, or (property empty) of the class itself, as the qualifier set of
// GetPropertyQualifierSet (GetQualifierSet) answers it, on the class and on its instances; a subclass inherits it.
// An amended one (locale set, for example "MS_409") is merged, as WMI merges the localized namespace's, only into
// objects got with WBEM_FLAG_USE_AMENDED_QUALIFIERS over a connection in that locale.
struct QualifierScript
{
    std::wstring property;
    std::wstring name;
    Value value;
    std::wstring locale; // empty: the class's own, not amended
};

struct ClassScript
{
    std::wstring name;
    // Its own non-system properties, in order; GetNames lists its superclasses' first, as WMI lists inherited ones.
    std::vector<std::pair<std::wstring, CIMTYPE>> properties;
    std::vector<Instance> instances;
    // A slow provider of this class: GetObject takes this long, and so does each Next, whatever its time-out (as
    // a provider that scans a disk before it answers).
    DWORD getObjectDelayMilliseconds = 0;
    DWORD nextBlockMilliseconds = 0;
    // The calls now using the class's table: a GetObject under way and its class object, an enumerator. A
    // provider that keeps one table a class (Wine's) fails when two of them overlap.
    std::atomic<int> tableUsers{0};
    // Its place in its namespace: the namespace's path and its direct superclass (null for a top class).
    std::wstring nameSpace;
    const ClassScript* superclass = nullptr;
    // The class's qualifiers, as its IWbemQualifierSet answers Get (names without regard to case), for example
    // {L"abstract", Value::Bool(true)} or {L"Association", Value::Bool(true)}.
    std::vector<std::pair<std::wstring, Value>> qualifiers;
    // The qualifiers of its properties and its amended ones. Every property also has the CIMTYPE qualifier WMI
    // gives it ("string", "uint32", "object", "ref", ...), unless one is scripted here.
    std::vector<QualifierScript> propertyQualifiers;
    // GetObject on the path of instance i (by its index) fails with getInstanceResults[i], when there is one (a
    // process of another user: WBEM_E_ACCESS_DENIED).
    std::map<size_t, HRESULT> getInstanceResults;

    // The key properties: each gets the "key" qualifier, and an instance's __PATH and __RELPATH are made of their
    // values (in the order of their names, as WMI writes them); GetObject finds the instance by them. A class with
    // the "singleton" qualifier has the path Class=@ instead; any other class without keys gives NULL paths.
    void SetKeys(const std::vector<std::wstring>& names);
    void Qualify(const std::wstring& property, const std::wstring& qualifier, const Value& value);
    void Amend(const std::wstring& locale, const std::wstring& property, const std::wstring& qualifier,
               const Value& value);
};

// One namespace of the scripted machines (every machine has the same ones, as it has the same classes).
struct NamespaceScript
{
    std::wstring path;                                 // as added, for example root\cimv2
    std::vector<std::unique_ptr<ClassScript>> classes; // in the order added, which class enumerations keep
    HRESULT connectResult = S_OK;                      // anything but S_OK: ConnectServer to it fails with this
    HRESULT namespaceQueryResult = S_OK; // anything but S_OK: a query of its __NAMESPACE instances fails with this
    HRESULT classEnumResult = S_OK;      // anything but S_OK: CreateClassEnum fails with this (Wine's: WBEM_E_FAILED)
    size_t classEnumFailAfter = 0;       // non-zero: its class enumerators fail once they handed out this many
    HRESULT classEnumFailResult = WBEM_E_FAILED;
    // Its __NAMESPACE instances: one for each namespace directly inside it, with that namespace's Name.
    ClassScript childNamespaces;
};

// One association instance of the scripted machine: it links the object at sourcePath (as a query writes it
// between braces, compared without regard to case) with instance targetIndex of targetClass. ASSOCIATORS OF
// {sourcePath} returns that target; REFERENCES OF {sourcePath} returns the association itself, an instance of
// associationClass with the values of link. Both classes are classes of root\cimv2.
struct AssociationScript
{
    std::wstring associationClass;
    std::wstring sourcePath;
    std::wstring targetClass;
    size_t targetIndex = 0;
    Instance link;
};

struct ConnectCall
{
    std::wstring path;
    std::wstring user;
    std::wstring password;
    bool userNull;
    bool passwordNull;
    LONG flags;
    std::wstring locale;
    bool localeNull;
};

struct BlanketCall
{
    std::wstring target; // "services" or "enumerator"
    DWORD authenticationService;
    DWORD authorisationService;
    OLECHAR* principal;
    DWORD authenticationLevel;
    DWORD impersonationLevel;
    void* identity;
    std::wstring identityUser;
    std::wstring identityDomain;
    std::wstring identityPassword;
    ULONG identityFlags;
    DWORD capabilities;
};

struct QueryCall
{
    std::wstring language;
    std::wstring text;
    LONG flags;
    std::wstring nameSpace;
};

struct ClassEnumCall
{
    std::wstring nameSpace;
    std::wstring superclass;
    bool superclassNull;
    LONG flags;
};

// What one machine (by the server part of the connected path; "." or "" for the local one) does differently.
struct MachineScript
{
    DWORD nextDelayMilliseconds = 0; // each Next of its enumerators takes this long, unless its time-out ends first
    HRESULT execQueryResult = S_OK;  // anything but S_OK: its queries fail with it
    size_t failAfterRows = 0;        // non-zero: once its enumerators handed out this many rows, Next fails
    HRESULT failAfterRowsResult = WBEM_E_FAILED;
};

class Provider
{
public:
    // Registers the provider's locator factory for this process until the provider is destroyed.
    Provider();
    ~Provider();
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;

    // The namespace path (root\wmi, root\Microsoft\Windows\Storage) with the namespaces it lies in; an existing
    // one is returned as it is. Every provider starts with root and root\cimv2.
    NamespaceScript& AddNamespace(const std::wstring& path);
    // Without regard to case, as WMI names namespaces; null for one not added.
    NamespaceScript* FindNamespace(const std::wstring& path);

    // A top class of root\cimv2.
    ClassScript& AddClass(const std::wstring& name, const std::vector<std::pair<std::wstring, CIMTYPE>>& properties);
    // A class of the namespace path (added if new) directly below superclass, a class added there before; an
    // empty superclass makes a top class. Throws std::invalid_argument for a superclass not added yet.
    ClassScript& AddClass(const std::wstring& nameSpace, const std::wstring& name, const std::wstring& superclass,
                          const std::vector<std::pair<std::wstring, CIMTYPE>>& properties);
    // Links sourcePath with instance targetIndex of targetClass by an instance of associationClass (see
    // AssociationScript). Throws std::invalid_argument for a class not added or an instance it lacks.
    AssociationScript& Associate(const std::wstring& associationClass, const std::wstring& sourcePath,
                                 const std::wstring& targetClass, size_t targetIndex, Instance link = {});
    std::vector<AssociationScript> associations;

    // In root\cimv2, and in a given namespace; without regard to case; null when not there.
    ClassScript* FindClass(const std::wstring& name);
    ClassScript* FindClass(const std::wstring& nameSpace, const std::wstring& name);

    // Behaviour, set before the calls it concerns.
    HRESULT connectResult = S_OK;
    std::wstring connectErrorDescription; // left as the thread's COM error object when connecting fails
    HRESULT servicesBlanketResult = S_OK;
    HRESULT enumeratorBlanketResult = S_OK;
    HRESULT getObjectResult = S_OK; // S_OK: found for a scripted class, WBEM_E_NOT_FOUND otherwise
    // GetObject on an instance path (Class.Key="value", Class=@, \\server\root\cimv2:Class.Key=1): anything but
    // S_OK fails every one with it; otherwise it finds the scripted instance by its keys, with WBEM_E_NOT_FOUND for
    // none, WBEM_E_INVALID_CLASS for a class the namespace lacks and WBEM_E_INVALID_OBJECT_PATH for a path that
    // cannot be read or does not name the class's keys.
    HRESULT getInstanceResult = S_OK;
    // What __SERVER says on the local machine (a connection without a server, ".", "localhost" or "127.0.0.1").
    std::wstring computerName = L"SCRIPTED-PC";
    // The locale of a connection whose ConnectServer names none: the user's, as WMI takes it.
    std::wstring defaultLocale = L"MS_409";
    HRESULT getNamesResult = S_OK; // anything but S_OK: GetNames fails with it
    // Off: as Wine's, GetNames cannot filter by a qualifier or by keys (E_NOTIMPL), and property qualifier sets
    // hold neither key nor CIMTYPE.
    bool keyQualifiers = true;
    HRESULT getTypeResult = S_OK;    // result of Get asking the class object for a property's type
    HRESULT execQueryResult = S_OK;  // S_OK: runs for a scripted class, WBEM_E_NOT_FOUND otherwise
    HRESULT referencesResult = S_OK; // anything but S_OK: REFERENCES OF queries alone fail with it (Wine's)
    int failNextOnCall = 0;          // the 1-based Next call that fails with failNextResult; 0: none
    HRESULT failNextResult = WBEM_E_FAILED;
    int timeoutsBeforeEachBatch = 0;      // empty WBEM_S_TIMEDOUT answers before each batch
    bool neverReady = false;              // Next always answers WBEM_S_TIMEDOUT with nothing
    DWORD nextDelayMilliseconds = 0;      // how long each Next takes, unless its time-out ends first
    ULONG largestBatch = 1000;            // the most objects one Next hands out
    std::function<void(int call)> onNext; // runs at the start of every Next call, on the caller's thread
    std::function<void()> onConnect;      // runs at the start of every ConnectServer call, on the caller's thread
    std::function<void()> onGetObject;    // runs at the start of every GetObject call, on the caller's thread
    std::vector<std::pair<std::wstring, MachineScript>> machines; // set before connecting
    // The machine's script; null for a machine without one.
    const MachineScript* FindMachine(const std::wstring& server) const;

    // What the program asked for; off for leak checks, since the log itself allocates.
    bool logging = true;
    template <typename Entry> void Log(std::vector<Entry>& log, Entry entry)
    {
        if (logging)
        {
            std::lock_guard<std::mutex> guard(logLock);
            log.push_back(std::move(entry));
        }
    }
    std::vector<ConnectCall> connects;
    std::vector<BlanketCall> blankets;
    std::vector<QueryCall> queries;
    std::vector<ClassEnumCall> classEnums;
    std::vector<std::wstring> getObjectPaths;
    std::vector<LONG> getObjectFlags;
    std::vector<LONG> getNamesFlags;
    std::vector<std::pair<LONG, ULONG>> nextCalls; // time-out and count of each Next
    std::atomic<int> nextCallCount{0};
    // Every call the program made on the locator, the services and the enumerators (ConnectServer, GetObject,
    // ExecQuery, CreateClassEnum, Next), counted even with logging off: what proves that something asked nothing.
    std::atomic<int> calls{0};
    // ExecMethod calls, which change a machine: counted to prove that none was made.
    std::atomic<int> methodCalls{0};
    // Uses of a class's table that began while another one was still under way.
    std::atomic<int> overlappingTableUses{0};
    std::mutex logLock;

    // Scripted COM objects alive now; 0 once the program released everything it was given.
    static std::atomic<int> liveObjects;

private:
    std::vector<std::unique_ptr<NamespaceScript>> m_namespaces;
    IClassFactory* m_factory; // owned reference
    DWORD m_registration = 0;
};

// Fills a class with count instances whose values come from make(index, propertyIndex).
void AddInstances(ClassScript& script, int count, const std::function<Value(int, int)>& make);

} // namespace ScriptedWmi
