// The program's resources as the program finds them: icons of every size in the image lists of the main
// window, the product picture, the strings, the version information and the manifest.
#include "core/String.h"
#include "core/controls/ImageList.h"
#include "core/io/TextReader.h"
#include "core/xml/XmlTextReader.h"
#include "resources/ResourceIds.h"
#include "resources/generated/CategoryIcon.h"

#include "tests/core/controls/ControlTestSupport.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

using Core::String;
using Core::Controls::ImageList;

namespace
{

// The images of the main window's lists, index by index, as the menus, toolbar and catalogue use them.
const std::vector<int> ToolbarIcons = {169, 149, 137, 134, 152, 163, 107, 173, 174, 175, 177};
// 0 stands for the category folder, which is no resource.
const std::vector<int> TreeIcons = {137, 0,   154, 164, 144, 145, 139, 141, 142, 146, 147, 148,
                                    159, 155, 167, 156, 158, 165, 161, 162, 135, 168, 160, 166,
                                    136, 138, 140, 151, 153, 171, 157, 176, 178, 179, 180};

std::vector<int> AllIcons()
{
    std::set<int> ids(ToolbarIcons.begin(), ToolbarIcons.end());
    for (int id : TreeIcons)
    {
        if (id != 0)
        {
            ids.insert(id);
        }
    }
    return std::vector<int>(ids.begin(), ids.end());
}

std::wstring LoadText(int id)
{
    return String(Core::ResourceId(id), 256).GetBuffer();
}

// The bytes of a resource of this program, or an empty vector.
std::vector<uint8_t> ResourceBytes(const wchar_t* name, const wchar_t* type)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, name, type);
    if (found == nullptr)
    {
        return {};
    }
    auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
    return std::vector<uint8_t>(data, data + SizeofResource(module, found));
}

// The sizes and colour depths an icon resource holds, from its group directory.
std::vector<std::pair<int, int>> IconEntries(int id)
{
    std::vector<uint8_t> group = ResourceBytes(MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    std::vector<std::pair<int, int>> entries;
    if (group.size() < 6)
    {
        return entries;
    }
    int count = group[4] | (group[5] << 8);
    for (int i = 0; i < count && 6 + 14 * (i + 1) <= static_cast<int>(group.size()); i++)
    {
        const uint8_t* entry = &group[6 + 14 * i];
        int side = entry[0] == 0 ? 256 : entry[0];
        int bits = entry[6] | (entry[7] << 8);
        entries.push_back({side, bits});
    }
    return entries;
}

// The alpha of each pixel of a drawn icon, from its pictures on black and on white.
std::vector<int> Coverage(const Testing::IconPixels& pixels)
{
    std::vector<int> alpha;
    for (size_t i = 0; i < pixels.onBlack.size(); i++)
    {
        int black = static_cast<int>(pixels.onBlack[i] & 0xFF);
        int white = static_cast<int>(pixels.onWhite[i] & 0xFF);
        alpha.push_back(255 - (white - black));
    }
    return alpha;
}

// Counts the opaque pixels of an icon whose colour is near red, green and blue.
int CountNear(const Testing::IconPixels& pixels, int red, int green, int blue)
{
    int count = 0;
    std::vector<int> alpha = Coverage(pixels);
    for (size_t i = 0; i < pixels.onBlack.size(); i++)
    {
        uint32_t pixel = pixels.onBlack[i];
        int r = static_cast<int>((pixel >> 16) & 0xFF);
        int g = static_cast<int>((pixel >> 8) & 0xFF);
        int b = static_cast<int>(pixel & 0xFF);
        if (alpha[i] > 250 && std::abs(r - red) < 40 && std::abs(g - green) < 40 && std::abs(b - blue) < 40)
        {
            count++;
        }
    }
    return count;
}

} // namespace

// --- Icons ---

TEST(ResourceTest, TheToolbarImagesLoadIntoA16PixelImageListInTheirOrder)
{
    ImageList images;
    for (int id : ToolbarIcons)
    {
        images.AddFromResource(id);
    }
    ASSERT_EQ(11, images.GetCount());
    for (int i = 0; i < images.GetCount(); i++)
    {
        Testing::IconPixels pixels = Testing::ReadIcon(images.GetIcon(i, 16), 16);
        std::vector<int> alpha = Coverage(pixels);
        int opaque = 0;
        for (int value : alpha)
        {
            opaque += value > 250 ? 1 : 0;
        }
        EXPECT_GT(opaque, 40) << "image " << i << " shows something";
    }
    // The main window takes its lists from the same table.
    EXPECT_EQ(ToolbarIcons, std::vector<int>(Quarrow::Resources::ToolImageIds,
                                             Quarrow::Resources::ToolImageIds + Quarrow::Resources::ToolImageCount));
    EXPECT_EQ(107, Quarrow::Resources::ToolImageIds[Quarrow::Resources::ProgramIconImage]);
    EXPECT_EQ(169, Quarrow::Resources::ToolImageIds[Quarrow::Resources::ConnectImage]);
}

