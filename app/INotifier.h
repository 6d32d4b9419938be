#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace ferrymark {

// Short messages on the desktop, outside our own windows. Actions are pairs of a key and
// its label; the key comes back through actionInvoked when the user picks it.
class INotifier : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Whether something on the desktop shows the messages now.
    virtual bool serverPresent() = 0;
    // Whether the user can pick a message's actions there.
    virtual bool supportsActions() = 0;
    // The message's id, or 0 when it could not be posted.
    virtual quint32 post(const QString& summary, const QString& body,
                         const QStringList& actions = {}, bool persistent = false) = 0;

  signals:
    // Only for messages this notifier posted.
    void actionInvoked(quint32 id, const QString& key);
    void closed(quint32 id);
};

}  // namespace ferrymark
