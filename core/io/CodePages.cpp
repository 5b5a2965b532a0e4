// The code-page encodings and the names documents give them.
#include "core/io/Encoding.h"

#include "core/Utf16.h"

#include <array>
#include <string>
#include <utility>
#include <windows.h>

namespace Core::IO
{

namespace
{

constexpr wchar_t ReplacementCharacter = 0xFFFD;
constexpr unsigned int EucJpTable = 20932;
constexpr unsigned int Gb18030CodePage = 54936;
constexpr unsigned int Utf7CodePage = 65000;

// Units to bytes through WideCharToMultiByte, keeping a high surrogate at the end for the next call.
class CodePageEncoder : public Encoder
{
public:
    explicit CodePageEncoder(unsigned int codePage) : m_codePage(codePage) {}

    int GetBytes(const wchar_t* chars, int count, uint8_t* bytes, bool flush) override
    {
        std::wstring text;
        if (m_pendingHigh != 0)
        {
            text += m_pendingHigh;
            m_pendingHigh = 0;
        }
        text.append(chars, static_cast<size_t>(count));
        if (!flush && !text.empty() && IsHighSurrogate(text.back()))
        {
            m_pendingHigh = text.back();
            text.pop_back();
        }
        if (text.empty())
        {
            return 0;
        }
        int size = static_cast<int>(text.size());
        // Five bytes a unit is the most any code page takes: UTF-7 writes a lone unit as '+', three base64 digits, '-'.
        return WideCharToMultiByte(m_codePage, 0, text.data(), size, reinterpret_cast<char*>(bytes), size * 5, nullptr,
                                   nullptr);
    }

private:
    unsigned int m_codePage;
    wchar_t m_pendingHigh = 0;
};

int Convert(unsigned int codePage, const std::string& bytes, wchar_t* chars)
{
    if (bytes.empty())
    {
        return 0;
    }
    int size = static_cast<int>(bytes.size());
    return MultiByteToWideChar(codePage, 0, bytes.data(), size, chars, size + 1);
}

bool IsBase64(uint8_t byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '+' || byte == '/';
}

// Bytes to units through MultiByteToWideChar, which knows nothing of chunks: each call gets whole characters only,
// and whatever the chunk's end cut short waits for the next.
class CodePageDecoder : public Decoder
{
public:
    explicit CodePageDecoder(unsigned int codePage) : m_codePage(codePage)
    {
        CPINFO info{};
        if (codePage == Gb18030CodePage)
        {
            m_shape = Shape::Gb18030;
        }
        else if (codePage == Utf7CodePage)
        {
            m_shape = Shape::Utf7;
        }
        else if (GetCPInfo(codePage, &info) && info.MaxCharSize == 2)
        {
            m_shape = Shape::DoubleByte;
        }
    }

    int GetChars(const uint8_t* bytes, int count, wchar_t* chars, bool flush) override
    {
        std::string data;
        data.swap(m_pending);
        data.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
        if (flush)
        {
            return Convert(m_codePage, data, chars);
        }
        bool cutInRun = false;
        size_t whole = WholeCharacters(reinterpret_cast<const uint8_t*>(data.data()), data.size(), cutInRun);
        m_pending.assign(data, whole, std::string::npos);
        data.resize(whole);
        if (cutInRun)
        {
            m_pending.insert(0, 1, '+'); // the held base64 goes on in the shifted state it was cut in
        }
        return Convert(m_codePage, data, chars);
    }

private:
    enum class Shape
    {
        SingleByte,
        DoubleByte,
        Gb18030,
        Utf7
    };

    // The length of the longest prefix that ends on a character boundary.
    // The bytes of the character at data, for the two-byte and GB18030 shapes; 0 when the rest does not tell yet.
    size_t CharacterLength(const uint8_t* data, size_t rest) const
    {
        if (m_shape == Shape::DoubleByte)
        {
            return IsDBCSLeadByteEx(m_codePage, data[0]) ? 2 : 1;
        }
        if (data[0] < 0x81 || data[0] > 0xFE)
        {
            return 1;
        }
        if (rest == 1)
        {
            return 0;
        }
        return data[1] >= '0' && data[1] <= '9' ? 4 : 2; // a digit second makes a four-byte sequence
    }

