// Writes XML forward-only to a stream writer: declaration, elements, attributes, escaped text, raw text,
// CDATA sections and comments, with optional indentation and namespace bookkeeping.
#pragma once

#include "core/collections/ArrayList.h"
#include "core/io/StreamWriter.h"
#include "core/xml/NameTable.h"
#include "core/xml/XmlEnumerations.h"
#include "core/xml/XmlMarkupOutput.h"
#include "core/xml/XmlNamespaceManager.h"

#include <cstdint>
#include <string>

namespace Core::Xml
{

class XmlTextReader;

class XmlTextWriter : public Object
{
public:
    // encoding null means UTF-8 without byte-order mark. The stream stays the caller's and stays open.
    XmlTextWriter(IO::Stream* stream, const IO::Encoding* encoding);
    // As above, with the number of characters the writer collects before it writes to the stream.
    XmlTextWriter(IO::Stream* stream, const IO::Encoding* encoding, int bufferSize);
    // Creates (or replaces) the file; the writer owns its stream and closes it on Close.
    XmlTextWriter(const String& fileName, const IO::Encoding* encoding);
    ~XmlTextWriter() override;
    XmlTextWriter(const XmlTextWriter&) = delete;
    XmlTextWriter& operator=(const XmlTextWriter&) = delete;

    Xml::Formatting GetFormatting() const { return static_cast<Xml::Formatting::Value>(m_formatting); }
    void SetFormatting(Xml::Formatting formatting);
    int GetIndentation() const { return m_indentation; }
    void SetIndentation(int indentation);
    wchar_t GetIndentChar() const { return m_indentChar; }
    void SetIndentChar(wchar_t indentChar) { m_indentChar = indentChar; }
    wchar_t GetQuoteChar() const { return m_quoteChar; }
    void SetQuoteChar(wchar_t quoteChar);
    bool GetNamespaces() const { return m_namespacesOn; }
    void SetNamespaces(bool namespaces);
    Xml::WriteState GetWriteState() const { return static_cast<Xml::WriteState::Value>(m_state); }
    Xml::XmlSpace GetXmlSpace() const;
    String GetXmlLang() const;
    String LookupPrefix(const String& namespaceURI) const;

    virtual void WriteStartDocument();
    virtual void WriteEndDocument();
    virtual void WriteProcessingInstruction(const String& name, const String& text);
    virtual void WriteDocType(const String& name, const String& publicId, const String& systemId, const String& subset);
    virtual void WriteCData(const String& text);
    virtual void WriteComment(const String& text);
    virtual void WriteStartElement(const String& prefix, const String& localName, const String& namespaceURI);
    virtual void WriteEndElement();
    virtual void WriteFullEndElement();
    virtual void WriteStartAttribute(const String& prefix, const String& localName, const String& namespaceURI);
    virtual void WriteEndAttribute();
    virtual void WriteAttributes(XmlTextReader* reader, bool defattr);
    virtual void WriteString(const String& text);
    virtual void WriteEntityRef(const String& name);
    virtual void WriteRaw(const String& text);
    virtual void WriteWhitespace(const String& whitespace);
    virtual void WriteNode(XmlTextReader* reader, bool defattr);
    virtual void Flush();
    virtual void Close();
    // Binary output is not supported.
    virtual void WriteBase64(const uint8_t* bytes, int start, int count);

    // The declaration with standalone="yes" or "no".
    void WriteStartDocument(bool standalone);
    void WriteStartElement(const String& localName) { WriteStartElement(String::Empty, localName, String::Empty); }
    void WriteStartElement(const String& localName, const String& namespaceURI);
    void WriteAttributeString(const String& localName, const String& value);
    void WriteAttributeString(const String& prefix, const String& localName, const String& namespaceURI,
                              const String& value)
    {
        WriteStartAttribute(prefix, localName, namespaceURI);
        WriteString(value);
        WriteEndAttribute();
    }
    void WriteElementString(const String& localName, const String& value);
    void WriteBinHex(const uint8_t* bytes, int start, int count);

private:
    // What a child takes over from its parent, kept together so it is copied in one piece.
    struct Inherited
    {
        const String* xmlLang = nullptr; // not owned: interned
        int xmlSpace = Xml::XmlSpace::None;
        bool hasTextContent = false;
    };

