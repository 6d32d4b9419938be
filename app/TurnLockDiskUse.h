#pragma once

#include <QCoreApplication>
#include <QString>
#include <functional>

#include "app/IDiskUse.h"

namespace ferrymark {

// Transfers of other processes (another Ferrymark, fm-transfer) that hold a disk's turn:
// a lock file per disk in the runtime folder, locked with flock(2) for as long as the
// holder uses the disk, holding a line that says what it transfers.
class TurnLockDiskUse final : public IDiskUse {
    Q_DECLARE_TR_FUNCTIONS(TurnLockDiskUse)
  public:
    // The lock file's name for a whole disk, by its device number.
    using KeyOf = std::function<QString(quint64 wholeDisk)>;

    // folder empty: $XDG_RUNTIME_DIR/ferrymark/turns; keyOf empty: lockName.
    explicit TurnLockDiskUse(QString folder = {}, KeyOf keyOf = {});

    QString usedBy(const DriveFacts& disk) override;

    // The name transfers take a whole disk's turn lock under ("disk-sdb").
    static QString lockName(quint64 wholeDisk);

  private:
    QString folder_;
    KeyOf keyOf_;
};

}  // namespace ferrymark
