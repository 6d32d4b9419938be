#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <optional>

namespace ferrymark {

// Keeps what a job has written but the disk has not yet taken small, so that the bytes
// counted as done follow the disk rather than the page cache. Within a file, as soon as a
// window of data is written its writeback is started, and the window before it is waited
// for. Small files and the tails of large ones are flushed together once a batch of them is
// written: writing back each small file on its own costs a fast disk a fifth of its speed.
// A batch is flushed on a thread of its own while the next one is written, and waited for
// only when that one is full: the disk and the copy work side by side, as with the kernel's
// own writeback, and at most two batches are ahead of the disk. A batch is an eighth of a
// second of the disk's measured speed, and small: a fast disk loses nothing by flushing
// often beside the copy, and a disk whose first seconds went to its own cache can not get
// far behind once it slows. Worker thread only.
class WritebackPacer {
  public:
    static constexpr std::int64_t kWindow = std::int64_t{2} << 20;
    // A slow disk gets smaller windows, down to this: what is shown as done then stays
    // within a twentieth of a second of it, so that the time left follows it from the start.
    static constexpr std::int64_t kSmallestWindow = std::int64_t{256} << 10;
    static constexpr std::int64_t kLargestBatch = std::int64_t{4} << 20;

    explicit WritebackPacer(std::int64_t window = kWindow);
    ~WritebackPacer();
    WritebackPacer(const WritebackPacer&) = delete;
    WritebackPacer& operator=(const WritebackPacer&) = delete;

    // The file being written; its data counts from offset 0.
    void beginFile(int fd);
    // The current file holds data up to end. True when a window behind is due to be waited
    // for: the caller gives the pause gate back first, then calls waitBehind.
    bool written(std::int64_t end);
    // Waits until every window but the newest is on the disk; the time between such waits
    // sizes the windows to come.
    void waitBehind();
    // The current file is complete at size and may be closed after this; flushes a batch
    // when one is due (the caller does not hold the gate).
    void finishFile(std::int64_t size);
    // The current file was removed unfinished: none of it is waited for.
    void dropFile();

    // Bytes whose writeback was started and not yet waited for; bytes of finished files
    // not yet flushed; descriptors of finished files kept to wait for their windows.
    std::int64_t bytesInFlight() const { return inFlightBytes_; }
    std::int64_t bytesNotStarted() const { return batchBytes_; }
    std::size_t heldFiles() const;
    std::int64_t batchSize() const { return batchSize_; }
    std::int64_t windowSize() const { return current_window_; }

  private:
    struct Descriptor;
    struct Range {
        std::shared_ptr<Descriptor> file;
        std::int64_t offset;
        std::int64_t length;
        std::uint64_t window;
    };

    void startWindow(std::int64_t end);
    // Starts a flush of the file system of fd for the batch written, once the one before
    // is done.
    void flushBatch(int fd);
    // Waits for the flush running, if any, and sizes the next batch by how long it took.
    void settleFlush();

    const std::int64_t window_;
    std::int64_t current_window_;
    // When the last wait of the current file ended; none before its first.
    std::optional<std::chrono::steady_clock::time_point> lastWait_;
    std::deque<Range> inFlight_;
    std::int64_t inFlightBytes_ = 0;
    std::shared_ptr<Descriptor> current_;
    std::int64_t startedTo_ = 0;
    std::uint64_t windows_ = 0;
    std::int64_t batchBytes_ = 0;
    std::int64_t batchSize_;
    // The flush running: its seconds (negative when it failed), the bytes and the windows
    // it covers.
    std::future<double> flushing_;
    std::int64_t flushingBytes_ = 0;
    std::uint64_t flushCovers_ = 0;
};

}  // namespace ferrymark
