#include "app/TransferThreads.h"

#include <algorithm>

namespace ferrymark {

TransferThreads::~TransferThreads() {
    reap();
    // The application waits for its transfers, with its event loop running, before it
    // gets here; a worker still running now may itself wait for the UI thread, so it is
    // left to end with the process rather than joined.
    std::lock_guard guard(lock_);
    for (auto& t : threads_) {
        t.detach();
    }
}

bool TransferThreads::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    return idle_.wait_for(guard, timeout, [&] { return running_ == 0; });
}

void TransferThreads::start(std::function<void()> work) {
    reap();
    std::lock_guard guard(lock_);
    ++running_;
    threads_.emplace_back([this, work = std::move(work)]() mutable {
        work();
        // What the work held (the job) goes before the thread counts as finished.
        work = nullptr;
        std::lock_guard done(lock_);
        --running_;
        finished_.push_back(std::this_thread::get_id());
        idle_.notify_all();
    });
}

int TransferThreads::running() const {
    std::lock_guard guard(lock_);
    return running_;
}

void TransferThreads::reap() {
    std::vector<std::thread> done;
    {
        std::lock_guard guard(lock_);
        for (auto it = threads_.begin(); it != threads_.end();) {
            auto f = std::find(finished_.begin(), finished_.end(), it->get_id());
            if (f != finished_.end()) {
                finished_.erase(f);
                done.push_back(std::move(*it));
                it = threads_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& t : done) {
        t.join();
    }
}

}  // namespace ferrymark
