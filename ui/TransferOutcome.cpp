#include "ui/TransferOutcome.h"

#include "engine/CopyHandler.h"

namespace ferrymark {

TransferOutcome TransferOutcome::of(const CopyHandler& job, bool move,
                                    std::chrono::milliseconds elapsed) {
    TransferOutcome outcome;
    outcome.targetName = job.currentTarget();
    outcome.targetPath = job.targetPath();
    outcome.move = move;
    outcome.stopped = job.cancelled();
    outcome.transferred = job.transferredItems();
    const TransferReport& report = job.report();
    outcome.notTransferred = report.total();
    for (std::size_t i = 0; i < kNotTransferredReasonCount; ++i) {
        outcome.counts[i] = report.count(static_cast<NotTransferredReason>(i));
    }
    outcome.entries = report.entries();
    outcome.omitted = report.omitted();
    outcome.elapsed = elapsed;
    return outcome;
}

}  // namespace ferrymark
