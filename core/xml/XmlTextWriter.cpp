#include "core/xml/XmlTextWriter.h"

#include "core/io/FileStream.h"
#include "core/xml/XmlCharacters.h"
#include "core/xml/XmlTextReader.h"

#include <cstring>

namespace Core::Xml
{

using Place = IO::AsciiRoom::Place;

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
// Element and attribute names up to this length take the one-piece paths.
constexpr int PlainNameLimit = 256;
// The longest piece: a line end, the tabs, "</", a name and ">".
static_assert(2 + TabsAvailable + 2 + PlainNameLimit + 1 <= Detail::MarkupOutput::PieceLimit, "pieces fit the output");

// A line end and indent tabs (at most TabsAvailable) at out: the whole constant is copied, and what follows the
// wanted bytes is overwritten by the rest of the piece or lies in the room's spare bytes.
__attribute__((always_inline)) inline void CopyLineAndTabs(uint8_t* out)
{
    static_assert(sizeof(LineAndTabs) - 1 <= IO::AsciiRoom::Spare, "the constant fits in the spare bytes");
    std::memcpy(out, LineAndTabs, sizeof(LineAndTabs) - 1);
}

// Narrows a name into room with a block to spare and tells whether it was all ASCII.
__attribute__((always_inline)) inline bool NarrowName(uint8_t* out, const wchar_t* name, int length)
{
    uint64_t bytes = 0;
    if (length <= 8)
    {
        if (!NarrowShortAscii(name, length, bytes))
        {
            return false;
        }
        std::memcpy(out, &bytes, 8);
        return true;
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
    m_out.Attach(m_writer);
}

XmlTextWriter::~XmlTextWriter()
{
    try
    {
        // What is still buffered here and in the stream writer goes to the stream; the stream goes after it.
        m_out.Flush();
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

// ---------------------------------------------------------------------------------------------------------------
// State rules

inline int XmlTextWriter::IndentWidth(bool beforeEndTag) const
{
    if (m_formatting != Xml::Formatting::Indented)
    {
        return -1;
    }
    if (m_depth == 0)
    {
        return 0;
    }
    if (Top().inherited.hasTextContent)
    {
        return -1;
    }
    return (beforeEndTag ? m_depth - 1 : m_depth) * m_indentation;
}

inline bool XmlTextWriter::OnePieceMarkup(int indent) const
{
    return m_depth > 0 && !DeclarationsPending() && (indent < 0 || (m_indentChar == L'\t' && indent <= TabsAvailable));
}

inline XmlTextWriter::ElementScope& XmlTextWriter::OpenElement()
{
    if (m_depth == 0)
    {
        m_rootStarted = true;
    }
    if (m_depth == m_elements.GetCount())
    {
        AddElementSlot();
    }
    // A child inherits xml:space, xml:lang and whether the content is mixed (then nothing is indented).
    ElementScope& scope = m_scopes[m_depth];
    scope.inherited = m_depth > 0 ? m_scopes[m_depth - 1].inherited : Inherited();
    m_depth++;
    m_namespaces.PushScope();
    m_state = Xml::WriteState::Element;
    return scope;
}

inline void XmlTextWriter::CloseElement()
{
    m_namespaces.PopScope();
    m_depth--;
    m_state = Xml::WriteState::Content;
    if (m_declarationWritten && m_depth == 0)
    {
        m_rootClosed = true;
    }
}

inline void XmlTextWriter::BeginAttribute(int kind, const String* declaredPrefix)
{
    m_attributeKind = kind;
    m_declaredPrefix = declaredPrefix;
    if (kind != Ordinary)
    {
        m_attributeValue.clear();
    }
    m_state = Xml::WriteState::Attribute;
}

// Applies what the attribute declared, then closes its value. A bad value changes nothing.
inline void XmlTextWriter::EndAttribute()
{
    if (m_attributeKind != Ordinary)
    {
        ApplyAttribute();
    }
    Guarded([&]() __attribute__((always_inline)) {
        m_out.Emit(m_quoteChar);
        m_attributeKind = Ordinary;
        m_state = Xml::WriteState::Element;
    });
}

// Ends a pending attribute and the open start tag with ">".
inline void XmlTextWriter::CloseStartTag()
{
    if (m_state == Xml::WriteState::Attribute)
    {
        EndAttribute();
    }
    if (DeclarationsPending())
    {
        WriteDeclarations();
    }
    m_out.Emit(L'>');
    m_state = Xml::WriteState::Content;
}

inline void XmlTextWriter::EnterTextState()
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

void XmlTextWriter::BeginMarkupNode()
{
    if (m_state == Xml::WriteState::Element || m_state == Xml::WriteState::Attribute)
    {
        CloseStartTag();
    }
    if (m_state == Xml::WriteState::Start)
    {
        m_state = Xml::WriteState::Prolog;
    }
    else
    {
        Indent(false);
    }
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
        m_out.Emit(L' ');
        m_out.Emit(m_xmlnsPrefix);
        if (!declaration.prefix->IsEmpty())
        {
            m_out.Emit(L':');
            m_out.Emit(*declaration.prefix);
        }
        m_out.Emit(L'=');
        m_out.Emit(m_quoteChar);
        m_out.WriteEscaped(declaration.uri->GetBuffer(), declaration.uri->GetLength(), true, m_quoteChar);
        m_out.Emit(m_quoteChar);
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

void XmlTextWriter::Indent(bool beforeEndTag)
{
    int width = IndentWidth(beforeEndTag);
    if (width < 0)
    {
        return;
    }
    // The line end and the usual tab indentation go out in one piece.
    if (m_indentChar == L'\t' && width <= TabsAvailable)
    {
        m_out.WritePiece(
            2 + width, [&](Place out) __attribute__((always_inline)) {
                CopyLineAndTabs(out);
                return 2 + width;
            });
        return;
    }
    m_out.Emit(L"\r\n", 2);
    for (int i = width; i > 0; i--)
    {
        m_out.Emit(m_indentChar);
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
            m_out.Put("<?xml version=");
            m_out.Emit(m_quoteChar);
            m_out.Put("1.0");
            m_out.Emit(m_quoteChar);
            if (standalone >= 0)
            {
                m_out.Put(" standalone=");
                m_out.Emit(m_quoteChar);
                if (standalone != 0)
                {
                    m_out.Put("yes");
                }
                else
                {
                    m_out.Put("no");
                }
                m_out.Emit(m_quoteChar);
            }
            m_out.Put("?>");
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
            if (m_state != Xml::WriteState::Start)
            {
                Indent(false);
            }
            m_state = Xml::WriteState::Prolog;
            m_out.Put("<!DOCTYPE ");
            m_out.Emit(name);
            if (!publicId.IsEmpty())
            {
                m_out.Put(" PUBLIC ");
                m_out.Emit(m_quoteChar);
                m_out.Emit(publicId);
                m_out.Emit(m_quoteChar);
                m_out.Emit(L' ');
                m_out.Emit(m_quoteChar);
                m_out.Emit(systemId);
                m_out.Emit(m_quoteChar);
            }
            else if (!systemId.IsEmpty())
            {
                m_out.Put(" SYSTEM ");
                m_out.Emit(m_quoteChar);
                m_out.Emit(systemId);
                m_out.Emit(m_quoteChar);
            }
            if (!subset.IsEmpty())
            {
                m_out.Put(" [");
                m_out.Emit(subset);
                m_out.Emit(L']');
            }
            m_out.Emit(L'>');
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
            m_out.Put("<?");
            m_out.Emit(name);
            if (!text.IsEmpty())
            {
                m_out.Emit(L' ');
                m_out.Emit(text);
            }
            m_out.Put("?>");
        });
}
// ---------------------------------------------------------------------------------------------------------------
// Elements

void XmlTextWriter::WriteStartElement(const String& localName, const String& namespaceURI)
{
    WriteStartElement(String::Empty, localName, namespaceURI);
}

// The general paths are functions of their own: the registers they need would otherwise be saved and restored
// for every element.
void XmlTextWriter::WriteStartElement(const String& prefix, const String& localName, const String& namespaceURI)
{
    if (prefix.IsEmpty() && namespaceURI.IsEmpty() && StartPlainElement(localName))
    {
        return;
    }
    StartElement(prefix, localName, namespaceURI);
}

// The end of the parent's start tag, the indentation and the new start tag as one piece.
inline bool XmlTextWriter::StartPlainElement(const String& localName)
{
    int nameLength = localName.GetLength();
    if ((m_state != Xml::WriteState::Element && m_state != Xml::WriteState::Content) || m_depth == 0 ||
        nameLength > PlainNameLimit)
    {
        return false;
    }
    int indent = IndentWidth(false);
    if (!OnePieceMarkup(indent))
    {
        return false;
    }
    // A short ASCII name, the usual one, is narrowed once: its bytes go into the tag, are kept for the end tag,
    // and tell whether the slot this element takes last held an element of the same name (most often it did),
    // whose interned name then needs no lookup.
    const wchar_t* units = localName.GetBuffer();
    uint64_t shortName = 0;
    int shortLength =
        nameLength > 0 && nameLength <= 8 && NarrowShortAscii(units, nameLength, shortName) ? nameLength : 0;
    // A slot keeps a short name only for an element without prefix and namespace, so the same short name there
    // means the same name in every part.
    const ElementScope* slot = m_depth < m_elements.GetCount() ? &m_scopes[m_depth] : nullptr;
    const String* name = slot != nullptr ? slot->name.localName : nullptr;
    bool sameName =
        shortLength > 0 && slot != nullptr && slot->shortLength == shortLength && slot->shortName == shortName;
    if (!sameName &&
        (name == nullptr || name->GetLength() != nameLength || !CharactersEqual(name->GetBuffer(), units, nameLength)))
    {
        name = Intern(localName);
    }
    bool closeStartTag = m_state == Xml::WriteState::Element;
    int length = (closeStartTag ? 1 : 0) + (indent >= 0 ? 2 + indent : 0) + 1 + nameLength;
    bool written = false;
    Guarded([&]() __attribute__((always_inline)) {
        written = m_out.WritePiece(
            length, [&](Place out) __attribute__((always_inline)) {
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
                    return length;
                }
                return NarrowAscii(out, units, nameLength) ? length : -1;
            });
        if (!written)
        {
            return;
        }
        // The scope is named in place, field by field: a name put together in one piece goes through vector
        // registers, which the calling convention makes this function save and restore.
        ElementScope& scope = OpenElement();
        if (!sameName)
        {
            scope.name.prefix = m_emptyName;
            scope.name.localName = name;
            scope.shortName = shortName;
            scope.shortLength = shortLength;
        }
    });
    return written;
}

void XmlTextWriter::StartElement(const String& prefix, const String& localName, const String& namespaceURI)
{
    CheckWritable();
    if (m_rootClosed)
    {
        throw InvalidOperationException();
    }
    bool declare = false;
    const String* usedPrefix =
        prefix.IsEmpty() && namespaceURI.IsEmpty() ? m_emptyName : ElementPrefix(prefix, namespaceURI, declare);
    Guarded(
        [&]
        {
            if (m_state == Xml::WriteState::Element || m_state == Xml::WriteState::Attribute)
            {
                CloseStartTag();
            }
            if (m_state != Xml::WriteState::Start)
            {
                Indent(false);
            }
            ElementScope& scope = OpenElement();
            scope.name.prefix = usedPrefix;
            scope.name.localName = Intern(localName);
            scope.shortLength = 0;
            if (declare)
            {
                m_namespaces.AddNamespace(*usedPrefix, namespaceURI);
                m_pending.Add(Declaration{usedPrefix, Intern(namespaceURI)});
            }
            m_out.Emit(L'<');
            if (!usedPrefix->IsEmpty())
            {
                m_out.Emit(*usedPrefix);
                m_out.Emit(L':');
            }
            m_out.Emit(localName);
        });
}

const String* XmlTextWriter::ElementPrefix(const String& prefix, const String& namespaceURI, bool& declare)
{
    if (!m_namespacesOn)
    {
        throw ArgumentException();
    }
    const String* usedPrefix = Intern(prefix);
    bool xmlNamespace = namespaceURI == *m_xmlNamespace;
    bool xmlPrefix = prefix == *m_xmlPrefix;
    if (prefix == m_xmlnsPrefix || (xmlPrefix && !namespaceURI.IsEmpty() && !xmlNamespace) ||
        (xmlNamespace && !prefix.IsEmpty() && !xmlPrefix))
    {
        throw ArgumentException();
    }
    if (namespaceURI.IsEmpty())
    {
        // A prefix without namespace must be bound already.
        const String* bound = m_namespaces.FindNamespace(prefix);
        if (bound == nullptr || bound->IsEmpty())
        {
            throw ArgumentException();
        }
        return usedPrefix;
    }
    if (prefix.IsEmpty())
    {
        const String* found = m_namespaces.FindPrefix(namespaceURI);
        declare = found == nullptr;
        return found != nullptr ? found : usedPrefix;
    }
    const String* bound = m_namespaces.FindNamespace(prefix);
    declare = bound == nullptr || *bound != namespaceURI;
    return usedPrefix;
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

// The indentation and the end tag of an element with content as one piece.
inline bool XmlTextWriter::EndElementWithContent()
{
    if (m_state != Xml::WriteState::Content || m_depth == 0)
    {
        return false;
    }
    int indent = IndentWidth(true);
    if (!OnePieceMarkup(indent))
    {
        return false;
    }
    const ElementScope& scope = Top();
    int nameLength = scope.shortLength;
    if (nameLength == 0)
    {
        nameLength = scope.name.localName->GetLength();
        if (!scope.name.prefix->IsEmpty() || nameLength > PlainNameLimit)
        {
            return false;
        }
    }
    int length = (indent >= 0 ? 2 + indent : 0) + 2 + nameLength + 1;
    bool written = false;
    Guarded([&]() __attribute__((always_inline)) {
        written = m_out.WritePiece(
            length, [&](Place out) __attribute__((always_inline)) {
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
                else if (!NarrowAscii(out + 2, scope.name.localName->GetBuffer(), nameLength))
                {
                    return -1;
                }
                out[2 + nameLength] = '>';
                return length;
            });
        if (written)
        {
            CloseElement();
        }
    });
    return written;
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
                if (DeclarationsPending())
                {
                    WriteDeclarations();
                }
                if (full)
                {
                    m_out.Emit(L'>');
                }
                else
                {
                    m_out.Put(" />");
                }
            }
            else
            {
                Indent(true);
            }
            if (!startTagOpen || full)
            {
                const QualifiedName& name = Top().name;
                m_out.Put("</");
                if (!name.prefix->IsEmpty())
                {
                    m_out.Emit(*name.prefix);
                    m_out.Emit(L':');
                }
                m_out.Emit(*name.localName);
                m_out.Emit(L'>');
            }
            CloseElement();
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
    if (prefix.IsEmpty() && namespaceURI.IsEmpty() && StartPlainAttribute(localName))
    {
        return;
    }
    StartAttribute(prefix, localName, namespaceURI);
}

// An ordinary attribute right after the element's name or another attribute: name, equals sign and quote as
// one piece.
inline bool XmlTextWriter::StartPlainAttribute(const String& localName)
{
    int nameLength = localName.GetLength();
    if (m_state != Xml::WriteState::Element || nameLength > PlainNameLimit ||
        (m_namespacesOn && localName == m_xmlnsPrefix))
    {
        return false;
    }
    bool written = false;
    Guarded([&]() __attribute__((always_inline)) {
        written = m_out.WritePiece(
            nameLength + 3, [&](Place out) __attribute__((always_inline)) {
                out[0] = ' ';
                if (!NarrowName(out + 1, localName.GetBuffer(), nameLength))
                {
                    return -1;
                }
                out[nameLength + 1] = '=';
                out[nameLength + 2] = static_cast<uint8_t>(m_quoteChar);
                return nameLength + 3;
            });
        if (written)
        {
            BeginAttribute(Ordinary, nullptr);
        }
    });
    return written;
}

void XmlTextWriter::StartAttribute(const String& prefix, const String& localName, const String& namespaceURI)
{
    if (m_state != Xml::WriteState::Element && m_state != Xml::WriteState::Attribute)
    {
        throw InvalidOperationException();
    }
    // An ordinary name is written as it is, so it need not be interned.
    AttributeName name;
    name.prefix = m_emptyName;
    name.writtenName = &localName;
    if (!prefix.IsEmpty() || !namespaceURI.IsEmpty() || (m_namespacesOn && localName == m_xmlnsPrefix))
    {
        name = ClassifyAttribute(prefix, localName, namespaceURI);
    }
    if (m_state == Xml::WriteState::Attribute)
    {
        EndAttribute();
    }
    Guarded(
        [&]
        {
            if (name.pending.prefix != nullptr)
            {
                m_namespaces.AddNamespace(*name.pending.prefix, *name.pending.uri);
                m_pending.Add(name.pending);
            }
            if (name.declaredPrefix != nullptr)
            {
                m_declaredInTag.Add(name.declaredPrefix);
            }
            m_out.Emit(L' ');
            if (!name.prefix->IsEmpty())
            {
                m_out.Emit(*name.prefix);
                m_out.Emit(L':');
            }
            m_out.Emit(*name.writtenName);
            m_out.Emit(L'=');
            m_out.Emit(m_quoteChar);
            BeginAttribute(name.kind, name.declaredPrefix);
        });
}

XmlTextWriter::AttributeName XmlTextWriter::ClassifyAttribute(const String& prefix, const String& localName,
                                                              const String& namespaceURI)
{
    if (!m_namespacesOn)
    {
        throw ArgumentException();
    }
    AttributeName name;
    name.prefix = Intern(prefix);
    name.writtenName = Intern(localName);
    const String& xmlnsNamespace = *m_xmlnsNamespace;
    bool xmlPrefix = prefix == *m_xmlPrefix;
    if (xmlPrefix && localName == *m_spaceName)
    {
        name.kind = Space;
    }
    else if (xmlPrefix && localName == *m_langName)
    {
        name.kind = Lang;
    }
    else if ((prefix == m_xmlnsPrefix && localName.IsEmpty()) || (prefix.IsEmpty() && localName == m_xmlnsPrefix) ||
             (prefix.IsEmpty() && localName.IsEmpty() && namespaceURI == xmlnsNamespace))
    {
        // The default namespace, written with the single name xmlns.
        name.kind = NamespaceDeclaration;
        name.prefix = m_emptyName;
        name.writtenName = Intern(m_xmlnsPrefix);
        name.declaredPrefix = m_emptyName;
    }
    else if (prefix == m_xmlnsPrefix || (namespaceURI == xmlnsNamespace && !localName.IsEmpty()))
    {
        name.kind = NamespaceDeclaration;
        name.prefix = Intern(m_xmlnsPrefix);
        name.declaredPrefix = name.writtenName;
    }
    else if (!namespaceURI.IsEmpty())
    {
        const String* found = prefix.IsEmpty() ? m_namespaces.FindPrefix(namespaceURI) : nullptr;
        if (prefix.IsEmpty() && found != nullptr && !found->IsEmpty())
        {
            name.prefix = found;
        }
        else if (prefix.IsEmpty())
        {
            // An attribute without prefix has no namespace, so one has to be made up.
            String generated(L"d");
            generated += m_depth;
            generated += L"p";
            generated += ++m_generatedPrefixes;
            name.prefix = Intern(generated);
            name.pending = Declaration{name.prefix, Intern(namespaceURI)};
        }
        else
        {
            const String* bound = m_namespaces.FindNamespace(prefix);
            if (bound == nullptr || *bound != namespaceURI)
            {
                name.pending = Declaration{name.prefix, Intern(namespaceURI)};
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
    return name;
}

void XmlTextWriter::WriteEndAttribute()
{
    if (m_state != Xml::WriteState::Attribute)
    {
        throw InvalidOperationException();
    }
    EndAttribute();
}

void XmlTextWriter::ApplyAttribute()
{
    String value(m_attributeValue.data(), static_cast<int>(m_attributeValue.size()));
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
    // The usual texts need no state check and no collected value: an ordinary attribute's value, and an element's
    // content right after its start tag.
    if (m_state == Xml::WriteState::Attribute && m_attributeKind == Ordinary)
    {
        Guarded([&]() __attribute__((always_inline)) {
            m_out.WriteEscaped(text.GetBuffer(), length, true, m_quoteChar);
        });
        return;
    }
    if (m_state == Xml::WriteState::Element && !DeclarationsPending())
    {
        Guarded([&]() __attribute__((always_inline)) {
            EnterTextState();
            m_out.WriteEscaped(text.GetBuffer(), length, false, m_quoteChar);
        });
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
            m_out.WriteEscaped(text.GetBuffer(), text.GetLength(), m_state == Xml::WriteState::Attribute, m_quoteChar);
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
            m_out.Emit(reference);
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
            m_out.Emit(whitespace);
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
            m_out.Put("<![CDATA[");
            m_out.Emit(text);
            m_out.Put("]]>");
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
            m_out.Put("<!--");
            m_out.Emit(text);
            m_out.Put("-->");
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
            m_out.Emit(text);
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
    m_out.Flush();
    m_writer->Flush();
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
        m_out.Flush();
    }
    catch (...)
    {
        m_writer->Close();
        throw;
    }
    m_writer->Close();
}

} // namespace Core::Xml
