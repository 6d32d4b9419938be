#include "ModalScript.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "ui/AlertWindowController.h"

namespace ferrymark::testing {
namespace {

// Polls from the event loop; exec() of the dialog keeps that loop running.
void poll(std::shared_ptr<ModalScript::Action> act, AlertWindowController* seen) {
    QTimer::singleShot(5, qApp, [act, seen] {
        auto* dialog = qobject_cast<AlertWindowController*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog != seen && dialog->isVisible()) {
            (*act)(*dialog);
            return;
        }
        poll(act, seen);
    });
}

}  // namespace

void ModalScript::onNextPrompt(Action act) {
    auto* current = qobject_cast<AlertWindowController*>(QApplication::activeModalWidget());
    poll(std::make_shared<Action>(std::move(act)), current);
}

void ModalScript::clickStop(AlertWindowController& dialog) {
    dialog.btnStop()->click();
}

void ModalScript::clickContinue(AlertWindowController& dialog) {
    dialog.btnContinue()->click();
}

}  // namespace ferrymark::testing
