#include "engine/TransferReport.h"

#include <utility>

namespace ferrymark {

TransferReport::TransferReport(std::size_t keep) : keep_(keep) {}

void TransferReport::add(std::string path, NotTransferredReason reason, std::string detail) {
    std::lock_guard guard(lock_);
    ++total_;
    ++counts_[static_cast<std::size_t>(reason)];
    if (entries_.size() < keep_) {
        entries_.push_back({std::move(path), reason, std::move(detail)});
    }
}

void TransferReport::addUnlisted(NotTransferredReason reason, std::int64_t count) {
    std::lock_guard guard(lock_);
    total_ += count;
    counts_[static_cast<std::size_t>(reason)] += count;
}

std::int64_t TransferReport::total() const {
    std::lock_guard guard(lock_);
    return total_;
}

std::int64_t TransferReport::count(NotTransferredReason reason) const {
    std::lock_guard guard(lock_);
    return counts_[static_cast<std::size_t>(reason)];
}

std::vector<NotTransferredItem> TransferReport::entries() const {
    std::lock_guard guard(lock_);
    return entries_;
}

std::int64_t TransferReport::omitted() const {
    std::lock_guard guard(lock_);
    return total_ - static_cast<std::int64_t>(entries_.size());
}

const char* TransferReport::reasonText(NotTransferredReason reason) {
    switch (reason) {
        case NotTransferredReason::SkippedAtConflict:
            return "skipped at a name conflict";
        case NotTransferredReason::PermissionDenied:
            return "permission denied";
        case NotTransferredReason::Unreadable:
            return "could not be read";
        case NotTransferredReason::Vanished:
            return "vanished before it was copied";
        case NotTransferredReason::SpecialFile:
            return "special file, not copied";
        case NotTransferredReason::LinkCycle:
            return "link leads back into its own folder";
        case NotTransferredReason::DanglingLink:
            return "link whose target does not exist";
        case NotTransferredReason::NameTooLong:
            return "name too long";
        case NotTransferredReason::OutOfSpace:
            return "out of space or inodes";
        case NotTransferredReason::ChangedWhileCopied:
            return "changed while it was copied";
        case NotTransferredReason::KeptByMove:
            return "kept by the move, not removed";
        case NotTransferredReason::Stopped:
            return "not transferred: the transfer was stopped";
        case NotTransferredReason::DiskError:
            return "the disk reported an error while saving it, so this copy may be damaged";
        case NotTransferredReason::WriteError:
            return "not copied: the disk reported an error while writing it";
        case NotTransferredReason::CopyDiffers:
            return "the copy differs from the original";
        case NotTransferredReason::Other:
            break;
    }
    return "not transferred";
}

}  // namespace ferrymark
