// fm-screenshots OUTDIR [light|dark]: pictures of the progress window, the prompts, the
// tray menu and the preferences window, for a look at the layouts on a real X display, in
// the colour scheme given and the language of the locale. The progress stages come from a
// job whose counters are set by hand; the conflict prompts from a real transfer through
// the Qt host.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
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

// Shoots the next prompt that comes up, answers it with answer (a tag, or 2 for Stop) and
// then runs next.
void shootNextPrompt(const QString& name, int answer, std::function<void()> next = {}) {
    QTimer::singleShot(50, qApp, [name, answer, next] {
        auto* dialog = qobject_cast<AlertWindowController*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            shootNextPrompt(name, answer, next);
            return;
        }
        // A folder prompt is the one that offers Merge.
        QString shotName = name;
        if (shotName.isEmpty()) {
            shotName = dialog->popupOptions()->findData(5) >= 0 ? QStringLiteral("folder-conflict")
                                                                : QStringLiteral("file-conflict");
        }
        shoot(dialog, shotName);
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

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

// A copy into a folder that already holds both items: the job asks about each.
void conflictPrompts(QtJobHost& host) {
    QTemporaryDir source;
    QTemporaryDir target;
    for (const QTemporaryDir* dir : {&source, &target}) {
        QDir(dir->path()).mkdir(QStringLiteral("Vacation Pictures"));
        write(dir->filePath(QStringLiteral("Vacation Pictures/beach.jpg")), "jpeg");
        write(dir->filePath(QStringLiteral("Quarterly Report.pdf")), "%PDF");
    }
    auto job = CopyHandler::initWithFiles(
        {source.filePath(QStringLiteral("Quarterly Report.pdf")).toStdString(),
         source.filePath(QStringLiteral("Vacation Pictures")).toStdString()},
        host);

    std::atomic<bool> done{false};
    shootNextPrompt({}, 4, [] { shootNextPrompt({}, 4); });
    std::thread worker([&] {
        job->copyFilesTo(target.path().toStdString());
        job.reset();
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    worker.join();
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
