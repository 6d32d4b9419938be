#pragma once

#include <QObject>
#include <atomic>
#include <functional>

#include "engine/IJobHost.h"

namespace ferrymark {

// The engine's host in the Qt application. Make it on the UI thread: that is the thread
// whose event loop runs the work, prompts and heartbeats that workers hand over.
class QtJobHost final : public QObject, public IJobHost {
    Q_OBJECT
  public:
    using Hook = std::function<void()>;

    explicit QtJobHost(QObject* parent = nullptr);
    ~QtJobHost() override;

    // Blocks a worker until work has run on the UI thread; runs inline on the UI thread.
    // An exception thrown by work is rethrown to the caller.
    void runOnUiThread(const std::function<void()>& work) override;
    PromptAnswer showPrompt(const Prompt& prompt) override;
    std::unique_ptr<IHeartbeat> startHeartbeat(std::function<void()> tick) override;
    std::unique_ptr<IProgressView> makeProgressView(ICopyHandler& job) override;
    // Both may be called from any thread; the hooks run on the UI thread.
    void activateApplication() override;
    void deactivateApplication() override;
    void log(const std::string& line) override;

    // Desktop glue of the application layer: run after we have come to the front, and to
    // give the focus back (to the file manager) when we step back.
    void setActivateHook(Hook hook);
    void setDeactivateHook(Hook hook);

    // True from activateApplication until deactivateApplication: prompts come up focused.
    bool frontRequested() const { return frontRequested_.load(); }

  private:
    bool onUiThread() const;

    std::atomic<bool> frontRequested_{false};
    Hook activateHook_;
    Hook deactivateHook_;
};

}  // namespace ferrymark
