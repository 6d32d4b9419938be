#pragma once

#include <functional>

namespace ferrymark {
class AlertWindowController;
}

namespace ferrymark::testing {

// Answers prompt dialogs in tests: once a prompt runs modally, act gets it and answers by
// setting its controls and clicking a button, as a user would.
class ModalScript {
  public:
    using Action = std::function<void(AlertWindowController&)>;

    // Acts on the next prompt that becomes the active modal widget.
    static void onNextPrompt(Action act);

    static void clickStop(AlertWindowController& dialog);
    static void clickContinue(AlertWindowController& dialog);
};

}  // namespace ferrymark::testing