    // cutInRun tells that the prefix ends inside a UTF-7 base64 run.
    size_t WholeCharacters(const uint8_t* data, size_t size, bool& cutInRun) const
    {
        switch (m_shape)
        {
        case Shape::SingleByte:
            return size;
        case Shape::DoubleByte:
        case Shape::Gb18030:
        {
            // Lead and trail bytes overlap, so only a walk from a known boundary tells which a byte is.
            size_t i = 0;
            while (i < size)
            {
                size_t length = CharacterLength(data + i, size - i);
                if (length == 0 || i + length > size)
                {
                    return i;
                }
                i += length;
            }
            return i;
        }
        case Shape::Utf7:
        {
            // Outside a shifted run every byte stands alone; inside one, eight base64 bytes are exactly three
            // units. A run is cut only before more base64, so that what is held never starts with its end.
            size_t boundary = 0;
            bool shifted = false;
            size_t runStart = 0;
            for (size_t i = 0; i < size; i++)
            {
                if (!shifted)
                {
                    if (data[i] == '+')
                    {
                        shifted = true;
                        runStart = i + 1;
                    }
                    else
                    {
                        boundary = i + 1;
                        cutInRun = false;
                    }
                }
                else if (!IsBase64(data[i]))
                {
                    shifted = false;
                    boundary = i + 1;
                    cutInRun = false;
                }
                else if ((i + 1 - runStart) % 8 == 0 && i + 1 < size && IsBase64(data[i + 1]))
                {
                    boundary = i + 1;
                    cutInRun = true;
                }
            }
            return boundary;
        }
        }
        return size;
    }

    unsigned int m_codePage;
    Shape m_shape = Shape::SingleByte;
    std::string m_pending;
};

// --- EUC-JP and ISO-2022-JP over the platform's EUC-JP table ---
//
// Code page 20932 is EUC-JP except for JIS X 0212: where EUC-JP writes 8F, row | 80, cell | 80, the table
// writes row | 80, cell. Both conversions below go through the table's form.

bool IsEucByte(uint8_t byte)
{
    return byte >= 0xA1 && byte <= 0xFE;
}

// The character sets ISO-2022-JP switches between.
enum class Set
{
    Ascii,
    Katakana,
    Jis0208,
    Jis0212
};

// Collects the table's bytes and the replacement characters between them, in order.
class TableOutput
{
public:
    explicit TableOutput(wchar_t* chars) : m_chars(chars) {}

    void Byte(uint8_t byte) { m_bytes += static_cast<char>(byte); }

    void Replacement()
    {
        Flush();
        m_chars[m_count++] = ReplacementCharacter;
    }

    int Finish()
    {
        Flush();
        return m_count;
    }

private:
    void Flush()
    {
        m_count += Convert(EucJpTable, m_bytes, m_chars + m_count);
        m_bytes.clear();
    }

