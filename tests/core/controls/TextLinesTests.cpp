// The text area's lines without a window: breaking, joining, replacing across lines, and what the observer hears.
#include "core/Exception.h"
#include "core/controls/TextLines.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace Core::Controls;
using Core::String;

namespace
{

std::wstring Text(const TextLines& lines)
{
    return lines.GetText().GetBuffer();
}

std::vector<std::wstring> Lines(const TextLines& lines)
{
    std::vector<std::wstring> all;
    for (int i = 0; i < lines.GetLineCount(); i++)
    {
        all.emplace_back(lines.GetLine(i).GetBuffer());
    }
    return all;
}

struct Replacement
{
    int first;
    int removed;
    int inserted;
    bool operator==(const Replacement& other) const = default;
};

class Recorder : public TextLinesObserver
{
public:
    void OnLinesReplaced(int first, int removed, int inserted) override
    {
        replacements.push_back(Replacement{first, removed, inserted});
    }
    std::vector<Replacement> replacements;
};

} // namespace

// CR LF, LF and CR each end a line, alone or mixed; LF CR is two breaks. GetText joins with CR LF.
TEST(TextLinesTest, LinesBreakAtEveryKindOfLineEndAndJoinWithCrLf)
{
    TextLines lines;
    EXPECT_EQ(1, lines.GetLineCount()) << "an empty text is one empty line";
    EXPECT_EQ(L"", Text(lines));

    lines.SetText(String(L"select Name\r\nfrom Win32_Process\nwhere Handle = 4\rand Name <> ''"));
    EXPECT_EQ(
        (std::vector<std::wstring>{L"select Name", L"from Win32_Process", L"where Handle = 4", L"and Name <> ''"}),
        Lines(lines));
    EXPECT_EQ(L"select Name\r\nfrom Win32_Process\r\nwhere Handle = 4\r\nand Name <> ''", Text(lines));
    EXPECT_EQ(static_cast<long long>(Text(lines).size()), lines.GetTextLength());

    lines.SetText(String(L"a\n\rb"));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"", L"b"}), Lines(lines));
    lines.SetText(String(L"\r\n\r\n"));
    EXPECT_EQ((std::vector<std::wstring>{L"", L"", L""}), Lines(lines));
    lines.SetText(String(L"last\r\n"));
    EXPECT_EQ((std::vector<std::wstring>{L"last", L""}), Lines(lines));
    EXPECT_EQ(L"last\r\n", Text(lines));
}

// Inserting a line break splits a line, removing one joins two; a replacement across lines leaves the text around
// it as it was, and the position returned is right after what was put in.
TEST(TextLinesTest, ReplacingSplitsAndJoinsLines)
{
    TextLines lines;
    lines.SetText(String(L"select * from Win32_Service"));
    TextPosition after = lines.Insert(TextPosition{0, 8}, String(L"\r\n"));
    EXPECT_EQ((TextPosition{1, 0}), after);
    EXPECT_EQ((std::vector<std::wstring>{L"select *", L" from Win32_Service"}), Lines(lines));

    lines.Remove(TextPosition{0, 8}, TextPosition{1, 0});
    EXPECT_EQ(L"select * from Win32_Service", Text(lines));

    // Several lines in place of several lines, the positions given in either order.
    lines.SetText(String(L"one\r\ntwo\r\nthree\r\nfour"));
    after = lines.Replace(TextPosition{2, 2}, TextPosition{0, 1}, String(L"N\nE\rW"));
    EXPECT_EQ((std::vector<std::wstring>{L"oN", L"E", L"Wree", L"four"}), Lines(lines));
    EXPECT_EQ((TextPosition{2, 1}), after);

    // Lines joined by a replacement without a break.
    after = lines.Replace(TextPosition{0, 2}, TextPosition{3, 1}, String(L"-"));
    EXPECT_EQ((std::vector<std::wstring>{L"oN-our"}), Lines(lines));
    EXPECT_EQ((TextPosition{0, 3}), after);

    // Within a line.
    after = lines.Replace(TextPosition{0, 1}, TextPosition{0, 3}, String(L"xyz"));
    EXPECT_EQ(L"oxyzour", Text(lines));
    EXPECT_EQ((TextPosition{0, 4}), after);

    lines.SetText(String(L"ab\r\ncd\r\nef"));
    EXPECT_EQ(L"b\r\ncd\r\ne", std::wstring(lines.GetText(TextPosition{2, 1}, TextPosition{0, 1}).GetBuffer()));
    EXPECT_EQ(L"", std::wstring(lines.GetText(TextPosition{1, 1}, TextPosition{1, 1}).GetBuffer()));
}

// The observer hears which lines were replaced by how many: what the area measures and repaints.
TEST(TextLinesTest, TheObserverHearsWhichLinesWereReplaced)
{
    TextLines lines;
    Recorder recorder;
    lines.SetObserver(&recorder);
    lines.SetText(String(L"a\r\nb\r\nc"));
    lines.Insert(TextPosition{1, 1}, String(L"x"));
    lines.Insert(TextPosition{1, 0}, String(L"\r\n\r\n"));
    lines.Remove(TextPosition{0, 1}, TextPosition{3, 0});
    EXPECT_EQ((std::vector<Replacement>{{0, 1, 3}, {1, 1, 1}, {1, 1, 3}, {0, 4, 1}}), recorder.replacements);
    EXPECT_EQ(L"abx\r\nc", Text(lines));
    lines.SetObserver(nullptr);
}

// A position outside the text is refused before anything changes.
TEST(TextLinesTest, PositionsOutsideTheTextAreRefused)
{
    TextLines lines;
    lines.SetText(String(L"ab\r\ncd"));
    Recorder recorder;
    lines.SetObserver(&recorder);
    EXPECT_THROW(lines.Insert(TextPosition{0, 3}, String(L"x")), Core::ArgumentOutOfRangeException);
    EXPECT_THROW(lines.Insert(TextPosition{2, 0}, String(L"x")), Core::ArgumentOutOfRangeException);
    EXPECT_THROW(lines.Remove(TextPosition{0, 0}, TextPosition{-1, 0}), Core::ArgumentOutOfRangeException);
    EXPECT_THROW(lines.GetText(TextPosition{1, 0}, TextPosition{1, 5}), Core::ArgumentOutOfRangeException);
    EXPECT_THROW(lines.GetLine(2), Core::ArgumentOutOfRangeException);
    EXPECT_TRUE(recorder.replacements.empty());
    EXPECT_EQ(L"ab\r\ncd", Text(lines));
    EXPECT_EQ((TextPosition{1, 2}), lines.Clamp(TextPosition{5, 0}));
    EXPECT_EQ((TextPosition{0, 2}), lines.Clamp(TextPosition{0, 9}));
    EXPECT_EQ((TextPosition{0, 0}), lines.Clamp(TextPosition{-1, 4}));
    lines.SetObserver(nullptr);
}
