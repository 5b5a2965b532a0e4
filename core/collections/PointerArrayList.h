// A list of pointers to heap objects that the list owns: every object that leaves it is deleted.
#pragma once

#include "core/collections/ArrayList.h"

namespace Core::Collections
{

template <typename T> class PointerArrayList : public ArrayList<T*>
{
public:
    PointerArrayList() = default;
    explicit PointerArrayList(int initialCapacity) : ArrayList<T*>(initialCapacity) {}
    PointerArrayList(const PointerArrayList&) = delete;
    PointerArrayList& operator=(const PointerArrayList&) = delete;

    ~PointerArrayList() override { DeleteRange(0, this->m_count); }

    void Clear() override
    {
        DeleteRange(0, this->m_count);
        this->m_count = 0;
        this->SetCapacity(ArrayList<T*>::DefaultCapacity);
    }

    void RemoveAt(int index) override
    {
        this->CheckItemIndex(index);
        delete this->m_items[index];
        this->m_items[index] = nullptr;
        this->RemoveSlots(index, 1);
    }

    void RemoveRange(int index, int n) override
    {
        if (index < 0 || n < 0 || index > this->m_count - n)
        {
            throw ArgumentOutOfRangeException(index,
                                              String(L"PointerArrayList.RemoveRange method - index out of range"));
        }
        DeleteRange(index, n);
        this->RemoveSlots(index, n);
    }

protected:
    // Deletes the objects in [index, index + n) in index order; null slots are skipped.
    void DeleteRange(int index, int n)
    {
        for (int i = index; i < index + n; i++)
        {
            T* item = this->m_items[i];
            this->m_items[i] = nullptr;
            delete item;
        }
    }
};

} // namespace Core::Collections
