// Events: a subject holds handler objects (not owned) and calls each with the sender and an
// event-arguments object. Handlers may subscribe or unsubscribe while the event is being raised.
#pragma once

#include "core/collections/ArrayList.h"

namespace Core
{

class EventArgs : public Object
{
};

// Lets a handler veto what is about to happen.
class CancelEventArgs : public EventArgs
{
public:
    bool GetCancel() const { return m_cancel; }
    void SetCancel(bool value) { m_cancel = value; }

private:
    bool m_cancel = false;
};

template <typename TArgs> class EventHandler
{
public:
    virtual ~EventHandler() = default;
    virtual void Invoke(Object* sender, TArgs& args) = 0;
};

// Binds an object and one of its member operations.
template <typename TTarget, typename TArgs> class MemberEventHandler : public EventHandler<TArgs>
{
public:
    using Method = void (TTarget::*)(Object* sender, TArgs& args);

    MemberEventHandler(TTarget* target, Method method) : m_target(target), m_method(method) {}

    void Invoke(Object* sender, TArgs& args) override { (m_target->*m_method)(sender, args); }

private:
    TTarget* m_target; // not owned
    Method m_method;
};

template <typename TArgs> class Event
{
public:
    Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    ~Event() { delete m_handlers; }

    void Subscribe(EventHandler<TArgs>* handler)
    {
        if (handler == nullptr)
        {
            throw ArgumentNullException(String(L"handler"));
        }
        if (m_handlers == nullptr)
        {
            m_handlers = new Collections::ArrayList<EventHandler<TArgs>*>();
        }
        m_handlers->Add(handler);
    }

    // Removes the first subscription of handler; unknown handlers are ignored.
    void Unsubscribe(EventHandler<TArgs>* handler)
    {
        int count = m_handlers == nullptr ? 0 : m_handlers->GetCount();
        for (int i = 0; i < count; i++)
        {
            if ((*m_handlers)[i] == handler)
            {
                if (m_raising > 0)
                {
                    // The raising loop walks the list by index; blank the slot and compact afterwards.
                    (*m_handlers)[i] = nullptr;
                    m_removedWhileRaising = true;
                }
                else
                {
                    m_handlers->RemoveAt(i);
                }
                return;
            }
        }
    }

    // Calls the handlers subscribed when raising starts, in subscription order.
    void Raise(Object* sender, TArgs& args)
    {
        if (m_handlers == nullptr)
        {
            return;
        }
        int count = m_handlers->GetCount();
        m_raising++;
        try
        {
            for (int i = 0; i < count; i++)
            {
                EventHandler<TArgs>* handler = (*m_handlers)[i];
                if (handler != nullptr)
                {
                    handler->Invoke(sender, args);
                }
            }
        }
        catch (...)
        {
            EndRaise();
            throw;
        }
        EndRaise();
    }

    int GetHandlerCount() const
    {
        int live = 0;
        int count = m_handlers == nullptr ? 0 : m_handlers->GetCount();
        for (int i = 0; i < count; i++)
        {
            live += (*m_handlers)[i] != nullptr ? 1 : 0;
        }
        return live;
    }

private:
    void EndRaise()
    {
        if (--m_raising > 0 || !m_removedWhileRaising)
        {
            return;
        }
        m_removedWhileRaising = false;
        for (int i = m_handlers->GetCount() - 1; i >= 0; i--)
        {
            if ((*m_handlers)[i] == nullptr)
            {
                m_handlers->RemoveAt(i);
            }
        }
    }

    Collections::ArrayList<EventHandler<TArgs>*>* m_handlers = nullptr; // owned; created on first Subscribe
    int m_raising = 0;
    bool m_removedWhileRaising = false;
};

} // namespace Core
