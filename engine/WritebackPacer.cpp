#include "engine/WritebackPacer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <set>

namespace ferrymark {

struct WritebackPacer::Descriptor {
    int fd = -1;
    // A finished file's own duplicate, closed when its last window is waited for.
    bool owned = false;
    // False where the kernel refuses to write back a range (not a regular file system).
    bool usable = true;
    ~Descriptor() {
        if (owned) {
            ::close(fd);
        }
    }
};

WritebackPacer::WritebackPacer(std::int64_t window)
    : window_(window), current_window_(window), batchSize_(window) {}

WritebackPacer::~WritebackPacer() {
    if (flushing_.valid()) {
        flushing_.wait();
    }
}

void WritebackPacer::beginFile(int fd) {
    dropFile();
    current_ = std::make_shared<Descriptor>();
    current_->fd = fd;
    startedTo_ = 0;
    lastWait_.reset();
}

bool WritebackPacer::written(std::int64_t end) {
    if (!current_ || !current_->usable || end - startedTo_ < current_window_) {
        return false;
    }
    startWindow(end);
    return !inFlight_.empty() && inFlight_.front().window < windows_;
}

void WritebackPacer::startWindow(std::int64_t end) {
    if (::sync_file_range(current_->fd, startedTo_, end - startedTo_, SYNC_FILE_RANGE_WRITE) != 0) {
        current_->usable = false;
        return;
    }
    ++windows_;
    inFlight_.push_back(Range{current_, startedTo_, end - startedTo_, windows_});
    inFlightBytes_ += end - startedTo_;
    startedTo_ = end;
}

void WritebackPacer::waitBehind() {
    std::int64_t waited = 0;
    while (!inFlight_.empty() && inFlight_.front().window < windows_) {
        const Range& range = inFlight_.front();
        // Errors are left to the flush at the end, which sees them too.
        ::sync_file_range(
            range.file->fd, range.offset, range.length,
            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
        waited += range.length;
        inFlightBytes_ -= range.length;
        inFlight_.pop_front();
    }
    const auto now = std::chrono::steady_clock::now();
    if (waited > 0 && lastWait_) {
        // Where the disk sets the pace, a window is waited for each time it has taken one:
        // the time between waits is the disk's. Where the copy is the slower, it is the
        // copy's, and the windows stay large.
        const double seconds = std::chrono::duration<double>(now - *lastWait_).count();
        const double perSecond = static_cast<double>(waited) / std::max(seconds, 1e-4);
        current_window_ =
            std::clamp(std::min(static_cast<std::int64_t>(perSecond / 20), 2 * current_window_),
                       std::min(kSmallestWindow, window_), window_);
    }
    if (waited > 0) {
        lastWait_ = now;
    }
}

void WritebackPacer::finishFile(std::int64_t size) {
    if (!current_) {
        return;
    }
    std::shared_ptr<Descriptor> file = std::move(current_);
    const std::int64_t tail = size - startedTo_;
    startedTo_ = 0;
    if (!file->usable) {
        return;
    }
    if (file.use_count() > 1) {
        // The caller closes its descriptor: windows still to be waited for need their own.
        const int own = ::fcntl(file->fd, F_DUPFD_CLOEXEC, 0);
        if (own < 0) {
            std::erase_if(inFlight_, [&](const Range& range) {
                if (range.file != file) {
                    return false;
                }
                inFlightBytes_ -= range.length;
                return true;
            });
        } else {
            file->fd = own;
            file->owned = true;
        }
    }
    batchBytes_ += std::max<std::int64_t>(tail, 0);
    if (batchBytes_ >= batchSize_) {
        flushBatch(file->fd);
    }
}

void WritebackPacer::flushBatch(int fd) {
    settleFlush();
    // The flush needs a descriptor of its own: the caller closes the file meanwhile.
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        return;  // tried again with the next file
    }
    flushCovers_ = windows_;
    flushingBytes_ = batchBytes_;
    batchBytes_ = 0;
    flushing_ = std::async(std::launch::async, [own] {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        // One flush of the file system writes the batch's files together, as the kernel's
        // own writeback would; it also covers every window in flight. Errors are left to
        // the flush at the end, which sees them too.
        const int result = ::syncfs(own);
        ::close(own);
        return result == 0 ? std::chrono::duration<double>(Clock::now() - start).count() : -1.0;
    });
}

void WritebackPacer::settleFlush() {
    if (!flushing_.valid()) {
        return;
    }
    const double seconds = flushing_.get();
    if (seconds < 0) {
        batchBytes_ += flushingBytes_;
        return;
    }
    const double perSecond = static_cast<double>(flushingBytes_) / std::max(seconds, 1e-3);
    // A quarter of a second: two batches, half a second, are ahead of the disk at most. Grows by
    // half at most: a disk's first seconds, taken by its own cache, overstate its speed.
    batchSize_ =
        std::clamp(std::min(static_cast<std::int64_t>(perSecond / 8), batchSize_ + batchSize_ / 2),
                   window_, kLargestBatch);
    std::erase_if(inFlight_, [&](const Range& range) {
        if (range.window > flushCovers_) {
            return false;
        }
        inFlightBytes_ -= range.length;
        return true;
    });
}

void WritebackPacer::dropFile() {
    if (!current_) {
        return;
    }
    std::erase_if(inFlight_, [&](const Range& range) {
        if (range.file != current_) {
            return false;
        }
        inFlightBytes_ -= range.length;
        return true;
    });
    current_.reset();
    startedTo_ = 0;
}

std::size_t WritebackPacer::heldFiles() const {
    std::set<const Descriptor*> held;
    for (const auto& range : inFlight_) {
        if (range.file->owned) {
            held.insert(range.file.get());
        }
    }
    return held.size();
}

}  // namespace ferrymark
