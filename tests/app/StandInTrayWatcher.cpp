#include "StandInTrayWatcher.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>

namespace ferrymark::testing {

namespace {
const QString kConnectionName = QStringLiteral("ferrymark-standin-tray-watcher");
const QString kPath = QStringLiteral("/StatusNotifierWatcher");
const QString kInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
}  // namespace

class StandInTrayWatcher::Service : public QDBusVirtualObject {
  public:
    explicit Service(std::shared_ptr<State> state) : state_(std::move(state)) {}

    // Qt's tray asks through a QDBusInterface, which needs the interface described.
    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\">"
            "<arg name=\"service\" type=\"s\" direction=\"in\"/></method>"
            "<method name=\"RegisterStatusNotifierHost\">"
            "<arg name=\"service\" type=\"s\" direction=\"in\"/></method>"
            "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
            "<signal name=\"StatusNotifierItemRegistered\"><arg type=\"s\"/></signal>"
            "<signal name=\"StatusNotifierItemUnregistered\"><arg type=\"s\"/></signal>"
            "<signal name=\"StatusNotifierHostRegistered\"/>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        if (member == QLatin1String("Introspect")) {
            return false;  // Qt answers it from introspect()
        }
        const QList<QVariant> args = message.arguments();
        std::lock_guard lock(state_->mutex);
        if (member == QLatin1String("RegisterStatusNotifierItem") && args.size() == 1) {
            // An item names its bus name, or only its path on the sender's connection.
            QString item = args[0].toString();
            if (item.startsWith(QLatin1Char('/'))) {
                item = message.service() + item;
            } else if (!item.contains(QLatin1Char('/'))) {
                item += QStringLiteral("/StatusNotifierItem");
            }
            state_->items.append(item);
            connection.send(message.createReply());
            QDBusMessage signal = QDBusMessage::createSignal(
                kPath, kInterface, QStringLiteral("StatusNotifierItemRegistered"));
            signal.setArguments({item});
            connection.send(signal);
        } else if (member == QLatin1String("RegisterStatusNotifierHost")) {
            connection.send(message.createReply());
        } else if (member == QLatin1String("Get") && args.size() == 2) {
            const QString property = args[1].toString();
            QVariant value;
            if (property == QLatin1String("IsStatusNotifierHostRegistered")) {
                value = true;
            } else if (property == QLatin1String("ProtocolVersion")) {
                value = 0;
            } else if (property == QLatin1String("RegisteredStatusNotifierItems")) {
                value = state_->items;
            }
            connection.send(value.isValid()
                                ? message.createReply(QVariant::fromValue(QDBusVariant(value)))
                                : message.createErrorReply(QDBusError::UnknownProperty, property));
        } else {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, member));
        }
        return true;
    }

  private:
    std::shared_ptr<State> state_;
};

StandInTrayWatcher::StandInTrayWatcher()
    : state_(std::make_shared<State>()),
      bus_(std::make_unique<StandInBus>(
          kConnectionName, kPath, std::make_unique<Service>(state_),
          QStringList{QStringLiteral("org.kde.StatusNotifierWatcher")})) {}

StandInTrayWatcher::~StandInTrayWatcher() = default;

QStringList StandInTrayWatcher::items() const {
    std::lock_guard lock(state_->mutex);
    return state_->items;
}

}  // namespace ferrymark::testing
