#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace ferrymark {

// Why an item did not reach the target exactly as it was.
enum class NotTransferredReason {
    SkippedAtConflict,
    PermissionDenied,
    Unreadable,
    Vanished,
    SpecialFile,
    LinkCycle,
    DanglingLink,
    NameTooLong,
    OutOfSpace,
    ChangedWhileCopied,
    KeptByMove,
    Stopped,
    // The flush or the read-back of a written copy failed: it may be damaged.
    DiskError,
    // A write or create failed for another reason than a full disk, and was skipped.
    WriteError,
    // The copy read back from the device is not what the original holds.
    CopyDiffers,
    Other,
};
inline constexpr std::size_t kNotTransferredReasonCount =
    static_cast<std::size_t>(NotTransferredReason::Other) + 1;

struct NotTransferredItem {
    std::string path;
    NotTransferredReason reason = NotTransferredReason::Other;
    // The system's error text where there is one.
    std::string detail;
};

// What a job did not transfer. The worker adds; the UI thread reads once the job has
// ended (or at any time: every access is under the lock). Memory stays flat in the size of
// the tree: counts per reason, and the first `keep` entries only.
class TransferReport {
  public:
    explicit TransferReport(std::size_t keep = 5000);

    void add(std::string path, NotTransferredReason reason, std::string detail = {});
    // Counts items that are not named one by one.
    void addUnlisted(NotTransferredReason reason, std::int64_t count);

    std::int64_t total() const;
    std::int64_t count(NotTransferredReason reason) const;
    // The entries kept, in the order they were met.
    std::vector<NotTransferredItem> entries() const;
    // How many entries were counted but not kept.
    std::int64_t omitted() const;
    bool empty() const { return total() == 0; }

    // Plain English words for a reason ("skipped at a name conflict", ...).
    static const char* reasonText(NotTransferredReason reason);

  private:
    const std::size_t keep_;
    mutable std::mutex lock_;
    std::vector<NotTransferredItem> entries_;
    std::int64_t counts_[kNotTransferredReasonCount] = {};
    std::int64_t total_ = 0;
};

}  // namespace ferrymark
