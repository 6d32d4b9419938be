#pragma once

#include <memory>
#include <string>

#include "engine/FolderCount.h"
#include "engine/ItemComparison.h"
#include "engine/ItemFacts.h"

namespace ferrymark {

// The two items of a name conflict, the one already there and the one coming, as a prompt
// shows them. A folder on either side is counted in the background within the limits.
class ConflictFacts {
  public:
    ConflictFacts(std::string existingPath, std::string incomingPath,
                  FolderCount::Limits limits = {});
    ~ConflictFacts();
    ConflictFacts(const ConflictFacts&) = delete;
    ConflictFacts& operator=(const ConflictFacts&) = delete;

    // Looks at both items again, for a prompt that stays open: an item that went is told as
    // absent, a folder that took its place is counted.
    void refresh();
    // Waits until both folder counts have ended (at most about the time limit).
    void waitForCounts();

    // Each side with its folder's count as far as it has gone.
    ItemFacts existing() const;
    ItemFacts incoming() const;
    ItemComparison comparison() const;

  private:
    struct Side {
        std::string path;
        ItemFacts facts;
        std::unique_ptr<FolderCount> count;
    };

    void look(Side& side);
    static ItemFacts withCount(const Side& side);

    FolderCount::Limits limits_;
    Side existing_;
    Side incoming_;
};

}  // namespace ferrymark