TEST(ResourceTest, TheTreeImagesLoadIntoA16PixelImageListWithTheCategoryFolderFromMemory)
{
    ImageList images;
    for (size_t i = 0; i < TreeIcons.size(); i++)
    {
        if (TreeIcons[i] == 0)
        {
            images.AddFromMemory(Quarrow::Resources::CategoryIcon, sizeof(Quarrow::Resources::CategoryIcon));
        }
        else
        {
            images.AddFromResource(TreeIcons[i]);
        }
    }
    ASSERT_EQ(35, images.GetCount());
    for (int i = 0; i < images.GetCount(); i++)
    {
        EXPECT_NE(nullptr, images.GetIcon(i, 16)) << "image " << i;
        EXPECT_NE(nullptr, images.GetIcon(i, 16, true)) << "disabled image " << i;
    }
    std::vector<int> table(Quarrow::Resources::TreeImageIds,
                           Quarrow::Resources::TreeImageIds + Quarrow::Resources::TreeImageCount);
    EXPECT_EQ(TreeIcons, table);
    EXPECT_EQ(1, Quarrow::Resources::CategoryImage);
}

TEST(ResourceTest, EveryIconHoldsSharp16To48PixelImagesWithAlpha)
{
    for (int id : AllIcons())
    {
        std::vector<std::pair<int, int>> entries = IconEntries(id);
        std::set<int> sides;
        for (auto [side, bits] : entries)
        {
            sides.insert(side);
            EXPECT_EQ(32, bits) << "icon " << id << " at " << side;
        }
        for (int side : {16, 24, 32, 48})
        {
            EXPECT_EQ(1u, sides.count(side)) << "icon " << id << " has a " << side << " pixel image";
        }
    }
    // The program icon also has the shell's large size.
    std::vector<std::pair<int, int>> program = IconEntries(107);
    EXPECT_EQ(5u, program.size());
}

TEST(ResourceTest, NoTwoIconsLookTheSame)
{
    std::vector<int> ids = AllIcons();
    ASSERT_EQ(44u, ids.size());
    std::vector<Testing::IconPixels> pictures;
    for (int id : ids)
    {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        ASSERT_NE(nullptr, icon) << id;
        pictures.push_back(Testing::ReadIcon(icon, 16));
        DestroyIcon(icon);
    }
    ImageList folder;
    folder.AddFromMemory(Quarrow::Resources::CategoryIcon, sizeof(Quarrow::Resources::CategoryIcon));
    pictures.push_back(Testing::ReadIcon(folder.GetIcon(0, 16), 16));
    ids.push_back(0);
    for (size_t i = 0; i < pictures.size(); i++)
    {
        for (size_t j = i + 1; j < pictures.size(); j++)
        {
            int differing = 0;
            for (size_t p = 0; p < pictures[i].onBlack.size(); p++)
            {
                differing += pictures[i].onBlack[p] != pictures[j].onBlack[p] ? 1 : 0;
            }
            EXPECT_GT(differing, 30) << "icons " << ids[i] << " and " << ids[j];
        }
    }
}

TEST(ResourceTest, TheCommandIconsShowWhatTheirCommandsDo)
{
    auto read = [](int id)
    {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        Testing::IconPixels pixels = Testing::ReadIcon(icon, 16);
        DestroyIcon(icon);
        return pixels;
    };
    const int green[] = {0x3D, 0xA5, 0x5D};
    const int red[] = {0xD9, 0x44, 0x3A};
    // Connect adds a machine (green badge), disconnect removes one (red badge), stop is a red sign.
    EXPECT_GT(CountNear(read(169), green[0], green[1], green[2]), 15);
    EXPECT_EQ(0, CountNear(read(169), red[0], red[1], red[2]));
    EXPECT_GT(CountNear(read(149), red[0], red[1], red[2]), 15);
    EXPECT_EQ(0, CountNear(read(149), green[0], green[1], green[2]));
    EXPECT_GT(CountNear(read(163), red[0], red[1], red[2]), 80);
    // The workbook has a green table, the text report none.
    EXPECT_GT(CountNear(read(152), 0x1F, 0x6E, 0x35) + CountNear(read(152), green[0], green[1], green[2]), 20);
    EXPECT_EQ(0, CountNear(read(134), green[0], green[1], green[2]));
}

// --- Picture, strings, version, manifest ---

TEST(ResourceTest, TheProductPictureIs200By200Pixels)
{
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(172), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(nullptr, bitmap);
    BITMAP description = {};
    GetObjectW(bitmap, sizeof(description), &description);
    EXPECT_EQ(200, description.bmWidth);
    EXPECT_EQ(200, description.bmHeight);
    EXPECT_EQ(24, description.bmBitsPixel);
    DeleteObject(bitmap);
}

TEST(ResourceTest, TheStringsHoldVersionAndOwnerAndNoWebAddress)
{
    EXPECT_EQ(L"Version 1.0.0.0", LoadText(100));
    EXPECT_EQ(L"Copyright \u00A9 Quarrow contributors", LoadText(101));
    // Help and the about dialog open the guide beside the program: no address that may not exist.
    EXPECT_EQ(L"", LoadText(103));
    EXPECT_EQ(L"", LoadText(105));
    // The limit the program reads them with cuts nothing.
    for (int id : {100, 101})
    {
        EXPECT_LT(LoadText(id).size(), 255u);
    }
}

