#include "wmi/SchemaCatalogue.h"

#include "core/Simd.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>
#include <windows.h>

using Core::Exception;
using Core::String;
using Core::Collections::ArrayList;

namespace WMI
{

namespace
{

bool Stopped(const StopRequest& stop)
{
    return stop && stop();
}

wchar_t FoldBeyondAscii(wchar_t unit)
{
    wchar_t upper = unit;
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, &unit, 1, &upper, 1, nullptr, nullptr, 0) != 1)
    {
        upper = unit;
    }
    return upper;
}

// The upper-case form of an ASCII unit: a to z lose the case bit; any other unit stays as it is. FoldAsciiBlock is
// the same rule for eight units at a time.
inline uint16_t FoldAscii(uint16_t unit)
{
    return static_cast<uint16_t>(unit - (static_cast<uint16_t>(unit - L'a') < 26 ? L'a' - L'A' : 0));
}

inline Core::Simd::Block FoldAsciiBlock(Core::Simd::Block units)
{
    using namespace Core::Simd;
    const RangeTest lower(L'a', 26);
    return AndNot(lower(units) & Splat(static_cast<wchar_t>(L'a' - L'A')), units);
}

// The upper-case form of a unit, the same in every culture: ASCII at once, the rest by the invariant mapping.
inline wchar_t Fold(wchar_t unit)
{
    return unit < 0x80 ? static_cast<wchar_t>(FoldAscii(static_cast<uint16_t>(unit))) : FoldBeyondAscii(unit);
}

std::wstring Folded(const String& text)
{
    std::wstring folded(static_cast<size_t>(text.GetLength()), L'\0');
    for (int i = 0; i < text.GetLength(); i++)
    {
        folded[static_cast<size_t>(i)] = Fold(text[i]);
    }
    return folded;
}

bool IsAscii(const wchar_t* text, size_t length)
{
    uint16_t all = 0;
    for (size_t i = 0; i < length; i++)
    {
        all |= static_cast<uint16_t>(text[i]);
    }
    return all < 0x80;
}

