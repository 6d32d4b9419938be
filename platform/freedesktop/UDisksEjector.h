#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include "platform/freedesktop/DriveFacts.h"

class QDBusPendingCallWatcher;

namespace ferrymark {

// Ejects a disk through UDisks2 on the system bus: unmounts each of its mounted file
// systems, then powers the drive off where it can be, else ejects it where it is
// ejectable. A disk without a drive object (a loop device) is only unmounted. One disk per ejector;
// asynchronous, so the UI thread goes on while the system flushes or asks for a password.
class UDisksEjector : public QObject {
    Q_OBJECT
  public:
    // The step that failed, for the caller's words.
    enum class Step { None, Unmount, PowerOff, Eject };
    Q_ENUM(Step)

    explicit UDisksEjector(QDBusConnection bus, QObject* parent = nullptr);

    void eject(const DriveFacts& disk);

  signals:
    // message: UDisks2's own words when a step failed.
    void finished(bool ok, ferrymark::UDisksEjector::Step failed, const QString& message);

  private:
    void next();
    void call(const QString& object, const QString& interface, const QString& method, Step step);
    void onReply(QDBusPendingCallWatcher* watcher, Step step);

    QDBusConnection bus_;
    DriveFacts disk_;
    int unmounted_ = 0;
    bool driveDone_ = false;
};

}  // namespace ferrymark
