// Fixed-length, bounds-checked array.
#pragma once

#include "core/Exception.h"

#include <cstddef>
#include <utility>

namespace Core::Collections
{

template <typename T> class Array : public Object
{
public:
    explicit Array(int length = 0) : m_items(nullptr), m_length(0)
    {
        if (length < 0)
        {
            throw ArgumentOutOfRangeException(length);
        }
        m_items = new T[static_cast<size_t>(length)]();
        m_length = length;
    }

    Array(const T* array, int length) : m_items(nullptr), m_length(0)
    {
        if (array == nullptr)
        {
            throw ArgumentNullException(String(L"array"));
        }
        if (length < 0)
        {
            throw ArgumentOutOfRangeException(length);
        }
        T* copy = new T[static_cast<size_t>(length)]();
        try
        {
            for (int i = 0; i < length; i++)
            {
                copy[i] = array[i];
            }
        }
        catch (...)
        {
            delete[] copy;
            throw;
        }
        m_items = copy;
        m_length = length;
    }

    Array(const Array& other) : Array(other.m_items, other.m_length) {}

    Array(Array&& other) noexcept : Object(other), m_items(other.m_items), m_length(other.m_length)
    {
        other.m_items = nullptr;
        other.m_length = 0;
    }

    Array& operator=(Array other) noexcept
    {
        std::swap(m_items, other.m_items);
        std::swap(m_length, other.m_length);
        return *this;
    }

    ~Array() override { delete[] m_items; }

    virtual T& operator[](int index)
    {
        CheckIndex(index);
        return m_items[index];
    }

    virtual const T& operator[](int index) const
    {
        CheckIndex(index);
        return m_items[index];
    }

    virtual T GetItem(int index) const
    {
        CheckIndex(index);
        return m_items[index];
    }

    // Copies up to count elements from sourceIndex, stopping at the end of the array.
    virtual void CopyTo(int sourceIndex, T* destination, int destinationIndex, int count) const
    {
        int n = CheckCopy(sourceIndex, destination, destinationIndex, count);
        if (destination == m_items && destinationIndex > sourceIndex)
        {
            // Overlapping copy within this array: go from the top down.
            for (int i = n - 1; i >= 0; i--)
            {
                destination[destinationIndex + i] = m_items[sourceIndex + i];
            }
            return;
        }
        for (int i = 0; i < n; i++)
        {
            destination[destinationIndex + i] = m_items[sourceIndex + i];
        }
    }

    virtual void CopyTo(int sourceIndex, Array<T>* destination, int destinationIndex, int count) const
    {
        int n = CheckCopy(sourceIndex, destination, destinationIndex, count);
        // The destination's own length bounds the copy; writing past it would corrupt the heap.
        if (destinationIndex + n > destination->m_length)
        {
            throw ArgumentException(String(L"Destination array is too small"));
        }
        CopyTo(sourceIndex, destination->m_items, destinationIndex, n);
    }

    virtual void CopyTo(Array<T>* destination, int destinationIndex) const
    {
        CopyTo(0, destination, destinationIndex, m_length);
    }

    virtual void CopyTo(Array<T>* destination) const { CopyTo(destination, 0); }

    int GetLength() const { return m_length; }

    String ToString() const override { return Object::ToString(); }

private:
    void CheckIndex(int index) const
    {
        if (index < 0 || index >= m_length)
        {
            throw ArgumentOutOfRangeException(index);
        }
    }

    int CheckCopy(int sourceIndex, const void* destination, int destinationIndex, int count) const
    {
        if (sourceIndex < 0 || sourceIndex > m_length)
        {
            throw ArgumentOutOfRangeException(sourceIndex);
        }
        if (destination == nullptr)
        {
            throw ArgumentNullException(String(L"array"));
        }
        if (destinationIndex < 0)
        {
            throw ArgumentOutOfRangeException(destinationIndex);
        }
        if (count < 0)
        {
            throw ArgumentOutOfRangeException(count);
        }
        return count < m_length - sourceIndex ? count : m_length - sourceIndex;
    }

    T* m_items; // owned
    int m_length;
};

} // namespace Core::Collections
