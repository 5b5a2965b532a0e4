// A fresh directory under the system's temporary folder, removed with everything in it at the end
// of the test; and small file helpers that go straight to Win32, independent of the code under test.
#pragma once

#include "core/String.h"

#include <string>

namespace Testing
{

class TempDirectory
{
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const Core::String& GetPath() const { return m_path; }
    // The path of name inside the directory.
    Core::String File(const wchar_t* name) const;

private:
    Core::String m_path;
};

std::string ReadFileBytes(const Core::String& path);
void WriteFileBytes(const Core::String& path, const std::string& bytes);
void RemoveTree(const std::wstring& path);

} // namespace Testing
