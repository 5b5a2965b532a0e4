#include "core/io/Encoding.h"

#include "core/Exception.h"
#include "core/Simd.h"
#include "core/Utf16.h"

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <windows.h>

namespace Core::IO
{

namespace
{

constexpr wchar_t ReplacementCharacter = 0xFFFD;

// --- UTF-8 ---

class Utf8Encoder : public Encoder
{
public:
    explicit Utf8Encoder(bool throwOnInvalid) : m_throwOnInvalid(throwOnInvalid) {}

    int GetBytes(const wchar_t* chars, int count, uint8_t* bytes, bool flush) override
    {
        int n = 0;
        int i = 0;
        if (m_pendingHigh != 0 && (count > 0 || flush))
        {
            i = PutPendingHigh(chars, count, bytes, n);
        }
        while (i < count)
        {
            CopyAscii(chars, count, bytes, i, n);
            if (i == count)
            {
                break;
            }
            if (IsHighSurrogate(chars[i]))
            {
                i += PutHighSurrogate(chars + i, count - i, bytes, n, flush);
            }
            else
            {
                n = PutUnit(chars[i], bytes, n);
                i++;
            }
        }
        return n;
    }

private:
    // Most text is ASCII: sixteen, then eight units at a time while none is above U+007F, narrowed in one step.
    static void CopyAscii(const wchar_t* chars, int count, uint8_t* bytes, int& i, int& n)
    {
        while (i + 16 <= count)
        {
            Simd::Block low = Simd::LoadUnits(chars + i);
            Simd::Block high = Simd::LoadUnits(chars + i + 8);
            if (!Simd::AllAscii(low | high))
            {
                break;
            }
            Simd::StoreNarrow(bytes + n, low, high);
            n += 16;
            i += 16;
        }
        while (i + 8 <= count)
        {
            Simd::Block units = Simd::LoadUnits(chars + i);
            if (!Simd::AllAscii(units))
            {
                break;
            }
            Simd::StoreNarrow(bytes + n, units);
            n += 8;
            i += 8;
        }
    }

    // Any unit but a high surrogate; a low surrogate here has no high one before it.
    int PutUnit(wchar_t unit, uint8_t* bytes, int n) const
    {
        if (unit < 0x80)
        {
            bytes[n++] = static_cast<uint8_t>(unit);
        }
        else if (unit < 0x800)
        {
            bytes[n++] = static_cast<uint8_t>(0xC0 | (unit >> 6));
            bytes[n++] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
        }
        else if (IsLowSurrogate(unit))
        {
            n = PutInvalid(bytes, n);
        }
        else
        {
            bytes[n++] = static_cast<uint8_t>(0xE0 | (unit >> 12));
            bytes[n++] = static_cast<uint8_t>(0x80 | ((unit >> 6) & 0x3F));
            bytes[n++] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
        }
        return n;
    }

    // Returns how many of the remaining units it used: two for a pair, else one.
    int PutHighSurrogate(const wchar_t* chars, int remaining, uint8_t* bytes, int& n, bool flush)
    {
        if (remaining > 1 && IsLowSurrogate(chars[1]))
        {
            n = PutPair(chars[0], chars[1], bytes, n);
            return 2;
        }
        if (remaining == 1 && !flush)
        {
            m_pendingHigh = chars[0]; // its low surrogate may come with the next chunk
            return 1;
        }
        n = PutInvalid(bytes, n);
        return 1;
    }

    // The high surrogate that ended the previous chunk; returns how many units of this chunk it used.
    int PutPendingHigh(const wchar_t* chars, int count, uint8_t* bytes, int& n)
    {
        int used = 0;
        if (count > 0 && IsLowSurrogate(chars[0]))
        {
            n = PutPair(m_pendingHigh, chars[0], bytes, n);
            used = 1;
        }
        else
        {
            n = PutInvalid(bytes, n);
        }
        m_pendingHigh = 0;
        return used;
    }

    static int PutPair(wchar_t high, wchar_t low, uint8_t* bytes, int n)
    {
        uint32_t codePoint = CodePointOf(high, low);
        bytes[n++] = static_cast<uint8_t>(0xF0 | (codePoint >> 18));
        bytes[n++] = static_cast<uint8_t>(0x80 | ((codePoint >> 12) & 0x3F));
        bytes[n++] = static_cast<uint8_t>(0x80 | ((codePoint >> 6) & 0x3F));
        bytes[n++] = static_cast<uint8_t>(0x80 | (codePoint & 0x3F));
        return n;
    }

