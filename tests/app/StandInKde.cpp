#include "StandInKde.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QFile>
#include <QRegularExpression>

namespace ferrymark::testing {

namespace {
const QString kConnectionName = QStringLiteral("ferrymark-standin-kde");
const QString kComponentPath = QStringLiteral("/component/ferrymark");
const QString kComponentInterface = QStringLiteral("org.kde.kglobalaccel.Component");
}  // namespace

class StandInKde::Service : public QDBusVirtualObject {
  public:
    explicit Service(std::shared_ptr<State> state) : state_(std::move(state)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        std::lock_guard lock(state_->mutex);
        QVariantList reply;
        if (member == QLatin1String("doRegister")) {
        } else if (member == QLatin1String("setShortcut") && args.size() == 3) {
            const QStringList action = args[0].toStringList();
            const auto keys = qdbus_cast<QList<int>>(args[1]);
            QList<int> given;
            for (int key : keys) {
                if (!state_->taken.contains(key)) {
                    given.append(key);
                    state_->shortcuts[action.value(1)] = key;
                }
            }
            reply.append(QVariant::fromValue(given));
        } else if (member == QLatin1String("getComponent")) {
            reply.append(QVariant::fromValue(QDBusObjectPath(kComponentPath)));
        } else if (member == QLatin1String("unregister") && args.size() == 2) {
            reply.append(state_->shortcuts.remove(args[1].toString()) > 0);
        } else if (member == QLatin1String("loadScript") && args.size() == 2) {
            QFile file(args[0].toString());
            file.open(QIODevice::ReadOnly);
            const int id = state_->nextId++;
            state_->scripts[id] = QString::fromUtf8(file.readAll());
            state_->plugins[args[1].toString()] = id;
            reply.append(id);
        } else if (member == QLatin1String("unloadScript") && args.size() == 1) {
            reply.append(state_->scripts.remove(state_->plugins.take(args[0].toString())) > 0);
        } else if (member == QLatin1String("run") &&
                   message.path().startsWith(QLatin1String("/Scripting/Script"))) {
            run(state_->scripts.value(message.path().mid(17).toInt()), connection);
        } else {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, member));
            return true;
        }
        connection.send(message.createReply(reply));
        return true;
    }

  private:
    void run(const QString& script, const QDBusConnection& connection) {
        static const QRegularExpression call(
            QString::fromLatin1(R"re(callDBus\("([^"]*)", "([^"]*)")re"));
        static const QRegularExpression activate(
            QString::fromLatin1(R"re(internalId\) === "([^"]*)")re"));
        if (const auto match = call.match(script); match.hasMatch()) {
            QDBusMessage report = QDBusMessage::createMethodCall(
                match.captured(1), match.captured(2), QStringLiteral("org.ferrymark.KWinWindow"),
                QStringLiteral("Report"));
            const Window& w = state_->active;
            report.setArguments({w.resourceClass, w.caption, w.internalId, w.pid});
            connection.send(report);
        }
        if (const auto match = activate.match(script); match.hasMatch()) {
            state_->activated.append(match.captured(1));
        }
    }

    std::shared_ptr<State> state_;
};

StandInKde::StandInKde()
    : state_(std::make_shared<State>()),
      bus_(std::make_unique<StandInBus>(
          kConnectionName, QStringLiteral("/"), std::make_unique<Service>(state_),
          QStringList{QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("org.kde.KWin")},
          QDBusConnection::SubPath)) {}

StandInKde::~StandInKde() = default;

void StandInKde::setActiveWindow(Window window) {
    std::lock_guard lock(state_->mutex);
    state_->active = std::move(window);
}

void StandInKde::takeKey(int key) {
    std::lock_guard lock(state_->mutex);
    state_->taken.insert(key);
}

QMap<QString, int> StandInKde::shortcuts() const {
    std::lock_guard lock(state_->mutex);
    return state_->shortcuts;
}

QStringList StandInKde::activated() const {
    std::lock_guard lock(state_->mutex);
    return state_->activated;
}

int StandInKde::loadedScripts() const {
    std::lock_guard lock(state_->mutex);
    return static_cast<int>(state_->scripts.size());
}

void StandInKde::press(const QString& shortcut) {
    QDBusMessage signal = QDBusMessage::createSignal(kComponentPath, kComponentInterface,
                                                     QStringLiteral("globalShortcutPressed"));
    signal.setArguments({QStringLiteral("ferrymark"), shortcut, qlonglong(0)});
    bus_->connection().send(signal);
}

}  // namespace ferrymark::testing
