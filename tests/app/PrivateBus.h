#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace ferrymark::testing {

// A bus of the test's own, from dbus-daemon with a config that activates nothing, so no
// real portal of the machine can answer in place of the stand-in.
class PrivateBus {
  public:
    PrivateBus();
    ~PrivateBus();
    // Empty when dbus-daemon could not be started; error() says why.
    QString address() const { return address_; }
    QString error() const { return error_; }

  private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QString error_;
};

}  // namespace ferrymark::testing
