// The two items of a conflict prompt as the user compares them: the facts shown in each
// column, the marks, and what becomes of a column whose item goes away.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <ostream>
#include <utility>

#include "ModalScript.h"
#include "UiWait.h"
#include "engine/PromptTexts.h"
#include "ui/AlertWindowController.h"
#include "ui/ConflictComparison.h"
#include "ui/PromptPresenter.h"

// Readable failure messages.
void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace ferrymark {
namespace {

using testing::ModalScript;
using testing::UiWait;
using Side = ConflictComparison::Side;

constexpr qint64 kMay1 = 1714557600;  // 2024-05-01 10:00 UTC
constexpr qint64 kMay2 = kMay1 + 86400;

class Scratch {
  public:
    QString path(const QString& name) const { return dir_.filePath(name); }
    std::string str(const QString& name) const { return path(name).toStdString(); }
    void file(const QString& name, int size, qint64 modified) const {
        QFile out(path(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(size, 'x'));
        out.flush();  // or the write at closing sets the time anew
        ASSERT_TRUE(out.setFileTime(QDateTime::fromSecsSinceEpoch(modified),
                                    QFileDevice::FileModificationTime));
    }
    void folder(const QString& name, int files, int size, qint64 modified) const {
        ASSERT_TRUE(QDir(dir_.path()).mkpath(name));
        for (int i = 0; i < files; ++i) {
            file(name + QStringLiteral("/f%1").arg(i), size, kMay1);
        }
        const timespec times[2] = {{modified, 0}, {modified, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path(name)).constData(), times, 0), 0);
    }

  private:
    QTemporaryDir dir_;
};

QString modified(qint64 seconds) {
    return QStringLiteral("Modified ") +
           QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds), QLocale::ShortFormat);
}

struct FactsCase {
    const char* name;
    std::function<void(const Scratch&)> setUp;  // makes "existing" and "incoming"
    FolderCount::Limits limits;
    QStringList existing;  // the column's texts, top to bottom
    QStringList incoming;
    bool identical;
};

void PrintTo(const FactsCase& c, std::ostream* os) {
    *os << c.name;
}

class ComparisonFacts : public ::testing::TestWithParam<FactsCase> {};

TEST_P(ComparisonFacts, AreShownInBothColumns) {
    const FactsCase& c = GetParam();
    Scratch scratch;
    c.setUp(scratch);
    ConflictComparison view(scratch.str(QStringLiteral("existing")),
                            scratch.str(QStringLiteral("incoming")), c.limits);
    ASSERT_TRUE(UiWait::until([&] { return view.settled(); }));
    EXPECT_EQ(view.texts(Side::Existing), c.existing);
    EXPECT_EQ(view.texts(Side::Incoming), c.incoming);
    EXPECT_EQ(!view.identicalNote()->isHidden(), c.identical);
    EXPECT_EQ(view.column(Side::Existing)->accessibleName(), QStringLiteral("Existing item"));
    EXPECT_EQ(view.column(Side::Incoming)->accessibleName(), QStringLiteral("Item being pasted"));
}

