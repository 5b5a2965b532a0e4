#include "core/io/SystemError.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace
{

// FormatMessageW's own text, with the line break it ends with.
std::wstring SystemText(DWORD code)
{
    wchar_t text[1024] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, 1024, nullptr);
    return text;
}

} // namespace

// Callers put the text in brackets or on a status line, where the system's line break has no place.
TEST(SystemError, TheSystemsTextComesWithoutItsTrailingLineBreak)
{
    for (DWORD code : {ERROR_SHARING_VIOLATION, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_DISK_FULL})
    {
        std::wstring system = SystemText(code);
        ASSERT_GT(system.size(), 2u) << code;
        std::wstring text = Core::IO::GetErrorText(code).GetBuffer();
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_EQ(0u, system.find(text)) << code;
        EXPECT_EQ(std::wstring::npos, system.substr(text.size()).find_first_not_of(L"\r\n ")) << code;
        EXPECT_EQ(std::wstring::npos, text.find_first_of(L"\r\n")) << code;
        EXPECT_NE(L' ', text.back()) << code;
    }
    SetLastError(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(std::wstring(Core::IO::GetErrorText(ERROR_SHARING_VIOLATION).GetBuffer()),
              Core::IO::GetLastErrorText().GetBuffer());
}
