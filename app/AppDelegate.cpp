#include "app/AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

#include "app/AgreementWindow.h"
#include "app/AppIcon.h"
#include "app/AutostartEntry.h"
#include "app/ClipboardReader.h"
#include "app/GlobalEventHandler.h"
#include "app/IFileManagerBridge.h"
#include "app/StatusMenu.h"
#include "app/UserDefaults.h"
#include "app/WindowMenu.h"
#include "engine/CopyHandler.h"
#include "engine/PromptTexts.h"
#include "ui/AlertWindowController.h"
#include "ui/PromptPresenter.h"

// The resources live in a static library: they must be pulled in by name.
static void initResources() {
    Q_INIT_RESOURCE(ferrymark);
}

namespace ferrymark {
namespace {

const QString kLicenseAgreed = QStringLiteral("licenseAgreed");
const QString kHelpGuideLaunched = QStringLiteral("helpGuideLaunched");
const QString kStartItem = QStringLiteral("startItem");

// Stands in where no file manager can be asked (no X11): commands say so and do nothing.
class NoFileManager final : public IFileManagerBridge {
  public:
    bool isFileManagerFrontmost() override { return true; }
    InsertionLocation insertionLocation() override {
        return InsertionLocation::none(
            "the file manager's folder can not be asked for on this desktop (X11 is needed)");
    }
    bool activateFileManager() override { return false; }
};

}  // namespace

AppDelegate::AppDelegate(AppEnvironment environment, QObject* parent)
    : QObject(parent), env_(std::move(environment)) {
    initResources();
    defaults_ = std::make_unique<UserDefaults>(env_.settingsPath);
    statusMenu_ = std::make_unique<StatusMenu>(this);
    windowMenu_ = std::make_unique<WindowMenu>(statusMenu_->windowMenuItem(),
                                               statusMenu_->windowMenu(), this);
    if (!env_.readClipboard) {
        env_.readClipboard = [] { return ClipboardReader::fromClipboard(); };
    }
    static NoFileManager noFileManager;
    IFileManagerBridge& bridge = env_.bridge ? *env_.bridge : noFileManager;
    paste_ = std::make_unique<PasteContext>(PasteContext{
        bridge, *env_.host, threads_, env_.readClipboard,
        [](const Prompt& prompt) { return PromptPresenter::ask(prompt, true); },
        [] { return QApplication::activeWindow() != nullptr; },
        [this](const std::shared_ptr<CopyHandler>& job) { addWindowToMenu(job); },
        [this](const std::shared_ptr<CopyHandler>& job) { removeWindowFromMenu(job); }});
}

AppDelegate::~AppDelegate() {
    if (hotKeysRegistered_) {
        applicationWillTerminate();
    }
}

void AppDelegate::applicationDidFinishLaunching() {
    if (defaults_->boolValue(kLicenseAgreed)) {
        clickLicenseAgree();
        return;
    }
    AgreementWindow agreement;
    if (agreement.runModal()) {
        clickLicenseAgree();
    } else {
        clickLicenseDisagree();
    }
}

void AppDelegate::clickLicenseAgree() {
    if (!defaults_->boolValue(kHelpGuideLaunched)) {
        showAboutDialog(nullptr);
        defaults_->setBool(kHelpGuideLaunched, true);
    }
    defaults_->setBool(kLicenseAgreed, true);
    defaults_->synchronize();
    // After the agreement's modal loop has ended.
    QMetaObject::invokeMethod(this, "doApplicationLaunch", Qt::QueuedConnection);
}

void AppDelegate::clickLicenseDisagree() {
    terminated_ = true;
    emit terminateRequested();
}

void AppDelegate::doApplicationLaunch() {
    if (!defaults_->hasValue(kStartItem)) {
        addAppAsLoginItem();
        defaults_->setBool(kStartItem, true);
        defaults_->synchronize();
    }
    if (env_.showTrayIcon) {
        statusBarMItem_ = std::make_unique<QSystemTrayIcon>(AppIcon::statusImage());
        statusBarMItem_->setToolTip(QStringLiteral("Ferrymark"));
        statusBarMItem_->setContextMenu(statusMenu_->menu());
        // A left click opens the menu too, as a status item does.
        connect(statusBarMItem_.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger) {
                        statusMenu_->menu()->popup(QCursor::pos());
                    }
                });
        statusBarMItem_->show();
    }
    if (env_.registerHotKeys) {
        for (const auto& entry : statusMenu_->entries()) {
            if (!entry.keyEquivalent.isEmpty()) {
                GlobalEventHandler::registerKeyEquivalent(entry.keyEquivalent, entry.modifierMask,
                                                          this, entry.slot);
            }
        }
        hotKeysRegistered_ = true;
    }
}

