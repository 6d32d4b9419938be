#include "engine/CopyLedger.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "TestTree.h"
#include "engine/FolderHandle.h"

namespace ferrymark {
namespace {

// Memory stays flat in the size of the job: past the names the report can keep, copies
// are counted, with the sources they belong to; copies kept open for their check come in
// batches.
TEST(CopyLedgerTest, NamesAreBoundedAndBatchesEndInTime) {
    test::TestTree tree;
    const FolderHandle folder = FolderHandle::open(tree.root());
    CopyLedger ledger;
    ledger.noteFolder(folder);
    ledger.noteFolder(folder);  // one handle per file system
    ASSERT_EQ(ledger.fileSystems().size(), 1u);

    for (std::size_t i = 0; i < CopyLedger::kListed + 3; ++i) {
        CopyLedger::Copy copy;
        copy.device = folder.device();
        copy.sourceIndex = i < CopyLedger::kListed + 1 ? 0 : 1;
        copy.source = "s" + std::to_string(i);
        ledger.noteCopy(std::move(copy));
        EXPECT_FALSE(ledger.batchFull());  // nothing kept open: flushed once, at the end
    }
    EXPECT_EQ(ledger.pending().size(), CopyLedger::kListed);
    EXPECT_EQ(ledger.fileSystems()[0].unlisted, 3);
    EXPECT_EQ(ledger.fileSystems()[0].unlistedSources, (std::vector<std::size_t>{0, 1}));
    ledger.clearPending();
    EXPECT_TRUE(ledger.pending().empty());
    EXPECT_EQ(ledger.fileSystems()[0].unlisted, 0);

    const std::string path = tree.write("copy", "bytes");
    for (std::size_t i = 0; i < CopyLedger::kBatchFiles; ++i) {
        EXPECT_FALSE(ledger.batchFull());
        CopyLedger::Copy copy;
        copy.device = folder.device();
        copy.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        copy.size = 5;
        ledger.noteCopy(std::move(copy));
    }
    EXPECT_TRUE(ledger.batchFull());
    ledger.clearPending();  // closes what it kept open
    EXPECT_FALSE(ledger.batchFull());
}

}  // namespace
}  // namespace ferrymark
