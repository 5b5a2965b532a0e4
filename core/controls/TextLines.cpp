#include "core/controls/TextLines.h"

#include "core/Exception.h"

#include <string>
#include <utility>
#include <vector>

namespace Core::Controls
{

class TextLines::Storage
{
public:
    std::vector<std::wstring> lines{std::wstring()};
};

namespace
{

// The lines of a text with breaks of any kind: CR LF, LF or CR.
std::vector<std::wstring> SplitLines(const wchar_t* text, int length)
{
    std::vector<std::wstring> pieces;
    int start = 0;
    for (int i = 0; i < length; i++)
    {
        if (text[i] == L'\r' || text[i] == L'\n')
        {
            pieces.emplace_back(text + start, static_cast<size_t>(i - start));
            if (text[i] == L'\r' && i + 1 < length && text[i + 1] == L'\n')
            {
                i++;
            }
            start = i + 1;
        }
    }
    pieces.emplace_back(text + start, static_cast<size_t>(length - start));
    return pieces;
}

bool HasLineBreak(const wchar_t* text, int length)
{
    for (int i = 0; i < length; i++)
    {
        if (text[i] == L'\r' || text[i] == L'\n')
        {
            return true;
        }
    }
    return false;
}

} // namespace

TextLines::TextLines() : m_storage(new Storage()) {}

TextLines::~TextLines()
{
    delete m_storage;
}

void TextLines::CheckLine(int line, const wchar_t* operation) const
{
    if (line < 0 || line >= GetLineCount())
    {
        throw ArgumentOutOfRangeException(line, String(operation) + L" - line index out of range");
    }
}

void TextLines::CheckPosition(const TextPosition& position, const wchar_t* operation) const
{
    CheckLine(position.line, operation);
    if (position.column < 0 || position.column > GetLineLength(position.line))
    {
        throw ArgumentOutOfRangeException(position.column, String(operation) + L" - column out of range");
    }
}

int TextLines::GetLineCount() const
{
    return static_cast<int>(m_storage->lines.size());
}

int TextLines::GetLineLength(int line) const
{
    CheckLine(line, L"TextLines.GetLineLength method");
    return static_cast<int>(m_storage->lines[static_cast<size_t>(line)].size());
}

const wchar_t* TextLines::GetLineCharacters(int line) const
{
    CheckLine(line, L"TextLines.GetLineCharacters method");
    return m_storage->lines[static_cast<size_t>(line)].c_str();
}

String TextLines::GetLine(int line) const
{
    CheckLine(line, L"TextLines.GetLine method");
    const std::wstring& text = m_storage->lines[static_cast<size_t>(line)];
    return String(text.c_str(), static_cast<int>(text.size()));
}

void TextLines::SetText(const String& text)
{
    std::vector<std::wstring> lines = SplitLines(text.GetBuffer(), text.GetLength());
    int removed = GetLineCount();
    m_storage->lines = std::move(lines);
    if (m_observer != nullptr)
    {
        m_observer->OnLinesReplaced(0, removed, GetLineCount());
    }
}

long long TextLines::GetTextLength() const
{
    long long length = 2 * (static_cast<long long>(m_storage->lines.size()) - 1);
    for (const std::wstring& line : m_storage->lines)
    {
        length += static_cast<long long>(line.size());
    }
    return length;
}

String TextLines::GetText() const
{
    return GetText(TextPosition{}, GetEnd());
}

String TextLines::GetText(const TextPosition& from, const TextPosition& to) const
{
    CheckPosition(from, L"TextLines.GetText method");
    CheckPosition(to, L"TextLines.GetText method");
    TextPosition start = from < to ? from : to;
    TextPosition end = from < to ? to : from;
    const std::vector<std::wstring>& lines = m_storage->lines;
    if (start.line == end.line)
    {
        const std::wstring& line = lines[static_cast<size_t>(start.line)];
        return String(line.c_str() + start.column, end.column - start.column);
    }
    std::wstring joined;
    size_t length = lines[static_cast<size_t>(start.line)].size() - static_cast<size_t>(start.column) +
                    static_cast<size_t>(end.column);
    for (int line = start.line + 1; line < end.line; line++)
    {
        length += lines[static_cast<size_t>(line)].size() + 2;
    }
    joined.reserve(length + 2);
    joined.append(lines[static_cast<size_t>(start.line)], static_cast<size_t>(start.column));
    for (int line = start.line + 1; line <= end.line; line++)
    {
        joined += L"\r\n";
        const std::wstring& text = lines[static_cast<size_t>(line)];
        joined.append(text, 0, line == end.line ? static_cast<size_t>(end.column) : text.size());
    }
    return String(joined.c_str(), static_cast<int>(joined.size()));
}

TextPosition TextLines::Replace(const TextPosition& from, const TextPosition& to, const String& text)
{
    CheckPosition(from, L"TextLines.Replace method");
    CheckPosition(to, L"TextLines.Replace method");
    TextPosition start = from < to ? from : to;
    TextPosition end = from < to ? to : from;
    std::vector<std::wstring>& lines = m_storage->lines;
    auto first = lines.begin() + start.line;
    const wchar_t* inserted = text.GetBuffer();
    int insertedLength = text.GetLength();
    TextPosition after;
    int count = 1;
    if (start.line == end.line && !HasLineBreak(inserted, insertedLength))
    {
        // Typing and deleting within a line: the line changes in place.
        first->replace(static_cast<size_t>(start.column), static_cast<size_t>(end.column - start.column), inserted,
                       static_cast<size_t>(insertedLength));
        after = TextPosition{start.line, start.column + insertedLength};
    }
    else
    {
        std::vector<std::wstring> pieces = SplitLines(inserted, insertedLength);
        count = static_cast<int>(pieces.size());
        after = TextPosition{start.line + count - 1, static_cast<int>(pieces.back().size())};
        if (count == 1)
        {
            after.column += start.column;
        }
        pieces.front().insert(0, *first, 0, static_cast<size_t>(start.column));
        const std::wstring& last = lines[static_cast<size_t>(end.line)];
        pieces.back().append(last, static_cast<size_t>(end.column));
        // The lines from start to end give way to the pieces, reusing the slots they share.
        int shared = std::min(count, end.line - start.line + 1);
        for (int i = 0; i < shared; i++)
        {
            first[i] = std::move(pieces[static_cast<size_t>(i)]);
        }
        if (count > shared)
        {
            lines.insert(first + shared, std::make_move_iterator(pieces.begin() + shared),
                         std::make_move_iterator(pieces.end()));
        }
        else
        {
            lines.erase(first + shared, lines.begin() + end.line + 1);
        }
    }
    if (m_observer != nullptr)
    {
        m_observer->OnLinesReplaced(start.line, end.line - start.line + 1, count);
    }
    return after;
}

TextPosition TextLines::Clamp(const TextPosition& position) const
{
    int count = GetLineCount();
    if (position.line < 0)
    {
        return TextPosition{};
    }
    if (position.line >= count)
    {
        return GetEnd();
    }
    int length = GetLineLength(position.line);
    return TextPosition{position.line, position.column < 0 ? 0 : position.column > length ? length : position.column};
}

TextPosition TextLines::GetEnd() const
{
    int last = GetLineCount() - 1;
    return TextPosition{last, GetLineLength(last)};
}

} // namespace Core::Controls
