#include "core/xml/XmlTextWriter.h"

#include "core/io/FileStream.h"
#include "core/xml/XmlCharacters.h"
#include "core/xml/XmlPlainText.h"

#include <cstring>
#include <cwchar>
#include <emmintrin.h>

namespace Core::Xml
{

namespace
{

bool Contains(const String& text, const wchar_t* part)
{
    return text.IndexOf(part) >= 0;
}

bool IsValidName(const String& name)
{
    if (name.IsEmpty() || !Characters::IsNameStart(name[0]))
    {
        return false;
    }
    for (int i = 1; i < name.GetLength(); i++)
    {
        if (!Characters::IsNameChar(name[i]))
        {
            return false;
        }
    }
    return true;
}

// A line end and the tabs of the usual indentation depths, written as one piece.
constexpr char LineAndTabs[] = "\r\n\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
constexpr int TabsAvailable = static_cast<int>(sizeof(LineAndTabs)) - 3;
// Element names up to this length take the one-piece paths for start and end tags.
constexpr int PlainNameLimit = 256;

// A line end and indent tabs (at most TabsAvailable): the whole constant is copied, and what follows the
// wanted units is overwritten by the rest of the tag. The target needs room for all of it.
__attribute__((always_inline)) inline void CopyLineAndTabs(uint8_t* out)
{
    static_assert(sizeof(LineAndTabs) == 33, "two blocks");
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(LineAndTabs)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(LineAndTabs + 16)));
}

// Room CopyLineAndTabs needs beyond the bytes it is asked for.
constexpr int LineAndTabsSpare = 30;

// Narrows a name on trust into room with eight bytes to spare and tells whether it was all ASCII.
__attribute__((always_inline)) inline bool NarrowName(uint8_t* out, const wchar_t* name, int length)
{
    if (length <= 8 && BlockInPage(name))
    {
        __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(name));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
        int wide = _mm_movemask_epi8(
            _mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80))), _mm_setzero_si128()));
        return ((wide | (0xFFFF << (2 * length))) & 0xFFFF) == 0xFFFF;
    }
    return NarrowAscii(out, name, length);
}

} // namespace

// Slots of closed elements are reused: documents open and close millions of elements at a few depths.
void XmlTextWriter::AddElementSlot()
{
    m_elements.Add(ElementScope());
    m_scopes = &m_elements[0];
}

inline XmlTextWriter::ElementScope& XmlTextWriter::PushElement()
{
    if (m_depth == m_elements.GetCount())
    {
        AddElementSlot();
    }
    ElementScope& scope = m_scopes[m_depth];
    // A child inherits xml:space, xml:lang and whether the content is mixed (then nothing is indented).
    scope.inherited = m_depth > 0 ? m_scopes[m_depth - 1].inherited : Inherited();
    m_depth++;
    return scope;
}

XmlTextWriter::XmlTextWriter(IO::Stream* stream, const IO::Encoding* encoding)
    : m_writer(nullptr), m_stream(nullptr), m_ownsStream(false), m_elements(16), m_namespaces(&m_nameTable),
      m_xmlnsPrefix(L"xmlns")
{
    InternNames();
    Initialise(stream, encoding);
}

XmlTextWriter::XmlTextWriter(IO::Stream* stream, const IO::Encoding* encoding, int bufferSize)
    : m_writer(nullptr), m_stream(nullptr), m_ownsStream(false), m_elements(16), m_namespaces(&m_nameTable),
      m_xmlnsPrefix(L"xmlns")
{
    InternNames();
    Initialise(stream, encoding, bufferSize);
}

XmlTextWriter::XmlTextWriter(const String& fileName, const IO::Encoding* encoding)
    : m_writer(nullptr), m_stream(nullptr), m_ownsStream(true), m_elements(16), m_namespaces(&m_nameTable),
      m_xmlnsPrefix(L"xmlns")
{
    InternNames();
    m_stream = new IO::FileStream(fileName, IO::FileMode::Create, IO::FileAccess::Write, IO::FileShare::None, 4096);
    try
    {
        Initialise(m_stream, encoding);
    }
    catch (...)
    {
        delete m_stream;
        throw;
    }
}

void XmlTextWriter::InternNames()
{
    m_emptyName = &m_nameTable.Add(String());
    m_xmlPrefix = Intern(String(L"xml"));
    m_xmlNamespace = Intern(String(XmlNamespaceManager::XmlNamespace));
    m_xmlnsNamespace = Intern(String(XmlNamespaceManager::XmlnsNamespace));
    m_spaceName = Intern(String(L"space"));
    m_langName = Intern(String(L"lang"));
}

void XmlTextWriter::Initialise(IO::Stream* stream, const IO::Encoding* encoding, int bufferSize)
{
    m_writer = new IO::StreamWriter(stream, encoding, bufferSize, m_ownsStream);
    m_lendSize = m_writer->GetBufferSize() < LendSize ? m_writer->GetBufferSize() : LendSize;
    m_start = m_cursor = m_limit = m_own;
}

