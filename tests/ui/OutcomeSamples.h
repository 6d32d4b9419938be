#pragma once

#include "ui/TransferOutcome.h"

namespace ferrymark::testing {

// Outcomes the notification and list tests share.
class OutcomeSamples {
  public:
    // A copy to "Photos": 1,234 files copied; 41 skipped at conflicts and one unreadable
    // for want of permission, of which three are listed and 39 left out of the list.
    static TransferOutcome leftOut();
    // Everything copied, after the given time.
    static TransferOutcome clean(std::chrono::milliseconds elapsed);
    // Stopped by the user with nothing passed over before the stop.
    static TransferOutcome stopped();
};

}  // namespace ferrymark::testing
