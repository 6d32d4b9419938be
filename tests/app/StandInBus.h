#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <memory>

namespace ferrymark::testing {

// A stand-in service's own connection to the session bus: a virtual object at a path,
// answering from a thread of its own (so a blocking call from the UI thread gets its
// reply), and the well-known names it holds. Everything is given back on destruction.
class StandInBus {
  public:
    StandInBus(const QString& connectionName, const QString& path,
               std::unique_ptr<QDBusVirtualObject> object, const QStringList& names = {},
               QDBusConnection::VirtualObjectRegisterOption option = QDBusConnection::SingleNode);
    ~StandInBus();
    StandInBus(const StandInBus&) = delete;
    StandInBus& operator=(const StandInBus&) = delete;

    // Whether the object and every name are on the bus.
    bool registered() const { return registered_; }
    QDBusConnection connection() const { return connection_; }

  private:
    QString connectionName_;
    QString path_;
    QStringList names_;
    QDBusConnection connection_;
    QThread thread_;
    std::unique_ptr<QDBusVirtualObject> object_;
    bool registered_ = false;
};

}  // namespace ferrymark::testing
