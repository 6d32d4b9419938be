#include "StandInNotificationServer.h"

namespace ferrymark::testing {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
}

StandInNotificationServer::StandInNotificationServer(QStringList capabilities)
    : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                         QStringLiteral("stand-in-notification-server"))),
      capabilities_(std::move(capabilities)) {
    thread_.start();
    moveToThread(&thread_);
    registered_ =
        bus_.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
        bus_.registerService(kService);
}

StandInNotificationServer::~StandInNotificationServer() {
    bus_.unregisterService(kService);
    bus_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("stand-in-notification-server"));
    thread_.quit();
    thread_.wait();
}

std::vector<StandInNotificationServer::Received> StandInNotificationServer::received() const {
    std::lock_guard guard(lock_);
    return received_;
}

void StandInNotificationServer::sendActionInvoked(quint32 id, const QString& key) {
    emit ActionInvoked(id, key);
}

void StandInNotificationServer::sendClosed(quint32 id) {
    emit NotificationClosed(id, 2);
}

QStringList StandInNotificationServer::GetCapabilities() {
    return capabilities_;
}

quint32 StandInNotificationServer::Notify(const QString& appName, quint32, const QString& icon,
                                          const QString& summary, const QString& body,
                                          const QStringList& actions, const QVariantMap& hints,
                                          int timeout) {
    std::lock_guard guard(lock_);
    received_.push_back({appName, icon, summary, body, actions, hints, timeout});
    return static_cast<quint32>(40 + received_.size());
}

}  // namespace ferrymark::testing
