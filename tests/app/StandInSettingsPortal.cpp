#include "StandInSettingsPortal.h"

namespace ferrymark::testing {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kConnection = QStringLiteral("stand-in-portal");

}  // namespace

StandInSettingsPortal::StandInSettingsPortal(const QString& address, uint colourScheme,
                                             bool hasReadOne)
    : bus_(QDBusConnection::connectToBus(address, kConnection)),
      colourScheme_(colourScheme),
      hasReadOne_(hasReadOne) {
    // Without it the bus does not relay SettingChanged.
    qRegisterMetaType<QDBusVariant>();
    registered_ =
        bus_.registerObject(kPath, this,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
        bus_.registerService(kService);
}

StandInSettingsPortal::~StandInSettingsPortal() {
    bus_.unregisterService(kService);
    bus_.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(kConnection);
}

void StandInSettingsPortal::change(uint colourScheme) {
    colourScheme_ = colourScheme;
    emit SettingChanged(QStringLiteral("org.freedesktop.appearance"),
                        QStringLiteral("color-scheme"), QDBusVariant(colourScheme));
}

bool StandInSettingsPortal::known(const QString& nameSpace, const QString& key) {
    if (nameSpace == QStringLiteral("org.freedesktop.appearance") &&
        key == QStringLiteral("color-scheme")) {
        return true;
    }
    sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                   QStringLiteral("Requested setting not found"));
    return false;
}

QDBusVariant StandInSettingsPortal::ReadOne(const QString& nameSpace, const QString& key) {
    if (!hasReadOne_) {
        sendErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method ReadOne"));
        return {};
    }
    if (!known(nameSpace, key)) {
        return {};
    }
    return QDBusVariant(colourScheme_);
}

QDBusVariant StandInSettingsPortal::Read(const QString& nameSpace, const QString& key) {
    if (!known(nameSpace, key)) {
        return {};
    }
    // Read answers with the value wrapped in a second variant.
    return QDBusVariant(QVariant::fromValue(QDBusVariant(colourScheme_)));
}

}  // namespace ferrymark::testing
