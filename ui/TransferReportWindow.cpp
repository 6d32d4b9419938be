#include "ui/TransferReportWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/OutcomeTexts.h"

namespace ferrymark {

TransferReportWindow::TransferReportWindow(const TransferOutcome& outcome, QWidget* parent)
    : QDialog(parent),
      summary_(new QLabel(OutcomeTexts::counts(outcome), this)),
      list_(new QPlainTextEdit(OutcomeTexts::list(outcome), this)),
      copy_(new QPushButton(tr("Copy"), this)),
      close_(new QPushButton(tr("Close"), this)) {
    setObjectName(QStringLiteral("TransferReportWindow"));
    // Tells it apart from the prompts on the desktop, which are dialogs of ours too.
    setWindowRole(QStringLiteral("ferrymark-report"));
    setWindowTitle(OutcomeTexts::incompleteTitle(outcome));
    setAttribute(Qt::WA_DeleteOnClose);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    list_->setReadOnly(true);
    list_->setLineWrapMode(QPlainTextEdit::NoWrap);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(copy_, QDialogButtonBox::ActionRole);
    buttons->addButton(close_, QDialogButtonBox::RejectRole);
    connect(copy_, &QPushButton::clicked, this, &TransferReportWindow::copyToClipboard);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    resize(640, 420);
}

void TransferReportWindow::copyToClipboard() {
    QApplication::clipboard()->setText(windowTitle() + QLatin1Char('\n') + summary_->text() +
                                       QStringLiteral("\n\n") + list_->toPlainText() +
                                       QLatin1Char('\n'));
}

}  // namespace ferrymark
