#pragma once

#include <QDialog>

#include "ui/TransferOutcome.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ferrymark {

// The list of what one transfer did not transfer, grouped by reason: read-only text the
// user can select and copy, a Copy button for all of it, and Close. Not modal: it may stay
// open beside the file manager while the user deals with the items.
class TransferReportWindow : public QDialog {
    Q_OBJECT
  public:
    explicit TransferReportWindow(const TransferOutcome& outcome, QWidget* parent = nullptr);

    QLabel* summary() const { return summary_; }
    QPlainTextEdit* list() const { return list_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* closeButton() const { return close_; }

  public slots:
    // The title, the counts and the list, as plain text, onto the clipboard.
    void copyToClipboard();

  private:
    QLabel* summary_;
    QPlainTextEdit* list_;
    QPushButton* copy_;
    QPushButton* close_;
};

}  // namespace ferrymark