TEST(ResourceTest, TheVersionInformationNamesQuarrow100)
{
    wchar_t path[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, path, MAX_PATH));
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
    auto value = [&](const wchar_t* name)
    {
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        wchar_t* text = nullptr;
        UINT units = 0;
        if (!VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&text), &units) || text == nullptr)
        {
            return std::wstring(L"(missing)");
        }
        return std::wstring(text);
    };
    EXPECT_EQ(L"Quarrow", value(L"ProductName"));
    EXPECT_EQ(L"1.0.0.0", value(L"ProductVersion"));
    EXPECT_EQ(L"1.0.0.0", value(L"FileVersion"));
    EXPECT_EQ(L"Quarrow.exe", value(L"OriginalFilename"));
    EXPECT_EQ(L"Copyright \u00A9 Quarrow contributors", value(L"LegalCopyright"));
}

TEST(ResourceTest, TheManifestAsksForCommonControls6PerMonitorDpiAndNoElevation)
{
    std::vector<uint8_t> bytes = ResourceBytes(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    ASSERT_FALSE(bytes.empty());
    std::string narrow(bytes.begin(), bytes.end());
    Core::IO::StringReader text{String(narrow.c_str())};
    Core::Xml::XmlTextReader reader(&text);
    reader.SetWhitespaceHandling(Core::Xml::WhitespaceHandling::None);
    std::wstring commonControls;
    std::wstring level;
    std::wstring dpiAware;
    std::wstring dpiAwareness;
    std::wstring element;
    // Reading to the end also proves the manifest is well-formed XML.
    while (reader.Read())
    {
        if (reader.NodeType() == Core::Xml::XmlNodeType::Element)
        {
            element = reader.LocalName().GetBuffer();
            if (element == L"assemblyIdentity" &&
                reader.GetAttribute(String(L"name")) == String(L"Microsoft.Windows.Common-Controls"))
            {
                commonControls = reader.GetAttribute(String(L"version")).GetBuffer();
            }
            if (element == L"requestedExecutionLevel")
            {
                level = reader.GetAttribute(String(L"level")).GetBuffer();
            }
        }
        else if (reader.NodeType() == Core::Xml::XmlNodeType::Text)
        {
            if (element == L"dpiAware")
            {
                dpiAware = reader.Value().GetBuffer();
            }
            if (element == L"dpiAwareness")
            {
                dpiAwareness = reader.Value().GetBuffer();
            }
        }
    }
    EXPECT_EQ(L"6.0.0.0", commonControls);
    EXPECT_EQ(L"asInvoker", level);
    EXPECT_EQ(L"true/pm", dpiAware) << "per monitor on Windows 8.1, system-aware before";
    EXPECT_EQ(L"PerMonitorV2, PerMonitor", dpiAwareness);
}

TEST(ResourceTest, TheSystemReadsTheManifestsSettingsAndAssemblies)
{
    // The settings as the system finds them in the process's activation context: a wrong namespace or
    // element name would leave them unread, and the program blurred by bitmap scaling.
    auto setting = [](const wchar_t* space, const wchar_t* name)
    {
        wchar_t value[64] = {};
        SIZE_T written = 0;
        if (!QueryActCtxSettingsW(0, nullptr, space, name, value, 64, &written))
        {
            return std::wstring(L"(unread)");
        }
        return std::wstring(value);
    };
    EXPECT_EQ(L"PerMonitorV2, PerMonitor",
              setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"));
    EXPECT_EQ(L"true/pm", setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"));
    // comctl32.dll is redirected to the version 6 assembly.
    ACTCTX_SECTION_KEYED_DATA data = {};
    data.cbSize = sizeof(data);
    ASSERT_TRUE(FindActCtxSectionStringW(FIND_ACTCTX_SECTION_KEY_RETURN_HACTCTX, nullptr,
                                         ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, L"comctl32.dll", &data));
    ASSERT_NE(nullptr, data.hActCtx);
    std::vector<uint8_t> buffer(4096);
    SIZE_T needed = 0;
    ACTIVATION_CONTEXT_QUERY_INDEX index = {data.ulAssemblyRosterIndex, 0};
    ASSERT_TRUE(QueryActCtxW(0, data.hActCtx, &index, AssemblyDetailedInformationInActivationContext, buffer.data(),
                             buffer.size(), &needed));
    auto* assembly = reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
    std::wstring identity(assembly->lpAssemblyEncodedAssemblyIdentity,
                          assembly->ulEncodedAssemblyIdentityLength / sizeof(wchar_t));
    EXPECT_NE(std::wstring::npos, identity.find(L"Microsoft.Windows.Common-Controls")) << identity;
    EXPECT_NE(std::wstring::npos, identity.find(L"version=\"6.")) << identity;
    ReleaseActCtx(data.hActCtx);
}
