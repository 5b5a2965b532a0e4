#include "wmi/QueryText.h"

#include <cwctype>
#include <initializer_list>
#include <string>

using Core::String;

namespace WMI
{

namespace
{

bool IsNameUnit(wchar_t unit)
{
    return unit == L'_' || (unit >= L'0' && unit <= L'9') || (unit >= L'A' && unit <= L'Z') ||
           (unit >= L'a' && unit <= L'z') || unit >= 0x80;
}

bool SameWord(const std::wstring& text, size_t at, const wchar_t* word)
{
    size_t i = 0;
    for (; word[i] != 0; i++)
    {
        if (at + i >= text.size() || std::towlower(text[at + i]) != word[i])
        {
            return false;
        }
    }
    return (at == 0 || !IsNameUnit(text[at - 1])) && (at + i >= text.size() || !IsNameUnit(text[at + i]));
}

// Where word (lower case) stands as a whole word from start on, outside quoted texts; npos when nowhere.
size_t FindWord(const std::wstring& text, const wchar_t* word, size_t start)
{
    wchar_t quote = 0;
    for (size_t i = start; i < text.size(); i++)
    {
        wchar_t unit = text[i];
        if (quote != 0)
        {
            quote = unit == quote ? 0 : quote;
        }
        else if (unit == L'"' || unit == L'\'')
        {
            quote = unit;
        }
        else if (SameWord(text, i, word))
        {
            return i;
        }
    }
    return std::wstring::npos;
}

size_t SkipBlanks(const std::wstring& text, size_t at)
{
    while (at < text.size() && std::iswspace(text[at]))
    {
        at++;
    }
    return at;
}

std::wstring NameAt(const std::wstring& text, size_t at)
{
    size_t end = at;
    while (end < text.size() && IsNameUnit(text[end]))
    {
        end++;
    }
    return text.substr(at, end - at);
}

// The value of "keyword = value" after start, the value bare or quoted; empty when the keyword is not there.
std::wstring KeywordValue(const std::wstring& text, const wchar_t* keyword, size_t start)
{
    size_t at = FindWord(text, keyword, start);
    if (at == std::wstring::npos)
    {
        return std::wstring();
    }
    at = SkipBlanks(text, at + std::char_traits<wchar_t>::length(keyword));
    if (at >= text.size() || text[at] != L'=')
    {
        return std::wstring();
    }
    at = SkipBlanks(text, at + 1);
    if (at < text.size() && (text[at] == L'\'' || text[at] == L'"'))
    {
        size_t end = text.find(text[at], at + 1);
        return end == std::wstring::npos ? std::wstring() : text.substr(at + 1, end - at - 1);
    }
    return NameAt(text, at);
}

// Where the class part of an object path starts: after the \\server\namespace: part, which ends at the first colon
// outside the key values (which may hold colons, as "C:"); npos in colon for a path without one.
size_t ClassStart(const std::wstring& path, size_t& colon)
{
    size_t start = SkipBlanks(path, 0);
    colon = path.find(L':', start);
    size_t firstQuote = path.find_first_of(L"\"'", start);
    if (colon != std::wstring::npos && (firstQuote == std::wstring::npos || colon < firstQuote))
    {
        return colon + 1;
    }
    colon = std::wstring::npos;
    return start;
}

// The class of an object path: \\server\namespace:Class.Key="value", Class.Key="value" or Class=@.
std::wstring PathClass(const std::wstring& path)
{
    size_t colon = 0;
    return NameAt(path, ClassStart(path, colon));
}

// The object path between the braces that follow start, quoted braces included; npos in end when unclosed.
std::wstring BracedPath(const std::wstring& text, size_t start, size_t& end)
{
    size_t open = SkipBlanks(text, start);
    end = std::wstring::npos;
    if (open >= text.size() || text[open] != L'{')
    {
        return std::wstring();
    }
    wchar_t quote = 0;
    for (size_t i = open + 1; i < text.size(); i++)
    {
        wchar_t unit = text[i];
        if (quote != 0)
        {
            // A backslash in a quoted key value escapes the next unit, as in "C:\\".
            if (unit == L'\\')
            {
                i++;
            }
            else if (unit == quote)
            {
                quote = 0;
            }
        }
        else if (unit == L'"' || unit == L'\'')
        {
            quote = unit;
        }
        else if (unit == L'}')
        {
            end = i + 1;
            return text.substr(open + 1, i - open - 1);
        }
    }
    return std::wstring();
}

} // namespace

String GetObjectPathClass(const String& path)
{
    std::wstring found = PathClass(std::wstring(path.GetBuffer(), static_cast<size_t>(path.GetLength())));
    return String(found.c_str(), static_cast<int>(found.size()));
}

ObjectPathPlace GetObjectPathPlace(const String& path)
{
    std::wstring text(path.GetBuffer(), static_cast<size_t>(path.GetLength()));
    size_t colon = 0;
    ClassStart(text, colon);
    ObjectPathPlace place;
    if (colon == std::wstring::npos)
    {
        return place;
    }
    size_t start = SkipBlanks(text, 0);
    std::wstring prefix = text.substr(start, colon - start);
    for (wchar_t& unit : prefix)
    {
        unit = unit == L'/' ? L'\\' : unit;
    }
    size_t at = 0;
    if (prefix.compare(0, 2, L"\\\\") == 0)
    {
        size_t end = prefix.find(L'\\', 2);
        end = end == std::wstring::npos ? prefix.size() : end;
        place.server = String(prefix.c_str() + 2, static_cast<int>(end - 2));
        at = end;
    }
    while (at < prefix.size() && prefix[at] == L'\\')
    {
        at++;
    }
    place.nameSpace = String(prefix.c_str() + at, static_cast<int>(prefix.size() - at));
    return place;
}

namespace
{

// Where the class a query names came from.
enum class NamedBy
{
    Nothing,
    Select,      // SELECT ... FROM X
    MetaClass,   // SELECT ... FROM meta_class WHERE __CLASS = 'X'
    ResultClass, // ASSOCIATORS OF / REFERENCES OF {path} WHERE ResultClass = X
    SourcePath,  // the class of an association query's {path}
};

std::wstring NamedClass(const std::wstring& text, NamedBy& by)
{
    size_t start = SkipBlanks(text, 0);
    by = NamedBy::Nothing;
    if (SameWord(text, start, L"associators") || SameWord(text, start, L"references"))
    {
        size_t of = SkipBlanks(text, start + NameAt(text, start).size());
        if (!SameWord(text, of, L"of"))
        {
            return std::wstring();
        }
        size_t end = 0;
        std::wstring path = BracedPath(text, of + 2, end);
        if (end == std::wstring::npos)
        {
            return std::wstring();
        }
        std::wstring found = KeywordValue(text, L"resultclass", end);
        by = found.empty() ? NamedBy::SourcePath : NamedBy::ResultClass;
        return found.empty() ? PathClass(path) : found;
    }
    if (SameWord(text, start, L"select"))
    {
        size_t from = FindWord(text, L"from", start + 6);
        if (from == std::wstring::npos)
        {
            return std::wstring();
        }
        size_t at = SkipBlanks(text, from + 4);
        std::wstring found = NameAt(text, at);
        by = NamedBy::Select;
        if (SameWord(found, 0, L"meta_class"))
        {
            by = NamedBy::MetaClass;
            found = KeywordValue(text, L"__class", at + found.size());
        }
        return found;
    }
    return std::wstring();
}

} // namespace

String GetQueriedClass(const String& query)
{
    NamedBy by = NamedBy::Nothing;
    std::wstring found = NamedClass(std::wstring(query.GetBuffer(), static_cast<size_t>(query.GetLength())), by);
    return String(found.c_str(), static_cast<int>(found.size()));
}

String GetRowClass(const String& query)
{
    NamedBy by = NamedBy::Nothing;
    std::wstring found = NamedClass(std::wstring(query.GetBuffer(), static_cast<size_t>(query.GetLength())), by);
    if (by != NamedBy::Select && by != NamedBy::ResultClass)
    {
        return String();
    }
    return String(found.c_str(), static_cast<int>(found.size()));
}

bool ReadClassQuery(const String& query, ClassQuery& read, String& reason)
{
    std::wstring text(query.GetBuffer(), static_cast<size_t>(query.GetLength()));
    size_t start = SkipBlanks(text, 0);
    auto refuse = [&](const wchar_t* why)
    {
        reason = String(why);
        return false;
    };
    if (SameWord(text, start, L"associators") || SameWord(text, start, L"references"))
    {
        return refuse(L"An ASSOCIATORS OF or REFERENCES OF query reads the objects linked to one object; a class "
                      L"view entry reads the instances of one class.");
    }
    if (!SameWord(text, start, L"select"))
    {
        return refuse(L"Only a SELECT query of one class can be saved to the class view.");
    }
    size_t from = FindWord(text, L"from", start + 6);
    if (from == std::wstring::npos)
    {
        return refuse(L"The query has no FROM clause naming its class.");
    }
    for (const wchar_t* word : {L"group", L"having", L"within", L"join"})
    {
        if (FindWord(text, word, start + 6) != std::wstring::npos)
        {
            return refuse(L"A query with GROUP, HAVING, WITHIN or a join cannot be saved to the class view: an entry "
                          L"holds one class, its properties and a filter.");
        }
    }
    // The list: * alone, or property names separated by commas.
    Core::Collections::ArrayList<String> properties;
    bool star = false;
    size_t at = SkipBlanks(text, start + 6);
    while (at < from)
    {
        std::wstring name = NameAt(text, at);
        if (text[at] == L'*')
        {
            star = true;
            at++;
        }
        else if (!name.empty())
        {
            properties.Add(String(name.c_str(), static_cast<int>(name.size())));
            at += name.size();
        }
        else
        {
            return refuse(L"The list of a query saved to the class view holds property names only.");
        }
        at = SkipBlanks(text, at);
        if (at < from && text[at] != L',')
        {
            return refuse(L"The list of a query saved to the class view holds property names only.");
        }
        if (at < from)
        {
            at = SkipBlanks(text, at + 1);
            if (at >= from)
            {
                return refuse(L"The list of a query saved to the class view holds property names only.");
            }
        }
    }
    if (star && properties.GetCount() > 0)
    {
        return refuse(L"A list of * together with property names cannot be saved to the class view: use * alone or "
                      L"the names alone.");
    }
    if (!star && properties.GetCount() == 0)
    {
        return refuse(L"The query names no properties.");
    }
    at = SkipBlanks(text, from + 4);
    std::wstring className = NameAt(text, at);
    if (className.empty())
    {
        return refuse(L"The query has no FROM clause naming its class.");
    }
    if (SameWord(className, 0, L"meta_class"))
    {
        return refuse(L"A meta_class query reads class definitions; a class view entry reads instances.");
    }
    at = SkipBlanks(text, at + className.size());
    String filter;
    if (at < text.size())
    {
        if (!SameWord(text, at, L"where"))
        {
            return refuse(L"A query of more than one class cannot be saved to the class view: an entry holds one "
                          L"class.");
        }
        size_t condition = SkipBlanks(text, at + 5);
        size_t end = text.size();
        while (end > condition && std::iswspace(text[end - 1]))
        {
            end--;
        }
        if (end == condition)
        {
            return refuse(L"The WHERE clause of the query is empty.");
        }
        // The entry keeps its filter on one line, as the class view's editor shows it.
        std::wstring conditionText = text.substr(condition, end - condition);
        for (wchar_t& unit : conditionText)
        {
            unit = unit == L'\r' || unit == L'\n' || unit == L'\t' ? L' ' : unit;
        }
        filter = String(conditionText.c_str(), static_cast<int>(conditionText.size()));
    }
    read.className = String(className.c_str(), static_cast<int>(className.size()));
    read.properties = properties;
    read.filter = filter;
    return true;
}

String GetQueryReportName(const String& query)
{
    String name = GetQueriedClass(query);
    return name.IsEmpty() ? String(L"Query") : name;
}

} // namespace WMI
