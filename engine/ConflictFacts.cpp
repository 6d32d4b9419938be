#include "engine/ConflictFacts.h"

namespace ferrymark {

ConflictFacts::ConflictFacts(std::string existingPath, std::string incomingPath,
                             FolderCount::Limits limits)
    : limits_(limits) {
    existing_.path = std::move(existingPath);
    incoming_.path = std::move(incomingPath);
    refresh();
}

ConflictFacts::~ConflictFacts() = default;

void ConflictFacts::refresh() {
    look(existing_);
    look(incoming_);
}

void ConflictFacts::look(Side& side) {
    const ItemFacts now = ItemFacts::of(side.path);
    // A folder keeps its count: one written into while the prompt is open would otherwise
    // be counted from the start again and again.
    const bool stillFolder = side.count && now.kind == ItemFacts::Kind::Folder;
    side.facts = now;
    if (stillFolder) {
        return;
    }
    side.count.reset();
    if (now.kind == ItemFacts::Kind::Folder) {
        side.count = std::make_unique<FolderCount>(side.path, limits_);
    }
}

void ConflictFacts::waitForCounts() {
    for (const Side* side : {&existing_, &incoming_}) {
        if (side->count) {
            side->count->wait();
        }
    }
}

ItemFacts ConflictFacts::withCount(const Side& side) {
    ItemFacts facts = side.facts;
    if (side.count) {
        const FolderCount::Tally tally = side.count->tally();
        facts.items = tally.items;
        facts.size = tally.bytes;
        facts.count = tally.state;
    }
    return facts;
}

ItemFacts ConflictFacts::existing() const {
    return withCount(existing_);
}

ItemFacts ConflictFacts::incoming() const {
    return withCount(incoming_);
}

ItemComparison ConflictFacts::comparison() const {
    return ItemComparison::of(existing(), incoming());
}

}  // namespace ferrymark
