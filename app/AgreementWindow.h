#pragma once

#include <QDialog>
#include <memory>

class QCheckBox;
class QPushButton;

namespace Ui {
class AgreementWindow;
}

namespace ferrymark {

// Shown at the first start: the licence, to be agreed to before anything else happens.
class AgreementWindow : public QDialog {
    Q_OBJECT
  public:
    explicit AgreementWindow(QWidget* parent = nullptr);
    ~AgreementWindow() override;

    // Runs modally: true for Agree, false for Disagree (or the window closed).
    bool runModal();

    QPushButton* btnAgree() const;
    QPushButton* btnDisagree() const;
    // Whether to add the autostart entry: asked here, once, rather than done silently.
    QCheckBox* cbStartAtLogin() const;

  private:
    std::unique_ptr<Ui::AgreementWindow> ui_;
};

}  // namespace ferrymark
