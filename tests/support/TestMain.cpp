// Entry point of every test program: GoogleTest, with every test checked for leaks, and a crash reported as a
// failure (under Wine an unhandled fault would otherwise end the program with exit code 0).
#include "tests/support/LeakCheck.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <windows.h>

namespace
{

// Runs on whatever stack is left (a stack overflow leaves little): no allocation, no C library formatting.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info)
{
    static char message[96];
    static const char digits[] = "0123456789ABCDEF";
    const char prefix[] = "\nTest program crashed: exception 0x";
    int length = 0;
    for (const char* p = prefix; *p != 0; p++)
    {
        message[length++] = *p;
    }
    DWORD code = info->ExceptionRecord->ExceptionCode;
    for (int shift = 28; shift >= 0; shift -= 4)
    {
        message[length++] = digits[(code >> shift) & 0xF];
    }
    message[length++] = '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), message, static_cast<DWORD>(length), &written, nullptr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

int main(int argc, char** argv)
{
    SetUnhandledExceptionFilter(ReportCrash);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(Testing::CreateLeakListener());
    return RUN_ALL_TESTS();
}
