#include "app/AppDelegate.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <utility>

#include "app/AgreementWindow.h"
#include "app/AppIcon.h"
#include "app/AutostartEntry.h"
#include "app/ClipboardReader.h"
#include "app/DesktopNotifications.h"
#include "app/DesktopProgress.h"
#include "app/GlobalEventHandler.h"
#include "app/LinkPreference.h"
#include "app/PreferencesPresenter.h"
#include "app/PreferencesWindow.h"
#include "app/SafeRemoval.h"
#include "app/StatusMenu.h"
#include "app/TransferNotices.h"
#include "app/TurnsPreference.h"
#include "app/UserDefaults.h"
#include "app/WindowMenu.h"
#include "engine/CopyHandler.h"
#include "engine/PromptTexts.h"
#include "integrations/FileManagerEntries.h"
#include "platform/FolderArgument.h"
#include "platform/IFileManagerBridge.h"
#include "platform/NoWindowBridge.h"
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
const QString kEntriesOffered = QStringLiteral("fileManagerEntriesOffered");

// A hot key as desktops list it (GNOME's confirmation, Plasma's settings): its menu entry.
QString keyDescription(const QAction& action) {
    return QString(action.text()).remove(QLatin1Char('&'));
}

QString hotKeySetting(const QByteArray& slot) {
    return QStringLiteral("hotKeys/") + QString::fromLatin1(slot);
}

// Stands in where no file manager can be asked (no X11): commands say so and do nothing.

}  // namespace

AppDelegate::AppDelegate(AppEnvironment environment, QObject* parent)
    : QObject(parent), env_(std::move(environment)) {
    initResources();
    // An entry of an earlier version under the name before the reverse-DNS id.
    AutostartEntry::migrate(autostartFolder());
    defaults_ = std::make_unique<UserDefaults>(env_.settingsPath);
    linkPreference_ = std::make_unique<LinkPreference>(*defaults_);
    turnsPreference_ = std::make_unique<TurnsPreference>(*defaults_);
    statusMenu_ = std::make_unique<StatusMenu>(this);
    windowMenu_ = std::make_unique<WindowMenu>(statusMenu_->windowMenuItem(),
                                               statusMenu_->windowMenu(), this);
    if (!env_.readClipboard) {
        env_.readClipboard = [] { return ClipboardReader::fromClipboard(); };
    }
    if (!env_.notifier) {
        ownNotifier_ = std::make_unique<DesktopNotifications>();
        env_.notifier = ownNotifier_.get();
    }
    notices_ = std::make_unique<TransferNotices>(*env_.notifier);
    const auto log = [this](const std::string& line) { env_.host->log(line); };
    safeRemoval_ = std::make_unique<SafeRemoval>(
        *env_.notifier, QDBusConnection::systemBus(),
        SafeRemoval::standardUses([this] { return windowMenu_->jobs(); }), log);
    connect(notices_.get(), &TransferNotices::ejectRequested, safeRemoval_.get(),
            &SafeRemoval::eject);
    desktopProgress_ = std::make_unique<DesktopProgress>(QDBusConnection::sessionBus(), log);
    static NoWindowBridge noFileManager(
        "the file manager's folder can not be asked for on this desktop (X11 is needed)");
    IFileManagerBridge& bridge = env_.bridge ? *env_.bridge : noFileManager;
    preferences_ = std::make_unique<PreferencesPresenter>(
        *defaults_, *statusMenu_,
        PreferencesPresenter::Actions{
            [this] { return startsAtLogin(); },
            [this](bool on) { return setStartsAtLogin(on); },
            [this](const QByteArray& slot, const QKeySequence& sequence) {
                return changeHotKey(slot, sequence);
            },
            [](const QByteArray& slot) { return hotKeySetting(slot); },
            {[this](QWidget* parent) { return linkPreference_->makeBox(parent); },
             [this](QWidget* parent) { return turnsPreference_->makeBox(parent); }}});
    paste_ = std::make_unique<PasteContext>(PasteContext{
        bridge, *env_.host, threads_, env_.readClipboard,
        [](const Prompt& prompt) { return PromptPresenter::ask(prompt, true); },
        [] { return QApplication::activeWindow() != nullptr; },
        [this](const std::shared_ptr<CopyHandler>& job) { addWindowToMenu(job); },
        [this](const std::shared_ptr<CopyHandler>& job) { removeWindowFromMenu(job); },
        [this](TransferOutcome outcome) { transferEnded(std::move(outcome)); },
        [this](PasteRefusal why, const std::string& detail) { tellRefusal(why, detail); },
        [this](bool move) { return preferences_->copyCheck().checks(move); },
        [this] { return linkPreference_->keepLinks(); },
        [this] { return turnsPreference_->takeTurns(); }});
    applyStoredHotKeys();
}

