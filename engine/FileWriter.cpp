#include "engine/FileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/WidePath.h"

namespace ferrymark {

FileWriter::FileWriter(const std::string& path, unsigned mode)
    : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                 static_cast<mode_t>(mode))) {}

FileWriter::FileWriter(const std::u32string& path, unsigned mode)
    : FileWriter(WidePath::toBytes(path), mode) {}

FileWriter::~FileWriter() {
    FileWriter::close();
}

ssize_t FileWriter::write(const void* buffer, std::size_t count) {
    return ::write(fd_, buffer, count);
}

ssize_t FileWriter::writeAt(const void* buffer, std::size_t count, off_t offset) {
    return ::pwrite(fd_, buffer, count, offset);
}

int FileWriter::sync() {
    return ::fsync(fd_);
}

void FileWriter::close() {
    if (fd_ != -1) {
        ::close(fd_);
        fd_ = -1;
    }
}

void FileWriter::setPermissionBits(unsigned mode) {
    ::fchmod(fd_, static_cast<mode_t>(mode));
}

}  // namespace ferrymark
