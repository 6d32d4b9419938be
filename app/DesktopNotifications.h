#pragma once

#include <QDBusConnection>
#include <QSet>
#include <QStringList>

#include "app/INotifier.h"

namespace ferrymark {

// The desktop's notification server (org.freedesktop.Notifications) on the session bus,
// called by hand so that only our own messages' signals reach us.
class DesktopNotifications final : public INotifier {
    Q_OBJECT
  public:
    explicit DesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);

    bool serverPresent() override;
    bool supportsActions() override;
    quint32 post(const QString& summary, const QString& body, const QStringList& actions = {},
                 bool persistent = false) override;

  private slots:
    void onActionInvoked(quint32 id, const QString& key);
    void onNotificationClosed(quint32 id, quint32 reason);

  private:
    QStringList capabilities();

    QDBusConnection bus_;
    QSet<quint32> ours_;
};

}  // namespace ferrymark
