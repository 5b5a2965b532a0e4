#include "core/xml/NameTable.h"

#include "core/Exception.h"

#include <cstdint>
#include <cstring>

namespace Core::Xml
{

struct NameTable::Entry
{
    Entry(const wchar_t* text, int length, unsigned textHash) : value(text, length), hash(textHash) {}

    String value;
    unsigned hash;
    Entry* next = nullptr; // owned: the rest of the bucket's chain
};

NameTable::NameTable() : m_buckets(nullptr), m_bucketCount(64), m_count(0)
{
    m_buckets = new Entry*[static_cast<size_t>(m_bucketCount)]();
}

NameTable::~NameTable()
{
    for (int i = 0; i < m_bucketCount; i++)
    {
        Entry* entry = m_buckets[i];
        while (entry != nullptr)
        {
            Entry* next = entry->next;
            delete entry;
            entry = next;
        }
    }
    delete[] m_buckets;
}

unsigned NameTable::Hash(const wchar_t* text, int length)
{
    // FNV-1a over the code units: cheap, and spreads the short, similar names of a document well.
    unsigned hash = 2166136261u;
    for (int i = 0; i < length; i++)
    {
        hash = (hash ^ static_cast<uint16_t>(text[i])) * 16777619u;
    }
    return hash;
}

void NameTable::CheckRange(const wchar_t* buffer, int start, int length)
{
    if (buffer == nullptr)
    {
        throw ArgumentNullException(String(L"key"));
    }
    if (start < 0)
    {
        throw ArgumentOutOfRangeException(start);
    }
    if (length < 0)
    {
        throw ArgumentOutOfRangeException(length);
    }
}

const NameTable::Entry* NameTable::Find(const wchar_t* text, int length, unsigned hash) const
{
    for (const Entry* entry = m_buckets[hash & static_cast<unsigned>(m_bucketCount - 1)]; entry != nullptr;
         entry = entry->next)
    {
        if (entry->hash == hash && entry->value.GetLength() == length &&
            std::memcmp(entry->value.GetBuffer(), text, static_cast<size_t>(length) * sizeof(wchar_t)) == 0)
        {
            return entry;
        }
    }
    return nullptr;
}

const String& NameTable::Add(const String& text)
{
    return Add(text.GetBuffer(), 0, text.GetLength());
}

const String& NameTable::Add(const wchar_t* buffer, int start, int length)
{
    CheckRange(buffer, start, length);
    const wchar_t* text = buffer + start;
    unsigned hash = Hash(text, length);
    const Entry* found = Find(text, length, hash);
    if (found != nullptr)
    {
        return found->value;
    }
    if (m_count >= m_bucketCount)
    {
        Grow();
    }
    Entry* entry = new Entry(text, length, hash);
    Entry*& bucket = m_buckets[hash & static_cast<unsigned>(m_bucketCount - 1)];
    entry->next = bucket;
    bucket = entry;
    m_count++;
    return entry->value;
}

const String* NameTable::Get(const String& text) const
{
    return Get(text.GetBuffer(), 0, text.GetLength());
}

const String* NameTable::Get(const wchar_t* buffer, int start, int length) const
{
    CheckRange(buffer, start, length);
    const Entry* found = Find(buffer + start, length, Hash(buffer + start, length));
    return found != nullptr ? &found->value : nullptr;
}

void NameTable::Grow()
{
    int newCount = m_bucketCount * 2;
    Entry** buckets = new Entry*[static_cast<size_t>(newCount)]();
    for (int i = 0; i < m_bucketCount; i++)
    {
        Entry* entry = m_buckets[i];
        while (entry != nullptr)
        {
            Entry* next = entry->next;
            Entry*& bucket = buckets[entry->hash & static_cast<unsigned>(newCount - 1)];
            entry->next = bucket;
            bucket = entry;
            entry = next;
        }
    }
    delete[] m_buckets;
    m_buckets = buckets;
    m_bucketCount = newCount;
}

} // namespace Core::Xml
