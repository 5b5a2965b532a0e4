// Reads class-view files of 10,000 to 40,000 nested categories into the main tree and into the check tree,
// and compares each with the XML reader alone reading the same file: building a tree must cost a constant
// factor over reading, whatever the depth.
#include "config/AppOptions.h"
#include "config/CategoryPath.h"
#include "config/ClassViewEditor.h"
#include "config/ClassViewReader.h"
#include "core/controls/TreeNode.h"
#include "core/platform/windows/Com.h"
#include "core/platform/windows/RegistryKey.h"
#include "core/xml/XmlTextReader.h"
#include "wmi/ManagementConnection.h"

#include "bench/support/Stopwatch.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <windows.h>

using Benchmark::Seconds;
using Core::String;
using Core::Controls::TreeNode;
using Core::Controls::TreeNodeCollection;

namespace
{

const int Rounds = 5;

std::string DeepFile(int depth)
{
    std::string text = "<?xml version=\"1.0\"?><Categories>";
    for (int i = 1; i <= depth; i++)
    {
        text += "<Category Name=\"Level " + std::to_string(i) + "\" selected=\"Y\"><Class Name=\"Win32_L" +
                std::to_string(i) + "\" selected=\"Y\"><Property>Name</Property></Class>";
    }
    for (int i = 0; i < depth; i++)
    {
        text += "</Category>";
    }
    return text + "</Categories>";
}

String WriteTemporaryFile(const std::string& bytes)
{
    wchar_t directory[MAX_PATH];
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    GetTempFileNameW(directory, L"qcv", 0, path);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return String(path);
}

double Best(const std::function<void()>& run)
{
    double best = 1e30;
    for (int round = 0; round < Rounds; round++)
    {
        double start = Seconds();
        run();
        best = std::min(best, Seconds() - start);
    }
    return best;
}

// The reference: every node and attribute read, nothing built.
long long ReadOnly(const String& path)
{
    long long characters = 0;
    Core::Xml::XmlTextReader reader(path);
    while (reader.Read())
    {
        characters += reader.Name().GetLength();
        while (reader.MoveToNextAttribute())
        {
            characters += reader.Value().GetLength();
        }
    }
    return characters;
}

} // namespace

int main()
{
    // Class objects are made for the connection of the machine node, as the program makes them.
    Core::Platform::Windows::InitializeCom();
    const String keyPath(L"Software\\QuarrowTests\\ClassViewBenchmark");
    Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath);
    double ratioAt20000 = 0;
    {
        Config::AppOptions options(keyPath);
        WMI::ManagementConnection connection;
        std::printf("depth   XML reader   main tree   check tree   (trees against the reader)\n");
        for (int depth : {10000, 20000, 40000})
        {
            String path = WriteTemporaryFile(DeepFile(depth));
            long long characters = 0;
            double reader = Best([&] { characters = ReadOnly(path); });
            bool complete = true;
            double mainTree = Best(
                [&]
                {
                    TreeNodeCollection tree;
                    auto* machine = new TreeNode(String(L"Local Machine"), reinterpret_cast<uintptr_t>(&connection));
                    tree.Add(machine);
                    bool readWhole = Config::ReadClassTree(machine, path).IsEmpty();
                    complete = complete && readWhole && machine->GetNodes().GetCount() == 1;
                    Config::DeleteNodes(tree);
                });
            double checkTree = Best(
                [&]
                {
                    TreeNodeCollection tree;
                    Config::ClassViewEditor editor(tree, options);
                    editor.LoadCheckTree(path);
                    complete = complete && tree.GetCount() == 1;
                    Config::DeleteNodes(tree);
                });
            DeleteFileW(path.GetBuffer());
            if (!complete || characters == 0)
            {
                std::printf("reading failed at depth %d\n", depth);
                return 1;
            }
            double ratio = (mainTree + checkTree) / (2 * reader);
            std::printf("%5d %9.1f ms %9.1f ms %10.1f ms   %.2f\n", depth, reader * 1000, mainTree * 1000,
                        checkTree * 1000, ratio);
            if (depth == 20000)
            {
                ratioAt20000 = ratio;
            }
        }
    }
    Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath);
    CoUninitialize();
    std::printf("RESULT deep-class-trees-vs-xml-reader %.3f\n", ratioAt20000);
    return 0;
}
