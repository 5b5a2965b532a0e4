#include "core/xml/XmlTextReader.h"

#include "core/Utf16.h"
#include "core/io/FileStream.h"
#include "core/xml/XmlCharacters.h"

#include <array>
#include <cstring>
#include <cwchar>
#include <string>

namespace Core::Xml
{

using Characters::IsNameChar;
using Characters::IsNameStart;

// One record per element, attribute, attribute value part or other node; recycled through the free list.
struct XmlTextReader::Node
{
    int kind = XmlNodeType::None;
    const String* name = nullptr; // not owned: interned, like the three below
    const String* localName = nullptr;
    const String* prefix = nullptr;
    const String* namespaceURI = nullptr;
    String value;
    int depth = 0;
    int line = 0;
    int column = 0;
    bool flag = false; // element: written as an empty-element tag
    wchar_t quoteChar = L'"';
    int xmlSpace = Xml::XmlSpace::None;
    const String* xmlLang = nullptr; // not owned: interned
    Node* first = nullptr;           // not owned: an attribute's first value part
    Node* next = nullptr;            // not owned: the next value part, or the next free record
    Node* allNext = nullptr;         // not owned: the chain of every record, through which the reader deletes them
};

namespace
{

constexpr int InitialBufferSize = 32768;
constexpr int InitialValueSize = 256;

// Classes of ASCII units for the scanning loops; every unit from 0x80 up is Plain.
enum : uint8_t
{
    Plain,
    Space,
    CarriageReturn,
    LineFeed,
    Less,
    Ampersand,
    Nul,
    Quote,
    FormFeed
};

constexpr std::array<uint8_t, 128> MakeClasses(bool attribute)
{
    std::array<uint8_t, 128> classes{};
    classes[L' '] = Space;
    classes[L'\t'] = Space;
    classes[L'\r'] = CarriageReturn;
    classes[L'\n'] = LineFeed;
    classes[L'<'] = Less;
    classes[L'&'] = Ampersand;
    classes[0] = Nul;
    if (attribute)
    {
        classes[L'"'] = Quote;
        classes[L'\''] = Quote;
        classes[0x0C] = FormFeed;
    }
    return classes;
}

constexpr std::array<uint8_t, 128> TextClasses = MakeClasses(false);
constexpr std::array<uint8_t, 128> AttributeClasses = MakeClasses(true);

inline uint8_t ClassOf(const std::array<uint8_t, 128>& classes, wchar_t ch)
{
    return ch < 128 ? classes[ch] : static_cast<uint8_t>(Plain);
}

int DigitValue(int ch, bool hexadecimal)
{
    if (ch >= L'0' && ch <= L'9')
    {
        return ch - L'0';
    }
    if (hexadecimal && ch >= L'a' && ch <= L'f')
    {
        return ch - L'a' + 10;
    }
    if (hexadecimal && ch >= L'A' && ch <= L'F')
    {
        return ch - L'A' + 10;
    }
    return -1;
}

bool Equals(const wchar_t* text, int length, const wchar_t* literal)
{
    int literalLength = static_cast<int>(std::wcslen(literal));
    return length == literalLength && std::wmemcmp(text, literal, static_cast<size_t>(length)) == 0;
}

// The character of a predefined entity, or 0.
wchar_t PredefinedEntity(const wchar_t* name, int length)
{
    if (Equals(name, length, L"lt"))
    {
        return L'<';
    }
    if (Equals(name, length, L"gt"))
    {
        return L'>';
    }
    if (Equals(name, length, L"amp"))
    {
        return L'&';
    }
    if (Equals(name, length, L"apos"))
    {
        return L'\'';
    }
    if (Equals(name, length, L"quot"))
    {
        return L'"';
    }
    return 0;
}

bool HasValueKind(int kind)
{
    switch (kind)
    {
    case XmlNodeType::Attribute:
    case XmlNodeType::Text:
    case XmlNodeType::CDATA:
    case XmlNodeType::ProcessingInstruction:
    case XmlNodeType::Comment:
    case XmlNodeType::DocumentType:
    case XmlNodeType::Whitespace:
    case XmlNodeType::SignificantWhitespace:
    case XmlNodeType::XmlDeclaration:
        return true;
    default:
        return false;
    }
}

// Recycled records often see the same value again (indentation, flags): keeping the string then saves an
// allocation per node.
void SetValue(String& value, const wchar_t* text, int length)
{
    if (value.GetLength() != length || std::wmemcmp(value.GetBuffer(), text, static_cast<size_t>(length)) != 0)
    {
        value = String(text, length);
    }
}

bool IsXmlSpace(uint8_t byte)
{
    return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n';
}

bool IsUnicode(const IO::Encoding* encoding)
{
    return encoding == IO::Encoding::UTF16LittleEndian() || encoding == IO::Encoding::UTF16BigEndian();
}

// The encoding of a document without byte-order mark: UTF-16 when its first characters are "<?" in it, else the
// one its declaration names when the foundation knows it; null keeps UTF-8 (a name not known is refused when the
// declaration is parsed). The declaration is ASCII in every encoding it can name, so it is read from the bytes:
// '<?xml' S 'version' Eq "1.0" S 'encoding' Eq ("name" | 'name') ...
const IO::Encoding* DeclaredEncoding(const uint8_t* bytes, int length)
{
    if (length >= 4 && std::memcmp(bytes, "<\0?\0", 4) == 0)
    {
        return IO::Encoding::UTF16LittleEndian();
    }
    if (length >= 4 && std::memcmp(bytes, "\0<\0?", 4) == 0)
    {
        return IO::Encoding::UTF16BigEndian();
    }
    if (length < 6 || std::memcmp(bytes, "<?xml", 5) != 0 || !IsXmlSpace(bytes[5]))
    {
        return nullptr;
    }
    const uint8_t* end = bytes + length;
    for (const uint8_t* p = bytes + 5; p + 8 < end && !(p[0] == '?' && p[1] == '>'); p++)
    {
        if (!IsXmlSpace(p[0]) || std::memcmp(p + 1, "encoding", 8) != 0)
        {
            continue;
        }
        const uint8_t* q = p + 9;
        while (q < end && IsXmlSpace(*q))
        {
            q++;
        }
        if (q == end || *q++ != '=')
        {
            return nullptr;
        }
        while (q < end && IsXmlSpace(*q))
        {
            q++;
        }
        if (q == end || (*q != '"' && *q != '\''))
        {
            return nullptr;
        }
        uint8_t quote = *q++;
        const uint8_t* start = q;
        while (q < end && *q != quote && *q < 0x80 && q - start < 40)
        {
            q++;
        }
        if (q == end || *q != quote)
        {
            return nullptr;
        }
        std::wstring name(start, q);
        const IO::Encoding* named = IO::Encoding::GetEncoding(String(name.c_str(), static_cast<int>(name.size())));
        // Bytes that read as ASCII here are not UTF-16, whatever the declaration says.
        return IsUnicode(named) ? nullptr : named;
    }
    return nullptr;
}

template <typename T> void Grow(T*& items, int& capacity, int count)
{
    T* grown = new T[static_cast<size_t>(capacity) * 2];
    std::memcpy(grown, items, static_cast<size_t>(count) * sizeof(T));
    delete[] items;
    items = grown;
    capacity *= 2;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Construction and closing

XmlTextReader::XmlTextReader(NameTable* nameTable)
    : m_input(nullptr), m_ownsInput(false), m_fileStream(nullptr), m_nameTable(nameTable),
      m_ownsNameTable(nameTable == nullptr), m_namespaces(nullptr), m_empty(nullptr), m_xml(nullptr), m_xmlns(nullptr),
      m_xmlSpace(nullptr), m_xmlLang(nullptr)
{
    try
    {
        if (m_ownsNameTable)
        {
            m_nameTable = new NameTable();
        }
        m_namespaces = new XmlNamespaceManager(m_nameTable);
        m_empty = &m_nameTable->Add(String());
        m_xml = &m_nameTable->Add(String(L"xml"));
        m_xmlns = &m_nameTable->Add(String(L"xmlns"));
        m_xmlSpace = &m_nameTable->Add(String(L"xml:space"));
        m_xmlLang = &m_nameTable->Add(String(L"xml:lang"));
        m_buffer = new wchar_t[InitialBufferSize + 1];
        m_capacity = InitialBufferSize;
        m_buffer[0] = 0;
        m_value = new wchar_t[InitialValueSize];
        m_valueCapacity = InitialValueSize;
        m_none = NewNode(XmlNodeType::None, 0, 0);
        m_current = m_none;
        m_node = m_none;
    }
    catch (...)
    {
        ReleaseResources();
        throw;
    }
}

XmlTextReader::XmlTextReader(const String& fileName, NameTable* nameTable) : XmlTextReader(nameTable)
{
    // From here on a failure runs the destructor, which releases what was made.
    m_fileStream = new IO::FileStream(fileName, IO::FileMode::Open, IO::FileAccess::Read, IO::FileShare::Read);
    auto* input = new IO::StreamReader(m_fileStream, nullptr, true, IO::StreamReader::DefaultBufferSize);
    input->SetEncodingSniffer(DeclaredEncoding);
    m_input = input;
    m_ownsInput = true;
    m_baseURI = fileName;
}

XmlTextReader::XmlTextReader(IO::Stream* stream, NameTable* nameTable) : XmlTextReader(nameTable)
{
    if (stream == nullptr)
    {
        throw ArgumentNullException(String(L"stream"));
    }
    auto* input = new IO::StreamReader(stream, nullptr, true, IO::StreamReader::DefaultBufferSize);
    input->SetEncodingSniffer(DeclaredEncoding);
    m_input = input;
    m_ownsInput = true;
}

XmlTextReader::XmlTextReader(IO::TextReader* textReader, NameTable* nameTable) : XmlTextReader(nameTable)
{
    if (textReader == nullptr)
    {
        throw ArgumentNullException(String(L"textReader"));
    }
    m_input = textReader;
}

XmlTextReader::~XmlTextReader()
{
    try
    {
        Close();
    }
    catch (...)
    {
        // Closing a source that was only read loses nothing.
    }
    ReleaseResources();
}

void XmlTextReader::ReleaseResources() noexcept
{
    if (m_ownsInput)
    {
        delete m_input;
    }
    m_input = nullptr;
    delete m_fileStream;
    m_fileStream = nullptr;
    delete[] m_buffer;
    m_buffer = nullptr;
    delete[] m_value;
    m_value = nullptr;
    while (m_allNodes != nullptr)
    {
        Node* next = m_allNodes->allNext;
        delete m_allNodes;
        m_allNodes = next;
    }
    delete m_namespaces;
    m_namespaces = nullptr;
    if (m_ownsNameTable)
    {
        delete m_nameTable;
    }
    m_nameTable = nullptr;
}

void XmlTextReader::Close()
{
    if (m_state == ParseState::Closed)
    {
        return;
    }
    m_state = ParseState::Closed;
    m_readState = Xml::ReadState::Closed;
    m_current = m_none;
    m_node = m_none;
    m_part = nullptr;
    m_attributeIndex = -1;
    m_attributes.RemoveRange(0, m_attributes.GetCount());
    m_baseURI = String();
    delete[] m_buffer;
    m_buffer = nullptr;
    m_capacity = 0;
    m_pos = 0;
    m_end = 0;
    IO::TextReader* input = m_input;
    m_input = nullptr;
    try
    {
        if (input != nullptr)
        {
            input->Close();
        }
    }
    catch (...)
    {
        if (m_ownsInput)
        {
            delete input;
        }
        delete m_fileStream;
        m_fileStream = nullptr;
        throw;
    }
    if (m_ownsInput)
    {
        delete input;
    }
    delete m_fileStream;
    m_fileStream = nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// Settings

void XmlTextReader::SetNamespaces(bool value)
{
    if (m_readState != Xml::ReadState::Initial)
    {
        throw InvalidOperationException();
    }
    m_namespacesOn = value;
}

Xml::WhitespaceHandling XmlTextReader::WhitespaceHandling() const
{
    return static_cast<Xml::WhitespaceHandling::Value>(m_whitespaceHandling);
}

void XmlTextReader::SetWhitespaceHandling(Xml::WhitespaceHandling value)
{
    if (m_state == ParseState::Closed)
    {
        throw InvalidOperationException();
    }
    if (value.GetValue() < Xml::WhitespaceHandling::All || value.GetValue() > Xml::WhitespaceHandling::None)
    {
        throw ArgumentOutOfRangeException(value.GetValue());
    }
    m_whitespaceHandling = value.GetValue();
}

void XmlTextReader::SetNormalization(bool value)
{
    if (m_state == ParseState::Closed)
    {
        throw InvalidOperationException();
    }
    m_normalization = value;
}

XmlNodeType XmlTextReader::FragmentType() const
{
    return static_cast<XmlNodeType::Value>(m_fragment);
}

void XmlTextReader::SetFragmentType(XmlNodeType value)
{
    if (m_readState != Xml::ReadState::Initial)
    {
        throw InvalidOperationException();
    }
    if (value != XmlNodeType::Document && value != XmlNodeType::Attribute)
    {
        throw ArgumentException();
    }
    m_fragment = value.GetValue();
}

// ---------------------------------------------------------------------------------------------------------------
// Input buffer

// Moves the characters from keepFrom (or from the pinned start, if earlier) to the front, keeping one character
// before them for line-end counting, and reads more behind them. Returns how far the kept characters moved.
int XmlTextReader::Refill(int keepFrom)
{
    if (m_inputEnded || m_input == nullptr)
    {
        return 0;
    }
    int from = keepFrom;
    if (m_pin >= 0 && m_pin < from)
    {
        from = m_pin;
    }
    if (from > 0)
    {
        from--;
    }
    if (from > 0)
    {
        std::memmove(m_buffer, m_buffer + from, static_cast<size_t>(m_end - from) * sizeof(wchar_t));
        m_pos -= from;
        m_end -= from;
        m_lineStart -= from;
        if (m_pin >= 0)
        {
            m_pin -= from;
        }
    }
    if (m_end == m_capacity)
    {
        // Everything in the buffer is still needed: a construct longer than the buffer.
        wchar_t* grown = new wchar_t[static_cast<size_t>(m_capacity) * 2 + 1];
        std::memcpy(grown, m_buffer, static_cast<size_t>(m_end) * sizeof(wchar_t));
        delete[] m_buffer;
        m_buffer = grown;
        m_capacity *= 2;
    }
    int count = m_input->Read(m_buffer, m_end, m_capacity - m_end);
    if (count <= 0)
    {
        m_inputEnded = true;
        count = 0;
    }
    m_end += count;
    m_buffer[m_end] = 0;
    return from;
}

// The character at the current position, or -1 at the end of the input. May move the buffer's contents.
int XmlTextReader::Peek()
{
    if (m_pos >= m_end)
    {
        Refill(m_pos);
        if (m_pos >= m_end)
        {
            return -1;
        }
    }
    return m_buffer[m_pos];
}

// The line end at the buffer index at (CR or LF): a new line starts after it, except that the LF of CR LF
// only moves the line's start past itself.
inline void XmlTextReader::EndLine(int at)
{
    if (m_buffer[at] == L'\r' || at < 1 || m_buffer[at - 1] != L'\r')
    {
        m_line++;
    }
    m_lineStart = at + 1;
}

// Consumes the character at the current position; CR, LF and CR LF each end one line.
void XmlTextReader::Advance()
{
    wchar_t ch = m_buffer[m_pos++];
    if (ch == L'\r' || ch == L'\n')
    {
        EndLine(m_pos - 1);
    }
}

bool XmlTextReader::SkipWhitespace()
{
    bool skipped = false;
    for (;;)
    {
        wchar_t ch = m_buffer[m_pos];
        if (ch == L' ' || ch == L'\t')
        {
            m_pos++;
        }
        else if (ch == L'\r' || ch == L'\n')
        {
            Advance();
        }
        else if (ch == 0 && m_pos >= m_end)
        {
            Refill(m_pos);
            if (m_pos >= m_end)
            {
                return skipped;
            }
            continue;
        }
        else
        {
            return skipped;
        }
        skipped = true;
    }
}

void XmlTextReader::KeepRunAndRefill(int& runStart)
{
    AppendValue(m_buffer + runStart, m_pos - runStart);
    Refill(m_pos);
    runStart = m_pos;
}

void XmlTextReader::AppendValue(const wchar_t* text, int count)
{
    if (count <= 0)
    {
        return;
    }
    while (m_valueLength + count > m_valueCapacity)
    {
        Grow(m_value, m_valueCapacity, m_valueLength);
    }
    std::memcpy(m_value + m_valueLength, text, static_cast<size_t>(count) * sizeof(wchar_t));
    m_valueLength += count;
}

void XmlTextReader::AppendValue(wchar_t ch)
{
    AppendValue(&ch, 1);
}

// ---------------------------------------------------------------------------------------------------------------
// Node records

XmlTextReader::Node* XmlTextReader::NewNode(int kind, int line, int column)
{
    Node* node = m_freeNodes;
    if (node != nullptr)
    {
        m_freeNodes = node->next;
    }
    else
    {
        node = new Node();
        node->allNext = m_allNodes;
        m_allNodes = node;
    }
    node->kind = kind;
    node->name = m_empty;
    node->localName = m_empty;
    node->prefix = m_empty;
    node->namespaceURI = m_empty;
    node->depth = m_elements.GetCount();
    node->line = line;
    node->column = column;
    node->flag = false;
    node->quoteChar = L'"';
    if (m_elements.GetCount() > 0)
    {
        node->xmlSpace = m_elements[m_elements.GetCount() - 1]->xmlSpace;
        node->xmlLang = m_elements[m_elements.GetCount() - 1]->xmlLang;
    }
    else
    {
        node->xmlSpace = Xml::XmlSpace::None;
        node->xmlLang = m_empty;
    }
    node->first = nullptr;
    node->next = nullptr;
    return node;
}

void XmlTextReader::ReleaseNode(Node* node)
{
    Node* part = node->first;
    while (part != nullptr)
    {
        Node* next = part->next;
        part->next = m_freeNodes;
        m_freeNodes = part;
        part = next;
    }
    node->first = nullptr;
    node->next = m_freeNodes;
    m_freeNodes = node;
}

void XmlTextReader::ReleaseAttributes()
{
    for (int i = 0; i < m_attributes.GetCount(); i++)
    {
        ReleaseNode(m_attributes[i]);
    }
    m_attributes.RemoveRange(0, m_attributes.GetCount());
    m_attributeIndex = -1;
    m_part = nullptr;
}

// Gives back the records of the previous node; open elements stay until their scope closes.
void XmlTextReader::ReleaseCurrent()
{
    ReleaseAttributes();
    if (m_node != m_none && m_node->kind != XmlNodeType::Element)
    {
        ReleaseNode(m_node);
    }
    m_node = m_none;
    m_current = m_none;
}

void XmlTextReader::AddAttribute(Node* attribute)
{
    m_attributes.Add(attribute);
}

// ---------------------------------------------------------------------------------------------------------------
// Errors

void XmlTextReader::Fail(const String& message, int line, int column)
{
    String text = message;
    text += L" at ";
    text += line;
    text += L", ";
    text += column;
    m_state = ParseState::Error;
    m_readState = Xml::ReadState::Error;
    m_none->line = line;
    m_none->column = column;
    m_current = m_none;
    m_node = m_none;
    m_part = nullptr;
    m_attributeIndex = -1;
    // The records in use are reclaimed with the reader.
    m_attributes.RemoveRange(0, m_attributes.GetCount());
    throw XmlException(text);
}

void XmlTextReader::FailHere(const wchar_t* message)
{
    Fail(String(message), m_line, Column());
}

// ---------------------------------------------------------------------------------------------------------------
// Reading

bool XmlTextReader::Read()
{
    switch (m_state)
    {
    case ParseState::EndOfFile:
    case ParseState::Closed:
    case ParseState::Error:
        return false;
    default:
        break;
    }
    ReleaseCurrent();
    for (;;)
    {
        switch (m_state)
        {
        case ParseState::Start:
            m_readState = Xml::ReadState::Interactive;
            m_state = m_fragment == XmlNodeType::Attribute ? ParseState::AttributeValue : ParseState::Prolog;
            break;
        case ParseState::Prolog:
            m_state = ParseState::TopLevel;
            if (ParseDeclaration())
            {
                return true;
            }
            break;
        case ParseState::TopLevel:
        case ParseState::InContent:
            if (ParseNode())
            {
                return true;
            }
            if (m_state == ParseState::EndOfFile)
            {
                return false;
            }
            break;
        case ParseState::AfterStartTag:
            // The element is on the stack already, so content nodes get its depth plus one and its scope.
            m_state = ParseState::InContent;
            break;
        case ParseState::AfterEndTag:
        case ParseState::AfterEmptyTag:
            CloseElement();
            break;
        case ParseState::AttributeValue:
            ReadAttributeFragment();
            return true;
        default:
            return false;
        }
    }
}

void XmlTextReader::CloseElement()
{
    Node* element = m_elements[m_elements.GetCount() - 1];
    m_elements.RemoveAt(m_elements.GetCount() - 1);
    ReleaseNode(element);
    m_namespaces->PopScope();
    m_state = m_elements.GetCount() > 0 ? ParseState::InContent : ParseState::TopLevel;
}

// XMLDecl ::= '<?xml' VersionInfo EncodingDecl? SDDecl? S? '?>', recognised only at the very first character.
bool XmlTextReader::ParseDeclaration()
{
    while (m_end - m_pos < 6 && !m_inputEnded)
    {
        Refill(m_pos);
    }
    if (m_end - m_pos < 6 || std::wmemcmp(m_buffer + m_pos, L"<?xml", 5) != 0 || IsNameChar(m_buffer[m_pos + 5]))
    {
        return false;
    }
    m_pos += 2;
    Node* declaration = NewNode(XmlNodeType::XmlDeclaration, m_line, Column());
    declaration->name = m_xml;
    declaration->localName = m_xml;
    m_node = declaration;
    m_current = declaration;
    m_pos += 3;
    // The value is the pseudo-attributes' text as written, so it stays pinned in the buffer.
    int valueLength = 0;
    for (;;)
    {
        bool spaced = SkipWhitespace();
        int ch = Peek();
        if (ch == -1)
        {
            FailHere(L"Unexpected EOF");
        }
        if (ch == L'?')
        {
            m_pos++;
            ch = Peek();
            if (ch == L'>')
            {
                m_pos++;
                break;
            }
            FailHere(ch == -1 ? L"Unexpected EOF" : L">");
        }
        if (!spaced)
        {
            FailHere(L"?>");
        }
        if (m_pin < 0)
        {
            m_pin = m_pos;
        }
        ParseAttribute(declaration);
        valueLength = m_pos - m_pin;
    }
    if (m_pin >= 0)
    {
        SetValue(declaration->value, m_buffer + m_pin, valueLength);
        m_pin = -1;
    }
    else
    {
        SetValue(declaration->value, L"", 0);
    }
    if (m_attributes.GetCount() == 0)
    {
        Fail(String(L"Invalid XmlDeclaration"), declaration->line, declaration->column);
    }
    for (int i = 0; i < m_attributes.GetCount(); i++)
    {
        Node* attribute = m_attributes[i];
        const String& name = *attribute->name;
        const String& value = attribute->value;
        if (i == 0 && name == String(L"version"))
        {
            if (value != String(L"1.0"))
            {
                Fail(String(L"Invalid version number"), attribute->line, attribute->column);
            }
        }
        else if (i == 1 && name == String(L"encoding"))
        {
            CheckEncoding(*attribute);
        }
        else if (i == m_attributes.GetCount() - 1 && name == String(L"standalone"))
        {
            if (value != String(L"yes") && value != String(L"no"))
            {
                Fail(String(L"Invalid standalone value"), attribute->line, attribute->column);
            }
        }
        else
        {
            Fail(String(L"Invalid XmlDeclaration"), attribute->line, attribute->column);
        }
    }
    return true;
}

void XmlTextReader::CheckEncoding(const Node& attribute)
{
    if (!m_ownsInput)
    {
        return;
    }
    const IO::Encoding* named = IO::Encoding::GetEncoding(attribute.value);
    if (named == nullptr)
    {
        Fail(String(L"System does not support '") + attribute.value + String(L"' encoding"), attribute.line,
             attribute.column);
    }
    const IO::Encoding* current = static_cast<IO::StreamReader*>(m_input)->GetCurrentEncoding();
    if (IsUnicode(named) && !IsUnicode(current))
    {
        Fail(String(L"There is no Unicode byte order mark. Cannot switch to Unicode"), attribute.line,
             attribute.column);
    }
}

// Dispatches on the next node's first characters; false when it skipped white space or reached the end.
bool XmlTextReader::ParseNode()
{
    if (m_pendingEntity != nullptr)
    {
        Node* node = NewNode(XmlNodeType::EntityReference, m_pendingLine, m_pendingColumn);
        node->name = m_pendingEntity;
        node->localName = m_pendingEntity;
        m_pendingEntity = nullptr;
        m_node = node;
        m_current = node;
        return true;
    }
    if (m_pos >= m_end)
    {
        Refill(m_pos);
        if (m_pos >= m_end)
        {
            return EndOfInput();
        }
    }
    if (m_buffer[m_pos] != L'<')
    {
        return ParseText();
    }
    m_pos++;
    int ch = Peek();
    switch (ch)
    {
    case -1:
        FailHere(L"Unexpected EOF");
    case L'?':
        m_pos++;
        ParseProcessingInstruction();
        return true;
    case L'!':
        m_pos++;
        ch = Peek();
        if (ch == L'-')
        {
            m_pos++;
            ExpectMarkup(L"-", L"--");
            int line = m_line;
            int column = Column();
            ParseTerminated(L"-->", 3, XmlNodeType::Comment, line, column);
            return true;
        }
        if (ch == L'[')
        {
            m_pos++;
            ExpectMarkup(L"CDATA[", L"CDATA[");
            int line = m_line;
            int column = Column();
            ParseTerminated(L"]]>", 3, XmlNodeType::CDATA, line, column);
            return true;
        }
        FailHere(ch == -1 ? L"Unexpected EOF" : L"Unexpected tag");
    case L'/':
        m_pos++;
        if (m_elements.GetCount() == 0)
        {
            FailHere(L"Unexpected end tag");
        }
        ParseEndTag();
        return true;
    default:
        if (m_elements.GetCount() == 0 && m_fragment == XmlNodeType::Document && m_rootSeen)
        {
            FailHere(L"Multiple root elements");
        }
        ParseStartTag();
        return true;
    }
}

bool XmlTextReader::EndOfInput()
{
    if (m_elements.GetCount() > 0)
    {
        Fail(String(L"Unclosed elements"), 0, 0);
    }
    if (m_fragment == XmlNodeType::Document && !m_rootSeen)
    {
        Fail(String(L"Missing root element"), 0, 0);
    }
    m_state = ParseState::EndOfFile;
    m_readState = Xml::ReadState::EndOfFile;
    m_none->line = m_line;
    m_none->column = Column();
    return false;
}

// Expects the characters of rest at the current position; a difference is the error message, reported where
// rest should have started.
void XmlTextReader::ExpectMarkup(const wchar_t* rest, const wchar_t* message)
{
    int line = m_line;
    int column = Column();
    for (const wchar_t* expected = rest; *expected != 0; expected++)
    {
        int ch = Peek();
        if (ch == -1)
        {
            FailHere(L"Unexpected EOF");
        }
        if (ch != *expected)
        {
            Fail(String(message), line, column);
        }
        m_pos++;
    }
}

// CharData up to the next '<': line ends counted, characters kept exactly, references resolved; an
// unresolved entity reference ends the node. False when the node is white space that is not reported.
bool XmlTextReader::ParseText()
{
    int line = m_line;
    int column = Column();
    bool topLevel = m_elements.GetCount() == 0;
    bool whitespace = true;
    m_valueLength = 0;
    int runStart = m_pos;
    const wchar_t* p = m_buffer + m_pos;
    for (;;)
    {
        wchar_t ch = *p;
        uint8_t kind = ClassOf(TextClasses, ch);
        if (kind == Plain || (kind == Nul && p < m_buffer + m_end))
        {
            if (whitespace)
            {
                whitespace = false;
                if (topLevel)
                {
                    m_pos = static_cast<int>(p - m_buffer);
                    FailHere(L"Invalid root data");
                }
            }
            do
            {
                ch = *++p;
            } while (ch >= 128 || TextClasses[ch] == Plain);
        }
        else if (kind == Space)
        {
            p++;
        }
        else if (kind == CarriageReturn || kind == LineFeed)
        {
            EndLine(static_cast<int>(p - m_buffer));
            p++;
        }
        else if (kind == Less)
        {
            break;
        }
        else if (kind == Ampersand)
        {
            m_pos = static_cast<int>(p - m_buffer);
            if (topLevel)
            {
                FailHere(L"Invalid root data");
            }
            AppendValue(m_buffer + runStart, m_pos - runStart);
            int referenceLine = m_line;
            int referenceColumn = Column();
            const String* entity = ParseReference();
            runStart = m_pos;
            p = m_buffer + m_pos;
            if (entity != nullptr)
            {
                if (m_valueLength == 0)
                {
                    Node* node = NewNode(XmlNodeType::EntityReference, referenceLine, referenceColumn);
                    node->name = entity;
                    node->localName = entity;
                    m_node = node;
                    m_current = node;
                    return true;
                }
                m_pendingEntity = entity;
                m_pendingLine = referenceLine;
                m_pendingColumn = referenceColumn;
                break;
            }
            whitespace = false;
        }
        else
        {
            // The sentinel at the end of the buffer: keep what was scanned and read on.
            m_pos = static_cast<int>(p - m_buffer);
            KeepRunAndRefill(runStart);
            p = m_buffer + m_pos;
            if (m_pos >= m_end)
            {
                break;
            }
        }
    }
    m_pos = static_cast<int>(p - m_buffer);
    int kind = XmlNodeType::Text;
    if (whitespace)
    {
        bool preserve =
            m_elements.GetCount() > 0 && m_elements[m_elements.GetCount() - 1]->xmlSpace == Xml::XmlSpace::Preserve;
        if (preserve && m_whitespaceHandling != Xml::WhitespaceHandling::None)
        {
            kind = XmlNodeType::SignificantWhitespace;
        }
        else if (m_whitespaceHandling == Xml::WhitespaceHandling::All)
        {
            kind = XmlNodeType::Whitespace;
        }
        else
        {
            return false;
        }
    }
    Node* node = NewNode(kind, line, column);
    if (m_valueLength == 0)
    {
        SetValue(node->value, m_buffer + runStart, m_pos - runStart);
    }
    else
    {
        AppendValue(m_buffer + runStart, m_pos - runStart);
        SetValue(node->value, m_value, m_valueLength);
    }
    m_node = node;
    m_current = node;
    return true;
}

// Reference ::= '&#x' [0-9a-fA-F]+ ';' | '&#' [0-9]+ ';' | '&' Name ';'
// Puts the character of a character reference or predefined entity into the value; returns the interned
// name of any other entity, which stays unresolved.
const String* XmlTextReader::ParseReference()
{
    int line = m_line;
    int column = Column();
    m_pos++;
    int ch = Peek();
    if (ch == L'#')
    {
        m_pos++;
        bool hexadecimal = Peek() == L'x';
        if (hexadecimal)
        {
            m_pos++;
        }
        const wchar_t* message = hexadecimal ? L"Bad hexadecimal character" : L"Bad decimal character";
        unsigned code = 0;
        int digits = 0;
        for (;;)
        {
            ch = Peek();
            if (ch == -1)
            {
                FailHere(L"Unexpected EOF");
            }
            int digit = DigitValue(ch, hexadecimal);
            if (digit < 0)
            {
                if (ch == L';' && digits > 0)
                {
                    break;
                }
                FailHere(message);
            }
            // Past the last code point the value only has to stay out of range.
            if (code <= 0x10FFFF)
            {
                code = code * (hexadecimal ? 16 : 10) + static_cast<unsigned>(digit);
            }
            digits++;
            m_pos++;
        }
        m_pos++;
        // A unit cut from a larger code point, a surrogate or NUL would corrupt the text.
        if (code == 0 || IsSurrogate(code) || code > 0x10FFFF)
        {
            Fail(String(message), line, column);
        }
        if (code > 0xFFFF)
        {
            AppendValue(HighSurrogateOf(code));
            AppendValue(LowSurrogateOf(code));
        }
        else
        {
            AppendValue(static_cast<wchar_t>(code));
        }
        return nullptr;
    }
    if (ch == -1)
    {
        FailHere(L"Unexpected EOF");
    }
    if (!IsNameStart(static_cast<wchar_t>(ch)))
    {
        FailHere(L"Bad entity reference");
    }
    int start = ScanName(false, nullptr);
    int length = m_pos - start;
    wchar_t predefined = PredefinedEntity(m_buffer + start, length);
    const String* name = predefined == 0 ? &m_nameTable->Add(m_buffer, start, length) : nullptr;
    ch = Peek();
    if (ch != L';')
    {
        FailHere(ch == -1 ? L"Unexpected EOF" : L";");
    }
    m_pos++;
    if (predefined != 0)
    {
        AppendValue(predefined);
        return nullptr;
    }
    return name;
}

// Name ::= (Letter | '_' | ':') (NameChar)*; a qualified name has at most one colon, neither first nor last.
// Returns the name's start in the buffer; the name ends at the current position.
int XmlTextReader::ScanName(bool qualified, int* colon)
{
    int ch = Peek();
    if (ch == -1)
    {
        FailHere(L"Unexpected EOF");
    }
    if (!IsNameStart(static_cast<wchar_t>(ch)) || (qualified && ch == L':'))
    {
        FailHere(L"Invalid start name char");
    }
    int start = m_pos++;
    int colonAt = -1;
    for (;;)
    {
        wchar_t next = m_buffer[m_pos];
        if (IsNameChar(next))
        {
            if (next == L':' && qualified)
            {
                if (colonAt >= 0)
                {
                    FailHere(L"Invalid name char");
                }
                colonAt = m_pos - start;
            }
            m_pos++;
        }
        else if (m_pos >= m_end && !m_inputEnded)
        {
            start -= Refill(start);
        }
        else
        {
            break;
        }
    }
    if (colonAt >= 0 && colonAt == m_pos - start - 1)
    {
        FailHere(L"Invalid name char");
    }
    if (colon != nullptr)
    {
        *colon = colonAt;
    }
    return start;
}

void XmlTextReader::SplitName(Node* node, int start, int length, int colon)
{
    node->name = &m_nameTable->Add(m_buffer, start, length);
    if (colon < 0)
    {
        node->localName = node->name;
        node->prefix = m_empty;
    }
    else
    {
        node->prefix = &m_nameTable->Add(m_buffer, start, colon);
        node->localName = &m_nameTable->Add(m_buffer, start + colon + 1, length - colon - 1);
    }
}

// STag ::= '<' Name (S Attribute)* S? '>'; EmptyElemTag ::= '<' Name (S Attribute)* S? '/>'
void XmlTextReader::ParseStartTag()
{
    m_namespaces->PushScope();
    int line = m_line;
    int column = Column();
    int colon = -1;
    int start = ScanName(m_namespacesOn, &colon);
    Node* element = NewNode(XmlNodeType::Element, line, column);
    SplitName(element, start, m_pos - start, colon);
    m_node = element;
    for (;;)
    {
        SkipWhitespace();
        int ch = Peek();
        if (ch == L'>')
        {
            m_pos++;
            break;
        }
        if (ch == L'/')
        {
            m_pos++;
            ch = Peek();
            if (ch == L'>')
            {
                m_pos++;
                element->flag = true;
                break;
            }
            FailHere(ch == -1 ? L"Unexpected EOF" : L"/>");
        }
        if (ch == -1)
        {
            FailHere(L"Unexpected EOF");
        }
        ParseAttribute(element);
    }
    ProcessAttributes(element);
    if (m_namespacesOn)
    {
        ResolveNamespaces(element);
    }
    m_elements.Add(element);
    m_rootSeen = true;
    m_current = element;
    m_state = element->flag ? ParseState::AfterEmptyTag : ParseState::AfterStartTag;
}

// Attribute ::= Name S? '=' S? AttValue
void XmlTextReader::ParseAttribute(Node* owner)
{
    int line = m_line;
    int column = Column();
    int colon = -1;
    int start = ScanName(m_namespacesOn, &colon);
    Node* attribute = NewNode(XmlNodeType::Attribute, line, column);
    SplitName(attribute, start, m_pos - start, colon);
    attribute->depth = owner->depth + 1;
    for (int i = 0; i < m_attributes.GetCount(); i++)
    {
        if (m_attributes[i]->name == attribute->name)
        {
            ReleaseNode(attribute);
            Fail(String(L"Duplicated attribute"), line, column);
        }
    }
    AddAttribute(attribute);
    SkipWhitespace();
    int ch = Peek();
    if (ch != L'=')
    {
        FailHere(ch == -1 ? L"Unexpected EOF" : L"=");
    }
    m_pos++;
    SkipWhitespace();
    ch = Peek();
    if (ch != L'"' && ch != L'\'')
    {
        FailHere(ch == -1 ? L"Unexpected EOF" : L"' or \"");
    }
    m_pos++;
    ParseAttributeValue(attribute, static_cast<wchar_t>(ch));
}

// AttValue up to the closing quote (quote 0: up to the end of the input). An unresolved entity reference stays
// in the value as written and splits it into text and entity-reference parts.
void XmlTextReader::ParseAttributeValue(Node* attribute, wchar_t quote)
{
    if (quote != 0)
    {
        attribute->quoteChar = quote;
    }
    m_valueLength = 0;
    int partStart = 0;
    Node* lastPart = nullptr;
    bool closed = false;
    int runStart = m_pos;
    const wchar_t* p = m_buffer + m_pos;
    for (;;)
    {
        wchar_t ch = *p;
        uint8_t kind = ClassOf(AttributeClasses, ch);
        if (kind == Plain)
        {
            do
            {
                ch = *++p;
            } while (ch >= 128 || AttributeClasses[ch] == Plain);
        }
        else if (kind == Quote)
        {
            if (ch == quote)
            {
                closed = true;
                break;
            }
            p++;
        }
        else if (kind == Space)
        {
            p++;
        }
        else if (kind == CarriageReturn || kind == LineFeed || kind == FormFeed)
        {
            bool afterReturn = kind == LineFeed && p - m_buffer >= 1 && p[-1] == L'\r';
            if (kind != FormFeed)
            {
                EndLine(static_cast<int>(p - m_buffer));
            }
            if (m_normalization)
            {
                AppendValue(m_buffer + runStart, static_cast<int>(p - m_buffer) - runStart);
                if (!afterReturn)
                {
                    AppendValue(L' ');
                }
                runStart = static_cast<int>(p - m_buffer) + 1;
            }
            p++;
        }
        else if (kind == Less)
        {
            m_pos = static_cast<int>(p - m_buffer);
            FailHere(L"Invalid attribute char '<'");
        }
        else if (kind == Ampersand)
        {
            m_pos = static_cast<int>(p - m_buffer);
            AppendValue(m_buffer + runStart, m_pos - runStart);
            int referenceLine = m_line;
            int referenceColumn = Column();
            const String* entity = ParseReference();
            if (entity != nullptr)
            {
                Node* parts[2] = {nullptr, nullptr};
                if (m_valueLength > partStart)
                {
                    parts[0] = NewNode(XmlNodeType::Text, attribute->line, attribute->column);
                    SetValue(parts[0]->value, m_value + partStart, m_valueLength - partStart);
                }
                parts[1] = NewNode(XmlNodeType::EntityReference, referenceLine, referenceColumn);
                parts[1]->name = entity;
                parts[1]->localName = entity;
                for (Node* part : parts)
                {
                    if (part != nullptr)
                    {
                        part->depth = attribute->depth + 1;
                        (lastPart == nullptr ? attribute->first : lastPart->next) = part;
                        lastPart = part;
                    }
                }
                AppendValue(L'&');
                AppendValue(entity->GetBuffer(), entity->GetLength());
                AppendValue(L';');
                partStart = m_valueLength;
            }
            runStart = m_pos;
            p = m_buffer + m_pos;
        }
        else if (p < m_buffer + m_end)
        {
            p++; // a NUL character inside the input
        }
        else
        {
            m_pos = static_cast<int>(p - m_buffer);
            KeepRunAndRefill(runStart);
            p = m_buffer + m_pos;
            if (m_pos >= m_end)
            {
                if (m_fragment == XmlNodeType::Attribute && quote == 0)
                {
                    break;
                }
                FailHere(L"Unexpected EOF");
            }
        }
    }
    m_pos = static_cast<int>(p - m_buffer);
    if (m_valueLength == 0)
    {
        SetValue(attribute->value, m_buffer + runStart, m_pos - runStart);
    }
    else
    {
        AppendValue(m_buffer + runStart, m_pos - runStart);
        SetValue(attribute->value, m_value, m_valueLength);
    }
    if (lastPart != nullptr && m_valueLength > partStart)
    {
        Node* part = NewNode(XmlNodeType::Text, attribute->line, attribute->column);
        SetValue(part->value, m_value + partStart, m_valueLength - partStart);
        part->depth = attribute->depth + 1;
        lastPart->next = part;
    }
    if (closed)
    {
        m_pos++;
    }
}

void XmlTextReader::Declare(const String& prefix, const String& uri)
{
    // A document cannot rebind the reserved prefixes; such a declaration is not taken into the scope.
    if (&prefix == m_xmlns || (&prefix == m_xml && uri != String(XmlNamespaceManager::XmlNamespace)))
    {
        return;
    }
    m_namespaces->AddNamespace(prefix, uri);
}

void XmlTextReader::ProcessAttributes(Node* element)
{
    for (int i = 0; i < m_attributes.GetCount(); i++)
    {
        Node* attribute = m_attributes[i];
        if (m_namespacesOn)
        {
            if (attribute->name == m_xmlns)
            {
                Declare(*m_empty, attribute->value);
            }
            else if (attribute->prefix == m_xmlns)
            {
                Declare(*attribute->localName, attribute->value);
            }
        }
        if (attribute->name == m_xmlSpace)
        {
            if (attribute->value == String(L"preserve"))
            {
                element->xmlSpace = Xml::XmlSpace::Preserve;
            }
            else if (attribute->value == String(L"default"))
            {
                element->xmlSpace = Xml::XmlSpace::Default;
            }
        }
        else if (attribute->name == m_xmlLang)
        {
            element->xmlLang = &m_nameTable->Add(attribute->value);
        }
    }
    for (int i = 0; i < m_attributes.GetCount(); i++)
    {
        m_attributes[i]->xmlSpace = element->xmlSpace;
        m_attributes[i]->xmlLang = element->xmlLang;
    }
}

const String* XmlTextReader::Resolve(const String* prefix, int line, int column)
{
    const String* uri = m_namespaces->FindNamespace(*prefix);
    if (prefix == m_empty)
    {
        return uri != nullptr ? uri : m_empty;
    }
    if (uri == nullptr || uri->IsEmpty())
    {
        Fail(String(L"Unknown namespace: ") + *prefix, line, column);
    }
    return uri;
}

void XmlTextReader::ResolveNamespaces(Node* element)
{
    element->namespaceURI = Resolve(element->prefix, element->line, element->column);
    for (int i = 0; i < m_attributes.GetCount(); i++)
    {
        Node* attribute = m_attributes[i];
        if (attribute->prefix != m_empty)
        {
            attribute->namespaceURI = Resolve(attribute->prefix, attribute->line, attribute->column);
        }
    }
}

// ETag ::= '</' Name S? '>', naming the innermost open element exactly.
void XmlTextReader::ParseEndTag()
{
    int line = m_line;
    int column = Column();
    const Node* open = m_elements[m_elements.GetCount() - 1];
    int start = ScanName(m_namespacesOn, nullptr);
    int length = m_pos - start;
    if (length != open->name->GetLength() ||
        std::wmemcmp(m_buffer + start, open->name->GetBuffer(), static_cast<size_t>(length)) != 0)
    {
        Fail(String(L"Tag mismatch"), line, column);
    }
    SkipWhitespace();
    int ch = Peek();
    if (ch != L'>')
    {
        FailHere(ch == -1 ? L"Unexpected EOF" : L">");
    }
    m_pos++;
    Node* end = NewNode(XmlNodeType::EndElement, line, column);
    end->name = open->name;
    end->localName = open->localName;
    end->prefix = open->prefix;
    end->namespaceURI = open->namespaceURI;
    end->depth = open->depth;
    m_node = end;
    m_current = end;
    m_state = ParseState::AfterEndTag;
}

// Comment, CDATA section or processing-instruction value: everything up to the terminator, as written.
void XmlTextReader::ParseTerminated(const wchar_t* terminator, int terminatorLength, int kind, int line, int column)
{
    m_valueLength = 0;
    int runStart = m_pos;
    wchar_t first = terminator[0];
    for (;;)
    {
        wchar_t ch = m_buffer[m_pos];
        if (ch == first)
        {
            if (m_end - m_pos < terminatorLength && !m_inputEnded)
            {
                KeepRunAndRefill(runStart);
                continue;
            }
            if (m_end - m_pos >= terminatorLength &&
                std::wmemcmp(m_buffer + m_pos, terminator, static_cast<size_t>(terminatorLength)) == 0)
            {
                break;
            }
            m_pos++;
        }
        else if (ch == L'\r' || ch == L'\n')
        {
            Advance();
        }
        else if (ch == 0 && m_pos >= m_end)
        {
            AppendValue(m_buffer + runStart, m_pos - runStart);
            Refill(m_pos);
            runStart = m_pos;
            if (m_pos >= m_end)
            {
                FailHere(L"Unexpected EOF");
            }
        }
        else
        {
            m_pos++;
        }
    }
    Node* node = NewNode(kind, line, column);
    if (m_valueLength == 0)
    {
        SetValue(node->value, m_buffer + runStart, m_pos - runStart);
    }
    else
    {
        AppendValue(m_buffer + runStart, m_pos - runStart);
        SetValue(node->value, m_value, m_valueLength);
    }
    m_pos += terminatorLength;
    m_node = node;
    m_current = node;
}

// PI ::= '<?' PITarget (S (Char* - (Char* '?>' Char*)))? '?>', the target not being xml in any case.
void XmlTextReader::ParseProcessingInstruction()
{
    int line = m_line;
    int column = Column();
    int start = ScanName(false, nullptr);
    int length = m_pos - start;
    const wchar_t* target = m_buffer + start;
    if (length == 3 && (target[0] | 0x20) == L'x' && (target[1] | 0x20) == L'm' && (target[2] | 0x20) == L'l')
    {
        Fail(String(L"Invalid processing instruction name"), line, column);
    }
    const String* name = &m_nameTable->Add(m_buffer, start, length);
    SkipWhitespace();
    ParseTerminated(L"?>", 2, XmlNodeType::ProcessingInstruction, line, column);
    m_current->name = name;
    m_current->localName = name;
}

// The whole input as one attribute value, for the Attribute fragment kind.
void XmlTextReader::ReadAttributeFragment()
{
    if (Peek() == -1)
    {
        Fail(String(L"NoData"), 0, 0);
    }
    Node* attribute = NewNode(XmlNodeType::Attribute, m_line, Column());
    AddAttribute(attribute);
    ParseAttributeValue(attribute, 0);
    m_rootSeen = true;
    m_state = ParseState::TopLevel;
    SetCurrentAttribute(0);
}

// ---------------------------------------------------------------------------------------------------------------
// Read helpers

void XmlTextReader::Skip()
{
    if (m_readState != Xml::ReadState::Interactive)
    {
        return;
    }
    MoveToElement();
    if (m_current->kind == XmlNodeType::Element && !m_current->flag)
    {
        int depth = m_current->depth;
        while (Read())
        {
            if (m_current->kind == XmlNodeType::EndElement && m_current->depth == depth)
            {
                break;
            }
        }
    }
    Read();
}

XmlNodeType XmlTextReader::MoveToContent()
{
    do
    {
        MoveToElement();
        switch (m_current->kind)
        {
        case XmlNodeType::Element:
        case XmlNodeType::Text:
        case XmlNodeType::CDATA:
        case XmlNodeType::EntityReference:
        case XmlNodeType::EndElement:
        case XmlNodeType::EndEntity:
            return NodeType();
        default:
            break;
        }
    } while (Read());
    return NodeType();
}

String XmlTextReader::ReadString()
{
    if (m_readState != Xml::ReadState::Interactive)
    {
        return String();
    }
    MoveToElement();
    if (m_current->kind == XmlNodeType::Element)
    {
        if (m_current->flag || !Read() || m_current->kind == XmlNodeType::EndElement)
        {
            return String();
        }
    }
    std::wstring text;
    for (;;)
    {
        int kind = m_current->kind;
        if (kind != XmlNodeType::Text && kind != XmlNodeType::CDATA && kind != XmlNodeType::Whitespace &&
            kind != XmlNodeType::SignificantWhitespace)
        {
            break;
        }
        text.append(m_current->value.GetBuffer(), static_cast<size_t>(m_current->value.GetLength()));
        if (!Read())
        {
            break;
        }
    }
    return String(text.data(), static_cast<int>(text.size()));
}

String XmlTextReader::ReadElementString()
{
    if (MoveToContent() != XmlNodeType::Element)
    {
        throw XmlException(String());
    }
    if (m_current->flag)
    {
        Read();
        return String();
    }
    Read();
    String text = ReadString();
    if (m_current->kind != XmlNodeType::EndElement)
    {
        throw XmlException(String());
    }
    Read();
    return text;
}

// ---------------------------------------------------------------------------------------------------------------
// Accessors

XmlNodeType XmlTextReader::NodeType() const
{
    return static_cast<XmlNodeType::Value>(m_current->kind);
}

const String& XmlTextReader::Name() const
{
    return *m_current->name;
}

const String& XmlTextReader::LocalName() const
{
    return *m_current->localName;
}

const String& XmlTextReader::Prefix() const
{
    return *m_current->prefix;
}

const String& XmlTextReader::NamespaceURI() const
{
    return *m_current->namespaceURI;
}

const String& XmlTextReader::Value() const
{
    return HasValueKind(m_current->kind) ? m_current->value : String::Empty;
}

int XmlTextReader::Depth() const
{
    return m_current->depth;
}

bool XmlTextReader::IsEmptyElement() const
{
    return m_current->kind == XmlNodeType::Element && m_current->flag;
}

bool XmlTextReader::HasValue() const
{
    return HasValueKind(m_current->kind);
}

wchar_t XmlTextReader::QuoteChar() const
{
    return m_current->kind == XmlNodeType::Attribute ? m_current->quoteChar : L'"';
}

const String& XmlTextReader::XmlLang() const
{
    return *m_current->xmlLang;
}

Xml::XmlSpace XmlTextReader::XmlSpace() const
{
    return static_cast<Xml::XmlSpace::Value>(m_current->xmlSpace);
}

int XmlTextReader::LineNumber() const
{
    return m_current->line;
}

int XmlTextReader::LinePosition() const
{
    return m_current->column;
}

Xml::ReadState XmlTextReader::ReadState() const
{
    return static_cast<Xml::ReadState::Value>(m_readState);
}

String XmlTextReader::LookupNamespace(const String& prefix) const
{
    if (!m_namespacesOn || m_namespaces == nullptr)
    {
        return String();
    }
    return m_namespaces->LookupNamespace(prefix);
}

// ---------------------------------------------------------------------------------------------------------------
// Attributes

int XmlTextReader::AttributeCount() const
{
    return m_attributes.GetCount();
}

int XmlTextReader::FindAttribute(const String& name) const
{
    for (int i = 0; i < m_attributes.GetCount(); i++)
    {
        if (*m_attributes[i]->name == name)
        {
            return i;
        }
    }
    return -1;
}

int XmlTextReader::FindAttribute(const String& localName, const String& namespaceURI) const
{
    for (int i = 0; i < m_attributes.GetCount(); i++)
    {
        if (*m_attributes[i]->localName == localName && *m_attributes[i]->namespaceURI == namespaceURI)
        {
            return i;
        }
    }
    return -1;
}

String XmlTextReader::GetAttribute(const String& name) const
{
    int index = FindAttribute(name);
    return index >= 0 ? m_attributes[index]->value : String();
}

String XmlTextReader::GetAttribute(const String& localName, const String& namespaceURI) const
{
    int index = FindAttribute(localName, namespaceURI);
    return index >= 0 ? m_attributes[index]->value : String();
}

String XmlTextReader::GetAttribute(int index) const
{
    if (index < 0 || index >= m_attributes.GetCount())
    {
        throw ArgumentOutOfRangeException(index);
    }
    return m_attributes[index]->value;
}

void XmlTextReader::SetCurrentAttribute(int index)
{
    m_attributeIndex = index;
    m_part = nullptr;
    m_current = m_attributes[index];
}

bool XmlTextReader::MoveToAttribute(const String& name)
{
    int index = FindAttribute(name);
    if (index < 0)
    {
        return false;
    }
    SetCurrentAttribute(index);
    return true;
}

bool XmlTextReader::MoveToAttribute(const String& localName, const String& namespaceURI)
{
    int index = FindAttribute(localName, namespaceURI);
    if (index < 0)
    {
        return false;
    }
    SetCurrentAttribute(index);
    return true;
}

void XmlTextReader::MoveToAttribute(int index)
{
    if (index < 0 || index >= m_attributes.GetCount())
    {
        throw ArgumentOutOfRangeException(index);
    }
    SetCurrentAttribute(index);
}

bool XmlTextReader::MoveToFirstAttribute()
{
    if (m_attributes.GetCount() == 0)
    {
        return false;
    }
    SetCurrentAttribute(0);
    return true;
}

bool XmlTextReader::MoveToNextAttribute()
{
    if (m_attributeIndex < 0)
    {
        return MoveToFirstAttribute();
    }
    if (m_attributeIndex + 1 >= m_attributes.GetCount())
    {
        return false;
    }
    SetCurrentAttribute(m_attributeIndex + 1);
    return true;
}

bool XmlTextReader::MoveToElement()
{
    if (m_attributeIndex < 0 || m_node == m_none)
    {
        return false;
    }
    m_attributeIndex = -1;
    m_part = nullptr;
    m_current = m_node;
    return true;
}

bool XmlTextReader::ReadAttributeValue()
{
    if (m_attributeIndex < 0)
    {
        return false;
    }
    Node* attribute = m_attributes[m_attributeIndex];
    if (m_part == nullptr)
    {
        if (attribute->first == nullptr)
        {
            // Values without entity references get their one text part only when someone asks for it.
            Node* part = NewNode(XmlNodeType::Text, attribute->line, attribute->column);
            part->value = attribute->value;
            part->depth = attribute->depth + 1;
            attribute->first = part;
        }
        m_part = attribute->first;
    }
    else if (m_part->next != nullptr)
    {
        m_part = m_part->next;
    }
    else
    {
        return false;
    }
    m_current = m_part;
    return true;
}

} // namespace Core::Xml