    // A name, with the prefix its element is written with.
    struct QualifiedName
    {
        const String* prefix = nullptr; // not owned: interned, like the one below
        const String* localName = nullptr;
    };

    struct ElementScope
    {
        Inherited inherited;
        QualifiedName name;
        // An element without prefix whose name is at most eight ASCII units keeps it here as bytes, for its end
        // tag and for the next element in this slot to recognise its name; shortLength is 0 for the others.
        uint64_t shortName = 0;
        int shortLength = 0;
    };

    struct Declaration
    {
        const String* prefix = nullptr; // not owned: interned
        const String* uri = nullptr;    // not owned: interned
    };

    enum AttributeKind
    {
        Ordinary = 1,
        Space = 2,
        Lang = 4,
        NamespaceDeclaration = 8
    };

    struct AttributeName
    {
        int kind = Ordinary;
        const String* prefix = nullptr;         // not owned: interned
        const String* writtenName = nullptr;    // not owned
        const String* declaredPrefix = nullptr; // not owned: interned; the prefix a namespace attribute declares
        Declaration pending;                    // a declaration the name needs in this start tag
    };

    void Initialise(IO::Stream* stream, const IO::Encoding* encoding, int bufferSize = 1024);
    void InternNames();
    void WriteDeclaration(int standalone);

    // The state rules, each in one place for the usual paths and the general ones.
    // A new element: its scope, inheriting from its parent, a namespace scope, and the start tag open. The
    // caller names the scope; the slot is reused, and still holds the name of the last element at this depth.
    __attribute__((always_inline)) ElementScope& OpenElement();
    // The end of the innermost element; the end of the root ends the document's content.
    __attribute__((always_inline)) void CloseElement();
    __attribute__((always_inline)) void BeginAttribute(int kind, const String* declaredPrefix);
    // Text moves into content (closing the open start tag); inside an attribute value nothing changes.
    __attribute__((always_inline)) void EnterTextState();
    __attribute__((always_inline)) void CloseStartTag();
    // The number of indent characters before a start tag or an end tag; -1 where nothing is indented.
    int IndentWidth(bool beforeEndTag) const;

