#pragma once

#include <functional>
#include <memory>
#include <string>

#include "IHeartbeat.h"
#include "IProgressView.h"
#include "Prompt.h"
#include "PromptAnswer.h"

namespace ferrymark {

class ICopyHandler;

// What the engine needs from the layer above: the UI thread, prompts, the heartbeat,
// activation and the system log. The Qt application implements it; tests script it.
class IJobHost {
  public:
    virtual ~IJobHost() = default;

    // Runs work on the UI thread and returns once it has run. Called from workers only.
    virtual void runOnUiThread(const std::function<void()>& work) = 0;

    // On the UI thread: shows one prompt and returns the user's answer.
    virtual PromptAnswer showPrompt(const Prompt& prompt) = 0;

    // On the UI thread: a repeating one-second tick calling tick.
    virtual std::unique_ptr<IHeartbeat> startHeartbeat(std::function<void()> tick) = 0;

    // The progress window of a new job, or null when it cannot be made.
    virtual std::unique_ptr<IProgressView> makeProgressView(ICopyHandler& job) = 0;

    // Bring this application to the front, ahead of all others. From any thread.
    virtual void activateApplication() = 0;
    // Stop being the front application and give the focus back. From any thread.
    virtual void deactivateApplication() = 0;

    // One line to the system log.
    virtual void log(const std::string& line) = 0;
};

}  // namespace ferrymark
