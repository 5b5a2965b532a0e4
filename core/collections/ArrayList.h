// Growable, bounds-checked list of values: capacity starts at 16, doubles when full and halves when
// less than half used above 16.
#pragma once

#include "core/collections/Array.h"

#include <type_traits>
#include <utility>

namespace Core::Collections
{

template <typename T> class ArrayList : public Object
{
public:
    static constexpr int DefaultCapacity = 16;

    ArrayList() : m_items(nullptr), m_capacity(0), m_count(0) { ArrayList::SetCapacity(DefaultCapacity); }

    explicit ArrayList(int initialCapacity) : m_items(nullptr), m_capacity(0), m_count(0)
    {
        if (initialCapacity < 0)
        {
            throw ArgumentException(String(L"The \"capacity\" parameter value can not be negative"));
        }
        ArrayList::SetCapacity(initialCapacity);
    }

    ArrayList(const ArrayList& other) : Object(other), m_items(nullptr), m_capacity(0), m_count(0)
    {
        ArrayList::SetCapacity(other.m_capacity);
        for (int i = 0; i < other.m_count; i++)
        {
            m_items[i] = other.m_items[i];
        }
        m_count = other.m_count;
    }

    ArrayList& operator=(const ArrayList& other)
    {
        if (this != &other)
        {
            ArrayList copy(other);
            std::swap(m_items, copy.m_items);
            std::swap(m_capacity, copy.m_capacity);
            std::swap(m_count, copy.m_count);
        }
        return *this;
    }

    ~ArrayList() override { delete[] m_items; }

    // A capacity of 0 means the default; never below the number of elements held.
    virtual void SetCapacity(int newCapacity)
    {
        if (newCapacity == 0)
        {
            newCapacity = DefaultCapacity;
        }
        if (newCapacity < m_count)
        {
            throw InvalidArgumentException(String(L"Capacity cannot be 0 or less than ArrayList size"),
                                           String(L"ArrayList"));
        }
        T* block = new T[static_cast<size_t>(newCapacity)]();
        for (int i = 0; i < m_count; i++)
        {
            Transfer(block[i], m_items[i]);
        }
        delete[] m_items;
        m_items = block;
        m_capacity = newCapacity;
    }

    virtual T GetItem(int index) const
    {
        CheckItemIndex(index);
        return m_items[index];
    }

    virtual void Clear()
    {
        m_count = 0;
        SetCapacity(DefaultCapacity);
    }

    virtual void AddRange(const T* array, int length)
    {
        if (length < 0)
        {
            throw InvalidArgumentException(String(L"ArrayList::AddRange - length cannot be negative"));
        }
        // The copy keeps the source valid even when it points into this list's own block.
        Array<T> source(array, length);
        while (m_capacity < m_count + length)
        {
            SetCapacity(m_capacity * 2);
        }
        for (int i = 0; i < length; i++)
        {
            Insert(m_count, source[i]);
        }
    }

    virtual void AddRange(const Array<T>* array)
    {
        if (array == nullptr)
        {
            throw ArgumentNullException(String(L"items"));
        }
        Array<T> source(*array);
        while (m_capacity < m_count + source.GetLength())
        {
            SetCapacity(m_capacity * 2);
        }
        for (int i = 0; i < source.GetLength(); i++)
        {
            Insert(m_count, source[i]);
        }
    }

    virtual void Insert(int index, T item)
    {
        if (index < 0 || index > m_count)
        {
            throw ArgumentOutOfRangeException(index, String(L"ArrayList.Insert method - index out of range"));
        }
        if (m_capacity <= m_count)
        {
            SetCapacity(m_capacity * 2);
        }
        for (int i = m_count; i > index; i--)
        {
            Transfer(m_items[i], m_items[i - 1]);
        }
        Transfer(m_items[index], item);
        m_count++;
    }

    virtual void RemoveAt(int index)
    {
        if (index < 0 || index >= m_count)
        {
            throw ArgumentOutOfRangeException(index, String(L"ArrayList.RemoveAt method - index out of range"));
        }
        RemoveSlots(index, 1);
    }

    virtual void RemoveRange(int index, int n)
    {
        // A negative n would move elements the wrong way; it is as out of range as a bad index.
        if (index < 0 || n < 0 || index > m_count - n)
        {
            throw ArgumentOutOfRangeException(index, String(L"ArrayList.RemoveRange method - index out of range"));
        }
        RemoveSlots(index, n);
    }

    virtual void CopyTo(int index, Array<T>* destination, int destinationIndex, int n) const
    {
        int copied = CheckCopy(index, destination, destinationIndex, n);
        if (destinationIndex + copied > destination->GetLength())
        {
            throw ArgumentException(String(L"Destination array is too small"));
        }
        for (int i = 0; i < copied; i++)
        {
            (*destination)[destinationIndex + i] = m_items[index + i];
        }
    }

    virtual void CopyTo(Array<T>* destination, int destinationIndex) const
    {
        CopyTo(0, destination, destinationIndex, m_count);
    }

    virtual void CopyTo(Array<T>* destination) const { CopyTo(0, destination, 0, m_count); }

    virtual void CopyTo(int index, T* destination, int destinationIndex, int n) const
    {
        int copied = CheckCopy(index, destination, destinationIndex, n);
        for (int i = 0; i < copied; i++)
        {
            destination[destinationIndex + i] = m_items[index + i];
        }
    }

    virtual void CopyTo(T* destination, int destinationIndex) const
    {
        CopyTo(0, destination, destinationIndex, m_count);
    }

    virtual void CopyTo(T* destination) const { CopyTo(0, destination, 0, m_count); }

    void Add(T item) { Insert(m_count, std::move(item)); }

    T& operator[](int index)
    {
        CheckItemIndex(index);
        return m_items[index];
    }

    const T& operator[](int index) const
    {
        CheckItemIndex(index);
        return m_items[index];
    }

    int GetCount() const { return m_count; }
    int GetCapacity() const { return m_capacity; }

protected:
    // The message of an element-access index fault; empty means the default message.
    virtual String ItemIndexMessage() const { return String(); }

    void CheckItemIndex(int index) const
    {
        if (index < 0 || index >= m_count)
        {
            ThrowItemIndex(index);
        }
    }

    // Kept out of line so that the check itself stays small enough to inline into every access.
    [[noreturn, gnu::noinline, gnu::cold]] void ThrowItemIndex(int index) const
    {
        throw ArgumentOutOfRangeException(index, ItemIndexMessage());
    }

    // Closes the gap of n slots at index, releases what the vacated slots held, then shrinks one step.
    void RemoveSlots(int index, int n)
    {
        for (int i = index; i < m_count - n; i++)
        {
            Transfer(m_items[i], m_items[i + n]);
        }
        for (int i = m_count - n; i < m_count; i++)
        {
            m_items[i] = T();
        }
        m_count -= n;
        if (m_capacity > DefaultCapacity && m_count < m_capacity / 2)
        {
            SetCapacity(m_capacity / 2);
        }
    }

    T* m_items; // owned: capacity slots, the first count in use
    int m_capacity;
    int m_count;

private:
    // Moves when that cannot throw, so a failed reallocation leaves the list as it was.
    static void Transfer(T& target, T& source)
    {
        if constexpr (std::is_nothrow_move_assignable_v<T>)
        {
            target = std::move(source);
        }
        else
        {
            target = source;
        }
    }

    int CheckCopy(int index, const void* destination, int destinationIndex, int n) const
    {
        if (index < 0 || index > m_count)
        {
            throw ArgumentOutOfRangeException(index);
        }
        if (destination == nullptr)
        {
            throw ArgumentNullException(String(L"array"));
        }
        if (destinationIndex < 0)
        {
            throw ArgumentOutOfRangeException(destinationIndex);
        }
        if (n < 0)
        {
            throw ArgumentOutOfRangeException(n);
        }
        return n < m_count - index ? n : m_count - index;
    }
};

} // namespace Core::Collections