void AppDelegate::addAppAsLoginItem() {
    const QString folder =
        env_.autostartFolder.isEmpty() ? AutostartEntry::defaultFolder() : env_.autostartFolder;
    AutostartEntry::add(folder, QCoreApplication::applicationFilePath());
}

void AppDelegate::doPaste(QObject*) {
    UIHandler::performPaste(false, *paste_);
}

void AppDelegate::doMove(QObject*) {
    UIHandler::performPaste(true, *paste_);
}

void AppDelegate::quit(QObject*) {
    if (!applicationShouldTerminate()) {
        return;
    }
    applicationWillTerminate();
    terminated_ = true;
    emit terminateRequested();
}

void AppDelegate::terminateFromSignal() {
    if (terminatingFromSignal_) {
        return;
    }
    terminatingFromSignal_ = true;
    terminated_ = true;
    // The workers give the gate back while they wait for an answer, so this cannot block
    // on a prompt that is open.
    for (const auto& job : windowMenu_->jobs()) {
        job->cancelTask();
    }
    closeModalWindows();
    // A prompt that a stopping worker still puts up is answered too; timers reach nested
    // modal loops.
    auto* answerer = new QTimer(this);
    connect(answerer, &QTimer::timeout, this, &AppDelegate::closeModalWindows);
    answerer->start(50);
    // The modal loops unwind once this returns; the rest runs after them.
    QTimer::singleShot(0, this, &AppDelegate::finishTermination);
}

void AppDelegate::closeModalWindows() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog == nullptr || !dialog->isVisible()) {
            continue;
        }
        if (auto* prompt = qobject_cast<AlertWindowController*>(dialog)) {
            prompt->done(kAnswerStop);
        } else {
            dialog->reject();
        }
    }
}

void AppDelegate::finishTermination() {
    waitForTransfers();
    applicationWillTerminate();
    emit terminateRequested();
}

bool AppDelegate::applicationShouldTerminate() {
    if (!windowMenuItem()->isEnabled()) {
        return true;
    }
    if (PromptPresenter::ask(PromptTexts::quit(), true).code != kAnswerStop) {
        return false;
    }
    for (const auto& job : windowMenu_->jobs()) {
        job->cancelTask();
    }
    waitForTransfers();
    return true;
}

void AppDelegate::waitForTransfers() {
    // Stopped transfers still remove their partial files and hand work to this thread,
    // so wait with the event loop running, for a bounded time.
    QDeadlineTimer deadline(env_.quitGrace.count());
    while (threads_.running() > 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        threads_.waitFor(std::chrono::milliseconds(5));
    }
    if (threads_.running() > 0) {
        env_.host->log("Quitting with transfers still winding down");
    }
}

void AppDelegate::applicationWillTerminate() {
    if (hotKeysRegistered_) {
        for (const auto& entry : statusMenu_->entries()) {
            if (!entry.keyEquivalent.isEmpty()) {
                GlobalEventHandler::unregisterKeyEquivalent(entry.keyEquivalent,
                                                            entry.modifierMask);
            }
        }
        hotKeysRegistered_ = false;
    }
    statusBarMItem_.reset();
}

void AppDelegate::showAboutDialog(QObject*) {
    if (QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier) {
        QMessageBox::about(nullptr, QStringLiteral("About Ferrymark"),
                           QStringLiteral("<b>Ferrymark %1</b><p>Pastes and moves the files you "
                                          "copy in your file manager, with progress, and never "
                                          "loses one.</p><p>MIT licence.</p>")
                               .arg(QCoreApplication::applicationVersion()));
        return;
    }
    const QString path = aboutDocumentPath();
    if (env_.openDocument) {
        env_.openDocument(path);
    } else {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
}

QString AppDelegate::aboutDocumentPath() const {
    if (!env_.aboutDocument.isEmpty()) {
        return env_.aboutDocument;
    }
    const QString dir = QCoreApplication::applicationDirPath();
    const QString besideProgram = dir + QStringLiteral("/About-Ferrymark.pdf");
    if (QFileInfo::exists(besideProgram)) {
        return besideProgram;
    }
    return QDir::cleanPath(dir + QStringLiteral("/../share/ferrymark/About-Ferrymark.pdf"));
}

void AppDelegate::addWindowToMenu(const std::shared_ptr<CopyHandler>& job) {
    env_.host->runOnUiThread([&] { windowMenu_->add(job); });
}

void AppDelegate::removeWindowFromMenu(const std::shared_ptr<CopyHandler>& job) {
    env_.host->runOnUiThread([&] { windowMenu_->remove(job.get()); });
}

QMenu* AppDelegate::statusBarMenu() const {
    return statusMenu_->menu();
}

QAction* AppDelegate::windowMenuItem() const {
    return statusMenu_->windowMenuItem();
}

QMenu* AppDelegate::windowMenu() const {
    return statusMenu_->windowMenu();
}

}  // namespace ferrymark
