#include "platform/FileManagerLocation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace ferrymark {
namespace {

namespace fs = std::filesystem;
using Kind = FileManagers::Kind;

// Real folders, since every location found must exist as a folder.
class FileManagerLocationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "fm-location-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        for (const char* dir : {"src", "a b", "x - y", "home", "p/docs", "q/docs"}) {
            fs::create_directories(root_ / dir);
        }
        std::ofstream(root_ / "file.txt") << "x";
        fs::create_directory_symlink(root_ / "src", root_ / "link");
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string path(const char* relative) const { return (root_ / relative).string(); }
    std::string uri(const char* relative) const { return "file://" + path(relative); }

    fs::path root_;
};

TEST_F(FileManagerLocationTest, WindowTitles) {
    const std::string dash = " \xE2\x80\x94 ";
    struct Case {
        Kind kind;
        std::string title;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {Kind::Thunar, path("src") + " - Thunar", path("src")},
        {Kind::Thunar, "/ - Thunar", "/"},
        {Kind::Thunar, path("x - y") + " - Thunar", path("x - y")},
        {Kind::Thunar, path("link") + " - Thunar", path("link")},
        {Kind::Thunar, "src - Thunar", std::nullopt},
        {Kind::Thunar, path("missing") + " - Thunar", std::nullopt},
        {Kind::Thunar, path("file.txt") + " - Thunar", std::nullopt},
        {Kind::Thunar, path("src"), std::nullopt},
        {Kind::Dolphin, path("a b") + dash + "Dolphin", path("a b")},
        {Kind::Dolphin, path("a b") + " - Dolphin", std::nullopt},
        {Kind::Dolphin, "Trash" + dash + "Dolphin", std::nullopt},
        {Kind::Nemo, "src - " + path("src"), path("src")},
        {Kind::Nemo, "x - y - " + path("x - y"), path("x - y")},
        {Kind::Nemo, "File System - /", "/"},
        {Kind::Nemo, "src", std::nullopt},
        {Kind::Nemo, "missing - " + path("missing"), std::nullopt},
        {Kind::Caja, path("src"), std::nullopt},
        {Kind::PcmanfmQt, path("src"), std::nullopt},
        {Kind::Nautilus, "src", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const InsertionLocation location = FileManagerLocation::fromTitle(c.kind, c.title);
        EXPECT_EQ(location.path, c.path);
        // Without a location the caller logs why.
        EXPECT_EQ(location.whyNot.empty(), c.path.has_value()) << location.whyNot;
    }
}

TEST_F(FileManagerLocationTest, NautilusTabs) {
    using Uris = std::vector<std::string>;
    const std::string home = path("home");
    struct Case {
        const char* what;
        Uris tabs;
        std::string title;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {"one tab, whatever the title", {uri("src")}, "anything", path("src")},
        {"one tab, localhost form", {"file://localhost" + path("src")}, "src", path("src")},
        {"one tab in the trash", {"trash:///"}, "Trash", std::nullopt},
        {"one tab, folder gone", {uri("missing")}, "missing", std::nullopt},
        {"home by its display name", {uri("src"), uri("home")}, "Home", home},
        {"folder by its name", {uri("home"), uri("src")}, "src", path("src")},
        {"escaped name", {uri("src"), "file://" + path("") + "a%20b"}, "a b", path("a b")},
        {"root", {uri("src"), "file:///"}, "/", "/"},
        {"same name, two folders", {uri("p/docs"), uri("q/docs")}, "docs", std::nullopt},
        {"same folder twice", {uri("src"), uri("src")}, "src", path("src")},
        {"active tab is not a folder", {uri("src"), "trash:///"}, "Trash", std::nullopt},
        {"title matches no tab", {uri("src"), uri("p/docs")}, "other", std::nullopt},
        {"no tabs", {}, "src", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const InsertionLocation location =
            FileManagerLocation::fromNautilusTabs(c.title, c.tabs, home);
        EXPECT_EQ(location.path, c.path);
        EXPECT_EQ(location.whyNot.empty(), c.path.has_value()) << location.whyNot;
    }
}

TEST(FileManagerLocationNames, NautilusDisplayNames) {
    EXPECT_EQ(FileManagerLocation::nautilusDisplayName("/home/u", "/home/u/"), "Home");
    EXPECT_EQ(FileManagerLocation::nautilusDisplayName("/home/u/x", "/home/u"), "x");
    EXPECT_EQ(FileManagerLocation::nautilusDisplayName("/", "/home/u"), "/");
    EXPECT_TRUE(FileManagerLocation::isLoadingTitle("Loading\xE2\x80\xA6"));
    EXPECT_FALSE(FileManagerLocation::isLoadingTitle("Loading"));
}

TEST(FileManagerLocationNames, WindowClassesMatchWithoutCase) {
    EXPECT_EQ(FileManagers::fromWindowClass("ORG.GNOME.NAUTILUS"), Kind::Nautilus);
    EXPECT_EQ(FileManagers::fromWindowClass("PCManFM-Qt"), Kind::PcmanfmQt);
    EXPECT_EQ(FileManagers::fromWindowClass("Nautilus"), std::nullopt);
    EXPECT_EQ(FileManagers::fromWindowClass("pcmanfm"), std::nullopt);
}

}  // namespace
}  // namespace ferrymark
