#pragma once

#include <sys/types.h>

#include <cstddef>

namespace ferrymark {

// Reading side of a file copy; the seam through which tests inject read failures.
class IFileReader {
  public:
    virtual ssize_t read(void* buffer, std::size_t count) = 0;
    virtual ssize_t readAt(void* buffer, std::size_t count, off_t offset) = 0;
    virtual int close() = 0;

  protected:
    ~IFileReader() = default;
};

}  // namespace ferrymark
