#include "StandInNautilus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>

namespace ferrymark::testing {

namespace {
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");
const QString kConnectionName = QStringLiteral("ferrymark-standin-nautilus");
}  // namespace

class StandInNautilus::Service : public QDBusVirtualObject {
  public:
    explicit Service(std::shared_ptr<State> state) : state_(std::move(state)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QList<QVariant> args = message.arguments();
        if (message.interface() != QStringLiteral("org.freedesktop.DBus.Properties") ||
            message.member() != QStringLiteral("Get") || args.size() != 2 ||
            args[0].toString() != QStringLiteral("org.freedesktop.FileManager1") ||
            args[1].toString() != QStringLiteral("OpenWindowsWithLocations")) {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
            return true;
        }
        QDBusArgument map;
        {
            std::lock_guard lock(state_->mutex);
            ++state_->calls;
            map.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QStringList>());
            for (auto it = state_->locations.cbegin(); it != state_->locations.cend(); ++it) {
                map.beginMapEntry();
                map << it.key() << it.value();
                map.endMapEntry();
            }
            map.endMap();
        }
        connection.send(
            message.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(map)))));
        return true;
    }

  private:
    std::shared_ptr<State> state_;
};

StandInNautilus::StandInNautilus()
    : state_(std::make_shared<State>()),
      bus_(std::make_unique<StandInBus>(kConnectionName, kPath, std::make_unique<Service>(state_),
                                        QStringList{})) {}

StandInNautilus::~StandInNautilus() = default;

void StandInNautilus::setLocations(Locations locations) {
    std::lock_guard lock(state_->mutex);
    state_->locations = std::move(locations);
}

int StandInNautilus::calls() const {
    std::lock_guard lock(state_->mutex);
    return state_->calls;
}

}  // namespace ferrymark::testing
