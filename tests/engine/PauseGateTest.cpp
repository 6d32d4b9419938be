#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <future>
#include <random>
#include <thread>

#include "TestTree.h"
#include "TransferRun.h"
#include "engine/FileCopy.h"
#include "engine/FileReader.h"

namespace ferrymark {
namespace {

using namespace std::chrono_literals;

// Counts chunks; optionally fails one write after holding it back until told to go on.
class WatchedWriter final : public IFileWriter {
  public:
    ssize_t write(const void*, std::size_t count) override {
        const int n = ++calls;
        if (n == failOn) {
            writing.set_value();
            release.get_future().wait();
            errno = ENOSPC;
            return -1;
        }
        // Hold the gate a while, as a slow disk does, so a pauser is always waiting on it.
        const auto until = std::chrono::steady_clock::now() + chunkTime;
        while (std::chrono::steady_clock::now() < until) {
        }
        ++chunks;
        if (job && job->gateRequested()) {
            ++afterRequest;  // begun while a pause or stop was waiting for the gate
        }
        return static_cast<ssize_t>(count);
    }
    ssize_t writeAt(const void*, std::size_t, off_t) override { return -1; }
    int sync() override { return 0; }
    void close() override {}

    std::atomic<int> calls{0};
    std::atomic<int> chunks{0};
    std::atomic<int> afterRequest{0};
    const CopyHandler* job = nullptr;
    int failOn = -1;
    std::chrono::microseconds chunkTime{0};
    std::promise<void> writing;
    std::promise<void> release;
};

// The worker holds the gate while its write fails; a pause pressed just then must not leave
// the UI thread waiting for the gate while the worker waits for the UI thread's prompt.
TEST(PauseGateTest, PauseDuringAFailedWriteDoesNotDeadlock) {
    test::TestTree tree;
    const auto src = tree.write("src", test::TestTree::randomBytes(5 * 4096, 9));
    test::TransferRun run;
    CopyHandler& job = run.prepare({src});
    PauseSemaphore gate(1);
    job.setPause_semaphore(&gate);
    run.host.addAnswer(PromptKind::DiskFull, PromptAnswer{0, false});

    WatchedWriter writer;
    writer.failOn = 2;
    auto result = std::async(std::launch::async, [&] {
        FileReader reader(src);
        return copyChunks(reader, writer, src, tree.path("out"), job);
    });
    writer.writing.get_future().wait();
    run.host.post([&] { job.togglePause(); });  // waits for the gate on the UI thread
    std::this_thread::sleep_for(50ms);
    writer.release.set_value();

    // The prompt is answered, then the worker stops at the pause.
    while (run.host.prompts().empty() || !job.paused()) {
        std::this_thread::sleep_for(1ms);
    }
    const int chunksWhilePaused = writer.chunks.load();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(writer.chunks.load(), chunksWhilePaused);
    run.host.post([&] { job.togglePause(); });
    ASSERT_EQ(result.wait_for(30s), std::future_status::ready) << "deadlock";
    EXPECT_EQ(result.get(), ChunkCopyResult::Complete);
    EXPECT_EQ(writer.chunks.load(), 5);
    job.setPause_semaphore(nullptr);
}

// A pause or stop takes effect after at most one more chunk, however eagerly the worker
// takes the gate back.
TEST(PauseGateTest, RequestsWaitForAtMostOneChunk) {
    test::TestTree tree;
    const auto src = tree.write("src", test::TestTree::randomBytes(16 << 20, 4));
    test::TransferRun run;
    CopyHandler& job = run.prepare({src});
    PauseSemaphore gate(1);
    job.setPause_semaphore(&gate);
    WatchedWriter writer;
    writer.chunkTime = 50us;
    writer.job = &job;
    auto result = std::async(std::launch::async, [&] {
        FileReader reader(src);
        return copyChunks(reader, writer, src, tree.path("out"), job);
    });
    std::mt19937 random(11);
    int worst = 0;
    for (int round = 0; round < 100 && result.wait_for(0s) != std::future_status::ready; ++round) {
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        std::promise<int> extra;
        run.host.post([&] {
            writer.afterRequest = 0;
            job.togglePause();
            extra.set_value(writer.afterRequest.load());
        });
        const int written = extra.get_future().get();
        worst = std::max(worst, written);
        const int paused = writer.chunks.load();
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 500));
        EXPECT_EQ(writer.chunks.load(), paused) << "a chunk was written while paused";
        run.host.post([&] { job.togglePause(); });
    }
    run.host.post([&] { job.cancelTask(); });
    ASSERT_EQ(result.wait_for(60s), std::future_status::ready);
    EXPECT_LE(worst, 1);
    job.setPause_semaphore(nullptr);
}

// Pause, resume and stop at random moments while a tree copies: every run ends, either
// with a byte-identical copy or a clean stop with no partial file.
TEST(PauseGateTest, RandomPauseResumeAndStopNeverHangOrCorrupt) {
    std::mt19937 random(2024);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        test::TestTree tree;
        std::vector<std::string> contents;
        for (int i = 0; i < 24; ++i) {
            contents.push_back(test::TestTree::randomBytes(random() % (256 << 10), random()));
            tree.write("src/d" + std::to_string(i % 4) + "/f" + std::to_string(i), contents.back());
        }
        tree.mkdir("dst");
        test::TransferRun run;
        run.host.setHeartbeatInterval(5ms);
        CopyHandler& job = run.prepare({tree.path("src")});
        auto done = std::async(std::launch::async, [&] { job.copyFilesTo(tree.path("dst")); });
        const bool stop = random() % 2 == 0;
        for (int action = 0; action < 20 && done.wait_for(0s) != std::future_status::ready;
             ++action) {
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
            run.host.post([&] { job.togglePause(); });
        }
        if (stop) {
            run.host.post([&] { job.cancelTask(); });
        } else {
            run.host.post([&] {
                if (job.paused()) {
                    job.togglePause();
                }
            });
        }
        ASSERT_EQ(done.wait_for(60s), std::future_status::ready) << "the job hung";
        for (int i = 0; i < 24; ++i) {
            const std::string rel = "dst/src/d" + std::to_string(i % 4) + "/f" + std::to_string(i);
            if (!job.cancelled() || tree.exists(rel)) {
                EXPECT_EQ(tree.read(rel), contents[i]) << rel;
            }
        }
    }
}

}  // namespace
}  // namespace ferrymark
