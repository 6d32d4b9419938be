#pragma once

#include <sys/types.h>
#include <xxhash.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ferrymark {

class FolderHandle;

// The copies a job has written and not yet confirmed on the disk, with a handle on each
// file system it wrote to. The flush goes through these handles, so it reaches the disk
// wherever the user moved the folders meanwhile. Memory stays flat: without read-back, only
// the first kListed copies are named (the report keeps no more); with it, the job confirms
// a batch before it grows past kBatchFiles or kBatchBytes.
class CopyLedger {
  public:
    static constexpr std::size_t kListed = 5000;
    static constexpr std::size_t kBatchFiles = 256;
    static constexpr std::int64_t kBatchBytes = std::int64_t{256} << 20;

    struct Copy {
        dev_t device = 0;
        std::size_t sourceIndex = 0;  // which of the job's sources it belongs to
        std::string source;
        std::string destination;  // for logs
        int fd = -1;              // the copy, open for reading back; -1 without read-back
        std::int64_t size = 0;
        // The original's digest, taken as its bytes passed through; unknown when the kernel
        // copied them (or skipped holes), and the original is read again.
        bool digestKnown = false;
        XXH128_hash_t digest{};
    };

    CopyLedger() = default;
    ~CopyLedger();
    CopyLedger(const CopyLedger&) = delete;
    CopyLedger& operator=(const CopyLedger&) = delete;

    // Keeps a handle on folder's file system, the first time the job writes there.
    void noteFolder(const FolderHandle& folder);
    // A copy complete under its final name; takes over copy.fd.
    void noteCopy(Copy copy);

    bool batchFull() const;
    std::int64_t pendingBytes() const { return pendingBytes_; }

    struct FileSystem {
        dev_t device = 0;
        int fd = -1;
        std::int64_t unlisted = 0;                 // copies on it beyond the first kListed
        std::vector<std::size_t> unlistedSources;  // the sources those belong to
    };
    std::vector<FileSystem>& fileSystems() { return fileSystems_; }
    std::vector<Copy>& pending() { return pending_; }
    // Forgets the pending copies, closing those kept open.
    void clearPending();

  private:
    std::vector<FileSystem> fileSystems_;
    std::vector<Copy> pending_;
    std::int64_t pendingBytes_ = 0;
};

}  // namespace ferrymark
