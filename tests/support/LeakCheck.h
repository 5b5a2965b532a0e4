// Every test is checked for leaks: the test main fails a test whose live allocations grew between its start
// and its end. Singletons made on first use are made before the first test instead; a test that keeps
// allocations on purpose is named here with the reason.
#pragma once

namespace testing
{
class TestEventListener;
}

namespace Testing
{

// Runs create before the first test, for a singleton that lives until the program ends. At file scope:
// static Testing::BeforeFirstTest warmUp([] { ... });
class BeforeFirstTest
{
public:
    explicit BeforeFirstTest(void (*create)());
};

// A test ("Suite.Name") whose allocations are not checked, because it keeps some on purpose.
class KeepsAllocations
{
public:
    KeepsAllocations(const char* testName, const char* reason);
};

// The listener the test main installs; it runs the BeforeFirstTest functions when the first test starts.
testing::TestEventListener* CreateLeakListener();

} // namespace Testing
