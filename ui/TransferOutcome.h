#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/TransferReport.h"

namespace ferrymark {

class CopyHandler;

// How a job ended, copied out of it on its worker: the job is gone by the time the user
// asks to see what it did not transfer.
struct TransferOutcome {
    std::string targetName;
    std::string targetPath;  // empty where the job was not told its whole target path
    bool move = false;
    bool stopped = false;
    std::int64_t transferred = 0;
    std::int64_t notTransferred = 0;
    std::array<std::int64_t, kNotTransferredReasonCount> counts{};
    std::vector<NotTransferredItem> entries;
    std::int64_t omitted = 0;
    std::chrono::milliseconds elapsed{0};

    // The worker's copy once the transfer has returned.
    static TransferOutcome of(const CopyHandler& job, bool move, std::chrono::milliseconds elapsed);

    // Whether the user has to hear of it: something was left out, or the job was stopped.
    bool incomplete() const { return stopped || notTransferred > 0; }
    // Whether what the job wrote is on the device: no copy met a disk error, so the flush
    // (and, where the job checked its copies, their reading back) went through.
    bool dataOnDisk() const {
        return counts[static_cast<std::size_t>(NotTransferredReason::DiskError)] == 0;
    }
};

}  // namespace ferrymark
