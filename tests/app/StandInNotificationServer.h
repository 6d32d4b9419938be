#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QVariantMap>
#include <mutex>
#include <vector>

namespace ferrymark::testing {

// Owns org.freedesktop.Notifications on the session bus from a thread of its own (the
// client blocks on its calls), keeps what it was sent and sends the server's signals.
class StandInNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    struct Received {
        QString appName;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeout;
    };

    explicit StandInNotificationServer(QStringList capabilities);
    ~StandInNotificationServer() override;
    // False when the name could not be had (another server owns it).
    bool registered() const { return registered_; }
    std::vector<Received> received() const;

    void sendActionInvoked(quint32 id, const QString& key);
    void sendClosed(quint32 id);

  public slots:
    QStringList GetCapabilities();
    quint32 Notify(const QString& appName, quint32 replacesId, const QString& icon,
                   const QString& summary, const QString& body, const QStringList& actions,
                   const QVariantMap& hints, int timeout);

  signals:
    void ActionInvoked(quint32 id, const QString& key);
    void NotificationClosed(quint32 id, quint32 reason);

  private:
    QThread thread_;
    QDBusConnection bus_;
    QStringList capabilities_;
    bool registered_ = false;
    mutable std::mutex lock_;
    std::vector<Received> received_;
};

}  // namespace ferrymark::testing
