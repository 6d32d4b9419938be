// The harness itself: each fault does to a real device what the disk tests rely on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "FakeDisk.h"

using ferrymark::test::FakeDisk;

namespace {

std::string block(char fill) {
    return std::string(256 * 1024, fill);
}

int writeFile(const std::string& path, const std::string& data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return errno;
    }
    const bool written = ::write(fd, data.data(), data.size()) == ssize_t(data.size());
    const int error = written ? (::fsync(fd) == 0 ? 0 : errno) : errno;
    ::close(fd);
    return error;
}

std::string readUncached(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    std::string data(512 * 1024, '\0');
    const ssize_t n = fd < 0 ? -1 : ::read(fd, data.data(), data.size());
    data.resize(n < 0 ? 0 : std::size_t(n));
    ::close(fd);
    return data;
}

TEST(FakeDiskTest, SoundDiskKeepsWhatIsWritten) {
    FakeDisk disk;
    START_DISK(disk);
    const std::string path = disk.mountPoint() + "/a";
    ASSERT_EQ(writeFile(path, block('a')), 0);
    EXPECT_EQ(readUncached(path), block('a'));
}

TEST(FakeDiskTest, FailingDiskFailsTheFlushUntilHealed) {
    FakeDisk disk(FakeDisk::Fault::Error);
    START_DISK(disk);
    ASSERT_EQ(writeFile(disk.mountPoint() + "/before", block('b')), 0);
    disk.fail();
    EXPECT_EQ(writeFile(disk.mountPoint() + "/during", block('d')), EIO);
    disk.heal();
}

TEST(FakeDiskTest, LyingDiskReadsBackOtherBytesOnlyWhileLying) {
    FakeDisk disk(FakeDisk::Fault::Lie);
    START_DISK(disk);
    disk.lie();
    ASSERT_EQ(writeFile(disk.mountPoint() + "/lied", block('l')), 0);
    disk.truth();
    ASSERT_EQ(writeFile(disk.mountPoint() + "/kept", block('k')), 0);
    EXPECT_NE(readUncached(disk.mountPoint() + "/lied"), block('l'));
    EXPECT_EQ(readUncached(disk.mountPoint() + "/kept"), block('k'));
}

TEST(FakeDiskTest, ShutDownFileSystemRefusesEverything) {
    FakeDisk disk;
    START_DISK(disk);
    disk.shutdown();
    EXPECT_EQ(writeFile(disk.mountPoint() + "/after", block('s')), EIO);
}

}  // namespace
