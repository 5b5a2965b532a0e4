// Shared helpers of the XML tests: readers over text, node traces and error messages.
#pragma once

#include "core/io/TextReader.h"
#include "core/xml/XmlTextReader.h"

#include <string>

namespace XmlTesting
{

// Hands its text over at most `step` characters per call, so every construct meets buffer refills.
class TricklingReader : public Core::IO::TextReader
{
public:
    TricklingReader(const std::wstring& text, int step) : m_text(text), m_step(step) {}

    int Read(wchar_t* buffer, int index, int count) override
    {
        int available = static_cast<int>(m_text.size()) - m_position;
        int n = count < m_step ? count : m_step;
        n = n < available ? n : available;
        m_text.copy(buffer + index, static_cast<size_t>(n), static_cast<size_t>(m_position));
        m_position += n;
        return n;
    }

    void Close() override { m_closed = true; }
    bool IsClosed() const { return m_closed; }

private:
    std::wstring m_text;
    int m_step;
    int m_position = 0;
    bool m_closed = false;
};

// One line per node: kind, name, value (line ends shown as \r and \n) and depth.
std::wstring Describe(const Core::Xml::XmlTextReader& reader);

// Reads the whole text, describing every node with its attributes, or ending with the error message.
std::wstring Trace(const std::wstring& text, int step = 1 << 20, bool namespaces = true);
std::wstring Trace(Core::Xml::XmlTextReader& reader);

// The message of the XmlException that reading the whole text raises, or "(no error)".
std::wstring ErrorOf(const std::wstring& text, bool namespaces = true);

} // namespace XmlTesting
