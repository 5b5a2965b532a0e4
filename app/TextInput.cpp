#include "app/TextInput.h"

namespace Quarrow
{

using Core::String;

namespace
{

bool IsBlank(wchar_t character)
{
    return character == L' ' || character == L'\t';
}

} // namespace

String WithoutBlanks(const String& text)
{
    int start = 0;
    int end = text.GetLength();
    while (start < end && IsBlank(text[start]))
    {
        start++;
    }
    while (end > start && IsBlank(text[end - 1]))
    {
        end--;
    }
    return text.Substring(start, end - start);
}

String TidyFileName(const String& text)
{
    String name = WithoutBlanks(text);
    int length = name.GetLength();
    if (length >= 2 && name[0] == L'"' && name[length - 1] == L'"')
    {
        return name.Substring(1, length - 2);
    }
    return name;
}

} // namespace Quarrow
