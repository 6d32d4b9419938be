#include "app/InstanceClient.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include "app/InstanceService.h"

namespace ferrymark {
namespace {

constexpr int kCallTimeoutMs = 10000;

bool running(QDBusConnection& bus) {
    const auto reply = bus.interface()->isServiceRegistered(InstanceService::kServiceName);
    return reply.isValid() && reply.value();
}

}  // namespace

InstanceClient::Outcome InstanceClient::send(QDBusConnection bus, bool move,
                                             const QByteArray& folder, const QString& program,
                                             std::chrono::milliseconds startTimeout) {
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return {false, QCoreApplication::translate(
                           "InstanceClient",
                           "No session bus was found; start Ferrymark inside your desktop "
                           "session.")};
    }
    if (!running(bus)) {
        if (program.isEmpty()) {
            return {false, QCoreApplication::translate(
                               "InstanceClient",
                               "Ferrymark is not running, and it needs a graphical desktop "
                               "session to start (no DISPLAY).")};
        }
        if (!QProcess::startDetached(program, {})) {
            return {false, QCoreApplication::translate("InstanceClient",
                                                       "Ferrymark could not be started.")};
        }
        const QDeadlineTimer deadline(startTimeout.count());
        while (!running(bus)) {
            if (deadline.hasExpired()) {
                return {false, QCoreApplication::translate(
                                   "InstanceClient",
                                   "Ferrymark was started but did not come up in time.")};
            }
            QThread::msleep(50);
        }
    }
    // Text where it can be, so that an instance of an earlier version understands it too.
    const QString text = QString::fromUtf8(folder);
    const bool asText = text.toUtf8() == folder;
    QDBusMessage call = QDBusMessage::createMethodCall(
        InstanceService::kServiceName, InstanceService::kObjectPath, InstanceService::kServiceName,
        QString(move ? "Move" : "Paste") + (asText ? "" : "Path"));
    if (asText) {
        call << text;
    } else {
        call << folder;
    }
    // Never let the bus start something else under the name.
    call.setAutoStartService(false);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return {false, reply.errorMessage()};
    }
    return {true, {}};
}

}  // namespace ferrymark
