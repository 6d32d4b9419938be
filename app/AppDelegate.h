#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

#include "app/CopiedFiles.h"
#include "app/TransferThreads.h"
#include "app/UIHandler.h"

class QAction;
class QKeySequence;
class QMenu;
class QSystemTrayIcon;

namespace ferrymark {

class CopyHandler;
class IFileManagerBridge;
class IJobHost;
class PreferencesWindow;
class StatusMenu;
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
    bool registerHotKeys = true;
    bool showTrayIcon = true;
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

    QMenu* statusBarMenu() const;
    QAction* windowMenuItem() const;
    QMenu* windowMenu() const;
    QSystemTrayIcon* statusBarMItem() const { return statusBarMItem_.get(); }
    TransferThreads& transfers() { return threads_; }

    // Preferences. The autostart entry itself is the setting: it is there or not.
    bool startsAtLogin() const;
    bool setStartsAtLogin(bool on);
    // Moves the grab of slot's hot key to sequence and stores it. Empty when done, else
    // why not; the old key stays then.
    QString changeHotKey(const QByteArray& slot, const QKeySequence& sequence);
    PreferencesWindow* preferencesWindow() const { return preferences_; }

  public slots:
    void doPaste(QObject* sender);
    void doMove(QObject* sender);
    void quit(QObject* sender);
    // SIGTERM or SIGINT: nobody may be there to answer, so nothing is asked. Open windows
    // are answered Stop, transfers are stopped (their partial files removed) and the
    // program ends, also while a modal window's loop runs.
    void terminateFromSignal();
    void showAboutDialog(QObject* sender);
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
    static void closeModalWindows();
    void finishTermination();

    AppEnvironment env_;
    std::unique_ptr<UserDefaults> defaults_;
    std::unique_ptr<StatusMenu> statusMenu_;
    std::unique_ptr<WindowMenu> windowMenu_;
    std::unique_ptr<QSystemTrayIcon> statusBarMItem_;
    TransferThreads threads_;
    std::unique_ptr<PasteContext> paste_;
    bool terminated_ = false;
    bool hotKeysRegistered_ = false;
    bool terminatingFromSignal_ = false;
    // The agreement's answer to starting at login; later runs keep what is on disk.
    bool startAtLoginChosen_ = true;
    PreferencesWindow* preferences_ = nullptr;
};

}  // namespace ferrymark
