// An ArrayList that raises change events; the toolkit's controls keep their items in it.
#pragma once

#include "core/collections/ObservableList.h"

namespace Core::Collections
{

template <typename T> class Collection : public ObservableList<ArrayList<T>>
{
public:
    Collection() = default;
    explicit Collection(int initialCapacity) : ObservableList<ArrayList<T>>(initialCapacity) {}
    Collection(const Collection&) = delete;
    Collection& operator=(const Collection&) = delete;

    void Insert(int index, T item) override
    {
        this->CheckIndex(index, this->m_count, L"Core::Collections::Collection.Insert method - index out of range");
        this->OnInserting(index);
        ArrayList<T>::Insert(index, std::move(item));
        this->OnInserted(index);
    }

    void RemoveAt(int index) override
    {
        this->CheckIndex(index, this->m_count - 1,
                         L"Core::Collections::Collection.RemoveAt method - index out of range");
        this->OnRemoving(index);
        ArrayList<T>::RemoveAt(index);
        this->OnRemoved(index);
    }

    // An empty collection raises nothing.
    void Clear() override
    {
        if (this->m_count == 0)
        {
            return;
        }
        this->OnClearing();
        ArrayList<T>::Clear();
        this->OnCleared();
    }

    // A removal followed by an insertion, with both pairs of events.
    virtual void SetItem(int index, T item)
    {
        this->CheckIndex(index, this->m_count - 1,
                         L"Core::Collections::Collection.SetItem method - index out of range");
        RemoveAt(index);
        Insert(index, std::move(item));
    }

protected:
    String ItemIndexMessage() const override
    {
        return String(L"Core::Collections::Collection::operator[] - index out of range");
    }
};

} // namespace Core::Collections
