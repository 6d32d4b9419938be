#include "engine/UniqueTargetPath.h"

#include <gtest/gtest.h>

#include <vector>

#include "TestTree.h"

namespace ferrymark {
namespace {

struct NameCase {
    std::string item;
    std::vector<std::string> present;  // besides the item itself
    bool itemIsFolder;
    std::string expected;
};

class UniqueTargetPathTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(UniqueTargetPathTest, PicksFirstFreeName) {
    const NameCase& c = GetParam();
    test::TestTree tree;
    if (c.itemIsFolder) {
        tree.mkdir("f/" + c.item);
    } else {
        tree.write("f/" + c.item, "x");
    }
    for (const auto& name : c.present) {
        tree.write("f/" + name, "y");
    }
    EXPECT_EQ(uniqueTargetPath(tree.path("f/" + c.item)), tree.path("f/" + c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Names, UniqueTargetPathTest,
    ::testing::Values(NameCase{"report.txt", {}, false, "report copy.txt"},
                      NameCase{"report.txt", {"report copy.txt"}, false, "report copy 2.txt"},
                      NameCase{"report.txt",
                               {"report copy.txt", "report copy 2.txt"},
                               false,
                               "report copy 3.txt"},
                      NameCase{"report copy.txt", {}, false, "report copy 2.txt"},
                      NameCase{"report copy 7.txt", {}, false, "report copy.txt"},
                      NameCase{"my copy of notes.txt", {}, false, "my copy.txt"},
                      NameCase{"archive.tar.gz", {}, false, "archive.tar copy.gz"},
                      NameCase{".profile", {}, false, " copy.profile"},
                      NameCase{"Photos", {}, true, "Photos copy"},
                      NameCase{"Shots.album", {}, true, "Shots copy.album"},
                      NameCase{"Report COPY.txt", {}, false, "Report COPY copy.txt"},
                      // Numbers are never carried over and never start at 1.
                      NameCase{"a copy 9", {"a copy", "a copy 2"}, false, "a copy 3"},
                      NameCase{"no-extension", {}, false, "no-extension copy"},
                      NameCase{"ünï cödé.txt", {"ünï cödé copy.txt"}, false, "ünï cödé copy 2.txt"},
                      NameCase{"trailing.", {}, false, "trailing copy."}));

TEST(UniqueTargetPathLinks, DanglingLinkHoldsTheName) {
    test::TestTree tree;
    tree.write("f/report.txt", "x");
    tree.symlink("f/report copy.txt", tree.path("nowhere"));
    EXPECT_EQ(uniqueTargetPath(tree.path("f/report.txt")), tree.path("f/report copy 2.txt"));
}

TEST(UniqueTargetPathLinks, SameFolderAlways) {
    test::TestTree tree;
    tree.write("f/a.txt", "x");
    const std::string result = uniqueTargetPath(tree.path("f/a.txt"));
    EXPECT_EQ(result.substr(0, tree.path("f/").size()), tree.path("f/"));
    EXPECT_EQ(result.find('/', tree.path("f/").size()), std::string::npos);
}

}  // namespace
}  // namespace ferrymark
