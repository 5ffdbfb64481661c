#pragma once
#include "sync/SyncPlan.h"
#include "text/Charset.h"

#include <string>
#include <vector>

namespace veldrano {

// Appends one line a conflict to the log of conflicts beside a book, in UTF-8, stamped with
// the local time, and flushes it to disk: a conflict logged is never lost, whatever stops
// the run after it. Throws FileError naming the log and why it cannot be written (a full
// disk, a folder the user may not write).
void AppendConflictLog(const std::string& path, const std::vector<Conflict>& conflicts,
                       Charset& charset);

} // namespace veldrano
