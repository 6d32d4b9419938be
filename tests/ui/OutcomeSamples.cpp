#include "OutcomeSamples.h"

namespace ferrymark::testing {

namespace {
using R = NotTransferredReason;
}

TransferOutcome OutcomeSamples::leftOut() {
    TransferOutcome outcome;
    outcome.targetName = "Photos";
    outcome.transferred = 1234;
    outcome.notTransferred = 42;
    outcome.counts[static_cast<std::size_t>(R::SkippedAtConflict)] = 41;
    outcome.counts[static_cast<std::size_t>(R::PermissionDenied)] = 1;
    // Met in this order; the list groups them by reason.
    outcome.entries = {{"/home/u/src/a.jpg", R::SkippedAtConflict, ""},
                       {"/home/u/src/secret", R::PermissionDenied, "Permission denied"},
                       {"/home/u/src/b <&> c.jpg", R::SkippedAtConflict, ""}};
    outcome.omitted = 39;
    outcome.elapsed = std::chrono::seconds(1);
    return outcome;
}

TransferOutcome OutcomeSamples::clean(std::chrono::milliseconds elapsed) {
    TransferOutcome outcome;
    outcome.targetName = "Photos";
    outcome.transferred = 3;
    outcome.elapsed = elapsed;
    return outcome;
}

TransferOutcome OutcomeSamples::stopped() {
    TransferOutcome outcome = clean(std::chrono::seconds(9));
    outcome.stopped = true;
    return outcome;
}

}  // namespace ferrymark::testing