XmlTextWriter::~XmlTextWriter()
{
    try
    {
        // What is still buffered here and in the stream writer goes to the stream; the stream goes after it.
        FlushOutput();
    }
    catch (...)
    {
    }
    try
    {
        delete m_writer;
    }
    catch (...)
    {
    }
    if (m_ownsStream)
    {
        delete m_stream;
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Settings

void XmlTextWriter::SetFormatting(Xml::Formatting formatting)
{
    m_formatting = formatting.GetValue();
}

void XmlTextWriter::SetIndentation(int indentation)
{
    if (indentation < 0)
    {
        throw ArgumentException();
    }
    m_indentation = indentation;
}

void XmlTextWriter::SetQuoteChar(wchar_t quoteChar)
{
    if (quoteChar != L'"' && quoteChar != L'\'')
    {
        throw ArgumentException();
    }
    m_quoteChar = quoteChar;
}

void XmlTextWriter::SetNamespaces(bool namespaces)
{
    if (m_state != Xml::WriteState::Start)
    {
        throw InvalidOperationException();
    }
    m_namespacesOn = namespaces;
}

Xml::XmlSpace XmlTextWriter::GetXmlSpace() const
{
    return static_cast<Xml::XmlSpace::Value>(m_depth > 0 ? Top().inherited.xmlSpace : Xml::XmlSpace::None);
}

String XmlTextWriter::GetXmlLang() const
{
    return m_depth > 0 && Top().inherited.xmlLang != nullptr ? *Top().inherited.xmlLang : String();
}

String XmlTextWriter::LookupPrefix(const String& namespaceURI) const
{
    return m_namespaces.LookupPrefix(namespaceURI);
}

// ---------------------------------------------------------------------------------------------------------------
// Helpers

template <typename Step> inline void XmlTextWriter::Guarded(Step step)
{
    try
    {
        step();
    }
    catch (...)
    {
        m_state = Xml::WriteState::Error;
        throw;
    }
}

// The state rule shared by text, entity references and binary text.
void XmlTextWriter::CheckTextState() const
{
    switch (m_state)
    {
    case Xml::WriteState::Start:
    case Xml::WriteState::Prolog:
        if (m_declarationWritten)
        {
            throw InvalidOperationException();
        }
        break;
    case Xml::WriteState::Content:
        if (m_declarationWritten && m_rootClosed)
        {
            throw InvalidOperationException();
        }
        break;
    case Xml::WriteState::Element:
    case Xml::WriteState::Attribute:
        break;
    default:
        throw InvalidOperationException();
    }
}

// Moves into content for text; inside an attribute value nothing changes.
void XmlTextWriter::EnterTextState()
{
    if (m_state == Xml::WriteState::Attribute)
    {
        return;
    }
    if (m_state == Xml::WriteState::Element)
    {
        CloseStartTag();
    }
    m_state = Xml::WriteState::Content;
    if (m_depth > 0)
    {
        Top().inherited.hasTextContent = true;
    }
}

// Ends a pending attribute and the open start tag with ">".
void XmlTextWriter::BeginMarkupNode()
{
    if (m_state == Xml::WriteState::Element || m_state == Xml::WriteState::Attribute)
    {
        CloseStartTag();
    }
    if (m_formatting == Xml::Formatting::Indented && m_state != Xml::WriteState::Start)
    {
        Indent(false);
    }
    if (m_state == Xml::WriteState::Start)
    {
        m_state = Xml::WriteState::Prolog;
    }
}

void XmlTextWriter::CloseStartTag()
{
    if (m_state == Xml::WriteState::Attribute)
    {
        EndAttribute();
    }
    WritePendingDeclarations();
    Emit(L'>');
    m_state = Xml::WriteState::Content;
}

void XmlTextWriter::WriteDeclarations()
{
    for (int i = 0; i < m_pending.GetCount(); i++)
    {
        const Declaration& declaration = m_pending[i];
        bool explicitlyDeclared = false;
        for (int j = 0; j < m_declaredInTag.GetCount(); j++)
        {
            explicitlyDeclared = explicitlyDeclared || m_declaredInTag[j] == declaration.prefix;
        }
        if (explicitlyDeclared)
        {
            continue;
        }
        Emit(L' ');
        Emit(m_xmlnsPrefix);
        if (!declaration.prefix->IsEmpty())
        {
            Emit(L':');
            Emit(*declaration.prefix);
        }
        Emit(L'=');
        Emit(m_quoteChar);
        WriteEscaped(declaration.uri->GetBuffer(), declaration.uri->GetLength(), true);
        Emit(m_quoteChar);
    }
    if (m_pending.GetCount() > 0)
    {
        m_pending.RemoveRange(0, m_pending.GetCount());
    }
    if (m_declaredInTag.GetCount() > 0)
    {
        m_declaredInTag.RemoveRange(0, m_declaredInTag.GetCount());
    }
}

inline void XmlTextWriter::Indent(bool beforeEndTag)
{
    int count = m_depth;
    if (count == 0)
    {
        Emit(L"\r\n", 2);
        return;
    }
    if (Top().inherited.hasTextContent)
    {
        return;
    }
    int depth = beforeEndTag ? count - 1 : count;
    int indent = depth * m_indentation;
    // The line end and the usual tab indentation go out in one piece.
    if (m_indentChar == L'\t' && indent <= TabsAvailable)
    {
        CopyLineAndTabs(Reserve(2 + indent + LineAndTabsSpare));
        m_cursor += 2 + indent;
        return;
    }
    Emit(L"\r\n", 2);
    for (int i = indent; i > 0; i--)
    {
        Emit(m_indentChar);
    }
}

int XmlTextWriter::CharacterReference(unsigned code, wchar_t* text)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    int length = 0;
    text[length++] = L'&';
    text[length++] = L'#';
    text[length++] = L'x';
    int shift = 12;
    while (shift > 0 && ((code >> shift) & 0xF) == 0)
    {
        shift -= 4;
    }
    for (; shift >= 0; shift -= 4)
    {
        text[length++] = digits[(code >> shift) & 0xF];
    }
    text[length++] = L';';
    return length;
}

// Escapes markup characters, control characters and the two non-characters U+FFFE and U+FFFF; inside an
// attribute value also line ends and the delimiting quote.
using Detail::CopyPlain;
using Detail::PlainScan;

namespace
{

// The entity for a unit that has one where it stands, or null.
const wchar_t* Entity(wchar_t ch, bool inAttribute, wchar_t quote, int& length)
{
    switch (ch)
    {
    case L'&':
        length = 5;
        return L"&amp;";
    case L'<':
        length = 4;
        return L"&lt;";
    case L'>':
        length = 4;
        return L"&gt;";
    case L'"':
        length = 6;
        return inAttribute && quote == L'"' ? L"&quot;" : nullptr;
    case L'\'':
        length = 6;
        return inAttribute && quote == L'\'' ? L"&apos;" : nullptr;
    default:
        return nullptr;
    }
}

// Whether a unit may stand as it is (after the entities): tabs, line ends outside attribute values, and
// everything from the space on except U+FFFE and U+FFFF, which become character references.
bool KeptAsItIs(wchar_t ch, bool inAttribute)
{
    return ch < 0x20 ? ch == L'\t' || ((ch == L'\n' || ch == L'\r') && !inAttribute) : ch < 0xFFFE;
}

} // namespace

inline void XmlTextWriter::WriteEscaped(const wchar_t* text, int length, bool inAttribute)
{
    // A short ASCII text with nothing to escape, the usual value, is one block, looked at and narrowed without
    // the loop of the general path: the constants that loop keeps in registers would have to be saved and
    // restored on every call.
    if (length <= 8 && m_limit - m_cursor >= 8 && BlockInPage(text))
    {
        __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
        int plain = PlainScan(inAttribute ? m_quoteChar : L'&', 0x80).Mask(units) | (0xFFFF << (2 * length));
        if ((plain & 0xFFFF) == 0xFFFF)
        {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(m_cursor), _mm_packus_epi16(units, units));
            m_cursor += length;
            return;
        }
    }
    WriteEscapedRuns(text, length, inAttribute);
}

