// The typed WQL queries run last, newest first, with the machine and namespace each ran against; kept in the
// current user's registry beside the options.
#pragma once

#include "core/String.h"

#include <vector>

namespace Config
{

struct QueryEntry
{
    Core::String text;
    Core::String machine; // as the tree names it: "Local Machine" or the server
    Core::String nameSpace;
};

class QueryHistory
{
public:
    static constexpr int Capacity = 50;
    static constexpr const wchar_t* DefaultKeyPath = L"Software\\Quarrow\\Queries";

    explicit QueryHistory(const Core::String& keyPath = Core::String(DefaultKeyPath));

    // Reads what is stored; entries that are missing or not text are passed over, so a damaged key costs only
    // those entries. Nothing stored: an empty history.
    void Load();
    // Writes every entry; a failure throws Exception with the system's text and leaves the stored history as it
    // was or complete.
    void Save() const;

    // A query just run goes first; the same query against the same machine and namespace moves there instead of
    // being kept twice; the oldest beyond the capacity go.
    void Add(const QueryEntry& entry);
    int GetCount() const { return static_cast<int>(m_entries.size()); }
    const QueryEntry& Get(int index) const;

private:
    Core::String m_keyPath;
    std::vector<QueryEntry> m_entries; // newest first
};

} // namespace Config
