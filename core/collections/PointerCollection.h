// An owning pointer list that raises change events; a pointer that leaves it is deleted.
#pragma once

#include "core/collections/ObservableList.h"
#include "core/collections/PointerArrayList.h"

namespace Core::Collections
{

template <typename T> class PointerCollection : public ObservableList<PointerArrayList<T>>
{
public:
    PointerCollection() = default;
    explicit PointerCollection(int initialCapacity) : ObservableList<PointerArrayList<T>>(initialCapacity) {}

    // On failure the caller still owns item.
    void Insert(int index, T* item) override
    {
        this->CheckIndex(index, this->m_count, L"Collection.Insert method - index out of range");
        this->OnInserting(index);
        ArrayList<T*>::Insert(index, item);
        this->OnInserted(index);
    }

    // The object is deleted after Removed, so Removing and Removed handlers can still look at it.
    void RemoveAt(int index) override
    {
        this->CheckIndex(index, this->m_count - 1, L"Collection.RemoveAt method - index out of range");
        T* removed = this->m_items[index];
        this->OnRemoving(index);
        ArrayList<T*>::RemoveAt(index);
        this->OnRemoved(index);
        delete removed;
    }

    void Clear() override
    {
        if (this->m_count == 0)
        {
            return;
        }
        this->OnClearing();
        PointerArrayList<T>::Clear();
        this->OnCleared();
    }

    virtual void SetItem(int index, T* item)
    {
        this->CheckIndex(index, this->m_count - 1, L"PointerCollection.SetItem method - index out of range");
        // Replacing an object by itself would delete it and keep the dangling pointer.
        if (this->m_items[index] == item)
        {
            return;
        }
        RemoveAt(index);
        Insert(index, item);
    }

protected:
    String ItemIndexMessage() const override { return String(L"PointerCollection [] operator - index out of range"); }
};

} // namespace Core::Collections
