#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <algorithm>
#include <filesystem>

#include "X11Wait.h"
#include "app/ClipboardReader.h"

namespace ferrymark {
namespace {

namespace fs = std::filesystem;
using testing::X11Wait;

// Another process owns the clipboard with the targets of a capture folder; the reader
// takes them through the real X11 selection transfer.
class ClipboardX11Test : public ::testing::Test {
  protected:
    void TearDown() override {
        owner_.kill();
        owner_.waitForFinished();
    }

    // Starts the owner and returns once Qt here has heard of it.
    ::testing::AssertionResult ownClipboard(const fs::path& capture) {
        int changes = 0;
        const auto connection = QObject::connect(QGuiApplication::clipboard(),
                                                 &QClipboard::dataChanged, [&] { ++changes; });
        owner_.kill();
        owner_.waitForFinished();
        owner_.start(QStringLiteral(FERRYMARK_CLIPBOARD_OWNER),
                     {QString::fromStdString(capture.string())});
        QByteArray output;
        const bool ready = X11Wait::until([&] {
            output += owner_.readAllStandardOutput();
            return owner_.state() == QProcess::NotRunning || output.contains("ready");
        });
        // Until Qt has heard of the new owner it may answer from what it knew before: also
        // the old owner's going, heard late on a loaded machine, counts as a change, and
        // leaves no formats.
        const bool heard = ready && X11Wait::until([&] {
                               const QMimeData* data =
                                   QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
                               return changes > 0 && data && !data->formats().isEmpty();
                           });
        QObject::disconnect(connection);
        if (owner_.state() != QProcess::Running || !heard) {
            return ::testing::AssertionFailure()
                   << "clipboard owner not ready: " << owner_.readAllStandardError().toStdString();
        }
        return ::testing::AssertionSuccess();
    }

    QProcess owner_;
};

TEST_F(ClipboardX11Test, ReadsFilesCopiedAndCutInAnotherProcess) {
    const fs::path captures = FERRYMARK_CLIPBOARD_FIXTURES;
    if (!fs::is_directory(captures)) {
        GTEST_SKIP() << "clipboard captures not found at " << captures;
    }
    std::vector<std::string> expected = {
        "/srv/sample/src/a.txt", "/srv/sample/src/b with space.txt",
        "/srv/sample/src/\xC3\xBC-\xC3\xB1 #%&.txt", "/srv/sample/src/sub dir"};
    std::sort(expected.begin(), expected.end());
    struct Case {
        const char* capture;
        bool cut;
    };
    // The gnome target, the mate target, and uri-list with and without the KDE cut mark.
    const Case cases[] = {{"nautilus-cut", true},
                          {"caja-copy", false},
                          {"dolphin-cut", true},
                          {"dolphin-copy", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capture);
        ASSERT_TRUE(ownClipboard(captures / c.capture));

        const CopiedFiles files = ClipboardReader::fromClipboard();

        std::vector<std::string> sorted = files.paths;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, expected);
        EXPECT_EQ(files.cut, c.cut);
    }
}

}  // namespace
}  // namespace ferrymark
