#include "engine/FileCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "TestTree.h"
#include "UnprivilegedChild.h"
#include "engine/ConflictPolicy.h"
#include "engine/CopyHandler.h"
#include "engine/FileReader.h"
#include "engine/FileWriter.h"
#include "tools/HeadlessHost.h"

namespace ferrymark {
namespace {

class FileCopyTest : public ::testing::Test {
  protected:
    // A job of one source, so that its "not transferred" record can be read.
    std::unique_ptr<CopyHandler> makeJob(const std::string& source) {
        auto job = CopyHandler::initWithFiles({source}, host);
        job->setRemainingItems(1);
        return job;
    }

    test::TestTree tree;
    HeadlessHost host{HeadlessHost::Threading::Inline};
};

TEST_F(FileCopyTest, EmptyFileIsCreatedWithItsMode) {
    const auto src = tree.write("empty", "", 0640);
    auto job = makeJob(src);
    EXPECT_TRUE(copyFileData(src, tree.path("out"), *job));
    EXPECT_TRUE(tree.exists("out"));
    EXPECT_EQ(tree.read("out"), "");
    EXPECT_EQ(tree.mode("out"), 0640u);
    EXPECT_EQ(job->remainingItems(), 0);
    EXPECT_EQ(job->dataProcessed(), 0);
    EXPECT_TRUE(host.prompts().empty());
}

// Records the job's byte counter each time a chunk is read.
class CounterWatchingReader final : public IFileReader {
  public:
    CounterWatchingReader(const std::string& path, CopyHandler& job) : file_(path), job_(job) {}
    ssize_t read(void* buffer, std::size_t count) override {
        seen.push_back(job_.dataProcessed());
        return file_.read(buffer, count);
    }
    ssize_t readAt(void* buffer, std::size_t count, off_t offset) override {
        return file_.readAt(buffer, count, offset);
    }
    int close() override { return file_.close(); }
    std::vector<std::int64_t> seen;

