#include "ui/AlertWindowController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "engine/ConflictPolicy.h"
#include "engine/PromptAnswer.h"
#include "ui_AlertWindow.h"

namespace ferrymark {
namespace {

struct OptionEntry {
    const char* title;
    ConflictPolicy tag;
};

// Keep Both comes first and is selected: it loses nothing if the user just presses Enter.
constexpr OptionEntry kOptions[] = {
    {QT_TRANSLATE_NOOP("AlertWindow", "Keep Both"), Policy::CopyWithNewName},
    {QT_TRANSLATE_NOOP("AlertWindow", "Replace"), Policy::Replace},
    {QT_TRANSLATE_NOOP("AlertWindow", "Skip"), Policy::Skip},
};

}  // namespace

AlertWindowController::AlertWindowController(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::AlertWindow>()) {
    ui_->setupUi(this);
    ui_->comparisonArea->hide();
    // A title and nothing else: the question ends through its two buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    chooseBackground();
    setAutoFillBackground(true);

    for (const OptionEntry& option : kOptions) {
        ui_->popupOptions->addItem(QCoreApplication::translate("AlertWindow", option.title),
                                   option.tag);
    }
    ui_->popupOptions->setCurrentIndex(0);

    connect(ui_->btnStop, &QPushButton::clicked, this, &AlertWindowController::doStop);
    connect(ui_->btnContinue, &QPushButton::clicked, this, &AlertWindowController::doContinue);
}

AlertWindowController::~AlertWindowController() = default;

std::int32_t AlertWindowController::runModal() {
    setWindowModality(Qt::ApplicationModal);
    const int code = exec();
    close();
    return static_cast<std::int32_t>(code);
}

QLabel* AlertWindowController::alertMessage() const {
    return ui_->alertMessage;
}
QLabel* AlertWindowController::alertImage() const {
    return ui_->alertImage;
}
QComboBox* AlertWindowController::popupOptions() const {
    return ui_->popupOptions;
}
QCheckBox* AlertWindowController::cbDontAsk() const {
    return ui_->cbDontAsk;
}
QPushButton* AlertWindowController::btnStop() const {
    return ui_->btnStop;
}
QPushButton* AlertWindowController::btnContinue() const {
    return ui_->btnContinue;
}

void AlertWindowController::setComparison(QWidget* comparison) {
    delete comparison_;
    comparison_ = comparison;
    ui_->comparisonArea->layout()->addWidget(comparison);
    ui_->comparisonArea->show();
}

QWidget* AlertWindowController::comparison() const {
    return comparison_;
}

std::int32_t AlertWindowController::selectedTag() const {
    const int index = ui_->popupOptions->currentIndex();
    if (index < 0) {
        return 0;
    }
    return static_cast<std::int32_t>(ui_->popupOptions->itemData(index).toInt());
}

void AlertWindowController::doStop() {
    done(kAnswerStop);
}

void AlertWindowController::doContinue() {
    done(selectedTag());
}

void AlertWindowController::reject() {}

void AlertWindowController::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        chooseBackground();
    }
    QDialog::changeEvent(event);
}

// White (the base colour) on a light palette. A dark palette's base is darker than its
// window and is what the check box is drawn with: there the window colour keeps it seen.
void AlertWindowController::chooseBackground() {
    const QPalette& colours = palette();
    const QPalette::ColorRole role =
        colours.color(QPalette::Base).lightness() >= colours.color(QPalette::Window).lightness()
            ? QPalette::Base
            : QPalette::Window;
    // Setting the role announces a palette change even when it is the same one.
    if (role != backgroundRole()) {
        setBackgroundRole(role);
    }
}

}  // namespace ferrymark
