// Forward-only, non-validating XML pull parser: each Read moves to the next node of the document.
#pragma once

#include "core/collections/ArrayList.h"
#include "core/io/Stream.h"
#include "core/io/TextReader.h"
#include "core/xml/NameTable.h"
#include "core/xml/XmlEnumerations.h"
#include "core/xml/XmlException.h"
#include "core/xml/XmlNamespaceManager.h"

namespace Core::Xml
{

class XmlTextReader : public Object
{
public:
    // Reads the file through a UTF-8 stream reader that honours a byte-order mark; BaseURI is the path.
    explicit XmlTextReader(const String& fileName, NameTable* nameTable = nullptr);
    // Reads the stream through a UTF-8 stream reader that honours a byte-order mark. The stream stays the
    // caller's and is left open by Close.
    explicit XmlTextReader(IO::Stream* stream, NameTable* nameTable = nullptr);
    // Reads the text reader, which stays the caller's; Close closes it.
    explicit XmlTextReader(IO::TextReader* textReader, NameTable* nameTable = nullptr);
    ~XmlTextReader() override;
    XmlTextReader(const XmlTextReader&) = delete;
    XmlTextReader& operator=(const XmlTextReader&) = delete;

    // Settings. Namespaces and the fragment kind can change only before the first Read.
    bool Namespaces() const { return m_namespacesOn; }
    void SetNamespaces(bool value);
    Xml::WhitespaceHandling WhitespaceHandling() const;
    void SetWhitespaceHandling(Xml::WhitespaceHandling value);
    bool Normalization() const { return m_normalization; }
    void SetNormalization(bool value);
    // Document (the default) or Attribute: the whole input is then read as one attribute value.
    XmlNodeType FragmentType() const;
    void SetFragmentType(XmlNodeType value);

    bool Read();
    void Close();
    void Skip();
    XmlNodeType MoveToContent();
    String ReadString();
    String ReadElementString();

    XmlNodeType NodeType() const;
    const String& Name() const;
    const String& LocalName() const;
    const String& Prefix() const;
    const String& NamespaceURI() const;
    const String& Value() const;
    int Depth() const;
    bool IsEmptyElement() const;
    bool HasValue() const;
    // Always false: without a document type there are no default attributes.
    bool IsDefault() const { return false; }
    wchar_t QuoteChar() const;
    const String& XmlLang() const;
    Xml::XmlSpace XmlSpace() const;
    int LineNumber() const;
    int LinePosition() const;
    bool IsEOF() const { return m_readState == Xml::ReadState::EndOfFile; }
    Xml::ReadState ReadState() const;
    const String& BaseURI() const { return m_baseURI; }
    NameTable* GetNameTable() const { return m_nameTable; }

    int AttributeCount() const;
    String GetAttribute(const String& name) const;
    String GetAttribute(const String& localName, const String& namespaceURI) const;
    String GetAttribute(int index) const;
    bool MoveToAttribute(const String& name);
    bool MoveToAttribute(const String& localName, const String& namespaceURI);
    void MoveToAttribute(int index);
    bool MoveToFirstAttribute();
    bool MoveToNextAttribute();
    bool MoveToElement();
    bool ReadAttributeValue();

    String LookupNamespace(const String& prefix) const;

private:
    struct Node;

    enum class ParseState
    {
        Start,
        Prolog,
        TopLevel,
        InContent,
        AfterStartTag,
        AfterEndTag,
        AfterEmptyTag,
        AttributeValue,
        EndOfFile,
        Closed,
        Error
    };

    explicit XmlTextReader(NameTable* nameTable);
    void ReleaseResources() noexcept;

    // Input buffer.
    int Refill(int keepFrom);
    int Peek();
    void Advance();
    void EndLine(int at);
    bool SkipWhitespace();
    int Column() const { return m_pos - m_lineStart + 1; }
    void AppendValue(const wchar_t* text, int count);
    // At the end of the buffer inside a value: keeps the run scanned since runStart, reads on from m_pos and
    // starts the next run there.
    void KeepRunAndRefill(int& runStart);
    void AppendValue(wchar_t ch);

