#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/IDiskUse.h"
#include "app/TransferDiskUse.h"
#include "platform/freedesktop/DriveFacts.h"

namespace ferrymark {

class INotifier;

// Ejects a removable disk once a transfer to it has ended and the user asks to, unless
// something still uses it, and tells the user how it went.
class SafeRemoval : public QObject {
    Q_OBJECT
  public:
    SafeRemoval(INotifier& notifier, QDBusConnection systemBus,
                std::vector<std::unique_ptr<IDiskUse>> uses,
                std::function<void(const std::string&)> log, QObject* parent = nullptr);
    ~SafeRemoval() override;

    // What keeps a disk from being ejected: the transfers of this process (jobs), and
    // those of other processes holding the disk's turn.
    static std::vector<std::unique_ptr<IDiskUse>> standardUses(TransferDiskUse::Jobs jobs);

    // Any thread: the disk path lies on, when UDisks2 knows it as one to take out.
    static std::optional<DriveFacts> removableDiskOf(const QDBusConnection& bus,
                                                     const std::string& path);

    // UI thread. The user learns the outcome from a notification.
    void eject(const DriveFacts& disk);

  signals:
    void finished(bool ejected, const QString& summary, const QString& body);

  private:
    void tell(bool ejected, const QString& summary, const QString& body);

    INotifier& notifier_;
    QDBusConnection bus_;
    std::vector<std::unique_ptr<IDiskUse>> uses_;
    std::function<void(const std::string&)> log_;
    QSet<QString> ejecting_;
};

}  // namespace ferrymark