// Names folded, each followed by a NUL, in runs of RunUnits that are never copied to grow and whose room is not
// filled before names are written into it, with where each name lies; a name never spans two runs, so one scan of a
// run's folded units finds a text in all its names and no match runs from one name into the next. Unit is char for
// names all in ASCII (nearly all of WMI's), whose case is kept as one bit a unit beside their folded bytes, and
// wchar_t for the others, kept as given beside their folded form: a read touches as little new memory as it can,
// which under Wine is what a read of thousands of classes pays for most.
template <typename Unit> class NameTable
{
public:
    static constexpr uint32_t RunUnits = 65536;
    // Longer names (WMI has none) are cut to fit a run.
    static constexpr uint32_t LongestName = RunUnits - 1;
    static constexpr bool IsNarrow = sizeof(Unit) == 1;

    struct Entry
    {
        uint32_t place;    // run * RunUnits + offset
        uint32_t owner;    // the class
        uint16_t length;   // in units, without the NUL
        uint16_t position; // 0 for the class's own name, then its properties in order
    };

    // Keeps name, in one pass: false, with nothing kept, for a name with units beyond ASCII in a table of bytes.
    bool Add(const wchar_t* name, uint32_t length, uint32_t owner, uint16_t position)
    {
        length = std::min(length, LongestName);
        if (m_runs.empty() || m_used + length + 1 > RunUnits)
        {
            NextRun();
        }
        Run& run = m_runs[m_current];
        Unit* folded = run.folded.get() + m_used;
        if constexpr (IsNarrow)
        {
            // Eight units at a time while whole blocks of the name remain (no unit past its end is read), then one
            // by one; the lower-case letters set their bits.
            using namespace Core::Simd;
            const RangeTest lower(L'a', 26);
            uint32_t i = 0;
            for (; i + UnitsPerBlock <= length; i += UnitsPerBlock)
            {
                Block units = LoadUnits(name + i);
                if (!AllAscii(units))
                {
                    ClearCaseBits(run, m_used, i);
                    return false;
                }
                Block lowerCase = lower(units);
                StoreNarrow(reinterpret_cast<uint8_t*>(folded + i), FoldAsciiBlock(units));
                // One byte of 0 or 1 a unit, gathered into eight bits, the first unit's lowest.
                uint64_t flags = Narrow(lowerCase & Splat(static_cast<wchar_t>(1)));
                SetCaseBits(run, m_used + i, static_cast<uint32_t>((flags * 0x0102040810204080ULL) >> 56), 8);
            }
            uint16_t all = 0;
            for (; i < length; i++)
            {
                uint16_t unit = static_cast<uint16_t>(name[i]);
                all |= unit;
                folded[i] = static_cast<Unit>(FoldAscii(unit));
                SetCaseBits(run, m_used + i, FoldAscii(unit) != unit ? 1 : 0, 1);
            }
            if (all >= 0x80)
            {
                ClearCaseBits(run, m_used, length);
                return false;
            }
        }
        else
        {
            Unit* original = run.text.get() + m_used;
            for (uint32_t i = 0; i < length; i++)
            {
                original[i] = name[i];
                folded[i] = Fold(name[i]);
            }
            original[length] = 0;
        }
        folded[length] = 0;
        m_entries.push_back(Entry{static_cast<uint32_t>(m_current) * RunUnits + m_used, owner,
                                  static_cast<uint16_t>(length), position});
        m_used += length + 1;
        return true;
    }

    // Forgets every name and keeps the runs for the next read.
    void Clear()
    {
        m_entries.clear();
        m_current = 0;
        m_used = 0;
        if (!m_runs.empty())
        {
            StartRun(m_runs[0]);
        }
    }

    size_t GetCount() const { return m_entries.size(); }
    const Entry& operator[](size_t index) const { return m_entries[index]; }
    const Unit* FoldedOf(const Entry& entry) const
    {
        return m_runs[entry.place / RunUnits].folded.get() + entry.place % RunUnits;
    }
    // A unit of the name as it was given.
    uint16_t OriginalAt(const Entry& entry, uint32_t index) const
    {
        const Run& run = m_runs[entry.place / RunUnits];
        uint32_t offset = entry.place % RunUnits + index;
        if constexpr (IsNarrow)
        {
            uint16_t unit = static_cast<uint8_t>(run.folded[offset]);
            return (run.lowerCase[offset / 64] >> (offset % 64)) & 1 ? static_cast<uint16_t>(unit + (L'a' - L'A'))
                                                                     : unit;
        }
        else
        {
            return static_cast<uint16_t>(run.text[offset]);
        }
    }
    String OriginalOf(const Entry& entry) const
    {
        if constexpr (IsNarrow)
        {
            wchar_t units[256];
            std::wstring longer;
            wchar_t* target = units;
            if (entry.length > 256)
            {
                longer.resize(entry.length);
                target = longer.data();
            }
            for (uint32_t i = 0; i < entry.length; i++)
            {
                target[i] = static_cast<wchar_t>(OriginalAt(entry, i));
            }
            return String(target, entry.length);
        }
        else
        {
            return String(m_runs[entry.place / RunUnits].text.get() + entry.place % RunUnits, entry.length);
        }
    }

    // Calls hit with the index of each name from first to end that holds needle (folded, not empty).
    template <typename Hit> void Scan(std::basic_string_view<Unit> needle, size_t first, size_t end, Hit&& hit) const
    {
        auto entries = m_entries.begin();
        auto byPlace = [](uint32_t place, const Entry& entry) { return place < entry.place; };
        size_t name = first;
        while (name < end)
        {
            uint32_t run = m_entries[name].place / RunUnits;
            size_t runEnd = static_cast<size_t>(std::upper_bound(entries + static_cast<std::ptrdiff_t>(name),
                                                                 entries + static_cast<std::ptrdiff_t>(end),
                                                                 (run + 1) * RunUnits - 1, byPlace) -
                                                entries);
            const Entry& last = m_entries[runEnd - 1];
            std::basic_string_view<Unit> units(m_runs[run].folded.get(), last.place % RunUnits + last.length);
            size_t at = m_entries[name].place % RunUnits;
            while (at < units.size())
            {
                size_t found = units.find(needle, at);
                if (found == std::basic_string_view<Unit>::npos)
                {
                    break;
                }
                // The name the match lies in: the last one that starts at or before it.
                size_t holder =
                    static_cast<size_t>(std::upper_bound(entries + static_cast<std::ptrdiff_t>(name),
                                                         entries + static_cast<std::ptrdiff_t>(runEnd),
                                                         static_cast<uint32_t>(run * RunUnits + found), byPlace) -
                                        entries) -
                    1;
                hit(holder);
                at = m_entries[holder].place % RunUnits + m_entries[holder].length + 1;
                name = holder + 1;
            }
            name = runEnd;
        }
    }

private:
    static constexpr uint32_t CaseWords = RunUnits / 64;

    struct Run
    {
        std::unique_ptr<Unit[]> folded;        // owned
        std::unique_ptr<Unit[]> text;          // owned; wide names only
        std::unique_ptr<uint64_t[]> lowerCase; // owned; narrow names only: one bit a unit, set for a to z
    };

    // Sets count (at most 8) bits from offset on.
    static void SetCaseBits(Run& run, uint32_t offset, uint32_t bits, uint32_t count)
    {
        uint32_t shift = offset % 64;
        run.lowerCase[offset / 64] |= static_cast<uint64_t>(bits) << shift;
        if (shift + count > 64)
        {
            run.lowerCase[offset / 64 + 1] |= static_cast<uint64_t>(bits) >> (64 - shift);
        }
    }

    static void ClearCaseBits(Run& run, uint32_t offset, uint32_t count)
    {
        for (uint32_t i = offset; i < offset + count; i++)
        {
            run.lowerCase[i / 64] &= ~(static_cast<uint64_t>(1) << (i % 64));
        }
    }

    static void StartRun(Run& run)
    {
        if constexpr (IsNarrow)
        {
            std::fill(run.lowerCase.get(), run.lowerCase.get() + CaseWords, 0);
        }
    }

    // Moves on to the next run: one kept from a read before, or a new one.
    void NextRun()
    {
        if (!m_runs.empty())
        {
            m_current++;
        }
        if (m_current == m_runs.size())
        {
            Run run;
            run.folded.reset(new Unit[RunUnits]);
            if constexpr (IsNarrow)
            {
                run.lowerCase.reset(new uint64_t[CaseWords]);
            }
            else
            {
                run.text.reset(new Unit[RunUnits]);
            }
            m_runs.push_back(std::move(run));
        }
        StartRun(m_runs[m_current]);
        m_used = 0;
    }

    std::vector<Entry> m_entries;
    std::vector<Run> m_runs;
    size_t m_current = 0; // the run names are appended to
    uint32_t m_used = 0;  // of that run
};

} // namespace

