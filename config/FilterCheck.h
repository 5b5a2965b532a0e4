// Trying a class's WQL filter on a machine before it is stored: the query runs and at most one batch of
// instances is read, which is enough for WMI to report a bad condition, property or class.
#pragma once

#include "core/String.h"

namespace WMI
{
class ClassDefinition;
class ManagementConnection;
} // namespace WMI

namespace Config
{

struct FilterCheckResult
{
    bool valid = false;
    int instances = 0;      // read in the first batch
    bool batchFull = false; // the first batch was full: there may be more
    Core::String failure;   // the WMI layer's message when not valid
};

class FilterCheck
{
public:
    static constexpr int BatchSize = 50;

    // The query of the class with filter in place of its own (properties as given; none: all of them).
    static Core::String QueryText(const WMI::ClassDefinition& definition, const Core::String& filter);

    // Runs query on the connection and reads one batch. Never throws: failures are in the result.
    // Blocks until the machine answers; the dialog calls it on a worker thread.
    static FilterCheckResult Run(WMI::ManagementConnection& connection, const Core::String& query);

    // What the user is told: the number read, or the failure's message.
    static Core::String Describe(const FilterCheckResult& result);
};

} // namespace Config
