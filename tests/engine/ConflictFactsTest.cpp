// The facts a conflict prompt compares: which item is marked newer and larger, and what a
// folder count says when it ends early.
#include <gtest/gtest.h>

#include <string>

#include "TestTree.h"
#include "engine/ConflictFacts.h"
#include "engine/ItemComparison.h"

namespace ferrymark {
namespace {

using Kind = ItemFacts::Kind;
using Count = ItemFacts::Count;
using Side = ItemComparison::Side;

ItemFacts file(std::int64_t size, std::int64_t modified) {
    return {Kind::File, modified, size, 0, Count::Exact};
}
ItemFacts folder(std::int64_t bytes, Count count, std::int64_t modified = 100) {
    return {Kind::Folder, modified, bytes, 1, count};
}

struct MarkCase {
    const char* name;
    ItemFacts existing;
    ItemFacts incoming;
    Side newer;
    Side larger;
    bool identical;
};

TEST(ItemComparison, MarksOnlyWhatTheFactsProve) {
    const MarkCase cases[] = {
        {"newer and smaller", file(3, 200), file(10, 100), Side::Existing, Side::Incoming, false},
        {"same size and time", file(5, 100), file(5, 100), Side::Neither, Side::Neither, true},
        {"same size, other time", file(5, 100), file(5, 101), Side::Incoming, Side::Neither, false},
        // Bytes counted so far are a lower bound: larger only when they already exceed an
        // exact size.
        {"cut short, already more", folder(50, Count::CutShort), folder(40, Count::Exact),
         Side::Neither, Side::Existing, false},
        {"cut short, not yet more", folder(30, Count::CutShort), folder(40, Count::Exact),
         Side::Neither, Side::Neither, false},
        {"both still counting", folder(30, Count::Counting), folder(40, Count::Counting),
         Side::Neither, Side::Neither, false},
        {"part unreadable", folder(30, Count::Exact), folder(10, Count::Partial), Side::Neither,
         Side::Neither, false},
        {"one side gone", ItemFacts{}, file(10, 100), Side::Neither, Side::Neither, false},
        // Two folders of the same size and time may hold different things.
        {"folders alike", folder(40, Count::Exact), folder(40, Count::Exact), Side::Neither,
         Side::Neither, false},
    };
    for (const MarkCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ItemComparison result = ItemComparison::of(c.existing, c.incoming);
        EXPECT_EQ(result.newer, c.newer);
        EXPECT_EQ(result.larger, c.larger);
        EXPECT_EQ(result.identical, c.identical);
    }
}

TEST(ConflictFacts, CountsFoldersWithinTheItemLimit) {
    test::TestTree tree;
    for (int i = 0; i < 5; ++i) {
        tree.write("big/sub/f" + std::to_string(i), "12345");
    }
    tree.write("small/f", "1");
    struct Limit {
        std::int64_t items;
        Count count;
        std::int64_t counted;
    };
    // 6 items below "big": the folder "sub" and its 5 files.
    for (const Limit& limit :
         {Limit{100, Count::Exact, 6}, Limit{6, Count::Exact, 6}, Limit{5, Count::CutShort, 5}}) {
        SCOPED_TRACE(limit.items);
        ConflictFacts facts(tree.path("big"), tree.path("small"),
                            {std::chrono::milliseconds(60'000), limit.items});
        facts.waitForCounts();
        EXPECT_EQ(facts.existing().count, limit.count);
        EXPECT_EQ(facts.existing().items, limit.counted);
        EXPECT_EQ(facts.incoming().items, 1);
        EXPECT_EQ(facts.incoming().size, 1);
    }
}

}  // namespace
}  // namespace ferrymark
