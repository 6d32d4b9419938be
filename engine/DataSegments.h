#pragma once

#include <sys/types.h>

#include <cstdint>

namespace ferrymark {

// Walks the data of a sparse source so that its holes are neither read nor written: the
// copy gets a hole by a seek, and its size at the end. A file with all its blocks (the
// usual case) costs nothing here.
class DataSegments {
  public:
    // sourceSize and sourceBlocks as fstat gave them when the copy began.
    DataSegments(int sourceFd, int destinationFd, off_t sourceSize, std::int64_t sourceBlocks);

    // Before a read: when the source's offset lies in a hole, moves both files to the next
    // data (or the end) and returns the hole's length; 0 otherwise.
    std::int64_t skipHole();
    // After the last read: a copy that ends in a hole gets its full size. False on failure.
    bool finish();
    bool sparse() const { return sparse_; }

  private:
    int sourceFd_;
    int destinationFd_;
    off_t size_;
    bool sparse_;
    // Where the data segment being read ends.
    off_t dataEnd_ = 0;
};

}  // namespace ferrymark
