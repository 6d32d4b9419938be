#pragma once

#include <sys/stat.h>

#include <string>

#include "IFileReader.h"

namespace ferrymark {

// A source file opened read-only. Never throws; the descriptor is -1 when opening failed.
class FileReader final : public IFileReader {
  public:
    explicit FileReader(const std::string& path);
    explicit FileReader(const std::u32string& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    ssize_t read(void* buffer, std::size_t count) override;
    ssize_t readAt(void* buffer, std::size_t count, off_t offset) override;
    int close() override;

    bool openFailed() const { return fd_ < 0; }
    int descriptor() const { return fd_; }
    // The nine read/write/execute bits; type and set-id/sticky bits dropped.
    unsigned permissionBits() const;
    // False for pipes, sockets and devices, which are never read (a pipe can block forever).
    bool isRegularFile() const;
    // The open file's status, read once; all zero when it cannot be read.
    const struct stat& status() const;

  private:
    int fd_ = -1;
    // Read at most once: every system call counts when copying many small files.
    mutable struct stat status_ {};
    mutable bool statusRead_ = false;
};

}  // namespace ferrymark
