#include "PrivateBus.h"

#include <QFile>

namespace ferrymark::testing {
namespace {

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

}  // namespace ferrymark::testing
