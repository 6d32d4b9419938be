// What a copy keeps of its source besides the bytes: bits, access lists, times, holes.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#include "TestTree.h"
#include "TransferRun.h"
#include "engine/FileMetadata.h"

namespace ferrymark {
namespace {

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

void setModified(const std::string& path, time_t seconds, long nanoseconds) {
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// getfacl's entries, without the header that names the file.
std::string accessList(const std::string& path, bool defaults = false) {
    const std::string command = std::string("getfacl --omit-header ") + (defaults ? "-d " : "") +
                                "'" + path + "' 2>/dev/null";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 256> chunk{};
        while (std::fgets(chunk.data(), chunk.size(), pipe)) {
            out += chunk.data();
        }
        ::pclose(pipe);
    }
    return out;
}

bool run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(KeptAttributesTest, FilesAndFoldersKeepTheirBitsAndTheirModificationTime) {
    struct Case {
        const char* name;
        bool folder;
        mode_t mode;
        mode_t expected;
    };
    const Case cases[] = {
        {"private", false, 0600, 0600},       {"shared", false, 0644, 0644},
        {"tool", false, 0755, 0755},          {"read-only", false, 0444, 0444},
        {"set-user-id", false, 04755, 04755}, {"set-group-id", false, 02750, 02750},
        {"owner-only", true, 0700, 0700},     {"group", true, 0750, 0750},
        {"sticky", true, 01777, 01777},       {"group-id-dir", true, 02775, 02775},
    };
    test::TestTree tree;
    std::vector<std::string> sources;
    for (const Case& c : cases) {
        const std::string src = c.folder ? tree.mkdir(std::string("src/") + c.name)
                                         : tree.write(std::string("src/") + c.name, "data");
        if (c.folder) {
            // Contents are written after the folder exists: its time must survive them.
            tree.write(std::string("src/") + c.name + "/inner", "x");
        }
        ASSERT_EQ(::chmod(src.c_str(), c.mode), 0);
        setModified(src, 1'000'000'000, 123'456'789);
        sources.push_back(src);
    }
    tree.mkdir("dst");
    test::TransferRun transfer;
    transfer.run(sources, tree.path("dst"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const struct stat st = statOf(tree.path(std::string("dst/") + c.name));
        EXPECT_EQ(st.st_mode & 07777, c.expected);
        EXPECT_EQ(st.st_mtim.tv_sec, 1'000'000'000);
        EXPECT_EQ(st.st_mtim.tv_nsec, 123'456'789);
    }
}

TEST(KeptAttributesTest, AFolderIsOpenToItsOwnerAloneWhileItIsFilled) {
    test::TestTree tree;
    tree.write("src/d/a", "x");
    ASSERT_EQ(::chmod(tree.path("src/d").c_str(), 0755), 0);
    // A pipe is passed over with a log line, which comes while its folder is being filled.
    ASSERT_EQ(::mkfifo(tree.path("src/d/pipe").c_str(), 0644), 0);
    tree.mkdir("dst");
    test::TransferRun transfer;
    mode_t whileFilled = 0;
    transfer.host.setLogObserver([&](const std::string& line) {
        if (line.find("pipe") != std::string::npos) {
            whileFilled = statOf(tree.path("dst/d")).st_mode & 07777;
        }
    });
    transfer.run({tree.path("src/d")}, tree.path("dst"));
    EXPECT_EQ(whileFilled, 0700u);
    EXPECT_EQ(statOf(tree.path("dst/d")).st_mode & 07777, 0755u);
}

TEST(KeptAttributesTest, AccessListsOfFilesAndFoldersAreKept) {
    test::TestTree tree;
    const auto file = tree.write("src/secret", "s", 0640);
    const auto folder = tree.mkdir("src/club", 0750);
    tree.write("src/club/note", "n", 0640);
    // The owning group loses read access by the list while its bits (the mask) say rwx.
    const bool set = run("setfacl -m u:nobody:r--,g::---,m::rwx '" + file + "' 2>/dev/null") &&
                     run("setfacl -m u:nobody:r-x,g::---,m::rwx '" + folder + "' 2>/dev/null") &&
                     run("setfacl -d -m u:nobody:r--,g::--- '" + folder + "' 2>/dev/null");
    if (!set) {
        GTEST_SKIP() << "setfacl is missing or this file system keeps no access lists";
    }
    tree.mkdir("dst");
    test::TransferRun transfer;
    transfer.run({file, folder}, tree.path("dst"));
    EXPECT_EQ(accessList(tree.path("dst/secret")), accessList(file));
    EXPECT_EQ(accessList(tree.path("dst/club")), accessList(folder));
    EXPECT_EQ(accessList(tree.path("dst/club"), true), accessList(folder, true));
    EXPECT_NE(accessList(file).find("user:nobody:r--"), std::string::npos);
}

TEST(KeptAttributesTest, WithoutRoomForTheListTheGroupGetsNoMoreThanTheListGave) {
    // version 2; user_obj rw-, group_obj ---, mask rwx, other ---
    const unsigned char list[] = {2,    0,    0,    0, 1, 0,    6,    0,    0xff,
                                  0xff, 0xff, 0xff, 4, 0, 0,    0,    0xff, 0xff,
                                  0xff, 0xff, 0x10, 0, 7, 0,    0xff, 0xff, 0xff,
                                  0xff, 0x20, 0,    0, 0, 0xff, 0xff, 0xff, 0xff};
    struct Case {
        mode_t mode;
        std::size_t size;
        mode_t expected;
    };
    const Case cases[] = {
        {0670, sizeof list, 0600},  // the list's owning group has nothing
        {0670, 2, 0670},            // no list to narrow by
        {0640, sizeof list, 0600},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            FileMetadata::bitsWithoutList(c.mode, reinterpret_cast<const char*>(list), c.size),
            c.expected)
            << std::oct << c.mode;
    }
}

TEST(KeptAttributesTest, ASparseFileKeepsItsHolesAndCountsThemAsDone) {
    test::TestTree tree;
    constexpr off_t kSize = off_t{1} << 30;
    const std::string src = tree.path("sparse.img");
    const int fd = ::open(src.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    struct Piece {
        off_t at;
        std::string bytes;
    };
    const Piece pieces[] = {
        {0, "head"}, {5000, std::string(9000, 'm')}, {kSize / 2, "middle"}, {kSize - 4, "tail"}};
    for (const Piece& p : pieces) {
        ASSERT_EQ(::pwrite(fd, p.bytes.data(), p.bytes.size(), p.at),
                  static_cast<ssize_t>(p.bytes.size()));
    }
    ::close(fd);
    if (statOf(src).st_blocks * 512 >= kSize) {
        GTEST_SKIP() << "this file system keeps no holes";
    }
    tree.mkdir("dst");
    test::TransferRun transfer;
    transfer.run({src}, tree.path("dst"));

    const std::string copy = tree.path("dst/sparse.img");
    const struct stat st = statOf(copy);
    EXPECT_EQ(st.st_size, kSize);
    EXPECT_LT(st.st_blocks * 512, 4 * 1024 * 1024) << "the holes were filled";
    EXPECT_EQ(transfer.job->dataProcessed(), kSize);
    EXPECT_EQ(transfer.job->remainingItems(), 0);
    const int in = ::open(copy.c_str(), O_RDONLY);
    ASSERT_GE(in, 0);
    for (const Piece& p : pieces) {
        std::string back(p.bytes.size(), '\0');
        ASSERT_EQ(::pread(in, back.data(), back.size(), p.at), static_cast<ssize_t>(back.size()));
        EXPECT_EQ(back, p.bytes) << "at " << p.at;
    }
    char zero = 1;
    ASSERT_EQ(::pread(in, &zero, 1, kSize / 4), 1);
    EXPECT_EQ(zero, 0);
    ::close(in);
}

}  // namespace
}  // namespace ferrymark
