// Ejecting against a real udisksd on a system bus of the test's own, with loop devices
// (tests/app/udisks/session.sh sets them up): a "stick" of two mounted partitions that
// UDisks2 sees as a drive whose medium is removable, and a plain loop device without a
// drive. What a loop device can not show: a drive on USB (so none here powers off) or one
// the kernel marks removable (so none here is ejectable).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "FakeJobHost.h"
#include "FakeNotifier.h"
#include "UiWait.h"
#include "app/SafeRemoval.h"
#include "app/TransferDiskUse.h"
#include "app/TurnLockDiskUse.h"
#include "engine/CopyHandler.h"
#include "platform/freedesktop/UDisksSnapshot.h"

namespace ferrymark {
namespace {

using testing::FakeNotifier;
using testing::UiWait;

QStringList fromEnvironment(const char* name) {
    return qEnvironmentVariable(name).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

quint64 deviceOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return static_cast<quint64>(st.st_dev);
}

bool mounted(const QString& dir) {
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly)) {
        return false;
    }
    // A file of /proc has no size to tell where it ends: read until it says.
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 4 && QFile::decodeName(fields[4]) == dir) {
            return true;
        }
    }
    return false;
}

class UDisksEjectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        stickMounts = fromEnvironment("FERRYMARK_STICK_MOUNTS");
        plainMount = qEnvironmentVariable("FERRYMARK_PLAIN_MOUNT");
        if (stickMounts.size() != 2 || plainMount.isEmpty()) {
            GTEST_SKIP() << "runs inside tests/app/udisks/session.sh, which sets up udisksd";
        }
        ASSERT_TRUE(bus.isConnected()) << "no system bus at $DBUS_SYSTEM_BUS_ADDRESS";
        // udisksd learns of mounts from the mount table, a moment after they happen.
        ASSERT_TRUE(UiWait::until([&] {
            const auto snapshot = UDisksSnapshot::read(bus);
            const auto stick =
                snapshot ? snapshot->diskOfDevice(deviceOf(stickMounts[0])) : std::nullopt;
            return stick && stick->mounted.size() == 2;
        })) << "udisksd never showed the stick's two mounted partitions";
    }

    // Ejects as the user would, and waits for the word on how it went.
    struct Told {
        bool ejected = false;
        QString summary;
        QString body;
    };
    Told eject(const DriveFacts& disk, std::vector<std::unique_ptr<IDiskUse>> uses = {}) {
        SafeRemoval removal(notifier, bus, std::move(uses), {});
        std::optional<Told> told;
        QObject::connect(&removal, &SafeRemoval::finished,
                         [&](bool ejected, const QString& summary, const QString& body) {
                             told = Told{ejected, summary, body};
                         });
        removal.eject(disk);
        EXPECT_TRUE(UiWait::until([&] { return told.has_value(); }));
        EXPECT_FALSE(notifier.posted.empty());
        return told.value_or(Told{});
    }
    DriveFacts stick() {
        const auto disk = SafeRemoval::removableDiskOf(bus, stickMounts[0].toStdString());
        EXPECT_TRUE(disk) << "the stick was not offered for ejecting";
        return disk.value_or(DriveFacts{});
    }

    QDBusConnection bus = QDBusConnection::systemBus();
    QStringList stickMounts;
    QString plainMount;
    FakeNotifier notifier;
};

TEST_F(UDisksEjectTest, ALoopDeviceHasNoDriveAndIsNotOffered) {
    EXPECT_FALSE(SafeRemoval::removableDiskOf(bus, plainMount.toStdString()));
    const auto snapshot = UDisksSnapshot::read(bus);
    ASSERT_TRUE(snapshot);
    const auto disk = snapshot->diskOfDevice(deviceOf(plainMount));
    ASSERT_TRUE(disk);
    EXPECT_TRUE(disk->drive.isEmpty());
    EXPECT_TRUE(disk->key.startsWith("/org/freedesktop/UDisks2/block_devices/loop"))
        << disk->key.toStdString();
    EXPECT_EQ(disk->name, "PLAIN");
    ASSERT_EQ(disk->mounted.size(), 1);
    EXPECT_EQ(disk->mounted[0].mountPoints, QStringList{plainMount});
}

TEST_F(UDisksEjectTest, AStickIsOfferedWithEveryFileSystemOnIt) {
    const DriveFacts disk = stick();
    EXPECT_TRUE(disk.drive.startsWith("/org/freedesktop/UDisks2/drives/"))
        << disk.drive.toStdString();
    EXPECT_EQ(disk.key, disk.drive);
    EXPECT_TRUE(disk.mediaRemovable);
    EXPECT_FALSE(disk.canPowerOff) << "a loop device is on no USB bus";
    EXPECT_EQ(disk.name, "STICK");
    QStringList points;
    for (const auto& fs : disk.mounted) {
        points << fs.mountPoints;
    }
    points.sort();
    EXPECT_EQ(points, stickMounts);
    EXPECT_EQ(disk.wholeDisks.size(), 1);
    EXPECT_EQ(disk.devices.size(), 3);
}

