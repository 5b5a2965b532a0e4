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

String OnOneLine(const String& text)
{
    int end = text.GetLength();
    while (end > 0 && (text[end - 1] == L'\r' || text[end - 1] == L'\n' || text[end - 1] == L' '))
    {
        end--;
    }
    String line;
    for (int i = 0; i < end; i++)
    {
        bool lineEnd = text[i] == L'\r' || text[i] == L'\n';
        if (!lineEnd || (i > 0 && text[i - 1] != L'\r' && text[i - 1] != L'\n'))
        {
            line += lineEnd ? L' ' : text[i];
        }
    }
    return line;
}

} // namespace Quarrow
