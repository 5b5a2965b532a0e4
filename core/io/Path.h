// File-name rules and file-system queries.
#pragma once

#include "core/String.h"

namespace Core::IO
{

// The extension of path with its dot (".gz" for file.tar.gz); empty when the last part has none,
// when it ends in a dot, or when a "\", "/" or ":" comes before any dot.
String GetExtension(const String& path);

class File
{
public:
    static bool Exists(const String& path);
    // Deletes the file; a missing file is not an error. Other failures raise IOException.
    static void Delete(const String& path);
    // Replaces target by source (or moves source there when target does not exist) in one step.
    static void Replace(const String& source, const String& target);
    // Copies source to target, which must not exist yet; failures raise IOException and leave no target.
    static void Copy(const String& source, const String& target);
    // Whether both names lead to one file, told by the file's identity (its volume's serial number and its
    // index there), so that two spellings of a file (through another drive, a link) are one. Raises
    // IOException when either identity cannot be read, a missing file included.
    static bool IsSame(const String& first, const String& second);
};

class Directory
{
public:
    static String GetCurrent();
    static bool Exists(const String& path);
};

// The absolute form of path, relative to the current directory.
String GetFullPath(const String& path);

} // namespace Core::IO
