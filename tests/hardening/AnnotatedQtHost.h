#pragma once

#include <thread>

#include "engine/IJobHost.h"

namespace ferrymark {
class QtJobHost;
}

namespace ferrymark::test {

// The Qt job host as the application uses it, with its hand-over of work to the UI thread
// told to ThreadSanitizer. Debian's Qt is not built for the sanitizer, and the futexes
// behind a blocking queued call hide the ordering the call guarantees: the work happens
// after everything the worker did before the call, and before everything it does after.
// Without the sanitizer this host only passes calls on. Make it on the UI thread.
class AnnotatedQtHost final : public IJobHost {
  public:
    explicit AnnotatedQtHost(QtJobHost& host);

    void runOnUiThread(const std::function<void()>& work) override;
    PromptAnswer showPrompt(const Prompt& prompt) override;
    std::unique_ptr<IHeartbeat> startHeartbeat(std::function<void()> tick) override;
    std::unique_ptr<IProgressView> makeProgressView(ICopyHandler& job) override;
    void activateApplication() override;
    void deactivateApplication() override;
    void log(const std::string& line) override;

  private:
    QtJobHost& host_;
    std::thread::id uiThread_;
};

}  // namespace ferrymark::test
