#include "platform/freedesktop/UDisksSnapshot.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>

namespace ferrymark {
namespace {

const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kPartition = QStringLiteral("org.freedesktop.UDisks2.Partition");
const QString kFileSystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
// A quick answer or none: the caller may be the UI thread at a click.
constexpr int kCallTimeoutMs = 5000;

// An object path property; "/" stands for none.
QString objectPath(const QVariant& value) {
    const QString path = value.value<QDBusObjectPath>().path();
    return path == QStringLiteral("/") ? QString() : path;
}

// A byte-string property ("ay"), without its closing NUL.
QString byteString(const QVariant& value) {
    QByteArray bytes = value.toByteArray();
    while (bytes.endsWith('\0')) {
        bytes.chop(1);
    }
    return QString::fromLocal8Bit(bytes);
}

// An array of byte strings ("aay"), which QtDBus hands over still marshalled.
QStringList byteStrings(const QVariant& value) {
    QByteArrayList list;
    if (value.canConvert<QDBusArgument>()) {
        value.value<QDBusArgument>() >> list;
    } else {
        list = value.value<QByteArrayList>();
    }
    QStringList out;
    for (const QByteArray& bytes : list) {
        out << byteString(bytes);
    }
    return out;
}

UDisksSnapshot::Objects demarshal(const QDBusArgument& argument) {
    UDisksSnapshot::Objects objects;
    argument.beginMap();
    while (!argument.atEnd()) {
        QDBusObjectPath path;
        QMap<QString, QVariantMap> interfaces;
        argument.beginMapEntry();
        argument >> path;
        argument.beginMap();
        while (!argument.atEnd()) {
            QString name;
            QVariantMap properties;
            argument.beginMapEntry();
            argument >> name >> properties;
            argument.endMapEntry();
            interfaces.insert(name, properties);
        }
        argument.endMap();
        argument.endMapEntry();
        objects.insert(path.path(), interfaces);
    }
    argument.endMap();
    return objects;
}

}  // namespace

UDisksSnapshot::UDisksSnapshot(const Objects& objects) {
    for (auto object = objects.begin(); object != objects.end(); ++object) {
        const auto& interfaces = object.value();
        if (interfaces.contains(kBlock)) {
            const QVariantMap& p = interfaces.value(kBlock);
            Block block;
            block.object = object.key();
            block.number = p.value(QStringLiteral("DeviceNumber")).toULongLong();
            block.device = byteString(p.value(QStringLiteral("Device")));
            block.drive = objectPath(p.value(QStringLiteral("Drive")));
            block.label = p.value(QStringLiteral("IdLabel")).toString();
            block.cryptoBacking = objectPath(p.value(QStringLiteral("CryptoBackingDevice")));
            block.partition = interfaces.contains(kPartition);
            block.table = objectPath(interfaces.value(kPartition).value(QStringLiteral("Table")));
            block.fileSystem = interfaces.contains(kFileSystem);
            block.mountPoints =
                byteStrings(interfaces.value(kFileSystem).value(QStringLiteral("MountPoints")));
            blocks_.insert(block.object, block);
        }
        if (interfaces.contains(kDrive)) {
            const QVariantMap& p = interfaces.value(kDrive);
            Drive drive;
            drive.removable = p.value(QStringLiteral("Removable")).toBool();
            drive.ejectable = p.value(QStringLiteral("Ejectable")).toBool();
            drive.mediaRemovable = p.value(QStringLiteral("MediaRemovable")).toBool();
            drive.canPowerOff = p.value(QStringLiteral("CanPowerOff")).toBool();
            drive.model = (p.value(QStringLiteral("Vendor")).toString() + QLatin1Char(' ') +
                           p.value(QStringLiteral("Model")).toString())
                              .trimmed();
            drives_.insert(object.key(), drive);
        }
    }
}

std::optional<UDisksSnapshot> UDisksSnapshot::read(const QDBusConnection& bus, QString* why) {
    if (!bus.isConnected()) {
        if (why) {
            *why = QStringLiteral("no system bus");
        }
        return std::nullopt;
    }
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/UDisks2"),
                                       QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                       QStringLiteral("GetManagedObjects")),
        QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1 ||
        !reply.arguments().at(0).canConvert<QDBusArgument>()) {
        if (why) {
            *why = reply.errorMessage().isEmpty() ? QStringLiteral("an answer of an unknown shape")
                                                  : reply.errorMessage();
        }
        return std::nullopt;
    }
    return UDisksSnapshot(demarshal(reply.arguments().at(0).value<QDBusArgument>()));
}

QString UDisksSnapshot::keyOf(const Block& block, int depth) const {
    // An unlocked encrypted device, or a partition, belongs to the disk under it.
    if (depth < 8 && blocks_.contains(block.cryptoBacking)) {
        return keyOf(blocks_.value(block.cryptoBacking), depth + 1);
    }
    if (!block.drive.isEmpty()) {
        return block.drive;
    }
    if (depth < 8 && block.partition && blocks_.contains(block.table)) {
        return keyOf(blocks_.value(block.table), depth + 1);
    }
    return block.object;
}

std::optional<DriveFacts> UDisksSnapshot::disk(const QString& key) const {
    DriveFacts facts;
    facts.key = key;
    bool found = false;
    QString label;
    QString device;
    for (const Block& block : blocks_) {
        if (keyOf(block) != key) {
            continue;
        }
        found = true;
        facts.devices << block.number;
        if (!block.partition && block.cryptoBacking.isEmpty()) {
            facts.wholeDisks << block.number;
            device = block.device;
        }
        if (block.fileSystem && !block.mountPoints.isEmpty()) {
            facts.mounted << DriveFacts::FileSystem{block.object, block.device, block.mountPoints};
            if (label.isEmpty()) {
                label = block.label;
            }
        }
    }
    if (drives_.contains(key)) {
        const Drive& drive = drives_.value(key);
        found = true;
        facts.drive = key;
        facts.removable = drive.removable;
        facts.ejectable = drive.ejectable;
        facts.mediaRemovable = drive.mediaRemovable;
        facts.canPowerOff = drive.canPowerOff;
        if (label.isEmpty()) {
            label = drive.model;
        }
    }
    if (!found) {
        return std::nullopt;
    }
    facts.name = label.isEmpty() ? device : label;
    return facts;
}

std::optional<DriveFacts> UDisksSnapshot::diskOfDevice(quint64 device) const {
    for (const Block& block : blocks_) {
        if (block.number != device) {
            continue;
        }
        auto facts = disk(keyOf(block));
        if (facts && !block.label.isEmpty()) {
            facts->name = block.label;
        } else if (facts && facts->name.isEmpty()) {
            facts->name = block.device;
        }
        return facts;
    }
    return std::nullopt;
}

}  // namespace ferrymark
