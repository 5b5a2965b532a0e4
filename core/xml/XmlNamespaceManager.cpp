#include "core/xml/XmlNamespaceManager.h"

#include "core/Exception.h"

#include <cstring>

namespace Core::Xml
{

const wchar_t* const XmlNamespaceManager::XmlNamespace = L"http://www.w3.org/XML/1998/namespace";
const wchar_t* const XmlNamespaceManager::XmlnsNamespace = L"http://www.w3.org/2000/xmlns/";

XmlNamespaceManager::XmlNamespaceManager(NameTable* nameTable)
    : m_nameTable(nameTable), m_declarations(nullptr), m_count(0), m_capacity(16), m_xml(nullptr), m_xmlns(nullptr),
      m_xmlNamespace(nullptr)
{
    if (nameTable == nullptr)
    {
        throw ArgumentNullException(String(L"nameTable"));
    }
    const String& empty = nameTable->Add(String());
    m_xml = &nameTable->Add(String(L"xml"));
    m_xmlns = &nameTable->Add(String(L"xmlns"));
    m_xmlNamespace = &nameTable->Add(String(XmlNamespace));
    const String* xmlnsNamespace = &nameTable->Add(String(XmlnsNamespace));
    m_declarations = new Declaration[static_cast<size_t>(m_capacity)];
    Append(&empty, &empty);
    Append(m_xml, m_xmlNamespace);
    Append(m_xmlns, xmlnsNamespace);
    m_declarations[2].scopes = 1;
}

XmlNamespaceManager::~XmlNamespaceManager()
{
    delete[] m_declarations;
}

void XmlNamespaceManager::Append(const String* prefix, const String* uri)
{
    if (m_count == m_capacity)
    {
        Declaration* grown = new Declaration[static_cast<size_t>(m_capacity) * 2];
        std::memcpy(grown, m_declarations, static_cast<size_t>(m_count) * sizeof(Declaration));
        delete[] m_declarations;
        m_declarations = grown;
        m_capacity *= 2;
    }
    m_declarations[m_count++] = Declaration{prefix, uri, 0};
}

int XmlNamespaceManager::ScopeStart() const
{
    int i = m_count - 1;
    while (m_declarations[i].scopes == 0)
    {
        i--;
    }
    return i + 1;
}

bool XmlNamespaceManager::PopDeclaringScope()
{
    int boundary = ScopeStart() - 1;
    if (boundary == 2 && m_declarations[2].scopes == 1)
    {
        return false;
    }
    m_declarations[boundary].scopes--;
    // What the closed scope declared goes with it, so its prefixes stop resolving.
    m_count = boundary + 1;
    return true;
}

void XmlNamespaceManager::AddNamespace(const String& prefix, const String& uri)
{
    if ((prefix == *m_xml && uri != *m_xmlNamespace) || prefix == *m_xmlns)
    {
        throw ArgumentException();
    }
    const String* internedPrefix = &m_nameTable->Add(prefix);
    const String* internedUri = &m_nameTable->Add(uri);
    for (int i = ScopeStart(); i < m_count; i++)
    {
        if (m_declarations[i].prefix == internedPrefix)
        {
            m_declarations[i].uri = internedUri;
            return;
        }
    }
    Append(internedPrefix, internedUri);
}

void XmlNamespaceManager::RemoveNamespace(const String& prefix, const String& uri)
{
    for (int i = ScopeStart(); i < m_count; i++)
    {
        if (*m_declarations[i].prefix == prefix && *m_declarations[i].uri == uri)
        {
            std::memmove(m_declarations + i, m_declarations + i + 1,
                         static_cast<size_t>(m_count - i - 1) * sizeof(Declaration));
            m_count--;
            return;
        }
    }
}

const String* XmlNamespaceManager::FindNamespace(const String& prefix) const
{
    for (int i = m_count - 1; i >= 0; i--)
    {
        const String* declared = m_declarations[i].prefix;
        if (declared == &prefix || *declared == prefix)
        {
            return m_declarations[i].uri;
        }
    }
    return nullptr;
}

const String* XmlNamespaceManager::FindPrefix(const String& uri) const
{
    for (int i = m_count - 1; i >= 0; i--)
    {
        if (*m_declarations[i].uri == uri && FindNamespace(*m_declarations[i].prefix) == m_declarations[i].uri)
        {
            return m_declarations[i].prefix;
        }
    }
    return nullptr;
}

String XmlNamespaceManager::LookupNamespace(const String& prefix) const
{
    const String* uri = FindNamespace(prefix);
    return uri != nullptr ? *uri : String();
}

String XmlNamespaceManager::DefaultNamespace() const
{
    return LookupNamespace(String());
}

String XmlNamespaceManager::LookupPrefix(const String& uri) const
{
    const String* prefix = FindPrefix(uri);
    return prefix != nullptr ? *prefix : String();
}

bool XmlNamespaceManager::HasNamespace(const String& prefix) const
{
    for (int i = ScopeStart(); i < m_count; i++)
    {
        if (*m_declarations[i].prefix == prefix)
        {
            return true;
        }
    }
    return false;
}

} // namespace Core::Xml
