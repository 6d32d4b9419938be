#include "StandInJobViewServer.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QXmlStreamReader>

#include "JobViewInterfaces.h"

namespace ferrymark::testing {
namespace {

const QString kConnection = QStringLiteral("stand-in-job-views");
const QString kServerPath = QStringLiteral("/JobViewServer");

// The declared argument types of a method; null for a method not declared.
QString declared(const QString& interface, const QString& member) {
    const auto methods =
        JobViewInterfaces::signatures(JobViewInterfaces::declared().value(interface), interface);
    const auto it = methods.find(QStringLiteral("method ") + member);
    return it == methods.end() ? QString() : it->section(QStringLiteral(" -> "), 0, 0);
}

}  // namespace

StandInJobViewServer::StandInJobViewServer(const QString& address, bool offersV3)
    : bus_(QDBusConnection::connectToBus(address, kConnection)), offersV3_(offersV3) {
    registered_ = bus_.isConnected() &&
                  bus_.registerVirtualObject(kServerPath, this, QDBusConnection::SubPath) &&
                  bus_.registerService(QStringLiteral("org.kde.JobViewServer")) &&
                  bus_.registerService(QStringLiteral("org.kde.kuiserver"));
}

StandInJobViewServer::~StandInJobViewServer() {
    bus_.unregisterService(QStringLiteral("org.kde.kuiserver"));
    bus_.unregisterService(QStringLiteral("org.kde.JobViewServer"));
    bus_.unregisterObject(kServerPath, QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus(kConnection);
}

QString StandInJobViewServer::introspect(const QString& path) const {
    const auto declared = JobViewInterfaces::declared();
    if (path == kServerPath) {
        return declared.value(QStringLiteral("org.kde.JobViewServer")) +
               (offersV3_ ? declared.value(QStringLiteral("org.kde.JobViewServerV2")) : QString());
    }
    return declared.value(offersV3_ ? QStringLiteral("org.kde.JobViewV3")
                                    : QStringLiteral("org.kde.JobViewV2"));
}

bool StandInJobViewServer::handleMessage(const QDBusMessage& message,
                                         const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage) {
        return false;
    }
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Introspectable")) {
        connection.send(message.createReply(QStringLiteral("<node>") + introspect(message.path()) +
                                            QStringLiteral("</node>")));
        return true;
    }
    QVariantList arguments = message.arguments();
    for (QVariant& argument : arguments) {
        // Dictionaries come still marshalled.
        if (argument.canConvert<QDBusArgument>()) {
            argument = qdbus_cast<QVariantMap>(argument.value<QDBusArgument>());
        }
    }
    calls.push_back({message.path(), message.interface(), message.member(), arguments});
    const QString expected = declared(message.interface(), message.member());
    if (expected.isNull() || expected != message.signature()) {
        wrongSignatures << message.interface() + QLatin1Char('.') + message.member() +
                               QLatin1Char('(') + message.signature() + QLatin1Char(')');
    }
    QDBusMessage reply = message.createReply();
    if (message.interface() == QLatin1String("org.kde.JobViewServerV2") && !offersV3_) {
        reply = message.createErrorReply(QDBusError::UnknownInterface, message.interface());
    } else if (message.member() == QLatin1String("requestView")) {
        const QString view = kServerPath + QStringLiteral("/JobView_%1").arg(views.size() + 1);
        views << view;
        reply << QVariant::fromValue(QDBusObjectPath(view));
    } else if (message.member() == QLatin1String("setDescriptionField")) {
        reply << true;
    } else if (expected.isNull()) {
        reply = message.createErrorReply(QDBusError::UnknownMethod, message.member());
    }
    if (message.isReplyRequired()) {
        connection.send(reply);
    }
    return true;
}

std::vector<StandInJobViewServer::Call> StandInJobViewServer::callsOf(const QString& member) const {
    std::vector<Call> out;
    for (const Call& call : calls) {
        if (call.member == member) {
            out.push_back(call);
        }
    }
    return out;
}

QVariantMap StandInJobViewServer::updated() const {
    QVariantMap state;
    for (const Call& call : callsOf(QStringLiteral("update"))) {
        const QVariantMap properties = call.arguments.value(0).toMap();
        for (auto it = properties.begin(); it != properties.end(); ++it) {
            state.insert(it.key(), it.value());
        }
    }
    return state;
}

void StandInJobViewServer::press(const QString& view, const QString& signal) {
    bus_.send(QDBusMessage::createSignal(
        view, offersV3_ ? QStringLiteral("org.kde.JobViewV3") : QStringLiteral("org.kde.JobViewV2"),
        signal));
}

}  // namespace ferrymark::testing
