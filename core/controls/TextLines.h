// The text of a multi-line text area as lines, without any window: an edit touches the lines it changes, so a text
// of many thousands of lines takes a keystroke as cheaply as a short one. Line breaks are not stored.
#pragma once

#include "core/Object.h"
#include "core/String.h"

namespace Core::Controls
{

// A place between two characters: a line and the number of characters before it on that line.
struct TextPosition
{
    int line = 0;
    int column = 0;

    bool operator==(const TextPosition& other) const = default;
    bool operator<(const TextPosition& other) const
    {
        return line < other.line || (line == other.line && column < other.column);
    }
    bool operator>(const TextPosition& other) const { return other < *this; }
    bool operator<=(const TextPosition& other) const { return !(other < *this); }
    bool operator>=(const TextPosition& other) const { return !(*this < other); }
};

// Told of every change; the text area measures and repaints from these.
class TextLinesObserver
{
public:
    virtual ~TextLinesObserver() = default;
    // removed lines from first were replaced by inserted lines (a changed line counts as one removed, one inserted).
    virtual void OnLinesReplaced(int first, int removed, int inserted) = 0;
};

class TextLines : public Object
{
public:
    // One empty line.
    TextLines();
    ~TextLines() override;
    TextLines(const TextLines&) = delete;
    TextLines& operator=(const TextLines&) = delete;

    void SetObserver(TextLinesObserver* observer) { m_observer = observer; }

    // At least 1: an empty text is one empty line.
    int GetLineCount() const;
    int GetLineLength(int line) const;
    // The line's characters (not terminated), valid until the next change.
    const wchar_t* GetLineCharacters(int line) const;
    String GetLine(int line) const;

    // Breaks lines at CR LF, LF and CR alike.
    void SetText(const String& text);
    // The lines joined by CR LF.
    String GetText() const;
    // The characters between two positions (in either order), line breaks as CR LF.
    String GetText(const TextPosition& from, const TextPosition& to) const;
    // The number of characters of the whole text with CR LF between lines, as GetText gives it.
    long long GetTextLength() const;

    // Puts text (with line breaks of any kind) in place of the characters between two positions (in either order);
    // returns the position after the inserted text.
    TextPosition Replace(const TextPosition& from, const TextPosition& to, const String& text);
    TextPosition Insert(const TextPosition& at, const String& text) { return Replace(at, at, text); }
    void Remove(const TextPosition& from, const TextPosition& to) { Replace(from, to, String()); }

    // The nearest position inside the text.
    TextPosition Clamp(const TextPosition& position) const;
    TextPosition GetEnd() const;

private:
    class Storage;
    void CheckLine(int line, const wchar_t* operation) const;
    void CheckPosition(const TextPosition& position, const wchar_t* operation) const;

    Storage* m_storage;                      // owned
    TextLinesObserver* m_observer = nullptr; // not owned
};

} // namespace Core::Controls