INSTANTIATE_TEST_SUITE_P(
    Conflicts, ComparisonFacts,
    ::testing::Values(FactsCase{"NewerAndSmallerExistingFile",
                                [](const Scratch& s) {
                                    s.file(QStringLiteral("existing"), 3, kMay2);
                                    s.file(QStringLiteral("incoming"), 2048, kMay1);
                                },
                                {},
                                {"Existing item", "0.0 KB (3 bytes)", modified(kMay2), "Newer"},
                                {"Item being pasted", "2.0 KB (2,048 bytes)", "Larger",
                                 modified(kMay1)},
                                false},
                      FactsCase{"IdenticalFiles",
                                [](const Scratch& s) {
                                    s.file(QStringLiteral("existing"), 1, kMay1);
                                    s.file(QStringLiteral("incoming"), 1, kMay1);
                                },
                                {},
                                {"Existing item", "0.0 KB (1 byte)", modified(kMay1)},
                                {"Item being pasted", "0.0 KB (1 byte)", modified(kMay1)},
                                true},
                      // Past the limit the count says how far it went; the bytes counted by then
                      // already outweigh the other folder's.
                      FactsCase{"FolderPastTheLimit",
                                [](const Scratch& s) {
                                    s.folder(QStringLiteral("existing"), 30, 100, kMay2);
                                    s.folder(QStringLiteral("incoming"), 3, 100, kMay1);
                                },
                                {std::chrono::milliseconds(60'000), 20},
                                {"Existing item", "More than 20 items, at least 2.0 KB", "Larger",
                                 modified(kMay2), "Newer"},
                                {"Item being pasted", "3 items, 0.3 KB", modified(kMay1)},
                                false}),
    [](const auto& info) { return info.param.name; });

// The prompt as the engine raises it: the comparison sits below the message, the answer,
// the default button and the focus are those of the prompt without it, and an item deleted
// while the user thinks is shown as gone.
TEST(ConflictPrompt, ShowsAnItemThatVanishesWhileOpenAsGone) {
    Scratch scratch;
    scratch.file(QStringLiteral("existing"), 3, kMay2);
    scratch.file(QStringLiteral("incoming"), 2048, kMay1);
    QString plainFocusName;
    ModalScript::onNextPrompt([&](AlertWindowController& d) {
        EXPECT_TRUE(UiWait::until([&] { return d.focusWidget() != nullptr; }));
        plainFocusName = d.focusWidget() ? d.focusWidget()->objectName() : QString();
        ModalScript::clickContinue(d);
    });
    PromptPresenter::ask(PromptTexts::fileConflict(scratch.str(QStringLiteral("incoming"))), true);
    ASSERT_FALSE(plainFocusName.isEmpty());

    QStringList before;
    QStringList after;
    QString focusName;
    bool continueIsDefault = false;
    ModalScript::onNextPrompt([&](AlertWindowController& d) {
        auto* view = qobject_cast<ConflictComparison*>(d.comparison());
        ASSERT_NE(view, nullptr);
        EXPECT_TRUE(view->isVisible());
        EXPECT_TRUE(UiWait::until([&] { return d.focusWidget() != nullptr; }));
        focusName = d.focusWidget() ? d.focusWidget()->objectName() : QString();
        continueIsDefault = d.btnContinue()->isDefault();
        before = view->texts(Side::Existing);
        QFile::remove(scratch.path(QStringLiteral("existing")));
        EXPECT_TRUE(UiWait::until([&] {
            return view->texts(Side::Existing).contains(QStringLiteral("No longer there"));
        }));
        after = view->texts(Side::Existing);
        ModalScript::clickContinue(d);
    });
    const PromptAnswer answer =
        PromptPresenter::ask(PromptTexts::fileConflict(scratch.str(QStringLiteral("incoming")),
                                                       scratch.str(QStringLiteral("existing"))),
                             true);
    EXPECT_EQ(answer.code, 1);
    EXPECT_EQ(focusName, plainFocusName);
    EXPECT_TRUE(continueIsDefault);
    EXPECT_EQ(before, (QStringList{"Existing item", "0.0 KB (3 bytes)", modified(kMay2), "Newer"}));
    // Gone: neither newer nor larger than anything any more.
    EXPECT_EQ(after, (QStringList{"Existing item", "No longer there"}));
}

// A thumbnail a file manager left in the cache is the picture; one made for an older state
// of the file is not.
TEST(ConflictPrompt, ShowsACurrentThumbnailFromTheCache) {
    Scratch scratch;
    scratch.file(QStringLiteral("existing.jpg"), 3, kMay2);
    scratch.file(QStringLiteral("incoming.jpg"), 3, kMay1);
    QTemporaryDir cache;
    const QByteArray ownCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    QDir().mkpath(cache.filePath(QStringLiteral("thumbnails/normal")));
    for (const auto& [name, stamp] : {std::pair{"existing.jpg", kMay2}, {"incoming.jpg", kMay2}}) {
        QImage red(128, 64, QImage::Format_RGB32);
        red.fill(Qt::red);
        red.setText(QStringLiteral("Thumb::MTime"), QString::number(stamp));
        const QByteArray uri =
            QUrl::fromLocalFile(scratch.path(QString::fromLatin1(name))).toEncoded();
        ASSERT_TRUE(red.save(cache.filePath(
            QStringLiteral("thumbnails/normal/") +
            QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
            QStringLiteral(".png"))));
    }
    ConflictComparison view(scratch.str(QStringLiteral("existing.jpg")),
                            scratch.str(QStringLiteral("incoming.jpg")));
    ASSERT_TRUE(UiWait::until([&] { return view.settled(); }));
    qputenv("XDG_CACHE_HOME", ownCache);
    auto centre = [&](Side side) {
        const QImage shown =
            view.column(side)->findChild<QLabel*>(QStringLiteral("picture"))->pixmap().toImage();
        return shown.pixelColor(shown.width() / 2, shown.height() / 2);
    };
    EXPECT_EQ(centre(Side::Existing), QColor(Qt::red));
    // Its stamp is not the file's time: the file changed since.
    EXPECT_NE(centre(Side::Incoming), QColor(Qt::red));
}

TEST(ConflictPrompt, OtherPromptsHaveNoComparison) {
    EXPECT_EQ(PromptPresenter::makeDialog(PromptTexts::diskFull())->comparison(), nullptr);
    EXPECT_EQ(PromptPresenter::makeDialog(PromptTexts::fileConflict("/a/b"))->comparison(),
              nullptr);
}

}  // namespace
}  // namespace ferrymark
