#pragma once

#include <cstddef>
#include <string>

#include "DeferredConflict.h"

namespace ferrymark {

class CopyHandler;

// The passes of one transfer, run on the job's worker: counting, placement, the deferred
// conflicts and, for a move, the removal of the sources.
class TransferDriver {
  public:
    TransferDriver(CopyHandler& job, std::string target);

    // A source path without trailing separators and "." elements: "/a/b/" and "/a/b/."
    // name the item "b", not "." (a destination named "." is the target itself).
    static std::string itemPath(std::string path);

    // The name the job goes by: the target's last path component, "/" for the root.
    std::string targetName() const;

    void countSources();
    void placeSources();
    bool hasConflicts() const { return !conflicts_.empty(); }
    void resolveConflicts();
    void removeSources();
    // Conflicts from index from on that a stop left unsettled go into the job's report.
    void recordStopped(std::size_t from = 0);

  private:
    void countTree(const std::string& root);

    CopyHandler& job_;
    std::string target_;
    DeferredConflictList conflicts_;
};

}  // namespace ferrymark