    // Nodes.
    Node* NewNode(int kind, int line, int column);
    void ReleaseNode(Node* node);
    void ReleaseAttributes();
    void ReleaseCurrent();
    void AddAttribute(Node* attribute);
    Node* CurrentAttribute() const;
    int FindAttribute(const String& name) const;
    int FindAttribute(const String& localName, const String& namespaceURI) const;
    void SetCurrentAttribute(int index);

    // Parsing.
    [[noreturn]] void Fail(const String& message, int line, int column);
    // A document read from bytes must name an encoding it can be read in; text handed over as characters needs none.
    void CheckEncoding(const Node& attribute);
    [[noreturn]] void FailHere(const wchar_t* message);
    bool ParseDeclaration();
    bool ParseNode();
    bool EndOfInput();
    bool ParseText();
    void ParseStartTag();
    void ParseEndTag();
    void ParseAttribute(Node* owner);
    void ParseAttributeValue(Node* attribute, wchar_t quote);
    void ParseTerminated(const wchar_t* terminator, int terminatorLength, int kind, int line, int column);
    void ParseProcessingInstruction();
    void ExpectMarkup(const wchar_t* rest, const wchar_t* message);
    const String* ParseReference();
    int ScanName(bool qualified, int* colon);
    void ProcessAttributes(Node* element);
    void Declare(const String& prefix, const String& uri);
    void ResolveNamespaces(Node* element);
    const String* Resolve(const String* prefix, int line, int column);
    void SplitName(Node* node, int start, int length, int colon);
    void CloseElement();
    void ReadAttributeFragment();

    IO::TextReader* m_input; // owned when m_ownsInput; null once closed
    bool m_ownsInput;
    IO::Stream* m_fileStream; // owned: the stream of the file constructor, or null
    NameTable* m_nameTable;   // owned when m_ownsNameTable
    bool m_ownsNameTable;
    XmlNamespaceManager* m_namespaces; // owned
    String m_baseURI;

    bool m_namespacesOn = true;
    int m_whitespaceHandling = Xml::WhitespaceHandling::All;
    bool m_normalization = false;
    int m_fragment = XmlNodeType::Document;
    int m_readState = Xml::ReadState::Initial;
    ParseState m_state = ParseState::Start;

    // Input: m_buffer[m_pos, m_end) is unread, m_buffer[m_end] is a NUL sentinel.
    wchar_t* m_buffer = nullptr; // owned
    int m_capacity = 0;
    int m_pos = 0;
    int m_end = 0;
    bool m_inputEnded = false;
    int m_pin = -1; // where kept text starts while a construct needs its raw characters, or -1
    int m_line = 1;
    int m_lineStart = 0; // buffer index of the current line's first character (negative once moved away)

    // The value being built when it cannot be taken from the input buffer in one piece.
    wchar_t* m_value = nullptr; // owned
    int m_valueLength = 0;
    int m_valueCapacity = 0;

    Node* m_none = nullptr;    // owned via m_allNodes: the node before the first and after the last Read
    Node* m_current = nullptr; // not owned: the node the accessors describe
    Node* m_node = nullptr;    // not owned: the node the last Read produced, which owns the attributes
    Node* m_part = nullptr;    // not owned: the attribute value part being visited, or null
    int m_attributeIndex = -1; // the attribute being visited, or -1
    Collections::ArrayList<Node*> m_attributes; // the nodes are owned via m_allNodes
    Collections::ArrayList<Node*> m_elements;   // the open elements; the nodes are owned via m_allNodes
    Node* m_freeNodes = nullptr;                // not owned: recycled records, chained through their next links
    Node* m_allNodes = nullptr;                 // owned: every record ever made, chained through their own links
    bool m_rootSeen = false;
    const String* m_pendingEntity = nullptr; // not owned: an entity reference that ended a text node
    int m_pendingLine = 0;
    int m_pendingColumn = 0;

    // Interned names used in comparisons; not owned.
    const String* m_empty;
    const String* m_xml;
    const String* m_xmlns;
    const String* m_xmlSpace;
    const String* m_xmlLang;
};

} // namespace Core::Xml
