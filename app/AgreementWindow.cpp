#include "app/AgreementWindow.h"

#include <QFile>

#include "ui_AgreementWindow.h"

namespace ferrymark {

AgreementWindow::AgreementWindow(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::AgreementWindow>()) {
    ui_->setupUi(this);
    QFile license(QStringLiteral(":/LICENSE"));
    if (license.open(QIODevice::ReadOnly)) {
        // The file is wrapped for a terminal; let the window wrap its paragraphs.
        QStringList paragraphs = QString::fromUtf8(license.readAll()).split(QStringLiteral("\n\n"));
        for (QString& paragraph : paragraphs) {
            paragraph = paragraph.simplified();
        }
        ui_->licenseText->setPlainText(paragraphs.join(QStringLiteral("\n\n")));
    }
    connect(ui_->btnAgree, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->btnDisagree, &QPushButton::clicked, this, &QDialog::reject);
}

AgreementWindow::~AgreementWindow() = default;

bool AgreementWindow::runModal() {
    setWindowModality(Qt::ApplicationModal);
    return exec() == QDialog::Accepted;
}

QPushButton* AgreementWindow::btnAgree() const {
    return ui_->btnAgree;
}

QCheckBox* AgreementWindow::cbStartAtLogin() const {
    return ui_->cbStartAtLogin;
}

QPushButton* AgreementWindow::btnDisagree() const {
    return ui_->btnDisagree;
}

}  // namespace ferrymark
