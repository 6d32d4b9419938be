#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/IJobHost.h"

namespace ferrymark {
class CutCopyWController;
}

namespace ferrymark::testing {

// A host for driving a job's window by hand on the test's own (UI) thread: hand-overs run
// inline, no timer ticks (the test calls the tick), every prompt is answered with Stop.
class FakeJobHost final : public IJobHost {
  public:
    void runOnUiThread(const std::function<void()>& work) override { work(); }
    PromptAnswer showPrompt(const Prompt&) override { return PromptAnswer{}; }
    std::unique_ptr<IHeartbeat> startHeartbeat(std::function<void()> tick) override;
    std::unique_ptr<IProgressView> makeProgressView(ICopyHandler& job) override;
    void activateApplication() override { ++activations; }
    void deactivateApplication() override { ++deactivations; }
    void log(const std::string&) override {}

    // The controller made by the last makeProgressView.
    CutCopyWController* view = nullptr;
    int activations = 0;
    int deactivations = 0;
};

}  // namespace ferrymark::testing