TEST_F(UDisksEjectTest, NotEjectedWhileATransferOfThisProcessUsesIt) {
    testing::FakeJobHost host;
    std::shared_ptr<CopyHandler> job = CopyHandler::initWithFiles({"/proc/version"}, host);
    ASSERT_TRUE(job);
    job->setCurrentTarget("Backup");
    job->setTargetPath((stickMounts[1] + QStringLiteral("/Backup")).toStdString());
    std::vector<std::unique_ptr<IDiskUse>> uses;
    uses.push_back(std::make_unique<TransferDiskUse>(
        [&] { return std::vector<std::shared_ptr<CopyHandler>>{job}; }));
    const Told told = eject(stick(), std::move(uses));
    EXPECT_FALSE(told.ejected);
    EXPECT_EQ(told.summary, "“STICK” was not ejected");
    EXPECT_EQ(told.body, "The transfer to “Backup” still uses it.");
    EXPECT_EQ(notifier.posted.back().summary, told.summary);
    EXPECT_TRUE(mounted(stickMounts[0]));
    EXPECT_TRUE(mounted(stickMounts[1]));
}

TEST_F(UDisksEjectTest, NotEjectedWhileAnotherProcessHoldsItsTurn) {
    const DriveFacts disk = stick();
    ASSERT_EQ(disk.wholeDisks.size(), 1);
    QTemporaryDir turns;
    const QString lock = turns.filePath(TurnLockDiskUse::lockName(disk.wholeDisks[0]));
    QFile file(lock);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Copying 2 items to " + QFile::encodeName(stickMounts[0]) + "\n");
    file.close();
    QProcess holder;
    holder.start(QStringLiteral("sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("exec 9<>\"$0\" && flock -x 9 && exec sleep 60"), lock});
    ASSERT_TRUE(holder.waitForStarted());
    std::vector<std::unique_ptr<IDiskUse>> uses;
    uses.push_back(std::make_unique<TurnLockDiskUse>(turns.path()));
    TurnLockDiskUse probe(turns.path());
    ASSERT_TRUE(UiWait::until([&] { return !probe.usedBy(disk).isEmpty(); }));
    const Told told = eject(disk, std::move(uses));
    EXPECT_FALSE(told.ejected);
    EXPECT_EQ(told.body,
              "Another program's transfer still uses it: Copying 2 items to " + stickMounts[0]);
    EXPECT_TRUE(mounted(stickMounts[0]));
    holder.kill();
    holder.waitForFinished();
}

TEST_F(UDisksEjectTest, ABusyFileSystemIsToldInUDisksOwnWords) {
    const QString open = stickMounts[0] + QStringLiteral("/open.txt");
    const int fd = ::open(QFile::encodeName(open).constData(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const Told told = eject(stick());
    ::close(fd);
    EXPECT_FALSE(told.ejected);
    EXPECT_EQ(told.summary, "“STICK” was not ejected");
    EXPECT_TRUE(told.body.startsWith("It could not be unmounted: Error unmounting /dev/loop"))
        << told.body.toStdString();
    EXPECT_TRUE(told.body.contains("target is busy")) << told.body.toStdString();
    EXPECT_TRUE(mounted(stickMounts[0]));
}

TEST_F(UDisksEjectTest, EveryFileSystemIsUnmountedAndTheStickCanGo) {
    const Told told = eject(stick());
    EXPECT_FALSE(mounted(stickMounts[0]));
    EXPECT_FALSE(mounted(stickMounts[1]));
    EXPECT_TRUE(mounted(plainMount)) << "another disk was unmounted";
    // Its drive neither powers off nor ejects, as a memory card's slot: unmounted is done.
    EXPECT_TRUE(told.ejected) << told.body.toStdString();
    EXPECT_EQ(told.summary, "“STICK” can be unplugged now");
}

TEST_F(UDisksEjectTest, PoweringOffOrEjectingTheDrive) {
    GTEST_SKIP() << "a loop device can not show it: UDisks2 powers off drives on USB and "
                    "the like only, and calls a drive ejectable only when the kernel marks it "
                    "removable; this kernel has no USB or SCSI bus (no scsi_debug module). "
                    "The choice of calls is tested against a stand-in (UDisksEjectorTest)";
}

// udisksd without polkit lets root do anything and refuses everyone else: the user is
// told so in its words.
TEST_F(UDisksEjectTest, AsUserWithoutPolkitTheRefusalIsTold) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "runs as a user: session.sh starts it so";
    }
    const auto snapshot = UDisksSnapshot::read(bus);
    ASSERT_TRUE(snapshot);
    const auto disk = snapshot->diskOfDevice(deviceOf(plainMount));
    ASSERT_TRUE(disk);
    const Told told = eject(*disk);
    EXPECT_FALSE(told.ejected);
    EXPECT_EQ(told.body,
              "It could not be unmounted: Not authorized to perform operation (polkit authority "
              "not available and caller is not uid 0)");
    EXPECT_TRUE(mounted(plainMount));
}

}  // namespace
}  // namespace ferrymark
