// Trying a class's WQL filter on a machine before it is stored: the query runs and at most one batch of
// instances is read, which is enough for WMI to report a bad condition, property or class.
#pragma once

#include "core/String.h"

namespace WMI
{
class ClassDefinition;
class ConnectionSession;
class ManagementConnection;
} // namespace WMI

namespace WMI
{

struct FilterCheckResult
{
    bool valid = false;
    int instances = 0;      // read in the first batch
    bool batchFull = false; // the first batch was full: there may be more
    bool timedOut = false;  // the machine was still collecting the first batch when the wait ended
    int waitedMilliseconds = 0;
    Core::String failure; // the WMI layer's message when not valid
};

class FilterCheck
{
public:
    static constexpr int BatchSize = 50;
    // How long the first batch is waited for: a slow provider (files, event logs) may take minutes to fill it,
    // while a bad query fails at once.
    static constexpr int FirstBatchTimeoutMilliseconds = 10000;

    // The query of the class with filter in place of its own (properties as given; none: all of them).
    static Core::String QueryText(const WMI::ClassDefinition& definition, const Core::String& filter);

    // Runs query on the connection and reads one batch, waiting for it at most timeoutMilliseconds. Never
    // throws: failures are in the result. Blocks meanwhile; the dialog calls it on a worker thread.
    static FilterCheckResult Run(WMI::ManagementConnection& connection, const Core::String& query,
                                 int timeoutMilliseconds = FirstBatchTimeoutMilliseconds);
    static FilterCheckResult Run(const WMI::ConnectionSession& session, const Core::String& query,
                                 int timeoutMilliseconds = FirstBatchTimeoutMilliseconds);

    // What the user is told: the number read, or the failure's message.
    static Core::String Describe(const FilterCheckResult& result);
};

} // namespace WMI
