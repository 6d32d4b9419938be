#pragma once

#include <sys/types.h>

#include <cstddef>

namespace ferrymark {

// Writing side of a file copy; the seam through which tests inject short and failed writes.
class IFileWriter {
  public:
    virtual ssize_t write(const void* buffer, std::size_t count) = 0;
    virtual ssize_t writeAt(const void* buffer, std::size_t count, off_t offset) = 0;
    virtual int sync() = 0;
    virtual void close() = 0;

  protected:
    ~IFileWriter() = default;
};

}  // namespace ferrymark
