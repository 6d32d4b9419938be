// The pacer on a real file system: how much writeback it leaves in flight, and that the
// descriptors it keeps for finished files stay few and are all let go.
#include "engine/WritebackPacer.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestTree.h"

namespace ferrymark {
namespace {

constexpr std::int64_t kWindow = 256 * 1024;

int openDescriptors() {
    DIR* dir = ::opendir("/proc/self/fd");
    int count = 0;
    while (::readdir(dir) != nullptr) {
        ++count;
    }
    ::closedir(dir);
    return count;
}

// Writes size bytes to a new file chunk by chunk as the copy does, with the gate's side of
// the protocol left out. Returns the most seen in flight.
std::int64_t writeFile(WritebackPacer& pacer, const std::string& path, std::int64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0) << path;
    const std::string chunk(4096, 'x');
    pacer.beginFile(fd);
    std::int64_t ahead = 0;
    for (std::int64_t done = 0; done < size;) {
        const auto count = std::min<std::int64_t>(size - done, 4096);
        EXPECT_EQ(::write(fd, chunk.data(), count), count);
        done += count;
        if (pacer.written(done)) {
            pacer.waitBehind();
        }
        ahead = std::max(ahead, pacer.bytesInFlight());
    }
    pacer.finishFile(size);
    ::close(fd);
    return std::max(ahead, pacer.bytesInFlight());
}

TEST(WritebackPacerTest, KeepsLittleInFlightAndFewDescriptors) {
    struct Case {
        const char* label;
        int files;
        std::int64_t size;
    };
    const Case cases[] = {
        {"one large file", 1, 10 * kWindow + 123},
        {"files of several windows", 4, 3 * kWindow},
        {"files under a window", 40, kWindow / 3},
        {"many tiny files", 500, 100},
        {"empty files", 200, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        test::TestTree tree;
        const int before = openDescriptors();
        {
            WritebackPacer pacer(kWindow);
            for (int i = 0; i < c.files; ++i) {
                const std::int64_t ahead =
                    writeFile(pacer, tree.path("f" + std::to_string(i)), c.size);
                // The window being written back, the one just started, and a chunk.
                EXPECT_LE(ahead, 2 * kWindow + 4096);
                // Only files with windows in flight are kept open.
                EXPECT_LE(pacer.heldFiles(), 2u);
                EXPECT_LE(openDescriptors(), before + 2);
            }
        }
        EXPECT_EQ(openDescriptors(), before);
    }
}

TEST(WritebackPacerTest, RemovedFileIsNotWaitedFor) {
    test::TestTree tree;
    WritebackPacer pacer(kWindow);
    const int before = openDescriptors();
    const std::string path = tree.path("partial");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    pacer.beginFile(fd);
    const std::string data(3 * kWindow, 'p');
    ASSERT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    pacer.written(static_cast<std::int64_t>(data.size()));
    ASSERT_GT(pacer.bytesInFlight(), 0);
    pacer.dropFile();
    ::unlink(path.c_str());
    ::close(fd);
    // Its descriptor number may now name another file: nothing of the old one is left.
    EXPECT_EQ(pacer.bytesInFlight(), 0);
    EXPECT_EQ(pacer.heldFiles(), 0u);
    EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
}  // namespace ferrymark
