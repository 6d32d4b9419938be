#include "app/InstanceService.h"

#include <QDBusConnectionInterface>
#include <QMetaObject>

namespace ferrymark {

const QString InstanceService::kServiceName = QStringLiteral("org.ferrymark.Ferrymark");
const QString InstanceService::kObjectPath = QStringLiteral("/org/ferrymark/Ferrymark");

InstanceService::InstanceService(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

InstanceService::~InstanceService() {
    if (owned_) {
        bus_.unregisterObject(kObjectPath);
        bus_.unregisterService(kServiceName);
    }
}

InstanceService::Claim InstanceService::claim() {
    if (!bus_.isConnected() || bus_.interface() == nullptr) {
        return Claim::NoBus;
    }
    const auto reply =
        bus_.interface()->registerService(kServiceName, QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        return Claim::HeldByAnother;
    }
    owned_ = true;
    bus_.registerObject(kObjectPath, this, QDBusConnection::ExportScriptableSlots);
    return Claim::Owned;
}

void InstanceService::Paste(const QString& folder) {
    PastePath(folder.toUtf8());
}

void InstanceService::Move(const QString& folder) {
    MovePath(folder.toUtf8());
}

void InstanceService::PastePath(const QByteArray& folder) {
    QMetaObject::invokeMethod(
        this, [this, folder] { emit commandRequested(false, folder); }, Qt::QueuedConnection);
}

void InstanceService::MovePath(const QByteArray& folder) {
    QMetaObject::invokeMethod(
        this, [this, folder] { emit commandRequested(true, folder); }, Qt::QueuedConnection);
}

}  // namespace ferrymark
