#include "platform/LocalPath.h"

#include <gtest/gtest.h>

namespace ferrymark {
namespace {

TEST(LocalPathTest, FileUris) {
    struct Case {
        std::string_view uri;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {"file:///a/b", "/a/b"},
        {"file://localhost/x", "/x"},
        {"FILE://LocalHost/x", "/x"},
        {"file:/x", "/x"},
        {"file:///", "/"},
        {"file:///a%20b", "/a b"},
        {"file:///%C3%BC", "/\xC3\xBC"},
        {"file:///%ff%FE.bin", "/\xFF\xFE.bin"},
        {"file:///a%23b&c+d", "/a#b&c+d"},
        {"file:///a%2Fb", "/a/b"},
        {"file://otherhost/x", std::nullopt},
        {"file://localhost.example/x", std::nullopt},
        {"file://localhostx/x", std::nullopt},
        {"file://", std::nullopt},
        {"file://localhost", std::nullopt},
        {"file:x", std::nullopt},
        {"file:///a%2", std::nullopt},
        {"file:///a%zz", std::nullopt},
        {"file:///a%00b", std::nullopt},
        {"file:///a#fragment", std::nullopt},
        {"sftp://host/x", std::nullopt},
        {"smb://server/share/x", std::nullopt},
        {"trash:///x", std::nullopt},
        {"/plain/path", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LocalPath::fromFileUri(c.uri), c.path) << c.uri;
    }
}

TEST(LocalPathTest, DisplayNames) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"/a/b", "b"}, {"/a/b/", "b"}, {"/a", "a"}, {"/", "/"}, {"//", "/"}, {"/a b/ü", "ü"},
    };
    for (const auto& [path, name] : cases) {
        EXPECT_EQ(LocalPath::displayName(path), name) << path;
    }
}

}  // namespace
}  // namespace ferrymark
