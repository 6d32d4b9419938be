#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/IJobHost.h"

namespace ferrymark {

// A job host without a display: its own thread stands in for the UI thread, prompts are
// answered from a script, and log lines are kept. Serves fm-transfer and the engine tests.
class HeadlessHost final : public IJobHost {
  public:
    enum class Threading {
        UiThread,  // a thread of its own runs the UI work, as on a desktop
        Inline,    // UI work runs on the caller's thread (for a forked child: no threads)
    };
    using PromptHandler = std::function<PromptAnswer(const Prompt&)>;
    using LineObserver = std::function<void(const std::string&)>;
    using PromptObserver = std::function<void(const Prompt&, const PromptAnswer&)>;

    explicit HeadlessHost(Threading threading = Threading::UiThread);
    ~HeadlessHost() override;
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    // Answers for one kind of prompt, used in order; a prompt with none left gets Stop.
    void addAnswer(PromptKind kind, PromptAnswer answer);
    // Answers every prompt instead of the script (runs on the UI thread).
    void setPromptHandler(PromptHandler handler);
    void setHeartbeatInterval(std::chrono::milliseconds interval);
    void setLogObserver(LineObserver observer);
    // Told of every prompt and the answer it got.
    void setPromptObserver(PromptObserver observer);

    // Queues work on the UI thread without waiting; from any thread.
    void post(std::function<void()> work);
    bool onUiThread() const;

    std::vector<Prompt> prompts() const;
    std::vector<std::string> logLines() const;
    int activations() const;
    int heartbeatsStarted() const;

    void runOnUiThread(const std::function<void()>& work) override;
    PromptAnswer showPrompt(const Prompt& prompt) override;
    std::unique_ptr<IHeartbeat> startHeartbeat(std::function<void()> tick) override;
    std::unique_ptr<IProgressView> makeProgressView(ICopyHandler& job) override;
    void activateApplication() override;
    void deactivateApplication() override;
    void log(const std::string& line) override;

  private:
    class Heartbeat;
    struct Timer {
        std::function<void()> tick;
        std::chrono::steady_clock::time_point due;
    };

    void loop();
    void stopTimer(int id);

    const Threading threading_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> work_;
    std::map<int, Timer> timers_;
    int nextTimer_ = 1;
    bool stopping_ = false;
    std::chrono::milliseconds interval_{1000};

    std::map<PromptKind, std::deque<PromptAnswer>> script_;
    PromptHandler handler_;
    LineObserver logObserver_;
    PromptObserver promptObserver_;
    std::vector<Prompt> prompts_;
    std::vector<std::string> logLines_;
    int activations_ = 0;
    int heartbeatsStarted_ = 0;

    std::thread uiThread_;
};

}  // namespace ferrymark
