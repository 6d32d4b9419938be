// Which disks are offered for ejecting, and what an eject takes with it, from UDisks2's
// objects as its object manager hands them over.
#include "platform/freedesktop/UDisksSnapshot.h"

#include <gtest/gtest.h>

#include <QDBusObjectPath>
#include <optional>
#include <vector>

namespace ferrymark {
namespace {

const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kPartition = QStringLiteral("org.freedesktop.UDisks2.Partition");
const QString kFileSystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
const QString kBlocks = QStringLiteral("/org/freedesktop/UDisks2/block_devices/");
const QString kDrives = QStringLiteral("/org/freedesktop/UDisks2/drives/");

QDBusObjectPath object(const QString& path) {
    return QDBusObjectPath(path.isEmpty() ? QStringLiteral("/") : path);
}

// A NUL-terminated byte string, as UDisks2 sends device names and mount points.
QByteArray bytes(const QString& text) {
    return text.toLocal8Bit() + '\0';
}

struct DriveFlags {
    bool removable = false;
    bool ejectable = false;
    bool mediaRemovable = false;
    bool canPowerOff = false;
};

class Objects {
  public:
    Objects& drive(const QString& name, DriveFlags flags) {
        objects_[kDrives + name][kDrive] = {
            {QStringLiteral("Removable"), flags.removable},
            {QStringLiteral("Ejectable"), flags.ejectable},
            {QStringLiteral("MediaRemovable"), flags.mediaRemovable},
            {QStringLiteral("CanPowerOff"), flags.canPowerOff},
            {QStringLiteral("Vendor"), QStringLiteral("Acme")},
            {QStringLiteral("Model"), QStringLiteral("Stick")}};
        return *this;
    }
    // A block device; table names the whole disk of a partition, mount its mount point.
    Objects& block(const QString& name, quint64 number, const QString& drive,
                   const QString& table = {}, const QString& mount = {}, const QString& label = {},
                   const QString& backing = {}) {
        auto& interfaces = objects_[kBlocks + name];
        interfaces[kBlock] = {
            {QStringLiteral("DeviceNumber"), number},
            {QStringLiteral("Device"), bytes(QStringLiteral("/dev/") + name)},
            {QStringLiteral("Drive"),
             QVariant::fromValue(object(drive.isEmpty() ? QString() : kDrives + drive))},
            {QStringLiteral("IdLabel"), label},
            {QStringLiteral("CryptoBackingDevice"),
             QVariant::fromValue(object(backing.isEmpty() ? QString() : kBlocks + backing))}};
        if (!table.isEmpty()) {
            interfaces[kPartition] = {
                {QStringLiteral("Table"), QVariant::fromValue(object(kBlocks + table))}};
        }
        if (!mount.isNull()) {
            QByteArrayList points;
            if (!mount.isEmpty()) {
                points << bytes(mount);
            }
            interfaces[kFileSystem] = {
                {QStringLiteral("MountPoints"), QVariant::fromValue(points)}};
        }
        return *this;
    }
    UDisksSnapshot snapshot() const { return UDisksSnapshot(objects_); }

  private:
    UDisksSnapshot::Objects objects_;
};

struct Case {
    const char* name;
    Objects objects;
    quint64 device;  // the target's st_dev
    bool found;
    bool offersEject;
    QString key;
    QString name_;
    QStringList mounted;
    QList<quint64> wholeDisks;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class UDisksSnapshotTest : public ::testing::TestWithParam<Case> {};

TEST_P(UDisksSnapshotTest, DiskOfTheTarget) {
    const Case& c = GetParam();
    const auto disk = c.objects.snapshot().diskOfDevice(c.device);
    ASSERT_EQ(disk.has_value(), c.found);
    if (!disk) {
        return;
    }
    EXPECT_EQ(disk->offersEject(), c.offersEject);
    EXPECT_EQ(disk->key, c.key);
    EXPECT_EQ(disk->name, c.name_);
    QStringList mounted;
    for (const auto& fs : disk->mounted) {
        mounted << fs.mountPoints;
    }
    mounted.sort();
    EXPECT_EQ(mounted, c.mounted);
    EXPECT_EQ(disk->wholeDisks, c.wholeDisks);
    EXPECT_TRUE(disk->devices.contains(c.device));
}

const QString kStick = kDrives + QStringLiteral("Acme_Stick_1");

INSTANTIATE_TEST_SUITE_P(
    Disks, UDisksSnapshotTest,
    ::testing::Values(
        // A USB stick: removable, can be powered off; both partitions go with it.
        Case{"UsbStickWithTwoPartitions",
             Objects()
                 .drive("Acme_Stick_1", {true, false, true, true})
                 .block("sdb", 0x810, "Acme_Stick_1")
                 .block("sdb1", 0x811, "Acme_Stick_1", "sdb", "/media/u/PHOTOS", "PHOTOS")
                 .block("sdb2", 0x812, "Acme_Stick_1", "sdb", "/media/u/MUSIC", "MUSIC"),
             0x811,
             true,
             true,
             kStick,
             "PHOTOS",
             {"/media/u/MUSIC", "/media/u/PHOTOS"},
             {0x810}},
        // A card in a reader: only the medium comes out.
        Case{"CardReaderMediumOnly",
             Objects()
                 .drive("Acme_Stick_1", {false, false, true, false})
                 .block("mmcblk0", 0xb300, "Acme_Stick_1", {}, "/media/u/CARD"),
             0xb300,
             true,
             true,
             kStick,
             "Acme Stick",
             {"/media/u/CARD"},
             {0xb300}},
        // An optical drive says it ejects.
        Case{"OpticalEjectableOnly",
             Objects()
                 .drive("Acme_Stick_1", {false, true, false, false})
                 .block("sr0", 0xb00, "Acme_Stick_1", {}, "/media/u/DISC", "DISC"),
             0xb00,
             true,
             true,
             kStick,
             "DISC",
             {"/media/u/DISC"},
             {0xb00}},
        // The internal disk: nothing to take out.
        Case{"InternalDisk",
             Objects()
                 .drive("Acme_Stick_1", {false, false, false, false})
                 .block("sda", 0x800, "Acme_Stick_1")
                 .block("sda2", 0x802, "Acme_Stick_1", "sda", "/home"),
             0x802,
             true,
             false,
             kStick,
             "Acme Stick",
             {"/home"},
             {0x800}},
        // A loop device has no drive: known by its whole block device, never offered.
        Case{"LoopDeviceWithoutDrive",
             Objects()
                 .block("loop0", 0x700, {})
                 .block("loop0p1", 0x10300, {}, "loop0", "/mnt/a", "A"),
             0x10300,
             true,
             false,
             kBlocks + "loop0",
             "A",
             {"/mnt/a"},
             {0x700}},
        // An unlocked encrypted partition belongs to the stick under it.
        Case{"EncryptedStick",
             Objects()
                 .drive("Acme_Stick_1", {true, false, true, true})
                 .block("sdb", 0x810, "Acme_Stick_1")
                 .block("sdb1", 0x811, "Acme_Stick_1", "sdb", QString(""))
                 .block("dm_2d0", 0xfd00, {}, {}, "/media/u/SAFE", "SAFE", "sdb1"),
             0xfd00,
             true,
             true,
             kStick,
             "SAFE",
             {"/media/u/SAFE"},
             {0x810}},
        // A file system UDisks2 does not know (tmpfs, a network share): no disk.
        Case{"UnknownDevice",
             Objects().block("sda", 0x800, {}),
             0x2a,
             false,
             false,
             {},
             {},
             {},
             {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ferrymark
