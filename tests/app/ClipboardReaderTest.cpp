#include "app/ClipboardReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace ferrymark {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

// Targets offered by a stand-in clipboard owner; records what was asked.
struct Offer {
    std::map<QString, QByteArray> targets;
    std::vector<QString> asked;

    ClipboardReader::TargetData accessor() {
        return [this](const QString& target) -> std::optional<QByteArray> {
            asked.push_back(target);
            const auto it = targets.find(target);
            if (it == targets.end()) {
                return std::nullopt;
            }
            return it->second;
        };
    }
};

QByteArray bytes(std::string_view text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A captured clipboard: TARGETS.txt names the targets, <target with / as _>.bin holds each.
Offer loadCapture(const fs::path& folder) {
    Offer offer;
    std::istringstream names(readFile(folder / "TARGETS.txt"));
    for (std::string name; std::getline(names, name);) {
        std::string file = name;
        std::replace(file.begin(), file.end(), '/', '_');
        const fs::path data = folder / (file + ".bin");
        if (fs::exists(data)) {
            offer.targets[QString::fromStdString(name)] = bytes(readFile(data));
        }
    }
    return offer;
}

TEST(ClipboardReaderTest, DecodesEveryCapturedFileManagerClipboard) {
    const fs::path root = FERRYMARK_CLIPBOARD_FIXTURES;
    if (!fs::is_directory(root)) {
        GTEST_SKIP() << "clipboard captures not found at " << root;
    }
    // Sorted: each file manager lists them in its own order.
    Paths expected = {"/srv/sample/src/a.txt", "/srv/sample/src/b with space.txt",
                      "/srv/sample/src/\xC3\xBC-\xC3\xB1 #%&.txt", "/srv/sample/src/sub dir"};
    std::sort(expected.begin(), expected.end());
    const std::vector<QString> lossy = {
        "text/plain", "text/plain;charset=utf-8", "UTF8_STRING", "STRING", "TEXT", "COMPOUND_TEXT"};
    int captures = 0;
    for (const auto& entry : fs::directory_iterator(root)) {
        if (!entry.is_directory()) {
            continue;
        }
        ++captures;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        Offer offer = loadCapture(entry.path());

        const CopiedFiles files = ClipboardReader::decode(offer.accessor());

        Paths sorted = files.paths;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, expected);
        EXPECT_EQ(files.cut, name.ends_with("-cut"));
        // Clipboard order is the owner's order, which its uri-list shows too.
        EXPECT_EQ(files.paths,
                  ClipboardReader::decodeUriList(offer.targets.at("text/uri-list").toStdString()));
        for (const QString& target : lossy) {
            EXPECT_EQ(std::count(offer.asked.begin(), offer.asked.end(), target), 0)
                << target.toStdString();
        }
        for (const QString& target : offer.asked) {
            EXPECT_EQ(std::count(offer.asked.begin(), offer.asked.end(), target), 1)
                << target.toStdString() << " asked more than once";
        }
    }
    EXPECT_EQ(captures, 12);
}

TEST(ClipboardReaderTest, CopiedFilesBodies) {
    struct Case {
        std::string_view body;
        std::optional<Paths> paths;
        bool cut;
    };
    const Case cases[] = {
        {"copy\nfile:///a\nfile:///b", Paths{"/a", "/b"}, false},
        {"cut\nfile:///a\n", Paths{"/a"}, true},
        {"cut\r\nfile:///a\r\nfile:///b\r\n", Paths{"/a", "/b"}, true},
        {"copy\n\nfile:///a\n\n", Paths{"/a"}, false},
        {"copy\nfile:///a\nsftp://h/b\nfile://localhost/c", Paths{"/a", "/c"}, false},
        {"copy", Paths{}, false},
        {"move\nfile:///a", std::nullopt, false},
        {"file:///a\nfile:///b", std::nullopt, false},
        {"", std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.body));
        const auto files = ClipboardReader::decodeCopiedFiles(c.body);
        ASSERT_EQ(files.has_value(), c.paths.has_value());
        if (files) {
            EXPECT_EQ(files->paths, *c.paths);
            EXPECT_EQ(files->cut, c.cut);
        }
    }
}

TEST(ClipboardReaderTest, UriListSkipsBlankCommentAndForeignLines) {
    EXPECT_EQ(ClipboardReader::decodeUriList(
                  "# a comment\r\n\r\nfile:///a\r\nhttp://example.org/x\r\n  \r\nfile:///b"),
              (Paths{"/a", "/b"}));
    EXPECT_EQ(ClipboardReader::decodeUriList("file:///a\nfile:///b\n"), (Paths{"/a", "/b"}));
    EXPECT_TRUE(ClipboardReader::decodeUriList("").empty());
}

TEST(ClipboardReaderTest, TargetPrecedence) {
    struct Case {
        const char* what;
        std::map<QString, QByteArray> targets;
        Paths paths;
        bool cut;
    };
    const Case cases[] = {
        {"gnome before uri-list and the KDE mark",
         {{"x-special/gnome-copied-files", "copy\nfile:///g"},
          {"text/uri-list", "file:///u\r\n"},
          {"application/x-kde-cutselection", "1"}},
         {"/g"},
         false},
        {"gnome before mate",
         {{"x-special/gnome-copied-files", "cut\nfile:///g"},
          {"x-special/mate-copied-files", "copy\nfile:///m"}},
         {"/g"},
         true},
        {"a malformed gnome body falls through",
         {{"x-special/gnome-copied-files", "file:///g"},
          {"x-special/mate-copied-files", "cut\nfile:///m"}},
         {"/m"},
         true},
        {"uri-list with the KDE cut mark",
         {{"text/uri-list", "file:///u\r\n"}, {"application/x-kde-cutselection", "1"}},
         {"/u"},
         true},
        {"uri-list with a NUL-terminated KDE cut mark",
         {{"text/uri-list", "file:///u\r\n"},
          {"application/x-kde-cutselection", QByteArray("1\0", 2)}},
         {"/u"},
         true},
        {"uri-list with a KDE mark of 0",
         {{"text/uri-list", "file:///u\r\n"}, {"application/x-kde-cutselection", "0"}},
         {"/u"},
         false},
        {"plain text only",
         {{"text/plain", "/srv/a.txt"}, {"UTF8_STRING", "/srv/a.txt"}},
         {},
         false},
        {"remote files only", {{"text/uri-list", "sftp://h/a\r\n"}}, {}, false},
        {"nothing offered", {}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Offer offer{c.targets, {}};
        const CopiedFiles files = ClipboardReader::decode(offer.accessor());
        EXPECT_EQ(files.paths, c.paths);
        EXPECT_EQ(files.cut, c.cut);
        EXPECT_EQ(std::count(offer.asked.begin(), offer.asked.end(), "text/plain"), 0);
        EXPECT_EQ(std::count(offer.asked.begin(), offer.asked.end(), "UTF8_STRING"), 0);
    }
}

}  // namespace
}  // namespace ferrymark
