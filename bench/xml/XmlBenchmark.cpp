// Reads a generated document of 20 MB node by node with XmlTextReader and with the pull reader that ships with
// Windows (XmlLite, loaded at run time), and measures the writer that produced the document.
#include "bench/support/Stopwatch.h"
#include "core/io/FileStream.h"
#include "core/io/TextReader.h"
#include "core/xml/XmlTextReader.h"
#include "core/xml/XmlTextWriter.h"

#include <cstdint>
#include <cstdio>
#include <shlwapi.h>
#include <windows.h>

using namespace Core;
using namespace Core::Xml;

// IXmlReader as documented for XmlLite: IUnknown's three methods, then the reader's own in vtable order. Kept out
// of the anonymous namespace: there the compiler would conclude that no object implements it and devirtualize
// every call into a pure-virtual trap.
struct XmlLiteReader
{
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetInput(IUnknown* input) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperty(UINT property, LONG_PTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProperty(UINT property, LONG_PTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Read(int* nodeType) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNodeType(int* nodeType) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveToFirstAttribute() = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveToNextAttribute() = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveToAttributeByName(LPCWSTR localName, LPCWSTR namespaceUri) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveToElement() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetQualifiedName(LPCWSTR* name, UINT* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNamespaceUri(LPCWSTR* uri, UINT* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLocalName(LPCWSTR* name, UINT* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPrefix(LPCWSTR* prefix, UINT* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetValue(LPCWSTR* value, UINT* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReadValueChunk(WCHAR* buffer, UINT chunkSize, UINT* read) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBaseUri(LPCWSTR* baseUri, UINT* length) = 0;
    virtual BOOL STDMETHODCALLTYPE IsDefault() = 0;
    virtual BOOL STDMETHODCALLTYPE IsEmptyElement() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLineNumber(UINT* lineNumber) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLinePosition(UINT* linePosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeCount(UINT* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDepth(UINT* depth) = 0;
    virtual BOOL STDMETHODCALLTYPE IsEOF() = 0;

protected:
    ~XmlLiteReader() = default; // released through Release, never deleted
};

namespace
{

constexpr int64_t TargetBytes = 20 * 1024 * 1024;
constexpr int Repetitions = 3;

// {7279FC81-709D-4095-B63D-69FE4B0D9030}
const GUID IID_XmlLiteReader = {0x7279fc81, 0x709d, 0x4095, {0xb6, 0x3d, 0x69, 0xfe, 0x4b, 0x0d, 0x90, 0x30}};

using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

double MegabytesPerSecond(int64_t bytes, double seconds)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0) / seconds;
}

int64_t FileSize(const String& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.GetBuffer(), GetFileExInfoStandard, &data))
    {
        return 0;
    }
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A class-view-like catalogue: categories of classes with attributes, properties, filters and text that needs
// escaping, indented, until the file reaches the target size. No comments: Wine's XmlLite fails on a comment
// that straddles its input chunks (WC_E_COMMENT), which would end its run early.
// The texts are made before the clock starts, so the writer's figure is the writer's own work.
struct Texts
{
    Texts()
    {
        for (int i = 0; i < Categories; i++)
        {
            categoryNames[i] = String(L"Category number ") + i;
            descriptions[i] = String(L"Counters of \"subsystem\" ") + i + L" & friends";
        }
        for (int i = 0; i < Classes; i++)
        {
            classNames[i] = String(L"Win32_PerfFormattedData_Class") + i;
            filters[i] = String(L"Name <> '_Total' AND Size > ") + i;
            notes[i] = String(L"Class ") + i + L" of its category";
        }
        for (int i = 0; i < Properties; i++)
        {
            properties[i] = String(L"PercentProcessorTime_") + i;
        }
    }

    static constexpr int Categories = 1000;
    static constexpr int Classes = 20;
    static constexpr int Properties = 6;
    String categoryNames[Categories];
    String descriptions[Categories];
    String classNames[Classes];
    String filters[Classes];
    String notes[Classes];
    String properties[Properties];
    String categories = L"Categories", category = L"Category", classElement = L"Class", property = L"Property",
           filter = L"Filter", note = L"Note", name = L"Name", selected = L"selected", description = L"description",
           yes = L"Y", no = L"N";
};

void WriteDocument(const String& path, const Texts& t)
{
    XmlTextWriter writer(path, nullptr);
    writer.SetFormatting(Formatting::Indented);
    writer.WriteStartDocument();
    writer.WriteStartElement(t.categories);
    int64_t written = 0;
    for (int category = 0; written < TargetBytes; category++)
    {
        writer.WriteStartElement(t.category);
        writer.WriteAttributeString(t.name, t.categoryNames[category % Texts::Categories]);
        writer.WriteAttributeString(t.selected, category % 3 == 0 ? t.no : t.yes);
        for (int item = 0; item < Texts::Classes; item++)
        {
            writer.WriteStartElement(t.classElement);
            writer.WriteAttributeString(t.name, t.classNames[item]);
            writer.WriteAttributeString(t.selected, t.yes);
            writer.WriteAttributeString(t.description, t.descriptions[category % Texts::Categories]);
            for (int property = 0; property < Texts::Properties; property++)
            {
                writer.WriteElementString(t.property, t.properties[property]);
            }
            writer.WriteElementString(t.filter, t.filters[item]);
            writer.WriteElementString(t.note, t.notes[item]);
            writer.WriteEndElement();
        }
        writer.WriteEndElement();
        writer.Flush();
        written = FileSize(path);
    }
    writer.WriteEndDocument();
    writer.Close();
}

struct Tally
{
    int64_t nodes = 0;
    int64_t attributes = 0;
    int64_t characters = 0;
};

Tally ReadWithXmlTextReader(const String& path)
{
    Tally tally;
    XmlTextReader reader(path);
    while (reader.Read())
    {
        tally.nodes++;
        tally.characters += reader.Name().GetLength() + reader.Value().GetLength();
        while (reader.MoveToNextAttribute())
        {
            tally.attributes++;
            tally.characters += reader.Name().GetLength() + reader.Value().GetLength();
        }
    }
    return tally;
}

Tally ReadWithXmlLite(CreateXmlReaderFunction create, const String& path)
{
    Tally tally;
    IStream* stream = nullptr;
    XmlLiteReader* reader = nullptr;
    if (FAILED(SHCreateStreamOnFileEx(path.GetBuffer(), STGM_READ | STGM_SHARE_DENY_WRITE, FILE_ATTRIBUTE_NORMAL, FALSE,
                                      nullptr, &stream)) ||
        FAILED(create(IID_XmlLiteReader, reinterpret_cast<void**>(&reader), nullptr)) ||
        FAILED(reader->SetInput(stream)))
    {
        std::printf("XmlLite could not be set up\n");
    }
    else
    {
        int nodeType = 0;
        HRESULT result;
        while ((result = reader->Read(&nodeType)) == S_OK)
        {
            LPCWSTR text = nullptr;
            UINT length = 0;
            tally.nodes++;
            reader->GetQualifiedName(&text, &length);
            tally.characters += length;
            reader->GetValue(&text, &length);
            tally.characters += length;
            for (HRESULT more = reader->MoveToFirstAttribute(); more == S_OK; more = reader->MoveToNextAttribute())
            {
                tally.attributes++;
                reader->GetQualifiedName(&text, &length);
                tally.characters += length;
                reader->GetValue(&text, &length);
                tally.characters += length;
            }
        }
        if (FAILED(result))
        {
            std::printf("XmlLite stopped with error 0x%08lX\n", static_cast<unsigned long>(result));
        }
    }
    if (reader != nullptr)
    {
        // Wine's XmlLite crashes when a reader that still holds its input is released.
        reader->SetInput(nullptr);
        reader->Release();
    }
    if (stream != nullptr)
    {
        stream->Release();
    }
    return tally;
}

int64_t DecodeOnly(const String& path)
{
    IO::StreamReader reader(path);
    wchar_t chunk[32768];
    int64_t characters = 0;
    for (int n = reader.Read(chunk, 0, 32768); n > 0; n = reader.Read(chunk, 0, 32768))
    {
        characters += n;
    }
    return characters;
}

template <typename Run> double Best(Run run)
{
    double best = 1e30;
    for (int i = 0; i < Repetitions; i++)
    {
        double start = Benchmark::Seconds();
        run();
        double seconds = Benchmark::Seconds() - start;
        best = seconds < best ? seconds : best;
    }
    return best;
}

} // namespace

int main()
{
    wchar_t directory[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    String path = String(directory) + L"quarrow-bench-xml.xml";

    Texts* texts = new Texts();
    double writeStart = Benchmark::Seconds();
    WriteDocument(path, *texts);
    double writeSeconds = Benchmark::Seconds() - writeStart;
    delete texts;
    int64_t bytes = FileSize(path);
    std::printf("document: %.1f MB, written in %.3f s\n", static_cast<double>(bytes) / (1024.0 * 1024.0), writeSeconds);
    std::printf("XmlTextWriter (indented, escaping): %.1f MB/s\n", MegabytesPerSecond(bytes, writeSeconds));

    double decodeSeconds = Best([&] { DecodeOnly(path); });
    std::printf("file read and UTF-8 decode only:    %.1f MB/s\n", MegabytesPerSecond(bytes, decodeSeconds));

    Tally ours;
    double oursSeconds = Best([&] { ours = ReadWithXmlTextReader(path); });
    double oursRate = MegabytesPerSecond(bytes, oursSeconds);
    std::printf("XmlTextReader: %.1f MB/s (%lld nodes, %lld attributes)\n", oursRate,
                static_cast<long long>(ours.nodes), static_cast<long long>(ours.attributes));

    HMODULE xmllite = LoadLibraryW(L"xmllite.dll");
    auto create = xmllite != nullptr ? reinterpret_cast<CreateXmlReaderFunction>(
                                           reinterpret_cast<void*>(GetProcAddress(xmllite, "CreateXmlReader")))
                                     : nullptr;
    double ratio = 0;
    if (create == nullptr)
    {
        std::printf("xmllite.dll or CreateXmlReader not found\n");
    }
    else
    {
        Tally lite;
        double liteSeconds = Best([&] { lite = ReadWithXmlLite(create, path); });
        double liteRate = MegabytesPerSecond(bytes, liteSeconds);
        std::printf("XmlLite:       %.1f MB/s (%lld nodes, %lld attributes)\n", liteRate,
                    static_cast<long long>(lite.nodes), static_cast<long long>(lite.attributes));
        if (lite.nodes != ours.nodes || lite.attributes != ours.attributes)
        {
            std::printf("note: the readers counted different nodes or attributes\n");
        }
        ratio = oursRate / liteRate;
    }
    DeleteFileW(path.GetBuffer());
    std::printf("RESULT xml-reader-vs-xmllite %.2f\n", ratio);
    return 0;
}