    wchar_t* m_chars;
    int m_count = 0;
    std::string m_bytes;
};

class EucJpDecoder : public Decoder
{
public:
    int GetChars(const uint8_t* bytes, int count, wchar_t* chars, bool flush) override
    {
        std::string data;
        data.swap(m_pending);
        data.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
        auto* p = reinterpret_cast<const uint8_t*>(data.data());
        size_t size = data.size();
        TableOutput output(chars);
        size_t i = 0;
        while (i < size)
        {
            uint8_t lead = p[i];
            size_t length = lead == 0x8F ? 3 : lead == 0x8E || IsEucByte(lead) ? 2 : 1;
            if (length == 1)
            {
                output.Byte(lead);
                i++;
                continue;
            }
            if (i + length > size)
            {
                // Only the chunk's end cut it short, unless what is there already cannot continue it.
                bool valid = true;
                for (size_t k = i + 1; k < size; k++)
                {
                    valid = valid && IsEucByte(p[k]);
                }
                if (valid)
                {
                    if (flush)
                    {
                        output.Replacement(); // the text ends inside it
                    }
                    else
                    {
                        m_pending.assign(data, i, std::string::npos);
                    }
                    break;
                }
            }
            size_t valid = 1;
            while (valid < length && i + valid < size && IsEucByte(p[i + valid]))
            {
                valid++;
            }
            if (valid < length)
            {
                output.Replacement(); // the lead alone; what follows it is read afresh
                i++;
                continue;
            }
            if (lead == 0x8F)
            {
                output.Byte(p[i + 1]);
                output.Byte(static_cast<uint8_t>(p[i + 2] & 0x7F));
            }
            else
            {
                output.Byte(lead);
                output.Byte(p[i + 1]);
            }
            i += length;
        }
        return output.Finish();
    }

private:
    std::string m_pending;
};

// ISO-2022-JP is seven-bit text whose escape sequences switch the character set; the state lasts across chunks.
class Iso2022JpDecoder : public Decoder
{
public:
    int GetChars(const uint8_t* bytes, int count, wchar_t* chars, bool flush) override
    {
        TableOutput output(chars);
        for (int i = 0; i < count; i++)
        {
            Take(bytes[i], output);
        }
        if (flush)
        {
            if (!m_escape.empty() || m_hasFirst)
            {
                output.Replacement();
            }
            m_escape.clear();
            m_hasFirst = false;
        }
        return output.Finish();
    }

private:
    void Take(uint8_t byte, TableOutput& output)
    {
        if (!m_escape.empty())
        {
            m_escape += static_cast<char>(byte);
            TakeEscape(output);
            return;
        }
        if (byte == 0x1B)
        {
            if (m_hasFirst)
            {
                output.Replacement();
                m_hasFirst = false;
            }
            m_escape.assign(1, static_cast<char>(0x1B));
            return;
        }
        if (byte == 0x0E || byte == 0x0F)
        {
            m_shiftedOut = byte == 0x0E; // SO and SI bracket half-width katakana in one of the variants
            return;
        }
        if (byte >= 0x80)
        {
            output.Replacement();
            return;
        }
        Set set = m_shiftedOut ? Set::Katakana : m_set;
        if (byte <= 0x20 || byte == 0x7F || set == Set::Ascii)
        {
            output.Byte(byte);
            return;
        }
        if (set == Set::Katakana)
        {
            if (byte <= 0x5F)
            {
                output.Byte(0x8E);
                output.Byte(static_cast<uint8_t>(byte | 0x80));
            }
            else
            {
                output.Replacement();
            }
            return;
        }
        if (!m_hasFirst)
        {
            m_first = byte;
            m_hasFirst = true;
            return;
        }
        m_hasFirst = false;
        output.Byte(static_cast<uint8_t>(m_first | 0x80));
        output.Byte(set == Set::Jis0208 ? static_cast<uint8_t>(byte | 0x80) : byte);
    }

    void TakeEscape(TableOutput& output)
    {
        static const std::pair<const char*, Set> Sequences[] = {
            {"\x1B(B", Set::Ascii},    {"\x1B(J", Set::Ascii},    {"\x1B(I", Set::Katakana},
            {"\x1B$@", Set::Jis0208},  {"\x1B$B", Set::Jis0208},  {"\x1B$(@", Set::Jis0208},
            {"\x1B$(B", Set::Jis0208}, {"\x1B$(D", Set::Jis0212}, {"\x1B&@", Set::Ascii},
        };
        bool prefix = false;
        for (const auto& [sequence, set] : Sequences)
        {
            std::string text(sequence);
            if (m_escape == text)
            {
                if (text != "\x1B&@") // announces a revision; the switch follows it
                {
                    m_set = set;
                }
                m_escape.clear();
                return;
            }
            prefix = prefix || text.compare(0, m_escape.size(), m_escape) == 0;
        }
        if (!prefix)
        {
            output.Replacement();
            std::string rest = m_escape.substr(1);
            m_escape.clear();
            for (char byte : rest)
            {
                Take(static_cast<uint8_t>(byte), output);
            }
        }
    }