  private:
    FileReader file_;
    CopyHandler& job_;
};

TEST_F(FileCopyTest, CountsBytesOncePerChunk) {
    const std::string data = test::TestTree::randomBytes(4097, 1);
    const auto src = tree.write("src", data);
    auto job = makeJob(src);
    CounterWatchingReader reader(src, *job);
    FileWriter writer(tree.path("out"));
    EXPECT_EQ(copyChunks(reader, writer, src, tree.path("out"), *job), ChunkCopyResult::Complete);
    EXPECT_EQ(reader.seen, (std::vector<std::int64_t>{0, 4096, 4097}));
    writer.close();
    EXPECT_EQ(tree.read("out"), data);
}

// Set-user-id and set-group-id stay with the owner and group, which are the copier's own
// here (or kept, as root).
TEST_F(FileCopyTest, KeepsPermissionBitsAndSetIdWithTheOwner) {
    struct Case {
        unsigned sourceMode;
        unsigned expected;
    };
    for (const Case c :
         {Case{0444, 0444}, Case{04755, 04755}, Case{02750, 02750}, Case{0600, 0600}}) {
        SCOPED_TRACE(c.sourceMode);
        const auto src = tree.write("src", "data", c.sourceMode);
        const auto dst = tree.path("out");
        ::unlink(dst.c_str());
        auto job = makeJob(src);
        EXPECT_TRUE(copyFileData(src, dst, *job));
        EXPECT_EQ(tree.read("out"), "data");
        EXPECT_EQ(tree.mode("out"), c.expected);
    }
}

TEST_F(FileCopyTest, PartialCopyIsTheOwnersAloneUntilComplete) {
    const auto src = tree.write("private", test::TestTree::randomBytes(3 * 4096, 8), 0640);
    auto job = makeJob(src);
    PauseSemaphore gate(1);
    job->setPause_semaphore(&gate);
    gate.acquire();  // paused: the worker stops at its first chunk, the file already open
    std::thread worker([&] { EXPECT_TRUE(copyFileData(src, tree.path("out"), *job)); });
    // The partial copy is a hidden temporary file; the final name waits for all of it.
    std::string partial;
    for (int spins = 0; partial.empty() && spins < 5000000; ++spins) {
        for (const auto& name : tree.listing("")) {
            if (name.rfind(".ferrymark-", 0) == 0) {
                partial = name;
            }
        }
        std::this_thread::yield();
    }
    if (partial.empty()) {
        gate.release();
        worker.join();
        FAIL() << "no temporary file appeared";
    }
    EXPECT_EQ(tree.mode(partial) & 077, 0u);
    EXPECT_FALSE(tree.exists("out"));
    gate.release();
    worker.join();
    EXPECT_EQ(tree.mode("out"), 0640u);
    job->setPause_semaphore(nullptr);
}

TEST_F(FileCopyTest, TruncatesAnExistingDestination) {
    const auto src = tree.write("src", "short");
    const auto dst = tree.write("out", std::string(10000, 'x'));
    auto job = makeJob(src);
    EXPECT_TRUE(copyFileData(src, dst, *job));
    EXPECT_EQ(tree.read("out"), "short");
}

TEST_F(FileCopyTest, NeverWritesThroughALinkAtTheDestination) {
    const auto src = tree.write("src", "data");
    tree.symlink("out", tree.path("elsewhere"));
    auto job = makeJob(src);
    EXPECT_TRUE(copyFileData(src, tree.path("out"), *job));
    // The finished copy takes the link's name; the link's target is never written.
    EXPECT_FALSE(tree.exists("elsewhere"));
    struct stat st {};
    ASSERT_EQ(::lstat(tree.path("out").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(tree.read("out"), "data");
}

TEST_F(FileCopyTest, SpecialFilesAreNotOpened) {
    const auto fifo = tree.path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    auto job = makeJob(fifo);
    // Reading a pipe with no writer would block forever.
    EXPECT_TRUE(copyFileData(fifo, tree.path("out"), *job));
    EXPECT_FALSE(tree.exists("out"));
    EXPECT_FALSE(job->sourceFullyTransferred(0));
    EXPECT_EQ(job->remainingItems(), 1);
}

TEST_F(FileCopyTest, MissingSourceIsPassedOverAndRecorded) {
    auto job = makeJob(tree.path("gone"));
    EXPECT_TRUE(copyFileData(tree.path("gone"), tree.path("out"), *job));
    EXPECT_FALSE(tree.exists("out"));
    EXPECT_TRUE(host.prompts().empty());
    EXPECT_FALSE(job->sourceFullyTransferred(0));
    ASSERT_FALSE(host.logLines().empty());
    EXPECT_NE(host.logLines().back().find(tree.path("gone")), std::string::npos);
}

// Fails the read after the first chunk.
class FailingReader final : public IFileReader {
  public:
    ssize_t read(void* buffer, std::size_t count) override {
        if (calls_++ > 0) {
            return -1;
        }
        std::memset(buffer, 'a', count);
        return static_cast<ssize_t>(count);
    }
    ssize_t readAt(void*, std::size_t, off_t) override { return -1; }
    int close() override { return 0; }

  private:
    int calls_ = 0;
};

TEST_F(FileCopyTest, ReadErrorRemovesThePartialFileAndAsks) {
    struct Case {
        std::int32_t answer;
        ChunkCopyResult expected;
        bool cancelled;
    };
    for (const Case c : {Case{0, ChunkCopyResult::Skipped, false},
                         Case{kAnswerStop, ChunkCopyResult::Cancelled, true}}) {
        SCOPED_TRACE(c.answer);
        HeadlessHost scripted{HeadlessHost::Threading::Inline};
        scripted.addAnswer(PromptKind::ReadError, PromptAnswer{c.answer, false});
        auto job = CopyHandler::initWithFiles({"/src/data.bin"}, scripted);
        FailingReader reader;
        FileWriter writer(tree.path("out"));
        EXPECT_EQ(copyChunks(reader, writer, "/src/data.bin", tree.path("out"), *job), c.expected);
        EXPECT_FALSE(tree.exists("out"));
        EXPECT_EQ(job->cancelled(), c.cancelled);
        ASSERT_EQ(scripted.prompts().size(), 1u);
        EXPECT_EQ(scripted.prompts()[0].message,
                  "Can not read “data.bin”. Click continue to skip.");
    }
}

// Writes at most 1000 bytes a call, and fails the second call once with nothing written, as
// a full disk does (or with another error).
class ShortWriter final : public IFileWriter {
  public:
    ssize_t write(const void* buffer, std::size_t count) override {
        if (++calls == 2) {
            errno = error;
            return -1;
        }
        const std::size_t n = std::min<std::size_t>(count, 1000);
        data.append(static_cast<const char*>(buffer), n);
        return static_cast<ssize_t>(n);
    }
    ssize_t writeAt(const void*, std::size_t, off_t) override { return -1; }
    int sync() override { return 0; }
    void close() override {}
    std::string data;
    int calls = 0;
    int error = ENOSPC;
};

TEST_F(FileCopyTest, ShortWritesFinishTheChunkAndAFailedWriteIsRetried) {
    const std::string data = test::TestTree::randomBytes(9000, 2);
    const auto src = tree.write("src", data);
    host.addAnswer(PromptKind::DiskFull, PromptAnswer{0, false});
    auto job = makeJob(src);
    FileReader reader(src);
    ShortWriter writer;
    EXPECT_EQ(copyChunks(reader, writer, src, tree.path("out"), *job), ChunkCopyResult::Complete);
    EXPECT_EQ(writer.data, data);
    ASSERT_EQ(host.prompts().size(), 1u);
    EXPECT_EQ(host.prompts()[0].message,
              "Operation paused as the disk is full. Free up some space and click continue to "
              "retry.");
    EXPECT_EQ(job->dataProcessed(), 9000);
}

// A write the disk refuses for another reason than room: its own prompt, naming the error,
// whose Retry writes the same chunk again, Skip drops the file and Stop the job.
TEST_F(FileCopyTest, DiskErrorOnWriteIsAskedAboutAsSuch) {
    struct Case {
        const char* name;
        int error;
        PromptAnswer answer;
        ChunkCopyResult result;
        NotTransferredReason listed;  // Other: nothing listed
    };
    const Case cases[] = {
        {"EIO, retry", EIO, {0, false}, ChunkCopyResult::Complete, NotTransferredReason::Other},
        {"EIO, skip",
         EIO,
         {Policy::Skip, false},
         ChunkCopyResult::WriteSkipped,
         NotTransferredReason::WriteError},
        {"EROFS, stop",
         EROFS,
         {Policy::Stop, false},
         ChunkCopyResult::Cancelled,
         NotTransferredReason::Other},
        {"ENODEV, skip",
         ENODEV,
         {Policy::Skip, false},
         ChunkCopyResult::WriteSkipped,
         NotTransferredReason::WriteError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessHost caseHost{HeadlessHost::Threading::Inline};
        caseHost.addAnswer(PromptKind::DiskError, c.answer);
        const std::string data = test::TestTree::randomBytes(9000, 2);
        const auto src = tree.write("src", data);
        auto job = CopyHandler::initWithFiles({src}, caseHost);
        FileReader reader(src);
        ShortWriter writer;
        writer.error = c.error;
        EXPECT_EQ(copyChunks(reader, writer, src, tree.path("out"), *job), c.result);
        ASSERT_EQ(caseHost.prompts().size(), 1u);
        EXPECT_EQ(caseHost.prompts()[0].kind, PromptKind::DiskError);
        EXPECT_EQ(caseHost.prompts()[0].message,
                  "The disk reported an error while saving “src”: " +
                      std::string(std::strerror(c.error)) +
                      ". Choose Retry to try again or Skip to leave it out, and click continue.");
        if (c.result == ChunkCopyResult::Complete) {
            EXPECT_EQ(writer.data, data);
        }
        const auto listed = job->report().entries();
        if (c.listed == NotTransferredReason::Other) {
            EXPECT_TRUE(listed.empty());
        } else {
            ASSERT_EQ(listed.size(), 1u);
            EXPECT_EQ(listed[0].reason, c.listed);
            EXPECT_EQ(listed[0].detail, std::strerror(c.error));
        }
        EXPECT_EQ(job->cancelled(), c.result == ChunkCopyResult::Cancelled);
    }
}

TEST_F(FileCopyTest, CancelWhilePausedRemovesThePartialFile) {
    const auto src = tree.write("src", test::TestTree::randomBytes(3 * 4096, 3));
    auto job = makeJob(src);
    PauseSemaphore gate(1);
    job->setPause_semaphore(&gate);
    job->setCancelled(true);  // as a stop during a pause leaves it: flag set, gate free
    EXPECT_FALSE(copyFileData(src, tree.path("out"), *job));
    EXPECT_FALSE(tree.exists("out"));
    EXPECT_EQ(job->remainingItems(), 1);
    EXPECT_TRUE(gate.try_acquire());  // the gate was given back
    job->setPause_semaphore(nullptr);
}

TEST_F(FileCopyTest, UnreadableSourceMakesNoDestinationAndNoPrompt) {
    if (auto why = test::UnprivilegedChild::unavailableReason(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const auto src = tree.write("secret", "data", 0600);
    const auto outDir = tree.mkdir("out", 0777);
    const int result = test::UnprivilegedChild::run([&] {
        HeadlessHost child{HeadlessHost::Threading::Inline};
        auto job = CopyHandler::initWithFiles({src}, child);
        const bool goOn = copyFileData(src, outDir + "/secret", *job);
        return (goOn ? 1 : 0) | (child.prompts().empty() ? 2 : 0) |
               (job->sourceFullyTransferred(0) ? 0 : 4);
    });
    EXPECT_EQ(result, 1 | 2 | 4);
    EXPECT_FALSE(tree.exists("out/secret"));
}

TEST_F(FileCopyTest, UnwritableDestinationAsksAndObeys) {
    if (auto why = test::UnprivilegedChild::unavailableReason(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const auto src = tree.write("data", "data", 0644);
    const auto outDir = tree.mkdir("locked", 0755);  // root's, not writable for the child
    for (const std::int32_t answer : {0, kAnswerStop}) {
        SCOPED_TRACE(answer);
        const int result = test::UnprivilegedChild::run([&] {
            HeadlessHost child{HeadlessHost::Threading::Inline};
            child.addAnswer(PromptKind::Destination, PromptAnswer{answer, false});
            auto job = CopyHandler::initWithFiles({src}, child);
            const bool goOn = copyFileData(src, outDir + "/data", *job);
            const auto prompts = child.prompts();
            const bool asked = prompts.size() == 1 &&
                               prompts[0].message ==
                                   "Can not copy to specified location, permission denied. Click "
                                   "continue to skip.";
            return (goOn ? 1 : 0) | (asked ? 2 : 0) | (job->cancelled() ? 4 : 0);
        });
        EXPECT_EQ(result, answer == kAnswerStop ? (2 | 4) : (1 | 2));
        EXPECT_FALSE(tree.exists("locked/data"));
    }
}

}  // namespace
}  // namespace ferrymark