// The resource defines the hot keys; the user's choice, once made, overrides it.
void AppDelegate::applyStoredHotKeys() {
    for (const auto& entry : statusMenu_->entries()) {
        const QString stored = defaults_->stringValue(hotKeySetting(entry.slot));
        if (stored.isNull()) {
            continue;
        }
        QString key;
        Qt::KeyboardModifiers mask;
        if (stored.isEmpty()) {
            statusMenu_->setKeyEquivalent(entry.slot, {}, {});
        } else if (StatusMenu::keyOf(QKeySequence(stored, QKeySequence::PortableText), &key,
                                     &mask)) {
            statusMenu_->setKeyEquivalent(entry.slot, key, mask);
        }
    }
}

AppDelegate::~AppDelegate() {
    preferences_.reset();
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
        startAtLoginChosen_ = agreement.cbStartAtLogin()->isChecked();
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
        if (startAtLoginChosen_) {
            addAppAsLoginItem();
        }
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
                                                          this, entry.slot,
                                                          keyDescription(*entry.action));
            }
        }
        hotKeysRegistered_ = true;
    }
    launched_ = true;
    for (const auto& [move, folder] : std::exchange(pendingCommands_, {})) {
        runCommand(move, folder);
    }
    // Offered once, after whatever command started us has been carried out.
    QMetaObject::invokeMethod(this, &AppDelegate::offerFileManagerEntries, Qt::QueuedConnection);
    QMetaObject::invokeMethod(this, &AppDelegate::tellSessionNotice, Qt::QueuedConnection);
}

void AppDelegate::tellSessionNotice() {
    if (env_.sessionNotice.isEmpty()) {
        return;
    }
    const QString key = QStringLiteral("sessionNoticeTold/") + env_.sessionNoticeKey;
    if (defaults_->hasValue(key)) {
        return;
    }
    defaults_->setBool(key, true);
    defaults_->synchronize();
    show(tr("Ferrymark's keys on this desktop"), env_.sessionNotice);
}

void AppDelegate::offerFileManagerEntries() {
    if (env_.confirm && !defaults_->hasValue(kEntriesOffered)) {
        defaults_->setBool(kEntriesOffered, true);
        defaults_->synchronize();
        if (env_.confirm(tr("Add \"Paste Here with Ferrymark\" and \"Move Here with "
                            "Ferrymark\" to the menus of your file managers? The tray menu's "
                            "\"Remove from File Managers\" takes them out again."))) {
            addToFileManagers(nullptr);
        }
    }
}

void AppDelegate::runCommand(bool move, const QByteArray& folder) {
    if (!launched_) {
        pendingCommands_.emplace_back(move, folder);
        return;
    }
    if (folder.isEmpty()) {
        UIHandler::performPaste(move, *paste_);
        return;
    }
    const FolderArgument::LocalPathOf localPathOf =
        env_.localPathOf ? env_.localPathOf
                         : FolderArgument::LocalPathOf(FolderArgument::gioLocalPath);
    UIHandler::performPasteInto(move, FolderArgument::resolve(folder.toStdString(), localPathOf),
                                *paste_);
}

