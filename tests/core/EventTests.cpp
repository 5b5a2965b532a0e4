#include "core/Event.h"

#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>
#include <string>

using namespace Core;

namespace
{

class Listener
{
public:
    void OnEvent(Object* sender, EventArgs&)
    {
        calls.push_back(name);
        lastSender = sender;
    }
    void OnCancel(Object*, CancelEventArgs& args) { args.SetCancel(true); }

    std::string name;
    std::vector<std::string>& calls;
    Object* lastSender = nullptr;

    Listener(const char* listenerName, std::vector<std::string>& log) : name(listenerName), calls(log) {}
};

// A handler that runs an arbitrary action, to change the event from inside a raise.
template <typename Action> class ActionHandler : public EventHandler<EventArgs>
{
public:
    explicit ActionHandler(Action action) : m_action(action) {}
    void Invoke(Object*, EventArgs&) override { m_action(); }

private:
    Action m_action;
};

} // namespace

TEST(Event, RaisingWithoutHandlersDoesNothing)
{
    Event<EventArgs> event;
    EventArgs args;
    event.Raise(nullptr, args);
    EXPECT_EQ(0, event.GetHandlerCount());
    // An event nobody subscribes to costs no allocation.
    EXPECT_EQ(0, Testing::LeakedBy([] { Event<EventArgs> unused; }));
}

TEST(Event, HandlersRunInSubscriptionOrderWithTheSender)
{
    std::vector<std::string> calls;
    Listener first("first", calls);
    Listener second("second", calls);
    MemberEventHandler<Listener, EventArgs> firstHandler(&first, &Listener::OnEvent);
    MemberEventHandler<Listener, EventArgs> secondHandler(&second, &Listener::OnEvent);
    Event<EventArgs> event;
    event.Subscribe(&firstHandler);
    event.Subscribe(&secondHandler);
    Object sender;
    EventArgs args;
    event.Raise(&sender, args);
    EXPECT_EQ((std::vector<std::string>{"first", "second"}), calls);
    EXPECT_EQ(&sender, second.lastSender);

    event.Unsubscribe(&firstHandler);
    event.Unsubscribe(&firstHandler); // a second removal is ignored
    calls.clear();
    event.Raise(&sender, args);
    EXPECT_EQ((std::vector<std::string>{"second"}), calls);
    EXPECT_THROW(event.Subscribe(nullptr), ArgumentNullException);
}

TEST(Event, CancelEventArgsCarryTheVetoBack)
{
    std::vector<std::string> calls;
    Listener vetoing("veto", calls);
    MemberEventHandler<Listener, CancelEventArgs> handler(&vetoing, &Listener::OnCancel);
    Event<CancelEventArgs> beforeSelect;
    CancelEventArgs args;
    EXPECT_FALSE(args.GetCancel());
    beforeSelect.Subscribe(&handler);
    beforeSelect.Raise(nullptr, args);
    EXPECT_TRUE(args.GetCancel());
}

TEST(Event, AHandlerMayUnsubscribeItselfAndOthersWhileRaising)
{
    Event<EventArgs> event;
    std::vector<std::string> calls;
    EventHandler<EventArgs>* self = nullptr;
    EventHandler<EventArgs>* later = nullptr;
    auto unbindBoth = [&]
    {
        calls.push_back("unbind");
        event.Unsubscribe(self);
        event.Unsubscribe(later);
    };
    ActionHandler<decltype(unbindBoth)> unbinding(unbindBoth);
    auto recordLater = [&] { calls.push_back("later"); };
    ActionHandler<decltype(recordLater)> laterHandler(recordLater);
    self = &unbinding;
    later = &laterHandler;
    event.Subscribe(&unbinding);
    event.Subscribe(&laterHandler);
    EventArgs args;
    event.Raise(nullptr, args);
    EXPECT_EQ((std::vector<std::string>{"unbind"}), calls);
    EXPECT_EQ(0, event.GetHandlerCount());
    event.Raise(nullptr, args);
    EXPECT_EQ(1u, calls.size());
}

TEST(Event, HandlersAddedWhileRaisingRunFromTheNextRaise)
{
    Event<EventArgs> event;
    int lateCalls = 0;
    auto countLate = [&] { lateCalls++; };
    ActionHandler<decltype(countLate)> late(countLate);
    auto addLate = [&] { event.Subscribe(&late); };
    ActionHandler<decltype(addLate)> adding(addLate);
    event.Subscribe(&adding);
    EventArgs args;
    event.Raise(nullptr, args);
    EXPECT_EQ(0, lateCalls);
    event.Unsubscribe(&adding);
    event.Raise(nullptr, args);
    EXPECT_EQ(1, lateCalls);
}

TEST(Event, AnExceptionFromAHandlerLeavesTheEventUsable)
{
    Event<EventArgs> event;
    EventHandler<EventArgs>* self = nullptr;
    auto failing = [&]
    {
        event.Unsubscribe(self);
        throw InvalidOperationException(String(L"handler failed"));
    };
    ActionHandler<decltype(failing)> failingHandler(failing);
    self = &failingHandler;
    event.Subscribe(&failingHandler);
    EventArgs args;
    EXPECT_THROW(event.Raise(nullptr, args), InvalidOperationException);
    EXPECT_EQ(0, event.GetHandlerCount());
    event.Raise(nullptr, args);
}
