#include "tools/HeadlessHost.h"

#include <future>

namespace ferrymark {
namespace {

// No window: ticks and looks have nothing to draw.
class NullProgressView final : public IProgressView {
  public:
    void updateUI(CopyHandler&) override {}
    void bringToFront() override {}
    void stopAnimation() override {}
    void setPausedLook(double) override {}
};

}  // namespace

class HeadlessHost::Heartbeat final : public IHeartbeat {
  public:
    Heartbeat(HeadlessHost& host, int id) : host_(host), id_(id) {}
    ~Heartbeat() override { invalidate(); }
    void invalidate() override {
        if (id_ != 0) {
            host_.stopTimer(id_);
            id_ = 0;
        }
    }

  private:
    HeadlessHost& host_;
    int id_;
};

HeadlessHost::HeadlessHost(Threading threading) : threading_(threading) {
    if (threading_ == Threading::UiThread) {
        uiThread_ = std::thread([this] { loop(); });
    }
}

HeadlessHost::~HeadlessHost() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (uiThread_.joinable()) {
        uiThread_.join();
    }
}

void HeadlessHost::loop() {
    std::unique_lock guard(lock_);
    for (;;) {
        if (!work_.empty()) {
            auto work = std::move(work_.front());
            work_.pop_front();
            guard.unlock();
            work();
            guard.lock();
            continue;
        }
        if (stopping_) {
            return;
        }
        auto now = std::chrono::steady_clock::now();
        auto next = std::chrono::steady_clock::time_point::max();
        std::function<void()> tick;
        for (auto& [id, timer] : timers_) {
            if (timer.due <= now) {
                timer.due = now + interval_;
                tick = timer.tick;
                break;
            }
            next = std::min(next, timer.due);
        }
        if (tick) {
            guard.unlock();
            tick();
            guard.lock();
            continue;
        }
        if (next == std::chrono::steady_clock::time_point::max()) {
            wake_.wait(guard, [&] { return stopping_ || !work_.empty() || !timers_.empty(); });
        } else if (std::chrono::steady_clock::now() < next) {
            wake_.wait_until(guard, next);
        }
    }
}

void HeadlessHost::post(std::function<void()> work) {
    if (threading_ == Threading::Inline) {
        work();
        return;
    }
    {
        std::lock_guard guard(lock_);
        work_.push_back(std::move(work));
    }
    wake_.notify_all();
}

bool HeadlessHost::onUiThread() const {
    return threading_ == Threading::Inline || std::this_thread::get_id() == uiThread_.get_id();
}

void HeadlessHost::runOnUiThread(const std::function<void()>& work) {
    if (onUiThread()) {
        work();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    post([&] {
        work();
        done.set_value();
    });
    finished.wait();
}

void HeadlessHost::addAnswer(PromptKind kind, PromptAnswer answer) {
    std::lock_guard guard(lock_);
    script_[kind].push_back(answer);
}

void HeadlessHost::setPromptHandler(PromptHandler handler) {
    std::lock_guard guard(lock_);
    handler_ = std::move(handler);
}

void HeadlessHost::setHeartbeatInterval(std::chrono::milliseconds interval) {
    std::lock_guard guard(lock_);
    interval_ = interval;
}

void HeadlessHost::setLogObserver(LineObserver observer) {
    std::lock_guard guard(lock_);
    logObserver_ = std::move(observer);
}

PromptAnswer HeadlessHost::showPrompt(const Prompt& prompt) {
    PromptHandler handler;
    PromptObserver observer;
    PromptAnswer answer;  // Stop unless scripted
    {
        std::lock_guard guard(lock_);
        prompts_.push_back(prompt);
        handler = handler_;
        observer = promptObserver_;
        auto& queue = script_[prompt.kind];
        if (!handler && !queue.empty()) {
            answer = queue.front();
            queue.pop_front();
        }
    }
    if (handler) {
        answer = handler(prompt);
    }
    if (observer) {
        observer(prompt, answer);
    }
    return answer;
}

void HeadlessHost::setPromptObserver(PromptObserver observer) {
    std::lock_guard guard(lock_);
    promptObserver_ = std::move(observer);
}

std::unique_ptr<IHeartbeat> HeadlessHost::startHeartbeat(std::function<void()> tick) {
    std::lock_guard guard(lock_);
    ++heartbeatsStarted_;
    if (threading_ == Threading::Inline) {
        return std::make_unique<Heartbeat>(*this, 0);
    }
    const int id = nextTimer_++;
    timers_[id] = Timer{std::move(tick), std::chrono::steady_clock::now() + interval_};
    wake_.notify_all();
    return std::make_unique<Heartbeat>(*this, id);
}

void HeadlessHost::stopTimer(int id) {
    std::lock_guard guard(lock_);
    timers_.erase(id);
}

std::unique_ptr<IProgressView> HeadlessHost::makeProgressView(ICopyHandler&) {
    return std::make_unique<NullProgressView>();
}

void HeadlessHost::activateApplication() {
    std::lock_guard guard(lock_);
    ++activations_;
}

void HeadlessHost::deactivateApplication() {}

void HeadlessHost::log(const std::string& line) {
    LineObserver observer;
    {
        std::lock_guard guard(lock_);
        logLines_.push_back(line);
        observer = logObserver_;
    }
    if (observer) {
        observer(line);
    }
}

std::vector<Prompt> HeadlessHost::prompts() const {
    std::lock_guard guard(lock_);
    return prompts_;
}

std::vector<std::string> HeadlessHost::logLines() const {
    std::lock_guard guard(lock_);
    return logLines_;
}

int HeadlessHost::activations() const {
    std::lock_guard guard(lock_);
    return activations_;
}

int HeadlessHost::heartbeatsStarted() const {
    std::lock_guard guard(lock_);
    return heartbeatsStarted_;
}

}  // namespace ferrymark