void AppDelegate::tellRefusal(PasteRefusal why, const std::string& detail) {
    const QString title = tr("Nothing was pasted");
    QString text;
    switch (why) {
        case PasteRefusal::NoFileManagerInFront:
            text =
                tr("No file-manager window is in front. Click into the folder's window first, "
                   "or choose \"Paste Here with Ferrymark\" in the file manager's own menu.");
            break;
        case PasteRefusal::NoLocation:
            text = tr("The file manager in front did not tell Ferrymark its folder (%1). Choose "
                      "\"Paste Here with Ferrymark\" in its own menu; \"Add to File Managers\" in "
                      "Ferrymark's tray menu puts it there.")
                       .arg(QString::fromStdString(detail));
            break;
        case PasteRefusal::NotAFolder:
            text = tr("Ferrymark pastes only into a folder on a local disk, or one the desktop "
                      "makes reachable as one: %1.")
                       .arg(QString::fromStdString(detail));
            break;
        case PasteRefusal::NoCopiedFiles:
            text = tr("The clipboard holds no copied files. Copy them in the file manager first.");
            break;
    }
    show(title, text);
}

void AppDelegate::show(const QString& title, const QString& text) {
    if (env_.showMessage) {
        env_.showMessage(title, text);
        return;
    }
    if (statusBarMItem_ && statusBarMItem_->isVisible() && QSystemTrayIcon::supportsMessages() &&
        QSystemTrayIcon::isSystemTrayAvailable()) {
        statusBarMItem_->showMessage(title, text, QSystemTrayIcon::Warning);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

QString AppDelegate::autostartFolder() const {
    return env_.autostartFolder.isEmpty() ? AutostartEntry::defaultFolder() : env_.autostartFolder;
}

void AppDelegate::addAppAsLoginItem() {
    AutostartEntry::add(autostartFolder(), QCoreApplication::applicationFilePath());
}

bool AppDelegate::startsAtLogin() const {
    return AutostartEntry::exists(autostartFolder());
}

bool AppDelegate::setStartsAtLogin(bool on) {
    if (on) {
        addAppAsLoginItem();
    } else {
        AutostartEntry::remove(autostartFolder());
    }
    return startsAtLogin();
}

QString AppDelegate::changeHotKey(const QByteArray& slot, const QKeySequence& sequence) {
    const auto& entries = statusMenu_->entries();
    const auto entry =
        std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.slot == slot; });
    if (entry == entries.end()) {
        return tr("There is no such command.");
    }
    const QString oldText = StatusMenu::sequenceOf(entry->keyEquivalent, entry->modifierMask)
                                .toString(QKeySequence::NativeText);
    QString key;
    Qt::KeyboardModifiers mask;
    if (sequence.isEmpty()) {
        // No hot key for this command: the menu entry still runs it.
        if (hotKeysRegistered_ && !entry->keyEquivalent.isEmpty()) {
            GlobalEventHandler::unregisterKeyEquivalent(entry->keyEquivalent, entry->modifierMask);
        }
    } else {
        if (!StatusMenu::keyOf(sequence, &key, &mask)) {
            return tr("Choose a letter, digit or sign together with modifier keys.");
        }
        if (!(mask & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            return tr("A hot key needs Ctrl, Alt or the Super key, so that typing is not taken.");
        }
        for (const auto& other : entries) {
            if (other.slot != slot && other.keyEquivalent.compare(key, Qt::CaseInsensitive) == 0 &&
                other.modifierMask == mask) {
                return tr("%1 already uses this key.").arg(other.action->text());
            }
        }
        if (entry->keyEquivalent.compare(key, Qt::CaseInsensitive) == 0 &&
            entry->modifierMask == mask) {
            return {};
        }
        if (hotKeysRegistered_) {
            // The new grab first: when it fails, the old key is still held.
            if (!GlobalEventHandler::registerKeyEquivalent(key, mask, this, slot,
                                                           keyDescription(*entry->action))) {
                GlobalEventHandler::unregisterKeyEquivalent(key, mask);
                return tr("%1 can not be used: another program holds it, or no key of the "
                          "keyboard types it. The hot key stays %2.")
                    .arg(sequence.toString(QKeySequence::NativeText), oldText);
            }
            if (!entry->keyEquivalent.isEmpty()) {
                GlobalEventHandler::unregisterKeyEquivalent(entry->keyEquivalent,
                                                            entry->modifierMask);
            }
        }
    }
    statusMenu_->setKeyEquivalent(slot, key, mask);
    defaults_->setString(hotKeySetting(slot), sequence.toString(QKeySequence::PortableText));
    defaults_->synchronize();
    return {};
}

void AppDelegate::showPreferences(QObject*) {
    preferences_->show();
}

PreferencesWindow* AppDelegate::preferencesWindow() const {
    return preferences_->window();
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
    quitting_ = true;
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
        QMessageBox::about(nullptr, tr("About Ferrymark"),
                           tr("<b>Ferrymark %1</b><p>Pastes and moves the files you "
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

void AppDelegate::addToFileManagers(QObject*) {
    const bool withKeys =
        env_.confirm &&
        env_.confirm(tr("Also give them the keys Ctrl+Alt+V and Ctrl+Alt+M in the file "
                        "managers that have keys for their entries (Nautilus, Thunar)? A key "
                        "that is already in use there is left as it is."));
    changeFileManagers(true, withKeys);
}

void AppDelegate::removeFromFileManagers(QObject*) {
    changeFileManagers(false, true);
}

void AppDelegate::changeFileManagers(bool add, bool withKeys) {
    IFileManagerEntries::Options options;
    options.home =
        QFile::encodeName(env_.home.isEmpty() ? QDir::homePath() : env_.home).toStdString();
    options.program = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    options.pasteLabel = tr("Paste Here with Ferrymark").toStdString();
    options.moveLabel = tr("Move Here with Ferrymark").toStdString();
    if (withKeys) {
        options.pasteKey = "<Primary><Alt>v";
        options.moveKey = "<Primary><Alt>m";
    }
    QStringList names;
    QStringList notes;
    bool ok = true;
    for (const auto& writer : FileManagerEntries::all()) {
        if (!writer->isInstalled(options)) {
            continue;
        }
        const auto result = add ? writer->add(options) : writer->remove(options);
        ok = ok && result.ok;
        names << QString::fromUtf8(writer->name().data(), qsizetype(writer->name().size()));
        for (const auto& note : result.notes) {
            notes << QString::fromStdString(note);
            env_.host->log(note);
        }
    }
    QString text;
    if (names.isEmpty()) {
        text = tr("No file manager Ferrymark knows is installed.");
    } else if (add) {
        text = tr("\"Paste Here with Ferrymark\" and \"Move Here with Ferrymark\" are in the "
                  "menus of: %1. Open a new window of the file manager to see them.")
                   .arg(names.join(QStringLiteral(", ")));
    } else {
        text =
            tr("Ferrymark's entries were taken out of: %1.").arg(names.join(QStringLiteral(", ")));
    }
    if (!notes.isEmpty()) {
        text += QStringLiteral("\n") + notes.join(QStringLiteral("\n"));
    }
    env_.host->log(std::string(add ? "Added to" : "Removed from") +
                   " file managers: " + names.join(QStringLiteral(", ")).toStdString());
    show(ok ? tr("File managers") : tr("File managers: not everything was done"), text);
}

void AppDelegate::addWindowToMenu(const std::shared_ptr<CopyHandler>& job) {
    env_.host->runOnUiThread([&] {
        windowMenu_->add(job);
        desktopProgress_->add(job);
    });
}

void AppDelegate::removeWindowFromMenu(const std::shared_ptr<CopyHandler>& job) {
    env_.host->runOnUiThread([&] {
        desktopProgress_->remove(job.get());
        windowMenu_->remove(job.get());
    });
}

void AppDelegate::transferEnded(TransferOutcome outcome) {
    // Asked here, on the worker: the UI thread does not wait for the system's disk service.
    std::optional<DriveFacts> disk;
    if (outcome.dataOnDisk() && !outcome.targetPath.empty()) {
        disk = env_.removableDiskOf
                   ? env_.removableDiskOf(outcome.targetPath)
                   : SafeRemoval::removableDiskOf(QDBusConnection::systemBus(), outcome.targetPath);
    }
    // Queued: the worker does not wait for the notification server.
    QMetaObject::invokeMethod(
        this,
        [this, outcome = std::move(outcome), disk = std::move(disk)] {
            if (!quitting_) {
                notices_->jobEnded(outcome, disk);
            }
        },
        Qt::QueuedConnection);
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
