#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <utility>

namespace ferrymark {

// An open destination folder and the path it was reached by (for logs and the in-flight
// record). Items are created relative to the handle, so a folder swapped for a link after
// it was opened is never written through.
class FolderHandle {
  public:
    FolderHandle() = default;
    FolderHandle(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    // Opens path itself; a link there is followed (the target folder the user chose).
    static FolderHandle open(const std::string& path) {
        return {::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), path};
    }
    // Opens name inside parent, never through a link.
    static FolderHandle openIn(const FolderHandle& parent, const std::string& name) {
        return {
            ::openat(parent.fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC),
            parent.path() + "/" + name};
    }
    ~FolderHandle() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FolderHandle(FolderHandle&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)),
          path_(std::move(other.path_)),
          device_(other.device_) {}
    FolderHandle& operator=(FolderHandle&& other) noexcept {
        std::swap(fd_, other.fd_);
        std::swap(path_, other.path_);
        std::swap(device_, other.device_);
        return *this;
    }

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // The file system the folder is on, asked once per folder rather than once per file.
    dev_t device() const {
        if (!device_) {
            struct stat status {};
            device_ = ::fstat(fd_, &status) == 0 ? status.st_dev : dev_t{};
        }
        return *device_;
    }

  private:
    int fd_ = -1;
    std::string path_;
    mutable std::optional<dev_t> device_;
};

}  // namespace ferrymark