    // An unpaired surrogate: rejected, or written as U+FFFD so the output stays valid UTF-8.
    int PutInvalid(uint8_t* bytes, int n) const
    {
        if (m_throwOnInvalid)
        {
            throw ArgumentException(String(L"Unpaired surrogate in the text to encode"));
        }
        bytes[n++] = 0xEF;
        bytes[n++] = 0xBF;
        bytes[n++] = 0xBD;
        return n;
    }

    bool m_throwOnInvalid;
    wchar_t m_pendingHigh = 0;
};

class Utf8Decoder : public Decoder
{
public:
    int GetChars(const uint8_t* bytes, int count, wchar_t* chars, bool flush) override
    {
        if (m_pending.empty())
        {
            return Decode(bytes, count, chars, flush);
        }
        // A sequence split by the previous chunk: decode it joined with the new bytes.
        std::string joined;
        joined.swap(m_pending);
        joined.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
        return Decode(reinterpret_cast<const uint8_t*>(joined.data()), static_cast<int>(joined.size()), chars, flush);
    }

private:
    int Decode(const uint8_t* bytes, int count, wchar_t* chars, bool flush)
    {
        int n = 0;
        int i = 0;
        while (i < count)
        {
            uint8_t lead = bytes[i];
            if (lead < 0x80)
            {
                chars[n++] = lead;
                i++;
                continue;
            }
            int length;
            uint32_t codePoint;
            uint32_t minimum;
            if (lead >= 0xC2 && lead <= 0xDF)
            {
                length = 2;
                codePoint = lead & 0x1F;
                minimum = 0x80;
            }
            else if (lead >= 0xE0 && lead <= 0xEF)
            {
                length = 3;
                codePoint = lead & 0x0F;
                minimum = 0x800;
            }
            else if (lead >= 0xF0 && lead <= 0xF4)
            {
                length = 4;
                codePoint = lead & 0x07;
                minimum = 0x10000;
            }
            else
            {
                chars[n++] = ReplacementCharacter;
                i++;
                continue;
            }
            int available = count - i < length ? count - i : length;
            int valid = 1;
            while (valid < available && (bytes[i + valid] & 0xC0) == 0x80)
            {
                codePoint = (codePoint << 6) | (bytes[i + valid] & 0x3F);
                valid++;
            }
            if (valid < length)
            {
                if (valid == available && !flush)
                {
                    // Only the end of the input cut it short: keep it for the next chunk.
                    m_pending.assign(reinterpret_cast<const char*>(bytes + i), static_cast<size_t>(available));
                    return n;
                }
                chars[n++] = ReplacementCharacter;
                i += valid;
                continue;
            }
            i += length;
            if (codePoint < minimum || codePoint > 0x10FFFF || IsSurrogate(codePoint))
            {
                chars[n++] = ReplacementCharacter;
            }
            else if (codePoint >= 0x10000)
            {
                chars[n++] = HighSurrogateOf(codePoint);
                chars[n++] = LowSurrogateOf(codePoint);
            }
            else
            {
                chars[n++] = static_cast<wchar_t>(codePoint);
            }
        }
        return n;
    }

    std::string m_pending;
};

// --- UTF-16 ---

class Utf16Encoder : public Encoder
{
public:
    explicit Utf16Encoder(bool bigEndian) : m_bigEndian(bigEndian) {}

    int GetBytes(const wchar_t* chars, int count, uint8_t* bytes, bool) override
    {
        int high = m_bigEndian ? 0 : 1;
        for (int i = 0; i < count; i++)
        {
            bytes[2 * i + high] = static_cast<uint8_t>(chars[i] >> 8);
            bytes[2 * i + (1 - high)] = static_cast<uint8_t>(chars[i] & 0xFF);
        }
        return 2 * count;
    }

private:
    bool m_bigEndian;
};

class Utf16Decoder : public Decoder
{
public:
    explicit Utf16Decoder(bool bigEndian) : m_bigEndian(bigEndian) {}

