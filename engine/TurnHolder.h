#pragma once

#include <cstdint>
#include <string>

namespace ferrymark {

// What the transfer holding a disk's turn writes into the disk's lock, so that the ones
// waiting can say what they wait for.
struct TurnHolder {
    bool move = false;
    std::string target;
    std::string firstSource;
    std::int64_t sources = 0;
    std::string program;
    std::int64_t pid = 0;

    // The lock file's text: one "name value" line per field, newlines and backslashes in
    // values escaped.
    std::string text() const;
    // Fields missing or unreadable stay empty: a lock written by another version is still a
    // lock.
    static TurnHolder parse(const std::string& text);
    bool known() const { return !target.empty(); }
    // For logs and fm-transfer: the copy of “a” and 2 more items to “/t” (fm-transfer,
    // process 12).
    std::string describe() const;

    bool operator==(const TurnHolder&) const = default;
};

}  // namespace ferrymark