// The names of every class read, the classes, and what the read found out about the namespaces. Fills itself as a
// class visitor of each namespace read.
struct SchemaCatalogue::Data : ClassNameVisitor
{
    struct Class
    {
        uint32_t nameSpace; // index in namespaces
        uint32_t name;      // its own name's index in its table
        bool wide;          // in which table
    };
    // Where a name that holds a searched text lies.
    struct Hit
    {
        uint32_t owner;
        uint16_t position;
        bool wide;
        uint32_t name;
    };
    // How far each table had come when a namespace began.
    struct Mark
    {
        size_t narrow;
        size_t wide;
    };

    void Clear()
    {
        narrow.Clear();
        wide.Clear();
        classes.clear();
        namespaces.clear();
        failures.clear();
        complete = false;
    }

    void VisitClass(const wchar_t* name, uint32_t length) override
    {
        classes.push_back(Class{currentNamespace, 0, false});
        Class& added = classes.back();
        added.wide = !AddName(name, length, 0);
        added.name = static_cast<uint32_t>((added.wide ? wide.GetCount() : narrow.GetCount()) - 1);
        nextPosition = 1;
    }

    void VisitProperty(const wchar_t* name, uint32_t length) override
    {
        if (classes.empty())
        {
            return;
        }
        AddName(name, length, nextPosition);
        nextPosition = static_cast<uint16_t>(std::min(nextPosition + 1, 0xFFFF));
    }

    // Keeps a name of the last class: as bytes when it is all ASCII (true), as UTF-16 otherwise.
    bool AddName(const wchar_t* name, uint32_t length, uint16_t position)
    {
        uint32_t owner = static_cast<uint32_t>(classes.size() - 1);
        if (narrow.Add(name, length, owner, position))
        {
            return true;
        }
        wide.Add(name, length, owner, position);
        return false;
    }

    Mark GetMark() const { return Mark{narrow.GetCount(), wide.GetCount()}; }

    // Calls hit for each name read since from that holds needle (folded, not empty): the names of each table in
    // the order read.
    template <typename NarrowHit, typename WideHit>
    void Scan(const std::wstring& needle, Mark from, NarrowHit&& narrowHit, WideHit&& wideHit) const
    {
        // An ASCII name folds to ASCII only, so a text beyond ASCII can be in the wide names only; any text can be
        // in those (U+0131, the dotless i, folds to I).
        if (IsAscii(needle.data(), needle.size()))
        {
            std::string narrowNeedle(needle.begin(), needle.end());
            narrow.Scan(std::string_view(narrowNeedle), from.narrow, narrow.GetCount(), narrowHit);
        }
        wide.Scan(std::wstring_view(needle), from.wide, wide.GetCount(), wideHit);
    }

