#pragma once

#include <QString>

#include "platform/freedesktop/DriveFacts.h"

namespace ferrymark {

// Something that may still be using a disk the user wants to eject: a transfer of this
// process, or one of another process that holds the disk's turn.
class IDiskUse {
  public:
    virtual ~IDiskUse() = default;
    // What uses the disk now, in the user's words; empty when nothing does.
    virtual QString usedBy(const DriveFacts& disk) = 0;
};

}  // namespace ferrymark
