#pragma once

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "engine/ItemFacts.h"

namespace ferrymark {

// Counts the items and bytes below a folder on a thread of its own, within limits, so that
// whoever shows the count never waits for a large or slow tree.
class FolderCount {
  public:
    struct Limits {
        std::chrono::milliseconds time{1000};
        std::int64_t items = std::numeric_limits<std::int64_t>::max();
    };
    struct Tally {
        std::int64_t items = 0;  // every entry at every depth, folders too
        std::int64_t bytes = 0;  // of the regular files among them, links followed
        // Counting while it runs; CutShort when a limit ended it with items left;
        // Partial when some folder could not be listed.
        ItemFacts::Count state = ItemFacts::Count::Counting;
    };

    FolderCount(const std::string& root, Limits limits);
    // Lets the count run on to its end unseen: never waits for a file system that hangs.
    ~FolderCount();
    FolderCount(const FolderCount&) = delete;
    FolderCount& operator=(const FolderCount&) = delete;

    // What has been counted so far; from any thread.
    Tally tally() const;
    // Waits for the end of the count, which the limits bound, and returns it.
    Tally wait() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace ferrymark
