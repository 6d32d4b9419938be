#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CopiedFiles.h"
#include "app/TransferThreads.h"
#include "app/UIHandler.h"
#include "platform/freedesktop/DriveFacts.h"

class QAction;
class QKeySequence;
class QMenu;
class QSystemTrayIcon;

namespace ferrymark {

class CopyHandler;
class DesktopProgress;
class IFileManagerBridge;
class IJobHost;
class INotifier;
class PreferencesPresenter;
class LinkPreference;
class PreferencesWindow;
class SafeRemoval;
class StatusMenu;
class TransferNotices;
class TurnsPreference;
class UserDefaults;
class WindowMenu;

// What the delegate needs from the desktop; tests put stand-ins in place.
struct AppEnvironment {
    IJobHost* host = nullptr;
    IFileManagerBridge* bridge = nullptr;  // null: no file manager can be asked here
    std::function<CopiedFiles()> readClipboard;
    QString settingsPath;     // empty: the user's own settings
    QString autostartFolder;  // empty: the user's XDG autostart folder
    QString aboutDocument;    // empty: About-Ferrymark.pdf beside the program or installed
    std::function<bool(const QString& path)> openDocument;  // empty: the default viewer
    // Shows why a command did nothing; empty: a tray balloon, or a small message window
    // when there is no tray.
    std::function<void(const QString& title, const QString& text)> showMessage;
    // The local path of a remote folder URI; empty: asked of GIO.
    std::function<std::optional<std::string>(const std::string& uri)> localPathOf;
    // Asks the user a yes-or-no question; empty: never asked (the file-manager entries are
    // then not offered at the first start, and keys are not added).
    std::function<bool(const QString& question)> confirm;
    QString home;  // empty: the user's home folder, where the file managers keep their entries
    bool registerHotKeys = true;
    // Told once per key, ever: how the commands reach us on this desktop. Empty: nothing.
    QString sessionNoticeKey;
    QString sessionNotice;
    bool showTrayIcon = true;
    INotifier* notifier = nullptr;  // null: the desktop's notification server
    // Any thread: the removable disk a target folder lies on. Empty: asked of UDisks2 on
    // the system bus.
    std::function<std::optional<DriveFacts>(const std::string& path)> removableDiskOf;
    // How long a quit waits for stopped transfers to remove their partial files.
    std::chrono::milliseconds quitGrace{5000};
};

// The application's delegate: start-up, the tray icon and its menu, the hot keys, the
// window menu of running transfers, the about document and quitting.
class AppDelegate : public QObject {
    Q_OBJECT
  public:
    explicit AppDelegate(AppEnvironment environment, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    // True to quit now; with transfers running the user is asked first.
    bool applicationShouldTerminate();
    void applicationWillTerminate();
    // True once the user has disagreed or quit: the event loop should end.
    bool terminated() const { return terminated_; }

    // Any thread; carried out on the UI thread before returning.
    void addWindowToMenu(const std::shared_ptr<CopyHandler>& job);
    void removeWindowFromMenu(const std::shared_ptr<CopyHandler>& job);
    // Any thread: a job has ended; the user hears of it on the UI thread.
    void transferEnded(TransferOutcome outcome);

    QMenu* statusBarMenu() const;
    QAction* windowMenuItem() const;
    QMenu* windowMenu() const;
    QSystemTrayIcon* statusBarMItem() const { return statusBarMItem_.get(); }
    TransferThreads& transfers() { return threads_; }
    TransferNotices& notices() { return *notices_; }
    SafeRemoval& safeRemoval() { return *safeRemoval_; }
    DesktopProgress& desktopProgress() { return *desktopProgress_; }

    // Paste or Move from the command line or a file manager's entry: into folder (a path
    // or URI), or with none into the folder of the file-manager window in front. Held
    // until start-up has finished.
    void runCommand(bool move, const QByteArray& folder);

    // Preferences. The autostart entry itself is the setting: it is there or not.
    bool startsAtLogin() const;
    bool setStartsAtLogin(bool on);
    // Moves the grab of slot's hot key to sequence and stores it. Empty when done, else
    // why not; the old key stays then.
    QString changeHotKey(const QByteArray& slot, const QKeySequence& sequence);
    PreferencesWindow* preferencesWindow() const;

  public slots:
    void doPaste(QObject* sender);
    void doMove(QObject* sender);
    void quit(QObject* sender);
    // SIGTERM or SIGINT: nobody may be there to answer, so nothing is asked. Open windows
    // are answered Stop, transfers are stopped (their partial files removed) and the
    // program ends, also while a modal window's loop runs.
    void terminateFromSignal();
    void showAboutDialog(QObject* sender);
    // Puts "Paste Here with Ferrymark" and "Move Here with Ferrymark" into the menus of
    // every installed file manager, and takes them out again.
    void addToFileManagers(QObject* sender);
    void removeFromFileManagers(QObject* sender);
    void showPreferences(QObject* sender);
    void clickLicenseAgree();
    void clickLicenseDisagree();
    void doApplicationLaunch();

  signals:
    void terminateRequested();

  private:
    void addAppAsLoginItem();
    QString autostartFolder() const;
    void applyStoredHotKeys();
    QString aboutDocumentPath() const;
    void waitForTransfers();
    void tellRefusal(PasteRefusal why, const std::string& detail);
    void show(const QString& title, const QString& text);
    void changeFileManagers(bool add, bool withKeys);
    void offerFileManagerEntries();
    void tellSessionNotice();
    static void closeModalWindows();
    void finishTermination();

    AppEnvironment env_;
    std::unique_ptr<UserDefaults> defaults_;
    std::unique_ptr<LinkPreference> linkPreference_;
    std::unique_ptr<TurnsPreference> turnsPreference_;
    std::unique_ptr<StatusMenu> statusMenu_;
    std::unique_ptr<WindowMenu> windowMenu_;
    std::unique_ptr<QSystemTrayIcon> statusBarMItem_;
    std::unique_ptr<INotifier> ownNotifier_;
    std::unique_ptr<TransferNotices> notices_;
    std::unique_ptr<SafeRemoval> safeRemoval_;
    std::unique_ptr<DesktopProgress> desktopProgress_;
    TransferThreads threads_;
    std::unique_ptr<PasteContext> paste_;
    bool terminated_ = false;
    // Once the user has chosen to quit and stop every transfer, their ends are no news.
    bool quitting_ = false;
    bool hotKeysRegistered_ = false;
    bool launched_ = false;
    std::vector<std::pair<bool, QByteArray>> pendingCommands_;
    bool terminatingFromSignal_ = false;
    // The agreement's answer to starting at login; later runs keep what is on disk.
    bool startAtLoginChosen_ = true;
    std::unique_ptr<PreferencesPresenter> preferences_;
};

}  // namespace ferrymark
