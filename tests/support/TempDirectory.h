// A fresh directory under the system's temporary folder, removed with everything in it at the end of the
// test; small file helpers that go straight to Win32, independent of the code under test; a nearly full disk.
#pragma once

#include "core/String.h"
#include "core/io/FileStream.h"

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

// A disk with room for only `bytes` more bytes of the process's file streams, for the scope.
class NearlyFullDisk
{
public:
    explicit NearlyFullDisk(int64_t bytes) { Core::IO::FileStream::LimitWrites(bytes); }
    ~NearlyFullDisk() { Core::IO::FileStream::LimitWrites(-1); }
    NearlyFullDisk(const NearlyFullDisk&) = delete;
    NearlyFullDisk& operator=(const NearlyFullDisk&) = delete;
};

// The same file named through Wine's Z: drive, which maps the whole Unix file system ("Z:\tmp\..."), so that
// one file has two names; empty outside Wine.
Core::String ThroughUnixDrive(const Core::String& path);

std::string ReadFileBytes(const Core::String& path);
void WriteFileBytes(const Core::String& path, const std::string& bytes);
void RemoveTree(const std::wstring& path);

} // namespace Testing
