#include "tests/support/LeakCheck.h"

#include "core/String.h"
#include "core/io/Encoding.h"
#include "core/threading/BackgroundWork.h"
#include "core/threading/Completion.h"
#include "core/threading/Thread.h"
#include "tests/support/AllocationCounter.h"

#include <cstdint>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace Testing
{

namespace
{

// Function-local, so registrations from other files' static objects find them made.
std::vector<void (*)()>& WarmUps()
{
    static std::vector<void (*)()> functions;
    return functions;
}

std::map<std::string, std::string>& Exempt()
{
    static std::map<std::string, std::string> tests;
    return tests;
}

// The singletons made on first use by nearly every test: the foundation's own, and what GoogleTest makes on
// the first failure (the current thread's reporter, the stack trace getter); that failure is caught here.
void WarmUpSingletons()
{
    {
        testing::TestPartResultArray results;
        testing::ScopedFakeTestPartResultReporter reporter(&results);
        ADD_FAILURE() << "caught";
    }

    Core::IO::Encoding::UTF8();
    Core::IO::Encoding::UTF16LittleEndian();
    Core::IO::Encoding::UTF16BigEndian();
    Core::IO::Encoding::GetDefault();
    Core::Threading::Thread::CurrentThread();
}

class LeakListener : public testing::EmptyTestEventListener
{
public:
    void OnTestProgramStart(const testing::UnitTest&) override
    {
        WarmUpSingletons();
        for (void (*create)() : WarmUps())
        {
            create();
        }
    }

    void OnTestStart(const testing::TestInfo&) override { m_liveAtStart = AllocationCounter::Live(); }

    // Runs after the fixture is gone, and before the printer reports the test, so a leak fails the test.
    void OnTestEnd(const testing::TestInfo& test) override
    {
        // A worker the test let go (a load left running by a closed window) still holds what it uses until it
        // ends; on a busy machine that is after the test. Its end is awaited, not guessed: the bound only keeps
        // a worker that never ends from hanging the run.
        bool workersEnded = Core::Threading::BackgroundWork::WaitForAll(60000);
        // What they posted back is queued still: the calls run, or are dropped when their owner has gone.
        Core::Threading::WindowThread::RunPosted();
        int64_t grown = AllocationCounter::Live() - m_liveAtStart;
        std::string name = std::string(test.test_suite_name()) + "." + test.name();
        if (!workersEnded)
        {
            ADD_FAILURE() << name << " left a worker running";
        }
        if (grown > 0 && Exempt().count(name) == 0 && !test.result()->Failed())
        {
            ADD_FAILURE() << name << " left " << grown << " allocation(s) behind";
        }
    }

private:
    int64_t m_liveAtStart = 0;
};

} // namespace

BeforeFirstTest::BeforeFirstTest(void (*create)())
{
    WarmUps().push_back(create);
}

KeepsAllocations::KeepsAllocations(const char* testName, const char* reason)
{
    Exempt()[testName] = reason;
}

testing::TestEventListener* CreateLeakListener()
{
    return new LeakListener();
}

} // namespace Testing
