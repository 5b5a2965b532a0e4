// COM for a test program, set up as the program itself does at start-up.
#include "core/platform/windows/Com.h"

#include <gtest/gtest.h>
#include <objbase.h>

namespace
{

class ComEnvironment : public testing::Environment
{
public:
    void SetUp() override
    {
        Core::Platform::Windows::InitializeCom();
        Core::Platform::Windows::InitializeComSecurity();
    }
    void TearDown() override { CoUninitialize(); }
};

testing::Environment* const comEnvironment = testing::AddGlobalTestEnvironment(new ComEnvironment);

} // namespace
