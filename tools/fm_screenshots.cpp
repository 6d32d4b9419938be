// fm-screenshots OUTDIR [light|dark]: pictures of the progress window, the prompts, the
// tray menu and the preferences window, for a look at the layouts on a real X display, in
// the colour scheme given and the language of the locale. The progress stages come from a
// job whose counters are set by hand; the conflict prompts, with the two items compared,
// from a real transfer through the Qt host.
#include <fcntl.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWidget>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include "app/PreferencesWindow.h"
#include "app/SchemePalette.h"
#include "app/StatusMenu.h"
#include "app/UserLanguage.h"
#include "engine/CopyHandler.h"
#include "engine/PromptTexts.h"
#include "ui/AlertWindowController.h"
#include "ui/CutCopyWController.h"
#include "ui/PromptPresenter.h"
#include "ui/QtJobHost.h"

using namespace ferrymark;

namespace {

QString outDir;
int failures = 0;

// Lets the window manager map, place and decorate a window, and Qt paint it.
void settle(int ms = 800) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window with its frame, as the user sees it on screen.
void shoot(QWidget* window, const QString& name) {
    settle();
    // A loaded machine may take longer to put the frame on.
    for (int wait = 0; wait < 50 && window->frameGeometry() == window->geometry(); ++wait) {
        settle(100);
    }
    const QRect frame = window->frameGeometry();
    QPixmap picture =
        window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (picture.width() < window->width() || picture.height() < window->height()) {
        // No frame came (or not yet mapped where Qt thinks): the window's own pixels.
        std::fprintf(stderr, "fm-screenshots: %s has no window frame; taken without it\n",
                     qPrintable(name));
        picture = window->grab();
    }
    const QString path = QDir(outDir).filePath(name + QStringLiteral(".png"));
    if (!picture.save(path)) {
        std::fprintf(stderr, "fm-screenshots: cannot write %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), picture.width(), picture.height());
}

// Shoots the next prompt that comes up as name, answers it with answer (a tag, or 2 for
// Stop) and then runs next.
void shootNextPrompt(const QString& name, int answer, std::function<void()> next = {}) {
    QTimer::singleShot(50, qApp, [name, answer, next] {
        auto* dialog = qobject_cast<AlertWindowController*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            shootNextPrompt(name, answer, next);
            return;
        }
        shoot(dialog, name);
        if (answer == 2) {
            dialog->doStop();
        } else {
            dialog->popupOptions()->setCurrentIndex(dialog->popupOptions()->findData(answer));
            dialog->doContinue();
        }
        if (next) {
            next();
        }
    });
}

// Shoots the prompts that come up next as names, in order, answering each with answer.
void shootPrompts(QStringList names, int answer) {
    if (names.isEmpty()) {
        return;
    }
    const QString name = names.takeFirst();
    shootNextPrompt(name, answer, [names, answer] { shootPrompts(names, answer); });
}

void progressStages(QtJobHost& host) {
    auto job = CopyHandler::initWithFiles({"/home/user/Pictures/Holiday"}, host);
    auto* view = dynamic_cast<CutCopyWController*>(job->wController());
    job->setCurrentTarget("Holiday Photos 2024");
    job->setUiBeatCount(-1);
    job->setDataProcessed(-1);

    job->setTotalItems(1873);
    job->setTotalData(2411724800);
    job->updateUI();
    shoot(view->window(), QStringLiteral("progress-counting"));

    job->setTotalItems(4312);
    job->setRemainingItems(4312);
    job->setTotalData(5637144576);
    job->setCurrentItem("/home/user/Pictures/2024/Vacation Pictures/beach-sunset.jpg");
    job->setRemainingItems(3106);
    job->setDataProcessed(1568669696);
    job->updateUI();
    job->setUiBeatCount(40);
    // A second tick half a second later gives the speed: 40 MB in 0.5 s.
    QThread::msleep(500);
    job->setRemainingItems(3105);
    job->setDataProcessed(1610612736);
    job->updateUI();
    shoot(view->window(), QStringLiteral("progress-copying"));

    job->setPaused(true);
    view->setPausedLook(1);
    job->updateUI();
    shoot(view->window(), QStringLiteral("progress-paused"));

    view->btExpandContractView()->click();
    shoot(view->window(), QStringLiteral("progress-contracted"));
    view->window()->hide();
}

void write(const QString& path, const QByteArray& bytes, qint64 modified) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
        file.flush();  // or the write at closing sets the time anew
        file.setFileTime(QDateTime::fromSecsSinceEpoch(modified),
                         QFileDevice::FileModificationTime);
    }
}

// A beach at sunset, as a file manager would have left it in the thumbnail cache: the
// prompt only looks thumbnails up.
void cacheThumbnail(const QString& cache, const QString& path, qint64 modified, QColor sky) {
    QImage picture(256, 192, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 0, 120);
    gradient.setColorAt(0, sky.darker(160));
    gradient.setColorAt(1, sky);
    painter.fillRect(0, 0, 256, 120, gradient);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 236, 160));
    painter.drawEllipse(QPoint(170, 112), 30, 30);
    painter.fillRect(0, 120, 256, 40, QColor(40, 90, 140));
    painter.fillRect(0, 160, 256, 32, QColor(226, 200, 150));
    painter.end();
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    picture.setText(QStringLiteral("Thumb::URI"), QString::fromUtf8(uri));
    picture.setText(QStringLiteral("Thumb::MTime"), QString::number(modified));
    const QString folder = cache + QStringLiteral("/thumbnails/large");
    QDir().mkpath(folder);
    picture.save(
        folder + QLatin1Char('/') +
        QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
        QStringLiteral(".png"));
}

