#include "app/TurnLockDiskUse.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>

#include "engine/DiskIdentity.h"

namespace ferrymark {

TurnLockDiskUse::TurnLockDiskUse(QString folder, KeyOf keyOf)
    : folder_(std::move(folder)), keyOf_(std::move(keyOf)) {
    if (folder_.isEmpty()) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (!runtime.isEmpty()) {
            folder_ = runtime + QStringLiteral("/ferrymark/turns");
        }
    }
    if (!keyOf_) {
        keyOf_ = &TurnLockDiskUse::lockName;
    }
}

QString TurnLockDiskUse::lockName(quint64 wholeDisk) {
    const auto keys = DiskIdentity().disksOfDevice(static_cast<dev_t>(wholeDisk));
    return keys.size() == 1 ? QString::fromStdString(keys.front()) : QString();
}

QString TurnLockDiskUse::usedBy(const DriveFacts& disk) {
    if (folder_.isEmpty()) {
        return {};
    }
    for (const quint64 wholeDisk : disk.wholeDisks) {
        const QString key = keyOf_(wholeDisk);
        if (key.isEmpty() || key.contains(QLatin1Char('/'))) {
            continue;
        }
        const QByteArray path = QFile::encodeName(folder_ + QLatin1Char('/') + key);
        // Never follow a link another user may have put there, nor wait on a FIFO.
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        // A shared lock is refused only while someone holds the turn, which is taken
        // exclusively; a holder that died has let go of it with its descriptors.
        if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
            ::flock(fd, LOCK_UN);
            ::close(fd);
            continue;
        }
        char text[512];
        const ssize_t count = ::pread(fd, text, sizeof text, 0);
        ::close(fd);
        const QString what = QString::fromUtf8(text, count > 0 ? count : 0)
                                 .section(QLatin1Char('\n'), 0, 0)
                                 .trimmed();
        return what.isEmpty() ? tr("Another program's transfer still uses it.")
                              : tr("Another program's transfer still uses it: %1").arg(what);
    }
    return {};
}

}  // namespace ferrymark
