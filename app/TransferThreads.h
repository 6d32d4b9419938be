#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ferrymark {

// One worker thread per transfer: a fixed pool would queue a third transfer behind two
// long ones. Keeps count of the running ones so that quitting can wait for them.
class TransferThreads {
  public:
    TransferThreads() = default;
    ~TransferThreads();
    TransferThreads(const TransferThreads&) = delete;
    TransferThreads& operator=(const TransferThreads&) = delete;

    void start(std::function<void()> work);
    int running() const;
    // Waits until no transfer runs; false when timeout passed first. Must not be called
    // on the UI thread while a transfer may need it.
    bool waitFor(std::chrono::milliseconds timeout);

  private:
    void reap();

    mutable std::mutex lock_;
    std::condition_variable idle_;
    int running_ = 0;
    std::vector<std::thread> threads_;
    std::vector<std::thread::id> finished_;
};

}  // namespace ferrymark