void XmlTextWriter::WriteEscapedRuns(const wchar_t* text, int length, bool inAttribute)
{
    const PlainScan scan(inAttribute ? m_quoteChar : L'&', 0x80);
    int i = 0;
    while (i < length)
    {
        // Plain units go through the room in pieces that leave it a block to spare.
        int room = static_cast<int>(m_limit - m_cursor) - 8;
        if (room < 64)
        {
            Refill(64 + 8);
            room = static_cast<int>(m_limit - m_cursor) - 8;
        }
        int end = length - i <= room ? length : i + room;
        int plain = CopyPlain(m_cursor, text + i, end - i, scan);
        m_cursor += plain;
        i += plain;
        if (i == end)
        {
            continue;
        }
        wchar_t ch = text[i];
        if (ch >= 0x80)
        {
            WriteEscapedUnits(text + i, length - i, inAttribute);
            return;
        }
        int entityLength = 0;
        const wchar_t* entity = Entity(ch, inAttribute, m_quoteChar, entityLength);
        if (entity != nullptr)
        {
            Emit(entity, entityLength);
        }
        else if (KeptAsItIs(ch, inAttribute))
        {
            // Stopped the scan but stays as it is: line ends and tabs in text, quotes that are not the delimiter.
            Emit(ch);
        }
        else
        {
            wchar_t reference[16];
            Emit(reference, CharacterReference(ch, reference));
        }
        i++;
    }
}

