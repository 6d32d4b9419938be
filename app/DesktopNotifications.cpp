#include "app/DesktopNotifications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QVariantMap>

#include "app/DesktopId.h"

namespace ferrymark {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The UI thread waits for the server: a hung one must not freeze the menus for long.
constexpr int kCallTimeoutMs = 3000;

QDBusMessage call(const QString& method) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    // An installed but stopped server would otherwise be started by the bus, perhaps
    // where it has no display to show anything on.
    message.setAutoStartService(false);
    return message;
}

}  // namespace

DesktopNotifications::DesktopNotifications(QDBusConnection bus, QObject* parent)
    : INotifier(parent), bus_(std::move(bus)) {
    if (!bus_.isConnected()) {
        return;
    }
    // Any sender: the server is known by its unique name only once it runs.
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(onActionInvoked(quint32, QString)));
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(onNotificationClosed(quint32, quint32)));
}

bool DesktopNotifications::serverPresent() {
    if (!bus_.isConnected() || !bus_.interface()) {
        return false;
    }
    const QDBusReply<bool> owned = bus_.interface()->isServiceRegistered(kService);
    return owned.isValid() && owned.value();
}

QStringList DesktopNotifications::capabilities() {
    if (!serverPresent()) {
        return {};
    }
    const QDBusReply<QStringList> reply =
        bus_.call(call(QStringLiteral("GetCapabilities")), QDBus::Block, kCallTimeoutMs);
    return reply.isValid() ? reply.value() : QStringList();
}

bool DesktopNotifications::supportsActions() {
    return capabilities().contains(QStringLiteral("actions"));
}

quint32 DesktopNotifications::post(const QString& summary, const QString& body,
                                   const QStringList& actions, bool persistent) {
    if (!serverPresent()) {
        return 0;
    }
    // Paths may hold '<' or '&': a server that reads markup would drop or mangle them.
    const QString shownBody =
        capabilities().contains(QStringLiteral("body-markup")) ? body.toHtmlEscaped() : body;
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), DesktopId::kId);
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(persistent ? 1 : 0));
    QDBusMessage message = call(QStringLiteral("Notify"));
    message << QStringLiteral("Ferrymark") << quint32(0) << QStringLiteral("ferrymark") << summary
            << shownBody << actions << hints << qint32(persistent ? 0 : -1);
    const QDBusReply<quint32> reply = bus_.call(message, QDBus::Block, kCallTimeoutMs);
    if (!reply.isValid() || reply.value() == 0) {
        return 0;
    }
    ours_.insert(reply.value());
    return reply.value();
}

void DesktopNotifications::onActionInvoked(quint32 id, const QString& key) {
    if (ours_.contains(id)) {
        emit actionInvoked(id, key);
    }
}

void DesktopNotifications::onNotificationClosed(quint32 id, quint32 /*reason*/) {
    if (ours_.remove(id)) {
        emit closed(id);
    }
}

}  // namespace ferrymark
