#include "app/SafeRemoval.h"

#include <sys/stat.h>

#include "app/INotifier.h"
#include "app/TurnLockDiskUse.h"
#include "platform/freedesktop/UDisksEjector.h"
#include "platform/freedesktop/UDisksSnapshot.h"

namespace ferrymark {

SafeRemoval::SafeRemoval(INotifier& notifier, QDBusConnection systemBus,
                         std::vector<std::unique_ptr<IDiskUse>> uses,
                         std::function<void(const std::string&)> log, QObject* parent)
    : QObject(parent),
      notifier_(notifier),
      bus_(std::move(systemBus)),
      uses_(std::move(uses)),
      log_(std::move(log)) {}

SafeRemoval::~SafeRemoval() = default;

std::vector<std::unique_ptr<IDiskUse>> SafeRemoval::standardUses(TransferDiskUse::Jobs jobs) {
    std::vector<std::unique_ptr<IDiskUse>> uses;
    uses.push_back(std::make_unique<TransferDiskUse>(std::move(jobs)));
    uses.push_back(std::make_unique<TurnLockDiskUse>());
    return uses;
}

std::optional<DriveFacts> SafeRemoval::removableDiskOf(const QDBusConnection& bus,
                                                       const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !bus.isConnected()) {
        return std::nullopt;
    }
    const auto snapshot = UDisksSnapshot::read(bus);
    if (!snapshot) {
        return std::nullopt;
    }
    auto disk = snapshot->diskOfDevice(static_cast<quint64>(st.st_dev));
    if (!disk || !disk->offersEject()) {
        return std::nullopt;
    }
    return disk;
}

void SafeRemoval::eject(const DriveFacts& disk) {
    const QString notEjected = tr("“%1” was not ejected").arg(disk.name);
    if (ejecting_.contains(disk.key)) {
        return;
    }
    QString why;
    const auto snapshot = UDisksSnapshot::read(bus_, &why);
    const auto now = snapshot ? snapshot->disk(disk.key) : std::nullopt;
    if (!now) {
        tell(false, notEjected,
             snapshot ? tr("It is no longer connected.")
                      : tr("The system's disk service can not be reached: %1").arg(why));
        return;
    }
    for (const auto& use : uses_) {
        if (const QString user = use->usedBy(*now); !user.isEmpty()) {
            tell(false, notEjected, user);
            return;
        }
    }
    ejecting_.insert(disk.key);
    auto* ejector = new UDisksEjector(bus_, this);
    connect(ejector, &UDisksEjector::finished, this,
            [this, ejector, disk, notEjected](bool ok, UDisksEjector::Step step,
                                              const QString& message) {
                ejector->deleteLater();
                ejecting_.remove(disk.key);
                if (ok) {
                    tell(true, tr("“%1” can be unplugged now").arg(disk.name), QString());
                    return;
                }
                QString body;
                switch (step) {
                    case UDisksEjector::Step::Unmount:
                        body = tr("It could not be unmounted: %1").arg(message);
                        break;
                    case UDisksEjector::Step::PowerOff:
                        body = tr("It was unmounted but could not be powered off: %1").arg(message);
                        break;
                    case UDisksEjector::Step::Eject:
                    case UDisksEjector::Step::None:
                        body = tr("It was unmounted but could not be ejected: %1").arg(message);
                        break;
                }
                tell(false, notEjected, body);
            });
    ejector->eject(*now);
}

void SafeRemoval::tell(bool ejected, const QString& summary, const QString& body) {
    if (log_) {
        log_((summary + (body.isEmpty() ? QString() : QStringLiteral(": ") + body)).toStdString());
    }
    notifier_.post(summary, body, {}, !ejected);
    emit finished(ejected, summary, body);
}

}  // namespace ferrymark
