// Interns names: adding a text equal to one already held returns the string held, so equal names
// share one string object and can be compared by address.
#pragma once

#include "core/Object.h"
#include "core/String.h"

namespace Core::Xml
{

class NameTable : public Object
{
public:
    NameTable();
    ~NameTable() override;
    NameTable(const NameTable&) = delete;
    NameTable& operator=(const NameTable&) = delete;

    // The returned string lives as long as the table.
    const String& Add(const String& text);
    const String& Add(const wchar_t* buffer, int start, int length);
    // The string held for the text, or null when the table has none.
    const String* Get(const String& text) const;
    const String* Get(const wchar_t* buffer, int start, int length) const;

    int GetCount() const { return m_count; }

private:
    struct Entry;

    static unsigned Hash(const wchar_t* text, int length);
    static void CheckRange(const wchar_t* buffer, int start, int length);
    const Entry* Find(const wchar_t* text, int length, unsigned hash) const;
    void Grow();

    Entry** m_buckets; // owned, with the entries chained from them
    int m_bucketCount;
    int m_count;
};

} // namespace Core::Xml
