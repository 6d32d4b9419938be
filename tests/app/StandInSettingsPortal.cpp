#include "StandInSettingsPortal.h"

#include <QFile>

namespace ferrymark::testing {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kConnection = QStringLiteral("stand-in-portal");

const char* const kBusConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

PrivateBus::PrivateBus() {
    const QString config = dir_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QString::fromLatin1(kBusConfig).arg(dir_.path()).toUtf8()) < 0) {
        error_ = QStringLiteral("cannot write ") + config;
        return;
    }
    file.close();
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    if (!daemon_.waitForStarted()) {
        error_ = QStringLiteral("dbus-daemon could not be started: ") + daemon_.errorString();
        return;
    }
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(10'000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (address_.isEmpty()) {
        error_ = QStringLiteral("dbus-daemon gave no address: ") +
                 QString::fromLocal8Bit(daemon_.readAllStandardError());
    }
}

PrivateBus::~PrivateBus() {
    daemon_.terminate();
    if (!daemon_.waitForFinished(5'000)) {
        daemon_.kill();
        daemon_.waitForFinished();
    }
}

StandInSettingsPortal::StandInSettingsPortal(const QString& address, uint colourScheme, bool hasReadOne)
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
