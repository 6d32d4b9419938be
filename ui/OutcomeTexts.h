#pragma once

#include <QCoreApplication>
#include <QString>

#include "ui/TransferOutcome.h"

namespace ferrymark {

// The words that tell the user how a transfer ended, in the notification and in the list
// window alike. Counts are grouped the user's way (1,234).
class OutcomeTexts {
    Q_DECLARE_TR_FUNCTIONS(OutcomeTexts)
  public:
    // "1 item", "1,234 items".
    static QString items(std::int64_t count);
    // A clean job: "Copied 1,234 items to “Photos”".
    static QString doneTitle(const TransferOutcome& outcome);
    // A job that left something out or was stopped.
    static QString incompleteTitle(const TransferOutcome& outcome);
    // "1,234 items transferred, 41 not transferred."
    static QString counts(const TransferOutcome& outcome);
    // What was not transferred, grouped by reason with counts, one item a line.
    static QString list(const TransferOutcome& outcome);
    // A reason in the user's words, with a capital.
    static QString reason(NotTransferredReason reason);
};

}  // namespace ferrymark