    Set m_set = Set::Ascii;
    bool m_shiftedOut = false;
    std::string m_escape;
    uint8_t m_first = 0;
    bool m_hasFirst = false;
};

// Encodes through the table, then rewrites its bytes as EUC-JP or ISO-2022-JP.
class JapaneseEncoder : public Encoder
{
public:
    explicit JapaneseEncoder(JapaneseEncoding::Form form) : m_form(form), m_table(EucJpTable) {}

    int GetBytes(const wchar_t* chars, int count, uint8_t* bytes, bool flush) override
    {
        std::string table(static_cast<size_t>(count + 1) * 5, '\0');
        int length = m_table.GetBytes(chars, count, reinterpret_cast<uint8_t*>(table.data()), flush);
        auto* p = reinterpret_cast<const uint8_t*>(table.data());
        int n = 0;
        int i = 0;
        while (i < length)
        {
            uint8_t lead = p[i];
            bool pair = i + 1 < length && (lead == 0x8E || IsEucByte(lead));
            if (!pair)
            {
                n = Put(Set::Ascii, bytes, n);
                bytes[n++] = lead;
                i++;
                continue;
            }
            uint8_t trail = p[i + 1];
            i += 2;
            if (m_form == JapaneseEncoding::Form::Euc)
            {
                if (lead != 0x8E && trail < 0x80)
                {
                    bytes[n++] = 0x8F; // JIS X 0212 in its EUC-JP form
                    trail |= 0x80;
                }
                bytes[n++] = lead;
                bytes[n++] = trail;
            }
            else if (lead == 0x8E)
            {
                n = Put(Set::Katakana, bytes, n);
                bytes[n++] = static_cast<uint8_t>(trail & 0x7F);
            }
            else
            {
                n = Put(trail < 0x80 ? Set::Jis0212 : Set::Jis0208, bytes, n);
                bytes[n++] = static_cast<uint8_t>(lead & 0x7F);
                bytes[n++] = static_cast<uint8_t>(trail & 0x7F);
            }
        }
        if (flush)
        {
            n = Put(Set::Ascii, bytes, n); // the text ends in ASCII
        }
        return n;
    }

private:
    // Switches to set with its escape sequence when ISO-2022-JP is not in it already.
    int Put(Set set, uint8_t* bytes, int n)
    {
        if (m_form == JapaneseEncoding::Form::Euc || set == m_set)
        {
            return n;
        }
        static const char* const Escapes[] = {"\x1B(B", "\x1B(I", "\x1B$B", "\x1B$(D"};
        for (const char* p = Escapes[static_cast<int>(set)]; *p != 0; p++)
        {
            bytes[n++] = static_cast<uint8_t>(*p);
        }
        m_set = set;
        return n;
    }