    int Count(const std::wstring& needle, Mark from) const
    {
        int count = 0;
        Scan(
            needle, from, [&](size_t) { count++; }, [&](size_t) { count++; });
        return count;
    }

    // By the folded names, so without regard to case and with no call per comparison; the names as given decide
    // between names that differ in case only.
    bool ClassBefore(const Class& left, const Class& right) const
    {
        int order = CompareClassNames(left, right, true);
        return order != 0 ? order < 0 : CompareClassNames(left, right, false) < 0;
    }

    int CompareClassNames(const Class& left, const Class& right, bool folded) const
    {
        uint32_t leftLength = LengthOf(left);
        uint32_t rightLength = LengthOf(right);
        uint32_t common = std::min(leftLength, rightLength);
        for (uint32_t i = 0; i < common; i++)
        {
            uint16_t a = UnitOf(left, i, folded);
            uint16_t b = UnitOf(right, i, folded);
            if (a != b)
            {
                return a < b ? -1 : 1;
            }
        }
        return leftLength == rightLength ? 0 : (leftLength < rightLength ? -1 : 1);
    }

    uint32_t LengthOf(const Class& owner) const
    {
        return owner.wide ? wide[owner.name].length : narrow[owner.name].length;
    }

    uint16_t UnitOf(const Class& owner, uint32_t index, bool folded) const
    {
        if (owner.wide)
        {
            const auto& entry = wide[owner.name];
            return folded ? static_cast<uint16_t>(wide.FoldedOf(entry)[index]) : wide.OriginalAt(entry, index);
        }
        const auto& entry = narrow[owner.name];
        return folded ? static_cast<uint8_t>(narrow.FoldedOf(entry)[index]) : narrow.OriginalAt(entry, index);
    }

    String NameText(bool inWide, uint32_t name) const
    {
        return inWide ? wide.OriginalOf(wide[name]) : narrow.OriginalOf(narrow[name]);
    }

    SchemaMatch MatchOf(const Hit& hit) const
    {
        const Class& owner = classes[hit.owner];
        SchemaMatch match;
        match.nameSpace = namespaces[owner.nameSpace];
        match.className = NameText(owner.wide, owner.name);
        if (hit.position > 0)
        {
            match.property = NameText(hit.wide, hit.name);
        }
        return match;
    }

    NameTable<char> narrow;
    NameTable<wchar_t> wide;
    std::vector<Class> classes;
    std::vector<String> namespaces;
    std::vector<NamespaceFailure> failures;
    bool complete = false;
    // While a namespace is visited.
    uint32_t currentNamespace = 0;
    uint16_t nextPosition = 0;
};

SchemaCatalogue::SchemaCatalogue() : m_data(std::make_unique<Data>()) {}

SchemaCatalogue::~SchemaCatalogue() = default;

void SchemaCatalogue::Read(const ManagementConnection& machine, const String& text, const ProgressHandler& progress,
                           const StopRequest& stop)
{
    Data& data = *m_data;
    data.Clear();
    const std::wstring needle = Folded(text);
    SchemaProgress state;
    // Depth first, each namespace before the ones inside it, those in name order: the last pushed is read next.
    std::vector<String> pending{String(L"root")};
    while (!pending.empty())
    {
        if (Stopped(stop))
        {
            return;
        }
        String path = std::move(pending.back());
        pending.pop_back();
        Data::Mark begun = data.GetMark();
        try
        {
            std::unique_ptr<ManagementConnection> connection = machine.ConnectNamespace(path);
            std::shared_ptr<const ConnectionSession> session = connection->GetSession();
            data.namespaces.push_back(path);
            data.currentNamespace = static_cast<uint32_t>(data.namespaces.size() - 1);
            // A namespace whose children cannot be listed may still have classes, and the other way round.
            try
            {
                ArrayList<String> children = ReadChildNamespaces(*session, stop);
                for (int i = children.GetCount() - 1; i >= 0; i--)
                {
                    pending.push_back(ChildNamespacePath(path, children[i]));
                }
            }
            catch (const Exception& exception)
            {
                data.failures.push_back(NamespaceFailure{path, exception.GetMessageText()});
            }
            try
            {
                VisitAllClasses(*session, data, stop);
            }
            catch (const Exception& exception)
            {
                data.failures.push_back(NamespaceFailure{path, exception.GetMessageText()});
            }
        }
        catch (const Exception& exception)
        {
            data.failures.push_back(NamespaceFailure{path, exception.GetMessageText()});
        }
        if (Stopped(stop))
        {
            return; // the namespace was cut short: not done
        }
        state.namespacesDone++;
        state.classesRead = static_cast<int>(data.classes.size());
        if (!needle.empty())
        {
            state.matches += data.Count(needle, begun);
        }
        state.nameSpace = path;
        if (progress)
        {
            progress(state);
        }
    }
    data.complete = true;
}

