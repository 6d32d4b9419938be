#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "DeferredConflict.h"
#include "FolderHandle.h"

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

    // Notes when the job began: a source whose status changes later is not removed by a
    // Move. Waits for the file system's clock to tick, so no earlier change shares it.
    void markStart();
    void countSources();
    void placeSources();
    bool hasConflicts() const { return !conflicts_.empty(); }
    void resolveConflicts();
    // Keeps a handle on the target's file system, for the flush at the end.
    void holdTarget();
    // Checks that each copy is still where the job put it.
    void confirmCopies();
    void removeSources();
    // Conflicts from index from on that a stop left unsettled go into the job's report.
    void recordStopped(std::size_t from = 0);

  private:
    void countTree(const std::string& root);

    CopyHandler& job_;
    std::string target_;
    // The target, open from the start: the flush and the end checks reach it wherever the
    // user moves it meanwhile.
    FolderHandle heldTarget_;
    DeferredConflictList conflicts_;
    timespec start_{};
};

}  // namespace ferrymark
