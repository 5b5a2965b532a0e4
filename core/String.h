// The one text type: an exclusively owned, NUL-terminated UTF-16 buffer of exact size.
#pragma once

#include "core/CharacterBlocks.h"

namespace Core
{
namespace Collections
{
template <typename T> class Array;
}

// Names a string resource of the running program for the resource constructor of String.
struct ResourceId
{
    explicit ResourceId(unsigned int identifier) : value(identifier) {}
    unsigned int value;
};

class String
{
public:
    static const String Empty;

    String();
    String(const wchar_t* text);
    String(const wchar_t* text, int length);
    String(const char* text);
    String(const char* text, int length);
    String(wchar_t ch, int count);
    String(char ch, int count);
    // Loads a string resource into a buffer of maxLength characters; the text is cut to fit.
    String(ResourceId resource, int maxLength);
    String(const String& other);
    // The source is left empty.
    String(String&& other) noexcept;
    ~String();

    String& operator=(const String& other);
    // Moving swaps buffers, so both strings keep a valid buffer and nothing is allocated.
    String& operator=(String&& other) noexcept;
    String& operator=(const wchar_t* text);
    String& operator=(const char* text);

    String& operator+=(const String& text);
    String& operator+=(const wchar_t* text);
    String& operator+=(const char* text);
    String& operator+=(char ch);
    String& operator+=(wchar_t ch);
    String& operator+=(int value);
    String& operator+=(long value);
    String& operator+=(short value);
    String& operator+=(unsigned int value);
    String& operator+=(long long value);
    String& operator+=(unsigned long long value);
    String& operator+=(float value);
    String& operator+=(double value);
    String& operator+=(bool value);

    String operator+(const String& text) const;
    String operator+(const wchar_t* text) const;
    String operator+(const char* text) const;
    String operator+(int value) const;
    String operator+(long value) const;

    int GetLength() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    // The terminated buffer, valid until the string changes; for platform calls. Never null.
    const wchar_t* GetBuffer() const { return m_buffer; }

    bool operator==(const String& other) const
    {
        return m_length == other.m_length && CharactersEqual(m_buffer, other.m_buffer, m_length);
    }
    bool operator!=(const String& other) const { return !(*this == other); }
    wchar_t operator[](int index) const;

    String Substring(int start, int count) const;
    String Substring(int start) const;

    int IndexOf(wchar_t ch, int start, int count) const;
    int IndexOf(wchar_t ch, int start) const;
    int IndexOf(const String& value, int start, int count) const;
    int IndexOf(const String& value, int start) const;
    int IndexOf(const wchar_t* value) const;
    int LastIndexOf(wchar_t ch, int start, int count) const;

    Collections::Array<String> Split(const String& separator) const;

    String ToUpper() const;
    String ToLower() const;

    enum PadSide
    {
        PadLeftSide = 0,
        PadRightSide = 1
    };
    String Pad(int totalWidth, wchar_t padChar, int side) const;
    String PadLeft(int totalWidth, wchar_t padChar) const { return Pad(totalWidth, padChar, PadLeftSide); }
    String PadRight(int totalWidth, wchar_t padChar) const { return Pad(totalWidth, padChar, PadRightSide); }

    // Overwrites the units with zeros before the buffer is freed and leaves the string empty: a password's copies
    // must not linger in freed memory.
    void Wipe();

    // Ordinal comparison of count units of a from indexA and of b from indexB.
    static int Compare(const String* a, int indexA, const String* b, int indexB, int count);

private:
    void Append(const wchar_t* text, int textLength);
    void AppendNarrow(const char* text, int textLength);
    void Assign(const wchar_t* text, int textLength);
    void AssignNarrow(const char* text, int textLength);

    wchar_t* m_buffer; // owned; always length + 1 units, the last one 0
    int m_length;
};

String operator+(const wchar_t* left, const String& right);
String operator+(const char* left, const String& right);

} // namespace Core
