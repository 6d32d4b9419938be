#pragma once

#include <QCoreApplication>
#include <functional>
#include <memory>
#include <vector>

#include "app/IDiskUse.h"

namespace ferrymark {

class CopyHandler;

// The transfers of this process that read from or write to a disk: a job's target or one
// of its sources lies on one of the disk's block devices.
class TransferDiskUse final : public IDiskUse {
    Q_DECLARE_TR_FUNCTIONS(TransferDiskUse)
  public:
    using Jobs = std::function<std::vector<std::shared_ptr<CopyHandler>>()>;

    // jobs: the transfers running now (UI thread).
    explicit TransferDiskUse(Jobs jobs) : jobs_(std::move(jobs)) {}

    QString usedBy(const DriveFacts& disk) override;

  private:
    Jobs jobs_;
};

}  // namespace ferrymark
