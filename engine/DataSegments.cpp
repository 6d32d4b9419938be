#include "engine/DataSegments.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace ferrymark {

DataSegments::DataSegments(int sourceFd, int destinationFd, off_t sourceSize,
                           std::int64_t sourceBlocks)
    : sourceFd_(sourceFd),
      destinationFd_(destinationFd),
      size_(sourceSize),
      // Fewer 512-byte blocks than bytes: there are holes (or the file system packs tails,
      // which costs a few seeks and nothing else).
      sparse_(sourceFd >= 0 && destinationFd >= 0 && sourceBlocks * 512 < sourceSize) {}

std::int64_t DataSegments::skipHole() {
    if (!sparse_) {
        return 0;
    }
    const off_t at = ::lseek(sourceFd_, 0, SEEK_CUR);
    if (at < 0 || at < dataEnd_) {
        return 0;
    }
    off_t data = ::lseek(sourceFd_, at, SEEK_DATA);
    if (data < 0) {
        if (errno != ENXIO) {
            // No hole support after all: read everything from here on.
            sparse_ = false;
            ::lseek(sourceFd_, at, SEEK_SET);
            return 0;
        }
        // A hole up to the end, or the file shrank: the reads end the copy.
        data = std::max(at, size_);
    }
    off_t hole = data < size_ ? ::lseek(sourceFd_, data, SEEK_HOLE) : data;
    if (hole < 0) {
        hole = size_;
    }
    if (::lseek(sourceFd_, data, SEEK_SET) < 0 || ::lseek(destinationFd_, data, SEEK_SET) < 0) {
        sparse_ = false;
        ::lseek(sourceFd_, at, SEEK_SET);
        ::lseek(destinationFd_, at, SEEK_SET);
        return 0;
    }
    dataEnd_ = hole;
    return data - at;
}

bool DataSegments::finish() {
    if (!sparse_) {
        return true;
    }
    // The copy's length is where the source's reads ended.
    const off_t end = ::lseek(sourceFd_, 0, SEEK_CUR);
    return end >= 0 && ::ftruncate(destinationFd_, end) == 0;
}

}  // namespace ferrymark
