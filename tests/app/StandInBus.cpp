#include "StandInBus.h"

namespace ferrymark::testing {

StandInBus::StandInBus(const QString& connectionName, const QString& path,
                       std::unique_ptr<QDBusVirtualObject> object, const QStringList& names,
                       QDBusConnection::VirtualObjectRegisterOption option)
    : connectionName_(connectionName),
      path_(path),
      names_(names),
      connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName)),
      object_(std::move(object)) {
    if (!connection_.isConnected()) {
        return;
    }
    object_->moveToThread(&thread_);
    thread_.start();
    registered_ = connection_.registerVirtualObject(path_, object_.get(), option);
    for (const QString& name : names_) {
        registered_ = connection_.registerService(name) && registered_;
    }
}

StandInBus::~StandInBus() {
    for (const QString& name : names_) {
        connection_.unregisterService(name);
    }
    connection_.unregisterObject(path_, QDBusConnection::UnregisterTree);
    thread_.quit();
    thread_.wait();
    object_.reset();
    QDBusConnection::disconnectFromBus(connectionName_);
}

}  // namespace ferrymark::testing