// Plain runs go to the stream writer straight from the text; the stream writer encodes them.
void XmlTextWriter::WriteEscapedUnits(const wchar_t* text, int length, bool inAttribute)
{
    FlushOutput();
    const PlainScan scan(inAttribute ? m_quoteChar : L'&');
    int i = 0;
    while (i < length)
    {
        int plain = PlainLength(text + i, length - i, scan);
        if (plain > 0)
        {
            m_writer->Write(text + i, plain);
            i += plain;
            if (i == length)
            {
                break;
            }
        }
        wchar_t ch = text[i];
        int entityLength = 0;
        const wchar_t* entity = Entity(ch, inAttribute, m_quoteChar, entityLength);
        if (ch >= 0xD800 && ch <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        {
            // A surrogate pair goes out in one piece. A high surrogate without its partner goes out alone below,
            // so the unit after it is still escaped.
            m_writer->Write(text + i, 2);
            i += 2;
            continue;
        }
        if (entity != nullptr)
        {
            m_writer->Write(entity, entityLength);
        }
        else if (KeptAsItIs(ch, inAttribute))
        {
            m_writer->Write(ch);
        }
        else
        {
            wchar_t reference[16];
            m_writer->Write(reference, CharacterReference(ch, reference));
        }
        i++;
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Document

void XmlTextWriter::WriteStartDocument()
{
    WriteDeclaration(-1);
}

void XmlTextWriter::WriteStartDocument(bool standalone)
{
    WriteDeclaration(standalone ? 1 : 0);
}

void XmlTextWriter::WriteDeclaration(int standalone)
{
    if (m_state != Xml::WriteState::Start)
    {
        throw InvalidOperationException();
    }
    Guarded(
        [&]
        {
            m_declarationWritten = true;
            m_state = Xml::WriteState::Prolog;
            Put("<?xml version=");
            Emit(m_quoteChar);
            Put("1.0");
            Emit(m_quoteChar);
            if (standalone >= 0)
            {
                Put(" standalone=");
                Emit(m_quoteChar);
                if (standalone != 0)
                {
                    Put("yes");
                }
                else
                {
                    Put("no");
                }
                Emit(m_quoteChar);
            }
            Put("?>");
        });
}

void XmlTextWriter::WriteEndDocument()
{
    CheckWritable();
    while (m_depth > 0)
    {
        WriteEndElement();
    }
    if (!m_declarationWritten || !m_rootStarted || !m_rootClosed)
    {
        throw ArgumentException();
    }
    m_state = Xml::WriteState::Start;
    m_declarationWritten = false;
    m_rootStarted = false;
    m_rootClosed = false;
}

void XmlTextWriter::WriteDocType(const String& name, const String& publicId, const String& systemId,
                                 const String& subset)
{
    if ((m_state != Xml::WriteState::Start && m_state != Xml::WriteState::Prolog) || m_rootStarted)
    {
        throw InvalidOperationException();
    }
    if (!IsValidName(name))
    {
        throw ArgumentException();
    }
    Guarded(
        [&]
        {
            if (m_formatting == Xml::Formatting::Indented && m_state != Xml::WriteState::Start)
            {
                Indent(false);
            }
            m_state = Xml::WriteState::Prolog;
            Put("<!DOCTYPE ");
            Emit(name);
            if (!publicId.IsEmpty())
            {
                Put(" PUBLIC ");
                Emit(m_quoteChar);
                Emit(publicId);
                Emit(m_quoteChar);
                Emit(L' ');
                Emit(m_quoteChar);
                Emit(systemId);
                Emit(m_quoteChar);
            }
            else if (!systemId.IsEmpty())
            {
                Put(" SYSTEM ");
                Emit(m_quoteChar);
                Emit(systemId);
                Emit(m_quoteChar);
            }
            if (!subset.IsEmpty())
            {
                Put(" [");
                Emit(subset);
                Emit(L']');
            }
            Emit(L'>');
        });
}

void XmlTextWriter::WriteProcessingInstruction(const String& name, const String& text)
{
    CheckWritable();
    if (!IsValidName(name) || Contains(text, L"?>"))
    {
        throw ArgumentException();
    }
    bool declaration = name.ToLower() == String(L"xml");
    if (declaration && m_state != Xml::WriteState::Start)
    {
        throw InvalidOperationException();
    }
    Guarded(
        [&]
        {
            BeginMarkupNode();
            if (declaration)
            {
                m_declarationWritten = true;
            }
            Put("<?");
            Emit(name);
            if (!text.IsEmpty())
            {
                Emit(L' ');
                Emit(text);
            }
            Put("?>");
        });
}

// ---------------------------------------------------------------------------------------------------------------
// Elements

void XmlTextWriter::WriteStartElement(const String& localName, const String& namespaceURI)
{
    WriteStartElement(String::Empty, localName, namespaceURI);
}

// The usual element, without prefix and namespace, inside an open element and with no declarations pending:
// the end of the parent's start tag, the indentation and the new start tag go out as one piece. Returns false,
// having changed nothing, when the general path has to decide.
inline bool XmlTextWriter::StartPlainElement(const String& localName)
{
    int nameLength = localName.GetLength();
    if ((m_state != Xml::WriteState::Element && m_state != Xml::WriteState::Content) || m_depth == 0 ||
        m_pending.GetCount() != 0 || m_declaredInTag.GetCount() != 0 || nameLength > PlainNameLimit)
    {
        return false;
    }
    int indent =
        m_formatting == Xml::Formatting::Indented && !Top().inherited.hasTextContent ? m_depth * m_indentation : -1;
    if (indent >= 0 && (m_indentChar != L'\t' || indent > TabsAvailable))
    {
        return false;
    }
    // A short ASCII name, the usual one, is narrowed once; its bytes tell whether the slot this element takes
    // last held an element of the same name (most often it did) and are kept there for the end tag.
    const wchar_t* units = localName.GetBuffer();
    uint64_t shortName = 0;
    int shortLength = 0;
    if (nameLength > 0 && nameLength <= 8 && BlockInPage(units))
    {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
        int ascii = _mm_movemask_epi8(
            _mm_cmpeq_epi16(_mm_and_si128(block, _mm_set1_epi16(static_cast<short>(0xFF80))), _mm_setzero_si128()));
        if (((ascii | (0xFFFF << (2 * nameLength))) & 0xFFFF) == 0xFFFF)
        {
            uint64_t bytes = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(block, block)));
            shortName = nameLength == 8 ? bytes : bytes & ((uint64_t(1) << (8 * nameLength)) - 1);
            shortLength = nameLength;
        }
    }
    const ElementScope* slot = m_depth < m_elements.GetCount() ? &m_scopes[m_depth] : nullptr;
    const String* name;
    // The slot held an element of this name written here, so without prefix and namespace: it needs no change.
    bool sameAsSlot =
        shortLength > 0 && slot != nullptr && slot->shortLength == shortLength && slot->shortName == shortName;
    if (sameAsSlot)
    {
        name = slot->localName;
    }
    else
    {
        name = slot != nullptr ? slot->localName : nullptr;
        if (name == nullptr || name->GetLength() != nameLength ||
            !CharactersEqual(name->GetBuffer(), units, nameLength))
        {
            name = Intern(localName);
        }
    }
    bool ascii = true;
    Guarded([&]() __attribute__((always_inline)) {
        bool closeStartTag = m_state == Xml::WriteState::Element;
        int length = (closeStartTag ? 1 : 0) + (indent >= 0 ? 2 + indent : 0) + 1 + nameLength;
        uint8_t* out = Reserve(length + LineAndTabsSpare + 8);
        if (closeStartTag)
        {
            *out++ = '>';
        }
        if (indent >= 0)
        {
            CopyLineAndTabs(out);
            out += 2 + indent;
        }
        *out++ = '<';
        if (shortLength > 0)
        {
            std::memcpy(out, &shortName, 8);
        }
        else if (!NarrowName(out, units, nameLength))
        {
            ascii = false;
            return;
        }
        m_cursor += length;
        ElementScope& scope = PushElement();
        if (!sameAsSlot)
        {
            scope.prefix = m_emptyName;
            scope.localName = name;
            scope.namespaceURI = m_emptyName;
            scope.shortName = shortName;
            scope.shortLength = shortLength;
        }
        m_namespaces.PushScope();
        m_state = Xml::WriteState::Element;
    });
    return ascii;
}

// The general path is a function of its own: the registers it needs would otherwise be saved and restored
// for every element.
void XmlTextWriter::WriteStartElement(const String& prefix, const String& localName, const String& namespaceURI)
{
    if (prefix.IsEmpty() && namespaceURI.IsEmpty() && StartPlainElement(localName))
    {
        return;
    }
    StartElement(prefix, localName, namespaceURI);
}

void XmlTextWriter::StartElement(const String& prefix, const String& localName, const String& namespaceURI)
{
    CheckWritable();
    if (m_rootClosed)
    {
        throw InvalidOperationException();
    }
    const String* usedPrefix = m_emptyName;
    bool declare = false;
    // An element without prefix and namespace, the usual case, needs none of the namespace checks.
    if (prefix.IsEmpty() && namespaceURI.IsEmpty())
    {
    }
    else if (!m_namespacesOn)
    {
        throw ArgumentException();
    }
    else
    {
        usedPrefix = Intern(prefix);
        bool xmlNamespace = namespaceURI == *m_xmlNamespace;
        bool xmlPrefix = prefix == *m_xmlPrefix;
        if (prefix == m_xmlnsPrefix || (xmlPrefix && !namespaceURI.IsEmpty() && !xmlNamespace) ||
            (xmlNamespace && !prefix.IsEmpty() && !xmlPrefix))
        {
            throw ArgumentException();
        }
        if (!namespaceURI.IsEmpty())
        {
            if (prefix.IsEmpty())
            {
                const String* found = m_namespaces.FindPrefix(namespaceURI);
                if (found != nullptr)
                {
                    usedPrefix = found;
                }
                else
                {
                    declare = true;
                }
            }
            else
            {
                const String* bound = m_namespaces.FindNamespace(prefix);
                declare = bound == nullptr || *bound != namespaceURI;
            }
        }
        else if (!prefix.IsEmpty())
        {
            const String* bound = m_namespaces.FindNamespace(prefix);
            if (bound == nullptr || bound->IsEmpty())
            {
                throw ArgumentException();
            }
        }
    }
    Guarded(
        [&]
        {
            if (m_state == Xml::WriteState::Element || m_state == Xml::WriteState::Attribute)
            {
                CloseStartTag();
            }
            if (m_formatting == Xml::Formatting::Indented && m_state != Xml::WriteState::Start)
            {
                Indent(false);
            }
            m_state = Xml::WriteState::Element;
            const String* name = Intern(localName);
            const String* namespaceName = Intern(namespaceURI);
            if (m_depth == 0)
            {
                m_rootStarted = true;
            }
            // The new scope is filled in place, field by field: a copy of a whole scope made on the stack
            // would be read back before its parts are stored.
            ElementScope& scope = PushElement();
            scope.prefix = usedPrefix;
            scope.localName = name;
            scope.namespaceURI = namespaceName;
            scope.shortLength = 0;
            m_namespaces.PushScope();
            if (declare)
            {
                m_namespaces.AddNamespace(*usedPrefix, namespaceURI);
                m_pending.Add(Declaration{usedPrefix, scope.namespaceURI});
            }
            Emit(L'<');
            if (!usedPrefix->IsEmpty())
            {
                Emit(*usedPrefix);
                Emit(L':');
            }
            Emit(localName);
        });
}

void XmlTextWriter::WriteEndElement()
{
    if (!EndElementWithContent())
    {
        EndFullOrShortElement(false);
    }
}

void XmlTextWriter::WriteFullEndElement()
{
    if (!EndElementWithContent())
    {
        EndFullOrShortElement(true);
    }
}

// The end tag of an element with content, without prefix: indentation and end tag as one piece. Returns false,
// having changed nothing, when the general path has to decide.
inline bool XmlTextWriter::EndElementWithContent()
{
    if (m_state != Xml::WriteState::Content || m_depth == 0)
    {
        return false;
    }
    const ElementScope& scope = Top();
    int indent = m_formatting == Xml::Formatting::Indented && !scope.inherited.hasTextContent
                     ? (m_depth - 1) * m_indentation
                     : -1;
    if (indent >= 0 && (m_indentChar != L'\t' || indent > TabsAvailable))
    {
        return false;
    }
    int nameLength = scope.shortLength;
    if (nameLength == 0)
    {
        nameLength = scope.localName->GetLength();
        if (!scope.prefix->IsEmpty() || nameLength > PlainNameLimit)
        {
            return false;
        }
    }
    bool ascii = true;
    Guarded([&]() __attribute__((always_inline)) {
        int length = (indent >= 0 ? 2 + indent : 0) + 2 + nameLength + 1;
        uint8_t* out = Reserve(length + LineAndTabsSpare + 8);
        if (indent >= 0)
        {
            CopyLineAndTabs(out);
            out += 2 + indent;
        }
        out[0] = '<';
        out[1] = '/';
        if (scope.shortLength > 0)
        {
            std::memcpy(out + 2, &scope.shortName, 8);
        }
        else if (!NarrowName(out + 2, scope.localName->GetBuffer(), nameLength))
        {
            ascii = false;
            return;
        }
        out[2 + nameLength] = '>';
        m_cursor += length;
        m_namespaces.PopScope();
        m_depth--;
        if (m_declarationWritten && m_depth == 0)
        {
            m_rootClosed = true;
        }
    });
    return ascii;
}

void XmlTextWriter::EndFullOrShortElement(bool full)
{
    if ((m_state != Xml::WriteState::Element && m_state != Xml::WriteState::Attribute &&
         m_state != Xml::WriteState::Content) ||
        m_depth == 0)
    {
        throw InvalidOperationException();
    }
    if (m_state == Xml::WriteState::Attribute)
    {
        EndAttribute();
    }
    Guarded(
        [&]
        {
            bool startTagOpen = m_state == Xml::WriteState::Element;
            if (startTagOpen)
            {
                WritePendingDeclarations();
                if (full)
                {
                    Emit(L'>');
                }
                else
                {
                    Put(" />");
                }
            }
            else if (m_formatting == Xml::Formatting::Indented)
            {
                Indent(true);
            }
            if (!startTagOpen || full)
            {
                const ElementScope& scope = Top();
                Put("</");
                if (!scope.prefix->IsEmpty())
                {
                    Emit(*scope.prefix);
                    Emit(L':');
                }
                Emit(*scope.localName);
                Emit(L'>');
            }
            m_namespaces.PopScope();
            m_depth--;
            m_state = Xml::WriteState::Content;
            if (m_declarationWritten && m_depth == 0)
            {
                m_rootClosed = true;
            }
        });
}

// ---------------------------------------------------------------------------------------------------------------
// Attributes

void XmlTextWriter::WriteAttributeString(const String& localName, const String& value)
{
    WriteAttributeString(String(), localName, String(), value);
}

void XmlTextWriter::WriteStartAttribute(const String& prefix, const String& localName, const String& namespaceURI)
{
    int nameLength = localName.GetLength();
    if (m_state == Xml::WriteState::Element && prefix.IsEmpty() && namespaceURI.IsEmpty() &&
        nameLength <= PlainNameLimit && (!m_namespacesOn || localName != m_xmlnsPrefix))
    {
        // An ordinary attribute without prefix and namespace right after the element's name or another
        // attribute, the usual case: name, equals sign and quote go out as one piece.
        Guarded([&]() __attribute__((always_inline)) {
            uint8_t* out = Reserve(nameLength + 3 + 8);
            out[0] = ' ';
            if (!NarrowName(out + 1, localName.GetBuffer(), nameLength))
            {
                // Not ASCII: the name goes to the stream writer as units.
                Emit(L' ');
                Emit(localName);
                Emit(L'=');
                Emit(m_quoteChar);
            }
            else
            {
                out[nameLength + 1] = '=';
                out[nameLength + 2] = static_cast<uint8_t>(m_quoteChar);
                m_cursor += nameLength + 3;
            }
            m_attributeKind = Ordinary;
            m_declaredPrefix = nullptr;
            m_state = Xml::WriteState::Attribute;
        });
        return;
    }
    StartAttribute(prefix, localName, namespaceURI);
}

void XmlTextWriter::StartAttribute(const String& prefix, const String& localName, const String& namespaceURI)
{
    if (m_state != Xml::WriteState::Element && m_state != Xml::WriteState::Attribute)
    {
        throw InvalidOperationException();
    }
    int kind = Ordinary;
    const String* usedPrefix = m_emptyName;
    // Written only, so it need not be interned.
    const String* writtenName = &localName;
    const String* declaredPrefix = nullptr;
    Declaration pending;
    bool plain = prefix.IsEmpty() && namespaceURI.IsEmpty();
    if (plain && (!m_namespacesOn || localName != m_xmlnsPrefix))
    {
        // An ordinary attribute without prefix and namespace, the usual case.
    }
    else if (!m_namespacesOn)
    {
        throw ArgumentException();
    }
    else
    {
        usedPrefix = Intern(prefix);
        writtenName = Intern(localName);
        const String& xmlnsNamespace = *m_xmlnsNamespace;
        bool xmlPrefix = prefix == *m_xmlPrefix;
        if (xmlPrefix && localName == *m_spaceName)
        {
            kind = Space;
        }
        else if (xmlPrefix && localName == *m_langName)
        {
            kind = Lang;
        }
        else if ((prefix == m_xmlnsPrefix && localName.IsEmpty()) || (prefix.IsEmpty() && localName == m_xmlnsPrefix) ||
                 (prefix.IsEmpty() && localName.IsEmpty() && namespaceURI == xmlnsNamespace))
        {
            kind = NamespaceDeclaration;
            usedPrefix = Intern(String());
            writtenName = Intern(m_xmlnsPrefix);
            declaredPrefix = usedPrefix;
        }
        else if (prefix == m_xmlnsPrefix || (namespaceURI == xmlnsNamespace && !localName.IsEmpty()))
        {
            kind = NamespaceDeclaration;
            usedPrefix = Intern(m_xmlnsPrefix);
            declaredPrefix = writtenName;
        }
        else if (!namespaceURI.IsEmpty())
        {
            if (prefix.IsEmpty())
            {
                const String* found = m_namespaces.FindPrefix(namespaceURI);
                if (found != nullptr && !found->IsEmpty())
                {
                    usedPrefix = found;
                }
                else
                {
                    // An attribute without prefix has no namespace, so one has to be made up.
                    String generated(L"d");
                    generated += m_depth;
                    generated += L"p";
                    generated += ++m_generatedPrefixes;
                    usedPrefix = Intern(generated);
                    pending = Declaration{usedPrefix, Intern(namespaceURI)};
                }
            }
            else
            {
                const String* bound = m_namespaces.FindNamespace(prefix);
                if (bound == nullptr || *bound != namespaceURI)
                {
                    pending = Declaration{usedPrefix, Intern(namespaceURI)};
                }
            }
        }
        else if (!prefix.IsEmpty())
        {
            const String* bound = m_namespaces.FindNamespace(prefix);
            if (bound == nullptr || bound->IsEmpty())
            {
                throw ArgumentException();
            }
        }
    }
    if (m_state == Xml::WriteState::Attribute)
    {
        EndAttribute();
    }
    Guarded(
        [&]
        {
            if (pending.prefix != nullptr)
            {
                m_namespaces.AddNamespace(*pending.prefix, *pending.uri);
                m_pending.Add(pending);
            }
            if (declaredPrefix != nullptr)
            {
                m_declaredInTag.Add(declaredPrefix);
            }
            Emit(L' ');
            if (!usedPrefix->IsEmpty())
            {
                Emit(*usedPrefix);
                Emit(L':');
            }
            Emit(*writtenName);
            Emit(L'=');
            Emit(m_quoteChar);
            m_attributeKind = kind;
            m_declaredPrefix = declaredPrefix;
            m_attributeValue.clear();
            m_state = Xml::WriteState::Attribute;
        });
}

void XmlTextWriter::WriteEndAttribute()
{
    if (m_state != Xml::WriteState::Attribute)
    {
        throw InvalidOperationException();
    }
    if (m_attributeKind == Ordinary)
    {
        Guarded([&]() __attribute__((always_inline)) {
            Emit(m_quoteChar);
            m_state = Xml::WriteState::Element;
        });
        return;
    }
    EndAttribute();
}

// Applies what the attribute declared, then closes its value. A bad value changes nothing.
void XmlTextWriter::EndAttribute()
{
    if (m_attributeKind != Ordinary)
    {
        ApplyAttribute(String(m_attributeValue.data(), static_cast<int>(m_attributeValue.size())));
    }
    Guarded(
        [&]
        {
            Emit(m_quoteChar);
            m_attributeKind = Ordinary;
            m_state = Xml::WriteState::Element;
        });
}

void XmlTextWriter::ApplyAttribute(const String& value)
{
    switch (m_attributeKind)
    {
    case Space:
        if (value == String(L"preserve"))
        {
            Top().inherited.xmlSpace = Xml::XmlSpace::Preserve;
        }
        else if (value == String(L"default"))
        {
            Top().inherited.xmlSpace = Xml::XmlSpace::Default;
        }
        else
        {
            throw ArgumentException();
        }
        break;
    case Lang:
        Top().inherited.xmlLang = Intern(value);
        break;
    case NamespaceDeclaration:
        m_namespaces.AddNamespace(*m_declaredPrefix, value);
        break;
    default:
        break;
    }
}

void XmlTextWriter::WriteAttributes(XmlTextReader* reader, bool defattr)
{
    if (reader == nullptr)
    {
        throw ArgumentNullException(String(L"reader"));
    }
    XmlNodeType kind = reader->NodeType();
    if (kind == XmlNodeType::Element || kind == XmlNodeType::XmlDeclaration)
    {
        if (reader->MoveToFirstAttribute())
        {
            WriteAttributes(reader, defattr);
            reader->MoveToElement();
        }
        return;
    }
    if (kind != XmlNodeType::Attribute)
    {
        throw InvalidOperationException();
    }
    do
    {
        if (!defattr && reader->IsDefault())
        {
            continue;
        }
        WriteStartAttribute(reader->Prefix(), reader->LocalName(), reader->NamespaceURI());
        while (reader->ReadAttributeValue())
        {
            if (reader->NodeType() == XmlNodeType::EntityReference)
            {
                WriteEntityRef(reader->Name());
            }
            else
            {
                WriteString(reader->Value());
            }
        }
        WriteEndAttribute();
    } while (reader->MoveToNextAttribute());
}

// ---------------------------------------------------------------------------------------------------------------
// Content

void XmlTextWriter::WriteElementString(const String& localName, const String& value)
{
    WriteStartElement(localName);
    WriteString(value);
    WriteEndElement();
}

void XmlTextWriter::WriteString(const String& text)
{
    int length = text.GetLength();
    if (length == 0)
    {
        return;
    }
    // The usual texts: an element's content right after its start tag, and an ordinary attribute's value.
    if (m_state == Xml::WriteState::Element && m_pending.GetCount() == 0 && m_declaredInTag.GetCount() == 0)
    {
        Guarded([&]() __attribute__((always_inline)) {
            Emit(L'>');
            m_state = Xml::WriteState::Content;
            Top().inherited.hasTextContent = true;
            WriteEscaped(text.GetBuffer(), length, false);
        });
        return;
    }
    if (m_state == Xml::WriteState::Attribute && m_attributeKind == Ordinary)
    {
        Guarded([&]() __attribute__((always_inline)) { WriteEscaped(text.GetBuffer(), length, true); });
        return;
    }
    WriteOtherText(text);
}

void XmlTextWriter::WriteOtherText(const String& text)
{
    // Inside a start tag or an attribute text is always allowed.
    if (m_state != Xml::WriteState::Element && m_state != Xml::WriteState::Attribute)
    {
        CheckTextState();
    }
    Guarded(
        [&]
        {
            EnterTextState();
            Collect(text.GetBuffer(), text.GetLength());
            WriteEscaped(text.GetBuffer(), text.GetLength(), m_state == Xml::WriteState::Attribute);
        });
}

void XmlTextWriter::WriteEntityRef(const String& name)
{
    if (!IsValidName(name))
    {
        throw ArgumentException();
    }
    CheckTextState();
    Guarded(
        [&]
        {
            EnterTextState();
            String reference = String(L"&") + name + L";";
            Collect(reference.GetBuffer(), reference.GetLength());
            Emit(reference);
        });
}

void XmlTextWriter::WriteWhitespace(const String& whitespace)
{
    for (int i = 0; i < whitespace.GetLength(); i++)
    {
        if (!Characters::IsWhitespace(whitespace[i]))
        {
            throw ArgumentException();
        }
    }
    if (whitespace.IsEmpty())
    {
        return;
    }
    CheckWritable();
    Guarded(
        [&]
        {
            if (m_state == Xml::WriteState::Start)
            {
                m_state = Xml::WriteState::Prolog;
            }
            else if (m_state != Xml::WriteState::Prolog)
            {
                EnterTextState();
            }
            Collect(whitespace.GetBuffer(), whitespace.GetLength());
            Emit(whitespace);
        });
}

void XmlTextWriter::WriteCData(const String& text)
{
    CheckWritable();
    if (m_depth == 0 && m_declarationWritten)
    {
        throw InvalidOperationException();
    }
    if (Contains(text, L"]]>"))
    {
        throw ArgumentException();
    }
    Guarded(
        [&]
        {
            if (m_state == Xml::WriteState::Element || m_state == Xml::WriteState::Attribute)
            {
                CloseStartTag();
            }
            m_state = Xml::WriteState::Content;
            if (m_depth > 0)
            {
                Top().inherited.hasTextContent = true;
            }
            Put("<![CDATA[");
            Emit(text);
            Put("]]>");
        });
}

void XmlTextWriter::WriteComment(const String& text)
{
    CheckWritable();
    if (Contains(text, L"--") || (!text.IsEmpty() && text[text.GetLength() - 1] == L'-'))
    {
        throw ArgumentException();
    }
    Guarded(
        [&]
        {
            BeginMarkupNode();
            Put("<!--");
            Emit(text);
            Put("-->");
        });
}

void XmlTextWriter::WriteRaw(const String& text)
{
    CheckWritable();
    if (text.IsEmpty())
    {
        return;
    }
    Guarded(
        [&]
        {
            if (m_state == Xml::WriteState::Start)
            {
                m_state = Xml::WriteState::Prolog;
            }
            else if (m_state == Xml::WriteState::Element)
            {
                CloseStartTag();
            }
            Collect(text.GetBuffer(), text.GetLength());
            Emit(text);
        });
}

void XmlTextWriter::WriteBinHex(const uint8_t* bytes, int start, int count)
{
    if (bytes == nullptr)
    {
        throw ArgumentNullException(String(L"buffer"));
    }
    if (start < 0)
    {
        throw ArgumentOutOfRangeException(start);
    }
    if (count < 0)
    {
        throw ArgumentOutOfRangeException(count);
    }
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(static_cast<size_t>(count) * 2);
    for (int i = start; i < start + count; i++)
    {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    WriteString(String(text.data(), static_cast<int>(text.size())));
}

void XmlTextWriter::WriteBase64(const uint8_t*, int, int)
{
    throw NotImplementedException();
}

// ---------------------------------------------------------------------------------------------------------------
// Copying from a reader

void XmlTextWriter::WriteNode(XmlTextReader* reader, bool defattr)
{
    if (reader == nullptr)
    {
        throw ArgumentNullException(String(L"reader"));
    }
    // Copy until the reader leaves the subtree it started in.
    int depth = reader->NodeType() == XmlNodeType::None ? -1 : reader->Depth();
    do
    {
        switch (reader->NodeType().GetValue())
        {
        case XmlNodeType::Element:
            WriteStartElement(reader->Prefix(), reader->LocalName(), reader->NamespaceURI());
            WriteAttributes(reader, defattr);
            if (reader->IsEmptyElement())
            {
                WriteEndElement();
            }
            break;
        case XmlNodeType::Text:
            WriteString(reader->Value());
            break;
        case XmlNodeType::CDATA:
            WriteCData(reader->Value());
            break;
        case XmlNodeType::EntityReference:
            WriteEntityRef(reader->Name());
            break;
        case XmlNodeType::ProcessingInstruction:
        case XmlNodeType::XmlDeclaration:
            WriteProcessingInstruction(reader->Name(), reader->Value());
            break;
        case XmlNodeType::Comment:
            WriteComment(reader->Value());
            break;
        case XmlNodeType::DocumentType:
            WriteDocType(reader->Name(), reader->GetAttribute(String(L"PUBLIC")),
                         reader->GetAttribute(String(L"SYSTEM")), reader->Value());
            break;
        case XmlNodeType::Whitespace:
        case XmlNodeType::SignificantWhitespace:
            WriteWhitespace(reader->Value());
            break;
        case XmlNodeType::EndElement:
            WriteFullEndElement();
            break;
        default:
            break;
        }
    } while (reader->Read() &&
             (depth < reader->Depth() || (depth == reader->Depth() && reader->NodeType() == XmlNodeType::EndElement)));
}

// ---------------------------------------------------------------------------------------------------------------
// Ending

void XmlTextWriter::Flush()
{
    FlushOutput();
    m_writer->Flush();
}

void XmlTextWriter::EmitLong(const wchar_t* text, int count)
{
    // ASCII goes through the room in pieces; from the first unit that is not, the rest goes as units.
    int i = 0;
    while (i < count)
    {
        if (m_limit - m_cursor < 64)
        {
            Refill(64);
        }
        int piece = count - i < m_limit - m_cursor ? count - i : static_cast<int>(m_limit - m_cursor);
        int ascii = 0;
        while (ascii < piece && text[i + ascii] < 0x80)
        {
            ascii++;
        }
        NarrowAscii(m_cursor, text + i, ascii);
        m_cursor += ascii;
        i += ascii;
        if (ascii < piece)
        {
            FlushOutput();
            m_writer->Write(text + i, count - i);
            return;
        }
    }
}

void XmlTextWriter::Refill(int count)
{
    FlushOutput();
    if (count <= m_lendSize)
    {
        uint8_t* room = m_writer->ReserveAscii(m_lendSize);
        if (room != nullptr)
        {
            m_start = m_cursor = room;
            m_limit = room + m_lendSize;
            m_lent = true;
            return;
        }
    }
    m_start = m_cursor = m_own;
    m_limit = m_own + OwnCapacity;
}

void XmlTextWriter::FlushOutput()
{
    int length = static_cast<int>(m_cursor - m_start);
    const uint8_t* bytes = m_start;
    bool lent = m_lent;
    m_start = m_cursor = m_limit = m_own;
    m_lent = false;
    if (lent)
    {
        m_writer->CommitAscii(length);
        return;
    }
    // Another encoding, or a surrogate waiting in the encoder: the bytes go back to units.
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

void XmlTextWriter::Close()
{
    if (m_state != Xml::WriteState::Closed && m_state != Xml::WriteState::Error)
    {
        while (m_depth > 0)
        {
            WriteEndElement();
        }
    }
    m_state = Xml::WriteState::Closed;
    try
    {
        FlushOutput();
    }
    catch (...)
    {
        m_writer->Close();
        throw;
    }
    m_writer->Close();
}

} // namespace Core::Xml
