// Walks a class-view configuration file element by element, for the two trees built from it.
#pragma once

#include "core/String.h"

namespace Config
{

// The attribute of a Class element that names its namespace; without it, or empty, the default one.
constexpr const wchar_t* NamespaceAttribute = L"Namespace";

class ClassViewVisitor
{
public:
    virtual ~ClassViewVisitor() = default;
    // Return false to pass over the element with everything inside it.
    virtual bool OnCategory(const Core::String& name, bool selected, int depth) = 0;
    // nameSpace is a namespace path, the default namespace when the element names none.
    virtual bool OnClass(const Core::String& name, const Core::String& nameSpace, bool selected, int depth) = 0;
    virtual void OnProperty(const Core::String& name) = 0;
    virtual void OnFilter(const Core::String& filter) = 0;
};

// Reads the file and tells the visitor of every Category, Class, Property and Filter element, in
// document order. Depth 0 is the document element. `selected` is true for the value "Y" only. Other
// elements and node kinds are passed over. An XML or file error throws the reader's exception, and so
// does a Namespace that is not a namespace path (an XmlException with the element's position); what
// the visitor built until then stays.
void ReadClassViewFile(const Core::String& path, ClassViewVisitor& visitor);

} // namespace Config
