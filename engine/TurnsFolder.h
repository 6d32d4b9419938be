#pragma once

#include <string>

namespace ferrymark {

// The folder of the disks' turn locks: $XDG_RUNTIME_DIR/ferrymark/turns. Every Ferrymark
// process and fm-transfer run of the user meets the others there. It is used only when the
// runtime folder is a folder of this user that nobody else may write to, and the two
// folders below it are real folders of this user alone: a lock file another user could
// replace would let that user hold up or let through anybody's transfers.
class TurnsFolder {
  public:
    // The folder opened (made where missing), or -1 with why in reason.
    static int open(std::string& reason);
    // Once per process: why transfers can not take turns, else empty.
    static std::string takeUnavailableNotice(const std::string& reason);
};

}  // namespace ferrymark
