#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <algorithm>
#include <filesystem>

#include "X11Wait.h"
#include "app/ClipboardReader.h"

namespace ferrymark {
namespace {

namespace fs = std::filesystem;
using testing::X11Wait;

// Another process owns the clipboard with a file manager's captured targets; the reader
// takes them through the real X11 selection transfer.
TEST(ClipboardX11Test, ReadsFilesCopiedAndCutInAnotherProcess) {
    const fs::path captures = FERRYMARK_CLIPBOARD_FIXTURES;
    if (!fs::is_directory(captures)) {
        GTEST_SKIP() << "clipboard captures not found at " << captures;
    }
    struct Case {
        const char* capture;
        bool cut;
    };
    // The gnome target, the mate target, and uri-list with the KDE cut mark.
    const Case cases[] = {{"nautilus-cut", true}, {"caja-copy", false}, {"dolphin-cut", true},
                          {"dolphin-copy", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capture);
        int changes = 0;
        const auto connection = QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                                                 [&] { ++changes; });
        QProcess owner;
        owner.start(QStringLiteral(FERRYMARK_CLIPBOARD_OWNER),
                    {QString::fromStdString((captures / c.capture).string())});
        ASSERT_TRUE(X11Wait::until([&] {
            return owner.state() == QProcess::NotRunning || owner.readAllStandardOutput().contains("ready");
        }));
        ASSERT_EQ(owner.state(), QProcess::Running) << owner.readAllStandardError().toStdString();
        // Until Qt has heard of the new owner it may answer from what it knew before.
        ASSERT_TRUE(X11Wait::until([&] { return changes > 0; }));
        QObject::disconnect(connection);

        const CopiedFiles files = ClipboardReader::fromClipboard();

        std::vector<std::string> sorted = files.paths;
        std::sort(sorted.begin(), sorted.end());
        std::vector<std::string> expected = {"/srv/sample/src/a.txt",
                                             "/srv/sample/src/b with space.txt",
                                             "/srv/sample/src/\xC3\xBC-\xC3\xB1 #%&.txt",
                                             "/srv/sample/src/sub dir"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(sorted, expected);
        EXPECT_EQ(files.cut, c.cut);
        owner.kill();
        owner.waitForFinished();
    }
}

TEST(ClipboardX11Test, EmptyClipboardHoldsNoFiles) {
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    const CopiedFiles files = ClipboardReader::fromClipboard();
    EXPECT_TRUE(files.paths.empty());
}

}  // namespace
}  // namespace ferrymark
