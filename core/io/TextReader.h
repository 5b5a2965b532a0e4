// Sources of UTF-16 text: a stream decoded with an encoding, or a string.
#pragma once

#include "core/String.h"
#include "core/io/Encoding.h"
#include "core/io/Stream.h"

namespace Core::IO
{

class TextReader : public Object
{
public:
    // Reads up to count units into buffer[index...]; returns the number read, 0 at the end of the text.
    virtual int Read(wchar_t* buffer, int index, int count) = 0;
    virtual void Close() {}

    String ReadToEnd();

protected:
    static void CheckArguments(const wchar_t* buffer, int index, int count);
};

class StringReader : public TextReader
{
public:
    explicit StringReader(const String& text) : m_text(text) {}

    int Read(wchar_t* buffer, int index, int count) override;

private:
    String m_text;
    int m_position = 0;
};

class StreamReader : public TextReader
{
public:
    static constexpr int DefaultBufferSize = 1024;

    // encoding null means UTF-8. With detection on, a leading byte-order mark selects UTF-16 BE (FE FF),
    // UTF-16 LE (FF FE) or UTF-8 (EF BB BF) and is skipped. bufferSize counts characters, at least 128.
    StreamReader(Stream* stream, const Encoding* encoding = nullptr, bool detectEncoding = true,
                 int bufferSize = DefaultBufferSize, bool closeStream = false);
    // Opens the file for reading, shared for reading.
    explicit StreamReader(const String& path, const Encoding* encoding = nullptr);
    ~StreamReader() override;
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    int Read(wchar_t* buffer, int index, int count) override;
    void Close() override;

    const Encoding* GetCurrentEncoding() const { return m_encoding; }

    // Picks the encoding from the first bytes of a stream without byte-order mark (an XML declaration names its
    // own), or returns null to keep the reader's. It sees the text up to its first '>' or a buffer's worth.
    using EncodingSniffer = const Encoding* (*)(const uint8_t* bytes, int length);
    // Before the first Read.
    void SetEncodingSniffer(EncodingSniffer sniffer) { m_sniffer = sniffer; }

private:
    void Initialise(int bufferSize);
    // Decodes the next bytes of the stream into target; returns the units decoded, 0 at the end.
    int Decode(wchar_t* target);
    void DetectEncoding();

    Stream* m_stream; // owned only when m_ownsStream
    bool m_ownsStream = false;
    bool m_closeStream;
    const Encoding* m_encoding;   // not owned
    Decoder* m_decoder = nullptr; // owned
    bool m_detectEncoding;
    uint8_t* m_bytes = nullptr; // owned
    int m_byteCapacity = 0;
    wchar_t* m_chars = nullptr; // owned
    int m_charCapacity = 0;
    int m_charPosition = 0;
    int m_charLength = 0;
    bool m_endOfStream = false;
    int m_detectedOffset = 0; // where the text starts in the first bytes, after a byte-order mark
    int m_detectedBytes = 0;  // bytes read while looking for the mark and not decoded yet
    EncodingSniffer m_sniffer = nullptr;
};

} // namespace Core::IO
