#pragma once

#include <cstdint>
#include <string>

namespace ferrymark {

// What a conflict prompt tells of one item: its kind, size and modification time, and for a
// folder how much it holds as far as it has been counted.
struct ItemFacts {
    enum class Kind { Absent, File, Folder, Other };
    // How far a folder's items and bytes go: a file's size is always Exact.
    enum class Count { Exact, Counting, CutShort, Partial };

    Kind kind = Kind::Absent;
    std::int64_t modified = 0;  // seconds since the epoch
    std::int64_t size = 0;      // a file's bytes; the bytes of a folder's files counted
    std::int64_t items = 0;     // a folder's items counted, at every depth
    Count count = Count::Exact;

    // The item at path, links followed; a link that leads nowhere is Other. A folder's
    // contents are not counted here: it comes back as Counting with nothing counted.
    static ItemFacts of(const std::string& path);
    // Whether size is all of the item's bytes rather than those counted so far.
    bool sizeIsExact() const { return kind == Kind::File || count == Count::Exact; }

    bool operator==(const ItemFacts&) const = default;
};

}  // namespace ferrymark
