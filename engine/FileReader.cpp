#include "engine/FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/WidePath.h"

namespace ferrymark {

FileReader::FileReader(const std::string& path)
    // O_NONBLOCK keeps a pipe put in place of a file from blocking the open; regular
    // files ignore it.
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}

FileReader::FileReader(const std::u32string& path) : FileReader(WidePath::toBytes(path)) {}

FileReader::~FileReader() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

ssize_t FileReader::read(void* buffer, std::size_t count) {
    return ::read(fd_, buffer, count);
}

ssize_t FileReader::readAt(void* buffer, std::size_t count, off_t offset) {
    return ::pread(fd_, buffer, count, offset);
}

int FileReader::close() {
    int result = ::close(fd_);
    fd_ = -1;
    return result;
}

const struct stat& FileReader::status() const {
    if (!statusRead_) {
        statusRead_ = true;
        if (::fstat(fd_, &status_) != 0) {
            status_ = {};
        }
    }
    return status_;
}

unsigned FileReader::permissionBits() const {
    return status().st_mode & 0777;
}

bool FileReader::isRegularFile() const {
    return S_ISREG(status().st_mode);
}

}  // namespace ferrymark
