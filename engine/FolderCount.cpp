#include "engine/FolderCount.h"

#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/FolderListing.h"

namespace ferrymark {

struct FolderCount::State {
    mutable std::mutex lock;
    std::condition_variable ended;
    Tally tally;
    std::atomic<bool> abandoned{false};
};

namespace {

using Clock = std::chrono::steady_clock;

void count(const std::string& root, FolderCount::Limits limits, FolderCount::Tally& tally,
           const std::atomic<bool>& abandoned, std::mutex& lock) {
    const auto deadline = Clock::now() + limits.time;
    bool partial = false;
    std::vector<std::string> pending{root};
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        FolderListing listing(folder);
        FolderListing::Entry entry;
        while (listing.next(entry)) {
            // One more entry is there: past a limit the count says "more than".
            if (abandoned.load() || Clock::now() >= deadline || tally.items >= limits.items) {
                std::lock_guard guard(lock);
                tally.state = ItemFacts::Count::CutShort;
                return;
            }
            std::int64_t bytes = 0;
            const std::string path = folder + "/" + entry.name;
            struct stat st {};
            using Kind = FolderListing::Kind;
            if (entry.kind == Kind::Folder ||
                (entry.kind == Kind::Unknown && ::lstat(path.c_str(), &st) == 0 &&
                 S_ISDIR(st.st_mode))) {
                pending.push_back(path);
            } else if (entry.kind != Kind::Other && ::stat(path.c_str(), &st) == 0 &&
                       S_ISREG(st.st_mode)) {
                // A link to a file counts the file, as a copy would.
                bytes = st.st_size;
            }
            std::lock_guard guard(lock);
            ++tally.items;
            tally.bytes += bytes;
        }
        partial = partial || static_cast<bool>(listing.error());
    }
    std::lock_guard guard(lock);
    tally.state = partial ? ItemFacts::Count::Partial : ItemFacts::Count::Exact;
}

}  // namespace

FolderCount::FolderCount(const std::string& root, Limits limits)
    : state_(std::make_shared<State>()) {
    // The thread keeps the state alive for as long as it runs.
    std::thread([state = state_, root, limits] {
        count(root, limits, state->tally, state->abandoned, state->lock);
        state->ended.notify_all();
    }).detach();
}

FolderCount::~FolderCount() {
    state_->abandoned = true;
}

FolderCount::Tally FolderCount::tally() const {
    std::lock_guard guard(state_->lock);
    return state_->tally;
}

FolderCount::Tally FolderCount::wait() const {
    std::unique_lock guard(state_->lock);
    state_->ended.wait(guard, [&] { return state_->tally.state != ItemFacts::Count::Counting; });
    return state_->tally;
}

}  // namespace ferrymark
