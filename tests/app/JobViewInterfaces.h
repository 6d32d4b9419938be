#pragma once

#include <QMap>
#include <QString>

namespace ferrymark::testing {

// The job view service's D-Bus interfaces: as the stand-in declares them, and as
// Plasma's notification library (libnotificationmanager) carries them, so that a test
// can hold the one against the other.
class JobViewInterfaces {
  public:
    // Interface name to its <interface> element.
    static QMap<QString, QString> declared();
    // The same, read from the installed library; empty when it is not installed, and
    // where says which file was read.
    static QMap<QString, QString> installed(QString* where = nullptr);
    // "method NAME" to "IN -> OUT" and "signal NAME" to its argument types, for one
    // interface of an XML text.
    static QMap<QString, QString> signatures(const QString& xml, const QString& interface);
};

}  // namespace ferrymark::testing
