// Helpers shared by the collection tests: an object that logs its destruction, and a recorder of
// collection events.
#pragma once

#include "core/collections/ObservableList.h"
#include "tests/support/ThrownMessage.h"

#include <string>
#include <vector>

namespace CollectionTesting
{

// Appends its id to a log when destroyed, so tests see each deletion and its order.
class Tracked
{
public:
    Tracked(int id, std::vector<int>* log) : m_id(id), m_log(log) {}
    ~Tracked() { m_log->push_back(m_id); }
    int GetId() const { return m_id; }

private:
    int m_id;
    std::vector<int>* m_log; // not owned
};

// Subscribes to the six events of an observable list and records "Name(index)" per event.
class EventRecorder
{
public:
    template <typename TList> void Attach(TList& list)
    {
        list.Inserting.Subscribe(&inserting);
        list.Inserted.Subscribe(&inserted);
        list.Removing.Subscribe(&removing);
        list.Removed.Subscribe(&removed);
        list.Clearing.Subscribe(&clearing);
        list.Cleared.Subscribe(&cleared);
    }

    std::vector<std::string> log;

private:
    class Handler : public Core::EventHandler<Core::Collections::CollectionEventArgs>
    {
    public:
        Handler(EventRecorder* recorder, const char* name) : m_recorder(recorder), m_name(name) {}
        void Invoke(Core::Object*, Core::Collections::CollectionEventArgs& args) override
        {
            m_recorder->log.push_back(std::string(m_name) + "(" + std::to_string(args.GetIndex()) + ")");
        }

    private:
        EventRecorder* m_recorder; // not owned
        const char* m_name;
    };

    Handler inserting{this, "Inserting"};
    Handler inserted{this, "Inserted"};
    Handler removing{this, "Removing"};
    Handler removed{this, "Removed"};
    Handler clearing{this, "Clearing"};
    Handler cleared{this, "Cleared"};
};

using Testing::ThrownMessage;

} // namespace CollectionTesting
