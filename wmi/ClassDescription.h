// What a class's qualifiers say of it and of its properties, in the user's language with English where that has
// nothing: descriptions, key/read/write marks, the names of coded values, and the class's MOF text.
#pragma once

#include "core/String.h"
#include "core/collections/ArrayList.h"
#include "core/threading/Completion.h"
#include "wmi/ManagementConnection.h"
#include "wmi/PropertyValue.h"

#include <functional>

namespace WMI
{

// The WMI locale of English, the language every class is described in.
constexpr const wchar_t* EnglishLocale = L"MS_409";

// One property of a class as its qualifiers describe it.
struct PropertyDescription
{
    Core::String name;
    int cimType = CimString;
    Core::String description; // "Description"; empty when WMI has none
    bool key = false;         // "key"
    bool read = false;        // "read"
    bool write = false;       // "write"
    // "Values" names coded values: with "ValueMap", values[i] names the value valueMap[i]; alone, values[i] names
    // the value i. "BitValues" names the bits of a flags value: with "BitMap", bitValues[i] names the bit whose
    // position bitMap[i] gives; alone, bitValues[i] names bit i.
    Core::Collections::ArrayList<Core::String> values;
    Core::Collections::ArrayList<Core::String> valueMap;
    Core::Collections::ArrayList<Core::String> bitValues;
    Core::Collections::ArrayList<Core::String> bitMap;
};

struct ClassDescription
{
    Core::String className;
    Core::String description; // the class's own "Description"
    // Its non-system properties in the order WMI gives them.
    Core::Collections::ArrayList<PropertyDescription> properties;
    // The class in MOF, as GetObjectText writes it with its amended qualifiers (read-only text for the user); empty
    // when the provider writes no declaration of the class (Wine writes one of its instances instead).
    Core::String mofText;

    // By name, without regard to case; null for none.
    const PropertyDescription* FindProperty(const Core::String& name) const;
};

// The class's qualifiers in the session's locale alone: GetObject with WBEM_FLAG_USE_AMENDED_QUALIFIERS, then each
// property's qualifier set, then GetObjectText. Blocking: call it on a worker. Throws InvalidWMIClassException for
// a class the namespace lacks, otherwise Exception "Could not read the class " + className + " in " + namespace + ": "
// + WMI's reason. Qualifiers WMI does not keep (Wine keeps none) leave the texts empty and the marks false.
ClassDescription GetClassDescription(const ConnectionSession& session, const Core::String& className);

// Whether a description lacks texts English may have: the class's description, a property's, or the names of a
// property's ValueMap or BitMap.
bool LacksTexts(const ClassDescription& described);
// Takes from english what described lacks: the class's description, and for each property (by name) its
// description, its Values beside a ValueMap, its BitValues beside a BitMap (or the lists whole when described has
// none of them). Marks, maps and the MOF text stay described's own.
void FillMissingTexts(ClassDescription& described, const ClassDescription& english);

// GetClassDescription through the connection, in its locale (GetEffectiveLocale: the user's unless one is set);
// when that is not English and texts are missing (LacksTexts), a second connection to the same namespace in
// English (EnglishLocale) fills them (FillMissingTexts), opened once and kept with the connection's session
// (ConnectionSession::GetEnglishSession). A machine that cannot be reached in English leaves the texts as they
// were, and is not asked again while connected. Blocking; throws as GetClassDescription does, or when the
// connection is not open.
ClassDescription GetClassDescription(ManagementConnection* connection, const Core::String& className);

// The same on a worker, in the class's turn on the connection, handing the description, or what was thrown, to
// completion on the calling (window) thread through its own loop unless owner is gone or reset by then. A read
// whose owner is gone before its turn comes asks the machine nothing. Throws at once when the connection is not
// open.
void ReadClassDescription(const Core::Threading::CompletionOwner& owner, ManagementConnection* connection,
                          const Core::String& className,
                          std::function<void(Core::Threading::Outcome<ClassDescription>&)> completion);

// A coded value with its name, "2 (Running)": by ValueMap and Values when the property has a ValueMap (entries
// compared as numbers, "0x10" as 16, ranges "5..9", "..3", "7.." and ".." for any other value included, texts
// without regard to case), by Values alone as value i, and for a flags value by BitMap or bit positions and
// BitValues ("5 (Read, Execute)"). A value nothing names, a NULL, or a property without names: the value as
// FormatValue shows it. An array: each element so, in braces.
Core::String FormatCodedValue(const PropertyDescription& property, const PropertyValue& value);
// The same for a value given as its text (a Results cell).
Core::String FormatCodedValue(const PropertyDescription& property, const Core::String& value);

} // namespace WMI
