#pragma once

#include <QDBusConnection>
#include <QMap>
#include <QString>
#include <QVariantMap>
#include <optional>

#include "platform/freedesktop/DriveFacts.h"

namespace ferrymark {

// The block devices and drives UDisks2 knows at one moment, read in one call of its
// object manager on the system bus.
class UDisksSnapshot {
  public:
    // Object path to interface name to properties, as GetManagedObjects gives them.
    using Objects = QMap<QString, QMap<QString, QVariantMap>>;

    static inline const QString kService = QStringLiteral("org.freedesktop.UDisks2");

    explicit UDisksSnapshot(const Objects& objects);

    // Null when UDisks2 can not be asked (no system bus, no UDisks2); why says why.
    static std::optional<UDisksSnapshot> read(const QDBusConnection& bus, QString* why = nullptr);

    // The disk of the block device with this device number (a path's st_dev).
    std::optional<DriveFacts> diskOfDevice(quint64 device) const;
    // The disk as it is now, by its key; null when it is gone.
    std::optional<DriveFacts> disk(const QString& key) const;

  private:
    struct Block {
        QString object;
        quint64 number = 0;
        QString device;
        QString drive;
        QString label;
        QString table;          // the partition table's object, for a partition
        QString cryptoBacking;  // the encrypted block device, for an unlocked one
        bool partition = false;
        bool fileSystem = false;
        QStringList mountPoints;
    };
    struct Drive {
        bool removable = false;
        bool ejectable = false;
        bool mediaRemovable = false;
        bool canPowerOff = false;
        QString model;
    };

    QString keyOf(const Block& block, int depth = 0) const;

    QMap<QString, Block> blocks_;
    QMap<QString, Drive> drives_;
};

}  // namespace ferrymark
