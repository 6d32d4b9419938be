#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>

#include "app/CommandLine.h"
#include "platform/FolderArgument.h"

namespace ferrymark {
namespace {
namespace fs = std::filesystem;

TEST(CommandLineTest, OptionsAndFolders) {
    using A = CommandLine::Action;
    struct Case {
        QList<QByteArray> arguments;
        A action;
        QByteArray folder;
    };
    const Case cases[] = {
        {{}, A::Run, {}},
        {{"--paste"}, A::Paste, {}},
        {{"--move"}, A::Move, {}},
        {{"--paste", "/a b"}, A::Paste, "/a b"},
        {{"--paste", "rel/x"}, A::Paste, "/work/dir/rel/x"},  // from the caller's folder
        // Names that are not valid UTF-8 keep their bytes, also after "--" and made absolute.
        {{"--paste", "/tmp/x/\xff\xfe"}, A::Paste, "/tmp/x/\xff\xfe"},
        {{"--move", "--", "-\xe9t\xe9"}, A::Move, "/work/dir/-\xe9t\xe9"},
        {{"\xff", "--paste"}, A::Paste, "/work/dir/\xff"},
        {{"--move", "file:///a%20b"}, A::Move, "file:///a%20b"},
        {{"--paste", "smb://host/share"}, A::Paste, "smb://host/share"},
        {{"--help"}, A::Help, {}},
        {{"-v"}, A::Version, {}},
        {{"--paste", "--move"}, A::Error, {}},
        {{"--paste", "a", "b"}, A::Error, {}},
        {{"folder"}, A::Error, {}},
        {{"--frobnicate"}, A::Error, {}},
    };
    for (const Case& c : cases) {
        const auto line =
            CommandLine::parse(QList<QByteArray>{"ferrymark"} + c.arguments, "/work/dir");
        const std::string shown = c.arguments.join(' ').toStdString();
        EXPECT_EQ(line.action, c.action) << shown;
        EXPECT_EQ(line.folder, c.folder) << shown;
        if (c.action == A::Error || c.action == A::Help || c.action == A::Version) {
            EXPECT_FALSE(line.text.isEmpty());
        }
    }
}

TEST(FolderArgumentTest, PathsFileUrisAndRemoteLocations) {
    const fs::path dir = fs::temp_directory_path() / "ferrymark folder-arg";
    fs::create_directories(dir / "sub");
    const std::string d = dir.string();
    // A remote URI the desktop mounts (GVfs's FUSE path) and one it does not.
    const FolderArgument::LocalPathOf mounts =
        [&](const std::string& uri) -> std::optional<std::string> {
        if (uri == "sftp://host/srv") {
            return d + "/sub";
        }
        return std::nullopt;
    };
    struct Case {
        std::string argument;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {d, d},
        {"file://" + fs::path(d).parent_path().string() + "/ferrymark%20folder-arg/sub",
         d + "/sub"},
        {"file://localhost" + d + "/sub", d + "/sub"},
        {"sftp://host/srv", d + "/sub"},
        {"smb://nas/share", std::nullopt},  // not mounted: not a local disk
        {"trash:///", std::nullopt},        // no local path either
        {"file://otherhost/tmp", std::nullopt},
        {d + "/missing", std::nullopt},
        {"relative/path", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto location = FolderArgument::resolve(c.argument, mounts);
        EXPECT_EQ(location.path, c.path) << c.argument;
        EXPECT_EQ(location.whyNot.empty(), c.path.has_value()) << c.argument;
    }
    fs::remove_all(dir);
}

TEST(FolderArgumentTest, LocalPathFromGioInfo) {
    EXPECT_EQ(FolderArgument::localPathFromGioInfo(
                  "display name: srv on host\nuri: sftp://host/srv\nlocal path: "
                  "/run/user/1000/gvfs/sftp:host=host/srv\nattributes:\n"),
              "/run/user/1000/gvfs/sftp:host=host/srv");
    EXPECT_EQ(FolderArgument::localPathFromGioInfo("uri: smb://nas/share\nattributes:\n"),
              std::nullopt);
    // The real gio on a local folder, when it is installed.
    if (const auto tmp = FolderArgument::gioLocalPath("file:///tmp")) {
        EXPECT_EQ(*tmp, "/tmp");
    }
}

}  // namespace
}  // namespace ferrymark

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
