// What the user types or pastes into a box, tidied the same way everywhere.
#pragma once

#include "core/String.h"

namespace Quarrow
{

// Without the blanks (spaces and tabs) around it.
Core::String WithoutBlanks(const Core::String& text);
// A file name as typed or pasted: without surrounding blanks, and without the quotes of a copied path.
Core::String TidyFileName(const Core::String& text);
// A machine's message on one line: its line breaks as single spaces, nothing trailing.
Core::String OnOneLine(const Core::String& text);

} // namespace Quarrow
