// Entry point of every test program: GoogleTest, with every test checked for leaks.
#include "tests/support/LeakCheck.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(Testing::CreateLeakListener());
    return RUN_ALL_TESTS();
}
