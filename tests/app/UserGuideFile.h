// A user guide beside the test program for as long as the object lives, where Help and the about dialog look.
#pragma once

#include "app/UserGuide.h"

#include <windows.h>

namespace Testing
{

class UserGuideFile
{
public:
    UserGuideFile()
    {
        HANDLE file = CreateFileW(Quarrow::GetUserGuidePath().GetBuffer(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
        {
            DWORD written = 0;
            WriteFile(file, "<html></html>", 13, &written, nullptr);
            CloseHandle(file);
        }
    }
    ~UserGuideFile() { DeleteFileW(Quarrow::GetUserGuidePath().GetBuffer()); }
    UserGuideFile(const UserGuideFile&) = delete;
    UserGuideFile& operator=(const UserGuideFile&) = delete;
};

} // namespace Testing
