// The user guide as the build puts it beside Quarrow.exe: that one file ships alone, so it may point at no other
// file, only at its own headings or at the web, and carries its pictures inside.
#include "app/UserGuide.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

namespace
{

// The program's folder is build/app; the test program's is build/tests/app.
std::wstring BuiltGuidePath()
{
    wchar_t self[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring program(self, length);
    return program.substr(0, program.find_last_of(L"\\/") + 1) + L"..\\..\\app\\" + Quarrow::UserGuideFileName;
}

// The whole file; empty when it cannot be read.
std::string ReadAll(const std::wstring& path)
{
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        return text;
    }
    std::vector<char> buffer(65536);
    DWORD read = 0;
    while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0)
    {
        text.append(buffer.data(), read);
    }
    CloseHandle(file);
    return text;
}

struct Attribute
{
    std::string name;
    std::string value;
};

// The attributes of every tag in page order. The page's texts escape '<', so each '<' opens a tag.
std::vector<Attribute> TagAttributes(const std::string& page)
{
    std::vector<Attribute> found;
    for (size_t open = page.find('<'); open != std::string::npos; open = page.find('<', open + 1))
    {
        size_t close = page.find('>', open);
        std::string tag = page.substr(open, close == std::string::npos ? std::string::npos : close - open);
        for (size_t equals = tag.find("=\""); equals != std::string::npos; equals = tag.find("=\"", equals + 2))
        {
            size_t start = tag.find_last_of(" \t\r\n", equals) + 1;
            size_t end = tag.find('"', equals + 2);
            if (end == std::string::npos)
            {
                break;
            }
            found.push_back({tag.substr(start, equals - start), tag.substr(equals + 2, end - equals - 2)});
            equals = end - 1;
        }
    }
    return found;
}

bool StartsWith(const std::string& text, const char* start)
{
    return text.rfind(start, 0) == 0;
}

} // namespace

TEST(UserGuideTest, TheBuiltGuidePointsAtNoOtherFile)
{
    std::wstring path = BuiltGuidePath();
    std::string page = ReadAll(path);
    ASSERT_FALSE(page.empty()) << "no guide at " << std::string(path.begin(), path.end());
    std::vector<Attribute> attributes = TagAttributes(page);
    std::set<std::string> ids;
    for (const Attribute& attribute : attributes)
    {
        if (attribute.name == "id")
        {
            ids.insert(attribute.value);
        }
    }
    ASSERT_FALSE(ids.empty()) << "no heading carries an anchor";
    for (const Attribute& attribute : attributes)
    {
        if (attribute.name == "href")
        {
            if (StartsWith(attribute.value, "#"))
            {
                EXPECT_EQ(1u, ids.count(attribute.value.substr(1))) << attribute.value << " names no heading";
            }
            else
            {
                EXPECT_TRUE(StartsWith(attribute.value, "https://") || StartsWith(attribute.value, "http://") ||
                            StartsWith(attribute.value, "mailto:"))
                    << attribute.value << " points at a file that does not ship beside the program";
            }
        }
        else if (attribute.name == "src")
        {
            EXPECT_TRUE(StartsWith(attribute.value, "data:image/"))
                << attribute.value.substr(0, 80) << " is a picture outside the guide";
        }
    }
}
