// Shared set-up of the WMI tests: a scripted provider with a Win32_Process-like class.
#pragma once

#include "core/threading/BackgroundWork.h"
#include "tests/support/ScriptedWmi.h"
#include "wmi/ManagementConnection.h"

#include <gtest/gtest.h>
#include <memory>

namespace WmiTesting
{

class ScriptedTest : public testing::Test
{
protected:
    void SetUp() override { m_liveBefore = ScriptedWmi::Provider::liveObjects.load(); }

    void TearDown() override
    {
        // A worker let go by the test releases what it holds when it ends, which may be after the test body.
        EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(60000)) << "a worker never ended";
        // Whatever the program was handed, it released.
        EXPECT_EQ(m_liveBefore + m_liveHeldByScript, ScriptedWmi::Provider::liveObjects.load());
    }

    // A connection to the scripted local machine, in the given loading mode.
    std::unique_ptr<WMI::ManagementConnection> Connect(bool asyncLoad = false)
    {
        auto connection = std::make_unique<WMI::ManagementConnection>();
        connection->SetAsyncLoad(asyncLoad);
        connection->Connect(Core::String(), Core::String(), Core::String(), Core::String());
        return connection;
    }

    ScriptedWmi::Provider provider;
    int m_liveBefore = 0;
    int m_liveHeldByScript = 0; // embedded objects held by scripted values
};

} // namespace WmiTesting
