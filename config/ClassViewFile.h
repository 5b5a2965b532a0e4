// Walks a class-view configuration file element by element, for the two trees built from it.
#pragma once

#include "core/String.h"

namespace Config
{

class ClassViewVisitor
{
public:
    virtual ~ClassViewVisitor() = default;
    // Return false to pass over the element with everything inside it.
    virtual bool OnCategory(const Core::String& name, bool selected, int depth) = 0;
    virtual bool OnClass(const Core::String& name, bool selected, int depth) = 0;
    virtual void OnProperty(const Core::String& name) = 0;
    virtual void OnFilter(const Core::String& filter) = 0;
};

// Reads the file and tells the visitor of every Category, Class, Property and Filter element, in
// document order. Depth 0 is the document element. `selected` is true for the value "Y" only. Other
// elements and node kinds are passed over. An XML or file error throws the reader's exception; what
// the visitor built until then stays.
void ReadClassViewFile(const Core::String& path, ClassViewVisitor& visitor);

} // namespace Config
