// Two jobs at one destination path: the file a job finished must survive whatever the
// other job does with the same path afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestTree.h"
#include "engine/CopyHandler.h"
#include "tools/HeadlessHost.h"

namespace ferrymark::test {
namespace {

using namespace std::chrono_literals;

bool waitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A is paused inside the file (written under a temporary name); B, a Move of the same file
// into the same folder, finishes first and removes its source. Stopping A then takes A's cancel
// path, which removes the partial file by its path: the path now holds B's finished copy,
// the only copy left.
TEST(ConcurrentJobs, StoppingAJobKeepsTheFileAnotherJobFinishedAtItsPath) {
    TestTree tree;
    const std::string content = TestTree::randomBytes(8 << 20, 5);
    const std::string source = tree.write("src/big.bin", content);
    const std::string target = tree.mkdir("dst");

    HeadlessHost host;
    host.addAnswer(PromptKind::FileConflict, PromptAnswer{3, false});  // Replace
    auto first = CopyHandler::initWithFiles({source}, host);
    auto second = CopyHandler::initWithFiles({source}, host);
    ASSERT_TRUE(first && second);

    std::thread firstWorker([&] { first->copyFilesTo(target); });
    ASSERT_TRUE(waitFor([&] { return first->pause_semaphore() != nullptr; }));
    host.runOnUiThread([&] { first->togglePause(); });
    ASSERT_TRUE(waitFor([&] { return !tree.listing("dst").empty(); }));
    ASSERT_FALSE(tree.exists("dst/big.bin")) << "a partial file under its final name";
    ASSERT_TRUE(first->paused());
    ASSERT_LT(first->dataProcessed(), static_cast<std::int64_t>(content.size()))
        << "the first job finished before it could be paused";

    std::thread secondWorker([&] { second->moveFilesTo(target); });
    secondWorker.join();
    ASSERT_FALSE(second->cancelled());
    ASSERT_EQ(second->remainingItems(), 0);
    ASSERT_FALSE(tree.exists("src/big.bin")) << "the move kept its source";
    ASSERT_EQ(tree.read("dst/big.bin"), content) << "the move's copy is not whole";

    host.runOnUiThread([&] { first->cancelTask(); });
    firstWorker.join();

    ASSERT_TRUE(tree.exists("dst/big.bin"))
        << "the stopped job removed the file the move had finished: the data is gone";
    EXPECT_EQ(tree.read("dst/big.bin"), content);
}

}  // namespace
}  // namespace ferrymark::test