    // The usual element, attribute and end tag go out as one piece each. They take only plain names (no prefix
    // or namespace) inside the root element, with no namespace declarations waiting for the open start tag, and
    // indentation by tabs that the line-end constant holds; otherwise, or when a name is not ASCII, they return
    // false having changed nothing, and the general path decides.
    __attribute__((always_inline)) bool OnePieceMarkup(int indent) const;
    __attribute__((always_inline)) bool StartPlainElement(const String& localName);
    __attribute__((always_inline)) bool EndElementWithContent();
    __attribute__((always_inline)) bool StartPlainAttribute(const String& localName);
    // Text where WriteString's usual case does not apply.
    __attribute__((noinline)) void WriteOtherText(const String& text);
    __attribute__((noinline)) void StartElement(const String& prefix, const String& localName,
                                                const String& namespaceURI);
    __attribute__((noinline)) void EndFullOrShortElement(bool full);
    __attribute__((noinline)) void StartAttribute(const String& prefix, const String& localName,
                                                  const String& namespaceURI);
    // The prefix an element is written with, and whether it has to be declared; a misused name throws.
    const String* ElementPrefix(const String& prefix, const String& namespaceURI, bool& declare);
    AttributeName ClassifyAttribute(const String& prefix, const String& localName, const String& namespaceURI);
    void CheckWritable() const
    {
        if (m_state == Xml::WriteState::Closed || m_state == Xml::WriteState::Error)
        {
            throw InvalidOperationException();
        }
    }
    void CheckTextState() const;
    // Before a comment or processing instruction: closes a pending start tag, indents, leaves the start state.
    void BeginMarkupNode();
    __attribute__((always_inline)) void EndAttribute();
    // What the xml:space, xml:lang or namespace attribute just written means for the element; a bad value throws.
    __attribute__((noinline)) void ApplyAttribute();
    bool DeclarationsPending() const { return m_pending.GetCount() > 0 || m_declaredInTag.GetCount() > 0; }
    void WriteDeclarations();
    void Indent(bool beforeEndTag);
    // Keeps the value of an attribute that means something to the writer (xml:space, xml:lang, xmlns).
    void Collect(const wchar_t* text, int length)
    {
        if (m_state == Xml::WriteState::Attribute && m_attributeKind != Ordinary)
        {
            m_attributeValue.append(text, static_cast<size_t>(length));
        }
    }
    ElementScope& Top() { return m_scopes[m_depth - 1]; }
    const ElementScope& Top() const { return m_scopes[m_depth - 1]; }
    void AddElementSlot();
    // Documents repeat a few names over and over: a name is looked up in a small cache by its length and
    // its first and last units before it is hashed, so a repeated name costs one comparison.
    const String* Intern(const String& text)
    {
        int length = text.GetLength();
        if (length == 0)
        {
            return m_emptyName;
        }
        const wchar_t* units = text.GetBuffer();
        unsigned int slot =
            (static_cast<unsigned int>(length) * 7u + units[0] * 3u + units[length - 1]) % NameCacheSize;
        const String* cached = m_nameCache[slot];
        if (cached != nullptr && cached->GetLength() == length && CharactersEqual(cached->GetBuffer(), units, length))
        {
            return cached;
        }
        const String* interned = &m_nameTable.Add(text);
        m_nameCache[slot] = interned;
        return interned;
    }
    // Runs a writing step; a failure once writing began leaves the writer in the error state.
    template <typename Step> __attribute__((always_inline)) void Guarded(Step step);

    IO::StreamWriter* m_writer; // owned
    IO::Stream* m_stream;       // owned when m_ownsStream
    bool m_ownsStream;
    bool m_namespacesOn = true;
    int m_formatting = Xml::Formatting::None;
    int m_indentation = 1;
    wchar_t m_indentChar = L'\t';
    wchar_t m_quoteChar = L'"';
    int m_state = Xml::WriteState::Start;
    bool m_declarationWritten = false;
    bool m_rootStarted = false;
    bool m_rootClosed = false;
    Collections::ArrayList<ElementScope> m_elements; // the open elements are the first m_depth
    ElementScope* m_scopes = nullptr;                // the storage of m_elements
    int m_depth = 0;
    NameTable m_nameTable;
    static constexpr unsigned int NameCacheSize = 31;
    const String* m_nameCache[NameCacheSize] = {}; // not owned: strings of the name table
    XmlNamespaceManager m_namespaces;
    String m_xmlnsPrefix;
    // Interned names compared on every element and attribute; not owned.
    const String* m_emptyName = nullptr;
    const String* m_xmlPrefix = nullptr;
    const String* m_xmlNamespace = nullptr;
    const String* m_xmlnsNamespace = nullptr;
    const String* m_spaceName = nullptr;
    const String* m_langName = nullptr;
    int m_attributeKind = Ordinary;
    const String* m_declaredPrefix = nullptr; // not owned: interned; the prefix a namespace attribute declares
    std::wstring m_attributeValue;
    // Declarations the open start tag still has to write, and the prefixes it declared itself.
    Collections::ArrayList<Declaration> m_pending;
    Collections::ArrayList<const String*> m_declaredInTag; // the strings are interned, not owned
    int m_generatedPrefixes = 0;
    // Last: its own buffer of a few kilobytes would put the fields above on different cache lines.
    Detail::MarkupOutput m_out; // writes to m_writer
};

} // namespace Core::Xml
