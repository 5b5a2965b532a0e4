#include "core/String.h"

#include "core/Exception.h"
#include "core/collections/Array.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <windows.h>

namespace Core
{

const String String::Empty;

namespace
{

// Every empty string shares this terminator: it is never written to (writes only go to units below
// the length), so no allocation is needed for the most common string of all.
wchar_t EmptyTerminator[1] = {0};

wchar_t* AllocateUnits(int length)
{
    if (length == 0)
    {
        return EmptyTerminator;
    }
    wchar_t* units = new wchar_t[static_cast<size_t>(length) + 1];
    units[length] = 0;
    return units;
}

void ReleaseUnits(wchar_t* units)
{
    if (units != EmptyTerminator)
    {
        delete[] units;
    }
}

int NarrowLength(const char* text)
{
    return text == nullptr ? 0 : static_cast<int>(std::strlen(text));
}

int WideLength(const wchar_t* text)
{
    return text == nullptr ? 0 : static_cast<int>(std::wcslen(text));
}

// Decimal digits of magnitude, with a leading '-' when negative; returns the text length.
int FormatDecimal(unsigned long long magnitude, bool negative, char* out)
{
    char digits[24];
    int count = 0;
    do
    {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int length = 0;
    if (negative)
    {
        out[length++] = '-';
    }
    while (count > 0)
    {
        out[length++] = digits[--count];
    }
    out[length] = 0;
    return length;
}

int FormatSigned(long long value, char* out)
{
    // Negating in unsigned arithmetic keeps the most negative value exact.
    unsigned long long magnitude = static_cast<unsigned long long>(value);
    if (value < 0)
    {
        magnitude = 0 - magnitude;
    }
    return FormatDecimal(magnitude, value < 0, out);
}

String SignedText(long long value)
{
    char text[24];
    int textLength = FormatSigned(value, text);
    return String(text, textLength);
}

} // namespace

String::String() : m_buffer(AllocateUnits(0)), m_length(0) {}

String::String(const wchar_t* text) : String(text, WideLength(text)) {}

String::String(const wchar_t* text, int textLength) : m_buffer(nullptr), m_length(0)
{
    Assign(text, textLength);
}

String::String(const char* text) : String(text, NarrowLength(text)) {}

String::String(const char* text, int textLength) : m_buffer(nullptr), m_length(0)
{
    AssignNarrow(text, textLength);
}

String::String(wchar_t ch, int count) : m_buffer(nullptr), m_length(0)
{
    int fillLength = count < 0 ? 0 : count;
    m_buffer = AllocateUnits(fillLength);
    for (int i = 0; i < fillLength; i++)
    {
        m_buffer[i] = ch;
    }
    m_length = fillLength;
}

String::String(char ch, int count) : String(static_cast<wchar_t>(static_cast<unsigned char>(ch)), count) {}

String::String(ResourceId resource, int maxLength) : m_buffer(nullptr), m_length(0)
{
    if (maxLength < 1)
    {
        m_buffer = AllocateUnits(0);
        return;
    }
    wchar_t* text = new wchar_t[maxLength];
    int loaded = LoadStringW(GetModuleHandleW(nullptr), resource.value, text, maxLength);
    Assign(text, loaded > 0 ? loaded : 0);
    delete[] text;
}

String::String(const String& other) : m_buffer(nullptr), m_length(0)
{
    Assign(other.m_buffer, other.m_length);
}

String::String(String&& other) noexcept : m_buffer(other.m_buffer), m_length(other.m_length)
{
    other.m_buffer = EmptyTerminator;
    other.m_length = 0;
}

String::~String()
{
    ReleaseUnits(m_buffer);
}

String& String::operator=(const String& other)
{
    if (this != &other)
    {
        Assign(other.m_buffer, other.m_length);
    }
    return *this;
}

String& String::operator=(String&& other) noexcept
{
    wchar_t* ownBuffer = m_buffer;
    int ownLength = m_length;
    m_buffer = other.m_buffer;
    m_length = other.m_length;
    other.m_buffer = ownBuffer;
    other.m_length = ownLength;
    return *this;
}

String& String::operator=(const wchar_t* text)
{
    Assign(text, WideLength(text));
    return *this;
}

String& String::operator=(const char* text)
{
    AssignNarrow(text, NarrowLength(text));
    return *this;
}

void String::Assign(const wchar_t* text, int textLength)
{
    if (text == nullptr || textLength < 0)
    {
        textLength = 0;
    }
    wchar_t* units = AllocateUnits(textLength);
    if (textLength > 0)
    {
        std::memcpy(units, text, static_cast<size_t>(textLength) * sizeof(wchar_t));
    }
    ReleaseUnits(m_buffer);
    m_buffer = units;
    m_length = textLength;
}

void String::AssignNarrow(const char* text, int textLength)
{
    if (text == nullptr || textLength < 0)
    {
        textLength = 0;
    }
    wchar_t* units = AllocateUnits(textLength);
    for (int i = 0; i < textLength; i++)
    {
        units[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    }
    ReleaseUnits(m_buffer);
    m_buffer = units;
    m_length = textLength;
}

void String::Append(const wchar_t* text, int textLength)
{
    if (text == nullptr || textLength <= 0)
    {
        return;
    }
    wchar_t* units = AllocateUnits(m_length + textLength);
    std::memcpy(units, m_buffer, static_cast<size_t>(m_length) * sizeof(wchar_t));
    std::memcpy(units + m_length, text, static_cast<size_t>(textLength) * sizeof(wchar_t));
    ReleaseUnits(m_buffer);
    m_buffer = units;
    m_length += textLength;
}

void String::AppendNarrow(const char* text, int textLength)
{
    if (text == nullptr || textLength <= 0)
    {
        return;
    }
    wchar_t* units = AllocateUnits(m_length + textLength);
    std::memcpy(units, m_buffer, static_cast<size_t>(m_length) * sizeof(wchar_t));
    for (int i = 0; i < textLength; i++)
    {
        units[m_length + i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    }
    ReleaseUnits(m_buffer);
    m_buffer = units;
    m_length += textLength;
}

String& String::operator+=(const String& text)
{
    // Appending a string to itself must read the old buffer before it is freed; Append copies first.
    Append(text.m_buffer, text.m_length);
    return *this;
}

String& String::operator+=(const wchar_t* text)
{
    Append(text, WideLength(text));
    return *this;
}

String& String::operator+=(const char* text)
{
    AppendNarrow(text, NarrowLength(text));
    return *this;
}

String& String::operator+=(char ch)
{
    AppendNarrow(&ch, 1);
    return *this;
}

String& String::operator+=(wchar_t ch)
{
    Append(&ch, 1);
    return *this;
}

String& String::operator+=(int value)
{
    return *this += static_cast<long long>(value);
}

String& String::operator+=(long value)
{
    return *this += static_cast<long long>(value);
}

String& String::operator+=(short value)
{
    return *this += static_cast<long long>(value);
}

String& String::operator+=(unsigned int value)
{
    return *this += static_cast<unsigned long long>(value);
}

String& String::operator+=(long long value)
{
    char text[24];
    AppendNarrow(text, FormatSigned(value, text));
    return *this;
}

String& String::operator+=(unsigned long long value)
{
    char text[24];
    AppendNarrow(text, FormatDecimal(value, false, text));
    return *this;
}

String& String::operator+=(float value)
{
    return *this += static_cast<double>(value);
}

String& String::operator+=(double value)
{
    // "%f" of the largest double needs a little over 300 characters.
    char text[400];
    int textLength = std::snprintf(text, sizeof(text), "%f", value);
    if (textLength > 0)
    {
        AppendNarrow(text, textLength < static_cast<int>(sizeof(text)) ? textLength : sizeof(text) - 1);
    }
    return *this;
}

String& String::operator+=(bool value)
{
    return *this += (value ? "True" : "False");
}

String String::operator+(const String& text) const
{
    String result(*this);
    result += text;
    return result;
}

String String::operator+(const wchar_t* text) const
{
    String result(*this);
    result += text;
    return result;
}

String String::operator+(const char* text) const
{
    String result(*this);
    result += text;
    return result;
}

String String::operator+(int value) const
{
    return *this + SignedText(value);
}

String String::operator+(long value) const
{
    return *this + SignedText(value);
}

String operator+(const wchar_t* left, const String& right)
{
    return String(left) + right;
}

String operator+(const char* left, const String& right)
{
    return String(left) + right;
}

namespace
{

ArgumentOutOfRangeException IndexOutsideString(int index)
{
    return ArgumentOutOfRangeException(index, String(L"Index should be within the string - ") + index);
}

} // namespace

wchar_t String::operator[](int index) const
{
    if (index < 0 || index >= m_length)
    {
        throw IndexOutsideString(index);
    }
    return m_buffer[index];
}

String String::Substring(int start, int count) const
{
    if (count == 0)
    {
        return String();
    }
    if (start < 0 || start >= m_length)
    {
        throw IndexOutsideString(start);
    }
    // A negative count would give a negative length; reject it like any other bad range.
    if (count < 0)
    {
        throw ArgumentOutOfRangeException(count);
    }
    int last = start + count - 1;
    if (last >= m_length)
    {
        throw IndexOutsideString(last);
    }
    return String(m_buffer + start, count);
}

String String::Substring(int start) const
{
    return Substring(start, m_length - start);
}

int String::IndexOf(wchar_t ch, int start, int count) const
{
    if (m_length == 0)
    {
        return -1;
    }
    if (start < 0 || start >= m_length)
    {
        throw ArgumentOutOfRangeException(start);
    }
    if (count > m_length - start)
    {
        throw ArgumentException(String());
    }
    for (int i = start; i < start + count; i++)
    {
        if (m_buffer[i] == ch)
        {
            return i;
        }
    }
    return -1;
}

int String::IndexOf(wchar_t ch, int start) const
{
    return IndexOf(ch, start, m_length - start);
}

int String::IndexOf(const String& value, int start, int count) const
{
    if (count <= 0)
    {
        return -1;
    }
    if (start < 0 || start >= m_length)
    {
        throw ArgumentOutOfRangeException(start);
    }
    if (value.m_length == 0)
    {
        return start;
    }
    int last = start + count - 1;
    if (last > m_length - value.m_length)
    {
        last = m_length - value.m_length;
    }
    for (int position = start; position <= last; position++)
    {
        if (Compare(this, position, &value, 0, value.m_length) == 0)
        {
            return position;
        }
    }
    return -1;
}

int String::IndexOf(const String& value, int start) const
{
    return IndexOf(value, start, m_length - start);
}

int String::IndexOf(const wchar_t* value) const
{
    if (value == nullptr)
    {
        throw ArgumentNullException(String(L"value"));
    }
    return IndexOf(String(value), 0, m_length);
}

int String::LastIndexOf(wchar_t ch, int start, int count) const
{
    if (start < 0 || start >= m_length)
    {
        throw ArgumentOutOfRangeException(start);
    }
    if (count > start + 1)
    {
        throw ArgumentException(String());
    }
    for (int i = start; i > start - count; i--)
    {
        if (m_buffer[i] == ch)
        {
            return i;
        }
    }
    return -1;
}

Collections::Array<String> String::Split(const String& separator) const
{
    // An empty separator would match everywhere without advancing: the whole text is one piece.
    if (separator.m_length == 0)
    {
        Collections::Array<String> whole(1);
        whole[0] = *this;
        return whole;
    }
    int pieces = 1;
    for (int found = IndexOf(separator, 0); found >= 0; found = IndexOf(separator, found + separator.m_length))
    {
        pieces++;
    }
    Collections::Array<String> result(pieces);
    int pieceStart = 0;
    for (int piece = 0; piece < pieces - 1; piece++)
    {
        int found = IndexOf(separator, pieceStart);
        result[piece] = String(m_buffer + pieceStart, found - pieceStart);
        pieceStart = found + separator.m_length;
    }
    result[pieces - 1] = String(m_buffer + pieceStart, m_length - pieceStart);
    return result;
}

String String::ToUpper() const
{
    String result(*this);
    for (int i = 0; i < m_length; i++)
    {
        if (result.m_buffer[i] >= L'a' && result.m_buffer[i] <= L'z')
        {
            result.m_buffer[i] = static_cast<wchar_t>(result.m_buffer[i] - (L'a' - L'A'));
        }
    }
    return result;
}

String String::ToLower() const
{
    String result(*this);
    for (int i = 0; i < m_length; i++)
    {
        if (result.m_buffer[i] >= L'A' && result.m_buffer[i] <= L'Z')
        {
            result.m_buffer[i] = static_cast<wchar_t>(result.m_buffer[i] + (L'a' - L'A'));
        }
    }
    return result;
}

String String::Pad(int totalWidth, wchar_t padChar, int side) const
{
    if (m_length >= totalWidth)
    {
        return *this;
    }
    String padding(padChar, totalWidth - m_length);
    return side == PadLeftSide ? padding + *this : *this + padding;
}

int String::Compare(const String* a, int indexA, const String* b, int indexB, int count)
{
    if (a == nullptr || b == nullptr)
    {
        if (a == b)
        {
            return 0;
        }
        return b == nullptr ? 1 : -1;
    }
    if (indexA < 0)
    {
        throw ArgumentOutOfRangeException(indexA);
    }
    if (indexB < 0)
    {
        throw ArgumentOutOfRangeException(indexB);
    }
    if (count < 0)
    {
        throw ArgumentOutOfRangeException(count);
    }
    int remainingA = a->m_length - indexA;
    int remainingB = b->m_length - indexB;
    if (remainingA < 0)
    {
        throw ArgumentOutOfRangeException(remainingA);
    }
    if (remainingB < 0)
    {
        throw ArgumentOutOfRangeException(remainingB);
    }
    int lengthA = count < remainingA ? count : remainingA;
    int lengthB = count < remainingB ? count : remainingB;
    int shorter = lengthA < lengthB ? lengthA : lengthB;
    if (shorter == 0)
    {
        return 0;
    }
    const wchar_t* unitsA = a->m_buffer + indexA;
    const wchar_t* unitsB = b->m_buffer + indexB;
    for (int i = 0; i < shorter; i++)
    {
        if (unitsA[i] != unitsB[i])
        {
            return static_cast<int>(static_cast<unsigned short>(unitsA[i])) -
                   static_cast<int>(static_cast<unsigned short>(unitsB[i]));
        }
    }
    return lengthA - lengthB;
}

void String::Wipe()
{
    if (m_buffer != EmptyTerminator)
    {
        SecureZeroMemory(m_buffer, static_cast<size_t>(m_length) * sizeof(wchar_t));
        delete[] m_buffer;
    }
    m_buffer = EmptyTerminator;
    m_length = 0;
}

} // namespace Core
