// Namespace declarations in nested scopes, shared by the reader and the writer.
#pragma once

#include "core/xml/NameTable.h"

namespace Core::Xml
{

class XmlNamespaceManager : public Object
{
public:
    // The names fixed by the Namespaces in XML recommendation for the prefixes xml and xmlns.
    static const wchar_t* const XmlNamespace;
    static const wchar_t* const XmlnsNamespace;

    explicit XmlNamespaceManager(NameTable* nameTable);
    ~XmlNamespaceManager() override;
    XmlNamespaceManager(const XmlNamespaceManager&) = delete;
    XmlNamespaceManager& operator=(const XmlNamespaceManager&) = delete;

    NameTable* GetNameTable() const { return m_nameTable; }

    void PushScope() { m_declarations[m_count - 1].scopes++; }
    // Closes the innermost scope and forgets the declarations made in it; false when only the
    // initial scope is left.
    bool PopScope()
    {
        // Most scopes declare nothing: then only the newest declaration's count of boundaries changes.
        Declaration& last = m_declarations[m_count - 1];
        if (last.scopes > 1 || (last.scopes == 1 && m_count != 3))
        {
            last.scopes--;
            return true;
        }
        return PopDeclaringScope();
    }
    void AddNamespace(const String& prefix, const String& uri);
    void RemoveNamespace(const String& prefix, const String& uri);
    String LookupNamespace(const String& prefix) const;
    String DefaultNamespace() const;
    String LookupPrefix(const String& uri) const;
    bool HasNamespace(const String& prefix) const;

    // The interned URI of the newest declaration of the prefix (possibly empty), or null.
    const String* FindNamespace(const String& prefix) const;
    // The interned prefix of the newest declaration of the URI whose prefix still resolves to it, or null.
    const String* FindPrefix(const String& uri) const;

private:
    struct Declaration
    {
        const String* prefix; // not owned: interned in the name table
        const String* uri;    // not owned: interned in the name table
        int scopes;           // scope boundaries opened after this declaration
    };

    // Index of the first declaration of the innermost scope.
    int ScopeStart() const;
    bool PopDeclaringScope();
    void Append(const String* prefix, const String* uri);

    NameTable* m_nameTable;      // not owned
    Declaration* m_declarations; // owned
    int m_count;
    int m_capacity;
    const String* m_xml;          // not owned: interned
    const String* m_xmlns;        // not owned: interned
    const String* m_xmlNamespace; // not owned: interned
};

} // namespace Core::Xml
