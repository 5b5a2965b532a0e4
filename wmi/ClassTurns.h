// Calls on one class of one namespace run one after another: some providers (Wine's CIM_DataFile) fail or crash
// when two threads use one class at once, and a call the user let go may still be inside the provider.
#pragma once

#include "core/String.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace WMI
{

// One call's place in its class's line; held by the call's worker while the call runs.
class ClassTurn
{
public:
    struct Lines;
    ClassTurn(std::shared_ptr<Lines> lines, std::wstring key);
    // Ends the turn if End was not called, and leaves the line.
    ~ClassTurn();
    ClassTurn(const ClassTurn&) = delete;
    ClassTurn& operator=(const ClassTurn&) = delete;

    // On the worker: waits until every call on the class that took its turn before this one has ended.
    void WaitForEarlier();
    // This call is done with the class: the next one may go.
    void End();
    // Runs work in this turn: after the earlier ones, and ends the turn however work leaves.
    template <typename Work> auto Run(Work&& work) -> decltype(work())
    {
        WaitForEarlier();
        Ending ending{*this};
        return work();
    }

    // The last turn taken for each class, while it is held.
    struct Lines
    {
        std::mutex lock;
        std::map<std::wstring, std::weak_ptr<ClassTurn>> latest;
    };

private:
    friend class ClassTurns;
    struct Ending
    {
        ClassTurn& turn;
        ~Ending() { turn.End(); }
    };

    std::shared_ptr<Lines> m_lines;
    std::wstring m_key;
    void* m_ended;                        // owned manual-reset event
    std::shared_ptr<ClassTurn> m_earlier; // released once waited for
};

// The lines of the classes of one namespace. Any thread.
class ClassTurns
{
public:
    ClassTurns() : m_lines(std::make_shared<ClassTurn::Lines>()) {}
    ClassTurns(const ClassTurns&) = delete;
    ClassTurns& operator=(const ClassTurns&) = delete;

    // The turn of a call on className that starts now: after every call on it taken before and still held. Names
    // are compared without regard to case, as WMI does.
    std::shared_ptr<ClassTurn> Take(const Core::String& className);

private:
    std::shared_ptr<ClassTurn::Lines> m_lines;
};

} // namespace WMI