// A copy into a folder that already holds all three items: an edited photo that is older
// and larger than the one pasted, a folder, and a file that looks the same on both sides.
void conflictPrompts(QtJobHost& host) {
    QTemporaryDir source;
    QTemporaryDir target;
    QTemporaryDir cache;
    const QByteArray ownCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    // Fixed times: the pictures do not change from one run to the next.
    const qint64 edited = QDateTime(QDate(2024, 7, 14), QTime(18, 42)).toSecsSinceEpoch();
    const qint64 taken = QDateTime(QDate(2024, 7, 12), QTime(20, 5)).toSecsSinceEpoch();
    write(target.filePath(QStringLiteral("beach.jpg")), QByteArray(2'483'712, 'j'), taken);
    write(source.filePath(QStringLiteral("beach.jpg")), QByteArray(1'843'200, 'j'), edited);
    cacheThumbnail(cache.path(), target.filePath(QStringLiteral("beach.jpg")), taken,
                   QColor(250, 140, 70));
    cacheThumbnail(cache.path(), source.filePath(QStringLiteral("beach.jpg")), edited,
                   QColor(235, 110, 120));
    const QString album = QStringLiteral("Vacation Pictures");
    for (const QTemporaryDir* dir : {&source, &target}) {
        QDir(dir->path()).mkdir(album);
        const int photos = dir == &source ? 14 : 5;
        for (int i = 0; i < photos; ++i) {
            write(dir->filePath(album + QStringLiteral("/IMG_%1.jpg").arg(4100 + i)),
                  QByteArray(350'000 + 1000 * i, 'j'), taken);
        }
        write(dir->filePath(QStringLiteral("Notes.txt")), QByteArray(1'234, 'n'), taken);
        const qint64 albumTime = dir == &source ? edited : taken;
        const timespec times[2] = {{albumTime, 0}, {albumTime, 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(dir->filePath(album)).constData(), times, 0);
    }
    auto job =
        CopyHandler::initWithFiles({source.filePath(QStringLiteral("beach.jpg")).toStdString(),
                                    source.filePath(album).toStdString(),
                                    source.filePath(QStringLiteral("Notes.txt")).toStdString()},
                                   host);

    std::atomic<bool> done{false};
    shootPrompts({QStringLiteral("file-conflict"), QStringLiteral("folder-conflict"),
                  QStringLiteral("file-conflict-identical")},
                 4);
    std::thread worker([&] {
        job->copyFilesTo(target.path().toStdString());
        job.reset();
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    worker.join();
    if (ownCache.isNull()) {
        qunsetenv("XDG_CACHE_HOME");
    } else {
        qputenv("XDG_CACHE_HOME", ownCache);
    }
}

// The tray menu as it drops down, and the preferences window built from its entries.
void trayAndPreferences() {
    QObject target;
    StatusMenu status(&target);
    QMenu* menu = status.menu();
    menu->popup(QPoint(200, 200));
    settle();
    QPixmap picture =
        menu->screen()->grabWindow(0, menu->x(), menu->y(), menu->width(), menu->height());
    const QString path = QDir(outDir).filePath(QStringLiteral("tray-menu.png"));
    if (picture.isNull() || !picture.save(path)) {
        std::fprintf(stderr, "fm-screenshots: cannot write %s\n", qPrintable(path));
        ++failures;
    } else {
        std::printf("%s (%dx%d)\n", qPrintable(path), picture.width(), picture.height());
    }
    menu->hide();

    PreferencesWindow::Model model;
    model.startAtLogin = true;
    model.setStartAtLogin = [](bool on) { return on; };
    for (const auto& entry : status.entries()) {
        if (!entry.keyEquivalent.isEmpty()) {
            model.hotKeys.push_back(
                {entry.action->text(), entry.slot,
                 StatusMenu::sequenceOf(entry.keyEquivalent, entry.modifierMask)});
        }
    }
    model.changeHotKey = [](const QByteArray&, const QKeySequence&) { return QString(); };
    PreferencesWindow preferences(std::move(model));
    preferences.show();
    shoot(&preferences, QStringLiteral("preferences"));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    const QString scheme = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("light");
    if ((argc != 2 && argc != 3) ||
        (scheme != QStringLiteral("light") && scheme != QStringLiteral("dark"))) {
        std::fprintf(stderr, "usage: fm-screenshots OUTDIR [light|dark]\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    SchemePalette palette;
    palette.apply(scheme == QStringLiteral("dark") ? ColourScheme::Dark : ColourScheme::Light);
    // The locale's language, as the program loads it.
    const UserLanguage language(QStringLiteral(FERRYMARK_QM_DIR));

    QtJobHost host;
    progressStages(host);
    conflictPrompts(host);

    shootNextPrompt(QStringLiteral("disk-full"), 2);
    PromptPresenter::ask(PromptTexts::diskFull());

    shootNextPrompt(QStringLiteral("quit"), 1);
    PromptPresenter::ask(PromptTexts::quit());

    trayAndPreferences();
    return failures == 0 ? 0 : 1;
}
