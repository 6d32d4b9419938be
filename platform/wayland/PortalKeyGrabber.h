#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/IKeyGrabber.h"
#include "platform/wayland/PortalShortcut.h"

namespace ferrymark {

// Global keys through the desktop portal's GlobalShortcuts interface. The portal binds a
// session's shortcuts once, all together, and may ask the user first: grabs are
// gathered and bound in one session after the current event; a change of grabs makes a
// new session. Only what the portal's answer lists as bound counts: the rest is logged
// as off. Each shortcut is known by its purpose's name, as desktops remember the user's
// choice of key by it (GNOME asks only for names it has not seen).
class PortalKeyGrabber final : public QObject, public IKeyGrabber, protected QDBusContext {
    Q_OBJECT
  public:
    using Log = std::function<void(const std::string& line)>;
    static inline const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");

    // A grabber when the portal offers GlobalShortcuts on the session bus, else null. appId
    // must be the name of our desktop entry. The grabber talks to the portal on a
    // connection of its own, so that it can tell the portal appId first: the portal takes
    // an app id only before any other call on a connection, and Qt and the colour scheme
    // have long read the portal's settings on the shared one.
    static std::unique_ptr<PortalKeyGrabber> create(QDBusConnection bus, QString appId, Log log);
    // On bus as it is; appId is told to the portal before the first session.
    PortalKeyGrabber(QDBusConnection bus, QString appId, Log log);
    ~PortalKeyGrabber() override;

    std::vector<std::pair<std::uint32_t, QString>> keyCharacters() override;
    Grab grab(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyId id,
              const Purpose& purpose) override;
    void ungrab(GrabRef ref) override;
    void setHandlers(EventHandler onKey, LayoutHandler onLayoutChange) override;

    // The shortcut in the XDG shortcut form the portal takes, such as "CTRL+ALT+v".
    static QString trigger(std::uint32_t keyCode, std::uint32_t modifiers);

  private slots:
    void bind();
    void response(uint code, const QVariantMap& results);
    void activated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                   const QVariantMap& options);

  private:
    struct Entry {
        QString id;
        QString description;
        QString trigger;
        HotKeyId hotKey;
        bool bound = false;  // listed in the portal's answer
    };
    enum class Pending { CreateSession, BindShortcuts };

    QList<PortalShortcut> shortcuts() const;
    QString requestPath(const QString& token) const;
    bool request(const QString& method, const QVariantList& arguments, const QString& token,
                 Pending kind);
    void closeSession();
    void shortcutsBound(const QVariantMap& results);

    QDBusConnection bus_;
    QString ownConnection_;  // the name of a connection made for us alone, to close
    QString appId_;
    Log log_;
    EventHandler onKey_;
    bool registered_ = false;
    bool bindQueued_ = false;
    int tokens_ = 0;
    GrabRef nextRef_ = 1;
    std::map<GrabRef, Entry> grabs_;
    std::map<QString, Pending> pending_;  // by request path
    QString session_;
};

}  // namespace ferrymark
