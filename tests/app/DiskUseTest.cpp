// What keeps a disk from being ejected: a transfer of this process on it, or another
// process holding the disk's turn lock.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "FakeJobHost.h"
#include "app/TransferDiskUse.h"
#include "app/TurnLockDiskUse.h"
#include "engine/CopyHandler.h"

namespace ferrymark {
namespace {

quint64 deviceOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return static_cast<quint64>(st.st_dev);
}

TEST(TransferDiskUseTest, AJobWhoseTargetOrSourceIsOnTheDiskUsesIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString here = dir.path();
    // /proc lies on no disk but its own: a path there is "elsewhere".
    const quint64 thisDisk = deviceOf(here);
    ASSERT_NE(thisDisk, deviceOf(QStringLiteral("/proc")));
    testing::FakeJobHost host;
    struct Case {
        const char* name;
        std::vector<std::string> sources;
        QString target;
        bool uses;
    };
    const std::string file = (here + QStringLiteral("/a.jpg")).toStdString();
    QFile(QString::fromStdString(file)).open(QIODevice::WriteOnly);
    const Case cases[] = {
        {"target on the disk", {"/proc/version"}, here + QStringLiteral("/Backup"), true},
        {"source on the disk", {file}, QStringLiteral("/proc"), true},
        // A Move has already taken it: its folder is still there.
        {"source moved away",
         {(here + QStringLiteral("/gone/b.jpg")).toStdString()},
         QStringLiteral("/proc"),
         true},
        {"neither", {"/proc/version"}, QStringLiteral("/proc"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::shared_ptr<CopyHandler> job = CopyHandler::initWithFiles(c.sources, host);
        ASSERT_TRUE(job);
        job->setCurrentTarget("Backup");
        job->setTargetPath(c.target.toStdString());
        TransferDiskUse use([&] { return std::vector<std::shared_ptr<CopyHandler>>{job}; });
        DriveFacts disk;
        disk.devices = {thisDisk};
        EXPECT_EQ(use.usedBy(disk), c.uses ? "The transfer to “Backup” still uses it." : "");
    }
}

// Another process's transfer: a lock file per disk, held with flock(1) as long as it runs.
class TurnLockDiskUseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        disk.wholeDisks = {0x810};
    }
    void TearDown() override {
        if (holder.state() != QProcess::NotRunning) {
            holder.kill();
            holder.waitForFinished();
        }
    }
    QString lock(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& text) {
        QFile file(lock(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    // Another process takes the turn and keeps it.
    void hold(const QString& name) {
        // The shell becomes the sleeping holder: killing it lets go of the lock.
        holder.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                            QStringLiteral("exec 9<>\"$0\" && flock -x 9 && "
                                                           "exec sleep 60"),
                                            lock(name)});
        ASSERT_TRUE(holder.waitForStarted());
        QDeadlineTimer deadline(10'000);
        while (!deadline.hasExpired()) {
            const int fd = ::open(QFile::encodeName(lock(name)).constData(), O_RDONLY | O_CLOEXEC);
            const bool held = fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0;
            if (fd >= 0) {
                ::close(fd);
            }
            if (held) {
                return;
            }
            QThread::msleep(10);
        }
        FAIL() << "the lock was never taken (flock(1) from util-linux is needed)";
    }
    QString usedBy() {
        TurnLockDiskUse use(dir.path(), [](quint64 wholeDisk) {
            return wholeDisk == 0x810 ? QStringLiteral("sdb") : QString();
        });
        return use.usedBy(disk);
    }

    QTemporaryDir dir;
    QProcess holder;
    DriveFacts disk;
};

TEST_F(TurnLockDiskUseTest, NoLockFileIsNoUse) {
    EXPECT_EQ(usedBy(), "");
}

TEST_F(TurnLockDiskUseTest, ALockFileNobodyHoldsIsNoUse) {
    write(QStringLiteral("sdb"), "Copying 3 items to /media/u/PHOTOS\n");
    EXPECT_EQ(usedBy(), "");
}

TEST_F(TurnLockDiskUseTest, AHeldLockSaysWhatItsHolderDoes) {
    write(QStringLiteral("sdb"), "Copying 3 items to /media/u/PHOTOS\nmore\n");
    hold(QStringLiteral("sdb"));
    EXPECT_EQ(usedBy(),
              "Another program's transfer still uses it: Copying 3 items to /media/u/PHOTOS");
    // A holder that ends lets go of the turn with its descriptors.
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(usedBy(), "");
}

TEST_F(TurnLockDiskUseTest, AHeldLockWithoutWordsStillCounts) {
    hold(QStringLiteral("sdb"));
    EXPECT_EQ(usedBy(), "Another program's transfer still uses it.");
}

TEST_F(TurnLockDiskUseTest, ALinkInPlaceOfTheLockIsNotFollowed) {
    hold(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QFile::link(lock(QStringLiteral("elsewhere")), lock(QStringLiteral("sdb"))));
    EXPECT_EQ(usedBy(), "");
}

}  // namespace
}  // namespace ferrymark
