#include "platform/freedesktop/UDisksEjector.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "platform/freedesktop/UDisksSnapshot.h"

namespace ferrymark {
namespace {

// Unmounting waits for the disk to take what the cache still holds, and the system may
// ask the user for a password first.
constexpr int kCallTimeoutMs = 5 * 60 * 1000;

}  // namespace

UDisksEjector::UDisksEjector(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

void UDisksEjector::eject(const DriveFacts& disk) {
    disk_ = disk;
    unmounted_ = 0;
    driveDone_ = false;
    next();
}

void UDisksEjector::next() {
    if (unmounted_ < disk_.mounted.size()) {
        call(disk_.mounted.at(unmounted_).object,
             QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Unmount"),
             Step::Unmount);
        return;
    }
    // A medium in a slot that neither powers off nor ejects (a memory card in a built-in
    // reader) is free to go once unmounted.
    if (disk_.drive.isEmpty() || driveDone_ || (!disk_.canPowerOff && !disk_.ejectable)) {
        emit finished(true, Step::None, {});
        return;
    }
    driveDone_ = true;
    const bool powerOff = disk_.canPowerOff;
    call(disk_.drive, QStringLiteral("org.freedesktop.UDisks2.Drive"),
         powerOff ? QStringLiteral("PowerOff") : QStringLiteral("Eject"),
         powerOff ? Step::PowerOff : Step::Eject);
}

void UDisksEjector::call(const QString& object, const QString& interface, const QString& method,
                         Step step) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(UDisksSnapshot::kService, object, interface, method);
    // No options: the system may ask the user to authenticate.
    message << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, step](QDBusPendingCallWatcher* w) { onReply(w, step); });
}

void UDisksEjector::onReply(QDBusPendingCallWatcher* watcher, Step step) {
    watcher->deleteLater();
    const QDBusPendingReply<> reply = *watcher;
    if (reply.isError()) {
        emit finished(false, step, reply.error().message());
        return;
    }
    if (step == Step::Unmount) {
        ++unmounted_;
    }
    next();
}

}  // namespace ferrymark
