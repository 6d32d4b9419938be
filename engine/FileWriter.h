#pragma once

#include <string>

#include "IFileWriter.h"

namespace ferrymark {

// A destination file, created or truncated. Never follows a symbolic link at the
// destination itself, so a name held by a link is never written through.
class FileWriter final : public IFileWriter {
  public:
    explicit FileWriter(const std::string& path, unsigned mode = 0777);
    FileWriter(const std::u32string& path, unsigned mode);
    // Takes over a descriptor already open for writing.
    static FileWriter adopt(int fd) { return FileWriter(fd); }
    FileWriter(FileWriter&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    ssize_t write(const void* buffer, std::size_t count) override;
    ssize_t writeAt(const void* buffer, std::size_t count, off_t offset) override;
    int sync() override;
    void close() override;

    int descriptor() const { return fd_; }
    void setPermissionBits(unsigned mode);

  private:
    explicit FileWriter(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace ferrymark
