// The six change events shared by Collection and PointerCollection.
#pragma once

#include "core/Event.h"

namespace Core::Collections
{

// Carries the index of the element concerned; -1 for Clearing and Cleared.
class CollectionEventArgs : public EventArgs
{
public:
    explicit CollectionEventArgs(int index) : m_index(index) {}
    int GetIndex() const { return m_index; }

private:
    int m_index;
};

template <typename TList> class ObservableList : public TList
{
public:
    using TList::TList;

    Event<CollectionEventArgs> Inserting;
    Event<CollectionEventArgs> Inserted;
    Event<CollectionEventArgs> Removing;
    Event<CollectionEventArgs> Removed;
    Event<CollectionEventArgs> Clearing;
    Event<CollectionEventArgs> Cleared;

protected:
    virtual void OnInserting(int index) { RaiseEvent(Inserting, index); }
    virtual void OnInserted(int index) { RaiseEvent(Inserted, index); }
    virtual void OnRemoving(int index) { RaiseEvent(Removing, index); }
    virtual void OnRemoved(int index) { RaiseEvent(Removed, index); }
    virtual void OnClearing() { RaiseEvent(Clearing, -1); }
    virtual void OnCleared() { RaiseEvent(Cleared, -1); }

    void CheckIndex(int index, int limit, const wchar_t* message) const
    {
        if (index < 0 || index > limit)
        {
            throw ArgumentOutOfRangeException(index, String(message));
        }
    }

private:
    void RaiseEvent(Event<CollectionEventArgs>& event, int index)
    {
        CollectionEventArgs args(index);
        event.Raise(this, args);
    }
};

} // namespace Core::Collections