    JapaneseEncoding::Form m_form;
    CodePageEncoder m_table;
    Set m_set = Set::Ascii;
};

struct NamedEncoding
{
    const wchar_t* name;
    unsigned int codePage;
};

// The names documents use: those registered with IANA and their usual aliases, for the code pages Windows
// converts. Stateful code pages other than ISO-2022-JP and UTF-7 are left out: they cannot be read in chunks.
constexpr NamedEncoding EncodingNames[] = {
    {L"us-ascii", 20127},
    {L"ascii", 20127},
    {L"us", 20127},
    {L"iso-ir-6", 20127},
    {L"ansi_x3.4-1968", 20127},
    {L"ansi_x3.4-1986", 20127},
    {L"iso_646.irv:1991", 20127},
    {L"iso646-us", 20127},
    {L"ibm367", 20127},
    {L"cp367", 20127},
    {L"csascii", 20127},
    {L"iso-8859-1", 28591},
    {L"iso_8859-1", 28591},
    {L"iso_8859-1:1987", 28591},
    {L"iso-ir-100", 28591},
    {L"latin1", 28591},
    {L"l1", 28591},
    {L"ibm819", 28591},
    {L"cp819", 28591},
    {L"csisolatin1", 28591},
    {L"iso-8859-2", 28592},
    {L"iso_8859-2", 28592},
    {L"iso_8859-2:1987", 28592},
    {L"iso-ir-101", 28592},
    {L"latin2", 28592},
    {L"l2", 28592},
    {L"csisolatin2", 28592},
    {L"iso-8859-3", 28593},
    {L"iso_8859-3", 28593},
    {L"iso_8859-3:1988", 28593},
    {L"iso-ir-109", 28593},
    {L"latin3", 28593},
    {L"l3", 28593},
    {L"csisolatin3", 28593},
    {L"iso-8859-4", 28594},
    {L"iso_8859-4", 28594},
    {L"iso_8859-4:1988", 28594},
    {L"iso-ir-110", 28594},
    {L"latin4", 28594},
    {L"l4", 28594},
    {L"csisolatin4", 28594},
    {L"iso-8859-5", 28595},
    {L"iso_8859-5", 28595},
    {L"iso_8859-5:1988", 28595},
    {L"iso-ir-144", 28595},
    {L"cyrillic", 28595},
    {L"csisolatincyrillic", 28595},
    {L"iso-8859-6", 28596},
    {L"iso_8859-6", 28596},
    {L"iso_8859-6:1987", 28596},
    {L"iso-ir-127", 28596},
    {L"arabic", 28596},
    {L"ecma-114", 28596},
    {L"csisolatinarabic", 28596},
    {L"iso-8859-7", 28597},
    {L"iso_8859-7", 28597},
    {L"iso_8859-7:1987", 28597},
    {L"iso-ir-126", 28597},
    {L"greek", 28597},
    {L"greek8", 28597},
    {L"elot_928", 28597},
    {L"ecma-118", 28597},
    {L"csisolatingreek", 28597},
    {L"iso-8859-8", 28598},
    {L"iso_8859-8", 28598},
    {L"iso_8859-8:1988", 28598},
    {L"iso-ir-138", 28598},
    {L"hebrew", 28598},
    {L"visual", 28598},
    {L"csisolatinhebrew", 28598},
    {L"iso-8859-8-i", 38598},
    {L"iso_8859-8-i", 38598},
    {L"logical", 38598},
    {L"csiso88598i", 38598},
    {L"iso-8859-9", 28599},
    {L"iso_8859-9", 28599},
    {L"iso_8859-9:1989", 28599},
    {L"iso-ir-148", 28599},
    {L"latin5", 28599},
    {L"l5", 28599},
    {L"csisolatin5", 28599},
    {L"iso-8859-13", 28603},
    {L"iso_8859-13", 28603},
    {L"iso-8859-15", 28605},
    {L"iso_8859-15", 28605},
    {L"latin-9", 28605},
    {L"latin9", 28605},
    {L"l9", 28605},
    {L"csisolatin9", 28605},
    {L"windows-874", 874},
    {L"dos-874", 874},
    {L"tis-620", 874},
    {L"iso-8859-11", 874},
    {L"windows-1250", 1250},
    {L"x-cp1250", 1250},
    {L"cp1250", 1250},
    {L"windows-1251", 1251},
    {L"x-cp1251", 1251},
    {L"cp1251", 1251},
    {L"windows-1252", 1252},
    {L"cp1252", 1252},
    {L"x-ansi", 1252},
    {L"windows-1253", 1253},
    {L"cp1253", 1253},
    {L"windows-1254", 1254},
    {L"cp1254", 1254},
    {L"windows-1255", 1255},
    {L"cp1255", 1255},
    {L"windows-1256", 1256},
    {L"cp1256", 1256},
    {L"windows-1257", 1257},
    {L"cp1257", 1257},
    {L"windows-1258", 1258},
    {L"cp1258", 1258},
    {L"koi8-r", 20866},
    {L"koi8r", 20866},
    {L"koi8", 20866},
    {L"koi", 20866},
    {L"cskoi8r", 20866},
    {L"koi8-u", 21866},
    {L"koi8-ru", 21866},
    {L"ibm437", 437},
    {L"cp437", 437},
    {L"437", 437},
    {L"cspc8codepage437", 437},
    {L"asmo-708", 708},
    {L"dos-720", 720},
    {L"ibm737", 737},
    {L"ibm775", 775},
    {L"cp775", 775},
    {L"cspc775baltic", 775},
    {L"ibm850", 850},
    {L"cp850", 850},
    {L"850", 850},
    {L"cspc850multilingual", 850},
    {L"ibm852", 852},
    {L"cp852", 852},
    {L"cspcp852", 852},
    {L"ibm855", 855},
    {L"cp855", 855},
    {L"csibm855", 855},
    {L"ibm857", 857},
    {L"cp857", 857},
    {L"csibm857", 857},
    {L"ibm00858", 858},
    {L"ccsid00858", 858},
    {L"cp00858", 858},
    {L"pc-multilingual-850+euro", 858},
    {L"ibm860", 860},
    {L"cp860", 860},
    {L"csibm860", 860},
    {L"ibm861", 861},
    {L"cp861", 861},
    {L"cp-is", 861},
    {L"csibm861", 861},
    {L"dos-862", 862},
    {L"ibm862", 862},
    {L"cp862", 862},
    {L"cspc862latinhebrew", 862},
    {L"ibm863", 863},
    {L"cp863", 863},
    {L"csibm863", 863},
    {L"ibm864", 864},
    {L"cp864", 864},
    {L"csibm864", 864},
    {L"ibm865", 865},
    {L"cp865", 865},
    {L"csibm865", 865},
    {L"cp866", 866},
    {L"ibm866", 866},
    {L"csibm866", 866},
    {L"ibm869", 869},
    {L"cp869", 869},
    {L"cp-gr", 869},
    {L"csibm869", 869},
    {L"ibm037", 37},
    {L"cp037", 37},
    {L"csibm037", 37},
    {L"ebcdic-cp-us", 37},
    {L"ebcdic-cp-ca", 37},
    {L"ebcdic-cp-wt", 37},
    {L"ebcdic-cp-nl", 37},
    {L"ibm500", 500},
    {L"cp500", 500},
    {L"csibm500", 500},
    {L"ebcdic-cp-be", 500},
    {L"ebcdic-cp-ch", 500},
    {L"ibm870", 870},
    {L"cp870", 870},
    {L"csibm870", 870},
    {L"ebcdic-cp-roece", 870},
    {L"ebcdic-cp-yu", 870},
    {L"cp875", 875},
    {L"ibm1026", 1026},
    {L"cp1026", 1026},
    {L"csibm1026", 1026},
    {L"ibm01047", 1047},
    {L"ibm01140", 1140},
    {L"ibm01141", 1141},
    {L"ibm01142", 1142},
    {L"ibm01143", 1143},
    {L"ibm01144", 1144},
    {L"ibm01145", 1145},
    {L"ibm01146", 1146},
    {L"ibm01147", 1147},
    {L"ibm01148", 1148},
    {L"ibm01149", 1149},
    {L"ibm273", 20273},
    {L"cp273", 20273},
    {L"ibm277", 20277},
    {L"ibm278", 20278},
    {L"ibm280", 20280},
    {L"ibm284", 20284},
    {L"ibm285", 20285},
    {L"ibm290", 20290},
    {L"ibm297", 20297},
    {L"ibm420", 20420},
    {L"ibm423", 20423},
    {L"ibm424", 20424},
    {L"ibm-thai", 20838},
    {L"ibm871", 20871},
    {L"ibm880", 20880},
    {L"ibm905", 20905},
    {L"ibm00924", 20924},
    {L"cp1025", 21025},
    {L"macintosh", 10000},
    {L"mac", 10000},
    {L"csmacintosh", 10000},
    {L"x-mac-roman", 10000},
    {L"x-mac-japanese", 10001},
    {L"x-mac-chinesetrad", 10002},
    {L"x-mac-korean", 10003},
    {L"x-mac-arabic", 10004},
    {L"x-mac-hebrew", 10005},
    {L"x-mac-greek", 10006},
    {L"x-mac-cyrillic", 10007},
    {L"x-mac-chinesesimp", 10008},
    {L"x-mac-romanian", 10010},
    {L"x-mac-ukrainian", 10017},
    {L"x-mac-thai", 10021},
    {L"x-mac-ce", 10029},
    {L"x-mac-icelandic", 10079},
    {L"x-mac-turkish", 10081},
    {L"x-mac-croatian", 10082},
    {L"shift_jis", 932},
    {L"shift-jis", 932},
    {L"sjis", 932},
    {L"ms_kanji", 932},
    {L"csshiftjis", 932},
    {L"windows-31j", 932},
    {L"cswindows31j", 932},
    {L"x-sjis", 932},
    {L"x-ms-cp932", 932},
    {L"cp932", 932},
    {L"gb2312", 936},
    {L"gbk", 936},
    {L"cp936", 936},
    {L"ms936", 936},
    {L"windows-936", 936},
    {L"x-gbk", 936},
    {L"gb_2312-80", 936},
    {L"iso-ir-58", 936},
    {L"chinese", 936},
    {L"csgb2312", 936},
    {L"csgb231280", 936},
    {L"csiso58gb231280", 936},
    {L"euc-cn", 936}, // GBK is a superset of EUC-CN
    {L"x-euc-cn", 936},
    {L"gb18030", 54936},
    {L"ks_c_5601-1987", 949},
    {L"ks_c_5601", 949},
    {L"ks_c_5601-1989", 949},
    {L"ks_c_5601_1987", 949},
    {L"ksc5601", 949},
    {L"ksc_5601", 949},
    {L"korean", 949},
    {L"iso-ir-149", 949},
    {L"csksc56011987", 949},
    {L"cp949", 949},
    {L"windows-949", 949},
    {L"uhc", 949},
    {L"euc-kr", 949}, // the unified Hangul code page is a superset of EUC-KR
    {L"cseuckr", 949},
    {L"big5", 950},
    {L"big5-hkscs", 950},
    {L"cn-big5", 950},
    {L"csbig5", 950},
    {L"x-x-big5", 950},
    {L"cp950", 950},
    {L"johab", 1361},
    {L"x-cp20936", 20936},
    {L"x-cp20949", 20949},
    {L"utf-7", Utf7CodePage},
    {L"unicode-1-1-utf-7", Utf7CodePage},
    {L"unicode-2-0-utf-7", Utf7CodePage},
    {L"csunicode11utf7", Utf7CodePage},
    {L"x-unicode-1-1-utf-7", Utf7CodePage},
    {L"x-unicode-2-0-utf-7", Utf7CodePage},
};

const wchar_t* const EucJpNames[] = {
    L"euc-jp",
    L"eucjp",
    L"x-euc-jp",
    L"x-euc",
    L"cseucpkdfmtjapanese",
    L"extended_unix_code_packed_format_for_japanese",
};
const wchar_t* const Iso2022JpNames[] = {L"iso-2022-jp", L"csiso2022jp", L"_iso-2022-jp"};
const wchar_t* const Utf8Names[] = {L"utf-8", L"utf8", L"unicode-1-1-utf-8", L"unicode-2-0-utf-8", L"x-unicode20utf8"};
const wchar_t* const Utf16LittleEndianNames[] = {L"utf-16", L"utf-16le",        L"unicode",
                                                 L"ucs-2",  L"iso-10646-ucs-2", L"csunicode"};
const wchar_t* const Utf16BigEndianNames[] = {L"utf-16be", L"unicodefffe"};

template <size_t N> bool IsOneOf(const String& lower, const wchar_t* const (&names)[N])
{
    for (const wchar_t* name : names)
    {
        if (lower == String(name))
        {
            return true;
        }
    }
    return false;
}

// Each code page of the table once, in order of first appearance.
constexpr size_t DistinctCodePageCount()
{
    size_t count = 0;
    for (size_t i = 0; i < std::size(EncodingNames); i++)
    {
        bool first = true;
        for (size_t j = 0; j < i; j++)
        {
            first = first && EncodingNames[j].codePage != EncodingNames[i].codePage;
        }
        count += first ? 1 : 0;
    }
    return count;
}

constexpr std::array<unsigned int, DistinctCodePageCount()> DistinctCodePages()
{
    std::array<unsigned int, DistinctCodePageCount()> pages{};
    size_t count = 0;
    for (const NamedEncoding& entry : EncodingNames)
    {
        bool seen = false;
        for (size_t j = 0; j < count; j++)
        {
            seen = seen || pages[j] == entry.codePage;
        }
        if (!seen)
        {
            pages[count++] = entry.codePage;
        }
    }
    return pages;
}

constexpr auto KnownCodePages = DistinctCodePages();

template <size_t... I> std::array<CodePageEncoding, sizeof...(I)> MakeEncodings(std::index_sequence<I...>)
{
    return {CodePageEncoding(KnownCodePages[I])...};
}

} // namespace

const Encoding* Encoding::GetEncoding(const String& name)
{
    String lower = name.ToLower();
    if (IsOneOf(lower, Utf8Names))
    {
        return UTF8();
    }
    if (IsOneOf(lower, Utf16LittleEndianNames))
    {
        return UTF16LittleEndian();
    }
    if (IsOneOf(lower, Utf16BigEndianNames))
    {
        return UTF16BigEndian();
    }
    static const JapaneseEncoding eucJp(JapaneseEncoding::Form::Euc);
    static const JapaneseEncoding iso2022Jp(JapaneseEncoding::Form::Iso2022);
    if (IsOneOf(lower, EucJpNames) || IsOneOf(lower, Iso2022JpNames))
    {
        if (!IsValidCodePage(EucJpTable))
        {
            return nullptr;
        }
        return IsOneOf(lower, EucJpNames) ? &eucJp : &iso2022Jp;
    }
    // One shared object per code page, made once in static storage; they hold nothing but the number.
    static const auto encodings = MakeEncodings(std::make_index_sequence<KnownCodePages.size()>());
    for (const NamedEncoding& entry : EncodingNames)
    {
        if (lower != String(entry.name))
        {
            continue;
        }
        if (!IsValidCodePage(entry.codePage))
        {
            return nullptr;
        }
        for (const CodePageEncoding& encoding : encodings)
        {
            if (encoding.GetCodePage() == static_cast<int>(entry.codePage))
            {
                return &encoding;
            }
        }
    }
    return nullptr;
}

CodePageEncoding::CodePageEncoding(unsigned int codePage) : m_codePage(codePage) {}

int CodePageEncoding::GetMaxByteCount(int charCount) const
{
    return (charCount + 1) * 5;
}

int CodePageEncoding::GetMaxCharCount(int byteCount) const
{
    // A held UTF-7 run comes back with up to eight bytes more, a held lead or GB18030 start with up to three.
    return byteCount + 10;
}

Encoder* CodePageEncoding::CreateEncoder() const
{
    return new CodePageEncoder(m_codePage);
}

Decoder* CodePageEncoding::CreateDecoder() const
{
    return new CodePageDecoder(m_codePage);
}

int JapaneseEncoding::GetMaxByteCount(int charCount) const
{
    // ISO-2022-JP: a four-byte escape before each two-byte character, and the return to ASCII at the end.
    return (charCount + 1) * 6 + 3;
}

int JapaneseEncoding::GetMaxCharCount(int byteCount) const
{
    return byteCount + 4;
}

Encoder* JapaneseEncoding::CreateEncoder() const
{
    return new JapaneseEncoder(m_form);
}

Decoder* JapaneseEncoding::CreateDecoder() const
{
    if (m_form == Form::Euc)
    {
        return new EucJpDecoder();
    }
    return new Iso2022JpDecoder();
}

} // namespace Core::IO