    int GetChars(const uint8_t* bytes, int count, wchar_t* chars, bool flush) override
    {
        int n = 0;
        int i = 0;
        if (m_hasPendingByte && count > 0)
        {
            chars[n++] = Unit(m_pendingByte, bytes[0]);
            m_hasPendingByte = false;
            i = 1;
        }
        for (; i + 1 < count; i += 2)
        {
            chars[n++] = Unit(bytes[i], bytes[i + 1]);
        }
        if (i < count)
        {
            m_pendingByte = bytes[i];
            m_hasPendingByte = true;
        }
        if (flush && m_hasPendingByte)
        {
            chars[n++] = ReplacementCharacter;
            m_hasPendingByte = false;
        }
        return n;
    }

private:
    wchar_t Unit(uint8_t first, uint8_t second) const
    {
        return m_bigEndian ? static_cast<wchar_t>((first << 8) | second) : static_cast<wchar_t>((second << 8) | first);
    }

    bool m_bigEndian;
    uint8_t m_pendingByte = 0;
    bool m_hasPendingByte = false;
};

} // namespace

int Encoding::GetByteCount(const wchar_t* chars, int count) const
{
    if (count < 0)
    {
        throw ArgumentOutOfRangeException(count);
    }
    const int chunk = 1024;
    std::unique_ptr<Encoder> encoder(CreateEncoder());
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[static_cast<size_t>(GetMaxByteCount(chunk))]);
    int64_t total = 0;
    int done = 0;
    do
    {
        int n = count - done < chunk ? count - done : chunk;
        total += encoder->GetBytes(chars + done, n, bytes.get(), done + n >= count);
        done += n;
    } while (done < count);
    if (total > INT_MAX)
    {
        throw ArgumentOutOfRangeException(-1, String(L"The encoded text is too long"));
    }
    return static_cast<int>(total);
}

const Encoding* Encoding::UTF8()
{
    static const UTF8Encoding encoding(false, false);
    return &encoding;
}

const Encoding* Encoding::UTF16LittleEndian()
{
    static const UnicodeEncoding encoding(false, true);
    return &encoding;
}

const Encoding* Encoding::UTF16BigEndian()
{
    static const UnicodeEncoding encoding(true, true);
    return &encoding;
}

const Encoding* Encoding::GetDefault()
{
    static const CodePageEncoding ansi(GetACP());
    switch (GetACP())
    {
    case 1200:
        return UTF16LittleEndian();
    case 1201:
        return UTF16BigEndian();
    case 65001:
        return UTF8();
    default:
        return &ansi;
    }
}

UTF8Encoding::UTF8Encoding(bool emitByteOrderMark, bool throwOnInvalid)
    : m_emitByteOrderMark(emitByteOrderMark), m_throwOnInvalid(throwOnInvalid)
{
}

int UTF8Encoding::GetMaxByteCount(int charCount) const
{
    return (charCount + 1) * 3;
}

int UTF8Encoding::GetMaxCharCount(int byteCount) const
{
    return byteCount + 4;
}

int UTF8Encoding::GetPreamble(uint8_t* bytes) const
{
    if (!m_emitByteOrderMark)
    {
        return 0;
    }
    bytes[0] = 0xEF;
    bytes[1] = 0xBB;
    bytes[2] = 0xBF;
    return 3;
}

Encoder* UTF8Encoding::CreateEncoder() const
{
    return new Utf8Encoder(m_throwOnInvalid);
}

Decoder* UTF8Encoding::CreateDecoder() const
{
    return new Utf8Decoder();
}

UnicodeEncoding::UnicodeEncoding(bool bigEndian, bool emitByteOrderMark)
    : m_bigEndian(bigEndian), m_emitByteOrderMark(emitByteOrderMark)
{
}

int UnicodeEncoding::GetMaxByteCount(int charCount) const
{
    return charCount * 2;
}

int UnicodeEncoding::GetMaxCharCount(int byteCount) const
{
    return byteCount / 2 + 2;
}

int UnicodeEncoding::GetPreamble(uint8_t* bytes) const
{
    if (!m_emitByteOrderMark)
    {
        return 0;
    }
    bytes[0] = m_bigEndian ? 0xFE : 0xFF;
    bytes[1] = m_bigEndian ? 0xFF : 0xFE;
    return 2;
}

Encoder* UnicodeEncoding::CreateEncoder() const
{
    return new Utf16Encoder(m_bigEndian);
}

Decoder* UnicodeEncoding::CreateDecoder() const
{
    return new Utf16Decoder(m_bigEndian);
}

} // namespace Core::IO
