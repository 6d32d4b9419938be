#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace ferrymark {

// What UDisks2 says of the disk a path lies on, as far as ejecting it goes.
struct DriveFacts {
    struct FileSystem {
        QString object;  // the block device's UDisks2 object path
        QString device;  // "/dev/sdb1"
        QStringList mountPoints;
    };

    // The disk's identity: its UDisks2 drive object; for a disk without one (a loop
    // device), the object of its whole block device.
    QString key;
    // The drive object, or empty where UDisks2 has none.
    QString drive;
    // What the user calls it: the file system's label, the drive's model, or the device.
    QString name;
    bool removable = false;
    bool ejectable = false;
    bool mediaRemovable = false;
    bool canPowerOff = false;
    // Every block device of the disk (partitions, whole disks, unlocked encrypted ones),
    // and the whole disks alone, as device numbers.
    QList<quint64> devices;
    QList<quint64> wholeDisks;
    // Its file systems mounted now.
    QList<FileSystem> mounted;

    // Worth an Eject: the drive or its medium is meant to be taken out.
    bool offersEject() const {
        return !drive.isEmpty() && (removable || ejectable || mediaRemovable);
    }
};

}  // namespace ferrymark
