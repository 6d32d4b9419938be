#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/FileManagers.h"
#include "platform/IFileManagerBridge.h"

namespace ferrymark {

// The file-manager bridge on KDE Plasma's Wayland session: a short KWin script, loaded
// over D-Bus, reports the active window back to us; its resource class says whose it
// is and its caption where it is. Another script activates it again.
class KWinFileManagerBridge final : public QObject, public IFileManagerBridge {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.ferrymark.KWinWindow")
  public:
    static inline const QString kObjectPath = QStringLiteral("/org/ferrymark/KWinWindow");
    static constexpr int kTimeoutMs = 3000;

    // A bridge when KWin is on the bus, else null. ownPid: our own windows in front leave
    // the file manager seen last in front.
    static std::unique_ptr<KWinFileManagerBridge> create(QDBusConnection bus, std::int64_t ownPid);
    KWinFileManagerBridge(QDBusConnection bus, std::int64_t ownPid);
    ~KWinFileManagerBridge() override;

    bool isFileManagerFrontmost() override;
    InsertionLocation insertionLocation() override;
    bool activateFileManager() override;

    // The scripts, for the log and the tests.
    static QString reportScript(const QString& service);
    static QString activateScript(const QString& internalId);

  public slots:
    // Called by the report script.
    Q_SCRIPTABLE void Report(const QString& resourceClass, const QString& caption,
                             const QString& internalId, int pid);

  signals:
    void reported();

  private:
    struct Window {
        QString resourceClass;
        QString caption;
        QString internalId;
        std::int64_t pid = 0;
    };
    struct FileManagerWindow {
        Window window;
        FileManagers::Kind kind;
    };
    bool runScript(const QString& source);
    std::optional<Window> activeWindow();
    std::optional<FileManagerWindow> frontmostFileManager();

    QDBusConnection bus_;
    std::int64_t ownPid_;
    bool registered_ = false;
    int scriptCounter_ = 0;
    std::optional<Window> report_;
    std::optional<FileManagerWindow> last_;
};

}  // namespace ferrymark