ArrayList<SchemaMatch> SchemaCatalogue::Search(const ManagementConnection& machine, const String& text,
                                               const ProgressHandler& progress, const StopRequest& stop)
{
    if (!m_data->complete)
    {
        Read(machine, text, progress, stop);
    }
    return Find(text);
}

ArrayList<SchemaMatch> SchemaCatalogue::Find(const String& text, int limit) const
{
    const Data& data = *m_data;
    std::wstring needle = Folded(text);
    if (needle.empty())
    {
        return ArrayList<SchemaMatch>();
    }
    std::vector<Data::Hit> narrowHits;
    std::vector<Data::Hit> wideHits;
    data.Scan(
        needle, Data::Mark{0, 0},
        [&](size_t name)
        {
            narrowHits.push_back(
                Data::Hit{data.narrow[name].owner, data.narrow[name].position, false, static_cast<uint32_t>(name)});
        },
        [&](size_t name) {
            wideHits.push_back(
                Data::Hit{data.wide[name].owner, data.wide[name].position, true, static_cast<uint32_t>(name)});
        });
    // Each table's hits come in the order read: merged, they are by namespace, then by class as WMI gave them, the
    // names of a class together in their order.
    std::vector<Data::Hit> hits(narrowHits.size() + wideHits.size());
    std::merge(narrowHits.begin(), narrowHits.end(), wideHits.begin(), wideHits.end(), hits.begin(),
               [](const Data::Hit& a, const Data::Hit& b)
               { return a.owner != b.owner ? a.owner < b.owner : a.position < b.position; });
    // Only the classes with hits are put in name order, within their namespace: a read orders nothing.
    struct Group
    {
        uint32_t owner;
        size_t first; // in hits
        size_t count;
    };
    std::vector<Group> groups;
    for (size_t i = 0; i < hits.size(); i++)
    {
        if (groups.empty() || groups.back().owner != hits[i].owner)
        {
            groups.push_back(Group{hits[i].owner, i, 0});
        }
        groups.back().count++;
    }
    for (size_t run = 0; run < groups.size();)
    {
        size_t end = run + 1;
        uint32_t nameSpace = data.classes[groups[run].owner].nameSpace;
        while (end < groups.size() && data.classes[groups[end].owner].nameSpace == nameSpace)
        {
            end++;
        }
        std::sort(groups.begin() + static_cast<std::ptrdiff_t>(run), groups.begin() + static_cast<std::ptrdiff_t>(end),
                  [&](const Group& a, const Group& b)
                  { return data.ClassBefore(data.classes[a.owner], data.classes[b.owner]); });
        run = end;
    }
    size_t wanted = limit > 0 ? std::min(hits.size(), static_cast<size_t>(limit)) : hits.size();
    ArrayList<SchemaMatch> matches(static_cast<int>(std::max<size_t>(wanted, 1)));
    for (const Group& group : groups)
    {
        for (size_t i = 0; i < group.count && static_cast<size_t>(matches.GetCount()) < wanted; i++)
        {
            matches.Add(data.MatchOf(hits[group.first + i]));
        }
    }
    return matches;
}

int SchemaCatalogue::Count(const String& text) const
{
    std::wstring needle = Folded(text);
    return needle.empty() ? 0 : m_data->Count(needle, Data::Mark{0, 0});
}

bool SchemaCatalogue::IsComplete() const
{
    return m_data->complete;
}

ArrayList<String> SchemaCatalogue::GetNamespaces() const
{
    ArrayList<String> list;
    for (const String& path : m_data->namespaces)
    {
        list.Add(path);
    }
    return list;
}

int SchemaCatalogue::GetClassCount() const
{
    return static_cast<int>(m_data->classes.size());
}

ArrayList<NamespaceFailure> SchemaCatalogue::GetFailures() const
{
    ArrayList<NamespaceFailure> list;
    for (const NamespaceFailure& failure : m_data->failures)
    {
        list.Add(failure);
    }
    return list;
}

} // namespace WMI
