#include "PromptResponder.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "engine/PromptAnswer.h"
#include "ui/AlertWindowController.h"

namespace ferrymark::test {

PromptResponder::PromptResponder(Decide decide) : decide_(std::move(decide)) {
    // A modal dialog runs an event loop of its own, which keeps this timer ticking.
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(2);
}

void PromptResponder::poll() {
    auto* dialog = qobject_cast<AlertWindowController*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible() || dialog->property("fmAnswered").toBool()) {
        return;
    }
    dialog->setProperty("fmAnswered", true);
    ++answered_;
    const std::int32_t code = decide_(dialog->alertMessage()->text());
    if (code == kAnswerStop) {
        dialog->btnStop()->click();
        return;
    }
    const int index = dialog->popupOptions()->findData(code);
    if (index >= 0) {
        dialog->popupOptions()->setCurrentIndex(index);
    }
    dialog->btnContinue()->click();
}

}  // namespace ferrymark::test
