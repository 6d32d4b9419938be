#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace Ui {
class AlertWindow;
}

namespace ferrymark {

// The modal prompt dialog: an icon, a message, an optional option list and check box,
// and the Stop and Continue buttons. One instance per question.
class AlertWindowController : public QDialog {
    Q_OBJECT
  public:
    explicit AlertWindowController(QWidget* parent = nullptr);
    ~AlertWindowController() override;

    // Runs the dialog application-modal until a button ends it, then closes it.
    // 2 for Stop, else the tag of the selected option (0 when none is selected).
    std::int32_t runModal();

    QLabel* alertMessage() const;
    QLabel* alertImage() const;
    // Each entry carries its tag as item data.
    QComboBox* popupOptions() const;
    QCheckBox* cbDontAsk() const;
    QPushButton* btnStop() const;
    QPushButton* btnContinue() const;
    // A view placed below the message and shown; the dialog owns it. Null until one is set.
    void setComparison(QWidget* comparison);
    QWidget* comparison() const;

    // The tag of the selected option, 0 when none is selected.
    std::int32_t selectedTag() const;

  public slots:
    void doStop();
    void doContinue();
    // Escape and the window's close button: the dialog ends through its buttons only,
    // since neither answer is safe to assume for every question.
    void reject() override;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void chooseBackground();

    std::unique_ptr<Ui::AlertWindow> ui_;
    QWidget* comparison_ = nullptr;
};

}  // namespace ferrymark
