#include "core/xml/XmlMarkupOutput.h"

#include "core/Utf16.h"

#include <cstring>

namespace Core::Xml::Detail
{

namespace
{

// Pieces of escaped text go through the room at least this long, so a special unit does not cost a refill.
constexpr int MinimumRun = 64;

template <int N> int Copy(wchar_t* out, const wchar_t (&text)[N])
{
    std::memcpy(out, text, (N - 1) * sizeof(wchar_t));
    return N - 1;
}

// What a unit that stopped the plain scan becomes where it stands: an entity; the unit itself (tabs, line ends
// in text, quotes that are not the delimiter); a character reference for a line end in an attribute value, which
// would otherwise read back as a space; or U+FFFD for what XML cannot hold at all (control characters, U+FFFE,
// U+FFFF, a surrogate without its partner), so every document written is well-formed. Returns the length
// written, at most eight units.
int Escape(wchar_t ch, bool inAttribute, wchar_t quote, wchar_t* out)
{
    switch (ch)
    {
    case L'&':
        return Copy(out, L"&amp;");
    case L'<':
        return Copy(out, L"&lt;");
    case L'>':
        return Copy(out, L"&gt;");
    case L'"':
        return inAttribute && quote == L'"' ? Copy(out, L"&quot;") : Copy(out, L"\"");
    case L'\'':
        return inAttribute && quote == L'\'' ? Copy(out, L"&apos;") : Copy(out, L"'");
    case L'\n':
        return inAttribute ? Copy(out, L"&#xA;") : Copy(out, L"\n");
    case L'\r':
        return inAttribute ? Copy(out, L"&#xD;") : Copy(out, L"\r");
    case L'\t':
        return Copy(out, L"\t");
    default:
        break;
    }
    out[0] = ch < 0x20 || ch >= 0xFFFE || IsSurrogate(ch) ? static_cast<wchar_t>(0xFFFD) : ch;
    return 1;
}

} // namespace

void MarkupOutput::Attach(IO::StreamWriter* writer)
{
    m_writer = writer;
    m_lendSize = writer->GetBufferSize() < LendSize ? writer->GetBufferSize() : LendSize;
}

void MarkupOutput::Refill(int count)
{
    Flush();
    if (count <= m_lendSize)
    {
        IO::AsciiRoom lent = m_writer->LendAscii(m_lendSize);
        if (!lent.IsEmpty())
        {
            m_room = lent;
            m_lent = true;
            return;
        }
    }
    m_room = IO::AsciiRoom(m_own, OwnCapacity);
}

void MarkupOutput::Flush()
{
    if (m_pendingHigh != 0)
    {
        // A first half that no second half followed.
        m_pendingHigh = 0;
        m_writer->Write(static_cast<wchar_t>(0xFFFD));
    }
    IO::AsciiRoom collected = m_room;
    bool lent = m_lent;
    m_room = IO::AsciiRoom();
    m_lent = false;
    if (lent)
    {
        m_writer->TakeAscii(collected);
        return;
    }
    // Another encoding, or a surrogate waiting in the encoder: the bytes go back to units.
    const uint8_t* bytes = collected.GetStart();
    int length = collected.GetUsed();
    wchar_t units[256];
    for (int at = 0; at < length; at += 256)
    {
        int piece = length - at < 256 ? length - at : 256;
        for (int k = 0; k < piece; k++)
        {
            units[k] = bytes[at + k];
        }
        m_writer->Write(units, piece);
    }
}

void MarkupOutput::EmitUnits(const wchar_t* text, int count)
{
    int i = 0;
    while (i < count)
    {
        if (m_room.GetLeft() < MinimumRun)
        {
            Refill(MinimumRun);
        }
        int piece = count - i < m_room.GetLeft() ? count - i : m_room.GetLeft();
        int ascii = 0;
        while (ascii < piece && text[i + ascii] < 0x80)
        {
            ascii++;
        }
        m_room.Write(
            ascii, [&](Place out) __attribute__((always_inline))
                   __attribute__((always_inline)) { return NarrowAscii(out, text + i, ascii) ? ascii : -1; });
        i += ascii;
        if (ascii < piece)
        {
            Flush();
            m_writer->Write(text + i, count - i);
            return;
        }
    }
}

void MarkupOutput::WriteEscapedRuns(const wchar_t* text, int length, bool inAttribute, wchar_t quote)
{
    const PlainScan scan(inAttribute ? quote : L'&', 0x80);
    int i = 0;
    if (m_pendingHigh != 0 && length > 0 && IsLowSurrogate(text[0]))
    {
        // The second half of a pair whose first half ended the text before.
        wchar_t pair[2] = {m_pendingHigh, text[0]};
        m_pendingHigh = 0;
        m_writer->Write(pair, 2);
        i = 1;
    }
    while (i < length)
    {
        if (m_room.GetLeft() < MinimumRun)
        {
            Refill(MinimumRun);
        }
        int piece = length - i < m_room.GetLeft() ? length - i : m_room.GetLeft();
        int plain = m_room.Write(
            piece, [&](Place out) __attribute__((always_inline)) { return CopyPlain(out, text + i, piece, scan); });
        i += plain;
        if (plain == piece)
        {
            continue;
        }
        if (text[i] >= 0x80)
        {
            WriteEscapedUnits(text + i, length - i, inAttribute, quote);
            return;
        }
        wchar_t escaped[8];
        int escapedLength = Escape(text[i], inAttribute, quote, escaped);
        for (int k = 0; k < escapedLength; k++)
        {
            Emit(escaped[k]);
        }
        i++;
    }
}

// Plain runs go to the stream writer straight from the text; the stream writer encodes them.
void MarkupOutput::WriteEscapedUnits(const wchar_t* text, int length, bool inAttribute, wchar_t quote)
{
    Flush();
    const PlainScan scan(inAttribute ? quote : L'&');
    int i = 0;
    while (i < length)
    {
        int plain = PlainLength(text + i, length - i, scan);
        m_writer->Write(text + i, plain);
        i += plain;
        if (i == length)
        {
            break;
        }
        if (IsHighSurrogate(text[i]) && i + 1 < length && IsLowSurrogate(text[i + 1]))
        {
            // A surrogate pair goes out in one piece.
            m_writer->Write(text + i, 2);
            i += 2;
            continue;
        }
        if (IsHighSurrogate(text[i]) && i + 1 == length)
        {
            // Its partner may start the next text; until then the room stays empty, so whatever comes next
            // passes Flush or the start of WriteEscapedRuns, which decide.
            m_pendingHigh = text[i];
            return;
        }
        // A surrogate without its partner is replaced alone, so the unit after it is still looked at.
        wchar_t escaped[8];
        int escapedLength = Escape(text[i], inAttribute, quote, escaped);
        for (int k = 0; k < escapedLength; k++)
        {
            m_writer->Write(escaped[k]);
        }
        i++;
    }
}

} // namespace Core::Xml::Detail
