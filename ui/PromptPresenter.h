#pragma once

#include <memory>

#include "engine/Prompt.h"
#include "engine/PromptAnswer.h"

class QWidget;

namespace ferrymark {

class AlertWindowController;

// Turns the engine's description of a question into a filled prompt dialog and its answer.
class PromptPresenter {
  public:
    // A dialog showing prompt, ready to run.
    static std::unique_ptr<AlertWindowController> makeDialog(const Prompt& prompt,
                                                             QWidget* parent = nullptr);
    // Shows prompt modally and returns the answer; the check box is read once the
    // dialog has closed, and only where it was shown. With focus the dialog takes the
    // keyboard focus when it comes up.
    static PromptAnswer ask(const Prompt& prompt, bool focus = false, QWidget* parent = nullptr);
};

}  // namespace ferrymark
